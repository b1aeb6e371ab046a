// The Quilter program under faults: started programs that are missing,
// crash, hang or leave broken results; an unwritable data directory; a data
// path with shell characters; a truncated map; a chain file without atoms;
// a disk that fills up while the final model is written; two runs in one
// data directory.  In every case the run either finishes with the chains it
// could place, saying which it could not, or stops with a clear error, and it
// never reports success without a final model.  The started programs are
// shell-script stand-ins beside a copy of the Quilter program.
#include "quilter_test_util.hh"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/mount.h>
#include <sys/wait.h>
#include <thread>
#include <vector>

using namespace quilter_test;
namespace fs = std::filesystem;

namespace {

std::string q( const std::string& s )
{
	std::string r = "'";
	for ( char c : s ) r += c == '\'' ? std::string( "'\\''" ) : std::string( 1, c );
	return r + "'";
}

int run( const std::string& cmd, std::string& out )
{
	out.clear();
	FILE* p = ::popen( ( cmd + " 2>&1" ).c_str(), "r" );
	char buf[ 4096 ];
	std::size_t n;
	while ( ( n = std::fread( buf, 1, sizeof buf, p ) ) > 0 ) out.append( buf, n );
	int const st = ::pclose( p );
	return WIFEXITED( st ) ? WEXITSTATUS( st ) : -1;
}

// Stand-ins: the FFT search and the LBFGS fitting return the chain as it
// stands (the chains are given in their true places).
const char* kRasterseek = "cp \"$2\" \"$3_001.pdb\"\n";
const char* kPlacer = "c=\"$2\"; cp \"$c\" \"${c%.pdb}_1.pdb\"\n";

struct Case {
	quilt_test::ScratchDir root{ "quilt faults" };
	std::string bin = root.path() + "/bin";
	std::string data;
	std::string map = root.path() + "/map.mrc";
	std::vector< std::string > truth;

	explicit Case( const std::string& dataName = "data" ) : data( root.path() + "/" + dataName )
	{
		fs::create_directories( bin );
		fs::create_directories( data );
		fs::copy_file( quilt_test::bin_dir() + "/Quilter", bin + "/Quilter" );
		std::vector< std::vector< Point > > const chains = { helix( 30, 0, 0, 0 ), helix( 24, 13, 0, 4, 1.0 ),
			helix( 18, 0, 13, 8, 2.0 ) };
		for ( std::size_t i = 0; i < chains.size(); ++i ) {
			std::string const f = root.path() + "/true" + std::to_string( i + 1 ) + ".pdb";
			write_chain( f, chains[ i ], static_cast< char >( 'A' + i ) );
			truth.push_back( f );
			fs::copy_file( f, data + "/chain" + std::to_string( i + 1 ) + ".pdb" );
		}
		simulate_map( truth, map );
	}
	void script( const std::string& name, const std::string& body ) { write_script( bin + "/" + name, body ); }
	int quilter( std::string& out, const std::string& extra = "" )
	{
		return run( extra + q( bin + "/Quilter" ) + " " + q( data ) + " " + q( map ) + " 6 -nco 1", out );
	}
	std::string model() const { return data + "/segCmodel1.pdb"; }
	// Chains of the final model, as "ATOM" line counts between "TER" lines.
	std::vector< int > chain_sizes() const
	{
		std::ifstream in( model() );
		std::vector< int > sizes;
		int n = 0;
		std::string l;
		while ( std::getline( in, l ) ) {
			if ( l.rfind( "ATOM", 0 ) == 0 ) ++n;
			if ( l == "TER" ) {
				sizes.push_back( n );
				n = 0;
			}
		}
		return sizes;
	}
	// Entries of the data directory other than the inputs and the model.
	std::vector< std::string > leftovers() const
	{
		std::vector< std::string > left;
		for ( auto const& e : fs::directory_iterator( data ) ) {
			std::string const n = e.path().filename().string();
			if ( n.rfind( "chain", 0 ) == 0 || n == "segCmodel1.pdb" ) continue;
			left.push_back( n );
		}
		return left;
	}
};

bool finished( const std::string& out ) { return out.find( "ASSEMBLY FINISHED" ) != std::string::npos; }

} // namespace

TEST( AssemblyFaults, StandInsPlaceEveryChain )
{
	Case c;
	c.script( "Rasterseek", kRasterseek );
	std::string out;
	EXPECT_EQ( c.quilter( out ), 0 ) << out;
	EXPECT_TRUE( finished( out ) );
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 24, 18 } ) );
	EXPECT_TRUE( c.leftovers().empty() );
}

