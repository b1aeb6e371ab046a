// Quilter run as a hostile user would: output names that would replace an
// input, two runs racing for one final name, counts far beyond what the
// started programs accept, programs that fail, interrupts, FIFOs given as
// inputs, placements below the threshold or off the map, duplicated chains,
// and input files the numbering skips (the small refusals of the command
// line are in command_line_runs_test.cc).  Each run either refuses with an
// "ERROR!" line and status 1 before it makes anything, or finishes and says
// what the user has to check; inputs stay as they were and nothing is left
// in the data directory.
#include "quilter_run_case.hh"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <vector>

using namespace quilter_test;
namespace fs = std::filesystem;

namespace {

// Copies of every input file, to show that a run leaves them as they were.
std::vector< std::string > input_texts( RunCase const& c )
{
	std::vector< std::string > t;
	for ( int i = 1; i <= 3; ++i ) t.push_back( file_text( c.data + "/chain" + std::to_string( i ) + ".pdb" ) );
	t.push_back( file_text( c.map ) );
	return t;
}

// A stand-in body that writes "$2" moved by dx along x to the file "$3"
// (columns 31-38 rewritten, everything else kept).
std::string moved_copy( const std::string& from, const std::string& to, double dx )
{
	return "awk -v dx=" + std::to_string( dx ) +
	       " '{ if (substr($0,1,4)==\"ATOM\") printf \"%s%8.3f%s\\n\", substr($0,1,30), substr($0,31,8)+dx, "
	       "substr($0,39); else print }' \"" +
	       from + "\" > \"" + to + "\"\n";
}

// Search and fitting stand-ins that place the chains whose file name begins
// with `which` moved by dx and every other chain where it stands.
void place_moved( RunCase& c, const std::string& which, double dx )
{
	c.script( "Rasterseek", "case \"$3\" in " + which + "*) " + moved_copy( "$2", "$3_001.pdb", dx ) +
	                            ";; *) cp \"$2\" \"$3_001.pdb\";; esac\n" );
	c.script( "Placer", "c=\"$2\"; case \"${c##*/}\" in " + which + "*) " +
	                        moved_copy( "$c", "${c%.pdb}_1.pdb", dx ) + ";; *) cp \"$c\" \"${c%.pdb}_1.pdb\";; esac\n" );
}

} // namespace

TEST( HostileRuns, OutputNameThatWouldReplaceAnInputIsRefused )
{
	RunCase c;
	c.script( "Rasterseek", kRasterseekInPlace );
	std::vector< std::string > const before = input_texts( c );
	std::string out;
	// chain.pdb gives chain1.pdb, chain2.pdb gives chain21.pdb: both names of
	// input models (of this run or, for chain21, of any later one).
	for ( std::string const name : { "chain.pdb", "chain2.pdb" } ) {
		EXPECT_EQ( c.quilter( out, "", "-nco 1 -opn " + name ), 1 ) << out;
		EXPECT_TRUE( says( out, kError + "The output name " + name + " would write the final model as " ) ) << out;
		EXPECT_TRUE( c.leftovers().empty() );
	}
	// Another prefix makes "chain1.pdb" an output name like any other, but
	// "x1.pdb" an input.
	fs::copy_file( c.data + "/chain1.pdb", c.data + "/x1.pdb" );
	EXPECT_EQ( c.quilter( out, "", "-nco 1 -ipn x -opn x.pdb" ), 1 ) << out;
	fs::remove( c.data + "/x1.pdb" );
	// The map itself.
	fs::copy_file( c.map, c.data + "/m1.pdb" );
	std::string const map = c.data + "/m1.pdb";
	EXPECT_EQ( run_shell( shq( c.bin + "/Quilter" ) + " " + shq( c.data ) + " " + shq( map ) + " 6 -opn m.pdb", out ),
		1 ) << out;
	EXPECT_TRUE( says( out, "would write the final model over the map" ) ) << out;
	EXPECT_EQ( file_text( map ), file_text( c.map ) );
	fs::remove( map );
	EXPECT_EQ( input_texts( c ), before );
	// A name that is no input is taken.
	EXPECT_EQ( c.quilter( out, "", "-nco 1 -opn chainX.pdb" ), 0 ) << out;
	EXPECT_EQ( c.chain_sizes( "chainX1.pdb" ), ( std::vector< int >{ 30, 24, 18 } ) );
	EXPECT_EQ( input_texts( c ), before );
}

