// The combination search: one candidate per chain so that the CA atoms of
// all chosen candidates together fit the whole map best.  Small searches
// (at most 999 combinations) score every combination of a trimmed candidate
// set (at most 200); larger ones run a differential evolution (DE/rand/1,
// binomial crossover) over integer candidate positions.  Scores are lower-
// is-better: minus the real-space correlation, or minus the fast density
// score for searches of more than 10000 combinations.
#ifndef QUILT_QUILTER_COMBINATIONSEARCH_HH
#define QUILT_QUILTER_COMBINATIONSEARCH_HH

#include "core/Protein.hh"
#include "density/FastDensityScore.hh"

#include <string>
#include <vector>

// Kept combinations of one search, in ascending order of their search score:
// the chosen file of every chain, the real-space correlation of all chosen
// CA atoms (higher is better) and the search score (lower is better).
struct CombinationResults {
	std::vector< std::vector< std::string > > fileSets;
	std::vector< double > rscc;
	std::vector< double > searchScores;
};

// Product of the candidate counts, in double precision (it can exceed the
// range of a 32-bit integer).
double combinationCount( const std::vector< int >& counts );

// Score of one combination (comb[i] = position of chain i's candidate):
// minus the fast score with fast, else minus the RSCC (radius 4.0) with corr,
// else the masked misfit (1 - CC) * 100.
double EvaluateCombination( int* comb, std::vector< std::vector< Protein > > candidates, FastDensityScore map,
	bool corr, bool fast );

// Trims a copy of the counts (the largest, the first of equal ones, lowered
// by one while the product exceeds 200) and appends every combination of the
// trimmed counts, chain 0 fastest.  The arrays are new int[D].
void TemplateCombination( std::vector< int > counts, std::vector< int* >& combinations );

// All combinations of the trimmed counts scored by minus the RSCC, best
// first (stable); appends their sorted scores.
std::vector< int* > EnumerateCombination( std::vector< int > counts, std::vector< std::vector< Protein > > candidates,
	FastDensityScore map, std::vector< double >& scores );

// Differential evolution with the given population for 100 generations;
// returns the final population best first and appends its sorted scores.
std::vector< int* > DESearchCombination( std::vector< int > counts, int population,
	std::vector< std::vector< Protein > > candidates, FastDensityScore map, std::vector< double >& scores,
	bool fastScore );

// The whole search over the candidate lists; appends one entry per kept
// combination to the results and prints a "COM: " line for each.
void SearhBestCombination( std::vector< std::vector< std::string > > fitchainpath, std::vector< int > Nchainpos,
	FastDensityScore map, CombinationResults& results );

#endif
