// Real maps: every map of the shared data loads, places its true model
// where the density is (whichever way its header gives the position) and
// ranks the true model above the same model moved by 3 A.
#include "density/FastDensityScore.hh"
#include "density/tests/fast_test_util.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <fstream>

namespace {

// CA atoms of all chains of a PDB file (the complexes hold several).
std::vector< std::vector< double > > read_all_ca( std::string const& path )
{
	std::vector< std::vector< double > > ca;
	std::ifstream in( path.c_str() );
	std::string line;
	while ( std::getline( in, line ) ) {
		if ( line.compare( 0, 4, "ATOM" ) != 0 || line.size() < 54 || line.substr( 12, 4 ) != " CA " ) continue;
		ca.push_back( { std::stod( line.substr( 30, 8 ) ), std::stod( line.substr( 38, 8 ) ), std::stod( line.substr( 46, 8 ) ) } );
	}
	return ca;
}

struct MapCase {
	char const* map;
	char const* model; // empty: load only
	double resolution;
};

MapCase const kCases[] = {
	{ "single/emd_5168.map", "single/3MFP.pdb", 6.6 },
	{ "single/1akeA_10A.mrc", "single/1akeA.pdb", 10.0 },
	{ "single/1ggg_5A.mrc", "single/1ggg.pdb", 5.0 },
	{ "complexes/2dqj/2dqj_10A_tempy.mrc", "complexes/2dqj/2DQJ.pdb", 10.0 },
	{ "complexes/1z5s/1z5s_10.mrc", "", 10.0 },
	{ "complexes/3mht/3mht_sim6A.mrc", "complexes/3mht/3mht.pdb", 6.0 },
	{ "complexes/3mht/Pro.map", "complexes/3mht/3mht.pdb", 6.0 },
	{ "complexes/3mht/NA.map", "", 6.0 },
};

bool load( FastDensityScore& m, std::string const& path, double reso, std::string* text = nullptr, bool quiet = true )
{
	testing::internal::CaptureStdout();
	bool const ok = m.readDensityMap( path, reso, 0.0, 0.0, quiet );
	std::string const out = testing::internal::GetCapturedStdout();
	if ( text ) *text = out;
	return ok;
}

double rscc( FastDensityScore& m, std::vector< std::vector< double > > ca, double dx )
{
	for ( auto& p : ca ) p[ 0 ] += dx;
	auto rows = fast_test::rows_of( ca );
	return m.getRSCC( rows.data(), int( rows.size() ), 4.0 );
}

} // namespace

TEST( FastRealMaps, EveryMapLoadsAndPlacesItsModel )
{
	QUILT_REQUIRE_SHARED_DATA();
	for ( MapCase const& c : kCases ) {
		SCOPED_TRACE( c.map );
		FastDensityScore m;
		ASSERT_TRUE( load( m, quilt_test::shared_file( c.map ), c.resolution ) );
		EXPECT_TRUE( m.isLoaded );
		EXPECT_GT( m.nDensPoints, 0 );
		if ( std::string( c.model ).empty() ) continue;
		auto ca = read_all_ca( quilt_test::shared_file( c.model ) );
		ASSERT_GT( ca.size(), 50u );
		double const fit = rscc( m, ca, 0.0 );
		double const off = rscc( m, ca, 3.0 );
		std::cout << "[ map ] " << c.map << "  CA correlation " << fit << ", shifted by 3 A " << off << std::endl;
		EXPECT_GT( fit, 0.5 );
		EXPECT_LT( off, fit - 0.03 );
		if ( std::string( c.map ).find( "5168" ) != std::string::npos ) {
			EXPECT_LT( off, fit - 0.15 );
		}
		// EMD-5168 is a filament: its centre is not the protomer's.
		if ( std::string( c.map ).find( "5168" ) != std::string::npos ) continue;
		// The map centre lies near the model's centre of mass (within the
		// model's extent), so the fitting engine starts in the right place.
		double c3[ 3 ] = { 0, 0, 0 };
		for ( auto const& p : ca )
			for ( int a = 0; a < 3; ++a ) c3[ a ] += p[ a ] / ca.size();
		double d2 = 0.0;
		for ( int a = 0; a < 3; ++a ) d2 += std::pow( c3[ a ] - m.densCenter[ a ], 2 );
		EXPECT_LT( std::sqrt( d2 ), 40.0 );
	}
}

TEST( FastRealMaps, StartIndexOriginOfEmd5168 )
{
	QUILT_REQUIRE_SHARED_DATA();
	// ORIGIN words are 0; the block starts at -50 voxels on every axis.
	FastDensityScore m;
	ASSERT_TRUE( load( m, quilt_test::shared_file( "single/emd_5168.map" ), 6.6 ) );
	EXPECT_FALSE( m.useAltOrigin );
	EXPECT_EQ( m.origin[ 0 ], -50 );
	EXPECT_NEAR( m.voxelOrigin[ 0 ], -50 * 1.742, 1e-3 );
	EXPECT_NEAR( m.gridWidth, 1.742, 1e-5 );
	auto ca = fast_test::read_ca( quilt_test::shared_file( "single/3MFP.pdb" ) );
	EXPECT_GT( rscc( m, ca, 0.0 ), 0.5 );
	// The voxel-list correlation also finds the model.
	auto rows = fast_test::rows_of( ca );
	double const cc = ( 100.0 - m.getCC( int( rows.size() ), rows.data() ) ) * 0.01;
	auto shifted = ca;
	for ( auto& p : shifted ) p[ 1 ] += 3.0;
	auto srows = fast_test::rows_of( shifted );
	EXPECT_GT( cc, ( 100.0 - m.getCC( int( srows.size() ), srows.data() ) ) * 0.01 + 0.02 );
	// The fast score prefers the true place to the shifted one.
	std::vector< double* > pts( rows.begin(), rows.end() );
	double const fast = m.getFastDensScore( pts, int( pts.size() ) );
	auto moved = ca;
	for ( auto& p : moved ) p[ 0 ] += 3.0;
	auto mrows = fast_test::rows_of( moved );
	EXPECT_GT( fast, m.getFastDensScore( mrows.data(), int( mrows.size() ) ) );
}

