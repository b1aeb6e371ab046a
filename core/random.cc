// Random-number generators.  ran and Random start from fixed states, so
// every run draws the same sequences; ran1 takes its second seed from the
// wall clock on its first call.
#include "core/basic_fun_Quilt.hh"
#include "core/random_state.hh"

#include <cmath>
#include <cstdio>
#include <cstdlib>

double shuffled_uniform_next( ShuffledUniformState& s )
{
	std::int64_t k = s.idum / 53668;
	s.idum = 40014 * ( s.idum - k * 53668 ) - k * 12211;
	if ( s.idum < 0 ) s.idum += 2147483563;
	k = s.idum2 / 52774;
	s.idum2 = 40692 * ( s.idum2 - k * 52774 ) - k * 3791;
	if ( s.idum2 < 0 ) s.idum2 += 2147483399;
	std::int64_t const j = s.iy / 67108862;
	s.iy = s.iv[ j ] - s.idum2;
	s.iv[ j ] = s.idum;
	if ( s.iy < 1 ) s.iy += 2147483562;
	double const r = static_cast< double >( s.iy ) * 4.656613057391769e-10;
	return r < 0.99999988 ? r : 0.99999988;
}

double clock_seed_value() { return std::strtod( fa_getSysTime().c_str(), nullptr ); }

double ran()
{
	static ShuffledUniformState state;
	return shuffled_uniform_next( state );
}

double ran1()
{
	static ShuffledUniformState state = [] {
		ShuffledUniformState s;
		s.idum2 = 0;
		return s;
	}();
	// The clock is read on every call; only the first reading seeds.
	double const seed = clock_seed_value();
	static bool const seeded = [ & ] {
		state.idum2 = static_cast< std::int32_t >( seed );
		return true;
	}();
	(void)seeded;
	return shuffled_uniform_next( state );
}

namespace {
std::int64_t random_seed = 123456789;
}

double Random()
{
	std::int64_t const hi = random_seed / 44488;
	std::int64_t const lo = random_seed % 44488;
	random_seed = 48271 * lo - 3399 * hi;
	if ( random_seed <= 0 ) random_seed += 2147483647;
	return static_cast< double >( random_seed ) * 4.656612875245797e-10;
}

namespace {

// ran() scaled to 0..max: the product is rounded to single precision and
// truncated, as the combination searches pick their indices.
inline int draw_int( double f ) { return static_cast< int >( static_cast< float >( ran() * f ) ); }

} // namespace

void RandMultiIntNum( int* out, int n, int max )
{
	double const f = static_cast< double >( static_cast< float >( max + 1 ) );
	int v = draw_int( f );
	if ( n < 1 ) return;
	if ( max < 0 || n > max + 1 ) {
		// Only max + 1 distinct values exist; drawing more would never end.
		std::printf( "Error! Cannot draw %d distinct integers from 0 to %d.\n", n, max );
		return;
	}
	out[ 0 ] = v;
	int stored = 1;
	while ( true ) {
		v = draw_int( f );
		if ( stored == n ) break;
		bool seen = false;
		for ( int i = 0; i < stored; ++i ) {
			if ( out[ i ] == v ) {
				seen = true;
				break;
			}
		}
		if ( !seen ) out[ stored++ ] = v;
	}
}

double normrnd( double mean, double sd )
{
	double u, v, s;
	do {
		u = std::rand() * 9.313225750491594e-10 - 1.0;
		v = std::rand() * 9.313225750491594e-10 - 1.0;
		s = u * u + v * v;
	} while ( s == 0.0 || s >= 1.0 );
	return mean + sd * u * std::sqrt( -2.0 * std::log( s ) / s );
}

int roulette( double* p, int n )
{
	double const r = Random();
	double sum = 0.0;
	for ( int k = 0; k < n; ++k ) {
		sum += p[ k ];
		if ( sum > r ) return k;
	}
	return 0;
}

point3d ranv( double r )
{
	double const pi = 3.141592653589793;
	double const len = r * Random() + 1e-5;
	double const theta = pi * Random();
	double const phi_ = pi * ( 2.0 * Random() - 1.0 );
	return point3d{ len * std::sin( theta ) * std::cos( phi_ ), len * std::sin( theta ) * std::sin( phi_ ),
		len * std::cos( theta ) };
}
