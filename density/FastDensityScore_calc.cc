// FastDensityScore: density calculated from atoms on the map's grid, the
// reciprocal metric and the Fourier shell correlation report.
#include "density/FastDensityScore.hh"

#include "density/FastDensityScore_internal.hh"
#include "farray/DynamicIndexRange.hh"
#include "numerics/fft3d.hh"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iostream>

using namespace fds_detail;
using farray::DynamicIndexRange;
using farray::FArray3D;

namespace {

// B term of the calculated density: B itself, softened below 1 and capped
// smoothly at the ceiling U.
double effective_B( double B, double U )
{
	if ( B < 0.0 ) return 0.0;
	if ( B < 1.0 ) return B * B;
	if ( B <= U - 10.0 ) return B;
	if ( B <= U ) return U - 0.1 * ( U - B ) * ( U - B );
	return U;
}

// Signed frequency of a 1-based index on an axis of n points.
inline int wrapped_frequency( int i, int n ) { return ( 2 * ( i - 1 ) <= n ) ? i - 1 : i - 1 - n; }

} // namespace

void FastDensityScore::calcRhoC( std::vector< poseCoord > const& atoms, farray::FArray3D< double >& rhoC,
	farray::FArray3D< double >& mask )
{
	calcRhoC( atoms, 0.0, rhoC, mask, 0.0, 600.0, 0.0 );
}

