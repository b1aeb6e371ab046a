// Paths, file tests, file operations (on awkward directory names, without
// any program of the PATH, and failures with their reasons), text helpers
// and number texts.
#include "core/basic_fun_Quilt.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void touch( const std::string& path, const std::string& text = "x\n" )
{
	std::ofstream out( path );
	out << text;
}

bool exists( const std::string& path )
{
	struct stat st;
	return ::stat( path.c_str(), &st ) == 0;
}

std::string slurp( const std::string& path )
{
	std::ifstream in( path );
	return std::string( std::istreambuf_iterator< char >( in ), {} );
}

} // namespace

TEST( Paths, DirectorySuffixAndName )
{
	EXPECT_EQ( get_directory( "/a/b/c.pdb" ), "/a/b" );
	EXPECT_EQ( get_directory( "c.pdb" ), "" );
	EXPECT_EQ( get_directory( "/c.pdb" ), "" );
	EXPECT_EQ( get_directory( "a\\b" ), "a" );
	EXPECT_EQ( get_suffix( "map.mrc" ), "mrc" );
	EXPECT_EQ( get_suffix( "/x.y/map" ), "y/map" );
	EXPECT_EQ( get_suffix( "map" ), "" );
	EXPECT_EQ( get_name_from_path( "/a/b/model.pdb" ), "model.pdb" );
	EXPECT_EQ( get_name_from_path( "/a/b/" ), "" );
	EXPECT_EQ( get_name_from_path( "model.pdb" ), "model.pdb" );
}

TEST( Paths, FullPathResolvesOrReturnsTheInput )
{
	quilt_test::ScratchDir dir( "core_files" );
	touch( dir.file( "m.pdb" ) );
	char* real = ::realpath( dir.path().c_str(), nullptr );
	ASSERT_NE( real, nullptr );
	std::string const base( real );
	std::free( real );
	EXPECT_EQ( get_Full_Path( dir.path() + "/./sub/../m.pdb" ), dir.path() + "/./sub/../m.pdb" );
	::mkdir( dir.file( "sub" ).c_str(), 0755 );
	EXPECT_EQ( get_Full_Path( dir.path() + "/./sub/../m.pdb" ), base + "/m.pdb" );
	// A path that does not exist comes back unchanged, never empty.
	EXPECT_EQ( get_Full_Path( "/no/such/place" ), "/no/such/place" );
	EXPECT_EQ( get_Full_Path( "" ), "" );
}

TEST( Paths, CheckfileAcceptsFilesAndDirectories )
{
	quilt_test::ScratchDir dir( "core_files" );
	touch( dir.file( "f" ) );
	EXPECT_EQ( checkfile( dir.file( "f" ) ), 1 );
	EXPECT_EQ( checkfile( dir.path() ), 1 );
	EXPECT_EQ( checkfile( dir.file( "missing" ) ), 0 );
	char cwd[ 4096 ];
	ASSERT_NE( ::getcwd( cwd, sizeof( cwd ) ), nullptr );
	EXPECT_EQ( changedir( dir.path() ), 0 );
	EXPECT_NE( changedir( dir.file( "missing" ) ), 0 );
	EXPECT_EQ( changedir( cwd ), 0 );
}

