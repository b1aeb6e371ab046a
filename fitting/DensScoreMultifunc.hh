// The density objective of the pose search: minus a weight times the fast
// density score of a model moved by a 6-D pose (translation in Angstrom,
// z-x-z Euler angles in radians, applied about a fixed centre).
#ifndef QUILT_FITTING_DENSSCOREMULTIFUNC_HH
#define QUILT_FITTING_DENSSCOREMULTIFUNC_HH

#include "density/FastDensityScore.hh"
#include "fitting/Minimizer.hh"

#include <string>
#include <vector>

// The process-wide map of the fitting objective: the map that objectives
// built without a map of their own score against.  Puts (a copy of) map into
// the slot, replacing whatever it held, and returns the slot; the next
// evaluation of such an objective scores against this map.  A copy of the map
// held already brings the same score tables (copies share them, also tables
// built after the copy was taken), so it costs no table building.  The
// reference stays valid until the process ends.
//
// The programs give every objective its own map (the pose search copies the
// map it is handed); the slot serves callers that fit into one map through
// many objectives without handing each a copy, and that switch every such
// objective to another map with one call.
FastDensityScore& getDensityMap( FastDensityScore const& map );
// The slot as it stands: an unloaded map before the first getDensityMap.
FastDensityScore& objectiveDensityMap();

class DensScoreMultifunc : public Multifunc {
public:
	// model and names: atoms per residue (coordinates shared with the caller,
	// never freed here); map: scored through the objective's own copy, which
	// shares the map's values and fast-score tables with the original;
	// centre: three doubles, not owned.
	DensScoreMultifunc( int dimension, std::vector<std::vector<double*> > const& model,
		std::vector<std::vector<std::string> > const& names, FastDensityScore const& map, double weight,
		double* centre, bool dumpFlag, std::string selection, double h = 0.001 );
	// The same without a map: every evaluation scores against the
	// process-wide map (objectiveDensityMap) as it stands at that moment.
	DensScoreMultifunc( int dimension, std::vector<std::vector<double*> > const& model,
		std::vector<std::vector<std::string> > const& names, double weight, double* centre, bool dumpFlag,
		std::string selection, double h = 0.001 );
	~DensScoreMultifunc() override {}

	// Value; the score's gradient at x is computed in the same pass and kept
	// for a following dfunc at x (what the minimiser asks for).
	double operator()( double* x ) const override;
	// The same value without the gradient work (start-pose scoring).
	double value_only( double* x ) const override;
	void dfunc( double* x, double* g ) const override;
	// Central-difference check of the gradient around x (standard error),
	// only with the dump flag set.
	void dump( double* x, double* ) const override;

	// The map this objective scores against (the process-wide one when it
	// was built without a map).
	FastDensityScore& map() const { return ownMap_ ? map_ : objectiveDensityMap(); }
	// Whether the objective scores against a map of its own.
	bool has_own_map() const { return ownMap_; }
	double weight() const { return weight_; }

private:
	int dimension_;
	std::vector<std::vector<double*> > model_;
	std::vector<std::vector<std::string> > names_;
	// Own copy: the score tables belong to this map, so an objective never
	// evaluates against another objective's map.  Mutable because the first
	// evaluation builds the tables.
	mutable FastDensityScore map_;
	bool ownMap_;
	double weight_;
	double* centre_;
	bool dumpFlag_;
	std::string selection_;
	double h_;
};

#endif
