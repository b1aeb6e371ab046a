// Trimming, comparison, replacement and environment-variable expansion;
// splitting and joining

#include "utility/string_util.hh"
#include "utility/Exceptions.hh"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

using namespace utility;
using testing::ElementsAre;
using testing::HasSubstr;

TEST( string_edit, CaseAndComparisons )
{
	EXPECT_EQ( upper( "abC1-z\xe9" ), "ABC1-Z\xe9" ); // only A-Z and a-z change
	EXPECT_EQ( lower( "ABc1-Z" ), "abc1-z" );

	EXPECT_TRUE( trimmed_compare( " ab  ", "ab" ) );
	EXPECT_TRUE( trimmed_compare( "   ", "" ) );
	EXPECT_TRUE( trimmed_compare( "", "" ) );
	EXPECT_FALSE( trimmed_compare( "\tab", "ab" ) ); // only blanks are trimmed
	EXPECT_FALSE( trimmed_compare( "a b", "ab" ) );

	EXPECT_TRUE( startswith( "model.pdb", "model" ) );
	EXPECT_TRUE( startswith( "x", "" ) );
	EXPECT_FALSE( startswith( "mo", "model" ) );
	EXPECT_TRUE( endswith( "model.pdb", ".pdb" ) );
	EXPECT_TRUE( endswith( "", "" ) );
	EXPECT_FALSE( endswith( "db", ".pdb" ) );
	EXPECT_TRUE( contains( "abc", "" ) );
	EXPECT_TRUE( contains( "abc", "bc" ) );
	EXPECT_FALSE( contains( "abc", "cb" ) );
}

TEST( string_edit, TrimAndStrip )
{
	EXPECT_EQ( strip( "xxhixx", "x" ), "hi" );
	EXPECT_EQ( strip( "xxxxx", "x" ), "" );
	EXPECT_EQ( strip( "xhi", "" ), "xhi" );
	EXPECT_EQ( strip( " \t a \t", " \t" ), "a" );
	EXPECT_EQ( strip( "  a b ", ' ' ), "a b" ); // the inner blank stays
	EXPECT_EQ( strip( "", ' ' ), "" );
	EXPECT_EQ( strip( "   ", ' ' ), "" );
	EXPECT_EQ( strip( "\ta ", ' ' ), "\ta" );

	std::string s = "--a-b--";
	trim( s, "-" );
	EXPECT_EQ( s, "a-b" );
	s = "---";
	trim( s, "-" );
	EXPECT_EQ( s, "" );
}

TEST( string_edit, ReplaceAndRemove )
{
	EXPECT_EQ( replace_in( "a,b,,c", ",", " " ), "a b  c" );
	EXPECT_EQ( replace_in( "aaa", "aa", "b" ), "ba" ); // left to right, no overlap
	EXPECT_EQ( replace_in( "ab", "a", "aa" ), "aab" );  // the inserted text is not searched again
	EXPECT_EQ( replace_in( "", "a", "b" ), "" );

	EXPECT_EQ( remove_from_string( "abcabc", "bc" ), "aa" );
	EXPECT_EQ( remove_from_string( "abcabc", "" ), "abcabc" );
	EXPECT_EQ( remove_from_string( "abbcc", "bc" ), "abc" ); // a junction made by a removal is not searched
	EXPECT_EQ( remove_from_string( "", "x" ), "" );
}

// An empty search text used to loop forever; it now leaves the text alone
TEST( string_edit, ReplaceWithEmptyPatternLeavesTheTextUnchanged )
{
	EXPECT_EQ( replace_in( "abc", "", "x" ), "abc" );
	EXPECT_EQ( replace_in( "", "", "x" ), "" );
}

namespace {

// Expansion ends through utility::exit: give the exception's text (the report goes to standard error)
std::string expansion_failure( std::string const & text )
{
	testing::internal::CaptureStderr();
	std::string what;
	try {
		replace_environment_variables( text );
		ADD_FAILURE() << "expansion of " << text << " did not stop";
	} catch ( UtilityExitException const & e ) {
		what = e.what();
	}
	testing::internal::GetCapturedStderr();
	return what;
}

}

TEST( string_edit, EscapedBytesShowWhatTheBytesAre )
{
	EXPECT_EQ( escaped_bytes( "x,y,z ~" ), "x,y,z ~" );
	EXPECT_EQ( escaped_bytes( std::string( "\t\n\r\0\x7f", 5 ) ), "\\x09\\x0a\\x0d\\x00\\x7f" );
	EXPECT_EQ( escaped_bytes( "\xe9t\xc3\xa9" ), "\\xe9t\\xc3\\xa9" ); // bytes above 0x7e, one by one
	EXPECT_EQ( escaped_bytes( "" ), "" );
}

TEST( string_edit, EnvironmentVariables )
{
	setenv( "QUILT_TEST_DIR", "/data/run", 1 );
	setenv( "QUILT_TEST_NESTED", "${QUILT_TEST_DIR}/maps", 1 );
	EXPECT_EQ( replace_environment_variables( "${QUILT_TEST_DIR}/x" ), "/data/run/x" );
	EXPECT_EQ( replace_environment_variables( "a${QUILT_TEST_DIR}b${QUILT_TEST_DIR}" ), "a/data/runb/data/run" );
	EXPECT_EQ( replace_environment_variables( "${QUILT_TEST_NESTED}/m.mrc" ), "/data/run/maps/m.mrc" );
	EXPECT_EQ( replace_environment_variables( "no variables" ), "no variables" );
	EXPECT_EQ( replace_environment_variables( "x${QUILT_TEST_DIR" ), "x/data/run" ); // no "}": the rest is the name

	std::string const what = expansion_failure( "${QUILT_TEST_UNDEFINED_VARIABLE}/x" );
	EXPECT_THAT( what, HasSubstr( "File: ./utility/string_util.cc:552\n" ) );
	EXPECT_THAT( what, HasSubstr( "environment variable QUILT_TEST_UNDEFINED_VARIABLE does not exist" ) );
	EXPECT_THAT( expansion_failure( "${}" ), HasSubstr( "environment variable  does not exist" ) );
	unsetenv( "QUILT_TEST_DIR" );
	unsetenv( "QUILT_TEST_NESTED" );
}

