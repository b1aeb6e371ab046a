// The interactive MRC writer (header dialogue on standard input), the line
// readers and the array form of the normalisation.
#include "density/DensityScore.hh"
#include "density/tests/dmap_test_util.hh"
#include "farray/FArray3D.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>

namespace {

void write_text( std::string const& f, std::string const& s )
{
	std::ofstream out( f );
	out << s;
}

} // namespace

TEST( DmapDialogue, SignedByteSelectionWritesClippedModeZero )
{
	quilt_test::ScratchDir dir( "dmap" );
	// Selection 2 (clip to signed 8-bit), then the offered values kept: NC,
	// NR, NS, the three starts, MX, MY, MZ, lengths, angles, axes, origin.
	std::string answers = "2\n";
	for ( char const* a : { "2", "2", "1", "0", "0", "0", "2", "2", "1", "2.0", "2.0", "1.0", "90", "90", "90",
			"1", "2", "3", "0", "0", "0" } ) answers += std::string( a ) + "\n";
	write_text( dir.file( "in.txt" ), answers );
	std::string const out = dir.file( "d.mrc" );
	std::vector<double> v = { -300.0, -1.4, 2.6, 500.0 };
	// In a child process: standard input is replaced there only.
	EXPECT_EXIT( {
		if ( !std::freopen( dir.file( "in.txt" ).c_str(), "r", stdin ) ) std::exit( 3 );
		DensityScore ds;
		ds.quiet = false;
		ds.WriteMrc( 0, out.c_str(), 1.0, 0, 0, 0, 2, 2, 1, v.data() );
		std::fflush( stdout );
		std::exit( 0 ); },
		testing::ExitedWithCode( 0 ), "" );
	ASSERT_TRUE( dmap_test::file_exists( out ) );
	// The caller's array is untouched; the file holds the clipped bytes.
	EXPECT_DOUBLE_EQ( v[0], -300.0 );
	DensityScore ds;
	int orth = 1, cubic = 1, mode;
	unsigned nc, nr, ns;
	int cs, rs, ss;
	double wx, wy, wz, xo, yo, zo, a, b, g;
	double* phi = nullptr;
	ds.ReadMrc( out.c_str(), &orth, &cubic, &mode, &nc, &nr, &ns, &cs, &rs, &ss, &wx, &wy, &wz, &xo, &yo, &zo,
		&a, &b, &g, &phi );
	ASSERT_EQ( nc * nr * ns, 4u );
	EXPECT_DOUBLE_EQ( phi[0], -128 );
	EXPECT_DOUBLE_EQ( phi[1], -1 );
	EXPECT_DOUBLE_EQ( phi[2], 3 );
	EXPECT_DOUBLE_EQ( phi[3], 127 );
	std::free( phi );
	std::ifstream f( out, std::ios::binary );
	char head[16];
	f.read( head, 16 );
	int m;
	std::memcpy( &m, head + 12, 4 );
	EXPECT_EQ( m, 0 );
}

TEST( DmapDialogue, LineReaders )
{
	quilt_test::ScratchDir dir( "dmap" );
	write_text( dir.file( "in.txt" ), "42 trailing words\n2.5e1\nabc\n7" );
	EXPECT_EXIT( {
		if ( !std::freopen( dir.file( "in.txt" ).c_str(), "r", stdin ) ) std::exit( 3 );
		dmap_test::stdout_to_stderr();
		int const a = readln_int();
		double const b = readln_double();
		int const c = readln_int();  // not a number: 0, the line is dropped
		int const d = readln_int();  // input ends before the line end
		int const e = readln_int();  // nothing left
		std::fflush( stdout );
		std::exit( a == 42 && b == 25.0 && c == 0 && d == 7 && e == 0 ? 0 : 1 ); },
		testing::ExitedWithCode( 0 ), "readln_int> Error,14020!\nreadln_int> Error, 14010!" );
}

TEST( DmapArrays, NormalizeFArrayChecksItsCount )
{
	farray::FArray3D<double> a;
	a.dimension( farray::DynamicIndexRange( 2 ), farray::DynamicIndexRange( 2 ), farray::DynamicIndexRange( 1 ) );
	for ( int i = 0; i < 4; ++i ) a[i] = i + 1.0;
	normalize( a, 4, 2.0 );
	EXPECT_DOUBLE_EQ( a( 2, 2, 1 ), 2.0 );
	EXPECT_DOUBLE_EQ( a( 1, 1, 1 ), 0.5 );
	EXPECT_DEATH( normalize( a, 5, 2.0 ), "" );
}
