// Needleman-Wunsch alignment of two CA chains over the working-set tables
// val and path, and its iteration with the superposition search.
// Gap rule: the gap-open penalty is charged only for a gap that starts right
// after a matched pair; gap extensions and end gaps are free.
// j2i receives, for every y residue j, the aligned x index or -1; it must
// hold len2 + 1 entries (entry len2 is set to -1 as well).
#ifndef QUILT_ALIGNMENT_DPALIGN_HH
#define QUILT_ALIGNMENT_DPALIGN_HH

// Match score of (i, j) from the working-set table score[i][j] (1-based).
void NWDP_TM( int len1, int len2, double gap_open, int* j2i );
#include <cmath>

// Match score 1/(1 + d^2/d02) of the points p and q given r = 1/d02, in the
// rounding every coordinate form uses: d^2 and 1 + d^2 r by fused
// multiply-adds, one division.
inline double tm_cell_score( double const* p, double const* q, double inv_d02 )
{
	double const a = p[ 0 ] - q[ 0 ];
	double const b = p[ 1 ] - q[ 1 ];
	double const c = p[ 2 ] - q[ 2 ];
	double const dd = std::fma( a, a, std::fma( b, b, c * c ) );
	return 1.0 / std::fma( dd, inv_d02, 1.0 );
}

// Match score tm_cell_score(x[i-1] moved by (t, u), y[j-1], 1/d02).  Without
// a gap penalty the tables val and path are not used (the rows are kept in
// a private table and the trace-back recomputes its decisions).
void NWDP_TM( double** x, double** y, int len1, int len2, double t[3], double u[3][3], double d02,
	double gap_open, int* j2i );
// The gap-free form above; when val_rows is not null it receives every row
// of values (rows 0 .. len1, columns 0 .. len2), for checking.
void NWDP_TM_nogap_rows( double** x, double** y, int len1, int len2, double t[3], double u[3][3], double d02,
	int* j2i, double** val_rows );
// Match score 1 when the secondary-structure codes agree, else 0.
void NWDP_TM( int* secx, int* secy, int len1, int len2, double gap_open, int* j2i );

// Gives back the row and table buffers the alignments keep between calls
// (the gap-free table is as large as val); called with the working set's
// release.
void NWDP_release_buffers();

// Gap-free rows are filled four cells at a time when the processor has
// AVX2; false forces the cell-by-cell form (same results; for tests).
void NWDP_use_vector_rows( bool on );

// Alternates dynamic programming under (t, u) with the superposition search
// (gap penalties -0.6 and 0 for g = g1 .. g2-1, at most iteration_max
// iterations each, until the score changes by less than 1e-6).  Returns the
// best TM-score; its alignment goes to invmap0 (untouched when none beats -1);
// t, u end as the superposition of the last search.
double DP_iter( double** x, double** y, int x_len, int y_len, double t[3], double u[3][3],
	int* invmap0, int g1, int g2, int iteration_max, double local_d0_search );

#endif
