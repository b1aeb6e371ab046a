// Lobetune on real structures, run with the command lines the assembly
// program builds: a chain whose domain is swung out of place about a hinge
// (and the whole chain nudged) comes back towards the truth; a whole complex
// of slightly displaced chains is refined as one model and every chain is
// kept in the result; a model that cannot be improved comes back unchanged.
#include "apps/quilter/StartedPrograms.hh"
#include "apps/siblings/tests/sibling_cases.hh"

#include <gtest/gtest.h>

using namespace sibtest;

namespace {

std::string per_candidate_command( std::string const& map, std::string const& candidate, double res, std::string const& on )
{
	return lobetuneCommand( program_dir(), map, candidate, res, 0.0, 0.0, on, 1 );
}

// Catches: domains not refined, refinement that drifts away from the truth,
// a result that is no line copy or lands under another name.
TEST( LobetuneRealData, HingeBentAdenylateKinaseIsPulledBackTowardsTheTruth )
{
	QUILT_REQUIRE_SHARED_DATA();
	std::string const pdb = quilt_test::shared_file( "single/1akeA.pdb" );
	std::string const map = quilt_test::shared_file( "single/1akeA_10A.mrc" );
	BlankDir dir;
	std::vector<std::string> const truth = chain_lines( pdb, ' ' ); // blank chain identifier
	ASSERT_GT( truth.size(), 1000u );
	std::vector<std::string> const bent = nudged( hinge_moved( truth, 118, 160, -20.0 ), 5, 4.0, 1.0 );
	write_lines( dir.file( "true.pdb" ), truth, nullptr );
	write_lines( dir.file( "chainA_001.pdb" ), bent, nullptr );
	double const start = rmsd( atoms_named( dir.file( "chainA_001.pdb" ), "CA" ), atoms_named( dir.file( "true.pdb" ), "CA" ) );

	int status = -1;
	std::string const out = run( "cd " + q( dir.path() ) + " && " +
		per_candidate_command( map, dir.file( "chainA_001.pdb" ), 10.0, "chainA_001_dom.pdb" ), status );
	ASSERT_EQ( status, 0 ) << out;
	std::string const result = dir.file( "chainA_001_dom_1.pdb" );
	std::string why;
	ASSERT_TRUE( is_line_copy( dir.file( "chainA_001.pdb" ), result, &why ) ) << why;
	double const end = rmsd( atoms_named( result, "CA" ), atoms_named( dir.file( "true.pdb" ), "CA" ) );
	std::cout << "1akeA hinge -20 deg: CA RMSD " << start << " -> " << end << " A" << std::endl;
	EXPECT_GT( start, 2.5 );
	EXPECT_LT( end, 0.6 * start ) << out;
	EXPECT_EQ( listing( dir.path() ).size(), 3u ); // input, truth, result: no temporaries left
}

// Catches: chains dropped from a global result, chains moved into their
// neighbours, a global result that is no line copy of the whole model.
TEST( LobetuneRealData, WholeComplexIsRefinedAsOneModelWithAllChains )
{
	QUILT_REQUIRE_SHARED_DATA();
	BlankDir dir;
	std::vector<std::string> truth, start;
	unsigned seed = 40;
	for ( char c : std::string( "ABCD" ) ) {
		std::string const f = quilt_test::shared_file( std::string( "complexes/1z5s/1z5s_" ) + c + ".pdb" );
		std::vector<std::string> const lines = chain_lines( f, c );
		ASSERT_FALSE( lines.empty() ) << f;
		std::vector<std::string> const moved = nudged( lines, ++seed, 6.0, 1.5 );
		truth.insert( truth.end(), lines.begin(), lines.end() );
		start.insert( start.end(), moved.begin(), moved.end() );
		start.push_back( "TER" );
	}
	write_lines( dir.file( "true.pdb" ), truth, nullptr );
	write_lines( dir.file( "segCmodel1.pdb" ), start, nullptr, "END\n" );
	std::string const map = quilt_test::shared_file( "complexes/1z5s/1z5s_10.mrc" );
	std::string const cmd =
		lobetuneGlobalCommand( program_dir(), map, dir.file( "segCmodel1.pdb" ), 10.0, 0.0, 0.0, "segCmodel_dom.pdb", 0 );
	int status = -1;
	std::string const out = run( "cd " + q( dir.path() ) + " && " + cmd, status );
	ASSERT_EQ( status, 0 ) << out;
	std::string const result = dir.file( "segCmodel_dom_1.pdb" );
	std::string why;
	ASSERT_TRUE( is_line_copy( dir.file( "segCmodel1.pdb" ), result, &why ) ) << why;
	double const before = rmsd( atoms_named( dir.file( "segCmodel1.pdb" ), "CA" ), atoms_named( dir.file( "true.pdb" ), "CA" ) );
	double const after = rmsd( atoms_named( result, "CA" ), atoms_named( dir.file( "true.pdb" ), "CA" ) );
	std::cout << "1z5s global: CA RMSD " << before << " -> " << after << " A" << std::endl;
	EXPECT_LT( after, 0.6 * before ) << out;
}

// Catches: a "refinement" that makes a fitted model worse, and a result
// that is not a copy when nothing improves.
TEST( LobetuneRealData, ResultNeverCorrelatesWorseThanTheInput )
{
	QUILT_REQUIRE_SHARED_DATA();
	std::string const pdb = quilt_test::shared_file( "single/1ggg.pdb" );
	std::string const map = quilt_test::shared_file( "single/1ggg_5A.mrc" );
	BlankDir dir;
	write_lines( dir.file( "fit.pdb" ), read_lines( pdb ), nullptr, "" );
	int status = -1;
	std::string const out = run( per_candidate_command( map, dir.file( "fit.pdb" ), 5.0, "fit_dom.pdb" ), status );
	ASSERT_EQ( status, 0 ) << out;
	std::string const result = dir.file( "fit_dom_1.pdb" );
	ASSERT_TRUE( is_line_copy( dir.file( "fit.pdb" ), result ) );
	if ( read_lines( result ) != read_lines( dir.file( "fit.pdb" ) ) ) {
		EXPECT_NE( out.find( "moves kept" ), std::string::npos );
	}
	EXPECT_LT( rmsd( atoms_named( result, "CA" ), atoms_named( pdb, "CA" ) ), 0.5 );
}

} // namespace
