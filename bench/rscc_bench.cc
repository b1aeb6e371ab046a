// Real-space correlation of a 300-CA trace in a 160^3 map: time per call of
// getRSCC (work on the voxels within the trace's mask only) with the
// exponentials factorised along window rows and with both evaluated per
// voxel, of the call with gradients, and of a plain sweep with two
// full-size work arrays for comparison.  Times are the fastest of several
// rounds, as the machine may be shared.
#include "density/FastDensityScore.hh"
#include "density/FastDensityScore_internal.hh"
#include "density/tests/fast_test_util.hh"
#include "testsupport/test_data.hh"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>

namespace {

// The correlation as a sweep over the whole grid (two full-size arrays).
double full_sweep( FastDensityScore const& m, double** ca, int n )
{
	farray::FArray3D< double > const& d = m.density();
	int const nx = d.u1(), ny = d.u2(), nz = d.u3();
	std::vector< double > rho( std::size_t( nx ) * ny * nz, 0.0 ), inv( rho.size(), 1.0 );
	double k, A;
	fast_test::ca_model( m.modelResolution, k, A );
	double const win = m.maskPadding + m.caMask;
	for ( int i = 0; i < n; ++i ) {
		double f[ 3 ], g[ 3 ];
		m.cartToFrac( ca[ i ], f );
		for ( int a = 0; a < 3; ++a ) {
			g[ a ] = std::fmod( f[ a ] * m.grid[ a ] - m.originGrid[ a ] + 1.0, double( m.grid[ a ] ) );
			if ( g[ a ] < 0 ) g[ a ] += m.grid[ a ];
		}
		for ( int z = 1; z <= nz; ++z ) {
			double dz = ( g[ 2 ] - z ) / nz;
			dz -= std::round( dz );
			if ( std::fabs( dz * m.f2c[ 2 ][ 2 ] ) > win ) continue;
			for ( int y = 1; y <= ny; ++y ) {
				double dy = ( g[ 1 ] - y ) / ny;
				dy -= std::round( dy );
				if ( std::fabs( dy * m.f2c[ 1 ][ 1 ] ) > win ) continue;
				for ( int x = 1; x <= nx; ++x ) {
					double dx = ( g[ 0 ] - x ) / nx;
					dx -= std::round( dx );
					double df[ 3 ] = { dx, dy, dz }, o[ 3 ];
					m.fracToCart( df, o );
					double const d2 = o[ 0 ] * o[ 0 ] + o[ 1 ] * o[ 1 ] + o[ 2 ] * o[ 2 ];
					if ( d2 > win * win ) continue;
					std::size_t const l = ( std::size_t( z - 1 ) * ny + y - 1 ) * nx + x - 1;
					rho[ l ] += A * std::exp( -k * d2 );
					inv[ l ] *= 1.0 - 1.0 / ( 1.0 + std::exp( d2 - m.atomMask * m.atomMask ) );
				}
			}
		}
	}
	return fast_test::masked_correlation( rho, inv, d );
}

} // namespace

int main()
{
	int const n = 160, nca = 300;
	std::vector< std::vector< double > > ca;
	for ( int i = 0; i < nca; ++i ) {
		double const t = i * 0.35, r = 18.0 + 6.0 * std::sin( i * 0.05 );
		ca.push_back( { 80 + r * std::cos( t ), 80 + r * std::sin( t ), 80 + 0.25 * ( i - nca / 2 ) } );
	}
	fast_test::MrcSpec mapDesc = fast_test::cubic_map( n, 1.0, []( int, int, int ) { return 0.0; } );
	fast_test::add_gaussians( mapDesc, n, ca, 6, 0.2 );
	quilt_test::ScratchDir dir( "rscc_bench" );
	fast_test::write_mrc( dir.file( "map.mrc" ), mapDesc );
	FastDensityScore map;
	if ( !map.readDensityMap( dir.file( "map.mrc" ), 4.0, 0.0, 0.1, true ) ) return 1;
	auto rows = fast_test::rows_of( ca );

	// Fastest mean time per call (ms) over rounds of `reps` calls.
	auto fastest = [ & ]( int rounds, int reps, auto&& call ) {
		double best = std::numeric_limits< double >::infinity();
		for ( int r = 0; r < rounds; ++r ) {
			auto const t0 = std::chrono::steady_clock::now();
			for ( int i = 0; i < reps; ++i ) call();
			best = std::min( best, std::chrono::duration< double >( std::chrono::steady_clock::now() - t0 ).count() / reps );
		}
		return 1e3 * best;
	};
	double v = 0.0, vg = 0.0, v0 = 0.0;
	double const t = fastest( 5, 10, [ & ] { v = map.getRSCC( rows.data(), nca, 4.0 ); } );
	std::vector< std::vector< double > > g( nca, std::vector< double >( 3, 0.0 ) );
	auto grows = fast_test::rows_of( g );
	double const tg = fastest( 5, 10, [ & ] { vg = map.getRSCC( rows.data(), nca, grows.data(), true, 4.0 ); } );
	fds_detail::rsccFactorised = false;
	double const t0 = fastest( 5, 10, [ & ] { v0 = map.getRSCC( rows.data(), nca, 4.0 ); } );
	double const tg0 = fastest( 5, 10, [ & ] { map.getRSCC( rows.data(), nca, grows.data(), true, 4.0 ); } );
	fds_detail::rsccFactorised = true;
	double ref = 0.0;
	double const tr = fastest( 2, 1, [ & ] { ref = full_sweep( map, rows.data(), nca ); } );
	std::printf( "getRSCC, %d CA in a %d^3 map, exps factorised per row: %.2f ms per call (correlation %.15f)\n", nca, n, t, v );
	std::printf( "  the same, both exps per voxel: %.2f ms per call (correlation %.15f)\n", t0, v0 );
	std::printf( "  with gradients: %.2f ms per call factorised, %.2f ms per voxel (correlation %.15f)\n", tg, tg0, vg );
	std::printf( "full-grid sweep with two full-size arrays: %.2f ms per call (correlation %.15f)\n", tr, ref );
	return 0;
}
