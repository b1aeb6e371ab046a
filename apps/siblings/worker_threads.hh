// Worker threads of the sibling programs.  A machine may refuse threads
// (process or memory limits); the work then goes on with those it got,
// down to the calling thread alone, and never stops for it.
#ifndef QUILT_SIBLINGS_WORKER_THREADS_HH
#define QUILT_SIBLINGS_WORKER_THREADS_HH

#include <functional>
#include <thread>

namespace siblings {

// Starts one thread running `body`; throws std::system_error when the
// system cannot start it, as std::thread does.
using ThreadStarter = std::thread ( * )( std::function<void()> body );

// Makes `starter` the function run_on_threads starts its threads with (a
// test swaps in one that fails; null: the plain std::thread) and forgets
// the shortfall last reported; returns the starter it replaces.
ThreadStarter set_thread_starter( ThreadStarter starter );

// Runs work(t) once on each of up to `wanted` threads, t counting from 0:
// the calling thread is thread 0 and the others are started for it.  When
// the system refuses a thread, no further one is tried and the work goes on
// with those running; a warning says how many (once for each shortfall that
// differs from the last one reported).  Returns the number of threads that
// ran work, at least 1.  Called from one thread at a time.
int run_on_threads( int wanted, std::function<void( int )> const& work );

} // namespace siblings

#endif
