// Report files are written whole or not at all: the text arrives complete,
// no temporary file is left behind, and a failure says so and leaves what
// was there before.
#include "density/ReportFile.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>

namespace {

std::string slurp( std::string const& path )
{
	std::ifstream in( path.c_str() );
	std::ostringstream s;
	s << in.rdbuf();
	return s.str();
}

int entries( std::string const& dir )
{
	int n = 0;
	if ( DIR* d = ::opendir( dir.c_str() ) ) {
		while ( dirent* e = ::readdir( d ) )
			if ( std::string( e->d_name ) != "." && std::string( e->d_name ) != ".." ) ++n;
		::closedir( d );
	}
	return n;
}

} // namespace

TEST( ReportFile, WrittenWholeAndReplacedWhole )
{
	quilt_test::ScratchDir dir( "report_file" );
	std::string const path = dir.file( "iFSC.txt" );
	testing::internal::CaptureStdout();
	EXPECT_TRUE( write_report_file( path, "0.1 0.99\n0.2 0.95\n" ) );
	EXPECT_TRUE( write_report_file( path, "0.1 0.5\n" ) ); // a shorter report replaces a longer one
	EXPECT_EQ( testing::internal::GetCapturedStdout(), "" );
	EXPECT_EQ( slurp( path ), "0.1 0.5\n" );
	EXPECT_EQ( entries( dir.path() ), 1 ); // no temporary file left
	struct stat st;
	ASSERT_EQ( ::stat( path.c_str(), &st ), 0 );
	EXPECT_NE( st.st_mode & S_IRGRP, 0u ); // the usual permissions, not mkstemp's 0600
}

TEST( ReportFile, FailureIsReportedAndLeavesNothingBehind )
{
	quilt_test::ScratchDir dir( "report_file" );
	// A missing directory.
	testing::internal::CaptureStdout();
	EXPECT_FALSE( write_report_file( dir.file( "no/such/iFSC.txt" ), "x\n" ) );
	std::string out = testing::internal::GetCapturedStdout();
	EXPECT_EQ( out.rfind( "Error! Cannot write " + dir.file( "no/such/iFSC.txt" ) + ": ", 0 ), 0u ) << out;
	// The name is taken by a directory: it is kept, the temporary file removed.
	ASSERT_EQ( ::mkdir( dir.file( "iFSC.txt" ).c_str(), 0755 ), 0 );
	testing::internal::CaptureStdout();
	EXPECT_FALSE( write_report_file( dir.file( "iFSC.txt" ), "x\n" ) );
	out = testing::internal::GetCapturedStdout();
	EXPECT_NE( out.find( "Error! Cannot write " ), std::string::npos );
	EXPECT_EQ( entries( dir.path() ), 1 );
}
