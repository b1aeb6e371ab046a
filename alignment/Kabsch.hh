// Least-squares superposition of two point sets (Kabsch), solved in closed
// form through the eigenvalues of a 3x3 symmetric matrix.
#ifndef QUILT_ALIGNMENT_KABSCH_HH
#define QUILT_ALIGNMENT_KABSCH_HH

#include <vector>

// Superposes the n points x onto the n points y: finds u, t minimising
// sum |u x_m + t - y_m|^2, so that y ~ u x + t (p'[i] = sum_j u[i][j] p[j] + t[i]).
// mode 0: residual only (t = 0, u = identity unless the points coincide);
// mode 1: t and u only (rms = 0); mode 2: t, u and residual.
// *rms receives the residual sum of squares (not divided by n, not rooted).
// Returns false for n < 1 (rms 0, t 0, u identity).  Degenerate geometry
// never fails: where the points fix no rotation (one point, coincident
// points) u = identity and t is the centroid shift; collinear points fix
// where their line goes but no turn about it, and u is the smallest rotation
// that takes the line there (the identity for a translated line).
bool Kabsch( double** x, double** y, int n, int mode, double* rms, double t[3], double u[3][3] );

// The closed-form part alone, from the sums of one pass over n points:
// s1 = sum of x, s2 = sum of y, sxy[i][j] = sum of y_i x_j, and (modes 0
// and 2) e0 = sum of squared distances of x and y from their centroids.
// Kabsch on the points gives exactly this for the same sums.
bool Kabsch_from_sums( int n, int mode, double const s1[3], double const s2[3], double const sxy[3][3],
	double e0, double* rms, double t[3], double u[3][3] );

// The same on vectors of points; n is at most the vector sizes.
bool Kabsch( std::vector< double* > x, std::vector< double* > y, int n, int mode, double* rms,
	double t[3], double u[3][3] );

#endif
