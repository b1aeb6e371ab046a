#include "apps/quilter/StartedPrograms.hh"

#include "apps/quilter/RunInterrupts.hh"
#include "apps/quilter/StringListHelpers.hh"

#include "core/basic_fun_Quilt.hh"
#include "transforms/ModelOutput.hh"
#include "utility/memory_stop.hh"

#include <cerrno>
#include <chrono>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <sys/stat.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

bool silent_GM = true;

namespace {

std::string q( const std::string& s ) { return shell_quote( s ); }
std::string sl() { return std::to_string( silent_GM ? 0 : 1 ); }

int g_memoryStops = 0;

// Size of the memory-stop notes of the run (0 while there are none).
off_t notes_size()
{
	char const* const notes = std::getenv( utility::kMemoryStopNotes );
	struct stat st;
	return notes && ::stat( notes, &st ) == 0 ? st.st_size : 0;
}

// The last note written past `from`, or empty.
std::string note_since( off_t from )
{
	char const* const notes = std::getenv( utility::kMemoryStopNotes );
	if ( !notes ) return std::string();
	std::ifstream in( notes );
	// Nothing past `from` (or no notes file): the reads below find no line.
	in.seekg( from );
	std::string line, last;
	while ( std::getline( in, line ) )
		if ( !line.empty() ) last = line;
	return last;
}

} // namespace

std::string fixedText( double v )
{
	char buf[ 64 ];
	std::snprintf( buf, sizeof buf, "%f", v );
	return buf;
}

std::string placerCommand( const std::string& bindir, const std::string& map, const std::string& chain, double reso,
	double gridWidth, double threshold, int positions )
{
	return q( bindir + "/Placer" ) + " " + q( map ) + " " + q( chain ) + " " + fixedText( reso ) + " -gw " +
	       fixedText( gridWidth ) + " -dc " + fixedText( threshold ) + " -nm " + std::to_string( positions ) +
	       " -sl " + sl() + "  -rc 0";
}

std::string placerOnlyCommand( const std::string& bindir, const std::string& map, const std::string& chain,
	double reso, double gridWidth, double threshold, int positions )
{
	return q( bindir + "/Placer" ) + " " + q( map ) + " " + q( chain ) + " " + fixedText( reso ) + " -gw " +
	       fixedText( gridWidth ) + " -dc " + fixedText( threshold ) + " -nm " + std::to_string( positions ) +
	       " -sl " + sl();
}

std::string placerRNACommand( const std::string& bindir, const std::string& map, const std::string& chain,
	double reso, double gridWidth, double threshold, int positions, const std::string& atomType )
{
	return q( bindir + "/PlacerRNA" ) + " " + q( map ) + " " + q( chain ) + " " + fixedText( reso ) + " -gw " +
	       fixedText( gridWidth ) + " -dc " + fixedText( threshold ) + " -nm " + std::to_string( positions ) +
	       " -sl " + sl() + " -tp " + q( atomType ) + " -rc 0";
}

std::string rasterseekCommand( const std::string& bindir, const std::string& map, const std::string& chain,
	const std::string& resultName, double reso, int results, int processes )
{
	std::string cmd = q( bindir + "/Rasterseek" ) + " " + q( map ) + " " + q( chain ) + " " + q( resultName ) +
	                  " -res " + doubleToString( reso ) + " -deg " + doubleToString( 20.0 ) + " -explor " +
	                  intToString( results );
	if ( processes >= 2 ) cmd += " -nprocs " + intToString( processes );
	return cmd + " >FFTlog.txt";
}

std::string lobeplaceCommand( const std::string& bindir, const std::string& workDir, const std::string& map,
	double reso, const std::string& inputPrefix, double gridWidth, double threshold, const std::string& outputName,
	int iterate, int processes )
{
	return q( bindir + "/Lobeplace" ) + " " + q( workDir ) + " " + q( map ) + " " + fixedText( reso ) + " -in " +
	       q( inputPrefix ) + " -gw " + fixedText( gridWidth ) + " -dc " + fixedText( threshold ) + " -nm " +
	       std::to_string( 1 ) + " \t\t\t\t\t-on " + q( outputName ) + " -sl " + sl() + " -st 1 -it " +
	       std::to_string( iterate ) + " -nco " + std::to_string( processes );
}

