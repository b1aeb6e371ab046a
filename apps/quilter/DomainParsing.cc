#include "apps/quilter/DomainParsing.hh"

#include "apps/quilter/ChainSplitting.hh"
#include "apps/quilter/AssemblyRun.hh"
#include "apps/quilter/StartedPrograms.hh"
#include "apps/quilter/StringListHelpers.hh"
#include "core/Protein.hh"
#include "core/basic_fun_Quilt.hh"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>
#include <unistd.h>

namespace fs = std::filesystem;

DomBdInfo::~DomBdInfo() = default;

namespace {

// "a-b" with either number possibly negative; an absent part stays 0.
int* parse_segment( const std::string& text )
{
	int* seg = new int[ 2 ]();
	char const* s = text.c_str();
	char* end = nullptr;
	long const a = std::strtol( s, &end, 10 );
	if ( end == s ) return seg;
	seg[ 0 ] = static_cast< int >( a );
	if ( *end == '-' ) {
		char const* t = end + 1;
		char* end2 = nullptr;
		long const b = std::strtol( t, &end2, 10 );
		if ( end2 != t ) seg[ 1 ] = static_cast< int >( b );
	}
	return seg;
}

std::string first_line( const std::string& path )
{
	std::ifstream in( path );
	std::string line;
	if ( in ) std::getline( in, line );
	return line;
}

} // namespace

void DomSplit( std::string programDir, std::string chainFile, int& domainCount, std::vector< int* >& segmentBounds,
	std::vector< int >& segmentDomains, std::vector< std::string >& domainFiles,
	std::vector< int >& domainResidueCounts, bool writeFiles )
{
	int residues = 0;
	std::string const def = runDomainParser( programDir, chainFile, domainCount, residues );
	DomBdInfo info = ReadBdInfo( def, residues );
	segmentBounds = info.segmentBounds;
	segmentDomains = info.segmentDomains;
	if ( writeFiles ) {
		std::vector< int* > bounds;
		for ( int* b : segmentBounds ) bounds.push_back( b );
		domainFiles = GetDomPDB( chainFile, domainCount, bounds, segmentDomains, domainResidueCounts );
	}
}

std::string runDomainParser( std::string programDir, std::string chainFile, int& domainCount, int& residueCount )
{
	std::string const chainName = [ & ] {
		std::string n = get_name_from_path( chainFile );
		return n.size() >= 4 ? n.substr( 0, n.size() - 4 ) : n;
	}();
	std::string chainDir = get_directory( chainFile );
	if ( chainDir.empty() ) chainDir = ".";
	std::string const result = chainDir + "/" + chainName + "_dom.def";
	domainCount = 0;
	residueCount = 0;

	Protein chain( chainFile, false );
	residueCount = static_cast< int >( chain.residues.size() );
	int const first = residueCount > 0 ? chain.residues.front().resNum : 0;
	int const last = residueCount > 0 ? chain.residues.back().resNum : 0;
	std::string const tag = "xxxx" + ( residueCount > 0 ? trim( chain.residues.front().chainId ) : std::string() );

	// A directory of its own for every run, so that two runs on chains of one
	// name cannot share or remove each other's copies.
	std::string templ = chainDir + "/DomSplit_" + chainName + "XXXXXX";
	std::vector< char > buf( templ.begin(), templ.end() );
	buf.push_back( '\0' );
	if ( !::mkdtemp( buf.data() ) ) {
		std::cout << "Warning! Cannot make a directory for the domain splitter beside " << chainFile << std::endl;
		transDomParlog( chainDir + "/" + chainName + "_dom.log", chainName, domainCount, first, last );
		return result;
	}
	std::string const tmpDir = buf.data();

	if ( ::setenv( "DSSP_PATH", ( programDir + "/dssp" ).c_str(), 1 ) != 0 ) std::cerr << "failed" << std::endl;
	std::error_code ec;
	// The splitter reads the copy: one cut short (a full disk) would split a
	// part of the chain, and the domain steps would work on that part.
	std::string const copy = tmpDir + "/xxxx.pdb";
	std::string reason;
	if ( !copyFileChecked( chainFile, copy, reason ) ) {
		fs::remove_all( tmpDir, ec );
		stopRun( "Cannot write the chain copy " + copy + " for the domain splitter: " + reason + "." );
	}
	changedir( tmpDir );

	std::string const log = tmpDir + "/" + chainName + "_dom.log";
	if ( residueCount > 0 ) runCommand( lobecutCommand( programDir, tag, log ), chainName );
	std::string const def = transDomParlog( log, chainName, domainCount, first, last );
	if ( !copyFileChecked( def, result, reason ) ) {
		changedir( chainDir );
		fs::remove_all( tmpDir, ec );
		stopRun( "Cannot write the domain definition " + result + ": " + reason + "." );
	}

	changedir( chainDir );
	fs::remove_all( tmpDir, ec );
	return result;
}

