// Multi-domain superposition and merging: joins of two pieces, merges of
// domain models in residue order, domain-wise moves of all atoms, the
// alignment wrappers (a domain superposed onto a rotated copy of itself is
// recovered with TM-score 1), the multi-template alignment and its
// correspondences, and the backbone and radius helpers.
#include "transforms/DomainSuperpose.hh"

#include "alignment/tests/ca_trace_maker.hh"
#include "transforms/ModelOutput.hh"
#include "transforms/tests/transforms_test_util.hh"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using namespace transforms_test;
using align_test::RawTrace;
using align_test::Trace;

void expect_row( double const* got, double const* want, char const* what )
{
	for ( int c = 0; c < 3; ++c ) EXPECT_EQ( got[ c ], want[ c ] ) << what;
}

// Rows numbered by their first coordinate: row i of a is (i, 0, 0), of b
// (100 + i, 1, 0).
struct TwoPieces {
	TwoPieces( int na, int nb ) : a( na ), b( nb )
	{
		for ( int i = 0; i < na; ++i ) a[ i ][ 0 ] = i;
		for ( int i = 0; i < nb; ++i ) {
			b[ i ][ 0 ] = 100 + i;
			b[ i ][ 1 ] = 1;
		}
	}
	Table a, b;
};

TEST( DomainSuperpose, JoinsOfTwoPieces )
{
	TwoPieces t( 4, 2 );
	double** plain = get_xyzCAall( t.a.p, t.b.p, 4, 2, false, 0 );
	double** last = get_xyzCAall( t.a.p, t.b.p, 4, 2, true, 3 );
	double** front = get_xyzCAall( t.a.p, t.b.p, 4, 2, true, -1 );
	double** mid = get_xyzCAall( t.a.p, t.b.p, 4, 2, true, 1 );
	double const* wantMid[ 6 ] = { t.a[ 0 ], t.a[ 1 ], t.b[ 0 ], t.b[ 1 ], t.a[ 2 ], t.a[ 3 ] };
	for ( int i = 0; i < 6; ++i ) {
		expect_row( last[ i ], plain[ i ], "insert after the last row = no insertion" );
		expect_row( front[ i ], i < 2 ? t.b[ i ] : t.a[ i - 2 ], "insert before everything" );
		expect_row( mid[ i ], wantMid[ i ], "insert after row 1" );
	}
	// An insertion point past the end is kept at the end, with a warning.
	testing::internal::CaptureStdout();
	double** past = get_xyzCAall( t.a.p, t.b.p, 4, 2, true, 9 );
	EXPECT_NE( testing::internal::GetCapturedStdout().find( "Warning! get_xyzCAall" ), std::string::npos );
	for ( int i = 0; i < 6; ++i ) expect_row( past[ i ], plain[ i ], "clamped" );
	for ( double** p : { plain, last, front, mid, past } ) release2DArr( 6, p );

	// By residue number: {1, 3} and {2} give a[0], b[0], a[1]; a number in
	// both lists takes a's row each time.
	double** byNumber = get_xyzCAall( t.a.p, t.b.p, std::vector< int >{ 1, 3 }, std::vector< int >{ 2 } );
	expect_row( byNumber[ 0 ], t.a[ 0 ], "1" );
	expect_row( byNumber[ 1 ], t.b[ 0 ], "2" );
	expect_row( byNumber[ 2 ], t.a[ 1 ], "3" );
	release2DArr( 3, byNumber );
	double** shared = get_xyzCAall( t.a.p, t.b.p, std::vector< int >{ 5 }, std::vector< int >{ 5, 4 } );
	expect_row( shared[ 0 ], t.b[ 1 ], "4" );
	expect_row( shared[ 1 ], t.a[ 0 ], "5 from a" );
	expect_row( shared[ 2 ], t.a[ 0 ], "5 again from a" );
	release2DArr( 3, shared );
}

