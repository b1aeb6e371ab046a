// Dimensions, their expressions, and dynamic ranges that follow them

#include "farray/Dimension.hh"
#include "farray/DimensionExpressionCon.hh"
#include "farray/DimensionExpressionRef.hh"
#include "farray/DimensionExpressionSum.hh"
#include "farray/DimensionExpressionSub.hh"
#include "farray/DimensionExpressionMul.hh"
#include "farray/DimensionExpressionDiv.hh"
#include "farray/DynamicIndexRange.hh"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

using namespace farray;
using testing::HasSubstr;

namespace {

DimensionExpressionCon * con( int i ) { return new DimensionExpressionCon( i ); }
DimensionExpressionCon * con( double x ) { return new DimensionExpressionCon( x ); }
DimensionExpressionRef * ref( Dimension const & d ) { return new DimensionExpressionRef( d ); }

// Counts updates of a range's observer
class Counter : public ObserverMulti
{
public:
	void update() override { ++updates; }
	void destructed( Observer const & ) override {}
	int updates = 0;
};

}

TEST( DimensionExpression, FoldingAndEvaluation )
{
	std::unique_ptr< DimensionExpression > sum( DimensionExpressionSum( con( 2 ), con( 3 ) ).clone() );
	EXPECT_TRUE( sum->constant() );
	EXPECT_TRUE( sum->integer() );
	EXPECT_EQ( sum->value(), 5.0 );
	EXPECT_EQ( nullptr, dynamic_cast< DimensionExpressionSum * >( sum.get() ) ); // folded to a constant

	EXPECT_EQ( DimensionExpressionDiv( con( 7 ), con( 2 ) ).value(), 3.0 );
	EXPECT_EQ( DimensionExpressionDiv( con( -7 ), con( 2 ) ).value(), -3.0 );
	EXPECT_EQ( DimensionExpressionDiv( con( 7.0 ), con( 2 ) ).value(), 3.5 );
	std::unique_ptr< DimensionExpression > q( DimensionExpressionDiv( con( 7.0 ), con( 2 ) ).clone() );
	EXPECT_FALSE( q->integer() );
	EXPECT_EQ( q->value(), 3.5 );
	EXPECT_EQ( DimensionExpressionMul( con( 2.5 ), con( 3 ) ).ivalue(), 7 );
	EXPECT_EQ( DimensionExpressionSub( con( 2 ), con( 4.5 ) ).ivalue(), -2 ); // toward zero

	Dimension d( 4 );
	DimensionExpressionSum mixed( new DimensionExpressionSum( con( 2 ), con( 3 ) ), ref( d ) );
	EXPECT_TRUE( mixed.reducible() );
	EXPECT_FALSE( mixed.constant() );
	EXPECT_TRUE( mixed.reference() );
	std::unique_ptr< DimensionExpression > folded( mixed.clone() );
	EXPECT_FALSE( folded->reducible() );
	auto const * top = dynamic_cast< DimensionExpressionSum const * >( folded.get() );
	ASSERT_NE( top, nullptr );
	EXPECT_NE( dynamic_cast< DimensionExpressionCon const * >( &top->exp1() ), nullptr );
	EXPECT_EQ( folded->value(), 9.0 );
	EXPECT_FALSE( DimensionExpressionCon( 3 ).reducible() );
	EXPECT_FALSE( DimensionExpressionRef( d ).reducible() );
	EXPECT_TRUE( DimensionExpressionRef( Dimension( 2.5 ) ).integer() );
}

TEST( DimensionExpression, UninitializedReference )
{
	Dimension u; // no expression
	DimensionExpressionSum e( ref( u ), con( 1 ) );
	EXPECT_FALSE( e.initialized() );
	EXPECT_EQ( e.zvalue(), 0 );
	EXPECT_DEATH( e.ivalue(), HasSubstr( "Assertion `initialized_' failed" ) );
	EXPECT_DEATH( DimensionExpressionDiv( con( 1 ), con( 0 ) ).value(), HasSubstr( "exp2_p_->value() != 0.0" ) );
	EXPECT_DEATH( delete DimensionExpressionDiv( con( 1 ), con( 0 ) ).clone(), HasSubstr( "exp2_p_->ivalue() != 0" ) );
}

