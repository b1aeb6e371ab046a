// The assembly program's command line: positional arguments, the option
// scan with its checks, the resolution as a number or a file, the usage text.
#include "apps/quilter/CommandLine.hh"
#include "testsupport/test_data.hh"

#include <cstring>
#include <unistd.h>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// argv built from words; argv[0] is the program.
struct Args {
	std::vector< std::string > words;
	std::vector< char* > ptrs;
	explicit Args( std::vector< std::string > w ) : words( std::move( w ) )
	{
		for ( auto& s : words ) ptrs.push_back( &s[ 0 ] );
		ptrs.push_back( nullptr );
	}
	int argc() const { return static_cast< int >( words.size() ); }
	char** argv() { return ptrs.data(); }
};

QuilterSettings scan( std::vector< std::string > options )
{
	std::vector< std::string > w = { "Quilter", "data", "map.mrc", "5" };
	w.insert( w.end(), options.begin(), options.end() );
	Args a( w );
	QuilterSettings s;
	scanOptions( a.argc(), a.argv(), s );
	return s;
}

void write_file( const std::string& path, const std::string& text )
{
	std::ofstream( path ) << text;
}

// The text as a death-test pattern that matches it literally.
std::string literal( const std::string& text )
{
	std::string r;
	for ( char c : text ) {
		if ( std::strchr( "\\^$.|?*+()[]{}", c ) ) r += '\\';
		r += c;
	}
	return r;
}

// The bold head of an error line.
const std::string kError = "\033[1mERROR!\033[0m ";

} // namespace

// The messages go to standard output; a death test reads standard error, so
// the statement sends the one to the other first.
#define EXPECT_REFUSED( statement, message )                                                                    \
	EXPECT_EXIT(                                                                                                 \
		{                                                                                                        \
			::dup2( 2, 1 );                                                                                      \
			statement;                                                                                           \
		},                                                                                                       \
		testing::ExitedWithCode( 1 ), literal( message ) )

TEST( QuilterCommandLine, DefaultsWhenNoOptionIsGiven )
{
	QuilterSettings const s = scan( {} );
	EXPECT_EQ( s.inputPrefix, "chain" );
	EXPECT_EQ( s.gridWidth, 0.0 );
	EXPECT_EQ( s.threshold, 0.0 );
	EXPECT_EQ( s.fastPositions, 5 );
	EXPECT_EQ( s.lbfgsPositions, 20 );
	EXPECT_EQ( s.processCount, 10 );
	EXPECT_EQ( s.outputName, "segCmodel.pdb" );
	EXPECT_FALSE( s.silent );
	EXPECT_EQ( s.fullFitting, 1 );
	EXPECT_TRUE( s.removeMatched );
	EXPECT_TRUE( s.iteration );
	EXPECT_TRUE( s.globalDomainOpt );
	EXPECT_TRUE( s.localDomainOpt );
	EXPECT_TRUE( s.domainMatching );
	EXPECT_DOUBLE_EQ( s.corrCutoff, 0.6 );
	EXPECT_FALSE( s.segmentation );
}

TEST( QuilterCommandLine, EveryOptionIsRead )
{
	QuilterSettings const s = scan( { "-ipn", "mol", "-gw", "2.5", "-dc", "0.01", "-nft", "7", "-nlb", "30", "-nco",
		"4", "-opn", "out.model.pdb", "-sl", "1", "-rm", "0", "-it", "0", "-glo", "0", "-lco", "0", "-dmm", "0",
		"-rsc", "0.45", "-seg", "1", "-stm", "1", "-rps", "3", "-msc", "2", "-py3", "python3" } );
	EXPECT_EQ( s.inputPrefix, "mol" );
	EXPECT_DOUBLE_EQ( s.gridWidth, 2.5 );
	EXPECT_DOUBLE_EQ( s.threshold, 0.01 );
	EXPECT_EQ( s.fastPositions, 7 );
	EXPECT_EQ( s.lbfgsPositions, 30 );
	EXPECT_EQ( s.processCount, 4 );
	EXPECT_EQ( s.outputName, "out.model.pdb" );  // two dots, ends in .pdb: accepted
	EXPECT_FALSE( s.silent );
	EXPECT_FALSE( s.removeMatched );
	EXPECT_FALSE( s.iteration );
	EXPECT_FALSE( s.globalDomainOpt );
	EXPECT_FALSE( s.localDomainOpt );
	EXPECT_FALSE( s.domainMatching );
	EXPECT_DOUBLE_EQ( s.corrCutoff, 0.45 );
	EXPECT_TRUE( s.segmentation );
}

