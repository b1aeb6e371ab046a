// Dynamic-programming alignment on TM-score matrices.
#include "alignment/DPAlign.hh"

#include "alignment/AlignGeometry.hh"
#include "alignment/AlignState.hh"
#include "alignment/TMscoreSearch.hh"

#include <cmath>
#include <vector>

using namespace structalign;

namespace {

// Match scores of one row (index j = 1 .. len2) and the y chain laid out by
// coordinate, both reused between calls.
std::vector< double > row_score;
std::vector< double > y_soa;

// Fills val and path row by row; row_of(i) returns the match scores of x
// residue i against y residues 1 .. len2 (pointer indexed from 1), then
// traces the alignment back into j2i.
template < class RowOf >
void nw_align( int len1, int len2, double gap_open, int* j2i, RowOf row_of )
{
	val[ 0 ][ 0 ] = 0.0;
	for ( int i = 0; i <= len1; ++i ) {
		val[ i ][ 0 ] = 0.0;
		path[ i ][ 0 ] = false;
	}
	for ( int j = 0; j <= len2; ++j ) {
		val[ 0 ][ j ] = 0.0;
		path[ 0 ][ j ] = false;
		j2i[ j ] = -1;
	}

	for ( int i = 1; i <= len1; ++i ) {
		double const* s = row_of( i );
		double const* vp = val[ i - 1 ];
		bool const* pp = path[ i - 1 ];
		double* vc = val[ i ];
		bool* pc = path[ i ];
		double left = vc[ 0 ];
		bool left_diag = pc[ 0 ];
		for ( int j = 1; j <= len2; ++j ) {
			double const d = vp[ j - 1 ] + s[ j ];
			double const h = pp[ j ] ? vp[ j ] + gap_open : vp[ j ];
			double const v = left_diag ? left + gap_open : left;
			bool const diag = ( d >= h ) & ( d >= v );  // a tie goes to the diagonal
			double const hv = ( v >= h ) ? v : h;
			left = diag ? d : hv;
			left_diag = diag;
			vc[ j ] = left;
			pc[ j ] = diag;
		}
	}

	int i = len1, j = len2;
	while ( i > 0 && j > 0 ) {
		if ( path[ i ][ j ] ) {
			j2i[ j - 1 ] = i - 1;
			--i;
			--j;
		} else {
			double h = val[ i - 1 ][ j ];
			if ( path[ i - 1 ][ j ] ) h += gap_open;
			double v = val[ i ][ j - 1 ];
			if ( path[ i ][ j - 1 ] ) v += gap_open;
			if ( v >= h ) --j;  // a tie moves along y
			else --i;
		}
	}
}

double* row_buffer( int len2 )
{
	if ( static_cast< int >( row_score.size() ) < len2 + 1 ) row_score.resize( len2 + 1 );
	return row_score.data();
}

} // namespace

void NWDP_TM( int len1, int len2, double gap_open, int* j2i )
{
	nw_align( len1, len2, gap_open, j2i, []( int i ) -> double const* { return score[ i ]; } );
}

void NWDP_TM( double** x, double** y, int len1, int len2, double t_in[3], double u_in[3][3],
	double d02, double gap_open, int* j2i )
{
	double* s = row_buffer( len2 );
	if ( static_cast< int >( y_soa.size() ) < 3 * len2 ) y_soa.resize( 3 * len2 );
	double* yx = y_soa.data();
	double* yy = yx + len2;
	double* yz = yy + len2;
	for ( int j = 0; j < len2; ++j ) {
		yx[ j ] = y[ j ][ 0 ];
		yy[ j ] = y[ j ][ 1 ];
		yz[ j ] = y[ j ][ 2 ];
	}
	nw_align( len1, len2, gap_open, j2i, [&]( int i ) -> double const* {
		double xx[ 3 ];
		transform( t_in, u_in, x[ i - 1 ], xx );
		double* sj = s + 1;
		for ( int j = 0; j < len2; ++j ) {
			double const a = xx[ 0 ] - yx[ j ];
			double const b = xx[ 1 ] - yy[ j ];
			double const c = xx[ 2 ] - yz[ j ];
			double const dd = a * a + b * b + c * c;
			sj[ j ] = 1.0 / ( 1.0 + dd / d02 );
		}
		return s;
	} );
}

void NWDP_TM( int* secx_in, int* secy_in, int len1, int len2, double gap_open, int* j2i )
{
	double* s = row_buffer( len2 );
	nw_align( len1, len2, gap_open, j2i, [&]( int i ) -> double const* {
		int const si = secx_in[ i - 1 ];
		for ( int j = 1; j <= len2; ++j ) s[ j ] = ( si == secy_in[ j - 1 ] ) ? 1.0 : 0.0;
		return s;
	} );
}

double DP_iter( double** x, double** y, int x_len, int y_len, double t_io[3], double u_io[3][3],
	int* invmap0, int g1, int g2, int iteration_max, double local_d0_search )
{
	double const gap_open[ 2 ] = { -0.6, 0.0 };
	std::vector< int > invmap( y_len + 1 );
	double const d02 = d0 * d0;
	double best = -1.0;
	double previous = 0.0;
	double rmsd = 0.0;

	// Only the two gap penalties exist; other g values are skipped.
	for ( int g = g1 < 0 ? 0 : g1; g < g2 && g < 2; ++g ) {
		for ( int iteration = 0; iteration < iteration_max; ++iteration ) {
			NWDP_TM( x, y, x_len, y_len, t_io, u_io, d02, gap_open[ g ], invmap.data() );

			int k = 0;
			for ( int j = 0; j < y_len; ++j ) {
				int const i = invmap[ j ];
				if ( i >= 0 && k < minlen ) {
					for ( int c = 0; c < 3; ++c ) {
						xtm[ k ][ c ] = x[ i ][ c ];
						ytm[ k ][ c ] = y[ j ][ c ];
					}
					++k;
				}
			}

			double const tmscore = TMscore8_search( xtm, ytm, k, t_io, u_io, 40, 8, &rmsd, local_d0_search );
			if ( tmscore > best ) {
				best = tmscore;
				for ( int j = 0; j < y_len; ++j ) invmap0[ j ] = invmap[ j ];
			}
			if ( iteration > 0 && std::fabs( previous - tmscore ) < 1e-6 ) break;
			previous = tmscore;
		}
	}
	return best;
}
