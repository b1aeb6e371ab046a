// One-Gaussian scattering model of atoms for calculated densities.
//
// Every density computed from atoms models an atom as one spherical
// Gaussian A exp(-k d^2) with k = pi^2 / (s + B'/4): s is the element's width
// term (A^2), B' the atom's soft-limited B factor (A^2).  The element of an
// atom is the first character of its atom name ("CA" is carbon); only the
// whole-string lookup get_A("CA") gives calcium.
#ifndef QUILT_DENSITY_SCATTERING_HH
#define QUILT_DENSITY_SCATTERING_HH

#include <string>
#include <vector>

// One atom for density calculation: Cartesian position (A), B factor (A^2)
// and the atom name, whose first character is the element.
struct poseCoord {
	double x = 0.0;
	double y = 0.0;
	double z = 0.0;
	double B = 0.0;
	std::string elt;
};

// One element's Gaussian scattering parameters.
struct OneGaussianScattering {
	double s = 0.0; // width term, A^2
	double a = 0.0; // scattering weight (carbon 6.0)

	OneGaussianScattering() = default;
	OneGaussianScattering( double s_in, double a_in ) : s( s_in ), a( a_in ) {}

	// Gaussian exponent pi^2 / (s + B'/4) in 1/A^2, B' the soft-limited B:
	// 0 below 0, B^2 below 1, a smooth cap reaching Bmax at Bmax, Bmax above.
	double k( double B, double Bmax ) const;
};

// The soft-limited B factor (already divided by four) used by k().
double soft_quarter_B( double B, double Bmax );

// Parameters of an element symbol (exact, case-sensitive match).  An unknown
// element prints "Warning! Unknown atom X" and gives carbon's parameters.
OneGaussianScattering get_A( std::string element );

// Atomic mass: "N" 14.01, "C" 12.01, "O" 16.0, anything else 12.01.
double getAtmMass( std::string element );

// True when at least one atom has a B factor strictly above 0.
bool pose_has_nonzero_Bs( std::vector< poseCoord > const& pose );

// Fast-score weight of an element: the integer part of its scattering
// weight divided by six (1 for carbon, 5/6 nitrogen, 2/3 oxygen, 2 sulphur).
inline double fast_score_weight( OneGaussianScattering const& g )
{
	return static_cast< double >( static_cast< long >( g.a ) ) * 0.16666666666666666;
}

#endif
