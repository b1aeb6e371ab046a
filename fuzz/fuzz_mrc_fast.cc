// FastDensityScore::readDensityMap, the map reader of the fitting: any byte
// string as a map file.  A file it refuses must leave the previously loaded
// map in place (it returns false, never exits); a file it takes must give a
// map on the whole unit-cell grid with finite values and a sane voxel list,
// and must have a header DensityScore's reader takes as well in the words
// both check: a whole 1024-byte header, interval counts of at least 1,
// voxels of at least mrc::kMinVoxelWidth, NSYMBT within the file and not
// negative where the file holds more than the header and the data, a file
// shorter than header, record and data only where the record was never
// written, no text record running past the NSYMBT bytes
// (size_rule_broken), and no ORIGIN word of mrc::kOriginWordLimit or more
// placing the map.
#include "density/FastDensityScore.hh"
#include "density/MrcHeader.hh"
#include "fuzz/FuzzSupport.hh"
#include "fuzz/MapOracle.hh"

#include <algorithm>
#include <cmath>
#include <cstdlib>

using namespace quilt_fuzz;

namespace {

struct Snapshot {
	bool loaded;
	int u[ 3 ];
	int points;
	double width;
};

Snapshot snapshot( FastDensityScore const& m )
{
	Snapshot s{ m.isLoaded, { 0, 0, 0 }, m.nDensPoints, m.gridWidth };
	if ( m.isLoaded ) {
		s.u[ 0 ] = m.density().u1();
		s.u[ 1 ] = m.density().u2();
		s.u[ 2 ] = m.density().u3();
	}
	return s;
}

// The reader places the data on the whole unit-cell grid and accepts any
// cell that fits in memory around a small block on purpose (boxed maps keep
// the cell of the map they were cut from).  Such inputs take seconds each
// and teach nothing new; cells above 2^18 voxels are not tried.
bool huge_cell( const uint8_t* data, size_t size )
{
	if ( size < 40 ) return false;
	bool const swap = mrc::word_int( data + mrc::offset( mrc::MODE ), false ) != 2;
	double n[ 3 ], cell = 1.0;
	for ( int a = 0; a < 3; ++a ) n[ a ] = std::fabs( double( mrc::word_int( data + mrc::offset( mrc::NC + a ), swap ) ) );
	// Extents the file cannot hold are refused before anything is allocated.
	if ( 4.0 * n[ 0 ] * n[ 1 ] * n[ 2 ] > double( size ) ) return false;
	double const widest = std::max( { n[ 0 ], n[ 1 ], n[ 2 ] } );
	for ( int a = 0; a < 3; ++a )
		cell *= std::max( widest, std::fabs( double( mrc::word_int( data + mrc::offset( mrc::MX + a ), swap ) ) ) );
	return cell > double( 1 << 18 );
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput( const uint8_t* data, size_t size )
{
	// One object over the whole run: a refused file must keep the map of an
	// earlier accepted one.
	static FastDensityScore map;
	if ( huge_cell( data, size ) ) return 0;
	std::string const path = scratch_file( "map.mrc" );
	write_file( path, data, size );

	Snapshot const before = snapshot( map );
	bool ok = false;
	int const status = run_guarded( [ & ] { ok = map.readDensityMap( path, 6.0, 0.0, 0.0, true ); } );
	check( status == -1, "readDensityMap ended the process with status " + std::to_string( status ) );

	if ( !ok ) {
		Snapshot const after = snapshot( map );
		check( after.loaded == before.loaded && after.u[ 0 ] == before.u[ 0 ] && after.u[ 1 ] == before.u[ 1 ]
		           && after.u[ 2 ] == before.u[ 2 ] && after.points == before.points
		           && ( after.width == before.width || ( std::isnan( after.width ) && std::isnan( before.width ) ) ),
		       "a refused map changed the loaded one" );
		return 0;
	}

	check( map.isLoaded, "accepted map not marked loaded" );
	check( size >= size_t( mrc::kHeaderBytes ), "map accepted from a file shorter than the 1024-byte header" );
	bool const swapped = mrc::word_int( data + mrc::offset( mrc::MODE ), false ) != 2;
	for ( int a = 0; a < 3; ++a ) {
		int32_t const m = mrc::word_int( data + mrc::offset( mrc::MX + a ), swapped );
		check( m >= 1, "map accepted with an interval count below 1" );
		check( !mrc::voxel_too_small( map.cellDimensions[ a ] / double( map.grid[ a ] ) ),
		       "map accepted with voxels below the smallest width" );
	}
	int32_t const nsymbt = mrc::word_int( data + mrc::offset( mrc::NSYMBT ), swapped );
	check( 1024.0 + nsymbt <= double( size ), "map accepted with NSYMBT beyond the end of the file" );
	double voxels = 1.0;
	for ( int a = 0; a < 3; ++a ) voxels *= mrc::word_int( data + mrc::offset( mrc::NC + a ), swapped );
	check( nsymbt >= 0 || double( size ) - 4.0 * voxels == 1024.0,
	       "map accepted with a negative NSYMBT and bytes the header does not account for" );
	std::string const broken = size_rule_broken( data, size, swapped, 4 );
	check( broken.empty(), broken );
	float orig[ 3 ];
	for ( int a = 0; a < 3; ++a ) orig[ a ] = mrc::word_float( data + mrc::offset( mrc::XORIGIN + a ), swapped );
	check( !map.useAltOrigin || mrc::far_origin_words( orig[ 0 ], orig[ 1 ], orig[ 2 ] ).empty(),
	       "map placed by an ORIGIN word of 10000 A or more" );
	auto const& d = map.density();
	check( d.u1() == map.grid[ 0 ] && d.u2() == map.grid[ 1 ] && d.u3() == map.grid[ 2 ],
	       "map not on its unit-cell grid" );
	long const n = long( d.u1() ) * d.u2() * d.u3();
	double const* v = &d[ 0 ];
	for ( long i = 0; i < n; ++i ) check( std::isfinite( v[ i ] ), "non-finite map value kept" );
	check( std::isfinite( map.gridWidth ) && map.gridWidth > 0.0, "grid width not a positive number" );
	check( map.nDensPoints >= 0 && map.nDensPoints <= n, "voxel list longer than the map" );
	for ( int i = 0; i < map.nDensPoints; ++i )
		for ( int a = 0; a < 3; ++a )
			check( std::isfinite( map.densPoints[ i ][ a ] ), "non-finite voxel position" );
	return 0;
}
