// Placer on a machine short of memory: each run under a range of
// address-space limits (ulimit -v) ends either with its fitted models or
// with status 1, the line that says memory ran out (and in what step), and
// no file written.  Catches the abort of an allocation failure after the map
// is loaded ("terminate called after throwing an instance of
// 'std::bad_alloc'", status 134).
#include "apps/siblings/tests/memory_limit_runs.hh"
#include "apps/siblings/tests/small_fit_case.hh"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <regex>
#include <unistd.h>

TEST( PlacerMemoryLimits, EveryRunEndsWithItsModelsOrTheMemoryLine )
{
	if ( memory_limits::kSanitized ) GTEST_SKIP() << "an address-space limit cannot be set under AddressSanitizer";
	sibling_case::SmallFitCase c;
	std::string const command = sibling_case::SmallFitCase::program( "Placer" ) + " map.mrc chain.pdb 6 -nm 3 -sl 0";
	std::vector< std::string > const results = { "chain_1.pdb", "chain_2.pdb", "chain_3.pdb" };
	memory_limits::Sweep const s = memory_limits::run_under_limits( c.dir, command, results,
		memory_limits::limits_for( c.dir, command, results ), nullptr, []( int status, std::string const& out ) {
			if ( status == 1 ) {
				EXPECT_NE( out.find( "; no model written." ), std::string::npos ) << out;
			}
		} );
	EXPECT_GE( s.succeeded, 1 ) << "no limit left room for the fit";
	EXPECT_GE( s.memoryStops, 1 ) << "no limit was too small for the fit";
}

namespace {

// A map of n^3 voxels of 1 A (mode 2) that fills its unit cell (the cell
// grid is the data grid, so nothing is expanded).  Its data are left as a
// hole in the file: they read as zeros and take no disk.
void write_filled_map( std::string const& path, int n )
{
	int32_t words[ 256 ] = { 0 };
	words[ 0 ] = words[ 1 ] = words[ 2 ] = n;    // NX NY NZ
	words[ 3 ] = 2;                              // MODE: 32-bit reals
	words[ 7 ] = words[ 8 ] = words[ 9 ] = n;    // MX MY MZ
	float const edge = float( n ), right = 90.0f;
	for ( int a = 0; a < 3; ++a ) {
		std::memcpy( &words[ 10 + a ], &edge, 4 ); // cell edges
		std::memcpy( &words[ 13 + a ], &right, 4 ); // cell angles
		words[ 16 + a ] = a + 1;                    // MAPC MAPR MAPS
	}
	std::memcpy( &words[ 52 ], "MAP ", 4 );
	unsigned char const stamp[ 4 ] = { 0x44, 0x44, 0, 0 }; // little-endian
	std::memcpy( &words[ 53 ], stamp, 4 );
	{
		std::ofstream out( path, std::ios::binary );
		out.write( reinterpret_cast< char const* >( words ), sizeof words );
	}
	ASSERT_EQ( ::truncate( path.c_str(), off_t( 1024 ) + off_t( 4 ) * n * n * n ), 0 );
}

} // namespace

// Catches the check of a map's size before it is allocated leaving out the
// map's own data: a 320^3 map that fills its cell needs 250 MB, which an
// address space of 192 MB cannot hold.  The map is refused before the
// allocation with both sizes, and the run ends with the memory line, status
// 1 and no model; without the check the allocation was tried and failed (or,
// with no limit, the pages were promised and the run met the out-of-memory
// killer when it filled them).
TEST( PlacerMemoryLimits, AMapTooLargeForTheRoomIsRefusedBeforeItIsAllocated )
{
	if ( memory_limits::kSanitized ) GTEST_SKIP() << "an address-space limit cannot be set under AddressSanitizer";
	quilt_test::ScratchDir dir( "placer large map" );
	quilter_test::write_chain( dir.file( "chain.pdb" ), quilter_test::helix( 12, 160, 160, 150 ), 'A' );
	write_filled_map( dir.file( "large.mrc" ), 320 );
	std::string out;
	int const status = quilter_test::run_shell( "cd " + quilter_test::shq( dir.path() ) +
	                                                " && ( ulimit -v 196608 2>/dev/null || exit 77; " +
	                                                sibling_case::SmallFitCase::program( "Placer" ) +
	                                                " large.mrc chain.pdb 6 -nm 1 -sl 0 )",
		out );
	if ( status == 77 ) GTEST_SKIP() << "the shell cannot set an address-space limit";
	EXPECT_EQ( status, 1 ) << out;
	EXPECT_TRUE( std::regex_search( out,
		std::regex( "Error! Map [^\\n]*/large\\.mrc needs 250 MB for its 320 x 320 x 320 voxels, more than the [0-9]+ MB of "
		            "(room under the address-space limit \\(ulimit -v\\) of 192 MB, of which [0-9]+ MB are in use|"
		            "available memory \\(MemAvailable of /proc/meminfo\\))\\.  Not loading map\\.\n" ) ) )
		<< out;
	EXPECT_TRUE( quilter_test::says( out, "Error! Memory ran out while loading the map (250.0 MB could not be allocated); "
	                                      "no model written.\n" ) )
		<< out;
	EXPECT_FALSE( quilter_test::says( out, "Not enough memory for the" ) ) << out;
	EXPECT_EQ( memory_limits::tree( dir.path() ), ( std::vector< std::string >{ "chain.pdb", "large.mrc" } ) );
}
