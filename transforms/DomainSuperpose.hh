// Models handled as pieces or domains: joining the coordinate arrays of two
// pieces, merging per-domain models back into residue order, moving every
// atom of each domain by the superposition of its CA atoms, TM-score
// alignment wrappers that hand back the aligned positions and the
// superposition, and the alignment of one query against several templates
// in turn.  A backbone extractor and a radius measure complete the set.
//
// Domain lists hold residue numbers from 1 (number r is residue r - 1 of
// the whole model), ascending.  The atoms of residue i of a Protein are the
// rows after the atoms of residues 0 .. i - 1 (its all-atom array).  Arrays
// returned are new (new2DArr; free with release2DArr and the row count
// stated).  Lists that do not fit the models or arrays they describe (as far
// as their sizes are known here) are refused with an "Error!" message.
#ifndef QUILT_TRANSFORMS_DOMAINSUPERPOSE_HH
#define QUILT_TRANSFORMS_DOMAINSUPERPOSE_HH

#include "core/Protein.hh"

#include <string>
#include <vector>

// ---- joining two pieces ------------------------------------------------------

// (na + nb) rows: a then b; with insert, rows 0..pos of a, all of b, then
// the rest of a.  pos is kept within -1 .. na - 1 (with a warning).
double** get_xyzCAall( double** a, double** b, int na, int nb, bool insert, int pos );
// All atoms of both proteins, atomCount(A) + atomCount(B) rows: atomsA then
// atomsB; with insert, the atoms of residues 0..pos of A, all of B, then
// the atoms of the remaining residues of A.
double** get_xyzall( Protein proteinA, Protein proteinB, double** atomsA, double** atomsB, bool insert, int pos );
// |numbersA| + |numbersB| rows in ascending residue number (stable); each
// number takes the row of its first occurrence in numbersA, else numbersB.
double** get_xyzCAall( double** a, double** b, std::vector< int > numbersA, std::vector< int > numbersB );
// The same ordering at residue level: every residue's atom rows in
// ascending residue number (one number per residue of each protein);
// atomCount(A) + atomCount(B) rows.
double** get_xyzall( Protein proteinA, Protein proteinB, double** atomsA, double** atomsB,
	std::vector< int > numbersA, std::vector< int > numbersB );

// ---- merging and moving domains -------------------------------------------------

// Writes the residues of all domains in ascending residue number (the first
// domain listing a number supplies it): outCA one row per residue (from
// domainCA), outAll every atom in atom order (from domainAtoms), outCB the
// row of each residue's CB atom (the CA for glycine).  The output arrays are
// the caller's, sized for every residue and atom of the lists.
void Merge_all_dom( std::vector< Protein > domains, std::vector< double** > domainCA,
	std::vector< double** > domainAtoms, std::vector< std::vector< int > > domainLists, double** outCA,
	double** outCB, double** outAll );
// New (model.atomCount) x 3 array: each domain's atoms moved by the
// superposition of its CA atoms in oldCA onto newCA (rows r - 1 for the
// residue numbers r of the domain).  Atoms of no domain are (0, 0, 0); a
// residue of several domains shows the move of the last.
double** Rotate_allatom_dom( Protein model, std::vector< std::vector< int > > domainLists, double** atoms,
	double** oldCA, double** newCA );

// ---- alignment wrappers (x aligned onto y) -------------------------------------

// Residues at the end of the second chain whose pairs mode 0 leaves out; 10
// at start, set to 0 for good the first time a second chain shorter than it
// is aligned in mode 0.
extern int len_tail;

// TM-score normalised by y; appends the y positions of the aligned pairs to
// positions and copies the superposition of x onto y into t and u's rows.
double Templatescore_superpose( int xlen, int ylen, double** x, double** y, int* xres, int* yres,
	std::vector< int >& positions, double* t, double** u );
// TM-score normalised by y; appends the x positions of the aligned pairs
// (mode 0: only pairs whose y position is below ylen - len_tail).  The
// seventh argument has no effect.
double Templatescore_model( int xlen, int ylen, double** x, double** y, int* xres, int* yres, int* unused,
	int mode, std::vector< int >& xPositions );
// The same, also appending the y position of every reported pair.
double Templatescore_model( int xlen, int ylen, double** x, double** y, int* xres, int* yres, int* unused,
	int mode, std::vector< int >& xPositions, std::vector< int >& yPositions );
// Aligns the query against the templates in turn, each taking the query
// residues the earlier ones left unaligned (stopping when five or fewer are
// left); tm[k] receives template k's TM-score (0.001 when never reached).
// Returns the harmonic mean of tm[0 .. M - 1].  The eighth argument has no
// effect.  Needs at least one template.
double Templatescore_multimodel( int xlen, int* templateLengths, double** x, std::vector< double** > templates,
	int* xres, std::vector< int* > templateRes, double* tm, int** unused, int* modes );
// The same; for every reported pair appends the query residue index
// (stage 0: the row; later stages: the row's residue number - 1) to
// queryIdx and templateLists[k][q] - 1 to modelIdx.
double Templatescore_multimodel( int xlen, int* templateLengths, double** x, std::vector< double** > templates,
	int* xres, std::vector< int* > templateRes, double* tm, int** unused, int* modes,
	std::vector< std::vector< int > > templateLists, std::vector< int >& queryIdx, std::vector< int >& modelIdx );

// ---- backbone and radius ---------------------------------------------------------

// New nres x 3 x 3 array: the k-th atoms named "N", "CA" and "C" (in atom
// order) are the three points of residue k; points without such an atom
// stay (0, 0, 0).  Free every point, every residue's pointer array, then
// the outer array (release3DArr(nres, 3, p)).
double*** getBackbone_4allatom( int nres, int natoms, double** atoms, std::vector< std::string > names );
// Largest distance from the centre (getCenterPoint of atoms, names and mode)
// over the selected atoms: "backbone" N, CA, C; "centroid" all but "SG";
// otherwise CA.  0 when nothing is selected.
double getRadius( std::vector< std::vector< double* > > atoms, std::vector< std::vector< std::string > > names,
	std::string mode );

#endif