TEST( DomainSuperpose, AtomJoinsFollowResidueAtomCounts )
{
	// GLY (4 atoms), ALA (5), SER (6) and a two-residue B (GLY, ALA).
	Protein A( golden( "writers_in.pdb" ), false );
	Protein B( golden( "writers_in.pdb" ), false );
	B.residues.pop_back();
	B.atomCount = 9;
	Table atomsA( 15 ), atomsB( 9 );
	for ( int i = 0; i < 15; ++i ) atomsA[ i ][ 0 ] = i;
	for ( int i = 0; i < 9; ++i ) atomsB[ i ][ 0 ] = 100 + i;

	double** ins = get_xyzall( A, B, atomsA.p, atomsB.p, true, 0 );
	// GLY of A (rows 0-3), all of B, then ALA and SER of A.
	std::vector< double > want = { 0, 1, 2, 3 };
	for ( int i = 0; i < 9; ++i ) want.push_back( 100 + i );
	for ( int i = 4; i < 15; ++i ) want.push_back( i );
	for ( int i = 0; i < 24; ++i ) EXPECT_EQ( ins[ i ][ 0 ], want[ i ] ) << i;
	release2DArr( 24, ins );

	// By residue number: A holds 1, 4, 5 and B holds 2, 3: GLY(A), GLY(B),
	// ALA(B), ALA(A), SER(A).
	double** num = get_xyzall( A, B, atomsA.p, atomsB.p, std::vector< int >{ 1, 4, 5 }, std::vector< int >{ 2, 3 } );
	want = { 0, 1, 2, 3, 100, 101, 102, 103, 104, 105, 106, 107, 108 };
	for ( int i = 4; i < 15; ++i ) want.push_back( i );
	for ( int i = 0; i < 24; ++i ) EXPECT_EQ( num[ i ][ 0 ], want[ i ] ) << i;
	release2DArr( 24, num );

	// More numbers than residues is refused (zero rows, a message).
	testing::internal::CaptureStdout();
	double** bad = get_xyzall( A, B, atomsA.p, atomsB.p, std::vector< int >{ 1, 2, 3, 4 }, std::vector< int >{} );
	EXPECT_NE( testing::internal::GetCapturedStdout().find( "Error! get_xyzall" ), std::string::npos );
	release2DArr( 24, bad );
}

TEST( DomainSuperpose, MergeAllDomInResidueOrderWithCbRows )
{
	// Domain 1 holds residues 3 and 1 (GLY, ALA of its model), domain 2
	// residue 2 (GLY of its model).  CB rows: glycine gives its CA.
	Protein d1( golden( "writers_in.pdb" ), false );
	d1.residues.pop_back();
	Protein d2( golden( "writers_in.pdb" ), false );
	d2.residues.resize( 1 );
	Table ca1( 2 ), ca2( 1 ), at1( 9 ), at2( 4 );
	for ( int i = 0; i < 2; ++i ) ca1[ i ][ 0 ] = 10 + i;
	ca2[ 0 ][ 0 ] = 20;
	for ( int i = 0; i < 9; ++i ) at1[ i ][ 0 ] = 100 + i;
	for ( int i = 0; i < 4; ++i ) at2[ i ][ 0 ] = 200 + i;
	Table outCA( 3 ), outCB( 3 ), outAll( 13 );
	Merge_all_dom( { d1, d2 }, { ca1.p, ca2.p }, { at1.p, at2.p }, { { 3, 1 }, { 2 } }, outCA.p, outCB.p, outAll.p );
	// Number 1: domain 1 position 1 (ALA, atoms 104-108, CB 108); 2: domain 2
	// (GLY, 200-203, CA 201); 3: domain 1 position 0 (GLY, 100-103, CA 101).
	double const wantCA[ 3 ] = { 11, 20, 10 }, wantCB[ 3 ] = { 108, 201, 101 };
	double const wantAll[ 13 ] = { 104, 105, 106, 107, 108, 200, 201, 202, 203, 100, 101, 102, 103 };
	for ( int i = 0; i < 3; ++i ) {
		EXPECT_EQ( outCA[ i ][ 0 ], wantCA[ i ] ) << i;
		EXPECT_EQ( outCB[ i ][ 0 ], wantCB[ i ] ) << i;
	}
	for ( int i = 0; i < 13; ++i ) EXPECT_EQ( outAll[ i ][ 0 ], wantAll[ i ] ) << i;
}

TEST( DomainSuperpose, RotateAllatomDomMatchesTheWholeModelMove )
{
	Protein model( golden( "writers_in.pdb" ), false );
	double** atoms = model.getAllAtomXYZs();
	Table before( 3 ), after( 3 );
	double R[ 3 ][ 3 ];
	get_rot_matrix( R, 0.3, 1.1, -0.4 );
	for ( int r = 0; r < 3; ++r ) {
		double* ca = model.getIthResidueCAXYZ( r );
		for ( int c = 0; c < 3; ++c ) before[ r ][ c ] = ca[ c ];
		for ( int c = 0; c < 3; ++c ) after[ r ][ c ] = 5.0 + R[ c ][ 0 ] * ca[ 0 ] + R[ c ][ 1 ] * ca[ 1 ] + R[ c ][ 2 ] * ca[ 2 ];
		delete[] ca;
	}
	double** dom = Rotate_allatom_dom( model, { { 1, 2, 3 } }, atoms, before.p, after.p );
	double** whole = rotate_allatom( atoms, before.p, after.p, 3, 15 );
	for ( int i = 0; i < 15; ++i )
		for ( int c = 0; c < 3; ++c ) EXPECT_DOUBLE_EQ( dom[ i ][ c ], whole[ i ][ c ] );
	release2DArr( 15, dom );
	// Atoms of no domain stay at the origin.
	dom = Rotate_allatom_dom( model, { { 2 } }, atoms, before.p, after.p );
	for ( int i : { 0, 3, 9, 14 } )
		for ( int c = 0; c < 3; ++c ) EXPECT_EQ( dom[ i ][ c ], 0.0 );
	release2DArr( 15, dom );
	release2DArr( 15, whole );
	release2DArr( 15, atoms );
}

