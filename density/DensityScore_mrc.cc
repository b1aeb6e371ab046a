// MRC/CCP4 map files on the plain grid: the byte-order decision, reading
// MODE 0 (signed or unsigned 8-bit), 1 (signed 16-bit) and 2 (float32) maps
// and writing MODE 2 maps.  The header words, their meaning and what this
// reader does when one is odd are documented in MrcHeader.cc.
#include "density/DensityScore.hh"
#include "density/DensityScore_util.hh"
#include "density/MrcHeader.hh"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <vector>

using density_detail::fail_mrc;
using density_detail::file_error;
using density_detail::format;

// ---------------------------------------------------------------------------
// field readers

int read_int( int* out, FILE* fp, int swap )
{
	unsigned char b[4];
	if ( std::fread( b, 1, 4, fp ) != 4 ) return 0;
	*out = mrc::word_int( b, swap == 1 );
	return 1;
}

int read_float( float* out, FILE* fp, int swap )
{
	unsigned char b[4];
	if ( std::fread( b, 1, 4, fp ) != 4 ) return 0;
	*out = mrc::word_float( b, swap == 1 );
	return 1;
}

int read_short_float( float* out, FILE* fp, int swap )
{
	unsigned char b[2];
	if ( std::fread( b, 1, 2, fp ) != 2 ) return 0;
	if ( swap == 1 ) {
		unsigned char t = b[0]; b[0] = b[1]; b[1] = t;
	}
	int16_t s;
	std::memcpy( &s, b, 2 );
	*out = static_cast<float>( s );
	return 1;
}

int read_char_float( float* out, FILE* fp )
{
	signed char c;
	if ( std::fread( &c, 1, 1, fp ) != 1 ) return 0;
	*out = static_cast<float>( c );
	return 1;
}

int read_char( char* out, FILE* fp )
{
	if ( std::fread( out, 1, 1, fp ) != 1 ) return 0;
	return 1;
}

int read_float_empty( FILE* fp )
{
	unsigned char b[4];
	return std::fread( b, 1, 4, fp ) == 4 ? 1 : 0;
}

// Discards the rest of the current input line; 0 when the input ended first.
static int discard_line()
{
	int c;
	while ( ( c = std::getchar() ) != EOF ) {
		if ( c == '\n' ) return 1;
	}
	return 0;
}

// One value read from standard input with fmt, then the rest of the line is
// discarded; 0 when no value could be read.  eof_msg: the input ended
// before a value; line_msg: it ended before the line end.
template <class T>
static T readln_value( char const* fmt, char const* eof_msg, char const* line_msg )
{
	T v = T( 0 );
	int const r = std::scanf( fmt, &v );
	if ( r == EOF ) {
		std::printf( "%s", eof_msg );
		return T( 0 );
	}
	if ( r != 1 ) v = T( 0 );
	if ( !discard_line() ) std::printf( "%s", line_msg );
	return v;
}

int readln_int()
{
	return readln_value<int>( "%d", "readln_int> Error, 14010!\n", "readln_int> Error,14020!\n" );
}

double readln_double()
{
	return readln_value<double>( "%le", "readln_double> Error,14030!\n", "readln_double> Error,14040!\n" );
}

// ---------------------------------------------------------------------------
// header probes

namespace {

// Reads the header from the start of the file up to and including word
// `last` and decodes it with the given byte order; words past the end of a
// short file stay 0.  Returns 0 when the file ended before word `last`.
int read_header( FILE* fp, int swap, int last, mrc::Header& h )
{
	unsigned char b[mrc::kHeaderBytes];
	long const want = mrc::bytes_through( last );
	long const got = static_cast<long>( std::fread( b, 1, static_cast<size_t>( want ), fp ) );
	mrc::decode_header( b, got, swap == 1, h );
	return got == want ? 1 : 0;
}

long long file_size( FILE* fp )
{
	struct stat st;
	if ( fstat( fileno( fp ), &st ) != 0 ) return -1;
	return static_cast<long long>( st.st_size );
}

int bytes_per_value( int mode )
{
	return mode == 0 ? 1 : ( mode == 1 ? 2 : 4 );
}

// What makes the unit cell of a header unusable ("" when nothing): a cell
// length or interval count that gives no voxel width, an angle that is not a
// number, or a voxel below the smallest width the readers take.  The same
// rule as FastDensityScore's loader.
std::string unusable_cell( mrc::Header const& h )
{
	int32_t const m[3] = { h.mx, h.my, h.mz };
	float const len[3] = { h.xlen, h.ylen, h.zlen };
	float const ang[3] = { h.alpha, h.beta, h.gamma };
	char const* const axis = "XYZ";
	for ( int a = 0; a < 3; ++a ) {
		if ( m[a] <= 0 ) {
			return format( "M%c (word %d) is %d; the interval counts must be at least 1", axis[a], mrc::MX + a, m[a] );
		}
	}
	for ( int a = 0; a < 3; ++a ) {
		if ( !std::isfinite( len[a] ) || !( len[a] > 0 ) ) {
			return format( "%c length (word %d) is %g; the cell lengths must be positive numbers", axis[a],
				mrc::XLEN + a, len[a] );
		}
	}
	char const* const angle_name[3] = { "Alpha", "Beta", "Gamma" };
	for ( int a = 0; a < 3; ++a ) {
		if ( !std::isfinite( ang[a] ) ) {
			return format( "%s (word %d) is %g; the cell angles must be numbers", angle_name[a], mrc::ALPHA + a, ang[a] );
		}
	}
	for ( int a = 0; a < 3; ++a ) {
		double const w = static_cast<double>( len[a] ) / m[a];
		if ( mrc::voxel_too_small( w ) ) {
			return format( "voxels of %g A along %c (%c length %g A / M%c %d); voxels below %g A are not usable", w,
				axis[a], axis[a], len[a], axis[a], m[a], mrc::kMinVoxelWidth );
		}
	}
	return "";
}

// Opens a map for reading; stops with the code when it cannot be opened.
FILE* open_or_stop( char const* file, int code )
{
	FILE* fp = std::fopen( file, "rb" );
	if ( fp == nullptr ) {
		int const err = errno;
		fail_mrc( code, format( "cannot open map %s: %s", file, file_error( file, err ).c_str() ) );
	}
	return fp;
}

// Whether the file begins with the gzip bytes; false when it cannot be read
// (the probes then report why).
bool gzip_compressed( char const* file )
{
	FILE* fp = std::fopen( file, "rb" );
	if ( fp == nullptr ) return false;
	unsigned char b[2];
	long const got = static_cast<long>( std::fread( b, 1, 2, fp ) );
	std::fclose( fp );
	return mrc::gzip_magic( b, got );
}

// Why a read of a map came up short: the end of the file, or the error.
std::string short_read( FILE* fp, char const* file, char const* what )
{
	if ( std::ferror( fp ) )
		return format( "reading the %s of map %s failed: %s", what, file, file_error( file, errno ).c_str() );
	return format( "map %s ends within its %s", file, what );
}

} // namespace

