// Three-component vectors, 3 x 3 matrices and a few geometric measures.
#include "core/basic_fun_Quilt.hh"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

double const kPi = 3.141592653589793;
double const kDeg = 57.29577951308232;

inline double clamp_cos( double c ) { return c > 1.0 ? 1.0 : ( c < -1.0 ? -1.0 : c ); }

template< class A, class B >
double** product3( A const& a, B const& b )
{
	double** p = new2DArr( 3, 3 );
	for ( int i = 0; i < 3; ++i ) {
		for ( int j = 0; j < 3; ++j ) {
			double s = 0.0;
			for ( int k = 0; k < 3; ++k ) s += a[ i ][ k ] * b[ k ][ j ];
			p[ i ][ j ] = s;
		}
	}
	return p;
}

template< class V >
double* row_times_matrix( V const* v, double** M, int n )
{
	double* out = new1DArr( n );
	for ( int j = 0; j < n; ++j ) {
		for ( int i = 0; i < n; ++i ) out[ j ] += static_cast< double >( v[ i ] ) * M[ i ][ j ];
	}
	return out;
}

} // namespace

void unitVec( double* v )
{
	double len = std::sqrt( v[ 0 ] * v[ 0 ] + v[ 1 ] * v[ 1 ] + v[ 2 ] * v[ 2 ] );
	if ( len < 1e-40 ) {
		v[ 0 ] = v[ 1 ] = v[ 2 ] = 0.0;
		return;
	}
	v[ 0 ] /= len;
	v[ 1 ] /= len;
	v[ 2 ] /= len;
}

double powVec( double* v ) { return v[ 0 ] * v[ 0 ] + v[ 1 ] * v[ 1 ] + v[ 2 ] * v[ 2 ]; }

void OneMTimesThree( double* v, double M[ 3 ][ 3 ], double* out )
{
	for ( int j = 0; j < 3; ++j ) out[ j ] = v[ 0 ] * M[ 0 ][ j ] + v[ 1 ] * M[ 1 ][ j ] + v[ 2 ] * M[ 2 ][ j ];
}

void OneMTimesThree( int* v, double M[ 3 ][ 3 ], double* out )
{
	double d[ 3 ] = { double( v[ 0 ] ), double( v[ 1 ] ), double( v[ 2 ] ) };
	OneMTimesThree( d, M, out );
}

double* OneMTimesThree( double* v, double** M, int n ) { return row_times_matrix( v, M, n ); }
double* OneMTimesThree( int* v, double** M, int n ) { return row_times_matrix( v, M, n ); }

double** mutiply( double A[ 3 ][ 3 ], double B[ 3 ][ 3 ] ) { return product3( A, B ); }
double** mutiply( double** A, double** B ) { return product3( A, B ); }
double** mutiply( double A[ 3 ][ 3 ], double** B ) { return product3( A, B ); }

double det( double** M, int n )
{
	if ( n < 1 ) return 0.0;
	if ( n == 1 ) return M[ 0 ][ 0 ];
	if ( n == 2 ) return M[ 0 ][ 0 ] * M[ 1 ][ 1 ] - M[ 1 ][ 0 ] * M[ 0 ][ 1 ];
	double sum = 0.0;
	for ( int k = 0; k < n; ++k ) {
		if ( M[ 0 ][ k ] == 0.0 ) continue;
		double** minor = new2DArr( n - 1, n - 1 );
		for ( int i = 1; i < n; ++i ) {
			int col = 0;
			for ( int j = 0; j < n; ++j ) {
				if ( j == k ) continue;
				minor[ i - 1 ][ col++ ] = M[ i ][ j ];
			}
		}
		double const sign = ( k % 2 == 0 ) ? 1.0 : -1.0;
		sum += sign * M[ 0 ][ k ] * det( minor, n - 1 );
		release2DArr( n - 1, minor );
	}
	return sum;
}

