// Inverse cosine transform (type III) on the cosine plans of the FFT library.
//
// The library's `dct` computes only the forward transform and refuses plans
// built for the inverse direction; the spherical-harmonic synthesis needs the
// inverse, so it lives here, running on such an inverse plan.
#ifndef INCLUDED_sht_cosine_transform_hh
#define INCLUDED_sht_cosine_transform_hh

#include "numerics/fft.hh"

// out[j] = in[0] + 2 sum_{k=1}^{n-1} in[k] cos(pi k (2j+1) / (2n)), j = 0 .. n-1,
// for the plan's even length n, through one complex transform of length n.
// Applied to the output of `dct` it gives 2n times the original samples.
// The plan must be built with the inverse flag; a forward plan ends the
// process with status 1 (its twiddles run the other way).
void idct( dct_state * st, double const * in, double * out );

#endif
