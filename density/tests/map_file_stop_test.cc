// Why the map readers and writers stop: every stop prints a reason that
// names the file and the cause before its code line, keeps its exit code,
// and records the reason for the program's exit handler (MapFileStop.hh).
// DensityScore's reader and FastDensityScore's loader refuse the same maps.
#include "density/DensityScore.hh"
#include "density/FastDensityScore.hh"
#include "density/MapFileStop.hh"
#include "density/MrcHeader.hh"
#include "density/tests/dmap_test_util.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cctype>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <sys/resource.h>
#include <vector>

using dmap_test::CraftMrc;
using dmap_test::Grid;
using dmap_test::read_vol;
using dmap_test::stdout_to_stderr;

namespace {

CraftMrc small_map()
{
	CraftMrc m;
	m.nc = 4; m.nr = 4; m.ns = 4;
	m.values = dmap_test::ramp( 64, 0.5, 1.0 );
	return m;
}

// What an exit handler sees: the recorded reason, on standard error.
void report_reason_at_exit()
{
	std::fprintf( stderr, "recorded reason [%s]\n", mapFileStopReason().c_str() );
}

// Reads the map into FastDensityScore quietly; returns its printed text.
std::string load_text( std::string const& f, bool* ok )
{
	FastDensityScore m;
	testing::internal::CaptureStdout();
	*ok = m.readDensityMap( f, 6.0, 0.0, 0.0, true );
	return testing::internal::GetCapturedStdout();
}

std::string file_bytes( std::string const& path )
{
	std::ifstream in( path, std::ios::binary );
	return std::string( ( std::istreambuf_iterator<char>( in ) ), std::istreambuf_iterator<char>() );
}

} // namespace

TEST( MapFileStop, NothingIsRecordedBeforeAStop )
{
	EXPECT_EQ( mapFileStopReason(), "" );
}

TEST( MapFileStopDeathTest, TheReasonReachesTheExitHandler )
{
	quilt_test::ScratchDir dir( "mapstop" );
	CraftMrc m = small_map();
	m.mapr = 1;
	std::string const f = dir.file( "axes.mrc" );
	m.write( f );
	EXPECT_EXIT(
		{
			stdout_to_stderr();
			std::atexit( report_reason_at_exit );
			Grid g;
			read_vol( f, g );
		},
		testing::ExitedWithCode( 70680 % 256 ),
		"ReadMrc_st> Error: map " + f + " has the axis order MAPC, MAPR, MAPS \\(words 17-19\\) 1, 1, 3, which is not a "
		"permutation of 1, 2, 3\\.\n"
		"Error in read mrc file! 70680\n"
		"recorded reason \\[map " + f + " has the axis order MAPC, MAPR, MAPS \\(words 17-19\\) 1, 1, 3, which is not a "
		"permutation of 1, 2, 3\\]" );
}

TEST( MapFileStopDeathTest, ReaderSaysWhyItStops )
{
	// Each of these ended with a bare "Error in read mrc file! <code>".
	quilt_test::ScratchDir dir( "mapstop" );
	CraftMrc s = small_map();
	s.nsymbt = 4000;
	s.sym_bytes = 0;
	s.write( dir.file( "nsym.mrc" ) );
	EXPECT_EXIT( { stdout_to_stderr(); Grid g; read_vol( dir.file( "nsym.mrc" ), g ); },
		testing::ExitedWithCode( 70647 % 256 ),
		"gives NSYMBT \\(word 24\\) 4000 bytes of symmetry records, but the file holds only 256 bytes after "
		"its 1024-byte header\\.\nError in read mrc file! 70647" );
	CraftMrc t = small_map();
	t.data_bytes = 100;
	t.write( dir.file( "short.mrc" ) );
	EXPECT_EXIT( { stdout_to_stderr(); Grid g; read_vol( dir.file( "short.mrc" ), g ); },
		testing::ExitedWithCode( 70653 % 256 ),
		"holds fewer voxel values than its header gives \\(4 x 4 x 4 of MODE 2: 256 bytes after the header and 0 "
		"symmetry bytes; the file has 100\\)\\.\nError in read mrc file! 70653" );
	CraftMrc z = small_map();
	z.mx = 0;
	z.xlen = 4.0f;
	z.write( dir.file( "mx0.mrc" ) );
	EXPECT_EXIT( { stdout_to_stderr(); Grid g; read_vol( dir.file( "mx0.mrc" ), g ); },
		testing::ExitedWithCode( 70650 % 256 ), "MX \\(word 8\\) is 0; the interval counts must be at least 1" );
	EXPECT_EXIT( { stdout_to_stderr(); Grid g; read_vol( dir.file( "absent.mrc" ), g ); },
		testing::ExitedWithCode( 71010 % 256 ),
		"cannot open map [^ ]*absent.mrc: No such file or directory\\.\nError in read mrc file! 71010" );
}

