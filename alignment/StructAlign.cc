// StructAlign: initial alignments, refinement, final superposition and
// TM-scores of x aligned onto y.
#include "alignment/StructAlign.hh"

#include "alignment/DPAlign.hh"
#include "alignment/InitialAlign.hh"
#include "alignment/TMscoreSearch.hh"

#include "core/basic_fun_Quilt.hh"

#include <cstdio>
#include <vector>

using namespace structalign;

void trim_aligned_region( std::vector< int > const& a, int& start, int& end )
{
	int const n = static_cast< int >( a.size() );
	if ( n == 0 ) {
		start = 0;
		end = -1;
		return;
	}
	if ( n < 4 ) {
		start = a[ 0 ];
		end = a[ n - 1 ];
		return;
	}
	if ( a[ 1 ] - a[ 0 ] > 9 ) start = a[ 1 ];
	else if ( a[ 2 ] - a[ 1 ] > 9 ) start = a[ 2 ];
	else if ( a[ 3 ] - a[ 2 ] > 9 ) start = a[ 3 ];
	else start = a[ 0 ];

	if ( a[ n - 1 ] - a[ n - 2 ] > 9 ) end = a[ n - 2 ];
	else if ( a[ n - 2 ] - a[ n - 3 ] > 9 ) end = a[ n - 3 ];
	else if ( a[ n - 3 ] - a[ n - 4 ] > 9 ) end = a[ n - 4 ];
	else end = a[ n - 1 ];

	// With few pairs both ends can call the other side isolated (0, 1, 2, 20:
	// start 20, end 2); such a region is empty, so nothing is dropped.
	if ( start > end ) {
		start = a[ 0 ];
		end = a[ n - 1 ];
	}
}

