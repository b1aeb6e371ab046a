// Maps whose unit-cell grid is far larger than their data (a box cut from a
// larger map that keeps the parent's cell): the loader places them on the
// whole cell when that fits in memory, refuses them naming the sizes when it
// does not, and refuses a cell no array can index before anything is
// allocated.  The set-up of the fast score on such a grid is held to the
// same rule.  Shortage is made the same on every machine by limits set in a
// death-test child (memory_caps.hh).
#include "density/FastDensityScore.hh"
#include "density/MemoryRoom.hh"
#include "density/tests/dmap_test_util.hh"
#include "density/tests/fast_test_util.hh"
#include "density/tests/memory_caps.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cstdlib>
#include <iostream>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

using fast_test::MrcSpec;
using fast_test::write_mrc;

namespace {

// A box of 4 x 4 x 4 voxels of 1 A (values 1 ... 64, file order) at start
// indices 10, 20, 30 of a cubic cell grid of `cell` voxels along each axis.
MrcSpec boxed( int cell )
{
	MrcSpec s;
	for ( int a = 0; a < 3; ++a ) {
		s.ext[ a ] = 4;
		s.samp[ a ] = cell;
		s.cell[ a ] = float( cell );
		s.start[ a ] = 10 * ( a + 1 );
	}
	for ( int i = 0; i < 64; ++i ) s.data.push_back( float( i + 1 ) );
	return s;
}

// The fast score of one point inside the box.
double score_in_box( FastDensityScore& m )
{
	double p[ 3 ] = { 11.5, 21.5, 31.5 };
	double* rows[ 1 ] = { p };
	return m.getFastDensScore( rows, 1 );
}

bool load( FastDensityScore& m, std::string const& path, std::string& text )
{
	testing::internal::CaptureStdout();
	bool const ok = m.readDensityMap( path, 6.0, 0.0, 0.0, true );
	text = testing::internal::GetCapturedStdout();
	return ok;
}

} // namespace

// The loader used to refuse any cell grid of more than 8 times the data and
// 2^26 voxels, whatever the memory: a boxed map keeping a 410^3 cell
// (551 MB) was refused although gemmi, mrcfile and the other reader take it.
TEST( FastLoadMemory, BoxOnALargeCellThatFitsIsPlacedOnTheWholeCell )
{
	MemoryRoom const room = memoryRoom();
	if ( room.known && room.bytes < ( uint64_t( 2 ) << 30 ) ) GTEST_SKIP() << "less than 2 GB of memory free";
	quilt_test::ScratchDir dir( "fds_cell" );
	ASSERT_TRUE( write_mrc( dir.file( "box.mrc" ), boxed( 410 ) ) );
	FastDensityScore m;
	std::string text;
	ASSERT_TRUE( load( m, dir.file( "box.mrc" ), text ) ) << text;
	EXPECT_EQ( text.find( "Error!" ), std::string::npos ) << text;
	EXPECT_EQ( m.density().u1(), 410 );
	EXPECT_EQ( m.density().u3(), 410 );
	EXPECT_EQ( m.origin[ 0 ], 10 );
	EXPECT_EQ( m.origin[ 2 ], 30 );
	// The block keeps its indices, the rest of the cell is zero.
	EXPECT_DOUBLE_EQ( m.density()( 1, 1, 1 ), 1.0 );
	EXPECT_DOUBLE_EQ( m.density()( 4, 4, 4 ), 64.0 );
	EXPECT_DOUBLE_EQ( m.density()( 5, 1, 1 ), 0.0 );
	EXPECT_DOUBLE_EQ( m.density()( 410, 410, 410 ), 0.0 );
}

// Cells of 5000^3 voxels (1 TB to expand) or of three axes of 2e9 (whose
// product overflowed 64 bits before it was compared) are refused by the
// header check, before any allocation, and the earlier map stays.
TEST( FastLoadMemory, CellsNoArrayCanIndexAreRefusedBeforeAnyAllocation )
{
	quilt_test::ScratchDir dir( "fds_cell" );
	ASSERT_TRUE( write_mrc( dir.file( "good.mrc" ), boxed( 8 ) ) );
	FastDensityScore m;
	std::string text;
	ASSERT_TRUE( load( m, dir.file( "good.mrc" ), text ) );
	int const cells[][ 3 ] = { { 5000, 5000, 5000 }, { 2000000000, 2000000000, 2000000000 }, { 2000000000, 4, 4 } };
	for ( auto const& c : cells ) {
		MrcSpec s = boxed( 4 );
		for ( int a = 0; a < 3; ++a ) {
			s.samp[ a ] = c[ a ];
			s.cell[ a ] = float( c[ a ] );
		}
		ASSERT_TRUE( write_mrc( dir.file( "huge.mrc" ), s ) );
		EXPECT_FALSE( load( m, dir.file( "huge.mrc" ), text ) );
		std::string const grid = std::to_string( c[ 0 ] ) + " x " + std::to_string( c[ 1 ] ) + " x " + std::to_string( c[ 2 ] );
		EXPECT_NE( text.find( "Error! Unit-cell sampling " + grid + " is not usable.  Not loading map." ), std::string::npos )
			<< text;
		EXPECT_TRUE( m.isLoaded );
		EXPECT_EQ( m.density().u1(), 8 );
	}
}

