// The loaded density map as the scoring code sees it, and the scores of
// atomic models against it.
//
// Conventions
// - The map is held on the full unit-cell grid: density() has extents
//   grid[0] x grid[1] x grid[2], indexed from 1, x fastest.  Element
//   (1,1,1) is the voxel at grid index originGrid (0-based grid units): the
//   start indices, or the ORIGIN words in grid units, kept unrounded so that
//   a map whose ORIGIN is not a whole number of voxels is not displaced.
// - Cell matrices act on column vectors: fractional f = c2f * x and
//   Cartesian x = f2c * f, f2c being the standard upper-triangular
//   fractional-to-Cartesian matrix of the cell (a along x, b in the xy plane).
// - A Cartesian point x lies at the real, 1-based grid coordinate
//   f_a * grid[a] - originGrid[a] + 1, wrapped into [0, grid[a]) so that atoms
//   outside the stored block are taken from their periodic images.
// - Lengths in Angstrom, B factors in A^2, pose angles in radians.
//
// Copies share what never changes after loading (the map values, the voxel
// list, the fast-score cache, also when it is built after the copy); a copy
// costs no map copy and no FFT.  Writing through mutableDensity() detaches
// the writer's map and empties its cache; other copies are unaffected.
#ifndef QUILT_DENSITY_FASTDENSITYSCORE_HH
#define QUILT_DENSITY_FASTDENSITYSCORE_HH

#include "density/Scattering.hh"
#include "farray/FArray3D.hh"
#include "farray/FArray4D.hh"

#include <complex>
#include <memory>
#include <string>
#include <vector>

class DensityScore;

// The B-binned, smoothed and spline-prefiltered copy of a map from which the
// fast density score reads (axes x, y, z, B bin; all ranges from 1).  Built
// once per map; immutable afterwards and shared by copies of the map.
struct FastDensityCache {
	farray::FArray4D< double > coeffs;
	int nBins = 0;
	double kmin = 0.0;
	double kmax = 0.0;
	double kstep = 0.0;
	int grid[ 3 ] = { 0, 0, 0 };   // grid and origin the cache was built for
	double origin[ 3 ] = { 0.0, 0.0, 0.0 };
	double scale = 0.0;           // 1 / (4 (hi - lo)) of the first smoothed map
	double effB = 0.0;            // map constants the kernels were built with
	double minMult = 0.0;
};

// The voxels above the density threshold: positions (Angstrom) and values.
// Shared between copies; rows point into one block.
struct DensityVoxelList {
	std::vector< double > xyz;      // 3 n values
	std::vector< double* > rows;    // n row pointers into xyz
	std::vector< double > values;   // n values
};

class FastDensityScore {
public:
	using Model = std::vector< std::vector< double* > >;
	using AtomNames = std::vector< std::vector< std::string > >;

	FastDensityScore();
	FastDensityScore( FastDensityScore const& );
	FastDensityScore& operator=( FastDensityScore const& );
	FastDensityScore( FastDensityScore&& ) noexcept;
	FastDensityScore& operator=( FastDensityScore&& ) noexcept;
	virtual ~FastDensityScore();

	// Back to the constructor's settings (flags, cell, grid, masks, FSC
	// settings); the map values, voxel list and fast-score cache stay.
	void init();

	// ---- loading -------------------------------------------------------
	// Loads an MRC/CCP4 map of 32-bit floats onto the full unit-cell grid and
	// derives every parameter.  reso: map resolution (0 = automatic from the
	// voxel size); apix: only used by the resampling branch of
	// computeDensParams; thr: density threshold of the voxel list; quiet
	// suppresses the "ReadMrc> " report.  On failure prints an "Error! ..."
	// line, returns false and keeps the previously loaded map untouched; a
	// failure for want of memory stays recorded (utility::memory_ran_out),
	// for the program to end with its memory line.
	bool readDensityMap( std::string file, double reso, double apix, double thr, bool quiet );
	// Pads the stored block with zeros up to the unit-cell grid (keeps indices).
	void expandToUnitCell();
	// Reverses the byte order of each of n 4-byte words in place.
	static void swap4_aligned( void* p, long n );

