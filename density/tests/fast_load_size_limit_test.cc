// The fast reader's tolerance for bytes between the header and the data that
// the header does not account for: up to 1048575 bytes before the data
// (header included) it reads on with a warning, one byte more and it refuses
// the file.  Pinned at the boundary, where a "<" for "<=" would show.
#include "density/FastDensityScore.hh"
#include "density/tests/dmap_test_util.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <string>

namespace {

bool load_with_gap( long gap, std::string& out )
{
	quilt_test::ScratchDir dir( "fastgap" );
	dmap_test::CraftMrc c;
	c.values.assign( 8, 1.0 );
	c.sym_bytes = gap;  // unannounced bytes (NSYMBT stays 0)
	c.write( dir.file( "m.mrc" ) );
	FastDensityScore map;
	testing::internal::CaptureStdout();
	bool const ok = map.readDensityMap( dir.file( "m.mrc" ), 6.0, 0.0, 0.0, true );
	out = testing::internal::GetCapturedStdout();
	return ok;
}

} // namespace

TEST( FastLoadSizeLimit, DataStartingAtByte1048575IsReadWithAWarning )
{
	std::string out;
	EXPECT_TRUE( load_with_gap( 1048575 - 1024, out ) );
	EXPECT_NE( out.find( "File is larger than expected" ), std::string::npos ) << out;
}

TEST( FastLoadSizeLimit, OneByteMoreIsRefused )
{
	std::string out;
	EXPECT_FALSE( load_with_gap( 1048576 - 1024, out ) );
	EXPECT_NE( out.find( "File is MUCH larger than expected" ), std::string::npos ) << out;
}
