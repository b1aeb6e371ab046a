// Quilter on crafted copies of the 1Z5S map whose headers put the data, or
// the map, somewhere else than a plain reading would.  The four chains are
// moved away by random rigid motions and the assembled chains compared in
// place with the true ones (CA RMSD, no superposition).
//
// Then a table of 1GGG maps that say the same density in other header words
// (axis orders, start indices, ORIGIN, data beyond the unit-cell grid, a box
// smaller than its cell, an extended header, a far ORIGIN, the other byte
// order, a skewed cell): Placer, Rasterseek and, on some rows, Quilter place
// the moved chain, and each must land where the format puts the density
// (and so near the others); a program that cannot use a header must say so
// and stop with a non-zero status.
#include "pdb_text_lines.hh"
#include "quilter_run_case.hh"
#include "testsupport/map_copies.hh"
#include "testsupport/test_data.hh"

#include <array>
#include <cstdint>
#include <cstring>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <random>
#include <string>
#include <vector>

namespace {

using Trace = std::vector< std::array< double, 3 > >;

// CA trace of each "TER"-separated chain of a file.
std::vector< Trace > traces( const std::string& path )
{
	std::vector< Trace > out( 1 );
	for ( auto const& l : quilter_test::read_lines( path ) ) {
		if ( l.rfind( "TER", 0 ) == 0 ) {
			if ( !out.back().empty() ) out.emplace_back();
			continue;
		}
		if ( l.rfind( "ATOM", 0 ) != 0 || l.size() < 54 || l.substr( 12, 4 ) != " CA " ) continue;
		out.back().push_back( { quilter_test::pdb_coord( l, 0 ), quilter_test::pdb_coord( l, 1 ), quilter_test::pdb_coord( l, 2 ) } );
	}
	if ( out.back().empty() ) out.pop_back();
	return out;
}

// In-place CA RMSD of the true chain to the nearest assembled chain of its length.
double best_rmsd( const Trace& truth, const std::vector< Trace >& model )
{
	double best = 1e9;
	for ( auto const& m : model ) {
		if ( m.size() != truth.size() ) continue;
		double s = 0;
		for ( std::size_t i = 0; i < m.size(); ++i )
			for ( int k = 0; k < 3; ++k ) s += std::pow( m[ i ][ k ] - truth[ i ][ k ], 2 );
		best = std::min( best, std::sqrt( s / m.size() ) );
	}
	return best;
}

// The "ATOM" records of a chain file moved by a random rigid motion, then
// "TER".
std::vector< std::string > moved_chain( const std::string& file, std::mt19937& rng )
{
	std::vector< std::string > atoms;
	for ( auto const& l : quilter_test::read_lines( file ) )
		if ( l.rfind( "ATOM", 0 ) == 0 && l.size() >= 54 ) atoms.push_back( l );
	std::vector< std::string > lines = quilter_test::randomly_moved( atoms, rng );
	lines.push_back( "TER" );
	return lines;
}

// The four chains of 1Z5S moved (chain1.pdb ... chain4.pdb in `data`);
// returns their true traces.
std::vector< Trace > moved_chains( const std::string& data, unsigned seed )
{
	std::mt19937 rng( seed );
	std::vector< Trace > truth;
	int k = 0;
	for ( char c : std::string( "ABCD" ) ) {
		std::string const f = quilt_test::shared_file( std::string( "complexes/1z5s/1z5s_" ) + c + ".pdb" );
		quilter_test::write_lines( data + "/chain" + std::to_string( ++k ) + ".pdb", moved_chain( f, rng ) );
		truth.push_back( traces( f ).at( 0 ) );
	}
	return truth;
}

std::string quilter( const std::string& data, const std::string& map, const std::string& resolution = "10",
	int threads = 8 )
{
	return quilter_test::shq( quilt_test::bin_dir() + "/Quilter" ) + " " + quilter_test::shq( data ) + " "
	       + quilter_test::shq( map ) + " " + resolution + " -nco " + std::to_string( threads );
}

} // namespace

// NSYMBT -80 over an 80-byte extended header: the work map was read 80 bytes
// early and the assembly ended "ASSEMBLY FINISHED" with every chain 40-68 A
// off and no word on the header.  It stops now with the reader's reason.
TEST( RealdataMapHeaders, NegativeNsymbtOverAnExtendedHeaderStopsTheAssembly )
{
	QUILT_REQUIRE_SHARED_DATA();
	quilt_test::MapCopy copy( quilt_test::shared_file( "complexes/1z5s/1z5s_10.mrc" ) );
	ASSERT_TRUE( copy.ok() );
	quilt_test::ScratchDir root( "quilt hdr" );
	std::string const data = root.file( "data" ), map = root.file( "map.mrc" );
	std::filesystem::create_directories( data );
	moved_chains( data, 7 );
	copy.set_int( 24, -80 ).insert_after_header( 80 );
	ASSERT_TRUE( copy.write( map ) );
	std::string out;
	EXPECT_EQ( quilter_test::run_shell( quilter( data, map ), out ), 1 ) << out;
	EXPECT_TRUE( quilter_test::says( out, quilter_test::kError + "The density map " + map + " gives NSYMBT (word 24) -80, "
	                                      "a negative length of symmetry records, but the file holds 80 bytes besides its "
	                                      "1024-byte header and the voxel data; where the data start is not known" ) )
		<< out;
	EXPECT_FALSE( quilter_test::finished( out ) );
	EXPECT_FALSE( std::filesystem::exists( data + "/segCmodel1.pdb" ) );
}

