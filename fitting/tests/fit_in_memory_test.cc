// The fit on a loaded map and an extracted model, without files: a model
// moved away from the density it was simulated from comes back in the CA
// and all-atom rows handed out, the model lists are centred on the map, and
// unusable inputs leave the output rows alone.
#include "fitting/FitModelIntoDensity.hh"

#include "core/Protein.hh"
#include "core/basic_fun_Quilt.hh"
#include "fitting/tests/synthetic_model.hh"
#include "testsupport/test_data.hh"
#include "tools/SimulatedMap.hh"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace {

class FitInMemory : public testing::Test {
protected:
	void SetUp() override
	{
		truth_ = synth::make_model();
		std::vector<SimAtom> sim;
		for ( synth::Atom const& a : truth_ ) sim.push_back( { a.p[0], a.p[1], a.p[2], element_weight( a.name.substr( 0, 1 ) ) } );
		ASSERT_TRUE( write_mrc( dir_.file( "map.mrc" ), simulate_density( sim, 6.0, 1.5, 16.0 ) ) );
		testing::internal::CaptureStdout();
		ASSERT_TRUE( map_.readDensityMap( dir_.file( "map.mrc" ), 6.0, 0.0, 0.0, true ) );
		testing::internal::GetCapturedStdout();
		// Turned by about 120 degrees and shifted by 13 A.
		double const t[3] = { -8.0, 6.0, 8.5 };
		moved_ = synth::moved( truth_, 0.9, 2.1, -1.3, t );
		synth::write_pdb( dir_.file( "moved.pdb" ), moved_ );

		Protein p( dir_.file( "moved.pdb" ), false );
		for ( size_t i = 0; i < p.residues.size(); ++i ) {
			std::vector<double*> x;
			std::vector<std::string> nm;
			p.getIthResidueHeavyAtomXYZ( (int)i, x, nm );
			model_.push_back( x );
			names_.push_back( nm );
		}
		n_ = (int)model_.size();
		m_ = (int)moved_.size();
		ca_ = new2DArr( n_, 3 );
		atoms_ = new2DArr( m_, 3 );
		int r = 0;
		for ( int i = 0; i < m_; ++i ) {
			std::copy( moved_[i].p, moved_[i].p + 3, atoms_[i] );
			if ( moved_[i].name == "CA" ) std::copy( moved_[i].p, moved_[i].p + 3, ca_[r++] );
		}
		ASSERT_EQ( r, n_ );
		for ( int k = 0; k < kPoses; ++k ) {
			caOut_[k] = new2DArr( n_, 3 );
			atomsOut_[k] = new2DArr( m_, 3 );
		}
	}
	void TearDown() override
	{
		releaseVecVecT1D( model_ );
		release2DArr( n_, ca_ );
		release2DArr( m_, atoms_ );
		for ( int k = 0; k < kPoses; ++k ) {
			release2DArr( n_, caOut_[k] );
			release2DArr( m_, atomsOut_[k] );
		}
	}
	int fit( FastDensityScore const& map, int n, double nm, std::string* out = nullptr )
	{
		testing::internal::CaptureStdout();
		int const rc = FitModelIntoDensity( map, ca_, atoms_, caOut_, atomsOut_, model_, names_, n, m_, nm, true );
		std::string const text = testing::internal::GetCapturedStdout();
		if ( out ) *out = text;
		return rc;
	}
	static double rmsd( double** a, std::vector<synth::Atom> const& b, bool caOnly )
	{
		double s = 0.0;
		int n = 0;
		for ( synth::Atom const& at : b ) {
			if ( caOnly && at.name != "CA" ) continue;
			for ( int r = 0; r < 3; ++r ) s += ( a[n][r] - at.p[r] ) * ( a[n][r] - at.p[r] );
			++n;
		}
		return std::sqrt( s / n );
	}

	static int const kPoses = 2;
	quilt_test::ScratchDir dir_{ "fitmem" };
	std::vector<synth::Atom> truth_, moved_;
	FastDensityScore map_;
	std::vector<std::vector<double*> > model_;
	std::vector<std::vector<std::string> > names_;
	int n_ = 0, m_ = 0;
	double** ca_ = nullptr;
	double** atoms_ = nullptr;
	double** caOut_[kPoses] = { nullptr, nullptr };
	double** atomsOut_[kPoses] = { nullptr, nullptr };
};

TEST_F( FitInMemory, MovedModelComesBackInTheRowsHandedOut )
{
	std::string out;
	ASSERT_EQ( fit( map_, n_, kPoses, &out ), FIT_OK ) << out;
	EXPECT_LT( rmsd( caOut_[0], truth_, true ), 1.0 ) << out;
	EXPECT_LT( rmsd( atomsOut_[0], truth_, false ), 1.0 ) << out;
	// All atoms moved by the one motion of the CA atoms: distances kept.
	for ( int i = 0; i < m_; i += 5 )
		for ( int j = i + 3; j < m_; j += 11 ) {
			double d0 = 0.0, d1 = 0.0;
			for ( int r = 0; r < 3; ++r ) {
				d0 += std::pow( atoms_[i][r] - atoms_[j][r], 2 );
				d1 += std::pow( atomsOut_[0][i][r] - atomsOut_[0][j][r], 2 );
			}
			EXPECT_NEAR( std::sqrt( d1 ), std::sqrt( d0 ), 1e-6 ) << i << " " << j;
		}
	// The inputs stay; the model lists were moved onto the map centre.
	EXPECT_EQ( atoms_[0][0], moved_[0].p[0] );
	double c[3] = { 0, 0, 0 };
	int count = 0;
	for ( auto const& res : model_ )
		for ( double* p : res ) {
			for ( int r = 0; r < 3; ++r ) c[r] += p[r];
			++count;
		}
	for ( int r = 0; r < 3; ++r ) EXPECT_NEAR( c[r] / count, map_.densCenter[r], 1e-6 ) << r;
	EXPECT_NE( out.find( "Placer> RSCC = " ), std::string::npos );
}

TEST_F( FitInMemory, UnusableInputsLeaveTheRowsAlone )
{
	for ( int k = 0; k < kPoses; ++k ) caOut_[k][0][0] = atomsOut_[k][0][0] = 12345.0;
	double const first[3] = { model_[0][0][0], model_[0][0][1], model_[0][0][2] };
	std::string out;
	EXPECT_EQ( fit( map_, n_, 0, &out ), FIT_BAD_POSE_COUNT );
	EXPECT_EQ( fit( FastDensityScore(), n_, 1, &out ), FIT_NO_MAP );
	EXPECT_NE( out.find( "Error!" ), std::string::npos );
	EXPECT_EQ( fit( map_, 0, 1, &out ), FIT_NO_MODEL );
	EXPECT_EQ( fit( map_, n_ - 1, 1, &out ), FIT_NO_MODEL );  // count and lists disagree
	EXPECT_NE( out.find( "Error!" ), std::string::npos );
	for ( int k = 0; k < kPoses; ++k ) {
		EXPECT_EQ( caOut_[k][0][0], 12345.0 );
		EXPECT_EQ( atomsOut_[k][0][0], 12345.0 );
	}
	// The model lists were not moved either.
	for ( int r = 0; r < 3; ++r ) EXPECT_EQ( model_[0][0][r], first[r] );
}

} // namespace
