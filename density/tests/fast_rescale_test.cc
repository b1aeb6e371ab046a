// The B-bin rescaling diagnostic on maps simulated from a model with known
// B factors: the bin whose exponent matches the simulation correlates best,
// the printed figures are those of the bins, and after rescaling the bins'
// scores of the model follow their correlations.
#include "density/FastDensityScore.hh"
#include "density/tests/fast_periph_util.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <sstream>

using fast_periph::Chain;

namespace {

double const kPi2 = 9.869604401089358;

// One printed line: "BIN<j> : [<k_j>/<mean>] <cc>  <score>  <ratio>".
struct BinLine {
	int j = -1;
	double k = 0, mean = 0, cc = 0, score = 0, ratio = 0;
};

std::vector< BinLine > parse( std::string const& out )
{
	std::vector< BinLine > lines;
	std::istringstream in( out );
	std::string s;
	while ( std::getline( in, s ) ) {
		if ( s.compare( 0, 3, "BIN" ) != 0 ) continue;
		BinLine b;
		char c1, c2, c3;
		std::string colon;
		std::istringstream l( s.substr( 3 ) );
		l >> b.j >> colon >> c1 >> b.k >> c2 >> b.mean >> c3 >> b.cc >> b.score >> b.ratio;
		EXPECT_TRUE( l && colon == ":" && c1 == '[' && c2 == '/' && c3 == ']' ) << s;
		lines.push_back( b );
	}
	return lines;
}

class FastRescale : public testing::Test {
protected:
	// Simulates the map of the chain's atoms with B factors B (calcRhoC on
	// the grid of a 32^3 map of 1 A voxels) and loads it with six B bins.
	void simulate( std::vector< std::vector< double > > const& B )
	{
		int const n[ 3 ] = { 32, 32, 32 };
		ASSERT_TRUE( fast_test::write_mrc( dir_.file( "blank.mrc" ),
			fast_periph::cell_map( n, 1.0, 90.0, []( double const* p ) { return std::sin( p[ 0 ] ); } ) ) );
		FastDensityScore blank;
		ASSERT_TRUE( fast_periph::load_quiet( blank, dir_.file( "blank.mrc" ) ) );
		std::vector< poseCoord > atoms;
		for ( std::size_t r = 0; r < chain_.xyz.size(); ++r )
			for ( std::size_t a = 0; a < chain_.xyz[ r ].size(); ++a ) {
				if ( chain_.names[ r ][ a ] == "SG" ) continue;
				poseCoord p;
				p.x = chain_.xyz[ r ][ a ][ 0 ];
				p.y = chain_.xyz[ r ][ a ][ 1 ];
				p.z = chain_.xyz[ r ][ a ][ 2 ];
				p.B = B[ r ][ a ];
				p.elt = chain_.names[ r ][ a ];
				atoms.push_back( p );
			}
		farray::FArray3D< double > rho, mask;
		blank.calcRhoC( atoms, rho, mask );
		ASSERT_TRUE( fast_test::write_mrc( dir_.file( "sim.mrc" ), fast_test::cubic_map( 32, 1.0, [&]( int x, int y, int z ) {
			return rho( x + 1, y + 1, z + 1 );
		} ) ) );
		ASSERT_TRUE( fast_periph::load_quiet( map_, dir_.file( "sim.mrc" ) ) );
		map_.nFastBins = 6;
		map_.quiet = false; // loaded quietly; the diagnostic's figures wanted
	}
	// Exponent of bin j (0-based) of the map's cache.
	double binK( int j ) const { return map_.fastCache()->kmin + j * map_.fastCache()->kstep; }
	// The model's fast score in bin j (0-based) read from the current cache.
	double binScore( int j )
	{
		fast_periph::Lookup L( map_ );
		double s = 0.0;
		for ( std::size_t r = 0; r < chain_.xyz.size(); ++r )
			for ( std::size_t a = 0; a < chain_.xyz[ r ].size(); ++a ) {
				std::string const& name = chain_.names[ r ][ a ];
				if ( name == "SG" ) continue;
				s += fast_score_weight( get_A( name.substr( 0, 1 ) ) ) * L.value( map_, chain_.xyz[ r ][ a ], j + 1.0 );
			}
		return s;
	}
	std::string rescale( std::vector< std::vector< double > > const& B, bool noB )
	{
		testing::internal::CaptureStdout();
		map_.rescale_fastscoring_temp_bins( chain_.xyz, chain_.names, B, noB );
		return testing::internal::GetCapturedStdout();
	}
	// After rescaling, score_j / score_r = cc_j / cc_r for every bin.
	void expectScoresFollowCorrelations( std::vector< BinLine > const& lines, int ref )
	{
		double ccRef = 0.0;
		for ( BinLine const& b : lines )
			if ( b.j == ref ) ccRef = b.cc;
		double const sRef = binScore( ref );
		for ( BinLine const& b : lines )
			EXPECT_NEAR( binScore( b.j ) / sRef, b.cc / ccRef, 5e-3 ) << "bin " << b.j; // six passes: not quite converged
	}
	double const centre_[ 3 ] = { 16.0, 16.0, 16.0 };
	quilt_test::ScratchDir dir_{ "fds_rescale" };
	Chain chain_{ 10, centre_ };
	FastDensityScore map_;
};

} // namespace

