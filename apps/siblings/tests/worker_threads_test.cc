// Worker threads when the system refuses some: a thread-start function that
// fails after a set number of threads stands for a machine at its process
// or memory limit.  The work is done all the same, on the threads that ran,
// and a warning says how many.
#include "apps/siblings/rasterseek_internal.hh"
#include "apps/siblings/worker_threads.hh"

#include <gtest/gtest.h>

#include <atomic>
#include <cerrno>
#include <mutex>
#include <set>
#include <system_error>
#include <vector>

using siblings::run_on_threads;
using siblings::set_thread_starter;

namespace {

// Threads the failing starter still grants.
std::atomic<int> granted( 0 );

std::thread start_while_granted( std::function<void()> body )
{
	if ( granted.fetch_sub( 1 ) <= 0 ) throw std::system_error( EAGAIN, std::generic_category(), "refused" );
	return std::thread( std::move( body ) );
}

// Puts the failing starter in place for one test, granting `n` threads.
class RefusedThreads : public testing::Test {
protected:
	void grant( int n )
	{
		granted = n;
		previous_ = set_thread_starter( &start_while_granted );
	}
	void TearDown() override { set_thread_starter( previous_ ); }

private:
	siblings::ThreadStarter previous_ = nullptr;
};

} // namespace

// Catches a refused thread ending the program (std::system_error out of the
// start): two of seven extra threads start, the three threads do the work,
// each once, and the warning gives the count.
TEST_F( RefusedThreads, WorkGoesOnWithTheThreadsThatStarted )
{
	grant( 2 );
	std::mutex m;
	std::multiset<int> ran;
	testing::internal::CaptureStdout();
	int const running = run_on_threads( 8, [&]( int t ) {
		std::lock_guard<std::mutex> lock( m );
		ran.insert( t );
	} );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_EQ( running, 3 );
	EXPECT_EQ( ran, ( std::multiset<int>{ 0, 1, 2 } ) );
	EXPECT_EQ( out, "Warning! Only 3 of 8 threads could be started; the work goes on with 3.\n" );
}

// Catches work lost or a crash when no thread at all can be started: the
// calling thread does it alone.
TEST_F( RefusedThreads, NoThreadLeavesTheCallingThread )
{
	grant( 0 );
	std::thread::id const self = std::this_thread::get_id();
	std::vector<std::thread::id> ran;
	testing::internal::CaptureStdout();
	int const running = run_on_threads( 4, [&]( int ) { ran.push_back( std::this_thread::get_id() ); } );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_EQ( running, 1 );
	EXPECT_EQ( ran, std::vector<std::thread::id>{ self } );
	EXPECT_NE( out.find( "Only 1 of 4 threads could be started" ), std::string::npos ) << out;
}

// Catches jobs skipped or done twice when fewer threads run than were
// planned for, and thread numbers beyond the per-thread state made for the
// plan.
TEST_F( RefusedThreads, ParallelJobsAreEachDoneOnce )
{
	grant( 1 );
	int const count = 1000;
	std::vector<std::atomic<int> > done( count );
	std::atomic<int> badThread( 0 );
	testing::internal::CaptureStdout();
	int const running = rasterseek::detail::run_parallel( 6, count, [&]( int t, int i ) {
		if ( t < 0 || t >= 6 ) ++badThread;
		++done[i];
	} );
	testing::internal::GetCapturedStdout();
	EXPECT_EQ( running, 2 );
	EXPECT_EQ( badThread.load(), 0 );
	for ( int i = 0; i < count; ++i ) EXPECT_EQ( done[i].load(), 1 ) << i;
}

// Catches one warning per search: a run whose searches meet the same limit
// says it once, and again only when the count changes.
TEST_F( RefusedThreads, TheSameShortfallIsReportedOnce )
{
	grant( 1 );
	testing::internal::CaptureStdout();
	run_on_threads( 4, []( int ) {} );
	granted = 1;
	run_on_threads( 4, []( int ) {} );
	granted = 0;
	run_on_threads( 4, []( int ) {} );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_EQ( out, "Warning! Only 2 of 4 threads could be started; the work goes on with 2.\n"
	                "Warning! Only 1 of 4 threads could be started; the work goes on with 1.\n" );
}

// Catches a warning or a lost thread where the system grants every thread.
TEST( WorkerThreads, AllThreadsRunWhenTheSystemGrantsThem )
{
	std::mutex m;
	std::set<std::thread::id> ids;
	testing::internal::CaptureStdout();
	int const running = run_on_threads( 4, [&]( int ) {
		std::lock_guard<std::mutex> lock( m );
		ids.insert( std::this_thread::get_id() );
	} );
	EXPECT_EQ( testing::internal::GetCapturedStdout(), "" );
	EXPECT_EQ( running, 4 );
	EXPECT_EQ( ids.size(), 4u );
}