// A 512^3 cell (1 GB) under an address space with 256 MB to spare: refused
// before the allocation, naming what it needs and what there is; the earlier
// map stays loaded.
TEST( FastLoadMemoryDeathTest, CellThatDoesNotFitIsRefusedWithTheSizes )
{
	if ( memory_caps::kSanitized ) GTEST_SKIP() << "an address-space limit cannot be set under AddressSanitizer";
	quilt_test::ScratchDir dir( "fds_cell" );
	ASSERT_TRUE( write_mrc( dir.file( "good.mrc" ), boxed( 8 ) ) );
	ASSERT_TRUE( write_mrc( dir.file( "box.mrc" ), boxed( 512 ) ) );
	EXPECT_EXIT(
		{
			dmap_test::stdout_to_stderr();
			FastDensityScore m;
			bool const first = m.readDensityMap( dir.file( "good.mrc" ), 6.0, 0.0, 0.0, true );
			if ( !memory_caps::cap_address_space( uint64_t( 256 ) << 20 ) ) std::exit( 2 );
			bool const second = m.readDensityMap( dir.file( "box.mrc" ), 6.0, 0.0, 0.0, true );
			std::exit( first && !second && m.isLoaded && m.density().u1() == 8 ? 0 : 1 );
		},
		testing::ExitedWithCode( 0 ),
		"Error! Map [^ ]*box.mrc needs 1025 MB for its 4 x 4 x 4 voxels placed on its unit-cell grid of 512 x 512 x 512 "
		"\\(134217728 voxels\\), more than the [0-9]+ MB of room under the address-space limit \\(ulimit -v\\) of [0-9]+ MB, "
		"of which [0-9]+ MB are in use.  Not loading map." );
}

// The same cell where the check finds room but the allocation fails (a data
// limit, which the room does not count): refused with the size, no abort.
TEST( FastLoadMemoryDeathTest, FailedAllocationOfTheCellIsRefusedWithItsSize )
{
	if ( memory_caps::kSanitized ) GTEST_SKIP() << "a data limit cannot be set under AddressSanitizer";
	MemoryRoom const room = memoryRoom();
	if ( room.known && room.bytes < ( uint64_t( 2 ) << 30 ) ) GTEST_SKIP() << "less than 2 GB of memory free";
	quilt_test::ScratchDir dir( "fds_cell" );
	ASSERT_TRUE( write_mrc( dir.file( "box.mrc" ), boxed( 512 ) ) );
	EXPECT_EXIT(
		{
			dmap_test::stdout_to_stderr();
			if ( !memory_caps::cap_data( uint64_t( 256 ) << 20 ) ) std::exit( 2 );
			FastDensityScore m;
			std::exit( m.readDensityMap( dir.file( "box.mrc" ), 6.0, 0.0, 0.0, true ) || m.isLoaded ? 1 : 0 );
		},
		testing::ExitedWithCode( 0 ),
		"Error! Not enough memory to place map [^ ]*box.mrc on its unit-cell grid of 512 x 512 x 512 voxels \\(1024 MB "
		"beside the 1 MB of the map data\\).  Not loading map." );
}

// A 256^3 cell loads in 128 MB, but the fast score's set-up on it takes ten
// times that (smoothed map, spline coefficients, three spectra): it used to
// end the process in std::bad_alloc (or the out-of-memory killer).  Now the
// set-up is refused with its size, the scores are 0 and the search can stop
// with a message.
TEST( FastLoadMemoryDeathTest, FastScoreSetUpThatDoesNotFitIsRefusedWithItsSize )
{
	if ( memory_caps::kSanitized ) GTEST_SKIP() << "an address-space limit cannot be set under AddressSanitizer";
	quilt_test::ScratchDir dir( "fds_cell" );
	ASSERT_TRUE( write_mrc( dir.file( "box.mrc" ), boxed( 256 ) ) );
	EXPECT_EXIT(
		{
			dmap_test::stdout_to_stderr();
			if ( !memory_caps::cap_address_space( uint64_t( 640 ) << 20 ) ) std::exit( 2 );
			FastDensityScore m;
			if ( !m.readDensityMap( dir.file( "box.mrc" ), 6.0, 0.0, 0.0, true ) ) std::exit( 3 );
			bool const built = m.ensureFastCache();
			std::exit( !built && m.fastCacheEmpty() && score_in_box( m ) == 0.0 ? 0 : 1 );
		},
		testing::ExitedWithCode( 0 ),
		"Error! The fast density score of the map needs 1280 MB on its grid of 256 x 256 x 256 voxels, more than the "
		"[0-9]+ MB of room under the address-space limit" );
}

