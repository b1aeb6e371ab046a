// Initial alignments and the quick score that ranks them.
#include "alignment/InitialAlign.hh"

#include "alignment/AlignGeometry.hh"
#include "alignment/AlignState.hh"
#include "alignment/DPAlign.hh"
#include "alignment/Kabsch.hh"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

using namespace structalign;

namespace {

// Squared pair distances of get_score_fast, reused between calls.
std::vector< double > fast_d2;

// Superposes the pairs r1/r2 [0, n) into the global t, u and returns the
// TM-score sum over all n_all pairs xtm/ytm under it, recording the squared
// distances.
double superpose_and_sum( int n_sel, int n_all, double d02 )
{
	double rms;
	Kabsch( r1, r2, n_sel, 1, &rms, t, u );
	double* dis = fast_d2.data();
	double sum = 0.0;
	double const inv_d02 = 1.0 / d02;
	double xx[ 3 ];
	for ( int k = 0; k < n_all; ++k ) {
		transform( t, u, xtm[ k ], xx );
		dis[ k ] = dist( xx, ytm[ k ] );
		sum += 1.0 / ( 1.0 + dis[ k ] * inv_d02 );
	}
	return sum;
}

// Selects into r1/r2 the pairs with squared distance <= c, where c starts at
// c0 and grows by 0.5 (squared A) while fewer than 3 are selected and n > 3.
// Returns the count.
int select_within( int n, double c0 )
{
	double const* dis = fast_d2.data();
	double c = c0;
	int count = 0;
	for ( int k = 0; k < n; ++k ) {
		if ( dis[ k ] <= c ) ++count;
	}
	if ( count < 3 && n > 3 ) {
		// Only the third-smallest distance decides where the widening stops.
		double third = HUGE_VAL;
		int const usable = third_smallest_finite( dis, n, &third );
		if ( usable >= 3 ) {
			if ( third - c > 1e8 ) {
				c = third;  // pairs this far apart: select the three nearest at once
			} else {
				while ( !( third <= c ) ) c += 0.5;
			}
		}
	}
	int sel = 0;
	for ( int k = 0; k < n; ++k ) {
		if ( dis[ k ] <= c ) {
			for ( int q = 0; q < 3; ++q ) {
				r1[ sel ][ q ] = xtm[ k ][ q ];
				r2[ sel ][ q ] = ytm[ k ][ q ];
			}
			++sel;
		}
	}
	return sel;
}

int search_jump( int len )
{
	int jump = 15;
	if ( len > 250 ) jump = 45;
	else if ( len > 200 ) jump = 35;
	else if ( len > 150 ) jump = 25;
	if ( jump > len / 3 ) jump = len / 3;
	// A zero jump would never advance (chains of fewer than 3 residues).
	return jump < 1 ? 1 : jump;
}

void fill_score_matrix( double** x, double** y, int x_len, int y_len, int* y2x, bool with_sec )
{
	double d01 = d0 + 1.5;
	if ( d01 < D0_MIN ) d01 = D0_MIN;
	double const d02 = d01 * d01;

	int k = 0;
	for ( int j = 0; j < y_len; ++j ) {
		int const i = y2x[ j ];
		if ( i >= 0 && k < minlen ) {
			for ( int q = 0; q < 3; ++q ) {
				r1[ k ][ q ] = x[ i ][ q ];
				r2[ k ][ q ] = y[ j ][ q ];
			}
			++k;
		}
	}
	double tl[ 3 ], ul[ 3 ][ 3 ], rms;
	Kabsch( r1, r2, k, 1, &rms, tl, ul );

	double xx[ 3 ];
	for ( int i = 0; i < x_len; ++i ) {
		transform( tl, ul, x[ i ], xx );
		double* row = score[ i + 1 ];
		for ( int j = 0; j < y_len; ++j ) {
			double const dd = dist( xx, y[ j ] );
			double s = 1.0 / ( 1.0 + dd / d02 );
			if ( with_sec && secx[ i ] == secy[ j ] ) s += 0.5;
			row[ j + 1 ] = s;
		}
	}
}

} // namespace

