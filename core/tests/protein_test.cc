// Reading a hand-made PDB model and writing it back.  The model has two
// chains separated by "TER", an alternate location, a residue without CA
// (merged into the next one with a message), HETATM records and a blank
// chain identifier.
#include "core/Protein.hh"
#include "core/basic_fun_Quilt.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

std::string data_file( const std::string& name ) { return std::string( QUILT_SOURCE_DIR ) + "/core/tests/data/" + name; }

std::string read_text( const std::string& path )
{
	std::ifstream in( path );
	std::stringstream ss;
	ss << in.rdbuf();
	return ss.str();
}

void write_text( const std::string& path, const std::string& text )
{
	std::ofstream out( path );
	out << text;
}

std::vector< std::string > names_of( const Residue& r ) { return r.atomNames; }

} // namespace

TEST( ProteinRead, FirstChainStopsAtTerAndMergesResidueWithoutCA )
{
	testing::internal::CaptureStdout();
	Protein p( data_file( "two_chains.pdb" ), false );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_EQ( out, "Error! CA atom is missed in residue 3\n" );

	// 17 "ATOM" records before "TER" (HETATM not counted); one is discarded.
	EXPECT_EQ( p.atomCount, 17 );
	ASSERT_EQ( p.residues.size(), 3u );

	Residue const& met = p.residues[ 0 ];
	EXPECT_EQ( names_of( met ), ( std::vector< std::string >{ "N", "CA", "C", "O", "CB", "SD", "CE" } ) );
	EXPECT_EQ( met.caIdx, 1 );
	EXPECT_EQ( met.cbIdx, 4 );
	EXPECT_EQ( met.nIdx, 0 );
	EXPECT_EQ( met.cIdx, 2 );
	EXPECT_EQ( met.oIdx, 3 );
	EXPECT_EQ( met.sideChainIdx, ( std::vector< int >{ 5, 6 } ) );
	EXPECT_EQ( met.seqNum, 1 );
	EXPECT_EQ( met.resNum, 1 );
	EXPECT_EQ( met.chainId, " A" );
	EXPECT_DOUBLE_EQ( met.xyz[ 1 ][ 0 ], 11.639 );
	EXPECT_DOUBLE_EQ( met.xyz[ 1 ][ 2 ], -5.147 );

	// Both alternate CA atoms are kept; the position names the second one;
	// GLY has no CB so cbIdx falls back to the CA.
	Residue const& gly = p.residues[ 1 ];
	EXPECT_EQ( names_of( gly ), ( std::vector< std::string >{ "N", "CA", "CA", "C", "O" } ) );
	EXPECT_EQ( gly.caIdx, 2 );
	EXPECT_EQ( gly.cbIdx, 2 );
	EXPECT_TRUE( gly.sideChainIdx.empty() );
	EXPECT_EQ( gly.atomLines[ 1 ].substr( 16, 1 ), "A" );

	// ALA 3 has no CA: the first atom of SER 4 is dropped and the rest joins.
	Residue const& merged = p.residues[ 2 ];
	EXPECT_EQ( names_of( merged ), ( std::vector< std::string >{ "N", "CB", "CA", "OG" } ) );
	EXPECT_EQ( merged.caIdx, 2 );
	EXPECT_EQ( merged.cbIdx, 1 );
	EXPECT_EQ( merged.seqNum, 3 );
	EXPECT_EQ( merged.resNum, 4 );
	EXPECT_EQ( merged.sideChainIdx, ( std::vector< int >{ 3 } ) );
}

