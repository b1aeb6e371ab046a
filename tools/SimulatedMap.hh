// Density maps simulated from atomic models, for tests, examples and
// benchmarks: every atom is a spherical Gaussian of width set by the
// resolution and height by its atomic number, summed on a cubic grid that
// holds the model with a margin, and written as an MRC map of 32-bit floats.
#ifndef QUILT_TOOLS_SIMULATEDMAP_HH
#define QUILT_TOOLS_SIMULATEDMAP_HH

#include <string>
#include <vector>

struct SimAtom {
	double x, y, z; // Angstrom
	double weight;  // atomic number of the element
};

struct SimulatedMap {
	int n[3] = { 0, 0, 0 };     // voxels along x, y, z (also the unit-cell sampling)
	int start[3] = { 0, 0, 0 }; // grid index of the first voxel
	double voxel = 1.0;         // voxel edge (Angstrom)
	std::vector<float> data;    // x fastest
	float& at( int i, int j, int k ) { return data[( (size_t)k * n[1] + j ) * n[0] + i]; }
};

// Atomic number of a PDB element symbol (1-2 letters); carbon for unknown ones.
double element_weight( std::string const& element );

// The "ATOM" records of a PDB file (all chains, or only chain `chain` when it
// is not blank).  The element is taken from columns 77-78, or else from the
// first letter of the atom name.  Returns false when the file cannot be read.
bool read_sim_atoms( std::string const& path, std::vector<SimAtom>& atoms, char chain = ' ' );

// Gaussian density of the atoms: sigma = 0.225 * resolution, cut at 4 sigma;
// the box covers the atoms plus `margin` Angstrom on every side, with
// voxel counts that are products of 2, 3 and 5.
SimulatedMap simulate_density( std::vector<SimAtom> const& atoms, double resolution, double voxel, double margin );

// MRC map, mode 2, little-endian, start indices and ORIGIN both set.
bool write_mrc( std::string const& path, SimulatedMap const& map );

#endif
