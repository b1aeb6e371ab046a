// Edit descriptors: every documented example as a table, each expected text
// checked against the C library's printf where the two forms agree, then
// property checks of E, F and G against printf over many values

#include "farray/format.hh"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <limits>
#include <random>
#include <sstream>
#include <string>

using namespace farray;
using namespace farray::format;

namespace {

// printf into a string
std::string
pf( char const * const form, ... )
{
	char buffer[ 512 ];
	va_list args;
	va_start( args, form );
	int const n = std::vsnprintf( buffer, sizeof buffer, form, args );
	va_end( args );
	EXPECT_GE( n, 0 );
	EXPECT_LT( n, int( sizeof buffer ) );
	return std::string( buffer, std::size_t( n ) );
}

std::string const four( 4, ' ' );

struct Example
{
	char const * what;
	std::string got;
	std::string expected;
	std::string by_printf; // the same field made by printf, or empty where the forms differ
};

void
check( Example const & e )
{
	EXPECT_EQ( e.got, e.expected ) << e.what;
	if ( ! e.by_printf.empty() ) {
		EXPECT_EQ( e.expected, e.by_printf ) << e.what << " (printf)";
	}
}

} // namespace

// Catches: a lost or extra blank, a wrong cut of an over-long text, an empty
// logical field
TEST( Format, TextAndLogicalExamples )
{
	Fstring const x5( 5, "x" );
	Example const table[] = {
		{ "A(0) of a character", A( 0, 'c' ), "", "" },
		{ "A(-2) of a character", A( -2, 'c' ), "", "" },
		{ "A(1) of a character", A( 1, 'c' ), "c", pf( "%1c", 'c' ) },
		{ "A(4) of a character", A( 4, 'c' ), "   c", pf( "%4c", 'c' ) },
		{ "A of a character", A( 'c' ), "c", "" },
		{ "A(0) of a text", A( 0, "abc" ), "", "" },
		{ "A(-1) of a string", A( -1, std::string( "abc" ) ), "", "" },
		{ "A(0) of an Fstring", A( 0, x5 ), "", "" },
		{ "A(3) of six characters", A( 3, "abcdef" ), "abc", pf( "%.3s", "abcdef" ) },
		{ "A(3) of a six-character string", A( 3, std::string( "abcdef" ) ), "abc", pf( "%.3s", "abcdef" ) },
		{ "A(6) of three characters", A( 6, "abc" ), "   abc", pf( "%6s", "abc" ) },
		{ "A(6) of a three-character string", A( 6, std::string( "abc" ) ), "   abc", pf( "%6s", "abc" ) },
		{ "A(3) of three characters", A( 3, "abc" ), "abc", pf( "%3s", "abc" ) },
		{ "A(2) of x and four blanks", A( 2, x5 ), "x ", pf( "%.2s", "x    " ) },
		{ "A(7) of x and four blanks", A( 7, x5 ), "  x    ", pf( "%7s", "x    " ) },
		{ "A(5) of x and four blanks", A( 5, x5 ), "x    ", "" },
		{ "A of a text", A( "ab " ), "ab ", "" },
		{ "A of an Fstring", A( x5 ), "x    ", "" },
		{ "X(3)", X( 3 ), "   ", pf( "%3s", "" ) },
		{ "X(-1)", X( -1 ), "", "" },
		{ "space(-3)", space( -3 ), "", "" },
		{ "space(2)", space( 2 ), "  ", "" },
		{ "repeat 3", repeat( 3, 'z' ), "zzz", "" },
		{ "repeat -1", repeat( -1, 'z' ), "", "" },
		{ "L(4) of true", L( 4, true ), "   T", pf( "%4s", "T" ) },
		{ "L(1) of false", L( 1, false ), "F", "" },
		{ "L(0) of true", L( 0, true ), "T", "" },
		{ "L(-3) of false", L( -3, false ), "F", "" },
		{ "L of true", L( true ), "T", "" },
	};
	for ( Example const & e : table ) check( e );
	std::string const s( "same" );
	EXPECT_EQ( &A( s ), &s ); // the argument itself, no copy
}

