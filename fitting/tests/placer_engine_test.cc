// The pose search engine: Euler grid, translation search points, and the
// search driven by a stand-in objective whose minimum is known.
#include "fitting/Placer.hh"

#include "core/basic_fun_Quilt.hh"
#include "fitting/tests/synthetic_model.hh"
#include "testsupport/test_data.hh"
#include "tools/SimulatedMap.hh"

#include <gtest/gtest.h>

#include <cmath>

namespace {

double const kPi = 3.141592653589793;

// A bowl in pose space around a target pose, negative near it (kept poses
// start at 0.0, so only negative values are taken).
class Bowl : public Multifunc {
public:
	explicit Bowl( double const* target ) { std::copy( target, target + 6, t_ ); }
	double operator()( double* x ) const override
	{
		++calls;
		double s = 0.0;
		for ( int i = 0; i < 6; ++i ) s += w_[i] * ( x[i] - t_[i] ) * ( x[i] - t_[i] );
		return s - 1000.0;
	}
	void dfunc( double* x, double* g ) const override
	{
		for ( int i = 0; i < 6; ++i ) g[i] = 2.0 * w_[i] * ( x[i] - t_[i] );
	}
	double t_[6];
	double w_[6] = { 10.0, 10.0, 10.0, 200.0, 200.0, 200.0 };
	mutable long calls = 0;
};

class PlacerEngine : public testing::Test {
protected:
	void SetUp() override
	{
		std::vector<synth::Atom> atoms = synth::make_model();
		std::vector<SimAtom> sim;
		for ( synth::Atom const& a : atoms ) sim.push_back( { a.p[0], a.p[1], a.p[2], 6.0 } );
		ASSERT_TRUE( write_mrc( dir_.file( "map.mrc" ), simulate_density( sim, 6.0, 2.0, 14.0 ) ) );
		testing::internal::CaptureStdout();
		ASSERT_TRUE( map_.readDensityMap( dir_.file( "map.mrc" ), 6.0, 0.0, 0.0, true ) );
		testing::internal::GetCapturedStdout();
		// One CA per residue, as the search sees the model.
		int res = 0;
		for ( synth::Atom const& a : atoms ) {
			if ( a.name != "CA" ) continue;
			model_.push_back( { new double[3]{ a.p[0], a.p[1], a.p[2] } } );
			names_.push_back( { "CA" } );
			++res;
		}
		n_ = res;
		double* c = getCenterPoint( model_, names_, "CA" );
		std::copy( c, c + 3, centre_ );
		delete[] c;
	}
	void TearDown() override { releaseVecVecT1D( model_ ); }

	Placer make( bool quiet = true )
	{
		return Placer( n_, centre_, model_, names_, map_, "CA", "synthetic", dir_.path(), true, quiet );
	}