// A variable that refers back to itself used to expand forever; it now stops through utility::exit
TEST( string_edit, SelfReferringEnvironmentVariablesStop )
{
	setenv( "QUILT_TEST_SELF", "x${QUILT_TEST_SELF}", 1 );
	EXPECT_THAT( expansion_failure( "${QUILT_TEST_SELF}" ), HasSubstr( "the variables refer back to themselves" ) );

	setenv( "QUILT_TEST_PING", "${QUILT_TEST_PONG}", 1 );
	setenv( "QUILT_TEST_PONG", "a${QUILT_TEST_PING}${QUILT_TEST_PING}", 1 );
	EXPECT_THAT( expansion_failure( "/${QUILT_TEST_PING}" ), HasSubstr( "File: ./utility/string_util.cc:552\n" ) );
	unsetenv( "QUILT_TEST_SELF" );
	unsetenv( "QUILT_TEST_PING" );
	unsetenv( "QUILT_TEST_PONG" );

	// Many references in one text are not mistaken for a cycle
	setenv( "QUILT_TEST_X", "x", 1 );
	std::string many;
	for ( int i = 0; i < 3000; ++i ) many += "${QUILT_TEST_X}";
	EXPECT_EQ( replace_environment_variables( many ), std::string( 3000, 'x' ) );
	unsetenv( "QUILT_TEST_X" );
}

TEST( string_split, SeparatorsAndEmptyPieces )
{
	EXPECT_THAT( string_split( "a,,b", ',' ), ElementsAre( "a", "", "b" ) );
	EXPECT_THAT( string_split( "", ',' ), ElementsAre( "" ) );
	EXPECT_THAT( string_split( "a,", ',' ), ElementsAre( "a", "" ) );
	EXPECT_THAT( string_split( ",a", ',' ), ElementsAre( "", "a" ) );
	EXPECT_EQ( string_split( "x y", ' ' )[ 2 ], "y" ); // indexed from 1

	EXPECT_THAT( string_split_simple( ",a,,b,", ',' ), ElementsAre( "a", "b" ) );
	EXPECT_TRUE( string_split_simple( "", ',' ).empty() );

	EXPECT_THAT( string_split_multi_delim( "a;b,c", ";," ), ElementsAre( "a", "b", "c" ) );
	EXPECT_THAT( string_split_multi_delim( "a;,c", ";," ), ElementsAre( "a", "", "c" ) );

	EXPECT_THAT( split_whitespace( " \ta  b\n\vc \r" ), ElementsAre( "a", "b", "c" ) );
	EXPECT_TRUE( split_whitespace( "  " ).empty() );

	EXPECT_THAT( split_by_newlines( "line one\r\nline two\n" ), ElementsAre( "line one", "line two" ) );
	EXPECT_THAT( split_by_newlines( "\n\na\r\rb" ), ElementsAre( "a", "b" ) );
	EXPECT_TRUE( split_by_newlines( "" ).empty() );

	EXPECT_THAT( split( "a\tb  c " ), ElementsAre( "a\tb", "c" ) ); // the blank alone separates
	EXPECT_THAT( split_to_list( " x  y" ), ElementsAre( "x", "y" ) );
	EXPECT_THAT( split_to_set( "b a b" ), ElementsAre( "a", "b" ) );
}

TEST( string_split, QuotedSplit )
{
	EXPECT_THAT( quoted_split( "a \"b c\"" ), ElementsAre( "a", "\"b c\"" ) );
	EXPECT_THAT( quoted_split( "a\\ b c" ), ElementsAre( "a\\ b", "c" ) ); // an escaped blank is content
	EXPECT_THAT( quoted_split( "'x \"y' z" ), ElementsAre( "'x \"y'", "z" ) ); // a double quote inside single quotes
	EXPECT_THAT( quoted_split( "p \"q r" ), ElementsAre( "p", "\"q r" ) );      // unclosed: the rest is one word
	EXPECT_THAT( quoted_split( "  a\t\nb  " ), ElementsAre( "a", "b" ) );
	EXPECT_THAT( quoted_split( "\\\"a b\"" ), ElementsAre( "\\\"a", "b\"" ) );   // an escaped quote opens nothing
	EXPECT_TRUE( quoted_split( "" ).empty() );
}

TEST( string_split, Join )
{
	vector1< std::string > const xyz{ "x", "y", "z" };
	EXPECT_EQ( join( xyz, ", " ), "x, y, z" );
	EXPECT_EQ( join( vector1< std::string >(), ", " ), "" );
	EXPECT_EQ( join( std::vector< std::string >{ "a" }, "-" ), "a" );
	EXPECT_EQ( join( std::vector< std::string >{ "a", "", "b" }, "-" ), "a--b" );
	EXPECT_EQ( replace_spaces( "  a   b ", "_" ), "a_b" );
	// split then join gives back a text with single blanks
	EXPECT_EQ( join( split( "one  two three" ), " " ), "one two three" );
}
