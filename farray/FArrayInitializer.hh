#ifndef INCLUDED_farray_FArrayInitializer_hh
#define INCLUDED_farray_FArrayInitializer_hh

// Fill rule an array re-applies after it is re-sized by one of its ranges:
// inactive, a value, or a function called with the array.

#include "farray/assert.hh"

namespace farray {

template< typename T, template< typename > class Array >
class FArrayInitializer
{
public:
	enum State { INACTIVE = 0, VALUE = 1, FUNCTION = 2 };

	using Function = void (*)( Array< T > & );

	FArrayInitializer() : state_( INACTIVE ), fill_value_(), fill_function_( nullptr ) {}

	explicit FArrayInitializer( T const & value ) : state_( VALUE ), fill_value_( value ), fill_function_( nullptr ) {}

	explicit FArrayInitializer( Function function ) : state_( function ? FUNCTION : INACTIVE ), fill_value_(), fill_function_( function ) {}

	bool active() const { return state_ != INACTIVE; }
	bool is_value() const { return state_ == VALUE; }
	bool is_function() const { return state_ == FUNCTION; }

	T const & value() const
	{
		FARRAY_ASSERT_IN( state_ == VALUE, "farray/FArrayInitializer.hh" );
		return fill_value_;
	}

	Function function() const { return fill_function_; }

	void clear()
	{
		state_ = INACTIVE;
		fill_value_ = T();
		fill_function_ = nullptr;
	}

private:
	State state_;
	T fill_value_;
	Function fill_function_;
};

} // farray

#endif
