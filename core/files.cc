// Paths, file tests and file operations through the shell, text helpers and
// number texts.
//
// Every path that goes into a shell command is single-quoted, so blanks,
// quotes and ";" in directory names reach the command as one word.  A
// trailing "/*" stays outside the quotes: callers pass dir + "/*" to act on
// the contents of dir.
#include "core/basic_fun_Quilt.hh"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

std::string shell_quote( const std::string& path )
{
	std::string q = "'";
	for ( char ch : path ) {
		if ( ch == '\'' ) q += "'\\''";
		else q += ch;
	}
	q += "'";
	return q;
}

namespace {

// One path as shell text: quoted, except a trailing "/*" glob.
std::string shell_path( const std::string& path )
{
	if ( path.size() >= 2 && path.compare( path.size() - 2, 2, "/*" ) == 0 ) {
		return shell_quote( path.substr( 0, path.size() - 2 ) ) + "/*";
	}
	return shell_quote( path );
}

int run_shell( const std::string& command )
{
	std::fflush( stdout );
	return std::system( command.c_str() );
}

} // namespace

std::string get_Full_Path( std::string path )
{
	char* resolved = ::realpath( path.c_str(), nullptr );
	// An unresolvable path comes back unchanged, never empty: callers build
	// removal commands from it.
	if ( !resolved ) return path;
	std::string out( resolved );
	std::free( resolved );
	return out;
}

std::string get_directory( std::string path )
{
	std::size_t const pos = path.find_last_of( "/\\" );
	if ( pos == std::string::npos ) return "";
	return path.substr( 0, pos );
}

std::string get_suffix( std::string path )
{
	std::size_t const pos = path.rfind( '.' );
	if ( pos == std::string::npos ) return "";
	return path.substr( pos + 1 );
}

int checkfile( std::string path )
{
	// Opening for reading also succeeds on a directory, which makes this the
	// directory-exists test of makefile.
	// O_NONBLOCK: opening a FIFO for reading would otherwise wait for a
	// writer.
	int const fd = ::open( path.c_str(), O_RDONLY | O_NONBLOCK );
	if ( fd < 0 ) return 0;
	::close( fd );
	return 1;
}

bool isRegularFile( const std::string& path )
{
	struct stat st;
	return ::stat( path.c_str(), &st ) == 0 && S_ISREG( st.st_mode );
}

int changedir( std::string path ) { return ::chdir( path.c_str() ); }

void deletefile( std::string path ) { run_shell( "rm -rf " + shell_path( path ) ); }

void deletedir( std::string path ) { run_shell( "rm -rf " + shell_path( path ) ); }

void copyfile( std::string src, std::string dst )
{
	run_shell( "cp -r " + shell_path( src ) + " " + shell_path( dst ) );
}

bool copyFileChecked( const std::string& src, const std::string& dst, std::string& reason )
{
	int const in = ::open( src.c_str(), O_RDONLY | O_CLOEXEC );
	if ( in < 0 ) {
		reason = std::strerror( errno );
		return false;
	}
	int const out = ::open( dst.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666 );
	if ( out < 0 ) {
		reason = std::strerror( errno );
		::close( in );
		return false;
	}
	bool ok = true;
	char buf[ 65536 ];
	while ( ok ) {
		ssize_t const n = ::read( in, buf, sizeof buf );
		if ( n == 0 ) break;
		if ( n < 0 ) {
			if ( errno == EINTR ) continue;
			reason = std::strerror( errno );
			ok = false;
			break;
		}
		for ( ssize_t done = 0; ok && done < n; ) {
			ssize_t const w = ::write( out, buf + done, static_cast< std::size_t >( n - done ) );
			if ( w < 0 && errno == EINTR ) continue;
			if ( w <= 0 ) {
				reason = std::strerror( w < 0 ? errno : ENOSPC );
				ok = false;
			} else {
				done += w;
			}
		}
	}
	::close( in );
	if ( ::close( out ) != 0 && ok ) {
		reason = std::strerror( errno );
		ok = false;
	}
	return ok;
}

int copydir( std::string src, std::string dst )
{
	return run_shell( "cp -rf " + shell_path( src ) + " " + shell_path( dst ) );
}

int movefile( std::string src, std::string dst )
{
	return run_shell( "mv -f " + shell_path( src ) + " " + shell_path( dst ) );
}

void makefile( std::string path )
{
	if ( checkfile( path ) == 0 ) run_shell( "mkdir " + shell_path( path ) );
}

std::string& replace_all_distinct( std::string& str, const std::string& old_value,
	const std::string& new_value )
{
	if ( old_value.empty() ) {
		// An empty pattern matches everywhere and would never end.
		std::printf( "Warning! replace_all_distinct: empty pattern, text left unchanged.\n" );
		return str;
	}
	std::size_t pos = 0;
	while ( ( pos = str.find( old_value, pos ) ) != std::string::npos ) {
		str.replace( pos, old_value.size(), new_value );
		pos += new_value.size();
	}
	return str;
}

std::string tran_Cap2low( std::string s )
{
	for ( char& ch : s ) {
		if ( ch >= 'A' && ch <= 'Z' ) ch = static_cast< char >( ch - 'A' + 'a' );
	}
	return s;
}

std::string tran_low2Cap( std::string s )
{
	for ( char& ch : s ) {
		if ( ch >= 'a' && ch <= 'z' ) ch = static_cast< char >( ch - 'a' + 'A' );
	}
	return s;
}

std::string tran_chain2low( std::string s )
{
	if ( !s.empty() && s[ 0 ] >= 'A' && s[ 0 ] <= 'Z' ) s[ 0 ] = static_cast< char >( s[ 0 ] - 'A' + 'a' );
	return s;
}

std::string tran_chain2Cap( std::string s )
{
	if ( !s.empty() && s[ 0 ] >= 'a' && s[ 0 ] <= 'z' ) s[ 0 ] = static_cast< char >( s[ 0 ] - 'a' + 'A' );
	return s;
}

namespace {

// New char array holding x in the given format, at least 20 bytes and
// always large enough for the text.
char* format_number( const char* fmt, double x )
{
	int const len = std::snprintf( nullptr, 0, fmt, x );
	std::size_t const size = len + 1 > 20 ? static_cast< std::size_t >( len + 1 ) : 20;
	char* out = new char[ size ]();
	std::snprintf( out, size, fmt, x );
	return out;
}

} // namespace

char* format( double x ) { return format_number( "%10.3f", x ); }
char* format2( double x ) { return format_number( "%10.2f", x ); }
char* format11( double x ) { return format_number( "%1.1f", x ); }
char* format82( double x ) { return format_number( "%8.2f", x ); }
char* format83( double x ) { return format_number( "%8.3f", x ); }

namespace {

std::string read_sequence_lines( const std::string& path, int& headers )
{
	headers = 0;
	std::ifstream in( path );
	if ( !in ) return "";
	std::string seq, line;
	while ( std::getline( in, line ) ) {
		if ( !line.empty() && line.back() == '\r' ) line.pop_back();
		if ( !line.empty() && line[ 0 ] == '>' ) {
			++headers;
			continue;
		}
		seq += line;
	}
	return seq;
}

} // namespace

std::string readSequence( std::string path )
{
	int headers = 0;
	return read_sequence_lines( path, headers );
}

std::string readSequence( std::string path, int& count, std::string out_path )
{
	std::string const seq = read_sequence_lines( path, count );
	if ( count > 1 ) {
		std::ofstream out( out_path );
		if ( out ) out << ">complex\n" << seq << "\n";
	}
	return seq;
}
