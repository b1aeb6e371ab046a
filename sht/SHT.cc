// Tables, per-shell transforms, standardisation and rotation-grid indices of
// the spherical-harmonic transform.
#include "sht/SHT.hh"

#include "farray/assert.hh"

#include <cmath>
#include <cstdlib>
#include <iostream>

// Checks that stay active in every build, reported as assertion failures.
#define SHT_ASSERT( cond ) FARRAY_ASSERT_IN( cond, "sht/SHT.cc" )

namespace {

double const pi = 3.14159265358979323846;

} // namespace

SHT::SHT() : B_( 0 ), nR_( 0 )
{
}

SHT::SHT( int B, int nR ) : B_( 0 ), nR_( 0 )
{
	init( B, nR );
}

void SHT::releasePlans()
{
	fftPlan_ = fft_state();
	splitFwd_ = fftsplit_state();
	splitInv_ = fftsplit_state();
	dctFwd_ = dct_state();
	dctInv_ = dct_state();
}

void SHT::init( int B, int nR )
{
	if ( B == B_ && nR == nR_ ) return;
	if ( B % 2 != 0 ) {
		std::cerr << "Odd bandwidths unsupported!\n" << std::endl;
		std::exit( 1 );
	}
	if ( B < 0 ) {
		std::cerr << "Negative bandwidths unsupported!\n" << std::endl;
		std::exit( 1 );
	}
	B_ = B;
	nR_ = nR;
	so3_.setBandwidth( B );
	pml_.clear();
	pmlT_.clear();
	wig_.clear();
	releasePlans();

	setup_Weights();
	setup_Pmls();
	setup_Wig();

	int const n = 2 * B;
	fftPlan_ = fft_state( n, 0 );
	splitFwd_ = fftsplit_state( n, 0 );
	splitInv_ = fftsplit_state( n, 0 );
	dctFwd_ = dct_state( n, 0 );
	dctInv_ = dct_state( n, 1 );
}

void SHT::setup_Weights()
{
	int const B = B_;
	int const n = 2 * B;
	weights_.assign( 2 * n, 0.0 );
	for ( int j = 0; j < n; ++j ) {
		double const t = ( 2 * j + 1 ) * pi / ( 4.0 * B );
		double sum = 0.0;
		for ( int i = 0; i < B; ++i ) sum += std::sin( ( 2 * i + 1 ) * t ) / ( 2 * i + 1 );
		weights_[ j ] = ( 2.0 / B ) * std::sin( t ) * sum;
		weights_[ j + n ] = weights_[ j ] * std::sin( t );
	}
}