std::string transDomParlog( std::string logFile, std::string chainName, int& domainCount, int firstResidue,
	int lastResidue )
{
	std::vector< std::string > words = stringSplit( first_line( logFile ), " \t\r\n" );
	auto word = [ &words ]( std::size_t i ) { return i < words.size() ? words[ i ] : std::string(); };
	domainCount = static_cast< int >( std::strtol( word( 2 ).c_str(), nullptr, 10 ) );

	std::string dir = get_directory( logFile );
	if ( dir.empty() ) dir = ".";
	std::string const out = dir + "/" + chainName + "_dom.def";

	std::string line = word( 0 ) + " " + word( 2 ) + " ";
	if ( domainCount > 1 ) {
		// Word 4 on: one word per domain; a log naming more domains than it
		// lists adds only the separators.
		for ( int d = 0; d < domainCount && d < 10000; ++d ) {
			std::string w = word( 3 + d );
			std::string clean;
			for ( char c : w ) {
				if ( c == '(' || c == ')' ) continue;
				clean += ( c == ';' ) ? ',' : c;
			}
			line += clean + ";";
		}
	} else {
		line += std::to_string( firstResidue ) + "-" + std::to_string( lastResidue ) + ";";
	}
	// A definition cut short would be read as other domains, or as none.
	if ( !writeLinesReplacing( out, { line } ) ) stopOnWriteFailure( "the domain definition", out );
	return out;
}

DomBdInfo ReadBdInfo( std::string defFile, int residueCount )
{
	DomBdInfo info;
	std::vector< std::string > words = stringSplit( first_line( defFile ), " \t\r\n" );
	std::string segText = words.size() > 2 ? words[ 2 ] : std::string();
	if ( segText.empty() ) {
		std::cout << "Wrong in domain parsing. Protein is considered as a 1-domain protein." << std::endl;
		segText = "1-" + std::to_string( residueCount ) + ";";
	}
	segText.pop_back();
	std::vector< std::string > const pieces = stringSplit( segText, ";" );

	std::vector< int* > segs;
	std::vector< int > doms;
	for ( std::size_t d = 0; d < pieces.size(); ++d ) {
		for ( std::string const& s : stringSplit( pieces[ d ], "," ) ) {
			segs.push_back( parse_segment( s ) );
			doms.push_back( static_cast< int >( d ) );
		}
	}
	std::vector< int > starts;
	for ( int* s : segs ) starts.push_back( s[ 0 ] );
	int* order = quickSortAscendingInd( starts );
	for ( std::size_t k = 0; k < segs.size(); ++k ) {
		info.segmentBounds.push_back( segs[ order[ k ] ] );
		info.segmentDomains.push_back( doms[ order[ k ] ] );
	}
	delete[] order;

	info.domainCount = static_cast< int >( pieces.size() );
	info.domainResidues.resize( pieces.size() );
	for ( std::size_t k = 0; k < info.segmentBounds.size(); ++k ) {
		int const* b = info.segmentBounds[ k ];
		std::vector< int >& list = info.domainResidues[ info.segmentDomains[ k ] ];
		// Positions within the chain only: a bad bound cannot blow the list up.
		for ( int v = std::max( b[ 0 ], 1 ); v <= b[ 1 ] && v <= std::max( residueCount, 0 ); ++v )
			list.push_back( v - 1 );
	}
	info.discontinuous = ( info.domainCount != static_cast< int >( info.segmentBounds.size() ) );
	return info;
}

