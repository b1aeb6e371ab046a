// 3-D FFTs over FArray3D against the direct 3-D Fourier sum, round trips,
// Parseval, index bases, in-place use and the real forms.  Every check runs
// with both kernel sets (the baseline one and the widest the CPU has).
#include "numerics/fft3d.hh"
#include "numerics/fft.hh"
#include "numerics/fft_lines.hh"
#include "numerics/tests/dft_reference.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace {

using dft_reference::cpx;
using dft_reference::max_diff;
typedef farray::FArray3D< cpx > CArray;
typedef farray::FArray3D< double > RArray;
using farray::DynamicIndexRange;

void fill( CArray & a, std::vector< cpx > const & v )
{
	for ( std::size_t i = 0; i < v.size(); ++i ) a[ i ] = v[ i ];
}

std::vector< cpx > contents( CArray const & a )
{
	return std::vector< cpx >( a.data(), a.data() + a.size() );
}

CArray make( int n1, int n2, int n3, unsigned seed )
{
	CArray a;
	a.dimension( DynamicIndexRange( n1 ), DynamicIndexRange( n2 ), DynamicIndexRange( n3 ) );
	fill( a, dft_reference::signal( static_cast< long >( n1 ) * n2 * n3, seed ) );
	return a;
}

class Fft3 : public ::testing::TestWithParam< fft_lines::Kernels > {
protected:
	void SetUp() override { fft_lines::select_kernels( GetParam() ); }
	void TearDown() override { fft_lines::select_kernels( fft_lines::Kernels::best ); }
};

TEST_P( Fft3, SmallGridsMatchDirectSum )
{
	int const sizes[][ 3 ] = { { 4, 6, 7 }, { 5, 9, 11 }, { 1, 3, 2 }, { 8, 1, 5 }, { 2, 2, 1 } };
	for ( auto const & d : sizes ) {
		CArray const x = make( d[ 0 ], d[ 1 ], d[ 2 ], 17 );
		std::vector< cpx > const X = dft_reference::dft3( contents( x ), d[ 0 ], d[ 1 ], d[ 2 ], -1 );
		CArray out;
		fft3( x, out );
		ASSERT_EQ( out.size(), x.size() );
		EXPECT_EQ( out.u1(), d[ 0 ] );
		EXPECT_EQ( out.u2(), d[ 1 ] );
		EXPECT_EQ( out.u3(), d[ 2 ] );
		EXPECT_LT( max_diff( out.data(), X.data(), x.size() ), 1e-12 ) << d[ 0 ] << "x" << d[ 1 ] << "x" << d[ 2 ];

		// Inverse: (1/N) sum X exp(+...), so ifft3 of x is the conjugate sum / N.
		std::vector< cpx > Y = dft_reference::dft3( contents( x ), d[ 0 ], d[ 1 ], d[ 2 ], +1 );
		for ( cpx & v : Y ) v /= double( x.size() );
		CArray back;
		ifft3( x, back );
		EXPECT_LT( max_diff( back.data(), Y.data(), x.size() ), 1e-13 );
	}
}

// Independent reference for larger grids: the 1-D plans of fft.hh (a
// different algorithm) applied axis by axis.
std::vector< cpx > reference_by_axes( std::vector< cpx > x, int n1, int n2, int n3, int inverse )
{
	int const n[ 3 ] = { n1, n2, n3 };
	long const stride[ 3 ] = { 1, n1, static_cast< long >( n1 ) * n2 };
	std::vector< cpx > line, out;
	for ( int a = 0; a < 3; ++a ) {
		fft_state st( n[ a ], inverse );
		line.resize( n[ a ] );
		out.resize( n[ a ] );
		for ( long base = 0; base < static_cast< long >( x.size() ); ++base ) {
			// base is the start of a line when its coordinate along a is 0
			if ( ( base / stride[ a ] ) % n[ a ] != 0 ) continue;
			for ( int k = 0; k < n[ a ]; ++k ) line[ k ] = x[ base + k * stride[ a ] ];
			fft( &st, line.data(), out.data() );
			for ( int k = 0; k < n[ a ]; ++k ) x[ base + k * stride[ a ] ] = out[ k ];
		}
	}
	return x;
}

TEST_P( Fft3, PrimeAndMixedExtentsMatchReference )
{
	// 97, 59 and 47 go through the chirp convolution, 17 and 19 through the
	// direct odd butterflies, 12 and 20 through radices 4, 3, 2 and 5.
	int const sizes[][ 3 ] = { { 97, 3, 2 }, { 2, 59, 3 }, { 17, 19, 12 }, { 20, 2, 47 }, { 23, 11, 13 } };
	for ( auto const & d : sizes ) {
		CArray const x = make( d[ 0 ], d[ 1 ], d[ 2 ], 3 );
		for ( int inverse = 0; inverse < 2; ++inverse ) {
			std::vector< cpx > ref = reference_by_axes( contents( x ), d[ 0 ], d[ 1 ], d[ 2 ], inverse );
			CArray out;
			if ( inverse ) {
				ifft3( x, out );
				for ( cpx & v : ref ) v /= double( x.size() );
			} else {
				fft3( x, out );
			}
			double scale = 0;
			for ( cpx const & v : ref ) scale = std::max( scale, std::abs( v ) );
			EXPECT_LT( max_diff( out.data(), ref.data(), x.size() ), 1e-13 * scale * 10 )
				<< d[ 0 ] << "x" << d[ 1 ] << "x" << d[ 2 ] << " inverse " << inverse;
		}
	}
}

