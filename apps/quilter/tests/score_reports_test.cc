// Score reports: a known three-chain model against density simulated from
// it ("score.txt" and "CC_score.txt" in their exact formats, chains in key
// order, chain files cleaned up, MolProbity absent), the TM-score estimate,
// the confidence-table conversion, the FASTA writer, the DSSP reader (DSSP
// absent, and a DSSP file given), z-scores, the model rearrangement and the
// string sort.
#include "apps/quilter/ScoreReports.hh"

#include "alignment/tests/ca_trace_maker.hh"
#include "core/basic_fun_Quilt.hh"
#include "testsupport/test_data.hh"
#include "tools/SimulatedMap.hh"
#include "transforms/tests/transforms_test_util.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <regex>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using transforms_test::lines_of;
using transforms_test::slurp;
using transforms_test::spit;

// Runs a block in another working directory and comes back (the FSC
// report and DSSP write into the current directory).
struct InDirectory {
	explicit InDirectory( std::string const& dir )
	{
		char buf[ 4096 ];
		if ( ::getcwd( buf, sizeof buf ) ) old = buf;
		if ( ::chdir( dir.c_str() ) != 0 ) old.clear();
	}
	~InDirectory()
	{
		if ( !old.empty() && ::chdir( old.c_str() ) != 0 ) std::perror( "chdir" );
	}
	std::string old;
};

// A protein-like model: chains B, A and C (in this file order) of 12, 9 and
// 15 residues along CA traces with 3.8 A links, each residue with N, CA,
// C, O and (but for glycine) CB and one more side-chain atom.
std::string three_chain_model( double shift = 0.0 )
{
	std::string const chains = "BAC";
	int const lengths[ 3 ] = { 12, 9, 15 };
	char const* names[ 4 ] = { "LEU", "GLY", "SER", "LYS" };
	std::string text = "REMARK three chains\n";
	int serial = 1;
	for ( int c = 0; c < 3; ++c ) {
		align_test::Trace const tr = align_test::make_trace( lengths[ c ], 30u + c );
		for ( int i = 0; i < lengths[ c ]; ++i ) {
			std::string const res = names[ i % 4 ];
			double const o[ 3 ] = { tr[ i ][ 0 ] + 14.0 * c + shift, tr[ i ][ 1 ] - 9.0 * c, tr[ i ][ 2 ] + 6.0 * ( c % 2 ) };
			struct Atom {
				char const* name;
				double d[ 3 ];
				char el;
			};
			std::vector< Atom > atoms = { { "N", { -1.2, 0.8, 0.0 }, 'N' }, { "CA", { 0, 0, 0 }, 'C' },
				{ "C", { 1.2, 0.7, 0.2 }, 'C' }, { "O", { 1.9, 1.6, -0.3 }, 'O' } };
			if ( res != "GLY" ) {
				atoms.push_back( { "CB", { 0.0, -0.9, 1.2 }, 'C' } );
				atoms.push_back( { res == "SER" ? "OG" : "CG", { 0.3, -1.5, 2.4 }, res == "SER" ? 'O' : 'C' } );
			}
			for ( Atom const& a : atoms ) {
				char line[ 100 ];
				std::snprintf( line, sizeof line, "ATOM  %5d  %-3s %3s %c%4d    %8.3f%8.3f%8.3f  1.00 20.00           %c\n",
					serial++, a.name, res.c_str(), chains[ c ], i + 1, o[ 0 ] + a.d[ 0 ], o[ 1 ] + a.d[ 1 ], o[ 2 ] + a.d[ 2 ], a.el );
				text += line;
			}
		}
		text += "TER\n";
	}
	return text + "END\n";
}

// The model and a 6 A map simulated from it, loaded.
struct ModelAndMap {
	ModelAndMap() : dir( "reports" )
	{
		model = dir.file( "model.pdb" );
		spit( model, three_chain_model() );
		std::vector< SimAtom > atoms;
		EXPECT_TRUE( read_sim_atoms( model, atoms ) );
		EXPECT_TRUE( write_mrc( dir.file( "map.mrc" ), simulate_density( atoms, 6.0, 2.0, 10.0 ) ) );
		EXPECT_TRUE( map.readDensityMap( dir.file( "map.mrc" ), 6.0, 0.0, 0.0, true ) );
		::mkdir( dir.file( "out" ).c_str(), 0755 );
	}
	quilt_test::ScratchDir dir;
	std::string model;
	FastDensityScore map;
};

