// Kabsch superposition against an independent quaternion superposition,
// with the degenerate point sets and the modes callers rely on.
#include "alignment/Kabsch.hh"

#include "alignment/tests/ca_trace_maker.hh"

#include <gtest/gtest.h>

using namespace align_test;

namespace {

struct KabschOut {
	bool ok;
	double rms;
	double t[ 3 ];
	double u[ 3 ][ 3 ];
};

KabschOut run( Trace const& x, Trace const& y, int mode, int n = -1 )
{
	RawTrace rx( x ), ry( y );
	KabschOut o;
	// Poison the outputs: the call must reset them.
	o.rms = 99.0;
	for ( int i = 0; i < 3; ++i ) {
		o.t[ i ] = 7.0;
		for ( int j = 0; j < 3; ++j ) o.u[ i ][ j ] = 5.0;
	}
	o.ok = Kabsch( rx.xyz(), ry.xyz(), n < 0 ? rx.size() : n, mode, &o.rms, o.t, o.u );
	return o;
}

double residual( Trace const& x, Trace const& y, double const t[3], double const u[3][3] )
{
	double s = 0.0;
	for ( std::size_t k = 0; k < x.size(); ++k ) {
		for ( int i = 0; i < 3; ++i ) {
			double const p = u[ i ][ 0 ] * x[ k ][ 0 ] + u[ i ][ 1 ] * x[ k ][ 1 ] + u[ i ][ 2 ] * x[ k ][ 2 ] + t[ i ];
			s += ( p - y[ k ][ i ] ) * ( p - y[ k ][ i ] );
		}
	}
	return s;
}

void expect_identity( double const u[3][3], double tol = 1e-12 )
{
	for ( int i = 0; i < 3; ++i )
		for ( int j = 0; j < 3; ++j ) EXPECT_NEAR( u[ i ][ j ], i == j ? 1.0 : 0.0, tol ) << i << "," << j;
}

void expect_proper_rotation( double const u[3][3] )
{
	for ( int i = 0; i < 3; ++i ) {
		for ( int j = 0; j < 3; ++j ) {
			double d = 0.0;
			for ( int k = 0; k < 3; ++k ) d += u[ i ][ k ] * u[ j ][ k ];
			EXPECT_NEAR( d, i == j ? 1.0 : 0.0, 1e-9 );
		}
	}
	double const det = u[ 0 ][ 0 ] * ( u[ 1 ][ 1 ] * u[ 2 ][ 2 ] - u[ 1 ][ 2 ] * u[ 2 ][ 1 ] )
		- u[ 0 ][ 1 ] * ( u[ 1 ][ 0 ] * u[ 2 ][ 2 ] - u[ 1 ][ 2 ] * u[ 2 ][ 0 ] )
		+ u[ 0 ][ 2 ] * ( u[ 1 ][ 0 ] * u[ 2 ][ 1 ] - u[ 1 ][ 1 ] * u[ 2 ][ 0 ] );
	EXPECT_NEAR( det, 1.0, 1e-9 );
}

} // namespace

TEST( TestHelpers, HornSuperpositionUndoesAKnownMove )
{
	// The reference method itself must recover a known rotation.
	Trace const x = make_trace( 30, 3 );
	Mat const R = axis_rotation( { 1.0, -2.0, 0.5 }, 2.1 );
	Trace const y = moved( x, R, { 4.0, -1.0, 9.0 } );
	Mat Rh;
	Vec th;
	EXPECT_NEAR( horn_superpose( x, y, Rh, th ), 0.0, 1e-8 );
	for ( int i = 0; i < 3; ++i ) {
		for ( int j = 0; j < 3; ++j ) EXPECT_NEAR( Rh[ i ][ j ], R[ i ][ j ], 1e-9 );
	}
	EXPECT_NEAR( th[ 0 ], 4.0, 1e-8 );
	EXPECT_NEAR( th[ 2 ], 9.0, 1e-8 );
}

TEST( Kabsch, RecoversRotationAndTranslationOfAMovedCopy )
{
	Trace const x = make_trace( 50, 11 );
	Mat const R = axis_rotation( { 0.3, 1.0, -0.4 }, 2.7 );
	Vec const shift{ -12.0, 30.5, 7.25 };
	Trace const y = moved( x, R, shift );
	KabschOut const o = run( x, y, 2 );
	ASSERT_TRUE( o.ok );
	for ( int i = 0; i < 3; ++i ) {
		EXPECT_NEAR( o.t[ i ], shift[ i ], 1e-8 );
		for ( int j = 0; j < 3; ++j ) EXPECT_NEAR( o.u[ i ][ j ], R[ i ][ j ], 1e-10 );
	}
	// The residual comes from eigenvalues: cancellation against the spread
	// (about 1e4 here) leaves a tiny remainder.
	EXPECT_NEAR( o.rms, 0.0, 1e-5 );
}

