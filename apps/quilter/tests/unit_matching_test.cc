// Unit matching and the assembly stage with stand-ins for the started
// programs (shell scripts that copy, move or withhold their results), on
// two synthetic chains in a map simulated from their true positions.
#include "apps/quilter/AssemblyStage.hh"
#include "apps/quilter/UnitMatching.hh"
#include "quilter_test_util.hh"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace quilter_test;
namespace fs = std::filesystem;

namespace {

struct TwoChains {
	// Matching makes its work directory current; the test's own comes back.
	std::string cwd = fs::current_path().string();
	quilt_test::ScratchDir data{ "quilt um data" };
	quilt_test::ScratchDir bin{ "quilt um bin" };
	std::string binDir = bin.path() + "/";
	std::vector< std::string > chains;
	std::string mapPath;
	FastDensityScore map;
	TwoChains()
	{
		chains.push_back( data.file( "chain1_A.pdb" ) );
		write_chain( chains[ 0 ], helix( 30, 0, 0, 0 ), 'A' );
		chains.push_back( data.file( "chain2_B.pdb" ) );
		write_chain( chains[ 1 ], helix( 24, 13, 0, 4, 1.0 ), 'B' );
		mapPath = data.file( "map.mrc" );
		simulate_map( chains, mapPath );
		map = load_map( mapPath );
	}
	~TwoChains() { fs::current_path( cwd ); }
	std::string work()
	{
		std::string const w = data.file( "match_rmv_test" );
		fs::create_directory( w );
		return w;
	}
	std::string count_files( const std::string& dir, const std::string& prefix )
	{
		int n = 0;
		for ( auto const& e : fs::directory_iterator( dir ) )
			n += e.path().filename().string().rfind( prefix, 0 ) == 0;
		return std::to_string( n );
	}
};

// The FFT search returns the chain where it stands.
const char* copyingRasterseek = "cp \"$2\" \"$3_001.pdb\"\n";
// A program that leaves nothing.
const char* silentProgram = "exit 0\n";

} // namespace

TEST( UnitMatching, ThresholdFromTheResolutionAndItsLowering )
{
	EXPECT_NEAR( initialRsccCut( 0.0, 4.9 ), 0.581875, 1e-12 );
	EXPECT_NEAR( initialRsccCut( 0.0, 8.0 ), 0.5625, 1e-12 );
	EXPECT_DOUBLE_EQ( initialRsccCut( 0.45, 8.0 ), 0.45 );
	double cut = 0.6;
	EXPECT_TRUE( lowerRsccCut( cut, 0.58 ) );
	EXPECT_NEAR( cut, 0.58, 1e-9 );
	cut = 0.6;
	EXPECT_TRUE( lowerRsccCut( cut, 0.555 ) );
	EXPECT_LT( cut, 0.55 );
	EXPECT_GT( cut, 0.549 );
	cut = 0.6;
	EXPECT_FALSE( lowerRsccCut( cut, 0.45 ) );
	EXPECT_DOUBLE_EQ( cut, 0.6 );
}

TEST( UnitMatching, ChainsPlacedWellAreAcceptedAndTheirDensityRemoved )
{
	TwoChains t;
	write_script( t.bin.file( "Rasterseek" ), copyingRasterseek );
	std::string const work = t.work();
	std::vector< std::vector< std::string > > fit;
	std::vector< int > counts;
	int marks[ 2 ] = { 0, 0 };
	int lbfgs = 7;
	testing::internal::CaptureStdout();
	UnitMatching_lb_ft( work, t.chains, t.binDir, t.mapPath, 6.0, t.map, fit, counts, marks, lbfgs, 2, 5, 20, true,
		false, true, true, true, 0.0, 0.0, 0.0, "CA" );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_EQ( lbfgs, 0 );  // no chain needed the LBFGS fitting
	ASSERT_EQ( fit.size(), 2u );
	EXPECT_EQ( counts, ( std::vector< int >{ 1, 1 } ) );
	EXPECT_EQ( fit[ 0 ][ 0 ], work + "/chain1_A_001.pdb" );
	EXPECT_EQ( fit[ 1 ][ 0 ], work + "/chain2_B_001.pdb" );
	// A blanked map after the first chain only.
	EXPECT_EQ( t.count_files( work, "map_new_" ), "1" );
	EXPECT_NE( out.find( "density_map_path_new: " + work + "/map_new_chain1_A.mrc" ), std::string::npos );
	EXPECT_NE( out.find( "*************1-th iteration*************" ), std::string::npos );
	EXPECT_EQ( out.find( "2-th iteration" ), std::string::npos );
}

