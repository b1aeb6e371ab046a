// Loading MRC/CCP4 maps into FastDensityScore: header handling, byte order,
// axis order, origin rules, unit-cell padding, the derived constants and
// the failures that must leave an earlier map in place.
#include "density/FastDensityScore.hh"
#include "density/tests/fast_test_util.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <iterator>
#include <sstream>

using fast_test::MrcSpec;
using fast_test::write_mrc;

namespace {

// Loads quietly; returns the loader's result and its printed text.
bool load( FastDensityScore& m, std::string const& path, std::string* text = nullptr, double reso = 0.0,
	double thr = 0.0, bool quiet = true )
{
	testing::internal::CaptureStdout();
	bool const ok = m.readDensityMap( path, reso, 0.0, thr, quiet );
	std::string const out = testing::internal::GetCapturedStdout();
	if ( text ) *text = out;
	return ok;
}

MrcSpec ramp( int nx, int ny, int nz )
{
	MrcSpec s;
	s.ext[ 0 ] = nx;
	s.ext[ 1 ] = ny;
	s.ext[ 2 ] = nz;
	s.samp[ 0 ] = nx;
	s.samp[ 1 ] = ny;
	s.samp[ 2 ] = nz;
	s.cell[ 0 ] = float( nx );
	s.cell[ 1 ] = float( ny );
	s.cell[ 2 ] = float( nz );
	for ( int i = 0; i < nx * ny * nz; ++i ) s.data.push_back( float( i ) );
	return s;
}

} // namespace

TEST( FastLoad, DefaultsOfAFreshObject )
{
	FastDensityScore m;
	EXPECT_FALSE( m.isLoaded );
	EXPECT_EQ( m.nFastBins, 1 );
	EXPECT_EQ( m.nFscBins, 50 );
	EXPECT_DOUBLE_EQ( m.fscLowRes, 10.0 );
	EXPECT_DOUBLE_EQ( m.atomMask, 3.2 );
	EXPECT_DOUBLE_EQ( m.caMask, 6.0 );
	EXPECT_DOUBLE_EQ( m.maskPadding, 2.0 );
	EXPECT_DOUBLE_EQ( m.forceApix, 0.0 );
	for ( int i = 0; i < 3; ++i ) {
		EXPECT_FLOAT_EQ( m.cellDimensions[ i ], 1.0f );
		EXPECT_FLOAT_EQ( m.cellAngles[ i ], 1.0f );
	}
	EXPECT_TRUE( m.fastCacheEmpty() );
	// Scores of an unloaded object are 0 with a message, never a crash.
	testing::internal::CaptureStdout();
	EXPECT_EQ( m.getFastDensScore( nullptr, 0 ), 0.0 );
	EXPECT_NE( testing::internal::GetCapturedStdout().find( "Error! matchResFast called but no map is loaded!" ), std::string::npos );
}

TEST( FastLoad, ValuesAndReportLines )
{
	quilt_test::ScratchDir dir( "fds_load" );
	std::string const path = dir.file( "ramp.mrc" );
	ASSERT_TRUE( write_mrc( path, ramp( 4, 4, 4 ) ) );
	FastDensityScore m;
	std::string text;
	ASSERT_TRUE( load( m, path, &text, 0.0, 0.0, false ) );
	std::string const want = "ReadMrc> Setting resolution to AUTO\n"
	                         "ReadMrc> Atom mask: 3.2A\n"
	                         "ReadMrc> CA atom mask: 6A\n"
	                         "ReadMrc> Read density map'" + path + "'\n"
	                         "ReadMrc> extent: 4 x 4 x 4\n"
	                         "ReadMrc> origin: 0 x 0 x 0\n"
	                         "ReadMrc> altorigin: 0 x 0 x 0\n"
	                         "ReadMrc> grid: 4 x 4 x 4\n"
	                         "ReadMrc> celldim: 4 x 4 x 4\n"
	                         "ReadMrc> cellangles: 90 x 90 x 90\n"
	                         "ReadMrc> voxel vol: 1\n"
	                         "ReadMrc> grid width: 1\n"
	                         "ReadMrc> number of voxels : 64\n";
	EXPECT_EQ( text, want );
	EXPECT_TRUE( m.isLoaded );
	farray::FArray3D< double > const& d = m.density();
	ASSERT_EQ( d.u1(), 4 );
	ASSERT_EQ( d.u3(), 4 );
	// File order is x fastest with axis map 1, 2, 3.
	EXPECT_DOUBLE_EQ( d( 1, 1, 1 ), 0.0 );
	EXPECT_DOUBLE_EQ( d( 2, 1, 1 ), 1.0 );
	EXPECT_DOUBLE_EQ( d( 1, 2, 1 ), 4.0 );
	EXPECT_DOUBLE_EQ( d( 4, 4, 4 ), 63.0 );
	EXPECT_NEAR( m.gridWidth, 1.0, 1e-12 );
	// Voxels strictly above the threshold 0: all but the first.
	EXPECT_EQ( m.nDensPoints, 63 );
}

TEST( FastLoad, OtherByteOrderGivesTheSameMap )
{
	quilt_test::ScratchDir dir( "fds_load" );
	MrcSpec s = ramp( 3, 4, 5 );
	ASSERT_TRUE( write_mrc( dir.file( "a.mrc" ), s ) );
	s.swap = true;
	ASSERT_TRUE( write_mrc( dir.file( "b.mrc" ), s ) );
	FastDensityScore a, b;
	ASSERT_TRUE( load( a, dir.file( "a.mrc" ) ) );
	ASSERT_TRUE( load( b, dir.file( "b.mrc" ) ) );
	ASSERT_EQ( b.density().u1(), 3 );
	ASSERT_EQ( b.density().u2(), 4 );
	ASSERT_EQ( b.density().u3(), 5 );
	for ( int i = 0; i < 60; ++i ) EXPECT_EQ( a.density()[ i ], b.density()[ i ] );
	EXPECT_DOUBLE_EQ( a.gridWidth, b.gridWidth );
}

