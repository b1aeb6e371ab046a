// The Placer program from its command line: help, options, result files,
// exit status and the messages of failed runs.
#include "fitting/tests/synthetic_model.hh"
#include "testsupport/test_data.hh"
#include "tools/SimulatedMap.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct RunResult {
	int status = -1;
	std::string out;
};

// Runs build/bin/Placer with the given argument text (already quoted) in
// dir, behind the command prefix `as` (another user) when given.
RunResult run_placer( std::string const& dir, std::string const& args, std::string const& program = "Placer",
	std::string const& as = "" )
{
	std::string const cmd = "cd '" + dir + "' && " + as + "'" + quilt_test::bin_dir() + "/" + program + "' " + args + " 2>&1";
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
	// Without arguments: the usage text alone, status 0.
	RunResult r = run_placer( dir_->path(), "" );
	EXPECT_EQ( r.status, 0 );
	EXPECT_NE( r.out.find( " * An algorithm for model and density map matching                 *" ), std::string::npos );
	EXPECT_NE( r.out.find( " map model resolution [Options]\n" ), std::string::npos );
	EXPECT_NE( r.out.find( "       -nm   number of positions explored, default: 1 \n" ), std::string::npos );
	EXPECT_NE( r.out.find( "        'dc' shoule be in (0,1), recommend: 0.005\n" ), std::string::npos );
	EXPECT_EQ( r.out.find( "Error!" ), std::string::npos ) << r.out;
	EXPECT_EQ( result_files(), 0 );
	// Some but not all required arguments ended with the usage text and
	// status 0, as if nothing had been asked: now the usage text, a line
	// naming what is missing, and status 1.
	struct Case {
		char const* args;
		char const* message;
	} const cases[] = {
		{ "map.mrc model.pdb", "Error! Missing required argument: the resolution.\n" },
		{ "map.mrc", "Error! Missing required arguments: the model and the resolution.\n" },
		{ "map.mrc model.pdb -nm 2", "Error! Missing required argument: the resolution.\n" },
		{ "-nm 2", "Error! Missing required arguments: the density map, the model and the resolution.\n" },
	};
	for ( Case const& c : cases ) {
		r = run_placer( dir_->path(), c.args );
		EXPECT_EQ( r.status, 1 ) << c.args << "\n" << r.out;
		EXPECT_NE( r.out.find( " map model resolution [Options]\n" ), std::string::npos ) << c.args << "\n" << r.out;
		size_t const usage_end = r.out.find( "recommend: 0.005\n" );
		size_t const error = r.out.find( c.message );
		EXPECT_NE( error, std::string::npos ) << c.args << "\n" << r.out;
		EXPECT_LT( usage_end, error ) << c.args << "\n" << r.out;
		EXPECT_EQ( result_files(), 0 ) << c.args;
	}
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

TEST_F( PlacerProgram, TrailingOptionWithoutValueIsRefused )
{
	// A trailing "-nm" was passed over and the fit ran with the default.
	RunResult r = run_placer( dir_->path(), "map.mrc model.pdb 6 -sl 0 -nm" );
	EXPECT_EQ( r.status, 1 ) << r.out;
	EXPECT_NE( r.out.find( "Error! The option -nm needs a value; no model written." ), std::string::npos ) << r.out;
	EXPECT_EQ( r.out.find( "Placer> Fit '" ), std::string::npos ) << r.out;
	EXPECT_EQ( result_files(), 0 );
	// An option in the place of the value: the value is missing, and the
	// next option's value is no unexpected argument.
	r = run_placer( dir_->path(), "map.mrc model.pdb 6 -nm -rc 0" );
	EXPECT_EQ( r.status, 1 ) << r.out;
	EXPECT_NE( r.out.find( "Error! The option -nm needs a value; no model written.\n" ), std::string::npos ) << r.out;
	EXPECT_EQ( r.out.find( "Unexpected argument" ), std::string::npos ) << r.out;
	EXPECT_EQ( result_files(), 0 );
	// A negative value is a value: it is refused as one.
	r = run_placer( dir_->path(), "map.mrc model.pdb 6 -nm -2" );
	EXPECT_EQ( r.status, 1 ) << r.out;
	EXPECT_NE( r.out.find( "Error! -nm must be at least 1 and at most 1000000 (got -2); no model written.\n" ),
		std::string::npos ) << r.out;
	EXPECT_EQ( result_files(), 0 );
}

TEST_F( PlacerProgram, UnknownOptionsAndStrayArgumentsAreRefused )
{
	// A misspelt option ("-rcs" for Quilter's "-rsc"), an unknown one, a
	// word or a number where an option belongs: all were passed over and the
	// fit ran with the defaults, status 0.
	struct Case {
		char const* args;
		char const* message;
	} const cases[] = {
		{ "-rcs 0.3", "Error! Unknown option '-rcs'; the options are -gw, -dc, -nm, -sl and -rc; no model written." },
		{ "-foo 1", "Error! Unknown option '-foo'; the options are -gw, -dc, -nm, -sl and -rc; no model written." },
		{ "extra", "Error! Unexpected argument 'extra': after the map, the model and the resolution only options with "
		           "their values may follow; no model written." },
		{ "-sl 0 7", "Error! Unexpected argument '7'" },
		{ "-5", "Error! Unexpected argument '-5'" },
		{ "-nm abc", "Error! -nm must be a whole number (got 'abc')" },
	};
	for ( Case const& c : cases ) {
		RunResult r = run_placer( dir_->path(), std::string( "map.mrc model.pdb 6 " ) + c.args );
		EXPECT_EQ( r.status, 1 ) << c.args << "\n" << r.out;
		EXPECT_NE( r.out.find( c.message ), std::string::npos ) << c.args << "\n" << r.out;
		EXPECT_EQ( r.out.find( "Placer> Fit '" ), std::string::npos ) << c.args << "\n" << r.out;
		EXPECT_EQ( result_files(), 0 ) << c.args;
	}
}

TEST_F( PlacerProgram, EveryOccurrenceOfARepeatedOptionIsChecked )
{
	// Only the first occurrence was read: "-nm 2 -nm abc" ran with two models
	// and said nothing of the "abc".  Every occurrence has to hold a value
	// the option accepts; the refused one is named, nothing is searched and
	// nothing written.
	struct Case {
		char const* args;
		char const* message;
	} const cases[] = {
		{ "-nm 2 -nm abc", "Error! -nm must be a whole number (got 'abc'); no model written.\n" },
		{ "-nm 2 -sl 0 -nm 0", "Error! -nm must be at least 1 and at most 1000000 (got 0); no model written.\n" },
		{ "-nm 2 -nm 3 -nm 2.5", "Error! -nm must be a whole number (got '2.5'); no model written.\n" },
		{ "-dc 0 -dc 0.05x", "Error! -dc must be a finite number (got '0.05x'); no model written.\n" },
		{ "-gw 0 -gw nan", "Error! -gw must be a finite number (got 'nan'); no model written.\n" },
		{ "-sl 0 -sl no", "Error! -sl must be a whole number (got 'no'); no model written.\n" },
		{ "-rc 0 -nm 1 -rc yes", "Error! -rc must be a whole number (got 'yes'); no model written.\n" },
		// Of two refused values of one option, the first is named.
		{ "-nm x -nm y", "Error! -nm must be a whole number (got 'x'); no model written.\n" },
	};
	for ( Case const& c : cases ) {
		RunResult r = run_placer( dir_->path(), std::string( "map.mrc model.pdb 6 " ) + c.args );
		EXPECT_EQ( r.status, 1 ) << c.args << "\n" << r.out;
		EXPECT_EQ( r.out, c.message ) << c.args;
		EXPECT_EQ( result_files(), 0 ) << c.args;
	}
	// Good values throughout: the first occurrence is the one used.
	RunResult r = run_placer( dir_->path(), "map.mrc model.pdb 6 -sl 0 -rc 0 -nm 1 -nm 3" );
	EXPECT_EQ( r.status, 0 ) << r.out;
	EXPECT_EQ( result_files(), 1 ) << r.out;
}

// A model whose first chain (A) lacks the CA of its last `tail` residues and
// also of residue `middle` (none when 0), with a "TER" after residue
// `breakAfter` inside the chain when not 0 (a chain break, as deposited
// files have), then "TER" and a second chain B of all `second` residues.
// Returns the number of atom lines of chain A.
int write_two_chains( std::string const& path, std::vector<synth::Atom> const& atoms, int tail, int middle,
	int breakAfter, std::vector<synth::Atom> const& second )
{
	int const last = atoms.back().res;
	std::ostringstream os;
	char line[128];
	int serial = 0, firstChain = 0;
	auto put = [&]( synth::Atom const& a, char chain ) {
		std::string const field = " " + a.name + std::string( 3 - a.name.size(), ' ' );
		std::snprintf( line, sizeof line, "ATOM  %5d %4s ALA %c%4d    %8.3f%8.3f%8.3f  1.00 20.00           %c",
			++serial, field.c_str(), chain, a.res, a.p[0], a.p[1], a.p[2], a.name[0] );
		os << line << "\n";
	};
	for ( size_t i = 0; i < atoms.size(); ++i ) {
		synth::Atom const& a = atoms[i];
		bool const noCA = a.res > last - tail || a.res == middle;
		if ( a.name == "CA" && noCA ) continue;
		put( a, 'A' );
		++firstChain;
		if ( a.res == breakAfter && ( i + 1 == atoms.size() || atoms[i + 1].res != a.res ) ) os << "TER\n";
	}
	os << "TER\n";
	for ( synth::Atom const& a : second ) put( a, 'B' );
	os << "TER\nEND\n";
	std::ofstream( path.c_str() ) << os.str();
	return firstChain;
}

// The directory of the fixture as Placer names it (links resolved).
std::string real_dir( std::string const& dir )
{
	char* p = ::realpath( dir.c_str(), nullptr );
	std::string const out = p ? p : dir;
	std::free( p );
	return out;
}

TEST_F( PlacerProgram, CaLessResiduesAtTheEndOfAFirstChainFollowedByAnotherAreCountedOnce )
{
	// A first chain whose last ten residues have no CA, then a second chain:
	// the warning counted the ten, and the note counted the fitted residues
	// as the model reader keeps them, the ten as one residue of their own,
	// so that the two lines made one residue more than the chain has.  Both
	// now count the file's residues: fitted and left out make up the chain.
	// The second chain (all of its residues with a CA) must not end the
	// count of the first either: a count that runs on past the "TER" into it
	// finds CA atoms there and loses the warning.
	double const shiftA[3] = { -9.0, 6.0, 8.0 }, shiftB[3] = { 40.0, 0.0, 0.0 };
	std::vector<synth::Atom> const chainA = synth::moved( truth_, 2.5, 1.9, 0.8, shiftA );
	int const residues = truth_.back().res; // 65, numbered from 1
	std::vector<synth::Atom> const chainB = synth::moved( truth_, 0.4, 0.2, 0.1, shiftB );
	int const atomsB = (int)chainB.size();
	std::string const dir = real_dir( dir_->path() );
	struct Case {
		char const* file;
		int tail, middle, breakAfter;
		char const* missed; // the reader's line for the first CA-less residue
	} const cases[] = {
		{ "tail10.pdb", 10, 0, 0, "Error! CA atom is missed in residue 56\n" },
		// A chain break inside the first chain does not end it.
		{ "tail10_break.pdb", 10, 0, 30, "Error! CA atom is missed in residue 56\n" },
		// A CA-less residue in the middle is read (and fitted) with the next.
		{ "tail10_middle.pdb", 10, 30, 0, "Error! CA atom is missed in residue 30\n" },
		{ "tail1.pdb", 1, 0, 0, nullptr },
		{ "whole.pdb", 0, 0, 0, nullptr },
	};
	for ( Case const& c : cases ) {
		int const atomsA = write_two_chains( dir_->file( c.file ), chainA, c.tail, c.middle, c.breakAfter, chainB );
		RunResult r = run_placer( dir_->path(), std::string( "map.mrc " ) + c.file + " 6 -sl 0 -rc 0" );
		EXPECT_EQ( r.status, 0 ) << c.file << "\n" << r.out;
		std::string const warning = "Warning! " + std::to_string( c.tail ) + " residues without a CA atom are left out of the fit.\n";
		std::string const note = "Placer> Note: only the " + std::to_string( atomsA ) + " atoms of the first chain of " + dir
		                         + "/" + c.file + " (" + std::to_string( residues - c.tail )
		                         + " residues) are fitted; the other " + std::to_string( atomsB )
		                         + " atom lines after it are moved with them as one rigid body.\n";
		size_t const at = r.out.find( note );
		EXPECT_NE( at, std::string::npos ) << c.file << "\n" << r.out;
		if ( c.tail > 0 ) {
			size_t const w = r.out.find( warning );
			EXPECT_NE( w, std::string::npos ) << c.file << "\n" << r.out;
			EXPECT_LT( w, at ) << c.file << "\n" << r.out; // the warning, then the note
			EXPECT_EQ( r.out.find( "Warning!", w + 1 ), std::string::npos ) << c.file << "\n" << r.out;
		} else {
			EXPECT_EQ( r.out.find( "Warning!" ), std::string::npos ) << c.file << "\n" << r.out;
		}
		if ( c.missed ) {
			EXPECT_NE( r.out.find( c.missed ), std::string::npos ) << c.file << "\n" << r.out;
		}
		std::string const result = std::string( c.file ).substr( 0, std::strlen( c.file ) - 4 ) + "_1.pdb";
		EXPECT_TRUE( quilt_test::path_exists( dir_->file( result ) ) ) << c.file << "\n" << r.out;
	}
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
		{ "map.mrc . 6", "is not a regular file" },        // a directory as model
		{ ". model.pdb 6", "is not a regular file" },      // a directory as map
	};
	for ( Case const& c : cases ) {
		RunResult r = run_placer( dir_->path(), c.args );
		EXPECT_NE( r.status, 0 ) << c.args << "\n" << r.out;
		EXPECT_NE( r.out.find( c.message ), std::string::npos ) << c.args << "\n" << r.out;
		EXPECT_EQ( result_files(), 0 ) << c.args;
	}
}