TEST( MapFileStopDeathTest, WriterSaysWhyItStops )
{
	// A full disk gave "WriteMrc> Error, 71430!" without a line end or a
	// reason, and a path too long "... ,71420!" alone.
	std::vector<double> v( 4096, 1.0 );
	DensityScore ds;
	if ( dmap_test::file_exists( "/dev/full" ) ) {
		EXPECT_EXIT(
			{
				stdout_to_stderr();
				std::atexit( report_reason_at_exit );
				ds.WriteMrc( 1, "/dev/full", 1.0, 0, 0, 0, 16, 16, 16, v.data() );
			},
			testing::ExitedWithCode( 71430 % 256 ),
			"WriteMrc> Error: cannot write the map file /dev/full: No space left on device\\.\n"
			"WriteMrc> Error, 71430!\n"
			"recorded reason \\[cannot write the map file /dev/full: No space left on device\\]" );
	}

	// A file-size limit (the process ignores SIGXFSZ, so the write fails).
	quilt_test::ScratchDir dir( "mapstop" );
	std::string const big = dir.file( "big.mrc" );
	EXPECT_EXIT(
		{
			stdout_to_stderr();
			std::signal( SIGXFSZ, SIG_IGN );
			struct rlimit lim;
			lim.rlim_cur = lim.rlim_max = 2048;
			setrlimit( RLIMIT_FSIZE, &lim );
			ds.WriteMrc( 1, big.c_str(), 1.0, 0, 0, 0, 16, 16, 16, v.data() );
		},
		testing::ExitedWithCode( 71430 % 256 ),
		"WriteMrc> Error: cannot write the map file [^ ]*big.mrc: File too large\\.\nWriteMrc> Error, 71430!" );

	// A path longer than the system takes.
	std::string longpath = dir.path();
	while ( longpath.size() < PATH_MAX + 10 ) longpath += "/d";
	longpath += "/x.mrc";
	EXPECT_EXIT( { stdout_to_stderr(); ds.WriteMrc( 1, longpath.c_str(), 1.0, 0, 0, 0, 2, 2, 2, v.data() ); },
		testing::ExitedWithCode( 71420 % 256 ),
		"WriteMrc> Error: cannot create the map file [^ ]*x.mrc: File name too long \\(the path has "
			+ std::to_string( longpath.size() ) + " characters; at most " + std::to_string( PATH_MAX - 1 )
			+ " are allowed\\)\\.\nWriteMrc> Error in open the map file: [^ ]*x.mrc ,71420!\n" );
	std::string const longname = dir.file( std::string( 300, 'n' ) + ".mrc" );
	EXPECT_EXIT( { stdout_to_stderr(); ds.WriteMrc( 1, longname.c_str(), 1.0, 0, 0, 0, 2, 2, 2, v.data() ); },
		testing::ExitedWithCode( 71420 % 256 ),
		"File name too long \\(a name in the path has 304 characters; at most 255 are allowed\\)" );
	EXPECT_EXIT(
		{ stdout_to_stderr(); ds.WriteMrc( 1, "/nonexistent/dir/x.mrc", 1.0, 0, 0, 0, 2, 2, 2, v.data() ); },
		testing::ExitedWithCode( 71420 % 256 ),
		"cannot create the map file /nonexistent/dir/x.mrc: No such file or directory" );
}

