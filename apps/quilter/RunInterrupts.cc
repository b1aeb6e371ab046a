#include "apps/quilter/RunInterrupts.hh"
#include "utility/temporary_files.hh"

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

// Read by the handler; written only with the handled signals blocked.
char g_workDir[ 4096 ];
volatile sig_atomic_t g_child = 0;
// Nanoseconds the run spent stopped by job control (Ctrl-Z) so far.
std::atomic< long long > g_stoppedNanos{ 0 };

// The job-control signals that stop the run: they stop its started program
// too, which runs in a process group of its own and so is not reached by
// the terminal's Ctrl-Z.
int const kStopSignals[] = { SIGTSTP, SIGTTIN, SIGTTOU };

void block_signals( sigset_t& old )
{
	sigset_t set;
	sigemptyset( &set );
	addRunInterruptSignals( set );
	sigprocmask( SIG_BLOCK, &set, &old );
}

void say( const char* text ) { ssize_t const r = ::write( STDOUT_FILENO, text, std::strlen( text ) ); (void)r; }

void pause_ms( long ms )
{
	struct timespec t = { ms / 1000, ( ms % 1000 ) * 1000000L };
	while ( ::nanosleep( &t, &t ) != 0 && errno == EINTR ) {
	}
}

// The directory entries of Linux's getdents64.
struct DirEntry64 {
	unsigned long long ino;
	long long off;
	unsigned short reclen;
	unsigned char type;
	char name[ 1 ];
};

// Whether /proc/<name>/stat tells a process of process group `group` that
// has not ended (a zombie left unreaped by whoever adopted it counts as
// ended).
bool live_in_group( int procfd, char const* name, long group )
{
	char path[ 64 ] = { 0 };
	std::size_t const n = std::strlen( name );
	if ( n + 6 >= sizeof path ) return false;
	std::memcpy( path, name, n );
	std::memcpy( path + n, "/stat", 6 );
	int const fd = ::openat( procfd, path, O_RDONLY | O_CLOEXEC );
	if ( fd < 0 ) return false;
	char text[ 1024 ];
	ssize_t const got = ::read( fd, text, sizeof text - 1 );
	::close( fd );
	if ( got <= 0 ) return false;
	text[ got ] = '\0';
	// "pid (command) state parent group ...": the command may hold blanks
	// and parentheses, so the fields start after the last ')'.
	char const* p = std::strrchr( text, ')' );
	if ( !p || p[ 1 ] != ' ' ) return false;
	char const state = p[ 2 ];
	p += 3;
	// The parent, then the group.
	while ( *p == ' ' ) ++p;
	while ( *p >= '0' && *p <= '9' ) ++p;
	while ( *p == ' ' ) ++p;
	long g = 0;
	while ( *p >= '0' && *p <= '9' ) g = 10 * g + ( *p++ - '0' );
	return g == group && state != 'Z' && state != 'X';
}

// Whether a process of process group `group` is left, read from /proc;
// false when /proc cannot be read (the group then counts as gone with its
// leader).
bool group_left( long group )
{
	int const procfd = ::open( "/proc", O_RDONLY | O_DIRECTORY | O_CLOEXEC );
	if ( procfd < 0 ) return false;
	bool left = false;
	alignas( 8 ) char buf[ 4096 ];
	while ( !left ) {
		long const n = ::syscall( SYS_getdents64, procfd, buf, sizeof buf );
		if ( n <= 0 ) break;
		for ( long at = 0; at < n && !left; ) {
			DirEntry64 const* e = reinterpret_cast< DirEntry64 const* >( buf + at );
			at += e->reclen;
			if ( e->name[ 0 ] >= '1' && e->name[ 0 ] <= '9' ) left = live_in_group( procfd, e->name, group );
		}
	}
	::close( procfd );
	return left;
}

// Waits up to ms milliseconds for the child and the rest of its process
// group to end; true when the child was reaped and nothing of its group is
// left.  The shell that runs a command line ends on SIGTERM at once, before
// the program it started has done its own clean-up: that program gets the
// same time.
bool group_ends_within( pid_t child, long ms )
{
	bool reaped = false;
	for ( long waited = 0;; waited += 20 ) {
		if ( !reaped ) {
			int status = 0;
			pid_t const r = ::waitpid( child, &status, WNOHANG );
			reaped = r == child || ( r < 0 && errno == ECHILD );
		}
		if ( reaped && !group_left( child ) ) return true;
		if ( waited >= ms ) return false;
		pause_ms( 20 );
	}
}

// Empties the open directory; entries that cannot be removed are left.
void remove_contents( int dirfd, int depth )
{
	if ( depth > 64 ) return;
	// Removing entries while reading the directory may make the reader skip
	// some: read it again from the start until a pass removes nothing.
	for ( int pass = 0; pass < 64; ++pass ) {
		bool removed = false;
		::lseek( dirfd, 0, SEEK_SET );
		alignas( 8 ) char buf[ 4096 ];
		while ( true ) {
			long const n = ::syscall( SYS_getdents64, dirfd, buf, sizeof buf );
			if ( n <= 0 ) break;
			for ( long at = 0; at < n; ) {
				DirEntry64 const* e = reinterpret_cast< DirEntry64 const* >( buf + at );
				at += e->reclen;
				char const* name = e->name;
				if ( std::strcmp( name, "." ) == 0 || std::strcmp( name, ".." ) == 0 ) continue;
				if ( ::unlinkat( dirfd, name, 0 ) == 0 ) {
					removed = true;
					continue;
				}
				int const sub = ::openat( dirfd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC );
				if ( sub < 0 ) continue;
				remove_contents( sub, depth + 1 );
				::close( sub );
				if ( ::unlinkat( dirfd, name, AT_REMOVEDIR ) == 0 ) removed = true;
			}
		}
		if ( !removed ) return;
	}
}

