// Situs text maps and the choice between MRC/CCP4 and Situs by header
// plausibility.
//
// Situs file: voxel width (A), x, y, z of the first voxel (A), the extents
// extx, exty, extz, then extx*exty*extz values, x fastest; white space only
// between and after the numbers.
#include "density/DensityScore.hh"
#include "density/DensityScore_util.hh"
#include "density/MrcHeader.hh"

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sys/stat.h>

using density_detail::fail;
using density_detail::file_error;
using density_detail::format;

int DensityScore::test_situs( char const* file )
{
	FILE* fp = std::fopen( file, "r" );
	if ( fp == nullptr ) {
		int const err = errno;
		density_detail::fail_mrc( 71011, format( "cannot open map %s: %s", file, file_error( file, err ).c_str() ) );
	}
	double width = 0, x = 0, y = 0, z = 0;
	int ext[3] = { 0, 0, 0 };
	int ok = 1;
	ok &= std::fscanf( fp, "%le", &width ) == 1;
	ok &= ok && std::fscanf( fp, "%le", &x ) == 1;
	ok &= ok && std::fscanf( fp, "%le", &y ) == 1;
	ok &= ok && std::fscanf( fp, "%le", &z ) == 1;
	for ( int i = 0; i < 3; ++i ) ok &= ok && std::fscanf( fp, "%d", &ext[i] ) == 1;
	std::fclose( fp );
	if ( !ok ) return 999999;
	int count = 0;
	for ( int i = 0; i < 3; ++i ) if ( static_cast<unsigned>( ext[i] ) > 5000 ) ++count;
	if ( width > 2000 ) ++count;
	if ( width < 0 ) ++count;
	double const o[3] = { x, y, z };
	for ( double v : o ) {
		if ( v > 1e6 ) ++count;
		if ( v < -1e6 ) ++count;
	}
	return 2 * count;
}

void DensityScore::read_situs( char const* file, double* width, double* origx, double* origy,
	double* origz, unsigned* extx, unsigned* exty, unsigned* extz, double** phi )
{
	density_detail::MapInUse in_use( file );
	FILE* fp = std::fopen( file, "r" );
	if ( fp == nullptr ) {
		int const err = errno;
		fail( "Error: Can't open file! 13010", 13010,
			format( "cannot open Situs map %s: %s", file, file_error( file, err ).c_str() ) );
	}
	int ext[3] = { 0, 0, 0 };
	int const got = std::fscanf( fp, "%le %le %le %le %d %d %d", width, origx, origy, origz,
		&ext[0], &ext[1], &ext[2] );
	// A header that does not parse, or that gives no usable grid, cannot be
	// read as a map (the values would be read into an array of the wrong
	// size or placed with a meaningless width).
	if ( got != 7 || ext[0] < 1 || ext[1] < 1 || ext[2] < 1 || !std::isfinite( *width )
		|| !( *width > 0.0 ) || !std::isfinite( *origx ) || !std::isfinite( *origy )
		|| !std::isfinite( *origz ) ) {
		std::fclose( fp );
		std::string const why = got != 7
			? format( "unusable Situs header in %s: it does not begin with the voxel width, the origin and three extents", file )
			: format( "unusable Situs header in %s: voxel width %g, origin %g %g %g, extents %d %d %d", file, *width,
				  *origx, *origy, *origz, ext[0], ext[1], ext[2] );
		fail( "Error: Can't open file! 13030", 13030, why );
	}
	// The bound the MRC readers apply to the voxel width (MrcHeader.hh).
	if ( mrc::voxel_too_small( *width ) ) {
		std::fclose( fp );
		fail( "Error: Can't open file! 13030", 13030,
			format( "Situs map %s has voxels of %g A; voxels below %g A are not usable", file, *width,
				mrc::kMinVoxelWidth ) );
	}
	*extx = static_cast<unsigned>( ext[0] );
	*exty = static_cast<unsigned>( ext[1] );
	*extz = static_cast<unsigned>( ext[2] );
	std::printf( "ReadMrc_st> Situs formatted map file %s - Header information: \n", file );
	std::printf( "ReadMrc_st> Columns, rows, and sections: x=1-%d, y=1-%d, z=1-%d\n", ext[0], ext[1], ext[2] );
	std::printf( "ReadMrc_st> 3D coordinates of first voxel: (%f,%f,%f)\n", *origx, *origy, *origz );
	std::printf( "ReadMrc_st> Voxel size in Angstrom: %f \n", *width );
	std::printf( "ReadMrc_st> Reading density data... \n" );

	unsigned long long const n64 = static_cast<unsigned long long>( ext[0] ) * ext[1] * ext[2];
	// Every value takes at least two bytes of text (a digit and a separator,
	// the last one only the digit): a header promising more values than the
	// file can hold is refused before anything is allocated.
	struct stat st;
	if ( fstat( fileno( fp ), &st ) == 0
		&& n64 > ( static_cast<unsigned long long>( st.st_size ) + 1 ) / 2 ) {
		std::fclose( fp );
		fail( "Error: Can't open file! 13030", 13030,
			format( "Situs map %s promises %llu values (%d x %d x %d), more than its %lld bytes can hold", file, n64,
				ext[0], ext[1], ext[2], static_cast<long long>( st.st_size ) ) );
	}
	*phi = density_detail::alloc_or_die( n64 );
	unsigned const n = static_cast<unsigned>( n64 );
	double* out = *phi;
	for ( unsigned i = 0; i < n; ++i ) {
		if ( std::fscanf( fp, "%le", &out[i] ) != 1 ) {
			bool const ended = std::feof( fp ) != 0;
			std::fclose( fp );
			std::free( *phi );
			*phi = nullptr;
			fail( "Error: Can't open file! 13030", 13030,
				ended ? format( "Situs map %s ends after %u of its %u values", file, i, n )
				      : format( "value %u of the Situs map %s is not a number", i + 1, file ) );
		}
	}
	double extra;
	if ( std::fscanf( fp, "%le", &extra ) != EOF ) {
		std::fclose( fp );
		std::free( *phi );
		*phi = nullptr;
		fail( "Error: Can't open file! 13040", 13040,
			format( "Situs map %s holds more than the %u values its header gives", file, n ) );
	}
	std::fclose( fp );
	density_detail::clear_non_finite( out, n, file );
	density_detail::check_placement( file, *width, *origx, *origy, *origz, *extx, *exty, *extz, phi, 13030 );
	std::printf( "ReadMrc_st> Volumetric data read from file %s\n", file );
}

