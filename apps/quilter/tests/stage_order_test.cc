// The assembly stage orders the chains largest first and the similarity
// marks must follow their chains: a marked chain whose fit stays poor takes
// the domain-refinement road (Lobetune on its candidates), an unmarked one
// the domain-placement road (Lobeplace).  Stand-in programs log how they
// were started.
#include "apps/quilter/AssemblyStage.hh"
#include "quilter_test_util.hh"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <unistd.h>
#include <vector>

using namespace quilter_test;
namespace fs = std::filesystem;

namespace {

std::vector< std::string > lines_of( const std::string& path )
{
	std::vector< std::string > out;
	std::ifstream in( path );
	std::string l;
	while ( std::getline( in, l ) ) out.push_back( l );
	return out;
}

bool any_holds( const std::vector< std::string >& lines, const std::string& head, const std::string& text )
{
	for ( auto const& l : lines )
		if ( l.rfind( head, 0 ) == 0 && l.find( text ) != std::string::npos ) return true;
	return false;
}

// An extended chain (zigzag of 3.8 A steps) along z through (x, y).
std::vector< Point > strand( int n, double x, double y )
{
	std::vector< Point > p;
	for ( int i = 0; i < n; ++i ) p.push_back( { x + ( i % 2 ? 0.9 : -0.9 ), y, 3.3 * i } );
	return p;
}

} // namespace

TEST( StageOrder, SimilarityMarksFollowTheirChainsWhenSortedLargestFirst )
{
	std::string const cwd = fs::current_path().string();
	quilt_test::ScratchDir data( "quilt order data" );
	quilt_test::ScratchDir bin( "quilt order bin" );
	std::string const log = data.file( "started.log" );
	// Given smallest first: a 16-residue strand (not marked), then a
	// 30-residue helix (marked similar).
	std::vector< std::string > const chains = { data.file( "chainS.pdb" ), data.file( "chainL.pdb" ) };
	write_chain( chains[ 0 ], strand( 16, 14, 0 ), 'S' );
	write_chain( chains[ 1 ], helix( 30, 0, 0, 0 ), 'L' );
	std::string const mapPath = data.file( "map.mrc" );
	ASSERT_TRUE( simulate_map( chains, mapPath ) );
	FastDensityScore const map = load_map( mapPath );

	// The FFT search returns the chain 3 A beside its place, a fit below the
	// cut of 0.99; the LBFGS fitting finds nothing; the domain splitter cuts
	// every chain into two halves; the domain programs only log.
	std::string const logLine = "echo \"$(basename \"$0\") $*\" >> '" + log + "'\n";
	write_script( bin.file( "Rasterseek" ),
		logLine + "awk '/^ATOM/{printf \"%s%8.3f%s\\n\", substr($0,1,30), substr($0,31,8)+3.0, substr($0,39); next} "
		          "{print}' \"$2\" > \"$3_001.pdb\"\n" );
	write_script( bin.file( "Placer" ), logLine );
	write_script( bin.file( "Lobetune" ), logLine );
	write_script( bin.file( "Lobeplace" ), logLine );
	write_script( bin.file( "lobecut" ), "n=$(grep -c '^ATOM' xxxx.pdb); h=$((n/2)); echo \"$1 $n 2 1-$h $((h+1))-$n\"\n" );

	int marks[ 2 ] = { 0, 1 };
	testing::internal::CaptureStdout();
	GetInitModel( 1, data.path(), "segCmodel.pdb", chains, bin.path() + "/", mapPath, 6.0, 1, map, { 16, 30 }, marks,
		true, true, true, true, true, false, false, false, 5, 20, 0.0, 0.0, 0.99 );
	std::string const out = testing::internal::GetCapturedStdout();
	fs::current_path( cwd );

	std::vector< std::string > const started = lines_of( log );
	ASSERT_FALSE( started.empty() ) << out;
	// Largest first.
	EXPECT_NE( started.front().find( "Rasterseek" ), std::string::npos ) << started.front();
	EXPECT_NE( started.front().find( "chainL" ), std::string::npos ) << started.front();
	// The marked helix is refined by domains, the strand placed by domains;
	// neither takes the other's road.
	EXPECT_TRUE( any_holds( started, "Lobetune", "chainL" ) ) << out;
	EXPECT_FALSE( any_holds( started, "Lobetune", "chainS" ) ) << out;
	EXPECT_TRUE( any_holds( started, "Lobeplace", "chainS_mi" ) ) << out;
	EXPECT_FALSE( any_holds( started, "Lobeplace", "chainL" ) ) << out;
	// The input marks are not rewritten.
	EXPECT_EQ( marks[ 0 ], 0 );
	EXPECT_EQ( marks[ 1 ], 1 );
}

// The matching directory of the stage that cannot be made used to give a
// line "Error! Cannot make a work directory in ..." without a reason and a
// stage that placed nothing, which the run then reported as "no chain could
// be placed".  The run stops with the directory's place and the reason.
TEST( StageOrderDeathTest, MatchingDirectoryThatCannotBeMadeStopsTheRun )
{
	quilt_test::ScratchDir data( "quilt order data" );
	std::vector< std::string > const chains = { data.file( "chainA.pdb" ) };
	write_chain( chains[ 0 ], helix( 30, 0, 0, 0 ), 'A' );
	std::string const mapPath = data.file( "map.mrc" );
	ASSERT_TRUE( simulate_map( chains, mapPath ) );
	FastDensityScore const map = load_map( mapPath );
	std::string const gone = data.file( "gone" );
	int marks[ 1 ] = { 0 };
	// The messages go to standard output; a death test reads standard error.
	EXPECT_EXIT(
		{
			::dup2( 2, 1 );
			GetInitModel( 1, gone, "segCmodel.pdb", chains, data.path() + "/", mapPath, 6.0, 1, map, { 30 }, marks,
				true, true, true, true, true, false, false, false, 5, 20, 0.0, 0.0, 0.6 );
		},
		testing::ExitedWithCode( 1 ),
		"ERROR!.* Cannot make a work directory in " + gone + ": No such file or directory\\." );
}
