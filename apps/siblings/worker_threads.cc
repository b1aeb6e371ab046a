#include "apps/siblings/worker_threads.hh"

#include "utility/memory_stop.hh"

#include <condition_variable>
#include <exception>
#include <iostream>
#include <mutex>
#include <new>
#include <system_error>
#include <vector>

namespace siblings {

namespace {

std::thread start_thread( std::function<void()> body ) { return std::thread( std::move( body ) ); }

ThreadStarter starter_in_use = &start_thread;

// The last shortfall reported: several searches of one run meet the same
// limit, and it is said once.
struct Shortfall {
	int wanted = 0, running = 0;
	// True when (wanted, running) differs from the last one said.
	bool fresh( int w, int r )
	{
		if ( w == wanted && r == running ) return false;
		wanted = w;
		running = r;
		return true;
	}
};
Shortfall startShortfall, spaceShortfall;

// Where the started threads wait until their work spaces are made, and how
// many of them then take part.
struct Gate {
	std::mutex m;
	std::condition_variable opened;
	bool open = false;
	int taking = 0;
	std::exception_ptr failure; // the first exception of any thread's work

	void let_through( int n )
	{
		{
			std::lock_guard<std::mutex> lock( m );
			if ( open ) return;
			taking = n;
			open = true;
		}
		opened.notify_all();
	}
	// Waits for the gate; whether thread t takes part.
	bool wait( int t )
	{
		std::unique_lock<std::mutex> lock( m );
		opened.wait( lock, [this] { return open; } );
		return t < taking;
	}
	void fail( std::exception_ptr e )
	{
		std::lock_guard<std::mutex> lock( m );
		if ( !failure ) failure = e;
	}
};

// One round of run_on_threads; `taking` gets the number of threads that
// took part (or, when the space of thread 0 could not be made, that ran),
// also when the round fails.
void run_round( int wanted, std::function<void( int )> const& work, std::function<void( int )> const& prepare,
	int& taking )
{
	Gate gate;
	auto run = [&work, &gate]( int t ) {
		try {
			work( t );
		} catch ( ... ) {
			gate.fail( std::current_exception() );
		}
	};
	std::vector<std::thread> started;
	// Every started thread is let through and joined, whatever happens on
	// the calling thread: a thread dropped unjoined would end the program.
	struct Joiner {
		Gate& gate;
		std::vector<std::thread>& threads;
		~Joiner()
		{
			gate.let_through( 0 );
			for ( std::thread& th : threads )
				if ( th.joinable() ) th.join();
		}
	} const joiner{ gate, started };

	for ( int t = 1; t < wanted; ++t ) {
		try {
			// Room first: a started thread must not be dropped unjoined.
			if ( started.empty() ) started.reserve( size_t( wanted - 1 ) );
			started.push_back( starter_in_use( [&gate, &run, t]() {
				if ( gate.wait( t ) ) run( t );
			} ) );
		} catch ( std::system_error const& ) {
			break;
		} catch ( std::bad_alloc const& ) {
			utility::forget_allocation_failure();
			break;
		}
	}
	int const running = 1 + int( started.size() );
	if ( running < wanted && startShortfall.fresh( wanted, running ) )
		std::cout << "Warning! Only " << running << " of " << wanted << " threads could be started; the work goes on with "
		          << running << "." << std::endl;

	taking = running;
	if ( prepare ) {
		for ( int t = 0; t < running; ++t ) {
			try {
				prepare( t );
			} catch ( std::bad_alloc const& ) {
				if ( t == 0 ) throw;
				utility::forget_allocation_failure();
				taking = t;
				break;
			}
		}
		if ( taking < running && spaceShortfall.fresh( running, taking ) )
			std::cout << "Warning! Memory ran out for the work space of " << running << " threads; the work goes on with "
			          << taking << "." << std::endl;
	}
	gate.let_through( taking );
	// The threads left without work end at once: their stacks are given back
	// before the work needs the room.
	for ( int t = taking; t < running; ++t ) started[size_t( t - 1 )].join();
	run( 0 );
	for ( std::thread& th : started )
		if ( th.joinable() ) th.join();
	if ( gate.failure ) std::rethrow_exception( gate.failure );
}

} // namespace

ThreadStarter set_thread_starter( ThreadStarter starter )
{
	ThreadStarter const before = starter_in_use;
	starter_in_use = starter ? starter : &start_thread;
	startShortfall = spaceShortfall = Shortfall();
	return before;
}

int run_on_threads( int wanted, std::function<void( int )> const& work, std::function<void( int )> const& prepare,
	std::function<void()> const& again )
{
	if ( wanted < 1 ) wanted = 1;
	while ( true ) {
		int taking = 1;
		try {
			run_round( wanted, work, prepare, taking );
			return taking;
		} catch ( std::bad_alloc const& ) {
			if ( !again || taking <= 1 ) throw;
		}
		// Every thread has stopped: the round is dropped and done again on
		// fewer threads, which leave more room for the work of each.
		utility::forget_allocation_failure();
		wanted = taking / 2;
		std::cout << "Warning! Memory ran out for the work of " << taking << " threads; the work is done again on "
		          << wanted << "." << std::endl;
		again();
	}
}

} // namespace siblings
