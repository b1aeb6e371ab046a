// The final model's place compared with the run's inputs on two file
// systems: files are the same only when both their device and their inode
// number are, and inode numbers repeat from one file system to the next.
#include "quilter_run_case.hh"
#include "testsupport/small_file_systems.hh"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace quilter_test;
namespace fs = std::filesystem;

// Catches the final model compared with the inputs by inode number alone: a
// segCmodel1.pdb in the data directory whose inode number is that of the map
// on another file system was refused as "the density map" before the run.
TEST( FinalModelDevices, ModelOnAnotherFileSystemBearingTheMapsInodeNumberIsWritten )
{
	RunCase c;
	c.script( "Rasterseek", kRasterseekInPlace );
	quilt_test::SmallFileSystem maps( c.root.path() + "/maps" );
	quilt_test::SmallFileSystem data( c.root.path() + "/datafs", "64m" );
	if ( !maps.mounted() || !data.mounted() ) GTEST_SKIP() << "cannot mount small file systems here";
	// The map a few numbers ahead of the data side, which holds the data
	// directory and the chains before the model is made.
	for ( int k = 0; k < 8; ++k ) std::ofstream( maps.file( "spare" + std::to_string( k ) ) );
	fs::copy_file( c.map, maps.file( "map.mrc" ) );
	c.map = maps.file( "map.mrc" );
	std::string const dataDir = data.file( "data" );
	fs::create_directories( dataDir );
	for ( auto const& e : fs::directory_iterator( c.data ) )
		fs::copy_file( e.path(), dataDir + "/" + e.path().filename().string() );
	c.data = dataDir;
	ASSERT_NE( quilt_test::device_of( c.map ), quilt_test::device_of( c.data ) );
	if ( !quilt_test::make_file_with_inode( c.data, "segCmodel1.pdb", quilt_test::inode_of( c.map ) ) )
		GTEST_SKIP() << "the inode numbers of the two file systems do not meet here";

	std::string out;
	EXPECT_EQ( c.quilter( out ), 0 ) << out;
	EXPECT_FALSE( says( out, kError ) ) << out;
	EXPECT_TRUE( finished( out ) ) << out;
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 24, 18 } ) );
}
