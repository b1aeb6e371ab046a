// FastDensityScore: fast density score of a model under a 6-D rigid-body
// pose and its exact gradient, the objective of the fitting engine.
//
// The selected atoms, their weights and B-bin taps are worked out once per
// model and reused while the same model, selection and cache are scored;
// coordinates are read from the caller's model on every call, so moving the
// model in place between calls is seen.  A call allocates nothing: each
// atom is rotated on the fly and its spline value (and, when the gradient
// is wanted, its three derivatives) read in one pass over the taps.
#include "density/FastDensityScore.hh"

#include "density/FastDensityScore_internal.hh"

#include <iostream>

using namespace fds_detail;

namespace {

// Taps of one axis for the value alone: the offsets and weights that
// spline_taps gives (same expressions, so the same numbers), without the
// derivative weights and, for coordinates inside the grid, without an
// integer division.
struct ValueTaps {
	long off[ 4 ];
	double w[ 4 ];
};

inline void value_taps( double c, int n, long stride, ValueTaps& t )
{
	double const fl = std::floor( c );
	double const u = c - fl;
	int const i = int( fl );
	t.w[ 3 ] = u * u * u / 6.0;
	t.w[ 0 ] = u * ( u - 1.0 ) / 2.0 + 1.0 / 6.0 - t.w[ 3 ];
	t.w[ 2 ] = u + t.w[ 0 ] - 2.0 * t.w[ 3 ];
	t.w[ 1 ] = 1.0 - t.w[ 0 ] - t.w[ 2 ] - t.w[ 3 ];
	int m = i - 1;
	if ( m < -n || m >= n ) m %= n;
	if ( m < 0 ) m += n;
	for ( int j = 0; j < 4; ++j ) {
		t.off[ j ] = m * stride;
		if ( ++m == n ) m = 0;
	}
}

// spline_taps with the same numbers, the offsets found without an integer
// division for coordinates inside the grid.
inline void grad_taps( double c, int n, long stride, SplineTaps& t )
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
	int m = i - 1;
	if ( m < -n || m >= n ) m %= n;
	if ( m < 0 ) m += n;
	for ( int j = 0; j < 4; ++j ) {
		t.off[ j ] = m * stride;
		if ( ++m == n ) m = 0;
	}
}

// Value of the bin-summed spline alone: the sums of spline_value_grad taken
// in the same order, so a score without gradient is bit-identical to one with.
inline double spline_value( double const* data, ValueTaps const& tx, ValueTaps const& ty, ValueTaps const& tz,
	long const* binOff, double const* binW, int nBinTaps )
{
	double v = 0.0;
	bool const xRun = tx.off[ 3 ] == tx.off[ 0 ] + 3;
	for ( int b = 0; b < nBinTaps; ++b ) {
		double const* blk = data + binOff[ b ];
		double pv = 0.0;
		for ( int jz = 0; jz < 4; ++jz ) {
			double const* pz = blk + tz.off[ jz ];
			double sv = 0.0;
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
				sv += ty.w[ jy ] * ( tx.w[ 0 ] * c0 + tx.w[ 1 ] * c1 + tx.w[ 2 ] * c2 + tx.w[ 3 ] * c3 );
			}
			pv += tz.w[ jz ] * sv;
		}
		v += binW[ b ] * pv;
	}
	return v;
}

// The values of two atoms at once, one per lane: every lane takes the sums
// of spline_value in the same order, so each value is the same number.
typedef double Lanes2 __attribute__( ( vector_size( 16 ) ) );