TEST_F( FastRescale, SameBForEveryAtomPicksTheMatchingBin )
{
	// Carbon atoms only (a B factor per element would not fit one bin); all
	// at the B whose Gaussian has bin 1's exponent (0-based).
	for ( auto& r : chain_.names )
		for ( auto& a : r )
			if ( a != "CA" && a != "C" ) a = ( a == "SG" ) ? "SG" : "CB";
	std::vector< std::vector< double > > B = chain_.B;
	simulate( B ); // only to learn the bins' exponents
	map_.getFastDensScore_CA( chain_.atom( 0, "CA" ), 0.0 );
	double const Btrue = 4.0 * ( kPi2 / binK( 1 ) - get_A( "C" ).s );
	ASSERT_GT( Btrue, 20.0 );
	for ( auto& r : B )
		for ( double& b : r ) b = Btrue;
	simulate( B );
	map_.getFastDensScore_CA( chain_.atom( 0, "CA" ), 0.0 );
	std::vector< double > before;
	for ( int j = 0; j < 6; ++j ) before.push_back( binScore( j ) );

	std::string const out = rescale( {}, true ); // noB: the B factors are not read
	std::vector< BinLine > lines = parse( out );
	ASSERT_EQ( lines.size(), 6u ) << out;
	int best = -1;
	for ( int i = 0; i < 6; ++i ) {
		BinLine const& b = lines[ i ];
		EXPECT_EQ( b.j, 5 - i );                                 // last bin first
		EXPECT_NEAR( b.k, binK( b.j ), 1e-5 * binK( b.j ) );     // the bin's exponent
		EXPECT_EQ( b.mean, 0.0 );                                // no mean with noB
		EXPECT_NEAR( b.ratio, 1.0, 0.02 );                       // fifth pass: nearly converged
		if ( best < 0 || b.cc > lines[ best ].cc ) best = i;
	}
	EXPECT_EQ( lines[ best ].j, 1 );
	EXPECT_GT( lines[ best ].cc, 0.9999 );
	EXPECT_LT( lines[ 0 ].cc, 0.99 ); // the sharpest bins do not fit
	expectScoresFollowCorrelations( lines, 1 );
	// The reference bin keeps its coefficients (ratio exactly 1), the others
	// are scaled.
	EXPECT_EQ( lines[ 4 ].ratio, 1.0 );
	EXPECT_GT( std::fabs( binScore( 5 ) / before[ 5 ] - 1.0 ), 0.05 );
}

