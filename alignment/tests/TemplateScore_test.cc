// Template-scoring wrappers: which TM-score each returns, the superposition
// they hand out, the two-piece fits and domain exchange, and that no
// working-set array survives a call.
#include "alignment/TemplateScore.hh"

#include "alignment/tests/ca_trace_maker.hh"

#include "core/basic_fun_Quilt.hh"

#include <gtest/gtest.h>

using namespace align_test;

namespace {

// Suppresses the alignment's own warnings while a wrapper runs.
struct Quiet {
	Quiet() { testing::internal::CaptureStdout(); }
	~Quiet() { testing::internal::GetCapturedStdout(); }
};

void expect_working_set_released()
{
	EXPECT_EQ( secx, nullptr );
	EXPECT_EQ( secy, nullptr );
	EXPECT_EQ( xresno, nullptr );
	EXPECT_EQ( yresno, nullptr );
	EXPECT_EQ( seqx, nullptr );
	EXPECT_EQ( seqy, nullptr );
	EXPECT_EQ( structalign::score, nullptr );
	EXPECT_EQ( structalign::val, nullptr );
	EXPECT_EQ( structalign::path, nullptr );
	EXPECT_EQ( structalign::r1, nullptr );
}

// The first n residues of a trace as a chain of their own, moved.
Trace part( Trace const& tr, int first, int n ) { return Trace( tr.begin() + first, tr.begin() + first + n ); }

} // namespace

TEST( Templatescore, IdenticalChainsPassTheSimilarityTest )
{
	Trace const a = make_trace( 70, 61 );
	Trace const b = moved( a, axis_rotation( { 1, 0, 0 }, 0.9 ), { 1, 2, 3 } );
	RawTrace ra( a ), rb( b );
	Quiet q;
	double const s = Templatescore_native( 70, 70, ra.xyz(), rb.xyz(), ra.res(), rb.res() );
	EXPECT_NEAR( s, 1.0, 1e-9 );
	EXPECT_GE( s, 0.9 );
	expect_working_set_released();
}

TEST( Templatescore, NormalisesByTheShorterChainOrByL )
{
	// x is 45 residues cut out of y (90): tm_x ~ 1, tm_y ~ 1/2.
	Trace const y = make_trace( 90, 62 );
	Trace const x = moved( part( y, 20, 45 ), axis_rotation( { 0, 1, 1 }, 2.0 ), { -5, 0, 5 } );
	RawTrace rx( x ), ry( y );
	Quiet q;
	double const shorter = Templatescore_native( 45, 90, rx.xyz(), ry.xyz(), rx.res(), ry.res() );
	double const by_y = Templatescore_native( 45, 90, rx.xyz(), ry.xyz(), rx.res(), ry.res(), 90 );
	double const by_x = Templatescore_native( 45, 90, rx.xyz(), ry.xyz(), rx.res(), ry.res(), 45 );
	EXPECT_NEAR( shorter, 1.0, 1e-9 );
	EXPECT_EQ( by_x, shorter );
	EXPECT_GT( by_y, 0.4 );
	EXPECT_LT( by_y, 0.6 );
	int n = 0;
	double const model = Templatescore_model( 45, 90, rx.xyz(), ry.xyz(), rx.res(), ry.res(), n );
	EXPECT_EQ( model, by_y );
	EXPECT_EQ( n, 45 );
	// The other way round the shorter chain is y: tm_y of that alignment.
	double const swapped = Templatescore_native( 90, 45, ry.xyz(), rx.xyz(), ry.res(), rx.res() );
	EXPECT_NEAR( swapped, 1.0, 1e-9 );
	expect_working_set_released();
}

TEST( Templatescore, EqualLengthsGiveTmY )
{
	Trace const x = make_trace( 60, 63 );
	Trace const y = noisy( x, 2.5, 3 );
	RawTrace rx( x ), ry( y );
	Quiet q;
	int n;
	double const tm_y = Templatescore_model( 60, 60, rx.xyz(), ry.xyz(), rx.res(), ry.res(), n );
	EXPECT_EQ( Templatescore_native( 60, 60, rx.xyz(), ry.xyz(), rx.res(), ry.res() ), tm_y );
	EXPECT_EQ( Templatescore_native( 60, 60, rx.xyz(), ry.xyz(), rx.res(), ry.res(), 60 ), tm_y );
}