TEST( HostileRuns, EveryStepReadsOnlyItsOwnRunsFiles )
{
	// Run A (three chains) and run B (one chain, -ipn solo) share the output
	// name.  B finishes while A is still matching; A's global domain step
	// must improve A's model, not the file of that name that B wrote.
	RunCase c;
	fs::copy_file( c.data + "/chain3.pdb", c.data + "/solo1.pdb" );
	// B starts once A's first search has begun; A's global step waits until
	// B has finished (so B's model of that name exists), then notes how many
	// chains the model it is given holds.  Every wait is for a file, bounded.
	std::string const aStarted = c.root.path() + "/a-started", bDone = c.root.path() + "/b-done";
	std::string const await = "await() { i=0; while [ ! -e \"$1\" ] && [ $i -lt 2400 ]; do sleep 0.05; i=$((i+1)); "
	                          "done; }\n";
	c.script( "Rasterseek", "case \"$3\" in chain*) echo x > '" + aStarted + "';; esac\ncp \"$2\" \"$3_001.pdb\"\n" );
	std::string const log = c.root.path() + "/lobetune.log";
	c.script( "Lobetune", await + "await '" + bDone + "'\ngrep -c '^TER' \"$2\" >> '" + log + "'\n" );
	std::string const a = shq( c.bin + "/Quilter" ) + " " + shq( c.data ) + " " + shq( c.map ) + " 6 -nco 1 -opn out.pdb";
	std::string out;
	int const status = run_shell( await + "( " + a + " > " + shq( c.root.path() + "/a.log" ) + " 2>&1; echo A=$? ) & "
	                                  "await '" + aStarted + "'; " + a + " -ipn solo -glo 0 > " +
	                                  shq( c.root.path() + "/b.log" ) + " 2>&1; echo B=$?; echo x > '" + bDone +
	                                  "'; wait",
		out );
	EXPECT_EQ( status, 0 );
	EXPECT_TRUE( says( out, "A=0" ) && says( out, "B=0" ) ) << out << file_text( c.root.path() + "/a.log" );
	EXPECT_EQ( file_text( log ), "3\n" );
	// A finished last: its own three chains hold the name.
	EXPECT_EQ( c.chain_sizes( "out1.pdb" ), ( std::vector< int >{ 30, 24, 18 } ) );
	EXPECT_EQ( c.leftovers(), ( std::vector< std::string >{ "out1.pdb", "solo1.pdb" } ) ) << out;
}

TEST( HostileRuns, CountsBeyondWhatTheProgramsAcceptAreRefused )
{
	RunCase c;
	c.script( "Rasterseek", kRasterseekInPlace );
	std::string out;
	for ( std::string const opt : { "-nft 2000000000", "-nft 0", "-nft -7", "-nft 1000", "-nft 5x", "-nft 2.5",
		      "-nlb 0", "-nlb 1001", "-nlb abc", "-nco 0", "-nco 257", "-nco 100000" } ) {
		EXPECT_EQ( c.quilter( out, "", opt ), 1 ) << opt << "\n" << out;
		std::string const name = opt.substr( 0, 4 );
		EXPECT_TRUE( says( out, kError + name + " should be a whole number from 1 to " ) ) << opt << "\n" << out;
		EXPECT_TRUE( c.leftovers().empty() ) << opt;
	}
	// The ends of the ranges are taken and reach the search as given.
	std::string const args = c.root.path() + "/args.log";
	c.script( "Rasterseek", "echo \"$@\" >> '" + args + "'\ncp \"$2\" \"$3_001.pdb\"\n" );
	EXPECT_EQ( c.quilter( out, "", "-nft 999 -nlb 1000 -nco 256" ), 0 ) << out;
	EXPECT_TRUE( says( file_text( args ), "-explor 999 -nprocs 256" ) ) << file_text( args );
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 24, 18 } ) );
}

