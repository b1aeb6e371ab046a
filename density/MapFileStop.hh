// Why a map read or write stopped the process.
#ifndef QUILT_DENSITY_MAPFILESTOP_HH
#define QUILT_DENSITY_MAPFILESTOP_HH

#include <string>

// Records why a map read or write is about to stop the process, so that a program's exit handler can report it.
void noteMapFileStop( const std::string& reason );
// The reason recorded by the last map routine that stopped the process ("" when none).
const std::string& mapFileStopReason();

#endif
