// TM-score of aligned pairs and its search over superpositions.
#include "alignment/TMscoreSearch.hh"

#include "alignment/AlignGeometry.hh"
#include "alignment/AlignState.hh"
#include "alignment/Kabsch.hh"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <immintrin.h>
#include <unordered_map>
#include <vector>

using namespace structalign;

namespace {

// Squared pair distances of the current scoring, reused between calls.
std::vector< double > pair_d2;

// Smallest widening step inc >= 1 for which (d + 0.5 inc)^2 exceeds s3,
// the third-smallest squared distance: the point where stepping the
// cut-off by 0.5 A ends with three pairs selected.  Returns -1 when that
// would take an absurd number of steps (distances beyond any structure).
long long widening_steps( double d, double s3 )
{
	double const reach = std::sqrt( s3 ) - d;
	if ( !( reach < 1e7 ) ) return -1;
	long long inc = static_cast< long long >( std::floor( 2.0 * reach ) ) - 2;
	if ( inc < 1 ) inc = 1;
	// Settle the estimate with the exact test used when stepping.
	while ( inc > 1 ) {
		double const c = d + 0.5 * ( inc - 1 );
		if ( c * c > s3 ) --inc;
		else break;
	}
	for ( ;; ) {
		double const c = d + 0.5 * inc;
		if ( c * c > s3 ) return inc;
		++inc;
	}
}

// With fewer than 3 of the n_ali pairs (pair_d2) selected by the cut-off d
// and n_ali >= 4, the cut-off grows by 0.5 A steps until 3 pairs lie closer
// than it; the selection is made again with that cut-off.  Returns the
// count of the selection in i_ali.
int widen_selection( int n_ali, double d, int* i_ali, int n_cut )
{
	if ( n_cut >= 3 || n_ali < 4 ) return n_cut;
	double const* di = pair_d2.data();

	// Only the third-smallest distance decides where the widening stops.
	double third = HUGE_VAL;
	int const finite = third_smallest_finite( di, n_ali, &third );
	if ( finite < 3 ) return n_cut;
	long long const inc = widening_steps( d, third );
	if ( inc < 0 ) return n_cut;
	double const cutoff = d + 0.5 * inc;
	double const c2 = cutoff * cutoff;
	n_cut = 0;
	for ( int k = 0; k < n_ali; ++k ) {
		if ( di[ k ] < c2 ) i_ali[ n_cut++ ] = k;
	}
	return n_cut;
}

// Scores squared distances pair_d2[0..n_ali): the selection of pairs closer
// than d (widened while fewer than 3 are selected and n_ali >= 4) and the
// TM-score sum, which does not depend on the cut-off.
int select_and_sum( int n_ali, double d, int* i_ali, double* sum_out, int score_sum_method )
{
	double const inv_d02 = 1.0 / ( d0 * d0 );
	double const d8sq = score_d8 * score_d8;
	double const* di = pair_d2.data();
	double sum = 0.0;
	if ( score_sum_method == 8 ) {
		for ( int k = 0; k < n_ali; ++k ) {
			if ( di[ k ] <= d8sq ) sum += 1.0 / ( 1.0 + di[ k ] * inv_d02 );
		}
	} else {
		for ( int k = 0; k < n_ali; ++k ) sum += 1.0 / ( 1.0 + di[ k ] * inv_d02 );
	}
	*sum_out = sum;

	double const c2 = d * d;
	int n_cut = 0;
	for ( int k = 0; k < n_ali; ++k ) {
		// Written unconditionally (n_cut <= k stays inside the list), kept
		// only for a close pair.
		i_ali[ n_cut ] = k;
		n_cut += ( di[ k ] < c2 );
	}
	return widen_selection( n_ali, d, i_ali, n_cut );
}

void fill_pair_d2( double** xa, double** ya, int n_ali )
{
	if ( static_cast< int >( pair_d2.size() ) < n_ali ) pair_d2.resize( n_ali );
	for ( int k = 0; k < n_ali; ++k ) pair_d2[ k ] = dist( xa[ k ], ya[ k ] );
}

// The pairs of one search laid out by coordinate, and the same as rows of
// four (x0, x1, x2, 1) and (y0, y1, y2, 0); reused between calls.
std::vector< double > pair_soa;
std::vector< double > pair_px;
std::vector< double > pair_py;

typedef double v4d __attribute__( ( vector_size( 32 ) ) );

// Hash of a selection of pairs: the count and the sum of a multiplicative
// mix of each index, so that it can be summed up while the selection is
// made.  Selections with equal hashes are compared in full.
inline std::uint64_t mix_index( std::uint64_t k ) { return ( k + 1 ) * 0x9E3779B97F4A7C15ULL; }
inline std::uint64_t hash_of_mixed( std::uint64_t mixed_sum, int n )
{
	return mixed_sum + static_cast< std::uint64_t >( n ) * 0xC2B2AE3D27D4EB4FULL;
}
std::uint64_t selection_hash( int const* sel, int n )
{
	std::uint64_t h = 0;
	for ( int k = 0; k < n; ++k ) h += mix_index( static_cast< std::uint64_t >( sel[ k ] ) );
	return hash_of_mixed( h, n );
}

// Moves the n x points by (tt, uu), records the squared distances to their
// y partners in di, and in the same pass adds up the TM-score terms
// 1/(1 + d^2 r), r = 1/d02, in pair order (only pairs with d^2 <= d8sq when use_d8)
// and selects into i_ali the pairs with d^2 < c2; returns their count and
// the hash of the selection.
// Four pairs are moved and measured at a time (each lane computes exactly
// the scalar expressions), the sum and the selection run over them in order.
int measure_score_select_plain( double const* __restrict P, int n, double const* __restrict tt,
	double const* __restrict uu, double d02, bool use_d8, double d8sq, double c2, double* __restrict di,
	int* __restrict i_ali, double* sum_out, std::uint64_t* hash_out )
{
	std::uint64_t h = 0;
	double const* X0 = P;
	double const* X1 = P + n;
	double const* X2 = P + 2 * n;
	double const* Y0 = P + 3 * n;
	double const* Y1 = P + 4 * n;
	double const* Y2 = P + 5 * n;
#define SPLAT( v ) v4d{ ( v ), ( v ), ( v ), ( v ) }
	v4d const u00 = SPLAT( uu[ 0 ] ), u01 = SPLAT( uu[ 1 ] ), u02 = SPLAT( uu[ 2 ] );
	v4d const u10 = SPLAT( uu[ 3 ] ), u11 = SPLAT( uu[ 4 ] ), u12 = SPLAT( uu[ 5 ] );
	v4d const u20 = SPLAT( uu[ 6 ] ), u21 = SPLAT( uu[ 7 ] ), u22 = SPLAT( uu[ 8 ] );
	v4d const t0 = SPLAT( tt[ 0 ] ), t1 = SPLAT( tt[ 1 ] ), t2 = SPLAT( tt[ 2 ] );
	v4d const vr = SPLAT( 1.0 / d02 ), one = SPLAT( 1.0 );
#undef SPLAT
	double sum = 0.0;
	int n_cut = 0;
	int k = 0;
	for ( ; k + 4 <= n; k += 4 ) {
		v4d x0, x1, x2, y0, y1, y2;
		__builtin_memcpy( &x0, X0 + k, sizeof x0 );
		__builtin_memcpy( &x1, X1 + k, sizeof x1 );
		__builtin_memcpy( &x2, X2 + k, sizeof x2 );
		__builtin_memcpy( &y0, Y0 + k, sizeof y0 );
		__builtin_memcpy( &y1, Y1 + k, sizeof y1 );
		__builtin_memcpy( &y2, Y2 + k, sizeof y2 );
		v4d const p0 = u00 * x0 + u01 * x1 + u02 * x2 + t0;
		v4d const p1 = u10 * x0 + u11 * x1 + u12 * x2 + t1;
		v4d const p2 = u20 * x0 + u21 * x1 + u22 * x2 + t2;
		v4d const a = p0 - y0, b = p1 - y1, c = p2 - y2;
		v4d const dd = a * a + b * b + c * c;
		v4d const tm = one / ( one + dd * vr );
		__builtin_memcpy( di + k, &dd, sizeof dd );
		for ( int l = 0; l < 4; ++l ) {
			// A far pair adds +0.0, which leaves the sum as it is.
			sum += use_d8 ? ( ( dd[ l ] <= d8sq ) ? tm[ l ] : 0.0 ) : tm[ l ];
			bool const close = dd[ l ] < c2;
			i_ali[ n_cut ] = k + l;
			n_cut += close;
			h += mix_index( static_cast< std::uint64_t >( k + l ) ) & -static_cast< std::uint64_t >( close );
		}
	}
	for ( ; k < n; ++k ) {
		double const p0 = uu[ 0 ] * X0[ k ] + uu[ 1 ] * X1[ k ] + uu[ 2 ] * X2[ k ] + tt[ 0 ];
		double const p1 = uu[ 3 ] * X0[ k ] + uu[ 4 ] * X1[ k ] + uu[ 5 ] * X2[ k ] + tt[ 1 ];
		double const p2 = uu[ 6 ] * X0[ k ] + uu[ 7 ] * X1[ k ] + uu[ 8 ] * X2[ k ] + tt[ 2 ];
		double const a = p0 - Y0[ k ], b = p1 - Y1[ k ], c = p2 - Y2[ k ];
		double const dd = a * a + b * b + c * c;
		double const tm = 1.0 / ( 1.0 + dd * ( 1.0 / d02 ) );
		di[ k ] = dd;
		sum += use_d8 ? ( ( dd <= d8sq ) ? tm : 0.0 ) : tm;
		bool const close = dd < c2;
		i_ali[ n_cut ] = k;
		n_cut += close;
		h += mix_index( static_cast< std::uint64_t >( k ) ) & -static_cast< std::uint64_t >( close );
	}
	*sum_out = sum;
	*hash_out = hash_of_mixed( h, n_cut );
	return n_cut;
}

// Indices (0 .. 3) of the set lanes of a 4-bit mask, packed to the front.
alignas( 16 ) std::int32_t const lane_pack[ 16 ][ 4 ] = { { 0, 0, 0, 0 }, { 0, 0, 0, 0 }, { 1, 0, 0, 0 }, { 0, 1, 0, 0 },
	{ 2, 0, 0, 0 }, { 0, 2, 0, 0 }, { 1, 2, 0, 0 }, { 0, 1, 2, 0 }, { 3, 0, 0, 0 }, { 0, 3, 0, 0 }, { 1, 3, 0, 0 },
	{ 0, 1, 3, 0 }, { 2, 3, 0, 0 }, { 0, 2, 3, 0 }, { 1, 2, 3, 0 }, { 0, 1, 2, 3 } };

// The same with AVX2 intrinsics: the lanes compute the expressions above in
// the same order, the sum still runs pair by pair, the selection is packed
// four at a time (n_cut <= k, so the four-index store stays below k + 4 <= n)
// and the hash terms are summed per lane (sums modulo 2^64 in any order).
__attribute__( ( target( "avx2" ) ) )
int measure_score_select_avx2( double const* __restrict P, int n, double const* __restrict tt,
	double const* __restrict uu, double d02, bool use_d8, double d8sq, double c2, double* __restrict di,
	int* __restrict i_ali, double* sum_out, std::uint64_t* hash_out )
{
	double const* X0 = P;
	double const* X1 = P + n;
	double const* X2 = P + 2 * n;
	double const* Y0 = P + 3 * n;
	double const* Y1 = P + 4 * n;
	double const* Y2 = P + 5 * n;
	__m256d const u00 = _mm256_set1_pd( uu[ 0 ] ), u01 = _mm256_set1_pd( uu[ 1 ] ), u02 = _mm256_set1_pd( uu[ 2 ] );
	__m256d const u10 = _mm256_set1_pd( uu[ 3 ] ), u11 = _mm256_set1_pd( uu[ 4 ] ), u12 = _mm256_set1_pd( uu[ 5 ] );
	__m256d const u20 = _mm256_set1_pd( uu[ 6 ] ), u21 = _mm256_set1_pd( uu[ 7 ] ), u22 = _mm256_set1_pd( uu[ 8 ] );
	__m256d const t0 = _mm256_set1_pd( tt[ 0 ] ), t1 = _mm256_set1_pd( tt[ 1 ] ), t2 = _mm256_set1_pd( tt[ 2 ] );
	double const inv_d02 = 1.0 / d02;
	__m256d const vr = _mm256_set1_pd( inv_d02 ), one = _mm256_set1_pd( 1.0 );
	__m256d const vc2 = _mm256_set1_pd( c2 );
	__m256d const vd8 = _mm256_set1_pd( d8sq );
	__m256i mix = _mm256_setr_epi64x( static_cast< long long >( mix_index( 0 ) ),
		static_cast< long long >( mix_index( 1 ) ), static_cast< long long >( mix_index( 2 ) ),
		static_cast< long long >( mix_index( 3 ) ) );
	__m256i const mix_step = _mm256_set1_epi64x( static_cast< long long >( 4 * 0x9E3779B97F4A7C15ULL ) );
	__m256i hv = _mm256_setzero_si256();
	double sum = 0.0;
	int n_cut = 0;
	int k = 0;
	for ( ; k + 4 <= n; k += 4 ) {
		__m256d const x0 = _mm256_loadu_pd( X0 + k ), x1 = _mm256_loadu_pd( X1 + k ), x2 = _mm256_loadu_pd( X2 + k );
		__m256d const p0 = _mm256_add_pd( _mm256_add_pd( _mm256_add_pd( _mm256_mul_pd( u00, x0 ), _mm256_mul_pd( u01, x1 ) ),
			_mm256_mul_pd( u02, x2 ) ), t0 );
		__m256d const p1 = _mm256_add_pd( _mm256_add_pd( _mm256_add_pd( _mm256_mul_pd( u10, x0 ), _mm256_mul_pd( u11, x1 ) ),
			_mm256_mul_pd( u12, x2 ) ), t1 );
		__m256d const p2 = _mm256_add_pd( _mm256_add_pd( _mm256_add_pd( _mm256_mul_pd( u20, x0 ), _mm256_mul_pd( u21, x1 ) ),
			_mm256_mul_pd( u22, x2 ) ), t2 );
		__m256d const a = _mm256_sub_pd( p0, _mm256_loadu_pd( Y0 + k ) );
		__m256d const b = _mm256_sub_pd( p1, _mm256_loadu_pd( Y1 + k ) );
		__m256d const c = _mm256_sub_pd( p2, _mm256_loadu_pd( Y2 + k ) );
		__m256d const dd = _mm256_add_pd( _mm256_add_pd( _mm256_mul_pd( a, a ), _mm256_mul_pd( b, b ) ), _mm256_mul_pd( c, c ) );
		__m256d tm = _mm256_div_pd( one, _mm256_add_pd( one, _mm256_mul_pd( dd, vr ) ) );
		_mm256_storeu_pd( di + k, dd );
		// A far pair adds +0.0, which leaves the sum as it is.
		if ( use_d8 ) tm = _mm256_and_pd( tm, _mm256_cmp_pd( dd, vd8, _CMP_LE_OQ ) );
		alignas( 32 ) double terms[ 4 ];
		_mm256_store_pd( terms, tm );
		sum += terms[ 0 ];
		sum += terms[ 1 ];
		sum += terms[ 2 ];
		sum += terms[ 3 ];
		__m256d const close = _mm256_cmp_pd( dd, vc2, _CMP_LT_OQ );
		int const mask = _mm256_movemask_pd( close );
		__m128i const idx = _mm_add_epi32( _mm_set1_epi32( k ),
			_mm_load_si128( reinterpret_cast< __m128i const* >( lane_pack[ mask ] ) ) );
		_mm_storeu_si128( reinterpret_cast< __m128i* >( i_ali + n_cut ), idx );
		n_cut += __builtin_popcount( static_cast< unsigned >( mask ) );
		hv = _mm256_add_epi64( hv, _mm256_and_si256( mix, _mm256_castpd_si256( close ) ) );
		mix = _mm256_add_epi64( mix, mix_step );
	}
	alignas( 32 ) std::uint64_t hl[ 4 ];
	_mm256_store_si256( reinterpret_cast< __m256i* >( hl ), hv );
	std::uint64_t h = hl[ 0 ] + hl[ 1 ] + hl[ 2 ] + hl[ 3 ];
	for ( ; k < n; ++k ) {
		double const p0 = uu[ 0 ] * X0[ k ] + uu[ 1 ] * X1[ k ] + uu[ 2 ] * X2[ k ] + tt[ 0 ];
		double const p1 = uu[ 3 ] * X0[ k ] + uu[ 4 ] * X1[ k ] + uu[ 5 ] * X2[ k ] + tt[ 1 ];
		double const p2 = uu[ 6 ] * X0[ k ] + uu[ 7 ] * X1[ k ] + uu[ 8 ] * X2[ k ] + tt[ 2 ];
		double const a = p0 - Y0[ k ], b = p1 - Y1[ k ], c = p2 - Y2[ k ];
		double const dd = a * a + b * b + c * c;
		double const tm = 1.0 / ( 1.0 + dd * inv_d02 );
		di[ k ] = dd;
		sum += use_d8 ? ( ( dd <= d8sq ) ? tm : 0.0 ) : tm;
		bool const close = dd < c2;
		i_ali[ n_cut ] = k;
		n_cut += close;
		h += mix_index( static_cast< std::uint64_t >( k ) ) & -static_cast< std::uint64_t >( close );
	}
	*sum_out = sum;
	*hash_out = hash_of_mixed( h, n_cut );
	return n_cut;
}

// Read during static initialisation, so the processor data are set up first.
bool const have_avx2_search = ( __builtin_cpu_init(), __builtin_cpu_supports( "avx2" ) );
bool vector_search = true;

int measure_score_select( double const* P, int n, double const* tt, double const* uu, double d02, bool use_d8,
	double d8sq, double c2, double* di, int* i_ali, double* sum_out, std::uint64_t* hash_out )
{
	if ( have_avx2_search && vector_search )
		return measure_score_select_avx2( P, n, tt, uu, d02, use_d8, d8sq, c2, di, i_ali, sum_out, hash_out );
	return measure_score_select_plain( P, n, tt, uu, d02, use_d8, d8sq, c2, di, i_ali, sum_out, hash_out );
}

// The sums a superposition needs (see Kabsch_from_sums) over the pairs
// first .. first + n - 1, or over the pairs idx[0 .. n-1] when idx is given.
// Lane i of row accumulator a_i sums y_i x_j (j < 3) and y_i * 1 = y_i
// (lane 3); a3 sums x.  Every sum runs over the pairs in order, exactly as
// Kabsch accumulates them.
__attribute__( ( target_clones( "avx2", "default" ) ) )
void pair_sums( double const* __restrict PX, double const* __restrict PY, int const* __restrict idx, int first,
	int n, double* __restrict out )
{
	v4d a0 = { 0.0, 0.0, 0.0, 0.0 }, a1 = a0, a2 = a0, a3 = a0;
	for ( int k = 0; k < n; ++k ) {
		int const m = idx ? idx[ k ] : first + k;
		v4d X;
		__builtin_memcpy( &X, PX + 4 * m, sizeof X );
		double const* y = PY + 4 * m;
		a0 += v4d{ y[ 0 ], y[ 0 ], y[ 0 ], y[ 0 ] } * X;
		a1 += v4d{ y[ 1 ], y[ 1 ], y[ 1 ], y[ 1 ] } * X;
		a2 += v4d{ y[ 2 ], y[ 2 ], y[ 2 ], y[ 2 ] } * X;
		a3 += X;
	}
	__builtin_memcpy( out, &a0, sizeof a0 );
	__builtin_memcpy( out + 4, &a1, sizeof a1 );
	__builtin_memcpy( out + 8, &a2, sizeof a2 );
	__builtin_memcpy( out + 12, &a3, sizeof a3 );
}

// Refinement steps already taken within one search, found by selection hash.  A step superposes on
// a selection of pairs, scores all pairs and selects the close ones again;
// within one search it is a pure function of the selection it starts from.
// Seeds next to each other mostly run into the same selections, so each
// step is recorded (score, superposition, next selection) and taken from
// the record when a later seed reaches the same selection.
class RefinementSteps {
public:
	struct Step {
		int from_offset, from_count;
		int next_offset, next_count;
		std::uint64_t next_hash;
		double score;
		double t[ 3 ];
		double u[ 3 ][ 3 ];
	};

