// Which lines of a PDB text are atoms of the model: modified residues
// written as HETATM inside a chain, waters and ligands outside it, the first
// model of an ensemble, and lines that cannot be read as atom records.  Also
// the model reader built on the rule.
#include "core/Protein.hh"
#include "core/pdb_atom_records.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

// A full atom line: record ("ATOM  " or "HETATM"), atom name (4 columns),
// residue name, chain, residue number, x.
std::string rec( char const* record, int serial, char const* name, char const* res, char chain, int resno,
	double x = 1.0 )
{
	char buf[ 128 ];
	std::snprintf( buf, sizeof buf, "%-6s%5d %-4s %3s %c%4d    %8.3f%8.3f%8.3f  1.00 20.00           C", record, serial,
		name, res, chain, resno, x, 2.0, 3.0 );
	return buf;
}

std::string atom( int serial, char const* name, char const* res, char chain, int resno, double x = 1.0 )
{
	return rec( "ATOM", serial, name, res, chain, resno, x );
}

std::string het( int serial, char const* name, char const* res, char chain, int resno, double x = 1.0 )
{
	return rec( "HETATM", serial, name, res, chain, resno, x );
}

// A residue of three backbone atoms.
std::vector< std::string > residue( bool hetero, char const* res, char chain, int resno, int& serial )
{
	std::vector< std::string > out;
	for ( char const* name : { " N  ", " CA ", " C  " } )
		out.push_back( rec( hetero ? "HETATM" : "ATOM", serial++, name, res, chain, resno, resno ) );
	return out;
}

void append( std::vector< std::string >& to, std::vector< std::string > const& more )
{
	to.insert( to.end(), more.begin(), more.end() );
}

using Role = PdbLineRole;

std::vector< Role > roles_of( std::vector< std::string > const& lines ) { return pdb_line_roles( lines ).role; }

} // namespace

// Catches modified residues dropped from their chain: a run of MSE inside the
// chain, a chain that begins with one, one after a "TER" at a chain break and
// one at the end of the chain are all atoms of the chain.
TEST( PdbAtomRecords, ModifiedResiduesInsideAChainAreChainAtoms )
{
	int s = 1;
	std::vector< std::string > lines;
	append( lines, residue( true, "MSE", 'A', 1, s ) );   // chain begins with MSE
	append( lines, residue( false, "ALA", 'A', 2, s ) );
	append( lines, residue( true, "MSE", 'A', 3, s ) );   // a run of two inside
	append( lines, residue( true, "TYR", 'A', 4, s ) );
	append( lines, residue( false, "GLY", 'A', 5, s ) );
	lines.push_back( "TER" );                             // chain break: A goes on
	append( lines, residue( true, "MSE", 'A', 7, s ) );
	append( lines, residue( false, "ALA", 'A', 8, s ) );
	append( lines, residue( true, "MSE", 'A', 9, s ) );   // last residue of A
	lines.push_back( "TER" );
	lines.push_back( "END" );
	PdbLineRoles const r = pdb_line_roles( lines );
	for ( std::size_t i = 0; i < lines.size(); ++i ) {
		bool const atomLine = pdb_atom_or_hetatm( lines[ i ] );
		EXPECT_EQ( r.role[ i ], atomLine ? Role::ChainAtom : Role::Other ) << i << ": " << lines[ i ];
	}
	EXPECT_EQ( r.heteroLines, 0 );
	EXPECT_TRUE( r.unreadable.empty() );
	EXPECT_EQ( r.laterModels, 0 );
	EXPECT_EQ( r.end, lines.size() );
}

