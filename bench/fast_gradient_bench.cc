// Gradients and B-factor derivatives of the fast density score for a
// 300-residue model (eight heavy atoms per residue, 2400 atoms) in a 160^3
// map of 1 A voxels with six B bins: per-atom Cartesian gradients, per-atom
// B derivatives, the 6-D pose gradient of the CA trace, the model score,
// the correlation's B derivatives over the whole map, and once each the
// B-bin diagnostic and a resize of the map.
#include "core/basic_fun_Quilt.hh"
#include "density/FastDensityScore.hh"
#include "density/tests/fast_test_util.hh"
#include "testsupport/test_data.hh"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <random>

namespace {

double seconds_since( std::chrono::steady_clock::time_point t0 )
{
	return std::chrono::duration< double >( std::chrono::steady_clock::now() - t0 ).count();
}

} // namespace

int main()
{
	int const n = 160, nres = 300;
	// Residues on a spherical spiral of radius 22 A about the box centre.
	std::vector< std::vector< double > > store;
	FastDensityScore::Model model;
	FastDensityScore::AtomNames names;
	std::vector< std::vector< double > > B;
	char const* atomNames[] = { "N", "CA", "C", "O", "CB", "CG", "OD1", "ND2" };
	store.reserve( nres * 8 );
	std::mt19937 rng( 11 );
	std::normal_distribution< double > jitter( 0.0, 0.8 );
	for ( int i = 0; i < nres; ++i ) {
		double const zf = 1.0 - 2.0 * ( i + 0.5 ) / nres, rho = std::sqrt( 1.0 - zf * zf ), phi = i * 2.39996;
		double const base[ 3 ] = { 80 + 22 * rho * std::cos( phi ), 80 + 22 * rho * std::sin( phi ), 80 + 22 * zf };
		model.emplace_back();
		names.emplace_back();
		B.emplace_back();
		for ( int a = 0; a < 8; ++a ) {
			store.push_back( { base[ 0 ] + jitter( rng ), base[ 1 ] + jitter( rng ), base[ 2 ] + jitter( rng ) } );
			model.back().push_back( store.back().data() );
			names.back().push_back( atomNames[ a ] );
			B.back().push_back( 20.0 + 0.1 * i + 4.0 * a );
		}
	}
	fast_test::MrcSpec mapDesc = fast_test::cubic_map( n, 1.0, []( int, int, int ) { return 0.0; } );
	fast_test::add_gaussians( mapDesc, n, store, 5, 0.5 );
	quilt_test::ScratchDir dir( "grad_bench" );
	fast_test::write_mrc( dir.file( "map.mrc" ), mapDesc );
	FastDensityScore map;
	if ( !map.readDensityMap( dir.file( "map.mrc" ), 4.0, 0.0, 0.1, true ) ) return 1;
	map.nFastBins = 6;
	map.quiet = true;

	std::vector< double* > atoms, ca;
	std::vector< std::string > atomName;
	for ( std::size_t r = 0; r < model.size(); ++r )
		for ( std::size_t a = 0; a < model[ r ].size(); ++a ) {
			atoms.push_back( model[ r ][ a ] );
			atomName.push_back( names[ r ][ a ] );
			if ( names[ r ][ a ] == "CA" ) ca.push_back( model[ r ][ a ] );
		}
	int const na = int( atoms.size() ), nca = int( ca.size() );

	auto t0 = std::chrono::steady_clock::now();
	map.getFastDensScore_CA( ca[ 0 ], 0.0 );
	std::printf( "cache build (%d bins, %d^3): %.3f s\n", map.nFastBins, n, seconds_since( t0 ) );

	double sink = 0.0;
	int const reps = 1000;
	t0 = std::chrono::steady_clock::now();
	for ( int k = 0; k < reps; ++k )
		for ( int i = 0; i < na; ++i ) {
			double g[ 3 ];
			map.dCCdx_fastRes( atoms[ i ], atomName[ i ], g );
			sink += g[ 0 ];
		}
	double const tx = seconds_since( t0 ) / reps;
	std::printf( "dCCdx_fastRes, all %d atoms:      %8.3f ms per model (%.0f ns per atom)\n", na, 1e3 * tx, 1e9 * tx / na );

	t0 = std::chrono::steady_clock::now();
	for ( int k = 0; k < reps; ++k )
		for ( int i = 0; i < na; ++i ) sink += map.dCCdB_fastRes( atoms[ i ], B[ i / 8 ][ i % 8 ], atomName[ i ] );
	double const tb = seconds_since( t0 ) / reps;
	std::printf( "dCCdB_fastRes, all %d atoms:      %8.3f ms per model (%.0f ns per atom)\n", na, 1e3 * tb, 1e9 * tb / na );

	t0 = std::chrono::steady_clock::now();
	for ( int k = 0; k < reps; ++k ) sink += map.getFastDensScore_model( model, names, B, "centroid" );
	std::printf( "getFastDensScore_model with B, centroid: %8.3f ms per model\n", 1e3 * seconds_since( t0 ) / reps );

	double centre[ 3 ] = { 80, 80, 80 };
	double x[ 6 ] = { 0.2, -0.1, 0.3, 0.05, 0.1, -0.07 }, g6[ 6 ];
	double** moved = Rotation_translation_euler_CA( ca.data(), nca, x, centre );
	int const reps6 = 10000;
	t0 = std::chrono::steady_clock::now();
	for ( int k = 0; k < reps6; ++k ) {
		map.dCCdx_fastRes_6D_CA( ca.data(), moved, centre, nca, x, g6 );
		sink += g6[ 3 ];
	}
	double const t6 = seconds_since( t0 ) / reps6;
	std::printf( "dCCdx_fastRes_6D_CA, %d CA:        %8.1f us per call\n", nca, 1e6 * t6 );
	release2DArr( nca, moved );

	farray::FArray3D< double > weights( map.density() );
	for ( long v = 0; v < long( weights.size() ); ++v ) weights[ v ] = 1.0;
	std::vector< double > dB( na );
	int const repsB = 5;
	t0 = std::chrono::steady_clock::now();
	for ( int k = 0; k < repsB; ++k ) map.dCCdBs( model, names, B, dB.data(), weights, "centroid" );
	std::printf( "dCCdBs, %d atoms over %d^3 voxels:  %8.3f s per call\n", na, n, seconds_since( t0 ) / repsB );
	sink += dB[ 0 ];

	t0 = std::chrono::steady_clock::now();
	map.rescale_fastscoring_temp_bins( model, names, B, false );
	std::printf( "rescale_fastscoring_temp_bins (6 bins): %8.3f s\n", seconds_since( t0 ) );

	t0 = std::chrono::steady_clock::now();
	std::streambuf* old = std::cout.rdbuf( nullptr ); // resize reports on standard output
	map.resize( 1.2 );
	std::cout.rdbuf( old );
	std::printf( "resize %d^3 -> %d x %d x %d: %8.3f s\n", n, map.grid[ 0 ], map.grid[ 1 ], map.grid[ 2 ], seconds_since( t0 ) );
	std::printf( "(checksum %g)\n", sink );
	return 0;
}
