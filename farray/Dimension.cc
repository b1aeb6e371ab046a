#include "farray/Dimension.hh"
#include "farray/DimensionExpressionCon.hh"
#include "farray/DimensionExpressionRef.hh"
#include "farray/DimensionExpressionSum.hh"
#include "farray/DimensionExpressionSub.hh"
#include "farray/DimensionExpressionMul.hh"
#include "farray/DimensionExpressionDiv.hh"
#include "farray/assert.hh"

#include <istream>
#include <ostream>
#include <sstream>
#include <string>

namespace farray {

namespace {
char const * const dim_file = "farray/Dimension.cc";
}

Dimension::Dimension() :
	exp_p_( nullptr ),
	initialized_( false ),
	value_( 0 )
{}

Dimension::Dimension( int const i ) :
	exp_p_( new DimensionExpressionCon( i ) ),
	initialized_( true ),
	value_( i )
{}

Dimension::Dimension( double const x ) :
	exp_p_( new DimensionExpressionCon( x ) ),
	initialized_( true ),
	value_( DimensionExpression::to_int( x ) )
{}

Dimension::Dimension( Dimension const & d ) :
	ObserverMulti(),
	exp_p_( new DimensionExpressionRef( d ) ),
	initialized_( d.initialized_ ),
	value_( d.value_ )
{
	d.insert_observer( *this );
}

Dimension::Dimension( DimensionExpression const & exp ) :
	exp_p_( exp.clone() ),
	initialized_( false ),
	value_( 0 )
{
	reduce();
	update();
	exp_p_->insert_observer( *this );
}

Dimension::~Dimension()
{
	if ( exp_p_ ) {
		exp_p_->remove_observer( *this );
		delete exp_p_;
	}
}

void
Dimension::drop_expression()
{
	if ( exp_p_ ) {
		exp_p_->remove_observer( *this );
		delete exp_p_;
		exp_p_ = nullptr;
	}
}

void
Dimension::set_expression( DimensionExpression * exp_p )
{
	exp_p_ = exp_p;
	reduce();
	exp_p_->insert_observer( *this );
}

void
Dimension::reduce()
{
	if ( exp_p_ && exp_p_->reducible() ) {
		DimensionExpression * const folded = exp_p_->clone();
		delete exp_p_;
		exp_p_ = folded;
	}
}

Dimension &
Dimension::changed()
{
	update();
	notify();
	return *this;
}

Dimension &
Dimension::operator =( Dimension const & d )
{
	if ( this != &d ) {
		drop_expression();
		exp_p_ = new DimensionExpressionRef( d );
		d.insert_observer( *this );
		update();
	}
	notify();
	return *this;
}

Dimension &
Dimension::operator =( int const i )
{
	drop_expression();
	exp_p_ = new DimensionExpressionCon( i );
	return changed();
}

Dimension &
Dimension::operator =( double const x )
{
	drop_expression();
	exp_p_ = new DimensionExpressionCon( x );
	return changed();
}

// Compound assignment with a Dimension: the old expression is the left operand

Dimension &
Dimension::operator +=( Dimension const & d )
{
	FARRAY_ASSERT_IN( exp_p_, dim_file );
	if ( this == &d ) {
		exp_p_ = new DimensionExpressionSum( exp_p_, exp_p_->clone() );
		reduce();
	} else {
		exp_p_ = new DimensionExpressionSum( exp_p_, new DimensionExpressionRef( d ) );
		d.insert_observer( *this );
	}
	return changed();
}

Dimension &
Dimension::operator -=( Dimension const & d )
{
	FARRAY_ASSERT_IN( exp_p_, dim_file );
	if ( this == &d ) {
		drop_expression();
		exp_p_ = new DimensionExpressionCon( 0 );
	} else {
		exp_p_ = new DimensionExpressionSub( exp_p_, new DimensionExpressionRef( d ) );
		d.insert_observer( *this );
	}
	return changed();
}

Dimension &
Dimension::operator *=( Dimension const & d )
{
	FARRAY_ASSERT_IN( exp_p_, dim_file );
	if ( this == &d ) {
		exp_p_ = new DimensionExpressionMul( exp_p_, exp_p_->clone() );
		reduce();
	} else {
		exp_p_ = new DimensionExpressionMul( exp_p_, new DimensionExpressionRef( d ) );
		d.insert_observer( *this );
	}
	return changed();
}

Dimension &
Dimension::operator /=( Dimension const & d )
{
	FARRAY_ASSERT_IN( exp_p_, dim_file );
	if ( this == &d ) {
		exp_p_ = new DimensionExpressionDiv( exp_p_, exp_p_->clone() );
		reduce();
	} else {
		exp_p_ = new DimensionExpressionDiv( exp_p_, new DimensionExpressionRef( d ) );
		d.insert_observer( *this );
	}
	return changed();
}

// Compound assignment with an expression: a reference to this very object in
// exp is replaced by a clone of the current expression, so it never observes
// itself

Dimension &
Dimension::operator +=( DimensionExpression const & exp )
{
	FARRAY_ASSERT_IN( exp_p_, dim_file );
	set_expression( new DimensionExpressionSum( exp_p_, exp.clone( *this ) ) );
	return changed();
}

Dimension &
Dimension::operator -=( DimensionExpression const & exp )
{
	FARRAY_ASSERT_IN( exp_p_, dim_file );
	set_expression( new DimensionExpressionSub( exp_p_, exp.clone( *this ) ) );
	return changed();
}

Dimension &
Dimension::operator *=( DimensionExpression const & exp )
{
	FARRAY_ASSERT_IN( exp_p_, dim_file );
	set_expression( new DimensionExpressionMul( exp_p_, exp.clone( *this ) ) );
	return changed();
}

Dimension &
Dimension::operator /=( DimensionExpression const & exp )
{
	FARRAY_ASSERT_IN( exp_p_, dim_file );
	set_expression( new DimensionExpressionDiv( exp_p_, exp.clone( *this ) ) );
	return changed();
}

// Compound assignment with constants

Dimension &
Dimension::operator +=( int const i )
{
	FARRAY_ASSERT_IN( exp_p_, dim_file );
	if ( i != 0 ) {
		exp_p_ = new DimensionExpressionSum( exp_p_, new DimensionExpressionCon( i ) );
		reduce();
	}
	return changed();
}

Dimension &
Dimension::operator -=( int const i )
{
	FARRAY_ASSERT_IN( exp_p_, dim_file );
	if ( i != 0 ) {
		exp_p_ = new DimensionExpressionSub( exp_p_, new DimensionExpressionCon( i ) );
		reduce();
	}
	return changed();
}

Dimension &
Dimension::operator *=( int const i )
{
	FARRAY_ASSERT_IN( exp_p_, dim_file );
	if ( i != 1 ) {
		exp_p_ = new DimensionExpressionMul( exp_p_, new DimensionExpressionCon( i ) );
		reduce();
	}
	return changed();
}

Dimension &
Dimension::operator /=( int const i )
{
	FARRAY_ASSERT_IN( exp_p_, dim_file );
	FARRAY_ASSERT_IN( i != 0, dim_file );
	if ( i != 1 ) {
		exp_p_ = new DimensionExpressionDiv( exp_p_, new DimensionExpressionCon( i ) );
		reduce();
	}
	return changed();
}

Dimension &
Dimension::operator +=( double const x )
{
	FARRAY_ASSERT_IN( exp_p_, dim_file );
	if ( x != 0.0 ) {
		exp_p_ = new DimensionExpressionSum( exp_p_, new DimensionExpressionCon( x ) );
		reduce();
	}
	return changed();
}

Dimension &
Dimension::operator -=( double const x )
{
	FARRAY_ASSERT_IN( exp_p_, dim_file );
	if ( x != 0.0 ) {
		exp_p_ = new DimensionExpressionSub( exp_p_, new DimensionExpressionCon( x ) );
		reduce();
	}
	return changed();
}

Dimension &
Dimension::operator *=( double const x )
{
	FARRAY_ASSERT_IN( exp_p_, dim_file );
	if ( x != 1.0 ) exp_p_ = new DimensionExpressionMul( exp_p_, new DimensionExpressionCon( x ) );
	return changed();
}

Dimension &
Dimension::operator /=( double const d )
{
	FARRAY_ASSERT_IN( exp_p_, dim_file );
	FARRAY_ASSERT_IN( d != 0.0, dim_file );
	if ( d != 1.0 ) exp_p_ = new DimensionExpressionDiv( exp_p_, new DimensionExpressionCon( d ) );
	return changed();
}

Dimension &
Dimension::operator ++()
{
	FARRAY_ASSERT_IN( exp_p_, dim_file );
	exp_p_ = new DimensionExpressionSum( exp_p_, new DimensionExpressionCon( 1 ) );
	reduce();
	return changed();
}

Dimension &
Dimension::operator --()
{
	FARRAY_ASSERT_IN( exp_p_, dim_file );
	exp_p_ = new DimensionExpressionSub( exp_p_, new DimensionExpressionCon( 1 ) );
	reduce();
	return changed();
}

// Conditional assignment

bool
Dimension::condition( double const v, double const f, bool const use_f ) const
{
	return ( ! initialized_ ) || ( value_ < v ) || ( use_f && ( double( value_ ) * f > v ) );
}

Dimension &
Dimension::assign_if( int const v, double const f )
{
	if ( condition( v, f, true ) ) {
		drop_expression();
		exp_p_ = new DimensionExpressionCon( v );
		update();
	}
	notify();
	return *this;
}

Dimension &
Dimension::assign_if( double const v, double const f )
{
	if ( condition( v, f, true ) ) {
		drop_expression();
		exp_p_ = new DimensionExpressionCon( v );
		update();
	}
	notify();
	return *this;
}

Dimension &
Dimension::assign_if_bigger( int const v )
{
	if ( condition( v, 0.0, false ) ) {
		drop_expression();
		exp_p_ = new DimensionExpressionCon( v );
		update();
	}
	notify();
	return *this;
}

Dimension &
Dimension::assign_if_bigger( double const v )
{
	if ( condition( v, 0.0, false ) ) {
		drop_expression();
		exp_p_ = new DimensionExpressionCon( v );
		update();
	}
	notify();
	return *this;
}

Dimension &
Dimension::assign_if_nic( int const v, double const f )
{
	if ( condition( v, f, true ) ) {
		bool const old_init = initialized_; int const old_value = value_;
		drop_expression();
		exp_p_ = new DimensionExpressionCon( v );
		update();
		if ( ( initialized_ != old_init ) || ( value_ != old_value ) ) notify();
	}
	return *this;
}

Dimension &
Dimension::assign_if_nic( double const v, double const f )
{
	if ( condition( v, f, true ) ) {
		bool const old_init = initialized_; int const old_value = value_;
		drop_expression();
		exp_p_ = new DimensionExpressionCon( v );
		update();
		if ( ( initialized_ != old_init ) || ( value_ != old_value ) ) notify();
	}
	return *this;
}

Dimension &
Dimension::assign_if_bigger_nic( int const v )
{
	if ( condition( v, 0.0, false ) ) {
		bool const old_init = initialized_; int const old_value = value_;
		drop_expression();
		exp_p_ = new DimensionExpressionCon( v );
		update();
		if ( ( initialized_ != old_init ) || ( value_ != old_value ) ) notify();
	}
	return *this;
}

Dimension &
Dimension::assign_if_bigger_nic( double const v )
{
	if ( condition( v, 0.0, false ) ) {
		bool const old_init = initialized_; int const old_value = value_;
		drop_expression();
		exp_p_ = new DimensionExpressionCon( v );
		update();
		if ( ( initialized_ != old_init ) || ( value_ != old_value ) ) notify();
	}
	return *this;
}

int
Dimension::operator ()() const
{
	FARRAY_ASSERT_IN( initialized_, dim_file );
	return value_;
}

int
Dimension::value() const
{
	FARRAY_ASSERT_IN( initialized_, dim_file );
	return value_;
}

void
Dimension::update()
{
	if ( exp_p_ ) {
		initialized_ = exp_p_->initialized();
		value_ = initialized_ ? exp_p_->ivalue() : 0;
	} else {
		initialized_ = false;
		value_ = 0;
	}
}

void
Dimension::destructed( Observer const & subject )
{
	if ( exp_p_ ) exp_p_->destructed( subject );
}

std::ostream &
operator <<( std::ostream & stream, Dimension const & dim )
{
	stream << dim.value();
	return stream;
}

std::istream &
operator >>( std::istream & stream, Dimension & dim )
{
	std::string token;
	if ( ! ( stream >> token ) ) return stream; // nothing to read: the Dimension is left as it was

	std::istringstream parse( token );
	int i;
	parse >> i;
	if ( ( ! parse.fail() ) && parse.eof() ) {
		dim = i;
		return stream;
	}

	parse.clear();
	parse.seekg( 0 );
	double x;
	parse >> x;
	if ( ( ! parse.fail() ) && parse.eof() ) {
		dim = x;
		return stream;
	}

	internal::fatal_error( "Invalid stream input to Dimension: " + token );
}

} // farray
