#ifndef INCLUDED_farray_FArray1D_hh
#define INCLUDED_farray_FArray1D_hh

// One-dimensional array with its own fixed index range [l,u], for small
// integer lists such as the time and date arrays. Element i lives at block
// position i - l; indexing checks i against the range in every build.

#include "farray/FArray.hh"
#include "farray/IndexRange.hh"
#include "farray/assert.hh"

#include <algorithm>

namespace farray {

template< typename T >
class FArray1D final : public FArray< T >
{
	using Base = FArray< T >;
	using Base::data_;
	using Base::offset_;
	using Base::size_;

public:
	// Range [1,0], no block
	FArray1D() = default;

	// Range I (bounded), elements not filled
	explicit FArray1D( IndexRange const & I ) :
		I_( I )
	{
		FARRAY_ASSERT_IN( I_.legal() && I_.bounded(), "farray/FArray1D.hh" );
		this->resize( I_.size() );
		offset_ = I_.l();
	}

	// Range I, every element v
	FArray1D( IndexRange const & I, T const & v ) :
		FArray1D( I )
	{
		std::fill( data_, data_ + size_, v );
	}

	FArray1D( FArray1D const & a ) :
		Base( a ),
		I_( a.I_ )
	{}

	// Element copy; the ranges must hold the same number of elements
	FArray1D & operator =( FArray1D const & a )
	{
		if ( this != &a ) {
			Base::operator =( a );
			I_ = a.I_;
			offset_ = a.offset_;
		}
		return *this;
	}

	~FArray1D() override = default;

	bool dimensions_initialized() const override { return true; }

	bool initializer_active() const override { return false; }

	IndexRange const & I() const { return I_; }
	int l() const { return I_.l(); }
	int u() const { return I_.u(); }

	bool contains( int const i ) const { return I_.contains( i ); }

	// Element i, checked against the range
	T const & operator ()( int const i ) const
	{
		FARRAY_ASSERT_TEXT( I_.contains_sized( i ), "contains( i )", "farray/FArray1D.hh" );
		return data_[ i - offset_ ];
	}

	T & operator ()( int const i )
	{
		FARRAY_ASSERT_TEXT( I_.contains_sized( i ), "contains( i )", "farray/FArray1D.hh" );
		return data_[ i - offset_ ];
	}

private:
	IndexRange I_;
};

using FArray1D_int = FArray1D< int >;

// The array the time and date functions fill
using FArray1_int = FArray1D< int >;

} // farray

#endif
