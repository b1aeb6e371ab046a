// The Rasterseek program: usage, refusal of bad command lines and inputs
// (non-zero exit, no result file), and a run started the way the assembly
// program starts it, in a directory whose path holds a blank.
#include "apps/siblings/rasterseek_rotations.hh"
#include "apps/siblings/tests/rasterseek_test_files.hh"
#include "core/basic_fun_Quilt.hh"
#include "fitting/tests/synthetic_model.hh"
#include "testsupport/test_data.hh"
#include "tools/SimulatedMap.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>

using rasterseek_test::entries;
using rasterseek_test::lines_of;
using rasterseek_test::run;

namespace {

std::string program() { return shell_quote( quilt_test::bin_dir() + "/Rasterseek" ); }

// The synthetic protein, its simulated 8 A map, and the protein moved by a
// known rigid motion (the file to place).
class RasterseekProgram : public testing::Test {
protected:
	void SetUp() override
	{
		atoms = synth::make_model();
		std::vector< SimAtom > sim;
		for ( synth::Atom const& a : atoms ) sim.push_back( SimAtom{ a.p[ 0 ], a.p[ 1 ], a.p[ 2 ], 6.0 } );
		SimulatedMap m = simulate_density( sim, 8.0, 2.0, 12.0 );
		ASSERT_TRUE( write_mrc( dir.file( "map.mrc" ), m ) );
		std::vector< synth::Atom > moved = atoms;
		double const axis[ 3 ] = { 0.0, 0.6, 0.8 };
		rasterseek::Rotation const r = rasterseek::axis_angle( axis, 2.0 );
		for ( synth::Atom& a : moved ) {
			double const p[ 3 ] = { a.p[ 0 ], a.p[ 1 ], a.p[ 2 ] };
			for ( int i = 0; i < 3; ++i ) a.p[ i ] = 8.0 + r.m[ i ][ 0 ] * p[ 0 ] + r.m[ i ][ 1 ] * p[ 1 ] + r.m[ i ][ 2 ] * p[ 2 ];
		}
		model = synth::pdb_text( moved );
	}
	// CA RMSD of a result file to the true positions.
	double ca_rmsd( std::string const& path ) const
	{
		std::vector< double > got;
		for ( std::string const& l : lines_of( path ) )
			if ( l.compare( 0, 4, "ATOM" ) == 0 && l.substr( 12, 4 ) == " CA " )
				for ( int c = 0; c < 3; ++c ) got.push_back( std::atof( l.substr( 30 + 8 * c, 8 ).c_str() ) );
		double s = 0.0;
		std::size_t k = 0;
		for ( synth::Atom const& a : atoms ) {
			if ( a.name != "CA" ) continue;
			if ( 3 * k + 2 >= got.size() ) return 1e9;
			for ( int c = 0; c < 3; ++c ) s += ( got[ 3 * k + c ] - a.p[ c ] ) * ( got[ 3 * k + c ] - a.p[ c ] );
			++k;
		}
		return std::sqrt( s / k );
	}

	quilt_test::ScratchDir dir{ "rsprog" };
	std::vector< synth::Atom > atoms;
	std::string model;
};

} // namespace

// Catches a missing or failing usage text.
TEST_F( RasterseekProgram, NoArgumentsPrintsTheUsage )
{
	int status = -1;
	std::string const out = run( program(), status );
	EXPECT_EQ( status, 0 );
	EXPECT_NE( out.find( "Usage:" ), std::string::npos );
	for ( char const* opt : { "-res", "-deg", "-explor", "-nprocs" } ) EXPECT_NE( out.find( opt ), std::string::npos ) << opt;
}

// Catches bad command lines that are run anyway (or crash): each ends with
// "Error!", a non-zero exit and no file in the working directory.
TEST_F( RasterseekProgram, BadCommandLinesAreRefused )
{
	std::ofstream( dir.file( "A.pdb" ).c_str() ) << model;
	std::string const work = dir.file( "work" );
	ASSERT_EQ( ::mkdir( work.c_str(), 0755 ), 0 );
	std::string const args = " " + shell_quote( dir.file( "map.mrc" ) ) + " " + shell_quote( dir.file( "A.pdb" ) );
	char const* const bad[] = { "", " A", " A -res 8 -foo 1", " A -deg 20", " A -res abc", " A -res -3", " A -res 8 -deg 0",
		" A -res 8 -deg 181", " A -res 8 -explor 0", " A -res 8 -explor 2.5", " A -res 8 -nprocs 0", " A -res",
		" sub/A -res 8", " A -res 8 -explor 5 extra" };
	for ( char const* b : bad ) {
		int status = -1;
		std::string const out = run( "cd " + shell_quote( work ) + " && " + program() + args + b, status );
		EXPECT_NE( status, 0 ) << b;
		EXPECT_NE( out.find( "Error!" ), std::string::npos ) << b << "\n" << out;
		EXPECT_TRUE( entries( work ).empty() ) << b;
	}
}

