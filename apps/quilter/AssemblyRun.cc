#include "apps/quilter/AssemblyRun.hh"

#include "apps/quilter/AssemblyStage.hh"
#include "apps/quilter/ChainSplitting.hh"
#include "apps/quilter/CommandLine.hh"
#include "apps/quilter/MapPreparation.hh"
#include "apps/quilter/NucleicAcidMask.hh"
#include "apps/quilter/PlacementChecks.hh"
#include "apps/quilter/RunInterrupts.hh"
#include "apps/quilter/SimilarChains.hh"
#include "apps/quilter/StartedPrograms.hh"
#include "apps/quilter/StringListHelpers.hh"
#include "core/basic_fun_Quilt.hh"
#include "core/model_file_format.hh"
#include "density/DensityScore.hh"
#include "density/MapFileStop.hh"
#include "density/MrcHeader.hh"
#include "utility/memory_stop.hh"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// "ran out of memory 2 times": how often the started programs did.
std::string memory_stops_text()
{
	int const stops = startedProgramMemoryStops();
	return "ran out of memory " + std::to_string( stops ) + ( stops == 1 ? " time" : " times" );
}

// The run's own work directory, removed when the process ends before the
// run is through (a map routine that stops the process, an error stop), so
// that no half-filled work directory is left behind.
std::string g_workDir, g_dataDir;
// The map file being read or processed: the map routines end the process
// with a code of their own on a file they cannot use, which the exit
// handler turns into the run's error and status 1.
std::string g_mapInUse;
// True once the run ends by a way of its own (an error it reports itself,
// or its end); any other exit comes from a routine that stopped the run.
bool g_endKnown = false;
// The final model once it has taken its name: a stop after that (memory
// that runs out in the review) must not say that none was written.
std::string g_finalModel;

// Removes the work directory while the interrupt handler still knows it,
// then forgets it; the signals are held back meanwhile, so that a signal in
// between neither finds a half-removed directory forgotten nor a removed one
// still recorded.
void remove_work_directory_now()
{
	RunInterruptBlock const hold;
	if ( g_workDir.empty() ) return;
	if ( !g_dataDir.empty() ) changedir( g_dataDir );
	removeWorkDirectory( g_workDir, g_dataDir, "segtemp" );
	setInterruptWorkDirectory( "" );
	g_workDir.clear();
}

void remove_work_at_exit()
{
	bool const stopped = !g_endKnown && !g_workDir.empty();
	remove_work_directory_now();
	if ( !stopped ) return;
	// A routine under the run ended the process with a code of its own.
	std::string const& reason = mapFileStopReason();
	std::string const aboutMap = "map " + g_mapInUse + " ";
	if ( !g_mapInUse.empty() && reason.compare( 0, aboutMap.size(), aboutMap ) == 0 )
		std::cout << "\033[1mERROR!\033[0m The density map " << g_mapInUse << " " << reason.substr( aboutMap.size() )
		          << "; no model written." << std::endl;
	else if ( !g_mapInUse.empty() && reason.empty() )
		std::cout << "\033[1mERROR!\033[0m The density map " << g_mapInUse
		          << " cannot be used (see the message above); no model written." << std::endl;
	else if ( !reason.empty() )
		std::cout << "\033[1mERROR!\033[0m " << static_cast< char >( std::toupper( static_cast< unsigned char >( reason[ 0 ] ) ) )
		          << reason.substr( 1 ) << "; no model written." << std::endl;
	else
		std::cout << "\033[1mERROR!\033[0m The run was stopped (see the message above); no model written." << std::endl;
	std::cout.flush();
	std::fflush( stdout );
	::_exit( 1 );
}

[[noreturn]] void fail( const std::string& message ) { stopRun( message ); }