StructAlignResult StructAlign( int xlen, int ylen, double** x, double** y, int* xresno_in, int* yresno_in )
{
	parameter_set4search( xlen, ylen );
	std::vector< int > invmap0( ylen + 1, -1 );
	std::vector< int > invmap( ylen + 1, -1 );
	double const ddcc = ( Lnorm <= 40 ) ? 0.1 : 0.4;
	double const local_d0_search = d0_search;

	double TMmax = -1.0;
	auto keep_if_better = [&]( double TM ) {
		if ( TM > TMmax ) {
			for ( int j = 0; j < ylen; ++j ) invmap0[ j ] = invmap[ j ];
			TMmax = TM;
		}
	};
	auto search = [&]( int* map ) {
		return detailed_search( x, y, xlen, ylen, map, t, u, 40, 8, local_d0_search );
	};
	auto refine = [&]( int g1, int iterations ) {
		return DP_iter( x, y, xlen, ylen, t, u, invmap.data(), g1, 2, iterations, local_d0_search );
	};

	// Gapless threading.
	get_initial( x, y, xlen, ylen, invmap0.data() );
	double TM = search( invmap0.data() );
	if ( TM > TMmax ) TMmax = TM;
	TM = refine( 0, 30 );
	keep_if_better( TM );

	// Secondary-structure matching.
	make_sec( x, xlen, secx );
	make_sec( y, ylen, secy );
	NWDP_TM( secx, secy, xlen, ylen, -1.0, invmap.data() );
	TM = search( invmap.data() );
	keep_if_better( TM );
	if ( TM > TMmax * 0.2 ) {
		TM = refine( 0, 30 );
		keep_if_better( TM );
	}

	// Superposition of local fragments.
	if ( get_initial5( x, y, xlen, ylen, invmap.data() ) ) {
		TM = search( invmap.data() );
		keep_if_better( TM );
		if ( TM > TMmax * ddcc ) {
			TM = refine( 0, 2 );
			keep_if_better( TM );
		}
	} else {
		std::printf( "\n\nWarning: initial alignment from local superposition fail!\n\n\n" );
	}

	// Secondary structure plus distances under the best alignment so far.
	score_matrix_rmsd_sec( x, y, xlen, ylen, invmap0.data() );
	NWDP_TM( xlen, ylen, -1.0, invmap.data() );
	TM = search( invmap.data() );
	keep_if_better( TM );
	if ( TM > TMmax * ddcc ) {
		TM = refine( 0, 30 );
		keep_if_better( TM );
	}

	// Threading of the longest continuous fragment.
	get_initial_fgt( x, y, xlen, ylen, xresno_in, yresno_in, invmap.data() );
	TM = search( invmap.data() );
	keep_if_better( TM );
	if ( TM > TMmax * ddcc ) {
		TM = refine( 1, 2 );
		keep_if_better( TM );
	}

	bool aligned = false;
	for ( int j = 0; j < ylen; ++j ) {
		if ( invmap0[ j ] >= 0 ) {
			aligned = true;
			break;
		}
	}
	if ( !aligned ) {
		std::printf( "There is no alignment between the two proteins!\n" );
		std::printf( "Program stop with no result!\n" );
	}

	// Final superposition and the close pairs under it.
	detailed_search_standard( x, y, xlen, ylen, invmap0.data(), t, u, 1, 8, local_d0_search, false );
	do_rotation( x, xt, xlen, t, u );
	std::vector< int > ali_y, ali_x;
	for ( int j = 0; j < ylen; ++j ) {
		int const i = invmap0[ j ];
		if ( i < 0 ) continue;
		double const d = distance( xt[ i ], y[ j ] );
		if ( d <= score_d8 && static_cast< int >( ali_y.size() ) < minlen ) {
			int const k = static_cast< int >( ali_y.size() );
			ali_x.push_back( i );
			ali_y.push_back( j );
			for ( int q = 0; q < 3; ++q ) {
				xtm[ k ][ q ] = x[ i ][ q ];
				ytm[ k ][ q ] = y[ j ][ q ];
				r1[ k ][ q ] = xt[ i ][ q ];
				r2[ k ][ q ] = y[ j ][ q ];
			}
		}
	}
	int const n_ali8 = static_cast< int >( ali_y.size() );

	StructAlignResult r;
	trim_aligned_region( ali_y, r.start, r.end );

	double t0[ 3 ], u0[ 3 ][ 3 ], rmsd = 0.0;
	parameter_set4final( ylen );
	d0A = d0;
	r.tm_y = TMscore8_search( xtm, ytm, n_ali8, t0, u0, 1, 0, &rmsd, d0_search );

	parameter_set4final( xlen );
	d0B = d0;
	r.tm_x = TMscore8_search( xtm, ytm, n_ali8, t, u, 1, 0, &rmsd, d0_search );

	r.t = new double[ 3 ];
	r.u = new2DArr( 3, 3 );
	for ( int i = 0; i < 3; ++i ) {
		r.t[ i ] = t0[ i ];
		for ( int j = 0; j < 3; ++j ) r.u[ i ][ j ] = u0[ i ][ j ];
	}
	r.n_ali8 = n_ali8;
	r.ali_y = new int[ n_ali8 ];
	r.ali_x = new int[ n_ali8 ];
	for ( int k = 0; k < n_ali8; ++k ) {
		r.ali_y[ k ] = ali_y[ k ];
		r.ali_x[ k ] = ali_x[ k ];
	}

	free_alignment_tables();
	return r;
}

StructAlignResult StructAlign( int xlen, int ylen, double** x, double** y, int* xresno_in, int* yresno_in,
	char* /*seqx*/, char* /*seqy*/ )
{
	return StructAlign( xlen, ylen, x, y, xresno_in, yresno_in );
}

void release_StructAlignResult( StructAlignResult& r )
{
	delete[] r.t;
	r.t = nullptr;
	if ( r.u ) release2DArr( 3, r.u );
	r.u = nullptr;
	delete[] r.ali_y;
	r.ali_y = nullptr;
	delete[] r.ali_x;
	r.ali_x = nullptr;
}