TEST( ProteinRead, AllChainsReadPastTerAndJoinEqualNumbers )
{
	testing::internal::CaptureStdout();
	Protein p( data_file( "two_chains.pdb" ), true );
	testing::internal::GetCapturedStdout();
	EXPECT_EQ( p.atomCount, 21 );
	ASSERT_EQ( p.residues.size(), 4u );
	// Chain B's residue 4 continues chain A's residue 4.
	Residue const& joined = p.residues[ 2 ];
	EXPECT_EQ( names_of( joined ), ( std::vector< std::string >{ "N", "CB", "CA", "OG", "N", "CA" } ) );
	EXPECT_EQ( joined.caIdx, 5 );
	EXPECT_EQ( joined.nIdx, 4 );
	EXPECT_EQ( joined.chainId, " A" );
	// Blank chain columns read as " A".
	Residue const& val = p.residues[ 3 ];
	EXPECT_EQ( val.chainId, " A" );
	EXPECT_EQ( val.seqNum, 4 );
	EXPECT_EQ( val.resNum, 6 );
}

TEST( ProteinRead, OneChainReadsThroughTerAtAChainBreak )
{
	// Deposited files put "TER" at chain breaks inside one chain.  Stopping
	// there fits a fragment and carries the rest along unfitted.  The chain
	// ends at a "TER" followed by another chain (HETATM records in between
	// do not count), at "END"/"ENDMDL", or at the end of the file.
	quilt_test::ScratchDir dir( "core_pdb" );
	auto atom = []( int serial, char const* name, int res, char chain, double x ) {
		char line[ 96 ];
		std::snprintf( line, sizeof line, "ATOM  %5d  %-3s ALA %c%4d    %8.3f%8.3f%8.3f  1.00  0.00           C\n",
			serial, name, chain, res, x, 0.0, 0.0 );
		return std::string( line );
	};
	std::string const a1 = atom( 1, "N", 1, 'A', 1.0 ) + atom( 2, "CA", 1, 'A', 2.0 );
	std::string const a2 = atom( 3, "N", 5, 'A', 5.0 ) + atom( 4, "CA", 5, 'A', 6.0 );
	std::string const a3 = atom( 5, "N", 9, 'A', 9.0 ) + atom( 6, "CA", 9, 'A', 10.0 );
	std::string const b1 = atom( 7, "N", 1, 'B', 20.0 ) + atom( 8, "CA", 1, 'B', 21.0 );
	std::string const het = "HETATM   99  O   HOH A 501       0.000   0.000   0.000  1.00  0.00           O\n";
	struct Case {
		char const* what;
		std::string text;
		size_t residues;
		double lastCaX;
	} const cases[] = {
		{ "two breaks, then another chain", a1 + "TER\n" + a2 + "TER       5      ALA A   5\n" + het + a3 + "TER\n" + b1 + "END\n", 3, 10.0 },
		{ "break at the end of the file", a1 + "TER\n" + a2 + "TER\n", 2, 6.0 },
		{ "END before more atoms", a1 + "TER\n" + a2 + "END\n" + a3, 2, 6.0 },
		{ "ENDMDL ends the first model", a1 + "ENDMDL\nMODEL        2\n" + a2, 1, 2.0 },
		{ "TER then ENDMDL", a1 + "TER\nENDMDL\nMODEL        2\n" + a2, 1, 2.0 },
		{ "TER then another chain", a1 + "TER\n" + b1, 1, 2.0 },
	};
	for ( Case const& c : cases ) {
		write_text( dir.file( "chain.pdb" ), c.text );
		Protein p( dir.file( "chain.pdb" ), false );
		ASSERT_EQ( p.residues.size(), c.residues ) << c.what;
		EXPECT_EQ( p.atomCount, int( 2 * c.residues ) ) << c.what;
		EXPECT_DOUBLE_EQ( p.residues.back().xyz[ p.residues.back().caIdx ][ 0 ], c.lastCaX ) << c.what;
		for ( Residue const& r : p.residues ) EXPECT_EQ( r.chainId, " A" ) << c.what;
	}
	// The multi-chain read is unchanged: everything.
	write_text( dir.file( "chain.pdb" ), cases[ 0 ].text );
	Protein all( dir.file( "chain.pdb" ), true );
	EXPECT_EQ( all.atomCount, 8 );
	// The rule itself: a "TER" at a chain break does not end the chain.
	std::vector< std::string > const lines = { "ATOM      1  CA  ALA A   1", "TER", "HETATM    2  O   HOH B   2",
		"ATOM      3  CA  ALA A   2", "TER", "END" };
	EXPECT_FALSE( pdb_ter_ends_chain( lines, 1, " A" ) );
	EXPECT_TRUE( pdb_ter_ends_chain( lines, 1, " B" ) );
	EXPECT_TRUE( pdb_ter_ends_chain( lines, 4, " A" ) );
	EXPECT_TRUE( pdb_is_end_record( "END" ) );
	EXPECT_TRUE( pdb_is_end_record( "ENDMDL" ) );
	EXPECT_FALSE( pdb_is_end_record( "ENDX" ) );
	EXPECT_EQ( pdb_chain_id( "ATOM      1  CA  ALA" ), " A" );
}

