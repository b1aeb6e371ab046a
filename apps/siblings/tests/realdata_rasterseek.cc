// Rasterseek on real complexes, started the way the assembly program starts
// it: every chain of 2DQJ and 1Z5S in its complex's 10 A map, and the
// protein chain of 3MHT in the 6 A map of the protein-DNA complex, each
// moved away first.  The first result must lie within 3 A CA RMSD of the
// chain's true place (judged against the deposited coordinates, not by the
// program's score), and every result must be a line copy of the input.
#include "apps/siblings/tests/rasterseek_test_files.hh"
#include "core/basic_fun_Quilt.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <map>
#include <random>
#include <sys/stat.h>
#include <sys/wait.h>

using rasterseek_test::lines_of;

namespace {

// ATOM lines of one chain (blank: all).
std::vector< std::string > atom_lines( std::string const& path, char chain )
{
	std::vector< std::string > out;
	for ( std::string const& l : lines_of( path ) )
		if ( l.compare( 0, 4, "ATOM" ) == 0 && l.size() >= 54 && ( chain == ' ' || l[ 21 ] == chain ) ) out.push_back( l );
	return out;
}

// CA positions keyed by residue number and insertion code.
std::map< std::string, std::vector< double > > ca_by_residue( std::vector< std::string > const& lines )
{
	std::map< std::string, std::vector< double > > out;
	for ( std::string const& l : lines )
		if ( l.substr( 12, 4 ) == " CA " )
			out[ l.substr( 22, 5 ) ] = { std::atof( l.substr( 30, 8 ).c_str() ), std::atof( l.substr( 38, 8 ).c_str() ),
				std::atof( l.substr( 46, 8 ).c_str() ) };
	return out;
}

double ca_rmsd( std::vector< std::string > const& model, std::vector< std::string > const& truth )
{
	auto const a = ca_by_residue( model ), b = ca_by_residue( truth );
	double s = 0.0;
	int n = 0;
	for ( auto const& kv : b ) {
		auto it = a.find( kv.first );
		if ( it == a.end() ) continue;
		for ( int c = 0; c < 3; ++c ) s += ( it->second[ c ] - kv.second[ c ] ) * ( it->second[ c ] - kv.second[ c ] );
		++n;
	}
	return n == int( b.size() ) && n > 0 ? std::sqrt( s / n ) : 1e9;
}

// The lines moved by a uniformly random rotation about their centroid and a
// shift of 10 to 25 A.
std::vector< std::string > moved( std::vector< std::string > const& lines, unsigned seed )
{
	std::mt19937 rng( seed );
	std::normal_distribution< double > g( 0.0, 1.0 );
	std::uniform_real_distribution< double > u( 10.0, 25.0 );
	double q[ 4 ] = { g( rng ), g( rng ), g( rng ), g( rng ) };
	double const qn = std::sqrt( q[ 0 ] * q[ 0 ] + q[ 1 ] * q[ 1 ] + q[ 2 ] * q[ 2 ] + q[ 3 ] * q[ 3 ] );
	for ( double& v : q ) v /= qn;
	double const a = q[ 0 ], b = q[ 1 ], c = q[ 2 ], d = q[ 3 ];
	double const R[ 3 ][ 3 ] = { { a * a + b * b - c * c - d * d, 2 * ( b * c - a * d ), 2 * ( b * d + a * c ) },
		{ 2 * ( b * c + a * d ), a * a - b * b + c * c - d * d, 2 * ( c * d - a * b ) },
		{ 2 * ( b * d - a * c ), 2 * ( c * d + a * b ), a * a - b * b - c * c + d * d } };
	double v[ 3 ] = { g( rng ), g( rng ), g( rng ) };
	double const vn = std::sqrt( v[ 0 ] * v[ 0 ] + v[ 1 ] * v[ 1 ] + v[ 2 ] * v[ 2 ] ), len = u( rng );
	for ( double& x : v ) x *= len / vn;
	std::vector< std::vector< double > > p;
	double cen[ 3 ] = { 0, 0, 0 };
	for ( std::string const& l : lines ) {
		p.push_back( { std::atof( l.substr( 30, 8 ).c_str() ), std::atof( l.substr( 38, 8 ).c_str() ),
			std::atof( l.substr( 46, 8 ).c_str() ) } );
		for ( int r = 0; r < 3; ++r ) cen[ r ] += p.back()[ r ] / lines.size();
	}
	std::vector< std::string > out;
	char buf[ 64 ];
	for ( std::size_t i = 0; i < lines.size(); ++i ) {
		double const dd[ 3 ] = { p[ i ][ 0 ] - cen[ 0 ], p[ i ][ 1 ] - cen[ 1 ], p[ i ][ 2 ] - cen[ 2 ] };
		double x[ 3 ];
		for ( int r = 0; r < 3; ++r ) x[ r ] = cen[ r ] + v[ r ] + R[ r ][ 0 ] * dd[ 0 ] + R[ r ][ 1 ] * dd[ 1 ] + R[ r ][ 2 ] * dd[ 2 ];
		std::snprintf( buf, sizeof buf, "%8.3f%8.3f%8.3f", x[ 0 ], x[ 1 ], x[ 2 ] );
		out.push_back( lines[ i ].substr( 0, 30 ) + buf + lines[ i ].substr( 54 ) );
	}
	return out;
}

int run( std::string const& cmd )
{
	int const st = std::system( cmd.c_str() );
	return WIFEXITED( st ) ? WEXITSTATUS( st ) : -1;
}

struct Case {
	char const* name;     // chain name: the result name
	char const* map;      // under the shared data folder
	double resolution;
	char const* input;    // the file to place (moved unless already a moved copy)
	char inputChain;
	char const* truth;    // the true chain
	char truthChain;
	bool moveFirst;
};

void PrintTo( Case const& c, std::ostream* os ) { *os << c.name; }

class RasterseekRealData : public testing::TestWithParam< Case > {};

} // namespace

