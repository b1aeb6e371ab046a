// Domain moves on a protein-like CA trace: every member moves one domain (or
// one side of a boundary) rigidly and refreshes the distance table for the
// moved rows only; the 3.8 A closures land exactly; a run of random moves
// with the fixed generators followed by the closure of every junction keeps
// all bonds within domains and restores 3.8 A at the junctions; bad domain
// lists and degenerate geometry are refused or left alone.
#include "transforms/DomainMoves.hh"

#include "alignment/tests/ca_trace_maker.hh"
#include "core/basic_fun_Quilt.hh"
#include "transforms/tests/transforms_test_util.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace {

using namespace transforms_test;
using Domains = std::vector< std::vector< int > >;

int const kN = 40;

std::vector< int > range( int a, int b )
{
	std::vector< int > v;
	for ( int r = a; r <= b; ++r ) v.push_back( r );
	return v;
}

// Three consecutive domains, 1-14, 15-27, 28-40.
Domains three_domains() { return { range( 1, 14 ), range( 15, 27 ), range( 28, 40 ) }; }

struct Chain {
	Chain() : xyz( kN ), out( kN )
	{
		align_test::Trace const tr = align_test::make_trace( kN, 7u );
		for ( int i = 0; i < kN; ++i )
			for ( int c = 0; c < 3; ++c ) xyz[ i ][ c ] = tr[ i ][ c ] + 10.0 * c;
		for ( int m = 0; m < 2; ++m ) {
			for ( int c = 0; c < 3; ++c ) pts[ m ][ c ] = 20.0 * m - 5.0 + c;
			points.push_back( pts[ m ] );
		}
		dist = new2DArr( 2, kN );
		for ( int m = 0; m < 2; ++m )
			for ( int i = 0; i < kN; ++i ) dist[ m ][ i ] = -1.0;
	}
	~Chain() { release2DArr( 2, dist ); }
	Table xyz, out;
	double pts[ 2 ][ 3 ];
	std::vector< double* > points;
	double** dist;
};

std::set< int > moved_rows( double** before, double** after )
{
	std::set< int > rows;
	for ( int i = 0; i < kN; ++i )
		for ( int c = 0; c < 3; ++c )
			if ( before[ i ][ c ] != after[ i ][ c ] ) rows.insert( i );
	return rows;
}

// The moved rows keep all their mutual distances.
void expect_rigid( double** before, double** after, std::set< int > const& rows )
{
	for ( int i : rows ) {
		for ( int j : rows ) {
			if ( i < j ) {
				EXPECT_NEAR( dist( before[ i ], before[ j ] ), dist( after[ i ], after[ j ] ), 1e-9 ) << i << " " << j;
			}
		}
	}
}

// The domain whose rows are exactly the moved ones (-1 when none is).
int moved_domain( Domains const& d, std::set< int > const& rows )
{
	for ( int k = 0; k < static_cast< int >( d.size() ); ++k ) {
		std::set< int > want;
		for ( int r : d[ k ] ) want.insert( r - 1 );
		if ( want == rows ) return k;
	}
	return -1;
}

// Distances refreshed for the moved rows, the others untouched.
void expect_distances( Chain const& ch, std::set< int > const& rows )
{
	for ( int m = 0; m < 2; ++m )
		for ( int i = 0; i < kN; ++i ) {
			if ( rows.count( i ) ) {
				EXPECT_NEAR( ch.dist[ m ][ i ], dist( ch.points[ m ], ch.out[ i ] ), 1e-12 );
			} else {
				EXPECT_EQ( ch.dist[ m ][ i ], -1.0 ) << i;
			}
		}
}