TEST_F( FastRescale, OwnBFactorsShiftedByTheirMean )
{
	// Mixed elements and B factors whose mean exponent is bin 2's: there
	// every atom gets its own B back and the density fits exactly.
	std::vector< std::vector< double > > B = chain_.B;
	simulate( B );
	map_.getFastDensScore_CA( chain_.atom( 0, "CA" ), 0.0 );
	double const target = binK( 2 );
	auto meanK = [&]( double base ) {
		double s = 0.0;
		int n = 0;
		for ( std::size_t r = 0; r < B.size(); ++r )
			for ( std::size_t a = 0; a < B[ r ].size(); ++a ) {
				if ( chain_.names[ r ][ a ] == "SG" ) continue;
				B[ r ][ a ] = base + 3.0 * ( ( r + 2 * a ) % 5 );
				s += get_A( chain_.names[ r ][ a ].substr( 0, 1 ) ).k( B[ r ][ a ], 600.0 );
				++n;
			}
		return s / n;
	};
	double lo = 10.0, hi = 200.0; // mean exponent falls as the B factors rise
	for ( int it = 0; it < 100; ++it ) {
		double const mid = 0.5 * ( lo + hi );
		( meanK( mid ) > target ? lo : hi ) = mid;
	}
	meanK( 0.5 * ( lo + hi ) );
	simulate( B );

	std::vector< BinLine > lines = parse( rescale( B, false ) );
	ASSERT_EQ( lines.size(), 6u );
	int best = 0;
	for ( int i = 0; i < 6; ++i ) {
		EXPECT_NEAR( lines[ i ].mean, target, 1e-5 * target );
		if ( lines[ i ].cc > lines[ best ].cc ) best = i;
	}
	EXPECT_EQ( lines[ best ].j, 2 );
	EXPECT_GT( lines[ best ].cc, 0.9999 );
	expectScoresFollowCorrelations( lines, 2 );
}

TEST_F( FastRescale, OneBinCopiesAndFlatMaps )
{
	simulate( chain_.B );
	// With one bin only the cache is built; nothing is printed or changed.
	map_.nFastBins = 1;
	std::string out = rescale( chain_.B, false );
	EXPECT_EQ( out, "" );
	auto cache = map_.fastCache();
	ASSERT_TRUE( cache );
	rescale( chain_.B, false );
	EXPECT_EQ( map_.fastCache(), cache );

	// A copy keeps its own cache: the rescaling of one map leaves it alone.
	map_.nFastBins = 6;
	double* p = chain_.atom( 4, "CA" );
	double const before = map_.getFastDensScore_Atom( p, "CA", 12.0 );
	FastDensityScore copy( map_ );
	map_.quiet = true; // quiet: no figures printed
	EXPECT_EQ( rescale( chain_.B, false ), "" );
	EXPECT_EQ( copy.getFastDensScore_Atom( p, "CA", 12.0 ), before );
	EXPECT_NE( map_.getFastDensScore_Atom( p, "CA", 12.0 ), before );

	// A flat map: no correlation, no score; every ratio is 1, never NaN.
	int const n[ 3 ] = { 16, 16, 16 };
	ASSERT_TRUE( fast_test::write_mrc( dir_.file( "flat.mrc" ), fast_periph::cell_map( n, 1.0, 90.0, []( double const* ) { return 2.0; } ) ) );
	FastDensityScore flat;
	ASSERT_TRUE( fast_periph::load_quiet( flat, dir_.file( "flat.mrc" ) ) );
	flat.nFastBins = 4;
	flat.quiet = false;
	double const c[ 3 ] = { 8, 8, 8 };
	Chain small( 3, c );
	testing::internal::CaptureStdout();
	flat.rescale_fastscoring_temp_bins( small.xyz, small.names, small.B, false );
	out = testing::internal::GetCapturedStdout();
	std::vector< BinLine > lines = parse( out );
	ASSERT_EQ( lines.size(), 4u ) << out;
	for ( BinLine const& b : lines ) {
		EXPECT_EQ( b.cc, 0.0 );
		EXPECT_EQ( b.ratio, 1.0 );
	}
	EXPECT_EQ( out.find( "nan" ), std::string::npos );

	// No map, misshapen B factors, no atoms: a message, nothing changed.
	FastDensityScore none;
	testing::internal::CaptureStdout();
	none.rescale_fastscoring_temp_bins( small.xyz, small.names, small.B, false );
	EXPECT_EQ( testing::internal::GetCapturedStdout(), "Error! rescale_fastscoring_temp_bins called but no map is loaded!\n" );
	cache = flat.fastCache();
	testing::internal::CaptureStdout();
	flat.rescale_fastscoring_temp_bins( small.xyz, small.names, {}, false );
	flat.rescale_fastscoring_temp_bins( {}, {}, {}, true );
	out = testing::internal::GetCapturedStdout();
	EXPECT_NE( out.find( "Error! rescale_fastscoring_temp_bins: the B factors do not have the model's shape." ), std::string::npos );
	EXPECT_NE( out.find( "Warning! rescale_fastscoring_temp_bins: the model has no atoms" ), std::string::npos );
	EXPECT_EQ( flat.fastCache(), cache );
}