	// ---- derived parameters ---------------------------------------------
	// Cell matrices, volume and reciprocal cell from cellDimensions and
	// cellAngles.  False (and "Warning! Invalid crystal cell dimensions.")
	// when the cell is degenerate; nothing but f2c is changed then.
	bool computeCrystParams();
	// Forces cubic voxels of edge a (cell edges := grid * a); empties the cache.
	void set_voxel_spacing( double a );
	// The map changed: drops the fast-score cache.
	void density_change_trigger();
	// Voxel list (values strictly above thr) with its centre, Rg and radius.
	void computeDensParams( std::string file, double reso, double apix, double thr, bool resample );
	// Constants of the CA correlation over the voxel list (getCC).
	void calcute_CC_CA_para( double reso );

	// ---- map values -----------------------------------------------------
	farray::FArray3D< double > const& density() const { return *density_; }
	// Writable map values: detaches this object's map from its copies and
	// empties the fast-score cache.
	farray::FArray3D< double >& mutableDensity();
	// Whether any map value is above 0: without, every pose of a model
	// scores alike and a fit means nothing.
	bool hasPositiveDensity() const;
	// Cartesian position (A) of the voxel at 0-based indices (i, j, k) of
	// density(); the voxel list and the correlation's nearness test use it.
	void voxelPosition( double i, double j, double k, double* out ) const;

	// Column-vector products with the cell matrices.
	void cartToFrac( double const* x, double* f ) const;
	void fracToCart( double const* f, double* x ) const;

	// ---- real-space correlation of a CA trace (higher is better) -------
	// Mask-weighted correlation between the map and a CA model density,
	// times the fraction of CAs within radius of a voxel position (radius
	// <= 0: no such factor).  0 for an empty trace or a vanishing variance.
	double getRSCC( double** ca, int n, double radius );
	double getRSCC( std::vector< double* > ca, double radius );
	// The same; with gradientWanted also adds d(score)/d(atom) into grad
	// (n x 3, caller-allocated), the near fraction held constant.
	double getRSCC( double** xyz, int n, double** grad, bool gradientWanted, double radius );
	// Gradient over the 6-D pose x of the correlation of `moved` (the trace
	// xyz moved by x about centre), radius 4.
	void dCCdx_RSCC_6D_CA( double** xyz, double** moved, double* centre, int n, double* x, double* grad );
	// Correlation of the window of residues around residue i (0-based).
	double getRSCC_Res_CA( double** ca, int n, int i, int window );
	// Weighted correlation of a model map against the map (mask empty:
	// weight 1 everywhere).
	double getRSCC( farray::FArray3D< double > const& calc, farray::FArray3D< double > const& mask );

	// ---- correlation over the voxel list: (1 - CC) * 100, lower is better
	double getCC( int n, double** CA );
	double getCC( std::vector< double* > points );
	double getCC_dist( int n, double** d2 );

	// ---- fast density score (higher is better) ---------------------------
	// Builds the fast-score cache (the argument is not used).  The set-up
	// works on the whole grid (a map on a large unit cell takes the memory of
	// that cell): when it would take more memory than the process can still
	// take, or an allocation fails, it says so, naming the size, and leaves
	// the cache empty.
	void get_init_fast_dens( double unused = 8.0 );
	// Builds the cache when it is empty or stale; false when no map is loaded
	// or the cache could not be built.
	bool ensureFastCache();
	// The cache, or null before the first fast-score call.
	std::shared_ptr< FastDensityCache const > fastCache() const;
	bool fastCacheEmpty() const;

	// Sum of the smoothed map at the points, each taken as a carbon atom at
	// the map's effective B.
	double getFastDensScore( double** xyz, int n );
	double getFastDensScore( std::vector< double* > points, int count );

