// Started programs that stand stopped: the run's own stop (Ctrl-Z) does not
// count toward a program's time limit; a program stopped on its own (the
// terminal stops a background group that reads from it, or a user's kill
// -STOP) is continued with the run and, when the run is interrupted, gets
// to act on the SIGTERM and do its own clean-up; a stop that the kernel
// discards, or that the caller ignores, leaves the program running; a
// program over its time limit is ended with everything it started.  The
// stand-in search waits for files the test writes, never for a length of
// time, and every wait of the test is bounded.
#include "quilter_run_case.hh"
#include "run_job_control.hh"

#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace quilter_test;
namespace fs = std::filesystem;

namespace {

// Writes `text` into `path` in one step (the test reads it while it is
// written).
std::string write_at_once( std::string const& text, std::string const& path )
{
	return "echo " + text + " > '" + path + ".tmp' && mv '" + path + ".tmp' '" + path + "'\n";
}

// A search stand-in that records its process id, then places its chain only
// once the test has written the file `go`.
struct WaitingSearch {
	RunCase& c;
	std::string pidFile = c.root.path() + "/search.pid";
	std::string go = c.root.path() + "/go";

	explicit WaitingSearch( RunCase& rc, std::string const& before = "" ) : c( rc )
	{
		c.script( "Rasterseek", kStandInAwait + before + write_at_once( "$$", pidFile ) + "await '" + go +
		                            "'\ncp \"$2\" \"$3_001.pdb\"\n" );
	}
	// The process id of the first search, once it has started (0 when it
	// did not start).
	pid_t started() const
	{
		if ( !await_file( pidFile ) ) return 0;
		return pid_t( std::atoi( file_text( pidFile ).c_str() ) );
	}
	void release() const { std::ofstream( go ) << "go\n"; }
};

// Waits at least `seconds` (the test's own pause: a lower bound that only
// makes a fault show, never what a test passes or fails by).
void pause_at_least( double seconds )
{
	auto const until = std::chrono::steady_clock::now() + std::chrono::duration< double >( seconds );
	while ( std::chrono::steady_clock::now() < until ) ::usleep( 50000 );
}

} // namespace

TEST( StoppedPrograms, TimeTheRunStoodStoppedDoesNotCountTowardTheTimeLimit )
{
	// Ctrl-Z held for twice the time limit, then fg: the search goes on and
	// places its chain.  Counting the stop would end it on fg ("ran longer
	// than 8 s") and leave chain 1 out.  The search runs well below a second
	// unstopped; the limit leaves a loaded machine room many times that.
	RunCase c;
	WaitingSearch const search( c );
	std::string const log = c.root.path() + "/run.log";
	double const limit = 8.0;
	JobStart how;
	how.env = { { "QUILT_PROGRAM_TIME_LIMIT", "8" } };
	JobGuard guard;
	pid_t const q = guard.run = start_run_job( c, log, how );
	pid_t const s = search.started();
	ASSERT_GT( s, 0 ) << file_text( log );
	guard.group = group_of( s );

	ASSERT_EQ( ::kill( q, SIGTSTP ), 0 );
	int status = 0;
	ASSERT_TRUE( await_change( q, WUNTRACED, status ) ) << "the run did not stop";
	EXPECT_TRUE( await_group( s, true ) ) << "the search runs on, states " << group_states( s );
	pause_at_least( 2 * limit );

	ASSERT_EQ( ::kill( q, SIGCONT ), 0 );
	EXPECT_TRUE( await_change( q, WCONTINUED, status ) );
	EXPECT_TRUE( await_group( s, false ) ) << "the search stays stopped, states " << group_states( s );
	// The run looks at the search's time several times before the search
	// ends.
	pause_at_least( 0.5 );
	search.release();

	ASSERT_TRUE( await_end( q, status ) ) << "the run did not end\n" << file_text( log );
	std::string const text = file_text( log );
	EXPECT_TRUE( WIFEXITED( status ) && WEXITSTATUS( status ) == 0 ) << status << "\n" << text;
	EXPECT_FALSE( says( text, "ran longer than" ) ) << text;
	EXPECT_TRUE( finished( text ) ) << text;
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 24, 18 } ) );
	EXPECT_TRUE( c.leftovers().empty() );
}

