// The built Quilter program run as a user would: usage text, refusals that
// leave nothing behind.
#include "quilter_run_case.hh"
#include "testsupport/test_data.hh"

#include <cstdio>
#include <filesystem>
#include <gtest/gtest.h>
#include <string>

namespace {

int run( const std::string& cmd, std::string& out ) { return quilter_test::run_shell( cmd, out ); }

std::string quilter() { return "'" + quilt_test::bin_dir() + "/Quilter'"; }

std::size_t entries( const std::string& dir )
{
	std::size_t n = 0;
	for ( auto const& e : std::filesystem::directory_iterator( dir ) ) {
		(void)e;
		++n;
	}
	return n;
}

} // namespace

TEST( QuilterProgram, UsageTextWithTheProgramNameAndVersion )
{
	std::string out;
	EXPECT_EQ( run( quilter(), out ), 0 );
	EXPECT_NE( out.find( " * Quilter (Version 20250312): an algorithm for protein-NA or               *" ),
		std::string::npos );
	EXPECT_NE( out.find( " Usage: " + quilt_test::bin_dir() + "/Quilter data_path map resolution [Options]" ),
		std::string::npos );
	EXPECT_NE( out.find( "       -dc   threshold for density value, default: 0 \n" ), std::string::npos );
	EXPECT_NE( out.find( "              are placed in the same directory as the original density map.]" ),
		std::string::npos );
}

TEST( QuilterProgram, RefusalsExitNonZeroAndLeaveNoWorkDirectory )
{
	QUILT_REQUIRE_SHARED_DATA();
	quilt_test::ScratchDir dir( "quilt refuse" );
	std::string const map = quilt_test::shared_file( "complexes/1z5s/1z5s_10.mrc" );
	std::string out;
	// Resolution that is not a positive number.
	EXPECT_EQ( run( quilter() + " '" + dir.path() + "' '" + map + "' -4", out ), 1 );
	EXPECT_NE( out.find( "ERROR!" ), std::string::npos );
	// No input model.
	EXPECT_EQ( run( quilter() + " '" + dir.path() + "' '" + map + "' 10", out ), 1 );
	EXPECT_NE( out.find( "Please input at least one PDB format model!" ), std::string::npos );
	// Option out of range.
	EXPECT_EQ( run( quilter() + " '" + dir.path() + "' '" + map + "' 10 -rsc 1.5", out ), 1 );
	EXPECT_NE( out.find( "-rsc should be in [0,1), recommended 0.6 " ), std::string::npos );
	// A model file without atoms.
	std::FILE* f = std::fopen( dir.file( "chain1.pdb" ).c_str(), "w" );
	std::fputs( "HEADER    NOTHING\nEND\n", f );
	std::fclose( f );
	EXPECT_EQ( run( quilter() + " '" + dir.path() + "' '" + map + "' 10", out ), 1 );
	EXPECT_NE( out.find( "ERROR!" ), std::string::npos );
	EXPECT_EQ( entries( dir.path() ), 1u );  // only chain1.pdb: no work directory left behind
}
