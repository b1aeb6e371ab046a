#include "apps/quilter/StringListHelpers.hh"

#include "utility/string_util.hh"

#include <cstdio>
#include <cstdlib>
#include <iostream>

bool stringCompare( const std::string& a, const std::string& b ) { return a.compare( b ) < 0; }

std::vector< std::string > stringSplit( std::string text, const char* delimiters )
{
	// A re-entrant walk over the caller's copy: no tokenizer state survives
	// the call.
	std::vector< std::string > words;
	std::string const delim = delimiters ? delimiters : "";
	std::size_t pos = text.find_first_not_of( delim );
	while ( pos != std::string::npos ) {
		std::size_t const end = text.find_first_of( delim, pos );
		words.push_back( text.substr( pos, end == std::string::npos ? std::string::npos : end - pos ) );
		if ( end == std::string::npos ) break;
		pos = text.find_first_not_of( delim, end );
	}
	return words;
}

std::vector< double > stringSplit_double( std::string text, const char* delimiters )
{
	std::vector< double > values;
	for ( std::string const& w : stringSplit( std::move( text ), delimiters ) ) {
		values.push_back( std::strtod( w.c_str(), nullptr ) );
	}
	return values;
}

void copy1DStringVec( std::vector< std::string > source, std::vector< std::string >& target )
{
	std::vector< std::string >().swap( target );
	for ( std::string& s : source ) target.push_back( std::move( s ) );
}

void printPaths( const std::vector< std::string >& paths, const std::string& title )
{
	std::cout << title << " contains:" << std::endl;
	for ( std::string const& p : paths ) std::cout << p << std::endl;
	std::cout << "Total: " << paths.size() << " paths." << std::endl << std::endl;
}

void release2DVec( std::vector< std::vector< std::string > >& lists )
{
	for ( auto& inner : lists ) std::vector< std::string >().swap( inner );
	std::vector< std::vector< std::string > >().swap( lists );
}

std::string quotedText( const std::string& text )
{
	std::size_t const kShown = 60;
	std::string q = "'" + utility::escaped_bytes( text.substr( 0, kShown ) ) + "'";
	if ( text.size() > kShown ) q += "...";
	return q;
}