TEST( UnitMatching, ResultsOfAnEarlierStartAreNeverCollected )
{
	TwoChains t;
	// Both programs fail; the work directory still holds results of an
	// earlier start under the names they would use.
	write_script( t.bin.file( "Rasterseek" ), silentProgram );
	write_script( t.bin.file( "Placer" ), silentProgram );
	std::string const work = t.work();
	fs::copy_file( t.chains[ 0 ], work + "/chain1_A_001.pdb" );
	fs::copy_file( t.chains[ 0 ], work + "/chain1_A_1.pdb" );
	std::vector< std::vector< std::string > > fit;
	std::vector< int > counts;
	int marks[ 2 ] = { 0, 0 };
	int lbfgs = 0;
	testing::internal::CaptureStdout();
	UnitMatching_lb_ft( work, { t.chains[ 0 ] }, t.binDir, t.mapPath, 6.0, t.map, fit, counts, marks, lbfgs, 1, 5, 20,
		true, false, true, true, true, 0.0, 0.0, 0.0, "CA" );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_TRUE( fit.empty() );
	EXPECT_EQ( lbfgs, 1 );
	EXPECT_NE( out.find( "Warning! No placement was found for chain 'chain1_A'" ), std::string::npos );
	EXPECT_FALSE( fs::exists( work + "/chain1_A_001.pdb" ) );
}

TEST( UnitMatching, ChainWithoutAnyResultDoesNotStopTheOthers )
{
	TwoChains t;
	// The FFT search places only chain 2.
	write_script( t.bin.file( "Rasterseek" ), "case \"$3\" in chain2_B*) cp \"$2\" \"$3_001.pdb\";; esac\n" );
	write_script( t.bin.file( "Placer" ), silentProgram );
	std::string const work = t.work();
	std::vector< std::vector< std::string > > fit;
	std::vector< int > counts;
	int marks[ 2 ] = { 0, 0 };
	int lbfgs = 0;
	testing::internal::CaptureStdout();
	UnitMatching_lb_ft( work, t.chains, t.binDir, t.mapPath, 6.0, t.map, fit, counts, marks, lbfgs, 1, 5, 20, true,
		false, true, true, true, 0.0, 0.0, 0.0, "CA" );
	std::string const out = testing::internal::GetCapturedStdout();
	ASSERT_EQ( fit.size(), 1u );
	EXPECT_EQ( fit[ 0 ][ 0 ], work + "/chain2_B_001.pdb" );
	EXPECT_NE( out.find( "Warning! No placement was found for chain 'chain1_A'" ), std::string::npos );
	// No density was removed around the missing model.
	EXPECT_EQ( t.count_files( work, "map_new_chain1" ), "0" );
}

TEST( UnitMatching, FftOnlyPassKeepsEveryResult )
{
	TwoChains t;
	// Rasterseek writes as many results as asked for.
	write_script( t.bin.file( "Rasterseek" ),
		"chain=\"$2\"; name=\"$3\"; n=0; while [ $# -gt 0 ]; do [ \"$1\" = -explor ] && n=$2; shift; done\n"
		"i=1; while [ $i -le $n ]; do cp \"$chain\" \"${name}_00$i.pdb\"; i=$((i+1)); done\n" );
	std::string const work = t.work();
	std::vector< std::vector< std::string > > fit;
	std::vector< int > counts;
	testing::internal::CaptureStdout();
	UnitMatching_ft( work, t.chains, t.binDir, t.mapPath, 6.0, fit, counts, false, false, 1 );
	UnitMatching_ft( work, t.chains, t.binDir, t.mapPath, 6.0, fit, counts, true, false, 1 );
	testing::internal::GetCapturedStdout();
	EXPECT_EQ( counts, ( std::vector< int >{ 5, 5, 1, 1 } ) );
	EXPECT_EQ( fit[ 0 ][ 4 ], work + "/chain1_A_ft_005.pdb" );
}

