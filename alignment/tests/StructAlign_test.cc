// StructAlign end to end: self alignment, moved copies (checked against an
// independent superposition), deleted loops, growing noise, tiny chains,
// trimming of the aligned region and the no-alignment path.
#include "alignment/DPAlign.hh"
#include "alignment/StructAlign.hh"

#include "alignment/tests/ca_trace_maker.hh"

#include <gtest/gtest.h>

#include <limits>

using namespace align_test;

namespace {

// Runs StructAlign on its own working set; output (warnings) is swallowed
// into `out`.
StructAlignResult align( Trace const& x, Trace const& y, std::string* out = nullptr,
	std::vector< int > const* xres = nullptr, std::vector< int > const* yres = nullptr )
{
	int const xl = static_cast< int >( x.size() ), yl = static_cast< int >( y.size() );
	RawTrace rx( x ), ry( y );
	load_PDB_allocate_memory( xl, yl, xl, yl );
	for ( int i = 0; i < xl; ++i ) xresno[ i ] = xres ? ( *xres )[ i ] : i + 1;
	for ( int j = 0; j < yl; ++j ) yresno[ j ] = yres ? ( *yres )[ j ] : j + 1;
	testing::internal::CaptureStdout();
	StructAlignResult r = StructAlign( xl, yl, rx.xyz(), ry.xyz(), xresno, yresno );
	std::string const text = testing::internal::GetCapturedStdout();
	if ( out ) *out = text;
	free_memory();
	return r;
}

struct Result {
	StructAlignResult r;
	explicit Result( StructAlignResult rr ) : r( rr ) {}
	~Result() { release_StructAlignResult( r ); }
	StructAlignResult const* operator->() const { return &r; }
};

void expect_consistent( StructAlignResult const& r, int xl, int yl )
{
	EXPECT_GE( r.n_ali8, 0 );
	EXPECT_LE( r.n_ali8, std::min( xl, yl ) );
	for ( int k = 0; k < r.n_ali8; ++k ) {
		EXPECT_GE( r.ali_x[ k ], 0 );
		EXPECT_LT( r.ali_x[ k ], xl );
		EXPECT_GE( r.ali_y[ k ], 0 );
		EXPECT_LT( r.ali_y[ k ], yl );
		if ( k > 0 ) {
			EXPECT_LT( r.ali_y[ k - 1 ], r.ali_y[ k ] );
			EXPECT_LT( r.ali_x[ k - 1 ], r.ali_x[ k ] );
		}
	}
	EXPECT_FALSE( std::isnan( r.tm_x ) );
	EXPECT_FALSE( std::isnan( r.tm_y ) );
	EXPECT_GE( r.tm_x, 0.0 );
	EXPECT_GE( r.tm_y, 0.0 );
	EXPECT_LE( r.tm_x, 1.0 + 1e-12 );
	EXPECT_LE( r.tm_y, 1.0 + 1e-12 );
}

} // namespace

TEST( StructAlign, IdenticalChainsScoreOne )
{
	Trace const x = make_trace( 90, 41 );
	Result r( align( x, x ) );
	expect_consistent( r.r, 90, 90 );
	EXPECT_NEAR( r->tm_x, 1.0, 1e-9 );
	EXPECT_NEAR( r->tm_y, 1.0, 1e-9 );
	EXPECT_EQ( r->n_ali8, 90 );
	EXPECT_EQ( r->start, 0 );
	EXPECT_EQ( r->end, 89 );
	for ( int k = 0; k < 90; ++k ) EXPECT_EQ( r->ali_x[ k ], r->ali_y[ k ] );
	for ( int i = 0; i < 3; ++i ) {
		EXPECT_NEAR( r->t[ i ], 0.0, 1e-6 );
		for ( int j = 0; j < 3; ++j ) EXPECT_NEAR( r->u[ i ][ j ], i == j ? 1.0 : 0.0, 1e-9 );
	}
	// The working set's tables are given back.
	EXPECT_EQ( structalign::score, nullptr );
	EXPECT_EQ( structalign::xt, nullptr );
}

TEST( StructAlign, MovedCopyRecoversTheRigidMove )
{
	Trace const x = make_trace( 120, 42 );
	Mat const R = axis_rotation( { 0.2, -0.9, 0.4 }, 2.4 );
	Vec const shift{ 35.0, -12.0, 80.0 };
	Trace const y = moved( x, R, shift );
	Result r( align( x, y ) );
	expect_consistent( r.r, 120, 120 );
	EXPECT_NEAR( r->tm_y, 1.0, 1e-9 );
	EXPECT_NEAR( r->tm_x, 1.0, 1e-9 );
	EXPECT_EQ( r->n_ali8, 120 );
	// Independent superposition of the pairs.
	Mat Rh;
	Vec th;
	horn_superpose( x, y, Rh, th );
	for ( int i = 0; i < 3; ++i ) {
		EXPECT_NEAR( r->t[ i ], shift[ i ], 1e-6 );
		EXPECT_NEAR( r->t[ i ], th[ i ], 1e-6 );
		for ( int j = 0; j < 3; ++j ) {
			EXPECT_NEAR( r->u[ i ][ j ], R[ i ][ j ], 1e-9 );
			EXPECT_NEAR( r->u[ i ][ j ], Rh[ i ][ j ], 1e-9 );
		}
	}
	// The global superposition is the one normalised by x: the same move.
	EXPECT_NEAR( structalign::t[ 1 ], -12.0, 1e-6 );
}