TEST( FastLoad, AxisMapPlacesColumnsRowsSections )
{
	quilt_test::ScratchDir dir( "fds_load" );
	// Columns along z, rows along x, sections along y (axis map 3, 1, 2).
	MrcSpec s;
	int const nc = 2, nr = 3, ns = 4;
	s.ext[ 0 ] = nc;
	s.ext[ 1 ] = nr;
	s.ext[ 2 ] = ns;
	s.axes[ 0 ] = 3;
	s.axes[ 1 ] = 1;
	s.axes[ 2 ] = 2;
	s.samp[ 0 ] = nr; // MX (x) = rows
	s.samp[ 1 ] = ns; // MY (y) = sections
	s.samp[ 2 ] = nc; // MZ (z) = columns
	s.cell[ 0 ] = float( nr );
	s.cell[ 1 ] = float( ns );
	s.cell[ 2 ] = float( nc );
	for ( int sec = 0; sec < ns; ++sec )
		for ( int r = 0; r < nr; ++r )
			for ( int c = 0; c < nc; ++c ) s.data.push_back( float( 100 * c + 10 * r + sec ) );
	ASSERT_TRUE( write_mrc( dir.file( "p.mrc" ), s ) );
	FastDensityScore m;
	ASSERT_TRUE( load( m, dir.file( "p.mrc" ) ) );
	farray::FArray3D< double > const& d = m.density();
	ASSERT_EQ( d.u1(), nr );
	ASSERT_EQ( d.u2(), ns );
	ASSERT_EQ( d.u3(), nc );
	for ( int sec = 0; sec < ns; ++sec )
		for ( int r = 0; r < nr; ++r )
			for ( int c = 0; c < nc; ++c ) EXPECT_DOUBLE_EQ( d( r + 1, sec + 1, c + 1 ), 100 * c + 10 * r + sec );
}

TEST( FastLoad, OriginRules )
{
	quilt_test::ScratchDir dir( "fds_load" );
	MrcSpec s = fast_test::cubic_map( 10, 1.5, []( int x, int, int ) { return x; } );
	s.start[ 0 ] = -3;
	s.start[ 1 ] = 2;
	s.start[ 2 ] = 7;
	// ORIGIN all zero: the start indices place the map.
	ASSERT_TRUE( write_mrc( dir.file( "o1.mrc" ), s ) );
	FastDensityScore m;
	ASSERT_TRUE( load( m, dir.file( "o1.mrc" ) ) );
	EXPECT_FALSE( m.useAltOrigin );
	EXPECT_EQ( m.origin[ 0 ], -3 );
	EXPECT_EQ( m.origin[ 2 ], 7 );
	EXPECT_NEAR( m.voxelOrigin[ 0 ], -4.5, 1e-5 );
	EXPECT_NEAR( m.voxelOrigin[ 1 ], 3.0, 1e-5 );
	EXPECT_NEAR( m.voxelOrigin[ 2 ], 10.5, 1e-5 );
	// The voxel list sits where the start indices put it.
	double lo = 1e9;
	for ( int i = 0; i < m.nDensPoints; ++i ) lo = std::min( lo, m.densPoints[ i ][ 0 ] );
	EXPECT_NEAR( lo, -4.5 + 1.5, 1e-5 ); // x index 0 holds 0, not above the threshold

	// ORIGIN beyond the sane range is ignored as well.
	s.origin[ 2 ] = 15000.f;
	ASSERT_TRUE( write_mrc( dir.file( "o2.mrc" ), s ) );
	ASSERT_TRUE( load( m, dir.file( "o2.mrc" ) ) );
	EXPECT_FALSE( m.useAltOrigin );
	EXPECT_EQ( m.origin[ 2 ], 7 );

	// ORIGIN (0, 0, 7.5) with 1.5 A voxels: origin z = 5, x and y 0.
	s.origin[ 2 ] = 7.5f;
	ASSERT_TRUE( write_mrc( dir.file( "o3.mrc" ), s ) );
	ASSERT_TRUE( load( m, dir.file( "o3.mrc" ) ) );
	EXPECT_TRUE( m.useAltOrigin );
	EXPECT_EQ( m.origin[ 0 ], 0 );
	EXPECT_EQ( m.origin[ 1 ], 0 );
	EXPECT_EQ( m.origin[ 2 ], 5 );
	EXPECT_NEAR( m.voxelOrigin[ 2 ], 7.5, 1e-6 );
}

TEST( FastLoad, SixAxisOrdersWithOriginOrStartIndicesPlaceTheSameMap )
{
	// One map of 5 x 6 x 7 voxels (x, y, z) stored in each of the six axis
	// orders, placed once by its start indices and once by ORIGIN.  ORIGIN is
	// x, y, z in Cartesian order whatever the axis map (only the start
	// indices follow it): every file must give the same values at the same
	// places.  Permuting ORIGIN by the axis map moved maps stored as 3, 2, 1
	// by up to 100 A.
	quilt_test::ScratchDir dir( "fds_load" );
	int const n[ 3 ] = { 5, 6, 7 };
	int const startXyz[ 3 ] = { -3, 2, 11 };
	double const w = 1.5;
	auto value = []( int const* x ) { return 1.0 + 100 * x[ 0 ] + 10 * x[ 1 ] + x[ 2 ]; };
	int const orders[ 6 ][ 3 ] = { { 1, 2, 3 }, { 1, 3, 2 }, { 2, 1, 3 }, { 2, 3, 1 }, { 3, 1, 2 }, { 3, 2, 1 } };
	for ( auto const& axes : orders ) {
		for ( bool byOrigin : { false, true } ) {
			MrcSpec s;
			for ( int k = 0; k < 3; ++k ) {
				s.axes[ k ] = axes[ k ];
				s.ext[ k ] = n[ axes[ k ] - 1 ];
				s.start[ k ] = byOrigin ? 0 : startXyz[ axes[ k ] - 1 ];
			}
			for ( int a = 0; a < 3; ++a ) {
				s.samp[ a ] = n[ a ];
				s.cell[ a ] = float( n[ a ] * w );
				s.origin[ a ] = byOrigin ? float( startXyz[ a ] * w ) : 0.f;
			}
			for ( int sec = 0; sec < s.ext[ 2 ]; ++sec )
				for ( int r = 0; r < s.ext[ 1 ]; ++r )
					for ( int c = 0; c < s.ext[ 0 ]; ++c ) {
						int x[ 3 ];
						x[ axes[ 0 ] - 1 ] = c;
						x[ axes[ 1 ] - 1 ] = r;
						x[ axes[ 2 ] - 1 ] = sec;
						s.data.push_back( float( value( x ) ) );
					}
			std::string const what = std::to_string( axes[ 0 ] ) + std::to_string( axes[ 1 ] )
			                         + std::to_string( axes[ 2 ] ) + ( byOrigin ? " ORIGIN" : " start indices" );
			ASSERT_TRUE( write_mrc( dir.file( "p.mrc" ), s ) );
			FastDensityScore m;
			ASSERT_TRUE( load( m, dir.file( "p.mrc" ) ) ) << what;
			farray::FArray3D< double > const& d = m.density();
			ASSERT_EQ( d.u1(), n[ 0 ] ) << what;
			ASSERT_EQ( d.u2(), n[ 1 ] ) << what;
			ASSERT_EQ( d.u3(), n[ 2 ] ) << what;
			for ( int a = 0; a < 3; ++a ) {
				EXPECT_EQ( m.origin[ a ], startXyz[ a ] ) << what << " axis " << a;
				EXPECT_NEAR( m.voxelOrigin[ a ], startXyz[ a ] * w, 1e-5 ) << what << " axis " << a;
			}
			int x[ 3 ];
			for ( x[ 2 ] = 0; x[ 2 ] < n[ 2 ]; ++x[ 2 ] )
				for ( x[ 1 ] = 0; x[ 1 ] < n[ 1 ]; ++x[ 1 ] )
					for ( x[ 0 ] = 0; x[ 0 ] < n[ 0 ]; ++x[ 0 ] )
						ASSERT_DOUBLE_EQ( d( x[ 0 ] + 1, x[ 1 ] + 1, x[ 2 ] + 1 ), value( x ) ) << what;
			// The map centre (from the voxel list) is the same place too.
			EXPECT_NEAR( m.densCenter[ 0 ], ( startXyz[ 0 ] + 2.0 ) * w, 0.5 ) << what;
		}
	}
}

