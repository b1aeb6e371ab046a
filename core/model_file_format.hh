// Which format a model file is in, as far as the model readers care.  Every
// reader takes PDB format only; a file in mmCIF (PDBx/mmCIF) format holds no
// record a PDB reader can use (its "ATOM" rows are blank-separated words,
// not columns), and calling it a file without atoms or residues sends the
// user looking for the wrong fault.  A reader that finds nothing to use in a
// file says instead that it looks like mmCIF.
#ifndef QUILT_CORE_MODEL_FILE_FORMAT_HH
#define QUILT_CORE_MODEL_FILE_FORMAT_HH

#include <string>
#include <vector>

// Whether the text looks like mmCIF: its first line that is neither blank
// nor a "#" comment opens a data block ("data_", any case), or some line
// begins with an atom-site item name ("_atom_site.", as the loop of atom
// rows is headed).  Lines may end with '\r'.
bool mmcif_text( std::vector< std::string > const& lines );

// The same for a file (its first 4 MB); false when it cannot be read.
bool mmcif_file( std::string const& path );

// The reason the readers give: "it looks like an mmCIF file, and only PDB
// format files are read".
std::string mmcif_reason();

#endif
