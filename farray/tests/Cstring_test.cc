// Owned NUL-terminated strings: copy semantics, queries, in-place edits,
// case-insensitive equality and streams

#include "farray/Cstring.hh"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <utility>
#include <vector>

using namespace farray;

// Catches: shallow copies (a double free or a use after free in the
// sanitizer build, or an edit showing through a copy)
TEST( Cstring, CopiesAndAssignmentsOwnTheirText )
{
	Cstring a( "abc" );
	Cstring b( a );
	Cstring c;
	c = a;
	a.uppercase();
	EXPECT_STREQ( a.c_str(), "ABC" );
	EXPECT_STREQ( b.c_str(), "abc" );
	EXPECT_STREQ( c.c_str(), "abc" );
	c = c; // self-assignment
	EXPECT_STREQ( c.c_str(), "abc" );
	c = c.c_str() + 1; // from its own array
	EXPECT_STREQ( c.c_str(), "bc" );
	c = std::string( "xy\0z", 4 ); // the text ends at the NUL
	EXPECT_EQ( c.length(), 2u );
	std::vector< Cstring > v( 3, Cstring( "q" ) );
	v.push_back( Cstring( "r" ) ); // copies on growth
	std::swap( v[ 0 ], v[ 3 ] );
	EXPECT_STREQ( v[ 0 ].c_str(), "r" );
	EXPECT_STREQ( v[ 3 ].c_str(), "q" );
	EXPECT_STREQ( Cstring().c_str(), "" );
	EXPECT_EQ( Cstring( std::string() ).length(), 0u );
}

TEST( Cstring, CharacterQueries )
{
	Cstring const s( "abca" );
	EXPECT_EQ( s.find( 'a' ), 0u );
	EXPECT_EQ( s.find_last( 'a' ), 3u );
	EXPECT_EQ( s.find( 'z' ), npos );
	EXPECT_EQ( s.find_last( 'z' ), npos );
	Cstring const e;
	EXPECT_EQ( e.find( 'a' ), npos );
	EXPECT_EQ( e.find_last( 'a' ), npos );
	EXPECT_EQ( e.find( '\0' ), npos ); // the terminator is not text
	EXPECT_TRUE( s.has( 'c' ) );
	EXPECT_FALSE( s.has( '\0' ) );
	EXPECT_TRUE( s.has_any_of( 'b' ) );
	EXPECT_TRUE( s.has_any_of( Cstring( "xc" ) ) );
	char const * const set = "zyb";
	EXPECT_TRUE( s.has_any_of( set ) );
	EXPECT_TRUE( s.has_any_of( std::string( "-a" ) ) );
	EXPECT_FALSE( s.has_any_of( std::string() ) );
	EXPECT_FALSE( e.has_any_of( std::string( "a" ) ) );
	Cstring const t( "ab \t " );
	EXPECT_EQ( t.len_trim(), 4u );
	EXPECT_EQ( t.len_trim_whitespace(), 2u );
	EXPECT_EQ( Cstring( "   " ).len_trim(), 0u );
}

TEST( Cstring, InPlaceEdits )
{
	Cstring s( "aB\xe9" );
	EXPECT_STREQ( s.uppercase().c_str(), "AB\xe9" );
	EXPECT_STREQ( s.lowercase().c_str(), "ab\xe9" );
	EXPECT_STREQ( Cstring( "  ab" ).left_justify().c_str(), "ab  " );
	EXPECT_STREQ( Cstring( "   " ).left_justify().c_str(), "   " );
	EXPECT_STREQ( Cstring( "ab  " ).right_justify().c_str(), "  ab" );
	EXPECT_STREQ( Cstring( "   " ).right_justify().c_str(), "   " );
	EXPECT_STREQ( Cstring( "" ).right_justify().c_str(), "" );
	EXPECT_STREQ( Cstring( "x    " ).center().c_str(), "  x  " );
	EXPECT_STREQ( Cstring( " x  " ).center().c_str(), " x  " );
	EXPECT_STREQ( Cstring( "a\tb c" ).compress().c_str(), "abc  " );
	EXPECT_EQ( Cstring( "a\tb c" ).compress().length(), 5u );
}

TEST( Cstring, CaseInsensitiveEquality )
{
	Cstring const ab( "Ab" );
	EXPECT_TRUE( equali( ab, Cstring( "aB" ) ) );
	EXPECT_TRUE( equali( ab, "AB" ) );
	EXPECT_TRUE( equali( "ab", ab ) );
	EXPECT_TRUE( equali( ab, std::string( "ab" ) ) );
	EXPECT_TRUE( equali( std::string( "aB" ), ab ) );
	EXPECT_FALSE( equali( ab, "Ab " ) ); // no blank padding
	EXPECT_TRUE( equali( Cstring(), "" ) );
	EXPECT_FALSE( equali( ab, 'a' ) );
	EXPECT_TRUE( equali( Cstring( "Q" ), 'q' ) );
	EXPECT_TRUE( equali( 'q', Cstring( "Q" ) ) );
	EXPECT_FALSE( equali( Cstring(), 'q' ) );
}

TEST( Cstring, Streams )
{
	std::ostringstream out;
	out.width( 3 );
	out << Cstring( "ab" );
	EXPECT_EQ( out.str(), "  ab" ); // the width pads the first character only
	std::istringstream in( "  first second" );
	Cstring s( "old" );
	in >> s;
	EXPECT_STREQ( s.c_str(), "first" );
	in >> s;
	EXPECT_STREQ( s.c_str(), "second" );
	in >> s; // exhausted: the empty text
	EXPECT_TRUE( in.fail() );
	EXPECT_STREQ( s.c_str(), "" );
}
