// Correlation of two shell sets over the rotation grid: per shell the
// coefficient products in the SO(3) Fourier domain, an inverse SO(3) Fourier
// transform (naive Wigner synthesis over beta, DFTs over the two orders), and
// a weighted sum over the shells.
#include "sht/SHT.hh"

#include "farray/assert.hh"

#include <algorithm>
#include <cmath>
#include <cstdlib>

typedef std::complex< double > cpx;

namespace {

double const pi = 3.14159265358979323846;

} // namespace

void transpose_so3( SHT::ComplexGrid const & a, SHT::ComplexGrid & b, int n, int m )
{
	FARRAY_ASSERT_IN( a.size() >= static_cast< std::size_t >( n ) * m, "sht/so3_correlation.cc" );
	FARRAY_ASSERT_IN( b.size() >= static_cast< std::size_t >( n ) * m, "sht/so3_correlation.cc" );
	cpx const * src = a.data();
	cpx * dst = b.data();
	// Tile by tile: a few source rows (few enough that their cache lines do
	// not evict each other, however far apart the rows lie) times a run of
	// columns, so reads stream along the rows and writes fill whole lines.
	long const tileRows = 8, tileCols = 64;
	for ( long c0 = 0; c0 < n; c0 += tileRows ) {
		long const c1 = std::min< long >( n, c0 + tileRows );
		for ( long r0 = 0; r0 < m; r0 += tileCols ) {
			long const r1 = std::min< long >( m, r0 + tileCols );
			for ( long r = r0; r < r1; ++r ) {
				cpx * out = dst + r * n;
				for ( long c = c0; c < c1; ++c ) out[ c ] = src[ c * m + r ];
			}
		}
	}
}

void SHT::so3CombineCoef( Table const & sigR, Table const & sigI, Table const & patR, Table const & patI,
	ComplexGrid & so3Coef )
{
	int const B = B_;
	farray::DynamicIndexRange const IN( 2 * B );
	so3Coef.dimension( IN, IN, IN );
	so3Coef = cpx( 0.0, 0.0 );

	// The correlation at rotation R is sum over (l, m1, m2) of
	// f(l,m1) conj(h(l,m2)) conj(D^l_{m1 m2}(R)), D the Wigner D-matrix of
	// z-y-z Euler angles.  The grid point (alpha, beta, gamma) stands for the
	// transpose of Rz(alpha) Rx(beta) Rz(gamma), which in z-y-z angles is
	// (pi/2 - gamma, beta, 3pi/2 - alpha); the inverse transform below supplies
	// d^l_{m1 m2}(beta) exp(-i m1 gamma) exp(-i m2 alpha), so what is left is
	// the phase exp(i m1 pi/2) exp(i m2 3pi/2) = i^(m1 - m2).  (Taking the
	// pattern at -m2 with the sign (-1)^(m1+m2) instead, as first written,
	// correlates the point-inverted signal: its maximum lies at an unrelated
	// rotation.)
	//
	// Phases i^(m1 - m2), indexed by (m1 - m2) mod 4.
	cpx const phase[ 4 ] = { cpx( 1.0, 0.0 ), cpx( 0.0, 1.0 ), cpx( -1.0, 0.0 ), cpx( 0.0, -1.0 ) };
	for ( int m1 = -( B - 1 ); m1 < B; ++m1 ) {
		for ( int m2 = -( B - 1 ); m2 < B; ++m2 ) {
			int const L = std::max( std::abs( m1 ), std::abs( m2 ) );
			int const loc = so3_.coefLoc( m1, m2 );
			cpx const ph = phase[ ( ( m1 - m2 ) % 4 + 4 ) % 4 ];
			for ( int l = L; l < B; ++l ) {
				double const F = 2.0 * pi * std::sqrt( 2.0 / ( 2.0 * l + 1.0 ) );
				int const fi = so3_.lm_index( m1, l );
				int const hi = so3_.lm_index( m2, l );
				cpx const f( sigR[ fi ], sigI[ fi ] );
				cpx const h( patR[ hi ], patI[ hi ] );
				so3Coef[ loc + l - L ] = F * ph * f * std::conj( h );
			}
		}
	}
}

