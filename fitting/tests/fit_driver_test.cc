// The fit driver end to end on a synthetic model: a model moved away from
// the density it was simulated from is fitted back; bad inputs write nothing.
#include "fitting/FitModelIntoDensity.hh"

#include "core/basic_fun_Quilt.hh"
#include "density/tests/fast_test_util.hh"
#include "fitting/tests/synthetic_model.hh"
#include "testsupport/test_data.hh"
#include "tools/SimulatedMap.hh"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace {

class FitDriver : public testing::Test {
protected:
	void SetUp() override
	{
		truth_ = synth::make_model();
		std::vector<SimAtom> sim;
		for ( synth::Atom const& a : truth_ ) sim.push_back( { a.p[0], a.p[1], a.p[2], element_weight( a.name.substr( 0, 1 ) ) } );
		ASSERT_TRUE( write_mrc( dir_.file( "map.mrc" ), simulate_density( sim, 6.0, 1.5, 16.0 ) ) );
		// Rotated by about 130 degrees and shifted by 12 A.
		double const t[3] = { 7.0, -8.0, 5.5 };
		synth::write_pdb( dir_.file( "moved.pdb" ), synth::moved( truth_, 1.1, 2.0, -0.6, t ) );
	}

	int fit( std::string const& map, std::string const& model, double nm, std::string* out = nullptr, bool report = true )
	{
		testing::internal::CaptureStdout();
		int const rc = FitModelIntoDensity( map, model, 6.0, nm, 0.0, 0.0, true, report, "CA" );
		std::string const text = testing::internal::GetCapturedStdout();
		if ( out ) *out = text;
		return rc;
	}

	std::vector<std::vector<double> > true_ca() const
	{
		std::vector<std::vector<double> > ca;
		for ( synth::Atom const& a : truth_ )
			if ( a.name == "CA" ) ca.push_back( { a.p[0], a.p[1], a.p[2] } );
		return ca;
	}

	quilt_test::ScratchDir dir_{ "fitdriver" };
	std::vector<synth::Atom> truth_;
};

TEST_F( FitDriver, MovedModelIsFittedBackAndRankedFilesWritten )
{
	std::string out;
	ASSERT_EQ( fit( dir_.file( "map.mrc" ), dir_.file( "moved.pdb" ), 2, &out ), FIT_OK ) << out;
	ASSERT_TRUE( quilt_test::path_exists( dir_.file( "moved_1.pdb" ) ) );
	ASSERT_TRUE( quilt_test::path_exists( dir_.file( "moved_2.pdb" ) ) );
	EXPECT_FALSE( quilt_test::path_exists( dir_.file( "moved_3.pdb" ) ) );
	double const rmsd = synth::ca_rmsd( synth::read_ca( dir_.file( "moved_1.pdb" ) ), true_ca() );
	EXPECT_LT( rmsd, 1.0 ) << out;
	// Messages: the fit line and time always, correlations best first.
	EXPECT_NE( out.find( "Placer> Fit 'moved' into the density map" ), std::string::npos );
	EXPECT_NE( out.find( "Placer> time: " ), std::string::npos );
	size_t const r1 = out.find( "Placer> RSCC of moved_1: " ), r2 = out.find( "Placer> RSCC of moved_2: " );
	ASSERT_NE( r1, std::string::npos );
	ASSERT_NE( r2, std::string::npos );
	double const c1 = std::atof( out.c_str() + r1 + 25 ), c2 = std::atof( out.c_str() + r2 + 25 );
	EXPECT_GE( c1, c2 );
	EXPECT_GT( c1, 0.5 );
	// The TER and END lines of the input are kept.
	std::ifstream in( dir_.file( "moved_1.pdb" ).c_str() );
	std::string line, last;
	int lines = 0;
	while ( std::getline( in, line ) ) {
		last = line;
		++lines;
	}
	EXPECT_EQ( last, "END" );
	EXPECT_EQ( lines, (int)truth_.size() + 2 );
}