double get_score_fast( double** x, double** y, int x_len, int y_len, int* invmap )
{
	int n = 0;
	for ( int j = 0; j < y_len; ++j ) {
		int const i = invmap[ j ];
		if ( i >= 0 ) {
			if ( n >= minlen ) continue;
			for ( int q = 0; q < 3; ++q ) {
				r1[ n ][ q ] = xtm[ n ][ q ] = x[ i ][ q ];
				r2[ n ][ q ] = ytm[ n ][ q ] = y[ j ][ q ];
			}
			++n;
		} else if ( i < -1 ) {
			std::printf( "Wrong map\n" );
		}
	}
	if ( static_cast< int >( fast_d2.size() ) < n ) fast_d2.resize( n );
	double const d02 = d0 * d0;

	double const score0 = superpose_and_sum( n, n, d02 );

	double const c1 = d0_search * d0_search;
	int sel = select_within( n, c1 );
	if ( sel == n ) return score0;
	double const score1 = superpose_and_sum( sel, n, d02 );

	sel = select_within( n, c1 + 1.0 );
	double const score2 = superpose_and_sum( sel, n, d02 );

	double best = score0;
	if ( score1 > best ) best = score1;
	if ( score2 > best ) best = score2;
	return best;
}

double get_initial( double** x, double** y, int x_len, int y_len, int* y2x )
{
	int const aL = std::min( x_len, y_len );
	if ( aL <= 5 ) std::printf( "Sequence is too short <=5!\n" );

	int const min_ali = std::max( aL / 2, 5 );
	int const k_first = min_ali - y_len;
	int const k_last = x_len - min_ali;
	double best = -1.0;
	int k_best = k_first;
	for ( int k = k_first; k <= k_last; ++k ) {
		for ( int j = 0; j < y_len; ++j ) {
			int const i = j + k;
			y2x[ j ] = ( i >= 0 && i < x_len ) ? i : -1;
		}
		double const s = get_score_fast( x, y, x_len, y_len, y2x );
		if ( s >= best ) {  // a tie goes to the later shift
			best = s;
			k_best = k;
		}
	}
	for ( int j = 0; j < y_len; ++j ) {
		int const i = j + k_best;
		y2x[ j ] = ( i >= 0 && i < x_len ) ? i : -1;
	}
	return best;
}

int sec_str( double dis13, double dis14, double dis15, double dis24, double dis25, double dis35 )
{
	double const delta = 2.1;
	if ( std::fabs( dis15 - 6.37 ) < delta && std::fabs( dis14 - 5.18 ) < delta
		&& std::fabs( dis25 - 5.18 ) < delta && std::fabs( dis13 - 5.45 ) < delta
		&& std::fabs( dis24 - 5.45 ) < delta && std::fabs( dis35 - 5.45 ) < delta ) {
		return 2;
	}
	double const delta_s = 1.42;
	if ( std::fabs( dis15 - 13.0 ) < delta_s && std::fabs( dis14 - 10.4 ) < delta_s
		&& std::fabs( dis25 - 10.4 ) < delta_s && std::fabs( dis13 - 6.1 ) < delta_s
		&& std::fabs( dis24 - 6.1 ) < delta_s && std::fabs( dis35 - 6.1 ) < delta_s ) {
		return 4;
	}
	if ( dis15 < 8.0 ) return 3;
	return 1;
}

void make_sec( double** x, int len, int* sec )
{
	for ( int i = 0; i < len; ++i ) sec[ i ] = 1;
	for ( int i = 2; i < len - 2; ++i ) {
		int const j1 = i - 2, j2 = i - 1, j3 = i, j4 = i + 1, j5 = i + 2;
		double const d13 = distance( x[ j1 ], x[ j3 ] );
		double const d14 = distance( x[ j1 ], x[ j4 ] );
		double const d15 = distance( x[ j1 ], x[ j5 ] );
		double const d24 = distance( x[ j2 ], x[ j4 ] );
		double const d25 = distance( x[ j2 ], x[ j5 ] );
		double const d35 = distance( x[ j3 ], x[ j5 ] );
		sec[ i ] = sec_str( d13, d14, d15, d24, d25, d35 );
	}
}

