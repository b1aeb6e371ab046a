// Rasterseek's files: the model's atom lines in, ranked line copies out.
#include "apps/siblings/rasterseek_model.hh"
#include "apps/siblings/tests/rasterseek_test_files.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <unistd.h>

using namespace rasterseek;
using rasterseek_test::entries;
using rasterseek_test::lines_of;

namespace {

std::string const kModel =
	"REMARK   1 a model\n"
	"ATOM      1  N   ALA A   1      11.104   6.134  -6.504  1.00  0.00           N\n"
	"ATOM      2  CA  ALA A   1      11.639   6.071  -5.147  1.00  0.00           C\n"
	"TER\n"
	"HETATM    3  O   HOH A   2       1.000   2.000   3.000  1.00  0.00           O\n"
	"ATOM      4 1HB  ALA B   1      -1.500   0.250  10.000  1.00  0.00           H\n"
	"ATOM      5  CA  ALA B   2       2.000\n"
	"END\n";

void write( std::string const& path, std::string const& text )
{
	std::ofstream( path.c_str() ) << text;
}

// Runs the test body in a directory and returns to the old one afterwards.
class InDirectory {
public:
	explicit InDirectory( std::string const& dir )
	{
		char buf[ 4096 ];
		old_ = ::getcwd( buf, sizeof buf ) ? buf : ".";
		ok_ = ::chdir( dir.c_str() ) == 0;
	}
	~InDirectory()
	{
		int const rc = ::chdir( old_.c_str() );
		(void)rc;
	}
	bool ok() const { return ok_; }

private:
	std::string old_;
	bool ok_;
};

Placement quarter_turn()
{
	// 90 degrees about z, then a shift.
	Placement p;
	double const u[ 3 ][ 3 ] = { { 0, -1, 0 }, { 1, 0, 0 }, { 0, 0, 1 } };
	for ( int i = 0; i < 3; ++i )
		for ( int j = 0; j < 3; ++j ) p.u[ i ][ j ] = u[ i ][ j ];
	p.t[ 0 ] = 5.0;
	p.t[ 1 ] = -2.5;
	p.t[ 2 ] = 1.0;
	return p;
}

} // namespace

// Catches atom lines lost or misnumbered: every ATOM and HETATM line counts
// as a row (also after TER), and only the chain atoms with three
// coordinates are placed (not the water); atom names give the element.
TEST( RasterseekModel, ReadsEveryAtomLineInFileOrder )
{
	quilt_test::ScratchDir dir( "rsmodel" );
	write( dir.file( "m.pdb" ), kModel );
	ModelFile m;
	std::string error;
	ASSERT_TRUE( read_model_file( dir.file( "m.pdb" ), m, error ) ) << error;
	ASSERT_EQ( m.rows.size(), 15u );
	ASSERT_EQ( m.atoms.size(), 3u );
	EXPECT_EQ( m.atoms[ 0 ].elt, "N" );
	EXPECT_EQ( m.atoms[ 1 ].elt, "CA" );
	EXPECT_EQ( m.atoms[ 2 ].elt, "HB" );
	EXPECT_DOUBLE_EQ( m.atoms[ 2 ].x, -1.5 );
	EXPECT_DOUBLE_EQ( m.rows[ 6 ], 1.0 );  // the water
	EXPECT_DOUBLE_EQ( m.rows[ 9 ], -1.5 );
	EXPECT_DOUBLE_EQ( m.rows[ 12 ], 2.0 );
}

// Catches unusable models being searched: missing, a directory, no atoms.
TEST( RasterseekModel, UnusableModelsAreRefused )
{
	quilt_test::ScratchDir dir( "rsmodel" );
	ModelFile m;
	std::string error;
	EXPECT_FALSE( read_model_file( dir.file( "missing.pdb" ), m, error ) );
	EXPECT_NE( error.find( "cannot read" ), std::string::npos );
	EXPECT_FALSE( read_model_file( dir.path(), m, error ) );
	write( dir.file( "het.pdb" ), "HETATM    3  O   HOH A   2       1.000   2.000   3.000\nEND\n" );
	EXPECT_FALSE( read_model_file( dir.file( "het.pdb" ), m, error ) );
	EXPECT_NE( error.find( "no atom records of a chain" ), std::string::npos );
}

// Catches a numbering the assembly program would not find: "_00" then the
// number, whatever its width.
TEST( RasterseekModel, ResultNamesFollowTheNumbering )
{
	EXPECT_EQ( result_file_name( "A", 1 ), "A_001.pdb" );
	EXPECT_EQ( result_file_name( "A_ft", 5 ), "A_ft_005.pdb" );
	EXPECT_EQ( result_file_name( "B", 12 ), "B_0012.pdb" );
}

