// Lobeplace's combination of domain placements, on hand-made candidates for
// a straight CA trace: the junction and clash penalties and the weighting of
// the domain scores by domain size decide the order.
#include "apps/siblings/lobe_place.hh"

#include <gtest/gtest.h>

using namespace siblings;

namespace {

// n CA atoms, one per residue, 3.8 A apart along x.
ChainModel straight_trace( int n )
{
	ChainModel m;
	ModelChain chain;
	chain.id = "A";
	for ( int i = 0; i < n; ++i ) {
		m.xyz.push_back( { 3.8 * i, 0.0, 0.0 } );
		m.names.push_back( "CA" );
		m.rowResidue.push_back( i );
		ModelResidue r;
		r.chainId = "A";
		r.number = i + 1;
		r.key = std::to_string( i + 1 );
		r.atoms = { i };
		r.ca = i;
		m.residues.push_back( r );
		chain.residues.push_back( i );
	}
	m.chains.push_back( chain );
	return m;
}

std::vector<int> range( int from, int to )
{
	std::vector<int> out;
	for ( int i = from; i < to; ++i ) out.push_back( i );
	return out;
}

DomainCandidate shifted( double dx, double score )
{
	DomainCandidate c;
	c.move = translation( { dx, 0.0, 0.0 } );
	c.score = score;
	return c;
}

} // namespace

// Catches the junction penalty added instead of subtracted (or dropped), the
// 4.5 A allowance lost, the clash penalty dropped, and a junction beyond 15 A
// kept.  Domain 0 (residues 0-4) stays; the candidates for domain 1
// (residues 5-9) differ in score by less than their penalties.  Scores are
// weighted by domain size (half each here):
//   0: moved 8.2 A away, 12 A junction: 0.28 - 0.01 (12 - 4.5)  = 0.205
//   1: where it is, 3.8 A junction:     0.25                     = 0.25
//   2: folded back onto domain 0 with a 3 A junction, five CA pairs 3 A
//      apart:                            0.27 - 5 x 0.005         = 0.245
//   3: moved 0.6 A, 4.4 A junction:      0.2505 (no penalty yet)  = 0.2505
//   4: moved 12 A, 15.8 A junction: ruled out, however good its score.
//   5: as 3 with a lower score:          0.24975 (and no bonus)   = 0.24975
TEST( LobeplaceCombination, JunctionAndClashPenaltiesOutweighSlightlyBetterScores )
{
	ChainModel const model = straight_trace( 10 );
	std::vector<std::vector<int> > const domains = { range( 0, 5 ), range( 5, 10 ) };
	DomainCandidate fold;
	// 180 degrees about the z axis through (17.1, 1.5, 0): x -> 34.2 - x,
	// y -> 3 - y; residue 5 lands 3 A from residue 4, residue 6 3 A from 3...
	fold.move.R[0][0] = -1.0;
	fold.move.R[1][1] = -1.0;
	fold.move.t[0] = 34.2;
	fold.move.t[1] = 3.0;
	fold.score = 0.54;
	std::vector<std::vector<DomainCandidate> > const candidates = {
		{ shifted( 0.0, 0.50 ) },
		{ shifted( 8.2, 0.56 ), shifted( 0.0, 0.50 ), fold, shifted( 0.6, 0.501 ), shifted( 12.0, 0.95 ),
		  shifted( 0.6, 0.4995 ) } };
	std::vector<std::vector<int> > const expected = { { 0, 3 }, { 0, 1 }, { 0, 5 }, { 0, 2 }, { 0, 0 } };
	EXPECT_EQ( combine_domains( model, domains, candidates, 10 ), expected );
	// Fewer kept: the best ones, in order.
	std::vector<std::vector<int> > const two = { { 0, 3 }, { 0, 1 } };
	EXPECT_EQ( combine_domains( model, domains, candidates, 2 ), two );

	// The pair that opens a 12 A junction ranks below the one that keeps
	// 3.8 A whichever domain moves.
	std::vector<std::vector<DomainCandidate> > const apart = { { shifted( -8.2, 0.56 ), shifted( 0.0, 0.50 ) },
		{ shifted( 0.0, 0.50 ) } };
	std::vector<std::vector<int> > const keepJoined = { { 1, 0 }, { 0, 0 } };
	EXPECT_EQ( combine_domains( model, domains, apart, 10 ), keepJoined );
}

// Catches the domain scores summed without their size weights (or with each
// other's): an 8-residue domain's better placement is worth its 10 A
// junction, a 2-residue domain's is not.
//   (1, 0): 0.8 x 0.6 + 0.2 x 0.5 - 0.055 = 0.525
//   (0, 0): 0.5
//   (0, 1): 0.8 x 0.5 + 0.2 x 0.6 - 0.055 = 0.465
//   (1, 1): a 16.2 A junction, ruled out.
// Unweighted, (1, 0) and (0, 1) would tie above (0, 0).
TEST( LobeplaceCombination, DomainScoresCountByDomainSize )
{
	ChainModel const model = straight_trace( 10 );
	std::vector<std::vector<int> > const domains = { range( 0, 8 ), range( 8, 10 ) };
	std::vector<std::vector<DomainCandidate> > const candidates = { { shifted( 0.0, 0.5 ), shifted( -6.2, 0.6 ) },
		{ shifted( 0.0, 0.5 ), shifted( 6.2, 0.6 ) } };
	std::vector<std::vector<int> > const expected = { { 1, 0 }, { 0, 0 }, { 0, 1 } };
	EXPECT_EQ( combine_domains( model, domains, candidates, 10 ), expected );
}

// Catches a chain break taken for a junction: where the residue between two
// domains has no trace atom, the traced neighbours are not bonded and their
// distance costs nothing; the better scored placement wins however far it
// moves the second domain (short of 15 A).
TEST( LobeplaceCombination, ResiduesAcrossAChainBreakAreNoJunction )
{
	ChainModel model = straight_trace( 11 );
	model.names[5] = "N";
	model.residues[5].ca = -1;
	std::vector<std::vector<int> > const domains = { range( 0, 5 ), range( 5, 11 ) };
	std::vector<std::vector<DomainCandidate> > const candidates = { { shifted( 0.0, 0.5 ) },
		{ shifted( 0.0, 0.5 ), shifted( 4.0, 0.51 ) } };
	std::vector<std::vector<int> > const expected = { { 0, 1 }, { 0, 0 } };
	EXPECT_EQ( combine_domains( model, domains, candidates, 10 ), expected );
}

// Catches a crash or a made-up combination when a domain has no candidate or
// there are no domains.
TEST( LobeplaceCombination, NothingToCombineGivesNoCombination )
{
	ChainModel const model = straight_trace( 10 );
	std::vector<std::vector<int> > const domains = { range( 0, 5 ), range( 5, 10 ) };
	EXPECT_TRUE( combine_domains( model, domains, { { shifted( 0.0, 0.5 ) }, {} }, 10 ).empty() );
	EXPECT_TRUE( combine_domains( model, {}, {}, 10 ).empty() );
}
