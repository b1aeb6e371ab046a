#include "apps/quilter/CommandLine.hh"

#include "core/basic_fun_Quilt.hh"

#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

char version[ 20 ] = "";

namespace {

// The usage text, with program (argv[0]) in three places.
void print_usage( const char* program )
{
	std::cout << std::endl;
	std::cout << " ******************************************************************************" << std::endl;
	std::cout << " * Quilter (Version " << version << "): an algorithm for protein-NA or               *" << std::endl;
	std::cout << " * protein-protein complex structure modeling from cryo-EM density maps       *" << std::endl;
	std::cout << " ******************************************************************************" << std::endl;
	std::cout << std::endl;
	std::cout << " Usage: " << program << " data_path map resolution [Options]" << std::endl;
	std::cout << std::endl;
	std::cout << " Options:" << std::endl;
	std::cout << "       -ipn  input name, e.g., chain, default: chain " << std::endl;
	std::cout << "       -opn  output name in 'XXX.pdb' format, default: segCmodel.pdb " << std::endl;
	std::cout << "       -lco  local domain optimize, 0:no, 1:yes, default: 1 " << std::endl;
	std::cout << "       -glo  global domain optimize, 0:no, 1:yes, default: 1 " << std::endl;
	std::cout << "       -dmm  domain matching, 0:no, 1:yes, default: 1 " << std::endl;
	std::cout << "       -nlb  number of positions to explore by LBFGS, default: 20 " << std::endl;
	std::cout << "       -nft  number of positions to explore by fast fitting, default: 5 " << std::endl;
	std::cout << "       -rsc  cutoff of correlation score in fraction space, in [0,1) (0: from the resolution), "
	             "default: 0.6 "
	          << std::endl;
	std::cout << "       -seg  perform map segmention based on contour (0:no, 1:yes), default: 0" << std::endl;
	std::cout << "       -stm  no effect (read and ignored); for NA and Protein maps see note (5)" << std::endl;
	std::cout << "       -nco  number of parallel threads given to each started program, default: 10" << std::endl;
	std::cout << "       -gw   grid width, default: 0 (original value) " << std::endl;
	std::cout << "       -dc   threshold for density value, default: 0 " << std::endl;
	std::cout << "       -sl   print intermediate information, 0:silent, 1:print" << std::endl;
	std::cout << "       -rm   remove matched map region, 0:no, 1:yes" << std::endl;
	std::cout << "       -it   assembly by iteration, 0:no, 1:yes, default: 1" << std::endl;
	std::cout << " Example usages:" << std::endl;
	std::cout << "        " << program << " /example /example/map.mrc /example/resolution.txt" << std::endl;
	std::cout << "        " << program << " /example /example/map.mrc 3.5 -dc 0.005" << std::endl;
	std::cout << " Notes: " << std::endl;
	std::cout << "        " << "*(1)[Should be 'chain1.pdb, chain2.pdb,...' in the data_path.]" << std::endl;
	std::cout << "        " << "*(2)[Both multi-chain and single-chain models are supported.]" << std::endl;
	std::cout << "        "
	          << "*(3)['-rsc' should be in [0,1), recommend: 0.6; 0 derives the cutoff from the resolution.]"
	          << std::endl;
	std::cout << "        " << "*(4)[Output models are named as 'segCmodel1.pdb' and saved in 'data_path'.]" << std::endl;
	std::cout << "        " << "*(5)[If density map segmentation is used," << std::endl;
	std::cout << "              " << "please ensure that the segmented NA.map and Pro.map, " << std::endl;
	std::cout << "              " << "are placed in the same directory as the original density map.]" << std::endl;
}

} // namespace

void print_help( char* program )
{
	print_usage( program );
	std::exit( 0 );
}

bool isFloat( const std::string& text )
{
	if ( text.empty() ) return false;
	char* end = nullptr;
	std::strtod( text.c_str(), &end );
	return end != text.c_str() && *end == '\0';
}

double getReso( std::string file )
{
	// The number stands at the start of the first line: a bounded read, so
	// that a file without line ends cannot fill the memory.
	std::ifstream in( file );
	std::string line;
	char c;
	while ( line.size() < 4096 && in.get( c ) && c != '\n' ) line += c;
	return std::strtod( line.c_str(), nullptr );
}

