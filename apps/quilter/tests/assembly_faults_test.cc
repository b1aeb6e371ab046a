// The Quilter program under faults: started programs that are missing,
// crash, hang or leave broken results; an unwritable data directory; a data
// path with shell characters; a truncated map; a chain file without atoms;
// a disk that fills up while the final model is written; two runs in one
// data directory.  In every case the run either finishes with the chains it
// could place, saying which it could not, or stops with a clear error, and it
// never reports success without a final model.  The started programs are
// shell-script stand-ins beside a copy of the Quilter program.
#include "quilter_run_case.hh"

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <string>
#include <sys/mount.h>
#include <thread>
#include <vector>

using namespace quilter_test;
namespace fs = std::filesystem;

namespace {

using Case = RunCase;
const char* const kRasterseek = kRasterseekInPlace;
const char* const kPlacer = kPlacerInPlace;

std::string q( const std::string& s ) { return shq( s ); }
int run( const std::string& cmd, std::string& out ) { return run_shell( cmd, out ); }

// Moves the case's data directory onto a 4 MB file system of its own (or
// one made with the given mount options); returns its mount point ("" when
// nothing can be mounted here).
std::string on_small_file_system( Case& c, const std::string& options = "size=4m" )
{
	std::string const mnt = c.root.path() + "/small";
	fs::create_directories( mnt );
	if ( ::mount( "tmpfs", mnt.c_str(), "tmpfs", 0, options.c_str() ) != 0 ) return "";
	std::string const data = mnt + "/data";
	fs::create_directories( data );
	for ( auto const& e : fs::directory_iterator( c.data ) ) fs::copy_file( e.path(), data + "/" + e.path().filename().string() );
	c.data = data;
	return mnt;
}

// A search stand-in that leaves its result where the chain stands and, for
// the chains whose file name begins with `chain`, then fills the file
// system mounted at mnt.
void fill_after_search( Case& c, const std::string& mnt, const std::string& chain )
{
	c.script( "Rasterseek", "cp \"$2\" \"$3_001.pdb\"\ncase \"$3\" in " + chain +
	                            "*) dd if=/dev/zero of=\"" + mnt + "/fill\" bs=4k 2>/dev/null;; esac\n" );
}

// Unmounts the small file system at the end of a test, however it ends.
struct Unmount {
	std::string at;
	~Unmount()
	{
		if ( !at.empty() ) ::umount( at.c_str() );
	}
};

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
	// Bounded: a run that waited for the hanging search would be ended by
	// the timeout (and fail), not hang the tests.
	EXPECT_EQ( c.quilter( out, "QUILT_PROGRAM_TIME_LIMIT=1 timeout 600 " ), 0 ) << out;
	EXPECT_NE( out.find( "ran longer than 1 s and was stopped" ), std::string::npos );
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 24, 18 } ) );
}