TEST( AssemblyFaults, MissingFftSearchFallsBackToFitting )
{
	Case c;
	c.script( "Placer", kPlacer );
	std::string out;
	EXPECT_EQ( c.quilter( out ), 0 ) << out;
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 24, 18 } ) );
}

TEST( AssemblyFaults, CrashingProgramsLeaveTheirChainOutAndTheRestIsAssembled )
{
	Case c;
	// The search crashes on the middle chain; no fitting program exists.
	c.script( "Rasterseek", "case \"$3\" in chain2_*) kill -SEGV $$;; esac\ncp \"$2\" \"$3_001.pdb\"\n" );
	std::string out;
	EXPECT_EQ( c.quilter( out ), 0 ) << out;
	EXPECT_NE( out.find( "Warning! No placement was found for chain 'chain2_B'" ), std::string::npos );
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 18 } ) );
	EXPECT_TRUE( c.leftovers().empty() );
}

TEST( AssemblyFaults, HangingProgramIsStoppedAtTheTimeLimit )
{
	Case c;
	c.script( "Rasterseek", "sleep 600\n" );
	c.script( "Placer", kPlacer );
	std::string out;
	auto const start = std::chrono::steady_clock::now();
	EXPECT_EQ( c.quilter( out, "QUILT_PROGRAM_TIME_LIMIT=1 " ), 0 ) << out;
	double const secs = std::chrono::duration< double >( std::chrono::steady_clock::now() - start ).count();
	EXPECT_LT( secs, 120.0 );
	EXPECT_NE( out.find( "ran longer than 1 s and was stopped" ), std::string::npos );
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 24, 18 } ) );
}

TEST( AssemblyFaults, EmptyOrTruncatedResultsAreNotUsed )
{
	Case c;
	// An empty result for one chain, one cut in the middle of a line for
	// another; the fitting stand-in then places them.
	c.script( "Rasterseek", "case \"$3\" in chain1_*) : > \"$3_001.pdb\";;\n"
	                        "chain2_*) head -c 200 \"$2\" > \"$3_001.pdb\";;\n"
	                        "*) cp \"$2\" \"$3_001.pdb\";; esac\n" );
	c.script( "Placer", kPlacer );
	std::string out;
	EXPECT_EQ( c.quilter( out ), 0 ) << out;
	EXPECT_NE( out.find( "chain1_A_001.pdb cannot be used: it holds no \"ATOM\" record" ), std::string::npos );
	EXPECT_NE( out.find( "chain2_B_001.pdb cannot be used" ), std::string::npos );
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 24, 18 } ) );
}

TEST( AssemblyFaults, NothingPlacedIsAnErrorNotASuccess )
{
	Case c;
	std::string out;
	EXPECT_EQ( c.quilter( out ), 1 ) << out;
	EXPECT_FALSE( finished( out ) );
	EXPECT_NE( out.find( "No final model was written" ), std::string::npos );
	EXPECT_FALSE( fs::exists( c.model() ) );
	EXPECT_TRUE( c.leftovers().empty() );
}

TEST( AssemblyFaults, DataPathWithShellCharacters )
{
	Case c( "a b'c;$(touch x)" );
	c.script( "Rasterseek", kRasterseek );
	std::string out;
	EXPECT_EQ( c.quilter( out ), 0 ) << out;
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 24, 18 } ) );
	EXPECT_FALSE( fs::exists( c.root.path() + "/x" ) );
	EXPECT_FALSE( fs::exists( c.data + "/x" ) );
	EXPECT_FALSE( fs::exists( "x" ) );
}

TEST( AssemblyFaults, TruncatedMapStopsWithAnErrorAndLeavesNothing )
{
	Case c;
	c.script( "Rasterseek", kRasterseek );
	fs::resize_file( c.map, fs::file_size( c.map ) / 2 );
	std::string out;
	EXPECT_NE( c.quilter( out ), 0 ) << out;
	EXPECT_FALSE( finished( out ) );
	EXPECT_FALSE( fs::exists( c.model() ) );
	EXPECT_TRUE( c.leftovers().empty() );
}

TEST( AssemblyFaults, ChainFileWithoutAtomsAmongGoodOnes )
{
	Case c;
	c.script( "Rasterseek", kRasterseek );
	std::ofstream( c.data + "/chain2.pdb" ) << "HEADER    EMPTY\nHETATM    1  O   HOH A   1       0.000   0.000   0.000\nEND\n";
	std::string out;
	EXPECT_EQ( c.quilter( out ), 0 ) << out;
	EXPECT_NE( out.find( "Warning! No chain was found in chain2.pdb" ), std::string::npos );
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 18 } ) );
}

