#include "density/ReportFile.hh"
#include "utility/temporary_files.hh"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <sys/stat.h>
#include <unistd.h>

bool write_report_file( std::string const& path, std::string const& text )
{
	// The temporary file lies in the report's directory, so that rename()
	// stays on one file system and replaces the report in one step.
	std::string tmp = path + ".tmpXXXXXX";
	int const fd = utility::make_temporary_file( tmp );
	if ( fd < 0 ) {
		std::cout << "Error! Cannot write " << path << ": " << std::strerror( errno ) << std::endl;
		return false;
	}
	FILE* out = ::fdopen( fd, "w" );
	if ( !out ) {
		int const err = errno;
		::close( fd );
		utility::remove_temporary_file( tmp );
		std::cout << "Error! Cannot write " << path << ": " << std::strerror( err ) << std::endl;
		return false;
	}
	bool ok = std::fwrite( text.data(), 1, text.size(), out ) == text.size();
	ok = ( std::fflush( out ) == 0 ) && ok;
	int err = ok ? 0 : errno;
	if ( std::fclose( out ) != 0 && ok ) {
		ok = false;
		err = errno;
	}
	if ( ok ) {
		// mkstemp makes the file mode 0600; give it the usual permissions.
		mode_t const mask = ::umask( 0 );
		::umask( mask );
		::chmod( tmp.c_str(), 0666 & ~mask );
		if ( utility::rename_temporary_file( tmp, path ) != 0 ) {
			ok = false;
			err = errno;
		}
	}
	if ( !ok ) {
		utility::remove_temporary_file( tmp );
		std::cout << "Error! Cannot write " << path << ": " << std::strerror( err ) << std::endl;
	}
	return ok;
}