TEST( FastRealMaps, ReportLinesOfOneMap )
{
	QUILT_REQUIRE_SHARED_DATA();
	std::string const path = quilt_test::shared_file( "single/1akeA_10A.mrc" );
	FastDensityScore m;
	std::string text;
	ASSERT_TRUE( load( m, path, 10.0, &text, false ) );
	// Header: 22^3 voxels of 3 A, start 0, ORIGIN (-6.494, 13.381, -5.41).
	std::string const want = "ReadMrc> resolution: 10A\n"
	                         "ReadMrc> Atom mask: 3.2A\n"
	                         "ReadMrc> CA atom mask: 6A\n"
	                         "ReadMrc> Read density map'" + path + "'\n"
	                         "ReadMrc> extent: 22 x 22 x 22\n"
	                         "ReadMrc> origin: 0 x 0 x 0\n"
	                         "ReadMrc> altorigin: -6.494 x 13.381 x -5.41\n"
	                         "ReadMrc> grid: 22 x 22 x 22\n"
	                         "ReadMrc> celldim: 66 x 66 x 66\n"
	                         "ReadMrc> cellangles: 90 x 90 x 90\n"
	                         "ReadMrc> voxel vol: 27\n"
	                         "ReadMrc> grid width: 3\n"
	                         "ReadMrc> Real for check: -2.16467 x 4.46033 x -1.80333\n"
	                         "ReadMrc> Using ALTERNATE origin: -2 x 4 x -2\n"
	                         "ReadMrc> number of voxels : 10648\n";
	EXPECT_EQ( text, want );
}

TEST( FastRealMaps, PoseScoreOnEmd5168 )
{
	QUILT_REQUIRE_SHARED_DATA();
	FastDensityScore m;
	ASSERT_TRUE( load( m, quilt_test::shared_file( "single/emd_5168.map" ), 6.6 ) );
	// Heavy atoms of 3MFP (one chain with gaps, each closed by TER), per residue.
	std::vector< std::vector< double > > store;
	FastDensityScore::Model model;
	FastDensityScore::AtomNames names;
	{
		std::ifstream in( quilt_test::shared_file( "single/3MFP.pdb" ).c_str() );
		std::string line, lastRes;
		store.reserve( 5000 );
		while ( std::getline( in, line ) ) {
			if ( line.compare( 0, 4, "ATOM" ) != 0 || line.size() < 54 ) continue;
			std::string const res = line.substr( 22, 5 );
			if ( model.empty() || res != lastRes ) {
				model.emplace_back();
				names.emplace_back();
				lastRes = res;
			}
			store.push_back( { std::stod( line.substr( 30, 8 ) ), std::stod( line.substr( 38, 8 ) ), std::stod( line.substr( 46, 8 ) ) } );
			model.back().push_back( store.back().data() );
			std::string name = line.substr( 12, 4 );
			name.erase( 0, name.find_first_not_of( ' ' ) );
			name.erase( name.find_last_not_of( ' ' ) + 1 );
			names.back().push_back( name );
		}
	}
	ASSERT_GT( model.size(), 300u );
	double centre[ 3 ] = { 0, 0, 0 };
	for ( auto const& p : store )
		for ( int a = 0; a < 3; ++a ) centre[ a ] += p[ a ] / store.size();
	double x0[ 6 ] = { 0, 0, 0, 0, 0, 0 };
	double const s0 = m.getFastDensScore_6D( model, names, x0, centre, "CA" );
	// A copy scores the same, on the same cache.
	FastDensityScore copy( m );
	EXPECT_EQ( copy.getFastDensScore_6D( model, names, x0, centre, "CA" ), s0 );
	EXPECT_EQ( copy.fastCache(), m.fastCache() );
	// The true place outscores a 3 A shift.
	double x1[ 6 ] = { 3, 0, 0, 0, 0, 0 };
	EXPECT_GT( s0, m.getFastDensScore_6D( model, names, x1, centre, "CA" ) );
	// Gradient against central differences near the true place.
	double const xs[ 3 ][ 6 ] = { { 0.3, -0.2, 0.1, 0.02, -0.03, 0.01 }, { -0.5, 0.4, 0.2, -0.05, 0.02, 0.04 },
		{ 0.1, 0.1, -0.6, 0.03, 0.03, -0.02 } };
	for ( auto const& xr : xs ) {
		double x[ 6 ], g[ 6 ];
		std::copy( xr, xr + 6, x );
		m.dCCdx_fastRes_6D( model, names, x, g, centre, "CA" );
		double norm = 0.0;
		for ( double v : g ) norm = std::max( norm, std::fabs( v ) );
		for ( int k = 0; k < 6; ++k ) {
			double const fd = fast_test::pose_score_central_difference( m, model, names, x, centre, "CA", k );
			EXPECT_LE( std::fabs( g[ k ] - fd ), 1e-4 * std::max( std::fabs( fd ), 0.01 * norm ) ) << k;
		}
	}
}
