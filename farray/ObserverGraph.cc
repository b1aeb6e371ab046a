#include "farray/ObserverGraph.hh"
#include "farray/ObserverMediator.hh"
#include "farray/assert.hh"

namespace farray {
namespace internal {

ObserverGraph::ObserverGraph( Observer const & s )
{
	if ( ! push( s, s ) ) fatal_error( "Cyclic FArray/Dimension dependency detected" );

	// In-degrees: edges between graph members only (the subject is not a member)
	for ( auto const & entry : graph_ ) {
		bool const single = dynamic_cast< ObserverSingle const * >( entry.first ) != nullptr;
		ObserverMediator::for_each_observer( *entry.first, [&]( Observer * x ) {
			auto const ig = graph_.find( x );
			if ( single ) {
				FARRAY_ASSERT_TEXT( ig != graph_.end(), "graph_.find( oso_p ) != graph_.end()", "farray/ObserverGraph.cc" );
			} else {
				FARRAY_ASSERT_TEXT( ig != graph_.end(), "graph_.find( io ) != graph_.end()", "farray/ObserverGraph.cc" );
			}
			++ig->second;
		} );
	}

	for ( auto const & entry : graph_ ) {
		if ( entry.second == 0 ) sources_.push_back( entry.first );
	}
	FARRAY_ASSERT_IN( ( ! sources_.empty() ) || ( graph_.empty() ), "farray/ObserverGraph.cc" );
}

bool
ObserverGraph::push( Observer const & s, Observer const & o )
{
	bool ok = true;
	ObserverMediator::for_each_observer( o, [&]( Observer * x ) {
		if ( ! ok ) return;
		if ( ! graph_.emplace( x, std::size_t( 0 ) ).second ) return; // already entered
		if ( ( x == &o ) || ( x == &s ) || ( ! push( s, *x ) ) ) ok = false;
	} );
	return ok;
}

Observer *
ObserverGraph::pop()
{
	if ( sources_.empty() ) {
		FARRAY_ASSERT_IN( graph_.empty(), "farray/ObserverGraph.cc" );
		return nullptr;
	}
	Observer * const o = sources_.back();
	sources_.pop_back();
	ObserverMediator::for_each_observer( *o, [&]( Observer * x ) {
		auto const igo = graph_.find( x );
		FARRAY_ASSERT_IN( igo != graph_.end(), "farray/ObserverGraph.cc" );
		std::size_t & in_degree = igo->second;
		FARRAY_ASSERT_IN( in_degree > 0, "farray/ObserverGraph.cc" );
		if ( --in_degree == 0 ) sources_.push_back( x );
	} );
	graph_.erase( o );
	return o;
}

} // internal
} // farray
