// Small helpers for tests: where the shared structures and maps lie, and
// private scratch directories that are removed when the test ends.
#ifndef QUILT_TESTSUPPORT_TEST_DATA_HH
#define QUILT_TESTSUPPORT_TEST_DATA_HH

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <ftw.h>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace quilt_test {

// Whether the tests run under AddressSanitizer: an address-space limit
// leaves no room for its shadow memory, so that programs run under one
// cannot start at all there.
#if defined( __SANITIZE_ADDRESS__ )
bool const kAddressSanitized = true;
#elif defined( __has_feature )
#if __has_feature( address_sanitizer )
bool const kAddressSanitized = true;
#else
bool const kAddressSanitized = false;
#endif
#else
bool const kAddressSanitized = false;
#endif

// The shared data folder sits beside the checkout: <repo>/../shared/data.
// QUILT_SHARED_DATA in the environment overrides it.
inline std::string shared_data_dir()
{
	if ( char const* env = std::getenv( "QUILT_SHARED_DATA" ) ) return env;
	return std::string( QUILT_SOURCE_DIR ) + "/../shared/data";
}

inline bool path_exists( std::string const& p )
{
	struct stat st;
	return ::stat( p.c_str(), &st ) == 0;
}

// Full path of a file under the shared data folder ("single/3MFP.pdb").
inline std::string shared_file( std::string const& rel ) { return shared_data_dir() + "/" + rel; }

// Directory of the built programs (build/bin).
inline std::string bin_dir() { return std::string( QUILT_BINARY_DIR ) + "/bin"; }

// A fresh directory under the system's temporary folder, removed with its
// contents when the object goes out of scope.
class ScratchDir {
public:
	explicit ScratchDir( std::string const& tag = "quilt" )
	{
		std::string templ = "/tmp/" + tag + "_XXXXXX";
		char* p = ::mkdtemp( &templ[0] );
		if ( p ) path_ = p;
	}
	~ScratchDir()
	{
		if ( !path_.empty() && path_.rfind( "/tmp/", 0 ) == 0 ) remove_tree( path_ );
	}
	// Removes path and everything below it with system calls, deepest first;
	// symbolic links are removed themselves, never followed.  No shell: a
	// directory name may hold quotes, "$(...)" or ";" (the quoting tests
	// make such names on purpose).
	static void remove_tree( std::string const& path )
	{
		::nftw( path.c_str(),
			[]( char const* p, struct stat const*, int type, struct FTW* ) {
				if ( type == FTW_DP ) ::rmdir( p );
				else ::unlink( p );
				return 0;
			},
			64, FTW_DEPTH | FTW_PHYS );
	}
	ScratchDir( ScratchDir const& ) = delete;
	ScratchDir& operator=( ScratchDir const& ) = delete;
	std::string const& path() const { return path_; }
	std::string file( std::string const& name ) const { return path_ + "/" + name; }
private:
	std::string path_;
};

// How often `what` stands in `text` (overlapping places counted).
inline std::size_t occurrences( std::string const& text, std::string const& what )
{
	std::size_t n = 0;
	for ( std::size_t at = text.find( what ); at != std::string::npos; at = text.find( what, at + 1 ) ) ++n;
	return n;
}

// Names in dir other than "." and ".." (in the directory's order); empty
// when it cannot be listed.
inline std::vector<std::string> entries( std::string const& dir )
{
	std::vector<std::string> out;
	if ( DIR* d = ::opendir( dir.c_str() ) ) {
		while ( dirent* e = ::readdir( d ) )
			if ( std::string( e->d_name ) != "." && std::string( e->d_name ) != ".." ) out.push_back( e->d_name );
		::closedir( d );
	}
	return out;
}

// Runs a shell command; returns what it printed on standard output and
// error, and its exit status in `status` (-1 when it did not exit).
inline std::string run_command( std::string const& cmd, int& status )
{
	std::string out;
	status = -1;
	FILE* p = ::popen( ( cmd + " 2>&1" ).c_str(), "r" );
	if ( !p ) return out;
	char buf[4096];
	size_t n;
	while ( ( n = std::fread( buf, 1, sizeof buf, p ) ) > 0 ) out.append( buf, n );
	int const st = ::pclose( p );
	status = WIFEXITED( st ) ? WEXITSTATUS( st ) : -1;
	return out;
}

// Runs f in a child process (which then exits 0) and returns its wait
// status: for code that ends the process, by a signal say.
template <class F>
int in_child( F f )
{
	std::fflush( nullptr );
	pid_t const pid = ::fork();
	if ( pid == 0 ) {
		f();
		::_exit( 0 );
	}
	int status = 0;
	::waitpid( pid, &status, 0 );
	return status;
}

} // namespace quilt_test

// Skips the current test when the shared data folder is not there.
#define QUILT_REQUIRE_SHARED_DATA()                                              \
	do {                                                                         \
		if ( !quilt_test::path_exists( quilt_test::shared_data_dir() ) )         \
			GTEST_SKIP() << "shared test data not found at "                     \
			             << quilt_test::shared_data_dir();                       \
	} while ( 0 )

#endif
