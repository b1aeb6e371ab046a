#include "apps/quilter/CombinationSearch.hh"

#include "core/basic_fun_Quilt.hh"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>

double combinationCount( const std::vector< int >& counts )
{
	double p = 1.0;
	for ( int c : counts ) p *= c;
	return p;
}

namespace {

// CA atoms of every candidate, read once per search; a combination's points
// are gathered from these rows without copying any model.
struct CandidateCA {
	std::vector< std::vector< std::vector< double* > > > rows;  // chain, candidate, residue
	~CandidateCA()
	{
		for ( auto& chain : rows )
			for ( auto& cand : chain ) releaseVecT1D( cand );
	}
};

void load_ca( const std::vector< std::vector< Protein > >& candidates, CandidateCA& ca )
{
	ca.rows.resize( candidates.size() );
	for ( std::size_t c = 0; c < candidates.size(); ++c ) {
		for ( Protein const& p : candidates[ c ] ) {
			std::vector< double* > pts;
			Protein copy = p;
			for ( std::size_t r = 0; r < copy.residues.size(); ++r )
				pts.push_back( copy.getIthResidueCAXYZ( static_cast< int >( r ) ) );
			ca.rows[ c ].push_back( pts );
		}
	}
}

double score_points( std::vector< double* > const& pts, FastDensityScore map, bool corr, bool fast )
{
	if ( fast ) return -map.getFastDensScore( pts, static_cast< int >( pts.size() ) );
	if ( corr ) return -map.getRSCC( pts, 4.0 );
	return map.getCC( pts );
}

double evaluate( int const* comb, CandidateCA const& ca, FastDensityScore const& map, bool corr, bool fast )
{
	std::vector< double* > pts;
	for ( std::size_t c = 0; c < ca.rows.size(); ++c ) {
		auto const& cand = ca.rows[ c ][ comb[ c ] ];
		pts.insert( pts.end(), cand.begin(), cand.end() );
	}
	double const s = score_points( pts, map, corr, fast );
	return std::isnan( s ) ? 0.0 : s;
}

// Uniform position in [0, count) from a deviate in (0, 1), formed in single
// precision as the search has always drawn it.
int draw_position( int count, double deviate )
{
	int const k = static_cast< int >( static_cast< float >( count ) * static_cast< float >( deviate ) );
	return k < count ? k : count - 1;
}

// Standard normal deviate by the polar method on the C library generator.
double normal_deviate()
{
	double u, v, s;
	do {
		u = std::rand() * std::ldexp( 1.0, -30 ) - 1.0;
		v = std::rand() * std::ldexp( 1.0, -30 ) - 1.0;
		s = u * u + v * v;
	} while ( s == 0.0 || s >= 1.0 );
	return u * std::sqrt( -2.0 * std::log( s ) / s );
}

std::vector< int* > sort_by_score( std::vector< int* > combs, std::vector< double > const& raw,
	std::vector< double >& scores )
{
	int* order = quickSortAscendingInd( raw );
	std::vector< int* > sorted;
	for ( std::size_t k = 0; k < combs.size(); ++k ) {
		sorted.push_back( combs[ order[ k ] ] );
		scores.push_back( raw[ order[ k ] ] );
	}
	delete[] order;
	return sorted;
}

std::vector< int* > enumerate( std::vector< int > const& counts, CandidateCA const& ca, FastDensityScore const& map,
	std::vector< double >& scores )
{
	std::vector< int* > combs;
	TemplateCombination( counts, combs );
	std::vector< double > raw;
	for ( int* c : combs ) raw.push_back( evaluate( c, ca, map, true, false ) );
	return sort_by_score( combs, raw, scores );
}

std::vector< int* > evolve( std::vector< int > const& counts, int np, CandidateCA const& ca,
	FastDensityScore const& map, std::vector< double >& scores, bool fast, bool report )
{
	int const D = static_cast< int >( counts.size() );
	std::vector< int* > pop;
	std::vector< double > f;
	for ( int m = 0; m < np; ++m ) {
		int* x = new int[ D ]();
		if ( m > 0 )
			for ( int j = 0; j < D; ++j ) x[ j ] = draw_position( counts[ j ], ran1() );
		pop.push_back( x );
	}
	for ( int m = 0; m < np; ++m ) f.push_back( evaluate( pop[ m ], ca, map, true, fast ) );

	int bestIdx = 0;
	for ( int m = 1; m < np; ++m )
		if ( f[ m ] < f[ bestIdx ] ) bestIdx = m;
	double best = f[ bestIdx ];
	if ( report ) std::cout << "GetInitModel> Initial: " << bestIdx << " " << best << std::endl;

	std::vector< int* > next( np );
	std::vector< double > nextF( np );
	for ( int g = 0; g < 100; ++g ) {
		for ( int i = 0; i < np; ++i ) {
			int a, b, c;
			do a = draw_position( np, ran1() ); while ( a == i );
			do b = draw_position( np, ran1() ); while ( b == a || b == i );
			do c = draw_position( np, ran1() ); while ( c == i || c == a || c == b );
			double const F = 0.5 + 0.3 * normal_deviate();
			int j = draw_position( D, ran() );
			int* trial = new int[ D ];
			for ( int k = 0; k < D; ++k ) {
				if ( ran1() < 0.5 || k == D - 1 ) {
					double const v = std::trunc( ( pop[ a ][ j ] - pop[ b ][ j ] ) * F + pop[ c ][ j ] );
					trial[ j ] = ( v >= 0.0 && v < counts[ j ] ) ? static_cast< int >( v )
					                                               : draw_position( counts[ j ], ran1() );
				} else {
					trial[ j ] = pop[ i ][ j ];
				}
				j = ( j + 1 ) % D;
			}
			double const ft = evaluate( trial, ca, map, true, fast );
			if ( ft < f[ i ] ) {
				next[ i ] = trial;
				nextF[ i ] = ft;
			} else {
				next[ i ] = new int[ D ];
				for ( int k = 0; k < D; ++k ) next[ i ][ k ] = pop[ i ][ k ];
				nextF[ i ] = f[ i ];
				delete[] trial;
			}
		}
		releaseVecT1D( pop );
		pop = next;
		f = nextF;
		double low = f[ 0 ];
		for ( int m = 1; m < np; ++m ) low = std::min( low, f[ m ] );
		if ( low < best ) {
			if ( report ) std::cout << "GetInitModel> " << g << " " << low << std::endl;
			best = low;
		}
	}
	return sort_by_score( pop, f, scores );
}

std::vector< std::vector< Protein > > load_candidates( std::vector< std::vector< std::string > > const& paths,
	std::size_t D )
{
	std::vector< std::vector< Protein > > cands( D );
	for ( std::size_t c = 0; c < D && c < paths.size(); ++c )
		for ( std::string const& p : paths[ c ] ) cands[ c ].emplace_back( p, false );
	return cands;
}

} // namespace

