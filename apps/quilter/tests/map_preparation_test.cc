// Map preparation: the process-wide loaded map (reloaded or kept), the map
// processor's process-wide maps, and the preparation of a map without
// processing (threshold 0.005, resampling to the minimum grid width, the
// caller's path kept).  Maps are simulated from atoms whose centre is known.
#include "apps/quilter/MapPreparation.hh"
#include "quilter_test_util.hh"

#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <malloc.h>
#include <string>
#include <vector>

using namespace quilter_test;
namespace fs = std::filesystem;

namespace {

struct Maps {
	quilt_test::ScratchDir dir{ "quilt mapprep" };
	// A helix along z through (cx, cy), simulated with voxels of `voxel` A.
	SimulatedMap make( const std::string& name, double cx, double cy, double voxel )
	{
		write_chain( dir.file( name + ".pdb" ), helix( 20, cx, cy, 0.0 ), 'A' );
		std::vector< SimAtom > atoms;
		read_sim_atoms( dir.file( name + ".pdb" ), atoms );
		SimulatedMap m = simulate_density( atoms, 6.0, voxel, 8.0 );
		EXPECT_TRUE( write_mrc( dir.file( name + ".mrc" ), m ) );
		return m;
	}
	std::string path( const std::string& name ) const { return dir.file( name + ".mrc" ); }
};

long count_above( const SimulatedMap& m, double thr )
{
	long n = 0;
	for ( float v : m.data ) n += v > thr;
	return n;
}

// What the map processor's reader keeps of a map for threshold thr: values
// below thr set to 0, the rest scaled to [0, 1], voxels at or above thr
// listed.  Returns the count and the mean position of the listed voxels.
long st_voxels( const SimulatedMap& m, double thr, double* centre )
{
	std::vector< double > v( m.data.begin(), m.data.end() );
	for ( double& x : v )
		if ( x < thr ) x = 0.0;
	double mn = v[ 0 ], mx = v[ 0 ];
	for ( double x : v ) {
		mn = std::min( mn, x );
		mx = std::max( mx, x );
	}
	long n = 0;
	double sum[ 3 ] = { 0, 0, 0 };
	for ( int k = 0; k < m.n[ 2 ]; ++k )
		for ( int j = 0; j < m.n[ 1 ]; ++j )
			for ( int i = 0; i < m.n[ 0 ]; ++i ) {
				double const x = ( v[ ( std::size_t( k ) * m.n[ 1 ] + j ) * m.n[ 0 ] + i ] - mn ) / ( mx - mn );
				if ( !( x >= thr ) ) continue;
				++n;
				int const idx[ 3 ] = { i, j, k };
				for ( int a = 0; a < 3; ++a ) sum[ a ] += ( m.start[ a ] + idx[ a ] ) * m.voxel;
			}
	for ( int a = 0; a < 3; ++a ) centre[ a ] = n > 0 ? sum[ a ] / n : 0.0;
	return n;
}

} // namespace

TEST( MapPreparation, LoadedMapIsReloadedOrKeptAsAsked )
{
	Maps m;
	SimulatedMap const a = m.make( "a", 0, 0, 1.5 );
	SimulatedMap const b = m.make( "b", 30, 0, 1.5 );
	testing::internal::CaptureStdout();
	FastDensityScore const first = getDensityMap( m.path( "a" ), 6.0, 0.0, true, 0.0, true );
	FastDensityScore const& second = getDensityMap( m.path( "b" ), 6.0, 0.0, true, 0.0, true );
	testing::internal::GetCapturedStdout();
	// The second load replaced the held map; the copy of the first kept it.
	EXPECT_EQ( second.nDensPoints, count_above( b, 0.0 ) );
	EXPECT_EQ( first.nDensPoints, count_above( a, 0.0 ) );
	EXPECT_NEAR( second.densCenter[ 0 ], 30.0, 1.0 );
	EXPECT_NEAR( first.densCenter[ 0 ], 0.0, 1.0 );

	// Kept without reading when asked not to reload at the held voxel width
	// (the cube root of the voxel volume, as recorded), even for another
	// (here missing) file.
	double const width = second.gridWidth;
	EXPECT_NEAR( width, 1.5, 1e-9 );
	testing::internal::CaptureStdout();
	FastDensityScore const& kept = getDensityMap( m.dir.file( "missing.mrc" ), 6.0, width, false, 0.0, true );
	EXPECT_EQ( testing::internal::GetCapturedStdout(), "" );
	EXPECT_TRUE( kept.isLoaded );
	EXPECT_NEAR( kept.densCenter[ 0 ], 30.0, 1.0 );
	// Another width, or width 0, always loads.
	testing::internal::CaptureStdout();
	EXPECT_NEAR( getDensityMap( m.path( "a" ), 6.0, 0.0, false, 0.0, true ).densCenter[ 0 ], 0.0, 1.0 );
	EXPECT_NEAR( getDensityMap( m.path( "b" ), 6.0, 2.0, false, 0.0, true ).densCenter[ 0 ], 30.0, 1.0 );
	// A threshold leaves fewer voxels in the list.
	EXPECT_EQ( getDensityMap( m.path( "b" ), 6.0, 0.0, true, 0.005, true ).nDensPoints, count_above( b, 0.005 ) );
	// A failed load hands out no map, not the one held before.
	EXPECT_FALSE( getDensityMap( m.dir.file( "missing.mrc" ), 6.0, 0.0, true, 0.0, true ).isLoaded );
	testing::internal::GetCapturedStdout();
}

