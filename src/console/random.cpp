// The pseudo-random generator. The draw takes the high half of Range times the state, so each
// result covers an equal share of the states without a division.
#include "random.h"

#include "platform.h"

std::uint32_t RandomSeed = 0;

void SeedFromClock() {
  std::int64_t Count;
  if (Platform->QueryPerformanceCounter(Count))
    RandomSeed = static_cast<std::uint32_t>(Count);
  else
    RandomSeed = Platform->GetTickCount();
}

std::uint32_t DrawBelow(std::uint32_t Range) {
  RandomSeed = RandomSeed * RandomMultiplier + 1u;
  return static_cast<std::uint32_t>((std::uint64_t{Range} * RandomSeed) >> 32);
}
