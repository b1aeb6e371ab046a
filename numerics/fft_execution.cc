// Execution of the FFT plans: recursive mixed-radix decimation in time.
#include "numerics/fft.hh"

#include <cstdlib>
#include <cstring>
#include <iostream>

typedef std::complex< double > cpx;

namespace {

// Plain complex product (std::complex's operator* also handles inf/nan
// corner cases through a library call, which the inner loops do not need).
inline cpx cmul( cpx const & a, cpx const & b )
{
	return cpx( a.real() * b.real() - a.imag() * b.imag(), a.real() * b.imag() + a.imag() * b.real() );
}

// Grow-only buffer shared by the whole process.  The old block is released
// before the new one is allocated, and the record is cleared in between, so a
// failed allocation leaves an empty buffer rather than a dangling pointer.
cpx * grow_buffer( cpx *& buf, unsigned long & len, unsigned long n )
{
	if ( n > len ) {
		delete[] buf;
		buf = nullptr;
		len = 0;
		buf = new cpx[ n ]; // value-initialised to zero
		len = n;
	}
	if ( n == 0 ) {
		delete[] buf;
		buf = nullptr;
		len = 0;
		return nullptr;
	}
	return buf;
}

} // namespace

cpx * get_tmp_buff( unsigned long n )
{
	static cpx * tmpbuf = nullptr;
	static unsigned long ntmpbuf = 0;
	return grow_buffer( tmpbuf, ntmpbuf, n );
}

cpx * get_scratch_buff( unsigned long n )
{
	static cpx * scratchbuf = nullptr;
	static unsigned long nscratchbuf = 0;
	return grow_buffer( scratchbuf, nscratchbuf, n );
}

void kf_bfly2( cpx * Fout, unsigned long fstride, fft_state * st, int m )
{
	cpx const * tw = st->twiddles.data();
	cpx * F1 = Fout + m;
	for ( int u = 0; u < m; ++u ) {
		cpx const t = cmul( F1[ u ], tw[ u * fstride ] );
		F1[ u ] = Fout[ u ] - t;
		Fout[ u ] += t;
	}
}

void kf_bfly3( cpx * Fout, unsigned long fstride, fft_state * st, unsigned long m )
{
	cpx const * tw = st->twiddles.data();
	double const e = tw[ fstride * m ].imag(); // -+sin(2 pi / 3)
	for ( unsigned long u = 0; u < m; ++u ) {
		cpx & F0 = Fout[ u ];
		cpx & F1 = Fout[ u + m ];
		cpx & F2 = Fout[ u + 2 * m ];
		cpx const s1 = cmul( F1, tw[ u * fstride ] );
		cpx const s2 = cmul( F2, tw[ 2 * u * fstride ] );
		cpx const s3 = s1 + s2;
		cpx s0 = s1 - s2;
		F1 = F0 - 0.5 * s3;
		s0 *= e;
		F0 += s3;
		F2 = cpx( F1.real() + s0.imag(), F1.imag() - s0.real() );
		F1 = cpx( F1.real() - s0.imag(), F1.imag() + s0.real() );
	}
}

void kf_bfly4( cpx * Fout, unsigned long fstride, fft_state * st, unsigned long m )
{
	cpx const * tw = st->twiddles.data();
	bool const inv = st->inverse != 0;
	for ( unsigned long u = 0; u < m; ++u ) {
		cpx & F0 = Fout[ u ];
		cpx & F1 = Fout[ u + m ];
		cpx & F2 = Fout[ u + 2 * m ];
		cpx & F3 = Fout[ u + 3 * m ];
		cpx const s0 = cmul( F1, tw[ u * fstride ] );
		cpx const s1 = cmul( F2, tw[ 2 * u * fstride ] );
		cpx const s2 = cmul( F3, tw[ 3 * u * fstride ] );
		cpx const s5 = F0 - s1;
		F0 += s1;
		cpx const s3 = s0 + s2;
		cpx const s4 = s0 - s2;
		F2 = F0 - s3;
		F0 += s3;
		if ( !inv ) {
			F1 = cpx( s5.real() + s4.imag(), s5.imag() - s4.real() );
			F3 = cpx( s5.real() - s4.imag(), s5.imag() + s4.real() );
		} else {
			F1 = cpx( s5.real() - s4.imag(), s5.imag() + s4.real() );
			F3 = cpx( s5.real() + s4.imag(), s5.imag() - s4.real() );
		}
	}
}