TEST_P( RasterseekRealData, FirstResultIsTheTruePlace )
{
	QUILT_REQUIRE_SHARED_DATA();
	Case const& c = GetParam();
	std::string const map = quilt_test::shared_file( c.map );
	std::string const input = quilt_test::shared_file( c.input ), truthFile = quilt_test::shared_file( c.truth );
	if ( !quilt_test::path_exists( map ) || !quilt_test::path_exists( input ) || !quilt_test::path_exists( truthFile ) )
		GTEST_SKIP() << "missing data for " << c.name;
	quilt_test::ScratchDir dir( "rsreal" );
	std::string const work = dir.file( "match rmv 42" );
	ASSERT_EQ( ::mkdir( work.c_str(), 0755 ), 0 );
	std::vector< std::string > const truth = atom_lines( truthFile, c.truthChain );
	std::vector< std::string > lines = atom_lines( input, c.inputChain );
	ASSERT_GT( lines.size(), 100u );
	if ( c.moveFirst ) lines = moved( lines, 1234u + unsigned( c.name[ 0 ] ) * 7u + unsigned( c.name[ 5 ] ) );
	ASSERT_GT( ca_rmsd( lines, truth ), 8.0 ) << "the input must start away from the true place";
	{
		std::ofstream out( ( work + "/" + c.name + ".pdb" ).c_str() );
		for ( std::string const& l : lines ) out << l << "\n";
		out << "TER\nEND\n";
	}
	// The command line the assembly program builds (bindir ends in "/"), run
	// from its work directory.
	std::string const bindir = quilt_test::bin_dir() + "/";
	std::string const cmd = "cd " + shell_quote( work ) + " && " + shell_quote( bindir + "/Rasterseek" ) + " "
	                        + shell_quote( map ) + " " + shell_quote( work + "/" + c.name + ".pdb" ) + " " + shell_quote( c.name )
	                        + " -res " + doubleToString( c.resolution ) + " -deg " + doubleToString( 20.0 ) + " -explor "
	                        + intToString( 5 ) + " -nprocs " + intToString( 4 ) + " >FFTlog.txt";
	ASSERT_EQ( run( cmd ), 0 ) << cmd;
	std::vector< std::string > const in = lines_of( work + "/" + c.name + ".pdb" );
	std::vector< double > rmsd;
	for ( int k = 1; k <= 5; ++k ) {
		std::string const path = work + "/" + c.name + "_00" + std::to_string( k ) + ".pdb";
		ASSERT_TRUE( quilt_test::path_exists( path ) ) << path;
		std::vector< std::string > const res = lines_of( path );
		ASSERT_EQ( res.size(), in.size() );
		for ( std::size_t l = 0; l < in.size(); ++l ) {
			EXPECT_EQ( res[ l ].substr( 0, 30 ), in[ l ].substr( 0, 30 ) );
			if ( in[ l ].size() > 54 ) {
				EXPECT_EQ( res[ l ].substr( 54 ), in[ l ].substr( 54 ) );
			}
		}
		rmsd.push_back( ca_rmsd( atom_lines( path, ' ' ), truth ) );
	}
	EXPECT_FALSE( quilt_test::path_exists( work + "/" + c.name + "_006.pdb" ) );
	std::cout << c.name << ": CA RMSD of results 1-5:";
	for ( double r : rmsd ) std::cout << " " << r;
	std::cout << std::endl;
	EXPECT_LT( rmsd[ 0 ], 3.0 ) << c.name;
}

INSTANTIATE_TEST_SUITE_P( Complexes, RasterseekRealData,
	testing::Values( Case{ "2dqj_H", "complexes/2dqj/2dqj_10A_tempy.mrc", 10.0, "complexes/2dqj/2dqj_H.pdb", ' ',
		                 "complexes/2dqj/2DQJ.pdb", 'H', false },
		Case{ "2dqj_L", "complexes/2dqj/2dqj_10A_tempy.mrc", 10.0, "complexes/2dqj/2dqj_L.pdb", ' ', "complexes/2dqj/2DQJ.pdb",
			'L', false },
		Case{ "2dqj_Y", "complexes/2dqj/2dqj_10A_tempy.mrc", 10.0, "complexes/2dqj/2dqj_Y.pdb", ' ', "complexes/2dqj/2DQJ.pdb",
			'Y', false },
		Case{ "1z5s_A", "complexes/1z5s/1z5s_10.mrc", 10.0, "complexes/1z5s/1z5s_A.pdb", ' ', "complexes/1z5s/1z5s_A.pdb", ' ', true },
		Case{ "1z5s_B", "complexes/1z5s/1z5s_10.mrc", 10.0, "complexes/1z5s/1z5s_B.pdb", ' ', "complexes/1z5s/1z5s_B.pdb", ' ', true },
		Case{ "1z5s_C", "complexes/1z5s/1z5s_10.mrc", 10.0, "complexes/1z5s/1z5s_C.pdb", ' ', "complexes/1z5s/1z5s_C.pdb", ' ', true },
		Case{ "1z5s_D", "complexes/1z5s/1z5s_10.mrc", 10.0, "complexes/1z5s/1z5s_D.pdb", ' ', "complexes/1z5s/1z5s_D.pdb", ' ', true },
		Case{ "3mht_A", "complexes/3mht/3mht_sim6A.mrc", 6.0, "complexes/3mht/3mht.pdb", 'A', "complexes/3mht/3mht.pdb", 'A',
			true } ),
	[]( testing::TestParamInfo< Case > const& info ) { return std::string( info.param.name ); } );
