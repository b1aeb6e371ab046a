#include "utility/FileContentsMap.hh"
#include "utility/Exceptions.hh"
#include "utility/string_util.hh"

namespace utility {
namespace io {

namespace {

// Source named in the map's rejections, and the line of each
char const * const source_file = "./utility/FileContentsMap.cc";
int const line_unexpected = 139;
int const line_no_count = 142;
int const line_not_cached = 169;

}

FileContentsMap::FileContentsMap() :
	delete_contents_at_nread_limit_( false ),
	refuse_unexpected_files_( false )
{}

FileContentsMap::FileContentsMap( std::map< std::string, std::string > const & contents ) :
	delete_contents_at_nread_limit_( false ),
	refuse_unexpected_files_( false ),
	file_contents_( contents )
{}

FileContentsMap::~FileContentsMap() = default;

void
FileContentsMap::delete_contents_at_nread_limit( bool const setting )
{
	delete_contents_at_nread_limit_ = setting;
}

bool
FileContentsMap::delete_contents_at_nread_limit() const
{
	return delete_contents_at_nread_limit_;
}

void
FileContentsMap::refuse_unexpected_files( bool const setting )
{
	refuse_unexpected_files_ = setting;
}

bool
FileContentsMap::refuse_unexpected_files() const
{
	return refuse_unexpected_files_;
}

bool
FileContentsMap::has_file_contents( std::string const & file_name ) const
{
	return file_contents_.count( file_name ) != 0;
}

FileContentsMap::Count
FileContentsMap::nreads_for_file( std::string const & file_name ) const
{
	auto const it = read_counts_.find( file_name );
	return ( it == read_counts_.end() ) ? 0 : it->second;
}

FileContentsMap::Count
FileContentsMap::nread_limit_for_file( std::string const & file_name ) const
{
	auto const it = read_limits_.find( file_name );
	return ( it == read_limits_.end() ) ? 0 : it->second;
}

bool
FileContentsMap::has_read_limit_for_file( std::string const & file_name ) const
{
	return read_limits_.count( file_name ) != 0;
}

void
FileContentsMap::set_nread_limit_for_file( std::string const & file_name, Count const limit )
{
	read_limits_[ file_name ] = limit;
}

void
FileContentsMap::increment_nread_limit( std::string const & file_name )
{
	auto const it = read_limits_.find( file_name );
	if ( it == read_limits_.end() ) {
		read_limits_[ file_name ] = 1;
		read_counts_[ file_name ] = 0;
	} else {
		++it->second;
	}
}

void
FileContentsMap::set_file_contents( std::string const & file_name, std::string const & contents )
{
	file_contents_[ file_name ] = contents;
}

void
FileContentsMap::delete_file_contents( std::string const & file_name )
{
	file_contents_.erase( file_name );
}

void
FileContentsMap::clear()
{
	read_limits_.clear();
	read_counts_.clear();
	file_contents_.clear();
}

std::string
FileContentsMap::get_file_contents( std::string const & file_name )
{
	auto limit_it = read_limits_.find( file_name );
	auto count_it = read_counts_.find( file_name );
	if ( refuse_unexpected_files_ ) {
		if ( limit_it == read_limits_.end() ) {
			throw excn::Exception( source_file, line_unexpected, "Unexpected file-read requested: " + file_name );
		}
		if ( count_it == read_counts_.end() ) {
			throw excn::Exception( source_file, line_no_count,
				"read_counts_ map does not contain an entry for file: " + file_name );
		}
	} else {
		if ( limit_it == read_limits_.end() ) limit_it = read_limits_.emplace( file_name, 0 ).first;
		if ( count_it == read_counts_.end() ) count_it = read_counts_.emplace( file_name, 0 ).first;
	}

	Count const count = ++count_it->second;
	Count const limit = limit_it->second;
	auto cached = file_contents_.find( file_name );

	if ( delete_contents_at_nread_limit_ ) {
		if ( ( limit == 1 ) && ( cached == file_contents_.end() ) ) {
			return file_contents( file_name ); // read once: not worth caching
		}
		if ( ( limit != 1 ) && ( count == 1 ) && ( cached == file_contents_.end() ) ) {
			cached = file_contents_.emplace( file_name, file_contents( file_name ) ).first;
		}
		if ( ( limit != 0 ) && ( count == limit ) ) {
			if ( cached == file_contents_.end() ) {
				throw excn::Exception( source_file, line_not_cached,
					"file-contents map does not contain an entry for file that has been read before: " + file_name );
			}
			std::string text( std::move( cached->second ) );
			file_contents_.erase( cached );
			return text;
		}
	}

	if ( cached == file_contents_.end() ) cached = file_contents_.emplace( file_name, file_contents( file_name ) ).first;
	return cached->second;
}

std::string const &
FileContentsMap::get_file_contents_ref( std::string const & file_name )
{
	++read_counts_[ file_name ];
	read_limits_.emplace( file_name, 0 ); // no limit unless one was set
	auto cached = file_contents_.find( file_name );
	if ( cached == file_contents_.end() ) cached = file_contents_.emplace( file_name, file_contents( file_name ) ).first;
	return cached->second;
}

} // io
} // utility
