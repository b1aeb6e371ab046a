#ifndef INCLUDED_farray_char_functions_hh
#define INCLUDED_farray_char_functions_hh

// Functions of single characters: comparison with or without case, blank
// tests, set membership and case mapping.
//
// Case mapping goes through the C library's tolower / toupper one character
// at a time. Characters are passed to them as unsigned char, so bytes above
// 127 (negative as char) are mapped safely.

#include <string>

namespace farray {

// c equals d; with exact_case false, after lower-casing both
bool equal( char const c, char const d, bool const exact_case = true );

// c equals d after lower-casing both
bool equali( char const c, char const d );
bool char_equali( char const c, char const d );

// c is / is not the blank (space) character
inline bool is_blank( char const c ) { return c == ' '; }
inline bool not_blank( char const c ) { return c != ' '; }

// c occurs in s
bool is_any_of( char const c, std::string const & s );

// c occurs among the characters before s's NUL (never for an empty s)
bool is_any_of( char const c, char const * const s );

// Case mapping in place; returns the reference
char & lowercase( char & c );
char & uppercase( char & c );

// Mapped copies
char lowercased( char const c );
char uppercased( char const c );

} // farray

#endif
