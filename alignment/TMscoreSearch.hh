// TM-score of a fixed list of aligned pairs, maximised over superpositions
// seeded by contiguous runs of pairs and refined on the pairs lying close.
// The TM-score of a superposition is sum 1/(1 + d^2/d0^2) over the pairs,
// divided by Lnorm (plain family) or by the pair count (_standard family).
#ifndef QUILT_ALIGNMENT_TMSCORESEARCH_HH
#define QUILT_ALIGNMENT_TMSCORESEARCH_HH

// Scores the superposed pairs xa[k]-ya[k], k < n_ali: *score1 = TM-score
// sum / Lnorm; the indices of the pairs closer than d go to i_ali (n_ali
// entries), their count is returned.  With fewer than 3 close pairs and
// n_ali >= 4 the cut-off grows by 0.5 A until 3 are selected.
// score_sum_method 8: only pairs with distance <= score_d8 add to the sum.
int score_fun8( double** xa, double** ya, int n_ali, double d, int* i_ali, double* score1,
	int score_sum_method );
// The same, the sum divided by n_ali.
int score_fun8_standard( double** xa, double** ya, int n_ali, double d, int* i_ali, double* score1,
	int score_sum_method );

// Best TM-score of the Lali pairs xtm/ytm over fragment-seeded
// superpositions; the best superposition goes to t0, u0.  Seeds of one
// length are shifted by simplify_step.  *Rcomm is set to 0 when
// simplify_step != 1.
double TMscore8_search( double** xtm, double** ytm, int Lali, double t0[3], double u0[3][3],
	int simplify_step, int score_sum_method, double* Rcomm, double local_d0_search );
double TMscore8_search_standard( double** xtm, double** ytm, int Lali, double t0[3], double u0[3][3],
	int simplify_step, int score_sum_method, double* Rcomm, double local_d0_search );

// Builds the pair lists (global xtm, ytm) from the map invmap0 and searches them.
double detailed_search( double** x, double** y, int x_len, int y_len, int* invmap0, double t[3],
	double u[3][3], int simplify_step, int score_sum_method, double local_d0_search );
// The same with the standard search; normalize: result times pairs / Lnorm.
double detailed_search_standard( double** x, double** y, int x_len, int y_len, int* invmap0,
	double t[3], double u[3][3], int simplify_step, int score_sum_method, double local_d0_search,
	bool const& normalize );

// TM-score of the alignment invmap normalised by y_len, with pair count and
// RMSD.  Entries below -1 print "Wrong map!" and are skipped.
double standard_TMscore( double** x, double** y, int x_len, int y_len, int* invmap, int& L_ali,
	double& RMSD );

// The superposition search scores four pairs at a time when the processor
// has AVX2; false forces the pair-by-pair form (same results; for tests).
void TMscore_use_vector_search( bool on );

#endif
