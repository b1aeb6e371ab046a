// Mixed-radix complex FFT plans and their execution.
//
// A plan fixes the length, the direction, the factorisation into radices and
// the twiddle table of one transform.  All transforms are unscaled: the
// forward plan computes X[k] = sum_j x[j] exp(-2 pi i j k / n), the inverse
// plan the same sum with exp(+2 pi i j k / n).  Execution is a recursive
// decimation in time with butterflies for radices 2, 3, 4 and 5 and a generic
// one for any other radix.
//
// Two process-wide grow-only scratch buffers are borrowed by the transforms;
// nothing here is re-entrant, so no two transforms may run at the same time.
#ifndef INCLUDED_numerics_fft_hh
#define INCLUDED_numerics_fft_hh

#include <complex>
#include <vector>

// One complex transform of length nfft.
struct fft_state {
	int nfft;
	int inverse; // 0 forward, anything else inverse
	// Consecutive (radix p, remaining length m) pairs; the last pair has m = 1
	// ((4, 0) for length 0).  At most 32 pairs.
	int factors[64];
	// twiddles[k] = exp(-+2 pi i k / n): minus for forward, plus for inverse.
	std::vector< std::complex< double > > twiddles;

	fft_state();
	fft_state( int n, int inverse );

	// No-op when length and direction are unchanged; otherwise recomputes the
	// twiddles and the factorisation.
	void resize( int n, int inverse );
};

// n-dimensional complex transform over a row-major block (first axis slowest).
struct fftnd_state {
	int inverse;
	std::vector< int > dims;
	int dimprod;
	std::vector< fft_state > states; // one plan per axis
	std::vector< std::complex< double > > tmpbuf; // ping-pong buffer, dimprod values

	fftnd_state();
	fftnd_state( std::vector< int > const & dims, int inverse );

	// Rebuilds only the axis plans whose length or direction changed.
	void resize( std::vector< int > const & dims, int inverse );
};

// Transform of data held as separate real and imaginary arrays.
struct fftsplit_state : public fft_state {
	std::vector< std::complex< double > > tmpbuf; // interleaved copy of the input

	fftsplit_state();
	fftsplit_state( int n, int inverse );

	void resize( int n, int inverse );
};

// Real-to-real cosine transform (unnormalised DCT-II with factor 2) of even
// length n, computed through one complex transform of length n.
struct dct_state : public fft_state {
	std::vector< std::complex< double > > work;         // complex transform of the reordered input
	std::vector< std::complex< double > > dct_twiddles; // exp(-+i pi k / (2n))

	dct_state();
	dct_state( int n, int inverse );

	// An odd length ends the process with status 1.
	void resize( int n, int inverse );
};

// Writes the (radix, remaining length) pairs of n into facbuf: radix 4 first,
// then 2, 3, 5, 7, 9, ...; a remaining factor above sqrt(n) is taken whole.
void kf_factor( int n, int * facbuf );

// Process-wide grow-only buffers of at least n complex values; n = 0 releases
// the buffer and returns null.  A pointer stays valid until the buffer grows
// or is released.  The contents are not kept when the buffer grows.
std::complex< double > * get_tmp_buff( unsigned long n );
std::complex< double > * get_scratch_buff( unsigned long n );

// One level of the recursive transform: writes the transform of the input
// subsequence f[0], f[fstride*in_stride], ... into p*m consecutive outputs.
// Fout and f must not overlap.
void kf_work( std::complex< double > * Fout, std::complex< double > const * f, unsigned long fstride,
	int in_stride, int * factors, fft_state * st );

void kf_bfly2( std::complex< double > * Fout, unsigned long fstride, fft_state * st, int m );
void kf_bfly3( std::complex< double > * Fout, unsigned long fstride, fft_state * st, unsigned long m );
void kf_bfly4( std::complex< double > * Fout, unsigned long fstride, fft_state * st, unsigned long m );
void kf_bfly5( std::complex< double > * Fout, unsigned long fstride, fft_state * st, int m );
void kf_bfly_generic( std::complex< double > * Fout, unsigned long fstride, fft_state * st, int m, int p );

// One transform of length st->nfft reading fin at stride in_stride and
// writing fout contiguously.  fin == fout is allowed (goes through the
// process-wide temporary buffer).
void fft_stride( fft_state * st, std::complex< double > const * fin, std::complex< double > * fout, int in_stride );
void fft( fft_state * st, std::complex< double > const * fin, std::complex< double > * fout );

// n-dimensional transform of st->dimprod values; fin == fout is allowed.
void fftnd( fftnd_state * st, std::complex< double > const * fin, std::complex< double > * fout );

// Transform of split real/imaginary arrays read at instride, written at outstride.
void fft_split( fftsplit_state * st, double const * rin, double const * iin, double * rout, double * iout,
	int instride, int outstride );

// out[k] = 2 sum_j in[j] cos(pi k (2j+1) / (2n)); a plan built for the inverse
// direction ends the process with status 1.
void dct( dct_state * st, double const * in, double * out );

#endif
