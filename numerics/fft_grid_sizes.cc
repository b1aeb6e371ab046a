// Grid sizes that the FFTs handle well: no prime factor above 19.
#include "numerics/fft3d.hh"

#include <climits>
#include <cmath>

bool factorsLTE19( int n )
{
	// Zero and negative sizes have no such factorisation (and zero would
	// divide by every prime forever).
	if ( n <= 0 ) return false;
	if ( n == 1 ) return true;
	static int const primes[] = { 2, 3, 5, 7, 11, 13, 17, 19 };
	for ( int p : primes ) {
		while ( n % p == 0 ) {
			n /= p;
			if ( n == 1 ) return true;
		}
	}
	return n == 1;
}

int findSampling( double x, int n )
{
	// A step that is not positive cannot walk upward to a valid size.
	if ( n <= 0 ) return 0;
	if ( x <= 0.0 ) return n;
	if ( !std::isfinite( x ) ) return 0;
	// k n is free of primes above 19 only when n is: a step with such a
	// prime would walk upward for ever.
	if ( !factorsLTE19( n ) ) return 0;
	double const start = std::floor( x / n + 0.5 ) * n;
	// Stay clear of int overflow while walking upward.
	if ( start > static_cast< double >( INT_MAX / 2 ) ) return 0;
	int m = static_cast< int >( start );
	while ( !factorsLTE19( m ) ) {
		if ( m > INT_MAX - n ) return 0;
		m += n;
	}
	return m;
}
