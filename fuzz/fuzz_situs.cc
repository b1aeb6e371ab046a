// The Situs text map reader (read_situs) and the format choice of read_vol
// on text input.  A file it cannot use must end the process with a status
// other than 0 and say why (the reason recorded for the exit handler); a
// file it takes gives exactly extx*exty*extz finite values on a grid with a
// finite place.
#include "density/DensityScore.hh"
#include "density/MapFileStop.hh"
#include "density/MrcHeader.hh"
#include "fuzz/FuzzSupport.hh"

#include <cmath>
#include <cstdlib>

using namespace quilt_fuzz;

extern "C" int LLVMFuzzerTestOneInput( const uint8_t* data, size_t size )
{
	std::string const in = scratch_file( "in.situs" );
	write_file( in, data, size );

	DensityScore ds;
	ds.quiet = true;
	double width = 0, ox = 0, oy = 0, oz = 0;
	unsigned ex = 0, ey = 0, ez = 0;
	double* phi = nullptr;
	bool const dispatch = size % 2;
	noteMapFileStop( "" );
	int const status = run_guarded( [ & ] {
		if ( dispatch ) ds.read_vol( in.c_str(), &width, &ox, &oy, &oz, &ex, &ey, &ez, &phi );
		else ds.read_situs( in.c_str(), &width, &ox, &oy, &oz, &ex, &ey, &ez, &phi );
	} );
	if ( status != -1 ) {
		check( ( status & 0xFF ) != 0, "the map reader gave up with status 0" );
		check( !mapFileStopReason().empty(), "the map reader gave up without a reason" );
		return 0;
	}
	check( phi != nullptr, "map read without values" );
	check( ex >= 1 && ey >= 1 && ez >= 1, "map read with an empty extent" );
	check( std::isfinite( width ) && width > 0.0, "map read with an unusable voxel width" );
	// The Situs header's width is the voxel width; the bound of the readers
	// holds for it (a binary map read through read_vol may be resampled).
	check( dispatch || !mrc::voxel_too_small( width ), "Situs map read with voxels below the smallest width" );
	// Every value is touched (a short array shows up under AddressSanitizer)
	// and must be a number the processing can sum.
	unsigned long long const n = static_cast< unsigned long long >( ex ) * ey * ez;
	for ( unsigned long long i = 0; i < n; ++i ) check( std::isfinite( phi[ i ] ), "non-finite map value handed on" );
	// Every voxel must have a finite place.
	unsigned const e[ 3 ] = { ex, ey, ez };
	double const o[ 3 ] = { ox, oy, oz };
	for ( int a = 0; a < 3; ++a )
		check( std::fabs( o[ a ] ) < 1e7 && std::fabs( o[ a ] + ( e[ a ] - 1.0 ) * width ) < 1e7,
		       "map placed at no usable position" );
	std::free( phi );
	return 0;
}
