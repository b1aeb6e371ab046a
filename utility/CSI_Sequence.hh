#ifndef INCLUDED_utility_CSI_Sequence_hh
#define INCLUDED_utility_CSI_Sequence_hh

// Terminal control sequences (ECMA-48 select graphic rendition) used to colour
// the library's reports. They are written only when standard output is a
// terminal, decided once per run, whatever stream they are written to.

#include <iosfwd>
#include <string>

namespace utility {

// Is standard output a terminal? (asked at every call)
bool stdout_is_tty();

namespace CSI {

enum CSI_Enum {
	CSI_Nothing = 0,
	CSI_Reset = 1,
	CSI_Bold,
	CSI_Underline,
	CSI_Black,
	CSI_Red,
	CSI_Green,
	CSI_Yellow,
	CSI_Blue,
	CSI_Magenta,
	CSI_Cyan,
	CSI_White,
	CSI_Default,
	CSI_bgBlack,
	CSI_bgRed,
	CSI_bgGreen,
	CSI_bgYellow,
	CSI_bgBlue,
	CSI_bgMagenta,
	CSI_bgCyan,
	CSI_bgWhite,
	CSI_bgDefault
};

} // CSI

class CSI_Sequence
{
public:
	// Sequence of the value; empty for values outside the table
	explicit CSI_Sequence( CSI::CSI_Enum value );

	std::string const & sequence() const { return sequence_; }

	// Process-wide flag: true when standard output was not a terminal at the
	// first call; never changed afterwards
	static bool & suppress_CSI_seq();

private:
	std::string sequence_;
};

// Writes the sequence unless suppressed
std::ostream & operator <<( std::ostream & stream, CSI_Sequence const & seq );

} // utility

#endif
