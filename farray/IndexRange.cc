#include "farray/IndexRange.hh"

#include <algorithm>
#include <istream>
#include <ostream>

namespace farray {

bool
IndexRange::contains( IndexRange const & I ) const
{
	if ( ! I.initialized() ) return false;
	if ( positive() ) {
		if ( I.positive() ) return ( l_ <= I.l_ ) && ( I.u_ <= u_ );
		if ( I.u_ == I.l_ - 1 ) return true; // empty
		return false; // unbounded
	} else if ( u_ == l_ - 1 ) { // empty
		return I.u_ == I.l_ - 1;
	} else { // unbounded
		return l_ <= I.l_;
	}
}

bool
IndexRange::intersects( IndexRange const & I ) const
{
	if ( ! I.initialized() ) return false;
	bool const I_positive = I.l_ <= I.u_;
	bool const I_empty = I.u_ == I.l_ - 1;
	if ( positive() ) {
		if ( I_positive ) return std::max( l_, I.l_ ) <= std::min( u_, I.u_ );
		if ( I_empty ) return false;
		return I.l_ <= u_;
	} else if ( u_ == l_ - 1 ) { // empty
		return false;
	} else { // unbounded
		if ( I_positive ) return l_ <= I.u_;
		if ( I_empty ) return false;
		return true;
	}
}

IndexRange &
IndexRange::l( int const i )
{
	if ( u_ == l_ - 2 ) { // unbounded stays unbounded
		l_ = i;
		u_ = i - 2;
	} else {
		l_ = i;
		size_ = sized( i, u_ );
	}
	return *this;
}

IndexRange &
IndexRange::contain( int const i )
{
	if ( u_ == l_ - 2 ) { // unbounded
		if ( i < l_ ) {
			l_ = i;
			u_ = i - 2;
		}
	} else {
		l_ = std::min( l_, i );
		u_ = std::max( u_, i );
		size_ = sized( l_, u_ );
	}
	return *this;
}

IndexRange &
IndexRange::contain( IndexRange const & I )
{
	FARRAY_ASSERT_IN( I.initialized(), "farray/IndexRange.cc" );
	if ( ! I.positive() ) return *this;
	if ( u_ >= l_ - 1 ) { // bounded
		l_ = std::min( l_, I.l_ );
		u_ = std::max( u_, I.u_ );
		size_ = sized( l_, u_ );
	} else if ( I.l_ < l_ ) { // unbounded
		l_ = I.l_;
		u_ = I.l_ - 2;
	}
	return *this;
}

IndexRange &
IndexRange::intersect( IndexRange const & I )
{
	FARRAY_ASSERT_IN( I.initialized(), "farray/IndexRange.cc" );
	if ( ! intersects( I ) ) { // empty at its own lower bound
		u_ = l_ - 1;
		size_ = 0;
	} else if ( positive() ) {
		l_ = std::max( l_, I.l_ );
		if ( I.positive() && ( I.u_ < u_ ) ) u_ = I.u_;
		size_ = sized( l_, u_ );
	} else { // unbounded
		l_ = std::max( l_, I.l_ );
		if ( I.unbounded() ) {
			u_ = l_ - 2;
		} else {
			u_ = I.u_;
			size_ = sized( l_, u_ );
		}
	}
	return *this;
}

std::ostream &
operator <<( std::ostream & stream, IndexRange const & I )
{
	stream << '[' << I.l_raw() << ',' << I.u_raw() << ']';
	return stream;
}

std::istream &
operator >>( std::istream & stream, IndexRange & I )
{
	int l, u;
	stream >> l >> u;
	if ( stream ) I.assign( l, u );
	return stream;
}

} // farray
