#include "transforms/RigidMoves.hh"

#include "core/basic_fun_Quilt.hh"
#include "transforms/RigidBodyMath.hh"

#include <cmath>
#include <iostream>

namespace {

double** copy_rows( double** p, int n )
{
	double** out = new2DArr( n, 3 );
	for ( int i = 0; i < n; ++i )
		for ( int c = 0; c < 3; ++c ) out[ i ][ c ] = p[ i ][ c ];
	return out;
}

enum class CentreKind { Junction, BothCentroid, MovedCentroid };

// The pieces a member reads must hold rows: the moved piece always (its
// junction row or centroid), and both for a centroid of both.
bool pieces_usable( int na, int nb, bool moveFirst, CentreKind kind, char const* who )
{
	bool const ok = kind == CentreKind::BothCentroid ? ( na >= 1 && nb >= 1 ) : ( moveFirst ? na >= 1 : nb >= 1 );
	if ( !ok ) {
		std::cout << "Error! " << who << " needs non-empty chain pieces (" << na << " and " << nb
		          << " rows given); nothing is moved." << std::endl;
	}
	return ok;
}

// One random move of piece a (moveFirst), piece b, or both (moveBoth), about
// the centre of the given kind.  Both results are new arrays; the piece not
// moved is copied.  Draws: axis, angle, translation.
PiecePair two_piece_move( double** a, double** b, int na, int nb, bool moveFirst, bool moveBoth,
	CentreKind kind, double transMax, double angleMax, char const* who )
{
	if ( !pieces_usable( na, nb, moveFirst, kind, who ) ) {
		return PiecePair( copy_rows( a, na > 0 ? na : 0 ), copy_rows( b, nb > 0 ? nb : 0 ) );
	}
	RigidMove move;
	move.drawRotation( angleMax );
	double c[ 3 ];
	double* centroid = nullptr;
	switch ( kind ) {
	case CentreKind::Junction:
		centroid = new1DArr( 3 );
		for ( int i = 0; i < 3; ++i ) centroid[ i ] = moveFirst ? a[ na - 1 ][ i ] : b[ 0 ][ i ];
		break;
	case CentreKind::BothCentroid:
		centroid = getCenterPoint( a, b, na, nb );
		break;
	case CentreKind::MovedCentroid:
		centroid = moveFirst ? getCenterPoint( a, na ) : getCenterPoint( b, nb );
		break;
	}
	for ( int i = 0; i < 3; ++i ) c[ i ] = centroid[ i ];
	delete[] centroid;
	move.drawTranslation( transMax );

	PiecePair out( copy_rows( a, na ), copy_rows( b, nb ) );
	if ( moveBoth || moveFirst ) {
		for ( int i = 0; i < na; ++i ) move.apply( a[ i ], c, out.first[ i ] );
	}
	if ( moveBoth || !moveFirst ) {
		for ( int i = 0; i < nb; ++i ) move.apply( b[ i ], c, out.second[ i ] );
	}
	return out;
}

// The moved piece of a pair; the other is released.
double** moved_only( PiecePair p, int na, int nb, bool moveFirst )
{
	if ( moveFirst ) {
		release2DArr( nb > 0 ? nb : 0, p.second );
		return p.first;
	}
	release2DArr( na > 0 ? na : 0, p.first );
	return p.second;
}

} // namespace

double** RotTran( double** a, double** b, int na, int nb, bool, bool moveFirst )
{
	return moved_only( two_piece_move( a, b, na, nb, moveFirst, false, CentreKind::Junction, 0.5, 1.0, "RotTran" ),
		na, nb, moveFirst );
}

double** RotTran4Dens( double** a, double** b, int na, int nb, bool moveFirst )
{
	return moved_only(
		two_piece_move( a, b, na, nb, moveFirst, false, CentreKind::BothCentroid, 0.3, 1.0, "RotTran4Dens" ), na, nb,
		moveFirst );
}

PiecePair RotTranAroundCenter( double** a, double** b, int na, int nb, bool moveFirst )
{
	return two_piece_move( a, b, na, nb, moveFirst, false, CentreKind::BothCentroid, 0.05, 1.0,
		"RotTranAroundCenter" );
}

