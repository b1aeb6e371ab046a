// Layouts, Wigner-d recurrence, Wigner syntheses and the per-order Legendre
// transforms of the rotational correlation.
#include "sht/SO3coeffs.hh"

#include "sht/cosine_transform.hh"

#include <algorithm>
#include <cmath>
#include <cstdlib>

typedef std::complex< double > cpx;

namespace {

// Number of SO(3) coefficients of one first order m1 (|m1| = a): B^2 - a^2.
inline int orderBlockSize( int B, int a )
{
	return B * B - a * a;
}

// Number of coefficients of the pair (m1, m2): B - max(|m1|, |m2|).
inline int pairSize( int B, int a, int k )
{
	return B - std::max( a, k );
}

inline double parity( int k )
{
	return ( k % 2 == 0 ) ? 1.0 : -1.0;
}

} // namespace

int SO3coeffs::lm_index( int m, int l ) const
{
	int const B = B_;
	if ( m >= 0 ) return B * m - ( m * ( m - 1 ) ) / 2 + ( l - m );
	return ( ( B + 2 ) * ( B - 1 ) ) / 2 + 1 + ( ( B - 1 + m ) * ( B + m ) ) / 2 + ( l + m );
}

int SO3coeffs::so3CoefCount() const
{
	return ( B_ * ( 4 * B_ * B_ - 1 ) ) / 3;
}

int SO3coeffs::wignerTableSize() const
{
	return ( B_ * B_ * ( B_ + 1 ) * ( B_ + 2 ) ) / 3;
}

int SO3coeffs::coefLoc( int m1, int m2 ) const
{
	int const B = B_;
	int loc = 0;
	if ( m1 >= 0 ) {
		if ( m2 >= 0 ) {
			for ( int i = 0; i < m1; ++i ) loc += orderBlockSize( B, i );
			for ( int k = 0; k < m2; ++k ) loc += pairSize( B, m1, k );
		} else {
			for ( int i = 0; i <= m1; ++i ) loc += orderBlockSize( B, i );
			for ( int k = 1; k <= -m2; ++k ) loc -= pairSize( B, m1, k );
		}
	} else {
		int const a = -m1;
		loc = so3CoefCount();
		if ( m2 >= 0 ) {
			for ( int i = 1; i <= a; ++i ) loc -= orderBlockSize( B, i );
			for ( int k = 0; k < m2; ++k ) loc += pairSize( B, a, k );
		} else {
			for ( int i = 1; i < a; ++i ) loc -= orderBlockSize( B, i );
			for ( int k = 1; k <= -m2; ++k ) loc -= pairSize( B, a, k );
		}
	}
	return loc;
}

int SO3coeffs::sampLoc( int m1, int m2 ) const
{
	int const n = 2 * B_;
	int const M1 = m1 < 0 ? n + m1 : m1;
	int const M2 = m2 < 0 ? n + m2 : m2;
	return n * ( M1 * n + M2 );
}

int SO3coeffs::transposeRowSize( int row, int m ) const
{
	int const B = B_;
	int const r = row;
	if ( B % 2 == 0 ) {
		if ( m == 0 ) return ( B - r ) / 2 + ( r % 2 );
		if ( m % 2 == 0 ) {
			if ( m > r ) return ( B - m ) / 2;
			return ( B - r ) / 2 + ( r % 2 );
		}
		if ( m == 1 ) return ( B - r ) / 2;
		if ( r < m - 1 ) return ( B - m + 1 ) / 2 - ( r % 2 );
		return ( B - r ) / 2;
	}
	if ( m % 2 == 0 ) {
		if ( m > r ) return ( ( r + 1 ) % 2 ) + ( B - m ) / 2;
		return ( ( r + 1 ) % 2 ) + ( B - r ) / 2;
	}
	if ( m - 1 > r ) return ( B - m + 1 ) / 2;
	return ( B - r ) / 2;
}

