// Rasterseek internals shared by its sources and tests (not part of the
// library interface).
#ifndef QUILT_SIBLINGS_RASTERSEEK_INTERNAL_HH
#define QUILT_SIBLINGS_RASTERSEEK_INTERNAL_HH

#include "apps/siblings/rasterseek_fft.hh"
#include "apps/siblings/rasterseek_grid.hh"
#include "apps/siblings/rasterseek_rotations.hh"
#include "apps/siblings/worker_threads.hh"
#include "density/FastDensityScore.hh"
#include "density/Scattering.hh"

#include <atomic>
#include <complex>
#include <functional>
#include <string>
#include <vector>

namespace rasterseek {
namespace detail {

// The model about its centroid.
struct Model {
	double centre[ 3 ] = { 0.0, 0.0, 0.0 };
	std::vector< double > offsets;  // 3 per atom: position - centre
	std::vector< double > weights;  // per atom: atomic number of its element
	double radius = 0.0;            // largest distance of an atom from the centre
	double second[ 3 ][ 3 ];        // mean of offset offset^T
};

// A local maximum of the search: orientation index and the model centre in
// (fractional) voxels of the search grid.
struct Peak {
	double score;
	int rotation;
	double cell[ 3 ];
};

// A pose as the model centre's new place and the rotation about it: atom p
// goes to rot (p - model centre) + centre.
struct Candidate {
	Rotation rot;
	double centre[ 3 ];
	double searchScore = 0.0;
	double score = 0.0;
};

// Settings of the search that are not on the command line.
struct Tuning {
	double sigmaFactor = 0.225;  // model density width: sigma = factor * resolution
	double maskFraction = 0.1;   // footprint: model density above this fraction of its peak
	double varianceFloor = 0.02; // map variance under the mask, relative to the whole map's, below which a pose is not scored
	int peaksPerRotation = 4;   // local maxima kept per orientation
	int peaksKept = 20000;      // best local maxima kept in all
	double distinctRmsd = 3.0;   // Angstrom between kept poses
	double startsApart = 1.5;    // Angstrom between refined starts
	int refineCount = 40;        // distinct poses refined
	int refineRounds = 4;        // LBFGS runs per pose, while they gain
};

using Spectrum = farray::FArray3D< std::complex< double > >;

// The FFT local correlation of the model with the map, one or two
// orientations at a time, with its own work arrays (one per thread).  The
// map spectra (of the search grid's values and of their squares) are
// shared, read only.
class Correlator {
public:
	Correlator( SearchGrid const& grid, Spectrum const& mapF, Spectrum const& map2F, Model const& model, double sigma,
		double maskFraction, double varianceFloor );
	// The local correlation of every pose of orientation rots[r] (r < count,
	// count 1 or 2) whose model centre lies on a map voxel: lcc[r] gets
	// inner[0] x inner[1] x inner[2] values, x fastest.  Poses whose
	// footprint finds the map nearly flat (variance below varianceFloor per
	// footprint voxel) score 0.  Returns a bit mask of the orientations done
	// (an orientation without footprint is not).
	int correlate( Rotation const* rots, int count, std::vector< double >* lcc );
	bool correlate( Rotation const& rot, std::vector< double >& lcc );
	// Appends the best `peaks` local maxima of each orientation, numbered index[r].
	void run( Rotation const* rots, int const* index, int count, int peaks, std::vector< Peak >& out );

private:
	// Forward transform of the packed template + i mask of one orientation
	// into out; returns the footprint's voxel count (0: no footprint).
	double template_spectrum( Rotation const& rot, std::complex< double >* out );
	// Turns one orientation's packed spectrum into the spectra of C + i S1
	// (in place) and of S2 (into c_, its imaginary half for the second).
	void split_spectrum( std::complex< double >* b, bool second );
	void local_correlation( std::complex< double > const* b, bool second, double count, std::vector< double >& lcc ) const;
	void collect_peaks( std::vector< double > const& lcc, int index, int peaks, std::vector< Peak >& out );

