// Free helpers of the core: raw arrays and their release, small string and
// path utilities, rotations and rigid-body poses, vector algebra, residue
// tables, centroids and radii, random-number generators, sorting, file and
// shell operations, number texts and fatal errors.
//
// Conventions
// - Coordinates are in Angstrom, angles in radians.
// - A coordinate array is a double** of n rows of (x, y, z), each row a
//   separate allocation, made by new2DArr(n, 3) and freed by
//   release2DArr(n, p).  Any function returning a pointer hands ownership
//   to its caller.
// - A 6-D pose is x[0..2] a translation and x[3..5] Euler angles (z-x-z),
//   applied about a centre c as p' = c + t + R (p - c).
#ifndef QUILT_CORE_BASIC_FUN_QUILT_HH
#define QUILT_CORE_BASIC_FUN_QUILT_HH

#include <string>
#include <vector>

// Directory of the running executable, ending in "/"; filled before main.
extern std::string bindir;

// ---------------------------------------------------------------------------
// Raw arrays.  Every allocation is zero-filled (strings empty).  The release
// functions skip null rows and a null row table; a leading count below 1
// frees only the row table.
// ---------------------------------------------------------------------------

double* new1DArr( int n );
int* new1DIntArr( int n );
float* new1DfloatArr( int n );
std::string* new1DStringArr( int n );

double** new2DArr( int rows, int cols );
int** new2DIntArr( int rows, int cols );
char** new2DCharArr( int rows, int size );
std::string** new2DStringArr( int rows, int cols );
double*** new3DArr( int d1, int d2, int d3 );
double**** new4DArr( int d1, int d2, int d3, int d4 );
float**** new4DFloatArr( int d1, int d2, int d3, int d4 );

void release2DArr( int rows, double** p );
void release2DIntArr( int rows, int** p );
void release2DCharArr( int rows, char** p );
void release2DStringArr( int rows, std::string** p );
void release3DArr( int d1, int d2, double*** p );
void release4DArr( int d1, int d2, int d3, double**** p );
void release4DFloatArr( int d1, int d2, int d3, float**** p );

// Copies rows/elements first..last (both included) into an allocated dst.
void copy1DArr( double* src, double* dst, int first, int last );
void copy1DArr( int* src, int* dst, int first, int last );
void copy2DArr( double** src, double** dst, int first, int last, int cols );
void copy3DArr( double*** src, double*** dst, int first, int last, int d2, int d3 );

// Frees the row table *pp: n > 0 also frees its first n non-null rows,
// n < 0 only the table, n == 0 nothing.  *pp is null afterwards.
template< class T >
void DeleteArray( T*** pp, int n )
{
	if ( !pp ) return;
	T** p = *pp;
	if ( p && n != 0 ) {
		for ( int i = 0; i < n; ++i ) {
			if ( p[ i ] ) delete[] p[ i ];
		}
		delete[] p;
	}
	*pp = nullptr;
}

// The vector release helpers take their container by value.  The pointer
// forms free the arrays the pointers refer to (shared with the caller's
// vector, whose pointers must not be used again); the value forms only free
// their own copy.
template< class T >
void releaseVecT1D( std::vector< T* > v )
{
	for ( T* p : v ) {
		if ( p ) delete[] p;
	}
	std::vector< T* >().swap( v );
}

template< class T >
void releaseVecVecT1D( std::vector< std::vector< T* > > v )
{
	for ( auto& inner : v ) {
		for ( T* p : inner ) {
			if ( p ) delete[] p;
		}
	}
	std::vector< std::vector< T* > >().swap( v );
}

template< class T >
void release1DVec( std::vector< T > v )
{
	std::vector< T >().swap( v );
}

template< class T >
void release2VecT1D( std::vector< std::vector< T > > v )
{
	for ( auto& inner : v ) std::vector< T >().swap( inner );
	std::vector< std::vector< T > >().swap( v );
}

// ---------------------------------------------------------------------------
// Small utilities
// ---------------------------------------------------------------------------