TEST( StructAlign, DeletedLoopIsBridgedByAGap )
{
	Trace const x = make_trace( 110, 43 );
	Trace y;
	std::vector< int > yres;
	for ( int i = 0; i < 110; ++i ) {
		if ( i >= 50 && i < 62 ) continue;  // a 12-residue loop cut out of y
		y.push_back( x[ i ] );
		yres.push_back( i + 1 );
	}
	y = moved( y, axis_rotation( { 1, 0, 1 }, -0.7 ), { 4, 4, 4 } );
	Result r( align( x, y, nullptr, nullptr, &yres ) );
	expect_consistent( r.r, 110, 98 );
	EXPECT_GT( r->tm_y, 0.95 );
	EXPECT_GT( r->tm_x, 0.85 );
	EXPECT_LT( r->tm_x, r->tm_y );  // normalised by the longer chain
	// Pairs on either side of the cut are the true ones.
	int right = 0;
	for ( int k = 0; k < r->n_ali8; ++k ) {
		int const j = r->ali_y[ k ];
		int const truth = ( j < 50 ) ? j : j + 12;
		right += ( r->ali_x[ k ] == truth );
	}
	EXPECT_GE( right, 94 );
}

TEST( StructAlign, ScoresFallAsNoiseGrows )
{
	Trace const x = make_trace( 100, 44 );
	Trace const y0 = moved( x, axis_rotation( { 3, 1, -2 }, 1.1 ), { -9, 2, 17 } );
	double previous = 1.0 + 1e-9;
	for ( double sigma : { 0.3, 1.0, 2.0, 3.5, 6.0 } ) {
		Result r( align( x, noisy( y0, sigma, 77 ) ) );
		SCOPED_TRACE( sigma );
		expect_consistent( r.r, 100, 100 );
		EXPECT_GT( r->tm_y, 0.0 );
		EXPECT_LE( r->tm_y, 1.0 );
		EXPECT_LT( r->tm_y, previous );
		previous = r->tm_y;
	}
	EXPECT_LT( previous, 0.5 );
}

TEST( StructAlign, UnrelatedChainsScoreLow )
{
	Result r( align( make_trace( 80, 45 ), make_trace( 95, 46 ) ) );
	expect_consistent( r.r, 80, 95 );
	EXPECT_LT( r->tm_x, 0.6 );
	EXPECT_LT( r->tm_y, 0.6 );
}

TEST( StructAlign, TinyChainsEndWithAResult )
{
	Trace const big = make_trace( 60, 47 );
	for ( int n : { 1, 2, 3 } ) {
		Trace const small = make_trace( n, 48 );
		SCOPED_TRACE( n );
		std::string out;
		{
			Result r( align( small, big, &out ) );
			expect_consistent( r.r, n, 60 );
		}
		{
			Result r( align( big, small, &out ) );
			expect_consistent( r.r, 60, n );
		}
		{
			Result r( align( small, small, &out ) );
			expect_consistent( r.r, n, n );
			EXPECT_EQ( r->n_ali8, n );
			EXPECT_NEAR( r->tm_y, 1.0, 1e-9 );
			EXPECT_EQ( r->start, 0 );
			EXPECT_EQ( r->end, n - 1 );
		}
		if ( n < 3 ) {
			EXPECT_NE( out.find( "Warning: initial alignment from local superposition fail!" ), std::string::npos );
		}
	}
}

TEST( StructAlign, EmptyChainGivesNoAlignment )
{
	std::string out;
	Result r( align( Trace{}, make_trace( 12, 49 ), &out ) );
	EXPECT_NE( out.find( "There is no alignment between the two proteins!\nProgram stop with no result!\n" ),
		std::string::npos );
	EXPECT_EQ( r->n_ali8, 0 );
	EXPECT_EQ( r->start, 0 );
	EXPECT_EQ( r->end, -1 );
	EXPECT_EQ( r->tm_x, 0.0 );
	EXPECT_EQ( r->tm_y, 0.0 );
	ASSERT_NE( r->u, nullptr );
	EXPECT_EQ( r->u[ 0 ][ 0 ], 1.0 );
}