TEST( DomainMoves, EachMemberMovesOneDomainRigidly )
{
	// Catches a member that moves rows outside its domain, deforms the
	// domain, or leaves the distance table stale.
	using Member = void ( * )( Chain& );
	std::vector< std::pair< char const*, Member > > const members = {
		{ "domRotTran_c", []( Chain& c ) { domRotTran_c( c.xyz.p, kN, three_domains(), c.points, c.dist, c.out.p ); } },
		{ "domtra", []( Chain& c ) { domtra( c.xyz.p, kN, three_domains(), 2.0, c.points, c.dist, c.out.p ); } },
		{ "domrot_c", []( Chain& c ) { domrot_c( c.xyz.p, kN, three_domains(), 0.7, c.points, c.dist, c.out.p ); } },
		{ "domrot_mid", []( Chain& c ) { domrot_mid( c.xyz.p, kN, three_domains(), c.points, c.dist, c.out.p ); } },
		{ "domRotTran_b1", []( Chain& c ) { domRotTran_b1( c.xyz.p, kN, three_domains(), c.points, c.dist, c.out.p ); } },
	};
	for ( auto const& m : members ) {
		for ( int rep = 0; rep < 6; ++rep ) {
			Chain ch;
			m.second( ch );
			std::set< int > rows = moved_rows( ch.xyz.p, ch.out.p );
			if ( std::string( m.first ) == "domrot_mid" ) {
				// Both ends of the domain lie on the axis and stay (up to
				// rounding for the far end); count them with the domain.
				Domains const d = three_domains();
				int k = -1;
				for ( int j = 0; j < 3; ++j )
					if ( rows.count( d[ j ][ 1 ] - 1 ) ) k = j;
				ASSERT_GE( k, 0 );
				int const f = d[ k ].front() - 1, l = d[ k ].back() - 1;
				EXPECT_EQ( rows.count( f ), 0u );
				EXPECT_NEAR( dist( ch.xyz[ l ], ch.out[ l ] ), 0.0, 1e-9 );
				rows.insert( f );
				rows.insert( l );
			}
			int const k = moved_domain( three_domains(), rows );
			EXPECT_GE( k, 0 ) << m.first;
			expect_rigid( ch.xyz.p, ch.out.p, rows );
			expect_distances( ch, rows );
		}
	}
}

TEST( DomainMoves, DomCenterReportsThePickAndMovesTheCentroidByTOnly )
{
	for ( int rep = 0; rep < 5; ++rep ) {
		Chain ch;
		int picked = -1;
		double** got = RotTran_global_AroundDomCenter( ch.xyz.p, kN, three_domains(), 0.4, 1.2, picked );
		std::set< int > const rows = moved_rows( ch.xyz.p, got );
		EXPECT_EQ( moved_domain( three_domains(), rows ), picked );
		expect_rigid( ch.xyz.p, got, rows );
		double cb[ 3 ] = { 0, 0, 0 }, ca[ 3 ] = { 0, 0, 0 };
		for ( int r : rows )
			for ( int c = 0; c < 3; ++c ) {
				cb[ c ] += ch.xyz[ r ][ c ] / rows.size();
				ca[ c ] += got[ r ][ c ] / rows.size();
			}
		EXPECT_LE( dist( cb, ca ), 0.4 * std::sqrt( 3.0 ) + 1e-9 );
		release2DArr( kN, got );
	}
}

TEST( DomainMoves, BoundaryMovesTurnAContiguousStretchAboutItsEnd )
{
	int link[ 3 ] = { 0, 0, 0 };
	int lp[ 3 ][ 2 ] = { { 0, 0 }, { 0, 0 }, { 0, 0 } };
	int* linkPos[ 3 ] = { lp[ 0 ], lp[ 1 ], lp[ 2 ] };
	for ( int rep = 0; rep < 8; ++rep ) {
		Chain ch;
		double** got = RotTran_global_AroundBoundary( ch.xyz.p, kN, three_domains(), link, linkPos );
		std::set< int > rows = moved_rows( ch.xyz.p, got );
		ASSERT_FALSE( rows.empty() );
		// A stretch that reaches one end of the chain.
		EXPECT_EQ( *rows.rbegin() - *rows.begin() + 1, static_cast< int >( rows.size() ) );
		EXPECT_TRUE( *rows.begin() == 0 || *rows.rbegin() == kN - 1 );
		expect_rigid( ch.xyz.p, got, rows );
		release2DArr( kN, got );

		Chain ch2;
		domRotTran_b2( ch2.xyz.p, kN, three_domains(), link, linkPos, ch2.points, ch2.dist, ch2.out.p );
		rows = moved_rows( ch2.xyz.p, ch2.out.p );
		EXPECT_EQ( *rows.rbegin() - *rows.begin() + 1, static_cast< int >( rows.size() ) );
		expect_rigid( ch2.xyz.p, ch2.out.p, rows );
		expect_distances( ch2, rows );

		Chain ch3;
		double gap = -1.0;
		got = RotTranAroundBoundary_global( ch3.xyz.p, kN, three_domains(), gap );
		rows = moved_rows( ch3.xyz.p, got );
		int const k = moved_domain( three_domains(), rows );
		EXPECT_GE( k, 0 );
		expect_rigid( ch3.xyz.p, got, rows );
		// gap is one of the links across the moved domain's ends.
		std::vector< double > links;
		for ( int i = 0; i + 1 < kN; ++i ) links.push_back( dist( got[ i ], got[ i + 1 ] ) );
		bool found = false;
		for ( double l : links ) found = found || std::fabs( l - gap ) < 1e-12;
		EXPECT_TRUE( found ) << gap;
		release2DArr( kN, got );
	}
}

