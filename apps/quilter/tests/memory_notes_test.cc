// The notes a started program leaves when memory runs out for it, written by
// the programs' own memory stop (utility/memory_stop.hh) and read by the run
// to tell such a stop from any other failure.  The stand-ins here start
// run_out_of_memory (tools/), a program that runs out of memory through the
// same module, so that the notes are the real ones: each run names every
// program that ran out, with its line, counts them, and names no other
// failure for them.
#include "apps/quilter/tests/quilter_run_case.hh"

#include <gtest/gtest.h>

using namespace quilter_test;

namespace {

// A stand-in body that runs out of memory in `step` (`how`: "alloc" or
// "length", see tools/run_out_of_memory.cc) for the chains of pattern.
std::string run_out( std::string const& pattern, std::string const& step, std::string const& how )
{
	return pattern + ") exec " + shq( quilt_test::bin_dir() + "/run_out_of_memory" ) + " " + shq( step ) + " " + how +
	       ";; ";
}

} // namespace

// Catches a note that writes over the one before (the notes file opened
// without appending): of two programs that ran out in one run the second
// was said to have "ended with status 1" and the count was one short.  And
// a step that had ended named for a failure in a later one: a search that
// asked for more than a vector holds was said to have run out "while
// reading the command line".
TEST( QuilterMemoryNotes, EveryStartedProgramThatRunsOutIsNamedWithItsOwnLine )
{
	if ( quilt_test::kAddressSanitized ) GTEST_SKIP() << "the sanitizer's allocator aborts on a request of 1 PB";
	RunCase c;
	c.script( "Rasterseek", "case \"$3\" in " + run_out( "chain1_*|chain2_*", "searching poses", "alloc" ) +
	                            run_out( "chain3_*", "searching poses", "length" ) + "esac\ncp \"$2\" \"$3_001.pdb\"\n" );
	c.script( "Placer", kPlacerInPlace );
	std::string out;
	EXPECT_EQ( c.quilter( out ), 0 ) << out;
	for ( std::string const chain : { "chain1_A", "chain2_B" } )
		EXPECT_EQ( quilt_test::occurrences( out, "Warning! Rasterseek ran out of memory on chain '" + chain +
		                              "' (status 1): Memory ran out while searching poses (1024.0 TB could not be "
		                              "allocated).\n" ),
			1u )
			<< chain << "\n" << out;
	EXPECT_EQ( quilt_test::occurrences( out, "Warning! Rasterseek ran out of memory on chain 'chain3_C' (status 1): Memory ran out "
	                          "while searching poses (more memory was asked for than can be addressed).\n" ),
		1u )
		<< out;
	EXPECT_FALSE( says( out, "Warning! Rasterseek ended with status" ) ) << out;
	EXPECT_TRUE( says( out, "    The started programs ran out of memory 3 times: placements may be missing or worse "
	                        "than the map allows." ) )
		<< out;
	EXPECT_TRUE( finished( out ) ) << out;
	EXPECT_TRUE( c.leftovers().empty() );
}

// Catches the note of an earlier program pinned on a later failure that was
// not for memory: chain 1's search runs out, chain 2's ends with status 2,
// and the run said chain 2's had run out of memory too ("2 times").
TEST( QuilterMemoryNotes, AnEarlierNoteIsNotPinnedOnALaterFailure )
{
	if ( quilt_test::kAddressSanitized ) GTEST_SKIP() << "the sanitizer's allocator aborts on a request of 1 PB";
	RunCase c;
	c.script( "Rasterseek", "case \"$3\" in " + run_out( "chain1_*", "searching poses", "alloc" ) +
	                            "chain2_*) echo 'Error! The map is not usable.'; exit 2;; esac\ncp \"$2\" \"$3_001.pdb\"\n" );
	c.script( "Placer", kPlacerInPlace );
	std::string out;
	EXPECT_EQ( c.quilter( out ), 0 ) << out;
	EXPECT_TRUE( says( out, "Warning! Rasterseek ran out of memory on chain 'chain1_A' (status 1): Memory ran out while "
	                        "searching poses (1024.0 TB could not be allocated).\n" ) )
		<< out;
	std::size_t const first = out.find( "Warning! Rasterseek ran out of memory on chain 'chain1_A'" );
	std::size_t const second = out.find( "Warning! Rasterseek ended with status 2 on chain 'chain2_B'.\n" );
	EXPECT_NE( second, std::string::npos ) << out;
	// The failure that could be mistaken comes after the note.
	EXPECT_LT( first, second ) << out;
	EXPECT_FALSE( says( out, "ran out of memory on chain 'chain2_B'" ) ) << out;
	EXPECT_TRUE( says( out, "    The started programs ran out of memory 1 time: placements may be missing or worse "
	                        "than the map allows." ) )
		<< out;
	EXPECT_TRUE( finished( out ) ) << out;
}
