// Input models as users hand them in: modified residues written as HETATM,
// waters and ligands, NMR-style ensembles and damaged lines, through the
// chain splitter, the chain identifiers, the nucleic-acid masking and the
// final model writer.
#include "apps/quilter/ChainSplitting.hh"
#include "apps/quilter/FinalModel.hh"
#include "apps/quilter/NucleicAcidMask.hh"
#include "testsupport/test_data.hh"

#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

std::string rec( char const* record, int serial, char const* name, char const* res, char chain, int resno,
	double x = 1.0 )
{
	char buf[ 128 ];
	std::snprintf( buf, sizeof buf, "%-6s%5d %-4s %3s %c%4d    %8.3f%8.3f%8.3f  1.00 20.00           C", record, serial,
		name, res, chain, resno, x, 2.0, 3.0 );
	return buf;
}

// Three backbone atoms of a residue, "ATOM" or "HETATM".
std::vector< std::string > residue( bool hetero, char const* res, char chain, int resno, int& serial )
{
	std::vector< std::string > out;
	for ( char const* name : { " N  ", " CA ", " C  " } )
		out.push_back( rec( hetero ? "HETATM" : "ATOM", serial++, name, res, chain, resno, resno ) );
	return out;
}

void append( std::vector< std::string >& to, std::vector< std::string > const& more )
{
	to.insert( to.end(), more.begin(), more.end() );
}

void write_lines( std::string const& path, std::vector< std::string > const& lines )
{
	std::ofstream out( path, std::ios::binary );
	for ( auto const& l : lines ) out << l << "\n";
}

std::vector< std::string > read_lines( std::string const& path )
{
	std::ifstream in( path, std::ios::binary );
	std::vector< std::string > lines;
	for ( std::string l; std::getline( in, l ); ) lines.push_back( l );
	return lines;
}

std::string slurp( std::string const& path )
{
	std::ifstream in( path, std::ios::binary );
	return std::string( std::istreambuf_iterator< char >( in ), std::istreambuf_iterator< char >() );
}

// Splits with standard output captured.
struct Split {
	std::vector< std::string > paths, keys;
	std::string out;
	Split( std::string const& file, bool readPastTer = true )
	{
		testing::internal::CaptureStdout();
		Split_PDB_chains( file, readPastTer, paths, keys, "" );
		out = testing::internal::GetCapturedStdout();
	}
};

} // namespace

// Catches modified residues (MSE, or TYR written as HETATM) dropped from
// the chain file: a run inside the chain, a chain that begins with one, one
// after a TER at a chain break; the chain file holds every line in order.
TEST( InputRecords, ModifiedResiduesStayInTheirChainFile )
{
	quilt_test::ScratchDir dir( "inputrecords" );
	int s = 1;
	std::vector< std::string > a, b;
	append( a, residue( true, "MSE", 'A', 1, s ) );
	append( a, residue( false, "ALA", 'A', 2, s ) );
	append( a, residue( true, "MSE", 'A', 3, s ) );
	append( a, residue( true, "TYR", 'A', 4, s ) );
	append( a, residue( false, "GLY", 'A', 5, s ) );
	append( b, residue( false, "ALA", 'B', 1, s ) );
	std::vector< std::string > afterBreak;
	append( afterBreak, residue( true, "MSE", 'B', 3, s ) );
	append( afterBreak, residue( false, "SER", 'B', 4, s ) );
	std::vector< std::string > file = { "HEADER    MODIFIED RESIDUES" };
	append( file, a );
	file.push_back( "TER" );
	append( file, b );
	file.push_back( "TER" );  // a break inside B
	append( file, afterBreak );
	file.push_back( "TER" );
	file.push_back( "END" );
	write_lines( dir.file( "m.pdb" ), file );

	Split split( dir.file( "m.pdb" ) );
	EXPECT_EQ( split.out, "" );  // nothing left out, nothing to say
	ASSERT_EQ( split.paths.size(), 2u );
	EXPECT_EQ( split.keys, ( std::vector< std::string >{ " A", " B" } ) );
	EXPECT_EQ( read_lines( split.paths[ 0 ] ), a );
	append( b, afterBreak );
	EXPECT_EQ( read_lines( split.paths[ 1 ] ), b );

	// The chain identifier of a chain file that begins with MSE, and the
	// renaming that keeps its modified residues.
	std::vector< std::string > ids;
	Get_All_ChainID( split.paths[ 0 ], ids );
	EXPECT_EQ( ids, ( std::vector< std::string >{ "A" } ) );
	int k = 3;
	Reorder_Allchains_ID( split.paths[ 0 ], k );
	std::vector< std::string > const renamed = read_lines( split.paths[ 0 ] );
	ASSERT_EQ( renamed.size(), a.size() );
	for ( std::size_t i = 0; i < a.size(); ++i ) {
		std::string want = a[ i ];
		want[ 21 ] = 'D';
		EXPECT_EQ( renamed[ i ], want );
	}

	// The first chain only, as the score report reads it.
	Split first( dir.file( "m.pdb" ), false );
	ASSERT_EQ( first.paths.size(), 1u );
	EXPECT_EQ( read_lines( first.paths[ 0 ] ), a );
}

