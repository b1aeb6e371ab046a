// The process-wide map of the fitting objective: objectives built without a
// map score against whatever map was installed last, a new map replaces the
// old one (two different maps fitted into one after the other in one
// process), installing the map held again builds no score tables, and
// objectives with a map of their own never look at the process-wide one.
#include "fitting/DensScoreMultifunc.hh"

#include "core/Protein.hh"
#include "core/basic_fun_Quilt.hh"
#include "fitting/FitModelIntoDensity.hh"
#include "fitting/Placer.hh"
#include "fitting/tests/synthetic_model.hh"
#include "testsupport/test_data.hh"
#include "tools/SimulatedMap.hh"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

std::vector<SimAtom> sim_atoms( std::vector<synth::Atom> const& atoms )
{
	std::vector<SimAtom> sim;
	for ( synth::Atom const& a : atoms ) sim.push_back( { a.p[0], a.p[1], a.p[2], element_weight( a.name.substr( 0, 1 ) ) } );
	return sim;
}

FastDensityScore load( std::string const& path )
{
	FastDensityScore map;
	testing::internal::CaptureStdout();
	bool const ok = map.readDensityMap( path, 6.0, 0.0, 0.0, true );
	testing::internal::GetCapturedStdout();
	EXPECT_TRUE( ok ) << path;
	return map;
}

std::vector<std::vector<double> > ca_of( std::vector<synth::Atom> const& atoms )
{
	std::vector<std::vector<double> > ca;
	for ( synth::Atom const& a : atoms )
		if ( a.name == "CA" ) ca.push_back( { a.p[0], a.p[1], a.p[2] } );
	return ca;
}

// The synthetic model as the fit driver reads it: heavy atoms per residue.
struct Model {
	std::vector<std::vector<double*> > xyz;
	std::vector<std::vector<std::string> > names;
	double centre[3] = { 0, 0, 0 };
	explicit Model( std::string const& path )
	{
		Protein p( path, false );
		for ( size_t i = 0; i < p.residues.size(); ++i ) {
			std::vector<double*> x;
			std::vector<std::string> n;
			p.getIthResidueHeavyAtomXYZ( (int)i, x, n );
			xyz.push_back( x );
			names.push_back( n );
		}
		set_centre();
	}
	~Model() { releaseVecVecT1D( xyz ); }
	void set_centre()
	{
		double* c = getCenterPoint( xyz, names, "CA" );
		std::copy( c, c + 3, centre );
		delete[] c;
	}
	// CA positions after the pose x about the centre.
	std::vector<std::vector<double> > ca_after( double* x )
	{
		std::vector<std::vector<double*> > moved = Rotation_translation_euler( xyz, x, centre );
		std::vector<std::vector<double> > ca;
		for ( size_t i = 0; i < moved.size(); ++i )
			for ( size_t j = 0; j < moved[i].size(); ++j )
				if ( names[i][j] == "CA" ) ca.push_back( { moved[i][j][0], moved[i][j][1], moved[i][j][2] } );
		releaseVecVecT1D( moved );
		return ca;
	}
};

class ObjectiveMapSlot : public testing::Test {
protected:
	void SetUp() override
	{
		model_ = synth::make_model();
		synth::write_pdb( dir_.file( "model.pdb" ), model_ );
		// Two true places, turned and shifted differently; a map of each.
		double const tA[3] = { 3.0, -2.0, 1.0 }, tB[3] = { -5.0, 6.0, 2.0 };
		truthA_ = synth::moved( model_, 0.4, 0.3, -0.5, tA );
		truthB_ = synth::moved( model_, -1.2, 1.0, 0.9, tB );
		ASSERT_TRUE( write_mrc( dir_.file( "a.mrc" ), simulate_density( sim_atoms( truthA_ ), 6.0, 1.5, 14.0 ) ) );
		ASSERT_TRUE( write_mrc( dir_.file( "b.mrc" ), simulate_density( sim_atoms( truthB_ ), 6.0, 1.5, 14.0 ) ) );
		mapA_ = load( dir_.file( "a.mrc" ) );
		mapB_ = load( dir_.file( "b.mrc" ) );
	}

	// A whole pose search whose objective has no map of its own (it scores
	// against the process-wide map); searchMap only supplies the search
	// points.  Returns the CA positions of the best pose.
	std::vector<std::vector<double> > fit_through_the_slot( FastDensityScore const& searchMap )
	{
		Model m( dir_.file( "model.pdb" ) );
		translate_to_densCenter( m.xyz, const_cast<double*>( searchMap.densCenter ) );
		m.set_centre();
		DensScoreMultifunc f( 6, m.xyz, m.names, 5000.0, m.centre, false, "CA" );
		EXPECT_FALSE( f.has_own_map() );
		Placer placer( (int)m.xyz.size(), m.centre, m.xyz, m.names, searchMap, "CA", "slot", dir_.path(), true, true );
		std::vector<std::pair<double, double*> > results;
		int generation = 0;
		testing::internal::CaptureStdout();
		bool const ok = placer.search( results, 1, generation, f );
		testing::internal::GetCapturedStdout();
		EXPECT_TRUE( ok );
		std::vector<std::vector<double> > ca;
		if ( !results.empty() ) ca = m.ca_after( results[0].second );
		for ( auto& r : results ) delete[] r.second;
		placer.memory_release();
		return ca;
	}