TEST( HostileRuns, ProgramThatFailsIsNamedWithItsChainAndStatus )
{
	RunCase c;
	// The search refuses the middle chain, with its reason in its log.
	c.script( "Rasterseek", "case \"$3\" in chain2_*) echo 'Error! -explor must be a whole number'; exit 3;; esac\n"
	                        "cp \"$2\" \"$3_001.pdb\"\n" );
	c.script( "Placer", kPlacerInPlace );
	std::string out;
	EXPECT_EQ( c.quilter( out ), 0 ) << out;
	EXPECT_TRUE( says( out, "Warning! Rasterseek ended with status 3 on chain 'chain2_B'." ) ) << out;
	EXPECT_TRUE( says( out, "Rasterseek said: Error! -explor must be a whole number" ) ) << out;
	EXPECT_FALSE( says( out, "Rasterseek ended with status 3 on chain 'chain1_A'" ) );
	// Status 1, the status most programs end with on a refusal.
	c.script( "Rasterseek", "case \"$3\" in chain3_*) echo 'Error! cannot read the map'; exit 1;; esac\n"
	                        "cp \"$2\" \"$3_001.pdb\"\n" );
	EXPECT_EQ( c.quilter( out ), 0 ) << out;
	EXPECT_TRUE( says( out, "Warning! Rasterseek ended with status 1 on chain 'chain3_C'." ) ) << out;
	EXPECT_TRUE( says( out, "Rasterseek said: Error! cannot read the map" ) ) << out;
	// A crash is named by its signal.
	c.script( "Rasterseek", "case \"$3\" in chain1_*) kill -SEGV $$;; esac\ncp \"$2\" \"$3_001.pdb\"\n" );
	EXPECT_EQ( c.quilter( out ), 0 ) << out;
	EXPECT_TRUE( says( out, "Warning! Rasterseek was ended by signal 11 on chain 'chain1_A'." ) ) << out;
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 24, 18 } ) );
}

// The density left to a later chain can be gone: every voxel above -dc lay
// within the blanking radius of the chain accepted before.  Rasterseek,
// started on that work map, refuses it as the other programs do, and the
// run names it as it names any started program that ends non-zero, with
// the program's reason, in the iterative matching and on the FFT road
// (-ft 1) alike; Placer, started next on the same map, is named the same
// way.  Rasterseek used to "place" the chain on that map with status 0, and
// the FFT road did not say why a search had failed.
TEST( HostileRuns, SearchOnAWorkMapWithoutDensityLeftIsNamedWithItsReason )
{
	RunCase c;
	// The map holds chain 1 alone; chain 2 has no density of its own.
	ASSERT_TRUE( simulate_map( { c.truth[ 0 ] }, c.map ) );
	fs::remove( c.data + "/chain3.pdb" );
	std::string const bin = quilt_test::bin_dir();
	// Chain 1 is placed where it stands, the rest by the real programs.
	c.script( "Rasterseek", "case \"$3\" in chain1_*) cp \"$2\" \"$3_001.pdb\";; *) exec " +
	                            shq( bin + "/Rasterseek" ) + " \"$@\";; esac\n" );
	c.script( "Placer", "exec " + shq( bin + "/Placer" ) + " \"$@\"\n" );
	std::string const failed = "Warning! Rasterseek ended with status 1 on chain 'chain2_B'.\n";
	std::string const said = "         Rasterseek said: Error! the density map " + c.data + "/";
	std::string const reason = "/map_new_chain1_A.mrc has no positive density; nothing to fit into, no result written.";
	for ( std::string const road : { "-nco 1 -dc 1", "-nco 1 -dc 1 -ft 1" } ) {
		std::string out;
		EXPECT_EQ( c.quilter( out, "", road ), 0 ) << road << "\n" << out;
		std::size_t const at = out.find( failed );
		ASSERT_NE( at, std::string::npos ) << road << "\n" << out;
		// The next line is Rasterseek's own reason.
		std::size_t const next = at + failed.size();
		std::string const line = out.substr( next, out.find( '\n', next ) - next );
		EXPECT_EQ( line.rfind( said, 0 ), 0u ) << road << "\n" << out;
		EXPECT_EQ( line.substr( line.size() - std::min( line.size(), reason.size() ) ), reason ) << road << "\n" << out;
		EXPECT_EQ( quilt_test::occurrences( out, "Warning! Rasterseek ended with status" ), 1u ) << road << "\n" << out;
		if ( road.find( "-ft 1" ) == std::string::npos ) {
			EXPECT_TRUE( says( out, "Warning! Placer ended with status 1 on chain 'chain2_B'.\n" ) ) << out;
		}
		EXPECT_TRUE( says( out, "Warning! No placement was found for chain 'chain2_B'; it is left out of the assembled "
		                        "model.\n" ) )
			<< road << "\n" << out;
		EXPECT_TRUE( finished( out ) ) << road << "\n" << out;
		EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30 } ) ) << road;
		EXPECT_TRUE( c.leftovers().empty() ) << road;
		fs::remove( c.model() );
	}
}

