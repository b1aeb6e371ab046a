// A test tool, loaded with LD_PRELOAD into a program under test: it sends
// the program a signal at a chosen step of its file handling, so that tests
// can stop a program exactly there instead of guessing a moment.
//
//   QUILT_SIGNAL_AT="<step>:<n>:<signal number>"
//
// <step> is "temp" (the n-th temporary file made with mkstemp or
// mkostemp, right after it exists) or "rename" (right after the n-th
// successful rename).  The signal is raised on the calling thread.  Unset,
// the tool does nothing.
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <signal.h>

namespace {

struct Plan {
	char step[ 16 ] = { 0 };
	long n = 0;
	int signal = 0;
};

Plan const& plan()
{
	static Plan const p = [] {
		Plan q;
		char const* v = std::getenv( "QUILT_SIGNAL_AT" );
		if ( !v ) return q;
		char const* c1 = std::strchr( v, ':' );
		if ( !c1 || c1 - v >= (long)sizeof q.step ) return q;
		std::memcpy( q.step, v, size_t( c1 - v ) );
		char* end = nullptr;
		q.n = std::strtol( c1 + 1, &end, 10 );
		if ( !end || *end != ':' ) return Plan();
		q.signal = int( std::strtol( end + 1, nullptr, 10 ) );
		return q;
	}();
	return p;
}

std::atomic< long > g_temps{ 0 }, g_renames{ 0 };

void count( char const* step, std::atomic< long >& counter )
{
	Plan const& p = plan();
	if ( p.signal <= 0 || std::strcmp( p.step, step ) != 0 ) return;
	if ( ++counter == p.n ) ::raise( p.signal );
}

template < class F >
F next( char const* name )
{
	return reinterpret_cast< F >( ::dlsym( RTLD_NEXT, name ) );
}

} // namespace

extern "C" {

int mkstemp( char* templ )
{
	static auto real = next< int ( * )( char* ) >( "mkstemp" );
	int const fd = real( templ );
	if ( fd >= 0 ) count( "temp", g_temps );
	return fd;
}

int mkostemp( char* templ, int flags )
{
	static auto real = next< int ( * )( char*, int ) >( "mkostemp" );
	int const fd = real( templ, flags );
	if ( fd >= 0 ) count( "temp", g_temps );
	return fd;
}

int rename( char const* from, char const* to )
{
	static auto real = next< int ( * )( char const*, char const* ) >( "rename" );
	int const r = real( from, to );
	if ( r == 0 ) count( "rename", g_renames );
	return r;
}

} // extern "C"
