// Reading a PDB model from its atom records, and the coordinate
// extractions of the fitting engine.
#include "core/Protein.hh"
#include "core/basic_fun_Quilt.hh"
#include "core/pdb_atom_records.hh"

#include <cstdlib>
#include <utility>
#include <fstream>
#include <iostream>

namespace {

// Residue number of a line that holds none in columns 23-26.
int const kNoResidueNumber = -999999;
// "No residue read yet": lies outside what four columns can hold.
int const kNoPreviousResidue = -9999999;

// Columns [start, start + len) of a line that has been blank-padded to at
// least 54 characters.
inline std::string column( const std::string& padded, std::size_t start, std::size_t len )
{
	return padded.substr( start, len );
}

// A decimal number at the start of a field (leading blanks skipped); 0.0 when
// the field holds none.
double field_double( const std::string& field )
{
	const char* s = field.c_str();
	char* end = nullptr;
	double v = std::strtod( s, &end );
	return end == s ? 0.0 : v;
}

int field_int( const std::string& field )
{
	const char* s = field.c_str();
	char* end = nullptr;
	long v = std::strtol( s, &end, 10 );
	return end == s ? kNoResidueNumber : static_cast< int >( v );
}

std::string chain_of( const std::string& padded )
{
	std::string c = column( padded, 20, 2 );
	return c == "  " ? " A" : c;
}

bool is_atom_record( const std::string& line ) { return line.size() >= 4 && line.compare( 0, 4, "ATOM" ) == 0; }

// Residue name of a stored line (columns 18-20).
std::string residue_name( const std::string& line )
{
	if ( line.size() <= 17 ) return "";
	return line.substr( 17, 3 );
}

} // namespace

std::string pdb_chain_id( std::string const& line )
{
	std::string padded = line;
	if ( padded.size() < 22 ) padded.resize( 22, ' ' );
	return chain_of( padded );
}

bool pdb_is_end_record( std::string const& line )
{
	if ( line.compare( 0, 3, "END" ) != 0 ) return false;
	std::string const rest = line.substr( 3, 3 );
	return rest.find_first_not_of( ' ' ) == std::string::npos || rest == "MDL";
}

bool pdb_ter_ends_chain( std::vector< std::string > const& lines, std::size_t ter, std::string const& chain )
{
	for ( std::size_t i = ter + 1; i < lines.size(); ++i ) {
		if ( pdb_is_end_record( lines[ i ] ) ) return true;
		if ( is_atom_record( lines[ i ] ) ) return chain.empty() || pdb_chain_id( lines[ i ] ) != chain;
	}
	return true;
}

Protein::Protein( std::string path, bool multiChain_ ) : pdbPath( std::move( path ) ), multiChain( multiChain_ )
{
	readPDB();
}

void Protein::readPDB()
{
	atomCount = 0;
	residues.clear();
	std::ifstream in( pdbPath );
	if ( !in ) return;

	// The residue being assembled.
	std::vector< double* > xyz;
	std::vector< std::string > names, lines;
	std::vector< int > sideChain;
	int pos = 0;
	int seqNum = 1;
	int prevResNum = kNoPreviousResidue;
	bool hasCA = false, hasCB = false;
	int caPos = 0, cbPos = 0, nPos = 0, cPos = 0, oPos = 0;
	std::string openChain;
	bool firstRecord = true;
	int missedCA = 0;  // residue changes met with no CA in the open residue
	std::string lastKept;

	auto freeOpen = [ & ]() {
		for ( double* p : xyz ) delete[] p;
		xyz.clear();
		names.clear();
		lines.clear();
		sideChain.clear();
	};
	auto closeOpen = [ & ]() {
		int const cb = ( hasCB && residue_name( lines.empty() ? "" : lines[ 0 ] ) != "GLY" ) ? cbPos : caPos;
		residues.emplace_back( xyz, names, lines, caPos, cb, nPos, cPos, oPos, sideChain, seqNum,
			prevResNum, openChain );
		freeOpen();
		// The roles belong to the residue just closed; the next one starts
		// without them (a residue lacking an N or O must not point past its
		// own atoms).
		caPos = cbPos = nPos = cPos = oPos = 0;
	};
	auto store = [ & ]( const std::string& line, const std::string& padded, double x, double y, double z ) {
		double* p = new double[ 3 ];
		p[ 0 ] = x;
		p[ 1 ] = y;
		p[ 2 ] = z;
		xyz.push_back( p );
		lines.push_back( line );
		std::string const role = column( padded, 13, 3 );
		names.push_back( trim( role ) );
		if ( role == "CA " ) {
			caPos = pos;
			hasCA = true;
		} else if ( role == "CB " ) {
			cbPos = pos;
			hasCB = true;
		} else if ( role == "N  " ) {
			nPos = pos;
		} else if ( role == "C  " ) {
			cPos = pos;
		} else if ( role == "O  " ) {
			oPos = pos;
		} else {
			sideChain.push_back( pos );
		}
		++pos;
	};

	// The whole file first: whether a "TER" ends the chain depends on the
	// records after it.
	std::vector< std::string > fileLines;
	for ( std::string l; std::getline( in, l ); ) fileLines.push_back( l );
	PdbLineRoles const roles = pdb_line_roles( fileLines );
	std::string lastAtomChain;  // chain of the last "ATOM" record read

	// Only the first model of an ensemble is read.
	for ( std::size_t li = 0; li < roles.end; ++li ) {
		std::string const& line = fileLines[ li ];
		if ( line.size() < 3 ) continue;
		if ( !multiChain ) {
			if ( line.compare( 0, 3, "TER" ) == 0 && pdb_ter_ends_chain( fileLines, li, lastAtomChain ) ) break;
			if ( pdb_is_end_record( line ) ) break;
		}
		// Every "ATOM" record, and the "HETATM" records of the chains'
		// residues (waters, ligands and ions are none of the model).
		if ( !is_atom_record( line ) && roles.role[ li ] != PdbLineRole::ChainAtom ) {
			lastKept = line;
			continue;
		}
		++atomCount;
		// Fields missing from a short line read as blanks: no number.
		std::string padded = line;
		if ( padded.size() < 54 ) padded.resize( 54, ' ' );
		std::string const chain = chain_of( padded );
		lastAtomChain = chain;
		if ( prevResNum == kNoPreviousResidue ) openChain = chain;
		double const x = field_double( column( padded, 30, 8 ) );
		double const y = field_double( column( padded, 38, 8 ) );
		double const z = field_double( column( padded, 46, 8 ) );
		int const resNum = field_int( column( padded, 22, 4 ) );

		if ( resNum == prevResNum ) {
			store( line, padded, x, y, z );
		} else {
			if ( hasCA ) {
				closeOpen();
				++seqNum;
				pos = 0;
				std::string const role = column( padded, 13, 3 );
				hasCA = role == "CA ";
				hasCB = role == "CB ";
				store( line, padded, x, y, z );
			} else if ( firstRecord ) {
				store( line, padded, x, y, z );
			} else if ( ++missedCA == 1 ) {
				std::cout << "Error! CA atom is missed in residue " << ( resNum - 1 ) << "\n";
			}
			prevResNum = resNum;
			openChain = chain;
		}
		firstRecord = false;
		lastKept = line;
	}
	if ( !xyz.empty() && ( hasCA || lastKept.size() > 15 ) ) closeOpen();
	freeOpen();
	// A chain without CA atoms misses one in every residue: one line for
	// the rest, which would otherwise bury every other message of a run.
	if ( missedCA > 1 )
		std::cout << "Error! CA atom is missed in " << ( missedCA - 1 ) << " more residues (not listed one by one)\n";
}

