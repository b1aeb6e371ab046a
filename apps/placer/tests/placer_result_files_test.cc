// The result files of the Placer program as a user meets them: results of an
// earlier run left beside the new ones, a result that cannot be written (a
// directory in its place, a full disk), the permissions of the results, and
// inputs compared with the results on more than one file system.
#include "fitting/tests/synthetic_model.hh"
#include "testsupport/small_file_systems.hh"
#include "testsupport/test_data.hh"
#include "tools/SimulatedMap.hh"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

struct RunResult {
	int status = -1;
	std::string out;
};

// Runs build/bin/Placer with the argument text (already quoted) in dir,
// behind the shell text `before` (a umask).
RunResult run_placer( std::string const& dir, std::string const& args, std::string const& before = "" )
{
	RunResult r;
	r.out = quilt_test::run_command( "cd '" + dir + "' && " + before + "'" + quilt_test::bin_dir() + "/Placer' " + args,
		r.status );
	return r;
}

std::string file_bytes( std::string const& path )
{
	std::ifstream in( path.c_str(), std::ios::binary );
	std::stringstream text;
	text << in.rdbuf();
	return text.str();
}

void write_bytes( std::string const& path, std::string const& bytes )
{
	std::ofstream( path.c_str(), std::ios::binary ) << bytes;
}

using quilt_test::entries;

// Entries of dir that are temporaries of a writer (".tmp" or ".part" in the name).
std::vector<std::string> temporaries( std::string const& dir )
{
	std::vector<std::string> out;
	for ( std::string const& e : entries( dir ) )
		if ( e.find( ".tmp" ) != std::string::npos || e.find( ".part" ) != std::string::npos ) out.push_back( e );
	return out;
}

// The synthetic map (into mapPath) and the model moved off it (into modelPath).
void write_case( std::string const& mapPath, std::string const& modelPath )
{
	std::vector<synth::Atom> const truth = synth::make_model();
	std::vector<SimAtom> sim;
	for ( synth::Atom const& a : truth ) sim.push_back( { a.p[0], a.p[1], a.p[2], element_weight( a.name.substr( 0, 1 ) ) } );
	write_mrc( mapPath, simulate_density( sim, 6.0, 2.0, 14.0 ) );
	double const t[3] = { -9.0, 6.0, 8.0 };
	synth::write_pdb( modelPath, synth::moved( truth, 2.5, 1.9, 0.8, t ) );
}

bool is_fitted_model( std::string const& path ) { return synth::read_ca( path ).size() > 10; }

char const* const kOlder = "Placer> Note: older results of this model are left in place and were not written by this run: ";

} // namespace

