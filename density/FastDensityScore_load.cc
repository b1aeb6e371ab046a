// FastDensityScore: construction, copies and loading of MRC/CCP4 maps of
// 32-bit floats onto the full unit-cell grid.  The header words, their
// meaning and what this loader does when one is odd are documented in
// MrcHeader.cc.
#include "density/FastDensityScore.hh"

#include "density/DensityScore.hh"
#include "density/MemoryRoom.hh"
#include "density/MrcHeader.hh"
#include "farray/DynamicIndexRange.hh"
#include "utility/memory_stop.hh"

#include <algorithm>
#include <cctype>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iostream>
#include <new>
#include <sstream>

using farray::DynamicIndexRange;
using farray::FArray3D;

FastDensityScore::FastDensityScore()
	: isLoaded( false ),
	  modelResolution( 0.0 ),
	  atomMask( 3.2 ),
	  caMask( 6.0 ),
	  forceApix( 0.0 ),
	  maskPadding( 2.0 ),
	  nFastBins( 1 ),
	  kmin( 0.0 ),
	  kmax( 0.0 ),
	  kstep( 0.0 ),
	  quiet( false ),
	  minMult( 0.0 ),
	  effB( 0.0 ),
	  useAltOrigin( false ),
	  densRg( 0.0 ),
	  densRadius( 0.0 ),
	  densPoints( nullptr ),
	  densValues( nullptr ),
	  nDensPoints( 0 ),
	  gridWidth( 0.0 ),
	  densCutoff( 0.0 ),
	  cellVolume( 0.0 ),
	  fscLowRes( 10.0 ),
	  fscHighRes( 0.0 ),
	  nFscBins( 50 ),
	  fscSquaredBins( false ),
	  caK( 0.0 ),
	  caC( 0.0 ),
	  caCutoff2( 0.0 ),
	  caMaskOffset( 0.0 ),
	  density_( std::make_shared< FArray3D< double > >() ),
	  fastSlot_( std::make_shared< FastCacheSlot >() ),
	  voxelList_( std::make_shared< DensityVoxelList >() )
{
	for ( int i = 0; i < 3; ++i ) {
		fastGrid[ i ] = 0;
		fastOrigin[ i ] = 0;
		grid[ i ] = 0;
		origin[ i ] = 0;
		originGrid[ i ] = 0.0;
		altorigin[ i ] = 0.0;
		voxelOrigin[ i ] = 0.0;
		densCenter[ i ] = 0.0;
		cellDimensions[ i ] = 1.0f;
		cellAngles[ i ] = 1.0f;
		rcellDimensions[ i ] = 0.0f;
		cosRcellAngles[ i ] = 0.0f;
		resizeMultiple[ i ] = 2;
		for ( int j = 0; j < 3; ++j ) {
			f2c[ i ][ j ] = ( i == j ) ? 1.0 : 0.0;
			c2f[ i ][ j ] = ( i == j ) ? 1.0 : 0.0;
		}
	}
}

FastDensityScore::FastDensityScore( FastDensityScore const& ) = default;
FastDensityScore& FastDensityScore::operator=( FastDensityScore const& ) = default;
FastDensityScore::FastDensityScore( FastDensityScore&& ) noexcept = default;
FastDensityScore& FastDensityScore::operator=( FastDensityScore&& ) noexcept = default;
FastDensityScore::~FastDensityScore() = default;

void FastDensityScore::init()
{
	isLoaded = false;
	for ( int i = 0; i < 3; ++i ) {
		cellDimensions[ i ] = 1.0f;
		cellAngles[ i ] = 1.0f;
		grid[ i ] = 0;
		origin[ i ] = 0;
		originGrid[ i ] = 0.0;
	}
	useAltOrigin = false;
	nFastBins = 1;
	nFscBins = 50;
	gridWidth = 0.0;
	fscSquaredBins = false;
	atomMask = 3.2;
	maskPadding = 2.0;
	caMask = 6.0;
	forceApix = 0.0;
	effB = 0.0;
	fscLowRes = 10.0;
	fscHighRes = 0.0;
}

void FastDensityScore::swap4_aligned( void* p, long n )
{
	mrc::swap4( p, n );
}

farray::FArray3D< double >& FastDensityScore::mutableDensity()
{
	if ( density_.use_count() > 1 ) density_ = std::make_shared< FArray3D< double > >( *density_ );
	density_change_trigger();
	return *density_;
}

bool FastDensityScore::hasPositiveDensity() const
{
	FArray3D< double > const& d = *density_;
	for ( long l = 0, n = long( d.size() ); l < n; ++l )
		if ( d[ l ] > 0.0 ) return true;
	return false;
}

