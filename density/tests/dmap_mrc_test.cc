// MRC/CCP4 reading and writing: round trips, crafted headers (byte order,
// modes, axis order, symmetry bytes) and the fatal errors of bad files.
#include "density/DensityScore.hh"
#include "density/tests/dmap_test_util.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <sstream>

using dmap_test::CraftMrc;
using dmap_test::Grid;
using dmap_test::read_vol;
using dmap_test::stdout_to_stderr;

namespace {

struct Raw {
	int orth = 1, cubic = 1, mode = 7;
	unsigned nc, nr, ns;
	int cs, rs, ss;
	double wx, wy, wz, xo, yo, zo, a, b, g;
	double* phi = nullptr;
	~Raw() { std::free( phi ); }
};

void read_raw( std::string const& f, Raw& r )
{
	DensityScore ds;
	ds.ReadMrc( f.c_str(), &r.orth, &r.cubic, &r.mode, &r.nc, &r.nr, &r.ns, &r.cs, &r.rs, &r.ss,
		&r.wx, &r.wy, &r.wz, &r.xo, &r.yo, &r.zo, &r.a, &r.b, &r.g, &r.phi );
}

CraftMrc small_map( int nc = 3, int nr = 4, int ns = 5 )
{
	CraftMrc m;
	m.nc = nc; m.nr = nr; m.ns = ns;
	m.values = dmap_test::ramp( static_cast<size_t>( nc ) * nr * ns, 0.5, -3.0 );
	return m;
}

} // namespace

TEST( DmapMrc, WriteThenReadKeepsValuesGeometryAndStartIndices )
{
	quilt_test::ScratchDir dir( "dmap" );
	std::string const f = dir.file( "w.mrc" );
	std::vector<double> v = dmap_test::ramp( 4 * 3 * 2, 0.25, -1.0 );
	DensityScore ds;
	ds.WriteMrc( 1, f.c_str(), 2.0, 10.0, 20.0, 30.0, 4, 3, 2, v.data() );
	Grid g;
	read_vol( f, g );
	EXPECT_EQ( g.ex, 4u ); EXPECT_EQ( g.ey, 3u ); EXPECT_EQ( g.ez, 2u );
	EXPECT_DOUBLE_EQ( g.width, 2.0 );
	EXPECT_DOUBLE_EQ( g.ox, 10.0 ); EXPECT_DOUBLE_EQ( g.oy, 20.0 ); EXPECT_DOUBLE_EQ( g.oz, 30.0 );
	for ( size_t i = 0; i < v.size(); ++i ) EXPECT_DOUBLE_EQ( g.phi[i], v[i] ) << i;
	// Origin in register: start indices 5, 10, 15 and the MRC2000 origin.
	Raw r;
	read_raw( f, r );
	EXPECT_EQ( r.cs, 5 ); EXPECT_EQ( r.rs, 10 ); EXPECT_EQ( r.ss, 15 );
	EXPECT_DOUBLE_EQ( r.xo, 10.0 );
	EXPECT_EQ( r.mode, 1 );
	EXPECT_EQ( r.orth, 1 ); EXPECT_EQ( r.cubic, 1 );
}

TEST( DmapMrc, OriginOffLatticeWritesZeroStartsAndKeepsOrigin )
{
	quilt_test::ScratchDir dir( "dmap" );
	std::string const f = dir.file( "w.mrc" );
	std::vector<double> v = dmap_test::ramp( 8 );
	DensityScore ds;
	ds.WriteMrc( 1, f.c_str(), 2.0, 10.5, 20.0, 30.0, 2, 2, 2, v.data() );
	Raw r;
	read_raw( f, r );
	EXPECT_EQ( r.cs, 0 ); EXPECT_EQ( r.rs, 0 ); EXPECT_EQ( r.ss, 0 );
	Grid g;
	read_vol( f, g );
	EXPECT_NEAR( g.ox, 10.5, 1e-6 );
	EXPECT_NEAR( g.oz, 30.0, 1e-6 );
}

