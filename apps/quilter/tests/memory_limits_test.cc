// Quilter on a machine short of memory, and started programs that run out
// of it.  Under a range of address-space limits (ulimit -v) a run ends with
// its model or with status 1 and its own "ERROR!" line that says memory ran
// out, its work directory removed; the programs it starts say so when
// memory runs out for them, and the run names them.
#include "apps/quilter/tests/quilter_run_case.hh"
#include "apps/siblings/tests/memory_limit_runs.hh"

#include <gtest/gtest.h>


using namespace quilter_test;

// Catches the abort of an allocation failure in the run itself (status 134,
// its work directory left behind).
TEST( QuilterMemoryLimits, EveryRunEndsWithItsModelOrTheMemoryLine )
{
	if ( memory_limits::kSanitized ) GTEST_SKIP() << "an address-space limit cannot be set under AddressSanitizer";
	RunCase c;
	c.script( "Rasterseek", kRasterseekInPlace );
	c.script( "Placer", kPlacerInPlace );
	std::string const command =
		"timeout 600 " + shq( c.bin + "/Quilter" ) + " " + shq( c.data ) + " " + shq( c.map ) + " 6 -nco 1";
	std::vector< std::string > const results = { "segCmodel1.pdb" };
	memory_limits::Sweep const s = memory_limits::run_under_limits( c.data, command, results,
		memory_limits::limits_for( c.data, command, results ), nullptr, []( int status, std::string const& out ) {
			if ( status == 0 ) {
				EXPECT_TRUE( finished( out ) ) << out;
			}
			if ( status == 1 ) {
				EXPECT_TRUE( says( out, kError + "Memory ran out" ) ) << out;
			}
		} );
	EXPECT_GE( s.succeeded, 1 ) << "no limit left room for the run";
	EXPECT_GE( s.memoryStops, 1 ) << "no limit was too small for the run";
}

// Catches a run that tells a chain left out, or no chain placed, as if the
// programs had found nothing, when they ran out of memory: each such start
// is named with its program, chain and line, the review counts them, and
// the error of a run that placed nothing says why.
TEST( QuilterMemoryLimits, StartedProgramsThatRunOutOfMemoryAreNamed )
{
	RunCase c;
	// The way the programs stop: their line, and its note for the run.
	std::string const outOfMemory = "echo 'Error! Memory ran out while searching poses (2.1 GB could not be allocated); "
	                                "no result written.'; echo 'Memory ran out while searching poses (2.1 GB could not be "
	                                "allocated)' >> \"$QUILT_MEMORY_STOP_NOTES\"; exit 1;;";
	c.script( "Rasterseek", "case \"$3\" in chain2_*) " + outOfMemory + " esac\ncp \"$2\" \"$3_001.pdb\"\n" );
	c.script( "Placer", kPlacerInPlace );
	std::string out;
	EXPECT_EQ( c.quilter( out ), 0 ) << out;
	EXPECT_TRUE( says( out, "Warning! Rasterseek ran out of memory on chain 'chain2_B' (status 1): Memory ran out while "
	                        "searching poses (2.1 GB could not be allocated)." ) )
		<< out;
	EXPECT_FALSE( says( out, "Warning! Rasterseek ended with status 1 on chain 'chain2_B'." ) ) << out;
	EXPECT_TRUE( says( out, "    The started programs ran out of memory 1 time: placements may be missing or worse than "
	                        "the map allows." ) )
		<< out;
	EXPECT_TRUE( finished( out ) );
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 24, 18 } ) );

	// Every search and fit runs out: nothing placed, and the error says why.
	c.script( "Rasterseek", "case \"$3\" in *) " + outOfMemory + " esac\n" );
	c.script( "Placer", "case \"$2\" in *) " + outOfMemory + " esac\n" );
	std::filesystem::remove( c.model() );
	EXPECT_EQ( c.quilter( out ), 1 ) << out;
	EXPECT_TRUE( memory_limits::says_with_number( out,
		"No final model was written: no chain could be placed (the started programs ran out of memory ",
		" times: see the warnings above)." ) )
		<< out;
	EXPECT_FALSE( std::filesystem::exists( c.model() ) );
	EXPECT_TRUE( c.leftovers().empty() );
}
