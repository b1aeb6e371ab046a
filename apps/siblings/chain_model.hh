// A PDB model as the sibling programs see it: every atom line ("ATOM" or
// "HETATM") of the file as one coordinate row (the rows the model writer
// puts back into the same lines); the atoms of the chains of the first
// model (core/pdb_atom_records.hh: "ATOM" records and the "HETATM" records
// of modified residues) grouped into residues and chains.  Waters, ligands,
// unreadable lines and the atoms of later models are rows of no residue:
// they are moved with the model but take no part in a search.  The result
// files of the programs are line copies of the input with these rows moved.
#ifndef QUILT_SIBLINGS_CHAIN_MODEL_HH
#define QUILT_SIBLINGS_CHAIN_MODEL_HH

#include "core/pdb_atom_records.hh"

#include <array>
#include <string>
#include <vector>

namespace siblings {

using Vec3 = std::array<double, 3>;

struct ModelResidue {
	std::string chainId;      // columns 21-22, trimmed ("" for blank)
	int number = 0;           // residue number, columns 23-26
	std::string key;          // columns 23-27: number and insertion code
	std::vector<int> atoms;   // rows of the residue's atoms, file order
	int ca = -1;              // row of its "CA" atom, -1 when there is none
	int p = -1;               // row of its "P" atom, -1 when there is none
};

struct ModelChain {
	std::string id;
	std::vector<int> residues; // indices into ChainModel::residues
};

struct ChainModel {
	std::string path;
	std::vector<Vec3> xyz;          // one row per atom line, file order
	std::vector<std::string> names; // trimmed atom names, parallel to xyz
	std::vector<int> rowResidue;    // residue of each row, -1 for rows of no residue
	std::vector<ModelResidue> residues;
	// A new chain begins at a change of chain identifier, and after a "TER"
	// record unless the identifier stays and the residue numbers go on upwards.
	std::vector<ModelChain> chains;

	int atom_count() const { return (int)xyz.size(); }
	// The trace point of a residue: its CA, else its P, else -1.
	int trace_atom( int residue ) const;
	bool is_trace_row( int row ) const { return rowResidue[row] >= 0 && trace_atom( rowResidue[row] ) == row; }
	// Residue indices of chain c that have a trace point, in order.
	std::vector<int> traced_residues( int c ) const;
	// Every residue index of the model, in order.
	std::vector<int> all_residues() const;
};

// Reads every atom line of path.  Returns false with a message in error
// when the file cannot be read or holds no atom of a chain.  A warning goes
// to standard output when the file holds several models (the first is
// placed) or lines that begin like atom records but cannot be read.
bool read_chain_model( std::string const& path, ChainModel& model, std::string& error );

// The warnings of a reader that places only the first model's chain atoms:
// later models (moved with it) and unreadable lines (left out), each once.
void warn_unplaced_records( std::string const& path, PdbLineRoles const& roles );

// Rows of the atoms of the given residues, in residue order.
std::vector<int> residue_rows( ChainModel const& model, std::vector<int> const& residues );

} // namespace siblings

#endif
