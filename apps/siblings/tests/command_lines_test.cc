// The command lines of the sibling programs.  Each accepts every command
// line the assembly program builds for it (made here by the assembly
// program's own functions) and refuses, with an error line, status 1 and no
// file written, an unknown option, an option without its value, a value that
// is no number where one is needed and an argument beyond those it takes.
// Given some but not all of its required arguments, a program prints its
// usage and names what is missing; given none, its usage alone.
#include "apps/quilter/StartedPrograms.hh"
#include "apps/siblings/tests/small_fit_case.hh"

#include <gtest/gtest.h>

using namespace sibling_case;
namespace fs = std::filesystem;

namespace {

std::string const bindir = quilt_test::bin_dir() + "/";

struct Refusal {
	char const* name;
	char const* program;
	char const* arguments; // after the program, in the case directory
	char const* message;
};

void PrintTo( Refusal const& r, std::ostream* os ) { *os << r.program << r.arguments; }

// The input files every refused command line may name.
void lay_out_inputs( SmallFitCase const& c )
{
	fs::copy_file( c.chain, c.file( "A_mi1.pdb" ) );
	fs::copy_file( c.chain, c.file( "xxxx.pdb" ) );
}

template <class Case>
std::string case_name( testing::TestParamInfo<Case> const& info )
{
	return info.param.name;
}

class RefusedCommandLine : public testing::TestWithParam<Refusal> {};

Refusal const kRefusals[] = {
	// Unknown options.
	{ "PlacerRNA_unknown_option", "PlacerRNA", " map.mrc chain.pdb 6 -foo 1",
		"Error! Unknown option '-foo' (see the usage: run without arguments)." },
	{ "Lobetune_unknown_option", "Lobetune", " map.mrc chain.pdb 6 -nco 2", "Error! Unknown option '-nco'" },
	{ "Lobeplace_unknown_option", "Lobeplace", " . map.mrc 6 -in A_mi -on A_mo.pdb -tp all",
		"Error! Unknown option '-tp'" },
	{ "Rasterseek_unknown_option", "Rasterseek", " map.mrc chain.pdb A -res 6 -nm 2", "Error! Unknown option '-nm'" },
	{ "lobecut_unknown_option", "lobecut", " xxxxA -sl 0", "Error! Unknown option '-sl'" },
	// Options without their value: at the end, or followed by another option.
	{ "PlacerRNA_value_missing_at_the_end", "PlacerRNA", " map.mrc chain.pdb 6 -nm",
		"Error! The option -nm needs a value." },
	{ "PlacerRNA_value_missing_before_an_option", "PlacerRNA", " map.mrc chain.pdb 6 -tp -rc 0",
		"Error! The option -tp needs a value." },
	{ "Lobetune_value_missing_at_the_end", "Lobetune", " map.mrc chain.pdb 6 -on",
		"Error! The option -on needs a value." },
	{ "Lobeplace_value_missing_at_the_end", "Lobeplace", " . map.mrc 6 -in A_mi -on A_mo.pdb -nco",
		"Error! The option -nco needs a value." },
	{ "Lobeplace_value_missing_before_an_option", "Lobeplace", " . map.mrc 6 -in -on A_mo.pdb",
		"Error! The option -in needs a value." },
	{ "Rasterseek_value_missing_at_the_end", "Rasterseek", " map.mrc chain.pdb A -res 6 -explor",
		"Error! The option -explor needs a value." },
	// Values that are no number, or out of range.
	{ "PlacerRNA_count_not_a_number", "PlacerRNA", " map.mrc chain.pdb 6 -nm two",
		"Error! The value of -nm must be a whole number" },
	{ "PlacerRNA_resolution_not_a_number", "PlacerRNA", " map.mrc chain.pdb six",
		"Error! The resolution must be a number" },
	{ "Lobetune_threshold_not_a_number", "Lobetune", " map.mrc chain.pdb 6 -dc 0.1x",
		"Error! The value of -dc must be a number" },
	{ "Lobeplace_threads_out_of_range", "Lobeplace", " . map.mrc 6 -in A_mi -on A_mo.pdb -nco 0",
		"Error! The value of -nco must be a whole number" },
	{ "Lobeplace_iterate_not_a_number", "Lobeplace", " . map.mrc 6 -in A_mi -on A_mo.pdb -it yes",
		"Error! The value of -it must be a whole number" },
	{ "Rasterseek_threads_not_a_number", "Rasterseek", " map.mrc chain.pdb A -res 6 -nprocs many",
		"Error! -nprocs must be a whole number from 1 to 256" },
	// An option given more than once: every occurrence is checked, not the
	// first alone ("-nm 2 -nm abc" ran with two models and said nothing).
	{ "PlacerRNA_repeated_count_not_a_number", "PlacerRNA", " map.mrc chain.pdb 6 -nm 2 -nm abc",
		"Error! The value of -nm must be a whole number from 1 to 1000; got 'abc'.\n" },
	{ "PlacerRNA_repeated_switch_not_a_number", "PlacerRNA", " map.mrc chain.pdb 6 -rc 0 -sl 0 -rc yes",
		"Error! The value of -rc must be a whole number from -1000000 to 1000000; got 'yes'.\n" },
	{ "Lobetune_repeated_threshold_not_a_number", "Lobetune", " map.mrc chain.pdb 6 -dc 0 -dc nan",
		"Error! The value of -dc must be a number from -1e+30 to 1e+30; got 'nan'.\n" },
	{ "Lobetune_repeated_count_out_of_range", "Lobetune", " map.mrc chain.pdb 6 -nm 1 -nm 0",
		"Error! The value of -nm must be a whole number from 1 to 1000; got '0'.\n" },
	{ "Lobetune_repeated_output_name_with_a_directory", "Lobetune", " map.mrc chain.pdb 6 -on t.pdb -on a/b.pdb",
		"Error! The output name (-on) must be a file name; got 'a/b.pdb'.\n" },
	{ "Lobeplace_repeated_threads_out_of_range", "Lobeplace", " . map.mrc 6 -in A_mi -on A_mo.pdb -nco 1 -nco 0",
		"Error! The value of -nco must be a whole number from 1 to 256; got '0'.\n" },
	{ "Lobeplace_repeated_input_prefix_with_a_directory", "Lobeplace", " . map.mrc 6 -in A_mi -on A_mo.pdb -in x/y",
		"Error! -in must give the input prefix (a file name); got 'x/y'.\n" },
	{ "Lobeplace_repeated_output_name_with_a_directory", "Lobeplace", " . map.mrc 6 -in A_mi -on A_mo.pdb -on q/r.pdb",
		"Error! The output name (-on) must be a file name; got 'q/r.pdb'.\n" },
	{ "Rasterseek_repeated_count_not_a_number", "Rasterseek", " map.mrc chain.pdb A -res 6 -explor 1 -explor abc",
		"Error! -explor must be a whole number from 1 to 999; got 'abc'.\n" },
	{ "Rasterseek_repeated_resolution_not_positive", "Rasterseek", " map.mrc chain.pdb A -res 6 -res 0",
		"Error! -res must be a positive number of Angstrom; got '0'.\n" },
	// Arguments beyond those the program takes.
	{ "PlacerRNA_extra_argument", "PlacerRNA", " map.mrc chain.pdb 6 extra",
		"Error! Unexpected argument 'extra' (see the usage: run without arguments)." },
	{ "PlacerRNA_extra_argument_after_an_option", "PlacerRNA", " map.mrc chain.pdb 6 -nm 2 3",
		"Error! Unexpected argument '3'" },
	{ "Lobetune_extra_argument", "Lobetune", " map.mrc chain.pdb 6 chain.pdb",
		"Error! Unexpected argument 'chain.pdb'" },
	{ "Lobeplace_extra_argument", "Lobeplace", " . map.mrc 6 -in A_mi -on A_mo.pdb 1",
		"Error! Unexpected argument '1'" },
	{ "Rasterseek_extra_argument", "Rasterseek", " map.mrc chain.pdb A -res 6 -explor 5 extra",
		"Error! Unexpected argument 'extra'" },
	{ "lobecut_extra_argument", "lobecut", " xxxxA xxxxB", "Error! Unexpected argument 'xxxxB'" },
};

} // namespace

