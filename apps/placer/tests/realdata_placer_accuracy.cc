// Placer on real structures: a chain moved by a random rotation of more than
// 90 degrees and a shift of more than 10 A is fitted back into the map
// simulated from it (or from its complex); the best result must lie within
// 1 A CA RMSD of the true position.  Every chain of the complexes is also
// fitted into a map simulated from that chain alone.  On the real filament map EMD-5168 the
// best result must correlate with the map at least as well as the deposited
// protomer, less 0.02.
#include "core/Protein.hh"
#include "core/basic_fun_Quilt.hh"
#include "density/FastDensityScore.hh"
#include "fitting/tests/synthetic_model.hh"
#include "testsupport/test_data.hh"
#include "tools/SimulatedMap.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <array>
#include <random>
#include <sys/wait.h>

namespace {

// ATOM lines of one chain (blank: the first chain, up to the first TER).
std::vector<std::string> chain_lines( std::string const& path, char chain )
{
	std::vector<std::string> out;
	std::ifstream in( path.c_str() );
	std::string line;
	while ( std::getline( in, line ) ) {
		if ( chain == ' ' && line.compare( 0, 3, "TER" ) == 0 && !out.empty() ) break;
		if ( line.compare( 0, 4, "ATOM" ) != 0 || line.size() < 54 ) continue;
		if ( chain != ' ' && line[21] != chain ) continue;
		out.push_back( line );
	}
	return out;
}

// Writes the lines as they are (the truth) and with their ATOM lines moved
// by a random rigid motion about their centroid (other lines, such as TER
// records at chain breaks, copied): rotation angle 100-170 degrees about a
// random axis, shift 12-20 A in a random direction.
void write_moved_case( std::vector<std::string> const& lines, std::string const& truth, std::string const& moved,
	unsigned seed )
{
	std::mt19937 rng( seed );
	std::uniform_real_distribution<double> u( 0.0, 1.0 );
	std::normal_distribution<double> g( 0.0, 1.0 );
	double axis[3] = { g( rng ), g( rng ), g( rng ) };
	double const an = std::sqrt( axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2] );
	for ( double& a : axis ) a /= an;
	double const angle = ( 100.0 + 70.0 * u( rng ) ) * M_PI / 180.0;
	double shift[3] = { g( rng ), g( rng ), g( rng ) };
	double const sn = std::sqrt( shift[0] * shift[0] + shift[1] * shift[1] + shift[2] * shift[2] );
	double const len = 12.0 + 8.0 * u( rng );
	for ( double& s : shift ) s *= len / sn;
	// Rodrigues rotation matrix.
	double const c = std::cos( angle ), s = std::sin( angle ), t = 1 - c;
	double const x = axis[0], y = axis[1], z = axis[2];
	double const R[3][3] = { { t * x * x + c, t * x * y - s * z, t * x * z + s * y },
		{ t * x * y + s * z, t * y * y + c, t * y * z - s * x }, { t * x * z - s * y, t * y * z + s * x, t * z * z + c } };
	std::vector<std::array<double, 3> > p;
	double cen[3] = { 0, 0, 0 };
	size_t atoms = 0;
	for ( std::string const& l : lines ) {
		bool const atom = l.compare( 0, 4, "ATOM" ) == 0;
		p.push_back( { 0.0, 0.0, 0.0 } );
		if ( !atom ) continue;
		p.back() = { std::atof( l.substr( 30, 8 ).c_str() ), std::atof( l.substr( 38, 8 ).c_str() ),
			std::atof( l.substr( 46, 8 ).c_str() ) };
		for ( int r = 0; r < 3; ++r ) cen[r] += p.back()[r];
		++atoms;
	}
	for ( double& c : cen ) c /= atoms;
	std::ofstream ft( truth.c_str() ), fm( moved.c_str() );
	char buf[32];
	for ( size_t i = 0; i < lines.size(); ++i ) {
		if ( lines[i].compare( 0, 4, "ATOM" ) != 0 ) {
			ft << lines[i] << "\n";
			fm << lines[i] << "\n";
			continue;
		}
		double const d[3] = { p[i][0] - cen[0], p[i][1] - cen[1], p[i][2] - cen[2] };
		double q[3];
		for ( int r = 0; r < 3; ++r ) q[r] = cen[r] + shift[r] + R[r][0] * d[0] + R[r][1] * d[1] + R[r][2] * d[2];
		std::snprintf( buf, sizeof buf, "%8.3f%8.3f%8.3f", q[0], q[1], q[2] );
		ft << lines[i] << "\n";
		fm << lines[i].substr( 0, 30 ) << buf << lines[i].substr( 54 ) << "\n";
	}
	ft << "TER\nEND\n";
	fm << "TER\nEND\n";
}

