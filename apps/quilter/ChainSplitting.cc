#include "apps/quilter/ChainSplitting.hh"

#include "apps/quilter/AssemblyRun.hh"

#include "core/basic_fun_Quilt.hh"
#include "core/model_file_format.hh"
#include "core/pdb_atom_records.hh"
#include "transforms/ModelOutput.hh"

#include <cctype>
#include <cerrno>
#include <cstring>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <map>
#include <unordered_map>

namespace {

bool begins_with( const std::string& line, const char* head )
{
	return line.compare( 0, std::char_traits< char >::length( head ), head ) == 0;
}

std::string chain_key( const std::string& line )
{
	std::string key = line.size() > 20 ? line.substr( 20, 2 ) : std::string();
	while ( key.size() < 2 ) key += ' ';
	if ( key == "  " ) key = " A";
	return key;
}

} // namespace

std::string chainFileTag( const std::string& key )
{
	static const char hex[] = "0123456789ABCDEF";
	std::string tag;
	for ( char c : trim( key ) ) {
		unsigned char const u = static_cast< unsigned char >( c );
		if ( std::isalnum( u ) ) {
			tag += c;
		} else {
			tag += '_';
			tag += hex[ u >> 4 ];
			tag += hex[ u & 15 ];
		}
	}
	return tag;
}

namespace {

std::vector< std::string > read_text_lines( std::ifstream& in )
{
	std::vector< std::string > lines;
	for ( std::string line; std::getline( in, line ); ) {
		if ( !line.empty() && line.back() == '\r' ) line.pop_back();
		lines.push_back( line );
	}
	return lines;
}

} // namespace

void Split_PDB_chains( std::string path, bool readPastTER, std::vector< std::string >& chainPaths,
	std::vector< std::string >& chainIds, std::string outputDir )
{
	if ( outputDir.empty() ) outputDir = get_directory( path );
	std::string const name = get_name_from_path( path );
	std::string const base = name.size() >= 4 ? name.substr( 0, name.size() - 4 ) : std::string();

	std::ifstream in( path, std::ios::binary );
	if ( !in ) return;
	std::vector< std::string > const lines = read_text_lines( in );
	in.close();
	PdbLineRoles const roles = pdb_line_roles( lines );

	// Runs of consecutive chain atoms with one key; what is left out is
	// counted over the lines read.
	std::vector< std::string > keys;
	std::vector< std::vector< std::string > > chains;
	std::vector< std::size_t > unreadable;
	int hetero = 0;
	for ( std::size_t i = 0; i < roles.end; ++i ) {
		std::string const& line = lines[ i ];
		PdbLineRole const role = roles.role[ i ];
		if ( role == PdbLineRole::Unreadable ) {
			unreadable.push_back( i );
			continue;
		}
		if ( role == PdbLineRole::Hetero ) {
			++hetero;
			continue;
		}
		if ( begins_with( line, "TER" ) ) {
			if ( !readPastTER ) break;
			continue;
		}
		if ( role != PdbLineRole::ChainAtom ) continue;
		std::string const key = chain_key( line );
		if ( chains.empty() || key != keys.back() ) {
			keys.push_back( key );
			chains.emplace_back();
		}
		chains.back().push_back( line );
	}

	std::string const file = get_name_from_path( path );
	// An mmCIF file has no line to split; the caller says what it is rather
	// than listing its rows as unreadable atom records.
	if ( chains.empty() && mmcif_text( lines ) ) return;
	if ( roles.laterModels > 0 )
		std::cout << "Warning! " << file << " holds " << ( roles.laterModels + 1 ) << " models; only the first is"
		          << " read, the other "
		          << ( roles.laterModels == 1 ? std::string( "is" ) : std::to_string( roles.laterModels ) + " are" )
		          << " ignored." << std::endl;
	if ( !unreadable.empty() )
		std::cout << "Warning! " << unreadable.size() << " lines of " << file << " cannot be read as atom records"
		          << " and are left out (lines " << pdb_line_numbers( unreadable ) << ")." << std::endl;
	if ( hetero > 0 )
		std::cout << "Warning! " << hetero << " HETATM lines of " << file << " (waters, ligands, ions) belong to no"
		          << " chain and are left out." << std::endl;

	std::map< std::string, int > seen;
	for ( std::size_t i = 0; i < chains.size(); ++i ) {
		// A key that comes back after another key is a chain of its own; it
		// must not overwrite the file of the earlier run.
		int const n = ++seen[ keys[ i ] ];
		std::string out = outputDir + "/" + base + "_" + chainFileTag( keys[ i ] );
		if ( n > 1 ) out += "_" + std::to_string( n );
		out += ".pdb";
		if ( !writeLinesReplacing( out, chains[ i ] ) ) stopOnWriteFailure( "the chain file", out );
		chainIds.push_back( keys[ i ] );
		chainPaths.push_back( out );
	}
}

