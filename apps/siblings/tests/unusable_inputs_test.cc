// The fitting programs the assembly starts, given what a user can give them
// by mistake: a map without positive density (every pose would score alike
// and the "fits" would be arbitrary), inputs that are not regular files (a
// FIFO would block the reading for ever) and a model in mmCIF format (which
// no program reads).  Each refuses with a message, status 1 and no result
// file.
#include "apps/quilter/tests/quilter_run_case.hh"

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