void SO3coeffs::genWigner_ds( int m1, int m2, Table const & cosBeta, Table const & sinHalf, Table const & cosHalf,
	Table & table, int start, Table & work1, Table & work2 ) const
{
	int const B = B_;
	int const n = 2 * B;
	int const a1 = std::abs( m1 );
	int const a2 = std::abs( m2 );
	int const L = std::max( a1, a2 );
	int const mu = std::min( a1, a2 );
	if ( L > B - 1 ) return;
	int const width = B - L;

	// Normalisation of the first degree: sqrt((2L+1)/2) sqrt(binomial(2L, L - mu)).
	double norm = std::sqrt( ( 2.0 * L + 1.0 ) / 2.0 );
	for ( int i = 0; i < L - mu; ++i ) {
		norm *= std::sqrt( static_cast< double >( 2 * L - i ) / static_cast< double >( i + 1 ) );
	}

	// Powers of cos(beta/2) and sin(beta/2) and the sign of d^L.
	int cosPow, sinPow;
	double sign;
	if ( L == a1 ) {
		if ( m1 >= 0 ) {
			cosPow = L + m2;
			sinPow = L - m2;
			sign = parity( L - m2 );
		} else {
			cosPow = L - m2;
			sinPow = L + m2;
			sign = 1.0;
		}
	} else if ( m2 >= 0 ) {
		cosPow = L + m1;
		sinPow = L - m1;
		sign = 1.0;
	} else {
		cosPow = L - m1;
		sinPow = L + m1;
		sign = parity( L + m1 );
	}

	// work1: degree l - 1 (zero below L); work2: degree l.
	work1.assign( n, 0.0 );
	work2.assign( n, 0.0 );
	for ( int j = 0; j < n; ++j ) {
		double const v = sign * norm * std::pow( sinHalf[ j ], sinPow ) * std::pow( cosHalf[ j ], cosPow );
		work2[ j ] = v;
		table[ start + j * width ] = v;
	}

	double const mm1 = m1 * m1;
	double const mm2 = m2 * m2;
	for ( int l = L; l <= B - 2; ++l ) {
		double const lp1sq = ( l + 1.0 ) * ( l + 1.0 );
		double const denom = std::sqrt( ( lp1sq - mm1 ) * ( lp1sq - mm2 ) );
		double const a = std::sqrt( ( 2.0 * l + 3.0 ) / ( 2.0 * l + 1.0 ) ) * ( l + 1.0 ) * ( 2.0 * l + 1.0 ) / denom;
		double shift = 0.0;
		double c = 0.0;
		if ( l > 0 ) {
			shift = static_cast< double >( m1 ) * m2 / ( static_cast< double >( l ) * ( l + 1.0 ) );
			double const lsq = static_cast< double >( l ) * l;
			c = -std::sqrt( ( 2.0 * l + 3.0 ) / ( 2.0 * l - 1.0 ) ) * ( ( l + 1.0 ) / l )
				* std::sqrt( ( lsq - mm1 ) * ( lsq - mm2 ) ) / denom;
		}
		int const col = l + 1 - L;
		for ( int j = 0; j < n; ++j ) {
			double const next = a * ( cosBeta[ j ] - shift ) * work2[ j ] + c * work1[ j ];
			work1[ j ] = work2[ j ];
			work2[ j ] = next;
			table[ start + j * width + col ] = next;
		}
	}
}

void SO3coeffs::wignerSynthesis( int m1, int m2, ComplexGrid const & coefs, int coefStart, Table const & table,
	int wigStart, ComplexGrid & samples, int sampStart ) const
{
	int const B = B_;
	int const L = std::max( std::abs( m1 ), std::abs( m2 ) );
	int const width = B - L;
	for ( int j = 0; j < 2 * B; ++j ) {
		double re = 0.0, im = 0.0;
		int const row = wigStart + j * width;
		for ( int i = 0; i < width; ++i ) {
			cpx const & c = coefs[ coefStart + i ];
			double const d = table[ row + i ];
			re += c.real() * d;
			im += c.imag() * d;
		}
		samples[ sampStart + j ] = cpx( re, im );
	}
}

void SO3coeffs::wignerSynthesisSameSign( int m1, int m2, ComplexGrid const & coefs, int coefStart,
	Table const & table, int wigStart, ComplexGrid & samples, int sampStart ) const
{
	wignerSynthesis( m1, m2, coefs, coefStart, table, wigStart, samples, sampStart );
	if ( std::abs( m1 - m2 ) % 2 == 1 ) {
		for ( int j = 0; j < 2 * B_; ++j ) samples[ sampStart + j ] = -samples[ sampStart + j ];
	}
}

