// Choosing draws in advance: the counter value whose reseed makes the next draw below 13 give
// a wanted question number, found by running the generator's step backwards.
#pragma once

#include <cstdint>

inline std::int64_t CounterForDraw(std::uint32_t Draw) {
  // The smallest state whose draw is Draw, then the seed that steps to it.
  auto State = static_cast<std::uint32_t>(((std::uint64_t{Draw} << 32) + 12) / 13);
  std::uint32_t Inverse = 1;
  for (int I = 0; I < 5; ++I) Inverse *= 2 - 0x08088405u * Inverse; // Newton: exact mod 2^32
  return static_cast<std::int64_t>((State - 1u) * Inverse);
}
