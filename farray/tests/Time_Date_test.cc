// Time and date: arrays, three integers and the date text, at fixed clock
// readings in a fixed time zone, and against the C library at the real clock

#include "farray/Time_Date.hh"

#include <gtest/gtest.h>
#include <gmock/gmock.h>

#include <cstdlib>
#include <ctime>
#include <string>

using namespace farray;
using testing::HasSubstr;

namespace {

// All the characters (a date text holds no NUL)
std::string
text( Fstring const & s )
{
	return std::string( s.c_str(), s.length() );
}

// Runs the test body in the time zone tz and restores the previous one
class TimeZone
{
public:
	explicit TimeZone( char const * const tz )
	{
		char const * const old = std::getenv( "TZ" );
		had_ = ( old != nullptr );
		if ( had_ ) old_ = old;
		setenv( "TZ", tz, 1 );
		tzset();
	}

	~TimeZone()
	{
		if ( had_ ) {
			setenv( "TZ", old_.c_str(), 1 );
		} else {
			unsetenv( "TZ" );
		}
		tzset();
	}

private:
	bool had_ = false;
	std::string old_;
};

// Seconds since the epoch of a UTC date and time (days from civil, no
// library call, so the check is independent of the code under test)
std::time_t
utc( int y, int const m, int const d, int const hh, int const mm, int const ss )
{
	y -= ( m <= 2 );
	long const era = ( y >= 0 ? y : y - 399 ) / 400;
	long const yoe = y - era * 400;
	long const doy = ( 153 * ( m + ( m > 2 ? -3 : 9 ) ) + 2 ) / 5 + d - 1;
	long const doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
	long const days = era * 146097 + doe - 719468;
	return std::time_t( days ) * 86400 + hh * 3600 + mm * 60 + ss;
}

} // namespace

TEST( TimeDate, ReferenceClockIsRight )
{
	EXPECT_EQ( utc( 1970, 1, 1, 0, 0, 0 ), 0 );
	EXPECT_EQ( utc( 2000, 3, 1, 0, 0, 0 ), 951868800 );
}

// Catches: day, month and year swapped, a month off by one, a missing
// leading zero, the wrong abbreviation or trailing characters not blanked
TEST( TimeDate, DateTextAtFixedClock )
{
	TimeZone const zone( "UTC0" );
	struct Case { int y, m, d; char const * text; };
	Case const cases[] = {
		{ 2026, 12, 7, "07-DEC-26" },
		{ 2005, 1, 31, "31-JAN-05" },
		{ 2000, 2, 29, "29-FEB-00" },
		{ 1999, 3, 9, "09-MAR-99" },
		{ 2024, 4, 10, "10-APR-24" },
		{ 2024, 5, 1, "01-MAY-24" },
		{ 2024, 6, 15, "15-JUN-24" },
		{ 2024, 7, 4, "04-JUL-24" },
		{ 2024, 8, 20, "20-AUG-24" },
		{ 2024, 9, 30, "30-SEP-24" },
		{ 2024, 10, 2, "02-OCT-24" },
		{ 2024, 11, 11, "11-NOV-24" },
	};
	for ( Case const & c : cases ) {
		Fstring day( 12, "garbage text" );
		internal::date_at( day, utc( c.y, c.m, c.d, 23, 59, 59 ) );
		EXPECT_EQ( text( day ), std::string( c.text ) + "   " ) << c.text;
	}
	Fstring exact( 9 );
	internal::date_at( exact, utc( 2026, 12, 7, 0, 0, 0 ) );
	EXPECT_EQ( text( exact ), "07-DEC-26" );
}

// Catches: the date taken in UTC instead of local time
TEST( TimeDate, DateFollowsTheLocalZone )
{
	TimeZone const zone( "XYZ-10" ); // ten hours east of UTC
	Fstring day( 9 );
	internal::date_at( day, utc( 2026, 12, 31, 20, 0, 0 ) );
	EXPECT_EQ( text( day ), "01-JAN-27" );
	int month = 0, mday = 0, year = 0;
	internal::idate_at( month, mday, year, utc( 2026, 12, 31, 20, 0, 0 ) );
	EXPECT_EQ( month, 1 );
	EXPECT_EQ( mday, 1 );
	EXPECT_EQ( year, 27 );
}