void FastDensityScore::cartToFrac( double const* x, double* f ) const
{
	for ( int j = 0; j < 3; ++j ) f[ j ] = c2f[ j ][ 0 ] * x[ 0 ] + c2f[ j ][ 1 ] * x[ 1 ] + c2f[ j ][ 2 ] * x[ 2 ];
}

void FastDensityScore::fracToCart( double const* f, double* x ) const
{
	for ( int j = 0; j < 3; ++j ) x[ j ] = f2c[ j ][ 0 ] * f[ 0 ] + f2c[ j ][ 1 ] * f[ 1 ] + f2c[ j ][ 2 ] * f[ 2 ];
}

void FastDensityScore::voxelPosition( double i, double j, double k, double* out ) const
{
	double f[ 3 ] = { i / grid[ 0 ], j / grid[ 1 ], k / grid[ 2 ] };
	fracToCart( f, out );
	for ( int a = 0; a < 3; ++a ) out[ a ] += voxelOrigin[ a ];
}

bool FastDensityScore::readDensityMap( std::string file, double reso, double apix, double thr, bool q )
{
	// Load into a copy (cheap: the big arrays are shared) and take it over
	// only on success, so that a failed reload keeps the earlier map.
	FastDensityScore loaded( *this );
	try {
		if ( !loaded.loadMapFile( file, reso, apix, thr, q ) ) return false;
	} catch ( std::bad_alloc const& ) {
		char size[32];
		utility::failed_allocation_text( size, sizeof size );
		std::cout << "Error! Not enough memory to load the map " << file;
		if ( size[0] ) std::cout << " (" << size << " could not be allocated)";
		std::cout << ".  Not loading map." << std::endl;
		return false;
	}
	*this = std::move( loaded );
	return true;
}

namespace {

// The product a b c of three positive counts, or INT_MAX + 1 when it is
// larger than INT_MAX (the arrays index their voxels with int).  Two counts
// multiply within 64 bits; the third is compared by division, so that three
// large counts cannot overflow the product.
int64_t capped_product( int32_t a, int32_t b, int32_t c )
{
	int64_t const ab = int64_t( a ) * b;
	return ab > INT_MAX / c ? int64_t( INT_MAX ) + 1 : ab * c;
}

void print3( char const* label, double a, double b, double c )
{
	std::cout << label << a << " x " << b << " x " << c << std::endl;
}

} // namespace

