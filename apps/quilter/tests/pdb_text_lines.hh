// Crafted PDB text for the chain-file tests: atom lines with chosen fields,
// and whole files written and read back line by line.
#ifndef QUILT_QUILTER_TESTS_PDB_TEXT_LINES_HH
#define QUILT_QUILTER_TESTS_PDB_TEXT_LINES_HH

#include <cstdio>
#include <fstream>
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

} // namespace quilter_test

#endif