TEST( DmapMrc, IndependentReaderAgreesWithWriter )
{
	if ( !dmap_test::python_has( "mrcfile" ) ) GTEST_SKIP() << "python3 mrcfile not available";
	quilt_test::ScratchDir dir( "dmap" );
	std::string const f = dir.file( "w.mrc" );
	std::vector<double> v = dmap_test::ramp( 5 * 4 * 3, 0.5, -7.0 );
	DensityScore ds;
	ds.WriteMrc( 1, f.c_str(), 1.5, -3.0, 4.5, 6.0, 5, 4, 3, v.data() );
	std::string const out = dmap_test::run_capture( "/usr/bin/python3 -c \"import mrcfile\n"
		"m = mrcfile.open('" + f + "', permissive=False)\n"
		"print(m.data.shape[0], m.data.shape[1], m.data.shape[2])\n"
		"print(float(m.voxel_size.x), float(m.voxel_size.z))\n"
		"print(float(m.header.origin.x), float(m.header.origin.y), float(m.header.origin.z))\n"
		"print(float(m.data[2,3,4]), float(m.data[0,0,1]), float(m.data.sum()))\n\" 2>&1" );
	std::istringstream in( out );
	int s0 = 0, s1 = 0, s2 = 0;
	double vx = 0, vz = 0, ox = 0, oy = 0, oz = 0, last = 0, second = 0, sum = 0;
	in >> s0 >> s1 >> s2 >> vx >> vz >> ox >> oy >> oz >> last >> second >> sum;
	ASSERT_FALSE( in.fail() ) << out;
	// mrcfile indexes (section, row, column).
	EXPECT_EQ( s0, 3 ); EXPECT_EQ( s1, 4 ); EXPECT_EQ( s2, 5 );
	EXPECT_NEAR( vx, 1.5, 1e-6 ); EXPECT_NEAR( vz, 1.5, 1e-6 );
	EXPECT_NEAR( ox, -3.0, 1e-6 ); EXPECT_NEAR( oy, 4.5, 1e-6 ); EXPECT_NEAR( oz, 6.0, 1e-6 );
	EXPECT_DOUBLE_EQ( last, v[59] );
	EXPECT_DOUBLE_EQ( second, v[1] );
	double s = 0;
	for ( double x : v ) s += x;
	EXPECT_NEAR( sum, s, 1e-6 );
}

TEST( DmapMrc, IndependentWriterIsReadCorrectly )
{
	if ( !dmap_test::python_has( "mrcfile" ) ) GTEST_SKIP() << "python3 mrcfile not available";
	quilt_test::ScratchDir dir( "dmap" );
	std::string const f = dir.file( "py.mrc" );
	// Big-endian float map with a start index and voxel size 2.5.
	std::string const cmd = "/usr/bin/python3 -c \"import mrcfile, numpy as np\n"
		"d = np.arange(60, dtype='>f4').reshape(3,4,5) * 0.5\n"
		"m = mrcfile.new('" + f + "', overwrite=True)\n"
		"m.set_data(d.astype('>f4'))\n"
		"m.voxel_size = 2.5\n"
		"m.header.nxstart = -4\n"
		"m.close()\n\" 2>&1";
	std::string const out = dmap_test::run_capture( cmd );
	ASSERT_TRUE( dmap_test::file_exists( f ) ) << out;
	Grid g;
	read_vol( f, g );
	EXPECT_EQ( g.ex, 5u ); EXPECT_EQ( g.ey, 4u ); EXPECT_EQ( g.ez, 3u );
	EXPECT_NEAR( g.width, 2.5, 1e-6 );
	EXPECT_NEAR( g.ox, -10.0, 1e-6 );
	for ( size_t i = 0; i < g.n(); ++i ) EXPECT_DOUBLE_EQ( g.phi[i], 0.5 * i );
}