// ORIGIN X 12001 (the map's own ORIGIN is 34, 10, -92, its start indices
// 17, 5, -46 of 2 A): the assembly read the map at x = 12001, wrote its work
// maps there with start indices 0, and the fitting read those at their start
// indices: status 0 with every chain 98 A off.  The ORIGIN is set aside in
// both readers now, with a warning, and the chains land in place.
TEST( RealdataMapHeaders, FarOriginIsSetAsideAndTheChainsLandInPlace )
{
	QUILT_REQUIRE_SHARED_DATA();
	quilt_test::MapCopy copy( quilt_test::shared_file( "complexes/1z5s/1z5s_10.mrc" ) );
	ASSERT_TRUE( copy.ok() );
	ASSERT_EQ( copy.int_word( 5 ), 17 );
	quilt_test::ScratchDir root( "quilt hdr" );
	std::string const data = root.file( "data" ), map = root.file( "map.mrc" );
	std::filesystem::create_directories( data );
	std::vector< Trace > const truth = moved_chains( data, 5 );
	copy.set_float( 50, 12001.0f );
	ASSERT_TRUE( copy.write( map ) );
	std::string out;
	EXPECT_EQ( quilter_test::run_shell( quilter( data, map ), out ), 0 ) << out.substr( out.size() > 3000 ? out.size() - 3000 : 0 );
	EXPECT_TRUE( quilter_test::finished( out ) );
	EXPECT_TRUE( quilter_test::says( out, "ReadMrc_st> Warning: ORIGIN words X, Y, Z (12001, 10, -92 A) of " + map
	                                      + " are not used: X lies 10000 A or more from the coordinate origin.  The start "
	                                        "indices place the map instead, its first voxel at (34, 10, -92) A, and models "
	                                        "are placed and written in that frame." ) )
		<< out;
	std::vector< Trace > const model = traces( data + "/segCmodel1.pdb" );
	for ( std::size_t i = 0; i < truth.size(); ++i ) EXPECT_LT( best_rmsd( truth[ i ], model ), 3.0 ) << "chain " << "ABCD"[ i ];
}

namespace {

// The 1GGG map (53^3 voxels of 1.25 A, axis order 1, 2, 3, start indices 0,
// its place in the ORIGIN words, little-endian) as words and values.
struct BaseMap {
	std::vector< unsigned char > header;  // 1024 bytes
	std::vector< float > values;          // x fastest
	int n = 0;
	float origin[ 3 ] = { 0, 0, 0 };
	bool read( const std::string& path )
	{
		std::string const bytes = quilter_test::file_text( path );
		if ( bytes.size() < 1024 ) return false;
		header.assign( bytes.begin(), bytes.begin() + 1024 );
		int32_t w[ 10 ];
		std::memcpy( w, bytes.data(), sizeof w );
		if ( w[ 0 ] != w[ 1 ] || w[ 1 ] != w[ 2 ] || w[ 3 ] != 2 || w[ 7 ] != w[ 0 ] ) return false;
		n = w[ 0 ];
		if ( bytes.size() != 1024 + 4 * std::size_t( n ) * n * n ) return false;
		values.resize( std::size_t( n ) * n * n );
		std::memcpy( values.data(), bytes.data() + 1024, 4 * values.size() );
		std::memcpy( origin, bytes.data() + 196, sizeof origin );
		return true;
	}
};

// One row: how the header says the density, and who runs on it.
struct MapRow {
	const char* name;
	int axes[ 3 ];           // MAPC, MAPR, MAPS
	int start[ 3 ];          // start index along x, y, z
	bool keepOrigin;         // the deposited ORIGIN words (else 0, 0, 0)
	float farX;              // ORIGIN X of 10000 A or more (0: none)
	int m;                   // MX = MY = MZ (0: 53) ...
	bool mxOnly;             // ... along x alone
	float beta;              // cell angle beta
	int nsymbt;              // extended header bytes
	bool bigEndian;
	bool quilter;            // Quilter runs on it too
	double within;           // largest CA RMSD to the truth (A)
};

void PrintTo( const MapRow& r, std::ostream* os ) { *os << r.name; }

const double kVoxel = 1.25;

void put( std::vector< unsigned char >& b, int word, const void* v ) { std::memcpy( &b[ 4 * ( word - 1 ) ], v, 4 ); }

// The bytes of the row's map file.
std::string row_file( const BaseMap& base, const MapRow& r )
{
	std::vector< unsigned char > h = base.header;
	int const n = base.n;
	int32_t m[ 3 ];
	for ( int a = 0; a < 3; ++a ) m[ a ] = r.m > 0 && ( !r.mxOnly || a == 0 ) ? r.m : n;
	for ( int k = 0; k < 3; ++k ) {
		int32_t const e = n, st = r.start[ r.axes[ k ] - 1 ], ax = r.axes[ k ];
		put( h, 1 + k, &e );
		put( h, 5 + k, &st );
		put( h, 17 + k, &ax );
	}
	for ( int a = 0; a < 3; ++a ) {
		float const len = float( m[ a ] * kVoxel );
		float const o = r.keepOrigin ? base.origin[ a ] : ( a == 0 ? r.farX : 0.f );
		put( h, 8 + a, &m[ a ] );
		put( h, 11 + a, &len );
		put( h, 50 + a, &o );
	}
	put( h, 15, &r.beta );
	int32_t const sym = r.nsymbt;
	put( h, 24, &sym );
	std::vector< unsigned char > data( 4 * base.values.size() );
	std::size_t at = 0;
	for ( int s = 0; s < n; ++s )
		for ( int rr = 0; rr < n; ++rr )
			for ( int c = 0; c < n; ++c, at += 4 ) {
				int x[ 3 ];
				x[ r.axes[ 0 ] - 1 ] = c;
				x[ r.axes[ 1 ] - 1 ] = rr;
				x[ r.axes[ 2 ] - 1 ] = s;
				std::memcpy( &data[ at ], &base.values[ ( std::size_t( x[ 2 ] ) * n + x[ 1 ] ) * n + x[ 0 ] ], 4 );
			}
	if ( r.bigEndian ) {
		// Every number in the other byte order, the machine stamp saying so;
		// the "MAP " stamp and the labels are characters.
		for ( int w = 1; w <= 256; ++w )
			if ( w <= 52 || w == 55 || w == 56 ) std::swap( h[ 4 * w - 4 ], h[ 4 * w - 1 ] ), std::swap( h[ 4 * w - 3 ], h[ 4 * w - 2 ] );
		h[ 212 ] = 0x11;
		h[ 213 ] = 0x11;
		h[ 214 ] = h[ 215 ] = 0;
		for ( std::size_t i = 0; i < data.size(); i += 4 )
			std::swap( data[ i ], data[ i + 3 ] ), std::swap( data[ i + 1 ], data[ i + 2 ] );
	}
	std::string out( h.begin(), h.end() );
	out += std::string( std::size_t( r.nsymbt ), ' ' );
	out.append( data.begin(), data.end() );
	return out;
}

// Where the format puts the first voxel: at ORIGIN where it is given (and
// not set aside), else at the start indices.
void first_voxel( const BaseMap& base, const MapRow& r, double* p )
{
	for ( int a = 0; a < 3; ++a ) p[ a ] = r.keepOrigin ? base.origin[ a ] : r.start[ a ] * kVoxel;
}

// In-place CA RMSD of two traces of the same chain.
double trace_rmsd( const Trace& a, const Trace& b ) { return a.empty() ? 1e9 : best_rmsd( b, { a } ); }

class OneMapManyHeaders : public testing::TestWithParam< MapRow > {};

} // namespace

