#include "transforms/DomainMoves.hh"

#include "core/basic_fun_Quilt.hh"
#include "transforms/ResidueRows.hh"
#include "transforms/RigidBodyMath.hh"

#include <cmath>
#include <iostream>

namespace {

using Domains = std::vector< std::vector< int > >;

void copy_into( double** xyz, int n, double** out )
{
	for ( int i = 0; i < n; ++i )
		for ( int c = 0; c < 3; ++c ) out[ i ][ c ] = xyz[ i ][ c ];
}

double** copy_rows( double** xyz, int n )
{
	double** out = new2DArr( n > 0 ? n : 0, 3 );
	copy_into( xyz, n, out );
	return out;
}

// Every list non-empty with numbers in 1..n, and at least minDomains lists.
bool domains_usable( int n, Domains const& domains, int minDomains, char const* who )
{
	int const D = static_cast< int >( domains.size() );
	if ( D < minDomains ) {
		std::cout << "Error! " << who << " needs at least " << minDomains << " domain(s), " << D
		          << " given; nothing is moved." << std::endl;
		return false;
	}
	for ( int j = 0; j < D; ++j ) {
		if ( domains[ j ].empty() ) {
			std::cout << "Error! " << who << ": domain " << j + 1 << " holds no residue; nothing is moved." << std::endl;
			return false;
		}
	}
	return residue_numbers_within( n, domains, who );
}

// link[j] == -1 needs both junction positions of list j.
bool junctions_usable( Domains const& domains, int* link, int** linkPos, char const* who )
{
	int const D = static_cast< int >( domains.size() );
	for ( int j = 0; j < D; ++j ) {
		if ( link[ j ] != -1 ) continue;
		int const size = static_cast< int >( domains[ j ].size() );
		bool const ok = j + 1 < D && linkPos[ j ] && linkPos[ j ][ 0 ] >= 0 && linkPos[ j ][ 0 ] < size &&
		                linkPos[ j ][ 1 ] >= 0 && linkPos[ j ][ 1 ] < size;
		if ( !ok ) {
			std::cout << "Error! " << who << ": the junction of domain " << j + 1
			          << " names no residue of its own list (or no domain follows it); nothing is moved."
			          << std::endl;
			return false;
		}
	}
	return true;
}

int first( Domains const& d, int j ) { return d[ j ].front(); }
int last( Domains const& d, int j ) { return d[ j ].back(); }

// ran() times D, rounded to single precision and truncated, as the domain
// searches have always picked; a product that rounds up to D stays inside.
int pick_by_ran( int D )
{
	float const F = static_cast< float >( ( D - 1 ) + 1 );
	int k = static_cast< int >( static_cast< float >( ran() * static_cast< double >( F ) ) );
	return k < D ? k : D - 1;
}

int pick_by_random( int D )
{
	int const k = static_cast< int >( Random() * D );
	return k < D ? k : D - 1;
}

std::vector< int > domain_rows( Domains const& d, int k )
{
	std::vector< int > rows;
	rows.reserve( d[ k ].size() );
	for ( int r : d[ k ] ) rows.push_back( r - 1 );
	return rows;
}

std::vector< int > row_range( int lo, int hi )
{
	std::vector< int > rows;
	for ( int r = lo; r <= hi; ++r ) rows.push_back( r );
	return rows;
}

// out[r] = move of src[r] about c for every listed row.
void move_rows( RigidMove const& m, double** src, double const* c, std::vector< int > const& rows, double** out )
{
	for ( int r : rows ) m.apply( src[ r ], c, out[ r ] );
}

void copy_point( double const* p, double* c )
{
	c[ 0 ] = p[ 0 ];
	c[ 1 ] = p[ 1 ];
	c[ 2 ] = p[ 2 ];
}

void domain_centroid( double** xyz, std::vector< int > const& rows, double* c )
{
	std::vector< double* > pts;
	for ( int r : rows ) pts.push_back( xyz[ r ] );
	double* p = getCenterPoint( pts, static_cast< int >( pts.size() ) );
	copy_point( p, c );
	delete[] p;
}

void shift_rows( double** xyz, std::vector< int > const& rows, double const shift[ 3 ] )
{
	for ( int r : rows )
		for ( int c = 0; c < 3; ++c ) xyz[ r ][ c ] += shift[ c ];
}

} // namespace

