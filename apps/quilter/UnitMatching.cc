#include "apps/quilter/UnitMatching.hh"

#include "apps/quilter/AssemblyRun.hh"
#include "apps/quilter/CandidateEvaluation.hh"
#include "apps/quilter/SimilarChains.hh"
#include "apps/quilter/StartedPrograms.hh"
#include "core/Protein.hh"
#include "core/basic_fun_Quilt.hh"
#include "density/DensityScore.hh"
#include "utility/memory_stop.hh"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iostream>

std::string chainNameOf( const std::string& path )
{
	std::string const name = get_name_from_path( path );
	return name.size() >= 4 ? name.substr( 0, name.size() - 4 ) : name;
}

double initialRsccCut( double cutoff, double resolution )
{
	if ( cutoff == 0.0 ) return 0.6125 * ( 1.0 - resolution * 0.01020408163265306 );
	return cutoff;
}

bool lowerRsccCut( double& cut, double bestUnmatched )
{
	if ( bestUnmatched <= 0.5 ) return false;
	while ( cut > bestUnmatched && cut > 0.5 ) cut -= 0.01;
	return true;
}

namespace {

// The copy of a chain that a started program reads.  A copy cut short (a
// full disk) would be placed as a part of the chain, or not at all, without
// a word: the run stops and says why.
void copy_chain( const std::string& from, const std::string& to )
{
	std::string reason;
	if ( !copyFileChecked( from, to, reason ) ) stopRun( "Cannot write the chain copy " + to + ": " + reason + "." );
}

const std::string dashes17( 17, '-' );

// Result files k = 1, 2, ... up to max, as long as they exist and can be
// used (an empty or broken file ends the collection like a missing one).
template< class PathOf >
std::vector< std::string > collect( PathOf pathOf, int max )
{
	std::vector< std::string > found;
	for ( int k = 1; k <= max; ++k ) {
		std::string const p = pathOf( k );
		if ( !checkfile( p ) || !usableResult( p ) ) break;
		found.push_back( p );
	}
	return found;
}

template< class PathOf >
void remove_results( PathOf pathOf, int max )
{
	std::vector< std::string > paths;
	for ( int k = 1; k <= max; ++k ) paths.push_back( pathOf( k ) );
	removeFiles( paths );
}

double best_of( const std::vector< double >& scores ) { return scores.empty() ? 0.0 : scores.front(); }

// The last line of a program's log that says something, after the program
// failed: its own reason (a refused option, say) is written there.
void reportLogTail( const std::string& log, const std::string& program )
{
	std::ifstream in( log );
	std::string line, last;
	while ( std::getline( in, line ) && line.size() < 100000 )
		if ( line.find_first_not_of( " \t\r" ) != std::string::npos ) last = line;
	if ( !last.empty() ) std::cout << "         " << program << " said: " << last << std::endl;
}

} // namespace

std::string belowThresholdNote( const std::string& chain, double score, double cut, double lowered,
	const std::string& scoredOn )
{
	char buf[ 128 ];
	std::snprintf( buf, sizeof buf, "%.3f", score );
	std::string text = buf;
	if ( !scoredOn.empty() ) text += " (judged on " + scoredOn + ")";
	std::snprintf( buf, sizeof buf, " below the acceptance threshold %.3f", cut );
	text += buf;
	if ( lowered < cut ) {
		std::snprintf( buf, sizeof buf, " (lowered to %.3f when it was accepted)", lowered );
		text += buf;
	}
	return "Chain '" + chain + "' is kept at RSCC " + text + ": its placement is uncertain.";
}

