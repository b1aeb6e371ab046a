// Initial alignments from which the refinement starts: gapless threading,
// secondary-structure matching, local-fragment superposition, a score matrix
// mixing distance and secondary structure, and threading of the longest
// continuous fragment.  Every builder writes a map over y (x index or -1).
#ifndef QUILT_ALIGNMENT_INITIALALIGN_HH
#define QUILT_ALIGNMENT_INITIALALIGN_HH

// Quick, unnormalised TM-score sum of an alignment (at most three
// superpositions, no search); leaves the global t, u at the last one.
double get_score_fast( double** x, double** y, int x_len, int y_len, int* invmap );

// Best gapless threading into y2x; returns its get_score_fast value.
double get_initial( double** x, double** y, int x_len, int y_len, int* y2x );

// Secondary-structure code of a residue from the six CA distances of the
// five-residue window around it: 1 coil, 2 helix, 3 turn, 4 strand.
int sec_str( double dis13, double dis14, double dis15, double dis24, double dis25, double dis35 );
void make_sec( double** x, int len, int* sec );
// Removes isolated helix and strand assignments.
void smooth( int* sec, int len );

// make_sec of both chains into secx, secy, then alignment of the codes.
void get_initial_ss( double** x, double** y, int x_len, int y_len, int* y2x );

// Alignment from superpositions of local fragments; false when none scored
// above 0 (y2x then unchanged), and for chains too short to hold a fragment.
bool get_initial5( double** x, double** y, int x_len, int y_len, int* y2x );

// Fill the score table from the superposition of the pairs of y2x
// (the _sec form adds 0.5 where the secondary-structure codes agree).
void score_matrix_rmsd( double** x, double** y, int x_len, int y_len, int* y2x );
void score_matrix_rmsd_sec( double** x, double** y, int x_len, int y_len, int* y2x );
void get_initial_ssplus( double** x, double** y, int x_len, int y_len, int* y2x0, int* y2x );

// Longest run of consecutive, closely spaced residues; start_max, end_max
// untouched for chains shorter than 3 residues.
void find_max_frag( double** x, int* resno, int len, int* start_max, int* end_max );

// Gapless threading of the longest fragment; best get_score_fast value, or
// -1 when no shift was tried.
double get_initial_fgt( double** x, double** y, int x_len, int y_len, int* xresno, int* yresno,
	int* y2x );

#endif