// The input models: prefix1.pdb, prefix2.pdb, ... up to the first missing
// number, at most 50.  An input that exists but is no readable regular file
// stops the run (a FIFO would block it for ever); files of the same pattern
// that are not read are named in a warning.
std::vector< std::string > input_models( const QuilterSettings& s )
{
	std::vector< std::string > found;
	int n = 1;
	for ( ; n <= kMaxInputModels; ++n ) {
		std::string const path = s.dataPath + "/" + s.inputPrefix + std::to_string( n ) + ".pdb";
		std::error_code ec;
		if ( !fs::exists( fs::status( path, ec ) ) ) break;
		if ( !isRegularFile( path ) ) fail( "The input model " + path + " is not a regular file." );
		if ( !checkfile( path ) ) fail( "The input model " + path + " cannot be read." );
		found.push_back( path );
	}
	// Names prefix<digits>.pdb that the rule above leaves out.
	std::vector< std::pair< long, std::string > > skipped;
	std::error_code ec;
	for ( fs::directory_iterator it( s.dataPath, ec ), end; !ec && it != end; it.increment( ec ) ) {
		std::string const name = it->path().filename().string();
		std::string const& prefix = s.inputPrefix;
		if ( name.size() <= prefix.size() + 4 || name.compare( 0, prefix.size(), prefix ) != 0 ||
		     name.compare( name.size() - 4, 4, ".pdb" ) != 0 )
			continue;
		std::string const digits = name.substr( prefix.size(), name.size() - prefix.size() - 4 );
		if ( digits.size() > 9 || digits.find_first_not_of( "0123456789" ) != std::string::npos ) continue;
		long const number = std::atol( digits.c_str() );
		bool const read = prefix + std::to_string( number ) + ".pdb" == name && number >= 1 && number < n;
		if ( !read ) skipped.push_back( { number, name } );
	}
	if ( !skipped.empty() ) {
		std::sort( skipped.begin(), skipped.end() );
		std::string names;
		for ( auto const& e : skipped ) names += ( names.empty() ? "" : ", " ) + e.second;
		std::string const rule = n <= kMaxInputModels
		                             ? "the numbering stops at the missing " + s.inputPrefix + std::to_string( n ) + ".pdb"
		                             : "at most " + std::to_string( kMaxInputModels ) + " input models are read";
		std::cout << "Warning! These files are not read as input models (" << s.inputPrefix << "1.pdb, "
		          << s.inputPrefix << "2.pdb, ... are read; " << rule << "): " << names << std::endl;
	}
	return found;
}

// A map supplied beside the whole map (nucleic-acid or protein part), as
// loaded: it must hold density, and that density must lie on the density of
// the whole map; a map of another structure or another box would place the
// chains where the whole map has nothing.
void check_split_map( const std::string& path, const FastDensityScore& part, const FastDensityScore& whole )
{
	if ( !part.isLoaded ) fail( "The map " + path + " could not be loaded." );
	if ( !hasPositiveDensity( part ) ) fail( "The map " + path + " holds no positive density." );
	double const onWhole = densityOverlapFraction( part, whole );
	if ( onWhole < kSplitMapOverlap ) {
		char pct[ 32 ];
		std::snprintf( pct, sizeof pct, "%.0f%%", 100.0 * onWhole );
		fail( "The map " + path + " does not lie on the density map: only " + pct +
		      " of its density falls where the whole map has density (a map of another structure or box?)." );
	}
}