TEST( StoppedPrograms, AnInterruptedRunLetsItsStoppedProgramCleanUp )
{
	// The search keeps a file of its own outside the run's directory and
	// removes it on SIGTERM.  It stands stopped when the run is interrupted:
	// stopped alone, as the terminal stops a program of a background group
	// that reads from it (SIGTTIN) or a user's kill -STOP does, or stopped
	// with the run by Ctrl-Z and then killed as a shell kills a stopped job
	// (SIGTERM, then SIGCONT: the run's continue, which continues the
	// search too, comes before the run takes the SIGTERM).  A stopped
	// program acts on SIGTERM only once continued: left stopped, it would
	// be killed after five seconds with its file left behind.  The shell
	// that runs the search's command line ends at once on SIGTERM: the
	// search must still be given its time.
	struct Way {
		std::string name;
		int stop;        // sent to the search's group, or with `runStopped` to the run
		bool runStopped;
		int interrupt;   // sent to the run
	};
	for ( Way const& way : { Way{ "program stopped by SIGTTIN, run ended by SIGTERM", SIGTTIN, false, SIGTERM },
		      Way{ "program stopped by SIGSTOP, run ended by SIGINT", SIGSTOP, false, SIGINT },
		      Way{ "run stopped by Ctrl-Z, then killed as a stopped job", SIGTSTP, true, SIGTERM } } ) {
		RunCase c;
		std::string const part = c.root.path() + "/search.part", cleaned = c.root.path() + "/cleaned";
		WaitingSearch const search( c, "echo partial > '" + part + "'\nclean_up() { rm -f '" + part + "'; " +
		                                   "echo cleaned > '" + cleaned + ".tmp' && mv '" + cleaned + ".tmp' '" +
		                                   cleaned + "'; exit 143; }\ntrap clean_up TERM\n" );
		std::string const log = c.root.path() + "/run.log";
		JobGuard guard;
		pid_t const q = guard.run = start_run_job( c, log );
		pid_t const s = search.started();
		ASSERT_GT( s, 0 ) << way.name << "\n" << file_text( log );
		long const group = guard.group = group_of( s );
		ASSERT_GT( group, 0 );

		int status = 0;
		if ( way.runStopped ) {
			ASSERT_EQ( ::kill( q, way.stop ), 0 );
			ASSERT_TRUE( await_change( q, WUNTRACED, status ) ) << way.name << ": the run did not stop";
		} else {
			ASSERT_EQ( ::kill( pid_t( -group ), way.stop ), 0 );
		}
		ASSERT_TRUE( await_group( s, true ) ) << way.name << ": states " << group_states( s );

		ASSERT_EQ( ::kill( q, way.interrupt ), 0 );
		if ( way.runStopped ) {
			ASSERT_EQ( ::kill( q, SIGCONT ), 0 );
		}
		bool const ended = await_end( q, status );
		std::string const text = file_text( log );
		ASSERT_TRUE( ended ) << way.name << ": the run did not end\n" << text;
		EXPECT_TRUE( WIFEXITED( status ) && WEXITSTATUS( status ) == 128 + way.interrupt ) << way.name << " " << status
		                                                                                 << "\n" << text;
		EXPECT_TRUE( says( text, "Quilter> Interrupted" ) ) << way.name << "\n" << text;
		EXPECT_EQ( file_text( cleaned ), "cleaned\n" ) << way.name << ": the search did not clean up";
		EXPECT_FALSE( fs::exists( part ) ) << way.name;
		EXPECT_TRUE( await_group_gone( group ) ) << way.name << ": states " << states_of_group( group );
		EXPECT_TRUE( c.leftovers().empty() ) << way.name;
		EXPECT_FALSE( fs::exists( c.model() ) ) << way.name;
	}
}

