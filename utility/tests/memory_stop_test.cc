// Running out of memory: the line a program ends with names the step it was
// in and the size that could not be had, also after the failure has unwound
// the steps, and allocation failures keep the rules of operator new.
#include "utility/memory_stop.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <new>
#include <stdexcept>
#include <sstream>
#include <string>
#include <vector>

using utility::MemoryStep;

namespace {

std::string stop_text()
{
	char buf[512];
	return utility::memory_stop_text( buf, sizeof buf );
}

// The status and standard output of run_with_memory_stop around body.
template <class Body>
int stopped( Body&& body, std::string& out )
{
	testing::internal::CaptureStdout();
	int const status = utility::run_with_memory_stop( "Error!", "no model written.", body );
	out = testing::internal::GetCapturedStdout();
	return status;
}

// Leaves no injected failure and no recorded failure behind.
class MemoryStop : public testing::Test {
protected:
	void TearDown() override
	{
		utility::fail_allocation_in_step( nullptr, -1 );
		utility::forget_allocation_failure();
	}
};

} // namespace

// Catches a line that names the outer step, or none, once the failure has
// unwound the inner one, and a size lost on the way.
TEST_F( MemoryStop, TheLineNamesTheInnermostStepAndTheSize )
{
	std::string out;
	int const status = stopped(
		[] {
			MemoryStep const outer( "loading the map" );
			MemoryStep const inner( "searching poses" );
			utility::throw_allocation_failure( 2254857830 ); // 2.1 x 2^30
			return 0;
		},
		out );
	EXPECT_EQ( status, 1 );
	EXPECT_EQ( out, "Error! Memory ran out while searching poses (2.1 GB could not be allocated); no model written.\n" );
}

// Catches a step named after it has ended, and sizes in the wrong unit.
TEST_F( MemoryStop, StepsFollowTheScopesAndSizesTheirUnits )
{
	{
		MemoryStep step( "reading the model" );
		step.now( "writing the results" );
		try {
			utility::throw_allocation_failure( 340 * 1024 * 1024 );
		} catch ( std::bad_alloc const& ) {
		}
		EXPECT_EQ( stop_text(), "Memory ran out while writing the results (340.0 MB could not be allocated)" );
	}
	{
		MemoryStep const next( "ranking the poses" );
		// A failure met later (one a stream swallowed) keeps its own step.
		EXPECT_TRUE( utility::memory_ran_out() );
		EXPECT_THROW( utility::throw_if_memory_ran_out(), std::bad_alloc );
		EXPECT_EQ( stop_text(), "Memory ran out while writing the results (340.0 MB could not be allocated)" );
		utility::forget_allocation_failure();
		EXPECT_FALSE( utility::memory_ran_out() );
		EXPECT_NO_THROW( utility::throw_if_memory_ran_out() );
		utility::note_allocation_failure( 96 );
		EXPECT_EQ( stop_text(), "Memory ran out while ranking the poses (96 bytes could not be allocated)" );
		utility::note_allocation_failure( 12800 );
		EXPECT_EQ( stop_text(), "Memory ran out while ranking the poses (12.5 kB could not be allocated)" );
	}
	utility::forget_allocation_failure();
	EXPECT_EQ( stop_text(), "Memory ran out" );
}

// Catches a container's length_error (a size no memory can hold) ending the
// program with an abort instead of the line, and a stale size in it.
TEST_F( MemoryStop, ASizeBeyondAContainerIsTheSameStop )
{
	utility::note_allocation_failure( 5000 );
	std::string out;
	int const status = stopped(
		[] {
			MemoryStep const step( "sizing the search grid" );
			std::vector<double> v;
			v.reserve( v.max_size() + 1 );
			return 0;
		},
		out );
	EXPECT_EQ( status, 1 );
	EXPECT_EQ( out, "Error! Memory ran out while sizing the search grid (more memory was asked for than can be addressed); "
	                "no model written.\n" );
}

// Catches the replaced operator new losing the size of a request the system
// refuses, or the new-handler protocol: the handler is called while one is
// set, and only then std::bad_alloc.
TEST_F( MemoryStop, OperatorNewRecordsTheRefusedSizeAfterTheNewHandler )
{
	if ( !utility::allocation_failures_injectable() ) GTEST_SKIP() << "the sanitizer's allocator is in use";
	static int handlerCalls = 0;
	handlerCalls = 0;
	std::new_handler const before = std::set_new_handler( [] {
		++handlerCalls;
		std::set_new_handler( nullptr );
	} );
	// Far beyond any machine's memory: malloc refuses it at once.
	std::size_t const huge = std::size_t( 1 ) << 50;
	std::string out;
	int const status = stopped(
		[&] {
			MemoryStep const step( "making the grids" );
			std::vector<char> v( huge );
			return int( v.size() > 0 );
		},
		out );
	std::set_new_handler( before );
	EXPECT_EQ( handlerCalls, 1 );
	EXPECT_EQ( status, 1 );
	EXPECT_EQ( out, "Error! Memory ran out while making the grids (1024.0 TB could not be allocated); no model written.\n" );
}

// Catches the test hook failing the wrong allocation: the n-th allocation
// after its step begins fails once, and the nothrow form returns null.
TEST_F( MemoryStop, AnInjectedFailureComesInItsStep )
{
	if ( !utility::allocation_failures_injectable() ) GTEST_SKIP() << "the sanitizer's allocator is in use";
	utility::fail_allocation_in_step( "writing the results", 1 );
	std::vector<std::unique_ptr<int> > kept;
	kept.reserve( 8 );
	kept.push_back( std::make_unique<int>( 1 ) );
	{
		MemoryStep const step( "writing the results" );
		kept.push_back( std::make_unique<int>( 2 ) );
		EXPECT_THROW( kept.push_back( std::make_unique<int>( 3 ) ), std::bad_alloc );
		EXPECT_EQ( stop_text(), "Memory ran out while writing the results (4 bytes could not be allocated)" );
		kept.push_back( std::make_unique<int>( 4 ) );
	}
	EXPECT_EQ( kept.size(), 3u );
	utility::fail_allocation_in_step( nullptr, 0 );
	EXPECT_EQ( ::operator new( 8, std::nothrow ), nullptr );
	int* const fine = new int( 5 );
	EXPECT_EQ( *fine, 5 );
	delete fine;
}

