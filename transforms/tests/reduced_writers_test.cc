// Reduced-model writers against reviewed golden files: backbone, centroid
// (count and name-driven forms) and CA trace; residue-type rules, widened
// fields and the refusal of tables too short for what is to be written.
#include "transforms/ReducedModelWriters.hh"

#include "testsupport/test_data.hh"
#include "transforms/tests/transforms_test_util.hh"

#include <gtest/gtest.h>

namespace {

using namespace transforms_test;

// Slot k of residue i (slots 0-6, N CA C O CB H SG): values exact in "%8.3f".
struct AtomTable {
	explicit AtomTable( int n ) : n( n ), table( new3DArr( n, 7, 3 ) )
	{
		for ( int i = 0; i < n; ++i )
			for ( int k = 0; k < 7; ++k ) {
				table[ i ][ k ][ 0 ] = i * 10 + k + 0.125;
				table[ i ][ k ][ 1 ] = -( i * 10 + k ) - 0.5;
				table[ i ][ k ][ 2 ] = 100.0 * i + k;
			}
	}
	~AtomTable() { release3DArr( n, 7, table ); }
	AtomTable( AtomTable const& ) = delete;
	AtomTable& operator=( AtomTable const& ) = delete;
	// The same slots as lists of points.
	std::vector< std::vector< double* > > lists() const
	{
		std::vector< std::vector< double* > > out( n );
		for ( int i = 0; i < n; ++i )
			for ( int k = 0; k < 7; ++k ) out[ i ].push_back( table[ i ][ k ] );
		return out;
	}
	int n;
	double*** table;
};

TEST( ReducedWriters, BackboneGolden )
{
	// Catches wrong slots, serials or residue numbers, and a chain identifier
	// in columns 21-22.
	quilt_test::ScratchDir dir( "reduced" );
	AtomTable t( 2 );
	outputBBmodel( dir.path(), "bb.pdb", 2, { "MET", "GLY" }, t.table );
	EXPECT_EQ( slurp( dir.file( "bb.pdb" ) ), slurp( golden( "reduced_backbone.pdb" ) ) );
	for ( std::string const& l : lines_of( slurp( dir.file( "bb.pdb" ) ) ) ) EXPECT_EQ( l.substr( 20, 2 ), "  " );

	// No residues: an empty file.
	outputBBmodel( dir.path(), "none.pdb", 0, {}, t.table );
	EXPECT_TRUE( quilt_test::path_exists( dir.file( "none.pdb" ) ) );
	EXPECT_EQ( slurp( dir.file( "none.pdb" ) ), "" );
}

TEST( ReducedWriters, CentroidGoldenAndResidueRules )
{
	// GLY: 4 lines, ALA: 5, SER: 6; serials 1..15.
	quilt_test::ScratchDir dir( "reduced" );
	AtomTable t( 3 );
	std::vector< std::string > const names = { "GLY", "ALA", "SER" };
	outputCentroidModel( dir.path(), "cen.pdb", 3, names, t.table );
	EXPECT_EQ( slurp( dir.file( "cen.pdb" ) ), slurp( golden( "reduced_centroid.pdb" ) ) );

	// The name-driven form with N, CA, C, O, CB, SG per residue gives the
	// same lines.
	std::vector< std::vector< std::string > > const atomNames( 3, { "N", "CA", "C", "O", "CB", "SG" } );
	outputCentroidModel( dir.path(), "named.pdb", names, t.lists(), atomNames );
	EXPECT_EQ( slurp( dir.file( "named.pdb" ) ), slurp( golden( "reduced_centroid.pdb" ) ) );

	// Names compare exactly: "gly" is not glycine; an atom named "H" is an
	// SG line from slot 6.
	outputCentroidModel( dir.path(), "lower.pdb", 1, { "gly" }, t.table );
	EXPECT_EQ( lines_of( slurp( dir.file( "lower.pdb" ) ) ).size(), 6u );
	outputCentroidModel( dir.path(), "h.pdb", { "SER" }, t.lists(), { { "CA", "H" } } );
	EXPECT_EQ( slurp( dir.file( "h.pdb" ) ), "ATOM      1  CA  SER     1       1.125  -1.500   1.000\n"
	                                         "ATOM      2  SG  SER     1       6.125  -6.500   6.000\n" );
}

TEST( ReducedWriters, CaTraceGoldenFromPoints )
{
	quilt_test::ScratchDir dir( "reduced" );
	AtomTable t( 3 );
	std::vector< double* > pts;
	for ( int i = 0; i < 3; ++i ) pts.push_back( t.table[ i ][ 1 ] );
	xyz2CA( pts, { "MET", "GLY", "LYS" }, dir.path(), "ca.pdb" );
	EXPECT_EQ( slurp( dir.file( "ca.pdb" ) ), slurp( golden( "reduced_ca.pdb" ) ) );
	// More points than names: only the named ones.
	xyz2CA( pts, { "MET" }, dir.path(), "one.pdb" );
	EXPECT_EQ( lines_of( slurp( dir.file( "one.pdb" ) ) ).size(), 1u );
}

TEST( ReducedWriters, WideSerialsAndResidueNumbersWidenTheLine )
{
	// Serial 100000 and residue number 10000 need six and five columns: the
	// fields widen and the coordinates move right instead of being cut.
	quilt_test::ScratchDir dir( "reduced" );
	int const n = 33334;
	double*** table = new3DArr( n, 3, 3 );
	outputBBmodel( dir.path(), "wide.pdb", n, std::vector< std::string >( n, "ALA" ), table );
	std::vector< std::string > const lines = lines_of( slurp( dir.file( "wide.pdb" ) ) );
	ASSERT_EQ( lines.size(), 100002u );
	EXPECT_EQ( lines[ 29997 ], "ATOM  29998  N   ALA  10000       0.000   0.000   0.000" );
	EXPECT_EQ( lines[ 99999 ], "ATOM  100000  N   ALA  33334       0.000   0.000   0.000" );
	release3DArr( n, 3, table );
}

TEST( ReducedWriters, TablesTooShortAreRefused )
{
	// Catches reads past the end of a residue's slot list or of the point
	// list: the writer says so and leaves no file.
	quilt_test::ScratchDir dir( "reduced" );
	AtomTable t( 1 );
	std::vector< std::vector< double* > > shortList = t.lists();
	shortList[ 0 ].resize( 5 ); // no slot 6 (SG)
	testing::internal::CaptureStdout();
	outputCentroidModel( dir.path(), "a.pdb", { "SER" }, shortList, { { "N", "SG" } } );
	outputCentroidModel( dir.path(), "b.pdb", { "SER", "ALA" }, t.lists(), { { "N" }, { "N" } } );
	xyz2CA( { t.table[ 0 ][ 1 ] }, { "MET", "GLY" }, dir.path(), "c.pdb" );
	outputBBmodel( dir.path(), "d.pdb", 2, { "MET" }, t.table );
	std::string const msg = testing::internal::GetCapturedStdout();
	EXPECT_NE( msg.find( "residue 1 has no coordinates for atom SG" ), std::string::npos ) << msg;
	for ( char const* f : { "a.pdb", "b.pdb", "c.pdb", "d.pdb" } ) EXPECT_FALSE( quilt_test::path_exists( dir.file( f ) ) ) << f;

	// Glycine and alanine need no slot 6: the short list is enough for them.
	outputCentroidModel( dir.path(), "e.pdb", { "ALA" }, shortList, { { "N", "CB", "SG" } } );
	EXPECT_EQ( lines_of( slurp( dir.file( "e.pdb" ) ) ).size(), 2u );
}

} // namespace
