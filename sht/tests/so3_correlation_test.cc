// Correlation of shell sets over the rotation grid.
#include "sht/SHT.hh"
#include "sht/tests/sht_reference.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

using namespace sht_reference;

TEST( SO3Transpose, WritesTheTransposeOfTheFlatRows )
{
	farray::DynamicIndexRange const I2( 2 ), I3( 3 ), I1( 1 );
	SHT::ComplexGrid a( I2, I3, I1 ), b( I2, I3, I1 );
	for ( int i = 0; i < 6; ++i ) a[ i ] = cpx( i, -i );
	transpose_so3( a, b, 2, 3 ); // 2 rows of 3 -> 3 rows of 2
	int const expect[ 6 ] = { 0, 3, 1, 4, 2, 5 };
	for ( int i = 0; i < 6; ++i ) {
		EXPECT_EQ( b[ i ], cpx( expect[ i ], -expect[ i ] ) );
		EXPECT_EQ( a[ i ], cpx( i, -i ) );
	}
}

struct ShellPair {
	SHT::Table fr, fi, hr, hi;
};

ShellPair random_pair( SO3coeffs const & w, unsigned seed )
{
	std::mt19937 rng( seed );
	ShellPair p;
	random_real_coefficients( w, rng, p.fr, p.fi );
	random_real_coefficients( w, rng, p.hr, p.hi );
	return p;
}

// The combined coefficients fill exactly the documented B(4B^2-1)/3 leading
// entries of the (2B)^3 array.
TEST( SO3Combine, FillsOnlyTheCoefficientLayout )
{
	for ( int B : { 2, 4 } ) {
		SHT sht( B, 1 );
		ShellPair const p = random_pair( sht.wigner(), 5 );
		SHT::ComplexGrid c;
		sht.so3CombineCoef( p.fr, p.fi, p.hr, p.hi, c );
		ASSERT_EQ( c.size(), static_cast< std::size_t >( 8 * B * B * B ) );
		int const count = B * ( 4 * B * B - 1 ) / 3;
		for ( int i = 0; i < static_cast< int >( c.size() ); ++i ) {
			if ( i < count ) {
				EXPECT_GT( std::abs( c[ i ] ), 0.0 ) << i;
			} else {
				EXPECT_EQ( c[ i ], cpx( 0.0, 0.0 ) ) << i;
			}
		}
	}
}

// The inverse SO(3) transform (symmetric syntheses, zeroed order B, two
// DFT passes) against the direct triple sum over degrees and orders.
TEST( SO3Inverse, MatchesTheDirectWignerSum )
{
	int const B = 4, n = 8;
	SHT sht( B, 1 );
	SO3coeffs const & w = sht.wigner();
	ShellPair const p = random_pair( w, 21 );
	SHT::ComplexGrid c, samples;
	sht.so3CombineCoef( p.fr, p.fi, p.hr, p.hi, c );
	sht.inverseSo3( c, samples );
	for ( int ib = 0; ib < n; ++ib ) {
		double const beta = colatitude( B, ib );
		for ( int k1 = 0; k1 < n; ++k1 ) {
			for ( int k2 = 0; k2 < n; ++k2 ) {
				cpx sum = 0.0;
				for ( int m1 = -( B - 1 ); m1 < B; ++m1 ) {
					for ( int m2 = -( B - 1 ); m2 < B; ++m2 ) {
						int const L = std::max( std::abs( m1 ), std::abs( m2 ) );
						cpx const e = std::exp( cpx( 0.0, -2.0 * pi * ( m1 * k1 + m2 * k2 ) / n ) );
						for ( int l = L; l < B; ++l ) sum += c[ w.coefLoc( m1, m2 ) + l - L ] * wigner_d( l, m1, m2, beta ) * e;
					}
				}
				sum /= 2.0 * pi;
				int const idx = ib * n * n + k1 * n + k2;
				ASSERT_NEAR( std::abs( samples[ idx ] - sum ), 0.0, 1e-12 ) << ib << " " << k1 << " " << k2;
			}
		}
	}
}

