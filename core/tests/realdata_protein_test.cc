// Reading real models: counts checked against a plain line count, and a
// save/read round trip that keeps every coordinate.
#include "core/Protein.hh"
#include "core/basic_fun_Quilt.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

namespace {

// "ATOM" records and residue-number changes, up to the first "TER" unless
// all chains are wanted.
void count_records( const std::string& path, bool all, int& atoms, int& residues )
{
	std::ifstream in( path );
	atoms = residues = 0;
	std::string prev = "";
	for ( std::string line; std::getline( in, line ); ) {
		if ( line.rfind( "TER", 0 ) == 0 && !all ) break;
		if ( line.rfind( "ATOM", 0 ) != 0 ) continue;
		++atoms;
		std::string const num = line.substr( 22, 4 );
		if ( num != prev ) ++residues;
		prev = num;
	}
}

} // namespace

TEST( RealDataProtein, ActinChainReadThroughItsChainBreaksAndWholeFile )
{
	QUILT_REQUIRE_SHARED_DATA();
	std::string const path = quilt_test::shared_file( "single/3MFP.pdb" );
	int atoms = 0, residues = 0;
	// 3MFP is one chain (A) with "TER" records at its three chain breaks,
	// each followed by more of chain A: the one-chain read goes through them
	// (stopping at the first one would keep 129 of the 369 residues).
	count_records( path, false, atoms, residues );
	int const firstSegment = atoms;
	count_records( path, true, atoms, residues );
	Protein first( path, false );
	EXPECT_LT( firstSegment, atoms );
	EXPECT_EQ( first.atomCount, atoms );
	EXPECT_EQ( static_cast< int >( first.residues.size() ), 369 );
	EXPECT_EQ( first.residues.back().resNum, 375 );

	Protein all( path, true );
	EXPECT_EQ( all.atomCount, atoms );
	EXPECT_GE( static_cast< int >( all.residues.size() ), residues - 3 );  // gaps may join equal numbers

	// Every residue of a complete model has a CA; the reduced model has the
	// CA second.
	for ( int i = 0; i < static_cast< int >( all.residues.size() ); ++i ) {
		std::vector< double* > xyz;
		std::vector< std::string > names;
		all.getIthResidueHeavyAtomXYZ( i, xyz, names );
		ASSERT_GE( names.size(), 3u );
		EXPECT_EQ( names[ 1 ], "CA" );
		releaseVecT1D< double >( xyz );
	}

	// Round trip through the writer.
	quilt_test::ScratchDir dir( "core_real" );
	Protein::save( all.residues, dir.file( "out.pdb" ), "A" );
	Protein back( dir.file( "out.pdb" ), false );
	ASSERT_EQ( back.atomCount, all.atomCount );
	ASSERT_EQ( back.residues.size(), all.residues.size() );
	double** a = all.getAllAtomXYZs();
	double** b = back.getAllAtomXYZs();
	for ( int k = 0; k < all.atomCount; ++k )
		for ( int d = 0; d < 3; ++d ) ASSERT_NEAR( a[ k ][ d ], b[ k ][ d ], 5e-4 );
	release2DArr( all.atomCount, a );
	release2DArr( back.atomCount, b );

	double* c = getCenterPoint( std::vector< std::vector< double* > >{ all.residues[ 0 ].xyz } );
	EXPECT_TRUE( std::isfinite( c[ 0 ] ) );
	delete[] c;
}

TEST( RealDataProtein, ComplexChainsAreReadAsOneModel )
{
	QUILT_REQUIRE_SHARED_DATA();
	std::string const path = quilt_test::shared_file( "complexes/2dqj/2DQJ.pdb" );
	int atoms = 0, residues = 0;
	count_records( path, true, atoms, residues );
	Protein all( path, true );
	EXPECT_EQ( all.atomCount, atoms );
	Protein first( path, false );
	EXPECT_LT( first.atomCount, all.atomCount );
	EXPECT_EQ( first.residues.front().chainId, all.residues.front().chainId );
	EXPECT_NE( all.residues.back().chainId, all.residues.front().chainId );
	// The one-chain read keeps to one chain.
	for ( Residue const& r : first.residues ) EXPECT_EQ( r.chainId, first.residues.front().chainId );
}
