#include "apps/siblings/placement.hh"

#include "apps/siblings/sibling_cli.hh"
#include "core/basic_fun_Quilt.hh"
#include "utility/memory_stop.hh"

#include <algorithm>
#include <iostream>

namespace siblings {

bool read_fit_options( int argc, char** argv, char const* resolution, FitRequest& request )
{
	bool ok = true;
	request.resolution = number_argument( resolution, "The resolution", 0.1, 100.0, ok );
	request.threshold = number_option( argc, argv, "-dc", 0.0, -1e30, 1e30, ok );
	number_option( argc, argv, "-gw", 0.0, 0.0, 1e6, ok );
	request.quiet = integer_option( argc, argv, "-sl", 1, -1000000, 1000000, ok ) == 0;
	return ok;
}

std::string output_base( char const* on, std::string const& fallback )
{
	std::string name = on ? on : fallback;
	if ( name.size() > 4 && name.compare( name.size() - 4, 4, ".pdb" ) == 0 ) name.resize( name.size() - 4 );
	if ( name.empty() || name.find( '/' ) != std::string::npos ) {
		std::cout << "Error! The output name (-on) must be a file name; got '" << ( on ? on : "" ) << "'." << std::endl;
		return std::string();
	}
	return name;
}

std::string output_base_option( int argc, char** argv, std::string const& fallback )
{
	std::vector<char const*> const names = option_values( argc, argv, "-on" );
	if ( names.empty() ) return output_base( nullptr, fallback );
	std::string first;
	for ( size_t k = 0; k < names.size(); ++k ) {
		std::string const name = output_base( names[k], fallback );
		if ( name.empty() ) return std::string();
		if ( k == 0 ) first = name;
	}
	return first;
}

bool FitSession::load( FitRequest const& request )
{
	request_ = request;
	std::string error;
	if ( !checkfile( request.mapPath ) ) {
		std::cout << "Error! Cannot read the density map " << request.mapPath << std::endl;
		return false;
	}
	// A FIFO or device would block the reading for ever.
	for ( std::string const& p : { request.mapPath, request.modelPath } ) {
		if ( checkfile( p ) && !isRegularFile( p ) ) {
			std::cout << "Error! " << p << " is not a regular file; no model written." << std::endl;
			return false;
		}
	}
	if ( !read_chain_model( request.modelPath, model_, error ) ) {
		std::cout << "Error! " << error << std::endl;
		return false;
	}
	if ( !map_.readDensityMap( request.mapPath, request.resolution, 0.0, request.threshold, request.quiet )
	     || !map_.isLoaded ) {
		utility::throw_if_memory_ran_out(); // no room for the map: the memory line ends the run
		std::cout << "Error! The density map " << request.mapPath << " could not be loaded; no model written."
		          << std::endl;
		return false;
	}
	// Without positive density every pose scores alike: the "fits" would be
	// arbitrary.
	if ( !map_.hasPositiveDensity() ) {
		std::cout << "Error! The density map " << request.mapPath << " has no positive density; nothing to fit into, no"
		          << " model written." << std::endl;
		return false;
	}
	return true;
}

double FitSession::chain_correlation( std::vector<Vec3> const& xyz )
{
	return atom_correlation( map_, model_, xyz, residue_rows( model_, model_.chains[0].residues ) );
}

bool FitSession::place_chain( int nm, std::vector<Placement>& out )
{
	out.clear();
	// The search starts from the centre of the voxels above the threshold:
	// without any, it would start anywhere and its "fits" lie off the density.
	if ( map_.nDensPoints == 0 ) {
		std::cout << "Error! No voxel of the density map " << request_.mapPath << " lies above the threshold "
		          << request_.threshold << " (-dc); no model written." << std::endl;
		return false;
	}
	std::vector<int> const& residues = model_.chains[0].residues;
	std::string used;
	std::vector<int> const rows = select_rows( model_, residues, request_.atomType, used );
	if ( rows.empty() ) {
		std::cout << "Error! No atom of type '" << request_.atomType << "' in the first chain of "
		          << request_.modelPath << "; no model written." << std::endl;
		return false;
	}
	std::cout << request_.prefix << "Fit '" << model_name( request_.modelPath ) << "' (" << residues.size()
	          << " residues, " << rows.size() << " " << used << " atoms scored) into the density map" << std::endl;

	RigidBody body( model_, rows );
	std::vector<std::pair<double, Rigid> > const poses = body.search( map_, (int)residues.size(), request_.quiet );
	if ( poses.empty() ) {
		std::cout << "Error! The search found no pose; no model written." << std::endl;
		return false;
	}

	std::vector<int> all( model_.xyz.size() );
	for ( size_t i = 0; i < all.size(); ++i ) all[i] = (int)i;
	std::vector<int> compare = trace_rows( model_, residues );
	if ( compare.empty() ) compare = rows;

	std::vector<Placement> distinct, spare;
	size_t const cap = (size_t)nm + 30;
	for ( auto const& p : poses ) {
		if ( distinct.size() >= cap ) break;
		Placement c;
		c.transform = p.second;
		c.xyz = moved_rows( model_.xyz, all, p.second );
		bool near = false;
		for ( Placement const& d : distinct )
			if ( rows_rmsd( c.xyz, d.xyz, compare ) < 1.5 ) {
				near = true;
				break;
			}
		if ( !near ) {
			c.correlation = chain_correlation( c.xyz );
			distinct.push_back( c );
		} else if ( spare.size() < (size_t)nm ) {
			c.correlation = chain_correlation( c.xyz );
			spare.push_back( c );
		}
	}
	auto better = []( Placement const& a, Placement const& b ) { return a.correlation > b.correlation; };
	std::stable_sort( distinct.begin(), distinct.end(), better );
	std::stable_sort( spare.begin(), spare.end(), better );
	for ( Placement& d : distinct )
		if ( (int)out.size() < nm ) out.push_back( d );
	for ( Placement& s : spare )
		if ( (int)out.size() < nm ) out.push_back( s );
	// Every requested file is written: the best pose stands in for missing ones.
	while ( (int)out.size() < nm ) out.push_back( out.front() );
	return true;
}

} // namespace siblings
