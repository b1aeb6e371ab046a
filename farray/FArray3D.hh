#ifndef INCLUDED_farray_FArray3D_hh
#define INCLUDED_farray_FArray3D_hh

// Three-dimensional column-major array with an index range per dimension.
//
// Element (i1,i2,i3) has the linear index ( i3 * e2_ + i2 ) * e1_ + i1, in 64-bit
// arithmetic, and lives at block position linear index - offset_; the first
// index runs fastest. For loops that must vectorise, data() gives the block
// itself (positions 0 .. size()-1). The array observes its three
// ranges: a range changed on its own re-sizes the array. Indexing checks each
// index against its range (one comparison per index) in every build.

#include "farray/FArray.hh"
#include "farray/FArrayInitializer.hh"
#include "farray/DynamicIndexRange.hh"
#include "farray/ObserverMulti.hh"

#include <complex>
#include <cstdint>

namespace farray {

// Three-dimensional interface
template< typename T >
class FArray3 : public FArray< T >
{
public:
	using size_type = typename FArray< T >::size_type;

	virtual bool contains( int const i1, int const i2, int const i3 ) const
	{
		return I1().contains( i1 ) && I2().contains( i2 ) && I3().contains( i3 );
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

	// Extents
	size_type size1() const { return e1_; }
	size_type size2() const { return e2_; }
	virtual size_type size3() const = 0;

	virtual FArray3 & dimension_assign( IndexRange const & I1, IndexRange const & I2, IndexRange const & I3 ) = 0;

	void clear() override
	{
		FArray< T >::clear();
		e1_ = e2_ = 0;
	}

protected:
	FArray3() : FArray< T >(), e1_( 0 ), e2_( 0 ) {}
	FArray3( FArray3 const & a ) : FArray< T >( a ), e1_( a.e1_ ), e2_( a.e2_ ) {}

	size_type e1_;
	size_type e2_;
};

template< typename T >
class FArray3D final : public FArray3< T >, public ObserverMulti
{
	using Super = FArray3< T >;
	using Base = FArray< T >;
	using Initializer = FArrayInitializer< T, FArray3D >;
	using Base::capacity_;
	using Base::data_;
	using Base::size_;
	using Base::owner_;
	using Base::offset_;
	using Super::e1_;
	using Super::e2_;

public:
	using size_type = typename Base::size_type;
	using Base::operator [];

	// Empty: ranges [1,0], no block
	FArray3D() { insert_as_observer(); }

	FArray3D( FArray3D const & a ) :
		Super( a ),
		ObserverMulti(),
		I1_( a.I1_ ), I2_( a.I2_ ), I3_( a.I3_ )
	{
		insert_as_observer();
	}

	FArray3D( DynamicIndexRange const & I1, DynamicIndexRange const & I2, DynamicIndexRange const & I3 )
	{
		insert_as_observer();
		dimension( I1, I2, I3 );
	}

	// Sized and filled with v; the fill is re-applied whenever a range re-sizes the array
	FArray3D( DynamicIndexRange const & I1, DynamicIndexRange const & I2, DynamicIndexRange const & I3, T const & v )
	{
		insert_as_observer();
		dimension( I1, I2, I3 );
		init_ = Initializer( v );
		initialize();
	}

	~FArray3D() override = default;

	FArray3D & operator =( FArray3D const & a )
	{
		if ( this != &a ) {
			if ( ! ( ( I1_ == a.I1_ ) && ( I2_ == a.I2_ ) && ( I3_ == a.I3_ ) ) ) dimension( a.I1_, a.I2_, a.I3_ );
			Base::operator =( a );
		}
		return *this;
	}

	FArray3D & operator =( T const & v )
	{
		Base::operator =( v );
		return *this;
	}

	// Re-dimension: ranges taken without notification, one sizing step, then
	// the array's own observers are notified
	FArray3D & dimension( DynamicIndexRange const & I1, DynamicIndexRange const & I2, DynamicIndexRange const & I3 )
	{
		init_.clear();
		I1_.assign_no_notify( I1 );
		I2_.assign_no_notify( I2 );
		I3_.assign_no_notify( I3 );
		dimension_real();
		notify();
		return *this;
	}

	FArray3D & dimension_assign( IndexRange const & I1, IndexRange const & I2, IndexRange const & I3 ) override
	{
		init_.clear();
		I1_.assign_no_notify( I1 );
		I2_.assign_no_notify( I2 );
		I3_.assign_no_notify( I3 );
		dimension_real();
		notify();
		return *this;
	}

	// Element (i1,i2,i3)
	T const & operator ()( int const i1, int const i2, int const i3 ) const
	{
		check_indices( i1, i2, i3 );
		return data_[ linear( i1, i2, i3 ) - offset_ ];
	}

	T & operator ()( int const i1, int const i2, int const i3 )
	{
		check_indices( i1, i2, i3 );
		return data_[ linear( i1, i2, i3 ) - offset_ ];
	}

	// Element at block position i (0-based, column-major)
	T & operator []( size_type const i )
	{
		FARRAY_ASSERT_IN( i < size_, "farray/FArray3D.hh" );
		return data_[ i ];
	}

	T const & operator []( size_type const i ) const
	{
		FARRAY_ASSERT_IN( i < size_, "farray/FArray3D.hh" );
		return data_[ i ];
	}

	bool contains( int const i1, int const i2, int const i3 ) const override
	{
		return I1_.contains( i1 ) && I2_.contains( i2 ) && I3_.contains( i3 );
	}

	bool dimensions_initialized() const override
	{
		return I1_.initialized() && I2_.initialized() && I3_.initialized();
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
	size_type size3() const override { return I3_.size(); }

	// Back to the empty state: no block, ranges [1,0], initializer inactive
	void clear() override
	{
		Super::clear();
		I1_.assign_no_notify( IndexRange() );
		I2_.assign_no_notify( IndexRange() );
		I3_.assign_no_notify( IndexRange() );
		init_.clear();
		notify();
	}

	FArray3D & to_default() override
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
		if ( dimensions_initialized() ) {
			this->resize( Base::size_of( Base::size_of( e1_, e2_ ), I3_.size() ) );
			offset_ = ( std::int64_t( I3_.l_raw() ) * std::int64_t( e2_ ) + I2_.l_raw() ) * std::int64_t( e1_ ) + I1_.l_raw();
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

	void check_indices( int const i1, int const i2, int const i3 ) const
	{
		FARRAY_ASSERT_TEXT( I1_.contains_sized( i1 ) & I2_.contains_sized( i2 ) & I3_.contains_sized( i3 ),
			"( I1_.contains( i1 ) ) && ( I2_.contains( i2 ) ) && ( I3_.contains( i3 ) )", "farray/FArray3D.hh" );
	}

	std::int64_t linear( int const i1, int const i2, int const i3 ) const
	{
		return ( std::int64_t( i3 ) * std::int64_t( e2_ ) + i2 ) * std::int64_t( e1_ ) + i1;
	}

	DynamicIndexRange I1_;
	DynamicIndexRange I2_;
	DynamicIndexRange I3_;
	Initializer init_;
};

extern template class FArray3D< double >;
extern template class FArray3D< float >;
extern template class FArray3D< std::complex< double > >;

} // farray

#endif
