// The fast density score: its smoothed-map cache against a hand-computed
// convolution, copies sharing the cache, the CA score and the 6-D pose
// score with its gradient against central differences.
#include "density/FastDensityScore.hh"
#include "density/tests/fast_test_util.hh"
#include "numerics/spline.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

using fast_test::write_mrc;

namespace {

bool load_quiet( FastDensityScore& m, std::string const& path, double reso = 0.0 )
{
	testing::internal::CaptureStdout();
	bool const ok = m.readDensityMap( path, reso, 0.0, 0.0, true );
	testing::internal::GetCapturedStdout();
	return ok;
}

// A heavy-atom model of n residues along a helix, with the atom names of a
// residue; coordinates owned by the struct.
struct TestModel {
	std::vector< std::vector< double > > store;
	FastDensityScore::Model xyz;
	FastDensityScore::AtomNames names;
	TestModel( int n, double cx, double cy, double cz, std::vector< std::string > const& atomNames = { "N", "CA", "C", "O", "CB" } )
	{
		store.reserve( n * atomNames.size() );
		for ( int i = 0; i < n; ++i ) {
			double const t = i * 100.0 * M_PI / 180.0;
			double const base[ 3 ] = { cx + 2.3 * std::cos( t ), cy + 2.3 * std::sin( t ), cz + 1.5 * ( i - n / 2.0 ) };
			xyz.emplace_back();
			names.emplace_back();
			for ( std::size_t a = 0; a < atomNames.size(); ++a ) {
				store.push_back( { base[ 0 ] + 0.9 * std::cos( 1.3 * a ), base[ 1 ] + 0.9 * std::sin( 1.7 * a ), base[ 2 ] + 0.4 * a } );
				xyz.back().push_back( store.back().data() );
				names.back().push_back( atomNames[ a ] );
			}
		}
	}
};

// A smooth map: Gaussians at the atoms of a model.
fast_test::MrcSpec blob_map( int n, double w, TestModel const& m )
{
	return fast_test::cubic_map( n, w, [ & ]( int x, int y, int z ) {
		double s = 0.0;
		for ( auto const& r : m.xyz )
			for ( double const* p : r ) {
				double const d2 = std::pow( x * w - p[ 0 ], 2 ) + std::pow( y * w - p[ 1 ], 2 ) + std::pow( z * w - p[ 2 ], 2 );
				s += std::exp( -0.3 * d2 );
			}
		return s;
	} );
}

class FastScore : public testing::Test {
protected:
	void SetUp() override
	{
		ASSERT_TRUE( write_mrc( dir_.file( "blob.mrc" ), blob_map( 24, 1.25, model_ ) ) );
		ASSERT_TRUE( load_quiet( map_, dir_.file( "blob.mrc" ) ) );
	}
	quilt_test::ScratchDir dir_{ "fds_fast" };
	TestModel model_{ 12, 15.0, 15.0, 15.0 };
	FastDensityScore map_;
};

} // namespace