// The global domain optimisation starts Lobetune on the whole final model,
// on no chain: each warning about it names the program alone, in the form
// the reference page quotes for a program started without a chain.  The
// hanging stand-in is stopped by a time limit of 8 s, so that the other
// stand-ins of that run, which end at once, stay far inside it on a loaded
// machine (the timeout bounds the run); the other rows run with the default
// limit.
TEST( AssemblyFaults, ProgramStartedOnNoChainIsNamedWithoutOne )
{
	struct Row {
		std::string body, warning, before = "timeout 600 ";
	};
	std::vector< Row > rows = {
		{ "sleep 600\n", "Warning! A started program ran longer than 8 s and was stopped: Lobetune ('",
			"QUILT_PROGRAM_TIME_LIMIT=8 timeout 600 " },
		{ "exit 3\n", "Warning! Lobetune ended with status 3.\n" },
		{ "kill -KILL $$\n", "Warning! Lobetune was ended by signal 9.\n" },
		{ "exit 127\n", "Warning! Lobetune could not be started (status 127).\n" },
	};
	// The sanitizer's allocator aborts on a request of 1 PB.
	if ( !quilt_test::kAddressSanitized )
		rows.push_back( { "exec " + q( quilt_test::bin_dir() + "/run_out_of_memory" ) + " 'optimising domains' alloc\n",
			"Warning! Lobetune ran out of memory (status 1): Memory ran out while optimising domains (1024.0 TB could "
			"not be allocated).\n" } );
	for ( Row const& row : rows ) {
		Case c;
		c.script( "Rasterseek", kRasterseek );
		c.script( "Lobetune", row.body );
		std::string out;
		EXPECT_EQ( c.quilter( out, row.before ), 0 ) << row.body << out;
		ASSERT_TRUE( says( out, "GetInitModel> Global domain optimize ..." ) ) << out;
		EXPECT_EQ( quilt_test::occurrences( out, row.warning ), 1u ) << row.body << out;
		EXPECT_FALSE( says( out, "Lobetune ended with status 0" ) ) << out;
		EXPECT_FALSE( says( out.substr( out.find( "Global domain optimize" ) ), " on chain '" ) ) << row.body << out;
		// The final model stays the one written before the optimisation.
		EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 24, 18 } ) ) << row.body << out;
		EXPECT_TRUE( finished( out ) ) << out;
		EXPECT_TRUE( c.leftovers().empty() );
	}
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
	// The map reader's own code (70653) would be cut to 8 bits by the
	// system: the run's own error and status instead.
	EXPECT_EQ( c.quilter( out ), 1 ) << out;
	// The reader's reason, in the run's error line.
	EXPECT_TRUE( says( out, kError + "The density map " + c.map + " holds fewer voxel values than its header gives" ) )
		<< out;
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

// An input model in mmCIF format used to be "skipped" as a file without a
// chain (after a warning that its rows cannot be read as atom records), and
// a run of mmCIF inputs alone refused as one without "ATOM" records.
TEST( AssemblyFaults, InputModelsInMmcifFormatAreNamedAsSuch )
{
	Case c;
	c.script( "Rasterseek", kRasterseek );
	write_mmcif_chain( c.data + "/chain2.pdb", helix( 24, 13, 0, 4, 1.0 ), 'B' );
	std::string out;
	EXPECT_EQ( c.quilter( out ), 0 ) << out;
	EXPECT_TRUE( says( out, "Warning! No chain was found in chain2.pdb: it looks like an mmCIF file, and only PDB "
	                        "format files are read; it is skipped." ) )
		<< out;
	EXPECT_FALSE( says( out, "cannot be read as atom records" ) ) << out;
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 18 } ) );
	// Every input in mmCIF format: nothing to assemble.
	fs::remove( c.model() );
	write_mmcif_chain( c.data + "/chain1.pdb", helix( 30, 0, 0, 0 ), 'A' );
	write_mmcif_chain( c.data + "/chain3.pdb", helix( 18, 0, 13, 8, 2.0 ), 'C' );
	EXPECT_EQ( c.quilter( out ), 1 ) << out;
	EXPECT_TRUE( says( out, kError + "None of the input models holds an \"ATOM\" record; chain1.pdb, chain2.pdb and "
	                                 "chain3.pdb look like mmCIF files, and only PDB format files are read.\n" ) )
		<< out;
	EXPECT_FALSE( fs::exists( c.model() ) );
	EXPECT_TRUE( c.leftovers().empty() );
	// One alone, and one among inputs that are merely empty.
	fs::remove( c.data + "/chain2.pdb" );
	fs::remove( c.data + "/chain3.pdb" );
	EXPECT_EQ( c.quilter( out ), 1 ) << out;
	EXPECT_TRUE( says( out, kError + "None of the input models holds an \"ATOM\" record; chain1.pdb looks like an "
	                                 "mmCIF file, and only PDB format files are read.\n" ) )
		<< out;
	std::ofstream( c.data + "/chain2.pdb" ) << "HEADER    EMPTY\nEND\n";
	EXPECT_EQ( c.quilter( out ), 1 ) << out;
	EXPECT_TRUE( says( out, "Warning! No chain was found in chain2.pdb; it is skipped." ) ) << out;
	EXPECT_TRUE( says( out, "\"ATOM\" record; chain1.pdb looks like an mmCIF file" ) ) << out;
	EXPECT_TRUE( c.leftovers().empty() );
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
	std::string const mnt = on_small_file_system( c );
	if ( mnt.empty() ) GTEST_SKIP() << "cannot mount a small file system here";
	fill_after_search( c, mnt, "chain3_" );
	std::string out;
	int const status = c.quilter( out );
	EXPECT_EQ( status, 1 ) << out;
	EXPECT_FALSE( finished( out ) );
	EXPECT_FALSE( fs::exists( c.model() ) );
	EXPECT_NE( out.find( "Cannot write the model file" ), std::string::npos ) << out;
	// The run's error names the file and the reason, not a placement
	// failure.
	EXPECT_NE( out.find( "\033[1mERROR!\033[0m The final model " + c.model() +
	                     " could not be written: No space left on device." ),
		std::string::npos )
		<< out;
	EXPECT_EQ( out.find( "no chain could be placed" ), std::string::npos ) << out;
	EXPECT_TRUE( c.leftovers().empty() );
	::umount( mnt.c_str() );
}