// The 1GGG map with MX = MY = MZ = 40 and 50 A cells is by the format the
// same map (voxels of 1.25 A, the data reaching beyond the cell grid):
// Placer and Rasterseek read it with voxels of 50/53 A and put the chain
// 14-15 A from the truth with status 0, Quilter (through its plain reader)
// in place.  Every row must now be placed where the format puts it by every
// program that takes it.
TEST_P( OneMapManyHeaders, EveryProgramPlacesTheChainWhereTheFormatPutsTheDensity )
{
	QUILT_REQUIRE_SHARED_DATA();
	const MapRow& r = GetParam();
	BaseMap base;
	ASSERT_TRUE( base.read( quilt_test::shared_file( "single/1ggg_5A.mrc" ) ) );
	ASSERT_EQ( base.n, 53 );
	quilt_test::ScratchDir root( "quilt frames" );
	std::string const map = root.file( "map.mrc" ), data = root.file( "data" ), fit = root.file( "fit" ),
					  seek = root.file( "seek" );
	for ( const std::string& d : { data, fit, seek } ) std::filesystem::create_directories( d );
	{
		std::ofstream out( map, std::ios::binary );
		out << row_file( base, r );
	}

	// The chain moved away, and its truth in the frame the row gives.
	double first[ 3 ];
	first_voxel( base, r, first );
	std::mt19937 rng( 11 );
	std::vector< std::string > const moved = moved_chain( quilt_test::shared_file( "single/1ggg.pdb" ), rng );
	for ( const std::string& d : { data, fit, seek } ) quilter_test::write_lines( d + "/chain1.pdb", moved );
	Trace truth = traces( quilt_test::shared_file( "single/1ggg.pdb" ) ).at( 0 );
	for ( auto& p : truth )
		for ( int a = 0; a < 3; ++a ) p[ a ] += first[ a ] - base.origin[ a ];
	ASSERT_GT( trace_rmsd( traces( data + "/chain1.pdb" ).at( 0 ), truth ), 8.0 );

	std::string out;
	// Rasterseek, as the assembly starts it.
	int const rs = quilter_test::run_shell( "cd " + quilter_test::shq( seek ) + " && "
	                                            + quilter_test::shq( quilt_test::bin_dir() + "/Rasterseek" ) + " "
	                                            + quilter_test::shq( map ) + " chain1.pdb chain1 -res 5 -deg 20 -nprocs 4",
		out );
	if ( r.beta != 90.f ) {
		// The search grid is orthogonal: a skewed cell is refused, not
		// searched as if it were orthogonal.
		EXPECT_EQ( rs, 1 ) << out;
		EXPECT_TRUE( quilter_test::says( out, "Error! the map's cell is not orthogonal (angles 90, 100, 90 degrees); no "
		                                      "result written." ) )
			<< out;
		EXPECT_FALSE( std::filesystem::exists( seek + "/chain1_001.pdb" ) );
		return;
	}
	ASSERT_EQ( rs, 0 ) << out;
	Trace const bySearch = traces( seek + "/chain1_001.pdb" ).at( 0 );
	EXPECT_LT( trace_rmsd( bySearch, truth ), r.within ) << "Rasterseek\n" << out;

	int const pl = quilter_test::run_shell(
		quilter_test::shq( quilt_test::bin_dir() + "/Placer" ) + " " + quilter_test::shq( map ) + " "
			+ quilter_test::shq( fit + "/chain1.pdb" ) + " 5 -sl 0",
		out );
	ASSERT_EQ( pl, 0 ) << out;
	Trace const byFit = traces( fit + "/chain1_1.pdb" ).at( 0 );
	EXPECT_LT( trace_rmsd( byFit, truth ), r.within ) << "Placer\n" << out;
	EXPECT_LT( trace_rmsd( byFit, bySearch ), 1.0 ) << "Placer against Rasterseek";
	if ( r.m > 0 && r.m < base.n ) {
		EXPECT_TRUE( quilter_test::says( out, "reach beyond the unit-cell grid" ) ) << out;
		EXPECT_TRUE( quilter_test::says( out, "the voxel size stays the cell length over the interval count, 1.25 x 1.25 x "
		                                      "1.25 A" ) )
			<< out;
	}

	std::cout << r.name << ": CA RMSD to the truth: Rasterseek " << trace_rmsd( bySearch, truth ) << " A, Placer "
	          << trace_rmsd( byFit, truth ) << " A" << std::endl;
	if ( !r.quilter ) return;
	int const q = quilter_test::run_shell( quilter_test::shq( quilt_test::bin_dir() + "/Quilter" ) + " "
	                                           + quilter_test::shq( data ) + " " + quilter_test::shq( map ) + " 5 -nco 4",
		out );
	ASSERT_EQ( q, 0 ) << out.substr( out.size() > 3000 ? out.size() - 3000 : 0 );
	EXPECT_TRUE( quilter_test::finished( out ) );
	Trace const assembled = traces( data + "/segCmodel1.pdb" ).at( 0 );
	EXPECT_LT( trace_rmsd( assembled, truth ), r.within ) << "Quilter";
	EXPECT_LT( trace_rmsd( assembled, byFit ), 1.0 ) << "Quilter against Placer";
	std::cout << r.name << ": CA RMSD to the truth: Quilter " << trace_rmsd( assembled, truth ) << " A" << std::endl;
}

