// From what the MRC reader delivered to the plain grid: axis permutation into
// x/y/z order, the origin rule (MRC2000 ORIGIN or start indices), and
// trilinear resampling of non-cubic and skewed grids onto a cubic grid in
// register with the coordinate origin.
#include "density/DensityScore.hh"
#include "density/DensityScore_util.hh"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

using density_detail::alloc_or_die;
using density_detail::fail;

namespace {

// Rounds the smallest width to 0.1 A; widths below 0.05 A would round to 0
// and are kept unrounded instead.
double rounded_width( double w )
{
	double const r = std::floor( 10.0 * w + 0.5 ) * 0.1;
	return r > 0.0 ? r : w;
}

// A resampled grid may hold at most 64 times the voxels of the map it comes
// from (2^20 voxels for small maps): voxel widths or cell angles far from
// cubic would otherwise make a small file ask for gigabytes.  Prints why and
// ends the process.
void refuse_oversized_resampling( double count, unsigned nx, unsigned ny, unsigned nz, double w )
{
	double const limit = std::max( 64.0 * nx * ny * nz, double( 1 << 20 ) );
	if ( !( count > limit ) ) return;
	fail( "Error in read density map! 17005", 17005,
		density_detail::format( "resampling the %u x %u x %u voxels of %s onto a cubic grid of %g A would give %.0f voxels, more than %.0f; the voxel widths or cell angles are not usable",
			nx, ny, nz, density_detail::map_subject().c_str(), w, count, limit ) );
}

// Reason of a stop on cell angles that leave no volume.
std::string flat_cell( double alpha, double beta, double gamma )
{
	return density_detail::format( "%s has cell angles %g, %g, %g degrees, which enclose no volume",
		density_detail::map_subject().c_str(), alpha, beta, gamma );
}

// Origin rule: an MRC2000 origin with all three magnitudes below 1e-4 is
// taken as absent and the start indices place the map.
bool origin_from_starts( double xo, double yo, double zo )
{
	return std::fabs( xo ) < 1e-4 && std::fabs( yo ) < 1e-4 && std::fabs( zo ) < 1e-4;
}

} // namespace

unsigned long DensityScore::permuted_index( int ordermode, unsigned long i,
	unsigned nc, unsigned nr, unsigned ns )
{
	unsigned long const ncr = static_cast<unsigned long>( nc ) * nr;
	unsigned long const s = i / ncr;
	unsigned long const r = ( i % ncr ) / nc;
	unsigned long const c = i % nc;
	switch ( ordermode ) {
	case 1: return c + r * nc + s * ncr;
	case 2: return c + s * nc + r * static_cast<unsigned long>( nc ) * ns;
	case 3: return r + c * nr + s * static_cast<unsigned long>( nr ) * nc;
	case 4: return s + c * ns + r * static_cast<unsigned long>( ns ) * nc;
	case 5: return r + s * nr + c * static_cast<unsigned long>( nr ) * ns;
	case 6: return s + r * ns + c * static_cast<unsigned long>( ns ) * nr;
	default:
		std::printf( "Error option, 70210! \n" );
		return 0;
	}
}

void DensityScore::permute_dimensions( int ordermode, unsigned nc, unsigned nr, unsigned ns,
	unsigned* nx, unsigned* ny, unsigned* nz, int ncstart, int nrstart, int nsstart,
	int* nxstart, int* nystart, int* nzstart )
{
	switch ( ordermode ) {
	case 1: *nx = nc; *ny = nr; *nz = ns; *nxstart = ncstart; *nystart = nrstart; *nzstart = nsstart; break;
	case 2: *nx = nc; *ny = ns; *nz = nr; *nxstart = ncstart; *nystart = nsstart; *nzstart = nrstart; break;
	case 3: *nx = nr; *ny = nc; *nz = ns; *nxstart = nrstart; *nystart = ncstart; *nzstart = nsstart; break;
	case 4: *nx = ns; *ny = nc; *nz = nr; *nxstart = nsstart; *nystart = ncstart; *nzstart = nrstart; break;
	case 5: *nx = nr; *ny = ns; *nz = nc; *nxstart = nrstart; *nystart = nsstart; *nzstart = ncstart; break;
	case 6: *nx = ns; *ny = nr; *nz = nc; *nxstart = nsstart; *nystart = nrstart; *nzstart = ncstart; break;
	default: std::printf( "ReadMrc_st> Error option, 70212!\n" ); break;
	}
}

