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
		__m256d const m = _mm256_max_pd( d, h );  // h when d is NaN
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
// The same with the per-cell terms made four at a time and the choices
// taken by blends (the same values).
__attribute__( ( target( "avx2" ) ) )
void nw_row_gap_avx2( double const* s, double const* vp, bool const* pp, double* vc, bool* pc, int len2,
	double gap_open )
{
	double* D = row_d.data();
	double* M = row_m.data();
	double* DH = row_dh.data();
	double* G = row_g.data();
	__m256d const gap = _mm256_set1_pd( gap_open );
	int j = 1;
	for ( ; j + 3 <= len2; j += 4 ) {
		__m256d const d = _mm256_add_pd( _mm256_loadu_pd( vp + j - 1 ), _mm256_loadu_pd( s + j ) );
		std::int32_t flags;
		std::memcpy( &flags, pp + j, 4 );
		__m256i const wide = _mm256_cvtepu8_epi64( _mm_cvtsi32_si128( flags ) );
		__m256d const ended = _mm256_castsi256_pd( _mm256_cmpgt_epi64( wide, _mm256_setzero_si256() ) );
		__m256d const hv = _mm256_loadu_pd( vp + j );
		__m256d const h = _mm256_blendv_pd( hv, _mm256_add_pd( hv, gap ), ended );
		_mm256_storeu_pd( D + j, d );
		_mm256_storeu_pd( M + j, _mm256_max_pd( d, h ) );
		_mm256_storeu_pd( DH + j, _mm256_cmp_pd( d, h, _CMP_GE_OQ ) );
		_mm256_storeu_pd( G + j, _mm256_add_pd( d, gap ) );
	}
	for ( ; j <= len2; ++j ) {
		__m128d const d = _mm_set_sd( vp[ j - 1 ] + s[ j ] );
		__m128d const h = _mm_set_sd( pp[ j ] ? vp[ j ] + gap_open : vp[ j ] );
		_mm_store_sd( D + j, d );
		_mm_store_sd( M + j, _mm_max_sd( d, h ) );
		_mm_store_sd( DH + j, _mm_cmpge_sd( d, h ) );
		G[ j ] = D[ j ] + gap_open;
	}
	__m128d v = _mm_set_sd( pc[ 0 ] ? vc[ 0 ] + gap_open : vc[ 0 ] );
	for ( j = 1; j <= len2; ++j ) {
		__m128d const d = _mm_load_sd( D + j );
		__m128d const diag = _mm_and_pd( _mm_cmple_sd( v, d ), _mm_load_sd( DH + j ) );
		__m128d const mv = _mm_max_sd( _mm_load_sd( M + j ), v );
		_mm_store_sd( vc + j, _mm_blendv_pd( mv, d, diag ) );
		pc[ j ] = _mm_movemask_pd( diag ) & 1;
		v = _mm_blendv_pd( mv, _mm_load_sd( G + j ), diag );
	}
}

