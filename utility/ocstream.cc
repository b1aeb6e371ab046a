#include "utility/ocstream.hh"

#include <algorithm>
#include <iostream>

namespace utility {
namespace io {

ocstream &
ocstream::operator <<( std::ostream & ( *pf )( std::ostream & ) )
{
	pf( o_stream_ );
	return *this;
}

ocstream &
ocstream::flush()
{
	o_stream_.flush();
	return *this;
}

ocstream &
ocstream::put( char const c )
{
	o_stream_.put( c );
	return *this;
}

ocstream &
ocstream::write( char const * str, std::streamsize const count )
{
	o_stream_.write( str, count );
	return *this;
}

ocstream &
ocstream::write( std::string const & str, std::streamsize const count )
{
	// Never past the end of the text
	std::streamsize const n = std::min( count, static_cast< std::streamsize >( str.size() ) );
	o_stream_.write( str.data(), std::max( n, std::streamsize( 0 ) ) );
	return *this;
}

namespace oc {

// Initialised as constants (constexpr constructor over the addresses of the
// standard streams), so they are usable before any dynamic initialisation
ocstream cout( std::cout );
ocstream cerr( std::cerr );
ocstream clog( std::clog );

} // oc

} // io
} // utility
