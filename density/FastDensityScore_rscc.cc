// FastDensityScore: masked real-space correlation of a CA trace with the map.
//
// Every CA adds a Gaussian to a model density and a soft factor to an
// inverse mask m on the voxels within maskPadding + caMask of it (minimum
// image across the periodic cell); the score is the correlation of model
// and map weighted by 1 - m.  Voxels outside every window have weight 0, so
// the work is done on the compact box of grid lines that the windows touch;
// the box keeps the map's linear order, so the sums are those of a sweep
// over the whole grid.
//
// Both exponentials are factorised along the rows of a window.  With
// a = f2c(0,0) and the row's other offset p along x, the x offset of a voxel
// is p + s, s = dx a, so d^2 = v + s^2 + 2 p s with v = p^2 + o_y^2 + o_z^2,
// and exp(-k d^2) = exp(-k v) exp(-k s^2) exp(-2 k p s) (likewise the mask's
// exp(d^2 - mask^2)).  The first factor is one exp per row, the second one
// per x candidate of the atom.  The last is 1 in an orthogonal cell and
// within 1e-3 of 1 in cells whose right angles carry single-precision
// rounding; there a short series gives it to full precision.  Rows of
// skewed cells, where 2 p s is larger, take both exps per voxel.
#include "density/FastDensityScore.hh"

#include "density/FastDensityScore_internal.hh"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <limits>
#include <vector>

using namespace fds_detail;

namespace {

// Candidate voxels of one atom along one axis: wrapped 1-based indices and
// the minimum-image fractional offset (atom - voxel) / n of each.
void axis_candidates( double g, int ext, int n, double halfWidth, std::vector< int >& idx, std::vector< double >& d )
{
	idx.clear();
	d.clear();
	auto offset = [ & ]( int v ) {
		double dv = ( g - v ) / n;
		if ( dv > 0.5 ) dv -= 1.0;
		else if ( dv < -0.5 ) dv += 1.0;
		return dv;
	};
	if ( ext != n || 2.0 * halfWidth + 3.0 >= ext ) {
		for ( int v = 1; v <= ext; ++v ) {
			idx.push_back( v );
			d.push_back( offset( v ) );
		}
		return;
	}
	// Every voxel within the window lies within halfWidth grid units of g;
	// the range is shorter than the axis, so no voxel comes twice.
	int const lo = int( std::ceil( g - halfWidth ) ) - 1, hi = int( std::floor( g + halfWidth ) ) + 1;
	for ( int vp = lo; vp <= hi; ++vp ) {
		int const v = ( ( vp - 1 ) % n + n ) % n + 1;
		idx.push_back( v );
		d.push_back( offset( v ) );
	}
}

// exp(e) for |e| <= 1e-3: the series to e^4 (truncation below 1e-17 relative).
inline double exp_small( double e )
{
	return 1.0 + e * ( 1.0 + e * 0.5 * ( 1.0 + e * ( 1.0 / 3.0 ) * ( 1.0 + e * 0.25 ) ) );
}

double const kSmallCross = 1e-3; // largest |2 p s| (times k) a factorised row may have

struct RsccScratch {
	std::vector< int > cand[ 3 ];
	std::vector< double > off[ 3 ];
	std::vector< int > boxOf[ 3 ];   // wrapped index -> box index, -1 unused
	std::vector< int > wrapOf[ 3 ];  // box index -> wrapped index
	std::vector< double > rho, mask, alpha, beta;
	std::vector< double > gpos;      // 3 per atom
	std::vector< double > sx, gx, mx; // per x candidate: s, exp(-k s^2), exp(s^2 - mask^2 / 2)
};

} // namespace

namespace fds_detail {
bool rsccFactorised = true;
}

double FastDensityScore::getRSCC( double** ca, int n, double radius )
{
	return rsccCore( ca, n, nullptr, false, radius );
}

double FastDensityScore::getRSCC( std::vector< double* > ca, double radius )
{
	// The rows are read in place; the caller's points are not changed.
	return rsccCore( ca.empty() ? nullptr : ca.data(), int( ca.size() ), nullptr, false, radius );
}

double FastDensityScore::getRSCC( double** xyz, int n, double** grad, bool gradientWanted, double radius )
{
	return rsccCore( xyz, n, grad, gradientWanted, radius );
}