int DensityScore::test_mrc( char const* file, int swap )
{
	FILE* fp = open_or_stop( file, 71010 );
	mrc::Header h;
	int ok = read_header( fp, swap, mrc::ZORIGIN, h );
	std::fclose( fp );
	if ( !ok ) std::printf( "Error in read mrc file! header!\n" );

	int count = 0;
	int const counts[6] = { h.nc, h.nr, h.ns, h.mx, h.my, h.mz };
	for ( int v : counts ) {
		if ( v > 5000 ) ++count;
		if ( v < 0 ) ++count;
	}
	int const starts[3] = { h.ncstart, h.nrstart, h.nsstart };
	for ( int v : starts ) {
		if ( v > 5000 ) ++count;
		if ( v < -5000 ) ++count;
	}
	float const angles[3] = { h.alpha, h.beta, h.gamma };
	for ( float a : angles ) {
		if ( std::isnan( a ) ) { ++count; continue; }
		if ( a > 360 ) ++count;
		if ( a < -360 ) ++count;
	}
	return count;
}

// Byte-order decision shared by the reader and the voxel-width probe: a tie
// (including 0 against 0) reads with reversal.
static int choose_swap( DensityScore& ds, char const* file, int* chosen_count )
{
	int const t0 = ds.test_mrc( file, 0 );
	int const t1 = ds.test_mrc( file, 1 );
	if ( t0 >= t1 ) {
		*chosen_count = t1;
		return 1;
	}
	*chosen_count = t0;
	return 0;
}

double DensityScore::get_grid_width( char const* file )
{
	// The byte order is decided as for reading: a map written on a machine of
	// the other byte order would otherwise report a meaningless width.
	int violations = 0;
	int swap = choose_swap( *this, file, &violations );
	FILE* fp = open_or_stop( file, 71010 );
	mrc::Header h;
	int ok = read_header( fp, swap, mrc::ZLEN, h );
	std::fclose( fp );
	if ( !ok ) std::printf( "Error in read mrc file! header!\n" );
	// An unusable cell gives no width; 0 makes the caller resample, and the
	// reader then rejects the file with its own message.
	if ( h.mx <= 0 || !std::isfinite( h.xlen ) || h.xlen <= 0.0f ) {
		std::printf( "ReadMrc_st> Warning: no usable voxel width in the header of %s.\n", file );
		return 0.0;
	}
	return static_cast<double>( h.xlen ) / h.mx;
}

double* DensityScore::get_origin( char const* file )
{
	// The byte order is decided as for reading, so that a map from a machine
	// of the other byte order reports the origin the reader uses.
	int violations = 0;
	int const swap = choose_swap( *this, file, &violations );
	FILE* fp = open_or_stop( file, 71010 );
	mrc::Header h;
	int ok = read_header( fp, swap, mrc::ZORIGIN, h );
	std::fclose( fp );
	if ( !ok ) std::printf( "Error in read mrc file! header!\n" );
	double* o = new double[3]();
	o[0] = h.xorig;
	o[1] = h.yorig;
	o[2] = h.zorig;
	return o;
}

void DensityScore::calc_map_info( double* phi, unsigned long n, double* max, double* min,
	double* mean, double* rms )
{
	double mx = -1e20, mn = 1e20, sum = 0.0;
	for ( unsigned long i = 0; i < n; ++i ) {
		double v = phi[i];
		if ( v > mx ) mx = v;
		if ( v < mn ) mn = v;
		sum += v;
	}
	double const m = sum / static_cast<double>( n );
	double sq = 0.0;
	for ( unsigned long i = 0; i < n; ++i ) {
		double v = phi[i];
		if ( v > 0 ) sq += ( v - m ) * ( v - m );
	}
	*max = mx;
	*min = mn;
	*mean = m;
	*rms = std::sqrt( sq / static_cast<double>( n ) );
}

int DensityScore::test_registration( float x, float y, float z, float width )
{
	float const eps = 1e-5f * width;
	auto m = [&]( float c ) -> float {
		float a = static_cast<float>( std::fabs( std::fmod( c + eps, width ) ) );
		float b = static_cast<float>( std::fabs( std::fmod( c - eps, width ) ) );
		return a < b ? a : b;
	};
	float const sum = m( x ) + m( y ) + m( z );
	return ( width * 0.0001f >= sum ) ? 1 : 0;
}

// ---------------------------------------------------------------------------
// header listing

