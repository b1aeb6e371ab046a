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
using Spectrum = farray::FArray3D< cpx >;

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

// (xr + i xi) y, without the library's checks for infinities.
inline cpx cmul( double xr, double xi, cpx const& y )
{
	return cpx( xr * y.real() - xi * y.imag(), xr * y.imag() + xi * y.real() );
}

// The FFT correlation of one orientation after another, with its own work
// arrays; the map spectra are shared (read only).
class Correlator {
public:
	Correlator( SearchGrid const& grid, Spectrum const& mapF, Spectrum const& map2F, Model const& model,
		double sigma, double maskFraction, double varianceFloor, int peaks )
		: grid_( grid ), mapF_( mapF ), map2F_( map2F ), model_( model ), sigma_( sigma ),
		  maskFraction_( maskFraction ), varianceFloor_( varianceFloor ), peaks_( peaks )
	{
		farray::DynamicIndexRange const r0( grid.n[ 0 ] ), r1( grid.n[ 1 ] ), r2( grid.n[ 2 ] );
		a_.dimension( r0, r1, r2 );
		b_.dimension( r0, r1, r2 );
		work_.resize( std::size_t( grid.size() ) );
		moved_.resize( model.offsets.size() );
	}

	// Correlates orientation `index` and appends its best local maxima.
	void run( Rotation const& rot, int index, std::vector< Peak >& out )
	{
		long const nv = grid_.size();
		std::size_t const na = model_.weights.size();
		for ( std::size_t i = 0; i < na; ++i ) {
			double const* p = &model_.offsets[ 3 * i ];
			for ( int r = 0; r < 3; ++r )
				moved_[ 3 * i + r ] = rot.m[ r ][ 0 ] * p[ 0 ] + rot.m[ r ][ 1 ] * p[ 1 ] + rot.m[ r ][ 2 ] * p[ 2 ];
		}
		std::fill( work_.begin(), work_.end(), 0.0 );
		add_gaussians( moved_, model_.weights, grid_, sigma_, work_.data() );

		// Footprint mask and the model density normalised under it (zero mean,
		// unit norm), packed as one complex grid: template + i mask.
		double top = 0.0;
		for ( long v = 0; v < nv; ++v ) top = std::max( top, work_[ v ] );
		double const thr = maskFraction_ * top;
		double count = 0.0, sum = 0.0, sum2 = 0.0;
		for ( long v = 0; v < nv; ++v ) {
			if ( work_[ v ] > thr ) {
				count += 1.0;
				sum += work_[ v ];
				sum2 += work_[ v ] * work_[ v ];
			}
		}
		if ( count < 2.0 ) return;
		double const mean = sum / count;
		double const var = sum2 - sum * mean;
		if ( !( var > 0.0 ) ) return;
		double const inv = 1.0 / std::sqrt( var );
		cpx* a = a_.data();
		for ( long v = 0; v < nv; ++v ) a[ v ] = work_[ v ] > thr ? cpx( ( work_[ v ] - mean ) * inv, 1.0 ) : cpx( 0.0, 0.0 );
		fft3( a_, a_ );

		// Split the packed spectrum into its two real halves and form, in b,
		// conj(T) F + i conj(M) F (template and mask against the map) and, in
		// a, conj(M) F2 (mask against the squared map).  T(k) and M(k) come
		// from a(k) and a(-k); each pair of frequencies is done once.
		cpx* b = b_.data();
		cpx const* f = mapF_.data();
		cpx const* f2 = map2F_.data();
		int const n0 = grid_.n[ 0 ], n1 = grid_.n[ 1 ], n2 = grid_.n[ 2 ];
		for ( int k = 0; k < n2; ++k ) {
			int const kn = ( n2 - k ) % n2;
			for ( int j = 0; j < n1; ++j ) {
				int const jn = ( n1 - j ) % n1;
				long const row = ( long( k ) * n1 + j ) * n0, rown = ( long( kn ) * n1 + jn ) * n0;
				for ( int i = 0; i < n0; ++i ) {
					long const l = row + i, m = rown + ( i == 0 ? 0 : n0 - i );
					if ( m < l ) continue;
					double const pr = a[ l ].real(), pi = a[ l ].imag(), qr = a[ m ].real(), qi = -a[ m ].imag();
					// T = (p + q) / 2 and M = -i (p - q) / 2, q = conj(a(-k)).
					double const tr = 0.5 * ( pr + qr ), ti = 0.5 * ( pi + qi );
					double const mr = 0.5 * ( pi - qi ), mi = -0.5 * ( pr - qr );
					// conj(T) + i conj(M) = (tr + mi) + i (mr - ti); T + i M = (tr - mi) + i (ti + mr)
					b[ l ] = cmul( tr + mi, mr - ti, f[ l ] );
					a[ l ] = cmul( mr, -mi, f2[ l ] );
					if ( m != l ) {
						b[ m ] = cmul( tr - mi, ti + mr, f[ m ] );
						a[ m ] = cmul( mr, mi, f2[ m ] );
					}
				}
			}
		}
		ifft3( b_, b_ );
		ifft3( a_, a_ );

		// Local correlation at every translation; where the map under the mask
		// is nearly flat (solvent, padding) the pose is not scored.
		double const floor = varianceFloor_ * count;
		for ( long v = 0; v < nv; ++v ) {
			double const s1 = b[ v ].imag(), s2 = a[ v ].real();
			double const den = s2 - s1 * s1 / count;
			work_[ v ] = den > floor ? b[ v ].real() / std::sqrt( den ) : 0.0;
		}
		collect_peaks( index, out );
	}

private:
	// The best `peaks_` local maxima (26 neighbours, periodic) with the model
	// centre on the map, each placed between voxels by a parabola per axis.
	void collect_peaks( int index, std::vector< Peak >& out )
	{
		// Linear offsets of the voxels before, at and after each index.
		long const stride[ 3 ] = { 1, grid_.n[ 0 ], long( grid_.n[ 0 ] ) * grid_.n[ 1 ] };
		for ( int a = 0; a < 3; ++a ) {
			int const n = grid_.n[ a ];
			for ( int d = 0; d < 3; ++d ) {
				near_[ a ][ d ].resize( grid_.inner[ a ] );
				for ( int i = 0; i < grid_.inner[ a ]; ++i ) near_[ a ][ d ][ i ] = ( ( i + d - 1 + n ) % n ) * stride[ a ];
			}
		}
		double const* L = work_.data();
		best_.clear();
		for ( int k = 0; k < grid_.inner[ 2 ]; ++k )
			for ( int j = 0; j < grid_.inner[ 1 ]; ++j ) {
				long const row = near_[ 2 ][ 1 ][ k ] + near_[ 1 ][ 1 ][ j ];
				for ( int i = 0; i < grid_.inner[ 0 ]; ++i ) {
					double const s = L[ row + i ];
					if ( !( s > 0.0 ) ) continue;
					if ( int( best_.size() ) == peaks_ && s <= best_.back().score ) continue;
					bool top = true;
					for ( int dk = 0; dk < 3 && top; ++dk )
						for ( int dj = 0; dj < 3 && top; ++dj ) {
							long const r = near_[ 2 ][ dk ][ k ] + near_[ 1 ][ dj ][ j ];
							for ( int di = 0; di < 3 && top; ++di )
								if ( L[ r + near_[ 0 ][ di ][ i ] ] > s ) top = false;
						}
					if ( !top ) continue;
					Peak p;
					p.score = s;
					p.rotation = index;
					int const c[ 3 ] = { i, j, k };
					long const here = row + i;
					for ( int a = 0; a < 3; ++a ) {
						long const base = here - near_[ a ][ 1 ][ c[ a ] ];
						double const lo = L[ base + near_[ a ][ 0 ][ c[ a ] ] ], hi = L[ base + near_[ a ][ 2 ][ c[ a ] ] ];
						double const curv = lo - 2.0 * s + hi;
						double const shift = curv < 0.0 ? 0.5 * ( lo - hi ) / curv : 0.0;
						p.cell[ a ] = c[ a ] + std::max( -0.5, std::min( 0.5, shift ) );
					}
					auto at = std::upper_bound( best_.begin(), best_.end(), p,
						[]( Peak const& x, Peak const& y ) { return x.score > y.score; } );
					best_.insert( at, p );
					if ( int( best_.size() ) > peaks_ ) best_.pop_back();
				}
			}
		out.insert( out.end(), best_.begin(), best_.end() );
	}

