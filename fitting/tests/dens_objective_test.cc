// The density objective on a map simulated from a synthetic model: value,
// gradient against finite differences, and independence of two maps.
#include "fitting/DensScoreMultifunc.hh"

#include "core/Protein.hh"
#include "core/basic_fun_Quilt.hh"
#include "fitting/tests/synthetic_model.hh"
#include "testsupport/test_data.hh"
#include "tools/SimulatedMap.hh"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

// A map simulated from atoms at 6 A, loaded quietly.
bool load_simulated( std::vector<synth::Atom> const& atoms, std::string const& path, FastDensityScore& map )
{
	std::vector<SimAtom> sim;
	for ( synth::Atom const& a : atoms ) sim.push_back( { a.p[0], a.p[1], a.p[2], element_weight( a.name.substr( 0, 1 ) ) } );
	if ( !write_mrc( path, simulate_density( sim, 6.0, 1.5, 10.0 ) ) ) return false;
	testing::internal::CaptureStdout();
	bool const ok = map.readDensityMap( path, 6.0, 0.0, 0.0, true );
	testing::internal::GetCapturedStdout();
	return ok;
}

// Heavy-atom lists of the synthetic model, read the way the fit driver reads them.
struct HeavyModel {
	std::vector<std::vector<double*> > xyz;
	std::vector<std::vector<std::string> > names;
	double centre[3] = { 0, 0, 0 };
	~HeavyModel() { releaseVecVecT1D( xyz ); }
	void read( std::string const& path )
	{
		Protein p( path, false );
		for ( size_t i = 0; i < p.residues.size(); ++i ) {
			std::vector<double*> x;
			std::vector<std::string> n;
			p.getIthResidueHeavyAtomXYZ( (int)i, x, n );
			xyz.push_back( x );
			names.push_back( n );
		}
		double* c = getCenterPoint( xyz, names, "CA" );
		for ( int r = 0; r < 3; ++r ) centre[r] = c[r];
		delete[] c;
	}
};

class DensObjective : public testing::Test {
protected:
	void SetUp() override
	{
		atoms_ = synth::make_model();
		synth::write_pdb( dir_.file( "model.pdb" ), atoms_ );
		ASSERT_TRUE( load_simulated( atoms_, dir_.file( "map.mrc" ), map_ ) );
		model_.read( dir_.file( "model.pdb" ) );
		ASSERT_FALSE( model_.xyz.empty() );
	}
	quilt_test::ScratchDir dir_{ "densobj" };
	std::vector<synth::Atom> atoms_;
	FastDensityScore map_;
	HeavyModel model_;
};

TEST_F( DensObjective, ValueIsMinusTheWeightedScoreAndBestInPlace )
{
	DensScoreMultifunc f( 6, model_.xyz, model_.names, map_, 5000.0, model_.centre, false, "CA" );
	double x[6] = { 0, 0, 0, 0, 0, 0 };
	FastDensityScore copy( map_ );
	double const s = copy.getFastDensScore_6D( model_.xyz, model_.names, x, model_.centre, "CA" );
	EXPECT_GT( s, 0.0 );
	EXPECT_NEAR( f( x ), -5000.0 * s, 1e-9 * std::fabs( 5000.0 * s ) );
	// The model where the map was made from scores better than moved away.
	double const f0 = f( x );
	double shifted[6] = { 3.0, 0, 0, 0, 0, 0 };
	double turned[6] = { 0, 0, 0, 0.4, 0.3, 0 };
	EXPECT_LT( f0, f( shifted ) );
	EXPECT_LT( f0, f( turned ) );
	// x is not changed by an evaluation.
	EXPECT_EQ( shifted[0], 3.0 );
}

TEST_F( DensObjective, GradientMatchesCentralDifferences )
{
	DensScoreMultifunc f( 6, model_.xyz, model_.names, map_, 5000.0, model_.centre, false, "CA" );
	double const poses[3][6] = { { 0.7, -0.4, 1.1, 0.2, 0.3, -0.1 }, { -1.5, 2.0, 0.3, 1.0, 1.2, 2.5 },
		{ 0.1, 0.1, -0.2, 3.0, 0.5, 0.7 } };
	for ( auto const& pose : poses ) {
		double x[6], g[6];
		std::copy( pose, pose + 6, x );
		f.dfunc( x, g );
		for ( int i = 0; i < 6; ++i ) {
			double const h = i < 3 ? 1e-4 : 1e-5;
			double xp[6], xm[6];
			std::copy( x, x + 6, xp );
			std::copy( x, x + 6, xm );
			xp[i] += h;
			xm[i] -= h;
			double const fd = ( f( xp ) - f( xm ) ) / ( 2 * h );
			EXPECT_NEAR( g[i], fd, 1e-3 * std::max( 1.0, std::fabs( fd ) ) ) << "component " << i;
		}
	}
}

