#include "apps/siblings/sibling_cli.hh"

#include "core/basic_fun_Quilt.hh"
#include "transforms/ModelOutput.hh"
#include "utility/memory_stop.hh"
#include "utility/temporary_files.hh"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

namespace siblings {

namespace {

bool looks_like_option( char const* text )
{
	return text[0] == '-' && std::isalpha( static_cast<unsigned char>( text[1] ) );
}

bool known( std::vector<std::string> const& names, std::string const& name )
{
	for ( std::string const& n : names )
		if ( n == name ) return true;
	return false;
}

// "a", "a and b", "a, b and c".
std::string listed( std::vector<std::string> const& items )
{
	std::string out;
	for ( size_t k = 0; k < items.size(); ++k ) {
		if ( k > 0 ) out += k + 1 == items.size() ? " and " : ", ";
		out += items[k];
	}
	return out;
}

} // namespace

int check_command_line( int argc, char** argv, CommandLineForm const& form, std::vector<std::string> const& usage,
	std::ostream& errors )
{
	if ( argc < 2 ) {
		print_usage( usage );
		return 0;
	}
	int i = 1;
	size_t given = 0;
	while ( i < argc && given < form.positional.size() && !looks_like_option( argv[i] ) ) {
		++given;
		++i;
	}
	std::vector<std::string> seen;
	for ( ; i < argc; i += 2 ) {
		std::string const arg = argv[i];
		if ( !looks_like_option( argv[i] ) ) {
			errors << "Error! Unexpected argument '" << arg << "' (see the usage: run without arguments)." << std::endl;
			return 1;
		}
		if ( !known( form.options, arg ) ) {
			errors << "Error! Unknown option '" << arg << "' (see the usage: run without arguments)." << std::endl;
			return 1;
		}
		if ( i + 1 >= argc || known( form.options, argv[i + 1] ) ) {
			errors << "Error! The option " << arg << " needs a value." << std::endl;
			return 1;
		}
		seen.push_back( arg );
	}
	std::vector<std::string> missing( form.positional.begin() + given, form.positional.end() );
	for ( auto const& r : form.required )
		if ( !known( seen, r.first ) ) missing.push_back( r.second + " (" + r.first + ")" );
	if ( !missing.empty() ) {
		print_usage( usage );
		errors << "Error! Missing " << listed( missing ) << "; see the usage above." << std::endl;
		return 1;
	}
	return -1;
}

bool outputs_spare_inputs( std::vector<InputFile> const& inputs, std::vector<std::string> const& outputs,
	std::ostream& errors )
{
	struct stat in, out;
	for ( InputFile const& input : inputs ) {
		if ( ::stat( input.path.c_str(), &in ) != 0 ) continue;
		for ( std::string const& output : outputs )
			if ( ::stat( output.c_str(), &out ) == 0 && out.st_dev == in.st_dev && out.st_ino == in.st_ino ) {
				errors << "Error! The result " << output << " would replace " << input.what << " " << input.path
				       << "; nothing written." << std::endl;
				return false;
			}
		// Whatever the program would print would land in the input: the
		// line goes to standard error.
		if ( ::fstat( STDOUT_FILENO, &out ) == 0 && S_ISREG( out.st_mode ) && out.st_dev == in.st_dev
		     && out.st_ino == in.st_ino ) {
			std::cerr << "Error! Standard output goes into " << input.what << " " << input.path << "; nothing written."
			          << std::endl;
			return false;
		}
	}
	return true;
}

char const* option_value( int argc, char** argv, char const* name )
{
	for ( int i = 1; i < argc - 1; ++i )
		if ( std::strcmp( argv[i], name ) == 0 ) return argv[i + 1];
	return nullptr;
}

std::vector<char const*> option_values( int argc, char** argv, char const* name )
{
	std::vector<char const*> values;
	for ( int i = 1; i < argc - 1; ++i )
		if ( std::strcmp( argv[i], name ) == 0 ) values.push_back( argv[i + 1] );
	return values;
}

double number_argument( char const* text, char const* what, double lo, double hi, bool& ok )
{
	char* end = nullptr;
	double const v = std::strtod( text, &end );
	if ( end == text || *end != '\0' || !std::isfinite( v ) || v < lo || v > hi ) {
		std::cout << "Error! " << what << " must be a number from " << lo << " to " << hi << "; got '" << text << "'."
		          << std::endl;
		ok = false;
		return lo;
	}
	return v;
}

// Every occurrence of an option is checked (a refused value is no less a
// slip for coming after a good one: "-nm 2 -nm abc" ran with two models);
// the first refused one is named, and the first occurrence gives the value.
double number_option( int argc, char** argv, char const* name, double fallback, double lo, double hi, bool& ok )
{
	std::vector<char const*> const values = option_values( argc, argv, name );
	std::string const what = std::string( "The value of " ) + name;
	double first = fallback;
	for ( size_t k = 0; k < values.size(); ++k ) {
		bool good = true;
		double const v = number_argument( values[k], what.c_str(), lo, hi, good );
		if ( !good ) {
			ok = false;
			return lo;
		}
		if ( k == 0 ) first = v;
	}
	return first;
}

long integer_option( int argc, char** argv, char const* name, long fallback, long lo, long hi, bool& ok )
{
	long first = fallback;
	std::vector<char const*> const values = option_values( argc, argv, name );
	for ( size_t k = 0; k < values.size(); ++k ) {
		char const* v = values[k];
		char* end = nullptr;
		long const n = std::strtol( v, &end, 10 );
		if ( end == v || *end != '\0' || n < lo || n > hi ) {
			std::cout << "Error! The value of " << name << " must be a whole number from " << lo << " to " << hi
			          << "; got '" << v << "'." << std::endl;
			ok = false;
			return fallback;
		}
		if ( k == 0 ) first = n;
	}
	return first;
}

void print_usage( std::vector<std::string> const& lines )
{
	for ( std::string const& l : lines ) std::cout << l << "\n";
	std::cout.flush();
}

ResultWriter::~ResultWriter()
{
	for ( auto const& p : pending_ )
		if ( !p.first.empty() ) utility::remove_temporary_file( p.first );
}

std::string ResultWriter::temporary_for( std::string const& output ) const
{
	// A name of our own, made here (O_EXCL): never a file that was already
	// there, nor a link to one.
	std::string name = output + ".partXXXXXX";
	int const fd = utility::make_temporary_file( name );
	if ( fd < 0 ) {
		std::cout << "Error! Cannot write beside " << output << ": " << std::strerror( errno ) << std::endl;
		return std::string();
	}
	::close( fd );
	// mkstemp makes the file mode 0600; results get the usual permissions.
	mode_t const mask = ::umask( 0 );
	::umask( mask );
	::chmod( name.c_str(), 0666 & ~mask );
	return name;
}

bool ResultWriter::add_moved( ChainModel const& model, std::string const& output, std::vector<Vec3> const& xyz )
{
	std::string const tmp = temporary_for( output );
	if ( tmp.empty() ) return false;
	// Memory that runs out on the way takes the temporary with it.
	try {
		int const n = (int)xyz.size();
		std::vector<double> flat( 3 * static_cast<size_t>( n ) );
		std::vector<double*> rows( static_cast<size_t>( n ) );
		for ( int i = 0; i < n; ++i ) {
			rows[i] = &flat[3 * size_t( i )];
			for ( int c = 0; c < 3; ++c ) rows[i][c] = xyz[i][c];
		}
		if ( !SaveModel( model.path, tmp, rows.data(), n ) ) {
			// A stream that met no memory fails as a write that cannot be done.
			utility::throw_if_memory_ran_out();
			utility::remove_temporary_file( tmp );
			return false;
		}
		pending_.push_back( std::make_pair( tmp, output ) );
	} catch ( ... ) {
		utility::remove_temporary_file( tmp );
		throw;
	}
	return true;
}

bool ResultWriter::add_copy( std::string const& input, std::string const& output )
{
	std::string const tmp = temporary_for( output );
	if ( tmp.empty() ) return false;
	// Memory that runs out on the way takes the temporary with it.
	try {
		errno = 0;
		std::ifstream in( input.c_str(), std::ios::binary );
		std::ofstream out( tmp.c_str(), std::ios::binary | std::ios::trunc );
		if ( in && out ) out << in.rdbuf();
		out.close();
		if ( !in || !out ) {
			int const err = errno;
			utility::throw_if_memory_ran_out();
			std::cout << "Error! Cannot copy " << input << " to " << output;
			if ( err != 0 ) std::cout << ": " << std::strerror( err );
			std::cout << std::endl;
			utility::remove_temporary_file( tmp );
			return false;
		}
		pending_.push_back( std::make_pair( tmp, output ) );
	} catch ( ... ) {
		utility::remove_temporary_file( tmp );
		throw;
	}
	return true;
}

bool ResultWriter::commit()
{
	// Results made after memory ran out may come of input cut short.
	utility::throw_if_memory_ran_out();
	for ( size_t k = 0; k < pending_.size(); ++k ) {
		if ( utility::rename_temporary_file( pending_[k].first, pending_[k].second ) != 0 ) {
			std::cout << "Error! Cannot write " << pending_[k].second << ": " << std::strerror( errno ) << std::endl;
			for ( size_t j = 0; j < k; ++j ) std::remove( pending_[j].second.c_str() );
			return false; // the destructor removes the remaining temporaries
		}
		pending_[k].first.clear();
	}
	pending_.clear();
	return true;
}

std::string model_name( std::string const& path )
{
	std::string name = get_name_from_path( path );
	if ( name.size() > 4 ) name = name.substr( 0, name.size() - 4 );
	return name;
}

std::string model_directory( std::string const& path )
{
	size_t const slash = path.find_last_of( '/' );
	if ( slash == std::string::npos ) return ".";
	if ( slash == 0 ) return "/";
	return path.substr( 0, slash );
}

} // namespace siblings
