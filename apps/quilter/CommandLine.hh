// The assembly program's command line: "data_path map resolution [Options]",
// the usage text, the resolution given as a number or as a file, and the
// option scan with its range checks.
#ifndef QUILT_QUILTER_COMMANDLINE_HH
#define QUILT_QUILTER_COMMANDLINE_HH

#include <string>

// Version text shown by the usage text; stored by main at start.
extern char version[ 20 ];

// Settings of one assembly run (defaults are those in force when an option
// is not given).
struct QuilterSettings {
	std::string dataPath;         // first argument, made absolute
	std::string mapPath;          // second argument, made absolute
	double resolution = 0.0;      // third argument, capped at 20.0
	std::string inputPrefix = "chain";       // -ipn
	double gridWidth = 0.0;                  // -gw: 0 keeps the map's own grid
	double threshold = 0.0;                  // -dc
	int fastPositions = 5;                   // -nft
	int lbfgsPositions = 20;                 // -nlb
	int processCount = 10;                   // -nco
	std::string outputName = "segCmodel.pdb";  // -opn
	bool silent = false;                     // -sl 0
	int fullFitting = 1;                     // -ft 1 turns it off
	bool removeMatched = true;               // -rm
	bool iteration = true;                   // -it
	bool globalDomainOpt = true;             // -glo
	bool localDomainOpt = true;              // -lco
	bool domainMatching = true;              // -dmm
	double corrCutoff = 0.6;                 // -rsc: 0 asks for the resolution-derived cutoff
	bool segmentation = false;               // -seg 1
};

// Ranges of the counts handed to the started programs: the FFT search
// writes at most 999 poses, the LBFGS fitting programs at most 1000 models,
// and the programs run at most 256 threads.
constexpr int kMaxFastPositions = 999;   // -nft
constexpr int kMaxLbfgsPositions = 1000; // -nlb
constexpr int kMaxProcessCount = 256;    // -nco

// The resolution: the started fitting programs PlacerRNA, Lobeplace and
// Lobetune take 0.1 to 100 (Placer and Rasterseek any positive value); the
// run caps it at 20.
constexpr double kMinResolution = 0.1;
constexpr double kMaxResolution = 20.0;

// Prints the usage text (program = argv[0]) and ends the process with status 0.
[[noreturn]] void print_help( char* program );

// True when the whole string is one number in strtod syntax.
bool isFloat( const std::string& text );

// strtod of the first line of the file (after a UTF-8 byte-order mark); 0.0
// when it does not begin with a number or the file cannot be opened.
double getReso( std::string file );

// Reads the three positional arguments into settings: the paths made
// absolute, the resolution as a number or from a file, capped at 20.0.  No
// arguments at all print the usage text (status 0); one or two, or an option
// in the place of one of the three, print the usage text and an "ERROR!" line
// that names the missing ones (status 1).  A resolution that is not a finite
// number of at least kMinResolution, a data directory that does not exist or
// cannot be written, and a map that cannot be read stop the process with an
// "ERROR!" line and status 1 before anything is made.
void readPositionalArguments( int argc, char** argv, QuilterSettings& settings );

// Scans the options one after another over argv[1..argc-1]: the first
// occurrence that has a value after it wins, and a value that looks like an
// option is still a value ("-ipn -gw 2": prefix "-gw", grid width 2).  Each
// of these ends the process with an "ERROR!" line and status 1: a value
// (of any occurrence) that its option does not accept (-gw a number in
// [0,5], -rsc in [0,1), -dc a finite number, -nft, -nlb and -nco whole
// numbers within the ranges above, the switches and -rps, -msc, -stm whole
// numbers, -opn a plain file name ending in ".pdb"); an unknown option; an
// option in the last place without its value; an argument after the
// resolution that is neither an option nor the value of one.
void scanOptions( int argc, char** argv, QuilterSettings& settings );

// Stops the process with an "ERROR!" line and status 1 when the final model
// (data path + output name less ".pdb" + "1.pdb") would replace one of the
// run's inputs: a model file the run reads (input prefix + number + ".pdb")
// or the map.
void checkOutputName( const QuilterSettings& settings );

#endif
