#include "farray/Observer.hh"
#include "farray/ObserverMediator.hh"

namespace farray {

void
Observer::notify() const
{
	// The common case, a subject nobody observes, costs one virtual call
	if ( has_observer() ) internal::ObserverMediator::notify( *this );
}

bool
Observer::acyclic( Observer & observer ) const
{
	return internal::ObserverMediator::acyclic( *this, &observer );
}

} // farray
