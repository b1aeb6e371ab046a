// Regridding onto a cubic grid: axis permutation, the origin rule, trilinear
// resampling of orthogonal and skewed cells, and density staying in register.
#include "density/DensityScore.hh"
#include "density/tests/dmap_test_util.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

using dmap_test::stdout_to_stderr;

TEST( DmapRegrid, PermutedIndexAndDimensionsFollowTheAxisTable )
{
	DensityScore ds;
	unsigned nx, ny, nz;
	int sx, sy, sz;
	ds.permute_dimensions( 4, 2, 3, 4, &nx, &ny, &nz, 10, 20, 30, &sx, &sy, &sz );
	EXPECT_EQ( nx, 4u ); EXPECT_EQ( ny, 2u ); EXPECT_EQ( nz, 3u );
	EXPECT_EQ( sx, 30 ); EXPECT_EQ( sy, 10 ); EXPECT_EQ( sz, 20 );
	// permute_map agrees with permuted_index for every mode.
	for ( int mode = 1; mode <= 6; ++mode ) {
		double* src = static_cast<double*>( std::calloc( 24, sizeof( double ) ) );
		for ( int i = 0; i < 24; ++i ) src[i] = i + 1;
		double* out = nullptr;
		ds.permute_map( mode, 2, 3, 4, &nx, &ny, &nz, 0, 0, 0, &sx, &sy, &sz, src, &out );
		EXPECT_EQ( nx * ny * nz, 24u );
		for ( unsigned long i = 0; i < 24; ++i ) {
			EXPECT_DOUBLE_EQ( out[ds.permuted_index( mode, i, 2, 3, 4 )], i + 1.0 ) << mode;
		}
		std::free( out );
	}
}

TEST( DmapRegrid, OriginRule )
{
	DensityScore ds;
	double ox, oy, oz;
	EXPECT_EQ( ds.set_origin_get_mode( 2, 3, 4, 1.5, 1.5, 1.5, 0, 5e-5, 0, &ox, &oy, &oz ), 0 );
	EXPECT_DOUBLE_EQ( ox, 3.0 ); EXPECT_DOUBLE_EQ( oz, 6.0 );
	EXPECT_EQ( ds.set_origin_get_mode( 2, 3, 4, 1.5, 1.5, 1.5, 0, 0, 0.0002, &ox, &oy, &oz ), 1 );
	EXPECT_DOUBLE_EQ( ox, 0.0 ); EXPECT_DOUBLE_EQ( oz, 0.0002 );
}

TEST( DmapRegrid, HalfVoxelOriginMovesIntoRegister )
{
	DensityScore ds;
	std::vector<double> v = dmap_test::ramp( 4 * 3 * 3 );
	double* out = nullptr;
	unsigned ex, ey, ez;
	double ox, oy, oz;
	testing::internal::CaptureStdout();
	ds.interpolate_map( &out, &ex, &ey, &ez, &ox, &oy, &oz, 1, 1, 1, v.data(), 4, 3, 3,
		0.5, 2.0, 0.0, 1, 1, 1 );
	std::fflush( stdout );
	std::string const msg = testing::internal::GetCapturedStdout();
	EXPECT_EQ( ex, 3u ); EXPECT_EQ( ey, 3u ); EXPECT_EQ( ez, 3u );
	EXPECT_DOUBLE_EQ( ox, 1.0 ); EXPECT_DOUBLE_EQ( oy, 2.0 );
	EXPECT_NE( msg.find( "in register with coordinate system origin: (1.000,2.000,0.000)" ), std::string::npos ) << msg;
	// Half-way values along x of a ramp (value = x + 4y + 12z).
	EXPECT_DOUBLE_EQ( out[0], 0.5 );
	EXPECT_DOUBLE_EQ( out[1], 1.5 );
	std::free( out );
}

