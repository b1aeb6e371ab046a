// Crafted PDB text for the chain-file tests: atom lines with chosen fields,
// and whole files written and read back line by line.
#ifndef QUILT_QUILTER_TESTS_PDB_TEXT_LINES_HH
#define QUILT_QUILTER_TESTS_PDB_TEXT_LINES_HH

#include <cmath>
#include <cstdio>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace quilter_test {

// "ATOM" line with the given atom name (4 columns), residue name, chain key
// (two characters at indices 20-21) and residue number.
inline std::string atom( int serial, std::string name, std::string res, std::string key, int resno, double x = 1.0 )
{
	char buf[ 128 ];
	std::snprintf( buf, sizeof buf, "ATOM  %5d %-4s %3s%2s%4d    %8.3f%8.3f%8.3f  1.00  0.00           C",
		serial, name.c_str(), res.c_str(), key.c_str(), resno, x, 2.0, 3.0 );
	return buf;
}

inline void write_lines( const std::string& path, const std::vector< std::string >& lines )
{
	std::ofstream out( path );
	for ( auto const& l : lines ) out << l << "\n";
}

inline std::vector< std::string > read_lines( const std::string& path )
{
	std::ifstream in( path );
	std::vector< std::string > lines;
	std::string l;
	while ( std::getline( in, l ) ) lines.push_back( l );
	return lines;
}

// Coordinate k (0: x, 1: y, 2: z) of an atom line.
inline double pdb_coord( const std::string& l, int k ) { return std::stod( l.substr( 30 + 8 * k, 8 ) ); }

// The atom lines turned by a random rotation about their centroid and
// shifted 10-25 A (a chain moved away as an assembly input comes).
inline std::vector< std::string > randomly_moved( const std::vector< std::string >& lines, std::mt19937& rng )
{
	std::normal_distribution< double > g;
	double q[ 4 ], n = 0;
	for ( double& v : q ) {
		v = g( rng );
		n += v * v;
	}
	for ( double& v : q ) v /= std::sqrt( n );
	double const a = q[ 0 ], b = q[ 1 ], c = q[ 2 ], d = q[ 3 ];
	double const R[ 3 ][ 3 ] = { { a * a + b * b - c * c - d * d, 2 * ( b * c - a * d ), 2 * ( b * d + a * c ) },
		{ 2 * ( b * c + a * d ), a * a - b * b + c * c - d * d, 2 * ( c * d - a * b ) },
		{ 2 * ( b * d - a * c ), 2 * ( c * d + a * b ), a * a - b * b - c * c + d * d } };
	double t[ 3 ], tn = 0;
	for ( double& v : t ) {
		v = g( rng );
		tn += v * v;
	}
	double const len = std::uniform_real_distribution< double >( 10, 25 )( rng ) / std::sqrt( tn );
	double cen[ 3 ] = { 0, 0, 0 };
	for ( auto const& l : lines )
		for ( int k = 0; k < 3; ++k ) cen[ k ] += pdb_coord( l, k ) / lines.size();
	std::vector< std::string > out;
	for ( auto const& l : lines ) {
		double p[ 3 ], r[ 3 ];
		for ( int k = 0; k < 3; ++k ) p[ k ] = pdb_coord( l, k ) - cen[ k ];
		for ( int i = 0; i < 3; ++i ) r[ i ] = cen[ i ] + t[ i ] * len + R[ i ][ 0 ] * p[ 0 ] + R[ i ][ 1 ] * p[ 1 ] + R[ i ][ 2 ] * p[ 2 ];
		char buf[ 32 ];
		std::snprintf( buf, sizeof buf, "%8.3f%8.3f%8.3f", r[ 0 ], r[ 1 ], r[ 2 ] );
		out.push_back( l.substr( 0, 30 ) + buf + l.substr( 54 ) );
	}
	return out;
}

} // namespace quilter_test

#endif
