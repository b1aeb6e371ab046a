// What a run says about the chains that a matching could not place, when an
// FFT re-match follows the first matching: a chain is called left out of the
// assembled model only where the model written lacks it, the run says what
// the model keeps of a chain that the re-match lost, and the list of chains
// to check at the end names every chain the model lacks.  The first
// matching's stand-ins place every chain 3 A beside its density, a fit that
// leaves the first combination well below 0.7 after Placer was started, so
// that every chain is matched again by FFT search alone; the re-match's
// calls of the search stand-in carry the tag "_ft" in their output name.
#include "quilter_run_case.hh"

#include <filesystem>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace quilter_test;

namespace {

// A stand-in body that writes "$from" moved by dx along x to "$to" (columns
// 31-38 rewritten, everything else kept).
std::string moved_copy( const std::string& from, const std::string& to, double dx )
{
	return "awk -v dx=" + std::to_string( dx ) +
	       " '{ if (substr($0,1,4)==\"ATOM\") printf \"%s%8.3f%s\\n\", substr($0,1,30), substr($0,31,8)+dx, "
	       "substr($0,39); else print }' \"" +
	       from + "\" > \"" + to + "\"\n";
}

// The first matching: the search and the fitting both leave every chain 3 A
// beside its place, except the chains whose output name begins with one of
// `lost` (they get nothing) or with `off` (placed 500 A away, off the map).
// The re-match's searches run `rematch`.
void first_matching_poor( RunCase& c, const std::string& rematch, const std::string& lost = "none",
	const std::string& off = "none" )
{
	c.script( "Rasterseek", "case \"$3\" in *_ft) " + rematch + ";; " + lost + "*) exit 1;; " + off + "*) " +
	                            moved_copy( "$2", "$3_001.pdb", 500.0 ) + "exit 0;; esac\n" +
	                            moved_copy( "$2", "$3_001.pdb", 3.0 ) );
	c.script( "Placer", "c=\"$2\"; case \"${c##*/}\" in " + lost + "*) exit 1;; " + off + "*) " +
	                        moved_copy( "$c", "${c%.pdb}_1.pdb", 500.0 ) + "exit 0;; esac\n" +
	                        moved_copy( "$c", "${c%.pdb}_1.pdb", 3.0 ) );
}

const std::vector< std::string > kChains = { "chain1_A", "chain2_B", "chain3_C" };

} // namespace

// The hostile trial's case in small: every call of the re-match fails (one
// with status 1, two leaving no result), the first combination is the one
// written with all three chains, and the run used to say of each chain
// "it is left out of the assembled model".
TEST( RematchMessages, ChainsTheRematchLostAreKeptFromTheFirstMatching )
{
	RunCase c;
	first_matching_poor( c, "case \"$3\" in chain1_*) exit 1;; esac; exit 0" );
	std::string out;
	ASSERT_EQ( c.quilter( out ), 0 ) << out;
	ASSERT_TRUE( says( out, "Use FFt fit again: \n" ) ) << out;
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 24, 18 } ) ) << out;
	EXPECT_FALSE( says( out, "left out" ) ) << out;
	std::size_t const done = out.find( "Assembly is done." );
	ASSERT_NE( done, std::string::npos ) << out;
	for ( std::string const& name : kChains ) {
		// Said where the re-match finds nothing, and what the model keeps
		// once it is written.
		std::size_t const found = out.find( "Warning! No placement was found for chain '" + name + "'.\n" );
		EXPECT_GT( found, out.find( "Use FFt fit again: " ) ) << name << "\n" << out;
		std::string const kept = "Warning! The FFT re-match found no placement for chain '" + name +
		                         "'; the assembled model keeps its placement from the first matching.\n";
		EXPECT_EQ( quilt_test::occurrences( out, kept ), 1u ) << name << "\n" << out;
		EXPECT_GT( out.find( kept ), done ) << name << "\n" << out;
	}
	// The list at the end names what the model holds below the threshold.
	std::size_t const review = out.find( "Warning! Check these chains of " + c.model() + ":" );
	ASSERT_NE( review, std::string::npos ) << out;
	EXPECT_TRUE( says( out.substr( review ), "    Chain 'chain1_A' is kept at RSCC " ) ) << out;
	EXPECT_TRUE( finished( out ) );
	EXPECT_TRUE( c.leftovers().empty() );
}

