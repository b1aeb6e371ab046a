// utility::escaped_bytes, in a file of its own: the map readers quote
// header bytes with it, and a program that needs nothing else of the string
// utilities then links none of their static set-up (which allocates before
// main, where a program has not yet said how it stops when memory runs out).
#include "utility/string_util.hh"

namespace utility {

std::string
escaped_bytes( std::string const & text )
{
	std::string out;
	for ( char const ch : text ) {
		unsigned char const c = static_cast< unsigned char >( ch );
		if ( c >= 0x20 && c < 0x7f ) {
			out += ch;
		} else {
			static char const kHex[] = "0123456789abcdef";
			out += "\\x";
			out += kHex[ c >> 4 ];
			out += kHex[ c & 0xf ];
		}
	}
	return out;
}

} // namespace utility