TEST_P( Fft3, RoundTripAndParseval )
{
	CArray const x = make( 15, 8, 31, 9 );
	CArray X, back;
	fft3( x, X );
	ifft3( X, back );
	EXPECT_LT( max_diff( back.data(), x.data(), x.size() ), 1e-14 );
	double ex = 0, eX = 0;
	for ( std::size_t i = 0; i < x.size(); ++i ) {
		ex += std::norm( x[ i ] );
		eX += std::norm( X[ i ] );
	}
	EXPECT_NEAR( eX, ex * x.size(), 1e-12 * eX );
}

TEST_P( Fft3, InPlaceAndOtherIndexBases )
{
	CArray x = make( 6, 5, 4, 21 );
	CArray ref;
	fft3( x, ref );
	// Same array as input and output.
	CArray same = x;
	fft3( same, same );
	EXPECT_LT( max_diff( same.data(), ref.data(), x.size() ), 1e-13 );
	// An input indexed from 0 gives an output indexed from 1, same linear order.
	CArray zero;
	DynamicIndexRange r1, r2, r3;
	r1.assign( 0, 5 );
	r2.assign( 0, 4 );
	r3.assign( 0, 3 );
	zero.dimension( r1, r2, r3 );
	ASSERT_EQ( zero.l1(), 0 );
	for ( std::size_t i = 0; i < x.size(); ++i ) zero[ i ] = x[ i ];
	CArray out;
	fft3( zero, out );
	EXPECT_EQ( out.l1(), 1 );
	EXPECT_EQ( out.u1(), 6 );
	EXPECT_EQ( out.u3(), 4 );
	EXPECT_LT( max_diff( out.data(), ref.data(), x.size() ), 1e-13 );
	// An output that already holds N elements keeps its storage.
	CArray held = make( 4, 5, 6, 2 );
	cpx const * storage = held.data();
	ifft3( ref, held );
	EXPECT_EQ( held.data(), storage );
	EXPECT_LT( max_diff( held.data(), x.data(), x.size() ), 1e-14 );
}

TEST_P( Fft3, RealFormsConstantAndImpulse )
{
	int const n1 = 7, n2 = 4, n3 = 9;
	long const N = n1 * n2 * n3;
	RArray c;
	c.dimension( DynamicIndexRange( n1 ), DynamicIndexRange( n2 ), DynamicIndexRange( n3 ) );
	c = 2.5;
	CArray C;
	fft3( c, C );
	EXPECT_NEAR( C( 1, 1, 1 ).real(), 2.5 * N, 1e-11 );
	for ( long i = 1; i < N; ++i ) EXPECT_NEAR( std::abs( C[ i ] ), 0.0, 1e-11 );
	RArray back;
	ifft3( C, back );
	for ( long i = 0; i < N; ++i ) EXPECT_NEAR( back[ i ], 2.5, 1e-14 );

	CArray imp;
	imp.dimension( DynamicIndexRange( n1 ), DynamicIndexRange( n2 ), DynamicIndexRange( n3 ) );
	imp( 1, 1, 1 ) = 1.0;
	CArray I, J;
	fft3( imp, I );
	ifft3( imp, J );
	for ( long i = 0; i < N; ++i ) {
		EXPECT_NEAR( std::abs( I[ i ] - cpx( 1, 0 ) ), 0.0, 1e-14 );
		EXPECT_NEAR( std::abs( J[ i ] - cpx( 1.0 / N, 0 ) ), 0.0, 1e-16 );
	}

	// Real forward equals the complex forward of the same values; the real
	// inverse of a non-Hermitian spectrum is the real part of the complex one.
	RArray r;
	r.dimension( DynamicIndexRange( n1 ), DynamicIndexRange( n2 ), DynamicIndexRange( n3 ) );
	CArray rc = make( n1, n2, n3, 4 );
	for ( long i = 0; i < N; ++i ) {
		r[ i ] = rc[ i ].real();
		rc[ i ] = cpx( rc[ i ].real(), 0.0 );
	}
	CArray R1, R2;
	fft3( r, R1 );
	fft3( rc, R2 );
	EXPECT_LT( max_diff( R1.data(), R2.data(), N ), 1e-14 );
	CArray const spectrum = make( n1, n2, n3, 5 );
	CArray full;
	RArray real;
	ifft3( spectrum, full );
	ifft3( spectrum, real );
	for ( long i = 0; i < N; ++i ) EXPECT_NEAR( real[ i ], full[ i ].real(), 1e-15 );
}

TEST_P( Fft3, ManyDifferentSizesOutliveThePlanCache )
{
	// More lengths than the plan cache keeps; the cache is emptied while a
	// transform still holds plans looked up before.
	for ( int n = 2; n <= 150; ++n ) {
		CArray const x = make( 1, 1, n, n );
		CArray out;
		fft3( x, out );
		std::vector< cpx > const ref = dft_reference::dft( x.data(), n, -1 );
		ASSERT_LT( max_diff( out.data(), ref.data(), n ), 1e-12 * n ) << n;
	}
}

TEST_P( Fft3, EmptyInputGivesEmptyOutput )
{
	CArray empty, out = make( 2, 2, 2, 1 );
	fft3( empty, out );
	EXPECT_EQ( out.size(), 0u );
	RArray rout;
	ifft3( empty, rout );
	EXPECT_EQ( rout.size(), 0u );
}

INSTANTIATE_TEST_SUITE_P( Kernels, Fft3, ::testing::Values( fft_lines::Kernels::best, fft_lines::Kernels::baseline ),
	[]( ::testing::TestParamInfo< fft_lines::Kernels > const & info ) {
		return std::string( info.param == fft_lines::Kernels::best ? "best" : "baseline" );
	} );

} // namespace