TEST( ProteinRead, AllAtomRowsInFileOrderWithZeroForDiscardedRecords )
{
	testing::internal::CaptureStdout();
	Protein p( data_file( "two_chains.pdb" ), false );
	testing::internal::GetCapturedStdout();
	double** xyz = p.getAllAtomXYZs();
	EXPECT_DOUBLE_EQ( xyz[ 0 ][ 0 ], 11.104 );
	EXPECT_DOUBLE_EQ( xyz[ 8 ][ 1 ], 5.100 );   // alternate A of the GLY CA
	EXPECT_DOUBLE_EQ( xyz[ 14 ][ 0 ], 4.300 );  // SER CA after the dropped N
	for ( int k = 0; k < 3; ++k ) EXPECT_EQ( xyz[ 16 ][ k ], 0.0 );
	release2DArr( p.atomCount, xyz );
}

TEST( ProteinRead, MissingFileAndHetatmOnlyFileGiveEmptyModel )
{
	Protein missing( "/nonexistent/dir/none.pdb", false );
	EXPECT_EQ( missing.atomCount, 0 );
	EXPECT_TRUE( missing.residues.empty() );

	quilt_test::ScratchDir dir( "core_pdb" );
	write_text( dir.file( "het.pdb" ),
		"HETATM    1  O   HOH A   1       1.000   1.000   1.000  1.00  0.00           O\n" );
	Protein het( dir.file( "het.pdb" ), false );
	EXPECT_EQ( het.atomCount, 0 );
	EXPECT_TRUE( het.residues.empty() );
	double** rows = het.getAllAtomXYZs();
	EXPECT_NE( rows, nullptr );
	release2DArr( 0, rows );
}

TEST( ProteinRead, ChainWithoutCAAtomsSaysSoOnceWithTheCount )
{
	// Five residues of N and C atoms only: four residue changes meet an
	// open residue without CA.  The first is named, the rest counted.
	quilt_test::ScratchDir dir( "core_pdb" );
	std::string text;
	for ( int r = 1; r <= 5; ++r ) {
		for ( const char* name : { " N  ", " C  " } ) {
			char line[ 96 ];
			std::snprintf( line, sizeof line, "ATOM  %5d %s ALA A%4d    %8.3f%8.3f%8.3f  1.00  0.00           %c\n",
				2 * r, name, r, 1.0 * r, 0.0, 0.0, name[ 1 ] );
			text += line;
		}
	}
	write_text( dir.file( "noca.pdb" ), text );
	testing::internal::CaptureStdout();
	Protein p( dir.file( "noca.pdb" ), false );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_EQ( out, "Error! CA atom is missed in residue 1\n"
	                "Error! CA atom is missed in 3 more residues (not listed one by one)\n" );
	EXPECT_EQ( p.atomCount, 10 );
}