// Catches the results of an earlier run passing for this run's: after -nm 5
// and then -nm 1 on another map, model_2.pdb .. model_5.pdb of the first run
// stood beside the new model_1.pdb with nothing to tell them apart.  They
// are kept, and a note names every <model>_<k>.pdb beyond those written,
// contiguous or not; names of another form, directories and the results of
// other models are not results of this model.
TEST( PlacerResultFiles, OlderResultsLeftInPlaceAreNamed )
{
	ASSERT_TRUE( quilt_test::path_exists( quilt_test::bin_dir() + "/Placer" ) ) << "build the Placer program first";
	quilt_test::ScratchDir dir( "placerolder" );
	write_case( dir.file( "map.mrc" ), dir.file( "model.pdb" ) );
	// The earlier run.
	RunResult r = run_placer( dir.path(), "map.mrc model.pdb 6 -nm 5 -sl 0 -rc 0" );
	ASSERT_EQ( r.status, 0 ) << r.out;
	EXPECT_EQ( r.out.find( kOlder ), std::string::npos ) << r.out;
	int earlier = 0;
	while ( quilt_test::path_exists( dir.file( "model_" + std::to_string( earlier + 1 ) + ".pdb" ) ) ) ++earlier;
	ASSERT_GE( earlier, 3 ) << r.out;
	std::string const second = file_bytes( dir.file( "model_2.pdb" ) );

	r = run_placer( dir.path(), "map.mrc model.pdb 6 -nm 1 -sl 0" );
	ASSERT_EQ( r.status, 0 ) << r.out;
	// model_2.pdb .. model_<earlier>.pdb: a pair, or a range.
	std::string const listed = earlier == 3 ? "model_2.pdb, model_3.pdb"
	                                        : "model_2.pdb to model_" + std::to_string( earlier ) + ".pdb";
	EXPECT_NE( r.out.find( kOlder + listed + ".\n" ), std::string::npos ) << r.out;
	EXPECT_EQ( file_bytes( dir.file( "model_2.pdb" ) ), second );
	EXPECT_TRUE( is_fitted_model( dir.file( "model_1.pdb" ) ) );

	// Gaps, and names that are no results of this model.
	for ( int k = 2; k <= earlier; ++k ) std::remove( dir.file( "model_" + std::to_string( k ) + ".pdb" ).c_str() );
	std::string const model = file_bytes( dir.file( "model.pdb" ) );
	for ( char const* name : { "model_3.pdb", "model_4.pdb", "model_9.pdb", "model_05.pdb", "model_x.pdb",
		      "model_12.pdb.tmp", "model_2_1.pdb", "other_6.pdb", "model_0.pdb", "model_-7.pdb" } )
		write_bytes( dir.file( name ), model );
	ASSERT_EQ( ::mkdir( dir.file( "model_8.pdb" ).c_str(), 0755 ), 0 );
	// A link to a file counts as that file; a link to the model is the input.
	ASSERT_EQ( ::symlink( "model_9.pdb", dir.file( "model_10.pdb" ).c_str() ), 0 );
	ASSERT_EQ( ::symlink( "model.pdb", dir.file( "model_11.pdb" ).c_str() ), 0 );
	r = run_placer( dir.path(), "map.mrc model.pdb 6 -nm 1 -sl 0" );
	ASSERT_EQ( r.status, 0 ) << r.out;
	EXPECT_NE( r.out.find( kOlder + std::string( "model_3.pdb, model_4.pdb, model_9.pdb, model_10.pdb.\n" ) ),
		std::string::npos ) << r.out;
	EXPECT_EQ( file_bytes( dir.file( "model_9.pdb" ) ), model );

	// Three or more in a row are named as a range; what this run wrote is
	// never listed, and nothing is listed when nothing older is left.
	std::remove( dir.file( "model_10.pdb" ).c_str() );
	std::remove( dir.file( "model_11.pdb" ).c_str() );
	for ( int k = 5; k <= 7; ++k ) write_bytes( dir.file( "model_" + std::to_string( k ) + ".pdb" ), model );
	r = run_placer( dir.path(), "map.mrc model.pdb 6 -nm 1 -sl 0" );
	ASSERT_EQ( r.status, 0 ) << r.out;
	EXPECT_NE( r.out.find( kOlder + std::string( "model_3.pdb to model_7.pdb, model_9.pdb.\n" ) ), std::string::npos )
		<< r.out;
	for ( int k = 2; k <= 9; ++k ) std::remove( dir.file( "model_" + std::to_string( k ) + ".pdb" ).c_str() );
	::rmdir( dir.file( "model_8.pdb" ).c_str() );
	r = run_placer( dir.path(), "map.mrc model.pdb 6 -nm 1 -sl 0" );
	ASSERT_EQ( r.status, 0 ) << r.out;
	EXPECT_EQ( r.out.find( kOlder ), std::string::npos ) << r.out;
}

