// The Quilter command line as a user types it, run on the built program: the
// usage text, and every refusal of the command line.  A refusal prints one
// bold "ERROR!" line that says what is accepted, ends with status 1 and
// makes nothing in the data directory.
#include "quilter_run_case.hh"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace quilter_test;
namespace fs = std::filesystem;

namespace {

std::string quilter_program() { return shq( quilt_test::bin_dir() + "/Quilter" ); }

// The lines of a text.
std::vector< std::string > lines_of( const std::string& text )
{
	std::vector< std::string > lines;
	std::size_t at = 0;
	while ( at < text.size() ) {
		std::size_t const end = text.find( '\n', at );
		lines.push_back( text.substr( at, end == std::string::npos ? std::string::npos : end - at ) );
		if ( end == std::string::npos ) break;
		at = end + 1;
	}
	return lines;
}

bool has_line( const std::string& text, const std::string& line )
{
	for ( std::string const& l : lines_of( text ) )
		if ( l == line ) return true;
	return false;
}

} // namespace

TEST( QuilterCommandLineRuns, UsageTextGivesTheDefaultsInForce )
{
	std::string out;
	EXPECT_EQ( run_shell( quilter_program(), out ), 0 ) << out;
	// -glo is on and -dc is 0 unless given.
	EXPECT_TRUE( has_line( out, "       -glo  global domain optimize, 0:no, 1:yes, default: 1 " ) ) << out;
	EXPECT_TRUE( has_line( out, "       -dc   threshold for density value, default: 0 " ) ) << out;
	// -stm is read and has no effect.
	EXPECT_TRUE( has_line( out, "       -stm  no effect (read and ignored); for NA and Protein maps see note (5)" ) )
		<< out;
	// -rsc takes 0, which derives the cutoff from the resolution.
	EXPECT_TRUE( has_line( out, "       -rsc  cutoff of correlation score in fraction space, in [0,1) (0: from the "
	                            "resolution), default: 0.6 " ) )
		<< out;
	EXPECT_TRUE( has_line(
		out, "        *(3)['-rsc' should be in [0,1), recommend: 0.6; 0 derives the cutoff from the resolution.]" ) )
		<< out;
	EXPECT_FALSE( says( out, "(0,1)" ) ) << out;
	EXPECT_TRUE(
		has_line( out, "       -nco  number of parallel threads given to each started program, default: 10" ) )
		<< out;
}

// Refusals of option values: each says, after the bold head, what it
// accepts.  (Moved here from the hostile runs, with the head and the
// ranges now required.)
TEST( QuilterCommandLineRuns, SmallRefusalsOfTheCommandLine )
{
	RunCase c;
	std::string out;
	// Capital suffix, a directory part, hidden or empty stems.
	for ( std::string const name : { "x.PDB", "a/b.pdb", "..pdb", ".x.pdb", ".pdb", "model" } ) {
		EXPECT_EQ( c.quilter( out, "", "-opn " + name ), 1 ) << name << out;
		EXPECT_TRUE( says( out, kError + "Output name should be in 'XXXX.pdb' format. -opn takes a file name "
		                                 "ending in '.pdb' (lower case), not beginning with '.' and without '/' "
		                                 "(got '" +
		                            name + "')." ) )
			<< out;
	}
	// The grid width: 0 (the default) to 5.
	for ( std::string const v : { "9", "5.01", "-1", "nan" } ) {
		EXPECT_EQ( c.quilter( out, "", "-gw " + v ), 1 ) << out;
		EXPECT_TRUE( says( out, kError + "-gw should be in [0,5], recommended 3 (0 keeps the map's own grid; got '" +
		                            v + "')." ) )
			<< out;
	}
	// The correlation cutoff is named as the option it is; 0 is taken.
	for ( std::string const v : { "nan", "1", "-0.1" } ) {
		EXPECT_EQ( c.quilter( out, "", "-rsc " + v ), 1 ) << out;
		EXPECT_TRUE( says( out, kError + "-rsc should be in [0,1), recommended 0.6 (0 derives the cutoff from the "
		                                 "resolution; got '" +
		                            v + "')." ) )
			<< out;
	}
	// The density threshold must be a finite number.
	for ( std::string const v : { "nan", "inf", "-inf" } ) {
		EXPECT_EQ( c.quilter( out, "", "-dc " + v ), 1 ) << out;
		EXPECT_TRUE( says( out, kError + "-dc should be a finite number (got '" + v + "')." ) ) << out;
	}
	EXPECT_TRUE( c.leftovers().empty() );
	EXPECT_FALSE( fs::exists( c.data + "/.1.pdb" ) );
	EXPECT_FALSE( fs::exists( c.data + "/a" ) );
}

