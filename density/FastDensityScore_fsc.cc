// FastDensityScore: resolution shells and the Fourier shell correlation of a
// model's calculated density with the map ("iFSC.txt").
#include "density/FastDensityScore.hh"

#include "density/ReportFile.hh"
#include "numerics/fft3d.hh"

#include <cmath>
#include <iostream>
#include <sstream>

namespace {

inline int wrapped_frequency( int i, int n ) { return ( 2 * ( i - 1 ) <= n ) ? i - 1 : i - 1 - n; }

// Shell limits in 1/A (or 1/A^2 with in_S2), forced into the grid's range.
struct ShellLimits {
	double lo = 0.0, hi = 0.0, step = 0.0;
};

} // namespace

static ShellLimits shell_limits( FastDensityScore const& m, int nbins, double S_lo, double S_hi, bool in_S2 )
{
	farray::FArray3D< double > const& d = m.density();
	int const ux = d.u1(), uy = d.u2(), uz = d.u3();
	double const sMax = std::sqrt( m.S2( ux / 2, uy / 2, uz / 2 ) );
	double const sMin = std::min( std::sqrt( m.S2( 0, 1, 0 ) ), std::min( std::sqrt( m.S2( 1, 0, 0 ) ), std::sqrt( m.S2( 0, 0, 1 ) ) ) );
	if ( S_hi > sMax || S_hi == 0.0 || !std::isfinite( S_hi ) ) {
		std::cout << "Forcing min resolution to " << 1.0 / sMax << std::endl;
		S_hi = sMax;
	}
	if ( sMin > S_lo || S_lo == 0.0 ) {
		std::cout << "Forcing max resolution to " << 1.0 / sMin << std::endl;
		S_lo = sMin;
	}
	if ( in_S2 ) {
		S_lo *= S_lo;
		S_hi *= S_hi;
	}
	ShellLimits L;
	L.lo = S_lo;
	L.hi = S_hi;
	L.step = ( nbins > 0 ) ? ( S_hi - S_lo ) / nbins : 0.0;
	return L;
}

static int shell_of( double s2, ShellLimits const& L, int nbins, bool in_S2 )
{
	if ( !( L.step > 0.0 ) ) return -1;
	double const s = in_S2 ? s2 : std::sqrt( s2 );
	double const sh = std::floor( ( s - L.lo ) * ( 1.0 / L.step ) );
	if ( !( sh >= 0.0 ) || sh >= nbins ) return -1;
	return int( sh );
}

void FastDensityScore::getResolutionBins( int nbins, double S_lo, double S_hi, std::vector< double >& centres,
	std::vector< int >& counts, bool in_S2 )
{
	ShellLimits const L = shell_limits( *this, nbins, S_lo, S_hi, in_S2 );
	int const nb = std::max( nbins, 0 );
	centres.assign( nb, 0.0 );
	counts.assign( nb, 0 );
	for ( int i = 0; i < nb; ++i ) {
		double const c = L.lo + ( i + 0.5 ) * L.step;
		centres[ i ] = in_S2 ? std::sqrt( c ) : c;
	}
	farray::FArray3D< double > const& d = density();
	for ( int z = 1; z <= d.u3(); ++z ) {
		int const fz = wrapped_frequency( z, d.u3() );
		for ( int y = 1; y <= d.u2(); ++y ) {
			int const fy = wrapped_frequency( y, d.u2() );
			for ( int x = 1; x <= d.u1(); ++x ) {
				int const sh = shell_of( S2( wrapped_frequency( x, d.u1() ), fy, fz ), L, nb, in_S2 );
				if ( sh >= 0 ) ++counts[ sh ];
			}
		}
	}
}

void FastDensityScore::getFSC( farray::FArray3D< std::complex< double > > const& F_model,
	farray::FArray3D< std::complex< double > > const& F_map, int nbins, double S_lo, double S_hi,
	std::vector< double >& fsc, bool in_S2 )
{
	ShellLimits const L = shell_limits( *this, nbins, S_lo, S_hi, in_S2 );
	int const nb = std::max( nbins, 0 );
	std::vector< double > N( nb, 0.0 ), P( nb, 0.0 ), Q( nb, 0.0 );
	fsc.assign( nb, 0.0 );
	farray::FArray3D< double > const& d = density();
	for ( int z = 1; z <= d.u3(); ++z ) {
		int const fz = wrapped_frequency( z, d.u3() );
		for ( int y = 1; y <= d.u2(); ++y ) {
			int const fy = wrapped_frequency( y, d.u2() );
			// Half of the x axis: the other half holds the conjugates.
			for ( int x = 1; x <= d.u1() / 2; ++x ) {
				int const sh = shell_of( S2( x - 1, fy, fz ), L, nb, in_S2 );
				if ( sh < 0 ) continue;
				std::complex< double > const M = F_model( x, y, z ), D = F_map( x, y, z );
				N[ sh ] += M.real() * D.real() + M.imag() * D.imag();
				P[ sh ] += std::norm( M );
				Q[ sh ] += std::norm( D );
			}
		}
	}
	std::ostringstream out;
	for ( int i = 0; i < nb; ++i ) {
		double const den = std::sqrt( P[ i ] ) * std::sqrt( Q[ i ] );
		fsc[ i ] = ( den != 0.0 ) ? N[ i ] / den : 0.0;
		out << L.lo + i * L.step << " " << fsc[ i ] << "\n";
	}
	write_report_file( "iFSC.txt", out.str() );
}

double FastDensityScore::ReportFSC( Model const& xyz, AtomNames const& names, double resolution )
{
	fscHighRes = resolution;
	std::vector< poseCoord > atoms;
	for ( std::size_t r = 0; r < xyz.size(); ++r ) {
		for ( std::size_t a = 0; a < xyz[ r ].size(); ++a ) {
			poseCoord p;
			p.x = xyz[ r ][ a ][ 0 ];
			p.y = xyz[ r ][ a ][ 1 ];
			p.z = xyz[ r ][ a ][ 2 ];
			p.B = 0.0;
			if ( r < names.size() && a < names[ r ].size() ) p.elt = names[ r ][ a ];
			atoms.push_back( p );
		}
	}
	if ( density().u1() <= 0 ) return 0.0;
	farray::FArray3D< double > rho, mask;
	calcRhoC( atoms, rho, mask );
	farray::FArray3D< std::complex< double > > Fmodel, Fmap;
	fft3( rho, Fmodel );
	fft3( density(), Fmap );
	std::vector< double > centres, fsc;
	std::vector< int > counts;
	getResolutionBins( nFscBins, 1.0 / fscLowRes, 1.0 / fscHighRes, centres, counts, fscSquaredBins );
	getFSC( Fmodel, Fmap, nFscBins, 1.0 / fscLowRes, 1.0 / fscHighRes, fsc, fscSquaredBins );
	double sum = 0.0;
	long n = 0;
	for ( std::size_t i = 0; i < fsc.size(); ++i ) {
		sum += counts[ i ] * fsc[ i ];
		n += counts[ i ];
	}
	// No shell holds a frequency: nothing to report.
	return n > 0 ? sum / n : 0.0;
}
