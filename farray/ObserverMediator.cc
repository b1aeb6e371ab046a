#include "farray/ObserverMediator.hh"
#include "farray/ObserverGraph.hh"

namespace farray {
namespace internal {

void
ObserverMediator::notify( Observer const & s )
{
	ObserverGraph graph( s );
	if ( ! graph.empty() ) {
		while ( Observer * o = graph.pop() ) o->update();
	}
}

bool
ObserverMediator::acyclic( Observer const & s, Observer const * o )
{
	if ( ! o ) return true;
	if ( o == &s ) return false;
	SetWrapper visited;
	return accumulate( s, *o, visited );
}

bool
ObserverMediator::accumulate( Observer const & s, Observer const & o, SetWrapper & visited )
{
	bool ok = true;
	for_each_observer( o, [&]( Observer * x ) {
		if ( ! ok ) return;
		if ( ! visited.insert( x ).second ) return; // already seen
		if ( ( x == &o ) || ( x == &s ) || ( ! accumulate( s, *x, visited ) ) ) ok = false;
	} );
	return ok;
}

} // internal
} // farray
