#include "utility/memory_stop.hh"

#include <atomic>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <iostream>
#include <unistd.h>

// The global allocation functions, replaced so that a failure records its
// size (the new-handler protocol kept: the handler is called while there is
// one, then std::bad_alloc).  Left to the sanitizers in their builds: their
// allocators replace these functions themselves.
#if defined( __SANITIZE_ADDRESS__ )
#define QUILT_KEEP_SYSTEM_NEW 1
#elif defined( __has_feature )
#if __has_feature( address_sanitizer )
#define QUILT_KEEP_SYSTEM_NEW 1
#endif
#endif

namespace utility {

namespace {

// Every program's state of the last allocation failure.  Written by any
// thread that meets one, read by the main thread when it ends the program;
// the step text is copied under a small lock, the rest is atomic.
struct FailureRecord {
	std::atomic<std::size_t> bytes{ 0 };   // 0: not known; SIZE_MAX: beyond what can be addressed
	std::atomic<bool> stepKnown{ false };
	std::atomic_flag lock = ATOMIC_FLAG_INIT;
	char step[MemoryStep::kLength] = { 0 };
};

FailureRecord failure;
std::atomic<MemoryStep const*> innermost{ nullptr };

// The failure a test asked for: armed when its step begins, then counted
// down by every allocation.
struct InjectedFailure {
	std::atomic<bool> waiting{ false };
	std::atomic<long> countdown{ -1 };
	char step[MemoryStep::kLength] = { 0 };
	long after = -1;
};
InjectedFailure injected;

#ifndef QUILT_KEEP_SYSTEM_NEW
// Whether the allocation now asked for is the one a test wants to fail.
bool injected_failure_due()
{
	if ( injected.countdown.load( std::memory_order_relaxed ) < 0 ) return false;
	return injected.countdown.fetch_sub( 1 ) == 0;
}
#endif

void copy_text( char* to, char const* from )
{
	std::size_t i = 0;
	for ( ; i + 1 < MemoryStep::kLength && from[i]; ++i ) to[i] = from[i];
	to[i] = '\0';
}

// Keeps `text` as the step of the failure (null: none known).
void keep_step( char const* text, bool onlyFirst )
{
	while ( failure.lock.test_and_set( std::memory_order_acquire ) ) {
	}
	if ( !onlyFirst || !failure.stepKnown.load() ) {
		if ( text ) copy_text( failure.step, text );
		else failure.step[0] = '\0';
		failure.stepKnown = text != nullptr;
	}
	failure.lock.clear( std::memory_order_release );
}

// Memory kept back for the way out: a thrown exception, the unwinding and
// the line all need some, and the library's own emergency pool for
// exceptions may not have been had when the process started short of
// memory.  Given back when an allocation fails, taken again when a failure
// has been dealt with.
std::size_t const kReserveBytes = 64 * 1024;
std::atomic<void*> reserve{ nullptr };

void refill_reserve()
{
	if ( reserve.load() ) return;
	void* const fresh = std::malloc( kReserveBytes );
	void* expected = nullptr;
	if ( fresh && !reserve.compare_exchange_strong( expected, fresh ) ) std::free( fresh );
}

// Gives the reserve back for the exception about to be thrown.
void make_room_for_the_exception()
{
	if ( void* const r = reserve.exchange( nullptr ) ) std::free( r );
}

// What the program's line says when a failure ends in std::terminate.
struct LastWords {
	char const* tag = "Error!";
	char const* tail = "nothing written.";
	bool toError = false;
	void ( *cleanup )() = nullptr;
} lastWords;

std::terminate_handler previousTerminate = nullptr;

// A failure that no catch meets ends in std::terminate: one thrown while
// the program's statics are made (before main), or one whose exception
// could not even be made (no memory for it, "terminate called without an
// active exception").  It still ends with the line and status 1; any other
// reason keeps the usual end (an abort).
[[noreturn]] void end_on_terminate()
{
	if ( memory_ran_out() ) {
		if ( lastWords.cleanup ) lastWords.cleanup();
		print_memory_stop( lastWords.tag, lastWords.tail, lastWords.toError );
		std::_Exit( 1 );
	}
	if ( previousTerminate ) previousTerminate();
	std::abort();
}

// Made before the other statics of the program, whose making may fail too.
struct AtStart {
	AtStart()
	{
		refill_reserve();
		previousTerminate = std::set_terminate( &end_on_terminate );
	}
};
AtStart const atStart __attribute__( ( init_priority( 101 ) ) );

// "2.0 GB", "324.3 MB", "12.2 kB", "96 bytes": binary units (1 MB =
// 1048576 bytes), as the map readers give the sizes they need.
void size_text( std::size_t bytes, char* buf, std::size_t n )
{
	double const b = double( bytes ), k = 1024.0;
	if ( b >= k * k * k * k ) std::snprintf( buf, n, "%.1f TB", b / ( k * k * k * k ) );
	else if ( b >= k * k * k ) std::snprintf( buf, n, "%.1f GB", b / ( k * k * k ) );
	else if ( b >= k * k ) std::snprintf( buf, n, "%.1f MB", b / ( k * k ) );
	else if ( b >= k ) std::snprintf( buf, n, "%.1f kB", b / k );
	else std::snprintf( buf, n, "%zu byte%s", bytes, bytes == 1 ? "" : "s" );
}

} // namespace

MemoryStep::MemoryStep( char const* what ) : outer_( innermost.load() ), unwinding_( std::uncaught_exceptions() )
{
	now( what );
	innermost = this;
}

void MemoryStep::now( char const* what )
{
	copy_text( what_, what ? what : "" );
	if ( injected.waiting.load() && std::strcmp( injected.step, what_ ) == 0 ) {
		injected.waiting = false;
		injected.countdown = injected.after;
	}
}

MemoryStep::~MemoryStep()
{
	// Left by an exception: a failure that recorded no step of its own (a
	// container's length_error, say) failed in this one, the innermost.
	if ( std::uncaught_exceptions() > unwinding_ ) keep_step( what_, true );
	innermost = outer_;
}

void note_allocation_failure( std::size_t bytes )
{
	MemoryStep const* const step = innermost.load();
	failure.bytes = bytes;
	// The text of a live step: the main thread keeps its steps while the
	// threads it started run.
	keep_step( step ? step->what() : nullptr, false );
}

void throw_allocation_failure( std::size_t bytes )
{
	note_allocation_failure( bytes );
	make_room_for_the_exception();
	throw std::bad_alloc();
}

void forget_allocation_failure()
{
	failure.bytes = 0;
	keep_step( nullptr, false );
	refill_reserve();
}

bool memory_ran_out() { return failure.bytes.load() != 0; }

void throw_if_memory_ran_out()
{
	// The failure keeps its size and step; the throw is only its way out.
	if ( !memory_ran_out() ) return;
	make_room_for_the_exception();
	throw std::bad_alloc();
}

void set_memory_stop_words( char const* tag, char const* tail, bool toError, void ( *cleanup )() )
{
	lastWords.tag = tag;
	lastWords.tail = tail;
	lastWords.toError = toError;
	lastWords.cleanup = cleanup;
}

std::size_t failed_allocation_size()
{
	std::size_t const b = failure.bytes.load();
	return b == SIZE_MAX ? 0 : b;
}

char const* failed_allocation_text( char* buf, std::size_t n )
{
	std::size_t const bytes = failed_allocation_size();
	if ( bytes > 0 ) size_text( bytes, buf, n );
	else if ( n > 0 ) buf[0] = '\0';
	return buf;
}

char const* memory_stop_text( char* buf, std::size_t n )
{
	char step[MemoryStep::kLength];
	step[0] = '\0';
	while ( failure.lock.test_and_set( std::memory_order_acquire ) ) {
	}
	if ( failure.stepKnown.load() ) copy_text( step, failure.step );
	failure.lock.clear( std::memory_order_release );
	// Still inside a step (a failure caught within it): that step.
	if ( !step[0] ) {
		if ( MemoryStep const* const s = innermost.load() ) copy_text( step, s->what() );
	}
	std::size_t const bytes = failure.bytes.load();
	char size[64] = { 0 };
	if ( bytes == SIZE_MAX ) std::snprintf( size, sizeof size, " (more memory was asked for than can be addressed)" );
	else if ( bytes > 0 ) {
		char amount[32];
		size_text( bytes, amount, sizeof amount );
		std::snprintf( size, sizeof size, " (%s could not be allocated)", amount );
	}
	std::snprintf( buf, n, "Memory ran out%s%s%s", step[0] ? " while " : "", step, size );
	return buf;
}

void print_memory_stop( char const* tag, char const* tail, bool toError )
{
	char text[MemoryStep::kLength + 160];
	memory_stop_text( text, sizeof text );
	std::cout.flush();
	std::FILE* const to = toError ? stderr : stdout;
	std::fprintf( to, "%s %s; %s\n", tag, text, tail );
	std::fflush( to );
	if ( char const* const notes = std::getenv( kMemoryStopNotes ) ) {
		int const fd = ::open( notes, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600 );
		if ( fd >= 0 ) {
			std::size_t const n = std::strlen( text );
			text[n] = '\n';
			ssize_t const w = ::write( fd, text, n + 1 );
			(void)w;
			::close( fd );
		}
	}
}

void note_oversized_request()
{
	failure.bytes = SIZE_MAX;
}

void fail_allocation_in_step( char const* step, long after )
{
	injected.countdown = -1;
	injected.waiting = false;
	if ( after < 0 ) return;
	if ( !step ) {
		injected.countdown = after;
		return;
	}
	copy_text( injected.step, step );
	injected.after = after;
	injected.waiting = true;
}

} // namespace utility

