// Exact command lines of the started programs and the result file names,
// for a data directory whose path holds a blank and a quote.
#include "apps/quilter/StartedPrograms.hh"
#include "apps/quilter/StringListHelpers.hh"
#include "testsupport/test_data.hh"

#include <cstdlib>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>
#include <gtest/gtest.h>

namespace {
const std::string bin = "/opt/quilt bin/";
const std::string work = "/data/my run/match_rmv_ab12Cd";
const std::string map = "/data/my run/segtempXy/segmap.mrc";
}

TEST( StartedPrograms, PlacerCommandLines )
{
	EXPECT_EQ( placerCommand( bin, map, work + "/chain1_A.pdb", 6.0, 0.0, 0.0, 20 ),
		"'/opt/quilt bin//Placer' '/data/my run/segtempXy/segmap.mrc' '/data/my run/match_rmv_ab12Cd/chain1_A.pdb' "
		"6.000000 -gw 0.000000 -dc 0.000000 -nm 20 -sl 0  -rc 0" );
	EXPECT_EQ( placerOnlyCommand( bin, map, work + "/chain1_A_lb.pdb", 4.5, 1.5, 0.0, 50 ),
		"'/opt/quilt bin//Placer' '/data/my run/segtempXy/segmap.mrc' "
		"'/data/my run/match_rmv_ab12Cd/chain1_A_lb.pdb' 4.500000 -gw 1.500000 -dc 0.000000 -nm 50 -sl 0" );
	EXPECT_EQ( placerRNACommand( bin, map, work + "/chain2_C.pdb", 6.0, 0.0, 0.0, 20, "all" ),
		"'/opt/quilt bin//PlacerRNA' '/data/my run/segtempXy/segmap.mrc' "
		"'/data/my run/match_rmv_ab12Cd/chain2_C.pdb' 6.000000 -gw 0.000000 -dc 0.000000 -nm 20 -sl 0 -tp 'all' "
		"-rc 0" );
}

TEST( StartedPrograms, RasterseekCommandLinesWithAndWithoutProcesses )
{
	EXPECT_EQ( rasterseekCommand( bin, map, work + "/chain1_A.pdb", "chain1_A", 6.0, 5, 10 ),
		"'/opt/quilt bin//Rasterseek' '/data/my run/segtempXy/segmap.mrc' "
		"'/data/my run/match_rmv_ab12Cd/chain1_A.pdb' 'chain1_A' -res 6 -deg 20 -explor 5 -nprocs 10 >FFTlog.txt" );
	EXPECT_EQ( rasterseekCommand( bin, map, work + "/chain1_A_ft.pdb", "chain1_A_ft", 4.5, 1, 1 ),
		"'/opt/quilt bin//Rasterseek' '/data/my run/segtempXy/segmap.mrc' "
		"'/data/my run/match_rmv_ab12Cd/chain1_A_ft.pdb' 'chain1_A_ft' -res 4.5 -deg 20 -explor 1 >FFTlog.txt" );
}