// Catches waters and ligands made into chains or residues, and a warning per
// line: the hetero groups outside the chains are left out with one warning
// giving their count; a file of waters alone gives no chain.
TEST( InputRecords, WatersAndLigandsOutsideTheChainsAreCountedOnce )
{
	quilt_test::ScratchDir dir( "inputrecords" );
	int s = 1;
	std::vector< std::string > a;
	append( a, residue( false, "ALA", 'A', 1, s ) );
	append( a, residue( false, "GLY", 'A', 2, s ) );
	std::vector< std::string > file = a;
	file.push_back( "TER" );
	append( file, residue( true, "SAH", 'A', 301, s ) );  // ligand with a CA, after the chain
	for ( int w = 0; w < 5; ++w ) file.push_back( rec( "HETATM", s++, " O  ", "HOH", 'A', 401 + w ) );
	file.push_back( rec( "HETATM", s++, " O  ", "HOH", 'B', 501 ) );
	file.push_back( "END" );
	write_lines( dir.file( "lig.pdb" ), file );

	Split split( dir.file( "lig.pdb" ) );
	ASSERT_EQ( split.paths.size(), 1u );
	EXPECT_EQ( read_lines( split.paths[ 0 ] ), a );
	EXPECT_EQ( split.out, "Warning! 9 HETATM lines of lig.pdb (waters, ligands, ions) belong to no chain and are left out.\n" );

	write_lines( dir.file( "water.pdb" ), { rec( "HETATM", 1, " O  ", "HOH", 'A', 1 ), rec( "HETATM", 2, " O  ", "HOH", 'A', 2 ),
		                                     rec( "HETATM", 3, " CA ", "MSE", 'A', 3 ), "END" } );
	Split none( dir.file( "water.pdb" ) );
	EXPECT_TRUE( none.paths.empty() );
	EXPECT_TRUE( none.keys.empty() );
	EXPECT_EQ( quilt_test::occurrences( none.out, "Warning!" ), 1u ) << none.out;
	EXPECT_NE( none.out.find( "3 HETATM lines of water.pdb" ), std::string::npos ) << none.out;
}

// Catches an ensemble read as one body (three copies of every atom in one
// chain): the first model only, one warning that names the others.
TEST( InputRecords, EnsembleGivesItsFirstModelWithAWarning )
{
	quilt_test::ScratchDir dir( "inputrecords" );
	int s = 1;
	std::vector< std::string > first;
	append( first, residue( false, "ALA", 'H', 1, s ) );
	append( first, residue( true, "MSE", 'H', 2, s ) );
	std::vector< std::string > file;
	for ( int m = 1; m <= 3; ++m ) {
		file.push_back( "MODEL        " + std::to_string( m ) );
		for ( std::string l : first ) {
			if ( m > 1 ) l.replace( 30, 8, "  99.000" );  // the later models lie elsewhere
			file.push_back( l );
		}
		file.push_back( "TER" );
		file.push_back( "ENDMDL" );
	}
	file.push_back( "END" );
	write_lines( dir.file( "nmr.pdb" ), file );

	Split split( dir.file( "nmr.pdb" ) );
	ASSERT_EQ( split.paths.size(), 1u );
	EXPECT_EQ( read_lines( split.paths[ 0 ] ), first );
	EXPECT_EQ( split.out, "Warning! nmr.pdb holds 3 models; only the first is read, the other 2 are ignored.\n" );

	// Two models are an ensemble too.
	std::vector< std::string > two( file.begin(), file.begin() + 2 * static_cast< long >( first.size() + 3 ) );
	two.push_back( "END" );
	write_lines( dir.file( "pair.pdb" ), two );
	Split pair( dir.file( "pair.pdb" ) );
	ASSERT_EQ( pair.paths.size(), 1u );
	EXPECT_EQ( read_lines( pair.paths[ 0 ] ), first );
	EXPECT_EQ( pair.out, "Warning! pair.pdb holds 2 models; only the first is read, the other is ignored.\n" );

	// One model in MODEL/ENDMDL records: nothing to say.
	std::vector< std::string > single = { "MODEL        1" };
	append( single, first );
	single.push_back( "ENDMDL" );
	write_lines( dir.file( "one.pdb" ), single );
	Split one( dir.file( "one.pdb" ) );
	ASSERT_EQ( one.paths.size(), 1u );
	EXPECT_EQ( one.out, "" );
}

