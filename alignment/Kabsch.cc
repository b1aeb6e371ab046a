// Closed-form Kabsch superposition.  The tolerances are part of the
// behaviour callers rely on.  Where the points leave eigenvectors undecided
// (collinear, round or nearly coincident point sets) the fallbacks give the
// rotation the points do fix and no turn that they do not.
#include "alignment/Kabsch.hh"

#include "core/basic_fun_Quilt.hh"

#include <cmath>

namespace {

// Three of the six packed cofactors that make an eigenvector column.
int const ip[ 9 ] = { 0, 1, 3, 1, 2, 4, 3, 4, 5 };
// The two other axes of an axis.
int const ip2312[ 4 ] = { 1, 2, 0, 1 };

// Index of the smallest |m[i][col]|, scanning from 1.0; ties take the later i.
int smallest_component( double m[3][3], int col )
{
	double p = 1.0;
	int k0 = 0;
	for ( int i = 0; i < 3; ++i ) {
		double const c = std::fabs( m[ i ][ col ] );
		if ( p >= c ) {
			p = c;
			k0 = i;
		}
	}
	return k0;
}

// b column 1 = the image of a column 1 under the smallest rotation that
// carries a column 0 onto b column 0 (both unit vectors): the rotation about
// their common normal, by the angle between them.  Opposite columns have no
// common normal; the half turn about a column 1 (normal to a column 0) is
// then as small as any.
void least_turn_image( double const a[3][3], double b[3][3] )
{
	double const c = a[ 0 ][ 0 ] * b[ 0 ][ 0 ] + a[ 1 ][ 0 ] * b[ 1 ][ 0 ] + a[ 2 ][ 0 ] * b[ 2 ][ 0 ];
	double const v[ 3 ] = { a[ 1 ][ 0 ] * b[ 2 ][ 0 ] - a[ 2 ][ 0 ] * b[ 1 ][ 0 ],
		a[ 2 ][ 0 ] * b[ 0 ][ 0 ] - a[ 0 ][ 0 ] * b[ 2 ][ 0 ], a[ 0 ][ 0 ] * b[ 1 ][ 0 ] - a[ 1 ][ 0 ] * b[ 0 ][ 0 ] };
	double const w[ 3 ] = { a[ 0 ][ 1 ], a[ 1 ][ 1 ], a[ 2 ][ 1 ] };
	double img[ 3 ] = { w[ 0 ], w[ 1 ], w[ 2 ] };
	if ( 1.0 + c > 1e-10 ) {
		// Rodrigues' formula with the axis unnormalised: R w = c w + v x w + v (v.w) / (1 + c).
		double const vw = ( v[ 0 ] * w[ 0 ] + v[ 1 ] * w[ 1 ] + v[ 2 ] * w[ 2 ] ) / ( 1.0 + c );
		img[ 0 ] = c * w[ 0 ] + ( v[ 1 ] * w[ 2 ] - v[ 2 ] * w[ 1 ] ) + vw * v[ 0 ];
		img[ 1 ] = c * w[ 1 ] + ( v[ 2 ] * w[ 0 ] - v[ 0 ] * w[ 2 ] ) + vw * v[ 1 ];
		img[ 2 ] = c * w[ 2 ] + ( v[ 0 ] * w[ 1 ] - v[ 1 ] * w[ 0 ] ) + vw * v[ 2 ];
	}
	// Exactly normal to b column 0 and of unit length despite rounding.
	double const d = img[ 0 ] * b[ 0 ][ 0 ] + img[ 1 ] * b[ 1 ][ 0 ] + img[ 2 ] * b[ 2 ][ 0 ];
	double n = 0.0;
	for ( int i = 0; i < 3; ++i ) {
		img[ i ] -= d * b[ i ][ 0 ];
		n += img[ i ] * img[ i ];
	}
	n = 1.0 / std::sqrt( n );
	for ( int i = 0; i < 3; ++i ) b[ i ][ 1 ] = img[ i ] * n;
}

} // namespace

