#include "fitting/DensScoreMultifunc.hh"

#include <iostream>

namespace {

FastDensityScore& slot()
{
	static FastDensityScore theDensityMap;
	return theDensityMap;
}

} // namespace

FastDensityScore& objectiveDensityMap() { return slot(); }

FastDensityScore& getDensityMap( FastDensityScore const& map )
{
	// Copies of a map share its values and its score-table holder, also
	// tables built after the copy was taken: installing a copy of the map
	// held costs no table building, and any other map simply replaces it.
	FastDensityScore& held = slot();
	if ( &map != &held ) held = map;
	return held;
}

DensScoreMultifunc::DensScoreMultifunc( int dimension, std::vector<std::vector<double*> > const& model,
	std::vector<std::vector<std::string> > const& names, FastDensityScore const& map, double weight,
	double* centre, bool dumpFlag, std::string selection, double h )
	: dimension_( dimension ), model_( model ), names_( names ), map_( map ), ownMap_( true ), weight_( weight ),
	  centre_( centre ), dumpFlag_( dumpFlag ), selection_( selection ), h_( h ) {}

DensScoreMultifunc::DensScoreMultifunc( int dimension, std::vector<std::vector<double*> > const& model,
	std::vector<std::vector<std::string> > const& names, double weight, double* centre, bool dumpFlag,
	std::string selection, double h )
	: dimension_( dimension ), model_( model ), names_( names ), ownMap_( false ), weight_( weight ),
	  centre_( centre ), dumpFlag_( dumpFlag ), selection_( selection ), h_( h ) {}

double DensScoreMultifunc::operator()( double* x ) const
{
	double pose[6] = { 0, 0, 0, 0, 0, 0 };
	for ( int i = 0; i < dimension_ && i < 6; ++i ) pose[i] = x[i];
	double grad[6];
	double const s = map().getFastDensScoreAndGrad_6D( model_, names_, pose, grad, centre_, selection_ );
	return -weight_ * s;
}

double DensScoreMultifunc::value_only( double* x ) const
{
	double pose[6] = { 0, 0, 0, 0, 0, 0 };
	for ( int i = 0; i < dimension_ && i < 6; ++i ) pose[i] = x[i];
	double const s = map().getFastDensScore_6D( model_, names_, pose, centre_, selection_ );
	return -weight_ * s;
}

void DensScoreMultifunc::dfunc( double* x, double* g ) const
{
	double pose[6] = { 0, 0, 0, 0, 0, 0 };
	for ( int i = 0; i < dimension_ && i < 6; ++i ) pose[i] = x[i];
	double grad[6] = { 0, 0, 0, 0, 0, 0 };
	map().dCCdx_fastRes_6D( model_, names_, pose, grad, centre_, selection_ );
	for ( int i = 0; i < dimension_ && i < 6; ++i ) g[i] = -weight_ * grad[i];
}

void DensScoreMultifunc::dump( double* x, double* ) const
{
	if ( !dumpFlag_ ) return;
	std::vector<double> a( dimension_, 0.0 );
	dfunc( x, a.data() );
	double const f = ( *this )( x );
	std::cerr << "[deriv] score = " << f << std::endl;
	for ( int i = 0; i < dimension_; ++i ) {
		double const keep = x[i];
		x[i] = keep + h_;
		double const fp = ( *this )( x );
		x[i] = keep - h_;
		double const fm = ( *this )( x );
		x[i] = keep;
		std::cerr << "[deriv] x:" << i << "  B: " << x[i] << "  A: " << a[i] << "  N: " << ( fp - fm ) / ( 2 * h_ )
		          << "    r: " << 2 * h_ * a[i] / ( fp - fm ) << std::endl;
	}
}
