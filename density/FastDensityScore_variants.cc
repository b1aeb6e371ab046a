// FastDensityScore: the fast density score of models, residues and single
// atoms without a pose, each atom with its own element and B factor, and the
// one spline lookup (value, Cartesian gradient, bin derivative) that these
// scores and their derivatives share.
#include "density/FastDensityScore.hh"

#include "core/basic_fun_Quilt.hh"
#include "density/FastDensityScore_internal.hh"

#include <algorithm>
#include <iostream>

using namespace fds_detail;

namespace {

// Derivative weights of the clamped bin taps that binTaps returns for the
// same bin (taps that clamp onto one bin merged alike, same order).
void bin_tap_derivatives( double bin, FastDensityCache const& c, long const* off, int nTaps, double* dw )
{
	for ( int q = 0; q < nTaps; ++q ) dw[ q ] = 0.0;
	int const nb = c.nBins;
	if ( nb <= 1 ) return;
	long const block = long( c.coeffs.u1() ) * c.coeffs.u2() * c.coeffs.u3();
	SplineTaps t;
	spline_taps( bin - 1.0, 1 << 30, 1, t );
	int const i = int( std::floor( bin - 1.0 ) );
	for ( int j = 0; j < 4; ++j ) {
		long const o = std::min( std::max( i - 1 + j, 0 ), nb - 1 ) * block;
		for ( int q = 0; q < nTaps; ++q )
			if ( off[ q ] == o ) dw[ q ] += t.dw[ j ];
	}
}

bool is_main_chain( std::string const& name ) { return name == "N" || name == "CA" || name == "C" || name == "O"; }

} // namespace

double FastDensityScore::binCoordinateOfB( OneGaussianScattering const& g, double B, FastDensityCache const& c ) const
{
	// The expression of binCoordinate, so that B = effB gives the same bin.
	if ( c.nBins <= 1 || !( c.kstep > 0.0 ) ) return 1.0;
	double const Bq = soft_quarter_B( B, 600.0 );
	double b = std::max( ( kPi2 / ( g.s + Bq ) - c.kmin ) / c.kstep + 1.0, 1.0 );
	return std::min( double( c.nBins ), b );
}

double FastDensityScore::fastLookup( FastDensityCache const& c, double const* xyz, double bin, double* dxyz,
	double* dbin ) const
{
	int const ext[ 3 ] = { c.coeffs.u1(), c.coeffs.u2(), c.coeffs.u3() };
	long const stride[ 3 ] = { 1, long( ext[ 0 ] ), long( ext[ 0 ] ) * ext[ 1 ] };
	double f[ 3 ];
	cartToFrac( xyz, f );
	SplineTaps t[ 3 ];
	for ( int a = 0; a < 3; ++a )
		spline_taps( wrap_grid( f[ a ] * c.grid[ a ] - c.origin[ a ] + 1.0, c.grid[ a ] ) - 1.0, ext[ a ], stride[ a ], t[ a ] );
	long off[ 4 ];
	double w[ 4 ];
	int const nt = binTaps( bin, c, off, w );
	double const* data = c.coeffs.data();
	double d[ 3 ];
	double const v = spline_value_grad( data, t[ 0 ], t[ 1 ], t[ 2 ], off, w, nt, dxyz ? d : nullptr );
	if ( dxyz ) {
		// Chain rule through the grid coordinate f_a grid_a (the wrap has
		// derivative 1): d/dx_k = sum_a c2f[a][k] grid_a d/du_a.
		for ( int k = 0; k < 3; ++k ) {
			dxyz[ k ] = 0.0;
			for ( int a = 0; a < 3; ++a ) dxyz[ k ] += c2f[ a ][ k ] * c.grid[ a ] * d[ a ];
		}
	}
	if ( dbin ) {
		double dw[ 4 ];
		bin_tap_derivatives( bin, c, off, nt, dw );
		*dbin = spline_value_grad( data, t[ 0 ], t[ 1 ], t[ 2 ], off, dw, nt, nullptr );
	}
	return v;
}

double FastDensityScore::fastAtomTerm( FastDensityCache const& c, double const* xyz, std::string const& name, double B,
	double scale ) const
{
	OneGaussianScattering const g = get_A( name.substr( 0, 1 ) );
	double const bin = binCoordinateOfB( g, B > 0.0 ? B : effB, c );
	return fast_score_weight( g ) * scale * fastLookup( c, xyz, bin, nullptr, nullptr );
}

// Every variant: no map, a message and 0; the cache is built on first use;
// a map without voxels (an empty cache) scores 0.

