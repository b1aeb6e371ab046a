// What an assembly run does when it is interrupted (SIGINT, SIGTERM,
// SIGHUP): the started program that is running is stopped with its whole
// process group and waited for, the run's own work directory is removed,
// and the process ends with status 128 + the signal number.  The handler
// runs on the interrupted thread (the program is single-threaded) and uses
// only async-signal-safe calls, so it may come at any point of the run.
#ifndef QUILT_QUILTER_RUNINTERRUPTS_HH
#define QUILT_QUILTER_RUNINTERRUPTS_HH

#include <string>
#include <sys/types.h>

// Installs the handler for SIGINT, SIGTERM and SIGHUP.
void installRunInterruptHandlers();

// The directory removed on an interrupt (empty: none).  Only the run's own
// work directory is ever given here.
void setInterruptWorkDirectory( const std::string& dir );

// The started program now running (its process id, which is also its
// process group), or 0 when none runs.
void setInterruptChild( pid_t pid );

// Removes a directory tree with async-signal-safe calls only (no symbolic
// link is followed).  Returns true when the directory is gone.
bool removeTreeSignalSafe( const char* path );

#endif
