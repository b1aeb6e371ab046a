// The fitting programs the assembly starts, given what a user can give them
// by mistake: a map without positive density (every pose would score alike
// and the "fits" would be arbitrary), inputs that are not regular files (a
// FIFO would block the reading for ever) and a model in mmCIF format (which
// no program reads).  Each refuses with a message, status 1 and no result
// file.
#include "apps/quilter/tests/quilter_run_case.hh"
#include "tools/SimulatedMap.hh"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <sys/stat.h>

using namespace quilter_test;
namespace fs = std::filesystem;

namespace {

struct Inputs {
	quilt_test::ScratchDir dir{ "quilt sibling inputs" };
	std::string chain = dir.file( "chain.pdb" ), map = dir.file( "map.mrc" ), negated = dir.file( "negated.mrc" );
	Inputs()
	{
		write_chain( chain, helix( 30, 0, 0, 0 ), 'A' );
		simulate_map( { chain }, map );
		// MRC mode 2 after a 1024-byte header: flip the sign of every value.
		std::string bytes = file_text( map );
		for ( std::size_t i = 1024 + 3; i < bytes.size(); i += 4 ) bytes[ i ] = static_cast< char >( bytes[ i ] ^ 0x80 );
		std::ofstream( negated, std::ios::binary ) << bytes;
	}
	// Files in the directory besides the three inputs and the FIFO.
	std::size_t results() const
	{
		std::size_t n = 0;
		for ( auto const& e : fs::directory_iterator( dir.path() ) ) {
			std::string const name = e.path().filename().string();
			if ( name != "chain.pdb" && name != "map.mrc" && name != "negated.mrc" && name != "fifo" ) ++n;
		}
		return n;
	}
};

std::string program( const std::string& name ) { return "timeout 60 " + shq( quilt_test::bin_dir() + "/" + name ); }

} // namespace

TEST( UnusableInputs, MapWithoutPositiveDensityIsRefusedByEveryFittingProgram )
{
	Inputs in;
	std::string out;
	// The map as it is gives results: the refusal below is the map's doing.
	EXPECT_EQ( run_shell( program( "PlacerRNA" ) + " " + shq( in.map ) + " " + shq( in.chain ) + " 6 -nm 3 -sl 0", out ),
		0 ) << out;
	EXPECT_EQ( in.results(), 3u );
	for ( int k = 1; k <= 3; ++k ) fs::remove( in.dir.file( "chain_" + std::to_string( k ) + ".pdb" ) );

	EXPECT_EQ( run_shell( program( "PlacerRNA" ) + " " + shq( in.negated ) + " " + shq( in.chain ) + " 6 -nm 3", out ), 1 )
		<< out;
	EXPECT_TRUE( says( out, "Error! The density map " + in.negated + " has no positive density; nothing to fit into" ) )
		<< out;
	EXPECT_EQ( in.results(), 0u );
	EXPECT_EQ( run_shell( program( "Placer" ) + " " + shq( in.negated ) + " " + shq( in.chain ) + " 6 -nm 3", out ), 1 )
		<< out;
	EXPECT_TRUE( says( out, "has no positive density" ) ) << out;
	EXPECT_EQ( in.results(), 0u );
	// Lobetune and Lobeplace refuse it alike; with -sl 0, as the assembly
	// starts them, without the reader's warning.
	fs::copy_file( in.chain, in.dir.file( "A_mi1.pdb" ) );
	std::string const error = "Error! The density map " + in.negated +
	                          " has no positive density; nothing to fit into, no model written.\n";
	std::string const warning = "Warning! No voxel lies above the density threshold 0; the voxel list is empty.\n";
	for ( std::string const& command :
		{ program( "Lobetune" ) + " " + shq( in.negated ) + " " + shq( in.chain ) + " 6 -on tuned.pdb",
			program( "Lobeplace" ) + " " + shq( in.dir.path() ) + " " + shq( in.negated ) + " 6 -in A_mi -on A_mo.pdb" } ) {
		EXPECT_EQ( run_shell( command, out ), 1 ) << command << "\n" << out;
		EXPECT_TRUE( says( out, warning + error ) ) << command << "\n" << out;
		EXPECT_EQ( run_shell( command + " -sl 0", out ), 1 ) << command << "\n" << out;
		EXPECT_TRUE( says( out, error ) ) << command << "\n" << out;
		EXPECT_FALSE( says( out, warning ) ) << command << "\n" << out;
	}
	fs::remove( in.dir.file( "A_mi1.pdb" ) );
	EXPECT_EQ( in.results(), 0u );
}

