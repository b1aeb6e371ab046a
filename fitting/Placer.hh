// Rigid-body pose search of one model in one density map: translation
// search points over the dense part of the map, a 30-degree Euler-angle
// grid, the best orientation per point as start pose, LBFGS refinement of
// the best-scored starts and the requested number of best poses kept.
//
// A pose is six doubles: a translation (Angstrom) and z-x-z Euler angles
// (radians), applied about the model centre as p' = c + t + R (p - c).  The
// caller has moved the model onto the map centre; search points are
// offsets from it.
#ifndef QUILT_FITTING_PLACER_HH
#define QUILT_FITTING_PLACER_HH

#include "density/FastDensityScore.hh"
#include "fitting/DensScoreMultifunc.hh"

#include <string>
#include <utility>
#include <vector>

class Placer {
public:
	// model/names: atoms per residue (coordinates stay the caller's); only the
	// atoms the selection scores are kept, which changes no score.  The map
	// must be loaded with its density parameters computed.
	Placer( int n, double* centre, std::vector<std::vector<double*> > const& model,
		std::vector<std::vector<std::string> > const& names, FastDensityScore const& map, std::string selection,
		std::string modelName, std::string modelDir, bool useEulerGrid, bool quiet );
	virtual ~Placer();

	// The whole search.  results receives at most nm entries (objective
	// value, new double[6] pose owned by the caller), best first: the kept
	// refined poses, each better than the empty slot (objective 0) by more
	// than 0.1, so fewer than nm when fewer refinements scored anything.  No
	// more slots are set up than there are refinements, so the work does not
	// grow with nm.  generation is set to the index of the start pose that
	// gave the best score.  Refuses nm < 1 (returns false with a message,
	// results untouched).
	bool run( std::vector<std::pair<double, double*> >& results, double* centre, int nm, int& generation );
	// The same search with a given objective (the density objective in run).
	bool search( std::vector<std::pair<double, double*> >& results, int nm, int& generation, Multifunc& f );

	void select_start_vector( Multifunc const& f );
	void select_inital_points();
	void select_initial_euler_angles();
	// Frees the search points, Euler triples and start vectors.
	void memory_release();
	// Centroid (new double[3]) of the selected atoms of the model moved by x.
	double* getCenterPoint_from_6DVec( double* x );

	std::vector<double*> const& search_points() const { return points_; }
	std::vector<double*> const& euler_angles() const { return eulers_; }
	std::vector<double*> const& start_vectors() const { return starts_; }
	// Every refined start pose of the last search with its objective value,
	// in refinement order (the start vectors after refinement).
	std::vector<std::pair<double, double*> > const& refined_poses() const { return refined_; }
	bool euler_grid() const { return useEulerGrid_; }
	void set_angle_step( double degrees ) { angleStep_ = degrees; }

private:
	int n_;
	double* centre_;
	std::vector<std::vector<double*> > model_;
	std::vector<std::vector<std::string> > names_;
	FastDensityScore map_;
	std::string selection_;
	std::vector<double*> points_;
	std::vector<double*> eulers_;
	std::vector<double*> starts_;
	std::vector<std::pair<double, double*> > refined_; // pointers into starts_
	double angleStep_;
	bool useEulerGrid_;
	bool quiet_;
	std::string modelName_;
	std::string modelDir_;
};

// True when the orientations a[3..5] and b[3..5] differ by about one degree
// or more.
bool similar_orientation( double* a, double* b );

#endif
