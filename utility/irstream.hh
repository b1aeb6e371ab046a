#ifndef INCLUDED_utility_irstream_hh
#define INCLUDED_utility_irstream_hh

// Abstract input stream: the operations of a standard input stream, reached
// through virtual calls so that console and other input can be used alike.

#include <iosfwd>
#include <string>

namespace utility {
namespace io {

class irstream
{
public:
	virtual ~irstream() {}

	// Neither the fail nor the bad state is set
	virtual explicit operator bool() const = 0;

	virtual operator std::istream const &() const = 0;
	virtual operator std::istream &() = 0;

	// Applies a manipulator to the underlying stream
	virtual std::istream & operator >>( std::istream & ( *pf )( std::istream & ) ) = 0;

	virtual void clear() = 0;

	// Back to the first character, the state reset
	virtual void seek_beg() = 0;

	virtual int get() = 0;
	virtual irstream & get( char & c ) = 0;
	virtual irstream & get( char * s, std::streamsize n ) = 0;
	virtual irstream & get( char * s, std::streamsize n, char delim ) = 0;
	virtual irstream & get( std::string & s, std::streamsize n ) = 0;
	virtual irstream & get( std::string & s, std::streamsize n, char delim ) = 0;
	virtual irstream & getline( char * s, std::streamsize n ) = 0;
	virtual irstream & getline( char * s, std::streamsize n, char delim ) = 0;
	virtual irstream & getline( std::string & s ) = 0;
	virtual irstream & getline( std::string & s, char delim ) = 0;
	virtual irstream & read( char * s, std::streamsize n ) = 0;
	virtual irstream & read( std::string & s, std::streamsize n ) = 0;
	virtual std::streamsize readsome( char * s, std::streamsize n ) = 0;
	virtual std::streamsize readsome( std::string & s, std::streamsize n ) = 0;
	virtual irstream & ignore() = 0;
	virtual irstream & ignore( std::streamsize n ) = 0;
	virtual irstream & ignore( std::streamsize n, int delim ) = 0;
	virtual int peek() = 0;
	virtual irstream & unget() = 0;
	virtual irstream & putback( char c ) = 0;

	virtual std::istream const & operator ()() const = 0;
	virtual std::istream & operator ()() = 0;
	virtual std::istream const & stream() const = 0;
	virtual std::istream & stream() = 0;
	virtual std::streambuf * rdbuf() const = 0;

	virtual bool good() const = 0;
	virtual bool eof() const = 0;
	virtual bool fail() const = 0;
	virtual bool bad() const = 0;

	virtual bool compressed() const = 0;
	virtual bool uncompressed() const = 0;
	virtual bool gzipped() const = 0;

protected:
	constexpr irstream() noexcept {}
	irstream( irstream const & ) = delete;
	irstream & operator =( irstream const & ) = delete;
};

} // io
} // utility

#endif
