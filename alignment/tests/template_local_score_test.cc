// The superpositions of two models on one target: each model, moved by the
// superposition handed out for it, lands on its own piece of the target.
#include "alignment/TemplateScore.hh"

#include "alignment/tests/ca_trace_maker.hh"

#include "core/basic_fun_Quilt.hh"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

using namespace align_test;

namespace {

Trace part( Trace const& tr, int first, int n ) { return Trace( tr.begin() + first, tr.begin() + first + n ); }

// Largest distance between u p + t and the target piece starting at first.
double worst_fit( double const* t, double** u, Trace const& model, Trace const& target, int first )
{
	double worst = 0.0;
	for ( std::size_t k = 0; k < model.size(); ++k ) {
		double d2 = 0.0;
		for ( int i = 0; i < 3; ++i ) {
			double const v = u[ i ][ 0 ] * model[ k ][ 0 ] + u[ i ][ 1 ] * model[ k ][ 1 ] + u[ i ][ 2 ] * model[ k ][ 2 ] + t[ i ];
			d2 += ( v - target[ first + k ][ i ] ) * ( v - target[ first + k ][ i ] );
		}
		worst = std::max( worst, std::sqrt( d2 ) );
	}
	return worst;
}

} // namespace

TEST( TemplateLocalScore, EachModelIsSuperposedOnItsOwnPiece )
{
	// Target: piece A (40 residues) then piece B (35); model 1 is A moved,
	// model 2 is B moved differently, and shorter than model 1.
	Trace const target = make_trace( 75, 71 );
	Trace const A = moved( part( target, 0, 40 ), axis_rotation( { 1, 2, 0 }, 1.1 ), { 15, -4, 2 } );
	Trace const B = moved( part( target, 40, 35 ), axis_rotation( { 0, -1, 1 }, -2.3 ), { -6, 20, 9 } );
	RawTrace rt( target ), ra( A ), rb( B );
	char seq[ 128 ] = "";
	testing::internal::CaptureStdout();
	TemplateLocalResult r = Template_local_score( 75, 40, 35, rt.xyz(), ra.xyz(), rb.xyz(), 75, 40, 35, seq, seq, seq,
		rt.res(), ra.res(), rb.res() );
	testing::internal::GetCapturedStdout();
	ASSERT_NE( r.t1, nullptr );
	ASSERT_NE( r.u1, nullptr );
	ASSERT_NE( r.t2, nullptr );
	ASSERT_NE( r.u2, nullptr );
	EXPECT_LT( worst_fit( r.t1, r.u1, A, target, 0 ), 0.01 );
	EXPECT_LT( worst_fit( r.t2, r.u2, B, target, 40 ), 0.01 );
	// The two moves differ: neither model lands on its piece with the
	// other's superposition.
	EXPECT_GT( worst_fit( r.t2, r.u2, A, target, 0 ), 5.0 );
	EXPECT_GT( worst_fit( r.t1, r.u1, B, target, 40 ), 5.0 );
	// Proper rotations.
	for ( double** u : { r.u1, r.u2 } ) {
		double const det = u[ 0 ][ 0 ] * ( u[ 1 ][ 1 ] * u[ 2 ][ 2 ] - u[ 1 ][ 2 ] * u[ 2 ][ 1 ] ) -
		                   u[ 0 ][ 1 ] * ( u[ 1 ][ 0 ] * u[ 2 ][ 2 ] - u[ 1 ][ 2 ] * u[ 2 ][ 0 ] ) +
		                   u[ 0 ][ 2 ] * ( u[ 1 ][ 0 ] * u[ 2 ][ 1 ] - u[ 1 ][ 1 ] * u[ 2 ][ 0 ] );
		EXPECT_NEAR( det, 1.0, 1e-9 );
	}
	delete[] r.t1;
	delete[] r.t2;
	release2DArr( 3, r.u1 );
	release2DArr( 3, r.u2 );
	// No working-set array is left behind.
	EXPECT_EQ( secx, nullptr );
	EXPECT_EQ( secy, nullptr );
	EXPECT_EQ( xresno, nullptr );
	EXPECT_EQ( yresno, nullptr );
}
