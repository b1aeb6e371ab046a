// Helpers of the transforms tests: golden files, whole-file reads and
// writes, owned coordinate tables and CA traces, and a replica of the
// process-wide generator Random that can be synchronised with it.
#ifndef QUILT_TRANSFORMS_TESTS_TRANSFORMS_TEST_UTIL_HH
#define QUILT_TRANSFORMS_TESTS_TRANSFORMS_TEST_UTIL_HH

#include "core/basic_fun_Quilt.hh"

#include <cmath>
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace transforms_test {

inline std::string golden( std::string const& name )
{
	return std::string( QUILT_SOURCE_DIR ) + "/transforms/tests/golden/" + name;
}

inline std::string slurp( std::string const& path )
{
	std::ifstream in( path.c_str(), std::ios::binary );
	std::stringstream ss;
	ss << in.rdbuf();
	return ss.str();
}

inline void spit( std::string const& path, std::string const& text )
{
	std::ofstream out( path.c_str(), std::ios::binary );
	out << text;
}

inline std::vector< std::string > lines_of( std::string const& text )
{
	std::vector< std::string > out;
	std::istringstream in( text );
	std::string line;
	while ( std::getline( in, line ) ) out.push_back( line );
	return out;
}

// An n x 3 table made by new2DArr and released on scope exit.
struct Table {
	explicit Table( int n ) : n( n ), p( new2DArr( n, 3 ) ) {}
	Table( Table const& ) = delete;
	Table& operator=( Table const& ) = delete;
	~Table() { release2DArr( n, p ); }
	int n;
	double** p;
	double* operator[]( int i ) const { return p[ i ]; }
};

inline double dist( double const* a, double const* b )
{
	double const x = a[ 0 ] - b[ 0 ], y = a[ 1 ] - b[ 1 ], z = a[ 2 ] - b[ 2 ];
	return std::sqrt( x * x + y * y + z * z );
}

// A replica of Random (Park-Miller, multiplier 48271): sync() reads one
// value of the real generator and recovers its state from it, so that the
// following draws of the code under test can be predicted.
struct RandomReplica {
	std::int64_t seed = 0;
	void sync()
	{
		double const v = Random();
		seed = std::llround( v / 4.656612875245797e-10 );
	}
	double next()
	{
		seed = ( seed * 48271 ) % 2147483647;
		return static_cast< double >( seed ) * 4.656612875245797e-10;
	}
};

} // namespace transforms_test

#endif