// P and Q of domTralin38 for domain k and side v, computed from the domain
// table as the member documents.
void junction_of( Domains const& d, int const* link, int** linkPos, int k, double v, int& P, int& Q )
{
	int const D = static_cast< int >( d.size() );
	if ( k >= 1 && link[ k - 1 ] == -1 ) {
		P = v >= 0.5 ? d[ k ].back() : d[ k ].front();
		Q = d[ k - 1 ][ linkPos[ k - 1 ][ v >= 0.5 ? 1 : 0 ] ];
	} else if ( link[ k ] == -1 ) {
		Q = v >= 0.5 ? d[ k + 1 ].back() : d[ k + 1 ].front();
		P = d[ k ][ linkPos[ k ][ v >= 0.5 ? 1 : 0 ] ];
	} else if ( k == D - 1 || ( k != 0 && v < 0.5 ) ) {
		P = d[ k ].front();
		Q = d[ k - 1 ].back();
	} else {
		P = d[ k ].back();
		Q = d[ k + 1 ].front();
	}
}

TEST( DomainMoves, DomTralin38JoinsAt38BeforeItsPerturbation )
{
	// The closure brings P to 3.8 A from Q; the move about P then shifts P by
	// t alone, so P - t lies exactly 3.8 A from Q.  t is rebuilt from the
	// generator replica (draws: domain by ran, side, then t).  Both plain
	// junctions and a domain nested inside another are exercised.
	Domains const plain = three_domains();
	Domains const nested = { [] { std::vector< int > v = range( 1, 10 ); for ( int r : range( 21, 30 ) ) v.push_back( r ); return v; }(),
		range( 11, 20 ), range( 31, 40 ) };
	int linkPlain[ 3 ] = { 0, 0, 0 }, linkNested[ 3 ] = { -1, 0, 0 };
	int lp[ 3 ][ 2 ] = { { 9, 10 }, { 0, 0 }, { 0, 0 } };
	int* linkPos[ 3 ] = { lp[ 0 ], lp[ 1 ], lp[ 2 ] };
	for ( int layout = 0; layout < 2; ++layout ) {
		Domains const& d = layout == 0 ? plain : nested;
		int* link = layout == 0 ? linkPlain : linkNested;
		std::set< int > picksSeen;
		for ( int rep = 0; rep < 12; ++rep ) {
			Chain ch;
			RandomReplica g;
			g.sync();
			domTralin38( ch.xyz.p, kN, d, link, linkPos, ch.points, ch.dist, ch.out.p );
			double const v = g.next();
			double t[ 3 ];
			for ( double& x : t ) x = 2.0 * g.next() - 1.0;
			std::set< int > const rows = moved_rows( ch.xyz.p, ch.out.p );
			int const k = moved_domain( d, rows );
			ASSERT_GE( k, 0 );
			picksSeen.insert( k );
			int P = 0, Q = 0;
			junction_of( d, link, linkPos, k, v, P, Q );
			double closed[ 3 ];
			for ( int c = 0; c < 3; ++c ) closed[ c ] = ch.out[ P - 1 ][ c ] - t[ c ];
			EXPECT_NEAR( dist( closed, ch.xyz[ Q - 1 ] ), 3.8, 1e-9 ) << "layout " << layout << " k " << k;
			expect_rigid( ch.xyz.p, ch.out.p, rows );
			expect_distances( ch, rows );
		}
		EXPECT_GE( picksSeen.size(), 2u );
	}
}

