// Rasterseek: near-uniform orientation sets (a Hopf-style product of sphere
// directions and turns about them).
#include "apps/siblings/rasterseek_rotations.hh"

#include <algorithm>
#include <cmath>

namespace rasterseek {

namespace {

Rotation about_z( double a )
{
	double const c = std::cos( a ), s = std::sin( a );
	return Rotation{ { { c, -s, 0.0 }, { s, c, 0.0 }, { 0.0, 0.0, 1.0 } } };
}

Rotation about_y( double a )
{
	double const c = std::cos( a ), s = std::sin( a );
	return Rotation{ { { c, 0.0, s }, { 0.0, 1.0, 0.0 }, { -s, 0.0, c } } };
}

} // namespace

Rotation compose( Rotation const& a, Rotation const& b )
{
	Rotation r;
	for ( int i = 0; i < 3; ++i )
		for ( int j = 0; j < 3; ++j ) r.m[ i ][ j ] = a.m[ i ][ 0 ] * b.m[ 0 ][ j ] + a.m[ i ][ 1 ] * b.m[ 1 ][ j ] + a.m[ i ][ 2 ] * b.m[ 2 ][ j ];
	return r;
}

Rotation axis_angle( double const axis[ 3 ], double angle )
{
	double const c = std::cos( angle ), s = std::sin( angle ), t = 1.0 - c;
	double const x = axis[ 0 ], y = axis[ 1 ], z = axis[ 2 ];
	return Rotation{ { { t * x * x + c, t * x * y - s * z, t * x * z + s * y },
		{ t * x * y + s * z, t * y * y + c, t * y * z - s * x }, { t * x * z - s * y, t * y * z + s * x, t * z * z + c } } };
}

double rotation_angle( Rotation const& a, Rotation const& b )
{
	// trace(a^T b) = 1 + 2 cos(angle)
	double tr = 0.0;
	for ( int i = 0; i < 3; ++i )
		for ( int k = 0; k < 3; ++k ) tr += a.m[ k ][ i ] * b.m[ k ][ i ];
	double const c = std::max( -1.0, std::min( 1.0, 0.5 * ( tr - 1.0 ) ) );
	return std::acos( c );
}

namespace {

// Solid angle per direction about step^2, turn spacing about step.
void set_shape( double stepDegrees, long& nDir, long& nTurn )
{
	double const step = stepDegrees * M_PI / 180.0;
	nDir = std::max( 1L, std::lround( 4.0 * M_PI / ( step * step ) ) );
	nTurn = std::max( 1L, std::lround( 2.0 * M_PI / step ) );
}

} // namespace

long rotation_count( double stepDegrees )
{
	long nDir, nTurn;
	set_shape( stepDegrees, nDir, nTurn );
	return nDir * nTurn;
}

std::vector< Rotation > rotation_set( double stepDegrees )
{
	long nDir, nTurn;
	set_shape( stepDegrees, nDir, nTurn );
	double const turn = 2.0 * M_PI / nTurn;
	double const goldenAngle = M_PI * ( 3.0 - std::sqrt( 5.0 ) );
	double const goldenFraction = 0.5 * ( std::sqrt( 5.0 ) - 1.0 );
	std::vector< Rotation > out;
	out.reserve( std::size_t( nDir ) * nTurn );
	for ( long i = 0; i < nDir; ++i ) {
		// Fibonacci sphere: equal-area bands in z, golden-angle azimuths.
		double const z = 1.0 - ( 2.0 * i + 1.0 ) / nDir;
		double const polar = std::acos( std::max( -1.0, std::min( 1.0, z ) ) );
		double const azimuth = i * goldenAngle;
		Rotation const tilt = compose( about_z( azimuth ), about_y( polar ) );
		// Offsetting the turns of each direction by a quasi-random fraction of
		// a step keeps neighbouring directions from repeating one phase.
		double const phase = std::fmod( i * goldenFraction, 1.0 );
		for ( long j = 0; j < nTurn; ++j ) out.push_back( compose( tilt, about_z( ( j + phase ) * turn ) ) );
	}
	return out;
}

} // namespace rasterseek