namespace {

void list_int( char const* prefix, char const* label, long v, char const* fmt, char const* comment )
{
	std::printf( "%s%9s = ", prefix, label );
	std::printf( fmt, v );
	std::printf( "  %s\n", comment );
}

void list_real( char const* prefix, char const* label, double v, char const* comment )
{
	std::printf( "%s%9s = %8.3f  %s\n", prefix, label, v, comment );
}

// The reader's and the writer's header listing; the writer passes
// writer = true (other comments and integer formats).
void list_header( mrc::Header const& h, bool writer )
{
	char const* p = writer ? "WriteMrc>" : "ReadMrc_st>";
	auto li = [&]( char const* label, long v, char const* comment ) {
		if ( writer ) list_int( p, label, v, "%8ld", comment );
		else {
			std::printf( "%s%9s = ", p, label );
			std::printf( "%8d", static_cast<int>( v ) );
			std::printf( "  %s\n", comment );
		}
	};
	li( "NC", h.nc, "(# columns)" );
	li( "NR", h.nr, "(# rows)" );
	li( "NS", h.ns, "(# sections)" );
	li( "MODE", h.mode, writer ? "(data type: 0: 8-bit char, 2: 32-bit float)"
		: "(data type: 0: 8-bit, 1: 16-bit; 2: 32-bit)" );
	li( "NCSTART", h.ncstart, "(index of first column, counting from 0)" );
	li( "NRSTART", h.nrstart, "(index of first row, counting from 0)" );
	li( "NSSTART", h.nsstart, "(index of first section, counting from 0)" );
	li( "MX", h.mx, "(# of X intervals in unit cell)" );
	li( "MY", h.my, "(# of Y intervals in unit cell)" );
	li( "MZ", h.mz, "(# of Z intervals in unit cell)" );
	list_real( p, "X length", h.xlen, "(unit cell dimension)" );
	list_real( p, "Y length", h.ylen, "(unit cell dimension)" );
	list_real( p, "Z length", h.zlen, "(unit cell dimension)" );
	list_real( p, "Alpha", h.alpha, "(unit cell angle)" );
	list_real( p, "Beta", h.beta, "(unit cell angle)" );
	list_real( p, "Gamma", h.gamma, "(unit cell angle)" );
	li( "MAPC", h.mapc, "(columns axis: 1=X,2=Y,3=Z)" );
	li( "MAPR", h.mapr, "(rows axis: 1=X,2=Y,3=Z)" );
	li( "MAPS", h.maps, "(sections axis: 1=X,2=Y,3=Z)" );
	list_real( p, "DMIN", h.dmin, writer ? "(minimum density value)" : "(minimum density value - ignored)" );
	list_real( p, "DMAX", h.dmax, writer ? "(maximum density value)" : "(maximum density value - ignored)" );
	list_real( p, "DMEAN", h.dmean, writer ? "(mean density value)" : "(mean density value - ignored)" );
	li( "ISPG", h.ispg, writer ? "(space group number)" : "(space group number - ignored)" );
	if ( writer ) {
		std::printf( "%s%9s = %8d  %s\n", p, "NSYMBT", 0, "(# bytes used for storing symmetry operators)" );
	} else {
		li( "NSYMBT", h.nsymbt, "(# bytes storing symmetry operators)" );
	}
	li( "LSKFLG", h.lskflg, "(skew matrix flag: 0:none, 1:follows)" );
	if ( h.lskflg != 0 ) {
		if ( !writer ) {
			std::printf( "ReadMrc_st> Warning: Will compute skew parameters from the above header info.\n" );
			std::printf( "ReadMrc_st> The following skew parameters in the header will be ignored:\n" );
		}
		char const* const names[9] = { "S11", "S12", "S13", "S21", "S22", "S23", "S31", "S32", "S33" };
		char const* const cm[9] = { "(skew matrix element 11)", "(skew matrix element 12)",
			"(skew matrix element 13)", "(skew matrix element 21)", "(skew matrix element 22)",
			"(skew matrix element 23)", "(skew matrix element 31)", "(skew matrix element 32)",
			"(skew matrix element 33)" };
		for ( int i = 0; i < 9; ++i ) list_real( p, names[i], h.skw_mat[i], cm[i] );
		list_real( p, "T1", h.skw_trn[0], "(skew translation element 1)" );
		list_real( p, "T2", h.skw_trn[1], "(skew translation element 2)" );
		list_real( p, "T3", h.skw_trn[2], "(skew translation element 3)" );
		if ( !writer ) std::printf( "ReadMrc_st> End of skew parameters warning.\n" );
	}
	list_real( p, "XORIGIN", h.xorig, "(X origin - MRC2000 only)" );
	list_real( p, "YORIGIN", h.yorig, "(Y origin - MRC2000 only)" );
	list_real( p, "ZORIGIN", h.zorig, "(Z origin - MRC2000 only)" );
	std::printf( "%s%9s =      %c%c%c%c (map string)\n", p, "MAP", h.map[0], h.map[1], h.map[2], h.map[3] );
	std::printf( "%s%9s = %d %d %d %d %s\n", p, "MACHST", h.machst[0], h.machst[1], h.machst[2],
		h.machst[3], writer ? "(machine stamp)" : "(machine stamp - ignored)" );
	list_real( p, "RMS", h.rms, writer ? "(density rmsd)" : "(density rms deviation -ignored)" );
}

} // namespace

// ---------------------------------------------------------------------------
// reading