inline void spline_value_pair( double const* data, ValueTaps const* a, ValueTaps const* b, long const* binOffA,
	long const* binOffB, double const* binW, int nBinTaps, double& va, double& vb )
{
	Lanes2 const w0 = { a[ 0 ].w[ 0 ], b[ 0 ].w[ 0 ] }, w1 = { a[ 0 ].w[ 1 ], b[ 0 ].w[ 1 ] };
	Lanes2 const w2 = { a[ 0 ].w[ 2 ], b[ 0 ].w[ 2 ] }, w3 = { a[ 0 ].w[ 3 ], b[ 0 ].w[ 3 ] };
	long const* xa = a[ 0 ].off;
	long const* xb = b[ 0 ].off;
	Lanes2 v = { 0.0, 0.0 };
	for ( int q = 0; q < nBinTaps; ++q ) {
		double const* blkA = data + binOffA[ q ];
		double const* blkB = data + binOffB[ q ];
		Lanes2 pv = { 0.0, 0.0 };
		for ( int jz = 0; jz < 4; ++jz ) {
			double const* pzA = blkA + a[ 2 ].off[ jz ];
			double const* pzB = blkB + b[ 2 ].off[ jz ];
			Lanes2 sv = { 0.0, 0.0 };
			for ( int jy = 0; jy < 4; ++jy ) {
				double const* pA = pzA + a[ 1 ].off[ jy ];
				double const* pB = pzB + b[ 1 ].off[ jy ];
				Lanes2 const c0 = { pA[ xa[ 0 ] ], pB[ xb[ 0 ] ] }, c1 = { pA[ xa[ 1 ] ], pB[ xb[ 1 ] ] };
				Lanes2 const c2 = { pA[ xa[ 2 ] ], pB[ xb[ 2 ] ] }, c3 = { pA[ xa[ 3 ] ], pB[ xb[ 3 ] ] };
				Lanes2 const wy = { a[ 1 ].w[ jy ], b[ 1 ].w[ jy ] };
				sv += wy * ( w0 * c0 + w1 * c1 + w2 * c2 + w3 * c3 );
			}
			Lanes2 const wz = { a[ 2 ].w[ jz ], b[ 2 ].w[ jz ] };
			pv += wz * sv;
		}
		Lanes2 const wb = { binW[ 2 * q ], binW[ 2 * q + 1 ] };
		v += wb * pv;
	}
	va = v[ 0 ];
	vb = v[ 1 ];
}

// Asks the memory system early for the coefficient rows an atom will read
// (the first and last value of every x run of four).
inline void prefetch_rows( double const* data, ValueTaps const& tx, ValueTaps const& ty, ValueTaps const& tz,
	long const* binOff, int nBinTaps )
{
	for ( int b = 0; b < nBinTaps; ++b )
		for ( int jz = 0; jz < 4; ++jz )
			for ( int jy = 0; jy < 4; ++jy ) {
				double const* p = data + binOff[ b ] + tz.off[ jz ] + ty.off[ jy ];
				__builtin_prefetch( p + tx.off[ 0 ] );
				__builtin_prefetch( p + tx.off[ 3 ] );
			}
}

// The prepared atoms of a pose score, as plain arrays.
struct PoseAtomList {
	std::size_t n;
	int const* residue;
	int const* atom;
	double const* weight;
	int const* nBinTaps;
	long const* binOff;    // 4 per atom
	double const* binWeight; // 4 per atom
};