// "%10.2f" fields separated by ",".
std::vector< double > fields_of( std::string const& text, std::size_t expected )
{
	std::vector< double > out;
	std::size_t at = 0;
	while ( at < text.size() ) {
		std::size_t const comma = text.find( ',', at );
		std::string const f = text.substr( at, comma == std::string::npos ? std::string::npos : comma - at );
		if ( !f.empty() ) {
			EXPECT_EQ( f.size(), 10u ) << "'" << f << "'";
			EXPECT_TRUE( std::regex_match( f, std::regex( " *-?[0-9]+\\.[0-9][0-9]" ) ) ) << "'" << f << "'";
			out.push_back( std::stod( f ) );
		}
		if ( comma == std::string::npos ) break;
		at = comma + 1;
	}
	EXPECT_EQ( out.size(), expected ) << text;
	return out;
}

TEST( ScoreReports, ModelAgainstItsOwnSimulatedMapInTheReportFormats )
{
	// Catches: wrong line or field formats, chains out of key order, chain
	// files left behind, a poor fit for the true model, a MolProbity score
	// invented without the tool.
	ModelAndMap m;
	std::string const out = m.dir.file( "out" );
	InDirectory here( m.dir.path() );
	testing::internal::CaptureStdout();
	Report_model( m.model, out, m.map, m.model, true, true );
	std::string const msg = testing::internal::GetCapturedStdout();
	// No Phenix here: one line says so, and the scores are 0.00.
	EXPECT_NE( msg.find( "Warning! The Phenix MolProbity tool" ), std::string::npos ) << msg;
	EXPECT_EQ( msg.find( "finialbuffer:" ), std::string::npos );

	std::vector< std::string > const score = lines_of( slurp( out + "/score.txt" ) );
	ASSERT_EQ( score.size(), 5u );
	EXPECT_EQ( score[ 0 ], "CC-score,FSC-score,Molprobity-score,Estimated_TM-score" );
	char const* labels[ 4 ] = { "Full,", "A,", "B,", "C," };
	for ( int k = 0; k < 4; ++k ) {
		ASSERT_EQ( score[ k + 1 ].compare( 0, std::strlen( labels[ k ] ), labels[ k ] ), 0 ) << score[ k + 1 ];
		std::vector< double > const f = fields_of( score[ k + 1 ].substr( std::strlen( labels[ k ] ) ), 4 );
		if ( f.size() != 4 ) continue;
		EXPECT_GT( f[ 0 ], 0.7 ) << score[ k + 1 ];  // the true model in its own density
		EXPECT_GE( f[ 1 ], 0.0 );
		EXPECT_EQ( f[ 2 ], 0.0 );
		EXPECT_NEAR( f[ 3 ], estimated_TMscore( f[ 0 ], f[ 1 ] ), 0.02 );
	}

	// One per-residue line for the model (36 residues), then A (9), B (12),
	// C (15); every value followed by ",".
	std::vector< std::string > const cc = lines_of( slurp( out + "/CC_score.txt" ) );
	ASSERT_EQ( cc.size(), 4u );
	std::size_t const counts[ 4 ] = { 36, 9, 12, 15 };
	for ( int k = 0; k < 4; ++k ) {
		EXPECT_EQ( cc[ k ].size(), 11 * counts[ k ] ) << k;
		EXPECT_EQ( cc[ k ].back(), ',' );
		fields_of( cc[ k ], counts[ k ] );
	}
	// Only the two reports remain in the output directory.
	for ( char const* c : { "A", "B", "C" } ) EXPECT_FALSE( quilt_test::path_exists( out + "/model_" + c + ".pdb" ) ) << c;
}

