// Chain splitting, chain identifiers and nucleic-acid masking on crafted
// PDB text.
#include "apps/quilter/ChainSplitting.hh"
#include "apps/quilter/NucleicAcidMask.hh"
#include "pdb_text_lines.hh"
#include "testsupport/test_data.hh"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <vector>

namespace {

using quilter_test::atom;
using quilter_test::read_lines;
using quilter_test::write_lines;

} // namespace

TEST( ChainSplitting, ChainsOfOneFileGoToFilesNamedAfterTheirKeys )
{
	quilt_test::ScratchDir dir;
	write_lines( dir.file( "base.pdb" ),
		{ "HEADER    X", atom( 1, " CA ", "ALA", " A", 1 ), atom( 2, " CA ", "GLY", " A", 2 ), "TER",
			atom( 3, " CA ", "ALA", "AB", 1 ), "HETATM    4  O   HOH B   1", atom( 5, " CA ", "ALA", "  ", 1 ),
			"END" } );
	std::vector< std::string > paths, keys;
	Split_PDB_chains( dir.file( "base.pdb" ), true, paths, keys, "" );
	ASSERT_EQ( paths.size(), 3u );
	EXPECT_EQ( paths[ 0 ], dir.file( "base_A.pdb" ) );
	EXPECT_EQ( paths[ 1 ], dir.file( "base_AB.pdb" ) );
	EXPECT_EQ( paths[ 2 ], dir.file( "base_A_2.pdb" ) );  // blank key " A" again: a file of its own
	EXPECT_EQ( keys, ( std::vector< std::string >{ " A", "AB", " A" } ) );
	EXPECT_EQ( read_lines( paths[ 0 ] ).size(), 2u );
	// Lines are copied unchanged: the blank chain column stays blank.
	EXPECT_EQ( read_lines( paths[ 2 ] ), ( std::vector< std::string >{ atom( 5, " CA ", "ALA", "  ", 1 ) } ) );

	std::vector< std::string > firstOnly, k2;
	Split_PDB_chains( dir.file( "base.pdb" ), false, firstOnly, k2, dir.path() );
	EXPECT_EQ( firstOnly.size(), 1u );
}

TEST( ChainSplitting, RepeatedKeysKeepEveryChain )
{
	// Chains A, B, A: both runs of A survive in their own files.
	quilt_test::ScratchDir dir;
	write_lines( dir.file( "m.pdb" ), { atom( 1, " CA ", "ALA", " A", 1, 1.0 ), atom( 2, " CA ", "ALA", " B", 1, 2.0 ),
		                                  atom( 3, " CA ", "ALA", " A", 1, 3.0 ) } );
	std::vector< std::string > paths, keys;
	Split_PDB_chains( dir.file( "m.pdb" ), true, paths, keys, "" );
	ASSERT_EQ( paths.size(), 3u );
	EXPECT_NE( paths[ 0 ], paths[ 2 ] );
	EXPECT_EQ( read_lines( paths[ 0 ] )[ 0 ], atom( 1, " CA ", "ALA", " A", 1, 1.0 ) );
	EXPECT_EQ( read_lines( paths[ 2 ] )[ 0 ], atom( 3, " CA ", "ALA", " A", 1, 3.0 ) );
}

TEST( ChainSplitting, UnsafeKeysBecomeSafeDistinctFileNames )
{
	EXPECT_EQ( chainFileTag( " A" ), "A" );
	EXPECT_EQ( chainFileTag( "/;" ), "_2F_3B" );
	EXPECT_EQ( chainFileTag( " *" ), "_2A" );
	EXPECT_NE( chainFileTag( "_A" ), chainFileTag( " A" ) );
	quilt_test::ScratchDir dir;
	write_lines( dir.file( "m.pdb" ), { atom( 1, " CA ", "ALA", "/.", 1 ) } );
	std::vector< std::string > paths, keys;
	Split_PDB_chains( dir.file( "m.pdb" ), true, paths, keys, "" );
	ASSERT_EQ( paths.size(), 1u );
	EXPECT_EQ( paths[ 0 ], dir.file( "m__2F_2E.pdb" ) );
}

TEST( ChainSplitting, FileWithoutAtomsYieldsNothing )
{
	quilt_test::ScratchDir dir;
	write_lines( dir.file( "e.pdb" ), { "HEADER", "HETATM    1  O   HOH A   1", "END" } );
	std::vector< std::string > paths, keys;
	Split_PDB_chains( dir.file( "e.pdb" ), true, paths, keys, "" );
	Split_PDB_chains( dir.file( "missing.pdb" ), true, paths, keys, "" );
	EXPECT_TRUE( paths.empty() );
	EXPECT_TRUE( keys.empty() );
}

