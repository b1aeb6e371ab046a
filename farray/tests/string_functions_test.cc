// Character and string functions: case, justification, trimming, padding,
// centring, integer lists and integer text

#include "farray/char.functions.hh"
#include "farray/string.functions.hh"

#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

using namespace farray;
using V = std::vector< int >;

// Catches: a wrong whitespace set (the NUL is easily lost through a literal)
TEST( CharFunctions, WhitespaceSetIsSpaceTabNul )
{
	ASSERT_EQ( WHITESPACE.size(), 3u );
	EXPECT_EQ( WHITESPACE[ 0 ], ' ' );
	EXPECT_EQ( WHITESPACE[ 1 ], '\t' );
	EXPECT_EQ( WHITESPACE[ 2 ], '\0' );
}

TEST( CharFunctions, ComparisonAndSets )
{
	EXPECT_TRUE( equal( 'a', 'a' ) );
	EXPECT_FALSE( equal( 'a', 'A' ) );
	EXPECT_TRUE( equal( 'a', 'A', false ) );
	EXPECT_TRUE( equali( 'Q', 'q' ) );
	EXPECT_TRUE( char_equali( 'q', 'Q' ) );
	EXPECT_FALSE( char_equali( 'q', 'r' ) );
	EXPECT_TRUE( is_blank( ' ' ) );
	EXPECT_FALSE( is_blank( '\t' ) );
	EXPECT_TRUE( not_blank( '\t' ) );
	EXPECT_TRUE( is_any_of( 'b', std::string( "abc" ) ) );
	EXPECT_TRUE( is_any_of( '\0', std::string( "a\0", 2 ) ) );
	EXPECT_TRUE( is_any_of( 'c', "abc" ) );
	EXPECT_FALSE( is_any_of( '\0', "abc" ) ); // the terminating NUL is not a member
	EXPECT_FALSE( is_any_of( 'a', "" ) );
	char c = 'x';
	EXPECT_EQ( &uppercase( c ), &c );
	EXPECT_EQ( c, 'X' );
	EXPECT_EQ( lowercase( c ), 'x' );
	EXPECT_EQ( uppercased( 'm' ), 'M' );
	EXPECT_EQ( lowercased( 'M' ), 'm' );
}

// Catches: negative char values handed straight to tolower/toupper (undefined
// behaviour, caught by the sanitizer build) or mangled on the way back
TEST( CharFunctions, BytesAbove127SurviveCaseMapping )
{
	for ( int i = -128; i < 0; ++i ) {
		char const c = static_cast< char >( i );
		EXPECT_EQ( lowercased( c ), c );
		EXPECT_EQ( uppercased( c ), c );
		EXPECT_TRUE( equali( c, c ) );
	}
	std::string s( "\xe9t\xc9" );
	EXPECT_EQ( uppercased( s ), "\xe9T\xc9" );
	EXPECT_EQ( lowercased( s ), "\xe9t\xc9" );
}

TEST( StringFunctions, CaseInsensitiveEquality )
{
	EXPECT_TRUE( equali( std::string( "AbC" ), std::string( "aBc" ) ) );
	EXPECT_TRUE( equali( std::string( "AbC" ), "abc" ) );
	EXPECT_TRUE( equali( "ABC", std::string( "abc" ) ) );
	EXPECT_FALSE( equali( std::string( "Ab" ), "Ab " ) ); // no blank padding
	EXPECT_TRUE( equali( std::string(), "" ) );
	EXPECT_FALSE( equali( std::string( "ab" ), "ac" ) );
}

TEST( StringFunctions, PrefixAndSuffix )
{
	EXPECT_FALSE( has_prefix( "abc", "" ) );
	EXPECT_FALSE( has_prefix( "", "" ) );
	EXPECT_FALSE( has_suffix( "abc", "" ) );
	EXPECT_FALSE( has_suffix( "", "", false ) );
	EXPECT_FALSE( has_prefix( "ab", "abc" ) );
	EXPECT_TRUE( has_prefix( "abc", "ab" ) );
	EXPECT_FALSE( has_prefix( "abc", "AB" ) );
	EXPECT_TRUE( has_prefix( "abc", "AB", false ) );
	EXPECT_TRUE( has_suffix( "abc", "bc" ) );
	EXPECT_FALSE( has_suffix( "abc", "BC" ) );
	EXPECT_TRUE( has_suffix( "abc", "BC", false ) );
	EXPECT_FALSE( has_suffix( "bc", "abc", false ) );
}

