// Where a map file's size and its header disagree, what a reader that took
// the file must not have done, judged from the bytes alone: the checks both
// MRC harnesses make of a file their reader accepted.
#ifndef QUILT_FUZZ_MAPORACLE_HH
#define QUILT_FUZZ_MAPORACLE_HH

#include "density/MrcHeader.hh"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

namespace quilt_fuzz {

// The first rule the accepted file `data` breaks, or "" when it breaks
// none.  `swapped`: the byte order the reader took; `value_bytes`: bytes of
// one voxel value of its MODE.
// - A file shorter than its header, NSYMBT bytes and data is taken only
//   where it has room for the header and the data and the record is not
//   known to have been written: its bytes are not operator text (blank- or
//   NUL-padded) and EXTTYP names no binary extended header.
// - A file longer than that is not taken where the bytes before the data,
//   as the file's size places them, read as operator text that runs on past
//   the NSYMBT bytes (the first byte beyond them not a NUL).
inline std::string size_rule_broken( const uint8_t* data, std::size_t size, bool swapped, int value_bytes )
{
	if ( size < std::size_t( mrc::kHeaderBytes ) ) return "map accepted from a file shorter than the 1024-byte header";
	mrc::Header h;
	mrc::decode_header( data, mrc::kHeaderBytes, swapped, h );
	double const voxels = double( h.nc ) * double( h.nr ) * double( h.ns );
	double const expected = 1024.0 + std::max( h.nsymbt, 0 ) + value_bytes * voxels;
	double const before = double( size ) - value_bytes * voxels - 1024.0; // bytes before the data at the file's end
	if ( double( size ) < expected ) {
		if ( before != 0.0 || h.nsymbt <= 0 )
			return "map accepted from a file shorter than its header, symmetry record and data";
		long const n = std::min< long >( h.nsymbt, long( size ) - 1024 );
		if ( !mrc::binary_extended_header_type( h ).empty() )
			return "map accepted from a file cut short behind a binary extended header that EXTTYP declares";
		if ( mrc::reads_as_symmetry_text( data + 1024, n ) )
			return "map accepted from a file cut short behind a symmetry record written as text";
	} else if ( double( size ) > expected && h.nsymbt >= 0 && before > h.nsymbt ) {
		long const n = long( before );
		if ( data[ 1024 + h.nsymbt ] != 0 && mrc::reads_as_symmetry_text( data + 1024, n ) )
			return "map accepted with a text symmetry record running past the NSYMBT bytes";
	}
	return "";
}

} // namespace quilt_fuzz

#endif
