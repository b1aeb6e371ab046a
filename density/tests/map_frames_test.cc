// One map, written with a table of headers that describe the same density
// in different words, read by both map readers: the plain reader
// (DensityScore::read_vol, the step by which the assembly program reads a
// supplied map and writes its work map from it) and FastDensityScore's
// loader (Placer and the sibling programs).  Each row knows where the format
// puts every voxel (first voxel at the start indices or at ORIGIN, the voxel
// vectors the cell vectors over the interval counts MX, MY, MZ), and both
// readers must put the density's centre of mass and its distinctive corner
// voxel there, within a fraction of a voxel; mrcfile, where installed, is
// asked for the voxel size as an independent reading of the same header.
// Where a reader refuses a header, the row says which and with what message.
#include "density/DensityScore.hh"
#include "density/FastDensityScore.hh"
#include "density/tests/dmap_test_util.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

using dmap_test::CraftMrc;
using dmap_test::Grid;

namespace {

// The density along x, y, z: 10 x 12 x 14 voxels, a Gaussian blob a little
// off the centre (at 3 sigma and more from the faces, so that resampling
// keeps its centre of mass) and one voxel of value 3 (every other value is
// below 1) at the corner (last x, first y, last z), which lies neither first
// nor last in the file in any axis order: a voxel size, an axis order or a
// start taken wrongly moves the centre of mass or the corner.
int const kN[ 3 ] = { 10, 12, 14 };

int const kCorner[ 3 ] = { kN[ 0 ] - 1, 0, kN[ 2 ] - 1 };

bool is_corner( int i, int j, int k ) { return i == kCorner[ 0 ] && j == kCorner[ 1 ] && k == kCorner[ 2 ]; }

double value_at( int i, int j, int k )
{
	if ( is_corner( i, j, k ) ) return 3.0;
	double const d2 = std::pow( i - 4.2, 2 ) + std::pow( j - 6.4, 2 ) + std::pow( k - 7.3, 2 );
	return std::exp( -d2 / ( 2.0 * 1.4 * 1.4 ) );
}

// How the same density is written, and what each reader must do with it.
struct Row {
	std::string name;
	int axes[ 3 ] = { 1, 2, 3 };              // MAPC, MAPR, MAPS
	int start[ 3 ] = { 0, 0, 0 };             // start index along x, y, z
	float origin[ 3 ] = { 0.f, 0.f, 0.f };    // ORIGIN x, y, z
	int m[ 3 ] = { 0, 0, 0 };                 // MX, MY, MZ (0: the extent)
	double voxel[ 3 ] = { 1.5, 1.5, 1.5 };    // cell length / M along x, y, z
	float angles[ 3 ] = { 90.f, 90.f, 90.f };
	int nsymbt = 0;
	bool bigEndian = false;
	int mode = 2;
	bool zeroAxisWords = false;               // MAPC = MAPR = MAPS = 0
	bool noStamp = false;                     // no "MAP" at word 53
	bool originSetAside = false;              // ORIGIN of 10000 A or more: the start indices place it
	// Refusals: the message of the loader's refusal, or the plain reader's
	// exit code and message (a regular expression).
	std::string loaderRefuses;
	int plainExit = 0;
	std::string plainRefuses;
	// The plain reader resamples the map onto cubic voxels (a skewed cell or
	// voxels of unequal sides): no voxel keeps its value, so only the centre
	// of mass is compared, to a quarter of a voxel.
	bool plainResamples = false;
};

int interval( Row const& r, int a ) { return r.m[ a ] > 0 ? r.m[ a ] : kN[ a ]; }

// The cell vectors (columns) of a cell with lengths len and angles in
// degrees: a along x, b in the x-y plane.
void cell_vectors( double const* len, float const* ang, double v[ 3 ][ 3 ] )
{
	double const d = 3.14159265358979323846 / 180.0;
	double const ca = std::cos( ang[ 0 ] * d ), cb = std::cos( ang[ 1 ] * d ), cg = std::cos( ang[ 2 ] * d ),
				 sg = std::sin( ang[ 2 ] * d );
	double const cy = ( ca - cb * cg ) / sg;
	double const a[ 3 ] = { 1.0, 0.0, 0.0 }, b[ 3 ] = { cg, sg, 0.0 },
				 c[ 3 ] = { cb, cy, std::sqrt( 1.0 - cb * cb - cy * cy ) };
	for ( int r = 0; r < 3; ++r ) {
		v[ r ][ 0 ] = len[ 0 ] * a[ r ];
		v[ r ][ 1 ] = len[ 1 ] * b[ r ];
		v[ r ][ 2 ] = len[ 2 ] * c[ r ];
	}
}

// Where the format puts voxel (i, j, k) of the density: the first voxel at
// ORIGIN when it is given, else at the start indices on the cell's grid;
// the voxel steps are the cell vectors over the interval counts.
void format_position( Row const& r, double i, double j, double k, double* p )
{
	double len[ 3 ];
	for ( int a = 0; a < 3; ++a ) len[ a ] = r.voxel[ a ];  // a cell of one voxel: the voxel vectors
	double v[ 3 ][ 3 ];
	cell_vectors( len, r.angles, v );
	bool byOrigin = false;
	for ( int a = 0; a < 3; ++a )
		if ( std::isfinite( r.origin[ a ] ) && r.origin[ a ] != 0.f ) byOrigin = !r.originSetAside;
	double const idx[ 3 ] = { i, j, k };
	double g[ 3 ];
	for ( int a = 0; a < 3; ++a ) g[ a ] = idx[ a ] + ( byOrigin ? 0.0 : r.start[ a ] );
	for ( int c = 0; c < 3; ++c ) {
		p[ c ] = v[ c ][ 0 ] * g[ 0 ] + v[ c ][ 1 ] * g[ 1 ] + v[ c ][ 2 ] * g[ 2 ];
		// A word that is not finite leaves its (orthogonal) axis to the start index.
		if ( byOrigin ) p[ c ] += std::isfinite( r.origin[ c ] ) ? r.origin[ c ] : r.start[ c ] * r.voxel[ c ];
	}
}

// The values as the file holds them (MODE 1 stores integers: scaled).
double stored( Row const& r, int i, int j, int k )
{
	double const v = value_at( i, j, k );
	return r.mode == 1 ? std::round( 1000.0 * v ) : v;
}

// Without the corner voxel when `blobOnly` is set.
void format_centre( Row const& r, double* c, bool blobOnly = false )
{
	double s = 0.0, p[ 3 ];
	c[ 0 ] = c[ 1 ] = c[ 2 ] = 0.0;
	for ( int k = 0; k < kN[ 2 ]; ++k )
		for ( int j = 0; j < kN[ 1 ]; ++j )
			for ( int i = 0; i < kN[ 0 ]; ++i ) {
				double const v = stored( r, i, j, k );
				if ( blobOnly && is_corner( i, j, k ) ) continue;
				format_position( r, i, j, k, p );
				for ( int a = 0; a < 3; ++a ) c[ a ] += v * p[ a ];
				s += v;
			}
	for ( int a = 0; a < 3; ++a ) c[ a ] /= s;
}

void write_row( Row const& r, std::string const& path )
{
	CraftMrc f;
	int const* ax = r.axes;
	int const ext[ 3 ] = { kN[ ax[ 0 ] - 1 ], kN[ ax[ 1 ] - 1 ], kN[ ax[ 2 ] - 1 ] };
	f.nc = ext[ 0 ];
	f.nr = ext[ 1 ];
	f.ns = ext[ 2 ];
	f.mode = r.mode;
	f.ncstart = r.start[ ax[ 0 ] - 1 ];
	f.nrstart = r.start[ ax[ 1 ] - 1 ];
	f.nsstart = r.start[ ax[ 2 ] - 1 ];
	f.mx = interval( r, 0 );
	f.my = interval( r, 1 );
	f.mz = interval( r, 2 );
	f.xlen = float( f.mx * r.voxel[ 0 ] );
	f.ylen = float( f.my * r.voxel[ 1 ] );
	f.zlen = float( f.mz * r.voxel[ 2 ] );
	f.alpha = r.angles[ 0 ];
	f.beta = r.angles[ 1 ];
	f.gamma = r.angles[ 2 ];
	f.mapc = r.zeroAxisWords ? 0 : ax[ 0 ];
	f.mapr = r.zeroAxisWords ? 0 : ax[ 1 ];
	f.maps = r.zeroAxisWords ? 0 : ax[ 2 ];
	f.nsymbt = r.nsymbt;
	f.xorig = r.origin[ 0 ];
	f.yorig = r.origin[ 1 ];
	f.zorig = r.origin[ 2 ];
	if ( r.noStamp ) f.map[ 0 ] = f.map[ 1 ] = f.map[ 2 ] = f.map[ 3 ] = 0;
	f.big_endian = r.bigEndian;
	if ( r.bigEndian ) {
		f.machst[ 0 ] = 0x11;
		f.machst[ 1 ] = 0x11;
	}
	for ( int s = 0; s < ext[ 2 ]; ++s )
		for ( int rr = 0; rr < ext[ 1 ]; ++rr )
			for ( int c = 0; c < ext[ 0 ]; ++c ) {
				int x[ 3 ];
				x[ ax[ 0 ] - 1 ] = c;
				x[ ax[ 1 ] - 1 ] = rr;
				x[ ax[ 2 ] - 1 ] = s;
				f.values.push_back( stored( r, x[ 0 ], x[ 1 ], x[ 2 ] ) );
			}
	f.write( path );
}

// Centre of mass and the place of the largest value of the loader's map.
void loader_frame( FastDensityScore const& m, double* centre, double* corner )
{
	farray::FArray3D< double > const& d = m.density();
	int const nx = d.u1(), ny = d.u2(), nz = d.u3();
	double const* v = &d[ 0 ];
	double s = 0.0, best = -1e300, p[ 3 ];
	centre[ 0 ] = centre[ 1 ] = centre[ 2 ] = 0.0;
	long l = 0;
	for ( int z = 0; z < nz; ++z )
		for ( int y = 0; y < ny; ++y )
			for ( int x = 0; x < nx; ++x, ++l ) {
				m.voxelPosition( x, y, z, p );
				for ( int a = 0; a < 3; ++a ) centre[ a ] += v[ l ] * p[ a ];
				s += v[ l ];
				if ( v[ l ] > best ) {
					best = v[ l ];
					for ( int a = 0; a < 3; ++a ) corner[ a ] = p[ a ];
				}
			}
	for ( int a = 0; a < 3; ++a ) centre[ a ] /= s;
}

// Centre of mass and the place of the largest value of the plain grid;
// with `away` given, the points within `radius` of it are left out.
void plain_frame( Grid const& g, double* centre, double* corner, double const* away = nullptr, double radius = 0.0 )
{
	double s = 0.0, best = -1e300;
	centre[ 0 ] = centre[ 1 ] = centre[ 2 ] = 0.0;
	for ( unsigned z = 0; z < g.ez; ++z )
		for ( unsigned y = 0; y < g.ey; ++y )
			for ( unsigned x = 0; x < g.ex; ++x ) {
				double const v = g.at( x, y, z );
				double const p[ 3 ] = { g.ox + x * g.width, g.oy + y * g.width, g.oz + z * g.width };
				if ( away && std::hypot( p[ 0 ] - away[ 0 ], p[ 1 ] - away[ 1 ], p[ 2 ] - away[ 2 ] ) < radius ) continue;
				for ( int a = 0; a < 3; ++a ) centre[ a ] += v * p[ a ];
				s += v;
				if ( v > best ) {
					best = v;
					for ( int a = 0; a < 3; ++a ) corner[ a ] = p[ a ];
				}
			}
	for ( int a = 0; a < 3; ++a ) centre[ a ] /= s;
}

std::string xyz( double const* p )
{
	std::ostringstream os;
	os << "(" << p[ 0 ] << ", " << p[ 1 ] << ", " << p[ 2 ] << ")";
	return os.str();
}

void expect_near3( double const* got, double const* want, double tol, std::string const& what )
{
	for ( int a = 0; a < 3; ++a )
		EXPECT_NEAR( got[ a ], want[ a ], tol ) << what << ": " << xyz( got ) << " against " << xyz( want );
}

std::vector< Row > table()
{
	std::vector< Row > rows;
	auto row = [ & ]( std::string const& name ) -> Row& {
		rows.emplace_back();
		rows.back().name = name;
		return rows.back();
	};
	int const orders[ 6 ][ 3 ] = { { 1, 2, 3 }, { 1, 3, 2 }, { 2, 1, 3 }, { 2, 3, 1 }, { 3, 1, 2 }, { 3, 2, 1 } };
	for ( auto const& o : orders ) {
		// Each order with start indices that differ along every axis.
		Row& r = row( "axes " + std::to_string( o[ 0 ] ) + std::to_string( o[ 1 ] ) + std::to_string( o[ 2 ] ) );
		for ( int a = 0; a < 3; ++a ) r.axes[ a ] = o[ a ];
		r.start[ 0 ] = -7;
		r.start[ 1 ] = 3;
		r.start[ 2 ] = 11;
	}
	{
		Row& r = row( "ORIGIN alone, axes 312" );
		r.axes[ 0 ] = 3, r.axes[ 1 ] = 1, r.axes[ 2 ] = 2;
		r.origin[ 0 ] = 20.25f, r.origin[ 1 ] = -13.5f, r.origin[ 2 ] = 4.f;
	}
	{
		// ORIGIN places the map; the start indices are not added to it.
		Row& r = row( "ORIGIN and start indices" );
		r.start[ 0 ] = 5, r.start[ 1 ] = -2, r.start[ 2 ] = 9;
		r.origin[ 0 ] = 20.25f, r.origin[ 1 ] = -13.5f, r.origin[ 2 ] = 4.f;
	}
	{
		Row& r = row( "ORIGIN X not finite" );
		r.start[ 0 ] = 5, r.start[ 1 ] = -2, r.start[ 2 ] = 9;
		r.origin[ 0 ] = NAN, r.origin[ 1 ] = -13.5f, r.origin[ 2 ] = 4.f;
	}
	{
		Row& r = row( "far ORIGIN set aside" );
		r.start[ 0 ] = 5, r.start[ 1 ] = -2, r.start[ 2 ] = 9;
		r.origin[ 0 ] = 12000.f, r.origin[ 1 ] = -13.5f, r.origin[ 2 ] = 4.f;
		r.originSetAside = true;
	}
	{
		Row& r = row( "data beyond the cell along x" );
		r.m[ 0 ] = 6;
	}
	{
		Row& r = row( "data beyond the cell along x, y, z, axes 231, start indices" );
		r.axes[ 0 ] = 2, r.axes[ 1 ] = 3, r.axes[ 2 ] = 1;
		r.m[ 0 ] = 6, r.m[ 1 ] = 8, r.m[ 2 ] = 9;
		r.start[ 0 ] = -7, r.start[ 1 ] = 3, r.start[ 2 ] = 11;
	}
	{
		Row& r = row( "data beyond the cell along y, ORIGIN" );
		r.m[ 1 ] = 5;
		r.origin[ 0 ] = 20.25f, r.origin[ 1 ] = -13.5f, r.origin[ 2 ] = 4.f;
	}
	{
		Row& r = row( "data beyond the cell, box beyond it along z" );
		r.m[ 0 ] = 7, r.m[ 2 ] = 30;
		r.start[ 2 ] = 20;
	}
	{
		Row& r = row( "box smaller than its cell" );
		r.m[ 0 ] = 20, r.m[ 1 ] = 24, r.m[ 2 ] = 28;
		r.start[ 0 ] = 3, r.start[ 1 ] = -2, r.start[ 2 ] = 5;
	}
	{
		Row& r = row( "box crossing the cell edge" );
		r.m[ 0 ] = 12, r.m[ 1 ] = 16, r.m[ 2 ] = 18;
		r.start[ 0 ] = 8, r.start[ 1 ] = 10, r.start[ 2 ] = -3;
	}
	{
		Row& r = row( "extended header" );
		r.nsymbt = 160;
		r.start[ 0 ] = -7, r.start[ 1 ] = 3, r.start[ 2 ] = 11;
	}
	{
		Row& r = row( "byte-swapped, axes 321, ORIGIN" );
		r.bigEndian = true;
		r.axes[ 0 ] = 3, r.axes[ 1 ] = 2, r.axes[ 2 ] = 1;
		r.origin[ 0 ] = 20.25f, r.origin[ 1 ] = -13.5f, r.origin[ 2 ] = 4.f;
	}
	{
		Row& r = row( "voxels of unequal sides" );
		r.voxel[ 1 ] = 2.0;
		r.voxel[ 2 ] = 1.75;
		r.start[ 0 ] = -7, r.start[ 1 ] = 3, r.start[ 2 ] = 11;
		r.plainResamples = true;
	}
	{
		Row& r = row( "skewed cell" );
		r.angles[ 1 ] = 105.f;
		r.start[ 0 ] = 2, r.start[ 1 ] = 3, r.start[ 2 ] = 4;
		r.plainResamples = true;
	}
	{
		Row& r = row( "skewed cell, data beyond it along x" );
		r.angles[ 1 ] = 105.f;
		r.m[ 0 ] = 6;
		r.start[ 0 ] = 2, r.start[ 1 ] = 3, r.start[ 2 ] = 4;
		r.plainResamples = true;
	}
	{
		Row& r = row( "16-bit integers" );
		r.mode = 1;
		r.start[ 0 ] = -7, r.start[ 1 ] = 3, r.start[ 2 ] = 11;
		r.loaderRefuses = "has MODE (word 4) 1 (16-bit integers), which is not supported; the supported mode is 2 (32-bit "
		                  "floats).";
	}
	{
		Row& r = row( "axis words all zero" );
		r.zeroAxisWords = true;
		r.plainExit = 70680;
		r.plainRefuses = "has the axis order MAPC, MAPR, MAPS \\(words 17-19\\) 0, 0, 0, which is not a permutation of 1, "
		                 "2, 3";
	}
	{
		Row& r = row( "no MAP stamp" );
		r.noStamp = true;
		r.loaderRefuses = "Error! 'MAP' string missing, not a valid MRC map.  Not loading map.";
	}
	return rows;
}

// The voxel size mrcfile reads from each file ("" for a file it cannot
// read), one line per file.
std::vector< std::string > mrcfile_voxels( std::vector< std::string > const& files, std::string const& dir )
{
	std::string const script = dir + "/voxels.py";
	{
		std::ofstream py( script.c_str() );
		py << "import sys, warnings, mrcfile\n"
		      "warnings.simplefilter('ignore')\n"
		      "for f in sys.argv[1:]:\n"
		      "    try:\n"
		      "        with mrcfile.open(f, header_only=True, permissive=True) as m:\n"
		      "            v = m.voxel_size\n"
		      "            print('%.6g %.6g %.6g' % (v.x, v.y, v.z))\n"
		      "    except Exception:\n"
		      "        print('')\n";
	}
	std::string cmd = "/usr/bin/python3 '" + script + "'";
	for ( std::string const& f : files ) cmd += " '" + f + "'";
	std::istringstream out( dmap_test::run_capture( cmd + " 2>/dev/null" ) );
	std::vector< std::string > lines;
	for ( std::string l; std::getline( out, l ); ) lines.push_back( l );
	return lines;
}

} // namespace

