// FFT plans: factorisation, twiddle tables and what a resize rebuilds.
#include "numerics/fft.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>
#include <vector>

namespace {

typedef std::complex< double > cpx;

std::vector< std::pair< int, int > > factor_pairs( int n )
{
	int f[ 64 ];
	kf_factor( n, f );
	std::vector< std::pair< int, int > > r;
	for ( int k = 0; k < 32; ++k ) {
		r.emplace_back( f[ 2 * k ], f[ 2 * k + 1 ] );
		if ( f[ 2 * k + 1 ] <= 1 ) break;
	}
	return r;
}

typedef std::vector< std::pair< int, int > > Pairs;

TEST( FftPlans, FactorisationTakesFoursBeforeTwosAndWholeLargePrimes )
{
	EXPECT_EQ( factor_pairs( 8 ), ( Pairs{ { 4, 2 }, { 2, 1 } } ) );
	EXPECT_EQ( factor_pairs( 16 ), ( Pairs{ { 4, 4 }, { 4, 1 } } ) );
	EXPECT_EQ( factor_pairs( 32 ), ( Pairs{ { 4, 8 }, { 4, 2 }, { 2, 1 } } ) );
	EXPECT_EQ( factor_pairs( 12 ), ( Pairs{ { 4, 3 }, { 3, 1 } } ) );
	EXPECT_EQ( factor_pairs( 6 ), ( Pairs{ { 2, 3 }, { 3, 1 } } ) );
	EXPECT_EQ( factor_pairs( 18 ), ( Pairs{ { 2, 9 }, { 3, 3 }, { 3, 1 } } ) );
	EXPECT_EQ( factor_pairs( 50 ), ( Pairs{ { 2, 25 }, { 5, 5 }, { 5, 1 } } ) );
	EXPECT_EQ( factor_pairs( 49 ), ( Pairs{ { 7, 7 }, { 7, 1 } } ) );
	EXPECT_EQ( factor_pairs( 22 ), ( Pairs{ { 2, 11 }, { 11, 1 } } ) );
	EXPECT_EQ( factor_pairs( 7 ), ( Pairs{ { 7, 1 } } ) );
	EXPECT_EQ( factor_pairs( 1 ), ( Pairs{ { 1, 1 } } ) );
	EXPECT_EQ( factor_pairs( 0 ), ( Pairs{ { 4, 0 } } ) );
	EXPECT_EQ( factor_pairs( 97 ), ( Pairs{ { 97, 1 } } ) );
	EXPECT_EQ( factor_pairs( 163 ), ( Pairs{ { 163, 1 } } ) );
}

TEST( FftPlans, FactorsMultiplyBackToTheLength )
{
	for ( int n = 1; n <= 2000; ++n ) {
		Pairs const p = factor_pairs( n );
		int prod = 1;
		for ( auto const & f : p ) prod *= f.first;
		ASSERT_EQ( prod, n ) << n;
		ASSERT_EQ( p.back().second, 1 ) << n;
	}
}

TEST( FftPlans, TwiddlesOfLengthFourInBothDirections )
{
	fft_state fwd( 4, 0 ), inv( 4, 1 );
	cpx const f[ 4 ] = { { 1, 0 }, { 0, -1 }, { -1, 0 }, { 0, 1 } };
	for ( int k = 0; k < 4; ++k ) {
		EXPECT_NEAR( std::abs( fwd.twiddles[ k ] - f[ k ] ), 0.0, 1e-15 );
		EXPECT_NEAR( std::abs( inv.twiddles[ k ] - std::conj( f[ k ] ) ), 0.0, 1e-15 );
	}
	EXPECT_EQ( fwd.nfft, 4 );
	EXPECT_EQ( fwd.inverse, 0 );
	EXPECT_EQ( fft_state().nfft, 0 );
	EXPECT_TRUE( fft_state().twiddles.empty() );
}

TEST( FftPlans, ResizeToSameLengthAndDirectionTouchesNothing )
{
	fft_state st( 12, 0 );
	st.twiddles[ 3 ] = cpx( 42, 42 ); // marker: a rebuild would overwrite it
	st.factors[ 10 ] = 77;
	st.resize( 12, 0 );
	EXPECT_EQ( st.twiddles[ 3 ], cpx( 42, 42 ) );
	EXPECT_EQ( st.factors[ 10 ], 77 );
	st.resize( 12, 1 ); // direction change rebuilds
	EXPECT_NEAR( std::abs( st.twiddles[ 3 ] - cpx( 0, 1 ) ), 0.0, 1e-15 );
	st.resize( 5, 1 );
	EXPECT_EQ( st.twiddles.size(), 5u );
	EXPECT_EQ( factor_pairs( 5 ), ( Pairs{ { st.factors[ 0 ], st.factors[ 1 ] } } ) );
}

TEST( FftPlans, NdResizeRebuildsOnlyChangedAxes )
{
	fftnd_state st( std::vector< int >{ 64, 64, 60 }, 0 );
	EXPECT_EQ( st.dimprod, 64 * 64 * 60 );
	EXPECT_EQ( st.tmpbuf.size(), static_cast< std::size_t >( 64 * 64 * 60 ) );
	st.states[ 0 ].twiddles[ 1 ] = cpx( 9, 9 );
	st.states[ 1 ].twiddles[ 1 ] = cpx( 9, 9 );
	st.resize( std::vector< int >{ 64, 64, 64 }, 0 );
	EXPECT_EQ( st.states[ 0 ].twiddles[ 1 ], cpx( 9, 9 ) );
	EXPECT_EQ( st.states[ 1 ].twiddles[ 1 ], cpx( 9, 9 ) );
	EXPECT_EQ( st.states[ 2 ].nfft, 64 );
	EXPECT_EQ( st.tmpbuf.size(), static_cast< std::size_t >( 64 * 64 * 64 ) );

	fftnd_state fw( std::vector< int >{ 8, 6 }, 0 );
	std::vector< cpx > before = fw.states[ 1 ].twiddles;
	fw.resize( std::vector< int >{ 8, 6 }, 1 );
	EXPECT_EQ( fw.inverse, 1 );
	for ( std::size_t k = 0; k < before.size(); ++k ) {
		EXPECT_DOUBLE_EQ( fw.states[ 1 ].twiddles[ k ].real(), before[ k ].real() );
		EXPECT_DOUBLE_EQ( fw.states[ 1 ].twiddles[ k ].imag(), -before[ k ].imag() );
	}
	EXPECT_EQ( fw.states[ 0 ].inverse, 1 );

	fftnd_state empty( std::vector< int >{}, 0 );
	EXPECT_EQ( empty.dimprod, 1 );
	fw.resize( std::vector< int >{ 5 }, 1 );
	EXPECT_EQ( fw.states.size(), 1u );
	EXPECT_EQ( fw.states[ 0 ].nfft, 5 );
}

TEST( FftPlans, SplitAndCosinePlans )
{
	fftsplit_state sp( 10, 1 );
	EXPECT_EQ( sp.nfft, 10 );
	EXPECT_EQ( sp.tmpbuf.size(), 10u );
	EXPECT_EQ( sp.inverse, 1 );

	dct_state d( 8, 0 );
	ASSERT_EQ( d.dct_twiddles.size(), 8u );
	EXPECT_EQ( d.work.size(), 8u );
	for ( int k = 0; k < 8; ++k ) {
		cpx const expect = std::exp( cpx( 0, -3.141592653589793 * k / 16 ) );
		EXPECT_NEAR( std::abs( d.dct_twiddles[ k ] - expect ), 0.0, 1e-15 );
	}
	dct_state di( 8, 1 );
	EXPECT_NEAR( di.dct_twiddles[ 3 ].imag(), std::sin( 3 * 3.141592653589793 / 16 ), 1e-15 );
}

TEST( FftPlansDeathTest, OddCosineLengthEndsTheProcess )
{
	EXPECT_EXIT( { dct_state d( 7, 0 ); }, ::testing::ExitedWithCode( 1 ), "Real->Real DCT optimization must be even." );
	EXPECT_EXIT(
		{
			dct_state d( 8, 0 );
			d.resize( 9, 0 );
		},
		::testing::ExitedWithCode( 1 ), "must be even" );
}

} // namespace