// A slip in the options used to run with the default in its place: "-rcs"
// for "-rsc" ran with the default cutoff and status 0.
TEST( QuilterCommandLineRuns, UnknownOptionsAndMalformedValuesAreRefused )
{
	RunCase c;
	c.script( "Rasterseek", kRasterseekInPlace );
	struct Refusal {
		std::string options, message;
	};
	std::string const unknown = "; the options are -ipn, -opn, -lco, -glo, -dmm, -nlb, -nft, -rsc, -seg, -stm, "
	                            "-nco, -gw, -dc, -sl, -rm, -it, -ft, -rps, -msc and -py3.";
	std::string const after = ": after data_path map resolution come only options, each with its value after it.";
	for ( Refusal const& r : std::vector< Refusal >{
		      { "-rcs 0.3", "Unknown option '-rcs'" + unknown },
		      { "-foo 1", "Unknown option '-foo'" + unknown },
		      { "-nco", "The option -nco is last and has no value after it." },
		      { "-ft abc", "-ft should be a whole number such as 0 or 1 (got 'abc')." },
		      { "-rsc abc", "-rsc should be in [0,1), recommended 0.6 (0 derives the cutoff from the resolution; "
		                    "got 'abc')." },
		      { "-gw 2A", "-gw should be in [0,5], recommended 3 (0 keeps the map's own grid; got '2A')." },
		      { "extra", "Unexpected argument 'extra'" + after },
		      { "-nco 1 extra", "Unexpected argument 'extra'" + after },
		      { "-ft 1 -nco 1 -nco x", "-nco should be a whole number from 1 to 256 (got 'x')." } } ) {
		std::string out;
		EXPECT_EQ( c.quilter( out, "", r.options ), 1 ) << r.options << "\n" << out;
		// The error is all that is said.
		EXPECT_EQ( out, kError + r.message + "\n" ) << r.options;
		EXPECT_TRUE( c.leftovers().empty() ) << r.options;
	}
	EXPECT_FALSE( fs::exists( c.model() ) );
}

// An argument is shown as quotedText shows it: quoted, its control bytes
// written out, and cut after 60 characters.  Printed raw, an argument that
// holds "ESC [31m" turns the terminal red and one with a newline forges a
// line of its own.
TEST( QuilterCommandLineRuns, UnexpectedArgumentsAreQuotedEscapedAndCut )
{
	RunCase c;
	std::string const after = ": after data_path map resolution come only options, each with its value after it.";
	std::string const longArgument = std::string( 70, 'a' ) + "\n" + std::string( 200, 'b' );
	struct Refusal {
		std::string argument, shown;
	};
	for ( Refusal const& r : std::vector< Refusal >{
		      { "\x1b[31mred\nline", "'\\x1b[31mred\\x0aline'" },
		      { longArgument, "'" + std::string( 60, 'a' ) + "'..." },
		      { "tab\there\x7f", "'tab\\x09here\\x7f'" } } ) {
		std::string out;
		EXPECT_EQ( c.quilter( out, "", "-nco 1 " + shq( r.argument ) ), 1 ) << out;
		EXPECT_EQ( out, kError + "Unexpected argument " + r.shown + after + "\n" );
		EXPECT_FALSE( says( out, "\x1b[31m" ) ) << out;
		EXPECT_FALSE( says( out, "bbbb" ) ) << out;
		EXPECT_FALSE( says( out, "\t" ) || says( out, "\x7f" ) ) << out;
		EXPECT_EQ( quilt_test::occurrences( out, "\n" ), 1u ) << out;
		EXPECT_TRUE( c.leftovers().empty() );
	}
}