TEST( ChainIdentifiers, OverlapAndRenaming )
{
	EXPECT_TRUE( hasOverlapID( { "A", "B", "A" } ) );
	EXPECT_FALSE( hasOverlapID( { "A", "B" } ) );
	EXPECT_FALSE( hasOverlapID( {} ) );

	quilt_test::ScratchDir dir;
	write_lines( dir.file( "c.pdb" ), { "REMARK x", atom( 1, " CA ", "ALA", " A", 1 ), "HETATM    2  O   HOH A   1",
		                                  atom( 3, " CA ", "ALA", " A", 2 ), "TER", atom( 4, " CA ", "ALA", " B", 1 ) } );
	std::vector< std::string > ids;
	Get_All_ChainID( dir.file( "c.pdb" ), ids );
	EXPECT_EQ( ids, ( std::vector< std::string >{ "A" } ) );

	int k = 2;
	Reorder_Allchains_ID( dir.file( "c.pdb" ), k );
	std::vector< std::string > const lines = read_lines( dir.file( "c.pdb" ) );
	ASSERT_EQ( lines.size(), 2u );  // only the atom lines of the first chain
	EXPECT_EQ( lines[ 0 ][ 21 ], 'C' );
	EXPECT_EQ( lines[ 1 ][ 21 ], 'C' );
	EXPECT_EQ( k, 2 );

	// Beyond Z come lower-case letters and digits, then nothing.
	EXPECT_EQ( chainLetter( 0 ), "A" );
	EXPECT_EQ( chainLetter( 25 ), "Z" );
	EXPECT_EQ( chainLetter( 26 ), "a" );
	EXPECT_EQ( chainLetter( 52 ), "0" );
	EXPECT_EQ( chainLetter( 61 ), "9" );
	EXPECT_EQ( chainLetter( 62 ), "" );
	k = 30;
	Reorder_Allchains_ID( dir.file( "c.pdb" ), k );
	EXPECT_EQ( read_lines( dir.file( "c.pdb" ) )[ 0 ][ 21 ], 'e' );
	k = 62;
	testing::internal::CaptureStdout();
	Reorder_Allchains_ID( dir.file( "c.pdb" ), k );
	EXPECT_EQ( testing::internal::GetCapturedStdout(),
		"Error: You typed in wrong chains ID or too many chains. 61.\n" );
	EXPECT_EQ( read_lines( dir.file( "c.pdb" ) )[ 0 ][ 21 ], 'e' );  // unchanged
}

TEST( NucleicAcidMask, ResidueNames )
{
	for ( const char* n : { "A", "U", "C", "G", "DA", "DT", "DC", "DG" } ) EXPECT_TRUE( isRNAResidue( n ) );
	for ( const char* n : { "ALA", "ADE", "DU", " A", "a" } ) EXPECT_FALSE( isRNAResidue( n ) );
}

TEST( NucleicAcidMask, ProteinFilesAreLeftByteForByte )
{
	quilt_test::ScratchDir dir;
	std::vector< std::string > const prot = { "HEADER", atom( 1, " CA ", "ALA", " A", 1 ), "END" };
	write_lines( dir.file( "p.pdb" ), prot );
	std::vector< std::string > saved;
	Judge_Modify_NA_PDB( dir.file( "p.pdb" ), saved );
	EXPECT_TRUE( saved.empty() );
	EXPECT_EQ( read_lines( dir.file( "p.pdb" ) ), prot );
}