TEST( FastLoad, NonFiniteOriginWordIsLeftOutOnItsOwn )
{
	// One ORIGIN word that is not a number used to drop all three without a
	// word; now only that axis falls back to its start index, with a warning.
	quilt_test::ScratchDir dir( "fds_load" );
	MrcSpec s = fast_test::cubic_map( 10, 1.5, []( int x, int, int ) { return x; } );
	s.start[ 0 ] = -3;
	s.start[ 1 ] = 2;
	s.start[ 2 ] = 7;
	s.origin[ 0 ] = std::nanf( "" );
	s.origin[ 1 ] = 7.5f;
	s.origin[ 2 ] = 0.f;
	ASSERT_TRUE( write_mrc( dir.file( "o.mrc" ), s ) );
	FastDensityScore m;
	std::string text;
	ASSERT_TRUE( load( m, dir.file( "o.mrc" ), &text ) );
	EXPECT_NE( text.find( "Warning! ORIGIN word X is not a finite number" ), std::string::npos ) << text;
	EXPECT_TRUE( m.useAltOrigin );
	EXPECT_EQ( m.origin[ 0 ], -3 );  // start index
	EXPECT_EQ( m.origin[ 1 ], 5 );   // 7.5 A / 1.5 A
	EXPECT_EQ( m.origin[ 2 ], 0 );   // ORIGIN z = 0 is a value once ORIGIN is set
	EXPECT_NEAR( m.voxelOrigin[ 0 ], -4.5, 1e-5 );
	EXPECT_NEAR( m.voxelOrigin[ 1 ], 7.5, 1e-5 );
	// The other finite words all zero: no ORIGIN, the start indices place the map.
	s.origin[ 0 ] = INFINITY;
	s.origin[ 1 ] = 0.f;
	s.origin[ 2 ] = -INFINITY;
	ASSERT_TRUE( write_mrc( dir.file( "o2.mrc" ), s ) );
	ASSERT_TRUE( load( m, dir.file( "o2.mrc" ), &text ) );
	EXPECT_NE( text.find( "Warning! ORIGIN word X Z is not a finite number" ), std::string::npos ) << text;
	EXPECT_FALSE( m.useAltOrigin );
	EXPECT_EQ( m.origin[ 0 ], -3 );
	EXPECT_EQ( m.origin[ 1 ], 2 );
	EXPECT_EQ( m.origin[ 2 ], 7 );
}

TEST( FastLoad, DataBeyondTheCellGridAreKept )
{
	// MX, MZ below the data extent: expanding to the cell used to drop the
	// voxels beyond MX without a word, and then the grid was widened to the
	// data over the same cell edge, which shrank the voxels to 2/4 and 3/4 A.
	// The voxel is the cell edge over the interval count (1 A here, as mrcfile
	// and gemmi read it); the data extent becomes the grid, every voxel stays,
	// and the cell edge spans the data at that voxel (one warning line).
	quilt_test::ScratchDir dir( "fds_load" );
	MrcSpec s = ramp( 4, 4, 4 );
	s.samp[ 0 ] = 2;
	s.samp[ 2 ] = 3;
	s.cell[ 0 ] = 2.f;
	s.cell[ 2 ] = 3.f;
	s.start[ 0 ] = -1;
	s.start[ 1 ] = 2;
	s.start[ 2 ] = 5;
	ASSERT_TRUE( write_mrc( dir.file( "w.mrc" ), s ) );
	FastDensityScore m;
	std::string text;
	ASSERT_TRUE( load( m, dir.file( "w.mrc" ), &text ) );
	std::string const warning = "Warning! Map data (4 x 4 x 4 along x, y, z) reach beyond the unit-cell grid (2 x 4 x 3); "
	                            "the voxel size stays the cell length over the interval count, 1 x 1 x 1 A, and the map is "
	                            "read over 4 x 4 x 4 A.  Continuing.\n";
	size_t const at = text.find( warning );
	EXPECT_NE( at, std::string::npos ) << text;
	EXPECT_EQ( text.find( "Warning! Map data", at + 1 ), std::string::npos ) << text;
	EXPECT_EQ( m.grid[ 0 ], 4 );
	EXPECT_EQ( m.grid[ 2 ], 4 );
	EXPECT_FLOAT_EQ( m.cellDimensions[ 0 ], 4.f );
	EXPECT_FLOAT_EQ( m.cellDimensions[ 1 ], 4.f );
	EXPECT_FLOAT_EQ( m.cellDimensions[ 2 ], 4.f );
	ASSERT_EQ( m.density().u1(), 4 );
	ASSERT_EQ( m.density().u3(), 4 );
	EXPECT_DOUBLE_EQ( m.density()( 4, 4, 4 ), 63.0 );
	EXPECT_DOUBLE_EQ( m.density()( 4, 1, 1 ), 3.0 );
	EXPECT_NEAR( m.gridWidth, 1.0, 1e-6 );
	EXPECT_EQ( m.nDensPoints, 63 );
	// The first voxel at the start indices times the 1 A voxel, the last
	// three voxels further along each axis.
	double p[ 3 ];
	m.voxelPosition( 0, 0, 0, p );
	EXPECT_NEAR( p[ 0 ], -1.0, 1e-5 );
	EXPECT_NEAR( p[ 1 ], 2.0, 1e-5 );
	EXPECT_NEAR( p[ 2 ], 5.0, 1e-5 );
	m.voxelPosition( 3, 3, 3, p );
	EXPECT_NEAR( p[ 0 ], 2.0, 1e-5 );
	EXPECT_NEAR( p[ 1 ], 5.0, 1e-5 );
	EXPECT_NEAR( p[ 2 ], 8.0, 1e-5 );

	// The same data placed by ORIGIN (x, y, z in A): converted through the
	// widened cell, it lands on the same voxel.
	s.origin[ 0 ] = -1.f;
	s.origin[ 1 ] = 2.f;
	s.origin[ 2 ] = 5.f;
	s.start[ 0 ] = s.start[ 1 ] = s.start[ 2 ] = 0;
	ASSERT_TRUE( write_mrc( dir.file( "o.mrc" ), s ) );
	ASSERT_TRUE( load( m, dir.file( "o.mrc" ), &text ) );
	EXPECT_TRUE( m.useAltOrigin );
	EXPECT_EQ( m.origin[ 0 ], -1 );
	EXPECT_EQ( m.origin[ 1 ], 2 );
	EXPECT_EQ( m.origin[ 2 ], 5 );
	EXPECT_NEAR( m.voxelOrigin[ 0 ], -1.0, 1e-5 );
	EXPECT_NEAR( m.voxelOrigin[ 2 ], 5.0, 1e-5 );
}

