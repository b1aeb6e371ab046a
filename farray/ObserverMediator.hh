#ifndef INCLUDED_farray_ObserverMediator_hh
#define INCLUDED_farray_ObserverMediator_hh

#include "farray/Observer.hh"

#include <set>

namespace farray {
namespace internal {

// Walks of the observer relation: notification and the cycle test
class ObserverMediator
{
public:
	using SetWrapper = std::set< Observer * >;

	// Update every transitive observer of s once, in dependency order
	static void notify( Observer const & s );

	// Would making o an observer of s keep the relation acyclic?
	static bool acyclic( Observer const & s, Observer const * o );

	// Depth-first walk over the observers of o, recording visits; false when
	// it reaches o itself or s
	static bool accumulate( Observer const & s, Observer const & o, SetWrapper & visited );

	// Call f on each observer of o (none for an observer that is no subject)
	template< typename F >
	static void for_each_observer( Observer const & o, F f );
};

} // internal
} // farray

#include "farray/ObserverSingle.hh"
#include "farray/ObserverMulti.hh"

namespace farray {
namespace internal {

template< typename F >
void
ObserverMediator::for_each_observer( Observer const & o, F f )
{
	if ( auto const * single = dynamic_cast< ObserverSingle const * >( &o ) ) {
		if ( Observer * x = single->observer_p() ) f( x );
	} else if ( auto const * multi = dynamic_cast< ObserverMulti const * >( &o ) ) {
		if ( auto const * obs = multi->observers_p() ) {
			for ( Observer * x : *obs ) f( x );
		}
	}
}

} // internal
} // farray

#endif
