// The result writers when memory runs out while they write: whatever
// allocation fails, the exception leaves neither a result nor a temporary
// file behind, and an earlier result of the same name stays as it was.
// Every allocation of the writing is failed in turn (the test hook of
// utility/memory_stop.hh), until the writing gets through.
#include "apps/siblings/chain_model.hh"
#include "apps/siblings/rasterseek_model.hh"
#include "apps/siblings/sibling_cli.hh"
#include "apps/siblings/tests/rasterseek_test_files.hh"
#include "testsupport/test_data.hh"
#include "utility/memory_stop.hh"

#include <gtest/gtest.h>

#include <fstream>
#include <functional>
#include <new>
#include <unistd.h>

using rasterseek_test::entries;
using rasterseek_test::lines_of;

namespace {

std::string const kModel =
	"ATOM      1  N   ALA A   1      11.104   6.134  -6.504  1.00  0.00           N\n"
	"ATOM      2  CA  ALA A   1      11.639   6.071  -5.147  1.00  0.00           C\n"
	"ATOM      3  C   ALA A   1      13.149   5.910  -5.120  1.00  0.00           C\n"
	"ATOM      4  CA  ALA A   2      14.000   7.000  -4.000  1.00  0.00           C\n"
	"END\n";

// Runs write() with the n-th allocation of its step failing, for n = 0, 1,
// ... until it gets through; after every failure the directory must hold
// what it held before.  Returns the number of failures met.
int fail_each_allocation( std::string const& dir, std::function<bool()> const& write )
{
	std::vector<std::string> const before = entries( dir );
	std::vector<std::string> const earlier = lines_of( dir + "/earlier.pdb" );
	int failures = 0;
	bool through = false;
	for ( long n = 0; n < 20000; ++n ) {
		utility::forget_allocation_failure();
		utility::fail_allocation_in_step( "writing the results", n );
		bool threw = false;
		bool ok = false;
		try {
			utility::MemoryStep const step( "writing the results" );
			ok = write();
		} catch ( std::bad_alloc const& ) {
			threw = true;
		}
		utility::fail_allocation_in_step( nullptr, -1 );
		if ( !threw ) {
			EXPECT_TRUE( ok );
			through = true;
			break;
		}
		++failures;
		EXPECT_EQ( entries( dir ), before ) << "allocation " << n;
		EXPECT_EQ( lines_of( dir + "/earlier.pdb" ), earlier ) << "allocation " << n;
	}
	utility::forget_allocation_failure();
	EXPECT_TRUE( through ) << "the writing never got through";
	return failures;
}

class WritersOutOfMemory : public testing::Test {
protected:
	void SetUp() override
	{
		if ( !utility::allocation_failures_injectable() ) GTEST_SKIP() << "the sanitizer's allocator is in use";
		std::ofstream( dir.file( "m.pdb" ).c_str() ) << kModel;
		std::ofstream( dir.file( "earlier.pdb" ).c_str() ) << "an earlier result\n";
	}
	quilt_test::ScratchDir dir{ "quilt memory stops" };
};

} // namespace

// Catches the temporaries of Rasterseek's results left behind when memory
// runs out between making a temporary and recording it, or while a result
// is copied.
TEST_F( WritersOutOfMemory, RasterseekResultsAreWrittenWholeOrNotAtAll )
{
	rasterseek::ModelFile m;
	std::string error;
	ASSERT_TRUE( rasterseek::read_model_file( dir.file( "m.pdb" ), m, error ) ) << error;
	rasterseek::Placement p;
	for ( int i = 0; i < 3; ++i )
		for ( int j = 0; j < 3; ++j ) p.u[i][j] = i == j ? 1.0 : 0.0;
	p.t[0] = 1.0;
	p.t[1] = p.t[2] = 0.0;
	char cwd[4096];
	ASSERT_TRUE( ::getcwd( cwd, sizeof cwd ) );
	ASSERT_EQ( ::chdir( dir.path().c_str() ), 0 );
	int const failures = fail_each_allocation( dir.path(), [&] {
		// The result names are those of an earlier run, which must stay.
		return rasterseek::write_results( m, { p, p }, "earlier", 2, error );
	} );
	ASSERT_EQ( ::chdir( cwd ), 0 );
	EXPECT_GT( failures, 2 );
	EXPECT_EQ( entries( dir.path() ),
		( std::vector<std::string>{ "earlier.pdb", "earlier_001.pdb", "earlier_002.pdb", "m.pdb" } ) );
}

// Catches the temporaries of the other programs' results (ResultWriter) left
// behind when memory runs out while a result is made or recorded.
TEST_F( WritersOutOfMemory, ResultWriterLeavesNoTemporary )
{
	siblings::ChainModel model;
	std::string error;
	ASSERT_TRUE( siblings::read_chain_model( dir.file( "m.pdb" ), model, error ) ) << error;
	std::vector<siblings::Vec3> moved = model.xyz;
	for ( auto& x : moved ) x[0] += 2.0;
	int const failures = fail_each_allocation( dir.path(), [&] {
		siblings::ResultWriter writer;
		return writer.add_moved( model, dir.file( "earlier.pdb" ), moved ) &&
		       writer.add_copy( dir.file( "m.pdb" ), dir.file( "copy.pdb" ) ) && writer.commit();
	} );
	EXPECT_GT( failures, 2 );
	EXPECT_EQ( entries( dir.path() ), ( std::vector<std::string>{ "copy.pdb", "earlier.pdb", "m.pdb" } ) );
	EXPECT_EQ( lines_of( dir.file( "copy.pdb" ) ), lines_of( dir.file( "m.pdb" ) ) );
	EXPECT_NE( lines_of( dir.file( "earlier.pdb" ) ), std::vector<std::string>{ "an earlier result" } );
}
