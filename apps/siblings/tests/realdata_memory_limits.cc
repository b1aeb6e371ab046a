// The fitting programs on real structures on a machine short of memory
// (ulimit -v): Rasterseek asked for 256 threads on the 1Z5S case, where the
// system starts a few dozen and their stacks take most of the room, and
// Lobetune refining a 1Z5S chain where its work has no room.
#include "apps/siblings/tests/memory_limit_runs.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <filesystem>

using quilter_test::file_text;
using quilter_test::run_shell;
using quilter_test::says;
using quilter_test::shq;

namespace {

std::string program( std::string const& name ) { return "timeout 900 " + shq( quilt_test::bin_dir() + "/" + name ); }

// The 1Z5S map and its chain A in a scratch directory.
struct Case1z5s {
	quilt_test::ScratchDir root{ "quilt memory 1z5s" };
	Case1z5s()
	{
		std::filesystem::copy_file( quilt_test::shared_file( "complexes/1z5s/1z5s_10.mrc" ), root.file( "map.mrc" ) );
		std::filesystem::copy_file( quilt_test::shared_file( "complexes/1z5s/1z5s_A.pdb" ), root.file( "chain1.pdb" ) );
	}
	int run( std::string const& command, long limitKb, std::string& out ) const
	{
		std::string const limit = limitKb > 0 ? "ulimit -v " + std::to_string( limitKb ) + " && " : std::string();
		return run_shell( "cd " + shq( root.path() ) + " && ( " + limit + command + " )", out );
	}
};

} // namespace

// Catches the abort after the thread shortfall ("terminate called
// recursively", status 134): the correlators were made for the 256 threads
// asked for, not for those that started.  The search goes on with the
// threads that have room and finds what it finds on one thread.
TEST( RealdataMemoryLimits, RasterseekOnFewerThreadsThanAskedFor )
{
	QUILT_REQUIRE_SHARED_DATA();
	if ( memory_limits::kSanitized ) GTEST_SKIP() << "an address-space limit cannot be set under AddressSanitizer";
	Case1z5s c;
	std::string out;
	ASSERT_EQ( c.run( program( "Rasterseek" ) + " map.mrc chain1.pdb one -res 10 -explor 3", 0, out ), 0 ) << out;
	for ( long kb : { 2000000L, 1000000L } ) {
		std::string const name = "many" + std::to_string( kb );
		int const status = c.run( program( "Rasterseek" ) + " map.mrc chain1.pdb " + name + " -res 10 -nprocs 256 -explor 3",
			kb, out );
		ASSERT_EQ( status, 0 ) << "ulimit -v " << kb << "\n" << out;
		EXPECT_TRUE( memory_limits::says_with_number( out, "Warning! Only ", " of 256 threads could be started" ) ) << out;
		EXPECT_TRUE( says( out, "Warning! Memory ran out for the work" ) ) << out;
		for ( std::string const k : { "_001.pdb", "_002.pdb", "_003.pdb" } )
			EXPECT_TRUE( file_text( c.root.file( name + k ) ) == file_text( c.root.file( "one" + k ) ) ) << kb << " " << k;
	}
	EXPECT_EQ( memory_limits::tree( c.root.path() ),
		( std::vector< std::string >{ "chain1.pdb", "many1000000_001.pdb", "many1000000_002.pdb", "many1000000_003.pdb",
			"many2000000_001.pdb", "many2000000_002.pdb", "many2000000_003.pdb", "map.mrc", "one_001.pdb", "one_002.pdb",
			"one_003.pdb" } ) );
}

// Catches the abort of Lobetune when memory runs out while it refines a
// chain of 156 residues (status 134 between the limits that leave no room
// for the map and those that leave room for everything).
TEST( RealdataMemoryLimits, LobetuneUnderLimits )
{
	QUILT_REQUIRE_SHARED_DATA();
	if ( memory_limits::kSanitized ) GTEST_SKIP() << "an address-space limit cannot be set under AddressSanitizer";
	Case1z5s c;
	memory_limits::Sweep const s = memory_limits::run_under_limits( c.root.path(),
		program( "Lobetune" ) + " map.mrc chain1.pdb 10 -on tuned.pdb -sl 0", { "tuned_1.pdb" },
		{ 6000, 7000, 8000, 9000, 9500, 10000, 10500, 11000, 11500, 12000, 12500, 13000, 14000, 16000, 24000 } );
	EXPECT_GE( s.succeeded, 1 );
	EXPECT_GE( s.memoryStops, 1 );
}
