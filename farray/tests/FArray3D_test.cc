// Layout, storage reuse and checks of the three- and four-dimensional arrays

#include "farray/FArray3D.hh"
#include "farray/FArray4D.hh"
#include "farray/Dimension.hh"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <complex>
#include <cstdint>

using namespace farray;
using testing::HasSubstr;

namespace {

DynamicIndexRange R( int n ) { return DynamicIndexRange( n ); }

// Position of element (i,j,k) in the block, computed from the column-major
// rule: first index fastest
std::size_t pos( FArray3D< double > const & a, int i, int j, int k )
{
	return static_cast< std::size_t >( &a( i, j, k ) - a.data() );
}

}

TEST( FArray3D, EmptyAfterDefaultConstruction )
{
	FArray3D< double > a;
	EXPECT_EQ( a.size(), 0u );
	EXPECT_EQ( a.data(), nullptr );
	EXPECT_EQ( a.u1(), 0 );
	EXPECT_EQ( a.u3(), 0 );
	FArray3D< double > b( a ); // copy of an empty array has no block either
	EXPECT_EQ( b.size(), 0u );
	EXPECT_EQ( b.data(), nullptr );
}

TEST( FArray3D, ColumnMajorLayoutOf4x5x6 )
{
	FArray3D< double > a;
	a.dimension( R( 4 ), R( 5 ), R( 6 ) );
	ASSERT_EQ( a.size(), 120u );
	EXPECT_EQ( a.offset(), ( 1 * 5 + 1 ) * 4 + 1 ); // 25
	EXPECT_EQ( pos( a, 1, 1, 1 ), 0u );
	EXPECT_EQ( pos( a, 2, 1, 1 ), 1u );
	EXPECT_EQ( pos( a, 1, 2, 1 ), 4u );
	EXPECT_EQ( pos( a, 1, 1, 2 ), 20u );
	EXPECT_EQ( pos( a, 4, 5, 6 ), 119u );
	EXPECT_EQ( a.u1(), 4 );
	EXPECT_EQ( a.u2(), 5 );
	EXPECT_EQ( a.u3(), 6 );
	EXPECT_EQ( a.size1(), 4u );
	EXPECT_EQ( a.size2(), 5u );
	EXPECT_EQ( a.size3(), 6u );

	// Every element, written by indices, read back by linear position
	for ( int k = 1; k <= 6; ++k ) for ( int j = 1; j <= 5; ++j ) for ( int i = 1; i <= 4; ++i ) {
		a( i, j, k ) = 100 * i + 10 * j + k;
	}
	std::size_t p = 0;
	for ( int k = 1; k <= 6; ++k ) for ( int j = 1; j <= 5; ++j ) for ( int i = 1; i <= 4; ++i ) {
		EXPECT_EQ( a[ p++ ], 100 * i + 10 * j + k );
	}
}

TEST( FArray3D, OffsetWithNonUnitLowerBounds )
{
	FArray3D< double > a;
	a.dimension_assign( IndexRange( -1, 2 ), IndexRange( 0, 4 ), IndexRange( 3, 8 ) );
	ASSERT_EQ( a.size(), 4u * 5u * 6u );
	EXPECT_EQ( a.offset(), ( 3 * 5 + 0 ) * 4 - 1 );
	EXPECT_EQ( &a( -1, 0, 3 ), a.data() );
	EXPECT_EQ( &a( 0, 0, 3 ), a.data() + 1 );
	EXPECT_EQ( &a( -1, 1, 3 ), a.data() + 4 );
	EXPECT_EQ( &a( -1, 0, 4 ), a.data() + 20 );
	EXPECT_TRUE( a.contains( 2, 4, 8 ) );
	EXPECT_FALSE( a.contains( 3, 4, 8 ) );
	EXPECT_FALSE( a.contains( -1, 0, 2 ) );
}

TEST( FArray3D, LargeLowerBoundsKeepTheOffsetExact )
{
	// The linear index of the first element exceeds 32 bits: a wrapped offset
	// would address memory outside the block
	FArray3D< double > a;
	a.dimension_assign( IndexRange( 1, 2 ), IndexRange( 1, 2 ), IndexRange( 2000000000, 2000000001 ) );
	ASSERT_EQ( a.size(), 8u );
	EXPECT_EQ( a.offset(), ( std::int64_t( 2000000000 ) * 2 + 1 ) * 2 + 1 );
	EXPECT_EQ( &a( 1, 1, 2000000000 ), a.data() );
	EXPECT_EQ( &a( 2, 2, 2000000001 ), a.data() + 7 );
}

