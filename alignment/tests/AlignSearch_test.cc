// TM-score of aligned pairs, its superposition search, and the
// dynamic-programming alignment with its gap rule.
#include "alignment/DPAlign.hh"
#include "alignment/StructAlign.hh"
#include "alignment/TMscoreSearch.hh"

#include "alignment/tests/ca_trace_maker.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

using namespace structalign;
using namespace align_test;

namespace {

// A working set for two chains, released when the test ends.
struct WorkingSet {
	WorkingSet( int xl, int yl ) { load_PDB_allocate_memory( xl, yl, xl, yl ); }
	~WorkingSet() { free_memory(); }
};

// Pairs along x: point k of xa at (k*10, 0, 0), of ya moved by off[k] in y.
struct Pairs {
	Trace xa, ya;
	Pairs( std::vector< double > const& off )
	{
		for ( std::size_t k = 0; k < off.size(); ++k ) {
			xa.push_back( { 10.0 * k, 0.0, 0.0 } );
			ya.push_back( { 10.0 * k, off[ k ], 0.0 } );
		}
	}
};

} // namespace

TEST( ScoreFun8, SumsAndSelectsWithTheirOwnCutoffs )
{
	parameter_set4search( 100, 100 );
	Lnorm = 10.0;
	d0 = 2.0;
	score_d8 = 3.0;
	// Pair distances 0, 1, exactly score_d8, 4, exactly the cut-off 2.5, 0.2.
	Pairs p( { 0.0, 1.0, 3.0, 4.0, 2.5, 0.2 } );
	RawTrace xa( p.xa ), ya( p.ya );
	int sel[ 6 ];
	double s = 0.0;
	int const n = score_fun8( xa.xyz(), ya.xyz(), 6, 2.5, sel, &s, 8 );
	// The pair at the selection cut-off is not selected...
	ASSERT_EQ( n, 3 );
	EXPECT_EQ( sel[ 0 ], 0 );
	EXPECT_EQ( sel[ 1 ], 1 );
	EXPECT_EQ( sel[ 2 ], 5 );
	// ... while the pair exactly at score_d8 still adds to the sum.
	double const sum8 = 1.0 + 1.0 / ( 1.0 + 1.0 / 4.0 ) + 1.0 / ( 1.0 + 9.0 / 4.0 ) + 1.0 / ( 1.0 + 6.25 / 4.0 )
		+ 1.0 / ( 1.0 + 0.04 / 4.0 );
	EXPECT_NEAR( s, sum8 / 10.0, 1e-14 );
	// Every pair adds with another method.
	score_fun8( xa.xyz(), ya.xyz(), 6, 2.5, sel, &s, 0 );
	EXPECT_NEAR( s, ( sum8 + 0.2 ) / 10.0, 1e-14 );
	// The standard form divides by the pair count.
	score_fun8_standard( xa.xyz(), ya.xyz(), 6, 2.5, sel, &s, 0 );
	EXPECT_NEAR( s, ( sum8 + 0.2 ) / 6.0, 1e-14 );
	// No pairs: score 0.
	EXPECT_EQ( score_fun8( xa.xyz(), ya.xyz(), 0, 2.5, sel, &s, 8 ), 0 );
	EXPECT_EQ( s, 0.0 );
}

TEST( ScoreFun8, WidensByHalfAngstromUntilThreePairs )
{
	parameter_set4search( 100, 100 );
	// Two close pairs, others at 3.2, 3.9 and 5: with cut-off 2.0 the
	// widening passes 2.5, 3.0 (still 2) and stops at 3.5 (3 pairs).
	Pairs p( { 0.5, 1.0, 3.2, 3.9, 5.0 } );
	RawTrace xa( p.xa ), ya( p.ya );
	int sel[ 5 ];
	double s;
	int n = score_fun8( xa.xyz(), ya.xyz(), 5, 2.0, sel, &s, 8 );
	ASSERT_EQ( n, 3 );
	EXPECT_EQ( sel[ 2 ], 2 );
	// A pair exactly at a widened cut-off (3.0) is not taken.
	Pairs q( { 0.5, 1.0, 3.0, 9.0 } );
	RawTrace xq( q.xa ), yq( q.ya );
	n = score_fun8( xq.xyz(), yq.xyz(), 4, 2.0, sel, &s, 8 );
	ASSERT_EQ( n, 3 );  // stops at 3.5, which takes the pair at 3.0
	// With 3 or fewer pairs there is no widening.
	EXPECT_EQ( score_fun8( xq.xyz(), yq.xyz(), 3, 2.0, sel, &s, 8 ), 2 );
}

