// The result files of the sibling programs as a user meets them: the
// permissions every result gets (moved models and returned copies alike),
// outputs compared with the inputs on two file systems, and the result
// names the usage texts promise.
#include "apps/siblings/rasterseek_model.hh"
#include "apps/siblings/tests/small_fit_case.hh"
#include "testsupport/small_file_systems.hh"

#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>

using namespace sibling_case;
namespace fs = std::filesystem;

namespace {

mode_t mode_of( std::string const& path )
{
	struct stat st;
	return ::stat( path.c_str(), &st ) == 0 ? st.st_mode & 07777 : 0;
}

std::string umask_text( mode_t mask )
{
	char text[32];
	std::snprintf( text, sizeof text, "umask %03o && ", (unsigned)mask );
	return text;
}

} // namespace

// Catches results left private to their owner: each is written under a
// temporary name that mkstemp makes mode 0600, and the copy Lobetune returns
// when the correlation would not improve lost the permissions of the umask.
// Every result of every program, moved or copied, gets 0666 less the umask,
// also where it replaces a file of another mode.
TEST( SiblingResultFiles, EveryResultTakesThePermissionsOfTheUmask )
{
	SmallFitCase c;
	// A second chain off its place in the map, for a Lobetune run that moves it.
	quilter_test::write_chain( c.file( "off.pdb" ), quilter_test::helix( 30, 1.2, -0.8, 0.9, 0.15 ), 'A' );
	fs::copy_file( c.chain, c.file( "A_mi1.pdb" ) );
	struct Run {
		std::string command;
		std::vector<std::string> results;
		char const* says; // a line that tells which road the run took
	} const runs[] = {
		{ SmallFitCase::program( "Rasterseek" ) + " map.mrc chain.pdb R -res 6 -explor 2", { "R_001.pdb" }, "" },
		{ SmallFitCase::program( "PlacerRNA" ) + " map.mrc chain.pdb 6 -nm 2 -sl 0", { "chain_1.pdb", "chain_2.pdb" },
			"" },
		{ SmallFitCase::program( "Lobetune" ) + " map.mrc chain.pdb 6 -sl 0", { "chain_dom_1.pdb" },
			"; the input is returned unchanged" },
		{ SmallFitCase::program( "Lobetune" ) + " map.mrc off.pdb 6 -sl 0", { "off_dom_1.pdb" }, "moves kept)\n" },
		{ SmallFitCase::program( "Lobeplace" ) + " . map.mrc 6 -in A_mi -on A_mo.pdb -nm 2 -sl 0",
			{ "A_mo1.pdb", "A_mo2.pdb" }, "" },
	};
	for ( mode_t const mask : { 022, 002 } ) {
		for ( Run const& r : runs ) {
			// The first result there before, private to its owner.
			std::ofstream( c.file( r.results[0] ) ) << "old\n";
			ASSERT_EQ( ::chmod( c.file( r.results[0] ).c_str(), 0600 ), 0 );
			std::string out;
			ASSERT_EQ( c.run( umask_text( mask ) + r.command, out ), 0 ) << r.command << "\n" << out;
			EXPECT_TRUE( says( out, r.says ) ) << r.command << "\n" << out;
			for ( std::string const& name : r.results ) {
				EXPECT_NE( file_text( c.file( name ) ), "old\n" ) << name;
				EXPECT_EQ( mode_of( c.file( name ) ), 0666 & ~mask ) << name << " of " << umask_text( mask ) << r.command;
			}
		}
	}
}

