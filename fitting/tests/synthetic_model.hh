// A small synthetic protein for fitting tests: three helices of different
// lengths joined by loops (N, CA, C, O, CB per residue), written as PDB text,
// with helpers to move it rigidly and to compare CA positions.
#ifndef QUILT_FITTING_TESTS_SYNTHETIC_MODEL_HH
#define QUILT_FITTING_TESTS_SYNTHETIC_MODEL_HH

#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace synth {

struct Atom {
	std::string name; // "N", "CA", "C", "O", "CB"
	int res;          // residue number from 1
	double p[3];
};

inline void add_residue( std::vector<Atom>& atoms, int res, double const* ca, double const* along, double const* out )
{
	// Backbone atoms placed around the CA: N behind and C ahead along the
	// chain, O beyond C, CB pointing away from the helix axis.
	auto put = [&]( char const* name, double a, double o, double z ) {
		Atom at;
		at.name = name;
		at.res = res;
		for ( int r = 0; r < 3; ++r ) at.p[r] = ca[r] + a * along[r] + o * out[r] + z * ( r == 2 ? 0.3 : 0.0 );
		atoms.push_back( at );
	};
	put( "N", -1.2, -0.6, 0.0 );
	put( "CA", 0.0, 0.0, 0.0 );
	put( "C", 1.2, -0.5, 0.0 );
	put( "O", 1.6, -1.6, 1.0 );
	put( "CB", -0.3, 1.5, 0.0 );
}

// Residues: helix of 20 up the z axis, a loop, 14 down, a loop, 24 up.
inline std::vector<Atom> make_model()
{
	std::vector<Atom> atoms;
	int res = 0;
	double last[3] = { 0, 0, 0 };
	auto helix = [&]( double cx, double cy, double z0, int n, int dir ) {
		for ( int i = 0; i < n; ++i ) {
			double const t = 100.0 * i * 3.141592653589793 / 180.0;
			double const ca[3] = { cx + 2.3 * std::cos( t ), cy + 2.3 * std::sin( t ), z0 + dir * 1.5 * i };
			double const along[3] = { -std::sin( t ) * 0.6, std::cos( t ) * 0.6, dir * 0.8 };
			double const out[3] = { std::cos( t ), std::sin( t ), 0.0 };
			add_residue( atoms, ++res, ca, along, out );
			for ( int r = 0; r < 3; ++r ) last[r] = ca[r];
		}
	};
	auto loop = [&]( double const* to, int n ) {
		double const from[3] = { last[0], last[1], last[2] };
		for ( int i = 1; i <= n; ++i ) {
			double const f = (double)i / ( n + 1 );
			double const ca[3] = { from[0] + f * ( to[0] - from[0] ), from[1] + f * ( to[1] - from[1] ) + 2.0 * std::sin( 3.14159 * f ),
				from[2] + f * ( to[2] - from[2] ) + 3.0 * std::sin( 3.14159 * f ) };
			double const along[3] = { 0.8, 0.0, 0.6 };
			double const out[3] = { 0.0, 0.0, 1.0 };
			add_residue( atoms, ++res, ca, along, out );
		}
	};
	helix( 0.0, 0.0, 0.0, 20, 1 );
	double const to1[3] = { 10.0, 0.0, 28.5 };
	loop( to1, 3 );
	helix( 10.0, 0.0, 28.5, 14, -1 );
	double const to2[3] = { 5.0, 8.7, -3.0 };
	loop( to2, 4 );
	helix( 5.0, 8.7, -3.0, 24, 1 );
	return atoms;
}

inline std::string pdb_text( std::vector<Atom> const& atoms )
{
	std::ostringstream os;
	char line[128];
	int serial = 0;
	for ( Atom const& a : atoms ) {
		std::string const field = " " + a.name + std::string( 3 - a.name.size(), ' ' );
		std::snprintf( line, sizeof line, "ATOM  %5d %4s ALA A%4d    %8.3f%8.3f%8.3f  1.00 20.00           %c",
			++serial, field.c_str(), a.res, a.p[0], a.p[1], a.p[2], a.name[0] );
		os << line << "\n";
	}
	os << "TER\nEND\n";
	return os.str();
}

inline void write_pdb( std::string const& path, std::vector<Atom> const& atoms )
{
	std::ofstream out( path.c_str() );
	out << pdb_text( atoms );
}

// x' = c + t + R (x - c) with R = Rz(a) Rx(b) Rz(c2), c the mean of all atoms.
inline std::vector<Atom> moved( std::vector<Atom> atoms, double a, double b, double c2, double const* t )
{
	double const ca = std::cos( a ), sa = std::sin( a ), cb = std::cos( b ), sb = std::sin( b );
	double const cc = std::cos( c2 ), sc = std::sin( c2 );
	double const Rz1[3][3] = { { ca, -sa, 0 }, { sa, ca, 0 }, { 0, 0, 1 } };
	double const Rx[3][3] = { { 1, 0, 0 }, { 0, cb, -sb }, { 0, sb, cb } };
	double const Rz2[3][3] = { { cc, -sc, 0 }, { sc, cc, 0 }, { 0, 0, 1 } };
	double T[3][3] = {}, R[3][3] = {};
	for ( int i = 0; i < 3; ++i )
		for ( int j = 0; j < 3; ++j )
			for ( int k = 0; k < 3; ++k ) T[i][j] += Rz1[i][k] * Rx[k][j];
	for ( int i = 0; i < 3; ++i )
		for ( int j = 0; j < 3; ++j )
			for ( int k = 0; k < 3; ++k ) R[i][j] += T[i][k] * Rz2[k][j];
	double c[3] = { 0, 0, 0 };
	for ( Atom const& at : atoms )
		for ( int r = 0; r < 3; ++r ) c[r] += at.p[r] / atoms.size();
	for ( Atom& at : atoms ) {
		double const d[3] = { at.p[0] - c[0], at.p[1] - c[1], at.p[2] - c[2] };
		for ( int r = 0; r < 3; ++r ) at.p[r] = c[r] + t[r] + R[r][0] * d[0] + R[r][1] * d[1] + R[r][2] * d[2];
	}
	return atoms;
}

// CA coordinates of a PDB file's ATOM records, in file order.
inline std::vector<std::vector<double> > read_ca( std::string const& path )
{
	std::vector<std::vector<double> > out;
	std::ifstream in( path.c_str() );
	std::string line;
	while ( std::getline( in, line ) ) {
		if ( line.compare( 0, 4, "ATOM" ) != 0 || line.size() < 54 || line.substr( 12, 4 ) != " CA " ) continue;
		out.push_back( { std::atof( line.substr( 30, 8 ).c_str() ), std::atof( line.substr( 38, 8 ).c_str() ),
			std::atof( line.substr( 46, 8 ).c_str() ) } );
	}
	return out;
}

// CA RMSD in place (no superposition); a large value when the counts differ.
inline double ca_rmsd( std::vector<std::vector<double> > const& a, std::vector<std::vector<double> > const& b )
{
	if ( a.size() != b.size() || a.empty() ) return 1e9;
	double s = 0.0;
	for ( size_t i = 0; i < a.size(); ++i )
		for ( int r = 0; r < 3; ++r ) s += ( a[i][r] - b[i][r] ) * ( a[i][r] - b[i][r] );
	return std::sqrt( s / a.size() );
}

} // namespace synth

#endif