// Catches results that are not line copies of the model: only the
// coordinate columns of ATOM and HETATM lines change, by the placement;
// other lines, and a line too short for coordinates, stay as they were.
TEST( RasterseekModel, ResultsAreLineCopiesWithMovedCoordinates )
{
	quilt_test::ScratchDir dir( "rsmodel" );
	write( dir.file( "m.pdb" ), kModel );
	ModelFile m;
	std::string error;
	ASSERT_TRUE( read_model_file( dir.file( "m.pdb" ), m, error ) );
	InDirectory here( dir.path() );
	ASSERT_TRUE( here.ok() );
	Placement const p = quarter_turn();
	ASSERT_TRUE( write_results( m, { p, p }, "A", 2, error ) ) << error;
	std::vector< std::string > const in = lines_of( "m.pdb" );
	for ( char const* name : { "A_001.pdb", "A_002.pdb" } ) {
		std::vector< std::string > const out = lines_of( name );
		ASSERT_EQ( out.size(), in.size() ) << name;
		int row = 0;
		for ( std::size_t l = 0; l < in.size(); ++l ) {
			bool const atomLine = in[ l ].compare( 0, 4, "ATOM" ) == 0 || in[ l ].compare( 0, 6, "HETATM" ) == 0;
			if ( !atomLine || in[ l ].size() < 54 ) {
				EXPECT_EQ( out[ l ], in[ l ] );
				continue;
			}
			EXPECT_EQ( out[ l ].substr( 0, 30 ), in[ l ].substr( 0, 30 ) );
			EXPECT_EQ( out[ l ].substr( 54 ), in[ l ].substr( 54 ) );
			double const x[ 3 ] = { std::atof( in[ l ].substr( 30, 8 ).c_str() ), std::atof( in[ l ].substr( 38, 8 ).c_str() ),
				std::atof( in[ l ].substr( 46, 8 ).c_str() ) };
			double const y[ 3 ] = { -x[ 1 ] + 5.0, x[ 0 ] - 2.5, x[ 2 ] + 1.0 };
			for ( int c = 0; c < 3; ++c ) EXPECT_NEAR( std::atof( out[ l ].substr( 30 + 8 * c, 8 ).c_str() ), y[ c ], 6e-4 );
			++row;
		}
		EXPECT_EQ( row, 4 ); // three chain atoms and the water
	}
	// Nothing else is left behind.
	EXPECT_EQ( entries( dir.path() ), ( std::vector< std::string >{ "A_001.pdb", "A_002.pdb", "m.pdb" } ) );
}

// Catches stale results of an earlier run being read as this run's: numbers
// beyond what was written, up to what was asked for, are removed; others
// stay.
TEST( RasterseekModel, StaleResultsUpToTheCountAskedAreRemoved )
{
	quilt_test::ScratchDir dir( "rsmodel" );
	write( dir.file( "m.pdb" ), kModel );
	for ( char const* old : { "A_003.pdb", "A_004.pdb", "A_006.pdb", "B_003.pdb" } ) write( dir.file( old ), "old\n" );
	ModelFile m;
	std::string error;
	ASSERT_TRUE( read_model_file( dir.file( "m.pdb" ), m, error ) );
	InDirectory here( dir.path() );
	ASSERT_TRUE( write_results( m, { quarter_turn(), quarter_turn() }, "A", 4, error ) ) << error;
	EXPECT_EQ( entries( dir.path() ),
		( std::vector< std::string >{ "A_001.pdb", "A_002.pdb", "A_006.pdb", "B_003.pdb", "m.pdb" } ) );
}

// Catches partial results after a failed write: with the model gone before
// the copies are made, no result and no temporary file is left, and an
// earlier result of the same name keeps its content.
TEST( RasterseekModel, FailedWriteLeavesNoResult )
{
	quilt_test::ScratchDir dir( "rsmodel" );
	write( dir.file( "m.pdb" ), kModel );
	write( dir.file( "A_001.pdb" ), "earlier\n" );
	ModelFile m;
	std::string error;
	ASSERT_TRUE( read_model_file( dir.file( "m.pdb" ), m, error ) );
	ASSERT_EQ( ::unlink( dir.file( "m.pdb" ).c_str() ), 0 );
	InDirectory here( dir.path() );
	EXPECT_FALSE( write_results( m, { quarter_turn(), quarter_turn() }, "A", 2, error ) );
	EXPECT_FALSE( error.empty() );
	EXPECT_EQ( entries( dir.path() ), ( std::vector< std::string >{ "A_001.pdb" } ) );
	EXPECT_EQ( lines_of( "A_001.pdb" ), ( std::vector< std::string >{ "earlier" } ) );
}

// Catches the model being overwritten by its own result.
TEST( RasterseekModel, ResultNeverReplacesTheModel )
{
	quilt_test::ScratchDir dir( "rsmodel" );
	write( dir.file( "A_001.pdb" ), kModel );
	ModelFile m;
	std::string error;
	ASSERT_TRUE( read_model_file( dir.file( "A_001.pdb" ), m, error ) );
	InDirectory here( dir.path() );
	EXPECT_FALSE( write_results( m, { quarter_turn() }, "A", 1, error ) );
	EXPECT_NE( error.find( "overwrite" ), std::string::npos );
	std::ostringstream now;
	now << std::ifstream( "A_001.pdb" ).rdbuf();
	EXPECT_EQ( now.str(), kModel );
	EXPECT_EQ( entries( dir.path() ), ( std::vector< std::string >{ "A_001.pdb" } ) );
}
