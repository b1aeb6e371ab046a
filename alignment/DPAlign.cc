// Dynamic-programming alignment on TM-score matrices.
#include "alignment/DPAlign.hh"

#include "alignment/AlignGeometry.hh"
#include "alignment/AlignState.hh"
#include "alignment/TMscoreSearch.hh"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <immintrin.h>
#include <vector>

using namespace structalign;

namespace {

// Match scores of one row (index j = 1 .. len2), the y chain laid out by
// coordinate, and per cell of a row with gap penalty: d, max(d, h), the
// mask of d >= h and d + gap; all reused between calls.
std::vector< double > row_score;
std::vector< double > y_soa;
std::vector< double > row_d;
std::vector< double > row_m;
std::vector< double > row_dh;
std::vector< double > row_g;

// One row without gap penalty: val[i][j] = max(d, h, val[i][j-1]) is the
// running maximum of max(d, h) along the row; path = d >= h and
// d >= val[i][j-1].  Maxima pick values, so any order of taking them gives
// the result of the cell-by-cell recurrence.
void nw_row_nogap_plain( double const* s, double const* vp, double* vc, bool* pc, int j, int len2, double carry )
{
	for ( ; j <= len2; ++j ) {
		double const d = vp[ j - 1 ] + s[ j ];
		double const h = vp[ j ];
		pc[ j ] = ( d >= h ) & ( d >= carry );
		double const m = ( d >= h ) ? d : h;
		carry = ( m >= carry ) ? m : carry;
		vc[ j ] = carry;
	}
}

// Four path flags (bytes 0/1, little-endian) for each 4-bit mask.
std::uint32_t const flag_bytes[ 16 ] = { 0x00000000, 0x00000001, 0x00000100, 0x00000101, 0x00010000, 0x00010001,
	0x00010100, 0x00010101, 0x01000000, 0x01000001, 0x01000100, 0x01000101, 0x01010000, 0x01010001, 0x01010100,
	0x01010101 };

// The same four cells at a time: the maximum within a block by two shifted
// maxima, then the carry of the block before.
__attribute__( ( target( "avx2" ) ) )
void nw_row_nogap_avx2( double const* s, double const* vp, double* vc, bool* pc, int len2 )
{
	__m256d const low = _mm256_set1_pd( -HUGE_VAL );
	__m256d carry = _mm256_set1_pd( vc[ 0 ] );
	int j = 1;
	for ( ; j + 3 <= len2; j += 4 ) {
		__m256d const d = _mm256_add_pd( _mm256_loadu_pd( vp + j - 1 ), _mm256_loadu_pd( s + j ) );
		__m256d const h = _mm256_loadu_pd( vp + j );
		__m256d const dh = _mm256_cmp_pd( d, h, _CMP_GE_OQ );
		__m256d const m = _mm256_max_pd( h, d );
		__m256d const m1 = _mm256_blend_pd( _mm256_permute4x64_pd( m, 0x90 ), low, 0x1 );  // low, m0, m1, m2
		__m256d p = _mm256_max_pd( m, m1 );
		__m256d const p2 = _mm256_blend_pd( _mm256_permute4x64_pd( p, 0x40 ), low, 0x3 );  // low, low, p0, p1
		p = _mm256_max_pd( p, p2 );
		// Only the carry runs from block to block: the block's own maximum
		// (lane 3, broadcast) is ready before the carry arrives.
		__m256d const block_max = _mm256_permute4x64_pd( p, 0xFF );
		__m256d const out = _mm256_max_pd( p, carry );
		_mm256_storeu_pd( vc + j, out );
		__m256d const prev = _mm256_blend_pd( _mm256_permute4x64_pd( out, 0x90 ), carry, 0x1 );  // c, o0, o1, o2
		__m256d const diag = _mm256_and_pd( dh, _mm256_cmp_pd( d, prev, _CMP_GE_OQ ) );
		std::memcpy( pc + j, &flag_bytes[ _mm256_movemask_pd( diag ) ], 4 );
		carry = _mm256_max_pd( block_max, carry );
	}
	nw_row_nogap_plain( s, vp, vc, pc, j, len2, _mm256_cvtsd_f64( carry ) );
}

// Read during static initialisation, so the processor data are set up first.
bool const have_avx2 = ( __builtin_cpu_init(), __builtin_cpu_supports( "avx2" ) );
bool vector_rows = true;

void nw_row_nogap( double const* s, double const* vp, double* vc, bool* pc, int len2 )
{
	if ( have_avx2 && vector_rows ) nw_row_nogap_avx2( s, vp, vc, pc, len2 );
	else nw_row_nogap_plain( s, vp, vc, pc, 1, len2, vc[ 0 ] );
}

// One row of the recurrence.  For cell j, with v the value arriving from
// the left (val[i][j-1], plus the gap penalty when that cell ended in a
// pair), d = val[i-1][j-1] + match and h = val[i-1][j] (plus the penalty
// when that cell ended in a pair):
//   path = d >= h and d >= v (a tie goes to the diagonal)
//   val  = path ? d : max(v, h)
// Written so that only v carries from cell to cell: with m = max(d, h),
// val = path ? d : max(v, m), and the next v is d + gap after a pair, else
// max(v, m).
void nw_row( double const* s, double const* vp, bool const* pp, double* vc, bool* pc, int len2,
	double gap_open )
{
	if ( gap_open == 0.0 ) {
		nw_row_nogap( s, vp, vc, pc, len2 );
		return;
	}
	double* D = row_d.data();
	for ( int j = 1; j <= len2; ++j ) D[ j ] = vp[ j - 1 ] + s[ j ];
	// M = max(d, h); DH = all-ones where d >= h; G = d + gap.
	double* M = row_m.data();
	double* DH = row_dh.data();
	double* G = row_g.data();
	for ( int j = 1; j <= len2; ++j ) {
		__m128d const d = _mm_load_sd( D + j );
		__m128d const h = _mm_set_sd( pp[ j ] ? vp[ j ] + gap_open : vp[ j ] );
		_mm_store_sd( M + j, _mm_max_sd( h, d ) );
		_mm_store_sd( DH + j, _mm_cmpge_sd( d, h ) );
		G[ j ] = D[ j ] + gap_open;
	}
	__m128d v = _mm_set_sd( pc[ 0 ] ? vc[ 0 ] + gap_open : vc[ 0 ] );
	for ( int j = 1; j <= len2; ++j ) {
		__m128d const d = _mm_load_sd( D + j );
		__m128d const diag = _mm_and_pd( _mm_cmple_sd( v, d ), _mm_load_sd( DH + j ) );
		__m128d const mv = _mm_max_sd( _mm_load_sd( M + j ), v );
		_mm_store_sd( vc + j, _mm_or_pd( _mm_and_pd( diag, d ), _mm_andnot_pd( diag, mv ) ) );
		pc[ j ] = _mm_movemask_pd( diag ) & 1;
		v = _mm_or_pd( _mm_and_pd( diag, _mm_load_sd( G + j ) ), _mm_andnot_pd( diag, mv ) );
	}
}

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
	if ( static_cast< int >( row_d.size() ) < len2 + 1 ) {
		row_d.resize( len2 + 1 );
		row_m.resize( len2 + 1 );
		row_dh.resize( len2 + 1 );
		row_g.resize( len2 + 1 );
	}

