// Fourier resampling: spectrum index mapping, scale and known signals.
#include "numerics/fft3d.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <vector>

namespace {

using farray::DynamicIndexRange;
typedef farray::FArray3D< double > RArray;
typedef farray::FArray3D< std::complex< double > > CArray;
double const pi = 3.14159265358979323846;

RArray make( int a1, int a2, int a3 )
{
	RArray r;
	r.dimension( DynamicIndexRange( a1 ), DynamicIndexRange( a2 ), DynamicIndexRange( a3 ) );
	return r;
}

TEST( Resample, SameExtentsCopyTheMap )
{
	RArray in = make( 3, 4, 5 ), out;
	for ( std::size_t i = 0; i < in.size(); ++i ) in[ i ] = std::sin( 0.37 * i ) + 0.1 * i;
	int dims[ 3 ] = { 3, 4, 5 };
	resample( in, out, dims );
	ASSERT_EQ( out.size(), in.size() );
	for ( std::size_t i = 0; i < in.size(); ++i ) EXPECT_EQ( out[ i ], in[ i ] );
}

TEST( Resample, ConstantMapScalesByTheSizeRatio )
{
	RArray in = make( 16, 16, 16 ), out;
	in = 3.0;
	int dims[ 3 ] = { 32, 32, 32 };
	resample( in, out, dims );
	EXPECT_EQ( out.u1(), 32 );
	EXPECT_EQ( out.u3(), 32 );
	for ( std::size_t i = 0; i < out.size(); ++i ) ASSERT_NEAR( out[ i ], 3.0 / 8, 1e-13 );
}

TEST( Resample, SpectrumIndicesMoveAsTheFrequenciesDo )
{
	// Axis 1 grows 5 -> 7, axis 2 shrinks 9 -> 7, axis 3 stays: with odd
	// extents the kept spectrum stays Hermitian, so the transform of the
	// output is exactly the rearranged spectrum of the input, scaled.
	RArray in = make( 5, 9, 4 ), out;
	for ( std::size_t i = 0; i < in.size(); ++i ) in[ i ] = std::cos( 1.1 * i * i + 0.2 * i );
	int dims[ 3 ] = { 7, 7, 4 };
	resample( in, out, dims );
	CArray S, T;
	fft3( in, S );
	fft3( out, T );
	int const src1[ 8 ] = { 0, 1, 2, 3, 0, 0, 4, 5 };   // new -> old index along axis 1
	int const src2[ 8 ] = { 0, 1, 2, 3, 4, 7, 8, 9 };   // along axis 2 (old 5 and 6 dropped)
	for ( int k = 1; k <= 4; ++k )
		for ( int j = 1; j <= 7; ++j )
			for ( int i = 1; i <= 7; ++i ) {
				std::complex< double > const expect = ( src1[ i ] && src2[ j ] ) ? S( src1[ i ], src2[ j ], k ) : 0.0;
				EXPECT_NEAR( std::abs( T( i, j, k ) - expect ), 0.0, 1e-11 ) << i << " " << j << " " << k;
			}
}

TEST( Resample, CosineKeepsItsShapeAndTheNyquistTermIsHalved )
{
	// Frequency 1 along the first axis, 8 -> 12: the same cosine, scaled 8/12.
	RArray in = make( 8, 2, 3 ), out;
	for ( int k = 1; k <= 3; ++k )
		for ( int j = 1; j <= 2; ++j )
			for ( int i = 1; i <= 8; ++i ) in( i, j, k ) = std::cos( 2 * pi * ( i - 1 ) / 8.0 );
	int grow[ 3 ] = { 12, 2, 3 };
	resample( in, out, grow );
	for ( int i = 1; i <= 12; ++i ) EXPECT_NEAR( out( i, 2, 3 ), std::cos( 2 * pi * ( i - 1 ) / 12.0 ) * 8 / 12, 1e-13 );

	// Frequency 2 with the axis shrinking 8 -> 4: only its positive-frequency
	// coefficient is kept, so it comes back at half the common scale (8/4).
	for ( int k = 1; k <= 3; ++k )
		for ( int j = 1; j <= 2; ++j )
			for ( int i = 1; i <= 8; ++i ) in( i, j, k ) = std::cos( 2 * pi * 2 * ( i - 1 ) / 8.0 );
	int shrink[ 3 ] = { 4, 2, 3 };
	resample( in, out, shrink );
	for ( int i = 1; i <= 4; ++i ) EXPECT_NEAR( out( i, 1, 1 ), std::cos( pi * ( i - 1 ) ) * 2 * 0.5, 1e-13 );

	// Growing 4 -> 8 the same frequency keeps the common scale (4/8).
	RArray small = make( 4, 2, 3 );
	for ( int k = 1; k <= 3; ++k )
		for ( int j = 1; j <= 2; ++j )
			for ( int i = 1; i <= 4; ++i ) small( i, j, k ) = std::cos( pi * ( i - 1 ) );
	int back[ 3 ] = { 8, 2, 3 };
	resample( small, out, back );
	for ( int i = 1; i <= 8; ++i ) EXPECT_NEAR( out( i, 1, 1 ), std::cos( pi * ( i - 1 ) / 2 ) * 0.5, 1e-13 );
}

} // namespace
