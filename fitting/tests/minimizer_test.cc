// LBFGS with the Armijo line search on functions whose minimum is known.
#include "fitting/Minimizer.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

// f(x) = sum_i c_i (x_i - a_i)^2 with widely different scales c_i.
class ScaledQuadratic : public Multifunc {
public:
	ScaledQuadratic( std::vector<double> c, std::vector<double> a ) : c_( c ), a_( a ) {}
	double operator()( double* x ) const override
	{
		++values;
		double f = 0.0;
		for ( size_t i = 0; i < c_.size(); ++i ) f += c_[i] * ( x[i] - a_[i] ) * ( x[i] - a_[i] );
		return f;
	}
	void dfunc( double* x, double* g ) const override
	{
		++gradients;
		for ( size_t i = 0; i < c_.size(); ++i ) g[i] = 2.0 * c_[i] * ( x[i] - a_[i] );
	}
	mutable int values = 0;
	mutable int gradients = 0;
	std::vector<double> c_, a_;
};

// Scaled Rosenbrock valley, minimum 0 at (1, 1).
class Rosenbrock : public Multifunc {
public:
	double operator()( double* x ) const override
	{
		double const a = 1.0 - x[0], b = x[1] - x[0] * x[0];
		return scale * ( a * a + 100.0 * b * b );
	}
	void dfunc( double* x, double* g ) const override
	{
		double const b = x[1] - x[0] * x[0];
		g[0] = scale * ( -2.0 * ( 1.0 - x[0] ) - 400.0 * x[0] * b );
		g[1] = scale * 200.0 * b;
	}
	double scale = 1.0;
};

// Records every point the objective is evaluated at.
class Recording : public Multifunc {
public:
	double operator()( double* x ) const override
	{
		points.push_back( std::vector<double>( x, x + 2 ) );
		return x[0] * x[0] + x[1] * x[1];
	}
	void dfunc( double* x, double* g ) const override
	{
		g[0] = 2.0 * x[0];
		g[1] = 2.0 * x[1];
	}
	mutable std::vector<std::vector<double> > points;
};

// A value that never decreases along any direction, with a gradient that
// claims it does: the line search must give up.
class Lying : public Multifunc {
public:
	double operator()( double* x ) const override
	{
		++values;
		return 1.0 + std::fabs( x[0] ) + std::fabs( x[1] );
	}
	void dfunc( double*, double* g ) const override
	{
		g[0] = -3.0;
		g[1] = 0.0;
	}
	void dump( double*, double* ) const override { ++dumps; }
	mutable int values = 0;
	mutable int dumps = 0;
};

TEST( Minimizer, ScaledQuadraticReachesTheKnownMinimum )
{
	ScaledQuadratic f( { 1.0, 10.0, 100.0, 0.5, 30.0, 3.0 }, { 1.5, -2.0, 0.25, 4.0, -0.75, 3.0 } );
	std::vector<double> x( 6, 0.0 );
	Minimizer m( f );
	double const v = m.run( x.data(), 6, 1000, "fractional" );
	for ( int i = 0; i < 6; ++i ) EXPECT_NEAR( x[i], f.a_[i], 0.05 ) << "component " << i;
	EXPECT_LT( v, 1e-2 );
	// The returned value is the objective evaluated anew at the final point.
	EXPECT_DOUBLE_EQ( v, f( x.data() ) );
}

TEST( Minimizer, RosenbrockValleyIsFollowedToItsMinimum )
{
	Rosenbrock f;
	f.scale = 1000.0; // a large gradient scale, like the density objective's weight
	std::vector<double> x = { -1.2, 1.0 };
	Minimizer m( f );
	double const v = m.run( x.data(), 2, 1000, "fractional" );
	EXPECT_NEAR( x[0], 1.0, 0.02 );
	EXPECT_NEAR( x[1], 1.0, 0.04 );
	EXPECT_LT( v, 1.0 );
}

TEST( Minimizer, LongRunWrapsTheHistoryAndStillConverges )
{
	// 150 variables with condition number 1e3 need more than 128 stored pairs
	// under "maxstep", so the history ring wraps.
	int const n = 150;
	std::vector<double> c( n ), a( n );
	for ( int i = 0; i < n; ++i ) {
		c[i] = 1.0 + 999.0 * i / ( n - 1 );
		a[i] = std::sin( 0.3 * i );
	}
	ScaledQuadratic f( c, a );
	std::vector<double> x( n, 0.0 );
	Minimizer m( f );
	m.run( x.data(), n, 400, "maxstep" );
	EXPECT_GT( f.gradients, 129 );
	for ( int i = 0; i < n; ++i ) EXPECT_NEAR( x[i], a[i], 1e-2 ) << i;
}