TEST( StringFunctions, Justification )
{
	EXPECT_EQ( left_justified( "  ab" ), "ab  " );
	EXPECT_EQ( left_justified( "   " ), "   " ); // all blanks: unchanged
	EXPECT_EQ( left_justified( "" ), "" );
	EXPECT_EQ( right_justified( "ab  " ), "  ab" );
	EXPECT_EQ( right_justified( "   " ), "   " );
	EXPECT_EQ( right_justified( "a b" ), "a b" );
	std::string s( " x " );
	EXPECT_EQ( &left_justify( s ), &s );
	EXPECT_EQ( s, "x  " );
	EXPECT_EQ( right_justify( s ), "  x" );
}

TEST( StringFunctions, TrimAndStrip )
{
	EXPECT_EQ( trimmed( "ab \t " ), "ab \t" ); // blanks only
	EXPECT_EQ( trimmed( "    " ), "" );
	EXPECT_EQ( trimmed_whitespace( std::string( "ab \t\0 ", 6 ) ), "ab" );
	EXPECT_EQ( trimmed_whitespace( std::string( "\t\0 ", 3 ) ), "" );
	EXPECT_EQ( stripped( "xxabxx", "x" ), "ab" );
	EXPECT_EQ( lstripped( "xxabxx", "x" ), "abxx" );
	EXPECT_EQ( rstripped( "xxabxx", "x" ), "xxab" );
	EXPECT_EQ( stripped( "xyx", "xy" ), "" ); // every character in the set
	EXPECT_EQ( lstripped( "xyx", "xy" ), "" );
	EXPECT_EQ( rstripped( "xyx", "xy" ), "" );
	EXPECT_EQ( stripped( " ab ", "" ), " ab " ); // empty set: unchanged
	EXPECT_EQ( stripped( "  a b  " ), "a b" );
	EXPECT_EQ( lstripped( "  a b  " ), "a b  " );
	EXPECT_EQ( rstripped( "  a b  " ), "  a b" );
	EXPECT_EQ( stripped( "\tab " ), "\tab" );
	EXPECT_EQ( stripped_whitespace( "\t ab \t" ), "ab" );
	EXPECT_EQ( lstripped_whitespace( "\t ab \t" ), "ab \t" );
	EXPECT_EQ( rstripped_whitespace( std::string( "\t ab \0", 6 ) ), "\t ab" );
	std::string s( "--a--" );
	EXPECT_EQ( &strip( s, "-" ), &s );
	EXPECT_EQ( s, "a" );
}

TEST( StringFunctions, PaddingAndSizing )
{
	EXPECT_EQ( padded( "ab", 4 ), "ab  " );
	EXPECT_EQ( rpadded( "ab", 4 ), "ab  " );
	EXPECT_EQ( lpadded( "ab", 4 ), "  ab" );
	EXPECT_EQ( padded( "abcdef", 4 ), "abcdef" ); // never shortens
	EXPECT_EQ( lpadded( "abcdef", 4 ), "abcdef" );
	EXPECT_EQ( sized( "ab", 4 ), "ab  " );
	EXPECT_EQ( sized( "abcdef", 4 ), "abcd" );
	EXPECT_EQ( sized( "abcdef", 0 ), "" );
}

TEST( StringFunctions, Centring )
{
	EXPECT_EQ( centered( "" ), "" );
	EXPECT_EQ( centered( "\tab" ), "ab " ); // odd padding: extra blank behind
	EXPECT_EQ( centered( "ab    " ), "  ab  " );
	EXPECT_EQ( centered( "    ab" ), "  ab  " );
	EXPECT_EQ( centered( std::string( "a\0\0\0", 4 ) ), " a  " );
	EXPECT_EQ( centered( " \t " ), "   " ); // whitespace only: all blanks
	EXPECT_EQ( centered( "abc" ), "abc" );
	EXPECT_EQ( centered( "ab", 4 ), " ab " );
	EXPECT_EQ( centered( "ab", 3 ), "ab " );
	EXPECT_EQ( centered( "ab", 7 ), "  ab   " );
	EXPECT_EQ( centered( "abcd", 2 ), "ab" );
	EXPECT_EQ( centered( "abcd", 4 ), "abcd" );
}

