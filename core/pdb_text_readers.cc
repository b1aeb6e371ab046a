// Fixed-column readers of PDB text into caller-supplied arrays, and the
// residue-code tables.  Columns are cut by 0-based offset: serial 6+5, atom
// name 12+4, alternate location 16, residue name 17+3, residue number 22+4,
// insertion code 26, x/y/z 30+8, 38+8, 46+8.
//
// Fields missing from a short line read as empty: the scan then reads
// nothing and leaves its target unchanged.  Residue numbers below zero cannot
// index the caller's seen tables; such lines are passed over by the readers.
//
// The CA readers take the first chain as the model reader does: once a CA
// has been taken, reading ends at an "END" or "ENDMDL" record or at a "TER"
// followed by another chain (pdb_ter_ends_chain).  A "TER" that the same
// chain follows marks a chain break, as deposited files put them, and is
// read through.
#include "core/Protein.hh"
#include "core/basic_fun_Quilt.hh"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <vector>

namespace {

std::string cut( const std::string& line, std::size_t pos, std::size_t len )
{
	if ( pos >= line.size() ) return "";
	return line.substr( pos, len );
}

char column_char( const std::string& line, std::size_t pos ) { return pos < line.size() ? line[ pos ] : ' '; }

bool starts_with( const std::string& line, const char* prefix )
{
	return line.compare( 0, std::strlen( prefix ), prefix ) == 0;
}

bool is_ca_field( const std::string& line )
{
	std::string const f = cut( line, 12, 4 );
	return f == "CA  " || f == " CA " || f == "  CA";
}

void scan_double( const std::string& field, double* out ) { std::sscanf( field.c_str(), "%lf", out ); }
void scan_int( const std::string& field, int* out ) { std::sscanf( field.c_str(), "%d", out ); }

// Residue number for the seen tables; false when it cannot index them.
bool table_residue( const std::string& line, int& r )
{
	std::string const f = cut( line, 22, 4 );
	char* end = nullptr;
	long v = std::strtol( f.c_str(), &end, 10 );
	if ( end == f.c_str() || v < 0 ) return false;
	r = static_cast< int >( v );
	return true;
}

[[noreturn]] void cannot_open( const char* path )
{
	std::string const msg = std::string( "Can not open file: " ) + path + "\n";
	PrintErrorAndQuit( msg.c_str() );
}

// Every line of the file: whether a "TER" ends the chain depends on the
// records after it.
std::vector< std::string > all_lines( const char* path )
{
	std::ifstream in( path );
	if ( !in ) cannot_open( path );
	std::vector< std::string > lines;
	for ( std::string line; std::getline( in, line ); ) lines.push_back( line );
	return lines;
}

// Whether lines[i] ends the first chain, whose last "ATOM" record so far
// had the chain identifier `chain`.
bool ends_first_chain( std::vector< std::string > const& lines, std::size_t i, std::string const& chain )
{
	if ( pdb_is_end_record( lines[ i ] ) ) return true;
	return starts_with( lines[ i ], "TER" ) && pdb_ter_ends_chain( lines, i, chain );
}

} // namespace

char AAmap( const std::string& name )
{
	static const char* const names[] = { "BCK", "GLY", "ALA", "SER", "CYS", "VAL", "THR", "ILE", "PRO",
		"MET", "ASP", "ASN", "LEU", "LYS", "GLU", "GLN", "ARG", "HIS", "PHE", "TYR", "TRP", "CYX" };
	static const char codes[] = "XGASCVTIPMDNLKEQRHFYWC";
	for ( std::size_t i = 0; i < sizeof( names ) / sizeof( names[ 0 ] ); ++i ) {
		if ( name == names[ i ] ) return codes[ i ];
	}
	return 'Z';
}

void AAmap3( char code, char* out )
{
	static const char codes[] = "XGASCVTIPMDNLKEQRHFYW";
	static const char* const names[] = { "BCK", "GLY", "ALA", "SER", "CYS", "VAL", "THR", "ILE", "PRO",
		"MET", "ASP", "ASN", "LEU", "LYS", "GLU", "GLN", "ARG", "HIS", "PHE", "TYR", "TRP" };
	const char* name = "UNK";
	for ( std::size_t i = 0; codes[ i ] != '\0'; ++i ) {
		if ( code == codes[ i ] ) {
			name = names[ i ];
			break;
		}
	}
	std::memcpy( out, name, 4 );
}

std::string Trim( std::string s )
{
	std::size_t const b = s.find_first_not_of( ' ' );
	if ( b == std::string::npos ) return s;
	std::size_t const e = s.find_last_not_of( ' ' );
	return s.substr( b, e - b + 1 );
}

void get_xyz( std::string line, double* x, double* y, double* z, char* code, int* resno )
{
	scan_double( cut( line, 30, 8 ), x );
	scan_double( cut( line, 38, 8 ), y );
	scan_double( cut( line, 46, 8 ), z );
	*code = AAmap( cut( line, 17, 3 ) );
	scan_int( cut( line, 22, 4 ), resno );
}

