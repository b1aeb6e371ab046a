// Everything of the rotational correlation that depends only on the
// bandwidth B: index arithmetic of spherical-harmonic coefficients, of SO(3)
// coefficients and of SO(3) samples; L2-normalised Wigner-d functions on the
// colatitude grid; the synthesis of the beta-samples of one order pair; and
// the per-order Legendre transform pair of the seminaive spherical transform.
//
// Conventions:
//   colatitudes       beta_j = (2j+1) pi / (4B), j = 0 .. 2B-1
//   Wigner-d          d^l_{m1 m2}(beta), normalised so that
//                     integral_0^pi d^2 sin(beta) dbeta = 1
//                     (d^0_00 = 1/sqrt(2), d^1_00 = sqrt(3/2) cos(beta))
//   Legendre          P_l^m L2-normalised on [-1, 1], with the (-1)^m phase
//
// Spherical-harmonic coefficient layout (B^2 positions): orders 0 .. B-1,
// then -(B-1) .. -1, each with degrees l = |m| .. B-1.
//
// SO(3) coefficient layout (B(4B^2-1)/3 positions): order pairs by m1 in the
// order 0 .. B-1, -(B-1) .. -1, within one m1 by m2 in the same order; a pair
// holds degrees l = max(|m1|,|m2|) .. B-1.
//
// SO(3) sample layout (8B^3 positions): with n = 2B and an order wrapped to
// n + m when negative, the n beta-samples of a pair start at n (M1 n + M2).
//
// Wigner-d table (B^2 (B+1)(B+2)/3 values): blocks of the order pairs (0,0);
// (m,m), m = 1 .. B-1; (m,0), m = 1 .. B-1; (m1,m2), 1 <= m1 < m2 <= B-1.  A
// block holds 2B rows (beta_0 first), row j the values of degrees
// l = max .. B-1; value (l, j) at block start + j (B - max) + (l - max).
// Every other order pair follows from these by symmetry.
#ifndef INCLUDED_sht_SO3coeffs_hh
#define INCLUDED_sht_SO3coeffs_hh

#include "farray/FArray3D.hh"
#include "numerics/fft.hh"
#include "utility/vectorL.hh"

#include <complex>

class SO3coeffs
{
public:
	typedef utility::vector0< double > Table;
	typedef farray::FArray3D< std::complex< double > > ComplexGrid;

	SO3coeffs() : B_( 0 ) {}
	explicit SO3coeffs( int B ) : B_( B ) {}

	int bandwidth() const { return B_; }
	void setBandwidth( int B ) { B_ = B; }

	// Position of coefficient (l, m) among the B^2 spherical-harmonic coefficients.
	int lm_index( int m, int l ) const;

	// Position of the first SO(3) coefficient (degree max(|m1|,|m2|)) of an order pair.
	int coefLoc( int m1, int m2 ) const;

	// Position of the first beta-sample of an order pair on the SO(3) grid.
	int sampLoc( int m1, int m2 ) const;

	// Number of SO(3) coefficients, B (4B^2 - 1) / 3.
	int so3CoefCount() const;

	// Number of values in the Wigner-d table, B^2 (B+1)(B+2) / 3.
	int wignerTableSize() const;

	// Length of row `row` of the transposed cosine table of order m.
	int transposeRowSize( int row, int m ) const;

	// Writes the block of the order pair (m1, m2) at `start` of `table`, from
	// the tables of cos(beta_j), sin(beta_j/2) and cos(beta_j/2).  work1 and
	// work2 carry the two previous degrees (2B values each; resized here).
	void genWigner_ds( int m1, int m2, Table const & cosBeta, Table const & sinHalf, Table const & cosHalf,
		Table & table, int start, Table & work1, Table & work2 ) const;

	// samples[sampStart + j] = sum_i coefs[coefStart + i] table[wigStart + j (B-L) + i],
	// L = max(|m1|,|m2|), over the flat storage of both grids.
	void wignerSynthesis( int m1, int m2, ComplexGrid const & coefs, int coefStart, Table const & table, int wigStart,
		ComplexGrid & samples, int sampStart ) const;

	// The same sum times (-1)^(m1-m2): a pair whose block is that of the
	// swapped or negated pair.
	void wignerSynthesisSameSign( int m1, int m2, ComplexGrid const & coefs, int coefStart, Table const & table,
		int wigStart, ComplexGrid & samples, int sampStart ) const;

	// A pair with orders of different signs, from the block of the pair with
	// both orders positive: d^l_{m1,-m2}(beta) = (-1)^(l+m1) d^l_{m1,m2}(pi - beta),
	// so the coefficients take alternating signs and the rows are read in
	// reverse beta order.  work holds the signed coefficients (resized here).
	void wignerSynthesisDiffSign( int m1, int m2, ComplexGrid const & coefs, int coefStart, Table const & table,
		int wigStart, ComplexGrid & samples, int sampStart, utility::vector0< std::complex< double > > & work ) const;

	// Forward seminaive transform of order m: the 2B values of that order at
	// the colatitudes (from samples[start]) to the B - m coefficients of
	// degrees m .. B-1 in result.  table is the order's cosine table, weights
	// the 4B quadrature weights, plan a forward cosine plan of length 2B;
	// work1 and work2 hold 2B values each (resized here).
	void Legendre( Table const & samples, int start, int m, Table & result, Table const & table,
		Table const & weights, Table & work1, Table & work2, dct_state * plan ) const;

	// Inverse of `Legendre`: the coefficients of order m (degree l at
	// coefs[coefStart + l - m]) to the 2B values of that order at the
	// colatitudes in result.  tableT is the order's transposed cosine table,
	// sinTable sin(theta_j), plan a cosine plan of length 2B built with the
	// inverse flag; work holds 2B values (resized here).
	void InvLegendre( Table const & coefs, int coefStart, int m, Table & result, Table const & tableT,
		Table const & sinTable, Table & work, dct_state * plan ) const;

private:
	int B_;
};

#endif