TEST( StartedPrograms, DomainProgramCommandLinesKeepTheirTabs )
{
	EXPECT_EQ( lobeplaceCommand( bin, work, map, 6.0, "chain1_A_mi", 0.0, 0.0, "chain1_A_mo.pdb", 1, 8 ),
		"'/opt/quilt bin//Lobeplace' '/data/my run/match_rmv_ab12Cd' '/data/my run/segtempXy/segmap.mrc' 6.000000 "
		"-in 'chain1_A_mi' -gw 0.000000 -dc 0.000000 -nm 1 \t\t\t\t\t-on 'chain1_A_mo.pdb' -sl 0 -st 1 -it 1 -nco 8" );
	EXPECT_EQ( lobetuneCommand( bin, map, work + "/chain1_A_003.pdb", 6.0, 0.0, 0.0, "chain1_A_003_dom.pdb", 1 ),
		"'/opt/quilt bin//Lobetune' '/data/my run/segtempXy/segmap.mrc' "
		"'/data/my run/match_rmv_ab12Cd/chain1_A_003.pdb' 6.000000 -gw 0.000000 -dc 0.000000 -nm 1 "
		"\t\t\t\t\t\t-sl 0 -on 'chain1_A_003_dom.pdb' -sch 1" );
	EXPECT_EQ( lobetuneGlobalCommand( bin, map, "/data/my run/segCmodel1.pdb", 6.0, 0.0, 0.0, "segCmodel_dom.pdb", 0 ),
		"'/opt/quilt bin//Lobetune' '/data/my run/segtempXy/segmap.mrc' '/data/my run/segCmodel1.pdb' 6.000000 "
		"-gw 0.000000 -dc 0.000000 -nm 1 \t\t\t\t-sl 0 -on 'segCmodel_dom.pdb' -sch 0" );
	EXPECT_EQ( lobecutCommand( bin, "xxxxA", "/data/my run/DomSplit_x/chain1_A_dom.log" ),
		"'/opt/quilt bin/lobecut' 'xxxxA' >'/data/my run/DomSplit_x/chain1_A_dom.log'" );
}

TEST( StartedPrograms, QuotingSurvivesShellMetacharacters )
{
	// What the program receives is the path itself, whatever it holds.
	quilt_test::ScratchDir dir( "quilt q'x;$(touch y)" );
	std::string const out = dir.file( "args.txt" );
	std::string const script = dir.file( "Placer" );
	{
		std::ofstream s( script );
		s << "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\"; done > \"$(dirname \"$0\")/args.txt\"\n";
	}
	ASSERT_EQ( ::chmod( script.c_str(), 0755 ), 0 );
	std::string const chain = dir.file( "a b'c;$(touch x).pdb" );
	runCommand( placerCommand( dir.path(), map, chain, 5.0, 0.0, 0.0, 3 ) );
	std::ifstream in( out );
	std::string first, second;
	std::getline( in, first );
	std::getline( in, second );
	EXPECT_EQ( first, map );
	EXPECT_EQ( second, chain );
	EXPECT_FALSE( quilt_test::path_exists( dir.file( "x" ) ) );
	EXPECT_FALSE( quilt_test::path_exists( "y" ) );
}

TEST( StartedPrograms, TimeLimitIsWhollyAPositiveNumberOfSeconds )
{
	// What QUILT_PROGRAM_TIME_LIMIT may hold.  strtod reads a number from
	// the start of "2h" (2), "21600s", "1:30" (1) or "0x10" (16): none of
	// them is a number of seconds, and each must give the default.
	struct Row {
		std::string text;
		bool read;
		double seconds;
	};
	std::vector< Row > const rows = { { "90", true, 90.0 }, { "1.5", true, 1.5 }, { " 8\t", true, 8.0 },
		{ "+2e3", true, 2000.0 }, { ".5", true, 0.5 }, { "7.", true, 7.0 }, { "2E-1", true, 0.2 },
		{ "2h", false, 0 }, { "2 h", false, 0 }, { "21600s", false, 0 }, { "1:30", false, 0 },
		{ "0x10", false, 0 }, { "0", false, 0 }, { "0.0", false, 0 }, { "-5", false, 0 }, { "inf", false, 0 },
		{ "nan", false, 0 }, { "1e999", false, 0 }, { "1e-999", false, 0 }, { "", false, 0 }, { "  ", false, 0 },
		{ ".", false, 0 }, { "e5", false, 0 }, { "5e", false, 0 }, { "5e+", false, 0 }, { "1,5", false, 0 },
		{ "2 3", false, 0 }, { "\n5", false, 0 } };
	for ( Row const& row : rows ) {
		double seconds = -1.0;
		EXPECT_EQ( parseTimeLimitSeconds( row.text, seconds ), row.read ) << "'" << row.text << "'";
		// A value that is not read leaves the limit as it was.
		EXPECT_DOUBLE_EQ( seconds, row.read ? row.seconds : -1.0 ) << "'" << row.text << "'";
	}
	EXPECT_DOUBLE_EQ( kDefaultProgramTimeLimit, 21600.0 );
}

