#include "utility/exit.hh"
#include "utility/CSI_Sequence.hh"
#include "utility/Exceptions.hh"
#include "utility/backtrace.hh"

#include <algorithm>
#include <iostream>
#include <sstream>

namespace utility {

namespace {

UtilityExitCallBack main_exit_callback = nullptr;

}

std::vector< UtilityExitCallBack > &
get_all_exit_callbacks()
{
	static std::vector< UtilityExitCallBack > all_CB;
	return all_CB;
}

void
add_exit_callback( UtilityExitCallBack const fn )
{
	get_all_exit_callbacks().push_back( fn );
}

void
remove_exit_callback( UtilityExitCallBack const fn )
{
	std::vector< UtilityExitCallBack > & all = get_all_exit_callbacks();
	auto const it = std::find( all.begin(), all.end(), fn );
	if ( it != all.end() ) all.erase( it );
}

void
set_main_exit_callback( UtilityExitCallBack const fn )
{
	main_exit_callback = fn;
}

void
exit( char const * file, int const line, std::string const & message, int const /*status*/ )
{
	// Walked in place: a callback must not add or remove callbacks
	for ( UtilityExitCallBack const cb : get_all_exit_callbacks() ) cb();

	std::ostringstream text;
	if ( ! message.empty() ) text << "\n" << "ERROR: " << message << "\n";
	text << "ERROR:: Exit from: " << file << " line: " << line << "\n";
	std::string const report = text.str();

	maybe_throw_on_next_assertion_failure( report.c_str() );

	std::cerr << CSI_Sequence( CSI::CSI_Reset ) << CSI_Sequence( CSI::CSI_Red ) << CSI_Sequence( CSI::CSI_Bold )
		<< report;
	std::cerr.flush();
	std::cerr << CSI_Sequence( CSI::CSI_Reset );
	print_backtrace( report.c_str() );
	std::cerr.flush();

	throw UtilityExitException( file, line, "[ ERROR ] UtilityExitException\nERROR: " + message + "\n\n" );
}

bool
cond_exit( bool const condition, char const * file, int const line, std::string const & message, int const status )
{
	if ( ! condition ) exit( file, line, message, status );
	return true;
}

} // utility
