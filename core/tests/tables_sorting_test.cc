// Residue tables, atom selection, secondary-structure counts, PDB
// normalisation, sorting and extrema.
#include "core/basic_fun_Quilt.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>

TEST( ResidueTables, NamesCodesAndIndices )
{
	EXPECT_EQ( restypeind_rama( "ALA" ), 0 );
	EXPECT_EQ( restypeind_rama( "ala" ), 0 );
	EXPECT_EQ( restypeind_rama( "TYR" ), 19 );
	EXPECT_EQ( restypeind_sgcom( "GLY" ), 0 );
	EXPECT_EQ( restypeind_sgcom( "TRP" ), 19 );
	EXPECT_EQ( restypeind_sgcom( "SER" ), 2 );
	EXPECT_EQ( threeWordToOne( "MSE" ), 'X' );
	EXPECT_EQ( ResThree2One( "LYS" ), 'K' );
	EXPECT_EQ( oneWordToThree( 'X' ), "ALA" );
	EXPECT_EQ( oneWordToThree( 'W' ), "TRP" );
	// Every standard name survives the round trip.
	for ( const char* n : { "ALA", "CYS", "ASP", "GLU", "PHE", "GLY", "HIS", "ILE", "LYS", "LEU", "MET",
			  "ASN", "PRO", "GLN", "ARG", "SER", "THR", "VAL", "TRP", "TYR" } ) {
		EXPECT_EQ( oneWordToThree( threeWordToOne( n ) ), n );
	}
}

TEST( ResidueTables, AtomSelection )
{
	EXPECT_FALSE( get_mode( "SG", "centroid" ) );
	EXPECT_TRUE( get_mode( "CB", "centroid" ) );
	EXPECT_FALSE( get_mode( "CB", "CA" ) );
	EXPECT_TRUE( get_mode( "CA", "anything" ) );
	EXPECT_TRUE( get_mode( "C", "backbone" ) );
	EXPECT_FALSE( get_mode( "O", "backbone" ) );
	EXPECT_EQ( getCenAtomMode( 0 ), "N" );
	EXPECT_EQ( getCenAtomMode( 4 ), "CB" );
	EXPECT_EQ( getCenAtomMode( 6 ), "SG" );
	EXPECT_EQ( getCenAtomMode( 7 ), "XX" );
	EXPECT_EQ( getCenAtomMode( -1 ), "XX" );
	EXPECT_TRUE( backBoneAtom( "O" ) );
	EXPECT_FALSE( backBoneAtom( "CB" ) );
}

TEST( ResidueTables, SecondaryStructureRuns )
{
	EXPECT_EQ( getNmaxHelix( { "H", "H", "C", "H", "H", "H" } ), 3 );
	EXPECT_EQ( getNmaxHelix( {} ), 0 );
	EXPECT_EQ( getprotype( { "E", "E", "C", "E" } ), 2 );
	EXPECT_EQ( getprotype( { "E", "E", "E" } ), 1 );
	EXPECT_EQ( getprotype( {} ), 1 );
}

TEST( ResidueTables, PDBstandard )
{
	quilt_test::ScratchDir dir( "core_tables" );
	{
		std::ofstream out( dir.file( "in.pdb" ) );
		out << "REMARK x\n"
			   "ATOM      1  N   HSD A   1      11.104   6.134  -6.504  0.50 12.00      A    N\n"
			   "ATOM      2 1HB  ALA A   2      11.639   6.071  -5.147  1.00  0.00\n"
			   "TER\n"  // shorter than 4 characters: dropped
			   "TER       2      ALA A   2\n"
			   "ATOM      3  CA  ALA A   2       1.000   2.000   3.000\n";
	}
	PDBstandard( dir.file( "in.pdb" ), dir.file( "out.pdb" ) );
	std::ifstream in( dir.file( "out.pdb" ) );
	std::string text( ( std::istreambuf_iterator< char >( in ) ), {} );
	EXPECT_EQ( text,
		"ATOM      1  N   HIS A   1      11.104   6.134  -6.504  1.00  0.00           N\n"
		"ATOM      2 1HB  ALA A   2      11.639   6.071  -5.147  1.00  0.00           H\n"
		"TER\n"
		"ATOM      3  CA  ALA A   2       1.000   2.000   3.000  1.00  0.00           C\n" );
}

