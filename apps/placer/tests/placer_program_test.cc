// The Placer program from its command line: help, options, result files,
// exit status and the messages of failed runs.
#include "fitting/tests/synthetic_model.hh"
#include "testsupport/test_data.hh"
#include "tools/SimulatedMap.hh"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/wait.h>

namespace {

struct RunResult {
	int status = -1;
	std::string out;
};

// Runs build/bin/Placer with the given argument text (already quoted) in dir.
RunResult run_placer( std::string const& dir, std::string const& args, std::string const& program = "Placer" )
{
	std::string const cmd = "cd '" + dir + "' && '" + quilt_test::bin_dir() + "/" + program + "' " + args + " 2>&1";
	RunResult r;
	FILE* p = ::popen( cmd.c_str(), "r" );
	if ( !p ) return r;
	char buf[4096];
	size_t n;
	while ( ( n = std::fread( buf, 1, sizeof buf, p ) ) > 0 ) r.out.append( buf, n );
	int const st = ::pclose( p );
	r.status = WIFEXITED( st ) ? WEXITSTATUS( st ) : -1;
	return r;
}

class PlacerProgram : public testing::Test {
protected:
	static void SetUpTestSuite()
	{
		dir_ = new quilt_test::ScratchDir( "placerprog" );
		truth_ = synth::make_model();
		std::vector<SimAtom> sim;
		for ( synth::Atom const& a : truth_ ) sim.push_back( { a.p[0], a.p[1], a.p[2], element_weight( a.name.substr( 0, 1 ) ) } );
		write_mrc( dir_->file( "map.mrc" ), simulate_density( sim, 6.0, 2.0, 14.0 ) );
		double const t[3] = { -9.0, 6.0, 8.0 };
		synth::write_pdb( dir_->file( "model.pdb" ), synth::moved( truth_, 2.5, 1.9, 0.8, t ) );
	}
	static void TearDownTestSuite()
	{
		delete dir_;
		dir_ = nullptr;
	}
	void SetUp() override
	{
		ASSERT_TRUE( quilt_test::path_exists( quilt_test::bin_dir() + "/Placer" ) ) << "build the Placer program first";
		// Each test starts without result files.
		for ( int k = 1; k <= 6; ++k ) std::remove( dir_->file( "model_" + std::to_string( k ) + ".pdb" ).c_str() );
	}
	static int result_files()
	{
		int k = 0;
		while ( quilt_test::path_exists( dir_->file( "model_" + std::to_string( k + 1 ) + ".pdb" ) ) ) ++k;
		return k;
	}
	static std::vector<std::vector<double> > true_ca()
	{
		std::vector<std::vector<double> > ca;
		for ( synth::Atom const& a : truth_ )
			if ( a.name == "CA" ) ca.push_back( { a.p[0], a.p[1], a.p[2] } );
		return ca;
	}
	static quilt_test::ScratchDir* dir_;
	static std::vector<synth::Atom> truth_;
};

quilt_test::ScratchDir* PlacerProgram::dir_ = nullptr;
std::vector<synth::Atom> PlacerProgram::truth_;

TEST_F( PlacerProgram, TooFewArgumentsShowTheHelp )
{
	RunResult r = run_placer( dir_->path(), "map.mrc model.pdb" );
	EXPECT_EQ( r.status, 0 );
	EXPECT_NE( r.out.find( " * An algorithm for model and density map matching                 *" ), std::string::npos );
	EXPECT_NE( r.out.find( " map model resolution [Options]\n" ), std::string::npos );
	EXPECT_NE( r.out.find( "       -nm   number of positions explored, default: 1 \n" ), std::string::npos );
	EXPECT_NE( r.out.find( "        'dc' shoule be in (0,1), recommend: 0.005\n" ), std::string::npos );
	EXPECT_EQ( result_files(), 0 );
}

TEST_F( PlacerProgram, ThreeArgumentsFitAndWriteOneFile )
{
	RunResult r = run_placer( dir_->path(), "map.mrc model.pdb 6" );
	ASSERT_EQ( r.status, 0 ) << r.out;
	EXPECT_EQ( result_files(), 1 );
	EXPECT_NE( r.out.find( "Placer> Search extent: " ), std::string::npos );
	EXPECT_NE( r.out.find( "Placer> RSCC of model_1: " ), std::string::npos );
	EXPECT_LT( synth::ca_rmsd( synth::read_ca( dir_->file( "model_1.pdb" ) ), true_ca() ), 1.0 ) << r.out;
}

TEST_F( PlacerProgram, FirstOccurrenceOfAnOptionWinsAndQuietSwitches )
{
	RunResult r = run_placer( dir_->path(), "map.mrc model.pdb 6 -nm 2 -sl 0 -rc 0 -nm 4" );
	ASSERT_EQ( r.status, 0 ) << r.out;
	EXPECT_EQ( result_files(), 2 );
	EXPECT_EQ( r.out.find( "Placer> Search extent: " ), std::string::npos );
	EXPECT_EQ( r.out.find( "RSCC of" ), std::string::npos );
	EXPECT_NE( r.out.find( "Placer> Fit 'model' into the density map" ), std::string::npos );
	EXPECT_NE( r.out.find( "Placer> time: " ), std::string::npos );
}

TEST_F( PlacerProgram, TrailingOptionWithoutValueKeepsTheDefault )
{
	RunResult r = run_placer( dir_->path(), "map.mrc model.pdb 6 -sl 0 -nm" );
	ASSERT_EQ( r.status, 0 ) << r.out;
	EXPECT_EQ( result_files(), 1 );
}

TEST_F( PlacerProgram, BadInputsFailWithAMessageAndNoFiles )
{
	struct Case {
		char const* args;
		char const* message;
	} const cases[] = {
		{ "absent.mrc model.pdb 6", "Error! Cannot read the density map" },
		{ "map.mrc absent.pdb 6", "Error! Cannot read the model file" },
		{ "model.pdb model.pdb 6", "Error!" },      // a model is no map
		{ "map.mrc model.pdb 6 -nm 0", "Error! -nm must be at least 1" },
		{ "map.mrc model.pdb 6 -nm -3", "Error! -nm must be at least 1" },
		{ "map.mrc map.mrc 6", "Error! No residues" },
		{ "map.mrc . 6", "Error! No residues" },          // a directory as model
		{ ". model.pdb 6", "could not be loaded" },        // a directory as map
	};
	for ( Case const& c : cases ) {
		RunResult r = run_placer( dir_->path(), c.args );
		EXPECT_NE( r.status, 0 ) << c.args << "\n" << r.out;
		EXPECT_NE( r.out.find( c.message ), std::string::npos ) << c.args << "\n" << r.out;
		EXPECT_EQ( result_files(), 0 ) << c.args;
	}
}

} // namespace