std::string run( std::string const& cmd, int& status ) { return quilt_test::run_command( cmd, status ); }

struct FitCase {
	char const* name;
	char const* model;
	char chain;
	char const* map;
	char const* resolution;
	unsigned seed;
};

void PrintTo( FitCase const& c, std::ostream* os ) { *os << c.name; }

class PlacerAccuracy : public testing::TestWithParam<FitCase> {};

TEST_P( PlacerAccuracy, MovedChainIsFittedBackWithinOneAngstrom )
{
	QUILT_REQUIRE_SHARED_DATA();
	FitCase const& c = GetParam();
	std::string const model = quilt_test::shared_file( c.model ), map = quilt_test::shared_file( c.map );
	if ( !quilt_test::path_exists( model ) || !quilt_test::path_exists( map ) ) GTEST_SKIP() << "missing " << c.model;
	quilt_test::ScratchDir dir( "placeracc" );
	std::vector<std::string> lines = chain_lines( model, c.chain );
	ASSERT_GT( lines.size(), 100u );
	write_moved_case( lines, dir.file( "true.pdb" ), dir.file( "chain.pdb" ), c.seed );

	int status = -1;
	std::string const out = run( "'" + quilt_test::bin_dir() + "/Placer' '" + map + "' '" + dir.file( "chain.pdb" ) +
		"' " + c.resolution + " -sl 0", status );
	ASSERT_EQ( status, 0 ) << out;
	double const rmsd = synth::ca_rmsd( synth::read_ca( dir.file( "chain_1.pdb" ) ), synth::read_ca( dir.file( "true.pdb" ) ) );
	EXPECT_LT( rmsd, 1.0 ) << c.name << "\n" << out;
	// The moved input was not touched.
	EXPECT_GT( synth::ca_rmsd( synth::read_ca( dir.file( "chain.pdb" ) ), synth::read_ca( dir.file( "true.pdb" ) ) ), 10.0 );
}

INSTANTIATE_TEST_SUITE_P( SimulatedMaps, PlacerAccuracy,
	testing::Values( FitCase{ "adenylate_kinase_10A", "single/1akeA.pdb", ' ', "single/1akeA_10A.mrc", "10", 11 },
		FitCase{ "glutamine_binding_protein_5A", "single/1ggg.pdb", ' ', "single/1ggg_5A.mrc", "5", 12 },
		FitCase{ "complex_1z5s_chain_C_10A", "complexes/1z5s/1z5s_C.pdb", 'C', "complexes/1z5s/1z5s_10.mrc", "10", 13 },
		FitCase{ "protein_dna_3mht_chain_A_6A", "complexes/3mht/3mht.pdb", 'A', "complexes/3mht/3mht_sim6A.mrc", "6", 14 } ),
	[]( testing::TestParamInfo<FitCase> const& info ) { return std::string( info.param.name ); } );

// A chain of a complex fitted into the density of that chain alone (a lone
// chain in the map of the whole complex may be drawn to its neighbours'
// density; the assembly program removes fitted density for that reason).
struct ChainCase {
	char const* name;
	char const* model; // file holding the chain in its true position
	char chain;
	double resolution;
	unsigned seed;
};

void PrintTo( ChainCase const& c, std::ostream* os ) { *os << c.name; }

class PlacerChainAlone : public testing::TestWithParam<ChainCase> {};

TEST_P( PlacerChainAlone, MovedChainIsFittedBackIntoItsOwnDensity )
{
	QUILT_REQUIRE_SHARED_DATA();
	ChainCase const& c = GetParam();
	std::string const model = quilt_test::shared_file( c.model );
	if ( !quilt_test::path_exists( model ) ) GTEST_SKIP() << "missing " << c.model;
	quilt_test::ScratchDir dir( "placerchain" );
	std::vector<std::string> lines = chain_lines( model, c.chain );
	ASSERT_GT( lines.size(), 100u );
	write_moved_case( lines, dir.file( "true.pdb" ), dir.file( "chain.pdb" ), c.seed );
	std::vector<SimAtom> atoms;
	ASSERT_TRUE( read_sim_atoms( dir.file( "true.pdb" ), atoms ) );
	ASSERT_EQ( atoms.size(), lines.size() );
	ASSERT_TRUE( write_mrc( dir.file( "map.mrc" ), simulate_density( atoms, c.resolution, 1.5, 12.0 ) ) );

	char reso[32];
	std::snprintf( reso, sizeof reso, "%g", c.resolution );
	int status = -1;
	std::string const out = run( "'" + quilt_test::bin_dir() + "/Placer' '" + dir.file( "map.mrc" ) + "' '" +
		dir.file( "chain.pdb" ) + "' " + reso + " -sl 0", status );
	ASSERT_EQ( status, 0 ) << out;
	double const rmsd = synth::ca_rmsd( synth::read_ca( dir.file( "chain_1.pdb" ) ), synth::read_ca( dir.file( "true.pdb" ) ) );
	RecordProperty( "ca_rmsd", std::to_string( rmsd ) );
	EXPECT_LT( rmsd, 1.0 ) << c.name << "\n" << out;
	EXPECT_GT( synth::ca_rmsd( synth::read_ca( dir.file( "chain.pdb" ) ), synth::read_ca( dir.file( "true.pdb" ) ) ), 10.0 );
}

