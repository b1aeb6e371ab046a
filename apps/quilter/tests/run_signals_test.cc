// Signals that would end an assembly run: every one of them stops the
// started program with its process group, removes the run's work directory
// and ends the run with 128 + the signal; a signal that comes while the work
// directory is being made or removed is held back until the handler knows
// the directory's state; a hangup ignored by the caller (nohup) stays
// ignored.  Every wait here waits for an event (a file, a process gone),
// bounded, never for a length of time.
#include "apps/quilter/RunInterrupts.hh"
#include "quilter_run_case.hh"
#include "run_job_control.hh"
#include "testsupport/test_data.hh"

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace quilter_test;
namespace fs = std::filesystem;

namespace {

// Shell functions: `alive G` is true while a process of group G runs (not a
// zombie), `running P` while process P does; `await F` waits up to 60 s for
// file F, `ends P` up to 60 s for process P to end (then kills it and says
// so).
const std::string kShellHelpers =
	"alive() { for f in /proc/[0-9]*/stat; do read -r _ _ st _ pg _ < \"$f\" 2>/dev/null || continue; "
	"[ \"$pg\" = \"$1\" ] && [ \"$st\" != Z ] && return 0; done; return 1; }; "
	"running() { read -r _ _ st _ < /proc/$1/stat 2>/dev/null && [ \"$st\" != Z ]; }; "
	"await() { i=0; while [ ! -s \"$1\" ] && [ $i -lt 1200 ]; do sleep 0.05; i=$((i+1)); done; }; "
	"ends() { i=0; while running $1 && [ $i -lt 1200 ]; do sleep 0.05; i=$((i+1)); done; "
	"if running $1; then echo run-alive; kill -KILL $1; fi; }; ";

// A search stand-in that records its process id and group, then would run
// for ten minutes and write into the data directory afterwards.
void long_search( RunCase& c, const std::string& pidFile, const std::string& late )
{
	c.script( "Rasterseek", "echo $$ $(cut -d' ' -f5 /proc/$$/stat) > '" + pidFile + ".tmp' && mv '" + pidFile +
	                            ".tmp' '" + pidFile + "'\nsleep 600\ncp \"$2\" \"$3_001.pdb\"\ntouch '" + late +
	                            "' \"" + c.data + "/written_late\"\n" );
}

using quilt_test::in_child;

} // namespace

TEST( RunSignals, EverySignalThatWouldEndTheRunStopsItsProgramAndRemovesItsWork )
{
	struct Signal {
		std::string name;
		int number;
	};
	RunCase c;
	std::string const pidFile = c.root.path() + "/search.pid", late = c.root.path() + "/late";
	long_search( c, pidFile, late );
	// The real-time signals by number: their status tells nothing (192 for
	// SIGRTMAX whether handled or not), what they leave does.
	int const rtmin = SIGRTMIN, rtmax = SIGRTMAX;
	for ( Signal const& sig : { Signal{ "INT", SIGINT }, Signal{ "TERM", SIGTERM }, Signal{ "HUP", SIGHUP },
		      Signal{ "QUIT", SIGQUIT }, Signal{ "PIPE", SIGPIPE }, Signal{ "USR1", SIGUSR1 },
		      Signal{ "USR2", SIGUSR2 }, Signal{ "ALRM", SIGALRM }, Signal{ "XCPU", SIGXCPU },
		      Signal{ "XFSZ", SIGXFSZ }, Signal{ "VTALRM", SIGVTALRM }, Signal{ "PROF", SIGPROF },
		      Signal{ std::to_string( rtmin ), rtmin }, Signal{ std::to_string( rtmin + 7 ), rtmin + 7 },
		      Signal{ std::to_string( rtmax ), rtmax } } ) {
		fs::remove( pidFile );
		std::string const log = c.root.path() + "/run.log";
		std::string out;
		// The run is signalled once its search has started; then the test
		// waits until no process of the search's group is left.
		run_shell( kShellHelpers + shq( c.bin + "/Quilter" ) + " " + shq( c.data ) + " " + shq( c.map ) +
		               " 6 -nco 1 > " + shq( log ) + " 2>&1 & q=$!; await '" + pidFile + "'; kill -" + sig.name +
		               " $q; ends $q; wait $q; echo status=$?; read -r p g < '" + pidFile +
		               "'; i=0; while alive $g && [ $i -lt 1200 ]; do sleep 0.05; i=$((i+1)); done; "
		               "if alive $g; then echo search-alive; kill -KILL -$g; fi",
			out );
		std::string const text = file_text( log );
		EXPECT_TRUE( says( out, "status=" + std::to_string( 128 + sig.number ) ) ) << sig.name << "\n" << out << text;
		EXPECT_FALSE( says( out, "run-alive" ) ) << sig.name;
		EXPECT_FALSE( says( out, "search-alive" ) ) << sig.name;
		EXPECT_TRUE( says( text, "Quilter> Interrupted" ) ) << sig.name << "\n" << text;
		// The search's group is gone: nothing can write late any more.
		EXPECT_FALSE( fs::exists( late ) ) << sig.name;
		EXPECT_TRUE( c.leftovers().empty() ) << sig.name;
		EXPECT_FALSE( fs::exists( c.model() ) ) << sig.name;
	}
}

