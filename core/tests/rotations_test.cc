// Euler rotations against explicit matrix products, their derivatives
// against finite differences, and the rigid-body movers.
#include "core/basic_fun_Quilt.hh"

#include <gtest/gtest.h>

#include <cmath>

namespace {

double const kPi = 3.141592653589793;

void Rz( double t, double M[ 3 ][ 3 ] )
{
	double const c = std::cos( t ), s = std::sin( t );
	double const m[ 3 ][ 3 ] = { { c, s, 0 }, { -s, c, 0 }, { 0, 0, 1 } };
	for ( int i = 0; i < 3; ++i )
		for ( int j = 0; j < 3; ++j ) M[ i ][ j ] = m[ i ][ j ];
}

void Rx( double t, double M[ 3 ][ 3 ] )
{
	double const c = std::cos( t ), s = std::sin( t );
	double const m[ 3 ][ 3 ] = { { 1, 0, 0 }, { 0, c, s }, { 0, -s, c } };
	for ( int i = 0; i < 3; ++i )
		for ( int j = 0; j < 3; ++j ) M[ i ][ j ] = m[ i ][ j ];
}

void mul( double A[ 3 ][ 3 ], double B[ 3 ][ 3 ], double C[ 3 ][ 3 ] )
{
	for ( int i = 0; i < 3; ++i )
		for ( int j = 0; j < 3; ++j ) {
			C[ i ][ j ] = 0;
			for ( int k = 0; k < 3; ++k ) C[ i ][ j ] += A[ i ][ k ] * B[ k ][ j ];
		}
}

} // namespace

TEST( Rotations, MatchExplicitProductAndAreOrthonormal )
{
	double const angles[][ 3 ] = { { 0.3, 1.1, -2.0 }, { 2.5, 0.2, 0.7 }, { -1.0, 3.0, 4.0 } };
	for ( auto const& a : angles ) {
		double A[ 3 ][ 3 ], B[ 3 ][ 3 ], C[ 3 ][ 3 ], AB[ 3 ][ 3 ], E[ 3 ][ 3 ], R[ 3 ][ 3 ];
		Rz( a[ 0 ], A );
		Rx( a[ 1 ], B );
		Rz( a[ 2 ], C );
		mul( A, B, AB );
		mul( AB, C, E );
		get_rot_matrix( R, a[ 0 ], a[ 1 ], a[ 2 ] );
		double** Rp = new2DArr( 3, 3 );
		get_rot_matrix( Rp, a[ 0 ], a[ 1 ], a[ 2 ] );
		for ( int i = 0; i < 3; ++i )
			for ( int j = 0; j < 3; ++j ) {
				EXPECT_NEAR( R[ i ][ j ], E[ i ][ j ], 1e-14 );
				EXPECT_EQ( Rp[ i ][ j ], R[ i ][ j ] );
			}
		EXPECT_NEAR( det( Rp, 3 ), 1.0, 1e-13 );
		double** RRt = mutiply( R, R );
		release2DArr( 3, RRt );
		release2DArr( 3, Rp );
	}
}

TEST( Rotations, KnownMatrices )
{
	double R[ 3 ][ 3 ];
	get_rot_matrix( R, 0, 0, 0 );
	for ( int i = 0; i < 3; ++i )
		for ( int j = 0; j < 3; ++j ) EXPECT_EQ( R[ i ][ j ], i == j ? 1.0 : 0.0 );
	get_rot_matrix( R, kPi / 2, 0, 0 );
	double const want[ 3 ][ 3 ] = { { 0, 1, 0 }, { -1, 0, 0 }, { 0, 0, 1 } };
	for ( int i = 0; i < 3; ++i )
		for ( int j = 0; j < 3; ++j ) EXPECT_NEAR( R[ i ][ j ], want[ i ][ j ], 1e-15 );
}