// Catches a program that runs with what it does not understand (all of them
// ran before, with status 0, except Rasterseek).
TEST_P( RefusedCommandLine, IsRefusedWithoutWritingAnything )
{
	Refusal const& r = GetParam();
	SmallFitCase c;
	lay_out_inputs( c );
	std::vector<std::string> const before = c.names();
	std::string out;
	EXPECT_EQ( c.run( SmallFitCase::program( r.program ) + r.arguments, out ), 1 ) << out;
	EXPECT_TRUE( says( out, r.message ) ) << out;
	EXPECT_FALSE( says( out, "Usage:" ) ) << out;
	EXPECT_EQ( c.names(), before );
}

INSTANTIATE_TEST_SUITE_P( Siblings, RefusedCommandLine, testing::ValuesIn( kRefusals ), case_name<Refusal> );

struct Partial {
	char const* name;
	char const* program;
	char const* arguments;
	char const* missing; // the error line
};

void PrintTo( Partial const& p, std::ostream* os ) { *os << p.program << p.arguments; }

class PartialCommandLine : public testing::TestWithParam<Partial> {};

Partial const kPartials[] = {
	{ "PlacerRNA_without_resolution", "PlacerRNA", " map.mrc chain.pdb",
		"Error! Missing the resolution; see the usage above." },
	{ "PlacerRNA_without_model_and_resolution", "PlacerRNA", " map.mrc -nm 2",
		"Error! Missing the model and the resolution; see the usage above." },
	{ "Lobetune_with_the_map_alone", "Lobetune", " map.mrc",
		"Error! Missing the model and the resolution; see the usage above." },
	{ "Lobeplace_without_input_prefix", "Lobeplace", " . map.mrc 6 -on A_mo.pdb",
		"Error! Missing the input prefix (-in); see the usage above." },
	{ "Lobeplace_without_resolution_and_names", "Lobeplace", " . map.mrc",
		"Error! Missing the resolution, the input prefix (-in) and the output name (-on); see the usage above." },
	{ "Rasterseek_without_resolution", "Rasterseek", " map.mrc chain.pdb A",
		"Error! Missing the resolution (-res); see the usage above." },
	{ "Rasterseek_without_result_name", "Rasterseek", " map.mrc chain.pdb -res 6",
		"Error! Missing the result name; see the usage above." },
};