	void clear()
	{
		index_.clear();
		pool_.clear();
		steps_.clear();
	}

	Step const* find( int const* sel, int n, std::uint64_t h ) const
	{
		auto const range = index_.equal_range( h );
		for ( auto it = range.first; it != range.second; ++it ) {
			Step const& e = steps_[ it->second ];
			if ( e.from_count == n && std::equal( sel, sel + n, pool_.begin() + e.from_offset ) ) return &e;
		}
		return nullptr;
	}

	void add( int const* from, int n_from, std::uint64_t h_from, int const* next, int n_next, std::uint64_t h_next,
		double score, double const t[3], double const u[3][3] )
	{
		Step e;
		e.from_offset = static_cast< int >( pool_.size() );
		e.from_count = n_from;
		pool_.insert( pool_.end(), from, from + n_from );
		e.next_offset = static_cast< int >( pool_.size() );
		e.next_count = n_next;
		e.next_hash = h_next;
		pool_.insert( pool_.end(), next, next + n_next );
		e.score = score;
		for ( int i = 0; i < 3; ++i ) {
			e.t[ i ] = t[ i ];
			for ( int j = 0; j < 3; ++j ) e.u[ i ][ j ] = u[ i ][ j ];
		}
		index_.emplace( h_from, static_cast< int >( steps_.size() ) );
		steps_.push_back( e );
	}