TEST( FastLoad, DataBeyondTheCellGridWithNoUsableSpanAreRefused )
{
	// Voxels of 1.5e38 A (X length 3e38 A over MX 2) and 4 of them along x:
	// their span is no single-precision length.  Refused by name, and the
	// earlier map stays.
	quilt_test::ScratchDir dir( "fds_load" );
	ASSERT_TRUE( write_mrc( dir.file( "good.mrc" ), ramp( 4, 4, 4 ) ) );
	MrcSpec s = ramp( 4, 4, 4 );
	s.samp[ 0 ] = 2;
	s.cell[ 0 ] = 3e38f;
	ASSERT_TRUE( write_mrc( dir.file( "huge.mrc" ), s ) );
	FastDensityScore m;
	std::string text;
	ASSERT_TRUE( load( m, dir.file( "good.mrc" ), &text ) ) << text;
	EXPECT_FALSE( load( m, dir.file( "huge.mrc" ), &text ) );
	EXPECT_NE( text.find( "Error! Map " + dir.file( "huge.mrc" ) + " has data reaching beyond the unit-cell grid along X "
	                      "(4 voxels, MX 2), and their span of 4 voxels of 1.5e+38 A is not a usable length.  Not loading map." ),
		std::string::npos )
		<< text;
	EXPECT_EQ( text.find( "Warning! Map data" ), std::string::npos ) << text;
	EXPECT_TRUE( m.isLoaded );
	EXPECT_EQ( m.grid[ 0 ], 4 );
	EXPECT_FLOAT_EQ( m.cellDimensions[ 0 ], 4.f );
}

TEST( FastLoad, DataBeyondTheCellGridOfASkewedCellKeepItsShape )
{
	// A monoclinic cell (beta 110) with MX below the data extent: the voxel
	// vectors are the cell vectors over the interval counts, as on a cell
	// that holds the data, and the angles stay.
	quilt_test::ScratchDir dir( "fds_load" );
	MrcSpec whole = ramp( 6, 4, 5 );
	for ( int a = 0; a < 3; ++a ) whole.cell[ a ] = 1.5f * whole.samp[ a ];
	whole.angles[ 1 ] = 110.f;
	MrcSpec beyond = whole;
	beyond.samp[ 0 ] = 4;
	beyond.cell[ 0 ] = 6.f;  // 4 x 1.5 A
	ASSERT_TRUE( write_mrc( dir.file( "whole.mrc" ), whole ) );
	ASSERT_TRUE( write_mrc( dir.file( "beyond.mrc" ), beyond ) );
	FastDensityScore a, b;
	std::string text;
	ASSERT_TRUE( load( a, dir.file( "whole.mrc" ), &text ) ) << text;
	ASSERT_TRUE( load( b, dir.file( "beyond.mrc" ), &text ) ) << text;
	EXPECT_NE( text.find( "reach beyond the unit-cell grid (4 x 4 x 5); the voxel size stays the cell length over the "
	                      "interval count, 1.5 x 1.5 x 1.5 A, and the map is read over 9 x 6 x 7.5 A." ),
		std::string::npos )
		<< text;
	EXPECT_FLOAT_EQ( b.cellAngles[ 1 ], 110.f );
	for ( int i : { 0, 5 } )
		for ( int k : { 0, 4 } ) {
			double pa[ 3 ], pb[ 3 ];
			a.voxelPosition( i, 3, k, pa );
			b.voxelPosition( i, 3, k, pb );
			for ( int c = 0; c < 3; ++c ) EXPECT_NEAR( pb[ c ], pa[ c ], 1e-5 ) << i << " " << k << " " << c;
		}
	EXPECT_NEAR( b.gridWidth, a.gridWidth, 1e-9 );
}

TEST( FastLoad, PartialBlockIsPaddedToTheCell )
{
	quilt_test::ScratchDir dir( "fds_load" );
	MrcSpec s = ramp( 2, 3, 2 );
	s.samp[ 0 ] = 4;
	s.samp[ 1 ] = 5;
	s.samp[ 2 ] = 3;
	s.cell[ 0 ] = 4.f;
	s.cell[ 1 ] = 5.f;
	s.cell[ 2 ] = 3.f;
	ASSERT_TRUE( write_mrc( dir.file( "p.mrc" ), s ) );
	FastDensityScore m;
	ASSERT_TRUE( load( m, dir.file( "p.mrc" ) ) );
	farray::FArray3D< double > const& d = m.density();
	ASSERT_EQ( d.u1(), 4 );
	ASSERT_EQ( d.u2(), 5 );
	ASSERT_EQ( d.u3(), 3 );
	EXPECT_DOUBLE_EQ( d( 2, 3, 2 ), 11.0 ); // kept at its own index
	EXPECT_DOUBLE_EQ( d( 3, 1, 1 ), 0.0 );
	EXPECT_DOUBLE_EQ( d( 1, 4, 1 ), 0.0 );
	EXPECT_DOUBLE_EQ( d( 1, 1, 3 ), 0.0 );
}