// Catches a write that fails without the system's reason ("Error! Cannot
// write the model file .../model_1.pdb" and nothing more), and a writer
// that takes a failed rename for a written file: with a directory named
// model_1.pdb in place of the result, "RSCC of model_1" was reported with
// status 0, nothing was written and model_1.pdb.tmpXXXXXX was left.
TEST( PlacerResultFiles, DirectoryInPlaceOfAResultIsNamedWithTheReason )
{
	ASSERT_TRUE( quilt_test::path_exists( quilt_test::bin_dir() + "/Placer" ) ) << "build the Placer program first";
	quilt_test::ScratchDir dir( "placerdir" );
	write_case( dir.file( "map.mrc" ), dir.file( "model.pdb" ) );
	ASSERT_EQ( ::mkdir( dir.file( "model_1.pdb" ).c_str(), 0755 ), 0 );
	RunResult const r = run_placer( dir.path(), "map.mrc model.pdb 6 -sl 0" );
	EXPECT_EQ( r.status, 1 ) << r.out;
	EXPECT_NE( r.out.find( "Error! Cannot write the model file " + dir.file( "model_1.pdb" ) + ": Is a directory\n" ),
		std::string::npos ) << r.out;
	EXPECT_EQ( r.out.find( "RSCC of model_1" ), std::string::npos ) << r.out;
	EXPECT_TRUE( entries( dir.file( "model_1.pdb" ) ).empty() );
	EXPECT_TRUE( temporaries( dir.path() ).empty() ) << temporaries( dir.path() ).front();
}

// Catches the same failure on a full disk, where the message gave no reason.
TEST( PlacerResultFiles, FullDiskIsNamedWithTheReason )
{
	ASSERT_TRUE( quilt_test::path_exists( quilt_test::bin_dir() + "/Placer" ) ) << "build the Placer program first";
	quilt_test::ScratchDir dir( "placerfull" );
	write_case( dir.file( "map.mrc" ), dir.file( "model.pdb" ) );
	quilt_test::SmallFileSystem small( dir.file( "small" ), "1m" );
	if ( !small.mounted() ) GTEST_SKIP() << "cannot mount a small file system here";
	write_bytes( small.file( "model.pdb" ), file_bytes( dir.file( "model.pdb" ) ) );
	ASSERT_TRUE( quilt_test::fill_file_system( small.path() ) );
	RunResult const r = run_placer( small.path(), "../map.mrc model.pdb 6 -sl 0" );
	EXPECT_EQ( r.status, 1 ) << r.out;
	EXPECT_NE( r.out.find( "Error! Cannot write the model file " + small.file( "model_1.pdb" )
				   + ": No space left on device\n" ),
		std::string::npos ) << r.out;
	EXPECT_FALSE( quilt_test::path_exists( small.file( "model_1.pdb" ) ) );
	EXPECT_TRUE( temporaries( small.path() ).empty() ) << temporaries( small.path() ).front();
}

// Catches results left private to their owner (the temporary file they are
// written as is made mode 0600): each result, also one that replaces a file
// of another mode, gets 0666 less the umask.
TEST( PlacerResultFiles, ResultsTakeThePermissionsOfTheUmask )
{
	ASSERT_TRUE( quilt_test::path_exists( quilt_test::bin_dir() + "/Placer" ) ) << "build the Placer program first";
	quilt_test::ScratchDir dir( "placermode" );
	write_case( dir.file( "map.mrc" ), dir.file( "model.pdb" ) );
	for ( mode_t const mask : { 022, 002 } ) {
		write_bytes( dir.file( "model_1.pdb" ), "old\n" );
		ASSERT_EQ( ::chmod( dir.file( "model_1.pdb" ).c_str(), 0600 ), 0 );
		std::remove( dir.file( "model_2.pdb" ).c_str() );
		char umask_text[32];
		std::snprintf( umask_text, sizeof umask_text, "umask %03o && ", (unsigned)mask );
		RunResult const r = run_placer( dir.path(), "map.mrc model.pdb 6 -nm 2 -sl 0", umask_text );
		ASSERT_EQ( r.status, 0 ) << r.out;
		for ( char const* name : { "model_1.pdb", "model_2.pdb" } ) {
			struct stat st;
			ASSERT_EQ( ::stat( dir.file( name ).c_str(), &st ), 0 ) << name << "\n" << r.out;
			EXPECT_EQ( st.st_mode & 07777, 0666 & ~mask ) << name << " with umask " << umask_text;
		}
	}
}

