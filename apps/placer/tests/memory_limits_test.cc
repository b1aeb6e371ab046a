// Placer on a machine short of memory: each run under a range of
// address-space limits (ulimit -v) ends either with its fitted models or
// with status 1, the line that says memory ran out (and in what step), and
// no file written.  Catches the abort of an allocation failure after the map
// is loaded ("terminate called after throwing an instance of
// 'std::bad_alloc'", status 134).
#include "apps/siblings/tests/memory_limit_runs.hh"
#include "apps/siblings/tests/small_fit_case.hh"

#include <gtest/gtest.h>

TEST( PlacerMemoryLimits, EveryRunEndsWithItsModelsOrTheMemoryLine )
{
	if ( memory_limits::kSanitized ) GTEST_SKIP() << "an address-space limit cannot be set under AddressSanitizer";
	sibling_case::SmallFitCase c;
	std::string const command = sibling_case::SmallFitCase::program( "Placer" ) + " map.mrc chain.pdb 6 -nm 3 -sl 0";
	std::vector< std::string > const results = { "chain_1.pdb", "chain_2.pdb", "chain_3.pdb" };
	memory_limits::Sweep const s = memory_limits::run_under_limits( c.dir, command, results,
		memory_limits::limits_for( c.dir, command, results ), nullptr, []( int status, std::string const& out ) {
			if ( status == 1 ) {
				EXPECT_NE( out.find( "; no model written." ), std::string::npos ) << out;
			}
		} );
	EXPECT_GE( s.succeeded, 1 ) << "no limit left room for the fit";
	EXPECT_GE( s.memoryStops, 1 ) << "no limit was too small for the fit";
}
