// Lobeplace: places a chain into a density map by its domains.  The chain
// is read from <workdir>/<in>1.pdb; each domain is placed by the FFT search
// and refined, and the chain is written with every domain moved by its own
// fit as <workdir>/<on without .pdb>1.pdb (then 2, 3, ... up to "-nm"),
// best first, each a line copy of the input.
#include "apps/siblings/lobe_place.hh"
#include "apps/siblings/placement.hh"
#include "apps/siblings/sibling_cli.hh"
#include "utility/memory_stop.hh"
#include "utility/temporary_files.hh"

#include <iostream>
#include <string>
#include <vector>

using namespace siblings;

namespace {

int run( int argc, char** argv )
{
	// Results not yet renamed into place go when a signal ends the program.
	utility::install_temporary_file_cleanup();
	utility::MemoryStep step( "reading the command line" );
	CommandLineForm const form{ { "the work directory", "the density map", "the resolution" },
		{ "-in", "-on", "-gw", "-dc", "-nm", "-sl", "-st", "-it", "-nco" },
		{ { "-in", "the input prefix" }, { "-on", "the output name" } } };
	int const stop = check_command_line( argc, argv, form,
		{ "", " Lobeplace: place a chain into a density map domain by domain", "",
			" Usage: Lobeplace workdir map resolution -in <prefix> -on <name.pdb> [Options]", "",
			"   the chain is read from workdir/<prefix>1.pdb; the results are written to",
			"   workdir/<name without .pdb>1.pdb, 2, ... best first", "", " Options:",
			"       -gw   grid width (accepted; the map keeps its own grid)",
			"       -dc   threshold for density value, default: 0",
			"       -nm   number of models written, default: 1",
			"       -sl   print intermediate information? 0:no, 1:yes, default: 1",
			"       -st   accepted, no effect",
			"       -it   1: one more refinement pass over the chain and its domains, default: 0",
			"       -nco  threads of the FFT search, default: 1" },
		std::cout );
	if ( stop >= 0 ) return stop;
	std::string const workdir = argv[1];
	FitRequest req;
	req.mapPath = argv[2];
	bool ok = read_fit_options( argc, argv, argv[3], req );
	integer_option( argc, argv, "-st", 1, -1000000, 1000000, ok );
	long const nm = integer_option( argc, argv, "-nm", 1, 1, 100, ok );
	bool const iterate = integer_option( argc, argv, "-it", 0, -1000000, 1000000, ok ) != 0;
	long const threads = integer_option( argc, argv, "-nco", 1, 1, 256, ok );
	req.prefix = "Lobeplace> ";
	// Every -in must be a plain file name; the first is used.
	std::vector<char const*> const prefixes = option_values( argc, argv, "-in" );
	char const* in = prefixes.empty() ? nullptr : prefixes[0];
	for ( char const* p : prefixes )
		if ( !*p || std::string( p ).find( '/' ) != std::string::npos ) {
			std::cout << "Error! -in must give the input prefix (a file name); got '" << p << "'." << std::endl;
			ok = false;
			break;
		}
	std::string const outBase = output_base_option( argc, argv, "" );
	if ( !in || !ok || outBase.empty() ) return 1;
	req.modelPath = workdir + "/" + in + "1.pdb";
	std::vector<std::string> outputs;
	for ( long k = 1; k <= nm; ++k ) outputs.push_back( workdir + "/" + outBase + std::to_string( k ) + ".pdb" );
	if ( !outputs_spare_inputs( { { "the density map", req.mapPath }, { "the input chain", req.modelPath } },
	         outputs, std::cout ) )
		return 1;

	step.now( "loading the map and the chain" );
	FitSession session;
	if ( !session.load( req ) ) return 1;
	step.now( "placing the domains" );
	LobePlaceOptions options;
	options.resolution = req.resolution;
	options.threads = (int)threads;
	options.rounds = iterate ? 3 : 2;
	options.log = req.quiet ? nullptr : &std::cout;
	std::vector<ChainPlacement> models;
	std::string error;
	if ( !place_by_domains( session.map(), session.model(), options, (int)nm, models, error ) ) {
		std::cout << "Error! " << error << "; no model written." << std::endl;
		return 1;
	}
	step.now( "writing the results" );
	ResultWriter writer;
	for ( size_t k = 0; k < outputs.size(); ++k )
		if ( !writer.add_moved( session.model(), outputs[k], models[k].xyz ) ) return 1;
	if ( !writer.commit() ) return 1;
	for ( size_t k = 0; k < outputs.size(); ++k )
		std::cout << req.prefix << "RSCC of " << outBase << k + 1 << ": " << models[k].correlation << std::endl;
	return 0;
}

} // namespace

int main( int argc, char** argv )
{
	// Memory that runs out anywhere, on any thread, ends the run with its own
	// line; the results are written whole or not at all.
	return utility::run_with_memory_stop( "Error!", "no model written.", [&] { return run( argc, argv ); } );
}
