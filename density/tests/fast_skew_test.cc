// A map on a hexagonal cell (gamma = 120 degrees): positions, distances and
// gradients must go through the true fractional/Cartesian matrices.
#include "density/FastDensityScore.hh"
#include "density/tests/fast_test_util.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

// Cell a = b = 40 A, c = 30 A, gamma = 120; 1 A steps along each edge.
// Cartesian position of fractional f: f0 a + f1 b + f2 c with
// a = (40, 0, 0), b = 40 (cos 120, sin 120, 0), c = (0, 0, 30).
void frac_to_cart( double f0, double f1, double f2, double* x )
{
	x[ 0 ] = 40.0 * f0 - 20.0 * f1;
	x[ 1 ] = 40.0 * std::sqrt( 3.0 ) / 2.0 * f1;
	x[ 2 ] = 30.0 * f2;
}

class FastSkew : public testing::Test {
protected:
	void SetUp() override
	{
		for ( int i = 0; i < 16; ++i ) {
			double const t = i * 100.0 * M_PI / 180.0;
			trace_.push_back( { 10.0 + 2.3 * std::cos( t ), 17.3 + 2.3 * std::sin( t ), 7.0 + 1.0 * i } );
		}
		// The CA model density of getRSCC for the loader's model resolution
		// (resolution 0: three times the largest voxel edge, here 3 A).
		double const R = 3.0, r = std::max( 0.8 * R + 2.4, R ), k = std::pow( M_PI / r, 2 );
		double const A = 33.0 * std::pow( k / M_PI, 1.5 );
		fast_test::MrcSpec s;
		s.ext[ 0 ] = s.samp[ 0 ] = 40;
		s.ext[ 1 ] = s.samp[ 1 ] = 40;
		s.ext[ 2 ] = s.samp[ 2 ] = 30;
		s.cell[ 0 ] = s.cell[ 1 ] = 40.f;
		s.cell[ 2 ] = 30.f;
		s.angles[ 2 ] = 120.f;
		for ( int z = 0; z < 30; ++z )
			for ( int y = 0; y < 40; ++y )
				for ( int x = 0; x < 40; ++x ) {
					double p[ 3 ];
					frac_to_cart( x / 40.0, y / 40.0, z / 30.0, p );
					double v = 0.0;
					for ( auto const& c : trace_ ) {
						double const d2 = std::pow( p[ 0 ] - c[ 0 ], 2 ) + std::pow( p[ 1 ] - c[ 1 ], 2 ) + std::pow( p[ 2 ] - c[ 2 ], 2 );
						v += A * std::exp( -k * d2 );
					}
					s.data.push_back( float( v ) );
				}
		ASSERT_TRUE( fast_test::write_mrc( dir_.file( "hex.mrc" ), s ) );
		testing::internal::CaptureStdout();
		ASSERT_TRUE( map_.readDensityMap( dir_.file( "hex.mrc" ), 0.0, 0.0, 0.05, true ) );
		testing::internal::GetCapturedStdout();
	}
	quilt_test::ScratchDir dir_{ "fds_hex" };
	std::vector< std::vector< double > > trace_;
	FastDensityScore map_;
};

} // namespace

TEST_F( FastSkew, VoxelPositionsFollowTheCell )
{
	double p[ 3 ], want[ 3 ];
	map_.voxelPosition( 0, 10, 0, p );
	frac_to_cart( 0, 0.25, 0, want );
	for ( int a = 0; a < 3; ++a ) EXPECT_NEAR( p[ a ], want[ a ], 1e-5 );
	// The voxel list's centre lies on the trace's centre.
	double c[ 3 ] = { 0, 0, 0 };
	for ( auto const& q : trace_ )
		for ( int a = 0; a < 3; ++a ) c[ a ] += q[ a ] / trace_.size();
	for ( int a = 0; a < 3; ++a ) EXPECT_NEAR( map_.densCenter[ a ], c[ a ], 1.0 );
}