TEST( AssemblyStage, ChainsOrderedLargestFirst )
{
	EXPECT_EQ( SortChainDescending( { 120, 300, 120 }, { "c1", "c2", "c3" } ),
		( std::vector< std::string >{ "c2", "c3", "c1" } ) );
	EXPECT_TRUE( SortChainDescending( std::vector< std::string >{} ).empty() );
}

TEST( AssemblyStage, FinalModelWrittenAndKeptWhenDomainOptimisationDoesWorse )
{
	TwoChains t;
	write_script( t.bin.file( "Rasterseek" ), copyingRasterseek );
	// The global optimisation returns the model moved 5 A: a worse fit.
	write_script( t.bin.file( "Lobetune" ),
		"model=\"$2\"; on=\"\"; while [ $# -gt 0 ]; do [ \"$1\" = -on ] && on=\"$2\"; shift; done\n"
		"out=\"$(dirname \"$model\")/${on%.pdb}_1.pdb\"\n"
		"awk '/^ATOM/{printf \"%s%8.3f%s\\n\", substr($0,1,30), substr($0,31,8)+5.0, substr($0,39); next} {print}' "
		"\"$model\" > \"$out\"\n" );
	int marks[ 2 ] = { 0, 0 };
	testing::internal::CaptureStdout();
	bool const written = GetInitModel( 1, t.data.path(), "segCmodel.pdb", t.chains, t.binDir, t.mapPath, 6.0, 2, t.map,
		{ 30, 24 }, marks, true, true, true, true, true, true, true, true, 5, 20, 0.0, 0.0, 0.6 );
	std::string const out = testing::internal::GetCapturedStdout();
	ASSERT_TRUE( written );
	std::string const final = t.data.file( "segCmodel1.pdb" );
	ASSERT_TRUE( fs::exists( final ) );
	std::ifstream in( final );
	std::string line;
	int atoms = 0, ters = 0;
	std::string firstChainLine;
	while ( std::getline( in, line ) ) {
		if ( line.rfind( "ATOM", 0 ) == 0 ) {
			if ( firstChainLine.empty() ) firstChainLine = line;
			++atoms;
		}
		ters += line == "TER";
	}
	EXPECT_EQ( atoms, 54 );
	EXPECT_EQ( ters, 2 );
	// Not replaced by the worse optimised model, which is removed.
	std::ifstream orig( t.chains[ 0 ] );
	std::string origFirst;
	std::getline( orig, origFirst );
	EXPECT_EQ( firstChainLine, origFirst );
	EXPECT_FALSE( fs::exists( t.data.file( "segCmodel_dom_1.pdb" ) ) );
	EXPECT_NE( out.find( "GetInitModel> Global domain optimize ..." ), std::string::npos );
	EXPECT_EQ( out.find( "RSCC is improvded" ), std::string::npos );
	// The stage's work directory is gone.
	EXPECT_EQ( t.count_files( t.data.path(), "match_rmv_" ), "0" );
}

TEST( AssemblyStage, NoPlacementAtAllWritesNoModel )
{
	TwoChains t;
	write_script( t.bin.file( "Rasterseek" ), silentProgram );
	write_script( t.bin.file( "Placer" ), silentProgram );
	int marks[ 2 ] = { 0, 0 };
	testing::internal::CaptureStdout();
	bool const written = GetInitModel( 1, t.data.path(), "segCmodel.pdb", t.chains, t.binDir, t.mapPath, 6.0, 2, t.map,
		{ 30, 24 }, marks, true, true, true, true, true, true, true, true, 5, 20, 0.0, 0.0, 0.6 );
	testing::internal::GetCapturedStdout();
	EXPECT_FALSE( written );
	EXPECT_FALSE( fs::exists( t.data.file( "segCmodel1.pdb" ) ) );
}