void Get_All_ChainID( const std::string& path, std::vector< std::string >& ids )
{
	std::ifstream in( path );
	if ( !in ) {
		std::cout << "Error, cannot open input chain pdb file: " << path << std::endl;
		return;
	}
	std::string line;
	while ( std::getline( in, line ) ) {
		if ( line.size() < 3 ) continue;
		if ( begins_with( line, "TER" ) ) return;
		if ( pdb_atom_or_hetatm( line ) ) {
			ids.push_back( line.size() > 21 ? line.substr( 21, 1 ) : std::string( " " ) );
			return;
		}
	}
}

bool hasOverlapID( const std::vector< std::string >& ids )
{
	std::unordered_map< std::string, int > count;
	for ( std::string const& id : ids ) {
		if ( ++count[ id ] > 1 ) return true;
	}
	return false;
}

std::string chainLetter( int k )
{
	static const char letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
	if ( k < 0 || k >= 62 ) return "";
	return std::string( 1, letters[ k ] );
}

void Reorder_Allchains_ID( const std::string& path, int& k )
{
	std::string const letter = chainLetter( k );
	if ( letter.empty() ) {
		std::cout << "Error: You typed in wrong chains ID or too many chains. " << 61 << "." << std::endl;
		return;
	}
	std::ifstream in( path );
	if ( !in ) {
		std::cout << "Error, cannot open input chain pdb file: " << path << std::endl;
		return;
	}
	std::vector< std::string > const lines = read_text_lines( in );
	in.close();
	PdbLineRoles const roles = pdb_line_roles( lines );
	std::vector< std::string > kept;
	for ( std::size_t i = 0; i < roles.end; ++i ) {
		std::string line = lines[ i ];
		if ( line.size() < 3 ) continue;
		if ( begins_with( line, "TER" ) ) break;
		// "ATOM" records and the "HETATM" records of the chain's residues.
		if ( !begins_with( line, "ATOM" ) && roles.role[ i ] != PdbLineRole::ChainAtom ) continue;
		if ( line.size() < 22 ) line.resize( 22, ' ' );
		line[ 21 ] = letter[ 0 ];
		kept.push_back( line );
	}
	if ( !writeLinesReplacing( path, kept ) ) stopOnWriteFailure( "the chain file with its new identifier", path );
}

bool writeLinesReplacing( const std::string& path, const std::vector< std::string >& lines )
{
	ReplacingFile out( path );
	if ( !out.file() ) return out.commit( false );
	bool ok = true;
	for ( std::string const& l : lines ) {
		ok = ok && std::fwrite( l.data(), 1, l.size(), out.file() ) == l.size();
		ok = ok && std::fputc( '\n', out.file() ) != EOF;
	}
	return out.commit( ok );
}

void stopOnWriteFailure( const std::string& what, const std::string& path )
{
	stopRun( "Cannot write " + what + " " + path + ": " + std::strerror( errno ) + "." );
}