TEST( HostileRuns, InputsThatAreNotRegularFilesAreRefused )
{
	RunCase c;
	c.script( "Rasterseek", kRasterseekInPlace );
	std::string const fifo = c.root.path() + "/fifo";
	ASSERT_EQ( ::mkfifo( fifo.c_str(), 0644 ), 0 );
	std::string out;
	// Each run is bounded: a run that waits on the FIFO is a failure, not a
	// hang of the test.
	std::string const quilter = "timeout 60 " + shq( c.bin + "/Quilter" ) + " ";
	EXPECT_EQ( run_shell( quilter + shq( c.data ) + " " + shq( fifo ) + " 6", out ), 1 ) << out;
	EXPECT_TRUE( says( out, kError + "The density map is not a regular file" ) ) << out;
	// A chain file that is a FIFO (through a symbolic link too) or a
	// directory.
	std::string const chain2 = c.data + "/chain2.pdb";
	fs::rename( chain2, c.root.path() + "/chain2.pdb" );
	for ( int kind = 0; kind < 3; ++kind ) {
		if ( kind == 0 ) fs::create_symlink( fifo, chain2 );
		if ( kind == 1 ) {
			ASSERT_EQ( ::mkfifo( chain2.c_str(), 0644 ), 0 );
		}
		if ( kind == 2 ) fs::create_directory( chain2 );
		EXPECT_EQ( run_shell( quilter + shq( c.data ) + " " + shq( c.map ) + " 6", out ), 1 ) << kind << out;
		EXPECT_TRUE( says( out, kError + "The input model " + chain2 + " is not a regular file." ) ) << out;
		fs::remove( chain2 );
		EXPECT_TRUE( c.leftovers().empty() ) << kind;
	}
	// Placer, as the assembly starts it and as a user does.
	std::string const placer = "timeout 60 " + shq( quilt_test::bin_dir() + "/Placer" ) + " ";
	EXPECT_EQ( run_shell( placer + shq( c.map ) + " " + shq( fifo ) + " 6", out ), 1 ) << out;
	EXPECT_TRUE( says( out, "Error! " + fifo + " is not a regular file; no model written." ) ) << out;
	EXPECT_EQ( run_shell( placer + shq( fifo ) + " " + shq( c.truth[ 0 ] ) + " 6", out ), 1 ) << out;
	EXPECT_TRUE( says( out, "is not a regular file" ) ) << out;
}

TEST( HostileRuns, ChainKeptBelowTheThresholdIsNamedTwice )
{
	RunCase c;
	// The smallest chain is placed 7 A beside its density: the best the
	// programs found, kept as the last chain, but short of the threshold.
	place_moved( c, "chain3", 3.0 );
	std::string out;
	EXPECT_EQ( c.quilter( out ), 0 ) << out;
	std::string const note = "Chain 'chain3_C' is kept at RSCC ";
	std::size_t const first = out.find( "Warning! " + note );
	ASSERT_NE( first, std::string::npos ) << out;
	EXPECT_TRUE( says( out.substr( first, 200 ), " below the acceptance threshold 0.600: its placement is uncertain." ) )
		<< out;
	// Listed again after the final model is written.
	std::size_t const review = out.find( "Warning! Check these chains of " + c.model() + ":" );
	ASSERT_NE( review, std::string::npos ) << out;
	EXPECT_GT( review, out.find( "Assembly is done." ) );
	EXPECT_TRUE( says( out.substr( review ), "    " + note ) ) << out;
	EXPECT_FALSE( says( out, "Chain 'chain1_A' is kept" ) || says( out, "Chain 'chain2_B' is kept" ) ) << out;
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 24, 18 } ) ) << out;
}

