// FFT execution against the direct Fourier sums: every length 1..64 and a
// few larger ones, strides, in-place use, n-d, split and cosine transforms.
#include "numerics/fft.hh"
#include "numerics/tests/dft_reference.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

using dft_reference::cpx;
using dft_reference::dft;
using dft_reference::max_diff;

// Rounding of an FFT grows like log n; the direct sum itself is good to
// about n * eps.  Values are O(1), so sums are O(sqrt n).
double tolerance( int n )
{
	return 1e-13 * ( 1.0 + std::sqrt( static_cast< double >( n ) ) ) * ( 1.0 + std::log2( n + 1.0 ) );
}

void expect_matches_direct_sum( int n )
{
	for ( int inverse = 0; inverse < 2; ++inverse ) {
		fft_state st( n, inverse );
		std::vector< cpx > const x = dft_reference::signal( n, n );
		std::vector< cpx > y( n );
		fft( &st, x.data(), y.data() );
		std::vector< cpx > const ref = dft( x.data(), n, inverse ? 1 : -1 );
		EXPECT_LT( max_diff( y.data(), ref.data(), n ), tolerance( n ) ) << "n = " << n << " inverse = " << inverse;
	}
}

TEST( FftExecution, EveryLengthUpTo64MatchesDirectSum )
{
	for ( int n = 1; n <= 64; ++n ) expect_matches_direct_sum( n );
}

TEST( FftExecution, LargerLengthsMatchDirectSum )
{
	for ( int n : { 97, 128, 100, 121, 169, 210 } ) expect_matches_direct_sum( n );
}

TEST( FftExecution, KnownSmallTransforms )
{
	fft_state st( 4, 0 );
	cpx const x[ 4 ] = { 1, 2, 3, 4 };
	cpx y[ 4 ];
	fft( &st, x, y );
	cpx const expect[ 4 ] = { { 10, 0 }, { -2, 2 }, { -2, 0 }, { -2, -2 } };
	EXPECT_LT( max_diff( y, expect, 4 ), 1e-14 );

	// An impulse at 0 transforms to all ones; a length-1 transform copies.
	for ( int n : { 1, 7, 16 } ) {
		fft_state s( n, 0 );
		std::vector< cpx > imp( n, 0.0 ), out( n );
		imp[ 0 ] = 1.0;
		fft( &s, imp.data(), out.data() );
		for ( int k = 0; k < n; ++k ) EXPECT_NEAR( std::abs( out[ k ] - cpx( 1, 0 ) ), 0.0, 1e-15 );
	}
	fft_state one( 1, 0 );
	cpx in1 = cpx( 3, -2 ), out1;
	fft( &one, &in1, &out1 );
	EXPECT_EQ( out1, in1 );
}

TEST( FftExecution, RoundTripGivesNTimesInputAndParsevalHolds )
{
	for ( int n : { 2, 9, 30, 49, 64, 97, 120 } ) {
		fft_state f( n, 0 ), b( n, 1 );
		std::vector< cpx > const x = dft_reference::signal( n, 7 );
		std::vector< cpx > X( n ), back( n );
		fft( &f, x.data(), X.data() );
		fft( &b, X.data(), back.data() );
		double ex = 0, eX = 0;
		for ( int k = 0; k < n; ++k ) {
			back[ k ] /= double( n );
			ex += std::norm( x[ k ] );
			eX += std::norm( X[ k ] );
		}
		EXPECT_LT( max_diff( back.data(), x.data(), n ), 1e-14 * n ) << n;
		EXPECT_NEAR( eX, n * ex, 1e-12 * n * ex ) << n;
	}
}

TEST( FftExecution, StridedInPlaceReadsEveryThirdValue )
{
	int const n = 10;
	std::vector< cpx > data = dft_reference::signal( 3 * n, 3 );
	std::vector< cpx > const orig = data;
	fft_state st( n, 0 );
	fft_stride( &st, data.data(), data.data(), 3 );
	std::vector< cpx > const ref = dft( orig.data(), n, -1, 3 );
	EXPECT_LT( max_diff( data.data(), ref.data(), n ), tolerance( n ) );
	// Values past the n outputs are not touched.
	for ( int i = n; i < 3 * n; ++i ) EXPECT_EQ( data[ i ], orig[ i ] );
}

TEST( FftExecution, TemporaryBufferGrowsOnlyAndCanBeReleased )
{
	cpx * a = get_tmp_buff( 10 );
	ASSERT_NE( a, nullptr );
	a[ 4 ] = cpx( 5, 6 );
	cpx * b = get_tmp_buff( 5 );
	EXPECT_EQ( a, b );
	EXPECT_EQ( b[ 4 ], cpx( 5, 6 ) );
	EXPECT_EQ( get_tmp_buff( 0 ), nullptr );
	cpx * c = get_tmp_buff( 3 );
	ASSERT_NE( c, nullptr );
	for ( int i = 0; i < 3; ++i ) EXPECT_EQ( c[ i ], cpx( 0, 0 ) );
	cpx * s = get_scratch_buff( 4 );
	ASSERT_NE( s, nullptr );
	EXPECT_NE( s, c );
	EXPECT_EQ( get_scratch_buff( 0 ), nullptr );
}

