// The density of accepted chains blanked in unit matching's score map: on its
// own (every voxel within the radius of an atom becomes 0, every other voxel
// keeps its value, other copies of the map are untouched) and through unit
// matching with stand-in programs, where a later chain's candidate lying on
// an accepted chain's place must lose to its candidate on its own density.
#include "apps/quilter/CandidateEvaluation.hh"
#include "apps/quilter/UnitMatching.hh"
#include "quilter_test_util.hh"

#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace quilter_test;
namespace fs = std::filesystem;

namespace {

// A map of value 1 everywhere: 24^3 voxels of 1 A, first voxel at the
// origin, so voxel (i, j, k) lies at (i, j, k) A.
FastDensityScore flat_map( quilt_test::ScratchDir const& dir )
{
	SimulatedMap m;
	for ( int a = 0; a < 3; ++a ) m.n[ a ] = 24;
	m.voxel = 1.0;
	m.data.assign( 24 * 24 * 24, 1.0f );
	EXPECT_TRUE( write_mrc( dir.file( "flat.mrc" ), m ) );
	return load_map( dir.file( "flat.mrc" ) );
}

double value_at( FastDensityScore const& map, int i, int j, int k ) { return map.density()( i + 1, j + 1, k + 1 ); }

double distance( Point const& p, int i, int j, int k )
{
	return std::sqrt( ( i - p.x ) * ( i - p.x ) + ( j - p.y ) * ( j - p.y ) + ( k - p.z ) * ( k - p.z ) );
}

} // namespace

TEST( DensityBlanking, VoxelsWithinTheRadiusOfAnAtomBecomeZeroAndNoOthers )
{
	quilt_test::ScratchDir dir( "quilt blank" );
	FastDensityScore map = flat_map( dir );
	ASSERT_TRUE( map.isLoaded );
	FastDensityScore const untouched = map;
	// Two atoms off the grid points, so that no voxel lies at exactly the
	// radius.
	std::vector< Point > const atoms = { { 11.3, 12.6, 10.2 }, { 15.45, 8.7, 13.9 } };
	write_chain( dir.file( "model.pdb" ), atoms, 'A' );
	for ( double radius : { 3.0, 4.0 } ) {
		SCOPED_TRACE( radius );
		FastDensityScore blanked = map;
		blankModelDensity( blanked, dir.file( "model.pdb" ), radius );
		int zeros = 0, expectedZeros = 0;
		for ( int k = 0; k < 24; ++k )
			for ( int j = 0; j < 24; ++j )
				for ( int i = 0; i < 24; ++i ) {
					bool const within = distance( atoms[ 0 ], i, j, k ) <= radius || distance( atoms[ 1 ], i, j, k ) <= radius;
					expectedZeros += within;
					zeros += value_at( blanked, i, j, k ) == 0.0;
					ASSERT_EQ( value_at( blanked, i, j, k ), within ? 0.0 : 1.0 ) << i << " " << j << " " << k;
				}
		EXPECT_EQ( zeros, expectedZeros );
		// Along x from the first atom: the last voxel inside the radius is 0,
		// the next one, a voxel further, keeps its density.
		int const inside = static_cast< int >( std::floor( atoms[ 0 ].x + radius ) );
		EXPECT_EQ( value_at( blanked, inside, 13, 10 ), 0.0 );
		EXPECT_EQ( value_at( blanked, inside + 1, 13, 10 ), 1.0 );
	}
	// Only the copy that was blanked changed.
	for ( int k = 0; k < 24; ++k )
		for ( int j = 0; j < 24; ++j )
			for ( int i = 0; i < 24; ++i ) {
				ASSERT_EQ( value_at( map, i, j, k ), 1.0 );
				ASSERT_EQ( value_at( untouched, i, j, k ), 1.0 );
			}
}

TEST( DensityBlanking, UnloadedMapIsLeftAlone )
{
	quilt_test::ScratchDir dir( "quilt blank" );
	write_chain( dir.file( "model.pdb" ), { { 1.0, 2.0, 3.0 } }, 'A' );
	FastDensityScore empty;
	blankModelDensity( empty, dir.file( "model.pdb" ), 4.0 );
	EXPECT_FALSE( empty.isLoaded );
}

TEST( DensityBlanking, LaterChainDoesNotTakeTheDensityOfAnAcceptedChain )
{
	std::string const cwd = fs::current_path().string();
	quilt_test::ScratchDir data( "quilt blank data" );
	quilt_test::ScratchDir bin( "quilt blank bin" );
	std::vector< std::string > const chains = { data.file( "chain1_A.pdb" ), data.file( "chain2_B.pdb" ) };
	write_chain( chains[ 0 ], helix( 30, 0, 0, 0 ), 'A' );
	write_chain( chains[ 1 ], helix( 24, 13, 0, 4, 1.0 ), 'B' );
	std::string const mapPath = data.file( "map.mrc" );
	ASSERT_TRUE( simulate_map( chains, mapPath ) );
	FastDensityScore const map = load_map( mapPath );

	// Chain 2's candidates: first one lying exactly on chain 1's first 24
	// residues, then one 1 A beside chain 2's own place.
	std::string const onChain1 = data.file( "on_chain1.pdb" ), beside = data.file( "beside.pdb" );
	write_chain( onChain1, helix( 24, 0, 0, 0 ), 'B' );
	write_chain( beside, helix( 24, 14, 0, 4, 1.0 ), 'B' );
	// The candidate on chain 1 fits the whole map better; only with chain
	// 1's density gone does the other one win.
	testing::internal::CaptureStdout();
	double const onWhole = EvaluateModel( onChain1, map, true, false );
	double const besideWhole = EvaluateModel( beside, map, true, false );
	testing::internal::GetCapturedStdout();
	ASSERT_GT( onWhole, besideWhole );

	write_script( bin.file( "Rasterseek" ), "case \"$3\" in chain2_B*) cp '" + onChain1 + "' \"$3_001.pdb\"; cp '" +
	                                            beside + "' \"$3_002.pdb\";;\n*) cp \"$2\" \"$3_001.pdb\";; esac\n" );
	write_script( bin.file( "lobecut" ), "exit 0\n" );  // no domains
	std::string const work = data.file( "match_rmv_test" );
	fs::create_directory( work );
	std::vector< std::vector< std::string > > fit;
	std::vector< int > counts;
	int marks[ 2 ] = { 0, 0 };
	int lbfgs = 0;
	testing::internal::CaptureStdout();
	UnitMatching_lb_ft( work, chains, bin.path() + "/", mapPath, 6.0, map, fit, counts, marks, lbfgs, 1, 5, 20, true,
		false, false, false, false, 0.0, 0.0, 0.3, "CA" );
	std::string const out = testing::internal::GetCapturedStdout();
	fs::current_path( cwd );
	ASSERT_EQ( fit.size(), 2u ) << out;
	EXPECT_EQ( fit[ 0 ][ 0 ], work + "/chain1_A_001.pdb" );
	EXPECT_EQ( fit[ 1 ][ 0 ], work + "/chain2_B_002.pdb" ) << out;
	EXPECT_NE( out.find( "density_map_path_new: " + work + "/map_new_chain1_A.mrc" ), std::string::npos );
}