TEST( Rotations, DerivativeContractionMatchesFiniteDifferences )
{
	// f(R) = sum M .* R, so df/dtheta_k = sum M .* dR/dtheta_k.
	double M[ 3 ][ 3 ] = { { 0.3, -1.2, 0.5 }, { 2.0, 0.1, -0.7 }, { -0.4, 0.9, 1.3 } };
	double** Mp = new2DArr( 3, 3 );
	for ( int i = 0; i < 3; ++i )
		for ( int j = 0; j < 3; ++j ) Mp[ i ][ j ] = M[ i ][ j ];
	auto f = [ & ]( double a, double b, double c ) {
		double R[ 3 ][ 3 ];
		get_rot_matrix( R, a, b, c );
		double s = 0;
		for ( int i = 0; i < 3; ++i )
			for ( int j = 0; j < 3; ++j ) s += M[ i ][ j ] * R[ i ][ j ];
		return s;
	};
	double x[ 6 ] = { 9, 9, 9, 0.7, -1.3, 2.2 };
	double* g = get_drotmtx_deuler( x, Mp );
	double* g2 = get_drotmtx_deuler( x, M );
	double const h = 1e-6;
	double const fd[ 3 ] = { ( f( x[ 3 ] + h, x[ 4 ], x[ 5 ] ) - f( x[ 3 ] - h, x[ 4 ], x[ 5 ] ) ) / ( 2 * h ),
		( f( x[ 3 ], x[ 4 ] + h, x[ 5 ] ) - f( x[ 3 ], x[ 4 ] - h, x[ 5 ] ) ) / ( 2 * h ),
		( f( x[ 3 ], x[ 4 ], x[ 5 ] + h ) - f( x[ 3 ], x[ 4 ], x[ 5 ] - h ) ) / ( 2 * h ) };
	for ( int k = 0; k < 3; ++k ) {
		EXPECT_NEAR( g[ k ], fd[ k ], 1e-8 ) << "angle " << k;
		EXPECT_EQ( g2[ k ], g[ k ] );
	}
	delete[] g;
	delete[] g2;
	release2DArr( 3, Mp );
}

TEST( Rotations, PoseMovesAboutTheCentre )
{
	double c[ 3 ] = { 1.0, -2.0, 3.0 };
	double x[ 6 ] = { 0.5, 1.5, -2.5, 0.4, 1.0, -0.3 };
	double R[ 3 ][ 3 ];
	get_rot_matrix( R, x[ 3 ], x[ 4 ], x[ 5 ] );
	std::vector< std::vector< double* > > atoms{ { new double[ 3 ]{ 1, -2, 3 } },
		{ new double[ 3 ]{ 4, 5, 6 }, new double[ 3 ]{ -7, 8, 0.5 } } };
	auto moved = Rotation_translation_euler( atoms, x, c );
	ASSERT_EQ( moved.size(), 2u );
	ASSERT_EQ( moved[ 1 ].size(), 2u );
	// The centre itself goes to centre + t.
	for ( int r = 0; r < 3; ++r ) EXPECT_NEAR( moved[ 0 ][ 0 ][ r ], c[ r ] + x[ r ], 1e-14 );
	for ( int r = 0; r < 3; ++r ) {
		double want = c[ r ] + x[ r ];
		for ( int k = 0; k < 3; ++k ) want += R[ r ][ k ] * ( atoms[ 1 ][ 1 ][ k ] - c[ k ] );
		EXPECT_NEAR( moved[ 1 ][ 1 ][ r ], want, 1e-13 );
	}
	EXPECT_EQ( atoms[ 1 ][ 0 ][ 0 ], 4.0 );  // input unchanged

	// The array form agrees with the per-residue form.
	double** p = new2DArr( 2, 3 );
	for ( int k = 0; k < 3; ++k ) {
		p[ 0 ][ k ] = atoms[ 1 ][ 0 ][ k ];
		p[ 1 ][ k ] = atoms[ 1 ][ 1 ][ k ];
	}
	double** q = Rotation_translation_euler_CA( p, 2, x, c );
	for ( int k = 0; k < 3; ++k ) EXPECT_EQ( q[ 1 ][ k ], moved[ 1 ][ 1 ][ k ] );
	double** q2 = Rotation_translation( p, 2, x, R, c );
	for ( int k = 0; k < 3; ++k ) EXPECT_EQ( q2[ 0 ][ k ], moved[ 1 ][ 0 ][ k ] );
	release2DArr( 2, q );
	release2DArr( 2, q2 );
	release2DArr( 2, p );
	releaseVecVecT1D< double >( moved );
	releaseVecVecT1D< double >( atoms );
}