std::vector< std::string > GetDomPDB( std::string chainFile, int domainCount, std::vector< int* > segmentBounds,
	std::vector< int > segmentDomains, std::vector< int >& domainResidueCounts )
{
	std::vector< std::string > paths;
	if ( domainCount <= 0 ) return paths;
	std::string name = get_name_from_path( chainFile );
	if ( name.size() >= 4 ) name = name.substr( 0, name.size() - 4 );
	std::string dir = get_directory( chainFile );
	if ( dir.empty() ) dir = ".";
	Protein chain( chainFile, false );

	for ( int d = 0; d < domainCount; ++d ) {
		std::string const path = dir + "/" + name + "_dom" + std::to_string( d + 1 ) + ".pdb";
		std::vector< std::string > lines;
		int n = 0;
		for ( std::size_t s = 0; s < segmentBounds.size() && s < segmentDomains.size(); ++s ) {
			if ( segmentDomains[ s ] != d ) continue;
			int const lo = segmentBounds[ s ][ 0 ], hi = segmentBounds[ s ][ 1 ];
			// Residues in ascending number, file order among equal numbers.
			std::vector< std::size_t > in;
			for ( std::size_t r = 0; r < chain.residues.size(); ++r ) {
				int const v = chain.residues[ r ].resNum;
				if ( v >= lo && v <= hi ) in.push_back( r );
			}
			std::stable_sort( in.begin(), in.end(), [ &chain ]( std::size_t a, std::size_t b ) {
				return chain.residues[ a ].resNum < chain.residues[ b ].resNum;
			} );
			for ( std::size_t r : in ) {
				for ( std::string const& l : chain.residues[ r ].atomLines ) lines.push_back( l );
				++n;
			}
		}
		// A domain model cut short (a full disk) would be fitted as the domain.
		if ( !writeLinesReplacing( path, lines ) ) stopOnWriteFailure( "the domain model", path );
		paths.push_back( path );
		domainResidueCounts.push_back( n );
	}
	return paths;
}

void getDomainBoundary_o( std::vector< std::vector< int > > domains, std::vector< int* >& segmentBounds,
	std::vector< int >& segmentDomains, int residueCount )
{
	if ( residueCount < 2 ) return;
	std::vector< int > dom( residueCount, 0 );
	for ( int r = 0; r < residueCount; ++r ) {
		for ( std::size_t d = 0; d < domains.size(); ++d ) {
			if ( std::find( domains[ d ].begin(), domains[ d ].end(), r + 1 ) != domains[ d ].end() ) {
				dom[ r ] = static_cast< int >( d );
				break;
			}
		}
	}
	// Runs of one domain; the last run ends at the last residue and takes its
	// domain, also when the last residue starts a run of its own.
	int start = 1;
	for ( int r = 0; r + 1 < residueCount; ++r ) {
		if ( dom[ r ] != dom[ r + 1 ] ) {
			segmentBounds.push_back( new int[ 2 ]{ start, r + 1 } );
			segmentDomains.push_back( dom[ r ] );
			start = r + 2;
		}
	}
	segmentBounds.push_back( new int[ 2 ]{ start, residueCount } );
	segmentDomains.push_back( dom[ residueCount - 1 ] );
}

void get_dom_definition( std::string dir, std::vector< std::vector< int > > domains, int residueCount )
{
	std::string const path = dir + "/domain_definition.txt";
	std::ofstream out( path, std::ios::trunc );
	std::vector< int* > bounds;
	std::vector< int > doms;
	getDomainBoundary_o( domains, bounds, doms, residueCount );
	std::cout << "Domain defininition: ";
	std::ostringstream line;
	for ( int d = 0; d < 50; ++d ) {
		std::vector< int* > group;
		for ( std::size_t s = 0; s < bounds.size(); ++s ) {
			if ( doms[ s ] == d ) group.push_back( bounds[ s ] );
		}
		for ( std::size_t g = 0; g < group.size(); ++g ) {
			line << group[ g ][ 0 ] << "-" << group[ g ][ 1 ] << ( g + 1 == group.size() ? ";" : "," );
		}
	}
	std::cout << line.str() << std::endl;
	out << line.str() << "\n";
	out.close();
	for ( int* b : bounds ) delete[] b;
	copyfile( path, dir + "/Segscry.info" );
}

void getdom_ind_list( std::string dir, std::vector< std::vector< int > > domains, int residueCount )
{
	{
		std::ofstream out( dir + "/dom_ind_list.txt", std::ios::trunc );
		out << residueCount << "\n" << domains.size() << "\n";
		for ( auto const& d : domains ) {
			for ( int v : d ) out << v << ",";
			out << "\n";
		}
	}
	get_dom_definition( dir, domains, residueCount );
}