// The model file's lines, with line `index` (0-based, an ATOM line) changed by `edit`.
std::string edited_model( std::string const& path, int index, std::string ( *edit )( std::string const& ) )
{
	std::ifstream in( path.c_str() );
	std::string text, line;
	for ( int i = 0; std::getline( in, line ); ++i ) text += ( i == index ? edit( line ) : line ) + "\n";
	return text;
}

void write_text( std::string const& path, std::string const& text )
{
	std::ofstream out( path.c_str() );
	out << text;
}

TEST_F( PlacerProgram, AtomLineTooShortForCoordinatesIsRefused )
{
	// A 50-character ATOM line read as 0, 0, 0 and was written back unmoved
	// while the rest of the model moved.  Refused, naming the line.
	write_text( dir_->file( "short.pdb" ), edited_model( dir_->file( "model.pdb" ), 40,
		[]( std::string const& l ) { return l.substr( 0, 50 ); } ) );
	RunResult r = run_placer( dir_->path(), "map.mrc short.pdb 6" );
	EXPECT_EQ( r.status, 1 ) << r.out;
	EXPECT_NE( r.out.find( "line 41 (" ), std::string::npos ) << r.out;
	EXPECT_NE( r.out.find( "too short to hold coordinates" ), std::string::npos ) << r.out;
	EXPECT_FALSE( quilt_test::path_exists( dir_->file( "short_1.pdb" ) ) );
}

