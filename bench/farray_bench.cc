// Cost of checked element access: a triple loop summing a 128^3 FArray3D<double>
// through operator() against the same loop over a raw std::vector<double>.

#include "farray/FArray3D.hh"

#include <benchmark/benchmark.h>

#include <vector>

namespace {

int const n = 128;

void
BM_FArray3D_sum( benchmark::State & state )
{
	farray::FArray3D< double > a;
	a.dimension( farray::DynamicIndexRange( n ), farray::DynamicIndexRange( n ), farray::DynamicIndexRange( n ) );
	for ( std::size_t p = 0; p < a.size(); ++p ) a[ p ] = 1.0 / double( 1 + p % 97 );
	for ( auto _ : state ) {
		double sum = 0.0;
		for ( int k = 1; k <= n; ++k ) {
			for ( int j = 1; j <= n; ++j ) {
				for ( int i = 1; i <= n; ++i ) sum += a( i, j, k );
			}
		}
		benchmark::DoNotOptimize( sum );
	}
	state.SetItemsProcessed( state.iterations() * std::int64_t( n ) * n * n );
}

void
BM_raw_vector_sum( benchmark::State & state )
{
	std::vector< double > a( std::size_t( n ) * n * n );
	for ( std::size_t p = 0; p < a.size(); ++p ) a[ p ] = 1.0 / double( 1 + p % 97 );
	for ( auto _ : state ) {
		double sum = 0.0;
		for ( int k = 0; k < n; ++k ) {
			for ( int j = 0; j < n; ++j ) {
				for ( int i = 0; i < n; ++i ) sum += a[ ( std::size_t( k ) * n + j ) * n + i ];
			}
		}
		benchmark::DoNotOptimize( sum );
	}
	state.SetItemsProcessed( state.iterations() * std::int64_t( n ) * n * n );
}

// Writes through operator(): the pattern of the map-processing loops
void
BM_FArray3D_scale( benchmark::State & state )
{
	farray::FArray3D< double > a;
	a.dimension( farray::DynamicIndexRange( n ), farray::DynamicIndexRange( n ), farray::DynamicIndexRange( n ) );
	a = 1.0;
	for ( auto _ : state ) {
		for ( int k = 1; k <= n; ++k ) {
			for ( int j = 1; j <= n; ++j ) {
				for ( int i = 1; i <= n; ++i ) a( i, j, k ) *= 0.999;
			}
		}
		benchmark::ClobberMemory();
	}
	state.SetItemsProcessed( state.iterations() * std::int64_t( n ) * n * n );
}

void
BM_raw_vector_scale( benchmark::State & state )
{
	std::vector< double > a( std::size_t( n ) * n * n, 1.0 );
	for ( auto _ : state ) {
		for ( int k = 0; k < n; ++k ) {
			for ( int j = 0; j < n; ++j ) {
				for ( int i = 0; i < n; ++i ) a[ ( std::size_t( k ) * n + j ) * n + i ] *= 0.999;
			}
		}
		benchmark::ClobberMemory();
	}
	state.SetItemsProcessed( state.iterations() * std::int64_t( n ) * n * n );
}

}

BENCHMARK( BM_FArray3D_sum );
BENCHMARK( BM_raw_vector_sum );
BENCHMARK( BM_FArray3D_scale );
BENCHMARK( BM_raw_vector_scale );

BENCHMARK_MAIN();
