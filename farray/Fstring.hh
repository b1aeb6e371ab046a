#ifndef INCLUDED_farray_Fstring_hh
#define INCLUDED_farray_Fstring_hh

// Fixed-length, blank-padded character string with 1-based positions, and
// Fsubstring, a write-through view of a run of its positions.
//
// The length is set when the string is made and never changes afterwards,
// with one exception: a string made with length 0 (no buffer, not a view)
// takes the length of the first value assigned to it. Assigning a shorter
// value pads with blanks, a longer one is truncated; comparisons take the
// shorter operand as padded with blanks, so trailing blanks never make two
// strings differ. Searches give a position from 1 to the length, or 0 for
// not found. "Whitespace" is the set space, TAB and NUL; "blank" is the
// space alone.
//
// A view owns nothing: assigning to it writes into the characters of the
// string it views, and it must not outlive that string.

#include <cstddef>
#include <iosfwd>
#include <string>
#include <type_traits>

namespace farray {

class Fsubstring;

class Fstring
{
public:
	using size_type = std::size_t;

	// Called on a new string of blanks by the initializer constructor
	using InitializerFunction = void (*)( Fstring & );

private:
	// The integer types that give a length (chars never do)
	template< typename N >
	using if_length = typename std::enable_if<
		std::is_integral< N >::value && ! std::is_same< N, bool >::value &&
		! std::is_same< N, char >::value && ! std::is_same< N, signed char >::value &&
		! std::is_same< N, unsigned char >::value, int >::type;

	// A negative length counts as 0
	template< typename N >
	static size_type length_of( N const n )
	{
		if constexpr ( std::is_signed< N >::value ) {
			return n < 0 ? 0 : static_cast< size_type >( n );
		} else {
			return static_cast< size_type >( n );
		}
	}

public:
	// Length 0, no buffer
	Fstring();

	// Own copy of the source characters (also of a view)
	Fstring( Fstring const & s );
	Fstring( std::string const & s );
	Fstring( char const * const s );

	// n blanks (none for a negative n)
	template< typename N, if_length< N > = 0 >
	explicit Fstring( N const n ) :
		Fstring( length_of( n ), ' ', fill_tag() )
	{}

	// Length n: s truncated to n characters or padded with blanks
	template< typename N, if_length< N > = 0 >
	Fstring( N const n, Fstring const & s ) :
		Fstring( length_of( n ), ' ', fill_tag() )
	{
		if ( len_ > 0 ) assign( s.str_, s.len_ ); // length 0 stays 0
	}

	template< typename N, if_length< N > = 0 >
	Fstring( N const n, std::string const & s ) :
		Fstring( length_of( n ), ' ', fill_tag() )
	{
		if ( len_ > 0 ) assign( s.data(), s.size() );
	}

	template< typename N, if_length< N > = 0 >
	Fstring( N const n, char const * const s ) :
		Fstring( length_of( n ), ' ', fill_tag() )
	{
		if ( len_ > 0 ) assign( s, std::char_traits< char >::length( s ) );
	}

	// Length n, every character c
	template< typename N, if_length< N > = 0 >
	Fstring( N const n, char const c ) :
		Fstring( length_of( n ), c, fill_tag() )
	{}

	// Length n of blanks, then f called on the new string (also for n = 0)
	template< typename N, if_length< N > = 0 >
	Fstring( N const n, InitializerFunction const f ) :
		Fstring( length_of( n ), ' ', fill_tag() )
	{
		f( *this );
	}

	virtual ~Fstring();

	// Assignment: see the class comment
	Fstring & operator =( Fstring const & s );
	Fstring & operator =( std::string const & s );
	Fstring & operator =( char const * const s );
	Fstring & operator =( char const c ); // c, then blanks

	// Queries
	size_type length() const { return len_; }
	size_type len_trim() const; // length without trailing blanks
	size_type len_trim_whitespace() const; // length without trailing whitespace
	size_type find_whitespace() const;
	size_type find_non_whitespace() const;
	size_type find_last_whitespace() const;
	size_type find_last_non_whitespace() const;

	// b: first non-whitespace position (1 when none); e: last one (0 when
	// none); returns e - b + 1 (0 when none)
	size_type trimmed_whitespace_range( size_type & b, size_type & e ) const;

	bool has( char const c ) const;
	bool has_any_of( char const c ) const;

	// Some character of the string occurs in s
	bool has_any_of( Fstring const & s ) const;
	bool has_any_of( std::string const & s ) const;
	bool has_any_of( char const * const s ) const;

	// s matches a tail of the string under ==: with trailing blanks ignored
	// on both sides, s is a suffix (find looks for inner occurrences)
	bool has( Fstring const & s ) const;
	bool has( std::string const & s ) const;
	bool has( char const * const s ) const;

