#include "utility/PathName.hh"
#include "utility/FileName.hh"

#include <istream>
#include <ostream>

namespace utility {
namespace file {

PathName &
PathName::assign( std::string const & name )
{
	std::string s( name );
	vol_.clear();
	detail::drop_drive_prefix( s );
	path_ = detail::directory_text( s );
	return *this;
}

PathName &
PathName::path( std::string const & text )
{
	path_ = detail::directory_text( text );
	return *this;
}

PathName
PathName::parent() const
{
	PathName p( vol_ + path_ );
	if ( p.path_.size() < 2 ) return p;
	std::string::size_type const slash = p.path_.rfind( '/', p.path_.size() - 2 );
	if ( slash == std::string::npos ) {
		p.path_.clear();
	} else {
		p.path_.erase( slash + 1 );
	}
	return p;
}

bool
equal( PathName const & a, PathName const & b )
{
	return ( a.vol_ == b.vol_ ) && ( a.path_ == b.path_ );
}

std::ostream &
operator <<( std::ostream & stream, PathName const & name )
{
	return stream << name.name();
}

std::istream &
operator >>( std::istream & stream, PathName & name )
{
	std::string word;
	stream >> word;
	name.assign( word );
	return stream;
}

} // file
} // utility
