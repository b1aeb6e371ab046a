// Three-dimensional FFTs over FArray3D, Fourier resampling and FFT-friendly
// grid sizes.
//
// Arrays are column-major (first index fastest).  With 0-based indices per
// axis and array index = formula index + 1:
//   forward  X(k) = sum_j x(j) exp(-2 pi i (j1 k1/N1 + j2 k2/N2 + j3 k3/N3)), unscaled;
//   inverse  x(j) = (1/N) sum_k X(k) exp(+2 pi i (...)),  N = N1 N2 N3.
// Every output is re-dimensioned to [1,N1] x [1,N2] x [1,N3] and keeps the
// linear element order of the input.  The transforms share process-wide
// scratch buffers and cached plans: they are not re-entrant.
#ifndef INCLUDED_numerics_fft3d_hh
#define INCLUDED_numerics_fft3d_hh

#include "farray/FArray3D.hh"

#include <complex>

// Complex forward / inverse; in and out may be the same array.
void fft3( farray::FArray3D< std::complex< double > > const & in, farray::FArray3D< std::complex< double > > & out );
void ifft3( farray::FArray3D< std::complex< double > > const & in, farray::FArray3D< std::complex< double > > & out );

// Real forward: the full complex spectrum (N elements), unscaled.
void fft3( farray::FArray3D< double > const & in, farray::FArray3D< std::complex< double > > & out );
// Complex to real inverse: real part of the scaled inverse transform.
void ifft3( farray::FArray3D< std::complex< double > > const & in, farray::FArray3D< double > & out );

// Fourier interpolation of a real map (indexed from 1) onto a grid of extents
// dims[0] x dims[1] x dims[2]: the lowest frequencies of every axis are kept
// (zero padding when an axis grows, truncation when it shrinks).  Not
// renormalised: a constant c comes back as c * (A1 A2 A3) / (B1 B2 B3).
template< class S, class T >
void resample( farray::FArray3D< S > const & in, farray::FArray3D< T > & out, int * dims );

template<>
void resample< double, double >( farray::FArray3D< double > const & in, farray::FArray3D< double > & out, int * dims );

// True when n is 1 or has no prime factor above 19; false for n <= 0.
bool factorsLTE19( int n );

// First multiple of n, counting upward from x rounded to the nearest multiple
// of n, whose prime factors are all at most 19; n itself when x <= 0.
// 0 (no valid size) when there is no such multiple: a step n <= 0 or with a
// prime factor above 19, a non-finite x, or a result beyond the int range.
int findSampling( double x, int n );

#endif
