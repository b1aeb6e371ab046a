// FFT-friendly sizes: prime factors up to 19, and the upward search.
#include "numerics/fft3d.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

TEST( GridSizes, FactorsUpTo19 )
{
	for ( int n : { 1, 2, 19, 20, 64, 95, 361, 9699690 } ) EXPECT_TRUE( factorsLTE19( n ) ) << n;
	for ( int n : { 23, 46, 58, -4, -1, 0, 29 * 29, 2 * 3 * 5 * 7 * 11 * 13 * 23 } ) EXPECT_FALSE( factorsLTE19( n ) ) << n;
}

TEST( GridSizes, FindSamplingWalksUpToAFriendlyMultiple )
{
	EXPECT_EQ( findSampling( 100.4, 1 ), 100 );
	EXPECT_EQ( findSampling( 23.2, 1 ), 24 );
	EXPECT_EQ( findSampling( 47, 2 ), 48 );
	EXPECT_EQ( findSampling( -3.0, 4 ), 4 );
	// A start that rounds to zero goes on at the step itself.
	EXPECT_EQ( findSampling( 0.3, 4 ), 4 );
	for ( int step : { 1, 2, 3, 4, 6, 38 } ) {
		for ( double x = 0.5; x < 400; x *= 1.37 ) {
			int const m = findSampling( x, step );
			EXPECT_EQ( m % step, 0 ) << x << " " << step;
			EXPECT_TRUE( factorsLTE19( m ) ) << x << " " << step;
			EXPECT_GE( m, step );
		}
	}
}

TEST( GridSizes, FindSamplingRejectsStepsAndWantsWithNoAnswer )
{
	// These used to loop for ever; 0 marks "no valid size".
	EXPECT_EQ( findSampling( 10.0, 0 ), 0 );
	EXPECT_EQ( findSampling( 1.0, -4 ), 0 );
	EXPECT_EQ( findSampling( -1.0, -4 ), 0 );
	EXPECT_EQ( findSampling( std::numeric_limits< double >::quiet_NaN(), 2 ), 0 );
	EXPECT_EQ( findSampling( std::numeric_limits< double >::infinity(), 2 ), 0 );
	EXPECT_EQ( findSampling( 1e12, 2 ), 0 );
	// No multiple of a step with a prime factor above 19 qualifies.
	EXPECT_EQ( findSampling( 100.0, 29 ), 0 );
	EXPECT_EQ( findSampling( 100.0, 2 * 23 ), 0 );
}

} // namespace
