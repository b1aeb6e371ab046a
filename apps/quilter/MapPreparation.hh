// Between map files and loaded maps: the process-wide loaded map that the
// assembly program hands out as copies, and the preparation of a supplied
// map (processing, resampling to a coarser grid, loading).
#ifndef QUILT_QUILTER_MAPPREPARATION_HH
#define QUILT_QUILTER_MAPPREPARATION_HH

#include "density/DensityScore.hh"
#include "density/FastDensityScore.hh"
// getDensityMap( FastDensityScore const& ): the fitting objective's
// process-wide map, declared with the objective.
#include "fitting/DensScoreMultifunc.hh"

#include <string>

// The process-wide loaded map.  It is (re)loaded from file unless it is
// loaded already with voxel width apix and reload is false.  A failed load
// leaves it unloaded (never a map loaded earlier).  The next loading call
// overwrites it: callers copy it at once.
FastDensityScore& getDensityMap( const std::string& file, double reso, double apix, bool reload, double thr,
	bool quiet );

// Processes map into dir/<name>.mrc (contour segmentation with seg, plain
// processing otherwise), resamples it to the minimum grid width when its
// voxels are finer than that or than gridWidth (raising minGridWidth to
// gridWidth first), loads the result and returns a copy.  Afterwards map is
// the prepared path and thr is 0.  A map that cannot be loaded stops the
// process with an error.
FastDensityScore processDensityMap( std::string& map, std::string& dir, double& gridWidth, double& minGridWidth,
	double reso, double& thr, bool quiet, bool seg, DensityScore& ds, const std::string& name );

// The same without processing: the grid width is read from map itself and
// the resampling and loading use the threshold 0.005; map is unchanged.
FastDensityScore processDensityMap( std::string& map, std::string& dir, double& gridWidth, double& minGridWidth,
	double reso, double& thr, bool quiet, DensityScore& ds, const std::string& name );

// Resamples map to the coarser of minGridWidth and gridWidth when its own
// voxel width g is finer than either; returns the path to load.
std::string resampleIfFiner( DensityScore& ds, const std::string& map, double reso, double gridWidth,
	double& minGridWidth, double thr );

// The same kind of process-wide map for the map processor: loaded from file
// (readDensityMap_st) unless it is loaded already and reload is false.  The
// holder owns the voxel list it read: a reload releases it first, so that a
// copy taken of the held map does not outlive the next reload.
DensityScore& getDensityMap_st( std::string file, double reso, double apix, bool reload, double thr );
// A process-wide map processor of its own, set to a member-wise copy of map
// at every call (the voxel list is shared with map, not copied): a later
// call with another map replaces the earlier one.
DensityScore& getDensityMap_st( DensityScore map );

#endif
