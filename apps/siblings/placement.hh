// What the sibling programs share around a fit: loading and checking the
// map and the model, and the global placement of the model's first chain.
#ifndef QUILT_SIBLINGS_PLACEMENT_HH
#define QUILT_SIBLINGS_PLACEMENT_HH

#include "apps/siblings/chain_model.hh"
#include "apps/siblings/rigid_fit.hh"
#include "density/FastDensityScore.hh"

#include <string>
#include <vector>

namespace siblings {

struct FitRequest {
	std::string mapPath;
	std::string modelPath;
	double resolution = 0.0;
	double threshold = 0.0;   // density threshold of the map's voxel list
	bool quiet = false;
	std::string atomType = "all"; // atoms the placement scores (select_rows)
	std::string prefix;       // of the progress lines
};

// One placement of the model: every atom row of the file moved.
struct Placement {
	std::vector<Vec3> xyz;
	Rigid transform;          // of the fitted chain (identity for mixed moves)
	double correlation = 0.0;
};

// Reads what the fitting programs share: the resolution (positional text),
// "-dc", "-gw" (checked; the map keeps its grid) and "-sl" (0: quiet).
// False after a message when a value is unusable.
bool read_fit_options( int argc, char** argv, char const* resolution, FitRequest& request );

// The "-on" name (or the fallback when it is absent) without ".pdb"; empty
// after a message when it is no plain file name.
std::string output_base( char const* on, std::string const& fallback );
// The same for the "-on" option of a command line: every occurrence must be
// a plain file name (the first one refused is named), the first is used.
std::string output_base_option( int argc, char** argv, std::string const& fallback );

class FitSession {
public:
	// Checks and loads the map and the model; prints an "Error! ..." line and
	// returns false when either is unusable.
	bool load( FitRequest const& request );

	ChainModel const& model() const { return model_; }
	FastDensityScore& map() { return map_; }
	FitRequest const& request() const { return request_; }

	// Global search of the first chain with the engine, scoring the request's
	// atom type.  Fills nm placements of the whole file (every row moved by
	// the chain's transform), ranked by the correlation of the chain's atoms'
	// density with the map, best first; poses within 1.5 A of a better one
	// are passed over unless too few distinct ones remain.  False, after an
	// error line, when no voxel lies above the threshold (-dc): the search
	// starts from the centre of those voxels.
	bool place_chain( int nm, std::vector<Placement>& out );

	// Correlation the placements are ranked by: the first chain's atoms.
	double chain_correlation( std::vector<Vec3> const& xyz );

private:
	FitRequest request_;
	ChainModel model_;
	FastDensityScore map_;
};

} // namespace siblings

#endif
