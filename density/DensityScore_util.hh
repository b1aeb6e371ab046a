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

// Reads an MRC/CCP4 map (ReadMrc) and brings it to the cubic x/y/z plain
// grid (permute_map, assert_cubic_map).
void read_mrc_cubic( DensityScore& ds, char const* file, double* width,
	double* origx, double* origy, double* origz,
	unsigned* extx, unsigned* exty, unsigned* extz, double** phi );

} // namespace density_detail

#endif
