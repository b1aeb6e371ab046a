#include "utility/string_util.hh"
#include "utility/Exceptions.hh"
#include "utility/FileName.hh"
#include "utility/backtrace.hh"
#include "utility/exit.hh"
#include "farray/assert.hh"
#include "farray/string.functions.hh"

#include <boost/uuid/detail/sha1.hpp>

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <iomanip>
#include <limits>
#include <locale>
#include <sstream>
#include <sys/stat.h>
#include <type_traits>

namespace utility {

namespace {

// Source named in this module's reports, and the lines each report gives
char const * const source_file = "./utility/string_util.cc";
int const line_uint_target = 344;
int const line_open_file = 502;
int const line_env_variable = 552;

// One value extracted as a stream does; fallback when the stream fails
template< typename T >
T
read_value( std::string const & s, T const fallback )
{
	std::stringstream stream( s );
	T value;
	stream >> value;
	return stream.fail() ? fallback : value;
}

} // namespace

// ---- Text and number conversions -------------------------------------------

float
string2float( std::string s )
{
	return read_value< float >( s, -1.0f );
}

int
string2int( std::string s )
{
	return read_value< int >( s, -1 );
}

std::size_t
string2Size( std::string s )
{
	return read_value< std::size_t >( s, std::numeric_limits< std::size_t >::max() );
}

double
string2Real( std::string s )
{
	return read_value< double >( s, std::numeric_limits< double >::quiet_NaN() );
}

void
string2uint( std::string const & x, unsigned int * y )
{
	if ( y == nullptr ) {
		handle_assert_failure( "y != nullptr", source_file, line_uint_target );
		farray::internal::assertion_failed( "y != nullptr", source_file, line_uint_target, __PRETTY_FUNCTION__ );
	}
	std::stringstream stream( x );
	stream >> *y;
}

std::string
Real2string( double const num, std::size_t const decimal_places )
{
	std::ostringstream text;
	text << std::fixed << std::setprecision( static_cast< int >( decimal_places ) ) << num;
	return text.str();
}

std::string
fmt_real( double const num, std::size_t const pad, std::size_t const decimal_places )
{
	return pad_left( Real2string( num, decimal_places ), pad + decimal_places + 1, ' ' );
}

namespace {

std::string
padded( std::string const & s, std::size_t const newlen, char const place_holder, std::ios_base & ( *side )( std::ios_base & ) )
{
	std::ostringstream text;
	text << std::setfill( place_holder ) << std::setw( static_cast< int >( newlen ) ) << side << s;
	return text.str();
}

} // namespace

std::string
pad_left( std::string const & s, std::size_t const newlen, char const place_holder )
{
	return padded( s, newlen, place_holder, std::right );
}

std::string
pad_right( std::string const & s, std::size_t const newlen, char const place_holder )
{
	return padded( s, newlen, place_holder, std::left );
}

std::size_t
get_num_digits( std::size_t const n )
{
	return static_cast< std::size_t >( std::ceil( std::log10( static_cast< double >( n ) + 1.0 ) ) );
}

bool
is_string_numeric( std::string const & s )
{
	std::locale const loc;
	for ( char const c : s ) {
		if ( std::isdigit( c, loc ) ) continue;
		if ( ( c == '-' ) || ( c == '+' ) || ( c == 'e' ) || ( c == 'E' ) ) continue;
		return false;
	}
	return true;
}

namespace {

bool
is_one_of( std::string const & s, std::initializer_list< char const * > spellings )
{
	for ( char const * spelling : spellings ) {
		if ( s == spelling ) return true;
	}
	return false;
}

} // namespace

bool
is_true_string( std::string const & s )
{
	return is_one_of( s, { "true", "True", "TRUE", "t", "T", "1", "on", "On", "ON", "y", "Y", "yes", "Yes", "YES" } );
}

bool
is_false_string( std::string const & s )
{
	return is_one_of( s, { "false", "False", "FALSE", "f", "F", "0", "off", "Off", "OFF", "n", "N", "no", "No", "NO" } );
}

// ---- Trimming, comparison and replacement ----------------------------------

std::string
upper( std::string const & s )
{
	std::string r( s );
	for ( char & c : r ) c = static_cast< char >( std::toupper( static_cast< unsigned char >( c ) ) );
	return r;
}

std::string
lower( std::string const & s )
{
	std::string r( s );
	for ( char & c : r ) c = static_cast< char >( std::tolower( static_cast< unsigned char >( c ) ) );
	return r;
}

bool
trimmed_compare( std::string const & a, std::string const & b )
{
	return strip( a, ' ' ) == strip( b, ' ' );
}

bool
startswith( std::string const & s, std::string const & prefix )
{
	return ( s.size() >= prefix.size() ) && ( s.compare( 0, prefix.size(), prefix ) == 0 );
}

bool
endswith( std::string const & s, std::string const & suffix )
{
	return ( s.size() >= suffix.size() ) && ( s.compare( s.size() - suffix.size(), suffix.size(), suffix ) == 0 );
}

bool
contains( std::string const & s, std::string const & sub )
{
	return s.find( sub ) != std::string::npos;
}

void
trim( std::string & s, std::string const & drop )
{
	if ( drop.empty() ) return;
	std::string::size_type const last = s.find_last_not_of( drop );
	if ( last == std::string::npos ) {
		s.clear();
		return;
	}
	s.erase( last + 1 );
	s.erase( 0, s.find_first_not_of( drop ) );
}

std::string
strip( std::string const & source, std::string const & drop )
{
	std::string s( source );
	trim( s, drop );
	return s;
}

std::string
strip( std::string const & source, char const c )
{
	std::string::size_type const first = source.find_first_not_of( c );
	if ( first == std::string::npos ) return std::string();
	return source.substr( first, source.find_last_not_of( c ) - first + 1 );
}

std::string
replace_in( std::string const & source, std::string const & from, std::string const & to )
{
	std::string r( source );
	if ( from.empty() ) return r; // nothing to look for: searching for it would never end
	for ( std::string::size_type p = r.find( from ); p != std::string::npos; p = r.find( from, p + to.size() ) ) {
		r.replace( p, from.size(), to );
	}
	return r;
}

std::string
remove_from_string( std::string const & source, std::string const & erase_str )
{
	return replace_in( source, erase_str, "" );
}

std::string
replace_environment_variables( std::string input )
{
	// Each round starts from the front, so values are expanded in turn. Every
	// reference of the input costs one round, and nested references share a
	// fixed allowance beyond that: variables that refer back to themselves,
	// directly or through others, would otherwise expand forever.
	std::size_t references = 0;
	for ( std::string::size_type p = input.find( "${" ); p != std::string::npos; p = input.find( "${", p + 2 ) ) {
		++references;
	}
	std::size_t const nested_allowance = 1000;
	std::size_t const max_rounds = references + nested_allowance;

	for ( std::size_t round = 0;; ++round ) {
		std::string::size_type const start = input.find( "${" );
		if ( start == std::string::npos ) return input;
		std::string::size_type const close = input.find( '}', start );
		std::string const name =
			input.substr( start + 2, ( close == std::string::npos ) ? std::string::npos : close - start - 2 );
		if ( round == max_rounds ) {
			utility::exit( source_file, line_env_variable,
				"environment variable " + name + " still to be expanded after " + std::to_string( max_rounds )
					+ " substitutions: the variables refer back to themselves",
				1 );
		}
		char const * const value = std::getenv( name.c_str() );
		if ( value == nullptr ) {
			utility::exit( source_file, line_env_variable, "environment variable " + name + " does not exist", 1 );
		}
		input.replace( start, ( close == std::string::npos ) ? std::string::npos : close - start + 1, value );
	}
}

// ---- Splitting and joining -------------------------------------------------

vector1< std::string >
split_whitespace( std::string const & s )
{
	vector1< std::string > words;
	std::istringstream stream( s );
	std::string word;
	while ( stream >> word ) words.push_back( word );
	return words;
}

namespace {

// Pieces between separators found by next( text, from ); empty pieces kept
// unless drop_empty
template< typename Next >
vector1< std::string >
split_at( std::string const & in, Next next, bool const drop_empty )
{
	vector1< std::string > pieces;
	std::string::size_type start = 0;
	while ( true ) {
		std::string::size_type const p = next( in, start );
		std::string piece = in.substr( start, ( p == std::string::npos ) ? std::string::npos : p - start );
		if ( ! ( drop_empty && piece.empty() ) ) pieces.push_back( std::move( piece ) );
		if ( p == std::string::npos ) return pieces;
		start = p + 1;
	}
}

} // namespace

vector1< std::string >
string_split( std::string const & in, char const splitchar )
{
	return split_at( in, [splitchar]( std::string const & s, std::string::size_type from ) { return s.find( splitchar, from ); },
		false );
}

vector1< std::string >
string_split_simple( std::string const & in, char const splitchar )
{
	return split_at( in, [splitchar]( std::string const & s, std::string::size_type from ) { return s.find( splitchar, from ); },
		true );
}

vector1< std::string >
string_split_multi_delim( std::string const & in, std::string splitchars )
{
	return split_at( in,
		[&splitchars]( std::string const & s, std::string::size_type from ) { return s.find_first_of( splitchars, from ); },
		false );
}

std::vector< std::string >
split_by_newlines( std::string const & s )
{
	vector1< std::string > const lines = split_at( s,
		[]( std::string const & t, std::string::size_type from ) { return t.find_first_of( "\n\r", from ); }, true );
	return lines.vector();
}

vector1< std::string >
quoted_split( std::string const & s )
{
	vector1< std::string > words;
	bool in_double = false;
	bool in_single = false;
	bool escaped = false;
	std::string::size_type start = 0;
	for ( std::string::size_type i = 0; i < s.size(); ++i ) {
		char const c = s[ i ];
		if ( escaped ) { // taken literally
			escaped = false;
			continue;
		}
		if ( c == '"' ) {
			in_double = in_double ? false : ! in_single;
		} else if ( c == '\'' ) {
			in_single = in_single ? false : ! in_double;
		} else if ( std::isspace( static_cast< unsigned char >( c ) ) && ! in_double && ! in_single ) {
			if ( i > start ) words.push_back( s.substr( start, i - start ) );
			start = i + 1;
		}
		escaped = ( c == '\\' );
	}
	if ( start < s.size() ) words.push_back( s.substr( start ) );
	return words;
}

vector1< std::string >
split( std::string const & s )
{
	return string_split_simple( s, ' ' );
}

std::list< std::string >
split_to_list( std::string const & s )
{
	vector1< std::string > const pieces = split( s );
	return std::list< std::string >( pieces.begin(), pieces.end() );
}

std::set< std::string >
split_to_set( std::string const & s )
{
	vector1< std::string > const pieces = split( s );
	return std::set< std::string >( pieces.begin(), pieces.end() );
}

std::string
join( std::vector< std::string > const & s, std::string const & connector )
{
	std::ostringstream text;
	for ( std::size_t i = 0; i < s.size(); ++i ) {
		if ( i > 0 ) text << connector;
		text << s[ i ];
	}
	return text.str();
}

std::string
join( vector1< std::string > const & s, std::string const & connector )
{
	return join( s.vector(), connector );
}

std::string
replace_spaces( std::string const & s, std::string const & replacement )
{
	return join( split( s ), replacement );
}

// ---- Residue-selection tags ------------------------------------------------

namespace {

int const line_chain_count = 664;
int const line_segid_count = 716;
int const line_first_segid_size = 721;
int const line_segid_size = 725;

// The segment identifier that stands for none
std::string const no_segid( "    " );

// Consecutive residue numbers sharing a chain (and segment)
struct ResidueRun
{
	int first;
	int last;
	char chain;
	std::string segid;
};

// b follows a directly (no overflow at the largest int)
bool
follows( int const a, int const b )
{
	return static_cast< long long >( b ) == static_cast< long long >( a ) + 1;
}

// The runs joined by delimiter, each written as prefix( run ) first[-last]
template< typename Prefix >
std::string
write_runs( std::vector< ResidueRun > const & runs, char const delimiter, Prefix prefix )
{
	std::string tag;
	for ( std::size_t k = 0; k < runs.size(); ++k ) {
		if ( k > 0 ) tag += delimiter;
		tag += prefix( runs[ k ] );
		tag += farray::string_of( runs[ k ].first );
		if ( runs[ k ].last != runs[ k ].first ) tag += "-" + farray::string_of( runs[ k ].last );
	}
	return tag;
}

} // namespace

std::string
make_tag( vector1< int > res_vector )
{
	std::string tag;
	for ( std::size_t n = 1; n <= res_vector.size(); ++n ) {
		if ( n > 1 ) tag += ' ';
		tag += farray::string_of( res_vector[ n ] );
	}
	return tag;
}

std::string
make_tag_with_dashes( vector1< int > res_vector, vector1< char > chain_vector, vector1< std::string > segid_vector,
	char const delimiter )
{
	if ( res_vector.empty() ) return std::string();
	if ( res_vector.size() != chain_vector.size() ) {
		utility::exit( source_file, line_chain_count, "Assertion `res_vector.size() == chain_vector.size()` failed.", 1 );
	}
	// No segments at all is allowed; a short list fails the checked access
	auto const segid = [&segid_vector]( std::size_t const n ) { return segid_vector.empty() ? no_segid : segid_vector[ n ]; };

	std::vector< ResidueRun > runs;
	ResidueRun run{ res_vector[ 1 ], res_vector[ 1 ], chain_vector[ 1 ], segid( 1 ) };
	for ( std::size_t n = 2; n <= res_vector.size(); ++n ) {
		// The segment does not decide where a run ends; a run carries the
		// segment of its last residue
		if ( ! ( follows( run.last, res_vector[ n ] ) && ( chain_vector[ n ] == run.chain ) ) ) {
			runs.push_back( run );
			run.first = res_vector[ n ];
		}
		run.last = res_vector[ n ];
		run.chain = chain_vector[ n ];
		run.segid = segid( n );
	}
	runs.push_back( run );

	return write_runs( runs, delimiter, []( ResidueRun const & r ) {
		std::string prefix;
		if ( ( r.chain != '\0' ) && ( r.chain != ' ' ) && ( r.chain != '_' ) ) prefix += std::string( 1, r.chain ) + ":";
		if ( r.segid != no_segid ) prefix += strip( r.segid, ' ' ) + ":";
		return prefix;
	} );
}

std::string
make_tag_with_dashes( vector1< int > res_vector, char const delimiter )
{
	vector1< char > const chains( res_vector.size(), ' ' );
	vector1< std::string > const segids( res_vector.size(), no_segid );
	return make_tag_with_dashes( res_vector, chains, segids, delimiter );
}

std::string
make_segtag_with_dashes( vector1< int > res_vector, vector1< std::string > segid_vector, char const delimiter )
{
	if ( res_vector.empty() ) return std::string();
	if ( res_vector.size() != segid_vector.size() ) {
		utility::exit( source_file, line_segid_count, "Assertion `res_vector.size() == segid_vector.size()` failed.", 1 );
	}
	if ( segid_vector[ 1 ].size() != 4 ) {
		utility::exit( source_file, line_first_segid_size, "Assertion `segid_vector[1].size() == 4` failed.", 1 );
	}

	std::vector< ResidueRun > runs;
	ResidueRun run{ res_vector[ 1 ], res_vector[ 1 ], ' ', segid_vector[ 1 ] };
	for ( std::size_t n = 2; n <= res_vector.size(); ++n ) {
		if ( segid_vector[ n ].size() != 4 ) {
			utility::exit( source_file, line_segid_size, "Assertion `segid_vector[n].size() == 4` failed.", 1 );
		}
		if ( ! ( follows( run.last, res_vector[ n ] ) && ( segid_vector[ n ] == run.segid ) ) ) {
			runs.push_back( run );
			run.first = res_vector[ n ];
		}
		run.last = res_vector[ n ];
		run.segid = segid_vector[ n ];
	}
	runs.push_back( run );

	// The segment as it stands, blanks kept
	return write_runs( runs, delimiter, []( ResidueRun const & r ) { return r.segid + ":"; } );
}

bool
get_resnum_and_segid_from_one_tag( std::string const & tag, std::vector< int > & resnum, std::vector< std::string > & segids )
{
	if ( tag.empty() ) return true;
	std::string::size_type const c = tag.find( ':' );
	if ( ( c == std::string::npos ) || ( c > 4 ) ) return false;
	std::string const segid = std::string( 4 - c, ' ' ) + tag.substr( 0, c ); // right-justified
	bool ok = false;
	for ( int const n : farray::ints_of( tag.substr( c + 1 ), ok ) ) {
		resnum.push_back( n );
		segids.push_back( segid );
	}
	return ok;
}

std::pair< std::vector< int >, std::vector< std::string > >
get_resnum_and_segid( std::string const & s, bool & ok )
{
	ok = true;
	std::pair< std::vector< int >, std::vector< std::string > > result;

	// Each tag is a head up to its first ":" and a number list up to the next
	// blank. The head may hold blanks (a segment "A B " written as it stands).
	std::string text = replace_in( s, ",", " " );
	std::vector< std::string > tags;
	while ( true ) {
		text.erase( 0, text.find_first_not_of( ' ' ) );
		std::string::size_type const colon = text.find( ':' );
		std::string const head = ( colon == std::string::npos ) ? std::string() : text.substr( 0, colon + 1 );
		text.erase( 0, head.size() );
		std::string::size_type const blank = text.find( ' ' );
		if ( blank == std::string::npos ) {
			tags.push_back( head + text );
			break;
		}
		tags.push_back( head + text.substr( 0, blank ) );
		text.erase( 0, blank + 1 );
	}

	for ( std::string const & tag : tags ) {
		ok = get_resnum_and_segid_from_one_tag( tag, result.first, result.second );
		if ( ! ok ) break;
	}
	return result;
}

bool
get_resnum_and_chain_from_one_tag( std::string const & tag, std::vector< int > & resnum, std::vector< char > & chains,
	std::vector< std::string > & segids )
{
	if ( tag.empty() ) return true;
	char chain = ' ';
	std::string segid = no_segid;
	std::string numbers;

	if ( std::count( tag.begin(), tag.end(), ':' ) == 2 ) { // A:SEG:12-20
		std::string::size_type const second = tag.find( ':', tag.find( ':' ) + 1 );
		chain = tag[ 0 ];
		segid = ( second > 2 ) ? tag.substr( 2, second - 2 ) : std::string();
		if ( ( segid.size() >= 1 ) && ( segid.size() <= 3 ) ) segid.resize( 4, ' ' ); // left-justified
		numbers = tag.substr( second + 1 );
	} else {
		std::string::size_type const c = tag.find( ':' );
		if ( c == std::string::npos ) {
			if ( std::string( "-0123456789" ).find( tag[ 0 ] ) != std::string::npos ) { // 12-20
				numbers = tag;
			} else { // A12-20
				chain = tag[ 0 ];
				numbers = tag.substr( 1 );
			}
		} else if ( c == 0 ) { // :12-20
			numbers = tag.substr( 1 );
		} else if ( c == 1 ) { // A:12-20
			chain = tag[ 0 ];
			numbers = tag.substr( 2 );
		} else {
			return false;
		}
	}

	bool ok = false;
	for ( int const n : farray::ints_of( numbers, ok ) ) {
		resnum.push_back( n );
		chains.push_back( chain );
		segids.push_back( segid );
	}
	return ok;
}

std::tuple< std::vector< int >, std::vector< char >, std::vector< std::string > >
get_resnum_and_chain_and_segid( std::string const & s, bool & ok )
{
	ok = true;
	std::tuple< std::vector< int >, std::vector< char >, std::vector< std::string > > result;
	for ( std::string const & tag : string_split( replace_in( s, ",", " " ), ' ' ) ) {
		ok = get_resnum_and_chain_from_one_tag( tag, std::get< 0 >( result ), std::get< 1 >( result ), std::get< 2 >( result ) );
		if ( ! ok ) break;
	}
	return result;
}

std::tuple< std::vector< int >, std::vector< char >, std::vector< std::string > >
get_resnum_and_chain( std::string const & s )
{
	bool ok = true;
	return get_resnum_and_chain_and_segid( s, ok );
}

// ---- File-name parts, whole-file text and digest ---------------------------

std::string
file_basename( std::string const & full_path )
{
	file::FileName const name( full_path );
	return name.extension().empty() ? name.base() : name.base() + "." + name.extension();
}

std::string
filename( std::string const & full_path )
{
	return file_basename( full_path );
}

std::string
pathname( std::string const & full_path )
{
	return file::FileName( full_path ).path();
}

std::string
file_contents( std::string const & file_name )
{
	// A directory opens like a file on this platform and then reads nothing:
	// refuse it rather than pass it off as an empty file
	struct stat info;
	bool const is_directory = ( ::stat( file_name.c_str(), &info ) == 0 ) && S_ISDIR( info.st_mode );
	std::ifstream in;
	if ( ! is_directory ) in.open( file_name );
	if ( is_directory || ! in.is_open() ) throw excn::Exception( source_file, line_open_file, "Could not open file " + file_name );

	// Byte counts are sizes: files beyond 2 GiB are read whole
	std::string text;
	slurp( in, text );
	if ( ( ! text.empty() ) && ( text.back() != '\n' ) ) text += '\n';
	return text;
}

void
slurp( std::istream & in, std::string & out )
{
	std::size_t const block = 4096;
	char buffer[ block ];
	while ( true ) {
		in.read( buffer, block );
		if ( ! in.good() ) {
			out.append( buffer, static_cast< std::size_t >( in.gcount() ) );
			return;
		}
		out.append( buffer, block );
	}
}

std::string
string_to_sha1( std::string const & input )
{
	using sha1 = boost::uuids::detail::sha1;
	sha1 hash;
	hash.process_bytes( input.data(), input.size() );
	sha1::digest_type digest;
	hash.get_digest( digest );

	// The digest is five 32-bit words in older Boost releases and twenty bytes
	// in newer ones; either way each element is written most significant byte
	// first, which gives the published byte order
	using element = typename std::remove_extent< sha1::digest_type >::type;
	std::size_t const n_elements = std::extent< sha1::digest_type >::value;
	static_assert( sizeof( element ) * std::extent< sha1::digest_type >::value * 8 == 160, "SHA-1 digest has 160 bits" );

	std::ostringstream text;
	text << std::hex << std::setfill( '0' );
	for ( std::size_t i = 0; i < n_elements; ++i ) {
		unsigned long long const word = static_cast< unsigned long long >( digest[ i ] );
		for ( int b = static_cast< int >( sizeof( element ) ) - 1; b >= 0; --b ) {
			text << std::setw( 2 ) << ( ( word >> ( 8 * b ) ) & 0xffu );
		}
	}
	return text.str();
}

} // utility
