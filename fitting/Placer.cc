#include "fitting/Placer.hh"

#include "core/basic_fun_Quilt.hh"

#include <algorithm>
#include <cmath>
#include <iostream>
#include <unordered_map>

namespace {

double const kDegToRad = 0.017453292519943295;

double dist( double const* a, double const* b )
{
	double const dx = a[0] - b[0], dy = a[1] - b[1], dz = a[2] - b[2];
	return std::sqrt( dx * dx + dy * dy + dz * dz );
}

} // namespace

Placer::Placer( int n, double* centre, std::vector<std::vector<double*> > const& model,
	std::vector<std::vector<std::string> > const& names, FastDensityScore const& map, std::string selection,
	std::string modelName, std::string modelDir, bool useEulerGrid, bool quiet )
	: n_( n ), centre_( centre ), map_( map ), selection_( selection ), angleStep_( 30.0 ),
	  useEulerGrid_( useEulerGrid ), quiet_( quiet ), modelName_( modelName ), modelDir_( modelDir )
{
	// Keep only the atoms the selection scores: every score, gradient and
	// centroid of the search reads only those, and each evaluation moves
	// every atom it is given.
	model_.resize( model.size() );
	names_.resize( model.size() );
	for ( size_t i = 0; i < model.size() && i < names.size(); ++i ) {
		for ( size_t j = 0; j < model[i].size() && j < names[i].size(); ++j ) {
			if ( get_mode( names[i][j], selection_ ) ) {
				model_[i].push_back( model[i][j] );
				names_[i].push_back( names[i][j] );
			}
		}
	}
}

Placer::~Placer() {}

void Placer::memory_release()
{
	for ( double* p : points_ ) delete[] p;
	for ( double* p : eulers_ ) delete[] p;
	for ( double* p : starts_ ) delete[] p;
	points_.clear();
	eulers_.clear();
	starts_.clear();
	refined_.clear();
}

void Placer::select_inital_points()
{
	double const Rmap = map_.densRadius;
	double const Rmodel = 2.849 * std::pow( (double)n_, 0.319 );
	double const extent = std::min( std::max( ( Rmap - Rmodel ) * 0.8, 5.0 ), Rmap );
	double const spacing = std::max( 0.85 * Rmodel, 5.0 );
	if ( !quiet_ ) {
		std::cout << "Placer> Max radius of density map: " << Rmap << std::endl;
		std::cout << "Placer> Search extent: " << extent << std::endl;
		std::cout << "Placer> Min radius of model: " << Rmodel << std::endl;
		std::cout << "Placer> The search point radius: " << spacing << std::endl;
	}

	double const* c = map_.densCenter;
	points_.push_back( new double[3]{ 0.0, 0.0, 0.0 } );
	// Accepted positions, flat x, y, z, found through cubic cells of edge
	// (just over) spacing: a position nearer than spacing lies in one of the 27 cells
	// around a voxel's own, so only those are searched (the same decisions as
	// comparing with every accepted position).
	std::vector<double> accepted;
	std::unordered_map<long long, std::vector<int> > cells;
	double const edge = spacing * ( 1.0 + 1e-9 ); // rounding never splits a near pair by two cells
	auto cell_of = [&]( double const* p, int* k ) {
		for ( int a = 0; a < 3; ++a ) k[a] = (int)std::floor( ( p[a] - c[a] ) / edge );
	};
	auto key = []( int i, int j, int k ) {
		return ( (long long)( i + ( 1 << 20 ) ) << 42 ) | ( (long long)( j + ( 1 << 20 ) ) << 21 ) | (long long)( k + ( 1 << 20 ) );
	};
	auto accept = [&]( double const* p ) {
		int k[3];
		cell_of( p, k );
		cells[key( k[0], k[1], k[2] )].push_back( (int)( accepted.size() / 3 ) );
		accepted.insert( accepted.end(), p, p + 3 );
	};
	accept( c );
	for ( int v = 0; v < map_.nDensPoints; ++v ) {
		double const* p = map_.densPoints[v];
		int k[3];
		cell_of( p, k );
		bool near = false;
		for ( int i = -1; i <= 1 && !near; ++i )
			for ( int j = -1; j <= 1 && !near; ++j )
				for ( int l = -1; l <= 1 && !near; ++l ) {
					auto const it = cells.find( key( k[0] + i, k[1] + j, k[2] + l ) );
					if ( it == cells.end() ) continue;
					for ( int a : it->second )
						if ( dist( p, &accepted[3 * a] ) < spacing ) {
							near = true;
							break;
						}
				}
		if ( near ) continue;
		if ( map_.densValues[v] > 0.0 && dist( p, c ) < extent ) {
			points_.push_back( new double[3]{ p[0] - c[0], p[1] - c[1], p[2] - c[2] } );
			accept( p );
		}
	}
}

void Placer::select_initial_euler_angles()
{
	double const s = angleStep_;
	for ( double psi = 0.0; psi < 360.0; psi += s ) {
		for ( double theta = 0.0; theta <= 180.0; theta += s ) {
			int nphi = 1;
			if ( theta != 0.0 && theta != 180.0 )
				nphi = (int)std::nearbyint( std::cos( ( 90.0 - theta ) * kDegToRad ) * 360.0 / s );
			if ( nphi < 1 ) nphi = 1;
			double const dphi = 360.0 / nphi;
			for ( double phi = 0.0; phi < 360.0; phi += dphi )
				eulers_.push_back( new double[3]{ phi * kDegToRad, theta * kDegToRad, psi * kDegToRad } );
		}
	}
}

