// Small helpers shared by the DensityScore sources (not part of the public
// interface).
#ifndef QUILT_DENSITY_DENSITYSCORE_UTIL_HH
#define QUILT_DENSITY_DENSITYSCORE_UTIL_HH

#include <cstdio>
#include <cstdlib>

class DensityScore;

namespace density_detail {

// Prints the message on standard output with a line end and ends the process
// with the code; standard output is flushed first so that the message is not
// lost in a buffer.
[[noreturn]] inline void fail( char const* msg, int code )
{
	std::printf( "%s\n", msg );
	std::fflush( stdout );
	std::exit( code );
}

// "Error in read mrc file! <code>"
[[noreturn]] inline void fail_mrc( int code )
{
	std::printf( "Error in read mrc file! %d\n", code );
	std::fflush( stdout );
	std::exit( code );
}

// A zero-filled array of n doubles; an allocation failure has already printed
// "Error: lib_cvq, 99901!" in do_vect, and nothing may be stored into the
// missing array, so the process ends.
double* alloc_or_die( unsigned long long n );

// Sets the NaN and infinite values among the n read from file to 0, with a
// warning that counts them: one such voxel would turn every sum over the map
// (histogram, normalisation, correlation) into NaN.
void clear_non_finite( double* v, unsigned long long n, char const* file );

// Every voxel of a map read from a file must lie within kMaxPlacement
// Angstrom of the coordinate origin (a real map spans at most some thousand
// Angstrom): a header whose voxel width or origin puts the grid beyond that,
// or at no finite place, cannot place a model.  Prints the reason, frees
// *phi and ends the process with the code.
double const kMaxPlacement = 1.0e6;
void check_placement( char const* file, double width, double origx, double origy, double origz,
	unsigned extx, unsigned exty, unsigned extz, double** phi, int code );

// Reads an MRC/CCP4 map (ReadMrc) and brings it to the cubic x/y/z plain
// grid (permute_map, assert_cubic_map).
void read_mrc_cubic( DensityScore& ds, char const* file, double* width,
	double* origx, double* origy, double* origz,
	unsigned* extx, unsigned* exty, unsigned* extz, double** phi );

} // namespace density_detail

#endif
