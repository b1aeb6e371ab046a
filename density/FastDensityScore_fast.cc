// FastDensityScore: the B-binned smoothed map of the fast density score and
// the score of CA atoms.
//
// For each B bin the map is convolved (in Fourier space, mean removed) with
// a Gaussian kernel of that bin's exponent k, weighted k^-0.4 - 0.6, scaled
// by one common factor and turned into periodic cubic B-spline coefficients.
// A score then reads one spline value per atom.
#include "density/FastDensityScore.hh"

#include "density/FastDensityScore_internal.hh"
#include "density/MemoryRoom.hh"
#include "utility/memory_stop.hh"
#include "farray/DynamicIndexRange.hh"
#include "numerics/fft3d.hh"
#include "numerics/spline.hh"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <iostream>
#include <new>

using namespace fds_detail;
using farray::DynamicIndexRange;
using farray::FArray3D;
using farray::FArray4D;

namespace {

// 1-based index of a signed grid offset o on an axis of g points; offsets
// run from -(g - 1)/2 to g/2, so no offset exceeds half the axis.
inline int index_of_offset( int o, int g ) { return o >= 0 ? o + 1 : o + 1 + g; }

// Bytes the set-up of the fast score takes beside the map at its peak: per
// grid voxel the smoothed maps and their spline coefficients (8 each per
// bin), the kernel (8), the spectra of the map and of the kernel and the
// transform back (16 each), and the copy of the first smoothed map its
// range is taken from (8).
uint64_t fast_setup_bytes( long nvox, int nb )
{
	return uint64_t( std::max( nvox, 0L ) ) * ( 64 + 16 * uint64_t( nb ) );
}

} // namespace

void FastDensityScore::get_init_fast_dens( double )
{
	FArray3D< double > const& dens = *density_;
	long const nvox = long( dens.u1() ) * dens.u2() * dens.u3();
	uint64_t const need = fast_setup_bytes( nvox, std::max( nFastBins, 1 ) );
	MemoryRoom const room = memoryRoom();
	if ( room.known && need > room.bytes ) {
		std::cout << "Error! The fast density score of the map needs " << megabytes( need ) << " on its grid of "
		          << dens.u1() << " x " << dens.u2() << " x " << dens.u3() << " voxels, more than the "
		          << megabytes( room.bytes ) << " of " << room.source << "." << std::endl;
		// Refused before the allocation, as if it had failed: the program
		// ends with its memory line.
		utility::note_allocation_failure( std::size_t( need ) );
		return;
	}
	try {
		buildFastCache();
	} catch ( std::bad_alloc const& ) {
		std::cout << "Error! Not enough memory for the fast density score of the map on its grid of " << dens.u1()
		          << " x " << dens.u2() << " x " << dens.u3() << " voxels (" << megabytes( need ) << ")." << std::endl;
	}
}

