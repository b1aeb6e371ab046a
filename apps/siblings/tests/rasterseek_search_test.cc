// Rasterseek's search on a synthetic protein in simulated maps: the FFT
// local correlation against sums computed directly, placements known in
// advance, a denser decoy beside the model, threads, bad input, and the
// footprint correlation's gradient.
#include "apps/siblings/rasterseek_internal.hh"
#include "apps/siblings/rasterseek_search.hh"
#include "fitting/tests/synthetic_model.hh"
#include "density/WeightedSums.hh"
#include "numerics/fft3d.hh"
#include "testsupport/test_data.hh"
#include "tools/SimulatedMap.hh"

#include <gtest/gtest.h>

#include <cerrno>
#include <cmath>
#include <random>
#include <system_error>

using namespace rasterseek;
using namespace rasterseek::detail;

namespace {

std::vector< poseCoord > model_atoms( std::vector< synth::Atom > const& atoms )
{
	std::vector< poseCoord > out;
	for ( synth::Atom const& a : atoms ) {
		poseCoord p;
		p.x = a.p[ 0 ];
		p.y = a.p[ 1 ];
		p.z = a.p[ 2 ];
		p.elt = a.name;
		out.push_back( p );
	}
	return out;
}

std::vector< SimAtom > sim_atoms( std::vector< poseCoord > const& atoms )
{
	std::vector< SimAtom > out;
	for ( poseCoord const& a : atoms ) out.push_back( SimAtom{ a.x, a.y, a.z, detail::element_weight( a.elt ) } );
	return out;
}

// The atoms turned by `angle` about `axis` through their centroid and shifted.
std::vector< poseCoord > moved( std::vector< poseCoord > atoms, double const* axis, double angle, double const* shift )
{
	double c[ 3 ] = { 0, 0, 0 };
	for ( poseCoord const& a : atoms ) {
		c[ 0 ] += a.x / atoms.size();
		c[ 1 ] += a.y / atoms.size();
		c[ 2 ] += a.z / atoms.size();
	}
	double const n = std::sqrt( axis[ 0 ] * axis[ 0 ] + axis[ 1 ] * axis[ 1 ] + axis[ 2 ] * axis[ 2 ] );
	double const u[ 3 ] = { axis[ 0 ] / n, axis[ 1 ] / n, axis[ 2 ] / n };
	Rotation const R = axis_angle( u, angle );
	for ( poseCoord& a : atoms ) {
		double const d[ 3 ] = { a.x - c[ 0 ], a.y - c[ 1 ], a.z - c[ 2 ] };
		double q[ 3 ];
		for ( int r = 0; r < 3; ++r ) q[ r ] = c[ r ] + shift[ r ] + R.m[ r ][ 0 ] * d[ 0 ] + R.m[ r ][ 1 ] * d[ 1 ] + R.m[ r ][ 2 ] * d[ 2 ];
		a.x = q[ 0 ];
		a.y = q[ 1 ];
		a.z = q[ 2 ];
	}
	return atoms;
}

// RMSD of the atoms under the placement from where they should be.
double rmsd_to( Placement const& p, std::vector< poseCoord > const& from, std::vector< poseCoord > const& truth )
{
	double s = 0.0;
	for ( std::size_t i = 0; i < from.size(); ++i ) {
		double const in[ 3 ] = { from[ i ].x, from[ i ].y, from[ i ].z };
		double out[ 3 ];
		apply_placement( p, in, out );
		s += ( out[ 0 ] - truth[ i ].x ) * ( out[ 0 ] - truth[ i ].x ) + ( out[ 1 ] - truth[ i ].y ) * ( out[ 1 ] - truth[ i ].y )
		     + ( out[ 2 ] - truth[ i ].z ) * ( out[ 2 ] - truth[ i ].z );
	}
	return std::sqrt( s / from.size() );
}

// The synthetic protein, its 8 A map (plus extra atoms, if any) and a moved copy.
class RasterseekSearch : public testing::Test {
protected:
	void SetUp() override
	{
		truth = model_atoms( synth::make_model() );
		double const axis[ 3 ] = { 0.3, -0.5, 0.8 }, shift[ 3 ] = { 9.0, -6.0, 4.0 };
		input = moved( truth, axis, 2.3, shift );
	}
	bool load( std::vector< SimAtom > const& extra = {} )
	{
		std::vector< SimAtom > all = sim_atoms( truth );
		all.insert( all.end(), extra.begin(), extra.end() );
		SimulatedMap sim = simulate_density( all, 8.0, 2.0, 12.0 );
		return write_mrc( dir.file( "map.mrc" ), sim ) && map.readDensityMap( dir.file( "map.mrc" ), 8.0, 0.0, 0.0, true );
	}
	SearchOptions options( int count, int threads ) const
	{
		SearchOptions o;
		o.resolution = 8.0;
		o.angleStep = 30.0;
		o.count = count;
		o.threads = threads;
		return o;
	}

