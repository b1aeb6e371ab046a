// findSampling starts from the multiple of the step NEAREST to the wanted
// size, not the one below it: a size rounded down gives the map fewer voxels
// than its cell needs, and sizes that already qualify show the difference.
#include "numerics/fft3d.hh"

#include <gtest/gtest.h>

TEST( GridSizeRounding, StartsFromTheNearestMultipleOfTheStep )
{
	// 10 and 21 qualify too (2*5, 3*7): rounding down would stop there.
	EXPECT_EQ( findSampling( 10.6, 1 ), 11 );
	EXPECT_EQ( findSampling( 21.5, 1 ), 22 );
	EXPECT_EQ( findSampling( 21.49, 1 ), 21 );
	// With a step: 11.2 / 2 = 5.6 rounds to 6 (12), not 5 (10).
	EXPECT_EQ( findSampling( 11.2, 2 ), 12 );
	EXPECT_EQ( findSampling( 10.9, 2 ), 10 );
	// 13.5 / 3 = 4.5 rounds up to 15; 13.4 / 3 rounds down to 12.
	EXPECT_EQ( findSampling( 13.5, 3 ), 15 );
	EXPECT_EQ( findSampling( 13.4, 3 ), 12 );
}
