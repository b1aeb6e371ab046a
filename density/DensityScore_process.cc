// Work-map processing: densities at or below the contour level cleared, the
// rest scaled to [0, 1] by the 0.9999 point of a log-count histogram, and
// optionally the map cropped to the box of the voxels above the contour.
#include "density/DensityScore.hh"
#include "density/DensityScore_util.hh"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

// Clears v <= cutoff and collects the kept values; when box is given it also
// records the index box of the kept voxels (min > max when none is kept).
void clear_and_collect( double* phi, unsigned extx, unsigned exty, unsigned extz, double cutoff,
	std::vector<double>& kept, unsigned* box )
{
	unsigned long i = 0;
	if ( box ) {
		box[0] = extx; box[1] = 0;
		box[2] = exty; box[3] = 0;
		box[4] = extz; box[5] = 0;
	}
	for ( unsigned z = 0; z < extz; ++z ) {
		for ( unsigned y = 0; y < exty; ++y ) {
			for ( unsigned x = 0; x < extx; ++x, ++i ) {
				if ( phi[i] <= cutoff ) {
					phi[i] = 0.0;
					continue;
				}
				kept.push_back( phi[i] );
				if ( box ) {
					if ( x < box[0] ) box[0] = x;
					if ( x > box[1] ) box[1] = x;
					if ( y < box[2] ) box[2] = y;
					if ( y > box[3] ) box[3] = y;
					if ( z < box[4] ) box[4] = z;
					if ( z > box[5] ) box[5] = z;
				}
			}
		}
	}
}

// Scales by 1/top, values above top become 1.0.  Without a positive top
// (nothing above the contour, or only non-positive densities) there is no
// scale, and the map is left as it is.
bool normalise_by_top( double* phi, unsigned long n, double top, bool empty )
{
	if ( empty ) {
		std::printf( "ReadMrc_st> Warning! No density above the contour level; the map is not normalized.\n" );
		return false;
	}
	if ( !( top > 0.0 ) || !std::isfinite( top ) ) {
		std::printf( "ReadMrc_st> Warning! Density percentile %f is not positive; the map is not normalized.\n", top );
		return false;
	}
	double const s = 1.0 / top;
	for ( unsigned long i = 0; i < n; ++i ) phi[i] = phi[i] <= top ? phi[i] * s : 1.0;
	return true;
}

// The common start of the processing operations: reads the map onto the
// cubic plain grid, clears the densities at or below the contour level
// (collecting the rest, and their box when box is given) and scales by the
// 0.9999 point of the kept values, which it returns.
double read_and_normalise( DensityScore& ds, std::string const& file, double cutoff, double* width,
	double* origx, double* origy, double* origz, unsigned* extx, unsigned* exty, unsigned* extz,
	double** phi, std::vector<double>& kept, unsigned* box )
{
	density_detail::read_mrc_cubic( ds, file.c_str(), width, origx, origy, origz, extx, exty, extz, phi );
	unsigned long const n = static_cast<unsigned long>( *extx ) * *exty * *extz;
	clear_and_collect( *phi, *extx, *exty, *extz, cutoff, kept, box );
	double const top = findTopDensity( kept, 0.9999 );
	normalise_by_top( *phi, n, top, kept.empty() );
	return top;
}

} // namespace

void DensityScore::map_processing( std::string mapIn, std::string mapOut, double densCutoff, bool quiet_ )
{
	double width, origx, origy, origz;
	unsigned extx, exty, extz;
	double* phi = nullptr;
	std::vector<double> kept;
	double const top = read_and_normalise( *this, mapIn, densCutoff, &width, &origx, &origy, &origz,
		&extx, &exty, &extz, &phi, kept, nullptr );
	unsigned long const n = static_cast<unsigned long>( extx ) * exty * extz;

	std::printf( "ReadMrc_st> \033[1mMap density value normalization\033[0m\n" );
	if ( !quiet_ ) {
		std::printf( "ReadMrc_st> percentile = (%f, %f)\n", 0.9999, top );
		std::printf( "ReadMrc_st> Setting density values below %f to 0.\n", densCutoff );
		std::printf( "ReadMrc_st> voxels are reduced from %d to %d\n", static_cast<int>( n ),
			static_cast<int>( kept.size() ) );
	}
	WriteMrc( 1, mapOut.c_str(), width, origx, origy, origz, extx, exty, extz, phi );
	std::printf( "-----------------\n" );
	std::free( phi );
}

