#ifndef INCLUDED_farray_FArray4D_hh
#define INCLUDED_farray_FArray4D_hh

// Four-dimensional column-major array with an index range per dimension.
//
// Element (i1,i2,i3,i4) has the linear index ( ( i4 * e3_ + i3 ) * e2_ + i2 ) * e1_ + i1
// in 64-bit arithmetic; the first index runs fastest. Otherwise as FArray3D.

#include "farray/FArray.hh"
#include "farray/FArrayInitializer.hh"
#include "farray/DynamicIndexRange.hh"
#include "farray/ObserverMulti.hh"

#include <cstdint>

namespace farray {

// Four-dimensional interface
template< typename T >
class FArray4 : public FArray< T >
{
public:
	using size_type = typename FArray< T >::size_type;

	virtual bool contains( int const i1, int const i2, int const i3, int const i4 ) const
	{
		return I1().contains( i1 ) && I2().contains( i2 ) && I3().contains( i3 ) && I4().contains( i4 );
	}

	virtual IndexRange const & I1() const = 0;
	virtual int l1() const = 0;
	virtual int u1() const = 0;
	virtual IndexRange const & I2() const = 0;
	virtual int l2() const = 0;
	virtual int u2() const = 0;
	virtual IndexRange const & I3() const = 0;
	virtual int l3() const = 0;
	virtual int u3() const = 0;
	virtual IndexRange const & I4() const = 0;
	virtual int l4() const = 0;
	virtual int u4() const = 0;

	// Extents
	size_type size1() const { return e1_; }
	size_type size2() const { return e2_; }
	size_type size3() const { return e3_; }
	virtual size_type size4() const = 0;

	virtual FArray4 & dimension_assign( IndexRange const & I1, IndexRange const & I2, IndexRange const & I3, IndexRange const & I4 ) = 0;

	void clear() override
	{
		FArray< T >::clear();
		e1_ = e2_ = e3_ = 0;
	}

protected:
	FArray4() : FArray< T >(), e1_( 0 ), e2_( 0 ), e3_( 0 ) {}
	FArray4( FArray4 const & a ) : FArray< T >( a ), e1_( a.e1_ ), e2_( a.e2_ ), e3_( a.e3_ ) {}

	size_type e1_;
	size_type e2_;
	size_type e3_;
};

template< typename T >
class FArray4D final : public FArray4< T >, public ObserverMulti
{
	using Super = FArray4< T >;
	using Base = FArray< T >;
	using Initializer = FArrayInitializer< T, FArray4D >;
	using Base::capacity_;
	using Base::data_;
	using Base::size_;
	using Base::owner_;
	using Base::offset_;
	using Super::e1_;
	using Super::e2_;
	using Super::e3_;

public:
	using size_type = typename Base::size_type;
	using Base::operator [];

	// Empty: ranges [1,0], no block
	FArray4D() { insert_as_observer(); }

	FArray4D( FArray4D const & a ) :
		Super( a ),
		ObserverMulti(),
		I1_( a.I1_ ), I2_( a.I2_ ), I3_( a.I3_ ), I4_( a.I4_ )
	{
		insert_as_observer();
	}

	FArray4D( DynamicIndexRange const & I1, DynamicIndexRange const & I2, DynamicIndexRange const & I3, DynamicIndexRange const & I4 )
	{
		insert_as_observer();
		dimension( I1, I2, I3, I4 );
	}

	// Sized and filled with v; the fill is re-applied whenever a range re-sizes the array
	FArray4D( DynamicIndexRange const & I1, DynamicIndexRange const & I2, DynamicIndexRange const & I3, DynamicIndexRange const & I4, T const & v )
	{
		insert_as_observer();
		dimension( I1, I2, I3, I4 );
		init_ = Initializer( v );
		initialize();
	}

	~FArray4D() override = default;

	FArray4D & operator =( FArray4D const & a )
	{
		if ( this != &a ) {
			if ( ! ( ( I1_ == a.I1_ ) && ( I2_ == a.I2_ ) && ( I3_ == a.I3_ ) && ( I4_ == a.I4_ ) ) ) {
				dimension( a.I1_, a.I2_, a.I3_, a.I4_ );
			}
			Base::operator =( a );
		}
		return *this;
	}

	FArray4D & operator =( T const & v )
	{
		Base::operator =( v );
		return *this;
	}

	// Re-dimension: ranges taken without notification, one sizing step, then
	// the array's own observers are notified
	FArray4D & dimension( DynamicIndexRange const & I1, DynamicIndexRange const & I2, DynamicIndexRange const & I3, DynamicIndexRange const & I4 )
	{
		init_.clear();
		I1_.assign_no_notify( I1 );
		I2_.assign_no_notify( I2 );
		I3_.assign_no_notify( I3 );
		I4_.assign_no_notify( I4 );
		dimension_real();
		notify();
		return *this;
	}

