// The shared MRC/CCP4 header words: word positions, byte reversal, short
// headers (a word the file does not hold whole reads 0) and a header written
// and read back.
#include "density/MrcHeader.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

// A header with a distinct value in every word that matters.
mrc::Header sample_header()
{
	mrc::Header h;
	h.nc = 11; h.nr = 12; h.ns = 13; h.mode = 2;
	h.ncstart = -5; h.nrstart = 6; h.nsstart = -7;
	h.mx = 40; h.my = 41; h.mz = 42;
	h.xlen = 60.5f; h.ylen = 61.5f; h.zlen = 62.5f;
	h.alpha = 90.f; h.beta = 100.f; h.gamma = 120.f;
	h.mapc = 3; h.mapr = 1; h.maps = 2;
	h.dmin = -1.25f; h.dmax = 7.5f; h.dmean = 0.5f;
	h.ispg = 1; h.nsymbt = 80; h.lskflg = 1;
	for ( int i = 0; i < 9; ++i ) h.skw_mat[ i ] = 0.125f * ( i + 1 );
	for ( int i = 0; i < 3; ++i ) h.skw_trn[ i ] = -2.f * ( i + 1 );
	// MRC2014 reads word 27, S21 of the skew matrix, as EXTTYP.
	std::memcpy( h.exttyp, &h.skw_mat[ 1 ], 4 );
	h.xorig = 1.5f; h.yorig = -3.25f; h.zorig = 1e4f;
	std::memcpy( h.map, "MAP ", 4 );
	h.machst[ 0 ] = 0x44; h.machst[ 1 ] = 0x41;
	h.rms = 0.75f;
	h.nlabl = 3;
	return h;
}

void expect_same( mrc::Header const& a, mrc::Header const& b )
{
	EXPECT_EQ( 0, std::memcmp( &a, &b, sizeof( mrc::Header ) ) );
}

} // namespace

TEST( MrcHeader, WordsSitAtTheirByteOffsets )
{
	mrc::Header const h = sample_header();
	unsigned char b[ mrc::kHeaderBytes ];
	mrc::encode_header( h, b );
	// Known offsets of the format: MODE at byte 12, NSYMBT at 92, ORIGIN at
	// 196, "MAP " at 208, NLABL at 220.
	int32_t v;
	std::memcpy( &v, b + 12, 4 );
	EXPECT_EQ( v, 2 );
	std::memcpy( &v, b + 92, 4 );
	EXPECT_EQ( v, 80 );
	float f;
	std::memcpy( &f, b + 196, 4 );
	EXPECT_EQ( f, 1.5f );
	EXPECT_EQ( 0, std::memcmp( b + 208, "MAP ", 4 ) );
	std::memcpy( &v, b + 220, 4 );
	EXPECT_EQ( v, 3 );
	for ( int i = 224; i < mrc::kHeaderBytes; ++i ) ASSERT_EQ( b[ i ], 0 ) << i;
	mrc::Header back;
	mrc::decode_header( b, mrc::kHeaderBytes, false, back );
	expect_same( back, h );
}

TEST( MrcHeader, OtherByteOrderReadsTheSameValues )
{
	mrc::Header const h = sample_header();
	unsigned char b[ mrc::kHeaderBytes ];
	mrc::encode_header( h, b );
	// Reverse every word except the two byte strings, as a machine of the
	// other byte order writes them.
	mrc::swap4( b, mrc::MAP_STRING - 1 );
	mrc::swap4( b + mrc::offset( mrc::RMS ), 2 );
	mrc::Header back;
	mrc::decode_header( b, mrc::kHeaderBytes, true, back );
	// EXTTYP is characters: as stored, whatever the order of the numbers
	// (here the bytes of S21 as the other machine wrote them).
	for ( int i = 0; i < 4; ++i ) EXPECT_EQ( back.exttyp[ i ], h.exttyp[ 3 - i ] ) << i;
	std::memcpy( back.exttyp, h.exttyp, 4 );
	expect_same( back, h );
	// Read in the wrong order, NC is 11 << 24.
	EXPECT_EQ( mrc::word_int( b, false ), 11 << 24 );
	EXPECT_EQ( mrc::word_int( b, true ), 11 );
}

