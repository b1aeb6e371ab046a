// The tests' scratch directories are removed whole when a test ends, also
// when their names hold what a shell would read as quoting or commands,
// and never by following a symbolic link out of them.
#include "testsupport/test_data.hh"

#include <fstream>

namespace {

void write_file( std::string const& path )
{
	std::ofstream out( path );
	out << "x\n";
}

TEST( ScratchDir, RemovesItsTreeWhateverItsName )
{
	// Names a shell command would not parse, or would run something from.
	for ( std::string const& tag : { std::string( "quilt q'x;$(touch y)" ), std::string( "quilt \"a b\" `c`" ),
	                                std::string( "quilt -rf ;* " ) } ) {
		std::string path;
		std::string outside;
		{
			quilt_test::ScratchDir keep( "quilt_keep" );
			outside = keep.file( "target" );
			write_file( outside );
			{
				quilt_test::ScratchDir dir( tag );
				path = dir.path();
				ASSERT_FALSE( path.empty() ) << tag;
				ASSERT_EQ( ::mkdir( dir.file( "sub" ).c_str(), 0700 ), 0 );
				ASSERT_EQ( ::mkdir( dir.file( "sub/deeper" ).c_str(), 0700 ), 0 );
				write_file( dir.file( "sub/deeper/file.pdb" ) );
				write_file( dir.file( ".hidden" ) );
				ASSERT_EQ( ::symlink( outside.c_str(), dir.file( "link" ).c_str() ), 0 );
				ASSERT_EQ( ::symlink( keep.path().c_str(), dir.file( "dirlink" ).c_str() ), 0 );
			}
			EXPECT_FALSE( quilt_test::path_exists( path ) ) << tag << " was left behind";
			// The links were removed, not what they point to.
			EXPECT_TRUE( quilt_test::path_exists( outside ) ) << tag;
		}
		EXPECT_FALSE( quilt_test::path_exists( outside ) );
	}
	// Nothing a shell would have run from the names.
	EXPECT_FALSE( quilt_test::path_exists( "y" ) );
}

} // namespace
