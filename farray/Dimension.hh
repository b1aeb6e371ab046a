#ifndef INCLUDED_farray_Dimension_hh
#define INCLUDED_farray_Dimension_hh

// Changeable integer size that index ranges can follow. Its value is defined
// by an expression over constants and other Dimensions; when it changes,
// everything that depends on it (Dimensions referring to it, the dynamic
// ranges following it and through them the arrays) is brought up to date by
// one notification pass. Without an expression, or while the expression
// refers to an uninitialized Dimension, it is uninitialized (value 0).

#include "farray/ObserverMulti.hh"

#include <iosfwd>

namespace farray {

class DimensionExpression;

class Dimension : public ObserverMulti
{
public:
	// Uninitialized, no expression
	Dimension();

	// Integer constant i
	explicit Dimension( int i );

	// Non-integer constant x; value x truncated toward zero
	explicit Dimension( double x );

	// Follows d: the expression is a reference to d
	Dimension( Dimension const & d );

	// Expression: a clone of exp (constant parts folded)
	explicit Dimension( DimensionExpression const & exp );

	~Dimension() override;

	// Follow d (self-assignment changes nothing but still notifies)
	Dimension & operator =( Dimension const & d );
	Dimension & operator =( int i );
	Dimension & operator =( double x );

	Dimension & operator +=( Dimension const & d );
	Dimension & operator -=( Dimension const & d );
	Dimension & operator *=( Dimension const & d );
	Dimension & operator /=( Dimension const & d );

	Dimension & operator +=( DimensionExpression const & exp );
	Dimension & operator -=( DimensionExpression const & exp );
	Dimension & operator *=( DimensionExpression const & exp );
	Dimension & operator /=( DimensionExpression const & exp );

	Dimension & operator +=( int i );
	Dimension & operator -=( int i );
	Dimension & operator *=( int i );
	Dimension & operator /=( int i );

	Dimension & operator +=( double x );
	Dimension & operator -=( double x );
	Dimension & operator *=( double x );
	Dimension & operator /=( double d );

	Dimension & operator ++();
	Dimension & operator --();

	// Assign v when uninitialized, or value < v, or value * f > v; always notify
	Dimension & assign_if( int v, double f );
	Dimension & assign_if( double v, double f );
	Dimension & assign_if_half( int v ) { return assign_if( v, 0.5 ); }
	Dimension & assign_if_half( double v ) { return assign_if( v, 0.5 ); }
	// Assign v when uninitialized or value < v; always notify
	Dimension & assign_if_bigger( int v );
	Dimension & assign_if_bigger( double v );

	// The same, notifying only when the initialized flag or value changed
	Dimension & assign_if_nic( int v, double f );
	Dimension & assign_if_nic( double v, double f );
	Dimension & assign_if_half_nic( int v ) { return assign_if_nic( v, 0.5 ); }
	Dimension & assign_if_half_nic( double v ) { return assign_if_nic( v, 0.5 ); }
	Dimension & assign_if_bigger_nic( int v );
	Dimension & assign_if_bigger_nic( double v );

	// Value (must be initialized)
	int operator ()() const;
	int value() const;

	bool initialized() const { return initialized_; }

	// Stored value: the value when initialized, else 0
	int zvalue() const { return value_; }

	// Defining expression or null
	DimensionExpression const * exp_p() const { return exp_p_; }

	// Re-evaluate from the expression (called by the notification pass)
	void update() override;

	// A Dimension this one refers to goes away: its references become null
	void destructed( Observer const & subject ) override;

private:
	// Unregister from and delete the current expression
	void drop_expression();

	// Install a new expression (owned), register with what it refers to
	void set_expression( DimensionExpression * exp_p );

	// Replace the expression by its folded clone when reducible
	void reduce();

	// Re-evaluate and notify
	Dimension & changed();

	bool condition( double v, double f, bool use_f ) const;

	DimensionExpression * exp_p_;
	bool initialized_;
	int value_;
};

// Writes value() as an integer
std::ostream & operator <<( std::ostream & stream, Dimension const & dim );

// Reads one token: an integer, else a real (value truncated); any other token
// is a fatal error
std::istream & operator >>( std::istream & stream, Dimension & dim );

} // farray

#endif
