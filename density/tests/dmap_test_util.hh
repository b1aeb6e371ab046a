// Helpers for the DensityScore tests: a hand-rolled MRC writer that can
// produce any header (byte order, mode, axis order, symmetry bytes,
// truncation), the plain grid a map file reads into, small map builders and
// output capture.
#ifndef QUILT_DENSITY_TESTS_DMAP_TEST_UTIL_HH
#define QUILT_DENSITY_TESTS_DMAP_TEST_UTIL_HH

#include "density/DensityScore.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace dmap_test {

// Header and data of a crafted MRC file; values are given in file order
// (column fastest) and converted to the mode's type.
struct CraftMrc {
	int nc = 2, nr = 2, ns = 2, mode = 2;
	int ncstart = 0, nrstart = 0, nsstart = 0;
	int mx = -1, my = -1, mz = -1;          // -1: same as nc, nr, ns (in file order)
	float width = 1.0f;                      // cell lengths default to m * width
	float xlen = -1, ylen = -1, zlen = -1;
	float alpha = 90, beta = 90, gamma = 90;
	int mapc = 1, mapr = 2, maps = 3;
	int nsymbt = 0;
	long sym_bytes = -1;                     // bytes actually written (-1: max(nsymbt, 0))
	std::string sym_text;                    // the record as text padded with sym_pad (empty: bytes 0xA5)
	char sym_pad = ' ';
	char exttyp[4] = { 0, 0, 0, 0 };         // word 27 (MRC2014 extended header type)
	float xorig = 0, yorig = 0, zorig = 0;
	char map[4] = { 'M', 'A', 'P', ' ' };
	unsigned char machst[4] = { 0x44, 0x41, 0, 0 };
	bool big_endian = false;
	long data_bytes = -1;                    // -1: all values; else truncate
	long total_bytes = -1;                   // -1: whole file; else cut the file
	long extra_bytes = 0;                    // NUL bytes after the data
	std::vector<double> values;

	void write( std::string const& path ) const
	{
		std::vector<unsigned char> f( 1024, 0 );
		auto put = [&]( int word, uint32_t bits ) {
			unsigned char b[4];
			std::memcpy( b, &bits, 4 );
			if ( big_endian ) { std::swap( b[0], b[3] ); std::swap( b[1], b[2] ); }
			std::memcpy( &f[4 * ( word - 1 )], b, 4 );
		};
		auto pi = [&]( int word, int v ) { uint32_t u; std::memcpy( &u, &v, 4 ); put( word, u ); };
		auto pf = [&]( int word, float v ) { uint32_t u; std::memcpy( &u, &v, 4 ); put( word, u ); };
		int const m[3] = { mx < 0 ? nc : mx, my < 0 ? nr : my, mz < 0 ? ns : mz };
		pi( 1, nc ); pi( 2, nr ); pi( 3, ns ); pi( 4, mode );
		pi( 5, ncstart ); pi( 6, nrstart ); pi( 7, nsstart );
		pi( 8, m[0] ); pi( 9, m[1] ); pi( 10, m[2] );
		pf( 11, xlen < 0 ? m[0] * width : xlen );
		pf( 12, ylen < 0 ? m[1] * width : ylen );
		pf( 13, zlen < 0 ? m[2] * width : zlen );
		pf( 14, alpha ); pf( 15, beta ); pf( 16, gamma );
		pi( 17, mapc ); pi( 18, mapr ); pi( 19, maps );
		pi( 23, 1 ); pi( 24, nsymbt );
		pf( 50, xorig ); pf( 51, yorig ); pf( 52, zorig );
		std::memcpy( &f[208], map, 4 );
		std::memcpy( &f[212], machst, 4 );
		std::memcpy( &f[104], exttyp, 4 );
		long const sb = sym_bytes >= 0 ? sym_bytes : ( nsymbt > 0 ? nsymbt : 0 );
		for ( long i = 0; i < sb; ++i )
			f.push_back( sym_text.empty() ? static_cast<unsigned char>( 0xA5 )
			                              : static_cast<unsigned char>( size_t( i ) < sym_text.size() ? sym_text[i] : sym_pad ) );
		std::vector<unsigned char> d;
		for ( double v : values ) {
			if ( mode == 0 ) {
				d.push_back( static_cast<unsigned char>( static_cast<signed char>( v ) ) );
			} else if ( mode == 1 ) {
				int16_t s = static_cast<int16_t>( v );
				unsigned char b[2];
				std::memcpy( b, &s, 2 );
				if ( big_endian ) std::swap( b[0], b[1] );
				d.push_back( b[0] ); d.push_back( b[1] );
			} else {
				float x = static_cast<float>( v );
				unsigned char b[4];
				std::memcpy( b, &x, 4 );
				if ( big_endian ) { std::swap( b[0], b[3] ); std::swap( b[1], b[2] ); }
				d.insert( d.end(), b, b + 4 );
			}
		}
		if ( data_bytes >= 0 && static_cast<size_t>( data_bytes ) < d.size() ) d.resize( data_bytes );
		f.insert( f.end(), d.begin(), d.end() );
		f.insert( f.end(), static_cast<size_t>( extra_bytes ), 0 );
		if ( total_bytes >= 0 && static_cast<size_t>( total_bytes ) < f.size() ) f.resize( total_bytes );
		std::ofstream out( path, std::ios::binary );
		out.write( reinterpret_cast<char const*>( f.data() ), static_cast<std::streamsize>( f.size() ) );
	}
};