	// The string begins with s (ignoring case when exact is false); false
	// for an empty s or one longer than the string
	bool has_prefix( Fstring const & s, bool const exact = true ) const;
	bool has_prefix( char const * const s, bool const exact = true ) const;

	// First / last position where s occurs exactly; 0 for an empty s
	size_type find( Fstring const & s ) const;
	size_type find( std::string const & s ) const;
	size_type find( char const * const s ) const;
	size_type find( char const c ) const;
	size_type find_last( Fstring const & s ) const;
	size_type find_last( std::string const & s ) const;
	size_type find_last( char const * const s ) const;
	size_type find_last( char const c ) const;

	// First / last position whose character is (not) in the set
	size_type find_first_of( Fstring const & s ) const;
	size_type find_first_of( std::string const & s ) const;
	size_type find_first_of( char const * const s ) const;
	size_type find_first_of( char const c ) const;
	size_type find_last_of( Fstring const & s ) const;
	size_type find_last_of( std::string const & s ) const;
	size_type find_last_of( char const * const s ) const;
	size_type find_last_of( char const c ) const;
	size_type find_first_not_of( Fstring const & s ) const;
	size_type find_first_not_of( std::string const & s ) const;
	size_type find_first_not_of( char const * const s ) const;
	size_type find_first_not_of( char const c ) const;
	size_type find_last_not_of( Fstring const & s ) const;
	size_type find_last_not_of( std::string const & s ) const;
	size_type find_last_not_of( char const * const s ) const;
	size_type find_last_not_of( char const c ) const;

	// Modifiers (the length never changes)
	Fstring & lowercase();
	Fstring & uppercase();
	Fstring & left_justify();
	Fstring & right_justify();
	Fstring & center(); // odd blank count: the extra blank on the right
	Fstring & compress(); // whitespace removed, the rest packed to the start
	Fstring & trim_whitespace(); // trailing whitespace made blanks

	// Characters of the set removed from both ends / the front / the end,
	// the rest moved to the start and followed by blanks
	Fstring & strip( std::string const & chars );
	Fstring & lstrip( std::string const & chars );
	Fstring & rstrip( std::string const & chars );
	Fstring & strip(); // the blank
	Fstring & lstrip();
	Fstring & rstrip();
	Fstring & strip_whitespace();
	Fstring & lstrip_whitespace();
	Fstring & rstrip_whitespace();

	// s written from position i on, cut at the end of the string
	Fstring & overlay( Fstring const & s, size_type const i = 1 );
	Fstring & overlay( std::string const & s, size_type const i = 1 );
	Fstring & overlay( char const * const s, size_type const i = 1 );

	// View of positions i to min(j, length); empty when i is beyond that end
	Fsubstring const operator ()( size_type const i, size_type const j ) const;
	Fsubstring operator ()( size_type const i, size_type const j );

	// Copy of positions i to the end
	Fstring operator ()( size_type const i ) const;

	// View of positions i to the end
	Fsubstring operator ()( size_type const i );

	// View of the characters before the first blank
	Fsubstring const head() const;
	Fsubstring head();

	// View of the trailing blanks
	Fsubstring const tail() const;
	Fsubstring tail();

	// NUL-terminated copy of all characters / of the characters up to the
	// last non-whitespace one; valid until the next c_str or t_str call
	char const * c_str() const;
	char const * t_str() const;

	// Copies min(n, length - off) characters from 0-based offset off into
	// buffer (no NUL added); returns the count
	size_type copy( char * const buffer, size_type const n, size_type const off = 0 ) const;

	friend bool operator ==( Fstring const & s, Fstring const & t );
	friend bool operator ==( Fstring const & s, std::string const & t );
	friend bool operator ==( std::string const & t, Fstring const & s );
	friend bool operator ==( Fstring const & s, char const * const t );
	friend bool operator ==( char const * const t, Fstring const & s );
	friend bool operator ==( Fstring const & s, char const c );
	friend bool operator ==( char const c, Fstring const & s );
	friend bool operator <=( Fstring const & s, Fstring const & t );
	friend bool operator <=( Fstring const & s, std::string const & t );
	friend bool operator <=( std::string const & s, Fstring const & t );
	friend bool operator <=( Fstring const & s, char const * const t );
	friend bool operator <=( char const * const s, Fstring const & t );
	friend bool operator <( Fstring const & s, Fstring const & t );
	friend bool operator <( Fstring const & s, std::string const & t );
	friend bool operator <( std::string const & s, Fstring const & t );
	friend bool operator <( Fstring const & s, char const * const t );
	friend bool operator <( char const * const s, Fstring const & t );

