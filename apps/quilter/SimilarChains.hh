// Which chains have a structural twin among the input chains, by TM-score
// (0.9 or more), as whole chains or by one of their domains.
#ifndef QUILT_QUILTER_SIMILARCHAINS_HH
#define QUILT_QUILTER_SIMILARCHAINS_HH

#include <string>
#include <vector>

// CA trace of the first chain of a model file: n CA rows (0, 0, 0 for a
// residue without CA) and the residue numbers as written in the file.
struct CATrace {
	int n = 0;
	double** xyz = nullptr;
	int* resno = nullptr;
	explicit CATrace( const std::string& path );
	~CATrace();
	CATrace( const CATrace& ) = delete;
	CATrace& operator=( const CATrace& ) = delete;
};

// TM-score of two traces (structure alignment of a onto b), normalised by
// the shorter chain, or by b when normaliseByB; 0 when either is empty.
double traceTMscore( const CATrace& a, const CATrace& b, bool normaliseByB );

// New int[n] (delete[]): 1 for every chain whose TM-score with another chain
// of the list is at least 0.9, else 0.  Appends each chain's residue count.
int* CheckSimilarChain( std::vector< std::string > paths, std::vector< int >& residueCounts );

// 1 when some domain of chain chainIndex (split by the domain splitter in
// programDir) resembles another chain of paths (TM-score normalised by that
// chain at least 0.9), else 0; domainCount receives the splitter's count.
// The domain files are removed again.
int CheckSimilarChainofDomain( int chainIndex, std::string programDir, std::vector< std::string > paths,
	int& domainCount );

#endif
