// Placer's command line (parsePlacerArguments) on any list of arguments
// (the input cut at NUL and newline bytes, at most 16 arguments).  It never
// ends the process; a list it accepts gives a finite positive resolution, a
// pose count from 1 to kMaxPoseCount and finite numbers elsewhere.
#include "apps/placer/PlacerOptions.hh"
#include "fitting/FitModelIntoDensity.hh"
#include "fuzz/FuzzSupport.hh"

#include <cmath>

using namespace quilt_fuzz;

extern "C" int LLVMFuzzerTestOneInput( const uint8_t* data, size_t size )
{
	std::vector< std::string > args = split_arguments( data, size, 16 );
	// Paths are only resolved, never opened; stay out of the file system's
	// slow corners all the same.
	for ( std::string const& a : args )
		if ( ( !a.empty() && a[ 0 ] == '/' ) || a.find( ".." ) != std::string::npos ) return 0;
	std::vector< char* > argv = make_argv( "Placer", args );
	int const argc = static_cast< int >( argv.size() ) - 1;

	PlacerArguments a;
	PlacerCommand cmd = PlacerCommand::Stop;
	int const status = run_guarded( [ & ] { cmd = parsePlacerArguments( argc, argv.data(), a ); } );
	check( status == -1, "parsing the arguments ended the process" );
	check( ( cmd == PlacerCommand::Help ) == ( argc < 2 ), "usage text wanted for the wrong argument count" );
	if ( cmd == PlacerCommand::Incomplete ) check( !a.missing.empty(), "missing arguments not named" );
	if ( cmd != PlacerCommand::Run ) return 0;
	check( std::isfinite( a.resolution ) && a.resolution > 0.0, "resolution not a positive number" );
	check( a.poses >= 1 && a.poses <= kMaxPoseCount, "pose count out of range" );
	check( std::isfinite( a.gridWidth ) && std::isfinite( a.threshold ), "option value not finite" );
	return 0;
}
