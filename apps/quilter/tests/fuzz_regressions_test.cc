// Command lines the fuzz harnesses found mishandled (the inputs are kept in
// fuzz_regressions/<harness>/ and replayed by scripts/fuzz.sh as well).
#include "apps/quilter/CommandLine.hh"

#include <gtest/gtest.h>

#include <string>
#include <vector>

// "-opn .pdb" was taken: the final model would have been the hidden file
// "<data>/.pdb".  A name needs something before its suffix.
TEST( FuzzRegressionsDeathTest, OutputNameMadeOfTheSuffixAloneIsRefused )
{
	std::vector< std::string > words = { "Quilter", "data", "map.mrc", "5", "-opn", ".pdb" };
	std::vector< char* > argv;
	for ( auto& w : words ) argv.push_back( &w[ 0 ] );
	argv.push_back( nullptr );
	QuilterSettings s;
	EXPECT_EXIT( scanOptions( static_cast< int >( words.size() ), argv.data(), s ), testing::ExitedWithCode( 1 ),
		"" );
	std::vector< std::string > ok = { "Quilter", "data", "map.mrc", "5", "-opn", "a.pdb" };
	std::vector< char* > argv2;
	for ( auto& w : ok ) argv2.push_back( &w[ 0 ] );
	argv2.push_back( nullptr );
	scanOptions( static_cast< int >( ok.size() ), argv2.data(), s );
	EXPECT_EQ( s.outputName, "a.pdb" );
}
