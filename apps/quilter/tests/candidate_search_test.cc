// Candidate evaluation, the combination search and the final model on
// synthetic chains in a map simulated from their true positions.
#include "apps/quilter/CandidateEvaluation.hh"
#include "apps/quilter/CombinationSearch.hh"
#include "apps/quilter/FinalModel.hh"
#include "quilter_test_util.hh"

#include <cstdlib>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace quilter_test;

namespace {

// Four helices side by side, true positions; the map holds all four.
struct FourHelices {
	quilt_test::ScratchDir dir{ "quilt comb" };
	std::vector< std::vector< Point > > truth;
	FastDensityScore map;
	std::string mapPath;
	explicit FourHelices( int baseLength = 20, double voxel = 2.0 )
	{
		double const xs[ 4 ][ 2 ] = { { 0, 0 }, { 14, 0 }, { 0, 14 }, { 14, 14 } };
		std::vector< std::string > files;
		for ( int c = 0; c < 4; ++c ) {
			truth.push_back( helix( baseLength + 4 * c, xs[ c ][ 0 ], xs[ c ][ 1 ], 0.0, c ) );
			files.push_back( dir.file( "true" + std::to_string( c ) + ".pdb" ) );
			write_chain( files.back(), truth.back(), static_cast< char >( 'A' + c ) );
		}
		mapPath = dir.file( "map.mrc" );
		simulate_map( files, mapPath, 6.0, voxel );
		map = load_map( mapPath );
	}
	// Candidate k of chain c: the truth for k == good, otherwise moved.
	std::string candidate( int c, int k, int good )
	{
		std::vector< Point > p = truth[ c ];
		if ( k != good ) {
			double const dx = 5.0 + 2.0 * k, dz = ( k % 2 ? 6.0 : -6.0 );
			for ( auto& q : p ) {
				q.x += ( c % 2 ? dx : -dx );
				q.z += dz;
			}
		}
		std::string const f = dir.file( "cand" + std::to_string( c ) + "_" + std::to_string( k ) + ".pdb" );
		write_chain( f, p, static_cast< char >( 'A' + c ) );
		return f;
	}
};

} // namespace

TEST( CandidateEvaluation, ElementsComeFromTheWholeNameFieldHoweverItIsAligned )
{
	// Three-letter names written from column 13 ("CG1 ", as in the 2DQJ chain
	// files) or from column 14 (" CG1"): both are carbon, "OD1 " oxygen.
	// Taken from column 14 on, the first gave "G" and "D", unknown elements,
	// one warning for every such atom of every candidate scored.
	quilt_test::ScratchDir dir( "quilt elt" );
	std::string const f = dir.file( "names.pdb" );
	{
		std::ofstream out( f );
		out << "ATOM      1  N   ASP A   1      10.000  10.000  10.000  1.00 20.00           N\n"
		       "ATOM      2  CA  ASP A   1      11.000  10.000  10.000  1.00 20.00           C\n"
		       "ATOM      3  C   ASP A   1      12.000  10.000  10.000  1.00 20.00           C\n"
		       "ATOM      4  O   ASP A   1      13.000  10.000  10.000  1.00 20.00           O\n"
		       "ATOM      5 OD1  ASP A   1      11.000  11.000  10.000  1.00 20.00           O\n"
		       "ATOM      6 CG1  ASP A   1      11.000  12.000  10.000  1.00 20.00           C\n"
		       "ATOM      7  CG2 ASP A   1      11.000  13.000  10.000  1.00 20.00           C\n"
		       "ATOM      8  OD2 ASP A   1      11.000  14.000  10.000  1.00 20.00           O\n";
	}
	std::vector< poseCoord > const atoms = readModelAtoms( f, false );
	std::string elements;
	for ( poseCoord const& a : atoms ) elements += a.elt;
	EXPECT_EQ( elements, "NCCOOCCO" );
}

TEST( CandidateEvaluation, SortsBestFirstStableAndKeepsTheAskedNumber )
{
	FourHelices h;
	ASSERT_TRUE( h.map.isLoaded );
	std::string const good = h.candidate( 0, 0, 0 ), bad = h.candidate( 0, 1, 0 );
	std::string const goodCopy = h.dir.file( "copy.pdb" );
	std::system( ( "cp '" + good + "' '" + goodCopy + "'" ).c_str() );

	std::vector< std::string > paths = { bad, good, goodCopy };
	std::vector< double > scores;
	testing::internal::CaptureStdout();
	EvaluateSort( paths, scores, h.map, 5, false );
	std::string const out = testing::internal::GetCapturedStdout();
	ASSERT_EQ( paths.size(), 3u );
	EXPECT_EQ( paths[ 0 ], good );      // equal scores keep evaluation order
	EXPECT_EQ( paths[ 1 ], goodCopy );
	EXPECT_EQ( paths[ 2 ], bad );
	EXPECT_DOUBLE_EQ( scores[ 0 ], scores[ 1 ] );
	EXPECT_GT( scores[ 0 ], scores[ 2 ] );
	EXPECT_NE( out.find( "cand0_0.pdb: " ), std::string::npos );
	EXPECT_EQ( out.find( h.dir.path() ), std::string::npos );  // file names only

	paths = { bad, good, goodCopy };
	testing::internal::CaptureStdout();
	EvaluateSort( paths, scores, h.map, 1, true );
	testing::internal::GetCapturedStdout();
	EXPECT_EQ( paths, std::vector< std::string >{ good } );
	EXPECT_EQ( scores.size(), 1u );
	EXPECT_NEAR( EvaluateModel( good, h.map, true, false ), scores[ 0 ], 1e-12 );
}

