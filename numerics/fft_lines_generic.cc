// Batched transform kernels for the baseline instruction set.
#include "numerics/fft_lines_kernels.hh"

#include <cstdlib>
#include <cstring>

#define FFT_LINES_ISA generic
#include "numerics/fft_lines_kernels.inc"
