// Derivatives of the fast score and of the correlation against central
// differences of the quantities they differentiate, on a cubic and on a
// hexagonal cell: Cartesian gradients of atom terms, the 6-D pose gradient
// of a CA trace, the B-factor derivative of an atom term through the bin
// coordinate, and the B-factor derivatives of the correlation between the
// map and the model's calculated density.
#include "core/basic_fun_Quilt.hh"
#include "density/FastDensityScore.hh"
#include "density/tests/fast_periph_util.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cmath>

using fast_periph::Chain;

namespace {

// Two maps of the same chain: 32^3 voxels of 1 A on a cubic cell, and
// 36 x 36 x 32 voxels on a hexagonal cell (gamma = 120).
class FastDerivatives : public testing::TestWithParam< double > {
protected:
	void SetUp() override
	{
		gamma_ = GetParam();
		int const n[ 3 ] = { 36, 36, 32 };
		double const centre[ 3 ] = { gamma_ == 90.0 ? 18.0 : 9.0, 15.6, 16.0 };
		chain_.reset( new Chain( 12, centre ) );
		std::vector< double* > atoms = chain_->all();
		ASSERT_TRUE( fast_test::write_mrc( dir_.file( "m.mrc" ), fast_periph::cell_map( n, 1.0, gamma_, [&]( double const* p ) {
			return fast_periph::gaussians_at( p, atoms, 0.3 );
		} ) ) );
		ASSERT_TRUE( fast_periph::load_quiet( map_, dir_.file( "m.mrc" ) ) );
		map_.nFastBins = 6;
	}
	double gamma_ = 90.0;
	quilt_test::ScratchDir dir_{ "fds_deriv" };
	std::unique_ptr< Chain > chain_;
	FastDensityScore map_;
};

// |a - b| within a relative tolerance of the larger, plus an absolute floor.
::testing::AssertionResult close( double a, double b, double relTol, double absTol )
{
	double const tol = relTol * std::max( std::fabs( a ), std::fabs( b ) ) + absTol;
	if ( std::fabs( a - b ) <= tol ) return ::testing::AssertionSuccess();
	return ::testing::AssertionFailure() << a << " vs " << b << " (tolerance " << tol << ")";
}

// Weighted Pearson correlation of the density calculated from the atoms
// (calcRhoC) with the map: the function whose B derivatives dCCdBs gives.
double correlation( FastDensityScore& m, std::vector< poseCoord > const& atoms, farray::FArray3D< double > const& w )
{
	farray::FArray3D< double > rho, mask;
	m.calcRhoC( atoms, rho, mask );
	farray::FArray3D< double > const& d = m.density();
	double W = 0, sc = 0, so = 0, scc = 0, soo = 0, soc = 0;
	for ( long v = 0; v < long( d.size() ); ++v ) {
		W += w[ v ];
		sc += w[ v ] * rho[ v ];
		so += w[ v ] * d[ v ];
		scc += w[ v ] * rho[ v ] * rho[ v ];
		soo += w[ v ] * d[ v ] * d[ v ];
		soc += w[ v ] * rho[ v ] * d[ v ];
	}
	return ( soc - so * sc / W ) / std::sqrt( ( soo - so * so / W ) * ( scc - sc * sc / W ) );
}

} // namespace

TEST_P( FastDerivatives, AtomGradientMatchesCentralDifferences )
{
	// Catches a transposed cell matrix or a missing grid factor in the
	// chain rule (the hexagonal cell tells c2f from its transpose).
	double const h = 1e-5;
	int checked = 0;
	for ( std::size_t r = 0; r < chain_->xyz.size(); r += 3 )
		for ( std::size_t a = 0; a < chain_->xyz[ r ].size(); ++a ) {
			std::string const name = chain_->names[ r ][ a ];
			double p[ 3 ] = { chain_->xyz[ r ][ a ][ 0 ] + 0.13, chain_->xyz[ r ][ a ][ 1 ] - 0.21, chain_->xyz[ r ][ a ][ 2 ] };
			double g[ 3 ];
			map_.dCCdx_fastRes( p, name, g );
			for ( int k = 0; k < 3; ++k ) {
				double q[ 3 ] = { p[ 0 ], p[ 1 ], p[ 2 ] };
				q[ k ] = p[ k ] + h;
				double const up = map_.getFastDensScore_Atom( q, name, 0.0 );
				q[ k ] = p[ k ] - h;
				double const down = map_.getFastDensScore_Atom( q, name, 0.0 );
				EXPECT_TRUE( close( g[ k ], ( up - down ) / ( 2 * h ), 1e-5, 1e-8 ) ) << name << " axis " << k;
			}
			++checked;
		}
	EXPECT_GT( checked, 10 );
}

