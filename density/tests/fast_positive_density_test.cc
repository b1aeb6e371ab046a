// FastDensityScore::hasPositiveDensity on maps read from MRC files: the
// fitting programs refuse a map for which it is false, so a single voxel
// above zero must be found wherever it lies, the first and the last voxel
// of the grid included, in any axis order of the file.
#include "density/FastDensityScore.hh"
#include "density/tests/fast_test_util.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using fast_test::write_mrc;

namespace {

// A map of nx x ny x nz voxels (axis map 1, 2, 3, one voxel per Angstrom)
// whose values are all at most zero: zeros and negative values in turn.
auto non_positive( int nx, int ny, int nz )
{
	auto s = fast_test::cubic_map( 1, 1.0, []( int, int, int ) { return 0.0; } );
	s.data.clear();
	int const n[ 3 ] = { nx, ny, nz };
	for ( int a = 0; a < 3; ++a ) {
		s.ext[ a ] = n[ a ];
		s.samp[ a ] = n[ a ];
		s.cell[ a ] = float( n[ a ] );
	}
	for ( int i = 0; i < nx * ny * nz; ++i ) s.data.push_back( i % 3 == 0 ? 0.0f : -float( i % 7 + 1 ) );
	return s;
}

bool load( FastDensityScore& m, std::string const& path )
{
	testing::internal::CaptureStdout();
	bool const ok = m.readDensityMap( path, 0.0, 0.0, 0.0, true );
	testing::internal::GetCapturedStdout();
	return ok;
}

} // namespace

TEST( FastPositiveDensity, MapsWithoutAPositiveVoxelHaveNone )
{
	quilt_test::ScratchDir dir( "fds_positive" );
	FastDensityScore m;
	// Nothing loaded yet: an empty grid.
	EXPECT_FALSE( m.hasPositiveDensity() );

	auto s = non_positive( 5, 6, 7 );
	ASSERT_TRUE( write_mrc( dir.file( "negative.mrc" ), s ) );
	ASSERT_TRUE( load( m, dir.file( "negative.mrc" ) ) );
	ASSERT_EQ( m.density().size(), 5u * 6u * 7u );
	EXPECT_FALSE( m.hasPositiveDensity() );

	for ( float& v : s.data ) v = 0.0f;
	ASSERT_TRUE( write_mrc( dir.file( "zeros.mrc" ), s ) );
	ASSERT_TRUE( load( m, dir.file( "zeros.mrc" ) ) );
	EXPECT_FALSE( m.hasPositiveDensity() );

	// Non-finite values are read as 0: a map of NaN has no positive voxel.
	for ( float& v : s.data ) v = std::numeric_limits< float >::quiet_NaN();
	ASSERT_TRUE( write_mrc( dir.file( "nan.mrc" ), s ) );
	ASSERT_TRUE( load( m, dir.file( "nan.mrc" ) ) );
	EXPECT_FALSE( m.hasPositiveDensity() );
}

TEST( FastPositiveDensity, OnlyTheLastVoxelAboveZeroIsFound )
{
	quilt_test::ScratchDir dir( "fds_positive" );
	auto s = non_positive( 5, 6, 7 );
	s.data.back() = 0.25f;
	ASSERT_TRUE( write_mrc( dir.file( "last.mrc" ), s ) );
	FastDensityScore m;
	ASSERT_TRUE( load( m, dir.file( "last.mrc" ) ) );
	farray::FArray3D< double > const& d = m.density();
	ASSERT_EQ( d.size(), 5u * 6u * 7u );
	// The file's last voxel is the grid's last: (5, 6, 7), element 209.
	EXPECT_DOUBLE_EQ( d( 5, 6, 7 ), 0.25 );
	EXPECT_DOUBLE_EQ( d[ d.size() - 1 ], 0.25 );
	for ( std::size_t l = 0; l + 1 < d.size(); ++l ) ASSERT_LE( d[ l ], 0.0 ) << l;
	EXPECT_TRUE( m.hasPositiveDensity() );
	// Copies share the grid and say the same.
	FastDensityScore const copy = m;
	EXPECT_TRUE( copy.hasPositiveDensity() );

	// The smallest normal float above zero counts as well.
	s.data.back() = std::numeric_limits< float >::min();
	ASSERT_TRUE( write_mrc( dir.file( "tiny.mrc" ), s ) );
	ASSERT_TRUE( load( m, dir.file( "tiny.mrc" ) ) );
	EXPECT_GT( m.density()[ m.density().size() - 1 ], 0.0 );
	EXPECT_TRUE( m.hasPositiveDensity() );
}

TEST( FastPositiveDensity, OnlyTheFirstVoxelAboveZeroIsFound )
{
	quilt_test::ScratchDir dir( "fds_positive" );
	auto s = non_positive( 5, 6, 7 );
	s.data.back() = -2.0f;
	s.data.front() = 0.25f;
	ASSERT_TRUE( write_mrc( dir.file( "first.mrc" ), s ) );
	FastDensityScore m;
	ASSERT_TRUE( load( m, dir.file( "first.mrc" ) ) );
	farray::FArray3D< double > const& d = m.density();
	ASSERT_EQ( d.size(), 5u * 6u * 7u );
	EXPECT_DOUBLE_EQ( d( 1, 1, 1 ), 0.25 );
	EXPECT_DOUBLE_EQ( d[ 0 ], 0.25 );
	for ( std::size_t l = 1; l < d.size(); ++l ) ASSERT_LE( d[ l ], 0.0 ) << l;
	EXPECT_TRUE( m.hasPositiveDensity() );
}

TEST( FastPositiveDensity, LastVoxelOfAFileInAnotherAxisOrderIsFound )
{
	// Columns along z, rows along x, sections along y (axis map 3, 1, 2):
	// the file's last voxel is still the corner of the largest indices, the
	// last element of the grid.
	quilt_test::ScratchDir dir( "fds_positive" );
	int const nc = 2, nr = 3, ns = 4;
	auto s = non_positive( nc, nr, ns );
	s.ext[ 0 ] = nc;
	s.ext[ 1 ] = nr;
	s.ext[ 2 ] = ns;
	s.axes[ 0 ] = 3;
	s.axes[ 1 ] = 1;
	s.axes[ 2 ] = 2;
	s.samp[ 0 ] = nr;
	s.samp[ 1 ] = ns;
	s.samp[ 2 ] = nc;
	s.cell[ 0 ] = float( nr );
	s.cell[ 1 ] = float( ns );
	s.cell[ 2 ] = float( nc );
	s.data.assign( nc * nr * ns, -1.0f );
	s.data.back() = 3.0f;
	ASSERT_TRUE( write_mrc( dir.file( "permuted.mrc" ), s ) );
	FastDensityScore m;
	ASSERT_TRUE( load( m, dir.file( "permuted.mrc" ) ) );
	farray::FArray3D< double > const& d = m.density();
	ASSERT_EQ( d.u1(), nr );
	ASSERT_EQ( d.u2(), ns );
	ASSERT_EQ( d.u3(), nc );
	EXPECT_DOUBLE_EQ( d( nr, ns, nc ), 3.0 );
	EXPECT_DOUBLE_EQ( d[ d.size() - 1 ], 3.0 );
	EXPECT_TRUE( m.hasPositiveDensity() );
}