	SearchGrid const& grid_;
	Spectrum const& mapF_;
	Spectrum const& map2F_;
	Model const& model_;
	double sigma_, maskFraction_, varianceFloor_;
	PrunedFFT fft_;
	SearchGrid cube_; // the window around the model centre
	std::vector< std::complex< double > > a_, b_[ 2 ], c_;
	std::vector< double > moved_, lcc_[ 2 ];
	std::vector< Peak > best_;
};

// The value the assembly program writes where it removes the density of a
// chain already placed (processed maps hold values in [0, 1]).
double const kRemovedDensity = -10.0;

// The map with every voxel that holds exactly the removal mark set to 0 (no
// density); the map itself when there is none.
FastDensityScore without_removed_density( FastDensityScore const& map );

double element_weight( std::string const& atomName );
bool prepare_model( std::vector< poseCoord > const& atoms, Model& model );

// Root mean square distance of the model's atoms between two poses.
double pose_rmsd( Model const& model, Rotation const& ra, double const* ca, Rotation const& rb, double const* cb );

// Correlation of a model's simulated density (Gaussians of width sigma,
// weighted by element) with the map on the map's own grid, over the model's
// footprint: the voxels where the model density exceeds maskFraction of its
// peak.  Voxels of the footprint outside the map count as density 0.  Needs
// an orthogonal cell.  One scorer per thread (it keeps its work arrays).
class FootprintScorer {
public:
	FootprintScorer( FastDensityScore const& map, std::vector< double > const& weights, double sigma,
		double maskFraction );
	// xyz: 3 per atom (Angstrom).  With grad, also d(correlation)/d(xyz)
	// (3 per atom), the footprint held fixed.
	double score( std::vector< double > const& xyz, std::vector< double >* grad );

private:
	template< class Visit >
	void for_each_voxel( std::size_t atom, Visit&& visit );

	FastDensityScore const& map_;
	std::vector< double > const& weights_;
	double sigma_, maskFraction_;
	double voxel_[ 3 ];
	int box0_[ 3 ], nbox_[ 3 ];
	std::vector< double > grid_, rho_, obs_;
	std::vector< double > w_[ 3 ], d_[ 3 ];
	std::vector< int > at_[ 3 ];
};

// Refines every start in real space against the map (LBFGS on the footprint
// correlation with model density of width sigma) and sets its score to that
// correlation.
std::vector< Candidate > refine_candidates( FastDensityScore const& map, Model const& model,
	std::vector< Candidate > const& starts, Tuning const& tune, double sigma, int threads );

// The search's peaks (best first; orientation indices into `rotations`,
// places in voxels of `grid`) as refined poses: distinct starts, in the
// order of the peaks, are refined in batches until `count` distinct refined
// poses are at hand (two starts may refine into one pose) or the starts run
// out.  Returns up to `count` poses, the distinct ones best first; should
// the map offer fewer distinct poses, the best of the others follow them.
std::vector< Candidate > refine_and_rank( FastDensityScore const& map, Model const& model, SearchGrid const& grid,
	std::vector< Rotation > const& rotations, std::vector< Peak > const& peaks, Tuning const& tune, double sigma,
	int count, int threads );

// The footprint correlation of the model at a pose.
double footprint_correlation( FastDensityScore const& map, Model const& model, Candidate const& pose, double sigma,
	double maskFraction );

// Runs job(thread, index) for index = 0..count-1 on up to `threads`
// threads, each taking the next index when it has finished one; thread
// numbers stay below `threads`.  prepare(thread) (when given) makes each
// thread's work space first, for the threads that started; a job that fails
// stops the others taking new indices.  Memory that runs out is met as
// siblings::run_on_threads meets it: with `again` given (it drops the
// results and work spaces so far), the jobs are done anew on fewer threads.
// Returns the number of threads that ran (fewer when the system refuses
// some; at least 1).
template< class Job >
int run_parallel( int threads, int count, Job&& job, std::function< void( int ) > const& prepare = nullptr,
	std::function< void() > const& again = nullptr )
{
	std::atomic< int > next( 0 );
	auto worker = [ & ]( int t ) {
		try {
			for ( int i = next++; i < count; i = next++ ) job( t, i );
		} catch ( ... ) {
			next = count;
			throw;
		}
	};
	std::function< void() > restart;
	if ( again )
		restart = [ & ]() {
			again();
			next = 0;
		};
	return siblings::run_on_threads( threads > 1 ? threads : 1, worker, prepare, restart );
}

} // namespace detail
} // namespace rasterseek

#endif
