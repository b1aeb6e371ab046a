// Pose score and gradient of the fitting engine: 10,000 evaluations of a
// 300-residue chain (eight heavy atoms per residue) in a 160^3 map.
// Goal: score and gradient together below 1 s for the 10,000 evaluations.
#include "density/FastDensityScore.hh"
#include "density/tests/fast_test_util.hh"
#include "testsupport/test_data.hh"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <array>
#include <random>

namespace {

double seconds_since( std::chrono::steady_clock::time_point t0 )
{
	return std::chrono::duration< double >( std::chrono::steady_clock::now() - t0 ).count();
}

} // namespace

int main()
{
	int const n = 160, nres = 300, evals = 10000;
	double const w = 1.0;
	// A chain folded into a compact blob in the middle of the box.
	std::vector< std::vector< double > > store;
	FastDensityScore::Model model;
	FastDensityScore::AtomNames names;
	char const* atomNames[] = { "N", "CA", "C", "O", "CB", "CG", "CD", "CE" };
	store.reserve( nres * 8 );
	std::mt19937 rng( 5 );
	std::normal_distribution< double > jitter( 0.0, 0.7 );
	for ( int i = 0; i < nres; ++i ) {
		double const t = i * 0.35, r = 18.0 + 6.0 * std::sin( i * 0.05 );
		double const base[ 3 ] = { 80 + r * std::cos( t ), 80 + r * std::sin( t ), 80 + 0.25 * ( i - nres / 2 ) };
		model.emplace_back();
		names.emplace_back();
		for ( int a = 0; a < 8; ++a ) {
			store.push_back( { base[ 0 ] + jitter( rng ), base[ 1 ] + jitter( rng ), base[ 2 ] + jitter( rng ) } );
			model.back().push_back( store.back().data() );
			names.back().push_back( atomNames[ a ] );
		}
	}
	// The map: Gaussians splatted around each atom.
	fast_test::MrcSpec mapDesc = fast_test::cubic_map( n, w, []( int, int, int ) { return 0.0; } );
	fast_test::add_gaussians( mapDesc, n, store, 5, 0.5 );
	quilt_test::ScratchDir dir( "pose_bench" );
	fast_test::write_mrc( dir.file( "map.mrc" ), mapDesc );
	FastDensityScore map;
	if ( !map.readDensityMap( dir.file( "map.mrc" ), 4.0, 0.0, 0.1, true ) ) return 1;

	double centre[ 3 ] = { 80, 80, 80 };
	double x[ 6 ] = { 0, 0, 0, 0, 0, 0 }, g[ 6 ];
	auto t0 = std::chrono::steady_clock::now();
	map.getFastDensScore_6D( model, names, x, centre, "CA" );
	std::printf( "cache build (FFT smoothing + spline prefilter of %d^3): %.3f s\n", n, seconds_since( t0 ) );

	// Two pose sequences: independent random poses (translations and angles
	// within +-0.5), and a minimiser-like walk of small steps.
	std::uniform_real_distribution< double > u( -0.5, 0.5 ), step( -0.02, 0.02 );
	std::vector< std::array< double, 6 > > random( evals ), walk( evals );
	for ( auto& p : random )
		for ( double& v : p ) v = u( rng );
	std::array< double, 6 > cur = { 0, 0, 0, 0, 0, 0 };
	for ( auto& p : walk ) {
		for ( double& v : cur ) v += step( rng );
		p = cur;
	}
	double sink = 0.0;
	for ( int seq = 0; seq < 2; ++seq )
	for ( std::string sel : { "CA", "centroid" } ) {
		auto& poses = seq == 0 ? random : walk;
		int count = 0;
		for ( auto const& r : names )
			for ( auto const& a : r ) count += ( sel == "CA" ) ? a == "CA" : a != "SG";
		t0 = std::chrono::steady_clock::now();
		for ( int e = 0; e < evals; ++e ) {
			sink += map.getFastDensScoreAndGrad_6D( model, names, poses[ e ].data(), g, centre, sel );
			sink += g[ 3 ];
		}
		double const one = seconds_since( t0 );
		t0 = std::chrono::steady_clock::now();
		for ( int e = 0; e < evals; ++e ) {
			sink += map.getFastDensScore_6D( model, names, poses[ e ].data(), centre, sel );
			map.dCCdx_fastRes_6D( model, names, poses[ e ].data(), g, centre, sel );
			sink += g[ 3 ];
		}
		double const two = seconds_since( t0 );
		std::printf( "%s poses, selection %-8s (%4d atoms): %d score+gradient in one call %.3f s; as two calls %.3f s\n",
			seq == 0 ? "random" : "walk  ", sel.c_str(), count, evals, one, two );
	}
	std::printf( "(checksum %g)\n", sink );
	return 0;
}