	// Fast score of the selected atoms of a model moved by the 6-D pose x
	// about centre (p' = centre + x[0..2] + R(x[3],x[4],x[5]) (p - centre)).
	// selection: "backbone" (N, CA, C), "centroid" (all but SG), anything
	// else only CA.  The model is not changed.
	double getFastDensScore_6D( Model const& model, AtomNames const& names, double* x, double* centre,
		std::string selection );
	// d(score)/dx[0..5] of getFastDensScore_6D.  Note: grad before centre.
	// Right after getFastDensScoreAndGrad_6D at the same pose (same x, centre
	// and coordinates) the gradient computed there is returned without a new
	// pass; getFastDensScore_6D computes no gradient, so a gradient after it
	// takes a pass of its own.
	// The selected atoms are prepared once per model (keyed by the storage of
	// the model and name lists, the residue sizes, the selection and the
	// cache); coordinates are always read afresh.
	void dCCdx_fastRes_6D( Model const& model, AtomNames const& names, double* x, double* grad,
		double* centre, std::string selection );
	// Score and gradient in one pass (what the two calls above give); the
	// gradient is kept for a following dCCdx_fastRes_6D at the same pose.
	double getFastDensScoreAndGrad_6D( Model const& model, AtomNames const& names, double* x,
		double* grad, double* centre, std::string selection );

	// ---- fast density score of other inputs (higher is better) --------------
	// The atom term of the pose score without a pose: the element is the
	// first character of the atom name; a B factor > 0 is used as given, one
	// <= 0 (and every atom of the forms without B) takes the map's effB.
	// Selection rule of get_mode: "backbone", "centroid", else CA only.
	double getFastDensScore_model( Model const& xyz, AtomNames const& names, std::string selection );
	// B: one B factor per atom, the shape of xyz (else an error and 0).
	double getFastDensScore_model( Model const& xyz, AtomNames const& names,
		std::vector< std::vector< double > > const& B, std::string selection );
	double getFastDensScore_Atom( double* xyz, std::string atomName, double B );
	// Side-chain atoms (none of N, CA, C, O) weighted by get_sc_scale(residue).
	double getFastDensScore_Atom( double* xyz, std::string atomName, std::string residue, double B );
	// Rows N, CA, C, O, CB (GLY: the first four); CB weighted by get_sc_scale.
	double getFastDensScore_Res( double** xyz, std::string residue, double B );
	// Every entry but the last, named by names; side-chain atoms weighted.
	double getFastDensScore_Res( std::vector< double* > xyz, std::vector< std::string > names, std::string residue,
		double B );
	// One carbon atom.
	double getFastDensScore_CA( double* xyz, double B );

	// ---- derivatives of the fast score and of the correlation ---------------
	// Cartesian gradient of one atom's term (B = effB).
	void dCCdx_fastRes( double* xyz, std::string atomName, double* grad );
	// d(atom term)/dB through the B-bin coordinate; 0 with one bin, for B
	// outside [0, 600] and where the bin lies outside [1, nFastBins].
	double dCCdB_fastRes( double* xyz, double B, std::string atomName );
	// Gradient over the 6-D pose x of the fast score of a CA trace (carbon,
	// effB); movedCA: the trace CA already moved by x about centre.
	void dCCdx_fastRes_6D_CA( double** CA, double** movedCA, double* centre, int n, double* x, double* grad );
	// d(correlation)/dB of every selected atom, the correlation being the
	// weighted Pearson correlation (weights: the map's extents) between the
	// map and the density calculated from the selected atoms.  dCCdB gets one
	// value per selected atom; all 0 when either variance vanishes.
	void dCCdBs( Model const& xyz, AtomNames const& names, std::vector< std::vector< double > > const& B,
		double* dCCdB, farray::FArray3D< double > const& weights, std::string selection );

