// The final model: the best combinations of one or two searches written as
// assembled complexes, the chain atoms ("ATOM" and the "HETATM" records of
// modified residues) of every chosen candidate file chain after chain, each
// chain closed by a "TER" line.
#ifndef QUILT_QUILTER_FINALMODEL_HH
#define QUILT_QUILTER_FINALMODEL_HH

#include <string>
#include <vector>

// Ranks the combinations of both searches by correlation (highest first; on
// ties the first search and earlier entries first), writes the best nModels
// as outDir/<outName less ".pdb"><m>.pdb and returns the largest correlation
// written (0.0 when it is below 0 or nothing was written).  written receives
// the number of files actually written; a file is written whole (through a
// temporary file) or not at all; for a file that cannot be written,
// `failure` (when given) receives the system's reason.  `searches` (when
// given) receives, for each file written in turn, the search its
// combination came from: 1 for the first, 2 for the second.
double SaveFinalModel( int nModels, std::string outName, std::string outDir,
	std::vector< std::vector< std::string > > fileSets1, std::vector< std::vector< std::string > > fileSets2,
	std::vector< double > rscc1, std::vector< double > rscc2, int& written, std::string* failure = nullptr,
	std::vector< int >* searches = nullptr );

// Writes one assembled model from the chain files (only the atoms of their
// chains, core/pdb_atom_records.hh: readable "ATOM" records and the
// "HETATM" records of modified residues; a "TER" line after every chain) to
// path through a temporary file; false (path untouched, errno set) when it
// cannot be written.
bool writeAssembledModel( const std::string& path, const std::vector< std::string >& chainFiles );

#endif