TEST_F( PlacerProgram, NonFiniteCoordinatesAreRefused )
{
	// "nan" or "inf" in a coordinate reached the score (undefined behaviour)
	// and every output coordinate came out "nan" with status 0.
	struct Case {
		char const* name;
		std::string ( *edit )( std::string const& );
	} const cases[] = {
		{ "nan", []( std::string const& l ) { return l.substr( 0, 38 ) + "     nan" + l.substr( 46 ); } },
		{ "inf", []( std::string const& l ) { return l.substr( 0, 46 ) + "    -inf" + l.substr( 54 ); } },
		{ "blank", []( std::string const& l ) { return l.substr( 0, 30 ) + "        " + l.substr( 38 ); } },
	};
	for ( Case const& c : cases ) {
		write_text( dir_->file( "bad.pdb" ), edited_model( dir_->file( "model.pdb" ), 7, c.edit ) );
		RunResult r = run_placer( dir_->path(), "map.mrc bad.pdb 6" );
		EXPECT_EQ( r.status, 1 ) << c.name << "\n" << r.out;
		EXPECT_NE( r.out.find( "line 8 (" ), std::string::npos ) << c.name << "\n" << r.out;
		EXPECT_NE( r.out.find( "that is not a finite number" ), std::string::npos ) << c.name << "\n" << r.out;
		EXPECT_FALSE( quilt_test::path_exists( dir_->file( "bad_1.pdb" ) ) ) << c.name;
	}
}

