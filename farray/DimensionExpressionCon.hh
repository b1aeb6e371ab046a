#ifndef INCLUDED_farray_DimensionExpressionCon_hh
#define INCLUDED_farray_DimensionExpressionCon_hh

#include "farray/DimensionExpression.hh"

namespace farray {

// Constant; the flag tells whether it stands for an integer
class DimensionExpressionCon : public DimensionExpression
{
public:
	explicit DimensionExpressionCon( int const i ) : value_( i ), integer_( true ) {}

	explicit DimensionExpressionCon( double const x ) : value_( x ), integer_( false ) {}

	DimensionExpression * clone() const override { return new DimensionExpressionCon( *this ); }
	DimensionExpression * clone( Dimension const & ) const override { return new DimensionExpressionCon( *this ); }

	bool initialized() const override { return true; }
	bool integer() const override { return integer_; }
	bool constant() const override { return true; }
	bool reference() const override { return false; }
	bool reducible() const override { return false; }

	double operator ()() const override { return value_; }
	double value() const override { return value_; }

	void insert_observer( Observer & ) const override {}
	void remove_observer( Observer & ) const override {}
	void destructed( Observer const & ) override {}

private:
	double value_;
	bool integer_;
};

} // farray

#endif
