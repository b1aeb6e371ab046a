// Distance parameters, working-set allocation, vector operations and the
// alignment text routines.
#include "alignment/DPAlign.hh"
#include "alignment/StructAlign.hh"

#include <gtest/gtest.h>

#include <cmath>

using namespace structalign;

TEST( AlignParameters, SearchPhaseReferenceValues )
{
	parameter_set4search( 20, 20 );
	EXPECT_EQ( Lnorm, 20.0 );
	EXPECT_NEAR( d0, 1.120370, 5e-7 );
	EXPECT_EQ( D0_MIN, d0 );
	EXPECT_EQ( d0_search, 4.5 );
	EXPECT_NEAR( score_d8, 7.184684, 5e-7 );
	EXPECT_EQ( dcu0, 4.25 );

	parameter_set4search( 100, 250 );
	EXPECT_EQ( Lnorm, 100.0 );
	EXPECT_NEAR( d0, 4.452069, 5e-7 );
	EXPECT_EQ( d0_search, 4.5 );

	// d0_search first exceeds 4.5 at 103 and is capped at 8.0 from 398.
	parameter_set4search( 102, 102 );
	EXPECT_EQ( d0_search, 4.5 );
	parameter_set4search( 103, 103 );
	EXPECT_GT( d0_search, 4.5 );
	parameter_set4search( 397, 500 );
	EXPECT_LT( d0_search, 8.0 );
	parameter_set4search( 398, 500 );
	EXPECT_EQ( d0_search, 8.0 );
}

TEST( AlignParameters, ShortChainsUseTheFixedScale )
{
	parameter_set4search( 19, 300 );
	EXPECT_EQ( Lnorm, 19.0 );
	// One unit in the last place above the double nearest 0.968.
	EXPECT_EQ( d0, std::nextafter( 0.968, 1.0 ) );
	EXPECT_EQ( D0_MIN, d0 );
	EXPECT_EQ( d0_search, 4.5 );
	parameter_set4search( 1, 1 );
	EXPECT_EQ( d0, std::nextafter( 0.968, 1.0 ) );
	EXPECT_EQ( score_d8, 1.5 + 3.5 );
}

TEST( AlignParameters, FinalPhaseReferenceValues )
{
	parameter_set4search( 50, 60 );
	double const d8 = score_d8;
	parameter_set4final( 22 );
	EXPECT_NEAR( d0, 0.572035, 5e-7 );
	EXPECT_EQ( D0_MIN, 0.5 );
	EXPECT_EQ( Lnorm, 22.0 );
	parameter_set4final( 300 );
	EXPECT_NEAR( d0, 6.360247, 5e-7 );
	EXPECT_EQ( d0_search, d0 );
	parameter_set4final( 21 );
	EXPECT_EQ( d0, 0.5 );
	EXPECT_EQ( d0_search, 4.5 );
	parameter_set4final( 1000 );
	EXPECT_EQ( d0_search, 8.0 );
	// The search cut-off and the link distance keep their search values.
	EXPECT_EQ( score_d8, d8 );
	EXPECT_EQ( dcu0, 4.25 );
}

TEST( AlignParameters, ScaleSetsGivenD0 )
{
	parameter_set4search( 50, 60 );
	double const dmin = D0_MIN, d8 = score_d8;
	parameter_set4scale( 77, 9.5 );
	EXPECT_EQ( d0, 9.5 );
	EXPECT_EQ( Lnorm, 77.0 );
	EXPECT_EQ( d0_search, 8.0 );
	EXPECT_EQ( D0_MIN, dmin );
	EXPECT_EQ( score_d8, d8 );
	parameter_set4scale( 77, 2.0 );
	EXPECT_EQ( d0_search, 4.5 );
}

