#include "apps/quilter/AssemblyStage.hh"

#include "apps/quilter/AssemblyRun.hh"
#include "apps/quilter/CandidateEvaluation.hh"
#include "apps/quilter/CombinationSearch.hh"
#include "apps/quilter/FinalModel.hh"
#include "apps/quilter/PlacementChecks.hh"
#include "apps/quilter/RunInterrupts.hh"
#include "apps/quilter/StartedPrograms.hh"
#include "apps/quilter/UnitMatching.hh"
#include "core/Protein.hh"
#include "core/basic_fun_Quilt.hh"
#include "utility/memory_stop.hh"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace fs = std::filesystem;

std::vector< std::string > SortChainDescending( std::vector< int > residueCounts, std::vector< std::string > paths )
{
	std::vector< std::string > out;
	if ( residueCounts.size() != paths.size() ) return paths;
	int* order = quickSortAscendingInd( residueCounts );
	for ( std::size_t k = paths.size(); k-- > 0; ) out.push_back( paths[ order[ k ] ] );
	delete[] order;
	return out;
}

std::vector< std::string > SortChainDescending( std::vector< std::string > paths )
{
	std::vector< int > keys;
	for ( std::string const& p : paths ) keys.push_back( -static_cast< int >( Protein( p, false ).residues.size() ) );
	int* order = quickSortAscendingInd( keys );
	std::vector< std::string > out;
	for ( std::size_t k = 0; k < paths.size(); ++k ) out.push_back( paths[ order[ k ] ] );
	delete[] order;
	return out;
}

std::string makeWorkDirectory( const std::string& dataDir, const std::string& prefix )
{
	std::string templ = dataDir + "/" + prefix + "XXXXXX";
	std::vector< char > buf( templ.begin(), templ.end() );
	buf.push_back( '\0' );
	if ( !::mkdtemp( buf.data() ) ) return "";
	return buf.data();
}

void removeWorkDirectory( const std::string& dir, const std::string& dataDir, const std::string& prefix )
{
	// Only a directory that this run made under the data directory.
	std::string const head = dataDir + "/" + prefix;
	if ( dir.size() != head.size() + 6 || dir.compare( 0, head.size(), head ) != 0 ) return;
	if ( dir.find( "/../" ) != std::string::npos || dataDir.empty() ) return;
	std::error_code ec;
	fs::remove_all( dir, ec );
	// The library's walk needs memory for every name it lists; where it
	// could not finish (memory ran out, say), the walk that needs none.
	if ( ec ) removeTreeSignalSafe( dir.c_str() );
}