TEST( Dimension, ConstructionAndTruncation )
{
	EXPECT_EQ( Dimension( 2.7 ).value(), 2 );
	EXPECT_EQ( Dimension( -2.7 ).value(), -2 );
	Dimension u;
	EXPECT_FALSE( u.initialized() );
	EXPECT_DEATH( u.value(), HasSubstr( "Assertion `initialized_' failed" ) );
	EXPECT_DEATH( ++u, HasSubstr( "Assertion `exp_p_' failed" ) );
}

TEST( Dimension, CopyFollowsTheOriginal )
{
	Dimension d( 3 );
	Dimension c( d );
	Dimension cc( c );
	EXPECT_EQ( c.value(), 3 );
	d = 5;
	EXPECT_EQ( c.value(), 5 );
	EXPECT_EQ( cc.value(), 5 );
	Dimension sum( 10 );
	sum += d; // 10 + d
	d = 1;
	EXPECT_EQ( sum.value(), 11 );
	sum -= sum;
	EXPECT_EQ( sum.value(), 0 );
}

TEST( Dimension, CompoundAssignment )
{
	Dimension d( 3 );
	DimensionExpressionSum e( ref( d ), con( 1 ) );
	d += e; // 3 + ( 3 + 1 ): the reference to d itself is replaced by d's old expression
	EXPECT_EQ( d.value(), 7 );
	EXPECT_NE( nullptr, dynamic_cast< DimensionExpressionCon const * >( d.exp_p() ) );
	EXPECT_FALSE( d.has_observer() );

	d += d;
	EXPECT_EQ( d.value(), 14 );
	EXPECT_NE( nullptr, dynamic_cast< DimensionExpressionCon const * >( d.exp_p() ) ); // folded
	d /= 4;
	EXPECT_EQ( d.value(), 3 );
	d *= 2.5;
	EXPECT_EQ( d.value(), 7 );
	++d;
	--d;
	--d;
	EXPECT_EQ( d.value(), 6 );
	EXPECT_DEATH( d /= 0, HasSubstr( "Assertion `i != 0' failed" ) );
	EXPECT_DEATH( d /= 0.0, HasSubstr( "Assertion `d != 0.0' failed" ) );
}

TEST( Dimension, NoChangeStillNotifies )
{
	Dimension d( 4 );
	Counter watcher;
	d.insert_observer( watcher );
	DimensionExpression const * before = d.exp_p();
	d += 0;
	d *= 1;
	EXPECT_EQ( d.exp_p(), before );
	EXPECT_EQ( watcher.updates, 2 );
	d.remove_observer( watcher );
}

TEST( Dimension, ConditionalAssignment )
{
	Dimension d( 30 );
	d.assign_if_half( 10 ); // 30 * 0.5 > 10
	EXPECT_EQ( d.value(), 10 );
	d = 15;
	d.assign_if_half( 10 ); // 7.5 is not > 10
	EXPECT_EQ( d.value(), 15 );
	d = 8;
	d.assign_if_half( 10 ); // 8 < 10
	EXPECT_EQ( d.value(), 10 );

	Counter watcher;
	d = 5;
	d.insert_observer( watcher );
	d.assign_if_bigger_nic( 5 );
	EXPECT_EQ( watcher.updates, 0 );
	d.assign_if_bigger( 5 ); // no assignment, still notifies
	EXPECT_EQ( watcher.updates, 1 );
	d = 4;
	watcher.updates = 0;
	d.assign_if_bigger_nic( 5 );
	EXPECT_EQ( d.value(), 5 );
	EXPECT_EQ( watcher.updates, 1 );
	d.remove_observer( watcher );
}