void FastDensityScore::buildFastCache()
{
	FArray3D< double > const& dens = *density_;
	auto cache = std::make_shared< FastDensityCache >();
	for ( int a = 0; a < 3; ++a ) {
		cache->grid[ a ] = grid[ a ];
		cache->origin[ a ] = originGrid[ a ];
	}
	cache->effB = effB;
	cache->minMult = minMult;
	int const gx = grid[ 0 ], gy = grid[ 1 ], gz = grid[ 2 ];
	int const nx = dens.u1(), ny = dens.u2(), nz = dens.u3();
	int const nb = std::max( nFastBins, 1 );
	cache->nBins = nb;

	double const sC = get_A( "C" ).s, sO = get_A( "O" ).s, sN = get_A( "N" ).s, sS = get_A( "S" ).s;
	double const kCap = 4.0 * kPi2 / minMult;
	cache->kmin = kPi2 / ( sC + 150.0 );
	cache->kmax = std::min( std::max( std::max( kPi2 / sC, kPi2 / sN ), std::max( kPi2 / sO, kPi2 / sS ) ), kCap );
	// Voxels of about 6.3 A or more cap every kernel below kmin (the widest,
	// B = 600): all bins then hold that one capped map.  The bins stay
	// ordered with a step of 0, and every bin coordinate is 1.
	cache->kmax = std::max( cache->kmax, cache->kmin );
	cache->kstep = ( nb > 1 ) ? ( cache->kmax - cache->kmin ) / ( nb - 1 ) : 0.0;

	FArray4D< double > smoothed;
	smoothed.dimension( DynamicIndexRange( nx ), DynamicIndexRange( ny ), DynamicIndexRange( nz ), DynamicIndexRange( nb ) );
	long const nvox = long( nx ) * ny * nz;
	double* out = smoothed.data();
	std::fill( out, out + nvox * nb, 0.0 );
	if ( nvox <= 0 || gx <= 0 || gy <= 0 || gz <= 0 ) {
		cache->coeffs = smoothed;
		fastSlot_->cache = cache;
		return;
	}

	// Kernel weight k^(-0.4) - 0.6 of each bin; negative (an inverted
	// smoothed map) for k above 0.6^-2.5.
	double const kernelWeight[ 2 ] = { 0.4, 0.6 };

	farray::FArray3D< std::complex< double > > mapSpec, kernelSpec, back;
	fft3( dens, mapSpec );
	mapSpec( 1, 1, 1 ) = 0.0; // removes the map's mean from every smoothed map
	FArray3D< double > kernel;
	kernel.dimension( DynamicIndexRange( gx ), DynamicIndexRange( gy ), DynamicIndexRange( gz ) );
	double col[ 3 ][ 3 ];
	for ( int a = 0; a < 3; ++a )
		for ( int j = 0; j < 3; ++j ) col[ a ][ j ] = f2c[ j ][ a ];

	double lo = 0.0, hi = 0.0;
	double bound = 0.0; // largest possible |smoothed value| of the first pass
	double maxAbs = 0.0;
	for ( long v = 0; v < nvox; ++v ) maxAbs = std::max( maxAbs, std::fabs( dens[ v ] ) );
	for ( int b = nb; b >= 1; --b ) {
		double k = ( nb == 1 ) ? std::min( kPi2 / sC, 4.0 * kPi2 / effB ) : cache->kmin + ( b - 1 ) * cache->kstep;
		double* blk = out + ( b - 1 ) * nvox;
		if ( k > 0.0 ) {
			std::fill( kernel.data(), kernel.data() + long( gx ) * gy * gz, 0.0 );
			k = std::min( k, kCap );
			double const G = std::pow( k, 1.5 );
			double const D = ( std::log( G ) + kLn1e4 ) / k; // squared distance where G e^(-k d^2) = 1e-4
			double const amp = G * cellVolume / ( double( gx ) * gy * gz );
			double const wk = std::pow( k, -kernelWeight[ 0 ] ) - kernelWeight[ 1 ];
			// Offsets that can lie within the cut-off, per axis.
			int hmax[ 3 ];
			int const g3[ 3 ] = { gx, gy, gz };
			for ( int a = 0; a < 3; ++a ) {
				double const rowNorm = std::sqrt( c2f[ a ][ 0 ] * c2f[ a ][ 0 ] + c2f[ a ][ 1 ] * c2f[ a ][ 1 ] + c2f[ a ][ 2 ] * c2f[ a ][ 2 ] );
				hmax[ a ] = int( std::ceil( std::sqrt( D ) * rowNorm * g3[ a ] ) ) + 1;
			}
			auto range = [ & ]( int a, int& oLo, int& oHi ) {
				oLo = std::max( -hmax[ a ], -( ( g3[ a ] - 1 ) / 2 ) );
				oHi = std::min( hmax[ a ], g3[ a ] / 2 );
			};
			int zl, zh, yl, yh, xl, xh;
			range( 2, zl, zh );
			range( 1, yl, yh );
			range( 0, xl, xh );
			for ( int oz = zl; oz <= zh; ++oz ) {
				double const fz = double( oz ) / gz;
				double const cz[ 3 ] = { fz * col[ 2 ][ 0 ], fz * col[ 2 ][ 1 ], fz * col[ 2 ][ 2 ] };
				if ( cz[ 2 ] * cz[ 2 ] > D ) continue; // distance to the plane
				int const iz = index_of_offset( oz, gz );
				for ( int oy = yl; oy <= yh; ++oy ) {
					double const fy = double( oy ) / gy;
					double const cy[ 3 ] = { cz[ 0 ] + fy * col[ 1 ][ 0 ], cz[ 1 ] + fy * col[ 1 ][ 1 ], cz[ 2 ] + fy * col[ 1 ][ 2 ] };
					if ( cy[ 1 ] * cy[ 1 ] + cy[ 2 ] * cy[ 2 ] > D ) continue; // distance to the row
					int const iy = index_of_offset( oy, gy );
					for ( int ox = xl; ox <= xh; ++ox ) {
						double const fx = double( ox ) / gx;
						double const c[ 3 ] = { cy[ 0 ] + fx * col[ 0 ][ 0 ], cy[ 1 ] + fx * col[ 0 ][ 1 ], cy[ 2 ] + fx * col[ 0 ][ 2 ] };
						double const d2 = c[ 0 ] * c[ 0 ] + c[ 1 ] * c[ 1 ] + c[ 2 ] * c[ 2 ];
						if ( d2 <= D ) kernel( index_of_offset( ox, gx ), iy, iz ) = amp * std::exp( -k * d2 ) * wk;
					}
				}
			}
			if ( b == nb ) {
				double ksum = 0.0;
				double const* kp = kernel.data();
				for ( long v = 0; v < long( gx ) * gy * gz; ++v ) ksum += std::fabs( kp[ v ] );
				bound = 2.0 * maxAbs * ksum;
			}
			fft3( kernel, kernelSpec );
			kernelSpec( 1, 1, 1 ) = 0.0;
			for ( int z = 1; z <= nz; ++z )
				for ( int y = 1; y <= ny; ++y )
					for ( int x = 1; x <= nx; ++x ) kernelSpec( x, y, z ) *= mapSpec( x, y, z );
			ifft3( kernelSpec, back );
			std::complex< double > const* bp = back.data();
			for ( long v = 0; v < nvox; ++v ) blk[ v ] = bp[ v ].real();
		}
		if ( b == nb ) {
			// Robust range of the first smoothed map: 5th value from each end.
			std::vector< double > vals( blk, blk + nvox );
			if ( vals.size() >= 10 ) {
				std::nth_element( vals.begin(), vals.begin() + 4, vals.end() );
				lo = vals[ 4 ];
				std::nth_element( vals.begin(), vals.end() - 5, vals.end() );
				hi = *( vals.end() - 5 );
			} else {
				lo = *std::min_element( vals.begin(), vals.end() );
				hi = *std::max_element( vals.begin(), vals.end() );
			}
		}
	}

	// One scale for all bins.  A smoothed map flat to rounding (a uniform
	// map, whose mean is removed) holds only noise: it scores 0 everywhere
	// instead of being blown up by 1 / (hi - lo).
	double const spread = hi - lo;
	if ( !( spread > 1e-12 * bound ) || !std::isfinite( spread ) ) {
		std::fill( out, out + nvox * nb, 0.0 );
		cache->scale = 1.0;
	} else {
		cache->scale = 1.0 / ( 4.0 * spread );
	}
	for ( long v = 0; v < nvox * nb; ++v ) out[ v ] *= cache->scale;
	spline_coeffs( smoothed, cache->coeffs );

	fastSlot_->cache = cache;
}

