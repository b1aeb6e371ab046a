// FastDensityScore: coordinate gradients of the fast score of single atoms
// and of a CA trace under a 6-D pose, the derivative of an atom's fast-score
// term with respect to its B factor, and the derivatives of the correlation
// between a calculated model density and the map with respect to the atoms'
// B factors.
#include "density/FastDensityScore.hh"

#include "core/basic_fun_Quilt.hh"
#include "density/FastDensityScore_internal.hh"

#include <algorithm>
#include <iostream>

using namespace fds_detail;

namespace {

// dk/dB of k = pi^2 / (s + B'), B' the soft-limited quarter B of
// OneGaussianScattering::k (limit 600); 0 outside [0, 600], where B' does
// not change with B.
double dk_dB( double s, double B )
{
	if ( B > 600.0 || B < 0.0 ) return 0.0;
	double const sb = s + soft_quarter_B( B, 600.0 );
	if ( B < 1.0 ) return -4.934802200544679 * B / ( sb * sb ); // -(pi^2/2) B / (s + B')^2
	double d = -2.4674011002723395 / ( sb * sb );                  // -(pi^2/4) / (s + B')^2
	if ( B > 590.0 ) d *= 0.2 * ( 600.0 - B );
	return d;
}

} // namespace

void FastDensityScore::dCCdx_fastRes( double* xyz, std::string atomName, double* grad )
{
	if ( !isLoaded ) {
		std::cout << "Error! dCCdx_fastRes called but no map is loaded!" << std::endl;
		return;
	}
	ensureFastCache();
	for ( int k = 0; k < 3; ++k ) grad[ k ] = 0.0;
	if ( fastCacheEmpty() ) return;
	FastDensityCache const& c = *fastCache();
	OneGaussianScattering const g = get_A( atomName.substr( 0, 1 ) );
	double const w = fast_score_weight( g );
	fastLookup( c, xyz, binCoordinate( g, c ), grad, nullptr );
	for ( int k = 0; k < 3; ++k ) grad[ k ] *= w;
}

double FastDensityScore::dCCdB_fastRes( double* xyz, double B, std::string atomName )
{
	if ( !isLoaded ) {
		std::cout << "Error! dCCdB_fast called but no map is loaded!" << std::endl;
		return 0.0;
	}
	ensureFastCache();
	if ( fastCacheEmpty() ) return 0.0;
	FastDensityCache const& c = *fastCache();
	if ( c.nBins <= 1 || !( c.kstep > 0.0 ) ) return 0.0; // the bins do not differ
	OneGaussianScattering const g = get_A( atomName.substr( 0, 1 ) );
	// The B factor as given: here a value <= 0 is not replaced by effB.
	double const k = g.k( B, 600.0 );
	double const bin = ( k - c.kmin ) / c.kstep + 1.0;
	// Outside the bins the score clamps the bin: the term does not change.
	if ( !( bin >= 1.0 && bin <= c.nBins ) ) return 0.0; // also a B that is not a number
	double dbin = 0.0;
	fastLookup( c, xyz, bin, nullptr, &dbin );
	return fast_score_weight( g ) * ( dbin / c.kstep ) * dk_dB( g.s, B );
}

void FastDensityScore::dCCdx_fastRes_6D_CA( double** CA, double** movedCA, double* centre, int n, double* x,
	double* grad )
{
	if ( !isLoaded ) {
		std::cout << "Error! dCCdx_fastRes_6D_CA called but no map is loaded!" << std::endl;
		return;
	}
	ensureFastCache();
	for ( int k = 0; k < 6; ++k ) grad[ k ] = 0.0;
	if ( n <= 0 || fastCacheEmpty() ) return;
	FastDensityCache const& c = *fastCache();
	OneGaussianScattering const carbon = get_A( "C" );
	double const w = fast_score_weight( carbon );
	double const bin = binCoordinate( carbon, c );
	// Rotation sums M[k][l] = sum over atoms of g_k (p_l - centre_l), p unmoved.
	double M[ 3 ][ 3 ] = { { 0, 0, 0 }, { 0, 0, 0 }, { 0, 0, 0 } };
	for ( int i = 0; i < n; ++i ) {
		double g[ 3 ];
		fastLookup( c, movedCA[ i ], bin, g, nullptr );
		for ( int k = 0; k < 3; ++k ) {
			g[ k ] *= w;
			grad[ k ] += g[ k ];
			for ( int l = 0; l < 3; ++l ) M[ k ][ l ] += g[ k ] * ( CA[ i ][ l ] - centre[ l ] );
		}
	}
	PoseRotation const rot( x + 3 );
	for ( int m = 0; m < 3; ++m ) grad[ 3 + m ] = rot.contract( m, M );
}

