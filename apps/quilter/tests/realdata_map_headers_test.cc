// Quilter on crafted copies of the 1Z5S map whose headers put the data, or
// the map, somewhere else than a plain reading would.  The four chains are
// moved away by random rigid motions and the assembled chains compared in
// place with the true ones (CA RMSD, no superposition).
#include "pdb_text_lines.hh"
#include "quilter_run_case.hh"
#include "testsupport/map_copies.hh"
#include "testsupport/test_data.hh"

#include <array>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace {

using Trace = std::vector< std::array< double, 3 > >;

// CA trace of each "TER"-separated chain of a file.
std::vector< Trace > traces( const std::string& path )
{
	std::vector< Trace > out( 1 );
	for ( auto const& l : quilter_test::read_lines( path ) ) {
		if ( l.rfind( "TER", 0 ) == 0 ) {
			if ( !out.back().empty() ) out.emplace_back();
			continue;
		}
		if ( l.rfind( "ATOM", 0 ) != 0 || l.size() < 54 || l.substr( 12, 4 ) != " CA " ) continue;
		out.back().push_back( { quilter_test::pdb_coord( l, 0 ), quilter_test::pdb_coord( l, 1 ), quilter_test::pdb_coord( l, 2 ) } );
	}
	if ( out.back().empty() ) out.pop_back();
	return out;
}

// In-place CA RMSD of the true chain to the nearest assembled chain of its length.
double best_rmsd( const Trace& truth, const std::vector< Trace >& model )
{
	double best = 1e9;
	for ( auto const& m : model ) {
		if ( m.size() != truth.size() ) continue;
		double s = 0;
		for ( std::size_t i = 0; i < m.size(); ++i )
			for ( int k = 0; k < 3; ++k ) s += std::pow( m[ i ][ k ] - truth[ i ][ k ], 2 );
		best = std::min( best, std::sqrt( s / m.size() ) );
	}
	return best;
}

// The four chains of 1Z5S moved (chain1.pdb ... chain4.pdb in `data`);
// returns their true traces.
std::vector< Trace > moved_chains( const std::string& data, unsigned seed )
{
	std::mt19937 rng( seed );
	std::vector< Trace > truth;
	int k = 0;
	for ( char c : std::string( "ABCD" ) ) {
		std::string const f = quilt_test::shared_file( std::string( "complexes/1z5s/1z5s_" ) + c + ".pdb" );
		std::vector< std::string > atoms;
		for ( auto const& l : quilter_test::read_lines( f ) )
			if ( l.rfind( "ATOM", 0 ) == 0 && l.size() >= 54 ) atoms.push_back( l );
		std::vector< std::string > lines = quilter_test::randomly_moved( atoms, rng );
		lines.push_back( "TER" );
		quilter_test::write_lines( data + "/chain" + std::to_string( ++k ) + ".pdb", lines );
		truth.push_back( traces( f ).at( 0 ) );
	}
	return truth;
}

std::string quilter( const std::string& data, const std::string& map )
{
	return quilter_test::shq( quilt_test::bin_dir() + "/Quilter" ) + " " + quilter_test::shq( data ) + " "
	       + quilter_test::shq( map ) + " 10 -nco 8";
}

} // namespace

// NSYMBT -80 over an 80-byte extended header: the work map was read 80 bytes
// early and the assembly ended "ASSEMBLY FINISHED" with every chain 40-68 A
// off and no word on the header.  It stops now with the reader's reason.
TEST( RealdataMapHeaders, NegativeNsymbtOverAnExtendedHeaderStopsTheAssembly )
{
	QUILT_REQUIRE_SHARED_DATA();
	quilt_test::MapCopy copy( quilt_test::shared_file( "complexes/1z5s/1z5s_10.mrc" ) );
	ASSERT_TRUE( copy.ok() );
	quilt_test::ScratchDir root( "quilt hdr" );
	std::string const data = root.file( "data" ), map = root.file( "map.mrc" );
	std::filesystem::create_directories( data );
	moved_chains( data, 7 );
	copy.set_int( 24, -80 ).insert_after_header( 80 );
	ASSERT_TRUE( copy.write( map ) );
	std::string out;
	EXPECT_EQ( quilter_test::run_shell( quilter( data, map ), out ), 1 ) << out;
	EXPECT_TRUE( quilter_test::says( out, quilter_test::kError + "The density map " + map + " gives NSYMBT (word 24) -80, "
	                                      "a negative length of symmetry records, but the file holds 80 bytes besides its "
	                                      "1024-byte header and the voxel data; where the data start is not known" ) )
		<< out;
	EXPECT_FALSE( quilter_test::finished( out ) );
	EXPECT_FALSE( std::filesystem::exists( data + "/segCmodel1.pdb" ) );
}

// ORIGIN X 12001 (the map's own ORIGIN is 34, 10, -92, its start indices
// 17, 5, -46 of 2 A): the assembly read the map at x = 12001, wrote its work
// maps there with start indices 0, and the fitting read those at their start
// indices: status 0 with every chain 98 A off.  The ORIGIN is set aside in
// both readers now, with a warning, and the chains land in place.
TEST( RealdataMapHeaders, FarOriginIsSetAsideAndTheChainsLandInPlace )
{
	QUILT_REQUIRE_SHARED_DATA();
	quilt_test::MapCopy copy( quilt_test::shared_file( "complexes/1z5s/1z5s_10.mrc" ) );
	ASSERT_TRUE( copy.ok() );
	ASSERT_EQ( copy.int_word( 5 ), 17 );
	quilt_test::ScratchDir root( "quilt hdr" );
	std::string const data = root.file( "data" ), map = root.file( "map.mrc" );
	std::filesystem::create_directories( data );
	std::vector< Trace > const truth = moved_chains( data, 5 );
	copy.set_float( 50, 12001.0f );
	ASSERT_TRUE( copy.write( map ) );
	std::string out;
	EXPECT_EQ( quilter_test::run_shell( quilter( data, map ), out ), 0 ) << out.substr( out.size() > 3000 ? out.size() - 3000 : 0 );
	EXPECT_TRUE( quilter_test::finished( out ) );
	EXPECT_TRUE( quilter_test::says( out, "ReadMrc_st> Warning: ORIGIN words X, Y, Z (12001, 10, -92 A) of " + map
	                                      + " are not used: X lies 10000 A or more from the coordinate origin.  The start "
	                                        "indices place the map instead, its first voxel at (34, 10, -92) A, and models "
	                                        "are placed and written in that frame." ) )
		<< out;
	std::vector< Trace > const model = traces( data + "/segCmodel1.pdb" );
	for ( std::size_t i = 0; i < truth.size(); ++i ) EXPECT_LT( best_rmsd( truth[ i ], model ), 3.0 ) << "chain " << "ABCD"[ i ];
}