void blankModelDensity( FastDensityScore& map, const std::string& model, double radius )
{
	if ( !map.isLoaded ) return;
	int n = 0;
	double** atoms = nullptr;
	{
		Protein p( model, false );
		n = p.atomCount;
		atoms = p.getAllAtomXYZs();
	}
	farray::FArray3D< double >& rho = map.mutableDensity();
	int const* grid = map.grid;
	// Half-width of the box searched around an atom, in grid steps per axis.
	int reach[ 3 ];
	for ( int a = 0; a < 3; ++a ) {
		double const rowNorm = std::sqrt( map.c2f[ a ][ 0 ] * map.c2f[ a ][ 0 ] + map.c2f[ a ][ 1 ] * map.c2f[ a ][ 1 ] +
		                                  map.c2f[ a ][ 2 ] * map.c2f[ a ][ 2 ] );
		reach[ a ] = std::min( grid[ a ], static_cast< int >( std::ceil( radius * rowNorm * grid[ a ] ) ) + 1 );
	}
	double const r2 = radius * radius;
	for ( int k = 0; k < n; ++k ) {
		double d[ 3 ], f[ 3 ];
		for ( int a = 0; a < 3; ++a ) d[ a ] = atoms[ k ][ a ] - map.voxelOrigin[ a ];
		map.cartToFrac( d, f );
		int c[ 3 ];
		for ( int a = 0; a < 3; ++a ) c[ a ] = static_cast< int >( std::floor( f[ a ] * grid[ a ] ) );
		for ( int z = c[ 2 ] - reach[ 2 ]; z <= c[ 2 ] + reach[ 2 ] + 1; ++z ) {
			for ( int y = c[ 1 ] - reach[ 1 ]; y <= c[ 1 ] + reach[ 1 ] + 1; ++y ) {
				for ( int x = c[ 0 ] - reach[ 0 ]; x <= c[ 0 ] + reach[ 0 ] + 1; ++x ) {
					double pos[ 3 ];
					map.voxelPosition( x, y, z, pos );
					double const dx = pos[ 0 ] - atoms[ k ][ 0 ], dy = pos[ 1 ] - atoms[ k ][ 1 ],
					             dz = pos[ 2 ] - atoms[ k ][ 2 ];
					if ( dx * dx + dy * dy + dz * dz > r2 ) continue;
					int const i = ( ( x % grid[ 0 ] ) + grid[ 0 ] ) % grid[ 0 ];
					int const j = ( ( y % grid[ 1 ] ) + grid[ 1 ] ) % grid[ 1 ];
					int const l = ( ( z % grid[ 2 ] ) + grid[ 2 ] ) % grid[ 2 ];
					rho( i + 1, j + 1, l + 1 ) = 0.0;
				}
			}
		}
	}
	release2DArr( n, atoms );
}