TEST_P( FastDerivatives, PoseGradientOfACATraceMatchesCentralDifferences )
{
	// Catches a rotation derivative taken about the wrong point (moved
	// instead of unmoved atoms) or of the wrong angle.
	std::vector< double* > ca;
	for ( std::size_t r = 0; r < chain_->xyz.size(); ++r ) ca.push_back( chain_->atom( r, "CA" ) );
	int const n = int( ca.size() );
	double centre[ 3 ] = { 0, 0, 0 };
	for ( double* p : ca )
		for ( int a = 0; a < 3; ++a ) centre[ a ] += p[ a ] / n;
	auto score = [&]( double const* x ) {
		double xx[ 6 ];
		std::copy( x, x + 6, xx );
		double** moved = Rotation_translation_euler_CA( ca.data(), n, xx, centre );
		double const s = map_.getFastDensScore( moved, n );
		release2DArr( n, moved );
		return s;
	};
	for ( auto const& pose : { std::vector< double >{ 0.3, -0.2, 0.5, 0.1, 0.25, -0.15 }, { 0, 0, 0, 0.7, 1.1, -0.4 } } ) {
		double x[ 6 ], g[ 6 ];
		std::copy( pose.begin(), pose.end(), x );
		double** moved = Rotation_translation_euler_CA( ca.data(), n, x, centre );
		map_.dCCdx_fastRes_6D_CA( ca.data(), moved, centre, n, x, g );
		release2DArr( n, moved );
		for ( int k = 0; k < 6; ++k ) {
			double const h = 1e-6;
			double xp[ 6 ], xm[ 6 ];
			std::copy( x, x + 6, xp );
			std::copy( x, x + 6, xm );
			xp[ k ] += h;
			xm[ k ] -= h;
			EXPECT_TRUE( close( g[ k ], ( score( xp ) - score( xm ) ) / ( 2 * h ), 1e-5, 1e-7 ) ) << "component " << k;
		}
	}
	// At the identity pose the translation part is the sum of the atoms'
	// Cartesian gradients.
	double x0[ 6 ] = { 0, 0, 0, 0, 0, 0 }, g[ 6 ], sum[ 3 ] = { 0, 0, 0 };
	map_.dCCdx_fastRes_6D_CA( ca.data(), ca.data(), centre, n, x0, g );
	for ( double* p : ca ) {
		double ga[ 3 ];
		map_.dCCdx_fastRes( p, "CA", ga );
		for ( int k = 0; k < 3; ++k ) sum[ k ] += ga[ k ];
	}
	for ( int k = 0; k < 3; ++k ) EXPECT_NEAR( g[ k ], sum[ k ], 1e-12 * ( 1 + std::fabs( sum[ k ] ) ) );
	// No atoms: a zero gradient.
	double gz[ 6 ] = { 1, 1, 1, 1, 1, 1 };
	map_.dCCdx_fastRes_6D_CA( ca.data(), ca.data(), centre, 0, x0, gz );
	for ( double v : gz ) EXPECT_EQ( v, 0.0 );
}

