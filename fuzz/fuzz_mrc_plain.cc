// The plain-grid map reader of the work-map processing: read_vol (byte-order
// probe, ReadMrc or the Situs reader, axis permutation, skewed cells to
// cubic), readDensityMap_st (regridding, trimming, voxel list) and
// map_processing (normalisation, written map).  A file it cannot use must
// end the process with a status other than 0, say why (the reason recorded
// for the exit handler) and leave no written map.  A file it reads as MRC
// must keep the rules of the file's size against its header
// (size_rule_broken), in the byte order the reader's probe takes.
#include "density/DensityScore.hh"
#include "density/MapFileStop.hh"
#include "fuzz/FuzzSupport.hh"
#include "fuzz/MapOracle.hh"

#include <cmath>
#include <cstdlib>

using namespace quilt_fuzz;

extern "C" int LLVMFuzzerTestOneInput( const uint8_t* data, size_t size )
{
	std::string const in = scratch_file( "in.mrc" );
	std::string const out = scratch_file( "out.mrc" );
	write_file( in, data, size );
	remove_file( out );

	DensityScore ds;
	ds.quiet = true;
	// With and without regridding to a coarser grid (the fitting asks for a
	// 2 A voxel list when the map is finer).
	double const cutWidth = ( size % 2 ) ? 2.0 : 0.0;
	noteMapFileStop( "" );
	int status = run_guarded( [ & ] { ds.readDensityMap_st( in.c_str(), 6.0, cutWidth, 0.0 ); } );
	if ( status != -1 ) {
		check( ( status & 0xFF ) != 0, "readDensityMap_st gave up with status 0" );
		check( !mapFileStopReason().empty(), "readDensityMap_st gave up without a reason" );
		return 0;
	}
	check( ds.loaded, "readDensityMap_st returned without a map" );
	// The reader's choice: a Situs map where both byte orders of the MRC
	// probe count more violations than the Situs probe; else MRC, in the
	// order with fewer (the swapped one on a tie).
	int const t0 = ds.test_mrc( in.c_str(), 0 ), t1 = ds.test_mrc( in.c_str(), 1 ), ts = ds.test_situs( in.c_str() );
	if ( !( t1 > ts && t0 > ts ) && size >= 16 ) {
		bool const swapped = t0 >= t1;
		int32_t const mode = mrc::word_int( data + mrc::offset( mrc::MODE ), swapped );
		std::string const broken = size_rule_broken( data, size, swapped, mode == 0 ? 1 : ( mode == 1 ? 2 : 4 ) );
		check( broken.empty(), broken );
	}
	check( ds.voxel_count >= 0, "negative voxel count" );
	for ( int i = 0; i < ds.voxel_count; ++i )
		for ( int a = 0; a < 3; ++a ) check( std::isfinite( ds.voxel_xyz[ i ][ a ] ), "non-finite voxel position" );
	ds.releaseVoxelList();

	noteMapFileStop( "" );
	status = run_guarded( [ & ] { ds.map_processing( in, out, 0.0, true ); } );
	if ( status != -1 ) {
		check( ( status & 0xFF ) != 0, "map_processing gave up with status 0" );
		check( !mapFileStopReason().empty(), "map_processing gave up without a reason" );
		check( !file_exists( out ), "map_processing gave up but left a written map" );
		return 0;
	}
	check( file_exists( out ), "map_processing wrote no map" );
	return 0;
}