TEST( ProteinRead, InsertionCodesMergeAndChainColumnKeepsBlank )
{
	quilt_test::ScratchDir dir( "core_pdb" );
	write_text( dir.file( "icode.pdb" ),
		"ATOM      1  N   ALA B  10       0.000   0.000   0.000  1.00  0.00           N\n"
		"ATOM      2  CA  ALA B  10       1.000   0.000   0.000  1.00  0.00           C\n"
		"ATOM      3  N   GLY B  10A      2.000   0.000   0.000  1.00  0.00           N\n"
		"ATOM      4  CA  GLY B  10A      3.000   0.000   0.000  1.00  0.00           C\n" );
	Protein p( dir.file( "icode.pdb" ), false );
	ASSERT_EQ( p.residues.size(), 1u );
	EXPECT_EQ( p.residues[ 0 ].xyz.size(), 4u );
	EXPECT_EQ( p.residues[ 0 ].chainId, " B" );
	EXPECT_EQ( p.residues[ 0 ].caIdx, 3 );
}

TEST( ProteinRead, ShortAndMalformedAtomLinesReadAsNoNumber )
{
	quilt_test::ScratchDir dir( "core_pdb" );
	write_text( dir.file( "short.pdb" ),
		"ATOM      1  N   ALA A   1       1.000   2.000   3.000\n"
		"ATOM      2  CA  ALA A   1       4.000   5.0\n"  // ends inside y
		"ATOM      3  CA  ALA A  xx       7.000   8.000   9.000\n"
		"ATOM\n"
		"ATOM      5  CA  ALA A   3     abc\n" );
	testing::internal::CaptureStdout();
	Protein p( dir.file( "short.pdb" ), false );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_EQ( p.atomCount, 5 );
	ASSERT_GE( p.residues.size(), 1u );
	Residue const& r0 = p.residues[ 0 ];
	ASSERT_EQ( r0.xyz.size(), 2u );
	EXPECT_DOUBLE_EQ( r0.xyz[ 1 ][ 0 ], 4.0 );
	EXPECT_DOUBLE_EQ( r0.xyz[ 1 ][ 1 ], 5.0 );
	EXPECT_DOUBLE_EQ( r0.xyz[ 1 ][ 2 ], 0.0 );
	// "xx" is no number: residue -999999 starts a new residue.
	ASSERT_GE( p.residues.size(), 2u );
	EXPECT_EQ( p.residues[ 1 ].resNum, -999999 );
	double** rows = p.getAllAtomXYZs();
	release2DArr( p.atomCount, rows );
}

TEST( ProteinAccess, CAAndReducedHeavyAtomModel )
{
	quilt_test::ScratchDir dir( "core_pdb" );
	write_text( dir.file( "gly.pdb" ),
		"ATOM      1  N   GLY A   1       0.000   0.000   0.000  1.00  0.00           N\n"
		"ATOM      2  CA  GLY A   1       1.000   0.000   0.000  1.00  0.00           C\n"
		"ATOM      3  C   GLY A   1       2.000   0.000   0.000  1.00  0.00           C\n"
		"ATOM      4  O   GLY A   1       3.000   0.000   0.000  1.00  0.00           O\n"
		"ATOM      5  CB  GLY A   1       9.000   9.000   9.000  1.00  0.00           C\n"
		"ATOM      6  N   SER A   2       0.000   1.000   0.000  1.00  0.00           N\n"
		"ATOM      7  CA  SER A   2       0.000   2.000   0.000  1.00  0.00           C\n"
		"ATOM      8  CB  SER A   2       0.000   3.000   0.000  1.00  0.00           C\n"
		"ATOM      9  OG  SER A   2       0.000   4.000   2.000  1.00  0.00           O\n"
		"ATOM     10  HG  SER A   2       0.000   6.000   4.000  1.00  0.00           H\n" );
	Protein p( dir.file( "gly.pdb" ), false );
	ASSERT_EQ( p.residues.size(), 2u );
	EXPECT_EQ( p.residues[ 0 ].cbIdx, p.residues[ 0 ].caIdx );

	std::vector< double* > xyz;
	std::vector< std::string > names;
	p.getIthResidueHeavyAtomXYZ( 0, xyz, names );
	// GLY: the stored CB is ignored; "CB" and "SG" sit on the CA.
	EXPECT_EQ( names, ( std::vector< std::string >{ "N", "CA", "C", "O", "CB", "SG" } ) );
	EXPECT_DOUBLE_EQ( xyz[ 4 ][ 0 ], 1.0 );
	EXPECT_DOUBLE_EQ( xyz[ 5 ][ 0 ], 1.0 );
	EXPECT_DOUBLE_EQ( xyz[ 5 ][ 1 ], 0.0 );
	p.getIthResidueHeavyAtomXYZ( 1, xyz, names );
	// SER: N, CA, CB and the mean of OG and HG; the second entry is the CA.
	ASSERT_EQ( names.size(), 10u );
	EXPECT_EQ( names[ 7 ], "CA" );
	EXPECT_EQ( names[ 8 ], "CB" );
	EXPECT_EQ( names[ 9 ], "SG" );
	EXPECT_DOUBLE_EQ( xyz[ 9 ][ 1 ], 5.0 );
	EXPECT_DOUBLE_EQ( xyz[ 9 ][ 2 ], 3.0 );
	releaseVecT1D< double >( xyz );

	double* ca = p.getIthResidueCAXYZ( 1 );
	EXPECT_DOUBLE_EQ( ca[ 1 ], 2.0 );
	delete[] ca;
}

