// Rasterseek's geometry: the orientation set, the search grid, Gaussian
// model densities on it and the pruned transforms.
#include "apps/siblings/rasterseek_fft.hh"
#include "apps/siblings/rasterseek_grid.hh"
#include "apps/siblings/rasterseek_rotations.hh"
#include "numerics/fft3d.hh"
#include "testsupport/test_data.hh"
#include "tools/SimulatedMap.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>

using namespace rasterseek;

namespace {

double det3( Rotation const& r )
{
	double const( *m )[ 3 ] = r.m;
	return m[ 0 ][ 0 ] * ( m[ 1 ][ 1 ] * m[ 2 ][ 2 ] - m[ 1 ][ 2 ] * m[ 2 ][ 1 ] )
	       - m[ 0 ][ 1 ] * ( m[ 1 ][ 0 ] * m[ 2 ][ 2 ] - m[ 1 ][ 2 ] * m[ 2 ][ 0 ] )
	       + m[ 0 ][ 2 ] * ( m[ 1 ][ 0 ] * m[ 2 ][ 1 ] - m[ 1 ][ 1 ] * m[ 2 ][ 0 ] );
}

// A rotation drawn uniformly (random unit quaternion).
Rotation random_rotation( std::mt19937& rng )
{
	std::normal_distribution< double > g( 0.0, 1.0 );
	double q[ 4 ] = { g( rng ), g( rng ), g( rng ), g( rng ) };
	double const n = std::sqrt( q[ 0 ] * q[ 0 ] + q[ 1 ] * q[ 1 ] + q[ 2 ] * q[ 2 ] + q[ 3 ] * q[ 3 ] );
	for ( double& v : q ) v /= n;
	double const a = q[ 0 ], b = q[ 1 ], c = q[ 2 ], d = q[ 3 ];
	return Rotation{ { { a * a + b * b - c * c - d * d, 2 * ( b * c - a * d ), 2 * ( b * d + a * c ) },
		{ 2 * ( b * c + a * d ), a * a - b * b + c * c - d * d, 2 * ( c * d - a * b ) },
		{ 2 * ( b * d - a * c ), 2 * ( c * d + a * b ), a * a - b * b - c * c + d * d } } };
}

} // namespace

// Catches a set that is not made of proper rotations (a reflection or a
// non-orthonormal matrix would distort the model) or has the wrong size.
TEST( RasterseekRotations, SetHoldsProperRotationsOfTheExpectedCount )
{
	for ( double step : { 30.0, 20.0 } ) {
		std::vector< Rotation > const set = rotation_set( step );
		double const s = step * M_PI / 180.0;
		double const expected = 8.0 * M_PI * M_PI / ( s * s * s );
		EXPECT_NEAR( double( set.size() ), expected, 0.1 * expected ) << step;
		for ( Rotation const& r : set ) {
			EXPECT_NEAR( det3( r ), 1.0, 1e-12 );
			for ( int i = 0; i < 3; ++i )
				for ( int j = 0; j < 3; ++j ) {
					double d = 0.0;
					for ( int k = 0; k < 3; ++k ) d += r.m[ k ][ i ] * r.m[ k ][ j ];
					EXPECT_NEAR( d, i == j ? 1.0 : 0.0, 1e-12 );
				}
		}
	}
	EXPECT_GE( rotation_set( 180.0 ).size(), 1u );
	for ( double step : { 180.0, 45.0, 17.0, 10.0 } ) EXPECT_EQ( rotation_count( step ), long( rotation_set( step ).size() ) );
}

