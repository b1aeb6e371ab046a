// Rasterseek internals shared by its sources and tests (not part of the
// library interface).
#ifndef QUILT_SIBLINGS_RASTERSEEK_INTERNAL_HH
#define QUILT_SIBLINGS_RASTERSEEK_INTERNAL_HH

#include "apps/siblings/rasterseek_fft.hh"
#include "apps/siblings/rasterseek_grid.hh"
#include "apps/siblings/rasterseek_rotations.hh"
#include "density/FastDensityScore.hh"
#include "density/Scattering.hh"

#include <atomic>
#include <complex>
#include <string>
#include <thread>
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
	double distinctRmsd = 3.0;   // Angstrom between kept poses
	int refineCount = 20;        // distinct poses refined
};

using Spectrum = farray::FArray3D< std::complex< double > >;

// The FFT local correlation of the model with the map, one orientation at a
// time, with its own work arrays (one per thread).  The map spectra (of the
// search grid's values and of their squares) are shared, read only.
class Correlator {
public:
	Correlator( SearchGrid const& grid, Spectrum const& mapF, Spectrum const& map2F, Model const& model, double sigma,
		double maskFraction, double varianceFloor );
	// The local correlation of every pose of orientation rot whose model
	// centre lies on a map voxel: lcc gets inner[0] x inner[1] x inner[2]
	// values, x fastest.  Poses whose footprint finds the map nearly flat
	// (variance below varianceFloor per footprint voxel) score 0.  False
	// when the model has no footprint.
	bool correlate( Rotation const& rot, std::vector< double >& lcc );
	// Appends the best `peaks` local maxima of orientation `index`.
	void run( Rotation const& rot, int index, int peaks, std::vector< Peak >& out );

private:
	SearchGrid const& grid_;
	Spectrum const& mapF_;
	Spectrum const& map2F_;
	Model const& model_;
	double sigma_, maskFraction_, varianceFloor_;
	PrunedFFT fft_;
	SearchGrid cube_; // the window around the model centre
	std::vector< std::complex< double > > a_, b_, c_;
	std::vector< double > moved_, lcc_;
	std::vector< Peak > best_;
};

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
// correlation) and sets its score to that correlation.
std::vector< Candidate > refine_candidates( FastDensityScore const& map, Model const& model,
	std::vector< Candidate > const& starts, Tuning const& tune, double resolution, int threads );

// The footprint correlation of the model at a pose.
double footprint_correlation( FastDensityScore const& map, Model const& model, Candidate const& pose, double sigma,
	double maskFraction );

// Runs job(thread, index) for index = 0..count-1 on `threads` threads, each
// taking the next index when it has finished one.
template< class Job >
void run_parallel( int threads, int count, Job&& job )
{
	std::atomic< int > next( 0 );
	auto worker = [ & ]( int t ) {
		for ( int i = next++; i < count; i = next++ ) job( t, i );
	};
	if ( threads <= 1 ) {
		worker( 0 );
		return;
	}
	std::vector< std::thread > pool;
	for ( int t = 0; t < threads; ++t ) pool.emplace_back( worker, t );
	for ( std::thread& th : pool ) th.join();
}

} // namespace detail
} // namespace rasterseek

#endif