TEST( ShellCommands, AwkwardDirectoryNamesAreOneWord )
{
	quilt_test::ScratchDir scratch( "core_files" );
	// A blank, a quote and a ";" in one name; a sibling that a split command
	// would hit ("a" is what "rm -rf a b'c;d" would remove first).
	std::string const odd = scratch.file( "a b'c;d" );
	std::string const sibling = scratch.file( "a" );
	makefile( sibling );
	touch( sibling + "/keep" );
	makefile( odd );
	ASSERT_TRUE( exists( odd ) );
	EXPECT_FALSE( exists( scratch.file( "b'c" ) ) );
	EXPECT_FALSE( exists( "d" ) );
	touch( odd + "/one.pdb", "one\n" );
	touch( odd + "/two.pdb", "two\n" );

	// Copy a file and a directory into another awkward name.
	std::string const dest = scratch.file( "dest $x `y`" );
	makefile( dest );
	ASSERT_TRUE( exists( dest ) );
	copyfile( odd + "/one.pdb", dest + "/copy.pdb" );
	EXPECT_EQ( slurp( dest + "/copy.pdb" ), "one\n" );
	EXPECT_EQ( copydir( odd, dest + "/tree" ), 0 );
	EXPECT_EQ( slurp( dest + "/tree/two.pdb" ), "two\n" );
	EXPECT_EQ( movefile( dest + "/copy.pdb", dest + "/moved.pdb" ), 0 );
	EXPECT_FALSE( exists( dest + "/copy.pdb" ) );
	EXPECT_TRUE( exists( dest + "/moved.pdb" ) );

	// "/*" empties the directory and leaves it in place.
	deletefile( odd + "/*" );
	EXPECT_TRUE( exists( odd ) );
	EXPECT_FALSE( exists( odd + "/one.pdb" ) );
	EXPECT_FALSE( exists( odd + "/two.pdb" ) );
	deletedir( odd );
	EXPECT_FALSE( exists( odd ) );
	// Nothing else was touched.
	EXPECT_TRUE( exists( sibling + "/keep" ) );
	EXPECT_TRUE( exists( dest + "/tree/one.pdb" ) );
	deletefile( dest + "/moved.pdb" );
	EXPECT_FALSE( exists( dest + "/moved.pdb" ) );
	EXPECT_TRUE( exists( dest + "/tree" ) );
}

TEST( ShellCommands, MakefileLeavesExistingPathsAlone )
{
	quilt_test::ScratchDir scratch( "core_files" );
	touch( scratch.file( "plain" ), "data\n" );
	makefile( scratch.file( "plain" ) );
	EXPECT_EQ( slurp( scratch.file( "plain" ) ), "data\n" );
	// One level only: no parents are made.
	testing::internal::CaptureStderr();
	makefile( scratch.file( "p/q" ) );
	testing::internal::GetCapturedStderr();
	EXPECT_FALSE( exists( scratch.file( "p" ) ) );
	EXPECT_EQ( shell_quote( "it's" ), "'it'\\''s'" );
}

namespace {

// PATH for one scope: the file operations must not need what it holds.
struct PathSetTo {
	std::string old;
	bool had;
	explicit PathSetTo( const char* path )
	{
		const char* p = std::getenv( "PATH" );
		had = p != nullptr;
		if ( had ) old = p;
		::setenv( "PATH", path, 1 );
	}
	~PathSetTo()
	{
		if ( had ) ::setenv( "PATH", old.c_str(), 1 );
		else ::unsetenv( "PATH" );
	}
};

} // namespace

