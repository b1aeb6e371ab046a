#include "utility/backtrace.hh"
#include "utility/CSI_Sequence.hh"
#include "utility/Exceptions.hh"

#include <cstdlib>
#include <cxxabi.h>
#include <execinfo.h>
#include <iostream>

namespace utility {

namespace {

bool throw_the_next_time_an_assertion_failure_is_hit = false;

// Most frames captured for a back-trace
int const max_frames = 128;

}

void
set_throw_on_next_assertion_failure()
{
	throw_the_next_time_an_assertion_failure_is_hit = true;
}

void
maybe_throw_on_next_assertion_failure( char const * message )
{
	if ( throw_the_next_time_an_assertion_failure_is_hit ) {
		throw_the_next_time_an_assertion_failure_is_hit = false;
		throw excn::Exception( "./utility/backtrace.cc", 32, std::string( "assertion failure hit:" ) + message );
	}
}

std::string
demangle_backtrace_line( std::string const & line )
{
	using size_type = std::string::size_type;
	size_type start = line.find( " _" );
	size_type end = ( start == std::string::npos ) ? std::string::npos : line.find( " +", start + 1 );
	if ( ( start != std::string::npos ) && ( end != std::string::npos ) ) {
		start += 1; // after the blank
	} else { // "program(_Z...+0x1f) [0x...]"
		start = line.find( "(_" );
		if ( start == std::string::npos ) return line;
		start += 1; // after the parenthesis
		end = line.find( '+', start );
		if ( end == std::string::npos ) return line;
	}

	std::string const mangled( line, start, end - start );
	int status = -1;
	char * demangled = abi::__cxa_demangle( mangled.c_str(), nullptr, nullptr, &status );
	std::string result( line );
	if ( ( status == 0 ) && demangled ) result = line.substr( 0, start ) + demangled + line.substr( end );
	std::free( demangled );
	return result;
}

int
print_backtrace( char const * )
{
	void * frames[ max_frames ];
	int const n = ::backtrace( frames, max_frames );
	char ** lines = ::backtrace_symbols( frames, n );

	std::cerr << CSI_Sequence( CSI::CSI_Magenta ) << "BACKTRACE:\n";
	if ( lines ) {
		for ( int i = 0; i < n; ++i ) {
			std::cerr << demangle_backtrace_line( lines[ i ] ) << '\n';
			std::cerr.flush();
		}
	}
	std::cerr << CSI_Sequence( CSI::CSI_Reset );
	std::free( lines );
	return 0;
}

bool
handle_assert_failure( char const * condition, std::string const & file, int const line )
{
	maybe_throw_on_next_assertion_failure( condition );

	std::cerr << CSI_Sequence( CSI::CSI_Reset ) << CSI_Sequence( CSI::CSI_Red ) << CSI_Sequence( CSI::CSI_Bold )
		<< "\nERROR: Assertion `" << condition << "` failed.\n"
		<< "ERROR:: Exit from: " << file << " line: " << line << "\n"
		<< CSI_Sequence( CSI::CSI_Reset );
	print_backtrace( condition );
	std::cerr << '\n';
	std::cerr.flush();
	return false;
}

} // utility
