// Test helpers for the loaded-map tests and benchmarks: a small MRC writer
// with every header word under the test's control, maps of Gaussians, a CA
// reader for PDB files, simple traces, and reference pieces of the scores.
#ifndef QUILT_DENSITY_TESTS_FAST_TEST_UTIL_HH
#define QUILT_DENSITY_TESTS_FAST_TEST_UTIL_HH

#include "density/FastDensityScore.hh"

#include <algorithm>
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

// Adds exp(-k d^2) of every point (grid units, d in voxels) to the voxels
// within `reach` voxels of it along each axis, on a cubic map of n^3 voxels
// made by cubic_map; the points must lie at least `reach` voxels inside.
inline void add_gaussians( MrcSpec& m, int n, std::vector< std::vector< double > > const& points, int reach, double k )
{
	for ( auto const& p : points ) {
		int const cx = int( p[ 0 ] ), cy = int( p[ 1 ] ), cz = int( p[ 2 ] );
		for ( int z = cz - reach; z <= cz + reach; ++z )
			for ( int y = cy - reach; y <= cy + reach; ++y )
				for ( int x = cx - reach; x <= cx + reach; ++x ) {
					double const d2 = std::pow( x - p[ 0 ], 2 ) + std::pow( y - p[ 1 ], 2 ) + std::pow( z - p[ 2 ], 2 );
					m.data[ ( std::size_t( z ) * n + y ) * n + x ] += float( std::exp( -k * d2 ) );
				}
	}
}

// CA atoms of the first chain of a PDB file (ATOM records up to TER).
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

// Gaussian constants of the CA model density, A exp(-k d^2), for the model
// resolution R: effective resolution r = max(0.8 R + 2.4, R), k = (pi / r)^2,
// A = 33 (k / pi)^1.5.
inline void ca_model( double R, double& k, double& A )
{
	double const r = std::max( 0.8 * R + 2.4, R );
	k = ( M_PI / r ) * ( M_PI / r );
	A = 33.0 * std::pow( k / M_PI, 1.5 );
}

// Pearson correlation of the model density rho against the map values d,
// voxel l weighted by 1 - inv[l] (inv: product over the atoms of one minus
// their mask); 0 when either variance is 0.
inline double masked_correlation( std::vector< double > const& rho, std::vector< double > const& inv,
	farray::FArray3D< double > const& d )
{
	double sw = 0, sc = 0, so = 0, scc = 0, soo = 0, soc = 0;
	for ( std::size_t l = 0; l < rho.size(); ++l ) {
		double const w = 1.0 - inv[ l ], c = rho[ l ], o = d[ l ];
		sw += w;
		sc += w * c;
		so += w * o;
		scc += w * c * c;
		soo += w * o * o;
		soc += w * o * c;
	}
	double const vc = scc - sc * sc / sw, vo = soo - so * so / sw;
	if ( vc == 0.0 || vo == 0.0 ) return 0.0;
	return ( soc - so * sc / sw ) / std::sqrt( vo * vc );
}

// Central difference (step h) of the 6-D pose score along pose coordinate k.
inline double pose_score_central_difference( FastDensityScore& m, FastDensityScore::Model const& model,
	FastDensityScore::AtomNames const& names, double const* x, double* centre, std::string const& selection, int k,
	double h = 1e-5 )
{
	double xp[ 6 ], xm[ 6 ];
	std::copy( x, x + 6, xp );
	std::copy( x, x + 6, xm );
	xp[ k ] += h;
	xm[ k ] -= h;
	return ( m.getFastDensScore_6D( model, names, xp, centre, selection )
	         - m.getFastDensScore_6D( model, names, xm, centre, selection ) ) / ( 2 * h );
}

// The real-space correlation by brute force, the reference for getRSCC:
// full-size model and mask arrays, every voxel against every CA through the
// fractional/Cartesian matrices, each axis wrapped to the nearest image.
inline double sweep_rscc( FastDensityScore const& m, std::vector< std::vector< double > > const& ca, double radius )
{
	farray::FArray3D< double > const& d = m.density();
	int const nx = d.u1(), ny = d.u2(), nz = d.u3();
	std::vector< double > rho( std::size_t( nx ) * ny * nz, 0.0 ), inv( rho.size(), 1.0 );
	double k, A;
	ca_model( m.modelResolution, k, A );
	double const win2 = std::pow( m.maskPadding + m.caMask, 2 ), mask2 = m.atomMask * m.atomMask;
	int near = 0;
	for ( auto const& c : ca ) {
		double f[ 3 ], g[ 3 ];
		m.cartToFrac( c.data(), f );
		for ( int a = 0; a < 3; ++a ) {
			g[ a ] = std::fmod( f[ a ] * m.grid[ a ] - m.originGrid[ a ] + 1.0, double( m.grid[ a ] ) );
			if ( g[ a ] < 0 ) g[ a ] += m.grid[ a ];
		}
		bool isNear = radius <= 0.0;
		for ( int z = 1; z <= nz; ++z )
			for ( int y = 1; y <= ny; ++y )
				for ( int x = 1; x <= nx; ++x ) {
					double df[ 3 ] = { ( g[ 0 ] - x ) / m.grid[ 0 ], ( g[ 1 ] - y ) / m.grid[ 1 ], ( g[ 2 ] - z ) / m.grid[ 2 ] };
					for ( double& v : df ) {
						if ( v > 0.5 ) v -= 1.0;
						else if ( v < -0.5 ) v += 1.0;
					}
					double o[ 3 ];
					m.fracToCart( df, o );
					double const d2 = o[ 0 ] * o[ 0 ] + o[ 1 ] * o[ 1 ] + o[ 2 ] * o[ 2 ];
					if ( d2 > win2 ) continue;
					if ( !isNear ) {
						double p[ 3 ];
						m.voxelPosition( x - 1, y - 1, z - 1, p );
						double const q2 = std::pow( p[ 0 ] - c[ 0 ], 2 ) + std::pow( p[ 1 ] - c[ 1 ], 2 ) + std::pow( p[ 2 ] - c[ 2 ], 2 );
						if ( q2 < radius * radius ) isNear = true;
					}
					std::size_t const l = ( std::size_t( z - 1 ) * ny + ( y - 1 ) ) * nx + ( x - 1 );
					rho[ l ] += A * std::exp( -k * d2 );
					inv[ l ] *= 1.0 - 1.0 / ( 1.0 + std::exp( d2 - mask2 ) );
				}
		if ( isNear ) ++near;
	}
	double const cc = masked_correlation( rho, inv, d );
	if ( cc == 0.0 ) return 0.0;
	return radius > 0.0 ? cc * near / double( ca.size() ) : cc;
}

} // namespace fast_test

#endif