TEST( Format, GeneralResetsOnlyTheNotation )
{
	std::ostringstream out;
	out << std::fixed << std::showpos << std::uppercase;
	out.precision( 3 );
	out.width( 9 );
	out << general;
	EXPECT_EQ( out.flags() & std::ios_base::floatfield, std::ios_base::fmtflags( 0 ) );
	EXPECT_TRUE( out.flags() & std::ios_base::showpos );
	EXPECT_TRUE( out.flags() & std::ios_base::uppercase );
	EXPECT_EQ( out.precision(), 3 );
	EXPECT_EQ( out.width(), 9 );
	out.width( 0 );
	out << std::scientific << general << 0.5;
	EXPECT_EQ( out.str(), "+0.5" );
}

// Catches: a truncated or asterisk-filled integer, a byte written as a
// character, a wrong SW width
TEST( Format, IntegerAndListDirectedExamples )
{
	Example const table[] = {
		{ "I(5) of -42", I( 5, -42 ), "  -42", pf( "%5d", -42 ) },
		{ "I(2) of -42", I( 2, -42 ), "-42", pf( "%2d", -42 ) },
		{ "I(0) of -42", I( 0, -42 ), "-42", "" },
		{ "I(-3) of -42", I( -3, -42 ), "-42", "" },
		{ "I(5) of the largest unsigned long", I( 5, ULONG_MAX ), "18446744073709551615", pf( "%5lu", ULONG_MAX ) },
		{ "I(8) of a short", I( 8, short( -32768 ) ), "  -32768", pf( "%8hd", short( -32768 ) ) },
		{ "I(6) of an unsigned short", I( 6, ( unsigned short )( 65535 ) ), " 65535", pf( "%6hu", 65535 ) },
		{ "I(12) of the smallest long", I( 12, LONG_MIN ), "-9223372036854775808", pf( "%12ld", LONG_MIN ) },
		{ "I(4) of an unsigned", I( 4, 7u ), "   7", pf( "%4u", 7u ) },
		{ "I(4) of byte 200", I( 4, byte( 200 ) ), " -56", pf( "%4d", -56 ) },
		{ "SW of int 5", SW( 5 ), "           5", pf( "%12d", 5 ) },
		{ "SW of byte -128", SW( byte( -128 ) ), "   -128", pf( "%7d", -128 ) },
		{ "SW of short", SW( short( 12 ) ), "     12", pf( "%7d", 12 ) },
		{ "SW of unsigned short", SW( ( unsigned short )( 12 ) ), "     12", pf( "%7d", 12 ) },
		{ "SW of unsigned", SW( 4000000000u ), "  4000000000", pf( "%12u", 4000000000u ) },
		{ "SW of long", SW( -1L ), std::string( 20, ' ' ) + "-1", pf( "%22ld", -1L ) },
		{ "SW of unsigned long", SW( ULONG_MAX ), "  18446744073709551615", pf( "%22lu", ULONG_MAX ) },
		{ "SS of -2.5", SS( -2.5 ), " -2.5", " " + pf( "%.9G", -2.5 ) },
		{ "SS of 2.5", SS( 2.5 ), "  2.5", "  " + pf( "%.9G", 2.5 ) },
		{ "SS of 1.0", SS( 1.0 ), "  1", "  " + pf( "%.9G", 1.0 ) },
		{ "SS of 1E10", SS( 1.0e10 ), "  1E+10", "  " + pf( "%.9G", 1.0e10 ) },
		{ "SS of -0", SS( -0.0 ), "  -0", "  " + pf( "%.9G", -0.0 ) },
		{ "SS of the float 0.1", SS( 0.1f ), "  0.100000001", "  " + pf( "%.9G", double( 0.1f ) ) },
		{ "SS of 1/3 (nine digits also for double)", SS( 1.0 / 3.0 ), "  0.333333333", "" },
		{ "SS of a long double", SS( 2.0L / 3.0L ), "  0.666666667", "  " + pf( "%.9LG", 2.0L / 3.0L ) },
		{ "SS of 1E-5", SS( 1.0e-5 ), "  1E-05", "  " + pf( "%.9G", 1.0e-5 ) },
		{ "SS of 123456789", SS( 123456789.0 ), "  123456789", "" },
		{ "SS of 1234567890", SS( 1234567890.0 ), "  1.23456789E+09", "" },
		{ "SS of a NaN", SS( std::numeric_limits< double >::quiet_NaN() ).substr( 0, 2 ), "  ", "" },
		{ "SS of (1,-2)", SS( std::complex< double >( 1.0, -2.0 ) ), " ( 1,-2)", "" },
		{ "SS of (-1.5,0.25)", SS( std::complex< float >( -1.5f, 0.25f ) ), " (-1.5, 0.25)", "" },
		{ "SS of a long double complex", SS( std::complex< long double >( 0.5L, -0.0L ) ), " ( 0.5, -0)", "" },
		{ "SS of true", SS( true ), " T", "" },
		{ "SW of true", SW( true ), " T", "" },
		{ "SS of false", SS( false ), " F", "" },
		{ "SW of false", SW( false ), " F", "" },
	};
	for ( Example const & e : table ) check( e );
	EXPECT_EQ( SS( -2.5 ).size(), 5u );
	EXPECT_EQ( SS( std::complex< double >( 1.0, -2.0 ) ).size(), 8u );
}

