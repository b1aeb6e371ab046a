// Whole assemblies by the built Quilter program on inputs as users hand them
// in: the antibody heavy chain of 2DQJ with its MET residues written as
// HETATM MSE (and its TRP and TYR as HETATM), the same chain as an
// NMR-style ensemble, and a chain file with damaged lines.  The light chain
// and lysozyme go in as they are.  Each assembled chain is compared in place
// with its true position by CA atoms, the HETATM residues included.
#include "apps/quilter/ChainSplitting.hh"
#include "pdb_text_lines.hh"
#include "testsupport/test_data.hh"

#include <array>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <random>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace {

using Xyz = std::array< double, 3 >;

double coord( std::string const& l, int k ) { return std::stod( l.substr( 30 + 8 * k, 8 ) ); }

bool atom_line( std::string const& l ) { return l.rfind( "ATOM", 0 ) == 0 || l.rfind( "HETATM", 0 ) == 0; }

// The ATOM lines of chain `id` of a file.
std::vector< std::string > chain_lines( std::string const& path, char id )
{
	std::vector< std::string > out;
	std::ifstream in( path );
	for ( std::string l; std::getline( in, l ); )
		if ( l.rfind( "ATOM", 0 ) == 0 && l.size() >= 54 && l[ 21 ] == id ) out.push_back( l );
	return out;
}

using quilter_test::randomly_moved;

// MET as HETATM MSE (its SD a selenium), TRP and TYR as HETATM.
std::vector< std::string > as_hetero( std::vector< std::string > lines )
{
	for ( std::string& l : lines ) {
		std::string const res = l.substr( 17, 3 );
		if ( res != "MET" && res != "TRP" && res != "TYR" ) continue;
		l.replace( 0, 6, "HETATM" );
		if ( res != "MET" ) continue;
		l.replace( 17, 3, "MSE" );
		if ( l.substr( 12, 4 ) == " SD " ) l.replace( 12, 4, "SE  " );
		if ( l.size() >= 78 ) l.replace( 76, 2, "SE" );
	}
	return lines;
}

void write_lines( std::string const& path, std::vector< std::string > const& lines )
{
	std::ofstream f( path, std::ios::binary );
	for ( auto const& l : lines ) f << l << "\n";
}

int run( std::string const& cmd, std::string& out )
{
	out.clear();
	FILE* p = ::popen( ( cmd + " 2>&1" ).c_str(), "r" );
	char buf[ 4096 ];
	std::size_t n;
	while ( ( n = std::fread( buf, 1, sizeof buf, p ) ) > 0 ) out.append( buf, n );
	int const st = ::pclose( p );
	return WIFEXITED( st ) ? WEXITSTATUS( st ) : -1;
}

// CA atoms (ATOM and HETATM) of a file by chain identifier, then residue
// (columns 23-27), with their record names.
struct Trace {
	std::map< std::string, Xyz > ca;
	std::map< std::string, std::string > record;
};

std::map< char, Trace > traces( std::string const& path )
{
	std::map< char, Trace > out;
	std::ifstream in( path );
	for ( std::string l; std::getline( in, l ); ) {
		if ( !atom_line( l ) || l.size() < 54 || l.substr( 12, 4 ) != " CA " ) continue;
		Trace& t = out[ l[ 21 ] ];
		std::string const key = l.substr( 22, 5 );
		t.ca[ key ] = { coord( l, 0 ), coord( l, 1 ), coord( l, 2 ) };
		t.record[ key ] = l.substr( 0, 6 );
	}
	return out;
}

double distance( Xyz const& a, Xyz const& b )
{
	return std::sqrt( std::pow( a[ 0 ] - b[ 0 ], 2 ) + std::pow( a[ 1 ] - b[ 1 ], 2 ) + std::pow( a[ 2 ] - b[ 2 ], 2 ) );
}

// In-place CA RMSD of a model chain to the true chain over the true chain's
// residues; a large value when the model lacks one of them.
double rmsd( Trace const& model, Trace const& truth )
{
	double s = 0;
	for ( auto const& r : truth.ca ) {
		auto const it = model.ca.find( r.first );
		if ( it == model.ca.end() ) return 1e9;
		s += std::pow( distance( it->second, r.second ), 2 );
	}
	return std::sqrt( s / truth.ca.size() );
}