// What the scan always took still runs: a value that looks like an option
// ("-ipn -gw 2" is the prefix "-gw" and the grid width 2), and the options
// read for old command lines.
TEST( QuilterCommandLineRuns, ValuesThatLookLikeOptionsAndTheIgnoredOptionsStillRun )
{
	RunCase c;
	// The chain names begin with "-" here.
	c.script( "Rasterseek", "cp -- \"$2\" \"$3_001.pdb\"\n" );
	for ( int i = 1; i <= 3; ++i )
		fs::copy_file( c.data + "/chain" + std::to_string( i ) + ".pdb", c.data + "/-gw" + std::to_string( i ) + ".pdb" );
	std::string out;
	EXPECT_EQ( c.quilter( out, "", "-nco 1 -ipn -gw 2 -stm 1 -rps 0 -msc 3 -py3 python3" ), 0 ) << out;
	EXPECT_TRUE( finished( out ) ) << out;
	EXPECT_TRUE( says( out, "    Models: -gw1.pdb, -gw2.pdb, -gw3.pdb, " ) ) << out;
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 24, 18 } ) );
}

// Missing required arguments used to end with the usage text and status 0,
// as if asked for it.
TEST( QuilterCommandLineRuns, MissingRequiredArgumentsAreNamed )
{
	RunCase c;
	std::string out;
	std::string const q = shq( c.bin + "/Quilter" );
	std::string const usage = " Usage: " + c.bin + "/Quilter data_path map resolution [Options]";
	// No arguments at all: the usage text, asked for.
	EXPECT_EQ( run_shell( q, out ), 0 ) << out;
	EXPECT_TRUE( has_line( out, usage ) ) << out;
	EXPECT_FALSE( says( out, "ERROR!" ) ) << out;
	std::string const line = " (the command line is data_path map resolution [Options]).";
	struct Missing {
		std::string args, message;
	};
	for ( Missing const& m : std::vector< Missing >{
		      { shq( c.data ), "Missing the required arguments map and resolution" + line },
		      { shq( c.data ) + " " + shq( c.map ), "Missing the required argument resolution" + line },
		      { shq( c.data ) + " " + shq( c.map ) + " -rsc 0.5",
			      "Missing the required argument resolution: '-rsc' is an option, and options come after data_path "
			      "map resolution." } } ) {
		EXPECT_EQ( run_shell( q + " " + m.args, out ), 1 ) << m.args << "\n" << out;
		EXPECT_TRUE( has_line( out, usage ) ) << out;
		// The error comes last, below the usage text.
		EXPECT_TRUE( out.size() > m.message.size() &&
		             out.compare( out.size() - m.message.size() - kError.size() - 1, std::string::npos,
			             kError + m.message + "\n" ) == 0 )
			<< m.args << "\n" << out;
		EXPECT_TRUE( c.leftovers().empty() );
	}
}

// A resolution below what the started fitting programs take used to run to
// "ASSEMBLY FINISHED" with status 0 after Lobetune refused it.
TEST( QuilterCommandLineRuns, ResolutionTheFittingProgramsRefuseIsRefusedAtTheStart )
{
	RunCase c;
	c.script( "Rasterseek", kRasterseekInPlace );
	std::string const log = c.root.path() + "/started.log";
	for ( std::string const name : { "Placer", "PlacerRNA", "Lobeplace", "Lobetune" } )
		c.script( name, "echo " + name + " >> '" + log + "'\n" );
	std::string const small = c.root.path() + "/res.txt";
	std::ofstream( small ) << "0.05\n";
	std::string out;
	std::string const q = shq( c.bin + "/Quilter" ) + " " + shq( c.data ) + " " + shq( c.map ) + " ";
	std::string const range = "The resolution must be a finite number from 0.1 up; values above 20 are used as 20 ";
	EXPECT_EQ( run_shell( q + "0.01 -nco 1", out ), 1 ) << out;
	EXPECT_EQ( out, kError + range + "(got 0.01 from '0.01').\n" );
	EXPECT_EQ( run_shell( q + shq( small ) + " -nco 1", out ), 1 ) << out;
	EXPECT_EQ( out, kError + range + "(got 0.05 from '" + small + "').\n" );
	EXPECT_FALSE( fs::exists( log ) );
	EXPECT_TRUE( c.leftovers().empty() );
	EXPECT_FALSE( fs::exists( c.model() ) );
}