	quilt_test::ScratchDir dir{ "rssearch" };
	std::vector< poseCoord > truth, input;
	FastDensityScore map;
};

} // namespace

// Catches errors in the packed transforms, the split of the spectrum or the
// normalisation: the FFT local correlation equals the Pearson correlation of
// template and map under the mask, summed voxel by voxel; two orientations
// done together equal each done alone.
TEST_F( RasterseekSearch, FftLocalCorrelationEqualsDirectSums )
{
	ASSERT_TRUE( load() );
	Model model;
	ASSERT_TRUE( prepare_model( input, model ) );
	double const sigma = 0.225 * 8.0, fraction = 0.1;
	SearchGrid grid;
	std::string error;
	ASSERT_TRUE( build_search_grid( map, 8.0, model.radius + 3 * sigma, 1L << 24, grid, error ) ) << error;
	farray::DynamicIndexRange const r0( grid.n[ 0 ] ), r1( grid.n[ 1 ] ), r2( grid.n[ 2 ] );
	farray::FArray3D< double > m{ r0, r1, r2 };
	Spectrum F, F2;
	for ( long v = 0; v < grid.size(); ++v ) m[ v ] = grid.values[ v ];
	fft3( m, F );
	for ( long v = 0; v < grid.size(); ++v ) m[ v ] = grid.values[ v ] * grid.values[ v ];
	fft3( m, F2 );
	Correlator corr( grid, F, F2, model, sigma, fraction, 0.0 );
	double const axis[ 3 ] = { 1.0, 2.0, -0.5 };
	double const an = std::sqrt( 5.25 );
	double const unit[ 3 ] = { axis[ 0 ] / an, axis[ 1 ] / an, axis[ 2 ] / an };
	Rotation const rot = axis_angle( unit, 1.1 );
	std::vector< double > lcc;
	ASSERT_TRUE( corr.correlate( rot, lcc ) );

	// The template drawn straight onto the periodic grid, centre at voxel 0.
	std::size_t const na = model.weights.size();
	std::vector< double > xyz( 3 * na ), T( std::size_t( grid.size() ), 0.0 );
	for ( std::size_t i = 0; i < na; ++i )
		for ( int r = 0; r < 3; ++r )
			xyz[ 3 * i + r ] = rot.m[ r ][ 0 ] * model.offsets[ 3 * i ] + rot.m[ r ][ 1 ] * model.offsets[ 3 * i + 1 ]
			                   + rot.m[ r ][ 2 ] * model.offsets[ 3 * i + 2 ];
	add_gaussians( xyz, model.weights, grid, sigma, T.data() );
	double const thr = fraction * *std::max_element( T.begin(), T.end() );
	int checked = 0;
	for ( int t = 0; t < 40; ++t ) {
		int const c[ 3 ] = { ( 3 + 7 * t ) % grid.inner[ 0 ], ( 5 + 11 * t ) % grid.inner[ 1 ], ( 2 + 13 * t ) % grid.inner[ 2 ] };
		density_detail::WeightedSums sums;
		for ( int k = 0; k < grid.n[ 2 ]; ++k )
			for ( int j = 0; j < grid.n[ 1 ]; ++j )
				for ( int i = 0; i < grid.n[ 0 ]; ++i ) {
					double const tv = T[ ( std::size_t( k ) * grid.n[ 1 ] + j ) * grid.n[ 0 ] + i ];
					if ( !( tv > thr ) ) continue;
					int const g[ 3 ] = { ( i + c[ 0 ] ) % grid.n[ 0 ], ( j + c[ 1 ] ) % grid.n[ 1 ], ( k + c[ 2 ] ) % grid.n[ 2 ] };
					sums.add( 1.0, tv, grid.values[ ( std::size_t( g[ 2 ] ) * grid.n[ 1 ] + g[ 1 ] ) * grid.n[ 0 ] + g[ 0 ] ] );
				}
		if ( !( sums.varO() > 1e-6 * sums.oo ) ) continue;
		double const fft = lcc[ ( std::size_t( c[ 2 ] ) * grid.inner[ 1 ] + c[ 1 ] ) * grid.inner[ 0 ] + c[ 0 ] ];
		EXPECT_NEAR( fft, sums.correlation(), 1e-8 ) << c[ 0 ] << " " << c[ 1 ] << " " << c[ 2 ];
		++checked;
	}
	EXPECT_GT( checked, 20 );

	// Two orientations at once (their S2 share a transform) give what each
	// gives alone.
	double const other[ 3 ] = { 0.0, 0.0, 1.0 };
	Rotation const pair[ 2 ] = { axis_angle( other, 0.4 ), rot };
	std::vector< double > both[ 2 ], single;
	ASSERT_EQ( corr.correlate( pair, 2, both ), 3 );
	for ( int r = 0; r < 2; ++r ) {
		ASSERT_TRUE( corr.correlate( pair[ r ], single ) );
		ASSERT_EQ( single.size(), both[ r ].size() );
		for ( std::size_t v = 0; v < single.size(); ++v ) ASSERT_NEAR( both[ r ][ v ], single[ v ], 1e-6 ) << r << " " << v;
	}
}

