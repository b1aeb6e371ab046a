// Residue-name tables, atom-selection words and secondary-structure counts.
#include "core/basic_fun_Quilt.hh"

#include <fstream>
#include <sstream>

namespace {

struct ResidueEntry {
	char const* name;
	int rama;
	int sgcom;
	char code;
};

// The 20 standard residues: index of the Ramachandran tables, index of the
// side-chain centroid tables, one-letter code.
ResidueEntry const kResidues[ 20 ] = {
	{ "ALA", 0, 1, 'A' }, { "CYS", 1, 3, 'C' }, { "ASP", 2, 9, 'D' }, { "GLU", 3, 13, 'E' },
	{ "PHE", 4, 17, 'F' }, { "GLY", 5, 0, 'G' }, { "HIS", 6, 16, 'H' }, { "ILE", 7, 6, 'I' },
	{ "LYS", 8, 12, 'K' }, { "LEU", 9, 11, 'L' }, { "MET", 10, 8, 'M' }, { "ASN", 11, 10, 'N' },
	{ "PRO", 12, 7, 'P' }, { "GLN", 13, 14, 'Q' }, { "ARG", 14, 15, 'R' }, { "SER", 15, 2, 'S' },
	{ "THR", 16, 5, 'T' }, { "VAL", 17, 4, 'V' }, { "TRP", 18, 19, 'W' }, { "TYR", 19, 18, 'Y' } };

ResidueEntry const* find_residue( std::string const& name )
{
	for ( ResidueEntry const& e : kResidues ) {
		if ( name == e.name ) return &e;
	}
	return nullptr;
}

} // namespace

int restypeind_rama( std::string name )
{
	ResidueEntry const* e = find_residue( name );
	return e ? e->rama : 0;
}

int restypeind_sgcom( std::string name )
{
	ResidueEntry const* e = find_residue( name );
	return e ? e->sgcom : 0;
}

char ResThree2One( std::string name )
{
	ResidueEntry const* e = find_residue( name );
	return e ? e->code : 'X';
}

char threeWordToOne( std::string name ) { return ResThree2One( name ); }

std::string oneWordToThree( char c )
{
	for ( ResidueEntry const& e : kResidues ) {
		if ( e.code == c ) return e.name;
	}
	return "ALA";
}

bool get_mode( std::string atomName, std::string mode )
{
	if ( mode == "backbone" ) return atomName == "N" || atomName == "CA" || atomName == "C";
	if ( mode == "centroid" ) return atomName != "SG";
	return atomName == "CA";
}

std::string getCenAtomMode( int i )
{
	switch ( i ) {
	case 0: return "N";
	case 1: return "CA";
	case 2: return "C";
	case 3: return "O";
	case 4: return "CB";
	case 5: return "H";
	case 6: return "SG";
	default: return "XX";
	}
}

bool backBoneAtom( std::string atomName )
{
	return atomName == "N" || atomName == "CA" || atomName == "C" || atomName == "O";
}

int getprotype( std::vector< std::string > ss )
{
	int runs = 0;
	bool inRun = false;
	for ( std::string const& s : ss ) {
		if ( s == "E" ) {
			if ( !inRun ) ++runs;
			inRun = true;
		} else {
			inRun = false;
		}
	}
	return runs >= 2 ? 2 : 1;
}

int getNmaxHelix( std::vector< std::string > ss )
{
	int best = 0, run = 0;
	for ( std::string const& s : ss ) {
		if ( s == "H" ) {
			++run;
			if ( run > best ) best = run;
		} else {
			run = 0;
		}
	}
	return best;
}

void PDBstandard( std::string inPath, std::string outPath )
{
	std::ifstream in( inPath );
	std::ofstream out( outPath );
	if ( !in || !out ) return;
	std::string line;
	while ( std::getline( in, line ) ) {
		if ( line.size() < 4 ) continue;
		if ( line.compare( 0, 4, "ATOM" ) == 0 ) {
			// Atom name: first word of columns 12-16; element: its first
			// upper-case letter, else its last character.
			std::string field = line.size() > 11 ? line.substr( 11, 5 ) : "";
			std::istringstream words( field );
			std::string atom;
			words >> atom;
			std::string element;
			for ( char ch : atom ) {
				if ( ch >= 'A' && ch <= 'Z' ) {
					element = ch;
					break;
				}
			}
			if ( element.empty() && !atom.empty() ) element = atom.substr( atom.size() - 1 );
			std::string const resName = line.size() > 17 ? line.substr( 17, 3 ) : "";
			std::string head;
			if ( resName == "HSD" ) {
				head = line.substr( 0, 17 ) + "HIS" + ( line.size() > 20 ? line.substr( 20, 34 ) : "" );
			} else {
				head = line.substr( 0, 54 );
			}
			out << head << "  1.00  0.00           " << element << "\n";
		} else if ( line.compare( 0, 3, "TER" ) == 0 ) {
			out << "TER\n";
		}
	}
}