struct Assembly {
	quilt_test::ScratchDir data{ "quilt input records" };
	std::string out;
	int status = -1;
	std::map< char, Trace > model;
};

// Writes chain1.pdb (H, changed by `heavy`), chain2.pdb (L), chain3.pdb (Y),
// each moved away from its true place, runs Quilter and reads the model.
template < class Change >
void assemble( Assembly& a, Change heavy )
{
	std::string const pdb = quilt_test::shared_file( "complexes/2dqj/2DQJ.pdb" );
	std::mt19937 rng( 7 );
	std::vector< std::string > const h = randomly_moved( chain_lines( pdb, 'H' ), rng );
	write_lines( a.data.file( "chain1.pdb" ), heavy( h ) );
	write_lines( a.data.file( "chain2.pdb" ), randomly_moved( chain_lines( pdb, 'L' ), rng ) );
	write_lines( a.data.file( "chain3.pdb" ), randomly_moved( chain_lines( pdb, 'Y' ), rng ) );
	std::string const cmd = "'" + quilt_test::bin_dir() + "/Quilter' '" + a.data.path() + "' '"
	                        + quilt_test::shared_file( "complexes/2dqj/2dqj_10A_tempy.mrc" ) + "' 10 -nco 3";
	a.status = run( cmd, a.out );
	a.model = traces( a.data.file( "segCmodel1.pdb" ) );
}

std::map< char, Trace > true_traces()
{
	return traces( quilt_test::shared_file( "complexes/2dqj/2DQJ.pdb" ) );
}

} // namespace

// Catches the HETATM residues of a chain dropped from the assembled chain
// (16 of H's 114 residues missing) or left at their old place.
TEST( RealdataInputRecords, ModifiedResiduesAreAssembledInPlace )
{
	QUILT_REQUIRE_SHARED_DATA();
	Assembly a;
	assemble( a, as_hetero );
	ASSERT_EQ( a.status, 0 ) << a.out;
	std::map< char, Trace > const truth = true_traces();
	ASSERT_EQ( a.model.size(), 3u ) << a.out;
	Trace const& h = a.model[ 'H' ];
	EXPECT_EQ( h.ca.size(), 114u );
	int hetero = 0;
	for ( auto const& r : h.record ) {
		if ( r.second != "HETATM" ) continue;
		++hetero;
		EXPECT_LT( distance( h.ca.at( r.first ), truth.at( 'H' ).ca.at( r.first ) ), 3.0 ) << "residue " << r.first;
	}
	EXPECT_EQ( hetero, 16 );  // 1 MSE, 4 TRP, 11 TYR
	for ( char id : { 'H', 'L', 'Y' } ) EXPECT_LT( rmsd( a.model[ id ], truth.at( id ) ), 3.0 ) << id << "\n" << a.out;
}

// Catches an ensemble read as one body: three copies of every atom of H in
// one chain, the chains pushed off their places.
TEST( RealdataInputRecords, EnsembleIsAssembledFromItsFirstModel )
{
	QUILT_REQUIRE_SHARED_DATA();
	Assembly a;
	assemble( a, []( std::vector< std::string > const& h ) {
		std::vector< std::string > file;
		for ( int m = 1; m <= 3; ++m ) {
			file.push_back( "MODEL        " + std::to_string( m ) );
			for ( std::string l : h ) {
				char x[ 16 ];
				std::snprintf( x, sizeof x, "%8.3f", coord( l, 0 ) + ( m == 2 ? 30.0 : 0.0 ) );
				file.push_back( l.replace( 30, 8, x ) );
			}
			file.push_back( "ENDMDL" );
		}
		file.push_back( "END" );
		return file;
	} );
	ASSERT_EQ( a.status, 0 ) << a.out;
	EXPECT_EQ( quilt_test::occurrences( a.out, "Warning! chain1.pdb holds 3 models; only the first is read, the other 2 are ignored." ), 1u )
		<< a.out;
	std::map< char, Trace > const truth = true_traces();
	ASSERT_EQ( a.model.size(), 3u ) << a.out;
	std::size_t atoms = 0;
	{
		std::ifstream in( a.data.file( "segCmodel1.pdb" ) );
		for ( std::string l; std::getline( in, l ); ) atoms += atom_line( l ) && l[ 21 ] == 'H';
	}
	EXPECT_EQ( atoms, chain_lines( quilt_test::shared_file( "complexes/2dqj/2DQJ.pdb" ), 'H' ).size() );
	for ( char id : { 'H', 'L', 'Y' } ) EXPECT_LT( rmsd( a.model[ id ], truth.at( id ) ), 3.0 ) << id << "\n" << a.out;
}

