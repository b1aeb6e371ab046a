// Test cases for the sibling programs: chains of the shared structures
// moved by random rigid motions, nucleic-acid chains masked as the assembly
// program masks them, the command lines the assembly program builds, and the
// checks on the files the programs leave.
#ifndef QUILT_SIBLINGS_TESTS_SIBLING_CASES_HH
#define QUILT_SIBLINGS_TESTS_SIBLING_CASES_HH

#include "core/basic_fun_Quilt.hh"
#include "testsupport/test_data.hh"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <string>
#include <sys/wait.h>
#include <vector>

namespace sibtest {

using P3 = std::array<double, 3>;

inline bool is_atom( std::string const& l ) { return l.compare( 0, 4, "ATOM" ) == 0 && l.size() >= 54; }

inline P3 coords( std::string const& l )
{
	return { std::atof( l.substr( 30, 8 ).c_str() ), std::atof( l.substr( 38, 8 ).c_str() ),
		std::atof( l.substr( 46, 8 ).c_str() ) };
}

inline std::string with_coords( std::string const& l, P3 const& p )
{
	char buf[32];
	std::snprintf( buf, sizeof buf, "%8.3f%8.3f%8.3f", p[0], p[1], p[2] );
	return l.substr( 0, 30 ) + buf + l.substr( 54 );
}

// ATOM lines of chain `chain` (column 22) of a file, over "TER" records.
inline std::vector<std::string> chain_lines( std::string const& path, char chain )
{
	std::vector<std::string> out;
	std::ifstream in( path.c_str() );
	std::string line;
	while ( std::getline( in, line ) )
		if ( is_atom( line ) && line[21] == chain ) out.push_back( line );
	return out;
}

// The assembly program's masking of a nucleic-acid line: residue "ALA", the
// C4' atom named "CA".
inline std::string mask_na( std::string l )
{
	l.replace( 17, 3, "ALA" );
	if ( l.substr( 13, 3 ) == "C4'" ) l.replace( 13, 3, "CA " );
	return l;
}

struct Motion {
	double R[3][3];
	P3 t;
};

// A random rigid motion about the centroid c: rotation of 60-170 degrees
// about a random axis, shift of 10-20 A.
inline Motion random_motion( std::vector<std::string> const& lines, unsigned seed )
{
	std::mt19937 rng( seed );
	std::uniform_real_distribution<double> u( 0.0, 1.0 );
	std::normal_distribution<double> g( 0.0, 1.0 );
	double axis[3] = { g( rng ), g( rng ), g( rng ) };
	double const an = std::sqrt( axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2] );
	for ( double& a : axis ) a /= an;
	double const angle = ( 60.0 + 110.0 * u( rng ) ) * M_PI / 180.0;
	double shift[3] = { g( rng ), g( rng ), g( rng ) };
	double const sn = std::sqrt( shift[0] * shift[0] + shift[1] * shift[1] + shift[2] * shift[2] );
	double const len = 10.0 + 10.0 * u( rng );
	double const c = std::cos( angle ), s = std::sin( angle ), t = 1 - c;
	double const x = axis[0], y = axis[1], z = axis[2];
	Motion m = { { { t * x * x + c, t * x * y - s * z, t * x * z + s * y },
		{ t * x * y + s * z, t * y * y + c, t * y * z - s * x }, { t * x * z - s * y, t * y * z + s * x, t * z * z + c } },
		{ 0, 0, 0 } };
	P3 cen = { 0, 0, 0 };
	for ( auto const& l : lines ) {
		P3 const p = coords( l );
		for ( int r = 0; r < 3; ++r ) cen[r] += p[r] / lines.size();
	}
	// x' = cen + shift + R (x - cen)
	for ( int r = 0; r < 3; ++r )
		m.t[r] = cen[r] + shift[r] * len / sn - ( m.R[r][0] * cen[0] + m.R[r][1] * cen[1] + m.R[r][2] * cen[2] );
	return m;
}

inline P3 move( Motion const& m, P3 const& p )
{
	P3 q;
	for ( int r = 0; r < 3; ++r ) q[r] = m.R[r][0] * p[0] + m.R[r][1] * p[1] + m.R[r][2] * p[2] + m.t[r];
	return q;
}

inline void write_lines( std::string const& path, std::vector<std::string> const& lines, Motion const* m,
	std::string const& tail = "TER\nEND\n" )
{
	std::ofstream out( path.c_str() );
	for ( auto const& l : lines ) out << ( m ? with_coords( l, move( *m, coords( l ) ) ) : l ) << "\n";
	out << tail;
}

// Coordinates of the atoms of a name (all when name is empty) in file order.
inline std::vector<P3> atoms_named( std::string const& path, std::string const& name )
{
	std::vector<P3> out;
	std::ifstream in( path.c_str() );
	std::string line;
	while ( std::getline( in, line ) ) {
		if ( !is_atom( line ) ) continue;
		std::string n = line.substr( 12, 4 );
		n.erase( 0, n.find_first_not_of( ' ' ) );
		n.erase( n.find_last_not_of( ' ' ) + 1 );
		if ( name.empty() || n == name ) out.push_back( coords( line ) );
	}
	return out;
}

inline double rmsd( std::vector<P3> const& a, std::vector<P3> const& b )
{
	if ( a.size() != b.size() || a.empty() ) return 1e9;
	double s = 0;
	for ( size_t i = 0; i < a.size(); ++i )
		for ( int r = 0; r < 3; ++r ) s += ( a[i][r] - b[i][r] ) * ( a[i][r] - b[i][r] );
	return std::sqrt( s / a.size() );
}

inline std::vector<std::string> read_lines( std::string const& path )
{
	std::vector<std::string> out;
	std::ifstream in( path.c_str() );
	std::string line;
	while ( std::getline( in, line ) ) out.push_back( line );
	return out;
}

