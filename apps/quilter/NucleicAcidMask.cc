#include "apps/quilter/NucleicAcidMask.hh"

#include "apps/quilter/ChainSplitting.hh"
#include "core/basic_fun_Quilt.hh"
#include "core/pdb_atom_records.hh"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>

namespace {

bool begins_with( const std::string& line, const char* head )
{
	return line.compare( 0, std::char_traits< char >::length( head ), head ) == 0;
}

// Characters [from, from + n) of the line, blank-padded when it is short.
std::string field( const std::string& line, std::size_t from, std::size_t n )
{
	std::string f = line.size() > from ? line.substr( from, n ) : std::string();
	f.resize( n, ' ' );
	return f;
}

// The residue number field (PDB columns 23-26); four characters so that
// numbers of 1000 and more are read whole.
int residue_number( const std::string& line ) { return std::atoi( trim( field( line, 22, 4 ) ).c_str() ); }

std::string chain_of( const std::string& line ) { return trim( field( line, 20, 2 ) ); }

void pad( std::string& line, std::size_t n )
{
	if ( line.size() < n ) line.resize( n, ' ' );
}

std::vector< std::string > read_lines( std::ifstream& in )
{
	std::vector< std::string > lines;
	std::string line;
	while ( std::getline( in, line ) ) {
		if ( !line.empty() && line.back() == '\r' ) line.pop_back();
		lines.push_back( line );
	}
	return lines;
}

} // namespace

bool isRNAResidue( const std::string& name )
{
	static const char* const names[] = { "A", "U", "C", "G", "DA", "DT", "DC", "DG" };
	for ( const char* n : names ) {
		if ( name == n ) return true;
	}
	return false;
}

void Judge_Modify_NA_PDB( const std::string& path, std::vector< std::string >& savedLines )
{
	std::ifstream in( path );
	if ( !in ) {
		std::cout << "Error, cannot open Nucleic Acid input chain pdb file: " << path << std::endl;
		return;
	}
	std::vector< std::string > const lines = read_lines( in );
	in.close();

	// Detection: the first chain is nucleic acid when one of its residues has
	// a nucleic-acid name; the shift comes from the last number below 1 seen
	// up to that residue.
	PdbLineRoles const roles = pdb_line_roles( lines );
	auto chainAtom = [ & ]( std::size_t i ) {
		return begins_with( lines[ i ], "ATOM" ) || roles.role[ i ] == PdbLineRole::ChainAtom;
	};
	bool na = false;
	int shift = 0;
	for ( std::size_t i = 0; i < roles.end; ++i ) {
		std::string const& line = lines[ i ];
		if ( line.size() < 3 ) continue;
		if ( begins_with( line, "TER" ) ) break;
		if ( !chainAtom( i ) ) continue;
		int const num = residue_number( line );
		if ( num < 1 ) shift = 1 - num;
		if ( isRNAResidue( trim( field( line, 17, 3 ) ) ) ) {
			na = true;
			break;
		}
	}
	if ( !na ) return;

	std::vector< std::string > saved, masked;
	for ( std::size_t i = 0; i < roles.end; ++i ) {
		std::string const& original = lines[ i ];
		if ( original.size() < 3 ) continue;
		if ( begins_with( original, "TER" ) ) break;
		if ( !chainAtom( i ) ) continue;
		saved.push_back( original );
		std::string line = original;
		pad( line, 26 );
		if ( shift != 0 ) {
			char num[ 16 ];
			std::snprintf( num, sizeof num, "%4d", residue_number( original ) + shift );
			line.replace( 22, 4, std::string( num ).substr( 0, 4 ) );
		}
		line.replace( 17, 3, "ALA" );
		if ( trim( field( line, 13, 3 ) ) == "C4'" ) line.replace( 13, 3, "CA " );
		masked.push_back( line );
	}
	if ( saved.empty() ) return;
	std::cout << "This chain is an NA file:" << path << std::endl;
	// An unmasked nucleic-acid chain would be fitted as the wrong kind.
	if ( !writeLinesReplacing( path, masked ) ) stopOnWriteFailure( "the masked nucleic-acid chain file", path );
	savedLines.insert( savedLines.end(), saved.begin(), saved.end() );
}

bool judge_is_na_pdb( const std::string& path, std::vector< std::string >& naIds )
{
	std::ifstream in( path );
	if ( !in ) {
		std::cout << "Error, cannot open input chain pdb file: " << path << std::endl;
		return false;
	}
	std::string line;
	while ( std::getline( in, line ) ) {
		if ( !pdb_atom_or_hetatm( line ) ) continue;
		std::string const id = chain_of( line );
		for ( std::string const& na : naIds ) {
			if ( na == id ) return true;
		}
		return false;
	}
	return false;
}

