#include "farray/format.hh"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <vector>

namespace farray {
namespace format {

// Character, blank and logical fields

namespace {

// The character field of the len characters at s
std::string
a_field( int const w, char const * const s, std::size_t const len )
{
	if ( w < 1 ) return std::string();
	std::size_t const uw = static_cast< std::size_t >( w );
	if ( uw <= len ) return std::string( s, uw );
	return std::string( uw - len, ' ' ).append( s, len );
}

} // namespace

std::string
A( int const w, char const c )
{
	if ( w < 1 ) return std::string();
	return std::string( static_cast< std::size_t >( w - 1 ), ' ' ) + c;
}

std::string
A( char const c )
{
	return std::string( 1, c );
}

std::string
A( int const w, char const * const s )
{
	return a_field( w, s, std::char_traits< char >::length( s ) );
}

std::string
A( int const w, std::string const & s )
{
	return a_field( w, s.data(), s.size() );
}

std::string
A( int const w, Fstring const & s )
{
	return a_field( w, A( s ).data(), s.length() );
}

std::string
A( char const * const s )
{
	return std::string( s );
}

std::string const &
A( std::string const & s )
{
	return s;
}

std::string
A( Fstring const & s )
{
	std::ostringstream out;
	out << s;
	return out.str();
}

std::string
X( int const w )
{
	return std::string( static_cast< std::size_t >( std::max( w, 0 ) ), ' ' );
}

std::string
space( int const w )
{
	return X( w );
}

std::string
repeat( int const n, char const c )
{
	return std::string( static_cast< std::size_t >( std::max( n, 0 ) ), c );
}

std::string
L( int const w, bool const & b )
{
	return A( std::max( w, 1 ), b ? 'T' : 'F' );
}

std::string
L( bool const & b )
{
	return std::string( 1, b ? 'T' : 'F' );
}

std::ios_base &
general( std::ios_base & s )
{
	s.unsetf( std::ios_base::floatfield );
	return s;
}

// Integer fields

namespace internal {

std::string
right_justified( int const w, std::string const & text )
{
	if ( ( w > 0 ) && ( text.size() < static_cast< std::size_t >( w ) ) ) {
		return std::string( static_cast< std::size_t >( w ) - text.size(), ' ' ) + text;
	}
	return text;
}

} // internal

// Real fields

namespace {

// Widths and digit counts are carried in 64 bits, so that w - 7, d - 1 and
// the like never overflow for extreme arguments; a precision handed to the
// C library is capped well inside int.
using wide = long long;

constexpr wide max_precision = 100000;

int
precision_of( wide const p )
{
	return static_cast< int >( std::min( std::max( p, wide( 0 ) ), max_precision ) );
}

// The C library's conversion of x ("%#.*E", "%#.*f" or "%.*G" forms, with
// the L length modifier for long double)
template< typename W >
std::string
c_text( char const * const form, int const p, W const x )
{
	std::vector< char > buffer( 64 );
	int n = std::snprintf( buffer.data(), buffer.size(), form, p, x );
	if ( n >= int( buffer.size() ) ) {
		buffer.resize( static_cast< std::size_t >( n ) + 1 );
		n = std::snprintf( buffer.data(), buffer.size(), form, p, x );
	}
	return std::string( buffer.data(), static_cast< std::size_t >( std::max( n, 0 ) ) );
}

// Conversion forms of the working types
template< typename W > struct forms;

template<> struct forms< double >
{
	static constexpr char const * exponent = "%#.*E";
	static constexpr char const * fixed = "%#.*f";
	static constexpr char const * general = "%.*G";
};

template<> struct forms< long double >
{
	static constexpr char const * exponent = "%#.*LE";
	static constexpr char const * fixed = "%#.*Lf";
	static constexpr char const * general = "%.*LG";
};

// A text read back as a number of the value's own type
template< typename R > R read_back( std::string const & t );
template<> float read_back< float >( std::string const & t ) { return std::strtof( t.c_str(), nullptr ); }
template<> double read_back< double >( std::string const & t ) { return std::strtod( t.c_str(), nullptr ); }
template<> long double read_back< long double >( std::string const & t ) { return std::strtold( t.c_str(), nullptr ); }

std::string
justified( wide const w, std::string const & text )
{
	if ( ( w > 0 ) && ( wide( text.size() ) < w ) ) return std::string( static_cast< std::size_t >( w ) - text.size(), ' ' ) + text;
	return text;
}

// Exponent field: 7 characters of the width held back for the sign, the
// first digit, the point and a four-character exponent
template< typename W >
std::string
e_field( wide const w, wide const d, W const x )
{
	if ( w <= 0 ) return std::string();
	wide const p = std::max( wide( 0 ), std::min( d, w - 7 ) );
	return justified( w, c_text( forms< W >::exponent, precision_of( p ), x ) );
}

// Fixed field; W is the working type, R the value's own type (for the
// read-back that drops the sign of a negative value rounding to zero)
template< typename W, typename R >
std::string
f_field( wide const w, wide const d, W const x )
{
	if ( w < 1 ) return std::string();
	// Room for decimals: one place for a minus sign and one for an integer
	// digit are held back unless the value needs neither
	wide n = w - 3;
	if ( x >= W( 0 ) ) ++n;
	W const ten_d = std::pow( W( 10 ), W( std::max( d, wide( 0 ) ) ) );
	if ( std::abs( x ) < W( 1 ) - W( 0.5 ) / ten_d ) ++n;
	wide const p = std::max( wide( 0 ), std::min( d, n ) );
	std::string const t = justified( w, c_text( forms< W >::fixed, precision_of( p ), x ) );
	if ( ( x >= W( -0.5 ) ) && ( x < W( 0 ) ) && ( read_back< R >( t ) == R( 0 ) ) ) {
		return f_field< W, R >( w, d, W( 0 ) ); // no "-0.00" for a negative value rounding to zero
	}
	if ( wide( t.size() ) <= w ) return t;
	if ( t[ 0 ] == '0' ) return t.substr( 1 ); // drop the zero before the point
	if ( t.compare( 0, 2, "-0" ) == 0 ) return "-" + t.substr( 2 );
	return t;
}

// General field
template< typename W, typename R >
std::string
g_field( wide const w, wide const d, W const x )
{
	std::string const blanks( 4, ' ' );
	W const a = std::abs( x );
	if ( ( a == W( 0 ) ) || std::isnan( x ) ) return f_field< W, R >( w - 4, d - 1, x ) + blanks;
	W const ten = W( 10 );
	if ( a < W( 0.1 ) - W( 0.5 ) * std::pow( ten, W( -d - 2 ) ) ) return e_field( w, d, x );
	if ( a >= std::pow( ten, W( d ) ) - W( 0.5 ) ) return e_field( w, d, x );
	// Digits before the point once a is rounded to d significant digits
	W const k = std::floor( std::log10( a / ( W( 0.1 ) - W( 0.5 ) * std::pow( ten, W( -d - 1 ) ) ) ) );
	return f_field< W, R >( w - 4, d - static_cast< wide >( k ), x ) + blanks;
}

// 9 significant digits in general notation, trailing zeros dropped
template< typename W >
std::string
g9_text( W const x )
{
	return c_text( forms< W >::general, 9, x );
}

// List-directed real: one blank before a negative value, two before any other
template< typename W >
std::string
ss_real( W const x )
{
	return ( x < W( 0 ) ? " " : "  " ) + g9_text( x );
}

template< typename W >
std::string
ss_complex( W const re, W const im )
{
	return std::string( " (" ) + ( re < W( 0 ) ? "" : " " ) + g9_text( re ) + "," + ( im < W( 0 ) ? "" : " " ) + g9_text( im ) + ")";
}

std::string
parenthesised( std::string const & re, std::string const & im )
{
	return "(" + re + "," + im + ")";
}

template< typename W, typename R >
std::string
e_complex( int const w, int const d, std::complex< R > const & z )
{
	if ( w <= 0 ) return std::string();
	return parenthesised( e_field< W >( w, d, W( z.real() ) ), e_field< W >( w, d, W( z.imag() ) ) );
}

template< typename W, typename R >
std::string
f_complex( int const w, int const d, std::complex< R > const & z )
{
	return parenthesised( f_field< W, R >( w, d, W( z.real() ) ), f_field< W, R >( w, d, W( z.imag() ) ) );
}

template< typename W, typename R >
std::string
g_complex( int const w, int const d, std::complex< R > const & z )
{
	return parenthesised( g_field< W, R >( w, d, W( z.real() ) ), g_field< W, R >( w, d, W( z.imag() ) ) );
}

} // namespace

std::string E( int const w, int const d, float const & x ) { return e_field< double >( w, d, x ); }
std::string E( int const w, int const d, double const & x ) { return e_field< double >( w, d, x ); }
std::string E( int const w, int const d, long double const & x ) { return e_field< long double >( w, d, x ); }
std::string F( int const w, int const d, float const & x ) { return f_field< double, float >( w, d, x ); }
std::string F( int const w, int const d, double const & x ) { return f_field< double, double >( w, d, x ); }
std::string F( int const w, int const d, long double const & x ) { return f_field< long double, long double >( w, d, x ); }
std::string G( int const w, int const d, float const & x ) { return g_field< double, float >( w, d, x ); }
std::string G( int const w, int const d, double const & x ) { return g_field< double, double >( w, d, x ); }
std::string G( int const w, int const d, long double const & x ) { return g_field< long double, long double >( w, d, x ); }

std::string E( int const w, int const d, std::complex< float > const & z ) { return e_complex< double >( w, d, z ); }
std::string E( int const w, int const d, std::complex< double > const & z ) { return e_complex< double >( w, d, z ); }
std::string E( int const w, int const d, std::complex< long double > const & z ) { return e_complex< long double >( w, d, z ); }
std::string F( int const w, int const d, std::complex< float > const & z ) { return f_complex< double >( w, d, z ); }
std::string F( int const w, int const d, std::complex< double > const & z ) { return f_complex< double >( w, d, z ); }
std::string F( int const w, int const d, std::complex< long double > const & z ) { return f_complex< long double >( w, d, z ); }
std::string G( int const w, int const d, std::complex< float > const & z ) { return g_complex< double >( w, d, z ); }
std::string G( int const w, int const d, std::complex< double > const & z ) { return g_complex< double >( w, d, z ); }
std::string G( int const w, int const d, std::complex< long double > const & z ) { return g_complex< long double >( w, d, z ); }

// List-directed forms

template<> std::string SS( bool const & x ) { return x ? " T" : " F"; }
template<> std::string SS( float const & x ) { return ss_real< double >( x ); }
template<> std::string SS( double const & x ) { return ss_real< double >( x ); }
template<> std::string SS( long double const & x ) { return ss_real< long double >( x ); }
template<> std::string SS( std::complex< float > const & x ) { return ss_complex< double >( x.real(), x.imag() ); }
template<> std::string SS( std::complex< double > const & x ) { return ss_complex< double >( x.real(), x.imag() ); }
template<> std::string SS( std::complex< long double > const & x ) { return ss_complex< long double >( x.real(), x.imag() ); }

template<> std::string SW( bool const & x ) { return SS( x ); }
template<> std::string SW( float const & x ) { return G( 16, 7, x ); }
template<> std::string SW( double const & x ) { return G( 26, 17, x ); }
template<> std::string SW( long double const & x ) { return G( 40, 32, x ); }
template<> std::string SW( std::complex< float > const & x ) { return G( 16, 7, x ); }
template<> std::string SW( std::complex< double > const & x ) { return G( 26, 17, x ); }
template<> std::string SW( std::complex< long double > const & x ) { return G( 40, 32, x ); }

// Field reading

namespace {

// The integer of a field as a 16-bit read of type S; 0 for a blank or
// empty field and for a failed read
template< typename S >
int
field_integer( std::stringstream & ss )
{
	std::string const text = ss.str();
	if ( text.find_first_not_of( ' ' ) == std::string::npos ) return 0;
	if ( ss.fail() || ss.bad() ) return 0;
	S v = 0;
	ss >> v;
	if ( ss.fail() || ss.bad() ) return 0;
	return static_cast< int >( v );
}

} // namespace

template<>
void
Bite< byte >::assign( std::stringstream & ss ) const
{
	target_ = byte( field_integer< short >( ss ) );
}

template<>
void
Bite< ubyte >::assign( std::stringstream & ss ) const
{
	target_ = ubyte( field_integer< unsigned short >( ss ) );
}

template<>
void
Bite< Fstring >::assign( std::stringstream & ss ) const
{
	target_ = ss.str();
}

Bite< Fstring >
bite( Fstring & s )
{
	return Bite< Fstring >( static_cast< int >( s.length() ), s );
}

} // format
} // farray
