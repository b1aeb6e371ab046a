// Unit matching: every chain is placed into the map by the started programs
// (FFT search, LBFGS fitting, domain optimisation or domain-based matching),
// the result files are judged against the loaded map, and each chain's
// candidate model files go into the candidate lists that the combination
// search consumes:
//   fitchainpath[c]  paths of the candidate files of matched chain c
//   Nchainpos[c]     their number
// Nothing in the lists says which input chain an entry came from.  A chain
// for which no program left a result gets a warning and no entry; whether
// the final model lacks it is for the assembly stage to say, once that
// model is written (a later matching may place it).
#ifndef QUILT_QUILTER_UNITMATCHING_HH
#define QUILT_QUILTER_UNITMATCHING_HH

#include "density/FastDensityScore.hh"

#include <string>
#include <vector>

// The acceptance threshold: the cutoff, or 0.6125 (1 - resolution / 98)
// when the cutoff is 0.
double initialRsccCut( double cutoff, double resolution );

// Lowers the threshold after a pass that accepted no chain: in steps of 0.01
// while it is above the best unmatched score and above 0.5, when that score
// is above 0.5.  Returns false (and leaves the threshold) when the score is
// 0.5 or less: the next pass then accepts every chain.
bool lowerRsccCut( double& cut, double bestUnmatched );

// Iterative matching of protein chains (FFT search, then Placer, then the
// domain programs) in passes with an acceptance threshold; accepted chains
// have their density blanked in a new map for the later chains.  A chain
// accepted with a score below the threshold asked for (the cutoff, or the
// one derived from the resolution for cutoff 0) gets a note
// (belowThresholdNote), appended to weakChains when given, else printed as
// a warning at once: a chain of the last pass, the last chain, "-it 0", a
// chain with similar domains, and a chain accepted after a pass that
// accepted nothing lowered the threshold.  The assembly says the notes once
// the final model is written, of the chains it holds: the placement check
// may yet drop such a chain's placements.  mapName is how the notes name the
// map matched into ("the map" when empty; "NA.map", "Pro.map").
void UnitMatching_lb_ft( std::string workDir, std::vector< std::string > chains, std::string binDir,
	std::string mapFile, double reso, FastDensityScore map, std::vector< std::vector< std::string > >& fitchainpath,
	std::vector< int >& Nchainpos, int* marks, int& lbfgsStarted, int processes, int fftPositions,
	int lbfgsPositions, bool removeMatched, bool reuse, bool domainOpt, bool domainMatching, bool iterate,
	double gridWidth, double threshold, double cutoff, std::string atomType,
	std::vector< std::string >* weakChains = nullptr, std::string const& mapName = "" );

// The same for nucleic-acid chains, with PlacerRNA and the atom type.
void UnitMatching_lb_ftRNA( std::string workDir, std::vector< std::string > chains, std::string binDir,
	std::string mapFile, double reso, FastDensityScore map, std::vector< std::vector< std::string > >& fitchainpath,
	std::vector< int >& Nchainpos, int* marks, int& lbfgsStarted, int processes, int fftPositions,
	int lbfgsPositions, bool removeMatched, bool reuse, bool domainOpt, bool domainMatching, bool iterate,
	double gridWidth, double threshold, double cutoff, std::string atomType,
	std::vector< std::string >* weakChains = nullptr, std::string const& mapName = "" );

// One pass of FFT search for every chain, keeping every result (one per
// chain with removal on, else up to five).
void UnitMatching_ft( std::string workDir, std::vector< std::string > chains, std::string binDir,
	std::string mapFile, double reso, std::vector< std::vector< std::string > >& fitchainpath,
	std::vector< int >& Nchainpos, bool removeMatched, bool reuse, int processes );

// One pass of Placer (50 positions) for every chain, keeping every result.
void UnitMatching_lb( std::string workDir, std::vector< std::string > chains, std::string binDir,
	std::string mapFile, double reso, std::vector< std::vector< std::string > >& fitchainpath,
	std::vector< int >& Nchainpos, bool removeMatched, bool reuse, double gridWidth, double threshold );

// Sets the map values within radius of any atom of the model file (its
// first chain) to 0, in this copy of the map only.
void blankModelDensity( FastDensityScore& map, const std::string& model, double radius );

// "Chain '<chain>' is kept at RSCC <score> below the acceptance threshold
// <cut>: its placement is uncertain.", with " (judged on <scoredOn>)" after
// <score> when scoredOn is given (the map the score was judged on: in the
// matching, the map less the density of the chains accepted before), and
// " (lowered to <lowered> when it was accepted)" after <cut> when the
// threshold in force was lowered below the one asked for.
std::string belowThresholdNote( const std::string& chain, double score, double cut, double lowered,
	const std::string& scoredOn = "" );
// Chain name of a chain file: its file name less the last four characters.
std::string chainNameOf( const std::string& path );

#endif
