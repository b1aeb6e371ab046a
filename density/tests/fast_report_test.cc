// Report measures of a model against a map: FSC, per-residue correlation
// and the voxel list taken from a resampled map.
#include "density/FastDensityScore.hh"
#include "density/tests/fast_test_util.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <unistd.h>

namespace {

// A model of 10 residues (N, CA, C, O, CB) and a map holding its
// calculated density; the map is loaded with resolution 0 and 1 A voxels.
class FastReport : public testing::Test {
protected:
	void SetUp() override
	{
		for ( int i = 0; i < 10; ++i ) {
			double const t = i * 100.0 * M_PI / 180.0;
			xyz_.emplace_back();
			names_.emplace_back();
			for ( int a = 0; a < 5; ++a ) {
				store_.push_back( { 16.0 + 2.3 * std::cos( t ) + 0.8 * std::cos( 2.1 * a ), 16.0 + 2.3 * std::sin( t ) + 0.8 * std::sin( 2.1 * a ),
					11.0 + 1.2 * i + 0.3 * a } );
				xyz_.back().push_back( store_.back().data() );
				names_.back().push_back( std::vector< std::string >{ "N", "CA", "C", "O", "CB" }[ a ] );
			}
		}
		// First a template map, then the calculated density written as a map.
		ASSERT_TRUE( fast_test::write_mrc( dir_.file( "t.mrc" ), fast_test::cubic_map( 32, 1.0, []( int, int, int ) { return 0.0; } ) ) );
		FastDensityScore t;
		load( t, dir_.file( "t.mrc" ) );
		std::vector< poseCoord > atoms;
		for ( std::size_t r = 0; r < xyz_.size(); ++r )
			for ( std::size_t a = 0; a < xyz_[ r ].size(); ++a ) {
				poseCoord p;
				p.x = xyz_[ r ][ a ][ 0 ];
				p.y = xyz_[ r ][ a ][ 1 ];
				p.z = xyz_[ r ][ a ][ 2 ];
				p.elt = names_[ r ][ a ];
				atoms.push_back( p );
			}
		farray::FArray3D< double > rho, mask;
		t.calcRhoC( atoms, rho, mask );
		ASSERT_TRUE( fast_test::write_mrc( dir_.file( "m.mrc" ),
			fast_test::cubic_map( 32, 1.0, [ & ]( int x, int y, int z ) { return rho( x + 1, y + 1, z + 1 ); } ) ) );
		load( map_, dir_.file( "m.mrc" ) );
	}
	static void load( FastDensityScore& m, std::string const& path )
	{
		testing::internal::CaptureStdout();
		ASSERT_TRUE( m.readDensityMap( path, 0.0, 0.0, 0.01, true ) );
		testing::internal::GetCapturedStdout();
	}
	quilt_test::ScratchDir dir_{ "fds_report" };
	std::vector< std::vector< double > > store_ = std::vector< std::vector< double > >();
	FastDensityScore::Model xyz_;
	FastDensityScore::AtomNames names_;
	FastDensityScore map_;
};

} // namespace

TEST_F( FastReport, FourierShellCorrelationOfTheSameModel )
{
	char cwd[ 4096 ];
	ASSERT_NE( getcwd( cwd, sizeof( cwd ) ), nullptr );
	ASSERT_EQ( chdir( dir_.path().c_str() ), 0 );
	testing::internal::CaptureStdout();
	double const fsc = map_.ReportFSC( xyz_, names_, 0.0 );
	std::string const out = testing::internal::GetCapturedStdout();
	std::ifstream in( "iFSC.txt" );
	int lines = 0;
	std::string line;
	while ( std::getline( in, line ) ) ++lines;
	ASSERT_EQ( chdir( cwd ), 0 );
	// Resolution 0 is forced to the grid's limit.
	EXPECT_NE( out.find( "Forcing min resolution to " ), std::string::npos );
	EXPECT_EQ( lines, 50 );
	EXPECT_NEAR( fsc, 1.0, 1e-5 );
	EXPECT_DOUBLE_EQ( map_.fscHighRes, 0.0 );
	// Shell bins: 50 shells, every frequency within the limits counted once.
	std::vector< double > centres;
	std::vector< int > counts;
	testing::internal::CaptureStdout();
	map_.getResolutionBins( 10, 0.1, 0.4, centres, counts, false );
	testing::internal::GetCapturedStdout();
	ASSERT_EQ( centres.size(), 10u );
	EXPECT_NEAR( centres[ 0 ], 0.1 + 0.015, 1e-12 );
	long total = 0;
	for ( int c : counts ) total += c;
	long want = 0;
	for ( int z = 0; z < 32; ++z )
		for ( int y = 0; y < 32; ++y )
			for ( int x = 0; x < 32; ++x ) {
				auto f = []( int i ) { return 2 * i <= 32 ? i : i - 32; };
				double const s = std::sqrt( std::pow( f( x ), 2 ) + std::pow( f( y ), 2 ) + std::pow( f( z ), 2 ) ) / 32.0;
				if ( s >= 0.1 && s < 0.4 ) ++want;
			}
	EXPECT_NEAR( double( total ), double( want ), 0.001 * want + 2 );
}

TEST_F( FastReport, PerResidueCorrelation )
{
	// The map holds the calculated density of the model: every residue fits.
	// (its Gaussians are wider than the map's, so not quite 1).
	for ( int r : { 0, 4, 9 } ) EXPECT_GT( map_.getRSCC_Res( r, xyz_, names_ ), 0.6 ) << r;
	// Moving one residue's atoms away lowers its correlation.
	double const before = map_.getRSCC_Res( 4, xyz_, names_ );
	auto moved = store_;
	FastDensityScore::Model m2 = xyz_;
	for ( std::size_t a = 0; a < 5; ++a ) {
		moved[ 20 + a ][ 0 ] += 2.5;
		m2[ 4 ][ a ] = moved[ 20 + a ].data();
	}
	EXPECT_LT( map_.getRSCC_Res( 4, m2, names_ ), before - 0.1 );
	// Out of range residues and empty models score 0.
	EXPECT_EQ( map_.getRSCC_Res( 10, xyz_, names_ ), 0.0 );
	EXPECT_EQ( map_.getRSCC_Res( 0, FastDensityScore::Model(), FastDensityScore::AtomNames() ), 0.0 );
}

TEST_F( FastReport, VoxelListFromAResampledMap )
{
	testing::internal::CaptureStdout();
	map_.computeDensParams( dir_.file( "m.mrc" ), 4.0, 2.0, 0.01, true );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_NE( out.find( "xyzvol_size: " ), std::string::npos );
	EXPECT_GT( map_.nDensPoints, 0 );
	// The coarser list has fewer voxels around the same centre.
	FastDensityScore fine;
	load( fine, dir_.file( "m.mrc" ) );
	EXPECT_LT( map_.nDensPoints, fine.nDensPoints );
	for ( int a = 0; a < 3; ++a ) EXPECT_NEAR( map_.densCenter[ a ], fine.densCenter[ a ], 2.0 );
}