// The score alone.  Atoms are taken in order and the sum is formed as in
// the pass with gradient; the taps of the next pair of atoms are found, and
// their coefficient rows requested, before the current pair's rows are
// summed, so that the memory reads of consecutive atoms overlap.
double pose_value( FastDensityScore::Model const& model, PoseAtomList const& A, double const* x, double const* centre,
	FastDensityCache const& c, double const c2f[ 3 ][ 3 ], double const R[ 3 ][ 3 ] )
{
	int const ext[ 3 ] = { c.coeffs.u1(), c.coeffs.u2(), c.coeffs.u3() };
	long const stride[ 3 ] = { 1, long( ext[ 0 ] ), long( ext[ 0 ] ) * ext[ 1 ] };
	double const* data = c.coeffs.data();
	auto place = [&]( std::size_t i, ValueTaps* t ) {
		double const* p = model[ A.residue[ i ] ][ A.atom[ i ] ];
		double const q[ 3 ] = { p[ 0 ] - centre[ 0 ], p[ 1 ] - centre[ 1 ], p[ 2 ] - centre[ 2 ] };
		double pm[ 3 ];
		for ( int a = 0; a < 3; ++a )
			pm[ a ] = centre[ a ] + x[ a ] + R[ a ][ 0 ] * q[ 0 ] + R[ a ][ 1 ] * q[ 1 ] + R[ a ][ 2 ] * q[ 2 ];
		for ( int a = 0; a < 3; ++a ) {
			double const f = c2f[ a ][ 0 ] * pm[ 0 ] + c2f[ a ][ 1 ] * pm[ 1 ] + c2f[ a ][ 2 ] * pm[ 2 ];
			double const u = wrap_grid( f * c.grid[ a ] - c.origin[ a ] + 1.0, c.grid[ a ] );
			value_taps( u - 1.0, ext[ a ], stride[ a ], t[ a ] );
		}
	};
	double score = 0.0;
	if ( A.n == 0 ) return score;
	// Atoms in pairs (two lanes) where both read the same number of B bins,
	// else one by one; the sum is formed atom by atom in order either way.
	ValueTaps cur[ 2 ][ 3 ], next[ 2 ][ 3 ];
	auto placePair = [&]( std::size_t i, ValueTaps ( *t )[ 3 ] ) {
		place( i, t[ 0 ] );
		if ( i + 1 < A.n ) place( i + 1, t[ 1 ] );
	};
	auto prefetchPair = [&]( std::size_t i, ValueTaps ( *t )[ 3 ] ) {
		prefetch_rows( data, t[ 0 ][ 0 ], t[ 0 ][ 1 ], t[ 0 ][ 2 ], A.binOff + 4 * i, A.nBinTaps[ i ] );
		if ( i + 1 < A.n ) prefetch_rows( data, t[ 1 ][ 0 ], t[ 1 ][ 1 ], t[ 1 ][ 2 ], A.binOff + 4 * ( i + 1 ), A.nBinTaps[ i + 1 ] );
	};
	placePair( 0, cur );
	for ( std::size_t i = 0; i < A.n; i += 2 ) {
		if ( i + 2 < A.n ) {
			placePair( i + 2, next );
			prefetchPair( i + 2, next );
		}
		if ( i + 1 < A.n && A.nBinTaps[ i ] == A.nBinTaps[ i + 1 ] ) {
			int const nb = A.nBinTaps[ i ];
			double bw[ 8 ];
			for ( int q = 0; q < nb; ++q ) {
				bw[ 2 * q ] = A.binWeight[ 4 * i + q ];
				bw[ 2 * q + 1 ] = A.binWeight[ 4 * ( i + 1 ) + q ];
			}
			double va, vb;
			spline_value_pair( data, cur[ 0 ], cur[ 1 ], A.binOff + 4 * i, A.binOff + 4 * ( i + 1 ), bw, nb, va, vb );
			score += A.weight[ i ] * va;
			score += A.weight[ i + 1 ] * vb;
		} else {
			for ( std::size_t k = i; k < i + 2 && k < A.n; ++k ) {
				ValueTaps const* t = cur[ k - i ];
				score += A.weight[ k ]
				         * spline_value( data, t[ 0 ], t[ 1 ], t[ 2 ], A.binOff + 4 * k, A.binWeight + 4 * k, A.nBinTaps[ k ] );
			}
		}
		for ( int u = 0; u < 2 && i + 2 + u < A.n; ++u )
			for ( int a = 0; a < 3; ++a ) cur[ u ][ a ] = next[ u ][ a ];
	}
	return score;
}

bool selected( std::string const& name, std::string const& selection )
{
	if ( selection == "backbone" ) return name == "N" || name == "CA" || name == "C";
	if ( selection == "centroid" ) return name != "SG";
	return name == "CA";
}

} // namespace