// For band-limited shells the value at a grid index is exactly
// integral f(w) h(R^-1 w) dw with R = idx_to_rot(index): the pattern h
// rotated by R, against the signal f.  The rotated pattern is sampled term by
// term and analysed, the integral taken by Parseval.
TEST( SO3Correlate, GridValueIsTheCorrelationWithThePatternRotatedByTheGridRotation )
{
	int const B = 8, n = 16;
	SHT sht( B, 1 );
	SO3coeffs const & w = sht.wigner();
	ShellPair const p = random_pair( w, 33 );
	farray::DynamicIndexRange const IB( B ), I1( 1 );
	SHT::RealGrid sr( IB, IB, I1 ), si( IB, IB, I1 ), pr( IB, IB, I1 ), pim( IB, IB, I1 ), result;
	for ( int i = 0; i < B * B; ++i ) {
		sr[ i ] = p.fr[ i ];
		si[ i ] = p.fi[ i ];
		pr[ i ] = p.hr[ i ];
		pim[ i ] = p.hi[ i ];
	}
	sht.so3_correlate( result, sr, si, pr, pim );
	ASSERT_EQ( result.size(), static_cast< std::size_t >( n * n * n ) );
	for ( int index : { 0, 37, 5 * n * n + 3 * n + 11, 9 * n * n + 14 * n + 2, n * n * n - 1 } ) {
		Mat3 const Rt = transpose( grid_rotation( sht, index ) );
		SHT::Table rotated( n * n ), gr, gi;
		for ( int j = 0; j < n; ++j ) {
			for ( int k = 0; k < n; ++k ) {
				Vec3 const u = rotate_vec( Rt, direction( colatitude( B, j ), longitude( B, k ) ) );
				double const th = std::acos( std::max( -1.0, std::min( 1.0, u[ 2 ] ) ) );
				double const ph = std::atan2( u[ 1 ], u[ 0 ] );
				rotated[ j * n + k ] = evaluate( w, p.hr, p.hi, th, ph );
			}
		}
		sht.forwardS2( rotated, gr, gi );
		double expect = 0.0;
		for ( int i = 0; i < B * B; ++i ) expect += p.fr[ i ] * gr[ i ] + p.fi[ i ] * gi[ i ];
		EXPECT_NEAR( result[ index ], expect, 1e-9 * ( 1.0 + std::fabs( expect ) ) ) << "index " << index;
	}
}

// Constant shells correlate to the same value, 4 pi c1 c2, at every rotation.
TEST( SO3Correlate, ConstantShellsGiveAConstantCorrelation )
{
	int const B = 4, nR = 2;
	farray::DynamicIndexRange const IB( B ), IR( nR );
	SHT::RealGrid sr( IB, IB, IR, 0.0 ), si( IB, IB, IR, 0.0 ), pr( IB, IB, IR, 0.0 ), pim( IB, IB, IR, 0.0 ), result;
	double const y0 = std::sqrt( 4.0 * pi );
	sr( 1, 1, 1 ) = 2.0 * y0;
	sr( 1, 1, 2 ) = 2.0 * y0;
	pr( 1, 1, 1 ) = 3.0 * y0;
	pr( 1, 1, 2 ) = 3.0 * y0;
	SHT sht;
	sht.so3_correlate( result, sr, si, pr, pim );
	ASSERT_EQ( result.size(), 512u );
	for ( std::size_t i = 0; i < result.size(); ++i ) ASSERT_NEAR( result[ i ], 4.0 * pi * 6.0, 1e-10 ) << i;
}

