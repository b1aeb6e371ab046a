// Fixed-length strings: construction, assignment by the pad/truncate rule,
// write-through views, blank-padded comparison, searches, modifiers and streams

#include "farray/Fstring.hh"

#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <cstring>
#include <sstream>
#include <string>

using namespace farray;
using testing::HasSubstr;

namespace {

// Every character of s, trailing blanks included
std::string
text( Fstring const & s )
{
	std::ostringstream out;
	out << s;
	return out.str();
}

void
fill_with_stars( Fstring & s )
{
	for ( Fstring::size_type i = 1; i <= s.length(); ++i ) s( i, i ) = '*';
}

int initializer_calls = 0;

void
count_call( Fstring & )
{
	++initializer_calls;
}

} // namespace

// Catches: integer arguments read as digits or a negative length wrapping
TEST( Fstring, ConstructionLengths )
{
	EXPECT_EQ( Fstring( -3 ).length(), 0u );
	EXPECT_EQ( text( Fstring( 5 ) ), "     " );
	EXPECT_EQ( text( Fstring( short( 2 ) ) ), "  " );
	EXPECT_EQ( text( Fstring( 3ul ) ), "   " );
	EXPECT_EQ( text( Fstring( 2ull ) ), "  " );
	EXPECT_EQ( Fstring( -7L ).length(), 0u );
	EXPECT_EQ( Fstring().length(), 0u );
	EXPECT_EQ( text( Fstring( "ab c" ) ), "ab c" );
	EXPECT_EQ( text( Fstring( std::string( "a\0b", 3 ) ) ), std::string( "a\0b", 3 ) );
	EXPECT_EQ( text( Fstring( 4, "ab" ) ), "ab  " );
	EXPECT_EQ( text( Fstring( 2, "abcd" ) ), "ab" );
	EXPECT_EQ( text( Fstring( 4, std::string( "xyz12" ) ) ), "xyz1" );
	EXPECT_EQ( text( Fstring( 3, Fstring( "q" ) ) ), "q  " );
	EXPECT_EQ( text( Fstring( 3, 'z' ) ), "zzz" );
	EXPECT_EQ( text( Fstring( -2, "ab" ) ), "" );
	EXPECT_EQ( text( Fstring( 0, std::string( "ab" ) ) ), "" ); // a given length 0 stays 0
	EXPECT_EQ( text( Fstring( 0u, Fstring( "ab" ) ) ), "" );
	EXPECT_EQ( text( Fstring( 4, fill_with_stars ) ), "****" );
	initializer_calls = 0;
	Fstring const empty( 0, count_call ); // called also for length 0
	EXPECT_EQ( initializer_calls, 1 );
	EXPECT_EQ( empty.length(), 0u );
}

// Catches: a copy that shares the buffer (double free under the sanitizer
// build, or a change showing through the copy)
TEST( Fstring, CopiesOwnTheirCharacters )
{
	Fstring a( "abcdef" );
	Fstring b( a );
	Fstring c( a( 2, 4 ) ); // copy of a view: owning
	a = "zzzzzz";
	EXPECT_EQ( text( b ), "abcdef" );
	EXPECT_EQ( text( c ), "bcd" );
	Fstring d( 2 );
	d = b;
	b = "x";
	EXPECT_EQ( text( d ), "ab" );
	EXPECT_EQ( text( b ), "x     " );
}

TEST( Fstring, AssignmentPadsOrTruncates )
{
	Fstring s( 4 );
	s = "ab";
	EXPECT_EQ( text( s ), "ab  " );
	s = "abcdef";
	EXPECT_EQ( text( s ), "abcd" );
	s = std::string( "xy" );
	EXPECT_EQ( text( s ), "xy  " );
	s = Fstring( "1234567" );
	EXPECT_EQ( text( s ), "1234" );
	s = 'q';
	EXPECT_EQ( text( s ), "q   " );
	s = "";
	EXPECT_EQ( text( s ), "    " );
	s = s; // self-assignment keeps the characters
	EXPECT_EQ( s.length(), 4u );
}