TEST( ScoreFun8, WideningEndsOnNaNCoordinates )
{
	parameter_set4search( 100, 100 );
	double const nan = std::numeric_limits< double >::quiet_NaN();
	Pairs p( { 0.5, 1.0, 3.2, 3.9, 5.0 } );
	p.ya[ 2 ][ 0 ] = p.ya[ 3 ][ 1 ] = p.ya[ 4 ][ 2 ] = nan;
	RawTrace xa( p.xa ), ya( p.ya );
	int sel[ 5 ];
	double s;
	EXPECT_EQ( score_fun8( xa.xyz(), ya.xyz(), 5, 2.0, sel, &s, 8 ), 2 );
	// All coordinates NaN.
	for ( auto& v : p.xa ) v = { nan, nan, nan };
	RawTrace xb( p.xa );
	EXPECT_EQ( score_fun8( xb.xyz(), ya.xyz(), 5, 2.0, sel, &s, 8 ), 0 );
}

TEST( TMscoreSearch, PerfectPairsScoreOneWithTheirSuperposition )
{
	Trace const x = make_trace( 60, 4 );
	Mat const R = axis_rotation( { 2, -1, 1 }, 1.9 );
	Trace const y = moved( x, R, { 5, 6, -7 } );
	WorkingSet ws( 60, 60 );
	parameter_set4final( 60 );
	RawTrace rx( x ), ry( y );
	double t0[ 3 ], u0[ 3 ][ 3 ], rc = 1.0;
	double const s = TMscore8_search( rx.xyz(), ry.xyz(), 60, t0, u0, 1, 0, &rc, d0_search );
	EXPECT_NEAR( s, 1.0, 1e-12 );
	EXPECT_EQ( rc, 1.0 );  // untouched with simplify_step 1
	for ( int i = 0; i < 3; ++i )
		for ( int j = 0; j < 3; ++j ) EXPECT_NEAR( u0[ i ][ j ], R[ i ][ j ], 1e-9 );
	EXPECT_NEAR( t0[ 2 ], -7.0, 1e-8 );
	TMscore8_search( rx.xyz(), ry.xyz(), 60, t0, u0, 40, 8, &rc, d0_search );
	EXPECT_EQ( rc, 0.0 );
	// The standard form divides by the pair count instead of Lnorm.
	Lnorm = 120.0;
	EXPECT_NEAR( TMscore8_search( rx.xyz(), ry.xyz(), 60, t0, u0, 1, 0, &rc, d0_search ), 0.5, 1e-12 );
	EXPECT_NEAR( TMscore8_search_standard( rx.xyz(), ry.xyz(), 60, t0, u0, 1, 0, &rc, d0_search ), 1.0, 1e-12 );
}

TEST( TMscoreSearch, FindsTheCoreOfAPartlyMovedChain )
{
	// The last third of the pairs is displaced: the best superposition is
	// that of the first two thirds, worth 2/3 of the pairs.
	Trace const x = make_trace( 45, 12 );
	Trace y = x;
	for ( int k = 30; k < 45; ++k ) y[ k ][ 0 ] += 25.0;
	WorkingSet ws( 45, 45 );
	parameter_set4final( 45 );
	RawTrace rx( x ), ry( y );
	double t0[ 3 ], u0[ 3 ][ 3 ], rc;
	double const s = TMscore8_search_standard( rx.xyz(), ry.xyz(), 45, t0, u0, 1, 0, &rc, d0_search );
	EXPECT_GT( s, 30.0 / 45.0 - 1e-9 );
	EXPECT_LT( s, 30.0 / 45.0 + 0.05 );
	for ( int i = 0; i < 3; ++i ) EXPECT_NEAR( t0[ i ], 0.0, 1e-6 );
}

