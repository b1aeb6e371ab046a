// A plain (x, y, z) triple of doubles, the point type of the spline
// interpolation's vector forms.
#ifndef INCLUDED_numerics_xyzVector_hh
#define INCLUDED_numerics_xyzVector_hh

namespace numeric {

template< class T >
struct xyzVector {
	T x_, y_, z_;

	xyzVector() : x_( 0 ), y_( 0 ), z_( 0 ) {}
	xyzVector( T x, T y, T z ) : x_( x ), y_( y ), z_( z ) {}

	T & x() { return x_; }
	T & y() { return y_; }
	T & z() { return z_; }
	T const & x() const { return x_; }
	T const & y() const { return y_; }
	T const & z() const { return z_; }

	// 0-based component access: 0 = x, 1 = y, 2 = z.
	T & operator[]( int i ) { return i == 0 ? x_ : ( i == 1 ? y_ : z_ ); }
	T const & operator[]( int i ) const { return i == 0 ? x_ : ( i == 1 ? y_ : z_ ); }
};

} // namespace numeric

#endif
