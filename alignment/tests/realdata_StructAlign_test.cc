// Alignments of real chains: a chain against a moved copy of itself, the
// two variable domains of an antibody (same fold, different chains), and
// unrelated proteins.
#include "alignment/TemplateScore.hh"

#include "alignment/tests/ca_trace_maker.hh"
#include "core/Protein.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

using namespace align_test;

namespace {

// CA trace and residue numbers of the first chain of a PDB file.
struct Chain {
	Trace ca;
	std::vector< int > resno;
};

Chain read_chain( std::string const& rel )
{
	Chain c;
	Protein p( quilt_test::shared_file( rel ), false );
	for ( Residue const& r : p.residues ) {
		for ( std::size_t k = 0; k < r.atomNames.size(); ++k ) {
			if ( r.atomNames[ k ] == "CA" ) {
				c.ca.push_back( { r.xyz[ k ][ 0 ], r.xyz[ k ][ 1 ], r.xyz[ k ][ 2 ] } );
				c.resno.push_back( r.resNum );
				break;
			}
		}
	}
	return c;
}

StructAlignResult align( Chain const& x, Chain const& y )
{
	int const xl = static_cast< int >( x.ca.size() ), yl = static_cast< int >( y.ca.size() );
	RawTrace rx( x.ca ), ry( y.ca );
	tempxlen = xl;
	tempylen = yl;
	load_PDB_allocate_memory( xl, yl, xl, yl );
	for ( int i = 0; i < xl; ++i ) xresno[ i ] = x.resno[ i ];
	for ( int j = 0; j < yl; ++j ) yresno[ j ] = y.resno[ j ];
	testing::internal::CaptureStdout();
	StructAlignResult r = StructAlign( xl, yl, rx.xyz(), ry.xyz(), xresno, yresno );
	testing::internal::GetCapturedStdout();
	free_memory();
	return r;
}

double templatescore( Chain const& x, Chain const& y )
{
	RawTrace rx( x.ca ), ry( y.ca );
	std::vector< int > xr( x.resno ), yr( y.resno );
	testing::internal::CaptureStdout();
	double const s = Templatescore_native( rx.size(), ry.size(), rx.xyz(), ry.xyz(), xr.data(), yr.data() );
	testing::internal::GetCapturedStdout();
	return s;
}

} // namespace

TEST( RealChains, AdenylateKinaseAgainstAMovedCopyOfItself )
{
	QUILT_REQUIRE_SHARED_DATA();
	Chain const a = read_chain( "single/1akeA.pdb" );
	ASSERT_EQ( a.ca.size(), 213u );
	Mat const R = axis_rotation( { 0.5, 0.5, -1.0 }, 2.9 );
	Chain b = a;
	b.ca = moved( a.ca, R, { -20.0, 14.0, 3.0 } );
	StructAlignResult r = align( a, b );
	EXPECT_NEAR( r.tm_x, 1.0, 1e-9 );
	EXPECT_NEAR( r.tm_y, 1.0, 1e-9 );
	EXPECT_EQ( r.n_ali8, 213 );
	Mat Rh;
	Vec th;
	horn_superpose( a.ca, b.ca, Rh, th );
	for ( int i = 0; i < 3; ++i ) {
		EXPECT_NEAR( r.t[ i ], th[ i ], 1e-6 );
		for ( int j = 0; j < 3; ++j ) EXPECT_NEAR( r.u[ i ][ j ], Rh[ i ][ j ], 1e-9 );
	}
	release_StructAlignResult( r );
	EXPECT_NEAR( templatescore( a, b ), 1.0, 1e-9 );
}

TEST( RealChains, AdenylateKinaseWithoutItsLidAndWithNoise )
{
	QUILT_REQUIRE_SHARED_DATA();
	Chain const a = read_chain( "single/1akeA.pdb" );
	// Cut residues 122-159 (the lid) out of a copy.
	Chain cut;
	for ( std::size_t i = 0; i < a.ca.size(); ++i ) {
		if ( a.resno[ i ] >= 122 && a.resno[ i ] <= 159 ) continue;
		cut.ca.push_back( a.ca[ i ] );
		cut.resno.push_back( a.resno[ i ] );
	}
	StructAlignResult r = align( a, cut );
	EXPECT_GT( r.tm_y, 0.95 );
	EXPECT_LT( r.tm_x, r.tm_y );
	release_StructAlignResult( r );

	double previous = 1.0 + 1e-9;
	for ( double sigma : { 0.5, 1.5, 3.0, 5.0 } ) {
		Chain n = a;
		n.ca = noisy( a.ca, sigma, 1234 );
		double const s = templatescore( a, n );
		EXPECT_GT( s, 0.0 );
		EXPECT_LT( s, previous ) << sigma;
		previous = s;
	}
}

TEST( RealChains, AntibodyHeavyAndLightVariableDomainsShareTheFold )
{
	QUILT_REQUIRE_SHARED_DATA();
	Chain const h = read_chain( "complexes/2dqj/2dqj_H.pdb" );
	Chain const l = read_chain( "complexes/2dqj/2dqj_L.pdb" );
	ASSERT_GT( h.ca.size(), 100u );
	ASSERT_GT( l.ca.size(), 100u );
	double const hl = templatescore( h, l );
	double const lh = templatescore( l, h );
	// Same immunoglobulin fold, different chains: clearly related, yet
	// below the 0.9 similarity mark.
	EXPECT_GT( hl, 0.5 );
	EXPECT_LT( hl, 0.9 );
	EXPECT_NEAR( hl, lh, 0.1 );
	EXPECT_NEAR( templatescore( h, h ), 1.0, 1e-9 );
}

TEST( RealChains, UnrelatedProteinsScoreLow )
{
	QUILT_REQUIRE_SHARED_DATA();
	Chain const actin = read_chain( "single/3MFP.pdb" );
	Chain const ake = read_chain( "single/1akeA.pdb" );
	Chain const lyso = read_chain( "complexes/2dqj/2dqj_Y.pdb" );
	EXPECT_LT( templatescore( ake, actin ), 0.6 );
	EXPECT_LT( templatescore( lyso, ake ), 0.5 );
}

TEST( RealChains, AntibodyDomainScoresMatchTheRecordedOnes )
{
	// Recorded with the division-based match score and full tables; faster
	// arithmetic must agree to rounding.
	QUILT_REQUIRE_SHARED_DATA();
	Chain const h = read_chain( "complexes/2dqj/2dqj_H.pdb" );
	Chain const l = read_chain( "complexes/2dqj/2dqj_L.pdb" );
	Chain const ake = read_chain( "single/1akeA.pdb" );
	StructAlignResult r = align( h, l );
	EXPECT_NEAR( r.tm_x, 0.77796836960492732, 1e-9 );
	EXPECT_NEAR( r.tm_y, 0.8223345062122277, 1e-9 );
	EXPECT_EQ( r.n_ali8, 104 );
	release_StructAlignResult( r );
	r = align( ake, h );
	EXPECT_NEAR( r.tm_x, 0.18950653012598268, 1e-9 );
	EXPECT_NEAR( r.tm_y, 0.2914966062086437, 1e-9 );
	EXPECT_EQ( r.n_ali8, 61 );
	release_StructAlignResult( r );
}