TEST( HostileRuns, PlacementOffTheMapIsNoPlacement )
{
	RunCase c;
	// The middle chain "placed" 500 A away from the map.
	place_moved( c, "chain2", 500.0 );
	std::string out;
	EXPECT_EQ( c.quilter( out ), 0 ) << out;
	EXPECT_TRUE( says( out, "Warning! The placements found for chain 'chain2_B' do not lie on density of the map "
	                        "(best RSCC " ) )
		<< out;
	// Found and dropped, not "no placement was found", at the end and in
	// the final list.
	EXPECT_TRUE( says( out, "Warning! The placements found for chain 'chain2_B' do not lie on density of the map and "
	                        "were dropped; it is left out of the assembled model.\n" ) )
		<< out;
	EXPECT_FALSE( says( out, "No placement was found for chain 'chain2_B'" ) ) << out;
	std::size_t const review = out.find( "Warning! Check these chains of " );
	ASSERT_NE( review, std::string::npos ) << out;
	EXPECT_TRUE( says( out.substr( review ), "    Chain 'chain2_B' is left out of the model: the placements found for "
	                                         "it do not lie on density of the map and were dropped.\n" ) )
		<< out;
	// Accepted below the threshold in the matching, then dropped: never
	// called kept, neither while matching nor after the model is written.
	EXPECT_FALSE( says( out, "Chain 'chain2_B' is kept" ) ) << out;
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 18 } ) );
	EXPECT_TRUE( finished( out ) );

	// Every chain off the map: nothing to assemble, an error and no model.
	place_moved( c, "chain", 500.0 );
	fs::remove( c.model() );
	EXPECT_EQ( c.quilter( out ), 1 ) << out;
	EXPECT_FALSE( finished( out ) );
	EXPECT_TRUE( says( out, kError + "No final model was written: no chain could be placed." ) ) << out;
	EXPECT_FALSE( fs::exists( c.model() ) );
	EXPECT_TRUE( c.leftovers().empty() );
}

TEST( HostileRuns, MapWithoutPositiveDensityIsRefused )
{
	RunCase c;
	c.script( "Rasterseek", kRasterseekInPlace );
	// The simulated map with every value negated: nothing above zero.
	std::string out;
	std::string const inverted = c.root.path() + "/inverted.mrc";
	std::string bytes = file_text( c.map );
	// MRC mode 2: 1024-byte header, then 32-bit floats; flip their sign bits.
	for ( std::size_t i = 1024 + 3; i < bytes.size(); i += 4 ) bytes[ i ] = static_cast< char >( bytes[ i ] ^ 0x80 );
	std::ofstream( inverted, std::ios::binary ) << bytes;
	EXPECT_EQ( run_shell( shq( c.bin + "/Quilter" ) + " " + shq( c.data ) + " " + shq( inverted ) + " 6", out ), 1 )
		<< out;
	EXPECT_TRUE( says( out, kError + "The density map " + inverted + " holds no positive density" ) ) << out;
	EXPECT_TRUE( c.leftovers().empty() );
}