// Catches waters and ligands taken for residues, and hetero residues that
// open a chain of their own.
TEST( PdbAtomRecords, WatersLigandsAndIonsAreNoChainAtoms )
{
	int s = 1;
	std::vector< std::string > lines;
	append( lines, residue( false, "ALA", 'A', 1, s ) );
	lines.push_back( het( s++, " O  ", "HOH", 'A', 2 ) );     // water inside the chain's run: still water
	append( lines, residue( false, "ALA", 'A', 3, s ) );
	lines.push_back( het( s++, "ZN  ", " ZN", 'A', 4 ) );     // ion right after the chain, no TER: no CA
	lines.push_back( het( s++, "CA  ", " CA", 'A', 5 ) );     // calcium: "CA  " is no C-alpha
	lines.push_back( "TER" );
	append( lines, residue( true, "SAH", 'A', 301, s ) );    // ligand with a CA after the last TER
	lines.push_back( het( s++, " O  ", "WAT", 'A', 401 ) );
	lines.push_back( het( s++, " O  ", "DOD", 'B', 402 ) );
	lines.push_back( het( s++, " O  ", "H2O", 'B', 403 ) );
	append( lines, residue( true, "MSE", 'C', 1, s ) );      // hetero residue of a chain with no ATOM record
	lines.push_back( "END" );
	PdbLineRoles const r = pdb_line_roles( lines );
	std::vector< Role > want;
	for ( std::size_t i = 0; i < lines.size(); ++i ) {
		if ( lines[ i ].compare( 0, 4, "ATOM" ) == 0 ) want.push_back( Role::ChainAtom );
		else if ( lines[ i ].compare( 0, 6, "HETATM" ) == 0 ) want.push_back( Role::Hetero );
		else want.push_back( Role::Other );
	}
	EXPECT_EQ( r.role, want );
	EXPECT_EQ( r.heteroLines, 1 + 2 + 3 + 3 + 3 );

	EXPECT_TRUE( pdb_water_residue( het( 1, " O  ", "HOH", 'A', 1 ) ) );
	EXPECT_FALSE( pdb_water_residue( het( 1, " CA ", "MSE", 'A', 1 ) ) );
	EXPECT_FALSE( pdb_water_residue( "HETATM" ) );

	// A file of waters and ligands holds no chain atom.
	std::vector< std::string > only = { het( 1, " O  ", "HOH", 'A', 1 ) };
	append( only, residue( true, "MSE", 'A', 2, s ) );
	for ( Role x : roles_of( only ) ) EXPECT_EQ( x, Role::Hetero );
}

// Catches an ensemble read as one body: only the lines before the first
// ENDMDL count, and the later models are counted for the warning.
TEST( PdbAtomRecords, OnlyTheFirstModelIsRead )
{
	int s = 1;
	std::vector< std::string > lines = { "MODEL        1" };
	append( lines, residue( false, "ALA", 'A', 1, s ) );
	lines.push_back( "ENDMDL" );
	for ( int m = 2; m <= 3; ++m ) {
		lines.push_back( "MODEL        " + std::to_string( m ) );
		append( lines, residue( false, "ALA", 'A', 1, s ) );
		lines.push_back( het( s++, " O  ", "HOH", 'A', 2 ) );
		lines.push_back( "ENDMDL" );
	}
	lines.push_back( "END" );
	PdbLineRoles const r = pdb_line_roles( lines );
	EXPECT_EQ( r.end, 4u );
	EXPECT_EQ( r.laterModels, 2 );
	int first = 0, later = 0;
	for ( Role x : r.role ) {
		first += x == Role::ChainAtom;
		later += x == Role::LaterModel;
	}
	EXPECT_EQ( first, 3 );
	EXPECT_EQ( later, 8 );
	EXPECT_EQ( r.heteroLines, 0 );

	// One model between MODEL and ENDMDL: nothing later.
	std::vector< std::string > one = { "MODEL        1", atom( 1, " CA ", "ALA", 'A', 1 ), "ENDMDL", "END" };
	EXPECT_EQ( pdb_line_roles( one ).laterModels, 0 );
	// Atom records after an ENDMDL without MODEL records: one more model.
	std::vector< std::string > bare = { atom( 1, " CA ", "ALA", 'A', 1 ), "ENDMDL", atom( 2, " CA ", "ALA", 'A', 1 ) };
	EXPECT_EQ( pdb_line_roles( bare ).laterModels, 1 );
}

