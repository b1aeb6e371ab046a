#include "transforms/TextFormat.hh"

#include <cstdarg>
#include <cstdio>

std::string formatted( char const* fmt, ... )
{
	char small[ 256 ];
	va_list args;
	va_start( args, fmt );
	va_list again;
	va_copy( again, args );
	int const n = std::vsnprintf( small, sizeof small, fmt, args );
	va_end( args );
	std::string out;
	if ( n < 0 ) {
		va_end( again );
		return out;
	}
	if ( static_cast< std::size_t >( n ) < sizeof small ) {
		out.assign( small, static_cast< std::size_t >( n ) );
	} else {
		out.resize( static_cast< std::size_t >( n ) + 1 );
		std::vsnprintf( &out[ 0 ], out.size(), fmt, again );
		out.resize( static_cast< std::size_t >( n ) );
	}
	va_end( again );
	return out;
}
