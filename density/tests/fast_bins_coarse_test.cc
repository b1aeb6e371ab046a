// The B bins of the fast score on maps of coarse and of fine voxels: the bins
// stay ordered by their Gaussian exponent at any voxel size.
#include "density/FastDensityScore.hh"
#include "density/tests/fast_test_util.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cmath>

namespace {

double const kPi2 = M_PI * M_PI;
double const kCarbonS = double( 7.10668f ); // width term of carbon

// A cube of n^3 voxels of edge w holding three wide Gaussian blobs, loaded
// with `bins` B bins.
void load_blobs( FastDensityScore& m, quilt_test::ScratchDir& dir, int n, double w, int bins )
{
	double const box = n * w;
	double const centres[ 3 ][ 3 ] = { { 0.3, 0.4, 0.5 }, { 0.6, 0.55, 0.45 }, { 0.5, 0.7, 0.3 } };
	fast_test::MrcSpec const blobs = fast_test::cubic_map( n, w, [ & ]( int x, int y, int z ) {
		double s = 0.0;
		for ( auto const& c : centres ) {
			double const d2 = std::pow( x * w - c[ 0 ] * box, 2 ) + std::pow( y * w - c[ 1 ] * box, 2 )
			                  + std::pow( z * w - c[ 2 ] * box, 2 );
			s += std::exp( -0.004 * d2 );
		}
		return s;
	} );
	ASSERT_TRUE( fast_test::write_mrc( dir.file( "blobs.mrc" ), blobs ) );
	testing::internal::CaptureStdout();
	bool const ok = m.readDensityMap( dir.file( "blobs.mrc" ), 2.0 * w, 0.0, 0.0, true );
	testing::internal::GetCapturedStdout();
	ASSERT_TRUE( ok );
	m.nFastBins = bins;
	m.getFastDensScore( nullptr, 0 ); // builds the cache
	ASSERT_FALSE( m.fastCacheEmpty() );
}

// Largest difference between the coefficients of bin b and bin 1.
double bin_difference( FastDensityCache const& c, int b )
{
	double d = 0.0;
	for ( int z = 1; z <= c.coeffs.u3(); ++z )
		for ( int y = 1; y <= c.coeffs.u2(); ++y )
			for ( int x = 1; x <= c.coeffs.u1(); ++x ) d = std::max( d, std::fabs( c.coeffs( x, y, z, b ) - c.coeffs( x, y, z, 1 ) ) );
	return d;
}

} // namespace

// Catches a negative bin step: with 8 A voxels the grid caps every kernel
// (4 pi^2 / (16 voxel^2)) below the widest one of the bins (pi^2 / (s_C +
// 150), B = 600), so the step computed from the capped top exponent went
// negative and the bins ran backwards.  The bins must stay ordered (a step
// of 0: they all hold the one capped map), and every score, at any B, must
// read that map: finite, the same for every B, with no B derivative.
TEST( FastBinsCoarse, EightAngstromVoxelsKeepTheBinsOrdered )
{
	quilt_test::ScratchDir dir( "fds_bins8" );
	FastDensityScore m;
	load_blobs( m, dir, 12, 8.0, 6 );
	FastDensityCache const& c = *m.fastCache();
	ASSERT_EQ( c.nBins, 6 );
	EXPECT_NEAR( m.minMult, 16.0 * 64.0, 1e-9 );
	EXPECT_DOUBLE_EQ( c.kmin, kPi2 / ( kCarbonS + 150.0 ) );
	EXPECT_GE( c.kmax, c.kmin );
	EXPECT_GE( c.kstep, 0.0 );
	EXPECT_EQ( m.kstep, c.kstep );
	// Every bin holds the same capped map.
	for ( int b = 2; b <= 6; ++b ) EXPECT_LE( bin_difference( c, b ), 1e-12 ) << b;

	double p[ 3 ] = { 0.3 * 96.0 + 1.0, 0.4 * 96.0 - 2.0, 0.5 * 96.0 };
	double* rows[ 1 ] = { p };
	double const ca = m.getFastDensScore( rows, 1 );
	ASSERT_TRUE( std::isfinite( ca ) );
	EXPECT_NE( ca, 0.0 );
	double const at0 = m.getFastDensScore_Atom( p, "C", 0.0 );
	ASSERT_TRUE( std::isfinite( at0 ) );
	for ( double B : { 5.0, 40.0, 150.0, 599.0, 600.0 } ) {
		EXPECT_NEAR( m.getFastDensScore_Atom( p, "C", B ), at0, 1e-12 * std::fabs( at0 ) ) << B;
		double const dB = m.dCCdB_fastRes( p, B, "C" );
		EXPECT_EQ( dB, 0.0 ) << B;
	}
}

// Catches a guard that flattens the bins everywhere: with 2 A voxels the
// bins span exponents from pi^2 / (s_C + 150) up, in a positive step; a
// carbon atom's score follows its B (bins distinct) and its B derivative
// agrees with a difference of scores.
TEST( FastBinsCoarse, FineVoxelsKeepDistinctBins )
{
	quilt_test::ScratchDir dir( "fds_bins2" );
	FastDensityScore m;
	load_blobs( m, dir, 40, 2.0, 6 );
	FastDensityCache const& c = *m.fastCache();
	ASSERT_EQ( c.nBins, 6 );
	EXPECT_GT( c.kstep, 0.0 );
	EXPECT_DOUBLE_EQ( c.kmax, 4.0 * kPi2 / m.minMult ); // capped by the grid, but above kmin
	EXPECT_GT( c.kmax, c.kmin );
	EXPECT_GT( bin_difference( c, 6 ), 1e-6 );
	double p[ 3 ] = { 0.3 * 80.0 + 1.0, 0.4 * 80.0 - 2.0, 0.5 * 80.0 };
	double const s0 = m.getFastDensScore_Atom( p, "C", 10.0 );
	double const s1 = m.getFastDensScore_Atom( p, "C", 400.0 );
	EXPECT_TRUE( std::isfinite( s0 ) && std::isfinite( s1 ) );
	EXPECT_GT( std::fabs( s0 - s1 ), 1e-6 * std::max( std::fabs( s0 ), std::fabs( s1 ) ) );
	double const h = 1e-3, B = 120.0;
	double const fd = ( m.getFastDensScore_Atom( p, "C", B + h ) - m.getFastDensScore_Atom( p, "C", B - h ) ) / ( 2 * h );
	EXPECT_NEAR( m.dCCdB_fastRes( p, B, "C" ), fd, 1e-6 * std::max( 1.0, std::fabs( fd ) ) );
	EXPECT_NE( fd, 0.0 );
}