TEST( MrcHeader, WordsPastAShortHeaderReadZero )
{
	mrc::Header const h = sample_header();
	unsigned char b[ mrc::kHeaderBytes ];
	mrc::encode_header( h, b );
	// 10 bytes: NC and NR whole, NS cut after two bytes.
	mrc::Header s;
	mrc::decode_header( b, 10, false, s );
	EXPECT_EQ( s.nc, 11 );
	EXPECT_EQ( s.nr, 12 );
	EXPECT_EQ( s.ns, 0 );
	EXPECT_EQ( s.mode, 0 );
	EXPECT_EQ( s.zorig, 0.f );
	// 210 bytes: words 1-52 whole, the MAP string read byte by byte.
	mrc::Header t;
	mrc::decode_header( b, 210, false, t );
	EXPECT_EQ( t.zorig, 1e4f );
	EXPECT_EQ( t.map[ 0 ], 'M' );
	EXPECT_EQ( t.map[ 1 ], 'A' );
	EXPECT_EQ( t.map[ 2 ], 0 );
	EXPECT_EQ( t.machst[ 0 ], 0 );
	EXPECT_EQ( t.rms, 0.f );
	// Nothing at all.
	mrc::Header e;
	mrc::decode_header( b, 0, false, e );
	expect_same( e, mrc::Header() );
}

TEST( MrcHeader, SwapReversesEachWord )
{
	unsigned char b[ 8 ] = { 1, 2, 3, 4, 5, 6, 7, 8 };
	mrc::swap4( b, 2 );
	unsigned char const want[ 8 ] = { 4, 3, 2, 1, 8, 7, 6, 5 };
	EXPECT_EQ( 0, std::memcmp( b, want, 8 ) );
	mrc::swap4( b, 0 );
	mrc::swap4( b, -1 );
	EXPECT_EQ( 0, std::memcmp( b, want, 8 ) );
}

