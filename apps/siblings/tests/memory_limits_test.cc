// The fitting programs on a machine short of memory: each run under a range
// of address-space limits (ulimit -v) ends either with its whole result or
// with status 1, the line that says memory ran out (and in what step), and
// nothing written: no result, no temporary.  Catches the abort of an
// allocation failure (std::bad_alloc out of main or out of a worker thread,
// "terminate called after throwing", status 134) and the temporaries left
// when one unwound a writer.
#include "apps/siblings/tests/memory_limit_runs.hh"
#include "apps/siblings/tests/small_fit_case.hh"

#include <gtest/gtest.h>

using namespace sibling_case;
using memory_limits::kSanitized;
using memory_limits::run_under_limits;
using memory_limits::limits_for;

namespace {

void expect_both_ends( memory_limits::Sweep const& s )
{
	EXPECT_GE( s.succeeded, 1 ) << "no limit left room for the work";
	EXPECT_GE( s.memoryStops, 1 ) << "no limit was too small for the work";
}

} // namespace

// Also on many threads: the threads that start take the room their work
// spaces would need.
TEST( MemoryLimits, Rasterseek )
{
	if ( kSanitized ) GTEST_SKIP() << "an address-space limit cannot be set under AddressSanitizer";
	SmallFitCase c;
	std::string const command = SmallFitCase::program( "Rasterseek" ) + " map.mrc chain.pdb R -res 6 -explor 2 -nprocs 64";
	std::vector< std::string > const results = { "R_001.pdb", "R_002.pdb" };
	expect_both_ends( run_under_limits( c.dir, command, results, limits_for( c.dir, command, results ) ) );
}

TEST( MemoryLimits, Lobeplace )
{
	if ( kSanitized ) GTEST_SKIP() << "an address-space limit cannot be set under AddressSanitizer";
	SmallFitCase c;
	std::filesystem::copy_file( c.chain, c.file( "A_mi1.pdb" ) );
	std::string const command = SmallFitCase::program( "Lobeplace" ) + " . map.mrc 6 -in A_mi -on placed.pdb -sl 0 -nco 16";
	std::vector< std::string > const results = { "placed1.pdb" };
	expect_both_ends( run_under_limits( c.dir, command, results, limits_for( c.dir, command, results ) ) );
}

TEST( MemoryLimits, PlacerRNA )
{
	if ( kSanitized ) GTEST_SKIP() << "an address-space limit cannot be set under AddressSanitizer";
	SmallFitCase c;
	std::string const command = SmallFitCase::program( "PlacerRNA" ) + " map.mrc chain.pdb 6 -nm 2 -sl 0";
	std::vector< std::string > const results = { "chain_1.pdb", "chain_2.pdb" };
	expect_both_ends( run_under_limits( c.dir, command, results, limits_for( c.dir, command, results ) ) );
}

TEST( MemoryLimits, Lobetune )
{
	if ( kSanitized ) GTEST_SKIP() << "an address-space limit cannot be set under AddressSanitizer";
	SmallFitCase c;
	std::string const command = SmallFitCase::program( "Lobetune" ) + " map.mrc chain.pdb 6 -on tuned.pdb -sl 0";
	std::vector< std::string > const results = { "tuned_1.pdb" };
	expect_both_ends( run_under_limits( c.dir, command, results, limits_for( c.dir, command, results ) ) );
}

// lobecut's result is its domain line on standard output: a run that stops
// prints none of it.
TEST( MemoryLimits, Lobecut )
{
	if ( kSanitized ) GTEST_SKIP() << "an address-space limit cannot be set under AddressSanitizer";
	SmallFitCase c;
	std::filesystem::copy_file( c.chain, c.file( "hlix.pdb" ) );
	std::string const command = SmallFitCase::program( "lobecut" ) + " hlixA";
	expect_both_ends( run_under_limits( c.dir, command, {}, limits_for( c.dir, command, {} ), nullptr,
		[]( int status, std::string const& out ) {
			EXPECT_EQ( out.find( "hlixA " ) != std::string::npos, status == 0 ) << out;
		} ) );
}
