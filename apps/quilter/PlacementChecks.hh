// Checks of maps and placements that keep the assembly from reporting a
// model it has no grounds for: maps without density, split maps that do not
// lie on the whole map, placements that overlap no density, and chains
// placed on top of each other.
#ifndef QUILT_QUILTER_PLACEMENTCHECKS_HH
#define QUILT_QUILTER_PLACEMENTCHECKS_HH

#include "density/FastDensityScore.hh"

#include <string>
#include <vector>

// Whether some voxel of the loaded map holds a value above 0.
bool hasPositiveDensity( const FastDensityScore& map );

// Share of the positive density of `part` (summed over its voxels) that lies
// on voxels where `whole` holds positive density, each voxel of part taken
// at the nearest voxel of whole; 0 when part holds no positive density.
double densityOverlapFraction( const FastDensityScore& part, const FastDensityScore& whole );

// How a model file (its first chain) lies in the map: the correlation inside
// its footprint (footprintCorrelation), the number of footprint voxels that
// hold positive density and the share of its atoms inside the map's box.
struct PlacementOverlap {
	double correlation = 0.0;
	long voxelsWithDensity = 0;
	double insideBox = 0.0;
	// Something to stand on: a positive correlation over some density, with
	// most of the model inside the map (a footprint of a few voxels at the
	// edge of a map far smaller than the model correlates by chance).
	bool overlaps() const { return correlation > 0.0 && voxelsWithDensity > 0 && insideBox >= 0.5; }
};
PlacementOverlap placementOverlap( const std::string& modelPath, const FastDensityScore& map );

// Trace atoms (CA, or P where a residue has no CA) of every chain of a PDB
// file, one list per chain in file order; chains end at "TER" records and at
// changes of chain identifier.  ids receives each chain's identifier; kinds
// (when given) what its trace atoms are: "CA", "P", or "CA/P" for a chain
// that has both.  The chains whose identifiers (trimmed) are listed in
// nucleicAcidIds are nucleic-acid chains masked as pseudo-protein chains
// (NucleicAcidMask.hh): their " CA " atoms are C4' atoms, and they are
// traced by their P atoms alone, as once their names are restored.
std::vector< std::vector< std::vector< double > > > readChainTraces( const std::string& path,
	std::vector< std::string >& ids, std::vector< std::string >* kinds = nullptr,
	const std::vector< std::string >& nucleicAcidIds = {} );

// Number of pairs of trace atoms, one of each list, closer than `distance`.
int closeTracePairs( const std::vector< std::vector< double > >& a, const std::vector< std::vector< double > >& b,
	double distance );

// Chains of one model that clash: more than kClashPairs trace-atom pairs
// closer than 3 A.  Chains of a complex touch at interfaces but never come
// that close.
constexpr int kClashPairs = 3;
constexpr double kClashDistance = 3.0;

#endif
