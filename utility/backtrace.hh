#ifndef INCLUDED_utility_backtrace_hh
#define INCLUDED_utility_backtrace_hh

// Assertion report with a demangled back-trace, written to standard error, and
// the one-shot switch that turns the next report into an exception.

#include <string>

namespace utility {

// Writes "BACKTRACE:" and one line per frame (innermost first), mangled names
// demangled; returns 0. The argument is not used.
int print_backtrace( char const * unused = nullptr );

// One frame line with its mangled function name demangled, or unchanged when
// no mangled name is found or it cannot be demangled
std::string demangle_backtrace_line( std::string const & line );

// Writes the assertion report for condition at file:line, then the back-trace;
// returns false so that the caller's assertion fails. Throws instead when
// set_throw_on_next_assertion_failure() was called before.
bool handle_assert_failure( char const * condition, std::string const & file, int line );

// The next report throws utility::excn::Exception instead of writing
void set_throw_on_next_assertion_failure();

// Throws (once) when the switch is set: message "assertion failure hit:" + message
void maybe_throw_on_next_assertion_failure( char const * message );

} // utility

#endif