bool Kabsch_from_sums( int n, int mode, double const s1[3], double const s2[3], double const sxy[3][3],
	double e0, double* rms, double t[3], double u[3][3] )
{
	double const epsilon = 1e-7;
	double const tol = 0.01;
	double const sqrt3 = 1.73205080756888;

	double r[ 3 ][ 3 ], a[ 3 ][ 3 ], b[ 3 ][ 3 ];
	double xc[ 3 ], yc[ 3 ], e[ 3 ], rr[ 6 ], ss[ 6 ];

	*rms = 0.0;
	for ( int i = 0; i < 3; ++i ) {
		t[ i ] = 0.0;
		for ( int j = 0; j < 3; ++j ) {
			u[ i ][ j ] = ( i == j ) ? 1.0 : 0.0;
			a[ i ][ j ] = ( i == j ) ? 1.0 : 0.0;
			r[ i ][ j ] = 0.0;
		}
	}
	if ( n < 1 ) return false;

	double const inv_n = 1.0 / n;
	for ( int i = 0; i < 3; ++i ) {
		xc[ i ] = s1[ i ] * inv_n;
		yc[ i ] = s2[ i ] * inv_n;
	}
	for ( int i = 0; i < 3; ++i ) {
		for ( int j = 0; j < 3; ++j ) r[ i ][ j ] = sxy[ i ][ j ] - yc[ i ] * s1[ j ];
	}

	double const sigma = r[ 0 ][ 0 ] * ( r[ 1 ][ 1 ] * r[ 2 ][ 2 ] - r[ 1 ][ 2 ] * r[ 2 ][ 1 ] )
		- r[ 0 ][ 1 ] * ( r[ 1 ][ 0 ] * r[ 2 ][ 2 ] - r[ 1 ][ 2 ] * r[ 2 ][ 0 ] )
		+ r[ 0 ][ 2 ] * ( r[ 1 ][ 0 ] * r[ 2 ][ 1 ] - r[ 1 ][ 1 ] * r[ 2 ][ 0 ] );

	// Packed r^T r from the columns of r.
	{
		int m = 0;
		for ( int j = 0; j < 3; ++j ) {
			for ( int i = 0; i <= j; ++i ) {
				rr[ m ] = r[ 0 ][ i ] * r[ 0 ][ j ] + r[ 1 ][ i ] * r[ 1 ][ j ] + r[ 2 ][ i ] * r[ 2 ][ j ];
				++m;
			}
		}
	}

	double const spur = ( rr[ 0 ] + rr[ 2 ] + rr[ 5 ] ) / 3.0;
	double const cof = ( rr[ 2 ] * rr[ 5 ] - rr[ 4 ] * rr[ 4 ] + rr[ 0 ] * rr[ 5 ] - rr[ 3 ] * rr[ 3 ]
		+ rr[ 0 ] * rr[ 2 ] - rr[ 1 ] * rr[ 1 ] ) / 3.0;
	double const det = sigma * sigma;
	e[ 0 ] = e[ 1 ] = e[ 2 ] = spur;

	bool rotation = spur > 0.0;      // false: t from centroids with u = identity
	bool translation = true;         // false: leave t = 0, u = identity
	if ( rotation ) {
		double const h = spur * spur - cof;
		double const g = ( spur * cof - det ) / 2.0 - spur * h;
		if ( h > 0.0 ) {
			double const sqrth = std::sqrt( h );
			double q = h * h * h - g * g;
			if ( q < 0.0 ) q = 0.0;
			double const phi = std::atan2( std::sqrt( q ), -g ) / 3.0;
			double const cth = sqrth * std::cos( phi );
			double const sth = sqrth * sqrt3 * std::sin( phi );
			e[ 0 ] = ( spur + cth ) + cth;
			e[ 1 ] = ( spur - cth ) + sth;
			e[ 2 ] = ( spur - cth ) - sth;

			if ( mode == 0 ) {
				rotation = false;
				translation = false;
			} else {
				// Eigenvectors of r^T r for the largest and the smallest eigenvalue.
				for ( int l = 0; l < 3; l += 2 ) {
					double const d = e[ l ];
					ss[ 0 ] = ( d - rr[ 2 ] ) * ( d - rr[ 5 ] ) - rr[ 4 ] * rr[ 4 ];
					ss[ 1 ] = ( d - rr[ 5 ] ) * rr[ 1 ] + rr[ 3 ] * rr[ 4 ];
					ss[ 2 ] = ( d - rr[ 0 ] ) * ( d - rr[ 5 ] ) - rr[ 3 ] * rr[ 3 ];
					ss[ 3 ] = ( d - rr[ 2 ] ) * rr[ 3 ] + rr[ 1 ] * rr[ 4 ];
					ss[ 4 ] = ( d - rr[ 0 ] ) * rr[ 4 ] + rr[ 1 ] * rr[ 3 ];
					ss[ 5 ] = ( d - rr[ 0 ] ) * ( d - rr[ 2 ] ) - rr[ 1 ] * rr[ 1 ];
					for ( int k = 0; k < 6; ++k ) {
						if ( std::fabs( ss[ k ] ) <= epsilon ) ss[ k ] = 0.0;
					}
					int s;
					if ( std::fabs( ss[ 0 ] ) >= std::fabs( ss[ 2 ] ) ) {
						s = ( std::fabs( ss[ 0 ] ) < std::fabs( ss[ 5 ] ) ) ? 2 : 0;
					} else {
						s = ( std::fabs( ss[ 2 ] ) >= std::fabs( ss[ 5 ] ) ) ? 1 : 2;
					}
					double norm = 0.0;
					for ( int i = 0; i < 3; ++i ) {
						a[ i ][ l ] = ss[ ip[ 3 * s + i ] ];
						norm += a[ i ][ l ] * a[ i ][ l ];
					}
					norm = ( norm > epsilon ) ? 1.0 / std::sqrt( norm ) : 0.0;
					for ( int i = 0; i < 3; ++i ) a[ i ][ l ] *= norm;
				}

				// Orthogonalise the less well determined column against the other.
				double const dd = a[ 0 ][ 0 ] * a[ 0 ][ 2 ] + a[ 1 ][ 0 ] * a[ 1 ][ 2 ] + a[ 2 ][ 0 ] * a[ 2 ][ 2 ];
				int m1, m;
				if ( ( e[ 0 ] - e[ 1 ] ) > ( e[ 1 ] - e[ 2 ] ) ) {
					m1 = 2;
					m = 0;
				} else {
					m1 = 0;
					m = 2;
				}
				double p = 0.0;
				for ( int i = 0; i < 3; ++i ) {
					a[ i ][ m1 ] -= dd * a[ i ][ m ];
					p += a[ i ][ m1 ] * a[ i ][ m1 ];
				}
				if ( p <= tol ) {
					int const k0 = smallest_component( a, m );
					int const k = ip2312[ k0 ];
					int const l2 = ip2312[ k0 + 1 ];
					double const w = std::sqrt( a[ k ][ m ] * a[ k ][ m ] + a[ l2 ][ m ] * a[ l2 ][ m ] );
					if ( w > tol ) {
						a[ k0 ][ m1 ] = 0.0;
						a[ k ][ m1 ] = -a[ l2 ][ m ] / w;
						a[ l2 ][ m1 ] = a[ k ][ m ] / w;
					} else {
						// No eigenvector came out: the eigenvalues coincide (a
						// point set as round as a regular tetrahedron, where every
						// axis is an eigenvector) or r is too small to resolve.
						// Any basis then serves; the images of the axes under r
						// give the rotation, or nothing fixes one and the move is
						// the centroid shift alone.
						for ( int i = 0; i < 3; ++i )
							for ( int j = 0; j < 3; ++j ) a[ i ][ j ] = ( i == j ) ? 1.0 : 0.0;
					}
				} else {
					double const inv = 1.0 / std::sqrt( p );
					for ( int i = 0; i < 3; ++i ) a[ i ][ m1 ] *= inv;
				}
				if ( rotation ) {
					a[ 0 ][ 1 ] = a[ 1 ][ 2 ] * a[ 2 ][ 0 ] - a[ 1 ][ 0 ] * a[ 2 ][ 2 ];
					a[ 1 ][ 1 ] = a[ 2 ][ 2 ] * a[ 0 ][ 0 ] - a[ 2 ][ 0 ] * a[ 0 ][ 2 ];
					a[ 2 ][ 1 ] = a[ 0 ][ 2 ] * a[ 1 ][ 0 ] - a[ 0 ][ 0 ] * a[ 1 ][ 2 ];
				}
			}
		} else if ( mode == 0 ) {
			rotation = false;
			translation = false;
		}

		if ( rotation ) {
			// Images of the eigenvectors under r, orthonormalised.
			for ( int l = 0; l < 2; ++l ) {
				double norm = 0.0;
				for ( int i = 0; i < 3; ++i ) {
					b[ i ][ l ] = r[ i ][ 0 ] * a[ 0 ][ l ] + r[ i ][ 1 ] * a[ 1 ][ l ] + r[ i ][ 2 ] * a[ 2 ][ l ];
					norm += b[ i ][ l ] * b[ i ][ l ];
				}
				norm = ( norm > epsilon ) ? 1.0 / std::sqrt( norm ) : 0.0;
				for ( int i = 0; i < 3; ++i ) b[ i ][ l ] *= norm;
			}
			double const dd = b[ 0 ][ 0 ] * b[ 0 ][ 1 ] + b[ 1 ][ 0 ] * b[ 1 ][ 1 ] + b[ 2 ][ 0 ] * b[ 2 ][ 1 ];
			double p = 0.0;
			for ( int i = 0; i < 3; ++i ) {
				b[ i ][ 1 ] -= dd * b[ i ][ 0 ];
				p += b[ i ][ 1 ] * b[ i ][ 1 ];
			}
			bool ok = true;
			if ( p <= tol ) {
				int const k0 = smallest_component( b, 0 );
				int const k = ip2312[ k0 ];
				int const l2 = ip2312[ k0 + 1 ];
				double const w = std::sqrt( b[ k ][ 0 ] * b[ k ][ 0 ] + b[ l2 ][ 0 ] * b[ l2 ][ 0 ] );
				if ( w > tol ) {
					// r has rank one: the points lie on a line (on one side at
					// least), which fixes where the line goes (a0 onto b0) but no
					// turn about it.  Take the smallest rotation that carries a0
					// onto b0, so that a pure translation stays one.
					least_turn_image( a, b );
				} else {
					ok = false;  // u stays identity; t from the centroids
				}
			} else {
				double const inv = 1.0 / std::sqrt( p );
				for ( int i = 0; i < 3; ++i ) b[ i ][ 1 ] *= inv;
			}
			if ( ok ) {
				b[ 0 ][ 2 ] = b[ 1 ][ 0 ] * b[ 2 ][ 1 ] - b[ 1 ][ 1 ] * b[ 2 ][ 0 ];
				b[ 1 ][ 2 ] = b[ 2 ][ 0 ] * b[ 0 ][ 1 ] - b[ 2 ][ 1 ] * b[ 0 ][ 0 ];
				b[ 2 ][ 2 ] = b[ 0 ][ 0 ] * b[ 1 ][ 1 ] - b[ 0 ][ 1 ] * b[ 1 ][ 0 ];
				for ( int i = 0; i < 3; ++i ) {
					for ( int j = 0; j < 3; ++j ) {
						u[ i ][ j ] = b[ i ][ 0 ] * a[ j ][ 0 ] + b[ i ][ 1 ] * a[ j ][ 1 ] + b[ i ][ 2 ] * a[ j ][ 2 ];
					}
				}
			}
		}
	}

	if ( translation ) {
		for ( int i = 0; i < 3; ++i ) {
			t[ i ] = ( ( yc[ i ] - u[ i ][ 0 ] * xc[ 0 ] ) - u[ i ][ 1 ] * xc[ 1 ] ) - u[ i ][ 2 ] * xc[ 2 ];
		}
	}

	// Residual from the singular values of r; a reflection is never produced,
	// so the smallest one enters with the sign of det r.
	for ( int i = 0; i < 3; ++i ) e[ i ] = ( e[ i ] < 0.0 ) ? 0.0 : std::sqrt( e[ i ] );
	double d = e[ 2 ];
	if ( sigma < 0.0 ) d = -d;
	d = ( e[ 1 ] + e[ 0 ] ) + d;
	if ( mode == 0 || mode == 2 ) {
		double rms1 = ( e0 - d ) - d;
		if ( rms1 < 0.0 ) rms1 = 0.0;
		*rms = rms1;
	}
	return true;
}