TEST( TMscoreSearch, NoPairsScoreZero )
{
	WorkingSet ws( 5, 5 );
	parameter_set4search( 5, 5 );
	double t0[ 3 ] = { 9, 9, 9 }, u0[ 3 ][ 3 ], rc;
	EXPECT_EQ( TMscore8_search( xtm, ytm, 0, t0, u0, 1, 0, &rc, 4.5 ), 0.0 );
	EXPECT_EQ( t0[ 0 ], 0.0 );
	EXPECT_EQ( u0[ 1 ][ 1 ], 1.0 );
}

TEST( TMscoreSearch, StandardTMscoreOfAGivenAlignment )
{
	Trace const x = make_trace( 40, 6 );
	Trace const y = moved( x, axis_rotation( { 0, 1, 0 }, 0.6 ), { 1, 2, 3 } );
	WorkingSet ws( 40, 40 );
	RawTrace rx( x ), ry( y );
	std::vector< int > map( 40 );
	for ( int j = 0; j < 40; ++j ) map[ j ] = j;
	map[ 5 ] = -1;
	map[ 6 ] = -2;  // a broken entry: reported and skipped
	map[ 7 ] = -2;
	int L_ali = 0;
	double rmsd = -1.0;
	testing::internal::CaptureStdout();
	double const tm = standard_TMscore( rx.xyz(), ry.xyz(), 40, 40, map.data(), L_ali, rmsd );
	EXPECT_EQ( testing::internal::GetCapturedStdout(), "Wrong map!\nWrong map!\n" );
	EXPECT_EQ( L_ali, 37 );
	EXPECT_NEAR( rmsd, 0.0, 1e-4 );
	EXPECT_NEAR( tm, 37.0 / 40.0, 1e-9 );
}

TEST( NWDP, EmptyChainsGiveNoPairs )
{
	WorkingSet ws( 4, 6 );
	std::vector< int > j2i( 7, 5 );
	NWDP_TM( 0, 6, -0.6, j2i.data() );
	for ( int v : j2i ) EXPECT_EQ( v, -1 );
	std::vector< int > k2i( 1, 5 );
	NWDP_TM( 4, 0, -0.6, k2i.data() );
	EXPECT_EQ( k2i[ 0 ], -1 );
}

TEST( NWDP, IdenticalCoordinatesGiveTheDiagonal )
{
	Trace const x = make_trace( 30, 17 );
	WorkingSet ws( 30, 30 );
	RawTrace rx( x ), ry( x );
	double t0[ 3 ] = { 0, 0, 0 }, u0[ 3 ][ 3 ] = { { 1, 0, 0 }, { 0, 1, 0 }, { 0, 0, 1 } };
	std::vector< int > j2i( 31, 7 );
	NWDP_TM( rx.xyz(), ry.xyz(), 30, 30, t0, u0, 4.0, -0.6, j2i.data() );
	for ( int j = 0; j < 30; ++j ) EXPECT_EQ( j2i[ j ], j );
	EXPECT_EQ( j2i[ 30 ], -1 );
}

TEST( NWDP, GapRuleFromScoreMatrix )
{
	// x = 4 residues, y = 5: x aligns to y 0,1 then 3,4 (one gap in x's
	// path at y 2).  Matches are worth 1; the gap opens once.
	WorkingSet ws( 4, 5 );
	for ( int i = 0; i <= 4; ++i )
		for ( int j = 0; j <= 5; ++j ) score[ i ][ j ] = 0.0;
	score[ 1 ][ 1 ] = score[ 2 ][ 2 ] = score[ 3 ][ 4 ] = score[ 4 ][ 5 ] = 1.0;
	std::vector< int > j2i( 6 );
	NWDP_TM( 4, 5, -0.6, j2i.data() );
	EXPECT_EQ( j2i[ 0 ], 0 );
	EXPECT_EQ( j2i[ 1 ], 1 );
	EXPECT_EQ( j2i[ 2 ], -1 );
	EXPECT_EQ( j2i[ 3 ], 2 );
	EXPECT_EQ( j2i[ 4 ], 3 );
	// 4 matches, one gap opening.
	EXPECT_NEAR( val[ 4 ][ 5 ], 4.0 - 0.6, 1e-12 );
}

