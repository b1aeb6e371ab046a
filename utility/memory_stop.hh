// Running out of memory.  Every program ends an allocation failure, wherever
// it comes, with one error line that says what it was doing and how much
// memory could not be had ("Error! Memory ran out while searching poses
// (2.1 GB could not be allocated); no model written.") and status 1, never
// with an abort.  The programs name their main steps with MemoryStep; the
// global operator new of this module, and the raw allocators through
// throw_allocation_failure, record the size of the request that failed and
// the step it failed in before they throw std::bad_alloc; each main() ends
// such a failure with run_with_memory_stop (or its own clean-up and
// print_memory_stop).
#ifndef QUILT_UTILITY_MEMORY_STOP_HH
#define QUILT_UTILITY_MEMORY_STOP_HH

#include <cstddef>
#include <exception>
#include <new>
#include <stdexcept>
#include <string>

namespace utility {

// The step a program is doing while the object lives ("loading the map"),
// named in the line when memory runs out; steps nest and the innermost is
// named (the one a failure came in, should the failure be met later).  Made
// on the main thread (a failure on a worker thread names the step of the
// main thread that started it).
class MemoryStep {
public:
	explicit MemoryStep( char const* what );
	explicit MemoryStep( std::string const& what ) : MemoryStep( what.c_str() ) {}
	~MemoryStep();
	MemoryStep( MemoryStep const& ) = delete;
	MemoryStep& operator=( MemoryStep const& ) = delete;

	// The next step of the same scope: the step's text is now `what`.
	void now( char const* what );
	char const* what() const { return what_; }

	// The text kept: enough for a step and a chain or file name.
	static std::size_t const kLength = 192;

private:
	char what_[kLength];
	MemoryStep const* outer_;
	int unwinding_; // exceptions in flight when the step began
};

// Records a request of `bytes` that could not be met, and the step it came
// in; called just before std::bad_alloc is thrown.  Safe on any thread.
void note_allocation_failure( std::size_t bytes );

// Records the failure and throws std::bad_alloc: for the users of malloc,
// calloc and aligned_alloc that get a null pointer back.
[[noreturn]] void throw_allocation_failure( std::size_t bytes );

// Forgets the last failure: for the few places that meet an allocation
// failure and go on without what they asked for (fewer threads, say), so
// that a later line does not name it.
void forget_allocation_failure();

// Whether an allocation failed and was not forgotten.  The streams of the
// standard library catch a failure inside their reads and writes and only
// set badbit: a reader then ends early as at the end of its file, and a
// write fails as on a full disk.  So whatever a program makes visible (its
// results) it first checks with throw_if_memory_ran_out, which throws
// std::bad_alloc when memory_ran_out() is true; the program then ends with
// the memory line, and no result of input cut short is written.
bool memory_ran_out();
void throw_if_memory_ran_out();

// Records a request beyond what a container can hold (std::length_error),
// which has no size of its own.
void note_oversized_request();

// Size of the last recorded request that failed, 0 when none is known.
std::size_t failed_allocation_size();
// That size as text ("134.2 MB") in buf, empty when it is not known.
char const* failed_allocation_text( char* buf, std::size_t n );

// The line's text without its tag, "Memory ran out while <step> (<size>
// could not be allocated)", written into buf (n bytes, at least 1); the
// step and the size are left out where they are not known.  Allocates
// nothing.  Returns buf.
char const* memory_stop_text( char* buf, std::size_t n );

// The words of the line for a failure that ends in std::terminate, as one
// does that no catch meets (while the program's statics are made, before
// main) or whose exception cannot even be made (the process has not the
// little memory it takes): the line is then printed by the terminate
// handler, after cleanup() (when given; it must need no memory), and the
// process ends with status 1.  Any other std::terminate keeps its abort.
// Strings of static storage; run_with_memory_stop sets them for its body.
void set_memory_stop_words( char const* tag, char const* tail, bool toError = false, void ( *cleanup )() = nullptr );

// A program started by another (the assembly starts the fitting programs)
// also notes the text of its line in the file this environment variable
// names, one line per stop, for the starter to tell why it got no result.
char const* const kMemoryStopNotes = "QUILT_MEMORY_STOP_NOTES";

// Prints "<tag> <text>; <tail>" as one line on standard output (standard
// error with toError) and flushes it ("Error!", "no model written."); the
// text goes to the notes file too when kMemoryStopNotes names one.
// Allocates nothing.
void print_memory_stop( char const* tag, char const* tail, bool toError = false );

// For tests: once a step named `step` begins (MemoryStep text equal to it;
// null: at once), the allocation `after` allocations later fails as if
// memory had run out (0: the next one), once.  Negative `after`: no failure.
// Builds under AddressSanitizer keep the system's allocator and ignore this
// (allocation_failures_injectable() tells).
void fail_allocation_in_step( char const* step, long after );
bool allocation_failures_injectable();

// Runs body() and returns its status.  An allocation failure that reaches
// here (std::bad_alloc, or std::length_error: a size beyond what a
// container can hold, the same fault) ends in the line of print_memory_stop
// and status 1; whatever body held has been released on the way here (its
// temporary files removed by their owners).  So does a refusal (a status
// other than 0) after a failure a stream swallowed: the input it refused
// may have been cut short.
template <class Body>
int run_with_memory_stop( char const* tag, char const* tail, Body&& body, bool toError = false )
{
	set_memory_stop_words( tag, tail, toError );
	try {
		int const status = body();
		if ( status == 0 || !memory_ran_out() ) return status;
	} catch ( std::bad_alloc const& ) {
	} catch ( std::length_error const& ) {
		note_oversized_request();
	}
	print_memory_stop( tag, tail, toError );
	return 1;
}

} // namespace utility

#endif
