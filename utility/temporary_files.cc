#include "utility/temporary_files.hh"

#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <new>
#include <pthread.h>
#include <sched.h>
#include <ctime>
#include <unistd.h>

namespace utility {

namespace {

// The recorded names: a growing array of malloc'ed strings, null where a
// name was forgotten.  Changed and read only under g_lock; a handler that
// finds the lock taken waits for the other thread to finish its change (the
// thread holding it blocks the signals meanwhile, so it is never the
// handler's own).
std::atomic_flag g_lock = ATOMIC_FLAG_INIT;
char ** g_names = nullptr;
int g_capacity = 0;
int g_used = 0; // slots in use at the front, some of them null

void lock()
{
	while ( g_lock.test_and_set( std::memory_order_acquire ) ) sched_yield();
}

void unlock() { g_lock.clear( std::memory_order_release ); }

void block_terminating( sigset_t & old )
{
	sigset_t set;
	sigemptyset( &set );
	add_terminating_signals( set );
	pthread_sigmask( SIG_BLOCK, &set, &old );
}

// A free slot for one more name, the array grown when needed; -1 when
// there is no memory for it.  Called under the lock.
int free_slot()
{
	for ( int i = 0; i < g_used; ++i )
		if ( !g_names[ i ] ) return i;
	if ( g_used == g_capacity ) {
		int const grown = g_capacity ? 2 * g_capacity : 64;
		void * more = std::realloc( g_names, sizeof( char * ) * size_t( grown ) );
		if ( !more ) return -1;
		g_names = static_cast< char ** >( more );
		g_capacity = grown;
	}
	return g_used++;
}

// Forgets name; the caller frees what it returns.  Called under the lock.
char * take( char const * name )
{
	char * gone = nullptr;
	for ( int i = 0; i < g_used; ++i ) {
		if ( g_names[ i ] && std::strcmp( g_names[ i ], name ) == 0 ) {
			gone = g_names[ i ];
			g_names[ i ] = nullptr;
			break;
		}
	}
	while ( g_used > 0 && !g_names[ g_used - 1 ] ) --g_used;
	return gone;
}

// Removes name from the record after `step` (a rename, an unlink) was done
// on it under the lock, so that a handler never sees the file without its
// record, nor the record of a file that is gone.  Returns step's result;
// errno is step's.
template < class Step >
int under_lock( char const * name, Step step )
{
	TerminatingSignalBlock const hold;
	lock();
	int const r = step();
	int const err = errno;
	char * gone = r == 0 ? take( name ) : nullptr;
	unlock();
	std::free( gone );
	errno = err;
	return r;
}

void on_terminating_signal( int sig )
{
	remove_temporary_files_signal_safe();
	end_after_terminating_signal( sig );
}

} // namespace

void end_after_terminating_signal( int sig )
{
	if ( sig == SIGABRT ) {
		// An abort (a failed assertion, an uncaught exception) stays an
		// abort once the clean-up is done.
		::signal( SIGABRT, SIG_DFL );
		sigset_t set;
		sigemptyset( &set );
		sigaddset( &set, SIGABRT );
		pthread_sigmask( SIG_UNBLOCK, &set, nullptr );
		::raise( SIGABRT );
	}
	::_exit( 128 + sig );
}

void add_terminating_signals( sigset_t & set )
{
	for_each_terminating_signal( [ &set ]( int s ) { sigaddset( &set, s ); } );
}

TerminatingSignalBlock::TerminatingSignalBlock() { block_terminating( old_ ); }

TerminatingSignalBlock::~TerminatingSignalBlock() { pthread_sigmask( SIG_SETMASK, &old_, nullptr ); }

int make_temporary_file( std::string & pathTemplate )
{
	char * name = ::strdup( pathTemplate.c_str() );
	if ( !name ) {
		errno = ENOMEM;
		return -1;
	}
	int fd = -1, err = 0;
	{
		// The file is made and recorded in one step under the lock: a handler
		// on another thread waits for both.
		TerminatingSignalBlock const hold;
		lock();
		int const slot = free_slot();
		if ( slot < 0 ) {
			err = ENOMEM;
		} else {
			fd = ::mkostemp( name, O_CLOEXEC );
			err = errno;
			if ( fd >= 0 ) {
				g_names[ slot ] = name;
			} else if ( slot == g_used - 1 ) {
				--g_used;
			}
		}
		unlock();
	}
	if ( fd < 0 ) {
		std::free( name );
		errno = err;
		return -1;
	}
	pathTemplate = name;
	return fd;
}

int rename_temporary_file( std::string const & temp, std::string const & target )
{
	return under_lock( temp.c_str(), [ & ] { return ::rename( temp.c_str(), target.c_str() ); } );
}

void remove_temporary_file( std::string const & temp )
{
	int const saved = errno;
	under_lock( temp.c_str(), [ & ] {
		::unlink( temp.c_str() );
		return 0;
	} );
	errno = saved;
}

void forget_temporary_file( std::string const & temp )
{
	int const saved = errno;
	under_lock( temp.c_str(), [] { return 0; } );
	errno = saved;
}

int recorded_temporary_files()
{
	TerminatingSignalBlock const hold;
	lock();
	int n = 0;
	for ( int i = 0; i < g_used; ++i ) n += g_names[ i ] != nullptr;
	unlock();
	return n;
}

void remove_temporary_files_signal_safe()
{
	int const saved = errno;
	// Taken for good: the process ends right after, and no other thread may
	// make a file it would then leave behind.  The wait is bounded: a thread
	// in the middle of a change finishes it within a system call or two, and
	// a lock that stays taken (an abort inside a change on this very thread)
	// must not hang the process.
	struct timespec start, now;
	::clock_gettime( CLOCK_MONOTONIC, &start );
	while ( g_lock.test_and_set( std::memory_order_acquire ) ) {
		::clock_gettime( CLOCK_MONOTONIC, &now );
		if ( now.tv_sec - start.tv_sec > 5 ) return;
		sched_yield();
	}
	for ( int i = 0; i < g_used; ++i ) {
		if ( g_names[ i ] ) ::unlink( g_names[ i ] );
	}
	errno = saved;
}

void install_terminating_signal_handler( void ( *handler )( int ), sigset_t const & mask )
{
	struct sigaction sa;
	std::memset( &sa, 0, sizeof sa );
	sa.sa_handler = handler;
	sa.sa_mask = mask;
	for_each_terminating_signal( [ &sa ]( int s ) {
		struct sigaction old;
		if ( s == SIGHUP && ::sigaction( s, nullptr, &old ) == 0 && old.sa_handler == SIG_IGN ) return;
		::sigaction( s, &sa, nullptr );
	} );
}

void install_temporary_file_cleanup()
{
	sigset_t mask;
	sigemptyset( &mask );
	add_terminating_signals( mask );
	install_terminating_signal_handler( on_terminating_signal, mask );
}

} // utility