TEST( AlignWorkingSet, AllocatesTheShapesAndReleasesEverything )
{
	load_PDB_allocate_memory( 5, 8, 6, 9 );
	EXPECT_EQ( minlen, 5 );
	EXPECT_EQ( xlen, 5 );
	ASSERT_NE( score, nullptr );
	ASSERT_NE( path, nullptr );
	// Rows 0..xlen, columns 0..ylen are all writable.
	for ( int i = 0; i <= 5; ++i ) {
		for ( int j = 0; j <= 8; ++j ) {
			score[ i ][ j ] = val[ i ][ j ] = i + j;
			path[ i ][ j ] = true;
		}
	}
	for ( int i = 0; i < 5; ++i ) xt[ i ][ 2 ] = r1[ i ][ 2 ] = r2[ i ][ 2 ] = xtm[ i ][ 2 ] = ytm[ i ][ 2 ] = 1.0;
	seqx[ 6 ] = seqy[ 9 ] = '\0';
	secx[ 5 ] = xresno[ 5 ] = secy[ 8 ] = yresno[ 8 ] = 1;
	free_memory();
	EXPECT_EQ( score, nullptr );
	EXPECT_EQ( val, nullptr );
	EXPECT_EQ( path, nullptr );
	EXPECT_EQ( xt, nullptr );
	EXPECT_EQ( r1, nullptr );
	EXPECT_EQ( xtm, nullptr );
	EXPECT_EQ( secx, nullptr );
	EXPECT_EQ( yresno, nullptr );
	// Releasing twice is harmless.
	free_memory();
}

// Catches tables sized by the chain length instead of length + 1 (an empty
// chain would get none, and the alignment's row 0 would lie outside them):
// with an empty x chain the tables keep their row 0, all ylen + 1 columns of
// it usable, the pair tables are empty, and the alignment over that one row
// pairs none of y's residues.
TEST( AlignWorkingSet, EmptyChainStillHasOneTableRow )
{
	load_PDB_allocate_memory( 0, 4, 0, 4 );
	EXPECT_EQ( xlen, 0 );
	EXPECT_EQ( ylen, 4 );
	EXPECT_EQ( minlen, 0 );
	ASSERT_NE( score, nullptr );
	ASSERT_NE( val, nullptr );
	ASSERT_NE( path, nullptr );
	ASSERT_NE( score[ 0 ], nullptr );
	ASSERT_NE( val[ 0 ], nullptr );
	ASSERT_NE( path[ 0 ], nullptr );
	for ( int j = 0; j <= 4; ++j ) {
		score[ 0 ][ j ] = 0.5 * j;
		val[ 0 ][ j ] = -1.0 * j;
		path[ 0 ][ j ] = ( j % 2 ) == 0;
	}
	for ( int j = 0; j <= 4; ++j ) {
		EXPECT_EQ( score[ 0 ][ j ], 0.5 * j );
		EXPECT_EQ( val[ 0 ][ j ], -1.0 * j );
		EXPECT_EQ( path[ 0 ][ j ], ( j % 2 ) == 0 );
	}
	int j2i[ 5 ] = { 7, 7, 7, 7, 7 };
	NWDP_TM( 0, 4, -0.6, j2i );
	for ( int v : j2i ) EXPECT_EQ( v, -1 );
	free_memory();
	EXPECT_EQ( score, nullptr );
	EXPECT_EQ( val, nullptr );
	EXPECT_EQ( path, nullptr );
}

TEST( AlignGeometry, DistancesAndDot )
{
	double a[ 3 ] = { 0, 0, 0 }, b[ 3 ] = { 1, 2, 2 };
	EXPECT_EQ( dist( a, b ), 9.0 );
	EXPECT_EQ( dist2pow( a, b ), 9.0 );
	EXPECT_EQ( distance( a, b ), 3.0 );
	double c[ 3 ] = { 2, -1, 4 };
	EXPECT_EQ( dot( b, c ), 8.0 );
}

