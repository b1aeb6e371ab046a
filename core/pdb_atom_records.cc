#include "core/pdb_atom_records.hh"

#include "core/Protein.hh"

#include <cmath>
#include <cstdlib>
#include <cstring>

namespace {

bool begins_with( std::string const& s, std::size_t from, char const* head )
{
	return s.compare( from, std::strlen( head ), head ) == 0;
}

bool printable( char c )
{
	unsigned char const u = static_cast< unsigned char >( c );
	return u >= 0x20 && u < 0x7F;
}

// Length of the line without a final '\r'.
std::size_t text_length( std::string const& line )
{
	return !line.empty() && line.back() == '\r' ? line.size() - 1 : line.size();
}

bool finite_field( std::string const& line, std::size_t at ) { return pdb_finite_field( line.substr( at, 8 ) ); }

bool stop_record( std::string const& line )
{
	return begins_with( line, 0, "TER" ) || begins_with( line, 0, "MODEL" ) || pdb_is_end_record( line );
}

bool is_hetatm( std::string const& line ) { return begins_with( line, 0, "HETATM" ); }

// Residue name, chain, number and insertion code (columns 18-27): the
// residue a readable atom line belongs to.
std::string residue_key( std::string const& line ) { return line.substr( 17, 10 ); }

// The trace atom of a residue: the CA of an amino acid (columns 14-16, the
// model reader's rule; a calcium ion "CA  " starts a column earlier), the
// C4' of a nucleotide.
bool trace_atom( std::string const& line )
{
	std::string const name = line.substr( 13, 3 );
	return name == "CA " || name == "C4'" || name == "C4*";
}

} // namespace

bool pdb_finite_field( std::string const& field )
{
	char const* s = field.c_str();
	char* end = nullptr;
	double const v = std::strtod( s, &end );
	if ( end == s || !std::isfinite( v ) ) return false;
	for ( ; *end; ++end )
		if ( *end != ' ' ) return false;
	return true;
}

bool pdb_atom_or_hetatm( std::string const& line )
{
	return begins_with( line, 0, "ATOM" ) || is_hetatm( line );
}

bool pdb_water_residue( std::string const& line )
{
	if ( line.size() < 20 ) return false;
	std::string name = line.substr( 17, 3 );
	while ( !name.empty() && name.back() == ' ' ) name.pop_back();
	while ( !name.empty() && name.front() == ' ' ) name.erase( 0, 1 );
	return name == "HOH" || name == "WAT" || name == "DOD" || name == "H2O";
}

bool pdb_unreadable_line( std::string const& line )
{
	std::size_t const n = text_length( line );
	bool const nul = std::memchr( line.data(), '\0', n ) != nullptr;
	std::size_t start = 0;
	while ( start < n && !printable( line[ start ] ) ) ++start;
	bool const atomLike = begins_with( line, start, "ATOM" ) || begins_with( line, start, "HETATM" );
	if ( !atomLike ) return nul;
	if ( start > 0 || nul ) return true;
	for ( std::size_t i = 0; i < n && i < 80; ++i )
		if ( !printable( line[ i ] ) ) return true;
	if ( n < 54 ) return true;
	return !( finite_field( line, 30 ) && finite_field( line, 38 ) && finite_field( line, 46 ) );
}

PdbLineRoles pdb_line_roles( std::vector< std::string > const& lines )
{
	PdbLineRoles out;
	std::size_t const n = lines.size();
	out.role.assign( n, PdbLineRole::Other );
	out.end = n;
	for ( std::size_t i = 0; i < n; ++i ) {
		if ( begins_with( lines[ i ], 0, "ENDMDL" ) ) {
			out.end = i;
			break;
		}
	}

	std::vector< char > bad( out.end, 0 );
	for ( std::size_t i = 0; i < out.end; ++i ) {
		if ( !pdb_unreadable_line( lines[ i ] ) ) continue;
		bad[ i ] = 1;
		out.role[ i ] = PdbLineRole::Unreadable;
		out.unreadable.push_back( i );
	}
	auto readable_atom = [ & ]( std::size_t i ) { return !bad[ i ] && begins_with( lines[ i ], 0, "ATOM" ); };
	auto readable_het = [ & ]( std::size_t i ) { return !bad[ i ] && is_hetatm( lines[ i ] ); };

	// nextAtom[i]: chain of the first readable "ATOM" record at or after i
	// with no stop record before it; empty when there is none.
	std::vector< std::string > nextAtom( out.end + 1 );
	for ( std::size_t i = out.end; i-- > 0; ) {
		if ( bad[ i ] ) nextAtom[ i ] = nextAtom[ i + 1 ];
		else if ( stop_record( lines[ i ] ) ) nextAtom[ i ].clear();
		else if ( readable_atom( i ) ) nextAtom[ i ] = pdb_chain_id( lines[ i ] );
		else nextAtom[ i ] = nextAtom[ i + 1 ];
	}

	std::string open;  // chain of the last chain atom, until a stop record
	for ( std::size_t i = 0; i < out.end; ++i ) {
		std::string const& line = lines[ i ];
		if ( bad[ i ] ) continue;
		if ( stop_record( line ) ) {
			open.clear();
			continue;
		}
		if ( readable_atom( i ) ) {
			out.role[ i ] = PdbLineRole::ChainAtom;
			open = pdb_chain_id( line );
			continue;
		}
		if ( !readable_het( i ) ) continue;
		// The hetero residue: its lines up to the next atom record of another
		// residue or the next stop record (ANISOU and other records between
		// its lines are passed over).
		std::string const key = residue_key( line );
		std::vector< std::size_t > group;
		bool traced = false;
		std::size_t j = i;
		for ( ; j < out.end; ++j ) {
			std::string const& l = lines[ j ];
			if ( bad[ j ] || stop_record( l ) ) break;
			if ( readable_het( j ) ) {
				if ( residue_key( l ) != key ) break;
				group.push_back( j );
				traced = traced || trace_atom( l );
			} else if ( begins_with( l, 0, "ATOM" ) ) {
				break;
			}
		}
		std::string const chain = pdb_chain_id( line );
		bool const inChain = !pdb_water_residue( line ) && traced && ( open == chain || nextAtom[ j ] == chain );
		for ( std::size_t g : group ) out.role[ g ] = inChain ? PdbLineRole::ChainAtom : PdbLineRole::Hetero;
		if ( inChain ) open = chain;
		else out.heteroLines += static_cast< int >( group.size() );
		i = group.back();
	}

	int models = 0;
	bool atomsAfter = false;
	for ( std::size_t i = out.end + 1; i < n; ++i ) {
		std::string const& line = lines[ i ];
		if ( begins_with( line, 0, "MODEL" ) ) ++models;
		std::size_t start = 0;
		while ( start < line.size() && !printable( line[ start ] ) ) ++start;
		if ( begins_with( line, start, "ATOM" ) || begins_with( line, start, "HETATM" ) ) {
			out.role[ i ] = PdbLineRole::LaterModel;
			atomsAfter = true;
		}
	}
	if ( atomsAfter ) out.laterModels = models > 0 ? models : 1;
	return out;
}

std::string pdb_line_numbers( std::vector< std::size_t > const& indices, std::size_t shown )
{
	std::string text;
	for ( std::size_t k = 0; k < indices.size() && k < shown; ++k ) {
		if ( k > 0 ) text += ", ";
		text += std::to_string( indices[ k ] + 1 );
	}
	if ( indices.size() > shown ) text += ", ...";
	return text;
}
