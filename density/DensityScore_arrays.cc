// Free helpers on the flat arrays of the plain map grid: allocation with one
// shared failure message, scaling and clipping, the histogram threshold and
// the histogram percentile of the work-map normalisation.
#include "density/DensityScore.hh"
#include "density/DensityScore_util.hh"
#include "farray/FArray3D.hh"
#include "utility/memory_stop.hh"

#include <climits>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

void do_vect( double** p, unsigned long n )
{
	// The count is a 32-bit unsigned value throughout the plain grid.
	unsigned n32 = static_cast<unsigned>( n );
	*p = static_cast<double*>( std::calloc( n32, sizeof( double ) ) );
	if ( *p == nullptr && n32 > 0 ) {
		std::printf( "Error: lib_cvq, 99901!\n" );
	}
}

void* alloc_vect( unsigned n, unsigned long size )
{
	void* p = std::calloc( n, size );
	if ( p == nullptr && n > 0 && size > 0 ) {
		std::printf( "Error: lib_cvq, 99901!\n" );
	}
	return p;
}

void cp_vect( double** dst, double** src, unsigned long n )
{
	if ( n > 0 ) std::memcpy( *dst, *src, n * sizeof( double ) );
}

void cp_vect_destroy( double** dst, double** src, unsigned long n )
{
	if ( *dst ) std::free( *dst );
	*dst = density_detail::alloc_or_die( static_cast<unsigned>( n ) );
	cp_vect( dst, src, static_cast<unsigned>( n ) );
	std::free( *src );
	*src = nullptr;
}

void free_vect_and_zero_ptr( double** p )
{
	if ( *p ) {
		std::free( *p );
		*p = nullptr;
	}
}

unsigned gidz_general( int k, int j, int i, unsigned ny, unsigned nx )
{
	return ( k * ny + j ) * nx + i;
}

double calc_max( double* v, unsigned long n )
{
	double m = -1e20;
	for ( unsigned long i = 0; i < n; ++i ) if ( v[i] > m ) m = v[i];
	return m;
}

double calc_min( double* v, unsigned long n )
{
	double m = 1e20;
	for ( unsigned long i = 0; i < n; ++i ) if ( v[i] < m ) m = v[i];
	return m;
}

void normalize( double* v, unsigned long n, double factor )
{
	if ( factor == 0.0 || std::isnan( factor ) ) {
		density_detail::fail( "Error, illegal factor in normalization, 17130", 17130,
			density_detail::format( "%s cannot be scaled: the scale factor is %g", density_detail::map_subject().c_str(),
				factor ) );
	}
	double const s = 1.0 / factor;
	for ( unsigned long i = 0; i < n; ++i ) v[i] *= s;
}

void normalize( farray::FArray3D<double>& a, unsigned long n, double factor )
{
	if ( factor == 0.0 || std::isnan( factor ) ) {
		density_detail::fail( "Error, illegal factor in normalization, 17130", 17130,
			density_detail::format( "%s cannot be scaled: the scale factor is %g", density_detail::map_subject().c_str(),
				factor ) );
	}
	double const s = 1.0 / factor;
	// Indexed access: a count beyond the array stops at the index check.
	for ( unsigned long i = 0; i < n; ++i ) a[i] *= s;
}

void normalize2( double* v, int n, double lo, double hi )
{
	double const s = 1.0 / ( hi - lo );
	for ( int i = 0; i < n; ++i ) v[i] = ( v[i] - lo ) * s;
}

void threshold( double* v, unsigned long n, double limit )
{
	unsigned long kept = 0;
	for ( unsigned long i = 0; i < n; ++i ) {
		if ( v[i] < limit ) v[i] = 0.0;
		else ++kept;
	}
	std::printf( "ReadMrc_st> Setting density values below %f to zero.\n", limit );
	std::printf( "ReadMrc_st> Remaining occupied volume: %lu voxels.\n", kept );
}

void floatshift( double* v, unsigned long n, double shift )
{
	for ( unsigned long i = 0; i < n; ++i ) v[i] -= shift;
}

int clipped( double* v, unsigned long n, double hi, double lo )
{
	int changed = 0;
	for ( unsigned long i = 0; i < n; ++i ) {
		if ( v[i] < lo ) { v[i] = lo; changed = 1; }
		else if ( v[i] > hi ) { v[i] = hi; changed = 1; }
	}
	return changed;
}

