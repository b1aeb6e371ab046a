// Array helpers, work-map processing, regridding to a new width, density
// parameters and the CA correlation.
#include "density/DensityScore.hh"
#include "density/tests/dmap_test_util.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>
#include <unistd.h>

using dmap_test::Grid;
using dmap_test::read_vol;
using dmap_test::stdout_to_stderr;

namespace {

void write_grid( std::string const& f, std::vector<double> const& v, unsigned ex, unsigned ey, unsigned ez,
	double w, double ox, double oy, double oz )
{
	DensityScore ds;
	ds.WriteMrc( 1, f.c_str(), w, ox, oy, oz, ex, ey, ez, const_cast<double*>( v.data() ) );
}

} // namespace

// --- array helpers --------------------------------------------------------

TEST( DmapArrays, HistogramThresholdKnownAnswers )
{
	// Clustered in bin 60: the bin centre.
	std::vector<double> a( 500 );
	for ( size_t i = 0; i < a.size(); ++i ) a[i] = 0.3001 + 0.004 * ( i % 10 ) / 10.0;
	EXPECT_NEAR( get_dens_threshold( a.data(), 500 ), 0.3025, 1e-12 );
	// Even spread: every bin nearly full, so the mean.
	std::vector<double> b( 2000 );
	double mean = 0;
	for ( size_t i = 0; i < b.size(); ++i ) { b[i] = ( i + 0.5 ) / 2000.0; mean += b[i]; }
	mean /= 2000;
	EXPECT_NEAR( get_dens_threshold( b.data(), 2000 ), mean, 1e-12 );
	// Two equal dominant bins 40 bins apart: the mean; 10 apart: higher bin.
	auto two = [&]( int b1, int b2 ) {
		std::vector<double> v;
		for ( int i = 0; i < 100; ++i ) { v.push_back( ( b1 + 0.5 ) * 0.005 ); v.push_back( ( b2 + 0.5 ) * 0.005 ); }
		double m = 0;
		for ( double x : v ) m += x;
		return std::make_pair( get_dens_threshold( v.data(), static_cast<int>( v.size() ) ), m / v.size() );
	};
	auto far = two( 20, 60 );
	EXPECT_NEAR( far.first, far.second, 1e-12 );
	auto near = two( 20, 30 );
	EXPECT_NEAR( near.first, 30.5 * 0.005, 1e-12 );
	// Out-of-range values stay inside the histogram; empty input.
	std::vector<double> c = { -0.5, 1.5, 1.0, 0.2 };
	EXPECT_TRUE( std::isfinite( get_dens_threshold( c.data(), 4 ) ) );
	EXPECT_NEAR( get_dens_threshold( nullptr, 0 ), 199.5 * 0.005, 1e-12 );
}

TEST( DmapArrays, ClipThresholdAndMinMax )
{
	std::vector<double> v = { 0.1, 0.5, 0.9 };
	EXPECT_EQ( clipped( v.data(), 3, 1.0, 0.0 ), 0 );
	EXPECT_EQ( clipped( v.data(), 3, 0.8, 0.2 ), 1 );
	EXPECT_DOUBLE_EQ( v[0], 0.2 ); EXPECT_DOUBLE_EQ( v[2], 0.8 );
	std::vector<double> t = { 0.1, 0.3, 0.3, 0.5 };
	testing::internal::CaptureStdout();
	threshold( t.data(), 4, 0.3 );
	std::fflush( stdout );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_DOUBLE_EQ( t[0], 0.0 ); EXPECT_DOUBLE_EQ( t[1], 0.3 );
	EXPECT_NE( out.find( "Remaining occupied volume: 3 voxels." ), std::string::npos );
	EXPECT_DOUBLE_EQ( calc_max( t.data(), 0 ), -1e20 );
	EXPECT_DOUBLE_EQ( calc_min( t.data(), 4 ), 0.0 );
	EXPECT_EQ( gidz_general( 2, 1, 3, 4, 5 ), ( 2u * 4 + 1 ) * 5 + 3 );
	EXPECT_EXIT( { stdout_to_stderr(); normalize( t.data(), 4, 0.0 ); },
		testing::ExitedWithCode( 17130 % 256 ), "Error, illegal factor in normalization, 17130" );
}

