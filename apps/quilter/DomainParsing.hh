// Splitting one chain into structural domains with the domain splitter
// (lobecut, started through the shell on a private copy of the chain), the
// one-line domain definition "<chain>_dom.def" written beside the chain, its
// segment table, and per-domain model files "<chain>_dom<k>.pdb".
#ifndef QUILT_QUILTER_DOMAINPARSING_HH
#define QUILT_QUILTER_DOMAINPARSING_HH

#include <string>
#include <vector>

// A parsed domain definition.  The segment bounds are new int[2] arrays
// (start, end); copies share them and whoever keeps them frees each with
// delete[] (the destructor does not).
struct DomBdInfo {
	std::vector< std::vector< int > > domainResidues;  // per domain: 0-based positions start-1 .. end-1
	std::vector< int* > segmentBounds;                 // sorted ascending by start (stable)
	std::vector< int > segmentDomains;                 // owning domain (0-based) of each segment
	bool discontinuous = false;                        // some domain has two or more segments
	int domainCount = 0;
	~DomBdInfo();
};

// Runs the splitter on the chain and reads its definition back: domain count
// (from the splitter's log), the segment bounds and domains (replaced), and
// with writeFiles the domain files (replaced) with their residue counts
// (appended).
void DomSplit( std::string programDir, std::string chainFile, int& domainCount, std::vector< int* >& segmentBounds,
	std::vector< int >& segmentDomains, std::vector< std::string >& domainFiles,
	std::vector< int >& domainResidueCounts, bool writeFiles );

// Starts the splitter in a fresh temporary directory beside the chain and
// returns the path of the definition file it leaves beside the chain; sets
// the domain count and the chain's residue count.  Leaves the chain's
// directory current.
std::string runDomainParser( std::string programDir, std::string chainFile, int& domainCount, int& residueCount );

// Turns the first line of the splitter's log into the definition file
// "<log dir>/<chain name>_dom.def" and returns its path.
std::string transDomParlog( std::string logFile, std::string chainName, int& domainCount, int firstResidue,
	int lastResidue );

// Reads a definition file (one segment 1-residueCount when it holds none).
DomBdInfo ReadBdInfo( std::string defFile, int residueCount );

// Writes one model file per domain beside the chain (the input lines of the
// residues whose file numbers lie in the domain's segments) and returns their
// paths; appends each file's residue count.
std::vector< std::string > GetDomPDB( std::string chainFile, int domainCount, std::vector< int* > segmentBounds,
	std::vector< int > segmentDomains, std::vector< int >& domainResidueCounts );

// Segments (1-based start, end) of runs of one domain over residueCount
// positions, domains given as lists of 1-based positions.
void getDomainBoundary_o( std::vector< std::vector< int > > domains, std::vector< int* >& segmentBounds,
	std::vector< int >& segmentDomains, int residueCount );
// Writes dir/domain_definition.txt (and prints it), copied to dir/Segscry.info.
void get_dom_definition( std::string dir, std::vector< std::vector< int > > domains, int residueCount );
// Writes dir/dom_ind_list.txt, then the domain definition.
void getdom_ind_list( std::string dir, std::vector< std::vector< int > > domains, int residueCount );

#endif
