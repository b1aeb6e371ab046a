// Rewriting a map with another origin: the written header (extents, cell,
// start indices in register, ORIGIN words) and values read back byte by
// byte, and the map scoring a model moved with it exactly as the original
// scored the model where it was.
#include "density/DensityScore.hh"
#include "density/FastDensityScore.hh"
#include "testsupport/test_data.hh"
#include "density/tests/fast_test_util.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

struct RawMrc {
	std::vector< unsigned char > bytes;
	explicit RawMrc( std::string const& path )
	{
		std::ifstream in( path, std::ios::binary );
		bytes.assign( std::istreambuf_iterator< char >( in ), std::istreambuf_iterator< char >() );
	}
	int32_t word( int w ) const  // 1-based header word
	{
		int32_t v;
		std::memcpy( &v, &bytes[ 4 * ( w - 1 ) ], 4 );
		return v;
	}
	float real( int w ) const
	{
		float v;
		std::memcpy( &v, &bytes[ 4 * ( w - 1 ) ], 4 );
		return v;
	}
	float value( std::size_t i ) const
	{
		float v;
		std::memcpy( &v, &bytes[ 1024 + 4 * i ], 4 );
		return v;
	}
};

int const kN = 20;
double const kWidth = 1.5;
int const kStart = 2;  // first voxel at 3 A on every axis

// Three atoms as Gaussians in a box of 20^3 voxels of 1.5 A.
fast_test::MrcSpec source_map( std::vector< std::vector< double > >& atoms )
{
	atoms = { { 16.0, 12.5, 18.0 }, { 19.5, 14.0, 16.0 }, { 15.0, 16.5, 21.0 } };
	std::vector< std::vector< double > > grid;
	for ( auto const& a : atoms )
		grid.push_back( { a[ 0 ] / kWidth - kStart, a[ 1 ] / kWidth - kStart, a[ 2 ] / kWidth - kStart } );
	fast_test::MrcSpec m = fast_test::cubic_map( kN, kWidth, []( int, int, int ) { return 0.0; }, kStart );
	fast_test::add_gaussians( m, kN, grid, 5, 0.4 );
	for ( int a = 0; a < 3; ++a ) m.origin[ a ] = float( kStart * kWidth );
	return m;
}

} // namespace

TEST( MapOrigin, RewrittenWithTheNewOriginAndTheSameValues )
{
	quilt_test::ScratchDir dir( "quilt origin" );
	std::vector< std::vector< double > > atoms;
	fast_test::MrcSpec const m = source_map( atoms );
	ASSERT_TRUE( fast_test::write_mrc( dir.file( "in.mrc" ), m ) );
	DensityScore ds;
	testing::internal::CaptureStdout();
	// On the 1.5 A lattice, and off it.
	ds.ModifyMapOrigin( dir.file( "in.mrc" ), dir.file( "on.mrc" ), 30.0, -12.0, 6.0 );
	ds.ModifyMapOrigin( dir.file( "in.mrc" ), dir.file( "off.mrc" ), 10.3, 0.4, -2.2 );
	testing::internal::GetCapturedStdout();

	RawMrc const in( dir.file( "in.mrc" ) );
	for ( std::string const name : { "on.mrc", "off.mrc" } ) {
		SCOPED_TRACE( name );
		RawMrc const out( dir.file( name ) );
		std::size_t const n = std::size_t( kN ) * kN * kN;
		ASSERT_EQ( out.bytes.size(), 1024 + 4 * n );
		for ( int a = 0; a < 3; ++a ) {
			EXPECT_EQ( out.word( 1 + a ), kN );                          // extents
			EXPECT_FLOAT_EQ( out.real( 11 + a ), float( kN * kWidth ) );  // cell: width kept
		}
		EXPECT_EQ( out.word( 4 ), 2 );  // 32-bit reals
		for ( std::size_t i = 0; i < n; ++i ) ASSERT_EQ( out.value( i ), m.data[ i ] ) << i;
	}
	RawMrc const on( dir.file( "on.mrc" ) ), off( dir.file( "off.mrc" ) );
	EXPECT_FLOAT_EQ( on.real( 50 ), 30.0f );
	EXPECT_FLOAT_EQ( on.real( 51 ), -12.0f );
	EXPECT_FLOAT_EQ( on.real( 52 ), 6.0f );
	EXPECT_EQ( on.word( 5 ), 20 );  // start indices in register with the origin
	EXPECT_EQ( on.word( 6 ), -8 );
	EXPECT_EQ( on.word( 7 ), 4 );
	EXPECT_FLOAT_EQ( off.real( 50 ), 10.3f );
	EXPECT_FLOAT_EQ( off.real( 51 ), 0.4f );
	EXPECT_FLOAT_EQ( off.real( 52 ), -2.2f );
	// The source itself is unchanged.
	EXPECT_EQ( in.word( 5 ), kStart );
}

TEST( MapOrigin, ModelMovedWithTheMapScoresTheSame )
{
	quilt_test::ScratchDir dir( "quilt origin" );
	std::vector< std::vector< double > > atoms;
	fast_test::MrcSpec const m = source_map( atoms );
	ASSERT_TRUE( fast_test::write_mrc( dir.file( "in.mrc" ), m ) );
	double const newOrigin[ 3 ] = { 30.0, -12.0, 6.0 };
	double shift[ 3 ];
	for ( int a = 0; a < 3; ++a ) shift[ a ] = newOrigin[ a ] - kStart * kWidth;
	DensityScore ds;
	testing::internal::CaptureStdout();
	ds.ModifyMapOrigin( dir.file( "in.mrc" ), dir.file( "on.mrc" ), newOrigin[ 0 ], newOrigin[ 1 ], newOrigin[ 2 ] );
	FastDensityScore before, after;
	ASSERT_TRUE( before.readDensityMap( dir.file( "in.mrc" ), 5.0, 0.0, 0.0, true ) );
	ASSERT_TRUE( after.readDensityMap( dir.file( "on.mrc" ), 5.0, 0.0, 0.0, true ) );
	testing::internal::GetCapturedStdout();

	std::vector< double* > at, moved, stayed;
	for ( auto const& s : atoms ) {
		at.push_back( new double[ 3 ]{ s[ 0 ], s[ 1 ], s[ 2 ] } );
		moved.push_back( new double[ 3 ]{ s[ 0 ] + shift[ 0 ], s[ 1 ] + shift[ 1 ], s[ 2 ] + shift[ 2 ] } );
		stayed.push_back( new double[ 3 ]{ s[ 0 ], s[ 1 ], s[ 2 ] } );
	}
	double const s0 = before.getFastDensScore( at, 3 );
	EXPECT_GT( s0, 0.0 );
	EXPECT_NEAR( after.getFastDensScore( moved, 3 ), s0, 1e-9 * s0 );
	// Left where it was, the model no longer lies in the density.
	EXPECT_LT( after.getFastDensScore( stayed, 3 ), 0.5 * s0 );
	for ( auto* v : { &at, &moved, &stayed } )
		for ( double* p : *v ) delete[] p;
}