double EvaluateCombination( int* comb, std::vector< std::vector< Protein > > candidates, FastDensityScore map,
	bool corr, bool fast )
{
	CandidateCA ca;
	load_ca( candidates, ca );
	return evaluate( comb, ca, map, corr, fast );
}

void TemplateCombination( std::vector< int > counts, std::vector< int* >& combinations )
{
	std::size_t const D = counts.size();
	if ( D == 0 ) return;
	while ( combinationCount( counts ) > 200 ) {
		std::size_t largest = 0;
		for ( std::size_t i = 1; i < D; ++i )
			if ( counts[ i ] > counts[ largest ] ) largest = i;
		if ( counts[ largest ] > 1 ) --counts[ largest ];
		else break;
	}
	for ( int c : counts )
		if ( c < 1 ) return;
	std::vector< int > pos( D, 0 );
	while ( true ) {
		int* comb = new int[ D ];
		for ( std::size_t i = 0; i < D; ++i ) comb[ i ] = pos[ i ];
		combinations.push_back( comb );
		std::size_t i = 0;
		while ( i < D && ++pos[ i ] == counts[ i ] ) {
			pos[ i ] = 0;
			++i;
		}
		if ( i == D ) break;
	}
}

std::vector< int* > EnumerateCombination( std::vector< int > counts, std::vector< std::vector< Protein > > candidates,
	FastDensityScore map, std::vector< double >& scores )
{
	CandidateCA ca;
	load_ca( candidates, ca );
	return enumerate( counts, ca, map, scores );
}

std::vector< int* > DESearchCombination( std::vector< int > counts, int population,
	std::vector< std::vector< Protein > > candidates, FastDensityScore map, std::vector< double >& scores,
	bool fastScore )
{
	// Three distinct donors besides the target need at least four members.
	if ( population < 4 || counts.empty() ) return {};
	CandidateCA ca;
	load_ca( candidates, ca );
	return evolve( counts, population, ca, map, scores, fastScore, false );
}

void SearhBestCombination( std::vector< std::vector< std::string > > fitchainpath, std::vector< int > Nchainpos,
	FastDensityScore map, CombinationResults& results )
{
	std::size_t const D = Nchainpos.size();
	if ( D == 0 || fitchainpath.size() < D ) return;
	for ( std::size_t c = 0; c < D; ++c ) {
		// Every chain needs a candidate, and no count may exceed its list.
		if ( Nchainpos[ c ] < 1 || static_cast< std::size_t >( Nchainpos[ c ] ) > fitchainpath[ c ].size() ) return;
	}
	CandidateCA ca;
	load_ca( load_candidates( fitchainpath, D ), ca );

	double const P = combinationCount( Nchainpos );
	std::vector< int* > combs;
	if ( P > 999 ) {
		std::cout << "GetInitModel> DE search..." << std::endl;
		combs = evolve( Nchainpos, 30, ca, map, results.searchScores, P > 10000, true );
	} else {
		combs = enumerate( Nchainpos, ca, map, results.searchScores );
	}

	for ( int* comb : combs ) {
		double const rscc = -evaluate( comb, ca, map, true, false );
		std::vector< std::string > files( D );
		char head[ 64 ];
		std::snprintf( head, sizeof head, "%8.3f", rscc );
		std::cout << "COM: " << head << " | ";
		for ( std::size_t j = 0; j < D; ++j ) {
			files[ j ] = fitchainpath[ j ][ comb[ j ] ];
			std::cout << comb[ j ] << " ";
		}
		std::cout << std::endl;
		results.fileSets.push_back( files );
		results.rscc.push_back( rscc );
	}
	releaseVecT1D( combs );
}
