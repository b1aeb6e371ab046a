// Index bases, bounds checks and the assertion report of the checked vectors

#include "utility/vectorL.hh"
#include "utility/Exceptions.hh"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <unistd.h>
#include <utility>

using testing::AllOf;
using testing::HasSubstr;
using testing::Not;
using testing::StartsWith;
using utility::vector0;
using utility::vector1;

namespace {

char const * const lower_check = "vectorL_ZeroSelector< L != 0 >::ge( i, l_ )";
char const * const upper_check = "static_cast< size_type >( i - l_ ) < super::size()";

std::string report( char const * condition, int line )
{
	return std::string( "\nERROR: Assertion `" ) + condition + "` failed.\nERROR:: Exit from: utility/vectorL.hh line: "
		+ std::to_string( line ) + "\nBACKTRACE:\n";
}

// Standard output to a file, so the report must carry no colour sequences
void stdout_to_file()
{
	char path[] = "/tmp/vectorL_test_XXXXXX";
	int const fd = mkstemp( path );
	if ( fd < 0 ) std::abort();
	unlink( path );
	std::fflush( stdout );
	dup2( fd, STDOUT_FILENO );
	close( fd );
}

// Standard output to a pseudo-terminal, so the report is coloured
bool stdout_to_terminal()
{
	int const master = posix_openpt( O_RDWR | O_NOCTTY );
	if ( ( master < 0 ) || ( grantpt( master ) != 0 ) || ( unlockpt( master ) != 0 ) ) return false;
	char const * name = ptsname( master );
	if ( ! name ) return false;
	int const slave = open( name, O_RDWR | O_NOCTTY );
	if ( slave < 0 ) return false;
	std::fflush( stdout );
	dup2( slave, STDOUT_FILENO );
	return isatty( STDOUT_FILENO ) != 0;
}

class VectorLDeath : public testing::Test
{
protected:
	// Each death test runs in a freshly started child, so the colour decision
	// is made there, after standard output has been redirected
	void SetUp() override { GTEST_FLAG_SET( death_test_style, "threadsafe" ); }
};

}

TEST( vectorL, IndexBases )
{
	vector1< double > v1( 2, 0.0 );
	v1[ 1 ] = 0.4;
	v1[ 2 ] = 0.6;
	EXPECT_EQ( v1.vector()[ 0 ], 0.4 ); // index 1 is storage position 0
	EXPECT_EQ( v1.vector()[ 1 ], 0.6 );
	EXPECT_EQ( v1.l(), 1 );
	EXPECT_EQ( v1.u(), 2 );

	vector0< double > v0( 3 ); // zero-filled
	for ( std::size_t i = 0; i < v0.size(); ++i ) EXPECT_EQ( v0[ i ], 0.0 );
	v0.push_back( 5.0 );
	EXPECT_EQ( v0[ 3 ], 5.0 );
	EXPECT_EQ( v0.u(), 3 );

	vector1< std::string > tags{ "A", "B" };
	EXPECT_EQ( tags[ 1 ], "A" );
	vector1< std::pair< int, int > > pairs;
	pairs.emplace_back( 3, 4 );
	EXPECT_EQ( pairs[ 1 ].second, 4 );

	utility::vectorL< -2, int > vm{ 7, 8, 9 }; // first index -2
	EXPECT_EQ( vm[ static_cast< std::size_t >( -2 ) ], 7 );
	EXPECT_EQ( vm[ 0 ], 9 );
}

TEST( vectorL, NestedTablesAndCopies )
{
	vector0< vector0< double > > table( 3, vector0< double >( 4, 1.0 ) );
	table[ 2 ][ 3 ] = 2.0;
	vector0< vector0< double > > copy( table );
	copy[ 2 ][ 3 ] = 3.0;
	EXPECT_EQ( table[ 2 ][ 3 ], 2.0 );
	EXPECT_EQ( copy[ 2 ][ 3 ], 3.0 );
	EXPECT_EQ( copy[ 0 ][ 0 ], 1.0 );
	EXPECT_TRUE( table != copy );
}

TEST_F( VectorLDeath, Vector1IndexZeroReportsTheLowerBoundCheck )
{
	vector1< double > v( 2, 0.5 );
	EXPECT_DEATH( { stdout_to_file(); v[ 0 ] = 1.0; },
		AllOf( HasSubstr( report( lower_check, 419 ) ), Not( HasSubstr( "\x1b" ) ),
			HasSubstr( "handle_assert_failure( \"vectorL_ZeroSelector< L != 0 >::ge( i, l_ )\", \"utility/vectorL.hh\", 419 )" ) ) );
	vector1< double > const & c = v;
	EXPECT_DEATH( { stdout_to_file(); (void)c[ 0 ]; },
		AllOf( HasSubstr( report( lower_check, 408 ) ), Not( HasSubstr( "\x1b" ) ) ) );
}

TEST_F( VectorLDeath, IndexPastTheEndReportsTheUpperBoundCheck )
{
	vector1< double > v( 2, 0.5 );
	EXPECT_DEATH( { stdout_to_file(); v[ 3 ] = 1.0; }, HasSubstr( report( upper_check, 420 ) ) );
	vector0< double > w( 2 );
	EXPECT_DEATH( { stdout_to_file(); w[ 2 ] = 1.0; }, HasSubstr( report( upper_check, 420 ) ) );
	vector0< double > const empty;
	EXPECT_DEATH( { stdout_to_file(); (void)empty[ 0 ]; }, HasSubstr( report( upper_check, 409 ) ) );
}

TEST_F( VectorLDeath, ReportIsColouredWhenStandardOutputIsATerminal )
{
	vector1< double > v( 1 );
	EXPECT_DEATH( { if ( ! stdout_to_terminal() ) std::abort(); v[ 0 ] = 1.0; },
		AllOf( StartsWith( "\x1b[0m\x1b[31m\x1b[1m\nERROR: Assertion `" ), HasSubstr( "\x1b[35mBACKTRACE:\n" ) ) );
}

TEST_F( VectorLDeath, OneShotThrowReplacesOnlyTheNextReport )
{
	vector1< double > v( 1 );
	auto throw_then_report = [&]() {
		stdout_to_file();
		utility::set_throw_on_next_assertion_failure();
		try {
			v[ 0 ] = 1.0;
		} catch ( utility::excn::Exception const & e ) {
			std::string const what = e.what();
			std::string const tail = std::string( "assertion failure hit:" ) + lower_check;
			if ( what.size() >= tail.size() && what.compare( what.size() - tail.size(), tail.size(), tail ) == 0 ) {
				std::fputs( "caught the one-shot exception\n", stderr );
			}
		}
		v[ 2 ] = 1.0; // the next failure reports normally
	};
	EXPECT_DEATH( throw_then_report(),
		AllOf( StartsWith( "caught the one-shot exception\n\nERROR: Assertion `" ), HasSubstr( report( upper_check, 420 ) ) ) );
}