TEST( CandidateEvaluation, FilesWithoutDensityAndEmptyLists )
{
	FourHelices h;
	std::vector< Point > far = h.truth[ 0 ];
	for ( auto& p : far ) p.x += 500.0;
	write_chain( h.dir.file( "far.pdb" ), far, 'A' );
	std::vector< std::string > paths = { h.dir.file( "far.pdb" ), h.dir.file( "far.pdb" ) };
	std::vector< double > scores;
	testing::internal::CaptureStdout();
	EvaluateSort( paths, scores, h.map, 3, true );
	EXPECT_EQ( testing::internal::GetCapturedStdout(), "" );
	EXPECT_EQ( paths, std::vector< std::string >{ h.dir.file( "far.pdb" ) } );
	EXPECT_EQ( scores, std::vector< double >{ 0.0 } );

	paths.clear();
	EvaluateSort( paths, scores, h.map, 1, true );
	EXPECT_TRUE( paths.empty() );
	EXPECT_TRUE( scores.empty() );

	// Read-all takes every chain of a file.
	write_chain( h.dir.file( "two.pdb" ), h.truth[ 0 ], 'A' );
	write_chain( h.dir.file( "two.pdb" ), h.truth[ 1 ], 'B', true );
	int n1 = 0, n2 = 0;
	double** a = readCAFile( h.dir.file( "two.pdb" ), false, n1 );
	double** b = readCAFile( h.dir.file( "two.pdb" ), true, n2 );
	EXPECT_EQ( n1, 20 );
	EXPECT_EQ( n2, 44 );
	for ( int i = 0; i < n1; ++i ) delete[] a[ i ];
	delete[] a;
	for ( int i = 0; i < n2; ++i ) delete[] b[ i ];
	delete[] b;
}

TEST( CombinationSearch, TrimmingAndOdometerOrder )
{
	std::vector< int* > combs;
	TemplateCombination( { 30, 10 }, combs );
	ASSERT_EQ( combs.size(), 200u );  // trimmed to (20, 10)
	EXPECT_EQ( combs[ 1 ][ 0 ], 1 );
	EXPECT_EQ( combs[ 1 ][ 1 ], 0 );
	EXPECT_EQ( combs[ 20 ][ 0 ], 0 );
	EXPECT_EQ( combs[ 20 ][ 1 ], 1 );
	EXPECT_EQ( combs.back()[ 0 ], 19 );
	EXPECT_EQ( combs.back()[ 1 ], 9 );
	for ( int* c : combs ) delete[] c;
	combs.clear();
	TemplateCombination( { 15, 15 }, combs );
	EXPECT_EQ( combs.size(), 196u );
	for ( int* c : combs ) delete[] c;
	combs.clear();
	TemplateCombination( { 1, 1, 1 }, combs );
	EXPECT_EQ( combs.size(), 1u );
	for ( int* c : combs ) delete[] c;
	EXPECT_DOUBLE_EQ( combinationCount( { 1000, 1000, 1000, 1000 } ), 1e12 );  // beyond 32 bits
}

TEST( CombinationSearch, EnumerationFindsTheTrueCombinationFirst )
{
	FourHelices h;
	// Three chains with three candidates each, the true one at 2, 0, 1.
	int const good[ 3 ] = { 2, 0, 1 };
	std::vector< std::vector< std::string > > paths( 3 );
	for ( int c = 0; c < 3; ++c )
		for ( int k = 0; k < 3; ++k ) paths[ c ].push_back( h.candidate( c, k, good[ c ] ) );
	CombinationResults r;
	testing::internal::CaptureStdout();
	SearhBestCombination( paths, { 3, 3, 3 }, h.map, r );
	std::string const out = testing::internal::GetCapturedStdout();
	ASSERT_EQ( r.fileSets.size(), 27u );
	for ( int c = 0; c < 3; ++c ) EXPECT_EQ( r.fileSets[ 0 ][ c ], paths[ c ][ good[ c ] ] );
	for ( std::size_t k = 1; k < r.searchScores.size(); ++k ) EXPECT_LE( r.searchScores[ k - 1 ], r.searchScores[ k ] );
	EXPECT_NEAR( r.rscc[ 0 ], -r.searchScores[ 0 ], 1e-12 );
	EXPECT_EQ( out.substr( 0, 5 ), "COM: " );
	EXPECT_NE( out.find( " | 2 0 1 \n" ), std::string::npos );
}

