// Writing residue lists as PDB text.
#include "core/Protein.hh"

#include <cstdio>

namespace {

// One atom line per stored atom: serial, columns 12-20 of the atom's input
// line (atom name, alternate location, residue name), chain, the residue's
// sequential number and the coordinates.
void write_residue( std::FILE* f, const Residue& r, const std::string& chainId, int& serial )
{
	for ( std::size_t k = 0; k < r.xyz.size(); ++k ) {
		const std::string& line = k < r.atomLines.size() ? r.atomLines[ k ] : std::string();
		std::string const mid = line.size() > 11 ? line.substr( 11, 9 ) : std::string();
		// A residue read from "HETATM" records (a modified residue of the
		// chain) keeps its record name.
		bool const het = line.compare( 0, 6, "HETATM" ) == 0;
		std::fprintf( f, het ? "HETATM%5d%s%2s%4d    %8.3f%8.3f%8.3f  1.00  0.00\n"
		                     : "ATOM %6d%s%2s%4d    %8.3f%8.3f%8.3f  1.00  0.00\n", serial, mid.c_str(),
			chainId.c_str(), r.seqNum, r.xyz[ k ][ 0 ], r.xyz[ k ][ 1 ], r.xyz[ k ][ 2 ] );
		++serial;
	}
}

} // namespace

void Protein::save( std::vector< Residue > residues, std::string outPath, std::string chainId )
{
	std::FILE* f = std::fopen( outPath.c_str(), "w" );
	if ( !f ) return;
	int serial = 1;
	for ( const Residue& r : residues ) write_residue( f, r, chainId, serial );
	std::fputs( "TER\n", f );
	std::fclose( f );
}

void Protein::save( std::vector< std::vector< Residue > > chains, std::vector< std::string > chainIds,
	std::string outPath, std::string header )
{
	std::FILE* f = std::fopen( outPath.c_str(), "w" );
	if ( !f ) return;
	std::fwrite( header.data(), 1, header.size(), f );
	std::fputc( '\n', f );
	for ( std::size_t c = 0; c < chains.size(); ++c ) {
		// A missing identifier is written as a blank chain.
		std::string const id = c < chainIds.size() ? chainIds[ c ] : std::string( " " );
		int serial = 1;
		for ( const Residue& r : chains[ c ] ) write_residue( f, r, id, serial );
		std::fputs( "TER\n", f );
	}
	std::fclose( f );
}

void Protein::save( std::vector< Residue > residues, std::vector< std::string > chainIds, std::string outPath )
{
	std::FILE* f = std::fopen( outPath.c_str(), "w" );
	if ( !f ) return;
	int serial = 1;
	auto idOf = [ & ]( std::size_t i ) { return i < chainIds.size() ? chainIds[ i ] : std::string( " " ); };
	for ( std::size_t i = 0; i < residues.size(); ++i ) {
		write_residue( f, residues[ i ], idOf( i ), serial );
		if ( i + 1 < residues.size() && idOf( i ) != idOf( i + 1 ) ) std::fputs( "TER\n", f );
	}
	std::fputs( "TER\n", f );
	std::fclose( f );
}

void xyz2CA( double** xyz, std::vector< std::string > resNames, std::string dir, std::string file )
{
	std::FILE* f = std::fopen( ( dir + "/" + file ).c_str(), "w" );
	if ( !f ) return;
	for ( std::size_t i = 1; i <= resNames.size(); ++i ) {
		std::fprintf( f, "ATOM  %5d  CA  %3s %5d    %8.3f%8.3f%8.3f\n", static_cast< int >( i ),
			resNames[ i - 1 ].c_str(), static_cast< int >( i ), xyz[ i - 1 ][ 0 ], xyz[ i - 1 ][ 1 ],
			xyz[ i - 1 ][ 2 ] );
		std::fflush( f );
	}
	std::fclose( f );
}
