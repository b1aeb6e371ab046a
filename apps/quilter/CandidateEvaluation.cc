#include "apps/quilter/CandidateEvaluation.hh"

#include "core/Protein.hh"
#include "core/basic_fun_Quilt.hh"

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

double EvaluateModel( std::string path, FastDensityScore map, bool rscc, bool readAll )
{
	double r = 0.0, c = 0.0;
	int n = 0;
	double** ca = readCAFile( path, readAll, n );
	if ( rscc ) {
		r = map.getRSCC( ca, n, 4.0 );
	} else {
		c = ( 100.0 - map.getCC( n, ca ) ) * 0.01;
	}
	release2DArr( n, ca );
	return rscc ? r : c;
}

void EvaluateModel( std::string path, FastDensityScore map, double& rscc, double& cc, bool readAll )
{
	int n = 0;
	double** ca = readCAFile( path, readAll, n );
	rscc = map.getRSCC( ca, n, 4.0 );
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