// Catches a refusal that hides the memory that ran out: a reader whose
// stream swallowed a failure refuses its input as empty, and the program
// still ends with the memory line (a refusal without one keeps its status).
TEST_F( MemoryStop, ARefusalAfterASwallowedFailureEndsWithTheLine )
{
	std::string out;
	EXPECT_EQ( stopped( [] { return 3; }, out ), 3 );
	EXPECT_EQ( out, "" );
	EXPECT_EQ( stopped(
		           [] {
			           MemoryStep const step( "reading the model" );
			           utility::note_allocation_failure( 4096 ); // as a stream's read that failed and set badbit
			           std::cout << "Error! The model has no atoms." << std::endl;
			           return 1;
		           },
		           out ),
		1 );
	EXPECT_EQ( out, "Error! The model has no atoms.\n"
	                "Error! Memory ran out while reading the model (4.0 kB could not be allocated); no model written.\n" );
}

// Catches a step that ended normally kept as the step of a later failure
// that records none of its own (a container's length_error): the line
// named "reading the command line" for a search that asked for more than a
// vector holds.
TEST_F( MemoryStop, AStepThatEndedIsNotNamedForALaterFailure )
{
	std::string out;
	int const status = stopped(
		[] {
			{
				MemoryStep const reading( "reading the command line" );
			}
			MemoryStep const searching( "searching poses" );
			std::vector<double> v;
			v.reserve( v.max_size() + 1 );
			return 0;
		},
		out );
	EXPECT_EQ( status, 1 );
	EXPECT_EQ( out, "Error! Memory ran out while searching poses (more memory was asked for than can be addressed); "
	                "no model written.\n" );
}

// Catches the outer step lost when an inner one ends: a failure after the
// inner step named no step at all, or the inner one (also where no
// unwinding gives the step back: a failure a stream swallowed).
TEST_F( MemoryStop, AnEndedInnerStepGivesTheOuterStepBack )
{
	std::string out;
	int const status = stopped(
		[] {
			MemoryStep step( "loading the map" );
			{
				MemoryStep const inner( "reading the header" );
			}
			step.now( "writing the results" );
			{
				MemoryStep const inner( "naming the results" );
			}
			utility::throw_allocation_failure( 3 * 1024 * 1024 );
			return 0;
		},
		out );
	EXPECT_EQ( status, 1 );
	EXPECT_EQ( out, "Error! Memory ran out while writing the results (3.0 MB could not be allocated); no model written.\n" );

	// A failure a stream swallowed unwinds no step: the step is the one
	// live when it came.
	utility::forget_allocation_failure();
	EXPECT_EQ( stopped(
		           [] {
			           MemoryStep const step( "reading the model" );
			           {
				           MemoryStep const inner( "reading a record" );
			           }
			           utility::note_allocation_failure( 4096 ); // as a read that failed and set badbit
			           return 1;
		           },
		           out ),
		1 );
	EXPECT_EQ( out, "Error! Memory ran out while reading the model (4.0 kB could not be allocated); no model written.\n" );
}

// Catches a failure that was met and forgotten (the threads went on with
// fewer) still naming its step when a later failure records none.
TEST_F( MemoryStop, AForgottenFailureLeavesNoStepBehind )
{
	std::string out;
	int const status = stopped(
		[] {
			{
				MemoryStep const starting( "starting the threads" );
				try {
					utility::throw_allocation_failure( 8 * 1024 * 1024 );
				} catch ( std::bad_alloc const& ) {
					utility::forget_allocation_failure();
				}
			}
			EXPECT_FALSE( utility::memory_ran_out() );
			MemoryStep const searching( "searching poses" );
			std::vector<double> v;
			v.reserve( v.max_size() + 1 );
			return 0;
		},
		out );
	EXPECT_EQ( status, 1 );
	EXPECT_EQ( out, "Error! Memory ran out while searching poses (more memory was asked for than can be addressed); "
	                "no model written.\n" );
}

// Catches a notes file that keeps only the last stop (opened without
// appending, a second note writes over the first) or is not made: each stop
// adds its text, the line without its tag, as one line.
TEST_F( MemoryStop, EveryStopAddsItsNoteToTheNotesFile )
{
	quilt_test::ScratchDir const dir( "memory_notes" );
	std::string const notes = dir.file( "memory_stops" );
	ASSERT_EQ( ::setenv( utility::kMemoryStopNotes, notes.c_str(), 1 ), 0 );
	std::string out;
	for ( char const* step : { "searching poses", "ranking the poses" } ) {
		EXPECT_EQ( stopped(
			           [step] {
				           MemoryStep const s( step );
				           utility::throw_allocation_failure( 2254857830 );
				           return 0;
			           },
			           out ),
			1 );
		utility::forget_allocation_failure();
	}
	::unsetenv( utility::kMemoryStopNotes );
	std::ifstream in( notes );
	std::stringstream text;
	text << in.rdbuf();
	EXPECT_EQ( text.str(), "Memory ran out while searching poses (2.1 GB could not be allocated)\n"
	                       "Memory ran out while ranking the poses (2.1 GB could not be allocated)\n" );
}
