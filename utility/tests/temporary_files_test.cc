// The record of temporary files that a signal must not leave behind: what
// is recorded, renamed and removed, and what the clean-up of a program that
// a signal ends removes (in a child process, so that the signal ends only
// the child).
#include "utility/temporary_files.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

bool exists( std::string const& p ) { return ::access( p.c_str(), F_OK ) == 0; }

using quilt_test::in_child;

} // namespace

TEST( TemporaryFiles, MadeRenamedAndRemovedFilesLeaveTheRecord )
{
	quilt_test::ScratchDir dir( "quilt temps" );
	int const before = utility::recorded_temporary_files();
	std::string a = dir.file( "a.pdb.tmpXXXXXX" ), b = dir.file( "b.pdb.tmpXXXXXX" );
	int const fa = utility::make_temporary_file( a ), fb = utility::make_temporary_file( b );
	ASSERT_GE( fa, 0 );
	ASSERT_GE( fb, 0 );
	// Close-on-exec: a program started meanwhile does not keep them open.
	EXPECT_TRUE( ::fcntl( fa, F_GETFD ) & FD_CLOEXEC );
	::close( fa );
	::close( fb );
	EXPECT_NE( a, b );
	EXPECT_TRUE( exists( a ) && exists( b ) );
	EXPECT_EQ( utility::recorded_temporary_files(), before + 2 );

	EXPECT_EQ( utility::rename_temporary_file( a, dir.file( "a.pdb" ) ), 0 );
	EXPECT_TRUE( exists( dir.file( "a.pdb" ) ) );
	EXPECT_EQ( utility::recorded_temporary_files(), before + 1 );

	// A failed rename keeps the file recorded and in place, with the reason.
	EXPECT_EQ( utility::rename_temporary_file( b, dir.file( "no such dir/b.pdb" ) ), -1 );
	EXPECT_EQ( errno, ENOENT );
	EXPECT_TRUE( exists( b ) );
	EXPECT_EQ( utility::recorded_temporary_files(), before + 1 );

	errno = EACCES;
	utility::remove_temporary_file( b );
	EXPECT_EQ( errno, EACCES );
	EXPECT_FALSE( exists( b ) );
	EXPECT_EQ( utility::recorded_temporary_files(), before );

	// A file removed by other means is forgotten, and errno still kept: a
	// caller removes its temporary on a failed write and then reports the
	// write's reason.
	std::string c = dir.file( "c.pdb.tmpXXXXXX" );
	int const fc = utility::make_temporary_file( c );
	ASSERT_GE( fc, 0 );
	::close( fc );
	::unlink( c.c_str() );
	errno = ENOSPC;
	utility::remove_temporary_file( c );
	EXPECT_EQ( errno, ENOSPC );
	EXPECT_EQ( utility::recorded_temporary_files(), before );
	errno = EIO;
	utility::forget_temporary_file( c );
	EXPECT_EQ( errno, EIO );

	// A template that cannot be made is not recorded.
	std::string bad = dir.file( "missing/x.tmpXXXXXX" );
	EXPECT_EQ( utility::make_temporary_file( bad ), -1 );
	EXPECT_EQ( errno, ENOENT );
	EXPECT_EQ( utility::recorded_temporary_files(), before );
}

TEST( TemporaryFiles, ASignalRemovesTheUnfinishedFilesAndKeepsTheFinishedOnes )
{
	quilt_test::ScratchDir dir( "quilt temps" );
	std::string const done = dir.file( "done.pdb" );
	for ( int sig : { SIGTERM, SIGINT, SIGPIPE, SIGUSR2, SIGXFSZ, (int)SIGRTMAX, SIGABRT } ) {
		std::string const listFile = dir.file( "names" );
		int const status = in_child( [ & ] {
			utility::install_temporary_file_cleanup();
			std::ofstream names( listFile );
			for ( int k = 0; k < 100; ++k ) {
				std::string t = dir.file( "r" + std::to_string( k ) + ".pdb.partXXXXXX" );
				int const fd = utility::make_temporary_file( t );
				if ( fd < 0 ) ::_exit( 3 );
				::close( fd );
				names << t << "\n";
				if ( k == 0 && utility::rename_temporary_file( t, done ) != 0 ) ::_exit( 4 );
			}
			names.close();
			::raise( sig );
			::_exit( 5 );
		} );
		if ( sig == SIGABRT ) {
			EXPECT_TRUE( WIFSIGNALED( status ) && WTERMSIG( status ) == SIGABRT ) << status;
		} else {
			EXPECT_TRUE( WIFEXITED( status ) && WEXITSTATUS( status ) == 128 + sig ) << sig << " " << status;
		}
		std::ifstream names( listFile );
		std::string t;
		int seen = 0;
		while ( std::getline( names, t ) ) {
			++seen;
			if ( seen > 1 ) {
				EXPECT_FALSE( exists( t ) ) << "signal " << sig << " left " << t;
			}
		}
		EXPECT_EQ( seen, 100 );
		EXPECT_TRUE( exists( done ) ) << "signal " << sig;
		::unlink( done.c_str() );
	}
}

TEST( TemporaryFiles, ASignalOnAnotherThreadWaitsForARecordBeingChanged )
{
	// Workers make and remove temporary files without pause while the main
	// thread is signalled: the handler sees every record whole, so whatever
	// exists of the workers' files at the end is removed.
	quilt_test::ScratchDir dir( "quilt temps" );
	int const status = in_child( [ & ] {
		utility::install_temporary_file_cleanup();
		std::atomic< long > made{ 0 };
		std::vector< std::thread > workers;
		for ( int w = 0; w < 4; ++w ) {
			workers.emplace_back( [ &, w ] {
				{
					// The signal is for the main thread.
					sigset_t set;
					sigemptyset( &set );
					utility::add_terminating_signals( set );
					pthread_sigmask( SIG_BLOCK, &set, nullptr );
				}
				for ( long k = 0;; ++k ) {
					std::string t = dir.file( "w" + std::to_string( w ) + "_XXXXXX" );
					int const fd = utility::make_temporary_file( t );
					if ( fd >= 0 ) ::close( fd );
					++made;
					if ( k % 2 ) utility::remove_temporary_file( t );
				}
			} );
		}
		while ( made < 4000 ) sched_yield();
		::raise( SIGTERM );
		::_exit( 9 );
	} );
	EXPECT_TRUE( WIFEXITED( status ) && WEXITSTATUS( status ) == 128 + SIGTERM ) << status;
	EXPECT_TRUE( quilt_test::entries( dir.path() ).empty() ) << "files left in " << dir.path();
}
