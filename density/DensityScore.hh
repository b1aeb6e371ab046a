// DensityScore: map reader, writer and processor working on the plain map
// grid, and the free helpers on flat map arrays.
//
// Plain grid: a map travels between these operations as seven values passed
// separately: the voxel width (Angstrom, the same along x, y and z), the
// Cartesian position of the first voxel (origin, Angstrom), three unsigned
// extents and one flat array of extx*exty*extz doubles, x fastest.  Voxel
// (i, j, k) sits at index i + j*extx + k*extx*exty and lies at
// origin + (i, j, k)*width.  Arrays are allocated zero-filled with calloc
// (do_vect) and released with free; whoever receives a new array owns it.
//
// Map-file errors print the reason ("ReadMrc_st> Error: ..." or
// "WriteMrc> Error: ...", naming the file and the cause), then
// "Error in read mrc file! <code>" (or the message of the failing step) on
// standard output, record the reason for the program's exit handler
// (MapFileStop.hh) and end the process with the code as exit status.
#ifndef QUILT_DENSITY_DENSITYSCORE_HH
#define QUILT_DENSITY_DENSITYSCORE_HH

#include <cstdio>
#include <string>
#include <vector>

namespace farray {
template< typename T > class FArray3D;
}

class DensityScore {
public:
	DensityScore();
	virtual ~DensityScore();

	// Resets the flags and masks; keeps dens_cutoff and the voxel list.
	void init();

	// Frees the voxel list and its arrays (nothing else releases them: copies
	// share them, so only the last user may call this).
	void releaseVoxelList();

	// --- MRC/CCP4 files -------------------------------------------------
	// Reads a MODE 0, 1 or 2 map in either byte order.  The caller sets
	// *orthogonal and *cubic to 1; the reader only clears them.  *phi
	// receives a new array of nc*nr*ns doubles in file order.
	void ReadMrc( char const* file, int* orthogonal, int* cubic, int* ordermode,
		unsigned* nc, unsigned* nr, unsigned* ns,
		int* ncstart, int* nrstart, int* nsstart,
		double* widthx, double* widthy, double* widthz,
		double* xorigin, double* yorigin, double* zorigin,
		double* alpha, double* beta, double* gamma, double** phi );

	// Writes a plain grid as a MODE 2 map in native byte order.
	// automatic = 1: no dialogue; 0: header dialogue on standard input.
	void WriteMrc( int automatic, char const* file, double width,
		double origx, double origy, double origz,
		unsigned extx, unsigned exty, unsigned extz, double* phi );

	// Number of header range violations when read with (swap = 1) or
	// without (swap = 0) byte reversal.
	int test_mrc( char const* file, int swap );
	// X cell length / MX of a map file.
	double get_grid_width( char const* file );
	// New double[3] with XORIGIN, YORIGIN, ZORIGIN (caller delete[]s it),
	// read in the byte order the reader chooses.
	double* get_origin( char const* file );
	void calc_map_info( double* phi, unsigned long n, double* max, double* min,
		double* mean, double* rms );
	// 1 when (x, y, z) lies on the lattice of spacing width.
	int test_registration( float x, float y, float z, float width );

	// --- Situs maps and format dispatch -----------------------------------
	void read_vol( char const* file, double* width, double* origx, double* origy,
		double* origz, unsigned* extx, unsigned* exty, unsigned* extz, double** phi );
	void write_vol( char const* file, double width, double origx, double origy,
		double origz, unsigned extx, unsigned exty, unsigned extz, double* phi );
	void read_situs( char const* file, double* width, double* origx, double* origy,
		double* origz, unsigned* extx, unsigned* exty, unsigned* extz, double** phi );
	int test_situs( char const* file );

	// --- regridding to a cubic grid ---------------------------------------
	void permute_map( int ordermode, unsigned nc, unsigned nr, unsigned ns,
		unsigned* nx, unsigned* ny, unsigned* nz,
		int ncstart, int nrstart, int nsstart,
		int* nxstart, int* nystart, int* nzstart, double* phi, double** phi_out );
	void assert_cubic_map( int orthogonal, int cubic, double alpha, double beta, double gamma,
		double widthx, double widthy, double widthz,
		unsigned nx, unsigned ny, unsigned nz, int nxstart, int nystart, int nzstart,
		double xorigin, double yorigin, double zorigin,
		double* width, double* origx, double* origy, double* origz,
		unsigned* extx, unsigned* exty, unsigned* extz, double** phi );
	void interpolate_map( double** out, unsigned* extx, unsigned* exty, unsigned* extz,
		double* origx, double* origy, double* origz,
		double new_wx, double new_wy, double new_wz,
		double* phi, unsigned nx, unsigned ny, unsigned nz,
		double xorigin, double yorigin, double zorigin,
		double wx, double wy, double wz );
	void interpolate_skewed_map_to_cubic( double** out, unsigned* extx, unsigned* exty,
		unsigned* extz, double* origx, double* origy, double* origz, double* width,
		double* phi, unsigned nx, unsigned ny, unsigned nz,
		int nxstart, int nystart, int nzstart,
		double xorigin, double yorigin, double zorigin,
		double wx, double wy, double wz, double alpha, double beta, double gamma );
	unsigned long permuted_index( int ordermode, unsigned long i,
		unsigned nc, unsigned nr, unsigned ns );
	void permute_dimensions( int ordermode, unsigned nc, unsigned nr, unsigned ns,
		unsigned* nx, unsigned* ny, unsigned* nz,
		int ncstart, int nrstart, int nsstart,
		int* nxstart, int* nystart, int* nzstart );
	void permute_print_info( int ordermode, unsigned nc, unsigned nr, unsigned ns,
		unsigned nx, unsigned ny, unsigned nz,
		int ncstart, int nrstart, int nsstart,
		int nxstart, int nystart, int nzstart );
	int set_origin_get_mode( int nxstart, int nystart, int nzstart,
		double wx, double wy, double wz,
		double xorigin, double yorigin, double zorigin,
		double* ox, double* oy, double* oz );