// A domain and a copy turned by 100 degrees about a skew axis and shifted.
struct RotatedCopy {
	RotatedCopy( int n, unsigned seed )
		: R( align_test::axis_rotation( { 0.3, -1.0, 0.6 }, 100.0 * M_PI / 180.0 ) ), t{ 12.0, -30.0, 7.5 },
		  x( align_test::make_trace( n, seed ) ), y( align_test::moved( x, R, t ) ),
		  rx( x ), ry( y )
	{
	}
	// Declared in the order of their initialisation.
	align_test::Mat R;
	align_test::Vec t;
	Trace x, y;
	RawTrace rx, ry;
};

TEST( DomainSuperpose, SuperposingADomainOntoARotatedCopyRecoversIt )
{
	// Catches a wrapper that loses the superposition or the aligned
	// positions: TM-score 1, every position aligned, and (t, u) carry x
	// onto y.
	RotatedCopy d( 60, 11u );
	std::vector< int > positions = { -7 };
	double t[ 3 ];
	Table u( 3 );
	double const tm = Templatescore_superpose( 60, 60, d.rx.xyz(), d.ry.xyz(), d.rx.res(), d.ry.res(), positions, t, u.p );
	EXPECT_NEAR( tm, 1.0, 1e-6 );
	ASSERT_EQ( positions.size(), 61u );
	EXPECT_EQ( positions[ 0 ], -7 ); // appended, not replaced
	for ( int k = 0; k < 60; ++k ) EXPECT_EQ( positions[ k + 1 ], k );
	for ( int i = 0; i < 60; ++i ) {
		double p[ 3 ];
		for ( int r = 0; r < 3; ++r ) p[ r ] = t[ r ] + u[ r ][ 0 ] * d.x[ i ][ 0 ] + u[ r ][ 1 ] * d.x[ i ][ 1 ] + u[ r ][ 2 ] * d.x[ i ][ 2 ];
		for ( int r = 0; r < 3; ++r ) EXPECT_NEAR( p[ r ], d.y[ i ][ r ], 1e-6 );
	}
	for ( int r = 0; r < 3; ++r )
		for ( int c = 0; c < 3; ++c ) EXPECT_NEAR( u[ r ][ c ], d.R[ r ][ c ], 1e-8 );
}

TEST( DomainSuperpose, ModelScoreLeavesOutTheTailInModeZeroUntilAShortChainIsSeen )
{
	RotatedCopy d( 30, 5u );
	len_tail = 10;
	std::vector< int > xs, ys;
	double const tm = Templatescore_model( 30, 30, d.rx.xyz(), d.ry.xyz(), d.rx.res(), d.ry.res(), nullptr, 0, xs, ys );
	EXPECT_NEAR( tm, 1.0, 1e-6 );
	ASSERT_EQ( xs.size(), 20u ); // second-chain positions 0..19 only
	ASSERT_EQ( ys.size(), 20u );
	for ( int k = 0; k < 20; ++k ) {
		EXPECT_EQ( xs[ k ], k );
		EXPECT_EQ( ys[ k ], k );
	}
	xs.clear();
	Templatescore_model( 30, 30, d.rx.xyz(), d.ry.xyz(), d.rx.res(), d.ry.res(), nullptr, 1, xs );
	EXPECT_EQ( xs.size(), 30u );
	EXPECT_EQ( len_tail, 10 );

	// A second chain of 8 residues: every pair reported, len_tail 0 for good.
	RotatedCopy s( 8, 3u );
	xs.clear();
	Templatescore_model( 8, 8, s.rx.xyz(), s.ry.xyz(), s.rx.res(), s.ry.res(), nullptr, 0, xs );
	EXPECT_EQ( len_tail, 0 );
	xs.clear();
	Templatescore_model( 30, 30, d.rx.xyz(), d.ry.xyz(), d.rx.res(), d.ry.res(), nullptr, 0, xs );
	EXPECT_EQ( xs.size(), 30u );
	len_tail = 10;
}