	// ---- B-bin rescaling diagnostic -----------------------------------------
	// Rescales each B bin of the fast-score cache so that the bins' scores of
	// the model follow the correlations of its calculated density with the
	// map (the bin with the best correlation is the reference); prints the
	// bins' figures unless quiet.  Nothing to do with one bin.  B: per atom,
	// the shape of xyz; not read when noB.
	void rescale_fastscoring_temp_bins( Model const& xyz, AtomNames const& names,
		std::vector< std::vector< double > > const& B, bool noB );

	// ---- map resizing ---------------------------------------------------------
	// Fourier-resamples a map covering the whole unit cell onto the
	// FFT-friendly grid (multiples of resizeMultiple, prime factors <= 19)
	// nearest to voxels of apix A.  Density values and the map's position are
	// kept; the cell, its matrices and gridWidth are not changed.
	void resize( double apix );

	// ---- calculated density -------------------------------------------------
	// Density of the atoms on the grid of the map (extents of density()) and
	// a 0/1 mask of the voxels within the atoms' cut-off radii; atoms outside
	// the grid box are skipped.  resolution > 0 smooths the mask; forcedB > 0
	// sets the mask radius from that B; forcedMaskRadius > 0 fixes it.
	void calcRhoC( std::vector< poseCoord > const& atoms, double resolution, farray::FArray3D< double >& rhoC,
		farray::FArray3D< double >& mask, double forcedB, double Bmax, double forcedMaskRadius );
	// resolution 0, no forced B, B ceiling 600, no forced mask radius.
	void calcRhoC( std::vector< poseCoord > const& atoms, farray::FArray3D< double >& rhoC,
		farray::FArray3D< double >& mask );

	// ---- reciprocal space -------------------------------------------------------
	// Squared reciprocal length (1/A^2) of the frequency (h, k, l).
	double S2( int h, int k, int l ) const;
	void getResolutionBins( int nbins, double S_lo, double S_hi, std::vector< double >& centres,
		std::vector< int >& counts, bool in_S2 );
	void getFSC( farray::FArray3D< std::complex< double > > const& F_model,
		farray::FArray3D< std::complex< double > > const& F_map, int nbins, double S_lo, double S_hi,
		std::vector< double >& fsc, bool in_S2 );
	double ReportFSC( Model const& xyz, AtomNames const& names, double resolution );

	// ---- per-residue correlation --------------------------------------------
	double getRSCC_Res( int residue, int window, Model xyz, AtomNames names, bool flag );
	double getRSCC_Res( int residue, Model xyz, AtomNames names );

	// Side-chain weight of a residue type (1.0 outside the table).
	static double get_sc_scale( std::string residue );