void DensityScore::read_vol( char const* file, double* width, double* origx, double* origy,
	double* origz, unsigned* extx, unsigned* exty, unsigned* extz, double** phi )
{
	int const t0 = test_mrc( file, 0 );
	int const t1 = test_mrc( file, 1 );
	int const ts = test_situs( file );
	if ( t1 > ts && t0 > ts ) {
		read_situs( file, width, origx, origy, origz, extx, exty, extz, phi );
		return;
	}
	density_detail::read_mrc_cubic( *this, file, width, origx, origy, origz, extx, exty, extz, phi );
}

void density_detail::read_mrc_cubic( DensityScore& ds, char const* file, double* width,
	double* origx, double* origy, double* origz,
	unsigned* extx, unsigned* exty, unsigned* extz, double** phi )
{
	MapInUse in_use( file );
	int orthogonal = 1, cubic = 1, ordermode = 7;
	unsigned nc, nr, ns, nx, ny, nz;
	int ncstart, nrstart, nsstart, nxstart, nystart, nzstart;
	double wx, wy, wz, xo, yo, zo, alpha, beta, gamma;
	double* raw = nullptr;
	ds.ReadMrc( file, &orthogonal, &cubic, &ordermode, &nc, &nr, &ns, &ncstart, &nrstart, &nsstart,
		&wx, &wy, &wz, &xo, &yo, &zo, &alpha, &beta, &gamma, &raw );
	ds.permute_map( ordermode, nc, nr, ns, &nx, &ny, &nz, ncstart, nrstart, nsstart,
		&nxstart, &nystart, &nzstart, raw, phi );
	ds.assert_cubic_map( orthogonal, cubic, alpha, beta, gamma, wx, wy, wz, nx, ny, nz,
		nxstart, nystart, nzstart, xo, yo, zo, width, origx, origy, origz, extx, exty, extz, phi );
	check_placement( file, *width, *origx, *origy, *origz, *extx, *exty, *extz, phi, 70660 );
}

void DensityScore::write_vol( char const* file, double width, double origx, double origy,
	double origz, unsigned extx, unsigned exty, unsigned extz, double* phi )
{
	WriteMrc( 1, file, width, origx, origy, origz, extx, exty, extz, phi );
}
