#include "utility/vectorL.hh"
#include "farray/assert.hh"

#include <string>

namespace utility {
namespace vectorL_detail {

void
index_check_failed( char const * condition, int const line, char const * function )
{
	// Writes the report, or throws when the one-shot switch is set
	handle_assert_failure( condition, UTILITY_VECTORL_HEADER, line );
	std::string const expression = std::string( "( " ) + condition + " ) || handle_assert_failure( \""
		+ condition + "\", \"" UTILITY_VECTORL_HEADER "\", " + std::to_string( line ) + " )";
	farray::internal::assertion_failed( expression.c_str(), UTILITY_VECTORL_HEADER, static_cast< unsigned >( line ), function );
}

} // vectorL_detail
} // utility