bool FastDensityScore::preparePoseAtoms( Model const& model, AtomNames const& names, std::string const& selection )
{
	std::shared_ptr< FastDensityCache const > const& cache = fastSlot_->cache;
	PoseAtoms& P = pose_;
	bool same = P.cache == cache && P.modelData == model.data() && P.namesData == names.data()
	            && P.selection == selection && P.effB == effB && P.residueSizes.size() == model.size();
	for ( std::size_t i = 0; same && i < model.size(); ++i ) same = P.residueSizes[ i ] == model[ i ].size();
	if ( same ) return true;

	P = PoseAtoms();
	P.cache = cache;
	P.modelData = model.data();
	P.namesData = names.data();
	P.selection = selection;
	P.effB = effB;
	P.lastValid = false;
	for ( auto const& r : model ) P.residueSizes.push_back( r.size() );
	FastDensityCache const& c = *cache;
	for ( std::size_t i = 0; i < model.size(); ++i ) {
		for ( std::size_t j = 0; j < model[ i ].size(); ++j ) {
			// Atoms without a name are not selected.
			if ( i >= names.size() || j >= names[ i ].size() ) continue;
			std::string const& name = names[ i ][ j ];
			if ( !selected( name, selection ) ) continue;
			OneGaussianScattering const g = get_A( name.substr( 0, 1 ) );
			long off[ 4 ];
			double w[ 4 ];
			int const nt = binTaps( binCoordinate( g, c ), c, off, w );
			P.residue.push_back( int( i ) );
			P.atom.push_back( int( j ) );
			P.weight.push_back( fast_score_weight( g ) );
			P.nBinTaps.push_back( nt );
			for ( int q = 0; q < 4; ++q ) {
				P.binOff.push_back( q < nt ? off[ q ] : 0 );
				P.binWeight.push_back( q < nt ? w[ q ] : 0.0 );
			}
		}
	}
	P.lastCoords.assign( 3 * P.weight.size(), 0.0 );
	return true;
}

bool FastDensityScore::sameAsLast( Model const& model, double const* x, double const* centre ) const
{
	PoseAtoms const& P = pose_;
	if ( !P.lastValid ) return false;
	for ( int k = 0; k < 6; ++k )
		if ( P.lastX[ k ] != x[ k ] ) return false;
	for ( int k = 0; k < 3; ++k )
		if ( P.lastCentre[ k ] != centre[ k ] ) return false;
	// The caller may have moved the model in place since.
	for ( std::size_t i = 0; i < P.weight.size(); ++i ) {
		double const* p = model[ P.residue[ i ] ][ P.atom[ i ] ];
		if ( p[ 0 ] != P.lastCoords[ 3 * i ] || p[ 1 ] != P.lastCoords[ 3 * i + 1 ] || p[ 2 ] != P.lastCoords[ 3 * i + 2 ] )
			return false;
	}
	return true;
}

void FastDensityScore::rememberLast( Model const& model, double const* x, double const* centre )
{
	PoseAtoms& P = pose_;
	for ( int k = 0; k < 6; ++k ) P.lastX[ k ] = x[ k ];
	for ( int k = 0; k < 3; ++k ) P.lastCentre[ k ] = centre[ k ];
	for ( std::size_t i = 0; i < P.weight.size(); ++i ) {
		double const* p = model[ P.residue[ i ] ][ P.atom[ i ] ];
		for ( int a = 0; a < 3; ++a ) P.lastCoords[ 3 * i + a ] = p[ a ];
	}
	P.lastValid = true;
}

