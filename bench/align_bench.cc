// Time of one structure alignment (Templatescore_native: working set,
// StructAlign, release) for two 300-residue and two 1,000-residue chains.
// Goals: under 50 ms for 300 residues, under 500 ms for 1,000 (one core).
// "related": a chain against a rotated copy with 2 A coordinate noise;
// "unrelated": two different generated chains.
#include "alignment/DPAlign.hh"
#include "alignment/TemplateScore.hh"

#include "alignment/tests/ca_trace_maker.hh"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <unistd.h>

using namespace align_test;

namespace {

// The alignment prints its few warnings on standard output; keep the
// benchmark table clean by sending them to /dev/null during a run.
struct MuteStdout {
	int saved;
	MuteStdout()
	{
		std::fflush( stdout );
		saved = dup( 1 );
		FILE* null = std::fopen( "/dev/null", "w" );
		if ( null ) {
			dup2( fileno( null ), 1 );
			std::fclose( null );
		}
	}
	~MuteStdout()
	{
		std::fflush( stdout );
		dup2( saved, 1 );
		close( saved );
	}
};

void run_pair( benchmark::State& state, Trace const& x, Trace const& y )
{
	RawTrace rx( x ), ry( y );
	double tm = 0.0;
	{
		MuteStdout mute;
		for ( auto _ : state ) {
			tm = Templatescore_native( rx.size(), ry.size(), rx.xyz(), ry.xyz(), rx.res(), ry.res() );
			benchmark::DoNotOptimize( tm );
		}
	}
	state.counters[ "TM" ] = tm;
}

void BM_align_related( benchmark::State& state )
{
	int const n = static_cast< int >( state.range( 0 ) );
	Trace const x = make_trace( n, 7 );
	Trace const y = noisy( moved( x, axis_rotation( { 1, -2, 0.5 }, 1.3 ), { 10, 20, 30 } ), 2.0, 8 );
	run_pair( state, x, y );
}

void BM_align_unrelated( benchmark::State& state )
{
	int const n = static_cast< int >( state.range( 0 ) );
	run_pair( state, make_trace( n, 9 ), make_trace( n, 10 ) );
}

// One dynamic-programming pass over n x n cells under a fixed
// superposition, with and without a gap-opening penalty.
void BM_nwdp( benchmark::State& state )
{
	double const gap = state.range( 0 ) == 0 ? 0.0 : -0.6;
	int const n = static_cast< int >( state.range( 1 ) );
	Trace const x = make_trace( n, 11 );
	Trace const y = noisy( x, 1.0, 12 );
	RawTrace rx( x ), ry( y );
	load_PDB_allocate_memory( n, n, n, n );
	double t0[ 3 ] = { 0, 0, 0 }, u0[ 3 ][ 3 ] = { { 1, 0, 0 }, { 0, 1, 0 }, { 0, 0, 1 } };
	std::vector< int > map( n + 1 );
	for ( auto _ : state ) {
		NWDP_TM( rx.xyz(), ry.xyz(), n, n, t0, u0, 9.0, gap, map.data() );
		benchmark::DoNotOptimize( map.data() );
	}
	free_memory();
	state.counters[ "cells" ] = benchmark::Counter( double( n ) * n, benchmark::Counter::kIsIterationInvariantRate );
}

} // namespace

BENCHMARK( BM_nwdp )->Args( { 0, 300 } )->Args( { 1, 300 } )->Args( { 0, 1000 } )->Args( { 1, 1000 } )->Unit( benchmark::kMillisecond );
BENCHMARK( BM_align_related )->Arg( 300 )->Arg( 1000 )->Unit( benchmark::kMillisecond )->MinTime( 1.0 );
BENCHMARK( BM_align_unrelated )->Arg( 300 )->Arg( 1000 )->Unit( benchmark::kMillisecond )->MinTime( 1.0 );

BENCHMARK_MAIN();
