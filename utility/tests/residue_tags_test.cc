// Residue-selection tags: runs written with chain and segment prefixes, and
// parsed back into parallel lists

#include "utility/string_util.hh"
#include "utility/Exceptions.hh"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>

using namespace utility;
using testing::ElementsAre;
using testing::HasSubstr;

namespace {

std::string const none( "    " ); // no segment

// The exit text of a writer that stops the run
template< typename F >
std::string exit_text( F f )
{
	testing::internal::CaptureStderr();
	std::string what = "no exit";
	try {
		f();
	} catch ( UtilityExitException const & e ) {
		what = e.what();
	}
	testing::internal::GetCapturedStderr();
	return what;
}

}

TEST( residue_tags, PlainTag )
{
	EXPECT_EQ( make_tag( { 3, 7, -2 } ), "3 7 -2" );
	EXPECT_EQ( make_tag( {} ), "" );
}

TEST( residue_tags, RunsOnChainAWrittenAndParsedBack )
{
	vector1< int > const res{ 1, 2, 3, 5, 6, 10 };
	EXPECT_EQ( make_tag_with_dashes( res, ' ' ), "1-3 5-6 10" );
	EXPECT_EQ( make_tag_with_dashes( res, ',' ), "1-3,5-6,10" );

	vector1< char > const chains( res.size(), 'A' );
	std::string const tag = make_tag_with_dashes( res, chains, vector1< std::string >(), ' ' );
	EXPECT_EQ( tag, "A:1-3 A:5-6 A:10" );

	bool ok = false;
	auto const parsed = get_resnum_and_chain_and_segid( tag, ok );
	EXPECT_TRUE( ok );
	EXPECT_THAT( std::get< 0 >( parsed ), ElementsAre( 1, 2, 3, 5, 6, 10 ) );
	EXPECT_EQ( std::get< 1 >( parsed ), std::vector< char >( 6, 'A' ) );
	EXPECT_EQ( std::get< 2 >( parsed ), std::vector< std::string >( 6, none ) );

	// Written with commas, parsed the same
	std::string const with_commas = make_tag_with_dashes( res, chains, vector1< std::string >( 6, none ), ',' );
	EXPECT_EQ( with_commas, "A:1-3,A:5-6,A:10" );
	EXPECT_EQ( std::get< 0 >( get_resnum_and_chain( with_commas ) ), std::get< 0 >( parsed ) );
}

TEST( residue_tags, RunBoundaries )
{
	// 5 follows 4 but changes chain: two runs
	EXPECT_EQ( make_tag_with_dashes( { 4, 5 }, { 'A', 'B' }, {}, ' ' ), "A:4 B:5" );
	// Descending numbers are separate runs
	EXPECT_EQ( make_tag_with_dashes( { 3, 2, 1 }, ' ' ), "3 2 1" );
	// Negative numbers and a run through zero
	EXPECT_EQ( make_tag_with_dashes( { -2, -1, 0, 1 }, ' ' ), "-2-1" );
	// No overflow after the largest int
	EXPECT_EQ( make_tag_with_dashes( { INT_MAX, INT_MIN }, ' ' ), "2147483647 -2147483648" );
	// Chains "_", blank and NUL write no prefix
	EXPECT_EQ( make_tag_with_dashes( { 1, 2, 8 }, { '_', '_', '\0' }, {}, ' ' ), "1-2 8" );
	EXPECT_EQ( make_tag_with_dashes( {}, {}, {}, ' ' ), "" );
}

TEST( residue_tags, SegmentPrefixes )
{
	// The segment is stripped in the general writer, kept whole in the segment writer
	EXPECT_EQ( make_tag_with_dashes( { 1, 2 }, { 'A', 'A' }, { "   X", "   X" }, ' ' ), "A:X:1-2" );
	EXPECT_EQ( make_segtag_with_dashes( { 1, 2 }, { "   X", "   X" }, ' ' ), "   X:1-2" );

	// The segment does not end a run in the general writer, and the run carries the last segment
	EXPECT_EQ( make_tag_with_dashes( { 1, 2 }, { 'A', 'A' }, { "SEGA", "SEGB" }, ' ' ), "A:SEGB:1-2" );
	// It does in the segment writer
	EXPECT_EQ( make_segtag_with_dashes( { 1, 2, 3 }, { "SEGA", "SEGB", "SEGB" }, ',' ), "SEGA:1,SEGB:2-3" );
	EXPECT_EQ( make_segtag_with_dashes( {}, {}, ' ' ), "" );
}

