#ifndef INCLUDED_farray_Cstring_hh
#define INCLUDED_farray_Cstring_hh

// Owned NUL-terminated string: the owner of one character array whose text
// ends at the first NUL. Unlike Fstring it has no fixed length, compares all
// its characters (trailing blanks included) and gives 0-based positions,
// with npos for an absent character. Whitespace here is blank and TAB.
//
// Every Cstring owns its own array: copies copy the text, and assignment
// replaces the array only after the new one is made.

#include "farray/Star.hh"

#include <cstddef>
#include <iosfwd>
#include <string>

namespace farray {

class Cstring
{
public:
	using size_type = std::size_t;

	// The empty text
	Cstring();

	Cstring( Cstring const & s );

	// Copy of the text (up to the first NUL)
	explicit Cstring( char const * const s );
	explicit Cstring( std::string const & s );

	~Cstring();

	Cstring & operator =( Cstring const & s );
	Cstring & operator =( char const * const s );
	Cstring & operator =( std::string const & s );

	// Characters before the NUL
	size_type length() const;

	char const * c_str() const { return str_; }

	bool has( char const c ) const;
	bool has_any_of( char const c ) const;

	// Some character of the text occurs in s; false when either is empty
	bool has_any_of( Cstring const & s ) const;
	bool has_any_of( char const * const & s ) const;
	bool has_any_of( std::string const & s ) const;

	// Length without trailing blanks / trailing blanks and TABs
	size_type len_trim() const;
	size_type len_trim_whitespace() const;

	// 0-based index of the first / last occurrence of c, npos when absent
	size_type find( char const c ) const;
	size_type find_last( char const c ) const;

	// Modifiers (the length never changes)
	Cstring & lowercase();
	Cstring & uppercase();
	Cstring & left_justify();
	Cstring & right_justify();
	Cstring & center(); // odd blank count: the extra blank on the right
	Cstring & compress(); // blanks and TABs removed, the rest packed to the start

	// One whitespace-delimited word; the empty text when the read fails
	friend std::istream & operator >>( std::istream & stream, Cstring & s );

private:
	// Replace the array by a copy of the n characters at s
	void replace( char const * const s, size_type const n );

	char * str_; // the text and its NUL; owned
};

// Same length and equal characters after tolower
bool equali( Cstring const & a, Cstring const & b );
bool equali( Cstring const & a, char const * const b );
bool equali( char const * const a, Cstring const & b );
bool equali( Cstring const & a, std::string const & b );
bool equali( std::string const & a, Cstring const & b );

// The text is the one character c, ignoring case
bool equali( Cstring const & a, char const c );
bool equali( char const c, Cstring const & a );

// Each character written as a formatted character (a field width pads the first only)
std::ostream & operator <<( std::ostream & stream, Cstring const & s );

std::istream & operator >>( std::istream & stream, Cstring & s );

} // farray

#endif