bool Restore_NA_PDB( const std::string& modelPath, std::vector< std::vector< std::string > >& naCopies,
	std::vector< std::string >& naIds )
{
	std::vector< std::string > lines;
	{
		std::ifstream in( modelPath );
		if ( !in ) {
			int const e = errno;
			std::cout << "Error: Cannot open Original PDB file: " << modelPath << std::endl;
			errno = e;
			return false;
		}
		if ( naIds.empty() ) return true;
		lines = read_lines( in );
	}
	for ( std::size_t i = 0; i < naIds.size() && i < naCopies.size(); ++i ) {
		std::string const id = trim( naIds[ i ] );
		std::vector< std::string > const& saved = naCopies[ i ];
		std::size_t count = 0;
		for ( std::string const& line : lines ) {
			if ( pdb_atom_or_hetatm( line ) && chain_of( line ) == id ) ++count;
		}
		if ( count != saved.size() ) {
			std::cout << "Error: Number of lines in target chain (" << count << ") does not match copyRnaChain size ("
			          << saved.size() << ")." << std::endl;
			continue;
		}
		std::size_t j = 0;
		for ( std::string& line : lines ) {
			if ( !pdb_atom_or_hetatm( line ) || chain_of( line ) != id || j >= saved.size() ) continue;
			pad( line, 20 );
			line.replace( 17, 3, field( saved[ j ], 17, 3 ) );
			if ( line.compare( 13, 3, "CA " ) == 0 ) line.replace( 13, 3, "C4'" );
			++j;
		}
		if ( !writeLinesReplacing( modelPath, lines ) ) {
			int const e = errno;
			std::cout << "Error: Cannot write to the final PDB file: " << modelPath << std::endl;
			errno = e;
			return false;
		}
	}
	return true;
}

void Restore_Per_Chain_Pdb( const std::string& chainPath, std::vector< std::string >& ids,
	std::vector< std::vector< std::string > >& naCopies )
{
	std::vector< std::string > lines;
	{
		std::ifstream in( chainPath );
		if ( !in ) {
			std::cout << "Error, cannot open chain pdb file: " << chainPath << std::endl;
			return;
		}
		lines = read_lines( in );
	}
	if ( ids.size() != naCopies.size() ) {
		std::cout << "Error: A situation occurs where the target chain does not match the copy na content."
		          << std::endl;
		return;
	}
	std::map< std::string, std::size_t > byId;
	for ( std::size_t i = 0; i < ids.size(); ++i ) byId[ ids[ i ] ] = i;

	std::string id;
	for ( std::string const& line : lines ) {
		if ( line.size() < 3 ) continue;
		if ( begins_with( line, "TER" ) ) break;
		if ( pdb_atom_or_hetatm( line ) ) {
			id = field( line, 21, 1 );
			break;
		}
	}
	if ( id.empty() || !isTargetChainIDs( ids, id ) ) return;
	std::vector< std::string > const& saved = naCopies[ byId[ id ] ];
	if ( saved.empty() ) return;

	std::vector< std::string > out;
	std::size_t j = 0;
	for ( std::string line : lines ) {
		if ( line.size() < 3 ) continue;
		if ( begins_with( line, "TER" ) || j == saved.size() ) break;
		if ( pdb_atom_or_hetatm( line ) ) {
			pad( line, 20 );
			line.replace( 17, 3, field( saved[ j ], 17, 3 ) );
			if ( trim( line.substr( 13, 3 ) ) == "CA" ) line.replace( 13, 3, "C4'" );
			++j;
		}
		out.push_back( line );
	}
	if ( !writeLinesReplacing( chainPath, out ) )
		std::cout << "Error, cannot modify information to this Nucleic Acid chain pdb file: " << chainPath << std::endl;
}

std::vector< std::string > getChainType( std::vector< std::string > list )
{
	std::vector< std::string > out;
	for ( std::string const& s : list ) {
		bool found = false;
		for ( std::string const& o : out ) found = found || o == s;
		if ( !found ) out.push_back( s );
	}
	return out;
}

bool isTargetChainIDs( const std::vector< std::string >& ids, const std::string& id )
{
	for ( std::string const& s : ids ) {
		if ( s == id ) return true;
	}
	return false;
}
