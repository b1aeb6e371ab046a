// getRSCC with its exponentials factorised along window rows against the
// same score with both exponentials evaluated per voxel, and against a plain
// sweep over the whole grid, on an orthogonal cell with unequal voxel edges
// and on a hexagonal cell.
#include "density/FastDensityScore.hh"
#include "density/FastDensityScore_internal.hh"
#include "density/tests/fast_test_util.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

// Restores the factorised evaluation when a test ends, even on failure.
struct PerVoxelExps {
	PerVoxelExps() { fds_detail::rsccFactorised = false; }
	~PerVoxelExps() { fds_detail::rsccFactorised = true; }
};

// A map of ext voxels on a cell of the given edges and gamma; the values are
// Gaussians at `centres` (Cartesian) plus a small deterministic ripple.
bool load_map( quilt_test::ScratchDir const& dir, std::string const& name, int const* ext, float const* cell,
	float gamma, std::vector< std::vector< double > > const& centres, double reso, FastDensityScore& m )
{
	fast_test::MrcSpec s;
	for ( int a = 0; a < 3; ++a ) {
		s.ext[ a ] = s.samp[ a ] = ext[ a ];
		s.cell[ a ] = cell[ a ];
	}
	s.angles[ 2 ] = gamma;
	double const cg = std::cos( gamma * M_PI / 180.0 ), sg = std::sin( gamma * M_PI / 180.0 );
	for ( int z = 0; z < ext[ 2 ]; ++z )
		for ( int y = 0; y < ext[ 1 ]; ++y )
			for ( int x = 0; x < ext[ 0 ]; ++x ) {
				double const f[ 3 ] = { double( x ) / ext[ 0 ], double( y ) / ext[ 1 ], double( z ) / ext[ 2 ] };
				double const p[ 3 ] = { cell[ 0 ] * f[ 0 ] + cell[ 1 ] * cg * f[ 1 ], cell[ 1 ] * sg * f[ 1 ], cell[ 2 ] * f[ 2 ] };
				double v = 0.05 * std::sin( 0.7 * x + 1.3 * y - 0.4 * z );
				for ( auto const& c : centres ) {
					double const d2 = std::pow( p[ 0 ] - c[ 0 ], 2 ) + std::pow( p[ 1 ] - c[ 1 ], 2 ) + std::pow( p[ 2 ] - c[ 2 ], 2 );
					v += std::exp( -0.3 * d2 );
				}
				s.data.push_back( float( v ) );
			}
	if ( !fast_test::write_mrc( dir.file( name ), s ) ) return false;
	testing::internal::CaptureStdout();
	bool const ok = m.readDensityMap( dir.file( name ), reso, 0.0, 0.05, true );
	testing::internal::GetCapturedStdout();
	return ok;
}

// A short random walk of CA-like steps from a random start in [lo, hi)^3.
std::vector< std::vector< double > > random_trace( std::mt19937& rng, int n, double lo, double hi )
{
	std::uniform_real_distribution< double > u( lo, hi ), step( -2.2, 2.2 );
	std::vector< std::vector< double > > t( 1, { u( rng ), u( rng ), u( rng ) } );
	while ( int( t.size() ) < n ) {
		auto p = t.back();
		for ( double& v : p ) v += step( rng );
		t.push_back( p );
	}
	return t;
}

// Correlation and gradient of one trace.
double score_with_gradient( FastDensityScore& m, std::vector< std::vector< double > >& t, std::vector< std::vector< double > >& g )
{
	g.assign( t.size(), std::vector< double >( 3, 0.0 ) );
	auto rows = fast_test::rows_of( t );
	auto grows = fast_test::rows_of( g );
	return m.getRSCC( rows.data(), int( rows.size() ), grows.data(), true, 4.0 );
}