// Row-major n-d reference: the direct sum applied along each axis.
std::vector< cpx > dft_nd_rowmajor( std::vector< cpx > x, std::vector< int > const & dims, int sign )
{
	long total = 1;
	for ( int d : dims ) total *= d;
	long after = total;
	for ( std::size_t a = 0; a < dims.size(); ++a ) {
		int const n = dims[ a ];
		after /= n;
		long const before = total / ( after * n );
		for ( long o = 0; o < before; ++o )
			for ( long i = 0; i < after; ++i ) {
				cpx * line = x.data() + o * n * after + i;
				std::vector< cpx > const t = dft( line, n, sign, static_cast< int >( after ) );
				for ( int k = 0; k < n; ++k ) line[ k * after ] = t[ k ];
			}
	}
	return x;
}

TEST( FftExecution, NdTransformsMatchAxisByAxisSums )
{
	for ( auto const & dims : std::vector< std::vector< int > >{ { 6, 5 }, { 4, 6, 7 }, { 3, 2, 5, 4 }, { 13 } } ) {
		for ( int inverse = 0; inverse < 2; ++inverse ) {
			fftnd_state st( dims, inverse );
			std::vector< cpx > const x = dft_reference::signal( st.dimprod, 11 );
			std::vector< cpx > const ref = dft_nd_rowmajor( x, dims, inverse ? 1 : -1 );
			std::vector< cpx > out( st.dimprod );
			fftnd( &st, x.data(), out.data() );
			EXPECT_LT( max_diff( out.data(), ref.data(), st.dimprod ), 1e-12 ) << dims.size() << " axes";
			// In place: odd axis counts go through the copy in tmpbuf first.
			std::vector< cpx > inplace = x;
			fftnd( &st, inplace.data(), inplace.data() );
			EXPECT_LT( max_diff( inplace.data(), ref.data(), st.dimprod ), 1e-12 ) << dims.size() << " axes in place";
		}
	}
}

TEST( FftExecution, EmptyPlansTransformNothing )
{
	cpx v = cpx( 1, 2 );
	fft_state empty;
	fft( &empty, &v, &v );
	EXPECT_EQ( v, cpx( 1, 2 ) );
	fftnd_state nd( std::vector< int >{ 3, 0, 2 }, 0 );
	fftnd( &nd, &v, &v );
	EXPECT_EQ( v, cpx( 1, 2 ) );
}

TEST( FftExecution, SplitTransformMatchesComplexOne )
{
	int const n = 12;
	std::vector< cpx > const x = dft_reference::signal( n, 5 );
	std::vector< double > re( 2 * n, -1.0 ), im( 2 * n, -1.0 ), ro( 3 * n, 0.0 ), io( 3 * n, 0.0 );
	for ( int k = 0; k < n; ++k ) {
		re[ 2 * k ] = x[ k ].real();
		im[ 2 * k ] = x[ k ].imag();
	}
	fftsplit_state st( n, 1 );
	fft_split( &st, re.data(), im.data(), ro.data(), io.data(), 2, 3 );
	std::vector< cpx > const ref = dft( x.data(), n, +1 );
	for ( int k = 0; k < n; ++k ) {
		EXPECT_NEAR( ro[ 3 * k ], ref[ k ].real(), 1e-13 );
		EXPECT_NEAR( io[ 3 * k ], ref[ k ].imag(), 1e-13 );
	}
}

TEST( FftExecution, CosineTransformKnownAnswers )
{
	double const pi = 3.14159265358979323846;
	for ( int n : { 2, 8, 10, 64 } ) {
		dct_state st( n, 0 );
		std::vector< double > in( n, 2.5 ), out( n );
		dct( &st, in.data(), out.data() );
		EXPECT_NEAR( out[ 0 ], 2 * n * 2.5, 1e-12 );
		for ( int k = 1; k < n; ++k ) EXPECT_NEAR( out[ k ], 0.0, 1e-12 ) << n << " " << k;

		for ( int j = 0; j < n; ++j ) in[ j ] = std::cos( pi * ( 2 * j + 1 ) / ( 2.0 * n ) );
		dct( &st, in.data(), out.data() );
		for ( int k = 0; k < n; ++k ) EXPECT_NEAR( out[ k ], k == 1 ? n : 0.0, 1e-12 ) << n << " " << k;

		// Arbitrary input against the defining sum.
		for ( int j = 0; j < n; ++j ) in[ j ] = std::sin( 0.7 * j * j + 0.3 );
		dct( &st, in.data(), out.data() );
		for ( int k = 0; k < n; ++k ) {
			double s = 0;
			for ( int j = 0; j < n; ++j ) s += in[ j ] * std::cos( pi * k * ( 2 * j + 1 ) / ( 2.0 * n ) );
			EXPECT_NEAR( out[ k ], 2 * s, 1e-12 * n ) << n << " " << k;
		}
	}
}

void cosine_with_inverse_plan()
{
	dct_state st( 8, 1 );
	double in[ 8 ] = {};
	double out[ 8 ];
	dct( &st, in, out );
}

TEST( FftExecutionDeathTest, CosineTransformRefusesInversePlan )
{
	EXPECT_EXIT( cosine_with_inverse_plan(), ::testing::ExitedWithCode( 1 ), "fft usage error: improper alloc" );
}

} // namespace
