// Similar-chain marks by TM-score on deposited chains: a homodimer made of
// two copies of one chain (one moved) is marked, unrelated chains are not.
#include "apps/quilter/SimilarChains.hh"
#include "testsupport/test_data.hh"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <vector>

namespace {

// Copy of the "ATOM" lines of src moved by a rotation about z and a shift.
void write_moved( const std::string& src, const std::string& dst, double angle, double shift )
{
	std::ifstream in( src );
	std::ofstream out( dst );
	std::string l;
	double const c = std::cos( angle ), s = std::sin( angle );
	while ( std::getline( in, l ) ) {
		if ( l.rfind( "ATOM", 0 ) != 0 || l.size() < 54 ) continue;
		double const x = std::stod( l.substr( 30, 8 ) ), y = std::stod( l.substr( 38, 8 ) ),
		             z = std::stod( l.substr( 46, 8 ) );
		char buf[ 32 ];
		std::snprintf( buf, sizeof buf, "%8.3f%8.3f%8.3f", c * x - s * y + shift, s * x + c * y, z - shift );
		out << l.substr( 0, 30 ) << buf << l.substr( 54 ) << "\n";
	}
}

} // namespace

TEST( RealdataSimilarChains, HomodimerCopiesAreMarkedUnrelatedChainsAreNot )
{
	QUILT_REQUIRE_SHARED_DATA();
	quilt_test::ScratchDir dir;
	std::string const ake = quilt_test::shared_file( "single/1akeA.pdb" );
	write_moved( ake, dir.file( "copy.pdb" ), 1.3, 40.0 );
	std::vector< std::string > const paths = { quilt_test::shared_file( "single/1ggg.pdb" ), ake,
		quilt_test::shared_file( "complexes/1z5s/1z5s_B.pdb" ), dir.file( "copy.pdb" ) };
	std::vector< int > counts;
	int* marks = CheckSimilarChain( paths, counts );
	EXPECT_EQ( marks[ 0 ], 0 );
	EXPECT_EQ( marks[ 1 ], 1 );
	EXPECT_EQ( marks[ 2 ], 0 );
	EXPECT_EQ( marks[ 3 ], 1 );
	delete[] marks;
	ASSERT_EQ( counts.size(), 4u );
	EXPECT_EQ( counts[ 1 ], 213 );
	EXPECT_EQ( counts[ 1 ], counts[ 3 ] );
	EXPECT_EQ( counts[ 2 ], 78 );

	// The TM-score of the two copies is 1 whichever is aligned onto which.
	CATrace const a( ake ), b( dir.file( "copy.pdb" ) );
	EXPECT_NEAR( traceTMscore( a, b, false ), 1.0, 1e-6 );
	EXPECT_NEAR( traceTMscore( b, a, true ), 1.0, 1e-6 );

	// Empty lists and single chains.
	std::vector< int > none;
	int* m0 = CheckSimilarChain( {}, none );
	EXPECT_TRUE( none.empty() );
	delete[] m0;
	int* m1 = CheckSimilarChain( { ake }, none );
	EXPECT_EQ( m1[ 0 ], 0 );
	EXPECT_EQ( none, std::vector< int >{ 213 } );
	delete[] m1;
}
