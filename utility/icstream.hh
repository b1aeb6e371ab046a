#ifndef INCLUDED_utility_icstream_hh
#define INCLUDED_utility_icstream_hh

// Console input: an irstream over a standard input stream, which it neither
// owns nor closes. utility::io::ic::cin wraps standard input.
//
// The constructor is constexpr so that the console object is initialised as
// a constant, before any code runs: static initialisers of other sources can
// use it whatever their order.

#include "utility/irstream.hh"

#include <istream>

namespace utility {
namespace io {

class icstream : public irstream
{
public:
	constexpr explicit icstream( std::istream & i_stream ) noexcept : i_stream_( i_stream ) {}

	~icstream() override {}

	explicit operator bool() const override { return ! i_stream_.fail(); }

	operator std::istream const &() const override { return i_stream_; }
	operator std::istream &() override { return i_stream_; }

	std::istream & operator >>( std::istream & ( *pf )( std::istream & ) ) override;

	void clear() override { i_stream_.clear(); }
	void seek_beg() override;

	int get() override;
	icstream & get( char & c ) override;
	icstream & get( char * s, std::streamsize n ) override;
	icstream & get( char * s, std::streamsize n, char delim ) override;
	icstream & get( std::string & s, std::streamsize n ) override;
	icstream & get( std::string & s, std::streamsize n, char delim ) override;
	icstream & getline( char * s, std::streamsize n ) override;
	icstream & getline( char * s, std::streamsize n, char delim ) override;
	icstream & getline( std::string & s ) override;
	icstream & getline( std::string & s, char delim ) override;
	icstream & read( char * s, std::streamsize n ) override;
	icstream & read( std::string & s, std::streamsize n ) override;
	std::streamsize readsome( char * s, std::streamsize n ) override;
	std::streamsize readsome( std::string & s, std::streamsize n ) override;
	icstream & ignore() override;
	icstream & ignore( std::streamsize n ) override;
	icstream & ignore( std::streamsize n, int delim ) override;
	int peek() override;
	icstream & unget() override;
	icstream & putback( char c ) override;

	std::istream const & operator ()() const override { return i_stream_; }
	std::istream & operator ()() override { return i_stream_; }
	std::istream const & stream() const override { return i_stream_; }
	std::istream & stream() override { return i_stream_; }
	std::streambuf * rdbuf() const override { return i_stream_.rdbuf(); }

	bool good() const override { return i_stream_.good(); }
	bool eof() const override { return i_stream_.eof(); }
	bool fail() const override { return i_stream_.fail(); }
	bool bad() const override { return i_stream_.bad(); }

	bool compressed() const override { return false; }
	bool uncompressed() const override { return true; }
	bool gzipped() const override { return false; }

private:
	std::istream & i_stream_;
};

namespace ic {

// Standard input
extern icstream cin;

} // ic

} // io
} // utility

#endif
