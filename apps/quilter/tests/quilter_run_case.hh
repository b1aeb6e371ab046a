// A Quilter run as a user makes it, on a small synthetic case: three helical
// chains in their true places (chain1.pdb .. chain3.pdb in a data
// directory), a map simulated from them, and a copy of the Quilter program in
// a bin directory beside which the started programs are shell-script
// stand-ins.
#ifndef QUILT_QUILTER_TESTS_QUILTER_RUN_CASE_HH
#define QUILT_QUILTER_TESTS_QUILTER_RUN_CASE_HH

#include "quilter_test_util.hh"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace quilter_test {

// The path as one single-quoted shell word.
inline std::string shq( const std::string& s )
{
	std::string r = "'";
	for ( char c : s ) r += c == '\'' ? std::string( "'\\''" ) : std::string( 1, c );
	return r + "'";
}

// Runs a shell command; its standard output and error go to out.  Returns
// the exit status (-1 when it did not exit).
inline int run_shell( const std::string& cmd, std::string& out )
{
	out.clear();
	FILE* p = ::popen( ( cmd + " 2>&1" ).c_str(), "r" );
	if ( !p ) return -1;
	char buf[ 4096 ];
	std::size_t n;
	while ( ( n = std::fread( buf, 1, sizeof buf, p ) ) > 0 ) out.append( buf, n );
	int const st = ::pclose( p );
	return WIFEXITED( st ) ? WEXITSTATUS( st ) : -1;
}

inline std::string file_text( const std::string& path )
{
	std::ifstream in( path, std::ios::binary );
	std::ostringstream s;
	s << in.rdbuf();
	return s.str();
}

// Stand-ins: the FFT search and the LBFGS fitting return the chain as it
// stands (the chains are given in their true places).
const char* const kRasterseekInPlace = "cp \"$2\" \"$3_001.pdb\"\n";
const char* const kPlacerInPlace = "c=\"$2\"; cp \"$c\" \"${c%.pdb}_1.pdb\"\n";

struct RunCase {
	quilt_test::ScratchDir root{ "quilt run" };
	std::string bin = root.path() + "/bin";
	std::string data;
	std::string map = root.path() + "/map.mrc";
	std::vector< std::string > truth;

	explicit RunCase( const std::string& dataName = "data" ) : data( root.path() + "/" + dataName )
	{
		namespace fs = std::filesystem;
		fs::create_directories( bin );
		fs::create_directories( data );
		fs::copy_file( quilt_test::bin_dir() + "/Quilter", bin + "/Quilter" );
		std::vector< std::vector< Point > > const chains = { helix( 30, 0, 0, 0 ), helix( 24, 13, 0, 4, 1.0 ),
			helix( 18, 0, 13, 8, 2.0 ) };
		for ( std::size_t i = 0; i < chains.size(); ++i ) {
			std::string const f = root.path() + "/true" + std::to_string( i + 1 ) + ".pdb";
			write_chain( f, chains[ i ], static_cast< char >( 'A' + i ) );
			truth.push_back( f );
			fs::copy_file( f, data + "/chain" + std::to_string( i + 1 ) + ".pdb" );
		}
		simulate_map( truth, map );
	}
	void script( const std::string& name, const std::string& body ) { write_script( bin + "/" + name, body ); }
	// Quilter on the case; `before` goes in front of the command (variables,
	// a wrapper), `options` after the resolution.
	int quilter( std::string& out, const std::string& before = "", const std::string& options = "-nco 1" )
	{
		return run_shell( before + shq( bin + "/Quilter" ) + " " + shq( data ) + " " + shq( map ) + " 6 " + options,
			out );
	}
	std::string model( const std::string& name = "segCmodel1.pdb" ) const { return data + "/" + name; }
	// Chains of a model file, as "ATOM" line counts between "TER" lines.
	std::vector< int > chain_sizes( const std::string& name = "segCmodel1.pdb" ) const
	{
		std::ifstream in( model( name ) );
		std::vector< int > sizes;
		int n = 0;
		std::string l;
		while ( std::getline( in, l ) ) {
			if ( l.rfind( "ATOM", 0 ) == 0 ) ++n;
			if ( l == "TER" ) {
				sizes.push_back( n );
				n = 0;
			}
		}
		return sizes;
	}
	// Entries of the data directory other than the inputs and the model.
	std::vector< std::string > leftovers() const
	{
		std::vector< std::string > left;
		for ( auto const& e : std::filesystem::directory_iterator( data ) ) {
			std::string const n = e.path().filename().string();
			if ( n.rfind( "chain", 0 ) == 0 || n == "segCmodel1.pdb" ) continue;
			left.push_back( n );
		}
		return left;
	}
};

// The bold head of the program's error lines.
const std::string kError = "\033[1mERROR!\033[0m ";

inline bool finished( const std::string& out ) { return out.find( "ASSEMBLY FINISHED" ) != std::string::npos; }
inline bool says( const std::string& out, const std::string& text ) { return out.find( text ) != std::string::npos; }

} // namespace quilter_test

#endif
