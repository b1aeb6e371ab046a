// The fast density score of models, residues and single atoms: the forms
// agree with each other and with the CA and pose scores where their atom
// selections coincide, each atom reads the bin of its own element and B
// factor, side-chain atoms carry their residue's factor.
#include "density/FastDensityScore.hh"
#include "density/tests/fast_periph_util.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

using fast_periph::Chain;

namespace {


class FastVariants : public testing::Test {
protected:
	void SetUp() override
	{
		int const n[ 3 ] = { 32, 32, 32 };
		std::vector< double* > atoms = chain_.all();
		ASSERT_TRUE( fast_test::write_mrc( dir_.file( "m.mrc" ), fast_periph::cell_map( n, 1.0, 90.0, [&]( double const* p ) {
			return fast_periph::gaussians_at( p, atoms, 0.35 );
		} ) ) );
		ASSERT_TRUE( fast_periph::load_quiet( map_, dir_.file( "m.mrc" ) ) );
		map_.nFastBins = 6; // the bins make the B factors matter
	}
	double const centre_[ 3 ] = { 16.0, 16.0, 16.0 };
	quilt_test::ScratchDir dir_{ "fds_variants" };
	Chain chain_{ 12, centre_ };
	FastDensityScore map_;
};

double rel( double a ) { return 1e-12 * ( 1.0 + std::fabs( a ) ); }

} // namespace

TEST_F( FastVariants, CAFormsAgreeWithTheTraceAndPoseScores )
{
	// Catches a variant reading another position rule, weight or bin than
	// the CA trace score and the fitting engine's pose score.
	std::vector< double* > ca;
	for ( std::size_t r = 0; r < chain_.xyz.size(); ++r ) ca.push_back( chain_.atom( r, "CA" ) );
	double const trace = map_.getFastDensScore( ca.data(), int( ca.size() ) );
	double sumCA = 0.0, sumAtom = 0.0, sumAtomRes = 0.0;
	for ( std::size_t r = 0; r < ca.size(); ++r ) {
		sumCA += map_.getFastDensScore_CA( ca[ r ], 0.0 );
		sumAtom += map_.getFastDensScore_Atom( ca[ r ], "CA", -3.0 );
		sumAtomRes += map_.getFastDensScore_Atom( ca[ r ], "CA", chain_.residues[ r ], 0.0 );
	}
	double x[ 6 ] = { 0, 0, 0, 0, 0, 0 }, c[ 3 ] = { 16, 16, 16 };
	double const pose = map_.getFastDensScore_6D( chain_.xyz, chain_.names, x, c, "CA" );
	double const model = map_.getFastDensScore_model( chain_.xyz, chain_.names, "CA" );
	EXPECT_GT( std::fabs( trace ), 0.1 );
	EXPECT_NEAR( model, trace, rel( trace ) );
	EXPECT_NEAR( sumCA, trace, rel( trace ) );
	EXPECT_NEAR( sumAtom, trace, rel( trace ) );
	EXPECT_NEAR( sumAtomRes, trace, rel( trace ) );
	EXPECT_NEAR( pose, trace, 1e-10 * ( 1.0 + std::fabs( trace ) ) );
}

