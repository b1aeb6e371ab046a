// Vector algebra, centroids and radii with independently computed answers.
#include "core/basic_fun_Quilt.hh"

#include <gtest/gtest.h>

#include <cmath>

namespace {
double const kPi = 3.141592653589793;
}

TEST( VectorAlgebra, UnitVectorsAndLengths )
{
	double v[ 3 ] = { 3, 0, 4 };
	EXPECT_EQ( powVec( v ), 25.0 );
	unitVec( v );
	EXPECT_DOUBLE_EQ( v[ 0 ], 0.6 );
	EXPECT_DOUBLE_EQ( v[ 2 ], 0.8 );
	double z[ 3 ] = { 0, 0, 0 };
	unitVec( z );
	EXPECT_EQ( z[ 0 ], 0.0 );
	EXPECT_EQ( z[ 1 ], 0.0 );
	point3d const u = unit( setv( 0, 0, 0 ) );
	EXPECT_EQ( u.x, 0.0 );
	EXPECT_EQ( u.z, 0.0 );
	EXPECT_DOUBLE_EQ( norm( unit( setv( 1, 2, 2 ) ) ), 1.0 );
}

TEST( VectorAlgebra, RowVectorTimesMatrix )
{
	double I[ 3 ][ 3 ] = { { 1, 0, 0 }, { 0, 1, 0 }, { 0, 0, 1 } };
	double v[ 3 ] = { 1.5, -2, 7 }, out[ 3 ];
	OneMTimesThree( v, I, out );
	for ( int k = 0; k < 3; ++k ) EXPECT_EQ( out[ k ], v[ k ] );
	double M[ 3 ][ 3 ] = { { 0, 1, 0 }, { 0, 0, 0 }, { 0, 0, 0 } };
	OneMTimesThree( v, M, out );
	EXPECT_EQ( out[ 0 ], 0.0 );
	EXPECT_EQ( out[ 1 ], 1.5 );
	EXPECT_EQ( out[ 2 ], 0.0 );
	// Row vector, not column: out[j] = sum_i v[i] M[i][j].
	double A[ 3 ][ 3 ] = { { 1, 2, 3 }, { 4, 5, 6 }, { 7, 8, 9 } };
	int iv[ 3 ] = { 1, 0, -1 };
	OneMTimesThree( iv, A, out );
	EXPECT_EQ( out[ 0 ], -6.0 );
	EXPECT_EQ( out[ 1 ], -6.0 );
	EXPECT_EQ( out[ 2 ], -6.0 );
	double** An = new2DArr( 3, 3 );
	for ( int i = 0; i < 3; ++i )
		for ( int j = 0; j < 3; ++j ) An[ i ][ j ] = A[ i ][ j ];
	double dv[ 3 ] = { 1, 0, -1 };
	double* o1 = OneMTimesThree( dv, An, 3 );
	double* o2 = OneMTimesThree( iv, An, 3 );
	for ( int k = 0; k < 3; ++k ) {
		EXPECT_EQ( o1[ k ], -6.0 );
		EXPECT_EQ( o2[ k ], -6.0 );
	}
	delete[] o1;
	delete[] o2;
	release2DArr( 3, An );
}

TEST( VectorAlgebra, ProductsAndDeterminants )
{
	double A[ 3 ][ 3 ] = { { 1, 2, 0 }, { 0, 1, 0 }, { 0, 0, 2 } };
	double B[ 3 ][ 3 ] = { { 0, 1, 0 }, { 1, 0, 0 }, { 0, 0, 1 } };
	double** P = mutiply( A, B );
	EXPECT_EQ( P[ 0 ][ 0 ], 2.0 );
	EXPECT_EQ( P[ 0 ][ 1 ], 1.0 );
	EXPECT_EQ( P[ 2 ][ 2 ], 2.0 );
	double** Bp = new2DArr( 3, 3 );
	for ( int i = 0; i < 3; ++i )
		for ( int j = 0; j < 3; ++j ) Bp[ i ][ j ] = B[ i ][ j ];
	double** P2 = mutiply( A, Bp );
	double** P3 = mutiply( P, Bp );  // A B B = A
	for ( int i = 0; i < 3; ++i )
		for ( int j = 0; j < 3; ++j ) {
			EXPECT_EQ( P2[ i ][ j ], P[ i ][ j ] );
			EXPECT_EQ( P3[ i ][ j ], A[ i ][ j ] );
		}
	EXPECT_DOUBLE_EQ( det( P, 3 ), -2.0 );
	EXPECT_EQ( det( P, 0 ), 0.0 );
	// 4 x 4 with a known value: upper triangular 2*3*4*5.
	double** T = new2DArr( 4, 4 );
	for ( int i = 0; i < 4; ++i ) {
		T[ i ][ i ] = i + 2;
		for ( int j = i + 1; j < 4; ++j ) T[ i ][ j ] = 1.5 * ( i + j );
	}
	EXPECT_DOUBLE_EQ( det( T, 4 ), 120.0 );
	for ( int j = 0; j < 4; ++j ) T[ 0 ][ j ] = 0.0;
	EXPECT_EQ( det( T, 4 ), 0.0 );
	release2DArr( 4, T );
	for ( double** m : { P, P2, P3, Bp } ) release2DArr( 3, m );
}

