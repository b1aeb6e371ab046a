#ifndef INCLUDED_farray_ObserverMulti_hh
#define INCLUDED_farray_ObserverMulti_hh

#include "farray/Observer.hh"

#include <set>

namespace farray {

// Subject with any number of observers (not owned)
class ObserverMulti : public Observer
{
public:
	// Ordered by address, without duplicates
	using Observers = std::set< Observer * >;

	// Tells every observer, in ascending address order, that this subject goes away
	~ObserverMulti() override;

	void insert_observer( Observer & observer ) const override;

	void remove_observer( Observer & observer ) const override
	{
		if ( observers_p_ ) do_remove_observer( observer );
	}

	bool has_observer() const override { return observers_p_ ? do_has_observer() : false; }

	// The collection (it must exist)
	Observers const & observers() const;

	// Observer collection or null while no observer was ever inserted
	Observers const * observers_p() const { return observers_p_; }

protected:
	ObserverMulti() = default;

	// A copy has no observers
	ObserverMulti( ObserverMulti const & ) : Observer(), observers_p_( nullptr ) {}

	// Assignment keeps this subject's own observers
	ObserverMulti & operator =( ObserverMulti const & ) { return *this; }

	void do_remove_observer( Observer & observer ) const;

	bool do_has_observer() const;

	void do_notify_destructed() const;

private:
	// Allocated by the first insertion, kept for the subject's lifetime
	mutable Observers * observers_p_ = nullptr;
};

} // farray

#endif
