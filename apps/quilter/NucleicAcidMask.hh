// Nucleic-acid chains take part in fitting as pseudo-protein chains: every
// residue is renamed "ALA" and its C4' atom becomes its "CA".  The unmasked
// lines are kept in memory and written back into the final model after the
// assembly.  Fixed zero-based columns: atom name 13-15, residue name 17-19,
// chain identifier 20-21 (trimmed where compared), residue number 22-25.
#ifndef QUILT_QUILTER_NUCLEICACIDMASK_HH
#define QUILT_QUILTER_NUCLEICACIDMASK_HH

#include <string>
#include <vector>

// True for "A", "U", "C", "G", "DA", "DT", "DC", "DG" (the caller trims).
bool isRNAResidue( const std::string& name );

// When the first chain of the file is a nucleic-acid chain: rewrites the file
// masked (its first chain's atom lines only: "ATOM" records and the
// "HETATM" records of its residues, such as modified nucleotides; residue
// numbers shifted to start at 1 when they start below 1) and appends the
// unmasked lines to savedLines.  Otherwise nothing changes.  When the masked file cannot be
// written the file and savedLines are left as they were.
void Judge_Modify_NA_PDB( const std::string& path, std::vector< std::string >& savedLines );

// True when the trimmed chain identifier of the file's first "ATOM" or
// "HETATM" line is one of naIds.
bool judge_is_na_pdb( const std::string& path, std::vector< std::string >& naIds );

// Writes the saved residue names and the C4' atom names back into the chains
// of the final model whose identifiers are naIds, chain by chain; a chain
// whose atom count differs from its saved lines stays masked, with a message.
// False (errno set) when the model cannot be read or written back.
bool Restore_NA_PDB( const std::string& modelPath, std::vector< std::vector< std::string > >& naCopies,
	std::vector< std::string >& naIds );

// The same restore for one chain file, its identifier looked up in ids.
void Restore_Per_Chain_Pdb( const std::string& chainPath, std::vector< std::string >& ids,
	std::vector< std::vector< std::string > >& naCopies );

// The distinct entries of list in order of first appearance.
std::vector< std::string > getChainType( std::vector< std::string > list );

// True when id equals an entry of ids exactly.
bool isTargetChainIDs( const std::vector< std::string >& ids, const std::string& id );

#endif
