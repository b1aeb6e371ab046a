// Test helpers for the loaded-map tests: a small MRC writer with every
// header word under the test's control, a CA reader for PDB files and
// simple traces.
#ifndef QUILT_DENSITY_TESTS_FAST_TEST_UTIL_HH
#define QUILT_DENSITY_TESTS_FAST_TEST_UTIL_HH

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace fast_test {

struct MrcSpec {
	int ext[ 3 ] = { 4, 4, 4 };     // NC, NR, NS
	int mode = 2;
	int start[ 3 ] = { 0, 0, 0 };
	int samp[ 3 ] = { 4, 4, 4 };
	float cell[ 3 ] = { 4.f, 4.f, 4.f };
	float angles[ 3 ] = { 90.f, 90.f, 90.f };
	int axes[ 3 ] = { 1, 2, 3 };
	int nsymbt = 0;
	int symBytesWritten = -1;       // bytes actually written after the header (-1: nsymbt)
	float origin[ 3 ] = { 0.f, 0.f, 0.f };
	bool swap = false;              // write in the other byte order
	bool stamp = true;              // write "MAP " at 208
	long dropBytes = 0;             // bytes cut off the end of the data
	long extraBytes = 0;            // bytes added after the data
	std::vector< float > data;      // file order: column fastest, then row, then section
};

inline void put4( std::vector< unsigned char >& b, int off, void const* v, bool swap )
{
	unsigned char t[ 4 ];
	std::memcpy( t, v, 4 );
	if ( swap ) {
		std::swap( t[ 0 ], t[ 3 ] );
		std::swap( t[ 1 ], t[ 2 ] );
	}
	std::memcpy( &b[ off ], t, 4 );
}

inline bool write_mrc( std::string const& path, MrcSpec const& s )
{
	std::vector< unsigned char > h( 1024, 0 );
	for ( int i = 0; i < 3; ++i ) {
		int32_t e = s.ext[ i ], st = s.start[ i ], sa = s.samp[ i ], ax = s.axes[ i ];
		put4( h, 4 * i, &e, s.swap );
		put4( h, 16 + 4 * i, &st, s.swap );
		put4( h, 28 + 4 * i, &sa, s.swap );
		put4( h, 40 + 4 * i, &s.cell[ i ], s.swap );
		put4( h, 52 + 4 * i, &s.angles[ i ], s.swap );
		put4( h, 64 + 4 * i, &ax, s.swap );
		put4( h, 196 + 4 * i, &s.origin[ i ], s.swap );
	}
	int32_t mode = s.mode, ns = s.nsymbt;
	put4( h, 12, &mode, s.swap );
	put4( h, 92, &ns, s.swap );
	if ( s.stamp ) std::memcpy( &h[ 208 ], "MAP ", 4 );
	std::ofstream out( path.c_str(), std::ios::binary );
	if ( !out ) return false;
	out.write( reinterpret_cast< char const* >( h.data() ), 1024 );
	int const sym = s.symBytesWritten >= 0 ? s.symBytesWritten : std::max( s.nsymbt, 0 );
	std::vector< char > pad( sym, 0 );
	out.write( pad.data(), sym );
	std::vector< unsigned char > d( 4 * s.data.size() );
	for ( std::size_t i = 0; i < s.data.size(); ++i ) put4( d, int( 4 * i ), &s.data[ i ], s.swap );
	long const n = long( d.size() ) - s.dropBytes;
	out.write( reinterpret_cast< char const* >( d.data() ), std::max( n, 0L ) );
	std::vector< char > extra( s.extraBytes, 0 );
	out.write( extra.data(), s.extraBytes );
	return bool( out );
}

// A cubic map of n^3 voxels of width w with a value per 0-based (x, y, z)
// in Cartesian order (axis map 1, 2, 3), start indices `start`.
inline MrcSpec cubic_map( int n, double w, std::function< double( int, int, int ) > const& value, int start = 0 )
{
	MrcSpec s;
	for ( int a = 0; a < 3; ++a ) {
		s.ext[ a ] = n;
		s.samp[ a ] = n;
		s.start[ a ] = start;
		s.cell[ a ] = float( n * w );
	}
	s.data.resize( std::size_t( n ) * n * n );
	for ( int z = 0; z < n; ++z )
		for ( int y = 0; y < n; ++y )
			for ( int x = 0; x < n; ++x ) s.data[ ( std::size_t( z ) * n + y ) * n + x ] = float( value( x, y, z ) );
	return s;
}

// CA coordinates of the first chain of a PDB file (ATOM records up to TER).
inline std::vector< std::vector< double > > read_ca( std::string const& path )
{
	std::vector< std::vector< double > > ca;
	std::ifstream in( path.c_str() );
	std::string line;
	while ( std::getline( in, line ) ) {
		if ( line.compare( 0, 3, "TER" ) == 0 && !ca.empty() ) break;
		if ( line.compare( 0, 4, "ATOM" ) != 0 || line.size() < 54 ) continue;
		if ( line.substr( 12, 4 ) != " CA " ) continue;
		ca.push_back( { std::stod( line.substr( 30, 8 ) ), std::stod( line.substr( 38, 8 ) ), std::stod( line.substr( 46, 8 ) ) } );
	}
	return ca;
}

// Row pointers into a list of points (for the double** interfaces).
inline std::vector< double* > rows_of( std::vector< std::vector< double > >& p )
{
	std::vector< double* > r;
	for ( auto& v : p ) r.push_back( v.data() );
	return r;
}

} // namespace fast_test

#endif
