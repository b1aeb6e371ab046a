// Placer on crafted copies of the real maps whose headers put the data, or
// the map, somewhere else than a plain reading would: a negative NSYMBT
// over an extended header, an ORIGIN word of 10000 A or more, and a boxed
// map that keeps the large unit-cell grid of the map it was cut from.  The
// chain is moved away from its true place by a known rigid motion and judged
// by its CA RMSD in place to the truth, never by Placer's own score.
#include "density/MemoryRoom.hh"
#include "fitting/tests/synthetic_model.hh"
#include "testsupport/map_copies.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

using quilt_test::run_command;

// The ATOM lines of chain `id` written as they are (truth, shifted by
// `frame`) and turned 120 degrees about the (1, 1, 1) axis through their
// centroid and shifted by (12, -9, 7) A (moved).
void write_case( std::string const& pdb, char id, std::string const& truth, std::string const& moved,
	double const* frame = nullptr )
{
	std::vector<std::string> lines;
	std::ifstream in( pdb.c_str() );
	for ( std::string l; std::getline( in, l ); )
		if ( l.compare( 0, 4, "ATOM" ) == 0 && l.size() >= 54 && l[21] == id ) lines.push_back( l );
	double cen[3] = { 0, 0, 0 };
	for ( auto const& l : lines )
		for ( int k = 0; k < 3; ++k ) cen[k] += std::stod( l.substr( 30 + 8 * k, 8 ) ) / lines.size();
	// Rotation by 120 degrees about (1, 1, 1): x -> y -> z -> x.
	double const shift[3] = { 12.0, -9.0, 7.0 };
	std::ofstream ft( truth.c_str() ), fm( moved.c_str() );
	char buf[32];
	for ( auto const& l : lines ) {
		double p[3];
		for ( int k = 0; k < 3; ++k ) p[k] = std::stod( l.substr( 30 + 8 * k, 8 ) );
		double const d[3] = { p[0] - cen[0], p[1] - cen[1], p[2] - cen[2] };
		double const q[3] = { cen[0] + d[2] + shift[0], cen[1] + d[0] + shift[1], cen[2] + d[1] + shift[2] };
		double t[3];
		for ( int k = 0; k < 3; ++k ) t[k] = p[k] - ( frame ? frame[k] : 0.0 );
		std::snprintf( buf, sizeof buf, "%8.3f%8.3f%8.3f", t[0], t[1], t[2] );
		ft << l.substr( 0, 30 ) << buf << l.substr( 54 ) << "\n";
		std::snprintf( buf, sizeof buf, "%8.3f%8.3f%8.3f", q[0], q[1], q[2] );
		fm << l.substr( 0, 30 ) << buf << l.substr( 54 ) << "\n";
	}
	ft << "TER\nEND\n";
	fm << "TER\nEND\n";
}

std::string placer( std::string const& map, std::string const& model, char const* reso )
{
	return "'" + quilt_test::bin_dir() + "/Placer' '" + map + "' '" + model + "' " + reso + " -sl 0";
}

double rmsd( std::string const& a, std::string const& b ) { return synth::ca_rmsd( synth::read_ca( a ), synth::read_ca( b ) ); }

bool exists( std::string const& p ) { return std::ifstream( p.c_str() ).good(); }

} // namespace

// NSYMBT -80 over an 80-byte extended header: the data were read 80 bytes
// early and the chain written 40 A from the truth, with status 0 and the
// correlation of the good map.  Refused now, naming the word; with the data
// right after the header the same word is taken as 0 and the chain lands in
// place.
TEST( PlacerMapHeaders, NegativeNsymbtOverAnExtendedHeaderIsRefused )
{
	QUILT_REQUIRE_SHARED_DATA();
	std::string const map = quilt_test::shared_file( "complexes/1z5s/1z5s_10.mrc" );
	quilt_test::MapCopy copy( map );
	ASSERT_TRUE( copy.ok() );
	ASSERT_EQ( copy.int_word( 24 ), 0 );
	quilt_test::ScratchDir dir( "placerhdr" );
	write_case( quilt_test::shared_file( "complexes/1z5s/1z5s_C.pdb" ), 'C', dir.file( "true.pdb" ), dir.file( "chain.pdb" ) );
	ASSERT_GT( rmsd( dir.file( "chain.pdb" ), dir.file( "true.pdb" ) ), 10.0 );

	copy.set_int( 24, -80 );
	ASSERT_TRUE( copy.write( dir.file( "neg0.mrc" ) ) );
	int status = -1;
	std::string out = run_command( placer( dir.file( "neg0.mrc" ), dir.file( "chain.pdb" ), "10" ), status );
	ASSERT_EQ( status, 0 ) << out;
	EXPECT_NE( out.find( "Warning! Negative symmetry record length taken as 0.  Continuing." ), std::string::npos ) << out;
	EXPECT_LT( rmsd( dir.file( "chain_1.pdb" ), dir.file( "true.pdb" ) ), 1.0 ) << out;
	std::remove( dir.file( "chain_1.pdb" ).c_str() );

	copy.insert_after_header( 80 );
	ASSERT_TRUE( copy.write( dir.file( "neg80.mrc" ) ) );
	out = run_command( placer( dir.file( "neg80.mrc" ), dir.file( "chain.pdb" ), "10" ), status );
	EXPECT_EQ( status, 1 ) << out;
	EXPECT_NE( out.find( "Error! Map " + dir.file( "neg80.mrc" ) + " gives NSYMBT (word 24) -80, a negative length of "
	                     "symmetry records, but the file holds 80 bytes besides its 1024-byte header and the voxel "
	                     "data; where the data start is not known.  Not loading map." ),
		std::string::npos )
		<< out;
	EXPECT_FALSE( exists( dir.file( "chain_1.pdb" ) ) );
}