// A plain grid as DensityScore::read_vol returns it; the array is released
// with the object.
struct Grid {
	double width = 0, ox = 0, oy = 0, oz = 0;
	unsigned ex = 0, ey = 0, ez = 0;
	double* phi = nullptr;
	Grid() = default;
	Grid( Grid const& ) = delete;
	Grid& operator=( Grid const& ) = delete;
	~Grid() { std::free( phi ); }
	size_t n() const { return static_cast<size_t>( ex ) * ey * ez; }
	double at( unsigned x, unsigned y, unsigned z ) const { return phi[x + ex * ( y + ey * static_cast<size_t>( z ) )]; }
	// Trilinear value at a Cartesian point; false outside the grid.
	bool sample( double const* p, double& v ) const
	{
		double const g[3] = { ( p[0] - ox ) / width, ( p[1] - oy ) / width, ( p[2] - oz ) / width };
		unsigned const e[3] = { ex, ey, ez };
		int i0[3];
		double t[3];
		for ( int d = 0; d < 3; ++d ) {
			if ( !( g[d] >= 0 ) || g[d] > e[d] - 1.0 ) return false;
			i0[d] = static_cast<int>( std::floor( g[d] ) );
			if ( i0[d] >= static_cast<int>( e[d] ) - 1 ) i0[d] = e[d] - 2;
			t[d] = g[d] - i0[d];
		}
		v = 0;
		for ( int c = 0; c < 8; ++c ) {
			int const a = c & 1, b = ( c >> 1 ) & 1, z = ( c >> 2 ) & 1;
			double const wgt = ( a ? t[0] : 1 - t[0] ) * ( b ? t[1] : 1 - t[1] ) * ( z ? t[2] : 1 - t[2] );
			v += wgt * phi[( i0[0] + a ) + ex * ( ( i0[1] + b ) + static_cast<size_t>( ey ) * ( i0[2] + z ) )];
		}
		return true;
	}
	// Value of the voxel nearest to a point; false outside the grid.
	bool nearest( double const* p, double& v ) const
	{
		long i[3];
		unsigned const e[3] = { ex, ey, ez };
		double const o[3] = { ox, oy, oz };
		for ( int d = 0; d < 3; ++d ) {
			i[d] = std::lround( ( p[d] - o[d] ) / width );
			if ( i[d] < 0 || i[d] >= static_cast<long>( e[d] ) ) return false;
		}
		v = phi[i[0] + ex * ( i[1] + static_cast<size_t>( ey ) * i[2] )];
		return true;
	}
};

// Reads a map file (MRC or Situs) onto a plain grid.
inline void read_vol( std::string const& f, Grid& g )
{
	DensityScore ds;
	ds.read_vol( f.c_str(), &g.width, &g.ox, &g.oy, &g.oz, &g.ex, &g.ey, &g.ez, &g.phi );
}

// Values 0, 1, 2, ... in file order.
inline std::vector<double> ramp( size_t n, double scale = 1.0, double shift = 0.0 )
{
	std::vector<double> v( n );
	for ( size_t i = 0; i < n; ++i ) v[i] = shift + scale * static_cast<double>( i );
	return v;
}

// A Gaussian of width sigma (A) centred at c on the plain grid.
inline std::vector<double> gaussian_grid( unsigned ex, unsigned ey, unsigned ez, double w,
	double const* orig, double const* c, double sigma )
{
	std::vector<double> v( static_cast<size_t>( ex ) * ey * ez );
	size_t i = 0;
	for ( unsigned z = 0; z < ez; ++z )
		for ( unsigned y = 0; y < ey; ++y )
			for ( unsigned x = 0; x < ex; ++x, ++i ) {
				double const dx = orig[0] + x * w - c[0];
				double const dy = orig[1] + y * w - c[1];
				double const dz = orig[2] + z * w - c[2];
				v[i] = std::exp( -( dx * dx + dy * dy + dz * dz ) / ( 2 * sigma * sigma ) );
			}
	return v;
}

// Density-weighted centroid of a plain grid (positive values only).
inline void centroid( double const* phi, unsigned ex, unsigned ey, unsigned ez, double w,
	double ox, double oy, double oz, double* c )
{
	double s = 0, sx = 0, sy = 0, sz = 0;
	size_t i = 0;
	for ( unsigned z = 0; z < ez; ++z )
		for ( unsigned y = 0; y < ey; ++y )
			for ( unsigned x = 0; x < ex; ++x, ++i ) {
				double const v = phi[i];
				if ( v <= 0 ) continue;
				s += v;
				sx += v * ( ox + x * w );
				sy += v * ( oy + y * w );
				sz += v * ( oz + z * w );
			}
	c[0] = sx / s;
	c[1] = sy / s;
	c[2] = sz / s;
}

// Sends standard output to standard error in a death-test child, so that
// the exit message can be matched.
inline void stdout_to_stderr()
{
	std::fflush( stdout );
	dup2( 2, 1 );
}

inline bool python_has( char const* module )
{
	if ( access( "/usr/bin/python3", X_OK ) != 0 ) return false;
	std::string cmd = std::string( "/usr/bin/python3 -c 'import " ) + module + "' >/dev/null 2>&1";
	return std::system( cmd.c_str() ) == 0;
}

// Output of a shell command.
inline std::string run_capture( std::string const& cmd )
{
	std::string out;
	FILE* p = popen( cmd.c_str(), "r" );
	if ( !p ) return out;
	char buf[4096];
	size_t k;
	while ( ( k = std::fread( buf, 1, sizeof( buf ), p ) ) > 0 ) out.append( buf, k );
	pclose( p );
	return out;
}

inline bool file_exists( std::string const& p ) { return access( p.c_str(), F_OK ) == 0; }

} // namespace dmap_test

#endif
