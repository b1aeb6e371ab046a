// FastDensityScore: the B-bin rescaling diagnostic of the fast score.
//
// Every B bin of the fast-score cache is a map smoothed by a Gaussian of that
// bin's exponent k_j.  For each bin the model's atoms are given the B factors
// that make their own Gaussians match k_j (shifted per atom by the atom's own
// exponent unless noB), the density calculated from them is correlated with
// the map (cc_j), and the model's fast score in that bin (score_j) is read.
// Each bin's coefficients are then scaled by (cc_j score_r) / (score_j cc_r),
// r the bin of the best correlation, so that the bins' scores follow their
// correlations.  The spline mixes neighbouring bins, so this is repeated six
// times; the figures of the fifth pass are printed.
#include "density/FastDensityScore.hh"

#include "density/FastDensityScore_internal.hh"

#include <algorithm>
#include <iostream>

using namespace fds_detail;

namespace {

// B factor whose Gaussian has the exponent t for an element of width term s,
// softened below 10 and kept positive.  A target exponent of 0 asks for an
// infinitely wide atom: the B ceiling.
double target_B( double t, double s )
{
	if ( t == 0.0 ) return 600.0;
	double B = 4.0 * ( kPi2 / t - s );
	if ( B < 0.0 ) B = 0.01;
	else if ( B < 10.0 ) B = std::sqrt( 10.0 * B );
	return std::max( B, 0.01 );
}

} // namespace

void FastDensityScore::rescale_fastscoring_temp_bins( Model const& xyz, AtomNames const& names,
	std::vector< std::vector< double > > const& B, bool noB )
{
	if ( !isLoaded ) {
		std::cout << "Error! rescale_fastscoring_temp_bins called but no map is loaded!" << std::endl;
		return;
	}
	ensureFastCache();
	if ( std::max( nFastBins, 1 ) == 1 || fastCacheEmpty() ) return;
	bool shaped = noB || B.size() == xyz.size();
	for ( std::size_t i = 0; shaped && !noB && i < xyz.size(); ++i ) shaped = B[ i ].size() == xyz[ i ].size();
	if ( !shaped ) {
		std::cout << "Error! rescale_fastscoring_temp_bins: the B factors do not have the model's shape." << std::endl;
		return;
	}

	// Every atom but SG, with its element and own exponent.
	std::vector< poseCoord > atoms;
	std::vector< OneGaussianScattering > elt;
	std::vector< double > kOwn;
	double kMean = 0.0;
	for ( std::size_t i = 0; i < xyz.size(); ++i )
		for ( std::size_t j = 0; j < xyz[ i ].size(); ++j ) {
			if ( i >= names.size() || j >= names[ i ].size() || names[ i ][ j ] == "SG" ) continue;
			poseCoord p;
			p.x = xyz[ i ][ j ][ 0 ];
			p.y = xyz[ i ][ j ][ 1 ];
			p.z = xyz[ i ][ j ][ 2 ];
			p.B = noB ? 0.0 : B[ i ][ j ];
			p.elt = names[ i ][ j ];
			atoms.push_back( p );
			elt.push_back( get_A( p.elt.substr( 0, 1 ) ) );
			kOwn.push_back( elt.back().k( p.B, 600.0 ) );
			if ( !noB ) kMean += kOwn.back();
		}
	if ( atoms.empty() ) {
		std::cout << "Warning! rescale_fastscoring_temp_bins: the model has no atoms; the bins are left as they are."
		          << std::endl;
		return;
	}
	kMean /= double( atoms.size() );

	std::shared_ptr< FastDensityCache const > const old = fastCache();
	int const nb = old->nBins;
	auto binK = [&]( int j ) { return j * old->kstep + old->kmin; };

	// The correlations do not change between passes: one calculated density
	// per bin.
	std::vector< double > cc( nb, 0.0 );
	farray::FArray3D< double > rho, mask, noMask;
	for ( int j = nb - 1; j >= 0; --j ) {
		double const kj = binK( j );
		if ( kj == 0.0 ) continue;
		for ( std::size_t a = 0; a < atoms.size(); ++a ) {
			double const t = noB ? kj : ( kj - kMean ) + kOwn[ a ];
			atoms[ a ].B = target_B( t, elt[ a ].s );
		}
		calcRhoC( atoms, rho, mask );
		cc[ j ] = getRSCC( rho, noMask ); // Pearson over every voxel; 0 for a flat map or model
	}
	int ref = -1;
	double best = -999.0;
	for ( int j = nb - 1; j >= 0; --j )
		if ( binK( j ) != 0.0 && cc[ j ] > best ) {
			best = cc[ j ];
			ref = j;
		}
	if ( ref < 0 ) return; // every bin has the exponent 0: nothing to compare

	// A private copy of the cache: copies of this map keep theirs.
	auto fresh = std::make_shared< FastDensityCache >( *old );
	long const block = long( fresh->coeffs.u1() ) * fresh->coeffs.u2() * fresh->coeffs.u3();
	std::vector< double > score( nb, 0.0 );
	for ( int pass = 1; pass <= 6; ++pass ) {
		for ( int j = nb - 1; j >= 0; --j ) {
			score[ j ] = 0.0;
			if ( binK( j ) == 0.0 ) continue;
			for ( std::size_t a = 0; a < atoms.size(); ++a ) {
				double const p[ 3 ] = { atoms[ a ].x, atoms[ a ].y, atoms[ a ].z };
				score[ j ] += fast_score_weight( elt[ a ] ) * fastLookup( *fresh, p, j + 1.0, nullptr, nullptr );
			}
		}
		for ( int j = nb - 1; j >= 0; --j ) {
			if ( binK( j ) == 0.0 ) continue;
			// A bin without score or a reference without correlation gives no
			// ratio: the bin keeps its scale.
			double ratio = ( cc[ j ] * score[ ref ] ) / ( score[ j ] * cc[ ref ] );
			if ( score[ j ] == 0.0 || cc[ ref ] == 0.0 || !std::isfinite( ratio ) ) ratio = 1.0;
			if ( pass == 5 && !quiet )
				std::cout << "BIN" << j << " : [" << binK( j ) << "/" << kMean << "] " << cc[ j ] << "  " << score[ j ]
				          << "  " << ratio << std::endl;
			double* c = fresh->coeffs.data() + j * block;
			for ( long v = 0; v < block; ++v ) c[ v ] *= ratio;
		}
	}
	// A fresh holder: copies that share the old cache keep it.
	fastSlot_ = std::make_shared< FastCacheSlot >();
	fastSlot_->cache = fresh;
}