// Catches gaps in the coverage (clustered directions, turns in phase): every
// orientation must have a member of the set within about one step, and on
// average well within it.
TEST( RasterseekRotations, EveryOrientationHasANearMember )
{
	double const step = 20.0;
	std::vector< Rotation > const set = rotation_set( step );
	std::mt19937 rng( 11 );
	double worst = 0.0, total = 0.0;
	int const trials = 400;
	for ( int t = 0; t < trials; ++t ) {
		Rotation const r = random_rotation( rng );
		double nearest = 10.0;
		for ( Rotation const& m : set ) nearest = std::min( nearest, rotation_angle( r, m ) );
		worst = std::max( worst, nearest );
		total += nearest;
	}
	double const stepRad = step * M_PI / 180.0;
	EXPECT_LT( worst, stepRad );
	EXPECT_LT( total / trials, 0.6 * stepRad );
}

// Known answers for the helpers: an axis-angle rotation undone by its
// inverse, its angle measured back, composition in the right order.
TEST( RasterseekRotations, AxisAngleComposeAndAngle )
{
	double const axis[ 3 ] = { 0.0, 0.6, 0.8 };
	Rotation const r = axis_angle( axis, 0.7 );
	Rotation const back = axis_angle( axis, -0.7 );
	Rotation const id = compose( r, back );
	for ( int i = 0; i < 3; ++i )
		for ( int j = 0; j < 3; ++j ) EXPECT_NEAR( id.m[ i ][ j ], i == j ? 1.0 : 0.0, 1e-14 );
	EXPECT_NEAR( rotation_angle( id, r ), 0.7, 1e-12 );
	double const z[ 3 ] = { 0.0, 0.0, 1.0 }, x[ 3 ] = { 1.0, 0.0, 0.0 };
	// About x, then about z: e_y -> e_z (x turn), e_z stays under the z turn.
	Rotation const rz = axis_angle( z, M_PI / 2 ), rx = axis_angle( x, M_PI / 2 );
	Rotation const zx = compose( rz, rx );
	EXPECT_NEAR( zx.m[ 2 ][ 1 ], 1.0, 1e-14 );
	EXPECT_NEAR( rotation_angle( rz, rz ), 0.0, 1e-7 );
}

// Catches sizes with large prime factors slipping into the transforms.
TEST( RasterseekGrid, SmoothSizesHaveOnlySmallPrimes )
{
	EXPECT_EQ( smooth_fft_size( 0 ), 1 );
	EXPECT_EQ( smooth_fft_size( 7 ), 8 );
	EXPECT_EQ( smooth_fft_size( 57 ), 60 );
	EXPECT_EQ( smooth_fft_size( 85 ), 90 );
	EXPECT_EQ( smooth_fft_size( 97 ), 100 );
	EXPECT_EQ( smooth_fft_size( 128 ), 128 );
}

// Catches an off-by-one or a wrong wrap in the Gaussian drawing: the mass,
// centroid and spread of one Gaussian come back, also when it straddles the
// periodic edge.
TEST( RasterseekGrid, GaussiansKeepMassCentroidAndWrap )
{
	SearchGrid g;
	g.n[ 0 ] = 20;
	g.n[ 1 ] = 18;
	g.n[ 2 ] = 16;
	for ( int a = 0; a < 3; ++a ) g.spacing[ a ] = 1.5;
	double const sigma = 1.8;
	std::vector< double > const w = { 2.0 };
	std::vector< std::vector< double > > const points = { { 10.3, 9.1, 7.7 }, { -0.9, 0.4, -2.2 } };
	for ( std::vector< double > const& xyz : points ) {
		std::vector< double > out( std::size_t( g.n[ 0 ] ) * g.n[ 1 ] * g.n[ 2 ], 0.0 );
		add_gaussians( xyz, w, g, sigma, out.data() );
		double mass = 0.0, m[ 3 ] = { 0, 0, 0 };
		for ( int k = 0; k < g.n[ 2 ]; ++k )
			for ( int j = 0; j < g.n[ 1 ]; ++j )
				for ( int i = 0; i < g.n[ 0 ]; ++i ) {
					double const v = out[ ( std::size_t( k ) * g.n[ 1 ] + j ) * g.n[ 0 ] + i ];
					int const idx[ 3 ] = { i, j, k };
					mass += v;
					for ( int a = 0; a < 3; ++a ) {
						// Minimum-image position relative to the point.
						double d = idx[ a ] * g.spacing[ a ] - xyz[ a ];
						double const L = g.n[ a ] * g.spacing[ a ];
						d -= L * std::round( d / L );
						m[ a ] += v * d;
					}
				}
		double const expected = 2.0 * std::pow( 2.0 * M_PI * sigma * sigma, 1.5 ) / ( 1.5 * 1.5 * 1.5 );
		EXPECT_NEAR( mass, expected, 0.02 * expected );
		for ( int a = 0; a < 3; ++a ) EXPECT_NEAR( m[ a ] / mass, 0.0, 0.02 );
	}
}

