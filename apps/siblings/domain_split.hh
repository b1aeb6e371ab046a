// Splitting a chain into structural domains from the contact graph of its
// trace atoms (CA, or P for nucleic acids).
//
// Two residues are in contact with weight 1 when their trace atoms lie
// within 7 A, falling linearly to 0 at 9 A.  A split into two parts A and B
// is judged by its normalised cut, cut(A,B)/vol(A) + cut(A,B)/vol(B) (vol:
// the summed contact weight of a part's residues): compact domains that
// touch little give small values.  The parts tried are one stretch of the
// chain against the rest, so a part is continuous or, when the stretch lies
// inside the chain, the other part is discontinuous (two segments).  The best
// split is taken when its normalised cut is below the threshold, and each
// part is split again in the same way while it is large enough.
#ifndef QUILT_SIBLINGS_DOMAIN_SPLIT_HH
#define QUILT_SIBLINGS_DOMAIN_SPLIT_HH

#include "apps/siblings/chain_model.hh"

#include <string>
#include <vector>

namespace siblings {

struct DomainSplitSettings {
	int singleDomainBelow = 80; // chains (and parts) shorter than this are not split
	int minDomain = 40;         // residues of the smallest domain
	int minSegment = 15;        // residues of the smallest segment of a discontinuous domain
	double maxNormalisedCut = 0.15; // a split is real when its normalised cut is below this
};

// Domains as positions into the trace (0-based, ascending within a domain),
// ordered by their first position.  One domain holding every position when
// the chain is not split (also for an empty trace: no domain).
std::vector<std::vector<int> > split_domains( std::vector<Vec3> const& trace,
	DomainSplitSettings const& settings = DomainSplitSettings() );

// The best two-part split of the trace positions `part` (indices into
// trace): a stretch of `part` against the rest.  Returns its normalised cut
// (a large value when no split satisfies the size limits) and fills a and b.
double best_bipartition( std::vector<Vec3> const& trace, std::vector<int> const& part,
	DomainSplitSettings const& settings, std::vector<int>& a, std::vector<int>& b );

// Domains of chain c of a model as residue indices (every residue of the
// chain, those without a trace atom going with the traced residue before
// them, or after them at the chain start).  Empty when the chain has no
// traced residue.
std::vector<std::vector<int> > chain_domains( ChainModel const& model, int c,
	DomainSplitSettings const& settings = DomainSplitSettings() );

// First line of the domain splitter's log for the given domains: the name,
// the residue count, the domain count, then one word per domain, its
// segments "start-end" (residue numbers of the file) joined by ";" in
// parentheses.
std::string domain_log_line( ChainModel const& model, std::string const& name,
	std::vector<std::vector<int> > const& domains );

} // namespace siblings

#endif