// The note that a grid is not in register with the coordinate origin went
// to standard error, the only line of the reader that did: it is one of the
// reader's lines on standard output now.
TEST( DmapRegrid, NotInRegisterNoteGoesToStandardOutput )
{
	quilt_test::ScratchDir dir( "dmap_reg" );
	dmap_test::CraftMrc m;
	m.nc = m.nr = m.ns = 3;
	m.values = dmap_test::ramp( 27 );
	// Reads the map with ORIGIN x at xorig; what the reader printed on
	// standard output and on standard error.
	auto read_at = [ & ]( float xorig, dmap_test::Grid& g, std::string& out, std::string& err ) {
		m.xorig = xorig;
		m.write( dir.file( "map.mrc" ) );
		testing::internal::CaptureStdout();
		testing::internal::CaptureStderr();
		dmap_test::read_vol( dir.file( "map.mrc" ), g );
		std::fflush( stdout );
		err = testing::internal::GetCapturedStderr();
		out = testing::internal::GetCapturedStdout();
	};
	dmap_test::Grid g;
	std::string out, err;
	read_at( 0.3f, g, out, err );
	std::string const note = "ReadMrc_st> Input grid not in register with origin of coordinate system.\n";
	EXPECT_EQ( quilt_test::occurrences( out, note ), 1u ) << out;
	EXPECT_EQ( err.find( "ReadMrc_st>" ), std::string::npos ) << err;
	EXPECT_DOUBLE_EQ( g.ox, 0.3f );
	ASSERT_EQ( g.n(), 27u );

	// A grid in register prints no such note.
	dmap_test::Grid h;
	read_at( 2.0f, h, out, err );
	EXPECT_EQ( out.find( "not in register" ), std::string::npos ) << out;
	EXPECT_EQ( err.find( "not in register" ), std::string::npos ) << err;
}

TEST( DmapRegrid, LinearDensityIsReproducedExactlyOnAnyGrid )
{
	// Trilinear interpolation reproduces a linear function exactly; positions
	// that round to just past the last plane must be clamped, not read beyond.
	DensityScore ds;
	double const widths[][3] = { { 0.3, 0.3, 0.3 }, { 1.23, 1.25, 1.3 }, { 0.7, 0.9, 1.1 } };
	double const targets[] = { 0.9, 1.2, 1.7, 0.3 };
	for ( auto const& w : widths ) {
		unsigned const n[3] = { 128, 7, 9 };
		double const o[3] = { -3 * w[0], 0.1, 2.0 };
		std::vector<double> v( n[0] * n[1] * n[2] );
		size_t i = 0;
		for ( unsigned z = 0; z < n[2]; ++z )
			for ( unsigned y = 0; y < n[1]; ++y )
				for ( unsigned x = 0; x < n[0]; ++x, ++i )
					v[i] = 1.0 + 0.5 * ( o[0] + x * w[0] ) - 0.25 * ( o[1] + y * w[1] ) + 2.0 * ( o[2] + z * w[2] );
		for ( double t : targets ) {
			if ( t * 2 > w[1] * ( n[1] - 1 ) ) continue;
			double* out = nullptr;
			unsigned ex, ey, ez;
			double ox, oy, oz;
			testing::internal::CaptureStdout();
			ds.interpolate_map( &out, &ex, &ey, &ez, &ox, &oy, &oz, t, t, t, v.data(), n[0], n[1], n[2],
				o[0], o[1], o[2], w[0], w[1], w[2] );
			testing::internal::GetCapturedStdout();
			size_t k = 0;
			double worst = 0;
			for ( unsigned z = 0; z < ez; ++z )
				for ( unsigned y = 0; y < ey; ++y )
					for ( unsigned x = 0; x < ex; ++x, ++k ) {
						double const want = 1.0 + 0.5 * ( ox + x * t ) - 0.25 * ( oy + y * t ) + 2.0 * ( oz + z * t );
						worst = std::max( worst, std::fabs( out[k] - want ) );
					}
			EXPECT_LT( worst, 1e-9 ) << w[0] << " -> " << t;
			// The new grid lies inside the old span and on the lattice of t.
			EXPECT_GE( ox, o[0] - 1e-12 );
			EXPECT_LE( ox + ( ex - 1 ) * t, o[0] + ( n[0] - 1 ) * w[0] + 1e-9 );
			EXPECT_NEAR( std::remainder( ox, t ), 0.0, 1e-9 );
			std::free( out );
		}
	}
}

