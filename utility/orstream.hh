#ifndef INCLUDED_utility_orstream_hh
#define INCLUDED_utility_orstream_hh

// Abstract output stream: the operations of a standard output stream, reached
// through virtual calls so that console and other output can be used alike.

#include <iosfwd>
#include <string>

namespace utility {
namespace io {

class orstream
{
public:
	virtual ~orstream() {}

	// Neither the fail nor the bad state is set
	virtual explicit operator bool() const = 0;

	virtual operator std::ostream const &() const = 0;
	virtual operator std::ostream &() = 0;

	// Applies a manipulator (std::endl, std::flush, ...) to the underlying stream
	virtual orstream & operator <<( std::ostream & ( *pf )( std::ostream & ) ) = 0;

	virtual orstream & flush() = 0;
	virtual void clear() = 0;
	virtual orstream & put( char c ) = 0;
	virtual orstream & write( char const * str, std::streamsize count ) = 0;

	// The first count characters of str (at most all of them)
	virtual orstream & write( std::string const & str, std::streamsize count ) = 0;

	virtual std::ostream const & operator ()() const = 0;
	virtual std::ostream & operator ()() = 0;
	virtual std::ostream const & stream() const = 0;
	virtual std::ostream & stream() = 0;
	virtual std::streambuf * rdbuf() const = 0;

	virtual bool good() const = 0;
	virtual bool eof() const = 0;
	virtual bool fail() const = 0;
	virtual bool bad() const = 0;

	virtual bool compressed() const = 0;
	virtual bool uncompressed() const = 0;
	virtual bool gzipped() const = 0;

protected:
	constexpr orstream() noexcept {}
	orstream( orstream const & ) = delete;
	orstream & operator =( orstream const & ) = delete;
};

} // io
} // utility

#endif
