// Rasterseek: local refinement of the search's poses in real space and the
// footprint correlation that ranks them.
#include "apps/siblings/rasterseek_internal.hh"

#include "core/basic_fun_Quilt.hh"
#include "density/WeightedSums.hh"
#include "fitting/Minimizer.hh"

#include <algorithm>
#include <cmath>
#include <memory>

namespace rasterseek {
namespace detail {

FootprintScorer::FootprintScorer( FastDensityScore const& map, std::vector< double > const& weights, double sigma,
	double maskFraction )
	: map_( map ), weights_( weights ), sigma_( sigma ), maskFraction_( maskFraction )
{
	for ( int a = 0; a < 3; ++a ) voxel_[ a ] = map.f2c[ a ][ a ] / map.grid[ a ];
}

template< class Visit >
void FootprintScorer::for_each_voxel( std::size_t i, Visit&& visit )
{
	// The Gaussian factorises along the axes: one short table per axis, with
	// the offsets (voxel - atom, Angstrom) the gradient needs.
	double const inv2s2 = 1.0 / ( 2.0 * sigma_ * sigma_ );
	for ( int a = 0; a < 3; ++a ) {
		double const g = grid_[ 3 * i + a ];
		double const reach = 3.0 * sigma_ / voxel_[ a ];
		int const lo = int( std::ceil( g - reach ) ), hi = int( std::floor( g + reach ) );
		w_[ a ].clear();
		d_[ a ].clear();
		at_[ a ].clear();
		for ( int v = lo; v <= hi; ++v ) {
			double const d = ( v - g ) * voxel_[ a ];
			w_[ a ].push_back( std::exp( -d * d * inv2s2 ) );
			d_[ a ].push_back( d );
			at_[ a ].push_back( v - box0_[ a ] );
		}
	}
	for ( std::size_t z = 0; z < w_[ 2 ].size(); ++z )
		for ( std::size_t y = 0; y < w_[ 1 ].size(); ++y ) {
			std::size_t const row = ( std::size_t( at_[ 2 ][ z ] ) * nbox_[ 1 ] + at_[ 1 ][ y ] ) * nbox_[ 0 ];
			double const wyz = w_[ 2 ][ z ] * w_[ 1 ][ y ];
			for ( std::size_t x = 0; x < w_[ 0 ].size(); ++x )
				visit( row + at_[ 0 ][ x ], wyz * w_[ 0 ][ x ], d_[ 0 ][ x ], d_[ 1 ][ y ], d_[ 2 ][ z ] );
		}
}

double FootprintScorer::score( std::vector< double > const& xyz, std::vector< double >* grad )
{
	farray::FArray3D< double > const& dens = map_.density();
	int const ext[ 3 ] = { dens.u1(), dens.u2(), dens.u3() };
	std::size_t const na = weights_.size();
	grid_.resize( 3 * na );
	double lo[ 3 ] = { 1e300, 1e300, 1e300 }, hi[ 3 ] = { -1e300, -1e300, -1e300 };
	for ( std::size_t i = 0; i < na; ++i )
		for ( int r = 0; r < 3; ++r ) {
			// 0-based voxel coordinates of the map.
			double const g = ( xyz[ 3 * i + r ] - map_.voxelOrigin[ r ] ) / voxel_[ r ];
			grid_[ 3 * i + r ] = g;
			lo[ r ] = std::min( lo[ r ], g );
			hi[ r ] = std::max( hi[ r ], g );
		}
	for ( int a = 0; a < 3; ++a ) {
		double const reach = 3.0 * sigma_ / voxel_[ a ];
		box0_[ a ] = int( std::floor( lo[ a ] - reach ) ) - 1;
		nbox_[ a ] = int( std::ceil( hi[ a ] + reach ) ) - box0_[ a ] + 2;
	}
	std::size_t const nb = std::size_t( nbox_[ 0 ] ) * nbox_[ 1 ] * nbox_[ 2 ];
	rho_.assign( nb, 0.0 );
	for ( std::size_t i = 0; i < na; ++i ) {
		double const wi = weights_[ i ];
		for_each_voxel( i, [ & ]( std::size_t b, double g, double, double, double ) { rho_[ b ] += wi * g; } );
	}

	// The footprint: voxels where the model density exceeds a fraction of its
	// peak.  Outside the map there is no density (value 0).
	double const thr = maskFraction_ * *std::max_element( rho_.begin(), rho_.end() );
	obs_.assign( nb, 0.0 );
	density_detail::WeightedSums sums;
	for ( int k = 0; k < nbox_[ 2 ]; ++k )
		for ( int j = 0; j < nbox_[ 1 ]; ++j )
			for ( int i = 0; i < nbox_[ 0 ]; ++i ) {
				std::size_t const b = ( std::size_t( k ) * nbox_[ 1 ] + j ) * nbox_[ 0 ] + i;
				if ( !( rho_[ b ] > thr ) ) continue;
				int const g[ 3 ] = { i + box0_[ 0 ], j + box0_[ 1 ], k + box0_[ 2 ] };
				bool const inside = g[ 0 ] >= 0 && g[ 0 ] < ext[ 0 ] && g[ 1 ] >= 0 && g[ 1 ] < ext[ 1 ] && g[ 2 ] >= 0
				                    && g[ 2 ] < ext[ 2 ];
				obs_[ b ] = inside ? dens( g[ 0 ] + 1, g[ 1 ] + 1, g[ 2 ] + 1 ) : 0.0;
				sums.add( 1.0, rho_[ b ], obs_[ b ] );
			}
	double const cc = sums.correlation();
	if ( !grad ) return cc;
	grad->assign( 3 * na, 0.0 );
	if ( cc == 0.0 ) return cc;

	// d cc / d rho at the footprint's voxels (the footprint held fixed), then
	// through each atom's Gaussian to its position.
	double const vc = sums.varC(), vo = sums.varO(), cov = sums.cov();
	double const cm = sums.c / sums.w, om = sums.o / sums.w;
	double const norm = 1.0 / std::sqrt( vc * vo );
	for ( std::size_t b = 0; b < nb; ++b )
		obs_[ b ] = rho_[ b ] > thr ? norm * ( ( obs_[ b ] - om ) - cov / vc * ( rho_[ b ] - cm ) ) : 0.0;
	double const inv_s2 = 1.0 / ( sigma_ * sigma_ );
	for ( std::size_t i = 0; i < na; ++i ) {
		double s[ 3 ] = { 0.0, 0.0, 0.0 };
		for_each_voxel( i, [ & ]( std::size_t b, double g, double dx, double dy, double dz ) {
			double const f = obs_[ b ] * g;
			s[ 0 ] += f * dx;
			s[ 1 ] += f * dy;
			s[ 2 ] += f * dz;
		} );
		// d exp(-|v - x|^2 / 2 s^2) / dx = exp(...) (v - x) / s^2
		for ( int r = 0; r < 3; ++r ) ( *grad )[ 3 * i + r ] = weights_[ i ] * inv_s2 * s[ r ];
	}
	return cc;
}

namespace {

// z-x-z Euler angles are singular where the middle angle is 0 (the two z
// turns coincide), which is where a refinement that starts from "no
// rotation" would sit.  It therefore starts at the middle angle pi/2 and
// undoes that rotation on the coordinates it is given.
double const kStartAngles[ 3 ] = { 0.0, M_PI / 2.0, 0.0 };

// Minus the footprint correlation of the model moved by a 6-D pose
// (translation, z-x-z Euler angles) about a fixed pivot, with its gradient.
class FootprintObjective : public Multifunc {
public:
	// q: 3 per atom, the start positions minus the pivot, turned back by the
	// start angles.
	FootprintObjective( FootprintScorer& scorer, std::vector< double > const& q, double const* pivot )
		: scorer_( scorer ), q_( q )
	{
		std::copy( pivot, pivot + 3, pivot_ );
	}
	double operator()( double* x ) const override { return -evaluate( x, nullptr ); }
	void dfunc( double* x, double* g ) const override { evaluate( x, g ); }

private:
	double evaluate( double* x, double* g ) const
	{
		double R[ 3 ][ 3 ];
		get_rot_matrix( R, x[ 3 ], x[ 4 ], x[ 5 ] );
		std::size_t const n = q_.size() / 3;
		moved_.resize( q_.size() );
		for ( std::size_t i = 0; i < n; ++i ) {
			double const* q = &q_[ 3 * i ];
			for ( int r = 0; r < 3; ++r )
				moved_[ 3 * i + r ] = pivot_[ r ] + x[ r ] + R[ r ][ 0 ] * q[ 0 ] + R[ r ][ 1 ] * q[ 1 ] + R[ r ][ 2 ] * q[ 2 ];
		}
		double const s = scorer_.score( moved_, g ? &atomGrad_ : nullptr );
		if ( !g ) return s;
		// Minus the gradient: translation sums, rotation through dR/dangle.
		double M[ 3 ][ 3 ] = { { 0, 0, 0 }, { 0, 0, 0 }, { 0, 0, 0 } };
		for ( int r = 0; r < 3; ++r ) g[ r ] = 0.0;
		for ( std::size_t i = 0; i < n; ++i )
			for ( int a = 0; a < 3; ++a ) {
				g[ a ] -= atomGrad_[ 3 * i + a ];
				for ( int b = 0; b < 3; ++b ) M[ a ][ b ] -= atomGrad_[ 3 * i + a ] * q_[ 3 * i + b ];
			}
		double* ga = get_drotmtx_deuler( x, M );
		for ( int m = 0; m < 3; ++m ) g[ 3 + m ] = ga[ m ];
		delete[] ga;
		return s;
	}

