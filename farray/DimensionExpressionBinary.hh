#ifndef INCLUDED_farray_DimensionExpressionBinary_hh
#define INCLUDED_farray_DimensionExpressionBinary_hh

#include "farray/DimensionExpression.hh"

namespace farray {

// Shared part of the two-operand nodes: owns both operands, never null
class DimensionExpressionBinary : public DimensionExpression
{
public:
	~DimensionExpressionBinary() override;

	bool initialized() const override { return exp1_p_->initialized() && exp2_p_->initialized(); }
	bool integer() const override { return exp1_p_->integer() && exp2_p_->integer(); }
	bool constant() const override { return exp1_p_->constant() && exp2_p_->constant(); }
	bool reference() const override { return exp1_p_->reference() || exp2_p_->reference(); }
	bool reducible() const override { return constant() || exp1_p_->reducible() || exp2_p_->reducible(); }

	void insert_observer( Observer & observer ) const override;
	void remove_observer( Observer & observer ) const override;
	void destructed( Observer const & subject ) override;

	DimensionExpression const & exp1() const { return *exp1_p_; }
	DimensionExpression const & exp2() const { return *exp2_p_; }

protected:
	// Takes ownership of both operands; file names the node's header in reports
	DimensionExpressionBinary( DimensionExpression * exp1_p, DimensionExpression * exp2_p, char const * file );

	DimensionExpressionBinary( DimensionExpressionBinary const & ) = delete;
	DimensionExpressionBinary & operator =( DimensionExpressionBinary const & ) = delete;

	DimensionExpression * exp1_p_;
	DimensionExpression * exp2_p_;
};

// Two-operand node kinds
#define FARRAY_DIMENSION_EXPRESSION_NODE( Name ) \
class Name : public DimensionExpressionBinary \
{ \
public: \
	Name( DimensionExpression * exp1_p, DimensionExpression * exp2_p ); \
	DimensionExpression * clone() const override; \
	DimensionExpression * clone( Dimension const & d ) const override; \
	double operator ()() const override; \
	double value() const override; \
};

} // farray

#endif