namespace {

// Blanks the density within 4 A of the model's atoms into a new map.  The
// blanked voxels become 0, density that is simply gone: a strongly negative
// mark, in a map whose values lie in [0, 1], would also drive the later
// chains away from every voxel within 4 A of this one, and so away from
// their own places at the interface (a DNA strand from its partner's
// blanked bases, for instance).
std::string blank_matched( const std::string& workDir, const std::string& name, const std::string& mapFile,
	const std::string& model )
{
	std::string const newMap = workDir + "/map_new_" + name + ".mrc";
	DensityScore ds;
	ds.quiet = true;
	ds.RemoveMatchedRegion( mapFile, newMap, model, 4.0, 0.0 );
	return newMap;
}

// What the last matching attempt of a chain left: reused when the chain is
// matched again on the same map, since the programs would only repeat it.
struct Attempt {
	std::string map;
	std::vector< std::string > fitList;
	std::vector< double > scores;
	bool newResult = false;
	bool fftRan = false;
	// Chains whose density was blanked in the map the scores were judged on.
	int blankedChains = 0;
};

struct IterativeSettings {
	std::string workDir, binDir;
	double reso;
	int processes, fftPositions, lbfgsPositions;
	bool removeMatched, reuse, domainOpt, domainMatching, iterate;
	double gridWidth, threshold, cutoff;
	std::string atomType;
	bool rna;
	// How the notes name the map matched into ("the map", "Pro.map").
	std::string mapName;
};

// Steps of one chain: FFT search, LBFGS fitting, then domain optimisation
// or domain-based matching while the best score stays below the threshold.
Attempt match_one_chain( IterativeSettings const& s, std::string const& chainFile, std::string const& mapFile,
	FastDensityScore const& map, int mark, int domainCount, int domainSimilar, double cut, int& lbfgsStarted )
{
	Attempt a;
	a.map = mapFile;
	std::string const name = chainNameOf( chainFile );
	utility::MemoryStep const step( "placing chain '" + name + "'" );
	std::string const& work = s.workDir;
	std::string const copy = work + "/" + name + ".pdb";
	std::vector< std::string > fullList;

	copy_chain( chainFile, copy );
	changedir( work );

	// FFT search.
	auto fftPath = [ & ]( int k ) { return fftResultPath( work, name, k ); };
	if ( !s.reuse || !checkfile( fftPath( 1 ) ) ) {
		remove_results( fftPath, s.fftPositions );
		int const status =
			runCommand( rasterseekCommand( s.binDir, mapFile, copy, name, s.reso, s.fftPositions, s.processes ), name );
		if ( status != 0 ) reportLogTail( work + "/FFTlog.txt", "Rasterseek" );
		a.fftRan = true;
	} else {
		std::cout << "GetInitModel> Using previous FFt matched results!" << std::endl;
	}
	a.fitList = collect( fftPath, s.fftPositions );
	fullList = a.fitList;
	EvaluateSort( a.fitList, a.scores, map, 1, false );
	std::cout << "GetInitModel> RSCC of the best FFt model: " << best_of( a.scores ) << std::endl;
	std::cout << dashes17 << std::endl;

	if ( !( best_of( a.scores ) < cut ) ) {
		a.newResult = true;
		return a;
	}

	// LBFGS fitting.
	std::cout << "GetInitModel> RSCC <" << cut << ", try to use LBFGS matching" << std::endl;
	auto fitPath = [ & ]( int k ) { return fitResultPath( work, name, k ); };
	if ( !s.reuse || !checkfile( fitPath( 1 ) ) ) {
		lbfgsStarted = 1;
		remove_results( fitPath, s.lbfgsPositions );
		if ( s.rna )
			runCommand( placerRNACommand( s.binDir, mapFile, copy, s.reso, s.gridWidth, s.threshold, s.lbfgsPositions,
				s.atomType ), name );
		else
			runCommand( placerCommand( s.binDir, mapFile, copy, s.reso, s.gridWidth, s.threshold, s.lbfgsPositions ),
				name );
		a.newResult = true;
	} else {
		std::cout << "GetInitModel> Using previous matched results!" << std::endl;
	}
	for ( std::string const& p : collect( fitPath, s.lbfgsPositions ) ) {
		a.fitList.push_back( p );
		fullList.push_back( p );
	}
	EvaluateSort( a.fitList, a.scores, map, 1, true );
	std::cout << "GetInitModel> RSCC of the best FFt+LBFGS model: " << best_of( a.scores ) << std::endl;
	std::cout << dashes17 << std::endl;

	if ( !( best_of( a.scores ) < cut ) ) return a;

	if ( mark == 1 ) {
		// Domain optimisation of every usable candidate, best first.
		if ( !( s.domainOpt && domainCount > 1 && domainSimilar == 0 ) ) return a;
		std::cout << "GetInitModel> RSCC <" << cut << ", try to perform domain optimize." << std::endl;
		std::vector< double > fullScores;
		EvaluateSort( fullList, fullScores, map, s.lbfgsPositions + s.fftPositions, true );
		for ( std::string const& cand : fullList ) {
			std::string const base = chainNameOf( cand );
			std::cout << "GetInitModel> Domain optimize for " << get_name_from_path( cand ) << std::endl;
			std::string const out = fitResultPath( work, base + "_dom", 1 );
			removeFiles( { out } );
			runCommand( lobetuneCommand( s.binDir, mapFile, cand, s.reso, s.gridWidth, s.threshold,
				base + "_dom.pdb", mark ), name );
			if ( !checkfile( out ) || !usableResult( out ) ) continue;
			a.fitList.push_back( out );
			double const score = EvaluateModel( out, map, true, false );
			std::cout << "GetInitModel> RSCC of " << base + "_dom" << "1" << " = " << score << std::endl;
			if ( score > 0.7 ) break;
		}
		EvaluateSort( a.fitList, a.scores, map, 1, true );
		std::cout << "GetInitModel> RSCC of the best model after domain optimize: " << best_of( a.scores )
		          << std::endl;
		std::cout << dashes17 << std::endl;
	} else if ( s.domainMatching && domainCount > 1 ) {
		std::cout << "GetInitModel> RSCC <" << cut << ", try to use domain-based matching" << std::endl;
		copy_chain( chainFile, work + "/" + name + "_mi" + "1.pdb" );
		std::string const outName = name + "_mo.pdb";
		std::string const out = work + "/" + name + "_mo" + "1.pdb";
		removeFiles( { out } );
		runCommand( lobeplaceCommand( s.binDir, work, mapFile, s.reso, name + "_mi", s.gridWidth, s.threshold,
			outName, s.iterate ? 1 : 0, s.processes ), name );
		if ( checkfile( out ) && usableResult( out ) ) {
			a.fitList.push_back( out );
			double const score = EvaluateModel( out, map, true, false );
			std::cout << "GetInitModel> RSCC of " << name + "_mo" << "1" << " = " << score << std::endl;
		}
		EvaluateSort( a.fitList, a.scores, map, 1, true );
		std::cout << "GetInitModel> RSCC of the best model after domain matching: " << best_of( a.scores )
		          << std::endl;
		std::cout << dashes17 << std::endl;
	}
	return a;
}

void iterative_matching( IterativeSettings const& s, std::vector< std::string > const& chains, std::string mapFile,
	FastDensityScore const& map, std::vector< std::vector< std::string > >& fitchainpath,
	std::vector< int >& Nchainpos, int* marks, int& lbfgsStarted, std::vector< std::string >* weakChains )
{
	int const n = static_cast< int >( chains.size() );
	std::vector< int > matched( n, 0 ), domainCount( n, 0 ), domainSimilar( n, 0 );
	std::vector< Attempt > last( n );
	// Candidates are judged against the map without the density of the
	// chains accepted so far: density that another chain explains already
	// must not make a candidate lying on it look good.
	FastDensityScore scoreMap = map;
	int blanked = 0;

	// The threshold asked for (-rsc, or the one the resolution gives for
	// -rsc 0).  The passes lower the threshold in force when they accept
	// nothing; a chain accepted below the threshold asked for is still one
	// the user has to check.
	double const asked = initialRsccCut( s.cutoff, s.reso );
	double cut = asked;
	std::cout << "GetInitModel> " << "Initial RSCC_cut=" << cut << std::endl;
	lbfgsStarted = 0;

	for ( int i = 0; i < n; ++i ) {
		int d = 0;
		int const similar = CheckSimilarChainofDomain( i, s.binDir, chains, d );
		if ( d > 1 && similar ) {
			domainSimilar[ i ] = 1;
			std::cout << "domain " << i << "has similar chains" << std::endl;
		}
		domainCount[ i ] = d;
	}
	if ( s.rna ) std::cout << "*****************CC type:" << s.atomType << std::endl;

	int matchedCount = 0, pass = 0;
	bool lastChance = false;
	while ( matchedCount < n ) {
		++pass;
		std::cout << "*************" << pass << "-th iteration*************" << std::endl;
		std::cout << "GetInitModel> " << "RSCC_cut=" << cut << std::endl;
		std::cout << n - matchedCount << " chains unmatched" << std::endl;
		int const startCount = matchedCount;
		double bestUnmatched = 0.0;

		for ( int i = 0; i < n; ++i ) {
			if ( matched[ i ] == 1 ) continue;
			std::string const name = chainNameOf( chains[ i ] );
			std::cout << "GetInitModel> Fit '" << name << "' into density map ..." << std::endl;
			Attempt a;
			if ( !s.reuse && last[ i ].map == mapFile && pass > 1 ) {
				// Same chain, same map: the programs would only repeat what
				// they left last time.
				std::cout << "GetInitModel> Using previous matched results!" << std::endl;
				a = last[ i ];
			} else {
				a = match_one_chain( s, chains[ i ], mapFile, scoreMap, marks ? marks[ i ] : 0, domainCount[ i ],
					domainSimilar[ i ], cut, lbfgsStarted );
				a.blankedChains = blanked;
				last[ i ] = a;
			}
			double const score = best_of( a.scores );
			bool const accepted = lastChance || n - matchedCount < 2 || !s.iterate || domainSimilar[ i ] == 1 ||
			                      score >= cut;
			if ( !accepted ) {
				bestUnmatched = std::max( bestUnmatched, score );
				continue;
			}
			++matchedCount;
			matched[ i ] = 1;
			if ( a.fitList.empty() ) {
				// What the final model holds of it is said once that model is
				// written: a re-match may still place it.
				std::cout << "Warning! No placement was found for chain '" << name << "'." << std::endl;
				continue;
			}
			if ( score < asked ) {
				// Accepted as the best there is, or on a lowered threshold,
				// but not on the grounds the threshold asks for: the user has
				// to know.  Whether the chain is kept is known only once the
				// final model is written (the placement check may still drop
				// these placements): the assembly says it then, of the chains
				// the model holds.  Without a list to take the note it is said
				// at once.
				std::string const on = a.blankedChains == 0
				                           ? ( s.mapName == "the map" ? std::string( "the whole map" )
				                                                      : "the whole of " + s.mapName )
				                           : s.mapName + " less the density of the " +
				                                 ( a.blankedChains == 1 ? std::string( "chain" )
				                                                        : std::to_string( a.blankedChains ) + " chains" ) +
				                                 " accepted before it";
				std::string const note = belowThresholdNote( name, score, asked, cut, on );
				if ( weakChains ) weakChains->push_back( note );
				else std::cout << "Warning! " << note << std::endl;
			}
			if ( n - matchedCount > 0 && s.removeMatched && ( a.newResult || a.fftRan ) ) {
				std::string const newMap = s.workDir + "/map_new_" + name + ".mrc";
				std::cout << "density_map_path_new: " << newMap << std::endl;
				mapFile = blank_matched( s.workDir, name, mapFile, a.fitList.front() );
				blankModelDensity( scoreMap, a.fitList.front(), 4.0 );
				++blanked;
			}
			std::cout << "chain: " << i << std::endl;
			std::cout << "fitpath.size():" << a.fitList.size() << std::endl;
			Nchainpos.push_back( static_cast< int >( a.fitList.size() ) );
			fitchainpath.push_back( a.fitList );
			std::cout << std::string( 36, '~' ) << std::endl;
		}

		if ( matchedCount < n )
			std::cout << "GetInitModel> Best unmatched RSCC of " << pass << "-th iteration: " << bestUnmatched
			          << std::endl;
		if ( matchedCount == startCount && !lowerRsccCut( cut, bestUnmatched ) ) lastChance = true;
	}
}

IterativeSettings make_settings( std::string const& workDir, std::string const& binDir, double reso, int processes,
	int fftPositions, int lbfgsPositions, bool removeMatched, bool reuse, bool domainOpt, bool domainMatching,
	bool iterate, double gridWidth, double threshold, double cutoff, std::string const& atomType, bool rna,
	std::string const& mapName )
{
	return IterativeSettings{ workDir, binDir, reso, processes, fftPositions, lbfgsPositions, removeMatched, reuse,
		domainOpt, domainMatching, iterate, gridWidth, threshold, cutoff, atomType, rna,
		mapName.empty() ? std::string( "the map" ) : mapName };
}

// One pass of one program over every chain, keeping every result.  `log`
// names the program's log in the work directory (empty when the program
// prints into the run's own output); a program that fails has its last line
// said, as in the iterative matching.
template< class Start, class PathOf >
void single_pass( std::string const& workDir, std::vector< std::string > const& chains, std::string mapFile,
	std::vector< std::vector< std::string > >& fitchainpath, std::vector< int >& Nchainpos, bool removeMatched,
	bool reuse, const char* suffix, int results, std::string const& program, std::string const& log, Start start,
	PathOf pathOf )
{
	std::size_t const n = chains.size();
	for ( std::size_t i = 0; i < n; ++i ) {
		std::string const name = chainNameOf( chains[ i ] );
		std::cout << "GetInitModel> Fit '" << name << "' into density map ..." << std::endl;
		std::string const tag = name + suffix;
		std::string const copy = workDir + "/" + tag + ".pdb";
		copy_chain( chains[ i ], copy );
		changedir( workDir );
		auto path_k = [ & ]( int k ) { return pathOf( workDir, tag, k ); };
		bool ran = false;
		if ( !reuse || !checkfile( path_k( 1 ) ) ) {
			remove_results( path_k, results );
			int const status = runCommand( start( mapFile, copy, tag ), name );
			if ( status != 0 && !log.empty() ) reportLogTail( workDir + "/" + log, program );
			ran = true;
		} else {
			std::cout << "GetInitModel> Using previous matched results!" << std::endl;
		}
		std::vector< std::string > const found = collect( path_k, results );
		if ( found.empty() ) {
			std::cout << "Warning! No placement was found for chain '" << name << "'." << std::endl;
		} else {
			if ( i + 1 < n && removeMatched && ran ) mapFile = blank_matched( workDir, name, mapFile, found.front() );
			Nchainpos.push_back( static_cast< int >( found.size() ) );
			fitchainpath.push_back( found );
		}
		std::cout << std::string( 31, '-' ) << std::endl;
	}
}

} // namespace