void DensityScore::permute_print_info( int ordermode, unsigned nc, unsigned nr, unsigned ns,
	unsigned nx, unsigned ny, unsigned nz, int ncstart, int nrstart, int nsstart,
	int nxstart, int nystart, int nzstart )
{
	if ( ordermode < 2 ) {
		std::printf( "ReadMrc_st> C,R,S = X,Y,Z (no axis permutation). \n" );
		return;
	}
	std::printf( "ReadMrc_st> Map parameters BEFORE selected axis permutation: \n" );
	std::printf( "ReadMrc_st>%9s = %8d  %s\n", "NC", static_cast<int>( nc ), "(# columns)" );
	std::printf( "ReadMrc_st>%9s = %8d  %s\n", "NR", static_cast<int>( nr ), "(# rows)" );
	std::printf( "ReadMrc_st>%9s = %8d  %s\n", "NS", static_cast<int>( ns ), "(# sections)" );
	std::printf( "ReadMrc_st>%9s = %8d  %s\n", "NCSTART", ncstart, "(index of first column, counting from 0)" );
	std::printf( "ReadMrc_st>%9s = %8d  %s\n", "NRSTART", nrstart, "(index of first row, counting from 0)" );
	std::printf( "ReadMrc_st>%9s = %8d  %s\n", "NSSTART", nsstart, "(index of first section, counting from 0)" );
	std::printf( "ReadMrc_st> Map parameters AFTER selected axis permutation: \n" );
	std::printf( "ReadMrc_st>       NX = %8d  (# X fields)\n", static_cast<int>( nx ) );
	std::printf( "ReadMrc_st>       NY = %8d  (# Y fields)\n", static_cast<int>( ny ) );
	std::printf( "ReadMrc_st>       NZ = %8d  (# Z fields)\n", static_cast<int>( nz ) );
	std::printf( "ReadMrc_st>  NXSTART = %8d  (X index of first voxel, counting from 0)\n", nxstart );
	std::printf( "ReadMrc_st>  NYSTART = %8d  (Y index of first voxel, counting from 0)\n", nystart );
	std::printf( "ReadMrc_st>  NZSTART = %8d  (Z index of first voxel, counting from 0)\n", nzstart );
}

int DensityScore::set_origin_get_mode( int nxstart, int nystart, int nzstart,
	double wx, double wy, double wz, double xorigin, double yorigin, double zorigin,
	double* ox, double* oy, double* oz )
{
	if ( origin_from_starts( xorigin, yorigin, zorigin ) ) {
		*ox = nxstart * wx;
		*oy = nystart * wy;
		*oz = nzstart * wz;
		return 0;
	}
	*ox = xorigin;
	*oy = yorigin;
	*oz = zorigin;
	return 1;
}