TEST_F( FitDriver, ResiduesWithoutCaAreLeftOutNotMisread )
{
	// The last residue loses its CA: its second atom is then C, which must
	// not be taken for a CA.  The other residues still fit, and the
	// residue's remaining atoms move with the model.
	std::vector<synth::Atom> atoms;
	double const t[3] = { -6.0, 9.0, 4.0 };
	int const last = truth_.back().res;
	for ( synth::Atom const& a : synth::moved( truth_, 2.2, 1.7, 0.4, t ) )
		if ( !( a.res == last && a.name == "CA" ) ) atoms.push_back( a );
	synth::write_pdb( dir_.file( "noca.pdb" ), atoms );
	std::string out;
	ASSERT_EQ( fit( dir_.file( "map.mrc" ), dir_.file( "noca.pdb" ), 1, &out, false ), FIT_OK ) << out;
	EXPECT_NE( out.find( "Warning! 1 residues without a CA atom" ), std::string::npos ) << out;
	EXPECT_EQ( out.find( "RSCC of" ), std::string::npos );
	std::vector<std::vector<double> > want = true_ca();
	want.pop_back();
	EXPECT_LT( synth::ca_rmsd( synth::read_ca( dir_.file( "noca_1.pdb" ) ), want ), 1.0 );
	// The CA-less residue's N moved with the rest.
	std::vector<synth::Atom> truthN;
	for ( synth::Atom const& a : truth_ )
		if ( a.res == last && a.name == "N" ) truthN.push_back( a );
	std::ifstream in( dir_.file( "noca_1.pdb" ).c_str() );
	std::string line, nline;
	while ( std::getline( in, line ) )
		if ( line.compare( 0, 4, "ATOM" ) == 0 && line.substr( 12, 4 ) == " N  " ) nline = line;
	ASSERT_EQ( truthN.size(), 1u );
	ASSERT_FALSE( nline.empty() );
	double const d = std::sqrt( std::pow( std::atof( nline.substr( 30, 8 ).c_str() ) - truthN[0].p[0], 2 ) +
		std::pow( std::atof( nline.substr( 38, 8 ).c_str() ) - truthN[0].p[1], 2 ) +
		std::pow( std::atof( nline.substr( 46, 8 ).c_str() ) - truthN[0].p[2], 2 ) );
	EXPECT_LT( d, 1.5 );
}

// The input model with the CA line of the residues in `noCa` left out (and,
// for those in `onlyN`, every line but the N), moved away from the map.
std::vector<synth::Atom> without_ca( std::vector<synth::Atom> const& truth, std::vector<int> const& noCa,
	std::vector<int> const& onlyN = {} )
{
	auto in = []( std::vector<int> const& v, int r ) { return std::find( v.begin(), v.end(), r ) != v.end(); };
	double const t[3] = { -6.0, 9.0, 4.0 };
	std::vector<synth::Atom> atoms;
	for ( synth::Atom const& a : synth::moved( truth, 2.2, 1.7, 0.4, t ) ) {
		if ( in( noCa, a.res ) && a.name == "CA" ) continue;
		if ( in( onlyN, a.res ) && a.name != "N" ) continue;
		atoms.push_back( a );
	}
	return atoms;
}

// The ATOM lines of a file.
std::vector<std::string> atom_lines( std::string const& path )
{
	std::vector<std::string> out;
	std::ifstream in( path.c_str() );
	for ( std::string line; std::getline( in, line ); )
		if ( line.compare( 0, 4, "ATOM" ) == 0 ) out.push_back( line );
	return out;
}

double line_distance( std::string const& a, std::string const& b )
{
	double s = 0.0;
	for ( int c = 0; c < 3; ++c ) {
		double const d = std::atof( a.substr( 30 + 8 * c, 8 ).c_str() ) - std::atof( b.substr( 30 + 8 * c, 8 ).c_str() );
		s += d * d;
	}
	return std::sqrt( s );
}

// Every atom line of the input is in the written model, in order, named as
// before, and the whole file moved as one rigid body: the distances between
// its lines are kept (checked against three lines spread over the file).
void expect_moved_whole( std::string const& input, std::string const& written )
{
	std::vector<std::string> const a = atom_lines( input ), b = atom_lines( written );
	ASSERT_EQ( a.size(), b.size() );
	ASSERT_GE( a.size(), 3u );
	size_t const refs[3] = { 0, a.size() / 2, a.size() - 1 };
	for ( size_t i = 0; i < a.size(); ++i ) {
		EXPECT_EQ( a[i].substr( 12, 15 ), b[i].substr( 12, 15 ) ) << i;
		for ( size_t r : refs ) EXPECT_NEAR( line_distance( a[i], a[r] ), line_distance( b[i], b[r] ), 0.005 ) << i;
	}
	EXPECT_GT( line_distance( a[0], b[0] ), 1.0 ); // moved, not copied
}

size_t occurrences( std::string const& text, std::string const& what )
{
	size_t n = 0;
	for ( size_t at = text.find( what ); at != std::string::npos; at = text.find( what, at + 1 ) ) ++n;
	return n;
}