TEST( DmapMrc, BigEndianAndLittleEndianTwinsReadAlike )
{
	quilt_test::ScratchDir dir( "dmap" );
	for ( int mode : { 1, 2 } ) {
		CraftMrc m = small_map();
		m.mode = mode;
		m.values = dmap_test::ramp( 60, mode == 1 ? 3.0 : 0.5, -20.0 );
		m.ncstart = -2;
		m.write( dir.file( "le.mrc" ) );
		m.big_endian = true;
		m.machst[0] = 0x11; m.machst[1] = 0x11;
		m.write( dir.file( "be.mrc" ) );
		Grid a, b;
		read_vol( dir.file( "le.mrc" ), a );
		read_vol( dir.file( "be.mrc" ), b );
		ASSERT_EQ( a.n(), 60u );
		ASSERT_EQ( b.n(), 60u );
		EXPECT_DOUBLE_EQ( a.ox, -2.0 );
		EXPECT_DOUBLE_EQ( b.ox, -2.0 );
		for ( size_t i = 0; i < 60; ++i ) {
			EXPECT_DOUBLE_EQ( a.phi[i], m.values[i] );
			EXPECT_DOUBLE_EQ( b.phi[i], m.values[i] );
		}
		DensityScore ds;
		EXPECT_DOUBLE_EQ( ds.get_grid_width( dir.file( "be.mrc" ).c_str() ), 1.0 );
	}
}

TEST( DmapMrc, OriginWordsReadInEitherByteOrder )
{
	// get_origin reports the MRC2000 ORIGIN words as the reader sees them,
	// also for a file written on a machine of the other byte order.
	quilt_test::ScratchDir dir( "dmap" );
	for ( bool big : { false, true } ) {
		CraftMrc m = small_map();
		m.xorig = 12.5f;
		m.yorig = -3.25f;
		m.zorig = 1000.0f;
		m.big_endian = big;
		std::string const f = dir.file( big ? "be.mrc" : "le.mrc" );
		m.write( f );
		DensityScore ds;
		double* o = ds.get_origin( f.c_str() );
		EXPECT_DOUBLE_EQ( o[0], 12.5 ) << big;
		EXPECT_DOUBLE_EQ( o[1], -3.25 ) << big;
		EXPECT_DOUBLE_EQ( o[2], 1000.0 ) << big;
		delete[] o;
		Raw r;
		testing::internal::CaptureStdout();
		read_raw( f, r );
		testing::internal::GetCapturedStdout();
		EXPECT_DOUBLE_EQ( r.xo, 12.5 ) << big;
	}
}

TEST( DmapMrcDeath, OriginOfMissingFileStops )
{
	DensityScore ds;
	EXPECT_EXIT( { stdout_to_stderr(); ds.get_origin( "/nonexistent/x.mrc" ); },
		testing::ExitedWithCode( 71010 % 256 ), "Error in read mrc file! 71010" );
}

TEST( DmapMrc, ByteOrderProbeCountsViolations )
{
	quilt_test::ScratchDir dir( "dmap" );
	CraftMrc m = small_map();
	m.write( dir.file( "a.mrc" ) );
	DensityScore ds;
	EXPECT_EQ( ds.test_mrc( dir.file( "a.mrc" ).c_str(), 0 ), 0 );
	EXPECT_GT( ds.test_mrc( dir.file( "a.mrc" ).c_str(), 1 ), 0 );
	// Each bound counts on its own: NC > 5000, NCSTART < -5000, a NaN angle.
	m.nc = 6000; m.mx = 6000; m.ncstart = -6000;
	m.alpha = std::numeric_limits<float>::quiet_NaN();
	m.write( dir.file( "b.mrc" ) );
	EXPECT_EQ( ds.test_mrc( dir.file( "b.mrc" ).c_str(), 0 ), 4 );
}