TEST( DmapArrays, PercentileOfLogHistogram )
{
	EXPECT_DOUBLE_EQ( findTopDensity( {}, 0.9999 ), 0.0 );
	EXPECT_DOUBLE_EQ( findTopDensity( { 2.5, 2.5, 2.5 }, 0.9999 ), 2.5 );
	// 0..199 each once plus many values in the top bin: every weight is 0
	// but the top bin's, so the result is the lower edge of that bin.
	std::vector<double> v;
	for ( int i = 0; i < 200; ++i ) v.push_back( i );
	for ( int i = 0; i < 50; ++i ) v.push_back( 199.0 );
	double const step = 199.0 * 0.005;
	EXPECT_NEAR( findTopDensity( v, 0.9999 ), 199 * step, 1e-9 );
	// All weights 0 (each bin holds one value): edge 200, the maximum.
	std::vector<double> u = { 0.0, 1.0 };
	EXPECT_NEAR( findTopDensity( u, 0.9999 ), 1.0, 1e-12 );
}

// --- work-map processing -------------------------------------------------

TEST( DmapProcess, NormalisationClearsContourAndScalesToOne )
{
	quilt_test::ScratchDir dir( "dmap" );
	std::vector<double> v = dmap_test::ramp( 6 * 5 * 4, 0.1, -2.0 );
	v[7] = 0.5;  // exactly at the contour level: cleared
	write_grid( dir.file( "in.mrc" ), v, 6, 5, 4, 1.5, 3.0, 0.0, -1.5 );
	DensityScore ds;
	testing::internal::CaptureStdout();
	ds.map_processing( dir.file( "in.mrc" ), dir.file( "out.mrc" ), 0.5, true );
	std::fflush( stdout );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_NE( out.find( "ReadMrc_st> \033[1mMap density value normalization\033[0m\n" ), std::string::npos );
	EXPECT_EQ( out.find( "percentile" ), std::string::npos );
	Grid g;
	read_vol( dir.file( "out.mrc" ), g );
	ASSERT_EQ( g.n(), v.size() );
	EXPECT_DOUBLE_EQ( g.ox, 3.0 ); EXPECT_DOUBLE_EQ( g.oz, -1.5 );
	std::vector<double> kept;
	for ( double x : v ) if ( x > 0.5 ) kept.push_back( x );
	double const top = findTopDensity( kept, 0.9999 );
	for ( size_t i = 0; i < v.size(); ++i ) {
		double want = v[i] <= 0.5 ? 0.0 : ( v[i] <= top ? v[i] / top : 1.0 );
		EXPECT_NEAR( g.phi[i], want, 1e-6 ) << i;
		EXPECT_GE( g.phi[i], 0.0 );
		EXPECT_LE( g.phi[i], 1.0 );
	}
	EXPECT_DOUBLE_EQ( g.phi[v.size() - 1], 1.0 );
}

TEST( DmapProcess, EmptyContourLeavesMapUnscaledWithoutNaN )
{
	quilt_test::ScratchDir dir( "dmap" );
	std::vector<double> v = dmap_test::ramp( 27, 0.1 );
	write_grid( dir.file( "in.mrc" ), v, 3, 3, 3, 1.0, 0, 0, 0 );
	DensityScore ds;
	testing::internal::CaptureStdout();
	ds.map_processing( dir.file( "in.mrc" ), dir.file( "p.mrc" ), 100.0, false );
	ds.segmap( dir.file( "in.mrc" ), dir.file( "s.mrc" ), 100.0, false );
	std::fflush( stdout );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_NE( out.find( "Warning! No density above the contour level" ), std::string::npos );
	EXPECT_NE( out.find( "Warning! Empty segmentation box" ), std::string::npos );
	Grid p, s;
	read_vol( dir.file( "p.mrc" ), p );
	read_vol( dir.file( "s.mrc" ), s );
	EXPECT_EQ( s.ex, 3u ); EXPECT_EQ( s.ey, 3u ); EXPECT_EQ( s.ez, 3u );
	for ( size_t i = 0; i < 27; ++i ) {
		EXPECT_DOUBLE_EQ( p.phi[i], 0.0 );
		EXPECT_DOUBLE_EQ( s.phi[i], 0.0 );
	}
}

