#include "apps/quilter/SimilarChains.hh"

#include "alignment/TemplateScore.hh"
#include "apps/quilter/DomainParsing.hh"
#include "core/Protein.hh"
#include "core/basic_fun_Quilt.hh"

#include <cstdio>
#include <memory>

CATrace::CATrace( const std::string& path )
{
	Protein p( path, false );
	n = static_cast< int >( p.residues.size() );
	xyz = new2DArr( n, 3 );
	resno = new1DIntArr( n > 0 ? n : 1 );
	for ( int i = 0; i < n; ++i ) {
		double* ca = p.getIthResidueCAXYZ( i );
		for ( int k = 0; k < 3; ++k ) xyz[ i ][ k ] = ca[ k ];
		delete[] ca;
		resno[ i ] = p.residues[ i ].resNum;
	}
}

CATrace::~CATrace()
{
	release2DArr( n, xyz );
	delete[] resno;
}

double traceTMscore( const CATrace& a, const CATrace& b, bool normaliseByB )
{
	// The alignment needs residues on both sides.
	if ( a.n < 1 || b.n < 1 ) return 0.0;
	if ( normaliseByB ) return Templatescore_native( a.n, b.n, a.xyz, b.xyz, a.resno, b.resno, b.n );
	return Templatescore_native( a.n, b.n, a.xyz, b.xyz, a.resno, b.resno );
}

int* CheckSimilarChain( std::vector< std::string > paths, std::vector< int >& residueCounts )
{
	std::size_t const n = paths.size();
	std::vector< std::unique_ptr< CATrace > > traces;
	for ( std::string const& p : paths ) {
		traces.emplace_back( new CATrace( p ) );
		residueCounts.push_back( traces.back()->n );
	}
	int* marks = new1DIntArr( n > 0 ? static_cast< int >( n ) : 1 );
	for ( std::size_t i = 0; i + 1 < n; ++i ) {
		for ( std::size_t j = i + 1; j < n; ++j ) {
			if ( traceTMscore( *traces[ i ], *traces[ j ], false ) >= 0.9 ) {
				marks[ i ] = 1;
				marks[ j ] = 1;
			}
		}
	}
	return marks;
}

int CheckSimilarChainofDomain( int chainIndex, std::string programDir, std::vector< std::string > paths,
	int& domainCount )
{
	std::vector< int* > bounds;
	std::vector< int > segDomains, residueCounts;
	std::vector< std::string > domainFiles;
	DomSplit( programDir, paths[ chainIndex ], domainCount, bounds, segDomains, domainFiles, residueCounts, true );
	int result = 0;
	if ( domainCount >= 1 ) {
		for ( std::size_t d = 0; d < domainFiles.size() && result == 0; ++d ) {
			CATrace const dom( domainFiles[ d ] );
			for ( std::size_t k = 0; k < paths.size(); ++k ) {
				if ( static_cast< int >( k ) == chainIndex ) continue;
				CATrace const other( paths[ k ] );
				if ( traceTMscore( dom, other, true ) >= 0.9 ) {
					result = 1;
					break;
				}
			}
		}
		for ( std::string const& f : domainFiles ) std::remove( f.c_str() );
	}
	for ( int* b : bounds ) delete[] b;
	return result;
}