// Catches a search that cannot undo a known move: the moved model goes back
// into the map made from it, well within 1 A.
TEST_F( RasterseekSearch, MovedModelIsPlacedBack )
{
	ASSERT_TRUE( load() );
	std::string error;
	std::vector< Placement > const found = search_placements( map, input, options( 3, 2 ), error );
	ASSERT_EQ( found.size(), 3u ) << error;
	EXPECT_LT( rmsd_to( found[ 0 ], input, truth ), 1.0 );
	EXPECT_GE( found[ 0 ].score, found[ 1 ].score );
	EXPECT_GE( found[ 1 ].score, found[ 2 ].score );
	EXPECT_GT( found[ 0 ].score, 0.9 );
	// The placement is a proper rigid motion.
	for ( int i = 0; i < 3; ++i )
		for ( int j = 0; j < 3; ++j ) {
			double d = 0.0;
			for ( int k = 0; k < 3; ++k ) d += found[ 0 ].u[ k ][ i ] * found[ 0 ].u[ k ][ j ];
			EXPECT_NEAR( d, i == j ? 1.0 : 0.0, 1e-9 );
		}
}

// Catches a score that follows the amount of density instead of its shape
// (a plain cross-correlation or a density sum): beside the model lies a
// compact blob holding twice the model's density; the model must still go
// to its own place.
TEST_F( RasterseekSearch, ModelGoesToItsShapeNotToDenserDensity )
{
	double c[ 3 ] = { 0, 0, 0 };
	for ( poseCoord const& a : truth ) {
		c[ 0 ] += a.x / truth.size();
		c[ 1 ] += a.y / truth.size();
		c[ 2 ] += a.z / truth.size();
	}
	double mass = 0.0;
	for ( poseCoord const& a : truth ) mass += detail::element_weight( a.elt );
	std::vector< SimAtom > blob;
	std::mt19937 rng( 3 );
	std::normal_distribution< double > g( 0.0, 4.0 );
	int const count = int( 2.0 * mass / 16.0 );
	for ( int i = 0; i < count; ++i ) blob.push_back( SimAtom{ c[ 0 ] + 34.0 + g( rng ), c[ 1 ] + g( rng ), c[ 2 ] + g( rng ), 16.0 } );
	ASSERT_TRUE( load( blob ) );
	std::string error;
	std::vector< Placement > const found = search_placements( map, input, options( 2, 2 ), error );
	ASSERT_FALSE( found.empty() ) << error;
	EXPECT_LT( rmsd_to( found[ 0 ], input, truth ), 1.5 );
}

