// Console stream wrappers: usable from static initialisers of any source,
// and the wrapped operations on input and output streams

#include "utility/icstream.hh"
#include "utility/ocstream.hh"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <iostream>
#include <sstream>
#include <string>

using utility::io::icstream;
using utility::io::ocstream;

namespace {

// Runs during static initialisation of this test program, in no guaranteed
// order with the library's own sources: the console objects must already be
// usable. The text goes to a string stream swapped in as the buffer of
// std::cout, so that the test can read it back.
struct WriteBeforeMain
{
	std::ostringstream captured;
	bool wrapped_cout = false;
	bool wrapped_cerr = false;
	bool good = false;

	WriteBeforeMain()
	{
		std::streambuf * const saved = std::cout.rdbuf( captured.rdbuf() );
		utility::io::oc::cout.write( "written before main", 19 ).put( '\n' ).flush();
		utility::io::oc::cout << std::flush;
		good = utility::io::oc::cout.good();
		wrapped_cout = &utility::io::oc::cout.stream() == &std::cout;
		wrapped_cerr = &utility::io::oc::cerr.stream() == &std::cerr;
		std::cout.rdbuf( saved );
	}
};

WriteBeforeMain const before_main;

}

// A wrapper built by dynamic initialisation after this program's initialiser would have crashed it or lost the text
TEST( console_streams, WriteFromAStaticInitialiser )
{
	EXPECT_EQ( before_main.captured.str(), "written before main\n" );
	EXPECT_TRUE( before_main.good );
	EXPECT_TRUE( before_main.wrapped_cout );
	EXPECT_TRUE( before_main.wrapped_cerr );
	EXPECT_EQ( &static_cast< std::istream & >( utility::io::ic::cin ), &std::cin );
	EXPECT_EQ( &utility::io::oc::clog.stream(), &std::clog );
}

TEST( console_streams, ConsoleObjectsWriteToTheStandardStreams )
{
	testing::internal::CaptureStdout();
	std::string const text = "whole text";
	utility::io::oc::cout.write( text, static_cast< std::streamsize >( text.size() ) );
	utility::io::oc::cout << std::endl;
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_EQ( out, "whole text\n" );

	testing::internal::CaptureStderr();
	utility::io::oc::cerr.put( '!' ).flush();
	EXPECT_EQ( testing::internal::GetCapturedStderr(), "!" );
}

TEST( console_streams, OutputWrapper )
{
	std::ostringstream sink;
	ocstream out( sink );
	utility::io::orstream & r = out; // through the interface
	r.write( "abcdef", 3 ).put( '-' );
	r.write( std::string( "xyz" ), 2 );
	r.write( std::string( "pq" ), 10 ); // never past the end of the text
	r << std::endl;
	EXPECT_EQ( sink.str(), "abc-xypq\n" );
	EXPECT_TRUE( static_cast< bool >( r ) );
	EXPECT_TRUE( r.good() );
	EXPECT_FALSE( r.compressed() );
	EXPECT_TRUE( r.uncompressed() );
	EXPECT_FALSE( r.gzipped() );
	EXPECT_EQ( r.rdbuf(), sink.rdbuf() );
	EXPECT_EQ( &r(), &sink );

	sink.setstate( std::ios_base::badbit );
	EXPECT_FALSE( static_cast< bool >( r ) );
	EXPECT_TRUE( r.bad() );
	EXPECT_TRUE( r.fail() );
	r.clear();
	EXPECT_TRUE( r.good() );
}

TEST( console_streams, InputWrapperReads )
{
	std::istringstream source( "line one\nab;cd\n12345678" );
	icstream in( source );
	utility::io::irstream & r = in;

	std::string s;
	r.getline( s );
	EXPECT_EQ( s, "line one" );
	r.get( s, 3 ); // at most two characters
	EXPECT_EQ( s, "ab" );
	r.get( s, 10, ';' );
	EXPECT_EQ( s, "" ); // stops at once at the delimiter
	r.clear();
	EXPECT_EQ( r.get(), ';' );
	r.getline( s, '\n' );
	EXPECT_EQ( s, "cd" );
	EXPECT_EQ( r.peek(), '1' );
	char c = 0;
	r.get( c );
	EXPECT_EQ( c, '1' );
	r.unget();
	r.ignore( 2 );
	EXPECT_EQ( r.readsome( s, 3 ), 3 );
	EXPECT_EQ( s, "345" );
	r.putback( '5' );
	char buf[ 8 ] = {};
	r.read( buf, 2 );
	EXPECT_EQ( std::string( buf, 2 ), "56" );
	r.ignore();
	EXPECT_EQ( r.get(), '8' );
	EXPECT_FALSE( r.eof() );
	EXPECT_EQ( r.get(), std::char_traits< char >::eof() );
	EXPECT_TRUE( r.eof() );
	EXPECT_TRUE( r.fail() );
	EXPECT_FALSE( static_cast< bool >( r ) );

	// Back to the start after the end was reached
	r.seek_beg();
	EXPECT_TRUE( r.good() );
	r.getline( s );
	EXPECT_EQ( s, "line one" );
}

TEST( console_streams, StringReadTakesExactlyWhatWasRead )
{
	std::istringstream source( "abcd" );
	icstream in( source );
	std::string text = "previous";
	in.read( text, 10 );
	EXPECT_EQ( text, "abcd" );
	EXPECT_TRUE( in.eof() );
	EXPECT_TRUE( in.fail() );

	std::istringstream two( "xy\nz" );
	icstream in2( two );
	in2.get( text, 0 ); // no room even for the terminating NUL: nothing read, a failure
	EXPECT_EQ( text, "" );
	EXPECT_TRUE( in2.fail() );
	in2.clear();
	char line[ 8 ];
	in2.getline( line, 8 );
	EXPECT_STREQ( line, "xy" );
	in2.ignore( 5, 'q' );
	EXPECT_TRUE( in2.eof() );

	std::istringstream words( "  42 x" );
	icstream in3( words );
	std::istream & after = in3 >> std::ws; // a manipulator gives back the stream
	EXPECT_EQ( &after, &words );
	EXPECT_EQ( in3.peek(), '4' );
}