TEST( NWDP, GapExtensionIsFreeAndTiesTakeTheDiagonal )
{
	WorkingSet ws( 3, 8 );
	for ( int i = 0; i <= 3; ++i )
		for ( int j = 0; j <= 8; ++j ) score[ i ][ j ] = 0.0;
	score[ 1 ][ 1 ] = score[ 2 ][ 2 ] = 1.0;
	score[ 3 ][ 8 ] = 1.0;  // five y residues skipped before the last match
	std::vector< int > j2i( 9 );
	NWDP_TM( 3, 8, -1.0, j2i.data() );
	EXPECT_EQ( j2i[ 7 ], 2 );
	EXPECT_NEAR( val[ 3 ][ 8 ], 3.0 - 1.0, 1e-12 );
	// All scores zero: every cell ties and takes the diagonal, so the
	// alignment is the end-anchored diagonal.
	for ( int i = 0; i <= 3; ++i )
		for ( int j = 0; j <= 8; ++j ) score[ i ][ j ] = 0.0;
	NWDP_TM( 3, 8, -1.0, j2i.data() );
	EXPECT_EQ( j2i[ 7 ], 2 );
	EXPECT_EQ( j2i[ 6 ], 1 );
	EXPECT_EQ( j2i[ 5 ], 0 );
	EXPECT_EQ( j2i[ 0 ], -1 );
}

TEST( NWDP, SecondaryStructureForm )
{
	WorkingSet ws( 4, 5 );
	int sx[ 4 ] = { 2, 4, 4, 2 };
	int sy[ 5 ] = { 3, 2, 4, 4, 2 };
	std::vector< int > j2i( 6 );
	NWDP_TM( sx, sy, 4, 5, -1.0, j2i.data() );
	// All four codes match y 1..4; the leading y residue is a free end gap.
	EXPECT_NEAR( val[ 4 ][ 5 ], 4.0, 1e-12 );
	EXPECT_EQ( j2i[ 0 ], -1 );
	for ( int j = 1; j < 5; ++j ) EXPECT_EQ( j2i[ j ], j - 1 );
}

TEST( DPIter, RefinesTowardsTheTrueAlignment )
{
	Trace const x = make_trace( 50, 23 );
	Trace const y = moved( x, axis_rotation( { 1, 1, 1 }, 1.0 ), { 3, -2, 8 } );
	WorkingSet ws( 50, 50 );
	parameter_set4search( 50, 50 );
	RawTrace rx( x ), ry( y );
	// Start from a rough superposition: the identity.
	for ( int i = 0; i < 3; ++i ) {
		t[ i ] = 0.0;
		for ( int j = 0; j < 3; ++j ) u[ i ][ j ] = ( i == j ) ? 1.0 : 0.0;
	}
	std::vector< int > map( 51, -7 );
	// g1 >= g2: nothing runs.
	EXPECT_EQ( DP_iter( rx.xyz(), ry.xyz(), 50, 50, t, u, map.data(), 2, 2, 30, d0_search ), -1.0 );
	EXPECT_EQ( map[ 0 ], -7 );
	// Seeded with the true superposition, the alignment is the diagonal.
	Mat const R = axis_rotation( { 1, 1, 1 }, 1.0 );
	for ( int i = 0; i < 3; ++i )
		for ( int j = 0; j < 3; ++j ) u[ i ][ j ] = R[ i ][ j ];
	t[ 0 ] = 3;
	t[ 1 ] = -2;
	t[ 2 ] = 8;
	double const tm = DP_iter( rx.xyz(), ry.xyz(), 50, 50, t, u, map.data(), 0, 2, 30, d0_search );
	EXPECT_NEAR( tm, 1.0, 1e-9 );
	for ( int j = 0; j < 50; ++j ) EXPECT_EQ( map[ j ], j );
}

