// Inverse cosine transform: the forward `dct` run backwards (spectrum rebuilt
// from the cosine coefficients, one inverse complex transform, reordering).
#include "sht/cosine_transform.hh"

#include <cstdlib>
#include <iostream>

typedef std::complex< double > cpx;

void idct( dct_state * st, double const * in, double * out )
{
	if ( ! st->inverse ) {
		std::cerr << "fft usage error: improper alloc\n";
		std::cerr.flush();
		std::exit( 1 );
	}
	int const n = st->nfft;
	if ( n <= 0 ) return;
	int const half = n / 2;
	// The forward transform's complex spectrum, rebuilt from the cosine
	// coefficients: V[k] = (in[k] - i in[n-k]) exp(+i pi k / (2n)), in[n] = 0.
	// Its inverse DFT is real and holds the even samples ascending, then the
	// odd samples descending (the forward transform's reordering).
	for ( int k = 0; k < n; ++k ) {
		double const re = in[ k ];
		double const im = k == 0 ? 0.0 : -in[ n - k ];
		cpx const & t = st->dct_twiddles[ k ];
		st->work[ k ] = cpx( re * t.real() - im * t.imag(), re * t.imag() + im * t.real() );
	}
	cpx * v = get_tmp_buff( static_cast< unsigned long >( n ) );
	fft( st, st->work.data(), v );
	for ( int p = 0; p < half; ++p ) {
		out[ 2 * p ] = v[ p ].real();
		out[ n - 1 - 2 * p ] = v[ half + p ].real();
	}
}
