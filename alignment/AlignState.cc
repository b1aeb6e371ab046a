// Working set and distance parameters of the structure alignment.
#include "alignment/AlignState.hh"

#include "alignment/DPAlign.hh"

#include "core/basic_fun_Quilt.hh"

#include <algorithm>
#include <cmath>

int tempxlen = 0, tempylen = 0;
char* seqx = nullptr;
char* seqy = nullptr;
int* secx = nullptr;
int* secy = nullptr;
int* xresno = nullptr;
int* yresno = nullptr;

namespace structalign {

int minlen = 0;
int xlen = 0;
int ylen = 0;

double** xt = nullptr;
double** xtm = nullptr;
double** ytm = nullptr;
double** r1 = nullptr;
double** r2 = nullptr;

double** score = nullptr;
double** val = nullptr;
bool** path = nullptr;

double t[3] = { 0.0, 0.0, 0.0 };
double u[3][3] = { { 1.0, 0.0, 0.0 }, { 0.0, 1.0, 0.0 }, { 0.0, 0.0, 1.0 } };

double Lnorm = 0.0;
double d0 = 0.0;
double D0_MIN = 0.0;
double d0_search = 0.0;
double score_d8 = 0.0;
double dcu0 = 0.0;
double d0A = 0.0, d0B = 0.0;

namespace {

double** new_table( int rows, int cols )
{
	// Rows are left uninitialised like the rest of the working set.
	double** p = new double*[ rows > 0 ? rows : 0 ];
	for ( int i = 0; i < rows; ++i ) p[ i ] = new double[ cols ];
	return p;
}

bool** new_flag_table( int rows, int cols )
{
	bool** p = new bool*[ rows > 0 ? rows : 0 ];
	for ( int i = 0; i < rows; ++i ) p[ i ] = new bool[ cols ];
	return p;
}

void release_flag_table( int rows, bool**& p )
{
	if ( !p ) return;
	for ( int i = 0; i < rows; ++i ) delete[] p[ i ];
	delete[] p;
	p = nullptr;
}

void release_table( int rows, double**& p )
{
	if ( !p ) return;
	release2DArr( rows, p );
	p = nullptr;
}

template < class T >
void release_row( T*& p )
{
	delete[] p;
	p = nullptr;
}

// d0 clamped to the search range [4.5, 8.0].
double clamp_search( double d )
{
	if ( d > 8.0 ) return 8.0;
	if ( d < 4.5 ) return 4.5;
	return d;
}

} // namespace

} // namespace structalign

using namespace structalign;

void load_PDB_allocate_memory( int xlen_in, int ylen_in, int xsize, int ysize )
{
	// Tables of an earlier pair that nobody released would leak otherwise;
	// their pointers are always reset on release, so this is safe.
	free_alignment_tables();
	// The sequence buffers are not read by the core and most callers leave
	// them allocated; drop the previous ones before making new ones.
	release_row( seqx );
	release_row( seqy );

	seqx = new char[ xsize + 1 ];
	secx = new int[ xsize ];
	xresno = new int[ xsize ];

	seqy = new char[ ysize + 1 ];
	yresno = new int[ ysize ];
	secy = new int[ ysize ];

	minlen = std::min( xlen_in, ylen_in );
	r1 = new_table( minlen, 3 );
	r2 = new_table( minlen, 3 );
	xtm = new_table( minlen, 3 );
	ytm = new_table( minlen, 3 );
	xlen = xlen_in;
	ylen = ylen_in;

	xt = new_table( xlen, 3 );

	score = new_table( xlen + 1, ylen + 1 );
	path = new_flag_table( xlen + 1, ylen + 1 );
	val = new_table( xlen + 1, ylen + 1 );
}

void free_alignment_tables()
{
	release_flag_table( xlen + 1, path );
	release_table( xlen + 1, val );
	release_table( xlen + 1, score );
	release_table( xlen, xt );
	release_table( minlen, r1 );
	release_table( minlen, r2 );
	release_table( minlen, xtm );
	release_table( minlen, ytm );
	NWDP_release_buffers();
}

void free_residue_arrays()
{
	release_row( seqx );
	release_row( seqy );
	release_row( secx );
	release_row( secy );
	release_row( xresno );
	release_row( yresno );
}

void free_memory()
{
	free_alignment_tables();
	free_residue_arrays();
}

void parameter_set4search( int xlen_in, int ylen_in )
{
	dcu0 = 4.25;
	Lnorm = std::min( xlen_in, ylen_in );
	if ( Lnorm <= 19 ) {
		// One unit in the last place above the double nearest 0.968.
		d0 = D0_MIN = 0.9680000000000001;
		d0_search = 4.5;
	} else {
		d0 = D0_MIN = 1.24 * std::cbrt( Lnorm - 15 ) - 1.0;
		d0_search = clamp_search( d0 );
	}
	score_d8 = 1.5 * std::pow( Lnorm, 0.3 ) + 3.5;
}

void parameter_set4final( double len )
{
	Lnorm = len;
	D0_MIN = 0.5;
	if ( len <= 21 ) {
		d0 = 0.5;
	} else {
		d0 = 1.24 * std::cbrt( len - 15 ) - 1.8;
		if ( d0 < 0.5 ) d0 = 0.5;
	}
	d0_search = clamp_search( d0 );
}

void parameter_set4scale( int len, double d_s )
{
	d0 = d_s;
	Lnorm = len;
	d0_search = clamp_search( d_s );
}