TEST( Fstring, ZeroLengthTakesTheFirstValueButAViewDoesNot )
{
	Fstring s;
	s = "hello";
	EXPECT_EQ( text( s ), "hello" );
	s = "hi"; // from now on fixed
	EXPECT_EQ( text( s ), "hi   " );
	Fstring c;
	c = 'x';
	EXPECT_EQ( text( c ), "x" );
	Fstring e;
	e = "";
	EXPECT_EQ( e.length(), 0u );
	e = Fstring( "abc" );
	EXPECT_EQ( text( e ), "abc" );
	Fstring host( "abc" );
	Fsubstring v = host( 5, 9 ); // empty view
	EXPECT_EQ( v.length(), 0u );
	v = "hello";
	EXPECT_EQ( v.length(), 0u );
	EXPECT_EQ( text( host ), "abc" );
	Fstring fresh( Fstring( 0 ) );
	fresh = Fstring( "xy" );
	EXPECT_EQ( text( fresh ), "xy" );
}

// Catches: a view that copies instead of writing through, or writes beyond
// its own positions
TEST( Fstring, ViewsWriteThrough )
{
	Fstring s( "abcdefgh" );
	s( 3, 5 ) = "XY";
	EXPECT_EQ( text( s ), "abXY fgh" );
	s( 3, 5 ) = "123456";
	EXPECT_EQ( text( s ), "ab123fgh" );
	s( 7 ) = 'z';
	EXPECT_EQ( text( s ), "ab123fz " );
	s( 6, 100 ) = "QRSTUV"; // the end is capped at the length
	EXPECT_EQ( text( s ), "ab123QRS" );
	EXPECT_EQ( text( s( 2, 3 ) ), "b1" );
	EXPECT_EQ( s( 9, 12 ).length(), 0u );
	EXPECT_EQ( s( 4, 3 ).length(), 0u );
	Fsubstring v = s( 1, 2 );
	Fsubstring w( v ); // another view of the same characters
	w = "mn";
	EXPECT_EQ( text( v ), "mn" );
	EXPECT_EQ( text( s ), "mn123QRS" );
	Fsubstring x( s, 4, 5 );
	x = s( 1, 3 ); // overlapping source from the parent
	EXPECT_EQ( text( s ), "mn1mnQRS" );
	x = x;
	EXPECT_EQ( text( s ), "mn1mnQRS" );
}

TEST( Fstring, OverlappingViewAssignmentIsAMove )
{
	Fstring s( "abcdef" );
	s( 2, 6 ) = s( 1, 5 );
	EXPECT_EQ( text( s ), "aabcde" );
	Fstring t( "abcdef" );
	t( 1, 5 ) = t( 2, 6 );
	EXPECT_EQ( text( t ), "bcdeff" );
	Fstring u( "abcdef" );
	u = u( 3 ); // a view of itself, shorter: padded
	EXPECT_EQ( text( u ), "cdef  " );
}

TEST( Fstring, ConstTailIsACopy )
{
	Fstring const s( "abcdef" );
	Fstring t = s( 3 );
	t = "zz";
	EXPECT_EQ( text( s ), "abcdef" );
	EXPECT_EQ( text( t ), "zz  " );
	EXPECT_EQ( text( s( 2, 4 ) ), "bcd" );
	EXPECT_EQ( s( 7 ).length(), 0u );
}

TEST( Fstring, HeadAndTail )
{
	Fstring s( "ab cd  " );
	EXPECT_EQ( text( s.head() ), "ab" );
	EXPECT_EQ( text( s.tail() ), "  " );
	s.tail() = "xy";
	EXPECT_EQ( text( s ), "ab cdxy" );
	EXPECT_EQ( s.tail().length(), 0u ); // no trailing blank
	EXPECT_EQ( Fstring( " ab" ).head().length(), 0u );
	EXPECT_EQ( text( Fstring( "abc" ).head() ), "abc" );
	Fstring const e;
	EXPECT_EQ( e.head().length(), 0u );
	EXPECT_EQ( e.tail().length(), 0u );
	Fstring const blanks( 3 );
	EXPECT_EQ( text( blanks.tail() ), "   " );
}