void DensityScore::permute_map( int ordermode, unsigned nc, unsigned nr, unsigned ns,
	unsigned* nx, unsigned* ny, unsigned* nz, int ncstart, int nrstart, int nsstart,
	int* nxstart, int* nystart, int* nzstart, double* phi, double** phi_out )
{
	// An unknown order would pile every value onto index 0; the reader never
	// hands one over, so treat it as an error before anything is reordered.
	if ( ordermode < 1 || ordermode > 6 ) {
		std::printf( "ReadMrc_st> Error option, 70212!\n" );
		density_detail::fail_mrc( 70680, density_detail::format( "%s has no known axis order (mode %d)",
			density_detail::map_subject().c_str(), ordermode ) );
	}
	unsigned long long const n = static_cast<unsigned long long>( nc ) * nr * ns;
	double* out = alloc_or_die( n );
	*phi_out = out;
	if ( ordermode == 1 ) {
		for ( unsigned long long i = 0; i < n; ++i ) out[i] = phi[i];
	} else {
		// Walk the source in storage order (c fastest) and scatter.
		unsigned long i = 0;
		for ( unsigned s = 0; s < ns; ++s ) {
			for ( unsigned r = 0; r < nr; ++r ) {
				for ( unsigned c = 0; c < nc; ++c, ++i ) {
					unsigned long d;
					switch ( ordermode ) {
					case 2: d = c + ( s + static_cast<unsigned long>( r ) * ns ) * nc; break;
					case 3: d = r + ( c + static_cast<unsigned long>( s ) * nc ) * nr; break;
					case 4: d = s + ( c + static_cast<unsigned long>( r ) * nc ) * ns; break;
					case 5: d = r + ( s + static_cast<unsigned long>( c ) * ns ) * nr; break;
					default: d = s + ( r + static_cast<unsigned long>( c ) * nr ) * ns; break;
					}
					out[d] = phi[i];
				}
			}
		}
	}
	std::free( phi );
	permute_dimensions( ordermode, nc, nr, ns, nx, ny, nz, ncstart, nrstart, nsstart,
		nxstart, nystart, nzstart );
}

void DensityScore::interpolate_map( double** out, unsigned* extx, unsigned* exty, unsigned* extz,
	double* origx, double* origy, double* origz, double new_wx, double new_wy, double new_wz,
	double* phi, unsigned nx, unsigned ny, unsigned nz,
	double xorigin, double yorigin, double zorigin, double wx, double wy, double wz )
{
	// New indices run over the lattice points k*new_w that lie inside the old
	// grid's span.
	double const sx = std::ceil( xorigin / new_wx );
	double const sy = std::ceil( yorigin / new_wy );
	double const sz = std::ceil( zorigin / new_wz );
	double const ex = std::floor( ( ( nx - 1.0 ) * wx + xorigin ) / new_wx );
	double const ey = std::floor( ( ( ny - 1.0 ) * wy + yorigin ) / new_wy );
	double const ez = std::floor( ( ( nz - 1.0 ) * wz + zorigin ) / new_wz );
	double const fx = ex - sx + 1, fy = ey - sy + 1, fz = ez - sz + 1;
	// Counts below 2 (or beyond 32 bits, or not numbers) give no usable grid.
	auto bad = []( double f ) { return !( f >= 2.0 ) || f > 4294967295.0; };
	if ( bad( fx ) || bad( fy ) || bad( fz )
		|| fx * fy * fz > 4294967295.0 ) {
		fail( "Error in read density map! 17005", 17005,
			density_detail::format( "%s (%u x %u x %u voxels of %g x %g x %g A) gives no grid of at least 2 voxels a side when resampled to %g x %g x %g A",
				density_detail::map_subject().c_str(), nx, ny, nz, wx, wy, wz, new_wx, new_wy, new_wz ) );
	}
	refuse_oversized_resampling( fx * fy * fz, nx, ny, nz, new_wx );
	*extx = static_cast<unsigned>( fx );
	*exty = static_cast<unsigned>( fy );
	*extz = static_cast<unsigned>( fz );
	double const dx = sx * new_wx - xorigin;
	double const dy = sy * new_wy - yorigin;
	double const dz = sz * new_wz - zorigin;
	*origx = xorigin + dx;
	*origy = yorigin + dy;
	*origz = zorigin + dz;

	unsigned const ox = *extx, oy = *exty, oz = *extz;
	double* res = alloc_or_die( static_cast<unsigned long long>( ox ) * oy * oz );
	*out = res;
	double const ix = 1.0 / wx, iy = 1.0 / wy, iz = 1.0 / wz;
	unsigned long const nxy = static_cast<unsigned long>( nx ) * ny;
	// Rounding can put a position a hair outside the old grid (127.00000001
	// on a 128-voxel axis): the neighbour indices are clamped to the grid.
	auto clampi = []( double g, unsigned n ) -> unsigned long {
		if ( !( g > 0.0 ) ) return 0;
		if ( g > n - 1.0 ) return n - 1;
		return static_cast<unsigned long>( g );
	};
	unsigned long idx = 0;
	for ( unsigned k = 0; k < oz; ++k ) {
		double const gz = ( k * new_wz + dz ) * iz;
		double const fz0 = std::floor( gz );
		double const tz = gz - fz0;
		unsigned long const z0 = clampi( fz0, nz ), z1 = clampi( std::ceil( gz ), nz );
		for ( unsigned j = 0; j < oy; ++j ) {
			double const gy = ( j * new_wy + dy ) * iy;
			double const fy0 = std::floor( gy );
			double const ty = gy - fy0;
			unsigned long const y0 = clampi( fy0, ny ), y1 = clampi( std::ceil( gy ), ny );
			double const* p00 = phi + z0 * nxy + y0 * nx;
			double const* p10 = phi + z0 * nxy + y1 * nx;
			double const* p01 = phi + z1 * nxy + y0 * nx;
			double const* p11 = phi + z1 * nxy + y1 * nx;
			for ( unsigned i = 0; i < ox; ++i, ++idx ) {
				double const gx = ( i * new_wx + dx ) * ix;
				double const fx0 = std::floor( gx );
				double const tx = gx - fx0;
				unsigned long const x0 = clampi( fx0, nx ), x1 = clampi( std::ceil( gx ), nx );
				double const a = ( 1 - tx ) * ( 1 - ty ) * p00[x0] + tx * ( 1 - ty ) * p00[x1]
					+ tx * ty * p10[x1] + ( 1 - tx ) * ty * p10[x0];
				double const b = ( 1 - tx ) * ( 1 - ty ) * p01[x0] + tx * ( 1 - ty ) * p01[x1]
					+ tx * ty * p11[x1] + ( 1 - tx ) * ty * p11[x0];
				res[idx] = ( 1 - tz ) * a + tz * b;
			}
		}
	}

	if ( nx != ox || ny != oy || nz != oz ) {
		std::printf( "ReadMrc_st> Map interpolated from %d x %d x %d to %d x %d x %d.\n",
			static_cast<int>( nx ), static_cast<int>( ny ), static_cast<int>( nz ),
			static_cast<int>( ox ), static_cast<int>( oy ), static_cast<int>( oz ) );
	}
	if ( wx != new_wx || wy != new_wy || wz != new_wz ) {
		std::printf( "ReadMrc_st> Voxel spacings interpolated from (%.3f,%.3f,%.3f) to (%.3f,%.3f,%.3f).\n",
			wx, wy, wz, new_wx, new_wy, new_wz );
	}
	if ( dx != 0.0 || dy != 0.0 || dz != 0.0 ) {
		std::printf( "ReadMrc_st> New map origin (coord of first voxel), in register with coordinate system origin: (%.3f,%.3f,%.3f)\n",
			*origx, *origy, *origz );
	}
}

