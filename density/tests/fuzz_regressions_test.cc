// Map files the fuzz harnesses found mishandled (the inputs are kept in
// fuzz_regressions/<harness>/ and replayed by scripts/fuzz.sh as well).
// Each test names the fault it would catch coming back.
#include "density/DensityScore.hh"
#include "density/FastDensityScore.hh"
#include "density/tests/dmap_test_util.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
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
// volume formula gave NaN: the map was accepted with a NaN voxel size.  The
// file's NSYMBT reaches beyond its end, which is refused first; with NSYMBT
// 0 the same header reaches the cell check.
TEST( FuzzRegressions, FastReaderRefusesACellWithoutAUsableVolume )
{
	FastDensityScore map;
	testing::internal::CaptureStdout();
	bool ok = map.readDensityMap( regression( "mrc_fast/nan_cell_volume.mrc" ), 6.0, 0.0, 0.0, true );
	std::string out = testing::internal::GetCapturedStdout();
	EXPECT_FALSE( ok );
	EXPECT_NE( out.find( "gives NSYMBT (word 24)" ), std::string::npos ) << out;
	EXPECT_FALSE( map.isLoaded );

	quilt_test::ScratchDir dir( "fuzzreg" );
	std::ifstream in( regression( "mrc_fast/nan_cell_volume.mrc" ), std::ios::binary );
	std::string bytes( ( std::istreambuf_iterator<char>( in ) ), std::istreambuf_iterator<char>() );
	ASSERT_GT( bytes.size(), 96u );
	for ( int i = 92; i < 96; ++i ) bytes[i] = 0;
	std::ofstream( dir.file( "nsym0.mrc" ), std::ios::binary ) << bytes;
	testing::internal::CaptureStdout();
	ok = map.readDensityMap( dir.file( "nsym0.mrc" ), 6.0, 0.0, 0.0, true );
	out = testing::internal::GetCapturedStdout();
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
// Such ORIGIN words are now set aside by both readers, as all of 10000 A or
// more (the start indices place the map, here at 0); a map that its start
// indices place beyond 1e6 A is still refused.
TEST( FuzzRegressionsDeathTest, MapsPlacedBeyondAMillionAngstromAreRefused )
{
	EXPECT_EXIT(
		{
			stdout_to_stderr();
			Grid g;
			read_vol( regression( "mrc_plain/far_origin.mrc" ), g );
			std::exit( g.ox == 0.0 && g.n() == 8u ? 0 : 1 );
		},
		testing::ExitedWithCode( 0 ), "ORIGIN words X, Y, Z \\(-1.7e\\+38, 0, 0 A\\) of [^ ]*far_origin.mrc are not used" );
	quilt_test::ScratchDir dir( "fuzzreg" );
	std::ifstream in( regression( "mrc_plain/far_origin.mrc" ), std::ios::binary );
	std::string bytes( ( std::istreambuf_iterator<char>( in ) ), std::istreambuf_iterator<char>() );
	ASSERT_GT( bytes.size(), 208u );
	int32_t const start = 1000;
	float const xlen = 2 * 2000.0f, zero = 0.0f;
	std::memcpy( &bytes[16], &start, 4 );  // NCSTART 1000 of voxels of 2000 A
	for ( int a = 0; a < 3; ++a ) std::memcpy( &bytes[40 + 4 * a], &xlen, 4 );
	std::memcpy( &bytes[196], &zero, 4 );
	std::ofstream( dir.file( "far_start.mrc" ), std::ios::binary ) << bytes;
	EXPECT_EXIT( { stdout_to_stderr(); Grid g; read_vol( dir.file( "far_start.mrc" ), g ); },
		testing::ExitedWithCode( 70660 % 256 ), "is placed beyond 1e\\+06 A of the origin" );
	EXPECT_EXIT( { stdout_to_stderr(); Grid g; read_vol( regression( "situs/far_origin.situs" ), g ); },
		testing::ExitedWithCode( 13030 % 256 ), "is placed beyond" );
}

// ORIGIN X 12001 A: the plain reader placed the map there and the loader at
// its start indices, so that the assembly's work maps and the fitting's maps
// lay 12000 A apart.  Both readers place it at its start indices now (3, 4,
// 5 voxels of 2 A), each with a warning.
TEST( FuzzRegressions, BothReadersSetFarOriginWordsAsideAlike )
{
	Grid g;
	testing::internal::CaptureStdout();
	read_vol( regression( "mrc_plain/far_origin_words.mrc" ), g );
	std::string out = testing::internal::GetCapturedStdout();
	EXPECT_NE( out.find( "ORIGIN words X, Y, Z (12001, 10, -92 A)" ), std::string::npos ) << out;
	EXPECT_DOUBLE_EQ( g.ox, 6.0 );
	EXPECT_DOUBLE_EQ( g.oy, 8.0 );
	EXPECT_DOUBLE_EQ( g.oz, 10.0 );
	FastDensityScore map;
	testing::internal::CaptureStdout();
	ASSERT_TRUE( map.readDensityMap( regression( "mrc_fast/far_origin_words.mrc" ), 6.0, 0.0, 0.0, true ) );
	out = testing::internal::GetCapturedStdout();
	EXPECT_NE( out.find( "Warning! ORIGIN words X, Y, Z (12001, 10, -92 A)" ), std::string::npos ) << out;
	EXPECT_NEAR( map.voxelOrigin[ 0 ], 6.0, 1e-5 );
	EXPECT_NEAR( map.voxelOrigin[ 1 ], 8.0, 1e-5 );
	EXPECT_NEAR( map.voxelOrigin[ 2 ], 10.0, 1e-5 );
}

// Voxel widths 2 x 0.00075 x 2 A: the cubic resampling asked for 2 GB from a
// 1.3 kB file.  It is refused before the allocation, and map_processing
// leaves no output behind.  Voxels of 0.00075 A are now refused by the
// reader itself; with 0.011 A (above that bound) the resampling bound still
// has to refuse the map.
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
		testing::ExitedWithCode( 70650 % 256 ), "voxels of 0.00075 A along Y .*voxels below 0.01 A are not usable" );
	EXPECT_FALSE( file_exists( out ) );

	std::ifstream in( regression( "mrc_plain/anisotropic_voxels.mrc" ), std::ios::binary );
	std::string bytes( ( std::istreambuf_iterator<char>( in ) ), std::istreambuf_iterator<char>() );
	ASSERT_GT( bytes.size(), 48u );
	float const ylen = 4 * 0.011f;
	std::memcpy( &bytes[44], &ylen, 4 );
	std::ofstream( dir.file( "aniso.mrc" ), std::ios::binary ) << bytes;
	EXPECT_EXIT(
		{
			stdout_to_stderr();
			DensityScore ds;
			ds.map_processing( dir.file( "aniso.mrc" ), out, 0.0, true );
		},
		testing::ExitedWithCode( 17005 % 256 ), "would give [0-9]+ voxels, more than 1048576" );
	EXPECT_FALSE( file_exists( out ) );
}

