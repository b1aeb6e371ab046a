#ifndef INCLUDED_farray_DimensionExpressionRef_hh
#define INCLUDED_farray_DimensionExpressionRef_hh

#include "farray/DimensionExpression.hh"

namespace farray {

// Reference to another Dimension (not owned); null once that Dimension is gone
class DimensionExpressionRef : public DimensionExpression
{
public:
	explicit DimensionExpressionRef( Dimension const & dim ) : dim_p_( &dim ) {}

	DimensionExpressionRef( DimensionExpressionRef const & exp );

	DimensionExpression * clone() const override;
	DimensionExpression * clone( Dimension const & d ) const override;

	bool initialized() const override;
	bool integer() const override { return true; } // a Dimension's value is an integer
	bool constant() const override { return false; }
	bool reference() const override { return true; }
	bool reducible() const override { return false; }

	double operator ()() const override;
	double value() const override;

	void insert_observer( Observer & observer ) const override;
	void remove_observer( Observer & observer ) const override;
	void destructed( Observer const & subject ) override;

	Dimension const * dim_p() const { return dim_p_; }

private:
	Dimension const * dim_p_;
};

} // farray

#endif
