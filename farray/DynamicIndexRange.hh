#ifndef INCLUDED_farray_DynamicIndexRange_hh
#define INCLUDED_farray_DynamicIndexRange_hh

// Index range held by an array dimension: an IndexRange that notifies its one
// observer (the owning array) when it changes, and whose bounds may follow
// Dimension objects. Each followed bound keeps a private Dimension that refers
// to the user's Dimension; a lower bound following a Dimension with the upper
// end * keeps u == l-2 by an upper Dimension defined as (lower - 2).
//
// Setters come in three forms: notifying, _no_notify (an array sets all its
// ranges and notifies once), and _nic (notify only if a bound changed).

#include "farray/IndexRange.hh"
#include "farray/ObserverSingle.hh"

namespace farray {

class Dimension;
class DimensionExpression;

class DynamicIndexRange : public IndexRange, public ObserverSingle
{
public:
	// [1,0]
	DynamicIndexRange() noexcept : IndexRange(), ObserverSingle(), l_dim_p_( nullptr ), u_dim_p_( nullptr ) {}

	// [1,u]; u == -1 gives [1,*]
	DynamicIndexRange( int const u ) :
		IndexRange( u ), ObserverSingle(), l_dim_p_( nullptr ), u_dim_p_( nullptr )
	{
		FARRAY_ASSERT_IN( legal_static(), "farray/DynamicIndexRange.hh" );
	}

	// Copy: bounds copied, followed dimensions cloned, no observer
	DynamicIndexRange( DynamicIndexRange const & I );

	// [d,*]: the lower bound follows d
	DynamicIndexRange( Dimension const & l_dim, Star const & );

	// [e,*]: the lower bound follows the expression e
	DynamicIndexRange( DimensionExpression const & exp, Star const & );

	~DynamicIndexRange() override;

	DynamicIndexRange & operator =( DynamicIndexRange const & I );
	DynamicIndexRange & operator =( IndexRange const & I );

	DynamicIndexRange & operator =( int u ) override;
	DynamicIndexRange & operator =( Star const & ) override;
	DynamicIndexRange & assign( int u ) override;
	DynamicIndexRange & assign( Star const & ) override;
	DynamicIndexRange & assign( int l, int u ) override;
	DynamicIndexRange & assign( int l, Star const & ) override;
	DynamicIndexRange & assign( Dimension const & l_dim, Star const & );
	DynamicIndexRange & assign( DimensionExpression const & exp, Star const & );

	bool initialized() const override { return l_initialized() && u_initialized(); }
	bool l_initialized() const override;
	bool u_initialized() const override;

	bool legal() const override { return legal_dynamic(); }
	bool bounded() const override { return initialized() && IndexRange::bounded(); }
	bool unbounded() const override { return initialized() && IndexRange::unbounded(); }
	bool not_unbounded() const override { return ( ! initialized() ) || IndexRange::not_unbounded(); }
	bool positive() const override { return initialized() && IndexRange::positive(); }

	bool contains( int const i ) const override { return initialized() && IndexRange::contains( i ); }
	bool contains( IndexRange const & I ) const override { return initialized() && IndexRange::contains( I ); }
	bool intersects( IndexRange const & I ) const override { return initialized() && IndexRange::intersects( I ); }

	using IndexRange::l;
	using IndexRange::u;

	DynamicIndexRange & l( int i ) override;
	DynamicIndexRange & u( int i ) override;
	DynamicIndexRange & u( Star const & ) override;

	DynamicIndexRange & contain( int i ) override;
	DynamicIndexRange & contain( IndexRange const & I ) override;
	DynamicIndexRange & intersect( IndexRange const & I ) override;

	DynamicIndexRange & clear() override;

	Dimension * l_dim_clone() const override;
	Dimension * u_dim_clone() const override;

	// A followed Dimension changed (called by the notification pass)
	void update() override;

	void destructed( Observer const & ) override {}

	// Take I's bounds and followed dimensions without notifying
	DynamicIndexRange & assign_no_notify( IndexRange const & I );
	DynamicIndexRange & assign_no_notify( DynamicIndexRange const & I );
	DynamicIndexRange & assign_no_notify( int l, Star const & );

	DynamicIndexRange & l_no_notify( int i );
	DynamicIndexRange & u_no_notify( int i );
	DynamicIndexRange & u_no_notify( Star const & );

	DynamicIndexRange & contain_nic( int i );
	DynamicIndexRange & contain_nic( IndexRange const & I );
	DynamicIndexRange & intersect_nic( IndexRange const & I );

	bool legal_dynamic() const { return legal_static() || ( ! initialized() ); }

	// Dimensions followed by the bounds (null for fixed bounds)
	Dimension const * l_dim_p() const { return l_dim_p_; }
	Dimension const * u_dim_p() const { return u_dim_p_; }

private:
	void drop_l_dim();
	void drop_u_dim();
	void drop_dims() { drop_l_dim(); drop_u_dim(); }

	// The upper bound follows (lower Dimension - 2)
	void follow_l_dim_minus_2();

	// Lower bound follows dim (owned); upper bound follows it minus 2
	void follow_unbounded( Dimension * dim_p );

	void check_legal_dynamic() const
	{
		FARRAY_ASSERT_IN( legal_dynamic(), "farray/DynamicIndexRange.hh" );
	}

	void zero_size_if_uninitialized() { if ( ! initialized() ) size_ = 0; }

	void check_dims_initialized() const;

	// Change bodies shared by the notifying and _nic forms; true if a bound changed
	bool do_contain( int i );
	bool do_contain( IndexRange const & I );
	bool do_intersect( IndexRange const & I );

	Dimension * l_dim_p_;
	Dimension * u_dim_p_;
};

} // farray

#endif