TEST( Kabsch, MatchesQuaternionSuperpositionOnNoisyPairs )
{
	for ( unsigned seed = 1; seed <= 6; ++seed ) {
		Trace const x = make_trace( 40, seed );
		Trace const y = noisy( moved( x, axis_rotation( { 1.0, seed * 0.7, -1.0 }, 0.5 * seed ), { 1.0, 2.0, 3.0 } ),
			0.4 * seed, seed + 100 );
		KabschOut const o = run( x, y, 2 );
		Mat Rh;
		Vec th;
		double const ref = horn_superpose( x, y, Rh, th );
		SCOPED_TRACE( seed );
		EXPECT_NEAR( o.rms, ref, 1e-6 * ( 1.0 + ref ) );
		EXPECT_NEAR( residual( x, y, o.t, o.u ), ref, 1e-6 * ( 1.0 + ref ) );
		for ( int i = 0; i < 3; ++i ) {
			EXPECT_NEAR( o.t[ i ], th[ i ], 1e-6 );
			for ( int j = 0; j < 3; ++j ) EXPECT_NEAR( o.u[ i ][ j ], Rh[ i ][ j ], 1e-8 );
		}
		expect_proper_rotation( o.u );
	}
}

TEST( Kabsch, ModesDecideWhatIsComputed )
{
	Trace const x = make_trace( 20, 5 );
	Trace const y = noisy( moved( x, axis_rotation( { 0, 0, 1 }, 1.0 ), { 3, 0, 0 } ), 0.5, 9 );
	KabschOut const m2 = run( x, y, 2 );
	// Residual only: t and u stay at zero and identity.
	KabschOut const m0 = run( x, y, 0 );
	EXPECT_TRUE( m0.ok );
	EXPECT_NEAR( m0.rms, m2.rms, 1e-9 );
	expect_identity( m0.u, 0.0 );
	for ( int i = 0; i < 3; ++i ) EXPECT_EQ( m0.t[ i ], 0.0 );
	// Superposition only: no residual.
	KabschOut const m1 = run( x, y, 1 );
	EXPECT_EQ( m1.rms, 0.0 );
	for ( int i = 0; i < 3; ++i ) {
		EXPECT_EQ( m1.t[ i ], m2.t[ i ] );
		for ( int j = 0; j < 3; ++j ) EXPECT_EQ( m1.u[ i ][ j ], m2.u[ i ][ j ] );
	}
	EXPECT_GT( m2.rms, 0.0 );
	// Other modes compute no residual either.
	EXPECT_EQ( run( x, y, 3 ).rms, 0.0 );
}

TEST( Kabsch, NoPointsReturnsFalseWithResetOutputs )
{
	KabschOut const o = run( Trace{}, Trace{}, 2, 0 );
	EXPECT_FALSE( o.ok );
	EXPECT_EQ( o.rms, 0.0 );
	expect_identity( o.u, 0.0 );
	for ( int i = 0; i < 3; ++i ) EXPECT_EQ( o.t[ i ], 0.0 );
}

TEST( Kabsch, IdenticalSetsGiveIdentity )
{
	Trace const x = make_trace( 12, 2 );
	KabschOut const o = run( x, x, 2 );
	expect_identity( o.u, 1e-9 );
	for ( int i = 0; i < 3; ++i ) EXPECT_NEAR( o.t[ i ], 0.0, 1e-8 );
	EXPECT_NEAR( o.rms, 0.0, 1e-9 );
}

TEST( Kabsch, SinglePointAndCoincidentPointsGiveTheCentroidShift )
{
	// One point, in every mode: u identity, t = y - x.
	for ( int mode : { 0, 1, 2 } ) {
		KabschOut const o = run( Trace{ { 1.0, 2.0, 3.0 } }, Trace{ { -4.0, 6.0, 0.5 } }, mode );
		SCOPED_TRACE( mode );
		EXPECT_TRUE( o.ok );
		expect_identity( o.u, 0.0 );
		EXPECT_DOUBLE_EQ( o.t[ 0 ], -5.0 );
		EXPECT_DOUBLE_EQ( o.t[ 1 ], 4.0 );
		EXPECT_DOUBLE_EQ( o.t[ 2 ], -2.5 );
		EXPECT_EQ( o.rms, 0.0 );
	}
	// Several coincident points on one side: spur 0, same fallback.
	Trace const x( 4, Vec{ 1.0, 1.0, 1.0 } );
	Trace const y{ { 0, 0, 0 }, { 2, 0, 0 }, { 0, 2, 0 }, { 0, 0, 2 } };
	KabschOut const o = run( x, y, 2 );
	expect_identity( o.u, 0.0 );
	EXPECT_DOUBLE_EQ( o.t[ 0 ], -0.5 );
	// The residual is the spread of y about its centroid.
	Mat Rh;
	Vec th;
	EXPECT_NEAR( o.rms, horn_superpose( x, y, Rh, th ), 1e-9 );
}

