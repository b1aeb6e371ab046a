// Placement of a chain by its domains: each domain is placed on its own by
// the FFT search (Rasterseek's library), the domain placements are combined
// into whole chains that stay joined and free of clashes, and the best
// combinations are refined as rigid chains and domains.  The whole chain
// moved rigidly with each domain placement (or, for a one-domain chain,
// placed by the search as one body) competes with the combinations, so a
// chain whose domains do not help is placed as a rigid chain.
#ifndef QUILT_SIBLINGS_LOBE_PLACE_HH
#define QUILT_SIBLINGS_LOBE_PLACE_HH

#include "apps/siblings/chain_model.hh"
#include "apps/siblings/domain_split.hh"
#include "apps/siblings/rigid_fit.hh"
#include "density/FastDensityScore.hh"

#include <iosfwd>
#include <string>
#include <vector>

namespace siblings {

struct LobePlaceOptions {
	double resolution = 0.0;
	double angleStep = 20.0;   // of the FFT search, degrees
	int perDomain = 8;         // placements kept per domain (and for the whole chain)
	int threads = 1;           // of the FFT search
	int rounds = 2;            // refinement passes over the chain and its domains
	DomainSplitSettings domains;
	std::ostream* log = nullptr; // progress lines, or none
};

// One model of the chain: every atom row of the file.
struct ChainPlacement {
	std::vector<Vec3> xyz;
	double correlation = 0.0;  // trace correlation of the chain with the map
	int domains = 1;           // domains moved independently (1: rigid chain)
};

// One domain placed in `count` ways (or fewer): transforms of the model's
// coordinates with the search's score, best first.
struct DomainCandidate {
	Rigid move;
	double score = 0.0;
};

// Places the first chain of the model; fills up to `count` models, best
// first.  False with the reason in `error` when the chain has no trace or the
// search cannot run.
bool place_by_domains( FastDensityScore& map, ChainModel const& model, LobePlaceOptions const& options, int count,
	std::vector<ChainPlacement>& out, std::string& error );

// The combination step on its own: one candidate index per domain chosen to
// maximise the size-weighted domain scores less penalties for junctions
// stretched beyond 4.5 A (0.01 per A; a junction beyond 15 A rules the
// combination out) and for trace atoms of different domains closer than
// 3.5 A (0.005 per pair).  Returns up to `keep` combinations, best first.
std::vector<std::vector<int> > combine_domains( ChainModel const& model, std::vector<std::vector<int> > const& domains,
	std::vector<std::vector<DomainCandidate> > const& candidates, int keep );

} // namespace siblings

#endif
