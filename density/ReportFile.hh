// Report files of the density code, written whole or not at all.
#ifndef QUILT_DENSITY_REPORTFILE_HH
#define QUILT_DENSITY_REPORTFILE_HH

#include <string>

// Writes text to path through a temporary file beside it and a rename, so
// that an existing report is replaced only by a complete one.  On failure
// prints "Error! Cannot write <path>: <reason>", leaves no temporary file
// behind and returns false.
bool write_report_file( std::string const& path, std::string const& text );

#endif
