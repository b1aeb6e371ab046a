// Test helpers for the alignment tests: protein-like CA traces built from
// internal coordinates (3.8 A links; helix, strand and loop angles), rigid
// moves, noise, and an independent least-squares superposition (Horn's
// quaternion method with a Jacobi eigen-solver) to check results against.
#ifndef QUILT_ALIGNMENT_TESTS_CA_TRACE_MAKER_HH
#define QUILT_ALIGNMENT_TESTS_CA_TRACE_MAKER_HH

#include <array>
#include <cmath>
#include <random>
#include <vector>

namespace align_test {

using Vec = std::array< double, 3 >;
using Trace = std::vector< Vec >;
using Mat = std::array< std::array< double, 3 >, 3 >;

inline Vec sub( Vec const& a, Vec const& b ) { return { a[ 0 ] - b[ 0 ], a[ 1 ] - b[ 1 ], a[ 2 ] - b[ 2 ] }; }
inline Vec cross( Vec const& a, Vec const& b )
{
	return { a[ 1 ] * b[ 2 ] - a[ 2 ] * b[ 1 ], a[ 2 ] * b[ 0 ] - a[ 0 ] * b[ 2 ], a[ 0 ] * b[ 1 ] - a[ 1 ] * b[ 0 ] };
}
inline double norm( Vec const& a ) { return std::sqrt( a[ 0 ] * a[ 0 ] + a[ 1 ] * a[ 1 ] + a[ 2 ] * a[ 2 ] ); }
inline Vec unit( Vec const& a )
{
	double const n = norm( a );
	return { a[ 0 ] / n, a[ 1 ] / n, a[ 2 ] / n };
}

// Places the next point at bond length b from c, angle theta (b-c-next) and
// torsion tau (a-b-c-next), angles in degrees.
inline Vec place( Vec const& a, Vec const& b, Vec const& c, double bond, double theta, double tau )
{
	double const th = theta * M_PI / 180.0, ta = tau * M_PI / 180.0;
	Vec const bc = unit( sub( c, b ) );
	Vec const n = unit( cross( sub( b, a ), bc ) );
	Vec const m = cross( n, bc );
	double const d0 = -bond * std::cos( th );
	double const d1 = bond * std::sin( th ) * std::cos( ta );
	double const d2 = bond * std::sin( th ) * std::sin( ta );
	Vec out;
	for ( int i = 0; i < 3; ++i ) out[ i ] = c[ i ] + d0 * bc[ i ] + d1 * m[ i ] + d2 * n[ i ];
	return out;
}

// A compact-ish protein-like CA trace: helices (theta 91, tau 50), strands
// (theta 120, tau -170) and loops with random angles, repeatable by seed.
inline Trace make_trace( int n, unsigned seed )
{
	std::mt19937 gen( seed );
	std::uniform_real_distribution< double > uni( 0.0, 1.0 );
	Trace tr;
	if ( n <= 0 ) return tr;
	tr.push_back( { 0.0, 0.0, 0.0 } );
	if ( n > 1 ) tr.push_back( { 3.8, 0.0, 0.0 } );
	if ( n > 2 ) tr.push_back( { 3.8 + 3.8 * std::cos( 1.2 ), 3.8 * std::sin( 1.2 ), 0.0 } );
	int kind = 0, left = 0;
	while ( static_cast< int >( tr.size() ) < n ) {
		if ( left == 0 ) {
			double const r = uni( gen );
			kind = r < 0.45 ? 0 : ( r < 0.7 ? 1 : 2 );  // helix, strand, loop
			left = kind == 0 ? 8 + static_cast< int >( uni( gen ) * 12 )
			                 : ( kind == 1 ? 5 + static_cast< int >( uni( gen ) * 5 )
			                               : 3 + static_cast< int >( uni( gen ) * 5 ) );
		}
		double theta, tau;
		if ( kind == 0 ) {
			theta = 91.0;
			tau = 50.0;
		} else if ( kind == 1 ) {
			theta = 120.0;
			tau = -170.0;
		} else {
			theta = 85.0 + 50.0 * uni( gen );
			tau = -180.0 + 360.0 * uni( gen );
		}
		std::size_t const s = tr.size();
		tr.push_back( place( tr[ s - 3 ], tr[ s - 2 ], tr[ s - 1 ], 3.8, theta, tau ) );
		--left;
	}
	return tr;
}

// Rotation about a unit axis by angle (radians), as a matrix acting on columns.
inline Mat axis_rotation( Vec axis, double angle )
{
	axis = unit( axis );
	double const c = std::cos( angle ), s = std::sin( angle ), C = 1.0 - c;
	double const x = axis[ 0 ], y = axis[ 1 ], z = axis[ 2 ];
	Mat R;
	R[ 0 ] = { c + x * x * C, x * y * C - z * s, x * z * C + y * s };
	R[ 1 ] = { y * x * C + z * s, c + y * y * C, y * z * C - x * s };
	R[ 2 ] = { z * x * C - y * s, z * y * C + x * s, c + z * z * C };
	return R;
}

inline Trace moved( Trace const& tr, Mat const& R, Vec const& t )
{
	Trace out( tr.size() );
	for ( std::size_t k = 0; k < tr.size(); ++k ) {
		for ( int i = 0; i < 3; ++i ) {
			out[ k ][ i ] = R[ i ][ 0 ] * tr[ k ][ 0 ] + R[ i ][ 1 ] * tr[ k ][ 1 ] + R[ i ][ 2 ] * tr[ k ][ 2 ] + t[ i ];
		}
	}
	return out;
}

inline Trace noisy( Trace const& tr, double sigma, unsigned seed )
{
	std::mt19937 gen( seed );
	std::normal_distribution< double > g( 0.0, sigma );
	Trace out = tr;
	for ( auto& p : out ) {
		for ( int i = 0; i < 3; ++i ) p[ i ] += g( gen );
	}
	return out;
}

// A trace as a raw coordinate table (rows owned by the object).
struct RawTrace {
	std::vector< double > storage;
	std::vector< double* > rows;
	std::vector< int > resno;
	explicit RawTrace( Trace const& tr, int first_resno = 1 )
		: storage( 3 * tr.size() ), rows( tr.size() ), resno( tr.size() )
	{
		for ( std::size_t k = 0; k < tr.size(); ++k ) {
			rows[ k ] = &storage[ 3 * k ];
			for ( int i = 0; i < 3; ++i ) rows[ k ][ i ] = tr[ k ][ i ];
			resno[ k ] = first_resno + static_cast< int >( k );
		}
	}
	double** xyz() { return rows.empty() ? nullptr : rows.data(); }
	int* res() { return resno.empty() ? nullptr : resno.data(); }
	int size() const { return static_cast< int >( rows.size() ); }
};

// Eigen-decomposition of a symmetric 4x4 matrix by cyclic Jacobi rotations;
// returns the eigenvector of the largest eigenvalue and that eigenvalue.
inline double largest_eigen4( double A[4][4], double v_out[4] )
{
	double V[ 4 ][ 4 ] = { { 1, 0, 0, 0 }, { 0, 1, 0, 0 }, { 0, 0, 1, 0 }, { 0, 0, 0, 1 } };
	for ( int sweep = 0; sweep < 100; ++sweep ) {
		double off = 0.0;
		for ( int p = 0; p < 4; ++p )
			for ( int q = p + 1; q < 4; ++q ) off += A[ p ][ q ] * A[ p ][ q ];
		if ( off < 1e-30 ) break;
		for ( int p = 0; p < 4; ++p ) {
			for ( int q = p + 1; q < 4; ++q ) {
				if ( std::fabs( A[ p ][ q ] ) < 1e-300 ) continue;
				double const theta = ( A[ q ][ q ] - A[ p ][ p ] ) / ( 2.0 * A[ p ][ q ] );
				double const tt = ( theta >= 0 ? 1.0 : -1.0 ) / ( std::fabs( theta ) + std::sqrt( theta * theta + 1.0 ) );
				double const c = 1.0 / std::sqrt( tt * tt + 1.0 ), s = tt * c;
				for ( int k = 0; k < 4; ++k ) {
					double const akp = A[ k ][ p ], akq = A[ k ][ q ];
					A[ k ][ p ] = c * akp - s * akq;
					A[ k ][ q ] = s * akp + c * akq;
				}
				for ( int k = 0; k < 4; ++k ) {
					double const apk = A[ p ][ k ], aqk = A[ q ][ k ];
					A[ p ][ k ] = c * apk - s * aqk;
					A[ q ][ k ] = s * apk + c * aqk;
				}
				for ( int k = 0; k < 4; ++k ) {
					double const vkp = V[ k ][ p ], vkq = V[ k ][ q ];
					V[ k ][ p ] = c * vkp - s * vkq;
					V[ k ][ q ] = s * vkp + c * vkq;
				}
			}
		}
	}
	int best = 0;
	for ( int i = 1; i < 4; ++i )
		if ( A[ i ][ i ] > A[ best ][ best ] ) best = i;
	for ( int i = 0; i < 4; ++i ) v_out[ i ] = V[ i ][ best ];
	return A[ best ][ best ];
}

// Least-squares superposition of x onto y (y ~ R x + t) by Horn's unit
// quaternion method; returns the residual sum of squared distances.
inline double horn_superpose( Trace const& x, Trace const& y, Mat& R, Vec& t )
{
	std::size_t const n = x.size();
	Vec xc{ 0, 0, 0 }, yc{ 0, 0, 0 };
	for ( std::size_t k = 0; k < n; ++k )
		for ( int i = 0; i < 3; ++i ) {
			xc[ i ] += x[ k ][ i ] / n;
			yc[ i ] += y[ k ][ i ] / n;
		}
	double S[ 3 ][ 3 ] = { { 0, 0, 0 }, { 0, 0, 0 }, { 0, 0, 0 } };
	double e0 = 0.0;
	for ( std::size_t k = 0; k < n; ++k ) {
		Vec const a = sub( x[ k ], xc ), b = sub( y[ k ], yc );
		for ( int i = 0; i < 3; ++i ) {
			e0 += a[ i ] * a[ i ] + b[ i ] * b[ i ];
			for ( int j = 0; j < 3; ++j ) S[ i ][ j ] += a[ i ] * b[ j ];
		}
	}
	double N[ 4 ][ 4 ] = {
		{ S[ 0 ][ 0 ] + S[ 1 ][ 1 ] + S[ 2 ][ 2 ], S[ 1 ][ 2 ] - S[ 2 ][ 1 ], S[ 2 ][ 0 ] - S[ 0 ][ 2 ], S[ 0 ][ 1 ] - S[ 1 ][ 0 ] },
		{ S[ 1 ][ 2 ] - S[ 2 ][ 1 ], S[ 0 ][ 0 ] - S[ 1 ][ 1 ] - S[ 2 ][ 2 ], S[ 0 ][ 1 ] + S[ 1 ][ 0 ], S[ 2 ][ 0 ] + S[ 0 ][ 2 ] },
		{ S[ 2 ][ 0 ] - S[ 0 ][ 2 ], S[ 0 ][ 1 ] + S[ 1 ][ 0 ], -S[ 0 ][ 0 ] + S[ 1 ][ 1 ] - S[ 2 ][ 2 ], S[ 1 ][ 2 ] + S[ 2 ][ 1 ] },
		{ S[ 0 ][ 1 ] - S[ 1 ][ 0 ], S[ 2 ][ 0 ] + S[ 0 ][ 2 ], S[ 1 ][ 2 ] + S[ 2 ][ 1 ], -S[ 0 ][ 0 ] - S[ 1 ][ 1 ] + S[ 2 ][ 2 ] } };
	double q[ 4 ];
	double const lambda = largest_eigen4( N, q );
	double const q0 = q[ 0 ], qx = q[ 1 ], qy = q[ 2 ], qz = q[ 3 ];
	R[ 0 ] = { q0 * q0 + qx * qx - qy * qy - qz * qz, 2 * ( qx * qy - q0 * qz ), 2 * ( qx * qz + q0 * qy ) };
	R[ 1 ] = { 2 * ( qy * qx + q0 * qz ), q0 * q0 - qx * qx + qy * qy - qz * qz, 2 * ( qy * qz - q0 * qx ) };
	R[ 2 ] = { 2 * ( qz * qx - q0 * qy ), 2 * ( qz * qy + q0 * qx ), q0 * q0 - qx * qx - qy * qy + qz * qz };
	for ( int i = 0; i < 3; ++i ) t[ i ] = yc[ i ] - ( R[ i ][ 0 ] * xc[ 0 ] + R[ i ][ 1 ] * xc[ 1 ] + R[ i ][ 2 ] * xc[ 2 ] );
	double const res = e0 - 2.0 * lambda;
	return res < 0.0 ? 0.0 : res;
}

} // namespace align_test

#endif