// The re-match places two chains in their places and loses the third; its
// combination fits the map best and is written without that chain, which is
// then named as left out, with the reason, and in the list at the end.
TEST( RematchMessages, ChainMissingFromTheRematchThatIsWrittenIsLeftOut )
{
	RunCase c;
	first_matching_poor( c, "case \"$3\" in chain3_*) exit 1;; esac; cp \"$2\" \"$3_001.pdb\"; exit 0" );
	std::string out;
	ASSERT_EQ( c.quilter( out ), 0 ) << out;
	ASSERT_TRUE( says( out, "Use FFt fit again: \n" ) ) << out;
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 24 } ) ) << out;
	std::string const note = "Warning! The FFT re-match found no placement for chain 'chain3_C', and the re-match's "
	                         "combination of placements fits the map best: it is left out of the assembled model.\n";
	EXPECT_EQ( quilt_test::occurrences( out, note ), 1u ) << out;
	EXPECT_EQ( quilt_test::occurrences( out, "left out of the assembled model" ), 1u ) << out;
	std::size_t const review = out.find( "Warning! Check these chains of " + c.model() + ":" );
	ASSERT_NE( review, std::string::npos ) << out;
	EXPECT_GT( out.find( note ), out.find( "Assembly is done." ) ) << out;
	EXPECT_TRUE( says( out.substr( review ), "    Chain 'chain3_C' is left out of the model: the FFT re-match found "
	                                         "no placement for it, and the re-match's combination was written.\n" ) )
		<< out;
	EXPECT_EQ( quilt_test::occurrences( out.substr( review ), "is left out of the model" ), 1u ) << out;
	// The first matching's placements, below the threshold, are not the
	// model's: the other two chains are not called left out, nor listed as
	// kept at the first matching's scores.
	EXPECT_FALSE( says( out, "Chain 'chain1_A' is left out" ) || says( out, "Chain 'chain2_B' is left out" ) ) << out;
	EXPECT_FALSE( says( out.substr( review ), "is kept at RSCC" ) ) << out;
	EXPECT_TRUE( finished( out ) );
}

// The same with the third chain's re-match placement 500 A away from the
// map: found, then dropped by the placement check.  The run used to call it
// a chain for which the re-match "found no placement".
TEST( RematchMessages, ChainWhoseRematchPlacementsAreDroppedIsNamedSo )
{
	RunCase c;
	first_matching_poor( c, "case \"$3\" in chain3_*) " + moved_copy( "$2", "$3_001.pdb", 500.0 ) +
	                            ";; *) cp \"$2\" \"$3_001.pdb\";; esac; exit 0" );
	std::string out;
	ASSERT_EQ( c.quilter( out ), 0 ) << out;
	ASSERT_TRUE( says( out, "Use FFt fit again: \n" ) ) << out;
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 24 } ) ) << out;
	EXPECT_TRUE( says( out, "Warning! The placements found for chain 'chain3_C' do not lie on density of the map "
	                        "(best RSCC " ) )
		<< out;
	std::string const note = "Warning! The placements the FFT re-match found for chain 'chain3_C' do not lie on "
	                         "density of the map and were dropped, and the re-match's combination of placements fits "
	                         "the map best: it is left out of the assembled model.\n";
	EXPECT_EQ( quilt_test::occurrences( out, note ), 1u ) << out;
	EXPECT_FALSE( says( out, "found no placement for chain 'chain3_C'" ) ) << out;
	std::size_t const review = out.find( "Warning! Check these chains of " + c.model() + ":" );
	ASSERT_NE( review, std::string::npos ) << out;
	EXPECT_TRUE( says( out.substr( review ), "    Chain 'chain3_C' is left out of the model: the placements the FFT "
	                                         "re-match found for it do not lie on density of the map and were "
	                                         "dropped, and the re-match's combination was written.\n" ) )
		<< out;
	EXPECT_FALSE( says( out, "is kept at RSCC" ) ) << out;
	EXPECT_TRUE( finished( out ) );
}

