// Sorting with input positions, averages and extrema.
#include "core/basic_fun_Quilt.hh"

#include <cstdint>
#include <utility>

namespace {

// Stable insertion sort of a[0..n-1] carrying the input positions; returns
// the new position array.  `before(key, e)` says whether key must go before e.
template< class T, class Before >
int* insertion_sort_ind( T* a, int n, Before before )
{
	int* idx = new int[ n ];
	for ( int i = 0; i < n; ++i ) idx[ i ] = i;
	if ( n < 2 ) return idx;
	for ( int i = 1; i < n; ++i ) {
		T const key = a[ i ];
		int const keyIdx = idx[ i ];
		int j = i - 1;
		while ( j >= 0 && before( key, a[ j ] ) ) {
			a[ j + 1 ] = a[ j ];
			idx[ j + 1 ] = idx[ j ];
			--j;
		}
		a[ j + 1 ] = key;
		idx[ j + 1 ] = keyIdx;
	}
	return idx;
}

template< class T >
void quick_sort_desc( T* a, int* idx, int n )
{
	while ( n >= 2 ) {
		T const pivot = a[ 0 ];
		int const p = idx[ 0 ];
		int i = 0, j = n - 1;
		while ( i < j ) {
			while ( i < j && a[ j ] <= pivot ) --j;
			if ( i < j ) {
				a[ i ] = a[ j ];
				idx[ i ] = idx[ j ];
				++i;
			}
			while ( i < j && a[ i ] >= pivot ) ++i;
			if ( i < j ) {
				a[ j ] = a[ i ];
				idx[ j ] = idx[ i ];
				--j;
			}
		}
		a[ i ] = pivot;
		idx[ i ] = p;
		quick_sort_desc( a, idx, i );
		a += i + 1;
		idx += i + 1;
		n -= i + 1;
	}
}

} // namespace

int* quickSortAscendingInd( std::vector< int > values )
{
	int const n = static_cast< int >( values.size() );
	return insertion_sort_ind( values.data(), n,
		[]( int key, int e ) { return static_cast< double >( e ) > static_cast< double >( key ); } );
}

int* quickSortAscendingInd( std::vector< double > values )
{
	int const n = static_cast< int >( values.size() );
	// "not (key >= e)": a NaN key moves in front of everything.
	return insertion_sort_ind( values.data(), n, []( double key, double e ) { return !( key >= e ); } );
}

int* quickSortAscendingInd( double* a, int n )
{
	return insertion_sort_ind( a, n, []( double key, double e ) { return e > key; } );
}

int* quickSortAscendingInd( int* a, int n )
{
	return insertion_sort_ind( a, n, []( int key, int e ) { return e > key; } );
}

void QuickSort( double* a, int* idx, int n ) { quick_sort_desc( a, idx, n ); }
void QuickSort( int* a, int* idx, int n ) { quick_sort_desc( a, idx, n ); }

void QuickSortAscend( std::vector< int >& v, int n )
{
	if ( n > static_cast< int >( v.size() ) ) n = static_cast< int >( v.size() );
	if ( n < 1 ) return;
	std::vector< int > a( v.begin(), v.begin() + n );
	std::vector< int > idx( n );
	for ( int i = 0; i < n; ++i ) idx[ i ] = i;
	QuickSort( a.data(), idx.data(), n );
	for ( int i = 0; i < n; ++i ) v[ i ] = a[ n - 1 - i ];
}

int partition( std::vector< int >& v, int lo, int hi )
{
	int const pivot = v[ hi ];
	int i = lo;
	for ( int j = lo; j < hi; ++j ) {
		if ( v[ j ] <= pivot ) {
			std::swap( v[ i ], v[ j ] );
			++i;
		}
	}
	std::swap( v[ i ], v[ hi ] );
	return i;
}

void quicksortAscending( std::vector< int >& v, int lo, int hi )
{
	while ( lo < hi ) {
		int const p = partition( v, lo, hi );
		quicksortAscending( v, lo, p - 1 );
		lo = p + 1;
	}
}

double get_average( double* a, int n )
{
	double s = 0.0;
	for ( int i = 0; i < n; ++i ) s += a[ i ];
	return s / n;
}

double get_average( std::vector< double > v )
{
	double s = 0.0;
	for ( double x : v ) s += x;
	return s / static_cast< double >( v.size() );
}

double get_square_average( std::vector< double > v )
{
	double s = 0.0;
	for ( double x : v ) s += x * x;
	return s / static_cast< double >( v.size() );
}

int min( int a, int b ) { return a <= b ? a : b; }
int min2num( int a, int b ) { return a <= b ? a : b; }
int max2num( int a, int b ) { return a >= b ? a : b; }

namespace {

// Truncation toward zero to a 32-bit integer; values outside the range (and
// NaN) saturate instead of being undefined.
inline std::int32_t trunc32( double d )
{
	if ( !( d == d ) ) return 0;
	if ( d >= 2147483647.0 ) return INT32_MAX;
	if ( d <= -2147483648.0 ) return INT32_MIN;
	return static_cast< std::int32_t >( d );
}

} // namespace

double min2num( double a, double b )
{
	std::int32_t const ia = trunc32( a ), ib = trunc32( b );
	return a > b ? ib : ia;
}

double max2num( double a, double b )
{
	std::int32_t const ia = trunc32( a ), ib = trunc32( b );
	return b > a ? ib : ia;
}

double minimum( double* a, int n )
{
	double m = a[ 0 ];
	for ( int i = 1; i < n; ++i ) {
		if ( a[ i ] < m ) m = a[ i ];
	}
	return m;
}

double maximum( double* a, int n )
{
	double m = a[ 0 ];
	for ( int i = 1; i < n; ++i ) {
		if ( a[ i ] > m ) m = a[ i ];
	}
	return m;
}

int minind( double* a, int n )
{
	int k = 0;
	for ( int i = 1; i < n; ++i ) {
		if ( a[ i ] < a[ k ] ) k = i;
	}
	return k;
}

int maxind( double* a, int n )
{
	int k = 0;
	for ( int i = 1; i < n; ++i ) {
		if ( a[ i ] > a[ k ] ) k = i;
	}
	return k;
}

int maxind( std::vector< int > v, int n )
{
	int k = 0;
	for ( int i = 1; i < n && i < static_cast< int >( v.size() ); ++i ) {
		if ( v[ i ] > v[ k ] ) k = i;
	}
	return k;
}

double get_max( std::vector< double > v )
{
	double m = v[ 0 ];
	for ( double x : v ) {
		if ( x > m ) m = x;
	}
	return m;
}

double get_min( std::vector< double > v )
{
	double m = v[ 0 ];
	for ( double x : v ) {
		if ( x < m ) m = x;
	}
	return m;
}
