// One residue of a PDB model: its atoms' coordinates, trimmed names and
// input lines (parallel, in file order), the positions of its backbone
// atoms and its numbers.  A Residue owns its coordinate triples; copies are
// deep.
#ifndef QUILT_CORE_RESIDUE_HH
#define QUILT_CORE_RESIDUE_HH

#include <string>
#include <vector>

class Residue {
public:
	std::vector< double* > xyz;            // x, y, z (Angstrom) of every atom, owned
	std::vector< std::string > atomNames;  // columns 14-16, blanks removed ("CA")
	std::vector< std::string > atomLines;  // whole input line of every atom
	std::vector< int > sideChainIdx;       // atoms that are none of CA, CB, N, C, O
	int caIdx = 0;
	int cbIdx = 0;  // caIdx for GLY or when there is no CB
	int nIdx = 0;
	int cIdx = 0;
	int oIdx = 0;
	int seqNum = 0;  // sequential number in the model, from 1
	int resNum = 0;  // residue number of columns 23-26
	std::string chainId;  // columns 21-22; two blanks become " A"

	Residue() = default;
	// Copies every triple of xyz into a new allocation (the caller keeps its
	// own), and as many names and lines as there are triples.
	Residue( std::vector< double* > xyz, std::vector< std::string > atomNames,
		std::vector< std::string > atomLines, int caIdx, int cbIdx, int nIdx, int cIdx,
		int oIdx, std::vector< int > sideChainIdx, int seqNum, int resNum,
		std::string chainId );
	Residue( const Residue& other );
	Residue( Residue&& other ) noexcept;
	Residue& operator=( const Residue& other );
	Residue& operator=( Residue&& other ) noexcept;
	~Residue();

private:
	void release();
};

#endif
