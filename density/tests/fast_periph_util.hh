// Test helpers for the fast-score variants, their derivatives, the B-bin
// diagnostic and map resizing: a residue-structured model with residue
// names and B factors, maps of Gaussians on cubic or hexagonal cells, and an
// independent evaluation of one fast-score lookup.
#ifndef QUILT_DENSITY_TESTS_FAST_PERIPH_UTIL_HH
#define QUILT_DENSITY_TESTS_FAST_PERIPH_UTIL_HH

#include "density/FastDensityScore.hh"
#include "density/tests/fast_test_util.hh"
#include "numerics/spline.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace fast_periph {

// A chain of residues along a helix: N, CA, C, O, CB (no CB for GLY) and a
// side-chain atom SG for CYS, OG for SER; B factors rising along the chain.
struct Chain {
	std::vector< std::vector< double > > store;
	FastDensityScore::Model xyz;
	FastDensityScore::AtomNames names;
	std::vector< std::string > residues;
	std::vector< std::vector< double > > B;

	Chain( int n, double const* centre, double rise = 1.5 )
	{
		static char const* const types[] = { "ALA", "GLY", "TYR", "CYS", "SER", "LYS" };
		store.reserve( std::size_t( n ) * 6 );
		for ( int i = 0; i < n; ++i ) {
			std::string const res = types[ i % 6 ];
			std::vector< std::string > atoms = { "N", "CA", "C", "O" };
			if ( res != "GLY" ) atoms.push_back( "CB" );
			if ( res == "CYS" ) atoms.push_back( "SG" );
			if ( res == "SER" ) atoms.push_back( "OG" );
			double const t = i * 100.0 * M_PI / 180.0;
			double const base[ 3 ] = { centre[ 0 ] + 2.3 * std::cos( t ), centre[ 1 ] + 2.3 * std::sin( t ),
				centre[ 2 ] + rise * ( i - n / 2.0 ) };
			residues.push_back( res );
			xyz.emplace_back();
			names.emplace_back();
			B.emplace_back();
			for ( std::size_t a = 0; a < atoms.size(); ++a ) {
				store.push_back( { base[ 0 ] + 1.1 * std::cos( 1.3 * a + i ), base[ 1 ] + 1.1 * std::sin( 1.7 * a + i ),
					base[ 2 ] + 0.35 * a } );
				xyz.back().push_back( store.back().data() );
				names.back().push_back( atoms[ a ] );
				B.back().push_back( 15.0 + 4.0 * i + 3.0 * a );
			}
		}
	}
	// Every atom's position, in model order.
	std::vector< double* > all() const
	{
		std::vector< double* > p;
		for ( auto const& r : xyz )
			for ( double* q : r ) p.push_back( q );
		return p;
	}
	double* atom( std::size_t r, std::string const& name ) const
	{
		for ( std::size_t a = 0; a < names[ r ].size(); ++a )
			if ( names[ r ][ a ] == name ) return xyz[ r ][ a ];
		return nullptr;
	}
};

// A map file of a*b*c voxels on a cell of edges (a, b, c) * w and angles
// (90, 90, gamma) holding value(Cartesian position) at every voxel; start
// indices `start` on every axis.
template< class F >
fast_test::MrcSpec cell_map( int const* n, double w, double gamma, F const& value, int start = 0 )
{
	fast_test::MrcSpec s;
	for ( int a = 0; a < 3; ++a ) {
		s.ext[ a ] = s.samp[ a ] = n[ a ];
		s.start[ a ] = start;
		s.cell[ a ] = float( n[ a ] * w );
	}
	s.angles[ 2 ] = float( gamma );
	double const cg = std::cos( gamma * M_PI / 180.0 ), sg = std::sin( gamma * M_PI / 180.0 );
	for ( int z = 0; z < n[ 2 ]; ++z )
		for ( int y = 0; y < n[ 1 ]; ++y )
			for ( int x = 0; x < n[ 0 ]; ++x ) {
				// a along x, b in the xy plane at gamma from a, c along z.
				double const fx = ( x + start ) * w, fy = ( y + start ) * w, fz = ( z + start ) * w;
				double const p[ 3 ] = { fx + fy * cg, fy * sg, fz };
				s.data.push_back( float( value( p ) ) );
			}
	return s;
}

// Sum of exp(-k d^2) over points (Cartesian, no periodic images).
inline double gaussians_at( double const* p, std::vector< double* > const& points, double k )
{
	double s = 0.0;
	for ( double const* q : points ) {
		double const d2 = std::pow( p[ 0 ] - q[ 0 ], 2 ) + std::pow( p[ 1 ] - q[ 1 ], 2 ) + std::pow( p[ 2 ] - q[ 2 ], 2 );
		s += std::exp( -k * d2 );
	}
	return s;
}

inline bool load_quiet( FastDensityScore& m, std::string const& path, double reso = 0.0 )
{
	testing::internal::CaptureStdout();
	bool const ok = m.readDensityMap( path, reso, 0.0, 0.0, true );
	testing::internal::GetCapturedStdout();
	return ok;
}

// The fast-score lookup worked out independently: fractional position,
// 1-based grid coordinate wrapped by fmod, and the 4-D spline of the cache
// read through the numerics interpolation (on a copy of the coefficients).
struct Lookup {
	farray::FArray4D< double > coeffs;
	FastDensityCache cache;
	explicit Lookup( FastDensityScore const& m ) : coeffs( m.fastCache()->coeffs ), cache( *m.fastCache() ) {}
	void position( FastDensityScore const& m, double const* x, double* u ) const
	{
		double f[ 3 ];
		m.cartToFrac( x, f );
		for ( int a = 0; a < 3; ++a ) {
			u[ a ] = std::fmod( f[ a ] * cache.grid[ a ] - cache.origin[ a ] + 1.0, double( cache.grid[ a ] ) );
			if ( u[ a ] < 0.0 ) u[ a ] += cache.grid[ a ];
		}
	}
	double value( FastDensityScore const& m, double const* x, double bin )
	{
		double u[ 3 ];
		position( m, x, u );
		return interp_spline( coeffs, bin, u );
	}
	// Bin coordinate of an element of width term s at the quarter B Bq.
	double bin( double s, double Bq ) const
	{
		if ( cache.nBins <= 1 ) return 1.0;
		double const b = ( M_PI * M_PI / ( s + Bq ) - cache.kmin ) / cache.kstep + 1.0;
		return std::min( double( cache.nBins ), std::max( b, 1.0 ) );
	}
};

} // namespace fast_periph

#endif