TEST( FastLoad, DerivedConstants )
{
	quilt_test::ScratchDir dir( "fds_load" );
	ASSERT_TRUE( write_mrc( dir.file( "c.mrc" ), fast_test::cubic_map( 6, 1.2, []( int, int, int ) { return 1.0; } ) ) );
	FastDensityScore m;
	ASSERT_TRUE( load( m, dir.file( "c.mrc" ), nullptr, 0.0, 0.5 ) );
	// Resolution 0 and 1.2 A voxels: effective resolution 1.8 A.
	EXPECT_NEAR( m.effB, 51.84, 1e-4 );
	EXPECT_NEAR( m.modelResolution, 3.6, 1e-5 );
	EXPECT_NEAR( m.minMult, 16 * 1.44, 1e-4 );
	// The masks are only raised: 3 sqrt(51.84 / (2 pi^2)) = 4.86 > 3.2.
	EXPECT_NEAR( m.atomMask, 3.0 * std::sqrt( 51.84 / ( 2 * M_PI * M_PI ) ), 1e-4 );
	EXPECT_DOUBLE_EQ( m.caMask, 6.0 );
	// With resolution 8, CA mask = 3 sqrt(2) / pi * (1.6 * 8 + 2.4).
	ASSERT_TRUE( load( m, dir.file( "c.mrc" ), nullptr, 8.0, 0.5 ) );
	EXPECT_NEAR( m.caMask, 1.3504744742356594 * 15.2, 1e-9 );
	EXPECT_NEAR( m.effB, 16.0 * 16.0, 1e-9 );
	m.calcute_CC_CA_para( 3.0 );
	EXPECT_NEAR( m.caK, std::pow( M_PI / 4.8, 2 ), 1e-12 );
	EXPECT_NEAR( m.caC, 33.0 * std::pow( m.caK / M_PI, 1.5 ), 1e-9 );
	EXPECT_DOUBLE_EQ( m.caCutoff2, 64.0 );
	EXPECT_DOUBLE_EQ( m.caMaskOffset, 36.0 );
}

TEST( FastLoad, VoxelListOfATinyMap )
{
	quilt_test::ScratchDir dir( "fds_load" );
	ASSERT_TRUE( write_mrc( dir.file( "t.mrc" ), ramp( 2, 2, 2 ) ) );
	FastDensityScore m;
	ASSERT_TRUE( load( m, dir.file( "t.mrc" ), nullptr, 0.0, 5.5 ) );
	ASSERT_EQ( m.nDensPoints, 2 );
	EXPECT_NEAR( m.densPoints[ 0 ][ 0 ], 0.0, 1e-6 );
	EXPECT_NEAR( m.densPoints[ 0 ][ 1 ], 1.0, 1e-6 );
	EXPECT_NEAR( m.densPoints[ 0 ][ 2 ], 1.0, 1e-6 );
	EXPECT_NEAR( m.densPoints[ 1 ][ 0 ], 1.0, 1e-6 );
	EXPECT_DOUBLE_EQ( m.densValues[ 0 ], 6.0 );
	EXPECT_DOUBLE_EQ( m.densValues[ 1 ], 7.0 );
	EXPECT_NEAR( m.densCenter[ 0 ], 0.5, 1e-6 );
	EXPECT_NEAR( m.densRadius, 0.5, 1e-6 );
	EXPECT_NEAR( m.densRg, 0.5, 1e-6 );

	// A threshold above every value: an empty list and no NaN centre.
	ASSERT_TRUE( load( m, dir.file( "t.mrc" ), nullptr, 0.0, 100.0 ) );
	EXPECT_EQ( m.nDensPoints, 0 );
	for ( int a = 0; a < 3; ++a ) EXPECT_TRUE( std::isfinite( m.densCenter[ a ] ) );
	EXPECT_EQ( m.densRadius, 0.0 );
	EXPECT_DOUBLE_EQ( m.getCC( 0, nullptr ), 100.0 );
}

TEST( FastLoad, HeaderOddities )
{
	quilt_test::ScratchDir dir( "fds_load" );
	std::string text;
	FastDensityScore m;
	// A negative symmetry length counts as 0.
	MrcSpec s = ramp( 3, 3, 3 );
	s.nsymbt = -40;
	s.symBytesWritten = 0;
	ASSERT_TRUE( write_mrc( dir.file( "n.mrc" ), s ) );
	ASSERT_TRUE( load( m, dir.file( "n.mrc" ), &text ) );
	EXPECT_DOUBLE_EQ( m.density()( 3, 3, 3 ), 26.0 );
	// A symmetry length the file does not hold: bogus record, read at 1024.
	s.nsymbt = 80;
	ASSERT_TRUE( write_mrc( dir.file( "b.mrc" ), s ) );
	ASSERT_TRUE( load( m, dir.file( "b.mrc" ), &text ) );
	EXPECT_NE( text.find( "Warning! File contains bogus symmetry record.  Continuing." ), std::string::npos );
	EXPECT_DOUBLE_EQ( m.density()( 2, 1, 1 ), 1.0 );
	// A symmetry record that is there is skipped.
	s.symBytesWritten = 80;
	ASSERT_TRUE( write_mrc( dir.file( "y.mrc" ), s ) );
	ASSERT_TRUE( load( m, dir.file( "y.mrc" ), &text ) );
	EXPECT_DOUBLE_EQ( m.density()( 2, 1, 1 ), 1.0 );
	// All-zero axis map: taken as 1, 2, 3.
	s = ramp( 3, 3, 3 );
	s.axes[ 0 ] = s.axes[ 1 ] = s.axes[ 2 ] = 0;
	ASSERT_TRUE( write_mrc( dir.file( "z.mrc" ), s ) );
	ASSERT_TRUE( load( m, dir.file( "z.mrc" ), &text ) );
	EXPECT_NE( text.find( "Warning! All crs2xyz records are zero." ), std::string::npos );
	EXPECT_DOUBLE_EQ( m.density()( 1, 2, 1 ), 3.0 );
	// Extra bytes after the data: read anyway from 1024 + NSYMBT.
	s = ramp( 3, 3, 3 );
	s.extraBytes = 100;
	ASSERT_TRUE( write_mrc( dir.file( "x.mrc" ), s ) );
	ASSERT_TRUE( load( m, dir.file( "x.mrc" ), &text ) );
	EXPECT_NE( text.find( "Warning! File is larger than expected and doesn't match header.  Reading anyway." ), std::string::npos );
	EXPECT_DOUBLE_EQ( m.density()( 3, 3, 3 ), 26.0 );
}

namespace {

// Each case must fail with its message and leave the earlier map loaded.
void expect_rejected( std::string const& path, std::string const& message )
{
	quilt_test::ScratchDir dir( "fds_keep" );
	std::string const good = dir.file( "good.mrc" );
	ASSERT_TRUE( write_mrc( good, ramp( 3, 3, 3 ) ) );
	FastDensityScore m;
	ASSERT_TRUE( load( m, good ) );
	double const before = m.getFastDensScore( nullptr, 0 ); // builds the cache
	(void)before;
	auto cache = m.fastCache();
	std::string text;
	EXPECT_FALSE( load( m, path, &text ) ) << path;
	EXPECT_NE( text.find( message ), std::string::npos ) << "got: " << text;
	EXPECT_TRUE( m.isLoaded );
	EXPECT_EQ( m.density().u1(), 3 );
	EXPECT_DOUBLE_EQ( m.density()( 3, 3, 3 ), 26.0 );
	EXPECT_EQ( m.grid[ 0 ], 3 );
	EXPECT_FLOAT_EQ( m.cellDimensions[ 0 ], 3.0f );
	EXPECT_EQ( m.fastCache(), cache );
}

} // namespace

