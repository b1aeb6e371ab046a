// Helpers on single chain files that the assembly run does not start but a
// caller can: the restore of one masked nucleic-acid chain file from its
// saved lines, and the domain index list with its domain definition.
#include "apps/quilter/DomainParsing.hh"
#include "apps/quilter/NucleicAcidMask.hh"
#include "pdb_text_lines.hh"
#include "testsupport/test_data.hh"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

using quilter_test::atom;
using quilter_test::read_lines;
using quilter_test::write_lines;

std::string text_of( const std::string& path )
{
	std::ifstream in( path );
	return std::string( std::istreambuf_iterator< char >( in ), std::istreambuf_iterator< char >() );
}

// An RNA chain B of three residues (G, C, U), numbered from 1.
std::vector< std::string > rna_b()
{
	return { atom( 1, " P  ", "  G", " B", 1, 1.0 ), atom( 2, " C4'", "  G", " B", 1, 2.0 ),
		atom( 3, " N1 ", "  G", " B", 1, 3.0 ), atom( 4, " C4'", "  C", " B", 2, 4.0 ),
		atom( 5, " O5'", "  C", " B", 2, 5.0 ), atom( 6, " C4'", "  U", " B", 3, 6.0 ) };
}

// Masks the chain file as the assembly does and returns its saved lines.
std::vector< std::string > mask( const std::string& path )
{
	std::vector< std::string > saved;
	testing::internal::CaptureStdout();
	Judge_Modify_NA_PDB( path, saved );
	testing::internal::GetCapturedStdout();
	return saved;
}

} // namespace

TEST( RestorePerChain, MaskedChainFileGetsItsNamesBackFromItsOwnLines )
{
	quilt_test::ScratchDir dir;
	std::string const f = dir.file( "b.pdb" );
	std::vector< std::string > const rna = rna_b();
	write_lines( f, rna );
	std::vector< std::string > const saved = mask( f );
	ASSERT_EQ( saved, rna );
	std::vector< std::string > const masked = read_lines( f );
	ASSERT_NE( masked, rna );

	// Chain A's saved lines (another chain, other names) come first; only
	// B's may be used.
	std::vector< std::string > const otherA = { atom( 1, " C4'", "  A", " A", 1 ), atom( 2, " C4'", "  A", " A", 2 ),
		atom( 3, " C4'", "  A", " A", 3 ), atom( 4, " C4'", "  A", " A", 4 ), atom( 5, " C4'", "  A", " A", 5 ),
		atom( 6, " C4'", "  A", " A", 6 ) };
	std::vector< std::string > ids = { "A", "B" };
	std::vector< std::vector< std::string > > copies = { otherA, saved };
	Restore_Per_Chain_Pdb( f, ids, copies );
	// Numbered from 1, the restored file is the original line for line:
	// residue names back, "CA" back to "C4'", every other atom name kept.
	EXPECT_EQ( read_lines( f ), rna );

	// A later equal identifier replaces an earlier one.
	write_lines( f, masked );
	ids = { "B", "B" };
	copies = { otherA, saved };
	Restore_Per_Chain_Pdb( f, ids, copies );
	EXPECT_EQ( read_lines( f ), rna );
}

TEST( RestorePerChain, LinesBeforeTheChainKeptAndEverythingAfterItDropped )
{
	quilt_test::ScratchDir dir;
	std::string const f = dir.file( "b.pdb" );
	std::vector< std::string > const rna = rna_b();
	write_lines( f, rna );
	std::vector< std::string > const saved = mask( f );
	std::vector< std::string > masked = read_lines( f );

	// A remark and a short line before the atoms, a "TER" and more lines
	// after them.
	std::vector< std::string > withExtras = { "REMARK   1 MASKED", "" };
	withExtras.insert( withExtras.end(), masked.begin(), masked.end() );
	withExtras.push_back( "TER" );
	withExtras.push_back( atom( 7, " CA ", "ALA", " B", 9 ) );
	write_lines( f, withExtras );
	std::vector< std::string > ids = { "B" };
	std::vector< std::vector< std::string > > copies = { saved };
	Restore_Per_Chain_Pdb( f, ids, copies );
	std::vector< std::string > want = { "REMARK   1 MASKED" };
	want.insert( want.end(), rna.begin(), rna.end() );
	EXPECT_EQ( read_lines( f ), want );

	// Fewer saved lines than atoms: the file ends after the last one used.
	write_lines( f, masked );
	copies = { std::vector< std::string >( saved.begin(), saved.begin() + 4 ) };
	Restore_Per_Chain_Pdb( f, ids, copies );
	EXPECT_EQ( read_lines( f ), std::vector< std::string >( rna.begin(), rna.begin() + 4 ) );
}

