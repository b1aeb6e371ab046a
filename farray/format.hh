#ifndef INCLUDED_farray_format_hh
#define INCLUDED_farray_format_hh

// Edit-descriptor formatting: each function turns one value into a text
// field, in the manner of record-oriented formatted output, and returns it
// for the caller to concatenate or write.
//
//   A    character field: right-justified in the width, or its first w characters
//   X    blanks (also space); repeat: n copies of a character
//   L    logical field: T or F, right-justified, never empty
//   I    integer field: right-justified; grows to hold the number
//   E    exponent field  d.dddE+xx, decimals lowered to fit (7 characters held back)
//   F    fixed field, decimals lowered to fit, a leading zero dropped before giving up
//   G    general field: F followed by four blanks when the magnitude suits, else E
//   SS   list-directed form: narrowest text behind a separator blank
//   SW   fixed width chosen by the value's type
//
// No field is ever truncated or filled with asterisks: a value that does
// not fit is returned whole, longer than the width. A float is written,
// compared and scaled as a double; a long double in extended precision.
//
// Bite names a target with a field width, and assign sets the target from
// the text of one field (byte, ubyte and Fstring targets).

#include "farray/Fstring.hh"
#include "farray/byte.hh"

#include <complex>
#include <ios>
#include <sstream>
#include <string>
#include <type_traits>

namespace farray {
namespace format {

// Character, blank and logical fields

// w < 1: empty; otherwise w - 1 blanks and c
std::string A( int const w, char const c );
std::string A( char const c );

// w < 1: empty; w below the text's length: its first w characters; else
// the text right-justified in w
std::string A( int const w, char const * const s );
std::string A( int const w, std::string const & s );
std::string A( int const w, Fstring const & s );

std::string A( char const * const s );
std::string const & A( std::string const & s ); // the argument itself
std::string A( Fstring const & s ); // trailing blanks included

// max(w, 0) blanks
std::string X( int const w );
std::string space( int const w );

// max(n, 0) copies of c
std::string repeat( int const n, char const c );

// "T" or "F", after w - 1 blanks when w > 1
std::string L( int const w, bool const & b );
std::string L( bool const & b );

// Stream manipulator: back to general floating-point notation (fixed and
// scientific flags cleared, nothing else changed)
std::ios_base & general( std::ios_base & s );

// Integer fields

namespace internal {

template< typename T >
struct is_format_integer : std::integral_constant< bool,
	std::is_same< T, byte >::value || std::is_same< T, short >::value ||
	std::is_same< T, unsigned short >::value || std::is_same< T, int >::value ||
	std::is_same< T, unsigned int >::value || std::is_same< T, long >::value ||
	std::is_same< T, unsigned long >::value > {};

// Text right-justified in w (returned whole when it is not shorter)
std::string right_justified( int const w, std::string const & text );

// Width of the SW field of an integer type
template< typename T >
constexpr int
sw_width()
{
	return sizeof( T ) <= 2 ? 7 : ( sizeof( T ) <= 4 ? 12 : 22 );
}

template< typename T >
struct dependent_false : std::false_type {};

} // internal

// Exact decimal value, right-justified in w; never truncated
template< typename T >
std::string
I( int const w, T const & x )
{
	static_assert( internal::is_format_integer< T >::value, "I writes byte, short, int and long and their unsigned forms" );
	if constexpr ( std::is_same< T, byte >::value ) {
		return internal::right_justified( w, std::to_string( x.value() ) );
	} else {
		return internal::right_justified( w, std::to_string( x ) );
	}
}

// Real and complex fields (d: decimals for E and F, significant digits for G)

std::string E( int const w, int const d, float const & x );
std::string E( int const w, int const d, double const & x );
std::string E( int const w, int const d, long double const & x );
std::string F( int const w, int const d, float const & x );
std::string F( int const w, int const d, double const & x );
std::string F( int const w, int const d, long double const & x );
std::string G( int const w, int const d, float const & x );
std::string G( int const w, int const d, double const & x );
std::string G( int const w, int const d, long double const & x );

// "(" real part "," imaginary part ")", each in the field of the same letter
// (E with w <= 0 is empty as a whole)
std::string E( int const w, int const d, std::complex< float > const & z );
std::string E( int const w, int const d, std::complex< double > const & z );
std::string E( int const w, int const d, std::complex< long double > const & z );
std::string F( int const w, int const d, std::complex< float > const & z );
std::string F( int const w, int const d, std::complex< double > const & z );
std::string F( int const w, int const d, std::complex< long double > const & z );
std::string G( int const w, int const d, std::complex< float > const & z );
std::string G( int const w, int const d, std::complex< double > const & z );
std::string G( int const w, int const d, std::complex< long double > const & z );

// List-directed forms

// SS: one blank before a negative real, two before any other; 9 significant
// digits in general notation. Complex: " (", each part behind a blank unless
// negative, separated by a comma, then ")". bool: " T" or " F".
template< typename T >
std::string
SS( T const & )
{
	static_assert( internal::dependent_false< T >::value, "SS writes bool, float, double, long double and their complex forms" );
	return std::string();
}

template<> std::string SS( bool const & x );
template<> std::string SS( float const & x );
template<> std::string SS( double const & x );
template<> std::string SS( long double const & x );
template<> std::string SS( std::complex< float > const & x );
template<> std::string SS( std::complex< double > const & x );
template<> std::string SS( std::complex< long double > const & x );

// SW: integers in I fields of 7 (8- and 16-bit), 12 (32-bit) or 22 (64-bit)
// characters; reals in G fields of width and digits 16 and 7 (float), 26 and
// 17 (double), 40 and 32 (long double), complex values likewise; bool as SS.
template< typename T >
std::string
SW( T const & x )
{
	static_assert( internal::is_format_integer< T >::value, "SW writes bool, the integer types, reals and complex values" );
	return I( internal::sw_width< T >(), x );
}

template<> std::string SW( bool const & x );
template<> std::string SW( float const & x );
template<> std::string SW( double const & x );
template<> std::string SW( long double const & x );
template<> std::string SW( std::complex< float > const & x );
template<> std::string SW( std::complex< double > const & x );
template<> std::string SW( std::complex< long double > const & x );

// Field reading

template< typename T >
class Bite
{
public:
	Bite( int const w, T & t ) :
		width_( w ),
		decimals_( 0 ),
		target_( t )
	{}

	Bite( int const w, int const d, T & t ) :
		width_( w ),
		decimals_( d ),
		target_( t )
	{}

	int width() const { return width_; }
	int decimals() const { return decimals_; }
	T & target() const { return target_; }

	// Set the target from the text of one field, held whole in ss with the
	// read position at its start
	void assign( std::stringstream & ss ) const
	{
		static_assert( internal::dependent_false< T >::value, "fields are read into byte, ubyte and Fstring targets" );
	}

private:
	int width_;
	int decimals_;
	T & target_;
};

// Blank or empty field: 0. Otherwise a 16-bit integer read from the start
// of the field (later characters ignored), its low 8 bits kept; 0 when the
// read fails (no number, or one beyond 16 bits).
template<> void Bite< byte >::assign( std::stringstream & ss ) const;
template<> void Bite< ubyte >::assign( std::stringstream & ss ) const;

// The whole field text, by the Fstring assignment (cut or padded to its length)
template<> void Bite< Fstring >::assign( std::stringstream & ss ) const;

// Bite of width s.length() and no decimals
Bite< Fstring > bite( Fstring & s );

} // format
} // farray

#endif
