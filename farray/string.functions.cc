#include "farray/string.functions.hh"
#include "farray/char.functions.hh"

#include <algorithm>
#include <cstdint>
#include <sstream>

namespace farray {

std::string const WHITESPACE( " \t\0", 3 );

namespace {

// The sets as function statics, so that they are ready even for a caller
// running before this file's static initialisation
std::string const &
whitespace_set()
{
	static std::string const set( " \t\0", 3 );
	return set;
}

std::string const &
blank_set()
{
	static std::string const set( 1, ' ' );
	return set;
}

// Same length and equal ignoring case
bool
equali_n( char const * s, std::size_t const ns, char const * t, std::size_t const nt )
{
	if ( ns != nt ) return false;
	for ( std::size_t i = 0; i < ns; ++i ) {
		if ( ! char_equali( s[ i ], t[ i ] ) ) return false;
	}
	return true;
}

// A text that a formatted int read consumes whole (see ints_of)
bool
is_int_text( std::string const & t )
{
	if ( t.empty() ) return false;
	if ( t.find_first_not_of( " \t" ) == std::string::npos ) return false;
	std::istringstream stream( rstripped_whitespace( t ) );
	int i;
	stream >> i;
	return ( ! stream.fail() ) && stream.eof();
}

// Integer value of a text that is_int_text accepted
int
int_of_text( std::string const & t )
{
	std::istringstream stream( rstripped_whitespace( t ) );
	int i = 0;
	stream >> i;
	return i;
}

// One comma-free item of an integer list: a number or a range "a-b".
// Values are appended to v; returns the item's validity.
bool
parse_int_item( std::string const & item, std::vector< int > & v )
{
	std::string::size_type dash = item.find( '-' );
	if ( dash == 0 ) dash = item.find( '-', 1 ); // a leading dash is a sign
	if ( ( dash == std::string::npos ) || ( dash == 0 ) ) { // one number
		if ( ! is_int_text( item ) ) return false;
		v.push_back( int_of_text( item ) );
		return true;
	}
	std::string const lo_text( item, 0, dash );
	std::string const hi_text( item, dash + 1 );
	if ( ! is_int_text( lo_text ) ) return false;
	if ( ! is_int_text( hi_text ) ) return false;
	// The count and the loop run in 64 bits: a range ending at the largest
	// int must end, and an absurd span is refused instead of filling memory
	std::int64_t const lo = int_of_text( lo_text );
	std::int64_t const hi = int_of_text( hi_text );
	if ( hi < lo ) return true;
	if ( static_cast< std::uint64_t >( hi - lo ) >= ints_of_max_range ) return false;
	v.reserve( v.size() + static_cast< std::size_t >( hi - lo + 1 ) );
	for ( std::int64_t i = lo; i <= hi; ++i ) v.push_back( static_cast< int >( i ) );
	return true;
}

} // namespace

bool
equali( std::string const & s, std::string const & t )
{
	return equali_n( s.data(), s.size(), t.data(), t.size() );
}

bool
equali( std::string const & s, char const * const t )
{
	return equali_n( s.data(), s.size(), t, std::char_traits< char >::length( t ) );
}

bool
equali( char const * const s, std::string const & t )
{
	return equali_n( s, std::char_traits< char >::length( s ), t.data(), t.size() );
}

bool
has_prefix( std::string const & s, std::string const & pre, bool const exact_case )
{
	std::string::size_type const n = pre.size();
	if ( ( n == 0 ) || ( n > s.size() ) ) return false;
	if ( exact_case ) return s.compare( 0, n, pre ) == 0;
	return lowercased( s.substr( 0, n ) ) == lowercased( pre );
}

bool
has_suffix( std::string const & s, std::string const & suf, bool const exact_case )
{
	std::string::size_type const n = suf.size();
	if ( ( n == 0 ) || ( n > s.size() ) ) return false;
	if ( exact_case ) return s.compare( s.size() - n, n, suf ) == 0;
	return lowercased( s.substr( s.size() - n ) ) == lowercased( suf );
}

std::string &
lowercase( std::string & s )
{
	for ( char & c : s ) lowercase( c );
	return s;
}

std::string &
uppercase( std::string & s )
{
	for ( char & c : s ) uppercase( c );
	return s;
}

std::string
lowercased( std::string const & s )
{
	std::string t( s );
	return lowercase( t );
}

std::string
uppercased( std::string const & s )
{
	std::string t( s );
	return uppercase( t );
}

std::string &
left_justify( std::string & s )
{
	std::string::size_type const k = s.find_first_not_of( ' ' );
	if ( ( k != std::string::npos ) && ( k > 0 ) ) {
		s.erase( 0, k );
		s.append( k, ' ' );
	}
	return s;
}

std::string &
right_justify( std::string & s )
{
	std::string::size_type const last = s.find_last_not_of( ' ' );
	std::string::size_type const p = ( last == std::string::npos ) ? 0 : last + 1;
	if ( p < s.size() ) {
		std::string::size_type const k = s.size() - p;
		s.erase( p );
		s.insert( 0, k, ' ' );
	}
	return s;
}

std::string
left_justified( std::string const & s )
{
	std::string t( s );
	return left_justify( t );
}

std::string
right_justified( std::string const & s )
{
	std::string t( s );
	return right_justify( t );
}

std::string &
trim( std::string & s )
{
	return rstrip( s, blank_set() );
}

std::string &
trim_whitespace( std::string & s )
{
	return rstrip( s, whitespace_set() );
}

std::string
trimmed( std::string const & s )
{
	std::string t( s );
	return trim( t );
}

std::string
trimmed_whitespace( std::string const & s )
{
	std::string t( s );
	return trim_whitespace( t );
}

std::string &
strip( std::string & s, std::string const & chars )
{
	if ( chars.empty() ) return s;
	std::string::size_type const ib = s.find_first_not_of( chars );
	if ( ib == std::string::npos ) {
		s.clear();
	} else {
		std::string::size_type const ie = s.find_last_not_of( chars );
		s.erase( ie + 1 );
		s.erase( 0, ib );
	}
	return s;
}

std::string &
lstrip( std::string & s, std::string const & chars )
{
	if ( chars.empty() ) return s;
	std::string::size_type const ib = s.find_first_not_of( chars );
	if ( ib == std::string::npos ) {
		s.clear();
	} else {
		s.erase( 0, ib );
	}
	return s;
}

std::string &
rstrip( std::string & s, std::string const & chars )
{
	if ( chars.empty() ) return s;
	std::string::size_type const ie = s.find_last_not_of( chars );
	if ( ie == std::string::npos ) {
		s.clear();
	} else {
		s.erase( ie + 1 );
	}
	return s;
}

std::string
stripped( std::string const & s, std::string const & chars )
{
	std::string t( s );
	return strip( t, chars );
}

std::string
lstripped( std::string const & s, std::string const & chars )
{
	std::string t( s );
	return lstrip( t, chars );
}

std::string
rstripped( std::string const & s, std::string const & chars )
{
	std::string t( s );
	return rstrip( t, chars );
}

std::string & strip( std::string & s ) { return strip( s, blank_set() ); }
std::string & lstrip( std::string & s ) { return lstrip( s, blank_set() ); }
std::string & rstrip( std::string & s ) { return rstrip( s, blank_set() ); }
std::string stripped( std::string const & s ) { return stripped( s, blank_set() ); }
std::string lstripped( std::string const & s ) { return lstripped( s, blank_set() ); }
std::string rstripped( std::string const & s ) { return rstripped( s, blank_set() ); }

std::string & strip_whitespace( std::string & s ) { return strip( s, whitespace_set() ); }
std::string & lstrip_whitespace( std::string & s ) { return lstrip( s, whitespace_set() ); }
std::string & rstrip_whitespace( std::string & s ) { return rstrip( s, whitespace_set() ); }
std::string stripped_whitespace( std::string const & s ) { return stripped( s, whitespace_set() ); }
std::string lstripped_whitespace( std::string const & s ) { return lstripped( s, whitespace_set() ); }
std::string rstripped_whitespace( std::string const & s ) { return rstripped( s, whitespace_set() ); }

std::string &
pad( std::string & s, std::string::size_type const len )
{
	if ( s.size() < len ) s.append( len - s.size(), ' ' );
	return s;
}

std::string &
rpad( std::string & s, std::string::size_type const len )
{
	return pad( s, len );
}

std::string &
lpad( std::string & s, std::string::size_type const len )
{
	if ( s.size() < len ) s.insert( 0, len - s.size(), ' ' );
	return s;
}

std::string
padded( std::string const & s, std::string::size_type const len )
{
	std::string t( s );
	return pad( t, len );
}

std::string
rpadded( std::string const & s, std::string::size_type const len )
{
	std::string t( s );
	return rpad( t, len );
}

std::string
lpadded( std::string const & s, std::string::size_type const len )
{
	std::string t( s );
	return lpad( t, len );
}

std::string &
size( std::string & s, std::string::size_type const len )
{
	s.resize( len, ' ' );
	return s;
}

std::string
sized( std::string const & s, std::string::size_type const len )
{
	std::string t( s );
	return size( t, len );
}

std::string &
center( std::string & s )
{
	if ( s.empty() ) return s;
	std::string::size_type const n = s.size();
	strip_whitespace( s );
	std::string::size_type const d = n - s.size();
	if ( d > 0 ) {
		s.insert( 0, d / 2, ' ' );
		s.append( d - d / 2, ' ' );
	}
	return s;
}

std::string
centered( std::string const & s )
{
	std::string t( s );
	return center( t );
}

std::string &
center( std::string & s, std::string::size_type const len )
{
	std::string::size_type const n = s.size();
	if ( len > n ) {
		std::string::size_type const d = len - n;
		s.insert( 0, d / 2, ' ' );
		s.append( d - d / 2, ' ' );
	} else if ( len < n ) {
		s.erase( len );
	}
	return s;
}

std::string
centered( std::string const & s, std::string::size_type const len )
{
	std::string t( s );
	return center( t, len );
}

std::string &
unique( std::string & s )
{
	bool seen[ 256 ] = {};
	std::string::size_type k = 0;
	for ( char const c : s ) {
		unsigned char const u = static_cast< unsigned char >( c );
		if ( ! seen[ u ] ) {
			seen[ u ] = true;
			s[ k++ ] = c;
		}
	}
	s.erase( k );
	return s;
}

std::string
uniqued( std::string const & s )
{
	std::string t( s );
	return unique( t );
}

std::string &
overlay( std::string & s, std::string const & t, std::string::size_type const pos )
{
	std::string::size_type const end = pos + t.size();
	if ( end > s.size() ) s.resize( end, ' ' );
	s.replace( pos, t.size(), t );
	return s;
}

std::string
head( std::string const & s )
{
	return s.substr( 0, s.find( ' ' ) );
}

std::vector< int >
ints_of( std::string const & s, bool & ok )
{
	std::vector< int > v;
	ok = true;
	std::string::size_type b = 0;
	for ( ;; ) { // items between commas; the last one after the last comma
		std::string::size_type const comma = s.find( ',', b );
		std::string const item( s, b, ( comma == std::string::npos ) ? std::string::npos : comma - b );
		if ( ! parse_int_item( item, v ) ) ok = false;
		if ( comma == std::string::npos ) break;
		b = comma + 1;
	}
	return v;
}

std::vector< int >
ints_of( std::string const & s )
{
	bool ok;
	return ints_of( s, ok );
}

bool
is_ints( std::string const & s )
{
	bool ok;
	ints_of( s, ok );
	return ok;
}

} // farray