bool FastDensityScore::ensureFastCache()
{
	if ( !isLoaded ) return false;
	std::shared_ptr< FastDensityCache const > c = fastSlot_->cache;
	bool valid = c && c->nBins == std::max( nFastBins, 1 ) && c->effB == effB && c->minMult == minMult;
	for ( int a = 0; a < 3 && valid; ++a ) valid = c->grid[ a ] == grid[ a ] && c->origin[ a ] == originGrid[ a ];
	if ( !valid ) {
		// Settings of this object differ from those of the shared cache: build
		// a cache of its own and leave the copies' cache alone.
		if ( c ) fastSlot_ = std::make_shared< FastCacheSlot >();
		get_init_fast_dens( 8.0 );
		c = fastSlot_->cache;
		if ( !c ) return false;
	}
	kmin = c->kmin;
	kmax = c->kmax;
	kstep = c->kstep;
	for ( int a = 0; a < 3; ++a ) {
		fastGrid[ a ] = c->grid[ a ];
		fastOrigin[ a ] = int( std::lround( c->origin[ a ] ) );
	}
	return true;
}

std::shared_ptr< FastDensityCache const > FastDensityScore::fastCache() const { return fastSlot_->cache; }

bool FastDensityScore::fastCacheEmpty() const
{
	auto const& c = fastSlot_->cache;
	return !c || long( c->coeffs.u1() ) * c->coeffs.u2() * c->coeffs.u3() * c->coeffs.u4() == 0;
}

