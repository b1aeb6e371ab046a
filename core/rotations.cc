// Euler-angle rotations (z-x-z, R = Rz(a) Rx(b) Rz(c)), their derivatives and
// the rigid-body movers of coordinate sets.  Every mover returns new
// coordinates and leaves its input unchanged.
#include "core/basic_fun_Quilt.hh"

#include <algorithm>
#include <cmath>

namespace {

// A negative count is treated as zero: the result is then an empty table.
inline double** new_coords( int n ) { return new2DArr( n < 0 ? 0 : n, 3 ); }

template< class M >
void fill_rot_matrix( M& R, double a, double b, double c )
{
	double const sa = std::sin( a ), ca = std::cos( a );
	double const sb = std::sin( b ), cb = std::cos( b );
	double const sc = std::sin( c ), cc = std::cos( c );
	R[ 0 ][ 0 ] = cc * ca - sc * cb * sa;
	R[ 0 ][ 1 ] = cc * cb * sa + sc * ca;
	R[ 0 ][ 2 ] = sa * sb;
	R[ 1 ][ 0 ] = -sa * cc - sc * cb * ca;
	R[ 1 ][ 1 ] = cc * cb * ca - sa * sc;
	R[ 1 ][ 2 ] = ca * sb;
	R[ 2 ][ 0 ] = sc * sb;
	R[ 2 ][ 1 ] = -sb * cc;
	R[ 2 ][ 2 ] = cb;
}

template< class M >
double* drot_contract( double* x, M const& m )
{
	double const sa = std::sin( x[ 3 ] ), ca = std::cos( x[ 3 ] );
	double const sb = std::sin( x[ 4 ] ), cb = std::cos( x[ 4 ] );
	double const sc = std::sin( x[ 5 ] ), cc = std::cos( x[ 5 ] );
	double const da[ 3 ][ 3 ] = {
		{ -cc * sa - sc * cb * ca, cc * cb * ca - sc * sa, ca * sb },
		{ -ca * cc + sc * cb * sa, -cc * cb * sa - ca * sc, -sa * sb },
		{ 0.0, 0.0, 0.0 } };
	double const db[ 3 ][ 3 ] = {
		{ sc * sb * sa, -cc * sb * sa, sa * cb },
		{ sc * sb * ca, -cc * sb * ca, ca * cb },
		{ sc * cb, -cb * cc, -sb } };
	double const dc[ 3 ][ 3 ] = {
		{ -sc * ca - cc * cb * sa, -sc * cb * sa + cc * ca, 0.0 },
		{ sa * sc - cc * cb * ca, -sc * cb * ca - sa * cc, 0.0 },
		{ cc * sb, sb * sc, 0.0 } };
	double* g = new double[ 3 ];
	g[ 0 ] = g[ 1 ] = g[ 2 ] = 0.0;
	for ( int i = 0; i < 3; ++i ) {
		for ( int j = 0; j < 3; ++j ) {
			g[ 0 ] += da[ i ][ j ] * m[ i ][ j ];
			g[ 1 ] += db[ i ][ j ] * m[ i ][ j ];
			g[ 2 ] += dc[ i ][ j ] * m[ i ][ j ];
		}
	}
	return g;
}

// p' = c + t + R (p - c), summed in the order the scores rely on.
template< class M >
inline void move_centred( double const* p, double* out, double const* t, M const& R, double const* c )
{
	for ( int r = 0; r < 3; ++r ) {
		out[ r ] = ( ( ( ( t[ r ] + c[ r ] ) + R[ r ][ 0 ] * ( p[ 0 ] - c[ 0 ] ) )
			+ R[ r ][ 1 ] * ( p[ 1 ] - c[ 1 ] ) ) + R[ r ][ 2 ] * ( p[ 2 ] - c[ 2 ] ) );
	}
}

template< class M >
double** move_all_centred( double** p, int n, double* t, M const& R, double* c )
{
	double** out = new_coords( n );
	for ( int i = 0; i < n; ++i ) move_centred( p[ i ], out[ i ], t, R, c );
	return out;
}

template< class M >
double** move_all_uncentred( double** p, int n, double* t, M const& R )
{
	double** out = new_coords( n );
	for ( int i = 0; i < n; ++i ) {
		for ( int r = 0; r < 3; ++r ) {
			out[ i ][ r ] = ( ( R[ r ][ 0 ] * p[ i ][ 0 ] + R[ r ][ 1 ] * p[ i ][ 1 ] ) + t[ r ] )
				+ R[ r ][ 2 ] * p[ i ][ 2 ];
		}
	}
	return out;
}

} // namespace