// True when `output` is a line copy of `input`: the same lines, atom lines
// differing at most in their coordinate columns 31-54.
inline bool is_line_copy( std::string const& input, std::string const& output, std::string* why = nullptr )
{
	std::vector<std::string> const a = read_lines( input ), b = read_lines( output );
	if ( a.size() != b.size() ) {
		if ( why ) *why = "line counts differ: " + std::to_string( a.size() ) + " vs " + std::to_string( b.size() );
		return false;
	}
	for ( size_t i = 0; i < a.size(); ++i ) {
		bool same = a[i] == b[i];
		if ( !same && is_atom( a[i] ) && a[i].size() == b[i].size() )
			same = a[i].substr( 0, 30 ) == b[i].substr( 0, 30 ) && a[i].substr( 54 ) == b[i].substr( 54 );
		if ( !same ) {
			if ( why ) *why = "line " + std::to_string( i + 1 ) + ": '" + a[i] + "' vs '" + b[i] + "'";
			return false;
		}
	}
	return true;
}

// Runs a shell command, returns its output (standard output and error).
inline std::string run( std::string const& cmd, int& status ) { return quilt_test::run_command( "( " + cmd + " )", status ); }

// The program directory as the assembly program holds it (ending in "/").
inline std::string program_dir() { return quilt_test::bin_dir() + "/"; }
inline std::string q( std::string const& s ) { return shell_quote( s ); }

// A scratch directory whose path holds a blank, as user data paths may.
class BlankDir {
public:
	BlankDir() : dir_( "sib work" )
	{
		path_ = dir_.path() + "/data dir";
		int st = 0;
		run( "mkdir -p " + q( path_ ), st );
	}
	std::string const& path() const { return path_; }
	std::string file( std::string const& n ) const { return path_ + "/" + n; }

private:
	quilt_test::ScratchDir dir_;
	std::string path_;
};

// Files of a directory (names only, sorted).
inline std::vector<std::string> listing( std::string const& dir )
{
	int st = 0;
	std::string const out = run( "ls -A " + q( dir ), st );
	std::vector<std::string> names;
	size_t at = 0;
	while ( at < out.size() ) {
		size_t const e = out.find( '\n', at );
		names.push_back( out.substr( at, e - at ) );
		if ( e == std::string::npos ) break;
		at = e + 1;
	}
	return names;
}

} // namespace sibtest

#endif

namespace sibtest {

// Rotation by `degrees` about the axis through a and b, as a Motion.
inline Motion axis_rotation( P3 const& a, P3 const& b, double degrees )
{
	double axis[3] = { b[0] - a[0], b[1] - a[1], b[2] - a[2] };
	double const n = std::sqrt( axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2] );
	for ( double& v : axis ) v /= n;
	double const ang = degrees * M_PI / 180.0, c = std::cos( ang ), s = std::sin( ang ), t = 1 - c;
	double const x = axis[0], y = axis[1], z = axis[2];
	Motion m = { { { t * x * x + c, t * x * y - s * z, t * x * z + s * y },
		{ t * x * y + s * z, t * y * y + c, t * y * z - s * x }, { t * x * z - s * y, t * y * z + s * x, t * z * z + c } },
		{ 0, 0, 0 } };
	for ( int r = 0; r < 3; ++r ) m.t[r] = a[r] - ( m.R[r][0] * a[0] + m.R[r][1] * a[1] + m.R[r][2] * a[2] );
	return m;
}

inline int residue_number( std::string const& l ) { return std::atoi( l.substr( 22, 4 ).c_str() ); }

inline P3 ca_of( std::vector<std::string> const& lines, int number )
{
	for ( auto const& l : lines )
		if ( residue_number( l ) == number && l.substr( 12, 4 ) == " CA " ) return coords( l );
	return { 0, 0, 0 };
}

// The lines with the residues first..last rotated by `degrees` about the
// axis through the CAs of residues first - 1 and last + 1 (a hinge motion
// that keeps the chain joined).
inline std::vector<std::string> hinge_moved( std::vector<std::string> const& lines, int first, int last, double degrees )
{
	Motion const m = axis_rotation( ca_of( lines, first - 1 ), ca_of( lines, last + 1 ), degrees );
	std::vector<std::string> out;
	for ( auto const& l : lines ) {
		int const n = residue_number( l );
		out.push_back( n >= first && n <= last ? with_coords( l, move( m, coords( l ) ) ) : l );
	}
	return out;
}

// A small rigid displacement: `degrees` about a random axis through the
// centroid and a shift of `shift` A.
inline std::vector<std::string> nudged( std::vector<std::string> const& lines, unsigned seed, double degrees, double shift )
{
	std::mt19937 rng( seed );
	std::normal_distribution<double> g( 0.0, 1.0 );
	P3 cen = { 0, 0, 0 };
	for ( auto const& l : lines ) {
		P3 const p = coords( l );
		for ( int r = 0; r < 3; ++r ) cen[r] += p[r] / lines.size();
	}
	P3 tip = cen, dir = { g( rng ), g( rng ), g( rng ) };
	for ( int r = 0; r < 3; ++r ) tip[r] += dir[r];
	Motion m = axis_rotation( cen, tip, degrees );
	P3 sh = { g( rng ), g( rng ), g( rng ) };
	double const n = std::sqrt( sh[0] * sh[0] + sh[1] * sh[1] + sh[2] * sh[2] );
	for ( int r = 0; r < 3; ++r ) m.t[r] += sh[r] * shift / n;
	std::vector<std::string> out;
	for ( auto const& l : lines ) out.push_back( with_coords( l, move( m, coords( l ) ) ) );
	return out;
}

} // namespace sibtest
