// Quilter assembling 1Z5S (its four chains in place, the 10 A map) on a
// machine short of memory, with the programs it starts under the same
// limit: they run out of memory on some chains, and the run says so.
#include "apps/quilter/tests/quilter_run_case.hh"
#include "apps/siblings/tests/memory_limit_runs.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <filesystem>

using namespace quilter_test;

// Catches a run that, with its programs out of memory, tells the chains as
// unplaced for want of a placement ("no chain could be placed"), and the
// abort of the run itself: each run ends with the model and the count of
// the programs that ran out in its review, or with status 1 and an error
// that says memory ran out; no work directory stays.
TEST( RealdataQuilterMemoryLimits, RunsWhoseProgramsRunOutOfMemorySaySo )
{
	QUILT_REQUIRE_SHARED_DATA();
	if ( memory_limits::kSanitized ) GTEST_SKIP() << "an address-space limit cannot be set under AddressSanitizer";
	quilt_test::ScratchDir dir( "quilter memory" );
	std::string const data = dir.file( "data" );
	std::filesystem::create_directories( data );
	std::string const chains = "ABCD";
	for ( std::size_t i = 0; i < chains.size(); ++i )
		std::filesystem::copy_file( quilt_test::shared_file( std::string( "complexes/1z5s/1z5s_" ) + chains[ i ] + ".pdb" ),
			data + "/chain" + std::to_string( i + 1 ) + ".pdb" );
	std::string const quilter = "timeout 1800 " + shq( quilt_test::bin_dir() + "/Quilter" ) + " " + shq( data ) + " " +
	                            shq( quilt_test::shared_file( "complexes/1z5s/1z5s_10.mrc" ) ) + " 10 -nco 4";
	int told = 0;
	for ( long kb : { 15000L, 30000L } ) {
		std::string out;
		int const status = run_shell( "( ulimit -v " + std::to_string( kb ) + " && " + quilter + " )", out );
		std::string const where = "ulimit -v " + std::to_string( kb ) + "\n" + out;
		told += says( out, " ran out of memory on chain '" );
		if ( status == 0 ) {
			EXPECT_TRUE( finished( out ) ) << where;
			EXPECT_TRUE( std::filesystem::exists( data + "/segCmodel1.pdb" ) ) << where;
			if ( says( out, " ran out of memory on chain '" ) ) {
				EXPECT_TRUE( memory_limits::says_with_number( out, "    The started programs ran out of memory ", " time" ) )
					<< where;
			}
		} else {
			EXPECT_EQ( status, 1 ) << where;
			EXPECT_TRUE( says( out, kError + "Memory ran out" ) ||
			             says( out, kError + "No final model was written: no chain could be placed (the started programs "
			                                 "ran out of memory " ) )
				<< where;
			EXPECT_FALSE( std::filesystem::exists( data + "/segCmodel1.pdb" ) ) << where;
		}
		for ( auto const& e : std::filesystem::directory_iterator( data ) )
			EXPECT_EQ( e.path().filename().string().rfind( "segtemp", 0 ), std::string::npos ) << where;
		std::filesystem::remove( data + "/segCmodel1.pdb" );
	}
	EXPECT_GE( told, 1 ) << "no started program ran out of memory under either limit";
}