TEST( MrcHeader, SymmetryRecordTextTellsOperatorsFromVoxelValues )
{
	auto text = []( std::string const& s ) {
		return mrc::reads_as_symmetry_text( reinterpret_cast< unsigned char const* >( s.data() ), long( s.size() ) );
	};
	// Symmetry operators as they are written: blank-padded lines.
	std::string op = "x,y,z";
	op.resize( 80, ' ' );
	EXPECT_TRUE( text( op ) );
	EXPECT_TRUE( text( op + "-X+1/2,Y,-Z\t\r\n" ) );
	EXPECT_TRUE( text( std::string( 80, ' ' ) ) );
	EXPECT_FALSE( text( "" ) );
	// Zero voxels are NUL bytes; 1.0f is 00 00 80 3f; a negative value has
	// its top byte above 0x7f; 0xA5 filler is no text either.
	EXPECT_FALSE( text( std::string( 80, '\0' ) ) );
	EXPECT_FALSE( text( std::string( 80, char( 0xA5 ) ) ) );
	// Lines padded with NUL bytes instead of blanks are text too; a record
	// that begins with NULs (zero voxels) is not, nor one whose line goes on
	// after its NUL padding, nor blanks padded with NULs.
	EXPECT_TRUE( text( "x,y,z" + std::string( 75, '\0' ) ) );
	std::string line2 = "-X,Y+1/2,-Z";
	line2.resize( 80, '\0' );
	EXPECT_TRUE( text( "x,y,z" + std::string( 75, '\0' ) + line2 ) );
	EXPECT_TRUE( text( "x,y,z" + std::string( 75, '\0' ) + std::string( 80, '\0' ) ) );
	EXPECT_TRUE( text( "x,y,z" + std::string( 75, ' ' ) + line2 ) );
	EXPECT_FALSE( text( std::string( 75, '\0' ) + "x,y,z" ) );
	EXPECT_FALSE( text( std::string( 1, '\0' ) + "x,y,z" + std::string( 74, ' ' ) ) );
	EXPECT_FALSE( text( "x,y,z" + std::string( 10, '\0' ) + "x" + std::string( 64, '\0' ) ) );
	EXPECT_FALSE( text( std::string( 40, ' ' ) + std::string( 40, '\0' ) ) );
	// An operator holds a comma and all three letters: letters alone, or a
	// comma with two of them, are no operator.
	for ( std::string const t : { "xyz", "XYZ xyz", "x y z", ",yz", "x,z", "x,y", "y,z", "xx,yy" } ) {
		std::string padded = t;
		padded.resize( 80, ' ' );
		EXPECT_FALSE( text( padded ) ) << t;
		padded = t;
		padded.resize( 80, '\0' );
		EXPECT_FALSE( text( padded ) ) << t;
	}
	// 0.0035f is 42 60 65 3b ("B`e;"): printable bytes, but no operator.
	for ( float v : { 1.0f, -0.25f, 3.5e-3f, 0.0f } ) {
		std::vector< float > voxels( 20, v );
		std::string bytes( reinterpret_cast< char const* >( voxels.data() ), 80 );
		EXPECT_FALSE( text( bytes ) ) << v;
	}
	// One byte that is not text anywhere in the record is enough.
	std::string late = op;
	late[ 79 ] = char( 0x01 );
	EXPECT_FALSE( text( late ) );

	unsigned char const* b = reinterpret_cast< unsigned char const* >( op.data() );
	EXPECT_EQ( mrc::text_excerpt( b, long( op.size() ) ), "x,y,z" );
	// Bytes that are not printable are quoted escaped, as they are: a line
	// break, tabs (a record of tabs once read as "").
	std::string const two = "X,Y,Z\n-X,-Y,Z";
	EXPECT_EQ( mrc::text_excerpt( reinterpret_cast< unsigned char const* >( two.data() ), long( two.size() ) ),
	           "X,Y,Z\\x0a-X,-Y,Z" );
	std::string const tabs( 80, '\t' );
	std::string const shown = mrc::text_excerpt( reinterpret_cast< unsigned char const* >( tabs.data() ), 80 );
	EXPECT_EQ( shown, "\\x09\\x09\\x09\\x09\\x09\\x09\\x09\\x09\\x09\\x09..." );
	std::string const long_line = "X,Y,Z; " + std::string( 40, 'x' ) + std::string( 33, ' ' );
	EXPECT_EQ( mrc::text_excerpt( reinterpret_cast< unsigned char const* >( long_line.data() ), 80 ),
	           long_line.substr( 0, 40 ) + "..." );
	EXPECT_EQ( mrc::quoted_excerpt( "x,y,z" ), "\"x,y,z\"" );
	std::string const blanks( 80, ' ' );
	EXPECT_EQ( mrc::quoted_excerpt( mrc::text_excerpt( reinterpret_cast< unsigned char const* >( blanks.data() ), 80 ) ),
	           "a line of blanks" );
	// The excerpt ends at the NUL padding: no NUL byte reaches a message.
	std::string const nul = "x,y,z" + std::string( 75, '\0' );
	std::string const cut = mrc::text_excerpt( reinterpret_cast< unsigned char const* >( nul.data() ), long( nul.size() ) );
	EXPECT_EQ( cut, "x,y,z" );
	EXPECT_EQ( cut.find( '\0' ), std::string::npos );
}

TEST( MrcHeader, SymmetryRecordOfAFileIsJudgedWhole )
{
	// A record longer than one read block, with its last operator line split
	// across the block boundary, reads as text; one stray byte near its end
	// does not; a file shorter than the record is no record.
	quilt_test::ScratchDir dir( "mrchdr" );
	std::string record;
	while ( record.size() < 65536 + 800 ) {
		std::string line = "-X+1/2,Y+1/2,-Z";
		line.resize( 80, ' ' );
		record += line;
	}
	std::string const head( 1024, '\0' );
	std::string const f = dir.file( "sym.mrc" );
	std::ofstream( f, std::ios::binary ) << head << record;
	std::string excerpt;
	EXPECT_TRUE( mrc::record_reads_as_symmetry_text( f, static_cast< long long >( record.size() ), &excerpt ) );
	EXPECT_EQ( excerpt, "-X+1/2,Y+1/2,-Z" );
	EXPECT_FALSE( mrc::record_reads_as_symmetry_text( f, static_cast< long long >( record.size() ) + 1, &excerpt ) );
	std::string stray = record;
	stray[ stray.size() - 3 ] = '\0';
	std::ofstream( f, std::ios::binary ) << head << stray;
	EXPECT_FALSE( mrc::record_reads_as_symmetry_text( f, static_cast< long long >( stray.size() ), nullptr ) );
	EXPECT_FALSE( mrc::record_reads_as_symmetry_text( dir.file( "absent.mrc" ), 80, nullptr ) );
}

