// File and path names: the parts of a name, separators, the gzip double
// extension, drive prefixes, versions, parents; and the file-name helpers
// built on them

#include "utility/FileName.hh"
#include "utility/PathName.hh"
#include "utility/string_util.hh"

#include <gtest/gtest.h>

#include <sstream>

using utility::file::FileName;
using utility::file::PathName;

namespace {

std::string written( FileName const & f )
{
	std::ostringstream out;
	out << f;
	return out.str();
}

}

TEST( FileName, PartsOfAName )
{
	FileName const f( "dir\\sub/file.pdb~3" );
	EXPECT_EQ( f.vol(), "" );
	EXPECT_EQ( f.path(), "dir/sub/" );
	EXPECT_EQ( f.base(), "file" );
	EXPECT_EQ( f.extension(), "pdb" );
	EXPECT_EQ( f.version(), "3" );
	EXPECT_EQ( written( f ), "dir/sub/file.pdb~3" );
	EXPECT_TRUE( f.relative() );

	FileName const a( "/data/run1/model.pdb" );
	EXPECT_EQ( a.path(), "/data/run1/" );
	EXPECT_TRUE( a.absolute() );
	EXPECT_EQ( written( a ), "/data/run1/model.pdb" );
}

TEST( FileName, GzipKeepsTheExtensionUnderneath )
{
	FileName const gz( "model.pdb.gz" );
	EXPECT_EQ( gz.base(), "model" );
	EXPECT_EQ( gz.extension(), "pdb.gz" );
	EXPECT_EQ( written( gz ), "model.pdb.gz" );

	FileName const plain_gz( "model.gz" );
	EXPECT_EQ( plain_gz.base(), "model" );
	EXPECT_EQ( plain_gz.extension(), "gz" );

	FileName const upper( "model.GZ" ); // case matters
	EXPECT_EQ( upper.base(), "model" );
	EXPECT_EQ( upper.extension(), "GZ" );

	FileName const three( "a.b.c" ); // only gzip gets two parts
	EXPECT_EQ( three.base(), "a.b" );
	EXPECT_EQ( three.extension(), "c" );
}

TEST( FileName, DrivesPointsAndEmptyParts )
{
	FileName const drive( "D:data.txt" );
	EXPECT_EQ( drive.vol(), "" );
	EXPECT_EQ( drive.path(), "" );
	EXPECT_EQ( drive.base(), "data" );
	EXPECT_EQ( drive.extension(), "txt" );

	FileName const point( "name." );
	EXPECT_EQ( point.base(), "name" );
	EXPECT_EQ( point.extension(), "" );
	EXPECT_EQ( written( point ), "name" );

	FileName const dir( "/a/b/" );
	EXPECT_EQ( dir.path(), "/a/b/" );
	EXPECT_EQ( dir.base(), "" );

	FileName const empty( "" );
	EXPECT_FALSE( empty.absolute() );
	EXPECT_TRUE( empty.relative() );

	FileName const tilde( "x~" );
	EXPECT_EQ( tilde.base(), "x" );
	EXPECT_EQ( tilde.version(), "" );
}

TEST( FileName, SettersEqualityAndInput )
{
	FileName f( "a.pdb" );
	f.path( "one\\two" );
	EXPECT_EQ( f.path(), "one/two/" );
	f.vol( "C:" ); // volumes are not kept
	EXPECT_EQ( f.vol(), "" );
	EXPECT_TRUE( equal( f, FileName( "one/two/a.pdb" ) ) );
	EXPECT_FALSE( equal( f, FileName( "one/two/a.pdb~1" ) ) );
	f.path( "" );
	EXPECT_EQ( f.path(), "" );

	std::istringstream in( "  x/y.map more" );
	FileName g;
	in >> g;
	EXPECT_EQ( g.path(), "x/" );
	EXPECT_EQ( g.base(), "y" );
}

TEST( PathName, StoredWithFinalSlashAndParents )
{
	PathName const p( "a/b/c" );
	EXPECT_EQ( p.path(), "a/b/c/" );
	EXPECT_EQ( p.parent().path(), "a/b/" );
	EXPECT_EQ( p.parent().parent().path(), "a/" );
	EXPECT_EQ( p.parent().parent().parent().path(), "" );
	EXPECT_EQ( PathName( "/" ).parent().path(), "/" );
	EXPECT_EQ( PathName( "/x" ).parent().path(), "/" );
	EXPECT_EQ( PathName( "" ).parent().path(), "" );

	PathName const w( "C:\\data\\maps" );
	EXPECT_EQ( w.path(), "/data/maps/" );
	EXPECT_TRUE( w.absolute() );
	EXPECT_FALSE( PathName( "" ).absolute() );
	EXPECT_TRUE( equal( PathName( "a/b" ), PathName( "a/b/" ) ) );

	std::ostringstream out;
	out << PathName( "q" );
	EXPECT_EQ( out.str(), "q/" );
}

TEST( file_name_parts, BasenameAndPathname )
{
	EXPECT_EQ( utility::file_basename( "/data/run1/model.pdb" ), "model.pdb" );
	EXPECT_EQ( utility::file_basename( "model.pdb.gz" ), "model.pdb.gz" );
	EXPECT_EQ( utility::file_basename( "/data/run1/" ), "" );
	EXPECT_EQ( utility::file_basename( "name~2" ), "name" );
	EXPECT_EQ( utility::filename( "a/b/c.txt~1" ), "c.txt" );

	EXPECT_EQ( utility::pathname( "/data/run1/model.pdb" ), "/data/run1/" );
	EXPECT_EQ( utility::pathname( "model.pdb" ), "" );
	EXPECT_EQ( utility::pathname( "dir\\sub\\model.pdb" ), "dir/sub/" );
}
