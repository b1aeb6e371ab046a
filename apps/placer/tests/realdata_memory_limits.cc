// Placer on the EMD-5168 actin map on a machine short of memory: the map
// loads, the search has no room.
#include "apps/siblings/tests/memory_limit_runs.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <filesystem>

// Catches the abort once the map is loaded ("terminate called after
// throwing an instance of 'std::bad_alloc'", status 134): the run ends with
// the line naming the search (or the set-up of its score) and the size,
// status 1 and no model; with room it writes its models.
TEST( RealdataPlacerMemoryLimits, SearchWithoutRoomEndsWithTheMemoryLine )
{
	QUILT_REQUIRE_SHARED_DATA();
	if ( memory_limits::kSanitized ) GTEST_SKIP() << "an address-space limit cannot be set under AddressSanitizer";
	quilt_test::ScratchDir dir( "placer memory" );
	std::filesystem::copy_file( quilt_test::shared_file( "single/emd_5168.map" ), dir.file( "emd_5168.map" ) );
	std::filesystem::copy_file( quilt_test::shared_file( "single/3MFP.pdb" ), dir.file( "3MFP.pdb" ) );
	std::string const placer = "timeout 900 " + quilter_test::shq( quilt_test::bin_dir() + "/Placer" ) +
	                           " emd_5168.map 3MFP.pdb 6.6 -nm 2 -sl 0";
	for ( long kb : { 60000L, 90000L } ) {
		std::string out;
		int const status = quilter_test::run_shell(
			"cd " + quilter_test::shq( dir.path() ) + " && ( ulimit -v " + std::to_string( kb ) + " && " + placer + " )", out );
		EXPECT_EQ( status, 1 ) << kb << "\n" << out;
		// The search's memory is mostly the fast density score, whose set-up
		// on the map's grid is checked before any pose is tried.
		EXPECT_TRUE( quilter_test::says( out, "Error! Memory ran out while searching poses (" ) ||
		             quilter_test::says( out, "Error! Memory ran out while preparing the fast density score of the map (" ) )
			<< out;
		EXPECT_TRUE( quilter_test::says( out, " could not be allocated); no model written.\n" ) ) << out;
		EXPECT_EQ( memory_limits::tree( dir.path() ), ( std::vector< std::string >{ "3MFP.pdb", "emd_5168.map" } ) ) << kb;
	}
	std::string out;
	ASSERT_EQ( quilter_test::run_shell( "cd " + quilter_test::shq( dir.path() ) + " && " + placer, out ), 0 ) << out;
	EXPECT_EQ( memory_limits::tree( dir.path() ),
		( std::vector< std::string >{ "3MFP.pdb", "3MFP_1.pdb", "3MFP_2.pdb", "emd_5168.map" } ) );
}
