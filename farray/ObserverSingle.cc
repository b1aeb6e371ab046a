#include "farray/ObserverSingle.hh"
#include "farray/assert.hh"

namespace farray {

ObserverSingle::~ObserverSingle()
{
	if ( observer_p_ ) observer_p_->destructed( *this );
}

void
ObserverSingle::insert_observer( Observer & observer ) const
{
	FARRAY_ASSERT_IN( acyclic( observer ), "farray/ObserverSingle.cc" );
	FARRAY_ASSERT_IN( ( ! observer_p_ ) || ( observer_p_ == &observer ), "farray/ObserverSingle.cc" );
	observer_p_ = &observer;
}

} // farray
