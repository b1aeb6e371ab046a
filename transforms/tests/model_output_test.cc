// Moved-model output: the PDB writer against reviewed golden files, its
// refusals, and the all-atom move recovered from moved CA atoms.
#include "transforms/ModelOutput.hh"

#include "core/basic_fun_Quilt.hh"
#include "testsupport/test_data.hh"
#include "transforms/tests/transforms_test_util.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

using transforms_test::golden;
using transforms_test::slurp;
using transforms_test::spit;

// Rows of the golden input's model atom lines: plain values, rounding
// cases, the widest coordinates "%8.3f" writes in eight columns and a
// negative zero.  Row 3 belongs to the 53-character line, which keeps its
// text; row 4 to the "HETATM" water, which moves with the model.
int const kRowCount = 8;
double const kRows[kRowCount][3] = { { 1.0, 2.0, 3.0 }, { -1.2345, 0.0005, 1e3 }, { -999.9994, 9999.9994, 0.1 },
	{ 4.0, 5.0, 6.0 }, { -5.5, 6.25, 7.125 }, { 7.0, 8.0, 9.0 }, { -0.0004, 10.0, 11.0 }, { 12.0, 13.0, 14.0 } };

struct Rows {
	explicit Rows( int n ) : n( n ), p( new2DArr( n, 3 ) )
	{
		for ( int i = 0; i < n; ++i )
			for ( int r = 0; r < 3; ++r ) p[i][r] = kRows[i][r];
	}
	~Rows() { release2DArr( n, p ); }
	int n;
	double** p;
};

TEST( SaveModel, RewritesOnlyTheCoordinateColumnsOfAtomLines )
{
	// Golden input: 54- and 53-character ATOM lines, HETATM, a CR line end,
	// an ATOM line after TER and a last line without newline.
	quilt_test::ScratchDir dir( "saveModel" );
	Rows rows( kRowCount );
	std::string const out = dir.file( "moved.pdb" );
	ASSERT_TRUE( SaveModel( golden( "model_in.pdb" ), out, rows.p, rows.n ) );
	EXPECT_EQ( slurp( out ), slurp( golden( "model_expected.pdb" ) ) );
	EXPECT_FALSE( quilt_test::path_exists( golden( "model_in.pdb.tmp" ) ) );
}

TEST( SaveModel, NeverReadsPastTheGivenRows )
{
	// Six rows for eight model atom lines: the last two lines stay as they were.
	quilt_test::ScratchDir dir( "saveModel" );
	Rows rows( 6 );
	std::string const out = dir.file( "moved.pdb" );
	testing::internal::CaptureStdout();
	ASSERT_TRUE( SaveModel( golden( "model_in.pdb" ), out, rows.p, rows.n ) );
	std::string const msg = testing::internal::GetCapturedStdout();
	EXPECT_NE( msg.find( "Warning! 2 atom lines" ), std::string::npos ) << msg;
	std::string const text = slurp( out );
	EXPECT_NE( text.find( "ATOM      7  CG  MET A   1      25.353  24.860   5.134" ), std::string::npos );
	EXPECT_NE( text.find( "ATOM      9  CA  GLY B   1       1.000   2.000   3.000" ), std::string::npos );
	EXPECT_NE( text.find( "ATOM      6  CB  MET A   1       7.000   8.000   9.000" ), std::string::npos );
}

