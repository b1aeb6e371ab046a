// Rasterseek: the coarse search grid and Gaussian model densities on it.
#include "apps/siblings/rasterseek_grid.hh"

#include "farray/DynamicIndexRange.hh"
#include "numerics/fft3d.hh"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace rasterseek {

int smooth_fft_size( int x )
{
	for ( int m = std::max( x, 1 );; ++m ) {
		int k = m;
		for ( int p : { 2, 3, 5 } )
			while ( k % p == 0 ) k /= p;
		if ( k == 1 ) return m;
	}
}

bool build_search_grid( FastDensityScore const& map, double resolution, double margin, long maxVoxels,
	SearchGrid& grid, std::string& error )
{
	if ( !map.isLoaded ) {
		error = "no density map is loaded";
		return false;
	}
	for ( int a = 0; a < 3; ++a ) {
		if ( std::fabs( map.cellAngles[ a ] - 90.0 ) > 0.01 ) {
			std::ostringstream os;
			os << "the map's cell is not orthogonal (angles " << map.cellAngles[ 0 ] << ", " << map.cellAngles[ 1 ]
			   << ", " << map.cellAngles[ 2 ] << " degrees)";
			error = os.str();
			return false;
		}
	}
	farray::FArray3D< double > const& dens = map.density();
	int const ext[ 3 ] = { dens.u1(), dens.u2(), dens.u3() };
	if ( ext[ 0 ] < 1 || ext[ 1 ] < 1 || ext[ 2 ] < 1 ) {
		error = "the density map holds no voxels";
		return false;
	}
	// A map too large for the memory at the usual spacing is searched on a
	// coarser grid (the refinement works on the map itself).
	double target = search_spacing( resolution );
	int inner[ 3 ];
	for ( int attempt = 0;; ++attempt ) {
		for ( int a = 0; a < 3; ++a ) {
			// The stored block is the unit cell: its edge is the cell length.
			double const voxel = map.f2c[ a ][ a ] / map.grid[ a ];
			double const length = voxel * ext[ a ];
			inner[ a ] = ext[ a ];
			if ( target > voxel ) inner[ a ] = std::min( ext[ a ], std::max( 2, int( std::lround( length / target ) ) ) );
			grid.spacing[ a ] = length / inner[ a ];
			grid.origin[ a ] = map.voxelOrigin[ a ];
			grid.inner[ a ] = inner[ a ];
			int const pad = int( std::ceil( margin / grid.spacing[ a ] ) ) + 1;
			grid.reach[ a ] = pad;
			grid.n[ a ] = smooth_fft_size( std::max( inner[ a ] + pad, 2 * pad + 2 ) );
		}
		double const size = double( grid.n[ 0 ] ) * grid.n[ 1 ] * grid.n[ 2 ];
		if ( size <= double( maxVoxels ) ) break;
		if ( attempt == 30 ) {
			std::ostringstream os;
			os << "the search grid would need " << grid.n[ 0 ] << " x " << grid.n[ 1 ] << " x " << grid.n[ 2 ]
			   << " voxels (at most " << maxVoxels << " allowed)";
			error = os.str();
			return false;
		}
		target *= std::max( 1.05, std::cbrt( size / double( maxVoxels ) ) );
	}

	farray::FArray3D< double > resampled;
	bool const same = inner[ 0 ] == ext[ 0 ] && inner[ 1 ] == ext[ 1 ] && inner[ 2 ] == ext[ 2 ];
	if ( !same ) resample< double, double >( dens, resampled, inner );
	farray::FArray3D< double > const& src = same ? dens : resampled;
	double const* s = src.data();
	grid.values.assign( std::size_t( grid.size() ), 0.0 );
	for ( int k = 0; k < inner[ 2 ]; ++k )
		for ( int j = 0; j < inner[ 1 ]; ++j ) {
			double const* line = s + ( long( k ) * inner[ 1 ] + j ) * inner[ 0 ];
			double* dst = grid.values.data() + ( long( k ) * grid.n[ 1 ] + j ) * grid.n[ 0 ];
			std::copy( line, line + inner[ 0 ], dst );
		}
	return true;
}

void add_gaussians( std::vector< double > const& xyz, std::vector< double > const& weight, SearchGrid const& grid,
	double sigma, double* out )
{
	std::size_t const count = weight.size();
	double const reach = 3.0 * sigma;
	double const inv2s2 = 1.0 / ( 2.0 * sigma * sigma );
	std::vector< double > w[ 3 ];
	std::vector< long > idx[ 3 ];
	long const stride[ 3 ] = { 1, grid.n[ 0 ], long( grid.n[ 0 ] ) * grid.n[ 1 ] };
	for ( std::size_t i = 0; i < count; ++i ) {
		// The Gaussian factorises along the axes: one short table per axis.
		for ( int a = 0; a < 3; ++a ) {
			double const g = xyz[ 3 * i + a ] / grid.spacing[ a ];
			double const r = reach / grid.spacing[ a ];
			int const lo = int( std::ceil( g - r ) ), hi = int( std::floor( g + r ) );
			w[ a ].clear();
			idx[ a ].clear();
			for ( int v = lo; v <= hi; ++v ) {
				double const d = ( v - g ) * grid.spacing[ a ];
				int const wrapped = ( ( v % grid.n[ a ] ) + grid.n[ a ] ) % grid.n[ a ];
				w[ a ].push_back( std::exp( -d * d * inv2s2 ) );
				idx[ a ].push_back( wrapped * stride[ a ] );
			}
		}
		double const wi = weight[ i ];
		for ( std::size_t z = 0; z < w[ 2 ].size(); ++z ) {
			double const wz = wi * w[ 2 ][ z ];
			for ( std::size_t y = 0; y < w[ 1 ].size(); ++y ) {
				double const wyz = wz * w[ 1 ][ y ];
				double* row = out + idx[ 2 ][ z ] + idx[ 1 ][ y ];
				for ( std::size_t x = 0; x < w[ 0 ].size(); ++x ) row[ idx[ 0 ][ x ] ] += wyz * w[ 0 ][ x ];
			}
		}
	}
}

} // namespace rasterseek
