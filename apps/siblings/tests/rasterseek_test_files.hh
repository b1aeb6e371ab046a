// File helpers of the Rasterseek tests: lines of a file, the entries of a
// directory, a command's output and exit status.
#ifndef QUILT_SIBLINGS_TESTS_RASTERSEEK_TEST_FILES_HH
#define QUILT_SIBLINGS_TESTS_RASTERSEEK_TEST_FILES_HH

#include <algorithm>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <string>
#include <sys/wait.h>
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
	std::vector< std::string > out;
	if ( DIR* d = ::opendir( dir.c_str() ) ) {
		while ( dirent* e = ::readdir( d ) )
			if ( std::string( e->d_name ) != "." && std::string( e->d_name ) != ".." ) out.push_back( e->d_name );
		::closedir( d );
	}
	std::sort( out.begin(), out.end() );
	return out;
}

// Standard output and error of a shell command; status gets its exit code.
inline std::string run( std::string const& cmd, int& status )
{
	std::string out;
	FILE* p = ::popen( ( cmd + " 2>&1" ).c_str(), "r" );
	if ( !p ) return out;
	char buf[ 4096 ];
	std::size_t n;
	while ( ( n = std::fread( buf, 1, sizeof buf, p ) ) > 0 ) out.append( buf, n );
	int const st = ::pclose( p );
	status = WIFEXITED( st ) ? WEXITSTATUS( st ) : -1;
	return out;
}

} // namespace rasterseek_test

#endif