// Directory of the running program with a trailing "/"; "" when unknown.
std::string getexepath();
// s without leading and trailing blanks (the space character only).
std::string trim( const std::string& s );
// Text after the last "/"; the whole text when there is no "/".
std::string get_name_from_path( std::string path );
std::string doubleToString( double d );
std::string intToString( int i );
void Set_Env( const char* name, const char* value );
// Writes dir + "/seq.dat": "%5d%6s" lines for the first n residue names.
void get_seq_dat( std::string dir, std::vector< std::string > seq, int n );

// ---------------------------------------------------------------------------
// Rotations and rigid-body poses.  R = Rz(a) Rx(b) Rz(c), row-major.
// ---------------------------------------------------------------------------

void get_rot_matrix( double R[ 3 ][ 3 ], double a, double b, double c );
void get_rot_matrix( double** R, double a, double b, double c );

// Gradient with respect to the Euler angles x[3..5] of a function whose
// derivative with respect to the rotation matrix is M: g[k] = sum dR/dk .* M.
// New double[3].
double* get_drotmtx_deuler( double* x, double** M );
double* get_drotmtx_deuler( double* x, double M[ 3 ][ 3 ] );

// New per-residue atom lists moved by pose x about centre c; free with
// releaseVecVecT1D.
std::vector< std::vector< double* > > Rotation_translation_euler(
	std::vector< std::vector< double* > > atoms, double* x, double* c );
// New n x 3 arrays (free with release2DArr(n, ...)).
double** Rotation_translation_euler_CA( double** p, int n, double* x, double* c );
double** Rotation_translation( double** p, int n, double* t, double** R, double* c );
double** Rotation_translation( double** p, int n, double* t, double R[ 3 ][ 3 ], double* c );
double** Rotation_translation_c( double** p, int n, double* t, double** R );
double** Rotation_translation( double** p, int n, double* t, double** R );
double** Rotation_translation( double** p, int n, double* t, double R[ 3 ][ 3 ] );
// Axis-angle pose: x[3] = z of the unit axis, x[4] its azimuth, x[5] the angle.
double** Rotation_translation( double** p, int n, double* x, double* c );
double** Translation( double** p, int n, double* t );

// ---------------------------------------------------------------------------
// Vector and matrix algebra
// ---------------------------------------------------------------------------

struct point3d {
	double x;
	double y;
	double z;
};

void unitVec( double* v );
double powVec( double* v );
// Row vector times matrix: out[j] = sum_i v[i] M[i][j]; out must not alias v.
void OneMTimesThree( double* v, double M[ 3 ][ 3 ], double* out );
void OneMTimesThree( int* v, double M[ 3 ][ 3 ], double* out );
double* OneMTimesThree( double* v, double** M, int n );
double* OneMTimesThree( int* v, double** M, int n );
// New 3 x 3 product A B (free with release2DArr(3, p)).
double** mutiply( double A[ 3 ][ 3 ], double B[ 3 ][ 3 ] );
double** mutiply( double** A, double** B );
double** mutiply( double A[ 3 ][ 3 ], double** B );
double det( double** M, int n );
void q2rot( double* q, double R[ 3 ][ 3 ] );
double avv( double* a, double* b, double* c, double* d );
int aminoid( char c );
void exchangeij( int i, int j );

point3d setv( double x, double y, double z );
double norm( point3d a );
point3d scal( point3d a, double s );
point3d unit( point3d a );
double dotv( point3d a, point3d b );
point3d minu( point3d a, point3d b );
point3d prod( point3d a, point3d b );
int maxnormal( point3d a );
point3d mmat( double M[ 3 ][ 3 ], point3d a );
double angv( point3d a, point3d b );
double squgaussian( double x, double s, double m );

// Dihedral in degrees in [0, 360]; 180 for degenerate geometry.
double phi( double x1, double y1, double z1, double x2, double y2, double z2,
	double x3, double y3, double z3, double x4, double y4, double z4 );