TEST_F( FastSkew, TraceCorrelatesInPlace )
{
	auto rows = fast_test::rows_of( trace_ );
	double const cc = map_.getRSCC( rows.data(), int( rows.size() ), 4.0 );
	EXPECT_GT( cc, 0.99 );
	for ( int a = 0; a < 3; ++a ) {
		auto moved = trace_;
		for ( auto& p : moved ) p[ a ] += 1.5;
		auto mr = fast_test::rows_of( moved );
		EXPECT_LT( map_.getRSCC( mr.data(), int( mr.size() ), 4.0 ), cc - 0.05 );
	}
	// The calculated density of one atom is its Gaussian at the voxels'
	// true Cartesian distances.
	std::vector< poseCoord > atoms( 1 );
	atoms[ 0 ].x = 9.3;
	atoms[ 0 ].y = 16.1;
	atoms[ 0 ].z = 12.4;
	atoms[ 0 ].elt = "C";
	farray::FArray3D< double > rho, mask;
	map_.quiet = true;
	map_.calcRhoC( atoms, rho, mask );
	double const k = std::min( M_PI * M_PI / double( 7.10668f ), 4 * M_PI * M_PI / map_.effB );
	double const A = 6.0 * std::pow( k, 1.5 );
	double const cut2 = ( std::log( A ) + std::log( 10000.0 ) ) / k;
	int checked = 0;
	for ( int z = 0; z < 30; ++z )
		for ( int y = 0; y < 40; ++y )
			for ( int x = 0; x < 40; ++x ) {
				double p[ 3 ];
				frac_to_cart( x / 40.0, y / 40.0, z / 30.0, p );
				double const d2 = std::pow( p[ 0 ] - 9.3, 2 ) + std::pow( p[ 1 ] - 16.1, 2 ) + std::pow( p[ 2 ] - 12.4, 2 );
				if ( std::fabs( d2 - cut2 ) < 1e-3 ) continue; // on the cut-off sphere
				double const want = d2 <= cut2 ? A * std::exp( -k * d2 ) : 0.0;
				EXPECT_NEAR( rho( x + 1, y + 1, z + 1 ), want, 1e-5 * A );
				checked += want > 0.0;
			}
	EXPECT_GT( checked, 30 );
}

TEST_F( FastSkew, PoseGradientInASkewedCell )
{
	FastDensityScore::Model model;
	FastDensityScore::AtomNames names;
	for ( auto& p : trace_ ) {
		model.push_back( { p.data() } );
		names.push_back( { "CA" } );
	}
	double centre[ 3 ] = { 10.0, 17.3, 14.5 };
	std::mt19937 rng( 21 );
	std::uniform_real_distribution< double > t( -1.5, 1.5 ), ang( -0.6, 0.6 );
	for ( int p = 0; p < 20; ++p ) {
		double x[ 6 ] = { t( rng ), t( rng ), t( rng ), ang( rng ), ang( rng ), ang( rng ) }, g[ 6 ];
		map_.dCCdx_fastRes_6D( model, names, x, g, centre, "CA" );
		double norm = 0.0;
		for ( double v : g ) norm = std::max( norm, std::fabs( v ) );
		for ( int k = 0; k < 6; ++k ) {
			double const fd = fast_test::pose_score_central_difference( map_, model, names, x, centre, "CA", k );
			EXPECT_LE( std::fabs( g[ k ] - fd ), 1e-4 * std::max( std::fabs( fd ), 0.01 * norm ) ) << p << " " << k;
		}
	}
	// The fast score is highest in place.
	double x0[ 6 ] = { 0, 0, 0, 0, 0, 0 }, x1[ 6 ] = { 1.5, 0, 0, 0, 0, 0 }, x2[ 6 ] = { 0, 1.5, 0, 0, 0, 0 };
	double const s0 = map_.getFastDensScore_6D( model, names, x0, centre, "CA" );
	EXPECT_GT( s0, map_.getFastDensScore_6D( model, names, x1, centre, "CA" ) );
	EXPECT_GT( s0, map_.getFastDensScore_6D( model, names, x2, centre, "CA" ) );
}
