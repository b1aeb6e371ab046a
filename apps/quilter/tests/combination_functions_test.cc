// The combination search's public steps on loaded candidates: the score of
// one combination (which candidates' CA atoms, which score), the scored
// enumeration (sorted, stable, trimmed) and the differential evolution on
// its own (population, scores, bounds), on two synthetic chains in a map
// simulated from their true places.
#include "apps/quilter/CombinationSearch.hh"
#include "quilter_test_util.hh"

#include <cmath>
#include <cstdlib>
#include <gtest/gtest.h>
#include <set>
#include <string>
#include <vector>

using namespace quilter_test;

namespace {

// Chain 0: candidates moved, true, true again (a second file), moved
// further; chain 1: true, moved.
struct TwoChainCandidates {
	quilt_test::ScratchDir dir{ "quilt combfn" };
	std::vector< std::vector< std::vector< Point > > > pts;
	std::vector< std::vector< Protein > > cands;
	FastDensityScore map;
	TwoChainCandidates()
	{
		std::vector< Point > const t0 = helix( 24, 0, 0, 0 ), t1 = helix( 20, 14, 0, 3, 1.0 );
		write_chain( dir.file( "t0.pdb" ), t0, 'A' );
		write_chain( dir.file( "t1.pdb" ), t1, 'B' );
		simulate_map( { dir.file( "t0.pdb" ), dir.file( "t1.pdb" ) }, dir.file( "map.mrc" ) );
		map = load_map( dir.file( "map.mrc" ) );
		pts = { { shifted( t0, 6, 0, -4 ), t0, t0, shifted( t0, -9, 3, 5 ) }, { t1, shifted( t1, 5, 5, 0 ) } };
		cands.resize( 2 );
		for ( int c = 0; c < 2; ++c )
			for ( std::size_t k = 0; k < pts[ c ].size(); ++k ) {
				std::string const f = dir.file( "c" + std::to_string( c ) + "_" + std::to_string( k ) + ".pdb" );
				write_chain( f, pts[ c ][ k ], static_cast< char >( 'A' + c ) );
				cands[ c ].emplace_back( f, false );
			}
	}
	static std::vector< Point > shifted( std::vector< Point > p, double dx, double dy, double dz )
	{
		for ( auto& q : p ) {
			q.x += dx;
			q.y += dy;
			q.z += dz;
		}
		return p;
	}
	// The CA points of a combination, from the coordinates written (three
	// decimals, as in the files).
	std::vector< double* > points( std::vector< int > const& comb ) const
	{
		std::vector< double* > out;
		for ( std::size_t c = 0; c < comb.size(); ++c )
			for ( Point const& p : pts[ c ][ comb[ c ] ] )
				out.push_back( new double[ 3 ]{ std::round( p.x * 1000 ) / 1000, std::round( p.y * 1000 ) / 1000,
					std::round( p.z * 1000 ) / 1000 } );
		return out;
	}
	double rscc( std::vector< int > const& comb ) const
	{
		std::vector< double* > p = points( comb );
		FastDensityScore m( map );
		double const r = m.getRSCC( p, 4.0 );
		for ( double* q : p ) delete[] q;
		return r;
	}
	double fast( std::vector< int > const& comb ) const
	{
		std::vector< double* > p = points( comb );
		FastDensityScore m( map );
		double const s = m.getFastDensScore( p, static_cast< int >( p.size() ) );
		for ( double* q : p ) delete[] q;
		return s;
	}
	double cc( std::vector< int > const& comb ) const
	{
		std::vector< double* > p = points( comb );
		FastDensityScore m( map );
		double const s = m.getCC( p );
		for ( double* q : p ) delete[] q;
		return s;
	}
};

double rel( double v ) { return 1e-9 * std::max( 1.0, std::fabs( v ) ); }

std::vector< int > as_vector( int const* c, int d ) { return std::vector< int >( c, c + d ); }

} // namespace

TEST( CombinationFunctions, ScoreOfOneCombination )
{
	TwoChainCandidates t;
	for ( std::vector< int > comb : { std::vector< int >{ 1, 0 }, { 0, 1 }, { 3, 0 }, { 2, 1 } } ) {
		SCOPED_TRACE( std::to_string( comb[ 0 ] ) + " " + std::to_string( comb[ 1 ] ) );
		double const r = t.rscc( comb ), f = t.fast( comb ), c = t.cc( comb );
		EXPECT_NEAR( EvaluateCombination( comb.data(), t.cands, t.map, true, false ), -r, rel( r ) );
		EXPECT_NEAR( EvaluateCombination( comb.data(), t.cands, t.map, false, true ), -f, rel( f ) );
		// The fast score wins over the correlation.
		EXPECT_NEAR( EvaluateCombination( comb.data(), t.cands, t.map, true, true ), -f, rel( f ) );
		// Neither: the masked misfit, already lower-is-better.
		EXPECT_NEAR( EvaluateCombination( comb.data(), t.cands, t.map, false, false ), c, rel( c ) );
	}
	// The true places score best under every score.
	int truth[ 2 ] = { 1, 0 }, wrong[ 2 ] = { 1, 1 }, wrong2[ 2 ] = { 0, 0 };
	for ( bool fast : { false, true } ) {
		double const best = EvaluateCombination( truth, t.cands, t.map, true, fast );
		EXPECT_LT( best, EvaluateCombination( wrong, t.cands, t.map, true, fast ) );
		EXPECT_LT( best, EvaluateCombination( wrong2, t.cands, t.map, true, fast ) );
	}
	EXPECT_LT( EvaluateCombination( truth, t.cands, t.map, false, false ),
		EvaluateCombination( wrong, t.cands, t.map, false, false ) );
}