// Headers FastDensityScore's loader took (NSYMBT beyond the end of the file
// as a bogus record, MX = 0 as the extent minus one, voxels of 3.5e-6 A)
// where DensityScore's reader refused them or no model can be placed: both
// refuse them now.  Two negative cell lengths (X and Y) gave the cell matrix
// a positive determinant, and the map was taken mirrored.  An axis word of
// -2^31 overflowed (undefined behaviour) in the permutation check.  A file
// shorter than the 1024-byte header was read word by word (a 300-byte one
// as NSYMBT 0 beyond the end of the file): both name its size now.
TEST( FuzzRegressions, FastReaderRefusesWhatThePlainReaderRefuses )
{
	struct Case {
		char const* file;
		char const* message;
	} const cases[] = {
		{ "mrc_fast/nsymbt_beyond_file.mrc", "gives NSYMBT (word 24) 2147483647 bytes of symmetry records" },
		{ "mrc_fast/zero_interval.mrc", "has MX (word 8) 0; the interval counts must be at least 1." },
		{ "mrc_fast/tiny_voxel.mrc", "has voxels of 3.5e-06 A along X" },
		{ "mrc_fast/negative_cell_lengths.mrc",
			"has X length (word 11) -8; the cell lengths must be positive numbers." },
		{ "mrc_fast/axis_map_int_min.mrc", "Error! Axis map 1, -2147483648, 3 is not a permutation of 1, 2, 3." },
		{ "mrc_fast/negative_nsymbt_extended.mrc",
			"gives NSYMBT (word 24) -80, a negative length of symmetry records, but the file holds 80 bytes besides" },
		{ "mrc_fast/short_header.mrc", "has 300 bytes, too few for the 1024-byte MRC header.  Not loading map." },
		// Records known to be written, the data cut short by their length or
		// read from behind a record NSYMBT does not count.
		{ "mrc_fast/nul_text_record_cut_short.mrc",
			"The 80 bytes after the header read as text (\"x,y,z\"), a symmetry record, so the voxel data are cut short." },
		{ "mrc_fast/fei1_record_cut_short.mrc", "EXTTYP (word 27) is \"FEI1\", a binary extended header of the MRC2014 "
			"format, written in the 80 bytes after the header, so the voxel data are cut short." },
		{ "mrc_fast/uncounted_text_record.mrc", "gives NSYMBT (word 24) 0, but the 80 bytes after the header read as text "
			"(\"x,y,z\"), a symmetry record that NSYMBT does not count" },
	};
	for ( Case const& c : cases ) {
		FastDensityScore map;
		testing::internal::CaptureStdout();
		bool const ok = map.readDensityMap( regression( c.file ), 6.0, 0.0, 0.0, true );
		std::string const out = testing::internal::GetCapturedStdout();
		EXPECT_FALSE( ok ) << c.file;
		EXPECT_NE( out.find( c.message ), std::string::npos ) << c.file << "\n" << out;
		EXPECT_FALSE( map.isLoaded ) << c.file;
	}
}

