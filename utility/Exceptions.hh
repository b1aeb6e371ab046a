#ifndef INCLUDED_utility_Exceptions_hh
#define INCLUDED_utility_Exceptions_hh

// Exceptions of the support library. The text names the source file and line
// of the throw: "\n\nFile: <file>:<line>\n<message>".

#include <exception>
#include <iosfwd>
#include <string>

namespace utility {
namespace excn {

class Exception : public std::exception
{
public:
	Exception( char const * file, int line, std::string const & msg );

	~Exception() override;

	char const * what() const noexcept override;

	// Writes the text, a newline, and flushes
	void show( std::ostream & stream ) const;

	std::string const & msg() const { return msg_; }

private:
	std::string msg_;
};

} // excn

// Thrown by the library's exit routine after its report
class UtilityExitException : public excn::Exception
{
public:
	UtilityExitException( char const * file, int line, std::string const & msg );

	~UtilityExitException() override;
};

} // utility

#endif