TEST( StoppedPrograms, ContinuingTheRunContinuesAProgramStoppedAlone )
{
	// kill -CONT to the run (or fg after its Ctrl-Z) reaches a search that
	// was stopped on its own; left stopped, it would hold the run until the
	// time limit.
	RunCase c;
	WaitingSearch const search( c );
	std::string const log = c.root.path() + "/run.log";
	JobGuard guard;
	pid_t const q = guard.run = start_run_job( c, log );
	pid_t const s = search.started();
	ASSERT_GT( s, 0 ) << file_text( log );
	long const group = guard.group = group_of( s );
	ASSERT_EQ( ::kill( pid_t( -group ), SIGSTOP ), 0 );
	ASSERT_TRUE( await_group( s, true ) ) << group_states( s );

	ASSERT_EQ( ::kill( q, SIGCONT ), 0 );
	EXPECT_TRUE( await_group( s, false ) ) << "the search stays stopped, states " << group_states( s );
	::kill( pid_t( -group ), SIGCONT );
	search.release();
	int status = 0;
	ASSERT_TRUE( await_end( q, status ) ) << file_text( log );
	EXPECT_TRUE( WIFEXITED( status ) && WEXITSTATUS( status ) == 0 ) << status << "\n" << file_text( log );
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 24, 18 } ) );
}

TEST( StoppedPrograms, AStopTheKernelDiscardsLeavesTheProgramRunning )
{
	// A run in a session of its own (started by a daemon, or with setsid)
	// is in a process group with no parent in its session: the kernel
	// discards a SIGTSTP sent to it.  Its search, in a group of its own with
	// the run as its parent, is stopped by the same signal passed on, and
	// must be continued at once since no SIGCONT will come.
	RunCase c;
	WaitingSearch const search( c );
	std::string const log = c.root.path() + "/run.log";
	JobStart how;
	how.ownSession = true;
	JobGuard guard;
	pid_t const q = guard.run = start_run_job( c, log, how );
	pid_t const s = search.started();
	ASSERT_GT( s, 0 ) << file_text( log );
	guard.group = group_of( s );
	ASSERT_EQ( ::kill( q, SIGTSTP ), 0 );
	// The run takes the signal long before this.
	pause_at_least( 0.5 );
	EXPECT_TRUE( group_states( s ).find( 'T' ) == std::string::npos ) << "the search stays stopped, states "
	                                                                   << group_states( s );
	::kill( pid_t( -guard.group ), SIGCONT );
	search.release();
	int status = 0, stops = 0;
	ASSERT_TRUE( await_end( q, status, &stops ) ) << file_text( log );
	EXPECT_EQ( stops, 0 );
	EXPECT_TRUE( WIFEXITED( status ) && WEXITSTATUS( status ) == 0 ) << status << "\n" << file_text( log );
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 24, 18 } ) );
}

TEST( StoppedPrograms, StopSignalsTheCallerIgnoresStayIgnored )
{
	// A run started where nothing may stop it (the caller ignores the
	// job-control stops) neither stops nor stops its search, and finishes.
	RunCase c;
	WaitingSearch const search( c );
	std::string const log = c.root.path() + "/run.log";
	JobStart how;
	how.ignored = { SIGTSTP, SIGTTIN, SIGTTOU };
	JobGuard guard;
	pid_t const q = guard.run = start_run_job( c, log, how );
	pid_t const s = search.started();
	ASSERT_GT( s, 0 ) << file_text( log );
	guard.group = group_of( s );
	for ( int sig : how.ignored ) ASSERT_EQ( ::kill( q, sig ), 0 );
	// A stop, if one were taken, comes long before the run ends.
	pause_at_least( 0.5 );
	EXPECT_TRUE( group_states( s ).find( 'T' ) == std::string::npos ) << group_states( s );
	::kill( pid_t( -guard.group ), SIGCONT );
	search.release();
	int status = 0, stops = 0;
	ASSERT_TRUE( await_end( q, status, &stops ) ) << file_text( log );
	EXPECT_EQ( stops, 0 ) << "the run stopped";
	EXPECT_TRUE( WIFEXITED( status ) && WEXITSTATUS( status ) == 0 ) << status << "\n" << file_text( log );
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 24, 18 } ) );
}