void FastDensityScore::calcRhoC( std::vector< poseCoord > const& atoms, double resolution,
	farray::FArray3D< double >& rhoC, farray::FArray3D< double >& mask, double forcedB, double Bmax,
	double forcedMaskRadius )
{
	FArray3D< double > const& dens = *density_;
	int const ext[ 3 ] = { dens.u1(), dens.u2(), dens.u3() };
	rhoC.dimension( DynamicIndexRange( ext[ 0 ] ), DynamicIndexRange( ext[ 1 ] ), DynamicIndexRange( ext[ 2 ] ) );
	mask.dimension( DynamicIndexRange( ext[ 0 ] ), DynamicIndexRange( ext[ 1 ] ), DynamicIndexRange( ext[ 2 ] ) );
	long const nv = long( ext[ 0 ] ) * ext[ 1 ] * ext[ 2 ];
	if ( nv <= 0 ) return;
	for ( long v = 0; v < nv; ++v ) {
		rhoC[ v ] = 0.0;
		mask[ v ] = 0.0;
	}

	bool const hasB = pose_has_nonzero_Bs( atoms );
	if ( !hasB && !quiet ) std::cout << "Input pose has no nonzero B factors, set them to baseline" << std::endl;
	double const kLimit = 4.0 * kPi2 / ( hasB ? minMult : effB );

	double col[ 3 ][ 3 ];
	for ( int a = 0; a < 3; ++a )
		for ( int j = 0; j < 3; ++j ) col[ a ][ j ] = f2c[ j ][ a ];

	for ( poseCoord const& atom : atoms ) {
		OneGaussianScattering const sc = get_A( atom.elt.substr( 0, 1 ) );
		double k = kPi2 / ( sc.s + effective_B( atom.B, Bmax ) / 4.0 );
		k = std::min( k, kLimit );
		double const A = sc.a * std::pow( k, 1.5 );
		if ( A < 1e-6 ) continue;
		double const dmax2 = ( std::log( A ) + kLn1e4 ) / k;
		double r2 = dmax2;
		if ( forcedB > 0.0 ) {
			double const kf = kPi2 / ( sc.s + effective_B( forcedB, Bmax ) / 4.0 );
			double const Af = sc.a * std::pow( kf, 1.5 );
			r2 = ( std::log( Af ) + kLn1e4 ) / kf;
		}
		if ( forcedMaskRadius > 0.0 ) r2 = forcedMaskRadius * forcedMaskRadius;

		double const x[ 3 ] = { atom.x, atom.y, atom.z };
		double f[ 3 ], g[ 3 ];
		cartToFrac( x, f );
		bool inside = true;
		for ( int a = 0; a < 3; ++a ) {
			g[ a ] = f[ a ] * grid[ a ] - originGrid[ a ] + 1.0;
			if ( g[ a ] < 1.0 || g[ a ] > grid[ a ] ) inside = false;
		}
		if ( !inside ) continue; // no wrapping into the cell here

		// Index range per axis that can lie within the larger cut-off.
		double const rmax = std::sqrt( std::max( r2, dmax2 ) );
		int lo[ 3 ], hi[ 3 ];
		for ( int a = 0; a < 3; ++a ) {
			double rowNorm = std::sqrt( c2f[ a ][ 0 ] * c2f[ a ][ 0 ] + c2f[ a ][ 1 ] * c2f[ a ][ 1 ] + c2f[ a ][ 2 ] * c2f[ a ][ 2 ] );
			double const h = rmax * rowNorm * grid[ a ] + 1.0;
			lo[ a ] = std::max( 1, int( std::floor( g[ a ] - h ) ) );
			hi[ a ] = std::min( ext[ a ], int( std::ceil( g[ a ] + h ) ) );
		}
		for ( int z = lo[ 2 ]; z <= hi[ 2 ]; ++z ) {
			double const dz = ( g[ 2 ] - z ) / grid[ 2 ];
			double const oz[ 3 ] = { dz * col[ 2 ][ 0 ], dz * col[ 2 ][ 1 ], dz * col[ 2 ][ 2 ] };
			if ( oz[ 2 ] * oz[ 2 ] > r2 ) continue; // distance to the plane
			for ( int y = lo[ 1 ]; y <= hi[ 1 ]; ++y ) {
				double const dy = ( g[ 1 ] - y ) / grid[ 1 ];
				double const oy[ 3 ] = { oz[ 0 ] + dy * col[ 1 ][ 0 ], oz[ 1 ] + dy * col[ 1 ][ 1 ], oz[ 2 ] + dy * col[ 1 ][ 2 ] };
				if ( oy[ 1 ] * oy[ 1 ] + oy[ 2 ] * oy[ 2 ] > r2 ) continue; // distance to the row
				for ( int xx = lo[ 0 ]; xx <= hi[ 0 ]; ++xx ) {
					double const dx = ( g[ 0 ] - xx ) / grid[ 0 ];
					double const o[ 3 ] = { oy[ 0 ] + dx * col[ 0 ][ 0 ], oy[ 1 ] + dx * col[ 0 ][ 1 ], oy[ 2 ] + dx * col[ 0 ][ 2 ] };
					double const d2 = o[ 0 ] * o[ 0 ] + o[ 1 ] * o[ 1 ] + o[ 2 ] * o[ 2 ];
					if ( d2 > r2 ) continue;
					mask( xx, y, z ) = 1.0;
					if ( d2 <= dmax2 ) rhoC( xx, y, z ) += A * std::exp( -k * d2 );
				}
			}
		}
	}

	if ( resolution == 0.0 ) return;
	// Smooth the mask by a Gaussian of the given resolution in reciprocal space.
	farray::FArray3D< std::complex< double > > F;
	fft3( mask, F );
	// The frequency along x pairs with a*, along y with b*, along z with c*.
	for ( int z = 1; z <= ext[ 2 ]; ++z ) {
		int const fz = wrapped_frequency( z, grid[ 2 ] );
		for ( int y = 1; y <= ext[ 1 ]; ++y ) {
			int const fy = wrapped_frequency( y, grid[ 1 ] );
			for ( int x = 1; x <= ext[ 0 ]; ++x ) {
				int const fx = wrapped_frequency( x, grid[ 0 ] );
				F( x, y, z ) *= std::exp( -S2( fx, fy, fz ) * resolution * resolution );
			}
		}
	}
	ifft3( F, mask );
}

double FastDensityScore::S2( int h, int k, int l ) const
{
	float const r0 = rcellDimensions[ 0 ], r1 = rcellDimensions[ 1 ], r2 = rcellDimensions[ 2 ];
	float const r3 = cosRcellAngles[ 0 ], r4 = cosRcellAngles[ 1 ], r5 = cosRcellAngles[ 2 ];
	float const fh = float( h ), fk = float( k ), fl = float( l );
	float const s = fh * fh * r0 * r0 + fk * fk * r1 * r1 + fl * fl * r2 * r2 + 2.0f * fk * fl * r1 * r2 * r3
	                + 2.0f * fh * fl * r0 * r2 * r4 + 2.0f * fh * fk * r0 * r1 * r5;
	return double( s );
}
