// Kabsch superposition against an independent quaternion superposition,
// with the degenerate point sets and the modes callers rely on.
#include "alignment/Kabsch.hh"

#include "alignment/tests/ca_trace_maker.hh"

#include <gtest/gtest.h>

#include <cmath>

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

namespace {

// Rotation angle of u (radians, 0..pi): cosine from the trace, sine from
// the antisymmetric part (well conditioned near 0, unlike acos alone).
double turn_angle( double const u[3][3] )
{
	double const c = 0.5 * ( u[ 0 ][ 0 ] + u[ 1 ][ 1 ] + u[ 2 ][ 2 ] - 1.0 );
	double const s = 0.5 * norm( Vec{ u[ 2 ][ 1 ] - u[ 1 ][ 2 ], u[ 0 ][ 2 ] - u[ 2 ][ 0 ], u[ 1 ][ 0 ] - u[ 0 ][ 1 ] } );
	return std::atan2( s, c );
}

Vec times( double const u[3][3], Vec const& p )
{
	Vec out;
	for ( int i = 0; i < 3; ++i ) out[ i ] = u[ i ][ 0 ] * p[ 0 ] + u[ i ][ 1 ] * p[ 1 ] + u[ i ][ 2 ] * p[ 2 ];
	return out;
}

// n points spaced along the unit direction d from p0 (spacings uneven, so
// that no symmetry helps).
Trace on_a_line( Vec const& p0, Vec const& d, int n )
{
	Trace out;
	double s = 0.0;
	for ( int k = 0; k < n; ++k ) {
		out.push_back( { p0[ 0 ] + s * d[ 0 ], p0[ 1 ] + s * d[ 1 ], p0[ 2 ] + s * d[ 2 ] } );
		s += 3.8 + 0.7 * ( k % 3 );
	}
	return out;
}

} // namespace

// Catches a turn about the axis of two points (or of any collinear set) that
// were only translated: the points fix no such turn, and a pure translation
// must come back as the identity and that translation, whatever the line's
// direction.  (Two-residue domains were turned a quarter round their axis.)
TEST( Kabsch, TranslatedLineComesBackAsAPureTranslation )
{
	Vec const shift{ 5.0, 1.0, -2.0 };
	Mat const none = axis_rotation( { 0, 0, 1 }, 0.0 );
	for ( Vec const& d : { Vec{ 1, 0, 0 }, Vec{ 0, 1, 0 }, Vec{ 0, 0, 1 }, unit( Vec{ 1, 1, 1 } ), unit( Vec{ -0.3, 2.0, 0.7 } ) } )
		for ( int n : { 2, 3, 7 } )
			for ( int mode : { 1, 2 } ) {
				Trace const x = on_a_line( { 1.0, 2.0, 3.0 }, d, n );
				KabschOut const o = run( x, moved( x, none, shift ), mode );
				SCOPED_TRACE( testing::Message() << d[ 0 ] << " " << d[ 1 ] << " " << d[ 2 ] << " n " << n << " mode " << mode );
				EXPECT_TRUE( o.ok );
				expect_identity( o.u, 1e-9 );
				for ( int i = 0; i < 3; ++i ) EXPECT_NEAR( o.t[ i ], shift[ i ], 1e-8 );
			}
}

// Catches a spurious turn about the line when collinear points are rotated:
// the rotation that carries the line onto its image is fixed only up to a
// turn about the line, and the one returned is the smallest, about the
// common normal of the two directions, by the angle between them.  So the
// points are superposed exactly, the common normal stays where it is, and
// the rotation angle is the angle between the lines: whatever turn about the
// line the true move held is not invented.
TEST( Kabsch, RotatedLineTakesTheSmallestRotation )
{
	Vec const dx = unit( Vec{ 0.4, -1.0, 0.3 } );
	struct Move {
		Vec axis;
		double angle;
	} const moves[] = { { { 0.3, 1.0, -0.4 }, 0.9 }, { { 1.0, 0.2, 0.5 }, 2.6 }, { dx, 1.3 }, { { 0.0, 0.0, 1.0 }, 0.2 } };
	Vec const shift{ -12.0, 30.5, 7.25 };
	for ( Move const& mv : moves )
		for ( int n : { 2, 5 } ) {
			Mat const R = axis_rotation( mv.axis, mv.angle );
			Trace const x = on_a_line( { 2.0, -1.0, 4.0 }, dx, n );
			Trace const y = moved( x, R, shift );
			KabschOut const o = run( x, y, 2 );
			SCOPED_TRACE( testing::Message() << "move " << &mv - moves << " n " << n );
			expect_proper_rotation( o.u );
			EXPECT_NEAR( residual( x, y, o.t, o.u ), 0.0, 1e-12 );
			EXPECT_NEAR( o.rms, 0.0, 1e-6 );
			Vec const dy{ R[ 0 ][ 0 ] * dx[ 0 ] + R[ 0 ][ 1 ] * dx[ 1 ] + R[ 0 ][ 2 ] * dx[ 2 ],
				R[ 1 ][ 0 ] * dx[ 0 ] + R[ 1 ][ 1 ] * dx[ 1 ] + R[ 1 ][ 2 ] * dx[ 2 ],
				R[ 2 ][ 0 ] * dx[ 0 ] + R[ 2 ][ 1 ] * dx[ 1 ] + R[ 2 ][ 2 ] * dx[ 2 ] };
			double const between = std::acos( dx[ 0 ] * dy[ 0 ] + dx[ 1 ] * dy[ 1 ] + dx[ 2 ] * dy[ 2 ] );
			EXPECT_NEAR( turn_angle( o.u ), between, 1e-9 );
			if ( between > 1e-6 ) {
				Vec const normal = unit( cross( dx, dy ) );
				Vec const image = times( o.u, normal );
				for ( int i = 0; i < 3; ++i ) EXPECT_NEAR( image[ i ], normal[ i ], 1e-9 );
			} else {
				// A turn about the line itself: nothing of it is fixed.
				expect_identity( o.u, 1e-9 );
			}
		}
}