TEST( FastCache, DeltaMapGivesTheScaledKernel )
{
	// One voxel of value 1 on a 16^3 grid of 1 A voxels: the smoothed map is
	// the bin's kernel minus its mean, scaled by 1 / (4 (hi - lo)) with lo and
	// hi the 5th values from either end; the spline returns it at voxels.
	quilt_test::ScratchDir dir( "fds_delta" );
	int const n = 16;
	ASSERT_TRUE( write_mrc( dir.file( "d.mrc" ), fast_test::cubic_map( n, 1.0, []( int x, int y, int z ) {
		return ( x == 5 && y == 6 && z == 7 ) ? 1.0 : 0.0;
	} ) ) );
	FastDensityScore m;
	ASSERT_TRUE( load_quiet( m, dir.file( "d.mrc" ) ) );
	double const kmax = 4 * M_PI * M_PI / m.minMult;
	double const k = std::min( std::min( M_PI * M_PI / double( 7.10668f ), 4 * M_PI * M_PI / m.effB ), kmax );
	double const G = std::pow( k, 1.5 );
	double const D = ( std::log( G ) + std::log( 10000.0 ) ) / k;
	double const weight = std::pow( k, -0.4 ) - 0.6;
	auto kernel = [ & ]( int ox, int oy, int oz ) {
		auto wrap = [ & ]( int o ) { return ( o > n / 2 ) ? o - n : ( o <= -n / 2 ? o + n : o ); };
		double const d2 = std::pow( wrap( ox ), 2 ) + std::pow( wrap( oy ), 2 ) + std::pow( wrap( oz ), 2 );
		return d2 <= D ? G * std::exp( -k * d2 ) * weight : 0.0; // voxel volume 1
	};
	std::vector< double > smooth( n * n * n );
	double sum = 0.0;
	for ( int z = 0; z < n; ++z )
		for ( int y = 0; y < n; ++y )
			for ( int x = 0; x < n; ++x ) sum += kernel( x, y, z );
	for ( int z = 0; z < n; ++z )
		for ( int y = 0; y < n; ++y )
			for ( int x = 0; x < n; ++x ) smooth[ ( z * n + y ) * n + x ] = kernel( x - 5, y - 6, z - 7 ) - sum / ( n * n * n );
	std::vector< double > sorted( smooth );
	std::sort( sorted.begin(), sorted.end() );
	double const scale = 1.0 / ( 4.0 * ( sorted[ sorted.size() - 5 ] - sorted[ 4 ] ) );

	for ( auto v : { std::vector< int >{ 5, 6, 7 }, { 6, 6, 7 }, { 5, 8, 6 }, { 0, 0, 0 }, { 15, 2, 9 } } ) {
		double p[ 3 ] = { double( v[ 0 ] ), double( v[ 1 ] ), double( v[ 2 ] ) };
		double* rows[ 1 ] = { p };
		double const want = scale * smooth[ ( v[ 2 ] * n + v[ 1 ] ) * n + v[ 0 ] ];
		// The single-precision cosine of 90 degrees shears the cell by ~1e-7.
		EXPECT_NEAR( m.getFastDensScore( rows, 1 ), want, 1e-6 ) << v[ 0 ] << " " << v[ 1 ] << " " << v[ 2 ];
	}
	auto c = m.fastCache();
	ASSERT_TRUE( c );
	EXPECT_EQ( c->nBins, 1 );
	EXPECT_DOUBLE_EQ( c->kstep, 0.0 );
	EXPECT_NEAR( c->kmin, M_PI * M_PI / ( double( 7.10668f ) + 150.0 ), 1e-12 );
	EXPECT_NEAR( c->scale, scale, 1e-9 * scale );
}

TEST_F( FastScore, CacheIsBuiltOnceAndSharedByCopies )
{
	EXPECT_TRUE( map_.fastCacheEmpty() );
	FastDensityScore early( map_ ); // copied before the first fast score
	double* rows[ 1 ] = { model_.xyz[ 3 ][ 1 ] };
	EXPECT_EQ( map_.getFastDensScore( nullptr, 0 ), 0.0 ); // n = 0 still builds
	ASSERT_FALSE( map_.fastCacheEmpty() );
	auto cache = map_.fastCache();
	double const s = map_.getFastDensScore( rows, 1 );
	FastDensityScore late( map_ );
	EXPECT_EQ( late.fastCache(), cache );
	EXPECT_EQ( early.fastCache(), cache );
	EXPECT_EQ( late.getFastDensScore( rows, 1 ), s );
	EXPECT_EQ( early.getFastDensScore( rows, 1 ), s );
	EXPECT_EQ( late.fastCache(), cache ); // no rebuild
	// Copies see the same voxel list.
	EXPECT_EQ( late.densPoints, map_.densPoints );
	// Changing a copy's map leaves the source and its cache alone.
	late.mutableDensity()( 1, 1, 1 ) += 100.0;
	EXPECT_TRUE( late.fastCacheEmpty() );
	EXPECT_EQ( map_.fastCache(), cache );
	EXPECT_NE( late.density()( 1, 1, 1 ), map_.density()( 1, 1, 1 ) );
	EXPECT_EQ( map_.getFastDensScore( rows, 1 ), s );
	// Building twice on an unchanged map gives the same coefficients.
	FastDensityScore again( map_ );
	again.density_change_trigger();
	EXPECT_EQ( again.getFastDensScore( rows, 1 ), s );
	EXPECT_NE( again.fastCache(), cache );
	// A different bin count is never scored with the old cache.
	FastDensityScore bins( map_ );
	bins.nFastBins = 3;
	bins.getFastDensScore( rows, 1 );
	EXPECT_EQ( bins.fastCache()->nBins, 3 );
	EXPECT_EQ( map_.fastCache(), cache );
}

