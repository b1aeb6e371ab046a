#include "transforms/ModelWriters.hh"

#include "core/basic_fun_Quilt.hh"
#include "transforms/DomainSuperpose.hh"
#include "transforms/ModelOutput.hh"
#include "transforms/ResidueRows.hh"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <iostream>

namespace {

std::string out_path( std::string const& dir, std::string const& name ) { return dir + "/" + name; }

// Moved copies of residues [0, count) of src, atom rows from xyz by the
// running atom index starting at row 0.
std::vector< Residue > moved_residues( std::vector< Residue > const& src, double** xyz, int count )
{
	std::vector< Residue > out;
	out.reserve( count );
	int row = 0;
	for ( int i = 0; i < count; ++i ) {
		out.push_back( moved_residue( src[ i ], xyz, row ) );
		row += static_cast< int >( src[ i ].xyz.size() );
	}
	return out;
}

std::vector< Residue > moved_residues( std::vector< Residue > const& src, double** xyz )
{
	return moved_residues( src, xyz, static_cast< int >( src.size() ) );
}

// Identifier of domain d: "A".."Z", "a".."z", "0".."9", then "A" again.
std::string domain_chain_id( std::size_t d )
{
	static char const letters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
	return std::string( 1, letters[ d % ( sizeof letters - 1 ) ] );
}

void refuse( char const* who, std::string const& why )
{
	std::cout << "Error! " << who << ": " << why << "; no model is written." << std::endl;
}

// The merge of domains given as their own models and index lists.
void write_merged( std::string const& path, std::vector< Protein > const& domains, std::vector< double** > const& rows,
	std::vector< std::vector< int > > const& indices )
{
	char const* who = "SaveModel (domain merge)";
	if ( domains.size() < indices.size() || rows.size() < indices.size() ) {
		refuse( who, std::to_string( indices.size() ) + " index lists for " + std::to_string( domains.size() ) +
			" domain models and " + std::to_string( rows.size() ) + " row arrays" );
		return;
	}
	std::vector< std::vector< int > > off;
	for ( std::size_t d = 0; d < indices.size(); ++d ) {
		if ( indices[ d ].size() > domains[ d ].residues.size() ) {
			refuse( who, "domain " + std::to_string( d + 1 ) + " lists " + std::to_string( indices[ d ].size() ) +
				" residues, its model holds " + std::to_string( domains[ d ].residues.size() ) );
			return;
		}
		off.push_back( residue_atom_offsets( domains[ d ].residues ) );
	}
	std::vector< Residue > out;
	for ( auto const& pick : merged_order( indices ) ) {
		int const d = pick.first, p = pick.second;
		out.push_back( moved_residue( domains[ d ].residues[ p ], rows[ d ], off[ d ][ p ] ) );
	}
	Protein::save( out, path, "A" );
}

} // namespace

void SaveModel( std::vector< std::string > inPaths, std::string outPath, std::vector< std::vector< double* > > rows )
{
	ReplacingFile out( outPath );
	if ( !out.file() ) {
		std::cout << "Error! Cannot write the model file " << outPath << ": " << std::strerror( errno ) << std::endl;
		return;
	}
	bool ok = true;
	for ( std::size_t i = 0; i < inPaths.size(); ++i ) {
		std::ifstream in( inPaths[ i ].c_str(), std::ios::binary );
		if ( !in ) {
			std::cout << "Warning! Cannot read the model file " << inPaths[ i ] << "; it adds nothing to " << outPath
			          << std::endl;
			continue;
		}
		std::vector< double* > const none;
		std::vector< double* > const& r = i < rows.size() ? rows[ i ] : none;
		int unmoved = 0;
		ok = copy_moved_lines( in, out.file(), r.data(), static_cast< int >( r.size() ), unmoved ) && ok;
		if ( unmoved > 0 ) {
			std::cout << "Warning! " << unmoved << " atom lines of " << inPaths[ i ] << " have no moved coordinates"
			          << " and were copied unchanged into " << outPath << std::endl;
		}
	}
	if ( !out.commit( ok ) ) {
		int const why = errno;
		std::cout << "Error! Cannot write the model file " << outPath << ": " << std::strerror( why ) << std::endl;
	}
}

