// Times the cubic B-spline prefilter of a B-binned map (the fast density
// score's set-up) and the per-atom interpolation with gradient.
#include "numerics/spline.hh"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

typedef std::chrono::steady_clock Clock;

double seconds_since( Clock::time_point t0 )
{
	return std::chrono::duration< double >( Clock::now() - t0 ).count();
}

} // namespace

int main()
{
	// Row-major {bins, z, y, x}: mirror on the bins, periodic on the map axes.
	int dims[ 4 ] = { 5, 160, 160, 160 };
	long const n = 5L * 160 * 160 * 160;
	std::vector< double > data( n );
	for ( long i = 0; i < n; ++i ) data[ i ] = std::sin( 0.001 * i ) + std::cos( 0.37 * i );
	Clock::time_point t0 = Clock::now();
	compute_coefficients4( data.data(), dims );
	double const tpre = seconds_since( t0 );
	std::printf( "prefilter 5 x 160^3: %.1f ms\n", tpre * 1e3 );

	int const calls = 1000000;
	double sum = 0, grad[ 4 ];
	t0 = Clock::now();
	for ( int c = 0; c < calls; ++c ) {
		double p[ 4 ] = { 0.5 + ( c % 7 ) * 0.5, 13.7 + 0.001 * c, 80.2 - 0.0007 * c, 3.3 + 0.013 * c };
		sum += interp4( data.data(), dims, p );
	}
	double const tval = seconds_since( t0 );
	t0 = Clock::now();
	for ( int c = 0; c < calls; ++c ) {
		double p[ 4 ] = { 0.5 + ( c % 7 ) * 0.5, 13.7 + 0.001 * c, 80.2 - 0.0007 * c, 3.3 + 0.013 * c };
		sum += interp4_with_grad( grad, data.data(), dims, p ) + grad[ 1 ];
	}
	double const tgrad = seconds_since( t0 );
	std::printf( "interp4: %.1f ns/call, interp4_with_grad: %.1f ns/call (checksum %.3f)\n", tval / calls * 1e9,
		tgrad / calls * 1e9, sum );
	return 0;
}