TEST_F( FitDriver, ResiduesWithoutCaAtTheEndAreCountedAsTheFileHoldsThem )
{
	// The model reader keeps the CA-less residues at the end of the chain as
	// one residue, and drops the first line of every one after the first: the
	// count is of the file's residues.  Residue 61 of three keeps its N only,
	// so that no line of it is read at all.
	int const last = truth_.back().res;
	synth::write_pdb( dir_.file( "tail3.pdb" ),
		without_ca( truth_, { last - 2, last - 1, last }, { last - 1 } ) );
	std::string out;
	ASSERT_EQ( fit( dir_.file( "map.mrc" ), dir_.file( "tail3.pdb" ), 1, &out, false ), FIT_OK ) << out;
	EXPECT_NE( out.find( "Warning! 3 residues without a CA atom are left out of the fit." ), std::string::npos ) << out;
	EXPECT_EQ( occurrences( out, "Warning!" ), 1u ) << out;
	std::vector<std::vector<double> > want = true_ca();
	want.resize( want.size() - 3 );
	EXPECT_LT( synth::ca_rmsd( synth::read_ca( dir_.file( "tail3_1.pdb" ) ), want ), 1.0 );
	expect_moved_whole( dir_.file( "tail3.pdb" ), dir_.file( "tail3_1.pdb" ) );

	// Two residues of one number told apart by their insertion code (column
	// 27): 61 and 61A, both without a CA, are two residues.
	std::string text = synth::pdb_text( without_ca( truth_, { last - 1, last } ) );
	char number[16];
	std::snprintf( number, sizeof number, "%4d ", last );
	char renumbered[16];
	std::snprintf( renumbered, sizeof renumbered, "%4dA", last - 1 );
	std::istringstream lines( text );
	std::ostringstream edited;
	for ( std::string line; std::getline( lines, line ); ) {
		if ( line.compare( 0, 4, "ATOM" ) == 0 && line.compare( 22, 5, number ) == 0 ) line.replace( 22, 5, renumbered );
		edited << line << "\n";
	}
	{
		std::ofstream f( dir_.file( "insertion.pdb" ).c_str() );
		f << edited.str();
	}
	ASSERT_EQ( fit( dir_.file( "map.mrc" ), dir_.file( "insertion.pdb" ), 1, &out, false ), FIT_OK ) << out;
	EXPECT_NE( out.find( "Warning! 2 residues without a CA atom are left out of the fit." ), std::string::npos ) << out;
	expect_moved_whole( dir_.file( "insertion.pdb" ), dir_.file( "insertion_1.pdb" ) );
}

TEST_F( FitDriver, NoteAndWarningCountTheSameResiduesOfTheFirstChain )
{
	// Chain A of the 65 residues, four of them told apart by an insertion
	// code only (residues 10 and 20 renumbered 9A and 19A: the model reader
	// reads 9 and 9A as one residue, and 19 and 19A), its last two residues
	// (64 and 64A) without a CA; then "TER" and a chain B.  The warning
	// counts the file's residues left out, and the note the file's residues
	// fitted: 63 and 2 make the 65 residues of chain A.  The note counted the
	// reader's residues (61 with a CA and the CA-less tail as one more: 62).
	int const last = truth_.back().res;
	std::string const a = synth::pdb_text( without_ca( truth_, { last - 1, last } ) );
	auto field = []( char const* format, int n ) {
		char text[16];
		std::snprintf( text, sizeof text, format, n );
		return std::string( text );
	};
	std::istringstream lines( a );
	std::ostringstream edited;
	int atomsA = 0;
	for ( std::string line; std::getline( lines, line ); ) {
		if ( line == "END" ) continue; // chain B follows
		if ( line.compare( 0, 4, "ATOM" ) == 0 ) {
			++atomsA;
			if ( line.compare( 22, 5, field( "%4d ", last ) ) == 0 ) line.replace( 22, 5, field( "%4dA", last - 1 ) );
			for ( int r : { 10, 20 } )
				if ( line.compare( 22, 5, field( "%4d ", r ) ) == 0 ) line.replace( 22, 5, field( "%4dA", r - 1 ) );
		}
		edited << line << "\n";
	}
	std::string chainB = synth::pdb_text( std::vector<synth::Atom>( truth_.begin(), truth_.begin() + 50 ) );
	for ( size_t at = chainB.find( "ALA A" ); at != std::string::npos; at = chainB.find( "ALA A", at ) ) chainB[at + 4] = 'B';
	edited << chainB;
	std::ofstream( dir_.file( "codes.pdb" ).c_str() ) << edited.str();

	std::string out;
	ASSERT_EQ( fit( dir_.file( "map.mrc" ), dir_.file( "codes.pdb" ), 1, &out, false ), FIT_OK ) << out;
	std::string const warning = "Warning! 2 residues without a CA atom are left out of the fit.\n";
	std::string const note = "Placer> Note: only the " + std::to_string( atomsA ) + " atoms of the first chain of "
	                         + dir_.file( "codes.pdb" ) + " (" + std::to_string( last - 2 )
	                         + " residues) are fitted; the other 50 atom lines after it are moved with them as one rigid"
	                         + " body.\n";
	EXPECT_NE( out.find( warning ), std::string::npos ) << out;
	EXPECT_NE( out.find( note ), std::string::npos ) << out;
	EXPECT_EQ( occurrences( out, "Warning!" ), 1u ) << out;
}

