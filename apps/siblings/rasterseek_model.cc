// Rasterseek's files: model atoms in, ranked line copies out.
#include "apps/siblings/rasterseek_model.hh"

#include "apps/siblings/chain_model.hh"

#include "core/basic_fun_Quilt.hh"
#include "core/model_file_format.hh"
#include "core/pdb_atom_records.hh"
#include "transforms/ModelOutput.hh"
#include "utility/memory_stop.hh"
#include "utility/temporary_files.hh"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

namespace rasterseek {

namespace {

// A coordinate field (8 columns from `at`) that holds a number.
bool coordinate( std::string const& line, std::size_t at, double& value )
{
	if ( line.size() < at + 8 ) return false;
	std::string const field = line.substr( at, 8 );
	char* end = nullptr;
	value = std::strtod( field.c_str(), &end );
	if ( end == field.c_str() ) return false;
	while ( *end == ' ' ) ++end;
	return *end == '\0' && std::isfinite( value );
}

bool same_file( std::string const& a, std::string const& b )
{
	struct stat sa, sb;
	if ( ::stat( a.c_str(), &sa ) != 0 || ::stat( b.c_str(), &sb ) != 0 ) return false;
	return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
}

} // namespace

bool read_model_file( std::string const& path, ModelFile& model, std::string& error )
{
	model = ModelFile();
	model.path = path;
	struct stat st;
	if ( ::stat( path.c_str(), &st ) != 0 || !S_ISREG( st.st_mode ) ) {
		error = "cannot read the model file " + path;
		return false;
	}
	std::ifstream in( path.c_str(), std::ios::binary );
	if ( !in ) {
		error = "cannot read the model file " + path;
		return false;
	}
	std::vector< std::string > lines;
	for ( std::string line; std::getline( in, line ); ) lines.push_back( line );
	PdbLineRoles const roles = pdb_line_roles( lines );
	for ( std::size_t i = 0; i < lines.size(); ++i ) {
		std::string const& line = lines[ i ];
		if ( !is_model_atom_line( line ) ) continue;
		// The writer's rule for a row: blank or unreadable fields count as 0.
		double xyz[ 3 ] = { 0.0, 0.0, 0.0 };
		bool complete = true;
		for ( int c = 0; c < 3; ++c ) {
			if ( !coordinate( line, 30 + 8 * c, xyz[ c ] ) ) {
				complete = false;
				std::string const field = line.size() > std::size_t( 30 + 8 * c ) ? line.substr( 30 + 8 * c, 8 ) : "";
				xyz[ c ] = std::strtod( field.c_str(), nullptr );
			}
		}
		model.rows.insert( model.rows.end(), xyz, xyz + 3 );
		// Lines without three coordinates are copied, not placed; waters,
		// ligands and the atoms of later models are moved with the model
		// but not placed.
		if ( !complete || roles.role[ i ] != PdbLineRole::ChainAtom ) continue;
		poseCoord a;
		a.x = xyz[ 0 ];
		a.y = xyz[ 1 ];
		a.z = xyz[ 2 ];
		a.elt = line.size() > 12 ? trim( line.substr( 12, 4 ) ) : "";
		// Names such as "1HB": the element is the first letter.
		while ( !a.elt.empty() && std::isdigit( static_cast< unsigned char >( a.elt[ 0 ] ) ) ) a.elt.erase( 0, 1 );
		model.atoms.push_back( a );
	}
	if ( in.bad() ) {
		error = "cannot read the model file " + path;
		return false;
	}
	if ( model.atoms.empty() ) {
		error = "the model file " + path + " has no atom records of a chain with coordinates";
		if ( mmcif_text( lines ) ) error += ": " + mmcif_reason();
		return false;
	}
	siblings::warn_unplaced_records( path, roles );
	return true;
}

std::string result_file_name( std::string const& name, int k )
{
	return name + "_00" + std::to_string( k ) + ".pdb";
}

bool write_results( ModelFile const& model, std::vector< Placement > const& placements, std::string const& name,
	int asked, std::string& error )
{
	int const rows = int( model.rows.size() / 3 );
	// The names are made before any file: renaming and removing need no
	// memory then.
	std::vector< std::string > finals, stale, staged;
	for ( std::size_t k = 0; k < placements.size(); ++k ) finals.push_back( result_file_name( name, int( k ) + 1 ) );
	for ( int k = int( placements.size() ) + 1; k <= asked; ++k ) stale.push_back( result_file_name( name, k ) );
	staged.reserve( placements.size() );
	auto discard = [ & ]() {
		for ( std::string const& s : staged ) utility::remove_temporary_file( s );
		staged.clear();
	};
	// Memory that runs out while the results are staged takes them with it.
	try {
		for ( std::size_t k = 0; k < placements.size(); ++k ) {
			std::string const& final = finals[ k ];
			if ( same_file( model.path, final ) ) {
				discard();
				error = "result " + final + " would overwrite the input model";
				return false;
			}
			// A unique name beside the result; the writer replaces it in one step.
			std::string temp = final + ".partXXXXXX";
			int const fd = utility::make_temporary_file( temp );
			if ( fd < 0 ) {
				discard();
				error = "cannot write " + final + ": " + std::strerror( errno );
				return false;
			}
			::close( fd );
			staged.push_back( std::move( temp ) ); // into reserved room: cannot fail
			std::vector< double > flat( 3 * static_cast< std::size_t >( rows ) );
			std::vector< double* > xyz( static_cast< std::size_t >( rows ) );
			for ( int i = 0; i < rows; ++i ) {
				xyz[ i ] = &flat[ 3 * std::size_t( i ) ];
				apply_placement( placements[ k ], &model.rows[ 3 * i ], xyz[ i ] );
			}
			if ( !SaveModel( model.path, staged.back(), xyz.data(), rows ) ) {
				// A stream that met no memory fails as a write that cannot be done.
				utility::throw_if_memory_ran_out();
				discard();
				error = "cannot write " + final;
				return false;
			}
		}
		// Results made after memory ran out may come of input cut short.
		utility::throw_if_memory_ran_out();
	} catch ( ... ) {
		discard();
		throw;
	}
	for ( std::size_t k = 0; k < staged.size(); ++k ) {
		if ( utility::rename_temporary_file( staged[ k ], finals[ k ] ) != 0 ) {
			int const why = errno;
			// Results renamed already go too: none of a failed run may stay.
			for ( std::size_t j = 0; j < k; ++j ) ::unlink( finals[ j ].c_str() );
			for ( std::size_t j = k; j < staged.size(); ++j ) utility::remove_temporary_file( staged[ j ] );
			error = "cannot write " + finals[ k ] + ": " + std::strerror( why );
			return false;
		}
	}
	for ( std::string const& s : stale ) ::unlink( s.c_str() );
	return true;
}

} // namespace rasterseek
