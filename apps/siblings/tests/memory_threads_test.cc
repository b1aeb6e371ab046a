// The worker threads when memory runs out for some of them, with failures
// recorded as the programs' operator new records them (utility/memory_stop.hh).
// A shortfall the work goes on from (a thread that could not be started, a
// work space that did not fit, a round done again on fewer threads) must
// leave no failure recorded: the program checks for one before it writes its
// results, and would end with the memory line although its work was done.  A
// failure the work cannot go on from reaches the caller with its size.
#include "apps/siblings/worker_threads.hh"
#include "utility/memory_stop.hh"

#include <gtest/gtest.h>

#include <atomic>
#include <new>
#include <string>
#include <vector>

using siblings::run_on_threads;
using siblings::set_thread_starter;

namespace {

std::size_t const kSpace = std::size_t( 48 ) << 20; // 48 MB

// Threads the starter still grants; past them it runs out of memory.
std::atomic< int > granted( 0 );

std::thread start_while_granted( std::function< void() > body )
{
	if ( granted.fetch_sub( 1 ) <= 0 ) utility::throw_allocation_failure( kSpace );
	return std::thread( std::move( body ) );
}

class ThreadsOutOfMemory : public testing::Test {
protected:
	void SetUp() override
	{
		utility::forget_allocation_failure();
		set_thread_starter( nullptr ); // forgets the shortfalls said before
	}
	void TearDown() override
	{
		set_thread_starter( nullptr );
		utility::forget_allocation_failure();
	}
	// The memory line as it would be printed now.
	static std::string stop_text()
	{
		char buf[ 512 ];
		return utility::memory_stop_text( buf, sizeof buf );
	}
};

} // namespace

// Catches a failure left recorded after a thread could not be started for
// want of memory: the work was done on the threads that started.
TEST_F( ThreadsOutOfMemory, AThreadThatCouldNotStartLeavesNoFailure )
{
	granted = 1;
	set_thread_starter( &start_while_granted );
	std::vector< std::atomic< int > > done( 4 );
	testing::internal::CaptureStdout();
	int const running = run_on_threads( 4, [&]( int t ) { ++done[ t ]; } );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_EQ( running, 2 );
	EXPECT_EQ( done[ 0 ] + done[ 1 ], 2 );
	EXPECT_EQ( out, "Warning! Only 2 of 4 threads could be started; the work goes on with 2.\n" );
	EXPECT_FALSE( utility::memory_ran_out() ) << stop_text();
	EXPECT_NO_THROW( utility::throw_if_memory_ran_out() );
}

// Catches a failure left recorded after the work space of a thread did not
// fit: the work went on with the threads that got one.
TEST_F( ThreadsOutOfMemory, AWorkSpaceThatDidNotFitLeavesNoFailure )
{
	std::vector< std::atomic< int > > done( 4 );
	testing::internal::CaptureStdout();
	int const running = run_on_threads(
		4, [&]( int t ) { ++done[ t ]; },
		[]( int t ) {
			if ( t == 2 ) utility::throw_allocation_failure( kSpace );
		} );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_EQ( running, 2 );
	EXPECT_EQ( done[ 0 ] + done[ 1 ], 2 );
	EXPECT_EQ( done[ 2 ] + done[ 3 ], 0 );
	EXPECT_EQ( out, "Warning! Memory ran out for the work space of 4 threads; the work goes on with 2.\n" );
	EXPECT_FALSE( utility::memory_ran_out() ) << stop_text();
	EXPECT_NO_THROW( utility::throw_if_memory_ran_out() );
}

// Catches a failure left recorded after the work was done again on fewer
// threads, and a failure that no fallback meets losing its size.
TEST_F( ThreadsOutOfMemory, WorkDoneAgainLeavesNoFailureAndTheLastFailureKeepsItsSize )
{
	std::atomic< int > rounds( 0 );
	testing::internal::CaptureStdout();
	int const running = run_on_threads(
		4,
		[&]( int t ) {
			if ( rounds == 1 && t == 1 ) utility::throw_allocation_failure( kSpace );
		},
		[&]( int t ) {
			if ( t == 0 ) ++rounds;
		},
		[] {} );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_EQ( running, 2 );
	EXPECT_EQ( rounds.load(), 2 );
	EXPECT_EQ( out, "Warning! Memory ran out for the work of 4 threads; the work is done again on 2.\n" );
	EXPECT_FALSE( utility::memory_ran_out() ) << stop_text();

	// On one thread there is nothing to fall back to: the failure is the
	// caller's, with its size.
	{
		utility::MemoryStep const step( "searching poses" );
		EXPECT_THROW( run_on_threads(
			              1, []( int ) { utility::throw_allocation_failure( kSpace ); }, nullptr, [] {} ),
			std::bad_alloc );
		EXPECT_TRUE( utility::memory_ran_out() );
		EXPECT_EQ( stop_text(), "Memory ran out while searching poses (48.0 MB could not be allocated)" );
	}
	// Nor when the calling thread's own space does not fit.
	utility::forget_allocation_failure();
	EXPECT_THROW( run_on_threads(
		              4, []( int ) {}, []( int t ) {
			              if ( t == 0 ) utility::throw_allocation_failure( kSpace );
		              } ),
		std::bad_alloc );
	EXPECT_EQ( utility::failed_allocation_size(), kSpace );
}
