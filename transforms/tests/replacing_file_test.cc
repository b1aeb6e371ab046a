// The replacing-file writer and SaveModel over it, where the target cannot
// take the file or the file system differs: a directory in the target's
// place, the permissions a new file gets, and inputs compared with the
// output on two file systems.
#include "transforms/ModelOutput.hh"

#include "core/basic_fun_Quilt.hh"
#include "testsupport/small_file_systems.hh"
#include "testsupport/test_data.hh"
#include "transforms/tests/transforms_test_util.hh"

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace {

using transforms_test::golden;
using transforms_test::slurp;
using transforms_test::spit;

using quilt_test::entries;

// The process umask set for the life of the object.
struct UmaskAs {
	explicit UmaskAs( mode_t mask ) : old( ::umask( mask ) ) {}
	~UmaskAs() { ::umask( old ); }
	mode_t old;
};

} // namespace

// Catches a commit that ignores the result of its rename: onto a directory
// it reported success, wrote nothing and left the temporary file behind.
TEST( ReplacingFile, CommitOntoADirectoryFailsWithTheReasonAndLeavesNoTemporary )
{
	quilt_test::ScratchDir dir( "replacing" );
	std::string const target = dir.file( "model_1.pdb" );
	ASSERT_EQ( ::mkdir( target.c_str(), 0755 ), 0 );
	{
		ReplacingFile out( target );
		ASSERT_NE( out.file(), nullptr );
		std::fputs( "ATOM\n", out.file() );
		errno = 0;
		EXPECT_FALSE( out.commit( true ) );
		EXPECT_EQ( errno, EISDIR );
		EXPECT_EQ( entries( dir.path() ), std::vector<std::string>{ "model_1.pdb" } );
	}
	EXPECT_EQ( entries( dir.path() ), std::vector<std::string>{ "model_1.pdb" } );
	struct stat st;
	ASSERT_EQ( ::stat( target.c_str(), &st ), 0 );
	EXPECT_TRUE( S_ISDIR( st.st_mode ) );
	EXPECT_TRUE( entries( target ).empty() );

	// SaveModel says which file and why.
	transforms_test::Table rows( 0 );
	testing::internal::CaptureStdout();
	EXPECT_FALSE( SaveModel( golden( "model_in.pdb" ), target, rows.p, 0 ) );
	std::string const msg = testing::internal::GetCapturedStdout();
	EXPECT_NE( msg.find( "Error! Cannot write the model file " + target + ": Is a directory\n" ), std::string::npos )
		<< msg;
	EXPECT_EQ( entries( dir.path() ), std::vector<std::string>{ "model_1.pdb" } );
}

// Catches a written file left private to its owner (mkstemp makes the
// temporary mode 0600): a committed file has 0666 less the umask, also where
// it replaces a file of another mode.
TEST( ReplacingFile, CommittedFileTakesThePermissionsOfTheUmask )
{
	quilt_test::ScratchDir dir( "replacing" );
	std::string const target = dir.file( "out.pdb" );
	for ( mode_t const mask : { 022, 002, 077 } ) {
		spit( target, "old\n" );
		ASSERT_EQ( ::chmod( target.c_str(), 0600 ), 0 );
		UmaskAs const as( mask );
		ReplacingFile out( target );
		ASSERT_NE( out.file(), nullptr );
		std::fputs( "new\n", out.file() );
		ASSERT_TRUE( out.commit( true ) );
		struct stat st;
		ASSERT_EQ( ::stat( target.c_str(), &st ), 0 );
		EXPECT_EQ( st.st_mode & 07777, 0666 & ~mask ) << "umask " << mask;
		EXPECT_EQ( slurp( target ), "new\n" );
	}
	EXPECT_EQ( entries( dir.path() ), std::vector<std::string>{ "out.pdb" } );
}

// Catches the input compared with the output by inode number alone: an
// output on another file system that bears the input's inode number was
// refused as "its input file".  Two small file systems of their own.
TEST( SaveModel, OutputOnAnotherFileSystemWithTheInputsInodeNumberIsWritten )
{
	quilt_test::ScratchDir dir( "replacing" );
	quilt_test::SmallFileSystem inputs( dir.file( "in" ) );
	quilt_test::SmallFileSystem outputs( dir.file( "out" ) );
	if ( !inputs.mounted() || !outputs.mounted() ) GTEST_SKIP() << "cannot mount small file systems here";
	std::string const in = inputs.file( "model.pdb" );
	spit( in, "HEADER    a model on one file system\nEND\n" );
	ASSERT_NE( quilt_test::device_of( in ), quilt_test::device_of( outputs.path() ) );
	if ( !quilt_test::make_file_with_inode( outputs.path(), "model_1.pdb", quilt_test::inode_of( in ) ) )
		GTEST_SKIP() << "the inode numbers of the two file systems do not meet here";
	std::string const out = outputs.file( "model_1.pdb" );
	ASSERT_EQ( quilt_test::inode_of( out ), quilt_test::inode_of( in ) );

	transforms_test::Table rows( 0 );
	testing::internal::CaptureStdout();
	bool const saved = SaveModel( in, out, rows.p, 0 );
	std::string const msg = testing::internal::GetCapturedStdout();
	EXPECT_TRUE( saved ) << msg;
	EXPECT_EQ( msg.find( "Error!" ), std::string::npos ) << msg;
	EXPECT_EQ( slurp( out ), slurp( in ) );
}