void SHT::setup_Pmls()
{
	int const B = B_;
	pml_.assign( B, Table() );
	pmlT_.assign( B, Table() );
	if ( B <= 0 ) return;

	dct_state plan( B, 0 );
	Table s( B ), x( B ), sinS( B );
	for ( int i = 0; i < B; ++i ) {
		s[ i ] = ( 2 * i + 1 ) * pi / ( 2.0 * B );
		x[ i ] = std::cos( s[ i ] );
		sinS[ i ] = std::sin( s[ i ] );
	}

	Table prev( B ), cur( B ), next( B ), cosCoef( B );
	for ( int m = 0; m < B; ++m ) {
		bool const odd = ( m % 2 == 1 );
		// P_m^m at the nodes; for odd orders one factor sin(theta) stays out.
		double cm;
		if ( m == 0 ) {
			cm = 0.7071067811865475;
		} else {
			cm = std::sqrt( m + 0.5 );
			for ( int i = 0; i < m; ++i ) cm *= std::sqrt( ( m - i / 2.0 ) / ( m - i ) );
			cm *= std::pow( 2.0, -m / 2.0 );
			if ( odd ) cm = -cm;
		}
		int const power = odd ? m - 1 : m;
		for ( int i = 0; i < B; ++i ) {
			prev[ i ] = 0.0;
			cur[ i ] = cm * std::pow( sinS[ i ], power );
		}

		Table & table = pml_[ m ];
		// Start of each degree's entries in the table, for the transposition.
		utility::vector0< int > entryStart( B - m );
		for ( int l = m; l < B; ++l ) {
			dct( &plan, cur.data(), cosCoef.data() );
			double const scale = 1.0 / std::sqrt( static_cast< double >( B ) );
			for ( int k = 0; k < B; ++k ) cosCoef[ k ] *= scale;
			cosCoef[ 0 ] *= 0.7071067811865475;

			int const d = odd ? l - 1 : l;
			entryStart[ l - m ] = static_cast< int >( table.size() );
			for ( int k = d % 2; k <= d; k += 2 ) table.push_back( cosCoef[ k ] );

			if ( l + 1 < B ) {
				// Three-term recurrence to degree l + 1.
				double const a = std::sqrt( ( ( 2.0 * l + 3.0 ) / ( 2.0 * l + 1.0 ) ) * ( ( l - m + 1.0 ) / ( l + m + 1.0 ) ) )
					* ( 2.0 * l + 1.0 ) / ( l - m + 1.0 );
				double c = 0.0;
				if ( l > 0 ) {
					c = -( ( l + m ) / ( l - m + 1.0 ) )
						* std::sqrt( ( static_cast< double >( l - m ) / ( l + m ) ) * ( ( l - m + 1.0 ) / ( l + m + 1.0 ) )
							* ( ( 2.0 * l + 3.0 ) / ( 2.0 * l - 1.0 ) ) );
				}
				for ( int i = 0; i < B; ++i ) next[ i ] = a * x[ i ] * cur[ i ] + c * prev[ i ];
				prev.swap( cur );
				cur.swap( next );
			}
		}

		// Transposed table: rows by cosine index r, each listing, for rising
		// degree, the coefficient of index r of the degrees that have one.
		Table & tableT = pmlT_[ m ];
		tableT.reserve( table.size() );
		for ( int r = 0; r < B; ++r ) {
			for ( int l = m; l < B; ++l ) {
				int const d = odd ? l - 1 : l;
				if ( r > d || ( d - r ) % 2 != 0 ) continue;
				tableT.push_back( table[ entryStart[ l - m ] + ( r - d % 2 ) / 2 ] );
			}
		}
	}
}

int SHT::wigBlockStart( int m1, int m2 ) const
{
	int const B = B_;
	int const n = 2 * B;
	if ( m1 == 0 && m2 == 0 ) return 0;
	int pos = n * B; // after (0,0)
	if ( m1 == m2 ) {
		for ( int k = 1; k < m1; ++k ) pos += n * ( B - k );
		return pos;
	}
	for ( int k = 1; k < B; ++k ) pos += n * ( B - k ); // after every (m,m)
	if ( m2 == 0 ) {
		for ( int k = 1; k < m1; ++k ) pos += n * ( B - k );
		return pos;
	}
	for ( int k = 1; k < B; ++k ) pos += n * ( B - k ); // after every (m,0)
	for ( int a = 1; a < m1; ++a ) {
		for ( int b = a + 1; b < B; ++b ) pos += n * ( B - b );
	}
	for ( int b = m1 + 1; b < m2; ++b ) pos += n * ( B - b );
	return pos;
}