	int const* selection( int offset ) const { return pool_.data() + offset; }

private:
	std::unordered_multimap< std::uint64_t, int > index_;
	std::vector< int > pool_;
	std::vector< Step > steps_;
};

RefinementSteps refinement_steps;

// Superposition (mode 1) of the pairs chosen as for pair_sums.
void superpose_pairs( int const* idx, int first, int n, double tt[3], double uu[3][3] )
{
	double acc[ 16 ];
	pair_sums( pair_px.data(), pair_py.data(), idx, first, n, acc );
	double const s1[ 3 ] = { acc[ 12 ], acc[ 13 ], acc[ 14 ] };
	double const s2[ 3 ] = { acc[ 3 ], acc[ 7 ], acc[ 11 ] };
	double const sxy[ 3 ][ 3 ] = { { acc[ 0 ], acc[ 1 ], acc[ 2 ] }, { acc[ 4 ], acc[ 5 ], acc[ 6 ] },
		{ acc[ 8 ], acc[ 9 ], acc[ 10 ] } };
	double rms;
	Kabsch_from_sums( n, 1, s1, s2, sxy, 0.0, &rms, tt, uu );
}

int score_common( double** xa, double** ya, int n_ali, double d, int* i_ali, double* score1,
	int score_sum_method, bool standard )
{
	if ( n_ali <= 0 ) {
		*score1 = 0.0;
		return 0;
	}
	fill_pair_d2( xa, ya, n_ali );
	double sum;
	int const n = select_and_sum( n_ali, d, i_ali, &sum, score_sum_method );
	*score1 = sum / ( standard ? static_cast< double >( n_ali ) : Lnorm );
	return n;
}

double search_common( double** xtm_in, double** ytm_in, int Lali, double t0[3], double u0[3][3],
	int simplify_step, int score_sum_method, double* Rcomm, double local_d0_search, bool standard )
{
	// Seed lengths: Lali, Lali/2, /4, /8, /16 down to min(Lali, 4).
	int const L_min = Lali < 4 ? Lali : 4;
	double const factor[ 5 ] = { 1.0, 0.5, 0.25, 0.125, 0.0625 };
	int L_ini[ 6 ];
	int n_init = 0;
	bool closed = false;
	for ( int k = 0; k < 5; ++k ) {
		int const L = static_cast< int >( Lali * factor[ k ] );
		if ( L <= L_min ) {
			L_ini[ n_init++ ] = L_min;
			closed = true;
			break;
		}
		L_ini[ n_init++ ] = L;
	}
	if ( !closed ) L_ini[ n_init++ ] = L_min;

	std::vector< int > i_ali( Lali > 0 ? Lali : 1 ), k_ali( Lali > 0 ? Lali : 1 );
	int const nl = Lali > 0 ? Lali : 0;
	if ( static_cast< int >( pair_soa.size() ) < 6 * nl ) pair_soa.resize( 6 * nl );
	if ( static_cast< int >( pair_d2.size() ) < nl ) pair_d2.resize( nl );
	if ( static_cast< int >( pair_px.size() ) < 4 * nl ) {
		pair_px.resize( 4 * nl );
		pair_py.resize( 4 * nl );
	}
	for ( int k = 0; k < nl; ++k ) {
		for ( int c = 0; c < 3; ++c ) {
			pair_soa[ c * nl + k ] = xtm_in[ k ][ c ];
			pair_soa[ ( 3 + c ) * nl + k ] = ytm_in[ k ][ c ];
			pair_px[ 4 * k + c ] = xtm_in[ k ][ c ];
			pair_py[ 4 * k + c ] = ytm_in[ k ][ c ];
		}
		pair_px[ 4 * k + 3 ] = 1.0;
		pair_py[ 4 * k + 3 ] = 0.0;
	}
	double const d02 = d0 * d0;
	double const d8sq = score_d8 * score_d8;
	double best = -1.0;
	double tt[ 3 ], uu[ 3 ][ 3 ];
	double const norm = standard ? static_cast< double >( Lali ) : Lnorm;

	refinement_steps.clear();
	auto keep_if_better = [&]( double sc, double const tk[3], double const uk[3][3] ) {
		if ( sc > best ) {
			best = sc;
			for ( int i = 0; i < 3; ++i ) {
				t0[ i ] = tk[ i ];
				for ( int j = 0; j < 3; ++j ) u0[ i ][ j ] = uk[ i ][ j ];
			}
		}
	};

	// Scores the superposition in tt, uu with the selection cut-off d; keeps
	// it when strictly better than the best so far.
	double sc = 0.0;
	std::uint64_t sel_hash = hash_of_mixed( 0, 0 );  // of the selection in i_ali
	auto score_here = [&]( double d ) -> int {
		int n_cut = 0;
		if ( Lali <= 0 ) {
			sc = 0.0;
			sel_hash = hash_of_mixed( 0, 0 );
		} else {
			double sum;
			n_cut = measure_score_select( pair_soa.data(), Lali, tt, &uu[ 0 ][ 0 ], d02, score_sum_method == 8, d8sq,
				d * d, pair_d2.data(), i_ali.data(), &sum, &sel_hash );
			int const widened = widen_selection( Lali, d, i_ali.data(), n_cut );
			if ( widened != n_cut ) {
				n_cut = widened;
				sel_hash = selection_hash( i_ali.data(), n_cut );
			}
			sc = sum / norm;
		}
		keep_if_better( sc, tt, uu );
		return n_cut;
	};

	for ( int i_init = 0; i_init < n_init; ++i_init ) {
		int const L = L_ini[ i_init ];
		int const i_max = Lali - L;
		int i = 0;
		for ( ;; ) {
			superpose_pairs( nullptr, i, L, tt, uu );
			if ( simplify_step != 1 ) *Rcomm = 0.0;
			int n_cut = score_here( local_d0_search - 1.0 );

			// Re-superpose on the close pairs until the selection repeats.
			for ( int it = 0; it < 20; ++it ) {
				int const ka = n_cut;
				std::uint64_t const ka_hash = sel_hash;
				for ( int k = 0; k < n_cut; ++k ) k_ali[ k ] = i_ali[ k ];
				if ( RefinementSteps::Step const* e = refinement_steps.find( k_ali.data(), ka, ka_hash ) ) {
					// A step taken before: the same score, superposition and selection.
					keep_if_better( e->score, e->t, e->u );
					n_cut = e->next_count;
					sel_hash = e->next_hash;
					int const* next = refinement_steps.selection( e->next_offset );
					std::copy( next, next + n_cut, i_ali.begin() );
				} else {
					superpose_pairs( k_ali.data(), 0, ka, tt, uu );
					n_cut = score_here( local_d0_search + 1.0 );
					refinement_steps.add( k_ali.data(), ka, ka_hash, i_ali.data(), n_cut, sel_hash, sc, tt, uu );
				}
				if ( n_cut == ka && std::equal( i_ali.begin(), i_ali.begin() + n_cut, k_ali.begin() ) ) break;
			}

			if ( i < i_max ) {
				i += simplify_step;
				if ( i > i_max ) i = i_max;
			} else {
				break;
			}
		}
	}
	return best;
}

int build_pairs( double** x, double** y, int y_len, int* invmap0 )
{
	int k = 0;
	for ( int j = 0; j < y_len; ++j ) {
		int const i = invmap0[ j ];
		if ( i >= 0 && k < minlen ) {
			for ( int c = 0; c < 3; ++c ) {
				xtm[ k ][ c ] = x[ i ][ c ];
				ytm[ k ][ c ] = y[ j ][ c ];
			}
			++k;
		}
	}
	return k;
}

} // namespace

