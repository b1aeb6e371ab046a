// Cubic B-spline prefilter: a causal and an anti-causal first-order recursion
// per line with the pole z = sqrt(3) - 2, applied separably along each axis.
#include "numerics/spline.hh"

#include <cmath>
#include <iostream>
#include <new>
#include <vector>

namespace {

double const spline_pole = -0.2679491924311228;  // sqrt(3) - 2
double const machine_epsilon = 2.220446049250313e-16;

// Number of terms after which z^k falls below the tolerance; the whole line
// (exact start values) when the tolerance is not positive.
long horizon( long n, double z, double tolerance )
{
	if ( tolerance > 0.0 ) {
		return static_cast< long >( std::ceil( std::log( tolerance ) / std::log( std::fabs( z ) ) ) );
	}
	return n;
}

// The one-pole prefilter applied to `width` adjacent lines at once: element i
// of line j lies at c[i * stride + j].  Every line sees exactly the operations
// of the single-line routines, in the same order; running the lines side by
// side keeps the memory access contiguous along the strided axes.
// acc must hold width doubles.
void convert_lines( double * c, long n, long stride, long width, double z, bool mirror, double * acc )
{
	if ( n <= 1 ) return;
	double const lambda = ( 1.0 - z ) * ( 1.0 - 1.0 / z );
	for ( long i = 0; i < n; ++i ) {
		double * row = c + i * stride;
		for ( long j = 0; j < width; ++j ) row[ j ] *= lambda;
	}
	long const H = horizon( n, z, machine_epsilon );
	double * first = c;
	double * last = c + ( n - 1 ) * stride;

	// Causal start values.
	if ( mirror ) {
		if ( H < n ) {
			for ( long j = 0; j < width; ++j ) acc[ j ] = first[ j ];
			double zn = z;
			for ( long k = 1; k < H; ++k ) {
				double const * row = c + k * stride;
				for ( long j = 0; j < width; ++j ) acc[ j ] += zn * row[ j ];
				zn *= z;
			}
		} else {
			double zn = z;
			double const iz = 1.0 / z;
			double z2n = std::pow( z, static_cast< double >( n - 1 ) );
			for ( long j = 0; j < width; ++j ) acc[ j ] = first[ j ] + z2n * last[ j ];
			z2n = z2n * z2n * iz;
			for ( long k = 1; k <= n - 2; ++k ) {
				double const * row = c + k * stride;
				double const w = zn + z2n;
				for ( long j = 0; j < width; ++j ) acc[ j ] += w * row[ j ];
				zn *= z;
				z2n *= iz;
			}
			double const d = 1.0 - zn * zn;
			for ( long j = 0; j < width; ++j ) acc[ j ] /= d;
		}
	} else {
		for ( long j = 0; j < width; ++j ) acc[ j ] = first[ j ];
		long const terms = H < n ? H : n;
		double zn = z;
		for ( long k = 1; k < terms; ++k ) {
			double const * row = c + ( n - k ) * stride;
			for ( long j = 0; j < width; ++j ) acc[ j ] += zn * row[ j ];
			zn *= z;
		}
		if ( H >= n ) {
			double const d = 1.0 - zn; // zn = z^n here
			for ( long j = 0; j < width; ++j ) acc[ j ] /= d;
		}
	}
	for ( long j = 0; j < width; ++j ) first[ j ] = acc[ j ];

	// Causal recursion.
	for ( long i = 1; i < n; ++i ) {
		double * row = c + i * stride;
		double const * prev = row - stride;
		for ( long j = 0; j < width; ++j ) row[ j ] += z * prev[ j ];
	}

	// Anti-causal start values.
	if ( mirror ) {
		double const * before_last = c + ( n - 2 ) * stride;
		double const f = z / ( z * z - 1.0 );
		for ( long j = 0; j < width; ++j ) acc[ j ] = f * ( z * before_last[ j ] + last[ j ] );
	} else {
		for ( long j = 0; j < width; ++j ) acc[ j ] = 0.0;
		long const terms = H < n ? H : n - 1;
		double zn = z;
		for ( long k = 0; k < terms; ++k ) {
			double const * row = c + k * stride;
			for ( long j = 0; j < width; ++j ) acc[ j ] += zn * row[ j ];
			zn *= z;
		}
		if ( H < n ) {
			for ( long j = 0; j < width; ++j ) acc[ j ] = -z * ( last[ j ] + acc[ j ] );
		} else {
			double const d = 1.0 - std::pow( z, static_cast< double >( n ) );
			for ( long j = 0; j < width; ++j ) acc[ j ] = -z * ( last[ j ] + acc[ j ] ) / d;
		}
	}
	for ( long j = 0; j < width; ++j ) last[ j ] = acc[ j ];

	// Anti-causal recursion.
	for ( long i = n - 2; i >= 0; --i ) {
		double * row = c + i * stride;
		double const * next = row + stride;
		for ( long j = 0; j < width; ++j ) row[ j ] = z * ( next[ j ] - row[ j ] );
	}
}

// Width of the column blocks filtered together along a strided axis.
long const block_width = 64;

// Prefilters every line along one axis of a row-major array with sizes
// dims[0..ndim-1].
void filter_axis( double * data, int const * dims, int ndim, int axis, bool mirror, double * acc )
{
	long const n = dims[ axis ];
	long outer = 1, inner = 1;
	for ( int a = 0; a < axis; ++a ) outer *= dims[ a ];
	for ( int a = axis + 1; a < ndim; ++a ) inner *= dims[ a ];
	for ( long o = 0; o < outer; ++o ) {
		double * base = data + o * n * inner;
		for ( long j0 = 0; j0 < inner; j0 += block_width ) {
			long const w = inner - j0 < block_width ? inner - j0 : block_width;
			convert_lines( base + j0, n, inner, w, spline_pole, mirror, acc );
		}
	}
}

// Shared body of the 3-D and 4-D routines; mirror_axis[a] picks the rule.
int compute_coefficients( double * data, int const * dims, int ndim, bool const * mirror_axis )
{
	for ( int a = 0; a < ndim; ++a ) {
		if ( dims[ a ] <= 0 ) return 0; // empty array: nothing to do
	}
	std::vector< double > acc;
	for ( int a = 0; a < ndim; ++a ) {
		try {
			acc.resize( block_width );
		} catch ( std::bad_alloc const & ) {
			std::cerr << "Row allocation failed\n";
			return 1;
		}
		filter_axis( data, dims, ndim, a, mirror_axis[ a ], acc.data() );
	}
	return 0;
}

} // namespace