// Catches outputs compared with the inputs by inode number alone: a result
// name in the working directory that bears the inode number of the model or
// the map on another file system was refused as that input (by the programs'
// common check, and by Rasterseek's own writer for the model), and standard
// output into a file of such a number as well.  Two small file systems of
// their own: the inputs on one, the results and the log on the other.
TEST( SiblingResultFiles, FilesOfAnotherFileSystemAreNoInputs )
{
	SmallFitCase c;
	quilt_test::SmallFileSystem inputs( c.root.file( "inputs" ) );
	quilt_test::SmallFileSystem work( c.root.file( "work" ) );
	if ( !inputs.mounted() || !work.mounted() ) GTEST_SKIP() << "cannot mount small file systems here";
	// The inputs' side a few numbers ahead, so that the other side can meet them.
	for ( int k = 0; k < 3; ++k ) std::ofstream( inputs.file( "spare" + std::to_string( k ) ) );
	fs::copy_file( c.chain, inputs.file( "chain.pdb" ) );
	fs::copy_file( c.map, inputs.file( "map.mrc" ) );
	fs::copy_file( c.chain, inputs.file( "xxxx.pdb" ) );
	ASSERT_NE( quilt_test::device_of( inputs.path() ), quilt_test::device_of( work.path() ) );
	using quilt_test::inode_of;
	// Result 1 bears the model's number (Rasterseek's writer checks the model
	// once more), result 2 the map's.
	if ( !quilt_test::make_file_with_inode( work.path(), "R_001.pdb", inode_of( inputs.file( "chain.pdb" ) ) )
		|| !quilt_test::make_file_with_inode( work.path(), "R_002.pdb", inode_of( inputs.file( "map.mrc" ) ) )
		|| !quilt_test::make_file_with_inode( work.path(), "domains.log", inode_of( inputs.file( "xxxx.pdb" ) ) ) )
		GTEST_SKIP() << "the inode numbers of the two file systems do not meet here";

	std::string out;
	std::string const in = shq( inputs.path() );
	int status = quilter_test::run_shell( "cd " + shq( work.path() ) + " && " + SmallFitCase::program( "Rasterseek" )
	                                          + " " + in + "/map.mrc " + in + "/chain.pdb R -res 6 -explor 2",
		out );
	EXPECT_EQ( status, 0 ) << out;
	EXPECT_FALSE( says( out, "Error!" ) ) << out;
	EXPECT_TRUE( says( file_text( work.file( "R_001.pdb" ) ), "ATOM" ) ) << out;
	// lobecut reads xxxx.pdb in its working directory: a link to the inputs' side.
	fs::create_symlink( inputs.file( "xxxx.pdb" ), work.file( "xxxx.pdb" ) );
	status = quilter_test::run_shell(
		"cd " + shq( work.path() ) + " && ( " + SmallFitCase::program( "lobecut" ) + " xxxxA >domains.log )", out );
	EXPECT_EQ( status, 0 ) << out;
	EXPECT_FALSE( says( out, "Error!" ) ) << out;
	EXPECT_TRUE( says( file_text( work.file( "domains.log" ) ), "xxxxA 30 1 " ) ) << file_text( work.file( "domains.log" ) );
}

// Catches a usage text that gives other names than the results bear:
// Rasterseek's said "name_001.pdb, name_002.pdb, ..." while result 10 is
// name_0010.pdb, the name the assembly program reads back.
TEST( SiblingResultFiles, RasterseekUsageGivesTheNamesOfItsResults )
{
	std::string out;
	ASSERT_EQ( quilter_test::run_shell( SmallFitCase::program( "Rasterseek" ), out ), 0 ) << out;
	for ( int k : { 1, 9, 10, 999 } )
		EXPECT_TRUE( says( out, rasterseek::result_file_name( "name", k ) ) ) << k << "\n" << out;
	EXPECT_FALSE( says( out, "name_010.pdb" ) ) << out;
}

// The result names of the fitting programs as the reference page gives them:
// PlacerRNA and the default of Lobetune drop the model name's last four
// characters whatever they are; an "-on" name loses a final ".pdb" in small
// letters only.
TEST( SiblingResultFiles, ResultNamesDropWhatThePageSays )
{
	SmallFitCase c;
	fs::copy_file( c.chain, c.file( "X.txt" ) );
	fs::copy_file( c.chain, c.file( "abcdefg" ) );
	struct Run {
		std::string command;
		std::vector<std::string> results;
	} const runs[] = {
		{ SmallFitCase::program( "PlacerRNA" ) + " map.mrc X.txt 6 -nm 2 -sl 0", { "X_1.pdb", "X_2.pdb" } },
		{ SmallFitCase::program( "PlacerRNA" ) + " map.mrc abcdefg 6 -sl 0", { "abc_1.pdb" } },
		{ SmallFitCase::program( "Lobetune" ) + " map.mrc X.txt 6 -sl 0", { "X_dom_1.pdb" } },
		{ SmallFitCase::program( "Lobetune" ) + " map.mrc chain.pdb 6 -sl 0 -on foo.PDB", { "foo.PDB_1.pdb" } },
	};
	for ( Run const& r : runs ) {
		std::vector<std::string> const before = c.names();
		std::string out;
		ASSERT_EQ( c.run( r.command, out ), 0 ) << r.command << "\n" << out;
		std::vector<std::string> made;
		for ( std::string const& n : c.names() )
			if ( std::find( before.begin(), before.end(), n ) == before.end() ) made.push_back( n );
		EXPECT_EQ( made, r.results ) << r.command << "\n" << out;
	}
}