PiecePair RotTranAroundCenter_NC( double** a, double** b, int na, int nb )
{
	return two_piece_move( a, b, na, nb, true, true, CentreKind::BothCentroid, 0.05, 1.0, "RotTranAroundCenter_NC" );
}

PiecePair RotTranAroundBounday( double** a, double** b, int na, int nb, bool moveFirst )
{
	return RotTranAroundBounday( a, b, na, nb, moveFirst, 0.5, 1.0 );
}

PiecePair RotTranAroundBounday( double** a, double** b, int na, int nb, bool moveFirst, double transMax,
	double angleMax )
{
	return two_piece_move( a, b, na, nb, moveFirst, false, CentreKind::Junction, transMax, angleMax,
		"RotTranAroundBounday" );
}

PiecePair RotTranAroundDomCenter( double** a, double** b, int na, int nb, bool moveFirst, double transMax,
	double angleMax )
{
	return two_piece_move( a, b, na, nb, moveFirst, false, CentreKind::MovedCentroid, transMax, angleMax,
		"RotTranAroundDomCenter" );
}

double** RotTranAroundCenter_all( double** xyz, int n, double transMax )
{
	return RotTranAroundCenter_all( xyz, n, transMax, 1.0 );
}

double** RotTranAroundCenter_all( double** xyz, int n, double transMax, double angleMax )
{
	if ( n < 1 ) {
		std::cout << "Error! RotTranAroundCenter_all needs at least one point; nothing is moved." << std::endl;
		return new2DArr( 0, 3 );
	}
	RigidMove move;
	move.drawRotation( angleMax );
	double* c = getCenterPoint( xyz, n );
	move.drawTranslation( transMax );
	double** out = new2DArr( n, 3 );
	for ( int i = 0; i < n; ++i ) move.apply( xyz[ i ], c, out[ i ] );
	delete[] c;
	return out;
}

double** RotTranAroundCenter_all( double** xyz, int n, double transMax, double angleMax,
	std::vector< double* > points, double** dist )
{
	double** out = RotTranAroundCenter_all( xyz, n, transMax, angleMax );
	std::vector< int > rows( n > 0 ? n : 0 );
	for ( int i = 0; i < n; ++i ) rows[ i ] = i;
	refresh_distances( points, out, rows, dist );
	return out;
}

void Tran4lin38( double** a, double** b, int na, int nb, bool useIndex, int index, bool moveFirst )
{
	if ( na < 1 || nb < 1 ) {
		std::cout << "Error! Tran4lin38 needs two non-empty chain pieces (" << na << " and " << nb
		          << " rows given); nothing is moved." << std::endl;
		return;
	}
	double shift[ 3 ];
	if ( moveFirst ) {
		if ( !junction_shift( b[ 0 ], a[ na - 1 ], shift, "Tran4lin38" ) ) return;
		for ( int i = 0; i < na; ++i )
			for ( int c = 0; c < 3; ++c ) a[ i ][ c ] += shift[ c ];
		return;
	}
	int p = na - 1;
	if ( useIndex ) {
		if ( index < 0 || index >= na ) {
			std::cout << "Error! Tran4lin38: junction row " << index << " lies outside the first piece (" << na
			          << " rows); nothing is moved." << std::endl;
			return;
		}
		p = index;
	}
	if ( !junction_shift( a[ p ], b[ 0 ], shift, "Tran4lin38" ) ) return;
	for ( int i = 0; i < nb; ++i )
		for ( int c = 0; c < 3; ++c ) b[ i ][ c ] += shift[ c ];
}

double discontinuous_lin_dis( double** a, double** b, int i, int nb )
{
	if ( nb < 1 || i < 0 ) {
		std::cout << "Error! discontinuous_lin_dis: no gap between row " << i << " and a piece of " << nb
		          << " rows." << std::endl;
		return HUGE_VAL;
	}
	auto d = []( double const* p, double const* q ) {
		double const x = p[ 0 ] - q[ 0 ], y = p[ 1 ] - q[ 1 ], z = p[ 2 ] - q[ 2 ];
		return std::sqrt( x * x + y * y + z * z );
	};
	return ( d( a[ i ], b[ 0 ] ) + d( a[ i + 1 ], b[ nb - 1 ] ) ) / 2.0;
}

