// Construction and resizing of the FFT plans.
#include "numerics/fft.hh"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace {

// Resize that tolerates a negative length (an empty table).
template< class V >
void resize_nonneg( V & v, int n )
{
	v.resize( n > 0 ? static_cast< std::size_t >( n ) : 0 );
}

void fill_twiddles( std::vector< std::complex< double > > & tw, int n, int inverse )
{
	for ( int k = 0; k < n; ++k ) {
		double phase = k * ( -6.283185307179586 * ( 1.0 / n ) );
		if ( inverse ) phase = -phase;
		tw[ k ] = std::complex< double >( std::cos( phase ), std::sin( phase ) );
	}
}

} // namespace

void kf_factor( int n, int * facbuf )
{
	int p = 4;
	double const floor_sqrt = std::floor( std::sqrt( static_cast< double >( n ) ) );
	int npairs = 0;
	do {
		while ( n % p ) {
			switch ( p ) {
			case 4: p = 2; break;
			case 2: p = 3; break;
			default: p += 2; break;
			}
			if ( p > floor_sqrt ) p = n;
		}
		n /= p;
		*facbuf++ = p;
		*facbuf++ = n;
		++npairs;
	} while ( n > 1 && npairs < 32 );
}

fft_state::fft_state() : nfft( 0 ), inverse( 0 ), factors()
{
}

fft_state::fft_state( int n, int inverse_ ) : nfft( n ), inverse( inverse_ ), factors()
{
	resize_nonneg( twiddles, n );
	fill_twiddles( twiddles, n, inverse );
	kf_factor( n, factors );
}

void fft_state::resize( int n, int inverse_ )
{
	if ( n == nfft && inverse_ == inverse ) return;
	nfft = n;
	inverse = inverse_;
	resize_nonneg( twiddles, n );
	fill_twiddles( twiddles, n, inverse );
	kf_factor( n, factors );
}

fftnd_state::fftnd_state() : inverse( 0 ), dimprod( 1 )
{
}

fftnd_state::fftnd_state( std::vector< int > const & dims_, int inverse_ ) : inverse( 0 ), dimprod( 1 )
{
	// Force the first resize to build everything, even for an empty axis list.
	inverse = inverse_ ? 0 : 1;
	resize( dims_, inverse_ );
}

void fftnd_state::resize( std::vector< int > const & dims_, int inverse_ )
{
	if ( dims_ == dims && inverse_ == inverse ) return;
	dims = dims_;
	inverse = inverse_;
	dimprod = 1;
	for ( int d : dims ) dimprod *= d;
	states.resize( dims.size() );
	resize_nonneg( tmpbuf, dimprod );
	for ( std::size_t k = 0; k < dims.size(); ++k ) {
		states[ k ].resize( dims[ k ], inverse );
	}
}

fftsplit_state::fftsplit_state() : fft_state()
{
}

fftsplit_state::fftsplit_state( int n, int inverse_ ) : fft_state()
{
	resize( n, inverse_ );
}

void fftsplit_state::resize( int n, int inverse_ )
{
	if ( n == nfft && inverse_ == inverse ) return;
	resize_nonneg( tmpbuf, n );
	fft_state::resize( n, inverse_ );
}

dct_state::dct_state() : fft_state()
{
}

dct_state::dct_state( int n, int inverse_ ) : fft_state()
{
	resize( n, inverse_ );
}

void dct_state::resize( int n, int inverse_ )
{
	if ( n == nfft && inverse_ == inverse ) return;
	if ( n % 2 != 0 ) {
		std::cerr << "Real->Real DCT optimization must be even.\n";
		std::cerr.flush();
		std::exit( 1 );
	}
	resize_nonneg( work, n );
	resize_nonneg( dct_twiddles, n );
	fft_state::resize( n, inverse_ );
	for ( int k = 0; k < n; ++k ) {
		double phase = k * ( -3.141592653589793 * ( 1.0 / ( 2 * n ) ) );
		if ( inverse ) phase = -phase;
		dct_twiddles[ k ] = std::complex< double >( std::cos( phase ), std::sin( phase ) );
	}
}