// Catches: the 7 held-back characters, decimals not lowered, the zero and
// the minus sign of small magnitudes, G choosing the wrong form or width
TEST( Format, RealExamples )
{
	double const nz = -0.0;
	Example const table[] = {
		{ "E(0)", E( 0, 3, 1234.6 ), "", "" },
		{ "E(-4)", E( -4, 3, 1234.6 ), "", "" },
		{ "E(10,3) of 1234.6", E( 10, 3, 1234.6 ), " 1.235E+03", pf( "%10.3E", 1234.6 ) },
		{ "E(5,3) of 1234.6", E( 5, 3, 1234.6 ), "1.E+03", pf( "%#5.0E", 1234.6 ) },
		{ "E(12,8) of 1E+100", E( 12, 8, 1.0e100 ), "1.00000E+100", pf( "%12.5E", 1.0e100 ) },
		{ "E(12,8) of -1E+100", E( 12, 8, -1.0e100 ), "-1.00000E+100", pf( "%12.5E", -1.0e100 ) },
		{ "F(5,2) of -0.001", F( 5, 2, -0.001 ), " 0.00", pf( "%5.2f", 0.0 ) },
		{ "F(5,2) of negative zero", F( 5, 2, nz ), "-0.00", pf( "%5.2f", nz ) },
		{ "F(4,3) of 0.5", F( 4, 3, 0.5 ), ".500", pf( "%.3f", 0.5 ).substr( 1 ) },
		{ "F(5,3) of -0.5", F( 5, 3, -0.5 ), "-.500", "" },
		{ "F(6,3) of -0.5", F( 6, 3, -0.5 ), "-0.500", pf( "%6.3f", -0.5 ) },
		{ "F(3,2) of 123.4", F( 3, 2, 123.4 ), "123.4", pf( "%3.1f", 123.4 ) },
		{ "F(6,3) of -12.5", F( 6, 3, -12.5 ), "-12.500", pf( "%6.3f", -12.5 ) },
		{ "F(6,0) of 2.7", F( 6, 0, 2.7 ), "    3.", pf( "%#6.0f", 2.7 ) },
		{ "F(0) of 2.7", F( 0, 2, 2.7 ), "", "" },
		{ "G(16,7) of 0", G( 16, 7, 0.0 ), "    0.000000    ", pf( "%12.6f", 0.0 ) + four },
		{ "G(16,7) of 12345.678", G( 16, 7, 12345.678 ), "    12345.68    ", pf( "%12.2f", 12345.678 ) + four },
		{ "G(16,7) of 0.05", G( 16, 7, 0.05 ), E( 16, 7, 0.05 ), pf( "%16.7E", 0.05 ) },
		{ "G(16,7) of 1E+07", G( 16, 7, 1.0e7 ), E( 16, 7, 1.0e7 ), pf( "%16.7E", 1.0e7 ) },
		{ "G(16,7) of 0.099999996", G( 16, 7, 0.099999996 ), E( 16, 7, 0.099999996 ), pf( "%16.7E", 0.099999996 ) },
		{ "G(3,2) of 0.5", G( 3, 2, 0.5 ), "    ", "" },
		{ "F(6,2) of (1,-1)", F( 6, 2, std::complex< double >( 1.0, -1.0 ) ), "(  1.00, -1.00)", "(" + pf( "%6.2f", 1.0 ) + "," + pf( "%6.2f", -1.0 ) + ")" },
	};
	for ( Example const & e : table ) check( e );
	EXPECT_EQ( E( 16, 7, 0.05 ), "   5.0000000E-02" );
	EXPECT_EQ( E( 16, 7, 1.0e7 ), "   1.0000000E+07" );
	EXPECT_EQ( F( 6, 2, std::complex< double >( 1.0, -1.0 ) ).size(), 15u );
	EXPECT_EQ( E( 12, 8, -1.0e100 ).size(), 13u );
}