void Placer::select_start_vector( Multifunc const& f )
{
	select_inital_points();
	select_initial_euler_angles();
	long const P = (long)points_.size();
	long const E = (long)eulers_.size();
	if ( !quiet_ )
		std::cout << "Placer> Selected " << P << " translations vectors and " << E << " Euler angles." << std::endl;
	if ( P * E > 1000000 ) {
		useEulerGrid_ = false;
		std::cout << "Placer> Too many initial positions, ignore the euler angles." << std::endl;
	}

	std::vector<double> scores( P, 0.0 );
	std::vector<double> poses( 6 * P, 0.0 );
	double x[6];
	for ( long i = 0; i < P; ++i ) {
		double const* p = points_[i];
		double* best = &poses[6 * i];
		if ( useEulerGrid_ ) {
			double bestScore = 999999.0;
			x[0] = p[0];
			x[1] = p[1];
			x[2] = p[2];
			for ( long e = 0; e < E; ++e ) {
				x[3] = eulers_[e][0];
				x[4] = eulers_[e][1];
				x[5] = eulers_[e][2];
				double const v = f.value_only( x );
				if ( v < bestScore ) {
					bestScore = v;
					std::copy( x, x + 6, best );
				}
			}
			scores[i] = bestScore;
		} else {
			double const r1 = Random();
			double const r2 = Random();
			double const r3 = Random();
			double const pi = 3.14159265358979323846;
			double y[6] = { p[0], p[1], p[2], pi * r1, pi / 2 * r2, pi * r3 };
			std::copy( y, y + 6, best );
			scores[i] = f.value_only( y );
		}
	}

	int* order = quickSortAscendingInd( scores );
	for ( long k = 0; k < P; ++k ) {
		double* v = new double[6];
		std::copy( &poses[6 * order[k]], &poses[6 * order[k]] + 6, v );
		starts_.push_back( v );
	}
	double const lowest = P > 0 ? scores[order[0]] : 0.0;
	delete[] order;
	if ( !quiet_ ) {
		std::cout << "Placer> Rmoved " << ( P * E - P ) << " redundant 6D vectors, keeping " << P << " vectors."
		          << std::endl;
		std::cout << "Placer> The initial best density score: " << lowest << std::endl;
	}
}

bool Placer::run( std::vector<std::pair<double, double*> >& results, double* centre, int nm, int& generation )
{
	if ( nm < 1 ) {
		std::cout << "Error! The number of poses to keep must be at least 1 (got " << nm << ")." << std::endl;
		return false;
	}
	DensScoreMultifunc f( 6, model_, names_, map_, 5000.0, centre, false, selection_, 0.001 );
	return search( results, nm, generation, f );
}

bool Placer::search( std::vector<std::pair<double, double*> >& results, int nm, int& generation, Multifunc& f )
{
	if ( nm < 1 ) {
		std::cout << "Error! The number of poses to keep must be at least 1 (got " << nm << ")." << std::endl;
		return false;
	}
	size_t const first = results.size();
	select_start_vector( f );

	// Slots for the kept poses: an empty slot holds 0.0 and the zero pose,
	// and a refined pose takes the worst slot when it is better by more than
	// 0.1.  No refinement fills more than one slot, so there are never more
	// slots than refinements, however large nm is.
	double const S = (double)starts_.size();
	int refinements = 0;
	while ( refinements < 0.55 * S ) ++refinements;
	int const slots = std::min( nm, refinements );
	std::vector<bool> filled( slots, false );
	for ( int k = 0; k < slots; ++k ) results.push_back( std::make_pair( 0.0, new double[6]{ 0, 0, 0, 0, 0, 0 } ) );

	Minimizer minimizer( f );
	double best = 99999.0;
	for ( int i = 0; i < refinements; ++i ) {
		double* x = starts_[i];
		double const s = minimizer.run( x, 6, 1000, "fractional" );
		refined_.push_back( std::make_pair( s, x ) );
		if ( slots == 0 ) continue;

		size_t w = first;
		for ( size_t r = first + 1; r < results.size(); ++r )
			if ( results[r].first > results[w].first ) w = r;
		double const worst = results[w].first;
		if ( worst >= s && std::fabs( worst - s ) > 0.1 ) {
			results[w].first = s;
			std::copy( x, x + 6, results[w].second );
			filled[w - first] = true;
		}
		if ( best > s ) {
			if ( std::fabs( s - best ) > 0.1 ) generation = i;
			best = s;
		}
	}
	if ( !quiet_ )
		std::cout << "Placer> The final best density score " << best << " is detected in " << generation
		          << "-th generation." << std::endl;
	// Slots no refinement filled hold no searched pose: dropped.
	size_t kept = first;
	for ( size_t r = first; r < results.size(); ++r ) {
		if ( filled[r - first] ) results[kept++] = results[r];
		else delete[] results[r].second;
	}
	results.resize( kept );
	std::stable_sort( results.begin() + first, results.end(),
		[]( std::pair<double, double*> const& a, std::pair<double, double*> const& b ) { return a.first < b.first; } );
	return true;
}

double* Placer::getCenterPoint_from_6DVec( double* x )
{
	std::vector<std::vector<double*> > moved = Rotation_translation_euler( model_, x, centre_ );
	double* c = getCenterPoint( moved, names_, selection_ );
	releaseVecVecT1D( moved );
	return c;
}

bool similar_orientation( double* a, double* b )
{
	double Ra[3][3], Rb[3][3];
	get_rot_matrix( Ra, a[3], a[4], a[5] );
	get_rot_matrix( Rb, b[3], b[4], b[5] );
	double s = 0.0;
	for ( int i = 0; i < 3; ++i )
		for ( int j = 0; j < 3; ++j ) s += Ra[i][j] * Rb[i][j];
	return ( s - 1.0 ) * 0.5 <= 0.9998477;
}