TEST( DmapProcess, SegmapCropsToTheContourBox )
{
	quilt_test::ScratchDir dir( "dmap" );
	unsigned const ex = 12, ey = 10, ez = 9;
	std::vector<double> v( ex * ey * ez, 0.05 );
	auto at = [&]( unsigned x, unsigned y, unsigned z ) -> double& { return v[x + ex * ( y + ey * z )]; };
	at( 3, 2, 4 ) = 2.0;
	at( 8, 6, 5 ) = 1.0;
	at( 5, 4, 4 ) = 0.5;
	write_grid( dir.file( "in.mrc" ), v, ex, ey, ez, 2.0, 10.0, 20.0, 30.0 );
	DensityScore ds;
	testing::internal::CaptureStdout();
	ds.segmap( dir.file( "in.mrc" ), dir.file( "seg.mrc" ), 0.1, false );
	std::fflush( stdout );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_NE( out.find( "Seg_index = (3-8, 2-6, 4-5)" ), std::string::npos ) << out;
	Grid g;
	read_vol( dir.file( "seg.mrc" ), g );
	EXPECT_EQ( g.ex, 6u ); EXPECT_EQ( g.ey, 5u ); EXPECT_EQ( g.ez, 2u );
	EXPECT_DOUBLE_EQ( g.ox, 16.0 ); EXPECT_DOUBLE_EQ( g.oy, 24.0 ); EXPECT_DOUBLE_EQ( g.oz, 38.0 );
	double const top = findTopDensity( { 2.0, 1.0, 0.5 }, 0.9999 );
	EXPECT_NEAR( g.at( 0, 0, 0 ), 2.0 <= top ? 2.0 / top : 1.0, 1e-6 );
	EXPECT_NEAR( g.at( 5, 4, 1 ), 1.0 <= top ? 1.0 / top : 1.0, 1e-6 );
	EXPECT_DOUBLE_EQ( g.at( 1, 1, 1 ), 0.0 );  // cleared voxels stay inside the box
}

// --- trimming and regridding to a new width ------------------------------