void SHT::setup_Wig()
{
	int const B = B_;
	int const n = 2 * B;
	wig_.assign( so3_.wignerTableSize(), 0.0 );
	if ( B <= 0 ) return;

	Table sinB( n ), cosB( n ), sinH( n ), cosH( n ), work1, work2;
	for ( int j = 0; j < n; ++j ) {
		double const beta = ( 2 * j + 1 ) * pi / ( 4.0 * B );
		sinB[ j ] = std::sin( beta );
		cosB[ j ] = std::cos( beta );
		sinH[ j ] = std::sin( beta / 2.0 );
		cosH[ j ] = std::cos( beta / 2.0 );
	}

	int start = 0;
	so3_.genWigner_ds( 0, 0, cosB, sinH, cosH, wig_, start, work1, work2 );
	start += n * B;
	for ( int m = 1; m < B; ++m ) {
		so3_.genWigner_ds( m, m, cosB, sinH, cosH, wig_, start, work1, work2 );
		start += n * ( B - m );
	}
	for ( int m = 1; m < B; ++m ) {
		so3_.genWigner_ds( m, 0, cosB, sinH, cosH, wig_, start, work1, work2 );
		start += n * ( B - m );
	}
	for ( int m1 = 1; m1 < B - 1; ++m1 ) {
		for ( int m2 = m1 + 1; m2 < B; ++m2 ) {
			so3_.genWigner_ds( m1, m2, cosB, sinH, cosH, wig_, start, work1, work2 );
			start += n * ( B - m2 );
		}
	}
}

void SHT::forwardS2( Table & samples, Table & re, Table & im )
{
	int const B = B_;
	int const n = 2 * B;
	SHT_ASSERT( samples.size() >= static_cast< std::size_t >( n ) * n );
	re.assign( B * B, 0.0 );
	im.assign( B * B, 0.0 );
	if ( B <= 0 ) return;

	// Longitude DFT of every colatitude row, stored by order index q: the
	// 2B colatitude values of one order are contiguous.
	Table colRe( n * n ), colIm( n * n ), zeros( n, 0.0 );
	for ( int j = 0; j < n; ++j ) {
		fft_split( &splitFwd_, samples.data() + j * n, zeros.data(), colRe.data() + j, colIm.data() + j, 1, n );
	}
	double const scale = 1.2533141373155001 / B; // sqrt(2 pi) / (2B)
	for ( int i = 0; i < n * n; ++i ) {
		colRe[ i ] *= scale;
		colIm[ i ] *= scale;
	}

	Table result, work1, work2;
	for ( int m = 0; m < B; ++m ) {
		so3_.Legendre( colRe, m * n, m, result, pml_[ m ], weights_, work1, work2, &dctFwd_ );
		for ( int l = m; l < B; ++l ) re[ so3_.lm_index( m, l ) ] = result[ l - m ];
		so3_.Legendre( colIm, m * n, m, result, pml_[ m ], weights_, work1, work2, &dctFwd_ );
		for ( int l = m; l < B; ++l ) im[ so3_.lm_index( m, l ) ] = result[ l - m ];
	}

	// Real samples: f(l, -m) = (-1)^m conj(f(l, m)).
	for ( int m = 1; m < B; ++m ) {
		double const sign = ( m % 2 == 0 ) ? 1.0 : -1.0;
		for ( int l = m; l < B; ++l ) {
			re[ so3_.lm_index( -m, l ) ] = sign * re[ so3_.lm_index( m, l ) ];
			im[ so3_.lm_index( -m, l ) ] = -sign * im[ so3_.lm_index( m, l ) ];
		}
	}
}

