// Cubic B-spline prefiltering (samples -> interpolation coefficients) and
// interpolation with gradients in three and four dimensions.
//
// The raw routines work on contiguous row-major double arrays (last index
// fastest, 0-based); sizes are given slowest axis first.  An FArray3D or
// FArray4D (column-major, ranges 1..u) is handed over by its storage with the
// sizes {u3, u2, u1} or {u4, u3, u2, u1}, so axis 0 of the row-major view is
// the array's last index.  Points and derivatives are in grid units.
//
// Boundary rules per line: mirror-symmetric ends (the line continues as
// c[1], c[2], ... beyond c[0]; period 2n - 2) or periodic (period n).  The
// four-dimensional form is mirror on axis 0 (the B-factor bin axis) when
// prefiltering, clamped on that axis when interpolating, and periodic on the
// three spatial axes.
#ifndef INCLUDED_numerics_spline_hh
#define INCLUDED_numerics_spline_hh

#include "farray/FArray3D.hh"
#include "farray/FArray4D.hh"
#include "numerics/xyzVector.hh"

// ---- coefficients ---------------------------------------------------------

// Start value of the causal recursion on c[0..n-1] for pole z.
double InitialCausalCoefficient( double const * c, long n, double z, double tolerance, bool mirror );
// Start value of the anti-causal recursion.
double InitialAntiCausalCoefficient( double const * c, long n, double z, double tolerance, bool mirror );

// Converts samples c[0..n-1] into interpolation coefficients in place.
void ConvertToInterpolationCoefficients( double * c, long n, double * poles, long npoles, double tolerance, bool mirror );
// One pole, tolerance = double machine epsilon.
void ConvertToInterpolationCoefficients( double * c, long n, double * pole, bool mirror );

// Prefilters a row-major 3-D array in place, the same boundary rule on every
// axis.  Returns 0, or 1 when the line buffer could not be sized.
int compute_coefficients3( double * data, int * dims, bool mirror );
// Prefilters a row-major 4-D array in place: mirror on axis 0, periodic on
// axes 1 to 3.  Returns 0, or 1 when the line buffer could not be sized.
int compute_coefficients4( double * data, int * dims );

// coeffs := periodic spline coefficients of data (coeffs takes data's shape).
void spline_coeffs( farray::FArray3D< double > const & data, farray::FArray3D< double > & coeffs );
// coeffs := coefficients of data, mirror on the last index, periodic on the others.
void spline_coeffs( farray::FArray4D< double > const & data, farray::FArray4D< double > & coeffs );

// Line copies between a row-major array and line[]; the other coordinates
// are (a, b) or (a, b, c) in increasing axis order.  Return the count copied.
int get_line3( double * data, int axis, int a, int b, double * line, int const * dims );
int put_line3( double * data, int axis, int a, int b, double * line, int const * dims );
int get_line4( double * data, int axis, int a, int b, int c, double * line, int const * dims );
int put_line4( double * data, int axis, int a, int b, int c, double * line, int const * dims );

// ---- interpolation --------------------------------------------------------
// A point with a non-finite coordinate lies nowhere on the grid: it
// contributes 0 to the value and to every gradient component.

template< class T >
T interp3( T const * data, int const * dims, T * point, bool mirror );
template<>
double interp3< double >( double const * data, int const * dims, double * point, bool mirror );
double interp3( double const * data, int const * dims, double * point, bool mirror );

// Clamped on axis 0, periodic on axes 1 to 3.
double interp4( double const * data, int const * dims, double * point );
// grad[a] = d value / d point[a]; always returns 0.
int grad4( double * grad, double const * data, int const * dims, double * point );
// Value and gradient in one pass over the 256 taps.
double interp4_with_grad( double * grad, double const * data, int const * dims, double const * point );

// FArray4D wrappers: pos = (x, y, z) and bin are 1-based grid positions.
double interp_spline( farray::FArray4D< double > & coeffs, double bin, double * pos );
double interp_spline( farray::FArray4D< double > & coeffs, double bin, numeric::xyzVector< double > const & pos );
// dpos = d value / d (x, y, z), dbin = d value / d bin.
void interp_dspline( farray::FArray4D< double > & coeffs, double * pos, double bin, double * dpos, double & dbin );
void interp_dspline( farray::FArray4D< double > & coeffs, numeric::xyzVector< double > const & pos, double bin,
	numeric::xyzVector< double > & dpos, double & dbin );
// Periodic 3-D interpolation at 1-based pos = (x, y, z).
double interp_spline( farray::FArray3D< double > & coeffs, double * pos );

#endif