void smooth( int* sec, int len )
{
	for ( int i = 2; i < len - 2; ++i ) {
		if ( sec[ i ] == 2 || sec[ i ] == 4 ) {
			int const j = sec[ i ];
			if ( sec[ i - 2 ] != j && sec[ i - 1 ] != j && sec[ i + 1 ] != j && sec[ i + 2 ] != j ) {
				sec[ i ] = 1;
			}
		}
	}
	for ( int i = 0; i < len - 5; ++i ) {
		for ( int code : { 2, 4 } ) {
			if ( sec[ i ] != code && sec[ i + 1 ] != code && sec[ i + 2 ] == code
				&& sec[ i + 3 ] == code && sec[ i + 4 ] != code && sec[ i + 5 ] != code ) {
				sec[ i + 2 ] = 1;
				sec[ i + 3 ] = 1;
			}
		}
	}
	for ( int i = 0; i < len - 2; ++i ) {
		if ( sec[ i ] == 2 && sec[ i + 1 ] != 2 && sec[ i + 2 ] == 2 ) sec[ i + 1 ] = 2;
		else if ( sec[ i ] == 4 && sec[ i + 1 ] != 4 && sec[ i + 2 ] == 4 ) sec[ i + 1 ] = 4;
	}
}

void get_initial_ss( double** x, double** y, int x_len, int y_len, int* y2x )
{
	make_sec( x, x_len, secx );
	make_sec( y, y_len, secy );
	NWDP_TM( secx, secy, x_len, y_len, -1.0, y2x );
}

bool get_initial5( double** x, double** y, int x_len, int y_len, int* y2x )
{
	int const aL = std::min( x_len, y_len );
	// Fewer than 3 residues leave no fragment of length >= 1.
	if ( aL < 3 ) return false;

	double d01 = d0 + 1.5;
	if ( d01 < D0_MIN ) d01 = D0_MIN;
	double const d02 = d01 * d01;
	double best = 0.0;
	bool found = false;
	std::vector< int > invmap( y_len + 1 );

	int const jump_x = search_jump( x_len );
	int const jump_y = search_jump( y_len );
	int frag[ 2 ] = { 20, 100 };
	if ( frag[ 0 ] > aL / 3 ) frag[ 0 ] = aL / 3;
	if ( frag[ 1 ] > aL / 2 ) frag[ 1 ] = aL / 2;

	double tl[ 3 ], ul[ 3 ][ 3 ], rms;
	for ( int L : frag ) {
		if ( L < 1 ) continue;
		for ( int i = 0; i <= x_len - L; i += jump_x ) {
			for ( int j = 0; j <= y_len - L; j += jump_y ) {
				for ( int k = 0; k < L; ++k ) {
					for ( int q = 0; q < 3; ++q ) {
						r1[ k ][ q ] = x[ k + i ][ q ];
						r2[ k ][ q ] = y[ k + j ][ q ];
					}
				}
				Kabsch( r1, r2, L, 1, &rms, tl, ul );
				NWDP_TM( x, y, x_len, y_len, tl, ul, d02, 0.0, invmap.data() );
				double const s = get_score_fast( x, y, x_len, y_len, invmap.data() );
				if ( s > best ) {
					best = s;
					for ( int jj = 0; jj < y_len; ++jj ) y2x[ jj ] = invmap[ jj ];
					found = true;
				}
			}
		}
	}
	return found;
}

void score_matrix_rmsd( double** x, double** y, int x_len, int y_len, int* y2x )
{
	fill_score_matrix( x, y, x_len, y_len, y2x, false );
}

void score_matrix_rmsd_sec( double** x, double** y, int x_len, int y_len, int* y2x )
{
	fill_score_matrix( x, y, x_len, y_len, y2x, true );
}

void get_initial_ssplus( double** x, double** y, int x_len, int y_len, int* y2x0, int* y2x )
{
	score_matrix_rmsd_sec( x, y, x_len, y_len, y2x0 );
	NWDP_TM( x_len, y_len, -1.0, y2x );
}