bool Kabsch( double** x, double** y, int n, int mode, double* rms, double t[3], double u[3][3] )
{
	double const zero3[ 3 ] = { 0.0, 0.0, 0.0 };
	double const zero33[ 3 ][ 3 ] = { { 0.0, 0.0, 0.0 }, { 0.0, 0.0, 0.0 }, { 0.0, 0.0, 0.0 } };
	if ( n < 1 ) return Kabsch_from_sums( n, mode, zero3, zero3, zero33, 0.0, rms, t, u );

	// Centroids and raw cross sums in one pass (sums kept in registers; each
	// is accumulated over the points in order).
	double s1x = 0.0, s1y = 0.0, s1z = 0.0, s2x = 0.0, s2y = 0.0, s2z = 0.0;
	double c00 = 0.0, c01 = 0.0, c02 = 0.0, c10 = 0.0, c11 = 0.0, c12 = 0.0, c20 = 0.0, c21 = 0.0, c22 = 0.0;
	for ( int m = 0; m < n; ++m ) {
		double const* xm = x[ m ];
		double const* ym = y[ m ];
		double const x0 = xm[ 0 ], x1 = xm[ 1 ], x2 = xm[ 2 ];
		double const y0 = ym[ 0 ], y1 = ym[ 1 ], y2 = ym[ 2 ];
		s1x += x0;
		s1y += x1;
		s1z += x2;
		s2x += y0;
		s2y += y1;
		s2z += y2;
		c00 += y0 * x0;
		c01 += y0 * x1;
		c02 += y0 * x2;
		c10 += y1 * x0;
		c11 += y1 * x1;
		c12 += y1 * x2;
		c20 += y2 * x0;
		c21 += y2 * x1;
		c22 += y2 * x2;
	}
	double const s1[ 3 ] = { s1x, s1y, s1z };
	double const s2[ 3 ] = { s2x, s2y, s2z };
	double const sxy[ 3 ][ 3 ] = { { c00, c01, c02 }, { c10, c11, c12 }, { c20, c21, c22 } };

	// Spread about the centroids, a second pass (modes 0 and 2 only).
	double e0 = 0.0;
	if ( mode == 0 || mode == 2 ) {
		double const inv_n = 1.0 / n;
		double xc[ 3 ], yc[ 3 ];
		for ( int i = 0; i < 3; ++i ) {
			xc[ i ] = s1[ i ] * inv_n;
			yc[ i ] = s2[ i ] * inv_n;
		}
		for ( int m = 0; m < n; ++m ) {
			for ( int i = 0; i < 3; ++i ) {
				double const dx = x[ m ][ i ] - xc[ i ];
				double const dy = y[ m ][ i ] - yc[ i ];
				e0 += dx * dx + dy * dy;
			}
		}
	}

	return Kabsch_from_sums( n, mode, s1, s2, sxy, e0, rms, t, u );
}

bool Kabsch( std::vector< double* > x, std::vector< double* > y, int n, int mode, double* rms,
	double t[3], double u[3][3] )
{
	int const nx = static_cast< int >( x.size() );
	int const ny = static_cast< int >( y.size() );
	if ( n > nx ) n = nx;
	if ( n > ny ) n = ny;
	double** xa = new2DArr( nx, 3 );
	double** ya = new2DArr( ny, 3 );
	for ( int i = 0; i < nx; ++i ) {
		for ( int k = 0; k < 3; ++k ) xa[ i ][ k ] = x[ i ][ k ];
	}
	for ( int i = 0; i < ny; ++i ) {
		for ( int k = 0; k < 3; ++k ) ya[ i ][ k ] = y[ i ][ k ];
	}
	bool const ok = Kabsch( xa, ya, n, mode, rms, t, u );
	release2DArr( nx, xa );
	release2DArr( ny, ya );
	return ok;
}