TEST( ScoreReports, AMisplacedModelScoresWorseThanTheTrueOne )
{
	ModelAndMap m;
	InDirectory here( m.dir.path() );
	std::string const shifted = m.dir.file( "shifted.pdb" );
	spit( shifted, three_chain_model( 9.0 ) );
	double cc0, fsc0, tm0, cc1, fsc1, tm1;
	std::vector< double > r0, r1;
	ReportFinal_score( m.model, m.map, cc0, fsc0, tm0, r0, true );
	ReportFinal_score( shifted, m.map, cc1, fsc1, tm1, r1, true );
	EXPECT_EQ( r0.size(), 36u );
	EXPECT_GT( cc0, cc1 + 0.2 );
	EXPECT_GT( tm0, tm1 );
	// Without the multi-chain flag only the first chain (B, 12 residues) is read.
	std::vector< double > first;
	ReportFinal_score( m.model, m.map, cc1, fsc1, tm1, first, false );
	EXPECT_EQ( first.size(), 12u );

	// A file without residues scores 0 throughout, with a message.
	testing::internal::CaptureStdout();
	std::vector< double > none;
	ReportFinal_score( m.dir.file( "absent.pdb" ), m.map, cc1, fsc1, tm1, none, true );
	EXPECT_NE( testing::internal::GetCapturedStdout().find( "holds no residue" ), std::string::npos );
	EXPECT_EQ( cc1, 0.0 );
	EXPECT_EQ( tm1, 0.0 );
	EXPECT_TRUE( none.empty() );
}

TEST( ScoreReports, TMscoreEstimate )
{
	// cc 0.5, fsc 0.3: 0.5 (0.87 0.5^0.95 + 0.7 0.63^2.2 + 0.24) = 0.47182...
	EXPECT_NEAR( estimated_TMscore( 0.5, 0.3 ), 0.4718236, 1e-6 );
	EXPECT_NEAR( estimated_TMscore( 0.0, 0.0 ), 0.5 * ( 0.7 * std::pow( 0.33, 2.2 ) + 0.24 ), 1e-12 );
	EXPECT_EQ( estimated_TMscore( 1.0, 1.0 ), 0.99 ); // above 1
}

TEST( ScoreReports, ConfidenceTableConversion )
{
	quilt_test::ScratchDir dir( "reports" );
	std::string const table = dir.file( "cscore.txt" );
	spit( table, "C-score TM RMSD\n-1.5, 0.61, 7.2\n\n-2.0 0.5 8.0\n0.3 1 2\n" );
	testing::internal::CaptureStdout();
	convert_EM_score( table, 100 );
	EXPECT_EQ( testing::internal::GetCapturedStdout(), "-1.5 0.61 7.2\n-2.0 0.5 8.0\n0.3 1 2\n" );
	// First line (computed by hand): x = -1.5 - ln 100; the error estimate
	// lies below the RMSD, so no random draw enters.
	EXPECT_EQ( slurp( table ), "Cscore,Estimated_TM-score,Estimated_RMSD\n"
	                           " -1.50, 0.53+-0.15,  7.1+-4.1\n"
	                           " -2.00, NA, NA\n"
	                           "  0.30, NA, NA\n" );
	EXPECT_FALSE( quilt_test::path_exists( table + ".CC" ) );

	// A high C-score: TM capped at 0.99, the error estimate drawn below 0.5.
	spit( table, "header\n2.0 0 0\n" );
	testing::internal::CaptureStdout();
	convert_EM_score( table, 100 );
	testing::internal::GetCapturedStdout();
	std::vector< std::string > const lines = lines_of( slurp( table ) );
	ASSERT_EQ( lines.size(), 2u );
	EXPECT_TRUE( std::regex_match( lines[ 1 ], std::regex( "  2\\.00, 0\\.99\\+-0\\.0[0-9],  0\\.5\\+-0\\.[0-4]" ) ) ) << lines[ 1 ];

	// A length below 1 has no logarithm: no estimates, a message.
	spit( table, "header\n-1.5 0 0\n" );
	testing::internal::CaptureStdout();
	convert_EM_score( table, 0 );
	EXPECT_NE( testing::internal::GetCapturedStdout().find( "has no logarithm" ), std::string::npos );
	EXPECT_EQ( slurp( table ), "Cscore,Estimated_TM-score,Estimated_RMSD\n -1.50, NA, NA\n" );

	// A missing table is not created.
	testing::internal::CaptureStdout();
	convert_EM_score( dir.file( "absent.txt" ), 100 );
	EXPECT_NE( testing::internal::GetCapturedStdout().find( "Error! Cannot read" ), std::string::npos );
	EXPECT_FALSE( quilt_test::path_exists( dir.file( "absent.txt" ) ) );
}

