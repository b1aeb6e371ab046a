// Situs maps and the format choice; removal of fitted density.
#include "density/DensityScore.hh"
#include "density/tests/dmap_test_util.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <array>
#include <random>

using dmap_test::stdout_to_stderr;

namespace {

void write_text( std::string const& f, std::string const& s )
{
	std::ofstream out( f );
	out << s;
}

std::string situs_2x2x2( std::string const& tail = "" )
{
	return "2.5 -1.0 2.0 3.0 2 2 2\n0.1 0.2 0.3\n0.4 0.5\n0.6 0.7 0.8\n" + tail;
}

} // namespace

TEST( DmapSitus, SmallMapIsReadAsSitus )
{
	quilt_test::ScratchDir dir( "dmap" );
	write_text( dir.file( "a.situs" ), situs_2x2x2() );
	DensityScore ds;
	EXPECT_EQ( ds.test_situs( dir.file( "a.situs" ).c_str() ), 0 );
	EXPECT_GT( ds.test_mrc( dir.file( "a.situs" ).c_str(), 0 ), 0 );
	double w, ox, oy, oz;
	unsigned ex, ey, ez;
	double* phi = nullptr;
	testing::internal::CaptureStdout();
	ds.read_vol( dir.file( "a.situs" ).c_str(), &w, &ox, &oy, &oz, &ex, &ey, &ez, &phi );
	std::fflush( stdout );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_NE( out.find( "ReadMrc_st> Columns, rows, and sections: x=1-2, y=1-2, z=1-2\n" ), std::string::npos );
	EXPECT_DOUBLE_EQ( w, 2.5 ); EXPECT_DOUBLE_EQ( ox, -1.0 ); EXPECT_DOUBLE_EQ( oz, 3.0 );
	EXPECT_EQ( ex * ey * ez, 8u );
	for ( int i = 0; i < 8; ++i ) EXPECT_DOUBLE_EQ( phi[i], 0.1 * ( i + 1 ) );
	std::free( phi );
	// Implausible header values score 2 each.
	write_text( dir.file( "b.situs" ), "2500 0 0 0 2 2 2\n" );
	EXPECT_EQ( ds.test_situs( dir.file( "b.situs" ).c_str() ), 2 );
	write_text( dir.file( "c.situs" ), "1 0 0 0 6000 -2 2\n" );
	EXPECT_EQ( ds.test_situs( dir.file( "c.situs" ).c_str() ), 4 );
	write_text( dir.file( "d.situs" ), "1 0 0 zz\n" );
	EXPECT_EQ( ds.test_situs( dir.file( "d.situs" ).c_str() ), 999999 );
}

TEST( DmapSitus, WrongValueCountStops )
{
	quilt_test::ScratchDir dir( "dmap" );
	write_text( dir.file( "extra.situs" ), situs_2x2x2( "0.9\n" ) );
	write_text( dir.file( "word.situs" ), situs_2x2x2( "end\n" ) );
	write_text( dir.file( "short.situs" ), "1 0 0 0 2 2 2\n1 2 3 4 5 6 7\n" );
	DensityScore ds;
	double w, ox, oy, oz;
	unsigned ex, ey, ez;
	double* phi = nullptr;
	EXPECT_EXIT( { stdout_to_stderr(); ds.read_situs( dir.file( "extra.situs" ).c_str(), &w, &ox, &oy, &oz, &ex, &ey, &ez, &phi ); },
		testing::ExitedWithCode( 13040 % 256 ), "Error: Can't open file! 13040" );
	EXPECT_EXIT( { stdout_to_stderr(); ds.read_situs( dir.file( "word.situs" ).c_str(), &w, &ox, &oy, &oz, &ex, &ey, &ez, &phi ); },
		testing::ExitedWithCode( 13040 % 256 ), "Error: Can't open file! 13040" );
	EXPECT_EXIT( { stdout_to_stderr(); ds.read_situs( dir.file( "short.situs" ).c_str(), &w, &ox, &oy, &oz, &ex, &ey, &ez, &phi ); },
		testing::ExitedWithCode( 13030 % 256 ), "Error: Can't open file! 13030" );
	// Extents far beyond what the file can hold: refused before allocating.
	write_text( dir.file( "huge.situs" ), "1 0 0 0 4000 4000 4000\n1 2 3\n" );
	EXPECT_EXIT( { stdout_to_stderr(); ds.read_situs( dir.file( "huge.situs" ).c_str(), &w, &ox, &oy, &oz, &ex, &ey, &ez, &phi ); },
		testing::ExitedWithCode( 13030 % 256 ), "Error: Can't open file! 13030" );
	EXPECT_EXIT( { stdout_to_stderr(); ds.read_situs( dir.file( "none.situs" ).c_str(), &w, &ox, &oy, &oz, &ex, &ey, &ez, &phi ); },
		testing::ExitedWithCode( 13010 % 256 ), "Error: Can't open file! 13010" );
}