//                       name                                     axes        start           ORIGIN farX     M  x only beta   NSYMBT swap   Quilter within
INSTANTIATE_TEST_SUITE_P( Rows, OneMapManyHeaders,
	testing::Values( MapRow{ "beyond_the_cell_xyz", { 1, 2, 3 }, { 0, 0, 0 }, true, 0.f, 40, false, 90.f, 0, false, true, 0.5 },
		MapRow{ "beyond_the_cell_x_axes_213_start", { 2, 1, 3 }, { 10, -8, 4 }, false, 0.f, 40, true, 90.f, 0, false, true, 1.0 },
		MapRow{ "axes_312_origin", { 3, 1, 2 }, { 0, 0, 0 }, true, 0.f, 0, false, 90.f, 0, false, false, 1.0 },
		MapRow{ "axes_231_start", { 2, 3, 1 }, { -60, 20, 35 }, false, 0.f, 0, false, 90.f, 0, false, false, 1.0 },
		MapRow{ "origin_and_start", { 1, 2, 3 }, { 7, -3, 5 }, true, 0.f, 0, false, 90.f, 0, false, false, 1.0 },
		MapRow{ "box_smaller_than_cell", { 1, 2, 3 }, { 0, 0, 0 }, true, 0.f, 64, false, 90.f, 0, false, false, 1.0 },
		MapRow{ "extended_header", { 1, 3, 2 }, { 0, 0, 0 }, true, 0.f, 0, false, 90.f, 160, false, false, 1.0 },
		MapRow{ "far_origin", { 1, 2, 3 }, { 0, 0, 0 }, false, 12000.f, 0, false, 90.f, 0, false, false, 1.0 },
		MapRow{ "byte_swapped_axes_321", { 3, 2, 1 }, { 0, 0, 0 }, true, 0.f, 0, false, 90.f, 0, true, false, 1.0 },
		MapRow{ "skewed_cell", { 1, 2, 3 }, { 0, 0, 0 }, true, 0.f, 0, false, 100.f, 0, false, false, 1.0 } ),
	[]( const testing::TestParamInfo< MapRow >& info ) { return std::string( info.param.name ); } );

namespace {

// Chain A of 3MHT as it lies in the 3MHT map (the truth), and moved away by
// a random rigid motion into `dir`/chain1.pdb.
Trace moved_3mht_chain( const std::string& dir )
{
	std::vector< std::string > atoms;
	for ( auto const& l : quilter_test::read_lines( quilt_test::shared_file( "complexes/3mht/3mht.pdb" ) ) )
		if ( l.rfind( "ATOM", 0 ) == 0 && l.size() >= 54 && l[ 21 ] == 'A' ) atoms.push_back( l );
	std::filesystem::create_directories( dir );
	quilter_test::write_lines( dir + "/true.pdb", atoms );
	std::mt19937 rng( 23 );
	std::vector< std::string > moved = quilter_test::randomly_moved( atoms, rng );
	moved.push_back( "TER" );
	quilter_test::write_lines( dir + "/chain1.pdb", moved );
	return traces( dir + "/true.pdb" ).at( 0 );
}

std::string placer_run( const std::string& map, const std::string& model )
{
	return quilter_test::shq( quilt_test::bin_dir() + "/Placer" ) + " " + quilter_test::shq( map ) + " "
	       + quilter_test::shq( model ) + " 6 -sl 0";
}

std::string rasterseek_run( const std::string& dir, const std::string& map )
{
	return "cd " + quilter_test::shq( dir ) + " && " + quilter_test::shq( quilt_test::bin_dir() + "/Rasterseek" ) + " "
	       + quilter_test::shq( map ) + " chain1.pdb chain1 -res 6 -deg 20 -nprocs 4";
}

} // namespace

// The 3MHT map carries an 80-byte symmetry record ("x,y,z" and blanks).  Cut
// short by exactly its length, the file had the size of a file without the
// record: Placer, Rasterseek and Quilter took the record as never written,
// read every voxel 20 values off and ended with status 0 and the chain 20 A
// from its place.  Cut by less, Placer and Rasterseek called the file larger
// than expected before refusing it.  Every program refuses each cut now as a
// truncated file, status 1, and writes nothing.
TEST( RealdataMapHeaders, MapCutShortBehindItsTextSymmetryRecordIsRefusedAsTruncated )
{
	QUILT_REQUIRE_SHARED_DATA();
	quilt_test::MapCopy copy( quilt_test::shared_file( "complexes/3mht/3mht_sim6A.mrc" ) );
	ASSERT_TRUE( copy.ok() );
	ASSERT_EQ( copy.int_word( 24 ), 80 );
	std::string const whole = quilter_test::file_text( quilt_test::shared_file( "complexes/3mht/3mht_sim6A.mrc" ) );
	ASSERT_EQ( whole.size(), 1024u + 80u + 4u * 60 * 58 * 68 );
	ASSERT_EQ( whole.substr( 1024, 5 ), "x,y,z" );
	quilt_test::ScratchDir root( "quilt cut" );
	for ( std::size_t const cut : { 80, 1, 4, 40 } ) {
		SCOPED_TRACE( "cut by " + std::to_string( cut ) );
		std::string const tag = std::to_string( cut );
		std::string const map = root.file( "cut" + tag + ".mrc" ), fit = root.file( "fit" + tag ),
		                  seek = root.file( "seek" + tag ), data = root.file( "data" + tag );
		{
			std::ofstream out( map, std::ios::binary );
			out << whole.substr( 0, whole.size() - cut );
		}
		for ( const std::string& d : { fit, seek, data } ) moved_3mht_chain( d );
		std::string const sizes = "Error! Map " + map + " is truncated: its header gives 1024 header bytes, 80 bytes of "
		                          "symmetry records and 946560 bytes of voxel data (60 x 58 x 68 32-bit floats), 947664 "
		                          "bytes in all, but the file has " + std::to_string( whole.size() - cut ) + ".";
		std::string const asText = "  The 80 bytes after the header read as text (\"x,y,z\"), a symmetry record, so the "
		                           "voxel data are cut short.";
		std::string const fast = "Warning! File appears truncated and doesn't match header.  Not loading map.\n" + sizes
		                         + ( cut == 80 ? asText : "" ) + "\n";

		std::string out;
		EXPECT_EQ( quilter_test::run_shell( placer_run( map, fit + "/chain1.pdb" ), out ), 1 ) << out;
		EXPECT_TRUE( quilter_test::says( out, fast + "Error! The density map " + map + " could not be loaded; no model "
		                                      "written." ) )
			<< out;
		EXPECT_FALSE( quilter_test::says( out, "larger than expected" ) ) << out;
		EXPECT_FALSE( std::filesystem::exists( fit + "/chain1_1.pdb" ) );

		EXPECT_EQ( quilter_test::run_shell( rasterseek_run( seek, map ), out ), 1 ) << out;
		EXPECT_TRUE( quilter_test::says( out, fast + "Error! the density map " + map + " could not be loaded; no result "
		                                      "written." ) )
			<< out;
		EXPECT_FALSE( quilter_test::says( out, "larger than expected" ) ) << out;
		EXPECT_FALSE( std::filesystem::exists( seek + "/chain1_001.pdb" ) );

		EXPECT_EQ( quilter_test::run_shell( quilter( data, map, "6", 4 ), out ), 1 ) << out;
		std::string const why = "holds fewer voxel values than its header gives (60 x 58 x 68 of MODE 2: 946560 bytes "
		                        "after the header and 80 symmetry bytes; the file has " + std::to_string( 946560 - cut )
		                        + ")" + ( cut == 80 ? "; the 80 bytes after the header read as text (\"x,y,z\"), a "
		                                              "symmetry record, so the voxel data are cut short" : "" );
		EXPECT_TRUE( quilter_test::says( out, "ReadMrc_st> Error: map " + map + " " + why + ".\n" ) ) << out;
		EXPECT_TRUE( quilter_test::says( out, "The density map " + map + " " + why + "; no model written." ) ) << out;
		EXPECT_FALSE( quilter_test::finished( out ) );
		EXPECT_FALSE( std::filesystem::exists( data + "/segCmodel1.pdb" ) );
	}
}