TEST_F( PlacerProgram, MapWithoutPositiveDensityIsRefused )
{
	// All zero, all NaN or negated: nothing to fit into.  The unsearched
	// placeholder pose used to be written with RSCC 0 and status 0.
	SimulatedMap base;
	for ( int a = 0; a < 3; ++a ) base.n[a] = 20;
	base.voxel = 2.0;
	base.data.assign( 8000, 0.0f );
	std::vector<SimAtom> sim;
	for ( synth::Atom const& a : truth_ ) sim.push_back( { a.p[0], a.p[1], a.p[2], element_weight( a.name.substr( 0, 1 ) ) } );
	SimulatedMap negated = simulate_density( sim, 6.0, 2.0, 14.0 );
	for ( float& v : negated.data ) v = -v;
	SimulatedMap nan = base;
	for ( float& v : nan.data ) v = std::nanf( "" );
	write_mrc( dir_->file( "zero.mrc" ), base );
	write_mrc( dir_->file( "nan.mrc" ), nan );
	write_mrc( dir_->file( "negated.mrc" ), negated );
	for ( char const* map : { "zero.mrc", "nan.mrc", "negated.mrc" } ) {
		RunResult r = run_placer( dir_->path(), std::string( map ) + " model.pdb 6 -sl 0" );
		EXPECT_EQ( r.status, 1 ) << map << "\n" << r.out;
		EXPECT_NE( r.out.find( "has no positive density" ), std::string::npos ) << map << "\n" << r.out;
		EXPECT_EQ( result_files(), 0 ) << map;
	}
	// A threshold above every value: no voxel to search from.
	RunResult r = run_placer( dir_->path(), "map.mrc model.pdb 6 -sl 0 -dc 1e6" );
	EXPECT_EQ( r.status, 1 ) << r.out;
	EXPECT_NE( r.out.find( "lies above the threshold" ), std::string::npos ) << r.out;
	EXPECT_EQ( result_files(), 0 );
}

