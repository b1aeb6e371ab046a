// The checks behind the assembly's refusals and warnings: whether a split map
// lies on the whole map, whether a placement lies on density, which chains of
// a model clash, the removal of the work directory on an interrupt, and the
// name of a started program in its warnings.
#include "apps/quilter/PlacementChecks.hh"
#include "apps/quilter/RunInterrupts.hh"
#include "apps/quilter/StartedPrograms.hh"
#include "quilter_test_util.hh"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using namespace quilter_test;
namespace fs = std::filesystem;

namespace {

std::vector< Point > shifted( std::vector< Point > p, double dx, double dy = 0.0, double dz = 0.0 )
{
	for ( Point& q : p ) {
		q.x += dx;
		q.y += dy;
		q.z += dz;
	}
	return p;
}

struct Maps {
	quilt_test::ScratchDir dir{ "quilt checks" };
	std::vector< Point > a = helix( 30, 0, 0, 0 ), b = helix( 24, 13, 0, 4, 1.0 );
	std::string fileA = dir.file( "a.pdb" ), fileB = dir.file( "b.pdb" );
	FastDensityScore whole;
	Maps()
	{
		write_chain( fileA, a, 'A' );
		write_chain( fileB, b, 'B' );
		simulate_map( { fileA, fileB }, dir.file( "whole.mrc" ) );
		whole = load_map( dir.file( "whole.mrc" ) );
	}
	// A map simulated from the points alone, on a box of its own.
	FastDensityScore map_of( const std::vector< Point >& p, const std::string& name )
	{
		write_chain( dir.file( name + ".pdb" ), p, 'X' );
		simulate_map( { dir.file( name + ".pdb" ) }, dir.file( name + ".mrc" ) );
		return load_map( dir.file( name + ".mrc" ) );
	}
};

} // namespace

TEST( PlacementChecks, SplitMapMustLieOnTheWholeMap )
{
	Maps m;
	ASSERT_TRUE( m.whole.isLoaded );
	EXPECT_TRUE( hasPositiveDensity( m.whole ) );
	// The part of one chain, on a box of its own (another origin and size):
	// all of it lies where the whole map has density.
	FastDensityScore const partA = m.map_of( m.a, "partA" );
	EXPECT_GT( densityOverlapFraction( partA, m.whole ), 0.95 );
	// The same chain 60 A away: outside the whole map's density.
	FastDensityScore const far = m.map_of( shifted( m.a, 60.0 ), "far" );
	EXPECT_LT( densityOverlapFraction( far, m.whole ), 0.01 );
	// Half of it beside the whole map's density (shifted past a helix
	// diameter along z, where the other chain does not reach).
	FastDensityScore const half = m.map_of( shifted( m.a, 0.0, 0.0, 22.5 ), "half" );
	double const f = densityOverlapFraction( half, m.whole );
	EXPECT_GT( f, 0.2 );
	EXPECT_LT( f, 0.8 );
	// A map without positive density lies nowhere.
	FastDensityScore empty = partA;
	farray::FArray3D< double >& d = empty.mutableDensity();
	for ( long l = 0; l < static_cast< long >( d.size() ); ++l ) d[ l ] = -d[ l ];
	EXPECT_FALSE( hasPositiveDensity( empty ) );
	EXPECT_EQ( densityOverlapFraction( empty, m.whole ), 0.0 );
	EXPECT_FALSE( hasPositiveDensity( FastDensityScore() ) );
}

TEST( PlacementChecks, PlacementMustLieOnDensityInsideTheMap )
{
	Maps m;
	PlacementOverlap const inPlace = placementOverlap( m.fileA, m.whole );
	EXPECT_GT( inPlace.correlation, 0.9 );
	EXPECT_GT( inPlace.voxelsWithDensity, 0 );
	EXPECT_DOUBLE_EQ( inPlace.insideBox, 1.0 );
	EXPECT_TRUE( inPlace.overlaps() );

	std::string const far = m.dir.file( "far.pdb" );
	write_chain( far, shifted( m.a, 500.0 ), 'A' );
	PlacementOverlap const off = placementOverlap( far, m.whole );
	EXPECT_EQ( off.insideBox, 0.0 );
	EXPECT_EQ( off.voxelsWithDensity, 0 );
	EXPECT_FALSE( off.overlaps() );

	// Two thirds of the helix above the top of the map's box: too little of
	// it inside to count, whatever its footprint correlates.
	std::string const out = m.dir.file( "out.pdb" );
	double const top = m.whole.voxelOrigin[ 2 ] + ( m.whole.density().u3() - 1 ) * m.whole.gridWidth;
	write_chain( out, shifted( m.a, 0.0, 0.0, top - 15.0 ), 'A' );
	PlacementOverlap const mostlyOut = placementOverlap( out, m.whole );
	EXPECT_GT( mostlyOut.insideBox, 0.2 );
	EXPECT_LT( mostlyOut.insideBox, 0.5 );
	EXPECT_FALSE( mostlyOut.overlaps() );
	// Inside the map, beside the density: its footprint anticorrelates.
	std::string const beside = m.dir.file( "beside.pdb" );
	write_chain( beside, shifted( m.a, -7.0 ), 'A' );
	PlacementOverlap const next = placementOverlap( beside, m.whole );
	EXPECT_DOUBLE_EQ( next.insideBox, 1.0 );
	EXPECT_LT( next.correlation, 0.0 );
	EXPECT_FALSE( next.overlaps() );
	// A missing file is no placement.
	EXPECT_FALSE( placementOverlap( m.dir.file( "none.pdb" ), m.whole ).overlaps() );
}