TEST( DmapResample, ShrinkMarginMakesOddBoxes )
{
	DensityScore ds;
	unsigned const ex = 20, ey = 20, ez = 20;
	std::vector<double> v( ex * ey * ez, 0.0 );
	auto set = [&]( unsigned x, unsigned y, unsigned z, double a ) { v[x + ex * ( y + ey * z )] = a; };
	// Box 10 x 11 x 12 starting at 0.
	set( 0, 0, 0, 1.0 );
	set( 9, 10, 11, 2.0 );
	set( 9, 10, 12, -1.0 );  // beside the box: must not leak into the growth plane
	double* out = nullptr;
	unsigned nx, ny, nz;
	double ox, oy, oz;
	unsigned long cnt;
	testing::internal::CaptureStdout();
	ds.shrink_margin( &out, &nx, &ny, &nz, &ox, &oy, &oz, &cnt, v.data(), ex, ey, ez, 1.0, 2.0, 3.0, 2.0, 2.0, 2.0 );
	EXPECT_EQ( nx, 11u ); EXPECT_EQ( ny, 11u ); EXPECT_EQ( nz, 13u );
	EXPECT_EQ( cnt, 11ul * 11 * 13 );
	EXPECT_DOUBLE_EQ( ox, 1.0 );
	EXPECT_DOUBLE_EQ( out[0], 1.0 );
	EXPECT_DOUBLE_EQ( out[9 + 11 * ( 10 + 11 * 11 )], 2.0 );
	EXPECT_DOUBLE_EQ( out[9 + 11 * ( 10 + 11 * 12 )], 0.0 );
	std::free( out );
	// A box starting at 5 on x grows to start at 4.
	std::vector<double> w( ex * ey * ez, 0.0 );
	w[5 + ex * ( 3 + ey * 3 )] = 1.0;
	w[6 + ex * ( 3 + ey * 3 )] = 1.0;
	ds.shrink_margin( &out, &nx, &ny, &nz, &ox, &oy, &oz, &cnt, w.data(), ex, ey, ez, 0, 0, 0, 1, 1, 1 );
	EXPECT_EQ( nx, 3u ); EXPECT_EQ( ny, 1u );
	EXPECT_DOUBLE_EQ( ox, 4.0 ); EXPECT_DOUBLE_EQ( oy, 3.0 );
	std::free( out );
	// No positive voxel: message, and the map keeps its extent.
	std::vector<double> z( 8, -1.0 );
	ds.shrink_margin( &out, &nx, &ny, &nz, &ox, &oy, &oz, &cnt, z.data(), 2, 2, 2, 0, 0, 0, 1, 1, 1 );
	std::fflush( stdout );
	std::string const msg = testing::internal::GetCapturedStdout();
	EXPECT_NE( msg.find( "Error! ReadMrc, 17020\n" ), std::string::npos );
	EXPECT_EQ( nx, 2u ); EXPECT_EQ( cnt, 8ul );
	EXPECT_DOUBLE_EQ( out[7], -1.0 );
	std::free( out );
}

TEST( DmapResample, SameWidthReturnsInputAndWritesNothing )
{
	quilt_test::ScratchDir dir( "dmap" );
	std::vector<double> v = dmap_test::ramp( 64, 0.01 );
	write_grid( dir.file( "in.mrc" ), v, 4, 4, 4, 1.0, 0, 0, 0 );
	DensityScore ds;
	testing::internal::CaptureStdout();
	std::string const r = ds.interpolate_new_map( dir.file( "in.mrc" ), 5.0, 1.0, 0.2, true );
	std::fflush( stdout );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_EQ( r, dir.file( "in.mrc" ) );
	EXPECT_FALSE( dmap_test::file_exists( dir.file( "map_1.0.mrc" ) ) );
	EXPECT_NE( out.find( "Remaining occupied volume: 44 voxels." ), std::string::npos ) << out;
	EXPECT_DOUBLE_EQ( ds.dens_cutoff, 0.2 );
}

TEST( DmapResample, CoarserGridKeepsBlobInRegister )
{
	quilt_test::ScratchDir dir( "dmap" );
	unsigned const n = 40;
	double const o[3] = { -7.0, 3.5, 12.25 };
	double const c[3] = { o[0] + 19.3, o[1] + 17.2, o[2] + 21.9 };
	std::vector<double> v = dmap_test::gaussian_grid( n, n, n, 1.1, o, c, 3.0 );
	write_grid( dir.file( "blob.mrc" ), v, n, n, n, 1.1, o[0], o[1], o[2] );
	DensityScore ds;
	testing::internal::CaptureStdout();
	std::string const r = ds.interpolate_new_map( dir.file( "blob.mrc" ), 6.0, 2.0, 0.0, false );
	std::fflush( stdout );
	testing::internal::GetCapturedStdout();
	EXPECT_EQ( r, dir.file( "map_2.0.mrc" ) );
	Grid g;
	read_vol( r, g );
	EXPECT_DOUBLE_EQ( g.width, 2.0 );
	EXPECT_EQ( g.ex % 2, 1u ); EXPECT_EQ( g.ey % 2, 1u ); EXPECT_EQ( g.ez % 2, 1u );
	EXPECT_NEAR( std::remainder( g.ox, 2.0 ), 0.0, 1e-4 );
	double got[3];
	dmap_test::centroid( g.phi, g.ex, g.ey, g.ez, g.width, g.ox, g.oy, g.oz, got );
	for ( int d = 0; d < 3; ++d ) EXPECT_NEAR( got[d], c[d], 0.1 * g.width ) << d;
}