void on_interrupt( int sig )
{
	say( "\nQuilter> Interrupted: stopping the started program and removing the work files.\n" );
	pid_t const child = g_child;
	if ( child > 0 ) {
		::kill( -child, SIGTERM );
		::kill( child, SIGTERM );
		// A program stopped by job control acts on the signal only once
		// continued.
		::kill( -child, SIGCONT );
		if ( !group_ends_within( child, 5000 ) ) {
			::kill( -child, SIGKILL );
			::kill( child, SIGKILL );
			int status = 0;
			while ( ::waitpid( child, &status, 0 ) < 0 && errno == EINTR ) {
			}
		}
		// Whatever the program started itself and left in its group.
		::kill( -child, SIGKILL );
	}
	if ( g_workDir[ 0 ] ) removeTreeSignalSafe( g_workDir );
	utility::remove_temporary_files_signal_safe();
	utility::end_after_terminating_signal( sig );
}

long long monotonic_nanos()
{
	struct timespec t;
	::clock_gettime( CLOCK_MONOTONIC, &t );
	return (long long)t.tv_sec * 1000000000LL + t.tv_nsec;
}

// Ctrl-Z and the terminal's stops: the started program's group gets the
// same signal, then the run stops itself by the signal's default action;
// when it is continued, so is the program.
void on_stop_request( int sig )
{
	int const saved = errno;
	pid_t const child = g_child;
	if ( child > 0 ) ::kill( -child, sig );
	long long const stoppedAt = monotonic_nanos();
	struct sigaction dfl, mine;
	std::memset( &dfl, 0, sizeof dfl );
	dfl.sa_handler = SIG_DFL;
	sigemptyset( &dfl.sa_mask );
	::sigaction( sig, &dfl, &mine );
	sigset_t set;
	sigemptyset( &set );
	sigaddset( &set, sig );
	::raise( sig );
	// The signal is blocked while its handler runs: the stop comes here.
	::sigprocmask( SIG_UNBLOCK, &set, nullptr );
	// Continued, or the stop was discarded (a process group without a
	// parent in the session, which the kernel does not stop): the program
	// goes on as well.
	::sigprocmask( SIG_BLOCK, &set, nullptr );
	::sigaction( sig, &mine, nullptr );
	pid_t const now = g_child;
	if ( now > 0 ) ::kill( -now, SIGCONT );
	g_stoppedNanos += monotonic_nanos() - stoppedAt;
	errno = saved;
}

// Continued (fg, bg, kill -CONT): the started program continues with the run.
void on_continue( int )
{
	int const saved = errno;
	pid_t const child = g_child;
	if ( child > 0 ) ::kill( -child, SIGCONT );
	errno = saved;
}

} // namespace

double runStoppedSeconds() { return double( g_stoppedNanos.load() ) * 1e-9; }

bool removeTreeSignalSafe( const char* path )
{
	int const fd = ::open( path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC );
	if ( fd < 0 ) return errno == ENOENT;
	remove_contents( fd, 0 );
	::close( fd );
	return ::rmdir( path ) == 0 || errno == ENOENT;
}

void addRunInterruptSignals( sigset_t& set )
{
	utility::add_terminating_signals( set );
	for ( int s : kStopSignals ) sigaddset( &set, s );
}

void installRunInterruptHandlers()
{
	sigset_t mask;
	sigemptyset( &mask );
	addRunInterruptSignals( mask );
	utility::install_terminating_signal_handler( on_interrupt, mask );
	// Job control.  A stop signal the caller ignores (a run started where
	// nothing may stop it) stays ignored.
	struct sigaction stop;
	std::memset( &stop, 0, sizeof stop );
	stop.sa_mask = mask;
	stop.sa_handler = on_stop_request;
	stop.sa_flags = SA_RESTART;
	for ( int s : kStopSignals ) {
		struct sigaction old;
		if ( ::sigaction( s, nullptr, &old ) == 0 && old.sa_handler == SIG_IGN ) continue;
		::sigaction( s, &stop, nullptr );
	}
	struct sigaction cont;
	std::memset( &cont, 0, sizeof cont );
	cont.sa_handler = on_continue;
	cont.sa_flags = SA_RESTART;
	sigemptyset( &cont.sa_mask );
	::sigaction( SIGCONT, &cont, nullptr );
}

void resetRunInterruptHandlers()
{
	utility::for_each_terminating_signal( []( int s ) {
		struct sigaction old;
		if ( ::sigaction( s, nullptr, &old ) == 0 && old.sa_handler == on_interrupt ) ::signal( s, SIG_DFL );
	} );
	for ( int s : kStopSignals ) {
		struct sigaction old;
		if ( ::sigaction( s, nullptr, &old ) == 0 && old.sa_handler == on_stop_request ) ::signal( s, SIG_DFL );
	}
	::signal( SIGCONT, SIG_DFL );
}

RunInterruptBlock::RunInterruptBlock() { block_signals( old_ ); }

RunInterruptBlock::~RunInterruptBlock() { ::sigprocmask( SIG_SETMASK, &old_, nullptr ); }

void setInterruptWorkDirectory( const std::string& dir )
{
	sigset_t old;
	block_signals( old );
	std::size_t const n = dir.size() < sizeof g_workDir ? dir.size() : 0;
	std::memcpy( g_workDir, dir.data(), n );
	g_workDir[ n ] = '\0';
	sigprocmask( SIG_SETMASK, &old, nullptr );
}

void setInterruptChild( pid_t pid ) { g_child = pid; }
