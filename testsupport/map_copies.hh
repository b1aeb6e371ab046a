// Crafted copies of real MRC/CCP4 map files for program tests: the file's
// bytes with header words changed (little-endian files, word numbers from 1
// as in the format) and bytes put in after the 1024-byte header.
#ifndef QUILT_TESTSUPPORT_MAP_COPIES_HH
#define QUILT_TESTSUPPORT_MAP_COPIES_HH

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>

namespace quilt_test {

class MapCopy {
public:
	explicit MapCopy( std::string const& path )
	{
		std::ifstream in( path.c_str(), std::ios::binary );
		bytes_.assign( std::istreambuf_iterator< char >( in ), std::istreambuf_iterator< char >() );
	}
	bool ok() const { return bytes_.size() > 1024; }
	int32_t int_word( int word ) const
	{
		int32_t v;
		std::memcpy( &v, &bytes_[ 4 * ( word - 1 ) ], 4 );
		return v;
	}
	float float_word( int word ) const
	{
		float v;
		std::memcpy( &v, &bytes_[ 4 * ( word - 1 ) ], 4 );
		return v;
	}
	MapCopy& set_int( int word, int32_t v )
	{
		std::memcpy( &bytes_[ 4 * ( word - 1 ) ], &v, 4 );
		return *this;
	}
	MapCopy& set_float( int word, float v )
	{
		std::memcpy( &bytes_[ 4 * ( word - 1 ) ], &v, 4 );
		return *this;
	}
	// n bytes of `fill` between the header and the data (an extended
	// header; NSYMBT is left as it is).
	MapCopy& insert_after_header( std::size_t n, char fill = ' ' )
	{
		bytes_.insert( 1024, std::string( n, fill ) );
		return *this;
	}
	bool write( std::string const& path ) const
	{
		std::ofstream out( path.c_str(), std::ios::binary );
		out.write( bytes_.data(), static_cast< std::streamsize >( bytes_.size() ) );
		return bool( out );
	}

private:
	std::string bytes_;
};

} // namespace quilt_test

#endif
