// Direct evaluation of discrete Fourier sums: the independent answers the
// FFT tests compare against.  O(n^2) per axis, so only for small sizes.
#ifndef INCLUDED_numerics_tests_dft_reference_hh
#define INCLUDED_numerics_tests_dft_reference_hh

#include <cmath>
#include <complex>
#include <cstdlib>
#include <vector>

namespace dft_reference {

typedef std::complex< double > cpx;

// exp(sign * 2 pi i k / n), with k reduced mod n first for accuracy.
inline cpx unit_root( long k, long n, int sign )
{
	long const r = ( ( k % n ) + n ) % n;
	double const phi = sign * 2.0 * 3.14159265358979323846 * static_cast< double >( r ) / n;
	return cpx( std::cos( phi ), std::sin( phi ) );
}

// X[k] = sum_j x[j * stride] exp(sign 2 pi i j k / n), unscaled.
inline std::vector< cpx > dft( cpx const * x, int n, int sign, int stride = 1 )
{
	std::vector< cpx > X( n );
	for ( int k = 0; k < n; ++k ) {
		cpx s = 0.0;
		for ( int j = 0; j < n; ++j ) s += x[ static_cast< long >( j ) * stride ] * unit_root( static_cast< long >( j ) * k, n, sign );
		X[ k ] = s;
	}
	return X;
}

// Full 3-D sum over a column-major n1 x n2 x n3 block (first index fastest),
// evaluated term by term (no separation into axes).
inline std::vector< cpx > dft3( std::vector< cpx > const & x, int n1, int n2, int n3, int sign )
{
	std::vector< cpx > X( x.size() );
	for ( int k3 = 0; k3 < n3; ++k3 )
		for ( int k2 = 0; k2 < n2; ++k2 )
			for ( int k1 = 0; k1 < n1; ++k1 ) {
				cpx s = 0.0;
				for ( int j3 = 0; j3 < n3; ++j3 )
					for ( int j2 = 0; j2 < n2; ++j2 )
						for ( int j1 = 0; j1 < n1; ++j1 ) {
							// exp(2 pi i (j1k1/n1 + j2k2/n2 + j3k3/n3)) as a single angle
							double const f = double( ( j1 * k1 ) % n1 ) / n1 + double( ( j2 * k2 ) % n2 ) / n2 +
							                 double( ( j3 * k3 ) % n3 ) / n3;
							double const phi = sign * 2.0 * 3.14159265358979323846 * f;
							s += x[ ( static_cast< long >( j3 ) * n2 + j2 ) * n1 + j1 ] * cpx( std::cos( phi ), std::sin( phi ) );
						}
				X[ ( static_cast< long >( k3 ) * n2 + k2 ) * n1 + k1 ] = s;
			}
	return X;
}

// Largest |a - b| over two sequences.
inline double max_diff( cpx const * a, cpx const * b, long n )
{
	double m = 0.0;
	for ( long i = 0; i < n; ++i ) m = std::max( m, std::abs( a[ i ] - b[ i ] ) );
	return m;
}

// Repeatable test signal with no structure an FFT could get right by accident.
inline std::vector< cpx > signal( long n, unsigned seed = 1 )
{
	std::vector< cpx > x( n );
	unsigned s = seed * 2654435761u + 12345u;
	auto next = [&s]() {
		s = s * 1664525u + 1013904223u;
		return ( ( s >> 8 ) & 0xffff ) / 32768.0 - 1.0;
	};
	for ( long i = 0; i < n; ++i ) {
		double const re = next();
		x[ i ] = cpx( re, next() );
	}
	return x;
}

} // namespace dft_reference

#endif