double FastDensityScore::poseScore( Model const& model, double const* x, double const* centre, double* grad )
{
	FastDensityCache const& c = *pose_.cache;
	PoseRotation const rot( x + 3, grad != nullptr );
	int const nx = c.coeffs.u1(), ny = c.coeffs.u2(), nz = c.coeffs.u3();
	long const sy = nx, sz = long( nx ) * ny;
	double const* data = c.coeffs.data();
	// Grid coordinate per Cartesian unit: row a of c2f times the grid count.
	double m[ 3 ][ 3 ];
	for ( int a = 0; a < 3; ++a )
		for ( int j = 0; j < 3; ++j ) m[ a ][ j ] = c2f[ a ][ j ] * c.grid[ a ];

	if ( !grad ) {
		PoseAtomList const atoms = { pose_.weight.size(), pose_.residue.data(), pose_.atom.data(), pose_.weight.data(),
			pose_.nBinTaps.data(), pose_.binOff.data(), pose_.binWeight.data() };
		return pose_value( model, atoms, x, centre, c, c2f, rot.R );
	}

	double score = 0.0;
	double gt[ 3 ] = { 0.0, 0.0, 0.0 };
	double M[ 3 ][ 3 ] = { { 0, 0, 0 }, { 0, 0, 0 }, { 0, 0, 0 } };
	std::size_t const n = pose_.weight.size();
	for ( std::size_t i = 0; i < n; ++i ) {
		double const* p = model[ pose_.residue[ i ] ][ pose_.atom[ i ] ];
		double const q[ 3 ] = { p[ 0 ] - centre[ 0 ], p[ 1 ] - centre[ 1 ], p[ 2 ] - centre[ 2 ] };
		double pm[ 3 ];
		for ( int a = 0; a < 3; ++a )
			pm[ a ] = centre[ a ] + x[ a ] + rot.R[ a ][ 0 ] * q[ 0 ] + rot.R[ a ][ 1 ] * q[ 1 ] + rot.R[ a ][ 2 ] * q[ 2 ];
		SplineTaps t[ 3 ];
		int const ext[ 3 ] = { nx, ny, nz };
		long const stride[ 3 ] = { 1, sy, sz };
		for ( int a = 0; a < 3; ++a ) {
			double const f = c2f[ a ][ 0 ] * pm[ 0 ] + c2f[ a ][ 1 ] * pm[ 1 ] + c2f[ a ][ 2 ] * pm[ 2 ];
			double const u = wrap_grid( f * c.grid[ a ] - c.origin[ a ] + 1.0, c.grid[ a ] );
			grad_taps( u - 1.0, ext[ a ], stride[ a ], t[ a ] );
		}
		double const w = pose_.weight[ i ];
		double d[ 3 ];
		double const v = spline_value_grad( data, t[ 0 ], t[ 1 ], t[ 2 ], &pose_.binOff[ 4 * i ], &pose_.binWeight[ 4 * i ],
			pose_.nBinTaps[ i ], d );
		score += w * v;
		// Cartesian gradient of the atom term (the wrap has derivative 1).
		double g[ 3 ];
		for ( int k = 0; k < 3; ++k ) g[ k ] = w * ( m[ 0 ][ k ] * d[ 0 ] + m[ 1 ][ k ] * d[ 1 ] + m[ 2 ][ k ] * d[ 2 ] );
		for ( int k = 0; k < 3; ++k ) {
			gt[ k ] += g[ k ];
			for ( int l = 0; l < 3; ++l ) M[ k ][ l ] += g[ k ] * q[ l ];
		}
	}
	if ( grad ) {
		for ( int k = 0; k < 3; ++k ) grad[ k ] = gt[ k ];
		for ( int k = 0; k < 3; ++k ) grad[ 3 + k ] = rot.contract( k, M );
	}
	return score;
}

double FastDensityScore::getFastDensScore_6D( Model const& model, AtomNames const& names, double* x, double* centre,
	std::string selection )
{
	if ( !isLoaded ) {
		std::cout << "Error! matchResFast called but no map is loaded!" << std::endl;
		return 0.0;
	}
	if ( !ensureFastCache() ) return 0.0;
	preparePoseAtoms( model, names, selection );
	// Score only: a following gradient request at this pose computes the
	// gradient then (callers that want both use getFastDensScoreAndGrad_6D).
	pose_.lastValid = false;
	return poseScore( model, x, centre, nullptr );
}

void FastDensityScore::dCCdx_fastRes_6D( Model const& model, AtomNames const& names, double* x, double* grad,
	double* centre, std::string selection )
{
	if ( !isLoaded ) {
		std::cout << "Error! dCCdx_fastRes called but no map is loaded!" << std::endl;
		return;
	}
	if ( !ensureFastCache() ) {
		for ( int k = 0; k < 6; ++k ) grad[ k ] = 0.0;
		return;
	}
	preparePoseAtoms( model, names, selection );
	if ( !sameAsLast( model, x, centre ) ) {
		poseScore( model, x, centre, pose_.lastGrad );
		rememberLast( model, x, centre );
	}
	for ( int k = 0; k < 6; ++k ) grad[ k ] = pose_.lastGrad[ k ];
}

double FastDensityScore::getFastDensScoreAndGrad_6D( Model const& model, AtomNames const& names, double* x,
	double* grad, double* centre, std::string selection )
{
	if ( !isLoaded ) {
		std::cout << "Error! matchResFast called but no map is loaded!" << std::endl;
		return 0.0;
	}
	if ( !ensureFastCache() ) {
		for ( int k = 0; k < 6; ++k ) grad[ k ] = 0.0;
		return 0.0;
	}
	preparePoseAtoms( model, names, selection );
	double const s = poseScore( model, x, centre, pose_.lastGrad );
	rememberLast( model, x, centre );
	for ( int k = 0; k < 6; ++k ) grad[ k ] = pose_.lastGrad[ k ];
	return s;
}
