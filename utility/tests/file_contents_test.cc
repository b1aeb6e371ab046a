// Whole-file text, stream slurping, the SHA-1 digest string and the
// file-contents map with its read counts and limits

#include "utility/FileContentsMap.hh"
#include "utility/Exceptions.hh"
#include "utility/string_util.hh"
#include "testsupport/test_data.hh"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <sstream>

using testing::HasSubstr;
using utility::io::FileContentsMap;

namespace {

void write_file( std::string const & path, std::string const & text )
{
	std::ofstream out( path, std::ios::binary );
	out << text;
}

std::string exception_text( std::function< void() > const & f )
{
	try {
		f();
	} catch ( utility::excn::Exception const & e ) {
		return e.what();
	}
	return "no exception";
}

}

TEST( file_contents, WholeFileText )
{
	quilt_test::ScratchDir dir( "file_contents" );
	write_file( dir.file( "two.txt" ), "first\nsecond" );
	EXPECT_EQ( utility::file_contents( dir.file( "two.txt" ) ), "first\nsecond\n" ); // a last line gains its line feed
	write_file( dir.file( "crlf.txt" ), "a\r\nb\r\n" );
	EXPECT_EQ( utility::file_contents( dir.file( "crlf.txt" ) ), "a\r\nb\r\n" ); // carriage returns are content
	write_file( dir.file( "empty.txt" ), "" );
	EXPECT_EQ( utility::file_contents( dir.file( "empty.txt" ) ), "" );
	write_file( dir.file( "nul.txt" ), std::string( "a\0b\n", 4 ) );
	EXPECT_EQ( utility::file_contents( dir.file( "nul.txt" ) ), std::string( "a\0b\n", 4 ) );

	// Several megabytes with lines far longer than any buffer come back byte for byte
	std::string big;
	for ( int i = 0; i < 300; ++i ) big += std::string( 10000 + i, static_cast< char >( 'a' + i % 26 ) ) + "\n";
	write_file( dir.file( "big.txt" ), big );
	EXPECT_EQ( utility::file_contents( dir.file( "big.txt" ) ), big );
}

TEST( file_contents, UnreadableFilesThrowNamingTheFile )
{
	quilt_test::ScratchDir dir( "file_contents" );
	std::string const missing = dir.file( "missing.txt" );
	std::string const what = exception_text( [&]() { utility::file_contents( missing ); } );
	EXPECT_THAT( what, HasSubstr( "File: ./utility/string_util.cc:502\nCould not open file " + missing ) );
	// A directory is not an empty file
	EXPECT_THAT( exception_text( [&]() { utility::file_contents( dir.path() ); } ), HasSubstr( "Could not open file " ) );
}

TEST( file_contents, SlurpAppendsTheRestOfAStream )
{
	std::string data( 10000, 'x' );
	for ( std::size_t i = 0; i < data.size(); ++i ) data[ i ] = static_cast< char >( 'a' + i % 23 );
	std::istringstream in( data ); // two full blocks and a short one of 1808 bytes
	std::string out = "before:";
	utility::slurp( in, out );
	EXPECT_EQ( out, "before:" + data );

	std::istringstream exact( std::string( 4096, 'z' ) );
	std::string all;
	utility::slurp( exact, all );
	EXPECT_EQ( all, std::string( 4096, 'z' ) );

	std::istringstream partly( "skip rest" );
	std::string word;
	partly >> word;
	std::string rest;
	utility::slurp( partly, rest );
	EXPECT_EQ( rest, " rest" );
}