TEST( DomainMoves, RandomMovesThenClosureKeepBondsAndRestore38AtJunctions )
{
	// A search-like run with the process's fixed generators: 60 random domain
	// moves open the junctions; Tran4lin38 then closes them all.  Within each
	// domain every CA-CA link keeps its length; every junction ends at 3.8 A.
	Chain ch;
	Domains const d = three_domains();
	int link[ 3 ] = { 0, 0, 0 };
	int lp[ 3 ][ 2 ] = { { 0, 0 }, { 0, 0 }, { 0, 0 } };
	int* linkPos[ 3 ] = { lp[ 0 ], lp[ 1 ], lp[ 2 ] };
	std::vector< double > bond( kN - 1 );
	for ( int i = 0; i + 1 < kN; ++i ) bond[ i ] = dist( ch.xyz[ i ], ch.xyz[ i + 1 ] );
	Table cur( kN );
	for ( int i = 0; i < kN; ++i )
		for ( int c = 0; c < 3; ++c ) cur[ i ][ c ] = ch.xyz[ i ][ c ];
	for ( int step = 0; step < 60; ++step ) {
		switch ( step % 5 ) {
		case 0: domRotTran_c( cur.p, kN, d, ch.points, ch.dist, ch.out.p ); break;
		case 1: domtra( cur.p, kN, d, 1.5, ch.points, ch.dist, ch.out.p ); break;
		case 2: domrot_c( cur.p, kN, d, 1.0, ch.points, ch.dist, ch.out.p ); break;
		case 3: domRotTran_b1( cur.p, kN, d, ch.points, ch.dist, ch.out.p ); break;
		default: domTralin38( cur.p, kN, d, link, linkPos, ch.points, ch.dist, ch.out.p ); break;
		}
		for ( int i = 0; i < kN; ++i )
			for ( int c = 0; c < 3; ++c ) cur[ i ][ c ] = ch.out[ i ][ c ];
	}
	// The moves opened at least one junction.
	EXPECT_GT( std::fabs( dist( cur[ 13 ], cur[ 14 ] ) - 3.8 ) + std::fabs( dist( cur[ 26 ], cur[ 27 ] ) - 3.8 ), 0.1 );
	Tran4lin38( cur.p, kN, d, link, linkPos );
	for ( int i = 0; i + 1 < kN; ++i ) {
		bool const junction = i == 13 || i == 26;
		EXPECT_NEAR( dist( cur[ i ], cur[ i + 1 ] ), junction ? 3.8 : bond[ i ], 1e-9 ) << i;
	}
}

TEST( DomainMoves, Tran4lin38JoinsANestedDomainAtItsInnerResidue )
{
	// Domain 2 (11-20) inside domain 1 (1-10, 21-30): it joins residue 10, the
	// residue at linkPos[0][0]; domain 3 then joins last(2) = 20.
	Chain ch;
	Domains const d = { [] { std::vector< int > v = range( 1, 10 ); for ( int r : range( 21, 30 ) ) v.push_back( r ); return v; }(),
		range( 11, 20 ), range( 31, 40 ) };
	for ( int r = 10; r < 20; ++r ) ch.xyz[ r ][ 0 ] += 7.0;
	for ( int r = 30; r < 40; ++r ) ch.xyz[ r ][ 2 ] -= 9.0;
	int link[ 3 ] = { -1, 0, 0 };
	int lp[ 3 ][ 2 ] = { { 9, 10 }, { 0, 0 }, { 0, 0 } };
	int* linkPos[ 3 ] = { lp[ 0 ], lp[ 1 ], lp[ 2 ] };
	Tran4lin38( ch.xyz.p, kN, d, link, linkPos );
	EXPECT_NEAR( dist( ch.xyz[ 9 ], ch.xyz[ 10 ] ), 3.8, 1e-12 );
	EXPECT_NEAR( dist( ch.xyz[ 19 ], ch.xyz[ 30 ] ), 3.8, 1e-12 );

	// One domain: nothing to close.
	Chain one;
	double const x = one.xyz[ 5 ][ 0 ];
	Tran4lin38( one.xyz.p, kN, { range( 1, kN ) }, link, linkPos );
	EXPECT_EQ( one.xyz[ 5 ][ 0 ], x );
}

