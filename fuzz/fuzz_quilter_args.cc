// The assembly program's command line: readPositionalArguments and
// scanOptions on any list of arguments (the input cut at NUL and newline
// bytes, at most 24 arguments), run in a scratch directory holding a data
// directory "data", a map "map.mrc", a resolution file "reso.txt" (4.5), a
// text file "bad.txt" and a directory "dir.txt".  Arguments that leave the
// scratch directory (an absolute path or "..") are not tried.
//
// Both functions end the process on bad input; the exit hook turns that into
// a status the harness checks: 0 only for the usage text asked for (no
// arguments), otherwise 1.  Settings they return with must be usable.
#include "apps/quilter/CommandLine.hh"
#include "fuzz/FuzzSupport.hh"

#include <cmath>
#include <dirent.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace quilt_fuzz;

namespace {

void make_sandbox()
{
	std::string const dir = scratch_dir();
	::mkdir( ( dir + "/data" ).c_str(), 0755 );
	::mkdir( ( dir + "/dir.txt" ).c_str(), 0755 );
	std::ofstream( dir + "/map.mrc" ) << "not read here\n";
	std::ofstream( dir + "/reso.txt" ) << "4.5\n";
	std::ofstream( dir + "/bad.txt" ) << "about four\n";
	if ( ::chdir( dir.c_str() ) != 0 ) fail( "cannot enter the scratch directory" );
}

int entries( const std::string& dir )
{
	DIR* d = ::opendir( dir.c_str() );
	if ( !d ) return -1;
	int n = 0;
	while ( dirent* e = ::readdir( d ) ) n += e->d_name[ 0 ] != '.';
	::closedir( d );
	return n;
}

bool is_dir( const std::string& p )
{
	struct stat st;
	return ::stat( p.c_str(), &st ) == 0 && S_ISDIR( st.st_mode );
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput( const uint8_t* data, size_t size )
{
	static bool ready = ( make_sandbox(), true );
	(void)ready;
	std::vector< std::string > args = split_arguments( data, size, 24 );
	for ( std::string const& a : args )
		if ( ( !a.empty() && a[ 0 ] == '/' ) || a.find( ".." ) != std::string::npos ) return 0;
	std::vector< char* > argv = make_argv( "Quilter", args );
	int const argc = static_cast< int >( argv.size() ) - 1;
	int const before = entries( scratch_dir() ) + entries( scratch_dir() + "/data" );

	QuilterSettings s;
	int const status = run_guarded( [ & ] {
		readPositionalArguments( argc, argv.data(), s );
		scanOptions( argc, argv.data(), s );
	} );
	check( entries( scratch_dir() ) + entries( scratch_dir() + "/data" ) == before,
	       "reading the command line made or removed files" );
	if ( argc == 1 ) {
		check( status == 0, "no arguments did not end with the usage text" );
		return 0;
	}
	if ( argc <= 3 ) {
		check( status == 1, "missing required arguments did not end with an error" );
		return 0;
	}
	if ( status != -1 ) {
		check( status == 1, "command-line error ended with status " + std::to_string( status ) );
		return 0;
	}
	check( std::isfinite( s.resolution ) && s.resolution >= kMinResolution && s.resolution <= kMaxResolution,
	       "resolution outside [0.1, 20]" );
	check( is_dir( s.dataPath ) && s.dataPath[ 0 ] == '/', "data path not an absolute directory" );
	check( !s.mapPath.empty() && s.mapPath[ 0 ] == '/' && !is_dir( s.mapPath ), "map path not an absolute file" );
	check( s.gridWidth >= 0.0 && s.gridWidth <= 5.0, "grid width outside [0, 5]" );
	check( s.corrCutoff >= 0.0 && s.corrCutoff < 1.0, "correlation cutoff outside [0, 1)" );
	check( s.outputName.size() > 4 && s.outputName.compare( s.outputName.size() - 4, 4, ".pdb" ) == 0
	           && s.outputName.find( '/' ) == std::string::npos,
	       "output name '" + s.outputName + "' is not a file name ending in .pdb" );
	return 0;
}