TEST( MapFileStopDeathTest, ReaderSaysWhyItRefusesAMap )
{
	// Each of these ended with a bare "Error in read mrc file! <code>".
	quilt_test::ScratchDir dir( "mapstop" );
	struct Mode {
		int mode;
		char const* name;
	} const modes[] = { { 3, "complex 16-bit integers" }, { 4, "complex 32-bit floats" },
		{ 6, "unsigned 16-bit integers" }, { 12, "16-bit floats" }, { 101, "4-bit integers" } };
	for ( Mode const& md : modes ) {
		CraftMrc m = small_map();
		m.mode = md.mode;
		m.values.resize( 64 * 4, 0.0 );
		std::string const f = dir.file( "mode" + std::to_string( md.mode ) + ".mrc" );
		m.write( f );
		EXPECT_EXIT( { stdout_to_stderr(); Grid g; read_vol( f, g ); }, testing::ExitedWithCode( 70654 % 256 ),
			"has MODE \\(word 4\\) " + std::to_string( md.mode ) + " \\(" + md.name + "\\), which is not supported" )
			<< md.mode;
	}

	// A gzip-compressed map, found before the byte-order probes complain
	// about its words.
	small_map().write( dir.file( "plain.mrc" ) );
	std::string bytes = file_bytes( dir.file( "plain.mrc" ) );
	bytes[0] = char( 0x1f );
	bytes[1] = char( 0x8b );
	std::ofstream( dir.file( "gz.mrc" ), std::ios::binary ) << bytes;
	EXPECT_EXIT( { stdout_to_stderr(); Grid g; read_vol( dir.file( "gz.mrc" ), g ); },
		testing::ExitedWithCode( 70654 % 256 ),
		"^ReadMrc_st> Error: map [^ ]*gz.mrc is gzip-compressed \\(it begins with the bytes 1f 8b\\); decompress it "
		"\\(gunzip\\) first\\.\nError in read mrc file! 70654" );

	// NSYMBT beyond the end of the file.
	CraftMrc s = small_map();
	s.nsymbt = 2147483647;
	s.sym_bytes = 0;
	s.write( dir.file( "nsym.mrc" ) );
	EXPECT_EXIT( { stdout_to_stderr(); Grid g; read_vol( dir.file( "nsym.mrc" ), g ); },
		testing::ExitedWithCode( 70647 % 256 ),
		"gives NSYMBT \\(word 24\\) 2147483647 bytes of symmetry records, but the file holds only 256 bytes after "
		"its 1024-byte header\\.\nError in read mrc file! 70647" );

	// Voxels of 3.5e-6 A.
	CraftMrc t = small_map();
	t.width = 3.5e-6f;
	t.write( dir.file( "tiny.mrc" ) );
	EXPECT_EXIT( { stdout_to_stderr(); Grid g; read_vol( dir.file( "tiny.mrc" ), g ); },
		testing::ExitedWithCode( 70650 % 256 ),
		"voxels of 3.5e-06 A along X \\(X length 1.4e-05 A / MX 4\\); voxels below 0.01 A are not usable" );
}

TEST( MapFileStop, BothReadersRefuseTheSameHeaders )
{
	// FastDensityScore's loader read a huge NSYMBT as a bogus record and
	// took MX = 0 as the extent minus one where DensityScore's reader
	// refused the map; voxels of 3.5e-6 A were taken by both.
	quilt_test::ScratchDir dir( "mapstop" );
	CraftMrc s = small_map();
	s.nsymbt = 2147483647;
	s.sym_bytes = 0;
	s.write( dir.file( "nsym.mrc" ) );
	CraftMrc z = small_map();
	z.mx = 0;
	z.xlen = 4.0f;
	z.write( dir.file( "mx0.mrc" ) );
	CraftMrc t = small_map();
	t.width = 3.5e-6f;
	t.write( dir.file( "tiny.mrc" ) );
	struct Case {
		char const* file;
		char const* message;
	} const cases[] = {
		{ "nsym.mrc", "gives NSYMBT (word 24) 2147483647 bytes of symmetry records, but the file holds only 256 bytes" },
		{ "mx0.mrc", "has MX (word 8) 0; the interval counts must be at least 1." },
		{ "tiny.mrc", "has voxels of 3.5e-06 A along X (X length 1.4e-05 A / MX 4); voxels below 0.01 A are not usable." },
	};
	for ( Case const& c : cases ) {
		bool ok = true;
		std::string const out = load_text( dir.file( c.file ), &ok );
		EXPECT_FALSE( ok ) << c.file;
		EXPECT_NE( out.find( c.message ), std::string::npos ) << c.file << "\n" << out;
	}
}