	// ---- fields ---------------------------------------------------------------
	bool isLoaded;
	double modelResolution;   // resolution of getRSCC's CA model density
	double atomMask;          // atom mask radius; only raised by loading
	double caMask;            // CA mask radius; only raised by loading
	double forceApix;         // forced cubic voxel size; 0 = off
	double maskPadding;       // margin added to caMask for getRSCC's window
	int nFastBins;            // B bins of the fast score
	double kmin, kmax, kstep; // of the current fast-score cache
	int fastGrid[ 3 ];        // grid and origin of the current cache
	int fastOrigin[ 3 ];
	bool quiet;
	double minMult;           // 16 (largest voxel edge)^2
	double effB;              // 16 (effective resolution)^2
	int grid[ 3 ];            // unit-cell sampling MX, MY, MZ
	int origin[ 3 ];          // grid index of density(1,1,1), rounded
	double originGrid[ 3 ];   // the same, unrounded: ORIGIN words may place
	                          // the map between grid points.  Every score
	                          // uses this one, so scores are in the map's
	                          // true frame (voxelOrigin == f2c originGrid/grid)
	                          // and fitted models need no shift back.
	double altorigin[ 3 ];    // ORIGIN words of the header
	double voxelOrigin[ 3 ];  // Cartesian position of density(1,1,1)
	double densCenter[ 3 ];
	bool useAltOrigin;
	double densRg;
	double densRadius;
	double** densPoints;      // nDensPoints rows (x, y, z); shared, read-only
	double* densValues;
	int nDensPoints;
	double gridWidth;         // cube root of the voxel volume
	double densCutoff;
	double f2c[ 3 ][ 3 ];
	double c2f[ 3 ][ 3 ];
	float cellDimensions[ 3 ];
	float cellAngles[ 3 ];
	float rcellDimensions[ 3 ];
	float cosRcellAngles[ 3 ];
	double cellVolume;
	int resizeMultiple[ 3 ];
	double fscLowRes;
	double fscHighRes;
	int nFscBins;
	bool fscSquaredBins;
	double caK, caC, caCutoff2, caMaskOffset;

private:
	// Selected atoms of the model last given to the pose score, with their
	// weights and B-bin taps; rebuilt when the model, the selection or the
	// cache changes.
	struct PoseAtoms {
		void const* modelData = nullptr;
		void const* namesData = nullptr;
		std::vector< std::size_t > residueSizes;
		std::string selection;
		std::vector< int > residue, atom;      // where each selected atom sits
		std::shared_ptr< FastDensityCache const > cache;
		double effB = 0.0;
		std::vector< double > weight;
		std::vector< int > nBinTaps;          // distinct bins each atom reads
		std::vector< long > binOff;           // 4 per atom: offsets of those bins
		std::vector< double > binWeight;      // 4 per atom
		// The last evaluation: a minimiser asks for the gradient at the point
		// it has just scored, which then costs no second pass.
		bool lastValid = false;
		double lastX[ 6 ] = { 0, 0, 0, 0, 0, 0 };
		double lastCentre[ 3 ] = { 0, 0, 0 };
		double lastGrad[ 6 ] = { 0, 0, 0, 0, 0, 0 };
		std::vector< double > lastCoords;     // 3 per selected atom
	};
	bool sameAsLast( Model const& model, double const* x, double const* centre ) const;
	void rememberLast( Model const& model, double const* x, double const* centre );

	bool loadMapFile( std::string const& file, double reso, double apix, double thr, bool q );
	void buildFastCache();
	void setVoxelList( std::shared_ptr< DensityVoxelList > list );
	static int binTaps( double bin, FastDensityCache const& c, long* off, double* w );
	double binCoordinate( OneGaussianScattering const& g, FastDensityCache const& c ) const;
	bool preparePoseAtoms( Model const& model, AtomNames const& names, std::string const& selection );
	// Bin coordinate of an atom of element g with B factor B, clamped to the bins.
	double binCoordinateOfB( OneGaussianScattering const& g, double B, FastDensityCache const& c ) const;
	// Spline value of the cache at a Cartesian point and bin; optionally its
	// Cartesian gradient and its derivative with respect to the bin.
	double fastLookup( FastDensityCache const& c, double const* xyz, double bin, double* dxyz, double* dbin ) const;
	// Weight times value of one atom (name's first character the element).
	double fastAtomTerm( FastDensityCache const& c, double const* xyz, std::string const& name, double B,
		double scale ) const;
	double poseScore( Model const& model, double const* x, double const* centre, double* grad );
	double rsccCore( double** xyz, int n, double** grad, bool gradientWanted, double radius );

	std::shared_ptr< farray::FArray3D< double > > density_;
	// Cache holder shared by the copies of one map; a change of the map gives
	// the changed object a fresh, empty holder.
	struct FastCacheSlot {
		std::shared_ptr< FastDensityCache const > cache;
	};
	std::shared_ptr< FastCacheSlot > fastSlot_;
	std::shared_ptr< DensityVoxelList > voxelList_;
	std::shared_ptr< DensityScore > densityScore_; // the resampled voxel list's source
	PoseAtoms pose_;
};

#endif
