// Header words that put the data of a map in the wrong place unless both
// readers (DensityScore's plain-grid reader and FastDensityScore's loader)
// read them alike: a negative NSYMBT over a file with bytes between the
// header and the data, and ORIGIN words of 10000 A or more, which are set
// aside for the start indices.
#include "density/DensityScore.hh"
#include "density/FastDensityScore.hh"
#include "density/tests/dmap_test_util.hh"
#include "density/tests/fast_test_util.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <string>

using dmap_test::CraftMrc;
using dmap_test::Grid;
using dmap_test::read_vol;

namespace {

bool load( FastDensityScore& m, std::string const& path, std::string& text )
{
	testing::internal::CaptureStdout();
	bool const ok = m.readDensityMap( path, 6.0, 0.0, 0.0, true );
	text = testing::internal::GetCapturedStdout();
	return ok;
}

// 3 x 4 x 5 voxels of 1.5 A, values 0, 1, 2, ... in file order, start
// indices -3, 2, 7.
CraftMrc small_map()
{
	CraftMrc m;
	m.nc = 3;
	m.nr = 4;
	m.ns = 5;
	m.width = 1.5f;
	m.ncstart = -3;
	m.nrstart = 2;
	m.nsstart = 7;
	m.values = dmap_test::ramp( 60 );
	return m;
}

bool has( std::string const& text, std::string const& what ) { return text.find( what ) != std::string::npos; }

} // namespace

// NSYMBT -80 over an 80-byte extended header: both readers took it as 0 and
// read the data 80 bytes (20 voxels) early, so that every map value sat
// 20 voxels from its place; a model fitted into it lands 40 A from the truth
// with the same correlation.  Refused now, naming the word.
TEST( MapHeaderRules, LoaderRefusesANegativeNsymbtOverALongerHeader )
{
	quilt_test::ScratchDir dir( "hdr_rules" );
	CraftMrc m = small_map();
	m.write( dir.file( "good.mrc" ) );
	m.nsymbt = -80;
	m.sym_bytes = 80;
	m.write( dir.file( "neg.mrc" ) );
	FastDensityScore map;
	std::string text;
	ASSERT_TRUE( load( map, dir.file( "good.mrc" ), text ) ) << text;
	EXPECT_FALSE( load( map, dir.file( "neg.mrc" ), text ) );
	EXPECT_TRUE( has( text, "Error! Map " + dir.file( "neg.mrc" ) + " gives NSYMBT (word 24) -80, a negative length of "
	                                                                 "symmetry records, but the file holds 80 bytes besides "
	                                                                 "its 1024-byte header and the voxel data; where the "
	                                                                 "data start is not known.  Not loading map." ) )
		<< text;
	// The earlier map stays.
	EXPECT_TRUE( map.isLoaded );
	EXPECT_DOUBLE_EQ( map.density()( 2, 1, 1 ), 1.0 );
	// The extra bytes may as well follow the data: the file cannot tell.
	m.sym_bytes = 0;
	m.values.resize( 80, 0.0 );  // 20 values more than the header gives
	m.write( dir.file( "tail.mrc" ) );
	EXPECT_FALSE( load( map, dir.file( "tail.mrc" ), text ) );
	EXPECT_TRUE( has( text, "a negative length of symmetry records, but the file holds 80 bytes besides" ) ) << text;
}

TEST( MapHeaderRulesDeathTest, PlainReaderRefusesANegativeNsymbtOverALongerHeader )
{
	quilt_test::ScratchDir dir( "hdr_rules" );
	int const codes[ 3 ] = { 70643, 70645, 70647 };
	for ( int mode = 0; mode <= 2; ++mode ) {
		CraftMrc m = small_map();
		m.mode = mode;
		m.nsymbt = -80;
		m.sym_bytes = 80;
		std::string const f = dir.file( "neg" + std::to_string( mode ) + ".mrc" );
		m.write( f );
		EXPECT_EXIT( { dmap_test::stdout_to_stderr(); Grid g; read_vol( f, g ); },
			testing::ExitedWithCode( codes[ mode ] % 256 ),
			"ReadMrc_st> Error: map [^ ]*neg" + std::to_string( mode )
				+ "\\.mrc gives NSYMBT \\(word 24\\) -80, a negative length of symmetry records, but the file holds 80 "
				  "bytes besides its 1024-byte header and the voxel data; where the data start is not known" )
			<< "mode " << mode;
	}
}

// Where the data fill the file right after the header, a negative NSYMBT
// is taken as 0 by both readers, with a warning.
TEST( MapHeaderRules, NegativeNsymbtWithTheDataRightAfterTheHeaderIsTakenAsZero )
{
	quilt_test::ScratchDir dir( "hdr_rules" );
	CraftMrc m = small_map();
	m.nsymbt = -80;
	m.sym_bytes = 0;
	m.write( dir.file( "neg.mrc" ) );
	FastDensityScore map;
	std::string text;
	ASSERT_TRUE( load( map, dir.file( "neg.mrc" ), text ) ) << text;
	EXPECT_TRUE( has( text, "Warning! Negative symmetry record length taken as 0.  Continuing." ) ) << text;
	EXPECT_DOUBLE_EQ( map.density()( 3, 4, 5 ), 59.0 );

	Grid g;
	testing::internal::CaptureStdout();
	read_vol( dir.file( "neg.mrc" ), g );
	text = testing::internal::GetCapturedStdout();
	EXPECT_TRUE( has( text, "ReadMrc_st> Warning: map " + dir.file( "neg.mrc" )
	                            + " gives NSYMBT -80, a negative length of symmetry records; taken as 0, as its voxel data "
	                              "fill the file right after the header." ) )
		<< text;
	ASSERT_EQ( g.n(), 60u );
	EXPECT_DOUBLE_EQ( g.at( 2, 3, 4 ), 59.0 );
}

