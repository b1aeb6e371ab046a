// Placer: fits one model into one density map by a rigid-body search and
// writes the best poses beside the model as <model>_1.pdb, <model>_2.pdb, ...
#include "core/basic_fun_Quilt.hh"
#include "fitting/FitModelIntoDensity.hh"

#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>

namespace {

[[noreturn]] void print_help( char* program )
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
	std::cout << "        " << "'dc' shoule be in (0,1), recommend: 0.005" << std::endl;
	std::exit( 0 );
}

// Value of the first occurrence of option `name` that has an argument after
// it (exact match only); null when there is none.
char const* option_value( int argc, char** argv, char const* name )
{
	for ( int i = 1; i < argc - 1; ++i )
		if ( std::strcmp( argv[i], name ) == 0 ) return argv[i + 1];
	return nullptr;
}

} // namespace

int main( int argc, char** argv )
{
	if ( argc < 4 ) print_help( argv[0] );

	// Unresolvable paths are kept as given; the fit reports them.
	std::string const map = get_Full_Path( argv[1] );
	std::string const model = get_Full_Path( argv[2] );
	double const resolution = std::strtod( argv[3], nullptr );
	std::string const selection = "CA";

	double gridWidth = 0.0, threshold = 0.0;
	long nm = 1, sl = 1, rc = 1;
	if ( char const* v = option_value( argc, argv, "-gw" ) ) gridWidth = std::strtod( v, nullptr );
	if ( char const* v = option_value( argc, argv, "-dc" ) ) threshold = std::strtod( v, nullptr );
	if ( char const* v = option_value( argc, argv, "-nm" ) ) nm = std::strtol( v, nullptr, 10 );
	if ( char const* v = option_value( argc, argv, "-sl" ) ) sl = std::strtol( v, nullptr, 10 );
	if ( char const* v = option_value( argc, argv, "-rc" ) ) rc = std::strtol( v, nullptr, 10 );

	if ( nm < 1 ) {
		std::cout << "Error! -nm must be at least 1 (got " << nm << "); no model written." << std::endl;
		return 1;
	}
	bool const quiet = ( sl == 0 );
	bool const report = ( rc != 0 );

	int const status = FitModelIntoDensity( map, model, resolution, (double)nm, gridWidth, threshold, quiet, report,
		selection );
	return status == FIT_OK ? 0 : 1;
}