double get_dens_threshold( double* v, int n )
{
	int const nbins = 200;
	int hist[nbins];
	int sorted_count[nbins];
	int order[nbins];
	for ( int b = 0; b < nbins; ++b ) { hist[b] = 0; order[b] = b; }
	double sum = 0.0;
	for ( int i = 0; i < n; ++i ) {
		sum += v[i];
		// Values are expected in [0, 1); anything outside (or not a number)
		// is clamped into the end bins instead of indexing past them.
		double x = v[i] * 200.0;
		int b;
		if ( !( x >= 0.0 ) ) b = 0;
		else if ( x >= nbins ) b = nbins - 1;
		else b = static_cast<int>( x );
		++hist[b];
	}
	for ( int b = 0; b < nbins; ++b ) sorted_count[b] = hist[b];
	// Stable insertion sort by count, ascending: among equal counts the
	// higher bin index ends later.
	for ( int i = 1; i < nbins; ++i ) {
		int c = sorted_count[i], o = order[i];
		int j = i - 1;
		while ( j >= 0 && sorted_count[j] > c ) {
			sorted_count[j + 1] = sorted_count[j];
			order[j + 1] = order[j];
			--j;
		}
		sorted_count[j + 1] = c;
		order[j + 1] = o;
	}
	int const top = order[nbins - 1];
	int const second = order[nbins - 2];
	double const mx = hist[top];
	if ( n <= 0 || mx <= 0.0 ) return ( top + 0.5 ) * 0.005;
	int c = 0;
	for ( int p = nbins - 2; p >= 2; --p ) {
		if ( hist[order[p]] / mx > 0.95 ) ++c;
	}
	double const mean = sum / n;
	if ( hist[second] / mx > 0.8 ) {
		if ( std::abs( top - second ) <= 30 && c <= 20 ) return ( top + 0.5 ) * 0.005;
		return mean;
	}
	if ( c <= 20 ) return ( top + 0.5 ) * 0.005;
	return mean;
}

double findTopDensity( std::vector<double> const& values, double fraction )
{
	if ( values.empty() ) return 0.0;
	double mn = values[0], mx = values[0];
	for ( double x : values ) {
		if ( x < mn ) mn = x;
		if ( x > mx ) mx = x;
	}
	double const step = ( mx - mn ) * 0.005;
	// All values equal: the histogram has no width; the common value is the
	// percentile of any fraction.
	if ( !( step > 0.0 ) || !std::isfinite( step ) ) return mx;
	int const nbins = 200;
	double edges[nbins + 1];
	for ( int i = 0; i <= nbins; ++i ) edges[i] = mn + i * step;
	long counts[nbins];
	for ( int i = 0; i < nbins; ++i ) counts[i] = 0;
	double const inv = 1.0 / step;
	for ( double x : values ) {
		double t = std::trunc( ( x - mn ) * inv );
		int b = t >= nbins - 1 ? nbins - 1 : ( t < 0.0 ? 0 : static_cast<int>( t ) );
		++counts[b];
	}
	double w[nbins];
	double total = 0.0;
	for ( int i = 0; i < nbins; ++i ) {
		w[i] = counts[i] > 0 ? std::log( static_cast<double>( counts[i] ) ) : 0.0;
		total += w[i];
	}
	double const target = fraction * total;
	double run = 0.0;
	for ( int i = 0; i < nbins; ++i ) {
		run += w[i];
		if ( run > target ) return edges[i];
	}
	return edges[nbins];
}

namespace density_detail {

double* alloc_or_die( unsigned long long n )
{
	if ( n > UINT_MAX ) {
		stop( "ReadMrc_st>", format( "%s has %llu values, more than the %u a map may hold", map_subject().c_str(), n,
			UINT_MAX ), "Error: lib_cvq, 99901!", 99901 );
	}
	double* p = nullptr;
	do_vect( &p, static_cast<unsigned long>( n ) );
	// do_vect has printed the code line; the program ends the run with its
	// line about the memory.
	if ( p == nullptr && n > 0 ) utility::throw_allocation_failure( n * sizeof( double ) );
	return p;
}

void clear_non_finite( double* v, unsigned long long n, char const* file )
{
	unsigned long long bad = 0;
	for ( unsigned long long i = 0; i < n; ++i ) {
		if ( !std::isfinite( v[i] ) ) {
			v[i] = 0.0;
			++bad;
		}
	}
	if ( bad > 0 )
		std::printf( "ReadMrc_st> Warning: %llu map values of %s are not finite; set to 0.\n", bad, file );
}

void check_placement( char const* file, double width, double origx, double origy, double origz,
	unsigned extx, unsigned exty, unsigned extz, double** phi, int code )
{
	double const o[3] = { origx, origy, origz };
	unsigned const e[3] = { extx, exty, extz };
	bool ok = std::isfinite( width ) && width > 0.0;
	for ( int a = 0; a < 3 && ok; ++a ) {
		double const far = o[a] + ( e[a] > 0 ? e[a] - 1.0 : 0.0 ) * width;
		ok = std::isfinite( o[a] ) && std::isfinite( far ) && std::fabs( o[a] ) <= kMaxPlacement
			&& std::fabs( far ) <= kMaxPlacement;
	}
	if ( ok ) return;
	std::free( *phi );
	*phi = nullptr;
	fail( "Error: unusable map placement", code,
		format( "map %s is placed beyond %g A of the origin (first voxel %g %g %g, voxel width %g, %u x %u x %u voxels); not usable",
			file, kMaxPlacement, origx, origy, origz, width, extx, exty, extz ) );
}

} // namespace density_detail