TEST( VectorAlgebra, QuaternionRotation )
{
	// Quarter turn about z: x goes to y.
	double q[ 4 ] = { std::cos( kPi / 4 ), 0, 0, std::sin( kPi / 4 ) };
	double R[ 3 ][ 3 ];
	q2rot( q, R );
	point3d const r = mmat( R, setv( 1, 0, 0 ) );
	EXPECT_NEAR( r.x, 0.0, 1e-15 );
	EXPECT_NEAR( r.y, 1.0, 1e-15 );
	EXPECT_NEAR( r.z, 0.0, 1e-15 );
}

TEST( VectorAlgebra, AnglesAndPoints )
{
	EXPECT_EQ( angv( setv( 1, 0, 0 ), setv( 2, 0, 0 ) ), 0.0 );
	EXPECT_DOUBLE_EQ( angv( setv( 1, 0, 0 ), setv( -3, 0, 0 ) ), kPi );
	EXPECT_DOUBLE_EQ( angv( setv( 1, 0, 0 ), setv( 0, 5, 0 ) ), kPi / 2 );
	EXPECT_EQ( angv( setv( 0, 0, 0 ), setv( 1, 0, 0 ) ), 0.0 );
	EXPECT_EQ( maxnormal( setv( 1, 1, 1 ) ), 0 );
	EXPECT_EQ( maxnormal( setv( 1, 2, 2 ) ), 1 );
	EXPECT_EQ( maxnormal( setv( 1, -2, -3 ) ), 2 );
	point3d const c = prod( setv( 1, 0, 0 ), setv( 0, 1, 0 ) );
	EXPECT_EQ( c.z, 1.0 );
	EXPECT_EQ( dotv( setv( 1, 2, 3 ), setv( 4, 5, 6 ) ), 32.0 );
	EXPECT_EQ( minu( setv( 1, 2, 3 ), setv( 1, 1, 1 ) ).z, 2.0 );
	EXPECT_EQ( scal( setv( 1, 2, 3 ), 2 ).y, 4.0 );
	EXPECT_DOUBLE_EQ( squgaussian( 3.0, 2.0, 1.0 ), -0.5 );
	double a[ 3 ] = { 0, 0, 0 }, b[ 3 ] = { 2, 0, 0 }, cc[ 3 ] = { 1, 1, 1 }, d[ 3 ] = { 4, 1, 1 };
	EXPECT_NEAR( avv( a, b, cc, d ), 1.0, 1e-6 );
	EXPECT_EQ( aminoid( 'A' ), 0 );
	EXPECT_EQ( aminoid( 'Y' ), 19 );
	EXPECT_EQ( aminoid( 'U' ), 25 );
	EXPECT_EQ( aminoid( ' ' ), 23 );
	EXPECT_EQ( aminoid( 'a' ), 23 );
}

TEST( VectorAlgebra, DihedralAndAtomPlacement )
{
	// Trans (anti) arrangement: 180 degrees; cis: 0; gauche: 60 or 300.
	EXPECT_NEAR( phi( 1, 1, 0, 0, 0, 0, 1, 0, 0, 2, -1, 0 ), 180.0, 1e-9 );
	EXPECT_NEAR( phi( 0, 1, 0, 0, 0, 0, 1, 0, 0, 1, 1, 0 ), 0.0, 1e-9 );
	double const g = phi( 0, 1, 0, 0, 0, 0, 1, 0, 0, 1, 0.5, std::sqrt( 3.0 ) / 2 );
	EXPECT_TRUE( std::fabs( g - 60.0 ) < 1e-9 || std::fabs( g - 300.0 ) < 1e-9 ) << g;
	EXPECT_EQ( phi( 0, 0, 0, 1, 0, 0, 2, 0, 0, 3, 1, 0 ), 180.0 );  // collinear

	// Place an atom and measure back its distance, angle and torsion.
	double x, y, z;
	float const tang = 1.0f, rlen = 1.5f, bang = 1.9f;
	ASSERT_EQ( tor2pos22( 0.f, 1.f, 0.f, 0.f, 0.f, 0.f, 1.f, 0.f, 0.f, tang, rlen, bang, &x, &y, &z ), 1 );
	point3d const k = setv( 1, 0, 0 ), j = setv( 0, 0, 0 ), l = setv( x, y, z );
	EXPECT_NEAR( norm( minu( l, k ) ), 1.5, 1e-6 );
	EXPECT_NEAR( angv( minu( j, k ), minu( l, k ) ), 1.9, 1e-6 );
	double const t = phi( 0, 1, 0, 0, 0, 0, 1, 0, 0, x, y, z );
	double const want = 1.0 * 180.0 / kPi;
	EXPECT_TRUE( std::fabs( t - want ) < 1e-4 || std::fabs( t - ( 360.0 - want ) ) < 1e-4 ) << t;

	// Collinear input is nudged with a message and still places the atom.
	testing::internal::CaptureStdout();
	int const ok = tor2pos22( 2.f, 0.f, 0.f, 0.f, 0.f, 0.f, 1.f, 0.f, 0.f, tang, rlen, bang, &x, &y, &z );
	EXPECT_EQ( testing::internal::GetCapturedStdout(), "make adjustment tor2pos22\n" );
	EXPECT_EQ( ok, 1 );
	EXPECT_NEAR( norm( minu( setv( x, y, z ), k ) ), 1.5, 1e-5 );
}