void expect_same_scores( FastDensityScore& m, std::vector< std::vector< double > >& t, bool againstSweep, std::string const& what )
{
	auto rows = fast_test::rows_of( t );
	int const n = int( rows.size() );
	for ( double radius : { 4.0, 0.0 } ) {
		double const fact = m.getRSCC( rows.data(), n, radius );
		double perVoxel;
		{
			PerVoxelExps general;
			perVoxel = m.getRSCC( rows.data(), n, radius );
		}
		EXPECT_NEAR( fact, perVoxel, 1e-12 ) << what << " radius " << radius;
		if ( againstSweep ) {
			EXPECT_NEAR( fact, fast_test::sweep_rscc( m, t, radius ), 1e-12 ) << what << " radius " << radius;
		}
	}
	std::vector< std::vector< double > > g1, g2;
	double const v1 = score_with_gradient( m, t, g1 );
	double v2;
	{
		PerVoxelExps general;
		v2 = score_with_gradient( m, t, g2 );
	}
	EXPECT_NEAR( v1, v2, 1e-12 ) << what;
	for ( std::size_t i = 0; i < t.size(); ++i )
		for ( int a = 0; a < 3; ++a ) {
			ASSERT_TRUE( std::isfinite( g1[ i ][ a ] ) ) << what;
			EXPECT_NEAR( g1[ i ][ a ], g2[ i ][ a ], 1e-12 * std::max( 1.0, std::fabs( g2[ i ][ a ] ) ) ) << what << " atom " << i;
		}
}

} // namespace

TEST( FastRsccRows, OrthogonalCellFactorsAgreeWithPerVoxelExps )
{
	// 0.9 x 1.1 x 1.3 A voxels; the stored right angles are single-precision
	// values, so the cell matrix carries tiny off-diagonal terms.
	quilt_test::ScratchDir dir( "fds_rows" );
	int const ext[ 3 ] = { 36, 30, 26 };
	float const cell[ 3 ] = { 32.4f, 33.0f, 33.8f };
	std::mt19937 rng( 11 );
	auto centres = random_trace( rng, 12, 8.0, 24.0 );
	FastDensityScore m;
	ASSERT_TRUE( load_map( dir, "ortho.mrc", ext, cell, 90.f, centres, 0.0, m ) );
	expect_same_scores( m, centres, true, "the map's own centres" );
	for ( int trial = 0; trial < 5; ++trial ) {
		// Some traces cross the cell faces or lie outside the cell.
		auto t = random_trace( rng, 6 + 2 * trial, -10.0, 45.0 );
		expect_same_scores( m, t, true, "trial " + std::to_string( trial ) );
	}
	// A CA on a cell face, whose window wraps.
	std::vector< std::vector< double > > face = { { 0.1, 16.0, 16.0 }, { 32.3, 16.5, 33.7 } };
	expect_same_scores( m, face, true, "face" );

	// At low resolution the window reaches where exp(d^2 - mask^2) overflows.
	FastDensityScore low;
	ASSERT_TRUE( load_map( dir, "ortho.mrc", ext, cell, 90.f, centres, 14.0, low ) );
	double const win = low.maskPadding + low.caMask;
	ASSERT_GT( win * win - low.atomMask * low.atomMask, 709.0 );
	expect_same_scores( low, centres, false, "low resolution" );
}

TEST( FastRsccRows, HexagonalCellAgreesWithASweep )
{
	quilt_test::ScratchDir dir( "fds_rows_hex" );
	int const ext[ 3 ] = { 36, 36, 28 };
	float const cell[ 3 ] = { 36.f, 36.f, 30.8f };
	std::mt19937 rng( 5 );
	auto centres = random_trace( rng, 10, 10.0, 24.0 );
	FastDensityScore m;
	ASSERT_TRUE( load_map( dir, "hex.mrc", ext, cell, 120.f, centres, 0.0, m ) );
	ASSERT_NEAR( m.f2c[ 0 ][ 1 ], -18.0, 1e-4 );
	auto rows = fast_test::rows_of( centres );
	EXPECT_GT( m.getRSCC( rows.data(), int( rows.size() ), 4.0 ), 0.9 );
	expect_same_scores( m, centres, true, "the map's own centres" );
	for ( int trial = 0; trial < 4; ++trial ) {
		auto t = random_trace( rng, 5 + 2 * trial, -15.0, 45.0 );
		expect_same_scores( m, t, true, "trial " + std::to_string( trial ) );
	}
}
