#include "utility/icstream.hh"

#include <iostream>
#include <vector>

namespace utility {
namespace io {

std::istream &
icstream::operator >>( std::istream & ( *pf )( std::istream & ) )
{
	return pf( static_cast< std::istream & >( *this ) );
}

void
icstream::seek_beg()
{
	stream().clear();
	stream().seekg( 0, std::ios_base::beg );
	stream().clear();
}

int
icstream::get()
{
	return stream().get();
}

icstream &
icstream::get( char & c )
{
	stream().get( c );
	return *this;
}

icstream &
icstream::get( char * s, std::streamsize const n )
{
	stream().get( s, n );
	return *this;
}

icstream &
icstream::get( char * s, std::streamsize const n, char const delim )
{
	stream().get( s, n, delim );
	return *this;
}

icstream &
icstream::get( std::string & s, std::streamsize const n )
{
	return get( s, n, '\n' );
}

icstream &
icstream::get( std::string & s, std::streamsize const n, char const delim )
{
	if ( n < 1 ) { // no room even for the terminating NUL: nothing is read
		s.clear();
		stream().setstate( std::ios_base::failbit );
		return *this;
	}
	std::vector< char > buffer( static_cast< std::size_t >( n ) );
	stream().get( buffer.data(), n, delim );
	s.assign( buffer.data(), static_cast< std::size_t >( stream().gcount() ) );
	return *this;
}

icstream &
icstream::getline( char * s, std::streamsize const n )
{
	stream().getline( s, n );
	return *this;
}

icstream &
icstream::getline( char * s, std::streamsize const n, char const delim )
{
	stream().getline( s, n, delim );
	return *this;
}

icstream &
icstream::getline( std::string & s )
{
	std::getline( stream(), s );
	return *this;
}

icstream &
icstream::getline( std::string & s, char const delim )
{
	std::getline( stream(), s, delim );
	return *this;
}

icstream &
icstream::read( char * s, std::streamsize const n )
{
	stream().read( s, n );
	return *this;
}

icstream &
icstream::read( std::string & s, std::streamsize const n )
{
	// One spare byte: the buffer is never empty, so its address is never null
	std::vector< char > buffer( static_cast< std::size_t >( n > 0 ? n : 0 ) + 1 );
	stream().read( buffer.data(), n > 0 ? n : 0 );
	s.assign( buffer.data(), static_cast< std::size_t >( stream().gcount() ) );
	return *this;
}

std::streamsize
icstream::readsome( char * s, std::streamsize const n )
{
	return stream().readsome( s, n );
}

std::streamsize
icstream::readsome( std::string & s, std::streamsize const n )
{
	std::vector< char > buffer( static_cast< std::size_t >( n > 0 ? n : 0 ) + 1 );
	std::streamsize const count = stream().readsome( buffer.data(), n > 0 ? n : 0 );
	s.assign( buffer.data(), static_cast< std::size_t >( count ) );
	return count;
}

icstream &
icstream::ignore()
{
	stream().ignore();
	return *this;
}

icstream &
icstream::ignore( std::streamsize const n )
{
	stream().ignore( n );
	return *this;
}

icstream &
icstream::ignore( std::streamsize const n, int const delim )
{
	stream().ignore( n, delim );
	return *this;
}

int
icstream::peek()
{
	return stream().peek();
}

icstream &
icstream::unget()
{
	stream().unget();
	return *this;
}

icstream &
icstream::putback( char const c )
{
	stream().putback( c );
	return *this;
}

namespace ic {

// Initialised as a constant (constexpr constructor over the address of
// std::cin), so it is usable before any dynamic initialisation
icstream cin( std::cin );

} // ic

} // io
} // utility