TEST( RestorePerChain, OtherChainsAndBadListsLeaveTheFileAlone )
{
	quilt_test::ScratchDir dir;
	std::string const f = dir.file( "b.pdb" );
	write_lines( f, rna_b() );
	std::vector< std::string > const saved = mask( f );
	std::string const before = text_of( f );

	// Chain B is not listed (identifiers compare exactly: " B" is not "B").
	std::vector< std::string > ids = { "A", " B" };
	std::vector< std::vector< std::string > > copies = { saved, saved };
	Restore_Per_Chain_Pdb( f, ids, copies );
	EXPECT_EQ( text_of( f ), before );
	// Listed with no saved lines.
	ids = { "B" };
	copies = { {} };
	Restore_Per_Chain_Pdb( f, ids, copies );
	EXPECT_EQ( text_of( f ), before );
	// Lists of different lengths.
	copies = {};
	testing::internal::CaptureStdout();
	Restore_Per_Chain_Pdb( f, ids, copies );
	EXPECT_EQ( testing::internal::GetCapturedStdout(),
		"Error: A situation occurs where the target chain does not match the copy na content.\n" );
	EXPECT_EQ( text_of( f ), before );
	// A missing file.
	copies = { saved };
	testing::internal::CaptureStdout();
	Restore_Per_Chain_Pdb( dir.file( "absent.pdb" ), ids, copies );
	EXPECT_EQ( testing::internal::GetCapturedStdout(), "Error, cannot open chain pdb file: " + dir.file( "absent.pdb" ) + "\n" );
}

TEST( DomainIndexList, ListAndDefinitionWritten )
{
	quilt_test::ScratchDir dir;
	// An old, longer list is replaced, not overwritten in part.
	write_lines( dir.file( "dom_ind_list.txt" ), { "99", "9", "1,2,3,4,5,6,7,8,9,10,11,12,", "x", "y", "z" } );
	testing::internal::CaptureStdout();
	getdom_ind_list( dir.path(), { { 5, 6 }, { 1, 2, 3, 4 }, { 7, 8, 9, 10 } }, 10 );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_EQ( text_of( dir.file( "dom_ind_list.txt" ) ), "10\n3\n5,6,\n1,2,3,4,\n7,8,9,10,\n" );
	// Segments grouped by domain, in domain order.
	EXPECT_EQ( text_of( dir.file( "domain_definition.txt" ) ), "5-6;1-4;7-10;\n" );
	EXPECT_EQ( text_of( dir.file( "Segscry.info" ) ), "5-6;1-4;7-10;\n" );
	EXPECT_EQ( out, "Domain defininition: 5-6;1-4;7-10;\n" );

	// The residue count is written as given; two domains, one of two pieces.
	testing::internal::CaptureStdout();
	getdom_ind_list( dir.path(), { { 1, 2, 3, 7, 8 }, { 4, 5, 6 } }, 8 );
	testing::internal::GetCapturedStdout();
	EXPECT_EQ( text_of( dir.file( "dom_ind_list.txt" ) ), "8\n2\n1,2,3,7,8,\n4,5,6,\n" );
	EXPECT_EQ( text_of( dir.file( "domain_definition.txt" ) ), "1-3,7-8;4-6;\n" );
}