TEST( SaveModel, RefusesCoordinatesTooWideForTheColumns )
{
	// A coordinate beyond -999.999 .. 9999.999 (or not finite) would widen
	// its field and shift every column after it: refused, no file left,
	// an existing file of that name kept.
	quilt_test::ScratchDir dir( "saveModel" );
	std::string const out = dir.file( "moved.pdb" );
	spit( out, "earlier result\n" );
	double const bad[][3] = { { -1000.0, 0.0, 0.0 }, { 0.0, 10000.0, 0.0 }, { 0.0, 0.0, -999.9996 },
		{ 0.0, 0.0, std::nan( "" ) }, { INFINITY, 0.0, 0.0 } };
	for ( auto const& b : bad ) {
		Rows rows( kRowCount );
		for ( int r = 0; r < 3; ++r ) rows.p[4][r] = b[r];
		testing::internal::CaptureStdout();
		EXPECT_FALSE( SaveModel( golden( "model_in.pdb" ), out, rows.p, rows.n ) ) << b[0] << " " << b[1] << " " << b[2];
		std::string const msg = testing::internal::GetCapturedStdout();
		EXPECT_NE( msg.find( "do not fit the PDB coordinate columns" ), std::string::npos ) << msg;
		EXPECT_EQ( slurp( out ), "earlier result\n" );
		int row = -1;
		EXPECT_FALSE( coordinates_fit_pdb_columns( rows.p, rows.n, &row ) );
		EXPECT_EQ( row, 4 );
	}
	Rows fine( kRowCount );
	EXPECT_TRUE( coordinates_fit_pdb_columns( fine.p, fine.n ) );
}

TEST( SaveModel, RefusesToWriteOntoItsOwnInput )
{
	quilt_test::ScratchDir dir( "saveModel" );
	std::string const in = dir.file( "model.pdb" );
	std::string const original = slurp( golden( "model_in.pdb" ) );
	spit( in, original );
	Rows rows( kRowCount );
	testing::internal::CaptureStdout();
	EXPECT_FALSE( SaveModel( in, in, rows.p, rows.n ) );
	// The same file through another spelling of its path.
	EXPECT_FALSE( SaveModel( in, dir.path() + "/./model.pdb", rows.p, rows.n ) );
	std::string const msg = testing::internal::GetCapturedStdout();
	EXPECT_NE( msg.find( "Error!" ), std::string::npos );
	EXPECT_EQ( slurp( in ), original );
}

TEST( SaveModel, MissingInputOrUnwritableOutputFailsWithoutAFile )
{
	quilt_test::ScratchDir dir( "saveModel" );
	Rows rows( 1 );
	testing::internal::CaptureStdout();
	EXPECT_FALSE( SaveModel( dir.file( "absent.pdb" ), dir.file( "out.pdb" ), rows.p, rows.n ) );
	EXPECT_FALSE( quilt_test::path_exists( dir.file( "out.pdb" ) ) );
	EXPECT_FALSE( SaveModel( golden( "model_in.pdb" ), dir.file( "no_such_dir/out.pdb" ), rows.p, rows.n ) );
	std::string const msg = testing::internal::GetCapturedStdout();
	EXPECT_NE( msg.find( "Error! Cannot read the model file" ), std::string::npos );
	EXPECT_NE( msg.find( "Error! Cannot write the model file" ), std::string::npos );
}

TEST( SaveModel, ReplacesAnExistingFileAndCopiesFilesWithoutAtoms )
{
	quilt_test::ScratchDir dir( "saveModel" );
	std::string const in = dir.file( "in.pdb" ), out = dir.file( "out.pdb" );
	spit( out, "old contents that must go\n" );
	spit( in, "" );
	EXPECT_TRUE( SaveModel( in, out, nullptr, 0 ) );
	EXPECT_EQ( slurp( out ), "" );
	spit( in, "HEADER    nothing to move\nREMARK no newline" );
	EXPECT_TRUE( SaveModel( in, out, nullptr, 0 ) );
	EXPECT_EQ( slurp( out ), "HEADER    nothing to move\nREMARK no newline\n" );
}

TEST( ModelAtomLine, RecordNameDecides )
{
	std::string const full = "ATOM      2  CA  MET A   1      26.266  25.413   2.842  1.00 10.38           C";
	EXPECT_TRUE( is_model_atom_line( full ) );
	EXPECT_TRUE( is_model_atom_line( full.substr( 0, 20 ) ) );
	// A "HETATM" record (a modified residue, a ligand, a water) moves with
	// the model too.
	EXPECT_TRUE( is_model_atom_line( "HETATM" + full.substr( 6 ) ) );
	EXPECT_FALSE( is_model_atom_line( "HETAT" ) );
	EXPECT_FALSE( is_model_atom_line( "ANISOU    2  CA  MET A   1     1234   5678" ) );
	EXPECT_FALSE( is_model_atom_line( "ATO" ) );
	EXPECT_FALSE( is_model_atom_line( "" ) );
}

