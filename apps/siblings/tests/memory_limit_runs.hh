// Runs of a program under a range of address-space limits (ulimit -v), as a
// user on a machine short of memory makes them.  Whatever the limit, a run
// either does its whole work, or ends with status 1 and a line that says
// memory ran out, leaving nothing in its directory (no result, no
// temporary); below what the loader needs it cannot start at all.  Never an
// abort, a crash or another error.
#ifndef QUILT_SIBLINGS_TESTS_MEMORY_LIMIT_RUNS_HH
#define QUILT_SIBLINGS_TESTS_MEMORY_LIMIT_RUNS_HH

#include "testsupport/test_data.hh"
#include "apps/quilter/tests/quilter_run_case.hh"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace memory_limits {

// An address-space limit leaves no room for the shadow memory of
// AddressSanitizer: under it the programs cannot start at all.
bool const kSanitized = quilt_test::kAddressSanitized;

// Limits in kB from where the loader can barely map the libraries to where
// a small case has room.
inline std::vector< long > small_case_limits()
{
	return { 5500, 5750, 6000, 6250, 6500, 7000, 7500, 8000, 9000, 10000, 12000, 14000, 16000, 20000, 24000, 32000,
		48000, 64000, 96000, 131072 };
}

// Names in a directory tree, relative and sorted.
inline std::vector< std::string > tree( std::string const& dir )
{
	std::vector< std::string > out;
	for ( auto const& e : std::filesystem::recursive_directory_iterator( dir ) )
		out.push_back( std::filesystem::relative( e.path(), dir ).string() );
	std::sort( out.begin(), out.end() );
	return out;
}

// Whether the output says that memory ran out: the programs' line, or the
// map reader's refusal of a map it has no room for.
inline bool says_memory_ran_out( std::string const& out )
{
	return out.find( "Memory ran out" ) != std::string::npos ||
	       out.find( "Not enough memory to load the map" ) != std::string::npos;
}

// Whether the output holds head, a whole number, then tail ("Only ", "23",
// " of 256 threads").
inline bool says_with_number( std::string const& out, std::string const& head, std::string const& tail )
{
	for ( std::size_t at = out.find( head ); at != std::string::npos; at = out.find( head, at + 1 ) ) {
		std::size_t const digits = at + head.size();
		std::size_t end = digits;
		while ( end < out.size() && out[ end ] >= '0' && out[ end ] <= '9' ) ++end;
		if ( end > digits && out.compare( end, tail.size(), tail ) == 0 ) return true;
	}
	return false;
}

// The exit status of `command` run in dir under a limit of kb kB (77 when
// the shell cannot set it); its output goes to out.  `results` are removed
// afterwards.
inline int run_limited( std::string const& dir, std::string const& command, long kb, std::string& out,
	std::vector< std::string > const& results )
{
	int const status = quilter_test::run_shell( "cd " + quilter_test::shq( dir ) + " && ( ulimit -v " +
	                                                std::to_string( kb ) + " 2>/dev/null || exit 77; " + command + " )",
		out );
	for ( std::string const& r : results ) std::filesystem::remove( dir + "/" + r );
	return status;
}

// Limits just below the least one under which `command` does its whole
// work, found by bisection to 8 kB, and that least one: where a program
// that needs little memory (lobecut) starts but has no room for its work
// lies in a window a few hundred kB wide, whose place depends on the
// libraries and the build.  Empty when no limit up to 256 MB is enough.
inline std::vector< long > edge_limits( std::string const& dir, std::string const& command,
	std::vector< std::string > const& results )
{
	long lo = 2048, hi = 262144;
	std::string out;
	if ( run_limited( dir, command, hi, out, results ) != 0 ) return {};
	while ( hi - lo > 8 ) {
		long const mid = ( lo + hi ) / 2;
		if ( run_limited( dir, command, mid, out, results ) == 0 ) hi = mid;
		else lo = mid;
	}
	std::vector< long > out_limits;
	for ( long d : { 512L, 256L, 128L, 64L, 32L, 16L, 8L } )
		if ( hi - d > 2048 ) out_limits.push_back( hi - d );
	out_limits.push_back( hi );
	return out_limits;
}

// The limits of small_case_limits with those at the edge of `command`.
inline std::vector< long > limits_for( std::string const& dir, std::string const& command,
	std::vector< std::string > const& results )
{
	std::vector< long > all = small_case_limits();
	for ( long kb : edge_limits( dir, command, results ) ) all.push_back( kb );
	std::sort( all.begin(), all.end() );
	all.erase( std::unique( all.begin(), all.end() ), all.end() );
	return all;
}

struct Sweep {
	int succeeded = 0;  // runs that did the whole work
	int memoryStops = 0; // runs that said memory ran out
};

// Runs `command` (a shell command, run in `dir`) under each limit; between
// runs `reset` puts the directory back.  A run that exits 0 must leave
// `results` (names in dir) besides what was there; one that exits 1 must
// say that memory ran out and leave the directory as it was; one that
// cannot start (status 127 with the message of the loader or of the C
// library's start-up) leaves it as it was too.
// check(status, output), when given, looks at every run besides.  Returns
// the counts; a test expects both kinds.
inline Sweep run_under_limits( std::string const& dir, std::string const& command, std::vector< std::string > const& results,
	std::vector< long > const& limits, std::function< void() > const& reset = nullptr,
	std::function< void( int, std::string const& ) > const& check = nullptr )
{
	Sweep sweep;
	std::vector< std::string > const before = tree( dir );
	std::vector< std::string > after = before;
	after.insert( after.end(), results.begin(), results.end() );
	std::sort( after.begin(), after.end() );
	for ( long kb : limits ) {
		std::string out;
		int const status = quilter_test::run_shell( "cd " + quilter_test::shq( dir ) + " && ( ulimit -v " +
		                                                std::to_string( kb ) + " 2>/dev/null || exit 77; " + command + " )",
			out );
		if ( status == 77 ) {
			ADD_FAILURE() << "the shell cannot set an address-space limit";
			return sweep;
		}
		std::vector< std::string > const now = tree( dir );
		std::string const where = "ulimit -v " + std::to_string( kb ) + ": " + command + "\n" + out;
		if ( status == 0 ) {
			++sweep.succeeded;
			EXPECT_EQ( now, after ) << where;
		} else if ( status == 1 && says_memory_ran_out( out ) ) {
			++sweep.memoryStops;
			EXPECT_EQ( now, before ) << where;
		} else if ( status == 127 && ( out.find( "error while loading shared libraries" ) != std::string::npos ||
		                               out.find( "Fatal glibc error" ) != std::string::npos ||
		                               out.find( "cannot allocate TLS data structures" ) != std::string::npos ) ) {
			EXPECT_EQ( now, before ) << where;
		} else {
			ADD_FAILURE() << "status " << status << " under " << where;
		}
		if ( check ) check( status, out );
		if ( reset ) reset();
		else
			for ( std::string const& r : results ) std::filesystem::remove( dir + "/" + r );
	}
	return sweep;
}

} // namespace memory_limits

#endif
