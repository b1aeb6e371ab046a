#include "farray/Cstring.hh"
#include "farray/char.functions.hh"

#include <cstring>
#include <istream>
#include <ostream>

namespace farray {

namespace {

// Characters up to the first NUL, or all n when there is none
std::size_t
text_length( char const * const s, std::size_t const n )
{
	void const * const nul = std::memchr( s, '\0', n );
	return nul ? static_cast< std::size_t >( static_cast< char const * >( nul ) - s ) : n;
}

char *
new_text( char const * const s, std::size_t const n )
{
	char * const p = new char[ n + 1 ];
	if ( n > 0 ) std::memcpy( p, s, n );
	p[ n ] = '\0';
	return p;
}

bool
equali_texts( char const * const a, std::size_t const na, char const * const b, std::size_t const nb )
{
	if ( na != nb ) return false;
	for ( std::size_t i = 0; i < na; ++i ) {
		if ( lowercased( a[ i ] ) != lowercased( b[ i ] ) ) return false;
	}
	return true;
}

} // namespace

Cstring::Cstring() :
	str_( new_text( "", 0 ) )
{}

Cstring::Cstring( Cstring const & s ) :
	str_( new_text( s.str_, s.length() ) )
{}

Cstring::Cstring( char const * const s ) :
	str_( new_text( s, std::strlen( s ) ) )
{}

Cstring::Cstring( std::string const & s ) :
	str_( new_text( s.data(), text_length( s.data(), s.size() ) ) )
{}

Cstring::~Cstring()
{
	delete[] str_;
}

void
Cstring::replace( char const * const s, size_type const n )
{
	char * const p = new_text( s, n ); // before the old array goes: s may lie in it
	delete[] str_;
	str_ = p;
}

Cstring &
Cstring::operator =( Cstring const & s )
{
	if ( this != &s ) replace( s.str_, s.length() );
	return *this;
}

Cstring &
Cstring::operator =( char const * const s )
{
	replace( s, std::strlen( s ) );
	return *this;
}

Cstring &
Cstring::operator =( std::string const & s )
{
	replace( s.data(), text_length( s.data(), s.size() ) );
	return *this;
}

Cstring::size_type
Cstring::length() const
{
	return std::strlen( str_ );
}

bool
Cstring::has( char const c ) const
{
	return std::memchr( str_, c, length() ) != nullptr;
}

bool
Cstring::has_any_of( char const c ) const
{
	return has( c );
}

bool
Cstring::has_any_of( Cstring const & s ) const
{
	return has_any_of( s.str_ );
}

bool
Cstring::has_any_of( char const * const & s ) const
{
	size_type const ns = std::strlen( s );
	if ( ns == 0 ) return false;
	for ( char const * p = str_; *p != '\0'; ++p ) {
		if ( std::memchr( s, *p, ns ) != nullptr ) return true;
	}
	return false;
}

bool
Cstring::has_any_of( std::string const & s ) const
{
	for ( char const * p = str_; *p != '\0'; ++p ) {
		if ( s.find( *p ) != std::string::npos ) return true;
	}
	return false;
}

Cstring::size_type
Cstring::len_trim() const
{
	size_type n = length();
	while ( ( n > 0 ) && ( str_[ n - 1 ] == ' ' ) ) --n;
	return n;
}

Cstring::size_type
Cstring::len_trim_whitespace() const
{
	size_type n = length();
	while ( ( n > 0 ) && ( ( str_[ n - 1 ] == ' ' ) || ( str_[ n - 1 ] == '\t' ) ) ) --n;
	return n;
}

Cstring::size_type
Cstring::find( char const c ) const
{
	size_type const n = length();
	for ( size_type i = 0; i < n; ++i ) {
		if ( str_[ i ] == c ) return i;
	}
	return npos;
}

Cstring::size_type
Cstring::find_last( char const c ) const
{
	for ( size_type i = length(); i > 0; --i ) {
		if ( str_[ i - 1 ] == c ) return i - 1;
	}
	return npos;
}

Cstring &
Cstring::lowercase()
{
	for ( char * p = str_; *p != '\0'; ++p ) farray::lowercase( *p );
	return *this;
}

Cstring &
Cstring::uppercase()
{
	for ( char * p = str_; *p != '\0'; ++p ) farray::uppercase( *p );
	return *this;
}

Cstring &
Cstring::left_justify()
{
	size_type const n = length();
	size_type k = 0;
	while ( ( k < n ) && ( str_[ k ] == ' ' ) ) ++k;
	if ( ( k > 0 ) && ( k < n ) ) {
		std::memmove( str_, str_ + k, n - k );
		std::memset( str_ + n - k, ' ', k );
	}
	return *this;
}

Cstring &
Cstring::right_justify()
{
	size_type const n = length();
	size_type const e = len_trim();
	if ( ( e > 0 ) && ( e < n ) ) {
		std::memmove( str_ + n - e, str_, e );
		std::memset( str_, ' ', n - e );
	}
	return *this;
}

Cstring &
Cstring::center()
{
	left_justify();
	size_type const n = length();
	size_type const e = len_trim();
	size_type const shift = ( n - e ) / 2;
	if ( shift > 0 ) {
		std::memmove( str_ + shift, str_, e );
		std::memset( str_, ' ', shift );
	}
	return *this;
}

Cstring &
Cstring::compress()
{
	size_type const n = length();
	size_type k = 0;
	for ( size_type i = 0; i < n; ++i ) {
		if ( ( str_[ i ] != ' ' ) && ( str_[ i ] != '\t' ) ) str_[ k++ ] = str_[ i ];
	}
	if ( k < n ) std::memset( str_ + k, ' ', n - k );
	return *this;
}

bool
equali( Cstring const & a, Cstring const & b )
{
	return equali_texts( a.c_str(), a.length(), b.c_str(), b.length() );
}

bool
equali( Cstring const & a, char const * const b )
{
	return equali_texts( a.c_str(), a.length(), b, std::strlen( b ) );
}

bool
equali( char const * const a, Cstring const & b )
{
	return equali( b, a );
}

bool
equali( Cstring const & a, std::string const & b )
{
	return equali_texts( a.c_str(), a.length(), b.data(), b.size() );
}

bool
equali( std::string const & a, Cstring const & b )
{
	return equali( b, a );
}

bool
equali( Cstring const & a, char const c )
{
	return equali_texts( a.c_str(), a.length(), &c, 1 );
}

bool
equali( char const c, Cstring const & a )
{
	return equali( a, c );
}

std::ostream &
operator <<( std::ostream & stream, Cstring const & s )
{
	for ( char const * p = s.c_str(); *p != '\0'; ++p ) stream << *p;
	return stream;
}

std::istream &
operator >>( std::istream & stream, Cstring & s )
{
	std::string word;
	stream >> word;
	s.replace( word.data(), word.size() );
	return stream;
}

} // farray
