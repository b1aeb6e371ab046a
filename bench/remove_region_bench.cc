// Removal of fitted density: one 300-residue chain (about 8 atoms per
// residue, a compact random coil) marked in a 160^3 map of 1 A voxels with
// the 4 A radius of the assembly program.  The per-atom bounding box is
// compared with the full voxel-by-atom scan that it replaces.
#include "density/DensityScore.hh"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>
#include <random>
#include <vector>

namespace {

unsigned const kExt = 160;
double const kWidth = 1.0;

// Atoms of a 300-residue chain: a self-avoiding-ish random walk of CA atoms
// 3.8 A apart, kept within a 50 A sphere in the map centre, with 7 further
// atoms scattered within 2.5 A of each CA.
std::vector<double*> make_chain( std::vector<std::vector<double>>& store )
{
	std::mt19937 rng( 11 );
	std::normal_distribution<double> n01( 0.0, 1.0 );
	std::uniform_real_distribution<double> u( -1.0, 1.0 );
	double const c = kExt * kWidth / 2;
	double p[3] = { c, c, c };
	for ( int r = 0; r < 300; ++r ) {
		double d[3];
		double len;
		do {
			for ( double& x : d ) x = n01( rng );
			len = std::sqrt( d[0] * d[0] + d[1] * d[1] + d[2] * d[2] );
			for ( int k = 0; k < 3; ++k ) d[k] = p[k] + 3.8 * d[k] / len;
		} while ( ( d[0] - c ) * ( d[0] - c ) + ( d[1] - c ) * ( d[1] - c ) + ( d[2] - c ) * ( d[2] - c ) > 2500 );
		for ( int k = 0; k < 3; ++k ) p[k] = d[k];
		store.push_back( { p[0], p[1], p[2] } );
		for ( int a = 0; a < 7; ++a ) store.push_back( { p[0] + 2.5 * u( rng ), p[1] + 2.5 * u( rng ), p[2] + 2.5 * u( rng ) } );
	}
	std::vector<double*> ptr;
	for ( auto& s : store ) ptr.push_back( s.data() );
	return ptr;
}

void BM_RemoveRegion( benchmark::State& state )
{
	std::vector<std::vector<double>> store;
	std::vector<double*> atoms = make_chain( store );
	std::vector<double> map( static_cast<size_t>( kExt ) * kExt * kExt, 0.5 );
	DensityScore ds;
	// The "Marked voxels" line of every iteration goes to /dev/null.
	std::fflush( stdout );
	int const saved = dup( 1 );
	int const devnull = open( "/dev/null", O_WRONLY );
	dup2( devnull, 1 );
	for ( auto _ : state ) {
		state.PauseTiming();
		std::fill( map.begin(), map.end(), 0.5 );
		state.ResumeTiming();
		ds.modifyDensityValue( kExt, kExt, kExt, 0, 0, 0, kWidth, map.data(), atoms, 4.0 );
	}
	std::fflush( stdout );
	dup2( saved, 1 );
	close( saved );
	close( devnull );
	state.counters["atoms"] = static_cast<double>( atoms.size() );
}
BENCHMARK( BM_RemoveRegion )->Unit( benchmark::kMillisecond );

// The scan the bounding box replaces: every voxel against every atom, with
// the early exit at the first atom in reach.  One iteration only (it takes
// seconds).
void BM_RemoveRegionFullScan( benchmark::State& state )
{
	std::vector<std::vector<double>> store;
	std::vector<double*> atoms = make_chain( store );
	std::vector<double> map( static_cast<size_t>( kExt ) * kExt * kExt, 0.5 );
	int const n = static_cast<int>( atoms.size() );
	for ( auto _ : state ) {
		unsigned long const nv = map.size(), exy = static_cast<unsigned long>( kExt ) * kExt;
		for ( unsigned long i = 0; i < nv; ++i ) {
			unsigned long const z = i / exy, r = i % exy, y = r / kExt, x = r - y * kExt;
			double const px = x * kWidth, py = y * kWidth, pz = z * kWidth;
			for ( int a = 0; a < n; ++a ) {
				double const dx = px - atoms[a][0], dy = py - atoms[a][1], dz = pz - atoms[a][2];
				if ( std::sqrt( dx * dx + dy * dy + dz * dz ) < 4.0 ) { map[i] = -10.0; break; }
			}
		}
		benchmark::DoNotOptimize( map.data() );
	}
}
BENCHMARK( BM_RemoveRegionFullScan )->Unit( benchmark::kMillisecond )->Iterations( 1 );

} // namespace

BENCHMARK_MAIN();