void find_max_frag( double** x, int* resno, int len, int* start_max, int* end_max )
{
	int const r_min = std::min( len / 3, 4 );
	if ( r_min < 1 ) return;

	double const dcu02 = dcu0 * dcu0;
	double cut = dcu02;
	int widenings = 0;

	// Largest usable link: once the cut-off exceeds it, further widening
	// cannot change the scan (and with NaN links it would never end).
	double max_link = -1.0;
	for ( int i = 1; i < len; ++i ) {
		double const d = dist( x[ i - 1 ], x[ i ] );
		if ( d > max_link ) max_link = d;
	}

	for ( ;; ) {
		int best = 0, run = 1, start = 0;
		bool const first = ( widenings == 0 );
		for ( int i = 1; i < len; ++i ) {
			double const d = dist( x[ i - 1 ], x[ i ] );
			bool accepted = d < cut;
			if ( accepted && first ) accepted = ( resno[ i ] == resno[ i - 1 ] + 1 );
			if ( accepted ) {
				++run;
				if ( i == len - 1 ) {
					if ( run > best ) {
						best = run;
						*start_max = start;
						*end_max = i;
					}
					run = 1;
				}
			} else {
				if ( run > best ) {
					best = run;
					*start_max = start;
					*end_max = i - 1;
				}
				run = 1;
				start = i;
			}
		}
		if ( best >= r_min ) break;
		if ( !first && !( cut <= max_link ) ) break;
		++widenings;
		double const c = std::pow( 1.1, widenings ) * dcu0;
		cut = c * c;
	}
}

double get_initial_fgt( double** x, double** y, int x_len, int y_len, int* xresno_in, int* yresno_in,
	int* y2x )
{
	// An empty chain has no residue to thread.
	if ( x_len < 1 || y_len < 1 ) return -1.0;
	int xstart = 0, xend = 0, ystart = 0, yend = 0;
	find_max_frag( x, xresno_in, x_len, &xstart, &xend );
	find_max_frag( y, yresno_in, y_len, &ystart, &yend );

	int const Lx = xend - xstart + 1;
	int const Ly = yend - ystart + 1;
	int L_fr = std::min( Lx, Ly );
	bool const from_x = ( Lx < Ly ) || ( Lx == Ly && x_len <= y_len );
	int const start = from_x ? xstart : ystart;

	std::vector< int > ifr( L_fr > 0 ? L_fr : 0 );
	for ( int k = 0; k < L_fr; ++k ) ifr[ k ] = start + k;

	if ( L_fr == std::min( x_len, y_len ) ) {
		// The fragment is a whole chain: keep its central part.
		int const c_first = L_fr / 10;
		int const c_last = 89 * L_fr / 100;
		if ( c_first > c_last ) {
			L_fr = 0;
		} else {
			L_fr = c_last - c_first + 1;
			for ( int k = 0; k < L_fr; ++k ) ifr[ k ] = ifr[ k + c_first ];
		}
	}

	double best = -1.0;
	std::vector< int > map( y_len + 1 );
	if ( from_x ) {
		int const min_ali = std::max( 2 * std::min( L_fr, y_len ) / 5, 3 );
		for ( int k = min_ali - y_len; k <= L_fr - min_ali; ++k ) {
			for ( int j = 0; j < y_len; ++j ) {
				int const m = j + k;
				map[ j ] = ( m >= 0 && m < L_fr ) ? ifr[ m ] : -1;
			}
			double const s = get_score_fast( x, y, x_len, y_len, map.data() );
			if ( s >= best ) {  // a tie goes to the later shift
				best = s;
				for ( int j = 0; j < y_len; ++j ) y2x[ j ] = map[ j ];
			}
		}
	} else {
		int const min_ali = std::max( 2 * std::min( x_len, L_fr ) / 5, 3 );
		for ( int k = min_ali - L_fr; k <= x_len - min_ali; ++k ) {
			for ( int j = 0; j < y_len; ++j ) map[ j ] = -1;
			for ( int j = 0; j < L_fr; ++j ) {
				int const m = j + k;
				if ( m >= 0 && m < x_len ) map[ ifr[ j ] ] = m;
			}
			double const s = get_score_fast( x, y, x_len, y_len, map.data() );
			if ( s >= best ) {
				best = s;
				for ( int j = 0; j < y_len; ++j ) y2x[ j ] = map[ j ];
			}
		}
	}
	return best;
}