TEST_F( FastVariants, ModelSelectionsAreSumsOfAtomScores )
{
	// Catches a wrong selection rule or a per-atom element mix-up.
	double backbone = 0.0, centroid = 0.0;
	for ( std::size_t r = 0; r < chain_.xyz.size(); ++r )
		for ( std::size_t a = 0; a < chain_.xyz[ r ].size(); ++a ) {
			std::string const& name = chain_.names[ r ][ a ];
			double const s = map_.getFastDensScore_Atom( chain_.xyz[ r ][ a ], name, 0.0 );
			if ( name == "N" || name == "CA" || name == "C" ) backbone += s;
			if ( name != "SG" ) centroid += s;
		}
	EXPECT_NEAR( map_.getFastDensScore_model( chain_.xyz, chain_.names, "backbone" ), backbone, rel( backbone ) );
	EXPECT_NEAR( map_.getFastDensScore_model( chain_.xyz, chain_.names, "centroid" ), centroid, rel( centroid ) );
	double x[ 6 ] = { 0, 0, 0, 0, 0, 0 }, c[ 3 ] = { 16, 16, 16 };
	EXPECT_NEAR( map_.getFastDensScore_6D( chain_.xyz, chain_.names, x, c, "centroid" ), centroid,
		1e-10 * ( 1 + std::fabs( centroid ) ) );

	// B factors <= 0 are replaced by effB (not taken as 0): same as no B.
	std::vector< std::vector< double > > minus5 = chain_.B, zero = chain_.B, twenty = chain_.B;
	double at20 = 0.0;
	for ( std::size_t r = 0; r < zero.size(); ++r )
		for ( std::size_t a = 0; a < zero[ r ].size(); ++a ) {
			minus5[ r ][ a ] = -5.0;
			zero[ r ][ a ] = 0.0;
			twenty[ r ][ a ] = 20.0;
			if ( chain_.names[ r ][ a ] != "SG" )
				at20 += map_.getFastDensScore_Atom( chain_.xyz[ r ][ a ], chain_.names[ r ][ a ], 20.0 );
		}
	EXPECT_NEAR( map_.getFastDensScore_model( chain_.xyz, chain_.names, minus5, "centroid" ), centroid, rel( centroid ) );
	EXPECT_NEAR( map_.getFastDensScore_model( chain_.xyz, chain_.names, zero, "centroid" ), centroid, rel( centroid ) );
	EXPECT_NEAR( map_.getFastDensScore_model( chain_.xyz, chain_.names, twenty, "centroid" ), at20, rel( at20 ) );
	EXPECT_GT( std::fabs( at20 - centroid ), 1e-3 ); // the bins make B matter

	// Only side-chain atoms: nothing passes "backbone"; no residues: 0.
	FastDensityScore::Model side = { { chain_.atom( 0, "CB" ), chain_.atom( 0, "O" ) } };
	FastDensityScore::AtomNames sideNames = { { "CB", "O" } };
	EXPECT_EQ( map_.getFastDensScore_model( side, sideNames, "backbone" ), 0.0 );
	EXPECT_EQ( map_.getFastDensScore_model( FastDensityScore::Model(), FastDensityScore::AtomNames(), "centroid" ), 0.0 );
}

TEST_F( FastVariants, AtomTermReadsItsElementsWeightAndBin )
{
	// The atom term against an independent lookup: own element's width term
	// and weight trunc(a)/6, B > 0 as given (soft-limited), B <= 0 the map's
	// effB.  Catches a wrong bin, weight or wrap.
	double* p = chain_.atom( 3, "CB" );
	map_.getFastDensScore_CA( p, 0.0 ); // builds the cache
	fast_periph::Lookup L( map_ );
	struct Case {
		char const* name;
		double s, weight, B;
	} const cases[] = { { "CA", double( 7.10668f ), 1.0, 20.0 }, { "N", double( 6.03448f ), 5.0 / 6.0, 20.0 },
		{ "O", double( 5.17616f ), 4.0 / 6.0, 0.5 }, { "SG", double( 7.05366f ), 2.0, 595.0 },
		{ "C", double( 7.10668f ), 1.0, 700.0 }, { "OG", double( 5.17616f ), 4.0 / 6.0, 0.0 } };
	for ( Case const& c : cases ) {
		// Quarter B: B^2/4 below 1, (600 - 0.1 (600 - B)^2)/4 above 590, capped at 150.
		double Bq;
		if ( c.B <= 0.0 ) Bq = map_.effB / 4.0;
		else if ( c.B < 1.0 ) Bq = c.B * c.B / 4.0;
		else if ( c.B > 590.0 && c.B <= 600.0 ) Bq = ( 600.0 - 0.1 * ( 600.0 - c.B ) * ( 600.0 - c.B ) ) / 4.0;
		else Bq = std::min( c.B, 600.0 ) / 4.0;
		double const want = c.weight * L.value( map_, p, L.bin( c.s, Bq ) );
		EXPECT_NEAR( map_.getFastDensScore_Atom( p, c.name, c.B ), want, 1e-12 ) << c.name << " B " << c.B;
	}
	// The CA form is carbon: B = 20 gives B' = 5.
	EXPECT_NEAR( map_.getFastDensScore_CA( p, 20.0 ), L.value( map_, p, L.bin( double( 7.10668f ), 5.0 ) ), 1e-12 );
	EXPECT_NEAR( map_.getFastDensScore_CA( p, 0.0 ), L.value( map_, p, L.bin( double( 7.10668f ), map_.effB / 4 ) ), 1e-12 );
	// An effB of 595 uses B' = 149.375 for every atom without its own B.
	map_.effB = 595.0;
	FastDensityScore m595( map_ );
	m595.getFastDensScore_CA( p, 0.0 );
	fast_periph::Lookup L595( m595 );
	EXPECT_NEAR( m595.getFastDensScore_CA( p, -1.0 ), L595.value( m595, p, L595.bin( double( 7.10668f ), 149.375 ) ), 1e-12 );
}