TEST( MrcHeader, ExtendedHeaderTypeNamesTheBinaryTypesOnly )
{
	// EXTTYP is four characters at word 27, the same in either byte order.
	unsigned char b[ mrc::kHeaderBytes ] = {};
	auto type_of = [ & ]( char const* t, bool swap ) {
		std::memcpy( b + mrc::offset( mrc::EXTTYP ), t, 4 );
		mrc::Header h;
		mrc::decode_header( b, mrc::kHeaderBytes, swap, h );
		return mrc::binary_extended_header_type( h );
	};
	for ( char const* t : { "MRCO", "SERI", "AGAR", "FEI1", "FEI2", "HDF5" } ) {
		EXPECT_EQ( type_of( t, false ), t );
		EXPECT_EQ( type_of( t, true ), t );
	}
	for ( char const* t : { "CCP4", "    ", "fei1", "FEI3", "IMOD", "\0\0\0\0" } ) EXPECT_EQ( type_of( t, false ), "" ) << t;
	// A header shorter than word 27 has no type.
	std::memcpy( b + mrc::offset( mrc::EXTTYP ), "FEI1", 4 );
	mrc::Header h;
	mrc::decode_header( b, mrc::bytes_through( mrc::EXTTYP ) - 1, false, h );
	EXPECT_EQ( mrc::binary_extended_header_type( h ), "" );
}

namespace {

// A file of a 1024-byte header with EXTTYP `type`, then `after`.
std::string header_and( std::string const& path, char const* type, std::string const& after )
{
	std::string head( mrc::kHeaderBytes, '\0' );
	std::memcpy( &head[ mrc::offset( mrc::EXTTYP ) ], type, 4 );
	std::ofstream( path, std::ios::binary ) << head << after;
	return path;
}

mrc::Header header_of( std::string const& path )
{
	std::ifstream in( path, std::ios::binary );
	std::vector< char > b( mrc::kHeaderBytes );
	in.read( b.data(), mrc::kHeaderBytes );
	mrc::Header h;
	mrc::decode_header( reinterpret_cast< unsigned char const* >( b.data() ), long( in.gcount() ), false, h );
	return h;
}

} // namespace

TEST( MrcHeader, RecordIsKnownWrittenByItsTextOrByItsDeclaredBinaryType )
{
	quilt_test::ScratchDir dir( "mrchdr" );
	std::string blanks = "x,y,z", nuls = "x,y,z";
	blanks.resize( 80, ' ' );
	nuls.resize( 80, '\0' );
	std::vector< float > const ones( 20, 1.0f ), zeros( 20, 0.0f );
	std::string const voxels( reinterpret_cast< char const* >( ones.data() ), 80 );
	std::string const empty( reinterpret_cast< char const* >( zeros.data() ), 80 );

	std::string f = header_and( dir.file( "blanks.mrc" ), "CCP4", blanks + voxels );
	EXPECT_EQ( mrc::record_known_written( f, header_of( f ), 80 ),
	           "the 80 bytes after the header read as text (\"x,y,z\"), a symmetry record" );
	f = header_and( dir.file( "nuls.mrc" ), "\0\0\0\0", nuls + voxels );
	EXPECT_EQ( mrc::record_known_written( f, header_of( f ), 80 ),
	           "the 80 bytes after the header read as text (\"x,y,z\"), a symmetry record" );
	// Binary bytes under a binary type: the type tells; the bytes could be
	// anything, zero voxels among them.
	for ( char const* type : { "FEI1", "SERI", "HDF5" } ) {
		f = header_and( dir.file( std::string( type ) + ".mrc" ), type, empty + voxels );
		EXPECT_EQ( mrc::record_known_written( f, header_of( f ), 80 ),
		           "EXTTYP (word 27) is \"" + std::string( type ) + "\", a binary extended header of the MRC2014 "
		           "format, written in the 80 bytes after the header" );
	}
	// Voxel values under CCP4, blanks or another word: nothing shows a record.
	for ( char const* type : { "CCP4", "    ", "IMOD" } ) {
		for ( std::string const& bytes : { voxels, empty } ) {
			f = header_and( dir.file( "voxels.mrc" ), type, bytes + voxels );
			EXPECT_EQ( mrc::record_known_written( f, header_of( f ), 80 ), "" ) << type;
		}
	}
	EXPECT_EQ( mrc::record_known_written( f, header_of( f ), 0 ), "" );
	std::string const one = "x,y,z" + std::string( 1, '\0' );
	f = header_and( dir.file( "one.mrc" ), "CCP4", one );
	EXPECT_EQ( mrc::record_known_written( f, header_of( f ), 6 ),
	           "the 6 bytes after the header read as text (\"x,y,z\"), a symmetry record" );
}