// The final model takes its place by a rename over whatever bears its name.
// Refused before anything is made: a name that is one of the run's inputs
// (also through a symbolic or hard link, or a path of another spelling: the
// files are compared, not their names), a directory, or a file marked
// immutable or append-only, which the rename could not replace after the
// whole run.
void checkFinalModelPlace( const std::string& finalModel,
	const std::vector< std::pair< std::string, std::string > >& inputs )
{
	struct stat entry, target;
	if ( ::lstat( finalModel.c_str(), &entry ) != 0 ) {
		if ( errno == ENOENT ) return;
		fail( "The final model " + finalModel + " cannot be written: " + std::strerror( errno ) + "." );
	}
	bool const followed = ::stat( finalModel.c_str(), &target ) == 0;
	for ( auto const& in : inputs ) {
		struct stat st;
		if ( ::stat( in.second.c_str(), &st ) != 0 ) continue;
		bool const same = ( st.st_dev == entry.st_dev && st.st_ino == entry.st_ino ) ||
		                  ( followed && st.st_dev == target.st_dev && st.st_ino == target.st_ino );
		if ( same )
			fail( "The final model " + finalModel + " would replace " + in.first + " " +
			      fs::path( in.second ).lexically_normal().string() +
			      " (the same file); choose another -opn." );
	}
	if ( S_ISDIR( entry.st_mode ) )
		fail( "The final model " + finalModel + " cannot be written: a directory of that name is in the way." );
	if ( S_ISREG( entry.st_mode ) ) {
		int flags = 0;
		int const fd = ::open( finalModel.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC );
		bool const known = fd >= 0 && ::ioctl( fd, FS_IOC_GETFLAGS, &flags ) == 0;
		if ( fd >= 0 ) ::close( fd );
		if ( known && ( flags & ( FS_IMMUTABLE_FL | FS_APPEND_FL ) ) != 0 )
			fail( "The final model " + finalModel + " cannot be replaced: the file is marked " +
			      ( ( flags & FS_IMMUTABLE_FL ) ? "immutable" : "append-only" ) + " (chattr); choose another -opn." );
	}
}

// The run names its work files after the data path, the input prefix and
// the output name: a data path too long for them would make every started
// program fail on its files and the run end as if no chain could be
// placed.  The longest names: the domain splitter's log
// (segtempXXXXXX/DomSplit_<chain>XXXXXX/<chain>_dom.log) and the
// temporaries of results in the matching directory; <chain> is the input
// name with up to two digits, an underscore, a chain tag of up to four
// characters and a copy number.
void check_name_lengths( const QuilterSettings& s )
{
	std::size_t const chain = s.inputPrefix.size() + 10;
	std::size_t const longestPath = std::max( 38 + 2 * chain, 31 + chain + 30 ) + 16;
	long const pathMax = PATH_MAX;
	long nameMax = ::pathconf( s.dataPath.c_str(), _PC_NAME_MAX );
	if ( nameMax <= 0 ) nameMax = 255;
	if ( static_cast< long >( s.dataPath.size() + 1 + longestPath ) >= pathMax )
		fail( "The data path is too long for the run's work files (" + std::to_string( s.dataPath.size() ) +
		      " characters; with these input names the files below it need up to " +
		      std::to_string( longestPath + 1 ) + " more, and a path holds at most " + std::to_string( pathMax - 1 ) +
		      "): use a shorter data path." );
	if ( static_cast< long >( chain + 30 ) > nameMax )
		fail( "The input prefix -ipn is too long for the run's work file names (" +
		      std::to_string( s.inputPrefix.size() ) + " characters; at most " + std::to_string( nameMax - 40 ) +
		      ")." );
	if ( static_cast< long >( s.outputName.size() + 20 ) > nameMax )
		fail( "The output name -opn is too long for the run's file names (" + std::to_string( s.outputName.size() ) +
		      " characters; at most " + std::to_string( nameMax - 20 ) + ")." );
}

std::string field_trimmed( const std::string& line, std::size_t from, std::size_t n )
{
	std::string f = line.size() > from ? line.substr( from, n ) : std::string();
	return trim( f );
}

