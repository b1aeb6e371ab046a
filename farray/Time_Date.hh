#ifndef INCLUDED_farray_Time_Date_hh
#define INCLUDED_farray_Time_Date_hh

// Local time of day and local date, as integer arrays, as three integers or
// as a date text such as "07-DEC-26". Each call reads the system clock once
// and converts it to local time.

#include "farray/FArray1D.hh"
#include "farray/Fstring.hh"

#include <ctime>

namespace farray {

// Elements 1, 2, 3: hour (0-23), minute, second. Needs l() <= 1 and u() >= 3;
// other elements are not touched.
void itime( FArray1_int & timearray );

// Elements 1, 2, 3: day of the month, month (1-12), full year. Needs
// l() <= 1 and u() >= 3; other elements are not touched.
void idate( FArray1_int & datearray );

// Month (1-12), day of the month, two-digit year
void idate( int & month, int & day, int & year );

// "dd-MON-yy" in positions 1-9, blanks after them; day.length() >= 9
void date( Fstring & day );

namespace internal {

// The same at the clock reading now (the public forms pass std::time)
void itime_at( FArray1_int & timearray, std::time_t const now );
void idate_at( FArray1_int & datearray, std::time_t const now );
void idate_at( int & month, int & day, int & year, std::time_t const now );
void date_at( Fstring & day, std::time_t const now );

} // internal

} // farray

#endif
