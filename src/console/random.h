// The pseudo-random generator: one 32-bit linear congruential state, reseeded from the clock.
#pragma once

#include <cstdint>

extern std::uint32_t RandomSeed;

// Each draw steps the state to State * RandomMultiplier + 1, modulo 2^32.
inline constexpr std::uint32_t RandomMultiplier = 0x08088405u;

void SeedFromClock();
// A value from 0 to Range - 1 (0 when Range is 0), from the next state of the generator.
std::uint32_t DrawBelow(std::uint32_t Range);