// Places an atom at distance rlength from k, angle bang at k, torsion tang
// about j-k.  Returns 1, or 0 (outputs = k) for degenerate geometry.
int tor2pos22( float xi, float yi, float zi, float xj, float yj, float zj,
	float xk, float yk, float zk, float tang, float rlength, float bang,
	double* x, double* y, double* z );

// ---------------------------------------------------------------------------
// Residue tables and atom selection
// ---------------------------------------------------------------------------

int restypeind_rama( std::string name );
int restypeind_sgcom( std::string name );
char ResThree2One( std::string name );
char threeWordToOne( std::string name );
std::string oneWordToThree( char c );
// Selection word: "backbone" (N, CA, C), "centroid" (all but SG), else CA.
bool get_mode( std::string atomName, std::string mode );
std::string getCenAtomMode( int i );
bool backBoneAtom( std::string atomName );
int getprotype( std::vector< std::string > ss );
int getNmaxHelix( std::vector< std::string > ss );
void PDBstandard( std::string inPath, std::string outPath );

// ---------------------------------------------------------------------------
// Centroids and radii.  Centroids are new double[3] owned by the caller.
// ---------------------------------------------------------------------------

double* getCenterPoint( double** p, int n );
double* getCenterPoint( std::vector< double* > p, int n );
double* getCenterPoint( std::vector< std::vector< double* > > atoms );
double* getCenterPoint( std::vector< std::vector< double* > > atoms,
	std::vector< std::vector< std::string > > names, std::string mode );
double* getCenterPoint( double** pa, double** pb, int na, int nb );
double getRgFromCA( double** p, int n );
double getRgFromCA( std::vector< double* > p, int n );
double getRgFromCA( double** pa, double** pb, int na, int nb );
double getRadius( double** p, int n );
double getRadius( std::vector< double* > p, int n );

// ---------------------------------------------------------------------------
// Random numbers.  ran and Random repeat from run to run; ran1 is seeded
// from the wall clock on its first call.
// ---------------------------------------------------------------------------

double ran();
double ran1();
double Random();
// n distinct integers from 0..max into out (needs n <= max + 1).
void RandMultiIntNum( int* out, int n, int max );
double normrnd( double mean, double sd );
int roulette( double* p, int n );
point3d ranv( double r );

// ---------------------------------------------------------------------------
// Sorting, averages and extrema
// ---------------------------------------------------------------------------

// Stable ascending sorts; return new int[n] of input positions in sorted order.
int* quickSortAscendingInd( std::vector< int > values );
int* quickSortAscendingInd( std::vector< double > values );
int* quickSortAscendingInd( double* a, int n );
int* quickSortAscendingInd( int* a, int n );
// Descending, with a companion index array.
void QuickSort( double* a, int* idx, int n );
void QuickSort( int* a, int* idx, int n );
void QuickSortAscend( std::vector< int >& v, int n );
void quicksortAscending( std::vector< int >& v, int lo, int hi );
int partition( std::vector< int >& v, int lo, int hi );

double get_average( double* a, int n );
double get_average( std::vector< double > v );
double get_square_average( std::vector< double > v );

int min( int a, int b );
int min2num( int a, int b );
int max2num( int a, int b );
double min2num( double a, double b );
double max2num( double a, double b );
double minimum( double* a, int n );
double maximum( double* a, int n );
int minind( double* a, int n );
int maxind( double* a, int n );
int maxind( std::vector< int > v, int n );
double get_max( std::vector< double > v );
double get_min( std::vector< double > v );

// ---------------------------------------------------------------------------
// Files, paths, file operations and number texts.  The file operations do
// what the shell commands named beside them do, by system calls (no program
// of the PATH is run); a path ending in "/*" stands for the entries of the
// directory before it (names beginning with "." excepted), so that
// deletefile(dir + "/*") empties dir.  On failure they leave the system's
// reason in errno.
// ---------------------------------------------------------------------------

