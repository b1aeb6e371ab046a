// Spherical-harmonic transforms of functions sampled on concentric shells,
// and their correlation over all rotations on the SO(3) grid.
//
// Seminaive algorithm for even bandwidths B: each shell is sampled on the
// equiangular 2B x 2B grid (colatitude theta_j = (2j+1) pi / (4B), longitude
// phi_k = k pi / B), a DFT along the longitude separates the orders m, and
// for each order a cosine transform and a table of cosine series of the
// associated Legendre functions give the coefficients of degrees m .. B-1.
//
//   f_lm = integral f(theta, phi) conj(Y_lm) dOmega,
//   Y_lm(theta, phi) = P_l^m(cos theta) exp(i m phi) / sqrt(2 pi)
// with P_l^m L2-normalised on [-1, 1] (Condon-Shortley phase included).
//
// Arrays:
//   shell grids        FArray3D<double> (2B, 2B, nR): longitude, colatitude, shell
//   coefficients       two FArray3D<double> (B, B, nR), real and imaginary
//                      parts, shell r holding its B^2 values contiguously in
//                      the order of SO3coeffs::lm_index
//   correlation        FArray3D<double> (2B, 2B, 2B), flat index
//                      i_beta (2B)^2 + i_gamma 2B + i_alpha (see idx_to_euler)
//
// Tables are built once per (B, nR) and reused for every shell and call.
// The transforms share the FFT library's process-wide scratch buffers and
// are not re-entrant.
#ifndef INCLUDED_sht_SHT_hh
#define INCLUDED_sht_SHT_hh

#include "farray/FArray3D.hh"
#include "numerics/fft.hh"
#include "sht/SO3coeffs.hh"
#include "utility/vectorL.hh"

#include <complex>

class SHT
{
public:
	typedef utility::vector0< double > Table;
	typedef farray::FArray3D< double > RealGrid;
	typedef farray::FArray3D< std::complex< double > > ComplexGrid;

	// Empty: B = nR = 0, no tables.
	SHT();
	SHT( int B, int nR );

	// Builds every table and plan for bandwidth B and nR shells; nothing
	// happens when both equal the current values.  An odd (or negative)
	// bandwidth ends the process with status 1.
	void init( int B, int nR );

	// Every shell of signal (2B, 2B, nR) to its coefficients (B, B, nR).
	void sharm_transform( RealGrid const & signal, RealGrid & coefRe, RealGrid & coefIm );

	// Every shell's coefficients (B, B, nR) to its samples (2B, 2B, nR).
	void sharm_invTransform( RealGrid & signal, RealGrid const & coefRe, RealGrid const & coefIm );

	// One shell: 4B^2 samples (colatitude row j at j 2B, longitude fastest)
	// to B^2 coefficients, and back.  The samples are real, so the negative
	// orders follow from the positive ones; the synthesis reads only orders
	// m >= 0.
	void forwardS2( Table & samples, Table & re, Table & im );
	void inverseS2( Table & re, Table & im, Table & samples );

	// Standardises coefficient arrays (B, B, nR) in place: the volume-weighted
	// mean of the (0,0) coefficients is removed and all other coefficients are
	// scaled to a fixed weighted power.  Arrays without any non-constant
	// coefficient are not scaled (all-zero arrays stay zero).
	void sph_standardize( RealGrid & coefRe, RealGrid & coefIm );

	// Euler angles (alpha, beta, gamma) of a flat index of the rotation grid,
	// index = i_beta (2B)^2 + i_gamma 2B + i_alpha: alpha = i_alpha pi/B,
	// beta = (2 i_beta + 1) pi/(4B), gamma = i_gamma pi/B; and the rotation
	// matrix of that grid point (rows R[0], R[1], R[2]), the transpose of
	// Rz(alpha) Rx(beta) Rz(gamma).  An empty transform gives zero angles and
	// the identity.
	void idx_to_euler( int index, double * angles ) const;
	void idx_to_rot( int index, double ** R ) const;

	// One shell's coefficient pair of signal and pattern (B^2 values each)
	// to SO(3) coefficients, dimensioned (2B, 2B, 2B) and zeroed first.
	void so3CombineCoef( Table const & sigR, Table const & sigI, Table const & patR, Table const & patI,
		ComplexGrid & so3Coef );

	// SO(3) coefficients to complex values on the rotation grid; samples
	// (dimensioned here) is work space and holds the result.
	void inverseSo3( ComplexGrid const & coefs, ComplexGrid & samples );

	// Correlation of signal and pattern (coefficient arrays (B, B, nR)) over
	// the rotation grid, shells summed with weights 4r^2 / sum 4r^2: on one
	// shell, result[index] = integral signal(w) pattern(R^-1 w) dw with
	// R = idx_to_rot(index), so the maximum lies at the rotation that carries
	// the pattern onto the signal.
	void so3_correlate( RealGrid & result, RealGrid const & sigR, RealGrid const & sigI, RealGrid const & patR,
		RealGrid const & patI );

	// Table builders called by init.
	void setup_Weights();
	void setup_Pmls();
	void setup_Wig();

	int bandwidth() const { return B_; }
	int shells() const { return nR_; }
	SO3coeffs const & wigner() const { return so3_; }
	Table const & weights() const { return weights_; }
	Table const & wignerTable() const { return wig_; }
	utility::vector0< Table > const & pmlTable() const { return pml_; }
	utility::vector0< Table > const & pmlTransposed() const { return pmlT_; }

	// Start of the Wigner-d block of the order pair (m1, m2) in the table, for
	// the stored pairs: (0,0), (m,m), (m,0) and 0 < m1 < m2.
	int wigBlockStart( int m1, int m2 ) const;

private:
	void releasePlans();

	int B_;
	int nR_;
	SO3coeffs so3_;
	fft_state fftPlan_;
	fftsplit_state splitFwd_;
	fftsplit_state splitInv_;
	dct_state dctFwd_;
	dct_state dctInv_;
	Table weights_;
	Table wig_;
	utility::vector0< Table > pml_;
	utility::vector0< Table > pmlT_;
};

// Reads the flat storage of a as n rows of m complex values and writes its
// transpose into the flat storage of b: b[r n + c] = a[c m + r].
void transpose_so3( SHT::ComplexGrid const & a, SHT::ComplexGrid & b, int n, int m );

#endif