namespace {

struct StageOptions {
	int nModels;
	std::string dataDir, outName, binDir, mapPath;
	double reso;
	int processes;
	bool lbfgsAndFft, fullFitting, localDomainOpt, domainMatching, removeMatched, iterate, globalDomainOpt;
	int fftPositions, lbfgsPositions;
	double gridWidth, threshold, cutoff;
};

// Orders the chains largest first (when asked) and returns their
// similarity marks in the new order, so that a mark stays with its chain.
std::vector< int > order_chains( std::vector< std::string >& list, std::vector< int > const& counts, int const* marks,
	bool sortChains )
{
	std::vector< int > marksOut( list.size(), 0 );
	for ( std::size_t i = 0; i < list.size() && marks; ++i ) marksOut[ i ] = marks[ i ];
	if ( !sortChains ) return marksOut;
	std::vector< std::string > const sorted = SortChainDescending( counts, list );
	std::vector< int > out;
	for ( std::string const& s : sorted )
		out.push_back( marksOut[ std::find( list.begin(), list.end(), s ) - list.begin() ] );
	list = sorted;
	return out;
}

// The matching directory.  Without it no chain can be matched: the run
// stops with the reason rather than end as a run that placed nothing.
std::string stage_directory( const std::string& dataDir )
{
	std::string const work = makeWorkDirectory( dataDir, "match_rmv_" );
	if ( work.empty() )
		stopRun( "Cannot make a work directory in " + dataDir + ": " + std::strerror( errno ) + "." );
	return work;
}

// The roads of one program over the whole chain list (FFT search alone, or
// LBFGS fitting alone); false when the LBFGS-and-FFT road is asked for.
bool single_program_road( StageOptions const& o, std::string const& work, std::vector< std::string > const& chains,
	std::vector< std::vector< std::string > >& fit, std::vector< int >& counts )
{
	if ( !o.fullFitting ) {
		std::cout << "GetInitModel> Use FFt unit-map matching" << std::endl;
		UnitMatching_ft( work, chains, o.binDir, o.mapPath, o.reso, fit, counts, o.removeMatched, false, o.processes );
		return true;
	}
	if ( !o.lbfgsAndFft ) {
		std::cout << "GetInitModel> Use LBFGS unit-map matching" << std::endl;
		UnitMatching_lb( work, chains, o.binDir, o.mapPath, o.reso, fit, counts, o.removeMatched, false, o.gridWidth,
			o.threshold );
		return true;
	}
	std::cout << "GetInitModel> Use LBFGS and FFt unit-map matching" << std::endl;
	return false;
}

double max_of( const std::vector< double >& v )
{
	// No result at all counts as a poor fit.
	double m = 0.0;
	bool first = true;
	for ( double x : v ) {
		if ( first || x > m ) m = x;
		first = false;
	}
	return m;
}

// The chain a candidate file belongs to: the longest chain name that its
// file name begins with, followed by "_" (every result name is built so).
std::string chain_of_candidate( std::string const& candidate, std::vector< std::string > const& chains )
{
	std::string const file = get_name_from_path( candidate );
	std::string best;
	for ( std::string const& c : chains ) {
		std::string const name = chainNameOf( c );
		if ( name.size() > best.size() && file.compare( 0, name.size() + 1, name + "_" ) == 0 ) best = name;
	}
	return best.empty() ? file : best;
}

// Drops the candidates that overlap no density of the whole map: such a
// result is no placement.  Returns the chains left without candidates so:
// whether the final model lacks them, and why, is said once that model is
// written.  The correlation this check gives is the one on the whole map,
// which is not the matching's (that one is judged on the map less the
// density of the chains accepted before).
std::vector< std::string > drop_placements_without_density( std::vector< std::vector< std::string > >& fit,
	std::vector< int >& counts, std::vector< std::string > const& chains, FastDensityScore const& map )
{
	std::vector< std::string > dropped;
	std::vector< std::vector< std::string > > keptFit;
	std::vector< int > keptCounts;
	for ( auto const& list : fit ) {
		std::vector< std::string > kept;
		PlacementOverlap best;
		for ( std::size_t k = 0; k < list.size(); ++k ) {
			PlacementOverlap const o = placementOverlap( list[ k ], map );
			if ( o.overlaps() ) kept.push_back( list[ k ] );
			if ( k == 0 || o.correlation > best.correlation ) best = o;
		}
		if ( kept.empty() && !list.empty() ) {
			std::string const name = chain_of_candidate( list.front(), chains );
			char what[ 96 ];
			std::snprintf( what, sizeof what, "best RSCC %.3f on the whole map, %.0f%% of its atoms inside the map",
				best.correlation, 100.0 * best.insideBox );
			std::cout << "Warning! The placements found for chain '" << name
			          << "' do not lie on density of the map (" << what << ")." << std::endl;
			dropped.push_back( name );
			continue;
		}
		keptCounts.push_back( static_cast< int >( kept.size() ) );
		keptFit.push_back( kept );
	}
	fit = keptFit;
	counts = keptCounts;
	return dropped;
}

// What the final model lacks or holds twice: the chains left out of it,
// and pairs of chains that lie on top of each other.
void review_final_model( std::string const& model, std::vector< std::string > const& chains, StageReport& report )
{
	// Chain identifiers are distinct among the chain files (renamed when they
	// were not): they tell which chain file each chain of the model came from.
	std::vector< std::string > fileIds;
	std::vector< std::string > names;
	for ( std::string const& c : chains ) {
		std::vector< std::string > ids;
		readChainTraces( c, ids );
		fileIds.push_back( ids.empty() ? std::string() : ids.front() );
		names.push_back( chainNameOf( c ) );
	}
	auto name_of = [ & ]( std::string const& id ) {
		for ( std::size_t k = 0; k < fileIds.size(); ++k )
			if ( fileIds[ k ] == id ) return "'" + names[ k ] + "'";
		return "'" + trim( id ) + "'";
	};
	std::vector< std::string > ids, kinds;
	auto const traces = readChainTraces( model, ids, &kinds, report.nucleicAcidIds );
	for ( std::size_t k = 0; k < fileIds.size(); ++k )
		if ( std::find( ids.begin(), ids.end(), fileIds[ k ] ) == ids.end() ) report.leftOut.push_back( names[ k ] );
	for ( std::size_t i = 0; i < traces.size(); ++i ) {
		for ( std::size_t j = i + 1; j < traces.size(); ++j ) {
			int const close = closeTracePairs( traces[ i ], traces[ j ], kClashDistance );
			if ( close <= kClashPairs ) continue;
			// The pairs are named by their trace atoms: CA pairs of two
			// protein chains, P pairs of two nucleic-acid chains (masked in
			// this model, and traced by their P atoms all the same), CA-P
			// pairs of one of each.
			std::string const atoms = kinds[ i ] == kinds[ j ] ? kinds[ i ] : kinds[ i ] + "-" + kinds[ j ];
			std::string const note = "Chains " + name_of( ids[ i ] ) + " and " + name_of( ids[ j ] ) +
			                         " clash in the final model: " + std::to_string( close ) + " " + atoms +
			                         " pairs closer than 3 A (one of them is probably misplaced).";
			std::cout << "Warning! " << note << std::endl;
			report.clashes.push_back( note );
		}
	}
}

// The chains that the candidate lists place (one list per placed chain).
std::vector< std::string > placed_chains( std::vector< std::vector< std::string > > const& fit,
	std::vector< std::string > const& chains )
{
	std::vector< std::string > names;
	for ( auto const& list : fit )
		if ( !list.empty() ) names.push_back( chain_of_candidate( list.front(), chains ) );
	return names;
}

bool holds( std::vector< std::string > const& names, std::string const& name )
{
	return std::find( names.begin(), names.end(), name ) != names.end();
}

// Once the final model is written: what it holds of every chain that the
// first matching or the FFT re-match could not place, and why each chain
// that it lacks (report.leftOut, read from the model) is missing.
// writtenSearch is the search whose combination was written (1 or 2).  A
// matching that could not place a chain either found nothing for it or
// found placements that the placement check dropped (offFirst, offSecond:
// they lie off the density of the map); each line says which.
void note_unplaced_chains( std::vector< std::string > const& chains, std::vector< std::string > const& placedFirst,
	std::vector< std::string > const& offFirst, bool rematched, std::vector< std::string > const& placedSecond,
	std::vector< std::string > const& offSecond, int writtenSearch, StageReport& report )
{
	// A chain that the combination written did place, and the model still
	// lacks, lost its placement after the combination was chosen.
	std::vector< std::string > why( report.leftOut.size(), "its placement is not in the final model" );
	auto reason = [ & ]( std::string const& name, std::string const& text ) {
		for ( std::size_t k = 0; k < report.leftOut.size(); ++k )
			if ( report.leftOut[ k ] == name ) why[ k ] = text;
	};
	std::string const leftOut = "it is left out of the assembled model.";
	std::string const offDensity = "do not lie on density of the map and were dropped";
	for ( std::string const& c : chains ) {
		std::string const name = chainNameOf( c );
		bool const first = holds( placedFirst, name );
		bool const second = rematched && holds( placedSecond, name );
		bool const held = !holds( report.leftOut, name );
		bool const droppedFirst = holds( offFirst, name );
		bool const droppedSecond = rematched && holds( offSecond, name );
		std::string const chain = "chain '" + name + "'";
		// What each matching left of the chain, where it placed none.
		std::string const inFirst = droppedFirst
		                                ? "The placements found for " + chain + " in the first matching " + offDensity
		                                : "No placement was found for " + chain + " in the first matching";
		std::string const inSecond = droppedSecond
		                                 ? "The placements the FFT re-match found for " + chain + " " + offDensity
		                                 : "The FFT re-match found no placement for " + chain;
		if ( !first && !second ) {
			// Neither matching placed it.
			if ( held ) continue;
			if ( !rematched || droppedFirst == droppedSecond ) {
				if ( droppedFirst ) {
					report.unplaced.push_back( "The placements found for " + chain + " " + offDensity + "; " + leftOut );
					reason( name, "the placements found for it " + offDensity );
				} else {
					report.unplaced.push_back( "No placement was found for " + chain + "; " + leftOut );
					reason( name, "no placement was found for it" );
				}
			} else if ( droppedFirst ) {
				report.unplaced.push_back( inFirst + ", and the FFT re-match found no placement for it; " + leftOut );
				reason( name, "the placements found for it in the first matching " + offDensity +
				                  ", and the FFT re-match found none" );
			} else {
				report.unplaced.push_back( inFirst + ", and those the FFT re-match found " + offDensity + "; " + leftOut );
				reason( name, "no placement was found for it in the first matching, and those the FFT re-match found " +
				                  offDensity );
			}
		} else if ( !first ) {
			// Only the re-match placed it.
			if ( held && writtenSearch == 2 ) {
				report.unplaced.push_back( inFirst + "; the assembled model holds its placement from the FFT re-match." );
			} else if ( !held && writtenSearch == 1 ) {
				report.unplaced.push_back( inFirst + ", and that matching's combination of placements fits the map best: " +
				                           leftOut );
				reason( name, droppedFirst ? "the placements found for it in the first matching " + offDensity +
				                                 ", and that matching's combination was written"
				                           : "no placement was found for it in the first matching, whose combination "
				                             "was written" );
			} else if ( !held ) {
				report.unplaced.push_back( inFirst + "; " + leftOut );
			}
		} else if ( rematched && !second ) {
			// Only the first matching placed it.
			if ( held && writtenSearch == 1 ) {
				report.unplaced.push_back( inSecond + "; the assembled model keeps its placement from the first matching." );
			} else if ( !held && writtenSearch == 2 ) {
				report.unplaced.push_back( inSecond + ", and the re-match's combination of placements fits the map best: " +
				                           leftOut );
				reason( name, droppedSecond ? "the placements the FFT re-match found for it " + offDensity +
				                                  ", and the re-match's combination was written"
				                            : "the FFT re-match found no placement for it, and the re-match's "
				                              "combination was written" );
			} else if ( !held ) {
				report.unplaced.push_back( inSecond + "; " + leftOut );
			}
		}
	}
	report.leftOutWhy = why;
}

// Everything after the main matching: searches, second matching, final
// model, global domain optimisation and the removal of the work directory.
bool finish_stage( StageOptions const& o, std::string const& work, std::vector< std::string > const& chains,
	FastDensityScore const& map, std::vector< std::vector< std::string > > fit1, std::vector< int > n1,
	int lbfgsStarted, bool anySimilar, StageReport& report )
{
	std::vector< std::string > const offFirst = drop_placements_without_density( fit1, n1, chains, map );
	for ( int c : n1 ) std::cout << "*********** Nchainpos:" << c << std::endl;
	std::cout << "***********size* fitchainpath:" << fit1.size() << std::endl;

	utility::MemoryStep step( "searching the best combination of placements" );
	CombinationResults first, second;
	if ( !fit1.empty() ) SearhBestCombination( fit1, n1, map, first );

	std::vector< std::vector< std::string > > fit2;
	std::vector< int > n2;
	std::vector< std::string > offSecond;
	bool const rematched = lbfgsStarted == 1 && max_of( first.rscc ) < 0.7;
	if ( rematched ) {
		std::cout << "Use FFt fit again: " << std::endl;
		UnitMatching_ft( work, chains, o.binDir, o.mapPath, o.reso, fit2, n2, o.removeMatched, false, o.processes );
		offSecond = drop_placements_without_density( fit2, n2, chains, map );
	}
	if ( !fit2.empty() ) SearhBestCombination( fit2, n2, map, second );

	step.now( "writing the final model" );
	int written = 0;
	std::vector< int > searches;
	SaveFinalModel( o.nModels, o.outName, o.dataDir, first.fileSets, second.fileSets, first.rscc,
		second.rscc, written, &report.writeFailure, &searches );

	std::string const base = o.outName.size() >= 4 ? o.outName.substr( 0, o.outName.size() - 4 ) : o.outName;
	std::string const finalModel = o.dataDir + "/" + base + "1.pdb";
	if ( o.globalDomainOpt && written > 0 && checkfile( finalModel ) ) {
		std::cout << "GetInitModel> Global domain optimize ..." << std::endl;
		std::string const optimised = o.dataDir + "/" + base + "_dom_1.pdb";
		removeFiles( { optimised } );
		runCommand( lobetuneGlobalCommand( o.binDir, o.mapPath, finalModel, o.reso, o.gridWidth, o.threshold,
			base + "_dom.pdb", anySimilar ? 1 : 0 ) );
		if ( checkfile( optimised ) && usableResult( optimised ) ) {
			// Both models judged alike (every chain, inside the model's
			// footprint); the optimised one replaces the final model only
			// when it fits the map better.
			double const before = EvaluateModel( finalModel, map, true, true );
			double const score = EvaluateModel( optimised, map, true, true );
			double const gain = score - before;
			// One rename in the same directory: the final model is either
			// the old one or the optimised one, never a part-copied file.
			if ( gain > 0.0 && std::rename( optimised.c_str(), finalModel.c_str() ) == 0 ) {
				if ( gain > 0.002 )
					std::cout << "GetInitModel> RSCC is improvded from " << before << " to " << score
					          << " after global domain optimize." << std::endl;
			}
			removeFiles( { optimised } );
		}
	}
	if ( written > 0 ) {
		review_final_model( finalModel, chains, report );
		note_unplaced_chains( chains, placed_chains( fit1, chains ), offFirst, rematched,
			placed_chains( fit2, chains ), offSecond, searches.front(), report );
		// The notes of chains kept below the threshold describe the first
		// matching's placements; a model written from the re-match's
		// combination holds none of them.
		if ( searches.front() == 2 ) report.belowThreshold.clear();
	}
	std::cout << "GetInitModel> Unit matching completed" << std::endl;

	changedir( o.dataDir );
	::sleep( 2 );
	removeWorkDirectory( work, o.dataDir, "match_rmv_" );
	return written > 0;
}

} // namespace

