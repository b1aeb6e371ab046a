// Inline file provider: standardised names, lookups with their messages,
// black list, removal and the hooks that supply unknown files

#include "utility/inline_file_provider.hh"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

using testing::HasSubstr;
using utility::Inline_File_Provider;

namespace {

std::string rest_of( std::istream & in )
{
	std::ostringstream text;
	text << in.rdbuf();
	return text.str();
}

class CountingHook : public utility::Inline_File_Provider_Hook
{
public:
	bool request_file( std::string const & filename, std::string & result ) override
	{
		asked += filename + ";";
		if ( filename != "made/by/hook.txt" ) return false;
		result = "hook text";
		return true;
	}
	std::string asked;
};

}

TEST( inline_file_provider, StandardisedNames )
{
	EXPECT_EQ( Inline_File_Provider::standardise_filename( "./dir//sub///file" ), "dir/sub/file" );
	EXPECT_EQ( Inline_File_Provider::standardise_filename( "//x" ), "/x" );
	EXPECT_EQ( Inline_File_Provider::standardise_filename( "././x" ), "./x" ); // one "./" only
	EXPECT_EQ( Inline_File_Provider::standardise_filename( "" ), "" );
	EXPECT_EQ( Inline_File_Provider::standardise_filename( "a/" ), "a/" );
}

TEST( inline_file_provider, InputFilesFoundUnderEitherName )
{
	Inline_File_Provider provider;
	testing::internal::CaptureStdout();
	provider.add_input_file( "./a.txt", "alpha\n" );
	std::istream * in = nullptr;
	EXPECT_TRUE( provider.get_istream( "a.txt", in ) );
	ASSERT_NE( in, nullptr );
	EXPECT_EQ( rest_of( *in ), "alpha\n" );
	std::istream * again = nullptr;
	EXPECT_TRUE( provider.get_istream( "./a.txt", again ) );
	EXPECT_EQ( again, in );
	EXPECT_FALSE( provider.file_exists( "b.txt" ) );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_EQ( out,
		"Creating inline input file: './a.txt' = (a.txt)\n"
		"Looking for inline file: 'a.txt'\n"
		"Looking for inline file: 'a.txt'\n"
		"Looking for inline file: 'b.txt'\n" );

	// Removal compares the name exactly as given
	testing::internal::CaptureStdout();
	provider.remove_input_file( "./a.txt" );
	EXPECT_TRUE( provider.file_exists( "a.txt" ) );
	provider.remove_input_file( "a.txt" );
	EXPECT_FALSE( provider.file_exists( "a.txt" ) );
	testing::internal::GetCapturedStdout();

	// The stream handed out stays valid after its entry is gone
	in->clear();
	in->seekg( 0 );
	EXPECT_EQ( rest_of( *in ), "alpha\n" );
}

TEST( inline_file_provider, OutputFilesAndFirstEntryWins )
{
	Inline_File_Provider provider;
	testing::internal::CaptureStdout();
	std::ostream * out = nullptr;
	EXPECT_TRUE( provider.get_ostream( "out//result.pdb", out ) );
	*out << "ATOM\n";
	std::stringstream * found = nullptr;
	EXPECT_TRUE( provider.get_sstream( "out/result.pdb", found ) );
	EXPECT_EQ( found->str(), "ATOM\n" );

	provider.add_input_file( "dup", "one" );
	provider.add_input_file( "dup", "two" );
	std::istream * in = nullptr;
	EXPECT_TRUE( provider.get_istream( "dup", in ) );
	EXPECT_EQ( rest_of( *in ), "one" );

	provider.clear_input_files();
	EXPECT_FALSE( provider.file_exists( "dup" ) );
	EXPECT_TRUE( provider.file_exists( "out/result.pdb" ) ); // output files stay
	std::string const text = testing::internal::GetCapturedStdout();
	EXPECT_THAT( text, HasSubstr( "Creating inline output file: 'out//result.pdb' = (out/result.pdb)\n" ) );

	Inline_File_Provider::Entries const list{ { "x", found } };
	std::stringstream * hit = nullptr;
	EXPECT_TRUE( Inline_File_Provider::find_sstream( list, "x", hit ) );
	EXPECT_EQ( hit, found );
	EXPECT_FALSE( Inline_File_Provider::find_sstream( list, "./x", hit ) ); // no standardisation
}

TEST( inline_file_provider, BlackListAndDirectories )
{
	Inline_File_Provider provider;
	testing::internal::CaptureStdout();
	provider.add_input_file( "d/f", "text" );
	provider.add_black_listed_file( "./d/f" ); // stored as given: not the standardised name
	EXPECT_TRUE( provider.is_black_listed_file( "./d/f" ) );
	EXPECT_TRUE( provider.file_exists( "d/f" ) );
	provider.add_black_listed_file( "d/f" );
	EXPECT_FALSE( provider.file_exists( "./d/f" ) );
	testing::internal::GetCapturedStdout();

	testing::internal::CaptureStdout();
	std::istream * in = nullptr;
	EXPECT_FALSE( provider.get_istream( "d/", in ) );
	EXPECT_FALSE( provider.get_istream( "./", in ) );
	EXPECT_EQ( testing::internal::GetCapturedStdout(), "" ); // refused before any lookup
}

TEST( inline_file_provider, HooksSupplyUnknownFiles )
{
	Inline_File_Provider provider;
	auto const refuser = std::make_shared< CountingHook >();
	provider.add_file_provider_hook( refuser );
	testing::internal::CaptureStdout();
	std::istream * in = nullptr;
	EXPECT_TRUE( provider.get_istream( "./made//by/hook.txt", in ) );
	ASSERT_NE( in, nullptr );
	EXPECT_EQ( rest_of( *in ), "hook text" );
	EXPECT_FALSE( provider.file_exists( "unknown" ) );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_EQ( refuser->asked, "made/by/hook.txt;unknown;" );
	EXPECT_THAT( out, HasSubstr( "Creating inline input file: 'made/by/hook.txt' = (made/by/hook.txt)\n" ) );

	// Registered by the hook: the second lookup does not ask again
	testing::internal::CaptureStdout();
	EXPECT_TRUE( provider.file_exists( "made/by/hook.txt" ) );
	testing::internal::GetCapturedStdout();
	EXPECT_EQ( refuser->asked, "made/by/hook.txt;unknown;" );
}
