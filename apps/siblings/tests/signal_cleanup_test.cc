// A sibling program that a signal ends while it writes its results leaves
// none of its temporary files behind, whatever the signal of those whose
// default ends a process, and whatever the step: right after any of its
// temporaries was made, or right after any of its results was renamed into
// place.  It ends with 128 + the signal (an abort stays an abort), and the
// results it finished before stay whole.  The signal is raised by a test
// tool loaded into the program at the chosen step, never sent at a guessed
// moment.
#include "apps/siblings/tests/sibling_cases.hh"
#include "apps/siblings/tests/small_fit_case.hh"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <string>
#include <vector>

using namespace sibling_case;
namespace fs = std::filesystem;

namespace {

std::string const kShim = std::string( QUILT_BINARY_DIR ) + "/lib/libquilt_signal_at_step.so";

// The signals tried, in turn, one per step.
std::vector< int > signals_tried()
{
	return { SIGTERM, SIGINT, SIGHUP, SIGPIPE, SIGUSR1, SIGALRM, SIGXFSZ, SIGRTMIN, SIGRTMAX, SIGABRT, SIGQUIT,
		SIGUSR2, SIGVTALRM, SIGPWR };
}

bool temporary_name( std::string const& n )
{
	return n.find( ".part" ) != std::string::npos || n.find( ".tmp" ) != std::string::npos;
}

struct Program {
	const char* name;
	std::string args;     // after the program, run in the case directory
	std::string results;  // names of results begin with this
};

class SignalCleanup : public testing::TestWithParam< int > {
protected:
	// Runs the program with the signal raised at `step`; returns the status.
	int run_signalled( SmallFitCase const& c, Program const& p, std::string const& step, int sig, std::string& out )
	{
		std::string const env = "QUILT_SIGNAL_AT=" + step + ":" + std::to_string( sig ) + " LD_PRELOAD=" + shq( kShim ) +
		                        " ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0\" ";
		return c.run( env + SmallFitCase::program( p.name ) + " " + p.args + " > run.log 2>&1; echo status=$?", out );
	}

	// Steps n = 1, 2, ... of one kind until the program no longer reaches
	// the n-th one (it then ends normally): each signalled run leaves no
	// temporary, and only whole results.  Returns the number of steps met.
	int every_step( Program const& p, std::string const& kind )
	{
		std::vector< int > const sigs = signals_tried();
		for ( int n = 1; n <= 40; ++n ) {
			SmallFitCase c;
			prepare( c, p );
			// Each program starts elsewhere in the list, so that more signals are met.
			int const sig = sigs[ ( size_t( n - 1 ) + 3 * size_t( GetParam() ) ) % sigs.size() ];
			std::string out;
			run_signalled( c, p, kind + ":" + std::to_string( n ), sig, out );
			std::string const log = file_text( c.file( "run.log" ) );
			if ( says( out, "status=0" ) ) return n - 1;
			int const expected = 128 + sig;
			EXPECT_TRUE( says( out, "status=" + std::to_string( expected ) ) )
				<< p.name << " " << kind << " " << n << " signal " << sig << "\n" << out << log;
			for ( std::string const& name : c.names() ) {
				EXPECT_FALSE( temporary_name( name ) ) << p.name << " left " << name << " (" << kind << " " << n
				                                      << ", signal " << sig << ")";
				if ( name.compare( 0, p.results.size(), p.results ) == 0 ) {
					std::string why;
					EXPECT_TRUE( sibtest::is_line_copy( c.chain, c.file( name ), &why ) )
						<< p.name << ": result " << name << " is not whole: " << why;
				}
			}
		}
		ADD_FAILURE() << p.name << " reached more than 40 " << kind << " steps";
		return 40;
	}

	static void prepare( SmallFitCase const& c, Program const& p )
	{
		if ( std::string( p.name ) == "Lobeplace" ) fs::copy_file( c.chain, c.file( "A_mi1.pdb" ) );
	}
};

std::vector< Program > programs()
{
	return { { "Rasterseek", "map.mrc chain.pdb A -res 6 -deg 40 -explor 3", "A_0" },
		{ "PlacerRNA", "map.mrc chain.pdb 6 -nm 4 -sl 0", "chain_" },
		{ "Lobetune", "map.mrc chain.pdb 6 -sl 0", "chain_dom" },
		{ "Lobeplace", ". map.mrc 6 -in A_mi -on A_mo.pdb -sl 0", "A_mo" } };
}

} // namespace

// Catches temporaries left by a signal (Rasterseek left up to hundreds of
// ".part" files) and a handler that misses some of the signals: every
// temporary the program makes is a step, each with another signal.
TEST_P( SignalCleanup, NoTemporaryOutlivesASignalAtAnyStep )
{
	Program const p = programs()[ size_t( GetParam() ) ];
	int const temps = every_step( p, "temp" );
	EXPECT_GE( temps, 1 ) << p.name << " made no temporary file";
	int const renames = every_step( p, "rename" );
	EXPECT_GE( renames, 1 ) << p.name << " renamed no result";
}

// Catches a signal left out of those handled (SIGRTMAX, say: its status is
// 192 either way, so only what it leaves tells): each one, at the step right
// after the first temporary file.
TEST( SignalCleanupEverySignal, EachTerminatingSignalRemovesTheTemporaries )
{
	std::vector< int > every = { SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGPIPE, SIGUSR1, SIGUSR2, SIGALRM, SIGXCPU,
		SIGXFSZ, SIGVTALRM, SIGPROF, SIGIO, SIGPWR, SIGSTKFLT, SIGABRT };
	for ( int s = SIGRTMIN; s <= SIGRTMAX; ++s ) every.push_back( s );
	SmallFitCase c;
	for ( int sig : every ) {
		std::string out;
		std::string const env = "QUILT_SIGNAL_AT=temp:1:" + std::to_string( sig ) + " LD_PRELOAD=" + shq( kShim ) +
		                        " ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0\" ";
		c.run( env + SmallFitCase::program( "Lobetune" ) + " map.mrc chain.pdb 6 -sl 0 > run.log 2>&1; echo status=$?", out );
		EXPECT_TRUE( says( out, "status=" + std::to_string( 128 + sig ) ) ) << "signal " << sig << "\n" << out;
		for ( std::string const& name : c.names() ) {
			EXPECT_FALSE( temporary_name( name ) ) << "signal " << sig << " left " << name;
			if ( temporary_name( name ) ) fs::remove( c.file( name ) );
		}
		EXPECT_FALSE( fs::exists( c.file( "chain_dom_1.pdb" ) ) ) << "signal " << sig;
	}
}

INSTANTIATE_TEST_SUITE_P( Siblings, SignalCleanup, testing::Range( 0, 4 ),
	[]( testing::TestParamInfo< int > const& info ) { return std::string( programs()[ size_t( info.param ) ].name ); } );
