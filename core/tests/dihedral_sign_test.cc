// The sign of the dihedral angle.  Angles that differ only in sign (60 and
// 300 degrees) are both "gauche"; a test that accepts either cannot see the
// sign flipped.  phi follows the IUPAC convention (positive when the front
// bond turns clockwise onto the back bond, seen along the middle bond),
// reported in [0, 360), and reads back what tor2pos22 placed.
#include "core/basic_fun_Quilt.hh"

#include <gtest/gtest.h>

#include <cmath>

TEST( DihedralSign, ClockwiseTurnIsPositive )
{
	// Seen along +x (from B to C) with y up, z points right: D lies 60
	// degrees clockwise from A.
	EXPECT_NEAR( phi( 0, 1, 0, 0, 0, 0, 1, 0, 0, 1, 0.5, std::sqrt( 3.0 ) / 2 ), 60.0, 1e-9 );
	// Mirrored through the xy plane: counter-clockwise, -60 = 300.
	EXPECT_NEAR( phi( 0, 1, 0, 0, 0, 0, 1, 0, 0, 1, 0.5, -std::sqrt( 3.0 ) / 2 ), 300.0, 1e-9 );
}

TEST( DihedralSign, MeasuresBackTheSignedTorsionThatWasPlaced )
{
	double const deg = 180.0 / 3.14159265358979323846;
	for ( float tang : { 1.0f, -1.0f, 2.5f, -2.5f } ) {
		double x, y, z;
		ASSERT_EQ( tor2pos22( 0.f, 1.f, 0.f, 0.f, 0.f, 0.f, 1.f, 0.f, 0.f, tang, 1.5f, 1.9f, &x, &y, &z ), 1 );
		double want = tang * deg;
		if ( want < 0 ) want += 360.0;
		EXPECT_NEAR( phi( 0, 1, 0, 0, 0, 0, 1, 0, 0, x, y, z ), want, 1e-4 ) << tang;
	}
}
