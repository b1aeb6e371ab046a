#include "transforms/ResidueRows.hh"

#include "core/basic_fun_Quilt.hh"

#include <iostream>

std::vector< int > residue_atom_offsets( std::vector< Residue > const& residues )
{
	std::vector< int > off( 1, 0 );
	off.reserve( residues.size() + 1 );
	for ( Residue const& r : residues ) off.push_back( off.back() + static_cast< int >( r.xyz.size() ) );
	return off;
}

std::vector< std::pair< int, int > > merged_order( std::vector< std::vector< int > > const& lists )
{
	std::vector< int > all;
	for ( auto const& l : lists ) all.insert( all.end(), l.begin(), l.end() );
	int const n = static_cast< int >( all.size() );
	int* order = quickSortAscendingInd( all );
	std::vector< std::pair< int, int > > picks;
	picks.reserve( n );
	for ( int k = 0; k < n; ++k ) {
		int const v = all[ order[ k ] ];
		bool found = false;
		for ( int d = 0; d < static_cast< int >( lists.size() ) && !found; ++d ) {
			for ( int p = 0; p < static_cast< int >( lists[ d ].size() ); ++p ) {
				if ( lists[ d ][ p ] == v ) {
					picks.emplace_back( d, p );
					found = true;
					break;
				}
			}
		}
	}
	delete[] order;
	return picks;
}

Residue moved_residue( Residue const& src, double** xyz, int first )
{
	Residue r( src );
	for ( std::size_t k = 0; k < r.xyz.size(); ++k )
		for ( int c = 0; c < 3; ++c ) r.xyz[ k ][ c ] = xyz[ first + k ][ c ];
	return r;
}

bool residue_numbers_within( int n, std::vector< std::vector< int > > const& lists, char const* who )
{
	for ( std::size_t d = 0; d < lists.size(); ++d ) {
		for ( int r : lists[ d ] ) {
			if ( r < 1 || r > n ) {
				std::cout << "Error! " << who << ": residue " << r << " of domain " << d + 1 << " lies outside 1.." << n
				          << "; nothing is done." << std::endl;
				return false;
			}
		}
	}
	return true;
}
