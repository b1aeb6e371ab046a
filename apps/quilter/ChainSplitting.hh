// Input models become one file per chain with distinct chain identifiers.
// PDB text is read by fixed columns (zero-based indices): the atoms of a
// chain are its "ATOM" records and the "HETATM" records of its residues
// (modified residues such as MSE; core/pdb_atom_records.hh), a line
// beginning with "TER" ends a chain, the chain key is indices 20-21 and the
// chain identifier index 21.
#ifndef QUILT_QUILTER_CHAINSPLITTING_HH
#define QUILT_QUILTER_CHAINSPLITTING_HH

#include <string>
#include <vector>

// The chain key as a file-name part: the trimmed key with every character
// other than a letter or a digit written as "_" and two hex digits, so that
// distinct keys give distinct names and no key reaches the shell or the
// file system as a special character.
std::string chainFileTag( const std::string& key );

// Splits the chain atoms of path into runs of one chain key each and
// writes every run to outputDir (or the directory of path when empty) as
// <name less its last four characters>_<tag>.pdb.  A key that comes back
// after another key gets a file of its own (_<tag>_2.pdb, ...).  Appends
// each written path to chainPaths and its key (" A" for a blank key) to
// chainIds.  A file without chain atoms yields nothing (a file of waters
// or ligands too).  Only the first model of an ensemble is read.  What is
// left out is said on standard output, one warning per kind and file: the
// models after the first, the lines that cannot be read as atom records
// (their count and first line numbers; they never make or rename a chain),
// and the "HETATM" lines of no chain (waters, ligands, ions; their count).
void Split_PDB_chains( std::string path, bool readPastTER, std::vector< std::string >& chainPaths,
	std::vector< std::string >& chainIds, std::string outputDir );

// Appends the identifier (index 21) of the first "ATOM" or "HETATM" line
// before any "TER" line, or nothing.
void Get_All_ChainID( const std::string& path, std::vector< std::string >& ids );

// True when some identifier occurs twice or more.
bool hasOverlapID( const std::vector< std::string >& ids );

// The identifier given to chain file k: "A".."Z", then "a".."z", then
// "0".."9"; an empty text for k beyond those 62.
std::string chainLetter( int k );

// Rewrites the file to hold only the atom lines of its first chain (its
// "ATOM" records and the "HETATM" records of its residues, of the first
// model), each with identifier chainLetter(k).  k beyond the 62 identifiers leaves the
// file unchanged with an error message.
void Reorder_Allchains_ID( const std::string& path, int& k );

// Writes lines (each followed by a newline) to path through a temporary
// file beside it, renamed over path only when everything was written; a
// failure leaves path as it was and returns false.
// On failure errno holds the system's reason.
bool writeLinesReplacing( const std::string& path, const std::vector< std::string >& lines );

// Ends the run when one of its own files cannot be written (a full disk, a
// quota): the "ERROR!" line names the file and the reason in errno, and the
// status is 1.  Going on would leave a chain out or keep it unprepared
// without a word.
[[noreturn]] void stopOnWriteFailure( const std::string& what, const std::string& path );

#endif