// Shells are summed with weights 4 r^2 / sum 4 r^2; one shell has weight 1.
TEST( SO3Correlate, ShellsAreWeightedByTheSquareOfTheirIndex )
{
	int const B = 4;
	SO3coeffs const w( B );
	ShellPair const a = random_pair( w, 41 ), b = random_pair( w, 42 );
	farray::DynamicIndexRange const IB( B ), I1( 1 ), I2( 2 );
	auto fill = [&]( SHT::RealGrid & g, int shell, SHT::Table const & t ) {
		for ( int i = 0; i < B * B; ++i ) g[ shell * B * B + i ] = t[ i ];
	};
	SHT::RealGrid s1r( IB, IB, I1 ), s1i( IB, IB, I1 ), p1r( IB, IB, I1 ), p1i( IB, IB, I1 );
	SHT::RealGrid s2r( IB, IB, I1 ), s2i( IB, IB, I1 ), p2r( IB, IB, I1 ), p2i( IB, IB, I1 );
	SHT::RealGrid sr( IB, IB, I2 ), si( IB, IB, I2 ), pr( IB, IB, I2 ), pim( IB, IB, I2 );
	fill( s1r, 0, a.fr ); fill( s1i, 0, a.fi ); fill( p1r, 0, a.hr ); fill( p1i, 0, a.hi );
	fill( s2r, 0, b.fr ); fill( s2i, 0, b.fi ); fill( p2r, 0, b.hr ); fill( p2i, 0, b.hi );
	fill( sr, 0, a.fr ); fill( si, 0, a.fi ); fill( pr, 0, a.hr ); fill( pim, 0, a.hi );
	fill( sr, 1, b.fr ); fill( si, 1, b.fi ); fill( pr, 1, b.hr ); fill( pim, 1, b.hi );
	SHT sht;
	SHT::RealGrid c1, c2, both;
	sht.so3_correlate( c1, s1r, s1i, p1r, p1i );
	sht.so3_correlate( c2, s2r, s2i, p2r, p2i );
	sht.so3_correlate( both, sr, si, pr, pim );
	for ( std::size_t i = 0; i < both.size(); ++i ) ASSERT_NEAR( both[ i ], ( 4.0 * c1[ i ] + 16.0 * c2[ i ] ) / 20.0, 1e-11 ) << i;
}

// Gaussian blobs inside a ball, shells of radii 1 .. 6.
std::vector< Vec3 > blob_centres()
{
	return { { { 3.0, 0.5, 1.0 } }, { { -1.0, 2.5, 0.3 } }, { { 0.2, -1.2, 4.0 } }, { { 1.5, 1.5, -2.0 } }, { { -2.5, -2.0, -1.0 } } };
}

int correlate_and_find_best( SHT & sht, int B, int nR, Mat3 const & Q )
{
	std::vector< Vec3 > const pattern = blob_centres();
	std::vector< Vec3 > signal;
	for ( Vec3 const & p : pattern ) signal.push_back( rotate_vec( Q, p ) );
	SHT::RealGrid pat, sig, pr, pim, sr, si, result;
	gaussian_shells( B, nR, pattern, 1.0, pat );
	gaussian_shells( B, nR, signal, 1.0, sig );
	sht.sharm_transform( pat, pr, pim );
	sht.sharm_transform( sig, sr, si );
	sht.so3_correlate( result, sr, si, pr, pim );
	int best = 0;
	for ( std::size_t i = 1; i < result.size(); ++i ) {
		if ( result[ i ] > result[ best ] ) best = static_cast< int >( i );
	}
	return best;
}

// The pattern's blobs moved by a grid rotation: the maximum lies at that
// grid point, and the index converts back to the rotation.
TEST( SO3Correlate, MaximumRecoversAGridRotationOfGaussians )
{
	for ( int B : { 8, 16 } ) {
		int const n = 2 * B, nR = 6;
		SHT sht( B, nR );
		for ( int truth : { 3 * n * n + 5 * n + 1, ( B / 2 + 1 ) * n * n + 2 * n + ( n - 3 ), ( n - 4 ) * n * n + ( n - 1 ) * n + 7 } ) {
			Mat3 const Q = grid_rotation( sht, truth );
			int const best = correlate_and_find_best( sht, B, nR, Q );
			EXPECT_EQ( best, truth ) << "B " << B;
			EXPECT_LT( rotation_angle_between( grid_rotation( sht, best ), Q ), 1e-9 ) << "B " << B;
		}
	}
}

// A rotation between grid points is found within the grid's resolution.
TEST( SO3Correlate, MaximumFindsAnOffGridRotationWithinTheGridSpacing )
{
	int const B = 16, nR = 6;
	SHT sht( B, nR );
	Mat3 const Q = transpose( mul( mul( rot_z( 1.234 ), rot_x( 2.01 ) ), rot_z( 4.321 ) ) );
	int const best = correlate_and_find_best( sht, B, nR, Q );
	EXPECT_LT( rotation_angle_between( grid_rotation( sht, best ), Q ), pi / B );
}

} // namespace
