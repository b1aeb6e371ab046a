#include "tools/SimulatedMap.hh"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>

double element_weight( std::string const& element )
{
	std::string e;
	for ( char c : element )
		if ( c != ' ' ) e += (char)std::toupper( (unsigned char)c );
	if ( e == "H" ) return 1;
	if ( e == "C" ) return 6;
	if ( e == "N" ) return 7;
	if ( e == "O" ) return 8;
	if ( e == "P" ) return 15;
	if ( e == "S" ) return 16;
	if ( e == "SE" ) return 34;
	if ( e == "FE" ) return 26;
	if ( e == "ZN" ) return 30;
	if ( e == "MG" ) return 12;
	return 6;
}

bool read_sim_atoms( std::string const& path, std::vector<SimAtom>& atoms, char chain )
{
	std::ifstream in( path.c_str() );
	if ( !in ) return false;
	std::string line;
	while ( std::getline( in, line ) ) {
		if ( line.size() < 54 || line.compare( 0, 4, "ATOM" ) != 0 ) continue;
		if ( chain != ' ' && ( line.size() < 22 || line[21] != chain ) ) continue;
		SimAtom a;
		a.x = std::atof( line.substr( 30, 8 ).c_str() );
		a.y = std::atof( line.substr( 38, 8 ).c_str() );
		a.z = std::atof( line.substr( 46, 8 ).c_str() );
		std::string elt = line.size() >= 78 ? line.substr( 76, 2 ) : "";
		if ( elt.find_first_not_of( ' ' ) == std::string::npos ) {
			std::string const name = line.substr( 12, 4 );
			size_t const p = name.find_first_not_of( " 0123456789" );
			elt = p == std::string::npos ? "C" : name.substr( p, 1 );
		}
		a.weight = element_weight( elt );
		atoms.push_back( a );
	}
	return true;
}

namespace {

// Smallest size >= n whose prime factors are 2, 3 and 5.
int friendly_size( int n )
{
	for ( int m = std::max( n, 2 );; ++m ) {
		int r = m;
		for ( int p : { 2, 3, 5 } )
			while ( r % p == 0 ) r /= p;
		if ( r == 1 ) return m;
	}
}

} // namespace

SimulatedMap simulate_density( std::vector<SimAtom> const& atoms, double resolution, double voxel, double margin )
{
	SimulatedMap map;
	map.voxel = voxel;
	double lo[3] = { 0, 0, 0 }, hi[3] = { 0, 0, 0 };
	for ( size_t i = 0; i < atoms.size(); ++i ) {
		double const p[3] = { atoms[i].x, atoms[i].y, atoms[i].z };
		for ( int r = 0; r < 3; ++r ) {
			if ( i == 0 || p[r] < lo[r] ) lo[r] = p[r];
			if ( i == 0 || p[r] > hi[r] ) hi[r] = p[r];
		}
	}
	for ( int r = 0; r < 3; ++r ) {
		map.start[r] = (int)std::floor( ( lo[r] - margin ) / voxel );
		int const last = (int)std::ceil( ( hi[r] + margin ) / voxel );
		map.n[r] = friendly_size( last - map.start[r] + 1 );
		// Centre the box on the model after rounding the size up.
		map.start[r] -= ( map.n[r] - ( last - map.start[r] + 1 ) ) / 2;
	}
	map.data.assign( (size_t)map.n[0] * map.n[1] * map.n[2], 0.0f );

	double const sigma = 0.225 * resolution;
	double const cut = 4.0 * sigma;
	double const inv2s2 = 1.0 / ( 2.0 * sigma * sigma );
	int const reach = (int)std::ceil( cut / voxel );
	for ( SimAtom const& a : atoms ) {
		double const g[3] = { a.x / voxel - map.start[0], a.y / voxel - map.start[1], a.z / voxel - map.start[2] };
		int const c[3] = { (int)std::lround( g[0] ), (int)std::lround( g[1] ), (int)std::lround( g[2] ) };
		for ( int k = std::max( 0, c[2] - reach ); k <= std::min( map.n[2] - 1, c[2] + reach ); ++k ) {
			double const dz = ( k - g[2] ) * voxel;
			for ( int j = std::max( 0, c[1] - reach ); j <= std::min( map.n[1] - 1, c[1] + reach ); ++j ) {
				double const dy = ( j - g[1] ) * voxel;
				for ( int i = std::max( 0, c[0] - reach ); i <= std::min( map.n[0] - 1, c[0] + reach ); ++i ) {
					double const dx = ( i - g[0] ) * voxel;
					double const d2 = dx * dx + dy * dy + dz * dz;
					if ( d2 <= cut * cut ) map.at( i, j, k ) += (float)( a.weight * std::exp( -d2 * inv2s2 ) );
				}
			}
		}
	}
	return map;
}

bool write_mrc( std::string const& path, SimulatedMap const& map )
{
	std::int32_t iw[256];
	float* fw = reinterpret_cast<float*>( iw );
	std::memset( iw, 0, sizeof iw );
	double mn = 0, mx = 0, sum = 0, sum2 = 0;
	for ( size_t i = 0; i < map.data.size(); ++i ) {
		double const v = map.data[i];
		if ( i == 0 || v < mn ) mn = v;
		if ( i == 0 || v > mx ) mx = v;
		sum += v;
		sum2 += v * v;
	}
	double const count = map.data.empty() ? 1.0 : (double)map.data.size();
	double const mean = sum / count;
	for ( int r = 0; r < 3; ++r ) {
		iw[r] = map.n[r];          // NX, NY, NZ
		iw[4 + r] = map.start[r];  // NXSTART, NYSTART, NZSTART
		iw[7 + r] = map.n[r];      // MX, MY, MZ: the box is the unit cell
		fw[10 + r] = (float)( map.n[r] * map.voxel ); // cell edges
		fw[13 + r] = 90.0f;
		iw[16 + r] = r + 1;        // MAPC, MAPR, MAPS
		fw[49 + r] = (float)( map.start[r] * map.voxel ); // ORIGIN, same place as the start indices
	}
	iw[3] = 2; // mode: 32-bit float
	fw[19] = (float)mn;
	fw[20] = (float)mx;
	fw[21] = (float)mean;
	iw[22] = 1; // space group P1
	std::memcpy( &iw[52], "MAP ", 4 );
	unsigned char stamp[4] = { 0x44, 0x41, 0, 0 }; // little-endian machine stamp
	std::memcpy( &iw[53], stamp, 4 );
	fw[54] = (float)std::sqrt( std::max( 0.0, sum2 / count - mean * mean ) );
	iw[55] = 1;
	std::memcpy( &iw[56], "simulated from an atomic model", 30 );

	std::string const tmp = path + ".part";
	FILE* f = std::fopen( tmp.c_str(), "wb" );
	if ( !f ) return false;
	bool ok = std::fwrite( iw, 4, 256, f ) == 256;
	ok = ok && std::fwrite( map.data.data(), sizeof( float ), map.data.size(), f ) == map.data.size();
	ok = std::fclose( f ) == 0 && ok;
	if ( !ok || std::rename( tmp.c_str(), path.c_str() ) != 0 ) {
		std::remove( tmp.c_str() );
		return false;
	}
	return true;
}