TEST( ModelAtomRows, ReadBackWhatTheWriterWrote )
{
	// The reader and the writer agree on the rows: writing rows read from a
	// file back into it reproduces its coordinates, and the first chain ends
	// at "TER".
	int n = 0;
	double** rows = read_model_atom_rows( golden( "model_in.pdb" ), n, true );
	ASSERT_EQ( n, 7 );
	EXPECT_DOUBLE_EQ( rows[0][0], 27.340 );
	EXPECT_DOUBLE_EQ( rows[3][2], 4.26 ); // 53-character line: the z field is cut short
	EXPECT_DOUBLE_EQ( rows[4][0], 10.0 ); // the water
	EXPECT_DOUBLE_EQ( rows[6][1], 24.860 );
	release2DArr( n, rows );
	rows = read_model_atom_rows( golden( "model_expected.pdb" ), n, false );
	ASSERT_EQ( n, kRowCount );
	for ( int i = 0; i < kRowCount; ++i ) {
		if ( i == 3 ) continue; // short line
		for ( int r = 0; r < 3; ++r ) EXPECT_NEAR( rows[i][r], kRows[i][r], 5e-4 ) << i << " " << r;
	}
	release2DArr( n, rows );
	EXPECT_EQ( read_model_atom_rows( golden( "absent.pdb" ), n, true ), nullptr );
	EXPECT_EQ( n, 0 );
	// The whole file with the count of rows before the first "TER".
	int before = -1;
	rows = read_model_atom_rows( golden( "model_in.pdb" ), n, before );
	EXPECT_EQ( n, kRowCount );
	EXPECT_EQ( before, 7 );
	release2DArr( n, rows );
	rows = read_model_atom_rows( golden( "model_expected.pdb" ), n, before );
	EXPECT_EQ( before, 7 );
	release2DArr( n, rows );
	EXPECT_EQ( read_model_atom_rows( golden( "absent.pdb" ), n, before ), nullptr );
	EXPECT_EQ( before, 0 );
}

TEST( ModelAtomRows, FileWithoutTerCountsEveryRowBeforeIt )
{
	quilt_test::ScratchDir dir( "atomrows" );
	{
		std::ofstream f( dir.file( "a.pdb" ).c_str() );
		f << "ATOM      1  CA  ALA A   1       1.000   2.000   3.000  1.00  0.00\n"
		  << "ATOM      2  CA  ALA A   2       4.000   5.000   6.000  1.00  0.00\nEND\n";
	}
	int n = 0, before = 0;
	double** rows = read_model_atom_rows( dir.file( "a.pdb" ), n, before );
	EXPECT_EQ( n, 2 );
	EXPECT_EQ( before, 2 );
	EXPECT_DOUBLE_EQ( rows[1][2], 6.0 );
	release2DArr( n, rows );
}

TEST( ModelAtomRows, FirstChainEndsWhereTheModelReaderStops )
{
	// The rows of the first chain are those Protein::readPDB reads: through
	// a "TER" at a chain break, up to a "TER" before another chain.
	quilt_test::ScratchDir dir( "atomrows" );
	spit( dir.file( "a.pdb" ), "ATOM      1  CA  ALA A   1       1.000   2.000   3.000  1.00  0.00\nTER\n"
	                           "ATOM      2  CA  ALA A   3       4.000   5.000   6.000  1.00  0.00\nTER\n"
	                           "ATOM      3  CA  ALA B   1       7.000   8.000   9.000  1.00  0.00\nEND\n" );
	int n = 0, first = 0;
	double** rows = read_model_atom_rows( dir.file( "a.pdb" ), n, first );
	EXPECT_EQ( n, 3 );
	EXPECT_EQ( first, 2 );
	release2DArr( n, rows );
	rows = read_model_atom_rows( dir.file( "a.pdb" ), n, true );
	EXPECT_EQ( n, 2 );
	EXPECT_DOUBLE_EQ( rows[1][0], 4.0 );
	release2DArr( n, rows );
}

