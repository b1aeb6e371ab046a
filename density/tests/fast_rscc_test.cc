// Real-space correlation of CA traces, the voxel-list correlation and the
// calculated density, against maps simulated from known atoms and against
// a plain sweep over the whole grid.
#include "density/FastDensityScore.hh"
#include "density/tests/fast_test_util.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

using fast_test::ca_model;
using fast_test::write_mrc;

namespace {

// A helix-like CA trace around a centre.
std::vector< std::vector< double > > helix( int n, double cx, double cy, double cz )
{
	std::vector< std::vector< double > > p;
	for ( int i = 0; i < n; ++i ) {
		double const t = i * 100.0 * M_PI / 180.0;
		p.push_back( { cx + 2.3 * std::cos( t ), cy + 2.3 * std::sin( t ), cz + 1.0 * ( i - n / 2.0 ) } );
	}
	return p;
}

// Writes and loads a cubic map (n voxels of width w, start index `start`)
// holding the CA model density of the trace; the model resolution that the
// loader derives from reso 0 is 3 w.
bool simulated_map( quilt_test::ScratchDir const& dir, std::vector< std::vector< double > > const& ca, int n, double w,
	int start, FastDensityScore& m, double const* orig = nullptr )
{
	double k, A;
	ca_model( 3.0 * w, k, A );
	auto value = [ & ]( int x, int y, int z ) {
		double p[ 3 ] = { ( x + start ) * w, ( y + start ) * w, ( z + start ) * w };
		if ( orig )
			for ( int a = 0; a < 3; ++a ) p[ a ] = orig[ a ] + ( a == 0 ? x : a == 1 ? y : z ) * w;
		double s = 0.0;
		for ( auto const& c : ca ) {
			double const d2 = ( p[ 0 ] - c[ 0 ] ) * ( p[ 0 ] - c[ 0 ] ) + ( p[ 1 ] - c[ 1 ] ) * ( p[ 1 ] - c[ 1 ] )
			                  + ( p[ 2 ] - c[ 2 ] ) * ( p[ 2 ] - c[ 2 ] );
			s += A * std::exp( -k * d2 );
		}
		return s;
	};
	fast_test::MrcSpec mapDesc = fast_test::cubic_map( n, w, value, start );
	if ( orig )
		for ( int a = 0; a < 3; ++a ) mapDesc.origin[ a ] = float( orig[ a ] );
	if ( !write_mrc( dir.file( "sim.mrc" ), mapDesc ) ) return false;
	testing::internal::CaptureStdout();
	bool const ok = m.readDensityMap( dir.file( "sim.mrc" ), 0.0, 0.0, 0.01, true );
	testing::internal::GetCapturedStdout();
	return ok;
}

class FastRscc : public testing::Test {
protected:
	void SetUp() override
	{
		trace_ = helix( 20, 16.0, 16.5, 17.0 );
		ASSERT_TRUE( simulated_map( dir_, trace_, 32, 1.0, 0, map_ ) );
	}
	quilt_test::ScratchDir dir_{ "fds_rscc" };
	std::vector< std::vector< double > > trace_;
	FastDensityScore map_;
};

} // namespace

TEST_F( FastRscc, SimulatedMapOfTheSameTraceCorrelatesFully )
{
	auto rows = fast_test::rows_of( trace_ );
	double const cc = map_.getRSCC( rows.data(), int( rows.size() ), 4.0 );
	EXPECT_GT( cc, 0.99 );
	EXPECT_LE( cc, 1.0 + 1e-12 );
	// Moved by 3 A the trace fits clearly worse.
	auto moved = trace_;
	for ( auto& p : moved ) p[ 0 ] += 3.0;
	auto mrows = fast_test::rows_of( moved );
	EXPECT_LT( map_.getRSCC( mrows.data(), int( mrows.size() ), 4.0 ), cc - 0.2 );
	// The vector form reads the same points.
	EXPECT_DOUBLE_EQ( map_.getRSCC( rows, 4.0 ), cc );
}

TEST_F( FastRscc, MatchesAPlainSweepOverTheGrid )
{
	std::mt19937 rng( 7 );
	std::uniform_real_distribution< double > u( -30.0, 60.0 );
	for ( int trial = 0; trial < 6; ++trial ) {
		// Random traces, some across the cell faces and outside the cell.
		auto t = helix( 8 + trial, u( rng ), u( rng ), u( rng ) );
		for ( double radius : { 4.0, 0.0 } ) {
			auto rows = fast_test::rows_of( t );
			double const got = map_.getRSCC( rows.data(), int( rows.size() ), radius );
			double const want = fast_test::sweep_rscc( map_, t, radius );
			EXPECT_NEAR( got, want, 1e-12 ) << "trial " << trial << " radius " << radius;
		}
	}
	// A CA at a cell face takes its Gaussian from the opposite face.
	std::vector< std::vector< double > > face = { { 0.2, 13.0, 13.0 }, { 31.7, 13.0, 13.0 } };
	auto rows = fast_test::rows_of( face );
	EXPECT_NEAR( map_.getRSCC( rows.data(), 2, 0.0 ), fast_test::sweep_rscc( map_, face, 0.0 ), 1e-12 );
}

