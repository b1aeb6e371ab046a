// Lobetune: refines a placed model (one chain or a whole complex) by rigid
// moves of its chains and of their domains in the density map, and writes
// the result beside the model as <on>_1.pdb (<on>: the "-on" name without
// ".pdb").  When no move raises the correlation of the whole model with the
// map, the result is a copy of the input.
#include "apps/siblings/domain_refine.hh"
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
		{ "-gw", "-dc", "-nm", "-sl", "-on", "-sch" }, {} };
	int const stop = check_command_line( argc, argv, form,
		{ "", " Lobetune: refine the domains of a placed model in a density map", "",
			" Usage: Lobetune map model resolution [Options]", "", " Options:",
			"       -gw   grid width (accepted; the map keeps its own grid)",
			"       -dc   threshold for density value, default: 0",
			"       -nm   number of models (accepted; one refined model is written), default: 1",
			"       -sl   print intermediate information? 0:no, 1:yes, default: 1",
			"       -on   output name; the result is <name without .pdb>_1.pdb beside the model,",
			"             default: <model>_dom.pdb, so the result <model>_dom_1.pdb (<model>: the",
			"             model's file name without its last four characters, \".pdb\")",
			"       -sch  similar-chain mark of the model (accepted), default: 0", "",
			" Every chain, and every domain of a chain of two or more domains, is refined as a",
			" rigid body; the input is returned unchanged when its correlation would not improve." },
		std::cout );
	if ( stop >= 0 ) return stop;
	FitRequest req;
	req.mapPath = argv[1];
	req.modelPath = argv[2];
	req.prefix = "Lobetune> ";
	bool ok = read_fit_options( argc, argv, argv[3], req );
	integer_option( argc, argv, "-nm", 1, 1, 1000, ok );
	integer_option( argc, argv, "-sch", 0, -1000000, 1000000, ok );
	std::string const name = output_base_option( argc, argv, model_name( req.modelPath ) + "_dom.pdb" );
	if ( !ok || name.empty() ) return 1;
	std::string const output = model_directory( req.modelPath ) + "/" + name + "_1.pdb";
	if ( !outputs_spare_inputs( { { "the density map", req.mapPath }, { "the model", req.modelPath } },
	         { output }, std::cout ) )
		return 1;

	step.now( "loading the map and the model" );
	FitSession session;
	if ( !session.load( req ) ) return 1;
	step.now( "refining the chains and domains" );
	ChainModel const& model = session.model();
	std::vector<Body> const bodies = chain_and_domain_bodies( model );
	if ( bodies.empty() ) {
		std::cout << "Error! No chain of " << req.modelPath << " has a CA or P atom; no model written." << std::endl;
		return 1;
	}
	if ( !req.quiet )
		std::cout << req.prefix << model.chains.size() << " chain(s), " << bodies.size() << " rigid bodies" << std::endl;
	RefineOutcome const result = refine_bodies( session.map(), model, model.xyz, bodies );
	bool const improved = result.after > result.before;
	std::cout << req.prefix << "RSCC " << result.before << " -> " << result.after << " (" << result.movesKept
	          << " moves kept)" << ( improved ? "" : "; the input is returned unchanged" ) << std::endl;

	step.now( "writing the result" );
	ResultWriter writer;
	if ( !( improved ? writer.add_moved( model, output, result.xyz ) : writer.add_copy( req.modelPath, output ) ) )
		return 1;
	return writer.commit() ? 0 : 1;
}

} // namespace

int main( int argc, char** argv )
{
	// Memory that runs out anywhere ends the run with its own line; the
	// result is written whole or not at all.
	return utility::run_with_memory_stop( "Error!", "no model written.", [&] { return run( argc, argv ); } );
}
