// Plain descriptions shared by the batched transform kernels and their
// plans.  Builtin types only: the kernels are compiled once per instruction
// set and must not share inline code with the rest of the program.
#ifndef INCLUDED_numerics_fft_lines_kernels_hh
#define INCLUDED_numerics_fft_lines_kernels_hh

namespace fft_lines {

// Plain description of one pass of the self-sorting transform: radix p,
// remaining length m after it (so p * m is the sub-length L of the pass),
// and the twiddles exp(-+2 pi i r q / L) for q < m, 1 <= r < p, stored as
// (re, im) pairs at ((q * (p - 1)) + r - 1).  For odd p > 5, cs holds the
// cos and (signed) sin of 2 pi r k / p for 1 <= r, k <= (p - 1) / 2.
struct Pass {
	int p;
	int m;
	double const * tw;
	double const * cs;
};

// Everything the kernels need of a plan, as plain pointers.
struct PlanView {
	int n;
	int inverse;
	int npasses;
	Pass const * passes;   // the direct transform of length n (when not Bluestein)
	int bluestein;         // non-zero: length n through a chirp convolution
	int M;                 // padded length of the convolution
	int mpasses;
	Pass const * mpass;    // forward transform of length M
	double const * chirp;  // n (re, im) pairs: exp(-+i pi k^2 / n)
	double const * filter; // M (re, im) pairs: spectrum of the conjugate chirp, divided by M
	int bufsize;           // elements each of the two work buffers must hold
};

// One pass over all lines along one axis of a complex block (interleaved
// re, im doubles).  Line l (0 <= l < nouter * ninner, l = o * ninner + i)
// starts at element o * outer_stride + i * inner_stride; its elements are
// elem_stride apart.  Lines with consecutive i are transformed together.
// src_real: the source holds real values (one double per element, same
// geometry).  dst_real: only the real part is written, one double per
// element.  Every result is multiplied by scale.  src and dst may be the
// same block.
struct AxisJob {
	void const * src;
	void * dst;
	bool src_real;
	bool dst_real;
	double scale;
	long nouter, outer_stride;
	long ninner, inner_stride;
	long elem_stride;
};

// Kernels of one instruction set, defined once per set; false when the work
// buffers could not be allocated.
namespace generic { bool transform_axis( PlanView const & plan, AxisJob const & job ); }
namespace avx2 { bool transform_axis( PlanView const & plan, AxisJob const & job ); }

} // namespace fft_lines

#endif
