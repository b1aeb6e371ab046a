#ifndef INCLUDED_farray_string_functions_hh
#define INCLUDED_farray_string_functions_hh

// Functions of std::string: case-insensitive comparison, prefix and suffix
// tests, case mapping, justification, trimming, stripping, padding,
// centring, removal of repeated characters, overlaying, integer lists and
// integer text.
//
// Positions are 0-based, as in std::string. Each operation comes in two
// forms: an in-place one that changes its argument and returns it, and a
// copying one (name ending in -ed) that leaves its argument alone.

#include <cstddef>
#include <ios>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

namespace farray {

// The library's whitespace set: space, TAB and NUL
extern std::string const WHITESPACE;

// Largest number of values one range item "a-b" of an integer list may
// stand for; a longer range is an invalid item (it would only exhaust
// memory: nothing the lists describe, residue numbers among them, comes
// near it).
constexpr std::size_t ints_of_max_range = 10000000;

// Same length and every pair of characters equal ignoring case
bool equali( std::string const & s, std::string const & t );
bool equali( std::string const & s, char const * const t );
bool equali( char const * const s, std::string const & t );

// s begins / ends with the affix; false for an empty affix or one longer than s
bool has_prefix( std::string const & s, std::string const & pre, bool const exact_case = true );
bool has_suffix( std::string const & s, std::string const & suf, bool const exact_case = true );

// Case mapping of every character
std::string & lowercase( std::string & s );
std::string & uppercase( std::string & s );
std::string lowercased( std::string const & s );
std::string uppercased( std::string const & s );

// Leading blanks moved to the end / trailing blanks moved to the front;
// the length stays the same
std::string & left_justify( std::string & s );
std::string & right_justify( std::string & s );
std::string left_justified( std::string const & s );
std::string right_justified( std::string const & s );

// Trailing blanks / trailing whitespace removed
std::string & trim( std::string & s );
std::string & trim_whitespace( std::string & s );
std::string trimmed( std::string const & s );
std::string trimmed_whitespace( std::string const & s );

// Characters of the set removed from both ends / the front / the end
std::string & strip( std::string & s, std::string const & chars );
std::string & lstrip( std::string & s, std::string const & chars );
std::string & rstrip( std::string & s, std::string const & chars );
std::string stripped( std::string const & s, std::string const & chars );
std::string lstripped( std::string const & s, std::string const & chars );
std::string rstripped( std::string const & s, std::string const & chars );

// The same with the blank as the set
std::string & strip( std::string & s );
std::string & lstrip( std::string & s );
std::string & rstrip( std::string & s );
std::string stripped( std::string const & s );
std::string lstripped( std::string const & s );
std::string rstripped( std::string const & s );

// The same with WHITESPACE as the set
std::string & strip_whitespace( std::string & s );
std::string & lstrip_whitespace( std::string & s );
std::string & rstrip_whitespace( std::string & s );
std::string stripped_whitespace( std::string const & s );
std::string lstripped_whitespace( std::string const & s );
std::string rstripped_whitespace( std::string const & s );

// Blanks appended (pad, rpad) or put in front (lpad) up to length len;
// never shortens
std::string & pad( std::string & s, std::string::size_type const len );
std::string & rpad( std::string & s, std::string::size_type const len );
std::string & lpad( std::string & s, std::string::size_type const len );
std::string padded( std::string const & s, std::string::size_type const len );
std::string rpadded( std::string const & s, std::string::size_type const len );
std::string lpadded( std::string const & s, std::string::size_type const len );

// Blanks appended up to len, or cut to the first len characters
std::string & size( std::string & s, std::string::size_type const len );
std::string sized( std::string const & s, std::string::size_type const len );

// Text between the whitespace of both ends centred in the same length; an
// odd number of blanks puts the extra one behind
std::string & center( std::string & s );
std::string centered( std::string const & s );

// Centred in length len (extra blank behind), or cut to the first len characters
std::string & center( std::string & s, std::string::size_type const len );
std::string centered( std::string const & s, std::string::size_type const len );

// Every character that already occurred earlier removed
std::string & unique( std::string & s );
std::string uniqued( std::string const & s );

// t written over s from position pos, s first extended with blanks as needed
std::string & overlay( std::string & s, std::string const & t, std::string::size_type const pos = 0 );

// The characters before the first blank (all of s when it has none)
std::string head( std::string const & s );

// Integers of a comma-separated list of items, each an integer or a range
// "a-b" (every value from a to b; none when a > b). ok tells whether every
// item was valid; invalid items add no values.
std::vector< int > ints_of( std::string const & s, bool & ok );
std::vector< int > ints_of( std::string const & s );

// Every item of the list is valid
bool is_ints( std::string const & s );

// Decimal text of an integer: a minus sign for negatives, no padding
template< typename T >
std::string
string_of( T const & t )
{
	static_assert( std::is_integral< T >::value, "string_of writes integers" );
	std::ostringstream stream;
	stream << std::uppercase;
	stream.precision( 0 );
	stream << t;
	return stream.str();
}

} // farray

#endif