// After the final model is written: the chains it keeps below the
// acceptance threshold and what it holds of the chains that a matching
// could not place, then every chain the user has to check, once more in one
// place.  A chain is called kept only where the model holds it: the notes
// of the matching are said here, not while matching, since the placement
// check may drop a chain's placements after it was accepted.
void print_review( const std::string& model, const StageReport& report )
{
	std::vector< std::string > kept;
	for ( std::string const& note : report.belowThreshold ) {
		bool leftOut = false;
		for ( std::string const& name : report.leftOut ) {
			std::string const head = "Chain '" + name + "'";
			leftOut = leftOut || note.compare( 0, head.size(), head ) == 0;
		}
		if ( !leftOut ) kept.push_back( note );
	}
	for ( std::string const& note : kept ) std::cout << "Warning! " << note << std::endl;
	for ( std::string const& note : report.unplaced ) std::cout << "Warning! " << note << std::endl;
	std::vector< std::string > lines;
	for ( std::size_t k = 0; k < report.leftOut.size(); ++k ) {
		std::string const why = k < report.leftOutWhy.size() ? report.leftOutWhy[ k ] : "no placement was found for it";
		lines.push_back( "Chain '" + report.leftOut[ k ] + "' is left out of the model: " + why + "." );
	}
	lines.insert( lines.end(), kept.begin(), kept.end() );
	lines.insert( lines.end(), report.clashes.begin(), report.clashes.end() );
	if ( startedProgramMemoryStops() > 0 )
		lines.push_back( "The started programs " + memory_stops_text() +
		                 ": placements may be missing or worse than the map allows." );
	if ( lines.empty() ) return;
	std::cout << "Warning! Check these chains of " << model << ":" << std::endl;
	for ( std::string const& l : lines ) std::cout << "    " << l << std::endl;
}

// A map whose size allowed its header a second reading was read as the
// header gives, with a warning that scrolled away long before the end: say
// once more what the other reading would mean for the model just written.
void print_other_readings()
{
	for ( mrc::OtherReading const& r : mrc::other_readings() )
		std::cout << "Warning! The map " << r.map << " was read as its header gives, though its size allows another "
		          << "reading.  " << r.sentence << std::endl;
}

} // namespace

void stopRun( const std::string& message )
{
	g_mapInUse.clear();
	g_endKnown = true;
	std::cout << "\033[1mERROR!\033[0m " << message << std::endl;
	// A stream that met no memory may have cut the input short that the
	// stop is about.
	if ( utility::memory_ran_out() ) utility::print_memory_stop( "\033[1mERROR!\033[0m", "no model written." );
	std::exit( 1 );
}

void removeWorkDirectoryWithoutMemory()
{
	if ( !g_workDir.empty() ) removeTreeSignalSafe( g_workDir.c_str() );
}

int endRunOutOfMemory()
{
	g_mapInUse.clear();
	g_endKnown = true;
	try {
		remove_work_directory_now();
	} catch ( ... ) {
		// Too little memory even to list the directory: the removal that
		// needs none.
		RunInterruptBlock const hold;
		removeWorkDirectoryWithoutMemory();
		setInterruptWorkDirectory( std::string() );
		g_workDir.clear();
	}
	char tail[PATH_MAX + 64];
	if ( g_finalModel.empty() ) std::snprintf( tail, sizeof tail, "no model written." );
	else std::snprintf( tail, sizeof tail, "the final model %s was written before.", g_finalModel.c_str() );
	utility::print_memory_stop( "\033[1mERROR!\033[0m", tail );
	return 1;
}

