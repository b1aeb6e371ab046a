// How much memory the process can still take, so that a map whose header
// asks for more than that is refused with a message before the allocation
// is tried.  An allocation the system grants lazily can succeed and then end
// the process in the out-of-memory killer when its pages are filled; the
// bounds below are known before that: the memory the system reports as
// available (MemAvailable of /proc/meminfo) and the room the address-space
// limit (getrlimit RLIMIT_AS, "ulimit -v") leaves beside what the process
// already maps.
#ifndef QUILT_DENSITY_MEMORYROOM_HH
#define QUILT_DENSITY_MEMORYROOM_HH

#include <cstdint>
#include <string>

struct MemoryRoom {
	bool known = false;  // false: neither bound could be read (nothing is refused)
	uint64_t bytes = 0;  // the smaller of the bounds that could be read
	std::string source;  // what sets it, for messages ("available memory (MemAvailable)")
};

// The room left now, from /proc/meminfo, getrlimit(RLIMIT_AS) and the
// process's mapped size (VmSize of /proc/self/status).
MemoryRoom memoryRoom();

// A byte count in whole megabytes (MB of 2^20 bytes, rounded up), e.g. "1024 MB".
std::string megabytes( uint64_t bytes );

#endif
