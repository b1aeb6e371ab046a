// Writers of reduced models, a few atoms per residue: backbone (N, CA, C),
// centroid (N, CA, C, O, CB and the side-chain centroid "SG") and CA trace.
// Lines are fixed-column "ATOM" records ending after the z field (column
// 54), with no chain identifier, no "TER" and no "END"; the atom serial
// counts the lines of the file from 1.  Each writer makes one file,
// dir + "/" + name.
//
// Per-residue atom table: slot k of residue i holds the atom that
// getCenAtomMode(k) names (0 N, 1 CA, 2 C, 3 O, 4 CB, 5 H, 6 SG); slot 5 is
// never written.  The count forms cannot check their table; the list forms
// check theirs, and a table or name list too short for what is to be
// written is refused with an "Error!" line and no file.
#ifndef QUILT_TRANSFORMS_REDUCEDMODELWRITERS_HH
#define QUILT_TRANSFORMS_REDUCEDMODELWRITERS_HH

#include <string>
#include <vector>

// N, CA and C of residues 0 .. n - 1 (serials 3i + 1 .. 3i + 3, residue
// number i + 1).
void outputBBmodel( std::string dir, std::string name, int n, std::vector< std::string > resNames, double*** atoms );
// N, CA, C, O, then CB unless the residue is "GLY" and SG unless it is
// "GLY" or "ALA".
void outputCentroidModel( std::string dir, std::string name, int n, std::vector< std::string > resNames,
	double*** atoms );
// Driven by each residue's atom names, in their order: "N", "CA", "C", "O"
// from slots 0-3; "CB" from slot 4 unless the residue is "GLY"; any other
// name as an SG line from slot 6 unless the residue is "GLY" or "ALA".
void outputCentroidModel( std::string dir, std::string name, std::vector< std::string > resNames,
	std::vector< std::vector< double* > > atoms, std::vector< std::vector< std::string > > atomNames );
// CA trace of the points, one line per residue name (see the double**
// form in core/basic_fun_Quilt.hh).
void xyz2CA( std::vector< double* > points, std::vector< std::string > resNames, std::string dir, std::string file );

#endif