TEST( ScoreReports, SequenceOfChainFiles )
{
	quilt_test::ScratchDir dir( "reports" );
	spit( dir.file( "a.pdb" ), "ATOM      1  CA  MET A   1       0.000   0.000   0.000\n"
	                           "ATOM      2  CA  GLY A   2       3.800   0.000   0.000\n"
	                           "ATOM      3  CA  TRP A   3       7.600   0.000   0.000\nTER\n"
	                           "ATOM      4  CA  ALA C   4      11.400   0.000   0.000\n" );
	spit( dir.file( "b.pdb" ), "ATOM      1  CA  LYS B   1       0.000   0.000   0.000\n"
	                           "ATOM      2  CA  HOH B   2       3.800   0.000   0.000\n" );
	std::string fasta;
	std::vector< std::vector< int > > positions = { { 99 } };
	int rows[ 2 ][ 2 ] = { { 5, 6 }, { 7, 8 } };
	int* table[ 2 ] = { rows[ 0 ], rows[ 1 ] };
	int perChain[ 2 ] = { 3, 4 };
	std::vector< std::string > copy = { "old" };
	std::vector< std::string > const files = { dir.file( "a.pdb" ), dir.file( "b.pdb" ) };
	getSequence( dir.path(), fasta, files, positions, table, perChain, copy );
	EXPECT_EQ( fasta, dir.file( "protein.fasta" ) );
	EXPECT_EQ( slurp( fasta ), ">query protein\nMGWKX" ); // first chain of each file, no final line end
	ASSERT_EQ( positions.size(), 3u );
	EXPECT_EQ( positions[ 1 ], ( std::vector< int >{ 1, 2, 3 } ) );
	EXPECT_EQ( positions[ 2 ], ( std::vector< int >{ 4, 5 } ) );
	EXPECT_EQ( rows[ 0 ][ 0 ] + rows[ 0 ][ 1 ] + rows[ 1 ][ 0 ] + rows[ 1 ][ 1 ] + perChain[ 0 ] + perChain[ 1 ], 0 );
	EXPECT_EQ( copy, files );
}

TEST( ScoreReports, SecondaryStructureFromDssp )
{
	quilt_test::ScratchDir dir( "reports" );
	InDirectory here( dir.path() );
	// No DSSP on this machine: an empty list, said in one line.
	testing::internal::CaptureStdout();
	std::vector< std::string > ss = getSS( dir.file( "no_tools" ), dir.path(), "model.pdb" );
	std::string const msg = testing::internal::GetCapturedStdout();
	EXPECT_TRUE( ss.empty() );
	EXPECT_NE( msg.find( "Calculate the secondary structure by DSSP..." ), std::string::npos );
	EXPECT_NE( msg.find( "Warning! DSSP" ), std::string::npos ) << msg;

	// A DSSP file already there is read (DSSP is not started) and removed:
	// column 17 gives the state, a break line (blank columns 6-10) and lines
	// too short for column 17 give none.
	spit( dir.file( "ss.dssp" ), "==== Secondary Structure Definition ====\n"
	                             "REFERENCE W. KABSCH AND C.SANDER\n"
	                             "  #  RESIDUE AA STRUCTURE BP1 BP2  ACC\n"
	                             "    1    1 A M              0   0  100\n"
	                             "    2    2 A K  H  > S+     0   0   50\n"
	                             "    3    3 A L  G  3 S+     0   0   50\n"
	                             "    4    4 A I  I  <  +     0   0   50\n"
	                             "    5        !              0   0    0\n"
	                             "    6    6 A V  E     -a   10   0   10\n"
	                             "    7    7 A B  B     -     0   0   10\n"
	                             "    8    8 A T  T  4 S+     0   0   10\n"
	                             "    9    9 A S  S    S-     0   0   10\n"
	                             "   10   10 A\n" );
	ss = getSS( dir.file( "no_tools" ), dir.path(), "model.pdb" );
	EXPECT_EQ( ss, ( std::vector< std::string >{ "C", "H", "H", "H", "E", "E", "C", "C" } ) );
	EXPECT_FALSE( quilt_test::path_exists( dir.file( "ss.dssp" ) ) );
	EXPECT_EQ( dssp_state( 'C' ), "C" );
	EXPECT_EQ( dssp_state( 'P' ), "H" );
}

