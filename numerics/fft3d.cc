// Three-dimensional FFTs over FArray3D.
//
// The column-major block of an FArray3D is transformed in place, one axis
// after the other (third index first, then second, then first), by the
// batched line transforms with plans cached per length.  The last two axes
// are done plane by plane, so that a large map streams through memory twice
// rather than three times.
#include "numerics/fft3d.hh"
#include "numerics/fft_lines.hh"

#include <vector>

typedef std::complex< double > cpx;

namespace {

struct Extents {
	int n1, n2, n3;
	long count() const { return static_cast< long >( n1 ) * n2 * n3; }
};

template< class A >
Extents extents_of( A const & a )
{
	return Extents{ static_cast< int >( a.I1().size() ), static_cast< int >( a.I2().size() ),
		static_cast< int >( a.I3().size() ) };
}

template< class A >
void dimension_to( A & a, Extents const & e )
{
	a.dimension( farray::DynamicIndexRange( e.n1 ), farray::DynamicIndexRange( e.n2 ), farray::DynamicIndexRange( e.n3 ) );
}

// Transforms a column-major n1 x n2 x n3 block.  The first pass reads src
// (complex, or real when src_real), the passes work in `work`, and the last
// pass writes dst (complex, or only the real part when dst_real), every value
// multiplied by scale.  src may be work; dst may be work.
void transform3( void const * src, bool src_real, cpx * work, void * dst, bool dst_real, Extents const & e,
	int inverse, double scale )
{
	using namespace fft_lines;
	std::shared_ptr< LinePlan const > const hold1 = cached_plan( e.n1, inverse );
	std::shared_ptr< LinePlan const > const hold2 = cached_plan( e.n2, inverse );
	std::shared_ptr< LinePlan const > const hold3 = cached_plan( e.n3, inverse );
	LinePlan const & p1 = *hold1;
	LinePlan const & p2 = *hold2;
	LinePlan const & p3 = *hold3;
	long const plane = static_cast< long >( e.n1 ) * e.n2;
	// Third index: lines (i, j) with stride n1 n2, neighbours in i side by side.
	AxisJob z{ src, work, src_real, false, 1.0, 1, 0, plane, 1, plane };
	transform_axis( p3, z );
	// Then plane by plane, while a plane is still in cache: the second index
	// (lines along j, stride n1), then the first (contiguous lines).
	for ( int k = 0; k < e.n3; ++k ) {
		cpx * w = work + k * plane;
		AxisJob y{ w, w, false, false, 1.0, 1, 0, e.n1, 1, e.n1 };
		transform_axis( p2, y );
		void * d = dst_real ? static_cast< void * >( static_cast< double * >( dst ) + k * plane )
		                    : static_cast< void * >( static_cast< cpx * >( dst ) + k * plane );
		AxisJob x{ w, d, false, dst_real, scale, 1, 0, e.n2, e.n1, 1 };
		transform_axis( p1, x );
	}
}

} // namespace

void fft3( farray::FArray3D< cpx > const & in, farray::FArray3D< cpx > & out )
{
	Extents const e = extents_of( in );
	dimension_to( out, e ); // keeps the storage when in is out
	if ( e.count() == 0 ) return;
	transform3( in.data(), false, out.data(), out.data(), false, e, 0, 1.0 );
}

void ifft3( farray::FArray3D< cpx > const & in, farray::FArray3D< cpx > & out )
{
	Extents const e = extents_of( in );
	dimension_to( out, e );
	if ( e.count() == 0 ) return;
	double const factor = 1.0 / static_cast< double >( e.count() );
	transform3( in.data(), false, out.data(), out.data(), false, e, 1, factor );
}

void fft3( farray::FArray3D< double > const & in, farray::FArray3D< cpx > & out )
{
	Extents const e = extents_of( in );
	dimension_to( out, e );
	if ( e.count() == 0 ) return;
	transform3( in.data(), true, out.data(), out.data(), false, e, 0, 1.0 );
}

void ifft3( farray::FArray3D< cpx > const & in, farray::FArray3D< double > & out )
{
	Extents const e = extents_of( in );
	if ( e.count() == 0 ) {
		dimension_to( out, e );
		return;
	}
	std::vector< cpx > work( static_cast< std::size_t >( e.count() ) );
	dimension_to( out, e );
	double const factor = 1.0 / static_cast< double >( e.count() );
	transform3( in.data(), false, work.data(), out.data(), true, e, 1, factor );
}

namespace {

// Source index (1-based) of every new index 1..B along one axis of old
// extent A, or 0 when the new spectrum stays zero there: the frequencies
// 0..h at the front, the negative ones -1..-(mn - h - 1) at the end.
std::vector< int > spectrum_sources( int A, int B )
{
	int const mn = A < B ? A : B;
	int const h = mn / 2;
	int const po = ( A - ( mn - h ) + 1 ) > h + 1 ? A - ( mn - h ) + 1 : h + 1;
	int const pn = ( B - ( mn - h ) + 1 ) > h + 1 ? B - ( mn - h ) + 1 : h + 1;
	std::vector< int > src( B + 1, 0 );
	for ( int i = 1; i <= B; ++i ) {
		if ( i - 1 <= h ) src[ i ] = i;
		else if ( i <= pn ) src[ i ] = 0;
		else src[ i ] = i - pn + po;
	}
	return src;
}

} // namespace

template<>
void resample< double, double >( farray::FArray3D< double > const & in, farray::FArray3D< double > & out, int * dims )
{
	int const A1 = in.u1(), A2 = in.u2(), A3 = in.u3();
	int const B1 = dims[ 0 ], B2 = dims[ 1 ], B3 = dims[ 2 ];
	if ( A1 == B1 && A2 == B2 && A3 == B3 ) {
		out = in;
		return;
	}
	dimension_to( out, Extents{ B1, B2, B3 } );
	farray::FArray3D< cpx > new_spectrum;
	dimension_to( new_spectrum, Extents{ B1, B2, B3 } );
	farray::FArray3D< cpx > old_spectrum;
	{
		farray::FArray3D< cpx > copy;
		dimension_to( copy, Extents{ A1, A2, A3 } );
		long const na = static_cast< long >( copy.size() );
		for ( long i = 0; i < na; ++i ) copy[ i ] = cpx( in[ i ], 0.0 );
		fft3( copy, old_spectrum );
	}
	long const nb = static_cast< long >( new_spectrum.size() );
	for ( long i = 0; i < nb; ++i ) new_spectrum[ i ] = cpx( 0.0, 0.0 );
	std::vector< int > const s1 = spectrum_sources( A1, B1 );
	std::vector< int > const s2 = spectrum_sources( A2, B2 );
	std::vector< int > const s3 = spectrum_sources( A3, B3 );
	for ( int i = 1; i <= B1; ++i ) {
		if ( !s1[ i ] ) continue;
		for ( int j = 1; j <= B2; ++j ) {
			if ( !s2[ j ] ) continue;
			for ( int k = 1; k <= B3; ++k ) {
				if ( !s3[ k ] ) continue;
				new_spectrum( i, j, k ) = old_spectrum( s1[ i ], s2[ j ], s3[ k ] );
			}
		}
	}
	ifft3( new_spectrum, out );
}