// Catches damaged lines that made phantom chains and renamed every chain,
// or vanished in silence: a two-byte character in three atom names and 100
// NUL bytes before an atom line are reported with their line numbers; the
// three chains keep their identifiers and their places.
TEST( RealdataInputRecords, DamagedLinesAreReportedAndMakeNoChain )
{
	QUILT_REQUIRE_SHARED_DATA();
	Assembly a;
	std::vector< std::size_t > damaged;  // line numbers, from 1
	assemble( a, [ &damaged ]( std::vector< std::string > h ) {
		// Side-chain or backbone atoms other than the CA (the trace stays
		// whole): a two-byte character in the atom names of three lines,
		// 100 NUL bytes before a fourth.
		for ( std::size_t line : { 11u, 201u, 401u, 701u } ) {
			while ( h[ line - 1 ].substr( 12, 4 ) == " CA " ) ++line;
			damaged.push_back( line );
			std::string& l = h[ line - 1 ];
			if ( damaged.size() == 2 ) l = std::string( 100, '\0' ) + l;
			else l.replace( 13, 1, "\xC3\x85" );
		}
		return h;
	} );
	ASSERT_EQ( a.status, 0 ) << a.out;
	ASSERT_EQ( damaged.size(), 4u );
	std::string const numbers = std::to_string( damaged[ 0 ] ) + ", " + std::to_string( damaged[ 1 ] ) + ", "
	                            + std::to_string( damaged[ 2 ] ) + ", " + std::to_string( damaged[ 3 ] );
	EXPECT_EQ( quilt_test::occurrences( a.out, "Warning! 4 lines of chain1.pdb cannot be read as atom records and are left out (lines "
	                         + numbers + ")." ),
		1u )
		<< a.out;
	EXPECT_EQ( a.out.find( "Duplicate chain IDs" ), std::string::npos ) << a.out;
	std::map< char, Trace > const truth = true_traces();
	ASSERT_EQ( a.model.size(), 3u ) << a.out;
	for ( char id : { 'H', 'L', 'Y' } ) {
		ASSERT_TRUE( a.model.count( id ) ) << id;
		EXPECT_LT( rmsd( a.model[ id ], truth.at( id ) ), 3.0 ) << id << "\n" << a.out;
	}
}

// Catches the ligand and waters of a deposited protein-DNA complex made into
// chains or residues, or warned about line by line: its 26 SAH and 70 HOH
// lines after the chains are left out with one warning, the three chains
// keep all their atom lines.
TEST( RealdataInputRecords, DepositedLigandAndWatersAreLeftOutWithOneWarning )
{
	QUILT_REQUIRE_SHARED_DATA();
	quilt_test::ScratchDir dir( "quilt input records" );
	std::vector< std::string > paths, keys;
	testing::internal::CaptureStdout();
	Split_PDB_chains( quilt_test::shared_file( "complexes/3mht/3mht.pdb" ), true, paths, keys, dir.path() );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_EQ( out, "Warning! 96 HETATM lines of 3mht.pdb (waters, ligands, ions) belong to no chain and are left out.\n" );
	EXPECT_EQ( keys, ( std::vector< std::string >{ " C", " D", " A" } ) );
	ASSERT_EQ( paths.size(), 3u );
	for ( std::size_t k = 0; k < 3; ++k ) {
		std::ifstream in( paths[ k ] );
		std::size_t n = 0;
		for ( std::string l; std::getline( in, l ); ) {
			EXPECT_EQ( l.compare( 0, 4, "ATOM" ), 0 ) << l;
			++n;
		}
		EXPECT_EQ( n, chain_lines( quilt_test::shared_file( "complexes/3mht/3mht.pdb" ), keys[ k ][ 1 ] ).size() );
	}
}