	FootprintScorer& scorer_;
	std::vector< double > const& q_;
	double pivot_[ 3 ];
	mutable std::vector< double > moved_, atomGrad_;
};

void place_atoms( Model const& model, Candidate const& c, std::vector< double >& xyz )
{
	std::size_t const n = model.weights.size();
	xyz.resize( 3 * n );
	for ( std::size_t i = 0; i < n; ++i ) {
		double const* p = &model.offsets[ 3 * i ];
		for ( int r = 0; r < 3; ++r )
			xyz[ 3 * i + r ] = c.centre[ r ] + c.rot.m[ r ][ 0 ] * p[ 0 ] + c.rot.m[ r ][ 1 ] * p[ 1 ] + c.rot.m[ r ][ 2 ] * p[ 2 ];
	}
}

// LBFGS on the footprint correlation, pivoting on the pose's centre.
Candidate refine_footprint( FootprintScorer& scorer, Model const& model, Candidate const& start )
{
	double E0[ 3 ][ 3 ];
	get_rot_matrix( E0, kStartAngles[ 0 ], kStartAngles[ 1 ], kStartAngles[ 2 ] );
	std::size_t const n = model.weights.size();
	// q = E0^T R (offset): the start pose with the start angles undone.
	std::vector< double > q( 3 * n );
	for ( std::size_t i = 0; i < n; ++i ) {
		double const* p = &model.offsets[ 3 * i ];
		double rp[ 3 ];
		for ( int r = 0; r < 3; ++r ) rp[ r ] = start.rot.m[ r ][ 0 ] * p[ 0 ] + start.rot.m[ r ][ 1 ] * p[ 1 ] + start.rot.m[ r ][ 2 ] * p[ 2 ];
		for ( int r = 0; r < 3; ++r ) q[ 3 * i + r ] = E0[ 0 ][ r ] * rp[ 0 ] + E0[ 1 ][ r ] * rp[ 1 ] + E0[ 2 ][ r ] * rp[ 2 ];
	}
	FootprintObjective f( scorer, q, start.centre );
	double x[ 6 ] = { 0.0, 0.0, 0.0, kStartAngles[ 0 ], kStartAngles[ 1 ], kStartAngles[ 2 ] };
	Minimizer minimizer( f );
	minimizer.run( x, 6, 200, "fractional" );

	double E[ 3 ][ 3 ];
	get_rot_matrix( E, x[ 3 ], x[ 4 ], x[ 5 ] );
	Rotation step;
	for ( int i = 0; i < 3; ++i )
		for ( int j = 0; j < 3; ++j )
			step.m[ i ][ j ] = E[ i ][ 0 ] * E0[ j ][ 0 ] + E[ i ][ 1 ] * E0[ j ][ 1 ] + E[ i ][ 2 ] * E0[ j ][ 2 ];
	Candidate out = start;
	out.rot = compose( step, start.rot );
	for ( int r = 0; r < 3; ++r ) out.centre[ r ] = start.centre[ r ] + x[ r ];
	return out;
}

} // namespace

double footprint_correlation( FastDensityScore const& map, Model const& model, Candidate const& pose, double sigma,
	double maskFraction )
{
	FootprintScorer scorer( map, model.weights, sigma, maskFraction );
	std::vector< double > xyz;
	place_atoms( model, pose, xyz );
	return scorer.score( xyz, nullptr );
}

std::vector< Candidate > refine_candidates( FastDensityScore const& map, Model const& model,
	std::vector< Candidate > const& starts, Tuning const& tune, double sigma, int threads )
{
	std::vector< Candidate > out( starts );
	int const nt = std::max( 1, std::min( threads, int( starts.size() ) ) );
	// One scorer for each thread that started.
	std::vector< std::unique_ptr< FootprintScorer > > scorers;
	auto prepare = [ & ]( int ) {
		scorers.push_back( std::make_unique< FootprintScorer >( map, model.weights, sigma, tune.maskFraction ) );
	};
	run_parallel( nt, int( starts.size() ), [ & ]( int t, int i ) {
		// The footprint changes with the pose, so the objective has small
		// steps on which a line search may stop early; a fresh start from
		// where it stopped often goes on.
		std::vector< double > xyz;
		Candidate c = starts[ i ];
		place_atoms( model, c, xyz );
		c.score = scorers[ t ]->score( xyz, nullptr );
		for ( int round = 0; round < tune.refineRounds; ++round ) {
			Candidate next = refine_footprint( *scorers[ t ], model, c );
			place_atoms( model, next, xyz );
			next.score = scorers[ t ]->score( xyz, nullptr );
			bool const better = next.score > c.score + 1e-4;
			if ( next.score > c.score ) c = next;
			if ( !better ) break;
		}
		c.searchScore = starts[ i ].searchScore;
		out[ i ] = c;
	}, prepare, [ & ]() {
		scorers.clear();
		out = starts;
	} );
	return out;
}

} // namespace detail
} // namespace rasterseek