void q2rot( double* q, double R[ 3 ][ 3 ] )
{
	for ( int i = 0; i < 3; ++i ) {
		for ( int j = 0; j < 3; ++j ) R[ i ][ j ] = 0.0;
	}
	double const q0 = q[ 0 ], q1 = q[ 1 ], q2 = q[ 2 ], q3 = q[ 3 ];
	R[ 0 ][ 0 ] = q0 * q0 + q1 * q1 - q3 * q3 - q2 * q2;
	R[ 0 ][ 1 ] = 2.0 * ( q2 * q1 - q3 * q0 );
	R[ 0 ][ 2 ] = 2.0 * ( q2 * q0 + q3 * q1 );
	R[ 1 ][ 0 ] = 2.0 * ( q3 * q0 + q2 * q1 );
	R[ 1 ][ 1 ] = q0 * q0 + q2 * q2 - q3 * q3 - q1 * q1;
	R[ 1 ][ 2 ] = 2.0 * ( q3 * q2 - q1 * q0 );
	R[ 2 ][ 0 ] = 2.0 * ( q3 * q1 - q2 * q0 );
	R[ 2 ][ 1 ] = 2.0 * ( q1 * q0 + q3 * q2 );
	R[ 2 ][ 2 ] = q0 * q0 - q1 * q1 - q2 * q2 + q3 * q3;
}

double avv( double* a, double* b, double* c, double* d )
{
	double u[ 3 ], v[ 3 ];
	for ( int i = 0; i < 3; ++i ) {
		u[ i ] = b[ i ] - a[ i ];
		v[ i ] = d[ i ] - c[ i ];
	}
	double const dot = u[ 0 ] * v[ 0 ] + u[ 1 ] * v[ 1 ] + u[ 2 ] * v[ 2 ];
	return dot / ( std::sqrt( powVec( v ) * powVec( u ) ) + 1e-6 );
}

int aminoid( char c )
{
	static char const alphabet[] = "ACDEFGHIKLMNPQRSTVWYJBZXOU";
	if ( c == '\0' ) return 23;
	char const* p = std::strchr( alphabet, c );
	return p ? static_cast< int >( p - alphabet ) : 23;
}

void exchangeij( int, int ) {}

point3d setv( double x, double y, double z ) { return point3d{ x, y, z }; }
double norm( point3d a ) { return std::sqrt( a.x * a.x + a.y * a.y + a.z * a.z ); }
point3d scal( point3d a, double s ) { return point3d{ a.x * s, a.y * s, a.z * s }; }

point3d unit( point3d a )
{
	double const n = norm( a );
	if ( n < 1e-40 ) return point3d{ 0.0, 0.0, 0.0 };
	return point3d{ a.x / n, a.y / n, a.z / n };
}

double dotv( point3d a, point3d b ) { return a.x * b.x + a.y * b.y + a.z * b.z; }
point3d minu( point3d a, point3d b ) { return point3d{ a.x - b.x, a.y - b.y, a.z - b.z }; }

point3d prod( point3d a, point3d b )
{
	return point3d{ a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x };
}

int maxnormal( point3d a )
{
	int k = 0;
	double best = std::fabs( a.x );
	if ( std::fabs( a.y ) > best ) {
		k = 1;
		best = std::fabs( a.y );
	}
	if ( std::fabs( a.z ) > best ) k = 2;
	return k;
}

point3d mmat( double M[ 3 ][ 3 ], point3d a )
{
	return point3d{ M[ 0 ][ 0 ] * a.x + M[ 0 ][ 1 ] * a.y + M[ 0 ][ 2 ] * a.z,
		M[ 1 ][ 0 ] * a.x + M[ 1 ][ 1 ] * a.y + M[ 1 ][ 2 ] * a.z,
		M[ 2 ][ 0 ] * a.x + M[ 2 ][ 1 ] * a.y + M[ 2 ][ 2 ] * a.z };
}