void get_xyz( std::string line, int* serial, char* atom_name, char* res_name, int* resno,
	double* x, double* y, double* z )
{
	scan_int( Trim( cut( line, 6, 5 ) ), serial );
	std::string const name = Trim( cut( line, 12, 4 ) );
	std::memcpy( atom_name, name.c_str(), name.size() + 1 );
	std::string const res = cut( line, 17, 3 );
	std::memcpy( res_name, res.c_str(), res.size() + 1 );
	scan_int( cut( line, 22, 4 ), resno );
	scan_double( cut( line, 30, 8 ), x );
	scan_double( cut( line, 38, 8 ), y );
	scan_double( cut( line, 46, 8 ), z );
}

void get_xyz( std::string line, double* x, double* y, double* z, std::string& head )
{
	scan_double( cut( line, 30, 8 ), x );
	scan_double( cut( line, 38, 8 ), y );
	scan_double( cut( line, 46, 8 ), z );
	head = cut( line, 0, 30 );
}

int get_PDB_len( const char* path )
{
	std::ifstream in( path );
	if ( !in ) cannot_open( path );
	int n = 0;
	for ( std::string line; std::getline( in, line ); ) {
		if ( starts_with( line, "ATOM " ) ) ++n;
	}
	return n;
}

int get_ligand_len( const char* path )
{
	std::ifstream in( path );
	if ( !in ) cannot_open( path );
	int n = 0;
	for ( std::string line; std::getline( in, line ); ) {
		if ( starts_with( line, "END" ) ) break;
		if ( starts_with( line, "ATOM  " ) || starts_with( line, "HETATM" ) ) ++n;
	}
	return n;
}

int read_PDB( const char* path, double** xyz, char* seq, int* resno, int** seen )
{
	std::vector< std::string > const lines = all_lines( path );
	std::string chain;  // of the last "ATOM" record
	int n = 0;
	for ( std::size_t li = 0; li < lines.size(); ++li ) {
		std::string const& line = lines[ li ];
		if ( n > 0 && ends_first_chain( lines, li, chain ) ) break;
		if ( !starts_with( line, "ATOM " ) ) continue;
		chain = pdb_chain_id( line );
		if ( !is_ca_field( line ) ) continue;
		unsigned char const icode = static_cast< unsigned char >( column_char( line, 26 ) );
		int r = 0;
		if ( !table_residue( line, r ) ) continue;
		if ( seen[ r ][ icode ] > 0 ) continue;  // only the first CA per residue and code
		get_xyz( line, &xyz[ n ][ 0 ], &xyz[ n ][ 1 ], &xyz[ n ][ 2 ], &seq[ n ], &resno[ n ] );
		seen[ r ][ icode ] += 1;
		++n;
	}
	seq[ n ] = '\0';
	return n;
}

int read_PDB_fullatom( const char* path, double** ca_xyz, char* seq, int* ca_resno,
	int* serial, char** atom_names, char** res_names, int* resno, double** xyz,
	int** seen, char*** seen_names, char* icode, char* ca_icode, int& atom_count )
{
	std::vector< std::string > const lines = all_lines( path );
	std::string chain;  // of the last "ATOM" record
	int c = 0, m = 0, counted = 0;
	for ( std::size_t li = 0; li < lines.size(); ++li ) {
		std::string const& line = lines[ li ];
		if ( c > 0 && ends_first_chain( lines, li, chain ) ) break;
		if ( !starts_with( line, "ATOM " ) ) continue;
		chain = pdb_chain_id( line );
		char const code = column_char( line, 26 );
		unsigned char const ucode = static_cast< unsigned char >( code );
		int r = 0;
		if ( !table_residue( line, r ) ) continue;
		if ( column_char( line, 16 ) != ' ' ) {
			// An alternate location of an atom already taken is passed over.
			std::string const name = Trim( cut( line, 12, 4 ) );
			int const k = seen[ r ][ ucode ];
			bool taken = false;
			for ( int q = 1; q <= k && q <= 29; ++q ) {
				if ( name == seen_names[ r ][ q ] ) taken = true;
			}
			if ( taken ) continue;
		}
		if ( ++counted > 89999 ) break;
		get_xyz( line, &serial[ m ], atom_names[ m ], res_names[ m ], &resno[ m ], &xyz[ m ][ 0 ],
			&xyz[ m ][ 1 ], &xyz[ m ][ 2 ] );
		int const k = seen[ r ][ ucode ];
		if ( k < 29 ) {
			seen[ r ][ ucode ] = k + 1;
			std::strcpy( seen_names[ r ][ k + 1 ], atom_names[ m ] );
		}
		icode[ m ] = code;
		++m;
		if ( is_ca_field( line ) ) {
			get_xyz( line, &ca_xyz[ c ][ 0 ], &ca_xyz[ c ][ 1 ], &ca_xyz[ c ][ 2 ], &seq[ c ], &ca_resno[ c ] );
			ca_icode[ c ] = code;
			++c;
		}
	}
	seq[ c ] = '\0';
	ca_icode[ c ] = '\0';
	icode[ m ] = '\0';
	atom_count = m;
	return c;
}

int read_ligand( const char* path, double** xyz, std::string* heads )
{
	std::ifstream in( path );
	if ( !in ) cannot_open( path );
	int n = 0;
	for ( std::string line; std::getline( in, line ); ) {
		if ( starts_with( line, "END" ) ) break;
		if ( !starts_with( line, "ATOM  " ) && !starts_with( line, "HETATM" ) ) continue;
		get_xyz( line, &xyz[ n ][ 0 ], &xyz[ n ][ 1 ], &xyz[ n ][ 2 ], heads[ n ] );
		++n;
	}
	return n;
}