TEST_F( FitDriver, ResidueWithoutCaInTheMiddleIsReadWithTheNextOne )
{
	// The reader names the residue and reads it with the next one (whose CA
	// the fit uses); no residue is left out, no count line is printed, and
	// the written model holds every atom line of the file, moved.
	synth::write_pdb( dir_.file( "mid.pdb" ), without_ca( truth_, { 30 } ) );
	std::string out;
	ASSERT_EQ( fit( dir_.file( "map.mrc" ), dir_.file( "mid.pdb" ), 1, &out, false ), FIT_OK ) << out;
	EXPECT_NE( out.find( "Error! CA atom is missed in residue 30\n" ), std::string::npos ) << out;
	EXPECT_EQ( out.find( "Warning!" ), std::string::npos ) << out;
	std::vector<std::vector<double> > want = true_ca();
	want.erase( want.begin() + 29 );
	EXPECT_LT( synth::ca_rmsd( synth::read_ca( dir_.file( "mid_1.pdb" ) ), want ), 1.0 );
	expect_moved_whole( dir_.file( "mid.pdb" ), dir_.file( "mid_1.pdb" ) );
}

TEST_F( FitDriver, ModelWithoutAnyCaIsRefusedWithoutACountLine )
{
	// Every residue lacks its CA: the reader's lines and the error, no count
	// of residues left out (the reader makes one residue of the whole chain),
	// and no file.
	std::vector<int> all;
	for ( synth::Atom const& a : truth_ ) all.push_back( a.res );
	synth::write_pdb( dir_.file( "noca_all.pdb" ), without_ca( truth_, all ) );
	std::string out;
	EXPECT_EQ( fit( dir_.file( "map.mrc" ), dir_.file( "noca_all.pdb" ), 1, &out ), FIT_NO_MODEL );
	int const residues = truth_.back().res;
	EXPECT_NE( out.find( "Error! CA atom is missed in residue 1\n" ), std::string::npos ) << out;
	EXPECT_NE( out.find( "Error! CA atom is missed in " + std::to_string( residues - 2 ) + " more residues" ),
		std::string::npos ) << out;
	EXPECT_NE( out.find( "Error! No residue of the model file " + dir_.file( "noca_all.pdb" ) + " has a CA atom.\n" ),
		std::string::npos ) << out;
	EXPECT_EQ( out.find( "Warning!" ), std::string::npos ) << out;
	EXPECT_FALSE( quilt_test::path_exists( dir_.file( "noca_all_1.pdb" ) ) );
}

// Every ATOM record's coordinates, in file order.
std::vector<std::vector<double> > atom_rows( std::string const& path )
{
	std::vector<std::vector<double> > out;
	std::ifstream in( path.c_str() );
	std::string line;
	while ( std::getline( in, line ) )
		if ( line.compare( 0, 4, "ATOM" ) == 0 )
			out.push_back( { std::atof( line.substr( 30, 8 ).c_str() ), std::atof( line.substr( 38, 8 ).c_str() ),
				std::atof( line.substr( 46, 8 ).c_str() ) } );
	return out;
}

double distance( std::vector<double> const& a, std::vector<double> const& b )
{
	return std::sqrt( std::pow( a[0] - b[0], 2 ) + std::pow( a[1] - b[1], 2 ) + std::pow( a[2] - b[2], 2 ) );
}

