// Resizing a loaded map: the new grid is FFT-friendly and near the wanted
// voxel size, a Gaussian blob stays at its place with its values, the map's
// first voxel stays where it was (also when the new origin falls between
// grid points), and maps or sizes that cannot be resized are refused.
#include "density/FastDensityScore.hh"
#include "density/tests/fast_periph_util.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cmath>

namespace {

double const kBlob[ 3 ] = { 8.3, 9.6, 7.9 };
double const kSigma = 2.0;

double blob( double const* p )
{
	double const d2 = std::pow( p[ 0 ] - kBlob[ 0 ], 2 ) + std::pow( p[ 1 ] - kBlob[ 1 ], 2 ) + std::pow( p[ 2 ] - kBlob[ 2 ], 2 );
	return std::exp( -0.5 * d2 / ( kSigma * kSigma ) );
}

class FastResize : public testing::Test {
protected:
	// 24^3 voxels of 1.25 A starting at grid index -5 (the first voxel at
	// -6.25 A): the blob lies well inside.
	void SetUp() override
	{
		int const n[ 3 ] = { 24, 24, 24 };
		ASSERT_TRUE( fast_test::write_mrc( dir_.file( "blob.mrc" ), fast_periph::cell_map( n, 1.25, 90.0, blob, -5 ) ) );
		ASSERT_TRUE( fast_periph::load_quiet( map_, dir_.file( "blob.mrc" ) ) );
		map_.voxelPosition( 0, 0, 0, first_ );
	}
	std::string resize( FastDensityScore& m, double apix )
	{
		testing::internal::CaptureStdout();
		m.resize( apix );
		return testing::internal::GetCapturedStdout();
	}
	// Largest difference between the map and the blob at every voxel, and the
	// density-weighted centre of the voxels above a tenth of the peak.
	void compare( FastDensityScore const& m, double& maxErr, double* centre ) const
	{
		farray::FArray3D< double > const& d = m.density();
		maxErr = 0.0;
		double w = 0.0;
		for ( int a = 0; a < 3; ++a ) centre[ a ] = 0.0;
		for ( int z = 1; z <= d.u3(); ++z )
			for ( int y = 1; y <= d.u2(); ++y )
				for ( int x = 1; x <= d.u1(); ++x ) {
					double p[ 3 ];
					m.voxelPosition( x - 1, y - 1, z - 1, p );
					maxErr = std::max( maxErr, std::fabs( d( x, y, z ) - blob( p ) ) );
					if ( d( x, y, z ) > 0.1 ) {
						w += d( x, y, z );
						for ( int a = 0; a < 3; ++a ) centre[ a ] += d( x, y, z ) * p[ a ];
					}
				}
		for ( int a = 0; a < 3; ++a ) centre[ a ] /= w;
	}
	quilt_test::ScratchDir dir_{ "fds_resize" };
	FastDensityScore map_;
	double first_[ 3 ];
};

} // namespace

TEST_F( FastResize, FinerGridKeepsTheBlobAndTheOrigin )
{
	// 30 A / 1 A = 30 voxels; the origin -5 * 30 / 24 = -6.25 falls between
	// grid points: reported truncated, kept exactly for positions.
	map_.getFastDensScore_CA( const_cast< double* >( kBlob ), 0.0 ); // a cache to be dropped
	std::string const out = resize( map_, 1.0 );
	EXPECT_NE( out.find( "ReadMrc> ***********resize the map***********\n" ), std::string::npos );
	EXPECT_NE( out.find( "ReadMrc> new extent: 30 x 30 x 30\n" ), std::string::npos ) << out;
	EXPECT_NE( out.find( "ReadMrc> new origin: -6 x -6 x -6\n" ), std::string::npos ) << out;
	EXPECT_NE( out.find( "ReadMrc> new altorigin: 0 x 0 x 0\n" ), std::string::npos ) << out;
	EXPECT_NE( out.find( "ReadMrc> new grid: 30 x 30 x 30\n" ), std::string::npos ) << out;
	EXPECT_NE( out.find( "ReadMrc> Voxels are reduced from: 13824 to 27000\n" ), std::string::npos ) << out;
	ASSERT_EQ( map_.density().u1(), 30 );
	for ( int a = 0; a < 3; ++a ) {
		EXPECT_EQ( map_.grid[ a ], 30 );
		EXPECT_EQ( map_.origin[ a ], -6 );
		EXPECT_DOUBLE_EQ( map_.originGrid[ a ], -6.25 );
	}
	double p[ 3 ];
	map_.voxelPosition( 0, 0, 0, p );
	for ( int a = 0; a < 3; ++a ) EXPECT_NEAR( p[ a ], first_[ a ], 1e-9 );
	// Every voxel holds the blob at its own position, at its own height:
	// the values are not scaled by the change of voxel count.
	double err, centre[ 3 ];
	compare( map_, err, centre );
	EXPECT_LT( err, 1e-4 );
	for ( int a = 0; a < 3; ++a ) EXPECT_NEAR( centre[ a ], kBlob[ a ], 0.01 ) << a;
	// The fast score is rebuilt on the new grid and peaks at the blob.
	double at[ 3 ] = { kBlob[ 0 ], kBlob[ 1 ], kBlob[ 2 ] }, off[ 3 ] = { kBlob[ 0 ] + 1.5, kBlob[ 1 ], kBlob[ 2 ] };
	EXPECT_GT( map_.getFastDensScore_CA( at, 0.0 ), map_.getFastDensScore_CA( off, 0.0 ) );
	EXPECT_EQ( map_.fastCache()->grid[ 0 ], 30 );
	// The scores' frame is the voxels' frame: the smoothed blob peaks at the
	// blob (a map displaced by a fraction of a voxel would not).
	double g0[ 3 ], g1[ 3 ];
	map_.dCCdx_fastRes( at, "CA", g0 );
	map_.dCCdx_fastRes( off, "CA", g1 );
	for ( int a = 0; a < 3; ++a ) EXPECT_LT( std::fabs( g0[ a ] ), 0.01 * std::fabs( g1[ 0 ] ) ) << a;
}

