#include "apps/quilter/AssemblyRun.hh"

#include "apps/quilter/AssemblyStage.hh"
#include "apps/quilter/ChainSplitting.hh"
#include "apps/quilter/CommandLine.hh"
#include "apps/quilter/MapPreparation.hh"
#include "apps/quilter/NucleicAcidMask.hh"
#include "apps/quilter/SimilarChains.hh"
#include "apps/quilter/StringListHelpers.hh"
#include "core/basic_fun_Quilt.hh"
#include "density/DensityScore.hh"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// The run's own work directory, removed when the process ends before the
// run is through (a map routine that stops the process, an error stop), so
// that no half-filled work directory is left behind.
std::string g_workDir, g_dataDir;

void remove_work_at_exit()
{
	if ( g_workDir.empty() ) return;
	if ( !g_dataDir.empty() ) changedir( g_dataDir );
	removeWorkDirectory( g_workDir, g_dataDir, "segtemp" );
}

[[noreturn]] void fail( const std::string& message )
{
	std::cout << "\033[1mERROR!\033[0m " << message << std::endl;
	std::exit( 1 );
}

std::string field_trimmed( const std::string& line, std::size_t from, std::size_t n )
{
	std::string f = line.size() > from ? line.substr( from, n ) : std::string();
	return trim( f );
}

} // namespace

