// Index layouts, Wigner-d functions and Wigner syntheses.
#include "sht/SO3coeffs.hh"
#include "sht/SHT.hh"
#include "sht/tests/sht_reference.hh"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <set>
#include <vector>

namespace {

using namespace sht_reference;

std::vector< int > orders_in_layout_order( int B )
{
	std::vector< int > o;
	for ( int m = 0; m < B; ++m ) o.push_back( m );
	for ( int m = -( B - 1 ); m < 0; ++m ) o.push_back( m );
	return o;
}

// Catches overlapping or skipped coefficient positions and a wrong order of
// the negative orders.
TEST( SO3Layout, LmIndexIsTheDocumentedBijection )
{
	SO3coeffs w4( 4 );
	EXPECT_EQ( w4.lm_index( 0, 0 ), 0 );
	EXPECT_EQ( w4.lm_index( 1, 1 ), 4 );
	EXPECT_EQ( w4.lm_index( 3, 3 ), 9 );
	EXPECT_EQ( w4.lm_index( -3, 3 ), 10 );
	EXPECT_EQ( w4.lm_index( -1, 3 ), 15 );
	for ( int B : { 1, 2, 3, 4, 8, 16, 17 } ) {
		SO3coeffs w( B );
		int next = 0;
		for ( int m : orders_in_layout_order( B ) ) {
			for ( int l = std::abs( m ); l < B; ++l ) ASSERT_EQ( w.lm_index( m, l ), next++ ) << "B " << B << " m " << m << " l " << l;
		}
		EXPECT_EQ( next, B * B );
	}
}

// Every (l, m1, m2) gets its own position, in the documented order, and the
// positions fill 0 .. B(4B^2-1)/3 - 1 exactly.
TEST( SO3Layout, CoefLocIsTheDocumentedBijection )
{
	SO3coeffs w2( 2 );
	EXPECT_EQ( w2.coefLoc( 0, 0 ), 0 );
	EXPECT_EQ( w2.coefLoc( 0, 1 ), 2 );
	EXPECT_EQ( w2.coefLoc( 0, -1 ), 3 );
	EXPECT_EQ( w2.coefLoc( 1, 0 ), 4 );
	EXPECT_EQ( w2.coefLoc( -1, -1 ), 9 );
	EXPECT_EQ( w2.so3CoefCount(), 10 );
	for ( int B : { 1, 2, 3, 4, 7, 8, 16 } ) {
		SO3coeffs w( B );
		int next = 0;
		for ( int m1 : orders_in_layout_order( B ) ) {
			for ( int m2 : orders_in_layout_order( B ) ) {
				int const L = std::max( std::abs( m1 ), std::abs( m2 ) );
				for ( int l = L; l < B; ++l ) ASSERT_EQ( w.coefLoc( m1, m2 ) + l - L, next++ ) << "B " << B << " (" << m1 << "," << m2 << ")";
			}
		}
		EXPECT_EQ( next, B * ( 4 * B * B - 1 ) / 3 );
		EXPECT_EQ( w.so3CoefCount(), next );
	}
}

// The beta-runs of all order pairs tile the 8B^3 grid without overlap.
TEST( SO3Layout, SampLocTilesTheRotationGrid )
{
	for ( int B : { 1, 2, 4, 8 } ) {
		SO3coeffs w( B );
		int const n = 2 * B;
		EXPECT_EQ( w.sampLoc( 0, 0 ), 0 );
		EXPECT_EQ( w.sampLoc( 0, -1 ), ( n - 1 ) * n );
		EXPECT_EQ( w.sampLoc( -1, 0 ), ( n - 1 ) * n * n );
		std::set< int > starts;
		for ( int m1 = -( B - 1 ); m1 < B; ++m1 ) {
			for ( int m2 = -( B - 1 ); m2 < B; ++m2 ) {
				int const s = w.sampLoc( m1, m2 );
				ASSERT_EQ( s % n, 0 );
				ASSERT_TRUE( s >= 0 && s + n <= n * n * n );
				ASSERT_TRUE( starts.insert( s ).second ) << "(" << m1 << "," << m2 << ")";
			}
		}
		// The pairs with an order index B are the only runs left over.
		EXPECT_EQ( static_cast< int >( starts.size() ), ( n - 1 ) * ( n - 1 ) );
	}
}

// The closed-form row lengths of the transposed cosine tables against a
// count of the degrees whose cosine series has a term of that index.
TEST( SO3Layout, TransposeRowSizeCountsTheDegreesWithThatCosineTerm )
{
	for ( int B = 2; B <= 16; B += 2 ) {
		SO3coeffs w( B );
		for ( int m = 0; m < B; ++m ) {
			for ( int r = 0; r < B; ++r ) {
				int count = 0;
				for ( int l = m; l < B; ++l ) {
					int const d = ( m % 2 == 0 ) ? l : l - 1;
					if ( r <= d && ( d - r ) % 2 == 0 ) ++count;
				}
				ASSERT_EQ( w.transposeRowSize( r, m ), count ) << "B " << B << " m " << m << " r " << r;
			}
		}
	}
}

SHT::Table block_of( SO3coeffs const & w, int m1, int m2 )
{
	int const B = w.bandwidth();
	int const n = 2 * B;
	SHT::Table cosB( n ), sinH( n ), cosH( n ), w1, w2;
	for ( int j = 0; j < n; ++j ) {
		double const b = colatitude( B, j );
		cosB[ j ] = std::cos( b );
		sinH[ j ] = std::sin( b / 2 );
		cosH[ j ] = std::cos( b / 2 );
	}
	int const L = std::max( std::abs( m1 ), std::abs( m2 ) );
	SHT::Table t( n * ( B - L ), 0.0 );
	w.genWigner_ds( m1, m2, cosB, sinH, cosH, t, 0, w1, w2 );
	return t;
}

// The recurrence against the closed factorial sum, for every order pair of
// both signs: catches a wrong start power, sign or normalisation.
TEST( WignerD, RecurrenceMatchesTheClosedSum )
{
	int const B = 7;
	SO3coeffs w( B );
	for ( int m1 = -( B - 1 ); m1 < B; ++m1 ) {
		for ( int m2 = -( B - 1 ); m2 < B; ++m2 ) {
			int const L = std::max( std::abs( m1 ), std::abs( m2 ) );
			SHT::Table const t = block_of( w, m1, m2 );
			for ( int j = 0; j < 2 * B; ++j ) {
				for ( int l = L; l < B; ++l ) {
					ASSERT_NEAR( t[ j * ( B - L ) + l - L ], wigner_d( l, m1, m2, colatitude( B, j ) ), 1e-12 )
						<< "l " << l << " (" << m1 << "," << m2 << ") j " << j;
				}
			}
		}
	}
}

TEST( WignerD, LowestDegreesInTheL2Normalisation )
{
	int const B = 8;
	SO3coeffs w( B );
	SHT::Table const t = block_of( w, 0, 0 );
	for ( int j = 0; j < 2 * B; ++j ) {
		double const beta = colatitude( B, j );
		EXPECT_NEAR( t[ j * B + 0 ], 1.0 / std::sqrt( 2.0 ), 1e-15 );
		EXPECT_NEAR( t[ j * B + 1 ], std::sqrt( 1.5 ) * std::cos( beta ), 1e-14 );
	}
}

// The table of the transform: every block where the layout puts it, each
// block's functions orthonormal under the equiangular quadrature.
TEST( WignerD, TableBlocksAreOrthonormalUnderTheQuadrature )
{
	for ( int B : { 2, 8, 16 } ) {
		SHT sht( B, 1 );
		int const n = 2 * B;
		SHT::Table const & tab = sht.wignerTable();
		SHT::Table const & wt = sht.weights();
		ASSERT_EQ( static_cast< int >( tab.size() ), B * B * ( B + 1 ) * ( B + 2 ) / 3 );
		std::vector< std::pair< int, int > > pairs{ { 0, 0 } };
		for ( int m = 1; m < B; ++m ) pairs.emplace_back( m, m );
		for ( int m = 1; m < B; ++m ) pairs.emplace_back( m, 0 );
		for ( int a = 1; a < B - 1; ++a )
			for ( int b = a + 1; b < B; ++b ) pairs.emplace_back( a, b );
		int expectStart = 0;
		for ( auto const & p : pairs ) {
			int const L = std::max( p.first, p.second );
			int const width = B - L;
			int const start = sht.wigBlockStart( p.first, p.second );
			ASSERT_EQ( start, expectStart ) << "(" << p.first << "," << p.second << ")";
			expectStart += n * width;
			for ( int l1 = 0; l1 < width; ++l1 ) {
				for ( int l2 = 0; l2 < width; ++l2 ) {
					double s = 0.0;
					for ( int j = 0; j < n; ++j ) s += wt[ j ] * tab[ start + j * width + l1 ] * tab[ start + j * width + l2 ];
					ASSERT_NEAR( s, l1 == l2 ? 1.0 : 0.0, 1e-12 ) << "B " << B << " (" << p.first << "," << p.second << ") l " << L + l1 << "," << L + l2;
				}
			}
		}
		EXPECT_EQ( expectStart, static_cast< int >( tab.size() ) );
	}
}

// Samples of one pair from a block of another pair, by the symmetries the
// inverse SO(3) transform relies on, against a block made for the pair itself.
TEST( WignerSynthesis, SymmetricFormsMatchTheDirectBlocks )
{
	int const B = 6;
	int const n = 2 * B;
	SO3coeffs w( B );
	std::mt19937 rng( 3 );
	std::uniform_real_distribution< double > u( -1.0, 1.0 );
	farray::DynamicIndexRange const IN( n );
	SHT::ComplexGrid coefs( IN, IN, IN ), got( IN, IN, IN ), want( IN, IN, IN );
	for ( std::size_t i = 0; i < coefs.size(); ++i ) coefs[ i ] = cpx( u( rng ), u( rng ) );
	utility::vector0< cpx > work;

	auto compare = [&]( int m1, int m2, char const * what ) {
		for ( int j = 0; j < n; ++j ) {
			ASSERT_NEAR( std::abs( got[ j ] - want[ j ] ), 0.0, 1e-12 ) << what << " (" << m1 << "," << m2 << ") j " << j;
		}
	};
	auto direct = [&]( int m1, int m2, int coefStart ) {
		SHT::Table const t = block_of( w, m1, m2 );
		w.wignerSynthesis( m1, m2, coefs, coefStart, t, 0, want, 0 );
	};

	for ( int m = 1; m < B; ++m ) {
		SHT::Table const mm = block_of( w, m, m ), m0 = block_of( w, m, 0 );
		int const c = 5 * m;
		w.wignerSynthesisDiffSign( -m, m, coefs, c, mm, 0, got, 0, work );
		direct( -m, m, c );
		compare( -m, m, "diff sign" );
		w.wignerSynthesisSameSign( 0, m, coefs, c, m0, 0, got, 0 );
		direct( 0, m, c );
		compare( 0, m, "same sign" );
	}
	for ( int m1 = 1; m1 < B - 1; ++m1 ) {
		for ( int m2 = m1 + 1; m2 < B; ++m2 ) {
			SHT::Table const t = block_of( w, m1, m2 );
			int const c = 3 * m1 + 7 * m2;
			w.wignerSynthesisDiffSign( m1, -m2, coefs, c, t, 0, got, 0, work );
			direct( m1, -m2, c );
			compare( m1, -m2, "diff sign" );
			w.wignerSynthesisSameSign( m2, m1, coefs, c, t, 0, got, 0 );
			direct( m2, m1, c );
			compare( m2, m1, "same sign" );
			// (m2, -m1) from the orders (m1, -m2): the same functions.
			w.wignerSynthesisDiffSign( m1, -m2, coefs, c, t, 0, got, 0, work );
			direct( m2, -m1, c );
			compare( m2, -m1, "swapped diff sign" );
		}
	}
}

} // namespace