TEST_F( FastScore, SplineAgreesWithTheInterpolationRoutines )
{
	map_.getFastDensScore( nullptr, 0 );
	auto c = map_.fastCache();
	farray::FArray4D< double > coeffs( c->coeffs );
	std::mt19937 rng( 3 );
	std::uniform_real_distribution< double > u( -40.0, 70.0 );
	for ( int t = 0; t < 20; ++t ) {
		double p[ 3 ] = { u( rng ), u( rng ), u( rng ) };
		double* rows[ 1 ] = { p };
		double f[ 3 ], pos[ 3 ];
		map_.cartToFrac( p, f );
		for ( int a = 0; a < 3; ++a ) {
			pos[ a ] = std::fmod( f[ a ] * map_.grid[ a ] - map_.originGrid[ a ] + 1.0, double( map_.grid[ a ] ) );
			if ( pos[ a ] < 0 ) pos[ a ] += map_.grid[ a ];
		}
		double const want = interp_spline( coeffs, 1.0, pos );
		EXPECT_NEAR( map_.getFastDensScore( rows, 1 ), want, 1e-12 * std::max( 1.0, std::fabs( want ) ) );
	}
}

TEST_F( FastScore, CaScoreRules )
{
	double p[ 3 ] = { 14.0, 15.5, 16.0 };
	double q[ 3 ] = { 17.0, 12.5, 13.0 };
	double* one[ 1 ] = { p };
	double* two[ 2 ] = { p, q };
	double const sp = map_.getFastDensScore( one, 1 );
	one[ 0 ] = q;
	double const sq = map_.getFastDensScore( one, 1 );
	EXPECT_NEAR( map_.getFastDensScore( two, 2 ), sp + sq, 1e-12 );
	// A whole cell edge along x, y or z changes nothing.
	for ( int a = 0; a < 3; ++a ) {
		double r[ 3 ] = { p[ 0 ], p[ 1 ], p[ 2 ] };
		r[ a ] += map_.cellDimensions[ a ];
		double* rr[ 1 ] = { r };
		EXPECT_NEAR( map_.getFastDensScore( rr, 1 ), sp, 1e-6 );
	}
	std::vector< double* > v = { p, q };
	EXPECT_NEAR( map_.getFastDensScore( v, 2 ), sp + sq, 1e-12 );
	EXPECT_EQ( map_.getFastDensScore( std::vector< double* >(), 0 ), 0.0 );
	// The density peaks on the model: a CA there outscores empty space.
	double far[ 3 ] = { 2.0, 2.0, 2.0 };
	one[ 0 ] = model_.xyz[ 5 ][ 1 ];
	double const on = map_.getFastDensScore( one, 1 );
	one[ 0 ] = far;
	EXPECT_GT( on, map_.getFastDensScore( one, 1 ) + 0.1 );
}

TEST_F( FastScore, PoseScoreSelectionsAndWeights )
{
	double x[ 6 ] = { 0, 0, 0, 0, 0, 0 };
	double centre[ 3 ] = { 15.0, 15.0, 15.0 };
	// Identity pose, "CA": the CA score of the CA atoms.
	std::vector< double* > cas;
	for ( auto const& r : model_.xyz ) cas.push_back( r[ 1 ] );
	double const caScore = map_.getFastDensScore( cas, int( cas.size() ) );
	EXPECT_NEAR( map_.getFastDensScore_6D( model_.xyz, model_.names, x, centre, "CA" ), caScore, 1e-12 );
	EXPECT_NEAR( map_.getFastDensScore_6D( model_.xyz, model_.names, x, centre, "anything" ), caScore, 1e-12 );
	// "backbone": N (weight 5/6), CA and C; with one bin every element reads
	// the same smoothed map.
	double bb = 0.0;
	for ( auto const& r : model_.xyz ) {
		double* one[ 1 ] = { r[ 0 ] };
		bb += 5.0 / 6.0 * map_.getFastDensScore( one, 1 );
		one[ 0 ] = r[ 1 ];
		bb += map_.getFastDensScore( one, 1 );
		one[ 0 ] = r[ 2 ];
		bb += map_.getFastDensScore( one, 1 );
	}
	EXPECT_NEAR( map_.getFastDensScore_6D( model_.xyz, model_.names, x, centre, "backbone" ), bb, 1e-12 );
	// "centroid": every atom but SG; an SG counts as sulphur (weight 2) elsewhere.
	TestModel sg( 3, 15, 15, 15, { "SG", "CA", "OG" } );
	double cen = 0.0, sgAll = 0.0;
	for ( auto const& r : sg.xyz ) {
		double* one[ 1 ] = { r[ 1 ] };
		cen += map_.getFastDensScore( one, 1 );
		one[ 0 ] = r[ 2 ];
		cen += 4.0 / 6.0 * map_.getFastDensScore( one, 1 );
		one[ 0 ] = r[ 0 ];
		sgAll += 2.0 * map_.getFastDensScore( one, 1 );
	}
	EXPECT_NEAR( map_.getFastDensScore_6D( sg.xyz, sg.names, x, centre, "centroid" ), cen, 1e-12 );
	// A residue without CA adds nothing to "CA".
	TestModel noCa( 4, 15, 15, 15, { "N", "C", "O" } );
	EXPECT_EQ( map_.getFastDensScore_6D( noCa.xyz, noCa.names, x, centre, "CA" ), 0.0 );
	(void)sgAll;
}

