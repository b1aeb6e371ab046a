// Notification order, cycle refusal and destruction callbacks of the observer protocol

#include "farray/ObserverMulti.hh"
#include "farray/ObserverSingle.hh"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <string>
#include <vector>

using namespace farray;
using testing::HasSubstr;

namespace {

// Records every update() and destructed() in a shared log
struct Log
{
	std::vector< std::string > events;
};

class Node : public ObserverMulti
{
public:
	Node( std::string name, Log & log ) : name_( std::move( name ) ), log_( log ) {}
	void update() override { log_.events.push_back( name_ ); }
	void destructed( Observer const & ) override { log_.events.push_back( "~" + name_ ); }
	std::string name_;
	Log & log_;
};

class Single : public ObserverSingle
{
public:
	Single( std::string name, Log & log ) : name_( std::move( name ) ), log_( log ) {}
	void update() override { log_.events.push_back( name_ ); }
	void destructed( Observer const & ) override {}
	std::string name_;
	Log & log_;
};

std::size_t index_of( Log const & log, std::string const & name )
{
	for ( std::size_t i = 0; i < log.events.size(); ++i ) if ( log.events[ i ] == name ) return i;
	return log.events.size();
}

}

TEST( Observer, NotifyWithoutObserversUpdatesNothing )
{
	Log log;
	Node s( "s", log ), p( "p", log );
	s.notify(); // no collection
	s.insert_observer( p );
	s.remove_observer( p );
	s.notify(); // empty collection
	EXPECT_TRUE( log.events.empty() );
	EXPECT_FALSE( s.has_observer() );
	Node never( "never", log );
	never.remove_observer( p ); // never had an observer: no effect
	EXPECT_FALSE( never.has_observer() );
}

TEST( Observer, DiamondUpdatesEachOnceAfterWhatItDependsOn )
{
	// s <- P, s <- Q, P <- R, Q <- R, and R <- T
	Log log;
	// Observers outlive their subjects: declared first, destroyed last
	Node T( "T", log ), R( "R", log ), Q( "Q", log ), P( "P", log ), s( "s", log );
	s.insert_observer( P );
	s.insert_observer( Q );
	P.insert_observer( R );
	Q.insert_observer( R );
	R.insert_observer( T );
	s.notify();
	ASSERT_EQ( log.events.size(), 4u ) << "each observer updated exactly once";
	EXPECT_LT( index_of( log, "P" ), index_of( log, "R" ) );
	EXPECT_LT( index_of( log, "Q" ), index_of( log, "R" ) );
	EXPECT_LT( index_of( log, "R" ), index_of( log, "T" ) );
	EXPECT_EQ( log.events[ 3 ], "T" );
	// Among the initial sources the higher address goes first
	std::string const first = ( &P > &Q ) ? "P" : "Q";
	EXPECT_EQ( log.events[ 0 ], first );

	// Notifying a middle node reaches only what depends on it
	log.events.clear();
	P.notify();
	EXPECT_EQ( log.events, ( std::vector< std::string >{ "R", "T" } ) );
}

TEST( Observer, ShortcutEdgeStillWaitsForTheLongPath )
{
	// s <- A <- B, and s <- B directly: B must come after A
	Log log;
	Node B( "B", log ), A( "A", log ), s( "s", log );
	s.insert_observer( A );
	s.insert_observer( B );
	A.insert_observer( B );
	s.notify();
	EXPECT_EQ( log.events, ( std::vector< std::string >{ "A", "B" } ) );
}

TEST( Observer, SingleSubjectAcceptsOneObserver )
{
	Log log;
	Node a( "a", log ), b( "b", log );
	Single s( "s", log );
	s.insert_observer( a );
	s.insert_observer( a ); // the same again: unchanged
	EXPECT_TRUE( s.has_observer() );
	EXPECT_EQ( s.observer_p(), &a );
	s.remove_observer( b ); // not registered: nothing
	EXPECT_EQ( s.observer_p(), &a );
	EXPECT_DEATH( s.insert_observer( b ), HasSubstr( "Assertion `( ! observer_p_ ) || ( observer_p_ == &observer )' failed" ) );
	s.notify();
	EXPECT_EQ( log.events, ( std::vector< std::string >{ "a" } ) );
}

TEST( ObserverDeath, CyclesAreRefused )
{
	Log log;
	Node c( "c", log ), b( "b", log ), a( "a", log );
	EXPECT_DEATH( a.insert_observer( a ), HasSubstr( "Assertion `this != &observer' failed" ) );
	Single s( "s", log );
	EXPECT_DEATH( s.insert_observer( s ), HasSubstr( "farray/ObserverSingle." ) );
	EXPECT_DEATH( s.insert_observer( s ), HasSubstr( "Assertion `acyclic( observer )' failed" ) );

	a.insert_observer( b ); // b observes a
	b.insert_observer( c ); // c observes b
	EXPECT_FALSE( c.acyclic( a ) );
	EXPECT_TRUE( a.acyclic( c ) );
	EXPECT_DEATH( b.insert_observer( a ), HasSubstr( "Assertion `acyclic( observer )' failed" ) );
	EXPECT_DEATH( c.insert_observer( a ), HasSubstr( "farray/ObserverMulti." ) );
}

TEST( ObserverDeath, CycleMetDuringNotificationIsFatal )
{
	// Insertions refuse cycles, so the cycle is made behind the protocol's
	// back by writing into an observer collection directly
	Log log;
	Node c( "c", log ), b( "b", log ), a( "a", log );
	a.insert_observer( b );
	b.insert_observer( c ); // gives b a collection
	auto cycle = [&]() {
		const_cast< ObserverMulti::Observers & >( b.observers() ).insert( &a );
		a.notify();
	};
	EXPECT_EXIT( cycle(), testing::ExitedWithCode( 1 ), HasSubstr( "\n*** farray Error: Cyclic FArray/Dimension dependency detected\n" ) );
}

TEST( Observer, DestroyingASubjectTellsEachObserverInAddressOrder )
{
	Log log;
	Node a( "a", log ), b( "b", log ), c( "c", log );
	std::vector< Node * > by_address{ &a, &b, &c };
	std::sort( by_address.begin(), by_address.end() );
	{
		Node s( "s", log );
		s.insert_observer( c );
		s.insert_observer( a );
		s.insert_observer( b );
	}
	std::vector< std::string > expected;
	for ( Node * n : by_address ) expected.push_back( "~" + n->name_ );
	EXPECT_EQ( log.events, expected );
}
