#ifndef INCLUDED_farray_byte_hh
#define INCLUDED_farray_byte_hh

// One signed (-128 to 127) and one unsigned (0 to 255) 8-bit integer as
// value types, so that the formatting functions write and read them as
// numbers, never as characters. Made from an integer, they keep its low 8 bits.

namespace farray {

class byte
{
public:
	constexpr byte() noexcept : b_( 0 ) {}

	// The low 8 bits of i, as a two's complement value
	constexpr byte( int const i ) noexcept :
		b_( static_cast< signed char >( ( i & 0xFF ) >= 128 ? ( i & 0xFF ) - 256 : ( i & 0xFF ) ) )
	{}

	constexpr operator signed char() const noexcept { return b_; }

	// The numeric value
	constexpr int value() const noexcept { return b_; }

private:
	signed char b_;
};

class ubyte
{
public:
	constexpr ubyte() noexcept : b_( 0 ) {}

	// The low 8 bits of i
	constexpr ubyte( int const i ) noexcept : b_( static_cast< unsigned char >( i & 0xFF ) ) {}

	constexpr operator unsigned char() const noexcept { return b_; }

	// The numeric value
	constexpr int value() const noexcept { return b_; }

private:
	unsigned char b_;
};

} // farray

#endif
