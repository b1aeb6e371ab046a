// Where the final model goes: the name data_path/<output name>1.pdb is
// compared with the run's inputs as files, so that no spelling of a path
// and no link lets the model replace an input; a name that cannot take the
// model is refused before the search; and a model that still cannot be
// written at the end is named with the system's reason, not reported as a
// run in which no chain could be placed.
#include "quilter_run_case.hh"

#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

using namespace quilter_test;
namespace fs = std::filesystem;

namespace {

// Every entry of a directory with its bytes (directories as "<dir>").
std::map< std::string, std::string > contents( const std::string& dir )
{
	std::map< std::string, std::string > m;
	for ( auto const& e : fs::directory_iterator( dir ) ) {
		std::string const name = e.path().filename().string();
		m[ name ] = fs::is_directory( e.symlink_status() ) ? "<dir>" : file_text( e.path().string() );
	}
	return m;
}

int quilter_at( RunCase& c, std::string& out, const std::string& map, const std::string& reso,
	const std::string& options )
{
	return run_shell( shq( c.bin + "/Quilter" ) + " " + shq( c.data ) + " " + shq( map ) + " " + shq( reso ) + " " +
	                      options,
		out );
}

const std::string kReplaces = "\033[1mERROR!\033[0m The final model ";

} // namespace

TEST( FinalModelPlace, InputReachedByAnotherPathOrLinkIsRefused )
{
	RunCase c;
	std::string const started = c.root.path() + "/search-started";
	c.script( "Rasterseek", "echo x > '" + started + "'\ncp \"$2\" \"$3_001.pdb\"\n" );
	for ( int i = 1; i <= 3; ++i )
		fs::rename( c.data + "/chain" + std::to_string( i ) + ".pdb", c.data + "/segCmodel" + std::to_string( i ) + ".pdb" );
	std::map< std::string, std::string > const before = contents( c.data );
	std::string out;
	// The input prefix spelled with a directory part: the inputs are
	// segCmodel1.pdb.., and the final model would be segCmodel1.pdb.
	for ( std::string const prefix : { "./segCmodel", "../data/segCmodel", "./././segCmodel" } ) {
		EXPECT_EQ( quilter_at( c, out, c.map, "6", "-nco 1 -ipn " + prefix ), 1 ) << prefix << "\n" << out;
		EXPECT_TRUE( says( out, kReplaces + c.data + "/segCmodel1.pdb would replace the input model " + c.data +
		                            "/segCmodel1.pdb (the same file)" ) )
			<< out;
		EXPECT_EQ( contents( c.data ), before ) << prefix;
	}
	// chain1.pdb a symbolic link to segCmodel1.pdb, chain2.pdb a hard link
	// to segCmodel2.pdb (with -opn seg.pdb the final model is seg1.pdb, a
	// hard link to segCmodel2.pdb as well).
	fs::create_symlink( "segCmodel1.pdb", c.data + "/chain1.pdb" );
	fs::create_hard_link( c.data + "/segCmodel2.pdb", c.data + "/chain2.pdb" );
	fs::create_hard_link( c.data + "/segCmodel2.pdb", c.data + "/seg1.pdb" );
	std::map< std::string, std::string > const linked = contents( c.data );
	EXPECT_EQ( quilter_at( c, out, c.map, "6", "-nco 1" ), 1 ) << out;
	EXPECT_TRUE( says( out, "would replace the input model " + c.data + "/chain1.pdb (the same file)" ) ) << out;
	EXPECT_EQ( quilter_at( c, out, c.map, "6", "-nco 1 -opn seg.pdb" ), 1 ) << out;
	EXPECT_TRUE( says( out, "/seg1.pdb would replace the input model " + c.data + "/chain2.pdb (the same file)" ) ) << out;
	EXPECT_EQ( contents( c.data ), linked );
	EXPECT_FALSE( fs::exists( started ) );

	// A name that is no input is taken, and the inputs stay as they were.
	EXPECT_EQ( quilter_at( c, out, c.map, "6", "-nco 1 -ipn ./segCmodel -opn fresh.pdb" ), 0 ) << out;
	EXPECT_EQ( c.chain_sizes( "fresh1.pdb" ), ( std::vector< int >{ 30, 24, 18 } ) );
	for ( auto const& e : before ) EXPECT_EQ( file_text( c.data + "/" + e.first ), e.second ) << e.first;
}