TEST( QuilterCommandLine, ScanRulesFirstOccurrenceValuesNotConsumedLastPositionIgnored )
{
	EXPECT_EQ( scan( { "-nco", "4", "-nco", "8" } ).processCount, 4 );
	// A value that looks like an option is a value, and is still seen as
	// the option it looks like.
	QuilterSettings const s = scan( { "-ipn", "-gw", "2" } );
	EXPECT_EQ( s.inputPrefix, "-gw" );
	EXPECT_DOUBLE_EQ( s.gridWidth, 2.0 );
	// ... also in the last place, where it has no value of its own.
	QuilterSettings const last = scan( { "-nco", "2", "-ipn", "-gw" } );
	EXPECT_EQ( last.inputPrefix, "-gw" );
	EXPECT_EQ( last.gridWidth, 0.0 );
	EXPECT_EQ( scan( { "-py3", "-sl" } ).silent, false );
	EXPECT_TRUE( scan( { "-sl", "0" } ).silent );
	EXPECT_FALSE( scan( { "-seg", "2" } ).segmentation );
	EXPECT_TRUE( scan( { "-rm", "2" } ).removeMatched );
	EXPECT_TRUE( scan( { "-rm", "-1" } ).removeMatched );
	EXPECT_FALSE( scan( { "-rm", "+0" } ).removeMatched );
	EXPECT_FALSE( scan( { "-glo", "0000" } ).globalDomainOpt );
	EXPECT_TRUE( scan( { "-it", "99999999999999999999" } ).iteration );
	EXPECT_EQ( scan( { "-ft", "2" } ).fullFitting, 1 );
	// Only the value 1 turns full fitting off; a huge value is not 1.
	EXPECT_EQ( scan( { "-ft", "4294967297" } ).fullFitting, 1 );
	// Read and without effect, but whole numbers (-py3: any text).
	EXPECT_EQ( scan( { "-stm", "1", "-rps", "-2", "-msc", "0", "-py3", "no value checked" } ).inputPrefix, "chain" );
	// Numbers in strtod syntax.
	EXPECT_DOUBLE_EQ( scan( { "-gw", " 2.5" } ).gridWidth, 2.5 );
	EXPECT_DOUBLE_EQ( scan( { "-dc", "-1e-3" } ).threshold, -0.001 );
	EXPECT_DOUBLE_EQ( scan( { "-rsc", "0x1p-1" } ).corrCutoff, 0.5 );
	testing::internal::CaptureStdout();
	EXPECT_EQ( scan( { "-ft", "1" } ).fullFitting, 0 );
	EXPECT_EQ( testing::internal::GetCapturedStdout(), "Run Fast Fitting only.\n" );
}