namespace {

// A loaded map of one Gaussian blob at a known place.
bool blob_map( std::string const& path, double const* at, double voxel, FastDensityScore& map )
{
	std::vector< SimAtom > atoms = { SimAtom{ at[ 0 ], at[ 1 ], at[ 2 ], 6.0 } };
	SimulatedMap sim = simulate_density( atoms, 6.0, voxel, 20.0 );
	return write_mrc( path, sim ) && map.readDensityMap( path, 6.0, 0.0, 0.0, true );
}

} // namespace

// Catches a search grid that shifts the map (origin, spacing or resampling
// off): a blob keeps its Cartesian place; the spacing is near resolution / 2.5
// and never finer than the map; the padding holds the margin.
TEST( RasterseekGrid, SearchGridKeepsThePositionOfDensity )
{
	quilt_test::ScratchDir dir( "rsgrid" );
	double const at[ 3 ] = { 13.0, -7.5, 22.25 };
	FastDensityScore map;
	ASSERT_TRUE( blob_map( dir.file( "blob.mrc" ), at, 1.0, map ) );
	for ( double reso : { 6.0, 2.0 } ) {
		SearchGrid g;
		std::string error;
		ASSERT_TRUE( build_search_grid( map, reso, 15.0, 1L << 24, g, error ) ) << error;
		double mass = 0.0, c[ 3 ] = { 0, 0, 0 };
		for ( int k = 0; k < g.inner[ 2 ]; ++k )
			for ( int j = 0; j < g.inner[ 1 ]; ++j )
				for ( int i = 0; i < g.inner[ 0 ]; ++i ) {
					double const v = g.values[ ( std::size_t( k ) * g.n[ 1 ] + j ) * g.n[ 0 ] + i ];
					if ( v <= 0.0 ) continue;
					int const idx[ 3 ] = { i, j, k };
					mass += v;
					for ( int a = 0; a < 3; ++a ) c[ a ] += v * ( g.origin[ a ] + idx[ a ] * g.spacing[ a ] );
				}
		ASSERT_GT( mass, 0.0 );
		for ( int a = 0; a < 3; ++a ) {
			EXPECT_NEAR( c[ a ] / mass, at[ a ], 0.3 ) << "axis " << a << " at " << reso;
			EXPECT_GE( g.spacing[ a ], 1.0 - 1e-12 );
			EXPECT_LE( g.spacing[ a ], std::max( 1.0, reso / 2.5 ) * 1.1 );
			EXPECT_GE( g.n[ a ], g.inner[ a ] + g.reach[ a ] );
			EXPECT_GE( g.n[ a ], 2 * g.reach[ a ] + 1 );
			EXPECT_GE( g.reach[ a ] * g.spacing[ a ], 15.0 );
		}
		// Nothing but zeros beyond the map.
		for ( int k = g.inner[ 2 ]; k < g.n[ 2 ]; ++k ) EXPECT_EQ( g.values[ std::size_t( k ) * g.n[ 1 ] * g.n[ 0 ] ], 0.0 );
	}
}