void nw_row( double const* s, double const* vp, bool const* pp, double* vc, bool* pc, int len2,
	double gap_open )
{
	if ( gap_open == 0.0 ) {
		nw_row_nogap( s, vp, vc, pc, len2 );
		return;
	}
	if ( have_avx2 && vector_rows ) {
		nw_row_gap_avx2( s, vp, pp, vc, pc, len2, gap_open );
		return;
	}
	double* D = row_d.data();
	for ( int j = 1; j <= len2; ++j ) D[ j ] = vp[ j - 1 ] + s[ j ];
	// M = max(d, h) (h when the score is NaN, so that such a cell takes
	// max(v, h) as the recurrence does); DH = all-ones where d >= h; G = d + gap.
	double* M = row_m.data();
	double* DH = row_dh.data();
	double* G = row_g.data();
	for ( int j = 1; j <= len2; ++j ) {
		__m128d const d = _mm_load_sd( D + j );
		__m128d const h = _mm_set_sd( pp[ j ] ? vp[ j ] + gap_open : vp[ j ] );
		_mm_store_sd( M + j, _mm_max_sd( d, h ) );
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

// AVX2 with FMA: the match score of the coordinate forms uses fused
// multiply-adds, so the vector forms need both.
bool const have_avx2_fma = ( __builtin_cpu_init(), __builtin_cpu_supports( "avx2" ) && __builtin_cpu_supports( "fma" ) );

// Match scores of four points against p (x, y, z broadcast): the lanes do
// exactly what tm_cell_score does (same operations, same order).
__attribute__( ( target( "avx2,fma" ) ) ) inline __m256d score4( __m256d px, __m256d py, __m256d pz, __m256d yx,
	__m256d yy, __m256d yz, __m256d inv_d02, __m256d one )
{
	__m256d const a = _mm256_sub_pd( px, yx );
	__m256d const b = _mm256_sub_pd( py, yy );
	__m256d const c = _mm256_sub_pd( pz, yz );
	__m256d const dd = _mm256_fmadd_pd( a, a, _mm256_fmadd_pd( b, b, _mm256_mul_pd( c, c ) ) );
	return _mm256_div_pd( one, _mm256_fmadd_pd( dd, inv_d02, one ) );
}

// tm_cell_score with the fused multiply-adds done by the processor (the
// same correctly rounded results as the library's fma, without the calls).
__attribute__( ( target( "fma" ) ) ) double cell_score_fma( double const* p, double const* q, double inv_d02 )
{
	double const a = p[ 0 ] - q[ 0 ];
	double const b = p[ 1 ] - q[ 1 ];
	double const c = p[ 2 ] - q[ 2 ];
	double const dd = __builtin_fma( a, a, __builtin_fma( b, b, c * c ) );
	return 1.0 / __builtin_fma( dd, inv_d02, 1.0 );
}

// Match scores of the point p against n points given by coordinate.
__attribute__( ( target( "avx2,fma" ) ) )
void tm_row_scores_avx2( double const* yx, double const* yy, double const* yz, int n, double const* p,
	double inv_d02, double* out )
{
	__m256d const px = _mm256_set1_pd( p[ 0 ] ), py = _mm256_set1_pd( p[ 1 ] ), pz = _mm256_set1_pd( p[ 2 ] );
	__m256d const vr = _mm256_set1_pd( inv_d02 ), one = _mm256_set1_pd( 1.0 );
	int j = 0;
	for ( ; j + 4 <= n; j += 4 ) {
		_mm256_storeu_pd( out + j, score4( px, py, pz, _mm256_loadu_pd( yx + j ), _mm256_loadu_pd( yy + j ),
			_mm256_loadu_pd( yz + j ), vr, one ) );
	}
	for ( ; j < n; ++j ) {
		double const q[ 3 ] = { yx[ j ], yy[ j ], yz[ j ] };
		out[ j ] = tm_cell_score( p, q, inv_d02 );
	}
}

void tm_row_scores( double const* yx, double const* yy, double const* yz, int n, double const* p, double inv_d02,
	double* out )
{
	if ( have_avx2_fma ) {
		tm_row_scores_avx2( yx, yy, yz, n, p, inv_d02, out );
		return;
	}
	for ( int j = 0; j < n; ++j ) {
		double const q[ 3 ] = { yx[ j ], yy[ j ], yz[ j ] };
		out[ j ] = tm_cell_score( p, q, inv_d02 );
	}
}

// Gap-free alignment under a superposition, by segments.  Without a gap
// penalty a row is a running maximum: val[i][j] = max(val[i][j-1],
// val[i-1][j-1] + s[j], val[i-1][j]).  The S = len2/4 (rounded up) columns
// are cut into four segments of S, one per vector lane (stored interleaved:
// column l*S + t + 1 at 4t + l).  A segment needs the value left of its first
// column, which the segment before gives at its end; so the lanes run
// staggered: sweep w computes row w - l in lane l, and every lane reads the
// ends of the lane before from the two sweeps before.  Sweep w is stored as
// one row of the table (rows outside 1 .. len1 hold zeros or are never
// read).  Maxima select values, so every value equals that of the
// cell-by-cell recurrence; the trace-back recomputes its few decisions from
// the values and scores.  Padding cells (beyond len2) lie right of every
// real cell and never reach one.
std::vector< double > seg_store;   // sweeps -1 .. len1 + 3, 4S each
std::vector< double > seg_y;       // y by coordinate, interleaved like a row
std::vector< double > seg_x;       // x moved by (t, u), three per row, then zeros
std::vector< int > seg_col;        // per column: position in a row, segment

inline int seg_pos( int j, int S )  // position of column j >= 1
{
	int const k = j - 1;
	return 4 * ( k % S ) + k / S;
}

// One sweep in the plain form: lane l moves point p[l] (three each) along
// its segment; w1 and w2 are the two sweeps before, wc the new one.
void seg_sweep_plain( double const* ys, int S, double const* const* p, double inv_d02, double const* w2,
	double const* w1, double* wc )
{
	int const e = 4 * ( S - 1 );
	for ( int l = 0; l < 4; ++l ) {
		double left = ( l > 0 ) ? w2[ e + l - 1 ] : 0.0;
		double run = ( l > 0 ) ? w1[ e + l - 1 ] : 0.0;
		for ( int t = 0; t < S; ++t ) {
			int const q = 4 * t + l;
			double const yq[ 3 ] = { ys[ q ], ys[ 4 * S + q ], ys[ 8 * S + q ] };
			double const up = w1[ q ];
			double const d = left + tm_cell_score( p[ l ], yq, inv_d02 );
			double const m = ( d > up ) ? d : up;  // a NaN score loses
			run = ( m > run ) ? m : run;
			wc[ q ] = run;
			left = up;
		}
	}
}

__attribute__( ( target( "avx2,fma" ) ) )
void seg_sweep_avx2( double const* ys, int S, double const* const* p, double inv_d02, double const* w2,
	double const* w1, double* wc )
{
	__m256d const px = _mm256_setr_pd( p[ 0 ][ 0 ], p[ 1 ][ 0 ], p[ 2 ][ 0 ], p[ 3 ][ 0 ] );
	__m256d const py = _mm256_setr_pd( p[ 0 ][ 1 ], p[ 1 ][ 1 ], p[ 2 ][ 1 ], p[ 3 ][ 1 ] );
	__m256d const pz = _mm256_setr_pd( p[ 0 ][ 2 ], p[ 1 ][ 2 ], p[ 2 ][ 2 ], p[ 3 ][ 2 ] );
	__m256d const vr = _mm256_set1_pd( inv_d02 ), one = _mm256_set1_pd( 1.0 );
	double const* yx = ys;
	double const* yy = ys + 4 * S;
	double const* yz = ys + 8 * S;
	int const e = 4 * ( S - 1 );
	// Lane l starts from the ends of lane l - 1 (0 for lane 0).
	__m256d left = _mm256_blend_pd( _mm256_permute4x64_pd( _mm256_load_pd( w2 + e ), 0x90 ), _mm256_setzero_pd(), 0x1 );
	__m256d run = _mm256_blend_pd( _mm256_permute4x64_pd( _mm256_load_pd( w1 + e ), 0x90 ), _mm256_setzero_pd(), 0x1 );
	for ( int t = 0; t < S; ++t ) {
		int const q = 4 * t;
		__m256d const s = score4( px, py, pz, _mm256_load_pd( yx + q ), _mm256_load_pd( yy + q ),
			_mm256_load_pd( yz + q ), vr, one );
		__m256d const up = _mm256_load_pd( w1 + q );
		__m256d const d = _mm256_add_pd( left, s );
		// max(d, up) returns d when d > up, else up (so also when d is NaN).
		run = _mm256_max_pd( _mm256_max_pd( d, up ), run );
		_mm256_store_pd( wc + q, run );
		left = up;
	}
}

double* aligned32( double* p )
{
	while ( ( reinterpret_cast< std::uintptr_t >( p ) & 31 ) != 0 ) ++p;
	return p;
}

void nwdp_nogap_coords( double** x, double** y, int len1, int len2, double t_in[3], double u_in[3][3],
	double inv_d02, int* j2i, double** val_rows )
{
	for ( int j = 0; j <= len2; ++j ) j2i[ j ] = -1;
	if ( len1 < 1 || len2 < 1 ) {
		if ( val_rows ) {
			for ( int i = 0; i <= len1; ++i )
				for ( int j = 0; j <= len2; ++j ) val_rows[ i ][ j ] = 0.0;
		}
		return;
	}
	int const S = ( len2 + 3 ) / 4;
	std::size_t const row = 4 * static_cast< std::size_t >( S );
	int const sweeps = len1 + 5;  // -1 .. len1 + 3
	std::size_t const cells = static_cast< std::size_t >( sweeps ) * row;
	if ( seg_store.size() < cells + 4 ) seg_store.resize( cells + 4 );
	if ( seg_y.size() < 3 * row + 4 ) seg_y.resize( 3 * row + 4 );
	if ( seg_x.size() < 3 * static_cast< std::size_t >( len1 + 1 ) ) seg_x.resize( 3 * ( len1 + 1 ) );

	double* ys = aligned32( seg_y.data() );
	for ( int l = 0; l < 4; ++l ) {
		for ( int t = 0; t < S; ++t ) {
			int const k = l * S + t;
			for ( int c = 0; c < 3; ++c ) ys[ c * row + 4 * t + l ] = ( k < len2 ) ? y[ k ][ c ] : 0.0;
		}
	}
	// W(w) is sweep w - 1; sweeps -1 and 0 (row 0 in every lane) are zero.
	double* W0 = aligned32( seg_store.data() );
	auto W = [&]( int sweep ) { return W0 + static_cast< std::size_t >( sweep + 1 ) * row; };
	for ( std::size_t q = 0; q < 2 * row; ++q ) W0[ q ] = 0.0;
	double* xs = seg_x.data();
	for ( int i = 1; i <= len1; ++i ) transform( t_in, u_in, x[ i - 1 ], xs + 3 * ( i - 1 ) );
	double* const x_none = xs + 3 * len1;  // lanes outside 1 .. len1
	x_none[ 0 ] = x_none[ 1 ] = x_none[ 2 ] = 0.0;
	bool const vec = have_avx2_fma && vector_rows;
	for ( int sw = 1; sw <= len1 + 3; ++sw ) {
		double const* p[ 4 ];
		for ( int l = 0; l < 4; ++l ) {
			int const r = sw - l;
			p[ l ] = ( r >= 1 && r <= len1 ) ? xs + 3 * ( r - 1 ) : x_none;
		}
		double* wc = W( sw );
		if ( vec ) seg_sweep_avx2( ys, S, p, inv_d02, W( sw - 2 ), W( sw - 1 ), wc );
		else seg_sweep_plain( ys, S, p, inv_d02, W( sw - 2 ), W( sw - 1 ), wc );
		// Lanes still before row 1 hold row 0: zeros.
		for ( int l = sw; l < 4; ++l ) {
			for ( int t = 0; t < S; ++t ) wc[ 4 * t + l ] = 0.0;
		}
	}

	// True value of cell (i, j); the position and segment of every column
	// are looked up (index 0 unused: column 0 is always 0).
	if ( seg_col.size() < 2 * static_cast< std::size_t >( len2 + 1 ) ) seg_col.resize( 2 * ( len2 + 1 ) );
	int* col_pos = seg_col.data();
	int* col_lane = col_pos + len2 + 1;
	for ( int j = 1; j <= len2; ++j ) {
		col_pos[ j ] = seg_pos( j, S );
		col_lane[ j ] = ( j - 1 ) / S;
	}
	auto value = [&]( int i, int j ) -> double {
		if ( i == 0 || j == 0 ) return 0.0;
		return W( i + col_lane[ j ] )[ col_pos[ j ] ];
	};
	if ( val_rows ) {
		for ( int i = 0; i <= len1; ++i )
			for ( int j = 0; j <= len2; ++j ) val_rows[ i ][ j ] = value( i, j );
	}

	int i = len1, j = len2;
	while ( i > 0 && j > 0 ) {
		double const yq[ 3 ] = { y[ j - 1 ][ 0 ], y[ j - 1 ][ 1 ], y[ j - 1 ][ 2 ] };
		double const sc = have_avx2_fma ? cell_score_fma( xs + 3 * ( i - 1 ), yq, inv_d02 )
		                                : tm_cell_score( xs + 3 * ( i - 1 ), yq, inv_d02 );
		double const d = value( i - 1, j - 1 ) + sc;
		double const h = value( i - 1, j );
		double const v = value( i, j - 1 );
		if ( d >= h && d >= v ) {
			j2i[ j - 1 ] = i - 1;
			--i;
			--j;
		} else if ( v >= h ) {
			--j;  // a tie moves along y
		} else {
			--i;
		}
	}
}

} // namespace

void NWDP_TM( double** x, double** y, int len1, int len2, double t_in[3], double u_in[3][3],
	double d02, double gap_open, int* j2i )
{
	double const inv_d02 = 1.0 / d02;
	if ( gap_open == 0.0 ) {
		nwdp_nogap_coords( x, y, len1, len2, t_in, u_in, inv_d02, j2i, nullptr );
		return;
	}
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
		tm_row_scores( yx, yy, yz, len2, xx, inv_d02, s + 1 );
		return s;
	} );
}

void NWDP_release_buffers()
{
	for ( std::vector< double >* v : { &seg_store, &seg_y, &seg_x, &row_score, &y_soa, &row_d, &row_m,
		      &row_dh, &row_g } ) {
		std::vector< double >().swap( *v );
	}
	std::vector< int >().swap( seg_col );
}

void NWDP_TM_nogap_rows( double** x, double** y, int len1, int len2, double t_in[3], double u_in[3][3],
	double d02, int* j2i, double** val_rows )
{
	nwdp_nogap_coords( x, y, len1, len2, t_in, u_in, 1.0 / d02, j2i, val_rows );
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