TEST( Format, ComplexFields )
{
	std::complex< double > const z( 1.5, -2.25 );
	EXPECT_EQ( E( 0, 2, z ), "" ); // empty as a whole
	EXPECT_EQ( E( 10, 2, z ), "(  1.50E+00, -2.25E+00)" );
	EXPECT_EQ( F( 0, 2, z ), "(,)" ); // F and G keep the parentheses and comma
	EXPECT_EQ( G( 4, 2, z ), "(    ,    )" );
	EXPECT_EQ( G( 10, 3, z ), "(  1.50    , -2.25    )" );
	EXPECT_EQ( F( 5, 1, std::complex< float >( 0.25f, 2.0f ) ), "(  0.2,  2.0)" );
	EXPECT_EQ( E( 9, 1, std::complex< long double >( 10.0L, -0.5L ) ), "(  1.0E+01, -5.0E-01)" );
	EXPECT_EQ( SW( std::complex< float >( 1.0f, 0.0f ) ), "(" + G( 16, 7, 1.0f ) + "," + G( 16, 7, 0.0f ) + ")" );
	EXPECT_EQ( SW( std::complex< double >( 2.0, 0.0 ) ), "(" + G( 26, 17, 2.0 ) + "," + G( 26, 17, 0.0 ) + ")" );
	EXPECT_EQ( SW( std::complex< long double >( 2.0L, 3.0L ) ), "(" + G( 40, 32, 2.0L ) + "," + G( 40, 32, 3.0L ) + ")" );
}

// Catches: float values scaled or compared in single precision, long double
// values squeezed through double
TEST( Format, PrecisionOfTheWorkingType )
{
	// The float nearest 0.1 is 0.100000001490116...: written as that double
	EXPECT_EQ( E( 20, 12, 0.1f ), pf( "%20.12E", double( 0.1f ) ) );
	EXPECT_EQ( F( 20, 12, 0.1f ), pf( "%20.12f", double( 0.1f ) ) );
	long double const third = 1.0L / 3.0L;
	EXPECT_EQ( E( 40, 20, third ), pf( "%40.20LE", third ) );
	EXPECT_EQ( F( 30, 20, third ), pf( "%30.20Lf", third ) );
	EXPECT_NE( F( 30, 20, third ), F( 30, 20, double( third ) ) );
	EXPECT_EQ( SW( 0.5f ), G( 16, 7, 0.5f ) );
	EXPECT_EQ( SW( 0.5f ), "   0.5000000    " );
	EXPECT_EQ( SW( 0.5 ), pf( "%22.17f", 0.5 ) + four );
	EXPECT_EQ( SW( 0.5L ), pf( "%36.32Lf", 0.5L ) + four );
	EXPECT_EQ( SW( 1.0e300 ), pf( "%26.17E", 1.0e300 ) );
	EXPECT_EQ( SW( 1.0e-300L ), pf( "%40.32LE", 1.0e-300L ) );
	EXPECT_EQ( SW( 1.0e4000L ), pf( "%40.32LE", 1.0e4000L ) ); // beyond double's range
	// A negative float rounding to zero loses its sign
	EXPECT_EQ( F( 6, 2, -0.004f ), "  0.00" );
	EXPECT_EQ( F( 6, 2, -0.004L ), "  0.00" );
}