TEST_F( PlacerProgram, PoseCountBeyondTheSearchWritesOnlySearchedPoses )
{
	// -nm far beyond the poses the search makes: only searched poses are
	// written, numbered from 1 without a gap, with a note saying how many;
	// the run does not grow with -nm (it used to write 100000 files, most of
	// them copies of the unsearched placeholder pose).
	RunResult r = run_placer( dir_->path(), "map.mrc model.pdb 6 -sl 0 -nm 100000" );
	ASSERT_EQ( r.status, 0 ) << r.out;
	int k = 0;
	while ( quilt_test::path_exists( dir_->file( "model_" + std::to_string( k + 1 ) + ".pdb" ) ) ) ++k;
	EXPECT_GE( k, 1 );
	EXPECT_LT( k, 1000 );
	EXPECT_NE( r.out.find( "Placer> Note: the search found " + std::to_string( k ) + " distinct pose" ), std::string::npos )
		<< r.out;
	EXPECT_NE( r.out.find( "; " + std::to_string( k ) + " of the 100000 models asked for written." ), std::string::npos )
		<< r.out;
	// One correlation line per file, each pose overlapping the density.
	size_t at = 0;
	int lines = 0;
	while ( ( at = r.out.find( "Placer> RSCC of model_", at ) ) != std::string::npos ) {
		size_t const colon = r.out.find( ": ", at );
		EXPECT_GT( std::atof( r.out.c_str() + colon + 2 ), 0.0 ) << r.out.substr( at, 60 );
		++lines;
		++at;
	}
	EXPECT_EQ( lines, k );
	EXPECT_LT( synth::ca_rmsd( synth::read_ca( dir_->file( "model_1.pdb" ) ), true_ca() ), 1.0 );
	// Distinct poses: no file repeats another.
	for ( int i = 1; i <= k; ++i )
		for ( int j = i + 1; j <= k; ++j )
			EXPECT_GT( synth::ca_rmsd( synth::read_ca( dir_->file( "model_" + std::to_string( i ) + ".pdb" ) ),
				           synth::read_ca( dir_->file( "model_" + std::to_string( j ) + ".pdb" ) ) ), 1.0 ) << i << " " << j;
	for ( int i = 1; i <= k + 1; ++i ) std::remove( dir_->file( "model_" + std::to_string( i ) + ".pdb" ).c_str() );
}

TEST_F( PlacerProgram, ResolutionMustBeAFinitePositiveNumber )
{
	// Text, NaN, infinity, zero and negative numbers were taken (NaN ran 35-50
	// times slower, infinity fitted 15 A off).  Refused; above 50 A a warning.
	for ( char const* reso : { "abc", "6x", "nan", "inf", "-inf", "0", "-6", "" } ) {
		RunResult r = run_placer( dir_->path(), std::string( "map.mrc model.pdb '" ) + reso + "' -sl 0" );
		EXPECT_EQ( r.status, 1 ) << reso << "\n" << r.out;
		EXPECT_NE( r.out.find( "Error! The resolution must be a " ), std::string::npos ) << reso << "\n" << r.out;
		EXPECT_EQ( result_files(), 0 ) << reso;
	}
	RunResult r = run_placer( dir_->path(), "map.mrc model.pdb 60 -sl 0" );
	EXPECT_EQ( r.status, 0 ) << r.out;
	EXPECT_NE( r.out.find( "Warning! A resolution of 60 A is very low (above 50 A)." ), std::string::npos ) << r.out;
	EXPECT_EQ( result_files(), 1 );
}

TEST_F( PlacerProgram, ModelGivenThroughASymbolicLinkIsWrittenBesideTheLink )
{
	// Results went beside the link's target under the target's name.
	quilt_test::ScratchDir other( "placerlink" );
	std::ifstream in( dir_->file( "model.pdb" ).c_str() );
	std::stringstream text;
	text << in.rdbuf();
	write_text( other.file( "target.pdb" ), text.str() );
	std::remove( dir_->file( "link.pdb" ).c_str() );
	ASSERT_EQ( ::symlink( other.file( "target.pdb" ).c_str(), dir_->file( "link.pdb" ).c_str() ), 0 );
	RunResult r = run_placer( dir_->path(), "map.mrc link.pdb 6 -sl 0" );
	ASSERT_EQ( r.status, 0 ) << r.out;
	EXPECT_TRUE( quilt_test::path_exists( dir_->file( "link_1.pdb" ) ) ) << r.out;
	EXPECT_FALSE( quilt_test::path_exists( other.file( "target_1.pdb" ) ) );
	EXPECT_FALSE( quilt_test::path_exists( dir_->file( "target_1.pdb" ) ) );
	EXPECT_NE( r.out.find( "Placer> Fit 'link' into the density map" ), std::string::npos ) << r.out;
	// The same through an absolute path to the link.
	std::remove( dir_->file( "link_1.pdb" ).c_str() );
	r = run_placer( other.path(), "'" + dir_->file( "map.mrc" ) + "' '" + dir_->file( "link.pdb" ) + "' 6 -sl 0" );
	ASSERT_EQ( r.status, 0 ) << r.out;
	EXPECT_TRUE( quilt_test::path_exists( dir_->file( "link_1.pdb" ) ) ) << r.out;
	EXPECT_FALSE( quilt_test::path_exists( other.file( "target_1.pdb" ) ) );
	std::remove( dir_->file( "link_1.pdb" ).c_str() );
	std::remove( dir_->file( "link.pdb" ).c_str() );
}