TEST( StoppedPrograms, AProgramOverItsTimeLimitEndsWithEverythingItStarted )
{
	// The search of chain 1 hangs in a command of its own; at the time limit
	// its whole process group is ended, not only the shell that runs its
	// command line, so nothing of it runs on or writes late.
	RunCase c;
	std::string const pidFile = c.root.path() + "/search.pid", late = c.root.path() + "/late";
	c.script( "Rasterseek", "case \"$3\" in chain1_*) " +
	                            write_at_once( "\"$(cut -d' ' -f5 /proc/$$/stat)\"", pidFile ) + "sleep 600; touch '" +
	                            late + "';; esac\ncp \"$2\" \"$3_001.pdb\"\n" );
	c.script( "Placer", kPlacerInPlace );
	// The run's output goes to a file: a search left running would hold a
	// pipe open.
	std::string const log = c.root.path() + "/run.log";
	std::string status;
	c.quilter( status, "QUILT_PROGRAM_TIME_LIMIT=1 timeout 600 ", "-nco 1 > " + shq( log ) + " 2>&1; echo status=$?" );
	std::string const out = file_text( log );
	EXPECT_TRUE( says( status, "status=0" ) ) << status << out;
	EXPECT_TRUE( says( out, "Warning! A started program ran longer than 1 s and was stopped: Rasterseek on chain "
	                        "'chain1_A'" ) )
		<< out;
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 24, 18 } ) );
	long const group = std::atol( file_text( pidFile ).c_str() );
	ASSERT_GT( group, 0 );
	JobGuard guard;
	guard.group = group;
	EXPECT_TRUE( await_group_gone( group ) ) << "the search runs on: states " << states_of_group( group );
	EXPECT_FALSE( fs::exists( late ) );
}

TEST( StoppedPrograms, ATimeLimitWithAUnitGivesTheDefaultWithOneWarning )
{
	// QUILT_PROGRAM_TIME_LIMIT=2h, as one writes it for timeout or a
	// scheduler, is no number of seconds: the run keeps the default limit
	// and says so once, before any program starts, though it starts several.
	// It was read as 2 s, and the search of chain 1, held here for at least
	// 3 s (a lower bound that only makes that fault show), was stopped.
	RunCase c;
	WaitingSearch const search( c );
	std::string const log = c.root.path() + "/run.log";
	JobStart how;
	how.env = { { "QUILT_PROGRAM_TIME_LIMIT", "2h" } };
	JobGuard guard;
	pid_t const q = guard.run = start_run_job( c, log, how );
	pid_t const s = search.started();
	ASSERT_GT( s, 0 ) << file_text( log );
	guard.group = group_of( s );
	pause_at_least( 3.0 );
	search.release();

	int status = 0;
	ASSERT_TRUE( await_end( q, status ) ) << "the run did not end\n" << file_text( log );
	std::string const text = file_text( log );
	EXPECT_TRUE( WIFEXITED( status ) && WEXITSTATUS( status ) == 0 ) << status << "\n" << text;
	std::string const warning = "Warning! QUILT_PROGRAM_TIME_LIMIT '2h' is not a positive number of seconds; each "
	                            "started program may run 21600 s (the default).\n";
	EXPECT_EQ( quilt_test::occurrences( text, warning ), 1u ) << text;
	EXPECT_EQ( quilt_test::occurrences( text, "QUILT_PROGRAM_TIME_LIMIT" ), 1u ) << text;
	EXPECT_LT( text.find( warning ), text.find( "Input information" ) ) << text;
	EXPECT_GE( quilt_test::occurrences( text, "GetInitModel> Fit '" ), 3u ) << text;
	EXPECT_FALSE( says( text, "ran longer than" ) ) << text;
	EXPECT_TRUE( finished( text ) ) << text;
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 24, 18 } ) );
	EXPECT_TRUE( c.leftovers().empty() );
}

// "QUILT_PROGRAM_TIME_LIMIT=", as one clears a variable for one command,
// counts as unset: the run says nothing about it and runs with the default
// limit.
TEST( StoppedPrograms, AnEmptyTimeLimitGivesTheDefaultWithoutAWarning )
{
	RunCase c;
	c.script( "Rasterseek", kRasterseekInPlace );
	std::string out;
	EXPECT_EQ( c.quilter( out, "QUILT_PROGRAM_TIME_LIMIT= timeout 600 " ), 0 ) << out;
	EXPECT_FALSE( says( out, "QUILT_PROGRAM_TIME_LIMIT" ) ) << out;
	EXPECT_FALSE( says( out, "ran longer than" ) ) << out;
	EXPECT_TRUE( finished( out ) ) << out;
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 24, 18 } ) );
}
