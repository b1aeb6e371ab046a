// FastDensityScore: correlation of a CA trace with the map over the map's
// voxel list, returned as (1 - CC) * 100 (lower is better).
//
// Each listed voxel gets the summed CA Gaussians within 8 A and a mask
// 1 - prod(1 - 1 / (1 + exp(d^2 - 36))) over those CAs; the mask is the
// voxel's weight, except that a voxel with no CA in reach counts fully.
#include "density/FastDensityScore.hh"

#include "density/FastDensityScore_internal.hh"

#include <cmath>

using namespace fds_detail;

namespace {

template< class Dist2 >
double voxel_list_cc( int nVox, double const* values, int n, double k, double A, double cut2, double maskOffset,
	Dist2&& dist2 )
{
	// An empty voxel list or trace has nothing to correlate: CC 0.
	if ( nVox <= 0 ) return 100.0;
	WeightedSums sums;
	for ( int i = 0; i < nVox; ++i ) {
		double calc = 0.0, prod = 1.0;
		for ( int j = 0; j < n; ++j ) {
			double const d2 = dist2( i, j );
			if ( d2 > cut2 ) continue;
			calc += A * std::exp( -k * d2 );
			prod *= 1.0 - 1.0 / ( 1.0 + std::exp( d2 - maskOffset ) );
		}
		double const mask = ( n < 1 ) ? 0.0 : 1.0 - prod;
		sums.add( mask == 0.0 ? 1.0 : mask, calc, values[ i ] );
	}
	// Returned as a value to minimise.
	return ( 1.0 - sums.correlation() ) * 100.0;
}

} // namespace

double FastDensityScore::getCC( int n, double** CA )
{
	double** const P = densPoints;
	return voxel_list_cc( nDensPoints, densValues, n, caK, caC, caCutoff2, caMaskOffset, [ & ]( int i, int j ) {
		double const dx = P[ i ][ 0 ] - CA[ j ][ 0 ], dy = P[ i ][ 1 ] - CA[ j ][ 1 ], dz = P[ i ][ 2 ] - CA[ j ][ 2 ];
		return dx * dx + dy * dy + dz * dz;
	} );
}

double FastDensityScore::getCC( std::vector< double* > points )
{
	return getCC( int( points.size() ), points.empty() ? nullptr : points.data() );
}

double FastDensityScore::getCC_dist( int n, double** d2 )
{
	return voxel_list_cc( nDensPoints, densValues, n, caK, caC, caCutoff2, caMaskOffset,
		[ & ]( int i, int j ) { return d2[ i ][ j ]; } );
}
