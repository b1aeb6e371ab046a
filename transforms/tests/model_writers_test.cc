// Writers of models assembled from residue lists: golden files for every
// kind (replacement, domain and chain moves, merges, insertion, line copy of
// several files), and the refusals of lists that do not fit their model.
#include "transforms/ModelWriters.hh"

#include "transforms/ModelOutput.hh"

#include "core/Protein.hh"
#include "testsupport/test_data.hh"
#include "transforms/tests/transforms_test_util.hh"

#include <gtest/gtest.h>

#include <array>

namespace {

using namespace transforms_test;

// Residues of the golden input: GLY (4 atoms), ALA (5), SER (6).
int const kAtoms = 15;

Protein input_model() { return Protein( golden( "writers_in.pdb" ), false ); }

// Row i = (i, 10 + i, -i / 2): every value exact in "%8.3f".
void fill_rows( Table& t )
{
	for ( int i = 0; i < t.n; ++i ) {
		t[ i ][ 0 ] = i;
		t[ i ][ 1 ] = 10.0 + i;
		t[ i ][ 2 ] = 0.0 - 0.5 * i; // no negative zero
	}
}

// CA rows of the input model and the same shifted by d per residue.
struct CaMove {
	CaMove( Protein& p, std::vector< std::array< double, 3 > > const& shift ) : before( 3 ), after( 3 )
	{
		for ( int r = 0; r < 3; ++r ) {
			double* ca = p.getIthResidueCAXYZ( r );
			for ( int c = 0; c < 3; ++c ) {
				before[ r ][ c ] = ca[ c ];
				after[ r ][ c ] = ca[ c ] + shift[ r ][ c ];
			}
			delete[] ca;
		}
	}
	Table before, after;
};

TEST( ModelWriters, CoordinateReplacementGoldenAndChainField )
{
	// Catches: rows taken in the wrong order, input columns leaking through,
	// residue numbers of the file instead of the sequential ones.
	quilt_test::ScratchDir dir( "writers" );
	Protein model = input_model();
	ASSERT_EQ( model.residues.size(), 3u );
	Table rows( kAtoms );
	fill_rows( rows );
	SaveModel( model, rows.p, dir.path(), "a.pdb" );
	EXPECT_EQ( slurp( dir.file( "a.pdb" ) ), slurp( golden( "writers_replaced.pdb" ) ) );

	SaveModel( dir.path(), "b.pdb", model, rows.p, "B" );
	std::string expectB = slurp( golden( "writers_replaced.pdb" ) );
	for ( std::size_t at = 0; at < expectB.size(); at = expectB.find( '\n', at ) + 1 ) {
		if ( expectB.compare( at, 4, "ATOM" ) == 0 ) expectB[ at + 21 ] = 'B'; // column 22
	}
	EXPECT_EQ( slurp( dir.file( "b.pdb" ) ), expectB );

	// A two-character identifier fills the field; a longer one widens it.
	SaveModel( dir.path(), "c.pdb", model, rows.p, "XYZ" );
	std::vector< std::string > const lines = lines_of( slurp( dir.file( "c.pdb" ) ) );
	EXPECT_EQ( lines[ 0 ], "ATOM      1  N   GLYXYZ   1       0.000  10.000   0.000  1.00  0.00" );
}

TEST( ModelWriters, ChainPerDomainGolden )
{
	// Residues 1 and 3 in domains 1 and 2, residue 2 in none: letters A, C, B
	// and a TER after each run.
	quilt_test::ScratchDir dir( "writers" );
	Table rows( kAtoms );
	fill_rows( rows );
	SaveModel( input_model(), rows.p, dir.path(), { { 1 }, { 3 } }, "d.pdb" );
	EXPECT_EQ( slurp( dir.file( "d.pdb" ) ), slurp( golden( "writers_chain_per_domain.pdb" ) ) );
}

TEST( ModelWriters, DomainMoveGolden )
{
	// One domain of all three residues moved by (10, 0, 0): the golden numbers
	// are the input's plus the shift.  (Two CAs leave the turn about their
	// own axis undefined, so the model is too short for two exact domains;
	// distinct moves of several domains are the next test's.)
	quilt_test::ScratchDir dir( "writers" );
	Protein model = input_model();
	double** atoms = model.getAllAtomXYZs();
	CaMove ca( model, { { { 10, 0, 0 } }, { { 10, 0, 0 } }, { { 10, 0, 0 } } } );
	SaveModel( model, { { 1, 2, 3 } }, atoms, ca.before.p, ca.after.p, dir.path(), "m.pdb" );
	EXPECT_EQ( slurp( dir.file( "m.pdb" ) ), slurp( golden( "writers_domain_move.pdb" ) ) );

	// The list form reads only its first array.
	double** junk = nullptr;
	SaveModel( model, { { 1, 2, 3 } }, std::vector< double** >{ atoms, junk }, ca.before.p, ca.after.p, dir.path(),
		"m2.pdb" );
	EXPECT_EQ( slurp( dir.file( "m2.pdb" ) ), slurp( dir.file( "m.pdb" ) ) );

	// Residues of no domain are written at the origin; a one-residue domain
	// moves by its CA's translation.
	SaveModel( model, { { 3 } }, atoms, ca.before.p, ca.after.p, dir.path(), "left.pdb" );
	std::vector< std::string > const lines = lines_of( slurp( dir.file( "left.pdb" ) ) );
	ASSERT_EQ( lines.size(), 16u );
	EXPECT_EQ( lines[ 0 ].substr( 30, 24 ), "   0.000   0.000   0.000" );
	EXPECT_EQ( lines[ 8 ].substr( 30, 24 ), "   0.000   0.000   0.000" );
	EXPECT_EQ( lines[ 9 ].substr( 30, 24 ), "  26.909   4.985  -4.474" );
	release2DArr( model.atomCount, atoms );
}

TEST( ModelWriters, ResidueOfTwoDomainsShowsTheLaterMove )
{
	// Domains {1, 2, 3} and {2}: residue 2's CA moves by (0, 20, 0), the
	// others by (10, 0, 0).  Residue 2 must carry the pure translation of the
	// one-residue domain, the others the least-squares move of the first.
	quilt_test::ScratchDir dir( "writers" );
	Protein model = input_model();
	double** atoms = model.getAllAtomXYZs();
	CaMove ca( model, { { { 10, 0, 0 } }, { { 0, 20, 0 } }, { { 10, 0, 0 } } } );
	SaveModel( model, { { 1, 2, 3 }, { 2 } }, atoms, ca.before.p, ca.after.p, dir.path(), "o.pdb" );
	double** whole = rotate_allatom( atoms, ca.before.p, ca.after.p, 3, kAtoms );
	std::vector< std::string > const lines = lines_of( slurp( dir.file( "o.pdb" ) ) );
	ASSERT_EQ( lines.size(), 16u );
	for ( int i = 0; i < kAtoms; ++i ) {
		bool const second = i >= 4 && i < 9;
		for ( int c = 0; c < 3; ++c ) {
			double const want = second ? atoms[ i ][ c ] + ( c == 1 ? 20.0 : 0.0 ) : whole[ i ][ c ];
			EXPECT_NEAR( std::stod( lines[ i ].substr( 30 + 8 * c, 8 ) ), want, 6e-4 ) << i << " " << c;
		}
	}
	release2DArr( kAtoms, whole );
	release2DArr( model.atomCount, atoms );
}

TEST( ModelWriters, ChainMoveFromModelsGolden )
{
	// Two chains from one model: chain A all three residues shifted by
	// (0, 0, 5); chain B only its first residue, by (0, 0, -5) (a single CA
	// moves by a pure translation).  The serial restarts in every chain, the
	// header comes first.
	quilt_test::ScratchDir dir( "writers" );
	Protein model = input_model();
	double** atoms = model.getAllAtomXYZs();
	CaMove shifted( model, { { { 0, 0, 5 } }, { { 0, 0, 5 } }, { { 0, 0, 5 } } } );
	CaMove still( model, { { { 0, 0, -5 } }, { { 0, 0, -5 } }, { { 0, 0, -5 } } } );
	int nCA[ 2 ] = { 3, 1 };
	int nAtoms[ 2 ] = { kAtoms, kAtoms };
	SaveModel( { model, model }, { "A", "B" }, nCA, nAtoms, { atoms, atoms }, { shifted.before.p, still.before.p },
		{ shifted.after.p, still.after.p }, dir.path(), "c.pdb", "REMARK two chains" );
	EXPECT_EQ( slurp( dir.file( "c.pdb" ) ), slurp( golden( "writers_chain_move.pdb" ) ) );

	// No chains: no file.
	SaveModel( std::vector< Protein >(), {}, nCA, nAtoms, {}, {}, {}, dir.path(), "none.pdb", "" );
	EXPECT_FALSE( quilt_test::path_exists( dir.file( "none.pdb" ) ) );
	release2DArr( model.atomCount, atoms );
}

TEST( ModelWriters, ChainMoveFromFilesTakesBlocksOfTheJoinedArrays )
{
	// The same two chains from files: the CA and atom rows of chain B follow
	// those of chain A in one array; the file starts with an empty line.
	quilt_test::ScratchDir dir( "writers" );
	Protein model = input_model();
	Table atoms( 2 * kAtoms );
	double** own = model.getAllAtomXYZs();
	for ( int i = 0; i < 2 * kAtoms; ++i )
		for ( int c = 0; c < 3; ++c ) atoms[ i ][ c ] = own[ i % kAtoms ][ c ];
	CaMove shifted( model, { { { 0, 0, 5 } }, { { 0, 0, 5 } }, { { 0, 0, 5 } } } );
	Table before( 4 ), after( 4 );
	for ( int r = 0; r < 4; ++r )
		for ( int c = 0; c < 3; ++c ) {
			before[ r ][ c ] = shifted.before[ r < 3 ? r : 0 ][ c ];
			after[ r ][ c ] = r < 3 ? shifted.after[ r ][ c ] : before[ r ][ c ] - ( c == 2 ? 5.0 : 0.0 );
		}
	testing::internal::CaptureStdout();
	SaveModel( { golden( "writers_in.pdb" ), golden( "writers_in.pdb" ) }, { "A", "B" }, { 3, 1 }, { kAtoms, kAtoms },
		{ atoms.p }, before.p, after.p, dir.path(), "f.pdb" );
	EXPECT_EQ( testing::internal::GetCapturedStdout(), "2\n" );
	std::string const expect = slurp( golden( "writers_chain_move.pdb" ) );
	EXPECT_EQ( slurp( dir.file( "f.pdb" ) ), "\n" + expect.substr( expect.find( '\n' ) + 1 ) );
	release2DArr( model.atomCount, own );

	testing::internal::CaptureStdout();
	SaveModel( std::vector< std::string >(), {}, {}, {}, {}, before.p, after.p, dir.path(), "none.pdb" );
	EXPECT_EQ( testing::internal::GetCapturedStdout(), "0\n" );
	EXPECT_FALSE( quilt_test::path_exists( dir.file( "none.pdb" ) ) );
}

TEST( ModelWriters, DomainMergeOrdersByIndexAndKeepsEachModelsNumbers )
{
	// Lists {5, 1, 3} and {2, 4}: written in the order 1 (domain 1), 2 (2),
	// 3 (1), 4 (2), 5 (1), under the numbers 2, 1, 3, 2, 1 of their own models.
	quilt_test::ScratchDir dir( "writers" );
	Protein d1 = input_model();
	Protein d2 = input_model();
	d2.residues.pop_back();
	Table rows1( kAtoms ), rows2( 9 );
	fill_rows( rows1 );
	for ( int i = 0; i < 9; ++i )
		for ( int c = 0; c < 3; ++c ) rows2[ i ][ c ] = 100.0 + i;
	SaveModel( dir.path(), "merged.pdb", std::vector< Protein >{ d1, d2 }, { rows1.p, rows2.p }, { { 5, 1, 3 }, { 2, 4 } } );
	EXPECT_EQ( slurp( dir.file( "merged.pdb" ) ), slurp( golden( "writers_merged.pdb" ) ) );

	SaveModel( dir.path(), "two.pdb", d1, d2, rows1.p, rows2.p, { 5, 1, 3 }, { 2, 4 } );
	EXPECT_EQ( slurp( dir.file( "two.pdb" ) ), slurp( dir.file( "merged.pdb" ) ) );

	// A merge without domains writes the closing TER only.
	SaveModel( dir.path(), "empty.pdb", std::vector< Protein >(), {}, {} );
	EXPECT_EQ( slurp( dir.file( "empty.pdb" ) ), "TER\n" );

	// A list longer than its model is refused.
	testing::internal::CaptureStdout();
	SaveModel( dir.path(), "bad.pdb", d1, d2, rows1.p, rows2.p, { 1, 2, 3 }, { 4, 5, 6 } );
	EXPECT_NE( testing::internal::GetCapturedStdout().find( "Error!" ), std::string::npos );
	EXPECT_FALSE( quilt_test::path_exists( dir.file( "bad.pdb" ) ) );
}

TEST( ModelWriters, InsertionPlacesBAfterTheCut )
{
	quilt_test::ScratchDir dir( "writers" );
	Protein a = input_model();
	Protein b = input_model();
	b.residues.erase( b.residues.begin(), b.residues.begin() + 2 ); // SER only
	Table rowsA( kAtoms ), rowsB( 6 );
	fill_rows( rowsA );
	for ( int i = 0; i < 6; ++i )
		for ( int c = 0; c < 3; ++c ) rowsB[ i ][ c ] = -1.0 - i;
	SaveModel( dir.path(), "after1.pdb", a, b, rowsA.p, rowsB.p, true, 0 );
	EXPECT_EQ( slurp( dir.file( "after1.pdb" ) ), slurp( golden( "writers_inserted.pdb" ) ) );

	// cut = -1: B first; cut = last: the same as no insertion.
	SaveModel( dir.path(), "first.pdb", a, b, rowsA.p, rowsB.p, true, -1 );
	std::vector< std::string > const first = lines_of( slurp( dir.file( "first.pdb" ) ) );
	EXPECT_EQ( first[ 0 ].substr( 0, 30 ), "ATOM      1  N   SER A   3    " );
	EXPECT_EQ( first[ 6 ].substr( 0, 30 ), "ATOM      7  N   GLY A   1    " );
	SaveModel( dir.path(), "end.pdb", a, b, rowsA.p, rowsB.p, true, 2 );
	SaveModel( dir.path(), "plain.pdb", a, b, rowsA.p, rowsB.p, false, 99 );
	EXPECT_EQ( slurp( dir.file( "end.pdb" ) ), slurp( dir.file( "plain.pdb" ) ) );

	testing::internal::CaptureStdout();
	SaveModel( dir.path(), "bad.pdb", a, b, rowsA.p, rowsB.p, true, 3 );
	EXPECT_NE( testing::internal::GetCapturedStdout().find( "Error!" ), std::string::npos );
	EXPECT_FALSE( quilt_test::path_exists( dir.file( "bad.pdb" ) ) );
}

TEST( ModelWriters, LineCopyOfSeveralFilesRestartsRowsPerFile )
{
	// Catches a row counter that runs on across files, and an unreadable
	// input that stops the copy or adds text.
	quilt_test::ScratchDir dir( "writers" );
	std::vector< double* > rows;
	double const values[ 8 ][ 3 ] = { { 1.0, 2.0, 3.0 }, { -1.2345, 0.0005, 1e3 }, { -999.9994, 9999.9994, 0.1 },
		{ 4.0, 5.0, 6.0 }, { -5.5, 6.25, 7.125 }, { 7.0, 8.0, 9.0 }, { -0.0004, 10.0, 11.0 }, { 12.0, 13.0, 14.0 } };
	for ( auto const& v : values ) rows.push_back( const_cast< double* >( v ) );
	testing::internal::CaptureStdout();
	SaveModel( { golden( "model_in.pdb" ), dir.file( "absent.pdb" ), golden( "model_in.pdb" ) }, dir.file( "all.pdb" ),
		{ rows, {}, rows } );
	EXPECT_NE( testing::internal::GetCapturedStdout().find( "Warning! Cannot read" ), std::string::npos );
	std::string const one = slurp( golden( "model_expected.pdb" ) );
	EXPECT_EQ( slurp( dir.file( "all.pdb" ) ), one + one );

	SaveModel( std::vector< std::string >(), dir.file( "none.pdb" ), {} );
	EXPECT_EQ( slurp( dir.file( "none.pdb" ) ), "" );
}

TEST( ModelWriters, DomainEntriesOutsideTheModelAreRefused )
{
	quilt_test::ScratchDir dir( "writers" );
	Protein model = input_model();
	Table rows( kAtoms );
	testing::internal::CaptureStdout();
	SaveModel( model, { { 1, 4 } }, rows.p, rows.p, rows.p, dir.path(), "bad.pdb" );
	SaveModel( model, rows.p, dir.path(), { { 0 } }, "bad2.pdb" );
	std::string const msg = testing::internal::GetCapturedStdout();
	EXPECT_NE( msg.find( "residue 4 of domain 1 lies outside 1..3" ), std::string::npos ) << msg;
	EXPECT_FALSE( quilt_test::path_exists( dir.file( "bad.pdb" ) ) );
	EXPECT_FALSE( quilt_test::path_exists( dir.file( "bad2.pdb" ) ) );

	// A model without residues writes the closing TER only.
	SaveModel( Protein(), rows.p, dir.path(), "empty.pdb" );
	EXPECT_EQ( slurp( dir.file( "empty.pdb" ) ), "TER\n" );
}

} // namespace