// Catches a program that stops with its usage alone (no word on what is
// missing) or runs with what it has.
TEST_P( PartialCommandLine, PrintsTheUsageAndNamesWhatIsMissing )
{
	Partial const& p = GetParam();
	SmallFitCase c;
	lay_out_inputs( c );
	std::vector<std::string> const before = c.names();
	std::string out;
	EXPECT_EQ( c.run( SmallFitCase::program( p.program ) + p.arguments, out ), 1 ) << out;
	EXPECT_TRUE( says( out, "Usage:" ) ) << out;
	EXPECT_TRUE( says( out, p.missing ) ) << out;
	EXPECT_EQ( c.names(), before );
}

INSTANTIATE_TEST_SUITE_P( Siblings, PartialCommandLine, testing::ValuesIn( kPartials ), case_name<Partial> );

// Catches a program that no longer answers a bare call with its usage.
TEST( SiblingCommandLines, NoArgumentsPrintTheUsageWithStatusZero )
{
	for ( char const* p : { "PlacerRNA", "Lobetune", "Lobeplace", "Rasterseek", "lobecut" } ) {
		std::string out;
		EXPECT_EQ( quilter_test::run_shell( SmallFitCase::program( p ), out ), 0 ) << p << "\n" << out;
		EXPECT_TRUE( says( out, "Usage:" ) ) << p << "\n" << out;
		EXPECT_FALSE( says( out, "Error" ) ) << p << "\n" << out;
	}
}

// Catches a program that takes a later occurrence of a repeated option (or
// refuses good values given twice): as Quilter reads its own options, every
// occurrence is checked and the first one is used.  Rasterseek took the
// last one.
TEST( SiblingCommandLines, TheFirstOccurrenceOfARepeatedOptionIsUsed )
{
	SmallFitCase c;
	fs::copy_file( c.chain, c.file( "A_mi1.pdb" ) );
	struct Run {
		std::string arguments;
		char const* program;
		std::vector<std::string> written, absent;
	} const runs[] = {
		{ " map.mrc chain.pdb 6 -sl 0 -nm 1 -nm 2", "PlacerRNA", { "chain_1.pdb" }, { "chain_2.pdb" } },
		{ " map.mrc chain.pdb 6 -sl 0 -nm 2 -nm 1", "PlacerRNA", { "chain_1.pdb", "chain_2.pdb" }, {} },
		{ " map.mrc chain.pdb R -res 6 -explor 1 -explor 2", "Rasterseek", { "R_001.pdb" }, { "R_002.pdb" } },
		{ " map.mrc chain.pdb R -res 6 -deg 30 -explor 2 -explor 1", "Rasterseek", { "R_001.pdb", "R_002.pdb" }, {} },
		{ " . map.mrc 6 -in A_mi -sl 0 -on A_mo.pdb -nm 1 -nm 2", "Lobeplace", { "A_mo1.pdb" }, { "A_mo2.pdb" } },
		{ " map.mrc chain.pdb 6 -sl 0 -on x.pdb -on y.pdb", "Lobetune", { "x_1.pdb" }, { "y_1.pdb" } },
		{ " . map.mrc 6 -in A_mi -sl 0 -on A_mo.pdb -on A_mx.pdb", "Lobeplace", { "A_mo1.pdb" }, { "A_mx1.pdb" } },
	};
	for ( Run const& r : runs ) {
		std::string out;
		EXPECT_EQ( c.run( SmallFitCase::program( r.program ) + r.arguments, out ), 0 ) << r.program << r.arguments << "\n" << out;
		EXPECT_FALSE( says( out, "Error" ) ) << r.program << r.arguments << "\n" << out;
		for ( std::string const& f : r.written ) EXPECT_TRUE( fs::exists( c.file( f ) ) ) << r.program << r.arguments << " " << f;
		for ( std::string const& f : r.absent ) EXPECT_FALSE( fs::exists( c.file( f ) ) ) << r.program << r.arguments << " " << f;
		for ( std::string const& f : r.written ) fs::remove( c.file( f ) );
	}
}

