// Rasterseek: the near-uniform set of orientations its exhaustive search
// visits, and distances between orientations.
#ifndef QUILT_SIBLINGS_RASTERSEEK_ROTATIONS_HH
#define QUILT_SIBLINGS_RASTERSEEK_ROTATIONS_HH

#include <vector>

namespace rasterseek {

// A rotation matrix acting on column vectors: p' = m p.
struct Rotation {
	double m[ 3 ][ 3 ];
};

// Orientations about `stepDegrees` apart, spread evenly over all rotations:
// directions of the rotated z axis on a Fibonacci sphere (about one per
// step^2 of solid angle) times turns about that axis in equal steps, the
// turns of neighbouring directions offset against each other.  The set
// holds about 8 pi^2 / step^3 rotations (step in radians): 1850 at 20
// degrees, 14900 at 10.  stepDegrees must lie in (0, 180]; larger steps
// give a handful of rotations, never fewer than one.
std::vector< Rotation > rotation_set( double stepDegrees );

// The number of rotations rotation_set( stepDegrees ) holds.
long rotation_count( double stepDegrees );

// Angle (radians, 0..pi) of the rotation that turns a into b.
double rotation_angle( Rotation const& a, Rotation const& b );

// Product a b.
Rotation compose( Rotation const& a, Rotation const& b );

// Rotation by `angle` radians about the unit vector axis.
Rotation axis_angle( double const axis[ 3 ], double angle );

} // namespace rasterseek

#endif
