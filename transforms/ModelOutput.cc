#include "transforms/ModelOutput.hh"

#include "alignment/Kabsch.hh"
#include "core/Protein.hh"
#include "core/basic_fun_Quilt.hh"
#include "core/model_file_format.hh"
#include "core/pdb_atom_records.hh"
#include "transforms/TextFormat.hh"
#include "utility/temporary_files.hh"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>
#include <utility>
#include <vector>

bool is_model_atom_line( std::string const& line )
{
	return pdb_atom_or_hetatm( line );
}

namespace {

bool read_lines( std::string const& path, std::vector<std::string>& lines )
{
	std::ifstream in( path.c_str(), std::ios::binary );
	if ( !in ) return false;
	for ( std::string line; std::getline( in, line ); ) lines.push_back( line );
	return true;
}

double** read_rows( std::string const& path, int& n, int& firstChain, bool stopAtChainEnd )
{
	n = 0;
	firstChain = 0;
	std::vector<std::string> lines;
	if ( !read_lines( path, lines ) ) return nullptr;
	PdbLineRoles const roles = pdb_line_roles( lines );
	bool chainEnded = false;
	std::string chain; // of the last atom of the first chain
	std::vector<double> xyz;
	for ( size_t i = 0; i < lines.size() && !( chainEnded && stopAtChainEnd ); ++i ) {
		std::string const& line = lines[i];
		// The first chain ends where the model reader stops reading one chain.
		if ( !chainEnded && ( pdb_is_end_record( line )
		                      || ( line.compare( 0, 3, "TER" ) == 0 && pdb_ter_ends_chain( lines, i, chain ) ) ) ) {
			chainEnded = true;
			firstChain = (int)( xyz.size() / 3 );
			continue;
		}
		if ( !is_model_atom_line( line ) ) continue;
		if ( !chainEnded && ( line.compare( 0, 4, "ATOM" ) == 0 || roles.role[i] == PdbLineRole::ChainAtom ) )
			chain = pdb_chain_id( line );
		for ( int c = 0; c < 3; ++c ) {
			size_t const at = 30 + 8 * c;
			std::string const field = line.size() > at ? line.substr( at, 8 ) : std::string();
			xyz.push_back( std::strtod( field.c_str(), nullptr ) );
		}
	}
	n = (int)( xyz.size() / 3 );
	if ( !chainEnded ) firstChain = n;
	double** rows = new2DArr( n, 3 );
	for ( int i = 0; i < n; ++i )
		for ( int c = 0; c < 3; ++c ) rows[i][c] = xyz[3 * i + c];
	return rows;
}

} // namespace

double** read_model_atom_rows( std::string const& path, int& n, bool stopAtTer )
{
	int firstChain = 0;
	return read_rows( path, n, firstChain, stopAtTer );
}

double** read_model_atom_rows( std::string const& path, int& n, int& beforeTer )
{
	return read_rows( path, n, beforeTer, false );
}

namespace {

// The first atom line that cannot take coordinates, as the problem of the
// file; true when there is none.
bool atom_lines_take_coordinates( std::vector<std::string> const& lines, std::string& problem )
{
	for ( size_t i = 0; i < lines.size(); ++i ) {
		std::string const& line = lines[i];
		if ( !is_model_atom_line( line ) ) continue;
		std::string const where = "line " + std::to_string( i + 1 ) + " (\"" + line + "\")";
		if ( line.size() < 54 ) {
			problem = where + " is too short to hold coordinates (" + std::to_string( line.size() )
			          + " characters; x, y and z take columns 31-54)";
			return false;
		}
		for ( int c = 0; c < 3; ++c ) {
			if ( !pdb_finite_field( line.substr( 30 + 8 * c, 8 ) ) ) {
				problem = where + " has a " + std::string( 1, "xyz"[c] ) + " coordinate (columns "
				          + std::to_string( 31 + 8 * c ) + "-" + std::to_string( 38 + 8 * c )
				          + ") that is not a finite number";
				return false;
			}
		}
	}
	return true;
}

} // namespace

bool check_model_atom_lines( std::string const& path, std::string& problem )
{
	problem.clear();
	std::vector<std::string> lines;
	if ( !read_lines( path, lines ) ) {
		problem = "the file cannot be read";
		return false;
	}
	if ( atom_lines_take_coordinates( lines, problem ) ) return true;
	// The rows of an mmCIF file begin with "ATOM" too, but hold words, not
	// columns: the file is named for what it is.
	if ( mmcif_text( lines ) ) problem = mmcif_reason();
	return false;
}

bool coordinates_fit_pdb_columns( double** xyz, int n, int* badRow )
{
	char field[64];
	for ( int i = 0; i < n; ++i ) {
		for ( int r = 0; r < 3; ++r ) {
			if ( !std::isfinite( xyz[i][r] ) || std::snprintf( field, sizeof field, "%8.3f", xyz[i][r] ) != 8 ) {
				if ( badRow ) *badRow = i;
				return false;
			}
		}
	}
	return true;
}

double** rotate_allatom( double** atoms, double** oldCA, double** newCA, int nCA, int nAtoms )
{
	double rms = 0.0;
	double t[3];
	double u[3][3];
	Kabsch( oldCA, newCA, nCA, 2, &rms, t, u );
	double** out = new2DArr( nAtoms, 3 );
	for ( int i = 0; i < nAtoms; ++i ) {
		double const x = atoms[i][0], y = atoms[i][1], z = atoms[i][2];
		for ( int r = 0; r < 3; ++r ) out[i][r] = ( ( u[r][0] * x + u[r][1] * y ) + t[r] ) + u[r][2] * z;
	}
	return out;
}