TEST( TimeDate, ArraysAtFixedClock )
{
	TimeZone const zone( "UTC0" );
	std::time_t const now = utc( 2005, 3, 8, 7, 6, 5 );
	FArray1_int t( IndexRange( 0, 5 ), -1 );
	internal::itime_at( t, now );
	EXPECT_EQ( t( 0 ), -1 ); // outside 1 to 3: untouched
	EXPECT_EQ( t( 1 ), 7 );
	EXPECT_EQ( t( 2 ), 6 );
	EXPECT_EQ( t( 3 ), 5 );
	EXPECT_EQ( t( 4 ), -1 );
	EXPECT_EQ( t( 5 ), -1 );
	FArray1_int d( IndexRange( 1, 3 ), 0 );
	internal::idate_at( d, now );
	EXPECT_EQ( d( 1 ), 8 );
	EXPECT_EQ( d( 2 ), 3 );
	EXPECT_EQ( d( 3 ), 2005 ); // four digits in the array form
	int month = 0, day = 0, year = 0;
	internal::idate_at( month, day, year, now );
	EXPECT_EQ( month, 3 );
	EXPECT_EQ( day, 8 );
	EXPECT_EQ( year, 5 ); // two digits here
}

// The public forms read the real clock: compare with the C library's own
// reading, taken again when a second or a day boundary passed in between
TEST( TimeDate, RealClockAgreesWithTheLibrary )
{
	for ( int attempt = 0; attempt < 100; ++attempt ) {
		std::time_t const before = std::time( nullptr );
		FArray1_int t( IndexRange( 1, 3 ), -1 ), d( IndexRange( 1, 3 ), -1 );
		Fstring day( 10 );
		int month, mday, year;
		itime( t );
		idate( d );
		idate( month, mday, year );
		date( day );
		std::time_t const after = std::time( nullptr );
		if ( before != after ) continue;
		std::tm const * const tm = std::localtime( &before );
		EXPECT_EQ( t( 1 ), tm->tm_hour );
		EXPECT_EQ( t( 2 ), tm->tm_min );
		EXPECT_EQ( t( 3 ), tm->tm_sec );
		EXPECT_EQ( d( 1 ), tm->tm_mday );
		EXPECT_EQ( d( 2 ), tm->tm_mon + 1 );
		EXPECT_EQ( d( 3 ), tm->tm_year + 1900 );
		EXPECT_EQ( month, tm->tm_mon + 1 );
		EXPECT_EQ( mday, tm->tm_mday );
		EXPECT_EQ( year, ( tm->tm_year + 1900 ) % 100 );
		char expected[ 16 ];
		std::strftime( expected, sizeof expected, "%d-%b-%y ", tm );
		std::string upper( expected );
		for ( char & c : upper ) c = static_cast< char >( std::toupper( static_cast< unsigned char >( c ) ) );
		EXPECT_EQ( text( day ), upper );
		return;
	}
	ADD_FAILURE() << "the clock never stood still for one reading";
}

TEST( TimeDateDeath, BoundsAndLengthAreChecked )
{
	FArray1_int low( IndexRange( 2, 4 ), 0 );
	FArray1_int high( IndexRange( 1, 2 ), 0 );
	EXPECT_DEATH( itime( low ), HasSubstr( "Assertion `timearray.l() <= 1' failed" ) );
	EXPECT_DEATH( itime( high ), HasSubstr( "Assertion `timearray.u() >= 3' failed" ) );
	EXPECT_DEATH( idate( low ), HasSubstr( "Assertion `datearray.l() <= 1' failed" ) );
	EXPECT_DEATH( idate( high ), HasSubstr( "Assertion `datearray.u() >= 3' failed" ) );
	Fstring shortday( 8 );
	EXPECT_DEATH( date( shortday ), HasSubstr( "Assertion `day.length() >= 9' failed" ) );
	EXPECT_DEATH( high( 3 ), HasSubstr( "Assertion `contains( i )' failed" ) );
}

// Catches: elements placed without the lower-bound offset, copies sharing
// their block
TEST( FArray1D, RangeOffsetAndCopies )
{
	FArray1D_int a( IndexRange( -2, 2 ), 0 );
	EXPECT_EQ( a.size(), 5u );
	EXPECT_EQ( a.l(), -2 );
	EXPECT_EQ( a.u(), 2 );
	for ( int i = -2; i <= 2; ++i ) a( i ) = 10 * i;
	EXPECT_EQ( a[ 0 ], -20 );
	EXPECT_EQ( a[ 4 ], 20 );
	EXPECT_TRUE( a.contains( -2 ) );
	EXPECT_FALSE( a.contains( 3 ) );
	FArray1D_int b( a );
	a( 0 ) = 99;
	EXPECT_EQ( b( 0 ), 0 );
	FArray1D_int c( IndexRange( 1, 5 ), 7 );
	c = b; // same count: elements and range taken over
	EXPECT_EQ( c.l(), -2 );
	EXPECT_EQ( c( 2 ), 20 );
	FArray1_int const empty;
	EXPECT_EQ( empty.size(), 0u );
	EXPECT_FALSE( empty.contains( 1 ) );
}
