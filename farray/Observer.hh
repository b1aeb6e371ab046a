#ifndef INCLUDED_farray_Observer_hh
#define INCLUDED_farray_Observer_hh

// Observer protocol of the array library.
//
// Every participant is an Observer: it can be told to update() itself, be told
// that something it observes was destructed(), and be observed in turn. The
// subject side comes from ObserverSingle (at most one observer) or
// ObserverMulti (any number). notify() updates everything that depends on a
// subject, directly or transitively, once each and in dependency order.
//
// Observer links are bookkeeping, not part of a subject's value: inserting and
// removing observers are const operations on the subject.

namespace farray {

class Observer
{
public:
	virtual ~Observer() = default;

	// Make observer an observer of this subject
	virtual void insert_observer( Observer & observer ) const = 0;

	// Stop observer observing this subject
	virtual void remove_observer( Observer & observer ) const = 0;

	virtual bool has_observer() const = 0;

	// Re-derive this object's state from what it observes
	virtual void update() = 0;

	// A subject this object observes is being destroyed
	virtual void destructed( Observer const & subject ) = 0;

	// Update all direct and transitive observers, each once, in dependency order
	void notify() const;

	// Could observer be inserted without closing a cycle?
	bool acyclic( Observer & observer ) const;

protected:
	Observer() = default;
	Observer( Observer const & ) = default;
	Observer & operator =( Observer const & ) = default;
};

} // farray

#endif