TEST_F( FastRscc, TraceFarOutsideTheBoxAndEmptyTraces )
{
	// Far outside every voxel position: no CA is near, the score is 0 ...
	auto far = helix( 20, 16.0 + 32.0 * 3, 16.5, 17.0 );
	auto rows = fast_test::rows_of( far );
	EXPECT_EQ( map_.getRSCC( rows.data(), int( rows.size() ), 4.0 ), 0.0 );
	// ... while its wrapped Gaussians still correlate with radius 0, as the
	// trace in place does.
	auto home = fast_test::rows_of( trace_ );
	double const plain = map_.getRSCC( rows.data(), int( rows.size() ), 0.0 );
	EXPECT_GT( plain, 0.99 );
	EXPECT_NEAR( plain, map_.getRSCC( home.data(), int( home.size() ), 0.0 ), 1e-6 );
	// An empty trace scores 0, not NaN.
	EXPECT_EQ( map_.getRSCC( nullptr, 0, 4.0 ), 0.0 );
	EXPECT_EQ( map_.getRSCC( std::vector< double* >(), 4.0 ), 0.0 );
	EXPECT_EQ( map_.getRSCC_Res_CA( rows.data(), 0, 0, 5 ), 0.0 );
}

TEST_F( FastRscc, ConstantMapScoresZero )
{
	ASSERT_TRUE( write_mrc( dir_.file( "flat.mrc" ), fast_test::cubic_map( 20, 1.0, []( int, int, int ) { return 2.5; } ) ) );
	FastDensityScore flat;
	testing::internal::CaptureStdout();
	ASSERT_TRUE( flat.readDensityMap( dir_.file( "flat.mrc" ), 0.0, 0.0, 0.0, true ) );
	testing::internal::GetCapturedStdout();
	auto rows = fast_test::rows_of( trace_ );
	EXPECT_EQ( flat.getRSCC( rows.data(), int( rows.size() ), 4.0 ), 0.0 );
	EXPECT_DOUBLE_EQ( flat.getCC( int( rows.size() ), rows.data() ), 100.0 );
	// The fast score of a flat map is 0 everywhere (its mean is removed).
	EXPECT_NEAR( flat.getFastDensScore( rows.data(), int( rows.size() ) ), 0.0, 1e-12 );
}

TEST_F( FastRscc, GradientMatchesCentralDifferences )
{
	auto t = trace_;
	for ( auto& p : t ) {
		p[ 0 ] += 0.7;
		p[ 1 ] -= 0.4;
	}
	int const n = int( t.size() );
	std::vector< std::vector< double > > g( n, std::vector< double >( 3, 0.0 ) );
	auto rows = fast_test::rows_of( t );
	auto grows = fast_test::rows_of( g );
	double const v = map_.getRSCC( rows.data(), n, grows.data(), true, 4.0 );
	EXPECT_DOUBLE_EQ( v, map_.getRSCC( rows.data(), n, 4.0 ) );
	double const h = 1e-5;
	for ( int i : { 0, 7, 19 } ) {
		for ( int a = 0; a < 3; ++a ) {
			double const keep = t[ i ][ a ];
			t[ i ][ a ] = keep + h;
			double const up = map_.getRSCC( rows.data(), n, 0.0 );
			t[ i ][ a ] = keep - h;
			double const dn = map_.getRSCC( rows.data(), n, 0.0 );
			t[ i ][ a ] = keep;
			double const scale = map_.getRSCC( rows.data(), n, 4.0 ) / map_.getRSCC( rows.data(), n, 0.0 );
			EXPECT_NEAR( g[ i ][ a ], scale * ( up - dn ) / ( 2 * h ), 1e-6 ) << i << " " << a;
		}
	}
}

