// The moved-model rows of a file with modified residues (HETATM MSE),
// waters, a damaged line and a second model: the reader and the writer
// count the same lines, so a rigid motion applied to the rows read comes
// back as that motion of every atom line.
#include "transforms/ModelOutput.hh"

#include "core/basic_fun_Quilt.hh"
#include "testsupport/test_data.hh"
#include "transforms/tests/transforms_test_util.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <sstream>

namespace {

using transforms_test::slurp;
using transforms_test::spit;

std::string const kModel =
	"REMARK   modified residues, waters and two models\n"
	"MODEL        1\n"
	"HETATM    1  N   MSE A   1      11.104   6.134  -6.504  1.00  0.00           N\n"
	"HETATM    2  CA  MSE A   1      11.639   6.071  -5.147  1.00  0.00           C\n"
	"HETATM    3 SE   MSE A   1      13.000   7.500  -4.000  1.00  0.00          SE\n"
	"ATOM      4  N   ALA A   2      12.000   8.000  -3.000  1.00  0.00           N\n"
	"ANISOU    4  N   ALA A   2     1234   5678   9012    123    456    789       N\n"
	"ATOM      5  CA  ALA A   2      13.500   8.500  -2.000  1.00  0.00           C\n"
	"TER\n"
	"HETATM    6  O   HOH A 301       1.000   2.000   3.000  1.00 20.00           O\n"
	"ENDMDL\n"
	"MODEL        2\n"
	"HETATM    1  CA  MSE A   1      41.639   6.071  -5.147  1.00  0.00           C\n"
	"ATOM      5  CA  ALA A   2      43.500   8.500  -2.000  1.00  0.00           C\n"
	"ENDMDL\n"
	"END\n";

// x' = R x + t, R a quarter turn about z.
void motion( double const* p, double* out )
{
	out[0] = -p[1] + 5.0;
	out[1] = p[0] - 2.5;
	out[2] = p[2] + 1.0;
}

} // namespace

// Catches HETATM lines skipped by the reader or the writer (the modified
// residue and the water left at the old place, or rows shifted onto the
// wrong lines), and the first-chain count missing the modified residue.
TEST( HeteroRows, EveryAtomLineMovesByTheSameMotion )
{
	quilt_test::ScratchDir dir( "heterorows" );
	spit( dir.file( "in.pdb" ), kModel );
	int n = 0, first = 0;
	double** rows = read_model_atom_rows( dir.file( "in.pdb" ), n, first );
	ASSERT_EQ( n, 8 );      // 3 MSE + 2 ALA + water + 2 of the second model
	EXPECT_EQ( first, 5 );  // the first chain ends at its TER, MSE included
	EXPECT_DOUBLE_EQ( rows[2][0], 13.0 );
	EXPECT_DOUBLE_EQ( rows[5][2], 3.0 );
	EXPECT_DOUBLE_EQ( rows[6][0], 41.639 );
	double** moved = new2DArr( n, 3 );
	for ( int i = 0; i < n; ++i ) motion( rows[i], moved[i] );
	std::string problem;
	EXPECT_TRUE( check_model_atom_lines( dir.file( "in.pdb" ), problem ) ) << problem;
	testing::internal::CaptureStdout();
	ASSERT_TRUE( SaveModel( dir.file( "in.pdb" ), dir.file( "out.pdb" ), moved, n ) );
	EXPECT_EQ( testing::internal::GetCapturedStdout(), "" );  // no line left unmoved

	std::istringstream in( kModel ), out( slurp( dir.file( "out.pdb" ) ) );
	std::string a, b;
	int atoms = 0;
	while ( std::getline( in, a ) ) {
		ASSERT_TRUE( static_cast< bool >( std::getline( out, b ) ) );
		if ( !is_model_atom_line( a ) ) {
			EXPECT_EQ( b, a );
			continue;
		}
		++atoms;
		EXPECT_EQ( b.substr( 0, 30 ), a.substr( 0, 30 ) );
		EXPECT_EQ( b.substr( 54 ), a.substr( 54 ) );
		double const p[3] = { std::atof( a.substr( 30, 8 ).c_str() ), std::atof( a.substr( 38, 8 ).c_str() ),
			std::atof( a.substr( 46, 8 ).c_str() ) };
		double want[3];
		motion( p, want );
		for ( int c = 0; c < 3; ++c ) EXPECT_NEAR( std::atof( b.substr( 30 + 8 * c, 8 ).c_str() ), want[c], 6e-4 ) << a;
	}
	EXPECT_EQ( atoms, 8 );
	release2DArr( n, rows );
	release2DArr( n, moved );

	// A HETATM line that cannot take coordinates is refused like an ATOM line.
	spit( dir.file( "bad.pdb" ), "ATOM      1  CA  ALA A   1       1.000   2.000   3.000\n"
	                              "HETATM    2  O   HOH A   2       1.000     nan   3.000\n" );
	EXPECT_FALSE( check_model_atom_lines( dir.file( "bad.pdb" ), problem ) );
	EXPECT_NE( problem.find( "line 2" ), std::string::npos ) << problem;
}