TEST( Minimizer, ZeroIterationsEvaluateOnceAndLeaveThePoint )
{
	ScaledQuadratic f( { 1.0, 2.0 }, { 3.0, 4.0 } );
	std::vector<double> x = { 0.5, -0.5 };
	Minimizer m( f );
	double fret = -1.0;
	auto ls = std::make_shared<ArmijoLineMinimization>( f, true, 1.0 );
	m.lbfgs( x.data(), 2, fret, ls, 0, "fractional", false );
	EXPECT_EQ( f.values, 1 );
	EXPECT_EQ( f.gradients, 1 );
	EXPECT_EQ( x[0], 0.5 );
	EXPECT_EQ( x[1], -0.5 );
	EXPECT_DOUBLE_EQ( fret, 1.0 * 2.5 * 2.5 + 2.0 * 4.5 * 4.5 );
}

TEST( Minimizer, FlatStartEndsAfterOneIterationWithoutMoving )
{
	// Gradient components of 2c(x - a) = 2e-5 are below the 1e-4 direction cut.
	ScaledQuadratic f( { 1.0, 1.0 }, { 0.0, 0.0 } );
	std::vector<double> x = { 1e-5, -1e-5 };
	Minimizer m( f );
	m.run( x.data(), 2, 1000, "fractional" );
	EXPECT_EQ( x[0], 1e-5 );
	EXPECT_EQ( x[1], -1e-5 );
	EXPECT_EQ( f.gradients, 1 );
}

TEST( Minimizer, FirstTrialStepOfANonMonotoneRunIsOneHundredth )
{
	Recording f;
	std::vector<double> x = { 3.0, -4.0 };
	Minimizer m( f );
	m.run( x.data(), 2, 1, "fractional" );
	// Evaluations: the start, then the first trial at x - 0.01 g.
	ASSERT_GE( f.points.size(), 2u );
	EXPECT_DOUBLE_EQ( f.points[1][0], 3.0 - 0.01 * 6.0 );
	EXPECT_DOUBLE_EQ( f.points[1][1], -4.0 + 0.01 * 8.0 );
}

TEST( ArmijoLineSearch, GivesUpAfterNineQuarteringsAndReturnsTheReference )
{
	Lying f;
	ArmijoLineMinimization ls( f, true, 1.0 );
	ls.last_accepted_step_ = 0.5;
	ls.func_to_beat_ = 1.0;
	ls.deriv_sum_ = -9.0; // slope the gradient claims along d
	std::vector<double> x = { 0.0, 0.0 }, d = { 3.0, 0.0 };
	double const v = ls( 2, x.data(), d.data() );
	EXPECT_EQ( v, 1.0 );
	EXPECT_EQ( ls.last_accepted_step_, 0.0 );
	EXPECT_EQ( f.values, 10 ); // trial at a0 = 1, then nine quarterings
	EXPECT_EQ( f.dumps, 1 );
	EXPECT_EQ( x[0], 0.0 );
	EXPECT_EQ( d[0], 0.0 ); // the direction is scaled by the zero step
}

TEST( ArmijoLineSearch, ClearDecreaseTriesTheDoubledStep )
{
	// f = (x - 10)^2 from 0 along +1: the value keeps falling up to x = 10.
	ScaledQuadratic f( { 1.0 }, { 10.0 } );
	ArmijoLineMinimization ls( f, true, 1.0 );
	ls.last_accepted_step_ = 1.0; // a0 = min(2, 1) = 1
	ls.func_to_beat_ = 100.0;
	ls.deriv_sum_ = -20.0;
	std::vector<double> x = { 0.0 }, d = { 1.0 };
	double const v = ls( 1, x.data(), d.data() );
	EXPECT_EQ( ls.last_accepted_step_, 2.0 );
	EXPECT_DOUBLE_EQ( x[0], 2.0 );
	EXPECT_DOUBLE_EQ( v, 64.0 );
}

TEST( ArmijoLineSearch, TinyDirectionReturnsTheValueInPlace )
{
	ScaledQuadratic f( { 1.0 }, { 10.0 } );
	ArmijoLineMinimization ls( f, true, 1.0 );
	ls.last_accepted_step_ = 0.3;
	std::vector<double> x = { 1.0 }, d = { 5e-5 };
	EXPECT_DOUBLE_EQ( ls( 1, x.data(), d.data() ), 81.0 );
	EXPECT_EQ( x[0], 1.0 );
	EXPECT_EQ( ls.last_accepted_step_, 0.3 );
}

TEST( ConvergenceTests, FractionalAndAbsolute )
{
	EXPECT_TRUE( fractional_converge_test( 1000.0, 1000.04 ) );
	EXPECT_FALSE( fractional_converge_test( 1000.0, 1000.2 ) );
	EXPECT_TRUE( fractional_converge_test( 0.0, 0.0 ) );
	EXPECT_TRUE( absolute_converge_test( 5.0, 5.0001 ) );
	EXPECT_FALSE( absolute_converge_test( 5.0, 5.001 ) );
}

} // namespace