TEST( CombinationFunctions, EnumerationIsSortedStableAndComplete )
{
	TwoChainCandidates t;
	std::vector< double > scores = { 42.0 };  // appended to, never cleared
	std::vector< int* > combs = EnumerateCombination( { 4, 2 }, t.cands, t.map, scores );
	ASSERT_EQ( combs.size(), 8u );
	ASSERT_EQ( scores.size(), 9u );
	EXPECT_EQ( scores[ 0 ], 42.0 );
	std::set< std::vector< int > > seen;
	for ( std::size_t k = 0; k < combs.size(); ++k ) {
		std::vector< int > const c = as_vector( combs[ k ], 2 );
		seen.insert( c );
		double const r = t.rscc( c );
		EXPECT_NEAR( scores[ k + 1 ], -r, rel( r ) ) << k;
		if ( k > 0 ) {
			EXPECT_LE( scores[ k ], scores[ k + 1 ] ) << k;
		}
	}
	EXPECT_EQ( seen.size(), 8u );
	// The true combination first; its twin (the same places from another
	// file) next, since equal scores keep the listing order.
	EXPECT_EQ( as_vector( combs[ 0 ], 2 ), ( std::vector< int >{ 1, 0 } ) );
	EXPECT_EQ( as_vector( combs[ 1 ], 2 ), ( std::vector< int >{ 2, 0 } ) );
	EXPECT_EQ( scores[ 1 ], scores[ 2 ] );
	for ( int* c : combs ) delete[] c;

	// Thirty candidates for chain 0: trimmed to twenty (200 combinations).
	std::vector< std::vector< Protein > > many( 2 );
	for ( int k = 0; k < 30; ++k ) many[ 0 ].push_back( t.cands[ 0 ][ k % 4 ] );
	for ( int k = 0; k < 10; ++k ) many[ 1 ].push_back( t.cands[ 1 ][ k % 2 ] );
	std::vector< double > s2;
	combs = EnumerateCombination( { 30, 10 }, many, t.map, s2 );
	ASSERT_EQ( combs.size(), 200u );
	EXPECT_EQ( s2.size(), 200u );
	for ( int* c : combs ) {
		EXPECT_LT( c[ 0 ], 20 );
		EXPECT_LT( c[ 1 ], 10 );
		delete[] c;
	}
}

TEST( CombinationFunctions, DifferentialEvolutionOnItsOwn )
{
	TwoChainCandidates t;
	// Six candidates per chain (the lists repeated), the truth at several
	// positions; a count of 1 for a chain holds it at position 0.
	std::vector< std::vector< Protein > > six( 2 );
	for ( int k = 0; k < 6; ++k ) {
		six[ 0 ].push_back( t.cands[ 0 ][ k % 4 ] );
		six[ 1 ].push_back( t.cands[ 1 ][ k % 2 ] );
	}
	for ( bool fast : { false, true } ) {
		SCOPED_TRACE( fast );
		std::srand( 3 );
		std::vector< double > scores = { -7.0 };
		std::vector< int* > pop = DESearchCombination( { 6, 6 }, 12, six, t.map, scores, fast );
		ASSERT_EQ( pop.size(), 12u );
		ASSERT_EQ( scores.size(), 13u );
		for ( std::size_t k = 0; k < pop.size(); ++k ) {
			std::vector< int > const c = as_vector( pop[ k ], 2 );
			ASSERT_GE( c[ 0 ], 0 );
			ASSERT_LT( c[ 0 ], 6 );
			ASSERT_GE( c[ 1 ], 0 );
			ASSERT_LT( c[ 1 ], 6 );
			std::vector< int > const asCands = { c[ 0 ] % 4, c[ 1 ] % 2 };
			double const want = fast ? -t.fast( asCands ) : -t.rscc( asCands );
			EXPECT_NEAR( scores[ k + 1 ], want, rel( want ) ) << k;
			if ( k > 0 ) {
			EXPECT_LE( scores[ k ], scores[ k + 1 ] ) << k;
		}
		}
		// The best member lies on the true places.
		std::vector< int > const best = as_vector( pop[ 0 ], 2 );
		EXPECT_TRUE( best[ 0 ] % 4 == 1 || best[ 0 ] % 4 == 2 ) << best[ 0 ];
		EXPECT_EQ( best[ 1 ] % 2, 0 ) << best[ 1 ];
		for ( int* c : pop ) delete[] c;
	}
	std::vector< double > scores;
	std::vector< int* > pop = DESearchCombination( { 1, 6 }, 8, six, t.map, scores, false );
	ASSERT_EQ( pop.size(), 8u );
	for ( int* c : pop ) {
		EXPECT_EQ( c[ 0 ], 0 );
		delete[] c;
	}
	// Fewer than four members cannot draw three donors; no chains, no search.
	EXPECT_TRUE( DESearchCombination( { 6, 6 }, 3, six, t.map, scores, false ).empty() );
	EXPECT_TRUE( DESearchCombination( {}, 12, six, t.map, scores, false ).empty() );
}
