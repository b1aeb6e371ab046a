// Small string, environment and text-file utilities.
#include "core/basic_fun_Quilt.hh"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sstream>

std::string trim( const std::string& s )
{
	std::size_t b = s.find_first_not_of( ' ' );
	if ( b == std::string::npos ) return "";
	std::size_t e = s.find_last_not_of( ' ' );
	return s.substr( b, e - b + 1 );
}

std::string get_name_from_path( std::string path )
{
	std::size_t slash = path.rfind( '/' );
	if ( slash == std::string::npos ) return path;
	return path.substr( slash + 1 );
}

std::string doubleToString( double d )
{
	std::ostringstream out;
	out << d;
	std::istringstream in( out.str() );
	std::string word;
	in >> word;
	return word;
}

std::string intToString( int i )
{
	std::ostringstream out;
	out << i;
	std::istringstream in( out.str() );
	std::string word;
	in >> word;
	return word;
}

void Set_Env( const char* name, const char* value )
{
	if ( ::setenv( name, value, 1 ) != 0 ) std::cerr << "failed" << std::endl;
}

void get_seq_dat( std::string dir, std::vector< std::string > seq, int n )
{
	std::FILE* f = std::fopen( ( dir + "/seq.dat" ).c_str(), "w" );
	if ( !f ) return;
	for ( int i = 1; i <= n && i <= static_cast< int >( seq.size() ); ++i ) {
		std::fprintf( f, "%5d%6s\n", i, seq[ i - 1 ].c_str() );
	}
	std::fclose( f );
}
