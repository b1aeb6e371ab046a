// Initial alignments: secondary structure from CA geometry, fragment search,
// threading, and the short-chain and NaN cases that must end.
#include "alignment/InitialAlign.hh"
#include "alignment/StructAlign.hh"

#include "alignment/tests/ca_trace_maker.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace structalign;
using namespace align_test;

namespace {

struct WorkingSet {
	WorkingSet( int xl, int yl ) { load_PDB_allocate_memory( xl, yl, xl, yl ); }
	~WorkingSet() { free_memory(); }
};

// Ideal helix (theta 91, tau 50) or strand (theta 120, tau -170) of n residues.
Trace regular( int n, double theta, double tau )
{
	Trace tr{ { 0, 0, 0 }, { 3.8, 0, 0 }, { 3.8 + 3.8 * std::cos( 1.2 ), 3.8 * std::sin( 1.2 ), 0 } };
	while ( static_cast< int >( tr.size() ) < n ) {
		std::size_t const s = tr.size();
		tr.push_back( place( tr[ s - 3 ], tr[ s - 2 ], tr[ s - 1 ], 3.8, theta, tau ) );
	}
	tr.resize( n );
	return tr;
}

} // namespace

TEST( SecStr, CodesFromWindowDistances )
{
	EXPECT_EQ( sec_str( 5.45, 5.18, 6.37, 5.45, 5.18, 5.45 ), 2 );
	EXPECT_EQ( sec_str( 6.1, 10.4, 13.0, 6.1, 10.4, 6.1 ), 4 );
	// Neither helix nor strand: turn below 8.0, coil from 8.0 on.
	EXPECT_EQ( sec_str( 9.0, 9.0, 7.9, 9.0, 9.0, 9.0 ), 3 );
	EXPECT_EQ( sec_str( 9.0, 9.0, 8.0, 9.0, 9.0, 9.0 ), 1 );
	// Helix tolerance is strict: 2.1 off is no longer helix.
	EXPECT_EQ( sec_str( 5.45 + 2.1, 5.18, 6.37, 5.45, 5.18, 5.45 ), 3 );
}

TEST( MakeSec, HelixStrandAndChainEnds )
{
	Trace const h = regular( 12, 91.0, 50.0 );
	RawTrace rh( h );
	std::vector< int > sec( 12, 0 );
	make_sec( rh.xyz(), 12, sec.data() );
	EXPECT_EQ( sec[ 0 ], 1 );
	EXPECT_EQ( sec[ 1 ], 1 );
	EXPECT_EQ( sec[ 10 ], 1 );
	EXPECT_EQ( sec[ 11 ], 1 );
	for ( int i = 2; i < 10; ++i ) EXPECT_EQ( sec[ i ], 2 ) << i;

	Trace const s = regular( 9, 120.0, -170.0 );
	RawTrace rs( s );
	std::vector< int > ss( 9, 0 );
	make_sec( rs.xyz(), 9, ss.data() );
	for ( int i = 2; i < 7; ++i ) EXPECT_EQ( ss[ i ], 4 ) << i;

	// Four residues or fewer: all coil.
	std::vector< int > s4( 4, 0 );
	make_sec( rh.xyz(), 4, s4.data() );
	for ( int v : s4 ) EXPECT_EQ( v, 1 );
	make_sec( rh.xyz(), 0, s4.data() );
}

TEST( Smooth, RemovesIsolatedAndShortElementsAndFillsGaps )
{
	std::vector< int > a{ 1, 1, 2, 1, 1, 1, 1 };
	smooth( a.data(), 7 );
	EXPECT_EQ( a[ 2 ], 1 );
	std::vector< int > b{ 1, 1, 4, 4, 1, 1, 1 };
	smooth( b.data(), 7 );
	EXPECT_EQ( b[ 2 ], 1 );
	EXPECT_EQ( b[ 3 ], 1 );
	std::vector< int > c{ 2, 2, 2, 3, 2, 2, 2 };
	smooth( c.data(), 7 );
	EXPECT_EQ( c[ 3 ], 2 );
}

TEST( FindMaxFrag, LongestRunOfLinkedResidues )
{
	Trace const tr = make_trace( 30, 5 );
	RawTrace r( tr );
	parameter_set4search( 30, 30 );
	// Residue numbering breaks after 9 and after 21: runs 0-9, 10-21, 22-29.
	for ( int i = 10; i < 30; ++i ) r.resno[ i ] += 5;
	for ( int i = 22; i < 30; ++i ) r.resno[ i ] += 5;
	int s = -1, e = -1;
	find_max_frag( r.xyz(), r.res(), 30, &s, &e );
	EXPECT_EQ( s, 10 );
	EXPECT_EQ( e, 21 );
	// Equal runs: the earlier one is kept.
	RawTrace q( tr );
	for ( int i = 15; i < 30; ++i ) q.resno[ i ] += 3;
	find_max_frag( q.xyz(), q.res(), 30, &s, &e );
	EXPECT_EQ( s, 0 );
	EXPECT_EQ( e, 14 );
	// A run reaching the end of the chain.
	RawTrace w( tr );
	for ( int i = 5; i < 30; ++i ) w.resno[ i ] += 3;
	find_max_frag( w.xyz(), w.res(), 30, &s, &e );
	EXPECT_EQ( s, 5 );
	EXPECT_EQ( e, 29 );
}

