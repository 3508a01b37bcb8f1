// A global operator new that counts its calls, for benchmarks that must show a path does not
// allocate. Linking counting_allocator.cpp into a program replaces operator new and delete.
#pragma once

#include <cstdint>

// Calls of any form of operator new since the program started.
extern std::uint64_t AllocationCount;
