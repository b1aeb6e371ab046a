#ifndef INCLUDED_utility_temporary_files_hh
#define INCLUDED_utility_temporary_files_hh

// Temporary files that no ending of a program may leave behind.  Results are
// written under a temporary name beside their final one and renamed into
// place when complete; every such name is recorded here from the moment the
// file exists until it is renamed or removed, so that a signal that ends
// the program (Ctrl-C, SIGTERM, a closed output pipe, ...) removes the files
// of the run that are not finished, and leaves the finished ones alone.
//
// The record is changed with the terminating signals blocked on the calling
// thread and under a lock of its own, so a handler on any thread sees it
// whole; the handler's side uses async-signal-safe calls only.

#include <csignal>
#include <string>

namespace utility {

// The catchable signals whose default action ends the process, without the
// synchronous faults (SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGSYS, SIGTRAP): those
// are the program's own bugs and keep their default, core and all.  The
// real-time signals SIGRTMIN..SIGRTMAX are among them.
template < class F >
void for_each_terminating_signal( F f )
{
	int const named[] = { SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGUSR1, SIGUSR2, SIGALRM, SIGXCPU, SIGXFSZ,
		SIGVTALRM, SIGPROF, SIGIO, SIGPWR, SIGSTKFLT, SIGABRT };
	for ( int s : named ) f( s );
	for ( int s = SIGRTMIN; s <= SIGRTMAX; ++s ) f( s );
}

// Adds the terminating signals to a signal set.
void add_terminating_signals( sigset_t & set );

// Holds the terminating signals back on this thread while it lives; one that
// came meanwhile is handled when it ends.
class TerminatingSignalBlock {
public:
	TerminatingSignalBlock();
	~TerminatingSignalBlock();
	TerminatingSignalBlock( TerminatingSignalBlock const & ) = delete;
	TerminatingSignalBlock & operator=( TerminatingSignalBlock const & ) = delete;

private:
	sigset_t old_;
};

// mkostemp (close-on-exec) on pathTemplate, which ends in "XXXXXX" and
// receives the name made; the file is recorded before any signal can come.
// Returns the descriptor, or -1 with errno set (nothing recorded).
int make_temporary_file( std::string & pathTemplate );

// Renames a recorded temporary file onto target and forgets it.  Returns 0,
// or -1 with rename's errno (the file then stays recorded and in place).
int rename_temporary_file( std::string const & temp, std::string const & target );

// Removes a recorded temporary file and forgets it; errno is kept.
void remove_temporary_file( std::string const & temp );

// Forgets a temporary file without touching it (it was removed or renamed
// by other means).
void forget_temporary_file( std::string const & temp );

// How many temporary files are recorded now.
int recorded_temporary_files();

// Removes every recorded temporary file.  Async-signal-safe: for signal
// handlers, which end the process right after it.
void remove_temporary_files_signal_safe();

// Installs handler on every terminating signal, with `mask` blocked while
// it runs.  A hangup the caller ignores (nohup: the program is meant to
// outlive its terminal) stays ignored; the others are handled even where a
// shell ignores them for its background jobs, so that a program ended by
// them never leaves its work behind.
void install_terminating_signal_handler( void ( *handler )( int ), sigset_t const & mask );

// Ends the process from a handler of a terminating signal, once its
// clean-up is done: status 128 + the signal, except that SIGABRT is raised
// again with its default action, so that an abort stays an abort.
// Async-signal-safe.
[[noreturn]] void end_after_terminating_signal( int sig );

// For a program that handles no terminating signal itself: on any of them
// its temporary files are removed and the process ends with status 128 +
// the signal (SIGABRT is raised again after the clean-up, so that an abort
// stays an abort).  A hangup the caller ignores (nohup) stays ignored.
void install_temporary_file_cleanup();

} // utility

#endif
