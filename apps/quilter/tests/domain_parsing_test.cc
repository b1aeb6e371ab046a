// Domain definitions: the splitter's log turned into a definition line, the
// definition read back into sorted segments, and per-domain model files.
#include "apps/quilter/DomainParsing.hh"
#include "testsupport/small_file_systems.hh"
#include "testsupport/test_data.hh"

#include <cstdio>
#include <unistd.h>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::string first_line( const std::string& path )
{
	std::ifstream in( path );
	std::string l;
	std::getline( in, l );
	return l;
}

void write( const std::string& path, const std::string& text ) { std::ofstream( path ) << text; }

// A chain of residues numbered first..last, one CA line each.
void write_chain( const std::string& path, int first, int last )
{
	std::ofstream out( path );
	for ( int r = first; r <= last; ++r ) {
		char buf[ 128 ];
		std::snprintf( buf, sizeof buf, "ATOM  %5d  CA  ALA A%4d    %8.3f%8.3f%8.3f  1.00  0.00           C", r, r,
			3.8 * r, 0.0, 0.0 );
		out << buf << "\n";
	}
}

void free_bounds( DomBdInfo& info )
{
	for ( int* b : info.segmentBounds ) delete[] b;
}

// Fills the file system that holds dir, with one file, until it is full.
void fill_disk( const std::string& dir )
{
	std::FILE* f = std::fopen( ( dir + "/fill" ).c_str(), "w" );
	if ( !f ) return;
	std::vector< char > const block( 4096, 'x' );
	while ( std::fwrite( block.data(), 1, block.size(), f ) == block.size() && std::fflush( f ) == 0 ) {
	}
	std::fclose( f );
}

const std::string kError = "\033[1mERROR!\033[0m ";

} // namespace

TEST( DomainParsing, OneDomainLogGivesTheChainsNumberRange )
{
	quilt_test::ScratchDir dir;
	write( dir.file( "c_dom.log" ), "xxxxA 250 1\nmore text\n" );
	int count = -1;
	std::string const def = transDomParlog( dir.file( "c_dom.log" ), "c", count, 5, 254 );
	EXPECT_EQ( def, dir.file( "c_dom.def" ) );
	EXPECT_EQ( count, 1 );
	EXPECT_EQ( first_line( def ), "xxxxA 1 5-254;" );
	DomBdInfo info = ReadBdInfo( def, 250 );
	ASSERT_EQ( info.segmentBounds.size(), 1u );
	EXPECT_EQ( info.segmentBounds[ 0 ][ 0 ], 5 );
	EXPECT_EQ( info.segmentBounds[ 0 ][ 1 ], 254 );
	EXPECT_EQ( info.domainCount, 1 );
	EXPECT_FALSE( info.discontinuous );
	free_bounds( info );
}

TEST( DomainParsing, DiscontinuousDomainIsSortedByStart )
{
	quilt_test::ScratchDir dir;
	write( dir.file( "c_dom.log" ), "xxxxA 120 2 (1-50;80-120) (51-79)\n" );
	int count = 0;
	std::string const def = transDomParlog( dir.file( "c_dom.log" ), "c", count, 1, 120 );
	EXPECT_EQ( count, 2 );
	EXPECT_EQ( first_line( def ), "xxxxA 2 1-50,80-120;51-79;" );
	DomBdInfo info = ReadBdInfo( def, 120 );
	ASSERT_EQ( info.segmentBounds.size(), 3u );
	int const expect[ 3 ][ 3 ] = { { 1, 50, 0 }, { 51, 79, 1 }, { 80, 120, 0 } };
	for ( int s = 0; s < 3; ++s ) {
		EXPECT_EQ( info.segmentBounds[ s ][ 0 ], expect[ s ][ 0 ] );
		EXPECT_EQ( info.segmentBounds[ s ][ 1 ], expect[ s ][ 1 ] );
		EXPECT_EQ( info.segmentDomains[ s ], expect[ s ][ 2 ] );
	}
	EXPECT_TRUE( info.discontinuous );
	EXPECT_EQ( info.domainCount, 2 );
	ASSERT_EQ( info.domainResidues.size(), 2u );
	EXPECT_EQ( info.domainResidues[ 0 ].size(), 91u );
	EXPECT_EQ( info.domainResidues[ 0 ].front(), 0 );
	EXPECT_EQ( info.domainResidues[ 1 ].front(), 50 );

	// Domain files: residues 1-50 then 80-120, and 51-79.
	write_chain( dir.file( "c.pdb" ), 1, 120 );
	std::vector< int > counts;
	std::vector< std::string > const files =
		GetDomPDB( dir.file( "c.pdb" ), 2, info.segmentBounds, info.segmentDomains, counts );
	ASSERT_EQ( files.size(), 2u );
	EXPECT_EQ( files[ 0 ], dir.file( "c_dom1.pdb" ) );
	EXPECT_EQ( counts, ( std::vector< int >{ 91, 29 } ) );
	std::ifstream in( files[ 0 ] );
	std::string line;
	std::vector< int > numbers;
	while ( std::getline( in, line ) ) numbers.push_back( std::stoi( line.substr( 22, 4 ) ) );
	ASSERT_EQ( numbers.size(), 91u );
	EXPECT_EQ( numbers[ 49 ], 50 );
	EXPECT_EQ( numbers[ 50 ], 80 );
	free_bounds( info );
}

