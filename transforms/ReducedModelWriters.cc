#include "transforms/ReducedModelWriters.hh"

#include "core/basic_fun_Quilt.hh"
#include "transforms/TextFormat.hh"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>

namespace {

enum Slot { kN = 0, kCA = 1, kC = 2, kO = 3, kCB = 4, kSG = 6 };

// Atom name field (columns 14-17) of each slot.
char const* slot_name( int slot )
{
	switch ( slot ) {
	case kN: return "N  ";
	case kCA: return "CA ";
	case kC: return "C  ";
	case kO: return "O  ";
	case kCB: return "CB ";
	default: return "SG ";
	}
}

// Writes the lines of one reduced model; the serial counts the lines.
class ReducedWriter {
public:
	explicit ReducedWriter( std::string const& path ) : path_( path ), file_( std::fopen( path.c_str(), "w" ) )
	{
		if ( !file_ )
			std::cout << "Error! Cannot write the model file " << path << ": " << std::strerror( errno ) << std::endl;
	}
	~ReducedWriter()
	{
		if ( file_ && std::fclose( file_ ) != 0 )
			std::cout << "Error! Cannot write the model file " << path_ << ": " << std::strerror( errno ) << std::endl;
	}
	ReducedWriter( ReducedWriter const& ) = delete;
	ReducedWriter& operator=( ReducedWriter const& ) = delete;

	bool ok() const { return file_ != nullptr; }

	// The serial is placed as text in a five-column field ("%5s" of "%d"),
	// so a serial above 99999 widens the line.
	void atom( int slot, std::string const& resName, int resNum, double const* p )
	{
		std::string const line = formatted( "ATOM  %5s  %s %3s  %4d    %8.3f%8.3f%8.3f\n", std::to_string( serial_++ ).c_str(),
			slot_name( slot ), resName.c_str(), resNum, p[ 0 ], p[ 1 ], p[ 2 ] );
		std::fwrite( line.data(), 1, line.size(), file_ );
	}

private:
	std::string path_;
	std::FILE* file_;
	int serial_ = 1;
};

bool names_cover( std::vector< std::string > const& resNames, int n, char const* who )
{
	if ( static_cast< int >( resNames.size() ) < n ) {
		std::cout << "Error! " << who << ": " << resNames.size() << " residue names for " << n
		          << " residues; no model is written." << std::endl;
		return false;
	}
	return true;
}

} // namespace

void outputBBmodel( std::string dir, std::string name, int n, std::vector< std::string > resNames, double*** atoms )
{
	if ( !names_cover( resNames, n, "outputBBmodel" ) ) return;
	ReducedWriter out( dir + "/" + name );
	if ( !out.ok() ) return;
	for ( int i = 0; i < n; ++i )
		for ( int slot : { kN, kCA, kC } ) out.atom( slot, resNames[ i ], i + 1, atoms[ i ][ slot ] );
}

void outputCentroidModel( std::string dir, std::string name, int n, std::vector< std::string > resNames,
	double*** atoms )
{
	if ( !names_cover( resNames, n, "outputCentroidModel" ) ) return;
	ReducedWriter out( dir + "/" + name );
	if ( !out.ok() ) return;
	for ( int i = 0; i < n; ++i ) {
		std::string const& res = resNames[ i ];
		for ( int slot : { kN, kCA, kC, kO } ) out.atom( slot, res, i + 1, atoms[ i ][ slot ] );
		if ( res == "GLY" ) continue;
		out.atom( kCB, res, i + 1, atoms[ i ][ kCB ] );
		if ( res != "ALA" ) out.atom( kSG, res, i + 1, atoms[ i ][ kSG ] );
	}
}

namespace {

// The slot an atom name is written from in the name-driven writer, or -1
// when the residue gets no line for it.
int centroid_slot( std::string const& atom, std::string const& res )
{
	if ( atom == "N" ) return kN;
	if ( atom == "CA" ) return kCA;
	if ( atom == "C" ) return kC;
	if ( atom == "O" ) return kO;
	if ( atom == "CB" ) return res == "GLY" ? -1 : kCB;
	return ( res == "GLY" || res == "ALA" ) ? -1 : kSG;
}

} // namespace

void outputCentroidModel( std::string dir, std::string name, std::vector< std::string > resNames,
	std::vector< std::vector< double* > > atoms, std::vector< std::vector< std::string > > atomNames )
{
	char const* who = "outputCentroidModel";
	std::size_t const n = resNames.size();
	if ( atoms.size() < n || atomNames.size() < n ) {
		std::cout << "Error! " << who << ": atom tables for " << atoms.size() << " and atom names for "
		          << atomNames.size() << " of " << n << " residues; no model is written." << std::endl;
		return;
	}
	for ( std::size_t i = 0; i < n; ++i ) {
		for ( std::string const& a : atomNames[ i ] ) {
			int const slot = centroid_slot( a, resNames[ i ] );
			if ( slot >= 0 && ( slot >= static_cast< int >( atoms[ i ].size() ) || !atoms[ i ][ slot ] ) ) {
				std::cout << "Error! " << who << ": residue " << i + 1 << " has no coordinates for atom " << a
				          << "; no model is written." << std::endl;
				return;
			}
		}
	}
	ReducedWriter out( dir + "/" + name );
	if ( !out.ok() ) return;
	for ( std::size_t i = 0; i < n; ++i ) {
		for ( std::string const& a : atomNames[ i ] ) {
			int const slot = centroid_slot( a, resNames[ i ] );
			if ( slot >= 0 ) out.atom( slot, resNames[ i ], static_cast< int >( i ) + 1, atoms[ i ][ slot ] );
		}
	}
}

void xyz2CA( std::vector< double* > points, std::vector< std::string > resNames, std::string dir, std::string file )
{
	int const n = static_cast< int >( points.size() );
	if ( resNames.size() > points.size() ) {
		std::cout << "Error! xyz2CA: " << n << " points for " << resNames.size() << " residues; no model is written."
		          << std::endl;
		return;
	}
	double** rows = new2DArr( n, 3 );
	for ( int i = 0; i < n; ++i )
		for ( int c = 0; c < 3; ++c ) rows[ i ][ c ] = points[ i ][ c ];
	xyz2CA( rows, resNames, dir, file );
	release2DArr( n, rows );
}
