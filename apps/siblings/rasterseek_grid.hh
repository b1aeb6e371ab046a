// Rasterseek: the coarse periodic grid its FFT search runs on, and the
// Gaussian model densities drawn onto it.
#ifndef QUILT_SIBLINGS_RASTERSEEK_GRID_HH
#define QUILT_SIBLINGS_RASTERSEEK_GRID_HH

#include "density/FastDensityScore.hh"

#include <string>
#include <vector>

namespace rasterseek {

// A map on a periodic grid of n[0] x n[1] x n[2] voxels (x fastest).  The
// map occupies the voxels 0..inner[a]-1 of every axis; the rest is zero
// padding, wide enough that a model centred on any inner voxel never wraps
// round onto the map from the far side.  Voxel (i, j, k) lies at
// origin + (i spacing[0], j spacing[1], k spacing[2]).
struct SearchGrid {
	int n[ 3 ] = { 0, 0, 0 };
	int inner[ 3 ] = { 0, 0, 0 };
	double spacing[ 3 ] = { 0.0, 0.0, 0.0 };
	double origin[ 3 ] = { 0.0, 0.0, 0.0 };
	int reach[ 3 ] = { 0, 0, 0 }; // voxels of the padding margin, rounded up, plus one
	std::vector< double > values;
	long size() const { return long( n[ 0 ] ) * n[ 1 ] * n[ 2 ]; }
};

// Smallest size >= x whose prime factors are 2, 3 and 5 only (the sizes the
// line transforms handle fastest); 1 for x <= 1.
int smooth_fft_size( int x );

// Voxel edge the search aims at for a map of this resolution.
inline double search_spacing( double resolution ) { return resolution / 2.5; }

// The loaded map resampled in Fourier space (its lowest frequencies kept)
// to about search_spacing(resolution) per voxel, never finer than the map,
// then padded by `margin` Angstrom plus one voxel on the far side of every
// axis and up to a size smooth_fft_size accepts.  The padded grid also holds
// a model of radius `margin` without overlap.  Where that grid would exceed
// maxVoxels voxels, the spacing is made coarser until it does not.  False,
// with the reason in `error`, for a map that is not loaded or has a skewed
// cell, or when no grid fits.
bool build_search_grid( FastDensityScore const& map, double resolution, double margin, long maxVoxels,
	SearchGrid& grid, std::string& error );

// Adds, for every point p (x, y, z in Angstrom, relative to voxel 0) of
// weight w, w exp(-|v - p|^2 / (2 sigma^2)) to every voxel v within
// 3 sigma, wrapping round the periodic grid.  out holds grid.size() values.
void add_gaussians( std::vector< double > const& xyz, std::vector< double > const& weight, SearchGrid const& grid,
	double sigma, double* out );

} // namespace rasterseek

#endif