TEST( Sorting, StableAscendingIndexSorts )
{
	int* a = quickSortAscendingInd( std::vector< int >{ 3, 1, 3, 2 } );
	EXPECT_EQ( std::vector< int >( a, a + 4 ), ( std::vector< int >{ 1, 3, 0, 2 } ) );
	delete[] a;
	std::vector< double > dv{ 0.5, -1.0, 0.5, 0.25 };
	int* b = quickSortAscendingInd( dv );
	EXPECT_EQ( std::vector< int >( b, b + 4 ), ( std::vector< int >{ 1, 3, 0, 2 } ) );
	EXPECT_EQ( dv[ 0 ], 0.5 );  // caller's vector unchanged
	delete[] b;
	double arr[ 4 ] = { 0.5, -1.0, 0.5, 0.25 };
	int* c = quickSortAscendingInd( arr, 4 );
	EXPECT_EQ( std::vector< int >( c, c + 4 ), ( std::vector< int >{ 1, 3, 0, 2 } ) );
	EXPECT_EQ( std::vector< double >( arr, arr + 4 ), ( std::vector< double >{ -1.0, 0.25, 0.5, 0.5 } ) );
	delete[] c;
	int iarr[ 3 ] = { 2, 2, 1 };
	int* d = quickSortAscendingInd( iarr, 3 );
	EXPECT_EQ( std::vector< int >( d, d + 3 ), ( std::vector< int >{ 2, 0, 1 } ) );
	delete[] d;
	int* e = quickSortAscendingInd( std::vector< double >{} );
	delete[] e;
	// A NaN moves to the front in the vector form.
	int* f = quickSortAscendingInd( std::vector< double >{ 1.0, std::nan( "" ) } );
	EXPECT_EQ( f[ 0 ], 1 );
	delete[] f;
}

TEST( Sorting, DescendingQuickSortAndAscendingHelpers )
{
	double a[ 3 ] = { 1, 5, 3 };
	int idx[ 3 ] = { 0, 1, 2 };
	QuickSort( a, idx, 3 );
	EXPECT_EQ( std::vector< double >( a, a + 3 ), ( std::vector< double >{ 5, 3, 1 } ) );
	EXPECT_EQ( std::vector< int >( idx, idx + 3 ), ( std::vector< int >{ 1, 2, 0 } ) );
	// Many values with repeats: descending and idx follows its value.
	int vals[ 50 ], ids[ 50 ], orig[ 50 ];
	for ( int i = 0; i < 50; ++i ) {
		vals[ i ] = orig[ i ] = ( i * 37 ) % 11;
		ids[ i ] = i;
	}
	QuickSort( vals, ids, 50 );
	for ( int i = 0; i < 50; ++i ) {
		if ( i ) {
			EXPECT_GE( vals[ i - 1 ], vals[ i ] );
		}
		EXPECT_EQ( orig[ ids[ i ] ], vals[ i ] );
	}
	std::vector< int > v{ 4, 2, 9 };
	QuickSortAscend( v, 2 );
	EXPECT_EQ( v, ( std::vector< int >{ 2, 4, 9 } ) );
	std::vector< int > w{ 5, -1, 3, 3, 0, 8, 2 };
	quicksortAscending( w, 0, 6 );
	EXPECT_EQ( w, ( std::vector< int >{ -1, 0, 2, 3, 3, 5, 8 } ) );
	std::vector< int > x{ 3, 1, 2 };
	EXPECT_EQ( partition( x, 0, 2 ), 1 );
	EXPECT_EQ( x, ( std::vector< int >{ 1, 2, 3 } ) );
}

TEST( Sorting, AveragesAndExtrema )
{
	double a[ 3 ] = { 2, 1, 1 };
	EXPECT_DOUBLE_EQ( get_average( a, 3 ), 4.0 / 3 );
	EXPECT_EQ( get_average( std::vector< double >{ 1, 2 } ), 1.5 );
	EXPECT_EQ( get_square_average( { 3, 4 } ), 12.5 );
	EXPECT_TRUE( std::isnan( get_average( std::vector< double >{} ) ) );
	EXPECT_EQ( minind( a, 3 ), 1 );
	double b[ 3 ] = { 5, 7, 7 };
	EXPECT_EQ( maxind( b, 3 ), 1 );
	EXPECT_EQ( maxind( std::vector< int >{ 5, 7, 7 }, 3 ), 1 );
	EXPECT_EQ( maxind( b, 1 ), 0 );
	EXPECT_EQ( minimum( a, 3 ), 1.0 );
	EXPECT_EQ( maximum( b, 3 ), 7.0 );
	EXPECT_EQ( minimum( b, 1 ), 5.0 );
	EXPECT_EQ( get_max( { -1, -3 } ), -1.0 );
	EXPECT_EQ( get_min( { -1, -3 } ), -3.0 );
	EXPECT_EQ( min( 3, -2 ), -2 );
	EXPECT_EQ( min2num( 3, 3 ), 3 );
	EXPECT_EQ( max2num( -1, 4 ), 4 );
	EXPECT_EQ( min2num( 2.5, 3.7 ), 2.0 );
	EXPECT_EQ( max2num( 2.5, 3.7 ), 3.0 );
	EXPECT_EQ( min2num( -2.5, 1.0 ), -2.0 );
	EXPECT_EQ( max2num( 1e12, 0.0 ), 2147483647.0 );
}
