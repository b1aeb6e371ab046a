#include "utility/Exceptions.hh"

#include <ostream>

namespace utility {
namespace excn {

Exception::Exception( char const * file, int const line, std::string const & msg ) :
	msg_( "\n\nFile: " + std::string( file ? file : "" ) + ":" + std::to_string( line ) + "\n" + msg )
{}

Exception::~Exception() = default;

char const *
Exception::what() const noexcept
{
	return msg_.c_str();
}

void
Exception::show( std::ostream & stream ) const
{
	stream << msg_ << '\n';
	stream.flush();
}

} // excn

UtilityExitException::UtilityExitException( char const * file, int const line, std::string const & msg ) :
	excn::Exception( file, line, msg )
{}

UtilityExitException::~UtilityExitException() = default;

} // utility
