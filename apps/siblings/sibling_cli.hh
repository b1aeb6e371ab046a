// Command-line and result-file helpers shared by the sibling programs.
#ifndef QUILT_SIBLINGS_SIBLING_CLI_HH
#define QUILT_SIBLINGS_SIBLING_CLI_HH

#include "apps/siblings/chain_model.hh"

#include <iosfwd>
#include <string>
#include <utility>
#include <vector>

namespace siblings {

// What a sibling program's command line holds: the arguments it needs, in
// order, then options that each take one value.
struct CommandLineForm {
	// What each positional argument is, as the error line names it when it
	// is missing ("the density map").
	std::vector<std::string> positional;
	// The options the program knows ("-gw").
	std::vector<std::string> options;
	// Options that must be given, with what they are ("-res", "the resolution").
	std::vector<std::pair<std::string, std::string> > required;
};

// Checks a command line against its form before anything is read.  With no
// arguments at all the usage is printed and 0 returned; with some but not
// all required arguments, the usage and an error line naming what is
// missing, and 1.  An unknown option, an option without its value (at the
// end, or followed by another option of the form) and an argument beyond the
// positional ones are refused with an error line and 1.  Returns -1 when the
// program may go on; its options then stand in pairs after the positional
// arguments.  An argument that begins with "-" and a letter is an option;
// numbers such as "-0.5" are values.  Error lines go to `errors`.
int check_command_line( int argc, char** argv, CommandLineForm const& form, std::vector<std::string> const& usage,
	std::ostream& errors );

// An input file of a program: what it is ("the density map") and its path.
struct InputFile {
	std::string what;
	std::string path;
};

// False, after an error line on `errors`, when writing any of `outputs`
// would replace one of `inputs`: both are compared as files (device and
// inode, after following symbolic links), so a second name or a link of an
// input, or an output that is a link to one, counts as that input.  Standard
// output into one of the inputs is refused too (its line goes to standard
// error then).  Paths that do not exist clash with nothing.
bool outputs_spare_inputs( std::vector<InputFile> const& inputs, std::vector<std::string> const& outputs,
	std::ostream& errors );

// Value of the first occurrence of option `name` (exact match) that has an
// argument after it; null when there is none.
char const* option_value( int argc, char** argv, char const* name );
// Values of every such occurrence, in order.  An option given more than once
// must hold a value it accepts every time; the first occurrence is the one
// used (as Quilter reads its own options).
std::vector<char const*> option_values( int argc, char** argv, char const* name );

// Numeric option values, from the first occurrence; `ok` turns false (with
// a message naming the option and the value) when the text of any
// occurrence is no number or lies outside [lo, hi].
double number_option( int argc, char** argv, char const* name, double fallback, double lo, double hi, bool& ok );
long integer_option( int argc, char** argv, char const* name, long fallback, long lo, long hi, bool& ok );
// A positional number, checked in the same way.
double number_argument( char const* text, char const* what, double lo, double hi, bool& ok );

// Prints the lines of a usage text on standard output.
void print_usage( std::vector<std::string> const& lines );

// Result models written all or none: each goes to a temporary name beside
// its final name first, and only when every one is written are they renamed
// into place.  Temporaries that were not committed are removed when the
// writer goes away.
class ResultWriter {
public:
	ResultWriter() = default;
	ResultWriter( ResultWriter const& ) = delete;
	ResultWriter& operator=( ResultWriter const& ) = delete;
	~ResultWriter();

	// A line copy of the model's file with its atom rows replaced by xyz.
	bool add_moved( ChainModel const& model, std::string const& output, std::vector<Vec3> const& xyz );
	// A byte copy of the input file.
	bool add_copy( std::string const& input, std::string const& output );
	// Renames every temporary into place; on failure the results already
	// renamed are removed again and false is returned.
	bool commit();

private:
	std::string temporary_for( std::string const& output ) const;
	std::vector<std::pair<std::string, std::string> > pending_; // temporary, final
};

// Model name of a path: the file name without its last four characters
// (".pdb"); a name of four characters or fewer stays whole.
std::string model_name( std::string const& path );
// Directory of a path without the trailing "/"; "." for a bare file name.
std::string model_directory( std::string const& path );

} // namespace siblings

#endif