TEST( DmapSitus, WriteVolAlwaysWritesMrc )
{
	quilt_test::ScratchDir dir( "dmap" );
	std::vector<double> v = dmap_test::ramp( 1000, 0.001 );
	DensityScore ds;
	ds.write_vol( dir.file( "x.situs" ).c_str(), 1.0, 0, 0, 0, 10, 10, 10, v.data() );
	EXPECT_EQ( ds.test_mrc( dir.file( "x.situs" ).c_str(), 0 ), 0 );
	EXPECT_EQ( ds.test_situs( dir.file( "x.situs" ).c_str() ), 999999 );
	// A Situs map over many lines round-trips through the MRC writer.
	std::string s = "1.0 0 0 0\n10 10 10\n";
	for ( int i = 0; i < 1000; ++i ) s += std::to_string( 0.001 * i ) + ( i % 7 == 6 ? "\n" : " " );
	write_text( dir.file( "y.situs" ), s );
	double w, ox, oy, oz;
	unsigned ex, ey, ez;
	double* phi = nullptr;
	testing::internal::CaptureStdout();
	ds.read_vol( dir.file( "y.situs" ).c_str(), &w, &ox, &oy, &oz, &ex, &ey, &ez, &phi );
	testing::internal::GetCapturedStdout();
	ASSERT_EQ( ex, 10u ); ASSERT_EQ( ez, 10u );
	for ( int i = 0; i < 1000; ++i ) EXPECT_NEAR( phi[i], v[i], 1e-12 );
	std::free( phi );
}

// --- removal of fitted density -----------------------------------------

namespace {

std::string atom_line( int serial, char const* name, char chain, int resno, double x, double y, double z )
{
	char buf[100];
	std::snprintf( buf, sizeof( buf ), "ATOM  %5d  %-3s ALA %c%4d    %8.3f%8.3f%8.3f  1.00 20.00           C\n",
		serial, name, chain, resno, x, y, z );
	return buf;
}

// Reference marking: every voxel against every atom.
unsigned long brute_mark( std::vector<double>& v, unsigned ex, unsigned ey, unsigned ez, double w,
	double const* o, std::vector<std::array<double, 3>> const& atoms, double r )
{
	unsigned long count = 0;
	for ( unsigned long i = 0; i < v.size(); ++i ) {
		unsigned long const z = i / ( ex * ey ), rem = i % ( ex * ey ), y = rem / ex, x = rem % ex;
		double const p[3] = { x * w + o[0], y * w + o[1], z * w + o[2] };
		for ( auto const& a : atoms ) {
			double const d = std::sqrt( ( p[0] - a[0] ) * ( p[0] - a[0] ) + ( p[1] - a[1] ) * ( p[1] - a[1] )
				+ ( p[2] - a[2] ) * ( p[2] - a[2] ) );
			if ( d < r ) { v[i] = -10.0; ++count; break; }
		}
	}
	(void)ez;
	return count;
}

} // namespace

TEST( DmapRemove, BoundingBoxMarkingMatchesFullScan )
{
	std::mt19937 rng( 7 );
	std::uniform_real_distribution<double> u( -6.0, 30.0 );
	unsigned const ex = 23, ey = 19, ez = 17;
	for ( int trial = 0; trial < 8; ++trial ) {
		// Odd trials: 1 A voxels and atoms on voxel centres, so that many
		// voxels lie exactly 4.0 A from an atom (not marked).
		bool const snap = trial % 2 == 1;
		double const o[3] = { -1.5, 0.25, 2.0 }, w = snap ? 1.0 : 1.3;
		std::vector<std::array<double, 3>> atoms;
		for ( int a = 0; a < 40; ++a ) {
			std::array<double, 3> p = { u( rng ), u( rng ), u( rng ) };
			if ( snap ) for ( int d = 0; d < 3; ++d ) p[d] = o[d] + std::round( ( p[d] - o[d] ) / w ) * w;
			atoms.push_back( p );
		}
		std::vector<double> ref( ex * ey * ez ), got;
		for ( size_t i = 0; i < ref.size(); ++i ) ref[i] = std::sin( 0.1 * i );
		got = ref;
		unsigned long const want = brute_mark( ref, ex, ey, ez, w, o, atoms, 4.0 );
		std::vector<double*> ptrs;
		for ( auto& a : atoms ) ptrs.push_back( a.data() );
		DensityScore ds;
		testing::internal::CaptureStdout();
		ds.modifyDensityValue( ex, ey, ez, o[0], o[1], o[2], w, got.data(), ptrs, 4.0 );
		std::fflush( stdout );
		std::string const out = testing::internal::GetCapturedStdout();
		EXPECT_EQ( out, "ReadMrc_st> Marked voxels: " + std::to_string( want ) + "\n" );
		for ( size_t i = 0; i < ref.size(); ++i ) ASSERT_DOUBLE_EQ( got[i], ref[i] ) << i;
	}
}