// Catches: trailing blanks that make strings differ, a TAB ordered above the
// padding blank, or a signed character comparison
TEST( Fstring, ComparisonPadsWithBlanks )
{
	Fstring const ab( "AB" );
	EXPECT_TRUE( ab == Fstring( "AB   " ) );
	EXPECT_TRUE( ab == "AB  " );
	EXPECT_TRUE( "AB " == ab );
	EXPECT_TRUE( ab == std::string( "AB" ) );
	EXPECT_TRUE( std::string( "AB " ) == ab );
	EXPECT_FALSE( ab == "ABC" );
	EXPECT_FALSE( ab == "AB\t" );
	EXPECT_TRUE( ab != "AB\t" );
	EXPECT_TRUE( Fstring( "AB\t" ) < ab ); // TAB sorts below the padding blank
	EXPECT_TRUE( Fstring( "AB\t" ) <= ab );
	EXPECT_FALSE( ab < Fstring( "AB\t" ) );
	EXPECT_FALSE( ab < "AB\t " );
	EXPECT_TRUE( ab < "ABC" );
	EXPECT_FALSE( Fstring( "ABC" ) < "AB" );
	EXPECT_TRUE( "AB" < Fstring( "ABC" ) );
	EXPECT_TRUE( std::string( "AB" ) <= Fstring( "AB  " ) );
	EXPECT_FALSE( std::string( "AB" ) < Fstring( "AB  " ) );
	EXPECT_TRUE( ab <= "AB" );
	EXPECT_FALSE( ab < "AB" );
	EXPECT_TRUE( Fstring( "A" ) < Fstring( "\xe9" ) ); // unsigned values
	EXPECT_TRUE( Fstring( "A" ) < std::string( "A\xe9" ) );
	EXPECT_FALSE( Fstring( "A\xe9" ) <= "A" );
	EXPECT_TRUE( Fstring( "A\x01" ) < "A" );
	EXPECT_TRUE( "B" < Fstring( "C" ) );
	EXPECT_FALSE( "C" <= Fstring( "B" ) );
}

TEST( Fstring, ZeroLengthComparisons )
{
	Fstring const e1, e2;
	EXPECT_TRUE( e1 == e2 );
	EXPECT_TRUE( e1 == "" );
	EXPECT_TRUE( e1 == "   " ); // an empty operand equals an all-blank one
	EXPECT_TRUE( e1 <= e2 );
	EXPECT_FALSE( e1 < e2 );
	EXPECT_FALSE( e1 == ' ' ); // never equal to a character, even a blank
	EXPECT_TRUE( e1 != ' ' );
	EXPECT_TRUE( Fstring( "x  " ) == 'x' );
	EXPECT_TRUE( 'x' == Fstring( "x" ) );
	EXPECT_FALSE( Fstring( "xy" ) == 'x' );
	EXPECT_TRUE( Fstring( 3 ) == ' ' );
}

TEST( Fstring, LengthQueries )
{
	Fstring const s( std::string( "ab \t\0  ", 7 ) );
	EXPECT_EQ( s.length(), 7u );
	EXPECT_EQ( s.len_trim(), 5u );
	EXPECT_EQ( s.len_trim_whitespace(), 2u );
	EXPECT_EQ( Fstring( 4 ).len_trim(), 0u );
	Fstring const w( std::string( " \tab c\0", 7 ) );
	EXPECT_EQ( w.find_whitespace(), 1u );
	EXPECT_EQ( w.find_non_whitespace(), 3u );
	EXPECT_EQ( w.find_last_whitespace(), 7u );
	EXPECT_EQ( w.find_last_non_whitespace(), 6u );
	Fstring::size_type b = 99, e = 99;
	EXPECT_EQ( w.trimmed_whitespace_range( b, e ), 4u );
	EXPECT_EQ( b, 3u );
	EXPECT_EQ( e, 6u );
	EXPECT_EQ( Fstring( " \t " ).trimmed_whitespace_range( b, e ), 0u );
	EXPECT_EQ( b, 1u );
	EXPECT_EQ( e, 0u );
	EXPECT_EQ( Fstring( "abc" ).find_whitespace(), 0u );
}