// Catches maps the search cannot use being taken anyway (a skewed cell, a
// map not loaded, a grid that cannot fit the memory limit) and a large map
// not made coarser to fit.
TEST( RasterseekGrid, UnusableMapsAreRefused )
{
	quilt_test::ScratchDir dir( "rsgrid" );
	double const at[ 3 ] = { 0.0, 0.0, 0.0 };
	FastDensityScore map;
	SearchGrid g;
	std::string error;
	EXPECT_FALSE( build_search_grid( map, 6.0, 10.0, 1L << 24, g, error ) );
	EXPECT_NE( error.find( "no density map" ), std::string::npos );
	ASSERT_TRUE( blob_map( dir.file( "blob.mrc" ), at, 1.0, map ) );
	ASSERT_TRUE( build_search_grid( map, 6.0, 10.0, 4000, g, error ) ) << error;
	EXPECT_LE( g.size(), 4000 );
	EXPECT_GT( g.spacing[ 0 ], 2.4 );
	EXPECT_FALSE( build_search_grid( map, 6.0, 10.0, 10, g, error ) );
	EXPECT_NE( error.find( "search grid" ), std::string::npos );
	map.cellAngles[ 2 ] = 120.0f;
	EXPECT_FALSE( build_search_grid( map, 6.0, 10.0, 1L << 24, g, error ) );
	EXPECT_NE( error.find( "orthogonal" ), std::string::npos );
}

// Catches a pruned transform that skips a line it needs: against the full
// transforms of numerics/ on data confined to the window, and on the kept
// corner of an inverse.
TEST( RasterseekFFT, PrunedTransformsMatchFullOnes )
{
	using cpx = std::complex< double >;
	int const n[ 3 ] = { 12, 10, 15 };
	int const half[ 3 ] = { 2, 3, 4 };
	long const nv = long( n[ 0 ] ) * n[ 1 ] * n[ 2 ];
	std::mt19937 rng( 5 );
	std::uniform_real_distribution< double > u( -1.0, 1.0 );
	farray::FArray3D< cpx > full{ farray::DynamicIndexRange( n[ 0 ] ), farray::DynamicIndexRange( n[ 1 ] ),
		farray::DynamicIndexRange( n[ 2 ] ) };
	std::vector< cpx > in( nv ), out( nv );
	auto inside = []( int i, int nn, int h ) { return i <= h || i >= nn - h; };
	for ( int k = 0; k < n[ 2 ]; ++k )
		for ( int j = 0; j < n[ 1 ]; ++j )
			for ( int i = 0; i < n[ 0 ]; ++i ) {
				long const l = ( long( k ) * n[ 1 ] + j ) * n[ 0 ] + i;
				bool const w = inside( i, n[ 0 ], half[ 0 ] ) && inside( j, n[ 1 ], half[ 1 ] ) && inside( k, n[ 2 ], half[ 2 ] );
				in[ l ] = w ? cpx( u( rng ), u( rng ) ) : cpx( 0.0, 0.0 );
				full[ l ] = in[ l ];
			}
	PrunedFFT fft( n );
	fft.forward_window( in.data(), out.data(), half );
	fft3( full, full );
	for ( long l = 0; l < nv; ++l ) ASSERT_NEAR( std::abs( out[ l ] - full[ l ] ), 0.0, 1e-10 ) << l;
	fft.clear_window( in.data(), half );
	for ( cpx const& v : in ) ASSERT_EQ( v, cpx( 0.0, 0.0 ) );

	int const keep[ 3 ] = { 5, 7, 9 };
	ifft3( full, full );
	fft.inverse_corner( out.data(), keep );
	for ( int k = 0; k < keep[ 2 ]; ++k )
		for ( int j = 0; j < keep[ 1 ]; ++j )
			for ( int i = 0; i < keep[ 0 ]; ++i ) {
				long const l = ( long( k ) * n[ 1 ] + j ) * n[ 0 ] + i;
				ASSERT_NEAR( std::abs( out[ l ] - full[ l ] ), 0.0, 1e-12 ) << i << " " << j << " " << k;
			}
}