TEST_F( DensObjective, ValueWithoutGradientIsTheSameNumber )
{
	// The start-pose stage scores without the gradient work; the value must
	// be bit-identical to the one the minimiser sees, and a gradient asked
	// for after a value-only call must still be the gradient at that pose.
	// Selections of one or several elements, with one and with several B
	// bins (atoms then read different numbers of bins).
	for ( int bins : { 1, 4 } )
	for ( std::string const selection : { "CA", "backbone", "centroid" } ) {
	SCOPED_TRACE( selection + " " + std::to_string( bins ) );
	FastDensityScore map( map_ );
	map.nFastBins = bins;
	DensScoreMultifunc f( 6, model_.xyz, model_.names, map, 5000.0, model_.centre, false, selection );
	double const poses[3][6] = { { 0, 0, 0, 0, 0, 0 }, { 1.3, -0.7, 2.1, 0.4, 1.1, -2.0 }, { -3.0, 0.2, 0.9, 2.9, 0.3, 0.6 } };
	for ( auto const& p : poses ) {
		double x[6], g1[6], g2[6];
		std::copy( p, p + 6, x );
		double const v = f.value_only( x );
		f.dfunc( x, g1 );
		EXPECT_EQ( v, f( x ) );
		f.dfunc( x, g2 );
		for ( int k = 0; k < 6; ++k ) EXPECT_EQ( g1[k], g2[k] ) << k;
		// A value-only call at another pose must not leave a stale gradient.
		double y[6] = { x[0] + 0.5, x[1], x[2], x[3], x[4] + 0.2, x[5] };
		f( x );
		f.value_only( y );
		double gy[6], gy2[6];
		f.dfunc( y, gy );
		f( y );
		f.dfunc( y, gy2 );
		for ( int k = 0; k < 6; ++k ) EXPECT_EQ( gy[k], gy2[k] ) << k;
	}
	}
}

TEST_F( DensObjective, EachObjectiveScoresAgainstItsOwnMap )
{
	// A second map simulated from the model moved 5 A: an objective built on
	// it must not reuse the tables of the first map.
	double const t[3] = { 5.0, 0.0, 0.0 };
	std::vector<synth::Atom> other = synth::moved( atoms_, 0.0, 0.0, 0.0, t );
	FastDensityScore map2;
	ASSERT_TRUE( load_simulated( other, dir_.file( "map2.mrc" ), map2 ) );

	DensScoreMultifunc f1( 6, model_.xyz, model_.names, map_, 5000.0, model_.centre, false, "CA" );
	DensScoreMultifunc f2( 6, model_.xyz, model_.names, map2, 5000.0, model_.centre, false, "CA" );
	double at0[6] = { 0, 0, 0, 0, 0, 0 };
	double at5[6] = { 5.0, 0, 0, 0, 0, 0 };
	double const a = f1( at0 ); // builds the first map's tables first
	FastDensityScore fresh( map2 );
	double const want = -5000.0 * fresh.getFastDensScore_6D( model_.xyz, model_.names, at0, model_.centre, "CA" );
	EXPECT_DOUBLE_EQ( f2( at0 ), want );
	EXPECT_NE( f2( at0 ), a );
	// Each objective prefers the place its own map was made from.
	EXPECT_LT( f1( at0 ), f1( at5 ) );
	EXPECT_LT( f2( at5 ), f2( at0 ) );
}

TEST_F( DensObjective, DumpPrintsOnlyWithTheFlag )
{
	double x[6] = { 0.2, 0.1, 0.0, 0.1, 0.2, 0.3 };
	DensScoreMultifunc quiet( 6, model_.xyz, model_.names, map_, 5000.0, model_.centre, false, "CA" );
	testing::internal::CaptureStderr();
	quiet.dump( x, nullptr );
	EXPECT_EQ( testing::internal::GetCapturedStderr(), "" );
	DensScoreMultifunc loud( 6, model_.xyz, model_.names, map_, 5000.0, model_.centre, true, "CA" );
	testing::internal::CaptureStderr();
	loud.dump( x, nullptr );
	std::string const err = testing::internal::GetCapturedStderr();
	EXPECT_NE( err.find( "[deriv] score = " ), std::string::npos );
	EXPECT_NE( err.find( "[deriv] x:5" ), std::string::npos );
	EXPECT_EQ( x[0], 0.2 );
}

} // namespace
