// Rasterseek's refinement batches and the ranking of their poses, fed with
// hand-made peaks so that the batches are known: the first batch refines
// into one pose only, and a second batch must supply the rest.
#include "apps/siblings/rasterseek_internal.hh"
#include "apps/siblings/rasterseek_search.hh"
#include "fitting/tests/synthetic_model.hh"
#include "testsupport/test_data.hh"
#include "tools/SimulatedMap.hh"

#include <gtest/gtest.h>

#include <cmath>

using namespace rasterseek;
using namespace rasterseek::detail;

namespace {

class RasterseekRanking : public testing::Test {
protected:
	void SetUp() override
	{
		std::vector< SimAtom > sim;
		for ( synth::Atom const& a : synth::make_model() ) {
			poseCoord p;
			p.x = a.p[ 0 ];
			p.y = a.p[ 1 ];
			p.z = a.p[ 2 ];
			p.elt = a.name;
			atoms.push_back( p );
			sim.push_back( SimAtom{ p.x, p.y, p.z, detail::element_weight( p.elt ) } );
		}
		ASSERT_TRUE( prepare_model( atoms, model ) );
		SimulatedMap const m = simulate_density( sim, 8.0, 2.0, 12.0 );
		ASSERT_TRUE( write_mrc( dir.file( "map.mrc" ), m ) );
		ASSERT_TRUE( map.readDensityMap( dir.file( "map.mrc" ), 8.0, 0.0, 0.0, true ) );
		// Peaks name places in voxels of this grid: 1 A voxels from the origin,
		// so that a peak's cell is the model centre's place in Angstrom.
		for ( int a = 0; a < 3; ++a ) grid.spacing[ a ] = 1.0;
	}

	// A peak that puts the model centre at the true centre + shift, turned
	// by rotations[rotation].
	void add_peak( int rotation, double dx, double dy, double dz )
	{
		Peak p;
		p.score = 1.0 - 0.001 * double( peaks.size() ); // the given order is the search's
		p.rotation = rotation;
		double const d[ 3 ] = { dx, dy, dz };
		for ( int a = 0; a < 3; ++a ) p.cell[ a ] = model.centre[ a ] + d[ a ];
		peaks.push_back( p );
	}

	double distance_to_truth( Candidate const& c ) const
	{
		return pose_rmsd( model, rotations[ 0 ], model.centre, c.rot, c.centre );
	}

	quilt_test::ScratchDir dir{ "rsrank" };
	std::vector< poseCoord > atoms;
	Model model;
	FastDensityScore map;
	SearchGrid grid;
	std::vector< Rotation > rotations;
	std::vector< Peak > peaks;
};

} // namespace