TEST( MapFileStopDeathTest, TextRecordOfAFileCutShortIsTruncatedForBothReaders )
{
	// A symmetry record written as text ("x,y,z" and blanks) and the data
	// cut short.  Cut by exactly the record's length the file has the size of
	// a file without the record: both readers took the record as never
	// written and read every voxel shifted by 20 values.  Cut by less, the
	// fast loader called the file larger than expected.  Both refuse it now
	// as truncated, naming the sizes, in either byte order.
	quilt_test::ScratchDir dir( "mapstop" );
	for ( bool const big : { false, true } ) {
		for ( long const cut : { 80L, 1L, 4L, 40L } ) {
			CraftMrc s = small_map();
			s.nsymbt = 80;
			s.sym_text = "x,y,z";
			s.big_endian = big;
			long const whole = 1024 + 80 + 256;
			s.total_bytes = whole - cut;
			std::string const f = dir.file( "cut" + std::to_string( cut ) + ( big ? "b" : "l" ) + ".mrc" );
			s.write( f );
			ASSERT_EQ( long( file_bytes( f ).size() ), whole - cut );
			SCOPED_TRACE( f );

			bool ok = true;
			std::string const text = load_text( f, &ok );
			EXPECT_FALSE( ok ) << text;
			EXPECT_NE( text.find( "Warning! File appears truncated and doesn't match header.  Not loading map.\n"
			                      "Error! Map " + f + " is truncated: its header gives 1024 header bytes, 80 bytes of "
			                      "symmetry records and 256 bytes of voxel data (4 x 4 x 4 32-bit floats), 1360 bytes in "
			                      "all, but the file has " + std::to_string( whole - cut ) + "." ),
			           std::string::npos ) << text;
			EXPECT_EQ( text.find( "larger than expected" ), std::string::npos ) << text;
			EXPECT_EQ( text.find( "bogus" ), std::string::npos ) << text;
			std::string const said = "The 80 bytes after the header read as text (\"x,y,z\"), a symmetry record, so the "
			                         "voxel data are cut short.";
			EXPECT_EQ( text.find( said ) != std::string::npos, cut == 80 ) << text;

			std::string const why = "holds fewer voxel values than its header gives \\(4 x 4 x 4 of MODE 2: 256 bytes "
			                        "after the header and 80 symmetry bytes; the file has " + std::to_string( 256 - cut ) +
			                        "\\)" + ( cut == 80 ? "; the 80 bytes after the header read as text \\(\"x,y,z\"\\), a "
			                                              "symmetry record, so the voxel data are cut short" : "" ) +
			                        "\\.\nError in read mrc file! 70653";
			EXPECT_EXIT( { stdout_to_stderr(); Grid g; read_vol( f, g ); }, testing::ExitedWithCode( 70653 % 256 ), why );
		}
	}

	// The same file whole: the record is skipped and every voxel is in place.
	CraftMrc s = small_map();
	s.nsymbt = 80;
	s.sym_text = "x,y,z";
	s.write( dir.file( "whole.mrc" ) );
	Grid g;
	testing::internal::CaptureStdout();
	read_vol( dir.file( "whole.mrc" ), g );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_EQ( out.find( "taken as absent" ), std::string::npos ) << out;
	EXPECT_EQ( out.find( "shifted" ), std::string::npos ) << out;
	ASSERT_EQ( g.n(), 64u );
	for ( size_t i = 0; i < 64; ++i ) EXPECT_DOUBLE_EQ( g.phi[i], 1.0 + 0.5 * i ) << i;
	bool ok = false;
	std::string const text = load_text( dir.file( "whole.mrc" ), &ok );
	EXPECT_TRUE( ok ) << text;
	EXPECT_EQ( text.find( "Warning!" ), std::string::npos ) << text;
	for ( mrc::OtherReading const& r : mrc::other_readings() ) EXPECT_NE( r.map, dir.file( "whole.mrc" ) );
}