// The same map with its record taken out and NSYMBT left at 80, as writers
// that set the word and never write the record leave it: the data fill the
// file right after the header and are read from there, and every program
// puts the chain where it lies in the map.
TEST( RealdataMapHeaders, SymmetryRecordNeverWrittenIsReadFromTheHeadersEnd )
{
	QUILT_REQUIRE_SHARED_DATA();
	std::string const whole = quilter_test::file_text( quilt_test::shared_file( "complexes/3mht/3mht_sim6A.mrc" ) );
	ASSERT_EQ( whole.size(), 1024u + 80u + 4u * 60 * 58 * 68 );
	quilt_test::ScratchDir root( "quilt norec" );
	std::string const map = root.file( "norec.mrc" ), fit = root.file( "fit" ), seek = root.file( "seek" ),
	                  data = root.file( "data" );
	{
		std::ofstream out( map, std::ios::binary );
		out << whole.substr( 0, 1024 ) << whole.substr( 1104 );
	}
	Trace truth;
	for ( const std::string& d : { fit, seek, data } ) truth = moved_3mht_chain( d );
	ASSERT_GT( best_rmsd( truth, traces( fit + "/chain1.pdb" ) ), 8.0 );

	std::string out;
	ASSERT_EQ( quilter_test::run_shell( placer_run( map, fit + "/chain1.pdb" ), out ), 0 ) << out;
	EXPECT_TRUE( quilter_test::says( out, "Warning! File contains bogus symmetry record.  Continuing." ) ) << out;
	EXPECT_LT( best_rmsd( truth, traces( fit + "/chain1_1.pdb" ) ), 1.0 ) << "Placer";

	ASSERT_EQ( quilter_test::run_shell( rasterseek_run( seek, map ), out ), 0 ) << out;
	EXPECT_TRUE( quilter_test::says( out, "Warning! File contains bogus symmetry record.  Continuing." ) ) << out;
	EXPECT_LT( best_rmsd( truth, traces( seek + "/chain1_001.pdb" ) ), 1.0 ) << "Rasterseek";

	ASSERT_EQ( quilter_test::run_shell( quilter( data, map, "6", 4 ), out ), 0 ) << out;
	EXPECT_TRUE( quilter_test::says( out, "ReadMrc_st> Warning: map " + map + " gives NSYMBT 80, but its voxel data fill "
	                                      "the file right after the header; the symmetry record is taken as absent." ) )
		<< out;
	EXPECT_TRUE( quilter_test::finished( out ) );
	EXPECT_LT( best_rmsd( truth, traces( data + "/segCmodel1.pdb" ) ), 1.0 ) << "Quilter";
}