bool GetInitModel( int nModels, std::string dataDir, std::string outName, std::vector< std::string > chains,
	std::string binDir, std::string mapPath, double reso, int processes, FastDensityScore map,
	std::vector< int > residueCounts, int* marks, bool lbfgsAndFft, bool fullFitting, bool localDomainOpt,
	bool domainMatching, bool sortChains, bool removeMatched, bool iterate, bool globalDomainOpt, int fftPositions,
	int lbfgsPositions, double gridWidth, double threshold, double cutoff, StageReport* report )
{
	StageReport local;
	StageReport& r = report ? *report : local;
	StageOptions const o{ nModels, dataDir, outName, binDir, mapPath, reso, processes, lbfgsAndFft, fullFitting,
		localDomainOpt, domainMatching, removeMatched, iterate, globalDomainOpt, fftPositions, lbfgsPositions,
		gridWidth, threshold, cutoff };
	bool anySimilar = false;
	for ( std::size_t i = 0; i < chains.size() && marks; ++i ) anySimilar = anySimilar || marks[ i ] == 1;
	std::vector< int > sortedMarks = order_chains( chains, residueCounts, marks, sortChains );

	std::string const work = stage_directory( dataDir );
	if ( work.empty() ) return false;

	std::vector< std::vector< std::string > > fit1;
	std::vector< int > n1;
	int lbfgsStarted = 0;
	if ( !single_program_road( o, work, chains, fit1, n1 ) )
		UnitMatching_lb_ft( work, chains, binDir, mapPath, reso, map, fit1, n1, sortedMarks.data(), lbfgsStarted,
			processes, fftPositions, lbfgsPositions, removeMatched, false, localDomainOpt, domainMatching, iterate,
			gridWidth, threshold, cutoff, "CA", &r.belowThreshold );
	return finish_stage( o, work, chains, map, fit1, n1, lbfgsStarted, anySimilar, r );
}