void SHT::inverseS2( Table & re, Table & im, Table & samples )
{
	int const B = B_;
	int const n = 2 * B;
	SHT_ASSERT( re.size() >= static_cast< std::size_t >( B ) * B );
	SHT_ASSERT( im.size() >= static_cast< std::size_t >( B ) * B );
	samples.assign( n * n, 0.0 );
	if ( B <= 0 ) return;

	Table sinT( n );
	for ( int j = 0; j < n; ++j ) sinT[ j ] = std::sin( ( 2 * j + 1 ) * pi / ( 4.0 * B ) );

	// Order values g_m(theta_j), order index q at q 2B.
	Table colRe( n * n, 0.0 ), colIm( n * n, 0.0 ), result, work;
	for ( int m = 0; m < B; ++m ) {
		int const start = so3_.lm_index( m, m );
		so3_.InvLegendre( re, start, m, result, pmlT_[ m ], sinT, work, &dctInv_ );
		for ( int j = 0; j < n; ++j ) colRe[ m * n + j ] = result[ j ];
		so3_.InvLegendre( im, start, m, result, pmlT_[ m ], sinT, work, &dctInv_ );
		for ( int j = 0; j < n; ++j ) colIm[ m * n + j ] = result[ j ];
	}
	// Order B is beyond the band; negative orders are the conjugates of the
	// positive ones (the samples are real).
	for ( int j = 0; j < n; ++j ) {
		colRe[ B * n + j ] = 0.0;
		colIm[ B * n + j ] = 0.0;
	}
	for ( int q = B + 1; q < n; ++q ) {
		for ( int j = 0; j < n; ++j ) {
			colRe[ q * n + j ] = colRe[ ( n - q ) * n + j ];
			colIm[ q * n + j ] = -colIm[ ( n - q ) * n + j ];
		}
	}
	// The samples are f(theta_j, phi_k) = sum_q g_q(theta_j) exp(+i q phi_k) / sqrt(2 pi).
	// The plan runs the forward kernel exp(-i q phi_k); on the conjugated
	// values it gives the conjugate of that sum, whose real part is the same.
	// (Fed the values unconjugated it would give f(theta, -phi), the mirror
	// image, whose analysis returns the conjugated coefficients.)
	double const scale = 0.3989422804014327; // 1 / sqrt(2 pi)
	for ( int i = 0; i < n * n; ++i ) {
		colRe[ i ] *= scale;
		colIm[ i ] *= -scale;
	}

	Table outRe( n ), outIm( n );
	for ( int j = 0; j < n; ++j ) {
		fft_split( &splitInv_, colRe.data() + j, colIm.data() + j, outRe.data(), outIm.data(), n, 1 );
		for ( int k = 0; k < n; ++k ) samples[ j * n + k ] = outRe[ k ];
	}
}

void SHT::sharm_transform( RealGrid const & signal, RealGrid & coefRe, RealGrid & coefIm )
{
	init( signal.u2() / 2, signal.u3() );
	int const B = B_;
	int const n = 2 * B;
	SHT_ASSERT( signal.u1() == n && signal.u2() == n );
	farray::DynamicIndexRange const IB( B ), IR( nR_ );
	coefRe.dimension( IB, IB, IR );
	coefIm.dimension( IB, IB, IR );

	std::size_t const shellSamples = static_cast< std::size_t >( n ) * n;
	std::size_t const shellCoefs = static_cast< std::size_t >( B ) * B;
	Table samples( shellSamples ), re, im;
	for ( int r = 0; r < nR_; ++r ) {
		for ( std::size_t i = 0; i < shellSamples; ++i ) samples[ i ] = signal[ r * shellSamples + i ];
		forwardS2( samples, re, im );
		for ( std::size_t i = 0; i < shellCoefs; ++i ) {
			coefRe[ r * shellCoefs + i ] = re[ i ];
			coefIm[ r * shellCoefs + i ] = im[ i ];
		}
	}
}

void SHT::sharm_invTransform( RealGrid & signal, RealGrid const & coefRe, RealGrid const & coefIm )
{
	init( coefRe.u2(), coefRe.u3() );
	int const B = B_;
	int const n = 2 * B;
	SHT_ASSERT( coefRe.u1() == B );
	SHT_ASSERT( coefIm.u1() == B && coefIm.u2() == B && coefIm.u3() == nR_ );
	farray::DynamicIndexRange const IN( n ), IR( nR_ );
	signal.dimension( IN, IN, IR );

	std::size_t const shellSamples = static_cast< std::size_t >( n ) * n;
	std::size_t const shellCoefs = static_cast< std::size_t >( B ) * B;
	Table samples, re( shellCoefs ), im( shellCoefs );
	for ( int r = 0; r < nR_; ++r ) {
		for ( std::size_t i = 0; i < shellCoefs; ++i ) {
			re[ i ] = coefRe[ r * shellCoefs + i ];
			im[ i ] = coefIm[ r * shellCoefs + i ];
		}
		inverseS2( re, im, samples );
		for ( std::size_t i = 0; i < shellSamples; ++i ) signal[ r * shellSamples + i ] = samples[ i ];
	}
}