double FastDensityScore::getFastDensScore_model( Model const& xyz, AtomNames const& names, std::string selection )
{
	// B factors of 0 stand for the map's effB.
	std::vector< std::vector< double > > noB( xyz.size() );
	for ( std::size_t i = 0; i < xyz.size(); ++i ) noB[ i ].assign( xyz[ i ].size(), 0.0 );
	return getFastDensScore_model( xyz, names, noB, selection );
}

double FastDensityScore::getFastDensScore_model( Model const& xyz, AtomNames const& names,
	std::vector< std::vector< double > > const& B, std::string selection )
{
	if ( !isLoaded ) {
		std::cout << "EError! matchResFast called but no map is loaded!" << std::endl;
		return 0.0;
	}
	bool shaped = B.size() == xyz.size();
	for ( std::size_t i = 0; shaped && i < xyz.size(); ++i ) shaped = B[ i ].size() == xyz[ i ].size();
	if ( !shaped ) {
		std::cout << "Error! getFastDensScore_model: the B factors do not have the model's shape." << std::endl;
		return 0.0;
	}
	ensureFastCache();
	if ( fastCacheEmpty() ) return 0.0;
	FastDensityCache const& c = *fastCache();
	double score = 0.0;
	for ( std::size_t i = 0; i < xyz.size(); ++i )
		for ( std::size_t j = 0; j < xyz[ i ].size(); ++j ) {
			// Atoms without a name are not selected (as in the pose score).
			if ( i >= names.size() || j >= names[ i ].size() || !get_mode( names[ i ][ j ], selection ) ) continue;
			score += fastAtomTerm( c, xyz[ i ][ j ], names[ i ][ j ], B[ i ][ j ], 1.0 );
		}
	return score;
}

double FastDensityScore::getFastDensScore_Atom( double* xyz, std::string atomName, double B )
{
	if ( !isLoaded ) {
		std::cout << "EError! matchResFast called but no map is loaded!" << std::endl;
		return 0.0;
	}
	ensureFastCache();
	if ( fastCacheEmpty() ) return 0.0;
	return fastAtomTerm( *fastCache(), xyz, atomName, B, 1.0 );
}

double FastDensityScore::getFastDensScore_Atom( double* xyz, std::string atomName, std::string residue, double B )
{
	if ( !isLoaded ) {
		std::cout << "Error! 'getFastDensScore_Atom' called but no map is loaded!" << std::endl;
		return 0.0;
	}
	ensureFastCache();
	if ( fastCacheEmpty() ) return 0.0;
	double const scale = is_main_chain( atomName ) ? 1.0 : get_sc_scale( residue );
	return fastAtomTerm( *fastCache(), xyz, atomName, B, scale );
}

double FastDensityScore::getFastDensScore_Res( double** xyz, std::string residue, double B )
{
	if ( !isLoaded ) {
		std::cout << "Error! 'getFastDensScore_Res' called but no map is loaded!" << std::endl;
		return 0.0;
	}
	ensureFastCache();
	if ( fastCacheEmpty() ) return 0.0;
	FastDensityCache const& c = *fastCache();
	// Rows N, CA, C, O and CB; glycine has no CB row.
	int const rows = ( residue == "GLY" ) ? 4 : 5;
	double score = 0.0;
	for ( int k = 0; k < rows; ++k )
		score += fastAtomTerm( c, xyz[ k ], getCenAtomMode( k ), B, k == 4 ? get_sc_scale( residue ) : 1.0 );
	return score;
}

double FastDensityScore::getFastDensScore_Res( std::vector< double* > xyz, std::vector< std::string > names,
	std::string residue, double B )
{
	if ( !isLoaded ) {
		std::cout << "Error! 'getFastDensScore_Res' called but no map is loaded!" << std::endl;
		return 0.0;
	}
	ensureFastCache();
	if ( fastCacheEmpty() ) return 0.0;
	FastDensityCache const& c = *fastCache();
	double const sc = get_sc_scale( residue );
	double score = 0.0;
	// The last entry of the list is not an atom of the residue's score.
	for ( std::size_t j = 0; j + 1 < xyz.size() && j < names.size(); ++j )
		score += fastAtomTerm( c, xyz[ j ], names[ j ], B, is_main_chain( names[ j ] ) ? 1.0 : sc );
	return score;
}

double FastDensityScore::getFastDensScore_CA( double* xyz, double B )
{
	if ( !isLoaded ) {
		std::cout << "Error! matchResFast called but no map is loaded!" << std::endl;
		return 0.0;
	}
	ensureFastCache();
	if ( fastCacheEmpty() ) return 0.0;
	return fastAtomTerm( *fastCache(), xyz, "C", B, 1.0 );
}