	// --- work-map processing ----------------------------------------------
	void map_processing( std::string mapIn, std::string mapOut, double densCutoff, bool quiet );
	void segmap( std::string mapIn, std::string mapOut, double densCutoff, bool quiet );

	// --- regridding to a new voxel width ----------------------------------
	std::string interpolate_new_map( std::string map, double reso, double cutWidth,
		double densCutoff, bool quiet );
	void shrink_margin( double** newValues, unsigned* newExtX, unsigned* newExtY,
		unsigned* newExtZ, double* newOrigX, double* newOrigY, double* newOrigZ,
		unsigned long* newCount, double* values, unsigned extX, unsigned extY,
		unsigned extZ, double origX, double origY, double origZ,
		double widthX, double widthY, double widthZ );
	void ModifyMapOrigin( std::string mapIn, std::string mapOut,
		double origX, double origY, double origZ );

	// --- density parameters of a processed map ----------------------------
	void readDensityMap_st( char const* file, double reso, double cutWidth, double densCutoff );
	void calculateDensParams( unsigned extx, unsigned exty, unsigned extz,
		double origx, double origy, double origz, double width,
		double* values, double threshold );

	// --- removal of fitted density ----------------------------------------
	// Voxels strictly within radius of an atom of the model's first chain
	// are set to fill.
	void RemoveMatchedRegion( std::string mapIn, std::string mapOut,
		std::string pdbFile, double radius, double fill = -10.0 );
	void modifyDensityValue( unsigned extx, unsigned exty, unsigned extz,
		double origx, double origy, double origz, double width,
		double* values, double** atoms, int atomCount, double radius, double fill = -10.0 );
	void modifyDensityValue( unsigned extx, unsigned exty, unsigned extz,
		double origx, double origy, double origz, double width,
		double* values, std::vector<double*> atoms, double radius, double fill = -10.0 );

	// --- CA correlation over the voxel list -------------------------------
	// Misfit (1 - CC) * 100 of the CA trace against the voxel list.
	double getCC( int n, double** ca );
	// The same from squared distances d2[voxel][ca].
	double getCC_dist( int n, double** d2 );
	// Weighted Pearson correlation; a weight of 0 counts as 1.  Returns 0
	// when a variance or the total weight is not positive (or the lists are
	// empty).
	static double getWeightedCorrelation( std::vector<double> obs,
		std::vector<double> calc, std::vector<double> w );

public:
	bool loaded;
	bool quiet;
	double atom_mask;     // Angstrom
	double ca_mask;       // Angstrom
	double mask_padding;  // Angstrom
	double dens_cutoff;
	unsigned grid_dims[3];
	int grid_origin_int[3];
	double rg;
	double radius;
	double centre[3];
	double** voxel_xyz;   // voxel_count rows of x, y, z (Angstrom)
	double* voxel_val;
	int voxel_count;
	double list_width;
	double list_cutoff;
	double eff_reso;      // max(0.8 * resolution + 2.4, resolution)
	double gauss_k;       // (pi / eff_reso)^2
	double gauss_amp;     // 33
	double gauss_c;       // 33 * (gauss_k / pi)^1.5
	double cc_threshold;  // replaces dens_cutoff as voxel threshold when not 0
	double cc_cut2;       // Angstrom^2
	double mask_offset;   // Angstrom^2
};

// --- binary field readers: 1 on success, 0 on a short read ---------------
// swap == 1 reverses the byte order.
int read_int( int* out, FILE* fp, int swap );
int read_float( float* out, FILE* fp, int swap );
int read_short_float( float* out, FILE* fp, int swap );
int read_char_float( float* out, FILE* fp );
int read_char( char* out, FILE* fp );
int read_float_empty( FILE* fp );

// One value from standard input, then the rest of the line is discarded.
int readln_int();
double readln_double();

// --- flat map arrays -------------------------------------------------------
// *p = new zero-filled array of n doubles (n taken as 32-bit count); on
// failure prints "Error: lib_cvq, 99901!" and stores a null pointer.
void do_vect( double** p, unsigned long n );
void* alloc_vect( unsigned n, unsigned long size );
void cp_vect( double** dst, double** src, unsigned long n );
void cp_vect_destroy( double** dst, double** src, unsigned long n );
void free_vect_and_zero_ptr( double** p );
unsigned gidz_general( int k, int j, int i, unsigned ny, unsigned nx );
double calc_max( double* v, unsigned long n );
double calc_min( double* v, unsigned long n );
void normalize( double* v, unsigned long n, double factor );
// The same on the first n elements of the array's linear storage.
void normalize( farray::FArray3D<double>& a, unsigned long n, double factor );
void normalize2( double* v, int n, double lo, double hi );
void threshold( double* v, unsigned long n, double limit );
void floatshift( double* v, unsigned long n, double shift );
int clipped( double* v, unsigned long n, double hi, double lo );
double get_dens_threshold( double* v, int n );

// Density at the given fraction of a 200-bin log-count histogram.  Returns
// 0 for an empty list and the common value when all values are equal.
double findTopDensity( std::vector<double> const& values, double fraction );

#endif
