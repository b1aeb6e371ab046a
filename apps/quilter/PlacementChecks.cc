#include "apps/quilter/PlacementChecks.hh"

#include "apps/quilter/CandidateEvaluation.hh"
#include "core/basic_fun_Quilt.hh"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>

bool hasPositiveDensity( const FastDensityScore& map )
{
	if ( !map.isLoaded ) return false;
	farray::FArray3D< double > const& d = map.density();
	long const n = static_cast< long >( d.size() );
	for ( long l = 0; l < n; ++l )
		if ( d[ l ] > 0.0 ) return true;
	return false;
}

double densityOverlapFraction( const FastDensityScore& part, const FastDensityScore& whole )
{
	if ( !part.isLoaded || !whole.isLoaded ) return 0.0;
	farray::FArray3D< double > const& p = part.density();
	farray::FArray3D< double > const& w = whole.density();
	int const ext[ 3 ] = { w.u1(), w.u2(), w.u3() };
	double total = 0.0, covered = 0.0;
	for ( int k = 0; k < p.u3(); ++k ) {
		for ( int j = 0; j < p.u2(); ++j ) {
			for ( int i = 0; i < p.u1(); ++i ) {
				double const v = p( i + 1, j + 1, k + 1 );
				if ( !( v > 0.0 ) ) continue;
				total += v;
				double x[ 3 ], d[ 3 ], f[ 3 ];
				part.voxelPosition( i, j, k, x );
				for ( int a = 0; a < 3; ++a ) d[ a ] = x[ a ] - whole.voxelOrigin[ a ];
				whole.cartToFrac( d, f );
				int c[ 3 ];
				bool inside = true;
				for ( int a = 0; a < 3; ++a ) {
					c[ a ] = static_cast< int >( std::lround( f[ a ] * whole.grid[ a ] ) );
					inside = inside && c[ a ] >= 0 && c[ a ] < ext[ a ];
				}
				if ( inside && w( c[ 0 ] + 1, c[ 1 ] + 1, c[ 2 ] + 1 ) > 0.0 ) covered += v;
			}
		}
	}
	return total > 0.0 ? covered / total : 0.0;
}

PlacementOverlap placementOverlap( const std::string& modelPath, const FastDensityScore& map )
{
	PlacementOverlap o;
	std::vector< poseCoord > const atoms = readModelAtoms( modelPath, false );
	if ( atoms.empty() || !map.isLoaded ) return o;
	FastDensityScore m = map;
	m.quiet = true;
	farray::FArray3D< double > rho, mask;
	// The footprint of footprintCorrelation.
	double const radius = std::max( 3.0, 0.5 * m.modelResolution );
	m.calcRhoC( atoms, 0.0, rho, mask, 0.0, 600.0, radius );
	farray::FArray3D< double > const& d = m.density();
	long const n = std::min( static_cast< long >( mask.size() ), static_cast< long >( d.size() ) );
	for ( long l = 0; l < n; ++l )
		if ( mask[ l ] > 0.0 && d[ l ] > 0.0 ) ++o.voxelsWithDensity;
	double const r = m.getRSCC( rho, mask );
	o.correlation = std::isfinite( r ) ? r : 0.0;
	int const ext[ 3 ] = { d.u1(), d.u2(), d.u3() };
	std::size_t inside = 0;
	for ( poseCoord const& a : atoms ) {
		double const x[ 3 ] = { a.x - m.voxelOrigin[ 0 ], a.y - m.voxelOrigin[ 1 ], a.z - m.voxelOrigin[ 2 ] };
		double f[ 3 ];
		m.cartToFrac( x, f );
		bool in = true;
		for ( int k = 0; k < 3; ++k ) in = in && f[ k ] * m.grid[ k ] >= -0.5 && f[ k ] * m.grid[ k ] <= ext[ k ] - 0.5;
		if ( in ) ++inside;
	}
	o.insideBox = static_cast< double >( inside ) / static_cast< double >( atoms.size() );
	return o;
}

std::vector< std::vector< std::vector< double > > > readChainTraces( const std::string& path,
	std::vector< std::string >& ids, std::vector< std::string >* kinds,
	const std::vector< std::string >& nucleicAcidIds )
{
	std::vector< std::vector< std::vector< double > > > chains;
	ids.clear();
	// Per chain: whether a CA, and whether a P stands for one of its residues.
	std::vector< std::pair< bool, bool > > used;
	std::ifstream in( path );
	std::string line, openId;
	bool open = false;
	// Per residue: its CA, else its P.
	std::string residue;
	std::vector< double > p;
	bool hasCA = false;
	// Whether the open chain is a masked nucleic-acid chain: its " CA " is
	// the C4' atom of a nucleotide, and only its P atoms trace it.
	bool masked = false;
	auto flush_residue = [ & ]() {
		if ( !p.empty() ) {
			chains.back().push_back( p );
			( hasCA ? used.back().first : used.back().second ) = true;
		}
		p.clear();
		hasCA = false;
	};
	while ( std::getline( in, line ) ) {
		if ( line.compare( 0, 3, "TER" ) == 0 ) {
			if ( open ) flush_residue();
			open = false;
			continue;
		}
		bool const atom = line.compare( 0, 4, "ATOM" ) == 0 || line.compare( 0, 6, "HETATM" ) == 0;
		if ( !atom || line.size() < 54 ) continue;
		std::string const id = line.substr( 20, 2 );
		if ( open && id != openId ) {
			flush_residue();
			open = false;
		}
		if ( !open ) {
			chains.emplace_back();
			used.emplace_back( false, false );
			ids.push_back( id );
			openId = id;
			open = true;
			residue.clear();
			masked = std::find( nucleicAcidIds.begin(), nucleicAcidIds.end(), trim( id ) ) != nucleicAcidIds.end();
		}
		std::string const res = line.substr( 22, 5 );
		if ( res != residue ) {
			flush_residue();
			residue = res;
		}
		std::string const name = line.substr( 12, 4 );
		bool const isCA = !masked && name == " CA ", isP = name == " P  ";
		if ( !isCA && !( isP && !hasCA ) ) continue;
		std::vector< double > xyz( 3 );
		for ( int a = 0; a < 3; ++a ) xyz[ a ] = std::strtod( line.substr( 30 + 8 * a, 8 ).c_str(), nullptr );
		p = xyz;
		hasCA = hasCA || isCA;
	}
	if ( open ) flush_residue();
	if ( kinds ) {
		kinds->clear();
		for ( auto const& u : used ) kinds->push_back( u.first && u.second ? "CA/P" : u.second ? "P" : "CA" );
	}
	return chains;
}

int closeTracePairs( const std::vector< std::vector< double > >& a, const std::vector< std::vector< double > >& b,
	double distance )
{
	double const d2 = distance * distance;
	int n = 0;
	for ( auto const& x : a ) {
		for ( auto const& y : b ) {
			double const dx = x[ 0 ] - y[ 0 ], dy = x[ 1 ] - y[ 1 ], dz = x[ 2 ] - y[ 2 ];
			if ( dx * dx + dy * dy + dz * dz < d2 ) ++n;
		}
	}
	return n;
}
