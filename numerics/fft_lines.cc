// Plans of the batched line transforms: factorisation, twiddle tables,
// Bluestein set-up, the per-size plan cache and the choice of kernels.
#include "numerics/fft_lines.hh"
#include "numerics/fft.hh"

#include <cmath>
#include <map>
#include <new>
#include <utility>

namespace fft_lines {

namespace {

double const two_pi = 6.283185307179586;

// Prime factors above this go through Bluestein's algorithm: a direct
// butterfly costs O(p) per value, the chirp convolution O(log n).
int const bluestein_above = 23;

// Radices of the direct transform, in pass order; empty when some prime
// factor is too large for a direct butterfly.
std::vector< int > radices( int n, bool & direct )
{
	std::vector< int > r;
	direct = true;
	while ( n % 4 == 0 ) {
		r.push_back( 4 );
		n /= 4;
	}
	if ( n % 2 == 0 ) {
		r.push_back( 2 );
		n /= 2;
	}
	for ( int p = 3; n > 1; p += 2 ) {
		if ( p > bluestein_above || static_cast< long >( p ) * p > n ) {
			// n is now 1, prime, or has only factors above the limit
			if ( n > bluestein_above ) {
				direct = false;
				return std::vector< int >();
			}
			r.push_back( n );
			break;
		}
		while ( n % p == 0 ) {
			r.push_back( p );
			n /= p;
		}
	}
	return r;
}

// Smallest length >= n with no prime factor above 5.
int smooth_length( int n )
{
	for ( int m = n;; ++m ) {
		int k = m;
		for ( int p : { 2, 3, 5 } ) {
			while ( k % p == 0 ) k /= p;
		}
		if ( k == 1 ) return m;
	}
}

} // namespace

void LinePlan::build_passes( int n, int inverse, std::vector< Pass > & passes, std::vector< std::vector< double > > & store )
{
	bool direct;
	std::vector< int > const rad = radices( n, direct );
	double const sign = inverse ? 1.0 : -1.0;
	int L = n;
	for ( int p : rad ) {
		int const m = L / p;
		store.emplace_back( 2 * static_cast< std::size_t >( m ) * ( p - 1 ) );
		std::vector< double > & tw = store.back();
		for ( int q = 0; q < m; ++q ) {
			for ( int r = 1; r < p; ++r ) {
				long const k = ( static_cast< long >( r ) * q ) % L;
				double const phi = sign * two_pi * static_cast< double >( k ) / L;
				tw[ 2 * ( static_cast< std::size_t >( q ) * ( p - 1 ) + r - 1 ) ] = std::cos( phi );
				tw[ 2 * ( static_cast< std::size_t >( q ) * ( p - 1 ) + r - 1 ) + 1 ] = std::sin( phi );
			}
		}
		double const * cs = nullptr;
		if ( p % 2 == 1 ) {
			int const H = ( p - 1 ) / 2;
			store.emplace_back( 2 * static_cast< std::size_t >( H ) * H );
			std::vector< double > & t = store.back();
			for ( int r = 1; r <= H; ++r ) {
				for ( int k = 1; k <= H; ++k ) {
					double const phi = two_pi * static_cast< double >( ( r * k ) % p ) / p;
					t[ 2 * ( H * ( r - 1 ) + k - 1 ) ] = std::cos( phi );
					t[ 2 * ( H * ( r - 1 ) + k - 1 ) + 1 ] = -sign * std::sin( phi );
				}
			}
			cs = t.data();
		}
		passes.push_back( Pass{ p, m, store[ store.size() - ( p % 2 == 1 ? 2 : 1 ) ].data(), cs } );
		L = m;
	}
}

LinePlan::LinePlan( int n, int inverse )
{
	view_ = PlanView();
	view_.n = n;
	view_.inverse = inverse ? 1 : 0;
	view_.bufsize = n;
	bool direct = true;
	if ( n > 1 ) radices( n, direct );
	if ( direct ) {
		build_passes( n, view_.inverse, passes_, store_ );
	} else {
		// X_k = c_k sum_j (x_j c_j) conj(c_{k-j}) with c_k = exp(-+i pi k^2 / n):
		// a cyclic convolution of length M >= 2n - 1 done with smooth transforms.
		int const M = smooth_length( 2 * n - 1 );
		double const sign = inverse ? 1.0 : -1.0;
		chirp_.resize( 2 * static_cast< std::size_t >( n ) );
		for ( int k = 0; k < n; ++k ) {
			long const k2 = ( static_cast< long >( k ) * k ) % ( 2L * n );
			double const phi = sign * 3.141592653589793 * static_cast< double >( k2 ) / n;
			chirp_[ 2 * k ] = std::cos( phi );
			chirp_[ 2 * k + 1 ] = std::sin( phi );
		}
		std::vector< std::complex< double > > b( M ), B( M );
		for ( int j = 0; j < n; ++j ) {
			std::complex< double > const cj( chirp_[ 2 * j ], -chirp_[ 2 * j + 1 ] );
			b[ j ] = cj;
			if ( j > 0 ) b[ M - j ] = cj;
		}
		fft_state ref( M, 0 );
		fft( &ref, b.data(), B.data() );
		filter_.resize( 2 * static_cast< std::size_t >( M ) );
		for ( int e = 0; e < M; ++e ) {
			filter_[ 2 * e ] = B[ e ].real() / M;
			filter_[ 2 * e + 1 ] = B[ e ].imag() / M;
		}
		build_passes( M, 0, mpasses_, store_ );
		view_.bluestein = 1;
		view_.M = M;
		view_.mpasses = static_cast< int >( mpasses_.size() );
		view_.mpass = mpasses_.data();
		view_.chirp = chirp_.data();
		view_.filter = filter_.data();
		view_.bufsize = M;
	}
	view_.npasses = static_cast< int >( passes_.size() );
	view_.passes = passes_.data();
}

std::shared_ptr< LinePlan const > cached_plan( int n, int inverse )
{
	static std::map< std::pair< int, int >, std::shared_ptr< LinePlan const > > cache;
	std::pair< int, int > const key( n, inverse ? 1 : 0 );
	auto it = cache.find( key );
	if ( it != cache.end() ) return it->second;
	// Maps of many different sizes in one run are rare; keep the cache bounded.
	if ( cache.size() >= 64 ) cache.clear();
	std::shared_ptr< LinePlan const > plan = std::make_shared< LinePlan >( n, inverse );
	cache.emplace( key, plan );
	return plan;
}

namespace {

Kernels selected = Kernels::best;

bool cpu_has_avx2()
{
#if defined( __x86_64__ ) || defined( __i386__ )
	static bool const has = __builtin_cpu_supports( "avx2" ) && __builtin_cpu_supports( "fma" );
#else
	bool const has = false;
#endif
	return has;
}

} // namespace

void select_kernels( Kernels k )
{
	selected = k;
}

void transform_axis( LinePlan const & plan, AxisJob const & job )
{
	bool const ok = ( selected == Kernels::best && cpu_has_avx2() ) ? avx2::transform_axis( plan.view(), job )
	                                                                 : generic::transform_axis( plan.view(), job );
	if ( !ok ) throw std::bad_alloc();
}

} // namespace fft_lines
