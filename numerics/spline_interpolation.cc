// Evaluation of cubic B-splines and their gradients from the coefficients of
// the prefilter.
#include "numerics/spline.hh"

#include <cmath>

namespace {

enum Boundary { PERIODIC, MIRROR, CLAMPED };

// Taps and weights of one axis for coordinate t.
struct AxisTaps {
	long idx[ 4 ];  // valid 0-based indices of the four taps
	double w[ 4 ];  // B-spline weights
	double dw[ 4 ]; // their derivatives with respect to t
};

// Beyond this magnitude a coordinate is first brought back near the grid
// (exactly: fmod is exact, and on the clamped axis every tap lands on the
// same end sample anyway), so that the tap index always fits a long.
double const far_coordinate = 1099511627776.0; // 2^40

// Fills the taps of one axis; false when t is not a finite number, in which
// case the point lies nowhere on the grid.
bool axis_taps( double t, long n, Boundary rule, AxisTaps & a )
{
	if ( !std::isfinite( t ) || n <= 0 ) return false;
	if ( std::fabs( t ) > far_coordinate ) {
		if ( rule == PERIODIC ) t = std::fmod( t, static_cast< double >( n ) );
		else if ( rule == MIRROR && n > 1 ) t = std::fmod( t, static_cast< double >( 2 * n - 2 ) );
		else t = t > 0 ? far_coordinate : -far_coordinate;
	}
	double const x = t - 1.0;
	long i = static_cast< long >( x ); // truncation toward zero ...
	if ( i > x ) i -= 1;               // ... corrected to the floor
	double const u = t - ( i + 1 );

	double const w3 = u * u * u / 6.0;
	double const w0 = u * ( u - 1.0 ) / 2.0 + 1.0 / 6.0 - w3;
	double const w2 = u + w0 - 2.0 * w3;
	double const w1 = 1.0 - w0 - w2 - w3;
	a.w[ 0 ] = w0; a.w[ 1 ] = w1; a.w[ 2 ] = w2; a.w[ 3 ] = w3;

	double const dw3 = u * u / 2.0;
	double const dw0 = u - dw3 - 0.5;
	double const dw2 = 1.0 - 2.0 * dw3 + dw0;
	double const dw1 = -( dw3 + dw0 + dw2 );
	a.dw[ 0 ] = dw0; a.dw[ 1 ] = dw1; a.dw[ 2 ] = dw2; a.dw[ 3 ] = dw3;

	if ( n == 1 ) {
		// Constant along this axis: exactly the one sample, exactly no slope.
		for ( int j = 0; j < 4; ++j ) {
			a.idx[ j ] = 0;
			a.w[ j ] = j == 0 ? 1.0 : 0.0;
			a.dw[ j ] = 0.0;
		}
	} else if ( rule == PERIODIC ) {
		// Inside the grid no remainder is needed; otherwise one remainder,
		// then steps with wrap-around (divisions are slow and this runs for
		// every atom).
		long m = i;
		if ( i < 0 || i > n - 4 ) {
			m = i % n;
			if ( m < 0 ) m += n;
		}
		for ( int j = 0; j < 4; ++j ) {
			a.idx[ j ] = m;
			m = m + 1 == n ? 0 : m + 1;
		}
	} else if ( rule == MIRROR ) {
		long const p = 2 * n - 2;
		for ( int j = 0; j < 4; ++j ) {
			long const tap = i + j;
			long m = tap < 0 ? ( -tap ) % p : tap % p;
			if ( m >= n ) m = p - m;
			a.idx[ j ] = m;
		}
	} else {
		for ( int j = 0; j < 4; ++j ) {
			long const tap = i + j;
			a.idx[ j ] = tap < 0 ? 0 : ( tap > n - 1 ? n - 1 : tap );
		}
	}
	return true;
}

} // namespace

template<>
double interp3< double >( double const * data, int const * dims, double * point, bool mirror )
{
	Boundary const rule = mirror ? MIRROR : PERIODIC;
	AxisTaps ax[ 3 ];
	for ( int a = 0; a < 3; ++a ) {
		if ( !axis_taps( point[ a ], dims[ a ], rule, ax[ a ] ) ) return 0.0;
	}
	long const s1 = dims[ 2 ];
	long const s0 = static_cast< long >( dims[ 1 ] ) * dims[ 2 ];
	double value = 0.0;
	for ( int i = 0; i < 4; ++i ) {
		double v1 = 0.0;
		for ( int j = 0; j < 4; ++j ) {
			double const * row = data + ax[ 0 ].idx[ i ] * s0 + ax[ 1 ].idx[ j ] * s1;
			double v2 = 0.0;
			for ( int k = 0; k < 4; ++k ) v2 += ax[ 2 ].w[ k ] * row[ ax[ 2 ].idx[ k ] ];
			v1 += ax[ 1 ].w[ j ] * v2;
		}
		value += ax[ 0 ].w[ i ] * v1;
	}
	return value;
}

