// Fixed-column PDB readers and the residue-code tables.
#include "core/basic_fun_Quilt.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>

namespace {

// Residue numbers up to 20, insertion codes as byte values.
struct SeenTables {
	int** seen = new2DIntArr( 21, 256 );
	char*** names = nullptr;
	SeenTables()
	{
		names = new char**[ 21 ];
		for ( int r = 0; r < 21; ++r ) names[ r ] = new2DCharArr( 30, 8 );
	}
	~SeenTables()
	{
		release2DIntArr( 21, seen );
		for ( int r = 0; r < 21; ++r ) release2DCharArr( 30, names[ r ] );
		delete[] names;
	}
};

const char* const kModel =
	"TER\n"
	"ATOM      1  N   GLY A  10       0.000   0.000   0.000  1.00  0.00           N\n"
	"ATOM      2  CA  GLY A  10       1.000   2.000   3.000  1.00  0.00           C\n"
	"ATOM      3  CA  GLY A  10       9.000   9.000   9.000  1.00  0.00           C\n"
	"ATOM      4  CA AALA A  11       4.000   5.000   6.000  0.50  0.00           C\n"
	"ATOM      5  CA BALA A  11       4.500   5.500   6.500  0.50  0.00           C\n"
	"HETATM    6  O   HOH A  12       7.000   7.000   7.000  1.00  0.00           O\n"
	"TER\n"
	"ATOM      7  CA  CYX B   1       1.000   1.000   1.000  1.00  0.00           C\n"
	"END\n";

} // namespace

TEST( PdbTextReaders, CATraceStopsAtTheFirstChain )
{
	quilt_test::ScratchDir dir( "core_text" );
	{
		std::ofstream( dir.file( "m.pdb" ) ) << kModel;
	}
	std::string const path = dir.file( "m.pdb" );
	EXPECT_EQ( get_PDB_len( path.c_str() ), 6 );  // every "ATOM " line, both chains
	EXPECT_EQ( get_ligand_len( path.c_str() ), 7 );

	SeenTables t;
	double** xyz = new2DArr( 10, 3 );
	char seq[ 11 ];
	int resno[ 10 ];
	int const n = read_PDB( path.c_str(), xyz, seq, resno, t.seen );
	// The first CA of residue 10 only; residue 11's two alternates share a
	// number and code, so one is taken; chain B is not read.
	ASSERT_EQ( n, 2 );
	EXPECT_STREQ( seq, "GA" );
	EXPECT_EQ( resno[ 0 ], 10 );
	EXPECT_EQ( xyz[ 0 ][ 2 ], 3.0 );
	EXPECT_EQ( xyz[ 1 ][ 0 ], 4.0 );
	release2DArr( 10, xyz );
}

TEST( PdbTextReaders, FullAtomSkipsAlternatesOfTakenAtoms )
{
	quilt_test::ScratchDir dir( "core_text" );
	{
		std::ofstream( dir.file( "m.pdb" ) ) << kModel;
	}
	SeenTables t;
	double** ca = new2DArr( 10, 3 );
	double** xyz = new2DArr( 10, 3 );
	char seq[ 11 ], icode[ 11 ], ca_icode[ 11 ];
	int ca_resno[ 10 ], serial[ 10 ], resno[ 10 ];
	char** atom_names = new2DCharArr( 10, 8 );
	char** res_names = new2DCharArr( 10, 8 );
	int count = 0;
	int const c = read_PDB_fullatom( dir.file( "m.pdb" ).c_str(), ca, seq, ca_resno, serial, atom_names,
		res_names, resno, xyz, t.seen, t.names, icode, ca_icode, count );
	// Atoms 1-4 are taken; atom 5 is an alternate of the CA of residue 11.
	EXPECT_EQ( count, 4 );
	EXPECT_EQ( c, 3 );
	EXPECT_STREQ( seq, "GGA" );
	EXPECT_EQ( serial[ 3 ], 4 );
	EXPECT_STREQ( atom_names[ 0 ], "N" );
	EXPECT_STREQ( res_names[ 3 ], "ALA" );
	EXPECT_EQ( xyz[ 3 ][ 1 ], 5.0 );
	EXPECT_EQ( std::strlen( icode ), 4u );
	release2DArr( 10, ca );
	release2DArr( 10, xyz );
	release2DCharArr( 10, atom_names );
	release2DCharArr( 10, res_names );
}

