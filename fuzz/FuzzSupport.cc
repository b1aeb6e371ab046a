#include "fuzz/FuzzSupport.hh"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <unistd.h>

extern "C" [[noreturn]] void __real_exit( int status );

// Every call of exit in the harness and the code under test lands here (the
// harnesses are linked with --wrap=exit).
extern "C" [[noreturn]] void __wrap_exit( int status )
{
	if ( quilt_fuzz::detail::guard_depth > 0 ) throw quilt_fuzz::ProcessExit{ status };
	__real_exit( status );
}

namespace quilt_fuzz {

namespace detail {
thread_local int guard_depth = 0;
}

void fail( const std::string& what )
{
	std::fflush( stdout );
	std::fprintf( stderr, "FUZZ CHECK FAILED: %s\n", what.c_str() );
	std::abort();
}

namespace {

struct Scratch {
	std::string path;
	Scratch()
	{
		const char* tmp = std::getenv( "TMPDIR" );
		std::string templ = std::string( tmp && *tmp ? tmp : "/tmp" ) + "/quilt_fuzz_XXXXXX";
		std::vector< char > buf( templ.begin(), templ.end() );
		buf.push_back( '\0' );
		if ( !::mkdtemp( buf.data() ) ) {
			std::perror( "mkdtemp" );
			std::abort();
		}
		path = buf.data();
	}
	~Scratch()
	{
		std::error_code ec;
		std::filesystem::remove_all( path, ec );
	}
};

} // namespace

const std::string& scratch_dir()
{
	static Scratch s;
	return s.path;
}

std::string scratch_file( const std::string& name ) { return scratch_dir() + "/" + name; }

void write_file( const std::string& path, const uint8_t* data, std::size_t size )
{
	std::ofstream out( path, std::ios::binary | std::ios::trunc );
	out.write( reinterpret_cast< const char* >( data ), static_cast< std::streamsize >( size ) );
	out.close();
	if ( !out ) fail( "cannot write the scratch file " + path );
}

bool file_exists( const std::string& path ) { return ::access( path.c_str(), F_OK ) == 0; }

void remove_file( const std::string& path ) { ::unlink( path.c_str() ); }

std::vector< std::string > split_arguments( const uint8_t* data, std::size_t size, std::size_t max_args )
{
	std::vector< std::string > out( 1 );
	for ( std::size_t i = 0; i < size; ++i ) {
		char const c = static_cast< char >( data[ i ] );
		if ( c == '\0' || c == '\n' ) {
			if ( out.size() == max_args ) break;
			out.emplace_back();
		} else {
			out.back() += c;
		}
	}
	return out;
}

std::vector< char* > make_argv( const std::string& program, std::vector< std::string >& args )
{
	static std::string name;
	name = program;
	std::vector< char* > argv;
	argv.push_back( &name[ 0 ] );
	for ( std::string& a : args ) argv.push_back( &a[ 0 ] );
	argv.push_back( nullptr );
	return argv;
}

} // namespace quilt_fuzz