	friend std::ostream & operator <<( std::ostream & stream, Fstring const & s );
	friend std::istream & operator >>( std::istream & stream, Fstring & s );
	friend std::istream & get( std::istream & stream, Fstring & s );
	friend std::istream & getline( std::istream & stream, Fstring & s );
	friend std::istream & read( std::istream & stream, Fstring & s );
	friend std::istream & readsome( std::istream & stream, Fstring & s );

protected:
	// View of positions i to min(j, s's length) of s (i >= 1)
	Fstring( Fstring const & s, size_type const i, size_type const j );

	// View of positions i to the end of s (i >= 1)
	Fstring( Fstring const & s, size_type const i );

	// The assignment rule for a source of n characters at s (may overlap)
	void assign( char const * const s, size_type const n );

private:
	struct fill_tag {};

	// Length n, every character c
	Fstring( size_type const n, char const c, fill_tag );

	// Make the view of positions i to min(j, s's length) of s
	void view( Fstring const & s, size_type const i, size_type const j );

	// Replace the c_str_ buffer by a NUL-terminated copy of the first n characters
	char const * make_c_str( size_type const n ) const;

	size_type len_; // fixed length
	char * str_; // the characters, not NUL-terminated; null for length 0
	mutable char * c_str_; // last c_str / t_str result
	bool sub_; // a view: str_ is not owned
};

// Write-through view of positions of an Fstring
class Fsubstring : public Fstring
{
public:
	// Another view of the same characters
	Fsubstring( Fsubstring const & s );

	// View of positions i to min(j, s's length) of s
	Fsubstring( Fstring & s, size_type const i, size_type const j );

	// View of positions i to the end of s
	Fsubstring( Fstring & s, size_type const i );

	~Fsubstring() override;

	// Written into the viewed characters, padded or truncated to the view's length
	Fsubstring & operator =( Fsubstring const & s );
	Fsubstring & operator =( Fstring const & s );
	Fsubstring & operator =( std::string const & s );
	Fsubstring & operator =( char const * const s );
	Fsubstring & operator =( char const c );

private:
	friend class Fstring;

	// View into a string the caller may only read (for the const views)
	Fsubstring( Fstring const & s, size_type const i, size_type const j, int );
};

bool operator ==( Fstring const & s, Fstring const & t );
bool operator ==( Fstring const & s, std::string const & t );
bool operator ==( std::string const & t, Fstring const & s );
bool operator ==( Fstring const & s, char const * const t );
bool operator ==( char const * const t, Fstring const & s );
bool operator ==( Fstring const & s, char const c );
bool operator ==( char const c, Fstring const & s );

inline bool operator !=( Fstring const & s, Fstring const & t ) { return !( s == t ); }
inline bool operator !=( Fstring const & s, std::string const & t ) { return !( s == t ); }
inline bool operator !=( std::string const & t, Fstring const & s ) { return !( s == t ); }
inline bool operator !=( Fstring const & s, char const * const t ) { return !( s == t ); }
inline bool operator !=( char const * const t, Fstring const & s ) { return !( s == t ); }
inline bool operator !=( Fstring const & s, char const c ) { return !( s == c ); }
inline bool operator !=( char const c, Fstring const & s ) { return !( s == c ); }

// Order of unsigned character values, the shorter operand padded with blanks
bool operator <=( Fstring const & s, Fstring const & t );
bool operator <=( Fstring const & s, std::string const & t );
bool operator <=( std::string const & s, Fstring const & t );
bool operator <=( Fstring const & s, char const * const t );
bool operator <=( char const * const s, Fstring const & t );
bool operator <( Fstring const & s, Fstring const & t );
bool operator <( Fstring const & s, std::string const & t );
bool operator <( std::string const & s, Fstring const & t );
bool operator <( Fstring const & s, char const * const t );
bool operator <( char const * const s, Fstring const & t );

// All the characters, trailing blanks included, unformatted
std::ostream & operator <<( std::ostream & stream, Fstring const & s );

// One whitespace-delimited word of at most length() characters (any length
// for a length-0 string), assigned by the assignment rule
std::istream & operator >>( std::istream & stream, Fstring & s );

// At most length() characters up to a newline (left in the stream), padded with blanks
std::istream & get( std::istream & stream, Fstring & s );

// A whole line (the newline dropped), assigned by the assignment rule; the
// stream's field width is left set to the length
std::istream & getline( std::istream & stream, Fstring & s );

// Unformatted read of exactly length() characters / of those available now
std::istream & read( std::istream & stream, Fstring & s );
std::istream & readsome( std::istream & stream, Fstring & s );

} // farray

#endif
