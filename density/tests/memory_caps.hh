// Memory limits for a death-test child (they hold for the child only): the
// address space (RLIMIT_AS) or the data segment (RLIMIT_DATA, which counts
// the private mappings that large allocations live in), set a given number
// of bytes beyond what the process maps now.  With them a test sees the
// same shortage on any machine.  AddressSanitizer's shadow memory leaves no
// room under such limits: the tests that set them skip themselves under it.
#ifndef QUILT_DENSITY_TESTS_MEMORY_CAPS_HH
#define QUILT_DENSITY_TESTS_MEMORY_CAPS_HH

#include "testsupport/test_data.hh"
#include <cstdint>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/resource.h>

namespace memory_caps {

bool const kSanitized = quilt_test::kAddressSanitized;

// A "Name:  123 kB" value of /proc/self/status in bytes (0 when missing).
inline uint64_t status_bytes( char const* name )
{
	std::ifstream in( "/proc/self/status" );
	std::string const key = std::string( name ) + ":";
	for ( std::string line; std::getline( in, line ); ) {
		if ( line.compare( 0, key.size(), key ) != 0 ) continue;
		std::istringstream f( line.substr( key.size() ) );
		uint64_t kb = 0;
		f >> kb;
		return kb * 1024;
	}
	return 0;
}

// Caps the address space at what is mapped now plus `extra` bytes.
inline bool cap_address_space( uint64_t extra )
{
	rlim_t const cap = rlim_t( status_bytes( "VmSize" ) + extra );
	struct rlimit const l = { cap, cap };
	return setrlimit( RLIMIT_AS, &l ) == 0;
}

// Caps the data segment at its present size plus `extra` bytes; the address
// space stays free, so that a check of the address-space room passes.
inline bool cap_data( uint64_t extra )
{
	rlim_t const cap = rlim_t( status_bytes( "VmData" ) + extra );
	struct rlimit const l = { cap, cap };
	return setrlimit( RLIMIT_DATA, &l ) == 0;
}

} // namespace memory_caps

#endif
