#include "apps/quilter/CommandLine.hh"

#include "apps/quilter/StringListHelpers.hh"
#include "core/basic_fun_Quilt.hh"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

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

namespace {

// The first line of a resolution file, where the number stands: a bounded
// read, so that a file without line ends cannot fill the memory.  A UTF-8
// byte-order mark (as some editors write) is no part of it.  `empty` tells
// a file without a single byte.
std::string resolution_line( const std::string& file, bool& empty )
{
	std::ifstream in( file, std::ios::binary );
	std::string line;
	empty = true;
	char c;
	while ( line.size() < 4096 && in.get( c ) ) {
		empty = false;
		if ( c == '\n' ) break;
		line += c;
	}
	if ( line.compare( 0, 3, "\xEF\xBB\xBF" ) == 0 ) line.erase( 0, 3 );
	return line;
}

} // namespace

double getReso( std::string file )
{
	bool empty = false;
	return std::strtod( resolution_line( file, empty ).c_str(), nullptr );
}

namespace {

[[noreturn]] void stop_with_error( const std::string& message )
{
	PrintErrorAndQuitS( "\033[1mERROR!\033[0m " + message );
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

// An optional sign and decimal digits, nothing else.
bool is_whole( const char* text )
{
	const char* p = text;
	if ( *p == '+' || *p == '-' ) ++p;
	bool whole = *p != '\0';
	for ( ; *p; ++p )
		if ( !std::isdigit( static_cast< unsigned char >( *p ) ) ) whole = false;
	return whole;
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
	bool const whole = is_whole( text );
	errno = 0;
	long const v = whole ? std::strtol( text, nullptr, 10 ) : 0;
	if ( !whole || errno == ERANGE || v < lo || v > hi )
		stop_with_error( std::string( option ) + " should be a whole number from " + std::to_string( lo ) + " to " +
		                 std::to_string( hi ) + " (got " + quotedText( text ) + ")." );
	return static_cast< int >( v );
}

double grid_width_value( const char* text )
{
	double const g = std::strtod( text, nullptr );
	if ( !isFloat( text ) || !( g >= 0.0 && g <= 5.0 ) )
		stop_with_error( "-gw should be in [0,5], recommended 3 (0 keeps the map's own grid; got " + quotedText( text ) +
		                 ")." );
	return g;
}

double threshold_value( const char* text )
{
	double const t = std::strtod( text, nullptr );
	if ( !isFloat( text ) || !std::isfinite( t ) )
		stop_with_error( "-dc should be a finite number (got " + quotedText( text ) + ")." );
	return t;
}

double cutoff_value( const char* text )
{
	double const c = std::strtod( text, nullptr );
	if ( !isFloat( text ) || !( c >= 0.0 && c < 1.0 ) )
		stop_with_error( "-rsc should be in [0,1), recommended 0.6 (0 derives the cutoff from the resolution; got " +
		                 quotedText( text ) + ")." );
	return c;
}

std::string output_name_value( const char* text )
{
	std::string const name = text;
	// The name becomes a file in the data directory: no directory part, and
	// a visible name before the suffix (".pdb" or "..pdb" would give a
	// hidden file).
	if ( get_suffix( name ) != "pdb" || name.size() <= 4 || name[ 0 ] == '.' || name.find( '/' ) != std::string::npos )
		stop_with_error( "Output name should be in 'XXXX.pdb' format. -opn takes a file name ending in '.pdb' "
		                 "(lower case), not beginning with '.' and without '/' (got " +
		                 quotedText( text ) + ")." );
	return name;
}

// The options, in the order the scan reads them.
const char* const kOptionNames[] = { "-ipn", "-gw", "-dc", "-nft", "-nlb", "-nco", "-opn", "-sl", "-ft", "-rm",
	"-it", "-glo", "-lco", "-rps", "-msc", "-stm", "-dmm", "-rsc", "-py3", "-seg" };

bool is_option( const char* text )
{
	for ( const char* name : kOptionNames )
		if ( std::strcmp( text, name ) == 0 ) return true;
	return false;
}

// The value of a switch or of an option read for old command lines: a
// whole number, kept within the range of int.
int whole_value( const char* option, const char* text )
{
	if ( !is_whole( text ) )
		stop_with_error( std::string( option ) + " should be a whole number such as 0 or 1 (got " + quotedText( text ) +
		                 ")." );
	return int_value( text );
}

// Every argument after the three positional ones is an option with its
// value after it, or the value of the option before it.  A value may look
// like an option ("-ipn -gw 2": the prefix "-gw", and the grid width 2), so
// an option name is a value when an option stands before it.  What is left
// is a slip that would otherwise change the run without a word: an unknown
// option ("-rcs" for "-rsc"), an option at the end without its value, or an
// argument that belongs to nothing.
void check_every_argument_is_read( int argc, char** argv )
{
	for ( int j = 4; j < argc; ++j ) {
		bool const valueOfPrevious = is_option( argv[ j - 1 ] );
		if ( is_option( argv[ j ] ) ) {
			if ( j < argc - 1 || valueOfPrevious ) continue;
			stop_with_error( std::string( "The option " ) + argv[ j ] + " is last and has no value after it." );
		}
		if ( valueOfPrevious ) continue;
		if ( argv[ j ][ 0 ] == '-' && !isFloat( argv[ j ] ) )
			stop_with_error( "Unknown option " + quotedText( argv[ j ] ) +
			                 "; the options are -ipn, -opn, -lco, -glo, -dmm, -nlb, -nft, -rsc, -seg, -stm, -nco, "
			                 "-gw, -dc, -sl, -rm, -it, -ft, -rps, -msc and -py3." );
		stop_with_error( "Unexpected argument " + quotedText( argv[ j ] ) +
		                 ": after data_path map resolution come only options, each with its value after it." );
	}
}

} // namespace

void readPositionalArguments( int argc, char** argv, QuilterSettings& s )
{
	if ( argc <= 1 ) print_help( argv[ 0 ] );
	// The three required arguments come first; one of the options in their
	// places means that the required ones from there on were left out.
	int given = std::min( argc - 1, 3 );
	const char* optionInPlace = nullptr;
	for ( int k = 1; k <= given; ++k ) {
		if ( !is_option( argv[ k ] ) ) continue;
		optionInPlace = argv[ k ];
		given = k - 1;
		break;
	}
	if ( given < 3 ) {
		print_usage( argv[ 0 ] );
		const char* const names[] = { "data_path", "map", "resolution" };
		std::string missing = names[ given ];
		for ( int k = given + 1; k < 3; ++k ) missing += std::string( k == 2 ? " and " : ", " ) + names[ k ];
		std::string const what = ( given == 2 ? "Missing the required argument " : "Missing the required arguments " ) +
		                         missing;
		if ( optionInPlace )
			stop_with_error( what + ": '" + optionInPlace +
			                 "' is an option, and options come after data_path map resolution." );
		stop_with_error( what + " (the command line is data_path map resolution [Options])." );
	}

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
		bool empty = false;
		std::string const line = resolution_line( resArg, empty );
		char* end = nullptr;
		reso = std::strtod( line.c_str(), &end );
		if ( end == line.c_str() ) {
			bool blank = true;
			for ( char c : line ) blank = blank && std::isspace( static_cast< unsigned char >( c ) );
			stop_with_error( "The resolution file '" + resArg + "' does not begin with a number: " +
			                 ( empty ? std::string( "it is empty." )
			                         : blank ? std::string( "its first line is blank." )
			                                 : "its first line is " + quotedText( line ) + "." ) );
		}
	}
	if ( !std::isfinite( reso ) || reso < kMinResolution )
		stop_with_error( "The resolution must be a finite number from 0.1 up; values above 20 are used as 20 (got " +
		                 doubleToString( reso ) + " from '" + resArg + "')." );
	// The fitting programs are not made for coarser maps; the run works at
	// 20 A and says so.
	if ( reso > kMaxResolution )
		std::cout << "Warning! The resolution " << doubleToString( reso ) << " A"
		          << ( isFloat( resArg ) ? std::string() : " (from the file '" + resArg + "')" )
		          << " is above 20 A; the run uses 20 A." << std::endl;
	s.resolution = std::min( reso, kMaxResolution );

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
	// Values of every occurrence of `name` that has an argument after it, in
	// order.  An occurrence in the last position has no value.
	auto values_of = [ argc, argv ]( const char* name ) {
		std::vector< const char* > values;
		for ( int i = 1; i < argc - 1; ++i )
			if ( std::strcmp( argv[ i ], name ) == 0 ) values.push_back( argv[ i + 1 ] );
		return values;
	};
	// The first occurrence is taken; every one has to hold a value the
	// option accepts (parse stops the process on one that it does not): a
	// value that would be refused is no less a slip for being ignored.
	auto take = [ & ]( const char* name, auto parse, auto& setting ) {
		std::vector< const char* > const values = values_of( name );
		for ( const char* v : values ) parse( v );
		if ( values.empty() ) return false;
		setting = parse( values[ 0 ] );
		return true;
	};
	auto count = []( const char* name, int lo, int hi ) {
		return [ = ]( const char* v ) { return count_value( name, v, lo, hi ); };
	};
	auto whole = []( const char* name ) { return [ = ]( const char* v ) { return whole_value( name, v ); }; };