TEST_F( FitDriver, AtomsOfALaterChainMoveRigidlyWithTheFittedChain )
{
	// Truth: the synthetic chain A, then TER, a water (HETATM) and a chain B
	// (the first ten residues of A, 25 A along x); the map holds chain A
	// only.  The whole file is moved by one rigid motion.  Only chain A is
	// fitted, but every atom line, the water's too, must come back by the
	// same transform.
	std::vector<synth::Atom> all = truth_;
	size_t const n1 = truth_.size();
	for ( synth::Atom a : truth_ ) {
		if ( a.res > 10 ) continue;
		a.res += 200;
		a.p[0] += 25.0;
		all.push_back( a );
	}
	double const t[3] = { -9.0, 4.0, 7.5 };
	std::vector<synth::Atom> const mv = synth::moved( all, 2.4, 1.9, 0.7, t );
	std::string text = synth::pdb_text( std::vector<synth::Atom>( mv.begin(), mv.begin() + n1 ) );
	text = text.substr( 0, text.size() - 4 ); // drop the END: the file goes on
	std::string const het = "HETATM 9999  O   HOH A 900      1.000   2.000   3.000  1.00 20.00           O";
	std::string chainB = synth::pdb_text( std::vector<synth::Atom>( mv.begin() + n1, mv.end() ) );
	for ( size_t at = chainB.find( "ALA A" ); at != std::string::npos; at = chainB.find( "ALA A", at ) ) chainB[at + 4] = 'B';
	text += het + "\n" + chainB;
	{
		std::ofstream f( dir_.file( "segments.pdb" ).c_str() );
		f << text;
	}
	std::string out;
	ASSERT_EQ( fit( dir_.file( "map.mrc" ), dir_.file( "segments.pdb" ), 1, &out, false ), FIT_OK ) << out;
	EXPECT_NE( out.find( "atoms of the first chain" ), std::string::npos ) << out;
	EXPECT_EQ( out.find( "Warning!" ), std::string::npos ) << out;

	std::vector<std::vector<double> > const in = atom_rows( dir_.file( "segments.pdb" ) );
	std::vector<std::vector<double> > const fit1 = atom_rows( dir_.file( "segments_1.pdb" ) );
	ASSERT_EQ( in.size(), all.size() );
	ASSERT_EQ( fit1.size(), all.size() );
	// Back at the true place, the second segment as well.
	double worst = 0.0;
	for ( size_t i = 0; i < all.size(); ++i )
		worst = std::max( worst, distance( fit1[i], { all[i].p[0], all[i].p[1], all[i].p[2] } ) );
	EXPECT_LT( worst, 1.5 );
	// One rigid motion: distances within and across the segments kept (up
	// to the three decimals of the file).
	for ( size_t i = 0; i < all.size(); i += 7 )
		for ( size_t j = n1; j < all.size(); j += 3 )
			EXPECT_NEAR( distance( fit1[i], fit1[j] ), distance( in[i], in[j] ), 0.005 ) << i << " " << j;
	// The water moved with them: its distances to both segments kept, its
	// line changed only in the coordinate columns.
	std::ifstream f( dir_.file( "segments_1.pdb" ).c_str() );
	std::string line, water;
	int ters = 0;
	while ( std::getline( f, line ) ) {
		if ( line.compare( 0, 6, "HETATM" ) == 0 ) water = line;
		ters += line == "TER";
	}
	EXPECT_EQ( ters, 2 );
	ASSERT_EQ( water.size(), het.size() );
	EXPECT_EQ( water.substr( 0, 30 ), het.substr( 0, 30 ) );
	EXPECT_EQ( water.substr( 54 ), het.substr( 54 ) );
	std::vector<double> const w0 = { 1.0, 2.0, 3.0 };
	std::vector<double> const w1 = { std::atof( water.substr( 30, 8 ).c_str() ), std::atof( water.substr( 38, 8 ).c_str() ),
		std::atof( water.substr( 46, 8 ).c_str() ) };
	EXPECT_GT( distance( w0, w1 ), 1.0 );
	for ( size_t i = 0; i < all.size(); i += 5 ) EXPECT_NEAR( distance( fit1[i], w1 ), distance( in[i], w0 ), 0.005 ) << i;
}

TEST_F( FitDriver, UnusableInputsWriteNoFiles )
{
	std::string out;
	EXPECT_EQ( fit( dir_.file( "absent.mrc" ), dir_.file( "moved.pdb" ), 1, &out ), FIT_NO_MAP );
	EXPECT_NE( out.find( "Error!" ), std::string::npos );
	EXPECT_EQ( fit( dir_.file( "map.mrc" ), dir_.file( "absent.pdb" ), 1, &out ), FIT_NO_MODEL );
	EXPECT_NE( out.find( "Error!" ), std::string::npos );

	// A map file that is no map.
	{
		std::ofstream bad( dir_.file( "bad.mrc" ).c_str() );
		bad << "not a density map\n";
	}
	EXPECT_EQ( fit( dir_.file( "bad.mrc" ), dir_.file( "moved.pdb" ), 1, &out ), FIT_NO_MAP );
	// A model without residues.
	{
		std::ofstream empty( dir_.file( "empty.pdb" ).c_str() );
		empty << "REMARK nothing here\nEND\n";
	}
	EXPECT_EQ( fit( dir_.file( "map.mrc" ), dir_.file( "empty.pdb" ), 1, &out ), FIT_NO_MODEL );
	EXPECT_NE( out.find( "Error! No residues" ), std::string::npos );
	// Fewer than one pose.
	EXPECT_EQ( fit( dir_.file( "map.mrc" ), dir_.file( "moved.pdb" ), 0, &out ), FIT_BAD_POSE_COUNT );

	EXPECT_FALSE( quilt_test::path_exists( dir_.file( "moved_1.pdb" ) ) );
	EXPECT_FALSE( quilt_test::path_exists( dir_.file( "empty_1.pdb" ) ) );
}

