#include "farray/ObserverMulti.hh"
#include "farray/assert.hh"

namespace farray {

ObserverMulti::~ObserverMulti()
{
	if ( observers_p_ ) {
		for ( Observer * io : *observers_p_ ) {
			FARRAY_ASSERT_IN( io, "farray/ObserverMulti.cc" );
			io->destructed( *this );
		}
		delete observers_p_;
	}
}

void
ObserverMulti::insert_observer( Observer & observer ) const
{
	FARRAY_ASSERT_IN( this != &observer, "farray/ObserverMulti.cc" );
	FARRAY_ASSERT_IN( acyclic( observer ), "farray/ObserverMulti.cc" );
	if ( ! observers_p_ ) observers_p_ = new Observers;
	observers_p_->insert( &observer );
}

ObserverMulti::Observers const &
ObserverMulti::observers() const
{
	FARRAY_ASSERT_IN( observers_p_, "farray/ObserverMulti.cc" );
	return *observers_p_;
}

void
ObserverMulti::do_remove_observer( Observer & observer ) const
{
	FARRAY_ASSERT_IN( observers_p_, "farray/ObserverMulti.cc" );
	observers_p_->erase( &observer );
}

bool
ObserverMulti::do_has_observer() const
{
	FARRAY_ASSERT_IN( observers_p_, "farray/ObserverMulti.cc" );
	return ! observers_p_->empty();
}

void
ObserverMulti::do_notify_destructed() const
{
	FARRAY_ASSERT_IN( observers_p_, "farray/ObserverMulti.cc" );
	for ( Observer * io : *observers_p_ ) {
		FARRAY_ASSERT_IN( io, "farray/ObserverMulti.cc" );
		io->destructed( *this );
	}
}

} // farray
