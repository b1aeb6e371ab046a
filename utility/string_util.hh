#ifndef INCLUDED_utility_string_util_hh
#define INCLUDED_utility_string_util_hh

// String utilities of the support library: numbers read from and written to
// text, trimming, comparison, replacement and environment-variable expansion,
// splitting and joining, residue-selection tags, file-name parts, whole-file
// text and the SHA-1 digest of a text.

#include "utility/vectorL.hh"

#include <cstddef>
#include <iosfwd>
#include <list>
#include <set>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

namespace utility {

// ---- Text and number conversions -------------------------------------------
// The readers extract one value as a stream does (leading white space skipped,
// anything after the value ignored) and give a fixed value on failure.

// -1.0 on failure
float string2float( std::string s );

// -1 on failure
int string2int( std::string s );

// The largest size value on failure
std::size_t string2Size( std::string s );

// A quiet NaN on failure
double string2Real( std::string s );

// Reads an unsigned value into *y (y must not be null); no failure value
void string2uint( std::string const & x, unsigned int * y );

// num in fixed notation with decimal_places digits after the point
std::string Real2string( double num, std::size_t decimal_places );

// Real2string right-aligned in pad + decimal_places + 1 characters
std::string fmt_real( double num, std::size_t pad, std::size_t decimal_places );

// s right-aligned (pad_left) or left-aligned (pad_right) in newlen
// characters filled with place_holder; longer texts are never cut
std::string pad_left( std::string const & s, std::size_t newlen, char place_holder );
std::string pad_right( std::string const & s, std::size_t newlen, char place_holder );

// ceil( log10( n + 1 ) ): 0 for 0, 1 for 9, 2 for 10
std::size_t get_num_digits( std::size_t n );

// Every character is a digit, "-", "+", "e" or "E" (true for the empty text)
bool is_string_numeric( std::string const & s );

// One of the spellings of true (false): "true", "T", "1", "on", "yes", ...
bool is_true_string( std::string const & s );
bool is_false_string( std::string const & s );

// ---- Trimming, comparison and replacement ----------------------------------

std::string upper( std::string const & s );
std::string lower( std::string const & s );

// Equal once leading and trailing blanks are removed from both
bool trimmed_compare( std::string const & a, std::string const & b );

bool startswith( std::string const & s, std::string const & prefix );
bool endswith( std::string const & s, std::string const & suffix );
bool contains( std::string const & s, std::string const & sub );

// Trailing, then leading characters of drop removed (in place / copy)
void trim( std::string & s, std::string const & drop );
std::string strip( std::string const & source, std::string const & drop );

// The leading and trailing runs of c removed
std::string strip( std::string const & source, char c );

// Every occurrence of from replaced by to, left to right, without rescanning
// the inserted text. An empty from leaves source unchanged.
std::string replace_in( std::string const & source, std::string const & from, std::string const & to );

// The bytes of text as they can be shown in a message: printable ASCII
// characters as they are, every other byte (a tab, a line break, a byte
// above 0x7e) written as \xNN with two hexadecimal digits.
std::string escaped_bytes( std::string const & text );

// Every occurrence of erase_str removed, left to right
std::string remove_from_string( std::string const & source, std::string const & erase_str );

// Every "${NAME}" replaced by the value of the environment variable NAME,
// values expanded in turn. An undefined variable, or variables that keep
// referring to each other, end the run through utility::exit.
std::string replace_environment_variables( std::string input );

// ---- Splitting and joining -------------------------------------------------

// Words separated by runs of white space
vector1< std::string > split_whitespace( std::string const & s );

// Pieces between occurrences of splitchar, empty pieces kept: n separators
// give n + 1 pieces
vector1< std::string > string_split( std::string const & in, char splitchar );

// The same with empty pieces dropped
vector1< std::string > string_split_simple( std::string const & in, char splitchar );

// Pieces between occurrences of any character of splitchars, empty ones kept
vector1< std::string > string_split_multi_delim( std::string const & in, std::string splitchars );

// Lines between line feeds and carriage returns; empty lines dropped
std::vector< std::string > split_by_newlines( std::string const & s );

// Words separated by white space outside quotes; a backslash makes the next
// character literal. Quotes and backslashes stay in the words.
vector1< std::string > quoted_split( std::string const & s );

// Pieces between blanks (the blank only), empty pieces dropped
vector1< std::string > split( std::string const & s );
std::list< std::string > split_to_list( std::string const & s );
std::set< std::string > split_to_set( std::string const & s );

// The pieces with connector between them
std::string join( vector1< std::string > const & s, std::string const & connector );
std::string join( std::vector< std::string > const & s, std::string const & connector );

// join( split( s ), replacement )
std::string replace_spaces( std::string const & s, std::string const & replacement );

// ---- Residue-selection tags ------------------------------------------------
// Residue numbers with optional chain and four-character segment identifier,
// runs of consecutive numbers written first-last: "A:1-3 A:5". The chains
// NUL, blank and "_" and the segment "    " (four blanks) mean none.

// The numbers separated by blanks
std::string make_tag( vector1< int > res_vector );

// Runs with chain and segment prefixes, separated by delimiter
std::string make_tag_with_dashes( vector1< int > res_vector, vector1< char > chain_vector,
	vector1< std::string > segid_vector, char delimiter );

// Runs without prefixes
std::string make_tag_with_dashes( vector1< int > res_vector, char delimiter );

// Runs with segment prefixes only, the segment written with its blanks
std::string make_segtag_with_dashes( vector1< int > res_vector, vector1< std::string > segid_vector, char delimiter );

// One tag "SEG:numbers" (segment of up to four characters); appends to the
// lists and gives whether the tag was valid
bool get_resnum_and_segid_from_one_tag( std::string const & tag, std::vector< int > & resnum,
	std::vector< std::string > & segids );

// Blank- or comma-separated "SEG:numbers" tags; ok tells whether all were valid
std::pair< std::vector< int >, std::vector< std::string > > get_resnum_and_segid( std::string const & s, bool & ok );

// One tag "A:12-20", "A12-20", "12-20" or "A:SEG:12-20"; appends to the lists
bool get_resnum_and_chain_from_one_tag( std::string const & tag, std::vector< int > & resnum,
	std::vector< char > & chains, std::vector< std::string > & segids );

// Blank- or comma-separated tags: (numbers, chains, segments)
std::tuple< std::vector< int >, std::vector< char >, std::vector< std::string > >
get_resnum_and_chain_and_segid( std::string const & s, bool & ok );

std::tuple< std::vector< int >, std::vector< char >, std::vector< std::string > >
get_resnum_and_chain( std::string const & s );

// ---- File-name parts, whole-file text and digest ---------------------------

// Base name with its extension, without directory and version
std::string file_basename( std::string const & full_path );
std::string filename( std::string const & full_path );

// The directory part, ending in "/"; empty when the path has no directory
std::string pathname( std::string const & full_path );

// The whole text of a file; a last line without a line feed gains one.
// Throws utility::excn::Exception when the file cannot be opened.
std::string file_contents( std::string const & file_name );

// Appends the rest of in to out
void slurp( std::istream & in, std::string & out );

// SHA-1 digest of the input's bytes, 40 lowercase hexadecimal digits
std::string string_to_sha1( std::string const & input );

} // utility

#endif