namespace {

// The recurrence written plainly, cell by cell, as the reference for the
// row-wise form of NWDP_TM.
void plain_nw( std::vector< std::vector< double > > const& sc, int len1, int len2, double gap_open,
	std::vector< std::vector< double > >& V, std::vector< std::vector< char > >& P, std::vector< int >& j2i )
{
	V.assign( len1 + 1, std::vector< double >( len2 + 1, 0.0 ) );
	P.assign( len1 + 1, std::vector< char >( len2 + 1, 0 ) );
	j2i.assign( len2 + 1, -1 );
	for ( int i = 1; i <= len1; ++i ) {
		for ( int j = 1; j <= len2; ++j ) {
			double const d = V[ i - 1 ][ j - 1 ] + sc[ i ][ j ];
			double h = V[ i - 1 ][ j ];
			if ( P[ i - 1 ][ j ] ) h += gap_open;
			double v = V[ i ][ j - 1 ];
			if ( P[ i ][ j - 1 ] ) v += gap_open;
			if ( d >= h && d >= v ) {
				P[ i ][ j ] = 1;
				V[ i ][ j ] = d;
			} else {
				P[ i ][ j ] = 0;
				V[ i ][ j ] = ( v >= h ) ? v : h;
			}
		}
	}
	int i = len1, j = len2;
	while ( i > 0 && j > 0 ) {
		if ( P[ i ][ j ] ) {
			j2i[ j - 1 ] = i - 1;
			--i;
			--j;
		} else {
			double h = V[ i - 1 ][ j ];
			if ( P[ i - 1 ][ j ] ) h += gap_open;
			double v = V[ i ][ j - 1 ];
			if ( P[ i ][ j - 1 ] ) v += gap_open;
			if ( v >= h ) --j;
			else --i;
		}
	}
}

} // namespace

TEST( NWDP, RowWiseRecurrenceMatchesThePlainOne )
{
	// Scores on a coarse grid make ties frequent, so the tie rules are
	// exercised along with the values.
	std::mt19937 gen( 99 );
	std::uniform_int_distribution< int > q( 0, 4 );
	for ( int trial = 0; trial < 48; ++trial ) {
		// Every case once with the four-cell rows and once cell by cell.
		NWDP_use_vector_rows( trial < 24 );
		int const len1 = 1 + trial % 7 * 5, len2 = 1 + ( trial * 13 ) % 37;
		SCOPED_TRACE( trial < 24 ? "four-cell rows" : "cell by cell" );
		double const gap = ( trial % 3 == 0 ) ? 0.0 : ( trial % 3 == 1 ? -0.6 : -1.0 );
		WorkingSet ws( len1, len2 );
		std::vector< std::vector< double > > sc( len1 + 1, std::vector< double >( len2 + 1, 0.0 ) );
		for ( int i = 1; i <= len1; ++i ) {
			for ( int j = 1; j <= len2; ++j ) score[ i ][ j ] = sc[ i ][ j ] = 0.25 * q( gen );
		}
		// Some cases get NaN scores (from NaN coordinates): such a cell
		// never takes the diagonal and keeps max(v, h).
		if ( trial % 4 == 3 ) {
			for ( int i = 1; i <= len1; i += 2 )
				score[ i ][ 1 + ( i * 7 ) % len2 ] = sc[ i ][ 1 + ( i * 7 ) % len2 ] = std::nan( "" );
		}
		std::vector< int > j2i( len2 + 1 ), ref_j2i;
		NWDP_TM( len1, len2, gap, j2i.data() );
		std::vector< std::vector< double > > V;
		std::vector< std::vector< char > > P;
		plain_nw( sc, len1, len2, gap, V, P, ref_j2i );
		SCOPED_TRACE( trial );
		for ( int i = 0; i <= len1; ++i ) {
			for ( int j = 0; j <= len2; ++j ) {
				ASSERT_EQ( val[ i ][ j ], V[ i ][ j ] ) << i << "," << j;
				ASSERT_EQ( path[ i ][ j ], P[ i ][ j ] != 0 ) << i << "," << j;
			}
		}
		for ( int j = 0; j <= len2; ++j ) EXPECT_EQ( j2i[ j ], ref_j2i[ j ] );
	}
	NWDP_use_vector_rows( true );
}

TEST( NWDP, CoordinateFormMatchesItsScoreMatrix )
{
	// The coordinate form scores tm_cell_score under (t, u); filling the
	// score table with the same values must give the same alignment.
	Trace const x = make_trace( 37, 31 ), y = make_trace( 29, 32 );
	WorkingSet ws( 37, 29 );
	RawTrace rx( x ), ry( y );
	Mat const R = axis_rotation( { 1, 2, 2 }, 0.4 );
	double tt[ 3 ] = { 1.0, -2.0, 0.5 }, uu[ 3 ][ 3 ];
	for ( int i = 0; i < 3; ++i )
		for ( int j = 0; j < 3; ++j ) uu[ i ][ j ] = R[ i ][ j ];
	double const d02 = 9.0;
	for ( double gap : { 0.0, -0.6 } ) {
		std::vector< int > a( 30 ), b( 30 );
		NWDP_TM( rx.xyz(), ry.xyz(), 37, 29, tt, uu, d02, gap, a.data() );
		for ( int i = 0; i < 37; ++i ) {
			double xx[ 3 ];
			transform( tt, uu, rx.xyz()[ i ], xx );
			for ( int j = 0; j < 29; ++j ) score[ i + 1 ][ j + 1 ] = tm_cell_score( xx, ry.xyz()[ j ], 1.0 / d02 );
		}
		NWDP_TM( 37, 29, gap, b.data() );
		EXPECT_EQ( a, b );
	}
}