TEST( AssemblyFaults, DiskFullWhileAMapIsWritten )
{
	// The disk fills after the first chain's search: the density of the
	// placed chain is removed into a new map, whose write fails.  The map
	// writer's stop becomes the run's error, with its reason, and status 1
	// (not the writer's own code cut to 8 bits), and the work is removed.
	Case c;
	std::string const mnt = on_small_file_system( c );
	if ( mnt.empty() ) GTEST_SKIP() << "cannot mount a small file system here";
	fill_after_search( c, mnt, "chain1_" );
	std::string out;
	EXPECT_EQ( c.quilter( out ), 1 ) << out;
	EXPECT_TRUE( says( out, kError + "Cannot write the map file " ) ) << out;
	EXPECT_TRUE( says( out, ": No space left on device; no model written." ) ) << out;
	EXPECT_FALSE( fs::exists( c.model() ) );
	EXPECT_TRUE( c.leftovers().empty() );
	::umount( mnt.c_str() );
}

TEST( AssemblyFaults, MapsTheReaderDoesNotTakeAreNamedWithTheReason )
{
	// Each a copy of the case's map with one header word changed, or the
	// whole map compressed: refused with the reason, status 1, nothing left.
	struct Bad {
		const char* name;
		int word;        // header word (from 1), or 0 for a gzip-compressed map
		std::int32_t i;  // its value as an integer ...
		float f;         // ... or as a number (when i is 0)
		const char* says;
	};
	Case c;
	c.script( "Rasterseek", kRasterseek );
	std::string const bytes = file_text( c.map );
	for ( Bad const b : { Bad{ "mode3", 4, 3, 0, "has MODE (word 4) 3 (complex 16-bit integers), which is not supported; "
		                                          "the supported modes are 0 (8-bit integers), 1 (16-bit integers) and 2 "
		                                          "(32-bit floats)" },
		      Bad{ "mode12", 4, 12, 0, "has MODE (word 4) 12 (16-bit floats), which is not supported" },
		      Bad{ "nsymbt", 24, 2147483647, 0, "gives NSYMBT (word 24) 2147483647 bytes of symmetry records, but the "
		                                        "file holds only" },
		      Bad{ "voxel", 11, 0, 7.7e-5f, "voxels below 0.01 A are not usable" },
		      Bad{ "gzip", 0, 0, 0, "is gzip-compressed (it begins with the bytes 1f 8b); decompress it (gunzip) first" } } ) {
		std::string const map = c.root.path() + "/" + b.name + ".mrc";
		if ( b.word == 0 ) {
			std::string out;
			ASSERT_EQ( run_shell( "gzip -c " + shq( c.map ) + " > " + shq( map ), out ), 0 ) << out;
		} else {
			std::string changed = bytes;
			char* at = &changed[ 4 * ( b.word - 1 ) ];
			if ( b.i != 0 ) std::memcpy( at, &b.i, 4 );
			else std::memcpy( at, &b.f, 4 );
			std::ofstream( map, std::ios::binary ) << changed;
		}
		std::string out;
		EXPECT_EQ( run( q( c.bin + "/Quilter" ) + " " + q( c.data ) + " " + q( map ) + " 6", out ), 1 ) << b.name << out;
		std::size_t const error = out.find( kError + "The density map " + map + " " );
		ASSERT_NE( error, std::string::npos ) << b.name << "\n" << out;
		EXPECT_TRUE( says( out.substr( error ), b.says ) ) << b.name << "\n" << out;
		EXPECT_TRUE( c.leftovers().empty() ) << b.name;
	}
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
	std::string const pidFile = c.root.path() + "/search.pid";
	c.script( "Rasterseek", "echo $(cut -d' ' -f5 /proc/$$/stat) > '" + pidFile + ".tmp' && mv '" + pidFile + ".tmp' '" +
	                            pidFile + "'\nsleep 600\n" );
	std::string out;
	// Killed during its first search (once the search has begun: its work
	// directories exist by then); its orphaned search is killed after it.
	run( "( " + q( c.bin + "/Quilter" ) + " " + q( c.data ) + " " + q( c.map ) +
	         " 6 -nco 1 >/dev/null & pid=$!; i=0; while [ ! -s " + q( pidFile ) +
	         " ] && [ $i -lt 1200 ]; do sleep 0.05; i=$((i+1)); done; kill -9 $pid; wait $pid; g=$(cat " + q( pidFile ) +
	         "); kill -KILL -$g )",
		out );
	EXPECT_FALSE( c.leftovers().empty() );
	c.script( "Rasterseek", kRasterseek );
	std::vector< std::string > const before = c.leftovers();
	EXPECT_EQ( c.quilter( out ), 0 ) << out;
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 24, 18 } ) );
	EXPECT_EQ( c.leftovers(), before );  // the new run touched none of them
}

