// MRC/CCP4 header words: the word reader and the decoding of words 1-56.
#include "density/MrcHeader.hh"

#include "utility/string_util.hh"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

namespace mrc {

void swap4( void* p, long n )
{
	unsigned char* b = static_cast< unsigned char* >( p );
	for ( long i = 0; i < n; ++i, b += 4 ) {
		std::swap( b[ 0 ], b[ 3 ] );
		std::swap( b[ 1 ], b[ 2 ] );
	}
}

int32_t word_int( unsigned char const* b, bool swap )
{
	unsigned char t[ 4 ] = { b[ 0 ], b[ 1 ], b[ 2 ], b[ 3 ] };
	if ( swap ) swap4( t, 1 );
	int32_t v;
	std::memcpy( &v, t, 4 );
	return v;
}

float word_float( unsigned char const* b, bool swap )
{
	unsigned char t[ 4 ] = { b[ 0 ], b[ 1 ], b[ 2 ], b[ 3 ] };
	if ( swap ) swap4( t, 1 );
	float v;
	std::memcpy( &v, t, 4 );
	return v;
}

std::string far_origin_words( float x, float y, float z )
{
	float const w[ 3 ] = { x, y, z };
	std::string names;
	for ( int a = 0; a < 3; ++a ) {
		if ( !std::isfinite( w[ a ] ) || std::fabs( w[ a ] ) < kOriginWordLimit ) continue;
		if ( !names.empty() ) names += ", ";
		names += "XYZ"[ a ];
	}
	return names;
}

namespace {

// Symmetry operators are written in lines of this many characters.
long const kOperatorLine = 80;

// What the bytes of a record read so far hold: whether each is text, and
// which of the characters that make an operator line have been seen.  NUL
// bytes pad a line to its end; the record's first byte is never one.
struct SymmetryTextScan {
	bool text = true, blank = true, nul = false, comma = false, x = false, y = false, z = false;
	long long at = 0;       // bytes fed so far
	bool padding = false;   // a NUL has been seen in the current line

	void feed( unsigned char const* bytes, long n )
	{
		for ( long i = 0; i < n && text; ++i, ++at ) {
			if ( at % kOperatorLine == 0 ) padding = false;
			unsigned char const c = bytes[ i ];
			if ( c == 0 ) {
				text = at > 0;
				padding = nul = true;
				continue;
			}
			bool const space = c == ' ' || c == '\t' || c == '\n' || c == '\r';
			text = !padding && ( space || ( c >= 0x20 && c <= 0x7e ) );
			blank = blank && space;
			comma = comma || c == ',';
			x = x || c == 'x' || c == 'X';
			y = y || c == 'y' || c == 'Y';
			z = z || c == 'z' || c == 'Z';
		}
	}