namespace {

// The 3MHT map file as it is: header, 80-byte record ("x,y,z" and blanks),
// 60 x 58 x 68 floats.
struct Map3mht {
	std::string bytes = quilter_test::file_text( quilt_test::shared_file( "complexes/3mht/3mht_sim6A.mrc" ) );
	std::string header() const { return bytes.substr( 0, 1024 ); }
	std::string record() const { return bytes.substr( 1024, 80 ); }
	std::string data() const { return bytes.substr( 1104 ); }
	bool whole() const { return bytes.size() == 1024u + 80u + 4u * 60 * 58 * 68 && record().substr( 0, 5 ) == "x,y,z"; }
};

// A header with NSYMBT `nsymbt` and EXTTYP `exttyp` (null: as it is).
std::string with_words( std::string header, int32_t nsymbt, const char* exttyp = nullptr )
{
	std::memcpy( &header[ 92 ], &nsymbt, 4 );
	if ( exttyp ) std::memcpy( &header[ 104 ], exttyp, 4 );
	return header;
}

void write_file( const std::string& path, const std::string& bytes )
{
	std::ofstream out( path, std::ios::binary );
	out << bytes;
}

// Placer, Rasterseek and Quilter on `map`, each on chain A of 3MHT moved
// away, in folders of `root` named after `tag`.  Each must refuse the map
// with status 1 and write nothing: the fast reader's lines `fast` end with
// the program's line for a map it cannot load; Quilter's reader says `why`.
void expect_refused_by_all( quilt_test::ScratchDir& root, const std::string& tag, const std::string& map,
	const std::string& fast, const std::string& why )
{
	SCOPED_TRACE( tag );
	std::string const fit = root.file( "fit_" + tag ), seek = root.file( "seek_" + tag ), data = root.file( "data_" + tag );
	for ( const std::string& d : { fit, seek, data } ) moved_3mht_chain( d );
	std::string out;
	EXPECT_EQ( quilter_test::run_shell( placer_run( map, fit + "/chain1.pdb" ), out ), 1 ) << out;
	EXPECT_TRUE( quilter_test::says( out, fast + "\nError! The density map " + map + " could not be loaded; no model "
	                                      "written." ) )
		<< out;
	EXPECT_EQ( quilter_test::run_shell( rasterseek_run( seek, map ), out ), 1 ) << out;
	EXPECT_TRUE( quilter_test::says( out, fast + "\nError! the density map " + map + " could not be loaded; no result "
	                                      "written." ) )
		<< out;
	EXPECT_EQ( quilter_test::run_shell( quilter( data, map, "6", 4 ), out ), 1 ) << out;
	EXPECT_TRUE( quilter_test::says( out, "ReadMrc_st> Error: map " + map + " " + why + ".\n" ) ) << out;
	EXPECT_TRUE( quilter_test::says( out, quilter_test::kError + "The density map " + map + " " + why + "; no model "
	                                      "written." ) )
		<< out;
	EXPECT_FALSE( quilter_test::finished( out ) );
	for ( const std::string& f : { fit + "/chain1_1.pdb", seek + "/chain1_001.pdb", data + "/segCmodel1.pdb" } )
		EXPECT_FALSE( std::filesystem::exists( f ) ) << f;
	// Nothing else is left in the run folders (no work directory, no part file).
	for ( const std::string& d : { fit, seek, data } )
		for ( auto const& e : std::filesystem::directory_iterator( d ) ) {
			std::string const name = e.path().filename().string();
			EXPECT_TRUE( name == "true.pdb" || name == "chain1.pdb" ) << e.path();
		}
}

// Placer, Rasterseek and Quilter on `map`: each must put chain A within
// 1 A of where it lies in the map, with status 0; returns what each printed.
std::vector< std::string > expect_placed_by_all( quilt_test::ScratchDir& root, const std::string& tag, const std::string& map )
{
	SCOPED_TRACE( tag );
	std::string const fit = root.file( "fit_" + tag ), seek = root.file( "seek_" + tag ), data = root.file( "data_" + tag );
	Trace truth;
	for ( const std::string& d : { fit, seek, data } ) truth = moved_3mht_chain( d );
	std::vector< std::string > out( 3 );
	EXPECT_EQ( quilter_test::run_shell( placer_run( map, fit + "/chain1.pdb" ), out[ 0 ] ), 0 ) << out[ 0 ];
	EXPECT_LT( best_rmsd( truth, traces( fit + "/chain1_1.pdb" ) ), 1.0 ) << "Placer";
	EXPECT_EQ( quilter_test::run_shell( rasterseek_run( seek, map ), out[ 1 ] ), 0 ) << out[ 1 ];
	EXPECT_LT( best_rmsd( truth, traces( seek + "/chain1_001.pdb" ) ), 1.0 ) << "Rasterseek";
	EXPECT_EQ( quilter_test::run_shell( quilter( data, map, "6", 4 ), out[ 2 ] ), 0 ) << out[ 2 ];
	EXPECT_TRUE( quilter_test::finished( out[ 2 ] ) );
	EXPECT_LT( best_rmsd( truth, traces( data + "/segCmodel1.pdb" ) ), 1.0 ) << "Quilter";
	return out;
}

} // namespace

// Cut short by exactly its record, a file whose record is just as surely
// written as a blank-padded text record was read from byte 1024 by all three
// programs, every voxel shifted, status 0 with the chain 30-53 A off: the
// operator text padded with NUL bytes, and binary extended headers that
// EXTTYP declares (FEI1, SERI).  Each is refused now as truncated, naming
// what showed the record.
TEST( RealdataMapHeaders, MapCutShortBehindARecordKnownWrittenIsRefusedAsTruncated )
{
	QUILT_REQUIRE_SHARED_DATA();
	Map3mht const m;
	ASSERT_TRUE( m.whole() );
	quilt_test::ScratchDir root( "quilt known" );
	std::string binary( 80, '\0' );
	for ( int i = 0; i < 80; ++i ) binary[ i ] = char( ( i * 37 + 11 ) % 256 );
	std::string const cut = m.data().substr( 0, m.data().size() - 80 );
	struct Case {
		const char* tag;
		std::string bytes;
		std::string shown;
	} const cases[] = {
		{ "nul_padded", m.header() + std::string( "x,y,z" ) + std::string( 75, '\0' ) + cut,
		  "the 80 bytes after the header read as text (\"x,y,z\"), a symmetry record" },
		{ "fei1", with_words( m.header(), 80, "FEI1" ) + binary + cut,
		  "EXTTYP (word 27) is \"FEI1\", a binary extended header of the MRC2014 format, written in the 80 bytes after "
		  "the header" },
		{ "seri", with_words( m.header(), 80, "SERI" ) + binary + cut,
		  "EXTTYP (word 27) is \"SERI\", a binary extended header of the MRC2014 format, written in the 80 bytes after "
		  "the header" },
	};
	for ( const Case& c : cases ) {
		std::string const map = root.file( std::string( c.tag ) + ".mrc" );
		write_file( map, c.bytes );
		ASSERT_EQ( c.bytes.size(), m.bytes.size() - 80 );
		std::string upper = c.shown;
		upper[ 0 ] = char( std::toupper( static_cast< unsigned char >( upper[ 0 ] ) ) );
		expect_refused_by_all( root, c.tag, map,
			"Warning! File appears truncated and doesn't match header.  Not loading map.\nError! Map " + map
				+ " is truncated: its header gives 1024 header bytes, 80 bytes of symmetry records and 946560 bytes of "
				  "voxel data (60 x 58 x 68 32-bit floats), 947664 bytes in all, but the file has 947584.  " + upper
				+ ", so the voxel data are cut short.",
			"holds fewer voxel values than its header gives (60 x 58 x 68 of MODE 2: 946560 bytes after the header and 80 "
			"symmetry bytes; the file has 946480); " + c.shown + ", so the voxel data are cut short" );
	}
}

