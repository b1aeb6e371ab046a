// Shapes, containment, growth and intersection of index ranges

#include "farray/IndexRange.hh"

#include <gtest/gtest.h>

#include <sstream>

using namespace farray;

TEST( IndexRange, ClearedRangeIsEmpty )
{
	IndexRange r;
	EXPECT_EQ( r.l(), 1 );
	EXPECT_EQ( r.u(), 0 );
	EXPECT_EQ( r.size(), 0u );
	EXPECT_TRUE( r.bounded() );
	EXPECT_FALSE( r.positive() );
	EXPECT_FALSE( r.unbounded() );
	EXPECT_FALSE( r.contains( 1 ) );
	r.assign( 3, 9 );
	r.clear();
	EXPECT_EQ( r, IndexRange( 1, 0 ) );
}

TEST( IndexRange, UnboundedFormsAgree )
{
	IndexRange a, b, c;
	a.assign( 1, -1 );
	b.assign( -1 );
	c.assign( 1, star );
	for ( IndexRange const * r : { &a, &b, &c } ) {
		EXPECT_EQ( r->size(), npos );
		EXPECT_TRUE( r->unbounded() );
		EXPECT_FALSE( r->bounded() );
		EXPECT_TRUE( r->contains( 1000000 ) );
		EXPECT_FALSE( r->contains( 0 ) );
		std::ostringstream out;
		out << *r;
		EXPECT_EQ( out.str(), "[1,-1]" );
	}
	EXPECT_EQ( a, b );
	EXPECT_EQ( b, c );
}

TEST( IndexRange, Legality )
{
	EXPECT_TRUE( IndexRange( -2147483646, -2147483647 - 1 ).legal() ); // unbounded at the lowest legal l
	EXPECT_FALSE( IndexRange( -2147483647, 5 ).legal() );
	IndexRange r;
	r.assign( 5, 2 ); // stored without complaint
	EXPECT_FALSE( r.legal() );
	EXPECT_FALSE( r.bounded() );
	EXPECT_FALSE( r.unbounded() );
}

TEST( IndexRange, WideRangeSizeDoesNotWrap )
{
	// More than 2^31 indices: the size must not wrap through 32-bit arithmetic
	IndexRange const wide( -2147483646, 2147483647 );
	EXPECT_TRUE( wide.legal() );
	EXPECT_EQ( wide.size(), 4294967294u );
	EXPECT_TRUE( wide.contains_sized( 0 ) );
	EXPECT_TRUE( wide.contains_sized( 2147483647 ) );
	EXPECT_FALSE( wide.contains_sized( -2147483647 ) );
}

TEST( IndexRange, LowerBoundSetter )
{
	IndexRange u( 1, star );
	u.l( 3 );
	EXPECT_EQ( u.l(), 3 );
	EXPECT_TRUE( u.unbounded() );
	EXPECT_EQ( u.size(), npos );
	IndexRange b( 1, 10 );
	b.l( 3 );
	EXPECT_EQ( b, IndexRange( 3, 10 ) );
	EXPECT_EQ( b.size(), 8u );
	b.u( star );
	EXPECT_EQ( b.u(), 1 );
	EXPECT_EQ( b.size(), npos );
}

TEST( IndexRange, Intersect )
{
	IndexRange r( 1, 5 );
	r.intersect( IndexRange( 8, 20 ) );
	EXPECT_EQ( r, IndexRange( 1, 0 ) );
	EXPECT_EQ( r.size(), 0u );

	r.assign( 1, 5 );
	r.intersect( IndexRange( 3, 20 ) );
	EXPECT_EQ( r, IndexRange( 3, 5 ) );
	EXPECT_EQ( r.size(), 3u );

	IndexRange s( 1, star );
	s.intersect( IndexRange( 3, 20 ) );
	EXPECT_EQ( s, IndexRange( 3, 20 ) );
	EXPECT_EQ( s.size(), 18u );

	IndexRange t( 2, star );
	t.intersect( IndexRange( 4, star ) );
	EXPECT_EQ( t, IndexRange( 4, star ) );
	EXPECT_TRUE( t.unbounded() );
}

