// Helpers shared by the FastDensityScore sources (not part of its interface).
#ifndef QUILT_DENSITY_FASTDENSITYSCORE_INTERNAL_HH
#define QUILT_DENSITY_FASTDENSITYSCORE_INTERNAL_HH

#include "density/WeightedSums.hh"

#include <cmath>

namespace fds_detail {

double const kPi2 = 9.869604401089358;  // pi^2
double const kLn1e4 = 9.210340371976182; // ln 10000

using density_detail::WeightedSums;

// getRSCC factorises its exponentials along window rows where the cell
// allows (true by default).  False makes it evaluate both per voxel; tests
// compare the two.  Not to be changed while another thread scores.
extern bool rsccFactorised;

// Rotation of the 6-D pose, R = Rz(a) Rx(b) Rz(c), and its derivatives with
// respect to a, b and c.  R acts on column vectors: p' = R p.
struct PoseRotation {
	double R[ 3 ][ 3 ];
	double dR[ 3 ][ 3 ][ 3 ];
	explicit PoseRotation( double const* ang, bool derivatives = true )
	{
		double const sa = std::sin( ang[ 0 ] ), ca = std::cos( ang[ 0 ] );
		double const sb = std::sin( ang[ 1 ] ), cb = std::cos( ang[ 1 ] );
		double const sc = std::sin( ang[ 2 ] ), cc = std::cos( ang[ 2 ] );
		double const r[ 3 ][ 3 ] = { { ca * cc - sa * cb * sc, ca * sc + sa * cb * cc, sa * sb },
			{ -sa * cc - ca * cb * sc, -sa * sc + ca * cb * cc, ca * sb }, { sb * sc, -sb * cc, cb } };
		for ( int i = 0; i < 3; ++i )
			for ( int j = 0; j < 3; ++j ) R[ i ][ j ] = r[ i ][ j ];
		if ( !derivatives ) return;
		double const da[ 3 ][ 3 ] = { { -sa * cc - ca * cb * sc, -sa * sc + ca * cb * cc, ca * sb },
			{ -ca * cc + sa * cb * sc, -ca * sc - sa * cb * cc, -sa * sb }, { 0.0, 0.0, 0.0 } };
		double const db[ 3 ][ 3 ] = { { sa * sb * sc, -sa * sb * cc, sa * cb }, { ca * sb * sc, -ca * sb * cc, ca * cb },
			{ cb * sc, -cb * cc, -sb } };
		double const dc[ 3 ][ 3 ] = { { -ca * sc - sa * cb * cc, ca * cc - sa * cb * sc, 0.0 },
			{ sa * sc - ca * cb * cc, -sa * cc - ca * cb * sc, 0.0 }, { sb * cc, sb * sc, 0.0 } };
		for ( int i = 0; i < 3; ++i ) {
			for ( int j = 0; j < 3; ++j ) {
				dR[ 0 ][ i ][ j ] = da[ i ][ j ];
				dR[ 1 ][ i ][ j ] = db[ i ][ j ];
				dR[ 2 ][ i ][ j ] = dc[ i ][ j ];
			}
		}
	}
	// sum over k, l of dR_m[k][l] M[k][l]
	double contract( int m, double const M[ 3 ][ 3 ] ) const
	{
		double s = 0.0;
		for ( int k = 0; k < 3; ++k )
			for ( int l = 0; l < 3; ++l ) s += dR[ m ][ k ][ l ] * M[ k ][ l ];
		return s;
	}
};

// Window pruning: f2c is upper triangular (a along x, b in the xy plane), so
// the voxels of one z plane lie at perpendicular distance |o_z| from an atom
// whose offset to one of them is o = f2c df, and the voxels of one (y, z)
// row at distance sqrt(o_y^2 + o_z^2).  Planes and rows are skipped by these
// distances, which stay exact in skewed cells.

// Real 1-based grid coordinate wrapped into [0, n).
inline double wrap_grid( double p, int n )
{
	if ( p >= 0.0 && p < n ) return p;
	double u = p - n * std::floor( p / n );
	if ( u < 0.0 ) u += n;
	if ( u >= n ) u -= n; // -tiny + n rounds to n
	if ( u < 0.0 || u >= n ) u = 0.0;
	return u;
}

// Cubic B-spline taps of one axis at the 0-based coordinate c: four storage
// offsets (periodic over n points, times the axis stride), the weights and
// their derivatives with respect to c.
struct SplineTaps {
	long off[ 4 ];
	double w[ 4 ];
	double dw[ 4 ];
};

inline void spline_taps( double c, int n, long stride, SplineTaps& t )
{
	double const fl = std::floor( c );
	double const u = c - fl;
	int const i = int( fl );
	t.w[ 3 ] = u * u * u / 6.0;
	t.w[ 0 ] = u * ( u - 1.0 ) / 2.0 + 1.0 / 6.0 - t.w[ 3 ];
	t.w[ 2 ] = u + t.w[ 0 ] - 2.0 * t.w[ 3 ];
	t.w[ 1 ] = 1.0 - t.w[ 0 ] - t.w[ 2 ] - t.w[ 3 ];
	t.dw[ 3 ] = u * u / 2.0;
	t.dw[ 0 ] = u - t.dw[ 3 ] - 0.5;
	t.dw[ 2 ] = 1.0 - 2.0 * t.dw[ 3 ] + t.dw[ 0 ];
	t.dw[ 1 ] = -( t.dw[ 3 ] + t.dw[ 0 ] + t.dw[ 2 ] );
	int m = ( i - 1 ) % n;
	if ( m < 0 ) m += n;
	for ( int j = 0; j < 4; ++j ) {
		t.off[ j ] = m * stride;
		if ( ++m == n ) m = 0;
	}
}

// Value and gradient (grid units, x y z) of a periodic cubic spline whose
// coefficients start at data (x fastest), summed over the bin blocks
// binOff[b] (offsets into data) with weights binW[b].
inline double spline_value_grad( double const* data, SplineTaps const& tx, SplineTaps const& ty,
	SplineTaps const& tz, long const* binOff, double const* binW, int nBinTaps, double* grad )
{
	// Separable: contract x per (z, y) line, then y per z plane, then z.
	double v = 0.0, gx = 0.0, gy = 0.0, gz = 0.0;
	bool const xRun = tx.off[ 3 ] == tx.off[ 0 ] + 3; // four neighbouring values
	for ( int b = 0; b < nBinTaps; ++b ) {
		double const* blk = data + binOff[ b ];
		double pv = 0.0, pgx = 0.0, pgy = 0.0, pgz = 0.0;
		for ( int jz = 0; jz < 4; ++jz ) {
			double const* pz = blk + tz.off[ jz ];
			double sv = 0.0, sgx = 0.0, sgy = 0.0;
			for ( int jy = 0; jy < 4; ++jy ) {
				double const* p = pz + ty.off[ jy ];
				double c0, c1, c2, c3;
				if ( xRun ) {
					p += tx.off[ 0 ];
					c0 = p[ 0 ];
					c1 = p[ 1 ];
					c2 = p[ 2 ];
					c3 = p[ 3 ];
				} else {
					c0 = p[ tx.off[ 0 ] ];
					c1 = p[ tx.off[ 1 ] ];
					c2 = p[ tx.off[ 2 ] ];
					c3 = p[ tx.off[ 3 ] ];
				}
				double const sx = tx.w[ 0 ] * c0 + tx.w[ 1 ] * c1 + tx.w[ 2 ] * c2 + tx.w[ 3 ] * c3;
				double const sdx = tx.dw[ 0 ] * c0 + tx.dw[ 1 ] * c1 + tx.dw[ 2 ] * c2 + tx.dw[ 3 ] * c3;
				sv += ty.w[ jy ] * sx;
				sgx += ty.w[ jy ] * sdx;
				sgy += ty.dw[ jy ] * sx;
			}
			pv += tz.w[ jz ] * sv;
			pgx += tz.w[ jz ] * sgx;
			pgy += tz.w[ jz ] * sgy;
			pgz += tz.dw[ jz ] * sv;
		}
		double const wb = binW[ b ];
		v += wb * pv;
		gx += wb * pgx;
		gy += wb * pgy;
		gz += wb * pgz;
	}
	if ( grad ) {
		grad[ 0 ] = gx;
		grad[ 1 ] = gy;
		grad[ 2 ] = gz;
	}
	return v;
}

} // namespace fds_detail

#endif