TEST( DmapResample, BareFileNameWritesIntoCurrentDirectory )
{
	quilt_test::ScratchDir dir( "dmap" );
	std::vector<double> v = dmap_test::gaussian_grid( 12, 12, 12, 1.0, std::vector<double>{ 0, 0, 0 }.data(),
		std::vector<double>{ 6, 6, 6 }.data(), 2.0 );
	write_grid( dir.file( "map.mrc" ), v, 12, 12, 12, 1.0, 0, 0, 0 );
	char cwd[4096];
	ASSERT_NE( getcwd( cwd, sizeof( cwd ) ), nullptr );
	ASSERT_EQ( chdir( dir.path().c_str() ), 0 );
	DensityScore ds;
	testing::internal::CaptureStdout();
	std::string const r = ds.interpolate_new_map( "map.mrc", 5.0, 2.0, 0.0, true );
	std::fflush( stdout );
	testing::internal::GetCapturedStdout();
	bool const there = dmap_test::file_exists( "map_2.0.mrc" );
	ASSERT_EQ( chdir( cwd ), 0 );
	EXPECT_EQ( r, "map_2.0.mrc" );
	EXPECT_TRUE( there );
}

// --- density parameters and correlation ----------------------------------

TEST( DmapDensParams, VoxelListAfterNormalisation )
{
	DensityScore ds;
	std::vector<double> v = dmap_test::ramp( 8 );  // 0..7, x fastest on 2 x 2 x 2
	testing::internal::CaptureStdout();
	ds.calculateDensParams( 2, 2, 2, 1.9, 0.0, -2.7, 1.0, v.data(), 6.0 / 7.0 );
	std::fflush( stdout );
	testing::internal::GetCapturedStdout();
	ASSERT_EQ( ds.voxel_count, 2 );
	EXPECT_DOUBLE_EQ( ds.voxel_xyz[0][0], 1.9 ); EXPECT_DOUBLE_EQ( ds.voxel_xyz[0][1], 1.0 );
	EXPECT_DOUBLE_EQ( ds.voxel_xyz[0][2], -1.7 );
	EXPECT_DOUBLE_EQ( ds.voxel_xyz[1][0], 2.9 );
	EXPECT_DOUBLE_EQ( ds.voxel_val[1], 1.0 );
	EXPECT_DOUBLE_EQ( ds.centre[0], 2.4 );
	EXPECT_DOUBLE_EQ( ds.radius, 0.5 );
	EXPECT_EQ( ds.grid_origin_int[0], 1 ); EXPECT_EQ( ds.grid_origin_int[2], -2 );
	ds.releaseVoxelList();
	// All values equal or none above the threshold: finite, empty list.
	std::vector<double> e( 8, 0.3 );
	testing::internal::CaptureStdout();
	ds.calculateDensParams( 2, 2, 2, 0, 0, 0, 1.0, e.data(), 0.5 );
	std::fflush( stdout );
	testing::internal::GetCapturedStdout();
	EXPECT_EQ( ds.voxel_count, 0 );
	EXPECT_TRUE( std::isfinite( ds.centre[0] ) && std::isfinite( ds.rg ) );
	for ( double x : e ) EXPECT_TRUE( std::isfinite( x ) );
	ds.releaseVoxelList();
}

