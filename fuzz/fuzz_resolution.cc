// The resolution argument of the assembly program: isFloat on any text, and
// getReso on any file (its first line).  isFloat must agree with strtod taking
// the whole text; getReso must give strtod of the first line, read past a
// UTF-8 byte-order mark at its start.
#include "apps/quilter/CommandLine.hh"
#include "fuzz/FuzzSupport.hh"

#include <cmath>
#include <cstdlib>
#include <cstring>

using namespace quilt_fuzz;

extern "C" int LLVMFuzzerTestOneInput( const uint8_t* data, size_t size )
{
	std::string const text( reinterpret_cast< const char* >( data ), size );
	std::string const path = scratch_file( "resolution.txt" );
	write_file( path, data, size );

	// A command-line argument holds no NUL byte: isFloat sees the text up to
	// the first one.
	std::string const arg( text.c_str() );
	bool isNumber = false;
	double reso = 0.0;
	int const status = run_guarded( [ & ] {
		isNumber = isFloat( arg );
		reso = getReso( path );
	} );
	check( status == -1, "the resolution readers ended the process" );

	// Independent expectations.
	char* end = nullptr;
	std::strtod( arg.c_str(), &end );
	bool const whole = !arg.empty() && end != arg.c_str() && *end == '\0';
	check( isNumber == whole, "isFloat disagrees with strtod on the whole text" );

	std::string first = text.substr( 0, text.find( '\n' ) );
	if ( first.compare( 0, 3, "\xEF\xBB\xBF" ) == 0 ) first.erase( 0, 3 );
	double const want = std::strtod( std::string( first.c_str() ).c_str(), nullptr );
	check( ( std::isnan( want ) && std::isnan( reso ) ) || want == reso, "getReso is not strtod of the first line" );
	return 0;
}