TEST( IndexRange, Contain )
{
	IndexRange u( 2, star );
	u.contain( IndexRange( 0, 3 ) );
	EXPECT_EQ( u, IndexRange( 0, star ) );

	IndexRange r( 4, 6 );
	r.contain( IndexRange( 1, 0 ) ); // empty: no change
	EXPECT_EQ( r, IndexRange( 4, 6 ) );
	r.contain( 9 );
	EXPECT_EQ( r, IndexRange( 4, 9 ) );
	EXPECT_EQ( r.size(), 6u );

	IndexRange e;
	e.contain( 5 ); // the empty range keeps its own bounds in the hull
	EXPECT_EQ( e, IndexRange( 1, 5 ) );
	IndexRange f;
	f.contain( -3 );
	EXPECT_EQ( f, IndexRange( -3, 0 ) );
	EXPECT_EQ( f.size(), 4u );
}

TEST( IndexRange, RangeContainmentAndIntersection )
{
	IndexRange const empty_a( 5, 4 ), empty_b( -7, -8 ), pos( 2, 6 ), unb( 3, star );
	EXPECT_TRUE( empty_a.contains( empty_b ) );
	EXPECT_FALSE( empty_a.contains( pos ) );
	EXPECT_TRUE( pos.contains( empty_a ) );
	EXPECT_TRUE( pos.contains( IndexRange( 3, 6 ) ) );
	EXPECT_FALSE( pos.contains( IndexRange( 3, 7 ) ) );
	EXPECT_FALSE( pos.contains( unb ) );
	EXPECT_TRUE( unb.contains( IndexRange( 3, 1000 ) ) );
	EXPECT_TRUE( unb.contains( IndexRange( 4, star ) ) );
	EXPECT_FALSE( unb.contains( IndexRange( 2, 5 ) ) );

	EXPECT_TRUE( pos.intersects( IndexRange( 6, 9 ) ) );
	EXPECT_FALSE( pos.intersects( IndexRange( 7, 9 ) ) );
	EXPECT_FALSE( pos.intersects( empty_a ) );
	EXPECT_TRUE( pos.intersects( IndexRange( 6, star ) ) );
	EXPECT_FALSE( pos.intersects( IndexRange( 7, star ) ) );
	EXPECT_FALSE( empty_a.intersects( pos ) );
	EXPECT_TRUE( unb.intersects( IndexRange( 0, 3 ) ) );
	EXPECT_FALSE( unb.intersects( IndexRange( 0, 2 ) ) );
	EXPECT_TRUE( unb.intersects( IndexRange( -5, star ) ) );
}

TEST( IndexRange, StreamInputAndOutput )
{
	std::ostringstream out;
	out << IndexRange( 10 ) << IndexRange( 3, star );
	EXPECT_EQ( out.str(), "[1,10][3,1]" );

	IndexRange r;
	std::istringstream in( " -2 7" );
	in >> r;
	EXPECT_EQ( r, IndexRange( -2, 7 ) );
	EXPECT_EQ( r.size(), 10u );

	std::istringstream bad( "4 x" ); // the second number fails: range unchanged
	bad >> r;
	EXPECT_TRUE( bad.fail() );
	EXPECT_EQ( r, IndexRange( -2, 7 ) );
}

TEST( IndexRange, ArrayIndexTestMatchesContains )
{
	// The arrays' one-comparison test must agree with contains() on bounded ranges
	for ( IndexRange const & r : { IndexRange( 1, 4 ), IndexRange( -3, 2 ), IndexRange( 1, 0 ),
			IndexRange( 2147483640, 2147483647 ), IndexRange( -2147483646, -2147483640 ) } ) {
		for ( int i : { -2147483647 - 1, -2147483646, -4, -3, 0, 1, 2, 4, 5, 2147483640, 2147483647 } ) {
			EXPECT_EQ( r.contains_sized( i ), r.contains( i ) ) << r << " " << i;
		}
	}
}