namespace {

bool centroids_usable( int nt, int n )
{
	if ( nt < 1 || n < 1 ) {
		std::cout << "Error! TranModel2Vol needs a non-empty target and model (" << nt << " and " << n
		          << " points given); nothing is moved." << std::endl;
		return false;
	}
	return true;
}

// shift = target centroid - model centroid; frees both centroids.
void centroid_shift( double* target, double* model, double shift[ 3 ] )
{
	for ( int c = 0; c < 3; ++c ) shift[ c ] = target[ c ] - model[ c ];
	delete[] target;
	delete[] model;
}

void shift_rows( double** p, int n, double const shift[ 3 ] )
{
	for ( int i = 0; i < n; ++i )
		for ( int c = 0; c < 3; ++c ) p[ i ][ c ] += shift[ c ];
}

int atom_count( std::vector< std::vector< double* > > const& atoms )
{
	int n = 0;
	for ( auto const& res : atoms ) n += static_cast< int >( res.size() );
	return n;
}

void shift_atoms( std::vector< std::vector< double* > >& atoms, double const shift[ 3 ] )
{
	for ( auto& res : atoms )
		for ( double* p : res ) shift_rows( &p, 1, shift );
}

} // namespace

void TranModel2Vol( std::vector< double* > target, double** xyz, int n )
{
	int const nt = static_cast< int >( target.size() );
	if ( !centroids_usable( nt, n ) ) return;
	double** t = new2DArr( nt, 3 );
	for ( int i = 0; i < nt; ++i )
		for ( int c = 0; c < 3; ++c ) t[ i ][ c ] = target[ i ][ c ];
	double shift[ 3 ];
	centroid_shift( getCenterPoint( t, nt ), getCenterPoint( xyz, n ), shift );
	release2DArr( nt, t );
	shift_rows( xyz, n, shift );
}

void TranModel2Vol( double** target, int nt, double** xyz, int n )
{
	if ( !centroids_usable( nt, n ) ) return;
	double shift[ 3 ];
	centroid_shift( getCenterPoint( target, nt ), getCenterPoint( xyz, n ), shift );
	shift_rows( xyz, n, shift );
}

void TranModel2Vol( std::vector< double* > target, double** a, double** b, int na, int nb )
{
	int const nt = static_cast< int >( target.size() );
	if ( !centroids_usable( nt, ( na > 0 ? na : 0 ) + ( nb > 0 ? nb : 0 ) ) ) return;
	if ( na < 0 ) na = 0;
	if ( nb < 0 ) nb = 0;
	double shift[ 3 ];
	centroid_shift( getCenterPoint( target, nt ), getCenterPoint( a, b, na, nb ), shift );
	shift_rows( a, na, shift );
	shift_rows( b, nb, shift );
}

// The per-residue forms take the centroid of every atom; that is what the
// "centroid" selection of the named form gives, and it stays right when a
// name list is shorter than its atom list.
void TranModel2Vol( double** target, int nt, std::vector< std::vector< double* > >& atoms,
	std::vector< std::vector< std::string > > )
{
	if ( !centroids_usable( nt, atom_count( atoms ) ) ) return;
	double shift[ 3 ];
	centroid_shift( getCenterPoint( target, nt ), getCenterPoint( atoms ), shift );
	shift_atoms( atoms, shift );
}

void TranModel2Vol( std::vector< double* > target, std::vector< std::vector< double* > >& atoms,
	std::vector< std::vector< std::string > > )
{
	int const nt = static_cast< int >( target.size() );
	if ( !centroids_usable( nt, atom_count( atoms ) ) ) return;
	double shift[ 3 ];
	centroid_shift( getCenterPoint( target, nt ), getCenterPoint( atoms ), shift );
	shift_atoms( atoms, shift );
}