TEST( ProteinAccess, MissingCAGivesOriginAndMessage )
{
	quilt_test::ScratchDir dir( "core_pdb" );
	// A last residue without CA is kept when the last line is long enough.
	write_text( dir.file( "noca.pdb" ),
		"ATOM      1  N   GLY A   1       0.000   0.000   0.000  1.00  0.00           N\n"
		"ATOM      2  CA  GLY A   1       1.000   0.000   0.000  1.00  0.00           C\n"
		"ATOM      3  N   ALA A   2       5.000   5.000   5.000  1.00  0.00           N\n" );
	Protein p( dir.file( "noca.pdb" ), false );
	ASSERT_EQ( p.residues.size(), 2u );
	testing::internal::CaptureStdout();
	double* ca = p.getIthResidueCAXYZ( 1 );
	EXPECT_EQ( testing::internal::GetCapturedStdout(), "Error! No CA atom in residue 1!\n" );
	EXPECT_EQ( ca[ 0 ], 0.0 );
	EXPECT_EQ( ca[ 1 ], 0.0 );
	EXPECT_EQ( ca[ 2 ], 0.0 );
	delete[] ca;
}

TEST( ProteinCopy, CopiesAreDeep )
{
	testing::internal::CaptureStdout();
	Protein p( data_file( "two_chains.pdb" ), false );
	testing::internal::GetCapturedStdout();
	Protein q = p;
	ASSERT_EQ( q.residues.size(), p.residues.size() );
	EXPECT_NE( q.residues[ 0 ].xyz[ 0 ], p.residues[ 0 ].xyz[ 0 ] );
	q.residues[ 0 ].xyz[ 0 ][ 0 ] = -1.0;
	EXPECT_DOUBLE_EQ( p.residues[ 0 ].xyz[ 0 ][ 0 ], 11.104 );
	Residue r = p.residues[ 1 ];
	r = p.residues[ 0 ];
	r = r;
	EXPECT_EQ( r.xyz.size(), 7u );
	std::vector< Protein > list{ p, q };
	release2VecT1D< Protein >( std::vector< std::vector< Protein > >{ list } );
	EXPECT_EQ( list.size(), 2u );
}

TEST( ProteinWrite, FirstChainMatchesGolden )
{
	testing::internal::CaptureStdout();
	Protein p( data_file( "two_chains.pdb" ), false );
	testing::internal::GetCapturedStdout();
	quilt_test::ScratchDir dir( "core_pdb" );
	Protein::save( p.residues, dir.file( "out.pdb" ), "A" );
	EXPECT_EQ( read_text( dir.file( "out.pdb" ) ), read_text( data_file( "two_chains_first.golden" ) ) );
}

