// Rasterseek: the exhaustive FFT search, the choice of distinct poses, their
// refinement and ranking.
#include "apps/siblings/rasterseek_search.hh"

#include "apps/siblings/rasterseek_grid.hh"
#include "apps/siblings/rasterseek_internal.hh"
#include "apps/siblings/rasterseek_rotations.hh"
#include "numerics/fft3d.hh"
#include "utility/memory_stop.hh"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <complex>
#include <iomanip>
#include <memory>
#include <ostream>
#include <sstream>

namespace rasterseek {

using cpx = std::complex< double >;

void apply_placement( Placement const& p, double const* in, double* out )
{
	for ( int r = 0; r < 3; ++r ) out[ r ] = p.u[ r ][ 0 ] * in[ 0 ] + p.u[ r ][ 1 ] * in[ 1 ] + p.u[ r ][ 2 ] * in[ 2 ] + p.t[ r ];
}

namespace detail {

double element_weight( std::string const& name )
{
	// Atomic numbers of the elements of macromolecules; the name's first
	// letter is the element, as everywhere in the density code.
	char const e = name.empty() ? 'C' : name[ 0 ];
	switch ( e ) {
	case 'H': return 1.0;
	case 'N': return 7.0;
	case 'O': return 8.0;
	case 'P': return 15.0;
	case 'S': return 16.0;
	default: return 6.0;
	}
}

bool prepare_model( std::vector< poseCoord > const& atoms, Model& model )
{
	std::size_t const n = atoms.size();
	if ( n == 0 ) return false;
	double c[ 3 ] = { 0.0, 0.0, 0.0 };
	for ( poseCoord const& a : atoms ) {
		if ( !std::isfinite( a.x ) || !std::isfinite( a.y ) || !std::isfinite( a.z ) ) return false;
		c[ 0 ] += a.x;
		c[ 1 ] += a.y;
		c[ 2 ] += a.z;
	}
	for ( double& v : c ) v /= double( n );
	std::copy( c, c + 3, model.centre );
	model.offsets.resize( 3 * n );
	model.weights.resize( n );
	model.radius = 0.0;
	for ( int i = 0; i < 3; ++i )
		for ( int j = 0; j < 3; ++j ) model.second[ i ][ j ] = 0.0;
	for ( std::size_t i = 0; i < n; ++i ) {
		double const d[ 3 ] = { atoms[ i ].x - c[ 0 ], atoms[ i ].y - c[ 1 ], atoms[ i ].z - c[ 2 ] };
		for ( int a = 0; a < 3; ++a ) model.offsets[ 3 * i + a ] = d[ a ];
		model.weights[ i ] = element_weight( atoms[ i ].elt );
		model.radius = std::max( model.radius, std::sqrt( d[ 0 ] * d[ 0 ] + d[ 1 ] * d[ 1 ] + d[ 2 ] * d[ 2 ] ) );
		for ( int a = 0; a < 3; ++a )
			for ( int b = 0; b < 3; ++b ) model.second[ a ][ b ] += d[ a ] * d[ b ] / double( n );
	}
	return true;
}

double pose_rmsd( Model const& model, Rotation const& ra, double const* ca, Rotation const& rb, double const* cb )
{
	// Mean squared distance of the atoms under two poses that put the model
	// centre at ca and cb: |ca - cb|^2 + trace(D S D^T), D = ra - rb and S the
	// second moment of the atoms about the centre.
	double d2 = 0.0;
	for ( int a = 0; a < 3; ++a ) d2 += ( ca[ a ] - cb[ a ] ) * ( ca[ a ] - cb[ a ] );
	double D[ 3 ][ 3 ];
	for ( int i = 0; i < 3; ++i )
		for ( int j = 0; j < 3; ++j ) D[ i ][ j ] = ra.m[ i ][ j ] - rb.m[ i ][ j ];
	for ( int i = 0; i < 3; ++i )
		for ( int j = 0; j < 3; ++j )
			for ( int k = 0; k < 3; ++k ) d2 += D[ i ][ j ] * model.second[ j ][ k ] * D[ i ][ k ];
	return std::sqrt( std::max( 0.0, d2 ) );
}

} // namespace detail

using namespace detail;

namespace {

// Higher score first; ties by orientation and place, so that the order does
// not depend on which thread found a peak.
bool better_peak( Peak const& a, Peak const& b )
{
	if ( a.score != b.score ) return a.score > b.score;
	if ( a.rotation != b.rotation ) return a.rotation < b.rotation;
	for ( int k = 0; k < 3; ++k )
		if ( a.cell[ k ] != b.cell[ k ] ) return a.cell[ k ] < b.cell[ k ];
	return false;
}

// Trims a thread's peaks to the best `keep` once they reach twice that.
void keep_best( std::vector< Peak >& peaks, int keep )
{
	if ( peaks.size() < 2 * std::size_t( keep ) ) return;
	std::nth_element( peaks.begin(), peaks.begin() + keep, peaks.end(), better_peak );
	peaks.resize( std::size_t( keep ) );
}

double seconds_since( std::chrono::steady_clock::time_point t0 )
{
	return std::chrono::duration< double >( std::chrono::steady_clock::now() - t0 ).count();
}

} // namespace

FastDensityScore detail::without_removed_density( FastDensityScore const& map )
{
	FastDensityScore out( map );
	if ( !map.isLoaded ) return out;
	farray::FArray3D< double > const& d = map.density();
	long const n = long( d.size() );
	bool marked = false;
	for ( long v = 0; v < n && !marked; ++v ) marked = d[ v ] == kRemovedDensity;
	if ( !marked ) return out;
	farray::FArray3D< double >& w = out.mutableDensity();
	for ( long v = 0; v < n; ++v )
		if ( w[ v ] == kRemovedDensity ) w[ v ] = 0.0;
	return out;
}

namespace {

// Reason why the options cannot be searched, or empty.
std::string check_options( SearchOptions const& options )
{
	if ( !( options.resolution > 0.0 ) || !std::isfinite( options.resolution ) )
		return "the resolution must be a positive number";
	if ( !( options.angleStep > 0.0 && options.angleStep <= 180.0 ) ) return "the angular step must lie in (0, 180] degrees";
	if ( options.count < 1 ) return "at least one result must be asked for";
	// Finer steps than this would run for days and hold gigabytes of poses.
	long const maxRotations = 2000000;
	if ( rotation_count( options.angleStep ) > maxRotations ) {
		std::ostringstream os;
		os << "the angular step of " << options.angleStep << " degrees is too fine (" << rotation_count( options.angleStep )
		   << " orientations; at most " << maxRotations << ")";
		return os.str();
	}
	return "";
}

// Memory budget of the search: two shared spectra and four complex grids
// per thread.
double const kMemoryBudget = 0.9e9;

// The search grid for the model, and the model density's width on it.  The
// width follows the resolution but never falls below half a voxel, where a
// Gaussian would slip between grid points (maps sampled coarsely for their
// resolution, grids made coarser to fit the memory).  The grid's padding
// holds the model's density; should the grid come out coarser than planned,
// its wider density asks for more padding.
bool lay_out_grid( FastDensityScore const& map, Model const& model, double resolution, double sigmaMap,
	Tuning const& tune, SearchGrid& grid, double& sigma, std::string& error )
{
	long const maxVoxels = long( kMemoryBudget / ( 6.0 * sizeof( cpx ) ) );
	double margin = model.radius + 3.0 * sigmaMap;
	sigma = sigmaMap;
	for ( int attempt = 0; attempt < 4; ++attempt ) {
		if ( !build_search_grid( map, resolution, margin, maxVoxels, grid, error ) ) return false;
		double const spacing = std::max( grid.spacing[ 0 ], std::max( grid.spacing[ 1 ], grid.spacing[ 2 ] ) );
		sigma = std::max( tune.sigmaFactor * resolution, 0.5 * spacing );
		if ( model.radius + 3.0 * sigma <= margin ) return true;
		margin = model.radius + 3.0 * sigma;
	}
	error = "no search grid holds the model";
	return false;
}

// Spectra of the grid's map and of its square, and the variance floor of the
// local correlation (relative to the variance of the map over its own box).
bool map_spectra( SearchGrid const& grid, Tuning const& tune, Spectrum& mapF, Spectrum& map2F, double& varianceFloor,
	std::string& error )
{
	farray::DynamicIndexRange const r0( grid.n[ 0 ] ), r1( grid.n[ 1 ] ), r2( grid.n[ 2 ] );
	farray::FArray3D< double > m( r0, r1, r2 );
	double s = 0.0, s2 = 0.0, cnt = 0.0;
	for ( long v = 0; v < grid.size(); ++v ) m[ v ] = grid.values[ v ];
	for ( int k = 0; k < grid.inner[ 2 ]; ++k )
		for ( int j = 0; j < grid.inner[ 1 ]; ++j )
			for ( int i = 0; i < grid.inner[ 0 ]; ++i ) {
				double const x = grid.values[ ( long( k ) * grid.n[ 1 ] + j ) * grid.n[ 0 ] + i ];
				s += x;
				s2 += x * x;
				cnt += 1.0;
			}
	double const var = cnt > 0.0 ? s2 / cnt - ( s / cnt ) * ( s / cnt ) : 0.0;
	if ( !( var > 0.0 ) ) {
		error = "the density map is flat (no variation to fit against)";
		return false;
	}
	varianceFloor = tune.varianceFloor * var;
	fft3( m, mapF );
	for ( long v = 0; v < grid.size(); ++v ) m[ v ] = grid.values[ v ] * grid.values[ v ];
	fft3( m, map2F );
	return true;
}

// The FFT search over all orientations: the best local maxima, best first.
std::vector< Peak > fft_search( SearchGrid const& grid, Spectrum const& mapF, Spectrum const& map2F, Model const& model,
	std::vector< Rotation > const& rotations, double sigma, double varianceFloor, Tuning const& tune, int threads )
{
	std::vector< std::vector< Peak > > found;
	{
		// Each thread that started gets its own correlator (transform plans
		// and work grids), made on the calling thread before the work begins.
		std::vector< std::unique_ptr< Correlator > > workers;
		auto prepare = [ & ]( int ) {
			workers.push_back( std::make_unique< Correlator >( grid, mapF, map2F, model, sigma, tune.maskFraction, varianceFloor ) );
			found.emplace_back();
		};
		// Orientations go in pairs (they share a transform).  Each thread
		// keeps its best peaks only; the best of all are among them, whatever
		// thread found them.
		auto again = [ & ]() {
			workers.clear();
			found.clear();
		};
		int const nr = int( rotations.size() );
		run_parallel( threads, ( nr + 1 ) / 2, [ & ]( int t, int p ) {
			int const index[ 2 ] = { 2 * p, 2 * p + 1 };
			workers[ t ]->run( &rotations[ 2 * p ], index, std::min( 2, nr - 2 * p ), tune.peaksPerRotation, found[ t ] );
			keep_best( found[ t ], tune.peaksKept );
		}, prepare, again );
	}
	std::vector< Peak > peaks;
	for ( auto& f : found ) peaks.insert( peaks.end(), f.begin(), f.end() );
	std::sort( peaks.begin(), peaks.end(), better_peak );
	if ( peaks.size() > std::size_t( tune.peaksKept ) ) peaks.resize( std::size_t( tune.peaksKept ) );
	return peaks;
}

} // namespace

std::vector< Candidate > detail::refine_and_rank( FastDensityScore const& map, Model const& model, SearchGrid const& grid,
	std::vector< Rotation > const& rotations, std::vector< Peak > const& peaks, Tuning const& tune, double sigma,
	int count, int threads )
{
	auto distinct_from = [ & ]( Candidate const& c, std::vector< Candidate > const& others, double apart ) {
		for ( Candidate const& o : others )
			if ( pose_rmsd( model, c.rot, c.centre, o.rot, o.centre ) < apart ) return false;
		return true;
	};
	std::vector< Candidate > starts, refined;
	std::vector< std::size_t > ranked; // indices into refined, best first
	std::size_t nextPeak = 0;
	int batch = std::max( tune.refineCount, count + 4 );
	while ( true ) {
		std::vector< Candidate > fresh;
		for ( ; nextPeak < peaks.size() && int( fresh.size() ) < batch; ++nextPeak ) {
			Peak const& p = peaks[ nextPeak ];
			Candidate c;
			c.rot = rotations[ p.rotation ];
			for ( int a = 0; a < 3; ++a ) c.centre[ a ] = grid.origin[ a ] + p.cell[ a ] * grid.spacing[ a ];
			c.searchScore = p.score;
			if ( !distinct_from( c, starts, tune.startsApart ) ) continue;
			starts.push_back( c );
			fresh.push_back( c );
		}
		if ( fresh.empty() ) break;
		std::vector< Candidate > done = refine_candidates( map, model, fresh, tune, sigma, threads );
		refined.insert( refined.end(), done.begin(), done.end() );
		std::stable_sort(
			refined.begin(), refined.end(), []( Candidate const& x, Candidate const& y ) { return x.score > y.score; } );
		ranked.clear();
		std::vector< Candidate > kept;
		for ( std::size_t i = 0; i < refined.size() && int( ranked.size() ) < count; ++i )
			if ( distinct_from( refined[ i ], kept, tune.distinctRmsd ) ) {
				kept.push_back( refined[ i ] );
				ranked.push_back( i );
			}
		if ( int( ranked.size() ) >= count ) break;
		batch = count - int( ranked.size() ) + 4;
	}
	for ( std::size_t i = 0; i < refined.size() && int( ranked.size() ) < count; ++i )
		if ( std::find( ranked.begin(), ranked.end(), i ) == ranked.end() ) ranked.push_back( i );
	std::vector< Candidate > out;
	for ( std::size_t i : ranked ) out.push_back( refined[ i ] );
	return out;
}

namespace {

// The candidate as a motion of the model's atoms: the model centre goes to
// c.centre, so t = c.centre - u (model centre).
Placement placement_of( Candidate const& c, Model const& model )
{
	Placement p;
	for ( int r = 0; r < 3; ++r ) {
		for ( int k = 0; k < 3; ++k ) p.u[ r ][ k ] = c.rot.m[ r ][ k ];
		p.t[ r ] = c.centre[ r ] - ( c.rot.m[ r ][ 0 ] * model.centre[ 0 ] + c.rot.m[ r ][ 1 ] * model.centre[ 1 ]
		                               + c.rot.m[ r ][ 2 ] * model.centre[ 2 ] );
	}
	p.score = c.score;
	p.searchScore = c.searchScore;
	return p;
}

std::string fixed( double v, int digits )
{
	std::ostringstream os;
	os << std::fixed << std::setprecision( digits ) << v;
	return os.str();
}

} // namespace

std::vector< Placement > search_placements( FastDensityScore const& loaded, std::vector< poseCoord > const& atoms,
	SearchOptions const& options, std::string& error )
{
	std::vector< Placement > none;
	auto t0 = std::chrono::steady_clock::now();
	std::ostream* log = options.log;
	error = check_options( options );
	if ( !error.empty() ) return none;
	utility::MemoryStep const step( "searching poses" );
	Model model;
	if ( !prepare_model( atoms, model ) ) {
		error = atoms.empty() ? "the model has no atoms" : "the model has atoms without finite coordinates";
		return none;
	}
	// Where an earlier chain's density was removed the map is empty for this
	// one: a strongly negative mark would dominate any correlation touching it.
	FastDensityScore const map = without_removed_density( loaded );
	Tuning const tune;
	// The model density on the map's own grid (refinement, ranking): width
	// from the resolution, at least half a voxel.
	double mapVoxel = 0.0;
	for ( int a = 0; a < 3 && map.isLoaded; ++a ) mapVoxel = std::max( mapVoxel, map.f2c[ a ][ a ] / map.grid[ a ] );
	double const sigmaMap = std::max( tune.sigmaFactor * options.resolution, 0.5 * mapVoxel );
	SearchGrid grid;
	double sigma = sigmaMap;
	if ( !lay_out_grid( map, model, options.resolution, sigmaMap, tune, grid, sigma, error ) ) return none;
	std::vector< Rotation > const rotations = rotation_set( options.angleStep );

	// Threads beyond what fits in the memory budget are not started.
	double const bytesPerThread = double( grid.size() ) * 4 * sizeof( cpx );
	double const shared = double( grid.size() ) * 2 * sizeof( cpx );
	int threads = std::max( 1, options.threads );
	while ( threads > 1 && shared + threads * bytesPerThread > kMemoryBudget ) --threads;
	threads = std::min( threads, int( rotations.size() + 1 ) / 2 );
	if ( log ) {
		*log << "Rasterseek> model: " << atoms.size() << " atoms, radius " << fixed( model.radius, 1 ) << " A" << std::endl;
		*log << "Rasterseek> search grid: " << grid.n[ 0 ] << " x " << grid.n[ 1 ] << " x " << grid.n[ 2 ] << " voxels (map "
		     << grid.inner[ 0 ] << " x " << grid.inner[ 1 ] << " x " << grid.inner[ 2 ] << ") of " << fixed( grid.spacing[ 0 ], 2 )
		     << " x " << fixed( grid.spacing[ 1 ], 2 ) << " x " << fixed( grid.spacing[ 2 ], 2 ) << " A" << std::endl;
		*log << "Rasterseek> " << rotations.size() << " orientations at " << options.angleStep << " degrees, " << threads
		     << " thread" << ( threads > 1 ? "s" : "" ) << std::endl;
	}

	Spectrum mapF, map2F;
	double varianceFloor = 0.0;
	if ( !map_spectra( grid, tune, mapF, map2F, varianceFloor, error ) ) return none;
	std::vector< Peak > const peaks = fft_search( grid, mapF, map2F, model, rotations, sigma, varianceFloor, tune, threads );
	if ( log )
		*log << "Rasterseek> FFT search: " << peaks.size() << " peaks in " << fixed( seconds_since( t0 ), 2 ) << " s"
		     << std::endl;
	if ( peaks.empty() ) {
		error = "no pose of the model finds density in the map";
		return none;
	}

	utility::MemoryStep const refining( "refining poses" );
	std::vector< Placement > out;
	for ( Candidate const& c : refine_and_rank( map, model, grid, rotations, peaks, tune, sigmaMap, options.count, threads ) )
		out.push_back( placement_of( c, model ) );
	if ( log ) {
		*log << "Rasterseek> " << out.size() << " poses ranked in " << fixed( seconds_since( t0 ), 2 ) << " s" << std::endl;
		for ( std::size_t k = 0; k < out.size(); ++k )
			*log << "Rasterseek> pose " << k + 1 << ": correlation " << fixed( out[ k ].score, 4 ) << " (search "
			     << fixed( out[ k ].searchScore, 4 ) << ")" << std::endl;
	}
	return out;
}

} // namespace rasterseek
