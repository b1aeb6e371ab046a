// Whole assemblies by the built Quilter program: every chain of a deposited
// complex moved by its own random rigid motion, assembled into the complex's
// map, and each assembled chain compared in place with its true position
// (CA atoms, P atoms for nucleic acids; chains matched by sequence).
#include "testsupport/test_data.hh"
#include "pdb_text_lines.hh"

#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

struct Chain {
	std::vector< std::string > lines;  // ATOM lines
	std::string sequence;              // residue names, one entry per residue
	std::vector< std::array< double, 3 > > trace;  // CA (or P) per residue
};

double coord( const std::string& l, int k ) { return std::stod( l.substr( 30 + 8 * k, 8 ) ); }

// Chains of a file: by chain identifier when `id` is set, else one chain per
// "TER"-separated block.
std::vector< Chain > read_chains( const std::string& path, char id = 0 )
{
	std::vector< Chain > chains( 1 );
	std::ifstream in( path );
	std::string l, lastRes;
	while ( std::getline( in, l ) ) {
		if ( l.rfind( "TER", 0 ) == 0 && !id ) {
			if ( !chains.back().lines.empty() ) chains.emplace_back();
			lastRes.clear();
			continue;
		}
		if ( l.rfind( "ATOM", 0 ) != 0 || l.size() < 54 ) continue;
		if ( id && l[ 21 ] != id ) continue;
		Chain& c = chains.back();
		c.lines.push_back( l );
		std::string const res = l.substr( 17, 10 );
		if ( res != lastRes ) {
			c.sequence += l.substr( 17, 3 ) + " ";
			lastRes = res;
		}
		std::string const atom = l.substr( 12, 4 );
		if ( atom == " CA " || atom == " P  " ) c.trace.push_back( { coord( l, 0 ), coord( l, 1 ), coord( l, 2 ) } );
	}
	if ( chains.back().lines.empty() ) chains.pop_back();
	return chains;
}


double rmsd( const Chain& a, const Chain& b )
{
	if ( a.trace.size() != b.trace.size() || a.trace.empty() ) return 1e9;
	double s = 0;
	for ( std::size_t i = 0; i < a.trace.size(); ++i )
		for ( int k = 0; k < 3; ++k ) s += std::pow( a.trace[ i ][ k ] - b.trace[ i ][ k ], 2 );
	return std::sqrt( s / a.trace.size() );
}

int run( const std::string& cmd, std::string& out )
{
	out.clear();
	FILE* p = ::popen( ( cmd + " 2>&1" ).c_str(), "r" );
	char buf[ 4096 ];
	std::size_t n;
	while ( ( n = std::fread( buf, 1, sizeof buf, p ) ) > 0 ) out.append( buf, n );
	int const st = ::pclose( p );
	return WIFEXITED( st ) ? WEXITSTATUS( st ) : -1;
}

// Moves the true chains, runs Quilter on them and returns the in-place RMSD
// of every true chain to the assembled chain of the same sequence.
std::vector< double > assemble( const std::vector< Chain >& truth, const std::string& map, double reso, unsigned seed,
	const std::string& extra = "" )
{
	quilt_test::ScratchDir data( "quilt assembly" );
	std::mt19937 rng( seed );
	for ( std::size_t i = 0; i < truth.size(); ++i ) {
		std::ofstream f( data.file( "chain" + std::to_string( i + 1 ) + ".pdb" ) );
		for ( auto const& l : quilter_test::randomly_moved( truth[ i ].lines, rng ) ) f << l << "\n";
		f << "TER\n";
	}
	std::string out;
	int const status = run( "'" + quilt_test::bin_dir() + "/Quilter' '" + data.path() + "' '" + map + "' " +
	                            std::to_string( reso ) + " -nco 8 " + extra,
		out );
	EXPECT_EQ( status, 0 ) << out.substr( out.size() > 3000 ? out.size() - 3000 : 0 );
	EXPECT_NE( out.find( "ASSEMBLY FINISHED" ), std::string::npos );
	std::vector< Chain > const model = read_chains( data.file( "segCmodel1.pdb" ) );
	std::vector< double > result;
	for ( auto const& t : truth ) {
		double best = 1e9;
		for ( auto const& m : model )
			if ( m.sequence == t.sequence ) best = std::min( best, rmsd( t, m ) );
		result.push_back( best );
	}
	return result;
}

} // namespace

TEST( RealdataAssembly, AntibodyFvWithLysozymeAt10A )
{
	QUILT_REQUIRE_SHARED_DATA();
	std::string const pdb = quilt_test::shared_file( "complexes/2dqj/2DQJ.pdb" );
	std::vector< Chain > truth;
	for ( char c : std::string( "HLY" ) ) truth.push_back( read_chains( pdb, c ).at( 0 ) );
	std::vector< double > const r =
		assemble( truth, quilt_test::shared_file( "complexes/2dqj/2dqj_10A_tempy.mrc" ), 10.0, 11 );
	for ( std::size_t i = 0; i < r.size(); ++i ) EXPECT_LT( r[ i ], 3.0 ) << "chain " << "HLY"[ i ];
}

TEST( RealdataAssembly, FourChainComplexAt10A )
{
	QUILT_REQUIRE_SHARED_DATA();
	std::vector< Chain > truth;
	for ( char c : std::string( "ABCD" ) )
		truth.push_back(
			read_chains( quilt_test::shared_file( std::string( "complexes/1z5s/1z5s_" ) + c + ".pdb" ) ).at( 0 ) );
	std::vector< double > const r = assemble( truth, quilt_test::shared_file( "complexes/1z5s/1z5s_10.mrc" ), 10.0, 5 );
	for ( std::size_t i = 0; i < r.size(); ++i ) EXPECT_LT( r[ i ], 3.0 ) << "chain " << "ABCD"[ i ];
}

TEST( RealdataAssembly, ProteinDnaComplexOnTheMixedRoad )
{
	QUILT_REQUIRE_SHARED_DATA();
	std::string const pdb = quilt_test::shared_file( "complexes/3mht/3mht.pdb" );
	std::vector< Chain > truth;
	for ( char c : std::string( "ACD" ) ) truth.push_back( read_chains( pdb, c ).at( 0 ) );
	// NA.map and Pro.map lie beside the map.
	std::vector< double > const r = assemble( truth, quilt_test::shared_file( "complexes/3mht/3mht_sim6A.mrc" ), 6.0, 3 );
	for ( std::size_t i = 0; i < r.size(); ++i ) EXPECT_LT( r[ i ], 3.0 ) << "chain " << "ACD"[ i ];
}