INSTANTIATE_TEST_SUITE_P( ComplexChains, PlacerChainAlone,
	testing::Values( ChainCase{ "antibody_2dqj_H_6A", "complexes/2dqj/2DQJ.pdb", 'H', 6.0, 31 },
		ChainCase{ "antibody_2dqj_L_7A", "complexes/2dqj/2DQJ.pdb", 'L', 7.0, 32 },
		ChainCase{ "lysozyme_2dqj_Y_8A", "complexes/2dqj/2DQJ.pdb", 'Y', 8.0, 33 },
		ChainCase{ "complex_1z5s_A_6A", "complexes/1z5s/1z5s_A.pdb", 'A', 6.0, 34 },
		ChainCase{ "complex_1z5s_B_7A", "complexes/1z5s/1z5s_B.pdb", 'B', 7.0, 35 },
		ChainCase{ "complex_1z5s_C_8A", "complexes/1z5s/1z5s_C.pdb", 'C', 8.0, 36 },
		ChainCase{ "complex_1z5s_D_6A", "complexes/1z5s/1z5s_D.pdb", 'D', 6.0, 37 },
		ChainCase{ "protein_dna_3mht_A_7A", "complexes/3mht/3mht.pdb", 'A', 7.0, 38 } ),
	[]( testing::TestParamInfo<ChainCase> const& info ) { return std::string( info.param.name ); } );

TEST( PlacerRealMap, FilamentProtomerCorrelatesAsWellAsTheDeposited )
{
	// The whole protomer as deposited, with the TER records at its three
	// chain breaks kept: Placer must fit all 369 residues (a reader that
	// stops at the first TER fits 129 and carries the rest along, which
	// correlates clearly worse).
	QUILT_REQUIRE_SHARED_DATA();
	std::string const model = quilt_test::shared_file( "single/3MFP.pdb" ), map = quilt_test::shared_file( "single/emd_5168.map" );
	if ( !quilt_test::path_exists( model ) || !quilt_test::path_exists( map ) ) GTEST_SKIP() << "EMD-5168 not present";
	quilt_test::ScratchDir dir( "placeremd" );
	std::vector<std::string> lines;
	{
		std::ifstream in( model.c_str() );
		for ( std::string line; std::getline( in, line ) && line.compare( 0, 3, "END" ) != 0; )
			if ( line.compare( 0, 4, "ATOM" ) == 0 || line.compare( 0, 3, "TER" ) == 0 ) lines.push_back( line );
	}
	ASSERT_EQ( synth::read_ca( model ).size(), 369u );
	write_moved_case( lines, dir.file( "true.pdb" ), dir.file( "actin.pdb" ), 21 );

	// Correlation of the deposited protomer, computed the way Placer ranks.
	double deposited = 0.0;
	{
		FastDensityScore fds;
		testing::internal::CaptureStdout();
		ASSERT_TRUE( fds.readDensityMap( map, 6.6, 0.0, 0.0, true ) );
		testing::internal::GetCapturedStdout();
		std::vector<std::vector<double> > ca = synth::read_ca( dir.file( "true.pdb" ) );
		double** rows = new2DArr( (int)ca.size(), 3 );
		for ( size_t i = 0; i < ca.size(); ++i )
			for ( int r = 0; r < 3; ++r ) rows[i][r] = ca[i][r];
		deposited = fds.getRSCC( rows, (int)ca.size(), 4.0 );
		release2DArr( (int)ca.size(), rows );
	}
	int status = -1;
	std::string const out = run( "'" + quilt_test::bin_dir() + "/Placer' '" + map + "' '" + dir.file( "actin.pdb" ) + "' 6.6 -sl 0", status );
	ASSERT_EQ( status, 0 ) << out;
	size_t const at = out.find( "Placer> RSCC of actin_1: " );
	ASSERT_NE( at, std::string::npos ) << out;
	double const best = std::atof( out.c_str() + at + 25 );
	EXPECT_GE( best, deposited - 0.02 ) << "deposited " << deposited << "\n" << out;
	// One chain: no atoms carried along unfitted, and every CA written.
	EXPECT_EQ( out.find( "only the" ), std::string::npos ) << out;
	EXPECT_EQ( synth::read_ca( dir.file( "actin_1.pdb" ) ).size(), 369u );
}

} // namespace
