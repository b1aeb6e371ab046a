// Placer: fits one model into one density map by a rigid-body search and
// writes the best poses beside the model as <model>_1.pdb, <model>_2.pdb, ...
#include "core/basic_fun_Quilt.hh"
#include "fitting/FitModelIntoDensity.hh"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
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

// A whole decimal number (optional sign, digits, nothing else) from lo to
// hi; otherwise a message naming what and false.  strtol alone would take
// "3x" as 3, "2.9" as 2 and "1e6" as 1.
bool whole_number( char const* what, char const* text, long lo, long hi, long& out )
{
	char const* p = text;
	if ( *p == '+' || *p == '-' ) ++p;
	bool digits = *p != '\0';
	for ( ; *p; ++p )
		if ( !std::isdigit( (unsigned char)*p ) ) digits = false;
	if ( !digits ) {
		std::cout << "Error! " << what << " must be a whole number (got '" << text << "'); no model written."
		          << std::endl;
		return false;
	}
	errno = 0;
	long const v = std::strtol( text, nullptr, 10 );
	if ( errno == ERANGE || v < lo || v > hi ) {
		std::cout << "Error! " << what << " must be at least " << lo << " and at most " << hi << " (got " << text
		          << "); no model written." << std::endl;
		return false;
	}
	out = v;
	return true;
}

// A finite decimal number, the whole text; otherwise a message and false.
bool finite_number( char const* what, char const* text, double& out )
{
	char* end = nullptr;
	double const v = std::strtod( text, &end );
	if ( end == text || *end != '\0' || !std::isfinite( v ) ) {
		std::cout << "Error! " << what << " must be a finite number (got '" << text << "'); no model written."
		          << std::endl;
		return false;
	}
	out = v;
	return true;
}

// The model path made absolute without following a symbolic link in its
// last part: results are written beside the path the user gave and named
// after it, not after a link's target.
std::string absolute_keeping_name( std::string const& path )
{
	std::string::size_type const slash = path.find_last_of( '/' );
	std::string const base = slash == std::string::npos ? path : path.substr( slash + 1 );
	if ( base.empty() || base == "." || base == ".." ) return get_Full_Path( path );
	std::string const dir = slash == std::string::npos ? "." : ( slash == 0 ? "/" : path.substr( 0, slash ) );
	std::string const full = get_Full_Path( dir );
	if ( full.empty() || full[0] != '/' ) return get_Full_Path( path );
	return ( full == "/" ? "" : full ) + "/" + base;
}

} // namespace

int main( int argc, char** argv )
{
	if ( argc < 4 ) print_help( argv[0] );

	// Unresolvable paths are kept as given; the fit reports them.
	std::string const map = get_Full_Path( argv[1] );
	std::string const model = absolute_keeping_name( argv[2] );
	std::string const selection = "CA";

	// The resolution sets the smoothing and masks of the fit: it must be a
	// finite positive number of Angstrom.
	double resolution = 0.0;
	if ( !finite_number( "The resolution", argv[3], resolution ) ) return 1;
	if ( !( resolution > 0.0 ) ) {
		std::cout << "Error! The resolution must be a positive number of Angstrom (got '" << argv[3]
		          << "'); no model written." << std::endl;
		return 1;
	}
	if ( resolution > 50.0 )
		std::cout << "Warning! A resolution of " << resolution << " A is very low (above 50 A).  Continuing." << std::endl;

	double gridWidth = 0.0, threshold = 0.0;
	long nm = 1, sl = 1, rc = 1;
	if ( char const* v = option_value( argc, argv, "-gw" ) )
		if ( !finite_number( "-gw", v, gridWidth ) ) return 1;
	if ( char const* v = option_value( argc, argv, "-dc" ) )
		if ( !finite_number( "-dc", v, threshold ) ) return 1;
	if ( char const* v = option_value( argc, argv, "-nm" ) )
		if ( !whole_number( "-nm", v, 1, kMaxPoseCount, nm ) ) return 1;
	if ( char const* v = option_value( argc, argv, "-sl" ) )
		if ( !whole_number( "-sl", v, INT_MIN, INT_MAX, sl ) ) return 1;
	if ( char const* v = option_value( argc, argv, "-rc" ) )
		if ( !whole_number( "-rc", v, INT_MIN, INT_MAX, rc ) ) return 1;

	bool const quiet = ( sl == 0 );
	bool const report = ( rc != 0 );

	int const status = FitModelIntoDensity( map, model, resolution, (double)nm, gridWidth, threshold, quiet, report,
		selection );
	return status == FIT_OK ? 0 : 1;
}
