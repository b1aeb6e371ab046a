// Template-scoring wrappers: each allocates the alignment working set, copies
// the chains, runs StructAlign, picks the score wanted and releases
// everything it allocated.  x is aligned onto y throughout.
#ifndef QUILT_ALIGNMENT_TEMPLATESCORE_HH
#define QUILT_ALIGNMENT_TEMPLATESCORE_HH

#include "alignment/StructAlign.hh"

#include <array>
#include <vector>

// TM-score normalised by the shorter chain (tm_x when xlen < ylen, else tm_y).
double Templatescore_native( int xlen, int ylen, double** x, double** y, int* xresno, int* yresno );
// tm_y when L == ylen, otherwise tm_x.
double Templatescore_native( int xlen, int ylen, double** x, double** y, int* xresno, int* yresno, int L );
// As the six-argument form; also copies the superposition into t[0..2] and
// the three rows of u.
double Templatescore_native( int xlen, int ylen, double** x, double** y, int* xresno, int* yresno,
	double* t, double** u );
// tm_y; n receives the number of close pairs.
double Templatescore_model( int xlen, int ylen, double** x, double** y, int* xresno, int* yresno, int& n );
// tm_x, with sequences; the working set is sized by xsize, ysize; copies t, u.
double Templatescore_native( int xlen, int ylen, double** x, double** y, int xsize, int ysize,
	char* seqx, char* seqy, int* xresno, int* yresno, double* t, double** u );

// One target and two models (the target is always y, the models x); scores
// are tm_x, normalised by the model's length.
double Templatelocalscore( int lenT, int len1, int len2, double** target, double** model1,
	double** model2, int sizeT, int size1, int size2, char* seqT, char* seq1, char* seq2,
	int* resnoT, int* resno1, int* resno2 );

// Superpositions of model 1 and model 2 on the whole target; the arrays
// are the alignments' own, handed to the caller (delete[] t, release2DArr(3, u)).
struct TemplateLocalResult {
	double* t1;
	double** u1;
	double* t2;
	double** u2;
};
TemplateLocalResult Template_local_score( int lenT, int len1, int len2, double** target,
	double** model1, double** model2, int sizeT, int size1, int size2, char* seqT, char* seq1,
	char* seq2, int* resnoT, int* resno1, int* resno2 );

// Two orders of a two-piece fit of two models to one target.  Alignments:
// W1 model 1 on the whole target, R2 model 2 on the rest after W1,
// W2 model 2 on the whole target, R1 model 1 on the rest before W2.
// Arrays not run are null and their counts 0; every array is handed over.
struct TemplatescoreResult {
	double score = 0.0;
	double* t_W1 = nullptr;
	double** u_W1 = nullptr;
	double* t_R2 = nullptr;
	double** u_R2 = nullptr;
	double* t_R1 = nullptr;
	double** u_R1 = nullptr;
	double* t_W2 = nullptr;
	double** u_W2 = nullptr;
	int* ali_y_W1 = nullptr;
	int* ali_x_W1 = nullptr;
	int* ali_y_R2 = nullptr;
	int* ali_x_R2 = nullptr;
	int* ali_y_R1 = nullptr;
	int* ali_x_R1 = nullptr;
	int* ali_y_W2 = nullptr;
	int* ali_x_W2 = nullptr;
	int start_W1 = 0, end_W1 = 0;
	int start_R2 = 0, end_R2 = 0;
	int start_R1 = 0, end_R1 = 0;
	int start_W2 = 0, end_W2 = 0;
	int n_ali8_W1 = 0, n_ali8_R2 = 0, n_ali8_W2 = 0, n_ali8_R1 = 0;
	int mode = 3;  // 1: order 1, 2: order 2, 3: neither complete
};
TemplatescoreResult Templatescore( int lenT, int len1, int len2, double** target, double** model1,
	double** model2, int sizeT, int size1, int size2, char* seqT, char* seq1, char* seq2,
	int* resnoT, int* resno1, int* resno2 );
// As Templatescore with the remainders chosen by the model-1 residues
// marks[0], marks[1] (order 1) and by the target without W2's span (order 2).
TemplatescoreResult Templatescoredis( int lenT, int len1, int len2, double** target, double** model1,
	double** model2, int sizeT, int size1, int size2, char* seqT, char* seq1, char* seq2,
	int* resnoT, int* resno1, int* resno2, int* marks );
// Releases every array of the record.
void release_TemplatescoreResult( TemplatescoreResult& r );

// Exchanges domains a and b (lists of 1-based residue numbers) of the n CA
// points xyz: out receives a copy with each domain moved by its
// superposition onto the other.
void domexc( double** xyz, int n, std::vector< std::vector< int > > domains, int a, int b, double** out );
// Picks one of the pairs at random, exchanges it, and sets dist[k][r - 1] to
// the distance between points[k] and the moved position of every residue r
// of the two domains.
void domexc( double** xyz, int n, std::vector< std::vector< int > > domains,
	std::vector< std::array< int, 2 > > pairs, std::vector< double* > points, double** dist,
	double** out );

#endif
