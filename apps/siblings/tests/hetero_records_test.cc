// The sibling programs on models with modified residues written as HETATM
// (MSE), waters and a second model: the chain model takes the modified
// residues as residues of the chain and the first model only, and the
// Rasterseek program moves every atom line by its one rigid placement.
#include "apps/siblings/chain_model.hh"
#include "apps/siblings/rasterseek_model.hh"
#include "apps/siblings/rasterseek_rotations.hh"
#include "apps/siblings/tests/rasterseek_test_files.hh"
#include "core/basic_fun_Quilt.hh"
#include "fitting/tests/synthetic_model.hh"
#include "testsupport/test_data.hh"
#include "tools/SimulatedMap.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <set>

using rasterseek_test::lines_of;

namespace {

using Vec = std::vector< double >;

Vec xyz( std::string const& l )
{
	return { std::atof( l.substr( 30, 8 ).c_str() ), std::atof( l.substr( 38, 8 ).c_str() ), std::atof( l.substr( 46, 8 ).c_str() ) };
}

double dist( Vec const& a, Vec const& b )
{
	return std::sqrt( ( a[ 0 ] - b[ 0 ] ) * ( a[ 0 ] - b[ 0 ] ) + ( a[ 1 ] - b[ 1 ] ) * ( a[ 1 ] - b[ 1 ] )
	                  + ( a[ 2 ] - b[ 2 ] ) * ( a[ 2 ] - b[ 2 ] ) );
}

bool atom_line( std::string const& l ) { return l.compare( 0, 4, "ATOM" ) == 0 || l.compare( 0, 6, "HETATM" ) == 0; }

// The ATOM lines of a model text with the residues in `mse` written as
// HETATM MSE; then TER, two waters, and a second model 30 A along x.
std::vector< std::string > hetero_model( std::string const& text, std::set< int > const& mse, std::vector< std::string >& chain )
{
	chain.clear();
	size_t at = 0;
	for ( size_t nl; ( nl = text.find( '\n', at ) ) != std::string::npos; at = nl + 1 ) {
		std::string l = text.substr( at, nl - at );
		if ( l.compare( 0, 4, "ATOM" ) != 0 ) continue;
		if ( mse.count( std::atoi( l.substr( 22, 4 ).c_str() ) ) ) l = "HETATM" + l.substr( 6, 11 ) + "MSE" + l.substr( 20 );
		chain.push_back( l );
	}
	std::vector< std::string > file = { "MODEL        1" };
	file.insert( file.end(), chain.begin(), chain.end() );
	file.push_back( "TER" );
	file.push_back( "HETATM  900  O   HOH A 500       3.000   4.000   5.000  1.00 30.00           O" );
	file.push_back( "HETATM  901  O   HOH A 501      -3.000   1.000   9.000  1.00 30.00           O" );
	file.push_back( "ENDMDL" );
	file.push_back( "MODEL        2" );
	for ( std::string l : chain ) {
		char f[ 16 ];
		std::snprintf( f, sizeof f, "%8.3f", xyz( l )[ 0 ] + 30.0 );
		file.push_back( l.replace( 30, 8, f ) );
	}
	file.push_back( "ENDMDL" );
	file.push_back( "END" );
	return file;
}

void write_lines( std::string const& path, std::vector< std::string > const& lines )
{
	std::ofstream out( path.c_str() );
	for ( auto const& l : lines ) out << l << "\n";
}

} // namespace

// Catches MSE residues missing from the chain the siblings search and cut
// into domains, waters taken for residues, and an ensemble read as one body
// (the rows of every line still line up with the writer's).
TEST( SiblingHeteroRecords, ChainModelTakesModifiedResiduesOfTheFirstModel )
{
	quilt_test::ScratchDir dir( "siblinghet" );
	std::vector< std::string > chain;
	std::vector< std::string > const file = hetero_model( synth::pdb_text( synth::make_model() ), { 1, 5, 6, 30 }, chain );
	write_lines( dir.file( "m.pdb" ), file );
	siblings::ChainModel m;
	std::string error;
	testing::internal::CaptureStdout();
	ASSERT_TRUE( siblings::read_chain_model( dir.file( "m.pdb" ), m, error ) ) << error;
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_NE( out.find( "holds 2 models; only the first is placed, the other 1 are moved with it" ), std::string::npos ) << out;

	int atomLines = 0;
	for ( auto const& l : file ) atomLines += atom_line( l );
	EXPECT_EQ( m.atom_count(), atomLines );  // every atom line is a row
	ASSERT_EQ( m.chains.size(), 1u );
	std::vector< int > const traced = m.traced_residues( 0 );
	ASSERT_EQ( traced.size(), 65u );  // all residues of the first model, the MSE ones too
	EXPECT_EQ( m.residues[ traced[ 0 ] ].number, 1 );
	EXPECT_EQ( m.residues[ traced[ 29 ] ].number, 30 );
	EXPECT_TRUE( m.is_trace_row( m.trace_atom( traced[ 0 ] ) ) );
	// Waters and the second model are rows of no residue.
	for ( int r = (int)chain.size(); r < m.atom_count(); ++r ) {
		EXPECT_EQ( m.rowResidue[ r ], -1 ) << r;
		EXPECT_FALSE( m.is_trace_row( r ) );
	}

	// Rasterseek's reading: the same rows, and only the first model's chain
	// atoms placed.
	rasterseek::ModelFile f;
	testing::internal::CaptureStdout();
	ASSERT_TRUE( rasterseek::read_model_file( dir.file( "m.pdb" ), f, error ) ) << error;
	testing::internal::GetCapturedStdout();
	EXPECT_EQ( f.rows.size(), 3u * atomLines );
	EXPECT_EQ( f.atoms.size(), chain.size() );
}

