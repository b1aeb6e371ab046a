// Independent answers for the rotational-correlation tests: Wigner-d
// functions from their closed factorial sum, spherical harmonics from the
// standard library's associated Legendre functions, random real band-limited
// coefficient sets, Gaussian shells and small rotation helpers.
#ifndef INCLUDED_sht_tests_sht_reference_hh
#define INCLUDED_sht_tests_sht_reference_hh

#include "sht/SHT.hh"

#include <array>
#include <cmath>
#include <complex>
#include <random>
#include <vector>

namespace sht_reference {

typedef std::complex< double > cpx;
typedef std::array< double, 3 > Vec3;
typedef std::array< std::array< double, 3 >, 3 > Mat3;

double const pi = 3.14159265358979323846;

inline double factorial( int n )
{
	double f = 1.0;
	for ( int i = 2; i <= n; ++i ) f *= i;
	return f;
}

// d^l_{m1 m2}(beta) by the closed sum (first index the row), L2-normalised:
// sqrt((2l+1)/2) times the unit-sphere convention.
inline double wigner_d( int l, int m1, int m2, double beta )
{
	double const c = std::cos( beta / 2.0 ), s = std::sin( beta / 2.0 );
	double const pre = std::sqrt( factorial( l + m1 ) * factorial( l - m1 ) * factorial( l + m2 ) * factorial( l - m2 ) );
	double sum = 0.0;
	for ( int k = 0; k <= 2 * l; ++k ) {
		int const a = l + m2 - k, b = m1 - m2 + k, d = l - m1 - k;
		if ( a < 0 || b < 0 || d < 0 ) continue;
		double const sign = ( ( m1 - m2 + k ) % 2 == 0 ) ? 1.0 : -1.0;
		sum += sign * std::pow( c, 2 * l + m2 - m1 - 2 * k ) * std::pow( s, m1 - m2 + 2 * k )
			/ ( factorial( a ) * factorial( k ) * factorial( b ) * factorial( d ) );
	}
	return std::sqrt( ( 2.0 * l + 1.0 ) / 2.0 ) * pre * sum;
}

// Y_lm(theta, phi) with the Condon-Shortley phase, unit norm on the sphere.
inline cpx ylm( int l, int m, double theta, double phi )
{
	int const a = std::abs( m );
	double const norm = std::sqrt( ( 2.0 * l + 1.0 ) / ( 4.0 * pi ) * factorial( l - a ) / factorial( l + a ) );
	// std::assoc_legendre leaves out the (-1)^m phase.
	double const p = ( a % 2 == 0 ? 1.0 : -1.0 ) * norm * std::assoc_legendre( l, a, std::cos( theta ) );
	cpx const y = p * std::exp( cpx( 0.0, a * phi ) );
	if ( m >= 0 ) return y;
	return ( a % 2 == 0 ? 1.0 : -1.0 ) * std::conj( y );
}

// Random coefficients (B^2 values each, lm_index order) of a real function of
// bandwidth B: f(l, -m) = (-1)^m conj(f(l, m)), f(l, 0) real.
inline void random_real_coefficients( SO3coeffs const & w, std::mt19937 & rng, SHT::Table & re, SHT::Table & im )
{
	int const B = w.bandwidth();
	std::uniform_real_distribution< double > u( -1.0, 1.0 );
	re.assign( B * B, 0.0 );
	im.assign( B * B, 0.0 );
	for ( int m = 0; m < B; ++m ) {
		for ( int l = m; l < B; ++l ) {
			re[ w.lm_index( m, l ) ] = u( rng );
			im[ w.lm_index( m, l ) ] = ( m == 0 ) ? 0.0 : u( rng );
		}
	}
	for ( int m = 1; m < B; ++m ) {
		double const s = ( m % 2 == 0 ) ? 1.0 : -1.0;
		for ( int l = m; l < B; ++l ) {
			re[ w.lm_index( -m, l ) ] = s * re[ w.lm_index( m, l ) ];
			im[ w.lm_index( -m, l ) ] = -s * im[ w.lm_index( m, l ) ];
		}
	}
}

// The function of such coefficients at (theta, phi), term by term.
inline double evaluate( SO3coeffs const & w, SHT::Table const & re, SHT::Table const & im, double theta, double phi )
{
	int const B = w.bandwidth();
	cpx sum = 0.0;
	for ( int l = 0; l < B; ++l ) {
		for ( int m = -l; m <= l; ++m ) {
			int const i = w.lm_index( m, l );
			sum += cpx( re[ i ], im[ i ] ) * ylm( l, m, theta, phi );
		}
	}
	return sum.real();
}

inline double colatitude( int B, int j )
{
	return ( 2 * j + 1 ) * pi / ( 4.0 * B );
}

inline double longitude( int B, int k )
{
	return k * pi / B;
}

inline Vec3 direction( double theta, double phi )
{
	return Vec3{ { std::sin( theta ) * std::cos( phi ), std::sin( theta ) * std::sin( phi ), std::cos( theta ) } };
}

// Sum of isotropic Gaussians of width sigma at the centres, sampled on nR
// shells of radii 1 .. nR: the grid (2B, 2B, nR) of the transform.
inline void gaussian_shells( int B, int nR, std::vector< Vec3 > const & centres, double sigma, SHT::RealGrid & g )
{
	int const n = 2 * B;
	farray::DynamicIndexRange const IN( n ), IR( nR );
	g.dimension( IN, IN, IR );
	for ( int r = 1; r <= nR; ++r ) {
		for ( int j = 0; j < n; ++j ) {
			for ( int k = 0; k < n; ++k ) {
				Vec3 const u = direction( colatitude( B, j ), longitude( B, k ) );
				double v = 0.0;
				for ( Vec3 const & p : centres ) {
					double d2 = 0.0;
					for ( int c = 0; c < 3; ++c ) d2 += ( r * u[ c ] - p[ c ] ) * ( r * u[ c ] - p[ c ] );
					v += std::exp( -d2 / ( 2.0 * sigma * sigma ) );
				}
				g( k + 1, j + 1, r ) = v;
			}
		}
	}
}

inline Mat3 rot_z( double a )
{
	double const c = std::cos( a ), s = std::sin( a );
	return Mat3{ { { { c, -s, 0.0 } }, { { s, c, 0.0 } }, { { 0.0, 0.0, 1.0 } } } };
}

inline Mat3 rot_x( double a )
{
	double const c = std::cos( a ), s = std::sin( a );
	return Mat3{ { { { 1.0, 0.0, 0.0 } }, { { 0.0, c, -s } }, { { 0.0, s, c } } } };
}

inline Mat3 mul( Mat3 const & a, Mat3 const & b )
{
	Mat3 c{};
	for ( int i = 0; i < 3; ++i )
		for ( int j = 0; j < 3; ++j )
			for ( int k = 0; k < 3; ++k ) c[ i ][ j ] += a[ i ][ k ] * b[ k ][ j ];
	return c;
}

inline Mat3 transpose( Mat3 const & a )
{
	Mat3 t{};
	for ( int i = 0; i < 3; ++i )
		for ( int j = 0; j < 3; ++j ) t[ i ][ j ] = a[ j ][ i ];
	return t;
}

inline Vec3 rotate_vec( Mat3 const & a, Vec3 const & v )
{
	Vec3 r{};
	for ( int i = 0; i < 3; ++i )
		for ( int j = 0; j < 3; ++j ) r[ i ] += a[ i ][ j ] * v[ j ];
	return r;
}

// Angle of the rotation that carries a onto b.
inline double rotation_angle_between( Mat3 const & a, Mat3 const & b )
{
	Mat3 const d = mul( transpose( a ), b );
	double const c = ( d[ 0 ][ 0 ] + d[ 1 ][ 1 ] + d[ 2 ][ 2 ] - 1.0 ) / 2.0;
	return std::acos( std::max( -1.0, std::min( 1.0, c ) ) );
}

// The rotation matrix idx_to_rot gives for a grid index.
inline Mat3 grid_rotation( SHT const & sht, int index )
{
	Mat3 m{};
	double * rows[ 3 ] = { m[ 0 ].data(), m[ 1 ].data(), m[ 2 ].data() };
	sht.idx_to_rot( index, rows );
	return m;
}

} // namespace sht_reference

#endif
