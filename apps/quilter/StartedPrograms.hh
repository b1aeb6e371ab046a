// Command lines of the programs the assembly starts (all from the directory
// of the running executable) and the names of the result files they leave.
// Every path and name is passed as one single-quoted shell word, so blanks,
// quotes and shell characters in directory names reach the program intact.
#ifndef QUILT_QUILTER_STARTEDPROGRAMS_HH
#define QUILT_QUILTER_STARTEDPROGRAMS_HH

#include <string>
#include <vector>

// Program-wide quiet flag of the assembly: true, so every started program
// gets "-sl 0".
extern bool silent_GM;

// "%f" text of a value (six decimals).
std::string fixedText( double v );

// Placer in unit matching: "<bindir>/Placer map chain reso -gw g -dc t -nm n -sl 0  -rc 0".
std::string placerCommand( const std::string& bindir, const std::string& map, const std::string& chain, double reso,
	double gridWidth, double threshold, int positions );
// Placer in the LBFGS-only matching (no "-rc").
std::string placerOnlyCommand( const std::string& bindir, const std::string& map, const std::string& chain,
	double reso, double gridWidth, double threshold, int positions );
std::string placerRNACommand( const std::string& bindir, const std::string& map, const std::string& chain,
	double reso, double gridWidth, double threshold, int positions, const std::string& atomType );
// Rasterseek, standard output to FFTlog.txt in the current directory;
// "-nprocs" only with two processes or more.
std::string rasterseekCommand( const std::string& bindir, const std::string& map, const std::string& chain,
	const std::string& resultName, double reso, int results, int processes );
std::string lobeplaceCommand( const std::string& bindir, const std::string& workDir, const std::string& map,
	double reso, const std::string& inputPrefix, double gridWidth, double threshold, const std::string& outputName,
	int iterate, int processes );
// Lobetune on one candidate in unit matching.
std::string lobetuneCommand( const std::string& bindir, const std::string& map, const std::string& model,
	double reso, double gridWidth, double threshold, const std::string& outputName, int similar );
// Lobetune on the whole final model.
std::string lobetuneGlobalCommand( const std::string& bindir, const std::string& map, const std::string& model,
	double reso, double gridWidth, double threshold, const std::string& outputName, int similar );
std::string lobecutCommand( const std::string& bindir, const std::string& chainTag, const std::string& logPath );

// Result k of the FFT search: dir/name_00k.pdb.
std::string fftResultPath( const std::string& dir, const std::string& name, int k );
// Result k of the LBFGS fitting (and of the domain programs): dir/name_k.pdb.
std::string fitResultPath( const std::string& dir, const std::string& name, int k );

// Runs a command through the shell, in a process group of its own, and
// waits for it (standard output is flushed first so that messages keep their
// order).  A command that runs longer than programTimeLimit() seconds is
// stopped (its whole process group) with a warning.  A program that ends
// with a status other than 0 or by a signal gets a warning naming it, the
// chain (when given) and the status.  While it runs, an interrupt of the
// assembly stops it (RunInterrupts.hh).  Returns the wait status, or -1 when
// it could not be started or was stopped.
int runCommand( const std::string& command, const std::string& chain = "" );

// How many started programs ended because memory ran out (each says so in
// the notes file of utility/memory_stop.hh that the run names; runCommand
// warns with its line).
int startedProgramMemoryStops();

// File name of the program a command line starts (its first shell word).
std::string programNameOf( const std::string& command );

// Seconds a started program may run unless QUILT_PROGRAM_TIME_LIMIT says
// otherwise: six hours.
constexpr double kDefaultProgramTimeLimit = 6.0 * 3600.0;

// Reads a QUILT_PROGRAM_TIME_LIMIT value: true, with the number in seconds,
// when the text is wholly one positive finite number in decimal notation
// ("90", "1.5", "2e3"), blanks and tabs around it allowed.  Anything else
// ("2h", "1:30", "0", "-5", "inf", "0x10", "") leaves seconds as it was and
// gives false.
bool parseTimeLimitSeconds( const std::string& text, double& seconds );

// Seconds a started program may run: the environment variable
// QUILT_PROGRAM_TIME_LIMIT when parseTimeLimitSeconds reads it, else
// kDefaultProgramTimeLimit.  A value that is set and not empty but cannot be
// read gives the default with a warning that names it, once per run.
double programTimeLimit();

// Whether a result file left by a started program can be used: it holds at
// least one "ATOM" record and every one of them has finite coordinates in
// its columns.  An unusable file is reported with a warning.
bool usableResult( const std::string& path );

// Removes each path that exists as a file (results of an earlier start that
// must not be collected again).
void removeFiles( const std::vector< std::string >& paths );

#endif