// Published FIPS 180 test vectors
TEST( string_to_sha1, KnownDigests )
{
	EXPECT_EQ( utility::string_to_sha1( "" ), "da39a3ee5e6b4b0d3255bfef95601890afd80709" );
	EXPECT_EQ( utility::string_to_sha1( "abc" ), "a9993e364706816aba3e25717850c26c9cd0d89d" );
	EXPECT_EQ( utility::string_to_sha1( "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq" ),
		"84983e441c3bd26ebaae4aa1f95129e5e54670f1" );
	EXPECT_EQ( utility::string_to_sha1( std::string( 1000000, 'a' ) ), "34aa973cd4c4daa4f61eeb2bdbad27316534016f" );
	// Messages whose padding just fits, or just spills into one more block
	EXPECT_EQ( utility::string_to_sha1( std::string( 55, 'a' ) ), "c1c8bbdc22796e28c0e15163d20899b65621d65a" );
	EXPECT_EQ( utility::string_to_sha1( std::string( 56, 'a' ) ), "c2db330f6083854c99d4b5bfb6e8f29f201be699" );
	EXPECT_EQ( utility::string_to_sha1( std::string( 64, 'a' ) ), "0098ba824b5c16427bd7a1122a5a442a25ec644d" );
	// Bytes above 127 and NUL are digested as bytes
	EXPECT_NE( utility::string_to_sha1( std::string( "\0", 1 ) ), utility::string_to_sha1( "" ) );
	EXPECT_EQ( utility::string_to_sha1( "\xff" ).size(), 40u );
}

class FileContentsMapTest : public testing::Test
{
protected:
	void SetUp() override
	{
		name_ = dir_.file( "model.pdb" );
		write_file( name_, "ATOM first\n" );
	}

	quilt_test::ScratchDir dir_{ "contents_map" };
	std::string name_;
};

// With a read limit of 2 the text is cached at the first read and dropped at the second
TEST_F( FileContentsMapTest, ReadLimitDropsTheCachedText )
{
	FileContentsMap map;
	map.delete_contents_at_nread_limit( true );
	map.set_nread_limit_for_file( name_, 2 );

	EXPECT_EQ( map.get_file_contents( name_ ), "ATOM first\n" );
	EXPECT_TRUE( map.has_file_contents( name_ ) );
	write_file( name_, "ATOM changed\n" ); // the cache, not the disk, serves the second read
	EXPECT_EQ( map.get_file_contents( name_ ), "ATOM first\n" );
	EXPECT_FALSE( map.has_file_contents( name_ ) );
	EXPECT_EQ( map.nreads_for_file( name_ ), 2u );

	EXPECT_EQ( map.get_file_contents( name_ ), "ATOM changed\n" ); // past the limit: from disk, cached again
	EXPECT_TRUE( map.has_file_contents( name_ ) );
	EXPECT_EQ( map.nreads_for_file( name_ ), 3u );
}

TEST_F( FileContentsMapTest, ReadLimitOfOneNeverCaches )
{
	FileContentsMap map;
	map.delete_contents_at_nread_limit( true );
	map.set_nread_limit_for_file( name_, 1 );
	for ( int i = 0; i < 3; ++i ) {
		write_file( name_, "version " + std::to_string( i ) + "\n" );
		EXPECT_EQ( map.get_file_contents( name_ ), "version " + std::to_string( i ) + "\n" );
		EXPECT_FALSE( map.has_file_contents( name_ ) );
	}
	EXPECT_EQ( map.nreads_for_file( name_ ), 3u );
}

TEST_F( FileContentsMapTest, WithoutDeletionTheCacheServesEveryRead )
{
	FileContentsMap map;
	map.set_nread_limit_for_file( name_, 1 );
	EXPECT_EQ( map.get_file_contents( name_ ), "ATOM first\n" );
	write_file( name_, "other\n" );
	EXPECT_EQ( map.get_file_contents( name_ ), "ATOM first\n" );
	EXPECT_EQ( map.nreads_for_file( name_ ), 2u );

	// Texts set by hand are served without touching the disk
	FileContentsMap preset( std::map< std::string, std::string >{ { "virtual.txt", "in memory" } } );
	EXPECT_EQ( preset.get_file_contents( "virtual.txt" ), "in memory" );
	EXPECT_EQ( preset.nread_limit_for_file( "virtual.txt" ), 0u );
	EXPECT_TRUE( preset.has_read_limit_for_file( "virtual.txt" ) ); // created at 0 by the read
}