TEST( DomainParsing, MissingOrShortLogsFallBackToOneDomain )
{
	quilt_test::ScratchDir dir;
	int count = 7;
	std::string const def = transDomParlog( dir.file( "absent.log" ), "c", count, 3, 40 );
	EXPECT_EQ( count, 0 );
	EXPECT_EQ( first_line( def ), "  3-40;" );
	testing::internal::CaptureStdout();
	DomBdInfo info = ReadBdInfo( def, 38 );
	EXPECT_EQ( testing::internal::GetCapturedStdout(),
		"Wrong in domain parsing. Protein is considered as a 1-domain protein.\n" );
	ASSERT_EQ( info.segmentBounds.size(), 1u );
	EXPECT_EQ( info.segmentBounds[ 0 ][ 1 ], 38 );
	free_bounds( info );

	// More domains named than listed: the missing words add only ";".
	write( dir.file( "m.log" ), "xxxxA 9 3 1-20 21-40\n" );
	transDomParlog( dir.file( "m.log" ), "m", count, 1, 60 );
	EXPECT_EQ( count, 3 );
	EXPECT_EQ( first_line( dir.file( "m_dom.def" ) ), "xxxxA 3 1-20;21-40;;" );

	// No domain files for a count of 0; a huge bound does not hang.
	std::vector< int > counts;
	EXPECT_TRUE( GetDomPDB( dir.file( "c.pdb" ), 0, {}, {}, counts ).empty() );
	write_chain( dir.file( "c.pdb" ), 1, 10 );
	int* huge = new int[ 2 ]{ 1, 2000000000 };
	std::vector< std::string > const f = GetDomPDB( dir.file( "c.pdb" ), 1, { huge }, { 0 }, counts );
	EXPECT_EQ( counts, ( std::vector< int >{ 10 } ) );
	delete[] huge;
}

TEST( DomainParsing, DefinitionFromResidueLists )
{
	quilt_test::ScratchDir dir;
	testing::internal::CaptureStdout();
	get_dom_definition( dir.path(), { { 1, 2, 3, 7, 8 }, { 4, 5, 6 } }, 8 );
	EXPECT_EQ( testing::internal::GetCapturedStdout(), "Domain defininition: 1-3,7-8;4-6;\n" );
	EXPECT_EQ( first_line( dir.file( "domain_definition.txt" ) ), "1-3,7-8;4-6;" );
	EXPECT_EQ( first_line( dir.file( "Segscry.info" ) ), "1-3,7-8;4-6;" );

	// The last residue starting a run of its own gets its own segment.
	std::vector< int* > bounds;
	std::vector< int > doms;
	getDomainBoundary_o( { { 1, 2, 3 }, { 4 } }, bounds, doms, 4 );
	ASSERT_EQ( bounds.size(), 2u );
	EXPECT_EQ( bounds[ 1 ][ 0 ], 4 );
	EXPECT_EQ( bounds[ 1 ][ 1 ], 4 );
	EXPECT_EQ( doms[ 1 ], 1 );
	for ( int* b : bounds ) delete[] b;
}

// The messages go to standard output; a death test reads standard error.
#define EXPECT_STOPS( statement, message )                                                                      \
	EXPECT_EXIT(                                                                                                 \
		{                                                                                                        \
			::dup2( 2, 1 );                                                                                      \
			statement;                                                                                           \
		},                                                                                                       \
		testing::ExitedWithCode( 1 ), message )

// On a full disk the splitter's copy of the chain, the definition and the
// domain models came out empty or cut short, unchecked: the domain steps
// then worked on a part of the chain, or on none, without a word.  Each
// stops the run now with the file and the system's reason.
TEST( DomainParsingDeathTest, FilesCutShortByAFullDiskStopTheRun )
{
	quilt_test::ScratchDir dir;
	quilt_test::SmallFileSystem small( dir.file( "small" ), "64k" );
	if ( !small.mounted() ) GTEST_SKIP() << "cannot mount a small file system here";
	write_chain( small.file( "c.pdb" ), 1, 40 );
	fill_disk( small.path() );
	int count = 0, residues = 0;
	EXPECT_STOPS( runDomainParser( dir.path(), small.file( "c.pdb" ), count, residues ),
		"Cannot write the chain copy .*/DomSplit_c.*/xxxx.pdb for the domain splitter: No space left on device\\." );
	EXPECT_STOPS( transDomParlog( small.file( "absent.log" ), "c", count, 1, 40 ),
		"Cannot write the domain definition .*/small/c_dom.def: No space left on device\\." );
	std::vector< int > counts;
	int* all = new int[ 2 ]{ 1, 40 };
	EXPECT_STOPS( GetDomPDB( small.file( "c.pdb" ), 1, { all }, { 0 }, counts ),
		"Cannot write the domain model .*/small/c_dom1.pdb: No space left on device\\." );
	delete[] all;
	// Nothing half-written is left beside the chain.
	EXPECT_FALSE( quilt_test::path_exists( small.file( "c_dom.def" ) ) );
	EXPECT_FALSE( quilt_test::path_exists( small.file( "c_dom1.pdb" ) ) );
}
