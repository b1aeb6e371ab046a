#ifndef INCLUDED_farray_ObserverSingle_hh
#define INCLUDED_farray_ObserverSingle_hh

#include "farray/Observer.hh"

namespace farray {

namespace internal { class ObserverMediator; class ObserverGraph; }

// Subject with at most one observer (not owned)
class ObserverSingle : public Observer
{
public:
	// Tells the observer, if any, that this subject goes away
	~ObserverSingle() override;

	void insert_observer( Observer & observer ) const override;

	void remove_observer( Observer & observer ) const override
	{
		if ( observer_p_ == &observer ) observer_p_ = nullptr;
	}

	bool has_observer() const override { return observer_p_ != nullptr; }

	Observer * observer_p() const { return observer_p_; }

protected:
	ObserverSingle() = default;

	// A copy has no observer
	ObserverSingle( ObserverSingle const & ) : Observer(), observer_p_( nullptr ) {}

	// Assignment keeps this subject's own observer
	ObserverSingle & operator =( ObserverSingle const & ) { return *this; }

private:
	mutable Observer * observer_p_ = nullptr;
};

} // farray

#endif