void get_rot_matrix( double R[ 3 ][ 3 ], double a, double b, double c ) { fill_rot_matrix( R, a, b, c ); }
void get_rot_matrix( double** R, double a, double b, double c ) { fill_rot_matrix( R, a, b, c ); }

double* get_drotmtx_deuler( double* x, double** M ) { return drot_contract( x, M ); }
double* get_drotmtx_deuler( double* x, double M[ 3 ][ 3 ] ) { return drot_contract( x, M ); }

std::vector< std::vector< double* > > Rotation_translation_euler(
	std::vector< std::vector< double* > > atoms, double* x, double* c )
{
	double R[ 3 ][ 3 ];
	get_rot_matrix( R, x[ 3 ], x[ 4 ], x[ 5 ] );
	std::vector< std::vector< double* > > out( atoms.size() );
	for ( std::size_t i = 0; i < atoms.size(); ++i ) {
		out[ i ].reserve( atoms[ i ].size() );
		for ( double* p : atoms[ i ] ) {
			double* q = new double[ 3 ];
			move_centred( p, q, x, R, c );
			out[ i ].push_back( q );
		}
	}
	return out;
}

double** Rotation_translation_euler_CA( double** p, int n, double* x, double* c )
{
	double R[ 3 ][ 3 ];
	get_rot_matrix( R, x[ 3 ], x[ 4 ], x[ 5 ] );
	return move_all_centred( p, n, x, R, c );
}

double** Rotation_translation( double** p, int n, double* t, double** R, double* c )
{
	return move_all_centred( p, n, t, R, c );
}

double** Rotation_translation( double** p, int n, double* t, double R[ 3 ][ 3 ], double* c )
{
	return move_all_centred( p, n, t, R, c );
}

double** Rotation_translation_c( double** p, int n, double* t, double** R )
{
	if ( n < 1 ) return new_coords( n );
	double* c = getCenterPoint( p, n );
	double** out = move_all_centred( p, n, t, R, c );
	delete[] c;
	return out;
}

double** Rotation_translation( double** p, int n, double* t, double** R )
{
	return move_all_uncentred( p, n, t, R );
}

double** Rotation_translation( double** p, int n, double* t, double R[ 3 ][ 3 ] )
{
	return move_all_uncentred( p, n, t, R );
}

double** Rotation_translation( double** p, int n, double* x, double* c )
{
	// Unit axis from its z component and azimuth; rounding may push 1 - w^2
	// slightly below zero, which would give a NaN axis.
	double const w = x[ 3 ];
	double const s = std::sqrt( std::max( 0.0, 1.0 - w * w ) );
	double const ux = s * std::cos( x[ 4 ] ), uy = s * std::sin( x[ 4 ] ), uz = w;
	double const co = std::cos( x[ 5 ] ), si = std::sin( x[ 5 ] ), v = 1.0 - co;
	double R[ 3 ][ 3 ];
	R[ 0 ][ 0 ] = co + ux * ux * v;
	R[ 1 ][ 1 ] = co + uy * uy * v;
	R[ 2 ][ 2 ] = co + uz * uz * v;
	R[ 0 ][ 1 ] = ux * uy * v - uz * si;
	R[ 1 ][ 0 ] = ux * uy * v + uz * si;
	R[ 0 ][ 2 ] = ux * uz * v + uy * si;
	R[ 2 ][ 0 ] = ux * uz * v - uy * si;
	R[ 1 ][ 2 ] = uy * uz * v - ux * si;
	R[ 2 ][ 1 ] = uy * uz * v + ux * si;
	return move_all_centred( p, n, x, R, c );
}

double** Translation( double** p, int n, double* t )
{
	double** out = new_coords( n );
	for ( int i = 0; i < n; ++i ) {
		for ( int r = 0; r < 3; ++r ) out[ i ][ r ] = p[ i ][ r ] + t[ r ];
	}
	return out;
}