// Catches a ranking that is not rebuilt from scratch after a later batch of
// refinements (the first batch's picks kept and the new ones appended: the
// best pose twice), a ranking taken in batch order instead of by score, and
// filler poses put among the distinct ones.  The first batch (eight starts
// 1.6 A round the true pose) refines into the true pose alone; four poses
// are asked for, so a second batch runs: poses far outside the map (which
// stay where they are, correlation 0), then the model turned at its true
// place (local optima of some correlation), and more far poses in reserve.
TEST_F( RasterseekRanking, SecondBatchRanksDistinctPosesBestFirst )
{
	double const z[ 3 ] = { 0.0, 0.0, 1.0 }, x[ 3 ] = { 1.0, 0.0, 0.0 }, y[ 3 ] = { 0.0, 1.0, 0.0 };
	double const id[ 3 ] = { 1.0, 0.0, 0.0 };
	rotations = { axis_angle( id, 0.0 ), axis_angle( x, M_PI / 2 ), axis_angle( y, M_PI / 2 ), axis_angle( z, M_PI / 2 ),
		axis_angle( x, M_PI ), axis_angle( y, M_PI ) };
	for ( int i = 0; i < 8; ++i ) add_peak( 0, i & 1 ? 0.92 : -0.92, i & 2 ? 0.92 : -0.92, i & 4 ? 0.92 : -0.92 );
	add_peak( 0, 300.0, 0.0, 0.0 );
	add_peak( 0, 0.0, 300.0, 0.0 );
	for ( int r = 1; r < 6; ++r ) add_peak( r, 0.0, 0.0, 0.0 );
	for ( int i = 0; i < 10; ++i ) add_peak( 0, -300.0, 0.0, 20.0 * i );

	Tuning tune;
	tune.refineCount = 8;
	int const count = 4;
	std::vector< Candidate > const ranked = refine_and_rank( map, model, grid, rotations, peaks, tune, 1.8, count, 2 );
	ASSERT_EQ( ranked.size(), std::size_t( count ) );

	// The true pose comes first, and it alone of the results lies near it:
	// the first batch gave nothing else, so the rest come from later ones.
	EXPECT_LT( distance_to_truth( ranked[ 0 ] ), 0.5 );
	EXPECT_GT( ranked[ 0 ].score, 0.9 );
	for ( int k = 1; k < count; ++k ) EXPECT_GT( distance_to_truth( ranked[ k ] ), 5.0 ) << k;
	for ( int k = 0; k < count; ++k ) {
		// Distinct poses, best first; the score is the correlation of the pose
		// returned.
		for ( int j = k + 1; j < count; ++j )
			EXPECT_GE( pose_rmsd( model, ranked[ k ].rot, ranked[ k ].centre, ranked[ j ].rot, ranked[ j ].centre ),
				tune.distinctRmsd )
				<< k << " " << j;
		if ( k > 0 ) {
			EXPECT_GE( ranked[ k - 1 ].score, ranked[ k ].score ) << k;
		}
		EXPECT_NEAR( ranked[ k ].score, footprint_correlation( map, model, ranked[ k ], 1.8, tune.maskFraction ), 1e-12 ) << k;
	}
	// The turned models find some density at the true place, the far poses
	// none: the second batch's poses outrank the far ones it refined first.
	EXPECT_GT( ranked[ count - 1 ].score, 0.05 );
}

// Catches the filling up going wrong: a map that offers fewer distinct poses
// than asked for still gives as many results, the distinct ones first (best
// first), then the best of the rest; none is lost or doubled.
TEST_F( RasterseekRanking, FewerDistinctPosesThanAskedAreFilledUp )
{
	double const id[ 3 ] = { 1.0, 0.0, 0.0 };
	rotations = { axis_angle( id, 0.0 ) };
	for ( int i = 0; i < 8; ++i ) add_peak( 0, i & 1 ? 0.92 : -0.92, i & 2 ? 0.92 : -0.92, i & 4 ? 0.92 : -0.92 );
	add_peak( 0, 300.0, 0.0, 0.0 );
	Tuning tune;
	tune.refineCount = 8;
	std::vector< Candidate > const ranked = refine_and_rank( map, model, grid, rotations, peaks, tune, 1.8, 4, 1 );
	// Two distinct poses (the true one and the far one), then two of the
	// other refinements of the true pose.
	ASSERT_EQ( ranked.size(), 4u );
	EXPECT_LT( distance_to_truth( ranked[ 0 ] ), 0.5 );
	EXPECT_NEAR( ranked[ 1 ].centre[ 0 ], model.centre[ 0 ] + 300.0, 1e-9 );
	EXPECT_EQ( ranked[ 1 ].score, 0.0 );
	for ( int k = 2; k < 4; ++k ) {
		EXPECT_LT( distance_to_truth( ranked[ k ] ), 0.5 ) << k;
		EXPECT_GE( ranked[ 0 ].score, ranked[ k ].score ) << k;
		for ( int j = 0; j < k; ++j )
			EXPECT_FALSE( ranked[ j ].centre[ 0 ] == ranked[ k ].centre[ 0 ] && ranked[ j ].centre[ 1 ] == ranked[ k ].centre[ 1 ]
			              && ranked[ j ].centre[ 2 ] == ranked[ k ].centre[ 2 ] )
				<< "result " << k << " repeats result " << j;
	}
	EXPECT_GE( ranked[ 2 ].score, ranked[ 3 ].score );
}