// Catches the removal mark of the assembly program (-10 where an accepted
// chain's density was taken out) being taken as density: marked voxels
// become empty in a copy, the caller's map stays as it was, and a model
// whose neighbour was removed right beside it still goes to its place.
TEST_F( RasterseekSearch, RemovedDensityCountsAsEmpty )
{
	ASSERT_TRUE( load() );
	// The neighbour: the first helix's atoms moved 7 A sideways; every voxel
	// within 4 A of them is marked, as the assembly program marks it.
	farray::FArray3D< double >& d = map.mutableDensity();
	int marked = 0;
	for ( int k = 1; k <= d.u3(); ++k )
		for ( int j = 1; j <= d.u2(); ++j )
			for ( int i = 1; i <= d.u1(); ++i ) {
				double p[ 3 ];
				map.voxelPosition( i - 1, j - 1, k - 1, p );
				for ( std::size_t a = 0; a < 100 && a < truth.size(); ++a ) {
					double const dx = p[ 0 ] - ( truth[ a ].x + 7.0 ), dy = p[ 1 ] - truth[ a ].y, dz = p[ 2 ] - truth[ a ].z;
					if ( dx * dx + dy * dy + dz * dz < 16.0 ) {
						d( i, j, k ) = kRemovedDensity;
						++marked;
						break;
					}
				}
			}
	ASSERT_GT( marked, 50 );
	FastDensityScore const cleaned = without_removed_density( map );
	int zeroed = 0;
	for ( long v = 0; v < long( d.size() ); ++v ) {
		EXPECT_NE( cleaned.density()[ v ], kRemovedDensity );
		if ( d[ v ] == kRemovedDensity ) {
			EXPECT_EQ( cleaned.density()[ v ], 0.0 );
			++zeroed;
		} else {
			EXPECT_EQ( cleaned.density()[ v ], d[ v ] );
		}
	}
	EXPECT_EQ( zeroed, marked );
	std::string error;
	std::vector< Placement > const found = search_placements( map, input, options( 1, 2 ), error );
	ASSERT_FALSE( found.empty() ) << error;
	// The marks reach into the model's own density; taken as density, they
	// throw it 20 A off.
	EXPECT_LT( rmsd_to( found[ 0 ], input, truth ), 1.5 );
	EXPECT_EQ( map.density()[ 0 ], d[ 0 ] );
}

// Catches races and order dependence between the worker threads: one and
// three threads give the same placements, bit for bit.
TEST_F( RasterseekSearch, ThreadCountDoesNotChangeTheResult )
{
	ASSERT_TRUE( load() );
	std::string error;
	std::vector< Placement > const one = search_placements( map, input, options( 3, 1 ), error );
	std::vector< Placement > const three = search_placements( map, input, options( 3, 3 ), error );
	ASSERT_EQ( one.size(), three.size() );
	for ( std::size_t k = 0; k < one.size(); ++k ) {
		EXPECT_EQ( one[ k ].score, three[ k ].score );
		for ( int i = 0; i < 3; ++i ) {
			EXPECT_EQ( one[ k ].t[ i ], three[ k ].t[ i ] );
			for ( int j = 0; j < 3; ++j ) EXPECT_EQ( one[ k ].u[ i ][ j ], three[ k ].u[ i ][ j ] );
		}
	}
}