void SO3coeffs::wignerSynthesisDiffSign( int m1, int m2, ComplexGrid const & coefs, int coefStart,
	Table const & table, int wigStart, ComplexGrid & samples, int sampStart,
	utility::vector0< std::complex< double > > & work ) const
{
	int const B = B_;
	int const L = std::max( std::abs( m1 ), std::abs( m2 ) );
	int const width = B - L;
	double s = ( m1 < 0 ) ? parity( L - m2 ) : parity( m1 + L );
	work.assign( width > 0 ? width : 0, cpx( 0.0, 0.0 ) );
	for ( int i = 0; i < width; ++i ) {
		work[ i ] = s * coefs[ coefStart + i ];
		s = -s;
	}
	for ( int j = 0; j < 2 * B; ++j ) {
		double re = 0.0, im = 0.0;
		int const row = wigStart + ( 2 * B - 1 - j ) * width;
		for ( int i = 0; i < width; ++i ) {
			double const d = table[ row + i ];
			re += work[ i ].real() * d;
			im += work[ i ].imag() * d;
		}
		samples[ sampStart + j ] = cpx( re, im );
	}
}

void SO3coeffs::Legendre( Table const & samples, int start, int m, Table & result, Table const & table,
	Table const & weights, Table & work1, Table & work2, dct_state * plan ) const
{
	int const B = B_;
	int const n = 2 * B;
	result.assign( B - m, 0.0 );
	work1.assign( n, 0.0 );
	work2.assign( n, 0.0 );

	// Quadrature weights; odd orders carry one factor sin(theta) outside
	// their tables, and their weights carry it instead.
	int const wOff = ( m % 2 == 0 ) ? 0 : n;
	for ( int j = 0; j < n; ++j ) work1[ j ] = samples[ start + j ] * weights[ j + wOff ];

	dct( plan, work1.data(), work2.data() );
	double const scale = 1.0 / std::sqrt( 4.0 * B );
	for ( int k = 0; k < n; ++k ) work2[ k ] *= scale;
	work2[ 0 ] *= 1.0 / std::sqrt( 2.0 );

	// Each degree's stored cosine coefficients: the indices of the parity of
	// its polynomial degree d, up to d.
	int pos = 0;
	for ( int l = m; l < B; ++l ) {
		int const d = ( m % 2 == 0 ) ? l : l - 1;
		double sum = 0.0;
		for ( int k = d % 2; k <= d; k += 2 ) sum += table[ pos++ ] * work2[ k ];
		result[ l - m ] = sum;
	}
}

void SO3coeffs::InvLegendre( Table const & coefs, int coefStart, int m, Table & result, Table const & tableT,
	Table const & sinTable, Table & work, dct_state * plan ) const
{
	int const B = B_;
	int const n = 2 * B;
	result.assign( n, 0.0 );
	work.assign( n, 0.0 );

	int rowStart = 0;
	for ( int r = 0; r < B; ++r ) {
		int const len = transposeRowSize( r, m );
		// First degree with a cosine coefficient of index r, as an offset from m.
		int sr;
		if ( r <= m ) {
			sr = r % 2;
		} else {
			sr = ( m % 2 == 0 ) ? r - m : r - m + 1;
		}
		if ( !( m % 2 == 1 && r == B - 1 ) ) {
			double sum = 0.0;
			for ( int i = 0; i < len; ++i ) sum += coefs[ coefStart + sr + 2 * i ] * tableT[ rowStart + i ];
			work[ r ] = sum;
		}
		rowStart += len;
	}

	work[ 0 ] /= std::sqrt( 2.0 * B );
	double const scale = 0.5 / std::sqrt( static_cast< double >( B ) );
	for ( int r = 1; r < B; ++r ) work[ r ] *= scale;

	idct( plan, work.data(), result.data() );
	if ( m % 2 == 1 ) {
		for ( int j = 0; j < n; ++j ) result[ j ] *= sinTable[ j ];
	}
}
