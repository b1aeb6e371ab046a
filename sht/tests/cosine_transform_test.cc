// The inverse (type III) cosine transform that the spherical synthesis runs.
#include "sht/cosine_transform.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

namespace {

double const pi = 3.14159265358979323846;

std::vector< double > direct_type3( std::vector< double > const & x )
{
	int const n = static_cast< int >( x.size() );
	std::vector< double > y( n );
	for ( int j = 0; j < n; ++j ) {
		double s = x[ 0 ];
		for ( int k = 1; k < n; ++k ) s += 2.0 * x[ k ] * std::cos( pi * k * ( 2 * j + 1 ) / ( 2.0 * n ) );
		y[ j ] = s;
	}
	return y;
}

// Catches a wrong twiddle direction, a wrong output reordering or a lost
// first term: every length the synthesis uses, against the direct sum.
TEST( InverseCosineTransform, MatchesTheDirectSum )
{
	std::mt19937 rng( 11 );
	std::uniform_real_distribution< double > u( -1.0, 1.0 );
	for ( int n : { 2, 4, 6, 8, 12, 16, 32, 64, 100 } ) {
		dct_state plan( n, 1 );
		std::vector< double > x( n ), y( n );
		for ( double & v : x ) v = u( rng );
		idct( &plan, x.data(), y.data() );
		std::vector< double > const ref = direct_type3( x );
		for ( int j = 0; j < n; ++j ) ASSERT_NEAR( y[ j ], ref[ j ], 1e-12 * n ) << "n " << n << " j " << j;
	}
}

// The forward transform followed by this one gives 2n times the samples.
TEST( InverseCosineTransform, UndoesTheForwardTransform )
{
	std::mt19937 rng( 12 );
	std::uniform_real_distribution< double > u( -1.0, 1.0 );
	for ( int n : { 4, 16, 30 } ) {
		dct_state fwd( n, 0 ), inv( n, 1 );
		std::vector< double > x( n ), X( n ), back( n );
		for ( double & v : x ) v = u( rng );
		dct( &fwd, x.data(), X.data() );
		idct( &inv, X.data(), back.data() );
		for ( int j = 0; j < n; ++j ) ASSERT_NEAR( back[ j ], 2.0 * n * x[ j ], 1e-11 * n ) << "n " << n;
	}
}

// A plan built for the forward direction has the wrong twiddles: refused
// like the library's forward transform refuses an inverse plan.
TEST( InverseCosineTransformDeathTest, RefusesAForwardPlan )
{
	dct_state plan( 8, 0 );
	std::vector< double > x( 8, 1.0 ), y( 8 );
	EXPECT_EXIT( idct( &plan, x.data(), y.data() ), ::testing::ExitedWithCode( 1 ), "fft usage error: improper alloc" );
}

} // namespace