// ---------------------------------------------------------------- rotate_allatom

struct Coords {
	Coords( int n ) : n( n ), p( new2DArr( n, 3 ) ) {}
	~Coords() { release2DArr( n, p ); }
	int n;
	double** p;
};

TEST( RotateAllAtom, CarriesTheCaMoveToEveryAtom )
{
	// A known rigid move: rotation about a skew axis plus a shift.
	double R[3][3];
	get_rot_matrix( R, 0.7, 2.1, -1.3 );
	double const t[3] = { 12.0, -7.5, 3.25 };
	int const nAtoms = 40, nCA = 8;
	Coords atoms( nAtoms ), oldCA( nCA ), newCA( nCA );
	for ( int i = 0; i < nAtoms; ++i ) {
		atoms.p[i][0] = 10.0 * std::sin( 1.3 * i );
		atoms.p[i][1] = 8.0 * std::cos( 0.7 * i + 0.2 );
		atoms.p[i][2] = 0.5 * i - 9.0;
	}
	for ( int c = 0; c < nCA; ++c ) {
		for ( int r = 0; r < 3; ++r ) oldCA.p[c][r] = atoms.p[5 * c + 1][r];
		for ( int r = 0; r < 3; ++r )
			newCA.p[c][r] = t[r] + R[r][0] * oldCA.p[c][0] + R[r][1] * oldCA.p[c][1] + R[r][2] * oldCA.p[c][2];
	}
	double** moved = rotate_allatom( atoms.p, oldCA.p, newCA.p, nCA, nAtoms );
	for ( int i = 0; i < nAtoms; ++i )
		for ( int r = 0; r < 3; ++r ) {
			double const want =
				t[r] + R[r][0] * atoms.p[i][0] + R[r][1] * atoms.p[i][1] + R[r][2] * atoms.p[i][2];
			EXPECT_NEAR( moved[i][r], want, 1e-6 ) << i << " " << r;
		}
	release2DArr( nAtoms, moved );
	// The inputs are not changed.
	EXPECT_DOUBLE_EQ( atoms.p[3][2], 0.5 * 3 - 9.0 );
}

TEST( RotateAllAtom, PureTranslationAndNoCaAtoms )
{
	int const n = 5;
	Coords atoms( n ), oldCA( 3 ), newCA( 3 );
	for ( int i = 0; i < n; ++i )
		for ( int r = 0; r < 3; ++r ) atoms.p[i][r] = i * 1.5 + r * r - 2.0 * ( i % 2 );
	double const shift[3] = { 3.0, -4.0, 0.5 };
	for ( int c = 0; c < 3; ++c )
		for ( int r = 0; r < 3; ++r ) {
			oldCA.p[c][r] = atoms.p[c + 1][r];
			newCA.p[c][r] = oldCA.p[c][r] + shift[r];
		}
	double** moved = rotate_allatom( atoms.p, oldCA.p, newCA.p, 3, n );
	for ( int i = 0; i < n; ++i )
		for ( int r = 0; r < 3; ++r ) EXPECT_NEAR( moved[i][r], atoms.p[i][r] + shift[r], 1e-9 );
	release2DArr( n, moved );

	// Without CA atoms the superposition is the identity: an unchanged copy.
	double** copy = rotate_allatom( atoms.p, oldCA.p, newCA.p, 0, n );
	for ( int i = 0; i < n; ++i )
		for ( int r = 0; r < 3; ++r ) EXPECT_EQ( copy[i][r], atoms.p[i][r] );
	release2DArr( n, copy );
}

} // namespace