TEST( Dimension, StreamInput )
{
	Dimension d;
	std::istringstream a( "  7  " );
	a >> d;
	EXPECT_EQ( d.value(), 7 );
	EXPECT_TRUE( dynamic_cast< DimensionExpressionCon const * >( d.exp_p() )->integer() );
	std::istringstream b( "7.0 1e3 12.5" );
	b >> d;
	EXPECT_EQ( d.value(), 7 );
	EXPECT_FALSE( d.exp_p()->integer() );
	b >> d;
	EXPECT_EQ( d.value(), 1000 );
	b >> d;
	EXPECT_EQ( d.value(), 12 );
	std::ostringstream out;
	out << d;
	EXPECT_EQ( out.str(), "12" );
	std::istringstream bad( "12x" );
	EXPECT_EXIT( bad >> d, testing::ExitedWithCode( 1 ), HasSubstr( "\n*** farray Error: Invalid stream input to Dimension: 12x\n" ) );
}

TEST( Dimension, DestroyedReferenceBecomesNull )
{
	Dimension follower;
	{
		Dimension d( 4 );
		follower = d;
		EXPECT_EQ( follower.value(), 4 );
	}
	EXPECT_EQ( follower.value(), 4 ); // keeps its last value
	auto const * r = dynamic_cast< DimensionExpressionRef const * >( follower.exp_p() );
	ASSERT_NE( r, nullptr );
	EXPECT_EQ( r->dim_p(), nullptr );
	EXPECT_DEATH( follower.update(), HasSubstr( "Assertion `dim_p_' failed" ) );
}

TEST( DynamicIndexRange, IntegerForms )
{
	EXPECT_EQ( DynamicIndexRange( 0 ).size(), 0u );
	EXPECT_EQ( DynamicIndexRange( 0 ), IndexRange( 1, 0 ) );
	DynamicIndexRange u( -1 );
	EXPECT_TRUE( u.unbounded() );
	EXPECT_EQ( u.size(), npos );
	EXPECT_DEATH( DynamicIndexRange( -2 ), HasSubstr( "Assertion `legal_static()' failed" ) );

	DynamicIndexRange r( 10 );
	r.assign_no_notify( r ); // from itself: nothing
	EXPECT_EQ( r, IndexRange( 1, 10 ) );
}

TEST( DynamicIndexRange, NotifyAndNotifyIfChanged )
{
	Counter array;
	DynamicIndexRange r( 10 );
	r.insert_observer( array );
	r.contain_nic( 5 );
	EXPECT_EQ( array.updates, 0 );
	r.contain( 5 ); // no change, still notifies
	EXPECT_EQ( array.updates, 1 );
	r.contain_nic( 12 );
	EXPECT_EQ( r, IndexRange( 1, 12 ) );
	EXPECT_EQ( array.updates, 2 );
	r.intersect_nic( IndexRange( 0, 20 ) );
	EXPECT_EQ( array.updates, 2 );
	r.intersect( IndexRange( 3, 20 ) );
	EXPECT_EQ( r, IndexRange( 3, 12 ) );
	r.assign_no_notify( IndexRange( 2, 4 ) );
	EXPECT_EQ( array.updates, 3 );
	r.assign( 2, 5 );
	EXPECT_EQ( array.updates, 4 );
	r.remove_observer( array );
}

TEST( DynamicIndexRange, FollowsADimensionWithUnboundedUpperEnd )
{
	Dimension d( 4 );
	DynamicIndexRange r( d, star );
	std::ostringstream out;
	out << r;
	EXPECT_EQ( out.str(), "[4,2]" );
	EXPECT_TRUE( r.unbounded() );
	d = 7;
	EXPECT_EQ( r.l(), 7 );
	EXPECT_EQ( r.u(), 5 );
	EXPECT_TRUE( r.unbounded() );
	EXPECT_EQ( r.size(), npos );

	DynamicIndexRange copy( r ); // follows d through its own private copy, no observer
	EXPECT_FALSE( copy.has_observer() );
	EXPECT_NE( copy.l_dim_p(), r.l_dim_p() );
	d = 9;
	EXPECT_EQ( copy.l(), 9 );
	EXPECT_TRUE( copy.unbounded() );

	r.u( 12 ); // upper bound fixed, lower still follows
	EXPECT_EQ( r, IndexRange( 9, 12 ) );
	d = 10;
	EXPECT_EQ( r, IndexRange( 10, 12 ) );
	EXPECT_EQ( r.size(), 3u );
	r.l( 1 ); // now both fixed
	d = 2;
	EXPECT_EQ( r, IndexRange( 1, 12 ) );
}

