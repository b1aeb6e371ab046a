#ifndef INCLUDED_farray_FArray_hh
#define INCLUDED_farray_FArray_hh

// Element block shared by the multi-dimensional arrays.
//
// Layout: one contiguous block, column-major (first index fastest). The
// element whose linear index is p + offset_ lives at block position p, so an
// element is data_[ linear index - offset_ ]. Linear indices and offsets are
// 64-bit. (No pointer data_ - offset_ is formed: it could point far outside
// the block.)
//
// Storage: re-sizing reallocates only when the element count changes, and
// never copies old contents. A new block of complex elements is zero-filled;
// a new block of double or float is not (write before reading).

#include "farray/Star.hh"
#include "farray/assert.hh"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace farray {

template< typename T >
class FArray
{
public:
	using value_type = T;
	using size_type = std::size_t;

	// Largest element count
	static constexpr size_type max_size = npos - 1;

	virtual ~FArray()
	{
		if ( owner_ ) delete[] data_;
	}

	// Every bound that follows a Dimension has an initialized one
	virtual bool dimensions_initialized() const = 0;

	virtual bool initializer_active() const = 0;

	// Free the block
	virtual void clear()
	{
		if ( owner_ ) delete[] data_;
		data_ = nullptr;
		capacity_ = 0;
		size_ = 0;
		offset_ = 0;
	}

	// All elements zero
	virtual FArray & to_default()
	{
		std::fill( data_, data_ + size_, T( 0 ) );
		return *this;
	}

	// Element at block position i (0-based, column-major)
	T const & operator []( size_type const i ) const
	{
		FARRAY_ASSERT_IN( ( i < size_ ) || ( size_ == npos ), "farray/FArray.hh" );
		return data_[ i ];
	}

	// Fill every element with v
	FArray & operator =( T const & v )
	{
		FARRAY_ASSERT_IN( size_bounded(), "farray/FArray.hh" );
		std::fill( data_, data_ + size_, v );
		return *this;
	}

	// Number of elements
	size_type size() const { return size_; }

	size_type capacity() const { return capacity_; }

	bool size_bounded() const { return size_ != npos; }

	bool empty() const { return size_ == 0; }

	bool owner() const { return owner_; }

	// Linear index of the element at the lower bounds
	std::int64_t offset() const { return offset_; }

	// First element of the block (null when there is none)
	T const * data() const { return data_; }
	T * data() { return data_; }

	T const * begin() const { return data_; }
	T * begin() { return data_; }
	T const * end() const { return data_ + size_; }
	T * end() { return data_ + size_; }

	static size_type size_of( size_type const s1 )
	{
		FARRAY_ASSERT_IN( s1 != npos, "farray/FArray.hh" );
		return s1;
	}

	// s1 * s2; a product beyond max_size is an assertion failure, never a wrap
	static size_type size_of( size_type const s1, size_type const s2 )
	{
		FARRAY_ASSERT_IN( s1 != npos, "farray/FArray.hh" );
		FARRAY_ASSERT_IN( s2 != npos, "farray/FArray.hh" );
		FARRAY_ASSERT_IN( ( s2 == 0 ) || ( s1 <= max_size / s2 ), "farray/FArray.hh" );
		return s1 * s2;
	}

protected:
	FArray() :
		capacity_( 0 ),
		data_( nullptr ),
		size_( 0 ),
		owner_( true ),
		offset_( 0 )
	{}

	// New block holding a's elements, read through the bounds-tested linear read
	FArray( FArray const & a ) :
		capacity_( size_of( a.size_ ) ),
		data_( allocate( capacity_ ) ),
		size_( capacity_ ),
		owner_( true ),
		offset_( a.offset_ )
	{
		for ( size_type i = 0; i < size_; ++i ) data_[ i ] = a[ i ];
	}

	// Element copy between arrays of equal counts
	FArray & operator =( FArray const & a )
	{
		if ( this != &a ) {
			FARRAY_ASSERT_IN( size_bounded(), "farray/FArray.hh" );
			FARRAY_ASSERT_IN( size_ == a.size_, "farray/FArray.hh" );
			std::copy( a.data_, a.data_ + size_, data_ );
		}
		return *this;
	}

	// Make the block hold size_a elements: a new (unfilled, or zeroed for
	// complex) block only when the count differs from the capacity
	void resize( size_type const size_a )
	{
		FARRAY_ASSERT_IN( owner_, "farray/FArray.hh" );
		FARRAY_ASSERT_IN( size_a != npos, "farray/FArray.hh" );
		if ( size_a != capacity_ ) {
			delete[] data_;
			data_ = nullptr;
			capacity_ = 0;
			size_ = 0;
			data_ = allocate( size_a );
			capacity_ = size_a;
		}
		size_ = size_a;
	}

	static T * allocate( size_type const n )
	{
		if ( n == 0 ) return nullptr;
		if constexpr ( std::is_arithmetic< T >::value ) {
			return new T[ n ]; // not filled
		} else {
			return new T[ n ](); // value-initialized: complex elements 0 + 0i
		}
	}

	size_type capacity_;
	T * data_;
	size_type size_;
	bool owner_;
	std::int64_t offset_;
};

} // farray

#endif