void DensityScore::interpolate_skewed_map_to_cubic( double** out, unsigned* extx, unsigned* exty,
	unsigned* extz, double* origx, double* origy, double* origz, double* width,
	double* phi, unsigned nx, unsigned ny, unsigned nz, int nxstart, int nystart, int nzstart,
	double xorigin, double yorigin, double zorigin, double wx, double wy, double wz,
	double alpha, double beta, double gamma )
{
	double const deg = 0.017453292519943295;
	double const a = alpha * deg, b = beta * deg, g = gamma * deg;
	double const D = -2.0 * std::sin( b ) * ( std::cos( g - a ) - std::cos( g + a ) );
	if ( !std::isfinite( D ) || std::fabs( D ) < 1e-15 ) fail( "Error in read density map! 71300", 71300, flat_cell( alpha, beta, gamma ) );
	double const cx = ( std::cos( g - a ) - std::cos( g + a ) ) * ( -2.0 * std::sin( b ) * std::cos( b ) ) / D;
	double const cy = ( ( std::sin( g - a ) - std::sin( g + a ) ) * ( -2.0 * std::sin( b ) * std::cos( b ) )
		+ ( std::cos( g - a ) * std::sin( g + a ) - std::sin( g - a ) * std::cos( g + a ) ) * ( -2.0 * std::sin( b ) ) ) / D;
	double const rest = 1.0 - cx * cx - cy * cy;
	// rest == 0 leaves a flat cell: the inverse below would divide by cz = 0.
	if ( !( rest > 0.0 ) ) fail( "Error in read density map! 71340", 71340, flat_cell( alpha, beta, gamma ) );
	double const cz = std::sqrt( rest );
	double const sg = std::sin( g ), cg = std::cos( g );
	if ( std::fabs( sg ) < 1e-15 ) fail( "Error in read density map! 71300", 71300, flat_cell( alpha, beta, gamma ) );
	// Skewed (u, v, w) to Cartesian: M = [[1, cg, cx], [0, sg, cy], [0, 0, cz]].
	double const m12 = -cg / sg;
	double const m13 = ( cg * cy - cx * sg ) / ( cz * sg );
	double const m22 = 1.0 / sg;
	double const m23 = -cy / ( cz * sg );
	double const m33 = 1.0 / cz;

	double ou, ov, ow;
	if ( !origin_from_starts( xorigin, yorigin, zorigin ) ) {
		ou = xorigin + m12 * yorigin + m13 * zorigin;
		ov = m22 * yorigin + m23 * zorigin;
		ow = m33 * zorigin;
	} else {
		ou = nxstart * wx;
		ov = nystart * wy;
		ow = nzstart * wz;
	}
	double lo[3] = { 1e20, 1e20, 1e20 }, hi[3] = { -1e20, -1e20, -1e20 };
	for ( int ia = 0; ia < 2; ++ia ) {
		for ( int ib = 0; ib < 2; ++ib ) {
			for ( int ic = 0; ic < 2; ++ic ) {
				double const u = ou + ia * ( nx - 1.0 ) * wx;
				double const v = ov + ib * ( ny - 1.0 ) * wy;
				double const w = ow + ic * ( nz - 1.0 ) * wz;
				double const p[3] = { u + cg * v + cx * w, sg * v + cy * w, cz * w };
				for ( int d = 0; d < 3; ++d ) {
					if ( p[d] < lo[d] ) lo[d] = p[d];
					if ( p[d] > hi[d] ) hi[d] = p[d];
				}
			}
		}
	}
	double wmin = wx;
	if ( wy * sg < wmin ) wmin = wy * sg;
	if ( wz * cz < wmin ) wmin = wz * cz;
	double const w = rounded_width( wmin );
	if ( !( w > 0.0 ) || !std::isfinite( w ) ) {
		fail( "Error in read density map! 71300", 71300,
			density_detail::format( "%s gives no usable voxel width on a cubic grid (voxels %g x %g x %g A, cell angles %g %g %g)",
				density_detail::map_subject().c_str(), wx, wy, wz, alpha, beta, gamma ) );
	}
	*width = w;
	double const iw = 1.0 / w;
	double e[3];
	for ( int d = 0; d < 3; ++d ) e[d] = std::ceil( hi[d] * iw ) - std::floor( lo[d] * iw ) + 1;
	if ( !( e[0] >= 1 && e[1] >= 1 && e[2] >= 1 ) || e[0] * e[1] * e[2] > 4294967295.0 ) {
		fail( "Error in read density map! 17005", 17005,
			density_detail::format( "%s (%u x %u x %u voxels, cell angles %g %g %g) gives no usable cubic grid of %g A",
				density_detail::map_subject().c_str(), nx, ny, nz, alpha, beta, gamma, w ) );
	}
	refuse_oversized_resampling( e[0] * e[1] * e[2], nx, ny, nz, w );
	*origx = std::floor( lo[0] / w ) * w;
	*origy = std::floor( lo[1] / w ) * w;
	*origz = std::floor( lo[2] / w ) * w;
	*extx = static_cast<unsigned>( e[0] );
	*exty = static_cast<unsigned>( e[1] );
	*extz = static_cast<unsigned>( e[2] );
	unsigned const ex = *extx, ey = *exty, ez = *extz;
	double* res = alloc_or_die( static_cast<unsigned long long>( ex ) * ey * ez );
	*out = res;
	unsigned long const nxy = static_cast<unsigned long>( nx ) * ny;
	unsigned long idx = 0;
	for ( unsigned k = 0; k < ez; ++k ) {
		double const pz = *origz + k * w;
		for ( unsigned j = 0; j < ey; ++j ) {
			double const py = *origy + j * w;
			for ( unsigned i = 0; i < ex; ++i, ++idx ) {
				double const px = *origx + i * w;
				double const gx = ( px + m12 * py + m13 * pz - ou ) / wx;
				double const gy = ( m22 * py + m23 * pz - ov ) / wy;
				double const gz = ( m33 * pz - ow ) / wz;
				double const fx = std::floor( gx ), fy = std::floor( gy ), fz = std::floor( gz );
				if ( !( fx >= 0 && fx + 1 < nx && fy >= 0 && fy + 1 < ny && fz >= 0 && fz + 1 < nz ) ) continue;
				unsigned long const x0 = static_cast<unsigned long>( fx );
				unsigned long const y0 = static_cast<unsigned long>( fy );
				unsigned long const z0 = static_cast<unsigned long>( fz );
				double const tx = gx - fx, ty = gy - fy, tz = gz - fz;
				double const* p0 = phi + z0 * nxy + y0 * nx + x0;
				double const* p1 = p0 + nxy;
				double const va = ( 1 - tx ) * ( 1 - ty ) * p0[0] + tx * ( 1 - ty ) * p0[1]
					+ tx * ty * p0[nx + 1] + ( 1 - tx ) * ty * p0[nx];
				double const vb = ( 1 - tx ) * ( 1 - ty ) * p1[0] + tx * ( 1 - ty ) * p1[1]
					+ tx * ty * p1[nx + 1] + ( 1 - tx ) * ty * p1[nx];
				res[idx] = ( 1 - tz ) * va + tz * vb;
			}
		}
	}
}

