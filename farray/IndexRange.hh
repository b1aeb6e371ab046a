#ifndef INCLUDED_farray_IndexRange_hh
#define INCLUDED_farray_IndexRange_hh

// Index range of one array dimension: the closed interval [l,u] of 32-bit
// indices with its number of indices cached beside it.
//
// Shapes, told by l and u alone:
//   positive   u >= l       size u-l+1
//   empty      u == l-1     size 0
//   unbounded  u == l-2     size npos, written [l,*]
//   illegal    u < l-2, or l below the smallest legal lower bound
// The size is u-l+1 taken as a signed number and widened, so [l,l-2] and
// [l,*] are the same range (-1 widens to npos).

#include "farray/Star.hh"
#include "farray/assert.hh"

#include <cstddef>
#include <cstdint>
#include <iosfwd>

namespace farray {

class Dimension;

class IndexRange
{
public:
	using size_type = std::size_t;

	// Smallest legal lower bound: l-2 must not overflow
	static constexpr int l_min = -2147483646;

	IndexRange() noexcept : l_( 1 ), u_( 0 ), size_( 0 ) {}

	IndexRange( int const u ) noexcept : l_( 1 ), u_( u ), size_( sized( 1, u ) ) {}

	IndexRange( Star const & ) noexcept : l_( 1 ), u_( -1 ), size_( npos ) {}

	IndexRange( int const l, int const u ) noexcept : l_( l ), u_( u ), size_( sized( l, u ) ) {}

	IndexRange( int const l, Star const & ) noexcept : l_( l ), u_( l - 2 ), size_( npos ) {}

	IndexRange( IndexRange const & ) = default;

	virtual ~IndexRange() = default;

	IndexRange & operator =( IndexRange const & I )
	{
		if ( this != &I ) assign( I.l_, I.u_ );
		return *this;
	}

	virtual IndexRange & operator =( int const u ) { return assign( u ); }

	virtual IndexRange & operator =( Star const & s ) { return assign( s ); }

	virtual IndexRange & assign( int const u )
	{
		l_ = 1; u_ = u; size_ = sized( 1, u );
		return *this;
	}

	virtual IndexRange & assign( Star const & )
	{
		l_ = 1; u_ = -1; size_ = npos;
		return *this;
	}

	virtual IndexRange & assign( int const l, int const u )
	{
		l_ = l; u_ = u; size_ = sized( l, u );
		return *this;
	}

	virtual IndexRange & assign( int const l, Star const & )
	{
		l_ = l; u_ = l - 2; size_ = npos;
		return *this;
	}

	virtual bool initialized() const { return true; }
	virtual bool l_initialized() const { return true; }
	virtual bool u_initialized() const { return true; }

	virtual bool legal() const { return legal_static(); }

	virtual bool bounded() const { return u_ >= l_ - 1; }

	virtual bool unbounded() const { return u_ == l_ - 2; }

	virtual bool not_unbounded() const { return u_ >= l_ - 1; }

	virtual bool positive() const { return l_ <= u_; }

	virtual bool contains( int const i ) const
	{
		return ( l_ <= i ) && ( ( i <= u_ ) || ( size_ == npos ) );
	}

	virtual bool contains( IndexRange const & I ) const;

	virtual bool intersects( IndexRange const & I ) const;

	// Set the lower bound; an unbounded range stays unbounded
	virtual IndexRange & l( int const i );

	virtual IndexRange & u( int const i )
	{
		u_ = i; size_ = sized( l_, i );
		return *this;
	}

	virtual IndexRange & u( Star const & )
	{
		u_ = l_ - 2; size_ = npos;
		return *this;
	}

	// Grow to hold i
	virtual IndexRange & contain( int const i );

	// Grow to hold I
	virtual IndexRange & contain( IndexRange const & I );

	// Shrink to the intersection with I
	virtual IndexRange & intersect( IndexRange const & I );

	virtual IndexRange & clear()
	{
		l_ = 1; u_ = 0; size_ = 0;
		return *this;
	}

	// Copy of the Dimension the lower/upper bound follows, owned by the
	// caller; null for a fixed bound
	virtual Dimension * l_dim_clone() const { return nullptr; }
	virtual Dimension * u_dim_clone() const { return nullptr; }

	int l() const
	{
		FARRAY_ASSERT_IN( l_initialized(), "farray/IndexRange.hh" );
		return l_;
	}

	int u() const
	{
		FARRAY_ASSERT_IN( u_initialized(), "farray/IndexRange.hh" );
		return u_;
	}

	size_type size() const { return size_; }

	// Index test of the arrays: one unsigned comparison. Exact for bounded
	// ranges and for ranges with size 0 (an uninitialized dynamic range); the
	// arrays never hold an unbounded range while they have storage.
	bool contains_sized( int const i ) const
	{
		return static_cast< size_type >( static_cast< std::int64_t >( i ) - l_ ) < size_;
	}

	// Bounds as stored, without the initialization checks
	int l_raw() const { return l_; }
	int u_raw() const { return u_; }

	friend bool operator ==( IndexRange const & a, IndexRange const & b );

protected:
	bool legal_static() const { return ( l_ >= l_min ) && ( u_ >= l_ - 2 ); }

	// u-l+1 as a signed value widened to size_type: [l,l-2] gives -1, that is
	// npos. Computed in 64 bits so that a range of more than 2^31 indices gets
	// its true size instead of a wrapped one.
	static size_type sized( int const l, int const u )
	{
		return static_cast< size_type >( static_cast< std::int64_t >( u ) - static_cast< std::int64_t >( l ) + 1 );
	}

	int l_;
	int u_;
	size_type size_;
};

// Both initialized with the same bounds (the cached size is not compared)
inline bool
operator ==( IndexRange const & a, IndexRange const & b )
{
	return a.initialized() && b.initialized() && ( a.l_ == b.l_ ) && ( a.u_ == b.u_ );
}

inline bool
operator !=( IndexRange const & a, IndexRange const & b )
{
	return !( a == b );
}

// Writes [l,u] with no blanks (the stored u, so [3,*] prints as [3,1])
std::ostream & operator <<( std::ostream & stream, IndexRange const & I );

// Reads l then u and assigns them; the range is left unchanged when either
// extraction fails (the stream keeps its failure state)
std::istream & operator >>( std::istream & stream, IndexRange & I );

} // farray

#endif