TEST_F( FitDriver, MapOriginBetweenGridPointsIsHonoured )
{
	// The same density with its ORIGIN moved 0.7 A along x, less than half a
	// voxel: the density now lies 0.7 A further along x, and so must the fit.
	std::vector<SimAtom> sim;
	for ( synth::Atom const& a : truth_ ) sim.push_back( { a.p[0], a.p[1], a.p[2], element_weight( a.name.substr( 0, 1 ) ) } );
	SimulatedMap m = simulate_density( sim, 6.0, 1.5, 16.0 );
	ASSERT_TRUE( write_mrc( dir_.file( "offgrid.mrc" ), m ) );
	{
		std::fstream f( dir_.file( "offgrid.mrc" ).c_str(), std::ios::in | std::ios::out | std::ios::binary );
		float const ox = (float)( m.start[0] * m.voxel + 0.7 );
		f.seekp( 196 );
		f.write( reinterpret_cast<char const*>( &ox ), 4 );
	}
	std::string out;
	ASSERT_EQ( fit( dir_.file( "offgrid.mrc" ), dir_.file( "moved.pdb" ), 1, &out ), FIT_OK ) << out;
	std::vector<std::vector<double> > want = true_ca();
	double const plain = synth::ca_rmsd( synth::read_ca( dir_.file( "moved_1.pdb" ) ), want );
	for ( auto& p : want ) p[0] += 0.7;
	double const shifted = synth::ca_rmsd( synth::read_ca( dir_.file( "moved_1.pdb" ) ), want );
	EXPECT_LT( shifted, 0.35 ) << "unshifted " << plain;
	EXPECT_LT( shifted, plain );
}

TEST_F( FitDriver, LoadedMapRoadWritesPosesInSearchOrder )
{
	FastDensityScore map;
	testing::internal::CaptureStdout();
	ASSERT_TRUE( map.readDensityMap( dir_.file( "map.mrc" ), 6.0, 0.0, 0.0, true ) );
	int const rc = FitModelIntoDensity( map, dir_.file( "moved.pdb" ), 2, true, true );
	std::string const out = testing::internal::GetCapturedStdout();
	ASSERT_EQ( rc, FIT_OK ) << out;
	EXPECT_TRUE( quilt_test::path_exists( dir_.file( "moved_2.pdb" ) ) );
	EXPECT_NE( out.find( "Placer> RSCC = " ), std::string::npos );
	// The best objective comes first; on this map it is the true place.
	EXPECT_LT( synth::ca_rmsd( synth::read_ca( dir_.file( "moved_1.pdb" ) ), true_ca() ), 1.0 );
	// Nothing is loaded: refused.
	FastDensityScore empty;
	testing::internal::CaptureStdout();
	EXPECT_EQ( FitModelIntoDensity( empty, dir_.file( "moved.pdb" ), 1, true, true ), FIT_NO_MAP );
	testing::internal::GetCapturedStdout();
}

// The simulated map written with axis map `axes` (MAPC, MAPR, MAPS), placed
// by its start indices or, with start indices 0, by ORIGIN (x, y, z in
// Cartesian order whatever the axis map).
bool write_in_axis_order( std::string const& path, SimulatedMap const& m, int const* axes, bool byOrigin )
{
	fast_test::MrcSpec s;
	for ( int k = 0; k < 3; ++k ) {
		s.axes[k] = axes[k];
		s.ext[k] = m.n[axes[k] - 1];
		s.start[k] = byOrigin ? 0 : m.start[axes[k] - 1];
	}
	for ( int a = 0; a < 3; ++a ) {
		s.samp[a] = m.n[a];
		s.cell[a] = (float)( m.n[a] * m.voxel );
		s.origin[a] = byOrigin ? (float)( m.start[a] * m.voxel ) : 0.f;
	}
	for ( int sec = 0; sec < s.ext[2]; ++sec )
		for ( int r = 0; r < s.ext[1]; ++r )
			for ( int c = 0; c < s.ext[0]; ++c ) {
				int x[3];
				x[axes[0] - 1] = c;
				x[axes[1] - 1] = r;
				x[axes[2] - 1] = sec;
				s.data.push_back( m.data[( (size_t)x[2] * m.n[1] + x[1] ) * m.n[0] + x[0]] );
			}
	return fast_test::write_mrc( path, s );
}

SimulatedMap simulated( std::vector<synth::Atom> const& atoms )
{
	std::vector<SimAtom> sim;
	for ( synth::Atom const& a : atoms ) sim.push_back( { a.p[0], a.p[1], a.p[2], element_weight( a.name.substr( 0, 1 ) ) } );
	return simulate_density( sim, 6.0, 1.5, 16.0 );
}

double max_distance( std::vector<std::vector<double> > const& a, std::vector<std::vector<double> > const& b )
{
	if ( a.size() != b.size() || a.empty() ) return 1e9;
	double worst = 0.0;
	for ( size_t i = 0; i < a.size(); ++i ) worst = std::max( worst, distance( a[i], b[i] ) );
	return worst;
}

