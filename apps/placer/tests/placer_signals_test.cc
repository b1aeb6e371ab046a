// Placer ended by a signal while it writes its fitted models leaves none of
// its temporary files behind: neither the probe of the model's directory nor
// a model under its temporary name, whatever the step (right after any
// temporary file was made, right after any model was renamed into place)
// and whatever the signal of those whose default ends a process.  It ends
// with 128 + the signal (an abort stays an abort), and the models it
// finished before stay whole.  A test tool loaded into Placer raises the
// signal at the chosen step; nothing depends on timing.
#include "apps/siblings/tests/sibling_cases.hh"
#include "apps/siblings/tests/small_fit_case.hh"

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <vector>

using namespace sibling_case;

namespace {

std::string const kShim = std::string( QUILT_BINARY_DIR ) + "/lib/libquilt_signal_at_step.so";

bool temporary_name( std::string const& n )
{
	return n.find( ".tmp" ) != std::string::npos || n.find( ".placer_write_test" ) != std::string::npos;
}

} // namespace

// Catches the probe ".placer_write_testXXXXXX" and "chain_k.pdb.tmpXXXXXX"
// left by SIGTERM and the others (10 of 40 random kills left one before).
TEST( PlacerSignals, NoTemporaryOutlivesASignalAtAnyStep )
{
	std::vector< int > const sigs = { SIGTERM, SIGINT, SIGHUP, SIGPIPE, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGXCPU,
		SIGXFSZ, SIGRTMIN, SIGRTMAX, SIGABRT, SIGPROF };
	int reached = 0;
	for ( std::string const kind : { "temp", "rename" } ) {
		for ( int n = 1; n <= 30; ++n ) {
			SmallFitCase c;
			int const sig = sigs[ size_t( n - 1 + ( kind == "rename" ? 5 : 0 ) ) % sigs.size() ];
			std::string out;
			c.run( "QUILT_SIGNAL_AT=" + kind + ":" + std::to_string( n ) + ":" + std::to_string( sig ) +
			           " LD_PRELOAD=" + shq( kShim ) +
			           " ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0\" " +
			           SmallFitCase::program( "Placer" ) + " map.mrc chain.pdb 6 -nm 3 -sl 0 > run.log 2>&1; echo status=$?",
				out );
			if ( says( out, "status=0" ) ) break;
			++reached;
			EXPECT_TRUE( says( out, "status=" + std::to_string( 128 + sig ) ) )
				<< kind << " " << n << " signal " << sig << "\n" << out << file_text( c.file( "run.log" ) );
			for ( std::string const& name : c.names() ) {
				EXPECT_FALSE( temporary_name( name ) ) << "left " << name << " (" << kind << " " << n << ", signal " << sig << ")";
				if ( name.compare( 0, 6, "chain_" ) == 0 ) {
					std::string why;
					EXPECT_TRUE( sibtest::is_line_copy( c.chain, c.file( name ), &why ) ) << name << " is not whole: " << why;
				}
			}
			EXPECT_LT( n, 30 ) << "Placer reached more than 30 " << kind << " steps";
		}
	}
	// The probe and at least one model, each made and renamed.
	EXPECT_GE( reached, 3 );
}
