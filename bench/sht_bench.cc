// Times the spherical-harmonic analysis of a shell set and the SO(3)
// correlation of two shell sets at the bandwidths a rotational search uses.
#include "sht/SHT.hh"

#include <chrono>
#include <cmath>
#include <cstdio>

namespace {

typedef std::chrono::steady_clock Clock;

double seconds_since( Clock::time_point t0 )
{
	return std::chrono::duration< double >( Clock::now() - t0 ).count();
}

void fill_shells( int B, int nR, double shift, SHT::RealGrid & g )
{
	int const n = 2 * B;
	farray::DynamicIndexRange const IN( n ), IR( nR );
	g.dimension( IN, IN, IR );
	for ( int r = 1; r <= nR; ++r )
		for ( int j = 1; j <= n; ++j )
			for ( int k = 1; k <= n; ++k ) g( k, j, r ) = std::sin( 0.3 * k + shift ) * std::cos( 0.17 * j * r ) + 0.01 * r;
}

} // namespace

int main()
{
	int const nR = 10;
	for ( int B : { 16, 32, 64 } ) {
		SHT::RealGrid sig, pat, sr, si, pr, pim, back, result;
		fill_shells( B, nR, 0.0, sig );
		fill_shells( B, nR, 0.5, pat );
		Clock::time_point t0 = Clock::now();
		SHT sht( B, nR );
		double const tinit = seconds_since( t0 );
		t0 = Clock::now();
		sht.sharm_transform( sig, sr, si );
		double const tfwd = seconds_since( t0 );
		sht.sharm_transform( pat, pr, pim );
		t0 = Clock::now();
		sht.sharm_invTransform( back, sr, si );
		double const tinv = seconds_since( t0 );
		t0 = Clock::now();
		sht.so3_correlate( result, sr, si, pr, pim );
		double const tcor = seconds_since( t0 );
		std::printf( "B %2d, %d shells: tables %.1f ms, analysis %.2f ms, synthesis %.2f ms, correlation %.1f ms (%.2f ms/shell)\n",
			B, nR, tinit * 1e3, tfwd * 1e3, tinv * 1e3, tcor * 1e3, tcor * 1e3 / nR );
	}
	return 0;
}