// With no "mkdir" on the PATH the assembly's work directory was never made
// (the shell's "not found" went unread), and the run stopped on the first
// copy into it with "No such file or directory".  Every operation does its
// work by itself, with the meaning of the command it stands for.
TEST( FileOperations, NeedNoProgramOfThePath )
{
	quilt_test::ScratchDir scratch( "core_files" );
	PathSetTo const noPrograms( "/nonexistent" );
	std::string const dir = scratch.file( "work" );
	ASSERT_TRUE( makefile( dir ) );
	struct stat st;
	ASSERT_EQ( ::stat( dir.c_str(), &st ), 0 );
	EXPECT_TRUE( S_ISDIR( st.st_mode ) );
	EXPECT_TRUE( makefile( dir ) );  // there already: left as it is
	touch( dir + "/a.pdb", "a\n" );
	touch( dir + "/.hidden", "h\n" );

	// "cp -r": a file to a name, a file into a directory, a whole tree.
	EXPECT_TRUE( copyfile( dir + "/a.pdb", dir + "/b.pdb" ) );
	EXPECT_EQ( slurp( dir + "/b.pdb" ), "a\n" );
	ASSERT_TRUE( makefile( dir + "/sub" ) );
	EXPECT_TRUE( copyfile( dir + "/a.pdb", dir + "/sub" ) );
	EXPECT_EQ( slurp( dir + "/sub/a.pdb" ), "a\n" );
	EXPECT_TRUE( copyfile( dir + "/sub", scratch.file( "tree" ) ) );
	EXPECT_EQ( slurp( scratch.file( "tree/a.pdb" ) ), "a\n" );
	EXPECT_EQ( copydir( dir + "/sub", scratch.file( "tree" ) ), 0 );  // into it, as "cp -rf" does
	EXPECT_EQ( slurp( scratch.file( "tree/sub/a.pdb" ) ), "a\n" );
	// "mv -f": over a file, into a directory.
	touch( dir + "/c.pdb", "c\n" );
	EXPECT_EQ( movefile( dir + "/b.pdb", dir + "/c.pdb" ), 0 );
	EXPECT_FALSE( exists( dir + "/b.pdb" ) );
	EXPECT_EQ( slurp( dir + "/c.pdb" ), "a\n" );
	EXPECT_EQ( movefile( dir + "/c.pdb", dir + "/sub" ), 0 );
	EXPECT_EQ( slurp( dir + "/sub/c.pdb" ), "a\n" );
	// Across file systems, where the system has another one at hand.
	struct stat shm;
	if ( ::stat( "/dev/shm", &shm ) == 0 && shm.st_dev != st.st_dev && ::access( "/dev/shm", W_OK ) == 0 ) {
		std::string const far = "/dev/shm/" + scratch.path().substr( scratch.path().rfind( '/' ) + 1 );
		EXPECT_EQ( movefile( dir + "/sub", far ), 0 );
		EXPECT_FALSE( exists( dir + "/sub" ) );
		EXPECT_EQ( slurp( far + "/c.pdb" ), "a\n" );
		EXPECT_EQ( movefile( far, dir + "/sub" ), 0 );
		EXPECT_FALSE( exists( far ) );
	}
	EXPECT_EQ( slurp( dir + "/sub/c.pdb" ), "a\n" );

	// "rm -rf dir/*" empties the directory as the glob would (names with a
	// leading "." are no match); "rm -rf" of the directory takes the rest.
	EXPECT_TRUE( deletefile( dir + "/*" ) );
	EXPECT_TRUE( exists( dir ) );
	EXPECT_FALSE( exists( dir + "/a.pdb" ) );
	EXPECT_FALSE( exists( dir + "/sub" ) );
	EXPECT_TRUE( exists( dir + "/.hidden" ) );
	EXPECT_TRUE( deletedir( dir ) );
	EXPECT_FALSE( exists( dir ) );
	// Nothing there is nothing to remove.
	EXPECT_TRUE( deletefile( dir ) );
	EXPECT_TRUE( deletefile( dir + "/*" ) );
}

// A failed operation says so, with the system's reason, and leaves nothing
// half-made behind.
TEST( FileOperations, FailuresComeBackWithTheReason )
{
	quilt_test::ScratchDir scratch( "core_files" );
	touch( scratch.file( "plain" ), "data\n" );
	errno = 0;
	EXPECT_FALSE( makefile( scratch.file( "plain" ) ) );
	EXPECT_EQ( errno, ENOTDIR );
	EXPECT_EQ( slurp( scratch.file( "plain" ) ), "data\n" );
	EXPECT_FALSE( makefile( scratch.file( "p/q" ) ) );  // no parents
	EXPECT_EQ( errno, ENOENT );
	EXPECT_FALSE( exists( scratch.file( "p" ) ) );
	EXPECT_FALSE( makefile( scratch.file( "plain/q" ) ) );
	EXPECT_EQ( errno, ENOTDIR );

	EXPECT_FALSE( copyfile( scratch.file( "none.pdb" ), scratch.file( "x.pdb" ) ) );
	EXPECT_EQ( errno, ENOENT );
	EXPECT_FALSE( exists( scratch.file( "x.pdb" ) ) );
	if ( exists( "/dev/full" ) ) {
		EXPECT_FALSE( copyfile( scratch.file( "plain" ), "/dev/full" ) );
		EXPECT_EQ( errno, ENOSPC );
	}
	// A directory copied into itself would never end.
	ASSERT_TRUE( makefile( scratch.file( "d" ) ) );
	EXPECT_FALSE( copyfile( scratch.file( "d" ), scratch.file( "d/inner" ) ) );
	EXPECT_FALSE( exists( scratch.file( "d/inner" ) ) );
	EXPECT_EQ( movefile( scratch.file( "none.pdb" ), scratch.file( "y.pdb" ) ), -1 );
	EXPECT_EQ( errno, ENOENT );
	EXPECT_FALSE( deletefile( scratch.file( "plain/x" ) ) );
	EXPECT_EQ( errno, ENOTDIR );
	EXPECT_EQ( slurp( scratch.file( "plain" ) ), "data\n" );
}

