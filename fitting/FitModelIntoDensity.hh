// The fitting engine's entry: load a map and a model, centre the model on
// the map, search its pose (Placer), carry every kept pose to all atoms,
// rank by real-space correlation and write the ranked models beside the
// input model as <name>_1.pdb, <name>_2.pdb, ... (best first).  The search
// uses the model's first chain (Protein::readPDB reads through "TER" records
// at chain breaks); every atom line ("ATOM" and "HETATM") of the file, of
// later chains, ligands, waters and later models as well, is moved by the
// fitted rigid motion.
#ifndef QUILT_FITTING_FITMODELINTODENSITY_HH
#define QUILT_FITTING_FITMODELINTODENSITY_HH

#include "density/FastDensityScore.hh"

#include <string>
#include <vector>

// Result of a fit: 0 when every result file was written; otherwise one of
// the codes below, after an "Error! ..." message on standard output.  No
// result file is written when the inputs are unusable.
enum FitStatus {
	FIT_OK = 0,
	FIT_BAD_POSE_COUNT = 2,
	FIT_NO_MODEL = 3,      // missing, empty or malformed model
	FIT_NO_MAP = 4,        // missing or unloadable map, or a map without positive density
	FIT_WRITE_FAILED = 5,  // output directory not writable, an output that is an input file, coordinates that do
	                       // not fit the PDB columns
	FIT_NO_POSE = 6        // no searched pose overlaps the density
};

// Largest number of poses a fit may be asked for.
int const kMaxPoseCount = 1000000;

// File road of the fitting program.  nm: the most poses kept and files
// written (a whole number from 1 to kMaxPoseCount); only distinct searched
// poses that score are written, numbered from 1 without gaps, so fewer files
// than nm when the search finds fewer (with a note).  The output name is the
// model file name without a final ".pdb" or ".ent".  gridWidth does not
// change the loaded map; threshold is the density cut-off of the map's voxel
// list.  Refused before any search, with no file written: a model whose ATOM
// lines cannot take coordinates (check_model_atom_lines), a model directory
// that cannot be written, an output file <name>_k.pdb (k up to nm) that is
// the map or the model file itself (links followed), a map without positive
// density or without a voxel above the threshold.  Poses whose real-space
// correlation with the map is not above 0 are not written; when no pose is
// left the fit is refused (FIT_NO_POSE).
int FitModelIntoDensity( std::string mapPath, std::string modelPath, double resolution, double nm,
	double gridWidth, double threshold, bool quiet, bool report, std::string selection );

// Same search on an already loaded map, selection "CA"; result k (search
// order, not ranked) is written to <dir>/<name>_k.pdb.
int FitModelIntoDensity( FastDensityScore const& map, std::string modelPath, double nm, bool quiet, bool report );

// Same search on a loaded map and an extracted model: ca (n CA rows, the
// residues of model/names in order), atoms (m rows).  The heavy-atom lists
// model are moved onto the map centre in place.  caOut[k] (n rows) and
// atomsOut[k] (m rows), provided by the caller for k < nm, receive the k-th
// pose's CA and all-atom coordinates (search order), in the frame the loaded
// map is scored in.  No files.
int FitModelIntoDensity( FastDensityScore const& map, double** ca, double** atoms, double*** caOut,
	double*** atomsOut, std::vector<std::vector<double*> >& model, std::vector<std::vector<std::string> > const& names,
	int n, int m, double nm, bool quiet );

// Moves every atom by centre - (mean of all atoms); an empty model stays.
void translate_to_densCenter( std::vector<std::vector<double*> >& model, double* centre );

#endif