	quilt_test::ScratchDir dir_{ "placer" };
	FastDensityScore map_;
	std::vector<std::vector<double*> > model_;
	std::vector<std::vector<std::string> > names_;
	double centre_[3];
	int n_ = 0;
};

TEST_F( PlacerEngine, EulerGridHas552TriplesPsiOutermost )
{
	Placer p = make();
	p.select_initial_euler_angles();
	auto const& e = p.euler_angles();
	ASSERT_EQ( e.size(), 552u );
	// Per psi: theta 0, 30, ..., 180 with 1, 6, 10, 12, 10, 6, 1 phi values.
	int const counts[7] = { 1, 6, 10, 12, 10, 6, 1 };
	size_t k = 0;
	for ( int psi = 0; psi < 12; ++psi )
		for ( int th = 0; th < 7; ++th )
			for ( int ph = 0; ph < counts[th]; ++ph, ++k ) {
				EXPECT_NEAR( e[k][2], psi * kPi / 6, 1e-12 );
				EXPECT_NEAR( e[k][1], th * kPi / 6, 1e-12 );
				EXPECT_NEAR( e[k][0], ph * 2 * kPi / counts[th], 1e-9 );
			}
	p.memory_release();
}

TEST_F( PlacerEngine, SearchPointsAreSpacedInsideTheExtent )
{
	Placer p = make();
	p.select_inital_points();
	auto const& pts = p.search_points();
	ASSERT_GE( pts.size(), 1u );
	EXPECT_EQ( pts[0][0], 0.0 );
	EXPECT_EQ( pts[0][1], 0.0 );
	EXPECT_EQ( pts[0][2], 0.0 );
	double const Rmodel = 2.849 * std::pow( (double)n_, 0.319 );
	double const spacing = std::max( 0.85 * Rmodel, 5.0 );
	double const extent = std::min( std::max( ( map_.densRadius - Rmodel ) * 0.8, 5.0 ), map_.densRadius );
	for ( size_t i = 0; i < pts.size(); ++i ) {
		EXPECT_LT( std::sqrt( pts[i][0] * pts[i][0] + pts[i][1] * pts[i][1] + pts[i][2] * pts[i][2] ), i ? extent : 1.0 );
		for ( size_t j = 0; j < i; ++j ) {
			double const d = std::sqrt( std::pow( pts[i][0] - pts[j][0], 2 ) + std::pow( pts[i][1] - pts[j][1], 2 ) +
				std::pow( pts[i][2] - pts[j][2], 2 ) );
			EXPECT_GE( d, spacing ) << i << " " << j;
		}
	}
	// The same list as the rule applied voxel by voxel against every
	// accepted position.
	double const* c = map_.densCenter;
	std::vector<std::vector<double> > want = { { 0.0, 0.0, 0.0 } }, acc = { { c[0], c[1], c[2] } };
	auto dist = []( double const* a, double const* b ) {
		return std::sqrt( ( a[0] - b[0] ) * ( a[0] - b[0] ) + ( a[1] - b[1] ) * ( a[1] - b[1] ) + ( a[2] - b[2] ) * ( a[2] - b[2] ) );
	};
	for ( int v = 0; v < map_.nDensPoints; ++v ) {
		double const* q = map_.densPoints[v];
		bool near = false;
		for ( auto const& a : acc ) near = near || dist( q, a.data() ) < spacing;
		if ( near || !( map_.densValues[v] > 0.0 ) || !( dist( q, c ) < extent ) ) continue;
		want.push_back( { q[0] - c[0], q[1] - c[1], q[2] - c[2] } );
		acc.push_back( { q[0], q[1], q[2] } );
	}
	EXPECT_GT( want.size(), 3u );
	ASSERT_EQ( pts.size(), want.size() );
	for ( size_t i = 0; i < pts.size(); ++i )
		for ( int r = 0; r < 3; ++r ) EXPECT_EQ( pts[i][r], want[i][r] ) << i;
	p.memory_release();
}

TEST_F( PlacerEngine, SearchRefinesToTheKnownMinimumAndKeepsPosesSorted )
{
	// Target near the map centre with an orientation between grid points.
	double const target[6] = { 1.5, -2.0, 0.5, 0.5, 1.0, 2.0 };
	Bowl bowl( target );
	Placer p = make();
	std::vector<std::pair<double, double*> > results;
	int generation = -1;
	ASSERT_TRUE( p.search( results, 3, generation, bowl ) );
	ASSERT_EQ( results.size(), 3u );
	for ( size_t i = 1; i < results.size(); ++i ) EXPECT_LE( results[0].first, results[i].first );
	EXPECT_NEAR( results[0].first, -1000.0, 1e-2 );
	for ( int i = 0; i < 6; ++i ) EXPECT_NEAR( results[0].second[i], target[i], 0.02 ) << i;
	EXPECT_GE( generation, 0 );
	// Every start pose is the best grid orientation of its search point.
	size_t const P = p.search_points().size();
	EXPECT_EQ( p.start_vectors().size(), P );
	EXPECT_GE( bowl.calls, (long)( P * 552 ) );
	for ( auto& r : results ) delete[] r.second;
	p.memory_release();
}

TEST_F( PlacerEngine, PosesThatScoreNothingAreNotReturned )
{
	// Refined values are never below 0.0 here, so no slot is filled: the
	// search returns no pose rather than unsearched zero poses that a caller
	// would write out as fits.
	double const target[6] = { 0, 0, 0, 0.5, 0.5, 0.5 };
	Bowl bowl( target );
	struct Positive : Multifunc {
		Bowl const* b;
		double operator()( double* x ) const override { return ( *b )( x ) + 2000.0; }
		void dfunc( double* x, double* g ) const override { b->dfunc( x, g ); }
	} positive;
	positive.b = &bowl;
	Placer p = make();
	std::vector<std::pair<double, double*> > results;
	int generation = 7;
	ASSERT_TRUE( p.search( results, 2, generation, positive ) );
	EXPECT_TRUE( results.empty() );
	EXPECT_FALSE( p.refined_poses().empty() );
	for ( auto& r : results ) delete[] r.second;
	p.memory_release();
}

TEST_F( PlacerEngine, HugePoseCountIsBoundedByTheRefinements )
{
	// -nm far beyond the poses the search makes: no more entries than
	// refinements, each a refined pose (never the zero pose), and no work
	// that grows with nm (a million slots scanned per refinement would show
	// as minutes here).
	double const target[6] = { 1.5, -2.0, 0.5, 0.5, 1.0, 2.0 };
	Bowl bowl( target );
	Placer p = make();
	std::vector<std::pair<double, double*> > results;
	int generation = -1;
	ASSERT_TRUE( p.search( results, 1000000, generation, bowl ) );
	size_t const refinements = p.refined_poses().size();
	ASSERT_GT( refinements, 0u );
	EXPECT_LE( results.size(), refinements );
	EXPECT_GE( results.size(), 1u );
	for ( auto& r : results ) {
		EXPECT_LT( r.first, -0.1 );
		delete[] r.second;
	}
	p.memory_release();
}

TEST_F( PlacerEngine, FewerThanOnePoseIsRefused )
{
	Placer p = make();
	std::vector<std::pair<double, double*> > results;
	int generation = 0;
	testing::internal::CaptureStdout();
	EXPECT_FALSE( p.run( results, centre_, 0, generation ) );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_NE( out.find( "Error!" ), std::string::npos );
	EXPECT_TRUE( results.empty() );
}

TEST_F( PlacerEngine, ProgressLinesFollowTheQuietFlag )
{
	double const target[6] = { 0, 0, 0, 0.3, 0.3, 0.3 };
	Bowl bowl( target );
	for ( bool quiet : { true, false } ) {
		Placer p = make( quiet );
		std::vector<std::pair<double, double*> > results;
		int generation = 0;
		testing::internal::CaptureStdout();
		p.search( results, 1, generation, bowl );
		std::string const out = testing::internal::GetCapturedStdout();
		EXPECT_EQ( out.find( "Placer> Search extent: " ) != std::string::npos, !quiet );
		EXPECT_EQ( out.find( "Placer> The final best density score " ) != std::string::npos, !quiet );
		for ( auto& r : results ) delete[] r.second;
		p.memory_release();
	}
}

TEST( SimilarOrientation, OneDegreeThreshold )
{
	double a[6] = { 0, 0, 0, 0.3, 0.8, -1.1 };
	double b[6] = { 0, 0, 0, 0.3, 0.8, -1.1 };
	EXPECT_FALSE( similar_orientation( a, b ) );
	b[5] += 0.5 * kPi / 180;
	EXPECT_FALSE( similar_orientation( a, b ) );
	b[5] += 1.5 * kPi / 180;
	EXPECT_TRUE( similar_orientation( a, b ) );
	// The same rotation written with other angles is not different.
	double c[6] = { 0, 0, 0, 0.0, 0.0, 1.0 };
	double d[6] = { 0, 0, 0, 1.0, 0.0, 0.0 };
	EXPECT_FALSE( similar_orientation( c, d ) );
}

} // namespace
