// Rasterseek: complex 3-D transforms that skip the lines the search does
// not need, on the batched line transforms of numerics/.
//
// Arrays are n[0] x n[1] x n[2] complex values, x fastest, unscaled forward
// and 1/N-scaled inverse transforms as fft3/ifft3 define them.  A transform
// object holds its own line plans, fetched when it is made; its transforms
// only read them, so that several threads may each run one object (the
// plans' cache itself is not thread-safe: make the objects before the
// threads start).
#ifndef QUILT_SIBLINGS_RASTERSEEK_FFT_HH
#define QUILT_SIBLINGS_RASTERSEEK_FFT_HH

#include "numerics/fft_lines.hh"

#include <complex>
#include <memory>

namespace rasterseek {

class PrunedFFT {
public:
	explicit PrunedFFT( int const n[ 3 ] );

	// Forward transform of `in` into `out` (all N values).  `in` must be zero
	// wherever some index lies outside the periodic window [-half[a], half[a]]
	// of its axis; the values whose first index lies in its window are used
	// as work space and hold no useful values afterwards (clear_window puts
	// them back to zero).
	void forward_window( std::complex< double >* in, std::complex< double >* out, int const half[ 3 ] ) const;

	// Zeroes the values whose first index lies in the window [-half, half].
	void clear_window( std::complex< double >* data, int const half[ 3 ] ) const;

	// Inverse transform in place, scaled by 1/N; the result is correct only
	// where every index a is below keep[a] (the rest holds intermediates).
	void inverse_corner( std::complex< double >* data, int const keep[ 3 ] ) const;

private:
	// Contiguous index ranges [start, start + count) of a periodic window.
	int window_pieces( int axis, int half, int start[ 2 ], int count[ 2 ] ) const;

	int n_[ 3 ];
	std::shared_ptr< fft_lines::LinePlan const > forward_[ 3 ], inverse_[ 3 ];
};

} // namespace rasterseek

#endif
