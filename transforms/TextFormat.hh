// printf-style formatting into a std::string of whatever length the text
// needs: the fixed-column PDB and report lines are built with it, so a
// widened field can never overrun a buffer.
#ifndef QUILT_TRANSFORMS_TEXTFORMAT_HH
#define QUILT_TRANSFORMS_TEXTFORMAT_HH

#include <string>

std::string formatted( char const* fmt, ... ) __attribute__( ( format( printf, 1, 2 ) ) );

#endif
