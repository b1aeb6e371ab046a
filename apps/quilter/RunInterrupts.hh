// What an assembly run does when a signal would end it (SIGINT, SIGTERM,
// SIGHUP, SIGQUIT, SIGPIPE, SIGUSR1/2, SIGALRM, SIGXCPU, SIGXFSZ and every
// other signal whose default action ends the process): the started program
// that is running is stopped with its whole process group (SIGTERM, and
// SIGCONT for a program that stands stopped; whatever of the group is left
// after five seconds is killed), the run's own work directory is removed,
// and the process ends with status 128 + the signal number (SIGABRT is
// raised again after the clean-up, so that an abort stays an abort).  A
// hangup that the caller ignores (nohup) stays ignored.  Job control reaches
// the started program too: Ctrl-Z (SIGTSTP), SIGTTIN and SIGTTOU are passed
// on to its process group before the run stops itself, and SIGCONT when the
// run continues.  The handler runs on the interrupted thread (the program is
// single-threaded) and uses only async-signal-safe calls, so it may come at
// any point of the run.
#ifndef QUILT_QUILTER_RUNINTERRUPTS_HH
#define QUILT_QUILTER_RUNINTERRUPTS_HH

#include <csignal>
#include <string>
#include <sys/types.h>

// Installs the handlers for every signal above.
void installRunInterruptHandlers();

// Adds the handled signals (the job-control stops among them) to a signal
// set.
void addRunInterruptSignals( sigset_t& set );

// In a started process between fork and exec: the default actions again, so
// that the run's handler never runs in a copy of the run.
void resetRunInterruptHandlers();

// Holds the handled signals back while it lives: a step the handler has to
// see whole (a directory made and recorded, removed and forgotten) is done
// under it, and a signal that came meanwhile is handled when it ends.
class RunInterruptBlock {
public:
	RunInterruptBlock();
	~RunInterruptBlock();
	RunInterruptBlock( RunInterruptBlock const& ) = delete;
	RunInterruptBlock& operator=( RunInterruptBlock const& ) = delete;

private:
	sigset_t old_;
};

// The directory removed on an interrupt (empty: none).  Only the run's own
// work directory is ever given here.
void setInterruptWorkDirectory( const std::string& dir );

// The started program now running (its process id, which is also its
// process group), or 0 when none runs.
void setInterruptChild( pid_t pid );

// How long the run has been stopped by job control so far, in seconds:
// time a started program did not run either.
double runStoppedSeconds();

// Removes a directory tree with async-signal-safe calls only (no symbolic
// link is followed).  Returns true when the directory is gone.
bool removeTreeSignalSafe( const char* path );

#endif
