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
	int ks[ 2 ], kc[ 2 ], js[ 2 ], jc[ 2 ];
	int const nk = window_pieces( 2, half[ 2 ], ks, kc );
	int const nj = window_pieces( 1, half[ 1 ], js, jc );
	// Along x: only lines whose y and z indices both lie in the window hold
	// anything.
	for ( int p = 0; p < nk; ++p )
		for ( int q = 0; q < nj; ++q ) {
			cpx* base = in + ks[ p ] * plane + js[ q ] * n0;
			AxisJob x{ base, base, false, false, 1.0, kc[ p ], plane, jc[ q ], n0, 1 };
			fft_lines::transform_axis( *forward_[ 0 ], x );
		}
	// Along y: only the window's planes.
	for ( int p = 0; p < nk; ++p ) {
		cpx* base = in + ks[ p ] * plane;
		AxisJob y{ base, base, false, false, 1.0, kc[ p ], plane, n0, 1, n0 };
		fft_lines::transform_axis( *forward_[ 1 ], y );
	}
	// Along z: every line, into the output.
	AxisJob z{ in, out, false, false, 1.0, 1, 0, plane, 1, plane };
	fft_lines::transform_axis( *forward_[ 2 ], z );
}

void PrunedFFT::clear_window( cpx* data, int const half[ 3 ] ) const
{
	long const plane = long( n_[ 0 ] ) * n_[ 1 ];
	int ks[ 2 ], kc[ 2 ];
	int const nk = window_pieces( 2, half[ 2 ], ks, kc );
	for ( int p = 0; p < nk; ++p ) std::fill( data + ks[ p ] * plane, data + ( ks[ p ] + kc[ p ] ) * plane, cpx( 0.0, 0.0 ) );
}

void PrunedFFT::inverse_corner( cpx* data, int const keep[ 3 ] ) const
{
	long const n0 = n_[ 0 ], plane = n0 * n_[ 1 ];
	int k[ 3 ];
	for ( int a = 0; a < 3; ++a ) k[ a ] = std::max( 0, std::min( keep[ a ], n_[ a ] ) );
	double const scale = 1.0 / ( double( n_[ 0 ] ) * n_[ 1 ] * n_[ 2 ] );
	// Along z every line; along y the kept planes; along x the kept rows.
	AxisJob z{ data, data, false, false, 1.0, 1, 0, plane, 1, plane };
	fft_lines::transform_axis( *inverse_[ 2 ], z );
	AxisJob y{ data, data, false, false, 1.0, k[ 2 ], plane, n0, 1, n0 };
	fft_lines::transform_axis( *inverse_[ 1 ], y );
	AxisJob x{ data, data, false, false, scale, k[ 2 ], plane, k[ 1 ], n0, 1 };
	fft_lines::transform_axis( *inverse_[ 0 ], x );
}

} // namespace rasterseek