namespace {

std::thread refuse_thread( std::function< void() > )
{
	throw std::system_error( EAGAIN, std::generic_category(), "refused" );
}

} // namespace

// Catches a search that aborts (or loses work) when the system refuses its
// threads: with every extra thread refused, four threads asked for give the
// placements of one, and the search says it went on alone.
TEST_F( RasterseekSearch, RefusedThreadsLeaveTheResultUnchanged )
{
	ASSERT_TRUE( load() );
	std::string error;
	std::vector< Placement > const one = search_placements( map, input, options( 3, 1 ), error );
	siblings::ThreadStarter const before = siblings::set_thread_starter( &refuse_thread );
	testing::internal::CaptureStdout();
	std::vector< Placement > const four = search_placements( map, input, options( 3, 4 ), error );
	std::string const out = testing::internal::GetCapturedStdout();
	siblings::set_thread_starter( before );
	EXPECT_NE( out.find( "Warning! Only 1 of 4 threads could be started; the work goes on with 1." ), std::string::npos )
		<< out;
	ASSERT_EQ( one.size(), four.size() ) << error;
	for ( std::size_t k = 0; k < one.size(); ++k ) {
		EXPECT_EQ( one[ k ].score, four[ k ].score );
		for ( int i = 0; i < 3; ++i ) EXPECT_EQ( one[ k ].t[ i ], four[ k ].t[ i ] );
	}
}

// Catches duplicates among the results: the poses asked for are distinct,
// a few Angstrom apart.
TEST_F( RasterseekSearch, ResultsAreDistinctPoses )
{
	ASSERT_TRUE( load() );
	std::string error;
	std::vector< Placement > const found = search_placements( map, input, options( 5, 4 ), error );
	ASSERT_EQ( found.size(), 5u ) << error;
	for ( std::size_t a = 0; a < found.size(); ++a )
		for ( std::size_t b = a + 1; b < found.size(); ++b ) {
			double s = 0.0;
			for ( poseCoord const& p : input ) {
				double const in[ 3 ] = { p.x, p.y, p.z };
				double pa[ 3 ], pb[ 3 ];
				apply_placement( found[ a ], in, pa );
				apply_placement( found[ b ], in, pb );
				for ( int r = 0; r < 3; ++r ) s += ( pa[ r ] - pb[ r ] ) * ( pa[ r ] - pb[ r ] );
			}
			EXPECT_GE( std::sqrt( s / input.size() ), Tuning().distinctRmsd - 1e-9 ) << a << " " << b;
		}
}

// Catches bad input going unnoticed (or crashing): each is refused with a
// reason and no placement.
TEST_F( RasterseekSearch, UnusableInputIsRefused )
{
	std::string error;
	EXPECT_TRUE( search_placements( map, input, options( 1, 1 ), error ).empty() );
	EXPECT_NE( error.find( "no density map" ), std::string::npos );
	ASSERT_TRUE( load() );
	struct Bad {
		double resolution, step;
		int count;
		char const* reason;
	} const bad[] = { { 0.0, 20.0, 1, "resolution" }, { NAN, 20.0, 1, "resolution" }, { 8.0, 0.0, 1, "angular step" },
		{ 8.0, 200.0, 1, "angular step" }, { 8.0, 1.0, 1, "too fine" }, { 8.0, 20.0, 0, "result" } };
	for ( Bad const& b : bad ) {
		SearchOptions o = options( b.count, 1 );
		o.resolution = b.resolution;
		o.angleStep = b.step;
		error.clear();
		EXPECT_TRUE( search_placements( map, input, o, error ).empty() ) << b.reason;
		EXPECT_NE( error.find( b.reason ), std::string::npos ) << error;
	}
	EXPECT_TRUE( search_placements( map, {}, options( 1, 1 ), error ).empty() );
	EXPECT_NE( error.find( "no atoms" ), std::string::npos );
	SimulatedMap flat;
	for ( int a = 0; a < 3; ++a ) flat.n[ a ] = 20;
	flat.voxel = 2.0;
	flat.data.assign( 8000, 0.0f );
	ASSERT_TRUE( write_mrc( dir.file( "flat.mrc" ), flat ) );
	FastDensityScore flatMap;
	ASSERT_TRUE( flatMap.readDensityMap( dir.file( "flat.mrc" ), 8.0, 0.0, 0.0, true ) );
	EXPECT_TRUE( search_placements( flatMap, input, options( 1, 1 ), error ).empty() );
	EXPECT_NE( error.find( "flat" ), std::string::npos ) << error;
	std::vector< poseCoord > broken = input;
	broken[ 3 ].y = NAN;
	EXPECT_TRUE( search_placements( map, broken, options( 1, 1 ), error ).empty() );
	EXPECT_NE( error.find( "finite" ), std::string::npos );
}

