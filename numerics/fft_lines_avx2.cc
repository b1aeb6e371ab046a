// Batched transform kernels built for AVX2 with FMA; chosen at run time
// only on processors that have both (see fft_lines.cc).
#include "numerics/fft_lines_kernels.hh"

#include <cstdlib>
#include <cstring>

#define FFT_LINES_ISA avx2
#include "numerics/fft_lines_kernels.inc"
