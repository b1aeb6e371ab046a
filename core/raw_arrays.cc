// Raw arrays and their release, and the process start-up every program
// shares: the directory of the executable and the floating-point mode.
// Both start-up initialisers live in this file on purpose: every program
// links the array helpers, so the linker keeps this object file and with it
// the initialisers.
#include "core/basic_fun_Quilt.hh"

#include <pmmintrin.h>
#include <xmmintrin.h>

#include <cstring>
#include <unistd.h>

// ---------------------------------------------------------------------------
// Start-up
// ---------------------------------------------------------------------------

std::string getexepath()
{
	char buf[ 4096 ];
	// readlink does not terminate the text; only the returned length counts.
	ssize_t len = ::readlink( "/proc/self/exe", buf, sizeof( buf ) );
	if ( len <= 0 ) return "";
	std::string path( buf, static_cast< std::size_t >( len ) );
	std::size_t slash = path.rfind( '/' );
	if ( slash == std::string::npos ) return "";
	return path.substr( 0, slash + 1 );
}

std::string bindir = getexepath();

namespace {

// Denormal numbers are flushed to zero (results) and read as zero (inputs)
// for the whole process: the density sums never need them and they are slow.
struct FloatingPointMode {
	FloatingPointMode()
	{
		_MM_SET_FLUSH_ZERO_MODE( _MM_FLUSH_ZERO_ON );
		_MM_SET_DENORMALS_ZERO_MODE( _MM_DENORMALS_ZERO_ON );
	}
};

FloatingPointMode const floating_point_mode;

} // namespace

// ---------------------------------------------------------------------------
// Allocation
// ---------------------------------------------------------------------------

double* new1DArr( int n )
{
	double* p = new double[ n ];
	for ( int i = 0; i < n; ++i ) p[ i ] = 0.0;
	return p;
}

int* new1DIntArr( int n )
{
	int* p = new int[ n ];
	for ( int i = 0; i < n; ++i ) p[ i ] = 0;
	return p;
}

float* new1DfloatArr( int n )
{
	float* p = new float[ n ];
	for ( int i = 0; i < n; ++i ) p[ i ] = 0.0f;
	return p;
}

std::string* new1DStringArr( int n )
{
	std::string* p = new std::string[ n ];
	for ( int i = 0; i < n; ++i ) p[ i ] = "";
	return p;
}

namespace {

// Row table of separately allocated, value-initialised (zeroed) rows.
template< class T >
T** new_rows( int rows, int cols )
{
	T** p = new T*[ rows ];
	for ( int i = 0; i < rows; ++i ) p[ i ] = new T[ cols ]();
	return p;
}

template< class T >
void release_rows( int rows, T** p )
{
	if ( !p ) return;
	for ( int i = 0; i < rows; ++i ) {
		if ( p[ i ] ) delete[] p[ i ];
	}
	delete[] p;
}

} // namespace

double** new2DArr( int rows, int cols ) { return new_rows< double >( rows, cols ); }
int** new2DIntArr( int rows, int cols ) { return new_rows< int >( rows, cols ); }
char** new2DCharArr( int rows, int size ) { return new_rows< char >( rows, size ); }
std::string** new2DStringArr( int rows, int cols ) { return new_rows< std::string >( rows, cols ); }

double*** new3DArr( int d1, int d2, int d3 )
{
	double*** p = new double**[ d1 ];
	for ( int i = 0; i < d1; ++i ) p[ i ] = new_rows< double >( d2, d3 );
	return p;
}

double**** new4DArr( int d1, int d2, int d3, int d4 )
{
	double**** p = new double***[ d1 ];
	for ( int i = 0; i < d1; ++i ) p[ i ] = new3DArr( d2, d3, d4 );
	return p;
}

float**** new4DFloatArr( int d1, int d2, int d3, int d4 )
{
	float**** p = new float***[ d1 ];
	for ( int i = 0; i < d1; ++i ) {
		p[ i ] = new float**[ d2 ];
		for ( int j = 0; j < d2; ++j ) p[ i ][ j ] = new_rows< float >( d3, d4 );
	}
	return p;
}

// ---------------------------------------------------------------------------
// Release
// ---------------------------------------------------------------------------

void release2DArr( int rows, double** p ) { release_rows( rows, p ); }
void release2DIntArr( int rows, int** p ) { release_rows( rows, p ); }
void release2DCharArr( int rows, char** p ) { release_rows( rows, p ); }
void release2DStringArr( int rows, std::string** p ) { release_rows( rows, p ); }

void release3DArr( int d1, int d2, double*** p )
{
	if ( !p ) return;
	for ( int i = 0; i < d1; ++i ) {
		if ( p[ i ] ) release_rows( d2, p[ i ] );
	}
	delete[] p;
}

void release4DArr( int d1, int d2, int d3, double**** p )
{
	if ( !p ) return;
	for ( int i = 0; i < d1; ++i ) {
		if ( p[ i ] ) release3DArr( d2, d3, p[ i ] );
	}
	delete[] p;
}

void release4DFloatArr( int d1, int d2, int d3, float**** p )
{
	if ( !p ) return;
	for ( int i = 0; i < d1; ++i ) {
		if ( !p[ i ] ) continue;
		for ( int j = 0; j < d2; ++j ) {
			if ( p[ i ][ j ] ) release_rows( d3, p[ i ][ j ] );
		}
		delete[] p[ i ];
	}
	delete[] p;
}

// ---------------------------------------------------------------------------
// Copies
// ---------------------------------------------------------------------------

void copy1DArr( double* src, double* dst, int first, int last )
{
	for ( int i = first; i <= last; ++i ) dst[ i ] = src[ i ];
}

void copy1DArr( int* src, int* dst, int first, int last )
{
	for ( int i = first; i <= last; ++i ) dst[ i ] = src[ i ];
}

void copy2DArr( double** src, double** dst, int first, int last, int cols )
{
	for ( int i = first; i <= last; ++i ) {
		for ( int j = 0; j < cols; ++j ) dst[ i ][ j ] = src[ i ][ j ];
	}
}

void copy3DArr( double*** src, double*** dst, int first, int last, int d2, int d3 )
{
	for ( int i = first; i <= last; ++i ) {
		for ( int j = 0; j < d2; ++j ) {
			for ( int k = 0; k < d3; ++k ) dst[ i ][ j ][ k ] = src[ i ][ j ][ k ];
		}
	}
}