TEST( AlignGeometry, TransformAppliesRotationThenTranslation )
{
	double t[ 3 ] = { 1, 0, 0 };
	double u[ 3 ][ 3 ] = { { 1, 0, 0 }, { 0, 1, 0 }, { 0, 0, 1 } };
	double x[ 3 ] = { 1, 1, 1 }, x1[ 3 ];
	transform( t, u, x, x1 );
	EXPECT_EQ( x1[ 0 ], 2.0 );
	EXPECT_EQ( x1[ 1 ], 1.0 );
	EXPECT_EQ( x1[ 2 ], 1.0 );

	// A quarter turn about z (rows of u act on the point): (1, 0, 0) -> (0, 1, 0).
	double uz[ 3 ][ 3 ] = { { 0, -1, 0 }, { 1, 0, 0 }, { 0, 0, 1 } };
	double t2[ 3 ] = { 0, 0, 5 };
	double p[ 3 ] = { 1, 0, 0 }, q[ 3 ];
	transform( t2, uz, p, q );
	EXPECT_EQ( q[ 0 ], 0.0 );
	EXPECT_EQ( q[ 1 ], 1.0 );
	EXPECT_EQ( q[ 2 ], 5.0 );
	// The row-pointer form gives the same.
	double r0[ 3 ] = { 0, -1, 0 }, r1_[ 3 ] = { 1, 0, 0 }, r2_[ 3 ] = { 0, 0, 1 };
	double* ur[ 3 ] = { r0, r1_, r2_ };
	double q2[ 3 ];
	transform( t2, ur, p, q2 );
	for ( int i = 0; i < 3; ++i ) EXPECT_EQ( q2[ i ], q[ i ] );
}

TEST( AlignGeometry, DoRotationSumsInRowOrder )
{
	// Terms are added as u0 x + u1 y + u2 z + t: with these magnitudes a
	// different order gives a different rounding.
	double u[ 3 ][ 3 ] = { { 1.0, 1.0, 1.0 }, { 0, 1, 0 }, { 0, 0, 1 } };
	double t[ 3 ] = { -1e16, 0, 0 };
	double p0[ 3 ] = { 1e16, 1.0, 1.0 };
	double p1[ 3 ] = { 2.0, 3.0, 4.0 };
	double* x[ 2 ] = { p0, p1 };
	double o0[ 3 ], o1[ 3 ];
	double* x1[ 2 ] = { o0, o1 };
	do_rotation( x, x1, 2, t, u );
	EXPECT_EQ( o0[ 0 ], ( ( 1e16 + 1.0 ) + 1.0 ) + -1e16 );
	EXPECT_EQ( o0[ 0 ], 0.0 );
	EXPECT_EQ( o1[ 0 ], 9.0 - 1e16 );
	EXPECT_EQ( o1[ 1 ], 3.0 );
	// Nothing is written for len <= 0.
	o0[ 0 ] = 42.0;
	do_rotation( x, x1, 0, t, u );
	do_rotation( x, x1, -3, t, u );
	EXPECT_EQ( o0[ 0 ], 42.0 );
}

TEST( AlignText, OutputAlignPrintsPositions )
{
	int map[ 3 ] = { -1, 0, 4 };
	testing::internal::CaptureStdout();
	output_align1( map, 3 );
	EXPECT_EQ( testing::internal::GetCapturedStdout(), "-1 1 5 \n\n" );
	testing::internal::CaptureStdout();
	output_align( map, 3 );
	EXPECT_EQ( testing::internal::GetCapturedStdout(), "-1 0 4 \n\n" );
}

TEST( AlignText, AlignToStringRowsOfTen )
{
	int map[ 12 ];
	for ( int i = 0; i < 12; ++i ) map[ i ] = i - 1;
	std::string const s = output_align_to_string( map, 12 );
	EXPECT_EQ( s, "  -1    0    1    2    3    4    5    6    7    8 \n   9   10 \n" );
	EXPECT_EQ( output_align_to_string( map, 0 ), "\n" );
	EXPECT_EQ( output_align_to_string( map, 10 ), "  -1    0    1    2    3    4    5    6    7    8 \n\n" );
}

TEST( AlignText, CoordToString )
{
	double a[ 3 ] = { 1.0, -2.5, 3.14159 }, b[ 3 ] = { 10.0, 0.0, -0.0006 };
	double* x[ 1 ] = { a };
	double* y[ 1 ] = { b };
	EXPECT_EQ( output_coord_to_string( x, y, 0 ), "xtm coords:\nytm coords:\n" );
	EXPECT_EQ( output_coord_to_string( x, y, 1 ),
		"xtm coords:\n   1.000   -2.500    3.142\nytm coords:\n  10.000    0.000   -0.001\n" );
}
