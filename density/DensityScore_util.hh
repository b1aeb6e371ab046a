// Small helpers shared by the DensityScore sources (not part of the public
// interface).
#ifndef QUILT_DENSITY_DENSITYSCORE_UTIL_HH
#define QUILT_DENSITY_DENSITYSCORE_UTIL_HH

#include <cstdio>
#include <cstdlib>
#include <string>

class DensityScore;

namespace density_detail {

// printf-style text.
std::string format( char const* fmt, ... ) __attribute__( ( format( printf, 1, 2 ) ) );

// The map file being read or written, for the reasons of stops in steps that
// are not given the file (regridding, allocation, normalisation).  Set for
// the span of one read or write; scopes nest.
class MapInUse {
public:
	explicit MapInUse( char const* file );
	~MapInUse();
	MapInUse( MapInUse const& ) = delete;
	MapInUse& operator=( MapInUse const& ) = delete;

private:
	std::string previous_;
};

// "map <file>" within a MapInUse scope, else "the map".
std::string map_subject();

// Ends the process because a map file cannot be used: records the reason
// for the program's exit handler (noteMapFileStop), prints
// "<prefix> Error: <reason>." and then code_line (unless empty) on standard output
// (flushed, so that nothing is lost in a buffer) and exits with the code.
[[noreturn]] void stop( char const* prefix, std::string const& reason, std::string const& code_line, int code );

// A stop of the readers and processing steps with its own code line.
[[noreturn]] inline void fail( char const* msg, int code, std::string const& reason )
{
	stop( "ReadMrc_st>", reason, msg, code );
}

// A stop with the code line "Error in read mrc file! <code>".
[[noreturn]] void fail_mrc( int code, std::string const& reason );

// Why a file could not be opened, read or written: the system's text for
// err, and for a name too long the limit it passed.
std::string file_error( std::string const& file, int err );

// A zero-filled array of n doubles; an allocation failure has already printed
// "Error: lib_cvq, 99901!" in do_vect, and nothing may be stored into the
// missing array: it throws std::bad_alloc (with the size recorded, see
// utility/memory_stop.hh).  A count beyond a map's 32 bits ends the process
// (code 99901).
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