bool FastDensityScore::loadMapFile( std::string const& file, double reso, double apix, double thr, bool q )
{
	quiet = q;
	densCutoff = thr;

	std::ifstream in( file.c_str(), std::ios::binary );
	if ( !in ) {
		std::cout << "Error! No map can be loaded." << std::endl;
		return false;
	}

	// The header: 1024 bytes, or as many as the file holds.
	unsigned char h[ mrc::kHeaderBytes ];
	in.read( reinterpret_cast< char* >( h ), sizeof( h ) );
	long const got = static_cast< long >( in.gcount() );
	in.clear();
	// A compressed map reads as meaningless words: say what it is.
	if ( mrc::gzip_magic( h, got ) ) {
		std::cout << "Error! Map " << file << " is gzip-compressed (it begins with the bytes 1f 8b); decompress it"
		          << " (gunzip) first.  Not loading map." << std::endl;
		return false;
	}
	// A file shorter than the header holds no map at all, whatever the words
	// it has would say (the same words as DensityScore's reader).
	if ( got < mrc::kHeaderBytes ) {
		std::cout << "Error! Map " << file << " has " << got << " bytes, too few for the " << mrc::kHeaderBytes
		          << "-byte MRC header.  Not loading map." << std::endl;
		return false;
	}
	// Only the first three bytes of the stamp are compared ("MAP " or "MAP\0").
	if ( std::memcmp( h + mrc::offset( mrc::MAP_STRING ), "MAP", 3 ) != 0 ) {
		std::cout << "Error! 'MAP' string missing, not a valid MRC map.  Not loading map." << std::endl;
		return false;
	}

	// Byte order: MODE must read 2 in one of the two orders.
	bool swapped = false;
	if ( mrc::word_int( h + mrc::offset( mrc::MODE ), false ) != 2 ) {
		if ( mrc::word_int( h + mrc::offset( mrc::MODE ), true ) != 2 ) {
			// The MODE as it reads in the byte order that gives a data type
			// (the machine's own when neither does).
			int32_t mode = mrc::word_int( h + mrc::offset( mrc::MODE ), false );
			int32_t const other = mrc::word_int( h + mrc::offset( mrc::MODE ), true );
			if ( ( mode < 0 || mode > 1000 ) && other >= 0 && other <= 1000 ) mode = other;
			std::cout << "Error! Map " << file << " has MODE (word 4) " << mode << " (" << mrc::mode_name( mode )
			          << "), which is not supported; the supported mode is 2 (32-bit floats)." << std::endl;
			std::cout << "Non-real (32-bit float) data types are unsupported.  Not loading map." << std::endl;
			return false;
		}
		swapped = true;
	}
	mrc::Header hd;
	mrc::decode_header( h, got, swapped, hd );

	int32_t ext[ 3 ] = { hd.nc, hd.nr, hd.ns };
	int32_t start[ 3 ] = { hd.ncstart, hd.nrstart, hd.nsstart };
	int32_t samp[ 3 ] = { hd.mx, hd.my, hd.mz };
	int32_t crs2xyz[ 3 ] = { hd.mapc, hd.mapr, hd.maps };
	float const orig[ 3 ] = { hd.xorig, hd.yorig, hd.zorig };
	cellDimensions[ 0 ] = hd.xlen;
	cellDimensions[ 1 ] = hd.ylen;
	cellDimensions[ 2 ] = hd.zlen;
	cellAngles[ 0 ] = hd.alpha;
	cellAngles[ 1 ] = hd.beta;
	cellAngles[ 2 ] = hd.gamma;
	int32_t nsymbt = hd.nsymbt;

	if ( !quiet ) {
		if ( reso == 0.0 ) std::cout << "ReadMrc> Setting resolution to AUTO" << std::endl;
		else std::cout << "ReadMrc> resolution: " << reso << "A" << std::endl;
		std::cout << "ReadMrc> Atom mask: " << atomMask << "A" << std::endl;
		std::cout << "ReadMrc> CA atom mask: " << caMask << "A" << std::endl;
		std::cout << "ReadMrc> Read density map'" << file << "'" << std::endl;
		print3( "ReadMrc> extent: ", ext[ 0 ], ext[ 1 ], ext[ 2 ] );
		print3( "ReadMrc> origin: ", start[ 0 ], start[ 1 ], start[ 2 ] );
		print3( "ReadMrc> altorigin: ", orig[ 0 ], orig[ 1 ], orig[ 2 ] );
		print3( "ReadMrc> grid: ", samp[ 0 ], samp[ 1 ], samp[ 2 ] );
		print3( "ReadMrc> celldim: ", cellDimensions[ 0 ], cellDimensions[ 1 ], cellDimensions[ 2 ] );
		print3( "ReadMrc> cellangles: ", cellAngles[ 0 ], cellAngles[ 1 ], cellAngles[ 2 ] );
	}

	// Sizes from the header are checked before anything is allocated.
	if ( ext[ 0 ] <= 0 || ext[ 1 ] <= 0 || ext[ 2 ] <= 0 ) {
		std::cout << "Error! Map extents " << ext[ 0 ] << " x " << ext[ 1 ] << " x " << ext[ 2 ]
		          << " are not positive.  Not loading map." << std::endl;
		return false;
	}
	int64_t const nvox = capped_product( ext[ 0 ], ext[ 1 ], ext[ 2 ] );
	if ( nvox > INT_MAX ) {
		std::cout << "Error! Map extents " << ext[ 0 ] << " x " << ext[ 1 ] << " x " << ext[ 2 ]
		          << " hold too many voxels.  Not loading map." << std::endl;
		return false;
	}

	in.seekg( 0, std::ios::end );
	int64_t const fileSize = static_cast< int64_t >( in.tellg() );
	int64_t const dataOffset = fileSize - 4 * nvox;
	// A negative symmetry record length is no length at all.  Where the data
	// fill the file right after the header it can be taken as 0; where the
	// file holds bytes between the header and the data, their length is what
	// the word should have said, and reading from 1024 would shift every
	// voxel by them (the same rule as DensityScore's reader).
	if ( nsymbt < 0 ) {
		if ( dataOffset > 1024 ) {
			std::cout << "Error! Map " << file << " gives NSYMBT (word 24) " << nsymbt
			          << ", a negative length of symmetry records, but the file holds " << dataOffset - 1024
			          << " bytes besides its 1024-byte header and the voxel data; where the data start is not known."
			          << "  Not loading map." << std::endl;
			return false;
		}
		std::cout << "Warning! Negative symmetry record length taken as 0.  Continuing." << std::endl;
		nsymbt = 0;
	}
	// NSYMBT must lie within the file (the same rule as DensityScore's
	// reader); a record within it that leaves no room for the data is taken
	// as bogus below.
	if ( 1024 + int64_t( nsymbt ) > fileSize ) {
		std::cout << "Error! Map " << file << " gives NSYMBT (word 24) " << nsymbt
		          << " bytes of symmetry records, but the file holds only " << std::max< int64_t >( fileSize - 1024, 0 )
		          << " bytes after its 1024-byte header.  Not loading map." << std::endl;
		return false;
	}
	int64_t const recordEnd = 1024 + int64_t( nsymbt );
	int64_t readAt = recordEnd;
	auto sizes = [ & ] {
		std::ostringstream o;
		o << "1024 header bytes, " << nsymbt << " bytes of symmetry records and " << 4 * nvox << " bytes of voxel data ("
		  << ext[ 0 ] << " x " << ext[ 1 ] << " x " << ext[ 2 ] << " 32-bit floats), " << recordEnd + 4 * nvox
		  << " bytes in all";
		return o.str();
	};
	// A file with room for the header and the data only, whose header gives a
	// symmetry record, comes from writers that set NSYMBT and never wrote the
	// record: the data are read from 1024.  Unless the record is known to
	// have been written (its bytes read as text, or EXTTYP names a binary
	// extended header): then the data were cut short, and reading from 1024
	// would shift every voxel by the record.
	std::string const written =
		dataOffset == 1024 && nsymbt > 0 ? mrc::record_known_written( file, hd, nsymbt ) : std::string();
	// A file longer than its header, record and data whose bytes after the
	// header run on as text past the record: NSYMBT does not count the
	// record, and reading from its end would shift every voxel.
	std::string const uncounted =
		dataOffset > recordEnd ? mrc::record_beyond_nsymbt( file, nsymbt, dataOffset - 1024 ) : std::string();
	if ( dataOffset == recordEnd ) {
		// as expected
	} else if ( dataOffset == 1024 && written.empty() ) {
		// The size allows a second reading: the record was written and the
		// file lost as many bytes from its end.  Say what it would mean.
		std::cout << "Warning! File contains bogus symmetry record.  Continuing." << std::endl;
		std::string const other = mrc::shift_if_record_was_written( hd, nsymbt, 4 );
		std::cout << "Warning! Map " << file << " gives NSYMBT " << nsymbt << ", but its voxel data fill the file right "
		          << "after the header; they are read from byte 1024.  " << other << std::endl;
		mrc::note_other_reading( file, other );
		nsymbt = 0;
		readAt = 1024;
	} else if ( dataOffset < recordEnd ) {
		// Shorter than its header, record and data together: truncated.
		std::cout << "Warning! File appears truncated and doesn't match header.  Not loading map." << std::endl;
		std::cout << "Error! Map " << file << " is truncated: its header gives " << sizes() << ", but the file has "
		          << fileSize << ".";
		if ( !written.empty() ) {
			std::string w = written;
			w[ 0 ] = char( std::toupper( static_cast< unsigned char >( w[ 0 ] ) ) );
			std::cout << "  " << w << ", so the voxel data are cut short.";
		}
		std::cout << std::endl;
		return false;
	} else if ( !uncounted.empty() ) {
		std::cout << "Error! Map " << file << " gives NSYMBT (word 24) " << nsymbt << ", but " << uncounted << ": "
		          << "its header gives " << sizes() << ", but the file has " << fileSize << ", " << dataOffset - recordEnd
		          << " bytes more, and where the voxel data start is not known.  Not loading map." << std::endl;
		return false;
	} else if ( dataOffset <= 1048575 ) {
		std::cout << "Warning! File is larger than expected and doesn't match header.  Reading anyway."
		          << std::endl;
		// The size allows a second reading here too: the extra bytes lie
		// before the data, which then end the file.
		std::string const other = mrc::shift_if_bytes_lie_before_data( hd, dataOffset - recordEnd, 4 );
		std::cout << "Warning! Map " << file << " is larger than its header gives (" << sizes() << "; the file has "
		          << fileSize << "): the voxel data are read from byte " << recordEnd << " and the "
		          << dataOffset - recordEnd << " bytes after them are not used.  " << other << std::endl;
		mrc::note_other_reading( file, other );
	} else {
		std::cout << "Error! File is MUCH larger than expected and doesn't match header.  Not loading map."
		          << std::endl;
		std::cout << dataOffset << std::endl;
		return false;
	}

	// The interval counts give the voxel width (cell edge / count): a count
	// below 1 leaves the voxels without a size, so the data cannot be placed
	// (the same rule as DensityScore's reader).
	char const* axisName[ 3 ] = { "X", "Y", "Z" };
	for ( int i = 0; i < 3; ++i ) {
		if ( samp[ i ] < 1 ) {
			std::cout << "Error! Map " << file << " has M" << axisName[ i ] << " (word " << mrc::MX + i << ") "
			          << samp[ i ] << "; the interval counts must be at least 1.  Not loading map." << std::endl;
			return false;
		}
	}
	if ( capped_product( samp[ 0 ], samp[ 1 ], samp[ 2 ] ) > INT_MAX ) {
		std::cout << "Error! Unit-cell sampling " << samp[ 0 ] << " x " << samp[ 1 ] << " x " << samp[ 2 ]
		          << " is not usable.  Not loading map." << std::endl;
		return false;
	}

	if ( crs2xyz[ 0 ] == 0 && crs2xyz[ 1 ] == 0 && crs2xyz[ 2 ] == 0 ) {
		std::cout << "Warning! All crs2xyz records are zero." << std::endl;
		std::cout << "Warning! Setting crs2xyz to 1, 2, 3 and continuing." << std::endl;
		crs2xyz[ 0 ] = 1;
		crs2xyz[ 1 ] = 2;
		crs2xyz[ 2 ] = 3;
	}
	int xyz2crs[ 3 ] = { -1, -1, -1 };
	bool permutation = true;
	for ( int k = 0; k < 3; ++k ) {
		int64_t const a = int64_t( crs2xyz[ k ] ) - 1;
		if ( a < 0 || a > 2 || xyz2crs[ a ] != -1 ) {
			permutation = false;
			break;
		}
		xyz2crs[ a ] = k;
	}
	if ( !permutation ) {
		std::cout << "Error! Axis map " << crs2xyz[ 0 ] << ", " << crs2xyz[ 1 ] << ", " << crs2xyz[ 2 ]
		          << " is not a permutation of 1, 2, 3.  Not loading map." << std::endl;
		return false;
	}

	// A cell edge that is not a positive number gives the voxels no size.
	// Two negative edges even give the cell matrix a positive determinant,
	// and the map would be placed mirrored, so each edge is checked on its
	// own (the same rule as DensityScore's reader).
	for ( int a = 0; a < 3; ++a ) {
		double const len = cellDimensions[ a ];
		if ( !std::isfinite( len ) || !( len > 0.0 ) ) {
			std::cout << "Error! Map " << file << " has " << axisName[ a ] << " length (word " << mrc::XLEN + a << ") "
			          << len << "; the cell lengths must be positive numbers.  Not loading map." << std::endl;
			return false;
		}
	}

	// The voxel is the cell edge over the interval count along each axis,
	// whatever the data extent.  Voxels far smaller than an atom describe a
	// box in which no model can be placed (the same bound as DensityScore's
	// reader).
	double voxel[ 3 ];
	for ( int a = 0; a < 3; ++a ) {
		double const len = cellDimensions[ a ];
		voxel[ a ] = len / samp[ a ];
		if ( mrc::voxel_too_small( voxel[ a ] ) ) {
			std::cout << "Error! Map " << file << " has voxels of " << voxel[ a ] << " A along " << axisName[ a ] << " ("
			          << axisName[ a ] << " length " << len << " A / M" << axisName[ a ] << " " << samp[ a ]
			          << "); voxels below " << mrc::kMinVoxelWidth << " A are not usable.  Not loading map." << std::endl;
			return false;
		}
	}

	// Data that reach beyond the unit-cell grid along an axis (an interval
	// count MX, MY or MZ below the data extent along it) span more than one
	// cell there.  The expansion to the cell would cut them off, and a grid
	// of the data extent over the same cell edge would shrink the voxels:
	// along such an axis the grid becomes the data extent and the cell edge
	// that extent times the voxel, so that every voxel is kept at the size
	// the header gives, and the start indices, ORIGIN, masks and memory
	// checks all work in that frame.  The cell angles stay, so a skewed cell
	// keeps its shape.
	{
		int64_t const extXyz[ 3 ] = { ext[ xyz2crs[ 0 ] ], ext[ xyz2crs[ 1 ] ], ext[ xyz2crs[ 2 ] ] };
		bool widened = false;
		int32_t const before[ 3 ] = { samp[ 0 ], samp[ 1 ], samp[ 2 ] };
		for ( int a = 0; a < 3; ++a ) {
			if ( samp[ a ] >= extXyz[ a ] ) continue;
			float const span = float( voxel[ a ] * double( extXyz[ a ] ) );
			if ( !std::isfinite( span ) ) {
				std::cout << "Error! Map " << file << " has data reaching beyond the unit-cell grid along " << axisName[ a ]
				          << " (" << extXyz[ a ] << " voxels, M" << axisName[ a ] << " " << samp[ a ] << "), and their span of "
				          << extXyz[ a ] << " voxels of " << voxel[ a ] << " A is not a usable length.  Not loading map."
				          << std::endl;
				return false;
			}
			samp[ a ] = int32_t( extXyz[ a ] );
			cellDimensions[ a ] = span;
			widened = true;
		}
		if ( widened ) {
			std::cout << "Warning! Map data (" << extXyz[ 0 ] << " x " << extXyz[ 1 ] << " x " << extXyz[ 2 ]
			          << " along x, y, z) reach beyond the unit-cell grid (" << before[ 0 ] << " x " << before[ 1 ] << " x "
			          << before[ 2 ] << "); the voxel size stays the cell length over the interval count, " << voxel[ 0 ]
			          << " x " << voxel[ 1 ] << " x " << voxel[ 2 ] << " A, and the map is read over " << cellDimensions[ 0 ]
			          << " x " << cellDimensions[ 1 ] << " x " << cellDimensions[ 2 ] << " A.  Continuing." << std::endl;
		}
	}

	// The map is placed on its whole unit-cell grid (expandToUnitCell): a
	// boxed map that keeps the cell of the map it was cut from takes the
	// memory of that whole cell.  Checked before anything is allocated: the
	// grid must be one the arrays can index (2^31 - 1 voxels), and the data
	// block with the cell grid beside it (both live while the grid is
	// filled) must fit in the memory the process can still take.
	int64_t const cellVoxels = capped_product( samp[ 0 ], samp[ 1 ], samp[ 2 ] );
	if ( cellVoxels > INT_MAX ) {
		std::cout << "Error! Unit-cell sampling " << samp[ 0 ] << " x " << samp[ 1 ] << " x " << samp[ 2 ]
		          << " is not usable.  Not loading map." << std::endl;
		return false;
	}
	bool const expands = cellVoxels > nvox;
	uint64_t const blockBytes = uint64_t( nvox ) * sizeof( double );
	uint64_t const cellBytes = expands ? uint64_t( cellVoxels ) * sizeof( double ) : 0;
	{
		MemoryRoom const room = memoryRoom();
		if ( room.known && blockBytes + cellBytes > room.bytes ) {
			std::cout << "Error! Map " << file << " needs " << megabytes( blockBytes + cellBytes ) << " for its "
			          << ext[ 0 ] << " x " << ext[ 1 ] << " x " << ext[ 2 ] << " voxels";
			if ( expands )
				std::cout << " placed on its unit-cell grid of " << samp[ 0 ] << " x " << samp[ 1 ] << " x " << samp[ 2 ]
				          << " (" << cellVoxels << " voxels)";
			std::cout << ", more than the " << megabytes( room.bytes ) << " of " << room.source
			          << ".  Not loading map." << std::endl;
			// Refused before the allocation, as if it had failed: the
			// program ends with its memory line.
			utility::note_allocation_failure( std::size_t( blockBytes + cellBytes ) );
			return false;
		}
	}

	// Data: sections, rows, columns; each value goes to its x, y, z place.
	int const ex = ext[ xyz2crs[ 0 ] ], ey = ext[ xyz2crs[ 1 ] ];
	auto values = std::make_shared< FArray3D< double > >();
	try {
		values->dimension( DynamicIndexRange( ex ), DynamicIndexRange( ey ), DynamicIndexRange( ext[ xyz2crs[ 2 ] ] ) );
	} catch ( std::bad_alloc const& ) {
		std::cout << "Error! Not enough memory for the " << ext[ 0 ] << " x " << ext[ 1 ] << " x " << ext[ 2 ]
		          << " voxels of map " << file << " (" << megabytes( blockBytes ) << ").  Not loading map." << std::endl;
		return false;
	}
	double* dst = &( *values )[ 0 ];
	// Linear stride of each file axis (column, row, section) in the x-fastest block.
	long stride[ 3 ];
	stride[ xyz2crs[ 0 ] ] = 1;
	stride[ xyz2crs[ 1 ] ] = ex;
	stride[ xyz2crs[ 2 ] ] = long( ex ) * ey;
	in.clear();
	in.seekg( readAt, std::ios::beg );
	std::vector< float > row( ext[ 0 ] );
	long nonFinite = 0;
	for ( int s = 0; s < ext[ 2 ]; ++s ) {
		for ( int r = 0; r < ext[ 1 ]; ++r ) {
			if ( in.eof() ) {
				std::cout << "Error! Unexpected end-of-file. Not loading map." << std::endl;
				return false;
			}
			if ( in.fail() ) {
				std::cout << "Error! Problem reading the file. Not loading map." << std::endl;
				return false;
			}
			in.read( reinterpret_cast< char* >( row.data() ), 4 * long( ext[ 0 ] ) );
			if ( in.gcount() != 4 * long( ext[ 0 ] ) ) {
				std::cout << "Error reading data row. Not loading map." << std::endl;
				return false;
			}
			if ( swapped ) swap4_aligned( row.data(), ext[ 0 ] );
			long const base = r * stride[ 1 ] + s * stride[ 2 ];
			for ( int c = 0; c < ext[ 0 ]; ++c ) {
				double v = row[ c ];
				if ( !std::isfinite( v ) ) {
					++nonFinite;
					v = 0.0;
				}
				dst[ base + c * stride[ 0 ] ] = v;
			}
		}
	}
	if ( nonFinite > 0 ) {
		// One bad voxel would turn every correlation into NaN.
		std::cout << "Warning! " << nonFinite << " map values are not finite; set to 0.  Continuing." << std::endl;
	}
	density_ = values;
	fastSlot_ = std::make_shared< FastCacheSlot >();
	pose_ = PoseAtoms();

	for ( int a = 0; a < 3; ++a ) {
		origin[ a ] = start[ xyz2crs[ a ] ];
		originGrid[ a ] = origin[ a ];
		grid[ a ] = samp[ a ];
	}

	if ( !computeCrystParams() ) {
		std::cout << "Error! Unusable unit cell " << cellDimensions[ 0 ] << " x " << cellDimensions[ 1 ] << " x "
		          << cellDimensions[ 2 ] << " A, angles " << cellAngles[ 0 ] << " x " << cellAngles[ 1 ] << " x "
		          << cellAngles[ 2 ] << ".  Not loading map." << std::endl;
		return false;
	}
	double const ngrid = double( grid[ 0 ] ) * grid[ 1 ] * grid[ 2 ];
	if ( !quiet ) std::cout << "ReadMrc> voxel vol: " << cellVolume / ngrid << std::endl;
	gridWidth = std::cbrt( cellVolume / ngrid );
	if ( !quiet ) std::cout << "ReadMrc> grid width: " << gridWidth << std::endl;

	// ORIGIN words: x, y, z of the first voxel in Cartesian order (MRC2000;
	// unlike the start indices they do not follow the axis map).  Used when
	// set and sane, else the start indices place the map.  A word that is not
	// a finite number is left out on its own (with a warning): that axis
	// takes its place from the start indices, the other words still count.
	for ( int a = 0; a < 3; ++a ) altorigin[ a ] = orig[ a ];
	bool finiteWord[ 3 ];
	for ( int a = 0; a < 3; ++a ) finiteWord[ a ] = std::isfinite( orig[ a ] );
	if ( !finiteWord[ 0 ] || !finiteWord[ 1 ] || !finiteWord[ 2 ] ) {
		std::cout << "Warning! ORIGIN word";
		for ( int a = 0; a < 3; ++a )
			if ( !finiteWord[ a ] ) std::cout << " " << axisName[ a ];
		std::cout << " is not a finite number; the start indices place the map along that axis.  Continuing."
		          << std::endl;
	}
	bool originSet = false;
	for ( int a = 0; a < 3; ++a )
		if ( finiteWord[ a ] && orig[ a ] != 0.0f ) originSet = true;
	std::string const farWords = mrc::far_origin_words( orig[ 0 ], orig[ 1 ], orig[ 2 ] );
	bool const originSane = farWords.empty();
	if ( originSet && originSane ) {
		// Cartesian place of the start indices, for the words left out.
		double startCart[ 3 ];
		{
			double f[ 3 ] = { double( origin[ 0 ] ) / grid[ 0 ], double( origin[ 1 ] ) / grid[ 1 ],
				double( origin[ 2 ] ) / grid[ 2 ] };
			fracToCart( f, startCart );
		}
		double v[ 3 ];
		for ( int a = 0; a < 3; ++a ) v[ a ] = finiteWord[ a ] ? double( orig[ a ] ) : startCart[ a ];
		double f[ 3 ];
		cartToFrac( v, f );
		for ( int a = 0; a < 3; ++a ) {
			originGrid[ a ] = grid[ a ] * f[ a ];
			origin[ a ] = int( std::lround( originGrid[ a ] ) );
		}
		useAltOrigin = true;
		if ( !quiet ) {
			print3( "ReadMrc> Real for check: ", v[ 0 ] / gridWidth, v[ 1 ] / gridWidth, v[ 2 ] / gridWidth );
			print3( "ReadMrc> Using ALTERNATE origin: ", origin[ 0 ], origin[ 1 ], origin[ 2 ] );
		}
	} else {
		useAltOrigin = false;
	}
	// Cartesian place of the first voxel, from the same grid origin the scores
	// use, so that the voxel list, the map centre and the scores agree.
	{
		double f[ 3 ] = { originGrid[ 0 ] / grid[ 0 ], originGrid[ 1 ] / grid[ 1 ], originGrid[ 2 ] / grid[ 2 ] };
		fracToCart( f, voxelOrigin );
	}
	if ( !originSane ) {
		// The rule is old and kept, but a map placed elsewhere than its
		// header says must not go unnoticed: the fitted models come out in
		// the frame of the start indices.  (The first voxel is shown to
		// 1e-4 A: the cell matrices are single precision.)
		double shown[ 3 ];
		for ( int a = 0; a < 3; ++a ) shown[ a ] = std::round( voxelOrigin[ a ] * 1e4 ) / 1e4 + 0.0;
		std::cout << "Warning! ORIGIN words X, Y, Z (" << orig[ 0 ] << ", " << orig[ 1 ] << ", " << orig[ 2 ]
		          << " A) of map " << file << " are not used: " << farWords << ( farWords.size() > 1 ? " lie " : " lies " )
		          << mrc::kOriginWordLimit << " A or more from the coordinate origin.  The start indices place the map"
		          << " instead, its first voxel at (" << shown[ 0 ] << ", " << shown[ 1 ] << ", " << shown[ 2 ]
		          << ") A, and models are placed and written in that frame.  Continuing."
		          << std::endl;
	}

	try {
		expandToUnitCell();
	} catch ( std::bad_alloc const& ) {
		std::cout << "Error! Not enough memory to place map " << file << " on its unit-cell grid of " << grid[ 0 ] << " x "
		          << grid[ 1 ] << " x " << grid[ 2 ] << " voxels (" << megabytes( cellBytes ) << " beside the "
		          << megabytes( blockBytes ) << " of the map data).  Not loading map." << std::endl;
		return false;
	}
	if ( forceApix > 0.0 ) set_voxel_spacing( forceApix );

	double maxApix = 0.0;
	for ( int a = 0; a < 3; ++a ) maxApix = std::max( maxApix, double( cellDimensions[ a ] ) / grid[ a ] );
	minMult = 16.0 * maxApix * maxApix;
	double const effReso = ( reso == 0.0 ) ? 1.5 * maxApix : std::max( 0.5 * reso, maxApix );
	effB = 16.0 * effReso * effReso;
	atomMask = std::max( atomMask, 3.0 * std::sqrt( effB * 0.05066059182116889 ) );
	caMask = std::max( caMask, 1.3504744742356594 * std::max( 1.6 * reso + 2.4, reso ) );
	modelResolution = 2.0 * effReso;

	computeDensParams( file, reso, apix, densCutoff, false );
	calcute_CC_CA_para( reso );
	density_change_trigger();
	isLoaded = true;
	return true;
}

void FastDensityScore::expandToUnitCell()
{
	FArray3D< double > const& d = *density_;
	int const nx = d.u1(), ny = d.u2(), nz = d.u3();
	if ( nx == grid[ 0 ] && ny == grid[ 1 ] && nz == grid[ 2 ] ) return;
	auto full = std::make_shared< FArray3D< double > >();
	full->dimension( DynamicIndexRange( grid[ 0 ] ), DynamicIndexRange( grid[ 1 ] ), DynamicIndexRange( grid[ 2 ] ) );
	double* dst = &( *full )[ 0 ];
	long const n = long( grid[ 0 ] ) * grid[ 1 ] * grid[ 2 ];
	std::fill( dst, dst + n, 0.0 );
	int const mx = std::min( nx, grid[ 0 ] ), my = std::min( ny, grid[ 1 ] ), mz = std::min( nz, grid[ 2 ] );
	for ( int k = 1; k <= mz; ++k ) {
		for ( int j = 1; j <= my; ++j ) {
			for ( int i = 1; i <= mx; ++i ) {
				// Values pass through single precision, as the block came from floats.
				( *full )( i, j, k ) = double( float( d( i, j, k ) ) );
			}
		}
	}
	density_ = full;
	density_change_trigger();
}