// Canonical absolute path; the input unchanged when it cannot be resolved.
std::string get_Full_Path( std::string path );
std::string get_directory( std::string path );
std::string get_suffix( std::string path );
// 1 when the path can be opened for reading (a directory too).  The test
// never waits: a FIFO without a writer answers at once.
int checkfile( std::string path );
// Whether the path names a regular file, after following symbolic links
// (not a directory, FIFO, socket or device, which a reader would block on or
// read for ever).
bool isRegularFile( const std::string& path );
int changedir( std::string path );
// "rm -rf": removes the path and everything below it (a symbolic link
// itself, not what it points to); true when nothing of it is left, a path
// that was not there included.
bool deletefile( std::string path );
bool deletedir( std::string path );
// "cp -r": a file's bytes, or a directory with everything below it, to dst,
// or into dst when dst is a directory; true when the copy is whole.
bool copyfile( std::string src, std::string dst );
// "cp -rf": as copyfile, and a destination file that cannot be written is
// removed and made anew; 0 on success, -1 on failure.
int copydir( std::string src, std::string dst );
// Copies the bytes of src over dst (made or truncated); on failure returns
// false with the system's reason in `reason` (a full disk says so, not a
// generic input/output error).
bool copyFileChecked( const std::string& src, const std::string& dst, std::string& reason );
// "mv -f": renames src to dst, or into dst when dst is a directory; across
// file systems a copy and a removal.  0 on success, -1 on failure.
int movefile( std::string src, std::string dst );
// "mkdir" of one level (no parents are made) when the path cannot be
// opened; a path that exists is left as it is.  True when the path is a
// directory afterwards (an existing file gives false, errno ENOTDIR).
bool makefile( std::string path );
// The path as one shell word (single-quoted).
std::string shell_quote( const std::string& path );

std::string& replace_all_distinct( std::string& str, const std::string& old_value,
	const std::string& new_value );
std::string tran_Cap2low( std::string s );
std::string tran_low2Cap( std::string s );
std::string tran_chain2low( std::string s );
std::string tran_chain2Cap( std::string s );

// New char arrays (release with delete[]).
char* format( double x );   // "%10.3f"
char* format2( double x );  // "%10.2f"
char* format11( double x ); // "%1.1f"
char* format82( double x ); // "%8.2f"
char* format83( double x ); // "%8.3f"

std::string readSequence( std::string path );
std::string readSequence( std::string path, int& count, std::string out_path );

// ---------------------------------------------------------------------------
// Fatal errors and clock text
// ---------------------------------------------------------------------------

[[noreturn]] void PrintErrorAndQuit( const char* message );
[[noreturn]] void PrintErrorAndQuitS( std::string message );
// "%02d%03d%03d": seconds of the minute, milliseconds, microseconds.
std::string fa_getSysTime();

// Writes a bare CA trace to dir + "/" + file: for i = 1..resNames.size() the
// line "ATOM  %5d  CA  %3s %5d    %8.3f%8.3f%8.3f" from row i - 1 of xyz.
void xyz2CA( double** xyz, std::vector< std::string > resNames, std::string dir, std::string file );

// ---------------------------------------------------------------------------
// Fixed-column PDB text readers and residue codes
// ---------------------------------------------------------------------------

char AAmap( const std::string& name );
void AAmap3( char code, char* out );
std::string Trim( std::string s );
void get_xyz( std::string line, double* x, double* y, double* z, char* code, int* resno );
void get_xyz( std::string line, int* serial, char* atom_name, char* res_name, int* resno,
	double* x, double* y, double* z );
void get_xyz( std::string line, double* x, double* y, double* z, std::string& head );
int get_PDB_len( const char* path );
int get_ligand_len( const char* path );
// The CA atoms (and, full-atom, every atom) of the first chain: reading
// ends, once a CA has been taken, at "END", "ENDMDL" or a "TER" followed by
// another chain; a "TER" at a break inside the chain is read through.
int read_PDB( const char* path, double** xyz, char* seq, int* resno, int** seen );
int read_PDB_fullatom( const char* path, double** ca_xyz, char* seq, int* ca_resno,
	int* serial, char** atom_names, char** res_names, int* resno, double** xyz,
	int** seen, char*** seen_names, char* icode, char* ca_icode, int& atom_count );
int read_ligand( const char* path, double** xyz, std::string* heads );

#endif