TEST( Fstring, Searches )
{
	Fstring const s( "abcabc  " );
	EXPECT_EQ( s.find( "bc" ), 2u );
	EXPECT_EQ( s.find_last( "bc" ), 5u );
	EXPECT_EQ( s.find( std::string( "ca" ) ), 3u );
	EXPECT_EQ( s.find( Fstring( "c " ) ), 6u );
	EXPECT_EQ( s.find_last( Fstring( "ab" ) ), 4u );
	EXPECT_EQ( s.find_last( std::string( "a" ) ), 4u );
	EXPECT_EQ( s.find( "" ), 0u );
	EXPECT_EQ( s.find_last( "" ), 0u );
	EXPECT_EQ( s.find( "abcabc   " ), 0u ); // longer than the string
	EXPECT_EQ( s.find_last( "abcabc   " ), 0u );
	EXPECT_EQ( s.find( "abcabc  " ), 1u );
	EXPECT_EQ( s.find( "x" ), 0u );
	EXPECT_EQ( s.find( 'c' ), 3u );
	EXPECT_EQ( s.find_last( 'c' ), 6u );
	EXPECT_EQ( s.find( 'z' ), 0u );
	EXPECT_EQ( s.find_first_of( "cb" ), 2u );
	EXPECT_EQ( s.find_last_of( std::string( "ab" ) ), 5u );
	EXPECT_EQ( s.find_first_of( Fstring( "xc" ) ), 3u );
	EXPECT_EQ( s.find_last_of( ' ' ), 8u );
	EXPECT_EQ( s.find_first_of( "" ), 0u );
	EXPECT_EQ( s.find_last_of( "" ), 0u );
	EXPECT_EQ( s.find_first_not_of( "ab" ), 3u );
	EXPECT_EQ( s.find_last_not_of( ' ' ), 6u );
	EXPECT_EQ( s.find_last_not_of( Fstring( "c " ) ), 5u );
	EXPECT_EQ( s.find_first_not_of( std::string( "abc " ) ), 0u );
	EXPECT_EQ( s.find_first_not_of( "" ), 1u ); // empty set
	EXPECT_EQ( s.find_last_not_of( "" ), 8u );
	EXPECT_EQ( s.find_first_not_of( 'a' ), 2u );
	Fstring const e;
	EXPECT_EQ( e.find( "a" ), 0u );
	EXPECT_EQ( e.find_first_not_of( "" ), 0u );
	EXPECT_EQ( e.find_last_not_of( "" ), 0u );
	EXPECT_EQ( e.find( ' ' ), 0u );
}

// Searches whose only match sits at the very first or very last character, or
// spans the whole string: a scan that starts one place short of the end, or
// stops one place before the start, misses exactly these
TEST( Fstring, SearchesReachBothEnds )
{
	Fstring const s( "abc" );
	EXPECT_EQ( s.find_last( 'c' ), 3u );
	EXPECT_EQ( s.find_last( "c" ), 3u );
	EXPECT_EQ( s.find_last( std::string( "bc" ) ), 2u );
	EXPECT_EQ( s.find_last( Fstring( "bc" ) ), 2u );
	EXPECT_EQ( s.find_last( "abc" ), 1u ); // the whole string
	EXPECT_EQ( s.find_last( 'a' ), 1u );
	EXPECT_EQ( s.find_last( "ab" ), 1u );
	EXPECT_EQ( s.find( 'c' ), 3u );
	EXPECT_EQ( s.find( "bc" ), 2u );
	EXPECT_EQ( s.find( 'a' ), 1u );
	EXPECT_EQ( Fstring( "x" ).find_last( 'x' ), 1u );
	EXPECT_EQ( Fstring( "x" ).find( 'x' ), 1u );
	EXPECT_EQ( s.find_last_of( "xc" ), 3u );
	EXPECT_EQ( s.find_last_of( 'a' ), 1u );
	EXPECT_EQ( s.find_first_of( 'c' ), 3u );
	EXPECT_EQ( s.find_last_not_of( "bc" ), 1u );
	EXPECT_EQ( s.find_first_not_of( "ab" ), 3u );
	// the last of two matches, one of them at the end
	EXPECT_EQ( Fstring( "cbc" ).find_last( 'c' ), 3u );
	EXPECT_EQ( Fstring( "cbc" ).find( 'c' ), 1u );
}

TEST( Fstring, HasAndPrefix )
{
	Fstring const s( "xabx" );
	EXPECT_TRUE( s.has( 'b' ) );
	EXPECT_TRUE( s.has_any_of( 'x' ) );
	EXPECT_FALSE( s.has( 'z' ) );
	EXPECT_TRUE( s.has_any_of( "zb" ) );
	EXPECT_TRUE( s.has_any_of( std::string( "qa" ) ) );
	EXPECT_TRUE( s.has_any_of( Fstring( "x" ) ) );
	EXPECT_FALSE( s.has_any_of( "" ) );
	EXPECT_FALSE( Fstring().has_any_of( "a" ) );
	// has: a match at the end, not an inner one
	EXPECT_FALSE( s.has( "ab" ) );
	EXPECT_TRUE( Fstring( "xab  " ).has( "ab" ) );
	EXPECT_TRUE( Fstring( "xab" ).has( std::string( "ab  " ) ) );
	EXPECT_TRUE( s.has( Fstring( "bx" ) ) );
	EXPECT_FALSE( s.has( "" ) ); // found only when the string ends with a blank
	EXPECT_TRUE( Fstring( "ab " ).has( "" ) );
	EXPECT_TRUE( Fstring( "ab " ).has( "  " ) );
	EXPECT_FALSE( Fstring().has( "" ) );
	EXPECT_TRUE( s.has_prefix( "xa" ) );
	EXPECT_FALSE( s.has_prefix( "XA" ) );
	EXPECT_TRUE( s.has_prefix( "XA", false ) );
	EXPECT_TRUE( s.has_prefix( Fstring( "xAB" ), false ) );
	EXPECT_FALSE( s.has_prefix( "" ) );
	EXPECT_FALSE( s.has_prefix( "xabxy" ) );
}