TEST( NucleicAcidMask, MaskingRenumbersFromOneAndRenamesC4 )
{
	quilt_test::ScratchDir dir;
	std::vector< std::string > const rna = { atom( 1, " P  ", "  G", " B", -4 ), atom( 2, " C4'", "  G", " B", -4 ),
		atom( 3, " N1 ", "  G", " B", -4 ), atom( 4, " C4'", "  U", " B", -3 ), "HETATM    5  MG  MG  B   1", "END" };
	write_lines( dir.file( "r.pdb" ), rna );
	std::vector< std::string > saved;
	testing::internal::CaptureStdout();
	Judge_Modify_NA_PDB( dir.file( "r.pdb" ), saved );
	EXPECT_EQ( testing::internal::GetCapturedStdout(), "This chain is an NA file:" + dir.file( "r.pdb" ) + "\n" );
	ASSERT_EQ( saved.size(), 4u );
	EXPECT_EQ( saved[ 1 ], rna[ 1 ] );
	std::vector< std::string > const masked = read_lines( dir.file( "r.pdb" ) );
	ASSERT_EQ( masked.size(), 4u );  // HETATM and END are gone
	EXPECT_EQ( masked[ 0 ].substr( 13, 3 ), "P  " );
	EXPECT_EQ( masked[ 1 ].substr( 13, 3 ), "CA " );
	EXPECT_EQ( masked[ 2 ].substr( 13, 3 ), "N1 " );
	for ( auto const& l : masked ) EXPECT_EQ( l.substr( 17, 3 ), "ALA" );
	EXPECT_EQ( masked[ 0 ].substr( 22, 4 ), "   1" );  // -4 shifted by 5
	EXPECT_EQ( masked[ 3 ].substr( 22, 4 ), "   2" );

	// Numbers from 1 stay; numbers of four digits are read whole.
	write_lines( dir.file( "s.pdb" ), { atom( 1, " C4'", " DA", " C", 1 ), atom( 2, " C4'", " DT", " C", 1000 ) } );
	saved.clear();
	testing::internal::CaptureStdout();
	Judge_Modify_NA_PDB( dir.file( "s.pdb" ), saved );
	testing::internal::GetCapturedStdout();
	std::vector< std::string > const s = read_lines( dir.file( "s.pdb" ) );
	EXPECT_EQ( s[ 0 ].substr( 22, 4 ), "   1" );
	EXPECT_EQ( s[ 1 ].substr( 22, 4 ), "1000" );

	std::vector< std::string > ids = { "B" };
	EXPECT_TRUE( judge_is_na_pdb( dir.file( "r.pdb" ), ids ) );
	EXPECT_FALSE( judge_is_na_pdb( dir.file( "s.pdb" ), ids ) );
	testing::internal::CaptureStdout();
	EXPECT_FALSE( judge_is_na_pdb( dir.file( "none.pdb" ), ids ) );
	testing::internal::GetCapturedStdout();
}

TEST( NucleicAcidMask, RestoreGivesBackNamesAndLeavesOtherChains )
{
	quilt_test::ScratchDir dir;
	std::vector< std::string > const rna = { atom( 1, " P  ", "  G", " B", 1 ), atom( 2, " C4'", "  G", " B", 1 ),
		atom( 3, " C4'", "  U", " B", 2 ) };
	write_lines( dir.file( "r.pdb" ), rna );
	std::vector< std::string > saved;
	testing::internal::CaptureStdout();
	Judge_Modify_NA_PDB( dir.file( "r.pdb" ), saved );
	testing::internal::GetCapturedStdout();
	std::vector< std::string > model = { atom( 1, " CA ", "LYS", " A", 1 ), "TER" };
	for ( auto const& l : read_lines( dir.file( "r.pdb" ) ) ) model.push_back( l );
	model.push_back( "TER" );
	write_lines( dir.file( "final.pdb" ), model );

	std::vector< std::vector< std::string > > copies = { saved };
	std::vector< std::string > ids = { "B" };
	Restore_NA_PDB( dir.file( "final.pdb" ), copies, ids );
	std::vector< std::string > const out = read_lines( dir.file( "final.pdb" ) );
	ASSERT_EQ( out.size(), 6u );
	EXPECT_EQ( out[ 0 ], model[ 0 ] );
	EXPECT_EQ( out[ 2 ], rna[ 0 ] );
	EXPECT_EQ( out[ 3 ], rna[ 1 ] );
	EXPECT_EQ( out[ 4 ], rna[ 2 ] );

	// A chain with one line fewer than saved stays masked, with a message.
	std::vector< std::string > shortModel = model;
	shortModel.erase( shortModel.begin() + 4 );
	write_lines( dir.file( "short.pdb" ), shortModel );
	testing::internal::CaptureStdout();
	Restore_NA_PDB( dir.file( "short.pdb" ), copies, ids );
	EXPECT_EQ( testing::internal::GetCapturedStdout(),
		"Error: Number of lines in target chain (2) does not match copyRnaChain size (3).\n" );
	EXPECT_EQ( read_lines( dir.file( "short.pdb" ) ), shortModel );

	// Empty lists leave the file; a missing file is reported.
	std::vector< std::vector< std::string > > none;
	std::vector< std::string > noIds;
	Restore_NA_PDB( dir.file( "final.pdb" ), none, noIds );
	EXPECT_EQ( read_lines( dir.file( "final.pdb" ) ), out );
	testing::internal::CaptureStdout();
	Restore_NA_PDB( dir.file( "absent.pdb" ), copies, ids );
	EXPECT_EQ( testing::internal::GetCapturedStdout(),
		"Error: Cannot open Original PDB file: " + dir.file( "absent.pdb" ) + "\n" );
}

TEST( NucleicAcidMask, ListHelpers )
{
	EXPECT_EQ( getChainType( { "A", "B", "A", "C", "B" } ), ( std::vector< std::string >{ "A", "B", "C" } ) );
	EXPECT_TRUE( getChainType( {} ).empty() );
	EXPECT_TRUE( isTargetChainIDs( { "A", "B" }, "B" ) );
	EXPECT_FALSE( isTargetChainIDs( { "A", "B" }, " B" ) );
}
