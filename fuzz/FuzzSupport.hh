// Shared pieces of the fuzz harnesses.
//
// The readers under test end the process on a bad file or argument (exit
// with a status).  The harnesses are linked with -Wl,--wrap=exit: inside
// run_guarded a call of exit becomes a thrown ProcessExit, so one fuzzing
// process can go on after a reader gave up, and the harness can check how it
// gave up (status not 0, no half-written output).  Outside run_guarded
// exit works as usual (libFuzzer's own exits).
#ifndef QUILT_FUZZ_FUZZSUPPORT_HH
#define QUILT_FUZZ_FUZZSUPPORT_HH

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quilt_fuzz {

struct ProcessExit {
	int status;
};

// Runs body; returns -1 when it returned, else the status it tried to exit
// with.
template < class Body >
int run_guarded( Body&& body );

// A check that failed: prints what and aborts (libFuzzer saves the input).
[[noreturn]] void fail( const std::string& what );
inline void check( bool ok, const std::string& what )
{
	if ( !ok ) fail( what );
}

// A directory of this process's own under $TMPDIR (or /tmp), made on first
// use and removed at exit; harnesses running side by side do not meet.
const std::string& scratch_dir();
// scratch_dir() + "/" + name
std::string scratch_file( const std::string& name );
// Writes the bytes to the file (replaced).
void write_file( const std::string& path, const uint8_t* data, std::size_t size );
bool file_exists( const std::string& path );
void remove_file( const std::string& path );

// The input cut into arguments at NUL and newline bytes (empty pieces kept),
// at most max_args of them.
std::vector< std::string > split_arguments( const uint8_t* data, std::size_t size, std::size_t max_args );

// argv of the arguments, program name first; the strings must outlive it.
std::vector< char* > make_argv( const std::string& program, std::vector< std::string >& args );

namespace detail {
extern thread_local int guard_depth;
}

template < class Body >
int run_guarded( Body&& body )
{
	++detail::guard_depth;
	try {
		body();
	} catch ( ProcessExit const& e ) {
		--detail::guard_depth;
		return e.status;
	} catch ( ... ) {
		--detail::guard_depth;
		throw;
	}
	--detail::guard_depth;
	return -1;
}

} // namespace quilt_fuzz

#endif
