// Small vector operations on points (double[3], Angstrom) shared by the
// alignment core and the model transforms, and text dumps of alignments.
// A superposition (t, u) moves p to p' with p'[i] = u[i][0] p[0] +
// u[i][1] p[1] + u[i][2] p[2] + t[i].
#ifndef QUILT_ALIGNMENT_ALIGNGEOMETRY_HH
#define QUILT_ALIGNMENT_ALIGNGEOMETRY_HH

#include <cmath>
#include <string>

// Squared distance (no root).
inline double dist( double* a, double* b )
{
	double const d0 = a[ 0 ] - b[ 0 ];
	double const d1 = a[ 1 ] - b[ 1 ];
	double const d2 = a[ 2 ] - b[ 2 ];
	return d0 * d0 + d1 * d1 + d2 * d2;
}
inline double dist2pow( double* a, double* b ) { return dist( a, b ); }
// Euclidean distance.
inline double distance( double* a, double* b ) { return std::sqrt( dist( a, b ) ); }
inline double dot( double* a, double* b ) { return a[ 0 ] * b[ 0 ] + a[ 1 ] * b[ 1 ] + a[ 2 ] * b[ 2 ]; }

// x1 = u x + t; x1 must not be x.
inline void transform( double t[3], double u[3][3], double* x, double* x1 )
{
	x1[ 0 ] = u[ 0 ][ 0 ] * x[ 0 ] + u[ 0 ][ 1 ] * x[ 1 ] + u[ 0 ][ 2 ] * x[ 2 ] + t[ 0 ];
	x1[ 1 ] = u[ 1 ][ 0 ] * x[ 0 ] + u[ 1 ][ 1 ] * x[ 1 ] + u[ 1 ][ 2 ] * x[ 2 ] + t[ 1 ];
	x1[ 2 ] = u[ 2 ][ 0 ] * x[ 0 ] + u[ 2 ][ 1 ] * x[ 1 ] + u[ 2 ][ 2 ] * x[ 2 ] + t[ 2 ];
}
inline void transform( double* t, double** u, double* x, double* x1 )
{
	x1[ 0 ] = u[ 0 ][ 0 ] * x[ 0 ] + u[ 0 ][ 1 ] * x[ 1 ] + u[ 0 ][ 2 ] * x[ 2 ] + t[ 0 ];
	x1[ 1 ] = u[ 1 ][ 0 ] * x[ 0 ] + u[ 1 ][ 1 ] * x[ 1 ] + u[ 1 ][ 2 ] * x[ 2 ] + t[ 1 ];
	x1[ 2 ] = u[ 2 ][ 0 ] * x[ 0 ] + u[ 2 ][ 1 ] * x[ 1 ] + u[ 2 ][ 2 ] * x[ 2 ] + t[ 2 ];
}

// The third-smallest of the finite values among v[0..n) into *third; returns
// how many values are finite.  The widening of a pair selection stops at
// this value; pairs with non-finite distances (NaN coordinates) can never be
// selected, so with fewer than three finite values it would never stop.
inline int third_smallest_finite( double const* v, int n, double* third )
{
	double m[ 3 ] = { HUGE_VAL, HUGE_VAL, HUGE_VAL };
	int finite = 0;
	for ( int k = 0; k < n; ++k ) {
		double const x = v[ k ];
		if ( !std::isfinite( x ) ) continue;
		++finite;
		if ( x < m[ 2 ] ) {
			if ( x < m[ 1 ] ) {
				m[ 2 ] = m[ 1 ];
				if ( x < m[ 0 ] ) {
					m[ 1 ] = m[ 0 ];
					m[ 0 ] = x;
				} else {
					m[ 1 ] = x;
				}
			} else {
				m[ 2 ] = x;
			}
		}
	}
	*third = m[ 2 ];
	return finite;
}

// transform of each of the first len rows of x into the same row of x1;
// nothing for len <= 0.
void do_rotation( double** x, double** x1, int len, double* t, double u[3][3] );
void do_rotation( double** x, double** x1, int len, double* t, double** u );

// Each entry of an alignment map plus 1 when >= 0 (1-based positions), or
// unchanged when negative, each followed by a blank, then two line ends.
void output_align1( int* invmap, int len );
// The raw entries, each followed by a blank, then two line ends.
void output_align( int* invmap, int len );
// Rows of ten "%4d " entries, each full row ended by "\n", then the rest
// and a final "\n".
std::string output_align_to_string( int* invmap, int len );
// "xtm coords:\n", n lines "%8.3f %8.3f %8.3f\n", "ytm coords:\n", n lines.
std::string output_coord_to_string( double** xtm, double** ytm, int n );

#endif