TEST_F( FileContentsMapTest, RefusingUnexpectedFiles )
{
	FileContentsMap map;
	map.refuse_unexpected_files( true );
	EXPECT_THAT( exception_text( [&]() { map.get_file_contents( name_ ); } ),
		HasSubstr( "FileContentsMap.cc:139\nUnexpected file-read requested: " + name_ ) );

	// Announced by its limit alone it has no read count: refused, also after a later increment
	map.set_nread_limit_for_file( name_, 3 );
	EXPECT_THAT( exception_text( [&]() { map.get_file_contents( name_ ); } ),
		HasSubstr( "FileContentsMap.cc:142\nread_counts_ map does not contain an entry for file: " + name_ ) );
	map.increment_nread_limit( name_ );
	EXPECT_EQ( map.nread_limit_for_file( name_ ), 4u );
	EXPECT_THAT( exception_text( [&]() { map.get_file_contents( name_ ); } ), HasSubstr( ":142\n" ) );

	// Announced through increment_nread_limit: accepted
	std::string const other = dir_.file( "other.pdb" );
	write_file( other, "x\n" );
	map.increment_nread_limit( other );
	EXPECT_EQ( map.nread_limit_for_file( other ), 1u );
	EXPECT_EQ( map.get_file_contents( other ), "x\n" );
	EXPECT_EQ( map.nreads_for_file( other ), 1u );
}

TEST_F( FileContentsMapTest, DroppedTextThatWasNeverCachedIsAnError )
{
	FileContentsMap map;
	map.delete_contents_at_nread_limit( true );
	map.set_nread_limit_for_file( name_, 2 );
	map.get_file_contents( name_ );
	map.delete_file_contents( name_ );
	EXPECT_THAT( exception_text( [&]() { map.get_file_contents( name_ ); } ),
		HasSubstr( "FileContentsMap.cc:169\nfile-contents map does not contain an entry for file that has been read before: " ) );
	EXPECT_EQ( map.nreads_for_file( name_ ), 2u ); // the rejected read was counted
}

TEST_F( FileContentsMapTest, ReferencesCountsAndClear )
{
	FileContentsMap map;
	map.delete_contents_at_nread_limit( true );
	map.refuse_unexpected_files( true ); // the reference form neither refuses nor drops
	EXPECT_EQ( map.nreads_for_file( name_ ), 0u );
	std::string const & first = map.get_file_contents_ref( name_ );
	std::string const & second = map.get_file_contents_ref( name_ );
	EXPECT_EQ( &first, &second );
	EXPECT_EQ( first, "ATOM first\n" );
	EXPECT_EQ( map.nreads_for_file( name_ ), 2u );
	EXPECT_TRUE( map.has_read_limit_for_file( name_ ) );
	EXPECT_EQ( map.nread_limit_for_file( name_ ), 0u );

	map.clear();
	EXPECT_FALSE( map.has_file_contents( name_ ) );
	EXPECT_EQ( map.nreads_for_file( name_ ), 0u );
	EXPECT_FALSE( map.has_read_limit_for_file( name_ ) );
	EXPECT_TRUE( map.delete_contents_at_nread_limit() ); // settings survive clear
	EXPECT_TRUE( map.refuse_unexpected_files() );
}

TEST_F( FileContentsMapTest, MissingFileCountsTheReadAndThrows )
{
	FileContentsMap map;
	std::string const missing = dir_.file( "absent.pdb" );
	EXPECT_THAT( exception_text( [&]() { map.get_file_contents( missing ); } ), HasSubstr( "Could not open file " + missing ) );
	EXPECT_EQ( map.nreads_for_file( missing ), 1u );
}
