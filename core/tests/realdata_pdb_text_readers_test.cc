// The fixed-column CA readers on a deposited chain with chain breaks, against
// a plain count of its records.
#include "core/basic_fun_Quilt.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <fstream>

namespace {

// Residue numbers of the actin chain run up to 375.
int const kRows = 400;

struct Tables {
	int** seen = new2DIntArr( kRows, 256 );
	char*** names = nullptr;
	Tables()
	{
		names = new char**[ kRows ];
		for ( int r = 0; r < kRows; ++r ) names[ r ] = new2DCharArr( 30, 8 );
	}
	~Tables()
	{
		release2DIntArr( kRows, seen );
		for ( int r = 0; r < kRows; ++r ) release2DCharArr( 30, names[ r ] );
		delete[] names;
	}
};

} // namespace

// Catches the CA readers stopping at the first "TER": 3MFP is one chain (A)
// with "TER" records at its three breaks (after residues 132, 266 and 350),
// each followed by more of chain A.  The whole chain is read: every CA and
// every atom record of the file (stopping at the first "TER" keeps residues
// 4-132 only).
TEST( RealDataPdbTextReaders, ActinCATraceReadThroughItsChainBreaks )
{
	QUILT_REQUIRE_SHARED_DATA();
	std::string const path = quilt_test::shared_file( "single/3MFP.pdb" );
	int atoms = 0, cas = 0, ters = 0;
	{
		std::ifstream in( path );
		for ( std::string line; std::getline( in, line ); ) {
			if ( line.rfind( "TER", 0 ) == 0 ) ++ters;
			if ( line.rfind( "ATOM ", 0 ) != 0 ) continue;
			++atoms;
			if ( line.substr( 12, 4 ) == " CA " ) ++cas;
		}
	}
	ASSERT_EQ( ters, 3 );
	ASSERT_EQ( cas, 369 );

	double** xyz = new2DArr( atoms, 3 );
	char* seq = new char[ atoms + 1 ];
	int* resno = new int[ atoms ];
	{
		Tables t;
		int const n = read_PDB( path.c_str(), xyz, seq, resno, t.seen );
		EXPECT_EQ( n, cas );
		ASSERT_GT( n, 0 );
		EXPECT_EQ( resno[ 0 ], 4 );
		EXPECT_EQ( resno[ n - 1 ], 375 );
		// Across the first break: residue 132, then 134.
		for ( int i = 1; i < n; ++i ) {
			EXPECT_LT( resno[ i - 1 ], resno[ i ] ) << i;
			if ( resno[ i - 1 ] == 132 ) {
				EXPECT_EQ( resno[ i ], 134 );
			}
		}
		// The last CA of the file: ARG 375 at (3.900, 26.018, -36.654).
		EXPECT_EQ( seq[ n - 1 ], 'R' );
		EXPECT_DOUBLE_EQ( xyz[ n - 1 ][ 1 ], 26.018 );
	}
	{
		Tables t;
		double** ca = new2DArr( atoms, 3 );
		char* icode = new char[ atoms + 1 ];
		char* caIcode = new char[ atoms + 1 ];
		int* caResno = new int[ atoms ];
		int* serial = new int[ atoms ];
		char** atomNames = new2DCharArr( atoms, 8 );
		char** resNames = new2DCharArr( atoms, 8 );
		int count = 0;
		int const c = read_PDB_fullatom( path.c_str(), ca, seq, caResno, serial, atomNames, resNames, resno, xyz,
			t.seen, t.names, icode, caIcode, count );
		EXPECT_EQ( c, cas );
		EXPECT_EQ( count, atoms );
		EXPECT_EQ( serial[ count - 1 ], 2885 ); // the last atom record
		release2DArr( atoms, ca );
		delete[] icode;
		delete[] caIcode;
		delete[] caResno;
		delete[] serial;
		release2DCharArr( atoms, atomNames );
		release2DCharArr( atoms, resNames );
	}
	release2DArr( atoms, xyz );
	delete[] seq;
	delete[] resno;
}
