#ifndef INCLUDED_utility_ocstream_hh
#define INCLUDED_utility_ocstream_hh

// Console output: an orstream over a standard output stream, which it neither
// owns, flushes at its end nor closes. utility::io::oc::cout, cerr and clog
// wrap standard output, standard error and the standard log stream.
//
// The constructor is constexpr so that the console objects are initialised
// as constants, before any code runs: static initialisers of other sources
// can write through them whatever their order.

#include "utility/orstream.hh"

#include <ostream>

namespace utility {
namespace io {

class ocstream : public orstream
{
public:
	constexpr explicit ocstream( std::ostream & o_stream ) noexcept : o_stream_( o_stream ) {}

	~ocstream() override {}

	explicit operator bool() const override { return ! o_stream_.fail(); }

	operator std::ostream const &() const override { return o_stream_; }
	operator std::ostream &() override { return o_stream_; }

	ocstream & operator <<( std::ostream & ( *pf )( std::ostream & ) ) override;

	ocstream & flush() override;
	void clear() override { o_stream_.clear(); }
	ocstream & put( char c ) override;
	ocstream & write( char const * str, std::streamsize count ) override;
	ocstream & write( std::string const & str, std::streamsize count ) override;

	std::ostream const & operator ()() const override { return o_stream_; }
	std::ostream & operator ()() override { return o_stream_; }
	std::ostream const & stream() const override { return o_stream_; }
	std::ostream & stream() override { return o_stream_; }
	std::streambuf * rdbuf() const override { return o_stream_.rdbuf(); }

	bool good() const override { return o_stream_.good(); }
	bool eof() const override { return o_stream_.eof(); }
	bool fail() const override { return o_stream_.fail(); }
	bool bad() const override { return o_stream_.bad(); }

	bool compressed() const override { return false; }
	bool uncompressed() const override { return true; }
	bool gzipped() const override { return false; }

private:
	std::ostream & o_stream_;
};

namespace oc {

// Standard output, standard error and the standard log stream
extern ocstream cout;
extern ocstream cerr;
extern ocstream clog;

} // oc

} // io
} // utility

#endif
