// Text and number conversions: failure values, fixed formats and padding,
// digit counts and the numeric and true/false recognisers

#include "utility/string_util.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace utility;

// A reader that reported a partial read as failure, or a failure as 0, would break these
TEST( string_conversions, ReadersGiveTheirFailureValues )
{
	EXPECT_EQ( string2int( "" ), -1 );
	EXPECT_EQ( string2int( "abc" ), -1 );
	EXPECT_EQ( string2int( "42 and more" ), 42 );
	EXPECT_EQ( string2int( "12abc" ), 12 );
	EXPECT_EQ( string2int( "  -7" ), -7 );
	EXPECT_EQ( string2int( "99999999999" ), -1 ); // beyond a 32-bit int

	EXPECT_EQ( string2float( "2.5x" ), 2.5f );
	EXPECT_EQ( string2float( "x" ), -1.0f );

	EXPECT_TRUE( std::isnan( string2Real( "x" ) ) );
	EXPECT_FALSE( std::signbit( string2Real( "x" ) ) );
	EXPECT_EQ( string2Real( "1e3" ), 1000.0 );
	EXPECT_EQ( string2Real( " 0.25" ), 0.25 );

	EXPECT_EQ( string2Size( "" ), std::numeric_limits< std::size_t >::max() );
	EXPECT_EQ( string2Size( "18446744073709551615" ), std::numeric_limits< std::size_t >::max() );
	EXPECT_EQ( string2Size( "123456789012" ), 123456789012u );

	unsigned int u = 0;
	string2uint( "4000000000", &u );
	EXPECT_EQ( u, 4000000000u );
}

TEST( string_conversionsDeath, NullTargetOfString2uintIsAnAssertionFailure )
{
	GTEST_FLAG_SET( death_test_style, "threadsafe" );
	EXPECT_DEATH( string2uint( "5", nullptr ),
		"ERROR: Assertion `y != nullptr` failed.\nERROR:: Exit from: ./utility/string_util.cc line: 344" );
}

TEST( string_conversions, FixedNotationAndFields )
{
	EXPECT_EQ( Real2string( 3.14159, 2 ), "3.14" );
	EXPECT_EQ( Real2string( 2.6, 0 ), "3" );
	EXPECT_EQ( Real2string( -0.125, 3 ), "-0.125" );
	EXPECT_EQ( fmt_real( 3.14159, 4, 2 ), "   3.14" );
	EXPECT_EQ( fmt_real( 98.5, 1, 1 ), "98.5" ); // wider than its field, never cut

	EXPECT_EQ( pad_left( "ab", 5, '0' ), "000ab" );
	EXPECT_EQ( pad_right( "ab", 5, '.' ), "ab..." );
	EXPECT_EQ( pad_left( "abcdef", 3, ' ' ), "abcdef" );
	EXPECT_EQ( pad_right( "", 2, '-' ), "--" );
}

TEST( string_conversions, DigitCounts )
{
	EXPECT_EQ( get_num_digits( 0 ), 0u );
	EXPECT_EQ( get_num_digits( 9 ), 1u );
	EXPECT_EQ( get_num_digits( 10 ), 2u );
	EXPECT_EQ( get_num_digits( 99 ), 2u );
	EXPECT_EQ( get_num_digits( 100 ), 3u );
	EXPECT_EQ( get_num_digits( std::numeric_limits< std::size_t >::max() ), 20u );
}

TEST( string_conversions, Recognisers )
{
	EXPECT_TRUE( is_string_numeric( "1e-5" ) );
	EXPECT_TRUE( is_string_numeric( "" ) );
	EXPECT_TRUE( is_string_numeric( "+12E3" ) );
	EXPECT_FALSE( is_string_numeric( "1.5" ) );
	EXPECT_FALSE( is_string_numeric( "1 2" ) );
	EXPECT_FALSE( is_string_numeric( "x" ) );

	for ( char const * t : { "true", "True", "TRUE", "t", "T", "1", "on", "On", "ON", "y", "Y", "yes", "Yes", "YES" } ) {
		EXPECT_TRUE( is_true_string( t ) ) << t;
		EXPECT_FALSE( is_false_string( t ) ) << t;
	}
	for ( char const * f : { "false", "False", "FALSE", "f", "F", "0", "off", "Off", "OFF", "n", "N", "no", "No", "NO" } ) {
		EXPECT_TRUE( is_false_string( f ) ) << f;
		EXPECT_FALSE( is_true_string( f ) ) << f;
	}
	EXPECT_FALSE( is_true_string( "YeS" ) );
	EXPECT_FALSE( is_true_string( " yes" ) );
	EXPECT_FALSE( is_false_string( "" ) );
}