TEST( MapPreparation, MapProcessorsProcessWideMaps )
{
	Maps m;
	SimulatedMap const a = m.make( "a", 0, 0, 1.5 );
	SimulatedMap const b = m.make( "b", 30, 6, 1.5 );
	double ca[ 3 ], cb[ 3 ];
	long const na = st_voxels( a, 0.05, ca ), nb = st_voxels( b, 0.05, cb );
	ASSERT_GT( na, 0 );

	testing::internal::CaptureStdout();
	DensityScore& held = getDensityMap_st( m.path( "a" ), 6.0, 0.0, true, 0.05 );
	EXPECT_TRUE( held.loaded );
	EXPECT_EQ( held.voxel_count, na );
	for ( int k = 0; k < 3; ++k ) EXPECT_NEAR( held.centre[ k ], ca[ k ], 1e-9 ) << k;
	// Not reloaded while loaded and reload is false, whatever the file.
	DensityScore& again = getDensityMap_st( m.path( "b" ), 6.0, 0.0, false, 0.05 );
	EXPECT_EQ( &again, &held );
	EXPECT_EQ( again.voxel_count, na );
	// Reloaded when asked; the holder releases the list it read before.
	getDensityMap_st( m.path( "b" ), 6.0, 0.0, true, 0.05 );
	EXPECT_EQ( held.voxel_count, nb );
	for ( int k = 0; k < 3; ++k ) EXPECT_NEAR( held.centre[ k ], cb[ k ], 1e-9 ) << k;

	// The copy form takes every map it is given.
	DensityScore dsA, dsB;
	dsA.readDensityMap_st( m.path( "a" ).c_str(), 6.0, 0.0, 0.05 );
	dsB.readDensityMap_st( m.path( "b" ).c_str(), 6.0, 0.0, 0.05 );
	testing::internal::GetCapturedStdout();
	DensityScore& copyA = getDensityMap_st( dsA );
	EXPECT_EQ( copyA.voxel_count, na );
	EXPECT_NEAR( copyA.centre[ 0 ], ca[ 0 ], 1e-9 );
	DensityScore& copyB = getDensityMap_st( dsB );
	EXPECT_EQ( &copyB, &copyA );
	EXPECT_EQ( copyB.voxel_count, nb );
	EXPECT_NEAR( copyB.centre[ 0 ], cb[ 0 ], 1e-9 );
	EXPECT_EQ( copyB.voxel_xyz, dsB.voxel_xyz );  // shared, not copied
	// Apart from the file form's map.
	EXPECT_NE( &copyB, &held );
	EXPECT_EQ( held.voxel_count, nb );
	held.releaseVoxelList();
	dsA.releaseVoxelList();
	dsB.releaseVoxelList();
}

