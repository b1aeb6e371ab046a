#include "utility/CSI_Sequence.hh"

#include <ostream>
#include <unistd.h>

namespace utility {

bool
stdout_is_tty()
{
	return isatty( STDOUT_FILENO ) != 0;
}

namespace {

char const * const sgr_codes[] = {
	"", "0", "1", "4",
	"30", "31", "32", "33", "34", "35", "36", "37", "39",
	"40", "41", "42", "43", "44", "45", "46", "47", "49"
};

int const n_sgr_codes = sizeof( sgr_codes ) / sizeof( sgr_codes[ 0 ] );

}

CSI_Sequence::CSI_Sequence( CSI::CSI_Enum const value )
{
	int const v = static_cast< int >( value );
	if ( ( v >= 1 ) && ( v < n_sgr_codes ) ) sequence_ = std::string( "\x1b[" ) + sgr_codes[ v ] + "m";
}

bool &
CSI_Sequence::suppress_CSI_seq()
{
	static bool do_suppression = ! stdout_is_tty();
	return do_suppression;
}

std::ostream &
operator <<( std::ostream & stream, CSI_Sequence const & seq )
{
	if ( ! CSI_Sequence::suppress_CSI_seq() ) stream << seq.sequence();
	return stream;
}

} // utility
