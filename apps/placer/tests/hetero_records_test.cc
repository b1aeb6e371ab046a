// The Placer program on a model with modified residues written as HETATM
// (MSE), waters after the chain and a second model: every atom line comes
// back moved by the one fitted rigid motion, and the modified residues land
// on their true place with the chain.
#include "fitting/tests/synthetic_model.hh"
#include "testsupport/test_data.hh"
#include "tools/SimulatedMap.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <set>
#include <sys/wait.h>

namespace {

using Vec = std::vector<double>;

std::string run( std::string const& cmd )
{
	std::string out;
	FILE* p = ::popen( ( cmd + " 2>&1" ).c_str(), "r" );
	if ( !p ) return out;
	char buf[4096];
	size_t n;
	while ( ( n = std::fread( buf, 1, sizeof buf, p ) ) > 0 ) out.append( buf, n );
	::pclose( p );
	return out;
}

Vec xyz( std::string const& l )
{
	return { std::atof( l.substr( 30, 8 ).c_str() ), std::atof( l.substr( 38, 8 ).c_str() ), std::atof( l.substr( 46, 8 ).c_str() ) };
}

double dist( Vec const& a, Vec const& b )
{
	return std::sqrt( ( a[0] - b[0] ) * ( a[0] - b[0] ) + ( a[1] - b[1] ) * ( a[1] - b[1] ) + ( a[2] - b[2] ) * ( a[2] - b[2] ) );
}

std::vector<std::string> lines_of( std::string const& path )
{
	std::ifstream in( path.c_str() );
	std::vector<std::string> out;
	for ( std::string l; std::getline( in, l ); ) out.push_back( l );
	return out;
}

bool atom_line( std::string const& l ) { return l.compare( 0, 4, "ATOM" ) == 0 || l.compare( 0, 6, "HETATM" ) == 0; }

} // namespace

// Catches HETATM lines copied unmoved into the fitted model (the modified
// residues left at the old place) and rows that do not line up with lines.
TEST( PlacerHeteroRecords, ModifiedResiduesWatersAndLaterModelsMoveWithTheFit )
{
	ASSERT_TRUE( quilt_test::path_exists( quilt_test::bin_dir() + "/Placer" ) ) << "build the Placer program first";
	quilt_test::ScratchDir dir( "placerhet" );
	std::vector<synth::Atom> const truth = synth::make_model();
	std::vector<SimAtom> sim;
	for ( synth::Atom const& a : truth ) sim.push_back( { a.p[0], a.p[1], a.p[2], element_weight( a.name.substr( 0, 1 ) ) } );
	ASSERT_TRUE( write_mrc( dir.file( "map.mrc" ), simulate_density( sim, 6.0, 2.0, 14.0 ) ) );

	// The moved model: residues 1, 5-6 and 30 written as HETATM MSE, then
	// TER, three waters, and a second model (the same chain 20 A away).
	double const t[3] = { -9.0, 6.0, 8.0 };
	std::vector<synth::Atom> const mv = synth::moved( truth, 2.5, 1.9, 0.8, t );
	std::set<int> const mse = { 1, 5, 6, 30 };
	std::vector<std::string> chain;
	{
		std::string const text = synth::pdb_text( mv );
		size_t at = 0;
		for ( size_t nl; ( nl = text.find( '\n', at ) ) != std::string::npos; at = nl + 1 ) {
			std::string l = text.substr( at, nl - at );
			if ( l.compare( 0, 4, "ATOM" ) != 0 ) continue;
			if ( mse.count( std::atoi( l.substr( 22, 4 ).c_str() ) ) ) l = "HETATM" + l.substr( 6, 11 ) + "MSE" + l.substr( 20 );
			chain.push_back( l );
		}
	}
	std::vector<std::string> file = { "REMARK   a model with modified residues" };
	file.insert( file.end(), chain.begin(), chain.end() );
	file.push_back( "TER" );
	char water[128];
	for ( int w = 0; w < 3; ++w ) {
		std::snprintf( water, sizeof water, "HETATM%5d  O   HOH A%4d    %8.3f%8.3f%8.3f  1.00 30.00           O", 900 + w,
			500 + w, mv[10 * w].p[0] + 3.0, mv[10 * w].p[1], mv[10 * w].p[2] - 2.0 );
		file.push_back( water );
	}
	file.push_back( "ENDMDL" );
	file.push_back( "MODEL        2" );
	for ( std::string l : chain ) {
		char f[16];
		std::snprintf( f, sizeof f, "%8.3f", xyz( l )[0] + 20.0 );
		file.push_back( l.replace( 30, 8, f ) );
	}
	file.push_back( "ENDMDL" );
	file.push_back( "END" );
	{
		std::ofstream out( dir.file( "model.pdb" ).c_str() );
		for ( auto const& l : file ) out << l << "\n";
	}

	std::string const out = run( "cd '" + dir.path() + "' && '" + quilt_test::bin_dir() + "/Placer' map.mrc model.pdb 6 -sl 0 -rc 0" );
	std::vector<std::string> const in = lines_of( dir.file( "model.pdb" ) );
	std::vector<std::string> const fit = lines_of( dir.file( "model_1.pdb" ) );
	ASSERT_EQ( fit.size(), in.size() ) << out;

	// Every non-atom line unchanged; every atom line changed in its
	// coordinate columns only.
	std::vector<Vec> before, after;
	std::vector<size_t> hetero;
	for ( size_t i = 0; i < in.size(); ++i ) {
		if ( !atom_line( in[i] ) ) {
			EXPECT_EQ( fit[i], in[i] );
			continue;
		}
		EXPECT_EQ( fit[i].substr( 0, 30 ), in[i].substr( 0, 30 ) );
		EXPECT_EQ( fit[i].substr( 54 ), in[i].substr( 54 ) );
		if ( in[i].compare( 0, 6, "HETATM" ) == 0 ) hetero.push_back( before.size() );
		before.push_back( xyz( in[i] ) );
		after.push_back( xyz( fit[i] ) );
	}
	ASSERT_EQ( hetero.size(), 4 * 5 * 2 + 3u );

	// One rigid motion: every HETATM atom keeps its distances to the chain's
	// atoms (a rigid motion fixes a point from four such distances), up to
	// the three decimals of the file.
	for ( size_t h : hetero ) {
		EXPECT_GT( dist( before[h], after[h] ), 1.0 ) << "HETATM row " << h << " not moved";
		for ( size_t a = 0; a < chain.size(); a += 17 )
			EXPECT_NEAR( dist( after[h], after[a] ), dist( before[h], before[a] ), 0.005 ) << h << " " << a;
	}

	// The fitted chain is back in place, its MSE residues with it.
	double worst = 0.0;
	for ( size_t i = 0; i < truth.size(); ++i )
		worst = std::max( worst, dist( after[i], { truth[i].p[0], truth[i].p[1], truth[i].p[2] } ) );
	EXPECT_LT( worst, 1.5 ) << out;
}