TEST( FindMaxFrag, EndsWhenNumbersOrCoordinatesNeverLink )
{
	parameter_set4search( 30, 30 );
	Trace tr = make_trace( 30, 6 );
	RawTrace r( tr );
	// Residue numbers jump everywhere: the second scan only looks at distances.
	for ( int i = 0; i < 30; ++i ) r.resno[ i ] = 10 * i;
	int s = -1, e = -1;
	find_max_frag( r.xyz(), r.res(), 30, &s, &e );
	EXPECT_EQ( s, 0 );
	EXPECT_EQ( e, 29 );
	// Links far apart: the cut-off widens until runs of 4 appear.
	Trace spread;
	for ( int i = 0; i < 12; ++i ) spread.push_back( { 9.0 * i, 0, 0 } );
	RawTrace rs( spread );
	find_max_frag( rs.xyz(), rs.res(), 12, &s, &e );
	EXPECT_EQ( s, 0 );
	EXPECT_EQ( e, 11 );
	// NaN coordinates can never link: the widening stops.
	double const nan = std::numeric_limits< double >::quiet_NaN();
	Trace bad( 12, Vec{ nan, nan, nan } );
	RawTrace rb( bad );
	s = e = -1;
	find_max_frag( rb.xyz(), rb.res(), 12, &s, &e );
	EXPECT_LE( s, e );
	// Fewer than 3 residues: nothing is touched.
	s = e = -5;
	find_max_frag( r.xyz(), r.res(), 2, &s, &e );
	EXPECT_EQ( s, -5 );
	EXPECT_EQ( e, -5 );
}

TEST( GetScoreFast, IdenticalPairsGiveTheFirstPassSum )
{
	Trace const tr = make_trace( 40, 8 );
	WorkingSet ws( 40, 40 );
	parameter_set4search( 40, 40 );
	RawTrace rx( tr ), ry( tr );
	std::vector< int > map( 41 );
	for ( int j = 0; j < 40; ++j ) map[ j ] = j;
	map[ 3 ] = -1;
	EXPECT_NEAR( get_score_fast( rx.xyz(), ry.xyz(), 40, 40, map.data() ), 39.0, 1e-9 );
	map[ 4 ] = -3;
	testing::internal::CaptureStdout();
	double const s = get_score_fast( rx.xyz(), ry.xyz(), 40, 40, map.data() );
	EXPECT_EQ( testing::internal::GetCapturedStdout(), "Wrong map\n" );
	EXPECT_NEAR( s, 38.0, 1e-9 );
}

// Catches a widening of the distance cut-off that never stops (no NaN
// distance is ever within it) and a made-up finite score for pairs that have
// no position: the sum over such pairs is NaN, which no builder's "better
// than" comparison ever takes.  The same residues left out of the map leave
// a plain score: the two pairs with coordinates, identical, count 1 each.
TEST( GetScoreFast, EndsOnNaNCoordinates )
{
	double const nan = std::numeric_limits< double >::quiet_NaN();
	Trace tr = make_trace( 20, 9 );
	Trace bad = tr;
	for ( int i = 0; i < 18; ++i ) bad[ i ][ 1 ] = nan;
	WorkingSet ws( 20, 20 );
	parameter_set4search( 20, 20 );
	RawTrace rx( bad ), ry( tr );
	std::vector< int > map( 21 );
	for ( int j = 0; j < 20; ++j ) map[ j ] = j;
	EXPECT_TRUE( std::isnan( get_score_fast( rx.xyz(), ry.xyz(), 20, 20, map.data() ) ) );
	// One pair without a position is enough.
	Trace one = tr;
	one[ 7 ][ 2 ] = nan;
	RawTrace r1x( one );
	EXPECT_TRUE( std::isnan( get_score_fast( r1x.xyz(), ry.xyz(), 20, 20, map.data() ) ) );
	for ( int j = 0; j < 18; ++j ) map[ j ] = -1;
	EXPECT_NEAR( get_score_fast( rx.xyz(), ry.xyz(), 20, 20, map.data() ), 2.0, 1e-12 );
}

TEST( GetInitial, FindsTheShiftOfATruncatedCopy )
{
	Trace const y = make_trace( 60, 10 );
	Trace const x( y.begin() + 7, y.begin() + 52 );  // x residue i is y residue i + 7
	WorkingSet ws( 45, 60 );
	parameter_set4search( 45, 60 );
	RawTrace rx( x ), ry( y );
	std::vector< int > map( 61 );
	double const s = get_initial( rx.xyz(), ry.xyz(), 45, 60, map.data() );
	EXPECT_NEAR( s, 45.0, 1e-6 );
	for ( int j = 0; j < 60; ++j ) EXPECT_EQ( map[ j ], ( j >= 7 && j < 52 ) ? j - 7 : -1 ) << j;
}

