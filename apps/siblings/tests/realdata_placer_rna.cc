// PlacerRNA on the DNA of 3MHT: each strand, masked as the assembly program
// masks nucleic-acid chains and moved by a random rigid motion, is fitted
// back into the DNA-only map with the command line the assembly program
// builds; the best model must lie within 3 A of the true strand (P atoms).
#include "apps/quilter/StartedPrograms.hh"
#include "apps/siblings/tests/sibling_cases.hh"

#include <gtest/gtest.h>

using namespace sibtest;

namespace {

struct StrandCase {
	char const* name;
	char chain;
	unsigned seed;
	bool masked = true;        // as the assembly program hands strands over
	char const* atomType = "all";
};

void PrintTo( StrandCase const& c, std::ostream* os ) { *os << c.name; }

class PlacerRNAStrands : public testing::TestWithParam<StrandCase> {};

// Catches: a fit that lands on the partner strand or the wrong register, a
// result that is not a line copy of the masked input, missing or extra files.
TEST_P( PlacerRNAStrands, MaskedStrandIsFittedBackWithinThreeAngstrom )
{
	QUILT_REQUIRE_SHARED_DATA();
	StrandCase const& c = GetParam();
	std::string const pdb = quilt_test::shared_file( "complexes/3mht/3mht.pdb" );
	std::string const map = quilt_test::shared_file( "complexes/3mht/NA.map" );
	BlankDir dir;
	std::vector<std::string> lines = chain_lines( pdb, c.chain );
	ASSERT_GT( lines.size(), 200u );
	if ( c.masked )
		for ( auto& l : lines ) l = mask_na( l );
	Motion const m = random_motion( lines, c.seed );
	std::string const chain = dir.file( std::string( "chain" ) + c.chain + ".pdb" );
	write_lines( chain, lines, &m, "" );
	write_lines( dir.file( "true.pdb" ), lines, nullptr, "" );

	std::string const cmd = placerRNACommand( program_dir(), map, chain, 6.0, 0.0, 0.0, 3, c.atomType );
	int status = -1;
	std::string const out = run( "cd " + q( dir.path() ) + " && " + cmd, status );
	ASSERT_EQ( status, 0 ) << out;
	for ( int k = 1; k <= 3; ++k ) {
		std::string const res = dir.file( std::string( "chain" ) + c.chain + "_" + std::to_string( k ) + ".pdb" );
		std::string why;
		EXPECT_TRUE( is_line_copy( chain, res, &why ) ) << res << ": " << why;
	}
	EXPECT_FALSE( quilt_test::path_exists( dir.file( std::string( "chain" ) + c.chain + "_4.pdb" ) ) );
	double const r = rmsd( atoms_named( dir.file( std::string( "chain" ) + c.chain + "_1.pdb" ), "P" ),
		atoms_named( dir.file( "true.pdb" ), "P" ) );
	std::cout << c.name << ": P RMSD of model 1 " << r << " A" << std::endl;
	EXPECT_LT( r, 3.0 ) << out;
}

INSTANTIATE_TEST_SUITE_P( DnaOf3mht, PlacerRNAStrands,
	testing::Values( StrandCase{ "strand_C", 'C', 31 }, StrandCase{ "strand_D", 'D', 32 },
		StrandCase{ "strand_C_again", 'C', 33 }, StrandCase{ "strand_D_again", 'D', 34 },
		// An unmasked strand has no CA: "-tp CA" falls back to its P atoms.
		StrandCase{ "unmasked_strand_C_by_P_atoms", 'C', 35, false, "CA" } ),
	[]( testing::TestParamInfo<StrandCase> const& info ) { return std::string( info.param.name ); } );

} // namespace