TEST( RunSignals, ClosedOutputPipeStopsTheRunCleanly )
{
	// Quilter ... | head: the reader goes away after the first line, and the
	// run's next line meets a closed pipe.  The search goes on only once the
	// reader is gone, so that line comes after it.
	RunCase c;
	std::string const gone = c.root.path() + "/reader-gone", status = c.root.path() + "/status";
	c.script( "Rasterseek", kShellHelpers + "await '" + gone + "'\ncp \"$2\" \"$3_001.pdb\"\n" );
	std::string out;
	run_shell( "( " + shq( c.bin + "/Quilter" ) + " " + shq( c.data ) + " " + shq( c.map ) + " 6 -nco 1; echo $? > " +
	               shq( status ) + " ) | ( head -n 1 > /dev/null; echo gone > " + shq( gone ) + " )",
		out );
	EXPECT_EQ( file_text( status ), std::to_string( 128 + SIGPIPE ) + "\n" ) << out;
	EXPECT_TRUE( c.leftovers().empty() );
	EXPECT_FALSE( fs::exists( c.model() ) );
}

TEST( RunSignals, CtrlZStopsTheStartedProgramWithTheRunAndContinueGoesOnWithBoth )
{
	// Catches a started program that runs on while the run is stopped (it
	// is in a process group of its own, which the terminal's Ctrl-Z does not
	// reach).  The run is in a process group of its own too, as a shell's
	// job is, with its parent (this test) in the same session.
	for ( int sig : { SIGTSTP, SIGTTIN, SIGTTOU } ) {
		RunCase c;
		std::string const pidFile = c.root.path() + "/search.pid", go = c.root.path() + "/go";
		c.script( "Rasterseek", kStandInAwait + "echo $$ > '" + pidFile + ".tmp' && mv '" + pidFile + ".tmp' '" +
		                            pidFile + "'\nawait '" + go + "'\ncp \"$2\" \"$3_001.pdb\"\n" );
		std::string const log = c.root.path() + "/run.log";
		JobGuard guard;
		pid_t const q = guard.run = start_run_job( c, log );
		// The search has started.
		int tries = 0;
		while ( file_text( pidFile ).empty() && tries++ < 1200 ) ::usleep( 50000 );
		pid_t const search = std::atoi( file_text( pidFile ).c_str() );
		ASSERT_GT( search, 0 ) << file_text( log );
		guard.group = group_of( search );

		ASSERT_EQ( ::kill( q, sig ), 0 );
		int status = 0;
		ASSERT_TRUE( await_change( q, WUNTRACED, status ) ) << "signal " << sig << ": the run did not stop";
		EXPECT_TRUE( WIFSTOPPED( status ) && WSTOPSIG( status ) == sig ) << status;
		EXPECT_TRUE( await_group( search, true ) ) << "signal " << sig << ": the started program runs on, states "
		                                           << group_states( search );

		ASSERT_EQ( ::kill( q, SIGCONT ), 0 );
		EXPECT_TRUE( await_change( q, WCONTINUED, status ) );
		EXPECT_TRUE( await_group( search, false ) ) << "signal " << sig << ": the started program stays stopped, states "
		                                            << group_states( search );

		// The run then ends as it would have.
		std::ofstream( go ) << "go\n";
		bool const ended = await_end( q, status );
		ASSERT_TRUE( ended ) << "signal " << sig << ": the run did not end\n" << file_text( log );
		EXPECT_TRUE( WIFEXITED( status ) && WEXITSTATUS( status ) == 0 ) << status << "\n" << file_text( log );
		EXPECT_TRUE( finished( file_text( log ) ) ) << file_text( log );
		EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 24, 18 } ) );
		EXPECT_TRUE( c.leftovers().empty() );
	}
}

TEST( RunSignals, HangupIgnoredByTheCallerStaysIgnored )
{
	// nohup Quilter ...: the run outlives its terminal and finishes.
	RunCase c;
	std::string const started = c.root.path() + "/started";
	c.script( "Rasterseek", "echo x > '" + started + "'\ncp \"$2\" \"$3_001.pdb\"\n" );
	std::string out;
	int const status = run_shell( kShellHelpers + "nohup " + shq( c.bin + "/Quilter" ) + " " + shq( c.data ) + " " +
	                                  shq( c.map ) + " 6 -nco 1 > /dev/null 2>&1 & q=$!; await '" + started +
	                                  "'; kill -HUP $q; ends $q; wait $q; echo status=$?",
		out );
	EXPECT_EQ( status, 0 );
	EXPECT_TRUE( says( out, "status=0" ) ) << out;
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 24, 18 } ) );
}