TEST( FastLoad, ZeroIntervalCountIsRefused )
{
	// MX = 0 used to become the extent minus one with a warning, a voxel
	// width the header never gave, while DensityScore's reader refused the
	// map: both refuse it now, naming the word.
	quilt_test::ScratchDir dir( "fds_load" );
	FastDensityScore m;
	std::string text;
	MrcSpec s = ramp( 4, 3, 3 );
	s.samp[ 0 ] = 0;
	ASSERT_TRUE( write_mrc( dir.file( "mx0.mrc" ), s ) );
	EXPECT_FALSE( load( m, dir.file( "mx0.mrc" ), &text ) );
	EXPECT_NE( text.find( "Error! Map " + dir.file( "mx0.mrc" )
				   + " has MX (word 8) 0; the interval counts must be at least 1.  Not loading map." ),
		std::string::npos ) << text;
	s = ramp( 4, 3, 3 );
	s.samp[ 2 ] = -3;
	ASSERT_TRUE( write_mrc( dir.file( "mz.mrc" ), s ) );
	EXPECT_FALSE( load( m, dir.file( "mz.mrc" ), &text ) );
	EXPECT_NE( text.find( "has MZ (word 10) -3; the interval counts must be at least 1." ), std::string::npos ) << text;
	EXPECT_FALSE( m.isLoaded );
}

TEST( FastLoad, UnreadableMapsSayWhy )
{
	// Each of these gave only "Non-real (32-bit float) data types are
	// unsupported", "'MAP' string missing" or, for a huge NSYMBT, loaded with
	// a warning while DensityScore's reader refused the map.
	quilt_test::ScratchDir dir( "fds_why" );
	struct Mode {
		int mode;
		char const* name;
	} const modes[] = { { 0, "8-bit integers" }, { 3, "complex 16-bit integers" }, { 6, "unsigned 16-bit integers" },
		{ 12, "16-bit floats" }, { 101, "4-bit integers" }, { 77, "not an MRC data type" } };
	for ( Mode const& md : modes ) {
		MrcSpec s = ramp( 4, 4, 4 );
		s.mode = md.mode;
		std::string const f = dir.file( "m" + std::to_string( md.mode ) + ".mrc" );
		ASSERT_TRUE( write_mrc( f, s ) );
		expect_rejected( f, "Error! Map " + f + " has MODE (word 4) " + std::to_string( md.mode ) + " (" + md.name
			+ "), which is not supported; the supported mode is 2 (32-bit floats)." );
		// The mode is named in the byte order that gives a data type.
		s.swap = true;
		ASSERT_TRUE( write_mrc( f, s ) );
		expect_rejected( f, " has MODE (word 4) " + std::to_string( md.mode ) + " (" );
	}

	// A gzip-compressed map.
	{
		MrcSpec s = ramp( 4, 4, 4 );
		ASSERT_TRUE( write_mrc( dir.file( "plain.mrc" ), s ) );
		std::ifstream in( dir.file( "plain.mrc" ), std::ios::binary );
		std::string bytes( ( std::istreambuf_iterator< char >( in ) ), std::istreambuf_iterator< char >() );
		bytes[ 0 ] = char( 0x1f );
		bytes[ 1 ] = char( 0x8b );
		std::ofstream( dir.file( "gz.mrc" ), std::ios::binary ) << bytes;
		expect_rejected( dir.file( "gz.mrc" ), "Error! Map " + dir.file( "gz.mrc" )
			+ " is gzip-compressed (it begins with the bytes 1f 8b); decompress it (gunzip) first.  Not loading map." );
	}

	// NSYMBT beyond the end of the file, with the data right after the
	// header (it was taken as a bogus record and the map loaded).
	MrcSpec s = ramp( 4, 4, 4 );
	s.nsymbt = 2147483647;
	s.symBytesWritten = 0;
	ASSERT_TRUE( write_mrc( dir.file( "nsym.mrc" ), s ) );
	expect_rejected( dir.file( "nsym.mrc" ), "Error! Map " + dir.file( "nsym.mrc" )
		+ " gives NSYMBT (word 24) 2147483647 bytes of symmetry records, but the file holds only 256 bytes after its"
		  " 1024-byte header.  Not loading map." );

	// Voxels of 3.5e-6 A: a box smaller than an atom.
	s = ramp( 4, 4, 4 );
	for ( float& c : s.cell ) c = 4 * 3.5e-6f;
	ASSERT_TRUE( write_mrc( dir.file( "tiny.mrc" ), s ) );
	expect_rejected( dir.file( "tiny.mrc" ), "Error! Map " + dir.file( "tiny.mrc" )
		+ " has voxels of 3.5e-06 A along X (X length 1.4e-05 A / MX 4); voxels below 0.01 A are not usable.  Not loading map." );
	// 0.01 A itself is taken, although the float cell edge 0.04 over 4
	// intervals gives 0.0099999998 in double precision.
	s = ramp( 4, 4, 4 );
	for ( float& c : s.cell ) c = 0.04f;
	ASSERT_TRUE( write_mrc( dir.file( "bound.mrc" ), s ) );
	FastDensityScore m;
	std::string text;
	EXPECT_TRUE( load( m, dir.file( "bound.mrc" ), &text ) ) << text;
}

