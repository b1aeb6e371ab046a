#include "apps/siblings/worker_threads.hh"

#include <iostream>
#include <new>
#include <system_error>
#include <vector>

namespace siblings {

namespace {

std::thread start_thread( std::function<void()> body ) { return std::thread( std::move( body ) ); }

ThreadStarter starter_in_use = &start_thread;
// The last shortfall reported: several searches of one run meet the same
// limit, and it is said once.
int warnedWanted = 0, warnedRunning = 0;

} // namespace

ThreadStarter set_thread_starter( ThreadStarter starter )
{
	ThreadStarter const before = starter_in_use;
	starter_in_use = starter ? starter : &start_thread;
	warnedWanted = warnedRunning = 0;
	return before;
}

int run_on_threads( int wanted, std::function<void( int )> const& work )
{
	std::vector<std::thread> started;
	for ( int t = 1; t < wanted; ++t ) {
		try {
			// Room first: a started thread must not be dropped unjoined.
			if ( started.empty() ) started.reserve( size_t( wanted - 1 ) );
			started.push_back( starter_in_use( [&work, t]() { work( t ); } ) );
		} catch ( std::system_error const& ) {
			break;
		} catch ( std::bad_alloc const& ) {
			break;
		}
	}
	int const running = 1 + int( started.size() );
	if ( running < wanted && ( wanted != warnedWanted || running != warnedRunning ) ) {
		std::cout << "Warning! Only " << running << " of " << wanted << " threads could be started; the work goes on with "
		          << running << "." << std::endl;
		warnedWanted = wanted;
		warnedRunning = running;
	}
	work( 0 );
	for ( std::thread& th : started ) th.join();
	return running;
}

} // namespace siblings