TEST( MrcHeader, RecordRunningPastNsymbtIsTold )
{
	// The bytes between the header and data that end the file: a text
	// record of 80 bytes under NSYMBT 0, 3 or 5 runs past the word; a whole
	// record followed by zero voxels or by voxel values does not (the extra
	// bytes lie after the data, or begin with the NULs of zero voxels).
	quilt_test::ScratchDir dir( "mrchdr" );
	std::string blanks = "x,y,z", nuls = "x,y,z";
	blanks.resize( 80, ' ' );
	nuls.resize( 80, '\0' );
	std::vector< float > const ones( 20, 1.0f );
	std::string const voxels( reinterpret_cast< char const* >( ones.data() ), 80 );
	std::string const f = header_and( dir.file( "rec.mrc" ), "CCP4", blanks + voxels );
	for ( long long const nsymbt : { 0LL, 3LL, 5LL, 79LL } )
		EXPECT_EQ( mrc::record_beyond_nsymbt( f, nsymbt, 80 ),
		           "the 80 bytes after the header read as text (\"x,y,z\"), a symmetry record that NSYMBT does not "
		           "count" ) << nsymbt;
	EXPECT_EQ( mrc::record_beyond_nsymbt( f, 80, 80 ), "" );     // nothing beyond the word
	EXPECT_EQ( mrc::record_beyond_nsymbt( f, 80, 160 ), "" );    // voxel values beyond it
	EXPECT_EQ( mrc::record_beyond_nsymbt( f, -1, 80 ), "" );
	std::string const g = header_and( dir.file( "nul.mrc" ), "CCP4", nuls + std::string( 80, '\0' ) + voxels );
	EXPECT_EQ( mrc::record_beyond_nsymbt( g, 0, 80 ),
	           "the 80 bytes after the header read as text (\"x,y,z\"), a symmetry record that NSYMBT does not count" );
	EXPECT_EQ( mrc::record_beyond_nsymbt( g, 80, 160 ), "" );    // zero voxels after a whole record
	EXPECT_EQ( mrc::record_beyond_nsymbt( g, 5, 80 ), "" );      // NUL padding after the word's end
	EXPECT_EQ( mrc::record_beyond_nsymbt( dir.file( "absent.mrc" ), 0, 80 ), "" );
}

namespace {

// A header of `n` x `m` x `k` voxels of `w` A, axes 1, 2, 3, right angles.
mrc::Header grid_header( int n, int m, int k, float w )
{
	mrc::Header h;
	h.nc = h.mx = n;
	h.nr = h.my = m;
	h.ns = h.mz = k;
	h.xlen = n * w;
	h.ylen = m * w;
	h.zlen = k * w;
	h.alpha = h.beta = h.gamma = 90;
	h.mapc = 1;
	h.mapr = 2;
	h.maps = 3;
	h.mode = 2;
	return h;
}

} // namespace

TEST( MrcHeader, VoxelShiftOfAReadingThatStartsEarly )
{
	// Data read 80 bytes early on the 3MHT grid (60 x 58 x 68 of 1.5 A):
	// 20 values along X, 30 A.
	mrc::Header h = grid_header( 60, 58, 68, 1.5f );
	mrc::VoxelShift s = mrc::voxel_shift( h, 80, 4 );
	EXPECT_TRUE( s.whole );
	EXPECT_EQ( s.values, 20 );
	EXPECT_EQ( s.voxels[ 0 ], 20 );
	EXPECT_EQ( s.voxels[ 1 ], 0 );
	EXPECT_EQ( s.voxels[ 2 ], 0 );
	EXPECT_NEAR( s.distance, 30.0, 1e-9 );

	// 50 values in rows of 60: a density in the middle of the box moves one
	// row on and 10 columns back, sqrt(10^2 + 1) voxels.
	s = mrc::voxel_shift( h, 200, 4 );
	EXPECT_EQ( s.voxels[ 0 ], -10 );
	EXPECT_EQ( s.voxels[ 1 ], 1 );
	EXPECT_NEAR( s.distance, 1.5 * std::sqrt( 101.0 ), 1e-9 );

	// A whole plane and two rows: along Z and Y.
	s = mrc::voxel_shift( h, 4L * ( 60 * 58 + 2 * 60 ), 4 );
	EXPECT_EQ( s.voxels[ 0 ], 0 );
	EXPECT_EQ( s.voxels[ 1 ], 2 );
	EXPECT_EQ( s.voxels[ 2 ], 1 );
	EXPECT_NEAR( s.distance, 1.5 * std::sqrt( 5.0 ), 1e-9 );

	// Rows of 8-bit values: one byte a voxel.
	s = mrc::voxel_shift( h, 80, 1 );
	EXPECT_EQ( s.values, 80 );
	EXPECT_EQ( s.voxels[ 0 ], 20 );
	EXPECT_EQ( s.voxels[ 1 ], 1 );

	// Part of a value: the nearer whole count of values, and not whole.
	s = mrc::voxel_shift( h, 75, 4 );
	EXPECT_FALSE( s.whole );
	EXPECT_EQ( s.values, 19 );
	EXPECT_NEAR( s.distance, 28.5, 1e-9 );
}