// Catches HETATM lines copied unmoved into Rasterseek's results: every atom
// line of the result is the input moved by one rigid motion, the modified
// residues land in place with the chain.
TEST( SiblingHeteroRecords, RasterseekMovesEveryAtomLineByItsPlacement )
{
	quilt_test::ScratchDir dir( "siblinghet" );
	std::vector< synth::Atom > const atoms = synth::make_model();
	std::vector< SimAtom > sim;
	for ( synth::Atom const& a : atoms ) sim.push_back( SimAtom{ a.p[ 0 ], a.p[ 1 ], a.p[ 2 ], 6.0 } );
	ASSERT_TRUE( write_mrc( dir.file( "map.mrc" ), simulate_density( sim, 8.0, 2.0, 12.0 ) ) );
	std::vector< synth::Atom > moved = atoms;
	double const axis[ 3 ] = { 0.0, 0.6, 0.8 };
	rasterseek::Rotation const r = rasterseek::axis_angle( axis, 2.0 );
	for ( synth::Atom& a : moved ) {
		double const p[ 3 ] = { a.p[ 0 ], a.p[ 1 ], a.p[ 2 ] };
		for ( int i = 0; i < 3; ++i ) a.p[ i ] = 8.0 + r.m[ i ][ 0 ] * p[ 0 ] + r.m[ i ][ 1 ] * p[ 1 ] + r.m[ i ][ 2 ] * p[ 2 ];
	}
	std::vector< std::string > chain;
	write_lines( dir.file( "A.pdb" ), hetero_model( synth::pdb_text( moved ), { 1, 5, 6, 30 }, chain ) );

	int status = -1;
	std::string const out = rasterseek_test::run( "cd " + shell_quote( dir.path() ) + " && "
		+ shell_quote( quilt_test::bin_dir() + "/Rasterseek" ) + " map.mrc A.pdb A -res 8 -deg 30 -explor 1", status );
	ASSERT_EQ( status, 0 ) << out;
	std::vector< std::string > const in = lines_of( dir.file( "A.pdb" ) );
	std::vector< std::string > const res = lines_of( dir.file( "A_001.pdb" ) );
	ASSERT_EQ( res.size(), in.size() );
	std::vector< Vec > before, after;
	std::vector< size_t > hetero;
	for ( size_t l = 0; l < in.size(); ++l ) {
		if ( !atom_line( in[ l ] ) ) {
			EXPECT_EQ( res[ l ], in[ l ] );
			continue;
		}
		EXPECT_EQ( res[ l ].substr( 0, 30 ), in[ l ].substr( 0, 30 ) );
		EXPECT_EQ( res[ l ].substr( 54 ), in[ l ].substr( 54 ) );
		if ( in[ l ].compare( 0, 6, "HETATM" ) == 0 ) hetero.push_back( before.size() );
		before.push_back( xyz( in[ l ] ) );
		after.push_back( xyz( res[ l ] ) );
	}
	ASSERT_EQ( hetero.size(), 4 * 5 * 2 + 2u );
	for ( size_t h : hetero ) {
		EXPECT_GT( dist( before[ h ], after[ h ] ), 1.0 ) << "HETATM row " << h << " not moved";
		for ( size_t a = 0; a < chain.size(); a += 17 )
			EXPECT_NEAR( dist( after[ h ], after[ a ] ), dist( before[ h ], before[ a ] ), 0.005 ) << h << " " << a;
	}
	double worst = 0.0;
	for ( size_t i = 0; i < atoms.size(); ++i )
		worst = std::max( worst, dist( after[ i ], { atoms[ i ].p[ 0 ], atoms[ i ].p[ 1 ], atoms[ i ].p[ 2 ] } ) );
	EXPECT_LT( worst, 1.5 ) << out;
}