TEST( HostileRuns, DuplicatedChainOnTopOfAnotherIsNamed )
{
	RunCase c;
	c.script( "Rasterseek", kRasterseekInPlace );
	fs::copy_file( c.data + "/chain1.pdb", c.data + "/chain4.pdb" );
	std::string out;
	EXPECT_EQ( c.quilter( out ), 0 ) << out;
	// Identifiers are renumbered (both copies are chain A), the names stay.
	std::string const clash = "Chains 'chain1_A' and 'chain4_A' clash in the final model: 30 CA pairs closer than 3 A";
	std::string const clash2 = "Chains 'chain4_A' and 'chain1_A' clash in the final model: 30 CA pairs closer than 3 A";
	EXPECT_TRUE( says( out, "Warning! " + clash ) || says( out, "Warning! " + clash2 ) ) << out;
	std::size_t const review = out.find( "Warning! Check these chains of " );
	ASSERT_NE( review, std::string::npos ) << out;
	EXPECT_TRUE( says( out.substr( review ), "    " + clash ) || says( out.substr( review ), "    " + clash2 ) );
	// The three distinct chains touch nowhere: one clash, said twice.
	std::size_t said = 0;
	for ( std::size_t at = out.find( "clash in the final model" ); at != std::string::npos;
	      at = out.find( "clash in the final model", at + 1 ) )
		++said;
	EXPECT_EQ( said, 2u ) << out;

	// Not only an exact copy: the same chain shifted by 1.5 A still lies on
	// top of the other (each CA 1.5 A from its copy).
	std::string shifted;
	{
		std::ifstream in( c.data + "/chain1.pdb" );
		for ( std::string l; std::getline( in, l ); ) {
			if ( l.rfind( "ATOM", 0 ) == 0 ) {
				char x[ 16 ];
				std::snprintf( x, sizeof x, "%8.3f", std::stod( l.substr( 30, 8 ) ) + 1.5 );
				l.replace( 30, 8, x );
			}
			shifted += l + "\n";
		}
	}
	std::ofstream( c.data + "/chain4.pdb" ) << shifted;
	EXPECT_EQ( c.quilter( out ), 0 ) << out;
	EXPECT_TRUE( says( out, "Warning! Chains 'chain1_A' and 'chain4_A' clash in the final model: " ) ||
	             says( out, "Warning! Chains 'chain4_A' and 'chain1_A' clash in the final model: " ) )
		<< out;
}

namespace {

// A DNA strand of n nucleotides as its file gives it: per residue a P atom
// on a helix of radius 2.3 A about the z axis (the helper's CA helix) from
// height z0, and its C4' atom 7 A from the axis, beyond the reach of a
// clash with a CA of that helix.
void write_dna_strand( const std::string& path, int n, double z0, char chain )
{
	std::vector< Point > const p = helix( n, 0, 0, z0 );
	std::ofstream out( path );
	int serial = 1;
	for ( int i = 0; i < n; ++i ) {
		double const x = p[ i ].x * 7.0 / 2.3, y = p[ i ].y * 7.0 / 2.3;
		const char* const base = i % 2 ? "DC" : "DA";
		char buf[ 128 ];
		std::snprintf( buf, sizeof buf, "ATOM  %5d  P    %s %c%4d    %8.3f%8.3f%8.3f  1.00 20.00           P\n",
			serial++, base, chain, i + 1, p[ i ].x, p[ i ].y, p[ i ].z );
		out << buf;
		std::snprintf( buf, sizeof buf, "ATOM  %5d  C4'  %s %c%4d    %8.3f%8.3f%8.3f  1.00 20.00           C\n",
			serial++, base, chain, i + 1, x, y, p[ i ].z );
		out << buf;
	}
	out << "TER\n";
}

} // namespace

// Protein and DNA chains on the mixed road, the two DNA strands laid on the
// first protein chain and on each other.  While the stage reviews the final
// model its DNA chains are masked as pseudo-protein chains, their C4' atoms
// named CA: the review named a protein-DNA clash "CA pairs", measured on the
// C4' atoms (here too far from the protein to clash at all), and a clash of
// two DNA strands "CA pairs" too.  The DNA chains are traced by their P
// atoms, as the reference page has it.
TEST( HostileRuns, ProteinAndDnaChainsThatClashAreNamedByTheirTraceAtoms )
{
	RunCase c;
	c.script( "Rasterseek", kRasterseekInPlace );
	c.script( "Placer", kPlacerInPlace );
	c.script( "PlacerRNA", kPlacerInPlace );
	std::string const dna4 = c.root.path() + "/dna4.pdb", dna5 = c.root.path() + "/dna5.pdb";
	write_dna_strand( dna4, 16, 0.5, 'D' );
	write_dna_strand( dna5, 12, 1.2, 'E' );
	fs::copy_file( dna4, c.data + "/chain4.pdb" );
	fs::copy_file( dna5, c.data + "/chain5.pdb" );
	// The map of all five chains, and beside it the maps of the mixed road.
	std::string const dir = c.root.path();
	ASSERT_TRUE( simulate_map( { c.truth[ 0 ], c.truth[ 1 ], c.truth[ 2 ], dna4, dna5 }, c.map ) );
	ASSERT_TRUE( simulate_map( { dna4, dna5 }, dir + "/NA.map" ) );
	ASSERT_TRUE( simulate_map( c.truth, dir + "/Pro.map" ) );
	std::string out;
	EXPECT_EQ( c.quilter( out ), 0 ) << out;
	ASSERT_TRUE( says( out, "Start to assemble NA and Protein" ) ) << out;
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 24, 18, 32, 24 } ) ) << out;
	std::vector< std::string > const clashes = {
		"Chains 'chain1_A' and 'chain4_D' clash in the final model: 16 CA-P pairs closer than 3 A (one of them is "
		"probably misplaced).\n",
		"Chains 'chain1_A' and 'chain5_E' clash in the final model: 12 CA-P pairs closer than 3 A (one of them is "
		"probably misplaced).\n",
		"Chains 'chain4_D' and 'chain5_E' clash in the final model: 12 P pairs closer than 3 A (one of them is "
		"probably misplaced).\n" };
	std::size_t const review = out.find( "Warning! Check these chains of " + c.model() + ":\n" );
	ASSERT_NE( review, std::string::npos ) << out;
	for ( std::string const& clash : clashes ) {
		EXPECT_EQ( quilt_test::occurrences( out, "Warning! " + clash ), 1u ) << clash << out;
		EXPECT_EQ( quilt_test::occurrences( out.substr( review ), "    " + clash ), 1u ) << clash << out;
	}
	// Those three and no other.
	EXPECT_EQ( quilt_test::occurrences( out, "clash in the final model" ), 6u ) << out;
	EXPECT_TRUE( finished( out ) );
	EXPECT_TRUE( c.leftovers().empty() );
}