TEST_F( FastResize, CoarserGridAndCopies )
{
	// 30 A / 2 A = 15, nearest multiple of 2 is 16.  A copy made before
	// keeps the old map.
	FastDensityScore copy( map_ );
	std::string const out = resize( map_, 2.0 );
	EXPECT_NE( out.find( "ReadMrc> new extent: 16 x 16 x 16\n" ), std::string::npos ) << out;
	EXPECT_NE( out.find( "ReadMrc> new origin: -3 x -3 x -3\n" ), std::string::npos ) << out; // -5 * 16 / 24 = -3.33
	EXPECT_EQ( copy.density().u1(), 24 );
	EXPECT_EQ( copy.grid[ 0 ], 24 );
	double err, centre[ 3 ];
	compare( map_, err, centre );
	EXPECT_LT( err, 0.01 ); // the blob's spectrum is cut a little at 1.875 A
	for ( int a = 0; a < 3; ++a ) EXPECT_NEAR( centre[ a ], kBlob[ a ], 0.05 ) << a;
	// The same size again gives back the same grid and values.
	farray::FArray3D< double > const before( map_.density() );
	resize( map_, 2.0 );
	ASSERT_EQ( map_.density().u1(), 16 );
	for ( long v = 0; v < long( before.size() ); ++v ) EXPECT_FLOAT_EQ( map_.density()[ v ], before[ v ] );
}

TEST( FastResizeSizes, SizesWithLargePrimesAreRaised )
{
	// A 46 A edge at 1 A: 46 = 2 * 23 has a prime factor above 19; 48.
	// A multiple of 3 on y: 46 rounds to 45.
	quilt_test::ScratchDir dir( "fds_resize46" );
	int const n[ 3 ] = { 23, 23, 23 };
	ASSERT_TRUE( fast_test::write_mrc( dir.file( "m.mrc" ), fast_periph::cell_map( n, 2.0, 90.0, blob ) ) );
	FastDensityScore m;
	ASSERT_TRUE( fast_periph::load_quiet( m, dir.file( "m.mrc" ) ) );
	m.resizeMultiple[ 1 ] = 3;
	testing::internal::CaptureStdout();
	m.resize( 1.0 );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_EQ( m.grid[ 0 ], 48 );
	EXPECT_EQ( m.grid[ 1 ], 45 );
	EXPECT_EQ( m.grid[ 2 ], 48 );
	EXPECT_NE( out.find( "ReadMrc> new grid: 48 x 45 x 48\n" ), std::string::npos ) << out;
	// A voxel larger than the cell: one step of the multiple.
	testing::internal::CaptureStdout();
	m.resize( 1000.0 );
	testing::internal::GetCapturedStdout();
	EXPECT_EQ( m.grid[ 0 ], 2 );
	EXPECT_EQ( m.grid[ 1 ], 3 );
}

TEST_F( FastResize, RefusedResizes )
{
	// A block that does not cover the unit cell: the two error lines, the map unchanged.
	FastDensityScore part( map_ );
	part.mutableDensity().dimension( farray::DynamicIndexRange( 20 ), farray::DynamicIndexRange( 24 ), farray::DynamicIndexRange( 22 ) );
	std::string out = resize( part, 1.0 );
	EXPECT_EQ( out, "ReadMrc> ***********resize the map***********\n"
	                "Error! resize not supported for maps not covering the entire unit cell.\n"
	                "Error! 24 != 20 || 24 != 24 || 24 != 22\n" );
	EXPECT_EQ( part.grid[ 0 ], 24 );
	EXPECT_EQ( part.density().u1(), 20 );

	// Voxel sizes that are not positive numbers, a multiple with a prime
	// factor above 19, a grid too large to hold, no map: refused, unchanged.
	for ( double apix : { 0.0, -1.0, std::nan( "" ) } ) {
		out = resize( map_, apix );
		EXPECT_NE( out.find( "Error! resize: the voxel size must be a positive number" ), std::string::npos ) << apix;
	}
	map_.resizeMultiple[ 2 ] = 23;
	out = resize( map_, 1.0 );
	EXPECT_NE( out.find( "Error! resize: no FFT-friendly grid size along axis 3" ), std::string::npos ) << out;
	map_.resizeMultiple[ 2 ] = 2;
	out = resize( map_, 0.01 );
	EXPECT_NE( out.find( "is too large" ), std::string::npos ) << out;
	EXPECT_EQ( map_.grid[ 0 ], 24 );
	EXPECT_EQ( map_.density().u1(), 24 );
	FastDensityScore none;
	out = resize( none, 1.0 );
	EXPECT_NE( out.find( "Error! resize called but no map is loaded!" ), std::string::npos ) << out;
}
