// Rasterseek: the exhaustive FFT search, the choice of distinct poses, their
// refinement and ranking.
#include "apps/siblings/rasterseek_search.hh"

#include "apps/siblings/rasterseek_grid.hh"
#include "apps/siblings/rasterseek_internal.hh"
#include "apps/siblings/rasterseek_rotations.hh"
#include "numerics/fft3d.hh"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstdio>
#include <iostream>
#include <cstdlib>
#include <memory>
#include <iomanip>
#include <ostream>
#include <sstream>
#include <thread>

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

double seconds_since( std::chrono::steady_clock::time_point t0 )
{
	return std::chrono::duration< double >( std::chrono::steady_clock::now() - t0 ).count();
}

} // namespace

std::vector< Placement > search_placements( FastDensityScore const& map, std::vector< poseCoord > const& atoms,
	SearchOptions const& options, std::string& error )
{
	std::vector< Placement > none;
	auto t0 = std::chrono::steady_clock::now();
	std::ostream* log = options.log;
	if ( !( options.resolution > 0.0 ) || !std::isfinite( options.resolution ) ) {
		error = "the resolution must be a positive number";
		return none;
	}
	if ( !( options.angleStep > 0.0 && options.angleStep <= 180.0 ) ) {
		error = "the angular step must lie in (0, 180] degrees";
		return none;
	}
	if ( options.count < 1 ) {
		error = "at least one result must be asked for";
		return none;
	}
	Model model;
	if ( !prepare_model( atoms, model ) ) {
		error = atoms.empty() ? "the model has no atoms" : "the model has atoms without finite coordinates";
		return none;
	}
	Tuning const tune;
	double const sigma = tune.sigmaFactor * options.resolution;

	SearchGrid grid;
	long const maxVoxels = 1L << 24;
	if ( !build_search_grid( map, options.resolution, model.radius + 3.0 * sigma, maxVoxels, grid, error ) ) return none;
	std::vector< Rotation > const rotations = rotation_set( options.angleStep );

	// Memory: two shared spectra and three complex grids per thread; threads
	// beyond what fits in the budget are not started.
	double const bytesPerThread = double( grid.size() ) * 3 * sizeof( cpx );
	double const shared = double( grid.size() ) * 2 * sizeof( cpx );
	int threads = std::max( 1, options.threads );
	double const budget = 0.9e9;
	while ( threads > 1 && shared + threads * bytesPerThread > budget ) --threads;
	threads = std::min( threads, int( rotations.size() ) );

	if ( log ) {
		*log << "Rasterseek> model: " << atoms.size() << " atoms, radius " << std::fixed << std::setprecision( 1 )
		     << model.radius << " A" << std::endl;
		*log << "Rasterseek> search grid: " << grid.n[ 0 ] << " x " << grid.n[ 1 ] << " x " << grid.n[ 2 ]
		     << " voxels (map " << grid.inner[ 0 ] << " x " << grid.inner[ 1 ] << " x " << grid.inner[ 2 ] << ") of "
		     << std::setprecision( 2 ) << grid.spacing[ 0 ] << " x " << grid.spacing[ 1 ] << " x " << grid.spacing[ 2 ]
		     << " A" << std::endl;
		*log << "Rasterseek> " << rotations.size() << " orientations at " << options.angleStep << " degrees, "
		     << threads << " thread" << ( threads > 1 ? "s" : "" ) << std::endl;
	}

	// Spectra of the map and of its square; the variance floor is relative
	// to the variance of the map over its own box.
	Spectrum mapF, map2F;
	double varianceFloor = 0.0;
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
			return none;
		}
		varianceFloor = tune.varianceFloor * var;
		fft3( m, mapF );
		for ( long v = 0; v < grid.size(); ++v ) m[ v ] = grid.values[ v ] * grid.values[ v ];
		fft3( m, map2F );
	}

	std::vector< std::vector< Peak > > found( threads );
	{
		// Made here, before the threads start: each holds its own transform plans.
		std::vector< std::unique_ptr< Correlator > > workers;
		for ( int t = 0; t < threads; ++t )
			workers.emplace_back( new Correlator( grid, mapF, map2F, model, sigma, tune.maskFraction, varianceFloor ) );
		run_parallel( threads, int( rotations.size() ), [ & ]( int t, int r ) {
			workers[ t ]->run( rotations[ r ], r, tune.peaksPerRotation, found[ t ] );
		} );
	}
	std::vector< Peak > peaks;
	for ( auto& f : found ) peaks.insert( peaks.end(), f.begin(), f.end() );
	std::sort( peaks.begin(), peaks.end(), []( Peak const& a, Peak const& b ) {
		if ( a.score != b.score ) return a.score > b.score;
		return a.rotation < b.rotation;
	} );
	if ( log )
		*log << "Rasterseek> FFT search: " << peaks.size() << " peaks in " << std::setprecision( 2 ) << seconds_since( t0 )
		     << " s" << std::endl;
	if ( peaks.empty() ) {
		error = "no pose of the model finds density in the map";
		return none;
	}

	// Distinct starting poses in the order of their search score are refined
	// in batches until enough distinct refined poses are at hand (two starts
	// may refine into one pose) or the starts run out.
	auto distinct_from = [ & ]( Candidate const& c, std::vector< Candidate > const& others ) {
		for ( Candidate const& o : others )
			if ( pose_rmsd( model, c.rot, c.centre, o.rot, o.centre ) < tune.distinctRmsd ) return false;
		return true;
	};
	std::vector< Candidate > starts, refined;
	std::vector< std::size_t > ranked; // indices into refined, best first
	std::size_t nextPeak = 0;
	int batch = std::max( tune.refineCount, options.count + 4 );
	while ( true ) {
		std::vector< Candidate > fresh;
		for ( ; nextPeak < peaks.size() && int( fresh.size() ) < batch; ++nextPeak ) {
			Peak const& p = peaks[ nextPeak ];
			Candidate c;
			c.rot = rotations[ p.rotation ];
			for ( int a = 0; a < 3; ++a ) c.centre[ a ] = grid.origin[ a ] + p.cell[ a ] * grid.spacing[ a ];
			c.searchScore = p.score;
			if ( !distinct_from( c, starts ) ) continue;
			starts.push_back( c );
			fresh.push_back( c );
		}
		if ( fresh.empty() ) break;
		std::vector< Candidate > done = refine_candidates( map, model, fresh, tune, options.resolution, threads );
		refined.insert( refined.end(), done.begin(), done.end() );
		std::stable_sort( refined.begin(), refined.end(),
			[]( Candidate const& x, Candidate const& y ) { return x.score > y.score; } );
		ranked.clear();
		std::vector< Candidate > kept;
		for ( std::size_t i = 0; i < refined.size() && int( ranked.size() ) < options.count; ++i )
			if ( distinct_from( refined[ i ], kept ) ) {
				kept.push_back( refined[ i ] );
				ranked.push_back( i );
			}
		if ( int( ranked.size() ) >= options.count ) break;
		batch = options.count - int( ranked.size() ) + 4;
	}
	// Should the map offer fewer distinct poses than asked for, the list is
	// filled up with the best of the others, after the distinct ones.
	for ( std::size_t i = 0; i < refined.size() && int( ranked.size() ) < options.count; ++i )
		if ( std::find( ranked.begin(), ranked.end(), i ) == ranked.end() ) ranked.push_back( i );

	std::vector< Placement > out;
	for ( std::size_t i : ranked ) {
		Candidate const& c = refined[ i ];
		Placement p;
		for ( int i = 0; i < 3; ++i ) {
			for ( int j = 0; j < 3; ++j ) p.u[ i ][ j ] = c.rot.m[ i ][ j ];
			// The model centre goes to c.centre: t = c.centre - u (model centre).
			p.t[ i ] = c.centre[ i ] - ( c.rot.m[ i ][ 0 ] * model.centre[ 0 ] + c.rot.m[ i ][ 1 ] * model.centre[ 1 ]
			                               + c.rot.m[ i ][ 2 ] * model.centre[ 2 ] );
		}
		p.score = c.score;
		p.searchScore = c.searchScore;
		out.push_back( p );
	}

	if ( log ) {
		*log << "Rasterseek> " << out.size() << " poses ranked in " << std::setprecision( 2 ) << seconds_since( t0 ) << " s"
		     << std::endl;
		for ( std::size_t k = 0; k < out.size(); ++k )
			*log << "Rasterseek> pose " << k + 1 << ": correlation " << std::setprecision( 4 ) << out[ k ].score
			     << " (search " << out[ k ].searchScore << ")" << std::endl;
	}
	return out;
}

} // namespace rasterseek
