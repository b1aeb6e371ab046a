// lobecut run as the domain parser runs it (a temporary directory holding
// xxxx.pdb, the tag "xxxx" + chain, standard output redirected into a log
// whose path holds a blank) on real chains; and the failure paths of every
// sibling program: bad input ends with a non-zero status and no file.
#include "apps/quilter/DomainParsing.hh"
#include "apps/quilter/StartedPrograms.hh"
#include "apps/siblings/tests/sibling_cases.hh"

#include <gtest/gtest.h>

#include <sstream>

using namespace sibtest;

namespace {

// Runs lobecut on chain `chain` of `pdb` copied to xxxx.pdb; returns the
// log's first line.
std::string lobecut_log( std::string const& pdb, char chain, int& status, std::string* all = nullptr )
{
	BlankDir dir;
	std::string const tmp = dir.file( "DomSplit_chainA12345.678900" );
	run( "mkdir -p " + q( tmp ) + " && cp " + q( pdb ) + " " + q( tmp + "/xxxx.pdb" ), status );
	std::string const log = tmp + "/chainA_dom.log";
	std::string const id = chain == ' ' ? std::string() : std::string( 1, chain );
	// The command exactly as the domain parser composes it, run in the
	// temporary directory.
	std::string const cmd = lobecutCommand( program_dir(), "xxxx" + id, log );
	std::string const out = run( "cd " + q( tmp ) + " && " + cmd, status );
	std::vector<std::string> const lines = read_lines( log );
	if ( all ) *all = out;
	return lines.empty() ? std::string() : lines.front();
}

std::vector<std::string> words( std::string const& line )
{
	std::istringstream in( line );
	std::vector<std::string> w;
	std::string s;
	while ( in >> s ) w.push_back( s );
	return w;
}

// Catches: the two lobes of the glutamine-binding protein not found, the
// discontinuous domain missed, positions written instead of residue numbers.
TEST( LobecutRealData, GlutamineBindingProteinSplitsIntoItsTwoLobes )
{
	QUILT_REQUIRE_SHARED_DATA();
	int status = -1;
	std::string const line = lobecut_log( quilt_test::shared_file( "single/1ggg.pdb" ), 'B', status );
	ASSERT_EQ( status, 0 );
	std::vector<std::string> const w = words( line );
	ASSERT_EQ( w.size(), 5u ) << line;
	EXPECT_EQ( w[0], "xxxxB" );
	EXPECT_EQ( w[2], "2" );
	// Lobe 1: the N-terminal stretch and the C-terminal stretch; lobe 2 the middle.
	EXPECT_EQ( w[3].front(), '(' );
	EXPECT_NE( w[3].find( ';' ), std::string::npos ) << line;
	EXPECT_EQ( w[3].substr( 0, 3 ), "(1-" ) << line;
	int a = 0, b = 0;
	ASSERT_EQ( std::sscanf( w[4].c_str(), "(%d-%d)", &a, &b ), 2 ) << line;
	EXPECT_NEAR( a, 85, 8 );
	EXPECT_NEAR( b, 180, 8 );
}

// Catches: chain breaks marked by TER records cutting the chain short
// (actin's four subdomains span them).
TEST( LobecutRealData, ActinWithTerRecordsAtItsChainBreaksGivesFourSubdomains )
{
	QUILT_REQUIRE_SHARED_DATA();
	int status = -1;
	std::string const line = lobecut_log( quilt_test::shared_file( "single/3MFP.pdb" ), 'A', status );
	ASSERT_EQ( status, 0 );
	std::vector<std::string> const w = words( line );
	ASSERT_GE( w.size(), 3u ) << line;
	EXPECT_EQ( w[1], "369" );
	EXPECT_EQ( w[2], "4" ) << line;
}

// Catches: a log the assembly program's domain parser cannot read back: the
// parser starts lobecut itself and must get the two lobes of 1ggg as domain
// files holding every residue once.
TEST( LobecutRealData, AssemblyDomainParserReadsTheTwoLobesBack )
{
	QUILT_REQUIRE_SHARED_DATA();
	BlankDir dir;
	std::vector<std::string> const lines = chain_lines( quilt_test::shared_file( "single/1ggg.pdb" ), 'B' );
	std::string const chain = dir.file( "chain1.pdb" );
	write_lines( chain, lines, nullptr );
	int count = 0;
	std::vector<int*> bounds;
	std::vector<int> segDomains, residueCounts;
	std::vector<std::string> files;
	char cwd[4096];
	ASSERT_NE( ::getcwd( cwd, sizeof cwd ), nullptr );
	DomSplit( program_dir(), chain, count, bounds, segDomains, files, residueCounts, true );
	ASSERT_EQ( ::chdir( cwd ), 0 );
	EXPECT_EQ( count, 2 );
	ASSERT_EQ( files.size(), 2u );
	ASSERT_EQ( residueCounts.size(), 2u );
	EXPECT_EQ( residueCounts[0] + residueCounts[1], 220 );
	EXPECT_GE( std::min( residueCounts[0], residueCounts[1] ), 40 );
	EXPECT_EQ( bounds.size(), 3u ); // one lobe is discontinuous
	for ( int* b : bounds ) delete[] b;
}

// Catches: small chains split; a blank chain identifier not found.
TEST( LobecutRealData, SmallChainIsOneDomain )
{
	QUILT_REQUIRE_SHARED_DATA();
	int status = -1;
	std::string const line = lobecut_log( quilt_test::shared_file( "complexes/1z5s/1z5s_D.pdb" ), 'D', status );
	ASSERT_EQ( status, 0 );
	EXPECT_EQ( line, "xxxxD 65 1 (2629-2693)" );
	std::string const blank = lobecut_log( quilt_test::shared_file( "single/1akeA.pdb" ), 'A', status );
	ASSERT_EQ( status, 0 ) << "blank chain identifier answers to A";
	EXPECT_EQ( words( blank ).at( 2 ), "3" ) << blank; // adenylate kinase: CORE, NMP and LID
}

// Catches: a failing splitter that writes half a log or a usage text into it.
TEST( LobecutRealData, MissingFileOrChainLeavesAnEmptyLogAndFails )
{
	QUILT_REQUIRE_SHARED_DATA();
	BlankDir dir;
	int status = 0;
	std::string const log = dir.file( "x_dom.log" );
	run( "cd " + q( dir.path() ) + " && " + lobecutCommand( program_dir(), "xxxxA", log ), status );
	EXPECT_NE( status, 0 );
	EXPECT_TRUE( read_lines( log ).empty() );
	std::string line = lobecut_log( quilt_test::shared_file( "single/1ggg.pdb" ), 'Q', status );
	EXPECT_NE( status, 0 );
	EXPECT_TRUE( line.empty() );
}

struct FailureCase {
	char const* name;
	bool emptyModel; // else: missing map
};

void PrintTo( FailureCase const& c, std::ostream* os ) { *os << c.name; }

class SiblingFailures : public testing::TestWithParam<FailureCase> {};

// Catches: a failing program that exits 0 (the assembly program would not
// notice) or leaves partial result files that would be taken for results.
TEST_P( SiblingFailures, BadInputExitsNonZeroAndWritesNothing )
{
	QUILT_REQUIRE_SHARED_DATA();
	FailureCase const& c = GetParam();
	BlankDir dir;
	std::string const model = dir.file( "chainA.pdb" );
	std::string const map = c.emptyModel ? quilt_test::shared_file( "single/1akeA_10A.mrc" ) : dir.file( "no map.mrc" );
	if ( c.emptyModel ) write_lines( model, {}, nullptr, "REMARK nothing here\nEND\n" );
	else write_lines( model, chain_lines( quilt_test::shared_file( "single/1akeA.pdb" ), ' ' ), nullptr );
	int st = 0;
	run( "cp " + q( model ) + " " + q( dir.file( "chainA_mi1.pdb" ) ), st );
	std::vector<std::string> const before = listing( dir.path() );
	std::vector<std::string> const cmds = {
		placerRNACommand( program_dir(), map, model, 10.0, 0.0, 0.0, 3, "all" ),
		lobetuneCommand( program_dir(), map, model, 10.0, 0.0, 0.0, "chainA_dom.pdb", 1 ),
		lobetuneGlobalCommand( program_dir(), map, model, 10.0, 0.0, 0.0, "segCmodel_dom.pdb", 0 ),
		lobeplaceCommand( program_dir(), dir.path(), map, 10.0, "chainA_mi", 0.0, 0.0, "chainA_mo.pdb", 0, 1 ),
	};
	for ( std::string const& cmd : cmds ) {
		int status = 0;
		std::string const out = run( "cd " + q( dir.path() ) + " && " + cmd, status );
		EXPECT_NE( status, 0 ) << cmd << "\n" << out;
		EXPECT_NE( out.find( "Error" ), std::string::npos ) << out;
		EXPECT_EQ( listing( dir.path() ), before ) << cmd;
	}
}

INSTANTIATE_TEST_SUITE_P( Inputs, SiblingFailures,
	testing::Values( FailureCase{ "missing_map", false }, FailureCase{ "model_without_atoms", true } ),
	[]( testing::TestParamInfo<FailureCase> const& info ) { return std::string( info.param.name ); } );

// Catches: a program that does something (or crashes) when called bare.
TEST( SiblingUsage, EveryProgramPrintsItsUsageWithoutArguments )
{
	for ( char const* p : { "lobecut", "PlacerRNA", "Lobetune", "Lobeplace" } ) {
		int status = -1;
		std::string const out = run( q( program_dir() + p ), status );
		EXPECT_EQ( status, 0 ) << p;
		EXPECT_NE( out.find( "Usage:" ), std::string::npos ) << p << "\n" << out;
	}
}

} // namespace
