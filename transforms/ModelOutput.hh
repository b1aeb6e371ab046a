// Moved-model output: carrying a fitted pose from the CA atoms to every
// atom of a model, and writing the moved model as a copy of the input PDB
// file with new coordinates.
#ifndef QUILT_TRANSFORMS_MODELOUTPUT_HH
#define QUILT_TRANSFORMS_MODELOUTPUT_HH

#include <cstdio>
#include <istream>
#include <string>

// The rule by which a PDB line is one of the model's coordinate rows: its
// record name is "ATOM" (first four characters) or "HETATM".  A moved model
// moves as one rigid body: its modified residues, ligands and waters with
// it, and the atoms of every model of an ensemble.  Row k of a model's
// coordinate array is the k-th such line of its file.  (The model reader
// takes a subset of these lines as its atoms: see core/pdb_atom_records.hh.)
bool is_model_atom_line( std::string const& line );

// Coordinates (columns 31-54; blank fields read as 0) of the model atom lines
// of a PDB file in file order, only those of the first chain when stopAtTer
// is set.  The first chain ends where Protein::readPDB stops reading one
// chain: at an "END" or "ENDMDL" record or at a "TER" record followed by
// another chain (pdb_ter_ends_chain); a "TER" at a chain break does not end
// it.  Returns a new n x 3 array (free with release2DArr(n, p)) and sets n;
// null and n = 0 when the file cannot be read.  The writer below puts rows
// back into the same lines.
double** read_model_atom_rows( std::string const& path, int& n, bool stopAtTer );
// The same rows of the whole file (stopAtTer off); beforeTer receives the
// number of rows of the first chain (n when the file holds one chain).
double** read_model_atom_rows( std::string const& path, int& n, int& beforeTer );

// Whether every model atom line of a PDB file can take moved coordinates:
// at least 54 characters, and each of columns 31-38, 39-46 and 47-54 holding
// one finite number.  On the first line that cannot, returns false and
// describes it (line number, text, what is wrong) in problem.
bool check_model_atom_lines( std::string const& path, std::string& problem );

// Whether "%8.3f" writes every coordinate of the n rows in its eight PDB
// columns: finite and within -999.999 to 9999.999 after rounding.  badRow
// (when given) receives the first row that does not fit.
bool coordinates_fit_pdb_columns( double** xyz, int n, int* badRow = nullptr );

// Least-squares superposition of oldCA onto newCA (nCA rows each) applied to
// the nAtoms rows of atoms.  Returns a new nAtoms x 3 array (free with
// release2DArr(nAtoms, p)); the inputs are not changed.
double** rotate_allatom( double** atoms, double** oldCA, double** newCA, int nCA, int nAtoms );

// Writes outPath as a line-by-line copy of inPath in which the k-th model
// atom line (is_model_atom_line, counted over the whole file from 0) gets
// the coordinates of row k of xyz, for k < nRows, in columns 31-54 ("%8.3f"
// each); columns 1-30 and 55 to the end of the line are kept.  A model atom
// line too short to hold the z field takes its row but is copied unchanged.
// Atom lines beyond the rows are copied unchanged (with a warning).  A row
// that does not fit the columns (coordinates_fit_pdb_columns) is refused
// with a message and nothing is written.  The
// file is written to a temporary name beside outPath and renamed into
// place, so a failed write never leaves a truncated model.
// Returns false, with a message, when the input cannot be read, when outPath
// names the input file itself, or when the output cannot be written.
bool SaveModel( std::string inPath, std::string outPath, double** xyz, int nRows );

// The copy rule of SaveModel on an open input and output: every line of in
// goes to out with a newline; the k-th model atom line of at least 54
// characters gets row k of xyz (k < nRows) in columns 31-54, a shorter one
// takes its row and is copied as it is, and atom lines beyond the rows are
// copied unchanged and counted in `unmoved`.  Returns false on a read or
// write error, and at the first row that does not fit the PDB columns
// (its index then goes to *tooWideRow when given; the output is unfinished).
bool copy_moved_lines( std::istream& in, std::FILE* out, double* const* xyz, int nRows, int& unmoved,
	int* tooWideRow = nullptr );

// A file written under a temporary name beside its target and renamed onto
// the target by commit(), so that a failed write never leaves a truncated
// file where a good one was.  Without a commit the temporary file is
// removed.
class ReplacingFile {
public:
	explicit ReplacingFile( std::string target );
	~ReplacingFile();
	ReplacingFile( ReplacingFile const& ) = delete;
	ReplacingFile& operator=( ReplacingFile const& ) = delete;
	// Null when the temporary file could not be made.
	std::FILE* file() const { return file_; }
	// Flushes, closes and renames; false (and the temporary file removed) on
	// any error, also when the temporary file could not be made, with the
	// system's reason for the first step that failed in errno (EIO when
	// there is only the writer's own verdict).  `ok` is that verdict on what
	// it wrote.
	bool commit( bool ok );

private:
	std::string target_;
	std::string temp_;
	std::FILE* file_ = nullptr;
	int error_ = 0;
};

#endif
