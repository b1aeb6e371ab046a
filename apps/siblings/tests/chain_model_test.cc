// The sibling programs' model reader, rigid transforms, option scanning and
// all-or-none result writing.
#include "apps/siblings/chain_model.hh"
#include "apps/siblings/rigid_fit.hh"
#include "apps/siblings/sibling_cli.hh"
#include "core/basic_fun_Quilt.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sys/stat.h>

using namespace siblings;

namespace {

void write_text( std::string const& path, std::string const& text )
{
	std::ofstream out( path.c_str() );
	out << text;
}

std::string atom( int serial, char const* name, int res, char chain, double x )
{
	char buf[100];
	std::snprintf( buf, sizeof buf, "ATOM  %5d %-4s GLY %c%4d    %8.3f%8.3f%8.3f  1.00 20.00", serial, name, chain, res,
		x, 1.0, 2.0 );
	return std::string( buf ) + "\n";
}

// Catches: a TER at a chain break splitting one chain, a TER between chains
// of one identifier not splitting them, rows miscounted against the writer.
TEST( ChainModel, ChainsFollowIdentifiersAndTerRecords )
{
	quilt_test::ScratchDir dir( "chainmodel" );
	std::string text = "HEADER    TEST\n" + atom( 1, "N", 1, 'A', 0 ) + atom( 2, "CA", 1, 'A', 1 ) + "TER\n" +
	                   atom( 3, "CA", 5, 'A', 2 ) + atom( 4, "P", 6, 'A', 3 ) + "TER\n" + atom( 5, "CA", 1, 'A', 4 ) +
	                   atom( 6, "CA", 2, 'B', 5 ) + "HETATM    7  O   HOH A   9       0.000   0.000   0.000\nEND\n";
	write_text( dir.file( "m.pdb" ), text );
	ChainModel m;
	std::string error;
	ASSERT_TRUE( read_chain_model( dir.file( "m.pdb" ), m, error ) ) << error;
	ASSERT_EQ( m.atom_count(), 7 ); // the water is a row (moved with the model) of no residue
	EXPECT_EQ( m.rowResidue[6], -1 );
	EXPECT_FALSE( m.is_trace_row( 6 ) );
	ASSERT_EQ( m.chains.size(), 3u ); // A (over the break), A again (numbering restarts), B
	EXPECT_EQ( m.chains[0].residues.size(), 3u );
	EXPECT_EQ( m.chains[1].residues.size(), 1u );
	EXPECT_EQ( m.chains[2].id, "B" );
	EXPECT_EQ( m.trace_atom( m.chains[0].residues[2] ), 3 ); // residue 6 has only P
	EXPECT_TRUE( m.is_trace_row( 1 ) );
	EXPECT_FALSE( m.is_trace_row( 0 ) );
	EXPECT_DOUBLE_EQ( m.xyz[5][0], 5.0 );
}

// Catches: an empty or missing model accepted.
TEST( ChainModel, FilesWithoutAtomsAreRefused )
{
	quilt_test::ScratchDir dir( "chainmodel" );
	write_text( dir.file( "empty.pdb" ), "HEADER\nEND\n" );
	ChainModel m;
	std::string error;
	EXPECT_FALSE( read_chain_model( dir.file( "empty.pdb" ), m, error ) );
	EXPECT_NE( error.find( "no atom record of a chain" ), std::string::npos );
	// Waters alone are no chain to place.
	write_text( dir.file( "water.pdb" ),
		"HETATM    1  O   HOH A   1       1.000   2.000   3.000  1.00  0.00           O\nEND\n" );
	EXPECT_FALSE( read_chain_model( dir.file( "water.pdb" ), m, error ) );
	EXPECT_NE( error.find( "no atom record of a chain" ), std::string::npos );
	EXPECT_FALSE( read_chain_model( dir.file( "missing.pdb" ), m, error ) );
}

// Catches: a pose converted with the wrong centre or order, composition in
// the wrong order.
TEST( RigidTransforms, EnginePoseAndCompositionMatchDirectApplication )
{
	double const x[6] = { 1.0, -2.0, 0.5, 0.3, 1.1, -0.7 };
	double const c[3] = { 4.0, 5.0, 6.0 };
	Rigid const m = pose_rigid( x, c );
	double R[3][3];
	get_rot_matrix( R, x[3], x[4], x[5] );
	Vec3 const p = { 7.0, -1.0, 2.0 };
	Vec3 const q = moved_point( m, p );
	for ( int r = 0; r < 3; ++r ) {
		double const expect = c[r] + x[r] + R[r][0] * ( p[0] - c[0] ) + R[r][1] * ( p[1] - c[1] ) + R[r][2] * ( p[2] - c[2] );
		EXPECT_NEAR( q[r], expect, 1e-12 );
	}
	Rigid const shift = translation( { 3, 0, 0 } );
	Vec3 const a = moved_point( compose( shift, m ), p ), b = moved_point( m, moved_point( shift, p ) );
	EXPECT_NEAR( a[0], q[0] + 3, 1e-12 );
	EXPECT_GT( std::fabs( b[0] - a[0] ) + std::fabs( b[1] - a[1] ) + std::fabs( b[2] - a[2] ), 1e-3 );
	double const quarter[6] = { 0, 0, 0, M_PI / 2, 0, 0 };
	EXPECT_NEAR( rotation_angle( pose_rigid( quarter, c ) ), 90.0, 1e-9 );
	EXPECT_NEAR( rotation_angle( Rigid() ), 0.0, 1e-9 );
}

// Catches: later occurrences winning, a trailing option read past the end,
// text taken for numbers.
TEST( SiblingOptions, FirstOccurrenceWinsAndBadNumbersAreRefused )
{
	char const* args[] = { "prog", "-nm", "5", "-dc", "x1", "-nm", "2", "-on" };
	char** argv = const_cast<char**>( args );
	int const argc = 8;
	bool ok = true;
	EXPECT_EQ( integer_option( argc, argv, "-nm", 1, 1, 100, ok ), 5 );
	EXPECT_TRUE( ok );
	EXPECT_EQ( option_value( argc, argv, "-on" ), nullptr );
	EXPECT_EQ( option_value( argc, argv, "-n" ), nullptr );
	number_option( argc, argv, "-dc", 0.0, -1.0, 1.0, ok );
	EXPECT_FALSE( ok );
	ok = true;
	number_argument( "nan", "resolution", 0.1, 100.0, ok );
	EXPECT_FALSE( ok );
	ok = true;
	EXPECT_DOUBLE_EQ( number_argument( "6.000000", "resolution", 0.1, 100.0, ok ), 6.0 );
	EXPECT_TRUE( ok );
	EXPECT_EQ( model_name( "/a/b/chainA.pdb" ), "chainA" );
	EXPECT_EQ( model_directory( "chainA.pdb" ), "." );
	EXPECT_EQ( model_directory( "/a b/chainA.pdb" ), "/a b" );
}

// Catches a reader that takes a later occurrence of a repeated option: the
// numbers, the text values and the list of every value, in order.
TEST( SiblingOptions, RepeatedOptionsGiveTheFirstValue )
{
	char const* args[] = { "prog", "-dc", "0.5", "-tp", "CA", "-nm", "3", "-dc", "-2", "-tp", "P", "-nm", "7" };
	char** argv = const_cast<char**>( args );
	int const argc = 13;
	bool ok = true;
	EXPECT_DOUBLE_EQ( number_option( argc, argv, "-dc", 0.0, -10.0, 10.0, ok ), 0.5 );
	EXPECT_EQ( integer_option( argc, argv, "-nm", 1, 1, 100, ok ), 3 );
	EXPECT_TRUE( ok );
	ASSERT_NE( option_value( argc, argv, "-tp" ), nullptr );
	EXPECT_STREQ( option_value( argc, argv, "-tp" ), "CA" );
	std::vector<char const*> const values = option_values( argc, argv, "-tp" );
	ASSERT_EQ( values.size(), 2u );
	EXPECT_STREQ( values[0], "CA" );
	EXPECT_STREQ( values[1], "P" );
	// Absent: the fallback.
	EXPECT_DOUBLE_EQ( number_option( argc, argv, "-gw", 1.5, 0.0, 10.0, ok ), 1.5 );
	EXPECT_EQ( integer_option( argc, argv, "-sl", 1, 0, 1, ok ), 1 );
	EXPECT_TRUE( ok );
}

// Catches: results written one by one (a failure leaving some), temporaries
// left behind, a copy that is not byte-identical.
TEST( ResultWriter, WritesAllOrNone )
{
	quilt_test::ScratchDir dir( "writer" );
	write_text( dir.file( "in.pdb" ), atom( 1, "CA", 1, 'A', 1.0 ) + "TER\n" );
	ChainModel m;
	std::string error;
	ASSERT_TRUE( read_chain_model( dir.file( "in.pdb" ), m, error ) );
	{
		ResultWriter w;
		ASSERT_TRUE( w.add_moved( m, dir.file( "a_1.pdb" ), { { 9.0, 8.0, 7.0 } } ) );
		ASSERT_TRUE( w.add_copy( dir.file( "in.pdb" ), dir.file( "a_2.pdb" ) ) );
		EXPECT_FALSE( quilt_test::path_exists( dir.file( "a_1.pdb" ) ) ); // nothing before the commit
		ASSERT_TRUE( w.commit() );
	}
	ChainModel back;
	ASSERT_TRUE( read_chain_model( dir.file( "a_1.pdb" ), back, error ) );
	EXPECT_DOUBLE_EQ( back.xyz[0][0], 9.0 );
	std::ifstream x( dir.file( "in.pdb" ).c_str() ), y( dir.file( "a_2.pdb" ).c_str() );
	std::string sx( ( std::istreambuf_iterator<char>( x ) ), std::istreambuf_iterator<char>() );
	std::string sy( ( std::istreambuf_iterator<char>( y ) ), std::istreambuf_iterator<char>() );
	EXPECT_EQ( sx, sy );
	{
		ResultWriter w;
		ASSERT_TRUE( w.add_moved( m, dir.file( "b_1.pdb" ), { { 1.0, 1.0, 1.0 } } ) );
		EXPECT_FALSE( w.add_moved( m, dir.file( "no such dir/b_2.pdb" ), { { 1.0, 1.0, 1.0 } } ) );
		// Not committed: the writer goes away and takes its temporaries along.
	}
	EXPECT_FALSE( quilt_test::path_exists( dir.file( "b_1.pdb" ) ) );
	int files = 0;
	std::string const cmd = "ls -A '" + dir.path() + "' | wc -l";
	FILE* p = ::popen( cmd.c_str(), "r" );
	ASSERT_EQ( std::fscanf( p, "%d", &files ), 1 );
	::pclose( p );
	EXPECT_EQ( files, 3 ); // in, a_1, a_2
}

// Catches temporaries under a name that can be foreseen (the result's name
// and the process id): a file that is already there under such a name, or a
// link from it to an input, must come through a write untouched.
TEST( ResultWriter, TemporariesNeverTakeAnExistingName )
{
	quilt_test::ScratchDir dir( "writer" );
	write_text( dir.file( "in.pdb" ), atom( 1, "CA", 1, 'A', 1.0 ) + "TER\n" );
	std::string const pid = std::to_string( (long)::getpid() );
	write_text( dir.file( "c_1.pdb.part" + pid ), "keep me\n" );
	std::string const link = dir.file( "c_2.pdb.part" + pid );
	ASSERT_EQ( ::symlink( dir.file( "in.pdb" ).c_str(), link.c_str() ), 0 );
	std::ifstream original( dir.file( "in.pdb" ).c_str() );
	std::string const before( ( std::istreambuf_iterator<char>( original ) ), std::istreambuf_iterator<char>() );
	ChainModel m;
	std::string error;
	ASSERT_TRUE( read_chain_model( dir.file( "in.pdb" ), m, error ) );
	{
		ResultWriter w;
		ASSERT_TRUE( w.add_moved( m, dir.file( "c_1.pdb" ), { { 9.0, 8.0, 7.0 } } ) );
		ASSERT_TRUE( w.add_copy( dir.file( "in.pdb" ), dir.file( "c_2.pdb" ) ) );
		ASSERT_TRUE( w.commit() );
	}
	std::ifstream copy( dir.file( "c_2.pdb" ).c_str() );
	EXPECT_EQ( std::string( ( std::istreambuf_iterator<char>( copy ) ), std::istreambuf_iterator<char>() ), before );
	std::ifstream kept( dir.file( "c_1.pdb.part" + pid ).c_str() ), in( dir.file( "in.pdb" ).c_str() );
	std::string const k( ( std::istreambuf_iterator<char>( kept ) ), std::istreambuf_iterator<char>() );
	std::string const after( ( std::istreambuf_iterator<char>( in ) ), std::istreambuf_iterator<char>() );
	EXPECT_EQ( k, "keep me\n" );
	EXPECT_EQ( after, before );
	EXPECT_TRUE( quilt_test::path_exists( dir.file( "c_1.pdb" ) ) );
}

} // namespace
