// A PDB model read from the "ATOM" records of a file as a list of residues,
// with the writers that save residue lists back as PDB text.
#ifndef QUILT_CORE_PROTEIN_HH
#define QUILT_CORE_PROTEIN_HH

#include "core/Residue.hh"
#include "core/basic_fun_Quilt.hh"

#include <string>
#include <vector>

class Protein {
public:
	std::string pdbPath;
	std::vector< Residue > residues;  // file order
	int atomCount = 0;                // "ATOM" records read; rows of getAllAtomXYZs
	bool multiChain = false;          // false: reading stops at the first "TER"

	Protein() = default;
	// Stores path and flag and reads the file (a missing file gives an empty model).
	Protein( std::string path, bool multiChain );
	~Protein() = default;

	void readPDB();

	// New atomCount x 3 array of all stored atoms in order; rows beyond the
	// stored atoms are zero.  Free with release2DArr(atomCount, p).
	double** getAllAtomXYZs();
	// New double[3]: the first atom named "CA" of residue i, or (0, 0, 0) with
	// a message when there is none.
	double* getIthResidueCAXYZ( int i );
	// Appends N, CA, C, O, CB (the CA for GLY) and the side-chain centroid
	// "SG" of residue i as new triples owned by the caller.
	void getIthResidueHeavyAtomXYZ( int i, std::vector< double* >& xyz,
		std::vector< std::string >& names );

	// PDB writers: one "ATOM" line per stored atom with the residue's
	// sequential number; they read nothing of the object.
	static void save( std::vector< Residue > residues, std::string outPath, std::string chainId );
	static void save( std::vector< std::vector< Residue > > chains,
		std::vector< std::string > chainIds, std::string outPath, std::string header );
	static void save( std::vector< Residue > residues, std::vector< std::string > chainIds,
		std::string outPath );
};

#endif
