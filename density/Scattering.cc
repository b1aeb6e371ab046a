// Element table and Gaussian exponents of the one-Gaussian scattering model.
#include "density/Scattering.hh"

#include <algorithm>
#include <iostream>
#include <map>

namespace {
double const kPi2 = 9.869604401089358;
}

double soft_quarter_B( double B, double Bmax )
{
	if ( B < 0.0 ) return 0.0;
	if ( B < 1.0 ) return B * B * 0.25;
	if ( B > Bmax - 10.0 && B <= Bmax ) return ( ( B - Bmax ) * 0.1 * ( Bmax - B ) + Bmax ) * 0.25;
	return std::min( B, Bmax ) * 0.25;
}

double OneGaussianScattering::k( double B, double Bmax ) const
{
	return kPi2 / ( s + soft_quarter_B( B, Bmax ) );
}

OneGaussianScattering get_A( std::string element )
{
	// Values are single-precision constants of the original table.
	static std::map< std::string, OneGaussianScattering > table;
	if ( table.empty() ) {
		table[ "C" ] = OneGaussianScattering( double( 7.10668f ), double( 6.0f ) );
		table[ "N" ] = OneGaussianScattering( double( 6.03448f ), double( 5.28737f ) );
		table[ "O" ] = OneGaussianScattering( double( 5.17616f ), double( 4.74213f ) );
		table[ "NA" ] = OneGaussianScattering( double( 6.58734f ), double( 11.42607f ) );
		table[ "MG" ] = OneGaussianScattering( double( 7.34364f ), double( 12.45197f ) );
		table[ "P" ] = OneGaussianScattering( double( 7.48955f ), double( 13.12395f ) );
		table[ "S" ] = OneGaussianScattering( double( 7.05366f ), double( 12.34197f ) );
		table[ "K" ] = OneGaussianScattering( double( 7.0936f ), double( 21.48425f ) );
		table[ "CA" ] = OneGaussianScattering( double( 7.47775f ), double( 23.70586f ) );
		table[ "FE" ] = OneGaussianScattering( double( 5.96932f ), double( 17.13431f ) );
		table[ "CO" ] = OneGaussianScattering( double( 5.56662f ), double( 15.70905f ) );
		table[ "NI" ] = OneGaussianScattering( double( 5.56662f ), double( 15.70905f ) );
		table[ "ZN" ] = OneGaussianScattering( double( 5.56662f ), double( 15.70905f ) );
		table[ "X" ] = OneGaussianScattering( double( 4.88284f ), 0.0 );
	}
	auto it = table.find( element );
	if ( it == table.end() ) {
		std::cout << "Warning! Unknown atom " << element << std::endl;
		return table[ "C" ];
	}
	return it->second;
}

double getAtmMass( std::string element )
{
	if ( element == "N" ) return 14.01;
	if ( element == "C" ) return 12.01;
	if ( element == "O" ) return 16.0;
	return 12.01;
}

bool pose_has_nonzero_Bs( std::vector< poseCoord > const& pose )
{
	for ( poseCoord const& p : pose ) {
		if ( p.B > 0.0 ) return true;
	}
	return false;
}
