// Paths, file tests, file operations, text helpers and number texts.
//
// The file operations keep the meaning of the shell commands they stand for
// ("mkdir", "rm -rf", "cp -r", "cp -rf", "mv -f") but make the system calls
// themselves: a run must not depend on which programs the PATH holds, and a
// failure has to come back with the system's reason (in errno) instead of a
// shell message and a status nobody reads.  A path that ends in "/*" stands
// for the entries of the directory before it, as the shell's glob would
// (names beginning with "." are not among them).
#include "core/basic_fun_Quilt.hh"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <dirent.h>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <limits.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

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

// The directory whose entries "dir/*" names; false for any other path.
bool entries_of( const std::string& path, std::string& dir )
{
	if ( path.size() < 2 || path.compare( path.size() - 2, 2, "/*" ) != 0 ) return false;
	dir = path.substr( 0, path.size() - 2 );
	if ( dir.empty() ) dir = "/";
	return true;
}

// The paths a "/*" path stands for (the path itself otherwise).  A
// directory that cannot be listed stands for nothing, as a glob that
// matches nothing; errno tells why when it exists.
bool expand( const std::string& path, std::vector< std::string >& out )
{
	std::string dir;
	if ( !entries_of( path, dir ) ) {
		out.push_back( path );
		return true;
	}
	DIR* d = ::opendir( dir.c_str() );
	if ( !d ) return errno == ENOENT || errno == ENOTDIR;
	std::string const head = dir == "/" ? dir : dir + "/";
	while ( dirent* e = ::readdir( d ) ) {
		if ( e->d_name[ 0 ] == '.' ) continue;
		out.push_back( head + e->d_name );
	}
	::closedir( d );
	return true;
}

// Does `op` on every path `path` stands for; true when each succeeded,
// else false with errno from the first that failed.  With `needOne` a "/*"
// that stands for nothing is a failure too (ENOENT), as "cp" and "mv" give
// for a glob that matches nothing.
template < class Op >
bool each_path( const std::string& path, bool needOne, Op op )
{
	std::vector< std::string > paths;
	if ( !expand( path, paths ) ) return false;
	if ( needOne && paths.empty() ) {
		errno = ENOENT;
		return false;
	}
	bool ok = true;
	int firstError = 0;
	for ( std::string const& p : paths ) {
		if ( op( p ) ) continue;
		if ( ok ) firstError = errno;
		ok = false;
	}
	if ( !ok ) errno = firstError;
	return ok;
}

bool fail_with( std::error_code const& ec )
{
	errno = ec.value() != 0 ? ec.value() : EIO;
	return false;
}

// "rm -rf" of one path: the tree is removed, symbolic links themselves (not
// what they point to); a path that is not there is no failure.
bool remove_tree( const std::string& path )
{
	std::error_code ec;
	fs::remove_all( path, ec );
	if ( ec && ec != std::errc::no_such_file_or_directory ) return fail_with( ec );
	return true;
}

bool remove_paths( const std::string& path ) { return each_path( path, false, remove_tree ); }

// The bytes of src over dst (made with `mode` when new, truncated when
// not); on failure false with the system's error number in `error`, and
// `refused` true when it was the opening of dst that failed.
bool copy_bytes( const std::string& src, const std::string& dst, mode_t mode, int& error, bool& refused )
{
	refused = false;
	int const in = ::open( src.c_str(), O_RDONLY | O_CLOEXEC );
	if ( in < 0 ) {
		error = errno;
		return false;
	}
	int const out = ::open( dst.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode );
	if ( out < 0 ) {
		error = errno;
		refused = true;
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
			error = errno;
			ok = false;
			break;
		}
		for ( ssize_t done = 0; ok && done < n; ) {
			ssize_t const w = ::write( out, buf + done, static_cast< std::size_t >( n - done ) );
			if ( w < 0 && errno == EINTR ) continue;
			if ( w <= 0 ) {
				error = w < 0 ? errno : ENOSPC;
				ok = false;
			} else {
				done += w;
			}
		}
	}
	::close( in );
	if ( ::close( out ) != 0 && ok ) {
		error = errno;
		ok = false;
	}
	return ok;
}

// Where "cp" or "mv" puts src given dst: inside dst when dst is a
// directory, else dst itself.
fs::path destination_of( const std::string& src, const std::string& dst )
{
	std::error_code ec;
	if ( !fs::is_directory( dst, ec ) ) return dst;
	fs::path name = fs::path( src ).filename();
	if ( name.empty() ) name = fs::path( src ).parent_path().filename();
	return fs::path( dst ) / name;
}