// The global allocation functions (see the top of the file).
#ifdef QUILT_KEEP_SYSTEM_NEW

bool utility::allocation_failures_injectable() { return false; }

#else

bool utility::allocation_failures_injectable() { return true; }

namespace {

void* allocate( std::size_t n, std::size_t align, bool throwing )
{
	if ( n == 0 ) n = 1;
	// aligned_alloc wants a multiple of the alignment.
	if ( align > 0 ) n = ( n + align - 1 ) / align * align;
	if ( utility::injected_failure_due() ) {
		if ( !throwing ) return nullptr;
		utility::throw_allocation_failure( n );
	}
	while ( true ) {
		void* const p = align > 0 ? std::aligned_alloc( align, n ) : std::malloc( n );
		if ( p ) return p;
		std::new_handler const handler = std::get_new_handler();
		if ( !handler ) break;
		if ( !throwing ) {
			try {
				handler();
			} catch ( std::bad_alloc const& ) {
				return nullptr;
			}
		} else {
			handler();
		}
	}
	// A caller of the nothrow form copes with null (a sort's temporary
	// buffer): no failure is recorded for it.
	if ( !throwing ) return nullptr;
	utility::throw_allocation_failure( n );
}

} // namespace

void* operator new( std::size_t n ) { return allocate( n, 0, true ); }
void* operator new[]( std::size_t n ) { return allocate( n, 0, true ); }
void* operator new( std::size_t n, std::nothrow_t const& ) noexcept { return allocate( n, 0, false ); }
void* operator new[]( std::size_t n, std::nothrow_t const& ) noexcept { return allocate( n, 0, false ); }
void* operator new( std::size_t n, std::align_val_t a ) { return allocate( n, std::size_t( a ), true ); }
void* operator new[]( std::size_t n, std::align_val_t a ) { return allocate( n, std::size_t( a ), true ); }
void* operator new( std::size_t n, std::align_val_t a, std::nothrow_t const& ) noexcept
{
	return allocate( n, std::size_t( a ), false );
}
void* operator new[]( std::size_t n, std::align_val_t a, std::nothrow_t const& ) noexcept
{
	return allocate( n, std::size_t( a ), false );
}

// The matching releases: everything above comes from malloc or aligned_alloc.
void operator delete( void* p ) noexcept { std::free( p ); }
void operator delete[]( void* p ) noexcept { std::free( p ); }
void operator delete( void* p, std::size_t ) noexcept { std::free( p ); }
void operator delete[]( void* p, std::size_t ) noexcept { std::free( p ); }
void operator delete( void* p, std::nothrow_t const& ) noexcept { std::free( p ); }
void operator delete[]( void* p, std::nothrow_t const& ) noexcept { std::free( p ); }
void operator delete( void* p, std::align_val_t ) noexcept { std::free( p ); }
void operator delete[]( void* p, std::align_val_t ) noexcept { std::free( p ); }
void operator delete( void* p, std::size_t, std::align_val_t ) noexcept { std::free( p ); }
void operator delete[]( void* p, std::size_t, std::align_val_t ) noexcept { std::free( p ); }
void operator delete( void* p, std::align_val_t, std::nothrow_t const& ) noexcept { std::free( p ); }
void operator delete[]( void* p, std::align_val_t, std::nothrow_t const& ) noexcept { std::free( p ); }

#endif
