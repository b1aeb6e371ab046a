#ifndef INCLUDED_utility_vectorL_hh
#define INCLUDED_utility_vectorL_hh

// Growable array whose first index is the compile-time constant L, with both
// bounds checked at every element access (vector0: first index 0, vector1:
// first index 1). A bad index never reaches the storage: the access writes
// the assertion report with its back-trace to standard error and aborts.
//
// The checks are inline (one comparison for L == 0, two otherwise); the
// report path is out of line.

#include "utility/backtrace.hh"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <vector>

namespace utility {

// Lower-bound test, compiled away when L == 0 (an unsigned index is never below 0)
template< bool >
struct vectorL_ZeroSelector
{
	template< typename S >
	static bool ge( S const i, std::int64_t const l ) { return static_cast< std::int64_t >( i ) >= l; }
};

template<>
struct vectorL_ZeroSelector< false >
{
	template< typename S >
	static bool ge( S const, std::int64_t const ) { return true; }
};

namespace vectorL_detail {

// Report a failed index check: the assertion report (or the one-shot throw),
// then the assertion failure of the whole check expression. Lines are those
// the report promises for each check.
[[noreturn]] void index_check_failed( char const * condition, int line, char const * function );

} // vectorL_detail

// Header path named in the reports
#define UTILITY_VECTORL_HEADER "utility/vectorL.hh"

#define UTILITY_VECTORL_CHECK( cond, line ) \
	( __builtin_expect( static_cast< bool >( cond ), 1 ) ? static_cast< void >( 0 ) : \
	::utility::vectorL_detail::index_check_failed( #cond, line, __PRETTY_FUNCTION__ ) )

template< std::int64_t L, typename T, typename A = std::allocator< T > >
class vectorL : private std::vector< T, A >
{
	using super = std::vector< T, A >;

public:
	using typename super::value_type;
	using typename super::reference;
	using typename super::const_reference;
	using typename super::pointer;
	using typename super::const_pointer;
	using typename super::iterator;
	using typename super::const_iterator;
	using typename super::reverse_iterator;
	using typename super::const_reverse_iterator;
	using typename super::size_type;
	using typename super::difference_type;
	using typename super::allocator_type;

	// Index base, as the check texts name it
	static constexpr std::int64_t l_ = L;

	vectorL() = default;

	explicit vectorL( size_type const n ) : super( n ) {}

	vectorL( size_type const n, T const & value ) : super( n, value ) {}

	template< typename InputIterator, typename = typename std::iterator_traits< InputIterator >::iterator_category >
	vectorL( InputIterator first, InputIterator last ) : super( first, last ) {}

	vectorL( std::initializer_list< T > values ) : super( values ) {}

	explicit vectorL( super const & v ) : super( v ) {}

	vectorL( vectorL const & ) = default;
	vectorL( vectorL && ) = default;

	virtual ~vectorL() = default;

	vectorL & operator =( vectorL const & ) = default;
	vectorL & operator =( vectorL && ) = default;

	vectorL & operator =( std::initializer_list< T > values )
	{
		super::operator =( values );
		return *this;
	}

	// Element of index i (first index L)
	const_reference operator []( size_type const i ) const
	{
		UTILITY_VECTORL_CHECK( vectorL_ZeroSelector< L != 0 >::ge( i, l_ ), 408 );
		UTILITY_VECTORL_CHECK( static_cast< size_type >( i - l_ ) < super::size(), 409 );
		return super::operator []( i - l_ );
	}

	reference operator []( size_type const i )
	{
		UTILITY_VECTORL_CHECK( vectorL_ZeroSelector< L != 0 >::ge( i, l_ ), 419 );
		UTILITY_VECTORL_CHECK( static_cast< size_type >( i - l_ ) < super::size(), 420 );
		return super::operator []( i - l_ );
	}

	// Lowest and highest valid index
	std::int64_t l() const { return l_; }
	std::int64_t u() const { return l_ + static_cast< std::int64_t >( super::size() ) - 1; }

	// The standard vector underneath
	super const & vector() const { return *this; }
	super & vector() { return *this; }

	using super::assign;
	using super::get_allocator;
	using super::at;
	using super::front;
	using super::back;
	using super::data;
	using super::begin;
	using super::cbegin;
	using super::end;
	using super::cend;
	using super::rbegin;
	using super::crbegin;
	using super::rend;
	using super::crend;
	using super::empty;
	using super::size;
	using super::max_size;
	using super::reserve;
	using super::capacity;
	using super::shrink_to_fit;
	using super::clear;
	using super::insert;
	using super::emplace;
	using super::erase;
	using super::push_back;
	using super::emplace_back;
	using super::pop_back;
	using super::resize;

	void swap( vectorL & v ) { super::swap( v ); }

	friend bool operator ==( vectorL const & a, vectorL const & b ) { return a.vector() == b.vector(); }
	friend bool operator !=( vectorL const & a, vectorL const & b ) { return a.vector() != b.vector(); }
	friend bool operator <( vectorL const & a, vectorL const & b ) { return a.vector() < b.vector(); }
};

// First index 0
template< typename T, typename A = std::allocator< T > >
class vector0 : public vectorL< 0, T, A >
{
	using super = vectorL< 0, T, A >;

public:
	using super::super;
	using typename super::size_type;

	vector0() = default;
	vector0( vector0 const & ) = default;
	vector0( vector0 && ) = default;
	~vector0() override = default;
	vector0 & operator =( vector0 const & ) = default;
	vector0 & operator =( vector0 && ) = default;
};

// First index 1
template< typename T, typename A = std::allocator< T > >
class vector1 : public vectorL< 1, T, A >
{
	using super = vectorL< 1, T, A >;

public:
	using super::super;
	using typename super::size_type;

	vector1() = default;
	vector1( vector1 const & ) = default;
	vector1( vector1 && ) = default;
	~vector1() override = default;
	vector1 & operator =( vector1 const & ) = default;
	vector1 & operator =( vector1 && ) = default;
};

} // utility

#endif