TEST_F( FastVariants, SideChainFactorAndResidueForms )
{
	// Catches the side-chain factor applied to main-chain atoms (or not at
	// all), a CB scored for glycine, or the list form scoring its last entry.
	double* cb = chain_.atom( 2, "CB" ); // a TYR
	double const B = 30.0;
	EXPECT_NEAR( map_.getFastDensScore_Atom( cb, "CB", "TYR", B ), 0.88 * map_.getFastDensScore_Atom( cb, "CB", B ), 1e-12 );
	EXPECT_NEAR( map_.getFastDensScore_Atom( cb, "CB", "LYS", B ), 0.76 * map_.getFastDensScore_Atom( cb, "CB", B ), 1e-12 );
	EXPECT_NEAR( map_.getFastDensScore_Atom( cb, "CB", "HOH", B ), map_.getFastDensScore_Atom( cb, "CB", B ), 1e-12 );
	for ( char const* mc : { "N", "CA", "C", "O" } )
		EXPECT_EQ( map_.getFastDensScore_Atom( cb, mc, "TYR", B ), map_.getFastDensScore_Atom( cb, mc, B ) ) << mc;

	auto atoms = [&]( std::size_t r, double scale ) {
		double s = 0.0;
		for ( char const* a : { "N", "CA", "C", "O" } ) s += map_.getFastDensScore_Atom( chain_.atom( r, a ), a, B );
		if ( scale > 0.0 ) s += scale * map_.getFastDensScore_Atom( chain_.atom( r, "CB" ), "CB", B );
		return s;
	};
	// Five rows N, CA, C, O, CB; glycine four.
	double* ala[ 5 ] = { chain_.atom( 0, "N" ), chain_.atom( 0, "CA" ), chain_.atom( 0, "C" ), chain_.atom( 0, "O" ),
		chain_.atom( 0, "CB" ) };
	EXPECT_NEAR( map_.getFastDensScore_Res( ala, "ALA", B ), atoms( 0, 0.88 ), 1e-12 );
	double* gly[ 5 ] = { chain_.atom( 1, "N" ), chain_.atom( 1, "CA" ), chain_.atom( 1, "C" ), chain_.atom( 1, "O" ),
		chain_.atom( 0, "CB" ) }; // the fifth row must not be read
	EXPECT_NEAR( map_.getFastDensScore_Res( gly, "GLY", B ), atoms( 1, 0.0 ), 1e-12 );

	// The list form: every entry but the last, side-chain atoms weighted.
	std::vector< double* > list = chain_.xyz[ 3 ]; // CYS: N CA C O CB SG
	std::vector< std::string > names = chain_.names[ 3 ];
	double want = 0.0;
	for ( std::size_t j = 0; j + 1 < list.size(); ++j ) want += map_.getFastDensScore_Atom( list[ j ], names[ j ], "CYS", B );
	EXPECT_NEAR( map_.getFastDensScore_Res( list, names, "CYS", B ), want, 1e-12 );
	EXPECT_NEAR( want, atoms( 3, 0.81 ), 1e-12 ); // the SG (last) is left out
	EXPECT_EQ( map_.getFastDensScore_Res( std::vector< double* >{ list[ 0 ] }, { "N" }, "CYS", B ), 0.0 );
	EXPECT_EQ( map_.getFastDensScore_Res( std::vector< double* >(), {}, "CYS", B ), 0.0 );
}