void DensityScore::segmap( std::string mapIn, std::string mapOut, double densCutoff, bool quiet_ )
{
	double width, origx, origy, origz;
	unsigned extx, exty, extz;
	double* phi = nullptr;
	std::vector<double> kept;
	unsigned box[6];
	double const top = read_and_normalise( *this, mapIn, densCutoff, &width, &origx, &origy, &origz,
		&extx, &exty, &extz, &phi, kept, box );
	unsigned long const n = static_cast<unsigned long>( extx ) * exty * extz;

	// Nothing above the contour: there is no box to crop to, so the map
	// keeps its full extent.
	if ( kept.empty() ) {
		std::printf( "ReadMrc_st> Warning! Empty segmentation box; the map is not cropped.\n" );
		box[0] = 0; box[1] = extx - 1;
		box[2] = 0; box[3] = exty - 1;
		box[4] = 0; box[5] = extz - 1;
	}
	unsigned const nx = box[1] - box[0] + 1, ny = box[3] - box[2] + 1, nz = box[5] - box[4] + 1;
	double* crop = density_detail::alloc_or_die( static_cast<unsigned long long>( nx ) * ny * nz );
	unsigned long o = 0;
	for ( unsigned z = box[4]; z <= box[5]; ++z ) {
		for ( unsigned y = box[2]; y <= box[3]; ++y ) {
			double const* row = phi + ( static_cast<unsigned long>( z ) * exty + y ) * extx;
			for ( unsigned x = box[0]; x <= box[1]; ++x ) crop[o++] = row[x];
		}
	}
	double const nox = origx + box[0] * width, noy = origy + box[2] * width, noz = origz + box[4] * width;

	std::printf( "ReadMrc_st> \033[1mMap segmention based on density cutoff (contour level)\033[0m\n" );
	if ( !quiet_ ) {
		std::printf( "ReadMrc_st>      WIDTH = (%8.3f)\n", width );
		std::printf( "ReadMrc_st>     ORIGIN = (%8.3f, %8.3f, %8.3f)\n", origx, origy, origz );
		std::printf( "ReadMrc_st>     VOXELS = (%8d, %8d, %8d)\n", static_cast<int>( extx ),
			static_cast<int>( exty ), static_cast<int>( extz ) );
		std::printf( "ReadMrc_st>  Seg_index = (%d-%d, %d-%d, %d-%d)\n", static_cast<int>( box[0] ),
			static_cast<int>( box[1] ), static_cast<int>( box[2] ), static_cast<int>( box[3] ),
			static_cast<int>( box[4] ), static_cast<int>( box[5] ) );
		std::printf( "ReadMrc_st> new_ORIGIN = (%8.3f, %8.3f, %8.3f)\n", nox, noy, noz );
		std::printf( "ReadMrc_st> new_VOXELS = (%8d, %8d, %8d)\n", static_cast<int>( nx ),
			static_cast<int>( ny ), static_cast<int>( nz ) );
		std::printf( "ReadMrc_st> percentile = (%f, %f)\n", 0.9999, top );
		std::printf( "ReadMrc_st> voxels are reduced from %d to %d\n", static_cast<int>( n ),
			static_cast<int>( nx * ny * nz ) );
	}
	WriteMrc( 1, mapOut.c_str(), width, nox, noy, noz, nx, ny, nz, crop );
	std::printf( "-----------------\n" );
	std::free( crop );
	std::free( phi );
}