TEST( DmapMrc, ModeZeroSignConvention )
{
	quilt_test::ScratchDir dir( "dmap" );
	CraftMrc m = small_map( 2, 2, 1 );
	m.mode = 0;
	m.values = { 127, -128, 127, -128 };  // unsigned 127, 128, 127, 128
	m.write( dir.file( "u.mrc" ) );
	testing::internal::CaptureStdout();
	Raw r;
	read_raw( dir.file( "u.mrc" ), r );
	std::fflush( stdout );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_NE( out.find( "unsigned 8-bit convention" ), std::string::npos );
	EXPECT_DOUBLE_EQ( r.phi[0], 127 ); EXPECT_DOUBLE_EQ( r.phi[1], 128 );
	EXPECT_DOUBLE_EQ( r.phi[3], 128 );

	m.values = { -1, -2, -1, -2 };
	m.write( dir.file( "s.mrc" ) );
	Raw s;
	read_raw( dir.file( "s.mrc" ), s );
	EXPECT_DOUBLE_EQ( s.phi[0], -1 ); EXPECT_DOUBLE_EQ( s.phi[1], -2 );
}

TEST( DmapMrc, PermutedAxesLandOnXyz )
{
	quilt_test::ScratchDir dir( "dmap" );
	// Columns along y, rows along z, sections along x (MAPC 2, MAPR 3, MAPS 1).
	CraftMrc m = small_map( 2, 3, 4 );
	m.mapc = 2; m.mapr = 3; m.maps = 1;
	m.ncstart = 1; m.nrstart = 2; m.nsstart = 3;
	m.write( dir.file( "p.mrc" ) );
	Raw r;
	read_raw( dir.file( "p.mrc" ), r );
	EXPECT_EQ( r.mode, 4 );
	Grid g;
	read_vol( dir.file( "p.mrc" ), g );
	ASSERT_EQ( g.ex, 4u ); ASSERT_EQ( g.ey, 2u ); ASSERT_EQ( g.ez, 3u );
	// Start indices follow their axes: x from sections, y columns, z rows.
	EXPECT_DOUBLE_EQ( g.ox, 3.0 ); EXPECT_DOUBLE_EQ( g.oy, 1.0 ); EXPECT_DOUBLE_EQ( g.oz, 2.0 );
	for ( int s = 0; s < 4; ++s )
		for ( int rr = 0; rr < 3; ++rr )
			for ( int c = 0; c < 2; ++c ) {
				double const want = m.values[c + 2 * ( rr + 3 * s )];
				int const x = s, y = c, z = rr;
				EXPECT_DOUBLE_EQ( g.phi[x + 4 * ( y + 2 * z )], want );
			}
}

TEST( DmapMrc, SymmetryBytesAreSkipped )
{
	quilt_test::ScratchDir dir( "dmap" );
	CraftMrc m = small_map();
	m.nsymbt = 80;
	m.write( dir.file( "s80.mrc" ) );
	Grid g;
	read_vol( dir.file( "s80.mrc" ), g );
	for ( size_t i = 0; i < 60; ++i ) EXPECT_DOUBLE_EQ( g.phi[i], m.values[i] );
	// A negative NSYMBT skips nothing.
	m.nsymbt = -16;
	m.write( dir.file( "sneg.mrc" ) );
	Grid h;
	read_vol( dir.file( "sneg.mrc" ), h );
	for ( size_t i = 0; i < 60; ++i ) EXPECT_DOUBLE_EQ( h.phi[i], m.values[i] );
}

TEST( DmapMrc, FlagsAndWidthsFollowTolerances )
{
	quilt_test::ScratchDir dir( "dmap" );
	CraftMrc m = small_map();
	m.alpha = 90.004f;
	m.write( dir.file( "a.mrc" ) );
	Raw a;
	read_raw( dir.file( "a.mrc" ), a );
	EXPECT_EQ( a.orth, 1 );
	m.alpha = 90.006f;
	m.write( dir.file( "b.mrc" ) );
	Raw b;
	read_raw( dir.file( "b.mrc" ), b );
	EXPECT_EQ( b.orth, 0 ); EXPECT_EQ( b.cubic, 0 );
	m.alpha = 90;
	m.xlen = 3 * 1.0004f;
	m.write( dir.file( "c.mrc" ) );
	Raw c;
	read_raw( dir.file( "c.mrc" ), c );
	EXPECT_EQ( c.cubic, 1 );
	m.xlen = 3 * 1.0006f;
	m.write( dir.file( "d.mrc" ) );
	Raw d;
	read_raw( dir.file( "d.mrc" ), d );
	EXPECT_EQ( d.orth, 1 ); EXPECT_EQ( d.cubic, 0 );
}

