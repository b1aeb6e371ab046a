// Rigid bodies of atoms fitted into a density map with the fitting engine:
// the global pose search (Placer) and local LBFGS refinement of the fast
// density score, with the rigid transforms that carry a fit back to the
// atoms of the model file, and the correlations that judge the results.
#ifndef QUILT_SIBLINGS_RIGID_FIT_HH
#define QUILT_SIBLINGS_RIGID_FIT_HH

#include "apps/siblings/chain_model.hh"
#include "density/FastDensityScore.hh"

#include <string>
#include <utility>
#include <vector>

namespace siblings {

// x' = R x + t.
struct Rigid {
	double R[3][3] = { { 1, 0, 0 }, { 0, 1, 0 }, { 0, 0, 1 } };
	double t[3] = { 0, 0, 0 };
};

Vec3 moved_point( Rigid const& m, Vec3 const& p );
// The transform that applies `first`, then `second`.
Rigid compose( Rigid const& second, Rigid const& first );
Rigid translation( Vec3 const& t );
// The engine's 6-D pose x (translation, z-x-z Euler angles) about centre c:
// p' = c + x[0..2] + R (p - c).
Rigid pose_rigid( double const* x, double const* centre );
// Rotation angle of the transform's rotation, degrees.
double rotation_angle( Rigid const& m );

// Copies of xyz with the given rows moved by m (the other rows unchanged).
std::vector<Vec3> moved_rows( std::vector<Vec3> const& xyz, std::vector<int> const& rows, Rigid const& m );
// Root-mean-square distance of the given rows of two coordinate sets.
double rows_rmsd( std::vector<Vec3> const& a, std::vector<Vec3> const& b, std::vector<int> const& rows );

// Rows of the atoms of `residues` that a type text names: "all" every atom,
// "CA" the CA atoms (the P atoms when there is none), "P" the P atoms, any
// other text the atoms of exactly that name.  `used` receives the type
// actually taken.
std::vector<int> select_rows( ChainModel const& model, std::vector<int> const& residues, std::string const& type,
	std::string& used );

// Trace rows (CA, else P) of the residues that have one.
std::vector<int> trace_rows( ChainModel const& model, std::vector<int> const& residues );

// Correlation of a CA trace with the map (the real-space correlation the
// assembly program ranks models by: CA model density, radius 4 A).
double trace_correlation( FastDensityScore& map, std::vector<Vec3> const& xyz, std::vector<int> const& rows );
// Correlation of the atoms' calculated density with the map inside the
// atoms' footprint (every atom at its element's scattering).
double atom_correlation( FastDensityScore& map, ChainModel const& model, std::vector<Vec3> const& xyz,
	std::vector<int> const& rows );

// A set of atoms that moves as one body, scored by the engine's fast density
// score over all its atoms.
class RigidBody {
public:
	RigidBody( ChainModel const& model, std::vector<int> const& rows );
	// The same atoms at the coordinates xyz (rows of the model).
	RigidBody( ChainModel const& model, std::vector<int> const& rows, std::vector<Vec3> const& xyz );

	std::vector<int> const& rows() const { return rows_; }

	// What a local refinement maximises: the fast density score of all the
	// body's atoms, or the correlation of its trace atoms (CA, or P) with the
	// map, which is normalised under the body's own footprint and so does not
	// draw the body onto denser neighbouring density.
	enum Score { FAST_DENSITY, TRACE_CORRELATION };

	// Local refinement from the placement `pose` (a transform of the model's
	// coordinates): LBFGS over a 6-D pose about the moved atoms' centroid.
	// pose becomes the refined placement; returns the objective there (lower
	// is better).
	double refine( FastDensityScore const& map, Rigid& pose, Score score = FAST_DENSITY ) const;
	// The objective at a placement without refinement.
	double objective( FastDensityScore const& map, Rigid const& pose ) const;

	// Global search with the fitting engine: start points over the map,
	// a 30-degree Euler grid, LBFGS refinement of the best starts.  Returns
	// every refined pose (as transforms of the model's coordinates) with its
	// objective, best first.  residues: size used for the search spacing.
	std::vector<std::pair<double, Rigid> > search( FastDensityScore const& map, int residues, bool quiet ) const;

private:
	std::vector<int> rows_;
	std::vector<Vec3> xyz_;
	std::vector<std::string> names_;
	std::vector<char> trace_; // rows that are trace atoms
};

} // namespace siblings

#endif
