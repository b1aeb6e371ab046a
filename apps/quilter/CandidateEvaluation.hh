// Scores of fitted model files against the loaded map: the real-space
// correlation of their CA atoms (radius 4.0), and the masked correlation
// that filters out files whose atoms see no usable density.
#ifndef QUILT_QUILTER_CANDIDATEEVALUATION_HH
#define QUILT_QUILTER_CANDIDATEEVALUATION_HH

#include "density/FastDensityScore.hh"

#include <string>
#include <vector>

// New n x 3 array of the CA atoms of the model file, one row per residue
// (first chain only unless readAll); n receives the row count.
double** readCAFile( const std::string& path, bool readAll, int& n );

// RSCC of the model's CA atoms when rscc is set, else the masked CC.
double EvaluateModel( std::string path, FastDensityScore map, bool rscc, bool readAll );

// Both scores of the model's CA atoms; the CC is 0 when its variance vanishes.
void EvaluateModel( std::string path, FastDensityScore map, double& rscc, double& cc, bool readAll );

// Scores every path (RSCC; with twoScores, files whose CC is 0 or not a
// number are dropped), prints "<file name>: <score>" for each, sorts best
// first (stable) and keeps the first maxKept.  When every path was dropped
// the first input path stands in with score 0.0; an empty input gives empty
// lists.
void EvaluateSort( std::vector< std::string >& paths, std::vector< double >& scores, FastDensityScore map,
	int maxKept, bool twoScores );

#endif