// Catches inputs compared with the results by inode number alone: a result
// name on the model's file system whose inode number is that of the map on
// another file system was refused as "the density map", and a result of an
// earlier run there was taken for the map and not named.  Two small file
// systems of their own: the maps on one, the model and its results on the
// other.
TEST( PlacerResultFiles, FilesOfAnotherFileSystemAreNoInputs )
{
	ASSERT_TRUE( quilt_test::path_exists( quilt_test::bin_dir() + "/Placer" ) ) << "build the Placer program first";
	quilt_test::ScratchDir dir( "placerdev" );
	quilt_test::SmallFileSystem maps( dir.file( "maps" ) );
	quilt_test::SmallFileSystem models( dir.file( "models" ) );
	if ( !maps.mounted() || !models.mounted() ) GTEST_SKIP() << "cannot mount small file systems here";
	// A few files ahead on the maps' side, so that the model's side, which
	// holds the model as well, can still meet both map numbers.
	for ( int k = 0; k < 4; ++k ) write_bytes( maps.file( "spare" + std::to_string( k ) ), "" );
	write_case( maps.file( "map.mrc" ), models.file( "model.pdb" ) );
	write_bytes( maps.file( "map2.mrc" ), file_bytes( maps.file( "map.mrc" ) ) );
	ASSERT_NE( quilt_test::device_of( maps.path() ), quilt_test::device_of( models.path() ) );
	if ( !quilt_test::make_file_with_inode( models.path(), "model_1.pdb", quilt_test::inode_of( maps.file( "map.mrc" ) ) )
		|| !quilt_test::make_file_with_inode( models.path(), "model_3.pdb",
			quilt_test::inode_of( maps.file( "map2.mrc" ) ) ) )
		GTEST_SKIP() << "the inode numbers of the two file systems do not meet here";
	write_bytes( models.file( "model_3.pdb" ), file_bytes( models.file( "model.pdb" ) ) );

	RunResult r = run_placer( models.path(), "'" + maps.file( "map.mrc" ) + "' model.pdb 6 -sl 0" );
	EXPECT_EQ( r.status, 0 ) << r.out;
	EXPECT_EQ( r.out.find( "Error!" ), std::string::npos ) << r.out;
	EXPECT_NE( r.out.find( "Placer> RSCC of model_1: " ), std::string::npos ) << r.out;
	EXPECT_TRUE( is_fitted_model( models.file( "model_1.pdb" ) ) );

	r = run_placer( models.path(), "'" + maps.file( "map2.mrc" ) + "' model.pdb 6 -sl 0" );
	EXPECT_EQ( r.status, 0 ) << r.out;
	EXPECT_NE( r.out.find( kOlder + std::string( "model_3.pdb.\n" ) ), std::string::npos ) << r.out;
}

// Catches a usage text that leaves out what the run writes: it said only that
// models are saved beside the input model, and "-nm number of positions
// explored", while -nm is the most results written and the names follow
// the model's.
TEST( PlacerResultFiles, UsageSaysHowResultsAreNamed )
{
	ASSERT_TRUE( quilt_test::path_exists( quilt_test::bin_dir() + "/Placer" ) ) << "build the Placer program first";
	quilt_test::ScratchDir dir( "placerusage" );
	RunResult const r = run_placer( dir.path(), "" );
	EXPECT_EQ( r.status, 0 ) << r.out;
	for ( char const* line : { "        as <model>_1.pdb, <model>_2.pdb, ... best first (<model>: the model's file name\n",
		      "        without a final .pdb or .ent); -nm (1 to 1000000) is the most written: only\n",
		      "        numbered beyond those written are left in place, and a note names them\n" } )
		EXPECT_NE( r.out.find( line ), std::string::npos ) << line << r.out;
}