TEST( HostileRuns, InputFilesTheNumberingSkipsAreNamed )
{
	RunCase c;
	c.script( "Rasterseek", kRasterseekInPlace );
	fs::rename( c.data + "/chain3.pdb", c.data + "/chain4.pdb" );
	fs::copy_file( c.data + "/chain4.pdb", c.data + "/chain07.pdb" );
	std::string out;
	EXPECT_EQ( c.quilter( out ), 0 ) << out;
	EXPECT_TRUE( says( out, "Warning! These files are not read as input models (chain1.pdb, chain2.pdb, ... are "
	                        "read; the numbering stops at the missing chain3.pdb): chain4.pdb, chain07.pdb" ) )
		<< out;
	EXPECT_EQ( c.chain_sizes(), ( std::vector< int >{ 30, 24 } ) );
}

TEST( HostileRuns, InputFilesBeyondTheFiftiethAreNamed )
{
	RunCase c;
	for ( int i = 4; i <= 52; ++i )
		fs::copy_file( c.truth[ 2 ], c.data + "/chain" + std::to_string( i ) + ".pdb" );
	// The search refuses every chain at once: the run reads its inputs,
	// warns, places nothing and ends, leaving nothing behind.
	c.script( "Rasterseek", "exit 1\n" );
	std::string out;
	EXPECT_EQ( c.quilter( out, "", "-nco 1 -ft 1 -it 0" ), 1 ) << out.substr( 0, 3000 );
	EXPECT_TRUE( says( out, "Warning! These files are not read as input models (chain1.pdb, chain2.pdb, ... are "
	                        "read; at most 50 input models are read): chain51.pdb, chain52.pdb\n" ) )
		<< out.substr( 0, 3000 );
	EXPECT_TRUE( c.leftovers().empty() );
}