TEST( AssemblyFaults, UnwritableDataDirectoryIsRefusedBeforeAnythingIsMade )
{
	Case c;
	c.script( "Rasterseek", kRasterseek );
	std::string out;
	if ( ::geteuid() == 0 ) {
		// Root writes anywhere: run as an unprivileged user instead.
		for ( auto const& p : { c.root.path(), c.bin, c.data } ) fs::permissions( p, fs::perms( 0755 ) );
		fs::permissions( c.map, fs::perms( 0644 ) );
		if ( run( "setpriv --reuid=65534 --regid=65534 --clear-groups true", out ) != 0 )
			GTEST_SKIP() << "cannot run as an unprivileged user here";
		EXPECT_EQ( c.quilter( out, "setpriv --reuid=65534 --regid=65534 --clear-groups " ), 1 ) << out;
	} else {
		fs::permissions( c.data, fs::perms( 0555 ) );
		EXPECT_EQ( c.quilter( out ), 1 ) << out;
		fs::permissions( c.data, fs::perms( 0755 ) );
	}
	EXPECT_NE( out.find( "Data directory cannot be written" ), std::string::npos );
	EXPECT_TRUE( c.leftovers().empty() );
}

TEST( AssemblyFaults, DiskFullWhileTheFinalModelIsWritten )
{
	Case c;
	// The data directory on a small file system of its own; the search of the
	// last (smallest) chain fills it after leaving its result.
	std::string const mnt = c.root.path() + "/small";
	fs::create_directories( mnt );
	if ( ::mount( "tmpfs", mnt.c_str(), "tmpfs", 0, "size=4m" ) != 0 )
		GTEST_SKIP() << "cannot mount a small file system here";
	std::string const data = mnt + "/data";
	fs::create_directories( data );
	for ( auto const& e : fs::directory_iterator( c.data ) ) fs::copy_file( e.path(), data + "/" + e.path().filename().string() );
	c.data = data;
	c.script( "Rasterseek", "cp \"$2\" \"$3_001.pdb\"\ncase \"$3\" in chain3_*) "
	                        "dd if=/dev/zero of=\"" + mnt + "/fill\" bs=64k 2>/dev/null;; esac\n" );
	std::string out;
	int const status = c.quilter( out );
	EXPECT_NE( status, 0 ) << out;
	EXPECT_FALSE( finished( out ) );
	EXPECT_FALSE( fs::exists( c.model() ) );
	EXPECT_NE( out.find( "Cannot write the model file" ), std::string::npos ) << out;
	::umount( mnt.c_str() );
}

TEST( AssemblyFaults, TwoRunsInOneDataDirectoryBothFinish )
{
	Case c;
	c.script( "Rasterseek", "sleep 0.2\ncp \"$2\" \"$3_001.pdb\"\n" );
	std::string out1, out2;
	int s1 = -1, s2 = -1;
	std::thread t1( [ & ] { s1 = c.quilter( out1 ); } );
	std::thread t2( [ & ] { s2 = c.quilter( out2 ); } );
	t1.join();
	t2.join();
	EXPECT_EQ( s1, 0 ) << out1;
	EXPECT_EQ( s2, 0 ) << out2;
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 24, 18 } ) );
	EXPECT_TRUE( c.leftovers().empty() );
}

TEST( AssemblyFaults, RunKilledHalfWayDoesNotBlockTheNext )
{
	Case c;
	c.script( "Rasterseek", "sleep 3\ncp \"$2\" \"$3_001.pdb\"\n" );
	std::string out;
	// Killed during its first search; its work directories stay behind.
	run( "( " + q( c.bin + "/Quilter" ) + " " + q( c.data ) + " " + q( c.map ) +
	         " 6 -nco 1 >/dev/null & pid=$!; sleep 1.5; kill -9 $pid; wait $pid )",
		out );
	EXPECT_FALSE( c.leftovers().empty() );
	std::this_thread::sleep_for( std::chrono::seconds( 2 ) );  // its search ends
	c.script( "Rasterseek", kRasterseek );
	std::vector< std::string > const before = c.leftovers();
	EXPECT_EQ( c.quilter( out ), 0 ) << out;
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 24, 18 } ) );
	EXPECT_EQ( c.leftovers(), before );  // the new run touched none of them
}