TEST( CombinationSearch, DifferentialEvolutionFindsTheTruthInFourByEight )
{
	// Short chains on a coarse grid: ten evolutions of 3030 scores each.
	FourHelices h( 8, 3.0 );
	int const good[ 4 ] = { 5, 2, 7, 0 };
	std::vector< std::vector< std::string > > paths( 4 );
	for ( int c = 0; c < 4; ++c )
		for ( int k = 0; k < 8; ++k ) paths[ c ].push_back( h.candidate( c, k, good[ c ] ) );
	int found = 0;
	for ( unsigned seed = 1; seed <= 10; ++seed ) {
		std::srand( seed );
		CombinationResults r;
		testing::internal::CaptureStdout();
		SearhBestCombination( paths, { 8, 8, 8, 8 }, h.map, r );  // 4096 combinations: evolution
		std::string const out = testing::internal::GetCapturedStdout();
		ASSERT_EQ( r.fileSets.size(), 30u );
		EXPECT_NE( out.find( "GetInitModel> DE search..." ), std::string::npos );
		bool ok = true;
		for ( int c = 0; c < 4; ++c ) ok = ok && r.fileSets[ 0 ][ c ] == paths[ c ][ good[ c ] ];
		found += ok;
	}
	EXPECT_GE( found, 9 );
}

TEST( CombinationSearch, NoChainsOrEmptyCandidateListsGiveNoResult )
{
	FourHelices h;
	CombinationResults r;
	SearhBestCombination( {}, {}, h.map, r );
	EXPECT_TRUE( r.fileSets.empty() );
	SearhBestCombination( { {} }, { 0 }, h.map, r );
	EXPECT_TRUE( r.fileSets.empty() );
}

TEST( FinalModel, BestOfBothSearchesWrittenWithTerLines )
{
	quilt_test::ScratchDir dir;
	std::string const a = dir.file( "a.pdb" ), b = dir.file( "b.pdb" );
	{
		std::ofstream fa( a ), fb( b );
		fa << "ATOM      1  CA  ALA A   1       1.000   2.000   3.000  1.00  0.00           C\n"
		   << "HETATM    2  O   HOH A   2       1.000   2.000   3.000\n"
		   << "ATOM      3  CA  ALA A   2       1.000\n";
		fb << "ATOM      1  CA  GLY B   1       4.000   5.000   6.000  1.00  0.00           C\n";
	}
	int written = 0;
	testing::internal::CaptureStdout();
	double const best = SaveFinalModel( 1, "seg.pdb", dir.path(), { { b, a }, { a, b } }, { { a, a } },
		{ 0.61, 0.72 }, { 0.72 }, written );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_EQ( written, 1 );
	EXPECT_DOUBLE_EQ( best, 0.72 );
	EXPECT_EQ( out, "GetInitModel> Sorted RSCC: \nGetInitModel> seg1.pdb: 0.72\n" );
	std::ifstream in( dir.file( "seg1.pdb" ) );
	std::string text( ( std::istreambuf_iterator< char >( in ) ), std::istreambuf_iterator< char >() );
	// The first search wins the tie: chains a then b; the short ATOM line and
	// the HETATM line are not copied.
	EXPECT_EQ( text, "ATOM      1  CA  ALA A   1       1.000   2.000   3.000  1.00  0.00           C\nTER\n"
	                 "ATOM      1  CA  GLY B   1       4.000   5.000   6.000  1.00  0.00           C\nTER\n" );

	testing::internal::CaptureStdout();
	EXPECT_EQ( SaveFinalModel( 3, "neg.pdb", dir.path(), { { a } }, {}, { -0.2 }, {}, written ), 0.0 );
	testing::internal::GetCapturedStdout();
	EXPECT_EQ( written, 1 );  // more models asked for than entries
	EXPECT_TRUE( quilt_test::path_exists( dir.file( "neg1.pdb" ) ) );
	EXPECT_FALSE( quilt_test::path_exists( dir.file( "neg2.pdb" ) ) );

	testing::internal::CaptureStdout();
	EXPECT_EQ( SaveFinalModel( 1, "none.pdb", dir.path(), {}, {}, {}, {}, written ), 0.0 );
	EXPECT_EQ( testing::internal::GetCapturedStdout(), "GetInitModel> Sorted RSCC: \n" );
	EXPECT_EQ( written, 0 );

	// An unwritable directory: nothing written, reported.
	testing::internal::CaptureStdout();
	SaveFinalModel( 1, "x.pdb", dir.file( "missing_dir" ), { { a } }, {}, { 0.5 }, {}, written );
	testing::internal::GetCapturedStdout();
	EXPECT_EQ( written, 0 );
}