void DensityScore::ReadMrc( char const* file, int* orthogonal, int* cubic, int* ordermode,
	unsigned* nc, unsigned* nr, unsigned* ns,
	int* ncstart, int* nrstart, int* nsstart,
	double* widthx, double* widthy, double* widthz,
	double* xorigin, double* yorigin, double* zorigin,
	double* alpha, double* beta, double* gamma, double** phi )
{
	density_detail::MapInUse in_use( file );
	// A compressed map reads as meaningless words: say what it is before the
	// byte-order probes count them.
	if ( gzip_compressed( file ) ) {
		fail_mrc( 70654, format( "map %s is gzip-compressed (it begins with the bytes 1f 8b); decompress it (gunzip) first",
			file ) );
	}
	int violations = 0;
	int const swap = choose_swap( *this, file, &violations );
	if ( violations > 0 ) {
		std::printf( "ReadMrc_st> Warning: %i header field range violations detected in file %s \n",
			violations, file );
	}

	FILE* fp = open_or_stop( file, 70620 );

	// Words 1-55; NLABL and the labels are not used.
	mrc::Header h;
	int const ok = read_header( fp, swap, mrc::RMS, h );
	if ( !ok ) {
		std::string const why = std::ferror( fp )
			? short_read( fp, file, "header" )
			: format( "map %s has %lld bytes, too few for the 1024-byte MRC header", file, file_size( fp ) );
		std::fclose( fp );
		fail_mrc( 70650, why );
	}
	*nc = static_cast<unsigned>( h.nc );
	*nr = static_cast<unsigned>( h.nr );
	*ns = static_cast<unsigned>( h.ns );
	*alpha = h.alpha;
	*beta = h.beta;
	*gamma = h.gamma;
	*xorigin = h.xorig;
	*yorigin = h.yorig;
	*zorigin = h.zorig;

	if ( !quiet ) {
		list_header( h, false );
		if ( h.map[0] != 'M' || h.map[1] != 'A' || h.map[2] != 'P' ) {
			std::printf( "ReadMrc_st> Warning: MAP string not detected. It appears this is an older (pre-2000) or unconventional MRC format.\n" );
			std::printf( "ReadMrc_st> If in doubt use the map2map tool in manual mode and/or inspect the results.\n" );
		}
	}

	if ( h.mode != 0 && h.mode != 1 && h.mode != 2 ) {
		std::fclose( fp );
		fail_mrc( 70654, format( "map %s has MODE (word 4) %d (%s), which is not supported; the supported modes are "
								 "0 (8-bit integers), 1 (16-bit integers) and 2 (32-bit floats)",
							 file, h.mode, mrc::mode_name( h.mode ) ) );
	}
	int const err_words = h.mode == 0 ? 70642 : ( h.mode == 1 ? 70644 : 70646 );
	int const err_sym = err_words + 1;
	int const err_data = h.mode == 0 ? 70651 : ( h.mode == 1 ? 70652 : 70653 );

	// Sizes come from the header: check them against the file before
	// anything is allocated, in 64 bits, so that a truncated or corrupt file
	// ends with the short-read error instead of a huge allocation or a write
	// past the array.
	long long const fsize = file_size( fp );
	long long nsym = h.nsymbt > 0 ? h.nsymbt : 0;
	if ( h.nc < 1 || h.nr < 1 || h.ns < 1 ) {
		std::fclose( fp );
		fail_mrc( err_data, format( "map %s has extents NC, NR, NS (words 1-3) %d x %d x %d; each must be at least 1",
			file, h.nc, h.nr, h.ns ) );
	}
	// The voxel count, capped just above 2^32 - 1 (refused below) so that
	// three large extents cannot wrap the 64-bit product round to a small one.
	unsigned long long const nrc = static_cast<unsigned long long>( h.nc ) * static_cast<unsigned long long>( h.nr );
	unsigned long long const n64 = nrc > 0xFFFFFFFFull / static_cast<unsigned long long>( h.ns )
		? 0x100000000ull
		: nrc * static_cast<unsigned long long>( h.ns );
	unsigned long long const data_bytes = n64 * bytes_per_value( h.mode );
	if ( fsize >= 0 && fsize < 1024 ) {
		std::fclose( fp );
		fail_mrc( err_words, format( "map %s has %lld bytes, too few for the 1024-byte MRC header", file, fsize ) );
	}
	// NSYMBT must lie within the file; the same rule as FastDensityScore's
	// loader.
	if ( fsize >= 0 && 1024 + nsym > fsize ) {
		std::fclose( fp );
		fail_mrc( err_sym, format( "map %s gives NSYMBT (word 24) %d bytes of symmetry records, but the file holds "
								   "only %lld bytes after its 1024-byte header",
							   file, h.nsymbt, fsize - 1024 ) );
	}
	// A symmetry record the file has no room for beside the data, where the
	// data fill the file right after the header, is bogus: the data are read
	// from there (as FastDensityScore's loader does).  Unless the record is
	// known to have been written (its bytes read as text, or EXTTYP names a
	// binary extended header): then the data were cut short, and reading
	// from 1024 would shift every voxel by the record.
	if ( fsize >= 0 && nsym > 0 && n64 <= 0xFFFFFFFFull && static_cast<unsigned long long>( fsize - 1024 ) == data_bytes ) {
		std::string const written = mrc::record_known_written( file, h, nsym );
		if ( !written.empty() ) {
			std::fclose( fp );
			fail_mrc( err_data, format( "map %s holds fewer voxel values than its header gives (%d x %d x %d of MODE %d: "
										"%llu bytes after the header and %lld symmetry bytes; the file has %lld); %s, so "
										"the voxel data are cut short",
									file, h.nc, h.nr, h.ns, h.mode, data_bytes, nsym, fsize - 1024 - nsym,
									written.c_str() ) );
		}
		// The size allows a second reading: the record was written and the
		// file lost as many bytes from its end.  Say what it would mean.
		std::string const other = mrc::shift_if_record_was_written( h, nsym, bytes_per_value( h.mode ) );
		std::printf( "ReadMrc_st> Warning: map %s gives NSYMBT %d, but its voxel data fill the file right after the header; the symmetry record is taken as absent.  %s\n",
			file, h.nsymbt, other.c_str() );
		mrc::note_other_reading( file, other );
		nsym = 0;
	}
	// A file longer than its header, record and data: where the bytes after
	// the header run on as text past the record, NSYMBT does not count the
	// record and reading from its end would shift every voxel (refused, as
	// FastDensityScore's loader does); otherwise the data are read right
	// after the record, and the bytes after them are left unread, with a
	// warning naming the sizes.
	if ( fsize >= 0 && h.nsymbt >= 0 && n64 <= 0xFFFFFFFFull
		 && static_cast<unsigned long long>( fsize - 1024 - nsym ) > data_bytes ) {
		long long const before_data = fsize - 1024 - static_cast<long long>( data_bytes );
		long long const extra = before_data - nsym;
		std::string const sizes = format( "1024 header bytes, %lld bytes of symmetry records and %llu bytes of voxel "
										  "data (%d x %d x %d of MODE %d), %lld bytes in all",
									  nsym, data_bytes, h.nc, h.nr, h.ns, h.mode,
									  1024 + nsym + static_cast<long long>( data_bytes ) );
		std::string const uncounted = mrc::record_beyond_nsymbt( file, nsym, before_data );
		if ( !uncounted.empty() ) {
			std::fclose( fp );
			fail_mrc( err_sym, format( "map %s gives NSYMBT (word 24) %d, but %s: its header gives %s, but the file has "
									   "%lld, %lld bytes more, and where the voxel data start is not known",
								   file, h.nsymbt, uncounted.c_str(), sizes.c_str(), fsize, extra ) );
		}
		// The other reading the size allows: the extra bytes lie before the
		// data, which then end the file.
		std::string const other = mrc::shift_if_bytes_lie_before_data( h, extra, bytes_per_value( h.mode ) );
		std::printf( "ReadMrc_st> Warning: map %s is larger than its header gives (%s; the file has %lld): the voxel data are read from byte %lld and the %lld bytes after them are not used.  %s\n",
			file, sizes.c_str(), fsize, 1024 + nsym, extra, other.c_str() );
		mrc::note_other_reading( file, other );
	}
	// A negative NSYMBT gives no length.  Where the data fill the file right
	// after the header it is taken as 0; where the file holds more bytes
	// than the header and the data, they may lie before the data (an
	// extended header the word should have given) or after them, and reading
	// from 1024 could shift every voxel: refused (as FastDensityScore's
	// loader does).
	if ( h.nsymbt < 0 && fsize >= 0 && n64 <= 0xFFFFFFFFull ) {
		long long const gap = fsize - 1024 - static_cast<long long>( data_bytes );
		if ( gap > 0 ) {
			std::fclose( fp );
			fail_mrc( err_sym, format( "map %s gives NSYMBT (word 24) %d, a negative length of symmetry records, but the "
									   "file holds %lld bytes besides its 1024-byte header and the voxel data; where the "
									   "data start is not known",
								   file, h.nsymbt, gap ) );
		}
		if ( gap == 0 ) {
			std::printf( "ReadMrc_st> Warning: map %s gives NSYMBT %d, a negative length of symmetry records; taken as 0, as its voxel data fill the file right after the header.\n",
				file, h.nsymbt );
		}
	}
	if ( n64 > 0xFFFFFFFFull ) {
		std::fclose( fp );
		fail_mrc( err_data, format( "map %s has extents NC, NR, NS (words 1-3) %d x %d x %d, more than 2^32 - 1 voxels",
			file, h.nc, h.nr, h.ns ) );
	}
	if ( fsize >= 0 && static_cast<unsigned long long>( fsize - 1024 - nsym ) < data_bytes ) {
		std::fclose( fp );
		fail_mrc( err_data, format( "map %s holds fewer voxel values than its header gives (%d x %d x %d of MODE %d: "
									"%llu bytes after the header and %lld symmetry bytes; the file has %lld)",
								file, h.nc, h.nr, h.ns, h.mode, data_bytes, nsym, fsize - 1024 - nsym ) );
	}
	unsigned const n = static_cast<unsigned>( n64 );

	std::rewind( fp );
	*phi = density_detail::alloc_or_die( n );
	double* out = *phi;
	for ( int i = 0; i < 256; ++i ) {
		if ( !read_float_empty( fp ) ) {
			std::string const why = short_read( fp, file, "header" );
			std::fclose( fp );
			fail_mrc( err_words, why );
		}
	}
	for ( long long i = 0; i < nsym; ++i ) {
		char c;
		if ( !read_char( &c, fp ) ) {
			std::string const why = short_read( fp, file, "symmetry records" );
			std::fclose( fp );
			fail_mrc( err_sym, why );
		}
	}

	// Voxel values in file order, read in blocks; every value passes through
	// a float before it is stored.
	int const bpv = bytes_per_value( h.mode );
	std::vector<unsigned char> buf( static_cast<size_t>( 1 << 16 ) * bpv );
	double s_signed = 0.0, s_unsigned = 0.0;
	float prev_s = 0.0f, prev_u = 0.0f;
	bool any_negative = false;
	unsigned long done = 0;
	while ( done < n ) {
		unsigned long chunk = n - done;
		if ( chunk > ( 1ul << 16 ) ) chunk = 1ul << 16;
		if ( std::fread( buf.data(), bpv, chunk, fp ) != chunk ) {
			std::string const why = short_read( fp, file, "voxel data" );
			std::fclose( fp );
			fail_mrc( err_data, why );
		}
		unsigned char const* b = buf.data();
		for ( unsigned long i = 0; i < chunk; ++i ) {
			float v;
			if ( h.mode == 0 ) {
				v = static_cast<float>( static_cast<signed char>( b[i] ) );
				float const u = v < 0 ? v + 256.0f : v;
				s_signed += std::fabs( v - prev_s );
				s_unsigned += std::fabs( u - prev_u );
				prev_s = v;
				prev_u = u;
				if ( v < 0 ) any_negative = true;
			} else if ( h.mode == 1 ) {
				unsigned char p[2] = { b[2 * i], b[2 * i + 1] };
				if ( swap == 1 ) std::swap( p[0], p[1] );
				int16_t s;
				std::memcpy( &s, p, 2 );
				v = static_cast<float>( s );
			} else {
				v = mrc::word_float( b + 4 * i, swap == 1 );
			}
			out[done + i] = v;
		}
		done += chunk;
	}
	if ( h.mode == 0 && s_signed > s_unsigned ) {
		if ( any_negative ) {
			for ( unsigned long i = 0; i < n; ++i ) if ( out[i] < 0 ) out[i] += 256.0;
		}
		std::printf( "ReadMrc_st> Warning: It appears the MODE 0 data type uses the unsigned 8-bit convention, adding 256 to negative values.\n" );
		std::printf( "ReadMrc_st> If in doubt use the map2map tool in manual mode and/or inspect the results.\n" );
	}
	std::fclose( fp );
	density_detail::clear_non_finite( out, n, file );

	// A cell with a zero, negative or non-finite length or interval count
	// gives no voxel width; such a header is unusable, and so is one whose
	// voxels are too small to hold a model.
	std::string const cell_problem = unusable_cell( h );
	if ( !cell_problem.empty() ) {
		std::free( *phi );
		*phi = nullptr;
		fail_mrc( 70650, format( "map %s has an unusable unit cell (lengths %g %g %g, intervals %d %d %d, angles %g %g %g): %s",
			file, h.xlen, h.ylen, h.zlen, h.mx, h.my, h.mz, h.alpha, h.beta, h.gamma, cell_problem.c_str() ) );
	}
	*widthx = static_cast<double>( h.xlen ) / h.mx;
	*widthy = static_cast<double>( h.ylen ) / h.my;
	*widthz = static_cast<double>( h.zlen ) / h.mz;

	if ( std::floor( 100 * *alpha + 0.5 ) != 9000 || std::floor( 100 * *beta + 0.5 ) != 9000
		|| std::floor( 100 * *gamma + 0.5 ) != 9000 ) {
		*orthogonal = 0;
		*cubic = 0;
	} else if ( *orthogonal == 0 ) {
		*cubic = 0;
	} else if ( std::floor( 1000 * ( *widthx - *widthy ) + 0.5 ) != 0
		|| std::floor( 1000 * ( *widthy - *widthz ) + 0.5 ) != 0
		|| std::floor( 1000 * ( *widthx - *widthz ) + 0.5 ) != 0 ) {
		*cubic = 0;
	}

	int const c = h.mapc, r = h.mapr, s = h.maps;
	if ( c == 1 && r == 2 && s == 3 ) *ordermode = 1;
	else if ( c == 1 && r == 3 && s == 2 ) *ordermode = 2;
	else if ( c == 2 && r == 1 && s == 3 ) *ordermode = 3;
	else if ( c == 2 && r == 3 && s == 1 ) *ordermode = 4;
	else if ( c == 3 && r == 1 && s == 2 ) *ordermode = 5;
	else if ( c == 3 && r == 2 && s == 1 ) *ordermode = 6;
	else {
		std::free( *phi );
		*phi = nullptr;
		fail_mrc( 70680, format( "map %s has the axis order MAPC, MAPR, MAPS (words 17-19) %d, %d, %d, which is not a "
								 "permutation of 1, 2, 3",
							 file, c, r, s ) );
	}
	*ncstart = h.ncstart;
	*nrstart = h.nrstart;
	*nsstart = h.nsstart;

	// A non-finite MRC2000 origin word cannot place the map along its axis;
	// it is left out on its own and the start index of that axis places the
	// map there, the other words keep their values.  When the finite words
	// are all zero, the start indices place the whole map as for an ORIGIN of
	// zeros.  (ORIGIN is in x, y, z order; the start indices follow the axis
	// map.)
	double* const words[3] = { xorigin, yorigin, zorigin };
	bool bad[3];
	bool any_bad = false, finite_zero = true;
	for ( int a = 0; a < 3; ++a ) {
		bad[a] = !std::isfinite( *words[a] );
		any_bad = any_bad || bad[a];
		if ( !bad[a] && std::fabs( *words[a] ) >= 1e-4 ) finite_zero = false;
	}
	int const axis_of[3] = { c, r, s };
	int const start_of[3] = { h.ncstart, h.nrstart, h.nsstart };
	double const width[3] = { *widthx, *widthy, *widthz };
	// Start index of the x, y and z axis.
	int start_xyz[3] = { 0, 0, 0 };
	for ( int a = 0; a < 3; ++a )
		for ( int k = 0; k < 3; ++k )
			if ( axis_of[k] == a + 1 ) start_xyz[a] = start_of[k];
	if ( any_bad ) {
		for ( int a = 0; a < 3; ++a ) {
			if ( !bad[a] ) continue;
			std::printf( "ReadMrc_st> Warning: ORIGIN word %c of %s is not a finite number; the start index places the map along %c.\n",
				"XYZ"[a], file, "xyz"[a] );
			*words[a] = finite_zero ? 0.0 : start_xyz[a] * width[a];
		}
	}
	// ORIGIN words far from the coordinate origin set the whole ORIGIN
	// aside, and the start indices place the map: the rule of
	// FastDensityScore's loader, so that the plain grid, the work maps
	// written from it and the maps the fitting loads share one frame.
	std::string const far = mrc::far_origin_words( h.xorig, h.yorig, h.zorig );
	if ( !far.empty() ) {
		std::printf( "ReadMrc_st> Warning: ORIGIN words X, Y, Z (%g, %g, %g A) of %s are not used: %s %s %g A or more from the coordinate origin.  The start indices place the map instead",
			h.xorig, h.yorig, h.zorig, file, far.c_str(), far.size() > 1 ? "lie" : "lies",
			static_cast<double>( mrc::kOriginWordLimit ) );
		if ( *orthogonal ) {
			std::printf( ", its first voxel at (%g, %g, %g) A", start_xyz[0] * width[0], start_xyz[1] * width[1],
				start_xyz[2] * width[2] );
		}
		std::printf( ", and models are placed and written in that frame.\n" );
		for ( double* w : words ) *w = 0.0;
	}
}