TEST( DmapDensParams, ReadDensityMapSetsConstantsAndList )
{
	quilt_test::ScratchDir dir( "dmap" );
	double const o[3] = { 0, 0, 0 }, c[3] = { 10, 10, 10 };
	std::vector<double> v = dmap_test::gaussian_grid( 21, 21, 21, 1.0, o, c, 2.0 );
	write_grid( dir.file( "g.mrc" ), v, 21, 21, 21, 1.0, 0, 0, 0 );
	DensityScore ds;
	testing::internal::CaptureStdout();
	ds.readDensityMap_st( dir.file( "g.mrc" ).c_str(), 3.0, 1.0, 0.5 );
	std::fflush( stdout );
	testing::internal::GetCapturedStdout();
	EXPECT_TRUE( ds.loaded );
	EXPECT_DOUBLE_EQ( ds.eff_reso, 4.8 );
	EXPECT_DOUBLE_EQ( ds.gauss_k, std::pow( M_PI / 4.8, 2 ) );
	EXPECT_DOUBLE_EQ( ds.cc_cut2, 64.0 );
	EXPECT_GT( ds.voxel_count, 0 );
	for ( int d = 0; d < 3; ++d ) EXPECT_NEAR( ds.centre[d], 10.0, 1e-9 );
	for ( int i = 0; i < ds.voxel_count; ++i ) EXPECT_GE( ds.voxel_val[i], 0.5 );
	ds.releaseVoxelList();
}

TEST( DmapCorrelation, WeightedCorrelationKnownAnswersAndDegenerateLists )
{
	std::vector<double> x = { 1, 2, 3, 4 }, w = { 0, 0.5, 1, 0 };
	std::vector<double> y2 = { 2, 4, 6, 8 };
	EXPECT_NEAR( DensityScore::getWeightedCorrelation( x, y2, w ), 1.0, 1e-12 );
	std::vector<double> yc( 4, 3.0 );
	EXPECT_DOUBLE_EQ( DensityScore::getWeightedCorrelation( x, yc, w ), 0.0 );
	EXPECT_DOUBLE_EQ( DensityScore::getWeightedCorrelation( {}, {}, {} ), 0.0 );
	std::vector<double> neg = { -1, -1, -1, -1 };
	EXPECT_DOUBLE_EQ( DensityScore::getWeightedCorrelation( x, y2, neg ), 0.0 );
	// Hand-computed weighted correlation: weights 1, 0.5, 1, 1.
	std::vector<double> y = { 1, 3, 2, 5 };
	double W = 3.5, Sx = 1 + 1 + 3 + 4, Sy = 1 + 1.5 + 2 + 5, Sxx = 1 + 2 + 9 + 16, Syy = 1 + 4.5 + 4 + 25,
		Sxy = 1 + 3 + 6 + 20;
	double const want = ( Sxy - Sx * Sy / W ) / std::sqrt( ( Sxx - Sx * Sx / W ) * ( Syy - Sy * Sy / W ) );
	EXPECT_NEAR( DensityScore::getWeightedCorrelation( x, y, w ), want, 1e-12 );
}

