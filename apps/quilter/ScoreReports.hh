// Reports on a model: its fit to the map as a whole and chain by chain
// ("score.txt", "CC_score.txt": correlation, FSC, MolProbity score and an
// estimated TM-score), the estimates behind them, a confidence table turned
// into estimated TM-score and RMSD, the FASTA sequence of a set of chain
// files ("protein.fasta"), the three-state secondary structure from DSSP,
// z-scores, a rewrite of a model grouped by chain and sorted by residue
// number, and a string sort that returns positions.
//
// DSSP and the Phenix MolProbity tool are outside programs: when they leave
// no output (not installed), the secondary structure is empty and the
// MolProbity score 0.0, each said in one line.
#ifndef QUILT_QUILTER_SCOREREPORTS_HH
#define QUILT_QUILTER_SCOREREPORTS_HH

#include "density/FastDensityScore.hh"

#include <string>
#include <vector>

// Scores the model against the map: cc the real-space correlation of its CA
// atoms (radius 4), fsc the FSC summary of its heavy atoms (to 5 A), both
// at least 0, and tm the TM-score estimated from them, within [0.16, 0.99]
// once below 0 or above 1.  Appends each residue's correlation to
// perResidue.  multiChain reads past "TER" records.  A model without
// residues scores 0 throughout, with a message.
void ReportFinal_score( std::string modelPath, FastDensityScore map, double& cc, double& fsc, double& tm,
	std::vector< double >& perResidue, bool multiChain );

// The TM-score estimate of ReportFinal_score from cc and fsc (both >= 0).
double estimated_TMscore( double cc, double fsc );

// Writes "score.txt" and "CC_score.txt" into outDir: the whole model, then
// each chain in the order of its key.  With molprobity set, the MolProbity
// score of molprobityModel (whole model) and of each chain file is read
// from the Phenix tool; 0.0 where it gives none (said once).  The chain
// files are made in outDir and removed afterwards.
void Report_model( std::string modelPath, std::string outDir, FastDensityScore map, std::string molprobityModel,
	bool molprobity, bool multiChain );

// The MolProbity score of a model from the Phenix tool (its environment
// script $PHENIX/phenix_env.sh): the leading number of the first line the
// command prints; 0.0 and available false when it prints none.  echoScore
// prints the line and the score.
double molprobity_score( std::string const& modelPath, bool echoScore, bool& available );

// Rewrites a confidence table (a header line, then lines of three numbers;
// commas count as nothing) as "Cscore,Estimated_TM-score,Estimated_RMSD"
// lines: the first line's C-score with its estimated TM-score and RMSD for a
// sequence of length L, every further line's C-score with "NA, NA".  L below
// 1 has no logarithm: every line then gets "NA, NA", with a message.
void convert_EM_score( std::string tablePath, int L );

// Writes outDir + "/protein.fasta" (fastaPath set to it): ">query protein"
// and the one-letter codes of all residues of all chain files (first chain
// of each), with no final line end.  Appends each chain's residue positions
// (from 1, running on across chains) to positions; zeroes both ints of
// every chain's row of table and its entry of perChain (one per chain file);
// copies chainFiles to filesCopy.
void getSequence( std::string outDir, std::string& fastaPath, std::vector< std::string > chainFiles,
	std::vector< std::vector< int > >& positions, int** table, int* perChain, std::vector< std::string >& filesCopy );

// Secondary structure ("H", "E" or "C" per residue) of workDir/modelName
// from DSSP (toolDir + "/bin/dssp"), run in workDir (which stays the
// working directory) unless workDir/ss.dssp exists; the DSSP file is
// removed afterwards.  Empty, with a message, when DSSP leaves no file.
std::vector< std::string > getSS( std::string toolDir, std::string workDir, std::string modelName );

// Secondary-structure state of one DSSP letter (column 17): blank, S, T, C
// give "C"; B, E give "E"; anything else "H".
std::string dssp_state( char letter );

// (v - mean) / spread for every value (population spread); one value comes
// back unchanged; values with no spread give zeros, with a message.
std::vector< double > get_Zscore( std::vector< double > values );

// Rewrites the model with its residues grouped by chain key (in order of
// first appearance) and sorted by residue number within each chain (stable),
// each chain closed by "TER"; other records are dropped.  A file that cannot
// be read or holds no residue is left as it is, with a message.
void ArrangeModel( std::string path );

// Sorts a copy of the strings byte-wise; entry k of the new int array (free
// with delete[]) is the position in the input of the first string equal to
// the k-th sorted one, so equal strings all map to their first occurrence.
int* quickSortAscendingInd( std::vector< std::string > values );

#endif