void SHT::inverseSo3( ComplexGrid const & coefs, ComplexGrid & samples )
{
	int const B = B_;
	int const n = 2 * B;
	farray::DynamicIndexRange const IN( n );
	samples.dimension( IN, IN, IN );
	if ( B <= 0 ) return;
	FARRAY_ASSERT_IN( coefs.size() >= static_cast< std::size_t >( so3_.so3CoefCount() ), "sht/so3_correlation.cc" );

	SO3coeffs const & w = so3_;
	utility::vector0< cpx > work;

	// Conjugate copy of the beta-samples of one pair into another.
	auto conjugate = [&]( int fromLoc, int toLoc ) {
		for ( int j = 0; j < n; ++j ) samples[ toLoc + j ] = std::conj( samples[ fromLoc + j ] );
	};

	w.wignerSynthesis( 0, 0, coefs, w.coefLoc( 0, 0 ), wig_, 0, samples, w.sampLoc( 0, 0 ) );

	for ( int m = 1; m < B; ++m ) {
		int const blk = wigBlockStart( m, m );
		w.wignerSynthesis( m, m, coefs, w.coefLoc( m, m ), wig_, blk, samples, w.sampLoc( m, m ) );
		conjugate( w.sampLoc( m, m ), w.sampLoc( -m, -m ) );
		w.wignerSynthesisDiffSign( -m, m, coefs, w.coefLoc( -m, m ), wig_, blk, samples, w.sampLoc( -m, m ), work );
		conjugate( w.sampLoc( -m, m ), w.sampLoc( m, -m ) );
	}

	for ( int m = 1; m < B; ++m ) {
		int const blk = wigBlockStart( m, 0 );
		w.wignerSynthesis( m, 0, coefs, w.coefLoc( m, 0 ), wig_, blk, samples, w.sampLoc( m, 0 ) );
		conjugate( w.sampLoc( m, 0 ), w.sampLoc( -m, 0 ) );
		w.wignerSynthesisSameSign( 0, m, coefs, w.coefLoc( 0, m ), wig_, blk, samples, w.sampLoc( 0, m ) );
		conjugate( w.sampLoc( 0, m ), w.sampLoc( 0, -m ) );
	}

	for ( int m1 = 1; m1 < B - 1; ++m1 ) {
		for ( int m2 = m1 + 1; m2 < B; ++m2 ) {
			int const blk = wigBlockStart( m1, m2 );
			w.wignerSynthesis( m1, m2, coefs, w.coefLoc( m1, m2 ), wig_, blk, samples, w.sampLoc( m1, m2 ) );
			conjugate( w.sampLoc( m1, m2 ), w.sampLoc( -m1, -m2 ) );
			w.wignerSynthesisDiffSign( m1, -m2, coefs, w.coefLoc( m1, -m2 ), wig_, blk, samples, w.sampLoc( m1, -m2 ),
				work );
			conjugate( w.sampLoc( m1, -m2 ), w.sampLoc( -m1, m2 ) );
			w.wignerSynthesisSameSign( m2, m1, coefs, w.coefLoc( m2, m1 ), wig_, blk, samples, w.sampLoc( m2, m1 ) );
			conjugate( w.sampLoc( m2, m1 ), w.sampLoc( -m2, -m1 ) );
			// d^l_{m2,-m1} equals d^l_{m1,-m2}: the same signs and reversed rows.
			w.wignerSynthesisDiffSign( m1, -m2, coefs, w.coefLoc( m2, -m1 ), wig_, blk, samples, w.sampLoc( m2, -m1 ),
				work );
			conjugate( w.sampLoc( m2, -m1 ), w.sampLoc( -m2, m1 ) );
		}
	}

	// Order index B lies between B-1 and -(B-1): no such order.
	for ( int q = 0; q < n; ++q ) {
		int const byFirst = n * ( B * n + q );
		int const bySecond = n * ( q * n + B );
		for ( int j = 0; j < n; ++j ) {
			samples[ byFirst + j ] = cpx( 0.0, 0.0 );
			samples[ bySecond + j ] = cpx( 0.0, 0.0 );
		}
	}

	// DFT over the first order, then over the second: the layout (M1, M2,
	// beta) goes to (M2, beta, k1), then to (beta, k1, k2).
	ComplexGrid tmp( IN, IN, IN );
	long const rows = static_cast< long >( n ) * n;
	for ( int pass = 0; pass < 2; ++pass ) {
		transpose_so3( samples, tmp, n, n * n );
		for ( long r = 0; r < rows; ++r ) fft( &fftPlan_, tmp.data() + r * n, samples.data() + r * n );
	}

	double const scale = 1.0 / ( 2.0 * pi );
	cpx * v = samples.data();
	for ( long i = 0; i < rows * n; ++i ) v[ i ] *= scale;
}

void SHT::so3_correlate( RealGrid & result, RealGrid const & sigR, RealGrid const & sigI, RealGrid const & patR,
	RealGrid const & patI )
{
	init( sigR.u2(), sigR.u3() );
	int const B = B_;
	int const n = 2 * B;
	int const nR = nR_;
	FARRAY_ASSERT_IN( sigR.u1() == B, "sht/so3_correlation.cc" );
	FARRAY_ASSERT_IN( sigI.u1() == B && sigI.u2() == B && sigI.u3() == nR, "sht/so3_correlation.cc" );
	FARRAY_ASSERT_IN( patR.u1() == B && patR.u2() == B && patR.u3() == nR, "sht/so3_correlation.cc" );
	FARRAY_ASSERT_IN( patI.u1() == B && patI.u2() == B && patI.u3() == nR, "sht/so3_correlation.cc" );

	double W = 0.0;
	for ( int r = 1; r <= nR; ++r ) W += 4.0 * r * r;

	farray::DynamicIndexRange const IN( n );
	result.dimension( IN, IN, IN );
	result = 0.0;

	std::size_t const shellCoefs = static_cast< std::size_t >( B ) * B;
	std::size_t const total = static_cast< std::size_t >( n ) * n * n;
	Table sr( shellCoefs ), si( shellCoefs ), pr( shellCoefs ), pi_( shellCoefs );
	ComplexGrid coefs, samples;
	for ( int r = 1; r <= nR; ++r ) {
		std::size_t const off = ( r - 1 ) * shellCoefs;
		for ( std::size_t i = 0; i < shellCoefs; ++i ) {
			sr[ i ] = sigR[ off + i ];
			si[ i ] = sigI[ off + i ];
			pr[ i ] = patR[ off + i ];
			pi_[ i ] = patI[ off + i ];
		}
		so3CombineCoef( sr, si, pr, pi_, coefs );
		inverseSo3( coefs, samples );
		double const wr = 4.0 * r * r / W;
		for ( std::size_t i = 0; i < total; ++i ) result[ i ] += wr * samples[ i ].real();
	}
}
