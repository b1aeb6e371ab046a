// The threaded programs on a machine that refuses most of the threads they
// ask for.  The limit is made in the child shell: every thread stack as
// large as the stack limit (1 GiB) and the address space capped at 3 GiB, so
// that at most a few of the 16 threads asked for can start, whatever the
// machine, while the work itself has room.  The run goes on with the threads
// it got, says how many, and writes the same results as a run on one thread.
#include "testsupport/test_data.hh"
#include "apps/siblings/tests/small_fit_case.hh"

#include <gtest/gtest.h>

#include <regex>

using namespace sibling_case;

namespace {

// The shell prefix of the limits; status 77 when the shell cannot set them.
std::string const kLimits = "{ ulimit -s 1048576 && ulimit -v 3145728; } 2>/dev/null || exit 77; ";

// The address-space limit leaves no room for the shadow memory of
// AddressSanitizer: under it the programs cannot start at all.
bool const kSanitized = quilt_test::kAddressSanitized;

// The count of the shortfall warning for `asked` threads; 0 when there is none.
int threads_said( std::string const& out, int asked )
{
	std::smatch m;
	std::regex const warning( "Warning! Only ([0-9]+) of " + std::to_string( asked )
	                          + " threads could be started; the work goes on with ([0-9]+)\\." );
	if ( !std::regex_search( out, m, warning ) || m[1] != m[2] ) return 0;
	return std::stoi( m[1] );
}

} // namespace

// Catches the abort with std::system_error (status 134) when a thread cannot
// be started.
TEST( ThreadLimits, RasterseekGoesOnWithTheThreadsItGets )
{
	if ( kSanitized ) GTEST_SKIP() << "an address-space limit cannot be set under AddressSanitizer";
	SmallFitCase c;
	std::string out;
	ASSERT_EQ( c.run( SmallFitCase::program( "Rasterseek" ) + " map.mrc chain.pdb one -res 6 -explor 2", out ), 0 )
		<< out;
	int const status = c.run( "( " + kLimits + "exec " + SmallFitCase::program( "Rasterseek" )
	                              + " map.mrc chain.pdb many -res 6 -explor 2 -nprocs 16 )",
		out );
	if ( status == 77 ) GTEST_SKIP() << "the shell cannot set the stack and address-space limits";
	ASSERT_EQ( status, 0 ) << out;
	int const said = threads_said( out, 16 );
	EXPECT_GE( said, 1 ) << out;
	EXPECT_LT( said, 16 ) << out;
	for ( std::string const k : { "_001.pdb", "_002.pdb" } )
		EXPECT_TRUE( file_text( c.file( "many" + k ) ) == file_text( c.file( "one" + k ) ) ) << k;
}

// Catches the same abort in Lobeplace, whose domain searches run on the
// "-nco" threads: it places the chain as it does on one thread, and the
// shortfall is said even with progress lines off.
TEST( ThreadLimits, LobeplaceGoesOnWithTheThreadsItGets )
{
	if ( kSanitized ) GTEST_SKIP() << "an address-space limit cannot be set under AddressSanitizer";
	SmallFitCase c;
	std::filesystem::copy_file( c.chain, c.file( "A_mi1.pdb" ) );
	std::string out;
	ASSERT_EQ( c.run( SmallFitCase::program( "Lobeplace" ) + " . map.mrc 6 -in A_mi -on one.pdb -sl 0 -nco 1", out ), 0 )
		<< out;
	int const status = c.run( "( " + kLimits + "exec " + SmallFitCase::program( "Lobeplace" )
	                              + " . map.mrc 6 -in A_mi -on many.pdb -sl 0 -nco 16 )",
		out );
	if ( status == 77 ) GTEST_SKIP() << "the shell cannot set the stack and address-space limits";
	ASSERT_EQ( status, 0 ) << out;
	int const said = threads_said( out, 16 );
	EXPECT_GE( said, 1 ) << out;
	EXPECT_LT( said, 16 ) << out;
	EXPECT_TRUE( file_text( c.file( "many1.pdb" ) ) == file_text( c.file( "one1.pdb" ) ) );
}
