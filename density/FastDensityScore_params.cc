// FastDensityScore: cell matrices, voxel list and the constants derived from
// a loaded map.
#include "density/FastDensityScore.hh"

#include "density/DensityScore.hh"

#include <algorithm>
#include <cmath>
#include <iostream>

bool FastDensityScore::computeCrystParams()
{
	// Angles in single precision, as the header stores them.
	float const ra = float( cellAngles[ 0 ] * 0.017453292519943295 );
	float const rb = float( cellAngles[ 1 ] * 0.017453292519943295 );
	float const rg = float( cellAngles[ 2 ] * 0.017453292519943295 );
	double const ca = std::cos( ra ), sa = std::sin( ra );
	double const cb = std::cos( rb ), sb = std::sin( rb );
	double const cg = std::cos( rg ), sg = std::sin( rg );
	double const a = cellDimensions[ 0 ], b = cellDimensions[ 1 ], c = cellDimensions[ 2 ];

	// Standard fractional-to-Cartesian matrix (a along x, b in the xy plane),
	// applied to column vectors: x = f2c f.
	double const t = ( cg * cb - ca ) / ( sb * sg ); // cosine of the reciprocal angle alpha*
	f2c[ 0 ][ 0 ] = a;
	f2c[ 0 ][ 1 ] = b * cg;
	f2c[ 0 ][ 2 ] = c * cb;
	f2c[ 1 ][ 0 ] = 0.0;
	f2c[ 1 ][ 1 ] = b * sg;
	f2c[ 1 ][ 2 ] = c * ( ca - cb * cg ) / sg;
	f2c[ 2 ][ 0 ] = 0.0;
	f2c[ 2 ][ 1 ] = 0.0;
	f2c[ 2 ][ 2 ] = c * sb * std::sqrt( 1.0 - t * t );

	double const det = f2c[ 2 ][ 2 ] * f2c[ 1 ][ 1 ] * a;
	double const abc = double( float( a ) * float( b ) * float( c ) );
	double const volume = abc * std::sqrt( 1.0 - ca * ca - cb * cb - cg * cg + 2.0 * ca * cb * cg );
	// The volume formula can come out NaN or 0 for angles at which the matrix
	// still has a tiny positive determinant: both must be usable.
	if ( !std::isfinite( det ) || det <= 0.0 || !std::isfinite( volume ) || volume <= 0.0 ) {
		// Zero, negative or NaN volume: the cell cannot place atoms.
		std::cout << "Warning! Invalid crystal cell dimensions." << std::endl;
		return false;
	}
	for ( int i = 0; i < 3; ++i )
		for ( int j = 0; j < 3; ++j ) c2f[ i ][ j ] = 0.0;
	c2f[ 0 ][ 0 ] = f2c[ 2 ][ 2 ] * f2c[ 1 ][ 1 ] / det;
	c2f[ 0 ][ 1 ] = -f2c[ 2 ][ 2 ] * f2c[ 0 ][ 1 ] / det;
	c2f[ 0 ][ 2 ] = ( f2c[ 0 ][ 1 ] * f2c[ 1 ][ 2 ] - f2c[ 0 ][ 2 ] * f2c[ 1 ][ 1 ] ) / det;
	c2f[ 1 ][ 1 ] = f2c[ 2 ][ 2 ] * a / det;
	c2f[ 1 ][ 2 ] = -f2c[ 1 ][ 2 ] * a / det;
	c2f[ 2 ][ 2 ] = a * f2c[ 1 ][ 1 ] / det;

	cellVolume = volume;
	double const V = cellVolume;
	rcellDimensions[ 0 ] = float( b * c * sa / V );
	rcellDimensions[ 1 ] = float( c * a * sb / V );
	rcellDimensions[ 2 ] = float( a * b * sg / V );
	auto cosAsin = []( double r ) { return float( std::cos( std::asin( std::max( -1.0, std::min( 1.0, r ) ) ) ) ); };
	cosRcellAngles[ 0 ] = cosAsin( V / ( abc * sb * sg ) );
	cosRcellAngles[ 1 ] = cosAsin( V / ( abc * sa * sg ) );
	cosRcellAngles[ 2 ] = cosAsin( V / ( abc * sa * sb ) );
	return true;
}

void FastDensityScore::set_voxel_spacing( double a )
{
	for ( int i = 0; i < 3; ++i ) cellDimensions[ i ] = float( grid[ i ] * a );
	computeCrystParams();
	double f[ 3 ] = { originGrid[ 0 ] / grid[ 0 ], originGrid[ 1 ] / grid[ 1 ], originGrid[ 2 ] / grid[ 2 ] };
	fracToCart( f, voxelOrigin );
	std::cout << "Forcing apix to " << a << "," << a << "," << a << std::endl;
	density_change_trigger();
}

void FastDensityScore::density_change_trigger()
{
	// A fresh holder: copies that share the old one keep their cache.
	fastSlot_ = std::make_shared< FastCacheSlot >();
	for ( int i = 0; i < 3; ++i ) fastGrid[ i ] = 0;
}