	FArray4D & dimension_assign( IndexRange const & I1, IndexRange const & I2, IndexRange const & I3, IndexRange const & I4 ) override
	{
		init_.clear();
		I1_.assign_no_notify( I1 );
		I2_.assign_no_notify( I2 );
		I3_.assign_no_notify( I3 );
		I4_.assign_no_notify( I4 );
		dimension_real();
		notify();
		return *this;
	}

	// Element (i1,i2,i3,i4)
	T const & operator ()( int const i1, int const i2, int const i3, int const i4 ) const
	{
		check_indices( i1, i2, i3, i4 );
		return data_[ linear( i1, i2, i3, i4 ) - offset_ ];
	}

	T & operator ()( int const i1, int const i2, int const i3, int const i4 )
	{
		check_indices( i1, i2, i3, i4 );
		return data_[ linear( i1, i2, i3, i4 ) - offset_ ];
	}

	// Element at block position i (0-based, column-major)
	T & operator []( size_type const i )
	{
		FARRAY_ASSERT_IN( i < size_, "farray/FArray4D.hh" );
		return data_[ i ];
	}

	T const & operator []( size_type const i ) const
	{
		FARRAY_ASSERT_IN( i < size_, "farray/FArray4D.hh" );
		return data_[ i ];
	}

	bool contains( int const i1, int const i2, int const i3, int const i4 ) const override
	{
		return I1_.contains( i1 ) && I2_.contains( i2 ) && I3_.contains( i3 ) && I4_.contains( i4 );
	}

	bool dimensions_initialized() const override
	{
		return I1_.initialized() && I2_.initialized() && I3_.initialized() && I4_.initialized();
	}

	bool initializer_active() const override { return init_.active(); }

	DynamicIndexRange const & I1() const override { return I1_; }
	int l1() const override { return I1_.l(); }
	int u1() const override { return I1_.u(); }
	DynamicIndexRange const & I2() const override { return I2_; }
	int l2() const override { return I2_.l(); }
	int u2() const override { return I2_.u(); }
	DynamicIndexRange const & I3() const override { return I3_; }
	int l3() const override { return I3_.l(); }
	int u3() const override { return I3_.u(); }
	DynamicIndexRange const & I4() const override { return I4_; }
	int l4() const override { return I4_.l(); }
	int u4() const override { return I4_.u(); }
	size_type size4() const override { return I4_.size(); }

	// Back to the empty state: no block, ranges [1,0], initializer inactive
	void clear() override
	{
		Super::clear();
		I1_.assign_no_notify( IndexRange() );
		I2_.assign_no_notify( IndexRange() );
		I3_.assign_no_notify( IndexRange() );
		I4_.assign_no_notify( IndexRange() );
		init_.clear();
		notify();
	}

	FArray4D & to_default() override
	{
		Base::to_default();
		return *this;
	}

	// A range changed: re-size, then re-apply an active initializer
	void update() override
	{
		dimension_real();
		initialize();
	}

	void destructed( Observer const & ) override {}

	// Sizing step without notification
	void dimension_real()
	{
		e1_ = I1_.size();
		e2_ = I2_.size();
		e3_ = I3_.size();
		if ( dimensions_initialized() ) {
			this->resize( Base::size_of( Base::size_of( e1_, e2_ ), Base::size_of( e3_, I4_.size() ) ) );
			offset_ = ( ( std::int64_t( I4_.l_raw() ) * std::int64_t( e3_ ) + I3_.l_raw() ) * std::int64_t( e2_ ) + I2_.l_raw() ) * std::int64_t( e1_ ) + I1_.l_raw();
		} else { // a bound waits for a Dimension without a value
			Base::clear();
		}
	}

private:
	void insert_as_observer()
	{
		I1_.insert_observer( *this );
		I2_.insert_observer( *this );
		I3_.insert_observer( *this );
		I4_.insert_observer( *this );
	}

	void initialize()
	{
		if ( init_.active() && dimensions_initialized() ) {
			if ( init_.is_value() ) {
				Base::operator =( init_.value() );
			} else if ( init_.function() ) {
				init_.function()( *this );
			}
		}
	}

	void check_indices( int const i1, int const i2, int const i3, int const i4 ) const
	{
		FARRAY_ASSERT_TEXT( I1_.contains_sized( i1 ) & I2_.contains_sized( i2 ) & I3_.contains_sized( i3 ) & I4_.contains_sized( i4 ),
			"( I1_.contains( i1 ) ) && ( I2_.contains( i2 ) ) && ( I3_.contains( i3 ) ) && ( I4_.contains( i4 ) )", "farray/FArray4D.hh" );
	}

	std::int64_t linear( int const i1, int const i2, int const i3, int const i4 ) const
	{
		return ( ( std::int64_t( i4 ) * std::int64_t( e3_ ) + i3 ) * std::int64_t( e2_ ) + i2 ) * std::int64_t( e1_ ) + i1;
	}

	DynamicIndexRange I1_;
	DynamicIndexRange I2_;
	DynamicIndexRange I3_;
	DynamicIndexRange I4_;
	Initializer init_;
};

extern template class FArray4D< double >;

} // farray

#endif