// A file shorter than the 1024-byte header holds no map, whatever its first
// words say.  Cut from a good map it used to be taken word by word: below
// 212 bytes as "Improperly formatted line", from there on (the stamp read)
// as NSYMBT 0 reaching beyond the file.  Every such file is now refused
// with its size, an empty one too, and a short gzip file is still named as
// gzip.
TEST( FastLoad, FilesShorterThanTheHeaderAreRefusedWithTheirSize )
{
	quilt_test::ScratchDir dir( "fds_short" );
	ASSERT_TRUE( write_mrc( dir.file( "whole.mrc" ), ramp( 4, 4, 4 ) ) );
	std::string bytes;
	{
		std::ifstream in( dir.file( "whole.mrc" ), std::ios::binary );
		bytes.assign( ( std::istreambuf_iterator< char >( in ) ), std::istreambuf_iterator< char >() );
	}
	ASSERT_EQ( bytes.size(), 1024u + 4 * 64 );
	for ( int n : { 0, 100, 211, 212, 300, 1000, 1023 } ) {
		std::string const f = dir.file( "cut" + std::to_string( n ) + ".mrc" );
		std::ofstream( f, std::ios::binary ) << bytes.substr( 0, std::size_t( n ) );
		SCOPED_TRACE( n );
		expect_rejected( f, "Error! Map " + f + " has " + std::to_string( n )
			+ " bytes, too few for the 1024-byte MRC header.  Not loading map." );
	}
	// 1024 bytes are a header without data: the data are missing, not the
	// header.
	std::ofstream( dir.file( "head.mrc" ), std::ios::binary ) << bytes.substr( 0, 1024 );
	expect_rejected( dir.file( "head.mrc" ), "Warning! File appears truncated and doesn't match header.  Not loading map." );

	std::string gz = bytes.substr( 0, 300 );
	gz[ 0 ] = char( 0x1f );
	gz[ 1 ] = char( 0x8b );
	std::ofstream( dir.file( "gz.mrc" ), std::ios::binary ) << gz;
	expect_rejected( dir.file( "gz.mrc" ), "Error! Map " + dir.file( "gz.mrc" )
		+ " is gzip-compressed (it begins with the bytes 1f 8b); decompress it (gunzip) first.  Not loading map." );
}

TEST( FastLoad, FailuresKeepThePreviousMap )
{
	quilt_test::ScratchDir dir( "fds_bad" );
	expect_rejected( dir.file( "missing.mrc" ), "Error! No map can be loaded." );

	{
		std::ofstream( dir.file( "short.mrc" ) ) << "tiny";
		expect_rejected( dir.file( "short.mrc" ), "Error! Map " + dir.file( "short.mrc" )
			+ " has 4 bytes, too few for the 1024-byte MRC header.  Not loading map." );
	}
	MrcSpec s = ramp( 4, 4, 4 );
	s.stamp = false;
	ASSERT_TRUE( write_mrc( dir.file( "nostamp.mrc" ), s ) );
	expect_rejected( dir.file( "nostamp.mrc" ), "Error! 'MAP' string missing, not a valid MRC map.  Not loading map." );

	s = ramp( 4, 4, 4 );
	s.mode = 0;
	ASSERT_TRUE( write_mrc( dir.file( "mode0.mrc" ), s ) );
	expect_rejected( dir.file( "mode0.mrc" ), "Non-real (32-bit float) data types are unsupported.  Not loading map." );

	s = ramp( 4, 4, 4 );
	s.dropBytes = 8;
	ASSERT_TRUE( write_mrc( dir.file( "trunc.mrc" ), s ) );
	expect_rejected( dir.file( "trunc.mrc" ), "Warning! File appears truncated and doesn't match header.  Not loading map." );

	s = ramp( 4, 4, 4 );
	s.extraBytes = 2 << 20;
	ASSERT_TRUE( write_mrc( dir.file( "huge.mrc" ), s ) );
	expect_rejected( dir.file( "huge.mrc" ), "Error! File is MUCH larger than expected and doesn't match header.  Not loading map." );

	s = ramp( 4, 4, 4 );
	s.axes[ 0 ] = 1;
	s.axes[ 1 ] = 1;
	s.axes[ 2 ] = 3;
	ASSERT_TRUE( write_mrc( dir.file( "axes.mrc" ), s ) );
	expect_rejected( dir.file( "axes.mrc" ), "is not a permutation of 1, 2, 3.  Not loading map." );
	s.axes[ 1 ] = 4;
	ASSERT_TRUE( write_mrc( dir.file( "axes4.mrc" ), s ) );
	expect_rejected( dir.file( "axes4.mrc" ), "Not loading map." );

	s = ramp( 4, 4, 4 );
	s.ext[ 1 ] = -4;
	ASSERT_TRUE( write_mrc( dir.file( "neg.mrc" ), s ) );
	expect_rejected( dir.file( "neg.mrc" ), "are not positive.  Not loading map." );

	s = ramp( 4, 4, 4 );
	s.samp[ 0 ] = s.samp[ 1 ] = s.samp[ 2 ] = 2000;
	ASSERT_TRUE( write_mrc( dir.file( "bigcell.mrc" ), s ) );
	expect_rejected( dir.file( "bigcell.mrc" ), "is not usable.  Not loading map." );

	s = ramp( 4, 4, 4 );
	s.cell[ 1 ] = 0.f;
	ASSERT_TRUE( write_mrc( dir.file( "flat.mrc" ), s ) );
	expect_rejected( dir.file( "flat.mrc" ), "Not loading map." );

	s = ramp( 4, 4, 4 );
	s.angles[ 0 ] = s.angles[ 1 ] = s.angles[ 2 ] = 0.f;
	ASSERT_TRUE( write_mrc( dir.file( "angles.mrc" ), s ) );
	expect_rejected( dir.file( "angles.mrc" ), "Not loading map." );

	s = ramp( 4, 4, 4 );
	s.cell[ 2 ] = std::nanf( "" );
	ASSERT_TRUE( write_mrc( dir.file( "nan.mrc" ), s ) );
	expect_rejected( dir.file( "nan.mrc" ), "Not loading map." );
}

TEST( FastLoad, CellGridFarLargerThanTheDataIsRefused )
{
	// A 4^3 map claiming a 1000^3 cell was expanded to 8 GB before any
	// check (a larger one ended in std::bad_alloc).  A cell is now placed
	// when it fits in memory (fast_load_memory_test.cc); one of 5000^3
	// voxels (1 TB) is refused with a message, nothing allocated, the
	// earlier map kept.
	quilt_test::ScratchDir dir( "fds_big" );
	MrcSpec s = ramp( 4, 4, 4 );
	for ( int a = 0; a < 3; ++a ) {
		s.samp[ a ] = 5000;
		s.cell[ a ] = 5000.f;
	}
	ASSERT_TRUE( write_mrc( dir.file( "big.mrc" ), s ) );
	expect_rejected( dir.file( "big.mrc" ), "Error! Unit-cell sampling 5000 x 5000 x 5000 is not usable" );
	// One axis huge, the product beyond 32 bits: refused as well.
	s.samp[ 0 ] = 2000000000;
	s.samp[ 1 ] = s.samp[ 2 ] = 4;
	ASSERT_TRUE( write_mrc( dir.file( "huge.mrc" ), s ) );
	expect_rejected( dir.file( "huge.mrc" ), "Error! " );
	// A cell a few times the data is still placed on its whole grid.
	s = ramp( 4, 4, 4 );
	for ( int a = 0; a < 3; ++a ) {
		s.samp[ a ] = 8;
		s.cell[ a ] = 8.f;
	}
	ASSERT_TRUE( write_mrc( dir.file( "ok.mrc" ), s ) );
	FastDensityScore m;
	ASSERT_TRUE( load( m, dir.file( "ok.mrc" ) ) );
	EXPECT_EQ( m.density().u1(), 8 );
	EXPECT_DOUBLE_EQ( m.density()( 4, 4, 4 ), 63.0 );
}

