#ifndef INCLUDED_utility_inline_file_provider_hh
#define INCLUDED_utility_inline_file_provider_hh

// Files kept in memory under their names, so that code which opens a file by
// name can be served from text registered at run time instead of the disk.
// Input files are registered with their text, output files are created as
// empty in-memory streams, names can be black-listed, and hooks can supply
// the text of a name not yet known. Names are standardised ("./" dropped
// from the front, runs of "/" made one) before they are stored or looked up.
//
// The in-memory streams live for the rest of the run: removing an entry, or
// the provider itself, never invalidates a stream handed out.

#include <iosfwd>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace utility {

// Supplies the text of files the provider does not know yet
class Inline_File_Provider_Hook
{
public:
	virtual ~Inline_File_Provider_Hook() {}

	// True when the whole text of the (standardised) file name was put into result
	virtual bool request_file( std::string const & filename, std::string & result ) = 0;
};

class Inline_File_Provider
{
public:
	using Entry = std::pair< std::string, std::stringstream * >;
	using Entries = std::vector< Entry >;

	Inline_File_Provider();

	virtual ~Inline_File_Provider();

	// "./" removed once from the front; runs of "/" shrink to one
	static std::string standardise_filename( std::string const & name );

	// Registers an input file holding contents (announced on standard output)
	void add_input_file( std::string const & filename, std::string const & contents );

	// A new empty in-memory output file (announced on standard output); never fails
	bool get_ostream( std::string const & filename, std::ostream *& the_stream );

	// The first input, then output, entry of the standardised name
	bool get_sstream( std::string const & filename, std::stringstream *& the_stream );

	// The first entry of list named exactly filename
	static bool find_sstream( Entries const & list, std::string const & filename, std::stringstream *& the_stream );

	// The file's input side: registered files first, then the hooks. False
	// for black-listed names and names that are empty or end in "/".
	bool get_istream( std::string const & filename, std::istream *& the_stream );

	bool file_exists( std::string const & filename );

	void add_black_listed_file( std::string const & filename );
	bool is_black_listed_file( std::string const & filename ) const;

	// Removes every input entry stored under filename exactly as given
	void remove_input_file( std::string const & filename );

	void clear_input_files();

	void add_file_provider_hook( std::shared_ptr< Inline_File_Provider_Hook > hook );

	void show_contents() {}
	void init_static_inputs() {}

private:
	Entries input_files_;
	Entries output_files_;
	std::vector< std::shared_ptr< Inline_File_Provider_Hook > > hooks_;
	std::vector< std::string > black_list_;
};

} // utility

#endif