TEST( GetInitial, ShortChainsPrintTheMessageOnce )
{
	Trace const y = make_trace( 5, 11 );
	WorkingSet ws( 5, 5 );
	parameter_set4search( 5, 5 );
	RawTrace rx( y ), ry( y );
	std::vector< int > map( 6 );
	testing::internal::CaptureStdout();
	double const s = get_initial( rx.xyz(), ry.xyz(), 5, 5, map.data() );
	EXPECT_EQ( testing::internal::GetCapturedStdout(), "Sequence is too short <=5!\n" );
	EXPECT_NEAR( s, 5.0, 1e-9 );
	for ( int j = 0; j < 5; ++j ) EXPECT_EQ( map[ j ], j );
}

TEST( GetInitial5, ShortChainsFailCleanly )
{
	for ( int n : { 1, 2 } ) {
		Trace const y = make_trace( n, 12 );
		WorkingSet ws( n, 30 );
		parameter_set4search( n, 30 );
		Trace const big = make_trace( 30, 13 );
		RawTrace rx( y ), ry( big );
		std::vector< int > map( 31, -9 );
		EXPECT_FALSE( get_initial5( rx.xyz(), ry.xyz(), n, 30, map.data() ) );
		EXPECT_EQ( map[ 0 ], -9 );
	}
	// Three residues hold fragments of one residue: the search runs and ends.
	Trace const y = make_trace( 3, 14 );
	WorkingSet ws( 3, 3 );
	parameter_set4search( 3, 3 );
	RawTrace rx( y ), ry( y );
	std::vector< int > map( 4, -9 );
	EXPECT_TRUE( get_initial5( rx.xyz(), ry.xyz(), 3, 3, map.data() ) );
}

TEST( GetInitial5, AlignsTwoCopiesInDifferentFrames )
{
	Trace const x = make_trace( 80, 15 );
	Trace const y = moved( x, axis_rotation( { -1, 2, 0.3 }, 2.2 ), { 10, 20, -5 } );
	WorkingSet ws( 80, 80 );
	parameter_set4search( 80, 80 );
	RawTrace rx( x ), ry( y );
	std::vector< int > map( 81 );
	ASSERT_TRUE( get_initial5( rx.xyz(), ry.xyz(), 80, 80, map.data() ) );
	int same = 0;
	for ( int j = 0; j < 80; ++j ) same += ( map[ j ] == j );
	EXPECT_GE( same, 78 );
}

TEST( GetInitialFgt, ThreadsTheLongestFragment )
{
	Trace const y = make_trace( 50, 16 );
	WorkingSet ws( 50, 50 );
	parameter_set4search( 50, 50 );
	RawTrace rx( y ), ry( y );
	std::vector< int > map( 51 );
	double const s = get_initial_fgt( rx.xyz(), ry.xyz(), 50, 50, rx.res(), ry.res(), map.data() );
	// Whole chains: the central part of x (residues 5..44) is threaded.
	EXPECT_GT( s, 39.0 );
	for ( int j = 5; j <= 44; ++j ) EXPECT_EQ( map[ j ], j );
	EXPECT_EQ( map[ 0 ], -1 );
	EXPECT_EQ( map[ 49 ], -1 );
}

TEST( GetInitialFgt, EqualFragmentsOnALongerXComeFromY )
{
	// Equal fragment lengths with x longer than y: the fragment is y's, so
	// the map is -1 outside it and covers it inside.
	Trace const y = make_trace( 30, 17 );
	Trace x = y;
	Trace const tail = make_trace( 10, 18 );
	for ( auto p : tail ) {
		p[ 0 ] += 200.0;
		x.push_back( p );
	}
	WorkingSet ws( 40, 30 );
	parameter_set4search( 40, 30 );
	RawTrace rx( x ), ry( y );
	// y numbering breaks at 10: its longest fragment is 10..29 (20 residues);
	// x numbering breaks at 20 and 30: its longest is 0..19 (20 residues).
	// Threading y's fragment maps y 10..29 and leaves y 0..9 open; x's
	// would have mapped y 0..19.
	for ( int i = 10; i < 30; ++i ) ry.resno[ i ] += 4;
	for ( int i = 20; i < 40; ++i ) rx.resno[ i ] += 4;
	for ( int i = 30; i < 40; ++i ) rx.resno[ i ] += 4;
	std::vector< int > map( 31 );
	get_initial_fgt( rx.xyz(), ry.xyz(), 40, 30, rx.res(), ry.res(), map.data() );
	for ( int j = 0; j < 10; ++j ) EXPECT_EQ( map[ j ], -1 ) << j;
	for ( int j = 10; j < 30; ++j ) EXPECT_EQ( map[ j ], j ) << j;
}
