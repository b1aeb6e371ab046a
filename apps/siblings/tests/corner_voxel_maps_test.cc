// The fitting programs refuse a map without positive density; a map whose
// only voxel above zero is the grid's first or last one has some and must
// be fitted into.  Every program the assembly starts (Placer, PlacerRNA,
// Lobetune, Lobeplace, Rasterseek) runs on such a map: status 0, a result
// file and no "no positive density" line.  The same map with that voxel
// set to zero is refused by each, so the runs above pass for the voxel.
#include "apps/quilter/tests/quilter_run_case.hh"
#include "tools/SimulatedMap.hh"

#include <filesystem>
#include <gtest/gtest.h>

using namespace quilter_test;
namespace fs = std::filesystem;

namespace {

std::string program( const std::string& name ) { return "timeout 600 " + shq( quilt_test::bin_dir() + "/" + name ); }

// A 20^3 map of 3 A voxels (no finer than the FFT search grid of 6 A, so
// Rasterseek does not resample it), zero everywhere but at voxel `at` of
// the file order (x fastest), which holds `value`.
bool write_one_voxel_map( const std::string& path, std::size_t at, float value )
{
	SimulatedMap m;
	for ( int a = 0; a < 3; ++a ) m.n[ a ] = 20;
	m.voxel = 3.0;
	m.data.assign( 8000, 0.0f );
	if ( at < m.data.size() ) m.data[ at ] = value;
	return write_mrc( path, m );
}

struct ProgramRun {
	std::string name, command, result;
};

// The five programs on `map` with a 30-residue helix inside the map's box,
// each with the result file it writes into `dir`.
std::vector< ProgramRun > runs( const quilt_test::ScratchDir& dir, const std::string& map )
{
	std::string const m = shq( map ), chain = shq( dir.file( "chain.pdb" ) );
	std::string const in = "cd " + shq( dir.path() ) + " && ";
	return {
		{ "Placer", program( "Placer" ) + " " + m + " " + chain + " 6 -nm 2 -sl 0", "chain_1.pdb" },
		{ "PlacerRNA", program( "PlacerRNA" ) + " " + m + " " + chain + " 6 -nm 2 -sl 0", "chain_1.pdb" },
		{ "Lobetune", program( "Lobetune" ) + " " + m + " " + chain + " 6 -sl 0 -on tuned.pdb", "tuned_1.pdb" },
		{ "Lobeplace",
			program( "Lobeplace" ) + " " + shq( dir.path() ) + " " + m + " 6 -in A_mi -on A_mo.pdb -sl 0", "A_mo1.pdb" },
		{ "Rasterseek", in + program( "Rasterseek" ) + " " + m + " chain.pdb R -res 6 -deg 30 -explor 2", "R_001.pdb" },
	};
}

// Files in the directory besides the inputs (the chain, its copy for
// Lobeplace and the maps).
std::vector< std::string > results( const quilt_test::ScratchDir& dir )
{
	std::vector< std::string > found;
	for ( auto const& e : fs::directory_iterator( dir.path() ) ) {
		std::string const name = e.path().filename().string();
		if ( name != "chain.pdb" && name != "A_mi1.pdb" && name.find( ".mrc" ) == std::string::npos )
			found.push_back( name );
	}
	return found;
}

void remove_results( const quilt_test::ScratchDir& dir )
{
	for ( std::string const& name : results( dir ) ) fs::remove_all( dir.file( name ) );
}

struct CornerCase {
	quilt_test::ScratchDir dir{ "quilt corner voxel" };
	CornerCase()
	{
		write_chain( dir.file( "chain.pdb" ), helix( 30, 30, 30, 8 ), 'A' );
		fs::copy_file( dir.file( "chain.pdb" ), dir.file( "A_mi1.pdb" ) );
	}
	// Every program accepts the map and writes its result.
	void expect_fitted( const std::string& map )
	{
		for ( ProgramRun const& r : runs( dir, map ) ) {
			std::string out;
			EXPECT_EQ( run_shell( r.command, out ), 0 ) << r.name << " on " << map << "\n" << out;
			EXPECT_FALSE( says( out, "positive density" ) ) << r.name << " on " << map << "\n" << out;
			EXPECT_TRUE( fs::exists( dir.file( r.result ) ) ) << r.name << " on " << map << "\n" << out;
			remove_results( dir );
		}
	}
};

} // namespace

TEST( CornerVoxelMaps, OnlyTheLastVoxelAboveZeroIsFittedInto )
{
	CornerCase c;
	std::string const map = c.dir.file( "last.mrc" );
	ASSERT_TRUE( write_one_voxel_map( map, 7999, 1.0f ) );
	c.expect_fitted( map );
}

TEST( CornerVoxelMaps, OnlyTheFirstVoxelAboveZeroIsFittedInto )
{
	CornerCase c;
	std::string const map = c.dir.file( "first.mrc" );
	ASSERT_TRUE( write_one_voxel_map( map, 0, 1.0f ) );
	c.expect_fitted( map );
}

TEST( CornerVoxelMaps, TheSameMapWithoutThatVoxelIsRefused )
{
	CornerCase c;
	std::string const map = c.dir.file( "zeros.mrc" );
	ASSERT_TRUE( write_one_voxel_map( map, 8000, 1.0f ) ); // no voxel set
	for ( ProgramRun const& r : runs( c.dir, map ) ) {
		std::string out;
		EXPECT_EQ( run_shell( r.command, out ), 1 ) << r.name << "\n" << out;
		EXPECT_TRUE( says( out, "density map " + map + " has no positive density; nothing to fit into" ) )
			<< r.name << "\n" << out;
		EXPECT_TRUE( results( c.dir ).empty() ) << r.name << "\n" << out;
		remove_results( c.dir );
	}
}
