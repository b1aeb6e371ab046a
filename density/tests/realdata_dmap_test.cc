// Every map of the shared data set loads with its model's atoms on density,
// whatever header convention it follows (ORIGIN words or start indices,
// machine stamps, extended header); the independent reader agrees; the
// processing chain keeps the density in register on a real map.
#include "density/DensityScore.hh"
#include "density/tests/dmap_test_util.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <array>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

using dmap_test::Grid;

void load( std::string const& f, Grid& g )
{
	testing::internal::CaptureStdout();
	dmap_test::read_vol( f, g );
	testing::internal::GetCapturedStdout();
}

// Coordinates of ATOM records whose atom name and chain match (empty: any).
std::vector<std::array<double, 3>> atoms_of( std::string const& pdb, std::string const& name,
	std::string const& chains )
{
	std::vector<std::array<double, 3>> out;
	std::ifstream in( pdb );
	std::string line;
	while ( std::getline( in, line ) ) {
		if ( line.compare( 0, 4, "ATOM" ) != 0 || line.size() < 54 ) continue;
		std::string an = line.substr( 12, 4 );
		an.erase( 0, an.find_first_not_of( ' ' ) );
		an.erase( an.find_last_not_of( ' ' ) + 1 );
		if ( !name.empty() && an != name ) continue;
		if ( !chains.empty() && chains.find( line[21] ) == std::string::npos ) continue;
		out.push_back( { std::stod( line.substr( 30, 8 ) ), std::stod( line.substr( 38, 8 ) ),
			std::stod( line.substr( 46, 8 ) ) } );
	}
	return out;
}

struct OnDensity {
	double map_mean, map_sd, atom_mean;
	size_t inside, total;
};

OnDensity on_density( Grid const& g, std::vector<std::array<double, 3>> const& atoms )
{
	OnDensity r{ 0, 0, 0, 0, atoms.size() };
	double s = 0, s2 = 0;
	for ( size_t i = 0; i < g.n(); ++i ) { s += g.phi[i]; s2 += g.phi[i] * g.phi[i]; }
	r.map_mean = s / g.n();
	r.map_sd = std::sqrt( std::max( 0.0, s2 / g.n() - r.map_mean * r.map_mean ) );
	double a = 0;
	for ( auto const& p : atoms ) {
		double v;
		if ( g.sample( p.data(), v ) ) { a += v; ++r.inside; }
	}
	r.atom_mean = r.inside ? a / r.inside : 0;
	return r;
}

struct Case {
	char const* map;
	char const* pdb;
	char const* atom;
	char const* chains;
};

Case const cases[] = {
	{ "single/emd_5168.map", "single/3MFP.pdb", "CA", "" },
	{ "single/1akeA_10A.mrc", "single/1akeA.pdb", "CA", "" },
	{ "single/1ggg_5A.mrc", "single/1ggg.pdb", "CA", "" },
	{ "complexes/2dqj/2dqj_10A_tempy.mrc", "complexes/2dqj/2DQJ.pdb", "CA", "" },
	{ "complexes/1z5s/1z5s_10.mrc", "complexes/1z5s/1z5s_A.pdb", "CA", "" },
	{ "complexes/1z5s/1z5s_10.mrc", "complexes/1z5s/1z5s_D.pdb", "CA", "" },
	{ "complexes/3mht/3mht_sim6A.mrc", "complexes/3mht/3mht.pdb", "CA", "" },
	{ "complexes/3mht/Pro.map", "complexes/3mht/3mht.pdb", "CA", "A" },
	{ "complexes/3mht/NA.map", "complexes/3mht/3mht.pdb", "P", "CD" },
};

} // namespace

TEST( RealdataDmap, EveryMapPutsItsModelOnDensity )
{
	QUILT_REQUIRE_SHARED_DATA();
	for ( Case const& c : cases ) {
		std::string const mf = quilt_test::shared_file( c.map );
		if ( !quilt_test::path_exists( mf ) ) continue;
		Grid g;
		load( mf, g );
		auto atoms = atoms_of( quilt_test::shared_file( c.pdb ), c.atom, c.chains );
		ASSERT_GT( atoms.size(), 10u ) << c.pdb;
		OnDensity r = on_density( g, atoms );
		// Nearly every atom inside the map, and the density there well above
		// the map's mean (by more than two standard deviations).
		EXPECT_GT( r.inside, 0.9 * r.total ) << c.map;
		EXPECT_GT( r.atom_mean, r.map_mean + 2.0 * r.map_sd ) << c.map << " atoms " << r.atom_mean
			<< " map " << r.map_mean << " sd " << r.map_sd;
		std::printf( "%-36s %-10s width %.3f origin (%.3f, %.3f, %.3f) atoms %zu/%zu  at atoms %.4g  map %.4g +- %.4g\n",
			c.map, c.pdb + std::string( c.pdb ).rfind( '/' ) + 1, g.width, g.ox, g.oy, g.oz, r.inside, r.total,
			r.atom_mean, r.map_mean, r.map_sd );
	}
}