namespace {

// True when both paths name one existing file (same device and inode).
bool same_file( std::string const& a, std::string const& b )
{
	struct stat sa, sb;
	if ( ::stat( a.c_str(), &sa ) != 0 || ::stat( b.c_str(), &sb ) != 0 ) return false;
	return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

} // namespace

ReplacingFile::ReplacingFile( std::string target ) : target_( std::move( target ) )
{
	// The temporary file lies in the target's directory, so that rename()
	// stays on one file system and replaces the target in one step.
	temp_ = target_ + ".tmpXXXXXX";
	int fd = utility::make_temporary_file( temp_ );
	if ( fd < 0 ) {
		error_ = errno;
		temp_.clear();
		return;
	}
	file_ = ::fdopen( fd, "w" );
	if ( !file_ ) {
		error_ = errno;
		::close( fd );
		utility::remove_temporary_file( temp_ );
		temp_.clear();
	}
}

ReplacingFile::~ReplacingFile()
{
	if ( file_ ) std::fclose( file_ );
	if ( !temp_.empty() ) utility::remove_temporary_file( temp_ );
}

bool ReplacingFile::commit( bool ok )
{
	if ( !file_ ) {
		errno = error_ != 0 ? error_ : EIO;
		return false;
	}
	// A failed write of the writer's own leaves its reason in the stream.
	if ( !ok && std::ferror( file_ ) && errno != 0 ) error_ = errno;
	auto note = [ this ]( bool failed ) {
		if ( failed && error_ == 0 ) error_ = errno;
		return !failed;
	};
	if ( !note( std::fflush( file_ ) != 0 ) ) ok = false;
	if ( !note( std::fclose( file_ ) != 0 ) ) ok = false;
	file_ = nullptr;
	if ( ok ) {
		// mkstemp creates the file mode 0600; give it the usual permissions.
		mode_t mask = ::umask( 0 );
		::umask( mask );
		::chmod( temp_.c_str(), 0666 & ~mask );
		ok = note( utility::rename_temporary_file( temp_, target_ ) != 0 );
	}
	if ( !ok ) {
		utility::remove_temporary_file( temp_ );
		errno = error_ != 0 ? error_ : EIO;
	}
	temp_.clear();
	return ok;
}

bool copy_moved_lines( std::istream& in, std::FILE* out, double* const* xyz, int nRows, int& unmoved,
	int* tooWideRow )
{
	int k = 0;
	bool ok = true;
	std::string line;
	while ( std::getline( in, line ) ) {
		if ( is_model_atom_line( line ) ) {
			if ( k < nRows && line.size() < 54 ) {
				++k; // takes its row (blank fields read as zero), copied as it is
			} else if ( k < nRows ) {
				// "%8.3f" would widen a coordinate out of its range (or write
				// "nan") and push the columns after it out of place.
				if ( !coordinates_fit_pdb_columns( const_cast<double**>( xyz + k ), 1 ) ) {
					if ( tooWideRow ) *tooWideRow = k;
					return false;
				}
				std::string const coords = formatted( "%8.3f%8.3f%8.3f", xyz[k][0], xyz[k][1], xyz[k][2] );
				++k;
				ok = ok && std::fwrite( line.data(), 1, 30, out ) == 30;
				ok = ok && std::fwrite( coords.data(), 1, coords.size(), out ) == coords.size();
				ok = ok && std::fwrite( line.data() + 54, 1, line.size() - 54, out ) == line.size() - 54;
				ok = ok && std::fputc( '\n', out ) != EOF;
				continue;
			} else {
				++unmoved;
			}
		}
		ok = ok && std::fwrite( line.data(), 1, line.size(), out ) == line.size();
		ok = ok && std::fputc( '\n', out ) != EOF;
	}
	return ok && !in.bad();
}

bool SaveModel( std::string inPath, std::string outPath, double** xyz, int nRows )
{
	std::ifstream in( inPath.c_str(), std::ios::binary );
	if ( !in ) {
		std::cout << "Error! Cannot read the model file " << inPath << std::endl;
		return false;
	}
	if ( same_file( inPath, outPath ) ) {
		std::cout << "Error! The moved model would overwrite its input file " << inPath
		          << "; nothing written." << std::endl;
		return false;
	}
	ReplacingFile out( outPath );
	if ( !out.file() ) {
		std::cout << "Error! Cannot write the model file " << outPath << ": " << std::strerror( errno )
		          << std::endl;
		return false;
	}
	int skipped = 0;
	int tooWide = -1;
	bool const ok = copy_moved_lines( in, out.file(), xyz, nRows, skipped, &tooWide );
	if ( tooWide >= 0 ) {
		out.commit( false );
		std::cout << "Error! Coordinates " << xyz[tooWide][0] << " " << xyz[tooWide][1] << " " << xyz[tooWide][2]
		          << " of atom line " << ( tooWide + 1 ) << " do not fit the PDB coordinate columns"
		          << " (-999.999 to 9999.999); " << outPath << " not written." << std::endl;
		return false;
	}
	if ( !out.commit( ok ) ) {
		// The system's reason: a full disk, a directory of that name in the way.
		int const why = errno;
		std::cout << "Error! Cannot write the model file " << outPath << ": " << std::strerror( why ) << std::endl;
		return false;
	}
	if ( skipped > 0 ) {
		std::cout << "Warning! " << skipped << " atom lines of " << inPath << " have no moved coordinates"
		          << " and were copied unchanged into " << outPath << std::endl;
	}
	return true;
}
