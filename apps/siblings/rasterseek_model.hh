// Rasterseek's files: the model read as atoms for the search, and the
// ranked results written as line copies of it.
#ifndef QUILT_SIBLINGS_RASTERSEEK_MODEL_HH
#define QUILT_SIBLINGS_RASTERSEEK_MODEL_HH

#include "apps/siblings/rasterseek_search.hh"
#include "density/Scattering.hh"

#include <string>
#include <vector>

namespace rasterseek {

// The atom lines ("ATOM" and "HETATM") of a PDB file, every one of them
// (also after "TER" records), in file order: row k of `rows` is the k-th
// such line, as the model writer counts them.  `atoms` holds the atoms of
// the chains of the first model (core/pdb_atom_records.hh) that carry all
// three coordinates, with their atom names; they are what the search
// places.  Waters, ligands and later models are moved with them.
struct ModelFile {
	std::string path;
	std::vector< double > rows;       // 3 per atom line
	std::vector< poseCoord > atoms;
};

// False, with the reason in `error`, when the file cannot be read or has no
// atom line with coordinates.
bool read_model_file( std::string const& path, ModelFile& model, std::string& error );

// Name of result k (from 1) in the working directory: name + "_00" + k + ".pdb".
std::string result_file_name( std::string const& name, int k );

// Writes result k (from 1) for every placement, each a copy of the model
// file whose atom lines are moved by the placement.  All files are written
// under temporary names first and take their names only when every one was
// written, so a failure leaves no result file behind (earlier files of the
// same names stay as they were).  Afterwards result files numbered from
// placements.size() + 1 up to `asked` left by an earlier run are removed,
// so that the numbered results on disk are those of this run.
bool write_results( ModelFile const& model, std::vector< Placement > const& placements, std::string const& name,
	int asked, std::string& error );

} // namespace rasterseek

#endif
