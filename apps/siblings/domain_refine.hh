// Refinement of a placed model by rigid moves of its chains and of their
// domains in the density map.  Each move is the engine's local LBFGS
// refinement of the fast density score over the body's atoms; it is kept
// only when it raises the correlation of the whole model's trace with the
// map, keeps the chain joined where the body meets the rest of its chain,
// and brings the body no closer into clash with the rest of the model.
#ifndef QUILT_SIBLINGS_DOMAIN_REFINE_HH
#define QUILT_SIBLINGS_DOMAIN_REFINE_HH

#include "apps/siblings/chain_model.hh"
#include "apps/siblings/domain_split.hh"
#include "density/FastDensityScore.hh"

#include <vector>

namespace siblings {

// A set of residues of one chain that moves as one piece.
struct Body {
	int chain = 0;
	std::vector<int> residues;
};

// The bodies of a model: every chain with a trace as one body, then, for
// chains of two or more domains, every domain.
std::vector<Body> chain_and_domain_bodies( ChainModel const& model,
	DomainSplitSettings const& settings = DomainSplitSettings() );

struct RefineOutcome {
	std::vector<Vec3> xyz;   // every atom row of the model
	double before = 0.0;     // trace correlation of the input coordinates
	double after = 0.0;      // and of the result
	int movesKept = 0;
};

// Refines the bodies in turn (rounds passes over all of them), starting
// from xyz.  Rows outside the bodies never move.
RefineOutcome refine_bodies( FastDensityScore& map, ChainModel const& model, std::vector<Vec3> const& xyz,
	std::vector<Body> const& bodies, int rounds = 2 );

// Trace-atom distances (A) at the places where a body meets the rest of its
// chain: one per pair of chain neighbours of which one lies in the body.
std::vector<double> junction_distances( ChainModel const& model, std::vector<Vec3> const& xyz, Body const& body );
// Pairs of trace atoms closer than 3 A, one in the body and one outside it.
int clash_count( ChainModel const& model, std::vector<Vec3> const& xyz, Body const& body );

} // namespace siblings

#endif