// A chain that the first matching cannot place at all, placed by the
// re-match, whose combination is written: the first matching's warning must
// not call it left out of the model that holds it.
TEST( RematchMessages, ChainOnlyTheRematchPlacedIsHeldByTheModel )
{
	RunCase c;
	first_matching_poor( c, "cp \"$2\" \"$3_001.pdb\"; exit 0", "chain2_" );
	std::string out;
	ASSERT_EQ( c.quilter( out ), 0 ) << out;
	ASSERT_TRUE( says( out, "Use FFt fit again: \n" ) ) << out;
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 24, 18 } ) ) << out;
	EXPECT_FALSE( says( out, "left out" ) ) << out;
	std::size_t const found = out.find( "Warning! No placement was found for chain 'chain2_B'.\n" );
	ASSERT_NE( found, std::string::npos ) << out;
	EXPECT_LT( found, out.find( "Use FFt fit again: " ) ) << out;
	std::string const held = "Warning! No placement was found for chain 'chain2_B' in the first matching; the "
	                         "assembled model holds its placement from the FFT re-match.\n";
	EXPECT_EQ( quilt_test::occurrences( out, held ), 1u ) << out;
	EXPECT_GT( out.find( held ), out.find( "Assembly is done." ) ) << out;
	EXPECT_TRUE( finished( out ) );
}

// A chain that one matching placed off the density of the map (500 A away:
// its placements are dropped) and the other could not place at all: the
// lines after the model is written tell which matching did which, never the
// other way round.  The re-match places the other two chains in their
// places, so its combination is written, without the third chain.
TEST( RematchMessages, ChainDroppedByOneMatchingAndNotFoundByTheOtherIsToldWhich )
{
	struct Row {
		std::string what, lost, off, rematch, note, reason;
	};
	std::vector< Row > const rows = {
		{ "dropped in the first matching, not found by the re-match", "none", "chain3_",
			"case \"$3\" in chain3_*) exit 1;; esac; cp \"$2\" \"$3_001.pdb\"; exit 0",
			"Warning! The placements found for chain 'chain3_C' in the first matching do not lie on density of the "
			"map and were dropped, and the FFT re-match found no placement for it; it is left out of the assembled "
			"model.\n",
			"    Chain 'chain3_C' is left out of the model: the placements found for it in the first matching do not "
			"lie on density of the map and were dropped, and the FFT re-match found none.\n" },
		{ "not found in the first matching, dropped in the re-match", "chain3_", "none",
			"case \"$3\" in chain3_*) " + moved_copy( "$2", "$3_001.pdb", 500.0 ) +
				";; *) cp \"$2\" \"$3_001.pdb\";; esac; exit 0",
			"Warning! No placement was found for chain 'chain3_C' in the first matching, and those the FFT re-match "
			"found do not lie on density of the map and were dropped; it is left out of the assembled model.\n",
			"    Chain 'chain3_C' is left out of the model: no placement was found for it in the first matching, and "
			"those the FFT re-match found do not lie on density of the map and were dropped.\n" } };
	for ( Row const& row : rows ) {
		RunCase c;
		first_matching_poor( c, row.rematch, row.lost, row.off );
		std::string out;
		ASSERT_EQ( c.quilter( out ), 0 ) << row.what << "\n" << out;
		ASSERT_TRUE( says( out, "Use FFt fit again: \n" ) ) << row.what << "\n" << out;
		EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 24 } ) ) << row.what << "\n" << out;
		// The placement check drops the placements of the one matching.
		EXPECT_EQ( quilt_test::occurrences( out, "Warning! The placements found for chain 'chain3_C' do not lie on "
		                                         "density of the map (best RSCC " ),
			1u )
			<< row.what << "\n" << out;
		EXPECT_EQ( quilt_test::occurrences( out, row.note ), 1u ) << row.what << "\n" << out;
		EXPECT_GT( out.find( row.note ), out.find( "Assembly is done." ) ) << row.what << "\n" << out;
		EXPECT_EQ( quilt_test::occurrences( out, "left out of the assembled model" ), 1u ) << row.what << "\n" << out;
		std::size_t const review = out.find( "Warning! Check these chains of " + c.model() + ":" );
		ASSERT_NE( review, std::string::npos ) << row.what << "\n" << out;
		EXPECT_EQ( quilt_test::occurrences( out.substr( review ), row.reason ), 1u ) << row.what << "\n" << out;
		EXPECT_EQ( quilt_test::occurrences( out.substr( review ), "is left out of the model" ), 1u )
			<< row.what << "\n" << out;
		EXPECT_TRUE( finished( out ) ) << row.what;
		EXPECT_TRUE( c.leftovers().empty() ) << row.what;
	}
}

