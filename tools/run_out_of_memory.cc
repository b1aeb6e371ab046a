// run_out_of_memory: a test tool that runs out of memory the way the
// fitting programs do, through the same module (utility/memory_stop.hh):
// its main() ends the failure with run_with_memory_stop, so that it prints
// the one memory line and, when started by Quilter, writes the same note
// into the notes file Quilter reads.  Tests start it in place of a fitting
// program.
//
//   run_out_of_memory <step> alloc    a request no machine can grant
//                                     (operator new fails: std::bad_alloc)
//   run_out_of_memory <step> length   a request beyond what a container
//                                     holds (std::length_error)
//
// Before <step> begins, a step "reading the command line" begins and ends
// normally, as in the programs.  Status 1 with the line, 2 on a bad command.
#include "utility/memory_stop.hh"

#include <cstring>
#include <iostream>
#include <vector>

namespace {

int run( int argc, char** argv )
{
	{
		utility::MemoryStep const reading( "reading the command line" );
		if ( argc != 3 || ( std::strcmp( argv[ 2 ], "alloc" ) != 0 && std::strcmp( argv[ 2 ], "length" ) != 0 ) ) {
			std::cout << "Usage: " << argv[ 0 ] << " <step> alloc|length" << std::endl;
			return 2;
		}
	}
	utility::MemoryStep const step( argv[ 1 ] );
	std::vector< char > v;
	if ( std::strcmp( argv[ 2 ], "length" ) == 0 ) v.reserve( v.max_size() + 1 );
	else v.resize( std::size_t( 1 ) << 50 ); // 1 PB: beyond the address space of any process
	std::cout << "Unexpectedly got " << v.capacity() << " bytes." << std::endl;
	return 0;
}

} // namespace

int main( int argc, char** argv )
{
	return utility::run_with_memory_stop( "Error!", "no result written.", [&] { return run( argc, argv ); } );
}