TEST( RunInterrupts, SignalsWaitWhileTheWorkDirectoryIsMadeOrRemoved )
{
	quilt_test::ScratchDir dir( "quilt signals" );
	std::string const work = dir.file( "segtempABCDEF" );

	// Made and recorded under the block: a signal that came in between finds
	// the directory recorded and removes it.
	int status = in_child( [ & ] {
		installRunInterruptHandlers();
		{
			RunInterruptBlock const hold;
			fs::create_directories( work + "/chains_temp" );
			::raise( SIGTERM );
			setInterruptWorkDirectory( work );
		}
		::_exit( 0 );  // not reached: the held signal ends the process here
	} );
	ASSERT_TRUE( WIFEXITED( status ) );
	EXPECT_EQ( WEXITSTATUS( status ), 128 + SIGTERM );
	EXPECT_FALSE( fs::exists( work ) );

	// Removed and forgotten under the block: the signal that came during the
	// removal finds nothing left to do, and still ends the process.
	fs::create_directories( work + "/match_rmv_X" );
	status = in_child( [ & ] {
		installRunInterruptHandlers();
		setInterruptWorkDirectory( work );
		{
			RunInterruptBlock const hold;
			::raise( SIGUSR1 );
			removeTreeSignalSafe( work.c_str() );
			setInterruptWorkDirectory( "" );
		}
		::_exit( 0 );
	} );
	ASSERT_TRUE( WIFEXITED( status ) );
	EXPECT_EQ( WEXITSTATUS( status ), 128 + SIGUSR1 );
	EXPECT_FALSE( fs::exists( work ) );

	// An abort stays an abort, after the clean-up.
	fs::create_directories( work );
	status = in_child( [ & ] {
		installRunInterruptHandlers();
		setInterruptWorkDirectory( work );
		std::abort();
	} );
	ASSERT_TRUE( WIFSIGNALED( status ) );
	EXPECT_EQ( WTERMSIG( status ), SIGABRT );
	EXPECT_FALSE( fs::exists( work ) );
}

TEST( RunInterrupts, StartedProcessGetsTheDefaultActionsBack )
{
	// The copy of the run between fork and exec must not run the handler:
	// it would remove the run's directory from inside the started program.
	quilt_test::ScratchDir dir( "quilt signals" );
	std::string const work = dir.file( "segtempABCDEF" );
	fs::create_directories( work );
	int const status = in_child( [ & ] {
		::signal( SIGHUP, SIG_IGN );
		installRunInterruptHandlers();
		setInterruptWorkDirectory( work );
		resetRunInterruptHandlers();
		struct sigaction sa;
		for ( int s : { SIGINT, SIGTERM, SIGQUIT, SIGPIPE, SIGUSR1, SIGALRM, SIGXFSZ, SIGABRT } ) {
			::sigaction( s, nullptr, &sa );
			if ( sa.sa_handler != SIG_DFL ) ::_exit( 10 + s );
		}
		// The ignored hangup was never taken over, and stays ignored.
		::sigaction( SIGHUP, nullptr, &sa );
		if ( sa.sa_handler != SIG_IGN ) ::_exit( 2 );
		::raise( SIGTERM );
		::_exit( 3 );
	} );
	ASSERT_TRUE( WIFSIGNALED( status ) ) << WEXITSTATUS( status );
	EXPECT_EQ( WTERMSIG( status ), SIGTERM );
	EXPECT_TRUE( fs::exists( work ) );
}

TEST( RunInterrupts, JobControlHandlersKeepErrno )
{
	// A stop or a continue may come between a failed call and the reading
	// of its errno: the handlers must leave errno as they found it, though
	// their own calls fail (here, the started program is gone: ESRCH).  In a
	// session of its own, so that the kernel discards the stop itself.
	int const status = in_child( [] {
		::setsid();
		pid_t const gone = ::fork();
		if ( gone == 0 ) ::_exit( 0 );
		::waitpid( gone, nullptr, 0 );
		installRunInterruptHandlers();
		setInterruptChild( gone );
		for ( int sig : { SIGTSTP, SIGTTIN, SIGTTOU, SIGCONT } ) {
			errno = EDOM;
			::raise( sig );
			if ( errno != EDOM ) ::_exit( 10 + sig );
		}
		::_exit( 0 );
	} );
	ASSERT_TRUE( WIFEXITED( status ) ) << status;
	EXPECT_EQ( WEXITSTATUS( status ), 0 ) << "errno changed by the handler of signal " << WEXITSTATUS( status ) - 10;
}
