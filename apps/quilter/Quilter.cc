// Quilter: assembles a complex from its chain models and a density map.
//   Quilter data_path map resolution [Options]
#include "apps/quilter/AssemblyRun.hh"
#include "utility/memory_stop.hh"

#include <new>
#include <stdexcept>

int main( int argc, char** argv )
{
	// Memory that runs out anywhere in the run ends it with its own line,
	// the work directory removed as on every other stop.
	utility::set_memory_stop_words( "\033[1mERROR!\033[0m", "no model written.", false,
		&removeWorkDirectoryWithoutMemory );
	try {
		return runAssembly( argc, argv );
	} catch ( std::bad_alloc const& ) {
	} catch ( std::length_error const& ) {
		utility::note_oversized_request();
	}
	return endRunOutOfMemory();
}