TEST( MrcHeader, VoxelShiftFollowsTheAxisOrderAndTheCell )
{
	// Columns along Z (MAPC 3), voxels of 2 A along Z: 5 values are 10 A
	// along Z.
	mrc::Header h = grid_header( 20, 30, 40, 1.0f );
	h.mapc = 3;
	h.mapr = 1;
	h.maps = 2;
	h.zlen = 2.0f * h.mz;
	mrc::VoxelShift s = mrc::voxel_shift( h, 20, 4 );
	EXPECT_EQ( s.voxels[ 2 ], 5 );
	EXPECT_EQ( s.voxels[ 0 ], 0 );
	EXPECT_NEAR( s.distance, 10.0, 1e-9 );

	// gamma 60: one column and one row are the long diagonal of a rhombus
	// of 1 A sides, sqrt(3) A; gamma 120, the short one, 1 A.
	mrc::Header g = grid_header( 10, 10, 10, 1.0f );
	g.gamma = 60;
	EXPECT_NEAR( mrc::voxel_shift( g, 4 * 11, 4 ).distance, std::sqrt( 3.0 ), 1e-6 );
	g.gamma = 120;
	EXPECT_NEAR( mrc::voxel_shift( g, 4 * 11, 4 ).distance, 1.0, 1e-6 );
	// Angles that give no cell are taken as right angles.
	g.alpha = g.beta = g.gamma = 0;
	EXPECT_NEAR( mrc::voxel_shift( g, 4 * 11, 4 ).distance, std::sqrt( 2.0 ), 1e-9 );
	// Without a usable voxel size there is no distance.
	g.mx = 0;
	EXPECT_LT( mrc::voxel_shift( g, 4 * 11, 4 ).distance, 0 );
}

TEST( MrcHeader, SentencesNameTheOtherReading )
{
	mrc::Header h = grid_header( 60, 58, 68, 1.0f );
	EXPECT_EQ( mrc::shift_if_record_was_written( h, 80, 4 ),
	           "If the file lost those 80 bytes from its end instead, every voxel is read 20 values early: the density, "
	           "and every placement in it, would be shifted by about 20 A along X." );
	EXPECT_EQ( mrc::shift_if_bytes_lie_before_data( h, 4 * 60 * 58 * 3, 4 ),
	           "If those 41760 bytes lie before the voxel data instead (a record or extended header that NSYMBT does not "
	           "count), every voxel is read 10440 values early: the density, and every placement in it, would be "
	           "shifted by about 3.0 A along Z." );
	EXPECT_EQ( mrc::shift_if_bytes_lie_before_data( h, 1, 4 ),
	           "If that byte lies before the voxel data instead (a record or extended header that NSYMBT does not count), "
	           "every voxel is read 1 byte early (0.25 values), out of step with the 4-byte values: the density would be "
	           "scrambled, each value made of the bytes of neighbouring voxels, and no placement in it could be "
	           "trusted." );
	mrc::Header bad = h;
	bad.xlen = 0;
	std::string const none = mrc::shift_if_record_was_written( bad, 8, 4 );
	EXPECT_NE( none.find( "shifted by that many values along the grid's rows" ), std::string::npos ) << none;
}
