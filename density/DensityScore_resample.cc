// Regridding a map file to a coarser voxel width with trimming of empty
// margins, and the density parameters (voxel list, centre, radius, CA
// Gaussian constants) of a processed map.
#include "density/DensityScore.hh"
#include "density/DensityScore_util.hh"
#include "core/basic_fun_Quilt.hh"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace {

// A plain grid on its way through regridding (DensityScore.hh): the array
// is owned here and released by each step that replaces it.
struct WorkGrid {
	double width = 0.0, ox = 0.0, oy = 0.0, oz = 0.0;
	unsigned ex = 0, ey = 0, ez = 0;
	double* phi = nullptr;
};

// Interpolates the grid onto voxels of width w.
void regrid( DensityScore& ds, WorkGrid& g, double w )
{
	WorkGrid out;
	ds.interpolate_map( &out.phi, &out.ex, &out.ey, &out.ez, &out.ox, &out.oy, &out.oz, w, w, w,
		g.phi, g.ex, g.ey, g.ez, g.ox, g.oy, g.oz, g.width, g.width, g.width );
	std::free( g.phi );
	out.width = w;
	g = out;
}

// Trims the empty margins; returns the voxel count of the trimmed grid.
unsigned long trim_margin( DensityScore& ds, WorkGrid& g )
{
	WorkGrid out;
	unsigned long count = 0;
	ds.shrink_margin( &out.phi, &out.ex, &out.ey, &out.ez, &out.ox, &out.oy, &out.oz, &count,
		g.phi, g.ex, g.ey, g.ez, g.ox, g.oy, g.oz, g.width, g.width, g.width );
	std::free( g.phi );
	out.width = g.width;
	g = out;
	return count;
}

} // namespace

void DensityScore::shrink_margin( double** newValues, unsigned* newExtX, unsigned* newExtY,
	unsigned* newExtZ, double* newOrigX, double* newOrigY, double* newOrigZ,
	unsigned long* newCount, double* values, unsigned extX, unsigned extY,
	unsigned extZ, double origX, double origY, double origZ,
	double widthX, double widthY, double widthZ )
{
	unsigned const ext[3] = { extX, extY, extZ };
	long lo[3], hi[3];
	for ( int d = 0; d < 3; ++d ) {
		lo[d] = static_cast<long>( ext[d] ) - 1;
		hi[d] = 0;
	}
	unsigned long i = 0;
	for ( unsigned z = 0; z < extZ; ++z ) {
		for ( unsigned y = 0; y < extY; ++y ) {
			for ( unsigned x = 0; x < extX; ++x, ++i ) {
				if ( !( values[i] > 0.0 ) ) continue;
				if ( x < lo[0] ) lo[0] = x;
				if ( x > hi[0] ) hi[0] = x;
				if ( y < lo[1] ) lo[1] = y;
				if ( y > hi[1] ) hi[1] = y;
				if ( z < lo[2] ) lo[2] = z;
				if ( z > hi[2] ) hi[2] = z;
			}
		}
	}
	long size[3];
	if ( lo[0] > hi[0] ) {
		// No positive voxel: there is no box, and the map keeps its extent.
		std::printf( "Error! ReadMrc, 17020\n" );
		for ( int d = 0; d < 3; ++d ) {
			lo[d] = 0;
			hi[d] = static_cast<long>( ext[d] ) - 1;
			size[d] = ext[d];
		}
	} else {
		// Odd extents: an even box grows by one voxel, at the low end when
		// there is room, else at the high end (that plane stays 0).
		for ( int d = 0; d < 3; ++d ) {
			size[d] = hi[d] - lo[d] + 1;
			if ( size[d] % 2 == 0 ) {
				if ( lo[d] >= 1 ) --lo[d];
				++size[d];
			}
		}
	}
	*newExtX = static_cast<unsigned>( size[0] );
	*newExtY = static_cast<unsigned>( size[1] );
	*newExtZ = static_cast<unsigned>( size[2] );
	unsigned long long const cnt = static_cast<unsigned long long>( size[0] ) * size[1] * size[2];
	double* out = density_detail::alloc_or_die( cnt );
	// Copy the box; planes past the old grid (the high-end growth) stay 0.
	long const xe = std::min<long>( lo[0] + size[0], ext[0] );
	long const ye = std::min<long>( lo[1] + size[1], ext[1] );
	long const ze = std::min<long>( lo[2] + size[2], ext[2] );
	for ( long z = lo[2]; z < ze; ++z ) {
		for ( long y = lo[1]; y < ye; ++y ) {
			double const* src = values + ( static_cast<unsigned long>( z ) * extY + y ) * extX;
			double* dst = out + ( static_cast<unsigned long>( z - lo[2] ) * size[1] + ( y - lo[1] ) ) * size[0];
			for ( long x = lo[0]; x < xe; ++x ) {
				// The high-end growth plane stays 0 even inside the old grid.
				if ( x > hi[0] || y > hi[1] || z > hi[2] ) continue;
				dst[x - lo[0]] = src[x];
			}
		}
	}
	*newValues = out;
	*newOrigX = origX + lo[0] * widthX;
	*newOrigY = origY + lo[1] * widthY;
	*newOrigZ = origZ + lo[2] * widthZ;
	*newCount = static_cast<unsigned long>( cnt );
	std::printf( "ReadMrc_st> Map size changed from %d x %d x %d to %d x %d x %d.\n",
		static_cast<int>( extX ), static_cast<int>( extY ), static_cast<int>( extZ ),
		static_cast<int>( size[0] ), static_cast<int>( size[1] ), static_cast<int>( size[2] ) );
	std::printf( "ReadMrc_st> New map origin (coord of first voxel): (%.3f,%.3f,%.3f)\n",
		*newOrigX, *newOrigY, *newOrigZ );
}

