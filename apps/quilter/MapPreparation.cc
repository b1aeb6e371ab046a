#include "apps/quilter/MapPreparation.hh"

#include "core/basic_fun_Quilt.hh"
#include "utility/memory_stop.hh"

FastDensityScore& getDensityMap( const std::string& file, double reso, double apix, bool reload, double thr,
	bool quiet )
{
	static FastDensityScore theDensityMap;
	if ( theDensityMap.isLoaded && apix == theDensityMap.gridWidth && !reload ) return theDensityMap;
	if ( !theDensityMap.readDensityMap( file, reso, apix, thr, quiet ) ) {
		// The loader keeps an earlier map when it fails; hand out nothing
		// rather than the wrong map.  No room for the map ends the run.
		theDensityMap = FastDensityScore();
		utility::throw_if_memory_ran_out();
	}
	return theDensityMap;
}

std::string resampleIfFiner( DensityScore& ds, const std::string& map, double reso, double gridWidth,
	double& minGridWidth, double thr )
{
	double const g = ds.get_grid_width( map.c_str() );
	if ( gridWidth > g || minGridWidth > g ) {
		if ( gridWidth > minGridWidth ) minGridWidth = gridWidth;
		return ds.interpolate_new_map( map, reso, minGridWidth, thr, true );
	}
	return map;
}

namespace {

FastDensityScore load_or_stop( const std::string& path, double reso, double gridWidth, double thr, bool quiet )
{
	FastDensityScore const& loaded = getDensityMap( path, reso, gridWidth, true, thr, quiet );
	if ( !loaded.isLoaded ) PrintErrorAndQuitS( "Error! The density map " + path + " could not be loaded." );
	return loaded;
}

} // namespace

FastDensityScore processDensityMap( std::string& map, std::string& dir, double& gridWidth, double& minGridWidth,
	double reso, double& thr, bool quiet, bool seg, DensityScore& ds, const std::string& name )
{
	std::string const work = dir + "/" + name + ".mrc";
	if ( seg ) ds.segmap( map, work, thr, quiet );
	else ds.map_processing( map, work, thr, quiet );
	thr = 0.0;
	map = resampleIfFiner( ds, work, reso, gridWidth, minGridWidth, thr );
	return load_or_stop( map, reso, gridWidth, thr, quiet );
}

FastDensityScore processDensityMap( std::string& map, std::string& dir, double& gridWidth, double& minGridWidth,
	double reso, double& thr, bool quiet, DensityScore& ds, const std::string& name )
{
	(void)dir;
	(void)name;
	thr = 0.005;
	std::string const path = resampleIfFiner( ds, map, reso, gridWidth, minGridWidth, thr );
	return load_or_stop( path, reso, gridWidth, thr, quiet );
}

DensityScore& getDensityMap_st( std::string file, double reso, double apix, bool reload, double thr )
{
	static DensityScore theDensityMap;
	if ( theDensityMap.loaded && !reload ) return theDensityMap;
	// The holder read the voxel list it has, so it owns it: reading anew
	// would leave the old one without an owner.
	theDensityMap.releaseVoxelList();
	theDensityMap.readDensityMap_st( file.c_str(), reso, apix, thr );
	return theDensityMap;
}

DensityScore& getDensityMap_st( DensityScore map )
{
	static DensityScore theDensityMap;
	theDensityMap = map;
	return theDensityMap;
}