TEST_F( FastRscc, PoseGradientOfTheCorrelation )
{
	int const n = int( trace_.size() );
	double centre[ 3 ] = { 16.0, 16.5, 17.0 };
	auto rows = fast_test::rows_of( trace_ );
	auto score = [ & ]( double const* x ) {
		std::vector< std::vector< double > > moved( n, std::vector< double >( 3 ) );
		double const sa = std::sin( x[ 3 ] ), ca = std::cos( x[ 3 ] ), sb = std::sin( x[ 4 ] ), cb = std::cos( x[ 4 ] );
		double const sc = std::sin( x[ 5 ] ), cc = std::cos( x[ 5 ] );
		double const R[ 3 ][ 3 ] = { { ca * cc - sa * cb * sc, ca * sc + sa * cb * cc, sa * sb },
			{ -sa * cc - ca * cb * sc, -sa * sc + ca * cb * cc, ca * sb }, { sb * sc, -sb * cc, cb } };
		for ( int i = 0; i < n; ++i )
			for ( int a = 0; a < 3; ++a ) {
				moved[ i ][ a ] = centre[ a ] + x[ a ];
				for ( int b = 0; b < 3; ++b ) moved[ i ][ a ] += R[ a ][ b ] * ( trace_[ i ][ b ] - centre[ b ] );
			}
		return moved;
	};
	double x[ 6 ] = { 0.4, -0.3, 0.2, 0.1, 0.15, -0.2 };
	auto moved = score( x );
	auto mrows = fast_test::rows_of( moved );
	double grad[ 6 ];
	map_.dCCdx_RSCC_6D_CA( rows.data(), mrows.data(), centre, n, x, grad );
	double const s = map_.getRSCC( mrows.data(), n, 4.0 ) / map_.getRSCC( mrows.data(), n, 0.0 );
	for ( int k = 0; k < 6; ++k ) {
		double const h = 1e-5;
		double xp[ 6 ], xm[ 6 ];
		std::copy( x, x + 6, xp );
		std::copy( x, x + 6, xm );
		xp[ k ] += h;
		xm[ k ] -= h;
		auto up = score( xp ), dn = score( xm );
		auto ur = fast_test::rows_of( up ), dr = fast_test::rows_of( dn );
		double const fd = s * ( map_.getRSCC( ur.data(), n, 0.0 ) - map_.getRSCC( dr.data(), n, 0.0 ) ) / ( 2 * h );
		EXPECT_NEAR( grad[ k ], fd, 1e-6 ) << "component " << k;
	}
}

TEST_F( FastRscc, WindowOfResidues )
{
	auto rows = fast_test::rows_of( trace_ );
	// Residue 0 with window 5 scores rows 0..2; the last residue the rows before it.
	EXPECT_DOUBLE_EQ( map_.getRSCC_Res_CA( rows.data(), 20, 0, 5 ), map_.getRSCC( rows.data(), 3, 4.0 ) );
	EXPECT_DOUBLE_EQ( map_.getRSCC_Res_CA( rows.data(), 20, 19, 5 ), map_.getRSCC( rows.data() + 17, 3, 4.0 ) );
}

TEST_F( FastRscc, MapFormAgainstAGivenModelMap )
{
	farray::FArray3D< double > empty;
	EXPECT_NEAR( map_.getRSCC( map_.density(), empty ), 1.0, 1e-12 );
	farray::FArray3D< double > neg( map_.density() );
	for ( long i = 0; i < 32L * 32 * 32; ++i ) neg[ i ] = -neg[ i ];
	EXPECT_NEAR( map_.getRSCC( neg, empty ), -1.0, 1e-12 );
}

TEST_F( FastRscc, VoxelListCorrelation )
{
	map_.calcute_CC_CA_para( 3.0 );
	auto rows = fast_test::rows_of( trace_ );
	int const n = int( rows.size() );
	double const v = map_.getCC( n, rows.data() );
	EXPECT_GT( v, 0.0 );
	EXPECT_LT( v, 20.0 ); // CC above 0.8 for the true trace
	auto moved = trace_;
	for ( auto& p : moved ) p[ 1 ] += 3.0;
	auto mrows = fast_test::rows_of( moved );
	EXPECT_GT( map_.getCC( n, mrows.data() ), v + 5.0 );
	// Vector form and squared-distance form agree.
	EXPECT_DOUBLE_EQ( map_.getCC( rows ), v );
	std::vector< std::vector< double > > d2( map_.nDensPoints, std::vector< double >( n ) );
	for ( int i = 0; i < map_.nDensPoints; ++i )
		for ( int j = 0; j < n; ++j )
			for ( int a = 0; a < 3; ++a ) d2[ i ][ j ] += std::pow( map_.densPoints[ i ][ a ] - trace_[ j ][ a ], 2 );
	auto drows = fast_test::rows_of( d2 );
	EXPECT_DOUBLE_EQ( map_.getCC_dist( n, drows.data() ), v );
	EXPECT_DOUBLE_EQ( map_.getCC( 0, nullptr ), 100.0 );
	// All CAs more than 8 A from every listed voxel: zero variance, 100.
	std::vector< std::vector< double > > far = { { 500.0, 500.0, 500.0 } };
	auto frows = fast_test::rows_of( far );
	EXPECT_DOUBLE_EQ( map_.getCC( 1, frows.data() ), 100.0 );
}

