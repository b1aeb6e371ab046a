// Coordinates read back digit for digit from their fixed columns by every
// PDB reader.  Test coordinates such as 4.000 hide a field taken one column
// early or late (" 4.00" and "4.000 " read the same); these do not.
#include "core/Protein.hh"
#include "core/basic_fun_Quilt.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace {

// x, y, z = -12.345, 67.891, -0.123 in columns 31-38, 39-46, 47-54; the
// neighbouring columns hold digits too (serial, residue number, occupancy).
const char* const kLine = "ATOM     12  CA  MET A1234     -12.345  67.891  -0.123  1.00 20.00           C";

struct Tables {
	int** seen = new2DIntArr( 10000, 256 );
	char*** names = new char**[ 10000 ];
	Tables()
	{
		for ( int r = 0; r < 10000; ++r ) names[ r ] = new2DCharArr( 30, 8 );
	}
	~Tables()
	{
		release2DIntArr( 10000, seen );
		for ( int r = 0; r < 10000; ++r ) release2DCharArr( 30, names[ r ] );
		delete[] names;
	}
};

void expect_coordinates( const double* p )
{
	EXPECT_EQ( p[ 0 ], -12.345 );
	EXPECT_EQ( p[ 1 ], 67.891 );
	EXPECT_EQ( p[ 2 ], -0.123 );
}

} // namespace

TEST( PdbExactColumns, TheLineHasItsFieldsWhereThePdbFormatPutsThem )
{
	std::string const l = kLine;
	EXPECT_EQ( l.substr( 30, 8 ), " -12.345" );
	EXPECT_EQ( l.substr( 38, 8 ), "  67.891" );
	EXPECT_EQ( l.substr( 46, 8 ), "  -0.123" );
	EXPECT_EQ( l.substr( 22, 4 ), "1234" );
}

TEST( PdbExactColumns, CaLineReaderTakesEachCoordinateFromItsOwnColumns )
{
	double p[ 3 ] = { 0, 0, 0 };
	char code = 0;
	int resno = 0;
	get_xyz( kLine, &p[ 0 ], &p[ 1 ], &p[ 2 ], &code, &resno );
	expect_coordinates( p );
	EXPECT_EQ( code, 'M' );
	EXPECT_EQ( resno, 1234 );
}

TEST( PdbExactColumns, FullAtomAndLigandLineReadersAgree )
{
	double p[ 3 ] = { 0, 0, 0 };
	int serial = 0, resno = 0;
	char atom[ 8 ] = "", res[ 8 ] = "";
	get_xyz( kLine, &serial, atom, res, &resno, &p[ 0 ], &p[ 1 ], &p[ 2 ] );
	expect_coordinates( p );
	EXPECT_EQ( serial, 12 );
	EXPECT_STREQ( atom, "CA" );
	EXPECT_STREQ( res, "MET" );
	EXPECT_EQ( resno, 1234 );

	double q[ 3 ] = { 0, 0, 0 };
	std::string head;
	get_xyz( kLine, &q[ 0 ], &q[ 1 ], &q[ 2 ], head );
	expect_coordinates( q );
	EXPECT_EQ( head, std::string( kLine ).substr( 0, 30 ) );
}

TEST( PdbExactColumns, FileReadersAndTheModelReaderGiveTheExactCoordinates )
{
	quilt_test::ScratchDir dir( "exactcols" );
	std::string const path = dir.file( "m.pdb" );
	std::ofstream( path ) << kLine << "\n";

	Tables t;
	double** xyz = new2DArr( 2, 3 );
	char seq[ 4 ] = "";
	int resno[ 2 ] = { 0, 0 };
	ASSERT_EQ( read_PDB( path.c_str(), xyz, seq, resno, t.seen ), 1 );
	expect_coordinates( xyz[ 0 ] );
	EXPECT_EQ( resno[ 0 ], 1234 );

	std::vector< std::string > heads( 2 );
	ASSERT_EQ( read_ligand( path.c_str(), xyz, heads.data() ), 1 );
	expect_coordinates( xyz[ 0 ] );
	release2DArr( 2, xyz );

	Protein p( path, false );
	ASSERT_EQ( p.residues.size(), 1u );
	ASSERT_EQ( p.residues[ 0 ].xyz.size(), 1u );
	expect_coordinates( p.residues[ 0 ].xyz[ 0 ] );
	EXPECT_EQ( p.residues[ 0 ].resNum, 1234 );
	EXPECT_EQ( p.residues[ 0 ].atomNames[ 0 ], "CA" );
}