// Rasterseek wrote "results" on a map without positive density, poses of
// no meaning, and ended with status 0 where the other programs refuse the
// map.  It refuses it too, once the map is loaded, in its own style, and
// writes nothing.  A map of zeros is refused alike; a map of one positive value on
// a grid no finer than the search's is flat, as before.
TEST( UnusableInputs, RasterseekRefusesAMapWithoutPositiveDensity )
{
	Inputs in;
	quilt_test::ScratchDir maps( "quilt sibling maps" );
	std::string const rasterseek = "cd " + shq( in.dir.path() ) + " && " + program( "Rasterseek" ) + " ";
	std::string out;
	// The map as it is gives results: the refusals below are the maps' doing.
	EXPECT_EQ( run_shell( rasterseek + shq( in.map ) + " chain.pdb R -res 6 -deg 30 -explor 2", out ), 0 ) << out;
	EXPECT_EQ( in.results(), 2u ) << out;
	for ( char const* r : { "R_001.pdb", "R_002.pdb" } ) fs::remove( in.dir.file( r ) );

	std::string const zeros = maps.file( "zeros.mrc" ), constant = maps.file( "constant.mrc" );
	SimulatedMap m;
	for ( int a = 0; a < 3; ++a ) m.n[ a ] = 20;
	m.voxel = 3.0; // the search grid of a 6 A map is 2.4 A: no resampling
	m.data.assign( 8000, 0.0f );
	ASSERT_TRUE( write_mrc( zeros, m ) );
	m.data.assign( 8000, 1.0f );
	ASSERT_TRUE( write_mrc( constant, m ) );

	std::string const warning = "Warning! No voxel lies above the density threshold 0; the voxel list is empty.\n";
	for ( std::string const& map : { in.negated, zeros } ) {
		EXPECT_EQ( run_shell( rasterseek + shq( map ) + " chain.pdb R -res 6 -deg 30 -explor 2", out ), 1 ) << out;
		std::string const error =
			"Error! the density map " + map + " has no positive density; nothing to fit into, no result written.\n";
		// The reader's lines first (the map was loaded), the error line last
		// and alone.
		EXPECT_TRUE( says( out, "ReadMrc> number of voxels" ) ) << out;
		EXPECT_TRUE( says( out, warning + error ) ) << out;
		EXPECT_EQ( out.substr( out.size() - std::min( out.size(), error.size() ) ), error ) << out;
		EXPECT_EQ( quilt_test::occurrences( out, "Error!" ), 1u ) << out;
		// No result, no temporary beside one.
		EXPECT_EQ( in.results(), 0u ) << out;
	}
	EXPECT_EQ( run_shell( rasterseek + shq( constant ) + " chain.pdb R -res 6 -deg 30", out ), 1 ) << out;
	EXPECT_TRUE( says( out, "Error! the density map is flat (no variation to fit against); no result written.\n" ) )
		<< out;
	EXPECT_FALSE( says( out, "positive density" ) ) << out;
	EXPECT_EQ( in.results(), 0u ) << out;
}

// PlacerRNA searches from the centre of the voxels above -dc: with a
// threshold above every voxel it started the search anywhere and wrote a
// "fit" 36 A off the density with status 0, where Placer refuses the
// threshold.  It refuses it too now.  Lobetune refines the model where it
// lies and Lobeplace searches the whole map: both still place the chain.
TEST( UnusableInputs, ThresholdAboveEveryVoxelIsRefusedByThePlacerRNASearch )
{
	Inputs in;
	std::string out;
	EXPECT_EQ( run_shell( program( "PlacerRNA" ) + " " + shq( in.map ) + " " + shq( in.chain ) + " 6 -dc 1000 -nm 2", out ),
		1 ) << out;
	EXPECT_TRUE( says( out, "Warning! No voxel lies above the density threshold 1000; the voxel list is empty.\n"
	                        "Error! No voxel of the density map " + in.map + " lies above the threshold 1000 (-dc); no "
	                        "model written.\n" ) )
		<< out;
	EXPECT_EQ( in.results(), 0u );
	EXPECT_EQ( run_shell( program( "Placer" ) + " " + shq( in.map ) + " " + shq( in.chain ) + " 6 -dc 1000", out ), 1 )
		<< out;
	EXPECT_TRUE( says( out, "lies above the threshold 1000 (-dc); no model written." ) ) << out;
	EXPECT_EQ( in.results(), 0u );
	EXPECT_EQ( run_shell( program( "Lobetune" ) + " " + shq( in.map ) + " " + shq( in.chain ) + " 6 -dc 1000 -sl 0 -on "
	                                              "tuned.pdb", out ),
		0 ) << out;
	EXPECT_TRUE( fs::exists( in.dir.file( "tuned_1.pdb" ) ) ) << out;
}

