#include "farray/assert.hh"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <iostream>

namespace farray {
namespace internal {

void
assertion_failed( char const * condition, char const * file, unsigned line, char const * function )
{
	std::cout.flush();
	std::fprintf( stderr, "%s: %s:%u: %s: Assertion `%s' failed.\n",
		program_invocation_short_name, file, line, function, condition );
	std::fflush( stderr );
	std::abort();
}

void
fatal_error( std::string const & message )
{
	std::cerr << "\n*** farray Error: " << message << std::endl;
	std::exit( EXIT_FAILURE );
}

} // internal
} // farray