void SaveModel( Protein model, double** xyz, std::string dir, std::string name )
{
	Protein::save( moved_residues( model.residues, xyz ), out_path( dir, name ), "A" );
}

void SaveModel( std::string dir, std::string name, Protein model, double** xyz, std::string chain )
{
	Protein::save( moved_residues( model.residues, xyz ), out_path( dir, name ), chain );
}

void SaveModel( Protein model, double** xyz, std::string dir, std::vector< std::vector< int > > domains,
	std::string name )
{
	int const nres = static_cast< int >( model.residues.size() );
	if ( !residue_numbers_within( nres, domains, "SaveModel (chain per domain)" ) ) return;
	std::vector< std::string > ids( nres, domain_chain_id( domains.size() ) );
	for ( std::size_t d = 0; d < domains.size(); ++d )
		for ( int r : domains[ d ] ) ids[ r - 1 ] = domain_chain_id( d );
	Protein::save( moved_residues( model.residues, xyz ), ids, out_path( dir, name ) );
}

void SaveModel( Protein model, std::vector< std::vector< int > > domains, double** atoms, double** caBefore,
	double** caAfter, std::string dir, std::string name )
{
	int const nres = static_cast< int >( model.residues.size() );
	if ( !residue_numbers_within( nres, domains, "SaveModel (domain move)" ) ) return;
	if ( residue_atom_offsets( model.residues ).back() > model.atomCount ) {
		refuse( "SaveModel (domain move)", "the residues hold more atoms than the model counts" );
		return;
	}
	double** moved = Rotate_allatom_dom( model, domains, atoms, caBefore, caAfter );
	Protein::save( moved_residues( model.residues, moved ), out_path( dir, name ), "A" );
	release2DArr( model.atomCount, moved );
}

void SaveModel( Protein model, std::vector< std::vector< int > > domains, std::vector< double** > atoms,
	double** caBefore, double** caAfter, std::string dir, std::string name )
{
	if ( atoms.empty() ) {
		refuse( "SaveModel (domain move)", "no atom rows given" );
		return;
	}
	SaveModel( model, domains, atoms[ 0 ], caBefore, caAfter, dir, name );
}

void SaveModel( std::vector< Protein > chains, std::vector< std::string > chainIds, int* nCA, int* nAtoms,
	std::vector< double** > atoms, std::vector< double** > caBefore, std::vector< double** > caAfter,
	std::string dir, std::string name, std::string header )
{
	char const* who = "SaveModel (chain move)";
	std::size_t const C = chains.size();
	if ( C == 0 ) return;
	if ( atoms.size() < C || caBefore.size() < C || caAfter.size() < C ) {
		refuse( who, "fewer atom or CA arrays than the " + std::to_string( C ) + " chains" );
		return;
	}
	for ( std::size_t c = 0; c < C; ++c ) {
		std::vector< int > const off = residue_atom_offsets( chains[ c ].residues );
		if ( nCA[ c ] < 0 || nCA[ c ] > static_cast< int >( chains[ c ].residues.size() ) || off[ nCA[ c ] ] > nAtoms[ c ] ) {
			refuse( who, "chain " + std::to_string( c + 1 ) + " has " + std::to_string( chains[ c ].residues.size() ) +
				" residues and " + std::to_string( off.back() ) + " atoms; " + std::to_string( nCA[ c ] ) + " CA and " +
				std::to_string( nAtoms[ c ] ) + " atom rows given" );
			return;
		}
	}
	std::vector< std::vector< Residue > > out;
	for ( std::size_t c = 0; c < C; ++c ) {
		double** moved = rotate_allatom( atoms[ c ], caBefore[ c ], caAfter[ c ], nCA[ c ], nAtoms[ c ] );
		out.push_back( moved_residues( chains[ c ].residues, moved, nCA[ c ] ) );
		release2DArr( nAtoms[ c ], moved );
	}
	Protein::save( out, chainIds, out_path( dir, name ), header );
}