void FastDensityScore::dCCdBs( Model const& xyz, AtomNames const& names, std::vector< std::vector< double > > const& B,
	double* dCCdB, farray::FArray3D< double > const& weights, std::string selection )
{
	if ( !isLoaded ) {
		std::cout << "Error! dCCdBs called but no map is loaded!" << std::endl;
		return;
	}
	farray::FArray3D< double > const& dens = *density_;
	int const ext[ 3 ] = { dens.u1(), dens.u2(), dens.u3() };
	if ( weights.u1() != ext[ 0 ] || weights.u2() != ext[ 1 ] || weights.u3() != ext[ 2 ] ) {
		std::cout << "Error! dCCdBs: the weights grid (" << weights.u1() << " x " << weights.u2() << " x "
		          << weights.u3() << ") differs from the map's (" << ext[ 0 ] << " x " << ext[ 1 ] << " x " << ext[ 2 ]
		          << ")." << std::endl;
		return;
	}
	bool shaped = B.size() == xyz.size();
	for ( std::size_t i = 0; shaped && i < xyz.size(); ++i ) shaped = B[ i ].size() == xyz[ i ].size();
	if ( !shaped ) {
		std::cout << "Error! dCCdBs: the B factors do not have the model's shape." << std::endl;
		return;
	}

	// The selected atoms; atoms without a name are not selected.
	std::vector< poseCoord > atoms;
	for ( std::size_t i = 0; i < xyz.size(); ++i )
		for ( std::size_t j = 0; j < xyz[ i ].size(); ++j ) {
			if ( i >= names.size() || j >= names[ i ].size() || !get_mode( names[ i ][ j ], selection ) ) continue;
			poseCoord p;
			p.x = xyz[ i ][ j ][ 0 ];
			p.y = xyz[ i ][ j ][ 1 ];
			p.z = xyz[ i ][ j ][ 2 ];
			p.B = B[ i ][ j ];
			p.elt = names[ i ][ j ];
			atoms.push_back( p );
		}
	if ( atoms.empty() ) return;

	// Calculated density of the atoms, and per atom the voxels it reaches
	// with d(rho_atom)/dB there (sparse lists, atom a in [first[a], first[a+1])).
	long const nv = long( ext[ 0 ] ) * ext[ 1 ] * ext[ 2 ];
	std::vector< double > calc( std::size_t( std::max( nv, 0L ) ), 0.0 );
	std::vector< long > first( atoms.size() + 1, 0 ), voxel;
	std::vector< double > drho;
	double const kCap = 4.0 * kPi2 / minMult; // 4 pi^2 / minMult
	double col[ 3 ][ 3 ];                     // col[a] = f2c column a: Cartesian step of fractional axis a
	for ( int a = 0; a < 3; ++a )
		for ( int j = 0; j < 3; ++j ) col[ a ][ j ] = f2c[ j ][ a ];
	for ( std::size_t n = 0; n < atoms.size(); ++n ) {
		first[ n ] = long( voxel.size() );
		poseCoord const& at = atoms[ n ];
		OneGaussianScattering const g = get_A( at.elt.substr( 0, 1 ) );
		double const kB = g.k( at.B, 600.0 );
		double const k = std::min( kB, kCap );
		double const h = g.a * std::pow( k, 1.5 );
		// Where the voxel size caps k, the density does not change with B.
		double const dk = ( kB > kCap ) ? 0.0 : dk_dB( g.s, at.B );
		if ( !( h >= 1e-6 ) ) continue;
		double const r2 = ( std::log( h ) + kLn1e4 ) / k; // h exp(-k r2) = 1e-4
		double const x[ 3 ] = { at.x, at.y, at.z };
		double f[ 3 ], P[ 3 ];
		cartToFrac( x, f );
		int lo[ 3 ], hi[ 3 ];
		for ( int a = 0; a < 3; ++a ) {
			P[ a ] = f[ a ] * grid[ a ] - originGrid[ a ] + 1.0; // no periodic wrap
			double const rowNorm = std::sqrt( c2f[ a ][ 0 ] * c2f[ a ][ 0 ] + c2f[ a ][ 1 ] * c2f[ a ][ 1 ] + c2f[ a ][ 2 ] * c2f[ a ][ 2 ] );
			double const reach = std::sqrt( r2 ) * rowNorm * grid[ a ] + 1.0;
			lo[ a ] = int( std::max( 1.0, std::floor( P[ a ] - reach ) ) );
			hi[ a ] = int( std::min( double( ext[ a ] ), std::ceil( P[ a ] + reach ) ) );
		}
		for ( int z = lo[ 2 ]; z <= hi[ 2 ]; ++z ) {
			double const dz = ( P[ 2 ] - z ) / grid[ 2 ];
			double const oz[ 3 ] = { dz * col[ 2 ][ 0 ], dz * col[ 2 ][ 1 ], dz * col[ 2 ][ 2 ] };
			if ( oz[ 2 ] * oz[ 2 ] > r2 ) continue; // distance to the plane
			for ( int y = lo[ 1 ]; y <= hi[ 1 ]; ++y ) {
				double const dy = ( P[ 1 ] - y ) / grid[ 1 ];
				double const oy[ 3 ] = { oz[ 0 ] + dy * col[ 1 ][ 0 ], oz[ 1 ] + dy * col[ 1 ][ 1 ], oz[ 2 ] + dy * col[ 1 ][ 2 ] };
				if ( oy[ 1 ] * oy[ 1 ] + oy[ 2 ] * oy[ 2 ] > r2 ) continue; // distance to the row
				long const row = ( long( z - 1 ) * ext[ 1 ] + ( y - 1 ) ) * ext[ 0 ] - 1;
				for ( int xx = lo[ 0 ]; xx <= hi[ 0 ]; ++xx ) {
					double const dx = ( P[ 0 ] - xx ) / grid[ 0 ];
					double const o[ 3 ] = { oy[ 0 ] + dx * col[ 0 ][ 0 ], oy[ 1 ] + dx * col[ 0 ][ 1 ], oy[ 2 ] + dx * col[ 0 ][ 2 ] };
					double const d2 = o[ 0 ] * o[ 0 ] + o[ 1 ] * o[ 1 ] + o[ 2 ] * o[ 2 ];
					if ( d2 > r2 ) continue;
					double const rho = h * std::exp( -k * d2 );
					calc[ row + xx ] += rho;
					voxel.push_back( row + xx );
					drho.push_back( ( 1.5 / k - d2 ) * dk * rho ); // d(h exp(-k d2))/dB
				}
			}
		}
	}
	first[ atoms.size() ] = long( voxel.size() );

	WeightedSums sums;
	for ( long v = 0; v < nv; ++v ) sums.add( weights[ v ], calc[ v ], dens[ v ] );
	// No correlation to differentiate (no weight, a flat map or no model
	// density under the weights): every derivative is 0.
	// The variance tests are those of WeightedSums::correlation.
	if ( !( sums.w > 0.0 ) || !( sums.varC() > 1e-12 * std::fabs( sums.cc ) )
	     || !( sums.varO() > 1e-12 * std::fabs( sums.oo ) ) ) {
		for ( std::size_t n = 0; n < atoms.size(); ++n ) dCCdB[ n ] = 0.0;
		return;
	}
	// CC = cov / sqrt(var_o var_c):
	//   dcov   = sum_i w_i g_i (o_i - mean_o)
	//   dvar_c = 2 sum_i w_i g_i (c_i - mean_c)
	//   dCC    = dcov / sqrt(var_o var_c) - cov dvar_c / (2 sqrt(var_o) var_c^1.5)
	double const mo = sums.o / sums.w, mc = sums.c / sums.w;
	double const vo = sums.varO(), vc = sums.varC(), cov = sums.cov();
	double const sq = std::sqrt( vo * vc );
	for ( std::size_t n = 0; n < atoms.size(); ++n ) {
		double dcov = 0.0, dvc = 0.0;
		for ( long q = first[ n ]; q < first[ n + 1 ]; ++q ) {
			long const v = voxel[ q ];
			double const wg = weights[ v ] * drho[ q ];
			dcov += wg * ( dens[ v ] - mo );
			dvc += 2.0 * wg * ( calc[ v ] - mc );
		}
		dCCdB[ n ] = dcov / sq - cov * dvc * 0.5 / ( std::sqrt( vo ) * vc * std::sqrt( vc ) );
	}
}
