// Which lines of a PDB text are atoms of a model's chains, and which the
// readers leave out.
//
// Atom records are the "ATOM" and "HETATM" lines.  Every readable "ATOM"
// record is an atom of a chain.  A "HETATM" record is one when its residue
// is a residue of a chain written as hetero atoms (selenomethionine "MSE"
// and other modified residues, or any residue a program chose to write so):
// it is not water, it has a trace atom (a "CA", or the "C4'" of a
// nucleotide), and it lies inside a chain, that is
//   - after a chain atom of the same chain identifier with no "TER", "END",
//     "ENDMDL" or "MODEL" record in between, or
//   - before an "ATOM" record of the same chain identifier with no such
//     record in between (a chain that begins with a modified residue).
// A "HETATM" record never opens a chain by itself.  Waters, ligands and ions
// outside the chains are hetero lines: the rigid-body writers move them with
// the model, but they are no residues of it.
//
// Only the first model of an ensemble is read: the lines after the first
// "ENDMDL" record belong to later models.
//
// A line that begins like an atom record but cannot be read as one is
// unreadable (pdb_unreadable_line); it is no atom of the model and never
// opens or ends a chain.
#ifndef QUILT_CORE_PDB_ATOM_RECORDS_HH
#define QUILT_CORE_PDB_ATOM_RECORDS_HH

#include <cstddef>
#include <string>
#include <vector>

// Record name "ATOM" (first four characters) or "HETATM" (first six).
bool pdb_atom_or_hetatm( std::string const& line );

// Whether a coordinate field (8 columns) holds one finite number, blanks
// around it allowed.
bool pdb_finite_field( std::string const& field );

// Residue name (columns 18-20, trimmed) of a water: HOH, WAT, DOD or H2O.
bool pdb_water_residue( std::string const& line );

// Whether a line that begins like an atom record cannot be read as one.
// A final '\r' is no part of the line.  Unreadable are:
// - a line holding a NUL byte anywhere (a damaged line: it may have held an
//   atom, whatever it begins with);
// - a line whose record name "ATOM" or "HETATM" follows bytes that are not
//   printable ASCII (as "\0\0\0ATOM  ...");
// - an "ATOM" or "HETATM" line with a byte outside printable ASCII in its
//   first 80 characters (a multi-byte character shifts every column after
//   it), shorter than 54 characters, or whose x, y or z field (columns
//   31-38, 39-46, 47-54) does not hold one finite number.
// Other lines (headers, remarks, "TER") are never unreadable.
bool pdb_unreadable_line( std::string const& line );

enum class PdbLineRole : unsigned char {
	Other,       // no atom record: headers, remarks, "TER", "END", ...
	ChainAtom,   // an atom of a chain of the first model
	Hetero,      // a "HETATM" record outside every chain (water, ligand, ion)
	Unreadable,  // pdb_unreadable_line, in the first model
	LaterModel   // an atom record after the first "ENDMDL"
};

struct PdbLineRoles {
	std::vector< PdbLineRole > role;      // one per line
	std::size_t end = 0;                  // index of the first "ENDMDL" (lines.size() when none)
	int heteroLines = 0;                  // lines marked Hetero
	std::vector< std::size_t > unreadable;  // indices of the lines marked Unreadable
	// Models after the first that hold atom records: the "MODEL" records
	// after the first "ENDMDL", at least 1 when atom records follow it.
	int laterModels = 0;
};

// The role of every line of a PDB text (lines may end with '\r').
PdbLineRoles pdb_line_roles( std::vector< std::string > const& lines );

// One-based line numbers of the given zero-based indices for a message:
// "17, 18, 240", the first `shown` of them and then ", ..." when there are
// more.
std::string pdb_line_numbers( std::vector< std::size_t > const& indices, std::size_t shown = 5 );

#endif