double angv( point3d a, point3d b )
{
	double const la = norm( a ), lb = norm( b );
	if ( la < 1e-7 || lb < 1e-7 ) return 0.0;
	return std::acos( clamp_cos( dotv( a, b ) / ( la * lb ) ) );
}

double squgaussian( double x, double s, double m ) { return ( x - m ) * ( m - x ) / ( s * s + s * s ); }

double phi( double x1, double y1, double z1, double x2, double y2, double z2,
	double x3, double y3, double z3, double x4, double y4, double z4 )
{
	point3d const a = setv( x1 - x2, y1 - y2, z1 - z2 );
	point3d const b = setv( x3 - x2, y3 - y2, z3 - z2 );
	point3d const c = setv( x3 - x4, y3 - y4, z3 - z4 );
	point3d const g = prod( a, b );
	point3d const h = prod( c, b );
	double const lg = norm( g ), lh = norm( h );
	if ( lg < 1e-9 || lh < 1e-9 ) return 180.0;
	double theta = std::acos( clamp_cos( dotv( g, h ) / ( lg * lh ) ) );
	if ( dotv( prod( h, g ), b ) < 0.0 ) theta = -theta;
	double r = theta > 0.0 ? ( kPi - theta ) * kDeg : -( kPi + theta ) * kDeg;
	if ( r < 0.0 ) r += 360.0;
	return r;
}

int tor2pos22( float xi, float yi, float zi, float xj, float yj, float zj,
	float xk, float yk, float zk, float tang, float rlength, float bang,
	double* x, double* y, double* z )
{
	point3d pj = setv( xj, yj, zj );
	point3d const pi = setv( xi, yi, zi ), pk = setv( xk, yk, zk );
	point3d u = minu( pi, pj ), v = minu( pk, pj );

	bool acceptable = false;
	double const lu = norm( u ), lv = norm( v );
	if ( lu >= 1e-7 && lv >= 1e-7 && lu >= 1e-12 && lv >= 1e-12 ) {
		double const ang = std::acos( clamp_cos( dotv( u, v ) / ( lu * lv ) ) );
		acceptable = ang >= 1e-10 && angv( u, v ) <= 3.141592653489793;
	}
	if ( !acceptable ) {
		// i, j and k are collinear or coincide: nudge j off the line.
		double const ax = std::fabs( v.x ), ay = std::fabs( v.y ), az = std::fabs( v.z );
		if ( ax < ay ) {
			if ( ay >= az ) pj.z += 0.01;
			else pj.x += 0.01;
		} else {
			if ( az <= ax ) pj.y += 0.01;
			else pj.x += 0.01;
		}
		std::printf( "make adjustment tor2pos22\n" );
		u = minu( pi, pj );
		v = minu( pk, pj );
	}

	point3d const vh = unit( v ), uh = unit( u );
	point3d const n = unit( prod( vh, uh ) );
	if ( norm( n ) >= 1e-7 && norm( vh ) >= 1e-7 ) {
		point3d w = scal( vh, rlength );
		double R[ 3 ][ 3 ];
		double const t1 = ( kPi - bang ) / 2.0;
		double q1[ 4 ] = { std::cos( t1 ), n.x * std::sin( t1 ), n.y * std::sin( t1 ), n.z * std::sin( t1 ) };
		q2rot( q1, R );
		w = mmat( R, w );
		double const t2 = tang / 2.0;
		double q2[ 4 ] = { std::cos( t2 ), vh.x * std::sin( t2 ), vh.y * std::sin( t2 ), vh.z * std::sin( t2 ) };
		q2rot( q2, R );
		w = mmat( R, w );
		*x = pk.x + w.x;
		*y = pk.y + w.y;
		*z = pk.z + w.z;
		return 1;
	}
	std::printf( "wrong in tor2pos22 [%f %f %f] [%f %f %f] [%f %f %f]\n",
		xi, yi, zi, xj, yj, zj, xk, yk, zk );
	*x = pk.x;
	*y = pk.y;
	*z = pk.z;
	return 0;
}
