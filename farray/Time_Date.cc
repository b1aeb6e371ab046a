#include "farray/Time_Date.hh"
#include "farray/assert.hh"

#include <iomanip>
#include <sstream>

namespace farray {

namespace {

char const * const td_file = "farray/Time_Date.cc";

std::tm
local( std::time_t const now )
{
	std::tm t{};
	localtime_r( &now, &t );
	return t;
}

// Two digits with a leading zero
std::string
two_digits( int const i )
{
	std::ostringstream stream;
	stream << std::setfill( '0' ) << std::setw( 2 ) << i;
	return stream.str();
}

} // namespace

namespace internal {

void
itime_at( FArray1_int & timearray, std::time_t const now )
{
	FARRAY_ASSERT_IN( timearray.l() <= 1, td_file );
	FARRAY_ASSERT_IN( timearray.u() >= 3, td_file );
	std::tm const t( local( now ) );
	timearray( 1 ) = t.tm_hour;
	timearray( 2 ) = t.tm_min;
	timearray( 3 ) = t.tm_sec;
}

void
idate_at( FArray1_int & datearray, std::time_t const now )
{
	FARRAY_ASSERT_IN( datearray.l() <= 1, td_file );
	FARRAY_ASSERT_IN( datearray.u() >= 3, td_file );
	std::tm const t( local( now ) );
	datearray( 1 ) = t.tm_mday;
	datearray( 2 ) = t.tm_mon + 1;
	datearray( 3 ) = t.tm_year + 1900;
}

void
idate_at( int & month, int & day, int & year, std::time_t const now )
{
	std::tm const t( local( now ) );
	month = t.tm_mon + 1;
	day = t.tm_mday;
	year = ( t.tm_year + 1900 ) % 100;
}

void
date_at( Fstring & day, std::time_t const now )
{
	FARRAY_ASSERT_IN( day.length() >= 9, td_file );
	static char const * const months[ 12 ] = {
		"JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL", "AUG", "SEP", "OCT", "NOV", "DEC" };
	int month, mday, year;
	idate_at( month, mday, year, now );
	day = "  -   -  ";
	day( 1, 2 ) = two_digits( mday );
	day( 8, 9 ) = two_digits( year );
	FARRAY_ASSERT_TEXT( ( 1 <= month ) && ( month <= 12 ), "false", td_file ); // local time never gives one
	day( 4, 6 ) = months[ month - 1 ];
}

} // internal

void
itime( FArray1_int & timearray )
{
	internal::itime_at( timearray, std::time( nullptr ) );
}

void
idate( FArray1_int & datearray )
{
	internal::idate_at( datearray, std::time( nullptr ) );
}

void
idate( int & month, int & day, int & year )
{
	internal::idate_at( month, day, year, std::time( nullptr ) );
}

void
date( Fstring & day )
{
	internal::date_at( day, std::time( nullptr ) );
}

} // farray
