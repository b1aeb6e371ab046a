// Small helpers over strings and string lists used around the assembly:
// a byte-wise "less" for sorting file names, splitting a line into words or
// numbers, copying and releasing string lists, printing a path list, and
// quoting a text that a message names.
#ifndef QUILT_QUILTER_STRINGLISTHELPERS_HH
#define QUILT_QUILTER_STRINGLISTHELPERS_HH

#include <string>
#include <vector>

// True when a sorts before b byte by byte (a common prefix puts the shorter
// string first); a strict weak order.
bool stringCompare( const std::string& a, const std::string& b );

// The words of text split at every character of delimiters; runs of
// delimiters count as one and no empty word is returned.
std::vector< std::string > stringSplit( std::string text, const char* delimiters );

// The same split, each word read as a number from its start (0.0 when it
// does not begin with one; trailing characters are ignored).
std::vector< double > stringSplit_double( std::string text, const char* delimiters );

// Empties target (freeing its storage), then appends every entry of source.
void copy1DStringVec( std::vector< std::string > source, std::vector< std::string >& target );

// "<title> contains:", one path per line, "Total: <n> paths." and an empty line.
void printPaths( const std::vector< std::string >& paths, const std::string& title );

// Empties every inner list and the outer list, freeing their storage.
void release2DVec( std::vector< std::vector< std::string > >& lists );

// A text as a message quotes it: in single quotes, at most 60 characters
// (then "..." after the closing quote), bytes that are not printable ASCII
// as \xNN, so that what a user typed cannot break the message's line.
std::string quotedText( const std::string& text );

#endif