// "QUILT_PROGRAM_TIME_LIMIT=" clears the variable as a shell user means it:
// the default limit, and no word about it.  A value that cannot be read is
// said (once per run): that warning is still to come after the empty value.
TEST( StartedPrograms, AnEmptyTimeLimitCountsAsUnset )
{
	char const* const was = std::getenv( "QUILT_PROGRAM_TIME_LIMIT" );
	std::string const before = was ? was : "";
	::setenv( "QUILT_PROGRAM_TIME_LIMIT", "", 1 );
	testing::internal::CaptureStdout();
	double const empty = programTimeLimit();
	std::string const quiet = testing::internal::GetCapturedStdout();
	EXPECT_DOUBLE_EQ( empty, kDefaultProgramTimeLimit );
	EXPECT_EQ( quiet, "" );
	::setenv( "QUILT_PROGRAM_TIME_LIMIT", "2h", 1 );
	testing::internal::CaptureStdout();
	double const bad = programTimeLimit();
	std::string const said = testing::internal::GetCapturedStdout();
	EXPECT_DOUBLE_EQ( bad, kDefaultProgramTimeLimit );
	EXPECT_EQ( said, "Warning! QUILT_PROGRAM_TIME_LIMIT '2h' is not a positive number of seconds; each started "
	                 "program may run 21600 s (the default).\n" );
	if ( was ) ::setenv( "QUILT_PROGRAM_TIME_LIMIT", before.c_str(), 1 );
	else ::unsetenv( "QUILT_PROGRAM_TIME_LIMIT" );
}

TEST( StartedPrograms, ResultFileNames )
{
	EXPECT_EQ( fftResultPath( work, "chain1_A", 1 ), work + "/chain1_A_001.pdb" );
	EXPECT_EQ( fftResultPath( work, "chain1_A", 12 ), work + "/chain1_A_0012.pdb" );
	EXPECT_EQ( fitResultPath( work, "chain1_A", 3 ), work + "/chain1_A_3.pdb" );
}

TEST( StringListHelpers, SplittingComparingPrinting )
{
	EXPECT_TRUE( stringCompare( "ab", "abc" ) );
	EXPECT_FALSE( stringCompare( "abc", "ab" ) );
	EXPECT_FALSE( stringCompare( "b", "abc" ) );
	EXPECT_FALSE( stringCompare( "ab", "ab" ) );
	EXPECT_EQ( stringSplit( "1-20,31-40;", ",;" ), ( std::vector< std::string >{ "1-20", "31-40" } ) );
	EXPECT_EQ( stringSplit( "  a  b ", " " ), ( std::vector< std::string >{ "a", "b" } ) );
	EXPECT_TRUE( stringSplit( "", " " ).empty() );
	EXPECT_TRUE( stringSplit( ";;", ";" ).empty() );
	EXPECT_EQ( stringSplit_double( "1.5 x 2e3", " " ), ( std::vector< double >{ 1.5, 0.0, 2000.0 } ) );

	std::vector< std::string > target = { "old" };
	copy1DStringVec( { "a", "b" }, target );
	EXPECT_EQ( target, ( std::vector< std::string >{ "a", "b" } ) );

	testing::internal::CaptureStdout();
	printPaths( {}, "Chains" );
	EXPECT_EQ( testing::internal::GetCapturedStdout(), "Chains contains:\nTotal: 0 paths.\n\n" );

	std::vector< std::vector< std::string > > lists = { { "a" }, { "b", "c" } };
	release2DVec( lists );
	EXPECT_EQ( lists.size(), 0u );
}
