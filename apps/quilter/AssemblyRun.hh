// One assembly run of the Quilter program, from the command line to the
// final model in the data directory.
#ifndef QUILT_QUILTER_ASSEMBLYRUN_HH
#define QUILT_QUILTER_ASSEMBLYRUN_HH

#include <string>

// At most this many input models are read (prefix1.pdb .. prefix50.pdb).
constexpr int kMaxInputModels = 50;
// Share of a supplied nucleic-acid or protein map's density that has to lie
// on the whole map's density.
constexpr double kSplitMapOverlap = 0.5;

// Returns the process's exit status: 0 when the final model was written.
int runAssembly( int argc, char** argv );

// Ends the run with an "ERROR!" line and status 1; the run's work directory
// is removed on the way out.
[[noreturn]] void stopRun( const std::string& message );

// Ends a run in which memory ran out (an allocation failure that left
// runAssembly): the run's work directory is removed and an "ERROR!" line
// says so, naming the step and the size (utility/memory_stop.hh).  Returns
// the status, 1.
int endRunOutOfMemory();

// Removes the run's work directory without any memory of its own: the last
// way out when not even an exception can be had.
void removeWorkDirectoryWithoutMemory();

#endif