TEST_P( FastDerivatives, BFactorDerivativeOfAnAtomMatchesCentralDifferences )
{
	// d(term)/dB through the bin coordinate: catches a wrong dk/dB on any
	// branch of the soft-limited B or a missing 1/kstep.
	map_.getFastDensScore_CA( chain_->atom( 0, "CA" ), 0.0 ); // builds the cache
	fast_periph::Lookup L( map_ );
	int nonzero = 0;
	for ( std::size_t r = 0; r < chain_->xyz.size(); r += 2 )
		for ( std::size_t a = 0; a < chain_->xyz[ r ].size(); ++a ) {
			std::string const name = chain_->names[ r ][ a ];
			double* p = chain_->xyz[ r ][ a ];
			for ( double B : { 0.6, 4.0, 37.0, 150.0, 420.0, 594.0 } ) {
				double const d = map_.dCCdB_fastRes( p, B, name );
				double const h = B < 1.0 ? 1e-5 : 1e-3;
				double const fd = ( map_.getFastDensScore_Atom( p, name, B + h ) - map_.getFastDensScore_Atom( p, name, B - h ) ) / ( 2 * h );
				EXPECT_TRUE( close( d, fd, 2e-5, 1e-10 ) ) << name << " B " << B;
				if ( d != 0.0 ) ++nonzero;
			}
		}
	EXPECT_GT( nonzero, 30 );

	// The bin derivative itself against the numerics spline derivative.
	double* p = chain_->atom( 4, "N" );
	double const B = 37.0, s = double( 6.03448f ), Bq = B / 4;
	double u[ 3 ], du[ 3 ], dbin;
	L.position( map_, p, u );
	double const bin = L.bin( s, Bq );
	interp_dspline( L.coeffs, u, bin, du, dbin );
	double const dkdB = -( M_PI * M_PI / 4.0 ) / ( ( s + Bq ) * ( s + Bq ) );
	EXPECT_NEAR( map_.dCCdB_fastRes( p, B, "N" ), ( 5.0 / 6.0 ) * dbin / L.cache.kstep * dkdB, 1e-12 );

	// Where the term does not depend on B: 0.
	EXPECT_EQ( map_.dCCdB_fastRes( p, -1.0, "N" ), 0.0 );
	EXPECT_EQ( map_.dCCdB_fastRes( p, 700.0, "N" ), 0.0 );
	EXPECT_EQ( map_.dCCdB_fastRes( p, std::nan( "" ), "N" ), 0.0 ); // not a number: no bin
	FastDensityScore one;
	ASSERT_TRUE( fast_periph::load_quiet( one, dir_.file( "m.mrc" ) ) );
	EXPECT_EQ( one.dCCdB_fastRes( p, B, "N" ), 0.0 );
}

TEST_P( FastDerivatives, CorrelationBFactorDerivativesMatchCentralDifferences )
{
	// The exact derivative of the weighted correlation, with unit weights
	// and with weights that vary over the map (a map with a non-zero mean):
	// catches unweighted sums or a dropped mean term.
	std::string const selection = "centroid";
	std::vector< poseCoord > atoms;
	std::vector< std::pair< std::size_t, std::size_t > > where;
	// B factors that leave the calculated density off the map's (the map's
	// Gaussians have k = 0.3), so the correlation changes with every B.
	std::vector< std::vector< double > > B = chain_->B;
	for ( std::size_t r = 0; r < B.size(); ++r )
		for ( std::size_t a = 0; a < B[ r ].size(); ++a ) {
			B[ r ][ a ] = 8.0 + 5.0 * ( ( r * 7 + a * 3 ) % 9 );
			if ( chain_->names[ r ][ a ] == "SG" ) continue;
			poseCoord p;
			p.x = chain_->xyz[ r ][ a ][ 0 ];
			p.y = chain_->xyz[ r ][ a ][ 1 ];
			p.z = chain_->xyz[ r ][ a ][ 2 ];
			p.B = B[ r ][ a ];
			p.elt = chain_->names[ r ][ a ];
			atoms.push_back( p );
			where.push_back( { r, a } );
		}
	farray::FArray3D< double > const& d = map_.density();
	farray::FArray3D< double > unit, varying;
	unit.dimension( farray::DynamicIndexRange( d.u1() ), farray::DynamicIndexRange( d.u2() ), farray::DynamicIndexRange( d.u3() ) );
	varying.dimension( farray::DynamicIndexRange( d.u1() ), farray::DynamicIndexRange( d.u2() ), farray::DynamicIndexRange( d.u3() ) );
	for ( int z = 1; z <= d.u3(); ++z )
		for ( int y = 1; y <= d.u2(); ++y )
			for ( int x = 1; x <= d.u1(); ++x ) {
				unit( x, y, z ) = 1.0;
				varying( x, y, z ) = 0.2 + 0.8 * std::exp( -0.002 * ( std::pow( x - 14.0, 2 ) + std::pow( y - 20.0, 2 ) + std::pow( z - 12.0, 2 ) ) );
			}
	for ( farray::FArray3D< double > const* w : { &unit, &varying } ) {
		std::vector< double > grad( atoms.size(), -99.0 );
		map_.dCCdBs( chain_->xyz, chain_->names, B, grad.data(), *w, selection );
		int big = 0;
		for ( std::size_t i = 0; i < atoms.size(); i += 3 ) {
			double const h = 1e-4;
			std::vector< poseCoord > up = atoms, down = atoms;
			up[ i ].B += h;
			down[ i ].B -= h;
			double const fd = ( correlation( map_, up, *w ) - correlation( map_, down, *w ) ) / ( 2 * h );
			EXPECT_TRUE( close( grad[ i ], fd, 1e-4, 1e-9 ) ) << "atom " << i << ( w == &unit ? " unit" : " varying" ) << " weights";
			if ( std::fabs( fd ) > 1e-5 ) ++big;
		}
		EXPECT_GT( big, 5 );
	}
}