TEST( QuilterCommandLineDeathTest, EveryArgumentAfterTheResolutionIsAnOptionOrItsValue )
{
	std::string const unknown = "; the options are -ipn, -opn, -lco, -glo, -dmm, -nlb, -nft, -rsc, -seg, -stm, "
	                            "-nco, -gw, -dc, -sl, -rm, -it, -ft, -rps, -msc and -py3.";
	// A slip of the fingers, an option of another program, the wrong case.
	EXPECT_REFUSED( scan( { "-rcs", "0.3" } ), kError + "Unknown option '-rcs'" + unknown );
	EXPECT_REFUSED( scan( { "-nco", "2", "-foo", "1" } ), kError + "Unknown option '-foo'" + unknown );
	EXPECT_REFUSED( scan( { "-nm", "3" } ), kError + "Unknown option '-nm'" + unknown );
	EXPECT_REFUSED( scan( { "-GW", "2" } ), kError + "Unknown option '-GW'" + unknown );
	EXPECT_REFUSED( scan( { "--gw", "2" } ), kError + "Unknown option '--gw'" + unknown );
	EXPECT_REFUSED( scan( { "-" } ), kError + "Unknown option '-'" + unknown );
	// The value of an unknown option is not taken for an option.
	EXPECT_REFUSED( scan( { "-x", "-gw", "2" } ), kError + "Unknown option '-x'" + unknown );
	// An option at the end without its value, also after a repeat.
	EXPECT_REFUSED( scan( { "-nco" } ), kError + "The option -nco is last and has no value after it." );
	EXPECT_REFUSED( scan( { "-sl", "1", "-gw" } ), kError + "The option -gw is last and has no value after it." );
	EXPECT_REFUSED( scan( { "-nco", "4", "-nco" } ), kError + "The option -nco is last and has no value after it." );
	// Arguments that belong to no option: an extra positional one, a
	// second value, a negative number, an empty word.
	std::string const after = ": after data_path map resolution come only options, each with its value after it.";
	EXPECT_REFUSED( scan( { "extra" } ), kError + "Unexpected argument 'extra'" + after );
	EXPECT_REFUSED( scan( { "-gw", "2", "3" } ), kError + "Unexpected argument '3'" + after );
	EXPECT_REFUSED( scan( { "-3" } ), kError + "Unexpected argument '-3'" + after );
	EXPECT_REFUSED( scan( { "" } ), kError + "Unexpected argument ''" + after );
	EXPECT_REFUSED( scan( { "-ipn", "-foo", "bar" } ), kError + "Unexpected argument 'bar'" + after );
	// Shown quoted, control bytes written out, cut after 60 characters.
	EXPECT_REFUSED( scan( { "\x1b[31mred\nline" } ), kError + "Unexpected argument '\\x1b[31mred\\x0aline'" + after );
	EXPECT_REFUSED( scan( { std::string( 61, 'a' ) } ),
		kError + "Unexpected argument '" + std::string( 60, 'a' ) + "'..." + after );
}

TEST( QuilterCommandLineDeathTest, ValuesThatAreNoNumbersAreRefused )
{
	// Switches and whole-number options.
	for ( std::string const option :
		{ "-sl", "-ft", "-rm", "-it", "-glo", "-lco", "-dmm", "-seg", "-rps", "-msc", "-stm" } )
		for ( std::string const v : { "abc", "1.0", "1x", " 1", "", "+", "0x1" } )
			EXPECT_REFUSED( scan( { option, v } ),
				kError + option + " should be a whole number such as 0 or 1 (got '" + v + "')." );
	// Real numbers: the whole value is one finite number.
	std::string const gw = kError + "-gw should be in [0,5], recommended 3 (0 keeps the map's own grid; got '";
	std::string const rsc = kError + "-rsc should be in [0,1), recommended 0.6 (0 derives the cutoff from the "
	                                 "resolution; got '";
	std::string const dc = kError + "-dc should be a finite number (got '";
	for ( std::string const v : { "abc", "2x", "", "-" } ) {
		EXPECT_REFUSED( scan( { "-gw", v } ), gw + v + "')." );
		EXPECT_REFUSED( scan( { "-rsc", v } ), rsc + v + "')." );
		EXPECT_REFUSED( scan( { "-dc", v } ), dc + v + "')." );
	}
	// A value that looks like an option is a value of the option before it.
	EXPECT_REFUSED( scan( { "-sl", "-foo", "1" } ), kError + "-sl should be a whole number such as 0 or 1 (got "
	                                                         "'-foo')." );
	// Every occurrence holds a value its option accepts, though the first
	// is taken.
	EXPECT_REFUSED( scan( { "-nco", "4", "-nco", "x" } ),
		kError + "-nco should be a whole number from 1 to 256 (got 'x')." );
	EXPECT_REFUSED( scan( { "-gw", "2", "-gw", "9" } ), gw + "9')." );
	EXPECT_REFUSED( scan( { "-ft", "1", "-ft", "yes" } ), kError + "-ft should be a whole number such as 0 or 1 "
	                                                               "(got 'yes')." );
	// Nothing is said before a refusal.
	EXPECT_EXIT(
		{
			::dup2( 2, 1 );
			scan( { "-ft", "1", "-rcs", "0.3" } );
		},
		testing::ExitedWithCode( 1 ), "^" + literal( kError + "Unknown option '-rcs'" ) );
}

