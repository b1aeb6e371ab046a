// Result names that are the programs' own inputs: a map or a model that
// bears the name of a result, a result name that is a link or a second name
// of an input, standard output into the input.  Every program that writes
// files refuses before any work, with a message and status 1, and leaves the
// input as it was and no other file behind.
#include "apps/siblings/tests/small_fit_case.hh"

#include <gtest/gtest.h>

#include <unistd.h>

using namespace sibling_case;
namespace fs = std::filesystem;

namespace {

class OutputsOverInputs : public testing::Test {
protected:
	// Runs the command; expects the refusal `message`, status 1, `input`
	// unchanged and the directory as it was.
	void expect_refused( std::string const& command, std::string const& message, std::string const& input )
	{
		std::string const before = file_text( input );
		std::vector<std::string> const names = c.names();
		std::string out;
		EXPECT_EQ( c.run( command, out ), 1 ) << command << "\n" << out;
		EXPECT_TRUE( says( out, message ) ) << command << "\n" << out;
		EXPECT_TRUE( file_text( input ) == before ) << input << " changed by " << command;
		EXPECT_EQ( c.names(), names ) << command;
	}

	SmallFitCase c;
};

} // namespace

// Catches the map replaced by PlacerRNA's first result (status 0 before):
// the map bears the name of the result.
TEST_F( OutputsOverInputs, PlacerRNARefusesToWriteOverItsMap )
{
	fs::copy_file( c.map, c.file( "dnaC_1.pdb" ) );
	fs::copy_file( c.chain, c.file( "dnaC.pdb" ) );
	expect_refused( SmallFitCase::program( "PlacerRNA" ) + " dnaC_1.pdb dnaC.pdb 6 -sl 0",
		"Error! The result ./dnaC_1.pdb would replace the density map dnaC_1.pdb; nothing written.",
		c.file( "dnaC_1.pdb" ) );
}

// Catches a result written through a symbolic link onto the model: result 2
// is a link to the model.
TEST_F( OutputsOverInputs, PlacerRNARefusesAResultLinkedToItsModel )
{
	ASSERT_EQ( ::symlink( "chain.pdb", c.file( "chain_2.pdb" ).c_str() ), 0 );
	expect_refused( SmallFitCase::program( "PlacerRNA" ) + " map.mrc chain.pdb 6 -nm 3 -sl 0",
		"Error! The result ./chain_2.pdb would replace the model chain.pdb; nothing written.", c.chain );
}

// Catches the map replaced by Rasterseek's first result (the case);
// the model was guarded already, the map was not.
TEST_F( OutputsOverInputs, RasterseekRefusesToWriteOverItsMap )
{
	fs::copy_file( c.map, c.file( "Y_001.pdb" ) );
	expect_refused( SmallFitCase::program( "Rasterseek" ) + " Y_001.pdb chain.pdb Y -res 6",
		"Error! The result Y_001.pdb would replace the density map Y_001.pdb; nothing written.", c.file( "Y_001.pdb" ) );
}

// Catches an input removed as a stale result: results beyond the poses found
// are deleted, so every name up to -explor is an output.  Here the last one
// is a second (hard) name of the map.
TEST_F( OutputsOverInputs, RasterseekRefusesAnyResultNameOfAnInput )
{
	ASSERT_EQ( ::link( c.map.c_str(), c.file( "A_005.pdb" ).c_str() ), 0 );
	expect_refused( SmallFitCase::program( "Rasterseek" ) + " map.mrc chain.pdb A -res 6 -explor 5",
		"Error! The result A_005.pdb would replace the density map map.mrc; nothing written.", c.map );
}

// Catches Lobetune writing over its map or (through a link) its model.
TEST_F( OutputsOverInputs, LobetuneRefusesResultsOverItsInputs )
{
	fs::copy_file( c.map, c.file( "m_dom_1.pdb" ) );
	expect_refused( SmallFitCase::program( "Lobetune" ) + " m_dom_1.pdb chain.pdb 6 -on m_dom.pdb -sl 0",
		"Error! The result ./m_dom_1.pdb would replace the density map m_dom_1.pdb; nothing written.",
		c.file( "m_dom_1.pdb" ) );
	ASSERT_EQ( ::symlink( "chain.pdb", c.file( "chain_dom_1.pdb" ).c_str() ), 0 );
	expect_refused( SmallFitCase::program( "Lobetune" ) + " map.mrc chain.pdb 6 -sl 0",
		"Error! The result ./chain_dom_1.pdb would replace the model chain.pdb; nothing written.", c.chain );
}

// Catches Lobeplace writing over its input chain (its result name made of
// the input prefix) or over its map (the result a link to it).
TEST_F( OutputsOverInputs, LobeplaceRefusesResultsOverItsInputs )
{
	fs::copy_file( c.chain, c.file( "A_mi1.pdb" ) );
	expect_refused( SmallFitCase::program( "Lobeplace" ) + " . map.mrc 6 -in A_mi -on A_mi.pdb -sl 0",
		"Error! The result ./A_mi1.pdb would replace the input chain ./A_mi1.pdb; nothing written.",
		c.file( "A_mi1.pdb" ) );
	ASSERT_EQ( ::symlink( c.map.c_str(), c.file( "A_mo1.pdb" ).c_str() ), 0 );
	expect_refused( SmallFitCase::program( "Lobeplace" ) + " . map.mrc 6 -in A_mi -on A_mo.pdb -sl 0",
		"Error! The result ./A_mo1.pdb would replace the density map map.mrc; nothing written.", c.map );
}

// Catches lobecut appending its domain line to the chain it reads (its one
// output is standard output).
TEST_F( OutputsOverInputs, LobecutRefusesStandardOutputIntoItsChain )
{
	fs::copy_file( c.chain, c.file( "xxxx.pdb" ) );
	// In a subshell: its error line must not follow standard output.
	expect_refused( "( " + SmallFitCase::program( "lobecut" ) + " xxxxA >>xxxx.pdb )",
		"Error! Standard output goes into the chain file xxxx.pdb; nothing written.", c.file( "xxxx.pdb" ) );
}
