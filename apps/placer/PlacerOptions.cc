#include "apps/placer/PlacerOptions.hh"

#include "core/basic_fun_Quilt.hh"
#include "fitting/FitModelIntoDensity.hh"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <vector>

namespace {

char const* const kOptions[] = { "-gw", "-dc", "-nm", "-sl", "-rc" };

bool is_option( char const* arg )
{
	for ( char const* o : kOptions )
		if ( std::strcmp( arg, o ) == 0 ) return true;
	return false;
}

// Values of every occurrence of option `name` among the options (from
// argv[4] on, each followed by its value), in order; empty when it is not
// given.
std::vector<char const*> option_values( int argc, char** argv, char const* name )
{
	std::vector<char const*> values;
	for ( int i = 4; i < argc - 1; i += 2 )
		if ( std::strcmp( argv[i], name ) == 0 ) values.push_back( argv[i + 1] );
	return values;
}

// Reads option `name` with `parse` (which prints its own error line): every
// occurrence has to hold a value the option accepts, as Quilter has it (a
// value that would be refused is no less a slip for coming second: "-nm 2
// -nm abc" ran with two models), and the first occurrence is the one used.
// False when some occurrence is refused; `out` is left as it was when the
// option is not given.
template <class T, class Parse>
bool read_option( int argc, char** argv, char const* name, Parse parse, T& out )
{
	std::vector<char const*> const values = option_values( argc, argv, name );
	for ( size_t k = 0; k < values.size(); ++k ) {
		T value = out;
		if ( !parse( values[k], value ) ) return false;
		if ( k == 0 ) out = value;
	}
	return true;
}

// The arguments after the map, the model and the resolution must be known
// options, each with a value: a misspelt option (Quilter's "-rsc" given as
// "-rcs"), a stray word or a trailing option without its value would
// otherwise be passed over and the fit run with defaults the user did not
// ask for.  Negative numbers ("-1") are values, not options.
bool options_well_formed( int argc, char** argv )
{
	for ( int i = 4; i < argc; i += 2 ) {
		char const* arg = argv[i];
		if ( !is_option( arg ) ) {
			if ( arg[0] == '-' && std::isalpha( (unsigned char)arg[1] ) )
				std::cout << "Error! Unknown option '" << arg << "'; the options are -gw, -dc, -nm, -sl and -rc; no model written."
				          << std::endl;
			else
				std::cout << "Error! Unexpected argument '" << arg << "': after the map, the model and the resolution only "
				          << "options with their values may follow; no model written." << std::endl;
			return false;
		}
		// An option where its value should be ("-nm -rc 0") means the value
		// was left out: the value after the second option is no stray word.
		if ( i + 1 >= argc || is_option( argv[i + 1] ) ) {
			std::cout << "Error! The option " << arg << " needs a value; no model written." << std::endl;
			return false;
		}
	}
	return true;
}

// The required arguments missing when only `given` of them come before the
// options (or the end): "the model and the resolution".
std::string missing_arguments( int given )
{
	char const* const names[3] = { "the density map", "the model", "the resolution" };
	std::string out;
	for ( int k = given; k < 3; ++k ) {
		if ( !out.empty() ) out += k == 2 ? " and " : ", ";
		out += names[k];
	}
	return out;
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

PlacerCommand parsePlacerArguments( int argc, char** argv, PlacerArguments& a )
{
	if ( argc < 2 ) return PlacerCommand::Help;
	// The map, the model and the resolution come first: an option among them
	// means the ones from there on were left out.
	int given = 0;
	while ( given < 3 && given + 1 < argc && !is_option( argv[given + 1] ) ) ++given;
	if ( given < 3 ) {
		std::string const missing = missing_arguments( given );
		a.missing = "Error! Missing required argument" + std::string( given == 2 ? "" : "s" ) + ": " + missing + ".";
		return PlacerCommand::Incomplete;
	}
	if ( !options_well_formed( argc, argv ) ) return PlacerCommand::Stop;

	// Unresolvable paths are kept as given; the fit reports them.
	a.map = get_Full_Path( argv[1] );
	a.model = absolute_keeping_name( argv[2] );
	// A directory, FIFO or device is no input file: reading a FIFO would
	// wait for ever.
	for ( std::string const* p : { &a.map, &a.model } ) {
		if ( checkfile( *p ) && !isRegularFile( *p ) ) {
			std::cout << "Error! " << *p << " is not a regular file; no model written." << std::endl;
			return PlacerCommand::Stop;
		}
	}

	// The resolution sets the smoothing and masks of the fit: it must be a
	// finite positive number of Angstrom.
	if ( !finite_number( "The resolution", argv[3], a.resolution ) ) return PlacerCommand::Stop;
	if ( !( a.resolution > 0.0 ) ) {
		std::cout << "Error! The resolution must be a positive number of Angstrom (got '" << argv[3]
		          << "'); no model written." << std::endl;
		return PlacerCommand::Stop;
	}
	if ( a.resolution > 50.0 )
		std::cout << "Warning! A resolution of " << a.resolution << " A is very low (above 50 A).  Continuing."
		          << std::endl;

	auto finite = []( char const* name ) {
		return [ name ]( char const* v, double& out ) { return finite_number( name, v, out ); };
	};
	auto whole = []( char const* name, long lo, long hi ) {
		return [ = ]( char const* v, long& out ) { return whole_number( name, v, lo, hi, out ); };
	};
	long sl = 1, rc = 1;
	if ( !read_option( argc, argv, "-gw", finite( "-gw" ), a.gridWidth )
	     || !read_option( argc, argv, "-dc", finite( "-dc" ), a.threshold )
	     || !read_option( argc, argv, "-nm", whole( "-nm", 1, kMaxPoseCount ), a.poses )
	     || !read_option( argc, argv, "-sl", whole( "-sl", INT_MIN, INT_MAX ), sl )
	     || !read_option( argc, argv, "-rc", whole( "-rc", INT_MIN, INT_MAX ), rc ) )
		return PlacerCommand::Stop;
	a.quiet = ( sl == 0 );
	a.report = ( rc != 0 );
	return PlacerCommand::Run;
}