double** RotTran_global_AroundBoundary( double** xyz, int n, Domains domains, int* link, int** linkPos )
{
	char const* who = "RotTran_global_AroundBoundary";
	double** out = copy_rows( xyz, n );
	if ( !domains_usable( n, domains, 1, who ) || !junctions_usable( domains, link, linkPos, who ) ) return out;
	int const D = static_cast< int >( domains.size() );
	RigidMove m;
	m.drawRotation( 1.0 );
	int const k = pick_by_ran( D );
	m.drawTranslation( 0.5 );

	int const L = last( domains, k );
	int lo, hi, centre;
	if ( k >= 1 && link[ k - 1 ] == -1 ) {
		lo = centre = first( domains, k ) - 1;
		hi = L - 1;
	} else if ( n - L <= L ) {
		// Domain k ends in the second half: the tail after it turns.
		int const s = k == D - 1 ? first( domains, k ) : first( domains, k + 1 );
		lo = centre = s - 1;
		hi = n - 1;
	} else {
		lo = 0;
		hi = centre = L - 1;
	}
	double c[ 3 ];
	copy_point( xyz[ centre ], c );
	move_rows( m, xyz, c, row_range( lo, hi ), out );
	return out;
}

double** RotTranAroundBoundary_global( double** xyz, int n, Domains domains, double& gap )
{
	char const* who = "RotTranAroundBoundary_global";
	gap = 0.0;
	double** out = copy_rows( xyz, n );
	if ( !domains_usable( n, domains, 2, who ) ) return out;
	int const D = static_cast< int >( domains.size() );
	RigidMove m;
	m.drawRotation( 1.0 );
	int const k = pick_by_ran( D );
	double const v = Random();
	m.drawTranslation( 0.5 );

	int centre, P, Q;
	if ( k == 0 || ( v > 0.5 && k != D - 1 ) ) {
		centre = P = last( domains, k ) - 1;
		Q = first( domains, k + 1 ) - 1;
	} else {
		centre = Q = first( domains, k ) - 1;
		P = last( domains, k - 1 ) - 1;
	}
	double c[ 3 ];
	copy_point( xyz[ centre ], c );
	move_rows( m, xyz, c, domain_rows( domains, k ), out );

	auto d = []( double const* a, double const* b ) {
		double const x = a[ 0 ] - b[ 0 ], y = a[ 1 ] - b[ 1 ], z = a[ 2 ] - b[ 2 ];
		return std::sqrt( x * x + y * y + z * z );
	};
	// The link after Q, or the one before P when Q is the chain's end.
	if ( Q + 1 < n ) gap = d( out[ Q ], out[ Q + 1 ] );
	else if ( P >= 1 ) gap = d( out[ P - 1 ], out[ P ] );
	return out;
}

double** RotTran_global_AroundDomCenter( double** xyz, int n, Domains domains, double transMax, double angleMax,
	int& picked )
{
	double** out = copy_rows( xyz, n );
	picked = -1;
	if ( !domains_usable( n, domains, 1, "RotTran_global_AroundDomCenter" ) ) return out;
	RigidMove m;
	m.drawRotation( angleMax );
	int const k = pick_by_random( static_cast< int >( domains.size() ) );
	std::vector< int > const rows = domain_rows( domains, k );
	double c[ 3 ];
	domain_centroid( xyz, rows, c );
	m.drawTranslation( transMax );
	move_rows( m, xyz, c, rows, out );
	picked = k;
	return out;
}