// Catches a repeated option whose later occurrence is used where the
// result files do not show it: the threshold (-dc: the reader names a
// threshold that no voxel passes), the atoms scored (-tp), the correlation
// report (-rc), the reader's lines (-sl), Rasterseek's resolution, step and
// threads, and Lobeplace's input prefix.  Each pair is run both ways round,
// so that the value used is the first one, not one of the two that happens
// to suit.
TEST( SiblingCommandLines, TheFirstOccurrenceIsWhatTheRunUses )
{
	SmallFitCase c;
	fs::copy_file( c.chain, c.file( "A_mi1.pdb" ) );
	std::string const noVoxel = "Warning! No voxel lies above the density threshold 100; the voxel list is empty.";
	struct Run {
		char const* program;
		std::string arguments;
		int status;
		std::vector<std::string> shown, hidden;
	} const runs[] = {
		{ "PlacerRNA", " map.mrc chain.pdb 6 -dc 0 -dc 100", 0, { "PlacerRNA> RSCC of chain_1: " }, { noVoxel } },
		{ "PlacerRNA", " map.mrc chain.pdb 6 -dc 100 -dc 0", 1,
			{ noVoxel, "Error! No voxel of the density map map.mrc lies above the threshold 100 (-dc); no model written." },
			{ "RSCC of" } },
		{ "PlacerRNA", " map.mrc chain.pdb 6 -sl 0 -tp all -tp CA", 0, { " 30 all atoms scored" }, { " CA atoms" } },
		{ "PlacerRNA", " map.mrc chain.pdb 6 -sl 0 -tp CA -tp all", 0, { " 30 CA atoms scored" }, { " all atoms" } },
		{ "PlacerRNA", " map.mrc chain.pdb 6 -sl 0 -rc 0 -rc 1", 0, {}, { "RSCC of chain_1" } },
		{ "PlacerRNA", " map.mrc chain.pdb 6 -sl 0 -rc 1 -rc 0", 0, { "PlacerRNA> RSCC of chain_1: " }, {} },
		{ "PlacerRNA", " map.mrc chain.pdb 6 -sl 0 -sl 1", 0, {}, { "ReadMrc>" } },
		{ "PlacerRNA", " map.mrc chain.pdb 6 -sl 1 -sl 0", 0, { "ReadMrc> resolution: 6A" }, {} },
		{ "Lobetune", " map.mrc chain.pdb 6 -on t.pdb -dc 0 -dc 100", 0, { "Lobetune> RSCC " }, { noVoxel } },
		{ "Lobetune", " map.mrc chain.pdb 6 -on t.pdb -dc 100 -dc 0", 0, { noVoxel }, {} },
		{ "Lobetune", " map.mrc chain.pdb 6 -on t.pdb -sl 0 -sl 1", 0, {}, { "ReadMrc>" } },
		{ "Lobeplace", " . map.mrc 6 -in A_mi -on A_mo.pdb -dc 0 -dc 100", 0, { "Lobeplace> RSCC of A_mo1: " },
			{ noVoxel } },
		{ "Lobeplace", " . map.mrc 6 -in A_mi -on A_mo.pdb -dc 100 -dc 0", 0, { noVoxel }, {} },
		{ "Lobeplace", " . map.mrc 6 -in A_mi -in B_mi -on A_mo.pdb -sl 0", 0, { "Lobeplace> RSCC of A_mo1: " },
			{ "B_mi" } },
		{ "Lobeplace", " . map.mrc 6 -in B_mi -in A_mi -on A_mo.pdb -sl 0", 1,
			{ "Error! cannot read the model file ./B_mi1.pdb\n" }, { "RSCC" } },
		{ "Rasterseek", " map.mrc chain.pdb R -res 6 -res 30 -deg 30", 0, { "ReadMrc> resolution: 6A\n" },
			{ "resolution: 30A" } },
		{ "Rasterseek", " map.mrc chain.pdb R -res 30 -res 6 -deg 30", 0, { "ReadMrc> resolution: 30A\n" },
			{ "resolution: 6A" } },
		{ "Rasterseek", " map.mrc chain.pdb R -res 6 -deg 30 -deg 20", 0, { " orientations at 30 degrees, 1 thread\n" },
			{ "at 20 degrees" } },
		{ "Rasterseek", " map.mrc chain.pdb R -res 6 -deg 30 -nprocs 2 -nprocs 1", 0,
			{ " orientations at 30 degrees, 2 threads\n" }, { ", 1 thread" } },
		{ "Rasterseek", " map.mrc chain.pdb R -res 6 -deg 30 -nprocs 1 -nprocs 2", 0,
			{ " orientations at 30 degrees, 1 thread\n" }, { ", 2 threads" } },
	};
	std::vector<std::string> const inputs = c.names();
	for ( Run const& r : runs ) {
		std::string out;
		std::string const what = std::string( r.program ) + r.arguments;
		EXPECT_EQ( c.run( SmallFitCase::program( r.program ) + r.arguments, out ), r.status ) << what << "\n" << out;
		for ( std::string const& text : r.shown ) EXPECT_TRUE( says( out, text ) ) << what << ": " << text << "\n" << out;
		for ( std::string const& text : r.hidden ) EXPECT_FALSE( says( out, text ) ) << what << ": " << text << "\n" << out;
		// The results go, so that each run starts from the inputs alone.
		for ( std::string const& name : c.names() )
			if ( std::find( inputs.begin(), inputs.end(), name ) == inputs.end() ) fs::remove( c.file( name ) );
	}
}