int score_fun8( double** xa, double** ya, int n_ali, double d, int* i_ali, double* score1,
	int score_sum_method )
{
	return score_common( xa, ya, n_ali, d, i_ali, score1, score_sum_method, false );
}

int score_fun8_standard( double** xa, double** ya, int n_ali, double d, int* i_ali, double* score1,
	int score_sum_method )
{
	return score_common( xa, ya, n_ali, d, i_ali, score1, score_sum_method, true );
}

double TMscore8_search( double** xtm_in, double** ytm_in, int Lali, double t0[3], double u0[3][3],
	int simplify_step, int score_sum_method, double* Rcomm, double local_d0_search )
{
	return search_common( xtm_in, ytm_in, Lali, t0, u0, simplify_step, score_sum_method, Rcomm,
		local_d0_search, false );
}

double TMscore8_search_standard( double** xtm_in, double** ytm_in, int Lali, double t0[3],
	double u0[3][3], int simplify_step, int score_sum_method, double* Rcomm, double local_d0_search )
{
	return search_common( xtm_in, ytm_in, Lali, t0, u0, simplify_step, score_sum_method, Rcomm,
		local_d0_search, true );
}

double detailed_search( double** x, double** y, int x_len, int y_len, int* invmap0, double t_out[3],
	double u_out[3][3], int simplify_step, int score_sum_method, double local_d0_search )
{
	int const k = build_pairs( x, y, y_len, invmap0 );
	double rmsd = 0.0;
	return TMscore8_search( xtm, ytm, k, t_out, u_out, simplify_step, score_sum_method, &rmsd,
		local_d0_search );
}