void domRotTran_c( double** xyz, int n, Domains domains, std::vector< double* > points, double** dist, double** out )
{
	copy_into( xyz, n, out );
	if ( !domains_usable( n, domains, 1, "domRotTran_c" ) ) return;
	RigidMove m;
	m.drawRotation( 1.5 );
	int const k = pick_by_random( static_cast< int >( domains.size() ) );
	std::vector< int > const rows = domain_rows( domains, k );
	double c[ 3 ];
	domain_centroid( xyz, rows, c );
	m.drawTranslation( 0.5 );
	move_rows( m, xyz, c, rows, out );
	refresh_distances( points, out, rows, dist );
}

void domtra( double** xyz, int n, Domains domains, double transMax, std::vector< double* > points, double** dist,
	double** out )
{
	copy_into( xyz, n, out );
	if ( !domains_usable( n, domains, 1, "domtra" ) ) return;
	int const k = pick_by_ran( static_cast< int >( domains.size() ) );
	RigidMove m;
	m.drawTranslation( transMax );
	std::vector< int > const rows = domain_rows( domains, k );
	double const c[ 3 ] = { 0.0, 0.0, 0.0 };
	move_rows( m, xyz, c, rows, out );
	refresh_distances( points, out, rows, dist );
}

void domrot_c( double** xyz, int n, Domains domains, double angleMax, std::vector< double* > points, double** dist,
	double** out )
{
	copy_into( xyz, n, out );
	if ( !domains_usable( n, domains, 1, "domrot_c" ) ) return;
	RigidMove m;
	m.drawRotation( angleMax );
	int const k = pick_by_ran( static_cast< int >( domains.size() ) );
	std::vector< int > const rows = domain_rows( domains, k );
	double c[ 3 ];
	domain_centroid( xyz, rows, c );
	move_rows( m, xyz, c, rows, out );
	refresh_distances( points, out, rows, dist );
}

void domrot_mid( double** xyz, int n, Domains domains, std::vector< double* > points, double** dist, double** out )
{
	copy_into( xyz, n, out );
	if ( !domains_usable( n, domains, 1, "domrot_mid" ) ) return;
	int const k = pick_by_random( static_cast< int >( domains.size() ) );
	double const theta = ( 2.0 * Random() - 1.0 ) * 1.5;
	double const* a = xyz[ first( domains, k ) - 1 ];
	double const* b = xyz[ last( domains, k ) - 1 ];
	double axis[ 3 ] = { b[ 0 ] - a[ 0 ], b[ 1 ] - a[ 1 ], b[ 2 ] - a[ 2 ] };
	unitVec( axis );
	RigidMove m;
	m.setRotation( axis, theta );
	double c[ 3 ];
	copy_point( a, c );
	std::vector< int > const rows = domain_rows( domains, k );
	move_rows( m, xyz, c, rows, out );
	refresh_distances( points, out, rows, dist );
}

void domRotTran_b1( double** xyz, int n, Domains domains, std::vector< double* > points, double** dist, double** out )
{
	copy_into( xyz, n, out );
	if ( !domains_usable( n, domains, 1, "domRotTran_b1" ) ) return;
	int const D = static_cast< int >( domains.size() );
	RigidMove m;
	m.drawRotation( 1.0 );
	int const k = pick_by_random( D );
	bool atFirst = true;
	if ( k != D - 1 ) atFirst = Random() < 0.5 && k != 0;
	m.drawTranslation( 0.5 );
	double c[ 3 ];
	copy_point( xyz[ ( atFirst ? first( domains, k ) : last( domains, k ) ) - 1 ], c );
	std::vector< int > const rows = domain_rows( domains, k );
	move_rows( m, xyz, c, rows, out );
	refresh_distances( points, out, rows, dist );
}

