// What Quilter says of the programs it starts when they succeed: nothing
// beyond its own lines.  "<program> said: <last log line>" belongs to a
// program that ended with a status other than 0; a run whose every search
// succeeded prints no such line.  The runs start the real Rasterseek, on
// the FFT road (-ft 1) and in the iterative matching (LBFGS and FFT), on the
// three moved chains of 2DQJ (antibody Fv heavy and light chains with
// lysozyme) and its simulated 10 A map; each run takes a few seconds.
#include "quilter_run_case.hh"
#include "pdb_text_lines.hh"
#include "testsupport/test_data.hh"

#include <array>
#include <cmath>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace {

using quilter_test::says;
using quilter_test::shq;
using Trace = std::vector< std::array< double, 3 > >;

std::string const kCase = "complexes/2dqj/";

// CA atoms of a PDB file by chain identifier.
std::map< char, Trace > ca_by_chain( const std::string& path )
{
	std::map< char, Trace > out;
	for ( auto const& l : quilter_test::read_lines( path ) ) {
		if ( l.rfind( "ATOM", 0 ) != 0 || l.size() < 54 || l.substr( 12, 4 ) != " CA " ) continue;
		out[ l[ 21 ] ].push_back(
			{ quilter_test::pdb_coord( l, 0 ), quilter_test::pdb_coord( l, 1 ), quilter_test::pdb_coord( l, 2 ) } );
	}
	return out;
}

// CA RMSD in place (no superposition); a large value when the traces differ
// in length.
double rmsd( const Trace& a, const Trace& b )
{
	if ( a.size() != b.size() || a.empty() ) return 1e9;
	double s = 0;
	for ( std::size_t i = 0; i < a.size(); ++i )
		for ( int k = 0; k < 3; ++k ) s += std::pow( a[ i ][ k ] - b[ i ][ k ], 2 );
	return std::sqrt( s / a.size() );
}

// Lines of the output that hold `what`, for the failure messages.
std::string lines_with( const std::string& out, const std::string& what )
{
	std::string found;
	std::size_t from = 0;
	while ( from < out.size() ) {
		std::size_t const end = std::min( out.find( '\n', from ), out.size() );
		std::string const line = out.substr( from, end - from );
		if ( line.find( what ) != std::string::npos ) found += line + "\n";
		from = end + 1;
	}
	return found;
}

// The end of a long output, for the failure messages.
std::string tail( const std::string& out ) { return out.substr( out.size() > 3000 ? out.size() - 3000 : 0 ); }

// Quilter with `options` on the moved chains (chain1.pdb: H, chain2.pdb: L,
// chain3.pdb: Y); returns the exit status, the output in `out` and the
// final model's chains in place against the deposited complex in `rmsds`.
int assemble( const std::string& options, std::string& out, std::map< char, double >& rmsds )
{
	quilt_test::ScratchDir root( "quilt said lines" );
	std::string const data = root.file( "data" );
	std::filesystem::create_directories( data );
	int k = 0;
	for ( char c : std::string( "HLY" ) )
		std::filesystem::copy_file( quilt_test::shared_file( kCase + "2dqj_" + c + ".pdb" ),
			data + "/chain" + std::to_string( ++k ) + ".pdb" );
	std::string const map = quilt_test::shared_file( kCase + "2dqj_10A_tempy.mrc" );
	int const status = quilter_test::run_shell( "timeout 600 " + shq( quilt_test::bin_dir() + "/Quilter" ) + " " +
		                                            shq( data ) + " " + shq( map ) + " 10 " + options,
		out );
	std::map< char, Trace > const truth = ca_by_chain( quilt_test::shared_file( kCase + "2DQJ.pdb" ) );
	std::map< char, Trace > const model = ca_by_chain( data + "/segCmodel1.pdb" );
	rmsds.clear();
	for ( auto const& [ id, trace ] : model )
		if ( truth.count( id ) ) rmsds[ id ] = rmsd( truth.at( id ), trace );
	return status;
}

// The run ended as a good one does, with every chain in its place.
void expect_assembled( int status, const std::string& out, const std::map< char, double >& rmsds )
{
	EXPECT_EQ( status, 0 ) << tail( out );
	EXPECT_TRUE( quilter_test::finished( out ) ) << tail( out );
	ASSERT_EQ( rmsds.size(), 3u ) << tail( out );
	for ( auto const& [ id, r ] : rmsds ) EXPECT_LT( r, 3.0 ) << "chain " << id << "\n" << tail( out );
}

} // namespace

TEST( RealdataStartedProgramLines, FftRoadSaysNothingOfSearchesThatSucceeded )
{
	QUILT_REQUIRE_SHARED_DATA();
	std::string out;
	std::map< char, double > rmsds;
	int const status = assemble( "-ft 1 -nco 4 -it 0", out, rmsds );
	expect_assembled( status, out, rmsds );
	// The FFT road, one search per chain.
	EXPECT_TRUE( says( out, "GetInitModel> Use FFt unit-map matching\n" ) ) << tail( out );
	EXPECT_EQ( quilt_test::occurrences( out, "' into density map ...\n" ), 3u ) << tail( out );
	// Every search ended with status 0: no program is named, nothing is said.
	EXPECT_FALSE( says( out, "Rasterseek said:" ) ) << lines_with( out, "said:" );
	EXPECT_FALSE( says( out, " said: " ) ) << lines_with( out, "said:" );
	EXPECT_FALSE( says( out, "ended with status" ) ) << lines_with( out, "ended with status" );
}

TEST( RealdataStartedProgramLines, MatchingSaysNothingOfSearchesThatSucceeded )
{
	QUILT_REQUIRE_SHARED_DATA();
	std::string out;
	std::map< char, double > rmsds;
	int const status = assemble( "-nco 4 -it 0 -lco 0 -dmm 0 -glo 0", out, rmsds );
	expect_assembled( status, out, rmsds );
	// The iterative matching, where Rasterseek searches first for every
	// chain (each search's best RSCC is reported).
	EXPECT_TRUE( says( out, "GetInitModel> Use LBFGS and FFt unit-map matching\n" ) ) << tail( out );
	EXPECT_GE( quilt_test::occurrences( out, "GetInitModel> RSCC of the best FFt model: " ), 3u ) << tail( out );
	EXPECT_FALSE( says( out, "Rasterseek said:" ) ) << lines_with( out, "said:" );
	EXPECT_FALSE( says( out, " said: " ) ) << lines_with( out, "said:" );
	EXPECT_FALSE( says( out, "ended with status" ) ) << lines_with( out, "ended with status" );
}