TEST_F( FastRscc, CalculatedDensity )
{
	// One carbon at a voxel centre: its Gaussian, and a 0/1 mask.
	std::vector< poseCoord > atoms( 1 );
	atoms[ 0 ].x = 10.0;
	atoms[ 0 ].y = 10.0;
	atoms[ 0 ].z = 10.0;
	atoms[ 0 ].elt = "CA";
	farray::FArray3D< double > rho, mask;
	map_.quiet = false;
	testing::internal::CaptureStdout();
	map_.calcRhoC( atoms, rho, mask );
	EXPECT_NE( testing::internal::GetCapturedStdout().find( "Input pose has no nonzero B factors, set them to baseline" ),
		std::string::npos );
	ASSERT_EQ( rho.u1(), 32 );
	// With all B = 0 the exponent is limited by 4 pi^2 / effB.
	double const k = std::min( M_PI * M_PI / 7.10668, 4 * M_PI * M_PI / map_.effB );
	double const A = 6.0 * std::pow( k, 1.5 );
	EXPECT_NEAR( rho( 11, 11, 11 ), A, 1e-5 * A );
	EXPECT_NEAR( rho( 12, 11, 11 ), A * std::exp( -k ), 1e-5 * A );
	EXPECT_NEAR( rho( 12, 12, 11 ), A * std::exp( -2 * k ), 1e-5 * A );
	for ( long i = 0; i < 32L * 32 * 32; ++i ) EXPECT_TRUE( mask[ i ] == 0.0 || mask[ i ] == 1.0 );
	// Two atoms at one place: twice the density, mask still 1.
	atoms.push_back( atoms[ 0 ] );
	farray::FArray3D< double > rho2, mask2;
	map_.quiet = true;
	map_.calcRhoC( atoms, rho2, mask2 );
	EXPECT_NEAR( rho2( 11, 11, 11 ), 2 * rho( 11, 11, 11 ), 1e-12 );
	EXPECT_EQ( mask2( 11, 11, 11 ), 1.0 );
	// Outside the grid box (no wrapping): nothing.
	std::vector< poseCoord > out( 1 );
	out[ 0 ].x = -1.5;
	out[ 0 ].y = 10.0;
	out[ 0 ].z = 10.0;
	out[ 0 ].elt = "C";
	map_.calcRhoC( out, rho2, mask2 );
	double total = 0.0;
	for ( long i = 0; i < 32L * 32 * 32; ++i ) total += rho2[ i ] + mask2[ i ];
	EXPECT_EQ( total, 0.0 );
	// A forced mask radius of 2.05 marks exactly the voxels within 2.05 A.
	map_.calcRhoC( atoms, 0.0, rho2, mask2, 0.0, 600.0, 2.05 );
	int marked = 0;
	for ( int z = 1; z <= 32; ++z )
		for ( int y = 1; y <= 32; ++y )
			for ( int x = 1; x <= 32; ++x ) {
				double const d2 = std::pow( x - 11, 2 ) + std::pow( y - 11, 2 ) + std::pow( z - 11, 2 );
				EXPECT_EQ( mask2( x, y, z ), d2 <= 2.05 * 2.05 ? 1.0 : 0.0 );
				marked += mask2( x, y, z ) == 1.0;
			}
	EXPECT_EQ( marked, 33 );
	// A smoothed mask stays between 0 and 1 and keeps its sum.
	map_.calcRhoC( atoms, 4.0, rho2, mask2, 0.0, 600.0, 2.05 );
	double msum = 0.0;
	for ( long i = 0; i < 32L * 32 * 32; ++i ) msum += mask2[ i ];
	EXPECT_NEAR( msum, 33.0, 1e-6 );
}