// ---------------------------------------------------------------------------
// writing

namespace {

long ask_long( char const* what, long current )
{
	std::printf( "WriteMrc> The currently assigned %s is %ld\n", what, current );
	std::printf( "WriteMrc> Enter the same or a new value: " );
	return readln_int();
}

double ask_double( char const* what, double current, char const* unit )
{
	std::printf( "WriteMrc> The currently assigned %s is %f %s\n", what, current, unit );
	std::printf( "WriteMrc> Enter the same or a new value: " );
	return readln_double();
}

// The header dialogue of the interactive writer: offers the data type and
// every header value; converts a copy of the data for the chosen type.
// Returns the data to write (the caller's array or the converted copy).
void header_dialogue( DensityScore& ds, mrc::Header& h, bool in_register, unsigned long n,
	std::vector<double>& conv )
{
	bool const quiet = ds.quiet;
	if ( !quiet ) {
		std::printf( "WriteMrc> Manual override of MRC / CCP4 header fields.\n" );
		std::printf( "WriteMrc> \n" );
		std::printf( "WriteMrc> The currently assigned data type is 32-bit floats (MODE 2)\n" );
		std::printf( "WriteMrc> Select one of the following options: \n" );
		std::printf( "WriteMrc>      1: keep MODE 2, 32-bit floats \n" );
		std::printf( "WriteMrc>      2: MODE 0, signed 8-bit (range -128...127), clip any out-of-range values\n" );
		std::printf( "WriteMrc>      3: MODE 0, signed 8-bit (range -128...127), scale to fit\n" );
		std::printf( "WriteMrc>      4: MODE 0, signed 8-bit (range -128...127), shift and scale to fit\n" );
		std::printf( "WriteMrc>      5: MODE 0, unsigned 8-bit (range 0...255 as in old MRC), clip any out-of-range values\n" );
		std::printf( "WriteMrc>      6: MODE 0, unsigned 8-bit (range 0...255 as in old MRC), scale to fit\n" );
		std::printf( "WriteMrc>      7: MODE 0, unsigned 8-bit (range 0...255 as in old MRC), shift and scale to fit\n" );
		std::printf( "WriteMrc> \n" );
		std::printf( "WriteMrc> Enter selection number: " );
	}
	int const sel = readln_int();
	if ( sel > 1 ) h.mode = 0;

	std::printf( "WriteMrc> Note: The written data is not affected by changing the following header values.\n" );
	if ( !quiet ) {
		h.nc = static_cast<int>( ask_long( "NC field", h.nc ) );
		h.nr = static_cast<int>( ask_long( "NR field", h.nr ) );
		h.ns = static_cast<int>( ask_long( "NS field", h.ns ) );
		if ( static_cast<unsigned long>( h.nc ) * h.nr * h.ns != n ) {
			std::printf( "WriteMrc> \n" );
			std::fflush( stdout );
			std::fprintf( stderr, "WriteMrc> Warning: NC * NR * NS does not match the total number of voxels in the map.\n" );
			std::printf( "WriteMrc> \n" );
		}
	}
	auto start = [&]( char const* what, int cur ) {
		if ( cur == 0 && !in_register ) {
			std::printf( "WriteMrc> Set to zero by default because input grid not in register with origin of coordinate system.\n" );
		}
		return static_cast<int>( ask_long( what, cur ) );
	};
	h.ncstart = start( "NCSTART field", h.ncstart );
	h.nrstart = start( "NRSTART field", h.nrstart );
	h.nsstart = start( "NSSTART field", h.nsstart );
	h.mx = static_cast<int>( ask_long( "MX field", h.mx ) );
	h.my = static_cast<int>( ask_long( "MY field", h.my ) );
	h.mz = static_cast<int>( ask_long( "MZ field", h.mz ) );
	h.xlen = static_cast<float>( ask_double( "X length", h.xlen, "Angstrom" ) );
	h.ylen = static_cast<float>( ask_double( "Y length", h.ylen, "Angstrom" ) );
	h.zlen = static_cast<float>( ask_double( "Z length", h.zlen, "Angstrom" ) );
	h.alpha = static_cast<float>( ask_double( "Alpha", h.alpha, "degrees" ) );
	h.beta = static_cast<float>( ask_double( "Beta", h.beta, "degrees" ) );
	h.gamma = static_cast<float>( ask_double( "Gamma", h.gamma, "degrees" ) );
	h.mapc = static_cast<int>( ask_long( "MAPC field", h.mapc ) );
	h.mapr = static_cast<int>( ask_long( "MAPR field", h.mapr ) );
	h.maps = static_cast<int>( ask_long( "MAPS field", h.maps ) );
	bool perm = h.mapc >= 1 && h.mapc <= 3 && h.mapr >= 1 && h.mapr <= 3 && h.maps >= 1 && h.maps <= 3
		&& h.mapc != h.mapr && h.mapr != h.maps && h.mapc != h.maps;
	if ( !perm ) {
		std::printf( "WriteMrc> Inconsistent axis order values, assuming mapc = 1, mapr = 2, maps = 3. \n" );
		h.mapc = 1; h.mapr = 2; h.maps = 3;
	}
	h.xorig = static_cast<float>( ask_double( "X origin", h.xorig, "Angstrom" ) );
	h.yorig = static_cast<float>( ask_double( "Y origin", h.yorig, "Angstrom" ) );
	h.zorig = static_cast<float>( ask_double( "Z origin", h.zorig, "Angstrom" ) );

	double const mx = h.dmax, mn = h.dmin;
	auto scaling = [&]( double s ) {
		std::printf( "WriteMrc> Scaling factor (by which values will be divided): %f .\n", s );
	};
	switch ( sel ) {
	case 1:
		break;
	case 2:
		if ( clipped( conv.data(), n, 127.0, -128.0 ) )
			std::printf( "WriteMrc> Density values were clipped to fit signed 8-bit data format.\n" );
		else
			std::printf( "WriteMrc> Density values already fit signed 8-bit data format, no clipping necessary.\n" );
		break;
	case 3: {
		double s = mx / 127.0;
		if ( -mn / 128.0 > s ) s = -mn / 128.0;
		std::printf( "WriteMrc> Density values will be rescaled to fit signed 8-bit data format.\n" );
		scaling( s );
		normalize( conv.data(), n, s );
		break;
	}
	case 4: {
		double s = ( mx - mn ) / 255.0, c = ( mx + mn + s ) / 2.0;
		std::printf( "WriteMrc> Density values will be centered and rescaled to fit signed 8-bit data format.\n" );
		std::printf( "WriteMrc> Center offset value (will be added to map): %f .\n", -c );
		scaling( s );
		floatshift( conv.data(), n, c );
		normalize( conv.data(), n, s );
		break;
	}
	case 5:
		if ( clipped( conv.data(), n, 255.0, 0.0 ) )
			std::printf( "WriteMrc> Density values were clipped to fit unsigned 8-bit data format.\n" );
		else
			std::printf( "WriteMrc> Density values already fit unsigned 8-bit data format, no clipping necessary.\n" );
		break;
	case 6: {
		double s = mx / 255.0;
		std::printf( "WriteMrc> Density values will be rescaled to fit unsigned 8-bit data format.\n" );
		scaling( s );
		normalize( conv.data(), n, s );
		if ( clipped( conv.data(), n, 256.0, 0.0 ) )
			std::printf( "WriteMrc> Negative density values were clipped to fit unsigned 8-bit data format.\n" );
		break;
	}
	case 7: {
		double s = ( mx - mn ) / 255.0, c = ( mx + mn ) / 2.0 - 127.5 * s;
		std::printf( "WriteMrc> Density values will be centered and rescaled to fit unsigned 8-bit data format.\n" );
		std::printf( "WriteMrc> Center offset value (will be added to map): %f .\n", -c );
		scaling( s );
		floatshift( conv.data(), n, c );
		normalize( conv.data(), n, s );
		break;
	}
	default:
		std::printf( "WriteMrc> Error,70211!" );
		if ( sel < 2 ) h.mode = 2;
		break;
	}
	if ( sel > 1 && n > 0 ) {
		double a, b, c, d;
		ds.calc_map_info( conv.data(), n, &a, &b, &c, &d );
		h.dmax = static_cast<float>( a );
		h.dmin = static_cast<float>( b );
		h.dmean = static_cast<float>( c );
		h.rms = static_cast<float>( d );
	}
	if ( sel > 4 ) {
		std::printf( "WriteMrc> Converting the unsigned 8-bit (0...255) values to signed (-128...127) for storage (ISO/IEC 10967).\n" );
		std::printf( "WriteMrc> The conversion subtracts 256 from density values above 127.\n" );
		std::printf( "WriteMrc> Check your software documentation if the `unsigned` convention is supported for MODE 0 maps.\n" );
		for ( unsigned long i = 0; i < n; ++i ) if ( conv[i] >= 127.5 ) conv[i] -= 256.0;
	}
}

} // namespace