TEST( DynamicIndexRange, FollowsAnUninitializedDimension )
{
	Dimension d;
	DynamicIndexRange r( d, star );
	EXPECT_FALSE( r.initialized() );
	EXPECT_EQ( r.size(), 0u );
	EXPECT_TRUE( r.legal() );
	EXPECT_FALSE( r.bounded() );
	EXPECT_TRUE( r.not_unbounded() );
	for ( int i : { -5, 0, 1, 100 } ) EXPECT_FALSE( r.contains( i ) );
	EXPECT_DEATH( r.l(), HasSubstr( "Assertion `l_initialized()' failed" ) );
	EXPECT_DEATH( r.contain( 3 ), HasSubstr( "( l_dim_p_ ? l_dim_p_->initialized_ : true )" ) );
	d = 3;
	EXPECT_TRUE( r.initialized() );
	EXPECT_EQ( r.l(), 3 );
	EXPECT_EQ( r.size(), npos );
}

TEST( DynamicIndexRange, FollowsAnExpression )
{
	Dimension n( 5 );
	DimensionExpressionMul twice( ref( n ), con( 2 ) );
	DynamicIndexRange r( twice, star );
	EXPECT_EQ( r.l(), 10 );
	n = 6;
	EXPECT_EQ( r.l(), 12 );
	r.intersect( IndexRange( 1, 20 ) );
	EXPECT_EQ( r, IndexRange( 12, 20 ) );
	n = 3;
	EXPECT_EQ( r, IndexRange( 6, 20 ) );
	EXPECT_EQ( r.size(), 15u );
	// l 60 > u 20 + 1: an illegal range from a followed bound is an assertion failure
	EXPECT_DEATH( n = 30, HasSubstr( "Assertion `legal_dynamic()' failed" ) );
}

TEST( DynamicIndexRange, DroppingTheFollowedLowerBoundKeepsTheRangeCopyable )
{
	Dimension d( 4 );
	DynamicIndexRange r( d, star );
	r.l( 2 ); // fixed [2,*]
	EXPECT_TRUE( r.unbounded() );
	EXPECT_EQ( r.u_dim_p(), nullptr );
	DynamicIndexRange copy( r );
	EXPECT_EQ( copy, IndexRange( 2, star ) );
}

TEST( DynamicIndexRange, OnlyMovedBoundsStopFollowing )
{
	Dimension d( 3 );
	DynamicIndexRange r( d, star );
	r.intersect( IndexRange( 1, 10 ) ); // [d,10]
	r.contain( 5 ); // inside: nothing moves, the lower bound keeps following
	d = 4;
	EXPECT_EQ( r, IndexRange( 4, 10 ) );
	r.contain( 12 ); // only the upper bound moves
	d = 2;
	EXPECT_EQ( r, IndexRange( 2, 12 ) );
	r.intersect( IndexRange( 3, 8 ) ); // both move: both fixed now
	d = 1;
	EXPECT_EQ( r, IndexRange( 3, 8 ) );
	EXPECT_EQ( r.l_dim_p(), nullptr );

	DynamicIndexRange u( d, star ); // [1,*] following d
	u.contain( -4 ); // below an unbounded range: [-4,*], fixed
	d = 6;
	EXPECT_EQ( u, IndexRange( -4, star ) );
	EXPECT_TRUE( u.unbounded() );
	u.intersect( IndexRange( 0, 3 ) );
	EXPECT_EQ( u, IndexRange( 0, 3 ) );
	EXPECT_EQ( u.size(), 4u );
	u.intersect( IndexRange( 7, 9 ) ); // disjoint: empty at its own lower bound
	EXPECT_EQ( u, IndexRange( 0, -1 ) );
	EXPECT_EQ( u.size(), 0u );
}