	for ( int i = 1; i <= len1; ++i ) {
		nw_row( row_of( i ), val[ i - 1 ], path[ i - 1 ], val[ i ], path[ i ], len2, gap_open );
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

void NWDP_use_vector_rows( bool on ) { vector_rows = on; }

void NWDP_TM( int len1, int len2, double gap_open, int* j2i )
{
	nw_align( len1, len2, gap_open, j2i, []( int i ) -> double const* { return score[ i ]; } );
}

namespace {

typedef double v4d __attribute__( ( vector_size( 32 ) ) );

// Match scores 1/(1 + d^2/d02) of the point p against n points given by
// coordinate; four at a time (the arithmetic of each lane is that of the
// scalar formula, so the values are the same).  Built for AVX2 and for the
// baseline; the loader picks the one the processor runs.
__attribute__( ( target_clones( "avx2", "default" ) ) )
void tm_row_scores( double const* __restrict yx, double const* __restrict yy, double const* __restrict yz,
	int n, double px, double py, double pz, double d02, double* __restrict out )
{
	v4d const vx = { px, px, px, px };
	v4d const vy = { py, py, py, py };
	v4d const vz = { pz, pz, pz, pz };
	v4d const vd = { d02, d02, d02, d02 };
	v4d const one = { 1.0, 1.0, 1.0, 1.0 };
	int j = 0;
	for ( ; j + 4 <= n; j += 4 ) {
		v4d a, b, c;
		__builtin_memcpy( &a, yx + j, sizeof a );
		__builtin_memcpy( &b, yy + j, sizeof b );
		__builtin_memcpy( &c, yz + j, sizeof c );
		a = vx - a;
		b = vy - b;
		c = vz - c;
		v4d const dd = a * a + b * b + c * c;
		v4d const r = one / ( one + dd / vd );
		__builtin_memcpy( out + j, &r, sizeof r );
	}
	for ( ; j < n; ++j ) {
		double const a = px - yx[ j ];
		double const b = py - yy[ j ];
		double const c = pz - yz[ j ];
		double const dd = a * a + b * b + c * c;
		out[ j ] = 1.0 / ( 1.0 + dd / d02 );
	}
}

} // namespace

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
		tm_row_scores( yx, yy, yz, len2, xx[ 0 ], xx[ 1 ], xx[ 2 ], d02, s + 1 );
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