TEST( FArray3D, RedimensionToSameCountKeepsBlockAndContents )
{
	FArray3D< double > a;
	a.dimension( R( 4 ), R( 5 ), R( 6 ) );
	for ( std::size_t p = 0; p < a.size(); ++p ) a[ p ] = double( p );
	double const * block = a.data();

	a.dimension( R( 6 ), R( 5 ), R( 4 ) );
	EXPECT_EQ( a.data(), block );
	EXPECT_EQ( a.size(), 120u );
	EXPECT_EQ( &a( 1, 1, 1 ), block );
	EXPECT_EQ( a( 2, 1, 1 ), 1.0 );
	EXPECT_EQ( a( 1, 2, 1 ), 6.0 ); // new stride of dimension 1 is 6
	for ( std::size_t p = 0; p < a.size(); ++p ) EXPECT_EQ( a[ p ], double( p ) );

	// A range changed on its own re-sizes its array through notification
	a.dimension_assign( IndexRange( 0, 5 ), IndexRange( 5 ), IndexRange( 4 ) );
	EXPECT_EQ( a.data(), block );
	EXPECT_EQ( &a( 0, 1, 1 ), block );
}

TEST( FArray3D, RedimensionToNewCountReallocates )
{
	FArray3D< double > a;
	a.dimension( R( 2 ), R( 2 ), R( 2 ) );
	a.dimension( R( 3 ), R( 2 ), R( 2 ) );
	EXPECT_EQ( a.size(), 12u );
	EXPECT_EQ( a.capacity(), 12u );
	a = 1.5;
	for ( double x : a ) EXPECT_EQ( x, 1.5 );
}

TEST( FArray3D, ComplexBlocksAreZeroFilled )
{
	FArray3D< std::complex< double > > c;
	c.dimension( R( 3 ), R( 4 ), R( 5 ) );
	c = std::complex< double >( 7.0, -2.0 );
	c.dimension( R( 3 ), R( 4 ), R( 6 ) ); // new count, new block
	ASSERT_EQ( c.size(), 72u );
	for ( std::size_t p = 0; p < c.size(); ++p ) {
		EXPECT_EQ( c[ p ].real(), 0.0 );
		EXPECT_EQ( c[ p ].imag(), 0.0 );
	}
	FArray3D< std::complex< double > > d( R( 2 ), R( 2 ), R( 2 ) );
	for ( auto const & z : d ) EXPECT_EQ( z, std::complex< double >( 0.0, 0.0 ) );
}

TEST( FArray3D, ZeroExtentGivesNoBlock )
{
	FArray3D< float > a;
	a.dimension( R( 4 ), R( 0 ), R( 6 ) );
	EXPECT_EQ( a.size(), 0u );
	EXPECT_EQ( a.data(), nullptr );
	EXPECT_EQ( a.size1(), 4u );
	EXPECT_EQ( a.size3(), 6u );
	EXPECT_DEATH( a[ 0 ], HasSubstr( "Assertion `i < size_' failed" ) );
}

TEST( FArray3D, CopyAssignment )
{
	FArray3D< double > src( R( 2 ), R( 3 ), R( 4 ) );
	for ( std::size_t p = 0; p < src.size(); ++p ) src[ p ] = 0.5 * p;

	FArray3D< double > same( R( 2 ), R( 3 ), R( 4 ) );
	double const * block = same.data();
	same = src; // equal ranges: block kept
	EXPECT_EQ( same.data(), block );
	for ( std::size_t p = 0; p < src.size(); ++p ) EXPECT_EQ( same[ p ], src[ p ] );

	FArray3D< double > other( R( 7 ), R( 1 ), R( 1 ) );
	other = src; // different ranges: takes the source's ranges first
	EXPECT_EQ( other.u1(), 2 );
	EXPECT_EQ( other.u2(), 3 );
	EXPECT_EQ( other.u3(), 4 );
	EXPECT_EQ( other( 2, 3, 4 ), src( 2, 3, 4 ) );

	FArray3D< double > & alias = src;
	src = alias; // self-assignment changes nothing
	EXPECT_EQ( src( 2, 3, 4 ), 0.5 * 23 );

	FArray3D< double > copy( src ); // independent storage
	copy( 1, 1, 1 ) = -1.0;
	EXPECT_EQ( src( 1, 1, 1 ), 0.0 );
	EXPECT_NE( copy.data(), src.data() );
}

TEST( FArray3D, ClearThenDimensionAgain )
{
	FArray3D< double > a( R( 2 ), R( 2 ), R( 2 ) );
	a.clear();
	EXPECT_EQ( a.size(), 0u );
	EXPECT_EQ( a.data(), nullptr );
	EXPECT_EQ( a.I1(), IndexRange( 1, 0 ) );
	a.dimension( R( 2 ), R( 2 ), R( 3 ) );
	EXPECT_EQ( a.size(), 12u );
	EXPECT_NE( a.data(), nullptr );
	a.to_default();
	for ( double x : a ) EXPECT_EQ( x, 0.0 );
}

TEST( FArray3D, FillValueReappliedWhenARangeResizes )
{
	FArray3D< double > a( R( 2 ), R( 2 ), R( 2 ), 3.0 );
	EXPECT_TRUE( a.initializer_active() );
	for ( double x : a ) EXPECT_EQ( x, 3.0 );
	a.dimension( R( 2 ), R( 2 ), R( 2 ) ); // dimension clears the initializer
	EXPECT_FALSE( a.initializer_active() );
}