TEST( MapFileStop, BogusSymmetryRecordIsReadPastByBothReaders )
{
	// NSYMBT 80 within the file, but the file holds exactly the data after
	// the header: FastDensityScore's loader read the data at 1024 with a
	// warning, DensityScore's reader stopped with 70653.  Both read it now.
	quilt_test::ScratchDir dir( "mapstop" );
	CraftMrc s = small_map();
	s.nsymbt = 80;
	s.sym_bytes = 0;
	s.write( dir.file( "bogus.mrc" ) );
	Grid g;
	testing::internal::CaptureStdout();
	read_vol( dir.file( "bogus.mrc" ), g );
	std::string const out = testing::internal::GetCapturedStdout();
	// The size allows the other reading too (the record written, the file
	// cut short by its 80 bytes), and both readers say what it would mean:
	// 20 values early on a 4 x 4 x 4 grid of 1 A are one plane and one row.
	std::string const other = "If the file lost those 80 bytes from its end instead, every voxel is read 20 values "
	                          "early: the density, and every placement in it, would be shifted by about 1.4 A along Y "
	                          "and Z.";
	EXPECT_NE( out.find( "gives NSYMBT 80, but its voxel data fill the file right after the header; the symmetry record "
					   "is taken as absent.  " + other + "\n" ),
		std::string::npos ) << out;
	ASSERT_EQ( g.n(), 64u );
	for ( size_t i = 0; i < 64; ++i ) EXPECT_DOUBLE_EQ( g.phi[i], 1.0 + 0.5 * i ) << i;
	bool ok = false;
	std::string const f = dir.file( "bogus.mrc" );
	std::string const text = load_text( f, &ok );
	EXPECT_TRUE( ok ) << text;
	EXPECT_NE( text.find( "Warning! File contains bogus symmetry record.  Continuing.\nWarning! Map " + f + " gives "
	                      "NSYMBT 80, but its voxel data fill the file right after the header; they are read from byte "
	                      "1024.  " + other + "\n" ),
	           std::string::npos ) << text;
	// Each map is noted once, however often it is read.
	int noted = 0;
	for ( mrc::OtherReading const& r : mrc::other_readings() ) noted += r.map == f && r.sentence == other;
	EXPECT_EQ( noted, 1 );
}

namespace {

// `text` as a regular expression that matches it literally.
std::string literal( std::string const& text )
{
	std::string out;
	for ( char c : text ) {
		if ( std::string( "\\^$.|?*+()[]{}" ).find( c ) != std::string::npos ) out += '\\';
		out += c;
	}
	return out;
}

// The small map with an 80-byte record before its data, cut by the record's
// length: the file has room for the header and the data only.
CraftMrc cut_behind_record( bool big )
{
	CraftMrc s = small_map();
	s.nsymbt = 80;
	s.big_endian = big;
	s.total_bytes = 1024 + 256;
	return s;
}

} // namespace

TEST( MapFileStopDeathTest, RecordKnownWrittenOfAFileCutShortIsTruncatedForBothReaders )
{
	// Cut by exactly its record, a file whose record is known to have been
	// written was read from byte 1024 by both readers, every voxel shifted:
	// operator text padded with NUL bytes, and binary extended headers that
	// EXTTYP declares.  Both refuse them now, naming what showed the record.
	quilt_test::ScratchDir dir( "mapstop" );
	std::string const sizes = " is truncated: its header gives 1024 header bytes, 80 bytes of symmetry records and 256 "
	                          "bytes of voxel data (4 x 4 x 4 32-bit floats), 1360 bytes in all, but the file has 1280.  ";
	struct Kind {
		char const* name;
		char const* exttyp;
		bool nul_text;
		std::string shown;
	} const kinds[] = {
		{ "nultext", "CCP4", true, "the 80 bytes after the header read as text (\"x,y,z\"), a symmetry record" },
		{ "nultext_notype", "\0\0\0\0", true, "the 80 bytes after the header read as text (\"x,y,z\"), a symmetry record" },
		{ "MRCO", "MRCO", false, "" }, { "SERI", "SERI", false, "" }, { "AGAR", "AGAR", false, "" },
		{ "FEI1", "FEI1", false, "" }, { "FEI2", "FEI2", false, "" }, { "HDF5", "HDF5", false, "" },
	};
	for ( bool const big : { false, true } ) {
		for ( Kind const& k : kinds ) {
			CraftMrc s = cut_behind_record( big );
			std::memcpy( s.exttyp, k.exttyp, 4 );
			if ( k.nul_text ) {
				s.sym_text = "x,y,z";
				s.sym_pad = '\0';
			}
			std::string const f = dir.file( std::string( k.name ) + ( big ? "_b" : "_l" ) + ".mrc" );
			s.write( f );
			ASSERT_EQ( file_bytes( f ).size(), 1280u );
			SCOPED_TRACE( f );
			std::string const shown = !k.shown.empty() ? k.shown
			                                           : "EXTTYP (word 27) is \"" + std::string( k.exttyp )
			                                                 + "\", a binary extended header of the MRC2014 format, "
			                                                   "written in the 80 bytes after the header";
			std::string upper = shown;
			upper[ 0 ] = char( std::toupper( static_cast<unsigned char>( upper[ 0 ] ) ) );
			bool ok = true;
			std::string const text = load_text( f, &ok );
			EXPECT_FALSE( ok ) << text;
			EXPECT_NE( text.find( "Warning! File appears truncated and doesn't match header.  Not loading map.\n"
			                      "Error! Map " + f + sizes + upper + ", so the voxel data are cut short.\n" ),
			           std::string::npos ) << text;
			EXPECT_EQ( text.find( "bogus" ), std::string::npos ) << text;
			EXPECT_EXIT( { stdout_to_stderr(); Grid g; read_vol( f, g ); }, testing::ExitedWithCode( 70653 % 256 ),
				literal( "holds fewer voxel values than its header gives (4 x 4 x 4 of MODE 2: 256 bytes after the "
				         "header and 80 symmetry bytes; the file has 176); " + shown + ", so the voxel data are cut "
				         "short.\nError in read mrc file! 70653" ) );
		}
	}
}