void domRotTran_b2( double** xyz, int n, Domains domains, int* link, int** linkPos, std::vector< double* > points,
	double** dist, double** out )
{
	char const* who = "domRotTran_b2";
	copy_into( xyz, n, out );
	if ( !domains_usable( n, domains, 1, who ) || !junctions_usable( domains, link, linkPos, who ) ) return;
	RigidMove m;
	m.drawRotation( 1.0 );
	int const k = pick_by_random( static_cast< int >( domains.size() ) );
	m.drawTranslation( 0.5 );
	int lo, hi, centre;
	if ( k >= 1 && link[ k - 1 ] == -1 ) {
		lo = centre = first( domains, k ) - 1;
		hi = last( domains, k ) - 1;
	} else if ( Random() < 0.5 ) {
		lo = 0;
		hi = centre = last( domains, k ) - 1;
	} else {
		lo = centre = first( domains, k ) - 1;
		hi = n - 1;
	}
	double c[ 3 ];
	copy_point( xyz[ centre ], c );
	std::vector< int > const rows = row_range( lo, hi );
	move_rows( m, xyz, c, rows, out );
	refresh_distances( points, out, rows, dist );
}

void domTralin38( double** xyz, int n, Domains domains, int* link, int** linkPos, std::vector< double* > points,
	double** dist, double** out )
{
	char const* who = "domTralin38";
	copy_into( xyz, n, out );
	if ( !domains_usable( n, domains, 2, who ) || !junctions_usable( domains, link, linkPos, who ) ) return;
	int const D = static_cast< int >( domains.size() );
	int const k = pick_by_ran( D );
	double const v = Random();

	// P: the joining residue of domain k; Q: the fixed residue it joins.
	int P, Q;
	if ( k >= 1 && link[ k - 1 ] == -1 ) {
		// Domain k sits inside domain k - 1.
		P = v >= 0.5 ? last( domains, k ) : first( domains, k );
		Q = domains[ k - 1 ][ linkPos[ k - 1 ][ v >= 0.5 ? 1 : 0 ] ];
	} else if ( link[ k ] == -1 ) {
		// Domain k + 1 sits inside domain k.
		Q = v >= 0.5 ? last( domains, k + 1 ) : first( domains, k + 1 );
		P = domains[ k ][ linkPos[ k ][ v >= 0.5 ? 1 : 0 ] ];
	} else if ( k == D - 1 || ( k != 0 && v < 0.5 ) ) {
		P = first( domains, k );
		Q = last( domains, k - 1 );
	} else {
		P = last( domains, k );
		Q = first( domains, k + 1 );
	}

	double** w = copy_rows( xyz, n );
	std::vector< int > const rows = domain_rows( domains, k );
	double shift[ 3 ];
	if ( junction_shift( w[ Q - 1 ], w[ P - 1 ], shift, who ) ) shift_rows( w, rows, shift );
	double c[ 3 ];
	copy_point( w[ P - 1 ], c );

	RigidMove m;
	m.drawTranslation( 1.0 );
	m.drawRotation( 1.5 );
	move_rows( m, w, c, rows, out );
	refresh_distances( points, out, rows, dist );
	release2DArr( n, w );
}

void Tran4lin38( double** xyz, int n, Domains domains, int* link, int** linkPos )
{
	char const* who = "Tran4lin38";
	int const D = static_cast< int >( domains.size() );
	if ( D < 2 ) return;
	if ( !domains_usable( n, domains, 2, who ) || !junctions_usable( domains, link, linkPos, who ) ) return;
	for ( int j = 0; j + 1 < D; ++j ) {
		int const p = link[ j ] == -1 ? domains[ j ][ linkPos[ j ][ 0 ] ] : last( domains, j );
		int const q = first( domains, j + 1 );
		double shift[ 3 ];
		if ( junction_shift( xyz[ p - 1 ], xyz[ q - 1 ], shift, who ) ) shift_rows( xyz, domain_rows( domains, j + 1 ), shift );
	}
}