double** Protein::getAllAtomXYZs()
{
	// Rows beyond the stored atoms (records discarded while reading) stay zero.
	double** p = new2DArr( atomCount, 3 );
	int k = 0;
	for ( const Residue& r : residues ) {
		for ( const double* a : r.xyz ) {
			if ( k >= atomCount ) return p;
			p[ k ][ 0 ] = a[ 0 ];
			p[ k ][ 1 ] = a[ 1 ];
			p[ k ][ 2 ] = a[ 2 ];
			++k;
		}
	}
	return p;
}

double* Protein::getIthResidueCAXYZ( int i )
{
	double* p = new1DArr( 3 );
	if ( i >= 0 && i < static_cast< int >( residues.size() ) ) {
		const Residue& r = residues[ i ];
		for ( std::size_t k = 0; k < r.atomNames.size(); ++k ) {
			if ( r.atomNames[ k ] == "CA" ) {
				p[ 0 ] = r.xyz[ k ][ 0 ];
				p[ 1 ] = r.xyz[ k ][ 1 ];
				p[ 2 ] = r.xyz[ k ][ 2 ];
				return p;
			}
		}
	}
	std::cout << "Error! No CA atom in residue " << i << "!" << std::endl;
	return p;
}

void Protein::getIthResidueHeavyAtomXYZ( int i, std::vector< double* >& xyz, std::vector< std::string >& names )
{
	if ( i < 0 || i >= static_cast< int >( residues.size() ) ) {
		std::cout << "Error! No residue " << i << " in the model!" << std::endl;
		return;
	}
	const Residue& r = residues[ i ];
	int const n = static_cast< int >( r.atomNames.size() );
	auto first = [ & ]( const char* name ) {
		for ( int k = 0; k < n; ++k ) {
			if ( r.atomNames[ k ] == name ) return k;
		}
		return -1;
	};
	auto append = [ & ]( int k, const std::string& name ) {
		double* p = new1DArr( 3 );
		p[ 0 ] = r.xyz[ k ][ 0 ];
		p[ 1 ] = r.xyz[ k ][ 1 ];
		p[ 2 ] = r.xyz[ k ][ 2 ];
		xyz.push_back( p );
		names.push_back( name );
	};
	if ( n >= 1 ) {
		for ( const char* bb : { "N", "CA", "C", "O" } ) {
			int const k = first( bb );
			if ( k >= 0 ) append( k, r.atomNames[ k ] );
		}
	}
	std::string const resName = r.atomLines.empty() ? "" : residue_name( r.atomLines[ 0 ] );
	if ( resName != "GLY" ) {
		int const k = first( "CB" );
		if ( k >= 0 ) append( k, r.atomNames[ k ] );
	} else {
		int const k = first( "CA" );
		if ( k >= 0 ) append( k, "CB" );
	}
	// Side-chain centroid, or the CA when the residue has no side chain.
	double s[ 3 ] = { 0.0, 0.0, 0.0 };
	int count = 0;
	for ( int k = 0; k < n; ++k ) {
		const std::string& nm = r.atomNames[ k ];
		if ( nm == "N" || nm == "CA" || nm == "C" || nm == "O" || nm == "CB" ) continue;
		s[ 0 ] += r.xyz[ k ][ 0 ];
		s[ 1 ] += r.xyz[ k ][ 1 ];
		s[ 2 ] += r.xyz[ k ][ 2 ];
		++count;
	}
	double* sg;
	if ( count > 0 ) {
		sg = new1DArr( 3 );
		sg[ 0 ] = s[ 0 ] / count;
		sg[ 1 ] = s[ 1 ] / count;
		sg[ 2 ] = s[ 2 ] / count;
	} else {
		sg = getIthResidueCAXYZ( i );
	}
	xyz.push_back( sg );
	names.push_back( "SG" );
}
