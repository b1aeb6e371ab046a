#include "apps/quilter/ChainSplitting.hh"

#include "core/basic_fun_Quilt.hh"
#include "transforms/ModelOutput.hh"

#include <cctype>
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

void Split_PDB_chains( std::string path, bool readPastTER, std::vector< std::string >& chainPaths,
	std::vector< std::string >& chainIds, std::string outputDir )
{
	if ( outputDir.empty() ) outputDir = get_directory( path );
	std::string const name = get_name_from_path( path );
	std::string const base = name.size() >= 4 ? name.substr( 0, name.size() - 4 ) : std::string();

	std::ifstream in( path );
	if ( !in ) return;

	// Runs of consecutive atom lines with one key.
	std::vector< std::string > keys;
	std::vector< std::vector< std::string > > chains;
	std::string line;
	while ( std::getline( in, line ) ) {
		if ( !line.empty() && line.back() == '\r' ) line.pop_back();
		if ( line.size() < 3 ) continue;
		if ( begins_with( line, "TER" ) ) {
			if ( !readPastTER ) break;
			continue;
		}
		if ( !begins_with( line, "ATOM" ) ) continue;
		std::string const key = chain_key( line );
		if ( chains.empty() || key != keys.back() ) {
			keys.push_back( key );
			chains.emplace_back();
		}
		chains.back().push_back( line );
	}

	std::map< std::string, int > seen;
	for ( std::size_t i = 0; i < chains.size(); ++i ) {
		// A key that comes back after another key is a chain of its own; it
		// must not overwrite the file of the earlier run.
		int const n = ++seen[ keys[ i ] ];
		std::string out = outputDir + "/" + base + "_" + chainFileTag( keys[ i ] );
		if ( n > 1 ) out += "_" + std::to_string( n );
		out += ".pdb";
		if ( !writeLinesReplacing( out, chains[ i ] ) ) {
			std::cout << "Warning! Cannot write the chain file " << out << std::endl;
			continue;
		}
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
		if ( begins_with( line, "ATOM" ) ) {
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
	std::vector< std::string > kept;
	std::string line;
	while ( std::getline( in, line ) ) {
		if ( !line.empty() && line.back() == '\r' ) line.pop_back();
		if ( line.size() < 3 ) continue;
		if ( begins_with( line, "TER" ) ) break;
		if ( !begins_with( line, "ATOM" ) ) continue;
		if ( line.size() < 22 ) line.resize( 22, ' ' );
		line[ 21 ] = letter[ 0 ];
		kept.push_back( line );
	}
	in.close();
	if ( !writeLinesReplacing( path, kept ) )
		std::cout << "Error, cannot modify information to this chain pdb file: " << path << std::endl;
}

bool writeLinesReplacing( const std::string& path, const std::vector< std::string >& lines )
{
	ReplacingFile out( path );
	if ( !out.file() ) return false;
	bool ok = true;
	for ( std::string const& l : lines ) {
		ok = ok && std::fwrite( l.data(), 1, l.size(), out.file() ) == l.size();
		ok = ok && std::fputc( '\n', out.file() ) != EOF;
	}
	return out.commit( ok );
}