// An 80-byte text record that NSYMBT does not count: under NSYMBT 0 the
// record was read as voxels (Placer and Rasterseek with "larger than
// expected", Quilter without a word), under NSYMBT 3 every value
// misaligned; status 0 with the chain 26-55 A off.  Every program refuses
// both now, naming NSYMBT and the text.
TEST( RealdataMapHeaders, TextRecordThatNsymbtDoesNotCountIsRefused )
{
	QUILT_REQUIRE_SHARED_DATA();
	Map3mht const m;
	ASSERT_TRUE( m.whole() );
	quilt_test::ScratchDir root( "quilt uncounted" );
	for ( int const nsymbt : { 0, 3 } ) {
		std::string const tag = "nsymbt" + std::to_string( nsymbt ), map = root.file( tag + ".mrc" );
		write_file( map, with_words( m.header(), nsymbt ) + m.record() + m.data() );
		std::string const sizes = std::to_string( nsymbt ) + ", but the 80 bytes after the header read as text "
		                          "(\"x,y,z\"), a symmetry record that NSYMBT does not count: its header gives 1024 header "
		                          "bytes, " + std::to_string( nsymbt ) + " bytes of symmetry records and 946560 bytes of "
		                          "voxel data (60 x 58 x 68 ";
		std::string const tail = "), " + std::to_string( 947584 + nsymbt ) + " bytes in all, but the file has 947664, "
		                         + std::to_string( 80 - nsymbt ) + " bytes more, and where the voxel data start is not "
		                         "known";
		expect_refused_by_all( root, tag, map,
			"Error! Map " + map + " gives NSYMBT (word 24) " + sizes + "32-bit floats" + tail + ".  Not loading map.",
			"gives NSYMBT (word 24) " + sizes + "of MODE 2" + tail );
	}
}

// Files that the format reads and the programs read as before: a whole file
// with a binary extended header (FEI1); a record never written whose first
// voxels' bytes are printable and hold the letters x, y and z but no comma,
// so that they spell no operator; bytes after the data, which Quilter's
// reader now names as the fast reader does.
TEST( RealdataMapHeaders, RecordsTheFormatReadsArePlacedAsBefore )
{
	QUILT_REQUIRE_SHARED_DATA();
	Map3mht const m;
	ASSERT_TRUE( m.whole() );
	quilt_test::ScratchDir root( "quilt fine" );
	std::string binary( 80, '\0' );
	for ( int i = 0; i < 80; ++i ) binary[ i ] = char( ( i * 37 + 11 ) % 256 );

	std::string const fei = root.file( "fei1.mrc" );
	write_file( fei, with_words( m.header(), 80, "FEI1" ) + binary + m.data() );
	for ( const std::string& out : expect_placed_by_all( root, "fei1", fei ) ) {
		EXPECT_FALSE( quilter_test::says( out, "Warning! File" ) ) << out;
		EXPECT_FALSE( quilter_test::says( out, "ReadMrc_st> Warning: map " + fei ) ) << out;
		EXPECT_FALSE( quilter_test::says( out, "shifted" ) ) << out;
	}

	// The map's corner is empty: 20 voxels of 2.1e-19 there ("xyz " each)
	// change nothing the fit sees.
	std::string letters = m.data();
	for ( int i = 0; i < 20; ++i ) letters.replace( 4 * i, 4, "xyz " );
	std::string const never = root.file( "never.mrc" );
	write_file( never, m.header() + letters );
	std::vector< std::string > const out = expect_placed_by_all( root, "never", never );
	EXPECT_TRUE( quilter_test::says( out[ 0 ], "Warning! File contains bogus symmetry record.  Continuing." ) ) << out[ 0 ];
	EXPECT_TRUE( quilter_test::says( out[ 1 ], "Warning! File contains bogus symmetry record.  Continuing." ) ) << out[ 1 ];
	EXPECT_TRUE( quilter_test::says( out[ 2 ], "ReadMrc_st> Warning: map " + never + " gives NSYMBT 80, but its voxel data "
	                                           "fill the file right after the header; the symmetry record is taken as "
	                                           "absent." ) )
		<< out[ 2 ];

	std::string const longer = root.file( "longer.mrc" );
	write_file( longer, m.bytes + std::string( 4 * 60 * 58, '\0' ) );
	std::string const sizes = " is larger than its header gives (1024 header bytes, 80 bytes of symmetry records and "
	                          "946560 bytes of voxel data (60 x 58 x 68 ";
	// Under the other reading the size allows (the bytes before the data)
	// every voxel would lie one plane of 60 x 58 further, 1.5 A along Z.
	std::string const read = "), 947664 bytes in all; the file has 961584): the voxel data are read from byte 1104 and "
	                         "the 13920 bytes after them are not used.  If those 13920 bytes lie before the voxel data "
	                         "instead (a record or extended header that NSYMBT does not count), every voxel is read 3480 "
	                         "values early: the density, and every placement in it, would be shifted by about 1.5 A along "
	                         "Z.";
	std::vector< std::string > const runs = expect_placed_by_all( root, "longer", longer );
	for ( int k = 0; k < 2; ++k )
		EXPECT_TRUE( quilter_test::says( runs[ k ], "Warning! File is larger than expected and doesn't match header.  "
		                                            "Reading anyway.\nWarning! Map " + longer + sizes + "32-bit floats"
		                                            + read + "\n" ) )
			<< runs[ k ];
	EXPECT_TRUE( quilter_test::says( runs[ 2 ], "ReadMrc_st> Warning: map " + longer + sizes + "of MODE 2" + read + "\n" ) )
		<< runs[ 2 ];
}

