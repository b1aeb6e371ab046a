// Chain splitting and nucleic-acid masking on the deposited complexes.
#include "apps/quilter/ChainSplitting.hh"
#include "apps/quilter/NucleicAcidMask.hh"
#include "testsupport/test_data.hh"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace {

std::vector< std::string > atom_lines( const std::string& path, char chain = 0 )
{
	std::ifstream in( path );
	std::vector< std::string > lines;
	std::string l;
	while ( std::getline( in, l ) ) {
		if ( l.compare( 0, 4, "ATOM" ) != 0 ) continue;
		if ( chain && ( l.size() < 22 || l[ 21 ] != chain ) ) continue;
		lines.push_back( l );
	}
	return lines;
}

} // namespace

TEST( RealdataChainSplitting, ProteinDnaComplexGivesOneFilePerChain )
{
	QUILT_REQUIRE_SHARED_DATA();
	quilt_test::ScratchDir dir;
	std::string const src = quilt_test::shared_file( "complexes/3mht/3mht.pdb" );
	std::vector< std::string > paths, keys;
	Split_PDB_chains( src, true, paths, keys, dir.path() );
	ASSERT_EQ( paths.size(), 3u );
	EXPECT_EQ( paths[ 0 ], dir.file( "3mht_C.pdb" ) );
	EXPECT_EQ( paths[ 1 ], dir.file( "3mht_D.pdb" ) );
	EXPECT_EQ( paths[ 2 ], dir.file( "3mht_A.pdb" ) );
	EXPECT_EQ( atom_lines( paths[ 0 ] ), atom_lines( src, 'C' ) );
	EXPECT_EQ( atom_lines( paths[ 1 ] ), atom_lines( src, 'D' ) );
	EXPECT_EQ( atom_lines( paths[ 2 ] ), atom_lines( src, 'A' ) );
}

TEST( RealdataChainSplitting, FourChainFilesKeepTheirChains )
{
	QUILT_REQUIRE_SHARED_DATA();
	quilt_test::ScratchDir dir;
	std::vector< std::string > paths, keys, ids;
	for ( char c : std::string( "ABCD" ) )
		Split_PDB_chains( quilt_test::shared_file( std::string( "complexes/1z5s/1z5s_" ) + c + ".pdb" ), true, paths,
			keys, dir.path() );
	ASSERT_EQ( paths.size(), 4u );
	for ( auto const& p : paths ) Get_All_ChainID( p, ids );
	EXPECT_EQ( ids, ( std::vector< std::string >{ "A", "B", "C", "D" } ) );
	EXPECT_FALSE( hasOverlapID( ids ) );
}

TEST( RealdataNucleicAcidMask, DnaStrandsMaskedAndRestoredToTheirInputLines )
{
	QUILT_REQUIRE_SHARED_DATA();
	quilt_test::ScratchDir dir;
	std::string const src = quilt_test::shared_file( "complexes/3mht/3mht.pdb" );
	std::vector< std::string > paths, keys;
	Split_PDB_chains( src, true, paths, keys, dir.path() );
	ASSERT_EQ( paths.size(), 3u );

	std::vector< std::vector< std::string > > copies;
	testing::internal::CaptureStdout();
	for ( auto const& p : paths ) {
		std::vector< std::string > saved;
		Judge_Modify_NA_PDB( p, saved );
		if ( !saved.empty() ) copies.push_back( saved );
	}
	testing::internal::GetCapturedStdout();
	ASSERT_EQ( copies.size(), 2u );  // C and D; the protein chain A is untouched
	EXPECT_EQ( atom_lines( paths[ 2 ] ), atom_lines( src, 'A' ) );
	std::vector< std::string > ids = { "C", "D" };
	EXPECT_TRUE( judge_is_na_pdb( paths[ 0 ], ids ) );
	EXPECT_FALSE( judge_is_na_pdb( paths[ 2 ], ids ) );

	// Every masked residue has exactly one CA (its C4').
	std::map< std::string, int > cas;
	for ( auto const& l : atom_lines( paths[ 0 ] ) ) {
		EXPECT_EQ( l.substr( 17, 3 ), "ALA" );
		if ( l.substr( 13, 3 ) == "CA " ) ++cas[ l.substr( 22, 4 ) ];
	}
	for ( auto const& c : cas ) EXPECT_EQ( c.second, 1 ) << c.first;
	EXPECT_EQ( cas.size(), 12u );

	// A final model of the three chains, restored, equals the input's lines.
	std::string const final = dir.file( "final.pdb" );
	{
		std::ofstream out( final );
		for ( auto const& p : { paths[ 2 ], paths[ 0 ], paths[ 1 ] } ) {
			for ( auto const& l : atom_lines( p ) ) out << l << "\n";
			out << "TER\n";
		}
	}
	Restore_NA_PDB( final, copies, ids );
	std::vector< std::string > expected = atom_lines( src, 'A' );
	for ( char c : { 'C', 'D' } )
		for ( auto const& l : atom_lines( src, c ) ) expected.push_back( l );
	EXPECT_EQ( atom_lines( final ), expected );
}
