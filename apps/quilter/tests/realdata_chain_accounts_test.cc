// What a run says of a chain that the map does not hold: two chains of a
// deposited complex (1Z5S A and B, each moved away at random) given with a
// map simulated from chain A alone.  The matching accepts B below the
// threshold as the best there is, the placement check then drops B's
// placements (they lie off the density of the map) and the model holds A
// alone.  Every line about B has to tell that one story: none calls B kept,
// and the reason B is missing is that its placements were dropped, not that
// none was found.
#include "pdb_text_lines.hh"
#include "quilter_run_case.hh"
#include "testsupport/test_data.hh"

#include <cmath>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <string>
#include <vector>

using namespace quilter_test;

namespace {

std::vector< std::string > atom_lines( const std::string& path )
{
	std::vector< std::string > out;
	for ( std::string const& l : read_lines( path ) )
		if ( l.rfind( "ATOM", 0 ) == 0 && l.size() >= 54 ) out.push_back( l );
	return out;
}

// CA atoms by residue (columns 22-26) of the atom lines of chain `id`.
std::map< std::string, std::vector< double > > ca_atoms( const std::vector< std::string >& lines, char id )
{
	std::map< std::string, std::vector< double > > ca;
	for ( std::string const& l : lines )
		if ( l[ 21 ] == id && l.substr( 12, 4 ) == " CA " )
			ca[ l.substr( 22, 5 ) ] = { pdb_coord( l, 0 ), pdb_coord( l, 1 ), pdb_coord( l, 2 ) };
	return ca;
}

// CA RMSD in place over the residues of `truth`; a large value when the
// model lacks any of them.
double rmsd_in_place( const std::map< std::string, std::vector< double > >& model,
	const std::map< std::string, std::vector< double > >& truth )
{
	if ( truth.empty() ) return 1e9;
	double s = 0.0;
	for ( auto const& t : truth ) {
		auto const m = model.find( t.first );
		if ( m == model.end() ) return 1e9;
		for ( int k = 0; k < 3; ++k ) s += std::pow( m->second[ k ] - t.second[ k ], 2 );
	}
	return std::sqrt( s / truth.size() );
}

// The lines of the output that name the chain.
std::vector< std::string > lines_naming( const std::string& out, const std::string& chain )
{
	std::vector< std::string > found;
	std::size_t from = 0;
	while ( from < out.size() ) {
		std::size_t const end = out.find( '\n', from );
		std::string const line = out.substr( from, end == std::string::npos ? std::string::npos : end - from );
		if ( line.find( "'" + chain + "'" ) != std::string::npos ) found.push_back( line );
		if ( end == std::string::npos ) break;
		from = end + 1;
	}
	return found;
}

} // namespace

// Catches a chain called kept that the model lacks, and called one for which
// no placement was found although its placements were found and dropped: the
// run said "Chain 'chain2_B' is kept at RSCC 0.139 below the acceptance
// threshold", then "The placements found for chain 'chain2_B' do not lie on
// density of the map (best RSCC -0.046, ...)", then "No placement was found
// for chain 'chain2_B'; it is left out of the assembled model."
TEST( RealdataChainAccounts, ChainOffTheDensityIsCalledDroppedNeverKept )
{
	QUILT_REQUIRE_SHARED_DATA();
	std::string const pdbA = quilt_test::shared_file( "complexes/1z5s/1z5s_A.pdb" );
	std::string const pdbB = quilt_test::shared_file( "complexes/1z5s/1z5s_B.pdb" );
	quilt_test::ScratchDir root( "quilt accounts" );
	std::string const data = root.file( "data" );
	std::string const map = root.file( "mapA.mrc" );
	std::string out;
	ASSERT_EQ( run_shell( "mkdir " + shq( data ), out ), 0 ) << out;
	// The map of chain A alone: 5 A, 2 A voxels.
	ASSERT_EQ( run_shell( shq( quilt_test::bin_dir() + "/simulate_map" ) + " " + shq( pdbA ) + " " + shq( map ) +
	                          " 5 2",
		           out ),
		0 )
		<< out;
	std::mt19937 rng( 3 );
	std::vector< std::string > const trueA = atom_lines( pdbA );
	write_lines( data + "/chain1.pdb", randomly_moved( trueA, rng ) );
	write_lines( data + "/chain2.pdb", randomly_moved( atom_lines( pdbB ), rng ) );

	EXPECT_EQ( run_shell( "timeout 900 " + shq( quilt_test::bin_dir() + "/Quilter" ) + " " + shq( data ) + " " +
	                          shq( map ) + " 5",
		           out ),
		0 )
		<< out;
	EXPECT_TRUE( says( out, "ASSEMBLY FINISHED" ) ) << out;

	// The model holds A in its place, and not B.
	std::vector< std::string > const model = read_lines( data + "/segCmodel1.pdb" );
	EXPECT_LT( rmsd_in_place( ca_atoms( model, 'A' ), ca_atoms( trueA, 'A' ) ), 3.0 ) << out;
	EXPECT_TRUE( ca_atoms( model, 'B' ).empty() ) << out;

	std::vector< std::string > const aboutB = lines_naming( out, "chain2_B" );
	ASSERT_FALSE( aboutB.empty() ) << out;
	for ( std::string const& line : aboutB ) {
		EXPECT_EQ( line.find( "is kept" ), std::string::npos ) << line << "\n" << out;
		EXPECT_EQ( line.find( "No placement was found" ), std::string::npos ) << line << "\n" << out;
		EXPECT_EQ( line.find( "no placement was found" ), std::string::npos ) << line << "\n" << out;
	}
	// The placement check names the map its figure is judged on.
	EXPECT_TRUE( says( out, "Warning! The placements found for chain 'chain2_B' do not lie on density of the map "
	                        "(best RSCC " ) )
		<< out;
	EXPECT_TRUE( says( out, " on the whole map, " ) ) << out;
	// After the model is written: the reason that holds, at the end and in
	// the final list.
	EXPECT_TRUE( says( out, "Warning! The placements found for chain 'chain2_B' do not lie on density of the map and "
	                        "were dropped; it is left out of the assembled model.\n" ) )
		<< out;
	std::size_t const review = out.find( "Warning! Check these chains of " + data + "/segCmodel1.pdb:\n" );
	ASSERT_NE( review, std::string::npos ) << out;
	EXPECT_TRUE( says( out.substr( review ), "    Chain 'chain2_B' is left out of the model: the placements found for "
	                                         "it do not lie on density of the map and were dropped.\n" ) )
		<< out;
	EXPECT_EQ( quilt_test::occurrences( out.substr( review ), "chain2_B" ), 1u ) << out;
}