TEST( Templatescore, SuperpositionFormsHandOutTheMove )
{
	Trace const x = make_trace( 50, 64 );
	Mat const R = axis_rotation( { -1, 1, 2 }, 1.4 );
	Trace const y = moved( x, R, { 7, 8, 9 } );
	RawTrace rx( x ), ry( y );
	double t[ 3 ];
	double** u = new2DArr( 3, 3 );
	Quiet q;
	double const s = Templatescore_native( 50, 50, rx.xyz(), ry.xyz(), rx.res(), ry.res(), t, u );
	EXPECT_NEAR( s, 1.0, 1e-9 );
	EXPECT_NEAR( t[ 0 ], 7.0, 1e-6 );
	for ( int i = 0; i < 3; ++i )
		for ( int j = 0; j < 3; ++j ) EXPECT_NEAR( u[ i ][ j ], R[ i ][ j ], 1e-9 );
	char sx[] = "ACDEFGHIKL", sy[] = "ACDEFGHIKL";
	double t2[ 3 ];
	double** u2 = new2DArr( 3, 3 );
	double const s2 = Templatescore_native( 50, 50, rx.xyz(), ry.xyz(), 60, 60, sx, sy, rx.res(), ry.res(), t2, u2 );
	EXPECT_NEAR( s2, 1.0, 1e-9 );
	EXPECT_NEAR( t2[ 2 ], 9.0, 1e-6 );
	release2DArr( 3, u );
	release2DArr( 3, u2 );
	expect_working_set_released();
}

TEST( Templatescore, TwoPieceFitOfTwoModels )
{
	// Target: piece A (40) then piece B (40); the models are A and B moved.
	Trace const target = make_trace( 80, 65 );
	Trace const A = moved( part( target, 0, 40 ), axis_rotation( { 1, 1, 0 }, 0.7 ), { 20, 0, 0 } );
	Trace const B = moved( part( target, 40, 40 ), axis_rotation( { 0, 1, 1 }, -1.7 ), { 0, -30, 0 } );
	RawTrace rt( target ), ra( A ), rb( B );
	char seq[ 128 ] = "";
	Quiet q;
	TemplatescoreResult r = Templatescore( 80, 40, 40, rt.xyz(), ra.xyz(), rb.xyz(), 80, 40, 40, seq, seq, seq,
		rt.res(), ra.res(), rb.res() );
	EXPECT_TRUE( r.mode == 1 || r.mode == 2 );
	EXPECT_NEAR( r.score, 1.0, 0.02 );
	EXPECT_GT( r.n_ali8_W1, 35 );
	EXPECT_GT( r.n_ali8_R2, 35 );
	// R2 positions are target positions after W1's end.
	for ( int k = 0; k < r.n_ali8_R2; ++k ) EXPECT_GT( r.ali_y_R2[ k ], r.end_W1 );
	EXPECT_GE( r.start_R2, 40 );
	EXPECT_LT( r.end_R1, 40 );
	EXPECT_NEAR( Templatelocalscore( 80, 40, 40, rt.xyz(), ra.xyz(), rb.xyz(), 80, 40, 40, seq, seq, seq,
		             rt.res(), ra.res(), rb.res() ),
		1.0, 0.02 );
	release_TemplatescoreResult( r );
	EXPECT_EQ( r.t_W1, nullptr );
	expect_working_set_released();
}

TEST( Templatescore, FiveResiduesAfterTheFirstPieceRunNoSecondAlignment )
{
	Trace const target = make_trace( 45, 66 );
	Trace const A = part( target, 0, 40 );
	Trace const B = make_trace( 30, 67 );
	RawTrace rt( target ), ra( A ), rb( B );
	Quiet q;
	TemplatescoreResult r = Templatescore( 45, 40, 30, rt.xyz(), ra.xyz(), rb.xyz(), 45, 40, 30, nullptr, nullptr,
		nullptr, rt.res(), ra.res(), rb.res() );
	ASSERT_EQ( r.end_W1, 39 );
	EXPECT_EQ( r.n_ali8_R2, 0 );
	EXPECT_EQ( r.t_R2, nullptr );
	EXPECT_NE( r.mode, 1 );  // order 1 is not complete
	release_TemplatescoreResult( r );
}

