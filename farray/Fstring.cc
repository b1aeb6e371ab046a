#include "farray/Fstring.hh"
#include "farray/assert.hh"
#include "farray/char.functions.hh"

#include <algorithm>
#include <climits>
#include <cstring>
#include <istream>
#include <ostream>
#include <vector>

namespace farray {

namespace {

using size_type = Fstring::size_type;

// The whitespace set: space, TAB and NUL
inline bool
is_whitespace( char const c )
{
	return ( c == ' ' ) || ( c == '\t' ) || ( c == '\0' );
}

inline bool
is_blank_char( char const c )
{
	return c == ' ';
}

// c is one of the n characters at set
inline bool
in_set( char const c, char const * const set, size_type const n )
{
	return ( n > 0 ) && ( std::memchr( set, c, n ) != nullptr );
}

// Equal with the shorter operand padded with blanks
bool
padded_equal( char const * const a, size_type const la, char const * const b, size_type const lb )
{
	size_type const n = std::min( la, lb );
	if ( ( n > 0 ) && ( std::memcmp( a, b, n ) != 0 ) ) return false;
	for ( size_type i = n; i < la; ++i ) {
		if ( a[ i ] != ' ' ) return false;
	}
	for ( size_type i = n; i < lb; ++i ) {
		if ( b[ i ] != ' ' ) return false;
	}
	return true;
}

// Negative, zero or positive as a orders before, with or after b: unsigned
// character values, the shorter operand padded with blanks (so a TAB beyond
// the common length orders before the padding blank)
int
padded_order( char const * const a, size_type const la, char const * const b, size_type const lb )
{
	size_type const n = std::min( la, lb );
	for ( size_type i = 0; i < n; ++i ) {
		unsigned char const ca = static_cast< unsigned char >( a[ i ] );
		unsigned char const cb = static_cast< unsigned char >( b[ i ] );
		if ( ca != cb ) return ca < cb ? -1 : 1;
	}
	unsigned char const blank = ' ';
	for ( size_type i = n; i < lb; ++i ) {
		unsigned char const cb = static_cast< unsigned char >( b[ i ] );
		if ( cb != blank ) return blank < cb ? -1 : 1;
	}
	for ( size_type i = n; i < la; ++i ) {
		unsigned char const ca = static_cast< unsigned char >( a[ i ] );
		if ( ca != blank ) return ca < blank ? -1 : 1;
	}
	return 0;
}

// First / last position (1-based) among the n characters at p whose
// character satisfies pred; 0 if none
template< typename Pred >
size_type
first_pos( char const * const p, size_type const n, Pred pred )
{
	for ( size_type i = 0; i < n; ++i ) {
		if ( pred( p[ i ] ) ) return i + 1;
	}
	return 0;
}

template< typename Pred >
size_type
last_pos( char const * const p, size_type const n, Pred pred )
{
	for ( size_type i = n; i > 0; --i ) {
		if ( pred( p[ i - 1 ] ) ) return i;
	}
	return 0;
}

// Strip the characters satisfying in from both ends of the n characters at
// p: the kept run moves to the start and blanks follow it; nothing kept
// gives all blanks
template< typename In >
void
strip_both( char * const p, size_type const n, In in )
{
	auto const out = [ &in ]( char const c ) { return ! in( c ); };
	size_type const ib = first_pos( p, n, out );
	if ( ib == 0 ) {
		if ( n > 0 ) std::memset( p, ' ', n );
		return;
	}
	size_type const ie = last_pos( p, n, out );
	FARRAY_ASSERT_IN( ie >= ib, "farray/Fstring.cc" );
	size_type const kept = ie - ib + 1;
	if ( ib > 1 ) std::memmove( p, p + ib - 1, kept );
	std::memset( p + kept, ' ', n - kept );
}

template< typename In >
void
strip_left( char * const p, size_type const n, In in )
{
	size_type const ib = first_pos( p, n, [ &in ]( char const c ) { return ! in( c ); } );
	if ( ib == 0 ) {
		if ( n > 0 ) std::memset( p, ' ', n );
		return;
	}
	if ( ib > 1 ) {
		size_type const kept = n - ib + 1;
		std::memmove( p, p + ib - 1, kept );
		std::memset( p + kept, ' ', n - kept );
	}
}

template< typename In >
void
strip_right( char * const p, size_type const n, In in )
{
	size_type const ie = last_pos( p, n, [ &in ]( char const c ) { return ! in( c ); } );
	if ( n > ie ) std::memset( p + ie, ' ', n - ie );
}

// A stream field width for a length: 0 means no limit
std::streamsize
width_of( size_type const len )
{
	return static_cast< std::streamsize >( std::min( len, static_cast< size_type >( INT_MAX ) ) );
}

} // namespace

// Construction and destruction

Fstring::Fstring() :
	len_( 0 ),
	str_( nullptr ),
	c_str_( nullptr ),
	sub_( false )
{}

Fstring::Fstring( Fstring const & s ) :
	len_( s.len_ ),
	str_( s.len_ > 0 ? new char[ s.len_ ] : nullptr ),
	c_str_( nullptr ),
	sub_( false )
{
	if ( len_ > 0 ) std::memcpy( str_, s.str_, len_ );
}

Fstring::Fstring( std::string const & s ) :
	len_( s.size() ),
	str_( s.size() > 0 ? new char[ s.size() ] : nullptr ),
	c_str_( nullptr ),
	sub_( false )
{
	if ( len_ > 0 ) std::memcpy( str_, s.data(), len_ );
}

Fstring::Fstring( char const * const s ) :
	Fstring( std::char_traits< char >::length( s ), ' ', fill_tag() )
{
	if ( len_ > 0 ) std::memcpy( str_, s, len_ );
}

Fstring::Fstring( size_type const n, char const c, fill_tag ) :
	len_( n ),
	str_( n > 0 ? new char[ n ] : nullptr ),
	c_str_( nullptr ),
	sub_( false )
{
	if ( len_ > 0 ) std::memset( str_, c, len_ );
}

Fstring::Fstring( Fstring const & s, size_type const i, size_type const j ) :
	len_( 0 ),
	str_( nullptr ),
	c_str_( nullptr ),
	sub_( true )
{
	view( s, i, j );
}

Fstring::Fstring( Fstring const & s, size_type const i ) :
	len_( 0 ),
	str_( nullptr ),
	c_str_( nullptr ),
	sub_( true )
{
	view( s, i, s.len_ );
}

Fstring::~Fstring()
{
	if ( ! sub_ ) delete[] str_;
	delete[] c_str_;
}

void
Fstring::view( Fstring const & s, size_type const i, size_type const j )
{
	FARRAY_ASSERT_IN( i > 0, "farray/Fstring.cc" );
	size_type const e = std::min( j, s.len_ );
	if ( i > e ) { // empty: at the first character
		len_ = 0;
		str_ = s.str_;
	} else {
		len_ = e - i + 1;
		str_ = s.str_ + ( i - 1 );
	}
}

// Assignment

void
Fstring::assign( char const * const s, size_type const n )
{
	if ( len_ > n ) {
		if ( n > 0 ) std::memmove( str_, s, n );
		std::memset( str_ + n, ' ', len_ - n );
	} else if ( len_ > 0 ) {
		std::memmove( str_, s, len_ );
	} else if ( ( str_ == nullptr ) && ( ! sub_ ) ) { // length 0: takes the source's
		if ( n > 0 ) {
			str_ = new char[ n ];
			std::memcpy( str_, s, n );
			len_ = n;
		}
	} // a zero-length view stays as it is
}

Fstring &
Fstring::operator =( Fstring const & s )
{
	if ( this != &s ) assign( s.str_, s.len_ );
	return *this;
}

Fstring &
Fstring::operator =( std::string const & s )
{
	assign( s.data(), s.size() );
	return *this;
}

Fstring &
Fstring::operator =( char const * const s )
{
	assign( s, std::char_traits< char >::length( s ) );
	return *this;
}

Fstring &
Fstring::operator =( char const c )
{
	assign( &c, 1 );
	return *this;
}

// Queries

Fstring::size_type
Fstring::len_trim() const
{
	return last_pos( str_, len_, []( char const c ) { return c != ' '; } );
}

Fstring::size_type
Fstring::len_trim_whitespace() const
{
	return last_pos( str_, len_, []( char const c ) { return ! is_whitespace( c ); } );
}

Fstring::size_type
Fstring::find_whitespace() const
{
	return first_pos( str_, len_, is_whitespace );
}

Fstring::size_type
Fstring::find_non_whitespace() const
{
	return first_pos( str_, len_, []( char const c ) { return ! is_whitespace( c ); } );
}

Fstring::size_type
Fstring::find_last_whitespace() const
{
	return last_pos( str_, len_, is_whitespace );
}

Fstring::size_type
Fstring::find_last_non_whitespace() const
{
	return len_trim_whitespace();
}

Fstring::size_type
Fstring::trimmed_whitespace_range( size_type & b, size_type & e ) const
{
	b = find_non_whitespace();
	if ( b == 0 ) {
		b = 1;
		e = 0;
		return 0;
	}
	e = find_last_non_whitespace();
	return e - b + 1;
}

bool
Fstring::has( char const c ) const
{
	return ( len_ > 0 ) && ( std::memchr( str_, c, len_ ) != nullptr );
}

bool
Fstring::has_any_of( char const c ) const
{
	return has( c );
}

namespace {

bool
has_any_of_set( char const * const p, size_type const n, char const * const set, size_type const ns )
{
	return first_pos( p, n, [ set, ns ]( char const c ) { return in_set( c, set, ns ); } ) > 0;
}

bool
has_tail( char const * const p, size_type const n, char const * const s, size_type const ns )
{
	for ( size_type i = 0; i < n; ++i ) {
		if ( padded_equal( p + i, n - i, s, ns ) ) return true;
	}
	return false;
}

bool
has_prefix_of( char const * const p, size_type const n, char const * const s, size_type const ns, bool const exact )
{
	if ( ( ns == 0 ) || ( ns > n ) ) return false;
	if ( exact ) return std::memcmp( p, s, ns ) == 0;
	for ( size_type i = 0; i < ns; ++i ) {
		if ( lowercased( p[ i ] ) != lowercased( s[ i ] ) ) return false;
	}
	return true;
}

size_type
find_first( char const * const p, size_type const n, char const * const s, size_type const ns )
{
	if ( ( ns == 0 ) || ( ns > n ) ) return 0;
	for ( size_type i = 0; i + ns <= n; ++i ) {
		if ( std::memcmp( p + i, s, ns ) == 0 ) return i + 1;
	}
	return 0;
}

size_type
find_final( char const * const p, size_type const n, char const * const s, size_type const ns )
{
	if ( ( ns == 0 ) || ( ns > n ) ) return 0;
	for ( size_type i = n - ns + 1; i > 0; --i ) {
		if ( std::memcmp( p + i - 1, s, ns ) == 0 ) return i;
	}
	return 0;
}

inline size_type
cstr_length( char const * const s )
{
	return std::char_traits< char >::length( s );
}

} // namespace

bool Fstring::has_any_of( Fstring const & s ) const { return has_any_of_set( str_, len_, s.str_, s.len_ ); }
bool Fstring::has_any_of( std::string const & s ) const { return has_any_of_set( str_, len_, s.data(), s.size() ); }
bool Fstring::has_any_of( char const * const s ) const { return has_any_of_set( str_, len_, s, cstr_length( s ) ); }

bool Fstring::has( Fstring const & s ) const { return has_tail( str_, len_, s.str_, s.len_ ); }
bool Fstring::has( std::string const & s ) const { return has_tail( str_, len_, s.data(), s.size() ); }
bool Fstring::has( char const * const s ) const { return has_tail( str_, len_, s, cstr_length( s ) ); }

bool
Fstring::has_prefix( Fstring const & s, bool const exact ) const
{
	return has_prefix_of( str_, len_, s.str_, s.len_, exact );
}

bool
Fstring::has_prefix( char const * const s, bool const exact ) const
{
	return has_prefix_of( str_, len_, s, cstr_length( s ), exact );
}

Fstring::size_type Fstring::find( Fstring const & s ) const { return find_first( str_, len_, s.str_, s.len_ ); }
Fstring::size_type Fstring::find( std::string const & s ) const { return find_first( str_, len_, s.data(), s.size() ); }
Fstring::size_type Fstring::find( char const * const s ) const { return find_first( str_, len_, s, cstr_length( s ) ); }
Fstring::size_type Fstring::find( char const c ) const { return find_first( str_, len_, &c, 1 ); }
Fstring::size_type Fstring::find_last( Fstring const & s ) const { return find_final( str_, len_, s.str_, s.len_ ); }
Fstring::size_type Fstring::find_last( std::string const & s ) const { return find_final( str_, len_, s.data(), s.size() ); }
Fstring::size_type Fstring::find_last( char const * const s ) const { return find_final( str_, len_, s, cstr_length( s ) ); }
Fstring::size_type Fstring::find_last( char const c ) const { return find_final( str_, len_, &c, 1 ); }

namespace {

// Set searches over the n characters at p, the set being ns characters at set
size_type
first_of( char const * p, size_type n, char const * set, size_type ns, bool const member )
{
	return first_pos( p, n, [ = ]( char const c ) { return in_set( c, set, ns ) == member; } );
}

size_type
last_of( char const * p, size_type n, char const * set, size_type ns, bool const member )
{
	return last_pos( p, n, [ = ]( char const c ) { return in_set( c, set, ns ) == member; } );
}

} // namespace

Fstring::size_type Fstring::find_first_of( Fstring const & s ) const { return first_of( str_, len_, s.str_, s.len_, true ); }
Fstring::size_type Fstring::find_first_of( std::string const & s ) const { return first_of( str_, len_, s.data(), s.size(), true ); }
Fstring::size_type Fstring::find_first_of( char const * const s ) const { return first_of( str_, len_, s, cstr_length( s ), true ); }
Fstring::size_type Fstring::find_first_of( char const c ) const { return first_of( str_, len_, &c, 1, true ); }
Fstring::size_type Fstring::find_last_of( Fstring const & s ) const { return last_of( str_, len_, s.str_, s.len_, true ); }
Fstring::size_type Fstring::find_last_of( std::string const & s ) const { return last_of( str_, len_, s.data(), s.size(), true ); }
Fstring::size_type Fstring::find_last_of( char const * const s ) const { return last_of( str_, len_, s, cstr_length( s ), true ); }
Fstring::size_type Fstring::find_last_of( char const c ) const { return last_of( str_, len_, &c, 1, true ); }
Fstring::size_type Fstring::find_first_not_of( Fstring const & s ) const { return first_of( str_, len_, s.str_, s.len_, false ); }
Fstring::size_type Fstring::find_first_not_of( std::string const & s ) const { return first_of( str_, len_, s.data(), s.size(), false ); }
Fstring::size_type Fstring::find_first_not_of( char const * const s ) const { return first_of( str_, len_, s, cstr_length( s ), false ); }
Fstring::size_type Fstring::find_first_not_of( char const c ) const { return first_of( str_, len_, &c, 1, false ); }
Fstring::size_type Fstring::find_last_not_of( Fstring const & s ) const { return last_of( str_, len_, s.str_, s.len_, false ); }
Fstring::size_type Fstring::find_last_not_of( std::string const & s ) const { return last_of( str_, len_, s.data(), s.size(), false ); }
Fstring::size_type Fstring::find_last_not_of( char const * const s ) const { return last_of( str_, len_, s, cstr_length( s ), false ); }
Fstring::size_type Fstring::find_last_not_of( char const c ) const { return last_of( str_, len_, &c, 1, false ); }

// Modifiers

Fstring &
Fstring::lowercase()
{
	for ( size_type i = 0; i < len_; ++i ) farray::lowercase( str_[ i ] );
	return *this;
}

Fstring &
Fstring::uppercase()
{
	for ( size_type i = 0; i < len_; ++i ) farray::uppercase( str_[ i ] );
	return *this;
}

Fstring &
Fstring::left_justify()
{
	size_type const ib = first_pos( str_, len_, []( char const c ) { return c != ' '; } );
	if ( ib > 1 ) {
		size_type const kept = len_ - ib + 1;
		std::memmove( str_, str_ + ib - 1, kept );
		std::memset( str_ + kept, ' ', len_ - kept );
	}
	return *this;
}

Fstring &
Fstring::right_justify()
{
	size_type const ie = len_trim();
	if ( ( ie > 0 ) && ( ie < len_ ) ) {
		size_type const shift = len_ - ie;
		std::memmove( str_ + shift, str_, ie );
		std::memset( str_, ' ', shift );
	}
	return *this;
}

Fstring &
Fstring::center()
{
	left_justify();
	size_type const kept = len_trim();
	size_type const shift = ( len_ - kept ) / 2;
	if ( shift > 0 ) {
		if ( kept > 0 ) std::memmove( str_ + shift, str_, kept );
		std::memset( str_, ' ', shift );
	}
	return *this;
}

Fstring &
Fstring::compress()
{
	size_type k = 0;
	for ( size_type i = 0; i < len_; ++i ) {
		if ( ! is_whitespace( str_[ i ] ) ) str_[ k++ ] = str_[ i ];
	}
	if ( k < len_ ) std::memset( str_ + k, ' ', len_ - k );
	return *this;
}

Fstring &
Fstring::trim_whitespace()
{
	size_type const e = len_trim_whitespace();
	if ( e < len_ ) std::memset( str_ + e, ' ', len_ - e );
	return *this;
}

Fstring &
Fstring::strip( std::string const & chars )
{
	if ( ! chars.empty() ) strip_both( str_, len_, [ &chars ]( char const c ) { return in_set( c, chars.data(), chars.size() ); } );
	return *this;
}

Fstring &
Fstring::lstrip( std::string const & chars )
{
	if ( ! chars.empty() ) strip_left( str_, len_, [ &chars ]( char const c ) { return in_set( c, chars.data(), chars.size() ); } );
	return *this;
}

Fstring &
Fstring::rstrip( std::string const & chars )
{
	if ( ! chars.empty() ) strip_right( str_, len_, [ &chars ]( char const c ) { return in_set( c, chars.data(), chars.size() ); } );
	return *this;
}

Fstring & Fstring::strip() { strip_both( str_, len_, is_blank_char ); return *this; }
Fstring & Fstring::lstrip() { strip_left( str_, len_, is_blank_char ); return *this; }
Fstring & Fstring::rstrip() { strip_right( str_, len_, is_blank_char ); return *this; }
Fstring & Fstring::strip_whitespace() { strip_both( str_, len_, is_whitespace ); return *this; }
Fstring & Fstring::lstrip_whitespace() { strip_left( str_, len_, is_whitespace ); return *this; }
Fstring & Fstring::rstrip_whitespace() { strip_right( str_, len_, is_whitespace ); return *this; }

namespace {

// Writes the ns characters at s over the n characters at p from position i
// on, cut at the end (the source may overlap the destination)
void
overlay_at( char * const p, size_type const n, char const * const s, size_type const ns, size_type const i )
{
	FARRAY_ASSERT_IN( i > 0, "farray/Fstring.cc" );
	if ( i > n ) return;
	size_type const m = std::min( ns, n - i + 1 );
	if ( m > 0 ) std::memmove( p + i - 1, s, m );
}

} // namespace

Fstring &
Fstring::overlay( Fstring const & s, size_type const i )
{
	overlay_at( str_, len_, s.str_, s.len_, i );
	return *this;
}

Fstring &
Fstring::overlay( std::string const & s, size_type const i )
{
	overlay_at( str_, len_, s.data(), s.size(), i );
	return *this;
}

Fstring &
Fstring::overlay( char const * const s, size_type const i )
{
	overlay_at( str_, len_, s, cstr_length( s ), i );
	return *this;
}

// Substrings

Fsubstring const
Fstring::operator ()( size_type const i, size_type const j ) const
{
	return Fsubstring( *this, i, j, 0 );
}

Fsubstring
Fstring::operator ()( size_type const i, size_type const j )
{
	return Fsubstring( *this, i, j );
}

Fstring
Fstring::operator ()( size_type const i ) const
{
	return Fstring( Fsubstring( *this, i, len_, 0 ) );
}

Fsubstring
Fstring::operator ()( size_type const i )
{
	return Fsubstring( *this, i );
}

Fsubstring const
Fstring::head() const
{
	size_type const b = find( ' ' );
	return Fsubstring( *this, 1, b > 0 ? b - 1 : len_, 0 );
}

Fsubstring
Fstring::head()
{
	size_type const b = find( ' ' );
	return Fsubstring( *this, 1, b > 0 ? b - 1 : len_ );
}

Fsubstring const
Fstring::tail() const
{
	return Fsubstring( *this, len_trim() + 1, len_, 0 );
}

Fsubstring
Fstring::tail()
{
	return Fsubstring( *this, len_trim() + 1, len_ );
}

// NUL-terminated text

char const *
Fstring::make_c_str( size_type const n ) const
{
	char * const p = new char[ n + 1 ];
	if ( n > 0 ) std::memcpy( p, str_, n );
	p[ n ] = '\0';
	delete[] c_str_;
	c_str_ = p;
	return c_str_;
}

char const *
Fstring::c_str() const
{
	return make_c_str( len_ );
}

char const *
Fstring::t_str() const
{
	return make_c_str( len_trim_whitespace() );
}

Fstring::size_type
Fstring::copy( char * const buffer, size_type const n, size_type const off ) const
{
	FARRAY_ASSERT_IN( off <= len_, "farray/Fstring.cc" );
	size_type const m = std::min( n, len_ - off );
	if ( m > 0 ) std::memcpy( buffer, str_ + off, m );
	return m;
}

// Fsubstring

Fsubstring::Fsubstring( Fsubstring const & s ) :
	Fstring( s, 1, s.length() )
{}

Fsubstring::Fsubstring( Fstring & s, size_type const i, size_type const j ) :
	Fstring( s, i, j )
{}

Fsubstring::Fsubstring( Fstring & s, size_type const i ) :
	Fstring( s, i )
{}

Fsubstring::Fsubstring( Fstring const & s, size_type const i, size_type const j, int ) :
	Fstring( s, i, j )
{}

Fsubstring::~Fsubstring() = default;

Fsubstring & Fsubstring::operator =( Fsubstring const & s ) { Fstring::operator =( s ); return *this; }
Fsubstring & Fsubstring::operator =( Fstring const & s ) { Fstring::operator =( s ); return *this; }
Fsubstring & Fsubstring::operator =( std::string const & s ) { Fstring::operator =( s ); return *this; }
Fsubstring & Fsubstring::operator =( char const * const s ) { Fstring::operator =( s ); return *this; }
Fsubstring & Fsubstring::operator =( char const c ) { Fstring::operator =( c ); return *this; }

// Comparison

bool operator ==( Fstring const & s, Fstring const & t ) { return padded_equal( s.str_, s.len_, t.str_, t.len_ ); }
bool operator ==( Fstring const & s, std::string const & t ) { return padded_equal( s.str_, s.len_, t.data(), t.size() ); }
bool operator ==( std::string const & t, Fstring const & s ) { return s == t; }
bool operator ==( Fstring const & s, char const * const t ) { return padded_equal( s.str_, s.len_, t, cstr_length( t ) ); }
bool operator ==( char const * const t, Fstring const & s ) { return s == t; }

bool
operator ==( Fstring const & s, char const c )
{
	return ( s.len_ > 0 ) && ( s.str_[ 0 ] == c ) && padded_equal( s.str_ + 1, s.len_ - 1, nullptr, 0 );
}

bool operator ==( char const c, Fstring const & s ) { return s == c; }

bool operator <=( Fstring const & s, Fstring const & t ) { return padded_order( s.str_, s.len_, t.str_, t.len_ ) <= 0; }
bool operator <=( Fstring const & s, std::string const & t ) { return padded_order( s.str_, s.len_, t.data(), t.size() ) <= 0; }
bool operator <=( std::string const & s, Fstring const & t ) { return padded_order( s.data(), s.size(), t.str_, t.len_ ) <= 0; }
bool operator <=( Fstring const & s, char const * const t ) { return padded_order( s.str_, s.len_, t, cstr_length( t ) ) <= 0; }
bool operator <=( char const * const s, Fstring const & t ) { return padded_order( s, cstr_length( s ), t.str_, t.len_ ) <= 0; }
bool operator <( Fstring const & s, Fstring const & t ) { return padded_order( s.str_, s.len_, t.str_, t.len_ ) < 0; }
bool operator <( Fstring const & s, std::string const & t ) { return padded_order( s.str_, s.len_, t.data(), t.size() ) < 0; }
bool operator <( std::string const & s, Fstring const & t ) { return padded_order( s.data(), s.size(), t.str_, t.len_ ) < 0; }
bool operator <( Fstring const & s, char const * const t ) { return padded_order( s.str_, s.len_, t, cstr_length( t ) ) < 0; }
bool operator <( char const * const s, Fstring const & t ) { return padded_order( s, cstr_length( s ), t.str_, t.len_ ) < 0; }

// Streams

std::ostream &
operator <<( std::ostream & stream, Fstring const & s )
{
	if ( s.len_ > 0 ) stream.write( s.str_, static_cast< std::streamsize >( s.len_ ) );
	return stream;
}

std::istream &
operator >>( std::istream & stream, Fstring & s )
{
	std::string word;
	stream.width( width_of( s.len_ ) );
	stream >> word;
	s = word;
	return stream;
}

std::istream &
get( std::istream & stream, Fstring & s )
{
	if ( s.len_ == 0 ) return stream;
	std::vector< char > buffer( s.len_ + 1, '\0' );
	stream.get( buffer.data(), static_cast< std::streamsize >( s.len_ + 1 ) );
	s.assign( buffer.data(), static_cast< size_type >( stream.gcount() ) );
	return stream;
}

std::istream &
getline( std::istream & stream, Fstring & s )
{
	std::string line;
	stream.width( width_of( s.len_ ) );
	std::getline( stream, line );
	s = line;
	return stream;
}

std::istream &
read( std::istream & stream, Fstring & s )
{
	if ( s.len_ > 0 ) stream.read( s.str_, static_cast< std::streamsize >( s.len_ ) );
	return stream;
}

std::istream &
readsome( std::istream & stream, Fstring & s )
{
	if ( s.len_ > 0 ) stream.readsome( s.str_, static_cast< std::streamsize >( s.len_ ) );
	return stream;
}

} // farray
