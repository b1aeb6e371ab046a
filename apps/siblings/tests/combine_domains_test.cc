// The combination of domain placements into whole chains: size-weighted
// domain scores less the penalties for stretched junctions and for clashing
// trace atoms, junctions beyond 15 A ruling a combination out, best first.
// Expected scores are computed here from the geometry.
#include "apps/siblings/lobe_place.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

using namespace siblings;

namespace {

// Twenty CA atoms in a line along x, 3.8 A apart (residues 1 to 20):
// domain 0 the first ten, domain 1 the rest.
std::vector< Vec3 > line_chain( std::string const& path )
{
	std::vector< Vec3 > p;
	std::ofstream out( path.c_str() );
	for ( int i = 0; i < 20; ++i ) {
		p.push_back( { 3.8 * i, 0.0, 0.0 } );
		char buf[ 100 ];
		std::snprintf( buf, sizeof buf, "ATOM  %5d  CA  GLY A%4d    %8.3f%8.3f%8.3f  1.00 20.00", i + 1, i + 1, 3.8 * i,
			0.0, 0.0 );
		out << buf << "\n";
	}
	return p;
}

DomainCandidate shift( double x, double y, double z, double score )
{
	DomainCandidate c;
	c.move.t[ 0 ] = x;
	c.move.t[ 1 ] = y;
	c.move.t[ 2 ] = z;
	c.score = score;
	return c;
}

double dist( Vec3 const& a, Vec3 const& b )
{
	return std::sqrt( ( a[ 0 ] - b[ 0 ] ) * ( a[ 0 ] - b[ 0 ] ) + ( a[ 1 ] - b[ 1 ] ) * ( a[ 1 ] - b[ 1 ] ) +
	                  ( a[ 2 ] - b[ 2 ] ) * ( a[ 2 ] - b[ 2 ] ) );
}

Vec3 plus( Vec3 p, DomainCandidate const& c )
{
	for ( int a = 0; a < 3; ++a ) p[ a ] += c.move.t[ a ];
	return p;
}

} // namespace

TEST( CombineDomains, ScoresLessJunctionAndClashPenaltiesBestFirst )
{
	quilt_test::ScratchDir dir( "combdom" );
	std::vector< Vec3 > const ca = line_chain( dir.file( "c.pdb" ) );
	ChainModel model;
	std::string error;
	ASSERT_TRUE( read_chain_model( dir.file( "c.pdb" ), model, error ) ) << error;
	std::vector< std::vector< int > > domains( 2 );
	for ( int r = 0; r < 20; ++r ) domains[ r < 10 ? 0 : 1 ].push_back( r );

	// Domain 0: in place, or moved onto domain 1's region (its junction
	// then 26 A long: ruled out, although it scores best).  Domain 1: in
	// place; 8 A up (junction stretched to 8.9 A); 2 A aside (junction 4.3 A,
	// no clash); 5 A back and 1 A aside (overlapping domain 0's end).
	std::vector< std::vector< DomainCandidate > > const cands = {
		{ shift( 0, 0, 0, 0.5 ), shift( 30, 0, 0, 0.9 ) },
		{ shift( 0, 0, 0, 0.6 ), shift( 0, 8, 0, 0.8 ), shift( 0, 0, 2, 0.95 ), shift( -5, 0, 1, 0.96 ) } };

	// Expected score of every combination that is not ruled out.
	std::vector< std::pair< double, std::vector< int > > > want;
	for ( int a = 0; a < 2; ++a )
		for ( int b = 0; b < 4; ++b ) {
			double const junction = dist( plus( ca[ 9 ], cands[ 0 ][ a ] ), plus( ca[ 10 ], cands[ 1 ][ b ] ) );
			if ( junction > 15.0 ) continue;
			int clashes = 0;
			for ( int i = 0; i < 10; ++i )
				for ( int j = 10; j < 20; ++j )
					clashes += dist( plus( ca[ i ], cands[ 0 ][ a ] ), plus( ca[ j ], cands[ 1 ][ b ] ) ) < 3.5;
			double s = 0.5 * cands[ 0 ][ a ].score + 0.5 * cands[ 1 ][ b ].score;
			if ( junction > 4.5 ) s -= 0.01 * ( junction - 4.5 );
			s -= 0.005 * clashes;
			want.push_back( { s, { a, b } } );
		}
	ASSERT_EQ( want.size(), 4u );  // every combination with domain 0 moved is ruled out
	std::stable_sort( want.begin(), want.end(), []( auto const& x, auto const& y ) { return x.first > y.first; } );
	// The clashing placement scores highest alone but must end below the
	// clean one 2 A aside.
	ASSERT_EQ( want[ 0 ].second, ( std::vector< int >{ 0, 2 } ) );
	ASSERT_EQ( want[ 1 ].second, ( std::vector< int >{ 0, 3 } ) );
	ASSERT_LT( want[ 1 ].first, 0.5 * 0.5 + 0.5 * 0.96 - 0.01 );

	std::vector< std::vector< int > > const got = combine_domains( model, domains, cands, 10 );
	ASSERT_EQ( got.size(), 4u );
	for ( std::size_t k = 0; k < got.size(); ++k ) EXPECT_EQ( got[ k ], want[ k ].second ) << k;
	// Only the asked number is kept.
	std::vector< std::vector< int > > const two = combine_domains( model, domains, cands, 2 );
	ASSERT_EQ( two.size(), 2u );
	EXPECT_EQ( two[ 0 ], want[ 0 ].second );
	EXPECT_EQ( two[ 1 ], want[ 1 ].second );
	// A domain without candidates, or no domains: nothing to combine.
	EXPECT_TRUE( combine_domains( model, domains, { cands[ 0 ], {} }, 10 ).empty() );
	EXPECT_TRUE( combine_domains( model, {}, {}, 10 ).empty() );
}

TEST( CombineDomains, LargerDomainWeighsMore )
{
	quilt_test::ScratchDir dir( "combdom" );
	line_chain( dir.file( "c.pdb" ) );
	ChainModel model;
	std::string error;
	ASSERT_TRUE( read_chain_model( dir.file( "c.pdb" ), model, error ) ) << error;
	// Domain 0: residues 0-14 (15), domain 1: 15-19 (5).  Every candidate
	// in place (no junction penalty, no clash); a gain of 0.4 on the large
	// domain beats a gain of 0.8 on the small one.
	std::vector< std::vector< int > > domains( 2 );
	for ( int r = 0; r < 20; ++r ) domains[ r < 15 ? 0 : 1 ].push_back( r );
	std::vector< std::vector< DomainCandidate > > const cands = { { shift( 0, 0, 0, 0.2 ), shift( 0, 0, 0, 0.6 ) },
		{ shift( 0, 0, 0, 0.1 ), shift( 0, 0, 0, 0.9 ) } };
	std::vector< std::vector< int > > const got = combine_domains( model, domains, cands, 4 );
	// Scores: (1,1) 0.675, (1,0) 0.475, (0,1) 0.375, (0,0) 0.175.
	ASSERT_EQ( got.size(), 4u );
	EXPECT_EQ( got[ 0 ], ( std::vector< int >{ 1, 1 } ) );
	EXPECT_EQ( got[ 1 ], ( std::vector< int >{ 1, 0 } ) );
	EXPECT_EQ( got[ 2 ], ( std::vector< int >{ 0, 1 } ) );
	EXPECT_EQ( got[ 3 ], ( std::vector< int >{ 0, 0 } ) );
}