TEST( HostileRuns, ChainAcceptedOnALoweredThresholdIsNamedTwice )
{
	// With -rsc 0.99 no chain reaches the threshold: the first pass accepts
	// none and lowers the threshold to the best score, and the chains are
	// accepted on the lowered one.  Each is kept below the threshold asked
	// for, and is named as one kept at the last pass is, at once and again
	// after the final model is written.
	RunCase c;
	c.script( "Rasterseek", kRasterseekInPlace );
	c.script( "Placer", kPlacerInPlace );
	std::string out;
	EXPECT_EQ( c.quilter( out, "", "-nco 1 -rsc 0.99" ), 0 ) << out;
	EXPECT_TRUE( says( out, "GetInitModel> Best unmatched RSCC of 1-th iteration: " ) ) << out;
	std::size_t const review = out.find( "Warning! Check these chains of " + c.model() + ":" );
	ASSERT_NE( review, std::string::npos ) << out;
	for ( std::string const name : { "chain1_A", "chain2_B", "chain3_C" } ) {
		std::string const note = "Chain '" + name + "' is kept at RSCC ";
		std::size_t const warned = out.find( "Warning! " + note );
		ASSERT_NE( warned, std::string::npos ) << name << "\n" << out;
		EXPECT_LT( warned, review );
		EXPECT_TRUE( says( out.substr( warned, 200 ), " below the acceptance threshold 0.990" ) ) << out;
		EXPECT_TRUE( says( out.substr( review ), "    " + note ) ) << name << "\n" << out;
	}
	// The first chain accepted: on the threshold lowered after the first
	// pass, which the note gives too.
	EXPECT_TRUE( says( out, "when it was accepted): its placement is uncertain." ) ) << out;
	// Every chain placed, in the order of acceptance.
	std::vector< int > sizes = c.chain_sizes();
	std::sort( sizes.rbegin(), sizes.rend() );
	EXPECT_EQ( sizes, ( std::vector< int >{ 30, 24, 18 } ) ) << out;
}

// The note of a chain kept below the threshold names the map its RSCC was
// judged on: the first chain accepted on the whole map, each later one on
// the map less the density of the chains accepted before it, which the
// matching blanks (-rm 1, the default); with -rm 0 nothing is blanked and
// every note says the whole map.  With -rsc 0.99 every chain is kept below
// the threshold, and the notes come in the order the chains were accepted.
// A count of blanked chains that was not kept with a chain's scores made
// every note say "judged on the whole map".
TEST( HostileRuns, BelowThresholdNotesNameTheMapEachChainWasJudgedOn )
{
	struct Row {
		std::string options;
		std::vector< std::string > on;
	};
	std::vector< Row > const rows = {
		{ "-nco 1 -rsc 0.99",
			{ "the whole map", "the map less the density of the chain accepted before it",
				"the map less the density of the 2 chains accepted before it" } },
		{ "-nco 1 -rsc 0.99 -rm 0", { "the whole map", "the whole map", "the whole map" } } };
	for ( Row const& row : rows ) {
		RunCase c;
		c.script( "Rasterseek", kRasterseekInPlace );
		c.script( "Placer", kPlacerInPlace );
		std::string out;
		EXPECT_EQ( c.quilter( out, "", row.options ), 0 ) << row.options << "\n" << out;
		std::size_t const review = out.find( "Warning! Check these chains of " + c.model() + ":\n" );
		ASSERT_NE( review, std::string::npos ) << row.options << "\n" << out;
		// The notes said once the model is written, before the final list.
		std::vector< std::string > notes;
		std::istringstream lines( out.substr( 0, review ) );
		for ( std::string line; std::getline( lines, line ); )
			if ( line.rfind( "Warning! Chain '", 0 ) == 0 && says( line, " is kept at RSCC " ) ) notes.push_back( line );
		ASSERT_EQ( notes.size(), row.on.size() ) << row.options << "\n" << out;
		std::vector< std::string > named;
		for ( std::size_t k = 0; k < notes.size(); ++k ) {
			std::regex const note( "Warning! Chain '(chain[123]_[ABC])' is kept at RSCC 0\\.[0-9]{3} \\(judged on " +
			                       row.on[ k ] +
			                       "\\) below the acceptance threshold 0\\.990( \\(lowered to 0\\.[0-9]{3} when it "
			                       "was accepted\\))?: its placement is uncertain\\." );
			std::smatch m;
			EXPECT_TRUE( std::regex_match( notes[ k ], m, note ) )
				<< row.options << ": note " << k + 1 << " should be judged on " << row.on[ k ] << ":\n" << notes[ k ];
			if ( m.size() > 1 ) named.push_back( m[ 1 ] );
			// Repeated word for word in the final list.
			EXPECT_EQ( quilt_test::occurrences( out.substr( review ), "    " + notes[ k ].substr( 9 ) + "\n" ), 1u )
				<< row.options << "\n" << out;
		}
		std::sort( named.begin(), named.end() );
		EXPECT_EQ( named, ( std::vector< std::string >{ "chain1_A", "chain2_B", "chain3_C" } ) ) << out;
		EXPECT_TRUE( finished( out ) ) << row.options;
	}
}