void kf_bfly5( cpx * Fout, unsigned long fstride, fft_state * st, int m )
{
	cpx const * tw = st->twiddles.data();
	cpx const ya = tw[ fstride * m ];
	cpx const yb = tw[ 2 * fstride * m ];
	for ( int u = 0; u < m; ++u ) {
		cpx & F0 = Fout[ u ];
		cpx & F1 = Fout[ u + m ];
		cpx & F2 = Fout[ u + 2 * m ];
		cpx & F3 = Fout[ u + 3 * m ];
		cpx & F4 = Fout[ u + 4 * m ];
		cpx const s0 = F0;
		cpx const s1 = cmul( F1, tw[ u * fstride ] );
		cpx const s2 = cmul( F2, tw[ 2 * u * fstride ] );
		cpx const s3 = cmul( F3, tw[ 3 * u * fstride ] );
		cpx const s4 = cmul( F4, tw[ 4 * u * fstride ] );
		cpx const s7 = s1 + s4;
		cpx const s10 = s1 - s4;
		cpx const s8 = s2 + s3;
		cpx const s9 = s2 - s3;
		F0 = s0 + s7 + s8;
		cpx const s5 = s0 + ya.real() * s7 + yb.real() * s8;
		cpx const s6( ya.imag() * s10.imag() + yb.imag() * s9.imag(), -( ya.imag() * s10.real() + yb.imag() * s9.real() ) );
		F1 = s5 - s6;
		F4 = s5 + s6;
		cpx const s11 = s0 + yb.real() * s7 + ya.real() * s8;
		cpx const s12( ya.imag() * s9.imag() - yb.imag() * s10.imag(), yb.imag() * s10.real() - ya.imag() * s9.real() );
		F2 = s11 + s12;
		F3 = s11 - s12;
	}
}

void kf_bfly_generic( cpx * Fout, unsigned long fstride, fft_state * st, int m, int p )
{
	cpx const * tw = st->twiddles.data();
	unsigned long const n = static_cast< unsigned long >( st->nfft );
	cpx * s = get_scratch_buff( static_cast< unsigned long >( p ) );
	for ( int u = 0; u < m; ++u ) {
		for ( int q = 0; q < p; ++q ) s[ q ] = Fout[ u + q * m ];
		for ( int q1 = 0; q1 < p; ++q1 ) {
			unsigned long const k = static_cast< unsigned long >( u + q1 * m );
			cpx acc = s[ 0 ];
			unsigned long j = 0;
			for ( int q = 1; q < p; ++q ) {
				j += fstride * k;
				if ( j >= n ) j -= n;
				acc += cmul( s[ q ], tw[ j ] );
			}
			Fout[ u + q1 * m ] = acc;
		}
	}
}

void kf_work( cpx * Fout, cpx const * f, unsigned long fstride, int in_stride, int * factors, fft_state * st )
{
	int const p = factors[ 0 ];
	int const m = factors[ 1 ];
	long const step = static_cast< long >( fstride ) * in_stride;
	if ( m == 1 ) {
		for ( int q = 0; q < p; ++q ) Fout[ q ] = f[ q * step ];
	} else {
		for ( int q = 0; q < p; ++q ) {
			kf_work( Fout + q * m, f + q * step, fstride * p, in_stride, factors + 2, st );
		}
	}
	switch ( p ) {
	case 1: break;
	case 2: kf_bfly2( Fout, fstride, st, m ); break;
	case 3: kf_bfly3( Fout, fstride, st, m ); break;
	case 4: kf_bfly4( Fout, fstride, st, m ); break;
	case 5: kf_bfly5( Fout, fstride, st, m ); break;
	default: kf_bfly_generic( Fout, fstride, st, m, p ); break;
	}
}

