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
#include <new>
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

// Catches a failure on a started thread ending the program (std::terminate
// out of the thread): the exception reaches the caller, once the other
// threads have done their work.
TEST( WorkerThreads, AFailureOnAThreadReachesTheCaller )
{
	for ( int failing : { 2, 0 } ) {
		std::atomic<int> finished( 0 );
		EXPECT_THROW( run_on_threads( 4,
			              [&]( int t ) {
				              if ( t == failing ) throw std::bad_alloc();
				              ++finished;
			              } ),
			std::bad_alloc )
			<< "failing thread " << failing;
		EXPECT_EQ( finished.load(), 3 ) << "failing thread " << failing;
	}
}

// Catches work spaces made for the threads asked for rather than for those
// that started (memory for 256 correlators on a machine that starts 23
// threads): they are made for the threads running, on the calling thread,
// before any work.
TEST_F( RefusedThreads, WorkSpacesAreMadeForTheThreadsThatStarted )
{
	grant( 2 );
	std::vector<int> made;
	std::atomic<int> workedBeforeAllMade( 0 );
	std::thread::id const self = std::this_thread::get_id();
	bool preparedElsewhere = false;
	testing::internal::CaptureStdout();
	int const running = run_on_threads(
		8, [&]( int ) { workedBeforeAllMade += made.size() != 3; },
		[&]( int t ) {
			preparedElsewhere = preparedElsewhere || std::this_thread::get_id() != self;
			made.push_back( t );
		} );
	testing::internal::GetCapturedStdout();
	EXPECT_EQ( running, 3 );
	EXPECT_EQ( made, ( std::vector<int>{ 0, 1, 2 } ) );
	EXPECT_FALSE( preparedElsewhere );
	EXPECT_EQ( workedBeforeAllMade.load(), 0 );
}

// Catches the program stopping when memory runs out for the work space of
// one of several threads: the work goes on with the threads that got one,
// each job done once, and a warning says so.
TEST( WorkerThreads, FewerThreadsWorkWhenTheirSpacesDoNotFit )
{
	set_thread_starter( nullptr ); // forgets the shortfalls said before
	int const count = 500;
	std::vector<std::atomic<int> > done( count );
	std::atomic<int> badThread( 0 );
	testing::internal::CaptureStdout();
	int const running = rasterseek::detail::run_parallel(
		4, count,
		[&]( int t, int i ) {
			if ( t >= 2 ) ++badThread;
			++done[i];
		},
		[]( int t ) {
			if ( t == 2 ) throw std::bad_alloc();
		} );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_EQ( running, 2 );
	EXPECT_EQ( badThread.load(), 0 );
	for ( int i = 0; i < count; ++i ) EXPECT_EQ( done[i].load(), 1 ) << i;
	EXPECT_EQ( out, "Warning! Memory ran out for the work space of 4 threads; the work goes on with 2.\n" );
	// Not even the calling thread's space: the failure is the caller's.
	EXPECT_THROW( rasterseek::detail::run_parallel(
		              1, count, []( int, int ) {}, []( int ) { throw std::bad_alloc(); } ),
		std::bad_alloc );
}

// Catches a search that stops when memory runs out in the work of several
// threads although fewer would have room: the work is set back and done
// again on half the threads (a warning says so), every job once in the
// round that counts; on one thread the failure is the caller's.
TEST( WorkerThreads, WorkThatRunsOutIsDoneAgainOnFewerThreads )
{
	set_thread_starter( nullptr );
	int const count = 300;
	std::vector<std::atomic<int> > done( count );
	std::atomic<int> rounds( 1 ), spaces( 0 );
	int agains = 0;
	testing::internal::CaptureStdout();
	int const running = rasterseek::detail::run_parallel(
		4, count,
		[&]( int t, int i ) {
			// The first round runs out in its work, the second on the
			// calling thread's space.
			if ( rounds == 1 && i == 0 ) throw std::bad_alloc();
			++done[i];
		},
		[&]( int t ) {
			++spaces;
			if ( rounds == 2 && t == 0 ) throw std::bad_alloc();
		},
		[&]() {
			++agains;
			++rounds;
			spaces = 0;
			for ( auto& d : done ) d = 0;
		} );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_EQ( agains, 2 );
	EXPECT_EQ( running, 1 );
	EXPECT_EQ( spaces.load(), 1 );
	for ( int i = 0; i < count; ++i ) EXPECT_EQ( done[i].load(), 1 ) << i;
	EXPECT_EQ( out, "Warning! Memory ran out for the work of 4 threads; the work is done again on 2.\n"
	                "Warning! Memory ran out for the work of 2 threads; the work is done again on 1.\n" );

	testing::internal::CaptureStdout();
	EXPECT_THROW( rasterseek::detail::run_parallel(
		              1, count, []( int, int ) { throw std::bad_alloc(); }, nullptr, [] {} ),
		std::bad_alloc );
	EXPECT_EQ( testing::internal::GetCapturedStdout(), "" );
}