TEST( DmapMrc, NonFiniteOriginFallsBackToStartIndices )
{
	quilt_test::ScratchDir dir( "dmap" );
	CraftMrc m = small_map();
	m.ncstart = 7;
	m.xorig = std::numeric_limits<float>::infinity();
	m.width = 2.0f;
	m.write( dir.file( "o.mrc" ) );
	Grid g;
	read_vol( dir.file( "o.mrc" ), g );
	EXPECT_DOUBLE_EQ( g.ox, 14.0 );
	EXPECT_DOUBLE_EQ( g.oy, 0.0 );

	// Each word on its own: a NaN x word takes the x start index while the
	// finite y word still places y.  With rows along x (axis map 2, 1, 3) the
	// x start index is NRSTART.
	m.xorig = std::numeric_limits<float>::quiet_NaN();
	m.yorig = 5.0f;
	m.nrstart = 3;
	for ( int rowsAlongX = 0; rowsAlongX < 2; ++rowsAlongX ) {
		m.mapc = rowsAlongX ? 2 : 1;
		m.mapr = rowsAlongX ? 1 : 2;
		m.write( dir.file( "o2.mrc" ) );
		Grid g2;
		testing::internal::CaptureStdout();
		read_vol( dir.file( "o2.mrc" ), g2 );
		std::fflush( stdout );
		std::string const out = testing::internal::GetCapturedStdout();
		EXPECT_NE( out.find( "ORIGIN word X of" ), std::string::npos ) << out;
		EXPECT_DOUBLE_EQ( g2.ox, rowsAlongX ? 6.0 : 14.0 );
		EXPECT_DOUBLE_EQ( g2.oy, 5.0 );
	}
}

TEST( DmapMrc, QuietReaderPrintsNothingOnCleanFile )
{
	quilt_test::ScratchDir dir( "dmap" );
	small_map().write( dir.file( "q.mrc" ) );
	testing::internal::CaptureStdout();
	Raw r;
	read_raw( dir.file( "q.mrc" ), r );
	std::fflush( stdout );
	EXPECT_EQ( testing::internal::GetCapturedStdout(), "" );
	DensityScore loud;
	loud.quiet = false;
	testing::internal::CaptureStdout();
	Raw r2;
	loud.ReadMrc( dir.file( "q.mrc" ).c_str(), &r2.orth, &r2.cubic, &r2.mode, &r2.nc, &r2.nr, &r2.ns,
		&r2.cs, &r2.rs, &r2.ss, &r2.wx, &r2.wy, &r2.wz, &r2.xo, &r2.yo, &r2.zo, &r2.a, &r2.b, &r2.g, &r2.phi );
	std::fflush( stdout );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_NE( out.find( "ReadMrc_st>       NC =        3  (# columns)\n" ), std::string::npos ) << out;
	EXPECT_NE( out.find( "ReadMrc_st>      MAP =      MAP  (map string)\n" ), std::string::npos ) << out;
}

TEST( DmapMrc, StatisticsAndRegistration )
{
	DensityScore ds;
	double v[4] = { -1.0, 0.0, -2.0, 0.0 };
	double mx, mn, mean, rms;
	ds.calc_map_info( v, 4, &mx, &mn, &mean, &rms );
	EXPECT_DOUBLE_EQ( mx, 0.0 ); EXPECT_DOUBLE_EQ( mn, -2.0 ); EXPECT_DOUBLE_EQ( mean, -0.75 );
	EXPECT_DOUBLE_EQ( rms, 0.0 );
	double w[4] = { 1, 3, 0, 0 };
	ds.calc_map_info( w, 4, &mx, &mn, &mean, &rms );
	EXPECT_DOUBLE_EQ( rms, std::sqrt( ( 0.0 * 0 + 2.0 * 2.0 ) / 4 ) );
	EXPECT_EQ( ds.test_registration( 10, 20, 30, 2 ), 1 );
	EXPECT_EQ( ds.test_registration( 10.5f, 20, 30, 2 ), 0 );
	EXPECT_EQ( ds.test_registration( -4, 0, 2, 2 ), 1 );
}

