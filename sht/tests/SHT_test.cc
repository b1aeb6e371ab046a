// Spherical-harmonic transform of shells: tables, analysis, synthesis,
// standardisation and the rotation-grid indices.
#include "sht/SHT.hh"
#include "sht/tests/sht_reference.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <random>

namespace {

using namespace sht_reference;

// The weights integrate sin(theta) times every cosine of degree below 2B
// exactly; the odd-order weights carry one more sin(theta).
TEST( SHTTables, QuadratureWeightsIntegrateLowCosinesExactly )
{
	for ( int B : { 2, 4, 8, 16 } ) {
		SHT sht( B, 1 );
		int const n = 2 * B;
		SHT::Table const & w = sht.weights();
		ASSERT_EQ( static_cast< int >( w.size() ), 2 * n );
		for ( int k = 0; k < n; ++k ) {
			double s = 0.0;
			for ( int j = 0; j < n; ++j ) s += w[ j ] * std::cos( k * colatitude( B, j ) );
			double const exact = ( k == 1 ) ? 0.0 : ( 1.0 + std::cos( k * pi ) ) / ( 1.0 - double( k ) * k );
			ASSERT_NEAR( s, exact, 1e-13 ) << "B " << B << " k " << k;
		}
		for ( int j = 0; j < n; ++j ) EXPECT_NEAR( w[ j + n ], w[ j ] * std::sin( colatitude( B, j ) ), 1e-15 );
	}
}

// Table sizes as documented: k(k+1) + e B/2 - h(h+1) values per order, and
// the transposed table holds the same values row by row.
TEST( SHTTables, CosineTableSizes )
{
	SHT small( 2, 1 );
	EXPECT_EQ( small.weights().size(), 8u );
	EXPECT_EQ( small.pmlTable()[ 0 ].size(), 2u );
	EXPECT_EQ( small.pmlTable()[ 1 ].size(), 1u );
	EXPECT_EQ( small.wignerTable().size(), 16u );
	for ( int B : { 2, 4, 8, 16 } ) {
		SHT sht( B, 1 );
		ASSERT_EQ( static_cast< int >( sht.pmlTable().size() ), B );
		for ( int m = 0; m < B; ++m ) {
			int const e = m % 2, k = B / 2 - e, h = m / 2;
			EXPECT_EQ( static_cast< int >( sht.pmlTable()[ m ].size() ), k * ( k + 1 ) + e * ( B / 2 ) - h * ( h + 1 ) );
			int rows = 0;
			for ( int r = 0; r < B; ++r ) rows += sht.wigner().transposeRowSize( r, m );
			EXPECT_EQ( static_cast< int >( sht.pmlTransposed()[ m ].size() ), rows );
			EXPECT_EQ( sht.pmlTransposed()[ m ].size(), sht.pmlTable()[ m ].size() );
		}
	}
}

TEST( SHTTables, ReinitialisingWithANewShellCountKeepsTheTables )
{
	SHT sht( 8, 2 );
	SHT::Table const wig = sht.wignerTable();
	sht.init( 8, 5 );
	EXPECT_EQ( sht.shells(), 5 );
	EXPECT_EQ( sht.bandwidth(), 8 );
	EXPECT_TRUE( sht.wignerTable() == wig );
	sht.init( 4, 5 );
	EXPECT_EQ( sht.wignerTable().size(), 16u * 5 * 6 / 3 );
}

TEST( SHTTablesDeathTest, OddBandwidthEndsTheProcess )
{
	EXPECT_EXIT( SHT( 7, 1 ), ::testing::ExitedWithCode( 1 ), "Odd bandwidths unsupported!" );
}

void sample_grid( SO3coeffs const & w, SHT::Table const & re, SHT::Table const & im, SHT::Table & samples )
{
	int const B = w.bandwidth();
	int const n = 2 * B;
	samples.assign( n * n, 0.0 );
	for ( int j = 0; j < n; ++j )
		for ( int k = 0; k < n; ++k ) samples[ j * n + k ] = evaluate( w, re, im, colatitude( B, j ), longitude( B, k ) );
}

// Synthesis against the term-by-term sum of spherical harmonics: catches a
// mirrored longitude (phi -> -phi), a wrong Legendre table or a wrong inverse
// cosine transform.
TEST( SHTTransform, SynthesisMatchesTheDirectSumOfHarmonics )
{
	for ( int B : { 2, 4, 8 } ) {
		SHT sht( B, 1 );
		std::mt19937 rng( 100 + B );
		SHT::Table re, im, samples, ref;
		random_real_coefficients( sht.wigner(), rng, re, im );
		sht.inverseS2( re, im, samples );
		sample_grid( sht.wigner(), re, im, ref );
		for ( int i = 0; i < 4 * B * B; ++i ) ASSERT_NEAR( samples[ i ], ref[ i ], 1e-11 ) << "B " << B << " i " << i;
	}
}

// Analysis of a function sampled term by term gives back its coefficients.
TEST( SHTTransform, AnalysisOfSampledHarmonicsGivesTheirCoefficients )
{
	for ( int B : { 2, 4, 8 } ) {
		SHT sht( B, 1 );
		std::mt19937 rng( 200 + B );
		SHT::Table re, im, samples, re2, im2;
		random_real_coefficients( sht.wigner(), rng, re, im );
		sample_grid( sht.wigner(), re, im, samples );
		sht.forwardS2( samples, re2, im2 );
		for ( int i = 0; i < B * B; ++i ) {
			ASSERT_NEAR( re2[ i ], re[ i ], 1e-11 ) << "B " << B << " i " << i;
			ASSERT_NEAR( im2[ i ], im[ i ], 1e-11 ) << "B " << B << " i " << i;
		}
	}
}

// Random band-limited coefficients survive synthesis then analysis.
TEST( SHTTransform, BandLimitedCoefficientsSurviveSynthesisThenAnalysis )
{
	for ( int B : { 8, 16 } ) {
		SHT sht( B, 1 );
		for ( int trial = 0; trial < 3; ++trial ) {
			std::mt19937 rng( 1000 * B + trial );
			SHT::Table re, im, samples, re2, im2;
			random_real_coefficients( sht.wigner(), rng, re, im );
			sht.inverseS2( re, im, samples );
			sht.forwardS2( samples, re2, im2 );
			for ( int i = 0; i < B * B; ++i ) {
				ASSERT_NEAR( re2[ i ], re[ i ], 1e-10 ) << "B " << B << " i " << i;
				ASSERT_NEAR( im2[ i ], im[ i ], 1e-10 ) << "B " << B << " i " << i;
			}
		}
	}
}

// A constant shell has only the (0,0) coefficient, c sqrt(4 pi).
TEST( SHTTransform, ConstantShellGivesOnlyTheFirstCoefficient )
{
	for ( int B : { 2, 8, 16 } ) {
		SHT sht( B, 1 );
		SHT::Table samples( 4 * B * B, 2.5 ), re, im;
		sht.forwardS2( samples, re, im );
		EXPECT_NEAR( re[ 0 ], 2.5 * std::sqrt( 4.0 * pi ), 1e-12 );
		EXPECT_NEAR( im[ 0 ], 0.0, 1e-15 );
		for ( int i = 1; i < B * B; ++i ) {
			ASSERT_NEAR( re[ i ], 0.0, 1e-13 ) << "B " << B << " i " << i;
			ASSERT_NEAR( im[ i ], 0.0, 1e-13 ) << "B " << B << " i " << i;
		}
	}
}

// The array forms transform every shell on its own, in the documented
// shapes, and take their bandwidth and shell count from the arrays.
TEST( SHTTransform, ShellArraysRoundTripShellByShell )
{
	int const B = 8, nR = 3, n = 2 * B;
	SHT sht;
	std::mt19937 rng( 9 );
	farray::DynamicIndexRange const IB( B ), IR( nR );
	SHT::RealGrid cr( IB, IB, IR ), ci( IB, IB, IR ), signal, cr2, ci2;
	SO3coeffs const w( B );
	std::vector< SHT::Table > shellRe( nR ), shellIm( nR );
	for ( int r = 0; r < nR; ++r ) {
		random_real_coefficients( w, rng, shellRe[ r ], shellIm[ r ] );
		for ( int i = 0; i < B * B; ++i ) {
			cr[ r * B * B + i ] = shellRe[ r ][ i ];
			ci[ r * B * B + i ] = shellIm[ r ][ i ];
		}
	}
	sht.sharm_invTransform( signal, cr, ci );
	EXPECT_EQ( sht.bandwidth(), B );
	EXPECT_EQ( sht.shells(), nR );
	ASSERT_EQ( signal.u1(), n );
	ASSERT_EQ( signal.u2(), n );
	ASSERT_EQ( signal.u3(), nR );
	for ( int r = 0; r < nR; ++r ) {
		for ( int j = 0; j < n; ++j ) {
			for ( int k = 0; k < n; k += 5 ) {
				ASSERT_NEAR( signal( k + 1, j + 1, r + 1 ), evaluate( w, shellRe[ r ], shellIm[ r ], colatitude( B, j ), longitude( B, k ) ), 1e-11 );
			}
		}
	}
	SHT other;
	other.sharm_transform( signal, cr2, ci2 );
	ASSERT_EQ( cr2.u1(), B );
	ASSERT_EQ( cr2.u3(), nR );
	for ( std::size_t i = 0; i < cr.size(); ++i ) {
		ASSERT_NEAR( cr2[ i ], cr[ i ], 1e-11 );
		ASSERT_NEAR( ci2[ i ], ci[ i ], 1e-11 );
	}
}

double shell_weight( int r )
{
	return ( 4.0 * r * r + 1.0 / 3.0 ) * pi;
}

TEST( SHTStandardize, RemovesTheWeightedMeanAndFixesTheWeightedPower )
{
	int const B = 8, nR = 4;
	SHT sht;
	std::mt19937 rng( 17 );
	std::uniform_real_distribution< double > u( -2.0, 3.0 );
	farray::DynamicIndexRange const IB( B ), IR( nR );
	SHT::RealGrid cr( IB, IB, IR ), ci( IB, IB, IR );
	for ( std::size_t i = 0; i < cr.size(); ++i ) {
		cr[ i ] = u( rng );
		ci[ i ] = u( rng );
	}
	SHT::RealGrid const before = cr;
	sht.sph_standardize( cr, ci );
	double sumW = 0.0, mean = 0.0, power = 0.0;
	for ( int r = 1; r <= nR; ++r ) {
		EXPECT_EQ( ci( 1, 1, r ), 0.0 );
		sumW += shell_weight( r );
		mean += shell_weight( r ) * cr( 1, 1, r );
		double S = 0.0;
		for ( int k = 1; k <= B; ++k )
			for ( int i = 1; i <= B; ++i )
				if ( i > 1 || k > 1 ) S += cr( i, k, r ) * cr( i, k, r ) + ci( i, k, r ) * ci( i, k, r );
		power += shell_weight( r ) * S;
	}
	EXPECT_NEAR( mean / sumW, 0.0, 1e-12 );
	double const c = std::sqrt( 1.0 / std::sqrt( 0.015 * B ) );
	EXPECT_NEAR( power / sumW, 2.0 * c, 1e-10 );
	// One common scale for all non-constant coefficients.
	double const s = cr( 2, 1, 1 ) / before( 2, 1, 1 );
	EXPECT_NEAR( cr( 5, 7, 3 ), s * before( 5, 7, 3 ), 1e-12 );
}

// Standardising all-zero shells used to divide by zero and fill the arrays
// with NaN: they stay zero.  Constant shells only lose their mean.
TEST( SHTStandardize, ZeroAndConstantShellsStayFinite )
{
	int const B = 4, nR = 2;
	SHT sht;
	farray::DynamicIndexRange const IB( B ), IR( nR );
	SHT::RealGrid cr( IB, IB, IR, 0.0 ), ci( IB, IB, IR, 0.0 );
	sht.sph_standardize( cr, ci );
	for ( std::size_t i = 0; i < cr.size(); ++i ) {
		ASSERT_EQ( cr[ i ], 0.0 );
		ASSERT_EQ( ci[ i ], 0.0 );
	}
	cr( 1, 1, 1 ) = 3.0;
	cr( 1, 1, 2 ) = 5.0;
	sht.sph_standardize( cr, ci );
	double const mu = ( shell_weight( 1 ) * 3.0 + shell_weight( 2 ) * 5.0 ) / ( shell_weight( 1 ) + shell_weight( 2 ) );
	EXPECT_NEAR( cr( 1, 1, 1 ), 3.0 - mu, 1e-12 );
	EXPECT_NEAR( cr( 1, 1, 2 ), 5.0 - mu, 1e-12 );
	for ( std::size_t i = 0; i < cr.size(); ++i ) {
		ASSERT_TRUE( std::isfinite( cr[ i ] ) );
		ASSERT_EQ( ci[ i ], 0.0 );
	}
}

TEST( SHTGrid, IndexToEulerAngles )
{
	int const B = 8, n = 16;
	SHT sht( B, 1 );
	double e[ 3 ];
	sht.idx_to_euler( 0, e );
	EXPECT_DOUBLE_EQ( e[ 0 ], 0.0 );
	EXPECT_DOUBLE_EQ( e[ 1 ], pi / ( 4 * B ) );
	EXPECT_DOUBLE_EQ( e[ 2 ], 0.0 );
	sht.idx_to_euler( n * n + n + 1, e );
	EXPECT_DOUBLE_EQ( e[ 0 ], pi / B );
	EXPECT_DOUBLE_EQ( e[ 1 ], 3 * pi / ( 4 * B ) );
	EXPECT_DOUBLE_EQ( e[ 2 ], pi / B );
	// beta slowest, then gamma, alpha fastest.
	sht.idx_to_euler( 5 * n * n + 3 * n + 11, e );
	EXPECT_DOUBLE_EQ( e[ 0 ], 11 * pi / B );
	EXPECT_DOUBLE_EQ( e[ 1 ], 11 * pi / ( 4 * B ) );
	EXPECT_DOUBLE_EQ( e[ 2 ], 3 * pi / B );
}

// The matrix is the transpose of Rz(alpha) Rx(beta) Rz(gamma): a proper rotation.
TEST( SHTGrid, IndexToRotationIsTheTransposedZXZRotation )
{
	int const B = 8, n = 16;
	SHT sht( B, 1 );
	for ( int index : { 0, 1, n * n + n + 1, 7 * n * n + 9 * n + 4, n * n * n - 1 } ) {
		double e[ 3 ];
		sht.idx_to_euler( index, e );
		Mat3 const expect = transpose( mul( mul( rot_z( e[ 0 ] ), rot_x( e[ 1 ] ) ), rot_z( e[ 2 ] ) ) );
		Mat3 const got = grid_rotation( sht, index );
		for ( int i = 0; i < 3; ++i )
			for ( int j = 0; j < 3; ++j ) ASSERT_NEAR( got[ i ][ j ], expect[ i ][ j ], 1e-15 ) << index;
		Mat3 const id = mul( got, transpose( got ) );
		for ( int i = 0; i < 3; ++i )
			for ( int j = 0; j < 3; ++j ) ASSERT_NEAR( id[ i ][ j ], i == j ? 1.0 : 0.0, 1e-14 );
	}
}

TEST( SHTGrid, EmptyTransformGivesIdentity )
{
	SHT sht;
	double e[ 3 ] = { 1, 2, 3 };
	sht.idx_to_euler( 17, e );
	EXPECT_EQ( e[ 0 ], 0.0 );
	EXPECT_EQ( e[ 1 ], 0.0 );
	EXPECT_EQ( e[ 2 ], 0.0 );
	Mat3 const m = grid_rotation( sht, 17 );
	for ( int i = 0; i < 3; ++i )
		for ( int j = 0; j < 3; ++j ) EXPECT_EQ( m[ i ][ j ], i == j ? 1.0 : 0.0 );
}

} // namespace

namespace {

// A shell grid that is not 2B x 2B would be read with the wrong row length:
// refused as an assertion failure instead of transformed into nonsense.
TEST( SHTTransformDeathTest, MisShapedShellGridIsRefused )
{
	farray::DynamicIndexRange const I6( 6 ), I8( 8 ), I1( 1 );
	SHT::RealGrid signal( I6, I8, I1, 1.0 ), re, im;
	SHT sht;
	EXPECT_DEATH( sht.sharm_transform( signal, re, im ), "Assertion" );
}

} // namespace