TEST( DmapCorrelation, CaMisfitOverVoxelList )
{
	DensityScore ds;
	// No voxel list at all: defined misfit 100, not NaN.
	EXPECT_DOUBLE_EQ( ds.getCC( 0, nullptr ), 100.0 );
	// Voxels of a map computed from the CA Gaussian of two atoms.
	ds.gauss_k = std::pow( M_PI / 4.8, 2 );
	ds.gauss_c = 33.0 * std::pow( ds.gauss_k / M_PI, 1.5 );
	ds.cc_cut2 = 64.0;
	ds.mask_offset = 36.0;
	ds.dens_cutoff = 0.0;
	double ca0[3] = { 0, 0, 0 }, ca1[3] = { 3.8, 0, 0 };
	double* ca[2] = { ca0, ca1 };
	std::vector<double*> rows;
	std::vector<double> vals;
	for ( int i = -3; i <= 6; ++i )
		for ( int j = -3; j <= 3; ++j ) {
			double* p = new double[3]{ double( i ), double( j ), 0.5 };
			double s = 0;
			for ( double* a : ca ) {
				double d2 = 0;
				for ( int d = 0; d < 3; ++d ) d2 += ( p[d] - a[d] ) * ( p[d] - a[d] );
				s += ds.gauss_c * std::exp( -ds.gauss_k * d2 );
			}
			rows.push_back( p );
			vals.push_back( 2.0 * s );
		}
	ds.voxel_xyz = rows.data();
	ds.voxel_val = vals.data();
	ds.voxel_count = static_cast<int>( rows.size() );
	EXPECT_NEAR( ds.getCC( 2, ca ), 0.0, 1e-9 );
	// Same through precomputed squared distances.
	std::vector<std::vector<double>> d2( rows.size(), std::vector<double>( 2 ) );
	std::vector<double*> d2p;
	for ( size_t i = 0; i < rows.size(); ++i ) {
		for ( int j = 0; j < 2; ++j ) {
			double s = 0;
			for ( int d = 0; d < 3; ++d ) s += ( rows[i][d] - ca[j][d] ) * ( rows[i][d] - ca[j][d] );
			d2[i][j] = s;
		}
		d2p.push_back( d2[i].data() );
	}
	EXPECT_NEAR( ds.getCC_dist( 2, d2p.data() ), 0.0, 1e-9 );
	// The 8 A cut-off is inclusive.  A wide Gaussian makes the term at
	// d^2 = 64 large; observed = calculated including that term, so the
	// correlation is 1 only when the voxel at exactly 8 A counts.
	{
		DensityScore one = ds;
		one.gauss_k = 0.01;
		one.gauss_c = 1.0;
		double dummy[3][3] = {};
		double* vx[3] = { dummy[0], dummy[1], dummy[2] };
		double vals3[3] = { std::exp( -0.64 ), std::exp( -0.25 ), std::exp( -0.16 ) };
		one.voxel_xyz = vx;
		one.voxel_val = vals3;
		one.voxel_count = 3;
		double r0[1] = { 64.0 }, r1[1] = { 25.0 }, r2[1] = { 16.0 };
		double* at8[3] = { r0, r1, r2 };
		EXPECT_NEAR( one.getCC_dist( 1, at8 ), 0.0, 1e-9 );
		double s0[1] = { 64.0001 };
		double* beyond[3] = { s0, r1, r2 };
		EXPECT_GT( one.getCC_dist( 1, beyond ), 0.1 );
	}
	// No CA: constant calculated density, misfit 100.
	EXPECT_DOUBLE_EQ( ds.getCC( 0, ca ), 100.0 );
	// Threshold above every value: empty lists give 100, not NaN.
	ds.cc_threshold = 1e9;
	EXPECT_DOUBLE_EQ( ds.getCC( 2, ca ), 100.0 );
	for ( double* p : rows ) delete[] p;
	ds.voxel_xyz = nullptr;
	ds.voxel_val = nullptr;
	ds.voxel_count = 0;
}

TEST( DmapObject, DefaultsAndInit )
{
	DensityScore ds;
	EXPECT_TRUE( ds.quiet );
	EXPECT_FALSE( ds.loaded );
	EXPECT_DOUBLE_EQ( ds.atom_mask, 3.2 );
	EXPECT_EQ( ds.voxel_xyz, nullptr );
	EXPECT_EQ( ds.voxel_count, 0 );
	double v = 1.0;
	ds.voxel_val = &v;
	ds.voxel_count = 1;
	ds.dens_cutoff = 0.7;
	ds.loaded = true;
	ds.quiet = false;
	ds.init();
	EXPECT_FALSE( ds.loaded );
	EXPECT_TRUE( ds.quiet );
	EXPECT_EQ( ds.voxel_val, &v );
	EXPECT_DOUBLE_EQ( ds.dens_cutoff, 0.7 );
}