TEST_F( FastScore, PoseMovesTheModel )
{
	double centre[ 3 ] = { 15.0, 15.0, 15.0 };
	double x[ 6 ] = { 1.0, -0.5, 0.25, 0.3, -0.2, 0.4 };
	double const s = map_.getFastDensScore_6D( model_.xyz, model_.names, x, centre, "CA" );
	// The same move applied by hand to the CA atoms.
	double const sa = std::sin( x[ 3 ] ), ca = std::cos( x[ 3 ] ), sb = std::sin( x[ 4 ] ), cb = std::cos( x[ 4 ] );
	double const sc = std::sin( x[ 5 ] ), cc = std::cos( x[ 5 ] );
	double const R[ 3 ][ 3 ] = { { ca * cc - sa * cb * sc, ca * sc + sa * cb * cc, sa * sb },
		{ -sa * cc - ca * cb * sc, -sa * sc + ca * cb * cc, ca * sb }, { sb * sc, -sb * cc, cb } };
	std::vector< std::vector< double > > moved;
	for ( auto const& r : model_.xyz ) {
		std::vector< double > p( 3 );
		for ( int i = 0; i < 3; ++i ) {
			p[ i ] = centre[ i ] + x[ i ];
			for ( int j = 0; j < 3; ++j ) p[ i ] += R[ i ][ j ] * ( r[ 1 ][ j ] - centre[ j ] );
		}
		moved.push_back( p );
	}
	auto rows = fast_test::rows_of( moved );
	EXPECT_NEAR( s, map_.getFastDensScore( rows.data(), int( rows.size() ) ), 1e-12 );
	// The model moved in place between calls is seen (no stale coordinates).
	double const before = map_.getFastDensScore_6D( model_.xyz, model_.names, x, centre, "CA" );
	for ( auto& p : model_.store ) p[ 0 ] += 1.0;
	double x2[ 6 ] = { x[ 0 ] - 1.0, x[ 1 ], x[ 2 ], x[ 3 ], x[ 4 ], x[ 5 ] };
	double c2[ 3 ] = { centre[ 0 ] + 1.0, centre[ 1 ], centre[ 2 ] };
	EXPECT_NEAR( map_.getFastDensScore_6D( model_.xyz, model_.names, x2, c2, "CA" ), before, 1e-12 );
	EXPECT_NE( map_.getFastDensScore_6D( model_.xyz, model_.names, x, centre, "CA" ), before );
	// A gradient asked for after a score at the same pose, and again after the
	// model was moved in place: each equals a fresh evaluation.
	double g1[ 6 ], g2[ 6 ], g3[ 6 ];
	map_.getFastDensScore_6D( model_.xyz, model_.names, x, centre, "CA" );
	map_.dCCdx_fastRes_6D( model_.xyz, model_.names, x, g1, centre, "CA" );
	FastDensityScore fresh( map_ );
	FastDensityScore::Model copyModel = model_.xyz; // other storage: prepared anew
	fresh.dCCdx_fastRes_6D( copyModel, model_.names, x, g2, centre, "CA" );
	for ( int k = 0; k < 6; ++k ) EXPECT_EQ( g1[ k ], g2[ k ] );
	for ( auto& p : model_.store ) p[ 1 ] += 0.7;
	map_.dCCdx_fastRes_6D( model_.xyz, model_.names, x, g3, centre, "CA" );
	fresh.dCCdx_fastRes_6D( copyModel, model_.names, x, g2, centre, "CA" );
	for ( int k = 0; k < 6; ++k ) EXPECT_EQ( g3[ k ], g2[ k ] );
	EXPECT_NE( g3[ 0 ], g1[ 0 ] );
	// Another model of another size.
	TestModel other( 5, 10, 10, 10 );
	double x0[ 6 ] = { 0, 0, 0, 0, 0, 0 };
	std::vector< double* > cas;
	for ( auto const& r : other.xyz ) cas.push_back( r[ 1 ] );
	EXPECT_NEAR( map_.getFastDensScore_6D( other.xyz, other.names, x0, centre, "CA" ),
		map_.getFastDensScore( cas, int( cas.size() ) ), 1e-12 );
	// An empty model.
	FastDensityScore::Model none;
	FastDensityScore::AtomNames noNames;
	double g[ 6 ] = { 9, 9, 9, 9, 9, 9 };
	EXPECT_EQ( map_.getFastDensScore_6D( none, noNames, x, centre, "CA" ), 0.0 );
	map_.dCCdx_fastRes_6D( none, noNames, x, g, centre, "CA" );
	for ( double v : g ) EXPECT_EQ( v, 0.0 );
}

