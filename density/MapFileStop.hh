// Why a map routine ended the process.  The map readers and writers of this
// folder stop the process with a code of their own when a file cannot be
// used (DensityScore.hh); just before they do, they record a one-line reason
// here (naming the file and the cause, the same text they print), so that a
// program's exit handler can report it in its own words.
#ifndef QUILT_DENSITY_MAPFILESTOP_HH
#define QUILT_DENSITY_MAPFILESTOP_HH

#include <string>

// Records why a map read or write is about to stop the process, so that a program's exit handler can report it.
void noteMapFileStop( const std::string& reason );

// The reason recorded by the last map routine that stopped the process ("" when none).
const std::string& mapFileStopReason();

#endif