std::string lobetuneCommand( const std::string& bindir, const std::string& map, const std::string& model,
	double reso, double gridWidth, double threshold, const std::string& outputName, int similar )
{
	return q( bindir + "/Lobetune" ) + " " + q( map ) + " " + q( model ) + " " + fixedText( reso ) + " -gw " +
	       fixedText( gridWidth ) + " -dc " + fixedText( threshold ) + " -nm " + std::to_string( 1 ) +
	       " \t\t\t\t\t\t-sl " + sl() + " -on " + q( outputName ) + " -sch " + std::to_string( similar );
}

std::string lobetuneGlobalCommand( const std::string& bindir, const std::string& map, const std::string& model,
	double reso, double gridWidth, double threshold, const std::string& outputName, int similar )
{
	return q( bindir + "/Lobetune" ) + " " + q( map ) + " " + q( model ) + " " + fixedText( reso ) + " -gw " +
	       fixedText( gridWidth ) + " -dc " + fixedText( threshold ) + " -nm 1 \t\t\t\t-sl 0 -on " +
	       q( outputName ) + " -sch " + std::to_string( similar );
}

std::string lobecutCommand( const std::string& bindir, const std::string& chainTag, const std::string& logPath )
{
	return q( bindir + "lobecut" ) + " " + q( chainTag ) + " >" + q( logPath );
}

std::string fftResultPath( const std::string& dir, const std::string& name, int k )
{
	return dir + "/" + name + "_00" + std::to_string( k ) + ".pdb";
}

std::string fitResultPath( const std::string& dir, const std::string& name, int k )
{
	return dir + "/" + name + "_" + std::to_string( k ) + ".pdb";
}

bool parseTimeLimitSeconds( const std::string& text, double& seconds )
{
	// Decimal notation only: "2h", "1:30", "0x10", "inf" and "nan" are no
	// number of seconds, though strtod would read a number from each.
	std::size_t const first = text.find_first_not_of( " \t" );
	if ( first == std::string::npos ) return false;
	std::size_t const last = text.find_last_not_of( " \t" );
	std::string const number = text.substr( first, last - first + 1 );
	auto digit = []( char c ) { return c >= '0' && c <= '9'; };
	std::size_t i = 0;
	if ( number[ i ] == '+' || number[ i ] == '-' ) ++i;
	std::size_t digits = 0;
	while ( i < number.size() && digit( number[ i ] ) ) ++i, ++digits;
	if ( i < number.size() && number[ i ] == '.' ) {
		++i;
		while ( i < number.size() && digit( number[ i ] ) ) ++i, ++digits;
	}
	if ( digits == 0 ) return false;
	if ( i < number.size() && ( number[ i ] == 'e' || number[ i ] == 'E' ) ) {
		++i;
		if ( i < number.size() && ( number[ i ] == '+' || number[ i ] == '-' ) ) ++i;
		std::size_t const from = i;
		while ( i < number.size() && digit( number[ i ] ) ) ++i;
		if ( i == from ) return false;
	}
	if ( i != number.size() ) return false;
	double const value = std::strtod( number.c_str(), nullptr );
	// Beyond the doubles (1e999) or rounded to 0 (1e-999): no usable limit.
	if ( !std::isfinite( value ) || !( value > 0.0 ) ) return false;
	seconds = value;
	return true;
}

double programTimeLimit()
{
	double limit = kDefaultProgramTimeLimit;
	char const* const v = std::getenv( "QUILT_PROGRAM_TIME_LIMIT" );
	// An empty value counts as none, as a variable cleared with "VAR=" is
	// meant to.
	if ( !v || !*v || parseTimeLimitSeconds( v, limit ) ) return limit;
	// The same value all run long: said once, not at every started program.
	static bool warned = false;
	if ( !warned ) {
		warned = true;
		std::cout << "Warning! QUILT_PROGRAM_TIME_LIMIT " << quotedText( v )
		          << " is not a positive number of seconds; each started program may run " << limit
		          << " s (the default)." << std::endl;
	}
	return limit;
}

std::string programNameOf( const std::string& command )
{
	// The first shell word, unquoted ('...' and the '\'' of shell_quote).
	std::string word;
	bool quoted = false;
	for ( std::size_t i = 0; i < command.size(); ++i ) {
		char const c = command[ i ];
		if ( c == '\'' ) {
			quoted = !quoted;
		} else if ( c == '\\' && !quoted && i + 1 < command.size() ) {
			word += command[ ++i ];
		} else if ( !quoted && ( c == ' ' || c == '\t' ) ) {
			if ( !word.empty() ) break;
		} else {
			word += c;
		}
	}
	std::size_t const slash = word.find_last_of( '/' );
	return slash == std::string::npos ? word : word.substr( slash + 1 );
}

