// How the map readers, writers and processing steps end the process on a
// file they cannot use: the reason is recorded for the program's exit
// handler and printed, then the step's code line, then the process ends
// with the code (DensityScore.hh).
#include "density/DensityScore_util.hh"
#include "density/MapFileStop.hh"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstring>

namespace density_detail {

namespace {

std::string& map_in_use()
{
	// Never destroyed: a stop may come from an exit handler's work late in
	// the process.
	static std::string* const file = new std::string();
	return *file;
}

} // namespace

std::string format( char const* fmt, ... )
{
	va_list ap;
	va_start( ap, fmt );
	va_list again;
	va_copy( again, ap );
	int const n = std::vsnprintf( nullptr, 0, fmt, ap );
	va_end( ap );
	std::string out( n > 0 ? static_cast<size_t>( n ) : 0, '\0' );
	if ( n > 0 ) std::vsnprintf( &out[0], out.size() + 1, fmt, again );
	va_end( again );
	return out;
}

MapInUse::MapInUse( char const* file ) : previous_( map_in_use() )
{
	map_in_use() = file ? file : "";
}

MapInUse::~MapInUse()
{
	map_in_use() = previous_;
}

std::string map_subject()
{
	return map_in_use().empty() ? std::string( "the map" ) : "map " + map_in_use();
}

void stop( char const* prefix, std::string const& reason, std::string const& code_line, int code )
{
	noteMapFileStop( reason );
	std::printf( "%s Error: %s.\n", prefix, reason.c_str() );
	if ( !code_line.empty() ) std::printf( "%s\n", code_line.c_str() );
	std::fflush( stdout );
	std::exit( code );
}

void fail_mrc( int code, std::string const& reason )
{
	stop( "ReadMrc_st>", reason, format( "Error in read mrc file! %d", code ), code );
}

std::string file_error( std::string const& file, int err )
{
	std::string text = std::strerror( err );
	if ( err == ENAMETOOLONG ) {
		// The whole path may hold at most PATH_MAX - 1 characters and each
		// name in it at most NAME_MAX.
		size_t longest = 0, start = 0;
		while ( start <= file.size() ) {
			size_t const slash = std::min( file.find( '/', start ), file.size() );
			longest = std::max( longest, slash - start );
			start = slash + 1;
		}
		if ( file.size() >= static_cast<size_t>( PATH_MAX ) )
			text += format( " (the path has %zu characters; at most %d are allowed)", file.size(), PATH_MAX - 1 );
		else if ( longest > static_cast<size_t>( NAME_MAX ) )
			text += format( " (a name in the path has %zu characters; at most %d are allowed)", longest, NAME_MAX );
	}
	return text;
}

} // namespace density_detail