TEST( MapPreparation, PreparationWithoutProcessing )
{
	Maps m;
	SimulatedMap const coarse = m.make( "coarse", 0, 0, 1.5 );
	SimulatedMap const fine = m.make( "fine", 0, 0, 0.9 );
	ASSERT_NE( count_above( coarse, 0.005 ), count_above( coarse, 0.0 ) );
	std::string dir = m.dir.file( "work" ), name = "segPro";
	fs::create_directory( dir );
	DensityScore ds;
	ds.quiet = true;

	// Voxels of 1.5 A, no grid width asked: loaded as it is, threshold 0.005.
	{
		std::string map = m.path( "coarse" );
		double gridWidth = 0.0, minGridWidth = 1.0, thr = 0.3;
		testing::internal::CaptureStdout();
		FastDensityScore const loaded = processDensityMap( map, dir, gridWidth, minGridWidth, 6.0, thr, true, ds, name );
		testing::internal::GetCapturedStdout();
		EXPECT_EQ( map, m.path( "coarse" ) );
		EXPECT_DOUBLE_EQ( thr, 0.005 );
		EXPECT_DOUBLE_EQ( minGridWidth, 1.0 );
		EXPECT_TRUE( loaded.isLoaded );
		EXPECT_NEAR( loaded.gridWidth, 1.5, 1e-9 );
		EXPECT_EQ( loaded.nDensPoints, count_above( coarse, 0.005 ) );
		EXPECT_FALSE( fs::exists( dir + "/segPro.mrc" ) );  // no work map
		EXPECT_FALSE( fs::exists( m.dir.file( "map_1.0.mrc" ) ) );
	}
	// Voxels of 0.9 A: resampled to the minimum grid width of 1.0 A beside
	// the map, which stays the caller's path.
	{
		std::string map = m.path( "fine" );
		double gridWidth = 0.0, minGridWidth = 1.0, thr = 0.0;
		testing::internal::CaptureStdout();
		FastDensityScore const loaded = processDensityMap( map, dir, gridWidth, minGridWidth, 6.0, thr, true, ds, name );
		testing::internal::GetCapturedStdout();
		EXPECT_EQ( map, m.path( "fine" ) );
		EXPECT_DOUBLE_EQ( minGridWidth, 1.0 );
		EXPECT_TRUE( fs::exists( m.dir.file( "map_1.0.mrc" ) ) );
		EXPECT_NEAR( loaded.gridWidth, 1.0, 1e-3 );
		EXPECT_NEAR( loaded.densCenter[ 0 ], 0.0, 1.0 );
	}
	// A grid width of 2 A above the map's 1.5 A: the minimum grid width is
	// raised to 2 and the map resampled to it.
	{
		std::string map = m.path( "coarse" );
		double gridWidth = 2.0, minGridWidth = 1.0, thr = 0.0;
		testing::internal::CaptureStdout();
		FastDensityScore const loaded = processDensityMap( map, dir, gridWidth, minGridWidth, 6.0, thr, true, ds, name );
		testing::internal::GetCapturedStdout();
		EXPECT_DOUBLE_EQ( minGridWidth, 2.0 );
		EXPECT_TRUE( fs::exists( m.dir.file( "map_2.0.mrc" ) ) );
		EXPECT_NEAR( loaded.gridWidth, 2.0, 1e-3 );
		EXPECT_EQ( map, m.path( "coarse" ) );
	}
}

TEST( MapPreparation, PreparationWithProcessingReplacesThePathAndThreshold )
{
	Maps m;
	m.make( "coarse", 0, 0, 1.5 );
	std::string dir = m.dir.file( "work" ), name = "segNA";
	fs::create_directory( dir );
	DensityScore ds;
	ds.quiet = true;
	std::string map = m.path( "coarse" );
	double gridWidth = 0.0, minGridWidth = 1.0, thr = 0.01;
	testing::internal::CaptureStdout();
	FastDensityScore const loaded = processDensityMap( map, dir, gridWidth, minGridWidth, 6.0, thr, true, false, ds, name );
	testing::internal::GetCapturedStdout();
	EXPECT_EQ( map, dir + "/segNA.mrc" );
	EXPECT_TRUE( fs::exists( map ) );
	EXPECT_DOUBLE_EQ( thr, 0.0 );
	EXPECT_DOUBLE_EQ( minGridWidth, 1.0 );
	EXPECT_TRUE( loaded.isLoaded );
	EXPECT_NEAR( loaded.gridWidth, 1.5, 1e-9 );
	EXPECT_NEAR( loaded.densCenter[ 0 ], 0.0, 1.0 );
}

// Every reload of the map processor's process-wide map used to leave the
// voxel list of the one before it allocated, one row per voxel: a run that
// reloads it often grew by the list every time.  Heap in use after many
// reloads stays at one list (under AddressSanitizer the leak checker at the
// end judges instead).
TEST( MapPreparation, ReloadingTheMapProcessorKeepsNoEarlierVoxelList )
{
	Maps m;
	SimulatedMap const a = m.make( "a", 0, 0, 1.0 );
	double centre[ 3 ];
	long const listed = st_voxels( a, 0.0, centre );
	ASSERT_GT( listed, 1000 );
	testing::internal::CaptureStdout();
	getDensityMap_st( m.path( "a" ), 6.0, 0.0, true, 0.0 );
	std::size_t const before = mallinfo2().uordblks;
	int const reloads = 20;
	for ( int k = 0; k < reloads; ++k ) getDensityMap_st( m.path( "a" ), 6.0, 0.0, true, 0.0 );
	std::size_t const after = mallinfo2().uordblks;
	testing::internal::GetCapturedStdout();
	EXPECT_EQ( getDensityMap_st( m.path( "a" ), 6.0, 0.0, false, 0.0 ).voxel_count, listed );
	if ( quilt_test::kAddressSanitized ) return;
	// One list: a row of three doubles and a value per voxel.
	std::size_t const list = std::size_t( listed ) * ( 4 * sizeof( double ) );
	EXPECT_LT( after, before + 2 * list ) << "heap grew by " << ( after - before ) << " bytes over " << reloads
	                                     << " reloads of a list of " << list << " bytes";
}
