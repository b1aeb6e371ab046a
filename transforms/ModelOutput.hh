// Moved-model output: carrying a fitted pose from the CA atoms to every
// atom of a model, and writing the moved model as a copy of the input PDB
// file with new coordinates.
#ifndef QUILT_TRANSFORMS_MODELOUTPUT_HH
#define QUILT_TRANSFORMS_MODELOUTPUT_HH

#include <string>

// The rule by which a PDB line is one of the model's coordinate rows: the
// record name begins with "ATOM" and the line reaches the end of the z field
// (column 54).  The writer below rewrites exactly these lines, in file order.
bool is_model_atom_line( std::string const& line );

// Least-squares superposition of oldCA onto newCA (nCA rows each) applied to
// the nAtoms rows of atoms.  Returns a new nAtoms x 3 array (free with
// release2DArr(nAtoms, p)); the inputs are not changed.
double** rotate_allatom( double** atoms, double** oldCA, double** newCA, int nCA, int nAtoms );

// Writes outPath as a line-by-line copy of inPath in which the k-th model
// atom line (is_model_atom_line, counted over the whole file from 0) gets
// the coordinates of row k of xyz, for k < nRows; columns 1-30 and 55 to the
// end of the line are kept.  Atom lines beyond the rows are copied unchanged
// (with a warning).  The file is written to a temporary name beside outPath
// and renamed into place, so a failed write never leaves a truncated model.
// Returns false, with a message, when the input cannot be read, when outPath
// names the input file itself, or when the output cannot be written.
bool SaveModel( std::string inPath, std::string outPath, double** xyz, int nRows );

#endif
