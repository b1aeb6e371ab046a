// FastDensityScore: resizing a loaded map to an FFT-friendly grid whose
// voxels are close to a wanted size, by Fourier resampling.
//
// The map must cover the whole unit cell (as every loaded map does), so it
// is periodic and its spectrum can be padded or truncated.  The first voxel
// stays where it was: the new grid's origin is the old one in the new grid's
// units, kept unrounded (originGrid) so that the map is not displaced when
// it falls between grid points; `origin` holds it truncated, as reported.
#include "density/FastDensityScore.hh"

#include "farray/DynamicIndexRange.hh"
#include "numerics/fft3d.hh"

#include <cmath>
#include <iostream>

void FastDensityScore::resize( double apix )
{
	std::cout << "ReadMrc> ***********resize the map***********" << std::endl;
	farray::FArray3D< double > const& d = *density_;
	int const ext[ 3 ] = { d.u1(), d.u2(), d.u3() };
	if ( ext[ 0 ] != grid[ 0 ] || ext[ 1 ] != grid[ 1 ] || ext[ 2 ] != grid[ 2 ] ) {
		std::cout << "Error! resize not supported for maps not covering the entire unit cell." << std::endl;
		std::cout << "Error! " << grid[ 0 ] << " != " << ext[ 0 ] << " || " << grid[ 1 ] << " != " << ext[ 1 ] << " || "
		          << grid[ 2 ] << " != " << ext[ 2 ] << std::endl;
		return;
	}
	if ( !isLoaded || ext[ 0 ] <= 0 || ext[ 1 ] <= 0 || ext[ 2 ] <= 0 ) {
		std::cout << "Error! resize called but no map is loaded!" << std::endl;
		return;
	}
	if ( !( apix > 0.0 ) || !std::isfinite( apix ) ) {
		std::cout << "Error! resize: the voxel size must be a positive number, not " << apix << "." << std::endl;
		return;
	}

	// Per axis: the multiple of resizeMultiple nearest to cell / apix, raised
	// until no prime factor exceeds 19 (one step when that is 0).
	int n[ 3 ], newOrigin[ 3 ];
	double newOriginGrid[ 3 ];
	for ( int a = 0; a < 3; ++a ) {
		n[ a ] = findSampling( cellDimensions[ a ] / apix, resizeMultiple[ a ] );
		if ( n[ a ] <= 0 ) {
			std::cout << "Error! resize: no FFT-friendly grid size along axis " << a + 1 << " for a cell edge of "
			          << cellDimensions[ a ] << " A, voxels of " << apix << " A and the multiple " << resizeMultiple[ a ]
			          << "." << std::endl;
			return;
		}
		newOriginGrid[ a ] = originGrid[ a ] * n[ a ] / grid[ a ];
		newOrigin[ a ] = int( std::trunc( double( origin[ a ] ) * n[ a ] / grid[ a ] ) );
	}
	long const oldCount = long( ext[ 0 ] ) * ext[ 1 ] * ext[ 2 ];
	double const newCount = double( n[ 0 ] ) * n[ 1 ] * n[ 2 ];
	// The resampling holds several full-size complex grids at once.
	if ( newCount > double( 1L << 28 ) ) {
		std::cout << "Error! resize: a grid of " << n[ 0 ] << " x " << n[ 1 ] << " x " << n[ 2 ]
		          << " voxels is too large; choose a larger voxel size." << std::endl;
		return;
	}

	auto out = std::make_shared< farray::FArray3D< double > >();
	resample( d, *out, n );
	// The resampling is not normalised (values come back times old / new
	// voxel count); undo that so the map keeps its density values.  Values
	// pass through single precision, as a map file holds them.
	double const norm = newCount / double( oldCount );
	long const nv = long( n[ 0 ] ) * n[ 1 ] * n[ 2 ];
	for ( long v = 0; v < nv; ++v ) ( *out )[ v ] = double( float( ( *out )[ v ] * norm ) );

	density_ = out;
	for ( int a = 0; a < 3; ++a ) {
		grid[ a ] = n[ a ];
		origin[ a ] = newOrigin[ a ];
		originGrid[ a ] = newOriginGrid[ a ];
	}
	density_change_trigger();

	auto print3 = []( char const* what, double x, double y, double z ) {
		std::cout << what << x << " x " << y << " x " << z << std::endl;
	};
	print3( "ReadMrc> new extent: ", n[ 0 ], n[ 1 ], n[ 2 ] );
	print3( "ReadMrc> new origin: ", origin[ 0 ], origin[ 1 ], origin[ 2 ] );
	print3( "ReadMrc> new altorigin: ", altorigin[ 0 ], altorigin[ 1 ], altorigin[ 2 ] );
	print3( "ReadMrc> new grid: ", grid[ 0 ], grid[ 1 ], grid[ 2 ] );
	std::cout << "ReadMrc> Voxels are reduced from: " << oldCount << " to " << nv << std::endl;
}