void FastDensityScore::setVoxelList( std::shared_ptr< DensityVoxelList > list )
{
	voxelList_ = list;
	nDensPoints = int( list->values.size() );
	densPoints = list->rows.empty() ? nullptr : list->rows.data();
	densValues = list->values.empty() ? nullptr : list->values.data();
	densRg = 0.0;
	densRadius = 0.0;
	if ( nDensPoints == 0 ) {
		// No voxel above the threshold: centre on the middle of the stored block
		// instead of dividing by a zero count.
		farray::FArray3D< double > const& d = *density_;
		voxelPosition( 0.5 * ( d.u1() - 1 ), 0.5 * ( d.u2() - 1 ), 0.5 * ( d.u3() - 1 ), densCenter );
		return;
	}
	double s[ 3 ] = { 0.0, 0.0, 0.0 };
	for ( int i = 0; i < nDensPoints; ++i )
		for ( int a = 0; a < 3; ++a ) s[ a ] += densPoints[ i ][ a ];
	for ( int a = 0; a < 3; ++a ) densCenter[ a ] = s[ a ] / nDensPoints;
	double sum2 = 0.0, max2 = 0.0;
	for ( int i = 0; i < nDensPoints; ++i ) {
		double d2 = 0.0;
		for ( int a = 0; a < 3; ++a ) {
			double const d = densPoints[ i ][ a ] - densCenter[ a ];
			d2 += d * d;
		}
		sum2 += d2;
		max2 = std::max( max2, d2 );
	}
	densRg = std::sqrt( sum2 / nDensPoints );
	densRadius = std::sqrt( max2 );
}

void FastDensityScore::computeDensParams( std::string file, double reso, double apix, double thr, bool resample )
{
	if ( resample && apix > gridWidth ) {
		// Voxel list of the map read again on a coarser grid.
		densityScore_ = std::make_shared< DensityScore >();
		densityScore_->readDensityMap_st( const_cast< char* >( file.c_str() ), reso, apix, thr );
		auto list = std::make_shared< DensityVoxelList >();
		int const n = densityScore_->voxel_count;
		list->xyz.resize( 3 * std::size_t( std::max( n, 0 ) ) );
		list->values.resize( std::max( n, 0 ) );
		for ( int i = 0; i < n; ++i ) {
			for ( int a = 0; a < 3; ++a ) list->xyz[ 3 * i + a ] = densityScore_->voxel_xyz[ i ][ a ];
			list->values[ i ] = densityScore_->voxel_val[ i ];
		}
		list->rows.resize( list->values.size() );
		for ( std::size_t i = 0; i < list->rows.size(); ++i ) list->rows[ i ] = &list->xyz[ 3 * i ];
		// The list now lives in this object's own holder; the reader's copy
		// has no other user.
		densityScore_->releaseVoxelList();
		std::cout << "xyzvol_size: " << n << std::endl;
		setVoxelList( list );
		return;
	}

	farray::FArray3D< double > const& d = *density_;
	int const nx = d.u1(), ny = d.u2(), nz = d.u3();
	long const n = long( nx ) * ny * nz;
	if ( !quiet ) std::cout << "ReadMrc> number of voxels : " << n << std::endl;
	auto list = std::make_shared< DensityVoxelList >();
	double const* v = &d[ 0 ];
	long count = 0;
	for ( long l = 0; l < n; ++l )
		if ( v[ l ] > thr ) ++count;
	list->xyz.reserve( 3 * count );
	list->values.reserve( count );
	long l = 0;
	for ( int z = 0; z < nz; ++z ) {
		for ( int y = 0; y < ny; ++y ) {
			for ( int x = 0; x < nx; ++x, ++l ) {
				if ( v[ l ] > thr ) {
					double p[ 3 ];
					voxelPosition( x, y, z, p );
					list->xyz.insert( list->xyz.end(), p, p + 3 );
					list->values.push_back( v[ l ] );
				}
			}
		}
	}
	list->rows.resize( list->values.size() );
	for ( std::size_t i = 0; i < list->rows.size(); ++i ) list->rows[ i ] = &list->xyz[ 3 * i ];
	setVoxelList( list );
	if ( nDensPoints == 0 && !quiet ) {
		std::cout << "Warning! No voxel lies above the density threshold " << thr << "; the voxel list is empty."
		          << std::endl;
	}
}

void FastDensityScore::calcute_CC_CA_para( double reso )
{
	double const effR = std::max( 0.8 * reso + 2.4, reso );
	caK = ( M_PI / effR ) * ( M_PI / effR );
	caC = 33.0 * std::pow( caK * 0.3183098861837907, 1.5 );
	caCutoff2 = 64.0;
	caMaskOffset = 36.0;
}

double FastDensityScore::get_sc_scale( std::string r )
{
	static char const* const names[] = { "ALA", "CYS", "ASP", "GLU", "PHE", "GLY", "HIS", "ILE", "LYS", "LEU",
		"MET", "ASN", "PRO", "GLN", "ARG", "SER", "THR", "VAL", "TRP", "TYR" };
	static double const factor[] = { 0.88, 0.81, 0.76, 0.76, 0.88, 1.0, 0.81, 0.88, 0.76, 0.88, 0.76, 0.81, 0.88,
		0.81, 0.76, 0.81, 0.81, 0.88, 0.88, 0.88 };
	for ( int i = 0; i < 20; ++i )
		if ( r == names[ i ] ) return factor[ i ];
	return 1.0;
}
