// PDB writers for models assembled from Protein objects, coordinate arrays
// and lists of domains: a line copy of several moved files into one, and
// writers that replace every atom's coordinates, move every domain or chain
// as a rigid body (by the superposition of its CA atoms before and after the
// move), merge separately placed domains into one chain in residue order,
// or insert one domain into another.
//
// Except for the line copy, every writer builds moved residues (copies of
// the source residues with new coordinates) and hands them to a
// Protein::save form, which writes "ATOM" lines under each residue's
// sequential number of its own model, "  1.00  0.00" for occupancy and B,
// "TER" lines and no "END".  The output is dir + "/" + name.
//
// Rows: writers that take one row per atom read row i for atom i of the
// running atom index (atoms numbered from 0 in residue order); a double**
// must hold those rows, which cannot be checked here.  Every index and
// count that can be checked against a list or model (domain entries,
// residue counts, cut positions, list lengths) is: a writer given one
// that does not fit says so with an "Error!" line and writes no file.
#ifndef QUILT_TRANSFORMS_MODELWRITERS_HH
#define QUILT_TRANSFORMS_MODELWRITERS_HH

#include "core/Protein.hh"

#include <string>
#include <vector>

// Concatenates the input files into outPath, each copied by the rule of the
// moved-model writer (ModelOutput.hh) with its own rows (rows[i], counted
// from 0 for every file).  An input that cannot be read adds nothing (with a
// warning).  The output replaces outPath only once it is complete.
void SaveModel( std::vector< std::string > inPaths, std::string outPath, std::vector< std::vector< double* > > rows );

// The model with every atom's coordinates replaced, as chain "A".
void SaveModel( Protein model, double** xyz, std::string dir, std::string name );
// The same under the given chain identifier.
void SaveModel( std::string dir, std::string name, Protein model, double** xyz, std::string chain );
// The same with one chain identifier per residue: a residue of domain d
// (the last domain listing it) gets letter d of "A".."Z" then "a".."z" and
// "0".."9"; residues of no domain get the letter after the last domain's.
// A "TER" line ends every run of one identifier.
void SaveModel( Protein model, double** xyz, std::string dir, std::vector< std::vector< int > > domains,
	std::string name );

// Every domain (residue numbers from 1) moved by the superposition of its
// CA atoms in caBefore onto caAfter (one row per residue), then the model
// written as chain "A".  Atoms of no domain are written at (0, 0, 0); a
// residue of several domains shows the move of the last.
void SaveModel( Protein model, std::vector< std::vector< int > > domains, double** atoms, double** caBefore,
	double** caAfter, std::string dir, std::string name );
// The same with the atom rows given as a list; only its first array is read.
void SaveModel( Protein model, std::vector< std::vector< int > > domains, std::vector< double** > atoms,
	double** caBefore, double** caAfter, std::string dir, std::string name );

// Every chain c moved by the superposition of its nCA[c] CA rows before and
// after; its first nCA[c] residues are written, chains with the given
// identifiers and the header line first.  No chains: no file.
void SaveModel( std::vector< Protein > chains, std::vector< std::string > chainIds, int* nCA, int* nAtoms,
	std::vector< double** > atoms, std::vector< double** > caBefore, std::vector< double** > caAfter,
	std::string dir, std::string name, std::string header );
// The same from chain model files (first chain of each); the CA and atom
// rows of all chains follow one another in caBefore, caAfter and the first
// array of atoms.  Prints the number of chains; no chains: no file.  The
// file begins with an empty header line.
void SaveModel( std::vector< std::string > chainPaths, std::vector< std::string > chainIds, std::vector< int > nCA,
	std::vector< int > nAtoms, std::vector< double** > atoms, double** caBefore, double** caAfter, std::string dir,
	std::string name );

// Domains placed separately (domain d: its own model holding the residues of
// its index list, in list order, and one row per atom) merged into one chain
// "A" in ascending residue index; an index listed twice is written twice,
// both times from the first domain listing it.
void SaveModel( std::string dir, std::string name, std::vector< Protein > domains, std::vector< double** > rows,
	std::vector< std::vector< int > > indices );
// The same for two domains.
void SaveModel( std::string dir, std::string name, Protein domainA, Protein domainB, double** rowsA, double** rowsB,
	std::vector< int > indicesA, std::vector< int > indicesB );
// Part B inserted into part A after residue `cut` of A (insert), or simply
// after A; chain "A".  cut lies in -1 .. (residues of A) - 1.
void SaveModel( std::string dir, std::string name, Protein partA, Protein partB, double** rowsA, double** rowsB,
	bool insert, int cut );

#endif
