#ifndef INCLUDED_farray_assert_hh
#define INCLUDED_farray_assert_hh

// Assertions of the array library.
//
// These checks are part of the library's behaviour, also in the optimised
// build: they never depend on NDEBUG. A failed check writes the usual
// assertion line (program, file, line, function, condition) to standard error
// and aborts. The file named in the report is the library header that holds
// the check, as given by the caller, so that reports do not depend on where
// the sources were built.

#include <string>

namespace farray {
namespace internal {

// Writes "<program>: <file>:<line>: <function>: Assertion `<condition>' failed."
// to standard error and aborts the process.
[[noreturn]] void assertion_failed( char const * condition, char const * file, unsigned line, char const * function );

// The library's one fatal-error form: a line feed, "*** farray Error: ", the
// message and an end of line on standard error, then exit status 1.
[[noreturn]] void fatal_error( std::string const & message );

} // internal
} // farray

// Check COND; on failure report COND's text with FILE as the source file.
// __builtin_expect keeps the report path out of the hot code.
#define FARRAY_ASSERT_IN( cond, file ) \
	( __builtin_expect( static_cast< bool >( cond ), 1 ) ? static_cast< void >( 0 ) : \
	::farray::internal::assertion_failed( #cond, file, __LINE__, __PRETTY_FUNCTION__ ) )

// Check COND, reporting TEXT as the condition (for checks whose fast form
// differs in wording from the documented condition).
#define FARRAY_ASSERT_TEXT( cond, text, file ) \
	( __builtin_expect( static_cast< bool >( cond ), 1 ) ? static_cast< void >( 0 ) : \
	::farray::internal::assertion_failed( text, file, __LINE__, __PRETTY_FUNCTION__ ) )

#endif
