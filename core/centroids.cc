// Centroids, radii of gyration and maximum radii of point sets.  Sums start
// from zero and add the points in order; the centroid is the sum times the
// reciprocal of the count.
#include "core/basic_fun_Quilt.hh"

#include <cmath>

namespace {

// Adds rows 0..n-1 of p (anything indexable as p[i][k]) into s.
template< class P >
inline void add_points( P const& p, int n, double* s )
{
	for ( int i = 0; i < n; ++i ) {
		s[ 0 ] += p[ i ][ 0 ];
		s[ 1 ] += p[ i ][ 1 ];
		s[ 2 ] += p[ i ][ 2 ];
	}
}

inline double* scaled( double* s, double count )
{
	double const inv = 1.0 / count;
	s[ 0 ] *= inv;
	s[ 1 ] *= inv;
	s[ 2 ] *= inv;
	return s;
}

inline double dist2( double const* p, double const* c )
{
	double const dx = p[ 0 ] - c[ 0 ], dy = p[ 1 ] - c[ 1 ], dz = p[ 2 ] - c[ 2 ];
	return dx * dx + dy * dy + dz * dz;
}

// A vector longer or shorter than n is read for its first n entries only
// where it has them.
inline int usable( std::vector< double* > const& p, int n )
{
	return n < static_cast< int >( p.size() ) ? n : static_cast< int >( p.size() );
}

} // namespace

double* getCenterPoint( double** p, int n )
{
	double* s = new1DArr( 3 );
	add_points( p, n, s );
	return scaled( s, n );
}

double* getCenterPoint( std::vector< double* > p, int n )
{
	double* s = new1DArr( 3 );
	int const m = usable( p, n );
	add_points( p, m, s );
	return scaled( s, m );
}

double* getCenterPoint( std::vector< std::vector< double* > > atoms )
{
	double* s = new1DArr( 3 );
	int count = 0;
	for ( auto const& res : atoms ) {
		add_points( res, static_cast< int >( res.size() ), s );
		count += static_cast< int >( res.size() );
	}
	return scaled( s, count );
}

double* getCenterPoint( std::vector< std::vector< double* > > atoms,
	std::vector< std::vector< std::string > > names, std::string mode )
{
	// "backbone": N, CA, C; "centroid": every atom; any other word: CA.
	bool const backbone = mode == "backbone";
	bool const all = mode == "centroid";
	double* s = new1DArr( 3 );
	int count = 0;
	for ( std::size_t i = 0; i < atoms.size() && i < names.size(); ++i ) {
		std::size_t const m = atoms[ i ].size() < names[ i ].size() ? atoms[ i ].size() : names[ i ].size();
		for ( std::size_t j = 0; j < m; ++j ) {
			std::string const& nm = names[ i ][ j ];
			bool take = all || ( backbone ? ( nm == "N" || nm == "CA" || nm == "C" ) : nm == "CA" );
			if ( !take ) continue;
			double const* p = atoms[ i ][ j ];
			s[ 0 ] += p[ 0 ];
			s[ 1 ] += p[ 1 ];
			s[ 2 ] += p[ 2 ];
			++count;
		}
	}
	return scaled( s, count );
}

double* getCenterPoint( double** pa, double** pb, int na, int nb )
{
	double* s = new1DArr( 3 );
	add_points( pa, na, s );
	add_points( pb, nb, s );
	return scaled( s, na + nb );
}

double getRgFromCA( double** p, int n )
{
	double* c = getCenterPoint( p, n );
	double sum = 0.0;
	for ( int i = 0; i < n; ++i ) sum += dist2( p[ i ], c );
	delete[] c;
	return std::sqrt( sum / n );
}

double getRgFromCA( std::vector< double* > p, int n )
{
	int const m = usable( p, n );
	return getRgFromCA( m > 0 ? p.data() : nullptr, m );
}

double getRgFromCA( double** pa, double** pb, int na, int nb )
{
	double* c = getCenterPoint( pa, pb, na, nb );
	double sum = 0.0;
	for ( int i = 0; i < na; ++i ) sum += dist2( pa[ i ], c );
	for ( int i = 0; i < nb; ++i ) sum += dist2( pb[ i ], c );
	delete[] c;
	return std::sqrt( sum / ( na + nb ) );
}

double getRadius( double** p, int n )
{
	if ( n < 1 ) return 0.0;
	double* c = getCenterPoint( p, n );
	double best = 0.0;
	for ( int i = 0; i < n; ++i ) {
		double const d = dist2( p[ i ], c );
		if ( d > best ) best = d;
	}
	delete[] c;
	return std::sqrt( best );
}

double getRadius( std::vector< double* > p, int n )
{
	int const m = usable( p, n );
	if ( m < 1 ) return 0.0;
	return getRadius( p.data(), m );
}