TEST_F( PlacerProgram, UnwritableModelDirectoryIsReportedBeforeTheSearch )
{
	// The model's directory cannot be written: said at once, before the map
	// is loaded or searched (it used to come after the whole fit).  Run as
	// an unprivileged user, since root writes anywhere.
	quilt_test::ScratchDir ro( "placerro" );
	ASSERT_EQ( ::chmod( ro.path().c_str(), 0755 ), 0 );
	std::ifstream in( dir_->file( "model.pdb" ).c_str() );
	std::stringstream text;
	text << in.rdbuf();
	write_text( ro.file( "model.pdb" ), text.str() );
	std::ifstream m( dir_->file( "map.mrc" ).c_str(), std::ios::binary );
	std::ofstream mo( ro.file( "map.mrc" ).c_str(), std::ios::binary );
	mo << m.rdbuf();
	mo.close();
	std::string prefix;
	if ( ::geteuid() == 0 ) {
		if ( !quilt_test::path_exists( "/usr/bin/setpriv" ) ) GTEST_SKIP() << "running as root without setpriv";
		prefix = "/usr/bin/setpriv --reuid=65534 --regid=65534 --clear-groups ";
	}
	ASSERT_EQ( ::chmod( ro.path().c_str(), 0555 ), 0 );
	RunResult r = run_placer( ro.path(), "map.mrc model.pdb 6", "Placer", prefix );
	::chmod( ro.path().c_str(), 0755 );
	if ( r.out.find( "Permission denied" ) != std::string::npos && r.out.find( "Error! Cannot write" ) == std::string::npos )
		GTEST_SKIP() << "the unprivileged user cannot run the program here: " << r.out;
	EXPECT_EQ( r.status, 1 ) << r.out;
	EXPECT_NE( r.out.find( "Error! Cannot write in the model's directory " + ro.path() ), std::string::npos ) << r.out;
	EXPECT_EQ( r.out.find( "ReadMrc>" ), std::string::npos ) << r.out;
	EXPECT_EQ( r.out.find( "Placer> Fit '" ), std::string::npos ) << r.out;
	EXPECT_FALSE( quilt_test::path_exists( ro.file( "model_1.pdb" ) ) );
}

TEST_F( PlacerProgram, OptionValuesMustBeWholeNumbersInRange )
{
	// "-nm 3x" was taken as 3, "-nm 2.9" as 2, "-nm 1e6" as 1; a value beyond
	// the range said "must be at least 1".
	struct Case {
		char const* args;
		char const* message;
	} const cases[] = {
		{ "-nm 3x", "Error! -nm must be a whole number (got '3x')" },
		{ "-nm 2.9", "Error! -nm must be a whole number (got '2.9')" },
		{ "-nm 1e6", "Error! -nm must be a whole number (got '1e6')" },
		{ "-nm ''", "Error! -nm must be a whole number (got '')" },
		{ "-nm 99999999999", "Error! -nm must be at least 1 and at most 1000000 (got 99999999999)" },
		{ "-nm 99999999999999999999999", "Error! -nm must be at least 1 and at most 1000000" },
		{ "-sl 1.5", "Error! -sl must be a whole number (got '1.5')" },
		{ "-rc yes", "Error! -rc must be a whole number (got 'yes')" },
		{ "-dc 0.05x", "Error! -dc must be a finite number (got '0.05x')" },
		{ "-gw nan", "Error! -gw must be a finite number (got 'nan')" },
	};
	for ( Case const& c : cases ) {
		RunResult r = run_placer( dir_->path(), std::string( "map.mrc model.pdb 6 " ) + c.args );
		EXPECT_EQ( r.status, 1 ) << c.args << "\n" << r.out;
		EXPECT_NE( r.out.find( c.message ), std::string::npos ) << c.args << "\n" << r.out;
		EXPECT_EQ( result_files(), 0 ) << c.args;
	}
	// Whole numbers with a sign are fine.
	RunResult r = run_placer( dir_->path(), "map.mrc model.pdb 6 -nm +2 -sl -0 -dc 0.0" );
	EXPECT_EQ( r.status, 0 ) << r.out;
	EXPECT_EQ( result_files(), 2 );
}