namespace {

// The gap-free coordinate form, values and alignment, against plain_nw fed
// with the same match scores; with and without the vector rows.
void check_segments_against_plain( Trace const& x, Trace const& y, double tt[3], double uu[3][3], double d02 )
{
	int const len1 = static_cast< int >( x.size() ), len2 = static_cast< int >( y.size() );
	RawTrace rx( x ), ry( y );
	std::vector< std::vector< double > > sc( len1 + 1, std::vector< double >( len2 + 1, 0.0 ) );
	for ( int i = 1; i <= len1; ++i ) {
		double xx[ 3 ];
		transform( tt, uu, rx.xyz()[ i - 1 ], xx );
		for ( int j = 1; j <= len2; ++j ) sc[ i ][ j ] = tm_cell_score( xx, ry.xyz()[ j - 1 ], 1.0 / d02 );
	}
	std::vector< std::vector< double > > V;
	std::vector< std::vector< char > > P;
	std::vector< int > ref_j2i;
	plain_nw( sc, len1, len2, 0.0, V, P, ref_j2i );

	std::vector< double > store( ( len1 + 1 ) * ( len2 + 1 ), -1.0 );
	std::vector< double* > rows( len1 + 1 );
	for ( int i = 0; i <= len1; ++i ) rows[ i ] = &store[ i * ( len2 + 1 ) ];
	for ( bool vec : { true, false } ) {
		SCOPED_TRACE( vec ? "vector rows" : "plain rows" );
		NWDP_use_vector_rows( vec );
		std::vector< int > j2i( len2 + 1, 7 ), j2i_b( len2 + 1, 7 );
		NWDP_TM_nogap_rows( rx.xyz(), ry.xyz(), len1, len2, tt, uu, d02, j2i.data(), rows.data() );
		for ( int i = 0; i <= len1; ++i ) {
			for ( int j = 0; j <= len2; ++j ) {
				if ( std::isnan( V[ i ][ j ] ) ) ADD_FAILURE() << "reference NaN at " << i << "," << j;
				ASSERT_EQ( rows[ i ][ j ], V[ i ][ j ] ) << i << "," << j;
			}
		}
		EXPECT_EQ( j2i, ref_j2i );
		// The public form gives the same alignment.
		NWDP_TM( rx.xyz(), ry.xyz(), len1, len2, tt, uu, d02, 0.0, j2i_b.data() );
		EXPECT_EQ( j2i_b, ref_j2i );
	}
	NWDP_use_vector_rows( true );
}

} // namespace