std::string DensityScore::interpolate_new_map( std::string map, double reso, double cutWidth,
	double densCutoff, bool quiet_ )
{
	dens_cutoff = densCutoff;
	WorkGrid g;
	read_vol( map.c_str(), &g.width, &g.ox, &g.oy, &g.oz, &g.ex, &g.ey, &g.ez, &g.phi );
	unsigned long const nRead = static_cast<unsigned long>( g.ex ) * g.ey * g.ez;
	if ( !quiet_ ) {
		std::cout << "ReadMrc_st> grid width: " << g.width << "\n";
		std::cout << "ReadMrc_st> cut width: " << cutWidth << "\n";
		std::cout << "ReadMrc_st> dens cutoff: " << densCutoff << "\n";
		std::cout.flush();
	}
	threshold( g.phi, nRead, densCutoff );
	// A width that is not larger (or not a number) leaves the map as it is.
	if ( !( cutWidth > g.width ) ) {
		std::free( g.phi );
		return map;
	}
	if ( !quiet_ ) std::printf( "ReadMrc_st> Processing low-resolution map by interpolate_map.\n" );
	if ( g.width > 0.7 * reso ) {
		std::printf( "ReadMrc_st> Warning: Insufficient spatial sampling (voxel spacing too wide) for initially assigned map resolution.\n" );
		std::printf( "ReadMrc_st> Target resolution adjusted to 2x voxel spacing, %f.\n", 2 * g.width );
	}
	regrid( *this, g, cutWidth > g.width ? cutWidth : g.width );
	unsigned long const count = trim_margin( *this, g );
	if ( !quiet_ ) {
		std::printf( "ReadMrc_st> Voxels are reduced from %d to %d.\n", static_cast<int>( nRead ),
			static_cast<int>( count ) );
	}
	char tail[64];
	std::snprintf( tail, sizeof( tail ), "map_%1.1f.mrc", cutWidth );
	// An input without a directory part lies in the current directory, and
	// so does the regridded map (not in "/").
	std::string const dir = get_directory( map );
	std::string const out = dir.empty() ? std::string( tail ) : dir + "/" + tail;
	WriteMrc( 1, out.c_str(), g.width, g.ox, g.oy, g.oz, g.ex, g.ey, g.ez, g.phi );
	std::free( g.phi );
	return out;
}

void DensityScore::ModifyMapOrigin( std::string mapIn, std::string mapOut,
	double origX, double origY, double origZ )
{
	double width, ox, oy, oz;
	unsigned ex, ey, ez;
	double* phi = nullptr;
	read_vol( mapIn.c_str(), &width, &ox, &oy, &oz, &ex, &ey, &ez, &phi );
	WriteMrc( 1, mapOut.c_str(), width, origX, origY, origZ, ex, ey, ez, phi );
	std::free( phi );
}

