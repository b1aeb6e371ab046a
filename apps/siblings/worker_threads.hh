// Worker threads of the sibling programs.  A machine may refuse threads
// (process or memory limits); the work then goes on with those it got,
// down to the calling thread alone, and never stops for it.  A thread whose
// work fails (memory ran out, say) never ends the program on its own: the
// failure reaches the calling thread once every thread has stopped, and
// where the work can be done again it is, on fewer threads.
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
// the shortfalls last reported; returns the starter it replaces.
ThreadStarter set_thread_starter( ThreadStarter starter );

// Runs work(t) once on each of up to `wanted` threads, t counting from 0:
// the calling thread is thread 0 and the others are started for it.  When
// the system refuses a thread, no further one is tried and the work goes on
// with those running; a warning says how many (once for each shortfall that
// differs from the last one reported).
//
// Once the threads run, and before any work begins, prepare(t) (when given)
// is called on the calling thread for t = 0, 1, ... in turn, to make thread
// t's work space; so it is sized for the threads that started, and made
// where caches that are not thread-safe may be filled.  When memory runs out
// for the space of thread t >= 1 (std::bad_alloc), the work goes on with t
// threads, with a warning.
//
// When memory runs out for the space of thread 0, or in the work of any
// thread, while several threads take part, and `again` is given: every
// thread is stopped and joined, again() sets the work back to its start
// (the results so far and the work spaces dropped) and the work is done
// anew on half as many threads, with a warning.  Otherwise the exception of
// the work (the first one, should several threads fail) is thrown again on
// the calling thread once every thread has been joined.
//
// Returns the number of threads that did the work, at least 1.  Called from
// one thread at a time.
int run_on_threads( int wanted, std::function<void( int )> const& work,
	std::function<void( int )> const& prepare = nullptr, std::function<void()> const& again = nullptr );

} // namespace siblings

#endif