double FastDensityScore::rsccCore( double** xyz, int n, double** grad, bool gradientWanted, double radius )
{
	farray::FArray3D< double > const& dens = *density_;
	int const ext[ 3 ] = { dens.u1(), dens.u2(), dens.u3() };
	if ( n <= 0 || ext[ 0 ] <= 0 || ext[ 1 ] <= 0 || ext[ 2 ] <= 0 || grid[ 0 ] <= 0 || grid[ 1 ] <= 0
	     || grid[ 2 ] <= 0 )
		return 0.0;

	static thread_local RsccScratch S;

	double const R = modelResolution;
	double const effR = std::max( 0.8 * R + 2.4, R );
	double const k = ( M_PI / effR ) * ( M_PI / effR );
	double const A = 33.0 * std::pow( k * 0.3183098861837907, 1.5 );
	double const win = maskPadding + caMask;
	double const win2 = win * win;
	double const mask2 = atomMask * atomMask;
	double const radius2 = radius * radius;

	// Columns of f2c: Cartesian vectors of one cell edge; per voxel step below.
	double col[ 3 ][ 3 ], step[ 3 ][ 3 ], halfWidth[ 3 ], nearSlack[ 3 ];
	bool shortRadius = true;
	for ( int a = 0; a < 3; ++a ) {
		double rowNorm2 = 0.0;
		for ( int j = 0; j < 3; ++j ) {
			col[ a ][ j ] = f2c[ j ][ a ];
			step[ a ][ j ] = f2c[ j ][ a ] / grid[ a ];
			rowNorm2 += c2f[ a ][ j ] * c2f[ a ][ j ];
		}
		halfWidth[ a ] = win * std::sqrt( rowNorm2 ) * grid[ a ] + 1e-9;
		// A voxel within `radius` of a point lies within this many grid units
		// of it along axis a (one unit spare for rounding).
		nearSlack[ a ] = radius2 > 0.0 ? radius * std::sqrt( rowNorm2 ) * grid[ a ] + 1.0 : 0.0;
		shortRadius = shortRadius && radius * std::sqrt( rowNorm2 ) < 0.4;
	}

	// Grid positions and the lines of the box.
	S.gpos.resize( 3 * std::size_t( n ) );
	for ( int a = 0; a < 3; ++a ) S.boxOf[ a ].assign( ext[ a ] + 1, -1 );
	for ( int i = 0; i < n; ++i ) {
		double f[ 3 ];
		cartToFrac( xyz[ i ], f );
		for ( int a = 0; a < 3; ++a ) {
			double const g = wrap_grid( f[ a ] * grid[ a ] - originGrid[ a ] + 1.0, grid[ a ] );
			S.gpos[ 3 * i + a ] = g;
			axis_candidates( g, ext[ a ], grid[ a ], halfWidth[ a ], S.cand[ a ], S.off[ a ] );
			for ( int v : S.cand[ a ] ) S.boxOf[ a ][ v ] = 0;
		}
	}
	int nb[ 3 ];
	for ( int a = 0; a < 3; ++a ) {
		S.wrapOf[ a ].clear();
		for ( int v = 1; v <= ext[ a ]; ++v ) {
			if ( S.boxOf[ a ][ v ] == 0 || S.boxOf[ a ][ v ] > 0 ) {
				S.boxOf[ a ][ v ] = int( S.wrapOf[ a ].size() );
				S.wrapOf[ a ].push_back( v );
			}
		}
		nb[ a ] = int( S.wrapOf[ a ].size() );
	}
	std::size_t const nbox = std::size_t( nb[ 0 ] ) * nb[ 1 ] * nb[ 2 ];
	S.rho.assign( nbox, 0.0 );
	S.mask.assign( nbox, 1.0 );

	// Row factorisation (see the top of the file).  The mask's exponent is
	// split evenly between the row and the x factors, so that neither
	// overflows where a voxel's factor differs from 1 (d^2 - mask^2 < 38);
	// it needs mask^2 / 2 well inside exp's range.  Every factor is positive,
	// so a product overflows to +inf (a weight factor of 1), never to NaN.
	double const halfMask2 = 0.5 * mask2;
	bool const factorised = rsccFactorised && col[ 0 ][ 1 ] == 0.0 && col[ 0 ][ 2 ] == 0.0 && halfMask2 < 650.0;
	double const crossScale = 2.0 * std::max( 1.0, k );

	// Visits the window voxels of atom i: box index, Cartesian offset
	// (atom - voxel), squared length, the 1-based voxel indices and two
	// callables giving exp(-k d^2) and exp(d^2 - mask^2).
	auto forWindow = [ & ]( int i, auto&& visit ) {
		double const* g = &S.gpos[ 3 * i ];
		for ( int a = 0; a < 3; ++a ) axis_candidates( g[ a ], ext[ a ], grid[ a ], halfWidth[ a ], S.cand[ a ], S.off[ a ] );
		std::size_t const ncz = S.cand[ 2 ].size(), ncy = S.cand[ 1 ].size(), ncx = S.cand[ 0 ].size();
		double sMax = 0.0;
		if ( factorised ) {
			S.sx.resize( ncx );
			S.gx.resize( ncx );
			S.mx.resize( ncx );
			for ( std::size_t ix = 0; ix < ncx; ++ix ) {
				double const sv = S.off[ 0 ][ ix ] * col[ 0 ][ 0 ];
				S.sx[ ix ] = sv;
				S.gx[ ix ] = std::exp( -k * ( sv * sv ) );
				S.mx[ ix ] = std::exp( sv * sv - halfMask2 );
				sMax = std::max( sMax, std::fabs( sv ) );
			}
		}
		for ( std::size_t iz = 0; iz < ncz; ++iz ) {
			double const dz = S.off[ 2 ][ iz ];
			double const oz[ 3 ] = { dz * col[ 2 ][ 0 ], dz * col[ 2 ][ 1 ], dz * col[ 2 ][ 2 ] };
			if ( oz[ 2 ] * oz[ 2 ] > win2 ) continue; // distance to the plane
			int const z = S.cand[ 2 ][ iz ];
			std::size_t const bz = std::size_t( S.boxOf[ 2 ][ z ] ) * nb[ 1 ];
			for ( std::size_t iy = 0; iy < ncy; ++iy ) {
				double const dy = S.off[ 1 ][ iy ];
				double const oy[ 3 ] = { oz[ 0 ] + dy * col[ 1 ][ 0 ], oz[ 1 ] + dy * col[ 1 ][ 1 ], oz[ 2 ] + dy * col[ 1 ][ 2 ] };
				if ( oy[ 1 ] * oy[ 1 ] + oy[ 2 ] * oy[ 2 ] > win2 ) continue; // distance to the row
				int const y = S.cand[ 1 ][ iy ];
				std::size_t const byz = ( bz + S.boxOf[ 1 ][ y ] ) * nb[ 0 ];
				auto row = [ & ]( auto&& gaussOf, auto&& maskExpOf ) {
					for ( std::size_t ix = 0; ix < ncx; ++ix ) {
						double const dx = S.off[ 0 ][ ix ];
						double const o[ 3 ] = { oy[ 0 ] + dx * col[ 0 ][ 0 ], oy[ 1 ] + dx * col[ 0 ][ 1 ], oy[ 2 ] + dx * col[ 0 ][ 2 ] };
						double const d2 = o[ 0 ] * o[ 0 ] + o[ 1 ] * o[ 1 ] + o[ 2 ] * o[ 2 ];
						if ( d2 > win2 ) continue;
						int const x = S.cand[ 0 ][ ix ];
						visit( byz + S.boxOf[ 0 ][ x ], o, d2, x, y, z, [ & ] { return gaussOf( ix, d2 ); },
							[ & ] { return maskExpOf( ix, d2 ); } );
					}
				};
				double const p = oy[ 0 ];
				if ( factorised && crossScale * std::fabs( p ) * sMax <= kSmallCross ) {
					double const v = p * p + oy[ 1 ] * oy[ 1 ] + oy[ 2 ] * oy[ 2 ];
					double const rg = std::exp( -k * v ), rm = std::exp( v - halfMask2 );
					double const twoP = 2.0 * p;
					row( [ & ]( std::size_t ix, double ) { return rg * S.gx[ ix ] * exp_small( -k * ( twoP * S.sx[ ix ] ) ); },
						[ & ]( std::size_t ix, double ) { return rm * S.mx[ ix ] * exp_small( twoP * S.sx[ ix ] ); } );
				} else {
					row( [ & ]( std::size_t, double d2 ) { return std::exp( -k * d2 ); },
						[ & ]( std::size_t, double d2 ) { return std::exp( d2 - mask2 ); } );
				}
			}
		}
	};

	int nearCount = 0;
	for ( int i = 0; i < n; ++i ) {
		bool near = !( radius > 0.0 );
		double const* p = xyz[ i ];
		// A CA farther than `radius` outside the grid box is near no voxel:
		// its voxels are not tested one by one.  When `radius` spans well
		// under half the cell along every axis, a voxel within it of the CA
		// is its own nearest image, so its d^2 equals the tested distance up
		// to rounding; voxels with a larger d^2 need no test.
		double const nearD2 = shortRadius ? radius2 + 1e-3 : std::numeric_limits< double >::infinity();
		bool seek = !near;
		for ( int a = 0; a < 3 && seek; ++a ) {
			double const u = grid[ a ] * ( c2f[ a ][ 0 ] * ( p[ 0 ] - voxelOrigin[ 0 ] ) + c2f[ a ][ 1 ] * ( p[ 1 ] - voxelOrigin[ 1 ] )
			                               + c2f[ a ][ 2 ] * ( p[ 2 ] - voxelOrigin[ 2 ] ) );
			seek = u > -nearSlack[ a ] && u < ext[ a ] - 1 + nearSlack[ a ];
		}
		forWindow( i, [ & ]( std::size_t b, double const*, double d2, int x, int y, int z, auto&& gauss, auto&& maskExp ) {
			if ( seek && d2 < nearD2 ) {
				double q[ 3 ];
				for ( int j = 0; j < 3; ++j )
					q[ j ] = voxelOrigin[ j ] + ( x - 1 ) * step[ 0 ][ j ] + ( y - 1 ) * step[ 1 ][ j ] + ( z - 1 ) * step[ 2 ][ j ] - p[ j ];
				if ( q[ 0 ] * q[ 0 ] + q[ 1 ] * q[ 1 ] + q[ 2 ] * q[ 2 ] < radius2 ) near = true, seek = false;
			}
			// Terms below 1e-17 of a CA's peak change no sum beyond rounding.
			if ( k * d2 < 39.0 ) S.rho[ b ] += A * gauss();
			// Beyond d^2 - mask^2 = 38 the factor rounds to exactly 1.
			if ( d2 - mask2 < 38.0 ) S.mask[ b ] *= 1.0 - 1.0 / ( 1.0 + maskExp() );
		} );
		if ( near ) ++nearCount;
	}
	double const scale = ( radius > 0.0 ) ? double( nearCount ) / n : 1.0;

	// Visits every box voxel in the map's linear order: box index and the
	// map value there.
	double const* dv = dens.data();
	long const sy = ext[ 0 ], sz = long( ext[ 0 ] ) * ext[ 1 ];
	auto forBox = [ & ]( auto&& visit ) {
		for ( int bz = 0; bz < nb[ 2 ]; ++bz ) {
			int const z = S.wrapOf[ 2 ][ bz ];
			for ( int by = 0; by < nb[ 1 ]; ++by ) {
				int const y = S.wrapOf[ 1 ][ by ];
				std::size_t const row = ( std::size_t( bz ) * nb[ 1 ] + by ) * nb[ 0 ];
				double const* line = dv + ( z - 1 ) * sz + ( y - 1 ) * sy;
				for ( int bx = 0; bx < nb[ 0 ]; ++bx ) visit( row + bx, line[ S.wrapOf[ 0 ][ bx ] - 1 ] );
			}
		}
	};

	WeightedSums sums;
	forBox( [ & ]( std::size_t b, double obs ) { sums.add( 1.0 - S.mask[ b ], S.rho[ b ], obs ); } );
	double const cc = sums.correlation();
	if ( cc == 0.0 ) return 0.0;
	double const result = cc * scale;
	if ( !gradientWanted || grad == nullptr ) return result;

	// d(score)/d(voxel weight) and d(score)/d(voxel model density).
	double const vo = sums.varO(), vc = sums.varC(), N = sums.cov();
	double const norm = scale / std::sqrt( vo * vc );
	double const oMean = sums.o / sums.w, cMean = sums.c / sums.w;
	S.alpha.resize( nbox );
	S.beta.resize( nbox );
	forBox( [ & ]( std::size_t b, double obs ) {
		double const o = obs - oMean;
		double const c = S.rho[ b ] - cMean;
		double const w = 1.0 - S.mask[ b ];
		S.alpha[ b ] = norm * ( o * c - 0.5 * N * ( o * o / vo + c * c / vc ) );
		S.beta[ b ] = norm * w * ( o - N * c / vc );
	} );
	for ( int i = 0; i < n; ++i ) {
		double gsum[ 3 ] = { 0.0, 0.0, 0.0 };
		forWindow( i, [ & ]( std::size_t b, double const* o, double d2, int, int, int, auto&& gauss, auto&& maskExp ) {
			// weight w = 1 - m: dw = -m t d(d^2), t = 1 / (1 + e) the log-derivative
			// of the mask factor; an overflowing e gives t = 0, not NaN.
			double const e = maskExp();
			double const t = std::isfinite( e ) ? 1.0 / ( 1.0 + e ) : 0.0;
			double const dw = -S.mask[ b ] * t;
			double const dc = ( k * d2 < 39.0 ) ? -k * A * gauss() : 0.0;
			double const f = 2.0 * ( S.alpha[ b ] * dw + S.beta[ b ] * dc );
			for ( int j = 0; j < 3; ++j ) gsum[ j ] += f * o[ j ];
		} );
		for ( int j = 0; j < 3; ++j ) grad[ i ][ j ] += gsum[ j ];
	}
	return result;
}