TEST( DomainMoves, CoincidingJunctionResiduesAreLeftOpen )
{
	// The closure divides by the junction distance; coinciding residues must
	// leave the domain where it is instead of filling it with NaNs.
	Chain ch;
	for ( int c = 0; c < 3; ++c ) ch.xyz[ 14 ][ c ] = ch.xyz[ 13 ][ c ];
	int link[ 3 ] = { 0, 0, 0 };
	int lp[ 3 ][ 2 ] = { { 0, 0 }, { 0, 0 }, { 0, 0 } };
	int* linkPos[ 3 ] = { lp[ 0 ], lp[ 1 ], lp[ 2 ] };
	testing::internal::CaptureStdout();
	Tran4lin38( ch.xyz.p, kN, three_domains(), link, linkPos );
	std::string const msg = testing::internal::GetCapturedStdout();
	EXPECT_NE( msg.find( "Warning! Tran4lin38: the two junction residues coincide" ), std::string::npos ) << msg;
	for ( int i = 0; i < kN; ++i )
		for ( int c = 0; c < 3; ++c ) EXPECT_TRUE( std::isfinite( ch.xyz[ i ][ c ] ) );
	EXPECT_NEAR( dist( ch.xyz[ 26 ], ch.xyz[ 27 ] ), 3.8, 1e-12 ); // the other junction still closes
}

TEST( DomainMoves, TurnAboutTheEndToEndAxisOfAOneResidueDomainIsNoMove )
{
	// A one-residue domain has a zero axis: the rotation formula would scale
	// the domain by cos(angle) about its first residue instead of turning it.
	Chain ch;
	Domains const d = { { 5 } };
	for ( int rep = 0; rep < 3; ++rep ) {
		domrot_mid( ch.xyz.p, kN, d, ch.points, ch.dist, ch.out.p );
		EXPECT_TRUE( moved_rows( ch.xyz.p, ch.out.p ).empty() );
	}
	// Segments whose ends coincide are the same case.
	for ( int c = 0; c < 3; ++c ) ch.xyz[ 9 ][ c ] = ch.xyz[ 4 ][ c ];
	domrot_mid( ch.xyz.p, kN, { { 5, 6, 7, 10 } }, ch.points, ch.dist, ch.out.p );
	EXPECT_TRUE( moved_rows( ch.xyz.p, ch.out.p ).empty() );
}

TEST( DomainMoves, BadDomainListsAreRefusedWithoutDrawing )
{
	Chain ch;
	RandomReplica g;
	g.sync();
	int link[ 2 ] = { -1, 0 };
	int lp[ 2 ][ 2 ] = { { 0, 99 }, { 0, 0 } };
	int* linkPos[ 2 ] = { lp[ 0 ], lp[ 1 ] };
	testing::internal::CaptureStdout();
	domRotTran_c( ch.xyz.p, kN, { range( 1, 10 ), { 41 } }, ch.points, ch.dist, ch.out.p );
	domtra( ch.xyz.p, kN, { range( 1, 10 ), {} }, 1.0, ch.points, ch.dist, ch.out.p );
	domTralin38( ch.xyz.p, kN, { range( 1, 40 ) }, link, linkPos, ch.points, ch.dist, ch.out.p );
	domRotTran_b2( ch.xyz.p, kN, { range( 1, 20 ), range( 21, 40 ) }, link, linkPos, ch.points, ch.dist, ch.out.p );
	double gap = 5.0;
	double** got = RotTranAroundBoundary_global( ch.xyz.p, kN, { range( 1, 40 ) }, gap );
	std::string const msg = testing::internal::GetCapturedStdout();
	EXPECT_NE( msg.find( "Error! domRotTran_c: residue 41 of domain 2 lies outside 1..40" ), std::string::npos ) << msg;
	EXPECT_NE( msg.find( "Error! domtra: domain 2 holds no residue" ), std::string::npos ) << msg;
	EXPECT_NE( msg.find( "Error! domTralin38 needs at least 2 domain(s)" ), std::string::npos ) << msg;
	EXPECT_NE( msg.find( "Error! domRotTran_b2: the junction of domain 1" ), std::string::npos ) << msg;
	EXPECT_TRUE( moved_rows( ch.xyz.p, ch.out.p ).empty() );
	EXPECT_TRUE( moved_rows( ch.xyz.p, got ).empty() );
	EXPECT_EQ( gap, 0.0 );
	release2DArr( kN, got );
	EXPECT_DOUBLE_EQ( Random(), g.next() );
}

} // namespace