// Catches a strict command line that turns away what the assembly program
// passes: tab runs between options, "%f" numbers (a negative threshold
// among them), Rasterseek with and without -nprocs, Lobeplace with every
// option.  Each run ends with status 0 and the result the assembly reads.
TEST( SiblingCommandLines, TheAssemblyProgramsCommandLinesAreAccepted )
{
	SmallFitCase c;
	fs::copy_file( c.chain, c.file( "A_mi1.pdb" ) );
	fs::copy_file( c.chain, c.file( "xxxx.pdb" ) );
	struct Run {
		std::string command;
		std::string result;
	} const runs[] = {
		{ placerRNACommand( bindir, c.map, c.chain, 6.0, 0.0, -0.5, 2, "all" ), "chain_2.pdb" },
		{ rasterseekCommand( bindir, c.map, c.chain, "chain", 6.0, 2, 1 ), "chain_002.pdb" },
		{ rasterseekCommand( bindir, c.map, c.chain, "chain_ft", 6.0, 1, 3 ), "chain_ft_001.pdb" },
		{ lobeplaceCommand( bindir, c.dir, c.map, 6.0, "A_mi", 0.0, 0.005, "A_mo.pdb", 1, 2 ), "A_mo1.pdb" },
		{ lobetuneCommand( bindir, c.map, c.chain, 6.0, 3.0, 0.005, "chain_dom.pdb", 1 ), "chain_dom_1.pdb" },
		{ lobetuneGlobalCommand( bindir, c.map, c.chain, 6.0, 0.0, -0.25, "seg_dom.pdb", 0 ), "seg_dom_1.pdb" },
		{ lobecutCommand( bindir, "xxxxA", c.file( "chain_dom.log" ) ), "chain_dom.log" },
	};
	for ( Run const& r : runs ) {
		std::string out;
		EXPECT_EQ( c.run( r.command, out ), 0 ) << r.command << "\n" << out;
		EXPECT_TRUE( fs::exists( c.file( r.result ) ) ) << r.command << "\n" << out;
		EXPECT_FALSE( says( out, "Error" ) ) << r.command << "\n" << out;
	}
	EXPECT_EQ( file_text( c.file( "chain_dom.log" ) ).rfind( "xxxxA 30 1 ", 0 ), 0u );
}