TEST( QuilterCommandLine, RangeChecksAcceptTheirBounds )
{
	EXPECT_DOUBLE_EQ( scan( { "-gw", "0" } ).gridWidth, 0.0 );
	EXPECT_DOUBLE_EQ( scan( { "-gw", "5" } ).gridWidth, 5.0 );
	EXPECT_DOUBLE_EQ( scan( { "-rsc", "0" } ).corrCutoff, 0.0 );
}

TEST( QuilterCommandLineDeathTest, OutOfRangeValuesAndBadOutputNamesStopWithTheirMessage )
{
	std::string const gw = kError + "-gw should be in [0,5], recommended 3 (0 keeps the map's own grid; got '";
	EXPECT_REFUSED( scan( { "-gw", "5.01" } ), gw + "5.01')." );
	EXPECT_REFUSED( scan( { "-gw", "nan" } ), gw + "nan')." );
	EXPECT_REFUSED( scan( { "-rsc", "1" } ), kError + "-rsc should be in [0,1), recommended 0.6 (0 derives the "
	                                                  "cutoff from the resolution; got '1')." );
	std::string const opn = kError + "Output name should be in 'XXXX.pdb' format. -opn takes a file name ending in "
	                                 "'.pdb' (lower case), not beginning with '.' and without '/' (got '";
	EXPECT_REFUSED( scan( { "-opn", "model.PDB" } ), opn + "model.PDB')." );
	EXPECT_REFUSED( scan( { "-opn", "model" } ), opn + "model')." );
	EXPECT_REFUSED( scan( { "-opn", "../elsewhere.pdb" } ), opn + "../elsewhere.pdb')." );
	EXPECT_REFUSED( scan( { "-opn", ".x.pdb" } ), opn + ".x.pdb')." );
	// A value is quoted printable and bounded.
	EXPECT_REFUSED( scan( { "-dc", "nan\x01" + std::string( 100, 'z' ) } ),
		kError + "-dc should be a finite number (got 'nan\\x01" + std::string( 56, 'z' ) + "'...)." );
	testing::internal::CaptureStdout();
	EXPECT_EXIT(
		{
			scan( { "-gw", "7" } );
		},
		testing::ExitedWithCode( 1 ), "" );
	testing::internal::GetCapturedStdout();
}

TEST( QuilterCommandLine, ResolutionIsANumberOrTheFirstNumberOfAFile )
{
	EXPECT_TRUE( isFloat( "3.5" ) );
	EXPECT_TRUE( isFloat( " 1e1" ) );
	EXPECT_TRUE( isFloat( "inf" ) );
	EXPECT_FALSE( isFloat( "3.5A" ) );
	EXPECT_FALSE( isFloat( "" ) );
	quilt_test::ScratchDir dir;
	write_file( dir.file( "res.txt" ), "   4.2 Angstrom\n7\n" );
	EXPECT_DOUBLE_EQ( getReso( dir.file( "res.txt" ) ), 4.2 );
	write_file( dir.file( "word.txt" ), "resolution 4.2\n" );
	EXPECT_DOUBLE_EQ( getReso( dir.file( "word.txt" ) ), 0.0 );
	EXPECT_DOUBLE_EQ( getReso( dir.file( "missing.txt" ) ), 0.0 );
	// Only the start of the first line is read.
	write_file( dir.file( "long.txt" ), "3.25" + std::string( 100000, ' ' ) + "x\n9\n" );
	EXPECT_DOUBLE_EQ( getReso( dir.file( "long.txt" ) ), 3.25 );
	// A UTF-8 byte-order mark before the number is skipped.
	write_file( dir.file( "bom.txt" ), "\xEF\xBB\xBF" "4.5\n" );
	EXPECT_DOUBLE_EQ( getReso( dir.file( "bom.txt" ) ), 4.5 );
	write_file( dir.file( "crlf.txt" ), "\xEF\xBB\xBF 3.5\r\n" );
	EXPECT_DOUBLE_EQ( getReso( dir.file( "crlf.txt" ) ), 3.5 );
}

namespace {

QuilterSettings positional( std::string data, std::string map, std::string reso )
{
	Args a( { "Quilter", data, map, reso } );
	QuilterSettings s;
	readPositionalArguments( a.argc(), a.argv(), s );
	return s;
}

} // namespace