TEST( MapFileStop, RecordNeverWrittenIsReadFromTheHeadersEndWhateverItsType )
{
	// The same size under EXTTYP CCP4, blanks or another word, the bytes
	// after the header voxel values (zeros among them: NULs from the first
	// byte): the record was never written; every voxel is read in place.
	quilt_test::ScratchDir dir( "mapstop" );
	for ( char const* type : { "CCP4", "    ", "\0\0\0\0", "IMOD", "fei1" } ) {
		for ( bool const zeros : { false, true } ) {
			CraftMrc s = small_map();
			s.nsymbt = 80;
			s.sym_bytes = 0;
			std::memcpy( s.exttyp, type, 4 );
			if ( zeros )
				for ( int i = 0; i < 30; ++i ) s.values[ i ] = 0.0;
			std::string const f = dir.file( "never.mrc" );
			s.write( f );
			SCOPED_TRACE( std::string( type, 4 ) + ( zeros ? " zeros" : "" ) );
			Grid g;
			testing::internal::CaptureStdout();
			read_vol( f, g );
			std::string const out = testing::internal::GetCapturedStdout();
			EXPECT_NE( out.find( "the symmetry record is taken as absent." ), std::string::npos ) << out;
			ASSERT_EQ( g.n(), 64u );
			for ( size_t i = 0; i < 64; ++i ) EXPECT_DOUBLE_EQ( g.phi[i], s.values[i] ) << i;
			bool ok = false;
			std::string const text = load_text( f, &ok );
			EXPECT_TRUE( ok ) << text;
			EXPECT_NE( text.find( "Warning! File contains bogus symmetry record.  Continuing." ), std::string::npos )
				<< text;
		}
	}
	// A whole file with a binary extended header is read past it.
	CraftMrc s = small_map();
	s.nsymbt = 80;
	std::memcpy( s.exttyp, "FEI1", 4 );
	s.write( dir.file( "fei.mrc" ) );
	Grid g;
	testing::internal::CaptureStdout();
	read_vol( dir.file( "fei.mrc" ), g );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_EQ( out.find( "Warning" ), std::string::npos ) << out;
	ASSERT_EQ( g.n(), 64u );
	for ( size_t i = 0; i < 64; ++i ) EXPECT_DOUBLE_EQ( g.phi[i], s.values[i] ) << i;
	bool ok = false;
	std::string const text = load_text( dir.file( "fei.mrc" ), &ok );
	EXPECT_TRUE( ok ) << text;
	EXPECT_EQ( text.find( "Warning!" ), std::string::npos ) << text;
}