int runAssembly( int argc, char** argv )
{
	auto const start = std::chrono::steady_clock::now();
	std::strcpy( version, "20250312" );
	utility::MemoryStep step( "reading the command line" );

	QuilterSettings s;
	readPositionalArguments( argc, argv, s );
	scanOptions( argc, argv, s );
	checkOutputName( s );
	installRunInterruptHandlers();

	// The inputs are known, and the final model's place checked, before
	// anything is made.
	step.now( "reading the input models" );
	check_name_lengths( s );
	std::vector< std::string > const inputs = input_models( s );
	if ( inputs.empty() )
		fail( "Please input at least one PDB format model! (" + s.dataPath + "/" + s.inputPrefix +
		      "1.pdb not found)" );
	std::string const base = s.outputName.substr( 0, s.outputName.size() - 4 );
	std::string const finalModel = s.dataPath + "/" + base + "1.pdb";
	{
		std::vector< std::pair< std::string, std::string > > named;
		for ( std::string const& m : inputs ) named.push_back( { "the input model", m } );
		named.push_back( { "the density map", s.mapPath } );
		std::string const mapDir = get_directory( s.mapPath );
		for ( std::string const& split : { mapDir + "/NA.map", mapDir + "/Pro.map" } )
			named.push_back( { "the map", split } );
		if ( !isFloat( argv[ 3 ] ) ) named.push_back( { "the resolution file", argv[ 3 ] } );
		checkFinalModelPlace( finalModel, named );
	}

	// Work directories: one of this run's own, so that two runs in one data
	// directory cannot read or remove each other's files.  It is made and
	// recorded for the interrupt handler in one step.
	std::string workDir;
	{
		RunInterruptBlock const hold;
		workDir = makeWorkDirectory( s.dataPath, "segtemp" );
		if ( !workDir.empty() ) {
			g_workDir = workDir;
			g_dataDir = s.dataPath;
			setInterruptWorkDirectory( workDir );
		}
	}
	if ( workDir.empty() ) fail( "Cannot make a work directory in " + s.dataPath + ": " + std::strerror( errno ) + "." );
	std::atexit( remove_work_at_exit );
	// The started programs note there when memory runs out for them.
	::setenv( utility::kMemoryStopNotes, ( workDir + "/memory_stops" ).c_str(), 1 );
	std::string const chainDir = workDir + "/chains_temp";
	if ( !makefile( chainDir ) )
		fail( "Cannot make the work directory " + chainDir + ": " + std::strerror( errno ) + "." );
	DensityScore dsWhole, dsNA, dsPro;

	std::vector< std::string > models;
	for ( std::string const& path : inputs ) {
		std::string const copy = chainDir + "/" + get_name_from_path( path );
		std::string reason;
		if ( !copyFileChecked( path, copy, reason ) ) fail( "Cannot copy the input model " + path + ": " + reason + "." );
		models.push_back( copy );
	}

	// A time limit for the started programs that cannot be read is said
	// here, before any program starts, rather than amid the first one's
	// lines.
	programTimeLimit();

	std::cout << "**************** Input information ***************" << std::endl;
	std::cout << "       Map: " << get_name_from_path( s.mapPath ) << std::endl;
	std::cout << "Resolution: " << s.resolution << std::endl;
	std::cout << "    Models: ";
	for ( std::string const& m : models ) std::cout << get_name_from_path( m ) << ", ";
	std::cout << std::endl << "-----------------" << std::endl;

	// One file per chain.  The chain files are used throughout, so a chain
	// break ("TER" inside a chain) or a file of several chains loses nothing.
	std::vector< std::string > chains, mmcif;
	for ( std::string const& m : models ) {
		std::vector< std::string > ids;
		std::size_t const before = chains.size();
		Split_PDB_chains( m, true, chains, ids, workDir );
		if ( chains.size() != before ) continue;
		std::string const name = get_name_from_path( m );
		if ( mmcif_file( m ) ) {
			mmcif.push_back( name );
			std::cout << "Warning! No chain was found in " << name << ": " << mmcif_reason() << "; it is skipped."
			          << std::endl;
		} else {
			std::cout << "Warning! No chain was found in " << name << "; it is skipped." << std::endl;
		}
	}
	if ( chains.empty() ) {
		std::string names;
		for ( std::size_t k = 0; k < mmcif.size(); ++k )
			names += ( k == 0 ? "" : k + 1 == mmcif.size() ? " and " : ", " ) + mmcif[ k ];
		std::string const look = mmcif.size() == 1 ? " looks like an mmCIF file" : " look like mmCIF files";
		fail( "None of the input models holds an \"ATOM\" record" +
		      ( mmcif.empty() ? std::string( "." ) : "; " + names + look + ", and only PDB format files are read." ) );
	}
	models = chains;

	std::vector< std::string > ids;
	for ( std::string const& m : models ) Get_All_ChainID( m, ids );
	if ( hasOverlapID( ids ) ) {
		if ( models.size() > 62 )
			fail( "Too many chains to give each its own identifier: " + std::to_string( models.size() ) +
			      " (at most 62)." );
		for ( int k = 0; k < static_cast< int >( models.size() ); ++k ) Reorder_Allchains_ID( models[ k ], k );
		std::cout << "Duplicate chain IDs found, all chain IDs have been renumbered according to naming order. "
		          << std::endl;
	}

	std::vector< std::vector< std::string > > naCopies;
	for ( std::string const& m : models ) {
		std::vector< std::string > saved;
		Judge_Modify_NA_PDB( m, saved );
		if ( !saved.empty() ) naCopies.push_back( saved );
	}
	std::cout << naCopies.size() << " NA chain(s) were found." << std::endl;
	std::vector< std::string > naIds;
	for ( auto const& c : naCopies ) naIds.push_back( field_trimmed( c.front(), 20, 2 ) );

	std::vector< std::string > naList, proList;
	if ( naCopies.empty() ) {
		proList = models;
	} else {
		for ( std::string const& m : models ) ( judge_is_na_pdb( m, naIds ) ? naList : proList ).push_back( m );
	}
	std::cout << "NA_pdb_paths.size:" << naList.size() << std::endl;
	std::cout << "prot_pdb_paths.size:" << proList.size() << std::endl;
	std::cout << "chain_pdb_paths.size:" << models.size() << std::endl;

	// The whole map: processed, resampled when finer than 1 A (or than -gw),
	// loaded.
	step.now( "preparing the map" );
	std::string mapPath = workDir + "/segmap.mrc";
	g_mapInUse = s.mapPath;
	if ( s.segmentation ) dsWhole.segmap( s.mapPath, mapPath, s.threshold, s.silent );
	else dsWhole.map_processing( s.mapPath, mapPath, s.threshold, s.silent );
	double threshold = 0.0;
	double minGridWidth = 1.0;
	mapPath = resampleIfFiner( dsWhole, mapPath, s.resolution, s.gridWidth, minGridWidth, threshold );
	FastDensityScore const wholeMap = getDensityMap( mapPath, s.resolution, s.gridWidth, true, threshold, s.silent );
	g_mapInUse.clear();
	if ( !wholeMap.isLoaded ) fail( "The density map " + s.mapPath + " could not be loaded." );
	if ( !hasPositiveDensity( wholeMap ) )
		fail( "The density map " + s.mapPath + " holds no positive density (after processing" +
		      ( s.threshold != 0.0 ? " with -dc " + doubleToString( s.threshold ) : std::string() ) +
		      "); nothing to place the chains into." );

	std::string const mapDir = get_directory( s.mapPath );
	std::string naMapPath = mapDir + "/NA.map", proMapPath = mapDir + "/Pro.map";
	bool const haveNA = checkfile( naMapPath ), havePro = checkfile( proMapPath );
	if ( !haveNA ) std::cout << naMapPath << "no NA map" << std::endl;
	if ( !havePro ) std::cout << proMapPath << "no Pro map" << std::endl;

	// The final model is made, restored and improved in the work directory,
	// and takes its name in the data directory only when it is complete: no
	// step reads a file of that name that another run may have written.
	std::string const workModel = workDir + "/" + base + "1.pdb";
	StageReport report;
	report.nucleicAcidIds = naIds;
	bool written = false;
	step.now( "placing the chains" );
	if ( naCopies.empty() || naCopies.size() == models.size() ) {
		std::cout << "***************** Start to assemble ***************" << std::endl;
		std::vector< int > counts;
		int* marks = CheckSimilarChain( models, counts );
		written = GetInitModel( 1, workDir, s.outputName, models, bindir, mapPath, s.resolution, s.processCount,
			wholeMap, counts, marks, true, s.fullFitting != 0, s.localDomainOpt, s.domainMatching, true,
			s.removeMatched, s.iteration, s.globalDomainOpt, s.fastPositions, s.lbfgsPositions, s.gridWidth,
			threshold, s.corrCutoff, &report );
		delete[] marks;
		std::cout << "Assembly is done." << std::endl;
	} else {
		std::cout << "***************** Start to assemble NA and Protein***************" << std::endl;
		if ( !haveNA || !havePro )
			fail( "Protein and nucleic-acid chains together need \"NA.map\" and \"Pro.map\" beside the map " +
			      s.mapPath );
		for ( std::string const& p : { naMapPath, proMapPath } )
			if ( !isRegularFile( p ) ) fail( "The map " + p + " is not a regular file." );
		std::string work = workDir;
		std::string const naGiven = naMapPath, proGiven = proMapPath;
		step.now( "preparing the maps NA.map and Pro.map" );
		g_mapInUse = naGiven;
		FastDensityScore const naMap = processDensityMap( naMapPath, work, s.gridWidth, minGridWidth, s.resolution,
			threshold, s.silent, s.segmentation, dsNA, "segNA" );
		g_mapInUse = proGiven;
		FastDensityScore const proMap = processDensityMap( proMapPath, work, s.gridWidth, minGridWidth,
			s.resolution, threshold, s.silent, s.segmentation, dsPro, "segPro" );
		g_mapInUse.clear();
		check_split_map( naGiven, naMap, wholeMap );
		check_split_map( proGiven, proMap, wholeMap );
		step.now( "placing the chains" );
		std::cout << "NA_map_path:" << naMapPath << std::endl;
		std::cout << "Pro_map_path:" << proMapPath << std::endl;
		std::vector< int > counts, naCounts, proCounts;
		int* marks = CheckSimilarChain( models, counts );
		int* naMarks = CheckSimilarChain( naList, naCounts );
		int* proMarks = CheckSimilarChain( proList, proCounts );
		written = GetInitNA_ProModel( 1, workDir, s.outputName, models, naList, proList, bindir, mapPath,
			naMapPath, proMapPath, s.resolution, s.processCount, wholeMap, naMap, proMap, counts, naCounts,
			proCounts, marks, naMarks, proMarks, true, s.fullFitting != 0, s.localDomainOpt, s.domainMatching, true,
			s.removeMatched, s.iteration, s.globalDomainOpt, s.fastPositions, s.lbfgsPositions, s.gridWidth,
			threshold, s.corrCutoff, &report );
		delete[] marks;
		delete[] naMarks;
		delete[] proMarks;
		std::cout << "Assembly is done." << std::endl;
	}
	// A final model that cannot be written is named with the reason; "no
	// chain could be placed" is said only when none was.
	step.now( "writing the final model" );
	std::string writeFailure = report.writeFailure;
	if ( written && !naCopies.empty() && !Restore_NA_PDB( workModel, naCopies, naIds ) ) {
		writeFailure = std::strerror( errno );
		written = false;
	}
	g_finalModel.reserve( finalModel.size() ); // the copy below then needs no memory
	// A model made after a stream met no memory may come of input cut short.
	utility::throw_if_memory_ran_out();
	if ( written && std::rename( workModel.c_str(), finalModel.c_str() ) != 0 ) {
		writeFailure = std::strerror( errno );
		written = false;
	}
	if ( written ) g_finalModel = finalModel;

	step.now( "reviewing the final model" );
	remove_work_directory_now();
	release2DVec( naCopies );
	if ( written ) {
		print_review( finalModel, report );
		print_other_readings();
	}

	long const seconds = static_cast< long >(
		std::chrono::duration_cast< std::chrono::seconds >( std::chrono::steady_clock::now() - start ).count() );
	std::cout << "time: " << static_cast< double >( seconds ) << std::endl << std::endl;
	g_endKnown = true;
	if ( !written && !writeFailure.empty() ) {
		std::cout << "\033[1mERROR!\033[0m The final model " << finalModel << " could not be written: " << writeFailure
		          << "." << std::endl;
		return 1;
	}
	if ( !written ) {
		std::cout << "\033[1mERROR!\033[0m No final model was written: no chain could be placed";
		if ( startedProgramMemoryStops() > 0 )
			std::cout << " (the started programs " << memory_stops_text() << ": see the warnings above)";
		std::cout << "." << std::endl;
		return 1;
	}
	std::cout << "*********************************************************" << std::endl;
	std::cout << "********************ASSEMBLY FINISHED********************" << std::endl;
	std::cout << "*********************************************************" << std::endl;
	return 0;
}