TEST_F( FastVariants, OneBinIgnoresTheBFactors )
{
	// With the constructed single bin every atom reads bin 1.
	FastDensityScore one;
	ASSERT_TRUE( fast_periph::load_quiet( one, dir_.file( "m.mrc" ) ) );
	double* p = chain_.atom( 5, "CA" );
	EXPECT_EQ( one.getFastDensScore_CA( p, 20.0 ), one.getFastDensScore_CA( p, 300.0 ) );
	EXPECT_EQ( one.getFastDensScore_Atom( p, "O", 5.0 ), one.getFastDensScore_Atom( p, "OXT", 500.0 ) );
	EXPECT_NE( map_.getFastDensScore_CA( p, 20.0 ), map_.getFastDensScore_CA( p, 300.0 ) );
}

TEST( FastVariantsNoMap, EachFormSaysSoAndScoresZero )
{
	FastDensityScore m;
	double p[ 3 ] = { 1, 2, 3 };
	double* rows[ 5 ] = { p, p, p, p, p };
	FastDensityScore::Model model = { { p } };
	FastDensityScore::AtomNames names = { { "CA" } };
	std::vector< std::vector< double > > B = { { 10.0 } };
	struct Case {
		std::function< double() > call;
		char const* message;
	} const cases[] = {
		{ [&] { return m.getFastDensScore_model( model, names, "CA" ); }, "EError! matchResFast called but no map is loaded!\n" },
		{ [&] { return m.getFastDensScore_model( model, names, B, "CA" ); }, "EError! matchResFast called but no map is loaded!\n" },
		{ [&] { return m.getFastDensScore_Atom( p, "CA", 1.0 ); }, "EError! matchResFast called but no map is loaded!\n" },
		{ [&] { return m.getFastDensScore_Atom( p, "CB", "ALA", 1.0 ); },
			"Error! 'getFastDensScore_Atom' called but no map is loaded!\n" },
		{ [&] { return m.getFastDensScore_Res( rows, "ALA", 1.0 ); }, "Error! 'getFastDensScore_Res' called but no map is loaded!\n" },
		{ [&] { return m.getFastDensScore_Res( std::vector< double* >{ p, p }, { "N", "CA" }, "ALA", 1.0 ); },
			"Error! 'getFastDensScore_Res' called but no map is loaded!\n" },
		{ [&] { return m.getFastDensScore_CA( p, 1.0 ); }, "Error! matchResFast called but no map is loaded!\n" },
	};
	for ( Case const& c : cases ) {
		testing::internal::CaptureStdout();
		double const s = c.call();
		EXPECT_EQ( testing::internal::GetCapturedStdout(), c.message );
		EXPECT_EQ( s, 0.0 );
	}
	EXPECT_TRUE( m.fastCacheEmpty() );
}

TEST_F( FastVariants, MisshapenBFactorsAreAnError )
{
	// One B factor short: an error, not a read past the caller's vector.
	std::vector< std::vector< double > > B = chain_.B;
	B.back().pop_back();
	testing::internal::CaptureStdout();
	double const s = map_.getFastDensScore_model( chain_.xyz, chain_.names, B, "CA" );
	std::string const out = testing::internal::GetCapturedStdout();
	EXPECT_EQ( s, 0.0 );
	EXPECT_NE( out.find( "Error! getFastDensScore_model: the B factors do not have the model's shape." ), std::string::npos );
}