// --- fatal errors -----------------------------------------------------------

TEST( DmapMrcDeath, MissingFileStopsInProbe )
{
	DensityScore ds;
	EXPECT_EXIT( { stdout_to_stderr(); Raw r; read_raw( "/nonexistent/x.mrc", r ); },
		testing::ExitedWithCode( 71010 % 256 ), "Error in read mrc file! 71010" );
	EXPECT_EXIT( { stdout_to_stderr(); ds.get_grid_width( "/nonexistent/x.mrc" ); },
		testing::ExitedWithCode( 71010 % 256 ), "Error in read mrc file! 71010" );
}

TEST( DmapMrcDeath, ShortHeader )
{
	quilt_test::ScratchDir dir( "dmap" );
	CraftMrc m = small_map();
	m.total_bytes = 100;
	m.write( dir.file( "h.mrc" ) );
	EXPECT_EXIT( { stdout_to_stderr(); Raw r; read_raw( dir.file( "h.mrc" ), r ); },
		testing::ExitedWithCode( 70650 % 256 ), "Error in read mrc file! 70650" );
}

TEST( DmapMrcDeath, BadModeAndAxisOrder )
{
	quilt_test::ScratchDir dir( "dmap" );
	CraftMrc m = small_map();
	m.mode = 2;
	m.write( dir.file( "ok.mrc" ) );
	CraftMrc bad = m;
	bad.mode = 4;
	bad.values.clear();
	for ( int i = 0; i < 60 * 4; ++i ) bad.values.push_back( 0 );
	bad.write( dir.file( "m.mrc" ) );
	EXPECT_EXIT( { stdout_to_stderr(); Raw r; read_raw( dir.file( "m.mrc" ), r ); },
		testing::ExitedWithCode( 70654 % 256 ), "Error in read mrc file! 70654" );
	m.mapr = 1;
	m.write( dir.file( "o.mrc" ) );
	EXPECT_EXIT( { stdout_to_stderr(); Raw r; read_raw( dir.file( "o.mrc" ), r ); },
		testing::ExitedWithCode( 70680 % 256 ), "Error in read mrc file! 70680" );
}

TEST( DmapMrcDeath, TruncatedDataPerMode )
{
	quilt_test::ScratchDir dir( "dmap" );
	int const codes[3] = { 70651, 70652, 70653 };
	for ( int mode = 0; mode < 3; ++mode ) {
		CraftMrc m = small_map();
		m.mode = mode;
		m.values = dmap_test::ramp( 60, 1.0, -30 );
		m.data_bytes = 7;
		std::string const f = dir.file( "t" + std::to_string( mode ) + ".mrc" );
		m.write( f );
		std::string const re = "Error in read mrc file! " + std::to_string( codes[mode] );
		EXPECT_EXIT( { stdout_to_stderr(); Raw r; read_raw( f, r ); },
			testing::ExitedWithCode( codes[mode] % 256 ), re );
	}
}

TEST( DmapMrcDeath, TruncatedSymmetryRecords )
{
	quilt_test::ScratchDir dir( "dmap" );
	CraftMrc m = small_map();
	m.nsymbt = 4000;
	m.sym_bytes = 10;
	m.values.clear();
	m.write( dir.file( "s.mrc" ) );
	EXPECT_EXIT( { stdout_to_stderr(); Raw r; read_raw( dir.file( "s.mrc" ), r ); },
		testing::ExitedWithCode( 70647 % 256 ), "Error in read mrc file! 70647" );
}

