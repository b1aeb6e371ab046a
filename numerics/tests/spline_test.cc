// Cubic B-splines: the prefilter against the linear systems it solves, the
// interpolation reproducing samples and cubics, gradients against central
// differences, boundary rules and points that lie nowhere.
#include "numerics/spline.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

namespace {

using farray::DynamicIndexRange;

std::vector< double > random_values( long n, unsigned seed )
{
	std::vector< double > v( n );
	unsigned s = seed * 747796405u + 1u;
	for ( long i = 0; i < n; ++i ) {
		s = s * 1664525u + 1013904223u;
		v[ i ] = ( ( s >> 8 ) & 0xffff ) / 16384.0 - 2.0;
	}
	return v;
}

// Dense Gaussian elimination with partial pivoting: A x = b, A row-major n x n.
std::vector< double > solve( std::vector< double > A, std::vector< double > b )
{
	int const n = static_cast< int >( b.size() );
	for ( int c = 0; c < n; ++c ) {
		int piv = c;
		for ( int r = c + 1; r < n; ++r )
			if ( std::fabs( A[ r * n + c ] ) > std::fabs( A[ piv * n + c ] ) ) piv = r;
		for ( int k = 0; k < n; ++k ) std::swap( A[ c * n + k ], A[ piv * n + k ] );
		std::swap( b[ c ], b[ piv ] );
		for ( int r = c + 1; r < n; ++r ) {
			double const f = A[ r * n + c ] / A[ c * n + c ];
			for ( int k = c; k < n; ++k ) A[ r * n + k ] -= f * A[ c * n + k ];
			b[ r ] -= f * b[ c ];
		}
	}
	std::vector< double > x( n );
	for ( int r = n - 1; r >= 0; --r ) {
		double s = b[ r ];
		for ( int k = r + 1; k < n; ++k ) s -= A[ r * n + k ] * x[ k ];
		x[ r ] = s / A[ r * n + r ];
	}
	return x;
}

// The interpolation conditions (c[i-1] + 4 c[i] + c[i+1]) / 6 = s[i], with
// the neighbours beyond the ends taken periodically or by reflection.
std::vector< double > coefficients_by_solve( std::vector< double > const & s, bool mirror )
{
	int const n = static_cast< int >( s.size() );
	std::vector< double > A( n * n, 0.0 );
	for ( int i = 0; i < n; ++i ) {
		int lo = i - 1, hi = i + 1;
		if ( mirror ) {
			if ( lo < 0 ) lo = 1;
			if ( hi > n - 1 ) hi = n - 2;
		} else {
			lo = ( lo + n ) % n;
			hi = hi % n;
		}
		A[ i * n + i ] += 4.0 / 6.0;
		A[ i * n + lo ] += 1.0 / 6.0;
		A[ i * n + hi ] += 1.0 / 6.0;
	}
	return solve( A, s );
}

TEST( SplineCoefficients, LinesMatchTheInterpolationSystem )
{
	// Up to 28 samples the start values are exact sums, beyond that truncated.
	for ( bool mirror : { false, true } ) {
		for ( int n : { 2, 3, 5, 17, 28, 29, 40, 75 } ) {
			if ( !mirror && n < 3 ) continue; // a periodic 2-line folds both neighbours onto one sample
			std::vector< double > const s = random_values( n, n );
			std::vector< double > const ref = coefficients_by_solve( s, mirror );
			// Through the 3-D routine on a 1 x 1 x n array ...
			std::vector< double > c = s;
			int dims[ 3 ] = { 1, 1, n };
			EXPECT_EQ( compute_coefficients3( c.data(), dims, mirror ), 0 );
			// ... and through the one-line routine.
			std::vector< double > d = s;
			double z = std::sqrt( 3.0 ) - 2.0;
			ConvertToInterpolationCoefficients( d.data(), n, &z, mirror );
			for ( int i = 0; i < n; ++i ) {
				EXPECT_NEAR( c[ i ], ref[ i ], 1e-13 ) << "n " << n << " mirror " << mirror << " i " << i;
				EXPECT_NEAR( d[ i ], ref[ i ], 1e-13 ) << "n " << n << " mirror " << mirror << " i " << i;
			}
		}
	}
}

TEST( SplineCoefficients, ConstantLinesStayConstantAndShortLinesAreKept )
{
	for ( bool mirror : { false, true } ) {
		std::vector< double > c( 33, 1.75 );
		double z = std::sqrt( 3.0 ) - 2.0;
		ConvertToInterpolationCoefficients( c.data(), 33, &z, mirror );
		for ( double v : c ) EXPECT_NEAR( v, 1.75, 1e-14 );
	}
	double one = 3.0;
	double z = -0.2679491924311228;
	ConvertToInterpolationCoefficients( &one, 1, &z, true );
	EXPECT_EQ( one, 3.0 );
	// Two samples under the mirror rule: c[n-2] is c[0] in the anti-causal start.
	double two[ 2 ] = { 1.0, 2.0 };
	double const expect = ( z / ( z * z - 1.0 ) ) * ( z * two[ 0 ] + two[ 1 ] );
	EXPECT_DOUBLE_EQ( InitialAntiCausalCoefficient( two, 2, z, 2.220446049250313e-16, true ), expect );
	// Empty sizes do nothing.
	double untouched = 5.0;
	int dims0[ 3 ] = { 0, 1, 1 };
	EXPECT_EQ( compute_coefficients3( &untouched, dims0, false ), 0 );
	EXPECT_EQ( untouched, 5.0 );
}

TEST( SplineCoefficients, ArrayRoutinesFilterEveryLineOfEveryAxis )
{
	// Filtering the lines side by side must give what the line routine gives
	// line by line, gathered with the line copies.
	int dims[ 3 ] = { 6, 31, 70 };
	long const n = 6L * 31 * 70;
	std::vector< double > const data = random_values( n, 99 );
	for ( bool mirror : { false, true } ) {
		std::vector< double > fast = data;
		ASSERT_EQ( compute_coefficients3( fast.data(), dims, mirror ), 0 );
		std::vector< double > slow = data;
		std::vector< double > line( 70 );
		double z = std::sqrt( 3.0 ) - 2.0;
		for ( int axis = 0; axis < 3; ++axis ) {
			int const o1 = axis == 0 ? dims[ 1 ] : dims[ 0 ];
			int const o2 = axis == 2 ? dims[ 1 ] : dims[ 2 ];
			for ( int a = 0; a < o1; ++a )
				for ( int b = 0; b < o2; ++b ) {
					ASSERT_EQ( get_line3( slow.data(), axis, a, b, line.data(), dims ), dims[ axis ] );
					ConvertToInterpolationCoefficients( line.data(), dims[ axis ], &z, mirror );
					ASSERT_EQ( put_line3( slow.data(), axis, a, b, line.data(), dims ), dims[ axis ] );
				}
		}
		for ( long i = 0; i < n; ++i ) ASSERT_NEAR( fast[ i ], slow[ i ], 1e-13 ) << i;
	}
	// Line copies: strides of the row-major layout.
	std::vector< double > v( 24 );
	for ( int i = 0; i < 24; ++i ) v[ i ] = i;
	int d3[ 3 ] = { 2, 3, 4 };
	double l[ 4 ];
	EXPECT_EQ( get_line3( v.data(), 0, 2, 1, l, d3 ), 2 );
	EXPECT_EQ( l[ 0 ], 9 );
	EXPECT_EQ( l[ 1 ], 21 );
	EXPECT_EQ( get_line3( v.data(), 1, 1, 3, l, d3 ), 3 );
	EXPECT_EQ( l[ 2 ], 12 + 8 + 3 );
	int d4[ 4 ] = { 2, 1, 3, 4 };
	EXPECT_EQ( get_line4( v.data(), 2, 1, 0, 2, l, d4 ), 3 );
	EXPECT_EQ( l[ 1 ], 12 + 4 + 2 );
	int d0[ 3 ] = { 2, 0, 4 };
	EXPECT_EQ( get_line3( v.data(), 1, 0, 0, l, d0 ), 0 );
}

TEST( SplineCoefficients, FourDimensionalRoutineMirrorsOnlyTheBinAxis )
{
	int dims[ 4 ] = { 4, 5, 30, 7 };
	long const n = 4L * 5 * 30 * 7;
	std::vector< double > const data = random_values( n, 31 );
	std::vector< double > fast = data, slow = data;
	ASSERT_EQ( compute_coefficients4( fast.data(), dims ), 0 );
	std::vector< double > line( 30 );
	double z = std::sqrt( 3.0 ) - 2.0;
	for ( int axis = 0; axis < 4; ++axis ) {
		int other[ 3 ], k = 0;
		for ( int a = 0; a < 4; ++a )
			if ( a != axis ) other[ k++ ] = dims[ a ];
		for ( int a = 0; a < other[ 0 ]; ++a )
			for ( int b = 0; b < other[ 1 ]; ++b )
				for ( int c = 0; c < other[ 2 ]; ++c ) {
					ASSERT_EQ( get_line4( slow.data(), axis, a, b, c, line.data(), dims ), dims[ axis ] );
					ConvertToInterpolationCoefficients( line.data(), dims[ axis ], &z, axis == 0 );
					ASSERT_EQ( put_line4( slow.data(), axis, a, b, c, line.data(), dims ), dims[ axis ] );
				}
	}
	for ( long i = 0; i < n; ++i ) ASSERT_NEAR( fast[ i ], slow[ i ], 1e-13 ) << i;
}

TEST( SplineInterpolation, PeriodicSplineReproducesSamplesAtNodesAndWraps )
{
	farray::FArray3D< double > data, coeffs;
	data.dimension( DynamicIndexRange( 7 ), DynamicIndexRange( 5 ), DynamicIndexRange( 31 ) );
	std::vector< double > const v = random_values( data.size(), 3 );
	for ( std::size_t i = 0; i < data.size(); ++i ) data[ i ] = v[ i ];
	coeffs.dimension( DynamicIndexRange( 2 ), DynamicIndexRange( 2 ), DynamicIndexRange( 2 ) );
	spline_coeffs( data, coeffs );
	ASSERT_EQ( coeffs.u1(), 7 );
	ASSERT_EQ( coeffs.u3(), 31 );
	for ( int k = 1; k <= 31; k += 3 )
		for ( int j = 1; j <= 5; ++j )
			for ( int i = 1; i <= 7; ++i ) {
				double pos[ 3 ] = { double( i ), double( j ), double( k ) };
				EXPECT_NEAR( interp_spline( coeffs, pos ), data( i, j, k ), 1e-12 );
			}
	double p1[ 3 ] = { 2.3, 4.6, 11.25 }, p2[ 3 ] = { 2.3 + 7, 4.6 - 5, 11.25 + 31 };
	EXPECT_NEAR( interp_spline( coeffs, p1 ), interp_spline( coeffs, p2 ), 1e-12 );
}

TEST( SplineInterpolation, MirroredLineReproducesACubicInItsInterior )
{
	int const n = 48;
	auto f = []( double t ) { return 0.02 * t * t * t - 0.9 * t * t + 3.0 * t - 5.0; };
	std::vector< double > c( n );
	for ( int i = 0; i < n; ++i ) c[ i ] = f( i );
	int dims[ 3 ] = { n, 1, 1 };
	ASSERT_EQ( compute_coefficients3( c.data(), dims, true ), 0 );
	// The boundary's influence decays like |z|^d = 0.268^d away from the ends.
	for ( double t = 16.0; t <= n - 17.0; t += 0.37 ) {
		double p[ 3 ] = { t, 0.0, 0.0 };
		EXPECT_NEAR( interp3( c.data(), dims, p, true ), f( t ), 1e-7 ) << t;
	}
	// Every node, ends included, is reproduced under the mirror rule.
	for ( int i = 0; i < n; ++i ) {
		double p[ 3 ] = { double( i ), 0.3, -2.0 };
		EXPECT_NEAR( interp3( c.data(), dims, p, true ), f( i ), 1e-10 ) << i;
	}
}

TEST( SplineInterpolation, WeightsAndBoundaryRules )
{
	std::vector< double > const c = random_values( 5, 8 );
	int dims[ 3 ] = { 1, 1, 5 };
	// At an integer coordinate the weights are 1/6, 2/3, 1/6, 0.
	double p[ 3 ] = { 0.0, 0.0, 2.0 };
	EXPECT_NEAR( interp3( c.data(), dims, p, false ), ( c[ 1 ] + 4 * c[ 2 ] + c[ 3 ] ) / 6, 1e-15 );
	// Mirror rule, n = 5: taps 5, 6, 7 map to 3, 2, 1.
	p[ 2 ] = 6.0;
	EXPECT_NEAR( interp3( c.data(), dims, p, true ), ( c[ 3 ] + 4 * c[ 2 ] + c[ 1 ] ) / 6, 1e-15 );
	// Periodic rule with a negative coordinate: t = -0.5 has taps -2..1.
	p[ 2 ] = -0.5;
	double const w[ 4 ] = { 1.0 / 48, 23.0 / 48, 23.0 / 48, 1.0 / 48 };
	double const expect = w[ 0 ] * c[ 3 ] + w[ 1 ] * c[ 4 ] + w[ 2 ] * c[ 0 ] + w[ 3 ] * c[ 1 ];
	EXPECT_NEAR( interp3( c.data(), dims, p, false ), expect, 1e-15 );
	// Far-away periodic coordinates are brought back exactly.
	p[ 2 ] = 5.0 * 35184372088832.0 + 2.5; // 5 * 2^45 + 2.5
	double q[ 3 ] = { 0.0, 0.0, 2.5 };
	EXPECT_NEAR( interp3( c.data(), dims, p, false ), interp3( c.data(), dims, q, false ), 1e-15 );
}

// A 4-D array of coefficients, row-major {bins, z, y, x}.
struct Grid4 {
	int dims[ 4 ];
	std::vector< double > c;
	Grid4( int b, int z, int y, int x, unsigned seed ) : dims{ b, z, y, x }, c( random_values( long( b ) * z * y * x, seed ) ) {}
};

TEST( SplineInterpolation, GradientsMatchCentralDifferences )
{
	Grid4 g( 5, 6, 7, 8, 12 );
	double const h = 1e-5;
	std::vector< double > const points = { 1.3, 2.7, -3.2, 9.9, 2.9, 0.01, 6.5, 4.2, 1.5, 5.999, 7.3, -0.4 };
	for ( std::size_t k = 0; k + 4 <= points.size(); k += 4 ) {
		double p[ 4 ] = { points[ k ], points[ k + 1 ], points[ k + 2 ], points[ k + 3 ] };
		double grad[ 4 ], grad2[ 4 ];
		EXPECT_EQ( grad4( grad, g.c.data(), g.dims, p ), 0 );
		double const v = interp4_with_grad( grad2, g.c.data(), g.dims, p );
		EXPECT_NEAR( v, interp4( g.c.data(), g.dims, p ), 1e-14 );
		for ( int a = 0; a < 4; ++a ) {
			double pp[ 4 ] = { p[ 0 ], p[ 1 ], p[ 2 ], p[ 3 ] }, pm[ 4 ] = { p[ 0 ], p[ 1 ], p[ 2 ], p[ 3 ] };
			pp[ a ] += h;
			pm[ a ] -= h;
			double const fd = ( interp4( g.c.data(), g.dims, pp ) - interp4( g.c.data(), g.dims, pm ) ) / ( 2 * h );
			EXPECT_NEAR( grad[ a ], fd, 1e-7 ) << "axis " << a << " point " << k / 4;
			EXPECT_EQ( grad[ a ], grad2[ a ] );
		}
	}
}

TEST( SplineInterpolation, ArrayWrappersUseOneBasedXyzOrder )
{
	// Array (x, y, z, bin) = (4, 3, 5, 3) holds the row-major {3, 5, 3, 4}.
	farray::FArray4D< double > data, coeffs;
	data.dimension( DynamicIndexRange( 4 ), DynamicIndexRange( 3 ), DynamicIndexRange( 5 ), DynamicIndexRange( 3 ) );
	std::vector< double > const v = random_values( data.size(), 77 );
	for ( std::size_t i = 0; i < data.size(); ++i ) data[ i ] = v[ i ];
	spline_coeffs( data, coeffs );
	// Spatial axes periodic; the middle bin node is reproduced exactly.
	for ( int z = 1; z <= 5; ++z )
		for ( int x = 1; x <= 4; ++x ) {
			double pos[ 3 ] = { double( x ), 2.0, double( z ) };
			EXPECT_NEAR( interp_spline( coeffs, 2.0, pos ), data( x, 2, z, 2 ), 1e-12 );
			numeric::xyzVector< double > const vp( x, 2.0, z );
			EXPECT_EQ( interp_spline( coeffs, 2.0, vp ), interp_spline( coeffs, 2.0, pos ) );
		}
	// Derivatives of the wrappers against differences of the wrapped value.
	double pos[ 3 ] = { 2.2, 1.7, 4.4 }, dpos[ 3 ], dbin;
	double const bin = 1.6, h = 1e-5;
	interp_dspline( coeffs, pos, bin, dpos, dbin );
	for ( int a = 0; a < 3; ++a ) {
		double pp[ 3 ] = { pos[ 0 ], pos[ 1 ], pos[ 2 ] }, pm[ 3 ] = { pos[ 0 ], pos[ 1 ], pos[ 2 ] };
		pp[ a ] += h;
		pm[ a ] -= h;
		EXPECT_NEAR( dpos[ a ], ( interp_spline( coeffs, bin, pp ) - interp_spline( coeffs, bin, pm ) ) / ( 2 * h ), 1e-7 );
	}
	EXPECT_NEAR( dbin, ( interp_spline( coeffs, bin + h, pos ) - interp_spline( coeffs, bin - h, pos ) ) / ( 2 * h ), 1e-7 );
	numeric::xyzVector< double > vd;
	double vdbin;
	interp_dspline( coeffs, numeric::xyzVector< double >( pos[ 0 ], pos[ 1 ], pos[ 2 ] ), bin, vd, vdbin );
	EXPECT_EQ( vd.x(), dpos[ 0 ] );
	EXPECT_EQ( vd.z(), dpos[ 2 ] );
	EXPECT_EQ( vdbin, dbin );
}

TEST( SplineInterpolation, SingleBinAndConstantArrays )
{
	Grid4 g( 1, 4, 5, 6, 5 );
	std::vector< double > const before = g.c;
	ASSERT_EQ( compute_coefficients4( g.c.data(), g.dims ), 0 );
	// One bin: the bin axis is left alone, every bin coordinate gives the same.
	double p[ 4 ] = { 0.0, 1.5, 2.5, 3.5 }, q[ 4 ] = { 7.3, 1.5, 2.5, 3.5 };
	EXPECT_EQ( interp4( g.c.data(), g.dims, p ), interp4( g.c.data(), g.dims, q ) );
	double grad[ 4 ];
	grad4( grad, g.c.data(), g.dims, q );
	EXPECT_EQ( grad[ 0 ], 0.0 );

	Grid4 k( 3, 4, 4, 4, 1 );
	for ( double & v : k.c ) v = -2.5;
	ASSERT_EQ( compute_coefficients4( k.c.data(), k.dims ), 0 );
	double r[ 4 ] = { 1.2, -7.1, 3.3, 100.25 };
	EXPECT_NEAR( interp4( k.c.data(), k.dims, r ), -2.5, 1e-13 );
	grad4( grad, k.c.data(), k.dims, r );
	for ( double d : grad ) EXPECT_NEAR( d, 0.0, 1e-13 );
}

TEST( SplineInterpolation, NonFinitePointContributesNothing )
{
	Grid4 g( 3, 4, 5, 6, 9 );
	double const bad[] = { std::numeric_limits< double >::quiet_NaN(), std::numeric_limits< double >::infinity(),
		-std::numeric_limits< double >::infinity() };
	for ( double b : bad ) {
		for ( int a = 0; a < 4; ++a ) {
			double p[ 4 ] = { 1.0, 2.0, 3.0, 4.0 };
			p[ a ] = b;
			double grad[ 4 ] = { 9, 9, 9, 9 };
			EXPECT_EQ( interp4( g.c.data(), g.dims, p ), 0.0 );
			EXPECT_EQ( grad4( grad, g.c.data(), g.dims, p ), 0 );
			for ( double d : grad ) EXPECT_EQ( d, 0.0 );
		}
		double p3[ 3 ] = { 1.0, b, 2.0 };
		int d3[ 3 ] = { 3, 4, 5 };
		EXPECT_EQ( interp3( g.c.data(), d3, p3, true ), 0.0 );
	}
	// Huge but finite coordinates stay on the grid.
	double far[ 4 ] = { 1e300, -1e300, 1e18, 3.0 };
	EXPECT_TRUE( std::isfinite( interp4( g.c.data(), g.dims, far ) ) );
}

} // namespace
