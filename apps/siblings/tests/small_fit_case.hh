// A small case for runs of the sibling programs as a user makes them: a
// helical CA chain and a map simulated from it in a scratch directory whose
// path holds a blank, the programs started through the shell from there.
#ifndef QUILT_SIBLINGS_TESTS_SMALL_FIT_CASE_HH
#define QUILT_SIBLINGS_TESTS_SMALL_FIT_CASE_HH

#include "apps/quilter/tests/quilter_run_case.hh"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace sibling_case {

using quilter_test::file_text;
using quilter_test::says;
using quilter_test::shq;

struct SmallFitCase {
	quilt_test::ScratchDir root{ "quilt sibling case" };
	std::string dir = root.file( "data dir" );
	std::string chain = dir + "/chain.pdb", map = dir + "/map.mrc";

	SmallFitCase()
	{
		std::filesystem::create_directories( dir );
		quilter_test::write_chain( chain, quilter_test::helix( 30, 0, 0, 0 ), 'A' );
		quilter_test::simulate_map( { chain }, map );
	}
	std::string file( std::string const& name ) const { return dir + "/" + name; }
	// The program of build/bin as a shell word, its run bounded.
	static std::string program( std::string const& name )
	{
		return "timeout 600 " + shq( quilt_test::bin_dir() + "/" + name );
	}
	// Runs `command` in the case directory; out gets its standard output and
	// error.  Returns the exit status.
	int run( std::string const& command, std::string& out ) const
	{
		return quilter_test::run_shell( "cd " + shq( dir ) + " && " + command, out );
	}
	// Names in the case directory, sorted.
	std::vector<std::string> names() const
	{
		std::vector<std::string> out;
		for ( auto const& e : std::filesystem::directory_iterator( dir ) ) out.push_back( e.path().filename().string() );
		std::sort( out.begin(), out.end() );
		return out;
	}
};

} // namespace sibling_case

#endif