double InitialCausalCoefficient( double const * c, long n, double z, double tolerance, bool mirror )
{
	if ( n <= 0 ) return 0.0;
	long const H = horizon( n, z, tolerance );
	if ( mirror ) {
		if ( H < n ) {
			double sum = c[ 0 ];
			double zn = z;
			for ( long k = 1; k < H; ++k ) {
				sum += zn * c[ k ];
				zn *= z;
			}
			return sum;
		}
		if ( n == 1 ) return c[ 0 ];
		double zn = z;
		double const iz = 1.0 / z;
		double z2n = std::pow( z, static_cast< double >( n - 1 ) );
		double sum = c[ 0 ] + z2n * c[ n - 1 ];
		z2n = z2n * z2n * iz;
		for ( long k = 1; k <= n - 2; ++k ) {
			sum += ( zn + z2n ) * c[ k ];
			zn *= z;
			z2n *= iz;
		}
		return sum / ( 1.0 - zn * zn );
	}
	double sum = c[ 0 ];
	long const terms = H < n ? H : n;
	double zn = z;
	for ( long k = 1; k < terms; ++k ) {
		sum += zn * c[ n - k ];
		zn *= z;
	}
	if ( H < n ) return sum;
	return sum / ( 1.0 - zn );
}

double InitialAntiCausalCoefficient( double const * c, long n, double z, double tolerance, bool mirror )
{
	if ( n <= 0 ) return 0.0;
	if ( mirror ) {
		// A one-sample line has no c[n-2]; its mirror image is the sample itself.
		double const before_last = n >= 2 ? c[ n - 2 ] : c[ 0 ];
		return ( z / ( z * z - 1.0 ) ) * ( z * before_last + c[ n - 1 ] );
	}
	long const H = horizon( n, z, tolerance );
	long const terms = H < n ? H : n - 1;
	double sum = 0.0;
	double zn = z;
	for ( long k = 0; k < terms; ++k ) {
		sum += zn * c[ k ];
		zn *= z;
	}
	if ( H < n ) return -z * ( c[ n - 1 ] + sum );
	return -z * ( c[ n - 1 ] + sum ) / ( 1.0 - std::pow( z, static_cast< double >( n ) ) );
}