	quilt_test::ScratchDir dir_{ "objslot" };
	std::vector<synth::Atom> model_, truthA_, truthB_;
	FastDensityScore mapA_, mapB_;
};

TEST_F( ObjectiveMapSlot, EachFitLandsInTheMapInstalledBeforeIt )
{
	// Two different maps loaded in one process, one after the other: each
	// search through the process-wide map finds the model where that map
	// was made from, not where the first map was.
	getDensityMap( mapA_ );
	std::vector<std::vector<double> > const caA = fit_through_the_slot( mapA_ );
	EXPECT_LT( synth::ca_rmsd( caA, ca_of( truthA_ ) ), 1.0 );

	getDensityMap( mapB_ );
	std::vector<std::vector<double> > const caB = fit_through_the_slot( mapB_ );
	EXPECT_LT( synth::ca_rmsd( caB, ca_of( truthB_ ) ), 1.0 );
	EXPECT_GT( synth::ca_rmsd( caB, ca_of( truthA_ ) ), 5.0 );

	// And back: the first map is installed again, not kept out.
	getDensityMap( mapA_ );
	EXPECT_LT( synth::ca_rmsd( fit_through_the_slot( mapA_ ), ca_of( truthA_ ) ), 1.0 );
}

TEST_F( ObjectiveMapSlot, ObjectivesScoreTheMapTheyWereGivenOrTheInstalledOne )
{
	Model m( dir_.file( "model.pdb" ) );
	double x[6] = { 0.5, -0.3, 0.2, 0.1, 0.2, -0.1 };
	FastDensityScore freshA( mapA_ ), freshB( mapB_ );
	double const wantA = -5000.0 * freshA.getFastDensScore_6D( m.xyz, m.names, x, m.centre, "CA" );
	double const wantB = -5000.0 * freshB.getFastDensScore_6D( m.xyz, m.names, x, m.centre, "CA" );
	ASSERT_NE( wantA, wantB );

	DensScoreMultifunc ownA( 6, m.xyz, m.names, mapA_, 5000.0, m.centre, false, "CA" );
	DensScoreMultifunc ownB( 6, m.xyz, m.names, mapB_, 5000.0, m.centre, false, "CA" );
	DensScoreMultifunc shared( 6, m.xyz, m.names, 5000.0, m.centre, false, "CA" );
	EXPECT_TRUE( ownA.has_own_map() );

	getDensityMap( mapA_ );
	EXPECT_DOUBLE_EQ( shared( x ), wantA );
	EXPECT_DOUBLE_EQ( shared.value_only( x ), wantA );
	EXPECT_EQ( &shared.map(), &objectiveDensityMap() );
	EXPECT_DOUBLE_EQ( ownB( x ), wantB );

	getDensityMap( mapB_ );
	EXPECT_DOUBLE_EQ( shared( x ), wantB );
	EXPECT_DOUBLE_EQ( shared.value_only( x ), wantB );
	// The gradient follows the installed map as well.
	double g[6], gB[6];
	shared.dfunc( x, g );
	DensScoreMultifunc( 6, m.xyz, m.names, mapB_, 5000.0, m.centre, false, "CA" ).dfunc( x, gB );
	for ( int k = 0; k < 6; ++k ) EXPECT_DOUBLE_EQ( g[k], gB[k] ) << k;
	// Objectives with a map of their own keep it whatever is installed.
	EXPECT_DOUBLE_EQ( ownA( x ), wantA );
	EXPECT_DOUBLE_EQ( ownA.value_only( x ), wantA );
	EXPECT_NE( &ownA.map(), &objectiveDensityMap() );
}