	SearchGrid const& grid_;
	Spectrum const& mapF_;
	Spectrum const& map2F_;
	Model const& model_;
	double sigma_, maskFraction_, varianceFloor_;
	int peaks_;
	Spectrum a_, b_;
	std::vector< double > work_, moved_;
	std::vector< long > near_[ 3 ][ 3 ];
	std::vector< Peak > best_;
};

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

	// Memory: two shared spectra, per thread two spectra and two real grids.
	double const bytesPerThread = double( grid.size() ) * ( 2 * sizeof( cpx ) + 2 * sizeof( double ) );
	double const shared = double( grid.size() ) * 2 * sizeof( cpx );
	int threads = std::max( 1, options.threads );
	double const budget = 1.5e9;
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
		// The plans of the line transforms are cached on first use; making
		// them here, before any worker starts, leaves the workers only reading
		// the plan cache.
		fft3( m, mapF );
		for ( long v = 0; v < grid.size(); ++v ) m[ v ] = grid.values[ v ] * grid.values[ v ];
		fft3( m, map2F );
		Spectrum warm( mapF );
		ifft3( warm, warm );
	}

	std::vector< std::vector< Peak > > found( threads );
	{
		std::vector< std::unique_ptr< Correlator > > workers;
		for ( int t = 0; t < threads; ++t )
			workers.emplace_back( new Correlator( grid, mapF, map2F, model, sigma, tune.maskFraction, varianceFloor,
				tune.peaksPerRotation ) );
		run_parallel( threads, int( rotations.size() ),
			[ & ]( int t, int r ) { workers[ t ]->run( rotations[ r ], r, found[ t ] ); } );
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
