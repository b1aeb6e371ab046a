// simulate_map: writes the density map of a PDB model at a given
// resolution and voxel size (Gaussian atoms), for tests and examples.
#include "tools/SimulatedMap.hh"

#include <cstdlib>
#include <iostream>

int main( int argc, char** argv )
{
	if ( argc < 5 ) {
		std::cout << "Usage: " << argv[0] << " model.pdb out.mrc resolution voxel [margin] [chain]\n"
		          << "  Gaussian density of the model's ATOM records (sigma 0.225 x resolution) on a cubic\n"
		          << "  grid of the given voxel size (Angstrom) covering the model plus margin (default 12 A).\n";
		return argc == 1 ? 0 : 2;
	}
	char* end = nullptr;
	double const reso = std::strtod( argv[3], &end );
	double const voxel = std::strtod( argv[4], nullptr );
	double const margin = argc > 5 ? std::strtod( argv[5], nullptr ) : 12.0;
	char const chain = argc > 6 ? argv[6][0] : ' ';
	if ( !( reso > 0.0 ) || !( voxel > 0.0 ) || !( margin >= 0.0 ) ) {
		std::cout << "Error! resolution and voxel size must be positive numbers." << std::endl;
		return 2;
	}
	std::vector<SimAtom> atoms;
	if ( !read_sim_atoms( argv[1], atoms, chain ) ) {
		std::cout << "Error! Cannot read the model file " << argv[1] << std::endl;
		return 1;
	}
	if ( atoms.empty() ) {
		std::cout << "Error! No ATOM records in " << argv[1] << std::endl;
		return 1;
	}
	SimulatedMap map = simulate_density( atoms, reso, voxel, margin );
	if ( !write_mrc( argv[2], map ) ) {
		std::cout << "Error! Cannot write the map " << argv[2] << std::endl;
		return 1;
	}
	std::cout << "simulate_map> " << atoms.size() << " atoms, " << map.n[0] << " x " << map.n[1] << " x " << map.n[2]
	          << " voxels of " << voxel << " A at " << reso << " A -> " << argv[2] << std::endl;
	return 0;
}