TEST( PdbTextReaders, LigandLinesAndHeads )
{
	quilt_test::ScratchDir dir( "core_text" );
	{
		std::ofstream( dir.file( "m.pdb" ) ) << kModel;
	}
	double** xyz = new2DArr( 10, 3 );
	std::string heads[ 10 ];
	int const n = read_ligand( dir.file( "m.pdb" ).c_str(), xyz, heads );
	EXPECT_EQ( n, 7 );
	EXPECT_EQ( heads[ 5 ], "HETATM    6  O   HOH A  12    " );
	EXPECT_EQ( xyz[ 5 ][ 0 ], 7.0 );
	release2DArr( 10, xyz );
}

TEST( PdbTextReaders, CodesAndTrim )
{
	EXPECT_EQ( AAmap( "CYX" ), 'C' );
	EXPECT_EQ( AAmap( "BCK" ), 'X' );
	EXPECT_EQ( AAmap( "MSE" ), 'Z' );
	EXPECT_EQ( AAmap( "gly" ), 'Z' );
	char out[ 4 ];
	AAmap3( 'B', out );
	EXPECT_STREQ( out, "UNK" );
	AAmap3( 'W', out );
	EXPECT_STREQ( out, "TRP" );
	AAmap3( 'X', out );
	EXPECT_STREQ( out, "BCK" );
	EXPECT_EQ( Trim( "   " ), "   " );
	EXPECT_EQ( Trim( " CA " ), "CA" );
	// A short line leaves the fields it lacks unchanged.
	double x = -1, y = -1, z = -1;
	char code = '?';
	int r = -5;
	get_xyz( std::string( "ATOM      1  CA  ALA A   7       1.500" ), &x, &y, &z, &code, &r );
	EXPECT_EQ( x, 1.5 );
	EXPECT_EQ( y, -1.0 );
	EXPECT_EQ( z, -1.0 );
	EXPECT_EQ( code, 'A' );
	EXPECT_EQ( r, 7 );
}

TEST( PdbTextReaders, MissingFileEndsTheProgram )
{
	EXPECT_EXIT( get_PDB_len( "/no/such/model.pdb" ), testing::ExitedWithCode( 1 ), "" );
}

namespace {

// Chain A in two pieces with a "TER" at the break (as deposited files mark
// breaks), then chain B, then a second model of chain A.
const char* const kBrokenChain =
	"ATOM      1  N   GLY A   1       0.000   0.000   0.000  1.00  0.00           N\n"
	"ATOM      2  CA  GLY A   1       1.000   0.000   0.000  1.00  0.00           C\n"
	"ATOM      3  CA  ALA A   2       4.800   0.000   0.000  1.00  0.00           C\n"
	"TER       4      ALA A   2\n"
	"HETATM    5  O   HOH A 101       7.000   7.000   7.000  1.00  0.00           O\n"
	"ATOM      6  CA  SER A   6      20.000   0.000   0.000  1.00  0.00           C\n"
	"ATOM      7  O   SER A   6      21.000   1.000   0.000  1.00  0.00           O\n"
	"TER       8      SER A   6\n"
	"ATOM      9  CA  CYS A   9      30.000   0.000   0.000  1.00  0.00           C\n"
	"TER      10      CYS A   9\n"
	"ATOM     11  CA  VAL B   1      50.000   0.000   0.000  1.00  0.00           C\n"
	"TER      12      VAL B   1\n"
	"END\n";

// Residue numbers of the CA atoms read_PDB takes from text.
std::vector< int > ca_residues( quilt_test::ScratchDir& dir, std::string const& text, std::string* seqOut = nullptr )
{
	{
		std::ofstream( dir.file( "c.pdb" ) ) << text;
	}
	SeenTables t;
	double** xyz = new2DArr( 20, 3 );
	char seq[ 21 ];
	int resno[ 20 ];
	int const n = read_PDB( dir.file( "c.pdb" ).c_str(), xyz, seq, resno, t.seen );
	release2DArr( 20, xyz );
	if ( seqOut ) *seqOut = seq;
	return std::vector< int >( resno, resno + n );
}

} // namespace

