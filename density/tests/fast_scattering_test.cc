// Element table, Gaussian exponents and the small scattering lookups.
#include "density/FastDensityScore.hh"
#include "density/Scattering.hh"

#include <gtest/gtest.h>

#include <cmath>

namespace {
double const kPi2 = 9.869604401089358;
}

TEST( FastScattering, ElementTable )
{
	OneGaussianScattering c = get_A( "C" );
	EXPECT_DOUBLE_EQ( c.s, double( 7.10668f ) );
	EXPECT_DOUBLE_EQ( c.a, 6.0 );
	// "CA" is calcium, not the carbon of a CA atom.
	OneGaussianScattering ca = get_A( "CA" );
	EXPECT_DOUBLE_EQ( ca.s, double( 7.47775f ) );
	EXPECT_DOUBLE_EQ( ca.a, double( 23.70586f ) );
	EXPECT_DOUBLE_EQ( get_A( "X" ).a, 0.0 );
	EXPECT_DOUBLE_EQ( get_A( "S" ).s, double( 7.05366f ) );
	// Unknown and lower-case elements: a warning and carbon's parameters.
	for ( std::string e : { "Q", "c" } ) {
		testing::internal::CaptureStdout();
		OneGaussianScattering u = get_A( e );
		EXPECT_EQ( testing::internal::GetCapturedStdout(), "Warning! Unknown atom " + e + "\n" );
		EXPECT_DOUBLE_EQ( u.s, c.s );
		EXPECT_DOUBLE_EQ( u.a, c.a );
	}
	// Fast-score weights: integer part of the weight over six.
	EXPECT_DOUBLE_EQ( fast_score_weight( get_A( "C" ) ), 1.0 );
	EXPECT_DOUBLE_EQ( fast_score_weight( get_A( "N" ) ), 5.0 / 6.0 );
	EXPECT_DOUBLE_EQ( fast_score_weight( get_A( "O" ) ), 4.0 / 6.0 );
	EXPECT_DOUBLE_EQ( fast_score_weight( get_A( "S" ) ), 2.0 );
}

TEST( FastScattering, ExponentWithSoftLimitedB )
{
	OneGaussianScattering const c = get_A( "C" );
	EXPECT_DOUBLE_EQ( c.k( 0.5, 600 ), kPi2 / ( c.s + 0.0625 ) );
	EXPECT_DOUBLE_EQ( c.k( -3, 600 ), kPi2 / c.s );
	EXPECT_DOUBLE_EQ( c.k( 595, 600 ), kPi2 / ( c.s + 149.375 ) );
	EXPECT_DOUBLE_EQ( c.k( 800, 600 ), kPi2 / ( c.s + 150 ) );
	EXPECT_DOUBLE_EQ( c.k( 40, 600 ), kPi2 / ( c.s + 10 ) );
	// Continuous where the branches meet.
	EXPECT_NEAR( soft_quarter_B( 590.0, 600.0 ), soft_quarter_B( 590.0 + 1e-9, 600.0 ), 1e-8 );
	EXPECT_NEAR( soft_quarter_B( 1.0 - 1e-12, 600.0 ), soft_quarter_B( 1.0, 600.0 ), 1e-9 );
}

TEST( FastScattering, SmallLookups )
{
	EXPECT_DOUBLE_EQ( FastDensityScore::get_sc_scale( "TYR" ), 0.88 );
	EXPECT_DOUBLE_EQ( FastDensityScore::get_sc_scale( "LYS" ), 0.76 );
	EXPECT_DOUBLE_EQ( FastDensityScore::get_sc_scale( "SER" ), 0.81 );
	EXPECT_DOUBLE_EQ( FastDensityScore::get_sc_scale( "GLY" ), 1.0 );
	EXPECT_DOUBLE_EQ( FastDensityScore::get_sc_scale( "HOH" ), 1.0 );
	EXPECT_DOUBLE_EQ( getAtmMass( "N" ), 14.01 );
	EXPECT_DOUBLE_EQ( getAtmMass( "O" ), 16.0 );
	EXPECT_DOUBLE_EQ( getAtmMass( "FE" ), 12.01 );
	std::vector< poseCoord > pose( 3 );
	EXPECT_FALSE( pose_has_nonzero_Bs( pose ) );
	EXPECT_FALSE( pose_has_nonzero_Bs( std::vector< poseCoord >() ) );
	pose[ 2 ].B = 0.01;
	EXPECT_TRUE( pose_has_nonzero_Bs( pose ) );
}
