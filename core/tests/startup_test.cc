// Process start-up: the executable's directory and the floating-point mode
// are set before main.
#include "core/basic_fun_Quilt.hh"

#include <gtest/gtest.h>

#include <climits>
#include <cstdlib>
#include <unistd.h>

TEST( Startup, BindirIsTheTestProgramsDirectory )
{
	ASSERT_FALSE( bindir.empty() );
	EXPECT_EQ( bindir.back(), '/' );
	EXPECT_EQ( bindir.front(), '/' );
	// The directory holds this very program.
	char buf[ PATH_MAX ];
	ssize_t len = readlink( "/proc/self/exe", buf, sizeof( buf ) - 1 );
	ASSERT_GT( len, 0 );
	std::string const exe( buf, static_cast< std::size_t >( len ) );
	EXPECT_EQ( exe.substr( 0, bindir.size() ), bindir );
	EXPECT_EQ( exe.find( '/', bindir.size() ), std::string::npos );
	EXPECT_EQ( getexepath(), bindir );
}

TEST( Startup, DenormalsAreFlushedToZero )
{
	volatile double tiny = 1e-300;
	volatile double small = 1e-20;
	volatile double product = tiny * small;  // 1e-320 would be subnormal
	EXPECT_EQ( product, 0.0 );
	// A subnormal input reads as zero.
	volatile double denormal_bits = 4.9406564584124654e-324;
	volatile double doubled = denormal_bits * 2.0;
	EXPECT_EQ( doubled, 0.0 );
	volatile float ftiny = 1e-30f;
	volatile float fprod = ftiny * 1e-10f;
	EXPECT_EQ( fprod, 0.0f );
}
