// Times a forward plus an inverse 3-D FFT (fft3 + ifft3) on the grid sizes
// the fitting program meets, and the same pair of transforms with FFTW as a
// reference when it is available.  One line per size: both times and ratio.
#include "numerics/fft3d.hh"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <complex>
#include <cstdio>
#include <vector>

#ifdef QUILT_HAVE_FFTW
#include <fftw3.h>
#endif

namespace {

typedef std::complex< double > cpx;
typedef std::chrono::steady_clock Clock;

double seconds_since( Clock::time_point t0 )
{
	return std::chrono::duration< double >( Clock::now() - t0 ).count();
}

// Best of several repetitions of f (seconds), after one warm-up call.
template< class F >
double best_time( F f, int reps )
{
	f();
	double best = 1e30;
	for ( int r = 0; r < reps; ++r ) {
		Clock::time_point const t0 = Clock::now();
		f();
		best = std::min( best, seconds_since( t0 ) );
	}
	return best;
}

} // namespace

int main()
{
	int const sizes[][ 3 ] = { { 64, 64, 64 }, { 128, 128, 128 }, { 200, 200, 200 }, { 151, 163, 177 }, { 97, 97, 97 } };
	std::printf( "%-14s %12s %12s %8s %12s\n", "grid", "quilt ms", "fftw ms", "ratio", "max rel err" );
	for ( auto const & d : sizes ) {
		long const N = static_cast< long >( d[ 0 ] ) * d[ 1 ] * d[ 2 ];
		int const reps = N > 4000000 ? 3 : 5;
		farray::FArray3D< cpx > a, spectrum;
		a.dimension( farray::DynamicIndexRange( d[ 0 ] ), farray::DynamicIndexRange( d[ 1 ] ), farray::DynamicIndexRange( d[ 2 ] ) );
		for ( long i = 0; i < N; ++i ) a[ i ] = cpx( std::sin( 0.001 * i ) + std::cos( 0.37 * i ), 0.0 );
		farray::FArray3D< cpx > const orig = a;
		double const tq = best_time( [&]() {
			fft3( a, spectrum );
			ifft3( spectrum, a );
		}, reps );
		double err = 0, mag = 0;
		for ( long i = 0; i < N; ++i ) {
			err = std::max( err, std::abs( a[ i ] - orig[ i ] ) );
			mag = std::max( mag, std::abs( orig[ i ] ) );
		}
		double tf = 0;
#ifdef QUILT_HAVE_FFTW
		fftw_complex * buf = static_cast< fftw_complex * >( fftw_malloc( sizeof( fftw_complex ) * N ) );
		// FFTW is row-major: the slowest axis (our third index) comes first.
		fftw_plan fwd = fftw_plan_dft_3d( d[ 2 ], d[ 1 ], d[ 0 ], buf, buf, FFTW_FORWARD, FFTW_MEASURE );
		fftw_plan bwd = fftw_plan_dft_3d( d[ 2 ], d[ 1 ], d[ 0 ], buf, buf, FFTW_BACKWARD, FFTW_MEASURE );
		for ( long i = 0; i < N; ++i ) {
			buf[ i ][ 0 ] = orig[ i ].real();
			buf[ i ][ 1 ] = orig[ i ].imag();
		}
		tf = best_time( [&]() {
			fftw_execute( fwd );
			fftw_execute( bwd );
		}, reps );
		fftw_destroy_plan( fwd );
		fftw_destroy_plan( bwd );
		fftw_free( buf );
#endif
		char grid[ 32 ];
		std::snprintf( grid, sizeof grid, "%dx%dx%d", d[ 0 ], d[ 1 ], d[ 2 ] );
		if ( tf > 0 ) {
			std::printf( "%-14s %12.2f %12.2f %8.2f %12.2e\n", grid, tq * 1e3, tf * 1e3, tq / tf, err / mag );
		} else {
			std::printf( "%-14s %12.2f %12s %8s %12.2e\n", grid, tq * 1e3, "n/a", "n/a", err / mag );
		}
		std::fflush( stdout );
	}
	return 0;
}
