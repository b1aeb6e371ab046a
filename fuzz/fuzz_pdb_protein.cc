// Protein::readPDB, the model reader of both programs: any text as a PDB
// file, read as one chain and as a multi-chain model, then every accessor
// the fitting uses.  Nothing may crash; the stored atoms must be as many as
// the residues hold and every residue's roles must point into its atoms.
#include "core/Protein.hh"
#include "fuzz/FuzzSupport.hh"

using namespace quilt_fuzz;

extern "C" int LLVMFuzzerTestOneInput( const uint8_t* data, size_t size )
{
	std::string const path = scratch_file( "model.pdb" );
	write_file( path, data, size );

	for ( bool multi : { false, true } ) {
		int const status = run_guarded( [ & ] {
			Protein p( path, multi );
			std::size_t stored = 0;
			for ( Residue const& r : p.residues ) {
				int const n = static_cast< int >( r.xyz.size() );
				check( r.atomNames.size() == r.xyz.size() && r.atomLines.size() == r.xyz.size(),
				       "residue lists of different lengths" );
				stored += r.xyz.size();
				for ( int k : { r.caIdx, r.cbIdx, r.nIdx, r.cIdx, r.oIdx } )
					check( k >= 0 && ( n == 0 || k < n ), "atom role outside the residue" );
				for ( int k : r.sideChainIdx ) check( k >= 0 && k < n, "side-chain atom outside the residue" );
			}
			check( stored <= static_cast< std::size_t >( p.atomCount ), "more atoms stored than read" );
			double** all = p.getAllAtomXYZs();
			release2DArr( p.atomCount, all );
			for ( int i = 0; i < static_cast< int >( p.residues.size() ); ++i ) {
				delete[] p.getIthResidueCAXYZ( i );
				std::vector< double* > xyz;
				std::vector< std::string > names;
				p.getIthResidueHeavyAtomXYZ( i, xyz, names );
				for ( double* q : xyz ) delete[] q;
			}
		} );
		check( status == -1, "the model reader ended the process with status " + std::to_string( status ) );
	}
	return 0;
}
