// The fitting programs on map files shorter than the 1024-byte MRC header,
// as the map-header page describes them: each says that the file is too
// short for the header, with its size, and ends with status 1 and its own
// line that the map could not be loaded.  Such a file was read word by word:
// "Improperly formatted line" below 212 bytes, and from there on NSYMBT 0
// "beyond" a file that holds no header at all.
#include "fitting/tests/synthetic_model.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

// A whole 4 x 4 x 4 MODE 2 map of 1 A voxels: its header and data.
std::string whole_map()
{
	std::vector<unsigned char> b( 1024 + 4 * 64, 0 );
	auto put_i = [&]( int word, int32_t v ) { std::memcpy( &b[4 * ( word - 1 )], &v, 4 ); };
	auto put_f = [&]( int word, float v ) { std::memcpy( &b[4 * ( word - 1 )], &v, 4 ); };
	for ( int a = 0; a < 3; ++a ) {
		put_i( 1 + a, 4 );   // NC, NR, NS
		put_i( 8 + a, 4 );   // MX, MY, MZ
		put_f( 11 + a, 4.f ); // cell lengths
		put_f( 14 + a, 90.f );
		put_i( 17 + a, a + 1 );
	}
	put_i( 4, 2 );
	std::memcpy( &b[208], "MAP ", 4 );
	for ( int i = 0; i < 64; ++i ) {
		float const v = float( i );
		std::memcpy( &b[1024 + 4 * i], &v, 4 );
	}
	return std::string( b.begin(), b.end() );
}

std::string quoted( std::string const& s ) { return "'" + s + "'"; }

class ShortMapFiles : public testing::Test {
protected:
	void SetUp() override
	{
		for ( char const* p : { "Placer", "Rasterseek", "PlacerRNA", "Lobetune", "Lobeplace" } )
			ASSERT_TRUE( quilt_test::path_exists( quilt_test::bin_dir() + "/" + p ) ) << "build " << p << " first";
		synth::write_pdb( dir_.file( "model.pdb" ), synth::make_model() );
		std::string const map = whole_map();
		for ( int n : { 0, 300, 1000 } )
			std::ofstream( file( n ), std::ios::binary ) << map.substr( 0, std::size_t( n ) );
	}
	std::string file( int n ) const { return dir_.file( "cut" + std::to_string( n ) + ".mrc" ); }
	static std::string size_line( std::string const& f, int n )
	{
		return "Error! Map " + f + " has " + std::to_string( n ) + " bytes, too few for the 1024-byte MRC header."
			+ "  Not loading map.\n";
	}
	std::string run( std::string const& args, int& status ) const
	{
		return quilt_test::run_command( "cd " + quoted( dir_.path() ) + " && " + args, status );
	}
	quilt_test::ScratchDir dir_{ "mapheaderpages" };
};

TEST_F( ShortMapFiles, PlacerNamesTheSizeAndEndsWithStatusOne )
{
	for ( int n : { 300, 1000, 0 } ) {
		SCOPED_TRACE( n );
		int status = -1;
		std::string const out = run( quoted( quilt_test::bin_dir() + "/Placer" ) + " " + quoted( file( n ) )
			+ " model.pdb 6 -sl 0", status );
		EXPECT_EQ( status, 1 ) << out;
		EXPECT_EQ( quilt_test::occurrences( out, size_line( file( n ), n ) ), 1u ) << out;
		EXPECT_NE( out.find( "Error! The density map " + file( n ) + " could not be loaded; no model written." ),
			std::string::npos ) << out;
		EXPECT_EQ( out.find( "NSYMBT" ), std::string::npos ) << out;
		EXPECT_EQ( out.find( "Improperly formatted" ), std::string::npos ) << out;
		EXPECT_FALSE( quilt_test::path_exists( dir_.file( "model_1.pdb" ) ) );
	}
}

TEST_F( ShortMapFiles, TheSiblingsSayTheSame )
{
	std::string const bin = quilt_test::bin_dir() + "/";
	ASSERT_EQ( ::system( ( "mkdir -p " + quoted( dir_.file( "work" ) ) + " && cp " + quoted( dir_.file( "model.pdb" ) )
		+ " " + quoted( dir_.file( "work/dom1.pdb" ) ) ).c_str() ), 0 );
	for ( int n : { 300, 0 } ) {
		std::string const f = quoted( file( n ) );
		struct Case {
			std::string args, loaded;
		} const cases[] = {
			{ quoted( bin + "Rasterseek" ) + " " + f + " model.pdb out -res 6 -deg 30 -explor 1",
				"Error! the density map " + file( n ) + " could not be loaded; no result written." },
			{ quoted( bin + "PlacerRNA" ) + " " + f + " model.pdb 6 -sl 0",
				"Error! The density map " + file( n ) + " could not be loaded; no model written." },
			{ quoted( bin + "Lobetune" ) + " " + f + " model.pdb 6 -sl 0",
				"Error! The density map " + file( n ) + " could not be loaded; no model written." },
			{ quoted( bin + "Lobeplace" ) + " work " + f + " 6 -in dom -on placed.pdb -sl 0",
				"Error! The density map " + file( n ) + " could not be loaded; no model written." },
		};
		for ( Case const& c : cases ) {
			SCOPED_TRACE( c.args );
			int status = -1;
			std::string const out = run( c.args, status );
			EXPECT_EQ( status, 1 ) << out;
			EXPECT_EQ( quilt_test::occurrences( out, size_line( file( n ), n ) ), 1u ) << out;
			EXPECT_NE( out.find( c.loaded ), std::string::npos ) << out;
		}
	}
}

} // namespace
