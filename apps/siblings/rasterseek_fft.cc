// Rasterseek: pruned complex 3-D transforms (see rasterseek_fft.hh).
#include "apps/siblings/rasterseek_fft.hh"

#include <algorithm>

namespace rasterseek {

using fft_lines::AxisJob;
using cpx = std::complex< double >;

PrunedFFT::PrunedFFT( int const n[ 3 ] )
{
	for ( int a = 0; a < 3; ++a ) {
		n_[ a ] = n[ a ];
		forward_[ a ] = fft_lines::cached_plan( n[ a ], 0 );
		inverse_[ a ] = fft_lines::cached_plan( n[ a ], 1 );
	}
}

int PrunedFFT::window_pieces( int axis, int half, int start[ 2 ], int count[ 2 ] ) const
{
	int const n = n_[ axis ];
	if ( half < 0 ) half = 0;
	if ( 2 * half + 1 >= n ) {
		start[ 0 ] = 0;
		count[ 0 ] = n;
		return 1;
	}
	// Indices 0..half, then n-half..n-1.
	start[ 0 ] = 0;
	count[ 0 ] = half + 1;
	if ( half == 0 ) return 1;
	start[ 1 ] = n - half;
	count[ 1 ] = half;
	return 2;
}

void PrunedFFT::forward_window( cpx* in, cpx* out, int const half[ 3 ] ) const
{
	long const n0 = n_[ 0 ], plane = n0 * n_[ 1 ];
	int is[ 2 ], ic[ 2 ], js[ 2 ], jc[ 2 ];
	int const ni = window_pieces( 0, half[ 0 ], is, ic );
	int const nj = window_pieces( 1, half[ 1 ], js, jc );
	// Along z (the widest stride, so the fewest lines): only lines whose x
	// and y indices both lie in the window hold anything.
	for ( int p = 0; p < nj; ++p )
		for ( int q = 0; q < ni; ++q ) {
			cpx* base = in + js[ p ] * n0 + is[ q ];
			AxisJob z{ base, base, false, false, 1.0, jc[ p ], n0, ic[ q ], 1, plane };
			fft_lines::transform_axis( *forward_[ 2 ], z );
		}
	// Along y: only lines whose x index lies in the window.
	for ( int q = 0; q < ni; ++q ) {
		cpx* base = in + is[ q ];
		AxisJob y{ base, base, false, false, 1.0, n_[ 2 ], plane, ic[ q ], 1, n0 };
		fft_lines::transform_axis( *forward_[ 1 ], y );
	}
	// Along x: every line, into the output.
	AxisJob x{ in, out, false, false, 1.0, n_[ 2 ], plane, n_[ 1 ], n0, 1 };
	fft_lines::transform_axis( *forward_[ 0 ], x );
}

void PrunedFFT::clear_window( cpx* data, int const half[ 3 ] ) const
{
	// The forward transform filled the window's x columns (every z, every y).
	long const n0 = n_[ 0 ], plane = n0 * n_[ 1 ];
	int is[ 2 ], ic[ 2 ];
	int const ni = window_pieces( 0, half[ 0 ], is, ic );
	for ( long row = 0; row < long( n_[ 1 ] ) * n_[ 2 ]; ++row )
		for ( int q = 0; q < ni; ++q ) std::fill( data + row * n0 + is[ q ], data + row * n0 + is[ q ] + ic[ q ], cpx( 0.0, 0.0 ) );
	(void)plane;
}

void PrunedFFT::inverse_corner( cpx* data, int const keep[ 3 ] ) const
{
	long const n0 = n_[ 0 ], plane = n0 * n_[ 1 ];
	int k[ 3 ];
	for ( int a = 0; a < 3; ++a ) k[ a ] = std::max( 0, std::min( keep[ a ], n_[ a ] ) );
	double const scale = 1.0 / ( double( n_[ 0 ] ) * n_[ 1 ] * n_[ 2 ] );
	// Along x every line; along y the lines of kept x; along z (the widest
	// stride) only the lines of kept x and y.
	AxisJob x{ data, data, false, false, 1.0, n_[ 2 ], plane, n_[ 1 ], n0, 1 };
	fft_lines::transform_axis( *inverse_[ 0 ], x );
	AxisJob y{ data, data, false, false, 1.0, n_[ 2 ], plane, k[ 0 ], 1, n0 };
	fft_lines::transform_axis( *inverse_[ 1 ], y );
	AxisJob z{ data, data, false, false, scale, k[ 1 ], n0, k[ 0 ], 1, plane };
	fft_lines::transform_axis( *inverse_[ 2 ], z );
}

} // namespace rasterseek
