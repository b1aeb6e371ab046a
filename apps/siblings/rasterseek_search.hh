// Rasterseek's search as a library: exhaustive six-dimensional placement of
// a rigid model in a density map.
//
// For every orientation of a near-uniform set the model's simulated density
// is correlated with the map for all translations at once by FFT.  The
// correlation is local: normalised under the model's own footprint (a mask
// around the model), so a model is drawn to density of its shape rather
// than to wherever the map is densest.  The best distinct poses are refined
// in real space and ranked by the correlation of the refined pose.
//
// Other programs of this folder place domains with it; keep this interface
// stable.
#ifndef QUILT_SIBLINGS_RASTERSEEK_SEARCH_HH
#define QUILT_SIBLINGS_RASTERSEEK_SEARCH_HH

#include "density/FastDensityScore.hh"
#include "density/Scattering.hh"

#include <iosfwd>
#include <string>
#include <vector>

namespace rasterseek {

// One placement of the model: every atom p moves to u p + t (Angstrom).
struct Placement {
	double u[ 3 ][ 3 ];
	double t[ 3 ];
	double score = 0.0;       // ranking correlation of the refined pose (higher is better)
	double searchScore = 0.0; // local correlation on the search grid before refinement
};

struct SearchOptions {
	double resolution = 0.0;     // map resolution, Angstrom (> 0)
	double angleStep = 20.0;     // orientation step, degrees, in (0, 180]
	int count = 1;               // placements wanted (>= 1)
	int threads = 1;             // worker threads (>= 1)
	std::ostream* log = nullptr; // progress lines, or none
};

// Places the atoms (x, y, z and the atom name, whose first letter is the
// element; B is not used) into the loaded map.  Returns up to
// options.count placements, best first, at least a few Angstrom apart from
// each other; fewer only when the map offers fewer.  Returns an empty list
// with the reason in `error` when the inputs are unusable (no atoms, map not
// loaded or with a skewed cell, options out of range, a search grid too
// large for memory).  The map is not changed.
std::vector< Placement > search_placements( FastDensityScore const& map, std::vector< poseCoord > const& atoms,
	SearchOptions const& options, std::string& error );

// out = u in + t.
void apply_placement( Placement const& p, double const* in, double* out );

} // namespace rasterseek

#endif
