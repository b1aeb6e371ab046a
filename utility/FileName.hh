#ifndef INCLUDED_utility_FileName_hh
#define INCLUDED_utility_FileName_hh

// A file name taken apart: volume, directory path, base name, extension and
// version ("dir/sub/file.pdb~3": path "dir/sub/", base "file", extension
// "pdb", version "3"). Directory separators are kept as "/" ("\\" turns into
// "/"); a gzip file keeps its two-part extension ("model.pdb.gz": "pdb.gz").
// Volumes are not kept on this platform: a drive prefix such as "D:" is
// recognised and dropped.

#include <iosfwd>
#include <string>

namespace utility {
namespace file {

class FileName
{
public:
	FileName() = default;

	FileName( std::string const & name ) { assign( name ); }

	FileName( char const * name ) { assign( name ); }

	// Parses name, replacing all five parts
	FileName & assign( std::string const & name );

	FileName & operator =( std::string const & name ) { return assign( name ); }

	// Volumes are not kept: does nothing
	FileName & vol( std::string const & ) { return *this; }

	// The directory, "\\" turned into "/", with a final "/" when not empty
	FileName & path( std::string const & text );

	std::string const & vol() const { return vol_; }
	std::string const & path() const { return path_; }
	std::string const & base() const { return base_; }
	std::string const & extension() const { return ext_; }
	std::string const & version() const { return ver_; }

	// The name put together again
	std::string name() const;

	bool absolute() const { return ( ! path_.empty() ) && ( path_[ 0 ] == '/' ); }
	bool relative() const { return ! absolute(); }

	// All five parts equal
	friend bool equal( FileName const & a, FileName const & b );

private:
	std::string vol_;  // always empty here
	std::string path_; // "/"-separated, ending in "/" when not empty
	std::string base_;
	std::string ext_;  // without the leading "."
	std::string ver_;  // without the "~"
};

bool equal( FileName const & a, FileName const & b );

// Volume, path, base, then "." extension and "~" version when not empty
std::ostream & operator <<( std::ostream & stream, FileName const & name );

// One whitespace-delimited word, assigned
std::istream & operator >>( std::istream & stream, FileName & name );

namespace detail {

// Drops a drive prefix (a letter and ":") from the front of s
void drop_drive_prefix( std::string & s );

// s with every "\\" turned into "/" and a final "/" added when not empty
std::string directory_text( std::string s );

} // detail

} // file
} // utility

#endif