TEST( StringFunctions, UniqueOverlayHead )
{
	EXPECT_EQ( uniqued( "abcabd" ), "abcd" );
	EXPECT_EQ( uniqued( "" ), "" );
	EXPECT_EQ( uniqued( "\xff\xff" "a\xff" ), "\xff" "a" );
	std::string s( "abc" );
	EXPECT_EQ( &overlay( s, "xy", 5 ), &s );
	EXPECT_EQ( s, "abc  xy" );
	s = "abcdef";
	EXPECT_EQ( overlay( s, "XY", 1 ), "aXYdef" );
	EXPECT_EQ( overlay( s, "123", 4 ), "aXYd123" );
	EXPECT_EQ( head( "ab cd" ), "ab" );
	EXPECT_EQ( head( " ab" ), "" );
	EXPECT_EQ( head( "abcd" ), "abcd" );
}

// Every list the integer-list parser is documented to handle, with the
// values and the validity flag it must give
TEST( StringFunctions, IntsOfTable )
{
	struct Case { char const * text; V values; bool ok; };
	Case const cases[] = {
		{ "1,2-4, 7", { 1, 2, 3, 4, 7 }, true },
		{ "-5--3", { -5, -4, -3 }, true },
		{ "-3", { -3 }, true },
		{ "3--1", {}, true },
		{ "5-3", {}, true },
		{ "3-", {}, false },
		{ "-", {}, false },
		{ "1,x,3", { 1, 3 }, false },
		{ "1,2,", { 1, 2 }, false },
		{ "", {}, false },
		{ "7\t  ", { 7 }, true },
		{ "7 8", {}, false },
		{ "1, -3", { 1 }, false },
		{ "1,-3", { 1, -3 }, true },
		{ " \t42", { 42 }, true },
		{ "+5", { 5 }, true },
		{ "1.5", {}, false },
		{ "2147483647", { 2147483647 }, true },
		{ "2147483648", {}, false }, // beyond int
		{ "-2147483648", { INT_MIN }, true },
		{ ",", {}, false },
		{ "4-4", { 4 }, true },
		{ "a-3", {}, false },
	};
	for ( Case const & c : cases ) {
		bool ok = ! c.ok;
		EXPECT_EQ( ints_of( c.text, ok ), c.values ) << '"' << c.text << '"';
		EXPECT_EQ( ok, c.ok ) << '"' << c.text << '"';
		EXPECT_EQ( is_ints( c.text ), c.ok ) << '"' << c.text << '"';
		EXPECT_EQ( ints_of( c.text ), c.values ) << '"' << c.text << '"';
	}
}

// Catches: an int loop counter that overflows at the largest int (the range
// would never end) and a range that runs through INT_MIN
TEST( StringFunctions, IntsOfRangeAtIntLimits )
{
	bool ok = false;
	EXPECT_EQ( ints_of( "2147483645-2147483647", ok ), V( { 2147483645, 2147483646, 2147483647 } ) );
	EXPECT_TRUE( ok );
	EXPECT_EQ( ints_of( "-2147483648--2147483647", ok ), V( { INT_MIN, INT_MIN + 1 } ) );
	EXPECT_TRUE( ok );
}

// Catches: a huge span generated value by value until memory runs out; it is
// an invalid item instead, and the other items still count
TEST( StringFunctions, IntsOfHugeSpanIsInvalid )
{
	bool ok = true;
	EXPECT_EQ( ints_of( "1,-2147483648-2147483647,2", ok ), V( { 1, 2 } ) );
	EXPECT_FALSE( ok );
	std::string const at_cap = "1-" + std::to_string( ints_of_max_range );
	std::string const over_cap = "0-" + std::to_string( ints_of_max_range );
	V const v = ints_of( at_cap, ok );
	EXPECT_TRUE( ok );
	ASSERT_EQ( v.size(), ints_of_max_range );
	EXPECT_EQ( v.back(), int( ints_of_max_range ) );
	EXPECT_TRUE( ints_of( over_cap, ok ).empty() );
	EXPECT_FALSE( ok );
}

TEST( StringFunctions, StringOfInt )
{
	EXPECT_EQ( string_of( -42 ), "-42" );
	EXPECT_EQ( string_of< int >( 0 ), "0" );
	EXPECT_EQ( string_of( INT_MIN ), "-2147483648" );
	EXPECT_EQ( string_of( 123456789L ), "123456789" );
	// Round trip through the list parser, as the residue tags use them
	EXPECT_EQ( ints_of( string_of( 17 ) + "-" + string_of( 19 ) ), V( { 17, 18, 19 } ) );
}