TEST( DmapRemove, RemovesFirstChainOnlyAndStrictRadius )
{
	quilt_test::ScratchDir dir( "dmap" );
	unsigned const n = 16;
	std::vector<double> v( n * n * n, 0.5 );
	v[0] = -3.0;  // already negative: still marked when an atom is near
	DensityScore ds;
	ds.WriteMrc( 1, dir.file( "in.mrc" ).c_str(), 1.0, 0, 0, 0, n, n, n, v.data() );
	// Chain A atom at (4, 4, 4): voxel (8, 4, 4) is exactly 4.0 A away.
	// Chain B (after TER) at (12, 12, 12) must not remove anything.
	std::string pdb = atom_line( 1, "CA", 'A', 1, 4, 4, 4 ) + atom_line( 2, "N", 'A', 2, 1, 1, 1 ) + "TER\n"
		+ atom_line( 3, "CA", 'B', 1, 12, 12, 12 ) + "END\n";
	write_text( dir.file( "m.pdb" ), pdb );
	testing::internal::CaptureStdout();
	ds.RemoveMatchedRegion( dir.file( "in.mrc" ), dir.file( "out.mrc" ), dir.file( "m.pdb" ), 4.0 );
	std::fflush( stdout );
	testing::internal::GetCapturedStdout();
	double w, ox, oy, oz;
	unsigned ex, ey, ez;
	double* phi = nullptr;
	ds.read_vol( dir.file( "out.mrc" ).c_str(), &w, &ox, &oy, &oz, &ex, &ey, &ez, &phi );
	auto at = [&]( unsigned x, unsigned y, unsigned z ) { return phi[x + n * ( y + n * z )]; };
	EXPECT_DOUBLE_EQ( at( 4, 4, 4 ), -10.0 );
	EXPECT_DOUBLE_EQ( at( 7, 4, 4 ), -10.0 );
	EXPECT_DOUBLE_EQ( at( 8, 4, 4 ), 0.5 );
	EXPECT_DOUBLE_EQ( at( 0, 0, 0 ), -10.0 );
	EXPECT_DOUBLE_EQ( at( 12, 12, 12 ), 0.5 );
	std::free( phi );
	// A second model removed from the map written by the first call: both marks.
	write_text( dir.file( "m2.pdb" ), atom_line( 1, "CA", 'C', 1, 12, 12, 12 ) );
	testing::internal::CaptureStdout();
	ds.RemoveMatchedRegion( dir.file( "out.mrc" ), dir.file( "out2.mrc" ), dir.file( "m2.pdb" ), 4.0 );
	std::fflush( stdout );
	testing::internal::GetCapturedStdout();
	ds.read_vol( dir.file( "out2.mrc" ).c_str(), &w, &ox, &oy, &oz, &ex, &ey, &ez, &phi );
	EXPECT_DOUBLE_EQ( at( 4, 4, 4 ), -10.0 );
	EXPECT_DOUBLE_EQ( at( 12, 12, 12 ), -10.0 );
	std::free( phi );
	// A fill value of the caller's: the same voxels, set to it.
	testing::internal::CaptureStdout();
	ds.RemoveMatchedRegion( dir.file( "in.mrc" ), dir.file( "zero.mrc" ), dir.file( "m.pdb" ), 4.0, 0.0 );
	std::fflush( stdout );
	testing::internal::GetCapturedStdout();
	ds.read_vol( dir.file( "zero.mrc" ).c_str(), &w, &ox, &oy, &oz, &ex, &ey, &ez, &phi );
	EXPECT_DOUBLE_EQ( at( 4, 4, 4 ), 0.0 );
	EXPECT_DOUBLE_EQ( at( 7, 4, 4 ), 0.0 );
	EXPECT_DOUBLE_EQ( at( 0, 0, 0 ), 0.0 );  // was negative: marked all the same
	EXPECT_DOUBLE_EQ( at( 8, 4, 4 ), 0.5 );
	std::free( phi );
}
