// PlacerRNA: fits a nucleic-acid chain (or any chain) into a density map by
// the fitting engine's rigid-body search, scoring the atoms "-tp" names, and
// writes the best poses beside the model as <model>_1.pdb, <model>_2.pdb, ...
// (best first), each a line copy of the model file with every atom moved.
#include "apps/siblings/placement.hh"
#include "apps/siblings/sibling_cli.hh"
#include "utility/memory_stop.hh"
#include "utility/temporary_files.hh"

#include <iostream>

using namespace siblings;

namespace {

int run( int argc, char** argv )
{
	// Results not yet renamed into place go when a signal ends the program.
	utility::install_temporary_file_cleanup();
	utility::MemoryStep step( "reading the command line" );
	CommandLineForm const form{ { "the density map", "the model", "the resolution" },
		{ "-gw", "-dc", "-nm", "-sl", "-tp", "-rc" }, {} };
	int const stop = check_command_line( argc, argv, form,
		{ "", " PlacerRNA: fit a nucleic-acid chain into a density map", "",
			" Usage: PlacerRNA map model resolution [Options]", "", " Options:",
			"       -gw   grid width (accepted; the map keeps its own grid)",
			"       -dc   threshold for density value, default: 0",
			"       -nm   number of fitted models written, default: 1",
			"       -sl   print intermediate information? 0:no, 1:yes, default: 1",
			"       -tp   atoms scored: all, CA (P when the chain has no CA), P or an atom name; default: all",
			"       -rc   report the correlation of each model? 0:no, 1:yes, default: 1", "",
			" Output models <model>_1.pdb ... <model>_<nm>.pdb are saved in the directory of the",
			" input model, best first (<model>: the model's file name without its last four",
			" characters, \".pdb\"; the best pose fills the places of poses not found)." },
		std::cout );
	if ( stop >= 0 ) return stop;
	FitRequest req;
	req.mapPath = argv[1];
	req.modelPath = argv[2];
	bool ok = read_fit_options( argc, argv, argv[3], req );
	long const nm = integer_option( argc, argv, "-nm", 1, 1, 1000, ok );
	bool const report = integer_option( argc, argv, "-rc", 1, -1000000, 1000000, ok ) != 0;
	char const* tp = option_value( argc, argv, "-tp" );
	req.atomType = tp ? tp : "all";
	req.prefix = "PlacerRNA> ";
	if ( !ok ) return 1;
	std::string const dir = model_directory( req.modelPath ), name = model_name( req.modelPath );
	std::vector<std::string> outputs;
	for ( long k = 1; k <= nm; ++k ) outputs.push_back( dir + "/" + name + "_" + std::to_string( k ) + ".pdb" );
	if ( !outputs_spare_inputs( { { "the density map", req.mapPath }, { "the model", req.modelPath } },
	         outputs, std::cout ) )
		return 1;

	step.now( "loading the map and the model" );
	FitSession session;
	if ( !session.load( req ) ) return 1;
	step.now( "searching poses" );
	std::vector<Placement> placements;
	if ( !session.place_chain( (int)nm, placements ) ) return 1;

	step.now( "writing the results" );
	ResultWriter writer;
	for ( size_t k = 0; k < placements.size(); ++k )
		if ( !writer.add_moved( session.model(), outputs[k], placements[k].xyz ) ) return 1;
	if ( !writer.commit() ) return 1;
	if ( report )
		for ( size_t k = 0; k < placements.size(); ++k )
			std::cout << req.prefix << "RSCC of " << name << "_" << k + 1 << ": " << placements[k].correlation
			          << std::endl;
	return 0;
}

} // namespace

int main( int argc, char** argv )
{
	// Memory that runs out anywhere ends the run with its own line; the
	// results are written whole or not at all.
	return utility::run_with_memory_stop( "Error!", "no model written.", [&] { return run( argc, argv ); } );
}