namespace {

[[noreturn]] void stop_with_error( const std::string& message )
{
	PrintErrorAndQuitS( "\033[1mERROR!\033[0m " + message );
}

// An argument as it is quoted in a message: in single quotes, at most 60
// characters, bytes that are not printable ASCII as \xNN.
std::string quoted( const std::string& text )
{
	std::size_t const kShown = 60;
	std::string q = "'";
	for ( std::size_t i = 0; i < text.size() && i < kShown; ++i ) {
		unsigned char const c = static_cast< unsigned char >( text[ i ] );
		if ( c >= 0x20 && c < 0x7f ) {
			q += static_cast< char >( c );
		} else {
			char hex[ 8 ];
			std::snprintf( hex, sizeof hex, "\\x%02x", c );
			q += hex;
		}
	}
	q += "'";
	if ( text.size() > kShown ) q += "...";
	return q;
}

bool is_directory( const std::string& path )
{
	struct stat st;
	return ::stat( path.c_str(), &st ) == 0 && S_ISDIR( st.st_mode );
}

bool resolvable( const std::string& path )
{
	char* resolved = ::realpath( path.c_str(), nullptr );
	if ( !resolved ) return false;
	std::free( resolved );
	return true;
}

// strtol of an option value, kept within the range of int.
int int_value( const char* text )
{
	long const v = std::strtol( text, nullptr, 10 );
	if ( v > INT_MAX ) return INT_MAX;
	if ( v < INT_MIN ) return INT_MIN;
	return static_cast< int >( v );
}

// A count handed to the started programs: a whole decimal number from lo to
// hi (the range those programs accept).  Anything else stops the run before
// anything is made: a huge count would otherwise fill the memory with the
// names of result files to look for, and a count the programs refuse would
// leave every chain to the other matchers without a word.
int count_value( const char* option, const char* text, int lo, int hi )
{
	const char* p = text;
	if ( *p == '+' || *p == '-' ) ++p;
	bool whole = *p != '\0';
	for ( ; *p; ++p )
		if ( !std::isdigit( static_cast< unsigned char >( *p ) ) ) whole = false;
	errno = 0;
	long const v = whole ? std::strtol( text, nullptr, 10 ) : 0;
	if ( !whole || errno == ERANGE || v < lo || v > hi )
		stop_with_error( std::string( option ) + " should be a whole number from " + std::to_string( lo ) + " to " +
		                 std::to_string( hi ) + " (got " + quoted( text ) + ")." );
	return static_cast< int >( v );
}

} // namespace

void readPositionalArguments( int argc, char** argv, QuilterSettings& s )
{
	if ( argc <= 3 ) print_help( argv[ 0 ] );

	std::string const dataArg = argv[ 1 ];
	std::string const mapArg = argv[ 2 ];
	std::string const resArg = argv[ 3 ];

	// The resolution: a number, or a file whose first line starts with one.
	double reso = 0.0;
	if ( isFloat( resArg ) ) {
		reso = std::strtod( resArg.c_str(), nullptr );
	} else {
		// A regular file only: a FIFO or a device would block or never end.
		if ( !isRegularFile( resArg ) || checkfile( resArg ) == 0 )
			stop_with_error( "Resolution '" + resArg + "' is neither a number nor a readable file." );
		reso = getReso( resArg );
	}
	if ( !std::isfinite( reso ) || reso <= 0.0 )
		stop_with_error( "The resolution must be a finite number above 0 (got " + doubleToString( reso ) +
		                 " from '" + resArg + "')." );
	s.resolution = std::min( reso, 20.0 );

	// Everything the run makes or removes lies under the data directory, so
	// it has to exist and be writable before anything is made.
	if ( !resolvable( dataArg ) ) stop_with_error( "Data directory not found: " + dataArg );
	s.dataPath = get_Full_Path( dataArg );
	if ( !is_directory( s.dataPath ) ) stop_with_error( "Data path is not a directory: " + dataArg );
	if ( ::access( s.dataPath.c_str(), W_OK | X_OK ) != 0 )
		stop_with_error( "Data directory cannot be written: " + dataArg );

	if ( !resolvable( mapArg ) || checkfile( mapArg ) == 0 )
		stop_with_error( "Cannot open the density map: " + mapArg );
	// A directory, FIFO or device is no map file: reading it would fail or
	// wait for ever.
	if ( !isRegularFile( mapArg ) ) stop_with_error( "The density map is not a regular file: " + mapArg );
	s.mapPath = get_Full_Path( mapArg );
}

