// The pieces every rigid-body move of this folder is made of: the random
// move (axis, angle and translation drawn from the process-wide generator
// Random, in a fixed order), the rotation about an axis, the move of one
// point about a centre, and the shift that closes a chain junction to the
// CA-CA link length.
//
// A random move draws, in this order: the axis (two values: z = 1 - 2 u1,
// phi = 2 pi u2, a uniformly distributed unit vector), the angle (one value,
// theta = (2 u3 - 1) angleMax), and, when the move translates, the three
// translation components (2 u - 1) transMax.  The members of the move
// families interleave their own draws (domain picks, side choices) between
// these groups, so the groups are drawn separately.
#ifndef QUILT_TRANSFORMS_RIGIDBODYMATH_HH
#define QUILT_TRANSFORMS_RIGIDBODYMATH_HH

#include <vector>

// CA-CA distance (Angstrom) to which chain junctions are closed.
double const kJunctionLength = 3.8;

struct RigidMove {
	double R[ 3 ][ 3 ] = { { 1.0, 0.0, 0.0 }, { 0.0, 1.0, 0.0 }, { 0.0, 0.0, 1.0 } };
	double t[ 3 ] = { 0.0, 0.0, 0.0 };

	// Draws the axis and the angle (three values of Random) and sets R to the
	// right-handed rotation by the angle about the axis.
	void drawRotation( double angleMax );
	// Draws t (three values of Random), each component in [-transMax, transMax].
	void drawTranslation( double transMax );
	// R := rotation by theta (radians) about the unit axis k.  A zero axis
	// gives the identity: there is no rotation about no axis.
	void setRotation( double const k[ 3 ], double theta );

	// out = t + c + R (p - c); out may be p.
	void apply( double const* p, double const* c, double* out ) const;
};

// The shift that brings `moving` to kJunctionLength from `fixed` along the
// line through both: (fixed - moving) (1 - 3.8 / |fixed - moving|).  When
// the two points coincide (or are not finite) there is no line to move
// along: shift is zero, a warning naming `what` is printed, and false is
// returned.
bool junction_shift( double const* fixed, double const* moving, double shift[ 3 ], char const* what );

// dist[m][r] = |points[m] - xyz[r]| for every point m and every row r of
// `rows`.
void refresh_distances( std::vector< double* > const& points, double** xyz, std::vector< int > const& rows,
	double** dist );

#endif