INSTANTIATE_TEST_SUITE_P( Cells, FastDerivatives, testing::Values( 90.0, 120.0 ),
	[]( testing::TestParamInfo< double > const& i ) { return i.param == 90.0 ? std::string( "Cubic" ) : std::string( "Hexagonal" ); } );

TEST( FastDerivativesEdges, CorrelationDerivativeEdgeCases )
{
	quilt_test::ScratchDir dir( "fds_dccdbs" );
	double const centre[ 3 ] = { 12, 12, 12 };
	Chain chain( 4, centre );
	std::vector< double* > atoms = chain.all();
	int const n[ 3 ] = { 24, 24, 24 };
	ASSERT_TRUE( fast_test::write_mrc( dir.file( "m.mrc" ), fast_periph::cell_map( n, 1.0, 90.0, [&]( double const* p ) {
		return fast_periph::gaussians_at( p, atoms, 0.3 );
	} ) ) );
	ASSERT_TRUE( fast_test::write_mrc( dir.file( "flat.mrc" ), fast_periph::cell_map( n, 1.0, 90.0, []( double const* ) { return 0.5; } ) ) );
	FastDensityScore m, flat;
	ASSERT_TRUE( fast_periph::load_quiet( m, dir.file( "m.mrc" ) ) );
	ASSERT_TRUE( fast_periph::load_quiet( flat, dir.file( "flat.mrc" ) ) );
	farray::FArray3D< double > w( m.density() );
	for ( long v = 0; v < long( w.size() ); ++v ) w[ v ] = 1.0;
	std::vector< std::vector< double > > B = chain.B;
	B[ 0 ][ 0 ] = -3.0;  // N of residue 0: below 0
	B[ 0 ][ 1 ] = 650.0; // CA of residue 0: above 600
	std::vector< double > out( 40, -99.0 );

	// "backbone": N, CA, C of four residues; the atoms whose B lies outside
	// [0, 600] get 0, the others not.
	m.dCCdBs( chain.xyz, chain.names, B, out.data(), w, "backbone" );
	EXPECT_EQ( out[ 0 ], 0.0 );
	EXPECT_EQ( out[ 1 ], 0.0 );
	for ( int i = 2; i < 12; ++i ) EXPECT_NE( out[ i ], 0.0 ) << i;
	EXPECT_EQ( out[ 12 ], -99.0 ); // one value per selected atom only

	// A selection that keeps no atom writes nothing.
	std::fill( out.begin(), out.end(), -99.0 );
	FastDensityScore::Model side = { { chain.atom( 0, "CB" ) } };
	FastDensityScore::AtomNames sideNames = { { "CB" } };
	m.dCCdBs( side, sideNames, { { 20.0 } }, out.data(), w, "backbone" );
	EXPECT_EQ( out[ 0 ], -99.0 );

	// A flat map has no variance: every derivative 0, not NaN.
	testing::internal::CaptureStdout();
	flat.dCCdBs( chain.xyz, chain.names, chain.B, out.data(), w, "backbone" );
	testing::internal::GetCapturedStdout();
	for ( int i = 0; i < 12; ++i ) EXPECT_EQ( out[ i ], 0.0 ) << i;
	// Zero weights: no correlation either.
	farray::FArray3D< double > zero( w );
	for ( long v = 0; v < long( zero.size() ); ++v ) zero[ v ] = 0.0;
	std::fill( out.begin(), out.end(), -99.0 );
	m.dCCdBs( chain.xyz, chain.names, chain.B, out.data(), zero, "backbone" );
	for ( int i = 0; i < 12; ++i ) EXPECT_EQ( out[ i ], 0.0 ) << i;

	// Weights of another grid and misshapen B factors are errors; nothing written.
	std::fill( out.begin(), out.end(), -99.0 );
	farray::FArray3D< double > small;
	small.dimension( farray::DynamicIndexRange( 4 ), farray::DynamicIndexRange( 4 ), farray::DynamicIndexRange( 4 ) );
	testing::internal::CaptureStdout();
	m.dCCdBs( chain.xyz, chain.names, chain.B, out.data(), small, "backbone" );
	std::string const msg = testing::internal::GetCapturedStdout();
	EXPECT_NE( msg.find( "Error! dCCdBs: the weights grid (4 x 4 x 4) differs from the map's (24 x 24 x 24)." ), std::string::npos );
	EXPECT_EQ( out[ 0 ], -99.0 );
	std::vector< std::vector< double > > shortB = chain.B;
	shortB.pop_back();
	testing::internal::CaptureStdout();
	m.dCCdBs( chain.xyz, chain.names, shortB, out.data(), w, "backbone" );
	EXPECT_NE( testing::internal::GetCapturedStdout().find( "Error! dCCdBs: the B factors" ), std::string::npos );
	EXPECT_EQ( out[ 0 ], -99.0 );
}