TEST_F( FitDriver, SixAxisOrdersWithOriginOrStartIndicesGiveTheSameFit )
{
	// One map stored in all six axis orders, placed by its start indices or
	// by ORIGIN: the same density, so the same fit to 0.01 A.  An ORIGIN
	// permuted by the axis map put the model 12-100 A away with a good-looking
	// correlation.
	SimulatedMap m = simulated( truth_ );
	// The density moved by a different number of voxels along each axis, so
	// that a permuted ORIGIN or start index shows.
	int const shift[3] = { 11, 23, 37 };
	std::vector<std::vector<double> > want = true_ca();
	for ( int a = 0; a < 3; ++a ) {
		m.start[a] += shift[a];
		for ( auto& p : want ) p[a] += shift[a] * m.voxel;
	}
	int const orders[6][3] = { { 1, 2, 3 }, { 1, 3, 2 }, { 2, 1, 3 }, { 2, 3, 1 }, { 3, 1, 2 }, { 3, 2, 1 } };
	std::vector<std::vector<double> > first;
	for ( auto const& axes : orders ) {
		for ( bool byOrigin : { false, true } ) {
			std::string const what = std::to_string( axes[0] ) + std::to_string( axes[1] ) + std::to_string( axes[2] )
			                         + ( byOrigin ? " ORIGIN" : " start indices" );
			ASSERT_TRUE( write_in_axis_order( dir_.file( "perm.mrc" ), m, axes, byOrigin ) );
			std::string out;
			ASSERT_EQ( fit( dir_.file( "perm.mrc" ), dir_.file( "moved.pdb" ), 1, &out, false ), FIT_OK ) << what << out;
			std::vector<std::vector<double> > const ca = synth::read_ca( dir_.file( "moved_1.pdb" ) );
			if ( first.empty() ) {
				first = ca;
				EXPECT_LT( synth::ca_rmsd( ca, want ), 1.0 ) << what;
			}
			EXPECT_LT( max_distance( ca, first ), 0.01 ) << what;
		}
	}
}

// Overwrites the three 4-byte words from byte `at` of a map file.
template <class T>
void set_words( std::string const& path, int at, T const* v )
{
	std::fstream f( path.c_str(), std::ios::in | std::ios::out | std::ios::binary );
	f.seekp( at );
	f.write( reinterpret_cast<char const*>( v ), 3 * sizeof( T ) );
}

TEST_F( FitDriver, DataBeyondTheCellGridAreFittedWhole )
{
	// The same map with MX, MY, MZ at half the data extents and the cell
	// edges at half the data span: by the format the same voxels (cell edge
	// over interval count), the data reaching over two cells along each axis.
	// All voxels must be kept at that size and the fit land on the truth;
	// cutting the map to the cell grid put it 30 A off, and widening the grid
	// over the same cell edge halved the voxels and put it 14 A off.
	SimulatedMap const m = simulated( truth_ );
	int const axes[3] = { 1, 2, 3 };
	ASSERT_TRUE( write_in_axis_order( dir_.file( "half.mrc" ), m, axes, false ) );
	int32_t const half[3] = { m.n[0] / 2, m.n[1] / 2, m.n[2] / 2 };
	float const edge[3] = { float( half[0] * m.voxel ), float( half[1] * m.voxel ), float( half[2] * m.voxel ) };
	set_words( dir_.file( "half.mrc" ), 28, half );
	set_words( dir_.file( "half.mrc" ), 40, edge );
	FastDensityScore loaded;
	testing::internal::CaptureStdout();
	ASSERT_TRUE( loaded.readDensityMap( dir_.file( "half.mrc" ), 6.0, 0.0, 0.0, true ) );
	std::string const text = testing::internal::GetCapturedStdout();
	EXPECT_NE( text.find( "reach beyond the unit-cell grid" ), std::string::npos ) << text;
	for ( int a = 0; a < 3; ++a ) {
		EXPECT_EQ( loaded.grid[a], m.n[a] );
		EXPECT_NEAR( loaded.voxelOrigin[a], m.start[a] * m.voxel, 1e-4 ) << a;
	}
	EXPECT_NEAR( loaded.gridWidth, m.voxel, 1e-4 );
	std::string out;
	ASSERT_EQ( fit( dir_.file( "half.mrc" ), dir_.file( "moved.pdb" ), 1, &out, false ), FIT_OK ) << out;
	EXPECT_LT( synth::ca_rmsd( synth::read_ca( dir_.file( "moved_1.pdb" ) ), true_ca() ), 1.0 ) << out;

	// MX, MY, MZ halved alone, the cell edges left: by the format voxels of
	// twice the size, the whole map twice as large and its first voxel at
	// twice the distance from the coordinate origin.  It is read so, not at
	// the voxel of the cell over the data extent.
	ASSERT_TRUE( write_in_axis_order( dir_.file( "mx.mrc" ), m, axes, false ) );
	set_words( dir_.file( "mx.mrc" ), 28, half );
	testing::internal::CaptureStdout();
	ASSERT_TRUE( loaded.readDensityMap( dir_.file( "mx.mrc" ), 6.0, 0.0, 0.0, true ) );
	testing::internal::GetCapturedStdout();
	EXPECT_NEAR( loaded.gridWidth, 2.0 * m.voxel, 1e-4 );
	for ( int a = 0; a < 3; ++a ) {
		EXPECT_EQ( loaded.grid[a], m.n[a] );
		EXPECT_NEAR( loaded.voxelOrigin[a], 2.0 * m.start[a] * m.voxel, 1e-4 ) << a;
		EXPECT_NEAR( loaded.cellDimensions[a], 2.0 * m.n[a] * m.voxel, 1e-3 ) << a;
	}
}

