// Fatal input errors and the clock text.
#include "core/basic_fun_Quilt.hh"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <sys/time.h>

void PrintErrorAndQuit( const char* message )
{
	std::fputs( message, stdout );
	std::fputc( '\n', stdout );
	std::fflush( stdout );
	std::exit( 1 );
}

void PrintErrorAndQuitS( std::string message )
{
	std::fwrite( message.data(), 1, message.size(), stdout );
	std::fputc( '\n', stdout );
	std::fflush( stdout );
	std::exit( 1 );
}

std::string fa_getSysTime()
{
	struct timeval tv;
	::gettimeofday( &tv, nullptr );
	std::time_t secs = tv.tv_sec;
	struct tm local;
	::localtime_r( &secs, &local );
	char buf[ 30 ];
	std::snprintf( buf, sizeof( buf ), "%02d%03d%03d", local.tm_sec,
		static_cast< int >( tv.tv_usec / 1000 ), static_cast< int >( tv.tv_usec % 1000 ) );
	return buf;
}
