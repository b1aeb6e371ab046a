#include "apps/quilter/CandidateEvaluation.hh"

#include "core/Protein.hh"
#include "core/basic_fun_Quilt.hh"

#include <algorithm>
#include <cmath>
#include <iostream>

double** readCAFile( const std::string& path, bool readAll, int& n )
{
	Protein p( path, readAll );
	n = static_cast< int >( p.residues.size() );
	double** ca = new double*[ n > 0 ? n : 1 ]();
	for ( int i = 0; i < n; ++i ) ca[ i ] = p.getIthResidueCAXYZ( i );
	return ca;
}

std::vector< poseCoord > readModelAtoms( const std::string& path, bool readAll )
{
	Protein p( path, readAll );
	std::vector< poseCoord > atoms;
	for ( Residue const& r : p.residues ) {
		for ( std::size_t i = 0; i < r.xyz.size() && i < r.atomNames.size(); ++i ) {
			poseCoord c;
			c.x = r.xyz[ i ][ 0 ];
			c.y = r.xyz[ i ][ 1 ];
			c.z = r.xyz[ i ][ 2 ];
			c.B = 0.0;
			// The element is the first letter of the whole name field
			// (columns 13-16), as the fitting programs take it: writers
			// that start a three-letter name in column 13 ("CG1 ", "OD1 ")
			// would otherwise give the element as its second letter.
			std::string const& line = i < r.atomLines.size() ? r.atomLines[ i ] : std::string();
			std::string const name = line.size() > 12 ? trim( line.substr( 12, 4 ) ) : r.atomNames[ i ];
			c.elt = name.empty() ? std::string( "C" ) : name.substr( 0, 1 );
			atoms.push_back( c );
		}
	}
	return atoms;
}

double footprintCorrelation( const std::vector< poseCoord >& atoms, FastDensityScore map )
{
	if ( atoms.empty() || !map.isLoaded ) return 0.0;
	map.quiet = true;
	farray::FArray3D< double > rho, mask;
	double const radius = std::max( 3.0, 0.5 * map.modelResolution );
	map.calcRhoC( atoms, 0.0, rho, mask, 0.0, 600.0, radius );
	double const r = map.getRSCC( rho, mask );
	return std::isfinite( r ) ? r : 0.0;
}

double EvaluateModel( std::string path, FastDensityScore map, bool rscc, bool readAll )
{
	if ( rscc ) return footprintCorrelation( readModelAtoms( path, readAll ), map );
	int n = 0;
	double** ca = readCAFile( path, readAll, n );
	double const c = ( 100.0 - map.getCC( n, ca ) ) * 0.01;
	release2DArr( n, ca );
	return c;
}

void EvaluateModel( std::string path, FastDensityScore map, double& rscc, double& cc, bool readAll )
{
	rscc = footprintCorrelation( readModelAtoms( path, readAll ), map );
	int n = 0;
	double** ca = readCAFile( path, readAll, n );
	cc = ( 100.0 - map.getCC( n, ca ) ) * 0.01;
	release2DArr( n, ca );
}

void EvaluateSort( std::vector< std::string >& paths, std::vector< double >& scores, FastDensityScore map,
	int maxKept, bool twoScores )
{
	std::vector< std::string > kept;
	std::vector< double > keptScores;
	for ( std::string const& path : paths ) {
		double score = 0.0;
		if ( twoScores ) {
			double cc = 0.0;
			EvaluateModel( path, map, score, cc, false );
			if ( cc == 0.0 || std::isnan( cc ) ) continue;
		} else {
			score = EvaluateModel( path, map, true, false );
		}
		if ( std::isnan( score ) ) score = 0.0;
		std::cout << get_name_from_path( path ) << ": " << score << std::endl;
		kept.push_back( path );
		keptScores.push_back( score );
	}
	if ( kept.empty() && !paths.empty() ) {
		kept.push_back( paths.front() );
		keptScores.push_back( 0.0 );
	}

	std::vector< double > negated;
	for ( double s : keptScores ) negated.push_back( -s );
	int* order = quickSortAscendingInd( negated );
	std::size_t const n = maxKept > 0 ? std::min( kept.size(), static_cast< std::size_t >( maxKept ) ) : 0;
	paths.clear();
	scores.clear();
	for ( std::size_t k = 0; k < n; ++k ) {
		paths.push_back( kept[ order[ k ] ] );
		scores.push_back( keptScores[ order[ k ] ] );
	}
	delete[] order;
}
