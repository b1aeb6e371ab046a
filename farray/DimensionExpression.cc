// Expression nodes that define Dimension values

#include "farray/DimensionExpression.hh"
#include "farray/DimensionExpressionCon.hh"
#include "farray/DimensionExpressionRef.hh"
#include "farray/DimensionExpressionSum.hh"
#include "farray/DimensionExpressionSub.hh"
#include "farray/DimensionExpressionMul.hh"
#include "farray/DimensionExpressionDiv.hh"
#include "farray/Dimension.hh"
#include "farray/assert.hh"

#include <climits>
#include <cmath>
#include <cstdint>
#include <ostream>

namespace farray {

int
DimensionExpression::to_int( double const x )
{
	// Saturate instead of leaving an out-of-range conversion undefined
	if ( std::isnan( x ) ) return 0;
	if ( x >= 2147483647.0 ) return INT_MAX;
	if ( x <= -2147483648.0 ) return INT_MIN;
	return static_cast< int >( x ); // truncates toward zero
}

std::ostream &
operator <<( std::ostream & stream, DimensionExpression const & exp )
{
	stream << exp.value();
	return stream;
}

// Reference //////////////////////////////////////////////////////////////////

namespace {
char const * const ref_file = "farray/DimensionExpressionRef.hh";
}

DimensionExpressionRef::DimensionExpressionRef( DimensionExpressionRef const & exp ) :
	DimensionExpression(),
	dim_p_( exp.dim_p_ )
{
	FARRAY_ASSERT_IN( dim_p_, ref_file );
}

DimensionExpression *
DimensionExpressionRef::clone() const
{
	return new DimensionExpressionRef( *this );
}

DimensionExpression *
DimensionExpressionRef::clone( Dimension const & d ) const
{
	if ( ( dim_p_ == &d ) && d.exp_p() ) return d.exp_p()->clone();
	return new DimensionExpressionRef( *this );
}

bool
DimensionExpressionRef::initialized() const
{
	FARRAY_ASSERT_IN( dim_p_, ref_file );
	return dim_p_->initialized();
}

double
DimensionExpressionRef::operator ()() const
{
	FARRAY_ASSERT_IN( dim_p_, ref_file );
	return static_cast< double >( ( *dim_p_ )() );
}

double
DimensionExpressionRef::value() const
{
	FARRAY_ASSERT_IN( dim_p_, ref_file );
	return static_cast< double >( dim_p_->value() );
}

void
DimensionExpressionRef::insert_observer( Observer & observer ) const
{
	FARRAY_ASSERT_IN( dim_p_, ref_file );
	dim_p_->insert_observer( observer );
}

void
DimensionExpressionRef::remove_observer( Observer & observer ) const
{
	if ( dim_p_ ) dim_p_->remove_observer( observer );
}

void
DimensionExpressionRef::destructed( Observer const & subject )
{
	if ( ( dim_p_ ) && ( static_cast< Observer const * >( dim_p_ ) == &subject ) ) dim_p_ = nullptr;
}

// Two-operand nodes //////////////////////////////////////////////////////////

DimensionExpressionBinary::DimensionExpressionBinary( DimensionExpression * exp1_p, DimensionExpression * exp2_p, char const * file ) :
	exp1_p_( exp1_p ),
	exp2_p_( exp2_p )
{
	FARRAY_ASSERT_IN( exp1_p_, file );
	FARRAY_ASSERT_IN( exp2_p_, file );
}

DimensionExpressionBinary::~DimensionExpressionBinary()
{
	delete exp1_p_;
	delete exp2_p_;
}

void
DimensionExpressionBinary::insert_observer( Observer & observer ) const
{
	exp1_p_->insert_observer( observer );
	exp2_p_->insert_observer( observer );
}

void
DimensionExpressionBinary::remove_observer( Observer & observer ) const
{
	exp1_p_->remove_observer( observer );
	exp2_p_->remove_observer( observer );
}

void
DimensionExpressionBinary::destructed( Observer const & subject )
{
	exp1_p_->destructed( subject );
	exp2_p_->destructed( subject );
}

namespace {

// 32-bit integer arithmetic of folded integer constants; overflow wraps
inline int wrap( std::int64_t const v ) { return static_cast< int >( static_cast< std::uint32_t >( v ) ); }

}

DimensionExpressionSum::DimensionExpressionSum( DimensionExpression * exp1_p, DimensionExpression * exp2_p ) :
	DimensionExpressionBinary( exp1_p, exp2_p, "farray/DimensionExpressionSum.hh" )
{}

DimensionExpression *
DimensionExpressionSum::clone() const
{
	if ( constant() ) {
		if ( integer() ) return new DimensionExpressionCon( wrap( std::int64_t( exp1_p_->ivalue() ) + exp2_p_->ivalue() ) );
		return new DimensionExpressionCon( exp1_p_->value() + exp2_p_->value() );
	}
	return new DimensionExpressionSum( exp1_p_->clone(), exp2_p_->clone() );
}

DimensionExpression *
DimensionExpressionSum::clone( Dimension const & d ) const
{
	if ( constant() ) return clone();
	return new DimensionExpressionSum( exp1_p_->clone( d ), exp2_p_->clone( d ) );
}

double DimensionExpressionSum::operator ()() const { return ( *exp1_p_ )() + ( *exp2_p_ )(); }
double DimensionExpressionSum::value() const { return exp1_p_->value() + exp2_p_->value(); }

DimensionExpressionSub::DimensionExpressionSub( DimensionExpression * exp1_p, DimensionExpression * exp2_p ) :
	DimensionExpressionBinary( exp1_p, exp2_p, "farray/DimensionExpressionSub.hh" )
{}

DimensionExpression *
DimensionExpressionSub::clone() const
{
	if ( constant() ) {
		if ( integer() ) return new DimensionExpressionCon( wrap( std::int64_t( exp1_p_->ivalue() ) - exp2_p_->ivalue() ) );
		return new DimensionExpressionCon( exp1_p_->value() - exp2_p_->value() );
	}
	return new DimensionExpressionSub( exp1_p_->clone(), exp2_p_->clone() );
}

DimensionExpression *
DimensionExpressionSub::clone( Dimension const & d ) const
{
	if ( constant() ) return clone();
	return new DimensionExpressionSub( exp1_p_->clone( d ), exp2_p_->clone( d ) );
}

double DimensionExpressionSub::operator ()() const { return ( *exp1_p_ )() - ( *exp2_p_ )(); }
double DimensionExpressionSub::value() const { return exp1_p_->value() - exp2_p_->value(); }

DimensionExpressionMul::DimensionExpressionMul( DimensionExpression * exp1_p, DimensionExpression * exp2_p ) :
	DimensionExpressionBinary( exp1_p, exp2_p, "farray/DimensionExpressionMul.hh" )
{}

DimensionExpression *
DimensionExpressionMul::clone() const
{
	if ( constant() ) {
		if ( integer() ) return new DimensionExpressionCon( wrap( std::int64_t( exp1_p_->ivalue() ) * exp2_p_->ivalue() ) );
		return new DimensionExpressionCon( exp1_p_->value() * exp2_p_->value() );
	}
	return new DimensionExpressionMul( exp1_p_->clone(), exp2_p_->clone() );
}

DimensionExpression *
DimensionExpressionMul::clone( Dimension const & d ) const
{
	if ( constant() ) return clone();
	return new DimensionExpressionMul( exp1_p_->clone( d ), exp2_p_->clone( d ) );
}

double DimensionExpressionMul::operator ()() const { return ( *exp1_p_ )() * ( *exp2_p_ )(); }
double DimensionExpressionMul::value() const { return exp1_p_->value() * exp2_p_->value(); }

namespace {
char const * const div_file = "farray/DimensionExpressionDiv.hh";

// Integer quotient truncated toward zero; INT_MIN / -1 wraps to INT_MIN
inline int idiv( int const a, int const b ) { return wrap( std::int64_t( a ) / b ); }
}

DimensionExpressionDiv::DimensionExpressionDiv( DimensionExpression * exp1_p, DimensionExpression * exp2_p ) :
	DimensionExpressionBinary( exp1_p, exp2_p, div_file )
{}

DimensionExpression *
DimensionExpressionDiv::clone() const
{
	if ( constant() ) {
		if ( integer() ) {
			FARRAY_ASSERT_IN( exp2_p_->ivalue() != 0, div_file );
			return new DimensionExpressionCon( idiv( exp1_p_->ivalue(), exp2_p_->ivalue() ) );
		}
		FARRAY_ASSERT_IN( exp2_p_->value() != 0.0, div_file );
		return new DimensionExpressionCon( exp1_p_->value() / exp2_p_->value() );
	}
	return new DimensionExpressionDiv( exp1_p_->clone(), exp2_p_->clone() );
}

DimensionExpression *
DimensionExpressionDiv::clone( Dimension const & d ) const
{
	if ( constant() ) return clone();
	return new DimensionExpressionDiv( exp1_p_->clone( d ), exp2_p_->clone( d ) );
}

double
DimensionExpressionDiv::operator ()() const
{
	FARRAY_ASSERT_IN( exp2_p_->operator ()() != 0.0, div_file );
	if ( integer() ) return idiv( to_int( ( *exp1_p_ )() ), to_int( ( *exp2_p_ )() ) );
	return ( *exp1_p_ )() / ( *exp2_p_ )();
}

double
DimensionExpressionDiv::value() const
{
	FARRAY_ASSERT_IN( exp2_p_->value() != 0.0, div_file );
	if ( integer() ) {
		int const d = exp2_p_->ivalue();
		// a divisor in (-1,1) truncates to 0: the quotient is then undefined
		FARRAY_ASSERT_IN( exp2_p_->ivalue() != 0, div_file );
		return idiv( exp1_p_->ivalue(), d );
	}
	return exp1_p_->value() / exp2_p_->value();
}

} // farray