TEST( MapFrames, BothReadersPutEveryHeaderOfTheTableWhereTheFormatDoes )
{
	quilt_test::ScratchDir dir( "map_frames" );
	std::vector< Row > const rows = table();
	std::vector< std::string > files;
	for ( std::size_t i = 0; i < rows.size(); ++i ) {
		files.push_back( dir.file( "row" + std::to_string( i ) + ".mrc" ) );
		write_row( rows[ i ], files.back() );
	}
	bool const witness = dmap_test::python_has( "mrcfile" );
	std::vector< std::string > const voxels = witness ? mrcfile_voxels( files, dir.path() ) : std::vector< std::string >();
	if ( !witness ) std::cout << "python3 mrcfile not available: the voxel sizes are not checked against it" << std::endl;

	for ( std::size_t i = 0; i < rows.size(); ++i ) {
		Row const& r = rows[ i ];
		std::string const& file = files[ i ];
		SCOPED_TRACE( r.name );
		double want[ 3 ], corner[ 3 ];
		format_centre( r, want );
		format_position( r, kCorner[ 0 ], kCorner[ 1 ], kCorner[ 2 ], corner );
		double const minVoxel = std::min( r.voxel[ 0 ], std::min( r.voxel[ 1 ], r.voxel[ 2 ] ) );

		if ( witness ) {
			ASSERT_EQ( voxels.size(), rows.size() );
			std::ostringstream v;
			v << r.voxel[ 0 ] << " " << r.voxel[ 1 ] << " " << r.voxel[ 2 ];
			EXPECT_EQ( voxels[ i ], v.str() ) << "mrcfile's voxel size";
		}

		// The loader.
		FastDensityScore fast;
		testing::internal::CaptureStdout();
		bool const loaded = fast.readDensityMap( file, 6.0, 0.0, 0.0, true );
		std::string const text = testing::internal::GetCapturedStdout();
		if ( !r.loaderRefuses.empty() ) {
			EXPECT_FALSE( loaded ) << "the loader must refuse it:\n" << text;
			EXPECT_NE( text.find( r.loaderRefuses ), std::string::npos ) << text;
		} else {
			ASSERT_TRUE( loaded ) << text;
			double centre[ 3 ], top[ 3 ];
			loader_frame( fast, centre, top );
			expect_near3( centre, want, 1e-3, "loader's centre of mass" );
			expect_near3( top, corner, 1e-3, "loader's corner voxel" );
			// The cube root of the voxel's volume (only beta is skewed here).
			double const sinBeta = std::sin( r.angles[ 1 ] * 3.14159265358979323846 / 180.0 );
			EXPECT_NEAR( fast.gridWidth, std::cbrt( r.voxel[ 0 ] * r.voxel[ 1 ] * r.voxel[ 2 ] * sinBeta ), 1e-4 );
		}

		// The plain reader, and the work map the assembly writes from it.
		if ( r.plainExit != 0 ) {
			EXPECT_EXIT( { dmap_test::stdout_to_stderr(); Grid g; dmap_test::read_vol( file, g ); },
				testing::ExitedWithCode( r.plainExit % 256 ), "ReadMrc_st> Error: map [^ ]* " + r.plainRefuses );
			continue;
		}
		Grid g;
		testing::internal::CaptureStdout();
		testing::internal::CaptureStderr();
		dmap_test::read_vol( file, g );
		testing::internal::GetCapturedStdout();
		testing::internal::GetCapturedStderr();
		ASSERT_NE( g.phi, nullptr );
		double centre[ 3 ], top[ 3 ];
		plain_frame( g, centre, top );
		if ( r.plainResamples ) {
			// Resampling spreads the corner voxel over its neighbours and
			// loses what falls outside the new grid: the blob's centre of
			// mass alone is compared.
			double blob[ 3 ];
			format_centre( r, blob, true );
			plain_frame( g, centre, top, corner, 2.5 * std::max( r.voxel[ 0 ], std::max( r.voxel[ 1 ], r.voxel[ 2 ] ) ) );
			expect_near3( centre, blob, 0.05 * minVoxel, "plain reader's centre of mass (the blob)" );
		} else {
			expect_near3( centre, want, 1e-3, "plain reader's centre of mass" );
			expect_near3( top, corner, 1e-3, "plain reader's corner voxel" );
			EXPECT_NEAR( g.width, r.voxel[ 0 ], 1e-6 );
		}

		DensityScore ds;
		ds.quiet = true;
		std::string const work = dir.file( "work" + std::to_string( i ) + ".mrc" );
		testing::internal::CaptureStdout();
		testing::internal::CaptureStderr();
		ds.map_processing( file, work, -1.0, true );
		testing::internal::GetCapturedStderr();
		testing::internal::GetCapturedStdout();
		FastDensityScore fromWork;
		testing::internal::CaptureStdout();
		bool const workLoaded = fromWork.readDensityMap( work, 6.0, 0.0, 0.0, true );
		std::string const workText = testing::internal::GetCapturedStdout();
		ASSERT_TRUE( workLoaded ) << workText;
		double const first[ 3 ] = { g.ox, g.oy, g.oz };
		expect_near3( fromWork.voxelOrigin, first, 1e-4, "work map's first voxel" );
		EXPECT_NEAR( fromWork.gridWidth, g.width, 1e-5 );
		EXPECT_EQ( fromWork.grid[ 0 ], int( g.ex ) );
		EXPECT_EQ( fromWork.grid[ 1 ], int( g.ey ) );
		EXPECT_EQ( fromWork.grid[ 2 ], int( g.ez ) );
	}
}