void UnitMatching_lb_ft( std::string workDir, std::vector< std::string > chains, std::string binDir,
	std::string mapFile, double reso, FastDensityScore map, std::vector< std::vector< std::string > >& fitchainpath,
	std::vector< int >& Nchainpos, int* marks, int& lbfgsStarted, int processes, int fftPositions,
	int lbfgsPositions, bool removeMatched, bool reuse, bool domainOpt, bool domainMatching, bool iterate,
	double gridWidth, double threshold, double cutoff, std::string atomType, std::vector< std::string >* weakChains,
	std::string const& mapName )
{
	IterativeSettings const s = make_settings( workDir, binDir, reso, processes, fftPositions, lbfgsPositions,
		removeMatched, reuse, domainOpt, domainMatching, iterate, gridWidth, threshold, cutoff, atomType, false,
		mapName );
	iterative_matching( s, chains, mapFile, map, fitchainpath, Nchainpos, marks, lbfgsStarted, weakChains );
}

void UnitMatching_lb_ftRNA( std::string workDir, std::vector< std::string > chains, std::string binDir,
	std::string mapFile, double reso, FastDensityScore map, std::vector< std::vector< std::string > >& fitchainpath,
	std::vector< int >& Nchainpos, int* marks, int& lbfgsStarted, int processes, int fftPositions,
	int lbfgsPositions, bool removeMatched, bool reuse, bool domainOpt, bool domainMatching, bool iterate,
	double gridWidth, double threshold, double cutoff, std::string atomType, std::vector< std::string >* weakChains,
	std::string const& mapName )
{
	IterativeSettings const s = make_settings( workDir, binDir, reso, processes, fftPositions, lbfgsPositions,
		removeMatched, reuse, domainOpt, domainMatching, iterate, gridWidth, threshold, cutoff, atomType, true,
		mapName );
	iterative_matching( s, chains, mapFile, map, fitchainpath, Nchainpos, marks, lbfgsStarted, weakChains );
}

