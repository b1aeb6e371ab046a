#include "transforms/RigidBodyMath.hh"

#include "core/basic_fun_Quilt.hh"

#include <cmath>
#include <iostream>

namespace {

double const kTwoPi = 6.283185307179586;

} // namespace

void RigidMove::drawRotation( double angleMax )
{
	double const z = 1.0 - 2.0 * Random();
	double const r = std::sqrt( 1.0 - z * z );
	double const phi = kTwoPi * Random();
	double const k[ 3 ] = { r * std::cos( phi ), r * std::sin( phi ), z };
	double const theta = ( 2.0 * Random() - 1.0 ) * angleMax;
	setRotation( k, theta );
}

void RigidMove::drawTranslation( double transMax )
{
	for ( int i = 0; i < 3; ++i ) t[ i ] = ( 2.0 * Random() - 1.0 ) * transMax;
}

void RigidMove::setRotation( double const k[ 3 ], double theta )
{
	double const kx = k[ 0 ], ky = k[ 1 ], kz = k[ 2 ];
	if ( kx == 0.0 && ky == 0.0 && kz == 0.0 ) {
		// The textbook formula would give cos(theta) times the identity, a
		// shrinking of the piece rather than a rotation.
		for ( int i = 0; i < 3; ++i )
			for ( int j = 0; j < 3; ++j ) R[ i ][ j ] = i == j ? 1.0 : 0.0;
		return;
	}
	double const co = std::cos( theta ), si = std::sin( theta ), ve = 1.0 - co;
	R[ 0 ][ 0 ] = kx * kx * ve + co;
	R[ 0 ][ 1 ] = kx * ky * ve - kz * si;
	R[ 0 ][ 2 ] = kx * kz * ve + ky * si;
	R[ 1 ][ 0 ] = kx * ky * ve + kz * si;
	R[ 1 ][ 1 ] = ky * ky * ve + co;
	R[ 1 ][ 2 ] = ky * kz * ve - kx * si;
	R[ 2 ][ 0 ] = kx * kz * ve - ky * si;
	R[ 2 ][ 1 ] = ky * kz * ve + kx * si;
	R[ 2 ][ 2 ] = kz * kz * ve + co;
}

void RigidMove::apply( double const* p, double const* c, double* out ) const
{
	double const d[ 3 ] = { p[ 0 ] - c[ 0 ], p[ 1 ] - c[ 1 ], p[ 2 ] - c[ 2 ] };
	double r[ 3 ];
	for ( int i = 0; i < 3; ++i ) r[ i ] = t[ i ] + c[ i ] + ( R[ i ][ 0 ] * d[ 0 ] + R[ i ][ 1 ] * d[ 1 ] + R[ i ][ 2 ] * d[ 2 ] );
	out[ 0 ] = r[ 0 ];
	out[ 1 ] = r[ 1 ];
	out[ 2 ] = r[ 2 ];
}

bool junction_shift( double const* fixed, double const* moving, double shift[ 3 ], char const* what )
{
	double const d[ 3 ] = { fixed[ 0 ] - moving[ 0 ], fixed[ 1 ] - moving[ 1 ], fixed[ 2 ] - moving[ 2 ] };
	double const len = std::sqrt( d[ 0 ] * d[ 0 ] + d[ 1 ] * d[ 1 ] + d[ 2 ] * d[ 2 ] );
	if ( !( len > 0.0 ) || !std::isfinite( len ) ) {
		shift[ 0 ] = shift[ 1 ] = shift[ 2 ] = 0.0;
		std::cout << "Warning! " << what << ": the two junction residues coincide, so there is no direction "
		          << "to close the gap along; the piece is left where it is." << std::endl;
		return false;
	}
	double const f = 1.0 - kJunctionLength / len;
	for ( int i = 0; i < 3; ++i ) shift[ i ] = d[ i ] * f;
	return true;
}

void refresh_distances( std::vector< double* > const& points, double** xyz, std::vector< int > const& rows,
	double** dist )
{
	for ( std::size_t m = 0; m < points.size(); ++m ) {
		double const* p = points[ m ];
		for ( int r : rows ) {
			double const dx = p[ 0 ] - xyz[ r ][ 0 ], dy = p[ 1 ] - xyz[ r ][ 1 ], dz = p[ 2 ] - xyz[ r ][ 2 ];
			dist[ m ][ r ] = std::sqrt( dx * dx + dy * dy + dz * dz );
		}
	}
}
