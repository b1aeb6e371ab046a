// FastDensityScore: real-space correlation of one residue, in a small box
// around the residue and the backbone of its sequence neighbours.
#include "density/FastDensityScore.hh"

#include "density/FastDensityScore_internal.hh"

#include <algorithm>
#include <cmath>
#include <vector>

using namespace fds_detail;

double FastDensityScore::getRSCC_Res( int residue, Model xyz, AtomNames names )
{
	return getRSCC_Res( residue, 8, xyz, names, false );
}

double FastDensityScore::getRSCC_Res( int residue, int window, Model xyz, AtomNames names, bool )
{
	int const nres = int( xyz.size() );
	if ( residue < 0 || residue >= nres ) return 0.0;
	int const h = window / 2;
	int const first = std::max( 0, residue - h ), last = std::min( residue + h, nres - 1 );

	struct Atom {
		double const* p;
		OneGaussianScattering g;
	};
	std::vector< Atom > atoms;
	auto add = [ & ]( int r, std::size_t count ) {
		for ( std::size_t a = 0; a < count && a < xyz[ r ].size(); ++a ) {
			std::string e = ( std::size_t( r ) < names.size() && a < names[ r ].size() ) ? names[ r ][ a ].substr( 0, 1 ) : "";
			atoms.push_back( { xyz[ r ][ a ], get_A( e ) } );
		}
	};
	add( residue, xyz[ residue ].size() );
	for ( int r = first; r <= last; ++r ) {
		if ( r == residue ) continue;
		std::size_t const na = xyz[ r ].size();
		add( r, na >= 5 ? 4 : ( na > 0 ? na - 1 : 0 ) );
	}
	// No atom, nothing to correlate.
	if ( atoms.empty() ) return 0.0;

	farray::FArray3D< double > const& dens = density();
	int const ext[ 3 ] = { dens.u1(), dens.u2(), dens.u3() };
	if ( ext[ 0 ] <= 0 || grid[ 0 ] <= 0 || grid[ 1 ] <= 0 || grid[ 2 ] <= 0 ) return 0.0;

	double const mbox = atomMask + 2.0 * maskPadding;
	double const R = atomMask + maskPadding, R2 = R * R, mask2 = atomMask * atomMask;
	std::vector< double > gpos( 3 * atoms.size() );
	double mn[ 3 ] = { 1e37, 1e37, 1e37 }, mx[ 3 ] = { -1e37, -1e37, -1e37 };
	for ( std::size_t i = 0; i < atoms.size(); ++i ) {
		double f[ 3 ];
		cartToFrac( atoms[ i ].p, f );
		for ( int a = 0; a < 3; ++a ) gpos[ 3 * i + a ] = f[ a ] * grid[ a ] - originGrid[ a ] + 1.0;
		double lo[ 3 ], hi[ 3 ], flo[ 3 ], fhi[ 3 ];
		for ( int a = 0; a < 3; ++a ) {
			lo[ a ] = atoms[ i ].p[ a ] - mbox;
			hi[ a ] = atoms[ i ].p[ a ] + mbox;
		}
		cartToFrac( lo, flo );
		cartToFrac( hi, fhi );
		for ( int a = 0; a < 3; ++a ) {
			mn[ a ] = std::min( mn[ a ], flo[ a ] * grid[ a ] - originGrid[ a ] + 1.0 );
			mx[ a ] = std::max( mx[ a ], fhi[ a ] * grid[ a ] - originGrid[ a ] + 1.0 );
		}
	}
	int lo[ 3 ], n[ 3 ];
	for ( int a = 0; a < 3; ++a ) {
		lo[ a ] = int( std::floor( mn[ a ] ) ) - 1;
		n[ a ] = std::max( 0, int( std::ceil( mx[ a ] ) ) - lo[ a ] );
	}
	std::size_t const nbox = std::size_t( n[ 0 ] ) * n[ 1 ] * n[ 2 ];
	if ( nbox == 0 ) return 0.0;
	std::vector< double > obs( nbox, 0.0 ), calc( nbox, 0.0 ), inv( nbox, 1.0 );
	auto wrapIndex = [ & ]( int t, int a ) {
		int v = ( ( t + lo[ a ] - 1 ) % grid[ a ] + grid[ a ] ) % grid[ a ] + 1;
		return v;
	};
	auto minImage = [ & ]( double d ) {
		if ( d > 0.5 ) d -= 1.0;
		if ( d < -0.5 ) d += 1.0;
		return d;
	};
	double col[ 3 ][ 3 ];
	for ( int a = 0; a < 3; ++a )
		for ( int j = 0; j < 3; ++j ) col[ a ][ j ] = f2c[ j ][ a ];

	for ( std::size_t i = 0; i < atoms.size(); ++i ) {
		double const k = atoms[ i ].g.k( effB, 600.0 );
		double const A = atoms[ i ].g.a * std::pow( k, 1.5 );
		double const* g = &gpos[ 3 * i ];
		for ( int tz = 1; tz <= n[ 2 ]; ++tz ) {
			double const dz = minImage( ( ( g[ 2 ] - lo[ 2 ] ) - tz ) / grid[ 2 ] );
			double const oz[ 3 ] = { dz * col[ 2 ][ 0 ], dz * col[ 2 ][ 1 ], dz * col[ 2 ][ 2 ] };
			if ( oz[ 2 ] * oz[ 2 ] > R2 ) continue; // distance to the plane
			int const zz = wrapIndex( tz, 2 );
			if ( zz > ext[ 2 ] ) continue;
			for ( int ty = 1; ty <= n[ 1 ]; ++ty ) {
				double const dy = minImage( ( ( g[ 1 ] - lo[ 1 ] ) - ty ) / grid[ 1 ] );
				double const oy[ 3 ] = { oz[ 0 ] + dy * col[ 1 ][ 0 ], oz[ 1 ] + dy * col[ 1 ][ 1 ], oz[ 2 ] + dy * col[ 1 ][ 2 ] };
				if ( oy[ 1 ] * oy[ 1 ] + oy[ 2 ] * oy[ 2 ] > R2 ) continue; // distance to the row
				int const yy = wrapIndex( ty, 1 );
				if ( yy > ext[ 1 ] ) continue;
				for ( int tx = 1; tx <= n[ 0 ]; ++tx ) {
					double const dx = minImage( ( ( g[ 0 ] - lo[ 0 ] ) - tx ) / grid[ 0 ] );
					int const xx = wrapIndex( tx, 0 );
					if ( xx > ext[ 0 ] ) continue;
					double const o[ 3 ] = { oy[ 0 ] + dx * col[ 0 ][ 0 ], oy[ 1 ] + dx * col[ 0 ][ 1 ], oy[ 2 ] + dx * col[ 0 ][ 2 ] };
					double const d2 = o[ 0 ] * o[ 0 ] + o[ 1 ] * o[ 1 ] + o[ 2 ] * o[ 2 ];
					if ( d2 > R2 ) continue;
					std::size_t const b = ( std::size_t( tz - 1 ) * n[ 1 ] + ( ty - 1 ) ) * n[ 0 ] + ( tx - 1 );
					obs[ b ] = dens( xx, yy, zz );
					calc[ b ] += A * std::exp( -k * d2 );
					inv[ b ] *= 1.0 - 1.0 / ( 1.0 + std::exp( d2 - mask2 ) );
				}
			}
		}
	}
	WeightedSums sums;
	for ( std::size_t b = 0; b < nbox; ++b ) sums.add( 1.0 - inv[ b ], obs[ b ], calc[ b ] );
	return sums.correlation();
}