TEST( NWDP, GapFreeSegmentsMatchThePlainRecurrence )
{
	double t0[ 3 ] = { 0, 0, 0 }, u0[ 3 ][ 3 ] = { { 1, 0, 0 }, { 0, 1, 0 }, { 0, 0, 1 } };
	// Points on a small integer grid with d02 = 4: every score is one of a
	// few exact values, so ties are everywhere.  Lengths cover rows of one
	// column, segments that end in padding, and whole blocks.
	std::mt19937 gen( 5 );
	std::uniform_int_distribution< int > q( 0, 2 );
	auto grid_trace = [&]( int n ) {
		Trace tr( n );
		for ( auto& p : tr ) p = { double( q( gen ) ), double( q( gen ) ), double( q( gen ) ) };
		return tr;
	};
	for ( int trial = 0; trial < 30; ++trial ) {
		int const len1 = 1 + ( trial * 7 ) % 23, len2 = 1 + ( trial * 13 ) % 37;
		SCOPED_TRACE( trial );
		WorkingSet ws( len1, len2 );
		check_segments_against_plain( grid_trace( len1 ), grid_trace( len2 ), t0, u0, 4.0 );
	}
	// Points on a line at 0, 2 and 1e200 (squared distance overflows to
	// infinity): scores 1, 1/2 and 0 only, all sums exact, so values tie
	// exactly across paths and the trace-back tie rules matter.
	std::uniform_int_distribution< int > kind( 0, 2 );
	auto line_trace = [&]( int n ) {
		Trace tr( n );
		double const where[ 3 ] = { 0.0, 2.0, 1e200 };
		for ( auto& p : tr ) p = { where[ kind( gen ) ], 0.0, 0.0 };
		return tr;
	};
	for ( int trial = 0; trial < 30; ++trial ) {
		int const len1 = 1 + ( trial * 5 ) % 19, len2 = 1 + ( trial * 11 ) % 29;
		SCOPED_TRACE( 100 + trial );
		WorkingSet ws( len1, len2 );
		check_segments_against_plain( line_trace( len1 ), line_trace( len2 ), t0, u0, 4.0 );
	}
	// Protein-like chains under a rotation and shift.
	Mat const R = axis_rotation( { 2, -1, 1 }, 0.9 );
	double tt[ 3 ] = { 2.0, -1.0, 3.5 }, uu[ 3 ][ 3 ];
	for ( int i = 0; i < 3; ++i )
		for ( int j = 0; j < 3; ++j ) uu[ i ][ j ] = R[ i ][ j ];
	{
		WorkingSet ws( 61, 58 );
		Trace const x = make_trace( 61, 3 );
		check_segments_against_plain( x, noisy( moved( x, R, { 1, 2, 3 } ), 1.5, 4 ), tt, uu, 12.0 );
		check_segments_against_plain( x, noisy( make_trace( 58, 6 ), 0.5, 7 ), tt, uu, 12.0 );
	}
	// A NaN coordinate: its scores lose every comparison, as in the plain form.
	{
		WorkingSet ws( 20, 20 );
		Trace const x = make_trace( 20, 8 );
		Trace y = make_trace( 19, 9 );
		// Segments of 5 columns: NaN at the first column of one, inside
		// another, and in the padding's segment.
		for ( int k : { 5, 12, 16 } ) y[ k ][ 1 ] = std::nan( "" );
		check_segments_against_plain( x, y, t0, u0, 9.0 );
		check_segments_against_plain( y, x, t0, u0, 9.0 );
	}
}

TEST( TMscoreSearch, FourPairsAtATimeMatchPairByPair )
{
	// Pair counts around multiples of four, noise that leaves many pairs out
	// of the selections, some pairs far apart (scored 0 by the distance
	// cut-off of the sum) and one NaN pair: scores, superpositions and the
	// selections behind them must agree exactly.
	for ( int n : { 3, 4, 7, 41, 64, 130 } ) {
		SCOPED_TRACE( n );
		Trace const x = make_trace( n, 70 + n );
		Trace y = noisy( moved( x, axis_rotation( { 1, 0, 2 }, 0.8 ), { 4, -3, 1 } ), 3.5, 80 + n );
		for ( int k = 5; k < n; k += 9 ) y[ k ] = { 60.0 + k, -40.0, 10.0 };
		if ( n > 40 ) y[ 17 ][ 2 ] = std::nan( "" );
		WorkingSet ws( n, n );
		parameter_set4search( n, n );
		RawTrace rx( x ), ry( y );
		double res[ 2 ][ 13 ];
		for ( int v = 0; v < 2; ++v ) {
			TMscore_use_vector_search( v == 0 );
			double tt[ 3 ], uu[ 3 ][ 3 ], rms = 0.0;
			res[ v ][ 0 ] = TMscore8_search( rx.xyz(), ry.xyz(), n, tt, uu, 1, 8, &rms, d0_search );
			for ( int i = 0; i < 3; ++i ) {
				res[ v ][ 1 + i ] = tt[ i ];
				for ( int j = 0; j < 3; ++j ) res[ v ][ 4 + 3 * i + j ] = uu[ i ][ j ];
			}
		}
		TMscore_use_vector_search( true );
		for ( int q = 0; q < 13; ++q ) EXPECT_EQ( res[ 0 ][ q ], res[ 1 ][ q ] ) << q;
		EXPECT_GT( res[ 0 ][ 0 ], 0.0 );
	}
}