double detailed_search_standard( double** x, double** y, int x_len, int y_len, int* invmap0,
	double t_out[3], double u_out[3][3], int simplify_step, int score_sum_method,
	double local_d0_search, bool const& normalize )
{
	int const k = build_pairs( x, y, y_len, invmap0 );
	double rmsd = 0.0;
	double tmscore = TMscore8_search_standard( xtm, ytm, k, t_out, u_out, simplify_step,
		score_sum_method, &rmsd, local_d0_search );
	if ( normalize ) tmscore = ( k > 0 ) ? tmscore * k / Lnorm : 0.0;
	return tmscore;
}

double standard_TMscore( double** x, double** y, int x_len, int y_len, int* invmap, int& L_ali,
	double& RMSD )
{
	Lnorm = y_len;
	D0_MIN = 0.5;
	d0 = ( y_len > 21 ) ? 1.24 * std::cbrt( y_len - 15 ) - 1.8 : 0.5;
	if ( d0 < 0.5 ) d0 = 0.5;

	int n = 0;
	for ( int j = 0; j < y_len; ++j ) {
		int const i = invmap[ j ];
		if ( i >= 0 ) {
			if ( n >= minlen ) continue;
			for ( int c = 0; c < 3; ++c ) {
				xtm[ n ][ c ] = x[ i ][ c ];
				ytm[ n ][ c ] = y[ j ][ c ];
				r1[ n ][ c ] = x[ i ][ c ];
				r2[ n ][ c ] = y[ j ][ c ];
			}
			++n;
		} else if ( i < -1 ) {
			std::printf( "Wrong map!\n" );
		}
	}
	L_ali = n;
	double rms = 0.0;
	Kabsch( r1, r2, n, 0, &rms, t, u );
	RMSD = ( n > 0 ) ? std::sqrt( rms / n ) : 0.0;

	d0_search = d0;
	double rmsd = 0.0;
	double const tmscore = TMscore8_search_standard( xtm, ytm, n, t, u, 1, 0, &rmsd, d0_search );
	return ( Lnorm > 0 ) ? tmscore * n / Lnorm : 0.0;
}

void TMscore_use_vector_search( bool on ) { vector_search = on; }