// With no "mkdir" on the PATH (a PATH of programs chosen by hand, or none)
// the run's chain directory was never made, and the run stopped with
// "Cannot copy the input model .../chain1.pdb: No such file or directory",
// though the file was there.  The run makes, copies and removes its files
// itself; the stand-in search below uses only what the shell has built in.
TEST( AssemblyFaults, RunNeedsNoProgramOfThePath )
{
	Case c;
	c.script( "Rasterseek", "while IFS= read -r l; do printf '%s\\n' \"$l\"; done < \"$2\" > \"$3_001.pdb\"\n" );
	std::string out;
	EXPECT_EQ( c.quilter( out, "PATH=/nonexistent " ), 0 ) << out;
	EXPECT_FALSE( says( out, "mkdir: not found" ) ) << out;
	EXPECT_TRUE( finished( out ) );
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 24, 18 } ) );
	EXPECT_TRUE( c.leftovers().empty() );
}

// The chain directory inside the run's work directory that cannot be made
// (no inode left on the file system) is named with the reason, instead of
// the copy into it failing with "No such file or directory".
TEST( AssemblyFaults, WorkDirectoryThatCannotBeMadeIsNamedWithTheReason )
{
	Case c;
	c.script( "Rasterseek", kRasterseek );
	// Inodes for the root, the data directory, its files and the run's work
	// directory: none for the chain directory inside it.
	std::size_t files = 0;
	for ( auto const& e : fs::directory_iterator( c.data ) ) files += e.is_regular_file() ? 1 : 0;
	std::string const mnt =
		on_small_file_system( c, "size=4m,nr_inodes=" + std::to_string( 1 + 1 + files + 1 ) );
	if ( mnt.empty() ) GTEST_SKIP() << "cannot mount a small file system here";
	Unmount const unmount{ mnt };
	std::string out;
	EXPECT_EQ( c.quilter( out ), 1 ) << out;
	std::size_t const at = out.find( kError + "Cannot make the work directory " + c.data + "/segtemp" );
	ASSERT_NE( at, std::string::npos ) << out;
	EXPECT_TRUE( says( out.substr( at ), "/chains_temp: No space left on device.\n" ) ) << out;
	EXPECT_FALSE( says( out, "Cannot copy the input model" ) ) << out;
	EXPECT_FALSE( fs::exists( c.model() ) );
	EXPECT_TRUE( c.leftovers().empty() );
}

