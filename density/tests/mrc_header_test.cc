// The shared MRC/CCP4 header words: word positions, byte reversal, short
// headers (a word the file does not hold whole reads 0) and a header written
// and read back.
#include "density/MrcHeader.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

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
	EXPECT_FALSE( text( "x,y,z" + std::string( 75, '\0' ) ) );
	EXPECT_FALSE( text( std::string( 80, char( 0xA5 ) ) ) );
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
	std::string const two = "X,Y,Z\n-X,-Y,Z";
	EXPECT_EQ( mrc::text_excerpt( reinterpret_cast< unsigned char const* >( two.data() ), long( two.size() ) ), "X,Y,Z" );
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