// The same set-up where the check finds room but an allocation fails.
TEST( FastLoadMemoryDeathTest, FailedAllocationOfTheFastScoreIsRefusedWithItsSize )
{
	if ( memory_caps::kSanitized ) GTEST_SKIP() << "a data limit cannot be set under AddressSanitizer";
	MemoryRoom const room = memoryRoom();
	if ( room.known && room.bytes < ( uint64_t( 3 ) << 30 ) ) GTEST_SKIP() << "less than 3 GB of memory free";
	quilt_test::ScratchDir dir( "fds_cell" );
	ASSERT_TRUE( write_mrc( dir.file( "box.mrc" ), boxed( 256 ) ) );
	EXPECT_EXIT(
		{
			dmap_test::stdout_to_stderr();
			if ( !memory_caps::cap_data( uint64_t( 640 ) << 20 ) ) std::exit( 2 );
			FastDensityScore m;
			if ( !m.readDensityMap( dir.file( "box.mrc" ), 6.0, 0.0, 0.0, true ) ) std::exit( 3 );
			std::exit( !m.ensureFastCache() && m.fastCacheEmpty() ? 0 : 1 );
		},
		testing::ExitedWithCode( 0 ),
		"Error! Not enough memory for the fast density score of the map on its grid of 256 x 256 x 256 voxels "
		"\\(1280 MB\\)." );
}

// Catches the room left under an address-space limit counted without what
// the process already maps (or the larger bound taken): under a limit of
// what is mapped plus 256 MB the room is those 256 MB, give or take what
// the reading itself maps, and the text names the limit and the use.
TEST( FastLoadMemoryDeathTest, TheRoomUnderALimitIsTheLimitLessWhatIsMapped )
{
	if ( memory_caps::kSanitized ) GTEST_SKIP() << "an address-space limit cannot be set under AddressSanitizer";
	EXPECT_EXIT(
		{
			uint64_t const extra = uint64_t( 256 ) << 20;
			if ( !memory_caps::cap_address_space( extra ) ) std::exit( 2 );
			struct rlimit lim;
			getrlimit( RLIMIT_AS, &lim );
			uint64_t const limit = lim.rlim_cur;
			MemoryRoom const room = memoryRoom();
			uint64_t const mapped = memory_caps::status_bytes( "VmSize" );
			// A machine with less memory available than 256 MB names that bound.
			if ( room.known && room.source.rfind( "available memory", 0 ) == 0 && room.bytes < extra ) std::exit( 0 );
			std::string const source = "room under the address-space limit (ulimit -v) of " + megabytes( limit ) +
			                           ", of which " + megabytes( mapped ) + " are in use";
			int64_t const off = int64_t( room.bytes ) - int64_t( limit - mapped );
			std::cerr << "room " << room.bytes << " expected " << ( limit - mapped ) << " (" << room.source << ")"
			          << std::endl;
			std::exit( room.known && off > -( int64_t( 1 ) << 20 ) && off < ( int64_t( 1 ) << 20 ) && mapped > ( 4 << 20 ) &&
			                   room.source == source
			               ? 0
			               : 1 );
		},
		testing::ExitedWithCode( 0 ), "" );
}

// Catches a map that fills its cell counted twice, as if it were placed on
// a cell grid beside its data: a 256^3 map (128 MB) loads where the address
// space has 200 MB to spare.
TEST( FastLoadMemoryDeathTest, AMapThatFillsItsCellIsCountedOnce )
{
	if ( memory_caps::kSanitized ) GTEST_SKIP() << "an address-space limit cannot be set under AddressSanitizer";
	quilt_test::ScratchDir dir( "fds_cell" );
	MrcSpec s;
	for ( int a = 0; a < 3; ++a ) {
		s.ext[ a ] = s.samp[ a ] = 256;
		s.cell[ a ] = 256.f;
	}
	for ( int i = 0; i < 64; ++i ) s.data.push_back( float( i + 1 ) );
	ASSERT_TRUE( write_mrc( dir.file( "filled.mrc" ), s ) );
	// The rest of the data as a hole in the file: zeros that take no disk.
	ASSERT_EQ( ::truncate( dir.file( "filled.mrc" ).c_str(), off_t( 1024 ) + off_t( 4 ) * 256 * 256 * 256 ), 0 );
	EXPECT_EXIT(
		{
			dmap_test::stdout_to_stderr();
			if ( !memory_caps::cap_address_space( uint64_t( 200 ) << 20 ) ) std::exit( 2 );
			FastDensityScore m;
			bool const ok = m.readDensityMap( dir.file( "filled.mrc" ), 6.0, 0.0, 0.0, true );
			std::exit( ok && m.isLoaded && m.density().u1() == 256 && m.density()( 64, 1, 1 ) == 64.0 ? 0 : 1 );
		},
		testing::ExitedWithCode( 0 ), "" );
}