TEST( QuilterCommandLine, PositionalArgumentsAreMadeAbsoluteAndTheResolutionCapped )
{
	quilt_test::ScratchDir dir( "quilt cmd" );  // a blank in the path
	write_file( dir.file( "map.mrc" ), "x" );
	write_file( dir.file( "res.txt" ), "25\n" );
	QuilterSettings const s = positional( dir.path() + "/.", dir.file( "map.mrc" ), dir.file( "res.txt" ) );
	EXPECT_EQ( s.dataPath, dir.path() );
	EXPECT_EQ( s.mapPath, dir.file( "map.mrc" ) );
	EXPECT_DOUBLE_EQ( s.resolution, 20.0 );
	EXPECT_DOUBLE_EQ( positional( dir.path(), dir.file( "map.mrc" ), "6.5" ).resolution, 6.5 );
	// The least resolution the started fitting programs take, and far
	// beyond the cap.
	EXPECT_DOUBLE_EQ( positional( dir.path(), dir.file( "map.mrc" ), "0.1" ).resolution, 0.1 );
	EXPECT_DOUBLE_EQ( positional( dir.path(), dir.file( "map.mrc" ), "1e9" ).resolution, 20.0 );
}

TEST( QuilterCommandLineDeathTest, ResolutionsTheFittingProgramsRefuseAreRefusedAtTheStart )
{
	quilt_test::ScratchDir dir;
	write_file( dir.file( "map.mrc" ), "x" );
	write_file( dir.file( "small.txt" ), "0.05\n" );
	std::string const d = dir.path(), m = dir.file( "map.mrc" );
	std::string const range = kError + "The resolution must be a finite number from 0.1 up; values above 20 are "
	                                   "used as 20 (got ";
	EXPECT_REFUSED( positional( d, m, "0.01" ), range + "0.01 from '0.01')." );
	EXPECT_REFUSED( positional( d, m, "0.0999" ), range + "0.0999 from '0.0999')." );
	EXPECT_REFUSED( positional( d, m, "1e-300" ), range + "1e-300 from '1e-300')." );
	EXPECT_REFUSED( positional( d, m, "0" ), range + "0 from '0')." );
	EXPECT_REFUSED( positional( d, m, "-3" ), range + "-3 from '-3')." );
	EXPECT_REFUSED( positional( d, m, dir.file( "small.txt" ) ), range + "0.05 from '" + dir.file( "small.txt" ) + "')." );
}

TEST( QuilterCommandLineDeathTest, BadPositionalArgumentsStopBeforeAnythingIsMade )
{
	quilt_test::ScratchDir dir;
	write_file( dir.file( "map.mrc" ), "x" );
	write_file( dir.file( "zero.txt" ), "0\n" );
	std::string const d = dir.path(), m = dir.file( "map.mrc" );
	EXPECT_EXIT( positional( d, m, "abc" ), testing::ExitedWithCode( 1 ), "" );
	EXPECT_EXIT( positional( d, m, "nan" ), testing::ExitedWithCode( 1 ), "" );
	EXPECT_EXIT( positional( d, m, "inf" ), testing::ExitedWithCode( 1 ), "" );
	EXPECT_EXIT( positional( d, m, "0" ), testing::ExitedWithCode( 1 ), "" );
	EXPECT_EXIT( positional( d, m, "-3" ), testing::ExitedWithCode( 1 ), "" );
	EXPECT_EXIT( positional( d, m, dir.file( "zero.txt" ) ), testing::ExitedWithCode( 1 ), "" );
	EXPECT_EXIT( positional( d + "/nowhere", m, "5" ), testing::ExitedWithCode( 1 ), "" );
	EXPECT_EXIT( positional( m, m, "5" ), testing::ExitedWithCode( 1 ), "" );
	EXPECT_EXIT( positional( d, dir.file( "none.mrc" ), "5" ), testing::ExitedWithCode( 1 ), "" );
	EXPECT_EXIT( positional( d, d, "5" ), testing::ExitedWithCode( 1 ), "" );
	// Not regular files: a directory and a device that never ends.
	EXPECT_EXIT( positional( d, m, d ), testing::ExitedWithCode( 1 ), "" );
	EXPECT_EXIT( positional( d, m, "/dev/zero" ), testing::ExitedWithCode( 1 ), "" );
}