TEST( ScoreReports, ZScores )
{
	std::vector< double > const z = get_Zscore( { 1.0, 2.0, 3.0 } );
	ASSERT_EQ( z.size(), 3u );
	EXPECT_NEAR( z[ 0 ], -std::sqrt( 1.5 ), 1e-12 );
	EXPECT_NEAR( z[ 1 ], 0.0, 1e-12 );
	EXPECT_NEAR( z[ 2 ], std::sqrt( 1.5 ), 1e-12 );
	EXPECT_EQ( get_Zscore( { 7.5 } ), ( std::vector< double >{ 7.5 } ) );
	EXPECT_TRUE( get_Zscore( {} ).empty() );
	// No spread: zeros, not a division by zero (0.1 is where rounding leaves
	// a tiny non-zero variance).
	testing::internal::CaptureStdout();
	EXPECT_EQ( get_Zscore( { 4.0, 4.0, 4.0 } ), ( std::vector< double >{ 0, 0, 0 } ) );
	EXPECT_EQ( get_Zscore( { 0.1, 0.1, 0.1 } ), ( std::vector< double >{ 0, 0, 0 } ) );
	EXPECT_NE( testing::internal::GetCapturedStdout().find( "no spread" ), std::string::npos );
}

TEST( ScoreReports, ArrangeModelGroupsChainsAndSortsResidues )
{
	quilt_test::ScratchDir dir( "reports" );
	std::string const path = dir.file( "m.pdb" );
	std::string const b5 = "ATOM      1  CA  GLY B   5       1.000   0.000   0.000  1.00  0.00";
	std::string const b3 = "ATOM      2  CA  GLY B   3       2.000   0.000   0.000  1.00  0.00";
	std::string const a2n = "ATOM      3  N   ALA A   2       3.000   0.000   0.000  1.00  0.00";
	std::string const a2 = "ATOM      4  CA  ALA A   2       3.500   0.000   0.000  1.00  0.00";
	std::string const a1 = "ATOM      5  CA  ALA A   1       4.000   0.000   0.000  1.00  0.00";
	spit( path, "HEADER    test\n" + b5 + "\n" + b3 + "\nTER\n" + a2n + "\n" + a2 + "\n" +
		"HETATM    6  O   HOH A   9       0.000   0.000   0.000\n" + a1 + "\nTER\nEND\n" );
	ArrangeModel( path );
	EXPECT_EQ( slurp( path ), b3 + "\n" + b5 + "\nTER\n" + a1 + "\n" + a2n + "\n" + a2 + "\nTER\n" );
	EXPECT_FALSE( quilt_test::path_exists( dir.file( "m_tmp.pdb" ) ) );

	// Unreadable or residue-free files are left alone.
	testing::internal::CaptureStdout();
	ArrangeModel( dir.file( "absent.pdb" ) );
	spit( dir.file( "het.pdb" ), "HETATM    6  O   HOH A   9       0.000   0.000   0.000\n" );
	ArrangeModel( dir.file( "het.pdb" ) );
	std::string const msg = testing::internal::GetCapturedStdout();
	EXPECT_NE( msg.find( "Error! Cannot read the model file" ), std::string::npos );
	EXPECT_FALSE( quilt_test::path_exists( dir.file( "absent.pdb" ) ) );
	EXPECT_EQ( slurp( dir.file( "het.pdb" ) ), "HETATM    6  O   HOH A   9       0.000   0.000   0.000\n" );
}

TEST( ScoreReports, StringSortMapsEqualStringsToTheirFirstPosition )
{
	int* order = quickSortAscendingInd( std::vector< std::string >{ "b", "a", "b", "ab", "B" } );
	// Byte order: "B" < "a" < "ab" < "b" = "b".
	int const want[ 5 ] = { 4, 1, 3, 0, 0 };
	for ( int k = 0; k < 5; ++k ) EXPECT_EQ( order[ k ], want[ k ] ) << k;
	delete[] order;
}

} // namespace
