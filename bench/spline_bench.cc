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

	// A model of ~2400 atoms inside a 40-voxel cube, scored 400 times: the
	// access pattern of the fitting engine's pose score.
	int const atoms = 2400, rounds = 400;
	std::vector< double > pts( 4 * atoms );
	unsigned seed = 12345u;
	auto uniform = [&seed]() {
		seed = seed * 1664525u + 1013904223u;
		return ( seed >> 8 ) / 16777216.0;
	};
	for ( int a = 0; a < atoms; ++a ) {
		pts[ 4 * a ] = 4.0 * uniform();
		for ( int k = 1; k < 4; ++k ) pts[ 4 * a + k ] = 60.0 + 40.0 * uniform();
	}
	double sum = 0, grad[ 4 ];
	t0 = Clock::now();
	for ( int r = 0; r < rounds; ++r )
		for ( int a = 0; a < atoms; ++a ) sum += interp4( data.data(), dims, &pts[ 4 * a ] );
	double const tval = seconds_since( t0 );
	t0 = Clock::now();
	for ( int r = 0; r < rounds; ++r )
		for ( int a = 0; a < atoms; ++a ) sum += interp4_with_grad( grad, data.data(), dims, &pts[ 4 * a ] ) + grad[ 1 ];
	double const tgrad = seconds_since( t0 );
	double const calls = double( atoms ) * rounds;
	std::printf( "interp4: %.1f ns/atom, interp4_with_grad: %.1f ns/atom (checksum %.3f)\n", tval / calls * 1e9,
		tgrad / calls * 1e9, sum );
	return 0;
}