double interp3( double const * data, int const * dims, double * point, bool mirror )
{
	return interp3< double >( data, dims, point, mirror );
}

namespace {

// Taps of a 4-D point: clamped on axis 0, periodic on axes 1 to 3.
bool taps4( int const * dims, double const * point, AxisTaps * ax )
{
	if ( !axis_taps( point[ 0 ], dims[ 0 ], CLAMPED, ax[ 0 ] ) ) return false;
	for ( int a = 1; a < 4; ++a ) {
		if ( !axis_taps( point[ a ], dims[ a ], PERIODIC, ax[ a ] ) ) return false;
	}
	return true;
}

} // namespace

namespace {

// Offsets of the taps of axes 0 to 2 in the row-major block.
struct Offsets4 {
	long o0[ 4 ], o1[ 4 ], o2[ 4 ];
	Offsets4( int const * dims, AxisTaps const * ax )
	{
		long const s2 = dims[ 3 ];
		long const s1 = s2 * dims[ 2 ];
		long const s0 = s1 * dims[ 1 ];
		for ( int j = 0; j < 4; ++j ) {
			o0[ j ] = ax[ 0 ].idx[ j ] * s0;
			o1[ j ] = ax[ 1 ].idx[ j ] * s1;
			o2[ j ] = ax[ 2 ].idx[ j ] * s2;
		}
	}
};

} // namespace

double interp4( double const * data, int const * dims, double * point )
{
	AxisTaps ax[ 4 ];
	if ( !taps4( dims, point, ax ) ) return 0.0;
	Offsets4 const off( dims, ax );
	long const * x = ax[ 3 ].idx;
	double const * wx = ax[ 3 ].w;
	double value = 0.0;
	for ( int i = 0; i < 4; ++i ) {
		double v1 = 0.0;
		for ( int j = 0; j < 4; ++j ) {
			double const * plane = data + off.o0[ i ] + off.o1[ j ];
			double v2 = 0.0;
			for ( int k = 0; k < 4; ++k ) {
				double const * row = plane + off.o2[ k ];
				double const v3 = wx[ 0 ] * row[ x[ 0 ] ] + wx[ 1 ] * row[ x[ 1 ] ] + wx[ 2 ] * row[ x[ 2 ] ] + wx[ 3 ] * row[ x[ 3 ] ];
				v2 += ax[ 2 ].w[ k ] * v3;
			}
			v1 += ax[ 1 ].w[ j ] * v2;
		}
		value += ax[ 0 ].w[ i ] * v1;
	}
	return value;
}