TEST( Fstring, CaseAndJustification )
{
	Fstring s( "aBc\xe9" );
	EXPECT_EQ( text( s.uppercase() ), "ABC\xe9" );
	EXPECT_EQ( text( s.lowercase() ), "abc\xe9" );
	EXPECT_EQ( text( Fstring( "  ab " ).left_justify() ), "ab   " );
	EXPECT_EQ( text( Fstring( "   " ).left_justify() ), "   " );
	EXPECT_EQ( text( Fstring( "   " ).right_justify() ), "   " );
	EXPECT_EQ( text( Fstring( "x    " ).center() ), "  x  " );
	EXPECT_EQ( text( Fstring( "x   " ).center() ), " x  " );
	EXPECT_EQ( text( Fstring( "  x " ).center() ), " x  " );
	EXPECT_EQ( text( Fstring( "ab " ).center() ), "ab " );
	EXPECT_EQ( text( Fstring( std::string( "a\tb c\0", 6 ) ).compress() ), "abc   " );
	EXPECT_EQ( text( Fstring( std::string( "ab\t \0", 5 ) ).trim_whitespace() ), "ab   " );
}

TEST( Fstring, RightJustify )
{
	EXPECT_EQ( text( Fstring( " ab  " ).right_justify() ), "   ab" );
	EXPECT_EQ( text( Fstring( "ab" ).right_justify() ), "ab" );
}

TEST( Fstring, Stripping )
{
	EXPECT_EQ( text( Fstring( "xxabxx" ).strip( "x" ) ), "ab    " );
	EXPECT_EQ( text( Fstring( "xxabxx" ).lstrip( "x" ) ), "abxx  " );
	EXPECT_EQ( text( Fstring( "xxabxx" ).rstrip( "x" ) ), "xxab  " );
	EXPECT_EQ( text( Fstring( "xyx" ).strip( "xy" ) ), "   " );
	EXPECT_EQ( text( Fstring( "xyx" ).lstrip( "xy" ) ), "   " );
	EXPECT_EQ( text( Fstring( "xyx" ).rstrip( "xy" ) ), "   " );
	EXPECT_EQ( text( Fstring( "x ab" ).strip( "" ) ), "x ab" );
	EXPECT_EQ( text( Fstring( "  a b " ).strip() ), "a b   " );
	EXPECT_EQ( text( Fstring( "  a b " ).lstrip() ), "a b   " );
	EXPECT_EQ( text( Fstring( "\ta b " ).rstrip() ), "\ta b " );
	EXPECT_EQ( text( Fstring( "\t a\t" ).strip_whitespace() ), "a   " );
	EXPECT_EQ( text( Fstring( "\t a\t" ).lstrip_whitespace() ), "a\t  " );
	EXPECT_EQ( text( Fstring( std::string( "\t a\0", 4 ) ).rstrip_whitespace() ), "\t a " );
	Fstring e;
	EXPECT_EQ( e.strip().length(), 0u );
}

TEST( Fstring, Overlay )
{
	Fstring s( "abcdef" );
	EXPECT_EQ( text( s.overlay( "XY", 2 ) ), "aXYdef" );
	EXPECT_EQ( text( s.overlay( std::string( "1234" ), 5 ) ), "aXYd12" ); // cut at the end
	EXPECT_EQ( text( s.overlay( Fstring( "Q" ), 7 ) ), "aXYd12" ); // beyond: nothing
	EXPECT_EQ( text( s.overlay( "pq" ) ), "pqYd12" );
	EXPECT_EQ( text( s.overlay( s( 1, 3 ), 3 ) ), "pqpqY2" ); // overlapping source
}