int runAssembly( int argc, char** argv )
{
	auto const start = std::chrono::steady_clock::now();
	std::strcpy( version, "20250312" );

	QuilterSettings s;
	readPositionalArguments( argc, argv, s );
	scanOptions( argc, argv, s );

	// Work directories: one of this run's own, so that two runs in one data
	// directory cannot read or remove each other's files.
	std::string const workDir = makeWorkDirectory( s.dataPath, "segtemp" );
	if ( workDir.empty() ) fail( "Cannot make a work directory in " + s.dataPath );
	g_workDir = workDir;
	g_dataDir = s.dataPath;
	std::atexit( remove_work_at_exit );
	std::string const chainDir = workDir + "/chains_temp";
	makefile( chainDir );
	DensityScore dsWhole, dsNA, dsPro;

	// Input models: prefix1.pdb, prefix2.pdb, ... up to the first gap, at most 50.
	std::vector< std::string > models;
	for ( int n = 1; n <= 50; ++n ) {
		std::string const name = s.inputPrefix + std::to_string( n ) + ".pdb";
		std::string const path = s.dataPath + "/" + name;
		if ( !checkfile( path ) ) break;
		std::string const copy = chainDir + "/" + get_name_from_path( name );
		std::error_code ec;
		fs::copy_file( path, copy, fs::copy_options::overwrite_existing, ec );
		if ( ec ) fail( "Cannot copy the input model " + path );
		models.push_back( copy );
	}
	if ( models.empty() ) {
		std::cout << "\033[1mERROR!\033[0m Please input at least one PDB format model!" << std::endl;
		return 1;
	}

	std::cout << "**************** Input information ***************" << std::endl;
	std::cout << "       Map: " << get_name_from_path( s.mapPath ) << std::endl;
	std::cout << "Resolution: " << s.resolution << std::endl;
	std::cout << "    Models: ";
	for ( std::string const& m : models ) std::cout << get_name_from_path( m ) << ", ";
	std::cout << std::endl << "-----------------" << std::endl;

	// One file per chain.  The chain files are used throughout, so a chain
	// break ("TER" inside a chain) or a file of several chains loses nothing.
	std::vector< std::string > chains;
	for ( std::string const& m : models ) {
		std::vector< std::string > ids;
		std::size_t const before = chains.size();
		Split_PDB_chains( m, true, chains, ids, workDir );
		if ( chains.size() == before )
			std::cout << "Warning! No chain was found in " << get_name_from_path( m ) << "; it is skipped." << std::endl;
	}
	if ( chains.empty() ) fail( "None of the input models holds an \"ATOM\" record." );
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
	std::string mapPath = workDir + "/segmap.mrc";
	if ( s.segmentation ) dsWhole.segmap( s.mapPath, mapPath, s.threshold, s.silent );
	else dsWhole.map_processing( s.mapPath, mapPath, s.threshold, s.silent );
	double threshold = 0.0;
	double minGridWidth = 1.0;
	mapPath = resampleIfFiner( dsWhole, mapPath, s.resolution, s.gridWidth, minGridWidth, threshold );
	FastDensityScore const wholeMap = getDensityMap( mapPath, s.resolution, s.gridWidth, true, threshold, s.silent );
	if ( !wholeMap.isLoaded ) fail( "The density map " + s.mapPath + " could not be loaded." );

	std::string const mapDir = get_directory( s.mapPath );
	std::string naMapPath = mapDir + "/NA.map", proMapPath = mapDir + "/Pro.map";
	bool const haveNA = checkfile( naMapPath ), havePro = checkfile( proMapPath );
	if ( !haveNA ) std::cout << naMapPath << "no NA map" << std::endl;
	if ( !havePro ) std::cout << proMapPath << "no Pro map" << std::endl;

	std::string const base = s.outputName.substr( 0, s.outputName.size() - 4 );
	std::string const finalModel = s.dataPath + "/" + base + "1.pdb";
	bool written = false;
	if ( naCopies.empty() || naCopies.size() == models.size() ) {
		std::cout << "***************** Start to assemble ***************" << std::endl;
		std::vector< int > counts;
		int* marks = CheckSimilarChain( models, counts );
		written = GetInitModel( 1, s.dataPath, s.outputName, models, bindir, mapPath, s.resolution, s.processCount,
			wholeMap, counts, marks, true, s.fullFitting != 0, s.localDomainOpt, s.domainMatching, true,
			s.removeMatched, s.iteration, s.globalDomainOpt, s.fastPositions, s.lbfgsPositions, s.gridWidth,
			threshold, s.corrCutoff );
		delete[] marks;
		std::cout << "Assembly is done." << std::endl;
	} else {
		std::cout << "***************** Start to assemble NA and Protein***************" << std::endl;
		if ( !haveNA || !havePro )
			fail( "Protein and nucleic-acid chains together need \"NA.map\" and \"Pro.map\" beside the map " +
			      s.mapPath );
		std::string work = workDir;
		FastDensityScore const naMap = processDensityMap( naMapPath, work, s.gridWidth, minGridWidth, s.resolution,
			threshold, s.silent, s.segmentation, dsNA, "segNA" );
		FastDensityScore const proMap = processDensityMap( proMapPath, work, s.gridWidth, minGridWidth,
			s.resolution, threshold, s.silent, s.segmentation, dsPro, "segPro" );
		std::cout << "NA_map_path:" << naMapPath << std::endl;
		std::cout << "Pro_map_path:" << proMapPath << std::endl;
		std::vector< int > counts, naCounts, proCounts;
		int* marks = CheckSimilarChain( models, counts );
		int* naMarks = CheckSimilarChain( naList, naCounts );
		int* proMarks = CheckSimilarChain( proList, proCounts );
		written = GetInitNA_ProModel( 1, s.dataPath, s.outputName, models, naList, proList, bindir, mapPath,
			naMapPath, proMapPath, s.resolution, s.processCount, wholeMap, naMap, proMap, counts, naCounts,
			proCounts, marks, naMarks, proMarks, true, s.fullFitting != 0, s.localDomainOpt, s.domainMatching, true,
			s.removeMatched, s.iteration, s.globalDomainOpt, s.fastPositions, s.lbfgsPositions, s.gridWidth,
			threshold, s.corrCutoff );
		delete[] marks;
		delete[] naMarks;
		delete[] proMarks;
		std::cout << "Assembly is done." << std::endl;
	}
	if ( written && !naCopies.empty() ) Restore_NA_PDB( finalModel, naCopies, naIds );

	changedir( s.dataPath );
	removeWorkDirectory( workDir, s.dataPath, "segtemp" );
	g_workDir.clear();
	release2DVec( naCopies );

	long const seconds = static_cast< long >(
		std::chrono::duration_cast< std::chrono::seconds >( std::chrono::steady_clock::now() - start ).count() );
	std::cout << "time: " << static_cast< double >( seconds ) << std::endl << std::endl;
	if ( !written ) {
		std::cout << "\033[1mERROR!\033[0m No final model was written: no chain could be placed." << std::endl;
		return 1;
	}
	std::cout << "*********************************************************" << std::endl;
	std::cout << "********************ASSEMBLY FINISHED********************" << std::endl;
	std::cout << "*********************************************************" << std::endl;
	return 0;
}