TEST( QuilterCommandLineDeathTest, TooFewArgumentsPrintTheUsageText )
{
	std::strcpy( version, "20250312" );
	QuilterSettings s;
	// No arguments: the usage text alone.
	Args none( { "./Quilter" } );
	EXPECT_EXIT(
		{
			::dup2( 2, 1 );
			readPositionalArguments( none.argc(), none.argv(), s );
		},
		testing::ExitedWithCode( 0 ), literal( " Usage: ./Quilter data_path map resolution [Options]" ) );
	// Some of the required arguments: the usage text and what is missing.
	std::string const line = "(the command line is data_path map resolution [Options]).";
	std::string const usage = literal( " Usage: ./Quilter data_path map resolution [Options]" ) + "(.|\n)*";
	Args two( { "./Quilter", "only", "two" } );
	EXPECT_EXIT(
		{
			::dup2( 2, 1 );
			readPositionalArguments( two.argc(), two.argv(), s );
		},
		testing::ExitedWithCode( 1 ),
		usage + literal( kError + "Missing the required argument resolution " + line + "\n" ) + "$" );
	Args one( { "./Quilter", "data" } );
	EXPECT_REFUSED( readPositionalArguments( one.argc(), one.argv(), s ),
		kError + "Missing the required arguments map and resolution " + line );
	// An option in the place of a required argument.
	Args option( { "./Quilter", "data", "map.mrc", "-nco", "4" } );
	EXPECT_REFUSED( readPositionalArguments( option.argc(), option.argv(), s ),
		kError + "Missing the required argument resolution: '-nco' is an option, and options come after "
		         "data_path map resolution." );
	Args first( { "./Quilter", "-gw", "2", "data", "map.mrc", "5" } );
	EXPECT_REFUSED( readPositionalArguments( first.argc(), first.argv(), s ),
		kError + "Missing the required arguments data_path, map and resolution: '-gw' is an option, and options "
		         "come after data_path map resolution." );
}

TEST( QuilterCommandLineDeathTest, ResolutionFileThatDoesNotBeginWithANumberIsQuoted )
{
	quilt_test::ScratchDir dir;
	write_file( dir.file( "map.mrc" ), "x" );
	std::string const d = dir.path(), m = dir.file( "map.mrc" );
	auto refused = [ & ]( const std::string& name, const std::string& text ) {
		write_file( dir.file( name ), text );
		return kError + "The resolution file '" + dir.file( name ) + "' does not begin with a number: ";
	};
	std::string head = refused( "word.txt", "resolution 4.2\n" );
	EXPECT_REFUSED( positional( d, m, dir.file( "word.txt" ) ), head + "its first line is 'resolution 4.2'." );
	head = refused( "blank.txt", "\n4.2\n" );
	EXPECT_REFUSED( positional( d, m, dir.file( "blank.txt" ) ), head + "its first line is blank." );
	head = refused( "spaces.txt", " \t\r\n4.2\n" );
	EXPECT_REFUSED( positional( d, m, dir.file( "spaces.txt" ) ), head + "its first line is blank." );
	head = refused( "empty.txt", "" );
	EXPECT_REFUSED( positional( d, m, dir.file( "empty.txt" ) ), head + "it is empty." );
	head = refused( "bom.txt", "\xEF\xBB\xBF\n" );
	EXPECT_REFUSED( positional( d, m, dir.file( "bom.txt" ) ), head + "its first line is blank." );
	// What the line holds is shown printable and bounded.
	head = refused( "utf16.txt", std::string( "\xFF\xFE" "4\0.\0" "5\0\n", 9 ) );
	EXPECT_REFUSED( positional( d, m, dir.file( "utf16.txt" ) ),
		head + "its first line is '\\xff\\xfe4\\x00.\\x005\\x00'." );
	head = refused( "long.txt", "res " + std::string( 500, '=' ) + "\n" );
	EXPECT_REFUSED( positional( d, m, dir.file( "long.txt" ) ),
		head + "its first line is 'res " + std::string( 56, '=' ) + "'...." );
	// The mark is skipped: the number after it is read.
	write_file( dir.file( "res.txt" ), "\xEF\xBB\xBF" "4.5\n" );
	EXPECT_DOUBLE_EQ( positional( d, m, dir.file( "res.txt" ) ).resolution, 4.5 );
}
