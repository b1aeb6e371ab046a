#ifndef INCLUDED_farray_DimensionExpression_hh
#define INCLUDED_farray_DimensionExpression_hh

// Node of the expression tree that defines a Dimension: a constant, a
// reference to another Dimension, or the sum, difference, product or quotient
// of two sub-expressions. Values are computed in double precision; a Dimension
// takes the value truncated toward zero. Observer registration on a tree
// reaches every Dimension the tree refers to. Cloning folds constant subtrees.

#include <iosfwd>

namespace farray {

class Dimension;
class Observer;

class DimensionExpression
{
public:
	// Copy owned by the caller, constant parts folded
	virtual DimensionExpression * clone() const = 0;

	// The same, every reference to d replaced by a clone of d's expression
	virtual DimensionExpression * clone( Dimension const & d ) const = 0;

	virtual ~DimensionExpression() = default;

	// Every referenced Dimension is initialized
	virtual bool initialized() const = 0;

	virtual bool integer() const = 0;

	// No reference in the tree
	virtual bool constant() const = 0;

	// A reference somewhere in the tree
	virtual bool reference() const = 0;

	// Cloning would fold something
	virtual bool reducible() const = 0;

	virtual double operator ()() const = 0;

	virtual double value() const = 0;

	// Value truncated toward zero (saturated at the 32-bit limits)
	virtual int ivalue() const { return to_int( value() ); }

	// ivalue(), or 0 when not initialized (the reference is then not evaluated)
	virtual int zvalue() const { return initialized() ? ivalue() : 0; }

	virtual void insert_observer( Observer & observer ) const = 0;

	virtual void remove_observer( Observer & observer ) const = 0;

	virtual void destructed( Observer const & subject ) = 0;

	static int to_int( double x );

protected:
	DimensionExpression() = default;
	DimensionExpression( DimensionExpression const & ) = default;
	DimensionExpression & operator =( DimensionExpression const & ) = default;
};

std::ostream & operator <<( std::ostream & stream, DimensionExpression const & exp );

} // farray

#endif