bool GetInitNA_ProModel( int nModels, std::string dataDir, std::string outName, std::vector< std::string > chains,
	std::vector< std::string > naChains, std::vector< std::string > proChains, std::string binDir,
	std::string mapPath, std::string naMapPath, std::string proMapPath, double reso, int processes,
	FastDensityScore map, FastDensityScore naMap, FastDensityScore proMap, std::vector< int > residueCounts,
	std::vector< int > naResidueCounts, std::vector< int > proResidueCounts, int* marks, int* naMarks,
	int* proMarks, bool lbfgsAndFft, bool fullFitting, bool localDomainOpt, bool domainMatching, bool sortChains,
	bool removeMatched, bool iterate, bool globalDomainOpt, int fftPositions, int lbfgsPositions, double gridWidth,
	double threshold, double cutoff, StageReport* report )
{
	StageReport local;
	StageReport& r = report ? *report : local;
	StageOptions const o{ nModels, dataDir, outName, binDir, mapPath, reso, processes, lbfgsAndFft, fullFitting,
		localDomainOpt, domainMatching, removeMatched, iterate, globalDomainOpt, fftPositions, lbfgsPositions,
		gridWidth, threshold, cutoff };
	bool anySimilar = false;
	for ( std::size_t i = 0; i < chains.size() && marks; ++i ) anySimilar = anySimilar || marks[ i ] == 1;

	order_chains( chains, residueCounts, marks, sortChains );
	std::vector< int > proMarksSorted = order_chains( proChains, proResidueCounts, proMarks, sortChains );
	std::vector< int > naMarksSorted = order_chains( naChains, naResidueCounts, naMarks, sortChains );

	std::string const work = stage_directory( dataDir );
	if ( work.empty() ) return false;

	std::vector< std::vector< std::string > > fit1;
	std::vector< int > n1;
	int lbfgsStarted = 0;
	if ( !single_program_road( o, work, chains, fit1, n1 ) ) {
		std::cout << "GetInitModel> matching NA chain into NA.map******************" << std::endl;
		std::vector< std::vector< std::string > > naFit;
		std::vector< int > naN;
		UnitMatching_lb_ftRNA( work, naChains, binDir, naMapPath, reso, naMap, naFit, naN, naMarksSorted.data(),
			lbfgsStarted, processes, fftPositions, lbfgsPositions, removeMatched, false, localDomainOpt,
			domainMatching, iterate, gridWidth, threshold, cutoff, "all", &r.belowThreshold, "NA.map" );
		std::cout << "GetInitModel> matching Pro chain into Pro.map******************" << std::endl;
		UnitMatching_lb_ft( work, proChains, binDir, proMapPath, reso, proMap, fit1, n1, proMarksSorted.data(),
			lbfgsStarted, processes, fftPositions, lbfgsPositions, removeMatched, false, localDomainOpt,
			domainMatching, iterate, gridWidth, threshold, cutoff, "CA", &r.belowThreshold, "Pro.map" );
		fit1.insert( fit1.end(), naFit.begin(), naFit.end() );
		n1.insert( n1.end(), naN.begin(), naN.end() );
		std::cout << "Merged fitchainpath number:" << fit1.size() << std::endl;
		std::cout << "Merged Nchainpos number:" << n1.size() << std::endl;
	}
	return finish_stage( o, work, chains, map, fit1, n1, lbfgsStarted, anySimilar, r );
}
