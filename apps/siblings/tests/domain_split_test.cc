// Domain splitting on hand-made traces with known domains, and the log line
// the assembly program reads back.
#include "apps/siblings/chain_model.hh"
#include "apps/siblings/domain_split.hh"
#include "testsupport/test_data.hh"

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <sstream>

using namespace siblings;

namespace {

// A compact globule of n trace points: a spiral over a sphere of radius
// about 2.9 n^(1/3) A with 3.8 A between neighbours, centred at c.
std::vector<Vec3> globule( int n, Vec3 const& c )
{
	std::vector<Vec3> out;
	double const R = 2.9 * std::cbrt( (double)n );
	for ( int i = 0; i < n; ++i ) {
		double const z = 1.0 - 2.0 * ( i + 0.5 ) / n;
		double const r = std::sqrt( 1.0 - z * z );
		double const phi = i * 2.399963229728653; // golden angle
		double const shrink = 0.55 + 0.45 * ( ( i * 7 ) % 5 ) / 4.0; // fill the inside too
		out.push_back( { c[0] + R * shrink * r * std::cos( phi ), c[1] + R * shrink * r * std::sin( phi ), c[2] + R * shrink * z } );
	}
	return out;
}

std::vector<std::vector<int> > as_sets( std::vector<std::vector<int> > d )
{
	for ( auto& x : d ) std::sort( x.begin(), x.end() );
	std::sort( d.begin(), d.end() );
	return d;
}

// Catches: two well separated globules not split, or split off-boundary.
TEST( DomainSplit, TwoSeparateGlobulesGiveTwoContinuousDomains )
{
	std::vector<Vec3> trace = globule( 70, { 0, 0, 0 } );
	std::vector<Vec3> const b = globule( 60, { 24, 0, 0 } );
	trace.insert( trace.end(), b.begin(), b.end() );
	std::vector<std::vector<int> > const d = split_domains( trace );
	ASSERT_EQ( d.size(), 2u );
	EXPECT_EQ( d[0].size(), 70u );
	EXPECT_EQ( d[0].front(), 0 );
	EXPECT_EQ( d[1].front(), 70 );
}

// Catches: a discontinuous domain (the chain leaves a globule and returns)
// reported as three pieces or merged.
TEST( DomainSplit, ChainThatReturnsToItsFirstGlobuleGivesADiscontinuousDomain )
{
	std::vector<Vec3> const a = globule( 90, { 0, 0, 0 } );
	std::vector<Vec3> const b = globule( 60, { 25, 0, 0 } );
	std::vector<Vec3> trace( a.begin(), a.begin() + 45 );
	trace.insert( trace.end(), b.begin(), b.end() );
	trace.insert( trace.end(), a.begin() + 45, a.end() );
	std::vector<std::vector<int> > const d = as_sets( split_domains( trace ) );
	ASSERT_EQ( d.size(), 2u );
	std::vector<int> first, second;
	for ( int i = 0; i < 150; ++i ) ( i >= 45 && i < 105 ? second : first ).push_back( i );
	EXPECT_EQ( d[0], first );
	EXPECT_EQ( d[1], second );
}

// Catches: small chains split, or domains below the minimum size.
TEST( DomainSplit, SmallChainsStayOneDomainAndNoDomainIsTooSmall )
{
	std::vector<Vec3> trace = globule( 40, { 0, 0, 0 } );
	std::vector<Vec3> const b = globule( 35, { 30, 0, 0 } );
	trace.insert( trace.end(), b.begin(), b.end() );
	EXPECT_EQ( split_domains( trace ).size(), 1u ); // 75 residues: below 80
	std::vector<Vec3> big = globule( 120, { 0, 0, 0 } );
	std::vector<Vec3> const tail = globule( 30, { 30, 0, 0 } );
	big.insert( big.end(), tail.begin(), tail.end() );
	for ( auto const& dom : split_domains( big ) ) EXPECT_GE( dom.size(), 40u );
	EXPECT_TRUE( split_domains( std::vector<Vec3>() ).empty() );
}

// Catches: one compact globule cut in two.
TEST( DomainSplit, OneCompactGlobuleStaysWhole )
{
	EXPECT_EQ( split_domains( globule( 200, { 5, 5, 5 } ) ).size(), 1u );
}

std::string atom_line( int serial, char const* name, int res, char chain, Vec3 const& p )
{
	char buf[100];
	std::snprintf( buf, sizeof buf, "ATOM  %5d %-4s ALA %c%4d    %8.3f%8.3f%8.3f  1.00 20.00           C", serial, name,
		chain, res, p[0], p[1], p[2] );
	return buf;
}

// Catches: segments written with positions instead of the file's residue
// numbers, residues without a trace atom left out, a wrong word layout for
// the assembly program's reader (word 3 the count, one word per domain).
TEST( DomainSplit, LogLineUsesFileResidueNumbersAndOneWordPerDomain )
{
	quilt_test::ScratchDir dir( "domlog" );
	std::vector<Vec3> const a = globule( 90, { 0, 0, 0 } ), b = globule( 60, { 25, 0, 0 } );
	std::vector<Vec3> trace( a.begin(), a.begin() + 45 );
	trace.insert( trace.end(), b.begin(), b.end() );
	trace.insert( trace.end(), a.begin() + 45, a.end() );
	std::ofstream out( dir.file( "x.pdb" ).c_str() );
	int serial = 0;
	for ( size_t i = 0; i < trace.size(); ++i ) {
		int const res = 101 + (int)i;
		out << atom_line( ++serial, "N", res, 'B', trace[i] ) << "\n";
		if ( i != 60 ) out << atom_line( ++serial, "CA", res, 'B', trace[i] ) << "\n"; // residue 161 has no CA
	}
	out << "TER\nEND\n";
	out.close();
	ChainModel model;
	std::string error;
	ASSERT_TRUE( read_chain_model( dir.file( "x.pdb" ), model, error ) ) << error;
	std::vector<std::vector<int> > const d = chain_domains( model, 0 );
	ASSERT_EQ( d.size(), 2u );
	EXPECT_EQ( d[0].size() + d[1].size(), 150u );
	std::string const line = domain_log_line( model, "xxxxB", d );
	EXPECT_EQ( line, "xxxxB 150 2 (101-145;206-250) (146-205)" );
	std::istringstream words( line );
	std::string w1, w2, w3;
	words >> w1 >> w2 >> w3;
	EXPECT_EQ( std::strtol( w3.c_str(), nullptr, 10 ), 2 );
}

} // namespace