// Catches a wrong half turn when the line is reversed: the points, taken in
// reverse order along the same line, need a half turn about some normal of
// the line (any is as small as another); it must superpose them exactly.
TEST( Kabsch, ReversedLineTakesAHalfTurn )
{
	Vec const d = unit( Vec{ 1.0, 2.0, -0.5 } );
	Trace const x = on_a_line( { 0.0, 0.0, 0.0 }, d, 4 );
	Trace y = x;
	// Inverted through a point: the order along the line reverses, the
	// spacings stay.
	for ( std::size_t k = 0; k < x.size(); ++k ) y[ k ] = { 10.0 - x[ k ][ 0 ], 4.0 - x[ k ][ 1 ], 1.0 - x[ k ][ 2 ] };
	KabschOut const o = run( x, y, 2 );
	expect_proper_rotation( o.u );
	EXPECT_NEAR( residual( x, y, o.t, o.u ), 0.0, 1e-12 );
	EXPECT_NEAR( turn_angle( o.u ), M_PI, 1e-9 );
	Vec const image = times( o.u, d );
	for ( int i = 0; i < 3; ++i ) EXPECT_NEAR( image[ i ], -d[ i ], 1e-9 );
}

// Catches a point set whose eigenvalues coincide (a regular tetrahedron, a
// cube: every axis is an eigenvector) being given up on as degenerate, with
// no rotation and no translation at all: such a set fixes its rotation fully.
// Points too close together to resolve any rotation still get the centroid
// shift, not a zero move.
TEST( Kabsch, RoundPointSetsAndTinyOnesAreStillMoved )
{
	Trace const tetra{ { 1, 1, 1 }, { 1, -1, -1 }, { -1, 1, -1 }, { -1, -1, 1 } };
	Trace cube;
	for ( int k = 0; k < 8; ++k ) cube.push_back( { k & 1 ? 2.0 : -2.0, k & 2 ? 2.0 : -2.0, k & 4 ? 2.0 : -2.0 } );
	Vec const shift{ 3.0, -2.0, 7.0 };
	for ( Trace const& x : { tetra, cube } )
		for ( Mat const& R : { axis_rotation( { 0, 0, 1 }, 1.0 ), axis_rotation( { 1, -2, 0.5 }, 2.2 ) } ) {
			KabschOut const o = run( x, moved( x, R, shift ), 2 );
			SCOPED_TRACE( x.size() );
			for ( int i = 0; i < 3; ++i ) {
				EXPECT_NEAR( o.t[ i ], shift[ i ], 1e-8 );
				for ( int j = 0; j < 3; ++j ) EXPECT_NEAR( o.u[ i ][ j ], R[ i ][ j ], 1e-8 );
			}
		}
	Trace const tiny{ { 0.0, 0.0, 0.0 }, { 0.01, 0.0, 0.0 }, { 0.0, 0.004, 0.0 } };
	for ( int mode : { 1, 2 } ) {
		KabschOut const o = run( tiny, moved( tiny, axis_rotation( { 0, 0, 1 }, 0.0 ), shift ), mode );
		expect_identity( o.u, 1e-9 );
		for ( int i = 0; i < 3; ++i ) EXPECT_NEAR( o.t[ i ], shift[ i ], 1e-9 );
	}
}