// "cp -r" (and with force "cp -rf") of one path to the place it takes (see
// destination_of): a file's bytes over what is there, a directory with
// everything below it; symbolic links inside a copied directory stay links.
// With force, a destination file that cannot be opened for writing is
// removed and the copy made anew (one that opens and then fails, as a full
// disk or a device, stays).  A directory copy that fails leaves no part-copied tree
// where nothing was before.
bool copy_one( const std::string& src, const fs::path& target, bool force )
{
	std::error_code ec;
	fs::file_status const st = fs::status( src, ec );
	if ( ec ) return fail_with( ec );
	if ( fs::is_directory( st ) ) {
		// A directory copied into itself would never end ("cp" refuses it too).
		std::string const from = fs::weakly_canonical( src, ec ).string();
		std::string const to = fs::weakly_canonical( target, ec ).string();
		if ( to == from || to.compare( 0, from.size() + 1, from + "/" ) == 0 ) {
			errno = EINVAL;
			return false;
		}
		bool const existed = fs::exists( fs::symlink_status( target, ec ) );
		fs::copy( src, target,
			fs::copy_options::recursive | fs::copy_options::overwrite_existing | fs::copy_options::copy_symlinks, ec );
		if ( !ec ) return true;
		if ( !existed ) {
			std::error_code ignored;
			fs::remove_all( target, ignored );
		}
		return fail_with( ec );
	}
	// A new file takes the source's permission bits, as "cp" gives it.
	struct stat info;
	mode_t const mode = ::stat( src.c_str(), &info ) == 0 ? ( info.st_mode & 0777 ) : 0666;
	int error = 0, again = 0;
	bool refused = false;
	if ( copy_bytes( src, target.string(), mode, error, refused ) ) return true;
	if ( force && refused && error != ENOENT && ::unlink( target.c_str() ) == 0 &&
	     copy_bytes( src, target.string(), mode, again, refused ) )
		return true;
	errno = error;
	return false;
}

bool copy_paths( const std::string& src, const std::string& dst, bool force )
{
	return each_path( src, true, [ & ]( const std::string& p ) { return copy_one( p, destination_of( p, dst ), force ); } );
}

// "mv -f" of one path: a rename, or across file systems a copy, removed
// again when it fails, after which the source is removed.
bool move_one( const std::string& src, const std::string& dst )
{
	fs::path const target = destination_of( src, dst );
	if ( std::rename( src.c_str(), target.c_str() ) == 0 ) return true;
	if ( errno != EXDEV ) return false;
	struct stat st;
	if ( ::lstat( src.c_str(), &st ) != 0 ) return false;
	std::error_code ec;
	if ( S_ISLNK( st.st_mode ) ) {
		fs::remove( target, ec );
		fs::copy_symlink( src, target, ec );
		if ( ec ) return fail_with( ec );
	} else if ( !copy_one( src, target, true ) ) {
		int const reason = errno;
		if ( !S_ISDIR( st.st_mode ) ) ::unlink( target.c_str() );
		errno = reason;
		return false;
	}
	return remove_tree( src );
}

} // namespace

std::string get_Full_Path( std::string path )
{
	char* resolved = ::realpath( path.c_str(), nullptr );
	// An unresolvable path comes back unchanged, never empty: callers build
	// the paths of files to remove from it.
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

bool deletefile( std::string path ) { return remove_paths( path ); }

bool deletedir( std::string path ) { return remove_paths( path ); }

bool copyfile( std::string src, std::string dst ) { return copy_paths( src, dst, false ); }

bool copyFileChecked( const std::string& src, const std::string& dst, std::string& reason )
{
	int error = 0;
	bool refused = false;
	if ( copy_bytes( src, dst, 0666, error, refused ) ) return true;
	reason = std::strerror( error );
	return false;
}

int copydir( std::string src, std::string dst ) { return copy_paths( src, dst, true ) ? 0 : -1; }

int movefile( std::string src, std::string dst )
{
	return each_path( src, true, [ & ]( const std::string& p ) { return move_one( p, dst ); } ) ? 0 : -1;
}

bool makefile( std::string path )
{
	// One level, as "mkdir" without options; what exists already is left
	// as it is.
	if ( checkfile( path ) == 0 && ::mkdir( path.c_str(), 0777 ) != 0 && errno != EEXIST ) return false;
	struct stat st;
	if ( ::stat( path.c_str(), &st ) != 0 ) return false;
	if ( !S_ISDIR( st.st_mode ) ) {
		errno = ENOTDIR;
		return false;
	}
	return true;
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