void SHT::sph_standardize( RealGrid & coefRe, RealGrid & coefIm )
{
	int const nR = coefRe.u3();
	int const B = coefRe.u2();
	SHT_ASSERT( coefRe.u1() == B );
	SHT_ASSERT( coefIm.u1() == B && coefIm.u2() == B && coefIm.u3() == nR );
	if ( nR <= 0 || B <= 0 ) return;

	double sumW = 0.0, sumWS = 0.0, sumWMean = 0.0;
	for ( int r = 1; r <= nR; ++r ) {
		double S = 0.0;
		for ( int k = 1; k <= B; ++k ) {
			for ( int i = 1; i <= B; ++i ) {
				if ( i == 1 && k == 1 ) continue;
				double const a = coefRe( i, k, r ), b = coefIm( i, k, r );
				S += a * a + b * b;
			}
		}
		double const w = ( 4.0 * r * r + 1.0 / 3.0 ) * pi;
		sumW += w;
		sumWS += w * S;
		sumWMean += w * coefRe( 1, 1, r );
	}
	double const mu = sumWMean / sumW;

	// Without any non-constant coefficient there is nothing to scale (the
	// scale would divide by zero and turn every zero into NaN).
	if ( sumWS > 0.0 ) {
		double const c = std::sqrt( 1.0 / std::sqrt( 0.015 * B ) );
		double const s = std::sqrt( 2.0 * c * sumW / sumWS );
		for ( int r = 1; r <= nR; ++r ) {
			for ( int k = 1; k <= B; ++k ) {
				for ( int i = 1; i <= B; ++i ) {
					if ( i == 1 && k == 1 ) continue;
					coefRe( i, k, r ) *= s;
					coefIm( i, k, r ) *= s;
				}
			}
		}
	}
	for ( int r = 1; r <= nR; ++r ) {
		coefRe( 1, 1, r ) -= mu;
		coefIm( 1, 1, r ) = 0.0;
	}
}

void SHT::idx_to_euler( int index, double * angles ) const
{
	if ( B_ == 0 ) {
		angles[ 0 ] = angles[ 1 ] = angles[ 2 ] = 0.0;
		return;
	}
	int const n = 2 * B_;
	int const iBeta = index / ( n * n );
	int const iGamma = ( index % ( n * n ) ) / n;
	int const iAlpha = index % n;
	angles[ 0 ] = iAlpha * pi / B_;
	angles[ 1 ] = ( 2 * iBeta + 1 ) * pi / ( 4.0 * B_ );
	angles[ 2 ] = iGamma * pi / B_;
}

void SHT::idx_to_rot( int index, double ** R ) const
{
	if ( B_ == 0 ) {
		for ( int i = 0; i < 3; ++i ) {
			for ( int j = 0; j < 3; ++j ) R[ i ][ j ] = ( i == j ) ? 1.0 : 0.0;
		}
		return;
	}
	double e[ 3 ];
	idx_to_euler( index, e );
	double const ca = std::cos( e[ 0 ] ), sa = std::sin( e[ 0 ] );
	double const cb = std::cos( e[ 1 ] ), sb = std::sin( e[ 1 ] );
	double const cg = std::cos( e[ 2 ] ), sg = std::sin( e[ 2 ] );
	R[ 0 ][ 0 ] = ca * cg - sa * cb * sg;
	R[ 0 ][ 1 ] = sa * cg + ca * cb * sg;
	R[ 0 ][ 2 ] = sb * sg;
	R[ 1 ][ 0 ] = -sa * cb * cg - ca * sg;
	R[ 1 ][ 1 ] = ca * cb * cg - sa * sg;
	R[ 1 ][ 2 ] = sb * cg;
	R[ 2 ][ 0 ] = sa * sb;
	R[ 2 ][ 1 ] = -ca * sb;
	R[ 2 ][ 2 ] = cb;
}
