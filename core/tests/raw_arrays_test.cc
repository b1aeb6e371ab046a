// Raw arrays: zero fill, separate rows, release counts and the vector
// release helpers.
#include "core/basic_fun_Quilt.hh"

#include <gtest/gtest.h>

TEST( RawArrays, AllocationsAreZeroFilled )
{
	double* d = new1DArr( 5 );
	int* i = new1DIntArr( 5 );
	float* f = new1DfloatArr( 5 );
	std::string* s = new1DStringArr( 3 );
	for ( int k = 0; k < 5; ++k ) {
		EXPECT_EQ( d[ k ], 0.0 );
		EXPECT_EQ( i[ k ], 0 );
		EXPECT_EQ( f[ k ], 0.0f );
	}
	EXPECT_EQ( s[ 2 ], "" );
	delete[] d;
	delete[] i;
	delete[] f;
	delete[] s;

	char** c = new2DCharArr( 2, 8 );
	for ( int k = 0; k < 8; ++k ) EXPECT_EQ( c[ 1 ][ k ], '\0' );
	release2DCharArr( 2, c );
	std::string** ss = new2DStringArr( 2, 2 );
	EXPECT_TRUE( ss[ 1 ][ 1 ].empty() );
	release2DStringArr( 2, ss );

	double*** a3 = new3DArr( 2, 3, 4 );
	EXPECT_EQ( a3[ 1 ][ 2 ][ 3 ], 0.0 );
	a3[ 1 ][ 2 ][ 3 ] = 7.0;
	double*** b3 = new3DArr( 2, 3, 4 );
	copy3DArr( a3, b3, 1, 1, 3, 4 );
	EXPECT_EQ( b3[ 1 ][ 2 ][ 3 ], 7.0 );
	release3DArr( 2, 3, a3 );
	release3DArr( 2, 3, b3 );

	double**** a4 = new4DArr( 2, 2, 2, 2 );
	EXPECT_EQ( a4[ 1 ][ 1 ][ 1 ][ 1 ], 0.0 );
	release4DArr( 2, 2, 2, a4 );
	float**** f4 = new4DFloatArr( 1, 2, 3, 4 );
	EXPECT_EQ( f4[ 0 ][ 1 ][ 2 ][ 3 ], 0.0f );
	release4DFloatArr( 1, 2, 3, f4 );
}

TEST( RawArrays, RowsAreSeparateAllocationsThatCallersMayReplace )
{
	double** p = new2DArr( 3, 3 );
	p[ 0 ][ 2 ] = 1.0;
	EXPECT_EQ( p[ 1 ][ 0 ], 0.0 );
	// Callers swap in rows of their own and release them with the table.
	delete[] p[ 1 ];
	p[ 1 ] = new double[ 3 ]{ 4.0, 5.0, 6.0 };
	delete[] p[ 2 ];
	p[ 2 ] = nullptr;  // null rows are skipped
	release2DArr( 3, p );

	int** q = new2DIntArr( 2, 4 );
	EXPECT_EQ( q[ 1 ][ 3 ], 0 );
	release2DIntArr( 2, q );
}

TEST( RawArrays, EmptyShapes )
{
	double** none = new2DArr( 0, 3 );
	EXPECT_NE( none, nullptr );
	release2DArr( 0, none );
	double** emptyRows = new2DArr( 4, 0 );
	release2DArr( 4, emptyRows );
	release2DArr( 3, nullptr );
	release3DArr( 0, 0, new3DArr( 0, 1, 1 ) );
	EXPECT_THROW( new1DArr( -1 ), std::bad_alloc );
}

TEST( RawArrays, CopyRangesIncludeBothEnds )
{
	double a[ 4 ] = { 1, 2, 3, 4 };
	double b[ 4 ] = { 0, 0, 0, 0 };
	copy1DArr( a, b, 2, 2 );
	EXPECT_EQ( b[ 1 ], 0.0 );
	EXPECT_EQ( b[ 2 ], 3.0 );
	EXPECT_EQ( b[ 3 ], 0.0 );
	copy1DArr( a, b, 3, 2 );
	EXPECT_EQ( b[ 3 ], 0.0 );
	double** s = new2DArr( 3, 3 );
	double** d = new2DArr( 3, 3 );
	s[ 0 ][ 0 ] = 1;
	s[ 1 ][ 2 ] = 2;
	s[ 2 ][ 1 ] = 3;
	copy2DArr( s, d, 1, 2, 3 );
	EXPECT_EQ( d[ 0 ][ 0 ], 0.0 );
	EXPECT_EQ( d[ 1 ][ 2 ], 2.0 );
	EXPECT_EQ( d[ 2 ][ 1 ], 3.0 );
	release2DArr( 3, s );
	release2DArr( 3, d );
}

TEST( RawArrays, DeleteArrayCounts )
{
	double** p = new2DArr( 2, 3 );
	DeleteArray< double >( &p, 2 );
	EXPECT_EQ( p, nullptr );

	double** q = new2DArr( 2, 3 );
	double* row0 = q[ 0 ];
	double* row1 = q[ 1 ];
	DeleteArray< double >( &q, -1 );  // frees only the table
	EXPECT_EQ( q, nullptr );
	delete[] row0;
	delete[] row1;

	double** r = new2DArr( 1, 3 );
	double** keep = r;
	DeleteArray< double >( &r, 0 );  // frees nothing
	EXPECT_EQ( r, nullptr );
	release2DArr( 1, keep );
}

TEST( RawArrays, VectorReleaseHelpersWorkOnTheirOwnCopy )
{
	std::vector< double* > v{ new double[ 3 ], nullptr, new double[ 3 ] };
	releaseVecT1D< double >( v );
	EXPECT_EQ( v.size(), 3u );  // the pointers are dangling now; not used again

	std::vector< int* > iv{ new int[ 2 ] };
	releaseVecT1D( iv );

	std::vector< std::vector< double* > > atoms{ { new double[ 3 ] }, { new double[ 3 ], new double[ 3 ] } };
	releaseVecVecT1D< double >( atoms );
	EXPECT_EQ( atoms.size(), 2u );

	std::vector< double > values{ 1.0, 2.0 };
	release1DVec< double >( values );
	ASSERT_EQ( values.size(), 2u );
	EXPECT_EQ( values[ 1 ], 2.0 );

	std::vector< std::vector< std::string > > names{ { "a", "b" }, { "c" } };
	release2VecT1D< std::string >( names );
	ASSERT_EQ( names.size(), 2u );
	EXPECT_EQ( names[ 1 ][ 0 ], "c" );
}