void UnitMatching_ft( std::string workDir, std::vector< std::string > chains, std::string binDir,
	std::string mapFile, double reso, std::vector< std::vector< std::string > >& fitchainpath,
	std::vector< int >& Nchainpos, bool removeMatched, bool reuse, int processes )
{
	int const count = removeMatched ? 1 : 5;
	single_pass( workDir, chains, mapFile, fitchainpath, Nchainpos, removeMatched, reuse, "_ft", count, "Rasterseek",
		"FFTlog.txt",
		[ & ]( std::string const& map, std::string const& copy, std::string const& tag ) {
			return rasterseekCommand( binDir, map, copy, tag, reso, count, processes );
		},
		fftResultPath );
}

void UnitMatching_lb( std::string workDir, std::vector< std::string > chains, std::string binDir,
	std::string mapFile, double reso, std::vector< std::vector< std::string > >& fitchainpath,
	std::vector< int >& Nchainpos, bool removeMatched, bool reuse, double gridWidth, double threshold )
{
	single_pass( workDir, chains, mapFile, fitchainpath, Nchainpos, removeMatched, reuse, "_lb", 50, "Placer", "",
		[ & ]( std::string const& map, std::string const& copy, std::string const& tag ) {
			return placerOnlyCommand( binDir, map, copy, reso, gridWidth, threshold, 50 );
		},
		fitResultPath );
}