TEST( Templatescore, DistanceMarkedRemainders )
{
	Trace const target = make_trace( 80, 68 );
	Trace const A = part( target, 0, 40 );
	Trace const B = part( target, 40, 40 );
	RawTrace rt( target ), ra( A ), rb( B );
	int marks[ 2 ] = { 39, 79 };
	Quiet q;
	TemplatescoreResult r = Templatescoredis( 80, 40, 40, rt.xyz(), ra.xyz(), rb.xyz(), 80, 40, 40, nullptr,
		nullptr, nullptr, rt.res(), ra.res(), rb.res(), marks );
	EXPECT_GT( r.n_ali8_W1, 0 );
	EXPECT_GT( r.n_ali8_W2, 0 );
	EXPECT_GT( r.score, 0.0 );
	for ( int k = 0; k < r.n_ali8_R1; ++k ) {
		EXPECT_TRUE( r.ali_y_R1[ k ] < r.start_W2 || r.ali_y_R1[ k ] > r.end_W2 );
	}
	release_TemplatescoreResult( r );
	expect_working_set_released();
}

TEST( Domexc, ExchangesTwoCopiesOfADomain )
{
	Trace const dom = make_trace( 25, 69 );
	Trace all = dom;
	Trace const second = moved( dom, axis_rotation( { 0, 0, 1 }, 2.0 ), { 40, 0, 0 } );
	all.insert( all.end(), second.begin(), second.end() );
	RawTrace ra( all );
	std::vector< std::vector< int > > domains( 2 );
	for ( int r = 1; r <= 25; ++r ) domains[ 0 ].push_back( r );
	for ( int r = 26; r <= 50; ++r ) domains[ 1 ].push_back( r );
	double** out = new2DArr( 50, 3 );
	{
		Quiet q;
		domexc( ra.xyz(), 50, domains, 0, 1, out );
	}
	for ( int i = 0; i < 25; ++i ) {
		for ( int c = 0; c < 3; ++c ) {
			EXPECT_NEAR( out[ i ][ c ], all[ i + 25 ][ c ], 1e-6 );
			EXPECT_NEAR( out[ i + 25 ][ c ], all[ i ][ c ], 1e-6 );
		}
	}
	// The random form with one pair: the same exchange, plus distances.
	std::vector< std::array< int, 2 > > pairs{ { 0, 1 } };
	double p0[ 3 ] = { 0, 0, 0 };
	std::vector< double* > points{ p0 };
	double** dist = new2DArr( 1, 50 );
	double** out2 = new2DArr( 50, 3 );
	{
		Quiet q;
		domexc( ra.xyz(), 50, domains, pairs, points, dist, out2 );
	}
	EXPECT_NEAR( out2[ 3 ][ 0 ], all[ 28 ][ 0 ], 1e-6 );
	EXPECT_NEAR( dist[ 0 ][ 3 ], std::sqrt( all[ 28 ][ 0 ] * all[ 28 ][ 0 ] + all[ 28 ][ 1 ] * all[ 28 ][ 1 ]
		                                     + all[ 28 ][ 2 ] * all[ 28 ][ 2 ] ), 1e-6 );
	release2DArr( 50, out );
	release2DArr( 50, out2 );
	release2DArr( 1, dist );
	expect_working_set_released();
}

TEST( Templatescore, RepeatedCallsAfterAnExternalDriverKeepNothing )
{
	// A caller that drives StructAlign itself releases secx, secy, xresno and
	// yresno only; the next allocation drops the sequence buffers it left.
	Trace const x = make_trace( 30, 70 );
	RawTrace rx( x );
	for ( int round = 0; round < 3; ++round ) {
		tempxlen = tempylen = 30;
		load_PDB_allocate_memory( 30, 30, 30, 30 );
		for ( int i = 0; i < 30; ++i ) xresno[ i ] = yresno[ i ] = i + 1;
		Quiet q;
		StructAlignResult r = StructAlign( 30, 30, rx.xyz(), rx.xyz(), xresno, yresno );
		delete[] secx;
		delete[] secy;
		delete[] xresno;
		delete[] yresno;
		secx = secy = xresno = yresno = nullptr;
		release_StructAlignResult( r );
	}
	Quiet q;
	EXPECT_NEAR( Templatescore_native( 30, 30, rx.xyz(), rx.xyz(), rx.res(), rx.res() ), 1.0, 1e-9 );
	expect_working_set_released();
}