void ConvertToInterpolationCoefficients( double * c, long n, double * poles, long npoles, double tolerance, bool mirror )
{
	if ( n <= 1 ) return;
	double lambda = 1.0;
	for ( long k = 0; k < npoles; ++k ) lambda *= ( 1.0 - poles[ k ] ) * ( 1.0 - 1.0 / poles[ k ] );
	for ( long i = 0; i < n; ++i ) c[ i ] *= lambda;
	for ( long k = 0; k < npoles; ++k ) {
		double const z = poles[ k ];
		c[ 0 ] = InitialCausalCoefficient( c, n, z, tolerance, mirror );
		for ( long i = 1; i < n; ++i ) c[ i ] += z * c[ i - 1 ];
		c[ n - 1 ] = InitialAntiCausalCoefficient( c, n, z, tolerance, mirror );
		for ( long i = n - 2; i >= 0; --i ) c[ i ] = z * ( c[ i + 1 ] - c[ i ] );
	}
}

void ConvertToInterpolationCoefficients( double * c, long n, double * pole, bool mirror )
{
	ConvertToInterpolationCoefficients( c, n, pole, 1, machine_epsilon, mirror );
}

int compute_coefficients3( double * data, int * dims, bool mirror )
{
	bool const rule[ 3 ] = { mirror, mirror, mirror };
	return compute_coefficients( data, dims, 3, rule );
}

int compute_coefficients4( double * data, int * dims )
{
	bool const rule[ 4 ] = { true, false, false, false };
	return compute_coefficients( data, dims, 4, rule );
}

void spline_coeffs( farray::FArray3D< double > const & data, farray::FArray3D< double > & coeffs )
{
	// Sizes of the ranges (the upper bounds of arrays indexed from 1).
	int dims[ 3 ] = { static_cast< int >( data.I3().size() ), static_cast< int >( data.I2().size() ),
		static_cast< int >( data.I1().size() ) };
	coeffs = data;
	if ( dims[ 0 ] <= 0 || dims[ 1 ] <= 0 || dims[ 2 ] <= 0 ) return;
	compute_coefficients3( &coeffs[ 0 ], dims, false );
}

void spline_coeffs( farray::FArray4D< double > const & data, farray::FArray4D< double > & coeffs )
{
	int dims[ 4 ] = { static_cast< int >( data.I4().size() ), static_cast< int >( data.I3().size() ),
		static_cast< int >( data.I2().size() ), static_cast< int >( data.I1().size() ) };
	coeffs = data;
	if ( dims[ 0 ] <= 0 || dims[ 1 ] <= 0 || dims[ 2 ] <= 0 || dims[ 3 ] <= 0 ) return;
	compute_coefficients4( &coeffs[ 0 ], dims );
}

namespace {

// Start index and stride of a line of a row-major array; false when the
// axis is empty or not valid.
bool line_geometry( int ndim, int const * dims, int axis, int const * fixed, long & start, long & stride )
{
	if ( axis < 0 || axis >= ndim || dims[ axis ] < 1 ) return false;
	long strides[ 4 ];
	strides[ ndim - 1 ] = 1;
	for ( int a = ndim - 2; a >= 0; --a ) strides[ a ] = strides[ a + 1 ] * dims[ a + 1 ];
	start = 0;
	int f = 0;
	for ( int a = 0; a < ndim; ++a ) {
		if ( a == axis ) continue;
		start += fixed[ f++ ] * strides[ a ];
	}
	stride = strides[ axis ];
	return true;
}

int copy_line( double * data, int ndim, int const * dims, int axis, int const * fixed, double * line, bool get )
{
	long start, stride;
	if ( !line_geometry( ndim, dims, axis, fixed, start, stride ) ) return 0;
	int const n = dims[ axis ];
	for ( int i = 0; i < n; ++i ) {
		if ( get ) line[ i ] = data[ start + i * stride ];
		else data[ start + i * stride ] = line[ i ];
	}
	return n;
}

} // namespace

int get_line3( double * data, int axis, int a, int b, double * line, int const * dims )
{
	int const fixed[ 2 ] = { a, b };
	return copy_line( data, 3, dims, axis, fixed, line, true );
}

int put_line3( double * data, int axis, int a, int b, double * line, int const * dims )
{
	int const fixed[ 2 ] = { a, b };
	return copy_line( data, 3, dims, axis, fixed, line, false );
}

int get_line4( double * data, int axis, int a, int b, int c, double * line, int const * dims )
{
	int const fixed[ 3 ] = { a, b, c };
	return copy_line( data, 4, dims, axis, fixed, line, true );
}

int put_line4( double * data, int axis, int a, int b, int c, double * line, int const * dims )
{
	int const fixed[ 3 ] = { a, b, c };
	return copy_line( data, 4, dims, axis, fixed, line, false );
}