// Catches a wrong gradient of the refinement's objective: against central
// differences, atom by atom.
TEST_F( RasterseekSearch, FootprintGradientMatchesDifferences )
{
	ASSERT_TRUE( load() );
	Model model;
	ASSERT_TRUE( prepare_model( truth, model ) );
	FootprintScorer scorer( map, model.weights, 1.8, 0.1 );
	std::vector< double > xyz;
	for ( poseCoord const& a : truth ) {
		// Slightly off the true place, so that the gradient is not zero.
		xyz.push_back( a.x + 0.7 );
		xyz.push_back( a.y - 0.4 );
		xyz.push_back( a.z + 0.3 );
	}
	std::vector< double > grad;
	double const s0 = scorer.score( xyz, &grad );
	EXPECT_GT( s0, 0.5 );
	double const h = 1e-5;
	for ( int i : { 0, 17, 101, 222, 300 } )
		for ( int r = 0; r < 3; ++r ) {
			std::vector< double > p = xyz, q = xyz;
			p[ 3 * i + r ] += h;
			q[ 3 * i + r ] -= h;
			double const num = ( scorer.score( p, nullptr ) - scorer.score( q, nullptr ) ) / ( 2 * h );
			EXPECT_NEAR( grad[ 3 * i + r ], num, 1e-6 + 1e-3 * std::fabs( num ) ) << i << " " << r;
		}
}

// Catches a wrong distance between poses (the test for distinct poses): the
// closed form equals the RMSD of the moved atoms.
TEST( RasterseekPoses, PoseDistanceEqualsAtomRmsd )
{
	std::vector< poseCoord > atoms = model_atoms( synth::make_model() );
	Model model;
	ASSERT_TRUE( prepare_model( atoms, model ) );
	double const a1[ 3 ] = { 0.0, 0.6, 0.8 }, a2[ 3 ] = { 1.0, 0.0, 0.0 };
	Rotation const ra = axis_angle( a1, 0.4 ), rb = axis_angle( a2, -1.3 );
	double const ca[ 3 ] = { 1.0, 2.0, 3.0 }, cb[ 3 ] = { -2.0, 4.0, 0.5 };
	double s = 0.0;
	for ( std::size_t i = 0; i < atoms.size(); ++i ) {
		double const* p = &model.offsets[ 3 * i ];
		for ( int r = 0; r < 3; ++r ) {
			double const x = ca[ r ] + ra.m[ r ][ 0 ] * p[ 0 ] + ra.m[ r ][ 1 ] * p[ 1 ] + ra.m[ r ][ 2 ] * p[ 2 ];
			double const y = cb[ r ] + rb.m[ r ][ 0 ] * p[ 0 ] + rb.m[ r ][ 1 ] * p[ 1 ] + rb.m[ r ][ 2 ] * p[ 2 ];
			s += ( x - y ) * ( x - y );
		}
	}
	EXPECT_NEAR( pose_rmsd( model, ra, ca, rb, cb ), std::sqrt( s / atoms.size() ), 1e-9 );
	EXPECT_NEAR( pose_rmsd( model, ra, ca, ra, ca ), 0.0, 1e-12 );
}
