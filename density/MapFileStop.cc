#include "density/MapFileStop.hh"

namespace {

// Read by exit handlers, which run after the destructors of static objects
// constructed later than their registration: the text is never destroyed.
std::string& stop_reason()
{
	static std::string* const reason = new std::string();
	return *reason;
}

} // namespace

void noteMapFileStop( const std::string& reason )
{
	stop_reason() = reason;
}

const std::string& mapFileStopReason()
{
	return stop_reason();
}