namespace {

// Checks the analytic pose gradient against central differences at random
// poses; relative error below 1e-4 in every component.
void check_pose_gradient( FastDensityScore& map, TestModel const& model, std::string const& selection, int poses,
	unsigned seed )
{
	std::mt19937 rng( seed );
	std::uniform_real_distribution< double > t( -2.0, 2.0 ), ang( -M_PI, M_PI );
	double centre[ 3 ] = { 15.0, 15.0, 15.0 };
	for ( int p = 0; p < poses; ++p ) {
		double x[ 6 ] = { t( rng ), t( rng ), t( rng ), ang( rng ), ang( rng ) / 2, ang( rng ) };
		double g[ 6 ], g2[ 6 ];
		map.dCCdx_fastRes_6D( model.xyz, model.names, x, g, centre, selection );
		double const v = map.getFastDensScoreAndGrad_6D( model.xyz, model.names, x, g2, centre, selection );
		EXPECT_EQ( v, map.getFastDensScore_6D( model.xyz, model.names, x, centre, selection ) );
		double norm = 0.0;
		for ( int k = 0; k < 6; ++k ) {
			EXPECT_EQ( g[ k ], g2[ k ] );
			norm = std::max( norm, std::fabs( g[ k ] ) );
		}
		for ( int k = 0; k < 6; ++k ) {
			double const fd = fast_test::pose_score_central_difference( map, model.xyz, model.names, x, centre, selection, k );
			EXPECT_LE( std::fabs( g[ k ] - fd ), 1e-4 * std::max( std::fabs( fd ), 0.01 * norm ) )
				<< "pose " << p << " component " << k << " analytic " << g[ k ] << " numeric " << fd;
		}
	}
}

} // namespace

TEST_F( FastScore, PoseGradientMatchesCentralDifferences )
{
	check_pose_gradient( map_, model_, "CA", 20, 11 );
	check_pose_gradient( map_, model_, "centroid", 5, 12 );
}

TEST_F( FastScore, SeveralBinsGradientAndBins )
{
	map_.nFastBins = 4;
	check_pose_gradient( map_, model_, "centroid", 5, 13 );
	auto c = map_.fastCache();
	ASSERT_EQ( c->nBins, 4 );
	EXPECT_NEAR( c->kstep, ( c->kmax - c->kmin ) / 3.0, 1e-15 );
	EXPECT_DOUBLE_EQ( map_.kmin, c->kmin );
	// The CA form equals the spline read directly at the carbon's bin.
	farray::FArray4D< double > coeffs( c->coeffs );
	double const Bq = map_.effB / 4.0; // effB between 1 and 590
	double bin = std::max( ( M_PI * M_PI / ( double( 7.10668f ) + Bq ) - c->kmin ) / c->kstep + 1.0, 1.0 );
	bin = std::min( 4.0, bin );
	double p[ 3 ] = { 13.3, 16.1, 14.2 };
	double* rows[ 1 ] = { p };
	double f[ 3 ], pos[ 3 ];
	map_.cartToFrac( p, f );
	for ( int a = 0; a < 3; ++a ) pos[ a ] = f[ a ] * map_.grid[ a ] - map_.origin[ a ] + 1.0;
	EXPECT_NEAR( map_.getFastDensScore( rows, 1 ), interp_spline( coeffs, bin, pos ), 1e-12 );
}

TEST( FastScoreUnloaded, MessagesAndZeros )
{
	FastDensityScore m;
	FastDensityScore::Model model;
	FastDensityScore::AtomNames names;
	double x[ 6 ] = { 0 }, c[ 3 ] = { 0 }, g[ 6 ] = { 7, 7, 7, 7, 7, 7 };
	testing::internal::CaptureStdout();
	EXPECT_EQ( m.getFastDensScore_6D( model, names, x, c, "CA" ), 0.0 );
	m.dCCdx_fastRes_6D( model, names, x, g, c, "CA" );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_NE( out.find( "Error! matchResFast called but no map is loaded!" ), std::string::npos );
	EXPECT_NE( out.find( "Error! dCCdx_fastRes called but no map is loaded!" ), std::string::npos );
	EXPECT_EQ( g[ 0 ], 7.0 ); // untouched
}
