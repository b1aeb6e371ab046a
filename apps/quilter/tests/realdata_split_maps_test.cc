// The protein-DNA complex 3MHT on the mixed road, with the nucleic-acid and
// protein maps beside the map replaced by what a user may give by mistake:
// an empty map, the map of another structure, a directory, a truncated file.
// Each is refused with an "ERROR!" line naming the file and status 1 before
// any chain is placed; the maps that belong to the complex lie on it.
#include "apps/quilter/PlacementChecks.hh"
#include "quilter_run_case.hh"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using namespace quilter_test;
namespace fs = std::filesystem;

namespace {

std::string complex_file( const std::string& name ) { return quilt_test::shared_file( "complexes/3mht/" + name ); }

// The "ATOM" lines of one chain of 3mht.pdb.
void write_chain_of( const std::string& out, char chain )
{
	std::ifstream in( complex_file( "3mht.pdb" ) );
	std::ofstream o( out );
	for ( std::string l; std::getline( in, l ); )
		if ( l.rfind( "ATOM", 0 ) == 0 && l.size() > 21 && l[ 21 ] == chain ) o << l << "\n";
	o << "TER\nEND\n";
}

struct MixedCase {
	quilt_test::ScratchDir root{ "quilt split maps" };
	std::string data = root.file( "data" ), maps = root.file( "maps" );
	std::string map = maps + "/map.mrc";
	MixedCase()
	{
		fs::create_directories( data );
		fs::create_directories( maps );
		write_chain_of( data + "/chain1.pdb", 'A' );
		write_chain_of( data + "/chain2.pdb", 'C' );
		write_chain_of( data + "/chain3.pdb", 'D' );
		fs::copy_file( complex_file( "3mht_sim6A.mrc" ), map );
		fs::copy_file( complex_file( "NA.map" ), maps + "/NA.map" );
		fs::copy_file( complex_file( "Pro.map" ), maps + "/Pro.map" );
	}
	int quilter( std::string& out )
	{
		// The refusals come before any program is started: none is needed.
		return run_shell( "timeout 300 " + shq( quilt_test::bin_dir() + "/Quilter" ) + " " + shq( data ) + " " +
		                      shq( map ) + " 6 -nco 2",
			out );
	}
	bool data_untouched() const
	{
		std::size_t n = 0;
		for ( auto const& e : fs::directory_iterator( data ) ) {
			(void)e;
			++n;
		}
		return n == 3;
	}
};

// A copy of an MRC map with every value 0 (the header, with its extended
// header, kept).
void write_zeroed( const std::string& from, const std::string& to )
{
	std::string bytes = file_text( from );
	int nsymbt = 0;
	std::memcpy( &nsymbt, bytes.data() + 92, 4 );
	for ( std::size_t i = 1024 + static_cast< std::size_t >( nsymbt ); i < bytes.size(); ++i ) bytes[ i ] = 0;
	std::ofstream( to, std::ios::binary ) << bytes;
}

} // namespace

TEST( SplitMaps, MapsOfTheComplexLieOnItsMap )
{
	QUILT_REQUIRE_SHARED_DATA();
	FastDensityScore const whole = load_map( complex_file( "3mht_sim6A.mrc" ) );
	FastDensityScore const na = load_map( complex_file( "NA.map" ) );
	FastDensityScore const pro = load_map( complex_file( "Pro.map" ) );
	FastDensityScore const other = load_map( quilt_test::shared_file( "complexes/1z5s/1z5s_10.mrc" ) );
	ASSERT_TRUE( whole.isLoaded && na.isLoaded && pro.isLoaded && other.isLoaded );
	EXPECT_GT( densityOverlapFraction( na, whole ), 0.95 );
	EXPECT_GT( densityOverlapFraction( pro, whole ), 0.95 );
	EXPECT_LT( densityOverlapFraction( other, whole ), 0.05 );
}

TEST( SplitMaps, UnusableNucleicAcidOrProteinMapIsRefused )
{
	QUILT_REQUIRE_SHARED_DATA();
	std::string out;
	// Each of the two maps is checked: no density, or a map of another
	// structure.
	for ( std::string const name : { "NA.map", "Pro.map" } ) {
		{
			MixedCase c;
			write_zeroed( complex_file( name ), c.maps + "/" + name );
			EXPECT_EQ( c.quilter( out ), 1 ) << out;
			EXPECT_TRUE( says( out, kError + "The map " + c.maps + "/" + name + " holds no positive density." ) ) << out;
			EXPECT_TRUE( c.data_untouched() );
		}
		{
			MixedCase c;
			fs::copy_file( quilt_test::shared_file( "complexes/1z5s/1z5s_10.mrc" ), c.maps + "/" + name,
				fs::copy_options::overwrite_existing );
			EXPECT_EQ( c.quilter( out ), 1 ) << out;
			EXPECT_TRUE(
				says( out, kError + "The map " + c.maps + "/" + name + " does not lie on the density map: only 0%" ) )
				<< out;
			EXPECT_TRUE( c.data_untouched() );
		}
	}
	{
		MixedCase c;
		fs::remove( c.maps + "/Pro.map" );
		fs::create_directory( c.maps + "/Pro.map" );
		EXPECT_EQ( c.quilter( out ), 1 ) << out;
		EXPECT_TRUE( says( out, kError + "The map " + c.maps + "/Pro.map is not a regular file." ) ) << out;
		EXPECT_TRUE( c.data_untouched() );
	}
	{
		// The map reader stops on it with a code of its own (70653, which
		// the system would cut to 8 bits): the run's error instead.
		MixedCase c;
		fs::resize_file( c.maps + "/Pro.map", 5000 );
		EXPECT_EQ( c.quilter( out ), 1 ) << out;
		EXPECT_TRUE( says( out, kError + "The density map " + c.maps + "/Pro.map holds fewer voxel values than its header" ) )
			<< out;
		EXPECT_TRUE( c.data_untouched() );
	}
}
