#include "farray/char.functions.hh"

#include <cctype>

namespace farray {

char
lowercased( char const c )
{
	return static_cast< char >( std::tolower( static_cast< unsigned char >( c ) ) );
}

char
uppercased( char const c )
{
	return static_cast< char >( std::toupper( static_cast< unsigned char >( c ) ) );
}

char &
lowercase( char & c )
{
	c = lowercased( c );
	return c;
}

char &
uppercase( char & c )
{
	c = uppercased( c );
	return c;
}

bool
equal( char const c, char const d, bool const exact_case )
{
	return exact_case ? ( c == d ) : ( lowercased( c ) == lowercased( d ) );
}

bool
equali( char const c, char const d )
{
	return lowercased( c ) == lowercased( d );
}

bool
char_equali( char const c, char const d )
{
	return lowercased( c ) == lowercased( d );
}

bool
is_any_of( char const c, std::string const & s )
{
	return s.find( c ) != std::string::npos;
}

bool
is_any_of( char const c, char const * const s )
{
	for ( char const * p = s; *p != '\0'; ++p ) {
		if ( *p == c ) return true;
	}
	return false;
}

} // farray