TEST_F( FastRscc, CalculatedDensityCorrelatesWithItsOwnMap )
{
	// The model density of a B-factor model, written as a map and loaded
	// again, correlates fully with the same model.
	std::vector< poseCoord > atoms;
	for ( auto const& c : trace_ ) {
		poseCoord p;
		p.x = c[ 0 ];
		p.y = c[ 1 ];
		p.z = c[ 2 ];
		p.B = 30.0;
		p.elt = "C";
		atoms.push_back( p );
	}
	farray::FArray3D< double > rho, mask;
	map_.quiet = true;
	map_.calcRhoC( atoms, rho, mask );
	fast_test::MrcSpec s = fast_test::cubic_map( 32, 1.0, [ & ]( int x, int y, int z ) { return rho( x + 1, y + 1, z + 1 ); } );
	ASSERT_TRUE( write_mrc( dir_.file( "calc.mrc" ), s ) );
	FastDensityScore m;
	testing::internal::CaptureStdout();
	ASSERT_TRUE( m.readDensityMap( dir_.file( "calc.mrc" ), 0.0, 0.0, 0.0, true ) );
	testing::internal::GetCapturedStdout();
	farray::FArray3D< double > rho2, mask2;
	m.calcRhoC( atoms, rho2, mask2 );
	EXPECT_NEAR( m.getRSCC( rho2, mask2 ), 1.0, 1e-6 );
}

TEST( FastRsccOrigin, OriginBetweenGridPointsIsKept )
{
	// ORIGIN words that are not whole voxels (here 2 A voxels, ORIGIN
	// (-3.1, 4.7, 0.9)): the trace must fit best in place, not half a voxel off.
	quilt_test::ScratchDir dir( "fds_orig" );
	double const orig[ 3 ] = { -3.1, 4.7, 0.9 };
	auto trace = helix( 16, 28.0, 36.0, 33.0 );
	FastDensityScore m;
	ASSERT_TRUE( simulated_map( dir, trace, 32, 2.0, 0, m, orig ) );
	ASSERT_TRUE( m.useAltOrigin );
	EXPECT_NEAR( m.originGrid[ 0 ], -1.55, 1e-5 );
	EXPECT_EQ( m.origin[ 0 ], -2 );
	auto rows = fast_test::rows_of( trace );
	double const inPlace = m.getRSCC( rows.data(), int( rows.size() ), 4.0 );
	EXPECT_GT( inPlace, 0.99 );
	for ( int a = 0; a < 3; ++a ) {
		for ( double d : { -0.5, 0.5 } ) {
			auto moved = trace;
			for ( auto& p : moved ) p[ a ] += d;
			auto mr = fast_test::rows_of( moved );
			EXPECT_LT( m.getRSCC( mr.data(), int( mr.size() ), 4.0 ), inPlace );
		}
	}
	// The fast score peaks in place as well (its gradient there is small
	// against the gradient half a voxel away).
	FastDensityScore::Model model;
	FastDensityScore::AtomNames names;
	for ( auto& p : trace ) {
		model.push_back( { p.data() } );
		names.push_back( { "CA" } );
	}
	double x[ 6 ] = { 0, 0, 0, 0, 0, 0 }, c[ 3 ] = { 28, 36, 33 }, g0[ 6 ], g1[ 6 ];
	m.dCCdx_fastRes_6D( model, names, x, g0, c, "CA" );
	x[ 0 ] = 1.0;
	m.dCCdx_fastRes_6D( model, names, x, g1, c, "CA" );
	EXPECT_LT( std::fabs( g0[ 0 ] ), 0.2 * std::fabs( g1[ 0 ] ) );
}

TEST_F( FastRscc, LowResolutionGradientStaysFinite )
{
	// At 14 A the window reaches d^2 - atomMask^2 > 709, where exp overflows;
	// score and gradient must stay finite.
	FastDensityScore low;
	testing::internal::CaptureStdout();
	ASSERT_TRUE( low.readDensityMap( dir_.file( "sim.mrc" ), 14.0, 0.0, 0.01, true ) );
	testing::internal::GetCapturedStdout();
	double const win = low.maskPadding + low.caMask;
	ASSERT_GT( win * win - low.atomMask * low.atomMask, 709.0 );
	int const n = int( trace_.size() );
	std::vector< std::vector< double > > g( n, std::vector< double >( 3, 0.0 ) );
	auto rows = fast_test::rows_of( trace_ );
	auto grows = fast_test::rows_of( g );
	double const v = low.getRSCC( rows.data(), n, grows.data(), true, 4.0 );
	EXPECT_TRUE( std::isfinite( v ) );
	EXPECT_GT( v, 0.5 );
	for ( auto const& r : g )
		for ( double d : r ) EXPECT_TRUE( std::isfinite( d ) );
	double x[ 6 ] = { 0.1, 0, 0, 0, 0, 0 }, c[ 3 ] = { 16, 16, 16 }, pg[ 6 ];
	low.dCCdx_RSCC_6D_CA( rows.data(), rows.data(), c, n, x, pg );
	for ( double d : pg ) EXPECT_TRUE( std::isfinite( d ) );
}