// The bytes of a file.
std::string file_bytes( std::string const& path )
{
	std::ifstream in( path.c_str(), std::ios::binary );
	std::stringstream text;
	text << in.rdbuf();
	return text.str();
}

// The fixture's map with header word `word` (counted from 1) set to the
// four bytes of v.
template <class T>
void write_patched_map( std::string const& from, std::string const& to, std::vector<std::pair<int, T> > const& words )
{
	std::string bytes = file_bytes( from );
	for ( auto const& w : words ) std::memcpy( &bytes[4 * ( w.first - 1 )], &w.second, 4 );
	std::ofstream( to.c_str(), std::ios::binary ) << bytes;
}

TEST_F( PlacerProgram, OutputThatIsAnInputIsRefused )
{
	// "cp map.mrc model_1.pdb; Placer model_1.pdb model.pdb 6 -nm 2" wrote
	// the first fitted model over the map, status 0.  An output name that is
	// a symbolic link to the model, or a hard link to the map, did the same.
	std::string const map_bytes = file_bytes( dir_->file( "map.mrc" ) );
	std::string const model_bytes = file_bytes( dir_->file( "model.pdb" ) );
	std::ofstream( dir_->file( "model_1.pdb" ).c_str(), std::ios::binary ) << map_bytes;
	RunResult r = run_placer( dir_->path(), "model_1.pdb model.pdb 6 -nm 2 -sl 0" );
	EXPECT_EQ( r.status, 1 ) << r.out;
	EXPECT_NE( r.out.find( "Error! The output file " + dir_->file( "model_1.pdb" ) + " is the density map "
				   + dir_->file( "model_1.pdb" )
				   + " (the same file): writing a fitted model there would replace it; no model written." ),
		std::string::npos ) << r.out;
	EXPECT_EQ( r.out.find( "Placer> Fit '" ), std::string::npos ) << r.out;
	EXPECT_EQ( file_bytes( dir_->file( "model_1.pdb" ) ), map_bytes );
	EXPECT_FALSE( quilt_test::path_exists( dir_->file( "model_2.pdb" ) ) );
	std::remove( dir_->file( "model_1.pdb" ).c_str() );

	ASSERT_EQ( ::symlink( "model.pdb", dir_->file( "model_2.pdb" ).c_str() ), 0 );
	r = run_placer( dir_->path(), "map.mrc model.pdb 6 -nm 2 -sl 0" );
	EXPECT_EQ( r.status, 1 ) << r.out;
	EXPECT_NE( r.out.find( "Error! The output file " + dir_->file( "model_2.pdb" ) + " is the model file " ),
		std::string::npos ) << r.out;
	EXPECT_EQ( file_bytes( dir_->file( "model.pdb" ) ), model_bytes );
	EXPECT_FALSE( quilt_test::path_exists( dir_->file( "model_1.pdb" ) ) );
	std::remove( dir_->file( "model_2.pdb" ).c_str() );

	ASSERT_EQ( ::link( dir_->file( "map.mrc" ).c_str(), dir_->file( "model_1.pdb" ).c_str() ), 0 );
	r = run_placer( dir_->path(), "map.mrc model.pdb 6 -sl 0" );
	EXPECT_EQ( r.status, 1 ) << r.out;
	EXPECT_NE( r.out.find( " is the density map " ), std::string::npos ) << r.out;
	EXPECT_EQ( file_bytes( dir_->file( "map.mrc" ) ), map_bytes );
	std::remove( dir_->file( "model_1.pdb" ).c_str() );
}