TEST( DmapMrcDeath, AbsurdOrEmptyExtentsNeverAllocate )
{
	quilt_test::ScratchDir dir( "dmap" );
	// 4000^3 float voxels promised by a 1 kB file: refused before allocation.
	CraftMrc m = small_map();
	m.nc = m.nr = m.ns = 4000;
	m.values.resize( 16 );
	m.write( dir.file( "big.mrc" ) );
	EXPECT_EXIT( { stdout_to_stderr(); Raw r; read_raw( dir.file( "big.mrc" ), r ); },
		testing::ExitedWithCode( 70653 % 256 ), "Error in read mrc file! 70653" );
	// Products that overflow 32 bits are refused the same way.
	m.nc = 70000; m.nr = 70000; m.ns = 1; m.mx = 100; m.my = 100;
	m.write( dir.file( "wrap.mrc" ) );
	EXPECT_EXIT( { stdout_to_stderr(); Raw r; read_raw( dir.file( "wrap.mrc" ), r ); },
		testing::ExitedWithCode( 70653 % 256 ), "Error in read mrc file! 70653" );
	// 2^22 x 2^21 x 2^21 voxels wrap the 64-bit product round to 0: such a
	// map was read as no voxels at all.  Refused as too many.
	m.nc = 4194304; m.nr = 2097152; m.ns = 2097152; m.mz = 100;
	m.write( dir.file( "wrap64.mrc" ) );
	EXPECT_EXIT( { stdout_to_stderr(); Raw r; read_raw( dir.file( "wrap64.mrc" ), r ); },
		testing::ExitedWithCode( 70653 % 256 ), "4194304 x 2097152 x 2097152, more than 2\\^32 - 1 voxels" );
	CraftMrc z = small_map();
	z.nr = 0;
	z.write( dir.file( "zero.mrc" ) );
	EXPECT_EXIT( { stdout_to_stderr(); Raw r; read_raw( dir.file( "zero.mrc" ), r ); },
		testing::ExitedWithCode( 70653 % 256 ), "Error in read mrc file! 70653" );
}

TEST( DmapMrcDeath, UnusableCellIsRejected )
{
	quilt_test::ScratchDir dir( "dmap" );
	CraftMrc m = small_map();
	m.xlen = 0.0f;
	m.write( dir.file( "l0.mrc" ) );
	EXPECT_EXIT( { stdout_to_stderr(); Raw r; read_raw( dir.file( "l0.mrc" ), r ); },
		testing::ExitedWithCode( 70650 % 256 ), "unusable unit cell.*\n.*Error in read mrc file! 70650" );
	CraftMrc n = small_map();
	n.ylen = std::numeric_limits<float>::quiet_NaN();
	n.write( dir.file( "lnan.mrc" ) );
	EXPECT_EXIT( { stdout_to_stderr(); Raw r; read_raw( dir.file( "lnan.mrc" ), r ); },
		testing::ExitedWithCode( 70650 % 256 ), "Error in read mrc file! 70650" );
	CraftMrc k = small_map();
	k.mz = 0;
	k.zlen = 5.0f;
	k.write( dir.file( "mz0.mrc" ) );
	EXPECT_EXIT( { stdout_to_stderr(); Raw r; read_raw( dir.file( "mz0.mrc" ), r ); },
		testing::ExitedWithCode( 70650 % 256 ), "Error in read mrc file! 70650" );
	DensityScore ds;
	EXPECT_DOUBLE_EQ( ds.get_grid_width( dir.file( "l0.mrc" ).c_str() ), 0.0 );
}

TEST( DmapMrcDeath, WriterStopsOnFailedOpenOrShortWrite )
{
	std::vector<double> v( 8, 1.0 );
	DensityScore ds;
	EXPECT_EXIT( { stdout_to_stderr(); ds.WriteMrc( 1, "/nonexistent/dir/x.mrc", 1.0, 0, 0, 0, 2, 2, 2, v.data() ); },
		testing::ExitedWithCode( 71420 % 256 ),
		"WriteMrc> Error in open the map file: /nonexistent/dir/x.mrc ,71420!" );
	if ( dmap_test::file_exists( "/dev/full" ) ) {
		EXPECT_EXIT( { stdout_to_stderr(); ds.WriteMrc( 1, "/dev/full", 1.0, 0, 0, 0, 2, 2, 2, v.data() ); },
			testing::ExitedWithCode( 71430 % 256 ), "WriteMrc> Error, 71430!" );
	}
}