TEST( RealdataDmap, IndependentReaderGivesTheSameValues )
{
	QUILT_REQUIRE_SHARED_DATA();
	if ( !dmap_test::python_has( "mrcfile" ) ) GTEST_SKIP() << "python3 mrcfile not available";
	for ( Case const& c : cases ) {
		std::string const mf = quilt_test::shared_file( c.map );
		if ( !quilt_test::path_exists( mf ) ) continue;
		Grid g;
		load( mf, g );
		std::string const out = dmap_test::run_capture( "/usr/bin/python3 -W ignore -c \"import mrcfile\n"
			"m = mrcfile.open('" + mf + "', permissive=True)\n"
			"d = m.data\n"
			"print(d.shape[2], d.shape[1], d.shape[0], float(d.astype('float64').sum()), float(d[d.shape[0]//2, d.shape[1]//3, d.shape[2]//4]))\n\" 2>&1" );
		std::istringstream in( out );
		unsigned nx = 0, ny = 0, nz = 0;
		double sum = 0, mid = 0;
		in >> nx >> ny >> nz >> sum >> mid;
		ASSERT_FALSE( in.fail() ) << out;
		// Every map here has the standard axis order and a cubic grid.
		EXPECT_EQ( g.ex, nx ); EXPECT_EQ( g.ey, ny ); EXPECT_EQ( g.ez, nz );
		double s = 0;
		for ( size_t i = 0; i < g.n(); ++i ) s += g.phi[i];
		EXPECT_NEAR( s, sum, 1e-4 * ( std::fabs( sum ) + 1 ) ) << c.map;
		EXPECT_DOUBLE_EQ( g.phi[nx / 4 + nx * ( ny / 3 + static_cast<size_t>( ny ) * ( nz / 2 ) )], mid ) << c.map;
	}
}

TEST( RealdataDmap, ProcessingChainKeepsModelOnDensity )
{
	QUILT_REQUIRE_SHARED_DATA();
	std::string const mf = quilt_test::shared_file( "complexes/1z5s/1z5s_10.mrc" );
	std::string const chainA = quilt_test::shared_file( "complexes/1z5s/1z5s_A.pdb" );
	std::string const chainB = quilt_test::shared_file( "complexes/1z5s/1z5s_B.pdb" );
	if ( !quilt_test::path_exists( mf ) ) GTEST_SKIP();
	quilt_test::ScratchDir dir( "dmap" );
	DensityScore ds;
	testing::internal::CaptureStdout();
	ds.segmap( mf, dir.file( "seg.mrc" ), 0.0, true );
	std::string const coarse = ds.interpolate_new_map( dir.file( "seg.mrc" ), 10.0, 3.0, 0.0, true );
	ds.RemoveMatchedRegion( coarse, dir.file( "rm.mrc" ), chainA, 4.0 );
	testing::internal::GetCapturedStdout();
	EXPECT_EQ( coarse, dir.file( "map_3.0.mrc" ) );
	Grid seg, cg, rm;
	load( dir.file( "seg.mrc" ), seg );
	load( coarse, cg );
	load( dir.file( "rm.mrc" ), rm );
	auto caA = atoms_of( chainA, "CA", "" );
	auto caB = atoms_of( chainB, "CA", "" );
	for ( Grid const* g : { &seg, &cg } ) {
		OnDensity r = on_density( *g, caA );
		EXPECT_GT( r.inside, 0.9 * r.total );
		EXPECT_GT( r.atom_mean, r.map_mean + 1.0 * r.map_sd );
		for ( size_t i = 0; i < g->n(); ++i ) {
			ASSERT_GE( g->phi[i], 0.0 );
			ASSERT_LE( g->phi[i], 1.0 );
		}
	}
	// Chain A's density is gone (the voxel nearest each of its atoms is
	// -10); most of chain B, which only touches A, keeps its density.
	size_t marked = 0, total = 0;
	for ( auto const& p : caA ) {
		double v;
		if ( !rm.nearest( p.data(), v ) ) continue;
		++total;
		if ( v == -10.0 ) ++marked;
	}
	EXPECT_EQ( marked, total );
	EXPECT_GT( total, 0.9 * caA.size() );
	size_t kept = 0, same = 0;
	for ( auto const& p : caB ) {
		double v, before;
		if ( !rm.nearest( p.data(), v ) || !cg.nearest( p.data(), before ) ) continue;
		if ( v != -10.0 ) {
			++kept;
			if ( v == before ) ++same;
		}
	}
	EXPECT_GT( kept, 0.7 * caB.size() );
	EXPECT_EQ( same, kept );
}