TEST( FastDerivativesEdges, BinOutsideTheBinsOrNoMap )
{
	// 2 A voxels cap the largest bin exponent below carbon's sharpest: an
	// atom with a small B lies beyond the last bin and its term does not
	// change with B.
	quilt_test::ScratchDir dir( "fds_dcdb" );
	int const n[ 3 ] = { 16, 16, 16 };
	ASSERT_TRUE( fast_test::write_mrc( dir.file( "m.mrc" ), fast_periph::cell_map( n, 2.0, 90.0, []( double const* p ) {
		return std::exp( -0.1 * ( std::pow( p[ 0 ] - 15, 2 ) + std::pow( p[ 1 ] - 17, 2 ) + std::pow( p[ 2 ] - 16, 2 ) ) );
	} ) ) );
	FastDensityScore m;
	ASSERT_TRUE( fast_periph::load_quiet( m, dir.file( "m.mrc" ) ) );
	m.nFastBins = 4;
	double p[ 3 ] = { 14.2, 16.1, 17.3 };
	EXPECT_EQ( m.dCCdB_fastRes( p, 2.0, "C" ), 0.0 );
	EXPECT_NE( m.dCCdB_fastRes( p, 60.0, "C" ), 0.0 );
	EXPECT_EQ( m.getFastDensScore_Atom( p, "C", 1.5 ), m.getFastDensScore_Atom( p, "C", 2.5 ) );

	FastDensityScore none;
	double g[ 6 ] = { 7, 7, 7, 7, 7, 7 };
	double* rows[ 1 ] = { p };
	testing::internal::CaptureStdout();
	none.dCCdx_fastRes( p, "CA", g );
	EXPECT_EQ( none.dCCdB_fastRes( p, 20.0, "CA" ), 0.0 );
	none.dCCdx_fastRes_6D_CA( rows, rows, p, 1, g, g );
	std::vector< std::vector< double > > B = { { 20.0 } };
	double out = -1.0;
	none.dCCdBs( { { p } }, { { "CA" } }, B, &out, farray::FArray3D< double >(), "CA" );
	std::string const msg = testing::internal::GetCapturedStdout();
	EXPECT_EQ( msg,
		"Error! dCCdx_fastRes called but no map is loaded!\n"
		"Error! dCCdB_fast called but no map is loaded!\n"
		"Error! dCCdx_fastRes_6D_CA called but no map is loaded!\n"
		"Error! dCCdBs called but no map is loaded!\n" );
	for ( double v : g ) EXPECT_EQ( v, 7.0 );
	EXPECT_EQ( out, -1.0 );
}
