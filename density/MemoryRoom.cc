#include "density/MemoryRoom.hh"

#include <fstream>
#include <sstream>
#include <sys/resource.h>

namespace {

// The value of a "Name:   123 kB" line of a /proc file, in bytes; false when
// the file or the line is not there.
bool proc_kilobytes( char const* file, char const* name, uint64_t& bytes )
{
	std::ifstream in( file );
	std::string const key = std::string( name ) + ":";
	for ( std::string line; std::getline( in, line ); ) {
		if ( line.compare( 0, key.size(), key ) != 0 ) continue;
		std::istringstream fields( line.substr( key.size() ) );
		uint64_t kb = 0;
		if ( !( fields >> kb ) ) return false;
		bytes = kb * 1024;
		return true;
	}
	return false;
}

} // namespace

MemoryRoom memoryRoom()
{
	MemoryRoom room;
	uint64_t available = 0;
	if ( proc_kilobytes( "/proc/meminfo", "MemAvailable", available ) ) {
		room.known = true;
		room.bytes = available;
		room.source = "available memory (MemAvailable of /proc/meminfo)";
	}
	struct rlimit lim;
	if ( getrlimit( RLIMIT_AS, &lim ) == 0 && lim.rlim_cur != RLIM_INFINITY ) {
		uint64_t const limit = static_cast< uint64_t >( lim.rlim_cur );
		uint64_t mapped = 0;
		proc_kilobytes( "/proc/self/status", "VmSize", mapped );
		uint64_t const left = limit > mapped ? limit - mapped : 0;
		if ( !room.known || left < room.bytes ) {
			room.known = true;
			room.bytes = left;
			room.source = "room under the address-space limit (ulimit -v) of " + megabytes( limit ) + ", of which "
				+ megabytes( mapped ) + " are in use";
		}
	}
	return room;
}

std::string megabytes( uint64_t bytes )
{
	uint64_t const mb = bytes / ( uint64_t( 1 ) << 20 ) + ( bytes % ( uint64_t( 1 ) << 20 ) != 0 ? 1 : 0 );
	return std::to_string( mb ) + " MB";
}