void SaveModel( std::vector< std::string > chainPaths, std::vector< std::string > chainIds, std::vector< int > nCA,
	std::vector< int > nAtoms, std::vector< double** > atoms, double** caBefore, double** caAfter, std::string dir,
	std::string name )
{
	char const* who = "SaveModel (chain files move)";
	std::size_t const C = chainPaths.size();
	std::cout << C << std::endl;
	if ( C == 0 ) return;
	if ( nCA.size() < C || nAtoms.size() < C || atoms.empty() ) {
		refuse( who, "no CA or atom count, or no atom rows, for some of the " + std::to_string( C ) + " chains" );
		return;
	}
	std::vector< Protein > chains;
	for ( std::size_t c = 0; c < C; ++c ) chains.emplace_back( chainPaths[ c ], false );
	for ( std::size_t c = 0; c < C; ++c ) {
		std::vector< int > const off = residue_atom_offsets( chains[ c ].residues );
		if ( nCA[ c ] < 0 || nAtoms[ c ] < 0 || nCA[ c ] > static_cast< int >( chains[ c ].residues.size() ) ||
		     off[ nCA[ c ] ] > nAtoms[ c ] ) {
			refuse( who, chainPaths[ c ] + " has " + std::to_string( chains[ c ].residues.size() ) + " residues and " +
				std::to_string( off.back() ) + " atoms; " + std::to_string( nCA[ c ] ) + " CA and " +
				std::to_string( nAtoms[ c ] ) + " atom rows given" );
			return;
		}
	}
	std::vector< std::vector< Residue > > out;
	int caFirst = 0, atomFirst = 0;
	for ( std::size_t c = 0; c < C; ++c ) {
		// The chain's rows are a block of the arrays of all chains.
		double** moved = rotate_allatom( atoms[ 0 ] + atomFirst, caBefore + caFirst, caAfter + caFirst, nCA[ c ], nAtoms[ c ] );
		out.push_back( moved_residues( chains[ c ].residues, moved, nCA[ c ] ) );
		release2DArr( nAtoms[ c ], moved );
		caFirst += nCA[ c ];
		atomFirst += nAtoms[ c ];
	}
	Protein::save( out, chainIds, out_path( dir, name ), "" );
}

void SaveModel( std::string dir, std::string name, std::vector< Protein > domains, std::vector< double** > rows,
	std::vector< std::vector< int > > indices )
{
	write_merged( out_path( dir, name ), domains, rows, indices );
}

void SaveModel( std::string dir, std::string name, Protein domainA, Protein domainB, double** rowsA, double** rowsB,
	std::vector< int > indicesA, std::vector< int > indicesB )
{
	write_merged( out_path( dir, name ), { domainA, domainB }, { rowsA, rowsB }, { indicesA, indicesB } );
}

void SaveModel( std::string dir, std::string name, Protein partA, Protein partB, double** rowsA, double** rowsB,
	bool insert, int cut )
{
	int const nA = static_cast< int >( partA.residues.size() );
	if ( insert && ( cut < -1 || cut > nA - 1 ) ) {
		refuse( "SaveModel (domain insertion)",
			"cut " + std::to_string( cut ) + " lies outside -1.." + std::to_string( nA - 1 ) );
		return;
	}
	if ( !insert ) cut = nA - 1;
	std::vector< Residue > const a = moved_residues( partA.residues, rowsA );
	std::vector< Residue > const b = moved_residues( partB.residues, rowsB );
	std::vector< Residue > out( a.begin(), a.begin() + ( cut + 1 ) );
	out.insert( out.end(), b.begin(), b.end() );
	out.insert( out.end(), a.begin() + ( cut + 1 ), a.end() );
	Protein::save( out, out_path( dir, name ), "A" );
}
