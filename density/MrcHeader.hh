// The MRC/CCP4 map header, shared by the plain-grid reader and writer
// (DensityScore_mrc.cc) and the loader of FastDensityScore
// (FastDensityScore_load.cc): the word layout, one byte-order-aware word
// reader, and the decoding of the 56 header words into one structure.
//
// A map file is a header of 256 four-byte words (1024 bytes), NSYMBT bytes of
// symmetry records, then the voxel values, column index fastest.  Integers
// are 32-bit two's complement and reals IEEE 32-bit floats, all in one byte
// order per file.  What each word means and what the two readers do when it
// is odd is documented once, at mrc::decode_header in MrcHeader.cc.
#ifndef QUILT_DENSITY_MRCHEADER_HH
#define QUILT_DENSITY_MRCHEADER_HH

#include <cstdint>
#include <string>
#include <vector>

namespace mrc {

int const kHeaderBytes = 1024;

// Word numbers, counted from 1 as in the format's documentation; the byte
// offset of word w is 4 (w - 1).
enum Word : int {
	NC = 1, NR = 2, NS = 3, MODE = 4,
	NCSTART = 5, NRSTART = 6, NSSTART = 7,
	MX = 8, MY = 9, MZ = 10,
	XLEN = 11, YLEN = 12, ZLEN = 13,
	ALPHA = 14, BETA = 15, GAMMA = 16,
	MAPC = 17, MAPR = 18, MAPS = 19,
	DMIN = 20, DMAX = 21, DMEAN = 22,
	ISPG = 23, NSYMBT = 24, LSKFLG = 25,
	SKEW_MATRIX = 26,      // 26-34: S11 ... S33
	SKEW_TRANSLATION = 35, // 35-37: T1 T2 T3
	EXTTYP = 27,           // MRC2014: four characters naming the extended header's type (S21 above)
	EXTRA = 38,            // 38-49: not used
	XORIGIN = 50, YORIGIN = 51, ZORIGIN = 52,
	MAP_STRING = 53, MACHINE_STAMP = 54, RMS = 55, NLABL = 56,
	LABELS = 57            // 57-256: ten 80-character labels
};

inline int offset( int word ) { return 4 * ( word - 1 ); }

// Bytes of the header up to and including the given word.
inline long bytes_through( int word ) { return 4L * word; }

// Smallest voxel width (A) the readers take, along any axis.  Real maps have
// voxels of some tenths of an Angstrom and more; a header giving far less
// (a cell length written in the wrong unit, a corrupt word) describes a box
// of a fraction of an atom, in which no model can be placed.
double const kMinVoxelWidth = 0.01;

// Whether a voxel width lies below that bound.  Compared in single
// precision, the precision of the header words, so that a width of 0.01 A
// written as a cell length over an interval count is not refused for the
// rounding of the float.
inline bool voxel_too_small( double width )
{
	return static_cast< float >( width ) < static_cast< float >( kMinVoxelWidth );
}

// ORIGIN words (50-52) of this magnitude (A) or more are not taken as a
// position: maps lie within some thousand Angstrom of the coordinate origin,
// and such values are left over from other uses of the words.  When one
// finite word reaches it, the whole ORIGIN is set aside and the start
// indices place the map, in both readers, so that a map keeps one frame
// whichever reader takes it.
float const kOriginWordLimit = 10000.0f;

// The names of the finite ORIGIN words at or beyond kOriginWordLimit in
// magnitude ("X", "X, Z"), or "" when there is none.
std::string far_origin_words( float x, float y, float z );

// The data type of an MRC MODE value ("complex 16-bit integers"), or
// "not an MRC data type".
char const* mode_name( int32_t mode );

// Whether a file begins with the two bytes of the gzip format (1f 8b): a
// compressed map, which has to be decompressed before it can be read.
inline bool gzip_magic( unsigned char const* bytes, long got )
{
	return got >= 2 && bytes[ 0 ] == 0x1f && bytes[ 1 ] == 0x8b;
}

// Whether the n bytes that a header calls its symmetry record (NSYMBT bytes
// after the header) read as symmetry operators in text.  Operators are
// written in lines of 80 characters, padded with blanks or, by some writers,
// with NUL bytes: every byte is a printable ASCII character, a blank (space,
// tab, newline, carriage return) or a NUL that pads a line to its end (after
// the first NUL of a line only NULs follow up to the line's 80th byte); the
// first byte is not a NUL; and either the bytes are all blanks (no NUL among
// them) or the text holds a comma and the letters x, y and z (either case),
// as every operator does ("x,y,z", "-X+1/2,Y,-Z").  Voxel values do not read
// so: zero voxels are NUL bytes from the first, a negative value has its top
// byte above 0x7f, and even a run of positive values whose bytes are all
// printable does not spell out an operator.
bool reads_as_symmetry_text( unsigned char const* bytes, long n );

// The first line of a text record as it can be quoted in a message: its
// bytes up to the first NUL or the end of its first 80-byte line, trailing
// spaces dropped, each byte that is not a printable ASCII character (a tab,
// a line break) escaped as \xNN; at most 40 characters so written, and
// "..." after them where the line goes on.
std::string text_excerpt( unsigned char const* bytes, long n );

// The excerpt as a message quotes it: in double quotes ("x,y,z"), or "a line
// of blanks" when it is empty (a line of spaces).
std::string quoted_excerpt( std::string const& excerpt );

// Whether the n bytes of the file at path from byte offset `from` on read as
// symmetry operators in text (reads_as_symmetry_text, the lines counted from
// `from`; read in blocks, stopping at the first byte that is not text);
// *excerpt receives text_excerpt of their first block.  False when the file
// cannot be read that far.
bool bytes_read_as_symmetry_text( std::string const& path, long long from, long long n, std::string* excerpt );

// The same for the n bytes that follow the 1024-byte header.
bool record_reads_as_symmetry_text( std::string const& path, long long n, std::string* excerpt );

// Reverses the byte order of each of n consecutive 4-byte words in place
// (bytes 0 1 2 3 become 3 2 1 0); n of 0 or less does nothing.
void swap4( void* p, long n );

// The 4-byte word at b as an integer or a float, its bytes reversed first
// when swap is set (the file's byte order differs from the machine's).
int32_t word_int( unsigned char const* b, bool swap );
float word_float( unsigned char const* b, bool swap );

// The header words 1-56 as stored (after any byte reversal).
struct Header {
	int32_t nc = 0, nr = 0, ns = 0, mode = 0;
	int32_t ncstart = 0, nrstart = 0, nsstart = 0;
	int32_t mx = 0, my = 0, mz = 0;
	float xlen = 0, ylen = 0, zlen = 0;
	float alpha = 0, beta = 0, gamma = 0;
	int32_t mapc = 0, mapr = 0, maps = 0;
	float dmin = 0, dmax = 0, dmean = 0;
	int32_t ispg = 0, nsymbt = 0, lskflg = 0;
	float skw_mat[ 9 ] = { 0, 0, 0, 0, 0, 0, 0, 0, 0 };
	float skw_trn[ 3 ] = { 0, 0, 0 };
	float xorig = 0, yorig = 0, zorig = 0;
	char map[ 4 ] = { 0, 0, 0, 0 };
	unsigned char machst[ 4 ] = { 0, 0, 0, 0 };
	float rms = 0;
	int32_t nlabl = 0;
	char exttyp[ 4 ] = { 0, 0, 0, 0 }; // word 27 as characters (MRC2014)
};

// Decodes the first `got` bytes of a header (bytes beyond 1024 are ignored)
// read in the given byte order.  A word that the bytes do not hold whole
// keeps the value 0; the MAP string and the machine stamp are taken byte by
// byte.  Whether a short header is an error is the caller's decision.
void decode_header( unsigned char const* bytes, long got, bool swap, Header& h );

// The 1024-byte header of h in the machine's byte order, labels zero.
void encode_header( Header const& h, unsigned char* bytes );

// The binary extended-header types of the MRC2014 format, as EXTTYP (word
// 27) names them: "MRCO", "SERI", "AGAR", "FEI1", "FEI2", "HDF5".  Returns
// the type EXTTYP names, or "" when it names none of them ("CCP4", the type
// of text symmetry records, blanks, or any other word).
std::string binary_extended_header_type( Header const& h );

// What shows that the NSYMBT bytes after the header were written, for a
// message: that EXTTYP names a binary extended header ("EXTTYP (word 27) is
// \"FEI1\", a binary extended header of the MRC2014 format, written in the
// 80 bytes after the header"; a writer that names the type wrote the
// header), or that the bytes read as symmetry operators in text ("the 80
// bytes after the header read as text (\"x,y,z\"), a symmetry record").  ""
// when neither shows it: the bytes may be voxel values of a file whose
// writer set NSYMBT and never wrote the record.
std::string record_known_written( std::string const& path, Header const& h, long long n );

// A symmetry record that NSYMBT does not count.  Where the file holds more
// bytes than its header, NSYMBT bytes and data give, the data taken to end
// the file leave `before_data` bytes between the header and the data (NSYMBT
// and the extra ones).  When those read as symmetry operators in text and
// the extra ones beyond the NSYMBT bytes are text too (their first byte not
// a NUL: NULs there may be zero voxels after a whole record), the record
// runs past the length NSYMBT gives, and where the data start is not known
// from the header.  Returns the message's account of it ("the 80 bytes
// after the header read as text (\"x,y,z\"), a symmetry record that NSYMBT
// does not count"), else "".
std::string record_beyond_nsymbt( std::string const& path, long long nsymbt, long long before_data );

// Where a file's size allows two readings of where its voxel data start,
// the reader takes the one its header gives and names the other: a file
// with room only for the header and the data, whose NSYMBT bytes are taken
// as a record never written (the other reading: the record was written and
// the file lost as many bytes from its end), and a file longer than its
// header, record and data, read from the record's end with the bytes after
// the data left unread (the other reading: those bytes lie before the data,
// a record or extended header that NSYMBT does not count).  In both, the
// reading taken starts `bytes` bytes before the other one, so every voxel
// is read bytes / value_bytes values early and the density, and any model
// placed in it, lies that many values away from where the other reading
// puts it: value_bytes is the size of one voxel value (1, 2 or 4).
//
// The distance is taken on the header's grid: the shift in values is split
// into whole planes, rows and columns, each part chosen within half the
// extent of its axis so that the shift describes a density in the middle of
// the box (a shift of 50 columns in rows of 60 moves such a density one row
// on and 10 columns back), then turned into Angstrom by the voxel size (cell
// length over interval count) and the cell angles.  The axis order
// MAPC/MAPR/MAPS names the axes (1, 2, 3 where it is not a permutation).
struct VoxelShift {
	long long values = 0;             // values the reading is early by (rounded where not whole)
	bool whole = true;                // bytes is a whole number of values
	long long voxels[ 3 ] = { 0, 0, 0 }; // along X, Y, Z (signed, on the grid)
	double distance = 0;              // A; negative when the header gives no usable voxel size
};
VoxelShift voxel_shift( Header const& h, long long bytes, int value_bytes );

// The sentence a warning adds for each of the two cases: "If the file lost
// those 80 bytes from its end instead, every voxel is read 20 values early:
// the density, and every placement in it, would be shifted by about 30 A
// along X."  and "If those 80 bytes lie before the voxel data instead (a
// record or extended header that NSYMBT does not count), every voxel is
// read ...".
std::string shift_if_record_was_written( Header const& h, long long nsymbt, int value_bytes );
std::string shift_if_bytes_lie_before_data( Header const& h, long long extra, int value_bytes );

// The sentences the readers have said of the maps they read in this
// process, each with its map and without repeats, in the order said: a
// program that reads a map early may say them again at the end of its run.
struct OtherReading {
	std::string map, sentence;
};
void note_other_reading( std::string const& map, std::string const& sentence );
std::vector< OtherReading > const& other_readings();

} // namespace mrc

#endif
