// The domain splitter's log (transDomParlog: first line "<name> <x>
// <count> <domain> <domain> ...") and the definition file it writes
// (ReadBdInfo), and ReadBdInfo on any text as a definition file.  The first
// two bytes of the input give the chain's residue count (0 .. 4095), the
// rest is the file.  Every residue position handed on must lie in the chain,
// and every segment must belong to a listed domain.
#include "apps/quilter/DomainParsing.hh"
#include "fuzz/FuzzSupport.hh"

using namespace quilt_fuzz;

namespace {

void check_info( DomBdInfo& info, int residues )
{
	check( info.segmentBounds.size() == info.segmentDomains.size(), "segments and their domains differ in number" );
	check( info.domainCount == static_cast< int >( info.domainResidues.size() ), "domain count and lists differ" );
	for ( int d : info.segmentDomains ) check( d >= 0 && d < info.domainCount, "segment of no listed domain" );
	for ( std::size_t k = 1; k < info.segmentBounds.size(); ++k )
		check( info.segmentBounds[ k - 1 ][ 0 ] <= info.segmentBounds[ k ][ 0 ], "segments not sorted by start" );
	for ( auto const& list : info.domainResidues )
		for ( int p : list ) check( p >= 0 && p < residues, "residue position outside the chain" );
	for ( int* b : info.segmentBounds ) delete[] b;
	info.segmentBounds.clear();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput( const uint8_t* data, size_t size )
{
	if ( size < 2 ) return 0;
	int const residues = ( data[ 0 ] | ( data[ 1 ] << 8 ) ) & 0xFFF;
	std::string const log = scratch_file( "chain_dom.log" );
	std::string const def = scratch_file( "chain_dom.def" );
	write_file( log, data + 2, size - 2 );
	remove_file( def );

	int const status = run_guarded( [ & ] {
		int domains = 0;
		std::string const out = transDomParlog( log, "chain", domains, 1, residues );
		check( out == def, "definition written to " + out );
		DomBdInfo fromLog = ReadBdInfo( out, residues );
		check_info( fromLog, residues );
		DomBdInfo raw = ReadBdInfo( log, residues );
		check_info( raw, residues );
	} );
	check( status == -1, "the domain parser ended the process with status " + std::to_string( status ) );
	return 0;
}
