// Map files the fuzz harnesses found mishandled (the inputs are kept in
// fuzz_regressions/<harness>/ and replayed by scripts/fuzz.sh as well).
// Each test names the fault it would catch coming back.
#include "density/DensityScore.hh"
#include "density/FastDensityScore.hh"
#include "density/tests/dmap_test_util.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

using namespace dmap_test;

namespace {

std::string regression( std::string const& rel )
{
	return std::string( QUILT_SOURCE_DIR ) + "/density/tests/fuzz_regressions/" + rel;
}

} // namespace

// Extents whose product overflowed 64 bits (undefined behaviour) before the
// voxel-count check: the map is refused without a crash.
TEST( FuzzRegressions, FastReaderRefusesExtentsWhoseProductOverflows )
{
	FastDensityScore map;
	testing::internal::CaptureStdout();
	bool const ok = map.readDensityMap( regression( "mrc_fast/extents_overflow.mrc" ), 6.0, 0.0, 0.0, true );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_FALSE( ok );
	EXPECT_NE( out.find( "hold too many voxels" ), std::string::npos ) << out;
}

// Cell angles at which the matrix had a tiny positive determinant but the
// volume formula gave NaN: the map was accepted with a NaN voxel size.
TEST( FuzzRegressions, FastReaderRefusesACellWithoutAUsableVolume )
{
	FastDensityScore map;
	testing::internal::CaptureStdout();
	bool const ok = map.readDensityMap( regression( "mrc_fast/nan_cell_volume.mrc" ), 6.0, 0.0, 0.0, true );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_FALSE( ok );
	EXPECT_NE( out.find( "Unusable unit cell" ), std::string::npos ) << out;
	EXPECT_FALSE( map.isLoaded );
}

// A NaN voxel value reached the percentile histogram (NaN cast to int) and
// would make every sum over the map NaN: it is read as 0 with a warning.
TEST( FuzzRegressions, PlainReaderSetsNonFiniteValuesToZero )
{
	Grid g;
	testing::internal::CaptureStdout();
	read_vol( regression( "mrc_plain/nan_values.mrc" ), g );
	std::string const out = testing::internal::GetCapturedStdout();
	ASSERT_EQ( g.n(), 12u );
	for ( size_t i = 0; i < g.n(); ++i ) EXPECT_TRUE( std::isfinite( g.phi[ i ] ) ) << i;
	EXPECT_EQ( g.phi[ 1 ], 0.0 );  // the NaN
	EXPECT_EQ( g.phi[ 2 ], 2.0 );  // its neighbours untouched
	EXPECT_NE( out.find( "1 map values" ), std::string::npos ) << out;

	quilt_test::ScratchDir dir( "fuzzreg" );
	DensityScore ds;
	testing::internal::CaptureStdout();
	ds.map_processing( regression( "mrc_plain/nan_values.mrc" ), dir.file( "out.mrc" ), 0.0, true );
	testing::internal::GetCapturedStdout();
	Grid w;
	testing::internal::CaptureStdout();
	read_vol( dir.file( "out.mrc" ), w );
	testing::internal::GetCapturedStdout();
	ASSERT_EQ( w.n(), 12u );
	for ( size_t i = 0; i < w.n(); ++i ) EXPECT_TRUE( w.phi[ i ] >= 0.0 && w.phi[ i ] <= 1.0 ) << i;
}

TEST( FuzzRegressions, SitusReaderSetsNonFiniteValuesToZero )
{
	Grid g;
	testing::internal::CaptureStdout();
	read_vol( regression( "situs/nan_values.situs" ), g );
	testing::internal::GetCapturedStdout();
	ASSERT_EQ( g.n(), 2u );
	EXPECT_EQ( g.phi[ 0 ], 0.0 );
	EXPECT_EQ( g.phi[ 1 ], 1.0 );
}

// An ORIGIN word of -1.7e38 A was cast to int (undefined behaviour) and gave
// voxel positions no model can reach; a Situs width of 1e30 A likewise.
TEST( FuzzRegressionsDeathTest, MapsPlacedBeyondAMillionAngstromAreRefused )
{
	EXPECT_EXIT( { stdout_to_stderr(); Grid g; read_vol( regression( "mrc_plain/far_origin.mrc" ), g ); },
		testing::ExitedWithCode( 70660 % 256 ), "is placed beyond 1e\\+06 A of the origin" );
	EXPECT_EXIT( { stdout_to_stderr(); Grid g; read_vol( regression( "situs/far_origin.situs" ), g ); },
		testing::ExitedWithCode( 13030 % 256 ), "is placed beyond" );
}

// Voxel widths 2 x 0.00075 x 2 A: the cubic resampling asked for 2 GB from a
// 1.3 kB file.  It is refused before the allocation, and map_processing
// leaves no output behind.
TEST( FuzzRegressionsDeathTest, ResamplingFarBeyondTheMapsOwnSizeIsRefused )
{
	quilt_test::ScratchDir dir( "fuzzreg" );
	std::string const out = dir.file( "out.mrc" );
	EXPECT_EXIT(
		{
			stdout_to_stderr();
			DensityScore ds;
			ds.map_processing( regression( "mrc_plain/anisotropic_voxels.mrc" ), out, 0.0, true );
		},
		testing::ExitedWithCode( 17005 % 256 ), "would give [0-9]+ voxels, more than 1048576" );
	EXPECT_FALSE( file_exists( out ) );
}
