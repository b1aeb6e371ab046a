// The generators' sequences against their reference values; each test
// program is a fresh process, and these tests are the only ones in it that
// draw from ran and Random, in this order of definition.
#include "core/basic_fun_Quilt.hh"
#include "core/random_state.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <algorithm>
#include <cstdlib>

namespace {

// The checks below run in a re-executed child process ("threadsafe" death
// test style), so the generators start from their program-start state.
void fresh_ran_and_random()
{
	bool ok = ran() == 0.06555875696823668 && ran() == 0.7140536656112231 &&
		ran() == 0.27089145315148566;
	ok = ok && Random() == 0.05380315429242475 && Random() == 0.13206084963495882 &&
		Random() == 0.7092727290975268;
	std::exit( ok ? 0 : 1 );
}

void fresh_distinct_draw_counts()
{
	// n = 0 still draws one value: the next ran() is the second one.
	int out[ 1 ] = { -1 };
	RandMultiIntNum( out, 0, 9 );
	bool ok = out[ 0 ] == -1 && ran() == 0.7140536656112231;
	// n = 1 draws two: the value stored is the third draw scaled to 0..100,
	// and the fourth is drawn and discarded.
	ShuffledUniformState s;
	for ( int i = 0; i < 2; ++i ) shuffled_uniform_next( s );
	double const third = shuffled_uniform_next( s );
	shuffled_uniform_next( s );
	RandMultiIntNum( out, 1, 100 );
	ok = ok && out[ 0 ] == static_cast< int >( static_cast< float >( third * 101.0 ) );
	ok = ok && ran() == shuffled_uniform_next( s );
	std::exit( ok ? 0 : 1 );
}

void fresh_roulette()
{
	// Random() gives 0.0538, 0.132, 0.709: picks 0, 0 and 2.
	double w[ 3 ] = { 0.2, 0.3, 0.5 };
	bool ok = roulette( w, 3 ) == 0 && roulette( w, 3 ) == 0 && roulette( w, 3 ) == 2;
	double zero[ 2 ] = { 0.0, 0.0 };
	ok = ok && roulette( zero, 2 ) == 0 && roulette( zero, 0 ) == 0;
	std::exit( ok ? 0 : 1 );
}

} // namespace

TEST( RandomFresh, FirstValuesOfRanAndRandom )
{
	GTEST_FLAG_SET( death_test_style, "threadsafe" );
	EXPECT_EXIT( fresh_ran_and_random(), testing::ExitedWithCode( 0 ), "" );
}

TEST( RandomFresh, DistinctIntegersDrawOneValueMoreThanTheyStore )
{
	GTEST_FLAG_SET( death_test_style, "threadsafe" );
	EXPECT_EXIT( fresh_distinct_draw_counts(), testing::ExitedWithCode( 0 ), "" );
}

TEST( RandomFresh, RouletteOnTheFirstDraws )
{
	GTEST_FLAG_SET( death_test_style, "threadsafe" );
	EXPECT_EXIT( fresh_roulette(), testing::ExitedWithCode( 0 ), "" );
}

TEST( RandomFresh, RanSequenceFollowsTheSecondRecurrence )
{
	// With the first generator stuck at 0 every value is
	// (2147483562 - idum2) / 2147483563 where idum2 runs its recurrence.
	ShuffledUniformState s;
	std::int64_t idum2 = 12345678;
	for ( int i = 0; i < 1000; ++i ) {
		std::int64_t k = idum2 / 52774;
		idum2 = 40692 * ( idum2 - k * 52774 ) - k * 3791;
		if ( idum2 < 0 ) idum2 += 2147483399;
		std::int64_t iy = -idum2;
		if ( iy < 1 ) iy += 2147483562;
		double want = std::min( iy * 4.656613057391769e-10, 0.99999988 );
		ASSERT_EQ( shuffled_uniform_next( s ), want ) << "draw " << i;
	}
}

TEST( RandomFresh, ZeroClockSeedGivesTheCap )
{
	ShuffledUniformState s;
	s.idum2 = 0;
	for ( int i = 0; i < 5; ++i ) EXPECT_EQ( shuffled_uniform_next( s ), 0.99999988 );
}

TEST( Random, RanStaysInItsRange )
{
	for ( int i = 0; i < 20000; ++i ) {
		double const r = ran();
		ASSERT_GT( r, 0.0 );
		ASSERT_LE( r, 0.99999988 );
	}
	for ( int i = 0; i < 100; ++i ) {
		double const r = ran1();
		ASSERT_GT( r, 0.0 );
		ASSERT_LE( r, 0.99999988 );
		double const q = Random();
		ASSERT_GT( q, 0.0 );
		ASSERT_LT( q, 1.0 );
	}
	double const seed = clock_seed_value();
	EXPECT_GE( seed, 0.0 );
	EXPECT_LT( seed, 61000000.0 );
}

TEST( Random, DistinctIntegersCoverTheWholeRange )
{
	int out[ 10 ];
	RandMultiIntNum( out, 10, 9 );
	std::sort( out, out + 10 );
	for ( int i = 0; i < 10; ++i ) EXPECT_EQ( out[ i ], i );
}

TEST( Random, DistinctIntegersBeyondTheRangeStopWithAMessage )
{
	int out[ 5 ] = { -1, -1, -1, -1, -1 };
	testing::internal::CaptureStdout();
	RandMultiIntNum( out, 5, 2 );
	std::string const msg = testing::internal::GetCapturedStdout();
	EXPECT_NE( msg.find( "Error!" ), std::string::npos );
}

TEST( Random, NormalDeviateWithZeroSpreadIsTheMean )
{
	EXPECT_EQ( normrnd( 0.0, 0.0 ), 0.0 );
	EXPECT_EQ( normrnd( 2.5, 0.0 ), 2.5 );
	double sum = 0, sum2 = 0;
	int const n = 20000;
	for ( int i = 0; i < n; ++i ) {
		double const v = normrnd( 1.0, 2.0 );
		sum += v;
		sum2 += v * v;
	}
	double const mean = sum / n, var = sum2 / n - mean * mean;
	EXPECT_NEAR( mean, 1.0, 0.1 );
	EXPECT_NEAR( var, 4.0, 0.3 );
}

TEST( Random, RandomVectorLengthIsBounded )
{
	for ( int i = 0; i < 100; ++i ) {
		point3d const v = ranv( 3.0 );
		double const len = norm( v );
		EXPECT_GT( len, 0.0 );
		EXPECT_LE( len, 3.0 + 1e-5 + 1e-12 );
	}
}
