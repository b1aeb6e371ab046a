// Vector operations and alignment text.
#include "alignment/AlignGeometry.hh"

#include <cmath>
#include <cstdio>

double dist( double* a, double* b )
{
	double const d0 = a[ 0 ] - b[ 0 ];
	double const d1 = a[ 1 ] - b[ 1 ];
	double const d2 = a[ 2 ] - b[ 2 ];
	return d0 * d0 + d1 * d1 + d2 * d2;
}

double dist2pow( double* a, double* b ) { return dist( a, b ); }

double distance( double* a, double* b ) { return std::sqrt( dist( a, b ) ); }

double dot( double* a, double* b ) { return a[ 0 ] * b[ 0 ] + a[ 1 ] * b[ 1 ] + a[ 2 ] * b[ 2 ]; }

void transform( double t[3], double u[3][3], double* x, double* x1 )
{
	x1[ 0 ] = u[ 0 ][ 0 ] * x[ 0 ] + u[ 0 ][ 1 ] * x[ 1 ] + u[ 0 ][ 2 ] * x[ 2 ] + t[ 0 ];
	x1[ 1 ] = u[ 1 ][ 0 ] * x[ 0 ] + u[ 1 ][ 1 ] * x[ 1 ] + u[ 1 ][ 2 ] * x[ 2 ] + t[ 1 ];
	x1[ 2 ] = u[ 2 ][ 0 ] * x[ 0 ] + u[ 2 ][ 1 ] * x[ 1 ] + u[ 2 ][ 2 ] * x[ 2 ] + t[ 2 ];
}

void transform( double* t, double** u, double* x, double* x1 )
{
	x1[ 0 ] = u[ 0 ][ 0 ] * x[ 0 ] + u[ 0 ][ 1 ] * x[ 1 ] + u[ 0 ][ 2 ] * x[ 2 ] + t[ 0 ];
	x1[ 1 ] = u[ 1 ][ 0 ] * x[ 0 ] + u[ 1 ][ 1 ] * x[ 1 ] + u[ 1 ][ 2 ] * x[ 2 ] + t[ 1 ];
	x1[ 2 ] = u[ 2 ][ 0 ] * x[ 0 ] + u[ 2 ][ 1 ] * x[ 1 ] + u[ 2 ][ 2 ] * x[ 2 ] + t[ 2 ];
}

void do_rotation( double** x, double** x1, int len, double* t, double u[3][3] )
{
	for ( int i = 0; i < len; ++i ) transform( t, u, x[ i ], x1[ i ] );
}

void do_rotation( double** x, double** x1, int len, double* t, double** u )
{
	for ( int i = 0; i < len; ++i ) transform( t, u, x[ i ], x1[ i ] );
}

void output_align1( int* invmap, int len )
{
	for ( int i = 0; i < len; ++i ) {
		std::printf( "%d ", invmap[ i ] >= 0 ? invmap[ i ] + 1 : invmap[ i ] );
	}
	std::printf( "\n\n" );
}

void output_align( int* invmap, int len )
{
	for ( int i = 0; i < len; ++i ) std::printf( "%d ", invmap[ i ] );
	std::printf( "\n\n" );
}

std::string output_align_to_string( int* invmap, int len )
{
	std::string out;
	char buf[ 32 ];
	for ( int i = 0; i < len; ++i ) {
		std::snprintf( buf, sizeof buf, "%4d ", invmap[ i ] );
		out += buf;
		if ( i % 10 == 9 ) out += "\n";
	}
	out += "\n";
	return out;
}

std::string output_coord_to_string( double** xtm, double** ytm, int n )
{
	std::string out = "xtm coords:\n";
	char buf[ 128 ];
	for ( int i = 0; i < n; ++i ) {
		std::snprintf( buf, sizeof buf, "%8.3f %8.3f %8.3f\n", xtm[ i ][ 0 ], xtm[ i ][ 1 ], xtm[ i ][ 2 ] );
		out += buf;
	}
	out += "ytm coords:\n";
	for ( int i = 0; i < n; ++i ) {
		std::snprintf( buf, sizeof buf, "%8.3f %8.3f %8.3f\n", ytm[ i ][ 0 ], ytm[ i ][ 1 ], ytm[ i ][ 2 ] );
		out += buf;
	}
	return out;
}
