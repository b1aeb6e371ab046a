// Rigid-body moves of whole arrays and chain pieces: every random member
// against a move rebuilt independently from a replica of the generator (so
// the draw order, centre and bounds are checked, not just rigidity), the
// 3.8 A junction closure including coinciding junction points, and the
// centroid placements.
#include "transforms/RigidMoves.hh"

#include "core/basic_fun_Quilt.hh"
#include "transforms/tests/transforms_test_util.hh"

#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <functional>

namespace {

using namespace transforms_test;
using Vec = std::array< double, 3 >;

// Two chain pieces of a zig-zag trace with 3.8 A links.
struct Pieces {
	Pieces( int na, int nb ) : a( na ), b( nb )
	{
		for ( int i = 0; i < na + nb; ++i ) {
			double* p = i < na ? a[ i ] : b[ i - na ];
			p[ 0 ] = 3.0 * i + 1.0;
			p[ 1 ] = ( i % 2 ) * 2.33 - 4.0;
			p[ 2 ] = 0.1 * i * i;
		}
	}
	Table a, b;
};

// The move a member should make, rebuilt from the replica's draws: axis (z
// then azimuth), angle, then translation; p' = t + c + R (p - c).
struct ExpectedMove {
	double R[ 3 ][ 3 ];
	Vec t;
	void draw( RandomReplica& g, double transMax, double angleMax )
	{
		double const z = 1.0 - 2.0 * g.next();
		double const phi = 2.0 * M_PI * g.next();
		double const theta = ( 2.0 * g.next() - 1.0 ) * angleMax;
		Vec const k = { std::sqrt( 1.0 - z * z ) * std::cos( phi ), std::sqrt( 1.0 - z * z ) * std::sin( phi ), z };
		// Rodrigues: R = cos I + sin [k]x + (1 - cos) k k^T.
		double const c = std::cos( theta ), s = std::sin( theta );
		double const K[ 3 ][ 3 ] = { { 0, -k[ 2 ], k[ 1 ] }, { k[ 2 ], 0, -k[ 0 ] }, { -k[ 1 ], k[ 0 ], 0 } };
		for ( int i = 0; i < 3; ++i )
			for ( int j = 0; j < 3; ++j ) R[ i ][ j ] = ( i == j ? c : 0.0 ) + s * K[ i ][ j ] + ( 1 - c ) * k[ i ] * k[ j ];
		for ( int i = 0; i < 3; ++i ) t[ i ] = ( 2.0 * g.next() - 1.0 ) * transMax;
	}
	Vec apply( double const* p, Vec const& c ) const
	{
		Vec out;
		for ( int i = 0; i < 3; ++i ) {
			out[ i ] = t[ i ] + c[ i ];
			for ( int j = 0; j < 3; ++j ) out[ i ] += R[ i ][ j ] * ( p[ j ] - c[ j ] );
		}
		return out;
	}
};

Vec centroid( std::vector< double* > const& pts )
{
	Vec c = { 0, 0, 0 };
	for ( double* p : pts )
		for ( int i = 0; i < 3; ++i ) c[ i ] += p[ i ] / pts.size();
	return c;
}

std::vector< double* > rows_of( Table const& t )
{
	std::vector< double* > v;
	for ( int i = 0; i < t.n; ++i ) v.push_back( t[ i ] );
	return v;
}

void expect_rows( double** got, Table const& src, ExpectedMove const* m, Vec const& c, char const* what )
{
	for ( int i = 0; i < src.n; ++i ) {
		Vec const want = m ? m->apply( src[ i ], c ) : Vec{ src[ i ][ 0 ], src[ i ][ 1 ], src[ i ][ 2 ] };
		for ( int k = 0; k < 3; ++k ) EXPECT_NEAR( got[ i ][ k ], want[ k ], 1e-10 ) << what << " row " << i;
	}
}

enum class Centre { Junction, Both, Moved };

struct PairCase {
	char const* name;
	std::function< PiecePair( Pieces& ) > call;
	bool moveFirst;
	bool moveBoth;
	Centre centre;
	double transMax, angleMax;
};

TEST( RigidMoves, PairMembersMakeTheMoveTheirDrawsDescribe )
{
	// Each pair member against the move rebuilt from the generator replica:
	// catches a wrong draw order, centre, bound or moved piece.
	std::vector< PairCase > const cases = {
		{ "RotTranAroundCenter first", []( Pieces& p ) { return RotTranAroundCenter( p.a.p, p.b.p, 6, 5, true ); }, true,
			false, Centre::Both, 0.05, 1.0 },
		{ "RotTranAroundCenter second", []( Pieces& p ) { return RotTranAroundCenter( p.a.p, p.b.p, 6, 5, false ); },
			false, false, Centre::Both, 0.05, 1.0 },
		{ "RotTranAroundCenter_NC", []( Pieces& p ) { return RotTranAroundCenter_NC( p.a.p, p.b.p, 6, 5 ); }, true, true,
			Centre::Both, 0.05, 1.0 },
		{ "RotTranAroundBounday first", []( Pieces& p ) { return RotTranAroundBounday( p.a.p, p.b.p, 6, 5, true ); }, true,
			false, Centre::Junction, 0.5, 1.0 },
		{ "RotTranAroundBounday second", []( Pieces& p ) { return RotTranAroundBounday( p.a.p, p.b.p, 6, 5, false ); },
			false, false, Centre::Junction, 0.5, 1.0 },
		{ "RotTranAroundBounday bounds",
			[]( Pieces& p ) { return RotTranAroundBounday( p.a.p, p.b.p, 6, 5, false, 2.5, 0.3 ); }, false, false,
			Centre::Junction, 2.5, 0.3 },
		{ "RotTranAroundDomCenter first",
			[]( Pieces& p ) { return RotTranAroundDomCenter( p.a.p, p.b.p, 6, 5, true, 1.5, 2.0 ); }, true, false,
			Centre::Moved, 1.5, 2.0 },
		{ "RotTranAroundDomCenter second",
			[]( Pieces& p ) { return RotTranAroundDomCenter( p.a.p, p.b.p, 6, 5, false, 1.5, 2.0 ); }, false, false,
			Centre::Moved, 1.5, 2.0 },
	};
	for ( PairCase const& pc : cases ) {
		Pieces p( 6, 5 );
		RandomReplica g;
		g.sync();
		PiecePair got = pc.call( p );
		ExpectedMove m;
		m.draw( g, pc.transMax, pc.angleMax );
		std::vector< double* > both = rows_of( p.a ), b = rows_of( p.b );
		both.insert( both.end(), b.begin(), b.end() );
		Vec c;
		if ( pc.centre == Centre::Both ) c = centroid( both );
		else if ( pc.centre == Centre::Moved ) c = centroid( pc.moveFirst ? rows_of( p.a ) : rows_of( p.b ) );
		else c = pc.moveFirst ? Vec{ p.a[ 5 ][ 0 ], p.a[ 5 ][ 1 ], p.a[ 5 ][ 2 ] } : Vec{ p.b[ 0 ][ 0 ], p.b[ 0 ][ 1 ], p.b[ 0 ][ 2 ] };
		expect_rows( got.first, p.a, ( pc.moveFirst || pc.moveBoth ) ? &m : nullptr, c, pc.name );
		expect_rows( got.second, p.b, ( !pc.moveFirst || pc.moveBoth ) ? &m : nullptr, c, pc.name );
		release2DArr( 6, got.first );
		release2DArr( 5, got.second );
		// Six draws in all: the generator is where the replica is.
		EXPECT_DOUBLE_EQ( Random(), g.next() ) << pc.name;
	}
}

TEST( RigidMoves, RotTranIgnoresItsFifthArgumentAndMovesTheCentreOnlyByT )
{
	for ( bool unused : { false, true } ) {
		Pieces p( 4, 3 );
		RandomReplica g;
		g.sync();
		double** got = RotTran( p.a.p, p.b.p, 4, 3, unused, true );
		ExpectedMove m;
		m.draw( g, 0.5, 1.0 );
		Vec const c = { p.a[ 3 ][ 0 ], p.a[ 3 ][ 1 ], p.a[ 3 ][ 2 ] };
		expect_rows( got, p.a, &m, c, "RotTran" );
		// The centre a[na - 1] moves by t alone, at most sqrt(3) * 0.5.
		double const shift = dist( got[ 3 ], p.a[ 3 ] );
		EXPECT_NEAR( shift, std::sqrt( m.t[ 0 ] * m.t[ 0 ] + m.t[ 1 ] * m.t[ 1 ] + m.t[ 2 ] * m.t[ 2 ] ), 1e-12 );
		EXPECT_LE( shift, 0.5 * std::sqrt( 3.0 ) );
		release2DArr( 4, got );
	}
	// The second piece about its first row; RotTran4Dens about both centroids.
	Pieces p( 4, 3 );
	RandomReplica g;
	g.sync();
	double** got = RotTran( p.a.p, p.b.p, 4, 3, false, false );
	ExpectedMove m;
	m.draw( g, 0.5, 1.0 );
	expect_rows( got, p.b, &m, Vec{ p.b[ 0 ][ 0 ], p.b[ 0 ][ 1 ], p.b[ 0 ][ 2 ] }, "RotTran second" );
	release2DArr( 3, got );
	g.sync();
	got = RotTran4Dens( p.a.p, p.b.p, 4, 3, true );
	m.draw( g, 0.3, 1.0 );
	std::vector< double* > both = rows_of( p.a ), b = rows_of( p.b );
	both.insert( both.end(), b.begin(), b.end() );
	expect_rows( got, p.a, &m, centroid( both ), "RotTran4Dens" );
	release2DArr( 4, got );
}

TEST( RigidMoves, WholeArrayMovesAndDistanceTable )
{
	Pieces p( 7, 1 );
	RandomReplica g;
	g.sync();
	double** got = RotTranAroundCenter_all( p.a.p, 7, 0.8 );
	ExpectedMove m;
	m.draw( g, 0.8, 1.0 );
	expect_rows( got, p.a, &m, centroid( rows_of( p.a ) ), "all, angle 1" );
	release2DArr( 7, got );

	// The form with a distance table: every entry refreshed from the result.
	double pt0[ 3 ] = { 0, 0, 0 }, pt1[ 3 ] = { 10, -3, 2 };
	double** dtab = new2DArr( 2, 7 );
	g.sync();
	got = RotTranAroundCenter_all( p.a.p, 7, 0.2, 2.5, { pt0, pt1 }, dtab );
	m.draw( g, 0.2, 2.5 );
	expect_rows( got, p.a, &m, centroid( rows_of( p.a ) ), "all, angle 2.5" );
	for ( int i = 0; i < 7; ++i ) {
		EXPECT_NEAR( dtab[ 0 ][ i ], dist( pt0, got[ i ] ), 1e-12 );
		EXPECT_NEAR( dtab[ 1 ][ i ], dist( pt1, got[ i ] ), 1e-12 );
	}
	release2DArr( 2, dtab );
	release2DArr( 7, got );
}

TEST( RigidMoves, EmptyPiecesAreRefusedWithoutDrawing )
{
	Pieces p( 3, 3 );
	RandomReplica g;
	g.sync();
	testing::internal::CaptureStdout();
	PiecePair got = RotTranAroundBounday( p.a.p, p.b.p, 0, 3, true );
	double** none = RotTranAroundCenter_all( p.a.p, 0, 1.0 );
	std::string const msg = testing::internal::GetCapturedStdout();
	EXPECT_NE( msg.find( "Error! RotTranAroundBounday needs non-empty chain pieces" ), std::string::npos ) << msg;
	expect_rows( got.second, p.b, nullptr, Vec{}, "unchanged copy" );
	release2DArr( 0, got.first );
	release2DArr( 3, got.second );
	release2DArr( 0, none );
	EXPECT_DOUBLE_EQ( Random(), g.next() );
}

TEST( RigidMoves, Tran4lin38ClosesTheJunctionTo38 )
{
	// moveFirst: only a moves, its last row ends 3.8 A from b[0] on the line
	// through both, from far away and from too close alike.
	for ( double gap : { 12.0, 1.0 } ) {
		Pieces p( 4, 3 );
		for ( int i = 0; i < 3; ++i ) p.b[ i ][ 0 ] = p.a[ 3 ][ 0 ] + gap + i;
		Table a0( 4 ), b0( 3 );
		for ( int i = 0; i < 4; ++i )
			for ( int c = 0; c < 3; ++c ) a0[ i ][ c ] = p.a[ i ][ c ];
		for ( int i = 0; i < 3; ++i )
			for ( int c = 0; c < 3; ++c ) b0[ i ][ c ] = p.b[ i ][ c ];
		Tran4lin38( p.a.p, p.b.p, 4, 3, false, 0, true );
		EXPECT_NEAR( dist( p.a[ 3 ], p.b[ 0 ] ), 3.8, 1e-12 );
		expect_rows( p.b.p, b0, nullptr, Vec{}, "b unchanged" );
		for ( int i = 0; i + 1 < 4; ++i ) EXPECT_NEAR( dist( p.a[ i ], p.a[ i + 1 ] ), dist( a0[ i ], a0[ i + 1 ] ), 1e-12 );
		// The last row stays on the line through the old junction points.
		double cross = 0.0;
		double u[ 3 ], v[ 3 ];
		for ( int c = 0; c < 3; ++c ) {
			u[ c ] = b0[ 0 ][ c ] - a0[ 3 ][ c ];
			v[ c ] = p.a[ 3 ][ c ] - a0[ 3 ][ c ];
		}
		cross = std::hypot( u[ 1 ] * v[ 2 ] - u[ 2 ] * v[ 1 ], std::hypot( u[ 2 ] * v[ 0 ] - u[ 0 ] * v[ 2 ], u[ 0 ] * v[ 1 ] - u[ 1 ] * v[ 0 ] ) );
		EXPECT_NEAR( cross, 0.0, 1e-9 );
	}
	// Otherwise b moves, to 3.8 A from a[na - 1] or from a[index].
	Pieces p( 4, 3 );
	Tran4lin38( p.a.p, p.b.p, 4, 3, false, 0, false );
	EXPECT_NEAR( dist( p.a[ 3 ], p.b[ 0 ] ), 3.8, 1e-12 );
	Tran4lin38( p.a.p, p.b.p, 4, 3, true, 1, false );
	EXPECT_NEAR( dist( p.a[ 1 ], p.b[ 0 ] ), 3.8, 1e-12 );
}

TEST( RigidMoves, Tran4lin38LeavesCoincidingJunctionPointsAlone )
{
	// The closure divides by the junction distance: coinciding points must
	// not turn the piece into NaNs.
	Pieces p( 3, 3 );
	for ( int c = 0; c < 3; ++c ) p.b[ 0 ][ c ] = p.a[ 2 ][ c ];
	double const before = p.a[ 0 ][ 0 ];
	testing::internal::CaptureStdout();
	Tran4lin38( p.a.p, p.b.p, 3, 3, false, 0, true );
	Tran4lin38( p.a.p, p.b.p, 3, 3, false, 0, false );
	Tran4lin38( p.a.p, p.b.p, 3, 3, true, 7, false );
	std::string const msg = testing::internal::GetCapturedStdout();
	EXPECT_NE( msg.find( "Warning! Tran4lin38: the two junction residues coincide" ), std::string::npos ) << msg;
	EXPECT_NE( msg.find( "junction row 7 lies outside the first piece" ), std::string::npos ) << msg;
	EXPECT_EQ( p.a[ 0 ][ 0 ], before );
	for ( int i = 0; i < 3; ++i )
		for ( int c = 0; c < 3; ++c ) EXPECT_TRUE( std::isfinite( p.b[ i ][ c ] ) );
}

TEST( RigidMoves, GapOfAPieceBetweenTwoRows )
{
	Table a( 3 ), b( 4 );
	a[ 1 ][ 0 ] = 1.0;
	a[ 2 ][ 0 ] = 2.0;
	b[ 0 ][ 0 ] = 4.0;  // 3 from a[1]
	b[ 3 ][ 1 ] = 5.0;  // sqrt(4 + 25) from a[2]
	EXPECT_NEAR( discontinuous_lin_dis( a.p, b.p, 1, 4 ), ( 3.0 + std::sqrt( 29.0 ) ) / 2.0, 1e-12 );
	testing::internal::CaptureStdout();
	EXPECT_TRUE( std::isinf( discontinuous_lin_dis( a.p, b.p, 1, 0 ) ) );
	testing::internal::GetCapturedStdout();
}

TEST( RigidMoves, TranModel2VolPutsCentroidOnCentroid )
{
	// Every form: the model's centroid lands on the target's, distances stay.
	Pieces target( 5, 4 );
	for ( int i = 0; i < 5; ++i ) target.a[ i ][ 1 ] += 40.0;
	std::vector< double* > const tv = rows_of( target.a );
	Vec const tc = centroid( tv );
	auto check = [ & ]( std::vector< double* > const& model, double d01 ) {
		Vec const mc = centroid( model );
		for ( int c = 0; c < 3; ++c ) EXPECT_NEAR( mc[ c ], tc[ c ], 1e-10 );
		EXPECT_NEAR( dist( model[ 0 ], model[ 1 ] ), d01, 1e-12 );
	};
	{
		Pieces m( 6, 1 );
		double const d01 = dist( m.a[ 0 ], m.a[ 1 ] );
		TranModel2Vol( tv, m.a.p, 6 );
		check( rows_of( m.a ), d01 );
	}
	{
		Pieces m( 6, 1 );
		double const d01 = dist( m.a[ 0 ], m.a[ 1 ] );
		TranModel2Vol( target.a.p, 5, m.a.p, 6 );
		check( rows_of( m.a ), d01 );
	}
	{
		Pieces m( 3, 4 );
		double const d01 = dist( m.a[ 0 ], m.a[ 1 ] );
		TranModel2Vol( tv, m.a.p, m.b.p, 3, 4 );
		std::vector< double* > all = rows_of( m.a ), b = rows_of( m.b );
		all.insert( all.end(), b.begin(), b.end() );
		check( all, d01 );
	}
	for ( int form = 0; form < 2; ++form ) {
		Pieces m( 6, 1 );
		std::vector< std::vector< double* > > residues = { { m.a[ 0 ], m.a[ 1 ] }, { m.a[ 2 ], m.a[ 3 ], m.a[ 4 ] }, { m.a[ 5 ] } };
		std::vector< std::vector< std::string > > names = { { "N", "CA" }, { "C", "O", "SG" }, { "CA" } };
		double const d01 = dist( m.a[ 0 ], m.a[ 1 ] );
		if ( form == 0 ) TranModel2Vol( target.a.p, 5, residues, names );
		else TranModel2Vol( tv, residues, names );
		check( rows_of( m.a ), d01 );
	}
	// An empty target would give a centroid of 0/0.
	Pieces m( 2, 1 );
	double const x0 = m.a[ 0 ][ 0 ];
	testing::internal::CaptureStdout();
	TranModel2Vol( std::vector< double* >(), m.a.p, 2 );
	EXPECT_NE( testing::internal::GetCapturedStdout().find( "Error! TranModel2Vol" ), std::string::npos );
	EXPECT_EQ( m.a[ 0 ][ 0 ], x0 );
}

} // namespace
