// Residue: deep copies of its coordinate triples.
#include "core/Residue.hh"

#include <utility>

namespace {

double* copy_triple( const double* p )
{
	double* q = new double[ 3 ];
	q[ 0 ] = p[ 0 ];
	q[ 1 ] = p[ 1 ];
	q[ 2 ] = p[ 2 ];
	return q;
}

} // namespace

Residue::Residue( std::vector< double* > xyz_, std::vector< std::string > atomNames_,
	std::vector< std::string > atomLines_, int caIdx_, int cbIdx_, int nIdx_, int cIdx_,
	int oIdx_, std::vector< int > sideChainIdx_, int seqNum_, int resNum_, std::string chainId_ )
	: sideChainIdx( std::move( sideChainIdx_ ) ), caIdx( caIdx_ ), cbIdx( cbIdx_ ), nIdx( nIdx_ ),
	  cIdx( cIdx_ ), oIdx( oIdx_ ), seqNum( seqNum_ ), resNum( resNum_ ), chainId( std::move( chainId_ ) )
{
	std::size_t const n = xyz_.size();
	xyz.reserve( n );
	atomNames.reserve( n );
	atomLines.reserve( n );
	for ( std::size_t k = 0; k < n; ++k ) {
		xyz.push_back( copy_triple( xyz_[ k ] ) );
		// The three atom lists stay parallel even when fewer names or lines
		// were given than coordinates.
		atomNames.push_back( k < atomNames_.size() ? atomNames_[ k ] : std::string() );
		atomLines.push_back( k < atomLines_.size() ? atomLines_[ k ] : std::string() );
	}
}

Residue::Residue( const Residue& o )
	: atomNames( o.atomNames ), atomLines( o.atomLines ), sideChainIdx( o.sideChainIdx ),
	  caIdx( o.caIdx ), cbIdx( o.cbIdx ), nIdx( o.nIdx ), cIdx( o.cIdx ), oIdx( o.oIdx ),
	  seqNum( o.seqNum ), resNum( o.resNum ), chainId( o.chainId )
{
	xyz.reserve( o.xyz.size() );
	for ( const double* p : o.xyz ) xyz.push_back( copy_triple( p ) );
}

Residue::Residue( Residue&& o ) noexcept
	: xyz( std::move( o.xyz ) ), atomNames( std::move( o.atomNames ) ),
	  atomLines( std::move( o.atomLines ) ), sideChainIdx( std::move( o.sideChainIdx ) ),
	  caIdx( o.caIdx ), cbIdx( o.cbIdx ), nIdx( o.nIdx ), cIdx( o.cIdx ), oIdx( o.oIdx ),
	  seqNum( o.seqNum ), resNum( o.resNum ), chainId( std::move( o.chainId ) )
{
	o.xyz.clear();
}

Residue& Residue::operator=( const Residue& o )
{
	if ( this == &o ) return *this;
	Residue copy( o );
	*this = std::move( copy );
	return *this;
}

Residue& Residue::operator=( Residue&& o ) noexcept
{
	if ( this == &o ) return *this;
	release();
	xyz = std::move( o.xyz );
	o.xyz.clear();
	atomNames = std::move( o.atomNames );
	atomLines = std::move( o.atomLines );
	sideChainIdx = std::move( o.sideChainIdx );
	caIdx = o.caIdx;
	cbIdx = o.cbIdx;
	nIdx = o.nIdx;
	cIdx = o.cIdx;
	oIdx = o.oIdx;
	seqNum = o.seqNum;
	resNum = o.resNum;
	chainId = std::move( o.chainId );
	return *this;
}

Residue::~Residue() { release(); }

void Residue::release()
{
	for ( double* p : xyz ) delete[] p;
	xyz.clear();
}