TEST( Fstring, NulTerminatedText )
{
	Fstring const s( std::string( "ab \t", 4 ) );
	EXPECT_STREQ( s.c_str(), "ab \t" );
	EXPECT_STREQ( s.t_str(), "ab" );
	EXPECT_STREQ( Fstring().c_str(), "" );
	EXPECT_STREQ( Fstring().t_str(), "" );
	EXPECT_STREQ( Fstring( 3 ).t_str(), "" );
	char buffer[ 8 ];
	std::memset( buffer, '#', sizeof buffer );
	EXPECT_EQ( s.copy( buffer, 3, 1 ), 3u );
	EXPECT_EQ( std::string( buffer, 4 ), "b \t#" );
	EXPECT_EQ( s.copy( buffer, 10 ), 4u );
	EXPECT_EQ( s.copy( buffer, 10, 4 ), 0u );
	Fstring v( "abcdef" );
	EXPECT_STREQ( v( 2, 3 ).c_str(), "bc" ); // a view's own buffer
}

TEST( Fstring, StreamOutputAndWordInput )
{
	std::ostringstream out;
	out.width( 10 );
	out << Fstring( "ab " );
	EXPECT_EQ( out.str(), "ab " ); // unformatted: no padding
	std::istringstream in( "  abcdef gh" );
	Fstring s( 3 );
	in >> s;
	EXPECT_EQ( text( s ), "abc" );
	in >> s; // the rest of the word stayed in the stream
	EXPECT_EQ( text( s ), "def" );
	in >> s;
	EXPECT_EQ( text( s ), "gh " );
	in >> s; // exhausted: all blanks
	EXPECT_TRUE( in.fail() );
	EXPECT_EQ( text( s ), "   " );
	std::istringstream in2( "longword" );
	Fstring any;
	in2 >> any; // length 0: the whole word, and its length
	EXPECT_EQ( text( any ), "longword" );
}

TEST( Fstring, LineInput )
{
	std::istringstream in( "abcdefg\nxy\n\n" );
	Fstring s( 4 );
	get( in, s );
	EXPECT_EQ( text( s ), "abcd" );
	get( in, s );
	EXPECT_EQ( text( s ), "efg " );
	EXPECT_EQ( in.peek(), '\n' ); // the newline stays
	in.get();
	getline( in, s );
	EXPECT_EQ( text( s ), "xy  " );
	EXPECT_EQ( in.width(), 4 );
	in.width( 0 );
	getline( in, s );
	EXPECT_EQ( text( s ), "    " );
	std::istringstream none( "\nq" );
	Fstring t( "zzz" );
	get( none, t ); // nothing read: all blanks
	EXPECT_EQ( text( t ), "   " );
	std::istringstream longline( "0123456789\nnext" );
	Fstring u( 3 );
	getline( longline, u );
	EXPECT_EQ( text( u ), "012" );
	longline.width( 0 );
	std::string rest;
	longline >> rest;
	EXPECT_EQ( rest, "next" );
	Fstring e;
	std::istringstream nothing( "abc" );
	get( nothing, e );
	EXPECT_EQ( e.length(), 0u );
	EXPECT_EQ( nothing.peek(), 'a' );
}

TEST( Fstring, RawReads )
{
	std::istringstream in( "abcdefgh" );
	Fstring s( "....." );
	read( in, s );
	EXPECT_EQ( text( s ), "abcde" );
	readsome( in, s ); // three available: the rest unchanged
	EXPECT_EQ( text( s ), "fghde" );
	std::istringstream shortin( "xy" );
	Fstring t( "1234" );
	read( shortin, t );
	EXPECT_EQ( text( t ), "xy34" );
	EXPECT_TRUE( shortin.fail() );
}

TEST( FstringDeath, PositionZeroIsRefused )
{
	Fstring s( "abc" );
	EXPECT_DEATH( s( 0 ), HasSubstr( "Assertion `i > 0' failed" ) );
	EXPECT_DEATH( s( 0, 2 ), HasSubstr( "Assertion `i > 0' failed" ) );
	EXPECT_DEATH( s.overlay( "x", 0 ), HasSubstr( "Assertion `i > 0' failed" ) );
	char buffer[ 4 ];
	EXPECT_DEATH( s.copy( buffer, 1, 4 ), HasSubstr( "Assertion `off <= len_' failed" ) );
}