TEST( PlacementChecks, TracesAndClashesOfAModel )
{
	quilt_test::ScratchDir dir( "quilt clash" );
	std::string const f = dir.file( "model.pdb" );
	// Chain A (two residues, the second with its CA after other atoms), a
	// TER, chain B of two nucleotides (P atoms) that follows chain C without
	// a TER in between.
	std::ofstream( f ) << "ATOM      1  N   ALA A   1       9.000   9.000   9.000  1.00  0.00           N\n"
	                      "ATOM      2  CA  ALA A   1       0.000   0.000   0.000  1.00  0.00           C\n"
	                      "ATOM      3  N   ALA A   2       8.000   8.000   8.000  1.00  0.00           N\n"
	                      "HETATM    4  CA  MSE A   2       3.800   0.000   0.000  1.00  0.00           C\n"
	                      "TER\n"
	                      "ATOM      5  CA  GLY C   1       1.000   0.000   0.000  1.00  0.00           C\n"
	                      "ATOM      6  P    DA B   1       2.000   1.000   0.000  1.00  0.00           P\n"
	                      "ATOM      7  C1'  DA B   1      50.000   1.000   0.000  1.00  0.00           C\n"
	                      "ATOM      8  P    DT B   2      40.000   0.000   0.000  1.00  0.00           P\n"
	                      "END\n";
	std::vector< std::string > ids;
	auto const t = readChainTraces( f, ids );
	ASSERT_EQ( ids, ( std::vector< std::string >{ " A", " C", " B" } ) );
	ASSERT_EQ( t.size(), 3u );
	ASSERT_EQ( t[ 0 ].size(), 2u );
	EXPECT_EQ( t[ 0 ][ 1 ], ( std::vector< double >{ 3.8, 0.0, 0.0 } ) );
	ASSERT_EQ( t[ 1 ].size(), 1u );
	ASSERT_EQ( t[ 2 ].size(), 2u );
	EXPECT_EQ( t[ 2 ][ 0 ], ( std::vector< double >{ 2.0, 1.0, 0.0 } ) );
	// A-C: (0,0,0)-(1,0,0) 1 A and (3.8,0,0)-(1,0,0) 2.8 A; A-B: 2.24 A and
	// 2.0 A; C-B: 1.41 A.  A distance of exactly 3 A is not closer than 3 A.
	EXPECT_EQ( closeTracePairs( t[ 0 ], t[ 1 ], 3.0 ), 2 );
	EXPECT_EQ( closeTracePairs( t[ 0 ], t[ 2 ], 3.0 ), 2 );
	EXPECT_EQ( closeTracePairs( t[ 1 ], t[ 2 ], 3.0 ), 1 );
	EXPECT_EQ( closeTracePairs( t[ 0 ], t[ 1 ], 2.8 ), 1 );
	EXPECT_EQ( closeTracePairs( { { 0, 0, 0 } }, { { 3, 0, 0 } }, 3.0 ), 0 );
	EXPECT_EQ( closeTracePairs( t[ 0 ], {}, 3.0 ), 0 );

	// What the trace atoms are, as the clash warning names its pairs: the
	// protein chains by CA, the DNA chain by P, and a chain of both kinds
	// (a protein chain with a nucleotide ligand read as a residue) by both.
	std::vector< std::string > kinds;
	readChainTraces( f, ids, &kinds );
	EXPECT_EQ( kinds, ( std::vector< std::string >{ "CA", "CA", "P" } ) );
	std::string const g = dir.file( "mixed.pdb" );
	std::ofstream( g ) << "ATOM      1  CA  ALA A   1       0.000   0.000   0.000  1.00  0.00           C\n"
	                      "HETATM    2  P   ATP A   2       3.800   0.000   0.000  1.00  0.00           P\n"
	                      "TER\n"
	                      "ATOM      3  P    DA B   1       0.000   5.000   0.000  1.00  0.00           P\n"
	                      "END\n";
	readChainTraces( g, ids, &kinds );
	EXPECT_EQ( kinds, ( std::vector< std::string >{ "CA/P", "P" } ) );
	readChainTraces( dir.file( "none.pdb" ), ids, &kinds );
	EXPECT_TRUE( kinds.empty() );
}

