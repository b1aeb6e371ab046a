// Synthetic chains and maps for the assembly tests: helical CA chains placed
// where a test wants them, a map simulated from them, and stand-ins for the
// started programs written as small shell scripts.
#ifndef QUILT_QUILTER_TESTS_QUILTER_TEST_UTIL_HH
#define QUILT_QUILTER_TESTS_QUILTER_TEST_UTIL_HH

#include "density/FastDensityScore.hh"
#include "testsupport/test_data.hh"
#include "tools/SimulatedMap.hh"

#include <cmath>
#include <cstdio>
#include <fstream>
#include <string>
#include <sys/stat.h>
#include <vector>

namespace quilter_test {

struct Point {
	double x, y, z;
};

// CA atoms of an alpha helix of n residues along z through (cx, cy), its
// first residue at height cz.  `phase` turns the helix about its axis.
inline std::vector< Point > helix( int n, double cx, double cy, double cz, double phase = 0.0 )
{
	std::vector< Point > p;
	for ( int i = 0; i < n; ++i ) {
		double const a = phase + i * 100.0 * M_PI / 180.0;
		p.push_back( { cx + 2.3 * std::cos( a ), cy + 2.3 * std::sin( a ), cz + 1.5 * i } );
	}
	return p;
}

// Writes the points as a CA-only chain (residues from 1); appends with append.
inline void write_chain( const std::string& path, const std::vector< Point >& pts, char chain, bool append = false )
{
	std::ofstream out( path, append ? std::ios::app : std::ios::trunc );
	for ( std::size_t i = 0; i < pts.size(); ++i ) {
		char buf[ 128 ];
		std::snprintf( buf, sizeof buf, "ATOM  %5d  CA  ALA %c%4d    %8.3f%8.3f%8.3f  1.00 20.00           C",
			static_cast< int >( i + 1 ), chain, static_cast< int >( i + 1 ), pts[ i ].x, pts[ i ].y, pts[ i ].z );
		out << buf << "\n";
	}
	out << "TER\n";
}

// The same chain in mmCIF format, as a user may give it by mistake: a data
// block, the loop of atom-site items and one row of words per atom.
inline void write_mmcif_chain( const std::string& path, const std::vector< Point >& pts, char chain )
{
	std::ofstream out( path );
	out << "data_XXXX\n#\nloop_\n";
	for ( const char* item : { "group_PDB", "id", "type_symbol", "label_atom_id", "label_alt_id", "label_comp_id",
		      "label_asym_id", "label_entity_id", "label_seq_id", "pdbx_PDB_ins_code", "Cartn_x", "Cartn_y", "Cartn_z",
		      "occupancy", "B_iso_or_equiv", "auth_seq_id", "auth_asym_id", "pdbx_PDB_model_num" } )
		out << "_atom_site." << item << "\n";
	for ( std::size_t i = 0; i < pts.size(); ++i ) {
		char buf[ 160 ];
		std::snprintf( buf, sizeof buf, "ATOM %d C CA . ALA %c 1 %d ? %.3f %.3f %.3f 1.00 20.00 %d %c 1",
			static_cast< int >( i + 1 ), chain, static_cast< int >( i + 1 ), pts[ i ].x, pts[ i ].y, pts[ i ].z,
			static_cast< int >( i + 1 ), chain );
		out << buf << "\n";
	}
	out << "#\n";
}

// Simulated map of every atom of the files (resolution 6 A, voxel 2 A).
inline bool simulate_map( const std::vector< std::string >& files, const std::string& out, double reso = 6.0,
	double voxel = 2.0 )
{
	std::vector< SimAtom > atoms;
	for ( auto const& f : files )
		if ( !read_sim_atoms( f, atoms ) ) return false;
	return write_mrc( out, simulate_density( atoms, reso, voxel, 10.0 ) );
}

inline FastDensityScore load_map( const std::string& path, double reso = 6.0 )
{
	FastDensityScore map;
	map.readDensityMap( path, reso, 0.0, 0.0, true );
	return map;
}

// An executable shell script.
inline void write_script( const std::string& path, const std::string& body )
{
	std::ofstream( path ) << "#!/bin/sh\n" << body;
	::chmod( path.c_str(), 0755 );
}

} // namespace quilter_test

#endif