TEST( Texts, ReplaceAllDistinct )
{
	std::string s = "aaa";
	EXPECT_EQ( replace_all_distinct( s, "a", "aa" ), "aaaaaa" );
	std::string t = "x.y.z";
	replace_all_distinct( t, ".", "" );
	EXPECT_EQ( t, "xyz" );
	// An empty pattern leaves the text alone instead of looping.
	std::string u = "abc";
	testing::internal::CaptureStdout();
	EXPECT_EQ( replace_all_distinct( u, "", "" ), "abc" );
	EXPECT_NE( testing::internal::GetCapturedStdout().find( "Warning!" ), std::string::npos );
}

TEST( Texts, CaseConverters )
{
	EXPECT_EQ( tran_Cap2low( "AbC-1z" ), "abc-1z" );
	EXPECT_EQ( tran_low2Cap( "AbC-1z" ), "ABC-1Z" );
	EXPECT_EQ( tran_chain2low( "AB" ), "aB" );
	EXPECT_EQ( tran_chain2Cap( "ab" ), "Ab" );
	EXPECT_EQ( tran_chain2Cap( "" ), "" );
	std::string const longText( 5000, 'Q' );
	EXPECT_EQ( tran_Cap2low( longText ), std::string( 5000, 'q' ) );
}

TEST( Texts, NumberTexts )
{
	char* a = format( 3.14159 );
	EXPECT_STREQ( a, "     3.142" );
	char* b = format2( -2.5 );
	EXPECT_STREQ( b, "     -2.50" );
	char* c = format11( 0.25 );
	EXPECT_STREQ( c, "0.2" );
	char* d = format82( 1.0 );
	EXPECT_STREQ( d, "    1.00" );
	char* e = format83( 1.0 );
	EXPECT_STREQ( e, "   1.000" );
	// Large values no longer overflow the text.
	char* big = format( 1e30 );
	EXPECT_EQ( std::strlen( big ), 35u );
	EXPECT_EQ( std::string( big ).substr( 0, 4 ), "1000" );
	for ( char* p : { a, b, c, d, e, big } ) delete[] p;
}

TEST( Texts, SmallUtilities )
{
	EXPECT_EQ( trim( "  CA " ), "CA" );
	EXPECT_EQ( trim( "    " ), "" );
	EXPECT_EQ( trim( "\tCA" ), "\tCA" );
	EXPECT_EQ( doubleToString( 3.5 ), "3.5" );
	EXPECT_EQ( doubleToString( 0.125e-6 ), "1.25e-07" );
	EXPECT_EQ( doubleToString( 1234567.0 ), "1.23457e+06" );
	EXPECT_EQ( doubleToString( 20.0 ), "20" );
	EXPECT_EQ( intToString( -7 ), "-7" );
	Set_Env( "QUILT_CORE_TEST_VAR", "v1" );
	Set_Env( "QUILT_CORE_TEST_VAR", "v2" );
	EXPECT_STREQ( std::getenv( "QUILT_CORE_TEST_VAR" ), "v2" );
	testing::internal::CaptureStderr();
	Set_Env( "BAD=NAME", "x" );
	EXPECT_EQ( testing::internal::GetCapturedStderr(), "failed\n" );
}