	bool symmetry_text() const { return at > 0 && text && ( ( blank && !nul ) || ( comma && x && y && z ) ); }
};

std::string count_bytes( long long n ) { return std::to_string( n ) + ( n == 1 ? " byte" : " bytes" ); }

} // namespace

bool reads_as_symmetry_text( unsigned char const* bytes, long n )
{
	if ( n <= 0 ) return false;
	SymmetryTextScan scan;
	scan.feed( bytes, n );
	return scan.symmetry_text();
}

std::string text_excerpt( unsigned char const* bytes, long n )
{
	// The line up to its NUL padding, trailing spaces dropped.
	long end = 0;
	while ( end < n && end < kOperatorLine && bytes[ end ] != 0 ) ++end;
	while ( end > 0 && bytes[ end - 1 ] == ' ' ) --end;
	std::string shown;
	for ( long i = 0; i < end; ++i ) {
		std::string const c = utility::escaped_bytes( std::string( 1, static_cast< char >( bytes[ i ] ) ) );
		if ( shown.size() + c.size() > 40 ) return shown + "...";
		shown += c;
	}
	return shown;
}

std::string quoted_excerpt( std::string const& excerpt )
{
	return excerpt.empty() ? "a line of blanks" : "\"" + excerpt + "\"";
}

bool bytes_read_as_symmetry_text( std::string const& path, long long from, long long n, std::string* excerpt )
{
	if ( n <= 0 || from < 0 ) return false;
	std::FILE* fp = std::fopen( path.c_str(), "rb" );
	if ( !fp ) return false;
	bool whole = std::fseek( fp, long( from ), SEEK_SET ) == 0;
	std::vector< unsigned char > block( 1 << 16 );
	SymmetryTextScan scan;
	for ( long long left = n; whole && scan.text && left > 0; ) {
		size_t const want = size_t( std::min< long long >( left, static_cast< long long >( block.size() ) ) );
		whole = std::fread( block.data(), 1, want, fp ) == want;
		if ( !whole ) break;
		if ( left == n && excerpt ) *excerpt = text_excerpt( block.data(), long( want ) );
		scan.feed( block.data(), long( want ) );
		left -= static_cast< long long >( want );
	}
	std::fclose( fp );
	return whole && scan.symmetry_text();
}

bool record_reads_as_symmetry_text( std::string const& path, long long n, std::string* excerpt )
{
	return bytes_read_as_symmetry_text( path, kHeaderBytes, n, excerpt );
}

std::string binary_extended_header_type( Header const& h )
{
	static char const* const kTypes[] = { "MRCO", "SERI", "AGAR", "FEI1", "FEI2", "HDF5" };
	for ( char const* t : kTypes )
		if ( std::memcmp( h.exttyp, t, 4 ) == 0 ) return t;
	return "";
}

std::string record_known_written( std::string const& path, Header const& h, long long n )
{
	if ( n <= 0 ) return "";
	std::string const type = binary_extended_header_type( h );
	if ( !type.empty() )
		return "EXTTYP (word 27) is \"" + type + "\", a binary extended header of the MRC2014 format, written in the "
		       + count_bytes( n ) + " after the header";
	std::string text;
	if ( record_reads_as_symmetry_text( path, n, &text ) )
		return "the " + count_bytes( n ) + " after the header read as text (" + quoted_excerpt( text ) + "), a symmetry record";
	return "";
}

std::string record_beyond_nsymbt( std::string const& path, long long nsymbt, long long before_data )
{
	if ( nsymbt < 0 || before_data <= nsymbt ) return "";
	// The extra bytes begin with text, not with the NULs of zero voxels.
	std::FILE* fp = std::fopen( path.c_str(), "rb" );
	if ( !fp ) return "";
	int c = EOF;
	if ( std::fseek( fp, long( kHeaderBytes + nsymbt ), SEEK_SET ) == 0 ) c = std::fgetc( fp );
	std::fclose( fp );
	if ( c == EOF || c == 0 ) return "";
	std::string text;
	if ( !bytes_read_as_symmetry_text( path, kHeaderBytes, before_data, &text ) ) return "";
	return "the " + count_bytes( before_data ) + " after the header read as text (" + quoted_excerpt( text )
	       + "), a symmetry record that NSYMBT does not count";
}

VoxelShift voxel_shift( Header const& h, long long bytes, int value_bytes )
{
	VoxelShift s;
	if ( value_bytes < 1 ) value_bytes = 1;
	// Part of a value: each value read is made of the bytes of two voxels,
	// the nearer whole count of values away.
	s.whole = bytes > 0 && bytes % value_bytes == 0;
	s.values = bytes > 0 ? ( bytes + value_bytes / 2 ) / value_bytes : 0;
	// Planes, rows and columns, each within half its axis's extent.
	long long const ext[ 3 ] = { std::max< int32_t >( h.nc, 1 ), std::max< int32_t >( h.nr, 1 ),
		std::max< int32_t >( h.ns, 1 ) };
	long long part[ 3 ];
	long long k = s.values;
	for ( int i = 0; i < 2; ++i ) {
		long long p = k % ext[ i ];
		if ( 2 * p > ext[ i ] ) p -= ext[ i ];
		part[ i ] = p;
		k = ( k - p ) / ext[ i ];
	}
	part[ 2 ] = k;
	int axis[ 3 ] = { h.mapc - 1, h.mapr - 1, h.maps - 1 };
	bool seen[ 3 ] = { false, false, false };
	bool permutation = true;
	for ( int a : axis ) {
		permutation = permutation && a >= 0 && a <= 2 && !seen[ a ];
		if ( permutation ) seen[ a ] = true;
	}
	for ( int i = 0; i < 3; ++i ) s.voxels[ permutation ? axis[ i ] : i ] = part[ i ];

	// The shift in A: grid steps of cell length over interval count along
	// the cell's edges (right angles where the header's angles give no cell).
	double const len[ 3 ] = { h.xlen, h.ylen, h.zlen };
	int32_t const m[ 3 ] = { h.mx, h.my, h.mz };
	double step[ 3 ];
	for ( int a = 0; a < 3; ++a ) {
		if ( !std::isfinite( len[ a ] ) || !( len[ a ] > 0 ) || m[ a ] < 1 ) {
			s.distance = -1;
			return s;
		}
		step[ a ] = double( s.voxels[ a ] ) * len[ a ] / m[ a ];
	}
	// |v|^2 from the cell's metric: the cosines of the angles between its
	// edges, right angles where they are not finite or enclose no volume.
	double const deg = std::acos( -1.0 ) / 180.0;
	double ca = std::cos( h.alpha * deg ), cb = std::cos( h.beta * deg ), cg = std::cos( h.gamma * deg );
	if ( !( 1 - ca * ca - cb * cb - cg * cg + 2 * ca * cb * cg > 1e-12 ) ) ca = cb = cg = 0;
	double const d2 = step[ 0 ] * step[ 0 ] + step[ 1 ] * step[ 1 ] + step[ 2 ] * step[ 2 ]
	                  + 2 * ( step[ 0 ] * step[ 1 ] * cg + step[ 0 ] * step[ 2 ] * cb + step[ 1 ] * step[ 2 ] * ca );
	s.distance = std::sqrt( std::max( 0.0, d2 ) );
	return s;
}

namespace {

std::string those_bytes( long long n ) { return n == 1 ? "that byte" : "those " + count_bytes( n ); }

// "every voxel is read 20 values early: the density, and every placement in
// it, would be shifted by about 30 A along X"
std::string shift_text( Header const& h, long long bytes, int value_bytes )
{
	VoxelShift const s = voxel_shift( h, bytes, value_bytes );
	std::string along;
	if ( s.distance >= 0 ) {
		std::vector< std::string > axes;
		for ( int a = 0; a < 3; ++a )
			if ( s.voxels[ a ] != 0 ) axes.push_back( std::string( 1, "XYZ"[ a ] ) );
		for ( std::size_t i = 0; i < axes.size(); ++i )
			along += ( i == 0 ? "" : ( i + 1 == axes.size() ? " and " : ", " ) ) + axes[ i ];
		char d[ 64 ];
		std::snprintf( d, sizeof d, s.distance < 10 ? "%.1f" : "%.0f", s.distance );
		along = std::string( "about " ) + d + " A" + ( along.empty() ? std::string() : " along " + along );
	} else {
		along = "that many values along the grid's rows (the header gives the voxels no size)";
	}
	if ( !s.whole ) {
		char values[ 64 ];
		std::snprintf( values, sizeof values, "%.2f", double( bytes ) / value_bytes );
		std::string const made_of = s.values == 0 ? std::string( "neighbouring voxels" )
		                                          : "voxels shifted by " + along;
		return "every voxel is read " + count_bytes( bytes ) + " early (" + values + " values), out of step with the "
		       + std::to_string( value_bytes ) + "-byte values: the density would be scrambled, each value made of the "
		       "bytes of " + made_of + ", and no placement in it could be trusted";
	}
	return "every voxel is read " + std::to_string( s.values ) + ( s.values == 1 ? " value" : " values" )
	       + " early: the density, and every placement in it, would be shifted by " + along;
}

} // namespace

std::string shift_if_record_was_written( Header const& h, long long nsymbt, int value_bytes )
{
	return "If the file lost " + those_bytes( nsymbt ) + " from its end instead, " + shift_text( h, nsymbt, value_bytes )
	       + ".";
}

std::string shift_if_bytes_lie_before_data( Header const& h, long long extra, int value_bytes )
{
	return "If " + those_bytes( extra ) + ( extra == 1 ? " lies" : " lie" ) + " before the voxel data instead (a record or extended header that NSYMBT "
	       "does not count), " + shift_text( h, extra, value_bytes ) + ".";
}

namespace {

std::vector< OtherReading >& readings()
{
	static std::vector< OtherReading > said;
	return said;
}

} // namespace

void note_other_reading( std::string const& map, std::string const& sentence )
{
	for ( OtherReading const& r : readings() )
		if ( r.map == map && r.sentence == sentence ) return;
	readings().push_back( { map, sentence } );
}

std::vector< OtherReading > const& other_readings() { return readings(); }

char const* mode_name( int32_t mode )
{
	switch ( mode ) {
	case 0: return "8-bit integers";
	case 1: return "16-bit integers";
	case 2: return "32-bit floats";
	case 3: return "complex 16-bit integers";
	case 4: return "complex 32-bit floats";
	case 6: return "unsigned 16-bit integers";
	case 12: return "16-bit floats";
	case 101: return "4-bit integers";
	default: return "not an MRC data type";
	}
}

// Each word below: its number, its meaning, and what the readers do when it
// is odd.  "Plain reader" is DensityScore::ReadMrc with its probes test_mrc,
// get_grid_width and get_origin; "loader" is FastDensityScore's
// readDensityMap.  The probe's range count decides the plain reader's byte
// order; the loader decides it from MODE.  Both readers refuse a file
// shorter than the 1024-byte header, naming its size (after the gzip check),
// whatever its first words say.  The plain reader lists the header and its
// warnings about the stamp and the skew words only when it is not quiet
// (Quilter runs it quiet).
void decode_header( unsigned char const* bytes, long got, bool swap, Header& h )
{
	if ( got > kHeaderBytes ) got = kHeaderBytes;
	auto has = [ & ]( int word ) { return bytes_through( word ) <= got; };
	auto i32 = [ & ]( int word ) { return has( word ) ? word_int( bytes + offset( word ), swap ) : 0; };
	auto f32 = [ & ]( int word ) { return has( word ) ? word_float( bytes + offset( word ), swap ) : 0.0f; };

	// 1-3 NC NR NS: extents of columns (fastest), rows, sections.  Plain
	// reader: below 1, or more values than the file holds, is an error naming
	// the file (70651/70652/70653 by MODE); the probe counts each above 5000
	// or below 0.  Loader: not positive, or above 2^31 - 1 voxels, is an error.
	h.nc = i32( NC );
	h.nr = i32( NR );
	h.ns = i32( NS );
	// 4 MODE: 0 signed (or old unsigned) 8-bit, 1 signed 16-bit, 2 float32
	// (mode_name gives the others).  Plain reader: any other is error 70654,
	// naming the mode and the supported ones.  Loader: only 2, in either byte
	// order (which decides the order); any other value is an error naming
	// it.  Both readers first refuse a gzip-compressed file (bytes 1f 8b).
	h.mode = i32( MODE );
	// 5-7 NCSTART NRSTART NSSTART: grid index of the first column, row and
	// section.  The probe counts each above 5000 or below -5000.  Both readers
	// place the map by them when no usable ORIGIN is given.
	h.ncstart = i32( NCSTART );
	h.nrstart = i32( NRSTART );
	h.nsstart = i32( NSSTART );
	// 8-10 MX MY MZ: intervals of the unit cell along X, Y, Z; the voxel
	// size along each axis is the cell edge over it (words 11-13), whatever
	// the data extents, as the format defines it.  Both readers: below 1
	// leaves the voxels without a size, an error (plain reader 70650;
	// get_grid_width warns and returns 0); the probe counts each above 5000
	// or below 0.  Plain reader: places voxel i of the data at the start
	// (or ORIGIN) plus i voxels, so data that reach beyond the cell grid
	// need nothing more.  Loader: a product above 2^31 - 1 is an error; the
	// data are placed on the whole cell grid, which is refused before
	// anything is allocated when it and the data need more memory than the
	// process can still take (MemoryRoom.hh), naming both sizes.  Where the
	// data extent along an axis exceeds the count (the data reach beyond the
	// cell grid), the loader's grid there becomes the data extent and its
	// cell edge the extent times the voxel size, so that every voxel is kept
	// at the size the header gives and the start indices, ORIGIN and masks
	// keep the format's frame; one warning names the extents, the counts,
	// the voxel size and the span read, and a span that is not a finite
	// single-precision length is an error.
	h.mx = i32( MX );
	h.my = i32( MY );
	h.mz = i32( MZ );
	// 11-13 cell edges a, b, c (A).  Both readers: not finite or not
	// positive is an error (plain reader 70650, an unusable cell).  Loader: a
	// cell it cannot turn into a fractional frame is an error.  Both readers:
	// a voxel (edge over interval count, before any widening of the grid to
	// data beyond the cell) below kMinVoxelWidth is an error (plain reader
	// 70650).
	h.xlen = f32( XLEN );
	h.ylen = f32( YLEN );
	h.zlen = f32( ZLEN );
	// 14-16 cell angles alpha, beta, gamma (degrees).  The probe counts each
	// above 360, below -360 or not a number.  Plain reader: not finite is an
	// unusable cell (70650); other than 90 clears the orthogonal and cubic
	// flags.  Loader: as for the edges.
	h.alpha = f32( ALPHA );
	h.beta = f32( BETA );
	h.gamma = f32( GAMMA );
	// 17-19 MAPC MAPR MAPS: axis (1 = X, 2 = Y, 3 = Z) of columns, rows,
	// sections.  Plain reader: not a permutation of 1, 2, 3 is error 70680.
	// Loader: all zero is taken as 1, 2, 3 with a warning; any other
	// non-permutation is an error.
	h.mapc = i32( MAPC );
	h.mapr = i32( MAPR );
	h.maps = i32( MAPS );
	// 20-22 DMIN DMAX DMEAN, 23 ISPG (space group): listed, not used.
	h.dmin = f32( DMIN );
	h.dmax = f32( DMAX );
	h.dmean = f32( DMEAN );
	h.ispg = i32( ISPG );
	// 24 NSYMBT: bytes of symmetry records (or of an extended header)
	// between the header and the data.  Both readers, by the file's size:
	// - more than the file holds after the header: an error (plain reader
	//   70643/70645/70647 by MODE);
	// - shorter than the header, record and data together: truncated, an
	//   error naming the sizes, never "larger than expected";
	// - room only for the header and the data (the file cut short by exactly
	//   the record, or a record never written): when the record is known to
	//   have been written (record_known_written: its bytes read as operator
	//   text, or EXTTYP names a binary extended header) the file is
	//   truncated, an error naming the sizes and what showed the record;
	//   otherwise the writer set the word and never wrote the record (a
	//   warning; the data are read from byte 1024);
	// - longer than the header, record and data: where the bytes after the
	//   header run on as operator text past the NSYMBT bytes
	//   (record_beyond_nsymbt) the word does not count the record and where
	//   the data start is not known, an error naming NSYMBT and the text;
	//   otherwise the data are read right after the record and the bytes
	//   after them left unread, with a warning naming the sizes (the fast
	//   reader refuses a file more than 1 MB over);
	// - negative: taken as 0 with a warning where the data fill the file
	//   right after the header, an error where the file holds more bytes than
	//   the header and the data (the data could start anywhere; plain reader
	//   70643/70645/70647).
	h.nsymbt = i32( NSYMBT );
	// 25 LSKFLG: skew flag; 26-34 skew matrix S11 ... S33 and 35-37 skew
	// translation T1 T2 T3.  Both readers ignore them (the frame comes from
	// the cell); the plain reader, when not quiet, lists them with a warning
	// that they are ignored when LSKFLG is not 0.
	h.lskflg = i32( LSKFLG );
	for ( int i = 0; i < 9; ++i ) h.skw_mat[ i ] = f32( SKEW_MATRIX + i );
	for ( int i = 0; i < 3; ++i ) h.skw_trn[ i ] = f32( SKEW_TRANSLATION + i );
	// 27 EXTTYP (MRC2014; S21 of the skew matrix in older files): four
	// characters naming the type of the extended header.  Where the file has
	// room only for the header and the data, a type of binary extended
	// header (binary_extended_header_type) shows that the NSYMBT bytes were
	// written and the data cut short: both readers refuse the file as
	// truncated (record_known_written).
	for ( int i = 0; i < 4; ++i ) {
		long const b = offset( EXTTYP ) + i;
		h.exttyp[ i ] = b < got ? static_cast< char >( bytes[ b ] ) : 0;
	}
	// 38-49: extra words, not used.
	// 50-52 XORIGIN YORIGIN ZORIGIN (MRC2000): Cartesian position (A) of the
	// stored block, in x, y, z order whatever the axis map (only the start
	// indices follow MAPC/MAPR/MAPS).  Both readers: a word that is not a
	// finite number is left out on its own with a warning, its axis placed by
	// the start index.  Both readers: a finite word of kOriginWordLimit
	// (10000 A) or more in magnitude sets the whole ORIGIN aside with a
	// warning naming the words and the frame of the start indices, which
	// place the map instead.  Plain reader: an ORIGIN of all zeros (below
	// 1e-4) leaves the start indices to place the map.  Loader: used when its
	// finite words are not all zero and none is set aside, else the start
	// indices place the map.
	h.xorig = f32( XORIGIN );
	h.yorig = f32( YORIGIN );
	h.zorig = f32( ZORIGIN );
	// 53 "MAP ": file type stamp.  Plain reader: goes on when "MAP" is
	// missing (older or unconventional files), with a warning when not
	// quiet.  Loader: missing is an error.
	// 54 machine stamp: listed, not used (the byte order comes from the words
	// above).
	for ( int i = 0; i < 4; ++i ) {
		long const b = offset( MAP_STRING ) + i;
		h.map[ i ] = b < got ? static_cast< char >( bytes[ b ] ) : 0;
		long const s = offset( MACHINE_STAMP ) + i;
		h.machst[ i ] = s < got ? bytes[ s ] : 0;
	}
	// 55 RMS: listed, not used.  56 NLABL and 57-256 the labels: not used.
	h.rms = f32( RMS );
	h.nlabl = i32( NLABL );
}

void encode_header( Header const& h, unsigned char* b )
{
	std::memset( b, 0, kHeaderBytes );
	auto put_i = [ & ]( int word, int32_t v ) { std::memcpy( b + offset( word ), &v, 4 ); };
	auto put_f = [ & ]( int word, float v ) { std::memcpy( b + offset( word ), &v, 4 ); };
	put_i( NC, h.nc ); put_i( NR, h.nr ); put_i( NS, h.ns ); put_i( MODE, h.mode );
	put_i( NCSTART, h.ncstart ); put_i( NRSTART, h.nrstart ); put_i( NSSTART, h.nsstart );
	put_i( MX, h.mx ); put_i( MY, h.my ); put_i( MZ, h.mz );
	put_f( XLEN, h.xlen ); put_f( YLEN, h.ylen ); put_f( ZLEN, h.zlen );
	put_f( ALPHA, h.alpha ); put_f( BETA, h.beta ); put_f( GAMMA, h.gamma );
	put_i( MAPC, h.mapc ); put_i( MAPR, h.mapr ); put_i( MAPS, h.maps );
	put_f( DMIN, h.dmin ); put_f( DMAX, h.dmax ); put_f( DMEAN, h.dmean );
	put_i( ISPG, h.ispg ); put_i( NSYMBT, h.nsymbt ); put_i( LSKFLG, h.lskflg );
	for ( int i = 0; i < 9; ++i ) put_f( SKEW_MATRIX + i, h.skw_mat[ i ] );
	for ( int i = 0; i < 3; ++i ) put_f( SKEW_TRANSLATION + i, h.skw_trn[ i ] );
	put_f( XORIGIN, h.xorig ); put_f( YORIGIN, h.yorig ); put_f( ZORIGIN, h.zorig );
	std::memcpy( b + offset( MAP_STRING ), h.map, 4 );
	std::memcpy( b + offset( MACHINE_STAMP ), h.machst, 4 );
	put_f( RMS, h.rms );
	put_i( NLABL, h.nlabl );
}

} // namespace mrc