TEST( Centroids, TwoPointsKnownAnswers )
{
	double** p = new2DArr( 2, 3 );
	p[ 1 ][ 0 ] = 2;
	p[ 1 ][ 1 ] = 4;
	p[ 1 ][ 2 ] = 6;
	double* c = getCenterPoint( p, 2 );
	EXPECT_EQ( c[ 0 ], 1.0 );
	EXPECT_EQ( c[ 1 ], 2.0 );
	EXPECT_EQ( c[ 2 ], 3.0 );
	delete[] c;
	EXPECT_DOUBLE_EQ( getRgFromCA( p, 2 ), std::sqrt( 14.0 ) );
	EXPECT_DOUBLE_EQ( getRadius( p, 2 ), std::sqrt( 14.0 ) );
	EXPECT_EQ( getRadius( p, 0 ), 0.0 );

	std::vector< double* > v{ p[ 0 ], p[ 1 ] };
	double* cv = getCenterPoint( v, 2 );
	EXPECT_EQ( cv[ 2 ], 3.0 );
	delete[] cv;
	EXPECT_DOUBLE_EQ( getRgFromCA( v, 2 ), std::sqrt( 14.0 ) );
	EXPECT_DOUBLE_EQ( getRadius( v, 2 ), std::sqrt( 14.0 ) );
	EXPECT_EQ( getRadius( v, 0 ), 0.0 );

	// Two arrays: nb = 0 equals the one-array form; split equals joined.
	double** q = new2DArr( 1, 3 );
	q[ 0 ][ 0 ] = 2;
	q[ 0 ][ 1 ] = 4;
	q[ 0 ][ 2 ] = 6;
	double* c2 = getCenterPoint( p, q, 2, 0 );
	EXPECT_EQ( c2[ 1 ], 2.0 );
	delete[] c2;
	double* c3 = getCenterPoint( p, q, 1, 1 );
	EXPECT_EQ( c3[ 0 ], 1.0 );
	delete[] c3;
	EXPECT_DOUBLE_EQ( getRgFromCA( p, q, 1, 1 ), std::sqrt( 14.0 ) );
	EXPECT_DOUBLE_EQ( getRgFromCA( p, q, 2, 0 ), std::sqrt( 14.0 ) );
	double* nan = getCenterPoint( p, 0 );
	EXPECT_TRUE( std::isnan( nan[ 0 ] ) );
	delete[] nan;
	release2DArr( 1, q );
	release2DArr( 2, p );
}

TEST( Centroids, SelectionWords )
{
	double n[ 3 ] = { 0, 0, 0 }, ca[ 3 ] = { 3, 0, 0 }, cc[ 3 ] = { 6, 0, 0 }, o[ 3 ] = { 100, 0, 0 },
		   sg[ 3 ] = { 0, 90, 0 };
	std::vector< std::vector< double* > > atoms{ { n, ca, cc, o, sg } };
	std::vector< std::vector< std::string > > names{ { "N", "CA", "C", "O", "SG" } };
	double* b = getCenterPoint( atoms, names, "backbone" );
	EXPECT_EQ( b[ 0 ], 3.0 );
	EXPECT_EQ( b[ 1 ], 0.0 );
	double* all = getCenterPoint( atoms, names, "centroid" );
	EXPECT_DOUBLE_EQ( all[ 0 ], 109.0 / 5 );
	EXPECT_DOUBLE_EQ( all[ 1 ], 18.0 );
	// Any other word selects the CA atoms.
	double* other = getCenterPoint( atoms, names, "N" );
	EXPECT_EQ( other[ 0 ], 3.0 );
	double* every = getCenterPoint( atoms );
	EXPECT_EQ( every[ 0 ], all[ 0 ] );
	for ( double* p : { b, all, other, every } ) delete[] p;
}
