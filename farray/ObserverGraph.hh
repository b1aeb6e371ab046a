#ifndef INCLUDED_farray_ObserverGraph_hh
#define INCLUDED_farray_ObserverGraph_hh

#include "farray/Observer.hh"

#include <cstddef>
#include <map>
#include <vector>

namespace farray {
namespace internal {

// Dependency graph of everything that observes one subject, directly or
// transitively; built for one notification and handed out in topological
// order by pop().
class ObserverGraph
{
public:
	explicit ObserverGraph( Observer const & s );

	ObserverGraph( ObserverGraph const & ) = delete;
	ObserverGraph & operator =( ObserverGraph const & ) = delete;

	bool empty() const { return graph_.empty(); }

	// Next observer whose in-graph subjects are all updated, or null when done
	Observer * pop();

private:
	// Enter every observer reachable from o; false when a cycle is met
	bool push( Observer const & s, Observer const & o );

	// Observer -> number of graph members it observes that are not yet updated
	std::map< Observer *, std::size_t > graph_;

	// Members with in-degree 0, last in first out
	std::vector< Observer * > sources_;
};

} // internal
} // farray

#endif