TEST( residue_tags, WritersStopOnMismatchedLists )
{
	EXPECT_THAT( exit_text( [] { make_tag_with_dashes( { 1, 2 }, { 'A' }, {}, ' ' ); } ),
		HasSubstr( "string_util.cc:664\n[ ERROR ] UtilityExitException\nERROR: Assertion `res_vector.size() == chain_vector.size()` failed." ) );
	EXPECT_THAT( exit_text( [] { make_segtag_with_dashes( { 1, 2 }, { "AAAA" }, ' ' ); } ),
		HasSubstr( ":716\n[ ERROR ] UtilityExitException\nERROR: Assertion `res_vector.size() == segid_vector.size()` failed." ) );
	EXPECT_THAT( exit_text( [] { make_segtag_with_dashes( { 1 }, { "AAA" }, ' ' ); } ),
		HasSubstr( ":721\n[ ERROR ] UtilityExitException\nERROR: Assertion `segid_vector[1].size() == 4` failed." ) );
	EXPECT_THAT( exit_text( [] { make_segtag_with_dashes( { 1, 2 }, { "AAAA", "B" }, ' ' ); } ),
		HasSubstr( ":725\n[ ERROR ] UtilityExitException\nERROR: Assertion `segid_vector[n].size() == 4` failed." ) );
}

TEST( residue_tagsDeath, ShortSegmentListFailsTheCheckedAccess )
{
	GTEST_FLAG_SET( death_test_style, "threadsafe" );
	EXPECT_DEATH( make_tag_with_dashes( { 1, 2 }, { 'A', 'A' }, { "SEGA" }, ' ' ), "ERROR: Assertion `static_cast< size_type >" );
}

TEST( residue_tags, OneSegmentTag )
{
	std::vector< int > res;
	std::vector< std::string > seg;
	EXPECT_TRUE( get_resnum_and_segid_from_one_tag( "AB:5", res, seg ) );
	EXPECT_THAT( res, ElementsAre( 5 ) );
	EXPECT_THAT( seg, ElementsAre( "  AB" ) );
	EXPECT_FALSE( get_resnum_and_segid_from_one_tag( "ABCDE:5", res, seg ) );
	EXPECT_FALSE( get_resnum_and_segid_from_one_tag( "5", res, seg ) );
	EXPECT_FALSE( get_resnum_and_segid_from_one_tag( "A:", res, seg ) );
	EXPECT_EQ( res.size(), 1u ); // the failures appended nothing
	EXPECT_TRUE( get_resnum_and_segid_from_one_tag( "", res, seg ) );
	EXPECT_TRUE( get_resnum_and_segid_from_one_tag( ":7-8", res, seg ) );
	EXPECT_THAT( res, ElementsAre( 5, 7, 8 ) );
	EXPECT_THAT( seg, ElementsAre( "  AB", none, none ) );
	// The valid numbers of an invalid list are kept
	EXPECT_FALSE( get_resnum_and_segid_from_one_tag( "X:9,q", res, seg ) );
	EXPECT_THAT( res, ElementsAre( 5, 7, 8, 9 ) );
}

TEST( residue_tags, SegmentSelections )
{
	bool ok = false;
	auto r = get_resnum_and_segid( "A:1,B:2", ok );
	EXPECT_TRUE( ok );
	EXPECT_THAT( r.first, ElementsAre( 1, 2 ) );
	EXPECT_THAT( r.second, ElementsAre( "   A", "   B" ) );

	r = get_resnum_and_segid( "A:1,2", ok ); // each item needs its own head
	EXPECT_FALSE( ok );
	EXPECT_THAT( r.first, ElementsAre( 1 ) );

	// What the segment writer writes comes back, blanks of the segment included
	std::string const tag = make_segtag_with_dashes( { 4, 5, 6, 9 }, { "   X", "   X", "   X", "A B " }, ' ' );
	EXPECT_EQ( tag, "   X:4-6 A B :9" );
	r = get_resnum_and_segid( tag, ok );
	EXPECT_TRUE( ok );
	EXPECT_THAT( r.first, ElementsAre( 4, 5, 6, 9 ) );
	EXPECT_THAT( r.second, ElementsAre( "   X", "   X", "   X", "A B " ) );

	r = get_resnum_and_segid( "", ok );
	EXPECT_TRUE( ok );
	EXPECT_TRUE( r.first.empty() );
}