TEST( UnusableInputs, InputsThatAreNotRegularFilesAreRefused )
{
	Inputs in;
	std::string const fifo = in.dir.file( "fifo" );
	ASSERT_EQ( ::mkfifo( fifo.c_str(), 0644 ), 0 );
	std::string out;
	EXPECT_EQ( run_shell( program( "PlacerRNA" ) + " " + shq( fifo ) + " " + shq( in.chain ) + " 6", out ), 1 ) << out;
	EXPECT_TRUE( says( out, "Error! " + fifo + " is not a regular file; no model written." ) ) << out;
	EXPECT_EQ( run_shell( program( "PlacerRNA" ) + " " + shq( in.map ) + " " + shq( fifo ) + " 6", out ), 1 ) << out;
	EXPECT_TRUE( says( out, "is not a regular file" ) ) << out;
	EXPECT_EQ( run_shell( program( "Rasterseek" ) + " " + shq( in.map ) + " " + shq( fifo ) + " x -res 6", out ), 1 )
		<< out;
	EXPECT_TRUE( says( out, fifo + " is not a regular file; no result written." ) ) << out;
	EXPECT_EQ( run_shell( program( "Rasterseek" ) + " " + shq( in.dir.path() ) + " " + shq( in.chain ) + " x -res 6", out ),
		1 ) << out;
	EXPECT_TRUE( says( out, "is not a regular file" ) ) << out;
	// lobecut names its input file, on standard error, and prints no domain line.
	ASSERT_TRUE( fs::create_directory( in.dir.file( "dddd.pdb" ) ) );
	std::string const lobecut = "cd " + shq( in.dir.path() ) + " && " + program( "lobecut" ) + " ddddA";
	EXPECT_EQ( run_shell( "( " + lobecut + " 2>/dev/null )", out ), 1 ) << out;
	EXPECT_EQ( out, "" );
	EXPECT_EQ( run_shell( "( " + lobecut + " 2>&1 >/dev/null )", out ), 1 ) << out;
	EXPECT_EQ( out, "Error! dddd.pdb is not a regular file.\n" );
	fs::remove( in.dir.file( "dddd.pdb" ) );
	EXPECT_EQ( in.results(), 0u );
}

// A model in mmCIF format used to be refused as a file without atom records
// of a chain, or for the columns of its first row: true of the text, but no
// hint that the format is the fault.
TEST( UnusableInputs, ModelInMmcifFormatIsNamedAsSuch )
{
	Inputs in;
	std::string const cif = in.dir.file( "chain1.pdb" );
	write_mmcif_chain( cif, helix( 30, 0, 0, 0 ), 'A' );
	std::string const reason = "it looks like an mmCIF file, and only PDB format files are read";
	std::string const map = shq( in.map ), model = shq( cif );
	struct Run {
		std::string command, says;
	};
	for ( Run const& r : std::vector< Run >{
		      { program( "Placer" ) + " " + map + " " + model + " 6 -nm 3",
			      "Error! The model file " + cif + " cannot be fitted: " + reason + "; no model written." },
		      { program( "PlacerRNA" ) + " " + map + " " + model + " 6 -nm 3",
			      "Error! no atom record of a chain in the model file " + cif + ": " + reason },
		      { program( "Lobetune" ) + " " + map + " " + model + " 6 -on tuned.pdb",
			      "Error! no atom record of a chain in the model file " + cif + ": " + reason },
		      { program( "Lobeplace" ) + " " + shq( in.dir.path() ) + " " + map + " 6 -in chain -on placed.pdb",
			      "Error! no atom record of a chain in the model file " + in.dir.path() + "/chain1.pdb: " + reason },
		      { program( "Rasterseek" ) + " " + map + " " + model + " x -res 6",
			      "Error! the model file " + cif + " has no atom records of a chain with coordinates: " + reason },
		      { "cd " + shq( in.dir.path() ) + " && cp chain1.pdb abcd.pdb && " + program( "lobecut" ) + " abcd",
			      "Error! no atom record of a chain in the model file abcd.pdb: " + reason } } ) {
		std::string out;
		EXPECT_EQ( run_shell( r.command, out ), 1 ) << r.command << "\n" << out;
		EXPECT_TRUE( says( out, r.says ) ) << r.command << "\n" << out;
		fs::remove( in.dir.file( "abcd.pdb" ) );
		EXPECT_EQ( in.results(), 1u ) << r.command;  // the mmCIF file alone
	}
}
