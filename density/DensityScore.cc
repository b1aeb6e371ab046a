// DensityScore object and the weighted CA correlation over its voxel list.
#include "density/DensityScore.hh"
#include "density/WeightedSums.hh"

#include <cmath>

DensityScore::DensityScore()
	: loaded( false ), quiet( true ), atom_mask( 3.2 ), ca_mask( 6.0 ), mask_padding( 2.0 ),
	  dens_cutoff( 0.0 ), grid_dims{ 0, 0, 0 }, grid_origin_int{ 0, 0, 0 },
	  rg( 0.0 ), radius( 0.0 ), centre{ 0.0, 0.0, 0.0 }, voxel_xyz( nullptr ), voxel_val( nullptr ),
	  voxel_count( 0 ), list_width( 0.0 ), list_cutoff( 0.0 ), eff_reso( 0.0 ), gauss_k( 0.0 ),
	  gauss_amp( 0.0 ), gauss_c( 0.0 ), cc_threshold( 0.0 ), cc_cut2( 0.0 ), mask_offset( 0.0 )
{
}

// Copies share the voxel list, so the destructor leaves it alone.
DensityScore::~DensityScore() {}

void DensityScore::init()
{
	loaded = false;
	quiet = true;
	atom_mask = 3.2;
	ca_mask = 6.0;
	mask_padding = 2.0;
	for ( int i = 0; i < 3; ++i ) {
		grid_dims[i] = 0;
		grid_origin_int[i] = 0;
	}
}

void DensityScore::releaseVoxelList()
{
	if ( voxel_xyz ) {
		for ( int i = 0; i < voxel_count; ++i ) delete[] voxel_xyz[i];
		delete[] voxel_xyz;
	}
	delete[] voxel_val;
	voxel_xyz = nullptr;
	voxel_val = nullptr;
	voxel_count = 0;
}

double DensityScore::getWeightedCorrelation( std::vector<double> obs,
	std::vector<double> calc, std::vector<double> w )
{
	size_t const n = obs.size();
	density_detail::WeightedSums s;
	for ( size_t i = 0; i < n; ++i ) s.add( w[i] != 0.0 ? w[i] : 1.0, calc[i], obs[i] );
	// No voxel, no weight or no spread in either list: there is no
	// correlation to measure, and a NaN would poison later sorting.  (Any
	// positive variance counts here, unlike WeightedSums::correlation.)
	if ( n == 0 || !( s.w > 0.0 ) ) return 0.0;
	double const vo = s.varO(), vc = s.varC();
	if ( !( vo > 0.0 ) || !( vc > 0.0 ) ) return 0.0;
	double const cc = s.cov() / std::sqrt( vc * vo );
	return std::isfinite( cc ) ? cc : 0.0;
}

namespace {

// Shared body of getCC and getCC_dist; d2_of(i, j) gives the squared
// distance of listed voxel i to CA j.
template <class D2>
double ca_misfit( DensityScore const& ds, int n, D2 d2_of )
{
	double const thr = ds.cc_threshold != 0.0 ? ds.cc_threshold : ds.dens_cutoff;
	std::vector<double> obs, calc, mask;
	obs.reserve( ds.voxel_count > 0 ? ds.voxel_count : 0 );
	calc.reserve( obs.capacity() );
	mask.reserve( obs.capacity() );
	for ( int i = 0; i < ds.voxel_count; ++i ) {
		if ( !( ds.voxel_val[i] > thr ) ) continue;
		double c = 0.0, p = 1.0;
		for ( int j = 0; j < n; ++j ) {
			double const d2 = d2_of( i, j );
			if ( d2 > ds.cc_cut2 ) continue;
			c += ds.gauss_c * std::exp( -ds.gauss_k * d2 );
			p *= 1.0 - 1.0 / ( 1.0 + std::exp( d2 - ds.mask_offset ) );
		}
		obs.push_back( ds.voxel_val[i] );
		calc.push_back( c );
		mask.push_back( n > 0 ? 1.0 - p : 0.0 );
	}
	double const cc = DensityScore::getWeightedCorrelation( obs, calc, mask );
	return ( 1.0 - cc ) * 100.0;
}

} // namespace

double DensityScore::getCC( int n, double** ca )
{
	double** const xyz = voxel_xyz;
	return ca_misfit( *this, n, [&]( int i, int j ) {
		double const dx = xyz[i][0] - ca[j][0];
		double const dy = xyz[i][1] - ca[j][1];
		double const dz = xyz[i][2] - ca[j][2];
		return dx * dx + dy * dy + dz * dz;
	} );
}

double DensityScore::getCC_dist( int n, double** d2 )
{
	return ca_misfit( *this, n, [&]( int i, int j ) { return d2[i][j]; } );
}