// Catches damaged lines that made phantom one-residue chains and renamed
// every chain, or vanished in silence: a multi-byte character in three atom
// names and NUL bytes before an atom line are reported once, with their line
// numbers, and the chains keep their identifiers.
TEST( InputRecords, UnreadableLinesAreReportedAndMakeNoChain )
{
	quilt_test::ScratchDir dir( "inputrecords" );
	int s = 1;
	std::vector< std::string > a, b;
	for ( int r = 1; r <= 4; ++r ) append( a, residue( false, "ALA", 'A', r, s ) );
	for ( int r = 1; r <= 3; ++r ) append( b, residue( false, "GLY", 'B', r, s ) );
	std::vector< std::string > file = { "HEADER    DAMAGED" };  // line 1
	append( file, a );                                      // lines 2-13
	file.push_back( "TER" );                                // line 14
	append( file, b );                                      // lines 15-23
	// A two-byte character in the atom names of lines 3, 8 and 16, NUL
	// bytes before line 20.
	for ( std::size_t line : { 3u, 8u, 16u } ) file[ line - 1 ].replace( 13, 1, "\xC3\x85" );
	file[ 19 ] = std::string( 100, '\0' ) + file[ 19 ];
	write_lines( dir.file( "bad.pdb" ), file );
	std::string const before = slurp( dir.file( "bad.pdb" ) );

	Split split( dir.file( "bad.pdb" ) );
	EXPECT_EQ( split.out,
		"Warning! 4 lines of bad.pdb cannot be read as atom records and are left out (lines 3, 8, 16, 20).\n" );
	ASSERT_EQ( split.paths.size(), 2u );
	EXPECT_EQ( split.keys, ( std::vector< std::string >{ " A", " B" } ) );
	EXPECT_EQ( read_lines( split.paths[ 0 ] ).size(), a.size() - 2 );
	EXPECT_EQ( read_lines( split.paths[ 1 ] ).size(), b.size() - 2 );
	std::vector< std::string > ids;
	for ( auto const& p : split.paths ) Get_All_ChainID( p, ids );
	EXPECT_FALSE( hasOverlapID( ids ) );  // no renaming of the chains
	EXPECT_EQ( slurp( dir.file( "bad.pdb" ) ), before );
}

// Catches modified residues left out of the assembled model, and waters of
// a result file let into it.
TEST( InputRecords, FinalModelKeepsTheChainsModifiedResidues )
{
	quilt_test::ScratchDir dir( "inputrecords" );
	int s = 1;
	std::vector< std::string > a;
	append( a, residue( true, "MSE", 'A', 1, s ) );
	append( a, residue( false, "ALA", 'A', 2, s ) );
	std::vector< std::string > withWater = a;
	withWater.push_back( rec( "HETATM", s++, " O  ", "HOH", 'A', 3 ) );
	write_lines( dir.file( "a.pdb" ), withWater );
	std::vector< std::string > b;
	append( b, residue( false, "GLY", 'B', 1, s ) );
	write_lines( dir.file( "b.pdb" ), b );
	ASSERT_TRUE( writeAssembledModel( dir.file( "model.pdb" ), { dir.file( "a.pdb" ), dir.file( "b.pdb" ) } ) );
	std::vector< std::string > want = a;
	want.push_back( "TER" );
	append( want, b );
	want.push_back( "TER" );
	EXPECT_EQ( read_lines( dir.file( "model.pdb" ) ), want );
}

// Catches modified nucleotides dropped or left masked: a HETATM residue of
// a nucleic-acid chain is masked with it and restored with it.
TEST( InputRecords, ModifiedNucleotideIsMaskedAndRestoredWithItsChain )
{
	quilt_test::ScratchDir dir( "inputrecords" );
	std::vector< std::string > const rna = { rec( "ATOM", 1, " P  ", "  G", 'B', 1 ), rec( "ATOM", 2, " C4'", "  G", 'B', 1 ),
		rec( "HETATM", 3, " P  ", "PSU", 'B', 2 ), rec( "HETATM", 4, " C4'", "PSU", 'B', 2 ),
		rec( "ATOM", 5, " C4'", "  U", 'B', 3 ) };
	write_lines( dir.file( "r.pdb" ), rna );
	std::vector< std::string > saved;
	testing::internal::CaptureStdout();
	Judge_Modify_NA_PDB( dir.file( "r.pdb" ), saved );
	testing::internal::GetCapturedStdout();
	EXPECT_EQ( saved, rna );
	std::vector< std::string > const masked = read_lines( dir.file( "r.pdb" ) );
	ASSERT_EQ( masked.size(), 5u );
	EXPECT_EQ( masked[ 3 ].substr( 0, 6 ), "HETATM" );
	EXPECT_EQ( masked[ 3 ].substr( 12, 8 ), " CA  ALA" );

	// The masked chain in a final model, restored.
	write_lines( dir.file( "model.pdb" ), masked );
	std::vector< std::vector< std::string > > copies = { saved };
	std::vector< std::string > naIds = { "B" };
	Restore_NA_PDB( dir.file( "model.pdb" ), copies, naIds );
	EXPECT_EQ( read_lines( dir.file( "model.pdb" ) ), rna );
	std::vector< std::string > ids = { "B" };
	EXPECT_TRUE( judge_is_na_pdb( dir.file( "model.pdb" ), ids ) );
}