TEST_F( ObjectiveMapSlot, AnotherOriginOrGridReplacesTheMapHeld )
{
	// The map of A again, its values unchanged but its box moved 3 A along x
	// (start index two voxels of 1.5 A further), and the same density on a
	// coarser grid.
	SimulatedMap sm = simulate_density( sim_atoms( truthA_ ), 6.0, 1.5, 14.0 );
	sm.start[0] += 2;
	ASSERT_TRUE( write_mrc( dir_.file( "a_moved.mrc" ), sm ) );
	ASSERT_TRUE( write_mrc( dir_.file( "a_coarse.mrc" ), simulate_density( sim_atoms( truthA_ ), 6.0, 2.0, 14.0 ) ) );
	FastDensityScore const moved = load( dir_.file( "a_moved.mrc" ) );
	FastDensityScore const coarse = load( dir_.file( "a_coarse.mrc" ) );

	// Scored: the model at truth A itself.
	synth::write_pdb( dir_.file( "truthA.pdb" ), truthA_ );
	Model t( dir_.file( "truthA.pdb" ) );
	DensScoreMultifunc f( 6, t.xyz, t.names, 5000.0, t.centre, false, "CA" );
	double at0[6] = { 0, 0, 0, 0, 0, 0 };
	double at3[6] = { 3.0, 0, 0, 0, 0, 0 };

	getDensityMap( mapA_ );
	double const inA = f( at0 );
	EXPECT_LT( inA, f( at3 ) );

	FastDensityScore& slot = getDensityMap( moved );
	EXPECT_EQ( &slot, &objectiveDensityMap() );
	for ( int k = 0; k < 3; ++k ) EXPECT_EQ( slot.originGrid[k], moved.originGrid[k] ) << k;
	// Now the density lies 3 A further along x.
	EXPECT_LT( f( at3 ), f( at0 ) );
	EXPECT_NE( f( at0 ), inA );
	FastDensityScore freshMoved( moved );
	EXPECT_DOUBLE_EQ( f( at0 ), -5000.0 * freshMoved.getFastDensScore_6D( t.xyz, t.names, at0, t.centre, "CA" ) );

	getDensityMap( coarse );
	for ( int k = 0; k < 3; ++k ) EXPECT_EQ( objectiveDensityMap().grid[k], coarse.grid[k] ) << k;
	EXPECT_DOUBLE_EQ( objectiveDensityMap().gridWidth, coarse.gridWidth );
	FastDensityScore freshCoarse( coarse );
	EXPECT_DOUBLE_EQ( f( at0 ), -5000.0 * freshCoarse.getFastDensScore_6D( t.xyz, t.names, at0, t.centre, "CA" ) );
	EXPECT_LT( f( at0 ), f( at3 ) );
}

TEST_F( ObjectiveMapSlot, InstallingTheMapHeldBuildsNoTables )
{
	Model m( dir_.file( "model.pdb" ) );
	double x[6] = { 0.2, 0.1, -0.3, 0.05, 0.1, 0.0 };
	// A copy taken before any table exists.
	FastDensityScore const early( mapA_ );
	ASSERT_FALSE( early.fastCache() );
	DensScoreMultifunc f( 6, m.xyz, m.names, 5000.0, m.centre, false, "CA" );

	FastDensityScore& slot = getDensityMap( mapA_ );
	double const v = f( x );
	auto const tables = objectiveDensityMap().fastCache();
	ASSERT_TRUE( tables );
	// The tables belong to the map, not to the slot: the original and the
	// early copy see them.
	EXPECT_EQ( mapA_.fastCache(), tables );
	EXPECT_EQ( early.fastCache(), tables );

	EXPECT_EQ( &getDensityMap( early ), &slot );
	EXPECT_EQ( slot.fastCache(), tables );
	EXPECT_DOUBLE_EQ( f( x ), v );
	EXPECT_EQ( slot.fastCache(), tables );
	getDensityMap( mapA_ );
	getDensityMap( slot );
	EXPECT_EQ( slot.fastCache(), tables );
	EXPECT_DOUBLE_EQ( f( x ), v );

	// Switching to another map and back costs no table building for the
	// first map either.
	getDensityMap( mapB_ );
	double const vB = f( x );
	auto const tablesB = slot.fastCache();
	EXPECT_NE( tablesB, tables );
	getDensityMap( mapA_ );
	EXPECT_EQ( slot.fastCache(), tables );
	EXPECT_DOUBLE_EQ( f( x ), v );
	getDensityMap( mapB_ );
	EXPECT_EQ( slot.fastCache(), tablesB );
	EXPECT_DOUBLE_EQ( f( x ), vB );
}

TEST( ObjectiveMapSlotEmpty, UnloadedMapScoresNothing )
{
	// A map that failed to load replaces the slot too: an objective then
	// scores nothing rather than a map installed earlier.
	std::vector<std::vector<double*> > model = { { new double[3]{ 1.0, 2.0, 3.0 } } };
	std::vector<std::vector<std::string> > names = { { "CA" } };
	double centre[3] = { 1.0, 2.0, 3.0 };
	DensScoreMultifunc f( 6, model, names, 5000.0, centre, false, "CA" );
	getDensityMap( FastDensityScore() );
	EXPECT_FALSE( objectiveDensityMap().isLoaded );
	double x[6] = { 0, 0, 0, 0, 0, 0 };
	testing::internal::CaptureStdout();
	double const v = f( x );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_EQ( v, 0.0 );
	EXPECT_NE( out.find( "no map is loaded" ), std::string::npos );
	releaseVecVecT1D( model );
}

} // namespace
