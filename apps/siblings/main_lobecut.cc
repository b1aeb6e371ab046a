// lobecut: splits one chain into structural domains and prints the domain
// definition on standard output (the caller's log):
//   <tag> <residues> <domains> (<start>-<end>;...) (<start>-<end>;...) ...
// The tag "xxxxA" names the file xxxx.pdb in the current directory (its
// first four characters) and the chain A (the rest; none: the first chain).
// Segments use the residue numbers of the file.  Messages go to standard
// error so that standard output holds the definition alone.
#include "apps/siblings/chain_model.hh"
#include "apps/siblings/domain_split.hh"
#include "apps/siblings/sibling_cli.hh"
#include "core/basic_fun_Quilt.hh"
#include "utility/memory_stop.hh"
#include "utility/temporary_files.hh"

#include <iostream>
#include <string>

using namespace siblings;

namespace {

// The chain the tag names: the first chain of that identifier; a blank
// identifier in the file answers to "A" (the model reader's reading of it).
int find_chain( ChainModel const& model, std::string const& id )
{
	if ( id.empty() ) return 0;
	for ( size_t c = 0; c < model.chains.size(); ++c )
		if ( model.chains[c].id == id ) return (int)c;
	for ( size_t c = 0; c < model.chains.size(); ++c )
		if ( model.chains[c].id.empty() && id == "A" ) return (int)c;
	return -1;
}

// Segments are written as "start-end": only positive residue numbers that
// never decrease along the chain can be read back from that text.
bool numbering_usable( ChainModel const& model, int c )
{
	int previous = 0;
	for ( int r : model.chains[c].residues ) {
		int const n = model.residues[r].number;
		if ( n < 1 || n < previous ) return false;
		previous = n;
	}
	return true;
}

int run( int argc, char** argv )
{
	// Results not yet renamed into place go when a signal ends the program.
	utility::install_temporary_file_cleanup();
	utility::MemoryStep step( "reading the command line" );
	CommandLineForm const form{ { "the chain tag" }, {}, {} };
	int const stop = check_command_line( argc, argv, form,
		{ "", " lobecut: split a protein chain into structural domains", "", " Usage: lobecut <code><chain> >log",
			"   reads <code>.pdb from the current directory (<code>: the first four",
			"   characters of the argument; <chain>: the rest, none for the first chain)", "",
			" Output (first line): <code><chain> <residues> <domains> (<start>-<end>;...) ...",
			"   chains below 80 residues are one domain; domains hold at least 40 residues" },
		std::cerr );
	if ( stop >= 0 ) return stop;
	std::string const tag = argv[1];
	if ( tag.size() < 4 ) {
		std::cerr << "Error! The argument must be a four-character code followed by a chain identifier; got '" << tag
		          << "'." << std::endl;
		return 1;
	}
	std::string const file = tag.substr( 0, 4 ) + ".pdb";
	std::string const chainId = tag.substr( 4 );
	// The log is the only output.
	if ( !outputs_spare_inputs( { { "the chain file", file } }, {}, std::cerr ) ) return 1;
	step.now( "reading the chain" );
	ChainModel model;
	std::string error;
	if ( checkfile( file ) && !isRegularFile( file ) ) {
		std::cerr << "Error! " << file << " is not a regular file." << std::endl;
		return 1;
	}
	if ( !read_chain_model( file, model, error ) ) {
		std::cerr << "Error! " << error << std::endl;
		return 1;
	}
	int const c = find_chain( model, chainId );
	if ( c < 0 ) {
		std::cerr << "Error! No chain '" << chainId << "' in " << file << std::endl;
		return 1;
	}
	step.now( "splitting the chain into domains" );
	std::vector<std::vector<int> > domains = chain_domains( model, c );
	if ( domains.empty() ) {
		std::cerr << "Error! Chain '" << chainId << "' of " << file << " has no CA or P atom." << std::endl;
		return 1;
	}
	if ( domains.size() > 1 && !numbering_usable( model, c ) ) {
		std::cerr << "Warning! The residue numbers of " << file
		          << " are not positive and increasing; the chain is reported as one domain." << std::endl;
		domains.assign( 1, model.chains[c].residues );
	}
	step.now( "writing the domains" );
	// The line is made whole before any of it is printed, and not at all from
	// a chain whose reading met no memory.
	std::string const line = domain_log_line( model, tag, domains );
	utility::throw_if_memory_ran_out();
	std::cout << line << std::endl;
	return std::cout ? 0 : 1;
}

} // namespace

int main( int argc, char** argv )
{
	// Memory that runs out anywhere ends the run with its own line (on
	// standard error, with the other messages); no domain line is printed.
	return utility::run_with_memory_stop( "Error!", "no domains written.", [&] { return run( argc, argv ); }, true );
}