TEST_F( PlacerProgram, UnreadableMapsSayWhy )
{
	// These maps ended with a bare "Non-real (32-bit float) data types are
	// unsupported" or "'MAP' string missing"; a huge NSYMBT or MX = 0 was
	// read with a warning where Quilter's reader refused the map; voxels of
	// 3.5e-6 A gave a model at "RSCC ... 0" and status 0.
	std::string const map = dir_->file( "map.mrc" );
	struct Case {
		std::string file;
		std::string message;
	};
	std::vector<Case> cases;
	for ( int mode : { 3, 6, 12, 101 } ) {
		std::string const f = dir_->file( "mode" + std::to_string( mode ) + ".mrc" );
		write_patched_map<int32_t>( map, f, { { 4, mode } } );
		cases.push_back( { f, "Error! Map " + f + " has MODE (word 4) " + std::to_string( mode ) + " (" } );
		cases.back().message += std::string( mode == 3 ? "complex 16-bit integers" : mode == 6 ? "unsigned 16-bit integers"
				: mode == 12 ? "16-bit floats" : "4-bit integers" )
			+ "), which is not supported; the supported mode is 2 (32-bit floats).";
	}
	std::string const gz = dir_->file( "gz.mrc" );
	if ( std::system( ( "gzip -c '" + map + "' > '" + gz + "' 2>/dev/null" ).c_str() ) != 0 ) {
		std::string bytes = file_bytes( map );
		bytes[0] = char( 0x1f );
		bytes[1] = char( 0x8b );
		std::ofstream( gz.c_str(), std::ios::binary ) << bytes;
	}
	cases.push_back( { gz, "Error! Map " + gz + " is gzip-compressed (it begins with the bytes 1f 8b); decompress it"
		" (gunzip) first.  Not loading map." } );
	std::string const nsym = dir_->file( "nsym.mrc" );
	write_patched_map<int32_t>( map, nsym, { { 24, 2147483647 } } );
	cases.push_back( { nsym, "Error! Map " + nsym + " gives NSYMBT (word 24) 2147483647 bytes of symmetry records" } );
	std::string const mx0 = dir_->file( "mx0.mrc" );
	write_patched_map<int32_t>( map, mx0, { { 8, 0 } } );
	cases.push_back( { mx0, "Error! Map " + mx0 + " has MX (word 8) 0; the interval counts must be at least 1." } );
	std::string const tiny = dir_->file( "tiny.mrc" );
	int32_t nx;
	std::memcpy( &nx, file_bytes( map ).data(), 4 );
	float const edge = float( nx * 3.5e-6 );
	write_patched_map<float>( map, tiny, { { 11, edge }, { 12, edge }, { 13, edge }, { 50, 0.f }, { 51, 0.f }, { 52, 0.f } } );
	cases.push_back( { tiny, "Error! Map " + tiny + " has voxels of 3.5e-06 A along X" } );
	// Two negative cell lengths give the cell matrix a positive determinant:
	// the map was taken mirrored and a model written with status 0.
	std::string const mirrored = dir_->file( "mirrored.mrc" );
	float len[3];
	std::memcpy( len, file_bytes( map ).data() + 40, sizeof len );
	write_patched_map<float>( map, mirrored, { { 11, -len[0] }, { 12, -len[1] } } );
	std::ostringstream mirrored_message;
	mirrored_message << "Error! Map " << mirrored << " has X length (word 11) " << -len[0]
		<< "; the cell lengths must be positive numbers.";
	cases.push_back( { mirrored, mirrored_message.str() } );
	for ( Case const& c : cases ) {
		RunResult r = run_placer( dir_->path(), "'" + c.file + "' model.pdb 6" );
		EXPECT_EQ( r.status, 1 ) << c.file << "\n" << r.out;
		EXPECT_NE( r.out.find( c.message ), std::string::npos ) << c.file << "\n" << r.out;
		EXPECT_NE( r.out.find( "Error! The density map " + c.file + " could not be loaded; no model written." ),
			std::string::npos ) << r.out;
		EXPECT_EQ( result_files(), 0 ) << c.file;
	}
}

TEST_F( PlacerProgram, PosesThatDoNotCorrelateWithTheMapAreNotWritten )
{
	// A 3 x 3 x 3 map of 20 A voxels: the fast score finds overlap, but no
	// CA of any pose lies near a voxel, so no pose correlates with the map;
	// the model was written with "RSCC of model_1: 0" and status 0.
	SimulatedMap coarse;
	for ( int a = 0; a < 3; ++a ) coarse.n[a] = 3;
	coarse.voxel = 20.0;
	coarse.data = { 0.13f, 0.85f, 0.76f, 0.26f, 0.50f, 0.45f, 0.65f, 0.79f, 0.09f, 0.03f, 0.84f, 0.43f, 0.76f, 0.00f,
		0.45f, 0.72f, 0.23f, 0.95f, 0.90f, 0.03f, 0.03f, 0.54f, 0.94f, 0.38f, 0.22f, 0.42f, 0.03f };
	write_mrc( dir_->file( "coarse.mrc" ), coarse );
	RunResult r = run_placer( dir_->path(), "coarse.mrc model.pdb 10 -nm 3" );
	EXPECT_EQ( r.status, 1 ) << r.out;
	EXPECT_NE( r.out.find( "Error! No searched pose of the model overlaps the density of " + dir_->file( "coarse.mrc" )
				   + "; no model written." ),
		std::string::npos ) << r.out;
	EXPECT_EQ( r.out.find( "RSCC of" ), std::string::npos ) << r.out;
	EXPECT_EQ( result_files(), 0 );
}

} // namespace