TEST( Format, NonFiniteValues )
{
	double const inf = std::numeric_limits< double >::infinity();
	double const nan = std::numeric_limits< double >::quiet_NaN();
	EXPECT_EQ( E( 10, 3, inf ), pf( "%#10.3E", inf ) );
	EXPECT_EQ( G( 10, 3, inf ), E( 10, 3, inf ) ); // infinity takes the E form
	EXPECT_EQ( F( 8, 2, nan ), pf( "%#8.2f", nan ) );
	EXPECT_EQ( G( 12, 3, nan ), pf( "%#8.2f", nan ) + four );
	EXPECT_EQ( SS( inf ), "  INF" );
	EXPECT_EQ( SS( -inf ), " -INF" );
}

// Every E field with room for all decimals is printf's %E in that width
TEST( Format, ExponentFieldMatchesPrintf )
{
	std::mt19937_64 rng( 17 );
	std::uniform_real_distribution< double > mantissa( -10.0, 10.0 );
	std::uniform_int_distribution< int > exponent( -310, 308 ), digits( 0, 17 ), extra( 0, 6 );
	for ( int n = 0; n < 20000; ++n ) {
		double const x = mantissa( rng ) * std::pow( 10.0, exponent( rng ) );
		int const d = digits( rng );
		int const w = d + 7 + extra( rng );
		ASSERT_EQ( E( w, d, x ), pf( "%#*.*E", w, d, x ) ) << x << " " << w << " " << d;
	}
}

// Every F field wide enough for all decimals is printf's %f, apart from the
// sign of negative values that round to zero
TEST( Format, FixedFieldMatchesPrintf )
{
	std::mt19937_64 rng( 23 );
	std::uniform_real_distribution< double > mantissa( -10.0, 10.0 );
	std::uniform_int_distribution< int > exponent( -8, 12 ), digits( 0, 9 ), extra( 0, 4 );
	for ( int n = 0; n < 20000; ++n ) {
		double const x = mantissa( rng ) * std::pow( 10.0, exponent( rng ) );
		int const d = digits( rng );
		std::string const reference = pf( "%#.*f", d, x );
		int const w = int( reference.size() ) + 1 + extra( rng ); // room for a sign and a digit
		bool const rounds_to_negative_zero = ( x < 0.0 ) && ( std::strtod( reference.c_str(), nullptr ) == 0.0 );
		std::string const expected = rounds_to_negative_zero ? pf( "%#*.*f", w, d, 0.0 ) : pf( "%#*.*f", w, d, x );
		ASSERT_EQ( F( w, d, x ), expected ) << x << " " << w << " " << d;
	}
}

// G: the F form with d significant digits followed by four blanks from 0.1
// up to the d-digit limit, the E form outside; the digit count before the
// point is taken here from printf's own rounding to d significant digits.
// The lower switch is the bound 0.1 - 0.5 * 10^(-d-2), a tenth of a rounding
// step below 0.1: values just under it that round up to 0.1 still take E.
TEST( Format, GeneralFieldMatchesPrintf )
{
	std::mt19937_64 rng( 29 );
	std::uniform_real_distribution< double > mantissa( 1.0, 10.0 );
	std::uniform_int_distribution< int > exponent( -4, 12 ), digits( 1, 15 ), sign( 0, 1 ), near_tenth( 0, 9 );
	for ( int n = 0; n < 20000; ++n ) {
		int const d = digits( rng );
		double x = ( sign( rng ) ? -1.0 : 1.0 ) * mantissa( rng ) * std::pow( 10.0, exponent( rng ) );
		if ( near_tenth( rng ) == 0 ) { // crowd the switch just below 0.1
			x = 0.1 - mantissa( rng ) * 0.1 * std::pow( 10.0, -d - 1 );
		}
		int const w = d + 8;
		double const a = std::fabs( x );
		std::string expected;
		if ( ( a < 0.1 - 0.5 * std::pow( 10.0, -d - 2 ) ) || ( a >= std::pow( 10.0, d ) ) ) {
			expected = pf( "%#*.*E", w, d, x );
		} else {
			// exponent of a rounded to d significant digits
			std::string const e = pf( "%.*E", d - 1, a );
			int const k = std::atoi( e.c_str() + e.find( 'E' ) + 1 ) + 1;
			if ( k > d ) {
				expected = pf( "%#*.*E", w, d, x ); // rounds up to 10^d
			} else {
				expected = pf( "%#*.*f", w - 4, d - k, x ) + four;
			}
		}
		ASSERT_EQ( G( w, d, x ), expected ) << x << " " << w << " " << d;
	}
}