double FastDensityScore::binCoordinate( OneGaussianScattering const& g, FastDensityCache const& c ) const
{
	if ( c.nBins <= 1 || !( c.kstep > 0.0 ) ) return 1.0; // one bin, or bins that are all alike
	double const Bq = soft_quarter_B( effB, 600.0 );
	double b = std::max( ( kPi2 / ( g.s + Bq ) - c.kmin ) / c.kstep + 1.0, 1.0 );
	return std::min( double( c.nBins ), b );
}

int FastDensityScore::binTaps( double bin, FastDensityCache const& c, long* off, double* w )
{
	// Clamped spline along the bin axis; taps that clamp onto the same bin
	// are merged.
	int const nb = c.nBins;
	long const block = long( c.coeffs.u1() ) * c.coeffs.u2() * c.coeffs.u3();
	if ( nb <= 1 ) {
		off[ 0 ] = 0;
		w[ 0 ] = 1.0;
		return 1;
	}
	SplineTaps t;
	spline_taps( bin - 1.0, 1 << 30, 1, t ); // weights only; offsets clamped below
	int const i = int( std::floor( bin - 1.0 ) );
	int n = 0;
	for ( int j = 0; j < 4; ++j ) {
		int const m = std::min( std::max( i - 1 + j, 0 ), nb - 1 );
		long const o = m * block;
		int found = -1;
		for ( int q = 0; q < n; ++q )
			if ( off[ q ] == o ) found = q;
		if ( found >= 0 ) {
			w[ found ] += t.w[ j ];
		} else {
			off[ n ] = o;
			w[ n ] = t.w[ j ];
			++n;
		}
	}
	return n;
}

double FastDensityScore::getFastDensScore( double** xyz, int n )
{
	if ( !isLoaded ) {
		std::cout << "Error! matchResFast called but no map is loaded!" << std::endl;
		return 0.0;
	}
	if ( !ensureFastCache() ) return 0.0;
	FastDensityCache const& c = *fastSlot_->cache;
	if ( n <= 0 ) return 0.0;
	OneGaussianScattering const carbon = get_A( "C" );
	long binOff[ 4 ];
	double binW[ 4 ];
	int const nbt = binTaps( binCoordinate( carbon, c ), c, binOff, binW );
	double const w = fast_score_weight( carbon );
	int const nx = c.coeffs.u1(), ny = c.coeffs.u2(), nz = c.coeffs.u3();
	double const* data = c.coeffs.data();
	double score = 0.0;
	for ( int i = 0; i < n; ++i ) {
		double f[ 3 ];
		cartToFrac( xyz[ i ], f );
		SplineTaps tx, ty, tz;
		spline_taps( wrap_grid( f[ 0 ] * c.grid[ 0 ] - c.origin[ 0 ] + 1.0, c.grid[ 0 ] ) - 1.0, nx, 1, tx );
		spline_taps( wrap_grid( f[ 1 ] * c.grid[ 1 ] - c.origin[ 1 ] + 1.0, c.grid[ 1 ] ) - 1.0, ny, nx, ty );
		spline_taps( wrap_grid( f[ 2 ] * c.grid[ 2 ] - c.origin[ 2 ] + 1.0, c.grid[ 2 ] ) - 1.0, nz, long( nx ) * ny, tz );
		score += w * spline_value_grad( data, tx, ty, tz, binOff, binW, nbt, nullptr );
	}
	return score;
}

double FastDensityScore::getFastDensScore( std::vector< double* > points, int )
{
	// Every point of the list is scored; the count argument is not needed.
	return getFastDensScore( points.empty() ? nullptr : points.data(), int( points.size() ) );
}