// Catches unusable inputs that leave results or a zero exit: a map that is
// not a map, a missing map, a model without atoms, a missing model.
TEST_F( RasterseekProgram, BadInputsFailWithoutResults )
{
	std::ofstream( dir.file( "A.pdb" ).c_str() ) << model;
	std::ofstream( dir.file( "junk.mrc" ).c_str() ) << "not a map at all\n";
	std::ofstream( dir.file( "empty.pdb" ).c_str() ) << "REMARK nothing\nEND\n";
	std::string const work = dir.file( "work" );
	ASSERT_EQ( ::mkdir( work.c_str(), 0755 ), 0 );
	struct Case {
		char const* map;
		char const* model;
	} const cases[] = { { "junk.mrc", "A.pdb" }, { "nomap.mrc", "A.pdb" }, { "map.mrc", "empty.pdb" }, { "map.mrc", "none.pdb" } };
	for ( Case const& c : cases ) {
		int status = -1;
		std::string const out = run( "cd " + shell_quote( work ) + " && " + program() + " " + shell_quote( dir.file( c.map ) ) + " "
		                                 + shell_quote( dir.file( c.model ) ) + " A -res 8 -deg 30 -explor 2",
			status );
		EXPECT_NE( status, 0 ) << c.map << " " << c.model;
		EXPECT_NE( out.find( "Error!" ), std::string::npos ) << out;
		EXPECT_TRUE( entries( work ).empty() ) << c.map << " " << c.model;
	}
}

// Catches a run that does not work as the assembly program starts it: from
// its work directory (a path with a blank), standard output into
// FFTlog.txt, results named "_00" + k, consecutive from 1, each a line copy
// of the model, the first one in place.
TEST_F( RasterseekProgram, RunAsTheAssemblyProgramStartsIt )
{
	std::string const work = dir.file( "match rmv 1" );
	ASSERT_EQ( ::mkdir( work.c_str(), 0755 ), 0 );
	std::ofstream( ( work + "/A.pdb" ).c_str() ) << model;
	// The assembly program's format: bindir (ending in "/") + "/Rasterseek",
	// every path and the result name quoted, the numbers as its text helpers
	// print them.
	std::string const bindir = quilt_test::bin_dir() + "/";
	std::string const cmd = "cd " + shell_quote( work ) + " && " + shell_quote( bindir + "/Rasterseek" ) + " "
	                        + shell_quote( dir.file( "map.mrc" ) ) + " " + shell_quote( work + "/A.pdb" ) + " "
	                        + shell_quote( "A" ) + " -res " + doubleToString( 8.0 ) + " -deg " + doubleToString( 30.0 )
	                        + " -explor " + intToString( 5 ) + " -nprocs " + intToString( 2 ) + " >FFTlog.txt";
	int status = -1;
	std::string const out = run( cmd, status );
	ASSERT_EQ( status, 0 ) << out;
	EXPECT_EQ( entries( work ), ( std::vector< std::string >{ "A.pdb", "A_001.pdb", "A_002.pdb", "A_003.pdb", "A_004.pdb",
		                            "A_005.pdb", "FFTlog.txt" } ) );
	std::vector< std::string > const log = lines_of( work + "/FFTlog.txt" );
	ASSERT_FALSE( log.empty() );
	EXPECT_NE( log.back().find( "Rasterseek> time:" ), std::string::npos );
	std::vector< std::string > const in = lines_of( work + "/A.pdb" );
	for ( int k = 1; k <= 5; ++k ) {
		std::vector< std::string > const res = lines_of( work + "/A_00" + std::to_string( k ) + ".pdb" );
		ASSERT_EQ( res.size(), in.size() ) << k;
		for ( std::size_t l = 0; l < in.size(); ++l ) {
			if ( in[ l ].compare( 0, 4, "ATOM" ) != 0 ) {
				EXPECT_EQ( res[ l ], in[ l ] );
				continue;
			}
			EXPECT_EQ( res[ l ].substr( 0, 30 ), in[ l ].substr( 0, 30 ) );
			EXPECT_EQ( res[ l ].substr( 54 ), in[ l ].substr( 54 ) );
		}
	}
	EXPECT_LT( ca_rmsd( work + "/A_001.pdb" ), 1.0 );
	EXPECT_GT( ca_rmsd( work + "/A_002.pdb" ), 2.0 );
}
