// Scores of fitted model files against the loaded map: the real-space
// correlation of the model with the map inside the model's own footprint
// (see footprintCorrelation), and the masked correlation of the CA atoms
// that filters out files whose atoms see no usable density.
#ifndef QUILT_QUILTER_CANDIDATEEVALUATION_HH
#define QUILT_QUILTER_CANDIDATEEVALUATION_HH

#include "density/FastDensityScore.hh"

#include <string>
#include <vector>

// New n x 3 array of the CA atoms of the model file, one row per residue
// (first chain only unless readAll); n receives the row count.
double** readCAFile( const std::string& path, bool readAll, int& n );

// Atoms of the model file (first chain unless readAll) for density
// calculation: element from the first letter of the atom name, no B factor
// (the map's own resolution sets the width).
std::vector< poseCoord > readModelAtoms( const std::string& path, bool readAll );

// Real-space correlation of the atoms' density, simulated at the map's
// resolution, with the map over the voxels within max(3, resolution / 2) A
// of an atom: the model's footprint.  Density outside the footprint (that
// of neighbouring chains) plays no part, so a model lying across the
// density of several chains does not score better than one lying on its
// own.  0 for no atoms, an unloaded map or a vanishing variance.
double footprintCorrelation( const std::vector< poseCoord >& atoms, FastDensityScore map );

// Real-space correlation (footprintCorrelation) of the model when rscc is
// set, else the masked CC of its CA atoms.
double EvaluateModel( std::string path, FastDensityScore map, bool rscc, bool readAll );

// Both scores of the model (correlation as above, CC of its CA atoms); the CC
// is 0 when its variance vanishes.
void EvaluateModel( std::string path, FastDensityScore map, double& rscc, double& cc, bool readAll );

// Scores every path (RSCC; with twoScores, files whose CC is 0 or not a
// number are dropped), prints "<file name>: <score>" for each, sorts best
// first (stable) and keeps the first maxKept.  When every path was dropped
// the first input path stands in with score 0.0; an empty input gives empty
// lists.
void EvaluateSort( std::vector< std::string >& paths, std::vector< double >& scores, FastDensityScore map,
	int maxKept, bool twoScores );

#endif
