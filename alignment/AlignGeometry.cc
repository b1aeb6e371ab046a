// Vector operations and alignment text.
#include "alignment/AlignGeometry.hh"

#include <cmath>
#include <cstdio>

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
