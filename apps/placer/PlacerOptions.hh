// Placer's command line: "map model resolution [Options]" and the options
// -gw, -dc, -nm, -sl and -rc.  The parsing ends no process: main prints the
// usage text or stops on what it is told.
#ifndef QUILT_PLACER_PLACEROPTIONS_HH
#define QUILT_PLACER_PLACEROPTIONS_HH

#include <string>

struct PlacerArguments {
	std::string map;          // first argument, made absolute where it resolves
	std::string model;        // second argument, absolute, its own last name kept
	double resolution = 0.0;  // third argument: finite, above 0 (Angstrom)
	double gridWidth = 0.0;   // -gw: 0 keeps the map's own grid
	double threshold = 0.0;   // -dc
	long poses = 1;           // -nm: 1 .. kMaxPoseCount
	bool quiet = false;       // -sl 0
	bool report = true;       // -rc 0 turns the RSCC report off
	std::string missing;      // Incomplete: the error line naming the missing arguments
};

enum class PlacerCommand {
	Run,         // the arguments are usable
	Help,        // no arguments: the usage text is wanted
	Incomplete,  // some required arguments are missing: the usage text, then `missing`, status 1
	Stop         // an unusable argument; its "Error! ..." line has been printed
};

// Reads argv[1..argc-1] into args: the map, the model and the resolution,
// then options (-gw, -dc, -nm, -sl, -rc), each followed by its value; every
// occurrence of an option must hold a value it accepts, and the first one
// counts ("-nm 2 -nm abc" is refused).  Unknown options, stray arguments and
// an option without its value are refused.  Numbers must be whole texts
// ("3x", "2.9" as a count, "1e6" as a count, "nan" and "inf" are refused).
PlacerCommand parsePlacerArguments( int argc, char** argv, PlacerArguments& args );

#endif
