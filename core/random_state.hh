// State of the shuffled two-generator uniform deviate behind ran and ran1;
// exposed so that tests can start it from a chosen second seed.
#ifndef QUILT_CORE_RANDOM_STATE_HH
#define QUILT_CORE_RANDOM_STATE_HH

#include <cstdint>

struct ShuffledUniformState {
	std::int64_t idum = 0;
	std::int64_t idum2 = 12345678;
	std::int64_t iy = 0;
	std::int64_t iv[ 32 ] = {};
};

// One draw in (0, 0.99999988]; advances the state.
double shuffled_uniform_next( ShuffledUniformState& s );

// The clock text "%02d%03d%03d" (seconds, milliseconds, microseconds) as a
// number, the seed ran1 takes on its first call.
double clock_seed_value();

#endif
