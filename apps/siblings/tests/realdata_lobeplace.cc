// Lobeplace on two-domain chains, run with the command line the assembly
// program builds in a work directory whose path holds a blank: the chain,
// moved by a random rigid motion (and, in the harder cases, with a domain
// swung about its hinge, as a chain in another conformation than the map's),
// must come back within 3 A CA RMSD of the true chain.
#include "apps/quilter/StartedPrograms.hh"
#include "apps/siblings/tests/sibling_cases.hh"

#include <gtest/gtest.h>

using namespace sibtest;

namespace {

struct LobeCase {
	char const* name;
	char const* model;
	char chain;
	char const* map;
	double resolution;
	unsigned seed;
	int hingeFirst, hingeLast; // 0: no hinge motion
	double hingeDegrees;
};

void PrintTo( LobeCase const& c, std::ostream* os ) { *os << c.name; }

class LobeplaceAccuracy : public testing::TestWithParam<LobeCase> {};

// Catches: domains placed apart from each other or in the wrong density, the
// chain written torn, results under other names, temporaries left behind.
TEST_P( LobeplaceAccuracy, MovedChainIsPlacedWithinThreeAngstrom )
{
	QUILT_REQUIRE_SHARED_DATA();
	LobeCase const& c = GetParam();
	BlankDir dir;
	std::vector<std::string> truth = chain_lines( quilt_test::shared_file( c.model ), c.chain );
	ASSERT_GT( truth.size(), 1000u );
	std::vector<std::string> input = c.hingeFirst > 0 ? hinge_moved( truth, c.hingeFirst, c.hingeLast, c.hingeDegrees ) : truth;
	Motion const m = random_motion( input, c.seed );
	// The caller's copy of the chain for domain-based matching.
	write_lines( dir.file( "chainA_mi1.pdb" ), input, &m );
	write_lines( dir.file( "true.pdb" ), truth, nullptr );
	std::string const map = quilt_test::shared_file( c.map );
	std::string const cmd =
		lobeplaceCommand( program_dir(), dir.path(), map, c.resolution, "chainA_mi", 0.0, 0.0, "chainA_mo.pdb", 0, 2 );
	int status = -1;
	std::string const out = run( "cd " + q( dir.path() ) + " && " + cmd, status );
	ASSERT_EQ( status, 0 ) << out;
	std::string const result = dir.file( "chainA_mo1.pdb" );
	std::string why;
	ASSERT_TRUE( is_line_copy( dir.file( "chainA_mi1.pdb" ), result, &why ) ) << why;
	EXPECT_EQ( listing( dir.path() ).size(), 3u ); // input, truth, one result
	double const r = rmsd( atoms_named( result, "CA" ), atoms_named( dir.file( "true.pdb" ), "CA" ) );
	std::cout << c.name << ": CA RMSD " << r << " A" << std::endl;
	EXPECT_LT( r, 3.0 ) << out;
}

INSTANTIATE_TEST_SUITE_P( TwoDomainChains, LobeplaceAccuracy,
	testing::Values( LobeCase{ "adenylate_kinase_10A", "single/1akeA.pdb", ' ', "single/1akeA_10A.mrc", 10.0, 51, 0, 0, 0 },
		LobeCase{ "glutamine_binding_protein_5A", "single/1ggg.pdb", 'B', "single/1ggg_5A.mrc", 5.0, 52, 0, 0, 0 },
		LobeCase{ "adenylate_kinase_lid_swung_10A", "single/1akeA.pdb", ' ', "single/1akeA_10A.mrc", 10.0, 53, 118, 160, -25.0 },
		LobeCase{ "glutamine_binding_protein_lobe_swung_5A", "single/1ggg.pdb", 'B', "single/1ggg_5A.mrc", 5.0, 54, 90, 178, 20.0 } ),
	[]( testing::TestParamInfo<LobeCase> const& info ) { return std::string( info.param.name ); } );

} // namespace
