// The constants of the Armijo line search, pinned by steps whose acceptance
// changes when a constant moves: sufficient decrease f(a) <= f0 + 0.1 a g0,
// the "clear decrease" test f(a) < f0 + 0.8 a g0 that tries the doubled step,
// and the quartering of a refused step.  f = x^2 from x0 = 1, g0 = 2 d.
#include "fitting/Minimizer.hh"

#include <gtest/gtest.h>

#include <vector>

namespace {

class Square : public Multifunc {
public:
	double operator()( double* x ) const override
	{
		steps.push_back( x[ 0 ] );
		return x[ 0 ] * x[ 0 ];
	}
	void dfunc( double* x, double* g ) const override { g[ 0 ] = 2.0 * x[ 0 ]; }
	mutable std::vector< double > steps;
};

struct Search {
	Square f;
	ArmijoLineMinimization ls{ f, true, 1.0 };
	double x = 1.0;
	double d;
	double value;
	explicit Search( double direction ) : d( direction )
	{
		ls.last_accepted_step_ = 1.0;  // first trial a0 = min(2, 1) = 1
		ls.func_to_beat_ = 1.0;
		ls.deriv_sum_ = 2.0 * d;
		value = ls( 1, &x, &d );
	}
};

} // namespace

// d = -1.9: f(1) = 0.81 misses 1 - 0.1 * 3.8 = 0.62, so step 1 is refused;
// f(0.25) = 0.275625 meets 1 - 0.025 * 3.8.  Accepting step 1 needs a
// constant below 0.05.
TEST( ArmijoAcceptance, StepOneRefusedAndAQuarterAcceptedAfterTwoEvaluations )
{
	Search s( -1.9 );
	EXPECT_EQ( s.ls.last_accepted_step_, 0.25 );
	ASSERT_EQ( s.f.steps.size(), 2u );
	EXPECT_DOUBLE_EQ( s.f.steps[ 0 ], 1.0 - 1.9 );
	EXPECT_DOUBLE_EQ( s.f.steps[ 1 ], 1.0 - 0.25 * 1.9 );
	EXPECT_DOUBLE_EQ( s.value, 0.275625 );
	EXPECT_DOUBLE_EQ( s.x, 1.0 - 0.25 * 1.9 );
}

// d = -1.7: f(1) = 0.49 meets 1 - 0.1 * 3.4 = 0.66 and is kept after one
// evaluation; a constant above 0.15 would refuse it.
TEST( ArmijoAcceptance, StepOneAcceptedJustInsideTheSufficientDecrease )
{
	Search s( -1.7 );
	EXPECT_EQ( s.ls.last_accepted_step_, 1.0 );
	EXPECT_EQ( s.f.steps.size(), 1u );
	EXPECT_DOUBLE_EQ( s.value, 0.49 );
}

// d = -0.3: f(1) = 0.49 < 1 - 0.8 * 0.6 = 0.52 is a clear decrease, so the
// doubled step is tried and kept (f(2) = 0.16).  d = -0.5: f(1) = 0.25 is
// not below 1 - 0.8 * 1.0 = 0.2; step 1 is kept without trying step 2.
TEST( ArmijoAcceptance, OnlyAClearDecreaseTriesTheDoubledStep )
{
	Search clear( -0.3 );
	EXPECT_EQ( clear.ls.last_accepted_step_, 2.0 );
	EXPECT_EQ( clear.f.steps.size(), 2u );
	EXPECT_DOUBLE_EQ( clear.value, 0.16 );

	Search plain( -0.5 );
	EXPECT_EQ( plain.ls.last_accepted_step_, 1.0 );
	EXPECT_EQ( plain.f.steps.size(), 1u );
	EXPECT_DOUBLE_EQ( plain.value, 0.25 );
}

// d = -7: f(1) = 36 is refused and f(0.25) = 0.5625 meets 1 - 0.025 * 14 =
// 0.65, so the search stops at the first quarter; halving would have tried
// 0.5 (f = 6.25) instead.
TEST( ArmijoAcceptance, RefusedStepsAreQuartered )
{
	Search s( -7.0 );
	ASSERT_EQ( s.f.steps.size(), 2u );
	EXPECT_DOUBLE_EQ( s.f.steps[ 1 ], 1.0 - 0.25 * 7.0 );
	EXPECT_EQ( s.ls.last_accepted_step_, 0.25 );
}
