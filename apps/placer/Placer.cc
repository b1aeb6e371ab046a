// Placer: fits one model into one density map by a rigid-body search and
// writes the best poses beside the model as <model>_1.pdb, <model>_2.pdb, ...
#include "apps/placer/PlacerOptions.hh"
#include "fitting/FitModelIntoDensity.hh"
#include "utility/memory_stop.hh"
#include "utility/temporary_files.hh"

#include <cstdlib>
#include <iostream>
#include <string>

namespace {

void print_usage( char* program )
{
	std::cout << std::endl;
	std::cout << " *******************************************************************" << std::endl;
	std::cout << " * An algorithm for model and density map matching                 *" << std::endl;
	std::cout << " *******************************************************************" << std::endl;
	std::cout << std::endl;
	std::cout << " Usage: " << program << " map model resolution [Options]" << std::endl;
	std::cout << std::endl;
	std::cout << " Options:" << std::endl;
	std::cout << "       -gw   grid width, default: 0 (original value) " << std::endl;
	std::cout << "       -dc   threshold for density value, default: 0 " << std::endl;
	std::cout << "       -nm   number of positions explored, default: 1 " << std::endl;
	// Progress lines are printed unless "-sl 0" is given.
	std::cout << "       -sl   print intermediate information? 0:no, 1:yes, default: 1" << std::endl;
	std::cout << "       -rc   report RSCC of final model? 0:no, 1:yes, default: 1" << std::endl;
	std::cout << " Example usages:" << std::endl;
	std::cout << "        " << program << " map.mrc model.pdb 5.7 -gw 0" << std::endl;
	std::cout << "        " << program << " map.mrc model.pdb 5.7 -dc 0.05" << std::endl;
	std::cout << " Notes: " << std::endl;
	std::cout << "        " << "Output models are saved in the directory of input model" << std::endl;
	// What the lines above leave out: how the results are named, that -nm is
	// the most written, and what happens to files of an earlier run.
	std::cout << "        " << "as <model>_1.pdb, <model>_2.pdb, ... best first (<model>: the model's file name"
	          << std::endl;
	std::cout << "        " << "without a final .pdb or .ent); -nm (1 to " << kMaxPoseCount << ") is the most written: only"
	          << std::endl;
	std::cout << "        " << "distinct poses that overlap the density are. Results of an earlier run"
	          << std::endl;
	std::cout << "        " << "numbered beyond those written are left in place, and a note names them"
	          << std::endl;
	std::cout << "        " << "'dc' shoule be in (0,1), recommend: 0.005" << std::endl;
}

int run( int argc, char** argv )
{
	// Results not yet renamed into place go when a signal ends the program.
	utility::install_temporary_file_cleanup();
	PlacerArguments a;
	switch ( parsePlacerArguments( argc, argv, a ) ) {
	case PlacerCommand::Help:
		print_usage( argv[0] );
		return 0;
	case PlacerCommand::Incomplete:
		print_usage( argv[0] );
		std::cout << a.missing << std::endl;
		return 1;
	case PlacerCommand::Stop:
		return 1;
	case PlacerCommand::Run:
		break;
	}
	std::string const selection = "CA";
	int const status = FitModelIntoDensity( a.map, a.model, a.resolution, (double)a.poses, a.gridWidth, a.threshold,
		a.quiet, a.report, selection );
	return status == FIT_OK ? 0 : 1;
}

} // namespace

int main( int argc, char** argv )
{
	// Memory that runs out anywhere ends the run with its own line; the
	// fit writes its models only once every one of them is made.
	return utility::run_with_memory_stop( "Error!", "no model written.", [&] { return run( argc, argv ); } );
}