TEST( FastLoad, NonFiniteValuesBecomeZero )
{
	quilt_test::ScratchDir dir( "fds_load" );
	MrcSpec s = ramp( 3, 3, 3 );
	s.data[ 5 ] = std::nanf( "" );
	s.data[ 6 ] = INFINITY;
	ASSERT_TRUE( write_mrc( dir.file( "n.mrc" ), s ) );
	FastDensityScore m;
	std::string text;
	ASSERT_TRUE( load( m, dir.file( "n.mrc" ), &text ) );
	EXPECT_EQ( m.density()[ 5 ], 0.0 );
	EXPECT_EQ( m.density()[ 6 ], 0.0 );
	EXPECT_NE( text.find( "Warning! 2 map values are not finite" ), std::string::npos );
}

TEST( FastCell, OrthogonalCell )
{
	FastDensityScore m;
	m.cellDimensions[ 0 ] = 60.f;
	m.cellDimensions[ 1 ] = 80.f;
	m.cellDimensions[ 2 ] = 100.f;
	m.cellAngles[ 0 ] = m.cellAngles[ 1 ] = m.cellAngles[ 2 ] = 90.f;
	ASSERT_TRUE( m.computeCrystParams() );
	EXPECT_NEAR( m.f2c[ 0 ][ 0 ], 60.0, 1e-9 );
	EXPECT_NEAR( m.f2c[ 1 ][ 1 ], 80.0, 1e-9 );
	EXPECT_NEAR( m.f2c[ 2 ][ 2 ], 100.0, 1e-9 );
	EXPECT_NEAR( m.c2f[ 0 ][ 0 ], 1.0 / 60, 1e-12 );
	EXPECT_NEAR( m.c2f[ 2 ][ 2 ], 1.0 / 100, 1e-12 );
	EXPECT_NEAR( m.f2c[ 0 ][ 1 ], 0.0, 1e-4 );
	EXPECT_NEAR( m.cellVolume, 480000.0, 1e-3 );
	for ( int i = 0; i < 3; ++i ) EXPECT_NEAR( m.cosRcellAngles[ i ], 0.0, 1e-6 );
	EXPECT_NEAR( m.rcellDimensions[ 0 ], 1.0 / 60, 1e-7 );
}

TEST( FastCell, HexagonalCellGivesTrueLengths )
{
	// a = b = 10, c = 15, gamma = 120: a + b has length 10, a - b 10 sqrt(3).
	FastDensityScore m;
	m.cellDimensions[ 0 ] = 10.f;
	m.cellDimensions[ 1 ] = 10.f;
	m.cellDimensions[ 2 ] = 15.f;
	m.cellAngles[ 0 ] = 90.f;
	m.cellAngles[ 1 ] = 90.f;
	m.cellAngles[ 2 ] = 120.f;
	ASSERT_TRUE( m.computeCrystParams() );
	auto length = [ & ]( double f0, double f1, double f2 ) {
		double f[ 3 ] = { f0, f1, f2 }, x[ 3 ];
		m.fracToCart( f, x );
		return std::sqrt( x[ 0 ] * x[ 0 ] + x[ 1 ] * x[ 1 ] + x[ 2 ] * x[ 2 ] );
	};
	EXPECT_NEAR( length( 1, 0, 0 ), 10.0, 1e-5 );
	EXPECT_NEAR( length( 0, 1, 0 ), 10.0, 1e-5 );
	EXPECT_NEAR( length( 0, 0, 1 ), 15.0, 1e-5 );
	EXPECT_NEAR( length( 1, 1, 0 ), 10.0, 1e-5 );
	EXPECT_NEAR( length( 1, -1, 0 ), 10.0 * std::sqrt( 3.0 ), 1e-5 );
	EXPECT_NEAR( m.cellVolume, 100.0 * 15.0 * std::sqrt( 3.0 ) / 2.0, 1e-2 );
	// Cartesian -> fractional undoes fractional -> Cartesian.
	double f[ 3 ] = { 0.3, -0.7, 1.9 }, x[ 3 ], g[ 3 ];
	m.fracToCart( f, x );
	m.cartToFrac( x, g );
	for ( int a = 0; a < 3; ++a ) EXPECT_NEAR( g[ a ], f[ a ], 1e-12 );
	// The angle between a and b is 120 degrees.
	double a[ 3 ], b[ 3 ], fa[ 3 ] = { 1, 0, 0 }, fb[ 3 ] = { 0, 1, 0 };
	m.fracToCart( fa, a );
	m.fracToCart( fb, b );
	EXPECT_NEAR( ( a[ 0 ] * b[ 0 ] + a[ 1 ] * b[ 1 ] + a[ 2 ] * b[ 2 ] ) / 100.0, -0.5, 1e-6 );
	// Reciprocal metric: S2(1,0,0) = a*^2 = (1 / (a sin gamma))^2.
	EXPECT_NEAR( m.S2( 1, 0, 0 ), std::pow( 1.0 / ( 10.0 * std::sin( 2 * M_PI / 3 ) ), 2 ), 1e-6 );
}

TEST( FastCell, DegenerateCellIsReported )
{
	FastDensityScore m;
	m.cellDimensions[ 0 ] = 0.f;
	m.cellAngles[ 0 ] = m.cellAngles[ 1 ] = m.cellAngles[ 2 ] = 90.f;
	testing::internal::CaptureStdout();
	EXPECT_FALSE( m.computeCrystParams() );
	EXPECT_NE( testing::internal::GetCapturedStdout().find( "Warning! Invalid crystal cell dimensions." ), std::string::npos );
}

TEST( FastCell, ForcedVoxelSpacing )
{
	quilt_test::ScratchDir dir( "fds_load" );
	ASSERT_TRUE( write_mrc( dir.file( "c.mrc" ), fast_test::cubic_map( 10, 1.0, []( int x, int, int ) { return x; } ) ) );
	FastDensityScore m;
	ASSERT_TRUE( load( m, dir.file( "c.mrc" ) ) );
	testing::internal::CaptureStdout();
	m.set_voxel_spacing( 1.1 );
	EXPECT_EQ( testing::internal::GetCapturedStdout(), "Forcing apix to 1.1,1.1,1.1\n" );
	EXPECT_NEAR( m.cellDimensions[ 0 ], 11.0, 1e-5 );
	EXPECT_TRUE( m.fastCacheEmpty() );
}