TEST( ProteinWrite, ChainsOverloadRestartsSerialsAndMatchesGolden )
{
	testing::internal::CaptureStdout();
	Protein p( data_file( "two_chains.pdb" ), true );
	testing::internal::GetCapturedStdout();
	quilt_test::ScratchDir dir( "core_pdb" );
	std::vector< std::vector< Residue > > chains{ { p.residues[ 0 ], p.residues[ 1 ] },
		{ p.residues[ 2 ], p.residues[ 3 ] } };
	Protein::save( chains, { "A", "B" }, dir.file( "out.pdb" ), "REMARK hand-made" );
	EXPECT_EQ( read_text( dir.file( "out.pdb" ) ), read_text( data_file( "two_chains_all.golden" ) ) );

	// An empty chain gives only its "TER"; an empty header an empty line.
	Protein::save( std::vector< std::vector< Residue > >{ {} }, { "A" }, dir.file( "empty.pdb" ), "" );
	EXPECT_EQ( read_text( dir.file( "empty.pdb" ) ), "\nTER\n" );
}

TEST( ProteinWrite, PerResidueChainsPutTerAtChainChanges )
{
	testing::internal::CaptureStdout();
	Protein p( data_file( "two_chains.pdb" ), false );
	testing::internal::GetCapturedStdout();
	quilt_test::ScratchDir dir( "core_pdb" );
	Protein::save( p.residues, std::vector< std::string >{ "A", "A", "B" }, dir.file( "out.pdb" ) );
	std::ifstream in( dir.file( "out.pdb" ) );
	std::vector< std::string > lines;
	for ( std::string l; std::getline( in, l ); ) lines.push_back( l );
	ASSERT_EQ( lines.size(), 18u );
	EXPECT_EQ( lines[ 12 ], "TER" );  // after the 12 atoms of residues 1 and 2
	EXPECT_EQ( lines[ 13 ].substr( 0, 26 ), "ATOM     13  N   ALA B   3" );
	EXPECT_EQ( lines[ 17 ], "TER" );
	EXPECT_EQ( lines[ 11 ].substr( 20, 2 ), " A" );

	// Empty list: one "TER".
	Protein::save( std::vector< Residue >{}, dir.file( "empty.pdb" ), "A" );
	EXPECT_EQ( read_text( dir.file( "empty.pdb" ) ), "TER\n" );
}

TEST( ProteinWrite, LargeSerialFillsItsColumns )
{
	double xyz0[ 3 ] = { 1.0, 2.0, 3.0 };
	std::vector< double* > xyz;
	std::vector< std::string > names, lines;
	for ( int k = 0; k < 123456; ++k ) {
		xyz.push_back( xyz0 );
		names.push_back( "CA" );
		lines.push_back( "ATOM      1  CA  ALA A   1       1.000   2.000   3.000" );
	}
	Residue r( xyz, names, lines, 0, 0, 0, 0, 0, {}, 1, 1, "A" );
	quilt_test::ScratchDir dir( "core_pdb" );
	Protein::save( std::vector< Residue >{ r }, dir.file( "big.pdb" ), "A" );
	std::ifstream in( dir.file( "big.pdb" ) );
	std::string last, l;
	while ( std::getline( in, l ) ) {
		if ( l != "TER" ) last = l;
	}
	EXPECT_EQ( last.substr( 0, 11 ), "ATOM 123456" );
	EXPECT_EQ( last, "ATOM 123456  CA  ALA A   1       1.000   2.000   3.000  1.00  0.00" );
}

TEST( ProteinWrite, CATraceLines )
{
	double** xyz = new2DArr( 2, 3 );
	xyz[ 1 ][ 0 ] = 1.5;
	quilt_test::ScratchDir dir( "core_pdb" );
	xyz2CA( xyz, { "ALA", "GLY" }, dir.path(), "ca.pdb" );
	EXPECT_EQ( read_text( dir.file( "ca.pdb" ) ),
		"ATOM      1  CA  ALA     1       0.000   0.000   0.000\n"
		"ATOM      2  CA  GLY     2       1.500   0.000   0.000\n" );
	release2DArr( 2, xyz );
}
