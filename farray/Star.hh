#ifndef INCLUDED_farray_Star_hh
#define INCLUDED_farray_Star_hh

#include <cstddef>

namespace farray {

// Size of an unbounded range, and the position the text functions give for
// an absent item: all bits set.
constexpr std::size_t npos = static_cast< std::size_t >( -1 );

// Marker of an unbounded upper end of an index range, as in [l,*].
class Star
{
public:
	constexpr Star() noexcept {}
};

// The one instance the library passes wherever it needs a Star.
inline constexpr Star star{};

inline constexpr bool operator ==( Star const &, Star const & ) noexcept { return true; }
inline constexpr bool operator !=( Star const &, Star const & ) noexcept { return false; }

} // farray

#endif
