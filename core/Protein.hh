// A PDB model read from the atom records of a file as a list of residues,
// with the writers that save residue lists back as PDB text.  The atoms are
// the "ATOM" records and the "HETATM" records of the chains' residues
// (pdb_atom_records.hh); waters, ligands and ions are none of the model.
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
	int atomCount = 0;                // atom records read; rows of getAllAtomXYZs
	bool multiChain = false;          // false: one chain (see pdb_ter_ends_chain)

	Protein() = default;
	// Stores path and flag and reads the file (a missing file gives an empty model).
	Protein( std::string path, bool multiChain );
	~Protein() = default;

	// Reads the atom records of pdbPath: every "ATOM" record and the
	// "HETATM" records of the chains' residues (a modified residue such as
	// MSE is a residue of its chain), of the first model only (reading
	// stops at the first "ENDMDL").  With multiChain false the model is
	// one chain: reading stops at an "END" or "ENDMDL" record, or at a "TER"
	// record that pdb_ter_ends_chain says ends the chain; a "TER" at a chain
	// break (the same chain goes on after it) is read through.
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

	// PDB writers: one atom line per stored atom with the residue's
	// sequential number ("HETATM" where the input line was one, else
	// "ATOM"); they read nothing of the object.
	static void save( std::vector< Residue > residues, std::string outPath, std::string chainId );
	static void save( std::vector< std::vector< Residue > > chains,
		std::vector< std::string > chainIds, std::string outPath, std::string header );
	static void save( std::vector< Residue > residues, std::vector< std::string > chainIds,
		std::string outPath );
};

// Chain identifier of a PDB line as the model keeps it: columns 21-22,
// two blanks read as " A" (a line shorter than 22 characters is padded).
std::string pdb_chain_id( std::string const& line );

// True for the "END" and "ENDMDL" records.
bool pdb_is_end_record( std::string const& line );

// Whether the "TER" record lines[ter] ends the chain `chain` (the chain
// identifier of the atom records before it): it does unless the next
// "ATOM" record after it, before any "END" or "ENDMDL" record, has the same
// chain identifier.  Deposited files put "TER" records at chain breaks too.
// Only "ATOM" records are looked for: the ligands and waters that deposited
// files list after the last "TER" carry their chain's identifier, and a
// modified residue after a break is inside the chain only when "ATOM"
// records of the chain follow it.
bool pdb_ter_ends_chain( std::vector< std::string > const& lines, std::size_t ter, std::string const& chain );

#endif