void DensityScore::WriteMrc( int automatic, char const* file, double width,
	double origx, double origy, double origz,
	unsigned extx, unsigned exty, unsigned extz, double* phi )
{
	density_detail::MapInUse in_use( file );
	FILE* fp = std::fopen( file, "wb" );
	if ( fp == nullptr ) {
		// Callers go on with the written file; stop here rather than leave
		// them with a missing map.
		int const err = errno;
		density_detail::stop( "WriteMrc>",
			format( "cannot create the map file %s: %s", file, file_error( file, err ).c_str() ),
			format( "WriteMrc> Error in open the map file: %s ,71420!", file ), 71420 );
	}
	unsigned const n = extx * exty * extz;
	double dmax, dmin, dmean, rms;
	calc_map_info( phi, n, &dmax, &dmin, &dmean, &rms );

	mrc::Header h;
	h.nc = static_cast<int>( extx );
	h.nr = static_cast<int>( exty );
	h.ns = static_cast<int>( extz );
	h.mode = 2;
	h.mx = h.nc; h.my = h.nr; h.mz = h.ns;
	h.xlen = static_cast<float>( extx * width );
	h.ylen = static_cast<float>( exty * width );
	h.zlen = static_cast<float>( extz * width );
	h.alpha = h.beta = h.gamma = 90.0f;
	h.mapc = 1; h.mapr = 2; h.maps = 3;
	h.dmin = static_cast<float>( dmin );
	h.dmax = static_cast<float>( dmax );
	h.dmean = static_cast<float>( dmean );
	h.ispg = 1;
	h.nsymbt = 0;
	h.lskflg = 0;
	h.skw_mat[0] = h.skw_mat[4] = h.skw_mat[8] = 1.0f;
	h.xorig = static_cast<float>( origx );
	h.yorig = static_cast<float>( origy );
	h.zorig = static_cast<float>( origz );
	h.map[0] = 'M'; h.map[1] = 'A'; h.map[2] = 'P'; h.map[3] = ' ';
	h.machst[0] = 0x44; h.machst[1] = 0x41; h.machst[2] = 0; h.machst[3] = 0;
	h.rms = static_cast<float>( rms );

	bool const in_register = test_registration( static_cast<float>( origx ), static_cast<float>( origy ),
		static_cast<float>( origz ), static_cast<float>( width ) ) == 1;
	if ( in_register ) {
		h.ncstart = static_cast<int>( std::floor( origx * ( 1.0 / width ) + 0.5 ) );
		h.nrstart = static_cast<int>( std::floor( origy * ( 1.0 / width ) + 0.5 ) );
		h.nsstart = static_cast<int>( std::floor( origz * ( 1.0 / width ) + 0.5 ) );
	}

	std::vector<double> conv;
	double const* data = phi;
	if ( automatic == 0 ) {
		conv.assign( phi, phi + n );
		header_dialogue( *this, h, in_register, n, conv );
		data = conv.data();
	}

	std::printf( "WriteMrc> Writing MRC / CCP4 (binary) volumetric map \n" );

	// Why the file is not the map it should be ("" while it is): the first
	// failed write (a full disk, a file too large), a value out of the range
	// of MODE 0, or a MODE this writer does not write.
	std::string failure;
	auto write_failed = [&]() {
		int const err = errno;
		if ( failure.empty() )
			failure = format( "cannot write the map file %s: %s", file, file_error( file, err ).c_str() );
	};
	unsigned char head[mrc::kHeaderBytes];
	mrc::encode_header( h, head );
	if ( std::fwrite( head, 1, mrc::kHeaderBytes, fp ) != mrc::kHeaderBytes ) write_failed();
	if ( h.mode == 2 ) {
		std::vector<float> buf( 1 << 16 );
		for ( unsigned long done = 0; done < n && failure.empty(); ) {
			unsigned long chunk = n - done;
			if ( chunk > buf.size() ) chunk = buf.size();
			for ( unsigned long i = 0; i < chunk; ++i ) buf[i] = static_cast<float>( data[done + i] );
			if ( std::fwrite( buf.data(), sizeof( float ), chunk, fp ) != chunk ) write_failed();
			done += chunk;
		}
	} else if ( h.mode == 0 ) {
		std::vector<signed char> buf( 1 << 16 );
		for ( unsigned long done = 0; done < n && failure.empty(); ) {
			unsigned long chunk = n - done;
			if ( chunk > buf.size() ) chunk = buf.size();
			for ( unsigned long i = 0; i < chunk; ++i ) {
				double r = std::floor( data[done + i] + 0.5 );
				if ( r < -128.0 || r > 127.0 ) {
					if ( failure.empty() ) {
						failure = format( "value %g of the map written to %s lies outside the 8-bit range of MODE 0",
							data[done + i], file );
					}
					r = r < -128.0 ? -128.0 : 127.0;
				}
				buf[i] = static_cast<signed char>( static_cast<float>( r ) );
			}
			if ( std::fwrite( buf.data(), 1, chunk, fp ) != chunk ) write_failed();
			done += chunk;
		}
	} else {
		failure = format( "MODE %d cannot be written to the map file %s (only 0 and 2)", h.mode, file );
	}
	// Buffered data reach the disk at the latest here: a full disk may show
	// only now.
	if ( std::fclose( fp ) != 0 ) write_failed();

	if ( !quiet ) {
		std::printf( "WriteMrc> Volumetric map written to file %s \n", file );
		std::printf( "WriteMrc> Header information: \n" );
		list_header( h, true );
		if ( !in_register && automatic == 1 ) {
			std::printf( "WriteMrc> Input grid not in register with origin of coordinate system.\n" );
			std::printf( "WriteMrc> The origin information was saved only in the MRC2000 format fields.\n" );
			std::printf( "WriteMrc> The CCP4 start indexing was set to zero.\n" );
			std::printf( "WriteMrc> To invoke a crystallographic CCP4 indexing, you can force an interpolation \n" );
			std::printf( "WriteMrc> by converting to an intermediate X-PLOR map using the map2map tool. \n" );
		}
	}
	if ( !failure.empty() ) {
		// A truncated map must not be taken for a good one by the caller.
		density_detail::stop( "WriteMrc>", failure, "WriteMrc> Error, 71430!", 71430 );
	}
}