void DensityScore::readDensityMap_st( char const* file, double reso, double cutWidth, double densCutoff )
{
	dens_cutoff = densCutoff;
	WorkGrid g;
	read_vol( file, &g.width, &g.ox, &g.oy, &g.oz, &g.ex, &g.ey, &g.ez, &g.phi );
	unsigned long const nRead = static_cast<unsigned long>( g.ex ) * g.ey * g.ez;
	std::cout << "ReadMrc_st> grid width: " << g.width << "\n";
	std::cout << "ReadMrc_st> cut width: " << cutWidth << "\n";
	std::cout << "ReadMrc_st> dens cutoff: " << densCutoff << "\n";
	std::cout.flush();
	threshold( g.phi, nRead, densCutoff );
	if ( g.width < cutWidth ) {
		std::printf( "ReadMrc_st> Processing low-resolution map by interpolate_map.\n" );
		double w = cutWidth;
		if ( g.width > 0.8 * reso ) {
			w = 0.8 * g.width;
			std::printf( "ReadMrc_st> cut width, %f.\n", w );
			std::printf( "ReadMrc_st> Warning: Insufficient spatial sampling (voxel spacing too wide) for initially assigned map resolution.\n" );
			std::printf( "ReadMrc_st> Target resolution adjusted to 2*voxel spacing*0.4, %f.\n", reso );
		}
		if ( g.width < w ) regrid( *this, g, w );
		unsigned long const count = trim_margin( *this, g );
		std::printf( "ReadMrc_st> Voxels are reduced from %d to %d.\n", static_cast<int>( nRead ),
			static_cast<int>( count ) );
	}
	double const pi = 3.14159265358979323846;
	eff_reso = 0.8 * reso + 2.4 > reso ? 0.8 * reso + 2.4 : reso;
	gauss_k = ( pi / eff_reso ) * ( pi / eff_reso );
	gauss_amp = 33.0;
	gauss_c = 33.0 * std::pow( gauss_k / pi, 1.5 );
	cc_threshold = 0.0;
	cc_cut2 = 64.0;
	mask_offset = 36.0;
	calculateDensParams( g.ex, g.ey, g.ez, g.ox, g.oy, g.oz, g.width, g.phi, densCutoff );
	loaded = true;
	std::free( g.phi );
}

void DensityScore::calculateDensParams( unsigned extx, unsigned exty, unsigned extz,
	double origx, double origy, double origz, double width, double* values, double thr )
{
	unsigned long const n = static_cast<unsigned long>( extx ) * exty * extz;
	double const mx = calc_max( values, n ), mn = calc_min( values, n );
	std::cout << "ReadMrc_st> max dens: " << mx << ", min dens: " << mn << "\n";
	std::cout << "ReadMrc_st> normalize dens value to [0, 1]\n";
	std::cout.flush();
	if ( mx > mn ) {
		double const s = 1.0 / ( mx - mn );
		for ( unsigned long i = 0; i < n; ++i ) values[i] = ( values[i] - mn ) * s;
	} else {
		// Every value equal: there is no range to scale by.
		std::printf( "ReadMrc_st> Warning! All density values are equal; they are not normalized.\n" );
	}
	double const mx2 = calc_max( values, n );
	if ( mx2 > 1.0 || mx2 < 0.0 ) normalize( values, n, mx2 );

	list_cutoff = thr;
	unsigned long count = 0;
	for ( unsigned long i = 0; i < n; ++i ) if ( values[i] >= thr ) ++count;
	int const cnt = static_cast<int>( count );
	double** pts = new2DArr( cnt, 3 );
	double* vals = new1DArr( cnt > 0 ? cnt : 1 );
	unsigned long const exy = static_cast<unsigned long>( extx ) * exty;
	int k = 0;
	for ( unsigned long i = 0; i < n; ++i ) {
		if ( !( values[i] >= thr ) ) continue;
		unsigned long const z = i / exy, r = i % exy, y = r / extx, x = r % extx;
		pts[k][0] = x * width + origx;
		pts[k][1] = y * width + origy;
		pts[k][2] = z * width + origz;
		vals[k] = values[i];
		++k;
	}
	voxel_count = cnt;
	voxel_xyz = pts;
	voxel_val = vals;
	if ( cnt > 0 ) {
		rg = getRgFromCA( pts, cnt );
		double* c = getCenterPoint( pts, cnt );
		centre[0] = c[0];
		centre[1] = c[1];
		centre[2] = c[2];
		delete[] c;
		radius = getRadius( pts, cnt );
	} else {
		// An empty list has no centre; zeros keep later arithmetic finite.
		std::printf( "ReadMrc_st> Warning! No voxel at or above the threshold %f.\n", thr );
		rg = 0.0;
		radius = 0.0;
		centre[0] = centre[1] = centre[2] = 0.0;
	}
	grid_dims[0] = extx;
	grid_dims[1] = exty;
	grid_dims[2] = extz;
	grid_origin_int[0] = static_cast<int>( origx );
	grid_origin_int[1] = static_cast<int>( origy );
	grid_origin_int[2] = static_cast<int>( origz );
	list_width = width;
}
