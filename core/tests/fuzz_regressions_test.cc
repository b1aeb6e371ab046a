// Model files the fuzz harnesses found mishandled (the inputs are kept in
// fuzz_regressions/<harness>/ and replayed by scripts/fuzz.sh as well).
#include "core/Protein.hh"

#include <gtest/gtest.h>

#include <string>

// A residue without N, C or O kept those positions from the residue before
// it, pointing past its own atoms.  Roles must lie within the residue.
TEST( FuzzRegressions, ResidueRolesStayWithinTheResiduesAtoms )
{
	Protein p( std::string( QUILT_SOURCE_DIR ) + "/core/tests/fuzz_regressions/pdb_protein/residue_without_o.pdb",
	           false );
	ASSERT_EQ( p.residues.size(), 2u );
	Residue const& gly = p.residues[ 1 ];
	ASSERT_EQ( gly.xyz.size(), 1u );
	for ( int k : { gly.caIdx, gly.cbIdx, gly.nIdx, gly.cIdx, gly.oIdx } ) EXPECT_EQ( k, 0 );
	Residue const& met = p.residues[ 0 ];
	EXPECT_EQ( met.nIdx, 0 );
	EXPECT_EQ( met.caIdx, 1 );
	EXPECT_EQ( met.oIdx, 2 );
}