// ORIGIN X 12000: the ORIGIN is set aside (as it always was) and the start
// indices (0, 0, 0) place the map, so the chain comes out shifted by the
// ORIGIN the map had, which used to happen without a word.
TEST( PlacerMapHeaders, FarOriginIsSetAsideWithAWarningNamingTheFrame )
{
	QUILT_REQUIRE_SHARED_DATA();
	std::string const map = quilt_test::shared_file( "single/1ggg_5A.mrc" );
	quilt_test::MapCopy copy( map );
	ASSERT_TRUE( copy.ok() );
	ASSERT_EQ( copy.int_word( 5 ), 0 );
	double const origin[3] = { copy.float_word( 50 ), copy.float_word( 51 ), copy.float_word( 52 ) };
	quilt_test::ScratchDir dir( "placerhdr" );
	write_case( quilt_test::shared_file( "single/1ggg.pdb" ), 'B', dir.file( "true.pdb" ), dir.file( "chain.pdb" ),
		origin );
	copy.set_float( 50, 12000.0f );
	ASSERT_TRUE( copy.write( dir.file( "far.mrc" ) ) );
	int status = -1;
	std::string const out = run_command( placer( dir.file( "far.mrc" ), dir.file( "chain.pdb" ), "5" ), status );
	ASSERT_EQ( status, 0 ) << out;
	char want[256];
	std::snprintf( want, sizeof want, "Warning! ORIGIN words X, Y, Z (12000, %g, %g A) of map ", origin[1], origin[2] );
	EXPECT_NE( out.find( want + dir.file( "far.mrc" ) + " are not used: X lies 10000 A or more from the coordinate "
	                     "origin.  The start indices place the map instead, its first voxel at (0, 0, 0) A, and models "
	                     "are placed and written in that frame.  Continuing." ),
		std::string::npos )
		<< out;
	// The truth in the frame of the start indices.
	EXPECT_LT( rmsd( dir.file( "chain_1.pdb" ), dir.file( "true.pdb" ) ), 1.0 ) << out;
}

// A boxed map that keeps its parent's cell grid was refused ("more than 8
// times the voxels of the map data", for cells above 2^26 voxels) although
// it fits; it is placed on that cell and the chain fitted as well as on the
// map with its own cell.  A 416^3 cell is just above that bound and keeps
// the test's memory down: the fast score's set-up on the whole cell takes
// about 80 bytes a voxel (6 GB here; a 512^3 cell takes 10 GB).
TEST( PlacerMapHeaders, BoxedMapOnItsParentsCellIsFittedAsOnItsOwn )
{
	QUILT_REQUIRE_SHARED_DATA();
	MemoryRoom const room = memoryRoom();
	if ( room.known && room.bytes < ( uint64_t( 9 ) << 30 ) )
		GTEST_SKIP() << "the 416^3 cell needs about 6.5 GB; " << megabytes( room.bytes ) << " are free";
	std::string const map = quilt_test::shared_file( "single/1ggg_5A.mrc" );
	quilt_test::MapCopy copy( map );
	ASSERT_TRUE( copy.ok() );
	ASSERT_EQ( copy.int_word( 8 ), 53 );
	quilt_test::ScratchDir dir( "placerhdr" );
	write_case( quilt_test::shared_file( "single/1ggg.pdb" ), 'B', dir.file( "true.pdb" ), dir.file( "chain.pdb" ) );
	int const cell = 416;
	static_assert( 416LL * 416 * 416 > ( 1LL << 26 ), "the cell lies beyond the old bound" );
	for ( int w = 8; w <= 10; ++w ) copy.set_int( w, cell );
	for ( int w = 11; w <= 13; ++w ) copy.set_float( w, cell * 1.25f );
	ASSERT_TRUE( copy.write( dir.file( "cell416.mrc" ) ) );
	int status = -1;
	std::string out = run_command( placer( map, dir.file( "chain.pdb" ), "5" ), status );
	ASSERT_EQ( status, 0 ) << out;
	double const own = rmsd( dir.file( "chain_1.pdb" ), dir.file( "true.pdb" ) );
	std::remove( dir.file( "chain_1.pdb" ).c_str() );
	out = run_command( placer( dir.file( "cell416.mrc" ), dir.file( "chain.pdb" ), "5" ), status );
	ASSERT_EQ( status, 0 ) << out;
	double const boxed = rmsd( dir.file( "chain_1.pdb" ), dir.file( "true.pdb" ) );
	EXPECT_LT( own, 1.0 );
	EXPECT_LT( boxed, 1.0 ) << out;
	EXPECT_NEAR( boxed, own, 0.2 ) << out;
}