void fft_stride( fft_state * st, cpx const * fin, cpx * fout, int in_stride )
{
	// An empty plan has nothing to transform (and no usable factorisation).
	if ( st->nfft <= 0 ) return;
	if ( fin == fout ) {
		cpx * t = get_tmp_buff( static_cast< unsigned long >( st->nfft ) );
		kf_work( t, fin, 1, in_stride, st->factors, st );
		std::memcpy( static_cast< void * >( fout ), t, sizeof( cpx ) * st->nfft );
	} else {
		kf_work( fout, fin, 1, in_stride, st->factors, st );
	}
}

void fft( fft_state * st, cpx const * fin, cpx * fout )
{
	fft_stride( st, fin, fout, 1 );
}

void fftnd( fftnd_state * st, cpx const * fin, cpx * fout )
{
	int const ndims = static_cast< int >( st->dims.size() );
	// No axes, or an empty axis: nothing to transform.
	if ( ndims == 0 || st->dimprod <= 0 ) return;
	cpx const * in = fin;
	cpx * out;
	bool into_tmp;
	if ( ndims % 2 == 1 ) {
		out = fout;
		into_tmp = false;
		if ( fin == fout ) {
			std::memcpy( static_cast< void * >( st->tmpbuf.data() ), fin, sizeof( cpx ) * st->dimprod );
			in = st->tmpbuf.data();
		}
	} else {
		out = st->tmpbuf.data();
		into_tmp = true;
	}
	for ( int k = 0; k < ndims; ++k ) {
		int const curdim = st->dims[ k ];
		int const stride = st->dimprod / curdim;
		for ( int i = 0; i < stride; ++i ) {
			fft_stride( &st->states[ k ], in + i, out + static_cast< long >( i ) * curdim, stride );
		}
		if ( into_tmp ) {
			in = st->tmpbuf.data();
			out = fout;
		} else {
			in = fout;
			out = st->tmpbuf.data();
		}
		into_tmp = !into_tmp;
	}
}

void fft_split( fftsplit_state * st, double const * rin, double const * iin, double * rout, double * iout,
	int instride, int outstride )
{
	int const n = st->nfft;
	cpx * t = get_tmp_buff( static_cast< unsigned long >( n ) );
	for ( int k = 0; k < n; ++k ) {
		st->tmpbuf[ k ] = cpx( rin[ static_cast< long >( k ) * instride ], iin[ static_cast< long >( k ) * instride ] );
	}
	fft( st, st->tmpbuf.data(), t );
	for ( int k = 0; k < n; ++k ) {
		rout[ static_cast< long >( k ) * outstride ] = t[ k ].real();
		iout[ static_cast< long >( k ) * outstride ] = t[ k ].imag();
	}
}

void dct( dct_state * st, double const * in, double * out )
{
	if ( st->inverse ) {
		std::cerr << "fft usage error: improper alloc\n";
		std::cerr.flush();
		std::exit( 1 );
	}
	int const n = st->nfft;
	int const half = n / 2;
	cpx * b = get_tmp_buff( static_cast< unsigned long >( n ) );
	// Even samples ascending, then odd samples descending.
	for ( int k = 0; k < half; ++k ) b[ k ] = cpx( in[ 2 * k ], 0.0 );
	for ( int j = 0; j < half; ++j ) b[ half + j ] = cpx( in[ n - 1 - 2 * j ], 0.0 );
	fft( st, b, st->work.data() );
	for ( int k = 0; k < n; ++k ) {
		cpx const & w = st->work[ k ];
		cpx const & t = st->dct_twiddles[ k ];
		out[ k ] = 2.0 * ( w.real() * t.real() - w.imag() * t.imag() );
	}
}
