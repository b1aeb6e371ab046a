#include "core/model_file_format.hh"

#include <cctype>
#include <fstream>

namespace {

bool begins_with_nocase( std::string const& line, std::size_t at, char const* head )
{
	for ( std::size_t k = 0; head[ k ]; ++k ) {
		if ( at + k >= line.size() ) return false;
		if ( std::tolower( static_cast< unsigned char >( line[ at + k ] ) ) != head[ k ] ) return false;
	}
	return true;
}

// Index of the first character that is no blank, tab or '\r'; npos when
// there is none.
std::size_t first_word( std::string const& line ) { return line.find_first_not_of( " \t\r" ); }

// A line of the atom-site category: the item names of its loop
// ("_atom_site.group_PDB", ...) begin in the first column.
bool atom_site_line( std::string const& line ) { return begins_with_nocase( line, 0, "_atom_site." ); }

// The first line with something on it, not counting "#" comments.
bool opens_data_block( std::string const& line ) { return begins_with_nocase( line, first_word( line ), "data_" ); }

} // namespace

bool mmcif_text( std::vector< std::string > const& lines )
{
	bool first = true;
	for ( std::string const& line : lines ) {
		std::size_t const at = first_word( line );
		if ( first && at != std::string::npos && line[ at ] != '#' ) {
			if ( opens_data_block( line ) ) return true;
			first = false;
		}
		if ( atom_site_line( line ) ) return true;
	}
	return false;
}

bool mmcif_file( std::string const& path )
{
	// The first 4 MB: the data block line comes first, and a file that is no
	// text at all (no line ends) must not be read whole.
	std::ifstream in( path.c_str(), std::ios::binary );
	if ( !in ) return false;
	std::string text( 4 << 20, '\0' );
	in.read( &text[ 0 ], static_cast< std::streamsize >( text.size() ) );
	text.resize( static_cast< std::size_t >( in.gcount() ) );
	std::vector< std::string > lines;
	for ( std::size_t at = 0; at < text.size(); ) {
		std::size_t const end = text.find( '\n', at );
		std::size_t const stop = end == std::string::npos ? text.size() : end;
		lines.push_back( text.substr( at, stop - at ) );
		at = stop + 1;
	}
	return mmcif_text( lines );
}

std::string mmcif_reason() { return "it looks like an mmCIF file, and only PDB format files are read"; }