double interp4_with_grad( double * grad, double const * data, int const * dims, double const * point )
{
	AxisTaps ax[ 4 ];
	if ( !taps4( dims, point, ax ) ) {
		grad[ 0 ] = grad[ 1 ] = grad[ 2 ] = grad[ 3 ] = 0.0;
		return 0.0;
	}
	Offsets4 const off( dims, ax );
	long const * x = ax[ 3 ].idx;
	double const * wx = ax[ 3 ].w;
	double const * dwx = ax[ 3 ].dw;
	// Contract one axis at a time, carrying the value and the derivative
	// along every axis contracted so far.
	double v = 0.0, g0 = 0.0, g1 = 0.0, g2 = 0.0, g3 = 0.0;
	for ( int i = 0; i < 4; ++i ) {
		double v1 = 0.0, d1_1 = 0.0, d1_2 = 0.0, d1_3 = 0.0;
		for ( int j = 0; j < 4; ++j ) {
			double const * plane = data + off.o0[ i ] + off.o1[ j ];
			double v2 = 0.0, d2_2 = 0.0, d2_3 = 0.0;
			for ( int k = 0; k < 4; ++k ) {
				double const * row = plane + off.o2[ k ];
				double const c0 = row[ x[ 0 ] ], c1 = row[ x[ 1 ] ], c2 = row[ x[ 2 ] ], c3 = row[ x[ 3 ] ];
				double const v3 = wx[ 0 ] * c0 + wx[ 1 ] * c1 + wx[ 2 ] * c2 + wx[ 3 ] * c3;
				double const d3_3 = dwx[ 0 ] * c0 + dwx[ 1 ] * c1 + dwx[ 2 ] * c2 + dwx[ 3 ] * c3;
				v2 += ax[ 2 ].w[ k ] * v3;
				d2_2 += ax[ 2 ].dw[ k ] * v3;
				d2_3 += ax[ 2 ].w[ k ] * d3_3;
			}
			v1 += ax[ 1 ].w[ j ] * v2;
			d1_1 += ax[ 1 ].dw[ j ] * v2;
			d1_2 += ax[ 1 ].w[ j ] * d2_2;
			d1_3 += ax[ 1 ].w[ j ] * d2_3;
		}
		v += ax[ 0 ].w[ i ] * v1;
		g0 += ax[ 0 ].dw[ i ] * v1;
		g1 += ax[ 0 ].w[ i ] * d1_1;
		g2 += ax[ 0 ].w[ i ] * d1_2;
		g3 += ax[ 0 ].w[ i ] * d1_3;
	}
	grad[ 0 ] = g0;
	grad[ 1 ] = g1;
	grad[ 2 ] = g2;
	grad[ 3 ] = g3;
	return v;
}

int grad4( double * grad, double const * data, int const * dims, double * point )
{
	interp4_with_grad( grad, data, dims, point );
	return 0;
}

namespace {

// Row-major sizes of a coefficient array: the sizes of its ranges, slowest
// (last index) first; equal to the upper bounds for arrays indexed from 1.
void sizes4( farray::FArray4D< double > const & a, int * dims )
{
	dims[ 0 ] = static_cast< int >( a.I4().size() );
	dims[ 1 ] = static_cast< int >( a.I3().size() );
	dims[ 2 ] = static_cast< int >( a.I2().size() );
	dims[ 3 ] = static_cast< int >( a.I1().size() );
}

} // namespace

double interp_spline( farray::FArray4D< double > & coeffs, double bin, double * pos )
{
	int dims[ 4 ];
	sizes4( coeffs, dims );
	double point[ 4 ] = { bin - 1.0, pos[ 2 ] - 1.0, pos[ 1 ] - 1.0, pos[ 0 ] - 1.0 };
	return interp4( &coeffs[ 0 ], dims, point );
}

double interp_spline( farray::FArray4D< double > & coeffs, double bin, numeric::xyzVector< double > const & pos )
{
	double p[ 3 ] = { pos.x(), pos.y(), pos.z() };
	return interp_spline( coeffs, bin, p );
}

void interp_dspline( farray::FArray4D< double > & coeffs, double * pos, double bin, double * dpos, double & dbin )
{
	int dims[ 4 ];
	sizes4( coeffs, dims );
	double point[ 4 ] = { bin - 1.0, pos[ 2 ] - 1.0, pos[ 1 ] - 1.0, pos[ 0 ] - 1.0 };
	double g[ 4 ];
	grad4( g, &coeffs[ 0 ], dims, point );
	dpos[ 0 ] = g[ 3 ];
	dpos[ 1 ] = g[ 2 ];
	dpos[ 2 ] = g[ 1 ];
	dbin = g[ 0 ];
}

void interp_dspline( farray::FArray4D< double > & coeffs, numeric::xyzVector< double > const & pos, double bin,
	numeric::xyzVector< double > & dpos, double & dbin )
{
	double p[ 3 ] = { pos.x(), pos.y(), pos.z() };
	double d[ 3 ];
	interp_dspline( coeffs, p, bin, d, dbin );
	dpos = numeric::xyzVector< double >( d[ 0 ], d[ 1 ], d[ 2 ] );
}

double interp_spline( farray::FArray3D< double > & coeffs, double * pos )
{
	int const dims[ 3 ] = { static_cast< int >( coeffs.I3().size() ), static_cast< int >( coeffs.I2().size() ),
		static_cast< int >( coeffs.I1().size() ) };
	double point[ 3 ] = { pos[ 2 ] - 1.0, pos[ 1 ] - 1.0, pos[ 0 ] - 1.0 };
	return interp3< double >( &coeffs[ 0 ], dims, point, false );
}