// Files whose size allows two readings of where the data start, and that
// the readers read as the format (or a record never written) gives: the
// data cut short by the record's length under a record that is neither
// operator text nor declared by EXTTYP (small values under EXTTYP CCP4, or
// "P 1"), and bytes before the data that NSYMBT does not count (80 NULs,
// or 4096 under NSYMBT 0).  All three programs ended with status 0 and the
// chain 26-30 A off, saying only that the record was bogus or the file
// larger.  Each program now says what the other reading would mean, with
// the distance the chain then lies off, and Quilter says it once more after
// the model is written.  The distance named is the one the chain was
// placed off (the other reading is the true one here).
TEST( RealdataMapHeaders, SizeThatAllowsTwoReadingsNamesTheOther )
{
	QUILT_REQUIRE_SHARED_DATA();
	Map3mht const m;
	ASSERT_TRUE( m.whole() );
	quilt_test::ScratchDir root( "quilt other" );
	std::string small;
	for ( int i = 0; i < 20; ++i ) {
		float const v = 0.001f * i;
		small.append( reinterpret_cast< const char* >( &v ), 4 );
	}
	std::string const cut = m.data().substr( 0, m.data().size() - 80 );
	std::string const dataAt = "If the file lost those 80 bytes from its end instead, every voxel is read 20 values "
	                           "early: the density, and every placement in it, would be shifted by about 30 A along X.";
	struct Case {
		const char* tag;
		std::string bytes;
		std::string sentence; // what the other reading would mean
		double distance;      // the distance it names (A)
	} const cases[] = {
		{ "small_ccp4", with_words( m.header(), 80, "CCP4" ) + small + cut, dataAt, 30 },
		{ "p1", m.header() + "P 1" + std::string( 77, ' ' ) + cut, dataAt, 30 },
		{ "nuls_nsymbt0", with_words( m.header(), 0 ) + std::string( 80, '\0' ) + m.data(),
		  "If those 80 bytes lie before the voxel data instead (a record or extended header that NSYMBT does not "
		  "count), every voxel is read 20 values early: the density, and every placement in it, would be shifted by "
		  "about 30 A along X.",
		  30 },
		// 1024 values: 17 rows of 60 and 4 columns, 1.5 A each.
		{ "zeros4096_nsymbt0", with_words( m.header(), 0 ) + std::string( 4096, '\0' ) + m.data(),
		  "If those 4096 bytes lie before the voxel data instead (a record or extended header that NSYMBT does not "
		  "count), every voxel is read 1024 values early: the density, and every placement in it, would be shifted by "
		  "about 26 A along X and Y.",
		  1.5 * std::sqrt( 17.0 * 17 + 4 * 4 ) },
	};
	for ( const Case& c : cases ) {
		SCOPED_TRACE( c.tag );
		std::string const map = root.file( std::string( c.tag ) + ".mrc" );
		write_file( map, c.bytes );
		std::string const fit = root.file( std::string( "fit_" ) + c.tag ), seek = root.file( std::string( "seek_" ) + c.tag ),
		                  data = root.file( std::string( "data_" ) + c.tag );
		Trace truth;
		for ( const std::string& d : { fit, seek, data } ) truth = moved_3mht_chain( d );
		std::string out;
		EXPECT_EQ( quilter_test::run_shell( placer_run( map, fit + "/chain1.pdb" ), out ), 0 ) << out;
		EXPECT_TRUE( quilter_test::says( out, "  " + c.sentence + "\n" ) ) << out;
		EXPECT_NEAR( best_rmsd( truth, traces( fit + "/chain1_1.pdb" ) ), c.distance, 1.5 ) << "Placer";
		EXPECT_EQ( quilter_test::run_shell( rasterseek_run( seek, map ), out ), 0 ) << out;
		EXPECT_TRUE( quilter_test::says( out, "  " + c.sentence + "\n" ) ) << out;
		EXPECT_NEAR( best_rmsd( truth, traces( seek + "/chain1_001.pdb" ) ), c.distance, 1.5 ) << "Rasterseek";

		EXPECT_EQ( quilter_test::run_shell( quilter( data, map, "6", 4 ), out ), 0 ) << out;
		EXPECT_TRUE( quilter_test::says( out, "ReadMrc_st> Warning: map " + map ) ) << out;
		EXPECT_TRUE( quilter_test::says( out, "  " + c.sentence + "\n" ) ) << out;
		EXPECT_NEAR( best_rmsd( truth, traces( data + "/segCmodel1.pdb" ) ), c.distance, 1.5 ) << "Quilter";
		// Once more at the end, after the model is written and before the
		// banner.
		std::string const last = "Warning! The map " + map + " was read as its header gives, though its size allows "
		                         "another reading.  " + c.sentence + "\n";
		std::size_t const at = out.rfind( last ), done = out.find( "Assembly is done." ),
		                  banner = out.find( "ASSEMBLY FINISHED" );
		ASSERT_NE( at, std::string::npos ) << out;
		EXPECT_LT( done, at );
		EXPECT_LT( at, banner );
		EXPECT_EQ( out.find( last ), at ) << "said once";
	}
}

// A header whose NX is one less than the data's: the file is one plane of
// 58 x 68 values longer than the header gives.  The format reads it as
// gemmi and mrcfile do (the data from byte 1104, each row one value short:
// the density is scrambled), and Quilter's reader said nothing while the
// fast reader warned; Quilter names it now with the sizes.
TEST( RealdataMapHeaders, HeaderOnePlaneShortIsNamedByQuilter )
{
	QUILT_REQUIRE_SHARED_DATA();
	Map3mht const m;
	ASSERT_TRUE( m.whole() );
	quilt_test::ScratchDir root( "quilt plane" );
	std::string header = m.header();
	int32_t const nx = 59;
	std::memcpy( &header[ 0 ], &nx, 4 );
	std::string const map = root.file( "nx59.mrc" ), data = root.file( "data" );
	write_file( map, header + m.record() + m.data() );
	moved_3mht_chain( data );
	std::string out;
	// One short pass: the scrambled density places nothing well, and the
	// reader's line comes first.
	EXPECT_EQ( quilter_test::run_shell( quilter( data, map, "6", 4 ) + " -it 0 -ft 1 -lco 0 -dmm 0 -glo 0", out ), 0 ) << out;
	EXPECT_TRUE( quilter_test::says( out, "ReadMrc_st> Warning: map " + map + " is larger than its header gives (1024 "
	                                      "header bytes, 80 bytes of symmetry records and 930784 bytes of voxel data (59 "
	                                      "x 58 x 68 of MODE 2), 931888 bytes in all; the file has 947664): the voxel data "
	                                      "are read from byte 1104 and the 15776 bytes after them are not used.  If "
	                                      "those 15776 bytes lie before the voxel data instead (a record or extended "
	                                      "header that NSYMBT does not count), every voxel is read 3944 values early: the "
	                                      "density, and every placement in it, would be shifted by about 19 A along X, Y "
	                                      "and Z.\n" ) )
		<< out;
}
