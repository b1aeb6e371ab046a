// Structure alignment of two CA traces by TM-score: x (xlen residues) is
// aligned and superposed onto y (ylen residues).
//
// Use: load_PDB_allocate_memory(xlen, ylen, xlen, ylen), copy the residue
// numbers into the globals xresno and yresno, call StructAlign, then release
// secx, secy, xresno and yresno (delete[]) and the record's arrays.  The
// Templatescore_* wrappers do all of this.  One alignment at a time: the
// working set is global and not re-entrant.
#ifndef QUILT_ALIGNMENT_STRUCTALIGN_HH
#define QUILT_ALIGNMENT_STRUCTALIGN_HH

#include "alignment/AlignGeometry.hh"
#include "alignment/AlignState.hh"
#include "alignment/Kabsch.hh"

#include <vector>

// Result of one alignment.  t, u, ali_y and ali_x are new allocations owned
// by the caller: delete[] t, ali_y, ali_x; release2DArr(3, u).
struct StructAlignResult {
	double tm_x;   // TM-score normalised by xlen
	double tm_y;   // TM-score normalised by ylen
	int start;     // y position (0-based) where the trimmed aligned region starts
	int end;       // and where it ends; start 0, end -1 when nothing aligned
	double* t;     // translation of the superposition of x onto y (3 doubles)
	double** u;    // rotation, 3 x 3 row-major: p'[i] = sum_j u[i][j] p[j] + t[i]
	int* ali_y;    // y positions of the close aligned pairs, ascending
	int* ali_x;    // x position paired with each entry of ali_y
	int n_ali8;    // number of close pairs (distance <= score_d8 after superposition)
};

// Aligns x onto y on the working set allocated for (xlen, ylen); xresno and
// yresno are the residue numbers (the working-set arrays).  On return the
// coordinate and dynamic-programming tables are released; the per-residue
// arrays remain for the caller.
StructAlignResult StructAlign( int xlen, int ylen, double** x, double** y, int* xresno, int* yresno );
// The same; the sequences are not read.
StructAlignResult StructAlign( int xlen, int ylen, double** x, double** y, int* xresno, int* yresno,
	char* seqx, char* seqy );

// Start and end (y positions) of the aligned region given the ascending y
// positions a of the close pairs: up to three isolated pairs at either end,
// separated from the rest by a jump of at least 10 positions, are dropped
// (the earliest such jump from the end decides).  With fewer than four pairs,
// or when the two ends would cross, nothing is dropped; with no pairs the
// region is empty (start 0, end -1).
void trim_aligned_region( std::vector< int > const& a, int& start, int& end );

// Releases the record's arrays and resets its pointers.
void release_StructAlignResult( StructAlignResult& r );

#include "alignment/TemplateScore.hh"

#endif