// Maps the plain reader stopped on with a bare "Error in read mrc file!
// <code>": the stop now says why, with the same code.
TEST( FuzzRegressionsDeathTest, PlainReaderSaysWhyItStops )
{
	struct Case {
		char const* file;
		int code;
		char const* reason;
	} const cases[] = {
		{ "mrc_plain/gzip_magic.mrc", 70654, "is gzip-compressed \\(it begins with the bytes 1f 8b\\)" },
		{ "mrc_plain/mode3.mrc", 70654, "has MODE \\(word 4\\) 3 \\(complex 16-bit integers\\), which is not supported" },
		{ "mrc_plain/nsymbt_beyond_file.mrc", 70647, "gives NSYMBT \\(word 24\\) 2147483647 bytes of symmetry records" },
		{ "mrc_plain/tiny_voxel.mrc", 70650, "has an unusable unit cell .*: voxels of 3.5e-06 A along X" },
		{ "mrc_plain/negative_nsymbt_extended.mrc", 70647,
			"gives NSYMBT \\(word 24\\) -80, a negative length of symmetry records, but the file holds 80 bytes "
			"besides" },
		{ "mrc_plain/short_header.mrc", 70646, "has 300 bytes, too few for the 1024-byte MRC header" },
		{ "mrc_plain/nul_text_record_cut_short.mrc", 70653,
			"holds fewer voxel values than its header gives .*; the 80 bytes after the header read as text \\(\"x,y,z\"\\), a "
			"symmetry record, so the voxel data are cut short" },
		{ "mrc_plain/fei1_record_cut_short.mrc", 70653,
			"holds fewer voxel values than its header gives .*; EXTTYP \\(word 27\\) is \"FEI1\", a binary extended header" },
		{ "mrc_plain/uncounted_text_record.mrc", 70647,
			"gives NSYMBT \\(word 24\\) 0, but the 80 bytes after the header read as text \\(\"x,y,z\"\\), a symmetry "
			"record that NSYMBT does not count" },
	};
	for ( Case const& c : cases ) {
		std::string const f = regression( c.file );
		EXPECT_EXIT( { stdout_to_stderr(); Grid g; read_vol( f, g ); }, testing::ExitedWithCode( c.code % 256 ),
			std::string( "ReadMrc_st> Error: map [^ ]*" ) + c.file + " " + c.reason + ".*\nError in read mrc file! "
				+ std::to_string( c.code ) )
			<< c.file;
	}
}

// NSYMBT within the file but no room for it beside the data, which fill the
// file right after the header: the plain reader stopped with 70653 where
// the loader read the data with a warning.  Read by both now.
TEST( FuzzRegressions, PlainReaderReadsPastABogusSymmetryRecord )
{
	Grid g;
	testing::internal::CaptureStdout();
	read_vol( regression( "mrc_plain/bogus_symmetry.mrc" ), g );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_NE( out.find( "the symmetry record is taken as absent" ), std::string::npos ) << out;
	ASSERT_EQ( g.n(), 64u );
	EXPECT_DOUBLE_EQ( g.phi[ 63 ], 1.0 + 0.5 * 63 );
}