// A resolution above 20 A used to be taken as 20 without a word: the user
// learnt of it only from the "Resolution: 20" line, if at all.
TEST( QuilterCommandLineRuns, ResolutionAboveTwentyIsUsedAsTwentyWithAWarning )
{
	RunCase c;
	std::string const args = c.root.path() + "/args.log";
	c.script( "Rasterseek", "echo \"$@\" >> '" + args + "'\ncp \"$2\" \"$3_001.pdb\"\n" );
	std::string const res = c.root.path() + "/res.txt";
	std::ofstream( res ) << "25\n";
	std::string const q = shq( c.bin + "/Quilter" ) + " " + shq( c.data ) + " " + shq( c.map ) + " ";
	std::string out;
	EXPECT_EQ( run_shell( q + "25 -nco 1 -it 0", out ), 0 ) << out;
	EXPECT_TRUE( has_line( out, "Warning! The resolution 25 A is above 20 A; the run uses 20 A." ) ) << out;
	EXPECT_TRUE( has_line( out, "Resolution: 20" ) ) << out;
	EXPECT_TRUE( says( file_text( args ), " -res 20 " ) ) << file_text( args );
	EXPECT_TRUE( finished( out ) );
	EXPECT_EQ( run_shell( q + shq( res ) + " -nco 1 -it 0", out ), 0 ) << out;
	EXPECT_TRUE( has_line( out, "Warning! The resolution 25 A (from the file '" + res +
	                                "') is above 20 A; the run uses 20 A." ) )
		<< out;
	// 20 itself is no change.
	EXPECT_EQ( run_shell( q + "20 -nco 1 -it 0", out ), 0 ) << out;
	EXPECT_FALSE( says( out, "Warning! The resolution" ) ) << out;
	EXPECT_TRUE( has_line( out, "Resolution: 20" ) ) << out;
}

// A resolution file with a byte-order mark, words before the number or a
// blank first line used to give "must be a finite number above 0 (got 0
// from 'res.txt')", though no 0 was read.
TEST( QuilterCommandLineRuns, ResolutionFileIsReadPastAByteOrderMarkAndQuotedWhenItHasNoNumber )
{
	RunCase c;
	c.script( "Rasterseek", kRasterseekInPlace );
	std::string const res = c.root.path() + "/res.txt";
	std::string const q =
		shq( c.bin + "/Quilter" ) + " " + shq( c.data ) + " " + shq( c.map ) + " " + shq( res ) + " -nco 1";
	std::string const head = kError + "The resolution file '" + res + "' does not begin with a number: ";
	struct Refusal {
		std::string text, message;
	};
	std::string out;
	for ( Refusal const& r : std::vector< Refusal >{ { "resolution 6\n", "its first line is 'resolution 6'." },
		      { "\n6\n", "its first line is blank." }, { "", "it is empty." } } ) {
		std::ofstream( res, std::ios::binary ) << r.text;
		EXPECT_EQ( run_shell( q, out ), 1 ) << out;
		EXPECT_EQ( out, head + r.message + "\n" );
		EXPECT_TRUE( c.leftovers().empty() );
	}
	// As an editor on another system saves it: a byte-order mark, CR LF.
	std::ofstream( res, std::ios::binary ) << "\xEF\xBB\xBF" "6\r\n";
	EXPECT_EQ( run_shell( q, out ), 0 ) << out;
	EXPECT_TRUE( has_line( out, "Resolution: 6" ) ) << out;
	EXPECT_TRUE( finished( out ) );
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 24, 18 } ) );
}
