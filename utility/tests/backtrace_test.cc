// Back-trace line demangling, terminal sequences and exception texts

#include "utility/backtrace.hh"
#include "utility/CSI_Sequence.hh"
#include "utility/Exceptions.hh"

#include <gtest/gtest.h>

#include <sstream>

using namespace utility;

TEST( backtrace, DemanglesGlibcFrameLines )
{
	EXPECT_EQ( demangle_backtrace_line( "./Placer(_ZN7utility15print_backtraceEPKc+0x1f) [0x4005d5]" ),
		"./Placer(utility::print_backtrace(char const*)+0x1f) [0x4005d5]" );
	EXPECT_EQ( demangle_backtrace_line( "./a.out(_Z3fooi+0x5) [0x401000]" ), "./a.out(foo(int)+0x5) [0x401000]" );
}

TEST( backtrace, DemanglesBlankSeparatedFrameLines )
{
	EXPECT_EQ( demangle_backtrace_line( "3   libquilt   0x000000010a _ZN5quilt3runEv + 15" ),
		"3   libquilt   0x000000010a quilt::run() + 15" );
}

TEST( backtrace, LeavesOtherLinesUnchanged )
{
	for ( char const * line : {
			"./Placer(+0x19b7a) [0x55c5027fcb7a]", // no name
			"/lib/x86_64-linux-gnu/libc.so.6(__libc_start_main+0x85) [0x7f0654e45305]", // not mangled
			"./prog(_Znotmangled+0x1) [0x1]", // demangling fails
			"./prog(_ZN3foo [0x1]", // no '+'
			"" } ) {
		EXPECT_EQ( demangle_backtrace_line( line ), line );
	}
}

TEST( CSI_Sequence, TableOfSequences )
{
	EXPECT_EQ( CSI_Sequence( CSI::CSI_Reset ).sequence(), "\x1b[0m" );
	EXPECT_EQ( CSI_Sequence( CSI::CSI_Bold ).sequence(), "\x1b[1m" );
	EXPECT_EQ( CSI_Sequence( CSI::CSI_Underline ).sequence(), "\x1b[4m" );
	EXPECT_EQ( CSI_Sequence( CSI::CSI_Red ).sequence(), "\x1b[31m" );
	EXPECT_EQ( CSI_Sequence( CSI::CSI_Magenta ).sequence(), "\x1b[35m" );
	EXPECT_EQ( CSI_Sequence( CSI::CSI_Default ).sequence(), "\x1b[39m" );
	EXPECT_EQ( CSI_Sequence( CSI::CSI_bgBlack ).sequence(), "\x1b[40m" );
	EXPECT_EQ( CSI_Sequence( CSI::CSI_bgDefault ).sequence(), "\x1b[49m" );
	EXPECT_EQ( CSI_Sequence( CSI::CSI_Nothing ).sequence(), "" );
	EXPECT_EQ( CSI_Sequence( static_cast< CSI::CSI_Enum >( 22 ) ).sequence(), "" );
}

TEST( CSI_Sequence, WrittenOnlyWhenNotSuppressed )
{
	bool & suppress = CSI_Sequence::suppress_CSI_seq();
	EXPECT_EQ( suppress, ! stdout_is_tty() );
	EXPECT_EQ( &suppress, &CSI_Sequence::suppress_CSI_seq() ); // decided once
	bool const saved = suppress;
	std::ostringstream on, off;
	suppress = false;
	on << CSI_Sequence( CSI::CSI_Green ) << "x" << CSI_Sequence( static_cast< CSI::CSI_Enum >( 0 ) );
	suppress = true;
	off << CSI_Sequence( CSI::CSI_Green ) << "x";
	suppress = saved;
	EXPECT_EQ( on.str(), "\x1b[32mx" );
	EXPECT_EQ( off.str(), "x" );
}

TEST( Exceptions, TextNamesFileAndLine )
{
	excn::Exception const e( "x", 7, "m" );
	EXPECT_STREQ( e.what(), "\n\nFile: x:7\nm" );
	EXPECT_STREQ( excn::Exception( "f.cc", -3, "m" ).what(), "\n\nFile: f.cc:-3\nm" );

	std::ostringstream out;
	excn::Exception( "f.cc", 12, "" ).show( out );
	EXPECT_EQ( out.str(), "\n\nFile: f.cc:12\n\n" );

	try {
		throw UtilityExitException( "exit.cc", 40, "[ ERROR ] UtilityExitException\nERROR: bad\n\n" );
	} catch ( excn::Exception const & x ) {
		EXPECT_STREQ( x.what(), "\n\nFile: exit.cc:40\n[ ERROR ] UtilityExitException\nERROR: bad\n\n" );
	}
}

TEST( backtrace, OneShotThrowCarriesTheCondition )
{
	maybe_throw_on_next_assertion_failure( "never" ); // switch clear: nothing happens
	set_throw_on_next_assertion_failure();
	try {
		handle_assert_failure( "a < b", "here.hh", 3 );
		FAIL() << "no exception";
	} catch ( excn::Exception const & e ) {
		EXPECT_STREQ( e.what(), "\n\nFile: ./utility/backtrace.cc:32\nassertion failure hit:a < b" );
	}
	maybe_throw_on_next_assertion_failure( "again" ); // cleared by the throw
}