void FastDensityScore::dCCdx_RSCC_6D_CA( double** xyz, double** moved, double* centre, int n, double* x, double* grad )
{
	if ( !isLoaded ) {
		std::cout << "Error! dCCdx_fastRes_6D_CA called but no map is loaded!" << std::endl;
		return;
	}
	for ( int m = 0; m < 6; ++m ) grad[ m ] = 0.0;
	if ( n <= 0 ) return;
	std::vector< double > store( 3 * std::size_t( n ), 0.0 );
	std::vector< double* > g( n );
	for ( int i = 0; i < n; ++i ) g[ i ] = &store[ 3 * i ];
	rsccCore( moved, n, g.data(), true, 4.0 );
	double M[ 3 ][ 3 ] = { { 0, 0, 0 }, { 0, 0, 0 }, { 0, 0, 0 } };
	for ( int i = 0; i < n; ++i ) {
		for ( int a = 0; a < 3; ++a ) {
			grad[ a ] += g[ i ][ a ];
			for ( int b = 0; b < 3; ++b ) M[ a ][ b ] += g[ i ][ a ] * ( xyz[ i ][ b ] - centre[ b ] );
		}
	}
	PoseRotation rot( x + 3 );
	for ( int m = 0; m < 3; ++m ) grad[ 3 + m ] = rot.contract( m, M );
}

double FastDensityScore::getRSCC_Res_CA( double** ca, int n, int i, int window )
{
	int const h = window / 2;
	int const first = std::max( i - h, 0 ), last = std::min( i + h, n - 1 );
	if ( last < first ) return 0.0;
	return rsccCore( ca + first, last - first + 1, nullptr, false, 4.0 );
}

double FastDensityScore::getRSCC( farray::FArray3D< double > const& calc, farray::FArray3D< double > const& mask )
{
	farray::FArray3D< double > const& dens = *density_;
	bool const masked = mask.u1() > 0;
	if ( calc.u1() != dens.u1() || calc.u2() != dens.u2() || calc.u3() != dens.u3()
	     || ( masked && ( mask.u1() != dens.u1() || mask.u2() != dens.u2() || mask.u3() != dens.u3() ) ) ) {
		std::cout << "Error! getRSCC: the model map's grid differs from the loaded map's." << std::endl;
		return 0.0;
	}
	long const nv = long( dens.u1() ) * dens.u2() * dens.u3();
	WeightedSums sums;
	for ( long v = 0; v < nv; ++v ) sums.add( masked ? mask[ v ] : 1.0, calc[ v ], dens[ v ] );
	return sums.correlation();
}