TEST( Rotations, ZeroAnglesTranslateExactly )
{
	double c[ 3 ] = { 100.0, -50.0, 3.0 };
	double x[ 6 ] = { 0.25, -1.5, 2.0, 0, 0, 0 };
	double** p = new2DArr( 1, 3 );
	p[ 0 ][ 0 ] = 1.125;
	p[ 0 ][ 1 ] = 2.5;
	p[ 0 ][ 2 ] = -3.75;
	double** q = Rotation_translation_euler_CA( p, 1, x, c );
	EXPECT_EQ( q[ 0 ][ 0 ], 1.375 );
	EXPECT_EQ( q[ 0 ][ 1 ], 1.0 );
	EXPECT_EQ( q[ 0 ][ 2 ], -1.75 );
	double** t = Translation( p, 1, x );
	EXPECT_EQ( t[ 0 ][ 0 ], 1.375 );
	release2DArr( 1, t );
	release2DArr( 1, q );
	release2DArr( 1, p );
}

TEST( Rotations, MatrixMoversAndUndoingARotation )
{
	double** p = new2DArr( 3, 3 );
	double const pts[ 3 ][ 3 ] = { { 1, 0, 0 }, { 0, 2, 0 }, { 1, 1, 4 } };
	for ( int i = 0; i < 3; ++i )
		for ( int k = 0; k < 3; ++k ) p[ i ][ k ] = pts[ i ][ k ];
	double** R = new2DArr( 3, 3 );
	double** Rt = new2DArr( 3, 3 );
	get_rot_matrix( R, 0.8, -0.6, 2.1 );
	for ( int i = 0; i < 3; ++i )
		for ( int j = 0; j < 3; ++j ) Rt[ i ][ j ] = R[ j ][ i ];
	double t[ 3 ] = { 1, 2, 3 }, nt[ 3 ] = { 0, 0, 0 }, mt[ 3 ] = { -1, -2, -3 };
	double** q = Rotation_translation( p, 3, t, R );
	// Undo: p = R^T (q - t).
	double** back0 = Translation( q, 3, mt );
	double** back = Rotation_translation( back0, 3, nt, Rt );
	for ( int i = 0; i < 3; ++i )
		for ( int k = 0; k < 3; ++k ) EXPECT_NEAR( back[ i ][ k ], pts[ i ][ k ], 1e-13 );

	// About the centroid the centroid only moves by t.
	double** qc = Rotation_translation_c( p, 3, t, R );
	double* c0 = getCenterPoint( p, 3 );
	double* c1 = getCenterPoint( qc, 3 );
	for ( int k = 0; k < 3; ++k ) EXPECT_NEAR( c1[ k ], c0[ k ] + t[ k ], 1e-13 );
	delete[] c0;
	delete[] c1;

	double** none = Rotation_translation( p, 0, t, R );
	release2DArr( 0, none );
	for ( double** m : { q, back0, back, qc } ) release2DArr( 3, m );
	release2DArr( 3, R );
	release2DArr( 3, Rt );
	release2DArr( 3, p );
}

TEST( Rotations, AxisAngleAboutZIgnoresAzimuth )
{
	double c[ 3 ] = { 0, 0, 0 };
	double** p = new2DArr( 1, 3 );
	p[ 0 ][ 0 ] = 1.0;
	p[ 0 ][ 2 ] = 2.0;
	for ( double az : { 0.0, 1.0, 2.5 } ) {
		double x[ 6 ] = { 0, 0, 0, 1.0, az, kPi / 2 };
		double** q = Rotation_translation( p, 1, x, c );
		// A quarter turn about z takes (1, 0, 2) to (0, 1, 2).
		EXPECT_NEAR( q[ 0 ][ 0 ], 0.0, 1e-15 );
		EXPECT_NEAR( q[ 0 ][ 1 ], 1.0, 1e-15 );
		EXPECT_NEAR( q[ 0 ][ 2 ], 2.0, 1e-15 );
		release2DArr( 1, q );
	}
	// About the x axis (w = 0, azimuth 0): (0, 1, 0) goes to (0, 0, 1).
	p[ 0 ][ 0 ] = 0;
	p[ 0 ][ 1 ] = 1;
	p[ 0 ][ 2 ] = 0;
	double x[ 6 ] = { 0, 0, 0, 0.0, 0.0, kPi / 2 };
	double** q = Rotation_translation( p, 1, x, c );
	EXPECT_NEAR( q[ 0 ][ 2 ], 1.0, 1e-15 );
	release2DArr( 1, q );
	release2DArr( 1, p );
}