// No model at all: no chain is said to be left out of a model that does
// not exist; the error says that none could be placed.
TEST( RematchMessages, NoChainIsLeftOutOfAModelNeverWritten )
{
	RunCase c;
	c.script( "Rasterseek", "exit 1\n" );
	c.script( "Placer", "exit 0\n" );
	std::string out;
	EXPECT_EQ( c.quilter( out ), 1 ) << out;
	EXPECT_TRUE( says( out, kError + "No final model was written: no chain could be placed." ) ) << out;
	for ( std::string const& name : kChains )
		EXPECT_TRUE( says( out, "Warning! No placement was found for chain '" + name + "'.\n" ) ) << out;
	EXPECT_FALSE( says( out, "left out" ) ) << out;
	EXPECT_FALSE( std::filesystem::exists( c.model() ) );
}

// The road of the FFT search alone has no re-match: a chain it cannot place
// is left out, said with the words users know once the model is written
// without it, and named in the list at the end.
TEST( RematchMessages, FftOnlyRoadSaysLeftOutOnceTheModelLacksTheChain )
{
	RunCase c;
	c.script( "Rasterseek", "case \"$3\" in chain2_*) exit 0;; esac\ncp \"$2\" \"$3_001.pdb\"\n" );
	std::string out;
	ASSERT_EQ( c.quilter( out, "", "-nco 1 -ft 1" ), 0 ) << out;
	EXPECT_FALSE( says( out, "Use FFt fit again" ) ) << out;
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 18 } ) ) << out;
	EXPECT_TRUE( says( out, "Warning! No placement was found for chain 'chain2_B'.\n" ) ) << out;
	std::string const left = "Warning! No placement was found for chain 'chain2_B'; it is left out of the assembled model.\n";
	EXPECT_EQ( quilt_test::occurrences( out, left ), 1u ) << out;
	EXPECT_GT( out.find( left ), out.find( "GetInitModel> segCmodel1.pdb: " ) ) << out;
	std::size_t const review = out.find( "Warning! Check these chains of " + c.model() + ":" );
	ASSERT_NE( review, std::string::npos ) << out;
	EXPECT_TRUE( says( out.substr( review ), "    Chain 'chain2_B' is left out of the model: no placement was found for it.\n" ) )
		<< out;
	EXPECT_FALSE( says( out, "Chain 'chain1_A' is left out" ) || says( out, "Chain 'chain3_C' is left out" ) ) << out;
}
