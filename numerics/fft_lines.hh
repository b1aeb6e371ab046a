// Batched complex transforms of many equal lines of a multi-dimensional
// array, the engine under the 3-D transforms.
//
// Lines are transformed several at a time (one SIMD lane per line) with a
// self-sorting (Stockham) mixed-radix algorithm: radix 4, 2, 3, 5 and small
// odd radices get their own butterflies; a length with a prime factor too
// large for a direct butterfly goes through Bluestein's algorithm (a chirp
// convolution evaluated with transforms of a smooth padded length).  The
// result is the plain unscaled DFT of each line, within rounding.
#ifndef INCLUDED_numerics_fft_lines_hh
#define INCLUDED_numerics_fft_lines_hh

#include "numerics/fft_lines_kernels.hh"

#include <memory>
#include <vector>

namespace fft_lines {

class LinePlan {
public:
	LinePlan( int n, int inverse );
	LinePlan( LinePlan const & ) = delete; // the view points into the plan's own tables
	LinePlan & operator=( LinePlan const & ) = delete;
	PlanView const & view() const { return view_; }

private:
	void build_passes( int n, int inverse, std::vector< Pass > & passes, std::vector< std::vector< double > > & store );

	PlanView view_;
	std::vector< Pass > passes_, mpasses_;
	std::vector< std::vector< double > > store_; // twiddle and table storage
	std::vector< double > chirp_, filter_;
};

// The plan of length n and direction inverse, built once and kept for later
// calls (not thread-safe).  The cache is bounded; a plan the caller holds
// stays valid when the cache drops it.
std::shared_ptr< LinePlan const > cached_plan( int n, int inverse );

// Runs one axis pass with the plan (the widest instruction set the CPU has);
// throws std::bad_alloc when the work buffers cannot be allocated.
void transform_axis( LinePlan const & plan, AxisJob const & job );

// Which kernels transform_axis runs: the best available (the default), or
// the baseline ones (so that both can be checked on one machine).  AVX2 is
// used only when the processor has it.
enum class Kernels { best, baseline };
void select_kernels( Kernels k );

} // namespace fft_lines

#endif