	take( "-ipn", []( const char* v ) { return std::string( v ); }, s.inputPrefix );
	take( "-gw", grid_width_value, s.gridWidth );
	take( "-dc", threshold_value, s.threshold );
	take( "-nft", count( "-nft", 1, kMaxFastPositions ), s.fastPositions );
	take( "-nlb", count( "-nlb", 1, kMaxLbfgsPositions ), s.lbfgsPositions );
	take( "-nco", count( "-nco", 1, kMaxProcessCount ), s.processCount );
	take( "-opn", output_name_value, s.outputName );
	int n = 0;
	if ( take( "-sl", whole( "-sl" ), n ) ) s.silent = ( n == 0 );
	bool fastOnly = false;
	if ( take( "-ft", whole( "-ft" ), n ) ) {
		fastOnly = n == 1;
		s.fullFitting = fastOnly ? 0 : 1;
	}
	if ( take( "-rm", whole( "-rm" ), n ) ) s.removeMatched = ( n != 0 );
	if ( take( "-it", whole( "-it" ), n ) ) s.iteration = ( n != 0 );
	if ( take( "-glo", whole( "-glo" ), n ) ) s.globalDomainOpt = ( n != 0 );
	if ( take( "-lco", whole( "-lco" ), n ) ) s.localDomainOpt = ( n != 0 );
	// Read for old command lines; no effect.
	for ( const char* ignored : { "-rps", "-msc", "-stm" } ) take( ignored, whole( ignored ), n );
	if ( take( "-dmm", whole( "-dmm" ), n ) ) s.domainMatching = ( n != 0 );
	take( "-rsc", cutoff_value, s.corrCutoff );
	// -py3 takes any text and has no effect.
	if ( take( "-seg", whole( "-seg" ), n ) ) s.segmentation = ( n == 1 );

	check_every_argument_is_read( argc, argv );
	// Said once the command line is known to be good.
	if ( fastOnly ) std::cout << "Run Fast Fitting only." << std::endl;
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