TEST( FinalModelPlace, FinalNameThatLeadsToTheMapOrTheResolutionFileIsRefused )
{
	RunCase c;
	c.script( "Rasterseek", kRasterseekInPlace );
	std::string const mapBytes = file_text( c.map );
	std::string out;
	// A symbolic link to the map, then a hard link to it, under the final name.
	fs::create_symlink( c.map, c.model() );
	EXPECT_EQ( c.quilter( out ), 1 ) << out;
	EXPECT_TRUE( says( out, "\033[1mERROR!\033[0m The output name segCmodel.pdb would write the final model over the map " +
	                            c.map ) ||
	             says( out, kReplaces + c.model() + " would replace the density map " + c.map + " (the same file)" ) )
		<< out;
	EXPECT_TRUE( fs::is_symlink( c.model() ) );
	fs::remove( c.model() );
	fs::create_hard_link( c.map, c.model() );
	EXPECT_EQ( c.quilter( out ), 1 ) << out;
	EXPECT_TRUE( says( out, "would replace the density map " + c.map ) ) << out;
	fs::remove( c.model() );
	EXPECT_EQ( file_text( c.map ), mapBytes );
	// The resolution given as a file of the final model's name.
	std::ofstream( c.model() ) << "6\n";
	EXPECT_EQ( quilter_at( c, out, c.map, c.model(), "-nco 1" ), 1 ) << out;
	EXPECT_TRUE( says( out, "would replace the resolution file " + c.model() + " (the same file)" ) ) << out;
	EXPECT_EQ( file_text( c.model() ), "6\n" );
	EXPECT_TRUE( c.leftovers().empty() );
}

TEST( FinalModelPlace, FinalNameThatCannotTakeTheModelIsRefusedBeforeTheSearch )
{
	RunCase c;
	std::string const started = c.root.path() + "/search-started";
	c.script( "Rasterseek", "echo x > '" + started + "'\ncp \"$2\" \"$3_001.pdb\"\n" );
	std::string out;
	fs::create_directory( c.model() );
	EXPECT_EQ( c.quilter( out ), 1 ) << out;
	EXPECT_TRUE( says( out, kReplaces + c.model() + " cannot be written: a directory of that name is in the way." ) )
		<< out;
	EXPECT_FALSE( fs::exists( started ) );
	fs::remove( c.model() );

	// An earlier model marked immutable (where the file system has the flag).
	std::ofstream( c.model() ) << "earlier model\n";
	if ( run_shell( "chattr +i " + shq( c.model() ), out ) == 0 ) {
		EXPECT_EQ( c.quilter( out ), 1 ) << out;
		EXPECT_TRUE( says( out, kReplaces + c.model() + " cannot be replaced: the file is marked immutable" ) ) << out;
		run_shell( "chattr -i " + shq( c.model() ), out );
		EXPECT_FALSE( fs::exists( started ) );
		EXPECT_EQ( file_text( c.model() ), "earlier model\n" );
	}
	EXPECT_TRUE( c.leftovers().empty() );
}

