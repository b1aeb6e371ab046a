#ifndef INCLUDED_utility_exit_hh
#define INCLUDED_utility_exit_hh

// The support library's exit for an unrecoverable condition: the registered
// exit callbacks run, a coloured error block with a back-trace goes to
// standard error, and utility::UtilityExitException is thrown.

#include <string>
#include <vector>

namespace utility {

using UtilityExitCallBack = void ( * )();

// Runs the exit callbacks (first registered first), writes the report and
// throws UtilityExitException; when the one-shot switch of the assertion
// report is set, throws that switch's exception instead, writing nothing.
// The status is accepted for the callers' sake and not used.
[[noreturn]] void exit( char const * file, int line, std::string const & message, int status );

// Calls utility::exit when condition is false; otherwise returns true
bool cond_exit( bool condition, char const * file, int line, std::string const & message, int status );

// Appends fn to the exit callbacks (the same function may be added twice)
void add_exit_callback( UtilityExitCallBack fn );

// Removes the first entry equal to fn; nothing when fn is not registered
void remove_exit_callback( UtilityExitCallBack fn );

// The exit callbacks, created empty on first use and kept for the whole run
std::vector< UtilityExitCallBack > & get_all_exit_callbacks();

// Stores fn as the main exit callback (kept, not called by the library)
void set_main_exit_callback( UtilityExitCallBack fn );

} // utility

#endif
