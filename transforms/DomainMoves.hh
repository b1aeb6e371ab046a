// Moves of one domain of a chain relative to the rest, for stochastic
// searches over domain arrangements, and the closure of every domain
// junction to the CA-CA link length.
//
// xyz is a CA trace of n rows.  A domain list holds D lists of residue
// numbers from 1 (number r is row r - 1), ascending, in chain order;
// first(j) and last(j) are the first and last numbers of list j.  A domain
// may be made of several segments.
//
// Junction table (link, linkPos; one entry per domain): link[j] == -1 means
// domain j + 1 lies inside the sequence range of domain j, linkPos[j][0]
// being the position in list j of the residue just before domain j + 1 and
// linkPos[j][1] that of the residue just after it; any other value means
// domain j + 1 follows domain j, joined at last(j) and first(j + 1).
//
// The members taking (points, dist, out) copy xyz into out (the caller's
// n x 3 array), move the rows of the picked domain in out and refresh
// dist[m][r] = |points[m] - out[r]| for the moved rows r.  Random moves are
// those of RigidBodyMath.hh; the domain is picked by ran (single-precision
// product) or by Random, as each member states, between the draws listed.
//
// Domain lists that are empty, hold numbers outside 1..n, or are too few
// for the member, and junction positions outside their list, are refused
// with a message: nothing is drawn and nothing is moved.
#ifndef QUILT_TRANSFORMS_DOMAINMOVES_HH
#define QUILT_TRANSFORMS_DOMAINMOVES_HH

#include <vector>


// Draws: axis, angle (+-1 rad), domain k (ran), translation (+-0.5 A).
// Moves a contiguous row range on one side of a boundary of domain k about
// the boundary row; returns a new n x 3 array.
double** RotTran_global_AroundBoundary( double** xyz, int n, std::vector< std::vector< int > > domains, int* link, int** linkPos );
// Draws: axis, angle (+-1), k (ran), side, translation (+-0.5).  Moves
// domain k about its boundary residue on the chosen side; gap receives the
// CA-CA distance across the boundary afterwards.  Needs two domains.
double** RotTranAroundBoundary_global( double** xyz, int n, std::vector< std::vector< int > > domains, double& gap );
// Draws: axis, angle (+-angleMax), k (Random), translation (+-transMax).
// Moves domain k about its centroid; picked receives k.
double** RotTran_global_AroundDomCenter( double** xyz, int n, std::vector< std::vector< int > > domains, double transMax,
	double angleMax, int& picked );

// Draws: axis, angle (+-1.5), k (Random), translation (+-0.5); about the
// centroid of domain k.
void domRotTran_c( double** xyz, int n, std::vector< std::vector< int > > domains, std::vector< double* > points, double** dist,
	double** out );
// Draws: k (ran), translation (+-transMax); translation only.
void domtra( double** xyz, int n, std::vector< std::vector< int > > domains, double transMax, std::vector< double* > points,
	double** dist, double** out );
// Draws: axis, angle (+-angleMax), k (ran); rotation about the centroid only.
void domrot_c( double** xyz, int n, std::vector< std::vector< int > > domains, double angleMax, std::vector< double* > points,
	double** dist, double** out );
// Draws: k (Random), angle (+-1.5); rotation about the domain's own axis
// from its first to its last residue (both stay in place).  A domain whose
// two end residues coincide has no axis and stays where it is.
void domrot_mid( double** xyz, int n, std::vector< std::vector< int > > domains, std::vector< double* > points, double** dist,
	double** out );
// Draws: axis, angle (+-1), k (Random), side (unless k is the last domain),
// translation (+-0.5); about the first or last residue of domain k.
void domRotTran_b1( double** xyz, int n, std::vector< std::vector< int > > domains, std::vector< double* > points, double** dist,
	double** out );
// Draws: axis, angle (+-1), k (Random), translation (+-0.5), side (unless
// domain k sits inside its predecessor); moves a contiguous row range about
// a boundary row of domain k.
void domRotTran_b2( double** xyz, int n, std::vector< std::vector< int > > domains, int* link, int** linkPos,
	std::vector< double* > points, double** dist, double** out );
// Draws: k (ran), side, translation (+-1), axis, angle (+-1.5).  Shifts
// domain k so that its joining residue P lies 3.8 A from its partner Q,
// then moves it about P.  Needs two domains.
void domTralin38( double** xyz, int n, std::vector< std::vector< int > > domains, int* link, int** linkPos,
	std::vector< double* > points, double** dist, double** out );
// Closes every junction to 3.8 A, in place, from the first domain on: each
// domain j + 1 is shifted so that first(j + 1) lies 3.8 A from last(j) (or
// from the residue at linkPos[j][0] when link[j] == -1).  A junction whose
// two residues coincide is left open, with a warning.
void Tran4lin38( double** xyz, int n, std::vector< std::vector< int > > domains, int* link, int** linkPos );

#endif
