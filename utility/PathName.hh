#ifndef INCLUDED_utility_PathName_hh
#define INCLUDED_utility_PathName_hh

// A directory path alone: "/"-separated ("\\" turns into "/") and ending in
// "/" when not empty. As for FileName, a drive prefix is dropped.

#include <iosfwd>
#include <string>

namespace utility {
namespace file {

class PathName
{
public:
	PathName() = default;

	PathName( std::string const & name ) { assign( name ); }

	PathName( char const * name ) { assign( name ); }

	PathName & assign( std::string const & name );

	PathName & operator =( std::string const & name ) { return assign( name ); }

	// Volumes are not kept: does nothing
	PathName & vol( std::string const & ) { return *this; }

	PathName & path( std::string const & text );

	std::string const & vol() const { return vol_; }
	std::string const & path() const { return path_; }

	std::string name() const { return vol_ + path_; }

	bool absolute() const { return ( ! path_.empty() ) && ( path_[ 0 ] == '/' ); }
	bool relative() const { return ! absolute(); }

	// The directory above: "a/b/" for "a/b/c/", "" for "a/"; "/" and "" are
	// their own parents
	PathName parent() const;

	friend bool equal( PathName const & a, PathName const & b );

private:
	std::string vol_;  // always empty here
	std::string path_;
};

bool equal( PathName const & a, PathName const & b );

std::ostream & operator <<( std::ostream & stream, PathName const & name );

std::istream & operator >>( std::istream & stream, PathName & name );

} // file
} // utility

#endif