void scanOptions( int argc, char** argv, QuilterSettings& s )
{
	// Value of the first occurrence of `name` that has an argument after it;
	// an occurrence in the last position ends the search without a value.
	auto value_of = [ argc, argv ]( const char* name ) -> const char* {
		for ( int i = 1; i < argc; ++i ) {
			if ( std::strcmp( argv[ i ], name ) != 0 ) continue;
			return i < argc - 1 ? argv[ i + 1 ] : nullptr;
		}
		return nullptr;
	};

	if ( const char* v = value_of( "-ipn" ) ) s.inputPrefix = v;
	if ( const char* v = value_of( "-gw" ) ) {
		double const g = std::strtod( v, nullptr );
		if ( !( g >= 0.0 && g <= 5.0 ) )
			stop_with_error( "-gw should be in [0,5], recommended 3 (0 keeps the map's own grid; got " +
			                 quoted( v ) + ")." );
		s.gridWidth = g;
	}
	if ( const char* v = value_of( "-dc" ) ) {
		s.threshold = std::strtod( v, nullptr );
		if ( !std::isfinite( s.threshold ) )
			stop_with_error( "-dc should be a finite number (got " + quoted( v ) + ")." );
	}
	if ( const char* v = value_of( "-nft" ) ) s.fastPositions = count_value( "-nft", v, 1, kMaxFastPositions );
	if ( const char* v = value_of( "-nlb" ) ) s.lbfgsPositions = count_value( "-nlb", v, 1, kMaxLbfgsPositions );
	if ( const char* v = value_of( "-nco" ) ) s.processCount = count_value( "-nco", v, 1, kMaxProcessCount );
	if ( const char* v = value_of( "-opn" ) ) {
		std::string const name = v;
		// The name becomes a file in the data directory: no directory part,
		// and a visible name before the suffix (".pdb" or "..pdb" would
		// give a hidden file).
		if ( get_suffix( name ) != "pdb" || name.size() <= 4 || name[ 0 ] == '.' ||
		     name.find( '/' ) != std::string::npos )
			stop_with_error( "Output name should be in 'XXXX.pdb' format. -opn takes a file name ending in "
			                 "'.pdb' (lower case), not beginning with '.' and without '/' (got " +
			                 quoted( v ) + ")." );
		s.outputName = name;
	}
	if ( const char* v = value_of( "-sl" ) ) s.silent = ( int_value( v ) == 0 );
	if ( const char* v = value_of( "-ft" ) ) {
		if ( int_value( v ) == 1 ) {
			s.fullFitting = 0;
			std::cout << "Run Fast Fitting only." << std::endl;
		} else {
			s.fullFitting = 1;
		}
	}
	if ( const char* v = value_of( "-rm" ) ) s.removeMatched = ( int_value( v ) != 0 );
	if ( const char* v = value_of( "-it" ) ) s.iteration = ( int_value( v ) != 0 );
	if ( const char* v = value_of( "-glo" ) ) s.globalDomainOpt = ( int_value( v ) != 0 );
	if ( const char* v = value_of( "-lco" ) ) s.localDomainOpt = ( int_value( v ) != 0 );
	for ( const char* ignored : { "-rps", "-msc", "-stm" } ) {
		if ( const char* v = value_of( ignored ) ) (void)int_value( v );
	}
	if ( const char* v = value_of( "-dmm" ) ) s.domainMatching = ( int_value( v ) != 0 );
	if ( const char* v = value_of( "-rsc" ) ) {
		double const c = std::strtod( v, nullptr );
		if ( !( c >= 0.0 && c < 1.0 ) )
			stop_with_error( "-rsc should be in [0,1), recommended 0.6 (0 derives the cutoff from the "
			                 "resolution; got " +
			                 quoted( v ) + ")." );
		s.corrCutoff = c;
	}
	(void)value_of( "-py3" );
	if ( const char* v = value_of( "-seg" ) ) s.segmentation = ( int_value( v ) == 1 );
}

void checkOutputName( const QuilterSettings& s )
{
	std::string const finalName = s.outputName.substr( 0, s.outputName.size() - 4 ) + "1.pdb";
	// prefix, a number from 1 to 50 as "%d" writes it, ".pdb": a name the
	// run (and every later run) reads as an input model.
	std::string const& prefix = s.inputPrefix;
	if ( finalName.size() > prefix.size() + 4 && finalName.compare( 0, prefix.size(), prefix ) == 0 &&
	     finalName.compare( finalName.size() - 4, 4, ".pdb" ) == 0 ) {
		std::string const number = finalName.substr( prefix.size(), finalName.size() - prefix.size() - 4 );
		bool digits = !number.empty() && number[ 0 ] != '0' && number.size() <= 2;
		for ( char c : number ) digits = digits && std::isdigit( static_cast< unsigned char >( c ) );
		if ( digits && std::atoi( number.c_str() ) <= 50 )
			stop_with_error( "The output name " + s.outputName + " would write the final model as " + finalName +
			                 ", which is an input model file name (-ipn " + prefix + "); choose another -opn." );
	}
	std::string const finalPath = s.dataPath + "/" + finalName;
	char* resolved = ::realpath( finalPath.c_str(), nullptr );
	if ( resolved ) {
		bool const isMap = s.mapPath == resolved;
		std::free( resolved );
		if ( isMap )
			stop_with_error( "The output name " + s.outputName + " would write the final model over the map " +
			                 s.mapPath + "; choose another -opn." );
	}
}
