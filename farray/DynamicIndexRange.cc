#include "farray/DynamicIndexRange.hh"
#include "farray/Dimension.hh"
#include "farray/DimensionExpressionCon.hh"
#include "farray/DimensionExpressionRef.hh"
#include "farray/DimensionExpressionSub.hh"

namespace farray {

namespace {
char const * const dyn_file = "farray/DynamicIndexRange.cc";
}

DynamicIndexRange::DynamicIndexRange( DynamicIndexRange const & I ) :
	IndexRange( I ),
	ObserverSingle( I ),
	l_dim_p_( I.l_dim_clone() ),
	u_dim_p_( I.u_dim_clone() )
{
	if ( l_dim_p_ ) l_dim_p_->insert_observer( *this );
	if ( u_dim_p_ ) u_dim_p_->insert_observer( *this );
	check_legal_dynamic();
}

DynamicIndexRange::DynamicIndexRange( Dimension const & l_dim, Star const & ) :
	IndexRange(), ObserverSingle(), l_dim_p_( nullptr ), u_dim_p_( nullptr )
{
	follow_unbounded( new Dimension( l_dim ) );
}

DynamicIndexRange::DynamicIndexRange( DimensionExpression const & exp, Star const & ) :
	IndexRange(), ObserverSingle(), l_dim_p_( nullptr ), u_dim_p_( nullptr )
{
	follow_unbounded( new Dimension( exp ) );
}

DynamicIndexRange::~DynamicIndexRange()
{
	delete l_dim_p_;
	delete u_dim_p_;
}

void
DynamicIndexRange::follow_unbounded( Dimension * dim_p )
{
	l_dim_p_ = dim_p;
	int const v = l_dim_p_->zvalue();
	follow_l_dim_minus_2();
	l_dim_p_->insert_observer( *this );
	l_ = v;
	u_ = v - 2;
	size_ = npos;
	check_legal_dynamic();
	zero_size_if_uninitialized();
}

void
DynamicIndexRange::follow_l_dim_minus_2()
{
	DimensionExpressionSub const minus_2( new DimensionExpressionRef( *l_dim_p_ ), new DimensionExpressionCon( 2 ) );
	u_dim_p_ = new Dimension( minus_2 );
	u_dim_p_->insert_observer( *this );
}

void
DynamicIndexRange::drop_l_dim()
{
	if ( l_dim_p_ ) {
		// An upper bound defined as (lower - 2) would be left referring to
		// nothing: it becomes a fixed * as well
		if ( u_dim_p_ && l_dim_p_->observers_p() && l_dim_p_->observers().count( u_dim_p_ ) ) drop_u_dim();
		delete l_dim_p_;
		l_dim_p_ = nullptr;
	}
}

void
DynamicIndexRange::drop_u_dim()
{
	delete u_dim_p_;
	u_dim_p_ = nullptr;
}

bool
DynamicIndexRange::l_initialized() const
{
	return ( ! l_dim_p_ ) || l_dim_p_->initialized();
}

bool
DynamicIndexRange::u_initialized() const
{
	return ( ! u_dim_p_ ) || u_dim_p_->initialized();
}

// Assignment /////////////////////////////////////////////////////////////////

DynamicIndexRange &
DynamicIndexRange::operator =( DynamicIndexRange const & I )
{
	if ( this != &I ) {
		assign_no_notify( I );
		notify();
	}
	return *this;
}

DynamicIndexRange &
DynamicIndexRange::operator =( IndexRange const & I )
{
	if ( this != &I ) {
		assign_no_notify( I );
		notify();
	}
	return *this;
}

DynamicIndexRange &
DynamicIndexRange::operator =( int const u )
{
	return assign( u );
}

DynamicIndexRange &
DynamicIndexRange::operator =( Star const & s )
{
	return assign( s );
}

DynamicIndexRange &
DynamicIndexRange::assign( int const u )
{
	drop_dims();
	IndexRange::assign( u );
	FARRAY_ASSERT_IN( legal_static(), dyn_file );
	notify();
	return *this;
}

DynamicIndexRange &
DynamicIndexRange::assign( Star const & s )
{
	drop_dims();
	IndexRange::assign( s );
	notify();
	return *this;
}

DynamicIndexRange &
DynamicIndexRange::assign( int const l, int const u )
{
	drop_dims();
	IndexRange::assign( l, u );
	FARRAY_ASSERT_IN( legal_static(), dyn_file );
	notify();
	return *this;
}

DynamicIndexRange &
DynamicIndexRange::assign( int const l, Star const & s )
{
	assign_no_notify( l, s );
	notify();
	return *this;
}

DynamicIndexRange &
DynamicIndexRange::assign( Dimension const & l_dim, Star const & )
{
	drop_dims();
	follow_unbounded( new Dimension( l_dim ) );
	notify();
	return *this;
}

DynamicIndexRange &
DynamicIndexRange::assign( DimensionExpression const & exp, Star const & )
{
	drop_dims();
	follow_unbounded( new Dimension( exp ) );
	notify();
	return *this;
}

DynamicIndexRange &
DynamicIndexRange::assign_no_notify( IndexRange const & I )
{
	if ( this == &I ) return *this;
	drop_dims();
	l_dim_p_ = I.l_dim_clone();
	u_dim_p_ = I.u_dim_clone();
	if ( l_dim_p_ ) l_dim_p_->insert_observer( *this );
	if ( u_dim_p_ ) u_dim_p_->insert_observer( *this );
	l_ = I.l_raw();
	u_ = I.u_raw();
	size_ = I.size();
	check_legal_dynamic();
	return *this;
}

DynamicIndexRange &
DynamicIndexRange::assign_no_notify( DynamicIndexRange const & I )
{
	if ( this == &I ) return *this;
	if ( ( ! l_dim_p_ ) && ( ! u_dim_p_ ) && ( ! I.l_dim_p_ ) && ( ! I.u_dim_p_ ) ) {
		// Fixed bounds on both sides, the arrays' everyday case
		l_ = I.l_;
		u_ = I.u_;
		size_ = I.size_;
		check_legal_dynamic();
		return *this;
	}
	return assign_no_notify( static_cast< IndexRange const & >( I ) );
}

DynamicIndexRange &
DynamicIndexRange::assign_no_notify( int const l, Star const & s )
{
	drop_dims();
	IndexRange::assign( l, s );
	FARRAY_ASSERT_IN( legal_static(), dyn_file );
	return *this;
}

// Bound setters //////////////////////////////////////////////////////////////

DynamicIndexRange &
DynamicIndexRange::l( int const i )
{
	l_no_notify( i );
	notify();
	return *this;
}

DynamicIndexRange &
DynamicIndexRange::u( int const i )
{
	u_no_notify( i );
	notify();
	return *this;
}

DynamicIndexRange &
DynamicIndexRange::u( Star const & s )
{
	u_no_notify( s );
	notify();
	return *this;
}

DynamicIndexRange &
DynamicIndexRange::l_no_notify( int const i )
{
	drop_l_dim();
	bool const was_unbounded = ( u_ == l_ - 2 );
	IndexRange::l( i );
	if ( was_unbounded ) size_ = npos; // size may have been 0 while uninitialized
	check_legal_dynamic();
	zero_size_if_uninitialized();
	return *this;
}

DynamicIndexRange &
DynamicIndexRange::u_no_notify( int const i )
{
	drop_u_dim();
	IndexRange::u( i );
	check_legal_dynamic();
	zero_size_if_uninitialized();
	return *this;
}

DynamicIndexRange &
DynamicIndexRange::u_no_notify( Star const & s )
{
	drop_u_dim();
	if ( l_dim_p_ ) follow_l_dim_minus_2();
	IndexRange::u( s );
	check_legal_dynamic();
	zero_size_if_uninitialized();
	return *this;
}

// Growing and shrinking //////////////////////////////////////////////////////

void
DynamicIndexRange::check_dims_initialized() const
{
	FARRAY_ASSERT_TEXT( ( l_dim_p_ ? l_dim_p_->initialized() : true ) && ( u_dim_p_ ? u_dim_p_->initialized() : true ),
		"( l_dim_p_ ? l_dim_p_->initialized_ : true ) && ( u_dim_p_ ? u_dim_p_->initialized_ : true )", dyn_file );
}

bool
DynamicIndexRange::do_contain( int const i )
{
	check_dims_initialized();
	int const l0 = l_, u0 = u_;
	if ( u_ >= l_ - 1 ) { // bounded: only the bound that moves stops following
		if ( i < l_ ) l_no_notify( i );
		if ( i > u_ ) u_no_notify( i );
	} else if ( i < l_ ) { // unbounded
		assign_no_notify( i, star );
		return true;
	}
	check_legal_dynamic();
	return ( l_ != l0 ) || ( u_ != u0 );
}

bool
DynamicIndexRange::do_contain( IndexRange const & I )
{
	check_dims_initialized();
	FARRAY_ASSERT_IN( I.initialized(), dyn_file );
	int const l0 = l_, u0 = u_;
	if ( I.positive() ) {
		if ( u_ >= l_ - 1 ) { // bounded
			if ( I.l_raw() < l_ ) l_no_notify( I.l_raw() );
			if ( I.u_raw() > u_ ) u_no_notify( I.u_raw() );
		} else if ( I.l_raw() < l_ ) { // unbounded: stays unbounded
			l_no_notify( I.l_raw() );
		}
	}
	check_legal_dynamic();
	return ( l_ != l0 ) || ( u_ != u0 );
}

bool
DynamicIndexRange::do_intersect( IndexRange const & I )
{
	check_dims_initialized();
	FARRAY_ASSERT_IN( I.initialized(), dyn_file );
	int const l0 = l_, u0 = u_;
	if ( ! intersects( I ) ) { // empty at its own lower bound
		u_no_notify( l_ - 1 );
	} else if ( IndexRange::positive() ) {
		if ( I.l_raw() > l_ ) l_no_notify( I.l_raw() );
		if ( I.positive() && ( I.u_raw() < u_ ) ) u_no_notify( I.u_raw() );
	} else { // unbounded
		if ( I.l_raw() > l_ ) l_no_notify( I.l_raw() );
		if ( ! I.unbounded() ) u_no_notify( I.u_raw() );
	}
	check_legal_dynamic();
	return ( l_ != l0 ) || ( u_ != u0 );
}

DynamicIndexRange &
DynamicIndexRange::contain( int const i )
{
	do_contain( i );
	notify();
	return *this;
}

DynamicIndexRange &
DynamicIndexRange::contain( IndexRange const & I )
{
	do_contain( I );
	notify();
	return *this;
}

DynamicIndexRange &
DynamicIndexRange::intersect( IndexRange const & I )
{
	do_intersect( I );
	notify();
	return *this;
}

DynamicIndexRange &
DynamicIndexRange::contain_nic( int const i )
{
	if ( do_contain( i ) ) notify();
	return *this;
}

DynamicIndexRange &
DynamicIndexRange::contain_nic( IndexRange const & I )
{
	if ( do_contain( I ) ) notify();
	return *this;
}

DynamicIndexRange &
DynamicIndexRange::intersect_nic( IndexRange const & I )
{
	if ( do_intersect( I ) ) notify();
	return *this;
}

DynamicIndexRange &
DynamicIndexRange::clear()
{
	drop_dims();
	IndexRange::clear();
	notify();
	return *this;
}

// Followed dimensions ////////////////////////////////////////////////////////

namespace {

Dimension *
clone_dim( Dimension const * dim_p )
{
	if ( ! dim_p ) return nullptr;
	if ( ! dim_p->exp_p() ) return new Dimension();
	return new Dimension( *dim_p->exp_p() ); // registers with what the expression refers to
}

}

Dimension *
DynamicIndexRange::l_dim_clone() const
{
	return clone_dim( l_dim_p_ );
}

Dimension *
DynamicIndexRange::u_dim_clone() const
{
	return clone_dim( u_dim_p_ );
}

void
DynamicIndexRange::update()
{
	if ( l_dim_p_ ) {
		bool const was_unbounded = ( u_ == l_ - 2 );
		l_ = l_dim_p_->zvalue();
		if ( was_unbounded ) {
			u_ = l_ - 2;
			size_ = npos;
		} else {
			size_ = sized( l_, u_ );
		}
	}
	if ( u_dim_p_ ) {
		u_ = u_dim_p_->zvalue();
		size_ = sized( l_, u_ );
	}
	if ( ! legal_static() ) {
		if ( l_dim_p_ && ( ! l_dim_p_->initialized() ) ) {
			size_ = 0;
			return;
		}
		if ( ! ( u_dim_p_ && ( ! u_dim_p_->initialized() ) ) ) {
			FARRAY_ASSERT_TEXT( false, "legal_dynamic()", dyn_file );
		}
	}
	zero_size_if_uninitialized();
}

} // farray