// Catches: a blank field not read as 0, a number beyond 16 bits kept, the
// low 8 bits lost, or trailing characters spoiling the read
TEST( Format, FieldReadingExamples )
{
	struct Case { char const * field; int as_byte; int as_ubyte; };
	Case const cases[] = {
		{ "   ", 0, 0 },
		{ "", 0, 0 },
		{ "12x", 12, 12 },
		{ "x", 0, 0 },
		{ "300", 44, 44 },
		{ "40000", 0, 64 }, // beyond a short, inside an unsigned short
		{ "-1", -1, 255 },
		{ "  7", 7, 7 },
		{ "127", 127, 127 },
		{ "128", -128, 128 },
		{ "70000", 0, 0 },
	};
	for ( Case const & c : cases ) {
		byte b( 99 );
		ubyte u( 99 );
		std::stringstream s1( c.field ), s2( c.field );
		Bite< byte >( 3, b ).assign( s1 );
		Bite< ubyte >( 3, u ).assign( s2 );
		EXPECT_EQ( b.value(), c.as_byte ) << '"' << c.field << '"';
		EXPECT_EQ( u.value(), c.as_ubyte ) << '"' << c.field << '"';
	}
	byte b( 5 );
	std::stringstream failed( "12" );
	failed.setstate( std::ios_base::failbit ); // already failed: 0
	Bite< byte >( 2, b ).assign( failed );
	EXPECT_EQ( b.value(), 0 );
}

TEST( Format, FieldReadingIntoAnFstring )
{
	Fstring s( 5 );
	Bite< Fstring > const field = bite( s );
	EXPECT_EQ( field.width(), 5 );
	EXPECT_EQ( field.decimals(), 0 );
	EXPECT_EQ( &field.target(), &s );
	std::stringstream eight( "abcdefgh" );
	field.assign( eight );
	EXPECT_EQ( A( s ), "abcde" );
	std::stringstream two( "xy" );
	field.assign( two );
	EXPECT_EQ( A( s ), "xy   " );
	byte target;
	Bite< byte > const with_decimals( 4, 2, target );
	EXPECT_EQ( with_decimals.width(), 4 );
	EXPECT_EQ( with_decimals.decimals(), 2 );
}

// Catches: signed overflow of w - 7, w - 4, d - 1 or -d - 2 for extreme
// arguments (the sanitizer build traps it), and precisions beyond the C
// library's int results
TEST( Format, ExtremeArgumentsStaySane )
{
	EXPECT_EQ( E( 10, INT_MIN, 1.0 ), "    1.E+00" );
	EXPECT_EQ( F( 5, INT_MIN, 2.0 ), "   2." );
	EXPECT_EQ( G( INT_MIN, 5, 1.0 ), four );
	EXPECT_EQ( G( INT_MIN, 5, 0.0 ), four );
	EXPECT_EQ( G( 10, INT_MIN, 1.0 ), E( 10, INT_MIN, 1.0 ) );
	EXPECT_EQ( G( 10, INT_MAX, 1.0 ), "1.0000" + four );
	EXPECT_EQ( G( 10, INT_MIN, 0.0 ), "    0." + four ); // d - 1 below INT_MIN
	EXPECT_EQ( E( INT_MIN, 3, 1.0 ), "" );
	EXPECT_EQ( F( INT_MIN, 3, 1.0 ), "" );
	EXPECT_EQ( I( INT_MIN, 5 ), "5" );
	EXPECT_EQ( A( INT_MIN, 'c' ), "" );
	EXPECT_EQ( L( INT_MIN, true ), "T" );
}
