// Small file systems of a test's own (tmpfs): a disk that fills up, and a
// second device on which a file can bear the inode number of a file on the
// first, so that a comparison of files by inode alone is caught.  Mounting
// needs the privilege to mount (root, as in CI); where it is refused the
// object is not mounted() and the test skips.
#ifndef QUILT_TESTSUPPORT_SMALL_FILE_SYSTEMS_HH
#define QUILT_TESTSUPPORT_SMALL_FILE_SYSTEMS_HH

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace quilt_test {

// A tmpfs of `size` ("4m") mounted on the directory `at` (made when absent),
// unmounted when the object goes.  Declare it after the scratch directory
// that holds `at`, so that it is unmounted before that directory is removed.
class SmallFileSystem {
public:
	explicit SmallFileSystem( std::string const& at, std::string const& size = "4m" ) : path_( at )
	{
		::mkdir( at.c_str(), 0755 );
		std::string const options = "size=" + size + ",mode=0755";
		mounted_ = ::mount( "tmpfs", at.c_str(), "tmpfs", 0, options.c_str() ) == 0;
	}
	~SmallFileSystem()
	{
		// Detached, so that a file a failed test left open does not keep it.
		if ( mounted_ ) ::umount2( path_.c_str(), MNT_DETACH );
	}
	SmallFileSystem( SmallFileSystem const& ) = delete;
	SmallFileSystem& operator=( SmallFileSystem const& ) = delete;
	bool mounted() const { return mounted_; }
	std::string const& path() const { return path_; }
	std::string file( std::string const& name ) const { return path_ + "/" + name; }

private:
	std::string path_;
	bool mounted_ = false;
};

// Inode number of a path (links followed); 0 when it does not exist.
inline ino_t inode_of( std::string const& path )
{
	struct stat st;
	return ::stat( path.c_str(), &st ) == 0 ? st.st_ino : 0;
}

inline dev_t device_of( std::string const& path )
{
	struct stat st;
	return ::stat( path.c_str(), &st ) == 0 ? st.st_dev : 0;
}

// Makes empty files in dir until one bears inode number `ino` and renames
// it to `name` (the others are removed again).  tmpfs numbers its inodes
// one after another from 1 on each mount, so a fresh file system meets a
// small number of another soon; false when the numbers there have passed
// `ino` already or after `tries` files.
inline bool make_file_with_inode( std::string const& dir, std::string const& name, ino_t ino, int tries = 10000 )
{
	std::vector<std::string> made;
	bool found = false;
	for ( int k = 0; k < tries && !found; ++k ) {
		std::string const f = dir + "/.inode_probe_" + std::to_string( k );
		int const fd = ::open( f.c_str(), O_CREAT | O_EXCL | O_WRONLY, 0644 );
		if ( fd < 0 ) break;
		::close( fd );
		ino_t const got = inode_of( f );
		if ( got == ino ) {
			found = ::rename( f.c_str(), ( dir + "/" + name ).c_str() ) == 0;
			break;
		}
		made.push_back( f );
		if ( got > ino ) break;
	}
	for ( std::string const& f : made ) ::unlink( f.c_str() );
	return found;
}

// Fills the file system that holds dir with one file, `name`, until a write
// is refused for want of space; true when it was (ENOSPC).  A file system of
// a few megabytes fills at once.
inline bool fill_file_system( std::string const& dir, std::string const& name = ".filler" )
{
	std::FILE* f = std::fopen( ( dir + "/" + name ).c_str(), "w" );
	if ( !f ) return errno == ENOSPC;
	std::vector<char> block( 1 << 16, 'x' );
	bool full = false;
	for ( long written = 0; written < ( 1L << 31 ) && !full; written += (long)block.size() )
		full = std::fwrite( block.data(), 1, block.size(), f ) != block.size() || std::fflush( f ) != 0;
	full = full && errno == ENOSPC;
	std::fclose( f );
	// What a last partial block could still take is filled byte by byte.
	if ( full ) {
		int const fd = ::open( ( dir + "/" + name ).c_str(), O_WRONLY | O_APPEND );
		if ( fd >= 0 ) {
			char const c = 'x';
			for ( int k = 0; k < ( 1 << 16 ) && ::write( fd, &c, 1 ) == 1; ++k ) {}
			::close( fd );
		}
	}
	return full;
}

} // namespace quilt_test

#endif