TEST( Texts, SequenceFiles )
{
	quilt_test::ScratchDir dir( "core_files" );
	touch( dir.file( "one.fasta" ), ">x\nAB\nCD\n" );
	EXPECT_EQ( readSequence( dir.file( "one.fasta" ) ), "ABCD" );
	EXPECT_EQ( readSequence( dir.file( "none.fasta" ) ), "" );
	touch( dir.file( "two.fasta" ), ">a\nAB\n>b\nCD\n" );
	int count = 0;
	EXPECT_EQ( readSequence( dir.file( "two.fasta" ), count, dir.file( "joined.fasta" ) ), "ABCD" );
	EXPECT_EQ( count, 2 );
	EXPECT_EQ( slurp( dir.file( "joined.fasta" ) ), ">complex\nABCD\n" );
	readSequence( dir.file( "one.fasta" ), count, dir.file( "single.fasta" ) );
	EXPECT_EQ( count, 1 );
	EXPECT_FALSE( exists( dir.file( "single.fasta" ) ) );

	get_seq_dat( dir.path(), { "ALA", "GLY" }, 2 );
	EXPECT_EQ( slurp( dir.file( "seq.dat" ) ), "    1   ALA\n    2   GLY\n" );
}

namespace {

// Standard output goes to the stream the death test reads, standard error
// to /dev/null: only what is written to standard output can match.
void quit_with_only_stdout_visible( bool object )
{
	int const err = ::dup( 2 );
	::dup2( err, 1 );
	int const null = ::open( "/dev/null", O_WRONLY );
	::dup2( null, 2 );
	if ( object ) PrintErrorAndQuitS( std::string( "abc" ) );
	PrintErrorAndQuit( "Can not open file: x\n" );
}

} // namespace

TEST( FatalErrors, MessageOnStandardOutputAndStatusOne )
{
	EXPECT_EXIT( quit_with_only_stdout_visible( true ), testing::ExitedWithCode( 1 ), "^abc\n$" );
	EXPECT_EXIT( quit_with_only_stdout_visible( false ), testing::ExitedWithCode( 1 ),
		"^Can not open file: x\n\n$" );
}

TEST( FatalErrors, ClockText )
{
	std::string const t = fa_getSysTime();
	ASSERT_EQ( t.size(), 8u );
	for ( char ch : t ) EXPECT_TRUE( ch >= '0' && ch <= '9' );
	EXPECT_LE( std::stoi( t.substr( 0, 2 ) ), 60 );
}

// Catches a copy that fails in silence or with a generic reason: a full
// disk (/dev/full) is named as such, a missing source too, and a copy that
// works is byte for byte the source.
TEST( CheckedCopy, CopiesOrSaysWhyNot )
{
	quilt_test::ScratchDir scratch( "core_files" );
	std::string text;
	for ( int i = 0; i < 20000; ++i ) text += "ATOM line " + std::to_string( i ) + "\n";  // several buffers
	touch( scratch.file( "in.pdb" ), text );
	std::string reason;
	ASSERT_TRUE( copyFileChecked( scratch.file( "in.pdb" ), scratch.file( "out.pdb" ), reason ) ) << reason;
	EXPECT_EQ( slurp( scratch.file( "out.pdb" ) ), text );
	// Over a longer file: truncated first.
	touch( scratch.file( "short.pdb" ), "x\n" );
	ASSERT_TRUE( copyFileChecked( scratch.file( "short.pdb" ), scratch.file( "out.pdb" ), reason ) );
	EXPECT_EQ( slurp( scratch.file( "out.pdb" ) ), "x\n" );
	if ( exists( "/dev/full" ) ) {
		EXPECT_FALSE( copyFileChecked( scratch.file( "in.pdb" ), "/dev/full", reason ) );
		EXPECT_EQ( reason, std::strerror( ENOSPC ) );
	}
	EXPECT_FALSE( copyFileChecked( scratch.file( "none.pdb" ), scratch.file( "x.pdb" ), reason ) );
	EXPECT_EQ( reason, std::strerror( ENOENT ) );
	EXPECT_FALSE( exists( scratch.file( "x.pdb" ) ) );
}