void DensityScore::assert_cubic_map( int orthogonal, int cubic, double alpha, double beta, double gamma,
	double widthx, double widthy, double widthz,
	unsigned nx, unsigned ny, unsigned nz, int nxstart, int nystart, int nzstart,
	double xorigin, double yorigin, double zorigin,
	double* width, double* origx, double* origy, double* origz,
	unsigned* extx, unsigned* exty, unsigned* extz, double** phi )
{
	double ox, oy, oz;
	set_origin_get_mode( nxstart, nystart, nzstart, widthx, widthy, widthz,
		xorigin, yorigin, zorigin, &ox, &oy, &oz );
	double* resampled = nullptr;
	if ( cubic == 1 ) {
		*origx = ox;
		*origy = oy;
		*origz = oz;
		*width = widthx;
		*extx = nx;
		*exty = ny;
		*extz = nz;
	} else if ( orthogonal == 1 ) {
		double wmin = widthx;
		if ( widthy < wmin ) wmin = widthy;
		if ( widthz < wmin ) wmin = widthz;
		double const w = rounded_width( wmin );
		*width = w;
		interpolate_map( &resampled, extx, exty, extz, origx, origy, origz, w, w, w,
			*phi, nx, ny, nz, ox, oy, oz, widthx, widthy, widthz );
	} else {
		interpolate_skewed_map_to_cubic( &resampled, extx, exty, extz, origx, origy, origz, width,
			*phi, nx, ny, nz, nxstart, nystart, nzstart, xorigin, yorigin, zorigin,
			widthx, widthy, widthz, alpha, beta, gamma );
	}
	if ( resampled ) {
		// The resampled grid becomes the caller's array.
		std::free( *phi );
		*phi = resampled;
	}
	if ( test_registration( static_cast<float>( *origx ), static_cast<float>( *origy ),
			static_cast<float>( *origz ), static_cast<float>( *width ) ) == 0 ) {
		// A note like the reader's other lines, on standard output.
		std::printf( "ReadMrc_st> Input grid not in register with origin of coordinate system.\n" );
	}
}