int startedProgramMemoryStops() { return g_memoryStops; }

int runCommand( const std::string& command, const std::string& chain )
{
	std::cout.flush();
	std::fflush( stdout );
	off_t const notesBefore = notes_size();
	// The interrupt handler must know every started program: no signal
	// between the start and the record of its process id.
	sigset_t blocked, old;
	sigemptyset( &blocked );
	addRunInterruptSignals( blocked );
	::sigprocmask( SIG_BLOCK, &blocked, &old );
	pid_t const pid = ::fork();
	if ( pid < 0 ) {
		::sigprocmask( SIG_SETMASK, &old, nullptr );
		std::cout << "Warning! Cannot start: " << command << std::endl;
		return -1;
	}
	if ( pid == 0 ) {
		// A process group of its own, so that a program that has to be
		// stopped is stopped with everything it started.
		::setpgid( 0, 0 );
		// A signal before the exec must not run the run's handler in this
		// copy of the run.
		resetRunInterruptHandlers();
		::sigprocmask( SIG_SETMASK, &old, nullptr );
		::execl( "/bin/sh", "sh", "-c", command.c_str(), static_cast< char* >( nullptr ) );
		::_exit( 127 );
	}
	::setpgid( pid, pid );
	setInterruptChild( pid );
	::sigprocmask( SIG_SETMASK, &old, nullptr );

	std::string const program = programNameOf( command );
	std::string const onChain = chain.empty() ? std::string() : " on chain '" + chain + "'";
	auto const start = std::chrono::steady_clock::now();
	// Time stopped by Ctrl-Z does not count: the program was stopped too.
	double const stoppedBefore = runStoppedSeconds();
	double const limit = programTimeLimit();
	auto pause = std::chrono::milliseconds( 1 );
	int status = 0;
	while ( true ) {
		pid_t const r = ::waitpid( pid, &status, WNOHANG );
		if ( r == pid ) break;
		if ( r < 0 && errno != EINTR ) {
			setInterruptChild( 0 );
			return -1;
		}
		double const elapsed =
			std::chrono::duration< double >( std::chrono::steady_clock::now() - start ).count() -
			( runStoppedSeconds() - stoppedBefore );
		if ( elapsed > limit ) {
			::kill( -pid, SIGKILL );
			::waitpid( pid, &status, 0 );
			setInterruptChild( 0 );
			std::cout << "Warning! A started program ran longer than " << limit << " s and was stopped: " << program
			          << onChain << " (" << command << ")" << std::endl;
			return -1;
		}
		std::this_thread::sleep_for( pause );
		if ( pause < std::chrono::milliseconds( 100 ) ) pause *= 2;
	}
	setInterruptChild( 0 );
	// The programs answer only through their result files; a failure must
	// still be said, or a refused option reads like a poor fit.
	// The shell reports a program that a signal ended as 128 + the signal.
	int const code = WIFEXITED( status ) ? WEXITSTATUS( status ) : 0;
	int const signal = WIFSIGNALED( status ) ? WTERMSIG( status ) : ( code > 128 && code < 128 + 65 ? code - 128 : 0 );
	if ( signal != 0 )
		std::cout << "Warning! " << program << " was ended by signal " << signal << onChain << "." << std::endl;
	else if ( code == 127 )
		std::cout << "Warning! " << program << " could not be started" << onChain << " (status 127)." << std::endl;
	else if ( code != 0 ) {
		std::string const memory = note_since( notesBefore );
		if ( !memory.empty() ) {
			++g_memoryStops;
			std::cout << "Warning! " << program << " ran out of memory" << onChain << " (status " << code
			          << "): " << memory << "." << std::endl;
		} else {
			std::cout << "Warning! " << program << " ended with status " << code << onChain << "." << std::endl;
		}
	}
	return status;
}

bool usableResult( const std::string& path )
{
	std::string problem;
	bool ok = check_model_atom_lines( path, problem );
	if ( ok ) {
		std::ifstream in( path );
		std::string line;
		ok = false;
		while ( !ok && std::getline( in, line ) ) ok = line.compare( 0, 4, "ATOM" ) == 0;
		if ( !ok ) problem = "it holds no \"ATOM\" record";
	}
	if ( !ok ) std::cout << "Warning! The result file " << path << " cannot be used: " << problem << std::endl;
	return ok;
}

void removeFiles( const std::vector< std::string >& paths )
{
	for ( std::string const& p : paths ) ::unlink( p.c_str() );
}