TEST( FArray3D, ResizesWhenAFollowedDimensionChanges )
{
	Dimension n( 3 );
	DynamicIndexRange r( n, star ); // [n,*]
	r.intersect( IndexRange( 1, 10 ) ); // [n,10], lower bound still follows n
	FArray3D< double > a;
	a.dimension( r, R( 2 ), R( 2 ) );
	EXPECT_EQ( a.l1(), 3 );
	EXPECT_EQ( a.size(), 8u * 4u );
	n = 5; // Dimension -> range of the array -> array
	EXPECT_EQ( a.l1(), 5 );
	EXPECT_EQ( a.u1(), 10 );
	EXPECT_EQ( a.size(), 6u * 4u );
	EXPECT_EQ( &a( 5, 1, 1 ), a.data() );
	n = 11; // [11,10]: empty
	EXPECT_EQ( a.size(), 0u );
}

TEST( FArray3D, UnboundedRangeCannotSizeAnArray )
{
	FArray3D< double > a;
	EXPECT_DEATH( a.dimension( R( 2 ), R( -1 ), R( 2 ) ), HasSubstr( "Assertion `s2 != npos' failed" ) );
}

TEST( FArray3D, CountOverflowIsAnAssertionNotAWrap )
{
	FArray3D< double > a;
	int const big = 2147483647;
	EXPECT_DEATH( a.dimension( R( big ), R( big ), R( big ) ),
		HasSubstr( "Assertion `( s2 == 0 ) || ( s1 <= max_size / s2 )' failed" ) );
}

TEST( FArray3DDeath, OutOfRangeIndexReportsTheExactCondition )
{
	FArray3D< double > a( R( 4 ), R( 5 ), R( 6 ) );
	char const * text = "farray/FArray3D.hh:"; // the header named in the report
	char const * condition =
		"Assertion `( I1_.contains( i1 ) ) && ( I2_.contains( i2 ) ) && ( I3_.contains( i3 ) )' failed";
	EXPECT_DEATH( a( 5, 1, 1 ) = 0, HasSubstr( condition ) );
	EXPECT_DEATH( a( 1, 6, 1 ) = 0, HasSubstr( condition ) );
	EXPECT_DEATH( a( 1, 1, 7 ) = 0, HasSubstr( text ) );
	EXPECT_DEATH( a( 0, 1, 1 ) = 0, HasSubstr( condition ) );
	EXPECT_DEATH( a( 1, 1, -2147483647 - 1 ) = 0, HasSubstr( condition ) );
	FArray3D< double > const & c = a;
	EXPECT_DEATH( (void)c( 1, 0, 1 ), HasSubstr( condition ) );
	EXPECT_DEATH( a[ 120 ], HasSubstr( "Assertion `i < size_' failed" ) );
}

TEST( FArray4D, LayoutOf2x3x4x5 )
{
	FArray4D< double > a;
	a.dimension( R( 2 ), R( 3 ), R( 4 ), R( 5 ) );
	ASSERT_EQ( a.size(), 120u );
	EXPECT_EQ( a.offset(), ( ( 1 * 4 + 1 ) * 3 + 1 ) * 2 + 1 ); // 33
	EXPECT_EQ( &a( 1, 1, 1, 1 ), a.data() );
	EXPECT_EQ( &a( 2, 1, 1, 1 ), a.data() + 1 );
	EXPECT_EQ( &a( 1, 2, 1, 1 ), a.data() + 2 );
	EXPECT_EQ( &a( 1, 1, 2, 1 ), a.data() + 6 );
	EXPECT_EQ( &a( 1, 1, 1, 2 ), a.data() + 24 );
	EXPECT_EQ( a.u4(), 5 );
	EXPECT_EQ( a.size4(), 5u );

	double const * block = a.data();
	a[ 119 ] = 9.0;
	a.dimension( R( 5 ), R( 4 ), R( 3 ), R( 2 ) ); // same count
	EXPECT_EQ( a.data(), block );
	EXPECT_EQ( a( 5, 4, 3, 2 ), 9.0 );

	FArray4D< double > b( a );
	EXPECT_EQ( b( 5, 4, 3, 2 ), 9.0 );
	FArray4D< double > c( R( 1 ), R( 1 ), R( 1 ), R( 1 ) );
	c = a;
	EXPECT_EQ( c.size(), 120u );
	EXPECT_EQ( c( 5, 4, 3, 2 ), 9.0 );

	a.dimension( R( 2 ), R( 3 ), R( 4 ), R( 0 ) ); // empty fourth range releases the block
	EXPECT_EQ( a.size(), 0u );
	EXPECT_EQ( a.data(), nullptr );
}

TEST( FArray4DDeath, OutOfRangeIndexReportsTheExactCondition )
{
	FArray4D< double > a( R( 2 ), R( 3 ), R( 4 ), R( 5 ) );
	EXPECT_DEATH( a( 1, 1, 1, 6 ) = 0, HasSubstr(
		"Assertion `( I1_.contains( i1 ) ) && ( I2_.contains( i2 ) ) && ( I3_.contains( i3 ) ) && ( I4_.contains( i4 ) )' failed" ) );
	EXPECT_DEATH( a[ 120 ] = 0, HasSubstr( "farray/FArray4D.hh" ) );
}