// The copy of a chain that the search is started on, in the matching
// directory, that cannot be written: the run used to go on with an empty
// copy, find no placement for the chain and end with status 0 and a model
// without it.  First a directory of the copy's name in the way, then a disk
// that is full only while the copy is written (the search of the first
// chain fills it after leaving its result, the next program started frees
// it; -rm 0, so that no map is written in between).
TEST( AssemblyFaults, ChainCopyThatCannotBeWrittenStopsTheRun )
{
	{
		Case c;
		c.script( "Rasterseek", "case \"$3\" in chain1_*) mkdir \"${2%/*}/chain2_B.pdb\";; esac\n"
		                        "cp \"$2\" \"$3_001.pdb\"\n" );
		std::string out;
		EXPECT_EQ( c.quilter( out ), 1 ) << out;
		std::size_t const at = out.find( kError + "Cannot write the chain copy " + c.data + "/segtemp" );
		ASSERT_NE( at, std::string::npos ) << out;
		EXPECT_TRUE( says( out.substr( at ), "/chain2_B.pdb: Is a directory.\n" ) ) << out;
		EXPECT_FALSE( finished( out ) );
		EXPECT_FALSE( fs::exists( c.model() ) );
		EXPECT_TRUE( c.leftovers().empty() );
	}
	Case c;
	std::string const mnt = on_small_file_system( c );
	if ( mnt.empty() ) GTEST_SKIP() << "cannot mount a small file system here";
	Unmount const unmount{ mnt };
	std::string const fill = mnt + "/fill";
	c.script( "Rasterseek", "case \"$3\" in chain1_*) cp \"$2\" \"$3_001.pdb\"; dd if=/dev/zero of='" + fill +
	                            "' bs=4k 2>/dev/null || :;;\n*) rm -f '" + fill + "'; cp \"$2\" \"$3_001.pdb\";; esac\n" );
	std::string out;
	EXPECT_EQ( c.quilter( out, "", "-nco 1 -rm 0" ), 1 ) << out;
	std::size_t const at = out.find( kError + "Cannot write the chain copy " + c.data + "/segtemp" );
	ASSERT_NE( at, std::string::npos ) << out;
	EXPECT_TRUE( says( out.substr( at ), "/chain2_B.pdb: No space left on device.\n" ) ) << out;
	EXPECT_FALSE( finished( out ) );
	EXPECT_FALSE( fs::exists( c.model() ) );
	EXPECT_TRUE( c.leftovers().empty() );
}

// The domain splitter's files on a disk that is full for a while: the
// splitter of the first chain fills it after writing its log, the splitter
// of the next frees it.  The domain definition of the first chain and the
// chain copy the next splitter reads used to be written unchecked: the run
// went on with a chain of one domain (the definition missing) and a split of
// an empty copy, and ended with status 0 as if nothing had happened.
TEST( AssemblyFaults, DomainSplitterFilesThatCannotBeWrittenStopTheRun )
{
	Case c;
	std::string const mnt = on_small_file_system( c );
	if ( mnt.empty() ) GTEST_SKIP() << "cannot mount a small file system here";
	Unmount const unmount{ mnt };
	std::string const fill = mnt + "/fill";
	c.script( "Rasterseek", kRasterseek );
	c.script( "lobecut", "echo \"xxxx 1 1\"\ncase \"$1\" in xxxxA) dd if=/dev/zero of='" + fill +
	                         "' bs=4k 2>/dev/null || :;;\n*) rm -f '" + fill + "';; esac\n" );
	std::string out;
	EXPECT_EQ( c.quilter( out, "", "-nco 1 -rm 0" ), 1 ) << out;
	std::size_t const at = out.find( kError + "Cannot write the domain definition " + c.data + "/segtemp" );
	ASSERT_NE( at, std::string::npos ) << out;
	EXPECT_TRUE( says( out.substr( at ), "_dom.def: No space left on device.\n" ) ) << out;
	EXPECT_FALSE( finished( out ) );
	EXPECT_FALSE( fs::exists( c.model() ) );
	EXPECT_TRUE( c.leftovers().empty() );
}
