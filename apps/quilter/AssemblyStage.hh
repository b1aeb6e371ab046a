// The assembly stage: chains ordered largest first, matched into the map
// (unit matching), the best combination of their placements searched (and,
// when the LBFGS fitting was needed and the fit stays poor, searched again
// after a second matching by FFT search alone), the final model written and
// optionally improved by domain optimisation.  Progress lines carry the
// prefix "GetInitModel> ".
#ifndef QUILT_QUILTER_ASSEMBLYSTAGE_HH
#define QUILT_QUILTER_ASSEMBLYSTAGE_HH

#include "density/FastDensityScore.hh"

#include <string>
#include <vector>

// Paths ordered by residue count, largest first (among equal counts the
// later path first).
std::vector< std::string > SortChainDescending( std::vector< int > residueCounts, std::vector< std::string > paths );
// The same order computed by reading the chains (among equal counts the
// earlier path first).
std::vector< std::string > SortChainDescending( std::vector< std::string > paths );

// Makes a fresh work directory dataDir/<prefix>XXXXXX; empty on failure.
std::string makeWorkDirectory( const std::string& dataDir, const std::string& prefix );
// Removes a work directory made by makeWorkDirectory (refuses any other path).
void removeWorkDirectory( const std::string& dir, const std::string& dataDir, const std::string& prefix );

// What the user has to check in the final model: chains accepted below the
// acceptance threshold (the note of each, said only of the chains that the
// model holds), chains left out of it (their names, read from the model
// written, and why each is missing: no program left a result, or none that
// overlaps density, in the matching whose combination was written), and
// pairs of chains that clash (the warning text of each).
struct StageReport {
	std::vector< std::string > belowThreshold;
	std::vector< std::string > leftOut;
	std::vector< std::string > leftOutWhy;
	std::vector< std::string > clashes;
	// For each chain that a matching could not place, what the final model
	// holds of it (the warning text of each): known only once the model is
	// written, since the FFT re-match may place a chain that the first
	// matching could not, and the first matching's combination may be
	// written over a re-match that lost one.
	std::vector< std::string > unplaced;
	// Why the final model could not be written, in the system's words
	// (empty when it was written or nothing was placed).
	std::string writeFailure;
	// Set by the caller before the stage: the identifiers (trimmed) of the
	// nucleic-acid chains, which the stage sees masked as pseudo-protein
	// chains.  The clash review traces them by their P atoms, not by the
	// C4' atoms that the mask names "CA".
	std::vector< std::string > nucleicAcidIds;
};

// Whole-map road (chains of one kind).  Returns true when the final model
// dataDir/<outName less ".pdb">1.pdb was written.
bool GetInitModel( int nModels, std::string dataDir, std::string outName, std::vector< std::string > chains,
	std::string binDir, std::string mapPath, double reso, int processes, FastDensityScore map,
	std::vector< int > residueCounts, int* marks, bool lbfgsAndFft, bool fullFitting, bool localDomainOpt,
	bool domainMatching, bool sortChains, bool removeMatched, bool iterate, bool globalDomainOpt, int fftPositions,
	int lbfgsPositions, double gridWidth, double threshold, double cutoff, StageReport* report = nullptr );

// Mixed road: nucleic-acid chains matched into the nucleic-acid map, protein
// chains into the protein map, their candidates merged (protein first).
bool GetInitNA_ProModel( int nModels, std::string dataDir, std::string outName, std::vector< std::string > chains,
	std::vector< std::string > naChains, std::vector< std::string > proChains, std::string binDir,
	std::string mapPath, std::string naMapPath, std::string proMapPath, double reso, int processes,
	FastDensityScore map, FastDensityScore naMap, FastDensityScore proMap, std::vector< int > residueCounts,
	std::vector< int > naResidueCounts, std::vector< int > proResidueCounts, int* marks, int* naMarks,
	int* proMarks, bool lbfgsAndFft, bool fullFitting, bool localDomainOpt, bool domainMatching, bool sortChains,
	bool removeMatched, bool iterate, bool globalDomainOpt, int fftPositions, int lbfgsPositions, double gridWidth,
	double threshold, double cutoff, StageReport* report = nullptr );

#endif