// An earlier model marked append-only cannot be replaced either: the run
// has to refuse it before the search, not find it out after the whole
// assembly ("could not be written: Operation not permitted").
TEST( FinalModelPlace, AppendOnlyEarlierModelIsRefusedBeforeTheSearch )
{
	RunCase c;
	std::string const started = c.root.path() + "/search-started";
	c.script( "Rasterseek", "echo x > '" + started + "'\ncp \"$2\" \"$3_001.pdb\"\n" );
	std::ofstream( c.model() ) << "earlier model\n";
	std::string out;
	if ( run_shell( "chattr +a " + shq( c.model() ), out ) != 0 )
		GTEST_SKIP() << "the append-only flag cannot be set here: " << out;
	// The flag is taken off again however the test ends: the scratch
	// directory could not be removed with it.
	struct ClearFlag {
		std::string path;
		~ClearFlag()
		{
			std::string ignored;
			run_shell( "chattr -a " + shq( path ), ignored );
		}
	} const clear{ c.model() };
	EXPECT_EQ( c.quilter( out ), 1 ) << out;
	EXPECT_TRUE( says( out, kReplaces + c.model() + " cannot be replaced: the file is marked append-only (chattr); "
	                                                "choose another -opn." ) )
		<< out;
	EXPECT_FALSE( fs::exists( started ) );
	EXPECT_EQ( file_text( c.model() ), "earlier model\n" );
	EXPECT_TRUE( c.leftovers().empty() );
}

TEST( FinalModelPlace, ModelThatCannotBeWrittenAtTheEndIsNamedWithTheReason )
{
	// Something else takes the final name while the run searches: a
	// directory of that name.  The whole run is done, the rename fails, and
	// the error says so with the system's reason.
	RunCase c;
	c.script( "Rasterseek", "mkdir -p '" + c.model() + "'\ncp \"$2\" \"$3_001.pdb\"\n" );
	std::string out;
	EXPECT_EQ( c.quilter( out ), 1 ) << out;
	EXPECT_TRUE( says( out, kReplaces + c.model() + " could not be written: Is a directory." ) ) << out;
	EXPECT_FALSE( says( out, "no chain could be placed" ) ) << out;
	EXPECT_FALSE( finished( out ) );
	EXPECT_TRUE( fs::is_directory( c.model() ) );
	fs::remove( c.model() );
	EXPECT_TRUE( c.leftovers().empty() );
}

TEST( RunFileNames, DataPathTooLongForTheWorkFilesIsRefusedBeforeAnythingIsMade )
{
	// A data path of about 4050 characters: the work files below it would
	// pass the system's limit of 4095, and every started program would fail
	// on them.  Refused at once, with the reason.
	RunCase c;
	std::string deep = c.root.path() + "/d";
	while ( deep.size() < 3850 ) deep += "/" + std::string( 200, 'b' );
	deep += "/" + std::string( 4050 - deep.size(), 'c' );
	std::string made;
	for ( std::size_t at = c.root.path().size() + 1; at <= deep.size(); ) {
		std::size_t const slash = deep.find( '/', at );
		std::size_t const end = slash == std::string::npos ? deep.size() : slash;
		// One level at a time, relative to the last: the whole path is too
		// long for one call.
		std::string const part = deep.substr( at, end - at );
		std::string out;
		ASSERT_EQ( run_shell( "cd " + shq( c.root.path() ) + ( made.empty() ? "" : " && cd " + shq( made ) ) +
		                          " && mkdir " + shq( part ),
			           out ),
			0 )
			<< out;
		made += ( made.empty() ? "" : "/" ) + part;
		at = end + 1;
	}
	std::string out;
	EXPECT_EQ( run_shell( "cd " + shq( c.root.path() ) + " && cp " + shq( c.data ) + "/chain1.pdb " + shq( made ) +
	                          "/ && " + shq( c.bin + "/Quilter" ) + " " + shq( made ) + " " + shq( c.map ) + " 6",
		           out ),
		1 )
		<< out.substr( 0, 500 );
	EXPECT_TRUE( says( out, "\033[1mERROR!\033[0m The data path is too long for the run's work files (" ) &&
	             says( out, "a path holds at most 4095): use a shorter data path." ) )
		<< out.substr( 0, 500 );
	// Only the input is there.
	EXPECT_EQ( run_shell( "cd " + shq( c.root.path() ) + " && ls -A " + shq( made ), out ), 0 );
	EXPECT_EQ( out, "chain1.pdb\n" );
}
