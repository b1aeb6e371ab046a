// Exit routine: callbacks in registration order, the report on standard
// error, the exception it throws, and the one-shot switch

#include "utility/exit.hh"
#include "utility/Exceptions.hh"
#include "utility/backtrace.hh"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>

using testing::HasSubstr;
using testing::Not;

namespace {

std::string calls;

void callback_a() { calls += "A"; }
void callback_b() { calls += "B"; }

// Runs utility::exit and gives the exception's text
std::string exit_text( char const * file, int line, std::string const & message )
{
	try {
		utility::exit( file, line, message, 3 );
	} catch ( utility::UtilityExitException const & e ) {
		return e.what();
	}
	ADD_FAILURE() << "utility::exit returned or threw something else";
	return std::string();
}

// Leaves the callback list as it found it, whatever a test registered
class ExitRoutine : public testing::Test
{
protected:
	void SetUp() override
	{
		saved_ = utility::get_all_exit_callbacks();
		utility::get_all_exit_callbacks().clear();
		calls.clear();
	}
	void TearDown() override { utility::get_all_exit_callbacks() = saved_; }

private:
	std::vector< utility::UtilityExitCallBack > saved_;
};

}

// A wrong order, a missed duplicate or a removal of the wrong entry would change the call string
TEST_F( ExitRoutine, CallbacksRunInRegistrationOrderAndStayRegistered )
{
	utility::add_exit_callback( callback_a );
	utility::add_exit_callback( callback_b );
	utility::add_exit_callback( callback_a );
	testing::internal::CaptureStderr();
	exit_text( "f.cc", 1, "first" );
	EXPECT_EQ( calls, "ABA" );

	utility::remove_exit_callback( callback_a ); // the first A only
	calls.clear();
	exit_text( "f.cc", 2, "second" );
	testing::internal::GetCapturedStderr();
	EXPECT_EQ( calls, "BA" );
	EXPECT_EQ( utility::get_all_exit_callbacks().size(), 2u );

	utility::remove_exit_callback( callback_a );
	utility::remove_exit_callback( callback_a ); // not registered any more: nothing
	ASSERT_EQ( utility::get_all_exit_callbacks().size(), 1u );
	EXPECT_EQ( utility::get_all_exit_callbacks()[ 0 ], &callback_b );

	utility::set_main_exit_callback( callback_a ); // kept, never called by the library
	calls.clear();
	testing::internal::CaptureStderr();
	exit_text( "f.cc", 3, "third" );
	testing::internal::GetCapturedStderr();
	EXPECT_EQ( calls, "B" );
	utility::set_main_exit_callback( nullptr );
}

TEST_F( ExitRoutine, ReportAndExceptionText )
{
	testing::internal::CaptureStderr();
	std::string const what = exit_text( "./src/x.cc", 42, "bad thing" );
	std::string const err = testing::internal::GetCapturedStderr();

	EXPECT_EQ( what, "\n\nFile: ./src/x.cc:42\n[ ERROR ] UtilityExitException\nERROR: bad thing\n\n" );
	EXPECT_THAT( err, HasSubstr( "\nERROR: bad thing\nERROR:: Exit from: ./src/x.cc line: 42\n" ) );
	EXPECT_THAT( err, HasSubstr( "BACKTRACE:\n" ) );
	EXPECT_THAT( err, Not( HasSubstr( "\x1b" ) ) ); // standard output is not a terminal under the test runner
}

// An empty message writes only the "Exit from" line
TEST_F( ExitRoutine, EmptyMessage )
{
	testing::internal::CaptureStderr();
	std::string const what = exit_text( "e.cc", 7, "" );
	std::string const err = testing::internal::GetCapturedStderr();
	EXPECT_EQ( what, "\n\nFile: e.cc:7\n[ ERROR ] UtilityExitException\nERROR: \n\n" );
	EXPECT_EQ( err.find( "ERROR:: Exit from: e.cc line: 7\n" ), 0u );
	EXPECT_THAT( err, Not( HasSubstr( "ERROR: \n" ) ) );
}

TEST_F( ExitRoutine, CondExit )
{
	utility::add_exit_callback( callback_a );
	testing::internal::CaptureStderr();
	EXPECT_TRUE( utility::cond_exit( true, "c.cc", 1, "never", 1 ) );
	EXPECT_THROW( utility::cond_exit( false, "c.cc", 2, "now", 1 ), utility::UtilityExitException );
	std::string const err = testing::internal::GetCapturedStderr();
	EXPECT_EQ( calls, "A" ); // only the failed condition ran the callbacks
	EXPECT_THAT( err, Not( HasSubstr( "never" ) ) );
	EXPECT_THAT( err, HasSubstr( "ERROR: now\n" ) );
}

// With the one-shot switch set, the exit throws the assertion exception and writes nothing
TEST_F( ExitRoutine, OneShotSwitchTurnsTheReportIntoAnException )
{
	utility::set_throw_on_next_assertion_failure();
	testing::internal::CaptureStderr();
	try {
		utility::exit( "s.cc", 5, "stop", 1 );
	} catch ( utility::UtilityExitException const & ) {
		ADD_FAILURE() << "the exit exception came before the one-shot one";
	} catch ( utility::excn::Exception const & e ) {
		EXPECT_THAT( std::string( e.what() ), HasSubstr( "assertion failure hit:\nERROR: stop\nERROR:: Exit from: s.cc line: 5\n" ) );
	}
	EXPECT_EQ( testing::internal::GetCapturedStderr(), "" );

	// The switch is spent: the next exit reports normally
	testing::internal::CaptureStderr();
	EXPECT_THROW( utility::exit( "s.cc", 6, "again", 1 ), utility::UtilityExitException );
	EXPECT_THAT( testing::internal::GetCapturedStderr(), HasSubstr( "ERROR: again" ) );
}
