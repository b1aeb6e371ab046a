// Rasterseek: exhaustive FFT placement of one model in a density map.
// Writes the best poses into the working directory as <name>_00<k>.pdb for
// rank k (<name>_001.pdb .. <name>_009.pdb, then <name>_0010.pdb, ...: "_00"
// and the rank in decimal, the names the assembly program reads back), best
// first, each a line copy of the model with moved coordinates.
#include "apps/siblings/rasterseek_model.hh"
#include "apps/siblings/rasterseek_search.hh"
#include "apps/siblings/sibling_cli.hh"
#include "core/basic_fun_Quilt.hh"
#include "density/FastDensityScore.hh"
#include "utility/memory_stop.hh"
#include "utility/temporary_files.hh"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

namespace {

std::vector< std::string > usage( std::string const& program )
{
	return { "", " Rasterseek: exhaustive FFT search of a model's place in a density map", "",
		" Usage: " + program + " map model.pdb name -res R -deg D -explor N [-nprocs P]", "",
		"   map        density map (MRC/CCP4, 32-bit floats, orthogonal cell)",
		"   model.pdb  model to place (the atoms of its chains, first model)",
		"   name       name of the results, written to the working directory as",
		"              name_00<k>.pdb for rank k, best first: \"_00\" and k in decimal,",
		"              so name_001.pdb .. name_009.pdb, name_0010.pdb .. name_00999.pdb",
		"   -res R     map resolution in Angstrom (required)",
		"   -deg D     orientation step in degrees, in (0, 180]; default 20",
		"   -explor N  most poses to write, 1 to 999; default 1 (fewer when the map",
		"              offers fewer; older results numbered up to N are replaced or removed)",
		"   -nprocs P  worker threads, 1 to 256; default 1", "",
		" Each pose is scored by the local correlation of the model's density with the",
		" map under the model's own footprint, refined, and ranked by the real-space",
		" correlation of the refined pose.",
		" Example: " + program + " map.mrc chainA.pdb A -res 10 -deg 20 -explor 5 -nprocs 4", "" };
}

int fail( std::string const& message )
{
	std::cout << "Error! " << message << std::endl;
	return 1;
}

bool parse_number( char const* text, double& value )
{
	char* end = nullptr;
	errno = 0;
	value = std::strtod( text, &end );
	return end != text && *end == '\0' && errno == 0 && std::isfinite( value );
}

bool parse_count( char const* text, long lo, long hi, long& value )
{
	char* end = nullptr;
	errno = 0;
	value = std::strtol( text, &end, 10 );
	return end != text && *end == '\0' && errno == 0 && value >= lo && value <= hi;
}

int run( int argc, char** argv )
{
	// Results not yet renamed into place go when a signal ends the program.
	utility::install_temporary_file_cleanup();
	utility::MemoryStep step( "reading the command line" );
	siblings::CommandLineForm const form{ { "the density map", "the model", "the result name" },
		{ "-res", "-deg", "-explor", "-nprocs" }, { { "-res", "the resolution" } } };
	int const stop = siblings::check_command_line( argc, argv, form, usage( argv[ 0 ] ), std::cout );
	if ( stop >= 0 ) return stop;
	std::string const mapPath = argv[ 1 ];
	std::string const modelPath = argv[ 2 ];
	std::string const name = argv[ 3 ];
	if ( name.empty() || name.find( '/' ) != std::string::npos )
		return fail( "the result name '" + name + "' must be a plain file name (results go to the working directory)." );

	rasterseek::SearchOptions options;
	options.log = &std::cout;
	// The options stand in checked pairs after the three arguments.  An
	// option given more than once must hold a value it accepts every time,
	// and the first occurrence is the one used, as in the other programs.
	std::vector< std::string > seen;
	for ( int i = 4; i + 1 < argc; i += 2 ) {
		std::string const opt = argv[ i ];
		char const* v = argv[ i + 1 ];
		bool const first = std::find( seen.begin(), seen.end(), opt ) == seen.end();
		seen.push_back( opt );
		double number = 0.0;
		long count = 0;
		if ( opt == "-res" ) {
			if ( !parse_number( v, number ) || !( number > 0.0 ) )
				return fail( std::string( "-res must be a positive number of Angstrom; got '" ) + v + "'." );
			if ( first ) options.resolution = number;
		} else if ( opt == "-deg" ) {
			if ( !parse_number( v, number ) || !( number > 0.0 && number <= 180.0 ) )
				return fail( std::string( "-deg must be a number of degrees in (0, 180]; got '" ) + v + "'." );
			if ( first ) options.angleStep = number;
		} else if ( opt == "-explor" ) {
			if ( !parse_count( v, 1, 999, count ) )
				return fail( std::string( "-explor must be a whole number from 1 to 999; got '" ) + v + "'." );
			if ( first ) options.count = int( count );
		} else {
			if ( !parse_count( v, 1, 256, count ) )
				return fail( std::string( "-nprocs must be a whole number from 1 to 256; got '" ) + v + "'." );
			if ( first ) options.threads = int( count );
		}
	}
	std::vector< std::string > results;
	for ( int k = 1; k <= options.count; ++k ) results.push_back( rasterseek::result_file_name( name, k ) );
	// Results beyond the poses found are removed as stale: they are outputs too.
	if ( !siblings::outputs_spare_inputs( { { "the density map", mapPath }, { "the model", modelPath } },
	         results, std::cout ) )
		return 1;

	auto const t0 = std::chrono::steady_clock::now();
	step.now( "reading the model" );
	std::string error;
	rasterseek::ModelFile model;
	// A FIFO or device would block the reading for ever.
	for ( std::string const& p : { modelPath, mapPath } )
		if ( checkfile( p ) && !isRegularFile( p ) ) return fail( p + " is not a regular file; no result written." );
	if ( !rasterseek::read_model_file( modelPath, model, error ) ) return fail( error + "; no result written." );
	if ( !checkfile( mapPath ) ) return fail( "cannot read the density map " + mapPath + "; no result written." );

	std::cout << "Rasterseek> place '" << modelPath << "' into '" << mapPath << "'" << std::endl;
	step.now( "loading the map" );
	FastDensityScore map;
	if ( !map.readDensityMap( mapPath, options.resolution, 0.0, 0.0, false ) || !map.isLoaded ) {
		utility::throw_if_memory_ran_out(); // no room for the map: the memory line ends the run
		return fail( "the density map " + mapPath + " could not be loaded; no result written." );
	}
	// Without positive density there is nothing for the model to lie on: the
	// best-scoring pose of a negated or empty map means nothing.  The other
	// fitting programs refuse such a map too.
	if ( !map.hasPositiveDensity() )
		return fail( "the density map " + mapPath + " has no positive density; nothing to fit into, no result written." );

	std::vector< rasterseek::Placement > const poses = rasterseek::search_placements( map, model.atoms, options, error );
	if ( poses.empty() ) return fail( error + "; no result written." );
	step.now( "writing the results" );
	if ( !rasterseek::write_results( model, poses, name, options.count, error ) )
		return fail( error + "; no result written." );
	// The names were made before the results: nothing after them needs memory.
	for ( std::size_t k = 0; k < poses.size(); ++k )
		std::cout << "Rasterseek> " << results[ k ] << "  correlation " << poses[ k ].score << std::endl;
	std::cout << "Rasterseek> time: "
	          << std::chrono::duration< double >( std::chrono::steady_clock::now() - t0 ).count() << " s" << std::endl;
	return 0;
}

} // namespace

int main( int argc, char** argv )
{
	// Memory that runs out anywhere, on any thread, ends the run with its own
	// line; the results are written whole or not at all.
	return utility::run_with_memory_stop( "Error!", "no result written.", [&] { return run( argc, argv ); } );
}