TEST( residue_tags, OneChainTag )
{
	std::vector< int > res;
	std::vector< char > ch;
	std::vector< std::string > seg;
	EXPECT_TRUE( get_resnum_and_chain_from_one_tag( "A:SEG:7", res, ch, seg ) );
	EXPECT_TRUE( get_resnum_and_chain_from_one_tag( "A12", res, ch, seg ) );
	EXPECT_TRUE( get_resnum_and_chain_from_one_tag( "12", res, ch, seg ) );
	EXPECT_TRUE( get_resnum_and_chain_from_one_tag( "-3", res, ch, seg ) );
	EXPECT_TRUE( get_resnum_and_chain_from_one_tag( ":4", res, ch, seg ) );
	EXPECT_TRUE( get_resnum_and_chain_from_one_tag( "B:SEGM:1", res, ch, seg ) );
	EXPECT_THAT( res, ElementsAre( 7, 12, 12, -3, 4, 1 ) );
	EXPECT_THAT( ch, ElementsAre( 'A', 'A', ' ', ' ', ' ', 'B' ) );
	EXPECT_THAT( seg, ElementsAre( "SEG ", none, none, none, none, "SEGM" ) );

	EXPECT_FALSE( get_resnum_and_chain_from_one_tag( "AB:12", res, ch, seg ) );
	EXPECT_FALSE( get_resnum_and_chain_from_one_tag( "A:x", res, ch, seg ) );
	EXPECT_TRUE( get_resnum_and_chain_from_one_tag( "", res, ch, seg ) );
	EXPECT_EQ( res.size(), 6u );
	// A tag whose two colons leave no room for a segment does not read outside it
	EXPECT_TRUE( get_resnum_and_chain_from_one_tag( "::5", res, ch, seg ) );
	EXPECT_EQ( res.back(), 5 );
}

TEST( residue_tags, ChainSelections )
{
	auto const r = get_resnum_and_chain( "A:1-3 B:7" );
	EXPECT_THAT( std::get< 0 >( r ), ElementsAre( 1, 2, 3, 7 ) );
	EXPECT_THAT( std::get< 1 >( r ), ElementsAre( 'A', 'A', 'A', 'B' ) );
	EXPECT_EQ( std::get< 2 >( r ), std::vector< std::string >( 4, none ) );

	bool ok = false;
	auto const doubled = get_resnum_and_chain_and_segid( "A:1  B:2", ok ); // the empty piece between blanks parses
	EXPECT_TRUE( ok );
	EXPECT_THAT( std::get< 0 >( doubled ), ElementsAre( 1, 2 ) );

	auto const bad = get_resnum_and_chain_and_segid( "A:1 XY:2 A:3", ok );
	EXPECT_FALSE( ok );
	EXPECT_THAT( std::get< 0 >( bad ), ElementsAre( 1 ) ); // stops at the first bad tag

	// Chains and segments written by the general writer come back
	vector1< int > const res{ 10, 11, 12, 20 };
	vector1< char > const chains{ 'H', 'H', 'H', 'L' };
	vector1< std::string > const segs{ "S1  ", "S1  ", "S1  ", "S2  " };
	std::string const tag = make_tag_with_dashes( res, chains, segs, ',' );
	EXPECT_EQ( tag, "H:S1:10-12,L:S2:20" );
	auto const back = get_resnum_and_chain_and_segid( tag, ok );
	EXPECT_TRUE( ok );
	EXPECT_EQ( std::get< 0 >( back ), res.vector() );
	EXPECT_EQ( std::get< 1 >( back ), chains.vector() );
	EXPECT_EQ( std::get< 2 >( back ), segs.vector() );
}