TEST( PlacementChecks, MaskedNucleicAcidChainsAreTracedByTheirPhosphates )
{
	// A model as the assembly writes it on the mixed road: protein chain A,
	// and DNA chain C masked as a pseudo-protein chain (residues "ALA", the
	// C4' atoms named CA).  Its first nucleotide has no P atom.
	quilt_test::ScratchDir dir( "quilt masked" );
	std::string const f = dir.file( "model.pdb" );
	std::ofstream( f ) << "ATOM      1  CA  ALA A   1       0.000   0.000   0.000  1.00  0.00           C\n"
	                      "ATOM      2  CA  ALA A   2       3.800   0.000   0.000  1.00  0.00           C\n"
	                      "TER\n"
	                      "ATOM      3  CA  ALA C   1      20.000   0.000   0.000  1.00  0.00           C\n"
	                      "ATOM      4  P   ALA C   2       0.500   0.000   0.000  1.00  0.00           P\n"
	                      "ATOM      5  CA  ALA C   2      25.000   0.000   0.000  1.00  0.00           C\n"
	                      "ATOM      6  P   ALA C   3       3.800   1.000   0.000  1.00  0.00           P\n"
	                      "ATOM      7  CA  ALA C   3      30.000   0.000   0.000  1.00  0.00           C\n"
	                      "TER\n";
	std::vector< std::string > ids, kinds;
	auto const t = readChainTraces( f, ids, &kinds, { "C" } );
	ASSERT_EQ( ids, ( std::vector< std::string >{ " A", " C" } ) );
	EXPECT_EQ( kinds, ( std::vector< std::string >{ "CA", "P" } ) );
	ASSERT_EQ( t.size(), 2u );
	EXPECT_EQ( t[ 1 ], ( std::vector< std::vector< double > >{ { 0.5, 0.0, 0.0 }, { 3.8, 1.0, 0.0 } } ) );
	// (0,0,0)-(0.5,0,0) 0.5 A, (3.8,0,0)-(3.8,1,0) 1 A, the others 3.3 A
	// and more.
	EXPECT_EQ( closeTracePairs( t[ 0 ], t[ 1 ], 3.0 ), 2 );
	// Not named as a nucleic-acid chain, the masked chain is traced by its
	// C4' atoms, as a protein chain by its CA atoms; other identifiers
	// ("CC", a blank one) do not name it.
	auto const asProtein = readChainTraces( f, ids, &kinds, { "CC", "" } );
	EXPECT_EQ( kinds, ( std::vector< std::string >{ "CA", "CA" } ) );
	ASSERT_EQ( asProtein.size(), 2u );
	EXPECT_EQ( asProtein[ 1 ].size(), 3u );
	EXPECT_EQ( closeTracePairs( asProtein[ 0 ], asProtein[ 1 ], 3.0 ), 0 );
}

TEST( RunInterrupts, WorkTreeIsRemovedWithoutFollowingLinks )
{
	quilt_test::ScratchDir dir( "quilt tree" );
	std::string const work = dir.file( "segtempXYZ" );
	std::string const outside = dir.file( "outside" );
	fs::create_directories( work + "/match_rmv_1/DomSplit_a/deeper" );
	fs::create_directories( outside );
	std::ofstream( outside + "/keep.txt" ) << "keep";
	for ( int i = 0; i < 300; ++i )  // more entries than one directory read returns
		std::ofstream( work + "/match_rmv_1/file_with_a_long_name_" + std::to_string( i ) + ".pdb" ) << i;
	std::ofstream( work + "/match_rmv_1/DomSplit_a/deeper/x" ) << "x";
	fs::create_directory_symlink( outside, work + "/link_to_outside" );
	fs::create_symlink( outside + "/keep.txt", work + "/match_rmv_1/link_to_file" );
	EXPECT_TRUE( removeTreeSignalSafe( work.c_str() ) );
	EXPECT_FALSE( fs::exists( work ) );
	EXPECT_TRUE( fs::exists( outside + "/keep.txt" ) );
	// Nothing there is nothing to do.
	EXPECT_TRUE( removeTreeSignalSafe( work.c_str() ) );
	// A symbolic link given as the tree is not followed.
	fs::create_directory_symlink( outside, dir.file( "link" ) );
	EXPECT_FALSE( removeTreeSignalSafe( dir.file( "link" ).c_str() ) );
	EXPECT_TRUE( fs::exists( outside + "/keep.txt" ) );
}

TEST( StartedPrograms, ProgramNameOfACommandLine )
{
	EXPECT_EQ( programNameOf( rasterseekCommand( "/a b/it's/bin/", "m.mrc", "c.pdb", "c", 6.0, 5, 4 ) ), "Rasterseek" );
	EXPECT_EQ( programNameOf( placerCommand( "/opt/q", "m", "c", 6, 0, 0, 5 ) ), "Placer" );
	EXPECT_EQ( programNameOf( lobecutCommand( "/opt/q/", "abcdA", "log" ) ), "lobecut" );
	EXPECT_EQ( programNameOf( "  plain arg" ), "plain" );
	EXPECT_EQ( programNameOf( "" ), "" );
}
