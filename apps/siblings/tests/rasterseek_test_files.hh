// File helpers of the Rasterseek tests: lines of a file, the entries of a
// directory, a command's output and exit status.
#ifndef QUILT_SIBLINGS_TESTS_RASTERSEEK_TEST_FILES_HH
#define QUILT_SIBLINGS_TESTS_RASTERSEEK_TEST_FILES_HH

#include "testsupport/test_data.hh"

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

namespace rasterseek_test {

inline std::vector< std::string > lines_of( std::string const& path )
{
	std::vector< std::string > out;
	std::ifstream in( path.c_str() );
	std::string line;
	while ( std::getline( in, line ) ) out.push_back( line );
	return out;
}

// Names in a directory (without "." and ".."), sorted.
inline std::vector< std::string > entries( std::string const& dir )
{
	std::vector< std::string > out = quilt_test::entries( dir );
	std::sort( out.begin(), out.end() );
	return out;
}

// Standard output and error of a shell command; status gets its exit code.
inline std::string run( std::string const& cmd, int& status ) { return quilt_test::run_command( cmd, status ); }

} // namespace rasterseek_test

#endif