// Catches damaged lines read with shifted columns or dropped in silence.
TEST( PdbAtomRecords, LinesThatCannotBeReadAsAtomRecords )
{
	std::string const good = atom( 1, " CA ", "ALA", 'A', 1 );
	EXPECT_FALSE( pdb_unreadable_line( good ) );
	EXPECT_FALSE( pdb_unreadable_line( good + "\r" ) );
	EXPECT_FALSE( pdb_unreadable_line( het( 1, " CA ", "MSE", 'A', 1 ) ) );
	EXPECT_FALSE( pdb_unreadable_line( good + "  \xC3\x85 past column 80 a comment" ) );
	// A two-byte character in the atom name.
	std::string utf = good;
	utf.replace( 13, 1, "\xC3\x85" );
	EXPECT_TRUE( pdb_unreadable_line( utf ) );
	// NUL bytes before the record name, in the line, or alone.
	EXPECT_TRUE( pdb_unreadable_line( std::string( 100, '\0' ) + good ) );
	std::string nul = good;
	nul[ 70 ] = '\0';
	EXPECT_TRUE( pdb_unreadable_line( nul ) );
	EXPECT_TRUE( pdb_unreadable_line( std::string( 5, '\0' ) ) );
	EXPECT_TRUE( pdb_unreadable_line( std::string( "REMARK " ) + '\0' + " x" ) );
	// A tab, a short line, coordinates that are no finite numbers.
	std::string tab = good;
	tab[ 16 ] = '\t';
	EXPECT_TRUE( pdb_unreadable_line( tab ) );
	EXPECT_TRUE( pdb_unreadable_line( good.substr( 0, 53 ) ) );
	std::string nan = good;
	nan.replace( 38, 8, "     nan" );
	EXPECT_TRUE( pdb_unreadable_line( nan ) );
	std::string word = good;
	word.replace( 30, 8, "   x.000" );
	EXPECT_TRUE( pdb_unreadable_line( word ) );
	// Other records are never unreadable: a remark in UTF-8 is fine.
	EXPECT_FALSE( pdb_unreadable_line( "REMARK   2 \xC3\x85ngstr\xC3\xB6m" ) );
	EXPECT_FALSE( pdb_unreadable_line( "TER" ) );
	EXPECT_FALSE( pdb_unreadable_line( "" ) );

	// In a file: the damaged lines are neither atoms nor chain ends, and the
	// good lines around them keep their chain.
	std::vector< std::string > lines = { atom( 1, " N  ", "ALA", 'A', 1 ), utf, std::string( 3, '\0' ) + good,
		atom( 4, " C  ", "ALA", 'A', 1 ), nan };
	PdbLineRoles const r = pdb_line_roles( lines );
	EXPECT_EQ( r.role, ( std::vector< Role >{ Role::ChainAtom, Role::Unreadable, Role::Unreadable, Role::ChainAtom,
		                   Role::Unreadable } ) );
	EXPECT_EQ( r.unreadable, ( std::vector< std::size_t >{ 1, 2, 4 } ) );
	EXPECT_EQ( pdb_line_numbers( r.unreadable ), "2, 3, 5" );
	EXPECT_EQ( pdb_line_numbers( { 0, 1, 2, 3, 4, 5, 6 } ), "1, 2, 3, 4, 5, ..." );
	EXPECT_EQ( pdb_line_numbers( {} ), "" );
}

// Catches the model reader losing modified residues or taking waters as
// residues ("CA atom is missed" errors), and an ensemble read as one chain.
TEST( PdbAtomRecords, ModelReaderTakesModifiedResiduesAndTheFirstModel )
{
	quilt_test::ScratchDir dir( "atomrecords" );
	int s = 1;
	std::vector< std::string > lines = { "MODEL        1" };
	append( lines, residue( true, "MSE", 'A', 1, s ) );
	append( lines, residue( false, "ALA", 'A', 2, s ) );
	append( lines, residue( true, "MSE", 'A', 3, s ) );
	append( lines, residue( false, "GLY", 'A', 4, s ) );
	lines.push_back( "TER" );
	lines.push_back( het( s++, " O  ", "HOH", 'A', 5 ) );
	lines.push_back( "ENDMDL" );
	lines.push_back( "MODEL        2" );
	append( lines, residue( false, "ALA", 'A', 1, s ) );
	lines.push_back( "ENDMDL" );
	{
		std::ofstream f( dir.file( "m.pdb" ) );
		for ( auto const& l : lines ) f << l << "\n";
	}
	for ( bool multi : { false, true } ) {
		testing::internal::CaptureStdout();
		Protein p( dir.file( "m.pdb" ), multi );
		EXPECT_EQ( testing::internal::GetCapturedStdout(), "" ) << multi;
		ASSERT_EQ( p.residues.size(), 4u ) << multi;
		EXPECT_EQ( p.atomCount, 12 );
		EXPECT_EQ( p.residues[ 0 ].atomNames, ( std::vector< std::string >{ "N", "CA", "C" } ) );
		EXPECT_EQ( p.residues[ 0 ].caIdx, 1 );
		EXPECT_EQ( p.residues[ 2 ].resNum, 3 );
		EXPECT_EQ( p.residues[ 2 ].atomLines[ 0 ].substr( 0, 6 ), "HETATM" );
	}
	// The writer keeps the record name of a modified residue.
	Protein p( dir.file( "m.pdb" ), false );
	Protein::save( p.residues, dir.file( "out.pdb" ), "B" );
	std::ifstream in( dir.file( "out.pdb" ) );
	std::vector< std::string > out;
	for ( std::string l; std::getline( in, l ); ) out.push_back( l );
	ASSERT_EQ( out.size(), 13u );
	EXPECT_EQ( out[ 0 ].substr( 0, 26 ), "HETATM    1  N   MSE B   1" );
	EXPECT_EQ( out[ 3 ].substr( 0, 26 ), "ATOM      4  N   ALA B   2" );
	EXPECT_EQ( out[ 3 ].size(), out[ 0 ].size() );  // the same columns after the record name
}
