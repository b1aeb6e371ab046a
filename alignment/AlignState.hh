// Working set and distance parameters of the structure alignment.
//
// Two chains of CA atoms are compared: x is the chain that is moved, y the
// chain it is superposed onto.  The working set is sized for one pair of
// chain lengths by load_PDB_allocate_memory and shared by every routine of
// the alignment core, so one alignment runs at a time (not re-entrant).
// Coordinates are rows of three doubles in Angstrom; an alignment map is an
// int array over the y residues holding the aligned x index or -1.
#ifndef QUILT_ALIGNMENT_ALIGNSTATE_HH
#define QUILT_ALIGNMENT_ALIGNSTATE_HH

// Per-residue arrays of the working set, shared with the callers that drive
// StructAlign themselves: they set tempxlen/tempylen, fill xresno/yresno and
// release secx, secy, xresno and yresno with delete[] after the alignment.
extern int tempxlen, tempylen;
extern char* seqx;   // xsize + 1 residue letters (not read by the core)
extern char* seqy;   // ysize + 1
extern int* secx;    // secondary-structure codes: 1 coil, 2 helix, 3 turn, 4 strand
extern int* secy;
extern int* xresno;  // residue numbers, used by the fragment search
extern int* yresno;

namespace structalign {

// Lengths of the allocated tables.
extern int minlen;  // rows of r1, r2, xtm, ytm
extern int xlen;    // rows of xt; plus one, of score, val, path
extern int ylen;    // columns minus one of score, val, path

// Coordinate scratch tables.
extern double** xt;   // whole x chain after a candidate superposition
extern double** xtm;  // aligned pairs, x side, in alignment order
extern double** ytm;  // aligned pairs, y side
extern double** r1;   // pairs handed to the superposition, x side
extern double** r2;   // and y side

// Dynamic-programming tables, rows 0..xlen, columns 0..ylen.
extern double** score;
extern double** val;
extern bool** path;

// Current superposition: p' = u p + t.
extern double t[3];
extern double u[3][3];

// Distance parameters (Angstrom; Lnorm in residues).
extern double Lnorm;
extern double d0;
extern double D0_MIN;
extern double d0_search;  // always within [4.5, 8.0]
extern double score_d8;   // pair-distance cut-off of the search sums
extern double dcu0;       // largest CA-CA link accepted at first by the fragment search
extern double d0A, d0B;   // d0 of the final TM-scores normalised by y and by x

} // namespace structalign

// Allocates the working set for x of xlen and y of ylen residues; xsize and
// ysize (at least xlen, ylen) size the per-residue arrays.  Nothing is cleared.
// Per-residue arrays still held from an earlier working set are released first.
void load_PDB_allocate_memory( int xlen, int ylen, int xsize, int ysize );

// Releases everything load_PDB_allocate_memory allocated that is still held.
void free_memory();

// Releases the coordinate and dynamic-programming tables only (what
// StructAlign gives back before it returns).
void free_alignment_tables();

// Releases the per-residue arrays (sequences, codes, residue numbers).
void free_residue_arrays();

void parameter_set4search( int xlen, int ylen );
void parameter_set4final( double len );
void parameter_set4scale( int len, double d_s );

#endif
