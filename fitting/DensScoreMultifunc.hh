// The density objective of the pose search: minus a weight times the fast
// density score of a model moved by a 6-D pose (translation in Angstrom,
// z-x-z Euler angles in radians, applied about a fixed centre).
#ifndef QUILT_FITTING_DENSSCOREMULTIFUNC_HH
#define QUILT_FITTING_DENSSCOREMULTIFUNC_HH

#include "density/FastDensityScore.hh"
#include "fitting/Minimizer.hh"

#include <string>
#include <vector>

class DensScoreMultifunc : public Multifunc {
public:
	// model and names: atoms per residue (coordinates shared with the caller,
	// never freed here); map: scored through the objective's own copy, which
	// shares the map's values and fast-score tables with the original;
	// centre: three doubles, not owned.
	DensScoreMultifunc( int dimension, std::vector<std::vector<double*> > const& model,
		std::vector<std::vector<std::string> > const& names, FastDensityScore const& map, double weight,
		double* centre, bool dumpFlag, std::string selection, double h = 0.001 );
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

	// The map this objective scores against.
	FastDensityScore& map() const { return map_; }
	double weight() const { return weight_; }

private:
	int dimension_;
	std::vector<std::vector<double*> > model_;
	std::vector<std::vector<std::string> > names_;
	// Own copy: the score tables belong to this map, so an objective never
	// evaluates against another objective's map.  Mutable because the first
	// evaluation builds the tables.
	mutable FastDensityScore map_;
	double weight_;
	double* centre_;
	bool dumpFlag_;
	std::string selection_;
	double h_;
};

#endif