TEST( DomainSuperpose, MultiTemplateAlignmentSplitsTheQuery )
{
	// Query: domain 1 (40 residues) then domain 2 (35), numbered 1..75.
	// Template 1 is domain 1 moved, template 2 domain 2 moved; their residue
	// lists name the query residues they stand for, so every correspondence
	// pairs a residue with itself.
	len_tail = 10;
	RotatedCopy d1( 40, 21u ), d2( 35, 22u );
	Trace q = d1.x;
	for ( auto const& p : d2.x ) q.push_back( { p[ 0 ] + 40.0, p[ 1 ] - 25.0, p[ 2 ] + 3.0 } );
	RawTrace rq( q );
	int lengths[ 2 ] = { 40, 35 };
	int modes[ 2 ] = { 1, 1 };
	double tm[ 2 ] = { 0, 0 };
	std::vector< std::vector< int > > lists( 2 );
	for ( int i = 1; i <= 40; ++i ) lists[ 0 ].push_back( i );
	for ( int i = 41; i <= 75; ++i ) lists[ 1 ].push_back( i );
	std::vector< int > queryIdx, modelIdx;
	double const h = Templatescore_multimodel( 75, lengths, rq.xyz(), { d1.ry.xyz(), d2.ry.xyz() }, rq.res(),
		{ d1.ry.res(), d2.ry.res() }, tm, nullptr, modes, lists, queryIdx, modelIdx );
	EXPECT_NEAR( tm[ 0 ], 1.0, 1e-3 );
	EXPECT_NEAR( tm[ 1 ], 1.0, 1e-3 );
	EXPECT_NEAR( h, 2.0 / ( 1.0 / tm[ 0 ] + 1.0 / tm[ 1 ] ), 1e-12 );
	ASSERT_EQ( queryIdx.size(), 75u );
	ASSERT_EQ( modelIdx.size(), 75u );
	for ( std::size_t k = 0; k < 75; ++k ) EXPECT_EQ( queryIdx[ k ], modelIdx[ k ] );

	// One template: its own TM-score.
	double one[ 1 ] = { 0 };
	double const h1 = Templatescore_multimodel( 40, lengths, d1.rx.xyz(), { d1.ry.xyz() }, d1.rx.res(), { d1.ry.res() },
		one, nullptr, modes );
	EXPECT_DOUBLE_EQ( h1, one[ 0 ] );
	EXPECT_NEAR( h1, 1.0, 1e-6 );

	// The first template takes the whole query: the second is never reached,
	// keeps 0.001, and pulls the harmonic mean down.
	double const h2 = Templatescore_multimodel( 40, lengths, d1.rx.xyz(), { d1.ry.xyz(), d2.ry.xyz() }, d1.rx.res(),
		{ d1.ry.res(), d2.ry.res() }, tm, nullptr, modes );
	EXPECT_EQ( tm[ 1 ], 0.001 );
	EXPECT_NEAR( h2, 2.0 / ( 1.0 / tm[ 0 ] + 1000.0 ), 1e-12 );

	// No template at all is refused.
	testing::internal::CaptureStdout();
	EXPECT_EQ( Templatescore_multimodel( 40, lengths, d1.rx.xyz(), {}, d1.rx.res(), {}, tm, nullptr, modes ), 0.0 );
	EXPECT_NE( testing::internal::GetCapturedStdout().find( "Error! Templatescore_multimodel" ), std::string::npos );
}

TEST( DomainSuperpose, BackboneTableAndRadius )
{
	Protein model( golden( "writers_in.pdb" ), false );
	double** atoms = model.getAllAtomXYZs();
	std::vector< std::string > names;
	for ( Residue const& r : model.residues ) names.insert( names.end(), r.atomNames.begin(), r.atomNames.end() );
	double*** bb = getBackbone_4allatom( 3, 15, atoms, names );
	// Residue 2 (SER): N, CA, C are atoms 9, 10, 11.
	expect_row( bb[ 2 ][ 0 ], atoms[ 9 ], "N" );
	expect_row( bb[ 2 ][ 1 ], atoms[ 10 ], "CA" );
	expect_row( bb[ 2 ][ 2 ], atoms[ 11 ], "C" );
	expect_row( bb[ 0 ][ 1 ], atoms[ 1 ], "CA of GLY" );
	release3DArr( 3, 3, bb );
	release2DArr( 15, atoms );

	// Centroid mode: SG counts towards the centre but not the maximum.
	double p0[ 3 ] = { -1, 0, 0 }, p1[ 3 ] = { 1, 0, 0 }, sg[ 3 ] = { 30, 0, 0 };
	std::vector< std::vector< double* > > const res = { { p0, p1, sg } };
	std::vector< std::vector< std::string > > const nm = { { "N", "CA", "SG" } };
	EXPECT_NEAR( getRadius( res, nm, "centroid" ), 11.0, 1e-12 ); // centre x = 10
	EXPECT_NEAR( getRadius( res, nm, "backbone" ), 1.0, 1e-12 );
	EXPECT_NEAR( getRadius( res, nm, "CA" ), 0.0, 1e-12 );
	EXPECT_EQ( getRadius( {}, {}, "centroid" ), 0.0 );
}

} // namespace
