// FastDensityScore: fast density score of a model under a 6-D rigid-body
// pose and its exact gradient, the objective of the fitting engine.
//
// The selected atoms, their weights and B-bin taps are worked out once per
// model and reused while the same model, selection and cache are scored;
// coordinates are read from the caller's model on every call, so moving the
// model in place between calls is seen.  A call allocates nothing: each
// atom is rotated on the fly and its spline value and three derivatives are
// read in one pass over the taps.
#include "density/FastDensityScore.hh"

#include "density/FastDensityScore_internal.hh"

#include <iostream>

using namespace fds_detail;

namespace {

// Value of the bin-summed spline alone: the sums of spline_value_grad taken
// in the same order, so a score without gradient is bit-identical to one with.
inline double spline_value( double const* data, SplineTaps const& tx, SplineTaps const& ty, SplineTaps const& tz,
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
			spline_taps( u - 1.0, ext[ a ], stride[ a ], t[ a ] );
		}
		double const w = pose_.weight[ i ];
		if ( !grad ) {
			score += w * spline_value( data, t[ 0 ], t[ 1 ], t[ 2 ], &pose_.binOff[ 4 * i ], &pose_.binWeight[ 4 * i ],
				pose_.nBinTaps[ i ] );
			continue;
		}
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
	ensureFastCache();
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
	ensureFastCache();
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
	ensureFastCache();
	preparePoseAtoms( model, names, selection );
	double const s = poseScore( model, x, centre, pose_.lastGrad );
	rememberLast( model, x, centre );
	for ( int k = 0; k < 6; ++k ) grad[ k ] = pose_.lastGrad[ k ];
	return s;
}