TEST( DmapRegrid, NonCubicMapBecomesCubicWithBlobInPlace )
{
	quilt_test::ScratchDir dir( "dmap" );
	// A Gaussian blob on a 1.23 x 1.25 x 1.30 A grid, written as MRC.
	dmap_test::CraftMrc m;
	m.nc = 30; m.nr = 28; m.ns = 26;
	m.xlen = 30 * 1.23f; m.ylen = 28 * 1.25f; m.zlen = 26 * 1.30f;
	m.xorig = 4.0f; m.yorig = -2.0f; m.zorig = 7.5f;
	double const c[3] = { 4.0 + 15.3, -2.0 + 16.1, 7.5 + 15.9 };
	for ( int z = 0; z < m.ns; ++z )
		for ( int y = 0; y < m.nr; ++y )
			for ( int x = 0; x < m.nc; ++x ) {
				double const dx = 4.0 + x * double( 1.23f ) - c[0];
				double const dy = -2.0 + y * double( 1.25f ) - c[1];
				double const dz = 7.5 + z * double( 1.30f ) - c[2];
				m.values.push_back( std::exp( -( dx * dx + dy * dy + dz * dz ) / ( 2 * 2.5 * 2.5 ) ) );
			}
	m.write( dir.file( "nc.mrc" ) );
	DensityScore ds;
	double w, ox, oy, oz;
	unsigned ex, ey, ez;
	double* phi = nullptr;
	testing::internal::CaptureStdout();
	ds.read_vol( dir.file( "nc.mrc" ).c_str(), &w, &ox, &oy, &oz, &ex, &ey, &ez, &phi );
	testing::internal::GetCapturedStdout();
	EXPECT_NEAR( w, 1.2, 1e-12 );
	double got[3];
	dmap_test::centroid( phi, ex, ey, ez, w, ox, oy, oz, got );
	for ( int d = 0; d < 3; ++d ) EXPECT_NEAR( got[d], c[d], 0.1 * w ) << d;
	std::free( phi );
}

TEST( DmapRegrid, SkewedCellIsResampledOntoCartesianGrid )
{
	quilt_test::ScratchDir dir( "dmap" );
	// gamma = 120: the stored grid runs along a = (1,0,0), b = (cos g, sin g, 0).
	dmap_test::CraftMrc m;
	m.nc = 34; m.nr = 34; m.ns = 22;
	m.width = 1.0f;
	m.gamma = 120.0f;
	double const g = 120.0 * 0.017453292519943295;
	double const c[3] = { 6.0, 14.0, 11.0 };
	for ( int z = 0; z < m.ns; ++z )
		for ( int y = 0; y < m.nr; ++y )
			for ( int x = 0; x < m.nc; ++x ) {
				double const p[3] = { x + std::cos( g ) * y, std::sin( g ) * y, double( z ) };
				double const d2 = ( p[0] - c[0] ) * ( p[0] - c[0] ) + ( p[1] - c[1] ) * ( p[1] - c[1] )
					+ ( p[2] - c[2] ) * ( p[2] - c[2] );
				m.values.push_back( std::exp( -d2 / ( 2 * 2.0 * 2.0 ) ) );
			}
	m.write( dir.file( "sk.mrc" ) );
	DensityScore ds;
	double w, ox, oy, oz;
	unsigned ex, ey, ez;
	double* phi = nullptr;
	ds.read_vol( dir.file( "sk.mrc" ).c_str(), &w, &ox, &oy, &oz, &ex, &ey, &ez, &phi );
	// Smallest of wx, wy sin(120), wz rounded to 0.1 A.
	EXPECT_NEAR( w, 0.9, 1e-12 );
	double got[3];
	dmap_test::centroid( phi, ex, ey, ez, w, ox, oy, oz, got );
	for ( int d = 0; d < 3; ++d ) EXPECT_NEAR( got[d], c[d], 0.1 * w ) << d;
	std::free( phi );
}

TEST( DmapRegridDeath, TooFewVoxelsAndDegenerateCells )
{
	DensityScore ds;
	std::vector<double> v( 8, 1.0 );
	double* out = nullptr;
	unsigned ex, ey, ez;
	double ox, oy, oz, w;
	EXPECT_EXIT( { stdout_to_stderr(); ds.interpolate_map( &out, &ex, &ey, &ez, &ox, &oy, &oz, 3, 3, 3,
		v.data(), 2, 2, 2, 0.5, 0.5, 0.5, 1, 1, 1 ); },
		testing::ExitedWithCode( 17005 % 256 ), "Error in read density map! 17005" );
	EXPECT_EXIT( { stdout_to_stderr(); ds.interpolate_skewed_map_to_cubic( &out, &ex, &ey, &ez, &ox, &oy, &oz, &w,
		v.data(), 2, 2, 2, 0, 0, 0, 0, 0, 0, 1, 1, 1, 90, 90, 0 ); },
		testing::ExitedWithCode( 71300 % 256 ), "Error in read density map! 71300" );
	EXPECT_EXIT( { stdout_to_stderr(); ds.interpolate_skewed_map_to_cubic( &out, &ex, &ey, &ez, &ox, &oy, &oz, &w,
		v.data(), 2, 2, 2, 0, 0, 0, 0, 0, 0, 1, 1, 1, 30, 150, 30 ); },
		testing::ExitedWithCode( 71340 % 256 ), "Error in read density map! 71340" );
}