// An ORIGIN word of 10000 A or more sets the whole ORIGIN aside in the
// loader, as it always did, but silently: a model fitted into such a map
// came out 12000 A from where the header put the map.  It now says which
// words are not used and where the start indices put the map.
TEST( MapHeaderRules, LoaderSaysWhichOriginWordsItSetsAsideAndTheFrame )
{
	quilt_test::ScratchDir dir( "hdr_rules" );
	CraftMrc m = small_map();
	m.xorig = 12000.0f;
	m.yorig = 5.0f;
	m.zorig = 7.0f;
	m.write( dir.file( "far.mrc" ) );
	FastDensityScore map;
	std::string text;
	ASSERT_TRUE( load( map, dir.file( "far.mrc" ), text ) ) << text;
	EXPECT_FALSE( map.useAltOrigin );
	EXPECT_NEAR( map.voxelOrigin[ 0 ], -4.5, 1e-5 );
	EXPECT_NEAR( map.voxelOrigin[ 1 ], 3.0, 1e-5 );
	EXPECT_NEAR( map.voxelOrigin[ 2 ], 10.5, 1e-5 );
	EXPECT_TRUE( has( text, "Warning! ORIGIN words X, Y, Z (12000, 5, 7 A) of map " + dir.file( "far.mrc" )
	                            + " are not used: X lies 10000 A or more from the coordinate origin.  The start indices "
	                              "place the map instead, its first voxel at (-4.5, 3, 10.5) A, and models are placed "
	                              "and written in that frame.  Continuing." ) )
		<< text;

	// Two words out of range are both named; an ORIGIN within range is used
	// without a word.
	m.xorig = -10000.0f;
	m.zorig = 2.5e4f;
	m.write( dir.file( "far2.mrc" ) );
	ASSERT_TRUE( load( map, dir.file( "far2.mrc" ), text ) ) << text;
	EXPECT_TRUE( has( text, "are not used: X, Z lie 10000 A or more" ) ) << text;
	m.xorig = 9999.0f;
	m.zorig = 7.0f;
	m.write( dir.file( "near.mrc" ) );
	ASSERT_TRUE( load( map, dir.file( "near.mrc" ), text ) ) << text;
	EXPECT_TRUE( map.useAltOrigin );
	EXPECT_FALSE( has( text, "ORIGIN words" ) ) << text;
}

// The plain reader used every ORIGIN word it could read: a map with ORIGIN
// X 12001 was placed at x = 12001 on the plain grid, written so into the
// assembly's work maps (ORIGIN only, the start indices 0 as the origin is off
// the lattice), and then placed at x = 0 by the loader that reads the work
// maps back: chains were fitted in one frame and checked in the other, and
// the assembly ended 98 A from the truth.  Both readers now set such an
// ORIGIN aside for the start indices, so that the map, the work maps written
// from it and the maps loaded from those share one frame.
TEST( MapHeaderRules, BothReadersAndTheWrittenWorkMapKeepOneFrame )
{
	quilt_test::ScratchDir dir( "hdr_rules" );
	CraftMrc m = small_map();
	m.xorig = 12001.0f;
	m.yorig = 10.0f;
	m.zorig = -92.0f;
	m.write( dir.file( "far.mrc" ) );

	Grid g;
	testing::internal::CaptureStdout();
	read_vol( dir.file( "far.mrc" ), g );
	std::string text = testing::internal::GetCapturedStdout();
	EXPECT_TRUE( has( text, "ReadMrc_st> Warning: ORIGIN words X, Y, Z (12001, 10, -92 A) of " + dir.file( "far.mrc" )
	                            + " are not used: X lies 10000 A or more from the coordinate origin.  The start indices "
	                              "place the map instead, its first voxel at (-4.5, 3, 10.5) A, and models are placed "
	                              "and written in that frame." ) )
		<< text;
	EXPECT_NEAR( g.ox, -4.5, 1e-9 );
	EXPECT_NEAR( g.oy, 3.0, 1e-9 );
	EXPECT_NEAR( g.oz, 10.5, 1e-9 );

	FastDensityScore direct;
	ASSERT_TRUE( load( direct, dir.file( "far.mrc" ), text ) ) << text;
	DensityScore ds;
	ds.quiet = true;
	testing::internal::CaptureStdout();
	ds.write_vol( dir.file( "work.mrc" ).c_str(), g.width, g.ox, g.oy, g.oz, g.ex, g.ey, g.ez, g.phi );
	testing::internal::GetCapturedStdout();
	FastDensityScore work;
	ASSERT_TRUE( load( work, dir.file( "work.mrc" ), text ) ) << text;
	double const plain[ 3 ] = { g.ox, g.oy, g.oz };
	for ( int a = 0; a < 3; ++a ) {
		EXPECT_NEAR( direct.voxelOrigin[ a ], plain[ a ], 1e-5 ) << a;
		EXPECT_NEAR( work.voxelOrigin[ a ], plain[ a ], 1e-5 ) << a;
	}
}
