#include "density/MapFileStop.hh"

namespace {
// Never destroyed: exit handlers read it after the static objects are gone.
std::string& stop_reason()
{
	static std::string* const reason = new std::string;
	return *reason;
}
} // namespace

void noteMapFileStop( const std::string& reason ) { stop_reason() = reason; }

const std::string& mapFileStopReason() { return stop_reason(); }