TEST( Kabsch, CollinearPointsAreSuperposedAlongTheLine )
{
	Trace x, y;
	for ( int k = 0; k < 6; ++k ) {
		x.push_back( { 1.5 * k, 0.0, 0.0 } );
		y.push_back( { 5.0, 1.5 * k * 0.6, 1.5 * k * 0.8 } );
	}
	KabschOut const o = run( x, y, 2 );
	EXPECT_TRUE( o.ok );
	expect_proper_rotation( o.u );
	EXPECT_NEAR( o.rms, 0.0, 1e-7 );
	EXPECT_NEAR( residual( x, y, o.t, o.u ), 0.0, 1e-7 );
	// Two points are always collinear.
	KabschOut const two = run( Trace{ { 0, 0, 0 }, { 0, 0, 3 } }, Trace{ { 1, 1, 1 }, { 1, 4, 1 } }, 2 );
	EXPECT_NEAR( residual( Trace{ { 0, 0, 0 }, { 0, 0, 3 } }, Trace{ { 1, 1, 1 }, { 1, 4, 1 } }, two.t, two.u ), 0.0, 1e-7 );
	// Collinear on one side only: the superposition is still optimal.  The
	// reported residual rests on the square roots of two vanishing
	// eigenvalues, so it is only good to about 1e-3 here.
	Trace const z{ { 0, 0, 0 }, { 3, 1, 0 }, { 1, 4, 2 }, { -2, 2, 5 }, { 1, 1, 1 }, { 4, 0, 3 } };
	KabschOut const o2 = run( x, z, 2 );
	Mat Rh;
	Vec th;
	double const ref = horn_superpose( x, z, Rh, th );
	EXPECT_NEAR( residual( x, z, o2.t, o2.u ), ref, 1e-6 );
	EXPECT_NEAR( o2.rms, ref, 1e-2 );
}

TEST( Kabsch, CoplanarPointsAreSuperposedExactly )
{
	Trace x;
	for ( int k = 0; k < 8; ++k ) x.push_back( { std::cos( k * 0.9 ) * ( 3 + k ), std::sin( k * 0.9 ) * ( 3 + k ), 0.0 } );
	Mat const R = axis_rotation( { 1.0, 1.0, 0.0 }, 1.3 );
	Trace const y = moved( x, R, { 0.5, -0.5, 2.0 } );
	KabschOut const o = run( x, y, 2 );
	EXPECT_NEAR( o.rms, 0.0, 1e-7 );
	for ( int i = 0; i < 3; ++i )
		for ( int j = 0; j < 3; ++j ) EXPECT_NEAR( o.u[ i ][ j ], R[ i ][ j ], 1e-8 );
	// Coplanar with noise: matches the optimum.
	Trace const yn = noisy( y, 0.3, 4 );
	KabschOut const on = run( x, yn, 2 );
	Mat Rh;
	Vec th;
	EXPECT_NEAR( on.rms, horn_superpose( x, yn, Rh, th ), 1e-6 );
}

TEST( Kabsch, MirrorImageIsNotReflected )
{
	// y is x mirrored through a plane: the best proper rotation is returned
	// and the residual accounts for the missing reflection.
	Trace const x = make_trace( 25, 8 );
	Trace y = x;
	for ( auto& p : y ) p[ 2 ] = -p[ 2 ];
	KabschOut const o = run( x, y, 2 );
	expect_proper_rotation( o.u );
	Mat Rh;
	Vec th;
	double const ref = horn_superpose( x, y, Rh, th );
	EXPECT_GT( ref, 1.0 );
	EXPECT_NEAR( o.rms, ref, 1e-6 * ref );
	EXPECT_NEAR( residual( x, y, o.t, o.u ), ref, 1e-6 * ref );
}

TEST( Kabsch, PureTranslationIsFound )
{
	Trace const x = make_trace( 15, 21 );
	Trace const y = moved( x, axis_rotation( { 0, 0, 1 }, 0.0 ), { 10.0, -3.0, 0.25 } );
	KabschOut const o = run( x, y, 1 );
	EXPECT_NEAR( o.t[ 0 ], 10.0, 1e-9 );
	EXPECT_NEAR( o.t[ 1 ], -3.0, 1e-9 );
	EXPECT_NEAR( o.t[ 2 ], 0.25, 1e-9 );
}

TEST( Kabsch, VectorFormAgreesAndUsesTheFirstNPoints )
{
	Trace const x = make_trace( 20, 31 );
	Trace const y = noisy( moved( x, axis_rotation( { 1, 2, 3 }, 0.8 ), { 1, 1, 1 } ), 0.7, 2 );
	RawTrace rx( x ), ry( y );
	std::vector< double* > vx( rx.rows ), vy( ry.rows );
	double rms_v, t_v[ 3 ], u_v[ 3 ][ 3 ];
	EXPECT_TRUE( Kabsch( vx, vy, 12, 2, &rms_v, t_v, u_v ) );
	KabschOut const o = run( x, y, 2, 12 );
	EXPECT_EQ( rms_v, o.rms );
	for ( int i = 0; i < 3; ++i ) EXPECT_EQ( t_v[ i ], o.t[ i ] );
	// n beyond the vectors is cut to their size.
	EXPECT_TRUE( Kabsch( vx, vy, 1000, 2, &rms_v, t_v, u_v ) );
	EXPECT_NEAR( rms_v, run( x, y, 2 ).rms, 1e-9 );
}