TEST_F( FitDriver, OutputNamesCutOnlyAFinalPdbOrEnt )
{
	// The last four characters used to go whatever they were: "structure"
	// gave struc_1.pdb, "m.pdb.gz" m.pd_1.pdb.
	std::string const text = synth::pdb_text( synth::moved( truth_, 1.1, 2.0, -0.6, std::vector<double>{ 7, -8, 5.5 }.data() ) );
	struct Case {
		char const* model;
		char const* written;
	} const cases[] = { { "structure", "structure_1.pdb" }, { "m.pdb.gz", "m.pdb.gz_1.pdb" }, { "x.ENT", "x_1.pdb" },
		{ "chainA.pdb", "chainA_1.pdb" }, { "p.ent", "p_1.pdb" },
		// In any case of letters; a name that is only the ending, and other
		// endings, are kept whole.
		{ "X.PDB", "X_1.pdb" }, { "Q.Pdb", "Q_1.pdb" }, { "W.ENT", "W_1.pdb" }, { "V.txt", "V.txt_1.pdb" },
		{ "U", "U_1.pdb" }, { ".pdb", ".pdb_1.pdb" } };
	for ( Case const& c : cases ) {
		{
			std::ofstream f( dir_.file( c.model ).c_str() );
			f << text;
		}
		std::string out;
		ASSERT_EQ( fit( dir_.file( "map.mrc" ), dir_.file( c.model ), 1, &out, true ), FIT_OK ) << c.model << out;
		EXPECT_TRUE( quilt_test::path_exists( dir_.file( c.written ) ) ) << c.model << "\n" << out;
		EXPECT_LT( synth::ca_rmsd( synth::read_ca( dir_.file( c.written ) ), true_ca() ), 1.0 ) << c.model;
	}
	EXPECT_FALSE( quilt_test::path_exists( dir_.file( "struc_1.pdb" ) ) );
	EXPECT_FALSE( quilt_test::path_exists( dir_.file( "m.pd_1.pdb" ) ) );
}

TEST_F( FitDriver, CoordinatesBeyondThePdbColumnsAreRefused )
{
	// Start indices of 8000 voxels put the density 12000 A out: the fitted
	// coordinates need more than the eight columns of "%8.3f" and would run
	// into each other.  Refused with a message, and no file written.
	SimulatedMap m = simulated( truth_ );
	for ( int a = 0; a < 3; ++a ) m.start[a] += 8000;
	ASSERT_TRUE( write_mrc( dir_.file( "far.mrc" ), m ) );
	std::string out;
	EXPECT_EQ( fit( dir_.file( "far.mrc" ), dir_.file( "moved.pdb" ), 2, &out ), FIT_WRITE_FAILED ) << out;
	EXPECT_NE( out.find( "does not fit the PDB coordinate columns" ), std::string::npos ) << out;
	EXPECT_FALSE( quilt_test::path_exists( dir_.file( "moved_1.pdb" ) ) );
	EXPECT_FALSE( quilt_test::path_exists( dir_.file( "moved_2.pdb" ) ) );
}

TEST( TranslateToDensCenter, MovesTheMeanOfAllAtoms )
{
	std::vector<std::vector<double*> > model = { { new double[3]{ 0, 0, 0 }, new double[3]{ 2, 0, 0 } },
		{ new double[3]{ 1, 3, 6 } } };
	double centre[3] = { 10, 10, 10 };
	translate_to_densCenter( model, centre );
	EXPECT_DOUBLE_EQ( model[0][0][0], 9.0 );
	EXPECT_DOUBLE_EQ( model[0][0][1], 9.0 );
	EXPECT_DOUBLE_EQ( model[0][0][2], 8.0 );
	EXPECT_DOUBLE_EQ( model[1][0][2], 14.0 );
	releaseVecVecT1D( model );
	std::vector<std::vector<double*> > empty;
	translate_to_densCenter( empty, centre );
	EXPECT_TRUE( empty.empty() );
}

} // namespace
