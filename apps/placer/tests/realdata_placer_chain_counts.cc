// Placer's two counts of a real first chain with residues without a CA at
// its end, followed by a second chain: the actin protomer of 3MFP (369
// residues, TER records at its three chain breaks) without the CA of its
// last ten residues, then TER and the adenylate kinase chain of 1akeA as
// chain B, fitted into EMD-5168.  The warning names the ten, the note the
// residues fitted; together they make the protomer's 369 residues.
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

std::vector<std::string> file_lines( std::string const& path )
{
	std::vector<std::string> out;
	std::ifstream in( path.c_str() );
	for ( std::string line; std::getline( in, line ); ) out.push_back( line );
	return out;
}

bool is_atom( std::string const& line ) { return line.compare( 0, 4, "ATOM" ) == 0 && line.size() >= 54; }

TEST( PlacerChainCounts, CaLessTailOfTheFilamentProtomerBeforeASecondChain )
{
	QUILT_REQUIRE_SHARED_DATA();
	std::string const actin = quilt_test::shared_file( "single/3MFP.pdb" );
	std::string const kinase = quilt_test::shared_file( "single/1akeA.pdb" );
	std::string const map = quilt_test::shared_file( "single/emd_5168.map" );
	for ( std::string const& f : { actin, kinase, map } )
		if ( !quilt_test::path_exists( f ) ) GTEST_SKIP() << f << " not present";
	quilt_test::ScratchDir dir( "placercounts" );

	// The protomer's ATOM lines and the TER records at its chain breaks, up
	// to its END; its residues as the file numbers them (columns 23-27).
	std::vector<std::string> lines;
	std::vector<std::string> residues;
	for ( std::string const& line : file_lines( actin ) ) {
		if ( line.compare( 0, 3, "END" ) == 0 ) break;
		if ( line.compare( 0, 3, "TER" ) == 0 ) lines.push_back( line );
		if ( !is_atom( line ) ) continue;
		lines.push_back( line );
		if ( residues.empty() || residues.back() != line.substr( 22, 5 ) ) residues.push_back( line.substr( 22, 5 ) );
	}
	ASSERT_EQ( residues.size(), 369u );
	int const tail = 10;
	std::set<std::string> const noCa( residues.end() - tail, residues.end() );

	std::ofstream out( dir.file( "two.pdb" ).c_str() );
	int atomsA = 0, atomsB = 0;
	for ( std::string const& line : lines ) {
		if ( is_atom( line ) ) {
			if ( line.substr( 12, 4 ) == " CA " && noCa.count( line.substr( 22, 5 ) ) ) continue;
			++atomsA;
		}
		out << line << "\n";
	}
	out << "TER\n";
	for ( std::string line : file_lines( kinase ) ) {
		if ( !is_atom( line ) ) continue;
		line[21] = 'B';
		out << line << "\n";
		++atomsB;
	}
	out << "TER\nEND\n";
	out.close();

	int status = -1;
	std::string const text = quilt_test::run_command(
		"cd '" + dir.path() + "' && '" + quilt_test::bin_dir() + "/Placer' '" + map + "' two.pdb 6.6 -sl 0 -rc 0", status );
	ASSERT_EQ( status, 0 ) << text;
	char* real = ::realpath( dir.path().c_str(), nullptr );
	std::string const where = real ? real : dir.path();
	std::free( real );
	std::string const warning = "Warning! 10 residues without a CA atom are left out of the fit.\n";
	std::string const note = "Placer> Note: only the " + std::to_string( atomsA ) + " atoms of the first chain of " + where
	                         + "/two.pdb (" + std::to_string( residues.size() - tail ) + " residues) are fitted; the other "
	                         + std::to_string( atomsB ) + " atom lines after it are moved with them as one rigid body.\n";
	EXPECT_NE( text.find( warning ), std::string::npos ) << text;
	EXPECT_NE( text.find( note ), std::string::npos ) << text;
	EXPECT_TRUE( quilt_test::path_exists( dir.file( "two_1.pdb" ) ) );
}

} // namespace
