#ifndef INCLUDED_utility_FileContentsMap_hh
#define INCLUDED_utility_FileContentsMap_hh

// In-memory cache of whole text files keyed by file name (compared exactly,
// no path normalisation). Counts the reads of each file; a file may be given
// a read limit, at which its cached text is dropped when asked for, and files
// that were not announced can be refused.

#include <cstdint>
#include <map>
#include <string>

namespace utility {
namespace io {

class FileContentsMap
{
public:
	using Count = std::uint64_t;

	FileContentsMap();

	// Starts with these texts cached
	explicit FileContentsMap( std::map< std::string, std::string > const & contents );

	virtual ~FileContentsMap();

	// Drop a file's text when its read count reaches its read limit
	void delete_contents_at_nread_limit( bool setting );
	bool delete_contents_at_nread_limit() const;

	// Reject files that have no read limit or read count
	void refuse_unexpected_files( bool setting );
	bool refuse_unexpected_files() const;

	bool has_file_contents( std::string const & file_name ) const;

	// Reads so far; 0 for a file never asked for
	Count nreads_for_file( std::string const & file_name ) const;

	// Read limit; 0 for none (no limit)
	Count nread_limit_for_file( std::string const & file_name ) const;
	bool has_read_limit_for_file( std::string const & file_name ) const;

	void set_nread_limit_for_file( std::string const & file_name, Count limit );

	// First call for a file: limit 1 and read count 0; later calls raise the limit by 1
	void increment_nread_limit( std::string const & file_name );

	void set_file_contents( std::string const & file_name, std::string const & contents );
	void delete_file_contents( std::string const & file_name );

	// Empties the limits, counts and texts; the two settings stay
	void clear();

	// The file's text, from the cache or from disk, counting the read.
	// Throws utility::excn::Exception for a refused file, or when the file
	// cannot be read.
	std::string get_file_contents( std::string const & file_name );

	// The cached text (read from disk and cached when missing), counting the
	// read; neither refuses files nor drops texts at the limit. Valid until
	// the entry is removed.
	std::string const & get_file_contents_ref( std::string const & file_name );

private:
	bool delete_contents_at_nread_limit_;
	bool refuse_unexpected_files_;
	std::map< std::string, Count > read_limits_;
	std::map< std::string, Count > read_counts_;
	std::map< std::string, std::string > file_contents_;
};

} // io
} // utility

#endif