TEST( MapFileStopDeathTest, TextRecordThatNsymbtDoesNotCountIsRefusedByBothReaders )
{
	// An 80-byte text record under NSYMBT 0 or 3: the fast loader read the
	// record as voxels with "larger than expected", the plain reader without
	// a word (NSYMBT 3: every value misaligned).  Both refuse it now, naming
	// NSYMBT and the text, in either byte order and with either padding.
	quilt_test::ScratchDir dir( "mapstop" );
	for ( bool const big : { false, true } ) {
		for ( int const nsymbt : { 0, 3 } ) {
			for ( char const pad : { ' ', '\0' } ) {
				CraftMrc s = small_map();
				s.nsymbt = nsymbt;
				s.sym_bytes = 80;
				s.sym_text = "x,y,z";
				s.sym_pad = pad;
				s.big_endian = big;
				std::string const f = dir.file( "uncounted" + std::to_string( nsymbt ) + ( pad ? "s" : "n" )
				                                + ( big ? "b" : "l" ) + ".mrc" );
				s.write( f );
				SCOPED_TRACE( f );
				std::string const expected = std::to_string( 1024 + nsymbt + 256 );
				std::string const why =
					"gives NSYMBT (word 24) " + std::to_string( nsymbt ) + ", but the 80 bytes after the header read as "
					"text (\"x,y,z\"), a symmetry record that NSYMBT does not count: its header gives 1024 header bytes, "
					+ std::to_string( nsymbt ) + " bytes of symmetry records and 256 bytes of voxel data (4 x 4 x 4 ";
				std::string const tail = "), " + expected + " bytes in all, but the file has 1360, "
				                         + std::to_string( 80 - nsymbt ) + " bytes more, and where the voxel data start "
				                         "is not known";
				bool ok = true;
				std::string const text = load_text( f, &ok );
				EXPECT_FALSE( ok ) << text;
				EXPECT_NE( text.find( "Error! Map " + f + " " + why + "32-bit floats" + tail + ".  Not loading map." ),
				           std::string::npos ) << text;
				EXPECT_EQ( text.find( "larger than expected" ), std::string::npos ) << text;
				EXPECT_EXIT( { stdout_to_stderr(); Grid g; read_vol( f, g ); }, testing::ExitedWithCode( 70647 % 256 ),
					literal( "ReadMrc_st> Error: map " + f + " " + why + "of MODE 2" + tail + ".\nError in read mrc "
					         "file! 70647" ) );
			}
		}
	}
}

TEST( MapFileStop, FileLongerThanItsHeaderGivesIsReadAndNamedByBothReaders )
{
	// Bytes after the data (zeros, or a whole record followed by zero
	// voxels): both readers read the data right after the record and name
	// the sizes; the plain reader said nothing before.
	quilt_test::ScratchDir dir( "mapstop" );
	for ( int const nsymbt : { 0, 80 } ) {
		CraftMrc s = small_map();
		s.nsymbt = nsymbt;
		s.sym_text = "x,y,z";
		s.sym_pad = '\0';
		s.extra_bytes = 100;
		// After a whole record, 25 zero voxels: the 180 bytes before the
		// data, as the file's size places them, read as NUL-padded text.
		if ( nsymbt )
			for ( int i = 0; i < 25; ++i ) s.values[ i ] = 0.0;
		std::string const f = dir.file( "longer" + std::to_string( nsymbt ) + ".mrc" );
		s.write( f );
		SCOPED_TRACE( f );
		std::string const all = std::to_string( 1024 + nsymbt + 256 ), has = std::to_string( 1024 + nsymbt + 356 );
		std::string const sizes = "1024 header bytes, " + std::to_string( nsymbt ) + " bytes of symmetry records and 256 "
		                          "bytes of voxel data (4 x 4 x 4 ";
		// The other reading, the 100 bytes before the data: 25 values early,
		// on a 4 x 4 x 4 grid of 1 A one plane, two rows and one column.
		std::string const read = " bytes in all; the file has " + has + "): the voxel data are read from byte "
		                         + std::to_string( 1024 + nsymbt ) + " and the 100 bytes after them are not used.  If "
		                         "those 100 bytes lie before the voxel data instead (a record or extended header that "
		                         "NSYMBT does not count), every voxel is read 25 values early: the density, and every "
		                         "placement in it, would be shifted by about 2.4 A along X, Y and Z.";
		Grid g;
		testing::internal::CaptureStdout();
		read_vol( f, g );
		std::string const out = testing::internal::GetCapturedStdout();
		EXPECT_NE( out.find( "ReadMrc_st> Warning: map " + f + " is larger than its header gives (" + sizes + "of MODE "
		                     "2), " + all + read + "\n" ),
		           std::string::npos ) << out;
		ASSERT_EQ( g.n(), 64u );
		for ( size_t i = 0; i < 64; ++i ) EXPECT_DOUBLE_EQ( g.phi[i], s.values[i] ) << i;
		bool ok = false;
		std::string const text = load_text( f, &ok );
		EXPECT_TRUE( ok ) << text;
		EXPECT_NE( text.find( "Warning! File is larger than expected and doesn't match header.  Reading anyway.\n"
		                      "Warning! Map " + f + " is larger than its header gives (" + sizes + "32-bit floats), "
		                      + all + read + "\n" ),
		           std::string::npos ) << text;
	}
}
