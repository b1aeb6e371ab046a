#include "utility/FileName.hh"

#include <algorithm>
#include <cctype>
#include <istream>
#include <ostream>

namespace utility {
namespace file {

namespace detail {

void
drop_drive_prefix( std::string & s )
{
	if ( ( s.size() >= 2 ) && std::isalpha( static_cast< unsigned char >( s[ 0 ] ) ) && ( s[ 1 ] == ':' ) ) s.erase( 0, 2 );
}

std::string
directory_text( std::string s )
{
	std::replace( s.begin(), s.end(), '\\', '/' );
	if ( ( ! s.empty() ) && ( s.back() != '/' ) ) s += '/';
	return s;
}

} // detail

FileName &
FileName::assign( std::string const & name )
{
	std::string s( name );
	vol_.clear();
	detail::drop_drive_prefix( s );

	path_.clear();
	std::string::size_type const slash = s.find_last_of( "/\\" );
	if ( slash != std::string::npos ) {
		path_ = s.substr( 0, slash + 1 );
		std::replace( path_.begin(), path_.end(), '\\', '/' );
		s.erase( 0, slash + 1 );
	}

	ver_.clear();
	std::string::size_type const tilde = s.rfind( '~' );
	if ( tilde != std::string::npos ) {
		ver_ = s.substr( tilde + 1 );
		s.erase( tilde );
	}

	ext_.clear();
	std::string::size_type const dot = s.rfind( '.' );
	if ( dot != std::string::npos ) {
		ext_ = s.substr( dot + 1 );
		s.erase( dot );
		// gzip files keep the extension underneath: "pdb.gz"
		if ( ext_ == "gz" ) {
			std::string::size_type const inner = s.rfind( '.' );
			if ( inner != std::string::npos ) {
				std::string const under = s.substr( inner + 1 );
				if ( ! under.empty() ) ext_ = under + ".gz";
				s.erase( inner );
			}
		}
	}

	base_ = s;
	return *this;
}

FileName &
FileName::path( std::string const & text )
{
	path_ = detail::directory_text( text );
	return *this;
}

std::string
FileName::name() const
{
	std::string n = vol_ + path_ + base_;
	if ( ! ext_.empty() ) n += "." + ext_;
	if ( ! ver_.empty() ) n += "~" + ver_;
	return n;
}

bool
equal( FileName const & a, FileName const & b )
{
	return ( a.vol_ == b.vol_ ) && ( a.path_ == b.path_ ) && ( a.base_ == b.base_ ) && ( a.ext_ == b.ext_ )
		&& ( a.ver_ == b.ver_ );
}

std::ostream &
operator <<( std::ostream & stream, FileName const & name )
{
	return stream << name.name();
}

std::istream &
operator >>( std::istream & stream, FileName & name )
{
	std::string word;
	stream >> word;
	name.assign( word );
	return stream;
}

} // file
} // utility