// Catches the CA reader stopping at the first "TER" although the same chain
// goes on after it (a chain aligned on its first piece only), and reading on
// into the next chain: the whole of chain A, through both breaks, and no
// residue of chain B.
TEST( PdbTextReaders, CATraceReadsThroughChainBreaks )
{
	quilt_test::ScratchDir dir( "core_text" );
	std::string seq;
	EXPECT_EQ( ca_residues( dir, kBrokenChain, &seq ), ( std::vector< int >{ 1, 2, 6, 9 } ) );
	EXPECT_EQ( seq, "GASC" );
	// Blank chain identifiers are one chain too.
	std::string blank = kBrokenChain;
	for ( std::size_t p = 0; ( p = blank.find( " A ", p ) ) != std::string::npos; ) blank[ p + 1 ] = ' ';
	EXPECT_EQ( ca_residues( dir, blank ), ( std::vector< int >{ 1, 2, 6, 9 } ) );
}

// Catches a second model or a record after "END" being read as more of the
// chain: "ENDMDL" and "END" end the reading, "TER" or not.
TEST( PdbTextReaders, CATraceEndsAtEndRecords )
{
	quilt_test::ScratchDir dir( "core_text" );
	std::string const a1 = "ATOM      2  CA  GLY A   1       1.000   0.000   0.000  1.00  0.00           C\n";
	std::string const a2 = "ATOM      3  CA  ALA A   2       4.800   0.000   0.000  1.00  0.00           C\n";
	std::string const a3 = "ATOM      4  CA  SER A   3       8.600   0.000   0.000  1.00  0.00           C\n";
	EXPECT_EQ( ca_residues( dir, "MODEL        1\n" + a1 + a2 + "ENDMDL\nMODEL        2\n" + a1 + a2 + a3 + "ENDMDL\n" ),
		( std::vector< int >{ 1, 2 } ) );
	EXPECT_EQ( ca_residues( dir, a1 + "END\n" + a3 ), ( std::vector< int >{ 1 } ) );
	// A "TER" after which nothing of the chain follows ends it; so does the
	// end of the file.
	EXPECT_EQ( ca_residues( dir, a1 + a2 + "TER\nEND\n" + a3 ), ( std::vector< int >{ 1, 2 } ) );
	EXPECT_EQ( ca_residues( dir, a1 + "TER\n" + a2 ), ( std::vector< int >{ 1, 2 } ) );
	EXPECT_EQ( ca_residues( dir, a1 + a2 ), ( std::vector< int >{ 1, 2 } ) );
	// Before the first CA nothing ends the reading.
	EXPECT_EQ( ca_residues( dir, "TER\n" + a1 ), ( std::vector< int >{ 1 } ) );
}

// Catches the full-atom reader stopping at a chain break, or reading past
// the chain: every atom of chain A (its water excepted: not an "ATOM"
// record) in both pieces, none of chain B.
TEST( PdbTextReaders, FullAtomReadsThroughChainBreaks )
{
	quilt_test::ScratchDir dir( "core_text" );
	{
		std::ofstream( dir.file( "c.pdb" ) ) << kBrokenChain;
	}
	SeenTables t;
	double** ca = new2DArr( 20, 3 );
	double** xyz = new2DArr( 20, 3 );
	char seq[ 21 ], icode[ 21 ], ca_icode[ 21 ];
	int ca_resno[ 20 ], serial[ 20 ], resno[ 20 ];
	char** atom_names = new2DCharArr( 20, 8 );
	char** res_names = new2DCharArr( 20, 8 );
	int count = 0;
	int const c = read_PDB_fullatom( dir.file( "c.pdb" ).c_str(), ca, seq, ca_resno, serial, atom_names, res_names,
		resno, xyz, t.seen, t.names, icode, ca_icode, count );
	EXPECT_EQ( c, 4 );
	EXPECT_STREQ( seq, "GASC" );
	ASSERT_EQ( count, 6 );
	int const serials[] = { 1, 2, 3, 6, 7, 9 };
	for ( int k = 0; k < 6; ++k ) EXPECT_EQ( serial[ k ], serials[ k ] ) << k;
	EXPECT_STREQ( atom_names[ 4 ], "O" );
	EXPECT_EQ( ca[ 3 ][ 0 ], 30.0 );
	release2DArr( 20, ca );
	release2DArr( 20, xyz );
	release2DCharArr( 20, atom_names );
	release2DCharArr( 20, res_names );
}
