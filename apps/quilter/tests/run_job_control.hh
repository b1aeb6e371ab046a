// Job control of an assembly run in tests: the run started as a shell
// starts a job (a process group of its own, its parent in the same session),
// or in a session of its own as a daemon starts it; the states of a process
// group read from /proc; bounded waits for a stop, a continue, a file or the
// end of the run.  Every wait waits for an event and gives up after a
// minute or two, never judging a length of time.
#ifndef QUILT_QUILTER_TESTS_RUN_JOB_CONTROL_HH
#define QUILT_QUILTER_TESTS_RUN_JOB_CONTROL_HH

#include "quilter_run_case.hh"
#include "testsupport/test_data.hh"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <utility>
#include <vector>

namespace quilter_test {

// How the run is started.
struct JobStart {
	// NAME=value pairs added to the run's environment.
	std::vector< std::pair< std::string, std::string > > env;
	// A session of its own (setsid): its process group then has no parent
	// in its session, and the kernel discards the stops sent to it.
	bool ownSession = false;
	// Signals the caller ignores (the run inherits them ignored).
	std::vector< int > ignored;
};

// Quilter on the case as a job, its standard output and error in `log`.
// Returns its process id (also its process group).
inline pid_t start_run_job( RunCase const& c, std::string const& log, JobStart const& how = JobStart() )
{
	std::fflush( nullptr );
	pid_t const q = ::fork();
	if ( q == 0 ) {
		if ( how.ownSession )
			::setsid();
		else
			::setpgid( 0, 0 );
		for ( auto const& e : how.env ) ::setenv( e.first.c_str(), e.second.c_str(), 1 );
		for ( int s : how.ignored ) ::signal( s, SIG_IGN );
		if ( !std::freopen( log.c_str(), "w", stdout ) ) ::_exit( 126 );
		::dup2( STDOUT_FILENO, STDERR_FILENO );
		::execl( ( c.bin + "/Quilter" ).c_str(), "Quilter", c.data.c_str(), c.map.c_str(), "6", "-nco", "1",
			static_cast< char* >( nullptr ) );
		::_exit( 127 );
	}
	if ( !how.ownSession ) ::setpgid( q, q );
	return q;
}

// For a stand-in: `await F` waits for file F to hold something, in steps
// of 50 ms, for up to five minutes: longer than any wait of the test, so
// that a stand-in never gives up (and ends, changing what its group looks
// like) while the test still watches it.
const std::string kStandInAwait =
	"await() { i=0; while [ ! -s \"$1\" ] && [ $i -lt 6000 ]; do sleep 0.05; i=$((i+1)); done; }\n";

// Asks `done` every 50 ms, up to a minute; whether it said yes.
template< class Done >
bool within_a_minute( Done done )
{
	for ( int i = 0; i < 1200; ++i ) {
		if ( done() ) return true;
		::usleep( 50000 );
	}
	return false;
}

// Waits up to a minute for a file to hold something.
inline bool await_file( std::string const& path )
{
	return within_a_minute( [ & ] { return !file_text( path ).empty(); } );
}

// The fields of /proc/<pid>/stat after the command name ("S 1234 5678 ..."
// : state, parent, process group), empty when the process is gone.
inline std::string stat_fields( std::string const& pid )
{
	std::ifstream in( "/proc/" + pid + "/stat" );
	std::string text;
	std::getline( in, text );
	std::size_t const paren = text.rfind( ')' );
	return paren != std::string::npos && paren + 2 < text.size() ? text.substr( paren + 2 ) : std::string();
}

// The process group of a process (0 when it is gone).
inline long group_of( pid_t pid )
{
	std::istringstream fields( stat_fields( std::to_string( pid ) ) );
	char state;
	long parent, group = 0;
	fields >> state >> parent >> group;
	return group;
}

// A process of a group, as /proc tells it.
struct GroupMember {
	long pid;
	char state;  // 'T' stopped, 'S' sleeping, 'R' running, 'D' waiting, 'Z' ended but not reaped
	long parent;
};

inline std::vector< GroupMember > members_of_group( long group )
{
	std::vector< GroupMember > members;
	for ( std::string const& entry : quilt_test::entries( "/proc" ) ) {
		if ( entry.find_first_not_of( "0123456789" ) != std::string::npos ) continue;
		std::istringstream f( stat_fields( entry ) );
		char state;
		long parent, g = 0;
		if ( f >> state >> parent >> g && g == group ) members.push_back( { std::atol( entry.c_str() ), state, parent } );
	}
	return members;
}

// The state letters of every process in process group `group`.
inline std::string states_of_group( long group )
{
	std::string states;
	for ( GroupMember const& m : members_of_group( group ) ) states += m.state;
	return states;
}

// The state letters of every process in the process group of pid.
inline std::string group_states( pid_t pid )
{
	long const group = group_of( pid );
	return group > 0 ? states_of_group( group ) : std::string();
}

// Whether a process of the group, other than one ended and not reaped, is
// left.
inline bool group_alive( long group ) { return states_of_group( group ).find_first_not_of( "ZX" ) != std::string::npos; }

// Waits up to a minute for no process of the group to be left (zombies
// aside); false when one still is.
inline bool await_group_gone( long group )
{
	return within_a_minute( [ & ] { return !group_alive( group ); } );
}

// Whether the group of pid is stopped: one of its processes at least is,
// and every other one is stopped too, or ended, or is a shell waiting (state
// D) for a child it made with vfork that was stopped before its exec.  A
// shell of a running group is in state D too, for the moment of each vfork,
// with its child running: that group is not stopped.
inline bool group_stopped( pid_t pid )
{
	long const group = group_of( pid );
	if ( group <= 0 ) return false;
	std::vector< GroupMember > const members = members_of_group( group );
	bool any = false;
	for ( GroupMember const& m : members ) {
		if ( m.state == 'T' || m.state == 't' ) {
			any = true;
			continue;
		}
		if ( m.state == 'Z' || m.state == 'X' ) continue;
		bool stoppedChild = false;
		for ( GroupMember const& c : members )
			stoppedChild = stoppedChild || ( c.parent == m.pid && c.state == 'T' );
		if ( m.state != 'D' || !stoppedChild ) return false;
	}
	return any;
}

// Waits up to a minute for the group of pid to be stopped (or, with
// `stopped` false, to have no stopped process left).
inline bool await_group( pid_t pid, bool stopped )
{
	return within_a_minute(
		[ & ] { return stopped ? group_stopped( pid ) : group_states( pid ).find( 'T' ) == std::string::npos; } );
}

// Waits (bounded) for a job-control change of pid: WUNTRACED or WCONTINUED.
inline bool await_change( pid_t pid, int flag, int& status )
{
	for ( int i = 0; i < 1200; ++i ) {
		pid_t const r = ::waitpid( pid, &status, flag | WNOHANG );
		if ( r == pid ) return true;
		if ( r < 0 ) return false;
		::usleep( 50000 );
	}
	return false;
}

// Waits up to two minutes for the run to end, and reaps it; when it does
// not end, it is killed and false returned.  A stop of the run meanwhile is
// counted in `stops` (and the run continued).
inline bool await_end( pid_t q, int& status, int* stops = nullptr )
{
	for ( int i = 0; i < 2400; ++i ) {
		pid_t const r = ::waitpid( q, &status, WNOHANG | WUNTRACED );
		if ( r == q && WIFSTOPPED( status ) ) {
			if ( stops ) ++*stops;
			::kill( q, SIGCONT );
			continue;
		}
		if ( r == q ) return true;
		if ( r < 0 ) return false;
		::usleep( 50000 );
	}
	::kill( q, SIGKILL );
	::waitpid( q, &status, 0 );
	return false;
}

// Whatever is left, when the test leaves the scope, of a run it started
// and of a process group it watched (after a failure: a run or a stand-in
// still waiting) is killed and the run reaped.
struct JobGuard {
	pid_t run = 0;
	long group = 0;
	JobGuard() = default;
	JobGuard( JobGuard const& ) = delete;
	JobGuard& operator=( JobGuard const& ) = delete;
	~JobGuard()
	{
		int status = 0;
		if ( run > 0 && ::waitpid( run, &status, WNOHANG ) == 0 ) {
			::kill( run, SIGKILL );
			::waitpid( run, &status, 0 );
		}
		if ( group > 0 && group_alive( group ) ) ::kill( pid_t( -group ), SIGKILL );
	}
};

} // namespace quilter_test

#endif