TEST( StructAlign, NaNCoordinatesDoNotHang )
{
	double const nan = std::numeric_limits< double >::quiet_NaN();
	Trace x = make_trace( 40, 50 );
	Trace const y = make_trace( 40, 50 );
	for ( int i = 10; i < 40; ++i ) x[ i ] = { nan, nan, nan };
	Result r( align( x, y ) );
	EXPECT_GE( r->n_ali8, 0 );
	Trace all_nan( 30, Vec{ nan, nan, nan } );
	Result r2( align( all_nan, y ) );
	EXPECT_GE( r2->n_ali8, 0 );
}

TEST( StructAlign, SequenceFormIgnoresTheSequences )
{
	Trace const x = make_trace( 50, 51 );
	Trace const y = noisy( x, 1.0, 5 );
	Result a( align( x, y ) );
	RawTrace rx( x ), ry( y );
	load_PDB_allocate_memory( 50, 50, 50, 50 );
	for ( int i = 0; i < 50; ++i ) xresno[ i ] = yresno[ i ] = i + 1;
	char sx[] = "AAAA", sy[] = "GGGG";
	testing::internal::CaptureStdout();
	Result b( StructAlign( 50, 50, rx.xyz(), ry.xyz(), xresno, yresno, sx, sy ) );
	testing::internal::GetCapturedStdout();
	free_memory();
	EXPECT_EQ( a->tm_x, b->tm_x );
	EXPECT_EQ( a->n_ali8, b->n_ali8 );
}

TEST( TrimAlignedRegion, DropsUpToThreeIsolatedPairsAtEachEnd )
{
	auto trim = []( std::vector< int > a ) {
		int s = -7, e = -7;
		trim_aligned_region( a, s, e );
		return std::make_pair( s, e );
	};
	std::vector< int > run;
	for ( int k = 20; k < 40; ++k ) run.push_back( k );
	std::vector< int > a{ 0 };
	a.insert( a.end(), run.begin(), run.end() );
	EXPECT_EQ( trim( a ).first, 20 );
	std::vector< int > b{ 0, 1 };
	for ( int k = 15; k < 40; ++k ) b.push_back( k );
	EXPECT_EQ( trim( b ).first, 15 );
	std::vector< int > c{ 0, 1, 2, 3, 4, 5, 6 };
	EXPECT_EQ( trim( c ), std::make_pair( 0, 6 ) );
	// Four pairs before a jump are kept.
	std::vector< int > d{ 0, 1, 2, 3, 30, 31, 32, 33, 34 };
	EXPECT_EQ( trim( d ).first, 0 );
	// The end: the earliest jump counted from the end decides.
	std::vector< int > e( run );
	e.push_back( 60 );
	e.push_back( 61 );
	EXPECT_EQ( trim( e ).second, 39 );
	e.push_back( 90 );
	EXPECT_EQ( trim( e ).second, 61 );
}

TEST( TrimAlignedRegion, FewPairsAreKeptAndNoneGiveAnEmptyRegion )
{
	int s = -7, e = -7;
	trim_aligned_region( {}, s, e );
	EXPECT_EQ( s, 0 );
	EXPECT_EQ( e, -1 );
	trim_aligned_region( { 5 }, s, e );
	EXPECT_EQ( s, 5 );
	EXPECT_EQ( e, 5 );
	trim_aligned_region( { 5, 40 }, s, e );
	EXPECT_EQ( s, 5 );
	EXPECT_EQ( e, 40 );
	trim_aligned_region( { 5, 40, 41 }, s, e );
	EXPECT_EQ( s, 5 );
	EXPECT_EQ( e, 41 );
	// Four pairs whose ends would cross keep the whole span.
	trim_aligned_region( { 0, 1, 2, 20 }, s, e );
	EXPECT_EQ( s, 0 );
	EXPECT_EQ( e, 20 );
	// Crossing ends with more pairs as well: 0..3, then 30..32.
	trim_aligned_region( { 0, 1, 2, 3, 30, 31, 32 }, s, e );
	EXPECT_LE( s, e );
}

TEST( StructAlign, FourCellRowsGiveTheSameAlignment )
{
	Trace const x = make_trace( 130, 52 );
	Trace const y = noisy( moved( x, axis_rotation( { 1, 3, -1 }, 0.8 ), { 2, 2, 2 } ), 1.5, 53 );
	NWDP_use_vector_rows( false );
	Result a( align( x, y ) );
	NWDP_use_vector_rows( true );
	Result b( align( x, y ) );
	EXPECT_EQ( a->tm_x, b->tm_x );
	EXPECT_EQ( a->tm_y, b->tm_y );
	ASSERT_EQ( a->n_ali8, b->n_ali8 );
	for ( int k = 0; k < a->n_ali8; ++k ) {
		EXPECT_EQ( a->ali_x[ k ], b->ali_x[ k ] );
		EXPECT_EQ( a->ali_y[ k ], b->ali_y[ k ] );
	}
}
