#include "utility/inline_file_provider.hh"

#include <algorithm>
#include <iostream>
#include <list>
#include <sstream>

namespace utility {

namespace {

// Every in-memory stream ever created: they stay valid for the whole run,
// whatever happens to the entries that named them
std::stringstream *
new_stream( std::string const & contents )
{
	static std::list< std::unique_ptr< std::stringstream > > all_streams;
	all_streams.push_back( std::make_unique< std::stringstream >(
		contents, std::ios_base::in | std::ios_base::out ) );
	return all_streams.back().get();
}

void
announce( char const * what, std::string const & filename, std::string const & standard )
{
	std::cout << what << filename << "' = (" << standard << ")" << std::endl;
}

} // namespace

Inline_File_Provider::Inline_File_Provider() = default;

Inline_File_Provider::~Inline_File_Provider() = default;

std::string
Inline_File_Provider::standardise_filename( std::string const & name )
{
	std::string::size_type const from = ( name.compare( 0, 2, "./" ) == 0 ) ? 2 : 0;
	std::string result;
	result.reserve( name.size() );
	for ( std::string::size_type i = from; i < name.size(); ++i ) {
		char const c = name[ i ];
		if ( ( c == '/' ) && ( ! result.empty() ) && ( result.back() == '/' ) ) continue;
		result += c;
	}
	return result;
}

void
Inline_File_Provider::add_input_file( std::string const & filename, std::string const & contents )
{
	std::string const standard = standardise_filename( filename );
	std::stringstream * const stream = new_stream( contents );
	announce( "Creating inline input file: '", filename, standard );
	input_files_.emplace_back( standard, stream );
}

bool
Inline_File_Provider::get_ostream( std::string const & filename, std::ostream *& the_stream )
{
	std::string const standard = standardise_filename( filename );
	std::stringstream * const stream = new_stream( std::string() );
	announce( "Creating inline output file: '", filename, standard );
	output_files_.emplace_back( standard, stream );
	the_stream = stream;
	return true;
}

bool
Inline_File_Provider::get_sstream( std::string const & filename, std::stringstream *& the_stream )
{
	std::string const standard = standardise_filename( filename );
	std::cout << "Looking for inline file: '" << standard << "'" << std::endl;
	return find_sstream( input_files_, standard, the_stream ) || find_sstream( output_files_, standard, the_stream );
}

bool
Inline_File_Provider::find_sstream( Entries const & list, std::string const & filename, std::stringstream *& the_stream )
{
	for ( Entry const & entry : list ) {
		if ( entry.first == filename ) {
			the_stream = entry.second;
			return true;
		}
	}
	return false;
}

bool
Inline_File_Provider::get_istream( std::string const & filename, std::istream *& the_stream )
{
	std::string const standard = standardise_filename( filename );
	if ( is_black_listed_file( standard ) ) return false;
	if ( standard.empty() || ( standard.back() == '/' ) ) return false; // a directory, not a file

	std::stringstream * found = nullptr;
	if ( get_sstream( standard, found ) ) {
		the_stream = found;
		return true;
	}
	for ( std::shared_ptr< Inline_File_Provider_Hook > const & hook : hooks_ ) {
		std::string text;
		if ( ! hook->request_file( standard, text ) ) continue;
		add_input_file( standard, text );
		if ( get_sstream( standard, found ) ) {
			the_stream = found;
			return true;
		}
	}
	return false;
}

bool
Inline_File_Provider::file_exists( std::string const & filename )
{
	std::istream * scratch = nullptr;
	return get_istream( filename, scratch );
}

void
Inline_File_Provider::add_black_listed_file( std::string const & filename )
{
	black_list_.push_back( filename );
}

bool
Inline_File_Provider::is_black_listed_file( std::string const & filename ) const
{
	return std::find( black_list_.begin(), black_list_.end(), filename ) != black_list_.end();
}

void
Inline_File_Provider::remove_input_file( std::string const & filename )
{
	input_files_.erase( std::remove_if( input_files_.begin(), input_files_.end(),
		[&filename]( Entry const & entry ) { return entry.first == filename; } ), input_files_.end() );
}

void
Inline_File_Provider::clear_input_files()
{
	input_files_.clear();
}

void
Inline_File_Provider::add_file_provider_hook( std::shared_ptr< Inline_File_Provider_Hook > hook )
{
	hooks_.push_back( std::move( hook ) );
}

} // utility
