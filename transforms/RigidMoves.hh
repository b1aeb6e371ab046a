// Rigid-body moves of whole coordinate arrays and of one of two consecutive
// pieces of a chain: random perturbations for stochastic searches, and
// deterministic placements (a model's centroid onto a target's, a piece's
// end to the CA-CA link length from the other piece).
//
// Two pieces a (na rows) and b (nb rows) are consecutive parts of one chain,
// joined at a[na - 1] and b[0].  Every random member draws one random move
// (RigidBodyMath.hh): axis, angle, then (after any centroid) the translation,
// six values of Random in all.  Results are new arrays (new2DArr, free with
// release2DArr); the random members never change their inputs, the
// deterministic ones change them in place.  Pieces that a member reads must
// not be empty: otherwise it says so, draws nothing and returns unchanged
// copies (or changes nothing).
#ifndef QUILT_TRANSFORMS_RIGIDMOVES_HH
#define QUILT_TRANSFORMS_RIGIDMOVES_HH

#include <string>
#include <utility>
#include <vector>

// The new forms of a (first, na rows) and b (second, nb rows).
using PiecePair = std::pair< double**, double** >;

// Moves a about a[na - 1] (moveFirst) or b about b[0]; angle within +-1 rad,
// translation within +-0.5 A.  Returns the moved piece only.  The fifth
// argument has no effect.
double** RotTran( double** a, double** b, int na, int nb, bool unused, bool moveFirst );
// The same move about the centroid of both pieces, translation +-0.3 A.
double** RotTran4Dens( double** a, double** b, int na, int nb, bool moveFirst );
// About the centroid of both pieces, translation +-0.05 A; the piece not
// moved comes back as an unchanged copy.
PiecePair RotTranAroundCenter( double** a, double** b, int na, int nb, bool moveFirst );
// Both pieces by one move about their common centroid, translation +-0.05 A.
PiecePair RotTranAroundCenter_NC( double** a, double** b, int na, int nb );
// About the junction row of the moved piece, angle +-1 rad, translation +-0.5 A.
PiecePair RotTranAroundBounday( double** a, double** b, int na, int nb, bool moveFirst );
// The same with the bounds given (translation first, angle second).
PiecePair RotTranAroundBounday( double** a, double** b, int na, int nb, bool moveFirst, double transMax,
	double angleMax );
// About the centroid of the moved piece alone.
PiecePair RotTranAroundDomCenter( double** a, double** b, int na, int nb, bool moveFirst, double transMax,
	double angleMax );
// All n rows about their centroid: angle +-1 rad and the given translation
// bound; or both bounds given.
double** RotTranAroundCenter_all( double** xyz, int n, double transMax );
double** RotTranAroundCenter_all( double** xyz, int n, double transMax, double angleMax );
// The same, and dist[m][i] = |points[m] - result[i]| for every point m and
// every row i of the result (dist: the caller's points.size() x n table).
double** RotTranAroundCenter_all( double** xyz, int n, double transMax, double angleMax,
	std::vector< double* > points, double** dist );

// Brings the junction to 3.8 A, in place.  moveFirst: a is shifted so that
// a[na - 1] ends 3.8 A from b[0] on the line through both.  Otherwise b is
// shifted so that b[0] ends 3.8 A from a[index] (useIndex) or a[na - 1].
// Coinciding junction points leave both pieces as they are, with a warning.
void Tran4lin38( double** a, double** b, int na, int nb, bool useIndex, int index, bool moveFirst );
// Mean gap (|a[i] - b[0]| + |a[i + 1] - b[nb - 1]|) / 2 of piece b fitted
// between rows i and i + 1 of a.  An infinite gap, with a message, for an
// empty b or a negative i.
double discontinuous_lin_dis( double** a, double** b, int i, int nb );

// Shifts a model so that its centroid lands on the centroid of a target, in
// place; distances within the model are kept.  An empty target or model
// changes nothing (with a message).
// Target: all points of the vector; model: n rows.
void TranModel2Vol( std::vector< double* > target, double** xyz, int n );
// Target: the first nt rows; model: n rows.
void TranModel2Vol( double** target, int nt, double** xyz, int n );
// Target: all points of the vector; model: pieces a and b together.
void TranModel2Vol( std::vector< double* > target, double** a, double** b, int na, int nb );
// Target: the first nt rows; model: every atom of every residue (the
// caller's coordinate arrays are changed).
void TranModel2Vol( double** target, int nt, std::vector< std::vector< double* > >& atoms,
	std::vector< std::vector< std::string > > names );
// Target: all points of the vector; model: every atom of every residue.
void TranModel2Vol( std::vector< double* > target, std::vector< std::vector< double* > >& atoms,
	std::vector< std::vector< std::string > > names );

#endif
